// Contrast ratios and the least change of a text colour that reaches one.
#include "MinimumContrast.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(int component)
{
    const double c = component / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// `from` moved a fraction t of the way to `to`, in the encoded components, alpha kept.
QRgb mix(QRgb from, QRgb to, double t)
{
    const auto channel = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return qRgba(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)),
                 channel(qBlue(from), qBlue(to)), qAlpha(from));
}

// The least t (in steps of 1/32, then halved down to a few thousandths) at which text mixed toward
// `target` reaches the minimum; negative when even the target does not. Stepping first finds the
// crossing also where the ratio first falls (text darker than the background moved toward white).
double leastMix(QRgb text, QRgb target, QRgb background, double minimum)
{
    constexpr int steps = 32;
    for (int k = 1; k <= steps; ++k) {
        double high = double(k) / steps;
        if (MinimumContrast::ratio(mix(text, target, high), background) < minimum) {
            continue;
        }
        double low = double(k - 1) / steps;
        for (int i = 0; i < 8; ++i) {
            const double middle = (low + high) / 2;
            (MinimumContrast::ratio(mix(text, target, middle), background) >= minimum ? high : low) = middle;
        }
        return high;
    }
    return -1.0;
}

} // namespace

double MinimumContrast::relativeLuminance(QRgb color)
{
    return 0.2126 * linear(qRed(color)) + 0.7152 * linear(qGreen(color)) + 0.0722 * linear(qBlue(color));
}

double MinimumContrast::ratio(QRgb first, QRgb second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QRgb MinimumContrast::legible(QRgb text, QRgb background, double minimum)
{
    if (!(minimum > off) || ratio(text, background) >= minimum) {
        return text;
    }
    const QRgb white = qRgba(255, 255, 255, qAlpha(text));
    const QRgb black = qRgba(0, 0, 0, qAlpha(text));
    const bool lighterFirst = relativeLuminance(text) >= relativeLuminance(background);
    const QRgb first = lighterFirst ? white : black;
    const QRgb second = lighterFirst ? black : white;
    for (const QRgb target : {first, second}) {
        const double t = leastMix(text, target, background, minimum);
        if (t >= 0) {
            return mix(text, target, t);
        }
    }
    // Out of reach (a mid grey asking for more than it allows): as legible as it gets.
    return ratio(white, background) >= ratio(black, background) ? white : black;
}

void ContrastMemo::setMinimum(double minimum)
{
    const double usable =
        std::isfinite(minimum) ? std::clamp(minimum, MinimumContrast::off, 21.0) : MinimumContrast::off;
    if (usable != minimum_) {
        minimum_ = usable;
        pairs_.clear();
    }
}

QRgb ContrastMemo::legible(QRgb text, QRgb background)
{
    if (!active()) {
        return text;
    }
    const std::uint64_t key = std::uint64_t(text) << 32 | background;
    if (const auto found = pairs_.find(key); found != pairs_.end()) {
        return found->second;
    }
    if (pairs_.size() >= limit) {
        pairs_.clear();
    }
    const QRgb adjusted = MinimumContrast::legible(text, background, minimum_);
    pairs_.emplace(key, adjusted);
    return adjusted;
}
