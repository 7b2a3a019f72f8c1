// The bytes of one paste: line endings normalised and, when the shell asked for bracketed paste,
// the text cleaned of controls and wrapped in the ESC [200~ / ESC [201~ markers.
#pragma once

#include <string>
#include <string_view>

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
} // namespace PasteEncoder
