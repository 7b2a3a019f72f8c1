// Shared helpers for the engine suites: an engine of a chosen size and readable dumps of its rows.
#pragma once

#include "engine/TerminalEngine.h"
#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace enginetest {

// Row `index` of the kept rows as UTF-8, one character per cell (a wide character's second cell
// adds nothing, combining marks follow their base), nothing trimmed.
inline std::string rowText(const TerminalEngine& engine, std::size_t index)
{
    std::string text;
    for (const Cell& cell : engine.row(index)) {
        for (const char32_t c : engine.cellText(cell)) {
            appendUtf8(text, c);
        }
    }
    return text;
}

// Row `index` with trailing blanks removed, for assertions about what was written.
inline std::string rowTrimmed(const TerminalEngine& engine, std::size_t index)
{
    std::string text = rowText(engine, index);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// A cell's text colour as drawn when not inverse.
inline Color fg(const TerminalEngine& engine, const Cell& cell)
{
    return engine.resolveForeground(cell.style.foreground);
}

// The screen's rows (not the history), trailing blanks removed, one line each.
inline std::string screenText(const TerminalEngine& engine)
{
    std::string text;
    for (int r = 0; r < engine.rows(); ++r) {
        std::string row = rowText(engine, static_cast<std::size_t>(engine.screenTop() + r));
        row.erase(row.find_last_not_of(' ') + 1);
        text += (r == 0 ? "" : "\n") + row;
    }
    text.erase(text.find_last_not_of('\n') + 1);
    return text;
}

// Two engines fed the same bytes (in different chunks) hold the same rows, cells, colours and cursor.
inline void expectSameState(const TerminalEngine& a, const TerminalEngine& b)
{
    ASSERT_EQ(a.rowCount(), b.rowCount());
    for (std::size_t i = 0; i < a.rowCount(); ++i) {
        const auto rowA = a.row(i);
        const auto rowB = b.row(i);
        EXPECT_TRUE(std::equal(rowA.begin(), rowA.end(), rowB.begin(), rowB.end()))
            << "row " << i << ": " << rowText(a, i) << " | " << rowText(b, i);
    }
    EXPECT_EQ(a.cursorRow(), b.cursorRow());
    EXPECT_EQ(a.cursorColumn(), b.cursorColumn());
    EXPECT_EQ(a.wrapPending(), b.wrapPending());
    EXPECT_EQ(a.pen(), b.pen());
    EXPECT_EQ(a.alternateScreenActive(), b.alternateScreenActive());
    EXPECT_EQ(a.scrollTop(), b.scrollTop());
    EXPECT_EQ(a.scrollBottom(), b.scrollBottom());
    EXPECT_EQ(a.pendingReplies(), b.pendingReplies());
}

// An engine as the view leaves it: a filled screen of the given size, render calls counted.
struct SizedEngine {
    TerminalEngine engine;
    int renders = 0;

    SizedEngine(int rows, int columns)
    {
        engine.resizeGrid(rows, columns);
        engine.setRenderHook([this] { ++renders; });
    }
};

} // namespace enginetest
