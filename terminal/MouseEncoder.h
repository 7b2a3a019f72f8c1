// Mouse reports for programs that track the pointer (xterm's mouse modes): a press, release, motion
// or wheel notch over a screen cell becomes the bytes the program reads, in the default or the SGR
// encoding. Plain C++, no toolkit.
#pragma once

#include "engine/TerminalModes.h"

#include <string>

enum class MouseButton { left, middle, right, wheelUp, wheelDown, none };
enum class MouseAction { press, release, motion };

struct MouseModifiers {
    bool shift = false;
    bool alt = false;
    bool control = false;
};

struct MouseEvent {
    MouseAction action = MouseAction::press;
    // The button pressed or released; for motion, the button held (none when no button is).
    MouseButton button = MouseButton::left;
    int column = 0; // screen cell, 0-based
    int row = 0;    // 0-based from the top of the screen (not an index into the kept history)
    MouseModifiers modifiers;
};

namespace MouseEncoder {
// Whether pointer events go to the program rather than to the view's own selection, paste and
// menu: a tracking mode is on and Shift is not held.
bool reportsTo(MouseTracking tracking, bool shiftHeld);
// The report of one event in a tracking mode; empty when that mode does not report it, or when
// the default encoding cannot express the cell (beyond column or row 223).
std::string encode(const MouseEvent& event, MouseTracking tracking, bool sgr);
} // namespace MouseEncoder
