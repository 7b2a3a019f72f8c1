// The history and reflow: rows that scrolled off come back cell for cell, a narrower and a wider
// window give back the text exactly, and the limits hold.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

using enginetest::rowTrimmed;

namespace {

// Every kept row, cells and wrap marks, for comparing two states of one engine.
struct Snapshot {
    std::vector<std::vector<Cell>> rows;
    std::vector<bool> wrapped;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot snapshot(const TerminalEngine& e)
{
    Snapshot s;
    for (std::size_t i = 0; i < e.rowCount(); ++i) {
        const auto row = e.row(i);
        s.rows.emplace_back(row.begin(), row.end());
        s.wrapped.push_back(e.rowWrapped(i));
    }
    return s;
}

// The cell under the cursor, and the kept text joined across wraps (without the blank a wide
// character leaves at a row's end), for what a reflow must keep.
Cell cursorCell(const TerminalEngine& e)
{
    return e.row(static_cast<std::size_t>(e.cursorLine()))[static_cast<std::size_t>(e.cursorColumn())];
}

std::string joinedText(const TerminalEngine& e)
{
    std::string text;
    for (std::size_t i = 0; i < e.rowCount(); ++i) {
        if (!e.rowWrapped(i)) {
            text += rowTrimmed(e, i) + "\n";
            continue;
        }
        std::string row = enginetest::rowText(e, i);
        if (i + 1 < e.rowCount() && (e.row(i + 1)[0].style.flags & CellFlags::wideHead) &&
            row.back() == ' ') {
            row.pop_back();
        }
        text += row;
    }
    return text.erase(text.find_last_not_of('\n') + 1);
}

TEST(ReflowTest, NarrowThenWideGivesBackTheSameRows)
{
    const std::string wide = "\xe4\xb8\xad"; // one character two columns wide
    const std::string link = "\x1b]8;;https://example.org/\x1b\\";
    const std::string unlink = "\x1b]8;;\x1b\\";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"ASCII over three rows", std::string(190, 'a') + "\r\nnext"},
        {"wide characters at the edges",
         std::string(39, 'x') + wide + std::string(38, 'y') + wide + wide + "z"},
        {"combining marks", std::string(78, 'c') + "e\xcc\x81"
                                                   "e\xcc\x81"
                                                   "e\xcc\x81 done"},
        {"styles across the wrap", "\x1b[1;31m" + std::string(75, 'r') + "\x1b[42;3m" + std::string(10, 'g') +
                                       "\x1b[38;2;1;2;3m" + std::string(10, 't') + "\x1b[0m plain"},
        {"hyperlinks", std::string(70, '-') + link + std::string(20, 'L') + unlink + " after"},
        {"hard line ends", "one\r\n" + std::string(80, '2') + "\r\n" + std::string(80, '3') + "\r\n\r\nlast"},
        {"into the history",
         [] {
             std::string s;
             for (int i = 0; i < 60; ++i) {
                 s += "\x1b[3" + std::to_string(i % 8) + "m" +
                      std::string(static_cast<std::size_t>(i * 3), 'h') + std::to_string(i) + "\x1b[0m\r\n";
             }
             return s + "$ ";
         }()},
    };
    for (const auto& c : cases) {
        for (const int narrow : {40, 33, 79, 7}) {
            SCOPED_TRACE(testing::Message() << c.name << " at " << narrow);
            enginetest::SizedEngine sized{24, 80};
            TerminalEngine& e = sized.engine;
            e.consume(c.text);
            const Snapshot before = snapshot(e);
            const std::string text = joinedText(e);
            const Cell under = cursorCell(e);
            e.resizeGrid(24, narrow);
            EXPECT_EQ(joinedText(e), text) << "the text and its line ends survive narrowing";
            EXPECT_TRUE(cursorCell(e) == under);
            for (std::size_t i = 0; i < e.rowCount(); ++i) {
                ASSERT_EQ(e.row(i).size(), static_cast<std::size_t>(narrow));
            }
            e.resizeGrid(24, 80);
            EXPECT_TRUE(cursorCell(e) == under);
            EXPECT_TRUE(snapshot(e) == before) << "wide again, every row and cell is back";
        }
    }
}

TEST(ReflowTest, WideCharactersNeverSplitAndTheCursorStaysOnItsCharacter)
{
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
    std::string text;
    for (int i = 0; i < 50; ++i) {
        text += "\xe4\xb8\xad";
    }
    e.consume(text + "\x1b[1;40H"); // the cursor on the second half of the 20th character
    e.resizeGrid(24, 9);
    for (std::size_t i = 0; i < e.rowCount(); ++i) {
        const auto row = e.row(i);
        EXPECT_FALSE(row.back().style.flags & CellFlags::wideHead)
            << "row " << i << " ends in half a character";
        EXPECT_FALSE(row.front().style.flags & CellFlags::wideTail) << "row " << i;
    }
    EXPECT_EQ(e.cursorRow(), 4) << "four characters a row";
    EXPECT_EQ(e.cursorColumn(), 7);
}

// Every wide character's halves side by side in every row, the kept rows included.
void expectWholeWideCharacters(const TerminalEngine& e)
{
    for (std::size_t i = 0; i < e.rowCount(); ++i) {
        const auto row = e.row(i);
        for (std::size_t c = 0; c < row.size(); ++c) {
            const bool head = row[c].style.flags & CellFlags::wideHead;
            const bool tailNext = c + 1 < row.size() && (row[c + 1].style.flags & CellFlags::wideTail);
            ASSERT_TRUE(!head || tailNext) << "row " << i << " column " << c;
            ASSERT_FALSE((row[c].style.flags & CellFlags::wideTail) &&
                         !(c > 0 && (row[c - 1].style.flags & CellFlags::wideHead)))
                << "row " << i << " column " << c;
        }
    }
}

TEST(ReflowTest, NoHalfOfAWideCharacterIsLeftAlone)
{
    // One column holds no wide character; a wrap before a wide character that did not fit leaves
    // the last cell as it was, which can be the second half of an older one.
    const struct {
        int columns;
        std::string text;
        int newColumns;
    } cases[] = {
        {10,
         "a\xe4\xb8\xad"
         "b\xe4\xb8\xad\r\n" +
             std::string(8, '\n'),
         1},
        {10, "12345678\xe4\xb8\xad\x1b[1;10H\xe4\xb8\xadx", 20},
    };
    for (const auto& c : cases) {
        enginetest::SizedEngine sized{5, c.columns};
        sized.engine.consume(c.text);
        sized.engine.resizeGrid(5, c.newColumns);
        expectWholeWideCharacters(sized.engine);
    }
}

TEST(ReflowTest, TheAlternateScreenIsCutWhileThePrimaryUnderItReflows)
{
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
    e.consume(std::string(100, 'p') + "\x1b[?1049h\x1b[H" + std::string(80, 'a'));
    e.resizeGrid(24, 50);
    EXPECT_EQ(rowTrimmed(e, 0), std::string(50, 'a'));
    EXPECT_EQ(rowTrimmed(e, 1), "") << "the alternate screen is not re-wrapped";
    e.consume("\x1b[?1049l");
    EXPECT_EQ(rowTrimmed(e, 0), std::string(50, 'p'));
    EXPECT_EQ(rowTrimmed(e, 1), std::string(50, 'p'));
    EXPECT_EQ(e.cursorRow(), 2);
    EXPECT_EQ(e.cursorColumn(), 0);
}

TEST(ReflowTest, AScreenFullToTheBottomKeepsItsBottomAndTakesTheHistoryBack)
{
    enginetest::SizedEngine sized{10, 80};
    TerminalEngine& e = sized.engine;
    for (int i = 0; i < 30; ++i) {
        e.consume(std::to_string(i) + std::string(70, '.') + "\r\n");
    }
    e.consume("$ ");
    const Snapshot before = snapshot(e);
    e.resizeGrid(10, 40);
    EXPECT_EQ(e.cursorRow(), 9) << "the prompt stays on the last row";
    EXPECT_EQ(rowTrimmed(e, static_cast<std::size_t>(e.cursorLine())), "$");
    e.resizeGrid(10, 80);
    EXPECT_TRUE(snapshot(e) == before);
}

TEST(ReflowTest, AMarkedPromptIsClearedForTheShellToRedraw)
{
    for (const bool finished : {false, true}) {
        SCOPED_TRACE(finished ? "the command ran" : "the prompt is being edited");
        enginetest::SizedEngine sized{10, 80};
        TerminalEngine& e = sized.engine;
        e.consume("output\r\n\x1b]133;A\x07two-row prompt\r\n$ " + std::string(90, 'c'));
        if (finished) {
            e.consume("\x1b]133;C\x07");
        }
        e.resizeGrid(10, 40);
        EXPECT_EQ(rowTrimmed(e, 0), "output");
        if (finished) {
            EXPECT_EQ(rowTrimmed(e, 1), "two-row prompt") << "without an open prompt, text is kept";
            EXPECT_EQ(e.cursorRow(), 4);
        } else {
            EXPECT_EQ(rowTrimmed(e, 1), "") << "the prompt's rows are left to the shell";
            EXPECT_EQ(rowTrimmed(e, 2), "");
            EXPECT_EQ(e.cursorRow(), 1);
            EXPECT_EQ(e.cursorColumn(), 0);
        }
    }
}

// After a width change, long lines with wide characters far from the screen are counted later; a
// read of one of them counts its block first, and once all are counted every row is what the same
// output gives at that width from the start.
TEST(HistoryTest, OldLongLinesWithWideCharactersAreCountedLaterAndReadRight)
{
    // 66 cells: at 33 columns the wide character does not fit at the first row's end, so the line
    // takes three rows where its cells alone would need two. Lines mostly of ASCII and mostly of
    // wide characters are kept in different forms.
    const auto repeat = [](int n, const std::string& s) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += s;
        }
        return out;
    };
    const std::string wide = "\xe4\xb8\xad";
    for (const auto& [first, last] :
         {std::pair{repeat(32, "a"), repeat(31, "b")}, std::pair{repeat(16, wide), repeat(15, wide) + "b"}}) {
        SCOPED_TRACE(first);
        std::string text;
        for (int i = 0; i < 6000; ++i) {
            text += first + wide + last + std::to_string(i % 10) + "\r\n";
        }
        enginetest::SizedEngine sized{24, 120};
        enginetest::SizedEngine reference{24, 33};
        for (TerminalEngine* e : {&sized.engine, &reference.engine}) {
            e->setHistoryLimit({HistoryLimit::unlimitedLines, std::size_t{1} << 30});
            e->consume(text);
        }
        TerminalEngine& e = sized.engine;
        e.resizeGrid(24, 33);
        ASSERT_TRUE(e.history().refining());
        EXPECT_LT(e.historyRows(), reference.engine.historyRows()) << "the oldest lines are estimated";
        const auto same = [&](std::size_t row) {
            const auto a = e.row(row);
            const auto b = reference.engine.row(row);
            return std::equal(a.begin(), a.end(), b.begin(), b.end());
        };
        EXPECT_TRUE(same(0) && same(1) && same(2)) << "a read counts its block first";
        int slices = 0;
        while (e.refineHistory(1000)) {
            ++slices;
        }
        EXPECT_GE(slices, 1) << "more than one slice";
        ASSERT_EQ(e.historyRows(), reference.engine.historyRows());
        for (std::size_t row = 0; row < e.rowCount(); row += 7) {
            ASSERT_TRUE(same(row)) << "row " << row;
        }
    }
}

TEST(HistoryTest, RowsComeBackCellForCell)
{
    enginetest::SizedEngine sized{5, 20};
    TerminalEngine& e = sized.engine;
    enginetest::SizedEngine reference{200, 20};
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "\x1b[" + std::to_string(30 + i % 8) + (i % 3 ? ";1" : ";4:3") + "m" + std::to_string(i) +
                "\xe4\xb8\xad\x1b[7m e\xcc\x81\x1b]8;;u" + std::to_string(i % 4) +
                "\x1b\\L\x1b]8;;\x1b\\\x1b[0m" + std::string(static_cast<std::size_t>(i % 25), 'w') + "\r\n";
    }
    e.consume(text);
    reference.engine.consume(text);
    ASSERT_GT(e.historyRows(), 50);
    for (std::int64_t i = 0; i < e.historyRows(); ++i) {
        const auto kept = e.row(static_cast<std::size_t>(i));
        const auto printed = reference.engine.row(static_cast<std::size_t>(i));
        ASSERT_TRUE(std::equal(kept.begin(), kept.end(), printed.begin(), printed.end())) << "row " << i;
        EXPECT_EQ(e.rowWrapped(static_cast<std::size_t>(i)),
                  reference.engine.rowWrapped(static_cast<std::size_t>(i)));
    }
}

TEST(HistoryTest, LimitsKeepExactlyTheNewestLinesWhileOutputStreams)
{
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
    e.setHistoryLimit({100, std::size_t{64} << 20});
    const auto seq = [&](int from, int to) {
        std::string s;
        for (int i = from; i <= to; ++i) {
            s += std::to_string(i) + "\r\n";
        }
        e.consume(s);
    };
    seq(1, 1000);
    EXPECT_EQ(e.historyRows(), 100);
    EXPECT_EQ(rowTrimmed(e, 0), "878") << "1000 lines, 23 on the screen, 100 above it";
    e.setHistoryLimit({10, std::size_t{64} << 20});
    EXPECT_EQ(e.historyRows(), 10);
    EXPECT_EQ(rowTrimmed(e, 0), "968");
    e.setHistoryLimit({HistoryLimit::unlimitedLines, std::size_t{64} << 20});
    seq(1001, 200000);
    EXPECT_EQ(e.historyRows(), 200000 - 23 - 967);
    EXPECT_EQ(rowTrimmed(e, 0), "968");
    e.setHistoryLimit({0, std::size_t{64} << 20});
    EXPECT_EQ(e.historyRows(), 0);
    seq(1, 50);
    EXPECT_EQ(e.rowCount(), 24u);
    EXPECT_EQ(rowTrimmed(e, 0), "28");
}

TEST(HistoryTest, TheMemoryBudgetHoldsUnderAFloodOfStyledLines)
{
    enginetest::SizedEngine sized{24, 200};
    TerminalEngine& e = sized.engine;
    constexpr std::size_t budget = std::size_t{2} << 20;
    e.setHistoryLimit({HistoryLimit::unlimitedLines, budget});
    std::string chunk;
    for (int i = 0; i < 2000; ++i) {
        chunk += "\x1b[38;2;" + std::to_string(i % 256) + ";" + std::to_string(i * 7 % 256) + ";9m" +
                 std::string(180, static_cast<char>('a' + i % 26)) + "\r\n";
    }
    for (int round = 0; round < 10; ++round) {
        e.consume(chunk);
        ASSERT_LE(e.history().bytes(), budget);
    }
    EXPECT_GT(e.history().bytes(), budget / 2) << "it keeps about what the budget allows";
    EXPECT_EQ(rowTrimmed(e, e.rowCount() - 2).substr(0, 3), "xxx") << "the newest line is kept";
}

TEST(HistoryTest, ALineLongerThanTheBoundIsKeptInPieces)
{
    enginetest::SizedEngine sized{24, 80};
    TerminalEngine& e = sized.engine;
    e.consume(std::string(History::lineCellLimit * 3 + 5, 'x') + "\r\n" + std::string(30, '\n'));
    EXPECT_EQ(e.history().lineCount(), 4u + 7u);
    std::size_t cells = 0;
    for (std::int64_t i = 0; i < e.historyRows(); ++i) {
        cells += rowTrimmed(e, static_cast<std::size_t>(i)).size();
    }
    EXPECT_EQ(cells, History::lineCellLimit * 3u + 5u) << "no character lost";
}

// Cells for a piece of a line: 'W' is a character two columns wide, anything else one column.
std::vector<Cell> pieceCells(std::string_view piece)
{
    std::vector<Cell> cells;
    for (const char c : piece) {
        if (c == 'W') {
            cells.push_back(Cell{U'\u4E2D', CellStyle{.flags = CellFlags::wideHead}});
            cells.push_back(Cell{0, CellStyle{.flags = CellFlags::wideTail}});
        } else {
            cells.push_back(Cell{static_cast<char32_t>(c), CellStyle{}});
        }
    }
    return cells;
}

TEST(HistoryTest, ALineGrowingInPiecesHasTheRowsACountFromScratchFinds)
{
    const struct {
        int width;
        std::vector<std::string> pieces; // each pushed as a wrapped row of one open line
        std::int64_t rows;
    } cases[] = {
        {80, {std::string(80, 'x'), std::string(80, 'x'), "x"}, 3},
        {80, {std::string(79, 'x'), "x", "x"}, 2},
        {10, {std::string(25, 'x'), "xxxxx", std::string(10, 'x')}, 4},
        {7, {"xxxxxx", "x", "x", std::string(13, 'x')}, 3},
        {4, {"xxxx", "xxxx", "xxxx"}, 3},
        {10, {"", "xxx"}, 1},
        {5, {"xxxxW", "x"}, 2},   // the wide character starts the second row
        {1, {"W", "x", "xx"}, 4}, // a row of one column holds a wide character alone
        {6, {"xxW", "Wx", "xxxxxx"}, 3},
    };
    for (const auto& c : cases) {
        History history;
        history.setWidth(c.width);
        std::string line;
        for (const std::string& piece : c.pieces) {
            history.push(pieceCells(piece), true, false);
            line += piece;
        }
        EXPECT_EQ(history.lineCount(), 1u) << line;
        EXPECT_EQ(history.rowCount(), c.rows) << "width " << c.width << ", " << line;
        history.setWidth(c.width + 1);
        history.setWidth(c.width);
        EXPECT_EQ(history.rowCount(), c.rows) << "counted again at width " << c.width << ", " << line;
    }
}

TEST(HistoryTest, EraseSavedLinesAndResetEmptyIt)
{
    for (const char* clear : {"\x1b[3J", "\x1b"
                                         "c"}) {
        enginetest::SizedEngine sized{24, 80};
        TerminalEngine& e = sized.engine;
        e.consume(std::string(100, '\n'));
        ASSERT_GT(e.historyRows(), 0);
        const auto generation = e.rowsGeneration();
        e.consume(clear);
        EXPECT_EQ(e.historyRows(), 0);
        EXPECT_NE(e.rowsGeneration(), generation);
    }
}

} // namespace

// Rows of every shape the encoder tells apart, pushed one after another (so that a plain row
// follows a styled one and the reverse), come back cell for cell: lengths that end in each step
// of its eight- and four-cell passes, the first scalar past ASCII, and a bare 0 cell.
TEST(HistoryTest, EveryKindOfRowComesBackAsPushed)
{
    const auto ascii = [](int n, int at = -1, char32_t other = U'x') {
        std::vector<Cell> cells;
        for (int i = 0; i < n; ++i) {
            cells.push_back(Cell{i == at ? other : static_cast<char32_t>('a' + i % 26), {}});
        }
        return cells;
    };
    auto styled = ascii(15);
    styled.back().style.foreground = CellColor::indexed(3);
    auto wide = ascii(6);
    placeCharacter(wide.data(), 2, U'中', 2, CellStyle{});
    // ASCII in several styles, changing at each place in a group of four cells and in the last
    // three, each time in another part of the style.
    auto colourful = ascii(31);
    CellStyle style;
    for (int i = 0, change = 0; i < 31; ++i) {
        if (i == 1 || i == 2 || i == 3 || i == 8 || i == 13 || i == 18 || i == 23 || i == 28 || i == 30) {
            switch (++change % 4) {
            case 0:
                style.foreground = CellColor::indexed(change);
                break;
            case 1:
                style.background = CellColor::indexed(change);
                break;
            case 2:
                style.flags ^= CellFlags::bold;
                break;
            default:
                style.link = static_cast<std::uint16_t>(change);
                break;
            }
        }
        colourful[static_cast<std::size_t>(i)].style = style;
    }
    // The same beyond ASCII near its end, after a row that was all ASCII.
    auto colourfulAccent = colourful;
    colourfulAccent[29].character = U'é';
    // Scalars at each end of every varint length (the largest are combined characters' ids), wide
    // and narrow side by side, and a wide character's second half on its own; in a colour and below
    // the top bit, so mostly beyond ASCII, the row is kept as each cell's text.
    const auto scripts = [](char32_t last, std::uint32_t color) {
        const CellStyle style{color, CellColor::defaultColor, 0, 0};
        std::vector<Cell> cells;
        for (const char32_t c : {0x7Fu, 0x80u, 0x3FFFu, 0x4000u, 0x1FFFFFu, 0x200000u, 0xFFFFFFFu,
                                 0x10000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            if (c <= last) {
                cells.push_back(Cell{c, style});
                cells.resize(cells.size() + 2);
                placeCharacter(cells.data(), static_cast<int>(cells.size()) - 2, c, 2, style);
            }
        }
        cells.push_back(Cell{0, CellStyle{color, CellColor::defaultColor, CellFlags::wideTail, 0}});
        return cells;
    };
    const std::vector<std::vector<Cell>> rows = {
        ascii(15),
        ascii(8, 7, 0x80),
        styled,
        colourful,
        colourfulAccent,
        ascii(12, 11, 0x80),
        ascii(3, 2, 0x80),
        wide,
        ascii(20),
        ascii(4),
        ascii(9, 0, U'é'),
        ascii(7),
        scripts(0x7FFFFFFFu, CellColor::indexed(2)),
        scripts(0xFFFFFFFFu, CellColor::defaultColor),
    };
    History h;
    h.setWidth(32);
    for (const auto& row : rows) {
        h.push(row, false, false);
    }
    ASSERT_EQ(h.rowCount(), static_cast<std::int64_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // A lone second half comes back as a blank.
        std::vector<Cell> expected = rows[i];
        if (expected.back().style.flags & CellFlags::wideTail) {
            expected.back() =
                Cell{U' ', CellStyle{expected.back().style.foreground, CellColor::defaultColor, 0, 0}};
        }
        const auto kept = h.row(static_cast<std::int64_t>(i));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), kept.begin())) << "row " << i;
    }

    // A 0 where a character belongs is kept as a blank, and the cells after it stay in place.
    h.push(ascii(10, 4, 0), false, false);
    const auto zero = h.row(h.rowCount() - 1);
    EXPECT_EQ(zero[4].character, U' ');
    EXPECT_EQ(zero[9].character, U'j');
}

TEST(HistoryTest, StyleNumbersOfEveryLengthAndInlineStylesComeBack)
{
    // Each row brings a style never seen before, so the styles are numbered past each length of
    // their encoding (128, 2^14) and past the table's end, from where they are written whole.
    History h;
    h.setLimit({HistoryLimit::unlimitedLines, std::size_t{1} << 30});
    h.setWidth(8);
    const auto row = [](std::uint32_t i) {
        return std::vector<Cell>{
            Cell{U'a', CellStyle{CellColor::rgb(i >> 16, i >> 8 & 0xFF, i & 0xFF), 0, 0, 0}}, Cell{U'b', {}}};
    };
    constexpr std::uint32_t rows = 70'000;
    for (std::uint32_t i = 0; i < rows; ++i) {
        h.push(row(i), false, false);
    }
    for (const std::uint32_t i :
         {0u, 126u, 127u, 128u, 16'382u, 16'383u, 16'384u, 65'534u, 65'535u, 69'999u}) {
        const auto expected = row(i);
        const auto kept = h.row(i);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), kept.begin())) << "row " << i;
    }
}

// A row that had only default-style ASCII in it is taken by the history without looking at its
// styles; any other edit of it must be seen, so each comes back from the history as it was shown.
TEST(HistoryTest, APlainRowEditedAnyWayComesBackAsItWasShown)
{
    const struct {
        const char* name;
        std::string edit;
        std::string text = "plain text in a row";
    } cases[] = {
        {"coloured text", "\x1b[31mXY"},
        {"a wide character", "\xe4\xb8\xad"},
        {"a coloured erase", "\x1b[44m\x1b[2X"},
        {"a coloured insert", "\x1b[44m\x1b[2@"},
        {"a protected character", "\x1b[1\"qP"},
        {"a link", "\x1b]8;;https://example.org/\x1b\\L\x1b]8;;\x1b\\"},
        {"a combining mark", "e\xcc\x81"},
        {"line drawing", "\x1b(0qx\x1b(B"},
        {"inverse", "\x1b[7mI"},
        {"a coloured line erase", "\x1b[42m\x1b[K"},
        // Edits that keep it plain; the row held other text before (it scrolled off and came back).
        {"plain text over it", "ZZ\bY"},
        {"a gap left by a cursor move", "", "A\x1b[6CB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        enginetest::SizedEngine sized{4, 20};
        TerminalEngine& e = sized.engine;
        e.consume(std::string(19, '#') + "\r\n" + std::string(19, '#') + "\r\n" + std::string(19, '#') +
                  "\r\n" + std::string(19, '#') + "\r\n");
        e.consume(c.text + "\r\x1b[3C" + c.edit + "\x1b[0m");
        const auto shown = e.row(e.historyRows() + 3);
        const std::vector<Cell> before(shown.begin(), shown.end());
        e.consume("\n\n\n\n");
        const auto kept = e.row(e.historyRows() - 1);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), kept.begin(), kept.end()));
    }
}
