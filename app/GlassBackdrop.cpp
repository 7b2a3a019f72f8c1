// The glass backdrop: material base tone plus one tint layer, opaque without a compositor.
#include "GlassBackdrop.h"

#include "GlassMaterialLook.h"
#include "GlassTint.h"
#include "GlassTintLayer.h"
#include "WindowColors.h"

#include <QPaintEvent>
#include <QPainter>

GlassBackdrop::GlassBackdrop(const VitrionSettings& settings, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    applySettings(settings);
}

void GlassBackdrop::applySettings(const VitrionSettings& settings)
{
    shownMaterial = effectiveMaterial(settings);

    // Only our own layers go; children that others put here stay.
    const auto old =
        findChildren<QWidget*>(QLatin1String(GlassTintLayer::identifier), Qt::FindDirectChildrenOnly);
    for (QWidget* layer : old) {
        delete layer;
    }

    const TintColor tint = tintColor(settings);
    auto* layer = new GlassTintLayer(
        QColor::fromRgbF(float(tint.red), float(tint.green), float(tint.blue), float(tint.alpha)), this);
    layer->setGeometry(rect());
    layer->raise();
    layer->show();
    update();
}

void GlassBackdrop::setCompositingActive(bool active)
{
    if (compositing == active) {
        return;
    }
    compositing = active;
    update();
}

bool GlassBackdrop::blursBehind() const
{
    return lookOf(shownMaterial).blursBehind;
}

GlassTintLayer* GlassBackdrop::tintLayer() const
{
    return findChild<GlassTintLayer*>(QLatin1String(GlassTintLayer::identifier), Qt::FindDirectChildrenOnly);
}

void GlassBackdrop::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (!compositing) {
        painter.fillRect(event->rect(), windowBackgroundColor());
    }
    painter.fillRect(event->rect(), lookOf(shownMaterial).baseTone);
}

void GlassBackdrop::resizeEvent(QResizeEvent*)
{
    const auto layers =
        findChildren<QWidget*>(QLatin1String(GlassTintLayer::identifier), Qt::FindDirectChildrenOnly);
    for (QWidget* layer : layers) {
        layer->setGeometry(rect());
    }
}
