// The view's own figures: the time of one full repaint of a grid of coloured text, and the time from
// a key event to the shell's echo painted.
#pragma once

#include "WorkloadText.h"

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

struct EchoResult {
    std::vector<double> latencyMs;
    bool complete = false;
};

// One result per colour set, in order.
std::vector<RepaintResult> measureRepaints(int rows, int columns,
                                           const std::vector<WorkloadText::Colours>& sets, int repaints);
EchoResult measureKeyEcho(int keys);
