// Grid sizing: the estimate from the font size, the 24 x 80 floor, readiness and line spacing.
#include "view/GridSizing.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(GridSizingTest, EstimatesFromTheFontSize)
{
    EXPECT_EQ(GridSizing::gridSize(800, 600, 14, 1.15), (GridSize{37, 93}));
    EXPECT_EQ(GridSizing::gridSize(400, 120, 14, 1.15), (GridSize{7, 46}));
    EXPECT_EQ(GridSizing::atLeastMinimum(GridSizing::gridSize(400, 120, 14, 1.15)), (GridSize{24, 80}));
    // A 6-point font: cell width max(3.66, 6) = 6, line height max(6.9, 12) = 12.
    EXPECT_EQ(GridSizing::gridSize(600, 120, 6, 1.15), (GridSize{10, 100}));
    // Below 1.0 the grid's line height still uses the multiplier.
    EXPECT_EQ(GridSizing::gridSize(100, 112, 20, 0.8), (GridSize{7, 8}));
}

TEST(GridSizingTest, NonsenseSizesGiveSmallGrids)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(GridSizing::gridSize(-5, -5, 14, 1.15), (GridSize{0, 0}));
    EXPECT_EQ(GridSizing::gridSize(nan, 600, 14, 1.15), (GridSize{37, 0}));
    EXPECT_EQ(GridSizing::gridSize(120, 120, nan, nan), (GridSize{10, 20}));
    EXPECT_EQ(GridSizing::gridSize(120, 120, -14, 1.15), (GridSize{10, 20}));
    EXPECT_EQ(GridSizing::gridSize(inf, inf, 14, 1.15), (GridSize{1000000, 1000000}));
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
    EXPECT_EQ(GridSizing::paragraphSpacing(14, std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_NEAR(GridSizing::cursorHeight(14, 1.15), 16.1, 1e-9);
}

} // namespace
