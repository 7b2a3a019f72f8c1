// The glass's colour rules: material after the blur override and the tint colour.
#include "GlassTint.h"

#include <algorithm>
#include <cmath>

namespace {

// std::clamp passes NaN through; a NaN setting from the file must still give a drawable colour.
double limited(double value, double low, double high)
{
    if (std::isnan(value)) {
        return low;
    }
    return std::clamp(value, low, high);
}

} // namespace

GlassMaterial effectiveMaterial(const VitrionSettings& settings)
{
    if (settings.blur < 0.34) {
        return GlassMaterial::content;
    }
    if (settings.blur < 0.68) {
        return GlassMaterial::popover;
    }
    return settings.material;
}

TintColor tintColor(const VitrionSettings& settings)
{
    const double r = settings.tintRed;
    const double g = settings.tintGreen;
    const double b = settings.tintBlue;
    const double luminance = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double s = limited(settings.saturation, 0.0, 2.0);
    const auto channel = [&](double c) { return limited(luminance + s * (c - luminance), 0.0, 1.0); };
    return TintColor{channel(r), channel(g), channel(b), limited(settings.opacity, 0.08, 1.0)};
}
