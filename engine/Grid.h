// The kept rows of one screen, oldest first: a fixed ring of reused rows, so that trimming the oldest
// row at the history limit, or adding one at either end, moves no memory and allocates nothing.
#pragma once

#include "Cell.h"
#include "LineMarks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

class Grid {
public:
    // Stamps come from `stamps`, shared by every grid of one engine, so that no two rows of either
    // screen ever carry the same stamp.
    Grid(int capacity, std::uint64_t& stamps);

    int capacity() const { return capacity_; }
    int rowCount() const { return count_; }
    bool full() const { return count_ == capacity(); }
    int width() const { return width_; }

    std::span<const Cell> row(int index) const
    {
        const Row& r = slot(index);
        if (r.textAhead) [[unlikely]] {
            catchUp(r);
        }
        return r.cells;
    }
    // The row's cells as they are kept, without bringing a plain row's up to its text: for their
    // number, or beside plainText(), which is then what they hold.
    std::span<const Cell> keptCells(int index) const { return slot(index).cells; }
    std::uint64_t stamp(int index) const { return slot(index).stamp; }
    // The row ended in an automatic wrap: the text goes on in the next row. `padded`: the wrap came
    // before a wide character that did not fit, so the last cell is the blank left behind.
    bool wrapped(int index) const { return slot(index).wrapped; }
    bool padded(int index) const { return slot(index).padded; }
    void setWrapped(int index, bool wrapped, bool padded = false)
    {
        Row& r = slot(index);
        r.wrapped = wrapped;
        r.padded = wrapped && padded;
    }
    // The shell marked a prompt as starting on this row.
    bool promptStart(int index) const { return (slot(index).marks & LineMarks::prompt) != 0; }
    void setPromptStart(int index) { slot(index).marks |= LineMarks::prompt; }
    // Every mark the shell left on the row (LineMarks).
    LineMarks::Bits marks(int index) const { return slot(index).marks; }
    void addMarks(int index, LineMarks::Bits marks)
    {
        slot(index).marks = LineMarks::merged(slot(index).marks, marks);
    }
    // The folder the shell reported when the prompt on the row began (LineMarks::folder).
    void setFolder(int index, std::uint32_t folder)
    {
        slot(index).marks = LineMarks::withFolder(slot(index).marks, folder);
    }
    // Cells from here on are default blanks, as far as the row knows without looking (fewer than
    // width() when only the first columns were written since it was blanked).
    int writtenWidth(int index) const
    {
        const Row& r = slot(index);
        return r.blank == Cell{} ? r.usedWidth : width_;
    }
    // Rows dropped from the oldest end so far, and a count that moves whenever the kept rows are
    // rearranged in any other way than that or by adding rows at the newest end (a width change,
    // rows taken from the newest end, a reset). While the count stays, a reader that saw the rows
    // before knows that they are the same rows, shifted by the drops, without looking at them.
    std::uint64_t droppedRows() const { return dropped_; }
    std::uint64_t generation() const { return generation_; }
    // Rows moved between the history and the screen (a resize): every reader looks again.
    void markRearranged() { ++generation_; }

    // Cells of a row about to be edited; the row gets a fresh stamp.
    Cell* editRow(int index) { return editRow(index, width_); }
    // The same, for an edit that touches no cell at or after column `through`: only the columns
    // before it need blanking when the row is recycled.
    Cell* editRow(int index, int through)
    {
        Row& r = slot(index);
        if (r.textAhead) [[unlikely]] {
            catchUp(r);
        }
        r.plain = false;
        r.stamp = ++stamps_;
        r.usedWidth = std::max(r.usedWidth, through);
        return r.cells.data();
    }
    // Every cell of the row is printable ASCII or a blank, all in the default style, as far as the
    // row knows without looking (what it was blanked with and how it was written since).
    bool plain(int index) const { return slot(index).plain; }
    // A plain row's characters, a byte a cell: width() bytes and plainTextSlack more that may be
    // read (not written) past them. Meaningless unless plain(). While a row stays plain these bytes
    // are all it is written to; its cells catch up only when someone reads or edits them otherwise,
    // so output that scrolls away unread costs a byte a character, not a 16-byte cell, and the
    // history takes the row from these bytes.
    static constexpr int plainTextSlack = 16;
    const std::uint8_t* plainText(int index) const { return slot(index).text.data(); }
    // A write of the default style's printable ASCII `text` at [column, column + n). A plain row
    // takes it as its text and returns nullptr; any other row returns its cells for the caller to
    // write, as editRow(index, column + n) does.
    Cell* editPlainRow(int index, int column, const std::uint8_t* text, std::size_t n)
    {
        Row& r = slot(index);
        r.stamp = ++stamps_;
        if (!r.textAhead) {
            if (!r.plain) [[unlikely]] {
                r.usedWidth = std::max(r.usedWidth, column + static_cast<int>(n));
                return r.cells.data();
            }
            r.textAhead = true;
            r.staleWidth = r.usedWidth; // what the cells held when they stopped following
        }
        r.usedWidth = std::max(r.usedWidth, column + static_cast<int>(n));
        // Eight bytes at a time, the last eight overlapping (or four, or three single bytes that may
        // coincide): the short runs of most output in a move or two, without a call.
        std::uint8_t* to = r.text.data() + column;
        if (n >= 8) {
            for (std::size_t i = 0; i + 8 < n; i += 8) {
                std::memcpy(to + i, text + i, 8);
            }
            std::memcpy(to + n - 8, text + n - 8, 8);
        } else if (n >= 4) {
            std::uint32_t first, last;
            std::memcpy(&first, text, 4);
            std::memcpy(&last, text + n - 4, 4);
            std::memcpy(to, &first, 4);
            std::memcpy(to + n - 4, &last, 4);
        } else if (n > 0) {
            to[0] = text[0];
            to[n / 2] = text[n / 2];
            to[n - 1] = text[n - 1];
        }
        return nullptr;
    }

    // Every row has width() cells. Changing the width cuts or pads every kept row; a wide character
    // cut in half at the new edge is blanked.
    void setWidth(int width);

    void appendBlank(const Cell& blank); // needs !full()
    // Drops the oldest row; its storage comes back as a blank row at the end.
    void recycleOldest(const Cell& blank);
    void removeOldest(int count);                // count <= rowCount()
    void removeNewest(int count);                // count <= rowCount()
    void reset(int rowCount, const Cell& blank); // exactly rowCount blank rows
    // A ring of exactly `capacity` slots, blank: a screen whose ring is as tall as it recycles its
    // oldest row by moving the origin, touching no other slot.
    void resetCapacity(int capacity, const Cell& blank);
    void blankRow(int index, const Cell& blank);
    // Rows [first, last] move up by count (the top ones are lost) or down by count (the bottom ones
    // are lost); the rows opened at the other end are blank. Moved rows keep their stamps.
    void scrollUp(int first, int last, int count, const Cell& blank);
    void scrollDown(int first, int last, int count, const Cell& blank);

private:
    // Cells from usedWidth on are copies of `blank`, as the row was last blanked, so recycling the
    // row with the same blank blanks only what was written: one line of `seq` is a few cells of a
    // row, and blanking all of it again (a ring too big for the cache) was most of a line feed.
    // A plain row with textAhead has cells that lag behind its text: those before staleWidth may
    // hold anything, the rest are blanks. The first read brings them up to the text.
    struct Row {
        mutable std::vector<Cell> cells;
        std::vector<std::uint8_t> text; // see plainText()
        std::uint64_t stamp = 0;
        int usedWidth = 0;
        bool wrapped = false;
        bool padded = false;
        bool plain = false;
        mutable bool textAhead = false;
        int staleWidth = 0;
        LineMarks::Bits marks = 0;
        Cell blank;
    };

    int physical(int index) const
    {
        const int p = origin_ + index;
        return p >= capacity() ? p - capacity() : p;
    }
    Row& slot(int index) { return slots_[static_cast<std::size_t>(physical(index))]; }
    const Row& slot(int index) const { return slots_[static_cast<std::size_t>(physical(index))]; }
    void makeBlank(Row& row, const Cell& blank);
    static void catchUp(const Row& row);

    std::vector<Row> slots_;
    int capacity_; // slots_.size(), kept at hand for physical()
    int origin_ = 0;
    int count_ = 0;
    int width_ = 1;
    std::uint64_t dropped_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t& stamps_;
};
