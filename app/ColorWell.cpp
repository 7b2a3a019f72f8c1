// The swatch button and its live colour dialog.
#include "ColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

ColorWell::ColorWell(const QString& name, QWidget* parent) : QPushButton(parent)
{
    setAccessibleName(name);
    setToolTip(name);
    setFixedSize(52, 24);
    setAutoDefault(false); // Return belongs to "Done"
    connect(this, &QPushButton::clicked, this, &ColorWell::openDialog);
}

void ColorWell::setColor(const QColor& color)
{
    current = color;
    update();
}

QColorDialog* ColorWell::dialog() const
{
    return picker.data();
}

void ColorWell::openDialog()
{
    if (picker) {
        picker->raise();
        picker->activateWindow();
        return;
    }
    const QColor start = current;
    picker = new QColorDialog(start, this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setOption(QColorDialog::ShowAlphaChannel, false);
    picker->setWindowTitle(accessibleName());
    connect(picker, &QColorDialog::currentColorChanged, this, &ColorWell::pick);
    connect(picker, &QColorDialog::colorSelected, this, &ColorWell::pick);
    connect(picker, &QDialog::rejected, this, [this, start] {
        if (current != start) {
            pick(start);
        }
    });
    picker->open();
}

void ColorWell::pick(const QColor& color)
{
    if (color == current) {
        return;
    }
    setColor(color);
    emit colorPicked(color);
}

void ColorWell::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect swatch = rect().adjusted(6, 5, -6, -5);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(QColor(current.red(), current.green(), current.blue()));
    painter.drawRoundedRect(QRectF(swatch).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
}
