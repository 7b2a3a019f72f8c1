// Key encoding: every row of the key table, Control folding, the command chords, xterm's sequences
// for keys without text, and Alt as an ESC prefix.
#include "view/KeyEncoder.h"

#include <gtest/gtest.h>

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

std::string sent(const KeyDescription& key)
{
    const KeyResult result = encodeKey(key);
    EXPECT_EQ(result.action, KeyAction::send);
    return result.bytes;
}

constexpr KeyModifiers control{true, false, false, false};
constexpr KeyModifiers controlShift{true, true, false, false};
constexpr KeyModifiers shift{false, true, false, false};
constexpr KeyModifiers alt{false, false, true, false};
constexpr KeyModifiers super{false, false, false, true};

TEST(KeyEncoderTest, TableKeysSendTheirFixedBytesWhateverShiftOrAlt)
{
    const std::pair<TerminalKey, std::string> table[] = {
        {TerminalKey::returnKey, "\r"},   {TerminalKey::enter, "\r"},
        {TerminalKey::backspace, "\x7f"}, {TerminalKey::escape, "\x1b"},
        {TerminalKey::home, "\x1b[H"},    {TerminalKey::forwardDelete, "\x1b[3~"},
        {TerminalKey::end, "\x1b[F"},     {TerminalKey::left, "\x1b[D"},
        {TerminalKey::right, "\x1b[C"},   {TerminalKey::down, "\x1b[B"},
        {TerminalKey::up, "\x1b[A"},
    };
    for (const auto& [key, bytes] : table) {
        EXPECT_EQ(sent(keyOf(key)), bytes);
        EXPECT_EQ(sent(keyOf(key, shift)), bytes);
        if (key != TerminalKey::backspace) {
            EXPECT_EQ(sent(keyOf(key, alt)), bytes);
        }
    }
    // Qt gives Backspace the text 08; the key identity wins.
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, {}, "\b")), "\x7f");
}

TEST(KeyEncoderTest, KeysWithoutTextSendXtermSequences)
{
    const std::pair<TerminalKey, std::string> table[] = {
        {TerminalKey::pageUp, "\x1b[5~"}, {TerminalKey::pageDown, "\x1b[6~"},
        {TerminalKey::insert, "\x1b[2~"}, {TerminalKey::f1, "\x1bOP"},
        {TerminalKey::f2, "\x1bOQ"},      {TerminalKey::f3, "\x1bOR"},
        {TerminalKey::f4, "\x1bOS"},      {TerminalKey::f5, "\x1b[15~"},
        {TerminalKey::f6, "\x1b[17~"},    {TerminalKey::f7, "\x1b[18~"},
        {TerminalKey::f8, "\x1b[19~"},    {TerminalKey::f9, "\x1b[20~"},
        {TerminalKey::f10, "\x1b[21~"},   {TerminalKey::f11, "\x1b[23~"},
        {TerminalKey::f12, "\x1b[24~"},   {TerminalKey::backtab, "\x1b[Z"},
    };
    for (const auto& [key, bytes] : table) {
        EXPECT_EQ(sent(keyOf(key)), bytes);
    }
    EXPECT_EQ(sent(keyOf(TerminalKey::backtab, shift, "\t")), "\x1b[Z");
}

TEST(KeyEncoderTest, ControlFoldsTheCharacter)
{
    EXPECT_EQ(sent(typed("", U'a', control)), "\x01");
    EXPECT_EQ(sent(typed("", U'A', control)), "\x01");
    EXPECT_EQ(sent(typed("", U'c', control)), "\x03");
    EXPECT_EQ(sent(typed("", U' ', control)), std::string(1, '\0'));
    EXPECT_EQ(sent(typed("", U'[', control)), "\x1b");
    EXPECT_EQ(sent(typed("", U'2', control)), "\x12");
    EXPECT_EQ(sent(typed("", U'/', control)), "\x0f");
    // Control wins over the table: the keys fold their own control characters.
    EXPECT_EQ(sent(keyOf(TerminalKey::returnKey, control)), "\r");
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, control)), "\x1f");
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, control)), "\t");
    // Ctrl+Alt: ESC before the folded byte.
    EXPECT_EQ(sent(typed("", U'x', {true, false, true, false})), "\x1b\x18");
}

TEST(KeyEncoderTest, ControlShiftFoldsTheShiftedCharacterOutsideTheBoundChords)
{
    EXPECT_EQ(sent(typed("", U'_', controlShift)), "\x1f");               // Ctrl+Shift+-
    EXPECT_EQ(sent(typed("", U'@', controlShift)), std::string(1, '\0')); // Ctrl+Shift+2
    EXPECT_EQ(sent(typed("", U'^', controlShift)), "\x1e");               // Ctrl+Shift+6
    EXPECT_EQ(sent(typed("", U'X', controlShift)), "\x18");
}

TEST(KeyEncoderTest, CommandChordsAreTheViewsOwnCommands)
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
    // Ctrl alone keeps its terminal meaning; Super with an unbound key types the key.
    EXPECT_EQ(sent(typed("", U'v', control)), "\x16");
    EXPECT_EQ(sent(typed("x", U'x', super)), "x");
}

TEST(KeyEncoderTest, ControlWithKeysWithoutAsciiUsesXtermModifiedForms)
{
    EXPECT_EQ(sent(keyOf(TerminalKey::left, control)), "\x1b[1;5D");
    EXPECT_EQ(sent(keyOf(TerminalKey::right, control)), "\x1b[1;5C");
    EXPECT_EQ(sent(keyOf(TerminalKey::home, control)), "\x1b[1;5H");
    EXPECT_EQ(sent(keyOf(TerminalKey::forwardDelete, control)), "\x1b[3;5~");
    EXPECT_EQ(sent(keyOf(TerminalKey::up, controlShift)), "\x1b[1;6A");
    EXPECT_EQ(sent(keyOf(TerminalKey::f1, control)), "\x1b[1;5P");
    // A non-Latin letter with no Latin key: nothing is defined for it.
    EXPECT_EQ(encodeKey(typed("", U'\u0436', control)).action, KeyAction::passOn);
}

TEST(KeyEncoderTest, TextIsSentAsTypedAndAltPrefixesEscape)
{
    EXPECT_EQ(sent(typed("a", U'a')), "a");
    EXPECT_EQ(sent(typed("A", U'A', shift)), "A");
    EXPECT_EQ(sent(typed("\xc3\xa9", 0)), "\xc3\xa9"); // é from a dead key
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, {}, "\t")), "\t");
    EXPECT_EQ(sent(typed("b", U'b', alt)), "\x1b"
                                           "b");
    EXPECT_EQ(sent(keyOf(TerminalKey::backspace, alt)), "\x1b\x7f");
    EXPECT_EQ(sent(keyOf(TerminalKey::tab, alt, "\t")), "\x1b\t");
    // A key that types nothing sends nothing.
    EXPECT_EQ(sent(typed("", 0)), "");
    EXPECT_EQ(sent(typed("", 0, alt)), "");
}

} // namespace
