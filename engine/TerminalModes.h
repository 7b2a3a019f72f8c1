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
    bool colorSchemeReports = false;                   // ?2031: dark or light, on every change
    bool inBandResize = false;                         // ?2048: the size, on every change
    // The keyboard protocol's enhancements (CSI > u and friends), 0 for the legacy encoding:
    // KeyboardFlags bits.
    std::uint8_t keyboardFlags = 0;
};

namespace KeyboardFlags {
inline constexpr std::uint8_t disambiguate = 1;    // ambiguous keys as CSI u
inline constexpr std::uint8_t eventTypes = 2;      // repeats and releases too
inline constexpr std::uint8_t alternateKeys = 4;   // the shifted and the US-layout key
inline constexpr std::uint8_t allKeysAsCodes = 8;  // text keys as CSI u as well
inline constexpr std::uint8_t associatedText = 16; // the text a key types, with its code
inline constexpr std::uint8_t all = 31;
} // namespace KeyboardFlags
