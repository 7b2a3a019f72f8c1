// The keyboard protocol a program turns on with CSI > flags u (progressive enhancement): which keys
// become escape codes under which flags, their CSI u and xterm function-key forms with the protocol's
// modifier and event-type fields, alternate keys and associated text. Whatever the flags leave to
// the legacy encoding is encoded exactly as encodeKey does without them.
#include "KeyEncoder.h"
#include "engine/Utf8Decoder.h"

#include <optional>
#include <string_view>

namespace {

// A key's number in the protocol and the final of its form: 'u' for CSI number u, '~' for
// CSI number ~, or a letter for CSI 1 letter (the cursor keys, Home, End, F1, F2 and F4).
struct ProtocolKey {
    int number;
    char final;
};

std::optional<ProtocolKey> keypadNavigation(TerminalKey key)
{
    switch (key) {
    case TerminalKey::enter:
        return ProtocolKey{57414, 'u'};
    case TerminalKey::left:
        return ProtocolKey{57417, 'u'};
    case TerminalKey::right:
        return ProtocolKey{57418, 'u'};
    case TerminalKey::up:
        return ProtocolKey{57419, 'u'};
    case TerminalKey::down:
        return ProtocolKey{57420, 'u'};
    case TerminalKey::pageUp:
        return ProtocolKey{57421, 'u'};
    case TerminalKey::pageDown:
        return ProtocolKey{57422, 'u'};
    case TerminalKey::home:
        return ProtocolKey{57423, 'u'};
    case TerminalKey::end:
        return ProtocolKey{57424, 'u'};
    case TerminalKey::insert:
        return ProtocolKey{57425, 'u'};
    case TerminalKey::forwardDelete:
        return ProtocolKey{57426, 'u'};
    case TerminalKey::begin:
        return ProtocolKey{57427, 'u'};
    default:
        return std::nullopt;
    }
}

std::optional<ProtocolKey> functionalKey(TerminalKey key)
{
    // F3 is CSI 13 ~: CSI 1 ; m R would read as a cursor position report.
    static constexpr int tilde[] = {15, 17, 18, 19, 20, 21, 23, 24}; // F5 to F12
    switch (key) {
    case TerminalKey::escape:
        return ProtocolKey{27, 'u'};
    case TerminalKey::returnKey:
    case TerminalKey::enter:
        return ProtocolKey{13, 'u'};
    case TerminalKey::tab:
    case TerminalKey::backtab:
        return ProtocolKey{9, 'u'};
    case TerminalKey::backspace:
        return ProtocolKey{127, 'u'};
    case TerminalKey::insert:
        return ProtocolKey{2, '~'};
    case TerminalKey::forwardDelete:
        return ProtocolKey{3, '~'};
    case TerminalKey::pageUp:
        return ProtocolKey{5, '~'};
    case TerminalKey::pageDown:
        return ProtocolKey{6, '~'};
    case TerminalKey::home:
        return ProtocolKey{1, 'H'};
    case TerminalKey::end:
        return ProtocolKey{1, 'F'};
    case TerminalKey::left:
        return ProtocolKey{1, 'D'};
    case TerminalKey::right:
        return ProtocolKey{1, 'C'};
    case TerminalKey::up:
        return ProtocolKey{1, 'A'};
    case TerminalKey::down:
        return ProtocolKey{1, 'B'};
    case TerminalKey::begin:
        return ProtocolKey{1, 'E'};
    case TerminalKey::f1:
        return ProtocolKey{1, 'P'};
    case TerminalKey::f2:
        return ProtocolKey{1, 'Q'};
    case TerminalKey::f3:
        return ProtocolKey{13, '~'};
    case TerminalKey::f4:
        return ProtocolKey{1, 'S'};
    case TerminalKey::capsLock:
        return ProtocolKey{57358, 'u'};
    case TerminalKey::scrollLock:
        return ProtocolKey{57359, 'u'};
    case TerminalKey::numLock:
        return ProtocolKey{57360, 'u'};
    case TerminalKey::printScreen:
        return ProtocolKey{57361, 'u'};
    case TerminalKey::pause:
        return ProtocolKey{57362, 'u'};
    case TerminalKey::menu:
        return ProtocolKey{57363, 'u'};
    default:
        break;
    }
    if (key >= TerminalKey::f5 && key <= TerminalKey::f12) {
        return ProtocolKey{tilde[static_cast<int>(key) - static_cast<int>(TerminalKey::f5)], '~'};
    }
    if (key >= TerminalKey::leftShift && key <= TerminalKey::rightMeta) { // 57441 on, in enum order
        return ProtocolKey{57441 + static_cast<int>(key) - static_cast<int>(TerminalKey::leftShift), 'u'};
    }
    return std::nullopt;
}

// The keypad's text keys (with Num Lock) have numbers of their own: KP_0 to KP_9 and the rest.
int keypadTextNumber(const KeyDescription& key)
{
    static constexpr std::string_view keys = "0123456789./*-+=,";
    if (!key.keypad || key.key != TerminalKey::other || key.text.size() != 1) {
        return 0;
    }
    const std::size_t at = keys.find(key.text[0]);
    return at == std::string_view::npos ? 0 : 57399 + static_cast<int>(at);
}

// A modifier key reports its own bit while it is down.
int ownModifierBit(TerminalKey key)
{
    switch (key) {
    case TerminalKey::leftShift:
    case TerminalKey::rightShift:
        return 1;
    case TerminalKey::leftAlt:
    case TerminalKey::rightAlt:
        return 2;
    case TerminalKey::leftControl:
    case TerminalKey::rightControl:
        return 4;
    case TerminalKey::leftSuper:
    case TerminalKey::rightSuper:
        return 8;
    case TerminalKey::leftHyper:
    case TerminalKey::rightHyper:
        return 16;
    case TerminalKey::leftMeta:
    case TerminalKey::rightMeta:
        return 32;
    default:
        return 0;
    }
}

// The protocol's modifier bits: Shift 1, Alt 2, Control 4, Super 8, Hyper 16, Meta 32, and the
// locks, Caps Lock 64 and Num Lock 128, which only escape-coded keys report.
int modifierBits(const KeyModifiers& m)
{
    return (m.shift ? 1 : 0) | (m.alt ? 2 : 0) | (m.control ? 4 : 0) | (m.super ? 8 : 0) |
           (m.hyper ? 16 : 0) | (m.meta ? 32 : 0) | (m.capsLock ? 64 : 0) | (m.numLock ? 128 : 0);
}

// The key's text as scalars.
std::u32string scalarsOf(std::string_view text)
{
    std::u32string out;
    Utf8Decoder decoder;
    char32_t scalars[2];
    for (const char byte : text) {
        const int produced = decoder.feed(static_cast<std::uint8_t>(byte), scalars);
        out.append(scalars, scalars + produced);
    }
    return out;
}

char32_t lowerAscii(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

// The number a text key reports: the key's own character without Shift.
char32_t textKeyNumber(const KeyDescription& key)
{
    if (key.unshifted != 0) {
        return key.unshifted;
    }
    const std::u32string typed = scalarsOf(key.text);
    if (typed.size() == 1 && !key.modifiers.shift) {
        return typed[0];
    }
    return lowerAscii(key.character);
}

std::string legacyBytes(const KeyDescription& key, bool applicationCursorKeys, bool applicationKeypad)
{
    KeyDescription press = key;
    press.event = KeyEventType::press;
    TerminalModes modes;
    modes.applicationCursorKeys = applicationCursorKeys;
    modes.applicationKeypad = applicationKeypad;
    return encodeKey(press, modes).bytes;
}

// CSI number[:alternates] [; modifiers[:event] [; text]] final.
std::string escapeCode(const std::string& number, int modifiers, KeyEventType event, const std::string& text,
                       char final)
{
    std::string bytes = "\x1b[" + number;
    const bool eventField = event != KeyEventType::press;
    if (modifiers != 0 || eventField || !text.empty()) {
        bytes += ';';
        if (modifiers != 0 || eventField) {
            bytes += std::to_string(modifiers + 1);
        }
        if (eventField) {
            bytes += event == KeyEventType::repeat ? ":2" : ":3";
        }
    }
    if (!text.empty()) {
        bytes += ';' + text;
    }
    if (bytes == "\x1b[1" && final != 'u' && final != '~') {
        bytes.pop_back(); // CSI A, not CSI 1 A
    }
    bytes += final;
    return bytes;
}

} // namespace

std::string encodeProtocolKey(const KeyDescription& key, std::uint8_t flags, bool applicationCursorKeys,
                              bool applicationKeypad)
{
    const bool disambiguate = flags & KeyboardFlags::disambiguate;
    const bool allKeys = flags & KeyboardFlags::allKeysAsCodes;
    KeyEventType event = key.event;
    if (!(flags & KeyboardFlags::eventTypes)) {
        if (event == KeyEventType::release) {
            return {};
        }
        event = KeyEventType::press;
    }
    const KeyModifiers& m = key.modifiers;
    const bool chord = m.control || m.alt || m.super || m.hyper || m.meta; // more than Shift
    int modifiers = modifierBits(m);
    if (event != KeyEventType::release) {
        modifiers |= ownModifierBit(key.key);
    } else {
        modifiers &= ~ownModifierBit(key.key);
    }
    const bool pressed = event != KeyEventType::release;

    // Keys without text: the keypad's navigation keys, then the named keys.
    std::optional<ProtocolKey> named;
    if (key.keypad && (disambiguate || allKeys)) {
        named = keypadNavigation(key.key);
    }
    if (!named) {
        named = functionalKey(key.key);
    }
    if (named) {
        const std::string legacy =
            pressed ? legacyBytes(key, applicationCursorKeys, applicationKeypad) : std::string();
        if (key.key >= TerminalKey::leftShift) {
            return allKeys ? escapeCode(std::to_string(named->number), modifiers, event, {}, 'u')
                           : std::string(); // modifiers and locks on their own are only for flag 8
        }
        const bool typingKey =
            named->number == 13 || key.key == TerminalKey::tab || key.key == TerminalKey::backspace;
        if (!allKeys && typingKey && (!disambiguate || !(chord || m.shift))) {
            // Enter, Tab and Backspace stay what they were, so that a shell still works after a
            // program that set the flags died without resetting them; their releases go unsaid.
            return legacy;
        }
        if (!allKeys && !disambiguate &&
            (key.key == TerminalKey::escape || key.key == TerminalKey::backtab || named->final == 'u')) {
            return legacy;
        }
        if (!allKeys && named->final != 'u' && modifiers == 0 && event == KeyEventType::press) {
            return legacy; // CSI A, SS3 A in application mode, SS3 P, CSI 5 ~
        }
        return escapeCode(std::to_string(named->number), modifiers, event, {}, named->final);
    }

    // Text keys.
    const int keypadNumber = keypadTextNumber(key);
    const bool escaped = allKeys || (disambiguate && chord);
    if (!escaped) {
        if (pressed) {
            return legacyBytes(key, applicationCursorKeys, applicationKeypad);
        }
        // A release the legacy form has no way to say, without the locks a typed character ignores.
        modifiers &= ~(64 | 128);
    }
    const char32_t number = keypadNumber != 0 && (allKeys || chord) ? keypadNumber : textKeyNumber(key);
    if (number == 0) {
        return pressed ? legacyBytes(key, applicationCursorKeys, applicationKeypad) : std::string();
    }
    std::string code = std::to_string(number);
    if (flags & KeyboardFlags::alternateKeys) {
        // With Control the toolkit types nothing: the key's character with Shift applied stands in.
        const std::u32string typed = scalarsOf(key.text);
        const char32_t withShift = typed.size() == 1 ? typed[0] : key.character;
        const char32_t shifted = m.shift && withShift != 0 && withShift != number ? withShift : 0;
        const char32_t base = key.usLayout != 0 && key.usLayout != number ? key.usLayout : 0;
        if (shifted != 0) {
            code += ':' + std::to_string(shifted);
        }
        if (base != 0) {
            code += (shifted != 0 ? ":" : "::") + std::to_string(base);
        }
    }
    std::string text;
    if ((flags & KeyboardFlags::associatedText) && allKeys && pressed) {
        for (const char32_t c : scalarsOf(key.text)) {
            text += (text.empty() ? "" : ":") + std::to_string(c);
        }
    }
    return escapeCode(code, modifiers, event, text, 'u');
}
