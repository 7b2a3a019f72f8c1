// Per-frame line index. The cost per update is one hash lookup per row; the cache is swept when it
// holds far more layouts than rows, so it never grows past a small multiple of the history.
#include "DocumentLayout.h"

#include "engine/TerminalEngine.h"

#include <algorithm>

void DocumentLayout::invalidate(double availableWidth)
{
    availableWidth_ = availableWidth;
    cache_.clear();
    rows_.clear();
    firstLines_.clear();
}

void DocumentLayout::update(const TerminalEngine& engine, GlyphWidthSource& widths)
{
    const auto count = engine.rowCount();
    if (cache_.size() > 2 * count + 256) {
        std::unordered_map<std::uint64_t, RowLayout> kept;
        kept.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto found = cache_.find(engine.rowStamp(i));
            if (found != cache_.end()) {
                kept.emplace(found->first, std::move(found->second));
            }
        }
        cache_ = std::move(kept);
    }
    rows_.resize(count);
    firstLines_.resize(count + 1);
    firstLines_[0] = 0;
    allSingleLine_ = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t stamp = engine.rowStamp(i);
        auto found = cache_.find(stamp);
        if (found == cache_.end()) {
            found = cache_.emplace(stamp, layoutRow(engine.row(i), availableWidth_, widths)).first;
            ++layoutsComputed_;
        }
        rows_[i] = &found->second;
        const int lines = found->second.lineCount();
        allSingleLine_ = allSingleLine_ && lines == 1;
        firstLines_[i + 1] = firstLines_[i] + lines;
    }
}

LinePosition DocumentLayout::rowAtLine(int line) const
{
    if (rowCount() <= 0) {
        return {};
    }
    line = std::clamp(line, 0, totalLines() - 1);
    if (allSingleLine_) {
        return {line, 0};
    }
    const auto next = std::upper_bound(firstLines_.begin(), firstLines_.end(), line);
    const int row = static_cast<int>(next - firstLines_.begin()) - 1;
    return {row, line - firstLines_[static_cast<std::size_t>(row)]};
}
