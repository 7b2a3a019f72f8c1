// The settings panel's slider row and its mapping between doubles and slider positions.
#include "SliderRow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

SliderRow::SliderRow(const QString& titleText, double low, double high, QWidget* parent)
    : QWidget(parent), lowEnd(low), highEnd(high), title(new QLabel(titleText, this)),
      track(new QSlider(Qt::Horizontal, this)), label(new QLabel(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(9);

    title->setTextFormat(Qt::PlainText);
    title->setFixedWidth(132);
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    track->setRange(0, steps);
    track->setSingleStep(steps / 100);
    track->setPageStep(steps / 10);
    track->setAccessibleName(titleText);
    title->setBuddy(track);

    // Qt 6.4 offers no tabular-figures switch; the fixed-pitch system font keeps digits from
    // jittering while a slider is dragged.
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(font().pointSizeF());
    label->setFont(digits);
    label->setTextFormat(Qt::PlainText);
    label->setFixedWidth(48);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setForegroundRole(QPalette::PlaceholderText);

    row->addWidget(title);
    row->addWidget(track, 1);
    row->addWidget(label);

    connect(track, &QSlider::valueChanged, this,
            [this](int position) { emit valueEdited(valueAt(position)); });
}

void SliderRow::showValue(double value, const QString& text)
{
    const QSignalBlocker blocker(track);
    track->setValue(positionFor(value));
    label->setText(text);
}

int SliderRow::positionFor(double value) const
{
    if (std::isnan(value) || !(highEnd > lowEnd)) {
        return 0;
    }
    const double fraction = (value - lowEnd) / (highEnd - lowEnd);
    return int(std::lround(std::clamp(fraction, 0.0, 1.0) * steps));
}

double SliderRow::valueAt(int position) const
{
    if (position <= 0) {
        return lowEnd;
    }
    if (position >= steps) {
        return highEnd;
    }
    return lowEnd + (highEnd - lowEnd) * (double(position) / steps);
}
