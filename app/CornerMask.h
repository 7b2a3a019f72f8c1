// One corner of the window's rounded glass: paints, antialiased, the part of its square that lies
// outside the quarter circle in the window colour. Lets every mouse event through.
#pragma once

#include <QWidget>

class CornerMask : public QWidget {
    Q_OBJECT
public:
    CornerMask(Qt::Corner corner, QWidget* parent);

    // Places the mask in the parent's corner for this radius (already limited by the caller).
    void place(const QRect& area, double radius);
    Qt::Corner corner() const { return which; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Corner which;
    double radius = 0;
};
