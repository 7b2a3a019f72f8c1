// The painted text cursor: its shape (the settings', unless the program asked for one), its
// rectangle for each shape, its grey, and its blinking.
#pragma once

#include "settings/VitrionSettings.h"

#include <QObject>
#include <QRect>
#include <QRectF>
#include <QTimer>

class QWidget;

namespace CursorShape {
inline constexpr double grey = 0.72; // opaque light grey fill

// The shape a program's cursor style (DECSCUSR 0-6) shows: 1-2 block, 3-4 underline, 5-6 beam,
// anything else the user's setting.
TerminalCursorStyle shapeFor(int programStyle, TerminalCursorStyle setting);
// Whether the cursor blinks: the program's blink mode, or an odd DECSCUSR style (1, 3, 5).
bool blinks(int programStyle, bool blinkMode);

// The rectangle for a cursor whose cell's glyph starts at (x, y): block max(size x 0.62, 2) wide and
// size x lineSpacing high, beam 2 wide, underline 2 high at the bottom of that height. Over a wide
// character (`extraWidth` = one more advance) the block and underline cover both of its cells.
QRectF rectangle(TerminalCursorStyle style, QPointF origin, double fontSize, double lineSpacing,
                 double extraWidth = 0.0);
} // namespace CursorShape

// Blinks a widget's cursor: while it should blink and the widget has the focus, the cursor is
// hidden and shown every 530 ms, and only its rectangle is repainted. Moving the cursor shows it at
// once and starts the period again; without the focus it stays shown.
class CursorBlink : public QObject {
    Q_OBJECT
public:
    static constexpr int intervalMs = 530;

    explicit CursorBlink(QWidget& widget);

    // After each frame: whether the cursor blinks now, and the area its drawing covers.
    void follow(bool blinking, const QRect& area);
    bool shown() const { return shown_; }
    bool running() const { return timer_.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restart();
    void toggle();
    void setShown(bool shown);

    QWidget& widget_;
    QTimer timer_;
    QRect area_;
    bool blinking_ = false;
    bool shown_ = true;
};
