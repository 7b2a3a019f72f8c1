// Paste encoding. Inside a bracket, a pasted ESC [201~ would end the bracket early and a pasted
// ^C, ^Z or ^\ becomes a signal in the pty's line discipline: both let the rest run as typed
// commands, so a bracketed paste carries no controls but HT and LF.
#include "PasteEncoder.h"

#include <algorithm>

namespace PasteEncoder {

std::string normalizeLineEndings(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string stripControls(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 && byte != '\t' && byte != '\n') {
            continue;
        }
        // U+0080-U+009F are encoded C2 80 ... C2 9F.
        if (byte == 0xc2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9f) {
                ++i;
                continue;
            }
        }
        out += static_cast<char>(byte);
    }
    return out;
}

std::string encode(std::string_view utf8, bool bracketed)
{
    std::string text = normalizeLineEndings(utf8);
    if (!bracketed) {
        return text;
    }
    std::string out(startMarker);
    out += stripControls(text);
    out += endMarker;
    return out;
}

std::string shellQuoted(std::string_view utf8)
{
    const auto bare = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
    };
    // A leading = (zsh's command lookup) is special too.
    if (!utf8.empty() && utf8.front() != '=' && std::all_of(utf8.begin(), utf8.end(), bare)) {
        return std::string(utf8);
    }
    std::string out = "'";
    for (const char c : utf8) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

std::string droppedWords(const std::vector<std::string>& utf8Names)
{
    std::string out;
    for (const std::string& name : utf8Names) {
        // stripControls keeps HT and LF, which are controls here too, and DEL.
        const bool controls =
            stripControls(name) != name || name.find_first_of("\t\n\x7f") != std::string::npos;
        if (name.empty() || controls) {
            continue;
        }
        out += shellQuoted(name);
        out += ' ';
    }
    return out;
}

} // namespace PasteEncoder
