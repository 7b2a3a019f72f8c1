// The bytes of one paste: line endings normalised and, when the shell asked for bracketed paste,
// the text cleaned of controls and wrapped in the ESC [200~ / ESC [201~ markers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace PasteEncoder {
inline constexpr std::string_view startMarker = "\x1b[200~";
inline constexpr std::string_view endMarker = "\x1b[201~";

// CR LF and lone CR both become LF.
std::string normalizeLineEndings(std::string_view utf8);
// Removes every C0 control except HT and LF (ESC included) and every C1 control (U+0080-U+009F).
// The input is valid UTF-8 (as the clipboard's text converts to).
std::string stripControls(std::string_view utf8);
// The whole paste as one piece for one write.
std::string encode(std::string_view utf8, bool bracketed);
// One word the shell reads back as the text: bare when no shell treats any of its characters
// specially, else in single quotes with each ' written '\''.
std::string shellQuoted(std::string_view utf8);
// Dropped files' paths (or other dropped URLs) as shell words, each followed by a space so that
// drops chain. A name with a control character (C0, DEL, C1) is left out: no quoting makes it safe
// to paste, and a newline in it would run the line.
std::string droppedWords(const std::vector<std::string>& utf8Names);
} // namespace PasteEncoder
