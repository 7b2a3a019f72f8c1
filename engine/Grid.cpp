// The ring of reused rows behind the terminal's screen and history.
#include "Grid.h"

#include <algorithm>

Grid::Grid(int capacity) : slots_(static_cast<std::size_t>(std::max(capacity, 1))) {}

void Grid::makeBlank(Row& row, Color color)
{
    // assign() reuses the row's storage whenever its capacity suffices, which after the first pass
    // through the ring is always.
    row.cells.assign(static_cast<std::size_t>(width_), blankCell(color));
    row.stamp = ++lastStamp_;
}

void Grid::setWidth(int width, Color padColor)
{
    width_ = std::max(width, 1);
    for (int i = 0; i < count_; ++i) {
        Row& r = slot(i);
        r.cells.resize(static_cast<std::size_t>(width_), blankCell(padColor));
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
