// The interning tables cells refer to, and their bounds.
#include "CellTables.h"

namespace {
constexpr std::size_t clusterLimit = 1 << 16;
constexpr std::size_t markLimit = 16; // scalars of one cluster, the base included
constexpr std::size_t hyperlinkLimit = 4096;
constexpr std::size_t uriLimit = 2048;
} // namespace

std::u32string_view CellTables::cellText(const Cell& cell) const
{
    if (cell.character >= firstClusterCharacter) {
        const std::size_t id = cell.character - firstClusterCharacter;
        if (id < clusters_.size()) {
            return clusters_[id];
        }
    }
    return {&cell.character, cell.character == 0 ? 0u : 1u};
}

char32_t CellTables::cluster(std::u32string text)
{
    if (text.size() > markLimit) {
        return 0;
    }
    if (const auto found = clusterIds_.find(text); found != clusterIds_.end()) {
        return found->second;
    }
    if (clusters_.size() >= clusterLimit) {
        return 0;
    }
    const char32_t id = firstClusterCharacter + static_cast<char32_t>(clusters_.size());
    clusters_.push_back(text);
    clusterIds_.emplace(std::move(text), id);
    return id;
}

std::uint16_t CellTables::internHyperlink(std::string_view uri, std::string_view id)
{
    uri = uri.substr(0, uriLimit);
    std::string key;
    key.append(id.substr(0, uriLimit)).append(1, '\0').append(uri);
    if (const auto found = hyperlinkIds_.find(key); found != hyperlinkIds_.end()) {
        return found->second;
    }
    if (hyperlinks_.size() >= hyperlinkLimit) {
        return 0;
    }
    hyperlinks_.emplace_back(uri);
    const auto number = static_cast<std::uint16_t>(hyperlinks_.size());
    hyperlinkIds_.emplace(std::move(key), number);
    return number;
}

// The link of a style with this hyperlink (0 for none) and underline colour. When the table of
// pairs is full, later colours are dropped and the text's own colour underlines.
std::uint16_t CellTables::styleLink(std::uint16_t hyperlink, std::uint32_t underline)
{
    if (underline == CellColor::defaultColor) {
        return hyperlink;
    }
    const std::uint64_t key = (std::uint64_t{hyperlink} << 32) | underline;
    if (const auto found = underlinedLinkIds_.find(key); found != underlinedLinkIds_.end()) {
        return found->second;
    }
    if (underlinedLinks_.size() >= hyperlinkLimit) {
        return hyperlink;
    }
    const auto link = static_cast<std::uint16_t>(underlinedLinkBase + underlinedLinks_.size());
    underlinedLinks_.push_back({hyperlink, underline});
    underlinedLinkIds_.emplace(key, link);
    return link;
}

std::uint16_t CellTables::hyperlinkOf(std::uint16_t link) const
{
    if (link < underlinedLinkBase) {
        return link;
    }
    const std::size_t entry = link - std::size_t{underlinedLinkBase};
    return entry < underlinedLinks_.size() ? underlinedLinks_[entry].hyperlink : 0;
}

std::string_view CellTables::hyperlink(std::uint16_t link) const
{
    link = hyperlinkOf(link);
    return link > 0 && link <= hyperlinks_.size() ? std::string_view(hyperlinks_[link - 1u])
                                                  : std::string_view();
}
