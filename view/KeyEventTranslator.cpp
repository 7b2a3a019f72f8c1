// QKeyEvent -> KeyDescription. Qt identifies Backspace by key() (its text is 08, while the terminal
// sends 7F), and on a Cyrillic or Greek layout key() is the layout's letter; the Latin letter of the
// same physical key comes from an xkb keymap of the US layout, looked up by the native keycode.
#include "KeyEventTranslator.h"

#include <QKeyEvent>

#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace KeyEventTranslator {
namespace {

TerminalKey terminalKeyOf(int key)
{
    switch (key) {
    case Qt::Key_Return:
        return TerminalKey::returnKey;
    case Qt::Key_Enter:
        return TerminalKey::enter;
    case Qt::Key_Backspace:
        return TerminalKey::backspace;
    case Qt::Key_Escape:
        return TerminalKey::escape;
    case Qt::Key_Home:
        return TerminalKey::home;
    case Qt::Key_Delete:
        return TerminalKey::forwardDelete;
    case Qt::Key_End:
        return TerminalKey::end;
    case Qt::Key_Left:
        return TerminalKey::left;
    case Qt::Key_Right:
        return TerminalKey::right;
    case Qt::Key_Down:
        return TerminalKey::down;
    case Qt::Key_Up:
        return TerminalKey::up;
    case Qt::Key_Tab:
        return TerminalKey::tab;
    case Qt::Key_Backtab:
        return TerminalKey::backtab;
    case Qt::Key_PageUp:
        return TerminalKey::pageUp;
    case Qt::Key_PageDown:
        return TerminalKey::pageDown;
    case Qt::Key_Insert:
        return TerminalKey::insert;
    case Qt::Key_Clear: // the keypad's 5 without Num Lock
        return TerminalKey::begin;
    case Qt::Key_CapsLock:
        return TerminalKey::capsLock;
    case Qt::Key_NumLock:
        return TerminalKey::numLock;
    case Qt::Key_ScrollLock:
        return TerminalKey::scrollLock;
    case Qt::Key_Print:
        return TerminalKey::printScreen;
    case Qt::Key_Pause:
        return TerminalKey::pause;
    case Qt::Key_Menu:
        return TerminalKey::menu;
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return static_cast<TerminalKey>(static_cast<int>(TerminalKey::f1) + (key - Qt::Key_F1));
    }
    return TerminalKey::other;
}

struct XkbUsLayout {
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* plain = nullptr;
    xkb_state* shifted = nullptr;

    XkbUsLayout()
    {
        context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (context == nullptr) {
            return;
        }
        const xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr};
        keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (keymap == nullptr) {
            return;
        }
        plain = xkb_state_new(keymap);
        shifted = xkb_state_new(keymap);
        const xkb_mod_index_t shift = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        if (shifted != nullptr && shift != XKB_MOD_INVALID) {
            xkb_state_update_mask(shifted, 1u << shift, 0, 0, 0, 0, 0);
        }
    }
    ~XkbUsLayout()
    {
        xkb_state_unref(shifted);
        xkb_state_unref(plain);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
    XkbUsLayout(const XkbUsLayout&) = delete;
    XkbUsLayout& operator=(const XkbUsLayout&) = delete;
};

bool isPrintableAscii(int key)
{
    return key >= 0x20 && key <= 0x7e;
}

// The modifier keys themselves, told left from right by their X keysym.
TerminalKey modifierKeyOf(std::uint32_t keysym)
{
    switch (keysym) {
    case XKB_KEY_Shift_L:
        return TerminalKey::leftShift;
    case XKB_KEY_Shift_R:
        return TerminalKey::rightShift;
    case XKB_KEY_Control_L:
        return TerminalKey::leftControl;
    case XKB_KEY_Control_R:
        return TerminalKey::rightControl;
    case XKB_KEY_Alt_L:
        return TerminalKey::leftAlt;
    case XKB_KEY_Alt_R:
        return TerminalKey::rightAlt;
    case XKB_KEY_Super_L:
        return TerminalKey::leftSuper;
    case XKB_KEY_Super_R:
        return TerminalKey::rightSuper;
    case XKB_KEY_Hyper_L:
        return TerminalKey::leftHyper;
    case XKB_KEY_Hyper_R:
        return TerminalKey::rightHyper;
    case XKB_KEY_Meta_L:
        return TerminalKey::leftMeta;
    case XKB_KEY_Meta_R:
        return TerminalKey::rightMeta;
    default:
        return TerminalKey::other;
    }
}

// X's core modifier state as Qt passes it on: Lock is Caps Lock, Mod2 is Num Lock on every
// common keymap.
constexpr std::uint32_t capsLockMask = 1u << 1;
constexpr std::uint32_t numLockMask = 1u << 4;

} // namespace

char32_t latinCharacterForKeycode(std::uint32_t keycode, bool shifted)
{
    static const XkbUsLayout layout;
    xkb_state* state = shifted ? layout.shifted : layout.plain;
    if (state == nullptr || keycode == 0) {
        return 0;
    }
    const char32_t c = xkb_state_key_get_utf32(state, keycode);
    return isPrintableAscii(static_cast<int>(c)) ? c : 0;
}

// What the keyboard protocol reports a text key by: its character without Shift (a letter's lower
// case, or the US layout's character of the key for the rest) and the US layout's own.
static void describeUnshifted(const QKeyEvent& event, KeyDescription& key)
{
    if (key.key != TerminalKey::other) {
        return;
    }
    const QString text = event.text();
    const char32_t typed =
        text.size() == 1 || (text.size() == 2 && text.at(0).isHighSurrogate()) ? text.toUcs4().value(0) : 0;
    key.usLayout = latinCharacterForKeycode(event.nativeScanCode(), false);
    if (typed >= 0x20 && typed != 0x7f && QChar::isLetter(typed)) {
        key.unshifted = QChar::toLower(typed);
    } else if (typed >= 0x20 && typed != 0x7f && !key.modifiers.shift) {
        key.unshifted = typed;
    } else if (key.usLayout != 0) {
        key.unshifted = key.usLayout;
    } else if (key.character != 0) {
        key.unshifted = QChar::toLower(key.character);
    }
    if (key.usLayout == key.unshifted) {
        key.usLayout = 0;
    }
}

KeyDescription describe(const QKeyEvent& event)
{
    KeyDescription key;
    key.key = terminalKeyOf(event.key());
    if (key.key == TerminalKey::other) {
        key.key = modifierKeyOf(event.nativeVirtualKey());
    }
    key.event = event.type() == QEvent::KeyRelease ? KeyEventType::release
                : event.isAutoRepeat()             ? KeyEventType::repeat
                                                   : KeyEventType::press;
    key.modifiers.capsLock = (event.nativeModifiers() & capsLockMask) != 0;
    key.modifiers.numLock = (event.nativeModifiers() & numLockMask) != 0;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    key.modifiers.control = modifiers.testFlag(Qt::ControlModifier);
    key.modifiers.shift = modifiers.testFlag(Qt::ShiftModifier);
    key.modifiers.alt = modifiers.testFlag(Qt::AltModifier);
    key.modifiers.super = modifiers.testFlag(Qt::MetaModifier);
    key.keypad = modifiers.testFlag(Qt::KeypadModifier);

    const QString text = event.text();
    // Qt puts control characters in text() for Ctrl chords and some special keys; the encoder
    // derives those itself, so only printable text is carried.
    bool printable = !text.isEmpty();
    for (const QChar c : text) {
        printable = printable && !(c.unicode() < 0x20 || c.unicode() == 0x7f);
    }
    if (printable) {
        key.text = text.toStdString();
    } else if (key.key == TerminalKey::tab) {
        key.text.assign(1, '\t'); // Tab types its control character; Alt+Tab sends ESC HT
    }

    const int qtKey = event.key();
    if (isPrintableAscii(qtKey)) {
        key.character = static_cast<char32_t>(qtKey);
    } else if (key.key == TerminalKey::other) {
        key.character = latinCharacterForKeycode(event.nativeScanCode(), key.modifiers.shift);
        if (key.character == 0 && qtKey > 0x7f && qtKey < 0x110000 &&
            QChar::isPrint(static_cast<char32_t>(qtKey))) {
            key.character = static_cast<char32_t>(qtKey); // a non-Latin letter with no Latin key
        }
    }
    describeUnshifted(event, key);
    return key;
}

} // namespace KeyEventTranslator
