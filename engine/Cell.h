// One grid position: a single Unicode scalar and the colour it is drawn in, held by value.
#pragma once

#include "Color.h"

struct Cell {
    char32_t character = U' ';
    Color color;

    friend bool operator==(const Cell&, const Cell&) = default;
};

// 4 bytes of scalar + 16 of colour: 2000 rows x 200 columns stay at 8 MB.
static_assert(sizeof(Cell) == 20, "a cell is a scalar and four float components");

constexpr Cell blankCell(Color color)
{
    return Cell{U' ', color};
}
