// What the last frame put on screen, so that the next frame repaints only what it changes: the
// display lines whose row content or place differs, and the cursor's old and new rectangles. Typing
// at a prompt then updates a few lines of the window instead of all of it, which matters less to the
// view's own paint than to the X server and the compositor, which upload and re-blur every update.
#pragma once

#include "TextSelection.h"

#include <QRect>
#include <QRegion>

#include <cstdint>
#include <vector>

struct ShownFrame {
    struct Line {
        std::uint64_t rowStamp = 0;
        int lineInRow = 0;
        friend bool operator==(const Line&, const Line&) = default;
    };
    QRect visible; // the visible part of the view
    int firstLine = 0;
    std::vector<Line> lines; // the display lines from firstLine on that the visible part shows
    QRect cursor;            // the cursor's rectangle, whole pixels covering it
    bool selectionShown = false;
    TextPosition selectionStart;
    TextPosition selectionEnd;
};

class FrameDamage {
public:
    // The region that turns the last recorded frame into `next`: the whole visible part when the two
    // are not comparable (scrolled, resized, selection changed, nothing recorded); records `next`.
    // `lineTop` and `pitch` place display line n at lineTop + n x pitch.
    QRegion changesTo(ShownFrame next, double lineTop, double pitch);
    // The next frame repaints everything (the font, colours or layout changed).
    void forget() { recorded_ = false; }

private:
    ShownFrame last_;
    bool recorded_ = false;
};
