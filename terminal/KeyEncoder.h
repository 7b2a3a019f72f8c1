// The terminal's keyboard encoding: a key press, described without toolkit types, becomes the bytes
// written to the shell or one of the few commands the view handles itself (paste, copy, select all,
// scrolling the history by a page).
#pragma once

#include "engine/TerminalModes.h"

#include <cstdint>
#include <string>

// The keys with a fixed encoding; every other key is `other` and is sent as the text it types.
enum class TerminalKey {
    other,
    returnKey,
    enter,
    backspace,
    escape,
    home,
    forwardDelete,
    end,
    left,
    right,
    down,
    up,
    tab,
    backtab,
    pageUp,
    pageDown,
    insert,
    f1,
    f2,
    f3,
    f4,
    f5,
    f6,
    f7,
    f8,
    f9,
    f10,
    f11,
    f12,
    begin, // the keypad's middle key without Num Lock
    // Keys that type nothing and send nothing but to a program that asked for every key (the
    // keyboard protocol's flag 8).
    leftShift,
    leftControl,
    leftAlt,
    leftSuper,
    leftHyper,
    leftMeta,
    rightShift,
    rightControl,
    rightAlt,
    rightSuper,
    rightHyper,
    rightMeta,
    capsLock,
    numLock,
    scrollLock,
    printScreen,
    pause,
    menu,
};

struct KeyModifiers {
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool super = false;
    bool hyper = false;
    bool meta = false;
    bool capsLock = false; // locks: only the keyboard protocol reports them
    bool numLock = false;
};

// A key goes down, repeats while held, or comes up. Only a program that asked (the keyboard
// protocol's flag 2) hears of repeats as such and of releases at all.
enum class KeyEventType { press, repeat, release };

struct KeyDescription {
    TerminalKey key = TerminalKey::other;
    KeyModifiers modifiers;
    // UTF-8 text the key types with Shift and AltGr applied; empty for keys that type nothing.
    std::string text;
    // The key's character with Shift applied and no other modifier (on a non-Latin layout, the Latin
    // character of the same key); 0 when the key has none. Used for Control folding and commands.
    char32_t character = 0;
    // The key is on the numeric keypad (its digits, operators and Enter).
    bool keypad = false;
    KeyEventType event = KeyEventType::press;
    // For the keyboard protocol: the key's character without Shift on the active layout (a for
    // Shift+a, 2 for Shift+2 on a US keyboard), and on the US layout when that differs (the Latin
    // letter of a Cyrillic key); 0 when the key has none.
    char32_t unshifted = 0;
    char32_t usLayout = 0;
};

enum class KeyAction {
    send,
    paste,
    copy,
    selectAll,
    scrollPageUp,
    scrollPageDown,
    scrollToTop,    // the history's first line
    scrollToBottom, // the screen
    passOn
};

struct KeyResult {
    KeyAction action = KeyAction::passOn;
    std::string bytes; // for `send`; may be empty (nothing to send)

    friend bool operator==(const KeyResult&, const KeyResult&) = default;
};

// The encoding of one key event while a shell runs (without a shell the view passes every key on),
// in the cursor-key and keypad modes and the keyboard protocol's flags the program has set.
KeyResult encodeKey(const KeyDescription& key, const TerminalModes& modes = {});
// The keyboard protocol's encoding (flags from KeyboardFlags, at least one set): CSI u and xterm's
// function-key forms with the protocol's modifiers and event types; empty when nothing is sent.
std::string encodeProtocolKey(const KeyDescription& key, std::uint8_t flags, bool applicationCursorKeys,
                              bool applicationKeypad);
