// A corner of the rounded-rectangle clip, painted above the terminal: Qt cannot antialias a child
// widget's clip, and a widget mask is one bit deep.
#include "CornerMask.h"

#include "WindowColors.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

CornerMask::CornerMask(Qt::Corner corner, QWidget* parent) : QWidget(parent), which(corner)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void CornerMask::place(const QRect& area, double newRadius)
{
    radius = newRadius;
    const int side = int(std::ceil(radius));
    if (side <= 0 || area.isEmpty()) {
        hide();
        return;
    }
    const int left =
        (which == Qt::TopLeftCorner || which == Qt::BottomLeftCorner) ? area.left() : area.right() + 1 - side;
    const int top =
        (which == Qt::TopLeftCorner || which == Qt::TopRightCorner) ? area.top() : area.bottom() + 1 - side;
    setGeometry(left, top, side, side);
    raise();
    show();
    update();
}

void CornerMask::paintEvent(QPaintEvent*)
{
    // Drawn for the top-left corner, then mirrored into place. The arc's centre sits `radius` in
    // from both outer edges, which are the square's top and left.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = width();
    const bool right = which == Qt::TopRightCorner || which == Qt::BottomRightCorner;
    const bool bottom = which == Qt::BottomLeftCorner || which == Qt::BottomRightCorner;
    painter.translate(right ? side : 0, bottom ? side : 0);
    painter.scale(right ? -1 : 1, bottom ? -1 : 1);

    QPainterPath outside;
    outside.addRect(QRectF(0, 0, side, side));
    QPainterPath arc;
    arc.addEllipse(QPointF(radius, radius), radius, radius);
    painter.fillPath(outside.subtracted(arc), windowBackgroundColor());
}
