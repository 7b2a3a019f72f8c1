// The modes a program switches on and off (DEC private and ANSI modes), as the screen keeps them and
// as input encoding and the view read them.
#pragma once

#include <cstdint>

enum class MouseTracking : std::uint8_t { none, press, pressRelease, drag, anyMotion };

// What a program has switched on. Each is a DEC private or ANSI mode (number in the comment).
struct TerminalModes {
    bool applicationCursorKeys = false;                // ?1 DECCKM
    bool applicationKeypad = false;                    // ESC = DECKPAM, ESC > DECKPNM
    bool reverseVideo = false;                         // ?5 DECSCNM
    bool originMode = false;                           // ?6 DECOM
    bool autowrap = true;                              // ?7 DECAWM
    bool cursorBlink = false;                          // ?12
    bool cursorVisible = true;                         // ?25 DECTCEM
    bool insertMode = false;                           // 4 IRM
    bool newLineMode = false;                          // 20 LNM
    MouseTracking mouseTracking = MouseTracking::none; // ?9, ?1000, ?1002, ?1003
    bool mouseSgr = false;                             // ?1006
    bool focusEvents = false;                          // ?1004
    bool alternateScroll = true;                       // ?1007
    bool bracketedPaste = false;                       // ?2004
    bool synchronizedOutput = false;                   // ?2026
};
