// One display line drawn once into its own image: the terminal font's glyphs gathered per colour and
// drawn as one glyph run each, fallback glyphs the same way once their font is known, on a transparent
// background. A repaint then only blends the image, which costs a fraction of drawing the glyphs again.
#pragma once

#include "engine/Cell.h"

#include <QImage>

#include <span>

class GlyphMetrics;
class TerminalEngine;
struct RowLayout;

struct LineImage {
    QImage image;        // null when the line has no ink (only blanks)
    int left = 0;        // device pixel column of the image's left edge in the view
    int baselineRow = 0; // device pixel row of the text's baseline inside the image
};

// Draws cells [from, to) of a row as laid out, the first cell's glyph origin at x = inset plus its
// laid-out position. Glyph origins keep their fractions horizontally (subpixel positions) and sit on
// a whole device pixel vertically, so the same image is right wherever the line is later shown.
// Colours come from the engine's palette and default colours.
LineImage renderLine(std::span<const Cell> cells, const RowLayout& layout, int from, int to, double inset,
                     GlyphMetrics& metrics, double devicePixelRatio, const TerminalEngine& engine);

// The device pixel row the baseline of a line whose top is at `lineTop` is drawn on.
int baselineDeviceRow(double lineTop, double ascent, double devicePixelRatio);
