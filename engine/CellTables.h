// What cells refer to by number rather than hold: characters with combining marks, hyperlink URIs
// and underline colours. Every table is bounded; past its bound a mark is dropped, a link is not
// kept and an underline takes the text's colour.
#pragma once

#include "Cell.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CellTables {
public:
    // The text a cell shows: its character, or a character with combining marks.
    std::u32string_view cellText(const Cell& cell) const;
    // The character that stands for `text` (a base and its marks), or 0 when it is too long or the
    // table is full.
    char32_t cluster(std::u32string text);

    // A style's link is a hyperlink's number (1 on), or from underlinedLinkBase on an entry that
    // pairs one with an underline colour.
    // 0 when the table is full. Links with the same id and URI are one link wherever they are
    // printed (a link broken over lines); so are links without an id to the same URI, which keeps a
    // pager redrawing its page of links, or a listing run again, from filling the table.
    std::uint16_t internHyperlink(std::string_view uri, std::string_view id = {});
    std::uint16_t styleLink(std::uint16_t hyperlink, std::uint32_t underline);
    std::uint16_t hyperlinkOf(std::uint16_t link) const;
    std::string_view hyperlink(std::uint16_t link) const;
    // Inline: every rendition reads it.
    std::uint32_t underlineColor(std::uint16_t link) const
    {
        const std::size_t entry = link - std::size_t{underlinedLinkBase};
        return link >= underlinedLinkBase && entry < underlinedLinks_.size() ? underlinedLinks_[entry].color
                                                                             : CellColor::defaultColor;
    }

private:
    struct UnderlinedLink {
        std::uint16_t hyperlink;
        std::uint32_t color;
    };
    static constexpr std::uint16_t underlinedLinkBase = 0x8000;

    std::vector<std::u32string> clusters_;
    std::unordered_map<std::u32string, char32_t> clusterIds_;
    std::vector<std::string> hyperlinks_;
    std::unordered_map<std::string, std::uint16_t> hyperlinkIds_; // id (empty for none), NUL, URI
    std::vector<UnderlinedLink> underlinedLinks_;
    std::unordered_map<std::uint64_t, std::uint16_t> underlinedLinkIds_;
};
