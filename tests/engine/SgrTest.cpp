// Graphic rendition: the palette entries and SGR with the attributes and the 8-colour, 256-colour and
// direct forms in semicolon and colon form, including the malformed and out-of-range inputs programs
// really send.
#include "EngineTestSupport.h"
#include "engine/Palette.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr Color base{0.92f, 0.93f, 0.96f, 1.0f};
constexpr Color magenta = NamedColors::systemPurpleColor;

class SgrTest : public ::testing::Test {
protected:
    SgrTest()
    {
        e.setBaseTextColor(base);
        e.setCurrentColor(magenta);
    }
    Color after(const std::string& parameters)
    {
        e.consume("\x1b[" + parameters + "m");
        return e.currentColor();
    }

    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
};

void expectGrey(Color c, double level)
{
    EXPECT_FLOAT_EQ(c.red, static_cast<float>(level));
    EXPECT_FLOAT_EQ(c.green, static_cast<float>(level));
    EXPECT_FLOAT_EQ(c.blue, static_cast<float>(level));
    EXPECT_EQ(c.alpha, 1.0f);
}

TEST(PaletteTest, BrightDiffersFromNormalOnlyForBlack)
{
    EXPECT_EQ(TerminalEngine::ansiColor(0, false), NamedColors::blackColor);
    EXPECT_EQ(TerminalEngine::ansiColor(0, true), NamedColors::darkGrayColor);
    for (int i = 1; i < 8; ++i) {
        EXPECT_EQ(TerminalEngine::ansiColor(i, true), TerminalEngine::ansiColor(i, false)) << i;
    }
    EXPECT_EQ(TerminalEngine::ansiColor(7, false), NamedColors::whiteColor);
    EXPECT_EQ(TerminalEngine::ansiColor(-5, false), NamedColors::blackColor);
    EXPECT_EQ(TerminalEngine::ansiColor(std::numeric_limits<std::int64_t>::min(), true),
              NamedColors::darkGrayColor);
}

TEST(PaletteTest, EveryEntryIsOpaqueAndDistinct)
{
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(TerminalEngine::ansiColor(i, false).alpha, 1.0f);
        for (int j = i + 1; j < 8; ++j) {
            EXPECT_NE(TerminalEngine::ansiColor(i, false), TerminalEngine::ansiColor(j, false))
                << i << " " << j;
        }
    }
}

TEST_F(SgrTest, ResetsReturnToTheBaseColour)
{
    EXPECT_EQ(after(""), base);
    e.setCurrentColor(magenta);
    EXPECT_EQ(after("0"), base);
    e.setCurrentColor(magenta);
    EXPECT_EQ(after("39"), base);
}

TEST_F(SgrTest, AttributesNextToAColourDoNotMatter)
{
    EXPECT_EQ(after("1;31"), NamedColors::systemRedColor);
    EXPECT_EQ(after("0"), base);
    EXPECT_EQ(after("31;1"), NamedColors::systemRedColor);
    EXPECT_EQ(after("91"), NamedColors::systemRedColor);
    EXPECT_EQ(after("90"), NamedColors::darkGrayColor);
    EXPECT_EQ(after("37"), NamedColors::whiteColor);
    EXPECT_EQ(after("97"), NamedColors::whiteColor);
}

TEST_F(SgrTest, LaterCodesInOneSequenceWin)
{
    EXPECT_EQ(after("31;32;0;34"), NamedColors::systemBlueColor);
}

TEST_F(SgrTest, IndexedColoursBelowSixteenUseThePalette)
{
    EXPECT_EQ(after("38;5;9"), NamedColors::systemRedColor);
    EXPECT_EQ(after("38;5;8"), NamedColors::darkGrayColor);
    EXPECT_EQ(after("38;5;-3"), NamedColors::blackColor);
    EXPECT_EQ(after("38;5;2"), NamedColors::systemGreenColor);
}

TEST_F(SgrTest, ColourCubeCorners)
{
    EXPECT_EQ(after("38;5;196"), colorFromComponents(1, 0, 0));
    EXPECT_EQ(after("38;5;16"), colorFromComponents(0, 0, 0));
    EXPECT_EQ(after("38;5;231"), colorFromComponents(1, 1, 1));
    // k = 110 - 16 = 94: red level 2, green level 3, blue level 4.
    EXPECT_EQ(after("38;5;110"), colorFromComponents(135.0 / 255, 175.0 / 255, 215.0 / 255));
}

TEST_F(SgrTest, GreyRamp)
{
    expectGrey(after("38;5;232"), 8.0 / 255);
    expectGrey(after("38;5;244"), 128.0 / 255);
    expectGrey(after("38;5;255"), 238.0 / 255);
}

TEST_F(SgrTest, TooFewValuesSkipOnlyTheThirtyEight)
{
    EXPECT_EQ(after("38;2;10;20"), magenta) << "2, 10 and 20 are no colour codes";
    EXPECT_EQ(after("38;2;5;0"), base) << "the trailing 0 resets on its own";
    e.setCurrentColor(magenta);
    EXPECT_EQ(after("38;5"), magenta);
    EXPECT_EQ(after("38"), magenta);
}

TEST_F(SgrTest, TheCommonFormsReadStraightFromTheirBytesActAsWhenCollected)
{
    // ESC [ m, ESC [ n m, ESC [ a ; b m, ESC [ 38;5;n m and ESC [ 38;2;r;g;b m take their own path when whole
    // in a chunk; each, and every near miss of them, must leave the colours that the same bytes fed one at a
    // time leave.
    const char* const cases[] = {
        "m", "0m", "00m", "000m", "1m", "31m", "97m", "39m", "7m", "99m", "100m", "38;5;0m", "38;5;9m",
        "38;5;42m", "38;5;196m", "38;5;255m", "38;5;256m", "38;5;999m", "38;5;0042m", "38;5;1234m", "38;5;m",
        "38;5m", "38;5;12;1m", "38;5;12;31m", "38;2;1;2;3m", "48;5;31m", "1;31m", "31;m", "3;8m", "38:5:12m",
        "?31m", "3\x80m", "38;5;1\x80m", "38;6;12m", "37;5;12m", "38;5;12", "41;37m", "7;1m", "1;38m",
        "38;5m", "48;2m", "58;1m", "100;7m", "1;100m", "12;34;m", "1;2;3m", "4;", "4;3",
        // ESC [ 38;2;r;g;b m and 48;2: levels of one to three digits, and the near misses.
        "38;2;255;128;0m", "48;2;0;0;0m", "38;2;999;1;1m", "38;2;1000;1;1m", "38;2;1;2m", "38;2;1;2;m",
        "38;2;;2;3m", "38;2;1;2;3;4m", "38;2:1:2:3m", "48;2;1;2;3;1m", "58;2;1;2;3m", "38;2;1;2;3",
        "38;2;1;2;3\x80m", "38;2;01;002;0003m", "38;2;7;77;177m", "48;2;177;7;77m", "48;5;7m", "38;5;07m"};
    for (const char* form : cases) {
        const std::string sequence = std::string("\x1b[") + form;
        // Each form before text, at a row's end and as the last bytes of the chunk.
        const std::string input = "\x1b[35mab" + sequence + "cd\x1b[1;78H" + sequence + "efgh" + sequence;
        enginetest::SizedEngine whole(24, 80);
        enginetest::SizedEngine split(24, 80);
        whole.engine.consume(input);
        for (const char byte : input) {
            split.engine.consume(std::string(1, byte));
        }
        whole.engine.consume("z");
        split.engine.consume("z");
        SCOPED_TRACE(testing::PrintToString(sequence));
        enginetest::expectSameState(whole.engine, split.engine);
        EXPECT_EQ(whole.engine.pen(), split.engine.pen());
    }
}

TEST_F(SgrTest, WrittenCellsKeepTheirColour)
{
    e.consume("\x1b[32mg\x1b[34mb");
    EXPECT_EQ(enginetest::fg(e, e.row(0)[0]), NamedColors::systemGreenColor);
    EXPECT_EQ(enginetest::fg(e, e.row(0)[1]), NamedColors::systemBlueColor);
}

// Each SGR from a plain pen: the pen it leaves, fed whole and in the general form.
struct PenCase {
    const char* parameters;
    CellStyle pen;
};

constexpr std::uint16_t underlined(CellFlags::Underline style)
{
    return CellFlags::withUnderline(0, style);
}

using namespace CellFlags;
const PenCase penCases[] = {
    {"1;2;3;5;7;8;9", {0, 0, bold | faint | italic | blink | inverse | hidden | strikethrough, 0}},
    {"1;2;22", {}},
    {"3;23;5;25;7;27;8;28;9;29", {}},
    {"4", {0, 0, underlined(Underline::single), 0}},
    {"21", {0, 0, underlined(Underline::doubled), 0}},
    {"4:3", {0, 0, underlined(Underline::curly), 0}},
    {"4:5;24", {}},
    {"4:0", {}},
    {"31;42", {CellColor::indexed(1), CellColor::indexed(2), 0, 0}},
    {"97;107", {CellColor::indexed(15), CellColor::indexed(15), 0, 0}},
    {"31;42;39;49", {}},
    {"38;5;208;48;5;17", {CellColor::indexed(208), CellColor::indexed(17), 0, 0}},
    {"38;2;1;2;3;48;2;250;251;252", {CellColor::rgb(1, 2, 3), CellColor::rgb(250, 251, 252), 0, 0}},
    {"38:2::1:2:3", {CellColor::rgb(1, 2, 3), 0, 0, 0}},
    {"38:2:1:2:3;1", {CellColor::rgb(1, 2, 3), 0, bold, 0}},
    {"48:5:100", {0, CellColor::indexed(100), 0, 0}},
    {"38:2:1:2;1", {0, 0, bold, 0}}, // a short colon group is ignored alone
    {"38;5;300;48;2;512;-1;0", {CellColor::indexed(255), CellColor::rgb(255, 0, 0), 0, 0}}, // clamped
    {"58;5;3;59;1", {0, 0, bold, 0}}, // an underline colour set and taken back
    {"1;0", {}},
};

class PenTest : public ::testing::TestWithParam<PenCase> {};

TEST_P(PenTest, LeavesThePen)
{
    for (const bool general : {false, true}) {
        enginetest::SizedEngine s(2, 10);
        // A sequence split after its ESC takes the collected, general path.
        const std::string sequence = std::string("\x1b[") + GetParam().parameters + "m";
        if (general) {
            s.engine.consume("\x1b");
            s.engine.consume(sequence.substr(1));
        } else {
            s.engine.consume(sequence);
        }
        EXPECT_EQ(s.engine.pen(), GetParam().pen) << (general ? "collected" : "whole");
    }
}

INSTANTIATE_TEST_SUITE_P(Sgr, PenTest, ::testing::ValuesIn(penCases));

// The underline colour rides in the style's link beside the hyperlink: each keeps the other.
TEST_F(SgrTest, UnderlineColourKeepsTheHyperlinkAndGoesWithReset)
{
    const struct {
        const char* parameters;
        std::uint32_t color;
    } cases[] = {
        {"58;5;3", CellColor::indexed(3)},       {"58:5:3;4:3", CellColor::indexed(3)},
        {"58;2;1;2;3", CellColor::rgb(1, 2, 3)}, {"58:2::1:2:3", CellColor::rgb(1, 2, 3)},
        {"58;5;3;59", CellColor::defaultColor},  {"58;5;3;0", CellColor::defaultColor},
        {"58;5;3;31;1", CellColor::indexed(3)},
    };
    for (const auto& c : cases) {
        enginetest::SizedEngine s(2, 10);
        s.engine.consume("\x1b]8;;http://x\x1b\\\x1b[" + std::string(c.parameters) + "mu");
        const CellStyle written = s.engine.row(0)[0].style;
        EXPECT_EQ(s.engine.underlineColor(written.link), c.color) << c.parameters;
        EXPECT_EQ(s.engine.hyperlink(written.link), "http://x") << c.parameters;
        s.engine.consume("\x1b]8;;\x1b\\");
        EXPECT_EQ(s.engine.underlineColor(s.engine.pen().link), c.color) << c.parameters << ", link ended";
        EXPECT_EQ(s.engine.hyperlink(s.engine.pen().link), "") << c.parameters;
    }
}

TEST_F(SgrTest, ErasesAndScrollsFillWithTheBackgroundOnly)
{
    e.consume("\x1b[1;4;31;44mx\x1b[K\r\n");
    EXPECT_EQ(e.row(0)[1], blankCell(CellColor::indexed(4)));
    EXPECT_EQ(e.row(1)[0], blankCell()) << "a line feed inside the screen makes nothing";
    e.consume("\x1b[24;1H\n");
    EXPECT_EQ(e.row(e.rowCount() - 1)[5], blankCell(CellColor::indexed(4))) << "the scrolled-in row";
}

} // namespace
