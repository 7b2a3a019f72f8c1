// The glass's colour rules: which material a setting record shows after the blur override, and the
// tint colour painted over it (Rec. 709 luminance, saturation, opacity).
#pragma once

#include "settings/VitrionSettings.h"

struct TintColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

// The chosen material, unless a low blur forces a lighter one: below 0.34 Content, below 0.68
// Popover (both thresholds strict). NaN compares false everywhere and keeps the chosen material.
GlassMaterial effectiveMaterial(const VitrionSettings& settings);

// The tint laid over the material: each channel moved away from (or towards) its Rec. 709 luminance
// by the saturation factor (limited to 0...2), then limited to 0...1; alpha is the opacity limited
// to 0.08...1, so the tint never vanishes completely.
TintColor tintColor(const VitrionSettings& settings);
