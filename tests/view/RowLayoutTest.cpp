// Row layout and the line index: every glyph in its cell whatever its width, wrapping at the view's
// width, and layouts reused while a row is unchanged.
#include "view/RowLayout.h"

#include "engine/ScreenReader.h"
#include "engine/TerminalEngine.h"
#include "view/DocumentLayout.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

// Advance 10; CJK ideographs are 17 wide (a fallback font's glyph), combining marks 0.
class FakeWidths : public GlyphWidthSource {
public:
    double advance() const override { return 10.0; }
    double widthOf(char32_t scalar) override
    {
        ++measured;
        if (scalar >= 0x4e00 && scalar <= 0x9fff) {
            return 17.0;
        }
        return scalar >= 0x300 && scalar <= 0x36f ? 0.0 : 10.0;
    }
    int measured = 0;
};

std::vector<Cell> cellsOf(const std::u32string& text)
{
    std::vector<Cell> cells;
    for (const char32_t c : text) {
        cells.push_back(Cell{c, CellStyle{}});
    }
    return cells;
}

TEST(RowLayoutTest, AsciiRowThatFitsIsUniform)
{
    FakeWidths widths;
    const auto cells = cellsOf(U"hello world         ");
    const RowLayout layout = layoutRow(cells, 200.0, widths);
    EXPECT_TRUE(layout.uniform);
    EXPECT_EQ(layout.lineCount(), 1);
    EXPECT_EQ(layout.xOf(7, 10.0), 70.0);
    EXPECT_EQ(widths.measured, 0);
}

// A proportional font, a fallback font's wider CJK glyph or a mark never moves the cells after it:
// text neither spreads nor folds rows.
TEST(RowLayoutTest, EveryGlyphSitsInItsCellWhateverItsWidth)
{
    FakeWidths widths;
    const auto cells = cellsOf(U"a\u4e2d\u6587b e\u0301x");
    const RowLayout layout = layoutRow(cells, 80.0, widths);
    EXPECT_TRUE(layout.uniform);
    EXPECT_TRUE(layout.onGrid);
    EXPECT_EQ(layout.lineCount(), 1);
    for (int cell = 0; cell < 8; ++cell) {
        EXPECT_EQ(layout.xOf(cell, 10), cell * 10.0);
    }
    EXPECT_EQ(widths.measured, 0); // laying out needs no glyph widths at all
}

TEST(RowLayoutTest, TheTwoCellsOfAWideCharacterStayOnOneLine)
{
    FakeWidths widths;
    std::vector<Cell> cells = cellsOf(U"abcd\u4e2d ");
    cells[4].style.flags |= CellFlags::wideHead;
    cells[5].style.flags |= CellFlags::wideTail;
    const RowLayout layout = layoutRow(cells, 55.0, widths); // five cells a line
    ASSERT_EQ(layout.lineCount(), 2);
    EXPECT_EQ(layout.lineStart(1), 4);
    EXPECT_EQ(layout.xOf(5, 10), 10.0);
}

TEST(RowLayoutTest, NarrowViewWrapsAfterTheLastSpaceThatFits)
{
    FakeWidths widths;
    const auto cells = cellsOf(U"one two three   "); // 16 cells, 160 wide
    const RowLayout layout = layoutRow(cells, 75.0, widths);
    ASSERT_EQ(layout.lineCount(), 2);
    EXPECT_EQ(layout.lineStart(1), 8); // "three" moves down; "one two " stays
    EXPECT_EQ(layout.lineOf(7), 0);
    EXPECT_EQ(layout.lineOf(8), 1);
    EXPECT_EQ(layout.xOf(8, 10), 0.0);
    EXPECT_EQ(layout.xOf(12, 10), 40.0);
    EXPECT_EQ(layout.lineOf(15), 1); // trailing blanks hang on the last line
}

TEST(RowLayoutTest, WordLongerThanTheLineBreaksAtTheEdge)
{
    FakeWidths widths;
    const auto cells = cellsOf(std::u32string(25, U'x'));
    const RowLayout layout = layoutRow(cells, 100.0, widths);
    ASSERT_EQ(layout.lineCount(), 3);
    EXPECT_EQ(layout.lineStart(1), 10);
    EXPECT_EQ(layout.lineStart(2), 20);
    EXPECT_EQ(layout.xOf(24, 10), 40.0);
}

TEST(RowLayoutTest, GlyphWiderThanTheViewStillTakesALine)
{
    FakeWidths widths;
    const auto cells = cellsOf(U"\u4e2d\u4e2d");
    const RowLayout layout = layoutRow(cells, 5.0, widths);
    EXPECT_EQ(layout.lineCount(), 2);
    EXPECT_EQ(layout.xOf(1, 10), 0.0);
}

TEST(DocumentLayoutTest, LinesFollowRowsAndUnchangedRowsAreNotLaidOutAgain)
{
    TerminalEngine engine;
    engine.resizeGrid(3, 20);
    FakeWidths widths;
    DocumentLayout document;
    document.invalidate(100.0); // 10 cells per line
    engine.consume("short\r\n" + std::string(20, 'y') + "\r\n");
    document.update(ScreenReader(engine), widths);
    EXPECT_EQ(document.rowCount(), 3);
    // "short" and the blank row are one line each (blanks hang); the full row wraps once.
    EXPECT_EQ(document.totalLines(), 1 + 2 + 1);
    EXPECT_EQ(document.firstLineOf(2), 3);
    EXPECT_EQ(document.rowAtLine(2).row, 1);
    EXPECT_EQ(document.rowAtLine(2).line, 1);
    EXPECT_EQ(document.rowAtLine(3).row, 2);
    EXPECT_EQ(document.rowAtLine(99).row, 2);

    const auto computed = document.layoutsComputed();
    document.update(ScreenReader(engine), widths);
    EXPECT_EQ(document.layoutsComputed(), computed);
    engine.consume("z");
    document.update(ScreenReader(engine), widths);
    EXPECT_EQ(document.layoutsComputed(), computed + 1);
}

// A frame looks at the screen's rows and what was added since, never at the whole history; and
// what it builds that way is what a fresh layout of every row gives (once both have laid out every
// history row), through drops at the oldest
// end, clearing the history, rows that wrap, the alternate screen and resizes.
TEST(DocumentLayoutTest, FramesCostTheScreenNotTheHistoryAndMatchAFreshLayout)
{
    TerminalEngine engine;
    engine.resizeGrid(24, 80);
    FakeWidths widths;
    DocumentLayout document;
    document.invalidate(300.0); // 30 cells per line: long rows wrap
    std::mt19937 random(11);
    const std::string steps[] = {"\x1b[3J", "\x1b[?1049h", "\x1b[?1049l", "\x1b[5;1Hedited", "\x1b[2J"};
    for (int chunk = 0; chunk < 60; ++chunk) {
        std::string text;
        for (int line = 0, lines = static_cast<int>(random() % 120); line < lines; ++line) {
            text += std::string(random() % 70, static_cast<char>('a' + line % 26)) + "\r\n";
        }
        // Switching screens and resizing lay everything out again; nothing else does.
        const bool relaid = random() % 4 == 0 && chunk % 17 != 16;
        if (relaid) {
            text += steps[random() % std::size(steps)];
        }
        const bool ordinary = !relaid || text.find("1049") == std::string::npos;
        engine.consume(text);
        if (chunk % 17 == 16) {
            engine.resizeGrid(20 + static_cast<int>(random() % 10), 80);
        }
        const auto before = document.layoutsComputed();
        document.update(ScreenReader(engine), widths);
        if (ordinary && chunk % 17 != 16) {
            // The screen's rows, and the rows the chunk added (at most two per line of it).
            EXPECT_LE(document.layoutsComputed() - before,
                      static_cast<std::size_t>(engine.rows() + 2 * 120 + 24))
                << "chunk " << chunk;
        }
        DocumentLayout fresh;
        fresh.invalidate(300.0);
        fresh.update(ScreenReader(engine), widths);
        // A history row counts one line until laid out: once every row has been, both agree.
        for (int row = 0; row < fresh.rowCount(); ++row) {
            fresh.rowLayout(row);
            document.rowLayout(row);
        }
        ASSERT_EQ(document.rowCount(), fresh.rowCount()) << "chunk " << chunk;
        ASSERT_EQ(document.totalLines(), fresh.totalLines()) << "chunk " << chunk;
        for (int row = 0; row < fresh.rowCount(); ++row) {
            ASSERT_EQ(document.firstLineOf(row), fresh.firstLineOf(row))
                << "chunk " << chunk << " row " << row;
        }
        for (int line = 0; line < fresh.totalLines(); line += 7) {
            ASSERT_EQ(document.rowAtLine(line).row, fresh.rowAtLine(line).row) << "line " << line;
            ASSERT_EQ(document.rowAtLine(line).line, fresh.rowAtLine(line).line) << "line " << line;
        }
    }

    // With the history full, one more line costs the screen's rows at most.
    engine.consume(std::string(2100, '\n'));
    document.update(ScreenReader(engine), widths);
    const auto before = document.layoutsComputed();
    engine.consume("one more line\r\n");
    document.update(ScreenReader(engine), widths);
    EXPECT_LE(document.layoutsComputed() - before, 2u);
}

} // namespace
