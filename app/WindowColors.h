// The window's own colour: the opaque background outside the glass, the same values as the default
// tint (0.11, 0.15, 0.21).
#pragma once

#include <QColor>

inline QColor windowBackgroundColor()
{
    return QColor::fromRgbF(0.11f, 0.15f, 0.21f, 1.0f);
}
