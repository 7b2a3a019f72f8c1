// CSI cursor movement, saving and restoring, reverse index, and which parameters and prefixes each
// sequence honours.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

using enginetest::rowTrimmed;

namespace {

class CursorTest : public ::testing::Test {
protected:
    void expectCursor(int row, int column)
    {
        EXPECT_EQ(e.cursorRow(), row);
        EXPECT_EQ(e.cursorColumn(), column);
    }
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
};

TEST_F(CursorTest, PositionDefaultsAndZeroMeanOne)
{
    e.consume("\x1b[5;10H");
    expectCursor(4, 9);
    for (const char* home : {"\x1b[H", "\x1b[;H", "\x1b[0;0H", "\x1b[1;1f"}) {
        e.consume("\x1b[5;10H");
        e.consume(home);
        expectCursor(0, 0);
    }
    e.consume("\x1b[;7H");
    expectCursor(0, 6);
}

TEST_F(CursorTest, PositionsClampToTheKeptRowsAndColumns)
{
    e.consume("\x1b[999;999H");
    expectCursor(23, 79);
    e.consume("\x1b[1;1H\x1b[999B");
    expectCursor(23, 0);
    e.consume("\x1b[999A\x1b[999C");
    expectCursor(0, 79);
    e.consume("\x1b[999D");
    expectCursor(0, 0);
}

TEST_F(CursorTest, NextAndPrecedingLineReturnToColumnZero)
{
    e.consume("\x1b[5;20H\x1b[2E");
    expectCursor(6, 0);
    e.consume("\x1b[9G\x1b[3F");
    expectCursor(3, 0);
}

TEST_F(CursorTest, HorizontalAbsoluteBothSpellings)
{
    e.consume("\x1b[12G");
    expectCursor(0, 11);
    e.consume("\x1b[3`");
    expectCursor(0, 2);
    e.consume("\x1b[0G");
    expectCursor(0, 0);
}

TEST_F(CursorTest, MovementsCancelAPendingWrap)
{
    for (const char* move : {"\x1b[A", "\x1b[B", "\x1b[C", "\x1b[D", "\x1b[E", "\x1b[F", "\x1b[G", "\x1b[`",
                             "\x1b[d", "\x1b[H", "\x1b[f", "\x1b[u"}) {
        e.consume("\x1b[1;1H" + std::string(80, 'x'));
        ASSERT_TRUE(e.wrapPending());
        e.consume(move);
        EXPECT_FALSE(e.wrapPending()) << move + 1;
    }
}

TEST_F(CursorTest, SavesAndColoursKeepAPendingWrap)
{
    for (const char* keep : {"\x1b[s", "\x1b[31m",
                             "\x1b"
                             "7",
                             "\x1b"
                             "8"}) {
        e.consume("\x1b[1;1H" + std::string(80, 'x'));
        e.consume(keep);
        EXPECT_TRUE(e.wrapPending()) << keep + 1;
    }
}

TEST_F(CursorTest, TabDoesNotCancelAPendingWrap)
{
    e.consume(std::string(80, 'x') + "\t");
    EXPECT_TRUE(e.wrapPending());
    e.consume("y");
    expectCursor(1, 1);
}

TEST_F(CursorTest, SaveAndRestoreBothSpellings)
{
    e.consume("\x1b[3;4H\x1b"
              "7\x1b[10;10H\x1b"
              "8");
    expectCursor(2, 3);
    e.consume("\x1b[5;6H\x1b[s\x1b[H\x1b[u");
    expectCursor(4, 5);
}

TEST_F(CursorTest, ForwardIndexAndNextLine)
{
    e.consume("\x1b[3;5H\x1b"
              "D");
    expectCursor(3, 4);
    e.consume("\x1b"
              "E");
    expectCursor(4, 0);
}

TEST_F(CursorTest, ReverseIndexMovesUpOrScrollsTheScreenDownAtTheTop)
{
    e.consume("\x1b[6;1H\x1bM");
    expectCursor(4, 0);
    EXPECT_EQ(e.rowCount(), 24u);

    e.consume("\x1b[H"
              "first\x1bM"); // at the top the screen scrolls down; nothing is added
    expectCursor(0, 5);
    EXPECT_EQ(e.rowCount(), 24u);
    EXPECT_EQ(rowTrimmed(e, 0), "");
    EXPECT_EQ(rowTrimmed(e, 1), "first");
}

TEST_F(CursorTest, BracketedPasteOnlyThroughPrivateMode2004)
{
    e.consume("\x1b[2004h");
    EXPECT_FALSE(e.bracketedPasteEnabled());
    e.consume("\x1b[?2004h");
    EXPECT_TRUE(e.bracketedPasteEnabled());
    e.consume("\x1b[?2004l");
    EXPECT_FALSE(e.bracketedPasteEnabled());
    e.consume("\x1b[?1049;2004h");
    EXPECT_TRUE(e.bracketedPasteEnabled());
    e.consume("\x1b[2004l");
    EXPECT_TRUE(e.bracketedPasteEnabled());
    e.consume("\x1b[?1;2004;25l");
    EXPECT_FALSE(e.bracketedPasteEnabled());
}

TEST_F(CursorTest, SelectiveEraseErasesLikeErase)
{
    e.consume("text\x1b[?2J"); // DECSED: an erase like ED, which leaves the cursor
    EXPECT_EQ(rowTrimmed(e, 0), "");
    expectCursor(0, 4);
}

TEST_F(CursorTest, LeadersSpoilTheirPieceOnlyInsideTheParameters)
{
    e.consume("\x1b[5;>7H");
    expectCursor(4, 0);      // the second piece counts as 0, i.e. column 1
    e.consume("\x1b[>5;7H"); // a leader makes another function, unknown here
    expectCursor(4, 0);
}

TEST_F(CursorTest, FinalsAreCaseSensitive)
{
    e.consume("\x1b[5;5H\x1b[2h\x1b[3j");
    expectCursor(4, 4);
}

} // namespace
