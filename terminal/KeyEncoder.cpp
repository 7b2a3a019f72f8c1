// Key press -> shell bytes: the command chords, Control folding, the fixed key table, xterm's
// sequences for the keys that type no text (TERM=xterm-256color) with its modifier parameter, the
// application cursor-key and keypad modes, and Alt as an ESC prefix.
#include "KeyEncoder.h"

#include <optional>
#include <string_view>

namespace {

constexpr char escape = '\x1b';

KeyResult sendBytes(std::string bytes)
{
    return {KeyAction::send, std::move(bytes)};
}

KeyResult act(KeyAction action)
{
    return {action, {}};
}

char32_t toLowerAscii(char32_t c)
{
    return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c;
}

// Ctrl+Shift (both held) or Super act as the command modifier, but only for the chords the
// terminal binds; any other chord keeps its ordinary meaning. Shift+Page Up/Down page through the
// history and Shift+Home/End go to its start and end, as in most terminals.
std::optional<KeyResult> windowCommand(const KeyDescription& key)
{
    const KeyModifiers& m = key.modifiers;
    if (m.shift && !m.control && !m.alt && !m.super) {
        if (key.key == TerminalKey::pageUp) {
            return act(KeyAction::scrollPageUp);
        }
        if (key.key == TerminalKey::pageDown) {
            return act(KeyAction::scrollPageDown);
        }
        if (key.key == TerminalKey::home) {
            return act(KeyAction::scrollToTop);
        }
        if (key.key == TerminalKey::end) {
            return act(KeyAction::scrollToBottom);
        }
    }
    if (!((m.control && m.shift) || m.super)) {
        return std::nullopt;
    }
    switch (toLowerAscii(key.character)) {
    case U'v':
        return act(KeyAction::paste);
    case U'c':
        return act(KeyAction::copy);
    case U'a':
        return act(KeyAction::selectAll);
    case U'n': // New Shell, Quit, Settings: the window's menu commands
    case U'q':
    case U',':
    case U'<': // Shift+comma on layouts that put < there
        return act(KeyAction::passOn);
    default:
        return std::nullopt;
    }
}

// The control character Ctrl makes of a character, as Xlib's key translation (and so xterm) does:
// @ to ~ and space fold to C0, and the digit row gives the controls that have no letter (Ctrl+2
// NUL, Ctrl+3..7 ESC..US, Ctrl+8 DEL, Ctrl+/ US). Other characters stay as they are.
std::optional<char> controlCharacter(char32_t c)
{
    if ((c >= U'@' && c < 0x7f) || c == U' ') {
        return static_cast<char>(c & 0x1f);
    }
    if (c == U'2') {
        return '\0';
    }
    if (c >= U'3' && c <= U'7') {
        return static_cast<char>(0x1b + (c - U'3'));
    }
    if (c == U'8') {
        return '\x7f';
    }
    if (c == U'/') {
        return '\x1f';
    }
    if (c >= 0x20 && c < 0x7f) {
        return static_cast<char>(c);
    }
    return std::nullopt;
}

// xterm's encodings for the keys without text. A letter key is CSI final (SS3 final for the cursor
// keys in application mode and F1-F4), and with modifiers CSI 1 ; m final; a tilde key is CSI n ~
// and CSI n ; m ~ (xterm ctlseqs, "PC-Style Function Keys").
struct FunctionKey {
    char final = 0;         // CSI/SS3 final for letter keys, '~' for numbered keys
    int number = 0;         // the parameter of a tilde key
    bool ss3 = false;       // unmodified form always uses ESC O (F1-F4)
    bool cursorKey = false; // unmodified form uses ESC O in application cursor-key mode
};

std::optional<FunctionKey> functionKey(TerminalKey key)
{
    switch (key) {
    case TerminalKey::home:
        return FunctionKey{'H', 0, false, true};
    case TerminalKey::end:
        return FunctionKey{'F', 0, false, true};
    case TerminalKey::left:
        return FunctionKey{'D', 0, false, true};
    case TerminalKey::right:
        return FunctionKey{'C', 0, false, true};
    case TerminalKey::down:
        return FunctionKey{'B', 0, false, true};
    case TerminalKey::up:
        return FunctionKey{'A', 0, false, true};
    case TerminalKey::begin:
        return FunctionKey{'E', 0, false, true};
    case TerminalKey::forwardDelete:
        return FunctionKey{'~', 3};
    case TerminalKey::insert:
        return FunctionKey{'~', 2};
    case TerminalKey::pageUp:
        return FunctionKey{'~', 5};
    case TerminalKey::pageDown:
        return FunctionKey{'~', 6};
    case TerminalKey::f1:
        return FunctionKey{'P', 0, true};
    case TerminalKey::f2:
        return FunctionKey{'Q', 0, true};
    case TerminalKey::f3:
        return FunctionKey{'R', 0, true};
    case TerminalKey::f4:
        return FunctionKey{'S', 0, true};
    case TerminalKey::f5:
        return FunctionKey{'~', 15};
    case TerminalKey::f6:
        return FunctionKey{'~', 17};
    case TerminalKey::f7:
        return FunctionKey{'~', 18};
    case TerminalKey::f8:
        return FunctionKey{'~', 19};
    case TerminalKey::f9:
        return FunctionKey{'~', 20};
    case TerminalKey::f10:
        return FunctionKey{'~', 21};
    case TerminalKey::f11:
        return FunctionKey{'~', 23};
    case TerminalKey::f12:
        return FunctionKey{'~', 24};
    default:
        return std::nullopt;
    }
}

// xterm's modifier parameter: 1 + Shift(1) + Alt(2) + Control(4); 1 means none.
int xtermModifier(const KeyModifiers& m)
{
    return 1 + (m.shift ? 1 : 0) + (m.alt ? 2 : 0) + (m.control ? 4 : 0);
}

std::string encodeFunctionKey(const FunctionKey& key, int modifier, bool applicationCursorKeys)
{
    std::string bytes(1, escape);
    if (key.final == '~') {
        bytes += '[';
        bytes += std::to_string(key.number);
        if (modifier > 1) {
            bytes += ';';
            bytes += std::to_string(modifier);
        }
    } else if (modifier > 1) {
        bytes += "[1;";
        bytes += std::to_string(modifier);
    } else {
        bytes += (key.ss3 || (key.cursorKey && applicationCursorKeys)) ? 'O' : '[';
    }
    bytes += key.final;
    return bytes;
}

// The keypad in application mode (DECKPAM): SS3 and a letter per key (xterm ctlseqs, "VT220-Style
// Function Keys"), so that programs tell the keypad's digits and Enter from the main keyboard's.
std::optional<std::string> applicationKeypadKey(const KeyDescription& key)
{
    if (key.modifiers.control || key.modifiers.alt || key.modifiers.super) {
        return std::nullopt;
    }
    char final = 0;
    if (key.key == TerminalKey::enter) {
        final = 'M';
    } else if (key.key == TerminalKey::other && key.text.size() == 1) {
        static constexpr std::string_view keys = "0123456789*+,-./=";
        static constexpr std::string_view finals = "pqrstuvwxyjklmnoX";
        const std::size_t at = keys.find(key.text[0]);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        final = finals[at];
    } else {
        return std::nullopt;
    }
    return std::string{escape, 'O', final};
}

// The character Control folds for a key: table keys fold their own control character (Return is
// CR), and Ctrl+Backspace is BS where Backspace alone is DEL, as in xterm.
char32_t foldedCharacter(const KeyDescription& key)
{
    switch (key.key) {
    case TerminalKey::returnKey:
    case TerminalKey::enter:
        return U'\r';
    case TerminalKey::backspace:
        return U'H';
    case TerminalKey::escape:
        return U'[';
    case TerminalKey::tab:
        return U'I';
    default:
        return key.character;
    }
}

std::optional<std::string> tableKey(const KeyDescription& key)
{
    switch (key.key) {
    case TerminalKey::returnKey:
    case TerminalKey::enter:
        return std::string("\r");
    case TerminalKey::backspace:
        // Alt+Backspace deletes a word in readline-style editors: ESC DEL, as Linux terminals send.
        return std::string(key.modifiers.alt ? "\x1b\x7f" : "\x7f");
    case TerminalKey::escape:
        return std::string(1, escape);
    case TerminalKey::backtab:
        return std::string("\x1b[Z");
    default:
        return std::nullopt;
    }
}

} // namespace

KeyResult encodeKey(const KeyDescription& key, const TerminalModes& modes)
{
    if (const auto command = windowCommand(key)) {
        // The chord acted when it went down (and again as it repeats); coming up it does nothing.
        return key.event == KeyEventType::release ? act(KeyAction::passOn) : *command;
    }
    if (modes.keyboardFlags != 0) {
        return sendBytes(encodeProtocolKey(key, modes.keyboardFlags, modes.applicationCursorKeys,
                                           modes.applicationKeypad));
    }
    if (key.event == KeyEventType::release) {
        return sendBytes({}); // the legacy encoding has no releases
    }
    if (key.keypad && modes.applicationKeypad) {
        if (auto bytes = applicationKeypadKey(key)) {
            return sendBytes(std::move(*bytes));
        }
    }
    if (const auto function = functionKey(key.key)) {
        return sendBytes(
            encodeFunctionKey(*function, xtermModifier(key.modifiers), modes.applicationCursorKeys));
    }
    if (key.modifiers.control) {
        const char32_t folded = foldedCharacter(key);
        const auto c = folded == U'\r' ? std::optional<char>('\r') : controlCharacter(folded);
        if (!c) {
            return act(KeyAction::passOn);
        }
        std::string bytes;
        if (key.modifiers.alt) {
            bytes += escape;
        }
        bytes += *c;
        return sendBytes(std::move(bytes));
    }
    if (auto bytes = tableKey(key)) {
        return sendBytes(std::move(*bytes));
    }
    if (key.text.empty()) {
        return sendBytes({});
    }
    if (key.modifiers.alt) {
        return sendBytes(std::string(1, escape) + key.text);
    }
    return sendBytes(key.text);
}
