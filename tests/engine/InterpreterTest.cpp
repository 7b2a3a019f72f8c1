// The state machine of the interpreter: C0 controls, ESC sequences, CSI collection, string skipping,
// state kept across chunks and one redraw per chunk.
#include "EngineTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using enginetest::rowText;
using enginetest::rowTrimmed;

namespace {

class InterpreterTest : public ::testing::Test {
protected:
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
};

TEST_F(InterpreterTest, CarriageReturnAndLineFeedAreSeparateMotions)
{
    e.consume("abc\r\n");
    EXPECT_EQ(rowTrimmed(e, 0), "abc");
    EXPECT_EQ(e.cursorRow(), 1);
    EXPECT_EQ(e.cursorColumn(), 0);

    e.consume("abc\n");
    EXPECT_EQ(e.cursorRow(), 2);
    EXPECT_EQ(e.cursorColumn(), 3) << "LF alone keeps the column";
}

TEST_F(InterpreterTest, TabStopsEveryEightColumnsWithTheLastColumnAsFinalStop)
{
    e.consume("\t");
    EXPECT_EQ(e.cursorColumn(), 8);
    e.consume("\x1b[76G\t");
    EXPECT_EQ(e.cursorColumn(), 79);
    e.consume("\t");
    EXPECT_EQ(e.cursorColumn(), 79);
}

TEST_F(InterpreterTest, BackspaceStopsAtColumnZeroAndCancelsPendingWrap)
{
    e.consume("\b");
    EXPECT_EQ(e.cursorColumn(), 0);
    e.consume(std::string(80, 'x'));
    ASSERT_TRUE(e.wrapPending());
    e.consume("\bY");
    EXPECT_FALSE(e.wrapPending());
    EXPECT_EQ(rowText(e, 0).substr(77), "xYx");
}

TEST_F(InterpreterTest, UnknownEscapeSequencesEndAtTheirFirstCharacter)
{
    e.consume("\x1b=\x1b>x");
    EXPECT_EQ(rowTrimmed(e, 0), "x") << "keypad modes are dropped";
    e.consume("\r\x1b\x1b[A");
    EXPECT_EQ(rowTrimmed(e, 0), "x") << "ESC ESC starts over: ESC [ A moves up";
    e.consume("y");
    EXPECT_EQ(rowTrimmed(e, 0), "y") << "and nothing is left pending";
}

TEST_F(InterpreterTest, DesignatorsAndOtherIntermediateSequencesAreSwallowedWhole)
{
    // What `tput sgr0` sends for xterm-256color, then a G1 switch, a double-height line, UTF-8 select.
    e.consume("a\x1b(B\x1b[mb\x1b)0c\x1b#3d\x1b%Ge");
    EXPECT_EQ(rowTrimmed(e, 0), "abcde");
    // Split across chunks: the intermediate waits for its final.
    e.consume("\x1b(");
    e.consume("Bf");
    EXPECT_EQ(rowTrimmed(e, 0), "abcdef");
    // A final after intermediates never runs the plain escape's action (ESC c would reset).
    e.consume("\x1b c\x1b(7g");
    EXPECT_EQ(rowTrimmed(e, 0), "abcdefg");
    // A control inside the sequence runs; the sequence goes on to its final.
    e.consume("\x1b(\rBh");
    EXPECT_EQ(rowTrimmed(e, 0), "hbcdefg");
    // Endless intermediates stay within the buffer's bound.
    e.consume(std::string(1, '\x1b') + std::string(10000, '('));
    e.consume("Bi");
    EXPECT_EQ(rowTrimmed(e, 0), "hicdefg");
}

TEST_F(InterpreterTest, ControlCharactersInsideSequencesAreExecutedInPlace)
{
    e.consume("ab\x1b[\n\r5");
    EXPECT_EQ(e.cursorRow(), 1);
    EXPECT_EQ(e.cursorColumn(), 0);
    e.consume("C");
    EXPECT_EQ(e.cursorColumn(), 5) << "the sequence went on after the controls";
    EXPECT_EQ(rowTrimmed(e, 1), "");
    e.consume("\r\x1b[2\x18"
              "C");
    EXPECT_EQ(rowTrimmed(e, 1), "C") << "CAN abandons the sequence";
    // Whole in one chunk, as collected byte by byte.
    enginetest::SizedEngine whole(3, 10);
    enginetest::SizedEngine bytes(3, 10);
    const std::string input = "abc\x1b[1\b;\r5H\x1b(\n0q\x1b[3\x1b[2Jx";
    whole.engine.consume(input);
    for (const char c : input) {
        bytes.engine.consume(std::string_view(&c, 1));
    }
    enginetest::expectSameState(whole.engine, bytes.engine);
}

TEST_F(InterpreterTest, SequencesWholeInOneChunkActAsWhenCollectedAcrossChunks)
{
    // Controls inside, a spoilt piece, the private marker: one chunk and byte by byte agree.
    const std::string input = "ab\x1b[\n\r5Cx\x1b[1;6Hy\x1b[?2004h\x1b[-9223372036854775808;+4Hz";
    TerminalEngine split;
    for (const char byte : input) {
        split.consume(std::string(1, byte));
    }
    e.consume(input);
    for (TerminalEngine* engine : {&e, &split}) {
        EXPECT_EQ(rowTrimmed(*engine, 0), "ab z y");
        EXPECT_TRUE(engine->bracketedPasteEnabled());
        EXPECT_EQ(engine->cursorRow(), 0);
        EXPECT_EQ(engine->cursorColumn(), 4);
    }
    // At the bound a sequence still runs; one character past it, it is swallowed and ignored.
    const std::size_t zerosThatFit = TerminalEngine::escapeBufferLimit - 3; // [ zeros 5 C
    const std::string fits = "\x1b[" + std::string(zerosThatFit, '0') + "5C";
    const std::string tooLong = "\x1b[" + std::string(zerosThatFit + 1, '0') + "5C";
    e.consume("\r" + fits);
    EXPECT_EQ(e.cursorColumn(), 5);
    e.consume("\r" + tooLong + "q");
    EXPECT_EQ(e.cursorColumn(), 1) << "swallowed to its final, then q printed";
}

TEST_F(InterpreterTest, PositionsAndLineErasesFollowedByTextActAsWhenCollected)
{
    // Short CUP and EL with at least eight bytes after them take their own path; each case, with
    // text after it, must leave what the same bytes fed one at a time leave.
    const char* const cases[] = {"\x1b[5;10H",      "\x1b[H",          "\x1b[;H",          "\x1b[0;0H",
                                 "\x1b[;7H",        "\x1b[7;H",        "\x1b[12H",         "\x1b[999;999H",
                                 "\x1b[9999999;1H", "\x1b[3;9999999H", "\x1b[0000003;02H", "\x1b[9999;0003H",
                                 "\x1b[12345;2H",   "\x1b[2;12345H",   "\x1b[0002K",       "\x1b[K",
                                 "\x1b[0K",         "\x1b[1K",         "\x1b[2K",          "\x1b[5K",
                                 "\x1b[1;2;3H",     "\x1b[1;2K",       "\x1b[12345678H",   "\x1b[3;4f",
                                 "\x1b[-1;4H",      "\x1b[2;4\x80H"};
    for (const char* sequence : cases) {
        // A pending wrap on the last row, red text, a row of text to erase into.
        const std::string input = std::string("\x1b[31m\x1b[24;1H") + std::string(80, 'w') + "\x1b[3;1H" +
                                  std::string(80, 'x') + "\x1b[3;40H" + sequence + "abcdefgh" + sequence +
                                  "ij\x1b[24;80Hz" + sequence + "klmnopqr";
        enginetest::SizedEngine whole(24, 80);
        enginetest::SizedEngine split(24, 80);
        whole.engine.consume(input);
        for (const char byte : input) {
            split.engine.consume(std::string(1, byte));
        }
        SCOPED_TRACE(testing::PrintToString(std::string(sequence)));
        enginetest::expectSameState(whole.engine, split.engine);
    }
}

TEST_F(InterpreterTest, EscInsideCsiStartsANewSequence)
{
    e.consume("hello\r\n\x1b[1\x1b[2J");
    EXPECT_EQ(rowTrimmed(e, 0), "");
    EXPECT_EQ(rowTrimmed(e, 1), "");
}

TEST_F(InterpreterTest, OscEndsAtBelOrStringTerminatorAndPrintsNothing)
{
    e.consume("\x1b]0;title\x07"
              "A");
    e.consume("\x1b]2;other\x1b\\B");
    EXPECT_EQ(rowTrimmed(e, 0), "AB");
}

TEST_F(InterpreterTest, EscapeOtherThanStringTerminatorAbandonsTheOsc)
{
    e.consume("\x1b]0;a\x1b[1mb");
    EXPECT_EQ(rowTrimmed(e, 0), "b");
    EXPECT_TRUE(e.pen().flags & CellFlags::bold) << "the ESC started a sequence of its own";
    EXPECT_TRUE(e.title().empty());
}

TEST_F(InterpreterTest, DeviceControlStringsIgnoreBelAndEndOnlyAtStringTerminator)
{
    for (const char* introducer : {"\x1bP", "\x1b^", "\x1b_", "\x1bX", "\x1bk"}) {
        e.consume(std::string(introducer) + "q#0;2\x07still inside");
        e.consume("more\x1b");
        e.consume("\\");
        EXPECT_EQ(rowTrimmed(e, 0), "") << introducer << ": BEL does not end it";
        e.consume("z\r");
        EXPECT_EQ(rowTrimmed(e, 0), "z") << introducer << ": ST ends it";
        e.consume("\x1b[K");
    }
}

TEST_F(InterpreterTest, SequenceSplitAcrossChunksContinues)
{
    e.consume("\x1b[3");
    e.consume("1mR");
    EXPECT_EQ(rowTrimmed(e, 0), "R");
    EXPECT_EQ(enginetest::fg(e, e.row(0)[0]), TerminalEngine::ansiColor(1, false));
}

TEST_F(InterpreterTest, EveryChunkRedrawsOnceEvenWhenEmpty)
{
    e.consume("");
    e.consume("\x1b[");
    e.consume(std::string(20000, 'a'));
    EXPECT_EQ(sized.renders, 3);
}

TEST_F(InterpreterTest, C1ControlSequenceIntroducerActsAsEscBracket)
{
    e.consume("\xc2\x9b"
              "5C");
    EXPECT_EQ(e.cursorColumn(), 5);
}

TEST_F(InterpreterTest, DeleteAndControlsTakeNoCell)
{
    e.consume(std::string_view("\x7f\xc2\x85\x07\x00z\x7f", 8));
    EXPECT_EQ(rowTrimmed(e, 0), "z");
    EXPECT_EQ(e.cursorColumn(), 1);
}

TEST_F(InterpreterTest, FullResetKeepsSavedCursorAndBracketedPaste)
{
    e.consume("\x1b[?2004h\x1b[5;5H\x1b"
              "7\x1b[31m"
              "text\n\n");
    e.consume("\x1b"
              "c");
    EXPECT_EQ(e.rowCount(), 24u);
    EXPECT_EQ(e.cursorRow(), 0);
    EXPECT_EQ(e.cursorColumn(), 0);
    EXPECT_EQ(e.currentColor(), e.baseTextColor());
    EXPECT_TRUE(e.bracketedPasteEnabled());
    EXPECT_EQ(e.savedCursor().row, 4);
    EXPECT_EQ(e.savedCursor().column, 4);
    EXPECT_EQ(rowTrimmed(e, 4), "");
}

} // namespace
