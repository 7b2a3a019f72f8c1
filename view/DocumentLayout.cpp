// The incremental line index. A frame drops the rows that left at the oldest end (their lines with
// them: first lines are absolute, so nothing shifts), then compares stamps from the old screen top
// on and lays out only the rows whose stamp is new.
#include "DocumentLayout.h"

#include "engine/ScreenReader.h"

#include <algorithm>

void DocumentLayout::invalidate(double availableWidth)
{
    availableWidth_ = availableWidth;
    rows_.clear();
    endLine_ = 0;
    multiLine_ = 0;
    known_ = false;
}

void DocumentLayout::update(const ScreenReader& screen, GlyphWidthSource& widths)
{
    const auto count = static_cast<std::size_t>(screen.rowCount());
    std::size_t firstToCheck = 0;
    const bool sameRows = known_ && alternate_ == screen.alternateScreenActive() &&
                          screenRows_ == screen.rows() && generation_ == screen.rowsGeneration() &&
                          dropped_ <= screen.droppedRows();
    if (sameRows) {
        const auto dropped = static_cast<std::size_t>(std::min<std::uint64_t>(
            screen.droppedRows() - dropped_, static_cast<std::uint64_t>(rows_.size())));
        for (std::size_t i = 0; i < dropped; ++i) {
            multiLine_ -= rows_.front().layout.lineCount() > 1 ? 1 : 0;
            rows_.pop_front();
        }
        firstToCheck = static_cast<std::size_t>(std::max(screenTop_ - static_cast<int>(dropped), 0));
    } else {
        rows_.clear();
        multiLine_ = 0;
        endLine_ = 0;
    }
    while (rows_.size() > count) {
        multiLine_ -= rows_.back().layout.lineCount() > 1 ? 1 : 0;
        rows_.pop_back();
    }
    firstToCheck = std::min(firstToCheck, rows_.size());
    std::int64_t line = firstToCheck == 0
                            ? (rows_.empty() ? endLine_ : rows_.front().firstLine)
                            : rows_[firstToCheck - 1].firstLine + rows_[firstToCheck - 1].layout.lineCount();
    for (std::size_t i = firstToCheck; i < count; ++i) {
        const std::uint64_t stamp = screen.rowStamp(i);
        if (i == rows_.size()) {
            rows_.push_back({});
        } else if (rows_[i].stamp == stamp) {
            rows_[i].firstLine = line;
            line += rows_[i].layout.lineCount();
            continue;
        }
        LaidRow& laid = rows_[i];
        multiLine_ -= laid.layout.lineCount() > 1 ? 1 : 0;
        laid.stamp = stamp;
        laid.layout = layoutRow(screen.row(i), availableWidth_, widths);
        laid.firstLine = line;
        ++layoutsComputed_;
        multiLine_ += laid.layout.lineCount() > 1 ? 1 : 0;
        line += laid.layout.lineCount();
    }
    endLine_ = line;
    known_ = true;
    alternate_ = screen.alternateScreenActive();
    screenRows_ = screen.rows();
    screenTop_ = screen.screenTop();
    dropped_ = screen.droppedRows();
    generation_ = screen.rowsGeneration();
}

LinePosition DocumentLayout::rowAtLine(int line) const
{
    if (rows_.empty()) {
        return {};
    }
    line = std::clamp(line, 0, totalLines() - 1);
    if (multiLine_ == 0) {
        return {line, 0};
    }
    const std::int64_t absolute = rows_.front().firstLine + line;
    const auto next =
        std::upper_bound(rows_.begin(), rows_.end(), absolute,
                         [](std::int64_t value, const LaidRow& row) { return value < row.firstLine; });
    const int row = static_cast<int>(next - rows_.begin()) - 1;
    return {row, static_cast<int>(absolute - rows_[static_cast<std::size_t>(row)].firstLine)};
}
