// The terminal's keyboard encoding: a key press, described without toolkit types, becomes the bytes
// written to the shell or one of the few commands the view handles itself (paste, copy, select all,
// scrolling the history by a page).
#pragma once

#include "engine/TerminalModes.h"

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
};

struct KeyModifiers {
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool super = false;
};

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

// The encoding of one key press while a shell runs (without a shell the view passes every key on),
// in the cursor-key and keypad modes the program has set.
KeyResult encodeKey(const KeyDescription& key, const TerminalModes& modes = {});
