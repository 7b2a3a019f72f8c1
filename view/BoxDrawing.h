// Box-drawing lines (U+2500-U+257F) drawn by the view to fill their cells: a font draws them only
// as tall as its own line, so with any line spacing a frame of them would break between rows.
#pragma once

#include <QRect>

#include <vector>

namespace BoxDrawing {
// Whether the view draws the scalar itself: the solid light, heavy and double lines, corners,
// tees and crosses (arcs as corners); dashed and diagonal lines are left to the font.
bool drawsItself(char32_t scalar);
// The rectangles of the scalar's strokes in a cell `width` x `height` device pixels, from its
// top-left; `thickness` is a light stroke's width. Strokes that reach the top or bottom edge run
// one pixel past it, so that rows whose edges round differently still join.
std::vector<QRect> strokes(char32_t scalar, int width, int height, int thickness);
} // namespace BoxDrawing
