// The arrow outline is defined in y-up coordinates with its tip at (4, 36); QCursor measures from
// the top-left, so the path is flipped (y' = 40 - y) and the hot spot is the tip at (4, 4).
#include "PointerCursor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

namespace {

QPointF flipped(double x, double y)
{
    return {x, PointerCursor::imageHeight - y};
}

QCursor makeCursor()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    QPixmap image(qRound(PointerCursor::imageWidth * ratio), qRound(PointerCursor::imageHeight * ratio));
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);

    QPainterPath outline;
    outline.moveTo(flipped(3, 37));
    outline.lineTo(flipped(30, 23));
    outline.cubicTo(flipped(34, 20), flipped(33, 17), flipped(31, 17));
    outline.lineTo(flipped(12, 2));
    outline.cubicTo(flipped(10, 1), flipped(7, 1), flipped(7, 4));
    outline.closeSubpath();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 2.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.end();
    return QCursor(image, 4, 4);
}

} // namespace

const QCursor& PointerCursor::shared()
{
    static const QCursor cursor = makeCursor();
    return cursor;
}
