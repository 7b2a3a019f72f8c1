// Operating system commands and device control strings: the title, the working directory,
// hyperlinks, clipboard writes and colour queries (xterm's ctlseqs); DCS requests get xterm's
// answer for a request it does not know. Nothing a program planted is ever sent back.
#include "TerminalEngine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace {
constexpr std::size_t titleLimit = 1024;
constexpr std::size_t hyperlinkLimit = 4096;
constexpr std::size_t uriLimit = 2048;

// The number before the first ';', and the rest; -1 when there is no number.
int command(std::string_view text, std::string_view& rest)
{
    const std::size_t semicolon = text.find(';');
    const std::string_view digits = text.substr(0, semicolon);
    int value = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return -1;
    }
    rest = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    return value;
}

// Printable text only: a title is shown, never interpreted.
std::string printable(std::string_view text, std::size_t limit)
{
    std::string out;
    for (const char c : text.substr(0, limit)) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            out += c;
        }
    }
    return out;
}

std::string base64Decode(std::string_view text)
{
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else {
            continue; // padding and line breaks
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

std::string hex4(float component)
{
    const int value = static_cast<int>(std::lround(std::clamp(component, 0.0f, 1.0f) * 65535.0f));
    char digits[5];
    const char* hex = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        digits[i] = hex[(value >> (12 - 4 * i)) & 0xF];
    }
    digits[4] = 0;
    return digits;
}
} // namespace

void TerminalEngine::executeOsc()
{
    std::string_view rest;
    const int code = command(stringBuffer_, rest);
    switch (code) {
    case 0: // icon name and title
    case 2: // title
        title_ = printable(rest, titleLimit);
        events_.titleChanged = true;
        break;
    case 4: { // palette colours: pairs of index and ?; setting them is not supported
        while (!rest.empty()) {
            const std::size_t first = rest.find(';');
            if (first == std::string_view::npos) {
                break;
            }
            const std::string_view index = rest.substr(0, first);
            rest.remove_prefix(first + 1);
            const std::size_t second = rest.find(';');
            const std::string_view spec = rest.substr(0, second);
            rest = second == std::string_view::npos ? std::string_view() : rest.substr(second + 1);
            int value = -1;
            const auto [end, error] = std::from_chars(index.data(), index.data() + index.size(), value);
            if (spec == "?" && error == std::errc() && end == index.data() + index.size() && value >= 0 &&
                value <= 255) {
                colorReply(4, paletteColor(value), index);
            }
        }
        break;
    }
    case 7: // the working directory, as a file: URL
        workingDirectory_ = printable(rest, uriLimit);
        break;
    case 8: { // hyperlink: parameters ; URI, an empty URI ending the link
        const std::size_t semicolon = rest.find(';');
        const std::string_view uri =
            semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        pen_.link = styleLink(uri.empty() ? 0 : internHyperlink(uri), underlineColor(pen_.link));
        break;
    }
    case 10: // the text, background and cursor colours: only queries are answered
    case 11:
    case 12:
        // One OSC may ask for several in a row (10;?;? asks for 10 and 11).
        for (int c = code; c <= 12 && rest.substr(0, 1) == "?"; ++c) {
            colorReply(c, c == 10 ? baseTextColor_ : c == 11 ? reportedBackground_ : reportedCursor_, {});
            rest.remove_prefix(std::min<std::size_t>(rest.size(), 2));
        }
        break;
    case 52: { // clipboard: selection ; base64 data. Reading it is never answered.
        const std::size_t semicolon = rest.find(';');
        if (semicolon != std::string_view::npos) {
            clipboardWrite(rest.substr(semicolon + 1));
        }
        break;
    }
    default: // 1 (icon name), 104, 133 and the rest
        break;
    }
}

void TerminalEngine::colorReply(int code, Color color, std::string_view index)
{
    std::string answer = "\x1b]" + std::to_string(code) + ";";
    if (!index.empty()) {
        answer.append(index).append(";");
    }
    answer += "rgb:" + hex4(color.red) + "/" + hex4(color.green) + "/" + hex4(color.blue);
    answer += oscEndedByBel_ ? "\x07" : "\x1b\\";
    reply(answer);
}

void TerminalEngine::clipboardWrite(std::string_view payload)
{
    if (payload == "?") {
        return;
    }
    // A handful per chunk is plenty; a program cannot queue up the memory of many large ones.
    if (events_.clipboardWrites.size() < 4) {
        events_.clipboardWrites.push_back(base64Decode(payload));
    }
}

std::uint16_t TerminalEngine::internHyperlink(std::string_view uri)
{
    uri = uri.substr(0, uriLimit);
    if (!hyperlinks_.empty() && hyperlinks_.back() == uri) {
        return static_cast<std::uint16_t>(hyperlinks_.size());
    }
    if (hyperlinks_.size() >= hyperlinkLimit) {
        return 0;
    }
    hyperlinks_.emplace_back(uri);
    return static_cast<std::uint16_t>(hyperlinks_.size());
}

// The link of a style with this hyperlink (0 for none) and underline colour. When the table of
// pairs is full, later colours are dropped and the text's own colour underlines.
std::uint16_t TerminalEngine::styleLink(std::uint16_t hyperlinkId, std::uint32_t underline)
{
    if (underline == CellColor::defaultColor) {
        return hyperlinkId;
    }
    const std::uint64_t key = (std::uint64_t{hyperlinkId} << 32) | underline;
    if (const auto found = underlinedLinkIds_.find(key); found != underlinedLinkIds_.end()) {
        return found->second;
    }
    if (underlinedLinks_.size() >= hyperlinkLimit) {
        return hyperlinkId;
    }
    const auto link = static_cast<std::uint16_t>(underlinedLinkBase + underlinedLinks_.size());
    underlinedLinks_.push_back({hyperlinkId, underline});
    underlinedLinkIds_.emplace(key, link);
    return link;
}

// DECRQSS (DCS $ q) and XTGETTCAP (DCS + q) get the answer for an unknown request; other device
// control strings are ignored.
void TerminalEngine::executeDcs()
{
    const std::string_view text = stringBuffer_;
    if (text.starts_with("$q")) {
        reply("\x1bP0$r\x1b\\");
    } else if (text.starts_with("+q")) {
        reply("\x1bP0+r\x1b\\");
    }
}
