// Grid sizing: rows and columns from the measured pitch and advance inside the text inset, the area
// a grid needs, readiness and line spacing.
#include "view/GridSizing.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct SizingCase {
    const char* what;
    double width, height, pitch, advance, inset;
    GridSize expected;
};

TEST(GridSizingTest, RowsAndColumnsFitWholeInsideTheInset)
{
    const SizingCase cases[] = {
        // 14 px DejaVu Sans Mono at 1.15: pitch 16.297 + 2.1, advance 8.4287.
        {"default window", 752, 552, 18.397, 8.4287, 2, {29, 88}},
        {"the inset is taken off both sides", 100, 44, 20, 10, 2, {2, 9}},
        {"one pixel short of another row", 100, 63, 20, 10, 2, {2, 9}},
        {"exactly three rows", 100, 64, 20, 10, 2, {3, 9}},
        {"a fractional pitch that fills the area", 100, 3 * 18.4 + 4, 18.4, 10, 2, {3, 9}},
        // 837 / 18.6 rounds to 45, but 45 x 18.6 is a hair over 837: the last row would not fit.
        {"a quotient rounded up to a whole number", 100, 841, 18.6, 10, 2, {44, 9}},
        {"no inset", 100, 60, 20, 10, 0, {3, 10}},
        {"the pitch is at least 12, the advance at least 6", 604, 124, 7, 3.6, 2, {10, 100}},
        {"area smaller than the insets", 3, 3, 20, 10, 2, {0, 0}},
        {"negative area", -5, -5, 20, 10, 2, {0, 0}},
        {"width not a number", nan, 604, 20, 10, 2, {30, 0}},
        {"metrics not a number", 124, 124, nan, nan, 2, {10, 20}},
        {"negative metrics", 124, 124, -20, -10, 2, {10, 20}},
        {"zero metrics", 124, 124, 0, 0, 2, {10, 20}},
        {"infinite metrics", 124, 124, inf, inf, 2, {10, 20}},
        {"infinite area", inf, inf, 20, 10, 2, {1000000, 1000000}},
    };
    for (const SizingCase& c : cases) {
        EXPECT_EQ(GridSizing::gridSize(c.width, c.height, c.pitch, c.advance, c.inset), c.expected) << c.what;
    }
}

// The window's minimum is built from extentFor: at that size the grid must be whole, and a pixel
// less must lose a row or column (or the minimum is larger than it needs to be).
TEST(GridSizingTest, TheAreaForAGridHoldsItExactly)
{
    const double steps[] = {18.397, 8.4287, 16.297, 18.6, 20, 10, 7.2, 33.33333, 3.0};
    for (double step : steps) {
        for (int count : {1, 24, 80, 137}) {
            const int extent = GridSizing::extentFor(count, step, GridSizing::minimumCellAdvance, 2);
            const GridSize fits = GridSizing::gridSize(extent, 100, 20, step, 2);
            const GridSize short1 = GridSizing::gridSize(extent - 1, 100, 20, step, 2);
            EXPECT_EQ(fits.columns, count) << step << " x " << count;
            EXPECT_EQ(short1.columns, count - 1) << step << " x " << count;
        }
    }
    EXPECT_EQ(atLeastOneCell({0, -3}), (GridSize{1, 1}));
    EXPECT_EQ(atLeastOneCell({7, 46}), (GridSize{7, 46}));
}

TEST(GridSizingTest, ReadyFromFourHundredByOneHundredTwenty)
{
    EXPECT_TRUE(GridSizing::isReadyForSession(true, true, 400, 120));
    EXPECT_FALSE(GridSizing::isReadyForSession(true, true, 399.5, 120));
    EXPECT_FALSE(GridSizing::isReadyForSession(true, true, 400, 119.9));
    EXPECT_FALSE(GridSizing::isReadyForSession(false, true, 800, 600));
    EXPECT_FALSE(GridSizing::isReadyForSession(true, false, 800, 600));
}

TEST(GridSizingTest, ParagraphSpacingIsNeverNegative)
{
    EXPECT_NEAR(GridSizing::paragraphSpacing(14, 1.15), 2.1, 1e-9);
    EXPECT_EQ(GridSizing::paragraphSpacing(14, 0.8), 0.0);
    EXPECT_EQ(GridSizing::paragraphSpacing(14, nan), 0.0);
    EXPECT_NEAR(GridSizing::cursorHeight(14, 1.15), 16.1, 1e-9);
}

} // namespace
