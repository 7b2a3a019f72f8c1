// Link detection. URLs are found by a hand-written scan rather than a regular expression: hovering
// runs it on every pointer move over a new cell, and a line may be thousands of cells long.
#include "LinkFinder.h"

#include "engine/CharacterWidth.h"
#include "engine/ScreenReader.h"
#include "engine/Utf8Encoder.h"

#include <algorithm>
#include <array>

namespace {

// Rows joined on either side of the pointer's row when a line wraps: a URL longer than this many
// rows is cut, and hovering stays cheap however long the line.
constexpr int joinedRowLimit = 32;

constexpr std::array<std::u32string_view, 5> schemes{U"https://", U"http://", U"ftp://", U"file://",
                                                     U"mailto:"};

char32_t lowerAscii(char32_t c)
{
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

bool isAsciiAlnum(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

// The length of the scheme starting at `at`, 0 for none.
std::size_t schemeAt(std::u32string_view text, std::size_t at)
{
    for (const std::u32string_view scheme : schemes) {
        if (text.size() - at < scheme.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < scheme.size() && same; ++i) {
            same = lowerAscii(text[at + i]) == scheme[i];
        }
        if (same) {
            return scheme.size();
        }
    }
    return 0;
}

bool inUrl(char32_t c)
{
    if (c <= U' ' || c == 0x7f) {
        return false;
    }
    if (c < 0x80) {
        return std::u32string_view(U"<>\"`{}|\\^").find(c) == std::u32string_view::npos;
    }
    // Letters of other scripts stay; C1 controls, spaces and wide (CJK) text end the URL.
    if (c < 0xa0 || c == 0xa0 || (c >= 0x2000 && c <= 0x200b) || c == 0x3000 || c == 0xfeff) {
        return false;
    }
    return characterWidth(c) == 1;
}

// Trailing characters that end a sentence or close a quote or bracket around the URL.
std::size_t trimmedEnd(std::u32string_view text, std::size_t begin, std::size_t end)
{
    while (end > begin) {
        const char32_t last = text[end - 1];
        if (std::u32string_view(U".,;:!?'*").find(last) != std::u32string_view::npos) {
            --end;
            continue;
        }
        const char32_t open = last == U')' ? U'(' : last == U']' ? U'[' : 0;
        if (open == 0) {
            break;
        }
        const auto url = text.substr(begin, end - begin);
        if (std::count(url.begin(), url.end(), open) >= std::count(url.begin(), url.end(), last)) {
            break; // Wikipedia's ..._(album): the bracket is the URL's own
        }
        --end;
    }
    return end;
}

} // namespace

bool FoundLink::covers(TextPosition cell) const
{
    return std::any_of(spans.begin(), spans.end(), [cell](const LinkSpan& span) {
        return span.row == cell.row && cell.column >= span.from && cell.column < span.to;
    });
}

namespace LinkFinder {

std::vector<Range> findUrls(std::u32string_view text)
{
    std::vector<Range> found;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t scheme = (at == 0 || !isAsciiAlnum(text[at - 1])) ? schemeAt(text, at) : 0;
        if (scheme == 0) {
            ++at;
            continue;
        }
        std::size_t end = at + scheme;
        while (end < text.size() && inUrl(text[end])) {
            ++end;
        }
        end = trimmedEnd(text, at + scheme, end);
        // Something must follow the scheme, and a host or path must start with a letter, digit or /.
        const bool named = end > at + scheme && (isAsciiAlnum(text[at + scheme]) ||
                                                 text[at + scheme] == U'/' || text[at + scheme] > 0x7f);
        if (named) {
            found.push_back({at, end});
            at = end;
        } else {
            at += scheme;
        }
    }
    return found;
}

namespace {

std::optional<FoundLink> hyperlinkAt(const ScreenReader& screen, TextPosition cell, std::uint16_t link,
                                     int firstRow, int lastRow)
{
    const std::uint16_t id = screen.hyperlinkId(link);
    FoundLink found{std::string(screen.hyperlink(link)), true, {}};
    const int rows = static_cast<int>(screen.rowCount());
    firstRow = std::clamp(std::min(firstRow, cell.row), 0, rows - 1);
    lastRow = std::clamp(std::max(lastRow, cell.row), 0, rows - 1);
    for (int row = firstRow; row <= lastRow; ++row) {
        const auto cells = screen.row(static_cast<std::size_t>(row));
        int from = -1;
        for (int c = 0; c <= static_cast<int>(cells.size()); ++c) {
            const bool in = c < static_cast<int>(cells.size()) &&
                            cells[static_cast<std::size_t>(c)].style.link != 0 &&
                            screen.hyperlinkId(cells[static_cast<std::size_t>(c)].style.link) == id;
            if (in && from < 0) {
                from = c;
            } else if (!in && from >= 0) {
                found.spans.push_back({row, from, c});
                from = -1;
            }
        }
    }
    return found;
}

std::optional<FoundLink> urlAt(const ScreenReader& screen, TextPosition cell)
{
    const int rows = static_cast<int>(screen.rowCount());
    int first = cell.row;
    while (first > 0 && cell.row - first < joinedRowLimit &&
           screen.rowWrapped(static_cast<std::size_t>(first - 1))) {
        --first;
    }
    int last = cell.row;
    while (last + 1 < rows && last - cell.row < joinedRowLimit &&
           screen.rowWrapped(static_cast<std::size_t>(last))) {
        ++last;
    }
    // One scalar per character: a character's base stands for it, a wide one's second cell is left out.
    std::u32string text;
    std::vector<TextPosition> positions;
    std::size_t pointed = std::u32string::npos;
    for (int row = first; row <= last; ++row) {
        const auto cells = screen.row(static_cast<std::size_t>(row));
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            const Cell& at = cells[static_cast<std::size_t>(c)];
            if (at.style.flags & CellFlags::wideTail) {
                continue;
            }
            if (row == cell.row && (c == cell.column || c + 1 == cell.column)) {
                pointed = text.size();
            }
            const std::u32string_view shown = screen.cellText(at);
            text += shown.empty() ? U' ' : shown.front();
            positions.push_back({row, c});
        }
    }
    for (const Range& url : findUrls(text)) {
        if (pointed < url.begin || pointed >= url.end) {
            continue;
        }
        FoundLink found;
        for (std::size_t i = url.begin; i < url.end; ++i) {
            const TextPosition position = positions[i];
            const Cell& at =
                screen.row(static_cast<std::size_t>(position.row))[static_cast<std::size_t>(position.column)];
            for (const char32_t c : screen.cellText(at)) {
                appendUtf8(found.target, c);
            }
            if (!found.spans.empty() && found.spans.back().row == position.row) {
                found.spans.back().to = position.column + 1;
            } else {
                found.spans.push_back({position.row, position.column, position.column + 1});
            }
        }
        return found;
    }
    return std::nullopt;
}

} // namespace

std::optional<FoundLink> linkAt(const ScreenReader& screen, TextPosition cell, int firstRow, int lastRow)
{
    if (cell.row < 0 || cell.row >= static_cast<int>(screen.rowCount())) {
        return std::nullopt;
    }
    const auto cells = screen.row(static_cast<std::size_t>(cell.row));
    if (cell.column < 0 || cell.column >= static_cast<int>(cells.size())) {
        return std::nullopt;
    }
    const std::uint16_t link = cells[static_cast<std::size_t>(cell.column)].style.link;
    if (link != 0 && !screen.hyperlink(link).empty()) {
        return hyperlinkAt(screen, cell, link, firstRow, lastRow);
    }
    return urlAt(screen, cell);
}

} // namespace LinkFinder
