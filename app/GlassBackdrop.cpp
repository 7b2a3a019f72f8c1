// The glass backdrop: material base tone plus one tint layer, opaque without a compositor.
#include "GlassBackdrop.h"

#include "GlassMaterialLook.h"
#include "GlassTint.h"
#include "GlassTintLayer.h"
#include "WindowColors.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// A translucent colour laid over an opaque one.
QColor over(const QColor& top, const QColor& below)
{
    const float a = top.alphaF();
    const auto mix = [a](float up, float down) { return up * a + down * (1.0f - a); };
    return QColor::fromRgbF(mix(top.redF(), below.redF()), mix(top.greenF(), below.greenF()),
                            mix(top.blueF(), below.blueF()));
}

} // namespace

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
    const QColor tintLayerColor =
        QColor::fromRgbF(float(tint.red), float(tint.green), float(tint.blue), float(tint.alpha));
    apparent = over(tintLayerColor, over(lookOf(shownMaterial).baseTone, windowBackgroundColor()));
    auto* layer = new GlassTintLayer(tintLayerColor, this);
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
