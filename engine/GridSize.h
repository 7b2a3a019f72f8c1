// A grid's size in cells, and the smallest one the window makes room for: programs written for a
// 24 x 80 terminal draw garbled screens in less. The grid itself is always what the window shows,
// even where a tiling window manager makes the window smaller: a program told more rows or columns
// than it gets draws garbled screens too.
#pragma once

struct GridSize {
    int rows = 0;
    int columns = 0;

    friend bool operator==(const GridSize&, const GridSize&) = default;
};

inline constexpr GridSize minimumGridSize{24, 80};

// The size with at least one row and one column: a grid of none has no place for the cursor.
constexpr GridSize atLeastOneCell(GridSize size)
{
    return {size.rows > 1 ? size.rows : 1, size.columns > 1 ? size.columns : 1};
}
