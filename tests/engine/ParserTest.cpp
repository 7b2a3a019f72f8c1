// The parser alone: bytes in, actions out, through a recording sink. Every case is also fed split
// at every byte and one byte at a time, which must record the same actions.
#include "RecordingSink.h"
#include "engine/VtParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Actions = std::vector<std::string>;
using enginetest::RecordingSink;

Actions parsed(const std::vector<std::string_view>& chunks)
{
    RecordingSink sink;
    VtParser<RecordingSink> parser(sink);
    for (const std::string_view chunk : chunks) {
        parser.parse(std::span(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()));
    }
    return sink.actions;
}

struct ParserCase {
    const char* name;
    std::string bytes;
    Actions actions;
};

std::string longSequence(std::size_t zeros)
{
    return "\x1b[" + std::string(zeros, '0') + "5C";
}

std::string repeated(std::string_view piece, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}

// A colon SGR of count + 2 values.
std::string manyColonValues(int count)
{
    return "\x1b[1:1" + repeated(";1", count) + "m";
}

const ParserCase parserCases[] = {
    // Text and C0
    {"TextAndControls",
     "ab\r\ncd\t\b\x07",
     {"print ab", "execute 0D", "execute 0A", "print cd", "execute 09", "execute 08", "execute 07"}},
    {"Utf8TextInOneRun",
     "caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97!",
     {"print caf\xc3\xa9 \xe6\xbc\xa2\xe5\xad\x97!"}},
    {"DeleteIsNothing",
     "a\x7f"
     "b",
     {"print ab"}},
    {"InvalidUtf8IsReplaced", "a\xff\xc3(", {"print a\xef\xbf\xbd\xef\xbf\xbd("}},
    {"C1ControlsExecute",
     "\xc2\x85\xc2\x9b"
     "5C",
     {"execute 85", "csi   C 5"}},
    // Escape sequences
    {"PlainEscapes",
     "\x1b"
     "7\x1b"
     "c\x1bM\x1b=",
     {"esc  7", "esc  c", "esc  M", "esc  ="}},
    {"OneIntermediate", "\x1b(0\x1b#8\x1b%G", {"esc (0", "esc #8", "esc %G"}},
    {"TwoIntermediatesAreDropped", "\x1b((Bx", {"print x"}},
    {"ControlInsideEscapeRunsInPlace", "\x1b(\rB", {"execute 0D", "esc (B"}},
    {"EscapeIntermediatesAreBounded", "\x1b" + std::string(5000, '(') + "Bz", {"print z"}},
    // Control sequences
    {"CursorPositionForms",
     "\x1b[5;10H\x1b[H\x1b[;7H\x1b[12H\x1b[3;4f",
     {"cup 5;10", "cup 0;0", "cup 0;7", "cup 12;0", "csi   f 3;4"}},
    {"EraseInLine", "\x1b[K\x1b[2K\x1b[0002K\x1b[1;2K", {"el 0", "el 2", "el 2", "csi   K 1;2"}},
    {"LeaderAndIntermediateMakeTheKey",
     "\x1b[?2004h\x1b[>c\x1b[2 q\x1b[?25$p\x1b[!p",
     {"csi ? h 2004", "csi > c 0", "csi   q 2", "csi ?$p 25", "csi  !p 0"}},
    {"TwoIntermediatesInASequenceAreDropped", "\x1b[1 !px", {"print x"}},
    {"EmptyAndSignedParameters", "\x1b[;5;-3;+4;1-2r", {"csi   r 0;5;-3;4;0"}},
    {"ParameterBeyondTheRangeIsZero",
     "\x1b[9223372036854775808;9223372036854775807A",
     {"csi   A 0;9223372036854775807"}},
    {"ControlInsideSequenceRunsInPlace", "\x1b[1\r;5H", {"execute 0D", "cup 1;5"}},
    {"EscapeRestartsASequence", "\x1b[1\x1b[2J", {"csi   J 2"}},
    {"CancelAbandonsASequence", "\x1b[1\x18x\x1b(\x1ay", {"print xy"}},
    {"InvalidUtf8SpoilsAPiece",
     "\x1b[1\xff"
     "2C",
     {"csi   C 0"}},
    {"SequenceAtItsBoundActs", longSequence(4093), {"csi   C 5"}},
    {"SequenceBeyondItsBoundIsSwallowed", longSequence(4094) + "x", {"print x"}},
    // Graphic rendition
    {"RenditionForms",
     "\x1b[m\x1b[0m\x1b[1;31m\x1b[38;5;196m\x1b[48;2;1;22;255m\x1b[38;5;1234m",
     {"sgr 0", "sgr 0", "sgr 1;31", "sgr 38;5;196", "sgr 48;2;1;22;255", "sgr 38;5;1234"}},
    {"ColonGroups", "\x1b[4:3;38:2::10:20:30;1m", {"sgr 4:3;38:2:0:10:20:30;1"}},
    {"ColonPieceOfTenDigitsIsZero", "\x1b[4:1234567890m", {"sgr 4:0"}},
    {"TooManyColonValuesAreIgnored", manyColonValues(300) + "x", {"print x"}},
    {"ColonValuesUpToTheBoundAct", manyColonValues(250), {"sgr 1:1" + repeated(";1", 250)}},
    // Strings
    {"OscEndsAtBelOrSt",
     "\x1b]0;title\x07\x1b]2;t\xc3\xa9\x1b\\",
     {"osc 0;title (bel)", "osc 2;t\xc3\xa9 (st)"}},
    {"EscapeAbandonsAnOsc", "\x1b]0;a\x1b[1m", {"sgr 1"}},
    {"CancelAbandonsAnOsc",
     "\x1b]0;a\x18"
     "b",
     {"print b"}},
    {"DcsKeepsItsStartAndIgnoresBel", "\x1bP$q\x07m\x1b\\", {"dcs $q\x07m"}},
    // An unfinished string never swallows what follows: CAN and SUB abandon it, ESC starts a new
    // sequence (xterm, the DEC parser).
    {"EscapeInsideAStringStartsASequence",
     "\x1bP$qm\x1b"
     "7x\x1b_a\x1b[2Ay\x1bkt\x1b]0;t\x07z",
     {"esc  7", "print x", "csi   A 2", "print y", "osc 0;t (bel)", "print z"}},
    {"CancelAndSubstituteAbandonAString", "\x1bPq\x18x\x1b_a\x1ay\x1bXt\x18z\x1b^\x1az", {"print xyzz"}},
    {"DcsBeyondItsBoundIsCut", "\x1bP" + std::string(100, 'q') + "\x1b\\", {"dcs " + std::string(61, 'q')}},
    {"PrivateStringsAreSwallowed", "\x1b_a\x1b^b\x1b\\\x1bXc\x1b\\\x1bkd\x1b\\x", {"print x"}},
};

class ParserCases : public testing::TestWithParam<ParserCase> {};

TEST_P(ParserCases, RecordTheActionsInEveryChunking)
{
    const ParserCase& c = GetParam();
    const std::string_view bytes = c.bytes;
    EXPECT_EQ(parsed({bytes}), c.actions);
    for (std::size_t split = 1; split < bytes.size(); ++split) {
        ASSERT_EQ(parsed({bytes.substr(0, split), bytes.substr(split)}), c.actions) << "split at " << split;
    }
    std::vector<std::string_view> single;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        single.push_back(bytes.substr(i, 1));
    }
    EXPECT_EQ(parsed(single), c.actions) << "one byte at a time";
}

INSTANTIATE_TEST_SUITE_P(Parser, ParserCases, testing::ValuesIn(parserCases),
                         [](const testing::TestParamInfo<ParserCase>& info) { return info.param.name; });

// The sink decides how far a text run goes: the parser goes on where the sink stopped.
TEST(ParserTest, TextRunResumesWhereTheSinkStopped)
{
    struct GreedySink : enginetest::RecordingSink {
        const std::uint8_t* printText(const std::uint8_t*, const std::uint8_t* end, char32_t first, int)
        {
            print(first);
            return end; // everything up to the end of the chunk is this sink's text
        }
    };
    GreedySink sink;
    VtParser<GreedySink> parser(sink);
    const std::string input = "a\xc3\xa9\x1b[2J";
    parser.parse(std::span(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
    parser.parse(std::span(reinterpret_cast<const std::uint8_t*>("\x1b[1m"), 4));
    EXPECT_EQ(sink.actions, (Actions{"print a\xc3\xa9", "sgr 1"}));
}

} // namespace
