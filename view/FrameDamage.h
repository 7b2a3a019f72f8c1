// What the last frame put on screen, so that the next frame repaints only what it changes: the
// cells whose content differs (whole display lines where glyphs do not sit on the grid), the lines
// whose place differs, and the cursor's old and new rectangles. Typing at a prompt then updates a
// few cells of the window instead of all of it, which matters less to the view's own paint than to
// the X server and the compositor, which upload and re-blur every updated pixel.
#pragma once

#include "TextSelection.h"
#include "engine/Cell.h"

#include <QRect>
#include <QRegion>

#include <cstdint>
#include <span>
#include <vector>

struct ShownFrame {
    struct Line {
        std::uint64_t rowStamp = 0;
        int lineInRow = 0;
        std::span<const Cell> cells; // the line's cells, read only while the frame is compared
        bool onGrid = true;          // every cell at its column x advance, so a cell's place is known
    };
    QRect visible; // the visible part of the view
    int firstLine = 0;
    std::vector<Line> lines;   // the display lines from firstLine on that the visible part shows
    QRect cursor;              // the cursor's rectangle, whole pixels covering it; empty when hidden
    int cursorLine = -1;       // the cursor's display line, where the next change is most likely
    bool reverseVideo = false; // the screen's default colours swapped: every pixel changes with it
    bool selectionShown = false;
    TextPosition selectionStart;
    TextPosition selectionEnd;
};

class FrameDamage {
public:
    // The region that turns the last recorded frame into `next`: the whole visible part when the two
    // are not comparable (scrolled, resized, selection changed, nothing recorded); records `next`.
    // Display line n lies at y = inset + n x pitch, its cell c at x = inset + c x advance.
    struct Geometry {
        double inset = 0;
        double pitch = 1;
        double advance = 1;
    };
    // A line whose stamp is unchanged is not looked at; only the cells of lines that changed are
    // kept for the next comparison, so a frame costs what changed, not what is visible.
    QRegion changesTo(ShownFrame next, const Geometry& geometry);
    // The next frame repaints everything (the font, colours or layout changed).
    void forget() { recorded_ = false; }

private:
    struct ShownLine {
        std::uint64_t rowStamp = 0;
        int lineInRow = 0;
        bool onGrid = true;
        // A repaint of everything keeps the cells of the cursor's line only (a typed key's echo stays
        // a few cells); a change to another line after it repaints that line.
        bool cellsKept = false;
        std::vector<Cell> cells;
    };

    ShownFrame last_; // its lines are not used: lines_ holds what they showed
    std::vector<ShownLine> lines_;
    bool recorded_ = false;
};
