// The active screen's text as a search reads it: logical lines (rows joined across automatic wraps),
// newest first, each as its characters and the cell each one starts at. The screen's rows (and the
// history's newest line when the screen continues it) are read at once, the history a block of lines
// at a time, so that a caller can stop after any line and go on later. Rows are absolute: an index
// among the kept rows plus the rows dropped so far, the same for a row as long as the rows are not
// rearranged (rowsGeneration).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TerminalEngine;

struct SearchLine {
    std::int64_t firstRow = 0;
    std::u32string text;
    std::vector<int> cells;     // the cell in the line where each character starts, then the line's end
    std::vector<int> rowStarts; // the first cell of each of its rows

    // The absolute row and column of a cell of the line (its end is just past the last row's end).
    std::pair<std::int64_t, int> position(int cell) const;
};

class SearchLines {
public:
    // Reads from the newest line; the engine must outlive the reader and be left unchanged between
    // calls (a caller that sees it change starts again).
    explicit SearchLines(const TerminalEngine& engine, std::int64_t stopRow = -1);

    // The next older line, false once the oldest kept one (or the line at stopRow) was read.
    bool previous(SearchLine& line);
    // The first row of the newest lines, the ones read from the screen: older rows are history and
    // change only by being dropped.
    std::int64_t tailRow() const { return tailRow_; }

private:
    void readTail();
    void readHistory();

    const TerminalEngine& engine_;
    std::int64_t stopRow_;
    std::int64_t tailRow_ = 0;
    std::int64_t nextBefore_ = 0;     // history lines that begin before it are still to read
    std::vector<SearchLine> pending_; // [pendingNext_, pendingEnd_) read and not handed out, newest first
    std::size_t pendingNext_ = 0;
    std::size_t pendingEnd_ = 0;
    bool historyDone_ = false;
};
