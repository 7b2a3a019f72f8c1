// The tint layer of the glass: a translucent fill over the material's base tone.
#include "GlassTintLayer.h"

#include <QPaintEvent>
#include <QPainter>

GlassTintLayer::GlassTintLayer(const QColor& color, QWidget* parent) : QWidget(parent), tint(color)
{
    setObjectName(QLatin1String(identifier));
    // Pointer and keys belong to the terminal above; the layer is paint only.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void GlassTintLayer::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), tint);
}
