// The ring of reused rows behind the terminal's screen and history.
#include "Grid.h"

#include <algorithm>

Grid::Grid(int capacity)
    : slots_(static_cast<std::size_t>(std::max(capacity, 1))), capacity_(static_cast<int>(slots_.size()))
{
}

void Grid::makeBlank(Row& row, Color color)
{
    // The row's storage is reused whenever its capacity suffices, which after the first pass through
    // the ring is always; otherwise assign() allocates exactly the width. A row of the current width
    // whose blanks already have this colour needs only its written columns blanked.
    const auto width = static_cast<std::size_t>(width_);
    if (row.cells.size() == width && row.blankColor == color) {
        fillCells(row.cells.data(), row.cells.data() + std::min(row.usedWidth, width_), blankCell(color));
    } else if (row.cells.capacity() >= width) {
        row.cells.resize(width);
        fillCells(row.cells.data(), row.cells.data() + width, blankCell(color));
    } else {
        row.cells.assign(width, blankCell(color));
    }
    row.usedWidth = 0;
    row.blankColor = color;
    row.stamp = ++lastStamp_;
}

void Grid::setWidth(int width, Color padColor)
{
    width_ = std::max(width, 1);
    for (int i = 0; i < count_; ++i) {
        Row& r = slot(i);
        r.cells.resize(static_cast<std::size_t>(width_), blankCell(padColor));
        if (padColor != r.blankColor) {
            r.usedWidth = width_; // the padding is blank in another colour
        }
        r.usedWidth = std::min(r.usedWidth, width_);
        r.stamp = ++lastStamp_;
    }
}

void Grid::appendBlank(Color color)
{
    ++count_;
    makeBlank(slot(count_ - 1), color);
}

void Grid::rotateOldestToNewest(Color color)
{
    origin_ = physical(1);
    makeBlank(slot(count_ - 1), color);
}

void Grid::prependBlank(Color color)
{
    origin_ = origin_ == 0 ? capacity() - 1 : origin_ - 1;
    if (!full()) {
        ++count_;
    }
    makeBlank(slot(0), color);
}

void Grid::removeOldest(int count)
{
    count = std::clamp(count, 0, count_);
    origin_ = physical(count);
    count_ -= count;
}

void Grid::reset(int rowCount, Color color)
{
    origin_ = 0;
    count_ = std::clamp(rowCount, 0, capacity());
    for (int i = 0; i < count_; ++i) {
        makeBlank(slot(i), color);
    }
}

void Grid::blankRow(int index, Color color)
{
    makeBlank(slot(index), color);
}
