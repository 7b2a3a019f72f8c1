// The tint layer of the glass: one plain child of the backdrop, named "vitrionTint", that fills
// itself with the computed tint colour.
#pragma once

#include <QColor>
#include <QWidget>

class GlassTintLayer : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* identifier = "vitrionTint";

    GlassTintLayer(const QColor& color, QWidget* parent);
    QColor color() const { return tint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor tint;
};
