// The X11 side of the glass: asks the compositor to blur behind the window through the
// _KDE_NET_WM_BLUR_BEHIND_REGION property. Does nothing on other platforms.
#pragma once

#include <QList>
#include <QRect>

#include <optional>

class QWindow;

namespace X11Glass {

bool isX11();

// Sets the property to the rectangles (window coordinates, device pixels). An empty list removes the
// property: a present but empty property would ask for blur behind the whole window.
void requestBlurBehind(QWindow* window, const QList<QRect>& region);

// The property as the X server holds it, none when absent (for tests and diagnostics).
std::optional<QList<QRect>> blurBehindRegion(QWindow* window);

} // namespace X11Glass
