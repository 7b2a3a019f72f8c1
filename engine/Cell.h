// One grid position: a single Unicode scalar and the colour it is drawn in, held by value.
#pragma once

#include "Color.h"

#include <cstddef>
#include <cstring>

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

// Sets the cells [first, last) to value. Four cells are 80 bytes, stored as one block of five 16-byte
// stores instead of eight stores of a cell's two parts: erasing and blank rows are mostly this.
inline void fillCells(Cell* first, Cell* last, Cell value)
{
    std::size_t count = static_cast<std::size_t>(last - first);
    if (count >= 4) {
        const Cell block[4] = {value, value, value, value};
        do {
            std::memcpy(first, block, sizeof block);
            first += 4;
            count -= 4;
        } while (count >= 4);
    }
    for (; count > 0; --count) {
        *first++ = value;
    }
}
