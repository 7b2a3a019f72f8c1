// Rounded rectangle to pixel rectangles, row band by row band.
#include "BlurRegion.h"

#include <algorithm>
#include <cmath>

namespace {

// Pixels cut off at the left (and right) of pixel row k, counted from the nearer horizontal edge.
// A pixel is inside when its corner farthest from the arc's centre is.
int rowInset(int k, double r)
{
    if (k >= r) {
        return 0;
    }
    const double dy = r - k;
    const double dx = std::sqrt(std::max(0.0, r * r - dy * dy));
    return int(std::ceil(r - dx - 1e-9));
}

} // namespace

QList<QRect> roundedRectRegion(const QRect& area, double radius)
{
    QList<QRect> rects;
    if (area.isEmpty()) {
        return rects;
    }
    const int w = area.width();
    const int h = area.height();
    double r = std::isfinite(radius) ? radius : (radius > 0 ? 1e9 : 0.0);
    r = std::clamp(r, 0.0, std::min(w, h) / 2.0);

    int bandStart = 0;
    int bandInset = rowInset(0, r);
    for (int y = 1; y <= h; ++y) {
        const int inset = y < h ? rowInset(std::min(y, h - 1 - y), r) : -1;
        if (inset == bandInset) {
            continue;
        }
        if (w - 2 * bandInset > 0) {
            rects.append(QRect(area.x() + bandInset, area.y() + bandStart, w - 2 * bandInset, y - bandStart));
        }
        bandStart = y;
        bandInset = inset;
    }
    return rects;
}
