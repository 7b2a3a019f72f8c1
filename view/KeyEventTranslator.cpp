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

KeyDescription describe(const QKeyEvent& event)
{
    KeyDescription key;
    key.key = terminalKeyOf(event.key());
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
    return key;
}

} // namespace KeyEventTranslator
