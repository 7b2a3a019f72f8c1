// A grid's size in cells, and the smallest one a program is ever told: programs written for a
// 24 x 80 terminal draw garbled screens in less.
#pragma once

struct GridSize {
    int rows = 0;
    int columns = 0;

    friend bool operator==(const GridSize&, const GridSize&) = default;
};

inline constexpr GridSize minimumGridSize{24, 80};

// The size raised to the floor in each dimension.
constexpr GridSize atLeastMinimum(GridSize size)
{
    return {size.rows > minimumGridSize.rows ? size.rows : minimumGridSize.rows,
            size.columns > minimumGridSize.columns ? size.columns : minimumGridSize.columns};
}
