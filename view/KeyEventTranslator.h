// Turns a Qt key event into the toolkit-free key description the encoder works on, including the
// Latin character of the key on non-Latin keyboard layouts (so that Ctrl+C still sends 03).
#pragma once

#include "terminal/KeyEncoder.h"

#include <cstdint>

class QKeyEvent;

namespace KeyEventTranslator {
KeyDescription describe(const QKeyEvent& event);
// The character the key at an X11/xkb keycode types on the US layout (shifted or not), or 0.
char32_t latinCharacterForKeycode(std::uint32_t keycode, bool shifted);
} // namespace KeyEventTranslator
