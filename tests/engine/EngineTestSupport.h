// Shared helpers for the engine suites: an engine of a chosen size and readable dumps of its rows.
#pragma once

#include "engine/TerminalEngine.h"
#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace enginetest {

// Row `index` as UTF-8, one character per cell, nothing trimmed.
inline std::string rowText(const TerminalEngine& engine, std::size_t index)
{
    std::string text;
    for (const Cell& cell : engine.row(index)) {
        appendUtf8(text, cell.character);
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
}

// An engine as the view leaves it: a filled screen of the given size, render calls counted.
struct SizedEngine {
    TerminalEngine engine;
    int renders = 0;

    SizedEngine(int rows, int columns)
    {
        engine.fillEmptyScreen();
        engine.resizeGrid(rows, columns);
        engine.setRenderHook([this] { ++renders; });
    }
};

} // namespace enginetest
