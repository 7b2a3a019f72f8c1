// The laid-out form of one grid row: where each cell's glyph sits and where the row wraps when the
// view is narrower than the row, computed once per row content and width.
#pragma once

#include "engine/Cell.h"

#include <span>
#include <vector>

// The cell advance, and the widths of glyphs that are not drawn at it (fallback glyphs, marks).
class GlyphWidthSource {
public:
    virtual ~GlyphWidthSource() = default;
    // The width of a cell: every glyph is drawn in its cell, whatever its own width.
    virtual double advance() const = 0;
    // The width of a non-ASCII scalar's glyph: advance() when the terminal font draws it at the grid
    // advance, else the glyph's own width (a fallback font's glyph, a wide CJK glyph, a mark), by
    // which it is centred in its cells.
    virtual double widthOf(char32_t scalar) = 0;
};

struct RowLayout {
    // Cell x positions relative to the start of their line; empty when the row is uniform.
    std::vector<float> x;
    // The first cell of every line after the first (empty: the row is one line).
    std::vector<int> breaks;
    bool uniform = true; // fits on one line: no positions kept, x is column x advance
    // Every cell at column x advance on one line (spaces may hang past the edge).
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
};

// Lays a row out on the grid: every cell, whatever font draws its glyph and however wide that is,
// advances by the cell advance, so text never spreads and a row never folds while it fits. Where
// the row is wider than availableWidth (a view narrower than the grid) it wraps after the last
// space that fits (spaces may hang past the edge), or before the first cell that does not fit; the
// two cells of a wide character stay on one line.
RowLayout layoutRow(std::span<const Cell> cells, double availableWidth, GlyphWidthSource& widths);
