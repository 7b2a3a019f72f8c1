// A change is repainted together with the lines next to it, and a cell either side: the ink of a
// glyph may reach into its neighbours' boxes (descenders, tall fallback glyphs, wide bearings), and
// what it left there when it was drawn before must go too.
#include "FrameDamage.h"

#include <algorithm>
#include <cmath>

namespace {
// The cells [first, last] in which two versions of a line differ (a cell one of them lacks counts as
// different), or an empty range.
std::pair<std::size_t, std::size_t> differingCells(std::span<const Cell> a, std::span<const Cell> b)
{
    const std::size_t common = std::min(a.size(), b.size());
    const std::size_t longest = std::max(a.size(), b.size());
    std::size_t first = 0;
    while (first < common && a[first] == b[first]) {
        ++first;
    }
    if (first == longest) {
        return {1, 0};
    }
    std::size_t last = longest - 1;
    while (last > first && last < common && a[last] == b[last]) {
        --last;
    }
    return {first, last};
}
} // namespace

QRegion FrameDamage::changesTo(ShownFrame next, const Geometry& geometry)
{
    const bool comparable = recorded_ && next.visible == last_.visible && next.firstLine == last_.firstLine &&
                            next.lines.size() == lines_.size() && next.reverseVideo == last_.reverseVideo &&
                            next.selectionShown == last_.selectionShown &&
                            (!next.selectionShown || (next.selectionStart == last_.selectionStart &&
                                                      next.selectionEnd == last_.selectionEnd));
    QRegion changed;
    if (!comparable) {
        changed = next.visible;
        lines_.resize(next.lines.size());
        for (std::size_t i = 0; i < next.lines.size(); ++i) {
            const ShownFrame::Line& now = next.lines[i];
            lines_[i].rowStamp = now.rowStamp;
            lines_[i].lineInRow = now.lineInRow;
            lines_[i].onGrid = now.onGrid;
            lines_[i].cellsKept = next.firstLine + static_cast<int>(i) == next.cursorLine;
            if (lines_[i].cellsKept) {
                lines_[i].cells.assign(now.cells.begin(), now.cells.end());
            }
        }
    } else {
        for (std::size_t i = 0; i < next.lines.size(); ++i) {
            const ShownFrame::Line& now = next.lines[i];
            ShownLine& before = lines_[i];
            if (now.rowStamp == before.rowStamp && now.lineInRow == before.lineInRow) {
                continue;
            }
            int left = next.visible.left();
            int right = next.visible.right() + 1;
            const bool cellsComparable = now.onGrid && before.onGrid && before.cellsKept;
            const auto [first, last] = cellsComparable ? differingCells(now.cells, before.cells)
                                                       : std::pair<std::size_t, std::size_t>{0, 0};
            before.rowStamp = now.rowStamp;
            before.lineInRow = now.lineInRow;
            before.onGrid = now.onGrid;
            before.cellsKept = true;
            before.cells.assign(now.cells.begin(), now.cells.end());
            if (cellsComparable) {
                if (first > last) {
                    continue; // a new stamp, the same cells
                }
                const double margin = geometry.advance + 2;
                left = static_cast<int>(std::floor(geometry.inset + first * geometry.advance - margin));
                right = static_cast<int>(std::ceil(geometry.inset + (last + 1) * geometry.advance + margin));
            }
            const double top =
                geometry.inset + (next.firstLine + static_cast<double>(i) - 1) * geometry.pitch;
            const int y = static_cast<int>(std::floor(top)) - 1;
            const int height = static_cast<int>(std::ceil(top + 3 * geometry.pitch)) + 1 - y;
            changed += QRect(left, y, right - left, height);
        }
        if (next.cursor != last_.cursor) {
            changed += last_.cursor;
            changed += next.cursor;
        }
        changed &= next.visible;
    }
    next.lines.clear();
    last_ = std::move(next);
    recorded_ = true;
    return changed;
}
