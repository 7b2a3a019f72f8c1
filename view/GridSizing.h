// The arithmetic that fits a terminal grid to a visible area: the size estimate from the font size,
// the 24 x 80 floor, the readiness rule for starting the shell, and the line spacing.
#pragma once

struct GridSize {
    int rows = 0;
    int columns = 0;

    friend bool operator==(const GridSize&, const GridSize&) = default;
};

namespace GridSizing {
inline constexpr GridSize minimumGridSize{24, 80};
inline constexpr double minimumReadyWidth = 400.0;
inline constexpr double minimumReadyHeight = 120.0;

// Rows and columns for an area, from the font size alone: line height max(fontSize x lineSpacing, 12),
// cell width max(fontSize x 0.61, 6), each count truncated toward zero (never negative).
GridSize gridSize(double width, double height, double fontSize, double lineSpacing);
// The grid is never smaller than 24 rows by 80 columns.
GridSize atLeastMinimum(GridSize size);
// The shell starts once the view is in a window inside a scroll area showing at least 400 x 120.
bool isReadyForSession(bool inWindow, bool inScrollArea, double visibleWidth, double visibleHeight);
// Extra space below each line: fontSize x (lineSpacing - 1), 0 where that is negative or not a number.
double paragraphSpacing(double fontSize, double lineSpacing);
// Height of the cursor: fontSize x lineSpacing.
double cursorHeight(double fontSize, double lineSpacing);
} // namespace GridSizing
