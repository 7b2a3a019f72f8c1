// Hostile and out-of-range input: the bounded control sequence, clamped grid sizes, the history limit
// held by reverse index, restores and resizes, and counts at the ends of the 64-bit range.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>
#include <limits>

using enginetest::rowTrimmed;

namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::size_t keptRows = HistoryLimit::defaultLines + 24; // the history and a 24-row screen

class HostileInputTest : public ::testing::Test {
protected:
    void fillHistory()
    {
        e.consume("first");
        while (e.rowCount() < keptRows) {
            e.lineFeed();
        }
        e.consume("\rlast");
    }
    void expectSaneGrid()
    {
        ASSERT_LE(e.rowCount(), HistoryLimit::defaultLines + static_cast<std::size_t>(e.rows()));
        ASSERT_GE(e.cursorRow(), 0);
        ASSERT_LT(e.cursorRow(), e.rows());
        ASSERT_LT(e.cursorColumn(), e.columns());
        ASSERT_GE(e.cursorColumn(), 0);
        for (std::size_t r = 0; r < e.rowCount(); ++r) {
            ASSERT_EQ(e.row(r).size(), static_cast<std::size_t>(e.columns())) << r;
        }
    }
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
};

TEST_F(HostileInputTest, AnOverlongSequenceIsSwallowedToItsFinalAndIgnored)
{
    e.consume("x\x1b[" + std::string(10000, '1'));
    e.consume(std::string(100000, ';'));
    EXPECT_EQ(rowTrimmed(e, 0), "x") << "all of it is still the sequence";
    e.consume("2Jafter");
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_EQ(rowTrimmed(e, 0), "xafter")
        << "the final ended the sequence, which did nothing; what follows is text";
}

TEST_F(HostileInputTest, SequenceFillingTheBufferExactlyStillActs)
{
    // [ + 4093 zeros + 5 + C is 4096 characters: executed.
    e.consume("\x1b[" + std::string(4093, '0') + "5C");
    EXPECT_EQ(e.cursorColumn(), 5);
    // One character more is past the bound: ignored.
    e.consume("\r\x1b[" + std::string(4094, '0') + "5C");
    EXPECT_EQ(e.cursorColumn(), 0);
}

TEST_F(HostileInputTest, OverflowIsForgottenByTheNextSequence)
{
    e.consume("\x1b[" + std::string(5000, '9') + "m\x1b[3C");
    EXPECT_EQ(e.cursorColumn(), 3);
}

TEST_F(HostileInputTest, ResizeClampsToAtLeastOneRowAndColumn)
{
    e.consume("hello");
    e.resizeGrid(0, 0);
    EXPECT_EQ(e.rows(), 1);
    EXPECT_EQ(e.columns(), 1);
    EXPECT_EQ(e.cursorColumn(), 0);
    expectSaneGrid();
    e.consume("ab\tc\x1b[5C\x1b[3@\x1b[2P\x1b[K");
    expectSaneGrid();
    e.resizeGrid(-7, std::numeric_limits<int>::min());
    EXPECT_EQ(e.rows(), 1);
    EXPECT_EQ(e.columns(), 1);
}

TEST_F(HostileInputTest, ResizeClampsToTheRowLimitAndTheColumnLimit)
{
    e.resizeGrid(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
    EXPECT_EQ(e.rows(), TerminalEngine::rowLimit);
    EXPECT_EQ(e.columns(), TerminalEngine::columnLimit);
    EXPECT_EQ(e.rowCount(), static_cast<std::size_t>(TerminalEngine::rowLimit));
    e.consume("\x1b[9999B");
    e.lineFeed();
    EXPECT_EQ(e.rowCount(), TerminalEngine::rowLimit + 1u) << "the top row went to the history";
    expectSaneGrid();
}

TEST_F(HostileInputTest, GrowingTheHeightOfAFullHistoryKeepsItAtTheLimit)
{
    fillHistory();
    e.resizeGrid(100, 80);
    EXPECT_EQ(e.rowCount(), keptRows);
    EXPECT_EQ(rowTrimmed(e, static_cast<std::size_t>(e.cursorLine())), "last")
        << "the cursor stays on its line";
    expectSaneGrid();
}

TEST_F(HostileInputTest, ReverseIndexAtTheHistoryLimitDropsTheLastRow)
{
    fillHistory();
    e.consume("\x1b[H");
    for (int i = 0; i < 5000; ++i) {
        e.consume("\x1bM");
    }
    EXPECT_EQ(e.rowCount(), keptRows);
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_EQ(rowTrimmed(e, keptRows - 1), "") << "first and last were pushed out at the bottom";
    expectSaneGrid();
}

TEST_F(HostileInputTest, RestoredRowBeyondAShrunkListNeverGrowsItPastTheLimit)
{
    fillHistory();
    e.consume("\x1b"
              "7");
    ASSERT_EQ(e.savedCursor().row, e.rows() - 1);
    e.consume("\x1b[2J\x1b"
              "8x");
    EXPECT_EQ(e.rowCount(), keptRows);
    e.consume("\n\n\n\x1b"
              "8y\x1b[u\n");
    EXPECT_EQ(e.rowCount(), keptRows);
    expectSaneGrid();
}

TEST_F(HostileInputTest, RestoredColumnBeyondANarrowedGridComesInsideTheRow)
{
    e.consume("\x1b[1;80H\x1b[s");
    e.resizeGrid(24, 40);
    e.consume("\x1b[H" + std::string(40, 'a'));
    e.consume("\x1b[1;1H\x1b[u");
    EXPECT_EQ(e.cursorColumn(), 39) << "the saved column is brought inside the narrower grid";
    e.consume("\x1b[K\x1b[5X\x1b[5P\x1b[5@");
    EXPECT_EQ(enginetest::rowText(e, 0), std::string(39, 'a') + " ");
    e.consume("\x1b[uw");
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_TRUE(e.wrapPending());
    expectSaneGrid();
}

TEST_F(HostileInputTest, NegativeCountsMoveNothingAndEraseNothing)
{
    e.consume("\x1b[10;10H"
              "0123456789");
    e.consume("\x1b[10;10H\x1b[-5A\x1b[-5B\x1b[-5C\x1b[-5D");
    EXPECT_EQ(e.cursorRow(), 9);
    EXPECT_EQ(e.cursorColumn(), 9);
    e.consume("\x1b[-3X\x1b[-3P\x1b[-3@");
    EXPECT_EQ(rowTrimmed(e, 9), "         0123456789");
    e.consume("\x1b[-4E");
    EXPECT_EQ(e.cursorRow(), 9);
    EXPECT_EQ(e.cursorColumn(), 0);
    e.consume("\x1b[-4;-4H");
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_EQ(e.cursorColumn(), 0);
}

TEST_F(HostileInputTest, CountsAtTheEndsOfTheSixtyFourBitRangeSaturate)
{
    for (const char* count : {"9223372036854775807", "-9223372036854775808", "99999999999999999999999"}) {
        for (const char final : std::string("ABCDEFG`dHfXP@JK")) {
            e.consume("\x1b[12;40Habc\x1b[" + std::string(count) + ";" + count + final);
            expectSaneGrid();
            ASSERT_LT(e.cursorColumn(), e.columns()) << count << final;
            ASSERT_LT(e.cursorRow(), static_cast<int>(e.rowCount()));
        }
    }
    e.consume("\x1b[9223372036854775807B");
    EXPECT_EQ(e.cursorRow(), 23);
}

TEST_F(HostileInputTest, GridOperationsTakeAnyCountDirectly)
{
    e.consume("\x1b[1;40H");
    for (const std::int64_t count : {int64Max, int64Min, std::int64_t{-1}, std::int64_t{0}}) {
        e.eraseCharacters(count);
        e.deleteCharacters(count);
        e.insertCharacters(count);
        e.eraseLine(count);
        e.eraseDisplay(count);
        expectSaneGrid();
    }
}

TEST_F(HostileInputTest, ParametersBeyondTheRangeCountAsZero)
{
    e.consume("\x1b[5;5H\x1b[9223372036854775808A");
    EXPECT_EQ(e.cursorRow(), 3) << "out of range parses as 0, which counts as 1";
    e.consume("\x1b[-9223372036854775809C");
    EXPECT_EQ(e.cursorColumn(), 5);
    e.consume("\x1b[+2C");
    EXPECT_EQ(e.cursorColumn(), 7) << "a plus sign is accepted";
    e.consume("\x1b[+-2C\x1b[--1C");
    EXPECT_EQ(e.cursorColumn(), 9) << "malformed signs count as 0, i.e. 1";
    e.consume("\x1b[1-C");
    EXPECT_EQ(e.cursorColumn(), 9) << "a trailing - is an intermediate: another function, unknown here";
}

// Digit runs are read several bytes at a time where the chunk holds enough bytes and one by one
// elsewhere (a chunk's last bytes, a sequence collected across chunks), and checked against the
// 64-bit range only when long: values must not depend on any of that.
TEST_F(HostileInputTest, ParameterValuesDoNotDependOnTheirLengthOrPlaceInTheChunk)
{
    TerminalEngine split;
    const auto columnAfter = [&](TerminalEngine& engine, const std::string& input, bool byteByByte) {
        if (byteByByte) {
            for (const char byte : input) {
                engine.consume(std::string(1, byte));
            }
        } else {
            engine.consume(input);
        }
        return engine.cursorColumn();
    };
    for (const bool byteByByte : {false, true}) {
        TerminalEngine& engine = byteByByte ? split : e;
        // Leading zeros never count towards the range; the bytes after the final vary what is left
        // of the chunk.
        for (std::size_t zeros = 0; zeros <= 24; ++zeros) {
            for (int tail = 0; tail <= 9; ++tail) {
                const std::string input =
                    "\r\x1b[" + std::string(zeros, '0') + "42G" + std::string(tail, 'x');
                ASSERT_EQ(columnAfter(engine, input, byteByByte), 41 + tail) << zeros << " " << tail;
            }
        }
        // 10^(n-1) is in range up to n = 19 digits (a forward move to the last column), then counts
        // as 0 (a move of one).
        for (std::size_t digits = 3; digits <= 22; ++digits) {
            const std::string input = "\x1b[1;10H\x1b[1" + std::string(digits - 1, '0') + "C";
            ASSERT_EQ(columnAfter(engine, input, byteByByte), digits <= 19 ? 79 : 10) << digits;
        }
        // The ends of the range, with and without leading zeros: a negative count moves nothing.
        for (const std::string zeros : {"", "0", "000000000000"}) {
            const auto move = [&](const std::string& count) {
                return columnAfter(engine, "\x1b[1;10H\x1b[" + count + "C", byteByByte) - 9;
            };
            EXPECT_EQ(move(zeros + "9223372036854775807"), 70);
            EXPECT_EQ(move(zeros + "9223372036854775808"), 1);
            EXPECT_EQ(move("-" + zeros + "9223372036854775808"), 0);
            EXPECT_EQ(move("-" + zeros + "9223372036854775809"), 1);
            EXPECT_EQ(move(zeros + "18446744073709551621"), 1) << "2^64 + 5 must not wrap to 5";
            EXPECT_EQ(move(zeros + "12345678;5"), 70) << "eight digits, all of one word";
            EXPECT_EQ(move(zeros + "1234567:8"), 1) << "a colon spoils the piece";
        }
    }
}

TEST_F(HostileInputTest, ManyParametersAreFine)
{
    std::string sgr = "\x1b[";
    for (int i = 0; i < 2000; ++i) {
        sgr += "38;5;";
    }
    e.consume(sgr + "1mx");
    EXPECT_EQ(rowTrimmed(e, 0), "x");
}

} // namespace
