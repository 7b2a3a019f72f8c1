// The grid operations on their own: writing and wrapping, line feeds at the history limit, the erase,
// insert and delete ranges and their colours, append, and resizing.
#include "EngineTestSupport.h"
#include "engine/Palette.h"

#include <algorithm>
#include <gtest/gtest.h>

using enginetest::rowText;
using enginetest::rowTrimmed;

namespace {

constexpr Color red = NamedColors::systemRedColor;
constexpr Color base{0.92f, 0.93f, 0.96f, 1.0f};

// The default history and a 24-row screen.
constexpr int keptRows = static_cast<int>(HistoryLimit::defaultLines) + 24;

class GridTest : public ::testing::Test {
protected:
    GridTest()
    {
        e.setBaseTextColor(base);
        e.setCurrentColor(base);
    }
    void moveTo(int row, int column)
    {
        e.consume("\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H");
    }
    void fillRow(int row)
    {
        moveTo(row, 0);
        std::string digits;
        for (int i = 0; i < e.columns(); ++i) {
            digits += static_cast<char>('0' + i % 10);
        }
        e.consume(digits);
    }
    void scrollTo(int rowCount)
    {
        while (static_cast<int>(e.rowCount()) < rowCount) {
            e.lineFeed();
        }
    }

    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
};

TEST_F(GridTest, FullRowWrapsOnlyWhenTheNextCharacterArrives)
{
    e.consume(std::string(80, 'a'));
    EXPECT_EQ(e.cursorColumn(), 79);
    EXPECT_TRUE(e.wrapPending());
    EXPECT_EQ(e.cursorRow(), 0);
    e.consume("b");
    EXPECT_EQ(e.cursorRow(), 1);
    EXPECT_EQ(e.cursorColumn(), 1);
    EXPECT_EQ(rowTrimmed(e, 1), "b");
    EXPECT_FALSE(e.wrapPending());
}

TEST_F(GridTest, FullRowThenCarriageReturnLineFeedLeavesNoEmptyRow)
{
    e.consume(std::string(80, 'a') + "\r\nb");
    EXPECT_EQ(rowTrimmed(e, 1), "b");
    EXPECT_EQ(e.cursorRow(), 1);
}

TEST_F(GridTest, WrappedTextContinuesAcrossManyRows)
{
    e.consume(std::string(80 * 3 + 5, 'q'));
    EXPECT_EQ(e.cursorRow(), 3);
    EXPECT_EQ(e.cursorColumn(), 5);
    EXPECT_EQ(rowText(e, 2), std::string(80, 'q'));
}

TEST_F(GridTest, LineFeedKeepsTheColumn)
{
    moveTo(3, 37);
    e.lineFeed();
    EXPECT_EQ(e.cursorRow(), 4);
    EXPECT_EQ(e.cursorColumn(), 37);
}

TEST_F(GridTest, LineFeedAtTheHistoryLimitDropsTheOldestRow)
{
    e.consume("oldest\r\nsecond");
    scrollTo(keptRows);
    ASSERT_EQ(e.cursorRow(), 23);
    e.lineFeed();
    EXPECT_EQ(e.rowCount(), static_cast<std::size_t>(keptRows));
    EXPECT_EQ(e.cursorRow(), 23);
    EXPECT_EQ(rowTrimmed(e, 0), "second");
    EXPECT_EQ(rowTrimmed(e, e.rowCount() - 1), "") << "the recycled row comes back blank";
}

TEST_F(GridTest, RecycledRowsGetFreshStamps)
{
    scrollTo(keptRows);
    std::vector<std::uint64_t> before;
    for (std::size_t i = 0; i < e.rowCount(); ++i) {
        before.push_back(e.rowStamp(i));
    }
    e.lineFeed();
    e.consume("x");
    EXPECT_EQ(e.rowStamp(0), before[1]) << "an untouched row keeps its stamp as it moves up";
    const std::uint64_t last = e.rowStamp(e.rowCount() - 1);
    for (const std::uint64_t stamp : before) {
        EXPECT_NE(stamp, last);
    }
}

// Recycled rows are blanked only as far as they were written, when their blanks already have the
// base colour, and plain rows' cells catch up with their text only when read. Mixed output (short
// and wrapping lines, colours, erases in a colour, inserts and deletes, cursor jumps, a narrower and
// a wider grid, a new base colour, the screen read now and then as a paint does) runs through the
// ring twice; then the rows of each of the last lines must be what that line alone gives on a fresh
// grid: nothing of what a recycled row held before may show.
TEST(RecycledRowTest, NothingOfARecycledRowsOldContentShows)
{
    // Seven kinds of line of varying length, so that a ring slot meets a different kind each time
    // round (the ring's 2000 rows are no multiple of seven).
    const auto mixedLine = [](int i) -> std::string {
        const std::string n = std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), 'z');
        switch (i % 7) {
        case 0:
            return n + "\xc3\xa9\xce\xa9\r\n";
        case 1:
            return "\x1b[31m" + std::string(100, 'w') + n + "\x1b[0m\r\n";
        case 2:
            return "ab" + n + "\x1b[31m\x1b[K\x1b[0m\r\n";
        case 3:
            return "hello\x1b[2D\x1b[3@xy" + n + "\r\n";
        case 4:
            return "world" + n + "\x1b[1G\x1b[2P\r\n";
        case 5: // plain, wrapping past a gap
            return "\xc3\xa9\xe4\xb8\xad" + n + "\r\nA\x1b[70C" + n + "\r\n";
        default:
            return "\x1b[33mX\x1b[0m\x1b[10Cy\x1b[5X" + n + "\x1b[35m\x1b[3G\x1b[1K\x1b[0m\r\n";
        }
    };
    // Byte by byte, the cursor's row is read every seventh byte, as a paint while a line is typed.
    const auto feed = [](TerminalEngine& engine, const std::string& text, bool byteByByte) {
        if (!byteByByte) {
            engine.consume(text);
            return;
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            engine.consume(std::string_view(&text[i], 1));
            if (i % 7 == 0) {
                (void)engine.row(static_cast<std::size_t>(engine.screenTop() + engine.cursorRow()));
            }
        }
    };
    constexpr Color green = NamedColors::systemGreenColor;
    constexpr int lines = 1100 + 2 * static_cast<int>(HistoryLimit::defaultLines) + 300;
    constexpr Color blue = NamedColors::systemBlueColor;
    // A second new base colour near the end puts the compared rows on their first round in it.
    for (const auto& [byteByByte, lateColor] : {std::pair{false, false}, {true, false}, {false, true}}) {
        SCOPED_TRACE(testing::Message() << (byteByByte ? "byte by byte" : "whole lines")
                                        << (lateColor ? ", late base colour" : ""));
        const Color last = lateColor ? blue : green;
        enginetest::SizedEngine sized{28, 89};
        TerminalEngine& e = sized.engine;
        for (int i = 0; i < static_cast<int>(HistoryLimit::defaultLines); ++i) {
            e.consume("\x1b[36m" + std::string(89, '#') + (i % 3 == 0 ? "\x1b[41m\x1b[2K" : "") +
                      "\x1b[0m\r\n");
        }
        for (int i = 0; i < lines; ++i) {
            if (i == 300) {
                e.setBaseTextColor(green);
            } else if (i == 700) {
                e.resizeGrid(28, 60);
            } else if (i == 1100) {
                e.resizeGrid(28, 89);
            } else if (lateColor && i == lines - 1500) {
                e.setBaseTextColor(blue);
            }
            feed(e, mixedLine(i), byteByByte);
            if (i % 5 == 0) {
                for (int r = 0; r < e.rows(); ++r) {
                    (void)e.row(static_cast<std::size_t>(e.screenTop() + r));
                }
            }
        }
        // From the last line back: each takes the rows that it takes alone on a fresh grid.
        int end = e.cursorLine();
        int failures = 0;
        for (int i = lines - 1; i >= lines - 1000 && failures < 5; --i) {
            TerminalEngine alone;
            alone.setBaseTextColor(last);
            alone.setCurrentColor(last);
            alone.resizeGrid(28, 89);
            feed(alone, mixedLine(i), byteByByte);
            const int taken = alone.cursorRow();
            for (int r = 0; r < taken; ++r) {
                const auto shown = e.row(static_cast<std::size_t>(end - taken + r));
                const auto expected = alone.row(static_cast<std::size_t>(r));
                if (!std::equal(shown.begin(), shown.end(), expected.begin(), expected.end())) {
                    const auto at =
                        std::mismatch(shown.begin(), shown.end(), expected.begin(), expected.end());
                    ADD_FAILURE() << "line " << i << ", its row " << r << ", from cell "
                                  << (at.first - shown.begin()) << ": "
                                  << rowText(e, static_cast<std::size_t>(end - taken + r)) << " | "
                                  << rowText(alone, static_cast<std::size_t>(r));
                    ++failures;
                }
            }
            end -= taken;
        }
    }
}

// A plain row's cells lag behind its text until read. Rows read, then written again and recycled
// unread, come back blank: shorter text on them shows nothing of the longer text before, and a line
// feed in a background colour blanks them in it. The history keeps what they showed.
TEST(RecycledRowTest, PlainRowsWrittenAfterAReadComeBackBlank)
{
    enginetest::SizedEngine sized{3, 10};
    TerminalEngine& e = sized.engine;
    const auto cursorRow = [&] { return static_cast<std::size_t>(e.screenTop() + e.cursorRow()); };
    for (int i = 0; i < 6; ++i) {
        e.consume("01234567");
        EXPECT_EQ(rowText(e, cursorRow()), "01234567  ");
        e.consume("\rab\r\n");
    }
    EXPECT_EQ(rowTrimmed(e, e.screenTop() - 1), "ab234567");
    for (int i = 0; i < 6; ++i) {
        e.consume("xy");
        EXPECT_EQ(rowText(e, cursorRow()), "xy        ");
        e.consume("\rXY\r\n");
    }
    e.consume("\x1b[44m");
    for (int i = 0; i < 6; ++i) {
        e.consume("\n");
        for (const Cell& cell : e.row(cursorRow())) {
            EXPECT_EQ(cell, blankCell(CellColor::indexed(4)));
        }
    }
}

// Columns a narrower grid cut off do not come back when it widens again (the alternate screen keeps
// its rows through a resize): a later write at the far end shows blanks before it.
TEST(RecycledRowTest, ColumnsCutOffByANarrowerGridDoNotComeBack)
{
    enginetest::SizedEngine sized{3, 20};
    TerminalEngine& e = sized.engine;
    e.consume("\x1b[?1049h0123456789ABCDEFGHIJ");
    e.resizeGrid(3, 10);
    e.resizeGrid(3, 20);
    e.consume("\x1b[1;20HZ");
    EXPECT_EQ(rowText(e, e.screenTop()), "0123456789" + std::string(9, ' ') + "Z");
}

TEST_F(GridTest, EditingARowChangesOnlyItsStamp)
{
    const std::uint64_t row0 = e.rowStamp(0);
    const std::uint64_t row1 = e.rowStamp(1);
    moveTo(1, 5);
    e.consume("z");
    EXPECT_EQ(e.rowStamp(0), row0);
    EXPECT_NE(e.rowStamp(1), row1);
}

TEST_F(GridTest, EraseAllKeepsTheHistoryAndTheCursorButNotAPendingWrap)
{
    scrollTo(500);
    e.consume(std::string(80, 'w'));
    ASSERT_TRUE(e.wrapPending());
    e.eraseDisplay(2);
    EXPECT_EQ(e.rowCount(), 500u);
    EXPECT_EQ(rowTrimmed(e, e.rowCount() - 1), "");
    EXPECT_EQ(e.cursorRow(), 23);
    EXPECT_EQ(e.cursorColumn(), 79);
    EXPECT_FALSE(e.wrapPending()) << "as xterm, an erase drops it";
    e.consume("n");
    EXPECT_EQ(e.cursorRow(), 23);
    EXPECT_EQ(e.cursorColumn(), 79);
    e.eraseDisplay(3);
    EXPECT_EQ(e.rowCount(), 24u);
}

TEST_F(GridTest, EraseDisplayOfUnknownModeChangesNothing)
{
    fillRow(2);
    const std::string before = rowText(e, 2);
    e.eraseDisplay(5);
    e.eraseDisplay(-1);
    EXPECT_EQ(rowText(e, 2), before);
}

TEST_F(GridTest, ErasesFillWithTheCurrentBackground)
{
    fillRow(2);
    fillRow(3);
    e.consume("\x1b[31;41;1m");
    moveTo(2, 40);
    e.eraseDisplay(0);
    EXPECT_EQ(rowTrimmed(e, 2), "0123456789012345678901234567890123456789");
    for (const Cell& blank : {e.row(2)[40], e.row(2)[79], e.row(3)[0]}) {
        EXPECT_EQ(blank, blankCell(CellColor::indexed(1))) << "only the background is taken";
    }
    EXPECT_EQ(e.row(2)[39].style.background, CellColor::defaultColor);
}

TEST_F(GridTest, EraseAboveStaysOnTheScreen)
{
    e.consume("history line");
    scrollTo(100);
    fillRow(10);
    moveTo(10, 9);
    e.eraseDisplay(1);
    EXPECT_EQ(rowTrimmed(e, 0), "history line");
    EXPECT_EQ(rowText(e, static_cast<std::size_t>(e.screenTop() + 10)).substr(0, 11), "          0")
        << "columns 0..9 blank, 10 kept";
}

TEST_F(GridTest, EraseLineModes)
{
    fillRow(0);
    moveTo(0, 5);
    e.eraseLine(1);
    EXPECT_EQ(rowText(e, 0).substr(0, 8), "      67");
    fillRow(0);
    moveTo(0, 5);
    e.eraseLine(7);
    EXPECT_EQ(rowTrimmed(e, 0).size(), 80u) << "an unknown mode erases nothing";
    e.eraseLine(0);
    EXPECT_EQ(rowTrimmed(e, 0), "01234");
    e.eraseLine(2);
    EXPECT_EQ(rowTrimmed(e, 0), "");
    EXPECT_EQ(e.cursorColumn(), 5);
}

TEST_F(GridTest, DeleteCharactersShiftsLeftAndFillsAtTheRight)
{
    fillRow(0);
    e.consume("\x1b[42m");
    moveTo(0, 2);
    e.deleteCharacters(3);
    EXPECT_EQ(rowText(e, 0).substr(0, 6), "015678");
    EXPECT_EQ(rowText(e, 0).substr(74), "789   ");
    EXPECT_EQ(e.row(0)[77], blankCell(CellColor::indexed(2)));
    EXPECT_EQ(e.cursorColumn(), 2);
}

TEST_F(GridTest, DeleteMoreThanTheRowHoldsBlanksToTheEnd)
{
    fillRow(0);
    e.consume("\x1b[41m");
    moveTo(0, 10);
    e.deleteCharacters(200);
    EXPECT_EQ(rowTrimmed(e, 0), "0123456789");
    for (int c = 10; c < 80; ++c) {
        ASSERT_EQ(e.row(0)[static_cast<std::size_t>(c)], blankCell(CellColor::indexed(1))) << c;
    }
}

TEST_F(GridTest, InsertCharactersShiftsRightAndLosesCellsPastTheEnd)
{
    fillRow(0);
    moveTo(0, 2);
    e.insertCharacters(3);
    EXPECT_EQ(rowText(e, 0).substr(0, 8), "01   234");
    EXPECT_EQ(rowText(e, 0).substr(77), "456") << "the last three digits fell off";

    fillRow(1);
    moveTo(1, 78);
    e.insertCharacters(3);
    EXPECT_EQ(rowText(e, 1).substr(76), "67  ") << "at column 78 only 78 and 79 are blanked";
}

TEST_F(GridTest, EraseCharactersStopsAtTheRowEnd)
{
    fillRow(0);
    moveTo(0, 77);
    e.eraseCharacters(5);
    EXPECT_EQ(rowText(e, 0).substr(75), "56   ");
    EXPECT_EQ(e.row(0).size(), 80u);
}

TEST_F(GridTest, WriteTakesEveryScalarFromSpaceUpAndDropsOtherControls)
{
    e.write(U'\x7f', red);
    e.write(U'\x85', red);
    e.write(U'\a', red);
    e.write(U'\U0001F600', red);
    EXPECT_EQ(e.row(0)[0].character, U'\x7f');
    EXPECT_EQ(e.row(0)[1].character, U'\x85');
    EXPECT_EQ(e.row(0)[2].character, U'\U0001F600');
    EXPECT_EQ(e.row(0)[3].style.flags & CellFlags::wideTail, CellFlags::wideTail)
        << "an emoji takes two cells";
    EXPECT_EQ(enginetest::fg(e, e.row(0)[2]), red);
    EXPECT_EQ(e.cursorColumn(), 4);
}

TEST_F(GridTest, AppendWritesTextLiterallyAndRedrawsOnce)
{
    const int before = sized.renders;
    e.append("ab\ncd", red);
    EXPECT_EQ(rowTrimmed(e, 0), "ab");
    EXPECT_EQ(rowTrimmed(e, 1), "  cd") << "LF moves down without returning to column 0";
    EXPECT_EQ(enginetest::fg(e, e.row(1)[2]), red);
    EXPECT_EQ(sized.renders, before + 1);

    e.append("\r\x1b[2J!", base);
    EXPECT_EQ(rowTrimmed(e, 1), "  cd[2J!") << "CR and ESC are dropped, nothing is interpreted";
    e.consume("Z");
    EXPECT_EQ(rowTrimmed(e, 1), "  cd[2J!Z") << "and the shell's bytes start afresh";
}

TEST_F(GridTest, AppendOfMalformedUtf8ShowsReplacementCharacters)
{
    e.append("a\xff"
             "b\xe2\x82",
             base);
    EXPECT_EQ(e.row(0)[1].character, U'\uFFFD');
    EXPECT_EQ(e.row(0)[3].character, U'\uFFFD') << "a truncated character at the end is not lost silently";
    EXPECT_EQ(e.cursorColumn(), 4);
}

TEST_F(GridTest, ResizeToTheSameSizeDoesNotRedraw)
{
    const int before = sized.renders;
    e.resizeGrid(24, 80);
    EXPECT_EQ(sized.renders, before);
    e.resizeGrid(25, 80);
    EXPECT_EQ(sized.renders, before + 1);
}

TEST_F(GridTest, GrowingAppendsRowsAtTheBottomAndKeepsTheCursorRow)
{
    moveTo(3, 4);
    e.resizeGrid(30, 80);
    EXPECT_EQ(e.rowCount(), 30u);
    EXPECT_EQ(e.cursorRow(), 3);
}

TEST_F(GridTest, ShrinkingDropsBlankRowsBelowTheCursorThenPushesTheTopIntoHistory)
{
    e.consume("top");
    moveTo(20, 0);
    e.consume("kept");
    e.resizeGrid(10, 80);
    EXPECT_EQ(e.rowCount(), 21u) << "the three rows below the cursor go";
    EXPECT_EQ(e.cursorRow(), 9);
    EXPECT_EQ(rowTrimmed(e, static_cast<std::size_t>(e.cursorLine())), "kept");
    EXPECT_EQ(rowTrimmed(e, 0), "top") << "now in the history";
}

TEST_F(GridTest, NarrowingRewrapsTheRowAndWideningJoinsItWithTheCursorOnItsCharacter)
{
    fillRow(0);
    moveTo(0, 60);
    e.resizeGrid(24, 40);
    EXPECT_EQ(e.cursorRow(), 1);
    EXPECT_EQ(e.cursorColumn(), 20);
    for (std::size_t r = 0; r < e.rowCount(); ++r) {
        ASSERT_EQ(e.row(r).size(), 40u);
    }
    EXPECT_TRUE(e.rowWrapped(0));
    e.resizeGrid(24, 100);
    EXPECT_EQ(rowText(e, 0).substr(78), "89" + std::string(20, ' '));
    EXPECT_EQ(enginetest::fg(e, e.row(0)[99]), base);
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_EQ(e.cursorColumn(), 60);
}

TEST_F(GridTest, AFreshEngineHoldsOneScreenOfBlankRows)
{
    TerminalEngine fresh;
    EXPECT_EQ(fresh.rowCount(), 24u);
    fresh.resizeGrid(30, 100);
    EXPECT_EQ(fresh.rowCount(), 30u);
    EXPECT_EQ(fresh.row(29).size(), 100u);
}

} // namespace
