// The incremental line index. A frame drops the rows that left at the oldest end and the rows that
// scrolled off the screen into the history's part, then compares stamps over the screen's rows and
// lays out only the rows whose stamp is new.
#include "DocumentLayout.h"

#include <algorithm>

namespace {
constexpr std::size_t tallRowLimit = 1 << 16; // past it the oldest tall rows count one line again
}

void DocumentLayout::invalidate(double availableWidth)
{
    availableWidth_ = availableWidth;
    screen_.clear();
    screenLines_ = 0;
    historyRows_ = 0;
    tall_.clear();
    historyLayouts_.clear();
    historyOrder_.clear();
    known_ = false;
}

void DocumentLayout::update(const ScreenReader& screen, GlyphWidthSource& widths)
{
    reader_.emplace(screen);
    widths_ = &widths;
    const int count = static_cast<int>(screen.rowCount());
    const int top = std::max(screen.screenTop(), 0);
    const auto firstAbsolute = static_cast<std::int64_t>(screen.droppedRows());
    const bool sameRows = known_ && alternate_ == screen.alternateScreenActive() &&
                          screenRows_ == screen.rows() && generation_ == screen.rowsGeneration() &&
                          dropped_ <= screen.droppedRows();
    if (sameRows) {
        // The old screen's rows, in today's numbering, from `row` on; those above the new screen top
        // are history now. What their layouts found is not carried over: a row can change and scroll
        // off within one chunk, so they are laid out again when shown.
        std::int64_t row = historyRows_ - (firstAbsolute - firstAbsolute_);
        while (!screen_.empty() && row < top) {
            screen_.pop_front();
            ++row;
        }
        if (row != top) {
            screen_.clear();
        }
    } else {
        screen_.clear();
        tall_.clear();
    }
    firstAbsolute_ = firstAbsolute;
    dropTallBefore(firstAbsolute_);
    historyRows_ = top;
    while (historyOrder_.size() > cachedLayouts) {
        historyLayouts_.erase(historyOrder_.front());
        historyOrder_.pop_front();
    }

    const auto rows = static_cast<std::size_t>(std::max(count - top, 0));
    while (screen_.size() > rows) {
        screen_.pop_back();
    }
    int line = 0;
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t index = static_cast<std::size_t>(top) + i;
        const std::uint64_t stamp = screen.rowStamp(index);
        if (i == screen_.size()) {
            screen_.push_back({});
        } else if (screen_[i].stamp == stamp) {
            screen_[i].firstLine = line;
            line += screen_[i].layout.lineCount();
            continue;
        }
        LaidRow& laid = screen_[i];
        laid.stamp = stamp;
        laid.layout = layoutRow(screen.row(index), availableWidth_, widths);
        laid.firstLine = line;
        ++layoutsComputed_;
        line += laid.layout.lineCount();
    }
    screenLines_ = line;
    known_ = true;
    alternate_ = screen.alternateScreenActive();
    screenRows_ = screen.rows();
    dropped_ = screen.droppedRows();
    generation_ = screen.rowsGeneration();
}

int DocumentLayout::firstLineOf(int row) const
{
    if (row < historyRows_) {
        return row + static_cast<int>(extraBefore(firstAbsolute_ + row));
    }
    return historyLines() + screen_[static_cast<std::size_t>(row - historyRows_)].firstLine;
}

LinePosition DocumentLayout::rowAtLine(int line) const
{
    if (totalLines() == 0) {
        return {};
    }
    line = std::clamp(line, 0, totalLines() - 1);
    if (line >= historyLines()) {
        const int onScreen = line - historyLines();
        const auto next =
            std::upper_bound(screen_.begin(), screen_.end(), onScreen,
                             [](int value, const LaidRow& row) { return value < row.firstLine; });
        const int index = static_cast<int>(next - screen_.begin()) - 1;
        return {historyRows_ + index, onScreen - screen_[static_cast<std::size_t>(index)].firstLine};
    }
    if (tall_.empty()) {
        return {line, 0};
    }
    // The last history row whose first line is at or before `line`.
    int low = 0;
    int high = historyRows_ - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (firstLineOf(middle) <= line) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return {low, line - firstLineOf(low)};
}

const RowLayout& DocumentLayout::rowLayout(int row) const
{
    if (row >= historyRows_) {
        return screen_[static_cast<std::size_t>(row - historyRows_)].layout;
    }
    const std::uint64_t stamp = reader_->rowStamp(static_cast<std::size_t>(row));
    if (const auto found = historyLayouts_.find(stamp); found != historyLayouts_.end()) {
        if (found->second.lineCount() > 1) {
            noteTall(firstAbsolute_ + row, found->second.lineCount()); // the index may have been reset
        }
        return found->second;
    }
    while (historyOrder_.size() >= cachedLayouts) {
        historyLayouts_.erase(historyOrder_.front());
        historyOrder_.pop_front();
    }
    RowLayout& layout = historyLayouts_[stamp];
    historyOrder_.push_back(stamp);
    layout = layoutRow(reader_->row(static_cast<std::size_t>(row)), availableWidth_, *widths_);
    ++layoutsComputed_;
    if (layout.lineCount() > 1) {
        noteTall(firstAbsolute_ + row, layout.lineCount());
    }
    return layout;
}

std::int64_t DocumentLayout::extraTotal() const
{
    return tall_.empty() ? 0 : tall_.back().extraBefore + tall_.back().extra - tall_.front().extraBefore;
}

std::int64_t DocumentLayout::extraBefore(std::int64_t absoluteRow) const
{
    if (tall_.empty()) {
        return 0;
    }
    const auto at = std::lower_bound(tall_.begin(), tall_.end(), absoluteRow,
                                     [](const TallRow& tall, std::int64_t row) { return tall.row < row; });
    const std::int64_t before =
        at == tall_.end() ? tall_.back().extraBefore + tall_.back().extra : at->extraBefore;
    return before - tall_.front().extraBefore;
}

void DocumentLayout::noteTall(std::int64_t absoluteRow, int lines) const
{
    const auto at = std::lower_bound(tall_.begin(), tall_.end(), absoluteRow,
                                     [](const TallRow& tall, std::int64_t row) { return tall.row < row; });
    if (at != tall_.end() && at->row == absoluteRow) {
        return;
    }
    const std::int64_t before = at == tall_.begin() ? (tall_.empty() ? 0 : tall_.front().extraBefore)
                                                    : std::prev(at)->extraBefore + std::prev(at)->extra;
    const auto inserted = tall_.insert(at, TallRow{absoluteRow, lines - 1, before});
    for (auto later = std::next(inserted); later != tall_.end(); ++later) {
        later->extraBefore += lines - 1;
    }
    while (tall_.size() > tallRowLimit) {
        tall_.pop_front();
    }
}

void DocumentLayout::dropTallBefore(std::int64_t absoluteRow)
{
    while (!tall_.empty() && tall_.front().row < absoluteRow) {
        tall_.pop_front();
    }
}
