// xterm ctlseqs, "Mouse Tracking": the button code is 0-2 for the buttons, 3 for a release (or no
// button) in the default encoding, 64/65 for the wheel, plus 4 Shift, 8 Meta, 16 Control (never in
// the press-only X10 mode) and 32 for motion. The default encoding sends CSI M and three bytes of
// 32 + value; SGR sends CSI < code ; x ; y and M for a press, m for a release.
#include "MouseEncoder.h"

namespace MouseEncoder {
namespace {

// The default encoding's cell bytes are 32 + the 1-based position, at most 255.
constexpr int defaultEncodingLimit = 223;

int buttonCode(MouseButton button)
{
    switch (button) {
    case MouseButton::left:
        return 0;
    case MouseButton::middle:
        return 1;
    case MouseButton::right:
        return 2;
    case MouseButton::wheelUp:
        return 64;
    case MouseButton::wheelDown:
        return 65;
    case MouseButton::none:
        break;
    }
    return 3;
}

bool isWheel(MouseButton button)
{
    return button == MouseButton::wheelUp || button == MouseButton::wheelDown;
}

bool isReported(const MouseEvent& event, MouseTracking tracking)
{
    switch (event.action) {
    case MouseAction::press:
        return tracking != MouseTracking::none && event.button != MouseButton::none;
    case MouseAction::release: // a wheel notch is a press alone
        return tracking >= MouseTracking::pressRelease && !isWheel(event.button) &&
               event.button != MouseButton::none;
    case MouseAction::motion:
        return tracking == MouseTracking::anyMotion ||
               (tracking == MouseTracking::drag && event.button != MouseButton::none);
    }
    return false;
}

} // namespace

bool reportsTo(MouseTracking tracking, bool shiftHeld)
{
    return tracking != MouseTracking::none && !shiftHeld;
}

std::string encode(const MouseEvent& event, MouseTracking tracking, bool sgr)
{
    if (!isReported(event, tracking) || event.column < 0 || event.row < 0) {
        return {};
    }
    const bool release = event.action == MouseAction::release;
    int code = (release && !sgr) ? 3 : buttonCode(event.button);
    if (tracking != MouseTracking::press) {
        const MouseModifiers& m = event.modifiers;
        code += (m.shift ? 4 : 0) + (m.alt ? 8 : 0) + (m.control ? 16 : 0);
    }
    if (event.action == MouseAction::motion) {
        code += 32;
    }
    const int x = event.column + 1;
    const int y = event.row + 1;
    if (sgr) {
        return "\x1b[<" + std::to_string(code) + ';' + std::to_string(x) + ';' + std::to_string(y) +
               (release ? 'm' : 'M');
    }
    if (x > defaultEncodingLimit || y > defaultEncodingLimit) {
        return {};
    }
    return {
        '\x1b', '[', 'M', static_cast<char>(32 + code), static_cast<char>(32 + x), static_cast<char>(32 + y)};
}

} // namespace MouseEncoder
