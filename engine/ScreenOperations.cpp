// The operations on the active screen: printing (wide characters, combining marks, insert mode,
// deferred wrap), line feeds and scrolling inside the margins, cursor movement, erasing, inserting
// and deleting, tab stops, the screens and the resets. One function per operation, used both by the
// interpreter's fast paths and by the dispatch.
#include "CharacterWidth.h"
#include "Saturating.h"
#include "TerminalEngine.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// A cell of the style with no character, as one 16-byte value: each character is or-ed into it and
// the cell stored whole, instead of four stores of its parts.
#if defined(__SSE2__)
using CellPattern = __m128i;
[[gnu::always_inline]] inline CellPattern cellPattern(const CellStyle& style)
{
    Cell blank{0, style};
    CellPattern pattern;
    std::memcpy(&pattern, &blank, sizeof pattern);
    return pattern;
}
#else
using CellPattern = CellStyle;
[[gnu::always_inline]] inline CellPattern cellPattern(const CellStyle& style)
{
    return style;
}
#endif

template <std::size_t count>
[[gnu::always_inline]] inline void writeCellBlock(Cell* cells, const std::uint8_t* text, CellPattern pattern)
{
#pragma GCC unroll 4
    for (std::size_t i = 0; i < count; ++i) {
#if defined(__SSE2__)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cells + i),
                         _mm_or_si128(pattern, _mm_cvtsi32_si128(static_cast<int>(text[i]))));
#else
        cells[i] = Cell{text[i], pattern};
#endif
    }
}

// Cells [0, length) get text's characters, length >= 1. A short stretch is written as two blocks of
// a fixed size that overlap as far as needed (cells written twice get the same value), so that its
// varying length costs no mispredicted loop exit; a long one four cells at a time.
[[gnu::always_inline]] inline void writeCells(Cell* cells, const std::uint8_t* text, std::size_t length,
                                              CellPattern style)
{
    if (length >= 4) {
        if (length > 8) {
            for (std::size_t i = 0; i + 4 < length; i += 4) {
                writeCellBlock<4>(cells + i, text + i, style);
            }
        } else if (length > 4) {
            writeCellBlock<4>(cells, text, style);
        }
        writeCellBlock<4>(cells + length - 4, text + length - 4, style);
    } else if (length >= 2) {
        writeCellBlock<2>(cells, text, style);
        writeCellBlock<2>(cells + length - 2, text + length - 2, style);
    } else {
        writeCellBlock<1>(cells, text, style);
    }
}

// DEC special graphics (ESC ( 0): the line-drawing set curses draws boxes with, as Unicode.
constexpr char32_t decGraphics[32] = {
    U'\u00A0', U'\u25C6', U'\u2592', U'\u2409', U'\u240C', U'\u240D', U'\u240A', U'\u00B0',
    U'\u00B1', U'\u2424', U'\u240B', U'\u2518', U'\u2510', U'\u250C', U'\u2514', U'\u253C',
    U'\u23BA', U'\u23BB', U'\u2500', U'\u23BC', U'\u23BD', U'\u251C', U'\u2524', U'\u2534',
    U'\u252C', U'\u2502', U'\u2264', U'\u2265', U'\u03C0', U'\u2260', U'\u00A3', U'\u00B7',
};
} // namespace

void TerminalEngine::updateFastPrint()
{
    fastPrint_ = modes_.autowrap && !modes_.insertMode && charsets_[shift_] == 'B';
}

char32_t TerminalEngine::mapCharset(char32_t scalar) const
{
    if (charsets_[shift_] == '0' && scalar >= 0x5F && scalar <= 0x7E) {
        return decGraphics[scalar - 0x5F];
    }
    return scalar;
}

void TerminalEngine::wrapIfPending()
{
    if (wrapPending_) {
        wrapPending_ = false;
        cursorColumn_ = 0;
        index();
    }
}

void TerminalEngine::carriageReturn()
{
    cursorColumn_ = 0;
    wrapPending_ = false;
}

// LF, VT and FF: a line feed, with a carriage return first in new-line mode.
void TerminalEngine::lineFeedControl()
{
    if (modes_.newLineMode) {
        carriageReturn();
    }
    index();
}

// The cursor after writing the cells before `column`: reaching the edge leaves it on the last column
// with the wrap pending (when autowrap is on), so the next character wraps and not this one.
void TerminalEngine::advanceAfterWrite(int column)
{
    if (column >= columns_) {
        cursorColumn_ = columns_ - 1;
        wrapPending_ = modes_.autowrap;
    } else {
        cursorColumn_ = column;
    }
}

// One character from the general path: the charset applied, its width looked up.
void TerminalEngine::print(char32_t scalar)
{
    scalar = mapCharset(scalar);
    const int width = scalar < 0x300 ? 1 : characterWidth(scalar);
    if (width == 0) {
        combine(scalar);
        return;
    }
    printWide(scalar, width);
}

void TerminalEngine::printWide(char32_t scalar, int width)
{
    if (modes_.autowrap) {
        wrapIfPending();
    }
    if (width == 2 && cursorColumn_ == columns_ - 1) {
        if (!modes_.autowrap || columns_ < 2) {
            return; // no room, and no next line to take it
        }
        // A wide character never straddles the edge: the last column stays as it is.
        wrapPending_ = true;
        wrapIfPending();
    }
    if (modes_.insertMode) {
        insertCharacters(width);
    }
    Cell* cells = grid_->editRow(line(cursorRow_), cursorColumn_ + width);
    if (splitWideEdges(cells, cursorColumn_, cursorColumn_ + width, columns_, pen_.background)) {
        grid_->editRow(line(cursorRow_), cursorColumn_ + width + 1);
    }
    placeCharacter(cells, cursorColumn_, scalar, width, pen_);
    lastPrinted_ = scalar;
    advanceAfterWrite(cursorColumn_ + width);
}

// A combining mark or joiner goes into the cell before the cursor (the last cell written), with
// the character already there. Marks beyond a cluster's bound, or once the table is full, are
// dropped: the base character stays.
void TerminalEngine::combine(char32_t mark)
{
    int column = wrapPending_ ? cursorColumn_ : cursorColumn_ - 1;
    if (column < 0) {
        return;
    }
    const Cell* row = grid_->row(line(cursorRow_)).data();
    if ((row[column].style.flags & CellFlags::wideTail) && column > 0) {
        --column;
    }
    const char32_t base = row[column].character;
    if (base == 0) {
        return;
    }
    constexpr std::size_t clusterLimit = 1 << 16;
    constexpr std::size_t markLimit = 16;
    std::u32string text(cellText(row[column]));
    if (text.size() >= markLimit) {
        return;
    }
    text.push_back(mark);
    char32_t id;
    if (const auto found = clusterIds_.find(text); found != clusterIds_.end()) {
        id = found->second;
    } else if (clusters_.size() < clusterLimit) {
        id = firstClusterCharacter + static_cast<char32_t>(clusters_.size());
        clusters_.push_back(text);
        clusterIds_.emplace(std::move(text), id);
    } else {
        return;
    }
    grid_->editRow(line(cursorRow_), column + 1)[column].character = id;
}

// The ASCII fast path: a run of printable bytes fills the row's cells a stretch at a time, with the
// same wrapping as print one character after another. Needs fastPrint_.
void TerminalEngine::writeAsciiRun(const std::uint8_t* text, std::size_t length)
{
    lastPrinted_ = text[length - 1];
    const CellPattern pattern = cellPattern(pen_);
    // Most runs fit on the cursor's row with no wrap pending: nothing to wrap, one stretch. Otherwise
    // a stretch per row, each up to the row's end.
    for (;;) {
        wrapIfPending();
        const std::size_t room = static_cast<std::size_t>(columns_ - cursorColumn_);
        const std::size_t stretch = std::min(length, room);
        const int to = cursorColumn_ + static_cast<int>(stretch);
        Cell* cells = grid_->editRow(line(cursorRow_), to);
        if (splitWideEdges(cells, cursorColumn_, to, columns_, pen_.background)) {
            grid_->editRow(line(cursorRow_), to + 1);
        }
        writeCells(cells + cursorColumn_, text, stretch, pattern);
        advanceAfterWrite(to);
        length -= stretch;
        if (length == 0) [[likely]] {
            return;
        }
        text += stretch;
    }
}

// IND and LF: down one row; at the bottom margin the region scrolls up instead.
void TerminalEngine::index()
{
    if (cursorRow_ != bottom_) [[likely]] {
        cursorRow_ += cursorRow_ < rows_ - 1 ? 1 : 0;
    } else {
        scrollUp(1);
    }
}

// RI: up one row; at the top margin the region scrolls down instead.
void TerminalEngine::reverseIndex()
{
    wrapPending_ = false;
    if (cursorRow_ == top_) {
        scrollDown(1);
    } else if (cursorRow_ > 0) {
        --cursorRow_;
    }
}

void TerminalEngine::nextLine()
{
    carriageReturn();
    index();
}

// The region's rows move up by count. On the primary screen with margins at its edges the top rows
// go into the history (the kept rows grow, or at the history limit the oldest row's storage comes
// back as the new bottom row); anywhere else they are lost.
void TerminalEngine::scrollUp(int count)
{
    count = std::min(count, bottom_ - top_ + 1);
    if (count <= 0) {
        return;
    }
    if (!alternateActive_ && top_ == 0 && bottom_ == rows_ - 1) [[likely]] {
        scrollIntoHistory(count);
        return;
    }
    grid_->scrollUp(line(top_), line(bottom_), count, blank());
}

// The common case of all, output running off the bottom of the screen: the top rows become history.
void TerminalEngine::scrollIntoHistory(int count)
{
    const Cell blank = this->blank();
    for (int i = 0; i < count; ++i) {
        if (grid_->full()) {
            grid_->rotateOldestToNewest(blank);
        } else {
            grid_->appendBlank(blank);
        }
    }
}

void TerminalEngine::scrollDown(int count)
{
    count = std::min(count, bottom_ - top_ + 1);
    if (count > 0) {
        grid_->scrollDown(line(top_), line(bottom_), count, blank());
    }
}

// IL and DL act from the cursor's row to the bottom margin, and only inside the margins.
void TerminalEngine::insertLines(std::int64_t count)
{
    editLines(count, &Grid::scrollDown);
}

void TerminalEngine::deleteLines(std::int64_t count)
{
    editLines(count, &Grid::scrollUp);
}

void TerminalEngine::editLines(std::int64_t count, void (Grid::*shift)(int, int, int, const Cell&))
{
    if (cursorRow_ < top_ || cursorRow_ > bottom_) {
        return;
    }
    const int n = std::min(Saturating::count(count), bottom_ - cursorRow_ + 1);
    if (n > 0) {
        (grid_->*shift)(line(cursorRow_), line(bottom_), n, blank());
    }
    carriageReturn();
}

// Vertical movements stop at a margin when they start inside the region, else at the screen's edge.
void TerminalEngine::cursorUp(int count)
{
    const int limit = cursorRow_ >= top_ ? top_ : 0;
    cursorRow_ = std::max(limit, cursorRow_ - count);
    wrapPending_ = false;
}

void TerminalEngine::cursorDown(int count)
{
    const int limit = cursorRow_ <= bottom_ ? bottom_ : rows_ - 1;
    cursorRow_ = std::min(limit, cursorRow_ + count);
    wrapPending_ = false;
}

void TerminalEngine::cursorForward(int count)
{
    cursorColumn_ = std::min(columns_ - 1, cursorColumn_ + count);
    wrapPending_ = false;
}

void TerminalEngine::cursorBackward(int count)
{
    cursorColumn_ = std::max(0, cursorColumn_ - count);
    wrapPending_ = false;
}

void TerminalEngine::tabForward(int count)
{
    while (count-- > 0 && cursorColumn_ < columns_ - 1) {
        do {
            ++cursorColumn_;
        } while (cursorColumn_ < columns_ - 1 && !tabStops_[static_cast<std::size_t>(cursorColumn_)]);
    }
}

void TerminalEngine::tabBackward(int count)
{
    while (count-- > 0 && cursorColumn_ > 0) {
        do {
            --cursorColumn_;
        } while (cursorColumn_ > 0 && !tabStops_[static_cast<std::size_t>(cursorColumn_)]);
    }
    wrapPending_ = false;
}

// REP: the last printed character again, at most a screenful (more could only overwrite it).
void TerminalEngine::repeatLast(std::int64_t count)
{
    if (lastPrinted_ == 0) {
        return;
    }
    const int n = std::min(Saturating::count(count), rows_ * columns_);
    const int width = lastPrinted_ < 0x300 ? 1 : characterWidth(lastPrinted_);
    for (int i = 0; i < n; ++i) {
        printWide(lastPrinted_, std::max(width, 1));
    }
}

// DECSTBM: 1-based rows, 0 meaning the edge; a region of fewer than two rows is refused.
void TerminalEngine::setMargins(std::int64_t top, std::int64_t bottom)
{
    const int t = Saturating::oneBasedToIndex(top, 0, rows_ - 1);
    const int b = bottom == 0 ? rows_ - 1 : Saturating::oneBasedToIndex(bottom, 0, rows_ - 1);
    if (t >= b) {
        return;
    }
    top_ = t;
    bottom_ = b;
    cursorTo(0, 0);
}

// DECALN: the screen filled with E, margins reset, cursor home.
void TerminalEngine::screenAlignment()
{
    top_ = 0;
    bottom_ = rows_ - 1;
    for (int r = 0; r < rows_; ++r) {
        fillCells(grid_->editRow(line(r)), grid_->editRow(line(r)) + columns_, Cell{U'E', CellStyle{}});
    }
    cursorTo(0, 0);
}

// The alternate screen has no history: exactly rows() rows, blank when entered with clear.
void TerminalEngine::switchScreen(bool alternate, bool clear)
{
    if (alternate == alternateActive_) {
        if (alternate && clear) {
            alternate_.reset(rows_, blank());
        }
        return;
    }
    alternateActive_ = alternate;
    grid_ = alternate ? &alternate_ : &primary_;
    if (alternate && (clear || alternate_.rowCount() != rows_)) {
        alternate_.reset(rows_, blank());
    }
    wrapPending_ = false;
}

void TerminalEngine::saveCursor()
{
    saved_[alternateActive_ ? 1 : 0] = SavedCursor{
        cursorRow_, cursorColumn_, wrapPending_, modes_.originMode, pen_, {charsets_[0], charsets_[1]},
        shift_};
}

void TerminalEngine::restoreCursor()
{
    const SavedCursor& s = saved_[alternateActive_ ? 1 : 0];
    cursorRow_ = std::clamp(s.row, 0, rows_ - 1);
    cursorColumn_ = std::clamp(s.column, 0, columns_ - 1);
    wrapPending_ = s.wrapPending && cursorColumn_ == columns_ - 1;
    modes_.originMode = s.originMode;
    pen_ = s.pen;
    charsets_[0] = s.charsets[0];
    charsets_[1] = s.charsets[1];
    shift_ = s.shift;
    updateFastPrint();
}

// What DECSTR and RIS both put back: the modes (bracketed paste stays, which the shell set and
// expects; a soft reset keeps the mouse and focus reports too), the margins, the pen, the charsets and
// the cursor style.
void TerminalEngine::resetModesAndPen(bool soft)
{
    TerminalModes modes;
    modes.bracketedPaste = modes_.bracketedPaste;
    if (soft) {
        modes.mouseTracking = modes_.mouseTracking;
        modes.mouseSgr = modes_.mouseSgr;
        modes.focusEvents = modes_.focusEvents;
    }
    modes_ = modes;
    top_ = 0;
    bottom_ = rows_ - 1;
    pen_ = CellStyle{};
    charsets_[0] = charsets_[1] = 'B';
    shift_ = 0;
    cursorStyle_ = 0;
    updateFastPrint();
}

// DECSTR: modes, margins, pen and charsets back to their defaults; the screen stays.
void TerminalEngine::softReset()
{
    resetModesAndPen(true);
    saved_[alternateActive_ ? 1 : 0] = SavedCursor{};
}

// RIS: everything back to the start, on the primary screen of one screen of blank rows; the saved
// cursor and bracketed paste survive.
void TerminalEngine::fullReset()
{
    switchScreen(false, false);
    resetModesAndPen(false);
    saved_[1] = SavedCursor{};
    primary_.reset(rows_, blankCell());
    alternate_.reset(0, blankCell());
    cursorRow_ = 0;
    cursorColumn_ = 0;
    wrapPending_ = false;
    std::fill(tabStops_.begin(), tabStops_.end(), false);
    for (int c = 8; c < columns_; c += 8) {
        tabStops_[static_cast<std::size_t>(c)] = true;
    }
}

// Blanks columns [from, to) of the cursor row, both cut to the row; a wide character cut in half
// by the range's edges goes whole.
void TerminalEngine::blankCells(int from, int to)
{
    from = std::clamp(from, 0, columns_);
    to = std::clamp(to, from, columns_);
    if (from == to) {
        return;
    }
    const Cell blank = this->blank();
    Cell* cells = grid_->editRow(line(cursorRow_), std::min(columns_, to + 1));
    splitWideEdges(cells, from, to, columns_, pen_.background);
    fillCells(cells + from, cells + to, blank);
}

// ED: on the screen only; 3 drops the history instead.
void TerminalEngine::eraseDisplay(std::int64_t mode)
{
    const Cell blank = this->blank();
    if (mode == 0) {
        eraseLine(0);
        for (int r = cursorRow_ + 1; r < rows_; ++r) {
            grid_->blankRow(line(r), blank);
        }
    } else if (mode == 1) {
        for (int r = 0; r < cursorRow_; ++r) {
            grid_->blankRow(line(r), blank);
        }
        eraseLine(1);
    } else if (mode == 2) {
        for (int r = 0; r < rows_; ++r) {
            grid_->blankRow(line(r), blank);
        }
    } else if (mode == 3) {
        grid_->removeOldest(screenTop());
    }
}

void TerminalEngine::eraseLine(std::int64_t mode)
{
    if (mode == 2) {
        blankCells(0, columns_);
    } else if (mode == 1) {
        blankCells(0, cursorColumn_ + 1);
    } else if (mode == 0) {
        blankCells(cursorColumn_, columns_);
    }
}

void TerminalEngine::eraseCharacters(std::int64_t count)
{
    blankCells(cursorColumn_, cursorColumn_ + Saturating::count(count));
}

// How many cells DCH and ICH move: cut to the cells right of the cursor.
int TerminalEngine::shiftWidth(std::int64_t count)
{
    wrapPending_ = false;
    return std::min(columns_ - cursorColumn_, Saturating::count(count));
}

void TerminalEngine::deleteCharacters(std::int64_t count)
{
    shiftCells(count, false);
}

void TerminalEngine::insertCharacters(std::int64_t count)
{
    shiftCells(count, true);
}

// DCH closes count cells at the cursor, ICH opens them; the row's far end takes or gives blanks.
void TerminalEngine::shiftCells(std::int64_t count, bool open)
{
    const int k = shiftWidth(count);
    if (k <= 0) {
        return;
    }
    const Cell blank = this->blank();
    Cell* cells = grid_->editRow(line(cursorRow_));
    if (!open) {
        splitWideEdges(cells, cursorColumn_, cursorColumn_ + k, columns_, pen_.background);
        std::copy(cells + cursorColumn_ + k, cells + columns_, cells + cursorColumn_);
        fillCells(cells + columns_ - k, cells + columns_, blank);
        return;
    }
    // Cells open at the cursor: a wide character split there goes whole.
    if ((cells[cursorColumn_].style.flags & CellFlags::wideTail) && cursorColumn_ > 0) {
        cells[cursorColumn_ - 1] = blank;
        cells[cursorColumn_] = blank;
    }
    std::copy_backward(cells + cursorColumn_, cells + columns_ - k, cells + columns_);
    fillCells(cells + cursorColumn_, cells + cursorColumn_ + k, blank);
    if (cells[columns_ - 1].style.flags & CellFlags::wideHead) {
        cells[columns_ - 1] = blank; // its tail was pushed off the row
    }
}
