// The mouse pointer shown over the terminal in place of the I-beam: an arrow outline, transparent
// inside, drawn once at the screen's device pixel ratio.
#pragma once

#include <QCursor>

class PointerCursor {
public:
    static constexpr int imageWidth = 36;
    static constexpr int imageHeight = 40;

    // Built on first use (a QGuiApplication must exist) and kept for the process's life.
    static const QCursor& shared();
};
