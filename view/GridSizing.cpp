// Grid sizing and readiness rule; non-finite metrics (a font that measured as nothing) count as the
// smallest line and cell so that nothing divides by zero or overflows an int.
#include "GridSizing.h"

#include <algorithm>
#include <cmath>

namespace GridSizing {
namespace {

double atLeast(double value, double floor)
{
    return std::isfinite(value) ? std::max(value, floor) : floor;
}

int countOf(double extent, double step)
{
    double count = std::trunc(extent / step);
    if (!(count > 0.0)) {
        return 0; // negative, zero or NaN
    }
    // The view lays the lines out as count x step; a quotient rounded up to a whole number must not
    // leave the last line a hair past the edge.
    if (count * step > extent) {
        count -= 1.0;
    }
    return static_cast<int>(std::min(count, 1.0e6));
}

} // namespace

GridSize gridSize(double width, double height, double linePitch, double cellAdvance, double inset)
{
    const double pitch = atLeast(linePitch, minimumLinePitch);
    const double advance = atLeast(cellAdvance, minimumCellAdvance);
    return GridSize{countOf(height - 2 * inset, pitch), countOf(width - 2 * inset, advance)};
}

int extentFor(int count, double step, double minimumStep, double inset)
{
    // The smallest whole pixel count that gridSize agrees holds count steps, whichever way the
    // product rounds.
    const double pitch = atLeast(step, minimumStep);
    auto extent = static_cast<int>(std::floor(count * pitch + 2 * inset));
    while (countOf(extent - 2 * inset, pitch) < count) {
        ++extent;
    }
    return extent;
}

bool isReadyForSession(bool inWindow, bool inScrollArea, double visibleWidth, double visibleHeight)
{
    return inWindow && inScrollArea && visibleWidth >= minimumReadyWidth &&
           visibleHeight >= minimumReadyHeight;
}

double paragraphSpacing(double fontSize, double lineSpacing)
{
    const double spacing = fontSize * (lineSpacing - 1.0);
    return (std::isfinite(spacing) && spacing > 0.0) ? spacing : 0.0;
}

double cursorHeight(double fontSize, double lineSpacing)
{
    return fontSize * lineSpacing;
}

} // namespace GridSizing
