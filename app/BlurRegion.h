// The glass area as X11 sees it: a rounded rectangle turned into whole-pixel rectangles that lie
// entirely inside the rounded shape (what the blur-behind property carries).
#pragma once

#include <QList>
#include <QRect>

// Rectangles, top to bottom, covering every pixel of `area` that lies wholly inside the rounded
// rectangle of `radius` (limited to half the shorter side; NaN or negative counts as 0).
QList<QRect> roundedRectRegion(const QRect& area, double radius);
