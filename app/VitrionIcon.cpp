// The icon design on a 128-unit canvas, scaled to each size.
#include "VitrionIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace VitrionIcon {

QImage render(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    p.setPen(Qt::NoPen);

    QLinearGradient light(8, 8, 120, 120);
    light.setColorAt(0, QColor(0x5f, 0xb3, 0xd9));
    light.setColorAt(0.55, QColor(0x3b, 0x5f, 0x9e));
    light.setColorAt(1, QColor(0x6b, 0x3f, 0x8f));
    p.setBrush(light);
    p.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    p.setBrush(QColor(0x9f, 0xe3, 0xff, 140));
    p.drawEllipse(QPointF(92, 36), 22, 22);
    p.setBrush(QColor(0xd6, 0x9c, 0xff, 115));
    p.drawEllipse(QPointF(34, 96), 18, 18);

    QLinearGradient pane(0, 20, 0, 108);
    pane.setColorAt(0, QColor(0x1c, 0x26, 0x36, 199));
    pane.setColorAt(1, QColor(0x1c, 0x26, 0x36, 235));
    p.setBrush(pane);
    p.drawRoundedRect(QRectF(16, 20, 96, 88), 18, 18);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.5));
    p.drawRoundedRect(QRectF(16.75, 20.75, 94.5, 86.5), 17.25, 17.25);

    QPainterPath sheen;
    sheen.moveTo(17, 38);
    sheen.quadTo(17, 21, 34, 21);
    sheen.lineTo(96, 21);
    sheen.quadTo(64, 44, 17, 70);
    sheen.closeSubpath();
    QLinearGradient shine(17, 21, 96, 70);
    shine.setColorAt(0, QColor(255, 255, 255, 97));
    shine.setColorAt(0.45, QColor(255, 255, 255, 15));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.fillPath(sheen, shine);

    const QColor ink(0xeb, 0xed, 0xf5);
    p.setPen(QPen(ink, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(34, 52), QPointF(50, 64), QPointF(34, 76)}));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(58, 72, 30, 7), 3.5, 3.5);
    return image;
}

QIcon icon()
{
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        result.addPixmap(QPixmap::fromImage(render(size)));
    }
    return result;
}

} // namespace VitrionIcon
