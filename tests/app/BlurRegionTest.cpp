// The blur-behind region: pixel rectangles that stay inside the rounded glass and fill it.
#include "app/BlurRegion.h"

#include <QRegion>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Whether pixel (x, y) of `area` lies wholly inside the rounded rectangle of radius r.
bool insideRounded(const QRect& area, double r, int x, int y)
{
    const double left = area.x(), top = area.y(), right = area.x() + area.width(),
                 bottom = area.y() + area.height();
    for (double px : {double(x), x + 1.0}) {
        for (double py : {double(y), y + 1.0}) {
            const double cx = std::clamp(px, left + r, right - r);
            const double cy = std::clamp(py, top + r, bottom - r);
            if ((px - cx) * (px - cx) + (py - cy) * (py - cy) > r * r + 1e-9) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

TEST(BlurRegion, CoversExactlyThePixelsInsideTheRoundedRectangle)
{
    for (const auto& [area, radius] :
         {std::pair{QRect(0, 20, 600, 380), 20.0}, std::pair{QRect(3, 5, 61, 40), 7.5},
          std::pair{QRect(0, 0, 30, 31), 100.0}, std::pair{QRect(10, 10, 50, 50), 0.0}}) {
        const QList<QRect> rects = roundedRectRegion(area, radius);
        QRegion region;
        for (const QRect& r : rects) {
            EXPECT_FALSE(region.intersects(r)); // no overlaps
            region += r;
        }
        const double r = std::min(radius, std::min(area.width(), area.height()) / 2.0);
        int mismatches = 0;
        for (int y = area.top() - 1; y <= area.bottom() + 1; ++y) {
            for (int x = area.left() - 1; x <= area.right() + 1; ++x) {
                const bool expected = area.contains(x, y) && insideRounded(area, r, x, y);
                mismatches += region.contains(QPoint(x, y)) != expected;
            }
        }
        EXPECT_EQ(mismatches, 0) << radius;
        EXPECT_LE(rects.size(), 2 * int(std::ceil(r)) + 1); // one band per corner row, one middle
    }
}

TEST(BlurRegion, DegenerateInput)
{
    EXPECT_TRUE(roundedRectRegion(QRect(), 10).isEmpty());
    EXPECT_EQ(roundedRectRegion(QRect(0, 0, 10, 10), std::numeric_limits<double>::quiet_NaN()),
              QList<QRect>{QRect(0, 0, 10, 10)});
    EXPECT_EQ(roundedRectRegion(QRect(0, 0, 10, 10), -4), QList<QRect>{QRect(0, 0, 10, 10)});
    EXPECT_FALSE(roundedRectRegion(QRect(0, 0, 10, 10), std::numeric_limits<double>::infinity()).isEmpty());
}
