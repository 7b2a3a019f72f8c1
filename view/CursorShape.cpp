// Cursor geometry, in the view's logical pixels.
#include "CursorShape.h"

#include "GridSizing.h"

#include <algorithm>

namespace CursorShape {

QRectF rectangle(TerminalCursorStyle style, QPointF origin, double fontSize, double lineSpacing)
{
    const double height = GridSizing::cursorHeight(fontSize, lineSpacing);
    const double width = std::max(fontSize * 0.62, 2.0);
    switch (style) {
    case TerminalCursorStyle::beam:
        return {origin.x(), origin.y(), 2.0, height};
    case TerminalCursorStyle::underline:
        return {origin.x(), origin.y() + height - 2.0, width, 2.0};
    case TerminalCursorStyle::block:
        break;
    }
    return {origin.x(), origin.y(), width, height};
}

} // namespace CursorShape
