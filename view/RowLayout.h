// The laid-out form of one grid row: where each cell's glyph sits and where the row wraps when the
// view is narrower than the row, computed once per row content and width.
#pragma once

#include "engine/Cell.h"

#include <span>
#include <vector>

// Widths of glyphs the terminal font does not draw at its fixed advance (fallback glyphs, marks).
class GlyphWidthSource {
public:
    virtual ~GlyphWidthSource() = default;
    // The advance of every glyph the terminal font itself draws.
    virtual double advance() const = 0;
    // The width of a non-ASCII scalar: advance() when the terminal font draws it at the grid advance,
    // else the glyph's own width (a fallback font's glyph, a wide CJK glyph, a zero-width mark).
    virtual double widthOf(char32_t scalar) = 0;
};

struct RowLayout {
    // Cell x positions relative to the start of their line; empty when the row is uniform.
    std::vector<float> x;
    // The first cell of every line after the first (empty: the row is one line).
    std::vector<int> breaks;
    // Cells whose glyph does not sit at the grid advance (their x comes from `x`).
    std::vector<bool> irregular;
    bool uniform = true; // ASCII that fits on one line: no positions kept, x is column x advance
    // Every cell at column x advance on one line, uniform or not (spaces may hang past the edge).
    bool onGrid = true;

    int lineCount() const { return static_cast<int>(breaks.size()) + 1; }
    int lineOf(int cell) const;
    int lineStart(int line) const { return line == 0 ? 0 : breaks[static_cast<std::size_t>(line - 1)]; }
    // One past the last cell of a line of a row of cellCount cells.
    int lineEnd(int line, int cellCount) const
    {
        return line + 1 < lineCount() ? lineStart(line + 1) : cellCount;
    }
    double xOf(int cell, double advance) const;
    bool isIrregular(int cell) const;
};

// Lays a row out as a text line would: a cell advances by the terminal font's advance, a fallback
// glyph by its own width; where the row is wider than availableWidth it wraps after the last space
// that fits (spaces may hang past the edge), or before the first cell that does not fit.
RowLayout layoutRow(std::span<const Cell> cells, double availableWidth, GlyphWidthSource& widths);
