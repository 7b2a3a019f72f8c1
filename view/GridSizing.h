// The arithmetic that fits a terminal grid to a visible area: rows and columns from the view's
// measured line pitch and cell advance, the area a grid needs (the window's minimum holds 24 x 80),
// the readiness rule for starting the shell, and the line spacing.
#pragma once

#include "engine/GridSize.h"

namespace GridSizing {
using ::minimumGridSize;
inline constexpr double minimumReadyWidth = 400.0;
inline constexpr double minimumReadyHeight = 120.0;

inline constexpr double minimumLinePitch = 12.0;
inline constexpr double minimumCellAdvance = 6.0;

// Rows and columns that fit whole inside an area drawn with an inset on every side: floor((height -
// 2 x inset) / linePitch) by floor((width - 2 x inset) / cellAdvance), with the pitch at least 12 and
// the advance at least 6 (non-finite ones count as those), never negative.
GridSize gridSize(double width, double height, double linePitch, double cellAdvance, double inset);
// The whole pixels an area needs so that gridSize gives at least `count` lines or cells of `step`
// inside the inset on both sides (the step taken as gridSize takes it).
int extentFor(int count, double step, double minimumStep, double inset);
// The shell starts once the view is in a window inside a scroll area showing at least 400 x 120.
bool isReadyForSession(bool inWindow, bool inScrollArea, double visibleWidth, double visibleHeight);
// Extra space below each line: fontSize x (lineSpacing - 1), 0 where that is negative or not a number.
double paragraphSpacing(double fontSize, double lineSpacing);
// Height of the cursor: fontSize x lineSpacing.
double cursorHeight(double fontSize, double lineSpacing);
} // namespace GridSizing
