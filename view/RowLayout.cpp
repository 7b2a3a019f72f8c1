// Row layout with a fast path: a row that fits is uniform and needs no positions.
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

RowLayout layoutRow(std::span<const Cell> cells, double availableWidth, GlyphWidthSource& widths)
{
    const double advance = widths.advance();
    const auto count = cells.size();
    RowLayout layout;
    // Small slack so that a grid that fits exactly does not wrap on rounding.
    const double limit = availableWidth + 0.01;
    if (static_cast<double>(count) * advance <= limit) {
        return layout;
    }

    layout.uniform = false;
    layout.x.resize(count);
    double x = 0.0;
    std::size_t lineStart = 0;
    std::size_t breakCandidate = 0; // first cell after a run of spaces on the current line
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t c = cells[i].character;
        if (c == U' ') {
            layout.x[i] = static_cast<float>(x);
            x += advance;
            continue;
        }
        if (i > 0 && cells[i - 1].character == U' ') {
            breakCandidate = i;
        }
        const bool wideHead = (cells[i].style.flags & CellFlags::wideHead) != 0 && i + 1 < count;
        const double width = wideHead ? 2 * advance : advance;
        const bool wideTail = i > 0 && (cells[i - 1].style.flags & CellFlags::wideHead) != 0;
        if (x + width > limit && i > lineStart && !wideTail) {
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
        x += advance;
    }
    layout.onGrid = layout.breaks.empty();
    return layout;
}
