// The shell's semantic prompt marks (OSC 133) on the primary screen's rows and history lines, and
// what they tell the owner: where a command started and how it ended.
#include "Screen.h"
#include "Utf8Encoder.h"

#include <charconv>

namespace {
constexpr std::size_t commandLineLimit = 256;
constexpr std::size_t folderTableLimit = 1024; // of at most 2048 bytes each
} // namespace

void Screen::semanticMark(std::string_view mark)
{
    if (mark.empty() || alternateActive_) {
        return;
    }
    const int row = line(cursorRow_);
    switch (mark[0]) {
    case 'A':
        inputRow_ = -1;
        commandRunning_ = false;
        noteFolder();
        break;
    case 'B':
        grid_->addMarks(row, LineMarks::input);
        inputRow_ = cursorRow_;
        inputColumn_ = cursorColumn_;
        break;
    case 'C':
        grid_->addMarks(row, LineMarks::output);
        events_.commandStarted = true;
        events_.commandLine = commandLine();
        inputRow_ = -1;
        commandRunning_ = true;
        break;
    case 'D': {
        grid_->addMarks(row, LineMarks::end);
        if (!commandRunning_) {
            break; // an empty command line: nothing ran
        }
        commandRunning_ = false;
        // D;status, anything after a further ';' ignored; a missing or bad status counts as success.
        int status = 0;
        if (mark.size() > 2 && mark[1] == ';') {
            const std::string_view digits = mark.substr(2, mark.find(';', 2) - 2);
            std::from_chars(digits.data(), digits.data() + digits.size(), status);
        }
        events_.commandFinished = true;
        events_.commandStatus = status;
        if (status != 0) {
            markFailedPrompt();
        }
        break;
    }
    default:
        break;
    }
}

// The command's prompt is the nearest marked one above: on the screen, or scrolled into the history.
void Screen::markFailedPrompt()
{
    for (int r = line(cursorRow_); r >= 0; --r) {
        if (grid_->promptStart(r)) {
            grid_->addMarks(r, LineMarks::failed);
            return;
        }
    }
    const auto end = static_cast<std::int64_t>(history_.droppedRows()) + history_.rowCount();
    const std::int64_t prompt = history_.markedRowBefore(end, LineMarks::prompt);
    if (prompt >= 0) {
        history_.markLineAt(prompt, LineMarks::failed);
    }
}

// What was typed after the prompt's end, as far as the cursor's row, rows joined where they wrap.
std::string Screen::commandLine() const
{
    std::string text;
    if (inputRow_ < 0 || inputRow_ > cursorRow_) {
        return text;
    }
    for (int r = inputRow_; r <= cursorRow_ && text.size() < commandLineLimit; ++r) {
        const auto cells = grid_->row(line(r));
        std::string row;
        for (std::size_t c = r == inputRow_ ? static_cast<std::size_t>(inputColumn_) : 0; c < cells.size();
             ++c) {
            if (!(cells[c].style.flags & CellFlags::wideTail)) {
                for (const char32_t ch : tables_.cellText(cells[c])) {
                    appendUtf8(row, ch);
                }
            }
        }
        text += row.substr(0, row.find_last_not_of(' ') + 1);
        if (!grid_->wrapped(line(r))) {
            break;
        }
    }
    if (text.size() > commandLineLimit) {
        std::size_t cut = commandLineLimit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut; // not inside a character
        }
        text.resize(cut);
    }
    return text;
}

LineMarks::Bits Screen::rowMarks(std::size_t index) const
{
    if (alternateActive_) {
        return 0;
    }
    const auto i = static_cast<std::int64_t>(index);
    const std::int64_t h = historyRows();
    if (i >= h) {
        return grid_->marks(static_cast<int>(i - h));
    }
    std::vector<std::pair<std::int64_t, LineMarks::Bits>> found;
    const auto absolute = static_cast<std::int64_t>(history_.droppedRows()) + i;
    history_.markedLines(absolute, absolute + 1, found);
    return found.empty() ? 0 : found.front().second;
}

std::int64_t Screen::markedRowBefore(std::int64_t index, LineMarks::Bits mask) const
{
    if (alternateActive_) {
        return -1;
    }
    const std::int64_t h = historyRows();
    for (std::int64_t i = std::min<std::int64_t>(index, static_cast<std::int64_t>(rowCount())) - 1; i >= h;
         --i) {
        if (grid_->marks(static_cast<int>(i - h)) & mask) {
            return i;
        }
    }
    const auto dropped = static_cast<std::int64_t>(history_.droppedRows());
    const std::int64_t row = history_.markedRowBefore(dropped + std::min(index, h), mask);
    return row < 0 ? -1 : row - dropped;
}

std::int64_t Screen::markedRowAfter(std::int64_t index, LineMarks::Bits mask) const
{
    if (alternateActive_) {
        return -1;
    }
    const std::int64_t h = historyRows();
    if (index < h - 1) {
        const auto dropped = static_cast<std::int64_t>(history_.droppedRows());
        const std::int64_t row = history_.markedRowAfter(dropped + index, mask);
        if (row >= 0) {
            return row - dropped;
        }
    }
    for (std::int64_t i = std::max(index + 1, h); i < static_cast<std::int64_t>(rowCount()); ++i) {
        if (grid_->marks(static_cast<int>(i - h)) & mask) {
            return i;
        }
    }
    return -1;
}

void Screen::markedRows(std::int64_t first, std::int64_t last,
                        std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const
{
    if (alternateActive_) {
        return;
    }
    const std::int64_t h = historyRows();
    if (first < h) {
        const auto dropped = static_cast<std::int64_t>(history_.droppedRows());
        const std::size_t from = out.size();
        history_.markedLines(dropped + first, dropped + std::min(last, h), out);
        for (std::size_t k = from; k < out.size(); ++k) {
            out[k].first -= dropped;
        }
    }
    for (std::int64_t i = std::max(first, h);
         i < std::min<std::int64_t>(last, static_cast<std::int64_t>(rowCount())); ++i) {
        if (const LineMarks::Bits marks = grid_->marks(static_cast<int>(i - h))) {
            out.emplace_back(i, marks);
        }
    }
}

void Screen::noteFolder()
{
    if (workingDirectory_.empty() || alternateActive_) {
        return;
    }
    auto [at, added] = folderNumbers_.try_emplace(workingDirectory_, 0);
    if (added) {
        if (folders_.size() >= folderTableLimit) {
            folderNumbers_.erase(at); // a flood of folders: later prompts go without
            return;
        }
        folders_.push_back(workingDirectory_);
        at->second = static_cast<std::uint32_t>(folders_.size());
    }
    grid_->setFolder(line(cursorRow_), at->second);
}

std::string Screen::folderAt(std::size_t index) const
{
    const std::int64_t row = markedRowBefore(static_cast<std::int64_t>(index) + 1, LineMarks::prompt);
    if (row < 0) {
        return {};
    }
    const std::uint32_t n = LineMarks::folder(rowMarks(static_cast<std::size_t>(row)));
    return n >= 1 && n <= folders_.size() ? folders_[n - 1] : std::string();
}
