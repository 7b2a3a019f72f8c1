// Where programs rely on xterm exactly: which controls keep the last-column (pending wrap) flag,
// which row positions the margins hold, the keyboard protocol's flag stacks, the colour-scheme and
// size reports, and the tables a full reset reclaims.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

using enginetest::rowTrimmed;
using enginetest::screenText;

namespace {

// --- the pending wrap, function by function --------------------------------------------------

struct FlagCase {
    const char* name;
    std::string control;
    bool keeps; // the flag is still set after the control
};

// xterm resets the flag in its cursor-moving, erasing and line/character editing functions and
// nowhere else; CBT is the one deliberate difference (docs/SEQUENCES.md).
const FlagCase flagCases[] = {
    {"LineFeed", "\n", false},
    {"VerticalTab", "\x0b", false},
    {"FormFeed", "\x0c", false},
    {"Index",
     "\x1b"
     "D",
     false},
    {"NextLine",
     "\x1b"
     "E",
     false},
    {"ReverseIndex", "\x1bM", false},
    {"CarriageReturn", "\r", false},
    {"Backspace", "\b", false},
    {"Tab", "\t", true},
    {"ForwardTabulation", "\x1b[I", true},
    {"BackwardTabulation", "\x1b[Z", false},
    {"CursorUp", "\x1b[A", false},
    {"CursorDown", "\x1b[B", false},
    {"CursorForward", "\x1b[C", false},
    {"LinePositionRelative", "\x1b[e", false},
    {"LinePositionAbsolute", "\x1b[3d", false},
    {"CharacterPositionRelative", "\x1b[a", false},
    {"CharacterAbsolute", "\x1b[10G", false},
    {"CursorPosition", "\x1b[3;10H", false},
    {"EraseBelow", "\x1b[J", false},
    {"EraseAbove", "\x1b[1J", false},
    {"EraseScreen", "\x1b[2J", false},
    {"EraseHistory", "\x1b[3J", true},
    {"EraseLineRight", "\x1b[K", false},
    {"EraseLineLeft", "\x1b[1K", false},
    {"EraseLine", "\x1b[2K", false},
    {"EraseCharacters", "\x1b[X", false},
    {"SelectiveErase", "\x1b[?K", false},
    {"InsertCharacters", "\x1b[@", false},
    {"DeleteCharacters", "\x1b[P", false},
    {"InsertLines", "\x1b[L", false},
    {"DeleteLines", "\x1b[M", false},
    {"ScrollUp", "\x1b[S", true},
    {"ScrollDown", "\x1b[T", true},
    {"ScrollLeft", "\x1b[ @", true},
    {"ScrollRight", "\x1b[ A", true},
    {"InsertColumns", "\x1b['}", true},
    {"DeleteColumns", "\x1b['~", true},
    {"Rendition", "\x1b[1;31m", true},
    {"Protection", "\x1b[1\"q", true},
    {"SaveAndRestore",
     "\x1b"
     "7\x1b[H\x1b"
     "8",
     true},
    {"Margins", "\x1b[1;5r", false},
    {"Alignment", "\x1b#8", false},
    {"SwitchScreenWith47", "\x1b[?47h", true},
    {"SwitchScreenWith1047", "\x1b[?1047h", true},
    {"EnterTheClearedScreenWith1049", "\x1b[?1049h", false},
    {"Leave1049RestoresTheCursor", "\x1b[?1049l", false},
    {"SoftReset", "\x1b[!p", true},
    {"DesignateACharset", "\x1b(0", true},
    {"SetATabStop", "\x1bH", true},
    {"InsertMode", "\x1b[4h", true},
    {"AutowrapOff", "\x1b[?7l", false},
    {"Title", "\x1b]2;t\x07", true},
    {"Apc", "\x1b_x\x1b\\", true},
    {"Cancel", "\x18", true},
};

class PendingWrapTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(PendingWrapTest, AsXterm)
{
    // The same on either screen, inside margins and in origin mode.
    for (const char* context : {"", "\x1b[?1049h", "\x1b[2;5r", "\x1b[2;5r\x1b[?6h"}) {
        enginetest::SizedEngine s(6, 10);
        s.engine.consume(std::string(context) + "\x1b[3;1H" + std::string(10, 'x'));
        ASSERT_TRUE(s.engine.wrapPending());
        s.engine.consume(GetParam().control);
        EXPECT_EQ(s.engine.wrapPending(), GetParam().keeps) << "after setup " << context + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Flag, PendingWrapTest, ::testing::ValuesIn(flagCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PendingWrapTest, TheNextCharacterLandsOnTheRowALineFeedReached)
{
    enginetest::SizedEngine s(4, 5);
    s.engine.consume("abcde\ny");
    EXPECT_EQ(screenText(s.engine), "abcde\n    y");
}

// --- row positions and the margins ---------------------------------------------------------

struct RowCase {
    const char* name;
    std::string input; // after margins 2..4 (rows 1..3 from 0) on a 6-row screen
    int row;
};

const RowCase rowCases[] = {
    // Positions ignore the margins unless origin mode is set (xterm).
    {"VprPassesTheBottomMargin", "\x1b[2;1H\x1b[9e", 5},
    {"VprStopsAtTheMarginInOriginMode", "\x1b[?6h\x1b[9e", 3},
    {"VpaPassesTheBottomMargin", "\x1b[2;1H\x1b[6d", 5},
    {"VpaCountsFromTheMarginInOriginMode", "\x1b[?6h\x1b[2d", 2},
    {"CupClampsToTheMarginInOriginMode", "\x1b[?6h\x1b[9;1H", 3},
    // Movements stop at a margin they start inside of.
    {"CudStopsAtTheBottomMargin", "\x1b[2;1H\x1b[9B", 3},
    {"CnlStopsAtTheBottomMargin", "\x1b[2;1H\x1b[9E", 3},
    {"CuuStopsAtTheTopMargin", "\x1b[3;1H\x1b[9A", 1},
    {"CudBelowTheRegionGoesToTheEdge", "\x1b[6;1H\x1b[A\x1b[9B", 5},
};

class RowPositionTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowPositionTest, Row)
{
    enginetest::SizedEngine s(6, 10);
    s.engine.consume("\x1b[2;4r" + GetParam().input);
    EXPECT_EQ(s.engine.cursorRow(), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(Margins, RowPositionTest, ::testing::ValuesIn(rowCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the keyboard protocol's stacks ----------------------------------------------------------

class KeyboardStackTest : public ::testing::Test {
protected:
    std::string flags()
    {
        s.engine.takeReplies();
        s.engine.consume("\x1b[?u");
        return s.engine.takeReplies();
    }
    enginetest::SizedEngine s{5, 20};
};

TEST_F(KeyboardStackTest, PushPopAndSet)
{
    EXPECT_EQ(flags(), "\x1b[?0u");
    s.engine.consume("\x1b[>1u\x1b[>11u");
    EXPECT_EQ(flags(), "\x1b[?11u");
    EXPECT_EQ(s.engine.modes().keyboardFlags, 11);
    s.engine.consume("\x1b[<u");
    EXPECT_EQ(flags(), "\x1b[?1u");
    s.engine.consume("\x1b[=6;2u"); // add
    EXPECT_EQ(flags(), "\x1b[?7u");
    s.engine.consume("\x1b[=2;3u"); // take away
    EXPECT_EQ(flags(), "\x1b[?5u");
    s.engine.consume("\x1b[=8u"); // replace
    EXPECT_EQ(flags(), "\x1b[?8u");
    s.engine.consume("\x1b[<99u");
    EXPECT_EQ(flags(), "\x1b[?0u") << "popping more than there is empties the stack";
    s.engine.consume("\x1b[>255u");
    EXPECT_EQ(flags(), "\x1b[?31u") << "only the flags the encoder knows are kept";
    EXPECT_EQ(screenText(s.engine), "") << "nothing of it prints";
}

TEST_F(KeyboardStackTest, BoundedAndOnePerScreen)
{
    for (int i = 1; i <= 40; ++i) {
        s.engine.consume("\x1b[>" + std::to_string(i % 32) + "u");
    }
    s.engine.consume("\x1b[<15u");
    EXPECT_EQ(flags(), "\x1b[?25u") << "the oldest entries went, the newest stayed";
    s.engine.consume("\x1b[?1049h");
    EXPECT_EQ(flags(), "\x1b[?0u") << "the alternate screen has its own stack";
    s.engine.consume("\x1b[>3u\x1b[!p");
    EXPECT_EQ(flags(), "\x1b[?3u") << "a soft reset keeps it";
    s.engine.consume("\x1b[?1049l");
    EXPECT_EQ(flags(), "\x1b[?25u");
    s.engine.consume("\x1b[?1049h");
    EXPECT_EQ(flags(), "\x1b[?0u") << "entering the alternate screen starts it afresh";
    s.engine.consume("\x1b[?1049l\x1b"
                     "c");
    EXPECT_EQ(flags(), "\x1b[?0u") << "a full reset empties both";
}

// --- reports ---------------------------------------------------------------------------------

TEST(ReportsTest, ColourSchemeFollowsTheBackground)
{
    enginetest::SizedEngine s(5, 20);
    s.engine.consume("\x1b[?996n");
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?997;1n") << "asked, answered";
    s.engine.setReportedColors(Color{0.9f, 0.9f, 0.9f, 1}, Color{});
    EXPECT_EQ(s.engine.takeReplies(), "") << "nobody asked for changes";
    s.engine.consume("\x1b[?2031h\x1b[?2031$p");
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?2031;1$y");
    s.engine.setReportedColors(Color{0.1f, 0.2f, 0.1f, 1}, Color{});
    s.engine.setReportedColors(Color{0.2f, 0.1f, 0.1f, 1}, Color{});
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?997;1n") << "once per crossing";
    s.engine.setReportedColors(Color{1, 1, 0.8f, 1}, Color{});
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?997;2n");
}

// The user's scheme is what cells resolve to and what queries answer; a program that asked (?2031)
// hears of each change once, however many parts of it changed before the owner drained the replies.
TEST(ReportsTest, TheSchemeIsTheLiveOneAndEachChangeIsReportedOnce)
{
    enginetest::SizedEngine s(5, 20);
    AnsiColors ansi = Palette::defaultAnsi();
    ansi[1] = Color{0.0f, 0.5f, 1.0f, 1.0f};
    const Color text{0.2f, 0.2f, 0.2f, 1.0f};
    const Color cursor{1.0f, 0.0f, 0.0f, 1.0f};
    s.engine.setPalette(ansi, text, cursor);
    EXPECT_EQ(s.engine.takeReplies(), "") << "nobody asked for changes";
    s.engine.consume("\x1b[31mR\x1b[0mD\x1b]4;1;?;9;?\x07\x1b]10;?;?;?\x07");
    EXPECT_EQ(s.engine.resolveForeground(s.engine.row(0)[0].style.foreground), ansi[1]);
    EXPECT_EQ(s.engine.resolveForeground(s.engine.row(0)[1].style.foreground), text);
    EXPECT_EQ(s.engine.takeReplies(), "\x1b]4;1;rgb:0000/8000/ffff\x07\x1b]4;9;rgb:ffff/4560/3a1c\x07"
                                      "\x1b]10;rgb:3333/3333/3333\x07\x1b]11;rgb:0000/0000/0000\x07"
                                      "\x1b]12;rgb:ffff/0000/0000\x07");

    s.engine.consume("\x1b[?2031h");
    s.engine.setPalette(ansi, text, cursor);
    EXPECT_EQ(s.engine.takeReplies(), "") << "nothing changed";
    ansi[2] = ansi[1];
    s.engine.setPalette(ansi, text, cursor);
    s.engine.setReportedColors(Color{0.9f, 0.9f, 0.9f, 1}, cursor);
    s.engine.setPalette(ansi, Color{0, 0, 0, 1}, cursor);
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?997;2n") << "one report, of the colours as they are now";
    s.engine.consume("\x1b[?996n");
    s.engine.setPalette(Palette::defaultAnsi(), text, cursor);
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[?997;2n") << "an answer still waiting already tells it";
}

TEST(ReportsTest, SizeOnSettingAndOnEveryChange)
{
    enginetest::SizedEngine s(5, 20);
    s.engine.setCellPixelSize(8, 16);
    s.engine.resizeGrid(6, 20);
    EXPECT_EQ(s.engine.takeReplies(), "") << "not asked for";
    s.engine.consume("\x1b[?2048h");
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[48;6;20;96;160t");
    s.engine.resizeGrid(7, 30);
    s.engine.resizeGrid(7, 30);
    EXPECT_EQ(s.engine.takeReplies(), "\x1b[48;7;30;112;240t");
    s.engine.consume("\x1b[?2048l");
    s.engine.resizeGrid(8, 30);
    EXPECT_EQ(s.engine.takeReplies(), "");
}

TEST(ReportsTest, TitleDropsC1AndIsNeverCutInsideACharacter)
{
    enginetest::SizedEngine s(5, 20);
    s.engine.consume("\x1b]2;a\xc2\x9b"
                     "31m\xc2\x85"
                     "b\x7f\x07");
    EXPECT_EQ(s.engine.title(), "a31mb");
    const std::string filler(1023, 'x');
    s.engine.consume("\x1b]2;" + filler + "\xc3\xa9\x07");
    EXPECT_EQ(s.engine.title(), filler) << "a two-byte character that does not fit goes whole";
}

// --- the tables a full reset reclaims --------------------------------------------------------

TEST(TablesTest, AFullCombiningTableDropsOnlyNewMarksAndRisReclaimsIt)
{
    enginetest::SizedEngine s(3, 20);
    s.engine.consume("e\xcc\x81\r\n");
    std::string flood;
    for (char32_t base = 0x4E00; base < 0x4E00 + 70000; ++base) {
        appendUtf8(flood, base);
        flood += "\xcc\x81"; // a distinct cluster each
    }
    s.engine.consume("\x1b[?1049h" + flood + "\x1b[?1049lo\xcc\x88x");
    EXPECT_EQ(rowTrimmed(s.engine, 0), "e\xcc\x81") << "what the table holds stays";
    EXPECT_EQ(rowTrimmed(s.engine, 1), "ox") << "a new mark is dropped, its base and the text after it stay";
    s.engine.consume("\x1b"
                     "co\xcc\x88x");
    EXPECT_EQ(rowTrimmed(s.engine, 0), "o\xcc\x88x") << "a full reset empties the table";
}

} // namespace
