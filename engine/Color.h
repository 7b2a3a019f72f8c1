// An RGBA colour as the owner sees it (append, setBaseTextColor, resolveForeground): components kept
// exactly as computed, also outside 0...1, for the drawing side to decide how to show. Cells hold
// packed colours (CellColor), not this.
#pragma once

struct Color {
    float red = 1.0f;
    float green = 1.0f;
    float blue = 1.0f;
    float alpha = 1.0f;

    friend bool operator==(const Color&, const Color&) = default;
};

// A colour made from numeric components with alpha 1.
constexpr Color colorFromComponents(double red, double green, double blue)
{
    return Color{static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue), 1.0f};
}
