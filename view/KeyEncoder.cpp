// Key press -> shell bytes: the command chords, Control folding, the fixed key table, xterm's
// sequences for the keys that type no text (TERM=xterm-256color), and Alt as an ESC prefix.
#include "KeyEncoder.h"

#include <optional>
#include <string_view>

namespace {

constexpr char escape = '\x1b';

KeyResult sendBytes(std::string bytes)
{
    return {KeyAction::send, std::move(bytes)};
}

char32_t toLowerAscii(char32_t c)
{
    return (c >= U'A' && c <= U'Z') ? c + (U'a' - U'A') : c;
}

// Ctrl+Shift (both held) or Super act as the command modifier, but only for the chords the
// terminal binds; any other chord keeps its ordinary meaning.
std::optional<KeyResult> commandChord(const KeyDescription& key)
{
    const KeyModifiers& m = key.modifiers;
    if (!((m.control && m.shift) || m.super)) {
        return std::nullopt;
    }
    switch (toLowerAscii(key.character)) {
    case U'v':
        return KeyResult{KeyAction::paste, {}};
    case U'c':
        return KeyResult{KeyAction::copy, {}};
    case U'a':
        return KeyResult{KeyAction::selectAll, {}};
    case U'n': // New Shell, Quit, Settings: the window's menu commands
    case U'q':
    case U',':
    case U'<': // Shift+comma on layouts that put < there
        return KeyResult{KeyAction::passOn, {}};
    default:
        return std::nullopt;
    }
}

// The character Control folds for a key: table keys fold their own control character (Return is
// CR, Backspace DEL), so Ctrl+Return stays 0D and Ctrl+Backspace becomes 1F.
char32_t foldedCharacter(const KeyDescription& key)
{
    switch (key.key) {
    case TerminalKey::returnKey:
    case TerminalKey::enter:
        return U'\r';
    case TerminalKey::backspace:
        return 0x7f;
    case TerminalKey::escape:
        return 0x1b;
    case TerminalKey::tab:
        return U'\t';
    default:
        return key.character;
    }
}

// xterm's encodings for the keys without text. A CSI-final key has the form ESC [ final, and with
// modifiers ESC [ 1 ; m final; a tilde key ESC [ n ~ and ESC [ n ; m ~ (xterm ctlseqs, "PC-Style
// Function Keys"). F1-F4 unmodified use SS3 (ESC O final).
struct FunctionKey {
    char final = 0;   // CSI/SS3 final for letter keys, '~' for numbered keys
    int number = 0;   // the parameter of a tilde key
    bool ss3 = false; // unmodified form uses ESC O
};

std::optional<FunctionKey> functionKey(TerminalKey key)
{
    switch (key) {
    case TerminalKey::home:
        return FunctionKey{'H'};
    case TerminalKey::end:
        return FunctionKey{'F'};
    case TerminalKey::left:
        return FunctionKey{'D'};
    case TerminalKey::right:
        return FunctionKey{'C'};
    case TerminalKey::down:
        return FunctionKey{'B'};
    case TerminalKey::up:
        return FunctionKey{'A'};
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

// modifier: 0 for the plain form, else xterm's parameter 1 + Shift(1) + Alt(2) + Control(4).
std::string encodeFunctionKey(const FunctionKey& key, int modifier)
{
    std::string bytes(1, escape);
    if (key.final == '~') {
        bytes += '[';
        bytes += std::to_string(key.number);
        if (modifier != 0) {
            bytes += ';';
            bytes += std::to_string(modifier);
        }
    } else if (modifier != 0) {
        bytes += "[1;";
        bytes += std::to_string(modifier);
    } else {
        bytes += key.ss3 ? 'O' : '[';
    }
    bytes += key.final;
    return bytes;
}

int xtermModifier(const KeyModifiers& m)
{
    return 1 + (m.shift ? 1 : 0) + (m.alt ? 2 : 0) + (m.control ? 4 : 0);
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
        break;
    }
    if (const auto function = functionKey(key.key)) {
        return encodeFunctionKey(*function, 0);
    }
    return std::nullopt;
}

} // namespace

KeyResult encodeKey(const KeyDescription& key)
{
    if (const auto command = commandChord(key)) {
        return *command;
    }
    if (key.modifiers.control) {
        const char32_t c = toLowerAscii(foldedCharacter(key));
        if (c != 0 && c < 0x80) {
            std::string bytes;
            if (key.modifiers.alt) {
                bytes += escape;
            }
            bytes += static_cast<char>(c & 0x1f);
            return sendBytes(std::move(bytes));
        }
        // Control with a key that has no ASCII character: xterm's modified form for the keys that
        // have one (Ctrl+Left is ESC [1;5D, the word motion of readline's default bindings).
        if (const auto function = functionKey(key.key)) {
            return sendBytes(encodeFunctionKey(*function, xtermModifier(key.modifiers)));
        }
        return KeyResult{KeyAction::passOn, {}};
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
