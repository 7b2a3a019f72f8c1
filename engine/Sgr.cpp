// Graphic rendition: the 256-colour palette, and SGR (CSI ... m) for the pen's colours and attributes,
// with xterm's 256-colour (38;5;c) and direct-colour (38;2;r;g;b) forms, in semicolon and colon form.
#include "Palette.h"
#include "TerminalEngine.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr std::array<Color, 8> normalPalette{
    NamedColors::blackColor,        NamedColors::systemRedColor,  NamedColors::systemGreenColor,
    NamedColors::systemYellowColor, NamedColors::systemBlueColor, NamedColors::systemPurpleColor,
    NamedColors::systemCyanColor,   NamedColors::whiteColor,
};

constexpr Color paletteEntry(std::int64_t index, bool bright)
{
    // Negative indices read as 0; above 7 (never passed by the SGR rules) the hue repeats.
    const std::size_t entry = index < 0 ? 0 : static_cast<std::size_t>(index % 8);
    if (bright && entry == 0) {
        return NamedColors::darkGrayColor; // bright black is the only bright entry of its own
    }
    return normalPalette[entry];
}

// The 6 x 6 x 6 colour cube's levels: 0, 95, 135, 175, 215 and 255 out of 255.
constexpr std::array<double, 6> cubeLevels{0.0,           95.0 / 255.0,  135.0 / 255.0,
                                           175.0 / 255.0, 215.0 / 255.0, 1.0};

constexpr Color computeIndexedColor(std::int64_t c)
{
    if (c <= 15) {
        // C++'s % keeps the sign of c, so every negative c gives index 0 (black).
        return paletteEntry(c % 8, c > 7);
    }
    if (c <= 231) {
        const std::int64_t k = c - 16;
        return colorFromComponents(cubeLevels[static_cast<std::size_t>(k / 36)],
                                   cubeLevels[static_cast<std::size_t>((k / 6) % 6)],
                                   cubeLevels[static_cast<std::size_t>(k % 6)]);
    }
    // The grey ramp, continued unclamped past 255. Computed in double, so even INT64_MAX gives a
    // finite level (about 3.6e17) instead of overflowing.
    const double grey = ((static_cast<double>(c) - 232.0) * 10.0 + 8.0) / 255.0;
    return colorFromComponents(grey, grey, grey);
}

// The 256 palette colours, computed once.
constexpr std::array<Color, 256> indexedColors = [] {
    std::array<Color, 256> colors{};
    for (std::size_t c = 0; c < colors.size(); ++c) {
        colors[c] = computeIndexedColor(static_cast<std::int64_t>(c));
    }
    return colors;
}();

std::uint8_t level(std::int64_t value)
{
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

// Sets a flag on or off.
void flag(std::uint16_t& flags, std::uint16_t bit, bool on)
{
    flags = static_cast<std::uint16_t>(on ? flags | bit : flags & ~bit);
}

// The colour of 38, 48 or 58 at the front of `values` (then 5;n or 2;r;g;b, as semicolon or colon
// pieces); how many values it took beyond the code, 0 when there were too few (the code is then
// skipped alone and what follows is read as codes of its own). With colons, 2 may carry a colour
// space before r;g;b.
std::size_t extendedColor(std::span<const std::int64_t> values, std::size_t pieces, std::uint32_t& color)
{
    const std::size_t size = values.size();
    if (size > 2 && values[1] == 5) {
        color = CellColor::indexed(static_cast<int>(level(values[2])));
        return 2;
    }
    if (size > 1 && values[1] == 2) {
        const std::size_t first = pieces == 6 ? 3 : 2; // 38:2:space:r:g:b
        if (first + 2 < size) {
            color = CellColor::rgb(level(values[first]), level(values[first + 1]), level(values[first + 2]));
            return first + 2;
        }
    }
    return 0;
}

// SGR 38, 48 and 58: the one place an extended colour goes into the pen. The underline colour is
// kept apart until the whole rendition is read, as it lives in the pen's link.
void setExtendedColor(CellStyle& pen, std::uint32_t& underline, std::int64_t code, std::uint32_t color)
{
    (code == 38 ? pen.foreground : code == 48 ? pen.background : underline) = color;
}

} // namespace

Color TerminalEngine::paletteColor(int index)
{
    return indexedColors[static_cast<std::size_t>(std::clamp(index, 0, 255))];
}

Color TerminalEngine::ansiColor(std::int64_t index, bool bright)
{
    return paletteEntry(index, bright);
}

// SGR over the values of one sequence. groups, when given, says for each value how many colon
// pieces its group has (38:2::r:g:b is one group of six); a colour group's values are its own, so a
// group shorter than its form needs is ignored rather than read into the next code. Without groups
// every value is its own group and a colour takes the values after it.
static void applyRendition(CellStyle& pen, std::uint32_t& underline, std::span<const std::int64_t> values,
                           std::span<const std::uint8_t> groups)
{
    using namespace CellFlags;
    const std::size_t size = values.size();
    // A colour alone (what 256-colour and 24-bit output send before every few characters) needs no
    // loop.
    if (groups.empty() && size >= 3 && (values[0] == 38 || values[0] == 48 || values[0] == 58)) {
        std::uint32_t color = 0;
        if (extendedColor(values, 1, color) == size - 1) {
            setExtendedColor(pen, underline, values[0], color);
            return;
        }
    }
    if (values.empty()) {
        pen = CellStyle{.link = pen.link};
        underline = CellColor::defaultColor;
        return;
    }
    for (std::size_t i = 0; i < size; ++i) {
        const std::int64_t x = values[i];
        const std::size_t pieces = groups.empty() ? 1 : groups[i];
        switch (x) {
        case 0:
            pen = CellStyle{.link = pen.link};
            underline = CellColor::defaultColor;
            break;
        case 1:
            flag(pen.flags, bold, true);
            break;
        case 2:
            flag(pen.flags, faint, true);
            break;
        case 3:
            flag(pen.flags, italic, true);
            break;
        case 4: { // 4:0 to 4:5 choose the underline's style
            Underline style = Underline::single;
            if (pieces > 1 && i + 1 < size) {
                style = values[i + 1] >= 0 && values[i + 1] <= 5 ? static_cast<Underline>(values[i + 1])
                                                                 : Underline::single;
            }
            pen.flags = withUnderline(pen.flags, style);
            break;
        }
        case 5:
        case 6:
            flag(pen.flags, blink, true);
            break;
        case 7:
            flag(pen.flags, inverse, true);
            break;
        case 8:
            flag(pen.flags, hidden, true);
            break;
        case 9:
            flag(pen.flags, strikethrough, true);
            break;
        case 21:
            pen.flags = withUnderline(pen.flags, Underline::doubled);
            break;
        case 22:
            flag(pen.flags, bold | faint, false);
            break;
        case 23:
            flag(pen.flags, italic, false);
            break;
        case 24:
            pen.flags = withUnderline(pen.flags, Underline::none);
            break;
        case 25:
            flag(pen.flags, blink, false);
            break;
        case 27:
            flag(pen.flags, inverse, false);
            break;
        case 28:
            flag(pen.flags, hidden, false);
            break;
        case 29:
            flag(pen.flags, strikethrough, false);
            break;
        case 38:
        case 48:
        case 58: {
            const std::span<const std::int64_t> own =
                groups.empty() ? values.subspan(i) : values.subspan(i, pieces);
            std::uint32_t color = 0;
            const std::size_t used = extendedColor(own, pieces, color);
            if (used > 0) {
                setExtendedColor(pen, underline, x, color);
            }
            if (groups.empty()) {
                i += used;
            }
            break;
        }
        case 39:
            pen.foreground = CellColor::defaultColor;
            break;
        case 59:
            underline = CellColor::defaultColor;
            break;
        case 49:
            pen.background = CellColor::defaultColor;
            break;
        default:
            if (x >= 30 && x <= 37) {
                pen.foreground = CellColor::indexed(static_cast<int>(x - 30));
            } else if (x >= 40 && x <= 47) {
                pen.background = CellColor::indexed(static_cast<int>(x - 40));
            } else if (x >= 90 && x <= 97) {
                pen.foreground = CellColor::indexed(static_cast<int>(x - 90 + 8));
            } else if (x >= 100 && x <= 107) {
                pen.background = CellColor::indexed(static_cast<int>(x - 100 + 8));
            }
            break;
        }
        // The rest of a colon group belongs to its code: 4:3 is one code.
        if (pieces > 1) {
            i += pieces - 1;
        }
    }
}

void TerminalEngine::applyGraphicRendition(std::span<const std::int64_t> values)
{
    applyRenditionToPen(values, {});
}

// The underline colour lives in the pen's link, which only the engine can make.
void TerminalEngine::applyRenditionToPen(std::span<const std::int64_t> values,
                                         std::span<const std::uint8_t> groups)
{
    const std::uint32_t before = underlineColor(pen_.link);
    std::uint32_t underline = before;
    applyRendition(pen_, underline, values, groups);
    if (underline != before) [[unlikely]] {
        pen_.link = styleLink(hyperlinkOf(pen_.link), underline);
    }
}

// SGR with colon sub-parameters: the values in order, and for each the size of the colon group it
// starts.
template <typename Char> void TerminalEngine::applyGraphicRenditionText(const Char* p, const Char* end)
{
    std::vector<std::int64_t> values;
    std::vector<std::uint8_t> groups;
    std::size_t groupStart = 0;
    while (true) {
        const Char* pieceEnd = p;
        while (pieceEnd < end && *pieceEnd != ';' && *pieceEnd != ':') {
            ++pieceEnd;
        }
        std::int64_t value = 0;
        bool good = pieceEnd > p && pieceEnd - p <= 9;
        for (const Char* d = p; good && d < pieceEnd; ++d) {
            good = *d >= '0' && *d <= '9';
            value = value * 10 + (*d - '0');
        }
        values.push_back(good ? value : 0);
        groups.push_back(1);
        if (values.size() > 256) {
            return; // no rendition needs that many
        }
        if (pieceEnd == end || *pieceEnd == ';') {
            const auto size =
                static_cast<std::uint8_t>(std::min<std::size_t>(values.size() - groupStart, 255));
            groups[groupStart] = size;
            groupStart = values.size();
        }
        if (pieceEnd == end) {
            break;
        }
        p = pieceEnd + 1;
    }
    applyRenditionToPen(values, groups);
}

template void TerminalEngine::applyGraphicRenditionText<char32_t>(const char32_t*, const char32_t*);
template void TerminalEngine::applyGraphicRenditionText<std::uint8_t>(const std::uint8_t*,
                                                                      const std::uint8_t*);
