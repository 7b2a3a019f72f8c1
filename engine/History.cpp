// The compact history: encoding rows into line records, cutting lines into rows at the current
// width, and the bounds.
#include "History.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace {
constexpr int blockLineLimit = 256;
constexpr std::size_t blockByteLimit = 32 * 1024;
constexpr std::size_t styleLimit = 1 << 16;
constexpr std::uint16_t wideBits = CellFlags::wide;

// Record header bits, below the record's cell count.
constexpr std::uint64_t hasRunsBit = 1;
constexpr std::uint64_t wideBit = 2;
constexpr std::uint64_t continuesBit = 4;
constexpr int headerShift = 3;

// The most bytes a character takes: a wide one's 0 and its scalar's varint (up to 21 bits and the
// cluster ids above them: 4 bytes).
constexpr std::size_t characterVarintBytes = 6;

std::uint8_t* putVarint(std::uint8_t* out, std::uint64_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<std::uint8_t>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<std::uint8_t>(value);
    return out;
}

void putVarint(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
}

std::uint64_t getVarint(const std::uint8_t*& p)
{
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *p++;
        value |= std::uint64_t{byte & 0x7Fu} << shift;
        if (byte < 0x80) {
            return value;
        }
    }
}

// Calls visit(header, p, payloadEnd) for each record in [p, end), p at the record's payload.
template <class Visit> void forEachRecord(const std::uint8_t* p, const std::uint8_t* end, Visit&& visit)
{
    while (p < end) {
        const std::uint64_t header = getVarint(p);
        const std::uint64_t length = getVarint(p);
        const std::uint8_t* const payloadEnd = p + length;
        visit(header, p, payloadEnd);
        p = payloadEnd;
    }
}

bool isDefaultBlank(const Cell& cell)
{
    return cell == blankCell();
}

// Where the rows of a line begin when it is cut at `width`: a wide character that does not fit at
// a row's end starts the next row. Returns the row count, at least 1; `column` ends as the cells in
// the last row.
std::int64_t cutRows(std::span<const Cell> cells, int width, std::int64_t rows, int& column,
                     std::vector<int>* starts, int offset = 0)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int w = (cells[i].style.flags & CellFlags::wideHead) && i + 1 < cells.size() ? 2 : 1;
        if (column + w > width && column > 0) {
            ++rows;
            column = 0;
            if (starts) {
                starts->push_back(offset + static_cast<int>(i));
            }
        }
        column += w;
        i += static_cast<std::size_t>(w - 1);
    }
    return rows;
}

// cutRows for cells one column each: the rows they fill, without looking at them one by one.
std::int64_t cutNarrowRows(std::size_t cells, int width, std::int64_t rows, int& column)
{
    if (cells == 0) {
        return rows;
    }
    if (column >= width) { // a full last row (or a wide character in a row of one column)
        ++rows;
        column = 0;
    }
    const std::int64_t total = column + static_cast<std::int64_t>(cells);
    const std::int64_t more = (total - 1) / width;
    column = static_cast<int>(total - more * width);
    return rows + more;
}
} // namespace

History::History() : cache_(cachedRows) {}

// ---- what goes in ----

void History::push(std::span<const Cell> cells, bool wrapped, bool padded)
{
    if (limit_.lines == 0) {
        ++dropped_; // the row is gone at once
        return;
    }
    if (padded && !cells.empty()) {
        cells = cells.first(cells.size() - 1);
    }
    if (!wrapped) {
        while (!cells.empty() && isDefaultBlank(cells.back())) {
            cells = cells.first(cells.size() - 1);
        }
    }
    // A lone half of a wide character (cut by an edit) would decode as a whole one: never store it.
    if (!cells.empty() && (cells.back().style.flags & CellFlags::wideHead)) {
        cells = cells.first(cells.size() - 1);
    }
    decodedFirstRow_ = -1;
    do {
        if (open_ && lastCells_ >= lineCellLimit) {
            closeOpenLine();
        }
        const int room = lineCellLimit - (open_ ? lastCells_ : 0);
        std::size_t take = std::min(cells.size(), static_cast<std::size_t>(room));
        if (take < cells.size() && take > 0 && (cells[take - 1].style.flags & CellFlags::wideHead)) {
            --take; // a wide character goes whole into the next piece
        }
        const auto piece = cells.first(take);
        cells = cells.subspan(take);
        appendRecord(piece, wrapped || !cells.empty());
    } while (!cells.empty());
    enforceLimit();
}

void History::pushLine(std::span<const Cell> cells, bool open)
{
    if (open_) {
        closeOpenLine();
    }
    push(cells, open, false);
}

// The newest record stops continuing its line: the next row starts a line of its own. Only its
// header's low byte changes, so no byte moves.
void History::closeOpenLine()
{
    Block& block = blocks_.back();
    block.data[lastRecord_] = static_cast<std::uint8_t>(block.data[lastRecord_] & ~continuesBit);
    open_ = false;
    forgetRows(); // its last row no longer goes on
}

// The common record, a row of default-style ASCII, in one pass straight into the block: false (and
// nothing written) at the first cell that is not.
bool History::appendPlainRecord(Block& block, std::span<const Cell> cells, bool continues)
{
    const std::size_t n = cells.size();
    const std::uint64_t header =
        static_cast<std::uint64_t>(n) << headerShift | (continues ? continuesBit : 0);
    std::uint8_t prefix[12];
    std::uint8_t* end = putVarint(putVarint(prefix, header), n);
    const std::size_t at = block.data.size();
    const auto prefixBytes = static_cast<std::size_t>(end - prefix);
    block.data.resize(at + prefixBytes + n);
    std::uint8_t* out = block.data.data() + at + prefixBytes;
    for (std::size_t i = 0; i < n; ++i) {
        const Cell& cell = cells[i];
        std::uint64_t styleLow;
        std::uint32_t styleHigh;
        std::memcpy(&styleLow, &cell.style, sizeof styleLow);
        std::memcpy(&styleHigh, reinterpret_cast<const char*>(&cell.style) + sizeof styleLow,
                    sizeof styleHigh);
        if ((styleLow | styleHigh) != 0 || cell.character - 1 >= 0x7F) { // styled, 0, or not ASCII
            block.data.resize(at);
            return false;
        }
        out[i] = static_cast<std::uint8_t>(cell.character);
    }
    std::memcpy(block.data.data() + at, prefix, prefixBytes);
    lastRecord_ = at;
    return true;
}

void History::encodeRecord(Block& block, std::span<const Cell> cells, bool continues, bool& wide,
                           bool& styled, int& cellCount)
{
    // The payload: style runs when any cell is styled, then the characters.
    scratch_.clear();
    for (const Cell& cell : cells) {
        styled = styled || (cell.style.foreground | cell.style.background | (cell.style.flags & ~wideBits) |
                            cell.style.link) != 0;
        wide = wide || (cell.style.flags & CellFlags::wideHead);
    }
    if (styled) {
        // Runs of characters (a wide character is one) sharing a style, its wide marks aside.
        runs_.clear();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& cell = cells[i];
            if ((cell.style.flags & CellFlags::wideTail) && i > 0 &&
                (cells[i - 1].style.flags & CellFlags::wideHead)) {
                continue; // the second half of a character counted with its first
            }
            CellStyle style = cell.style;
            style.flags &= static_cast<std::uint16_t>(~wideBits);
            if (runs_.empty() || !(runs_.back().second == style)) {
                runs_.push_back({0, style});
            }
            ++runs_.back().first;
        }
        putVarint(scratch_, runs_.size());
        for (const auto& [count, style] : runs_) {
            putVarint(scratch_, count);
            const std::uint32_t id = styleId(style);
            putVarint(scratch_, id);
            if (id == 0) {
                putVarint(scratch_, style.foreground);
                putVarint(scratch_, style.background);
                putVarint(scratch_, style.flags);
                putVarint(scratch_, style.link);
            }
        }
    }
    // The characters go through a pointer into room for the longest encodings: no check per byte.
    // A character is its scalar's varint (one byte for ASCII); a wide one has a 0 before it.
    const std::size_t start = scratch_.size();
    scratch_.resize(start + cells.size() * characterVarintBytes);
    std::uint8_t* out = scratch_.data() + start;
    if (!wide) {
        for (const Cell& cell : cells) {
            const char32_t c = cell.character == 0 ? U' ' : cell.character; // a stray second half
            if (c < 0x80) {
                *out++ = static_cast<std::uint8_t>(c);
            } else {
                out = putVarint(out, c);
            }
        }
        cellCount = static_cast<int>(cells.size());
    } else {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& cell = cells[i];
            if (cell.style.flags & CellFlags::wideTail) {
                if (i == 0 || !(cells[i - 1].style.flags & CellFlags::wideHead)) {
                    *out++ = U' '; // a stray second half
                    ++cellCount;
                }
                continue;
            }
            const bool isWide = (cell.style.flags & CellFlags::wideHead) != 0;
            if (isWide) {
                *out++ = 0;
            }
            out = putVarint(out, cell.character == 0 ? U' ' : cell.character);
            cellCount += isWide ? 2 : 1;
        }
    }
    scratch_.resize(static_cast<std::size_t>(out - scratch_.data()));

    lastRecord_ = block.data.size();
    putVarint(block.data, static_cast<std::uint64_t>(cellCount) << headerShift |
                              (continues ? continuesBit : 0) | (wide ? wideBit : 0) |
                              (styled ? hasRunsBit : 0));
    putVarint(block.data, scratch_.size());
    block.data.insert(block.data.end(), scratch_.begin(), scratch_.end());
}

void History::appendRecord(std::span<const Cell> cells, bool continues)
{
    const bool newLine = !open_;
    if (newLine && (blocks_.empty() || blocks_.back().lines >= blockLineLimit ||
                    blocks_.back().data.size() >= blockByteLimit)) {
        // A new block takes the room the last one filled (output goes on much as it was), so it
        // rarely grows by copying; the sealed one gives back what it did not use.
        std::size_t room = 4096;
        if (!blocks_.empty()) {
            Block& sealed = blocks_.back();
            room = std::clamp(sealed.data.size() + sealed.data.size() / 8, std::size_t{1024},
                              blockByteLimit + blockByteLimit / 4);
            if (sealed.data.capacity() - sealed.data.size() > sealed.data.size() / 16) {
                sealed.data.shrink_to_fit();
            }
            sealedBytes_ += sealed.data.capacity();
        }
        Block block;
        block.firstRow = blocks_.empty() ? static_cast<std::int64_t>(dropped_)
                                         : blocks_.back().firstRow + blocks_.back().rows;
        block.data.reserve(room);
        blocks_.push_back(std::move(block));
    }
    Block& block = blocks_.back();

    bool wide = false;
    int cellCount = 0;
    bool styled = false;
    if (appendPlainRecord(block, cells, continues)) {
        cellCount = static_cast<int>(cells.size());
    } else {
        encodeRecord(block, cells, continues, wide, styled, cellCount);
    }

    // Rows: a new line starts with one; an extension adds what its cells need past the last row.
    if (newLine) {
        block.lineCells.push_back(0);
        ++block.lines;
        ++lines_;
        lastCells_ = 0;
        lastRows_ = 1;
        lastColumn_ = 0;
        block.rows += 1;
        rowCount_ += 1;
    } else if (!cells.empty()) {
        const int w = (cells[0].style.flags & CellFlags::wideHead) && cells.size() > 1 ? 2 : 1;
        if (lastColumn_ + w <= width_) {
            // The line's last row, as read so far, gains cells: its readers look again.
            ++generation_;
            forgetRows();
        }
    }
    const std::int64_t before = lastRows_;
    lastRows_ = wide ? cutRows(cells, width_, lastRows_, lastColumn_, nullptr)
                     : cutNarrowRows(cells.size(), width_, lastRows_, lastColumn_);
    block.rows += lastRows_ - before;
    rowCount_ += lastRows_ - before;
    lastCells_ += cellCount;
    block.lineCells.back() =
        static_cast<std::uint32_t>(lastCells_) | (block.lineCells.back() & wideLine) | (wide ? wideLine : 0);
    block.maxCells = std::max(block.maxCells, lastCells_);
    block.wide = block.wide || wide;
    open_ = continues;
}

std::uint32_t History::styleId(const CellStyle& style)
{
    if (const auto found = styleIds_.find(style); found != styleIds_.end()) {
        return found->second;
    }
    if (styles_.size() >= styleLimit) {
        return 0;
    }
    styles_.push_back(style);
    const auto id = static_cast<std::uint32_t>(styles_.size());
    styleIds_.emplace(style, id);
    return id;
}

// ---- reading lines back ----

History::LineInfo History::readLine(const Block& block, std::size_t at) const
{
    LineInfo line;
    line.begin = at;
    const std::uint8_t* p = block.data.data() + at;
    for (;;) {
        const std::uint64_t header = getVarint(p);
        const std::uint64_t length = getVarint(p);
        p += length;
        line.cells += static_cast<int>(header >> headerShift);
        line.wide = line.wide || (header & wideBit);
        if (!(header & continuesBit) || p == block.data.data() + block.data.size()) {
            break;
        }
    }
    line.end = static_cast<std::size_t>(p - block.data.data());
    return line;
}

void History::decodeLine(const Block& block, const LineInfo& line, std::vector<Cell>& out) const
{
    out.clear();
    out.reserve(static_cast<std::size_t>(line.cells));
    const std::uint8_t* const data = block.data.data();
    forEachRecord(data + line.begin, data + line.end,
                  [&](std::uint64_t header, const std::uint8_t* p, const std::uint8_t* payloadEnd) {
                      const auto put = [&](const CellStyle& style) {
                          std::uint64_t value = getVarint(p);
                          const bool wide = value == 0;
                          if (wide) {
                              value = getVarint(p);
                          }
                          const auto scalar = static_cast<char32_t>(value);
                          if (wide) {
                              CellStyle head = style;
                              head.flags |= CellFlags::wideHead;
                              CellStyle tail = style;
                              tail.flags |= CellFlags::wideTail;
                              out.push_back(Cell{scalar, head});
                              out.push_back(Cell{0, tail});
                          } else {
                              out.push_back(Cell{scalar, style});
                          }
                      };
                      if (header & hasRunsBit) {
                          std::uint64_t runs = getVarint(p);
                          // Runs and characters interleave in the order written: all runs first, then
                          // characters.
                          struct Run {
                              std::uint64_t count;
                              CellStyle style;
                          };
                          std::vector<Run> list;
                          list.reserve(static_cast<std::size_t>(runs));
                          while (runs-- > 0) {
                              Run run{getVarint(p), {}};
                              const std::uint64_t id = getVarint(p);
                              if (id == 0) {
                                  run.style.foreground = static_cast<std::uint32_t>(getVarint(p));
                                  run.style.background = static_cast<std::uint32_t>(getVarint(p));
                                  run.style.flags = static_cast<std::uint16_t>(getVarint(p));
                                  run.style.link = static_cast<std::uint16_t>(getVarint(p));
                              } else if (id <= styles_.size()) {
                                  run.style = styles_[static_cast<std::size_t>(id - 1)];
                              }
                              list.push_back(run);
                          }
                          for (const Run& run : list) {
                              for (std::uint64_t n = 0; n < run.count && p < payloadEnd; ++n) {
                                  put(run.style);
                              }
                          }
                      }
                      while (p < payloadEnd) {
                          put(CellStyle{});
                      }
                  });
}

std::int64_t History::rowsOf(const Block& block, const LineInfo& line) const
{
    if (line.cells <= width_) {
        return 1;
    }
    if (!line.wide || block.estimated) {
        return (line.cells + width_ - 1) / width_;
    }
    return wideRows(block, line);
}

// A line's rows when a wide character may not fit at a row's end, walked from its records without
// decoding them into cells.
std::int64_t History::wideRows(const Block& block, const LineInfo& line) const
{
    std::int64_t rows = 1;
    int column = 0;
    const auto place = [&](int w) {
        if (column + w > width_ && column > 0) {
            ++rows;
            column = 0;
        }
        column += w;
    };
    const std::uint8_t* const data = block.data.data();
    forEachRecord(data + line.begin, data + line.end,
                  [&](std::uint64_t header, const std::uint8_t* p, const std::uint8_t* payloadEnd) {
                      if (header & hasRunsBit) {
                          for (std::uint64_t runs = getVarint(p); runs > 0; --runs) {
                              getVarint(p);
                              if (getVarint(p) == 0) {
                                  for (int field = 0; field < 4; ++field) {
                                      getVarint(p);
                                  }
                              }
                          }
                      }
                      while (p < payloadEnd) {
                          if (*p == 0) {
                              ++p;
                              getVarint(p);
                              place(2);
                          } else {
                              getVarint(p);
                              place(1);
                          }
                      }
                  });
    return rows;
}

// The block's rows at width_ from its line cells: exact but for long lines with wide characters,
// which an estimate counts as if they had none (and then reads them later) or which are walked.
std::int64_t History::countRows(Block& block, bool estimate) const
{
    block.estimated = false;
    if (block.maxCells <= width_) {
        return block.lines;
    }
    std::int64_t rows = 0;
    bool walk = false;
    const auto w = static_cast<std::uint32_t>(width_);
    for (std::size_t i = block.linesDropped; i < block.lineCells.size(); ++i) {
        const std::uint32_t cells = block.lineCells[i] & ~wideLine;
        if (cells <= w) {
            ++rows;
        } else {
            rows += (cells + w - 1) / w;
            walk = walk || (block.lineCells[i] & wideLine) != 0;
        }
    }
    if (!walk) {
        return rows;
    }
    if (estimate) {
        block.estimated = true;
        return rows;
    }
    rows = 0;
    for (std::size_t at = block.begin; at < block.data.size();) {
        const LineInfo line = readLine(block, at);
        rows += rowsOf(block, line);
        at = line.end;
    }
    return rows;
}

// ---- bounds ----

void History::setLimit(HistoryLimit limit)
{
    limit_ = limit;
    if (limit_.lines == 0) {
        clear();
        return;
    }
    enforceLimit();
}

std::size_t History::bytes() const
{
    return sealedBytes_ + (blocks_.empty() ? 0 : blocks_.back().data.capacity()) +
           styles_.capacity() * sizeof(CellStyle) + styleIds_.size() * 32 + blocks_.size() * sizeof(Block);
}

void History::enforceLimit()
{
    // Over the line limit: whole blocks while they fit in the excess, then single lines.
    while (lines_ > limit_.lines) {
        Block& front = blocks_.front();
        if (blocks_.size() > 1 && static_cast<std::size_t>(front.lines) <= lines_ - limit_.lines) {
            dropOldestBlock();
        } else {
            dropOldestLine();
        }
    }
    // Over the memory budget: whole blocks, which is what frees memory.
    while (lines_ > 0 && bytes() > limit_.bytes) {
        if (blocks_.size() > 1) {
            dropOldestBlock();
        } else {
            dropOldestLine();
        }
    }
}

void History::dropOldestBlock()
{
    Block& front = blocks_.front();
    lines_ -= static_cast<std::size_t>(front.lines);
    estimatedBlocks_ -= front.estimated ? 1 : 0;
    dropped_ += static_cast<std::uint64_t>(front.rows);
    rowCount_ -= front.rows;
    sealedBytes_ -= front.data.capacity();
    blocks_.pop_front();
}

void History::dropOldestLine()
{
    Block& front = blocks_.front();
    const LineInfo line = readLine(front, front.begin);
    const std::int64_t rows = rowsOf(front, line);
    front.begin = line.end;
    ++front.linesDropped;
    --front.lines;
    --lines_;
    front.rows -= rows;
    front.firstRow += rows;
    rowCount_ -= rows;
    dropped_ += static_cast<std::uint64_t>(rows);
    if (front.lines == 0) {
        estimatedBlocks_ -= front.estimated ? 1 : 0;
        if (blocks_.size() == 1) {
            open_ = false; // the line the screen continued is gone: its rest starts a line
            sealedBytes_ = 0;
        } else {
            sealedBytes_ -= front.data.capacity();
        }
        blocks_.pop_front();
    }
}

void History::clear()
{
    blocks_.clear();
    estimatedBlocks_ = 0;
    styles_.clear();
    styles_.shrink_to_fit();
    styleIds_.clear();
    lines_ = 0;
    sealedBytes_ = 0;
    dropped_ += static_cast<std::uint64_t>(rowCount_);
    rowCount_ = 0;
    open_ = false;
    ++generation_;
    forgetRows();
}

bool History::popLine(std::vector<Cell>& cells, bool& open)
{
    if (lines_ == 0) {
        return false;
    }
    Block& block = blocks_.back();
    LineInfo line;
    for (std::size_t at = block.begin; at < block.data.size(); at = line.end) {
        line = readLine(block, at);
    }
    decodeLine(block, line, cells);
    open = open_;
    const std::int64_t rows = rowsOf(block, line);
    block.data.resize(line.begin);
    block.lineCells.pop_back();
    --block.lines;
    --lines_;
    block.rows -= rows;
    rowCount_ -= rows;
    if (block.lines == 0) {
        estimatedBlocks_ -= block.estimated ? 1 : 0;
        blocks_.pop_back();
        if (!blocks_.empty()) {
            sealedBytes_ -= blocks_.back().data.capacity();
        }
    }
    open_ = false;
    ++generation_;
    forgetRows();
    return true;
}

// ---- rows at the current width ----

void History::setWidth(int width)
{
    width = std::max(width, 1);
    if (width == width_) {
        return;
    }
    width_ = width;
    ++generation_;
    forgetRows();
    reindex();
}

// Counted from the newest block back: the rows near the screen exactly at once, the rest from the
// line cells, estimated where long lines have wide characters (refine() counts those later).
void History::reindex()
{
    constexpr std::size_t exactLines = 4096;
    std::size_t counted = 0;
    estimatedBlocks_ = 0;
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        block->rows = countRows(*block, counted >= exactLines);
        estimatedBlocks_ += block->estimated ? 1 : 0;
        counted += static_cast<std::size_t>(block->lines);
    }
    recountFrom(0);
    if (!blocks_.empty()) {
        // The newest line's rows and last-row fill, for extending it.
        const Block& block = blocks_.back();
        LineInfo line;
        for (std::size_t at = block.begin; at < block.data.size(); at = line.end) {
            line = readLine(block, at);
        }
        std::vector<Cell> cells;
        decodeLine(block, line, cells);
        lastColumn_ = 0;
        lastRows_ = cutRows(cells, width_, 1, lastColumn_, nullptr);
        lastCells_ = line.cells;
    }
}

// First rows from a block on, and the row count, after blocks' counts changed.
void History::recountFrom(std::size_t firstBlock)
{
    std::int64_t row = firstBlock == 0 ? static_cast<std::int64_t>(dropped_)
                                       : blocks_[firstBlock - 1].firstRow + blocks_[firstBlock - 1].rows;
    for (std::size_t i = firstBlock; i < blocks_.size(); ++i) {
        blocks_[i].firstRow = row;
        row += blocks_[i].rows;
    }
    rowCount_ = row - static_cast<std::int64_t>(dropped_);
}

void History::refineBlock(std::size_t index)
{
    Block& block = blocks_[index];
    if (!block.estimated) {
        return;
    }
    block.rows = countRows(block, false);
    --estimatedBlocks_;
    recountFrom(index);
    ++generation_;
    forgetRows();
}

// Newest estimated blocks first: they are the nearest to what the view shows.
void History::refine(int lineBudget)
{
    std::size_t lowest = blocks_.size();
    for (std::size_t i = blocks_.size(); i-- > 0 && lineBudget > 0 && estimatedBlocks_ > 0;) {
        Block& block = blocks_[i];
        if (block.estimated) {
            block.rows = countRows(block, false);
            --estimatedBlocks_;
            lineBudget -= block.lines;
            lowest = i;
        }
    }
    if (lowest < blocks_.size()) {
        recountFrom(lowest);
        ++generation_;
        forgetRows();
    }
}

void History::forgetRows() const
{
    for (CachedRow& row : cache_) {
        row.absolute = -1;
    }
    cached_.clear();
    decodedFirstRow_ = -1;
}

const History::CachedRow& History::materialize(std::int64_t index) const
{
    const std::int64_t absolute = static_cast<std::int64_t>(dropped_) + index;
    if (const auto found = cached_.find(absolute); found != cached_.end()) {
        return cache_[static_cast<std::size_t>(found->second)];
    }
    CachedRow& slot = cache_[static_cast<std::size_t>(nextSlot_)];
    if (slot.absolute >= 0) {
        cached_.erase(slot.absolute);
    }
    cached_[absolute] = nextSlot_;
    nextSlot_ = (nextSlot_ + 1) % cachedRows;
    slot.absolute = absolute;
    slot.cells.assign(static_cast<std::size_t>(width_), blankCell());
    slot.wrapped = false;

    const bool inDecoded = decodedFirstRow_ >= 0 && absolute >= decodedFirstRow_ &&
                           absolute < decodedFirstRow_ + static_cast<std::int64_t>(decodedStarts_.size());
    if (!inDecoded) {
        const auto next =
            std::upper_bound(blocks_.begin(), blocks_.end(), absolute,
                             [](std::int64_t value, const Block& b) { return value < b.firstRow; });
        if (next == blocks_.begin()) {
            return slot;
        }
        if ((next - 1)->estimated) {
            // Its rows are read: count them exactly first (the rows after it may move).
            const_cast<History*>(this)->refineBlock(static_cast<std::size_t>(next - 1 - blocks_.begin()));
            return materialize(index);
        }
        const Block& block = *(next - 1);
        std::int64_t row = block.firstRow;
        LineInfo line;
        bool found = false;
        for (std::size_t at = block.begin; at < block.data.size(); at = line.end) {
            line = readLine(block, at);
            const std::int64_t rows = rowsOf(block, line);
            if (absolute < row + rows) {
                found = true;
                break;
            }
            row += rows;
        }
        if (!found) {
            return slot;
        }
        decodeLine(block, line, decoded_);
        decodedStarts_.assign(1, 0);
        int column = 0;
        cutRows(decoded_, width_, 1, column, &decodedStarts_);
        decodedFirstRow_ = row;
        decodedOpen_ = open_ && line.end == blocks_.back().data.size() && &block == &blocks_.back();
    }
    const auto k = static_cast<std::size_t>(absolute - decodedFirstRow_);
    const int from = decodedStarts_[k];
    const int to = k + 1 < decodedStarts_.size() ? decodedStarts_[k + 1] : static_cast<int>(decoded_.size());
    const int end = std::min(to, from + width_);
    std::copy(decoded_.begin() + from, decoded_.begin() + end, slot.cells.begin());
    if (end < to &&
        (slot.cells[static_cast<std::size_t>(end - from - 1)].style.flags & CellFlags::wideHead)) {
        slot.cells[static_cast<std::size_t>(end - from - 1)] = blankCell(); // a wide character in one column
    }
    slot.wrapped = k + 1 < decodedStarts_.size() || decodedOpen_;
    return slot;
}

std::span<const Cell> History::row(std::int64_t index) const
{
    return materialize(index).cells;
}

bool History::rowWrapped(std::int64_t index) const
{
    return materialize(index).wrapped;
}

std::uint64_t History::stamp(std::int64_t index) const
{
    const auto absolute = static_cast<std::uint64_t>(static_cast<std::int64_t>(dropped_) + index);
    return 1ull << 63 | (generation_ & 0x7FFFFF) << 40 | (absolute & ((1ull << 40) - 1));
}
