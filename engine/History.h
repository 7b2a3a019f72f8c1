// What scrolled off the top of the primary screen, kept compactly: logical lines (the rows that one
// run of text wrapped across, joined again), each as its characters and style runs in a few bytes a
// cell, in blocks of a few hundred lines. Nothing here depends on a width: rows are cut from the
// lines at whatever width the screen has now, so a resize re-wraps the history for free, and a row
// is decoded back into cells only when someone reads it.
#pragma once

#include "Cell.h"
#include "HistoryLimit.h"
#include "LineMarks.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

class History {
public:
    // A logical line longer than this many cells is cut into lines of this length: the bound on what
    // one line costs to decode, however long a line a program prints without a newline.
    static constexpr int lineCellLimit = 1 << 14;

    History();

    // --- what goes in -------------------------------------------------------------------------
    // A row leaving the screen. `wrapped`: it ended in an automatic wrap, so the next row pushed
    // continues its line. `padded`: its last cell is the blank left where a wide character did not
    // fit (not part of the text). Trailing blanks of a line's last row are not kept. `plainText`:
    // every cell is known to be printable ASCII or a blank in the default style (Grid::plain), and
    // these are its characters, a byte a cell, with 16 more bytes that may be read past the last
    // (Grid::plainText): the cells are not read.
    void push(std::span<const Cell> cells, bool wrapped, bool padded,
              const std::uint8_t* plainText = nullptr);
    // A whole logical line (a reflow puts lines back); `open`: the screen's first row continues it.
    void pushLine(std::span<const Cell> cells, bool open);
    // Takes the newest logical line out (a reflow takes lines back onto the screen): its cells, and
    // whether it continued onto the screen. False when there is none.
    bool popLine(std::vector<Cell>& cells, bool& open);
    void clear();
    void setLimit(HistoryLimit limit); // drops the oldest lines beyond it at once
    HistoryLimit limit() const { return limit_; }

    // --- rows at the current width ------------------------------------------------------------
    // A new width: the rows near the newest end are counted at once, older blocks whose long lines
    // have wide characters are estimated until refine() counts them (a few thousand lines a call).
    void setWidth(int width);
    bool refining() const { return estimatedBlocks_ > 0; }
    void refine(int lineBudget);
    int width() const { return width_; }
    std::int64_t rowCount() const { return rowCount_; }
    // width() cells. Valid until the history changes, and while fewer than cachedRows other rows
    // have been read since.
    std::span<const Cell> row(std::int64_t index) const;
    bool rowWrapped(std::int64_t index) const; // the line goes on in the next row
    // Never equal to a stamp of any other row or of any screen row (those stay below 2^63).
    std::uint64_t stamp(std::int64_t index) const;
    // Rows dropped from the oldest end so far, and a count that moves whenever the rows are cut
    // anew (a width change, a line taken back, a clear): see Grid.
    std::uint64_t droppedRows() const { return dropped_; }
    std::uint64_t generation() const { return generation_; }

    // --- what it holds ------------------------------------------------------------------------
    std::size_t lineCount() const { return lines_; }
    std::size_t bytes() const;              // the blocks' storage and the style table
    bool openLine() const { return open_; } // the newest line continues on the screen

    static constexpr int cachedRows = 512;

    // --- marks the shell left on lines (LineMarks) -------------------------------------------
    void markNewestLine(LineMarks::Bits marks); // adds to the newest line's marks
    LineMarks::Bits newestLineMarks() const;
    // Adds marks to the line whose first row is the absolute row `firstRow`, if one starts there.
    void markLineAt(std::int64_t firstRow, LineMarks::Bits marks);
    // The marked lines whose first rows (absolute) are in [from, to), oldest first.
    void markedLines(std::int64_t from, std::int64_t to,
                     std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const;
    // The first row of the newest line starting before `before` with any of the marks in `mask`,
    // and of the oldest starting after `after`; -1 for none. A block without marks costs nothing.
    std::int64_t markedRowBefore(std::int64_t before, LineMarks::Bits mask) const;
    std::int64_t markedRowAfter(std::int64_t after, LineMarks::Bits mask) const;

    // --- whole lines, newest first (a search) ---------------------------------------------------
    // Calls visit(firstRow, cells, rowStarts) for the lines that begin before the absolute row
    // `before` (droppedRows() + index), newest first, as far back as the start of the block holding
    // the row before it: firstRow is absolute, rowStarts the first cell of each of the line's rows at
    // width(). Returns the first row of the oldest line visited, -1 when there was none.
    template <class Visit> std::int64_t readLinesBefore(std::int64_t before, Visit&& visit) const
    {
        std::vector<Cell> cells;
        std::vector<int> starts;
        std::vector<std::pair<LineInfo, std::int64_t>> lines;
        const Block* block = linesBefore(before, lines);
        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            decodeLine(*block, line->first, cells);
            lineRowStarts(cells, starts);
            visit(line->second, std::span<const Cell>(cells), std::span<const int>(starts));
        }
        return lines.empty() ? -1 : lines.front().second;
    }

private:
    // Lines are chains of records: a record's `continues` bit says the next record belongs to the
    // same line. A record is its cell count with the bits, its payload's length, then the payload:
    // style runs if any (count, then characters and style id per run), then each character's scalar
    // as a varint (one byte for ASCII), a wide one after a 0; or, for a row of one style mostly
    // beyond ASCII, each cell's text in 4 bytes (quicker to write than varints, which would cost such
    // output more in the history than on the screen).
    // Bytes that grow without zeroing what they add: records are written straight into them.
    class Bytes {
    public:
        std::uint8_t* data() { return data_.get(); }
        const std::uint8_t* data() const { return data_.get(); }
        std::size_t size() const { return size_; }
        std::size_t capacity() const { return capacity_; }
        std::uint8_t& operator[](std::size_t i) { return data_[i]; }
        // n more bytes, uninitialised, at the end.
        std::uint8_t* extend(std::size_t n)
        {
            if (size_ + n > capacity_) [[unlikely]] {
                reallocate(std::max(size_ + n, capacity_ + capacity_ / 2));
            }
            std::uint8_t* const at = data_.get() + size_;
            size_ += n;
            return at;
        }
        void truncate(std::size_t size) { size_ = size; }
        void reserve(std::size_t capacity)
        {
            if (capacity > capacity_) {
                reallocate(capacity);
            }
        }
        void shrinkToFit() { reallocate(size_); }

    private:
        void reallocate(std::size_t capacity);
        std::unique_ptr<std::uint8_t[]> data_;
        std::size_t size_ = 0;
        std::size_t capacity_ = 0;
    };
    struct Block {
        Bytes data;
        // The first byte of line `beginLine`: lines dropped since are skipped when it is next read.
        mutable std::size_t begin = 0;
        mutable std::size_t beginLine = 0;
        int lines = 0;             // whole lines kept (an open last line counts)
        int maxCells = 0;          // longest line ever in the block: at that width or more, a line is a row
        bool wide = false;         // some line has a wide character
        std::int64_t firstRow = 0; // absolute, in the numbering droppedRows() starts
        std::int64_t rows = 0;     // at width_
        // Each line's cells (lineCellsMask), wideLine set when it has a wide character: a width
        // change counts rows from these without reading the records. A long line with wide
        // characters also keeps its rows at `rowsWidth` (lineRowsShift), so that dropping or
        // finding it needs no walk over its records. From `linesDropped` on they are kept.
        std::vector<std::uint32_t> lineCells;
        std::size_t linesDropped = 0;
        int rowsWidth = 0;
        // `rows` counts a long line with wide characters as if it had none, until refined.
        bool estimated = false;
        // The marked lines, by the index lineCells has them at, ascending; few in any block.
        std::vector<std::pair<std::uint32_t, LineMarks::Bits>> marks;
    };
    static constexpr std::uint32_t wideLine = 1u << 31;
    static constexpr std::uint32_t lineCellsMask = 0xFFFF; // lineCellLimit fits
    static constexpr int lineRowsShift = 16;               // 15 bits: no line has more rows than cells
    struct LineInfo {
        std::size_t begin = 0, end = 0; // bytes of its records in the block
        int cells = 0;
        bool wide = false;
    };
    struct CachedRow {
        std::int64_t absolute = -1;
        std::vector<Cell> cells;
        bool wrapped = false;
    };

    // What an appended record holds, for counting its rows.
    struct RecordShape {
        int cells = 0;
        int firstWidth = 1; // of its first character
        bool wide = false;
        bool plain = false; // default-style ASCII throughout
    };
    void appendRecord(std::span<const Cell> cells, const std::uint8_t* plainText, bool continues);
    std::uint8_t* startPlainRecord(Block& block, std::size_t n, bool continues);
    bool appendPlainRecord(Block& block, std::span<const Cell> cells, bool continues);
    RecordShape encodeRecord(Block& block, std::span<const Cell> cells, bool continues);
    std::uint8_t* putRun(std::uint8_t* out, std::uint32_t length, const CellStyle& style);
    std::uint8_t* runBytesStart(std::size_t n);
    struct ColouredAscii {
        std::uint8_t* end = nullptr;     // of its characters; nullptr: the row is not
        std::uint8_t* runsEnd = nullptr; // of its runs
        std::size_t runs = 0;
    };
    ColouredAscii encodeColouredAscii(std::span<const Cell> cells);
    void closeOpenLine();
    std::int64_t rowsOf(const Block& block, const LineInfo& line) const;
    // The rows of the block's line `index` (counting from its first ever) from what the block keeps
    // of it; -1 when its records must be walked (wideRows).
    std::int64_t keptRows(const Block& block, std::size_t index) const;
    std::size_t firstByte(const Block& block) const; // of its oldest kept line
    static std::size_t blockBytes(const Block& block);
    std::int64_t wideRows(const Block& block, const LineInfo& line) const;
    std::int64_t countRows(Block& block, bool estimate) const; // sets block.estimated
    void recountFrom(std::size_t firstBlock);
    void refineBlock(std::size_t index);
    LineInfo readLine(const Block& block, std::size_t at) const;
    void decodeLine(const Block& block, const LineInfo& line, std::vector<Cell>& out) const;
    void dropOldestLine();
    void dropOldestBlock(); // not the last
    void enforceLimit();
    void reindex();
    void forgetRows() const;
    const CachedRow& materialize(std::int64_t index) const;
    // The block holding the row before `before` and its lines (with their first rows) that begin
    // before it, oldest first; nullptr when there are none.
    const Block* linesBefore(std::int64_t before,
                             std::vector<std::pair<LineInfo, std::int64_t>>& lines) const;
    void lineRowStarts(std::span<const Cell> cells, std::vector<int>& starts) const;
    // The block's kept marked lines with their first rows, oldest first.
    void blockMarks(const Block& block, std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const;
    std::size_t blockAt(std::int64_t row) const;   // holding the absolute row; blocks_.size() for none
    std::uint32_t styleId(const CellStyle& style); // 0 once the styles are full: written inline
    std::uint32_t lookUpStyle(const CellStyle& style, std::pair<CellStyle, std::uint32_t>& recent);

    std::deque<Block> blocks_;
    std::vector<CellStyle> styles_; // id - 1; id 0 writes the style inline
    struct StyleHash {
        std::size_t operator()(const CellStyle& s) const
        {
            return std::hash<std::uint64_t>()((std::uint64_t{s.foreground} << 32 | s.background) ^
                                              (std::uint64_t{s.flags} << 16 | s.link) *
                                                  0x9E3779B97F4A7C15ull);
        }
    };
    std::unordered_map<CellStyle, std::uint32_t, StyleHash> styleIds_;
    HistoryLimit limit_;
    int width_ = 80;
    std::size_t lines_ = 0;
    std::int64_t rowCount_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t generation_ = 0;
    std::size_t estimatedBlocks_ = 0;
    bool open_ = false;          // the last line continues
    std::size_t lastRecord_ = 0; // offset of the newest record in the last block
    // The newest line as far as pushed: its cells, and its rows and the cells of its last row at
    // width_, so that extending it costs what is added.
    int lastCells_ = 0;
    std::int64_t lastRows_ = 0;
    int lastColumn_ = 0;
    std::size_t sealedBytes_ = 0; // every block's storage but the last's
    std::vector<std::uint8_t> scratch_;
    std::vector<std::uint8_t> runBytes_;
    std::vector<std::pair<std::uint32_t, CellStyle>> runs_;
    std::vector<std::uint32_t> runEnds_; // where each run of a coloured ASCII row ends
    // Recently used styles by a hash of them, in front of styleIds_; id 0 is an empty slot.
    std::array<std::pair<CellStyle, std::uint32_t>, 1024> recentStyles_{};
    bool checkBytes_ = true;         // the storage grew in a way the budget has not seen
    bool lastPlain_ = true;          // the last record was default-style ASCII
    bool lastColouredAscii_ = false; // the last record was ASCII of several styles

    mutable std::vector<CachedRow> cache_;
    mutable std::unordered_map<std::int64_t, int> cached_;
    mutable int nextSlot_ = 0;
    // The line decoded last, for reading its rows one after another.
    mutable std::int64_t decodedFirstRow_ = -1;
    mutable std::vector<Cell> decoded_;
    mutable std::vector<int> decodedStarts_; // first cell of each of its rows
    mutable bool decodedOpen_ = false;       // it goes on onto the screen
};
