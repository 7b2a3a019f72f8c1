// The full screen as programs drive it: screen-relative cursor over history, the alternate screen,
// scrolling regions and line editing, tab stops, insert and wrap modes, wide characters, combining
// marks and character sets. Each case feeds bytes to a small screen and compares the whole screen.
#include "EngineTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <vector>

using enginetest::screenText;

namespace {

struct ScreenCase {
    const char* name;
    int rows;
    int columns;
    std::string input;
    std::string screen; // rows joined by \n, trailing blanks and empty rows removed
    int cursorRow;
    int cursorColumn;
};

// Three lines of history above a 4 x 10 screen: "h0".."h2" scrolled off, "s0".."s3" on the screen.
const std::string withHistory = "h0\r\nh1\r\nh2\r\ns0\r\ns1\r\ns2\r\ns3";

const ScreenCase screenCases[] = {
    // Screen and history
    {"CupCountsFromTheScreenTop", 4, 10, withHistory + "\x1b[1;1HX", "X0\ns1\ns2\ns3", 0, 1},
    {"CupClampsToTheScreen", 4, 10, withHistory + "\x1b[99;99HX", "s0\ns1\ns2\ns3       X", 3, 9},
    {"CursorUpStopsAtTheScreenTop", 4, 10, withHistory + "\x1b[99AX", "s0X\ns1\ns2\ns3", 0, 3},
    {"EraseDisplayKeepsTheCursor", 4, 10, withHistory + "\x1b[2J", "", 3, 2},
    {"EraseBelow", 4, 10, "a\r\nb\r\nc\r\nd\x1b[2;1H\x1b[J", "a", 1, 0},
    {"EraseAbove", 4, 10, "a\r\nb\r\nc\r\nd\x1b[2;1H\x1b[1J", "\n\nc\nd", 1, 0},
    // Scrolling regions
    {"LineFeedScrollsInsideTheRegion", 5, 10, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[4;1H\nX", "1\n3\n4\nX\n5",
     3, 1},
    {"ReverseIndexAtTheTopMargin", 5, 10, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[2;1H\x1bMX", "1\nX\n2\n3\n5", 1,
     1},
    {"ReverseIndexAtTheScreenTop", 3, 10, "1\r\n2\r\n3\x1b[H\x1bM", "\n1\n2", 0, 0},
    {"MarginsRefuseOneRow", 4, 10, "a\x1b[3;3r\x1b[4;1H\nX", "\n\n\nX", 3, 1},
    {"InsertLines", 5, 10, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[3;5H\x1b[L", "1\n2\n\n3\n5", 2, 0},
    {"DeleteLines", 5, 10, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[2;1H\x1b[2M", "1\n4\n\n\n5", 1, 0},
    {"LinesOutsideTheRegionIgnoreIL", 5, 10, "1\r\n2\r\n3\r\n4\r\n5\x1b[2;4r\x1b[5;1H\x1b[L", "1\n2\n3\n4\n5",
     4, 0},
    {"ScrollUpAndDown", 4, 10, "1\r\n2\r\n3\r\n4\x1b[2S", "3\n4", 3, 1},
    {"ScrollDownInRegion", 4, 10, "1\r\n2\r\n3\r\n4\x1b[1;3r\x1b[T", "\n1\n2\n4", 0, 0},
    {"OriginModeCountsFromTheTopMargin", 5, 10, "\x1b[3;4r\x1b[?6h\x1b[1;1HA\x1b[9;1HB", "\n\nA\nB", 3, 1},
    {"CursorDownStopsAtTheBottomMargin", 5, 10, "\x1b[1;3r\x1b[99BX", "\n\nX", 2, 1},
    // Line editing
    {"RepeatTheLastCharacter", 2, 10, "ab\x1b[3b", "abbbb", 0, 5},
    {"RepeatWrapsLikePrinting", 2, 4, "x\x1b[5b", "xxxx\nxx", 1, 2},
    // REP repeats only a character right before it (ECMA-48, xterm).
    {"RepeatNothingAfterAControl", 2, 10, "a\r\n\x1b[3b", "a", 1, 0},
    {"RepeatNothingAfterASequence", 2, 10, "a\x1b[1m\x1b[3b", "a", 0, 1},
    {"RepeatNothingAfterAString", 2, 10, "a\x1b_x\x1b\\\x1b[3b", "a", 0, 1},
    {"RepeatOnlyOnce", 2, 10, "a\x1b[2b\x1b[2b", "aaa", 0, 3},
    // Column editing: the rows inside the margins, the cursor stays.
    {"ScrollLeftInsideTheMargins", 3, 5, "abcde\r\nfghij\r\nklmno\x1b[2;3r\x1b[2 @", "abcde\nhij\nmno", 0, 0},
    {"ScrollRight", 3, 5, "abcde\r\nfghij\r\nklmno\x1b[ A", " abcd\n fghi\n klmn", 2, 4},
    {"InsertColumns", 2, 5, "abcde\r\nfghij\x1b[1;3H\x1b['}", "ab cd\nfg hi", 0, 2},
    {"DeleteColumns", 2, 5, "abcde\r\nfghij\x1b[1;2H\x1b[2'~", "ade\nfij", 0, 1},
    // Selective erase passes protected cells by; SGR 0 keeps protection, ED and EL erase all.
    {"SelectiveEraseDisplay", 2, 10, "a\x1b[1\"qb\x1b[0mc\x1b[0\"qd\r\ne\x1b[?2J", " bc", 1, 1},
    {"SelectiveEraseLineLeft", 1, 10, "ab\x1b[1\"qc\x1b[2\"qde\x1b[?1K", "  c", 0, 5},
    {"EraseIgnoresProtection", 1, 10, "\x1b[1\"qab\x1b[2K", "", 0, 2},
    {"SelectiveEraseTakesAWideCharacterWhole", 1, 10, "\xe4\xb8\xadx\x1b[2G\x1b[?1K", "  x", 0, 1},
    // An unfinished string never swallows the rest: reset saves it, CAN ends it.
    {"ResetAfterAnUnfinishedString", 1, 10,
     "\x1bPjunk\x1b"
     "cok",
     "ok", 0, 2},
    {"CancelEndsAnUnfinishedString", 1, 10, "\x1b_junk\x18ok", "ok", 0, 2},
    {"ScreenAlignment", 2, 3, "ab\x1b#8", "EEE\nEEE", 0, 0},
    {"InsertMode", 1, 10, "abcd\x1b[1G\x1b[4hXY", "XYabcd", 0, 2},
    {"AutowrapOff", 2, 5, "\x1b[?7labcdefg", "abcdg", 0, 4},
    {"DeferredWrapThenCarriageReturn", 2, 3, "abc\r\nd", "abc\nd", 1, 1},
    {"BackspaceFromAPendingWrap", 1, 3, "abc\bX", "aXc", 0, 2},
    {"VerticalTabAndFormFeedAreLineFeeds", 3, 5,
     "a\x0b"
     "b\x0c"
     "c",
     "a\n b\n  c", 2, 3},
    {"DeleteIsIgnored", 1, 5,
     "a\x7f"
     "b",
     "ab", 0, 2},
    // Tab stops
    {"TabToTheNextStop", 1, 20, "\tX", "        X", 0, 9},
    {"SetAndClearStops", 1, 20, "\x1b[3g\x1b[4G\x1bH\r\tA\x1b[4G\x1b[0g\r\tB", "   A               B", 0, 19},
    {"ForwardAndBackwardTabulation", 1, 30, "\x1b[2IA\x1b[2ZB", "        B       A", 0, 9},
    // Wide characters and combining marks
    {"WideCharactersTakeTwoCells", 1, 10, "\xe4\xb8\xad\xe6\x96\x87x", "中文x", 0, 5},
    {"WideCharacterAtTheLastColumnWraps", 2, 5, "abcd\xe4\xb8\xad", "abcd\n中", 1, 2},
    {"OverwritingHalfAWideCharacterBlanksTheOther", 1, 6, "\xe4\xb8\xad\xe6\x96\x87\x1b[2Gx\x1b[4Gy", " x y",
     0, 4},
    {"InsertingAtTheSecondHalfOfAWideCharacter", 1, 6, "\xe4\xb8\xad\xe6\x96\x87\x1b[2G\x1b[@", "   文", 0,
     1},
    {"CombiningMarksJoinTheirBase", 1, 5, "e\xcc\x81x", "e\xcc\x81x", 0, 2},
    {"EmojiWithSelector", 1, 5, "\xe2\x9d\xa4\xef\xb8\x8f!", "\xe2\x9d\xa4\xef\xb8\x8f!", 0, 2},
    // Character sets
    {"DecSpecialGraphics", 1, 10, "\x1b(0lqk\x1b(Bq", "┌─┐q", 0, 4},
    {"ShiftOutUsesG1", 1, 10, "\x1b)0a\x0eq\x0fq", "a─q", 0, 3},
    {"ScreenTitleIsSwallowed", 1, 10, "\x1bkvim\x1b\\ok", "ok", 0, 2},
    {"OscIsSwallowed", 1, 10,
     "\x1b]0;title\x07"
     "a\x1b]2;t\x1b\\b",
     "ab", 0, 2},
    {"DcsIsSwallowed", 1, 10, "\x1bP+q544e\x1b\\ok", "ok", 0, 2},
};

class ScreenCaseTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenCaseTest, ScreenAndCursor)
{
    const ScreenCase& c = GetParam();
    enginetest::SizedEngine whole(c.rows, c.columns);
    whole.engine.consume(c.input);
    EXPECT_EQ(screenText(whole.engine), c.screen);
    EXPECT_EQ(whole.engine.cursorRow(), c.cursorRow);
    EXPECT_EQ(whole.engine.cursorColumn(), c.cursorColumn);
    // The fast paths and the byte-at-a-time path agree.
    enginetest::SizedEngine bytes(c.rows, c.columns);
    for (const char byte : c.input) {
        bytes.engine.consume(std::string_view(&byte, 1));
    }
    enginetest::expectSameState(whole.engine, bytes.engine);
}

INSTANTIATE_TEST_SUITE_P(Screen, ScreenCaseTest, ::testing::ValuesIn(screenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryTest, FullScreenScrollFeedsHistoryPartialRegionsDoNot)
{
    enginetest::SizedEngine s(4, 10);
    s.engine.consume(withHistory);
    EXPECT_EQ(s.engine.rowCount(), 7u);
    EXPECT_EQ(s.engine.screenTop(), 3);
    s.engine.consume("\x1b[1;3r\x1b[3;1H\n\n");
    EXPECT_EQ(s.engine.rowCount(), 7u) << "a partial region scrolls nothing into history";
    s.engine.consume("\x1b[2J");
    EXPECT_EQ(s.engine.rowCount(), 7u) << "erasing the screen keeps the history";
    s.engine.consume("\x1b[3J");
    EXPECT_EQ(s.engine.rowCount(), 4u);
    EXPECT_EQ(s.engine.screenTop(), 0);
}

TEST(HistoryTest, HeightChangesKeepTheCursorLine)
{
    enginetest::SizedEngine s(6, 10);
    s.engine.consume("a\r\nb\r\nc\r\nd");
    s.engine.resizeGrid(3, 10); // the blank rows below the cursor go first, then the top into history
    EXPECT_EQ(screenText(s.engine), "b\nc\nd");
    EXPECT_EQ(s.engine.cursorRow(), 2);
    EXPECT_EQ(s.engine.screenTop(), 1);
    s.engine.resizeGrid(5, 10); // history comes back before blank rows are added
    EXPECT_EQ(screenText(s.engine), "a\nb\nc\nd");
    EXPECT_EQ(s.engine.cursorRow(), 3);
}

TEST(AlternateScreenTest, LeavingRestoresThePrimaryScreenHistoryAndCursor)
{
    for (const char* mode : {"1049", "1047", "47"}) {
        SCOPED_TRACE(mode);
        enginetest::SizedEngine s(3, 10);
        s.engine.consume(std::string("1\r\n2\r\n3\r\n4\r\n5") + "\x1b[31m");
        const std::string before = screenText(s.engine);
        const std::size_t kept = s.engine.rowCount();
        s.engine.consume(std::string("\x1b[?") + mode + "h");
        EXPECT_TRUE(s.engine.alternateScreenActive());
        EXPECT_EQ(s.engine.rowCount(), 3u) << "no history on the alternate screen";
        s.engine.consume("\x1b[2J\x1b[Hvim\r\n\n\n\n\n");
        EXPECT_EQ(s.engine.rowCount(), 3u);
        s.engine.consume(std::string("\x1b[?") + mode + "l");
        EXPECT_FALSE(s.engine.alternateScreenActive());
        EXPECT_EQ(screenText(s.engine), before);
        EXPECT_EQ(s.engine.rowCount(), kept);
        if (std::string(mode) == "1049") {
            EXPECT_EQ(s.engine.cursorRow(), 2);
            EXPECT_EQ(s.engine.cursorColumn(), 1);
        }
    }
}

TEST(AlternateScreenTest, StampsNeverRepeatAcrossScreens)
{
    // A view reuses a line's image while its stamp is unchanged, so one stamp must never stand
    // for two different contents, whichever screen the row is on.
    enginetest::SizedEngine s(3, 10);
    std::map<std::uint64_t, std::vector<Cell>> seen;
    const auto check = [&] {
        for (std::size_t r = 0; r < s.engine.rowCount(); ++r) {
            const auto row = s.engine.row(r);
            const auto [it, added] = seen.try_emplace(s.engine.rowStamp(r), row.begin(), row.end());
            EXPECT_TRUE(added || std::equal(row.begin(), row.end(), it->second.begin(), it->second.end()))
                << "stamp " << it->first << " reused for other content at row " << r;
        }
    };
    for (int round = 0; round < 3; ++round) {
        s.engine.consume("\x1b[?1049hx\x1b[?1049ly");
        check();
        s.engine.consume("\x1b[?1049h");
        check();
        s.engine.consume(round == 1 ? "z\x1b[?1049l" : "\x1b[?1049l");
        check();
    }
}

TEST(ModesTest, SoftAndFullResetRestoreDefaults)
{
    enginetest::SizedEngine s(4, 10);
    s.engine.consume("\x1b[?25l\x1b[?1h\x1b=\x1b[4h\x1b[2;3r\x1b[1;7m\x1b[?2004h\x1b[3 q");
    EXPECT_FALSE(s.engine.modes().cursorVisible);
    EXPECT_TRUE(s.engine.modes().applicationCursorKeys);
    EXPECT_TRUE(s.engine.modes().applicationKeypad);
    EXPECT_EQ(s.engine.cursorStyle(), 3);
    s.engine.consume("\x1b[!p");
    EXPECT_TRUE(s.engine.modes().cursorVisible);
    EXPECT_FALSE(s.engine.modes().applicationCursorKeys);
    EXPECT_FALSE(s.engine.modes().insertMode);
    EXPECT_EQ(s.engine.scrollTop(), 0);
    EXPECT_EQ(s.engine.scrollBottom(), 3);
    EXPECT_EQ(s.engine.pen(), CellStyle{});
    EXPECT_TRUE(s.engine.bracketedPasteEnabled());
    s.engine.consume("\x1b[?1049h\x1b[?1000;1006hx\x1b"
                     "c");
    EXPECT_FALSE(s.engine.alternateScreenActive());
    EXPECT_EQ(s.engine.modes().mouseTracking, MouseTracking::none);
    EXPECT_EQ(s.engine.rowCount(), 4u);
    EXPECT_TRUE(s.engine.bracketedPasteEnabled()) << "bracketed paste survives a full reset";
}

} // namespace
