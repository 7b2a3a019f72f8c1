// The keyboard protocol's encoding as a table: each flag, each modifier, presses, repeats and
// releases, the keypad, function keys and the keys that stay legacy so a shell keeps working.
#include "terminal/KeyEncoder.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct ProtocolCase {
    const char* name;
    KeyDescription key;
    int flags;
    std::string bytes;
    bool applicationCursorKeys = false;
};

KeyDescription text(std::string typed, char32_t unshifted, KeyModifiers m = {},
                    KeyEventType event = KeyEventType::press, char32_t usLayout = 0)
{
    KeyDescription key;
    key.modifiers = m;
    key.text = std::move(typed);
    key.character = unshifted;
    key.unshifted = unshifted;
    key.usLayout = usLayout;
    key.event = event;
    return key;
}

KeyDescription named(TerminalKey k, KeyModifiers m = {}, KeyEventType event = KeyEventType::press,
                     bool keypad = false)
{
    KeyDescription key;
    key.key = k;
    key.modifiers = m;
    key.event = event;
    key.keypad = keypad;
    return key;
}

KeyDescription keypadText(std::string typed, KeyModifiers m = {})
{
    KeyDescription key = text(typed, static_cast<char32_t>(typed[0]), m);
    key.keypad = true;
    return key;
}

KeyDescription tab()
{
    KeyDescription key = named(TerminalKey::tab);
    key.text = "\t"; // as the toolkit gives it
    return key;
}

// Control+Shift+X: the toolkit types nothing, the key's character is the shifted one.
KeyDescription controlShiftX()
{
    KeyDescription key = text("", U'x', {.control = true, .shift = true});
    key.character = U'X';
    return key;
}

constexpr KeyModifiers shift{.shift = true};
constexpr KeyModifiers control{.control = true};
constexpr KeyModifiers alt{.alt = true};
constexpr KeyModifiers super{.super = true};
constexpr KeyModifiers hyperMeta{.hyper = true, .meta = true};
constexpr KeyModifiers capsLock{.capsLock = true};
constexpr KeyModifiers numLockControl{.control = true, .numLock = true};
constexpr auto repeat = KeyEventType::repeat;
constexpr auto release = KeyEventType::release;

const ProtocolCase protocolCases[] = {
    // Flag 1: what was ambiguous is told apart, plain typing stays as it was.
    {"EscapeIsAnEscapeCode", named(TerminalKey::escape), 1, "\x1b[27u"},
    {"ControlIIsNotTab", text("", U'i', control), 1, "\x1b[105;5u"},
    {"TabStaysTab", tab(), 1, "\t"},
    {"ControlBracketIsNotEscape", text("", U'[', control), 1, "\x1b[91;5u"},
    {"ShiftEnter", named(TerminalKey::returnKey, shift), 1, "\x1b[13;2u"},
    {"EnterStaysCarriageReturn", named(TerminalKey::returnKey, capsLock), 1, "\r"},
    {"BackspaceStaysDelete", named(TerminalKey::backspace), 1, "\x7f"},
    {"ControlBackspace", named(TerminalKey::backspace, control), 1, "\x1b[127;5u"},
    {"ShiftTab", named(TerminalKey::backtab, shift), 1, "\x1b[9;2u"},
    {"AltLetter", text("a", U'a', alt), 1, "\x1b[97;3u"},
    {"SuperLetter", text("x", U'x', super), 1, "\x1b[120;9u"},
    {"HyperAndMeta", text("a", U'a', hyperMeta), 1, "\x1b[97;49u"},
    {"ShiftedTextIsText", text("A", U'a', shift), 1, "A"},
    {"CapsLockTextIsText", text("A", U'a', capsLock), 1, "A"},
    {"NonLatinText", text("\xd0\xb6", U'\u0436'), 1, "\xd0\xb6"},
    {"ControlNonLatin", text("", U'\u0436', control), 1, "\x1b[1078;5u"},
    // Keys that were escape codes already keep their forms, now with every modifier and the locks.
    {"PlainArrow", named(TerminalKey::up), 1, "\x1b[A"},
    {"PlainArrowApplicationMode", named(TerminalKey::up), 1, "\x1bOA", true},
    {"ControlArrowWithNumLock", named(TerminalKey::left, numLockControl), 1, "\x1b[1;133D"},
    {"SuperPageUp", named(TerminalKey::pageUp, super), 1, "\x1b[5;9~"},
    {"PlainF1", named(TerminalKey::f1), 1, "\x1bOP"},
    {"ShiftF3IsTilde", named(TerminalKey::f3, shift), 1, "\x1b[13;2~"},
    {"ControlF12", named(TerminalKey::f12, control), 1, "\x1b[24;5~"},
    // The keypad's keys without text have numbers of their own; its text keys type text.
    {"KeypadEnter", named(TerminalKey::enter, {}, KeyEventType::press, true), 1, "\x1b[57414u"},
    {"KeypadHome", named(TerminalKey::home, {}, KeyEventType::press, true), 1, "\x1b[57423u"},
    {"KeypadDigit", keypadText("7"), 1, "7"},
    {"ControlKeypadDigit", keypadText("7", control), 1, "\x1b[57406;5u"},
    // Flag 2: repeats and releases.
    {"ReleaseUnaskedIsNothing", text("a", U'a', {}, release), 1, ""},
    {"RepeatUnaskedIsAPress", text("", U'a', control, repeat), 1, "\x1b[97;5u"},
    {"TextRepeatIsText", text("a", U'a', {}, repeat), 3, "a"},
    {"TextRelease", text("a", U'a', {}, release), 3, "\x1b[97;1:3u"},
    {"ControlRepeat", text("", U'a', control, repeat), 3, "\x1b[97;5:2u"},
    {"ArrowRelease", named(TerminalKey::up, {}, release), 3, "\x1b[1;1:3A"},
    {"ArrowRepeat", named(TerminalKey::down, shift, repeat), 3, "\x1b[1;2:2B"},
    {"EnterReleaseUnsaid", named(TerminalKey::returnKey, {}, release), 3, ""},
    {"EventsAloneKeepLegacyChords", text("", U'c', control), 2, "\x03"},
    // Flag 4: the shifted key and the key on the US layout.
    {"ShiftedKey", controlShiftX(), 5, "\x1b[120:88;6u"},
    {"UsLayoutKey", text("", U'\u0441', control, KeyEventType::press, U'c'), 5, "\x1b[1089::99;5u"},
    // Flag 8: every key is an escape code, modifiers and locks included; flag 16 adds the text.
    {"AllKeysText", text("a", U'a'), 8, "\x1b[97u"},
    {"AllKeysEnter", named(TerminalKey::returnKey), 8, "\x1b[13u"},
    {"AllKeysCapsLockText", text("A", U'a', capsLock), 8, "\x1b[97;65u"},
    {"AllKeysKeypadDigit", keypadText("0"), 8, "\x1b[57399u"},
    {"AllKeysPlainArrowIsCsi", named(TerminalKey::up), 8, "\x1b[A", true},
    {"ModifierKeyPress", named(TerminalKey::leftShift, shift), 10, "\x1b[57441;2u"},
    {"ModifierKeyRelease", named(TerminalKey::rightControl, control, release), 10, "\x1b[57448;1:3u"},
    {"ModifierKeyAloneIsNothing", named(TerminalKey::leftShift, shift), 1, ""},
    {"CapsLockKey", named(TerminalKey::capsLock), 8, "\x1b[57358u"},
    {"AssociatedText", text("A", U'a', shift), 24, "\x1b[97;2;65u"},
    {"AssociatedTextUnmodified", text("\xc3\xa9", U'\u00e9'), 24, "\x1b[233;;233u"},
    {"NoTextOnRelease", text("a", U'a', {}, release), 26, "\x1b[97;1:3u"},
};

class ProtocolCaseTest : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(ProtocolCaseTest, Bytes)
{
    const ProtocolCase& c = GetParam();
    TerminalModes modes;
    modes.keyboardFlags = static_cast<std::uint8_t>(c.flags);
    modes.applicationCursorKeys = c.applicationCursorKeys;
    const KeyResult result = encodeKey(c.key, modes);
    EXPECT_EQ(result.action, KeyAction::send);
    EXPECT_EQ(result.bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Protocol, ProtocolCaseTest, ::testing::ValuesIn(protocolCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeyboardProtocolTest, WithoutFlagsNothingChangesAndReleasesSendNothing)
{
    for (const ProtocolCase& c : protocolCases) {
        KeyDescription press = c.key;
        press.event = KeyEventType::press;
        KeyDescription release = c.key;
        release.event = KeyEventType::release;
        EXPECT_EQ(encodeKey(release, {}).bytes, "") << c.name;
        KeyDescription legacy;
        legacy.key = press.key;
        legacy.modifiers = press.modifiers;
        legacy.text = press.text;
        legacy.character = press.character;
        legacy.keypad = press.keypad;
        EXPECT_EQ(encodeKey(press, {}), encodeKey(legacy, {})) << c.name;
    }
}

TEST(KeyboardProtocolTest, TheWindowsChordsStayTheWindows)
{
    TerminalModes modes;
    modes.keyboardFlags = 31;
    KeyDescription copy = text("", U'c', {.control = true, .shift = true});
    copy.character = U'C';
    EXPECT_EQ(encodeKey(copy, modes).action, KeyAction::copy);
    copy.event = KeyEventType::release;
    EXPECT_EQ(encodeKey(copy, modes).action, KeyAction::passOn) << "a release acts no second time";
    KeyDescription page = named(TerminalKey::pageUp, shift, KeyEventType::release);
    EXPECT_EQ(encodeKey(page, modes).action, KeyAction::passOn);
}

} // namespace
