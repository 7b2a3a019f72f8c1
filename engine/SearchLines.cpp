// Reading the rows back as text for a search: cells to characters (a wide character's second half
// adds nothing, combining marks follow their base), blanks after the text dropped.
#include "SearchLines.h"

#include "TerminalEngine.h"

#include <algorithm>
#include <span>

namespace {

// The cells' characters after what the line holds: a wide character's second half adds nothing, a
// cell with combining marks adds them all. `end` becomes the cell after the last one that is not blank.
void appendCells(SearchLine& line, const TerminalEngine& engine, std::span<const Cell> cells, int firstCell,
                 int& end)
{
    // Room for one character a cell, written in place; a cell with combining marks makes more.
    std::size_t n = line.text.size();
    line.text.resize(n + cells.size());
    line.cells.resize(n + cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        if (cell.style.flags & CellFlags::wideTail) {
            continue;
        }
        const int at = firstCell + static_cast<int>(i);
        if (cell.character < firstClusterCharacter) { // most cells: one character, no lookup
            line.text[n] = cell.character == 0 ? U' ' : cell.character;
            line.cells[n++] = at;
        } else {
            const std::u32string_view text = engine.cellText(cell);
            line.text.resize(line.text.size() + text.size());
            line.cells.resize(line.cells.size() + text.size());
            for (const char32_t c : text) {
                line.text[n] = c;
                line.cells[n++] = at;
            }
        }
        if (cell.character != U' ' && cell.character != 0) {
            end = at + ((cell.style.flags & CellFlags::wideHead) ? 2 : 1);
        }
    }
    line.text.resize(n);
    line.cells.resize(n);
}

// Blanks after the text are the grid's padding, not what was written.
void finishLine(SearchLine& line, int end)
{
    while (!line.cells.empty() && line.cells.back() >= end) {
        line.text.pop_back();
        line.cells.pop_back();
    }
    line.cells.push_back(end);
}

} // namespace

std::pair<std::int64_t, int> SearchLine::position(int cell) const
{
    const auto after = std::upper_bound(rowStarts.begin(), rowStarts.end(), cell);
    const auto row = static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - rowStarts.begin() - 1, 0));
    return {firstRow + static_cast<std::int64_t>(row), cell - rowStarts[row]};
}

SearchLines::SearchLines(const TerminalEngine& engine, std::int64_t stopRow)
    : engine_(engine), stopRow_(stopRow)
{
    readTail();
}

void SearchLines::readTail()
{
    const auto dropped = static_cast<std::int64_t>(engine_.droppedRows());
    const std::int64_t historyRows = engine_.historyRows();
    tailRow_ = dropped + historyRows;
    nextBefore_ = tailRow_;
    historyDone_ = historyRows == 0;
    SearchLine line;
    int cell = 0;
    int end = 0;
    if (!engine_.alternateScreenActive() && engine_.history().openLine()) {
        // The screen's first row goes on from the history's newest line: read them as one.
        engine_.history().readLinesBefore(
            tailRow_, [&](std::int64_t first, std::span<const Cell> cells, std::span<const int> starts) {
                if (first < tailRow_ && line.rowStarts.empty()) {
                    line.firstRow = first;
                    line.rowStarts.assign(starts.begin(), starts.end());
                    appendCells(line, engine_, cells, 0, end);
                    cell = static_cast<int>(cells.size());
                }
            });
        tailRow_ = line.firstRow;
        nextBefore_ = tailRow_;
    }
    const auto rowCount = static_cast<std::int64_t>(engine_.rowCount());
    for (std::int64_t index = historyRows; index < rowCount; ++index) {
        auto cells = engine_.row(static_cast<std::size_t>(index));
        if (engine_.rowPadded(static_cast<std::size_t>(index))) {
            cells = cells.first(cells.size() - 1);
        }
        if (line.rowStarts.empty()) {
            line.firstRow = dropped + index;
        }
        line.rowStarts.push_back(cell);
        appendCells(line, engine_, cells, cell, end);
        cell += static_cast<int>(cells.size());
        if (!engine_.rowWrapped(static_cast<std::size_t>(index)) || index + 1 == rowCount) {
            finishLine(line, end);
            pending_.push_back(std::move(line));
            ++pendingEnd_;
            line = SearchLine{};
            cell = 0;
            end = 0;
        }
    }
    std::reverse(pending_.begin(), pending_.end()); // newest first
}

void SearchLines::readHistory()
{
    pendingNext_ = 0;
    pendingEnd_ = 0;
    if (historyDone_ || nextBefore_ <= stopRow_) {
        historyDone_ = true;
        return;
    }
    // Newest first into the slots, which keep their storage from one block to the next.
    const std::int64_t oldest = engine_.history().readLinesBefore(
        nextBefore_, [&](std::int64_t first, std::span<const Cell> cells, std::span<const int> starts) {
            if (pendingEnd_ == pending_.size()) {
                pending_.emplace_back();
            }
            SearchLine& line = pending_[pendingEnd_++];
            line.firstRow = first;
            line.text.clear();
            line.cells.clear();
            line.rowStarts.assign(starts.begin(), starts.end());
            int end = 0;
            appendCells(line, engine_, cells, 0, end);
            finishLine(line, end);
        });
    if (oldest < 0) {
        historyDone_ = true;
        return;
    }
    nextBefore_ = oldest;
}

bool SearchLines::previous(SearchLine& line)
{
    if (pendingNext_ == pendingEnd_) {
        readHistory();
    }
    if (pendingNext_ == pendingEnd_ || pending_[pendingNext_].firstRow < stopRow_) {
        return false;
    }
    std::swap(line, pending_[pendingNext_++]); // the caller's old storage is reused for a later line
    return true;
}
