// The 256-colour palette: the named colours, the 6 x 6 x 6 colour cube and the grey ramp.
#include "Palette.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

constexpr std::array<Color, 8> normalPalette{
    NamedColors::blackColor,        NamedColors::systemRedColor,  NamedColors::systemGreenColor,
    NamedColors::systemYellowColor, NamedColors::systemBlueColor, NamedColors::systemPurpleColor,
    NamedColors::systemCyanColor,   NamedColors::whiteColor,
};

constexpr Color paletteEntry(std::int64_t index, bool bright)
{
    // Negative indices read as 0; above 7 (never passed by the SGR rules) the hue repeats.
    const std::size_t entry = index < 0 ? 0 : static_cast<std::size_t>(index % 8);
    if (bright && entry == 0) {
        return NamedColors::darkGrayColor; // bright black is the only bright entry of its own
    }
    return normalPalette[entry];
}

// The 6 x 6 x 6 colour cube's levels: 0, 95, 135, 175, 215 and 255 out of 255.
constexpr std::array<double, 6> cubeLevels{0.0,           95.0 / 255.0,  135.0 / 255.0,
                                           175.0 / 255.0, 215.0 / 255.0, 1.0};

constexpr Color computeIndexedColor(std::int64_t c)
{
    if (c <= 15) {
        // C++'s % keeps the sign of c, so every negative c gives index 0 (black).
        return paletteEntry(c % 8, c > 7);
    }
    if (c <= 231) {
        const std::int64_t k = c - 16;
        return colorFromComponents(cubeLevels[static_cast<std::size_t>(k / 36)],
                                   cubeLevels[static_cast<std::size_t>((k / 6) % 6)],
                                   cubeLevels[static_cast<std::size_t>(k % 6)]);
    }
    // The grey ramp, continued unclamped past 255. Computed in double, so even INT64_MAX gives a
    // finite level (about 3.6e17) instead of overflowing.
    const double grey = ((static_cast<double>(c) - 232.0) * 10.0 + 8.0) / 255.0;
    return colorFromComponents(grey, grey, grey);
}

// The 256 palette colours, computed once.
constexpr std::array<Color, 256> indexedColors = [] {
    std::array<Color, 256> colors{};
    for (std::size_t c = 0; c < colors.size(); ++c) {
        colors[c] = computeIndexedColor(static_cast<std::int64_t>(c));
    }
    return colors;
}();

} // namespace

Color Palette::indexed(int index)
{
    return indexedColors[static_cast<std::size_t>(std::clamp(index, 0, 255))];
}

Color Palette::ansi(std::int64_t index, bool bright)
{
    return paletteEntry(index, bright);
}

AnsiColors Palette::defaultAnsi()
{
    AnsiColors colors{};
    std::copy_n(indexedColors.begin(), colors.size(), colors.begin());
    return colors;
}
