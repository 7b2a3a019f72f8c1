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

// Colour-heavy output selects a colour per word: the 256 table colours and the 256 levels of a direct
// component are looked up, computed (by the same expressions) only when out of range.
constexpr std::array<Color, 256> indexedColors = [] {
    std::array<Color, 256> colors{};
    for (std::size_t c = 0; c < colors.size(); ++c) {
        colors[c] = computeIndexedColor(static_cast<std::int64_t>(c));
    }
    return colors;
}();

constexpr float computeDirectComponent(std::int64_t level)
{
    return static_cast<float>(static_cast<double>(level) / 255.0);
}

constexpr std::array<float, 256> directComponents = [] {
    std::array<float, 256> levels{};
    for (std::size_t level = 0; level < levels.size(); ++level) {
        levels[level] = computeDirectComponent(static_cast<std::int64_t>(level));
    }
    return levels;
}();

bool isByte(std::int64_t value)
{
    return static_cast<std::uint64_t>(value) < 256;
}

Color indexedColor(std::int64_t c)
{
    return isByte(c) ? indexedColors[static_cast<std::size_t>(c)] : computeIndexedColor(c);
}

float directComponent(std::int64_t level)
{
    return isByte(level) ? directComponents[static_cast<std::size_t>(level)] : computeDirectComponent(level);
}

} // namespace

Color TerminalEngine::ansiColor(std::int64_t index, bool bright)
{
    return paletteEntry(index, bright);
}

void TerminalEngine::applyGraphicRendition(std::span<const std::int64_t> values)
{
    if (values.empty()) {
        currentColor_ = baseTextColor_;
        return;
    }
    // Kept in a local and stored once, as one value: the text written next reads it whole.
    Color color = currentColor_;
    const std::size_t size = values.size();
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t x = values[i];
        if (x == 0 || x == 39) {
            color = baseTextColor_;
        } else if (x >= 30 && x <= 37) {
            color = paletteEntry(x - 30, false);
        } else if (x >= 90 && x <= 97) {
            color = paletteEntry(x - 90, true);
        } else if (x == 38) {
            if (i + 2 < size && values[i + 1] == 5) {
                color = indexedColor(values[i + 2]);
                i += 2;
            } else if (i + 4 < size && values[i + 1] == 2) {
                color = Color{directComponent(values[i + 2]), directComponent(values[i + 3]),
                              directComponent(values[i + 4]), 1.0f};
                i += 4;
            }
            // A 38 without enough values is skipped alone; what follows is read as codes of its own.
        }
        // Everything else (attributes, backgrounds, 48 and its sub-parameters) changes nothing.
    }
    currentColor_ = color;
}
