// The fixed named colours the terminal palette is built from, chosen to read well as text on a dark
// translucent background (docs/ARCHITECTURE.md lists the components), and the palette made of them.
#pragma once

#include "Color.h"

#include <array>
#include <cstdint>

namespace NamedColors {
inline constexpr Color blackColor{0.0f, 0.0f, 0.0f, 1.0f};
inline constexpr Color darkGrayColor{1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f, 1.0f};
inline constexpr Color whiteColor{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr Color systemRedColor{1.0f, 0.271f, 0.227f, 1.0f};
inline constexpr Color systemGreenColor{0.196f, 0.843f, 0.294f, 1.0f};
inline constexpr Color systemYellowColor{1.0f, 0.839f, 0.039f, 1.0f};
inline constexpr Color systemBlueColor{0.039f, 0.518f, 1.0f, 1.0f};
inline constexpr Color systemPurpleColor{0.749f, 0.353f, 0.949f, 1.0f};
inline constexpr Color systemCyanColor{0.353f, 0.784f, 0.98f, 1.0f};
} // namespace NamedColors

// The sixteen colours programs pick by number (SGR 30-37, 90-97 and 38;5;0-15): the user's scheme.
using AnsiColors = std::array<Color, 16>;

namespace Palette {
// The sixteen colours a new engine starts with: the named colours above.
AnsiColors defaultAnsi();
// Palette entry 0..255 (clamped): 16 named colours, the 6 x 6 x 6 cube and the grey ramp.
Color indexed(int index);
// One of the eight colours, or its bright form.
Color ansi(std::int64_t index, bool bright);
} // namespace Palette
