// The view's own figures: the time of one full repaint of a grid of coloured text, and the time from
// a key event to the shell's echo painted.
#pragma once

#include "WorkloadText.h"

#include <cstdint>
#include <vector>

struct RepaintResult {
    int rows = 0;
    int columns = 0;
    int linesShown = 0;
    double paintsPerRepaint = 0;      // paint events of the view per repaint() call
    std::vector<double> repaintMs;    // QWidget::repaint(): paint and flush, wall clock
    std::vector<double> repaintCpuMs; // the same, the process's CPU time
    std::vector<double> grabMs;       // QWidget::grab(): paint into a pixmap
    std::vector<double> redrawnMs;    // repaint() after every row was written again: all lines drawn anew
    double linesDrawnPerRedraw = 0;   // display lines drawn per such repaint (the rest came from images)
    bool complete = false;
};

// One frame after one row of output, in a window whose history is empty and in one whose history is
// full, measured alternately in the same run; and frames of output streaming a line at a time.
struct FrameResult {
    int keptRows = 0;
    std::vector<double> frameCpuMs; // output in, frame run and painted: the process's CPU time
    double linesDrawnPerFrame = 0;  // display lines drawn into images per frame (the rest reused)
    double layoutsPerFrame = 0;     // rows laid out per frame
    bool complete = false;
};

// A million-line history against an empty one: the window's width changed, and its history paged
// through from the top and at the bottom; and the engine's own width change, alone.
struct HistoryResult {
    std::int64_t historyRows = 0;      // of the full host at the end
    std::vector<double> resizeEmptyMs; // width change to the next painted frame: the process's CPU time
    std::vector<double> resizeFullMs;
    std::vector<double> resizeLongMs;       // a million lines longer than the width, a quarter with CJK
    std::vector<double> engineShortMs;      // TerminalEngine::resizeGrid to a new width, CPU time
    std::vector<double> engineLongMs;       // the same with lines longer than the width, some of them CJK
    std::vector<double> engineLongNarrowMs; // the same lines without CJK
    double jumpTopMs = 0;                   // the scroll bar to 0: CPU time until it is painted
    std::vector<double> pageTopMs;          // a page down from the top, to its paint
    std::vector<double> pageBottomMs;       // a page down near the bottom, to its paint
    int linesPerPage = 0;
    std::int64_t topRow = 0;        // the row shown first at scroll bar value 0 (0: the oldest row)
    bool bottomShowsCursor = false; // at the scroll bar's maximum the cursor's line is in view
    double documentPixels = 0;      // the display lines at the line pitch
    int viewPixels = 0;             // the view's height: what the scroll area can scroll through
    bool complete = false;
};

struct EchoResult {
    std::vector<double> latencyMs;
    bool complete = false;
};

// One result per colour set, in order.
std::vector<RepaintResult> measureRepaints(int rows, int columns,
                                           const std::vector<WorkloadText::Colours>& sets, int repaints);
EchoResult measureKeyEcho(int keys);
// Index 0: a row rewritten in place with no history; 1: the same with a full history; 2: a line
// streamed in at the bottom of a full history, scrolling it by one.
std::vector<FrameResult> measureFrames(int frames);
// Width changes alternate between two widths, `resizes` of them per host; `pages` pages each.
HistoryResult measureHistory(int resizes, int pages);
