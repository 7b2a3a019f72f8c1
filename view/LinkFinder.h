// Links in the grid's text: OSC 8 hyperlinks, whose cells share a link number, and URLs written out
// in the text (http, https, ftp, file, mailto), also where an automatic wrap breaks one over rows.
// Finding a link opens nothing; whether one may be opened is the view's decision.
#pragma once

#include "TextSelection.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ScreenReader;

// Cells [from, to) of one kept row.
struct LinkSpan {
    int row = 0;
    int from = 0;
    int to = 0;

    friend bool operator==(const LinkSpan&, const LinkSpan&) = default;
};

struct FoundLink {
    std::string target;          // UTF-8: the hyperlink's URI, or the URL as written
    bool hyperlink = false;      // OSC 8: the text may name something other than where it leads
    std::vector<LinkSpan> spans; // its cells among the rows looked at, in reading order

    bool covers(TextPosition cell) const;
    friend bool operator==(const FoundLink&, const FoundLink&) = default;
};

namespace LinkFinder {
// A URL's characters [begin, end) in a text of one scalar per cell.
struct Range {
    std::size_t begin = 0;
    std::size_t end = 0;

    friend bool operator==(const Range&, const Range&) = default;
};
// The URLs in a text, left to right. One ends at a blank, a control, a wide character or a
// character URLs leave out (<, >, ", `, {, }, |, \, ^); sentence punctuation and quotes at its end
// are not part of it, nor is a closing bracket that opens nowhere inside it.
std::vector<Range> findUrls(std::u32string_view text);

// The link at a cell (0 <= row < rowCount): the OSC 8 hyperlink there, its cells gathered from the
// rows [firstRow, lastRow] (the rows shown; others are not looked at), else the URL through the
// cell in its line's text (its rows joined where they wrapped, a few dozen rows either way).
std::optional<FoundLink> linkAt(const ScreenReader& screen, TextPosition cell, int firstRow, int lastRow);
} // namespace LinkFinder
