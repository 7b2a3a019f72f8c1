// One display line drawn once: its text (glyphs gathered per font and colour and drawn as one glyph
// run each, with underlines and strikethrough) into its own transparent image, and its cell
// backgrounds as runs of device pixel columns. A repaint then only fills the runs and blends the
// image, which costs a fraction of drawing the glyphs again.
#pragma once

#include "engine/Cell.h"
#include "engine/ScreenReader.h"

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class ContrastMemo;
class GlyphMetrics;

struct RowLayout;

// How a cell's style turns into the colours it is drawn in: the engine's palette and default
// colours, inverse, the minimum contrast, faint (half alpha), hidden, and the screen's reverse video. A
// background of alpha 0 is no background: the glass shows through.
class CellColours {
public:
    struct Ink {
        QRgb foreground = 0; // 0 too when the text is hidden
        QRgb background = 0;
        QRgb underline = 0; // the program's underline colour, else the foreground
    };
    // `cursorCell`: the colours of a cell under a block cursor, its text in the cell's background.
    CellColours(const ScreenReader& engine, bool reverseVideo, bool cursorCell = false);

    const Ink& of(const CellStyle& style)
    {
        if (!cached_ || style != lastStyle_) {
            lastStyle_ = style;
            lastInk_ = resolve(style);
            cached_ = true;
        }
        return lastInk_;
    }
    // What a cell of the default background shows: nothing (alpha 0), or under reverse video the
    // text colour, painted under the whole screen.
    QRgb screenBackground() const { return reverseVideo_ ? text_ : 0; }
    // The text colour of the default background where text must be drawn in it (inverse text):
    // the background applications are told the glass has.
    QRgb glass() const { return glass_; }
    const ScreenReader& engine() const { return engine_; }
    // Text drawn at least this legible against what stands behind it: the cell's background, or the
    // glass's colour (none: exactly as the program chose).
    void setContrast(ContrastMemo* contrast)
    {
        contrast_ = contrast;
        cached_ = false;
    }
    // All text (and its lines) in one colour: selected text in the scheme's selection text colour.
    void setForeground(QRgb ink)
    {
        foreground_ = ink;
        cached_ = false;
    }

private:
    Ink resolve(const CellStyle& style) const;

    ScreenReader engine_;
    bool reverseVideo_;
    bool cursorCell_;
    QRgb text_;
    QRgb glass_;
    ContrastMemo* contrast_ = nullptr;
    std::optional<QRgb> foreground_;
    bool cached_ = false;
    CellStyle lastStyle_;
    Ink lastInk_;
};

// A stretch of equal background: device pixel columns [left, right) of the view, the line's height.
struct BackgroundRun {
    int left = 0;
    int right = 0;
    QRgb color = 0; // opaque
};

struct LineImage {
    QImage image;                           // null when the line has no ink (only blanks, or hidden text)
    int left = 0;                           // device pixel column of the image's left edge in the view
    int baselineRow = 0;                    // device pixel row of the text's baseline inside the image
    std::vector<BackgroundRun> backgrounds; // left to right, adjacent runs of one colour merged
};

// Draws cells [from, to) of a row as laid out, the first cell's glyph origin at x = inset plus its
// laid-out position, in lines `pitch` apart. Glyph origins keep their fractions horizontally
// (subpixel positions) and sit on a whole device pixel vertically, so the same image is right
// wherever the line is later shown. A wide character's glyph is centred in its two cells; box-drawing
// lines fill their cells.
LineImage renderLine(std::span<const Cell> cells, const RowLayout& layout, int from, int to, double inset,
                     double pitch, GlyphMetrics& metrics, double devicePixelRatio, CellColours& colours);

// The device pixel row the baseline of a line whose top is at `lineTop` is drawn on.
int baselineDeviceRow(double lineTop, double ascent, double devicePixelRatio);
