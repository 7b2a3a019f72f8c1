// Text colour rules: the eight-entry palette and SGR (CSI ... m) for the foreground colour, with the
// xterm 256-colour (38;5;c) and direct-colour (38;2;r;g;b) forms.
#include "Palette.h"
#include "TerminalEngine.h"

#include <array>

namespace {

constexpr std::array<Color, 8> normalPalette{
    NamedColors::blackColor,        NamedColors::systemRedColor,  NamedColors::systemGreenColor,
    NamedColors::systemYellowColor, NamedColors::systemBlueColor, NamedColors::systemPurpleColor,
    NamedColors::systemCyanColor,   NamedColors::whiteColor,
};

// The 6 x 6 x 6 colour cube's levels: 0, 95, 135, 175, 215 and 255 out of 255.
constexpr std::array<double, 6> cubeLevels{0.0,           95.0 / 255.0,  135.0 / 255.0,
                                           175.0 / 255.0, 215.0 / 255.0, 1.0};

Color indexedColor(std::int64_t c)
{
    if (c <= 15) {
        // C++'s % keeps the sign of c, so every negative c gives index 0 (black).
        return TerminalEngine::ansiColor(c % 8, c > 7);
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

} // namespace

Color TerminalEngine::ansiColor(std::int64_t index, bool bright)
{
    // Negative indices read as 0; above 7 (never passed by the SGR rules) the hue repeats.
    const std::size_t entry = index < 0 ? 0 : static_cast<std::size_t>(index % 8);
    if (bright && entry == 0) {
        return NamedColors::darkGrayColor; // bright black is the only bright entry of its own
    }
    return normalPalette[entry];
}

void TerminalEngine::applyGraphicRendition(std::span<const std::int64_t> values)
{
    if (values.empty()) {
        currentColor_ = baseTextColor_;
        return;
    }
    const std::size_t size = values.size();
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t x = values[i];
        if (x == 0 || x == 39) {
            currentColor_ = baseTextColor_;
        } else if (x >= 30 && x <= 37) {
            currentColor_ = ansiColor(x - 30, false);
        } else if (x >= 90 && x <= 97) {
            currentColor_ = ansiColor(x - 90, true);
        } else if (x == 38) {
            if (i + 2 < size && values[i + 1] == 5) {
                currentColor_ = indexedColor(values[i + 2]);
                i += 2;
            } else if (i + 4 < size && values[i + 1] == 2) {
                currentColor_ = colorFromComponents(static_cast<double>(values[i + 2]) / 255.0,
                                                    static_cast<double>(values[i + 3]) / 255.0,
                                                    static_cast<double>(values[i + 4]) / 255.0);
                i += 4;
            }
            // A 38 without enough values is skipped alone; what follows is read as codes of its own.
        }
        // Everything else (attributes, backgrounds, 48 and its sub-parameters) changes nothing.
    }
}
