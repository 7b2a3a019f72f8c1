// Value label formats of the settings panel.
#include "ValueLabels.h"

#include <algorithm>
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

// Mebibytes, as the cap is counted: a tenth's precision where that is still a small part of the
// whole, and never a bare zero for a history that holds something.
QString megabytes(std::size_t bytes)
{
    const double value = double(bytes) / double(1 << 20);
    if (bytes == 0) {
        return QStringLiteral("0 MB");
    }
    if (value < 9.95) {
        return QString::asprintf("%.1f MB", std::max(value, 0.1));
    }
    return ValueLabels::countLocale().toString(qlonglong(std::llround(value))) + QStringLiteral(" MB");
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

QLocale countLocale()
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::DefaultNumberOptions); // the C locale alone omits the groups
    return locale;
}

QString historyCost(const HistoryLimit& limit)
{
    if (limit.lines == HistoryLimit::unlimitedLines) {
        return QStringLiteral("up to ") + megabytes(limit.bytes);
    }
    // At most the cap, compared before multiplying so that a huge count cannot wrap.
    const std::size_t perLine = HistoryLimit::typicalBytesPerLine;
    const std::size_t bytes = limit.lines > limit.bytes / perLine ? limit.bytes : limit.lines * perLine;
    return QStringLiteral("about ") + megabytes(bytes);
}

} // namespace ValueLabels
