// Cursor geometry, in the view's logical pixels, and the blink timer.
#include "CursorShape.h"

#include "GridSizing.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace CursorShape {

TerminalCursorStyle shapeFor(int programStyle, TerminalCursorStyle setting)
{
    switch (programStyle) {
    case 1:
    case 2:
        return TerminalCursorStyle::block;
    case 3:
    case 4:
        return TerminalCursorStyle::underline;
    case 5:
    case 6:
        return TerminalCursorStyle::beam;
    default:
        return setting;
    }
}

bool blinks(int programStyle, bool blinkMode)
{
    return blinkMode || programStyle == 1 || programStyle == 3 || programStyle == 5;
}

QRectF rectangle(TerminalCursorStyle style, QPointF origin, double fontSize, double lineSpacing,
                 double extraWidth)
{
    const double height = GridSizing::cursorHeight(fontSize, lineSpacing);
    const double width = std::max(fontSize * 0.62, 2.0) + extraWidth;
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

CursorBlink::CursorBlink(QWidget& widget) : QObject(&widget), widget_(widget)
{
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { toggle(); });
    widget_.installEventFilter(this);
}

void CursorBlink::follow(bool blinking, const QRect& area)
{
    if (blinking == blinking_ && area == area_) {
        return; // output elsewhere on the screen does not disturb the rhythm
    }
    blinking_ = blinking;
    area_ = area;
    restart();
}

bool CursorBlink::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &widget_) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Show:
        case QEvent::Hide:
            restart();
            break;
        default:
            break;
        }
    }
    return false;
}

void CursorBlink::restart()
{
    setShown(true);
    if (blinking_ && widget_.hasFocus() && widget_.isVisible()) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

void CursorBlink::toggle()
{
    if (!widget_.hasFocus()) {
        restart();
        return;
    }
    setShown(!shown_);
}

void CursorBlink::setShown(bool shown)
{
    if (shown != shown_) {
        shown_ = shown;
        widget_.update(area_);
    }
}
