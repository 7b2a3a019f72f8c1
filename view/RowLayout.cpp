// Row layout with a fast path: a row of ASCII cells that fits is uniform and needs no positions.
#include "RowLayout.h"

#include <algorithm>

int RowLayout::lineOf(int cell) const
{
    return static_cast<int>(std::upper_bound(breaks.begin(), breaks.end(), cell) - breaks.begin());
}

double RowLayout::xOf(int cell, double advance) const
{
    if (uniform || cell < 0 || cell >= static_cast<int>(x.size())) {
        return cell * advance;
    }
    return x[static_cast<std::size_t>(cell)];
}

bool RowLayout::isIrregular(int cell) const
{
    return !uniform && cell >= 0 && cell < static_cast<int>(irregular.size()) &&
           irregular[static_cast<std::size_t>(cell)];
}

RowLayout layoutRow(std::span<const Cell> cells, double availableWidth, GlyphWidthSource& widths)
{
    const double advance = widths.advance();
    const auto count = cells.size();
    RowLayout layout;

    bool allRegular = true;
    for (const Cell& cell : cells) {
        if (cell.character >= 0x7f) {
            allRegular = false;
            break;
        }
    }
    // Small slack so that a grid that fits exactly does not wrap on rounding.
    const double limit = availableWidth + 0.01;
    if (allRegular && static_cast<double>(count) * advance <= limit) {
        return layout;
    }

    layout.uniform = false;
    layout.x.resize(count);
    layout.irregular.assign(count, false);
    double x = 0.0;
    std::size_t lineStart = 0;
    std::size_t breakCandidate = 0; // first cell after a run of spaces on the current line
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t c = cells[i].character;
        double width = advance;
        // The two cells of a wide character stay on the grid, its glyph drawn from the first.
        if ((cells[i].style.flags & CellFlags::wide) == 0 && c >= 0x7f && c < firstClusterCharacter) {
            width = widths.widthOf(c);
            layout.irregular[i] = width != advance;
        }
        if (c == U' ') {
            layout.x[i] = static_cast<float>(x);
            x += width;
            continue;
        }
        if (i > 0 && cells[i - 1].character == U' ') {
            breakCandidate = i;
        }
        if (x + width > limit && i > lineStart) {
            const std::size_t newStart = breakCandidate > lineStart ? breakCandidate : i;
            // The new line starts at newStart: everything from there moves to the line's origin.
            const double origin = newStart < i ? layout.x[newStart] : x;
            for (std::size_t j = newStart; j < i; ++j) {
                layout.x[j] -= static_cast<float>(origin);
            }
            x -= origin;
            layout.breaks.push_back(static_cast<int>(newStart));
            lineStart = newStart;
        }
        layout.x[i] = static_cast<float>(x);
        x += width;
    }
    layout.onGrid = layout.breaks.empty() && std::find(layout.irregular.begin(), layout.irregular.end(),
                                                       true) == layout.irregular.end();
    return layout;
}
