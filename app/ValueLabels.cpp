// Value label formats of the settings panel.
#include "ValueLabels.h"

#include <cmath>
#include <cstdint>

namespace {

const QString unavailable = QStringLiteral("\u2014"); // em dash

// Truncation toward zero, when the result is a representable 64-bit integer.
QString truncated(double value, const QString& unit)
{
    // 2^63 is exactly representable; every double in [-2^63, 2^63) truncates into range.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= limit || value < -limit) {
        return unavailable + unit;
    }
    return QString::number(static_cast<std::int64_t>(std::trunc(value))) + unit;
}

} // namespace

namespace ValueLabels {

QString percent(double value)
{
    return truncated(value * 100.0, QStringLiteral("%"));
}

QString points(double value)
{
    return truncated(value, QStringLiteral(" pt"));
}

QString factor(double value, int decimals)
{
    const QString sign = QStringLiteral("\u00d7");
    if (!std::isfinite(value)) {
        return unavailable + sign;
    }
    return QString::asprintf("%.*f", decimals, value) + sign;
}

} // namespace ValueLabels
