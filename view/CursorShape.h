// The painted text cursor: its rectangle for each style, its grey, drawn the same with or without
// focus and never blinking.
#pragma once

#include "settings/VitrionSettings.h"

#include <QRectF>

namespace CursorShape {
inline constexpr double grey = 0.72; // opaque light grey fill

// The rectangle for a cursor whose cell's glyph starts at (x, y): block max(size x 0.62, 2) wide and
// size x lineSpacing high, beam 2 wide, underline 2 high at the bottom of that height.
QRectF rectangle(TerminalCursorStyle style, QPointF origin, double fontSize, double lineSpacing);
} // namespace CursorShape
