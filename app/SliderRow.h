// One labelled slider of the settings panel: a 132-wide title, a continuous slider over a double
// range and a 48-wide value label. Emits only for the user's own moves.
#pragma once

#include <QWidget>

class QLabel;
class QSlider;

class SliderRow : public QWidget {
    Q_OBJECT
public:
    // Positions on the underlying integer slider: fine enough that every value the panel's labels
    // can show is reachable (0.01 steps of a 0.9-wide range are 111 positions apart).
    static constexpr int steps = 10000;

    SliderRow(const QString& title, double low, double high, QWidget* parent = nullptr);

    // Shows a value from the model without writing anything back. A value outside the range puts
    // the knob at the nearer end; the label still shows the value itself.
    void showValue(double value, const QString& label);

    double low() const { return lowEnd; }
    double high() const { return highEnd; }
    int positionFor(double value) const;
    double valueAt(int position) const; // exact at both ends

    QSlider* slider() const { return track; }
    QLabel* titleLabel() const { return title; }
    QLabel* valueLabel() const { return label; }

signals:
    void valueEdited(double value);

private:
    double lowEnd;
    double highEnd;
    QLabel* title;
    QSlider* track;
    QLabel* label;
};
