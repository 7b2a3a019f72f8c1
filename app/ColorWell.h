// A colour well without opacity: a swatch button that opens a colour dialog (no alpha channel) and
// reports every colour the user moves through, live. Cancel goes back to the colour it started from.
#pragma once

#include <QColor>
#include <QPointer>
#include <QPushButton>

class QColorDialog;

class ColorWell : public QPushButton {
    Q_OBJECT
public:
    explicit ColorWell(const QString& name, QWidget* parent = nullptr);

    // Shows a colour without reporting it.
    void setColor(const QColor& color);
    QColor color() const { return current; }

    // The open dialog, if any.
    QColorDialog* dialog() const;
    void openDialog();

signals:
    void colorPicked(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pick(const QColor& color);

    QColor current = Qt::white;
    QPointer<QColorDialog> picker;
};
