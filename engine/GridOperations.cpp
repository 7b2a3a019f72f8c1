// The grid operations: writing characters, line feeds, erasing, inserting and deleting cells, and
// the cursor saves, reverse index and full reset the interpreter performs on the grid.
#include "Saturating.h"
#include "TerminalEngine.h"

#include <algorithm>

// A line feed past the last kept row adds a row; at the history limit the oldest row's storage is
// reused for it, so the list never exceeds historyLimit rows and the cursor stays on its row.
void TerminalEngine::appendRowAtBottom()
{
    if (grid_.full()) {
        grid_.rotateOldestToNewest(baseTextColor_);
        cursorRow_ = std::max(0, cursorRow_ - 1);
    } else {
        grid_.appendBlank(baseTextColor_);
    }
}

void TerminalEngine::lineFeed()
{
    ++cursorRow_;
    if (cursorRow_ >= grid_.rowCount()) {
        appendRowAtBottom();
    }
}

void TerminalEngine::ensureRow()
{
    // cursorRow never exceeds historyLimit - 1 (restores are clamped), so this stays within the ring.
    cursorRow_ = std::clamp(cursorRow_, 0, historyLimit - 1);
    while (cursorRow_ >= grid_.rowCount()) {
        grid_.appendBlank(baseTextColor_);
    }
}

void TerminalEngine::wrapIfPending()
{
    if (wrapPending_ || cursorColumn_ >= columns_) {
        cursorColumn_ = 0;
        lineFeed();
        wrapPending_ = false;
    }
}

void TerminalEngine::write(char32_t scalar, Color color)
{
    if (scalar == U'\n') {
        lineFeed();
    } else if (scalar >= 0x20) {
        printScalar(scalar, color);
    }
}

void TerminalEngine::printScalar(char32_t scalar, Color color)
{
    wrapIfPending();
    ensureRow();
    grid_.editRow(cursorRow_, cursorColumn_ + 1)[cursorColumn_] = Cell{scalar, color};
    if (++cursorColumn_ >= columns_) {
        cursorColumn_ = columns_ - 1;
        wrapPending_ = true;
    }
}

namespace {
template <std::size_t count>
[[gnu::always_inline]] inline void writeCellBlock(Cell* cells, const std::uint8_t* text, const Color& color)
{
#pragma GCC unroll 4
    for (std::size_t i = 0; i < count; ++i) {
        cells[i] = Cell{text[i], color};
    }
}

// Cells [0, length) get text's characters, length >= 1. A short stretch is written as two blocks of
// a fixed size that overlap as far as needed (cells written twice get the same value), so that its
// varying length costs no mispredicted loop exit; a long one four cells at a time.
// Inlined and given the colour by reference: passed by value it crosses the call as two 8-byte
// halves stored and read back as one 16-byte load, a stall the store buffer cannot forward.
[[gnu::always_inline]] inline void writeCells(Cell* cells, const std::uint8_t* text, std::size_t length,
                                              const Color& color)
{
    if (length >= 4) {
        if (length > 8) {
            for (std::size_t i = 0; i + 4 < length; i += 4) {
                writeCellBlock<4>(cells + i, text + i, color);
            }
        } else if (length > 4) {
            writeCellBlock<4>(cells, text, color);
        }
        writeCellBlock<4>(cells + length - 4, text + length - 4, color);
    } else if (length >= 2) {
        writeCellBlock<2>(cells, text, color);
        writeCellBlock<2>(cells + length - 2, text + length - 2, color);
    } else {
        writeCellBlock<1>(cells, text, color);
    }
}
} // namespace

// The ASCII fast path: a run of printable bytes fills the row's cells a stretch at a time, with the
// same wrapping as printScalar one character after another.
void TerminalEngine::writeAsciiRun(const std::uint8_t* text, std::size_t length)
{
    const Color color = currentColor_;
    // Most runs fit on the cursor's row, which exists, with no wrap pending: nothing to wrap, no row
    // to add, one stretch.
    if (cursorInsideRow() && length < static_cast<std::size_t>(columns_ - cursorColumn_)) {
        writeCells(grid_.editRow(cursorRow_, cursorColumn_ + static_cast<int>(length)) + cursorColumn_, text,
                   length, color);
        cursorColumn_ += static_cast<int>(length);
        return;
    }
    while (length > 0) {
        wrapIfPending();
        ensureRow();
        const std::size_t stretch = std::min(length, static_cast<std::size_t>(columns_ - cursorColumn_));
        Cell* cells = grid_.editRow(cursorRow_, cursorColumn_ + static_cast<int>(stretch)) + cursorColumn_;
        writeCells(cells, text, stretch, color);
        text += stretch;
        length -= stretch;
        cursorColumn_ += static_cast<int>(stretch);
        if (cursorColumn_ >= columns_) {
            cursorColumn_ = columns_ - 1;
            wrapPending_ = true;
        }
    }
}

// Blanks columns [from, to) of the cursor row, both cut to the row, so that a cursor left beyond
// the last column by a restore gives an empty range instead of touching cells outside the row.
void TerminalEngine::blankCells(int from, int to, const Color& color)
{
    from = std::clamp(from, 0, columns_);
    to = std::clamp(to, from, columns_);
    if (from == to) {
        return;
    }
    Cell* cells = grid_.editRow(cursorRow_, to);
    fillCells(cells + from, cells + to, blankCell(color));
}

void TerminalEngine::eraseDisplay(std::int64_t mode)
{
    if (mode == 2 || mode == 3) {
        grid_.reset(rows_, baseTextColor_);
        cursorRow_ = 0;
        cursorColumn_ = 0;
    } else if (mode == 0) {
        eraseLine(0);
        for (int i = cursorRow_ + 1; i < grid_.rowCount(); ++i) {
            grid_.blankRow(i, baseTextColor_);
        }
    } else if (mode == 1) {
        const int before = std::min(cursorRow_, grid_.rowCount());
        for (int i = 0; i < before; ++i) {
            grid_.blankRow(i, baseTextColor_);
        }
        eraseLine(1);
    }
}

void TerminalEngine::eraseLine(std::int64_t mode)
{
    ensureRow();
    if (mode == 2) {
        blankCells(0, columns_, currentColor_);
    } else if (mode == 1) {
        blankCells(0, std::min(cursorColumn_, columns_ - 1) + 1, currentColor_);
    } else {
        blankCells(cursorColumn_, columns_, currentColor_);
    }
}

void TerminalEngine::eraseCharacters(std::int64_t count)
{
    ensureRow();
    blankCells(cursorColumn_, cursorColumn_ + Saturating::count(count), currentColor_);
}

// How many cells DCH and ICH move: cut to the cells right of the cursor; 0 or less (nothing to do)
// for negative counts or a cursor beyond the last column.
int TerminalEngine::shiftWidth(std::int64_t count)
{
    ensureRow();
    return std::min(columns_ - cursorColumn_, Saturating::count(count));
}

void TerminalEngine::deleteCharacters(std::int64_t count)
{
    const int k = shiftWidth(count);
    if (k <= 0) {
        return;
    }
    Cell* cells = grid_.editRow(cursorRow_);
    std::copy(cells + cursorColumn_ + k, cells + columns_, cells + cursorColumn_);
    fillCells(cells + columns_ - k, cells + columns_, blankCell(currentColor_));
}

void TerminalEngine::insertCharacters(std::int64_t count)
{
    const int k = shiftWidth(count);
    if (k <= 0) {
        return;
    }
    Cell* cells = grid_.editRow(cursorRow_);
    std::copy_backward(cells + cursorColumn_, cells + columns_ - k, cells + columns_);
    fillCells(cells + cursorColumn_, cells + cursorColumn_ + k, blankCell(currentColor_));
}

// RI (ESC M): up one row, or at the first kept row a new blank row above it. At the history limit
// the last row goes, so scrolling back forever cannot grow the list.
void TerminalEngine::reverseIndex()
{
    if (cursorRow_ > 0) {
        --cursorRow_;
    } else {
        grid_.prependBlank(baseTextColor_);
    }
}

// RIS (ESC c): one screen of blank rows; the saved cursor and bracketed paste survive.
void TerminalEngine::fullReset()
{
    grid_.reset(rows_, baseTextColor_);
    cursorRow_ = 0;
    cursorColumn_ = 0;
    wrapPending_ = false;
    currentColor_ = baseTextColor_;
}

void TerminalEngine::saveCursor()
{
    savedCursor_ = SavedCursor{cursorRow_, cursorColumn_};
}

// The saved position is kept as it was saved, even after the list shrank; its row is cut to the
// history limit so that the next write cannot grow the list past it. A column beyond the grid is
// kept: the next printable character wraps it, and range operations see an empty range.
void TerminalEngine::restoreCursor()
{
    cursorRow_ = std::clamp(savedCursor_.row, 0, historyLimit - 1);
    cursorColumn_ = std::clamp(savedCursor_.column, 0, columnLimit);
}
