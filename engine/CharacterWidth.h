// How many grid cells a Unicode scalar takes: 0 for one that joins the previous cell (combining
// marks, zero-width format characters, variation selectors, Hangul medial and final jamo), 2 for
// East Asian wide and fullwidth characters and wide emoji, 1 for everything else. The widths are the
// C library's, so that programs which measure text with wcwidth() line up with what we draw.
#pragma once

// The generated lookup in CharacterWidthTable.cpp: O(1), two table reads.
int characterWidthFromTable(char32_t scalar);

// Controls, unassigned scalars and values past U+10FFFF give 1: the interpreter handles controls
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
