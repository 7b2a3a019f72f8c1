// One grid position: a single Unicode scalar and the colour it is drawn in, held by value.
#pragma once

#include "Color.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// stores instead of eight stores of a cell's two parts: erasing and blank rows are mostly this. The
// last block overlaps the one before it as far as needed, so no loop of single cells follows.
inline void fillCells(Cell* first, Cell* last, Cell value)
{
    if (last - first >= 4) {
#if defined(__SSE2__)
        // The five words built in registers: a block assembled on the stack from 4- and 16-byte parts
        // and read back whole stalls the first load.
        __m128i color;
        std::memcpy(&color, &value.color, sizeof color);
        const __m128i character = _mm_cvtsi32_si128(static_cast<int>(value.character));
        const __m128i w0 = _mm_or_si128(_mm_slli_si128(color, 4), character);
        const __m128i w1 = _mm_or_si128(_mm_srli_si128(color, 12), _mm_slli_si128(w0, 4));
        const __m128i w2 = _mm_or_si128(_mm_srli_si128(color, 8), _mm_slli_si128(w0, 8));
        const __m128i w3 = _mm_or_si128(_mm_srli_si128(color, 4), _mm_slli_si128(character, 12));
        const auto store = [&](Cell* at) {
            auto* to = reinterpret_cast<unsigned char*>(at);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), w0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), w1);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), w2);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 48), w3);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 64), color);
        };
        for (; last - first > 4; first += 4) {
            store(first);
        }
        store(last - 4);
#else
        const Cell block[4] = {value, value, value, value};
        for (; last - first > 4; first += 4) {
            std::memcpy(first, block, sizeof block);
        }
        std::memcpy(last - 4, block, sizeof block);
#endif
        return;
    }
    for (; first < last; ++first) {
        *first = value;
    }
}
