// One grid position: a character and its style (colours, attributes, hyperlink), held by value in
// 16 bytes, and the packed colour form the style keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A colour as a cell keeps it: the default (the text colour, or no background: the glass), an index
// into the 256-colour palette, or a direct 8-bit RGB value. The kind sits in the top byte.
namespace CellColor {
inline constexpr std::uint32_t defaultColor = 0;
inline constexpr std::uint32_t indexedKind = 1u << 24;
inline constexpr std::uint32_t rgbKind = 2u << 24;

constexpr std::uint32_t indexed(int index)
{
    return indexedKind | static_cast<std::uint32_t>(index & 0xFF);
}
constexpr std::uint32_t rgb(int red, int green, int blue)
{
    return rgbKind | static_cast<std::uint32_t>((red & 0xFF) << 16 | (green & 0xFF) << 8 | (blue & 0xFF));
}
constexpr bool isDefault(std::uint32_t color)
{
    return color >> 24 == 0;
}
constexpr bool isIndexed(std::uint32_t color)
{
    return color >> 24 == 1;
}
constexpr bool isRgb(std::uint32_t color)
{
    return color >> 24 == 2;
}
constexpr int index(std::uint32_t color)
{
    return static_cast<int>(color & 0xFF);
}
constexpr int red(std::uint32_t color)
{
    return static_cast<int>((color >> 16) & 0xFF);
}
constexpr int green(std::uint32_t color)
{
    return static_cast<int>((color >> 8) & 0xFF);
}
constexpr int blue(std::uint32_t color)
{
    return static_cast<int>(color & 0xFF);
}
} // namespace CellColor

// Attribute bits of a style. The underline style takes three bits; wideHead and wideTail mark the
// two cells of a character two columns wide.
namespace CellFlags {
inline constexpr std::uint16_t bold = 1 << 0;
inline constexpr std::uint16_t faint = 1 << 1;
inline constexpr std::uint16_t italic = 1 << 2;
inline constexpr std::uint16_t blink = 1 << 3;
inline constexpr std::uint16_t inverse = 1 << 4;
inline constexpr std::uint16_t hidden = 1 << 5;
inline constexpr std::uint16_t strikethrough = 1 << 6;
inline constexpr int underlineShift = 7;
inline constexpr std::uint16_t underlineMask = 7 << underlineShift;
inline constexpr std::uint16_t wideHead = 1 << 10;
inline constexpr std::uint16_t wideTail = 1 << 11;
inline constexpr std::uint16_t wide = wideHead | wideTail;
// DECSCA: selective erase (DECSED, DECSEL) passes the cell by. Not drawn; SGR 0 keeps it.
inline constexpr std::uint16_t protectedCell = 1 << 12;

enum class Underline : std::uint16_t { none, single, doubled, curly, dotted, dashed };

constexpr Underline underline(std::uint16_t flags)
{
    return static_cast<Underline>((flags & underlineMask) >> underlineShift);
}
constexpr std::uint16_t withUnderline(std::uint16_t flags, Underline style)
{
    return static_cast<std::uint16_t>((flags & ~underlineMask) |
                                      (static_cast<std::uint16_t>(style) << underlineShift));
}
} // namespace CellFlags

struct CellStyle {
    std::uint32_t foreground = CellColor::defaultColor;
    std::uint32_t background = CellColor::defaultColor;
    std::uint16_t flags = 0;
    // The hyperlink and underline colour (TerminalEngine::hyperlink, underlineColor), 0 for neither.
    std::uint16_t link = 0;

    friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

// Scalars from here on stand for a character with combining marks (CellTables::cellText);
// the second cell of a wide character holds 0.
inline constexpr char32_t firstClusterCharacter = 0x110000;

struct Cell {
    char32_t character = U' ';
    CellStyle style;

    friend bool operator==(const Cell&, const Cell&) = default;
};

// 16 bytes: 2000 rows x 200 columns of history stay at 6.4 MB, and a cell is one aligned store.
static_assert(sizeof(Cell) == 16, "a cell is a scalar and a 12-byte style");

// A blank made by an erase or a scroll: a space with the given background and nothing else (bce).
constexpr Cell blankCell(std::uint32_t background = CellColor::defaultColor)
{
    return Cell{U' ', CellStyle{CellColor::defaultColor, background, 0, 0}};
}

// Sets the cells [first, last) to value: one 16-byte store a cell from a register, four to an
// iteration (erases and recycled rows are mostly this).
inline void fillCells(Cell* first, Cell* last, const Cell& value)
{
#if defined(__SSE2__)
    __m128i v;
    std::memcpy(&v, &value, sizeof v);
    auto* to = reinterpret_cast<__m128i*>(first);
    auto* const end = reinterpret_cast<__m128i*>(last);
    for (; end - to >= 4; to += 4) {
        _mm_storeu_si128(to, v);
        _mm_storeu_si128(to + 1, v);
        _mm_storeu_si128(to + 2, v);
        _mm_storeu_si128(to + 3, v);
    }
    for (; to < end; ++to) {
        _mm_storeu_si128(to, v);
    }
#else
    const Cell v = value;
    for (; first < last; ++first) {
        *first = v;
    }
#endif
}

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

// Writing over one half of a wide character blanks the other half: the cells [from, to) are about
// to be overwritten. True when the cell at `to` was blanked (the row's edit then reaches past to).
[[gnu::always_inline]] inline bool splitWideEdges(Cell* cells, int from, int to, int columns,
                                                  std::uint32_t background)
{
    if (cells[from].style.flags & CellFlags::wideTail) [[unlikely]] {
        if (from > 0) {
            cells[from - 1] = blankCell(background);
        }
    }
    if (cells[to - 1].style.flags & CellFlags::wideHead) [[unlikely]] {
        if (to < columns) {
            cells[to] = blankCell(background);
            return true;
        }
    }
    return false;
}

// A character of `width` cells at `column`: one cell, or the two cells of a wide character marked as
// its first and second half.
[[gnu::always_inline]] inline void placeCharacter(Cell* cells, int column, char32_t scalar, int width,
                                                  const CellStyle& style)
{
    if (width == 1) {
        cells[column] = Cell{scalar, style};
        return;
    }
    CellStyle head = style;
    head.flags |= CellFlags::wideHead;
    CellStyle tail = style;
    tail.flags |= CellFlags::wideTail;
    cells[column] = Cell{scalar, head};
    cells[column + 1] = Cell{0, tail};
}
