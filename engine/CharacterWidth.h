// How many grid cells a Unicode scalar takes: 0 for one that joins the previous cell (combining
// marks, zero-width format characters, variation selectors, Hangul medial and final jamo), 2 for
// East Asian wide and fullwidth characters and wide emoji, 1 for everything else. The widths are the
// C library's, so that programs which measure text with wcwidth() line up with what we draw.
#pragma once

#include <cstdint>

// The generated tables in CharacterWidthTable.cpp: for each run of 256 scalars the number of its
// block, and the distinct blocks of 256 two-bit widths, 16 to a word. Runs past runCount are all
// one cell wide.
namespace CharacterWidthTable {
extern const std::uint32_t runCount;
extern const std::uint8_t blockNumbers[];
extern const std::uint32_t blockWidths[];
} // namespace CharacterWidthTable

// Two table reads, inline: the text path calls it per character, and a call would make it save
// its registers around every one.
inline int characterWidthFromTable(char32_t scalar)
{
    using namespace CharacterWidthTable;
    const char32_t run = scalar >> 8;
    if (run >= runCount) {
        return 1;
    }
    const unsigned offset = scalar & 255;
    const std::uint32_t word = blockWidths[blockNumbers[run] * 16u + offset / 16];
    return static_cast<int>((word >> (offset % 16 * 2)) & 3);
}

// Controls, unassigned scalars and values past U+10FFFF give 1: the parser handles controls
// before text, and a cell for something unknown keeps the cursor honest.
inline int characterWidth(char32_t scalar)
{
    // Everything below the combining diacritics (U+0300) is one cell; this keeps Latin-1 and
    // Latin Extended text off the tables altogether.
    if (scalar < 0x300) {
        return 1;
    }
    return characterWidthFromTable(scalar);
}
