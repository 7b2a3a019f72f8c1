// Key encoding: the keys without text with every modifier in both cursor-key modes, the keypad in
// both keypad modes, Control folding as xterm does it, the window's own chords, the fixed table
// keys, and typed text with Alt as an ESC prefix.
#include "terminal/KeyEncoder.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace {

KeyDescription keyOf(TerminalKey key, KeyModifiers modifiers = {}, std::string text = {},
                     char32_t character = 0)
{
    return KeyDescription{key, modifiers, std::move(text), character};
}

KeyDescription typed(std::string text, char32_t character, KeyModifiers modifiers = {})
{
    return KeyDescription{TerminalKey::other, modifiers, std::move(text), character};
}

KeyDescription keypad(std::string text, TerminalKey key = TerminalKey::other, KeyModifiers modifiers = {})
{
    KeyDescription description{key, modifiers, text, text.empty() ? U'\0' : static_cast<char32_t>(text[0])};
    description.keypad = true;
    return description;
}

TerminalModes cursorKeys(bool application)
{
    TerminalModes modes;
    modes.applicationCursorKeys = application;
    return modes;
}

TerminalModes applicationKeypad()
{
    TerminalModes modes;
    modes.applicationKeypad = true;
    return modes;
}

std::string sent(const KeyDescription& key, const TerminalModes& modes = {})
{
    const KeyResult result = encodeKey(key, modes);
    EXPECT_EQ(result.action, KeyAction::send);
    return result.bytes;
}

constexpr KeyModifiers none{};
constexpr KeyModifiers control{true, false, false, false};
constexpr KeyModifiers controlShift{true, true, false, false};
constexpr KeyModifiers shift{false, true, false, false};
constexpr KeyModifiers alt{false, false, true, false};
constexpr KeyModifiers super{false, false, false, true};

// Every combination of Shift, Alt and Control with xterm's parameter for it (1 + 1/2/4).
constexpr std::pair<KeyModifiers, int> modifierParameters[] = {
    {{false, true, false, false}, 2}, {{false, false, true, false}, 3}, {{false, true, true, false}, 4},
    {{true, false, false, false}, 5}, {{true, true, false, false}, 6},  {{true, false, true, false}, 7},
    {{true, true, true, false}, 8},
};

struct FunctionKeyRow {
    TerminalKey key;
    std::string normal;      // unmodified, DECCKM reset
    std::string application; // unmodified, DECCKM set
    std::string modified;    // with a modifier: CSI <this with %m for the parameter>
};

const FunctionKeyRow functionKeys[] = {
    {TerminalKey::up, "\x1b[A", "\x1bOA", "1;%mA"},
    {TerminalKey::down, "\x1b[B", "\x1bOB", "1;%mB"},
    {TerminalKey::right, "\x1b[C", "\x1bOC", "1;%mC"},
    {TerminalKey::left, "\x1b[D", "\x1bOD", "1;%mD"},
    {TerminalKey::home, "\x1b[H", "\x1bOH", "1;%mH"},
    {TerminalKey::end, "\x1b[F", "\x1bOF", "1;%mF"},
    {TerminalKey::begin, "\x1b[E", "\x1bOE", "1;%mE"},
    {TerminalKey::insert, "\x1b[2~", "\x1b[2~", "2;%m~"},
    {TerminalKey::forwardDelete, "\x1b[3~", "\x1b[3~", "3;%m~"},
    {TerminalKey::pageUp, "\x1b[5~", "\x1b[5~", "5;%m~"},
    {TerminalKey::pageDown, "\x1b[6~", "\x1b[6~", "6;%m~"},
    {TerminalKey::f1, "\x1bOP", "\x1bOP", "1;%mP"},
    {TerminalKey::f2, "\x1bOQ", "\x1bOQ", "1;%mQ"},
    {TerminalKey::f3, "\x1bOR", "\x1bOR", "1;%mR"},
    {TerminalKey::f4, "\x1bOS", "\x1bOS", "1;%mS"},
    {TerminalKey::f5, "\x1b[15~", "\x1b[15~", "15;%m~"},
    {TerminalKey::f6, "\x1b[17~", "\x1b[17~", "17;%m~"},
    {TerminalKey::f7, "\x1b[18~", "\x1b[18~", "18;%m~"},
    {TerminalKey::f8, "\x1b[19~", "\x1b[19~", "19;%m~"},
    {TerminalKey::f9, "\x1b[20~", "\x1b[20~", "20;%m~"},
    {TerminalKey::f10, "\x1b[21~", "\x1b[21~", "21;%m~"},
    {TerminalKey::f11, "\x1b[23~", "\x1b[23~", "23;%m~"},
    {TerminalKey::f12, "\x1b[24~", "\x1b[24~", "24;%m~"},
};

TEST(KeyEncoderTest, KeysWithoutTextSendXtermSequencesWithEveryModifierInBothCursorKeyModes)
{
    for (const FunctionKeyRow& row : functionKeys) {
        for (const bool application : {false, true}) {
            const TerminalModes modes = cursorKeys(application);
            SCOPED_TRACE(row.normal + (application ? " in application mode" : ""));
            EXPECT_EQ(sent(keyOf(row.key), modes), application ? row.application : row.normal);
            for (const auto& [modifiers, parameter] : modifierParameters) {
                const bool paging = row.key == TerminalKey::pageUp || row.key == TerminalKey::pageDown ||
                                    row.key == TerminalKey::home || row.key == TerminalKey::end;
                if (paging && parameter == 2) {
                    continue; // Shift+Page Up/Down and Home/End scroll the history (below)
                }
                std::string expected = "\x1b[" + row.modified;
                expected.replace(expected.find("%m"), 2, std::to_string(parameter));
                EXPECT_EQ(sent(keyOf(row.key, modifiers), modes), expected) << "parameter " << parameter;
            }
        }
    }
}

TEST(KeyEncoderTest, TheKeypadSendsSs3SequencesInApplicationModeAndItsCharactersOtherwise)
{
    const std::pair<std::string, std::string> table[] = {
        {"0", "p"}, {"1", "q"}, {"2", "r"}, {"3", "s"}, {"4", "t"}, {"5", "u"},
        {"6", "v"}, {"7", "w"}, {"8", "x"}, {"9", "y"}, {"*", "j"}, {"+", "k"},
        {",", "l"}, {"-", "m"}, {".", "n"}, {"/", "o"}, {"=", "X"},
    };
    for (const auto& [text, final] : table) {
        EXPECT_EQ(sent(keypad(text), applicationKeypad()), "\x1bO" + final) << text;
        EXPECT_EQ(sent(keypad(text)), text);
        // The main keyboard's characters are never the keypad's.
        EXPECT_EQ(sent(typed(text, static_cast<char32_t>(text[0])), applicationKeypad()), text);
    }
    EXPECT_EQ(sent(keypad({}, TerminalKey::enter), applicationKeypad()), "\x1bOM");
    EXPECT_EQ(sent(keypad({}, TerminalKey::enter)), "\r");
    // Control and Alt keep their meaning on the keypad; the keypad's cursor keys stay cursor keys.
    EXPECT_EQ(sent(keypad("5", TerminalKey::other, control), applicationKeypad()), "\x1d");
    EXPECT_EQ(sent(keypad("5", TerminalKey::other, alt), applicationKeypad()), "\x1b"
                                                                               "5");
    EXPECT_EQ(sent(keypad({}, TerminalKey::up), applicationKeypad()), "\x1b[A");
}

TEST(KeyEncoderTest, ControlFoldsCharactersAsXtermDoes)
{
    const std::pair<char32_t, std::string> table[] = {
        {U'a', "\x01"},
        {U'A', "\x01"},
        {U'c', "\x03"},
        {U'z', "\x1a"},
        {U'@', std::string(1, '\0')},
        {U' ', std::string(1, '\0')},
        {U'[', "\x1b"},
        {U'\\', "\x1c"},
        {U']', "\x1d"},
        {U'^', "\x1e"},
        {U'_', "\x1f"},
        {U'2', std::string(1, '\0')},
        {U'3', "\x1b"},
        {U'4', "\x1c"},
        {U'5', "\x1d"},
        {U'6', "\x1e"},
        {U'7', "\x1f"},
        {U'8', "\x7f"},
        {U'/', "\x1f"},
        {U'1', "1"},
        {U'9', "9"},
        {U';', ";"},
    };
    for (const auto& [character, bytes] : table) {
        EXPECT_EQ(sent(typed("", character, control)), bytes) << static_cast<char>(character);
        // Ctrl+Alt: ESC before the folded byte.
        EXPECT_EQ(sent(typed("", character, {true, false, true, false})), "\x1b" + bytes);
    }
    // Control with Shift folds the shifted character outside the window's chords.
    EXPECT_EQ(sent(typed("", U'_', controlShift)), "\x1f");
    EXPECT_EQ(sent(typed("", U'@', controlShift)), std::string(1, '\0'));
    EXPECT_EQ(sent(typed("", U'X', controlShift)), "\x18");
    // The table keys fold their own control characters.
    EXPECT_EQ(sent(keyOf(TerminalKey::returnKey, control)), "\r");
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, control)), "\b");
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, control)), "\t");
    EXPECT_EQ(sent(keyOf(TerminalKey::escape, control)), "\x1b");
    // A non-Latin letter with no Latin key: nothing is defined for it.
    EXPECT_EQ(encodeKey(typed("", U'\u0436', control)).action, KeyAction::passOn);
}

TEST(KeyEncoderTest, TheWindowsChordsAreNotSent)
{
    for (const KeyModifiers modifiers : {controlShift, super, KeyModifiers{true, true, true, false}}) {
        EXPECT_EQ(encodeKey(typed("", U'V', modifiers)).action, KeyAction::paste);
        EXPECT_EQ(encodeKey(typed("", U'C', modifiers)).action, KeyAction::copy);
        EXPECT_EQ(encodeKey(typed("", U'A', modifiers)).action, KeyAction::selectAll);
        EXPECT_EQ(encodeKey(typed("", U'N', modifiers)).action, KeyAction::passOn);
        EXPECT_EQ(encodeKey(typed("", U'Q', modifiers)).action, KeyAction::passOn);
        EXPECT_EQ(encodeKey(typed("", U',', modifiers)).action, KeyAction::passOn);
        EXPECT_EQ(encodeKey(typed("", U'<', modifiers)).action, KeyAction::passOn);
    }
    for (const TerminalModes& modes : {cursorKeys(false), cursorKeys(true)}) {
        EXPECT_EQ(encodeKey(keyOf(TerminalKey::pageUp, shift), modes).action, KeyAction::scrollPageUp);
        EXPECT_EQ(encodeKey(keyOf(TerminalKey::pageDown, shift), modes).action, KeyAction::scrollPageDown);
        EXPECT_EQ(encodeKey(keyOf(TerminalKey::home, shift), modes).action, KeyAction::scrollToTop);
        EXPECT_EQ(encodeKey(keyOf(TerminalKey::end, shift), modes).action, KeyAction::scrollToBottom);
    }
    // Ctrl alone keeps its terminal meaning; Super with an unbound key types the key.
    EXPECT_EQ(sent(typed("", U'v', control)), "\x16");
    EXPECT_EQ(sent(typed("x", U'x', super)), "x");
}

TEST(KeyEncoderTest, TableKeysSendTheirFixedBytesWhateverShift)
{
    const std::pair<TerminalKey, std::string> table[] = {
        {TerminalKey::returnKey, "\r"}, {TerminalKey::enter, "\r"},       {TerminalKey::backspace, "\x7f"},
        {TerminalKey::escape, "\x1b"},  {TerminalKey::backtab, "\x1b[Z"},
    };
    for (const auto& [key, bytes] : table) {
        for (const TerminalModes& modes : {cursorKeys(true), applicationKeypad()}) {
            EXPECT_EQ(sent(keyOf(key), modes), bytes);
            EXPECT_EQ(sent(keyOf(key, shift), modes), bytes);
        }
    }
    // Qt gives Backspace the text 08 and Shift+Tab a tab; the key identity wins.
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, none, "\b")), "\x7f");
    EXPECT_EQ(sent(keyOf(TerminalKey::backtab, shift, "\t")), "\x1b[Z");
}

TEST(KeyEncoderTest, TextIsSentAsTypedAndAltPrefixesEscape)
{
    EXPECT_EQ(sent(typed("a", U'a')), "a");
    EXPECT_EQ(sent(typed("A", U'A', shift)), "A");
    EXPECT_EQ(sent(typed("\xc3\xa9", 0)), "\xc3\xa9"); // é from a dead key
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, none, "\t")), "\t");
    EXPECT_EQ(sent(typed("b", U'b', alt)), "\x1b"
                                           "b");
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, alt)), "\x1b\x7f");
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, alt, "\t")), "\x1b\t");
    // A key that types nothing sends nothing.
    EXPECT_EQ(sent(typed("", 0)), "");
    EXPECT_EQ(sent(typed("", 0, alt)), "");
}

} // namespace
