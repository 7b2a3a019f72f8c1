// Grid-size estimate and readiness rule; non-finite inputs (a corrupt settings value) count as the
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
    const double count = std::trunc(extent / step);
    if (!(count > 0.0)) {
        return 0; // negative, zero or NaN
    }
    return static_cast<int>(std::min(count, 1.0e6));
}

} // namespace

GridSize gridSize(double width, double height, double fontSize, double lineSpacing)
{
    const double lineHeight = atLeast(fontSize * lineSpacing, 12.0);
    const double cellWidth = atLeast(fontSize * 0.61, 6.0);
    return GridSize{countOf(height, lineHeight), countOf(width, cellWidth)};
}

GridSize atLeastMinimum(GridSize size)
{
    return GridSize{std::max(size.rows, minimumGridSize.rows),
                    std::max(size.columns, minimumGridSize.columns)};
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
