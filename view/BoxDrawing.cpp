// Each line character is four arms (up, right, down, left), each none, light, heavy or double. An
// arm runs from the cell's centre to its edge; where arms meet, a double arm's two strokes stop at
// the inner stroke of a double arm across them (so corners and tees close like ╔ and ╦, and ╬ stays
// open in the middle), and a single arm meeting double ones stops at their near stroke (╤, ╟).
#include "BoxDrawing.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace BoxDrawing {
namespace {

enum Weight : std::uint8_t { none, light, heavy, doubled };

constexpr std::uint8_t arms(int up, int right, int down, int left)
{
    return static_cast<std::uint8_t>(up << 6 | right << 4 | down << 2 | left);
}

// U+2500-U+257F; 0: drawn by the font.
constexpr std::array<std::uint8_t, 128> table = {
    arms(0, 1, 0, 1),
    arms(0, 2, 0, 2),
    arms(1, 0, 1, 0),
    arms(2, 0, 2, 0), // ─ ━ │ ┃
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0, // dashed
    arms(0, 1, 1, 0),
    arms(0, 2, 1, 0),
    arms(0, 1, 2, 0),
    arms(0, 2, 2, 0), // ┌ ┍ ┎ ┏
    arms(0, 0, 1, 1),
    arms(0, 0, 1, 2),
    arms(0, 0, 2, 1),
    arms(0, 0, 2, 2), // ┐ ┑ ┒ ┓
    arms(1, 1, 0, 0),
    arms(1, 2, 0, 0),
    arms(2, 1, 0, 0),
    arms(2, 2, 0, 0), // └ ┕ ┖ ┗
    arms(1, 0, 0, 1),
    arms(1, 0, 0, 2),
    arms(2, 0, 0, 1),
    arms(2, 0, 0, 2), // ┘ ┙ ┚ ┛
    arms(1, 1, 1, 0),
    arms(1, 2, 1, 0),
    arms(2, 1, 1, 0),
    arms(1, 1, 2, 0), // ├ ┝ ┞ ┟
    arms(2, 1, 2, 0),
    arms(2, 2, 1, 0),
    arms(1, 2, 2, 0),
    arms(2, 2, 2, 0), // ┠ ┡ ┢ ┣
    arms(1, 0, 1, 1),
    arms(1, 0, 1, 2),
    arms(2, 0, 1, 1),
    arms(1, 0, 2, 1), // ┤ ┥ ┦ ┧
    arms(2, 0, 2, 1),
    arms(2, 0, 1, 2),
    arms(1, 0, 2, 2),
    arms(2, 0, 2, 2), // ┨ ┩ ┪ ┫
    arms(0, 1, 1, 1),
    arms(0, 1, 1, 2),
    arms(0, 2, 1, 1),
    arms(0, 2, 1, 2), // ┬ ┭ ┮ ┯
    arms(0, 1, 2, 1),
    arms(0, 1, 2, 2),
    arms(0, 2, 2, 1),
    arms(0, 2, 2, 2), // ┰ ┱ ┲ ┳
    arms(1, 1, 0, 1),
    arms(1, 1, 0, 2),
    arms(1, 2, 0, 1),
    arms(1, 2, 0, 2), // ┴ ┵ ┶ ┷
    arms(2, 1, 0, 1),
    arms(2, 1, 0, 2),
    arms(2, 2, 0, 1),
    arms(2, 2, 0, 2), // ┸ ┹ ┺ ┻
    arms(1, 1, 1, 1),
    arms(1, 1, 1, 2),
    arms(1, 2, 1, 1),
    arms(1, 2, 1, 2), // ┼ ┽ ┾ ┿
    arms(2, 1, 1, 1),
    arms(1, 1, 2, 1),
    arms(2, 1, 2, 1),
    arms(2, 1, 1, 2), // ╀ ╁ ╂ ╃
    arms(2, 2, 1, 1),
    arms(1, 1, 2, 2),
    arms(1, 2, 2, 1),
    arms(2, 2, 1, 2), // ╄ ╅ ╆ ╇
    arms(1, 2, 2, 2),
    arms(2, 1, 2, 2),
    arms(2, 2, 2, 1),
    arms(2, 2, 2, 2), // ╈ ╉ ╊ ╋
    0,
    0,
    0,
    0, // dashed
    arms(0, 3, 0, 3),
    arms(3, 0, 3, 0),
    arms(0, 3, 1, 0),
    arms(0, 1, 3, 0), // ═ ║ ╒ ╓
    arms(0, 3, 3, 0),
    arms(0, 0, 1, 3),
    arms(0, 0, 3, 1),
    arms(0, 0, 3, 3), // ╔ ╕ ╖ ╗
    arms(1, 3, 0, 0),
    arms(3, 1, 0, 0),
    arms(3, 3, 0, 0),
    arms(1, 0, 0, 3), // ╘ ╙ ╚ ╛
    arms(3, 0, 0, 1),
    arms(3, 0, 0, 3),
    arms(1, 3, 1, 0),
    arms(3, 1, 3, 0), // ╜ ╝ ╞ ╟
    arms(3, 3, 3, 0),
    arms(1, 0, 1, 3),
    arms(3, 0, 3, 1),
    arms(3, 0, 3, 3), // ╠ ╡ ╢ ╣
    arms(0, 3, 1, 3),
    arms(0, 1, 3, 1),
    arms(0, 3, 3, 3),
    arms(1, 3, 0, 3), // ╤ ╥ ╦ ╧
    arms(3, 1, 0, 1),
    arms(3, 3, 0, 3),
    arms(1, 3, 1, 3),
    arms(3, 1, 3, 1), // ╨ ╩ ╪ ╫
    arms(3, 3, 3, 3),
    arms(0, 1, 1, 0),
    arms(0, 0, 1, 1),
    arms(1, 0, 0, 1), // ╬ ╭ ╮ ╯
    arms(1, 1, 0, 0),
    0,
    0,
    0, // ╰, diagonals
    arms(0, 0, 0, 1),
    arms(1, 0, 0, 0),
    arms(0, 1, 0, 0),
    arms(0, 0, 1, 0), // ╴ ╵ ╶ ╷
    arms(0, 0, 0, 2),
    arms(2, 0, 0, 0),
    arms(0, 2, 0, 0),
    arms(0, 0, 2, 0), // ╸ ╹ ╺ ╻
    arms(0, 2, 0, 1),
    arms(1, 0, 2, 0),
    arms(0, 1, 0, 2),
    arms(2, 0, 1, 0), // ╼ ╽ ╾ ╿
};

std::uint8_t armsOf(char32_t scalar)
{
    return scalar >= 0x2500 && scalar < 0x2580 ? table[scalar - 0x2500] : 0;
}

} // namespace

bool drawsItself(char32_t scalar)
{
    return armsOf(scalar) != 0;
}

std::vector<QRect> strokes(char32_t scalar, int width, int height, int thickness)
{
    const std::uint8_t code = armsOf(scalar);
    const int up = code >> 6 & 3;
    const int right = code >> 4 & 3;
    const int down = code >> 2 & 3;
    const int left = code & 3;
    const int t = thickness;
    const int cx = width / 2;
    const int cy = height / 2;
    const auto stroke = [t](int weight) { return weight == none ? 0 : weight == heavy ? 2 * t : t; };
    std::vector<QRect> rects;
    // Strokes over [from, to), centred on a row or a column; a double arm's two lie `t` either side.
    const auto horizontal = [&](int from, int to, int y, int w) {
        if (to > from && w > 0) {
            rects.emplace_back(from, y - w / 2, to - from, w);
        }
    };
    const auto vertical = [&](int from, int to, int x, int w) {
        if (to > from && w > 0) {
            rects.emplace_back(x - w / 2, from, w, to - from);
        }
    };
    // Where a horizontal arm starts (right) or ends (left) at the centre: half the widest vertical
    // stroke past it, so that corners are filled; with double vertical arms, at their near stroke.
    const bool doubleVertical = up == doubled || down == doubled;
    const bool doubleHorizontal = left == doubled || right == doubled;
    const int verticalHalf = std::max(stroke(up), stroke(down)) / 2;
    const int horizontalHalf = std::max(stroke(left), stroke(right)) / 2;
    // The outer edge of a double arm's strokes, on either side of the centre.
    const int outerLow = -t - t / 2;
    const int outerHigh = t + (t + 1) / 2;

    if (right == doubled) {
        horizontal(cx + (up == doubled ? t : outerLow), width, cy - t, t);
        horizontal(cx + (down == doubled ? t : outerLow), width, cy + t, t);
    } else {
        horizontal(doubleVertical ? cx + t : cx - verticalHalf, width, cy, stroke(right));
    }
    if (left == doubled) {
        horizontal(0, cx + (up == doubled ? 1 - t : outerHigh), cy - t, t);
        horizontal(0, cx + (down == doubled ? 1 - t : outerHigh), cy + t, t);
    } else {
        horizontal(0, doubleVertical ? cx - t + 1 : cx + verticalHalf + 1, cy, stroke(left));
    }
    // Vertical arms run one pixel past the cell's edges (see the header).
    if (down == doubled) {
        vertical(cy + (left == doubled ? t : outerLow), height + 1, cx - t, t);
        vertical(cy + (right == doubled ? t : outerLow), height + 1, cx + t, t);
    } else {
        vertical(doubleHorizontal ? cy + t : cy - horizontalHalf, height + 1, cx, stroke(down));
    }
    if (up == doubled) {
        vertical(-1, cy + (left == doubled ? 1 - t : outerHigh), cx - t, t);
        vertical(-1, cy + (right == doubled ? 1 - t : outerHigh), cx + t, t);
    } else {
        vertical(-1, doubleHorizontal ? cy - t + 1 : cy + horizontalHalf + 1, cx, stroke(up));
    }
    return rects;
}

} // namespace BoxDrawing
