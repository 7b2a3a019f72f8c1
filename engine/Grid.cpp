// The ring of reused rows behind a terminal screen and its history.
#include "Grid.h"

#include <algorithm>
#include <cstring>
#include <utility>

Grid::Grid(int capacity, std::uint64_t& stamps)
    : slots_(static_cast<std::size_t>(std::max(capacity, 1))), capacity_(static_cast<int>(slots_.size())),
      stamps_(stamps)
{
}

void Grid::makeBlank(Row& row, const Cell& blank)
{
    // The row's storage is reused whenever its capacity suffices, which after the first pass through
    // the ring is always; otherwise assign() allocates exactly the width. A row of the current width
    // whose blanks are already this blank needs only its written columns blanked.
    const auto width = static_cast<std::size_t>(width_);
    if (row.cells.size() == width && row.blank == blank) {
        const int used = std::min(row.usedWidth, width_);
        // Sixteen at a time into the slack: past what was written the text is blanks already.
        for (int i = 0; i < used; i += plainTextSlack) {
            std::memset(row.text.data() + i, ' ', plainTextSlack);
        }
        // Cells lagging behind the text (a plain row's blank is the default one) catch up to the
        // blank text when read.
        if (!row.textAhead) {
            fillCells(row.cells.data(), row.cells.data() + used, blank);
        }
    } else {
        row.textAhead = false;
        if (row.cells.capacity() >= width) {
            row.cells.resize(width);
            fillCells(row.cells.data(), row.cells.data() + width, blank);
        } else {
            row.cells.assign(width, blank);
        }
        row.text.assign(width + plainTextSlack, ' ');
    }
    row.usedWidth = 0;
    row.wrapped = false;
    row.padded = false;
    row.plain = blank == Cell{};
    row.marks = 0;
    row.blank = blank;
    row.stamp = ++stamps_;
}

void Grid::catchUp(const Row& row)
{
    // A plain row's cells are its characters in the default style, blanks included (a space); past
    // what was written, and past what the cells held before they fell behind, they are blanks.
    Cell* const cells = row.cells.data();
    const std::uint8_t* const text = row.text.data();
    const int used = std::min(row.usedWidth, static_cast<int>(row.cells.size()));
    if (used > 0) {
        writeCells(cells, text, static_cast<std::size_t>(used), cellPattern(CellStyle{}));
    }
    if (row.staleWidth > used) {
        fillCells(cells + used, cells + row.staleWidth, Cell{});
    }
    row.textAhead = false;
}

void Grid::setWidth(int width)
{
    width_ = std::max(width, 1);
    ++generation_;
    for (int i = 0; i < count_; ++i) {
        Row& r = slot(i);
        const int old = static_cast<int>(r.cells.size());
        r.cells.resize(static_cast<std::size_t>(width_), r.blank);
        r.text.resize(static_cast<std::size_t>(width_ + plainTextSlack), ' ');
        // Columns cut off now would come back as text if the row grew again.
        std::memset(r.text.data() + width_, ' ', plainTextSlack);
        if (width_ < old && !r.textAhead &&
            (r.cells[static_cast<std::size_t>(width_ - 1)].style.flags & CellFlags::wideHead)) {
            r.cells[static_cast<std::size_t>(width_ - 1)] = r.blank;
        }
        r.usedWidth = std::min(r.usedWidth, width_);
        r.staleWidth = std::min(r.staleWidth, width_);
        r.stamp = ++stamps_;
    }
}

void Grid::appendBlank(const Cell& blank)
{
    ++count_;
    makeBlank(slot(count_ - 1), blank);
}

void Grid::recycleOldest(const Cell& blank)
{
    if (count_ < capacity_) {
        std::swap(slot(0), slot(count_)); // the spare slot after the last row takes the oldest's place
    }
    origin_ = physical(1);
    ++dropped_;
    makeBlank(slot(count_ - 1), blank);
}

void Grid::removeOldest(int count)
{
    count = std::clamp(count, 0, count_);
    origin_ = physical(count);
    count_ -= count;
    dropped_ += static_cast<std::uint64_t>(count);
}

void Grid::removeNewest(int count)
{
    count_ -= std::clamp(count, 0, count_);
    ++generation_;
}

void Grid::reset(int rowCount, const Cell& blank)
{
    origin_ = 0;
    count_ = std::clamp(rowCount, 0, capacity());
    ++generation_;
    for (int i = 0; i < count_; ++i) {
        makeBlank(slot(i), blank);
    }
}

void Grid::resetCapacity(int capacity, const Cell& blank)
{
    capacity = std::max(capacity, 1);
    if (capacity != capacity_) {
        slots_.resize(static_cast<std::size_t>(capacity));
        capacity_ = capacity;
    }
    reset(capacity, blank);
}

void Grid::blankRow(int index, const Cell& blank)
{
    makeBlank(slot(index), blank);
}

void Grid::scrollUp(int first, int last, int count, const Cell& blank)
{
    count = std::min(count, last - first + 1);
    for (int i = first; i + count <= last; ++i) {
        std::swap(slot(i), slot(i + count));
    }
    for (int i = last - count + 1; i <= last; ++i) {
        makeBlank(slot(i), blank);
    }
}

void Grid::scrollDown(int first, int last, int count, const Cell& blank)
{
    count = std::min(count, last - first + 1);
    for (int i = last; i - count >= first; --i) {
        std::swap(slot(i), slot(i - count));
    }
    for (int i = first; i < first + count; ++i) {
        makeBlank(slot(i), blank);
    }
}
