// libFuzzer target for the terminal engine: the input is cut into chunks (and the grid resized now and
// then) as its first bytes say; after every chunk the grid's invariants are checked, and at the end the
// state must equal that of the same bytes consumed without the chunk boundaries, rows read after every
// chunk the same as rows never read until then. The parser alone,
// with a recording sink, must likewise record the same actions in the plan's chunks as in one piece.
//
// Input layout: byte 0 gives the number of plan bytes h (0..15) that follow; the rest is shell output.
// Plan byte p, used in turn (cycling, and shifted by the round so later rounds differ):
//   p >= 0xE0 (and the previous step was not a resize): resizeGrid with sizes taken from the next
//     plan byte, out-of-range sizes included (but not both a tall and a very wide grid);
//   otherwise: a chunk of 1 + (p & 0x1F) << ((p >> 5) & 7) bytes.
// With h = 0 the whole output is one chunk. The input's length picks a history limit, small ones
// included, so that lines are dropped while the grid is re-wrapped.
#include "engine/LineMarks.h"
#include "engine/SearchLines.h"
#include "engine/TerminalEngine.h"
#include "engine/VtParser.h"
#include "tests/engine/RecordingSink.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "engine invariant violated: %s\n", what);
        std::abort();
    }
}

// Mostly ordinary sizes; the out-of-range ones (clamped by resizeGrid) and a tall grid now and then,
// which costs the most to build.
constexpr std::array<int, 16> rowChoices{0, 1, 2, 3, 5, 7, 10, 23, 24, 25, 40, 50, 60, 100, 300, 2500};
constexpr std::array<int, 16> columnChoices{-1, 0, 1, 2, 3, 9, 40, 79, 80, 81, 100, 132, 160, 200, 300, 1001};

struct Step {
    bool resize = false;
    int rows = 0;
    int columns = 0;
    std::size_t length = 0;
};

class Plan {
public:
    explicit Plan(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    Step next()
    {
        Step step;
        if (bytes_.empty()) {
            step.length = SIZE_MAX;
            return step;
        }
        const std::uint8_t p = take();
        if (p >= 0xE0 && !lastWasResize_) {
            const std::uint8_t sizes = take();
            step.resize = true;
            step.rows = rowChoices[sizes & 15];
            step.columns = columnChoices[sizes >> 4];
            if (step.rows > 200 && step.columns > 80) {
                step.columns = 80; // a 2000 x 1000 grid per engine would make each run crawl
            }
        } else {
            step.length = std::size_t{1} + (std::size_t{p & 0x1Fu} << ((p >> 5) & 7));
        }
        lastWasResize_ = step.resize;
        return step;
    }

private:
    std::uint8_t take()
    {
        const std::uint8_t round = static_cast<std::uint8_t>(position_ / bytes_.size());
        const std::uint8_t p = static_cast<std::uint8_t>(bytes_[position_ % bytes_.size()] + round);
        ++position_;
        return p;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool lastWasResize_ = false;
};

bool isStoredScalar(const TerminalEngine& e, char32_t c)
{
    // Controls and DEL never reach a cell, the decoder never yields surrogates or values past
    // U+10FFFF, and a character with marks refers to a kept cluster.
    if (c >= firstClusterCharacter) {
        return e.cellText(Cell{c, {}}).size() > 1;
    }
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && (c < 0xD800 || c > 0xDFFF) && c <= 0x10FFFF);
}

bool isSaneColor(Color c)
{
    return std::isfinite(c.red) && std::isfinite(c.green) && std::isfinite(c.blue) && c.alpha == 1.0f;
}

// The state the view sees after a chunk.
void checkAfterChunk(const TerminalEngine& e)
{
    const std::size_t count = e.rowCount();
    require(e.rows() >= 1 && e.rows() <= TerminalEngine::rowLimit, "1 <= rows <= row limit");
    require(e.columns() >= 1 && e.columns() <= TerminalEngine::columnLimit, "1 <= columns <= column limit");
    require(e.history().lineCount() <= e.historyLimits().lines, "history lines within the limit");
    require(e.history().bytes() <= std::max<std::size_t>(e.historyLimits().bytes, 1 << 16),
            "history within its memory budget");
    require(count == static_cast<std::size_t>(e.rows() + e.historyRows()), "row count = rows + history rows");
    for (std::size_t r = 0; r < count; ++r) {
        require(e.row(r).size() == static_cast<std::size_t>(e.columns()), "every row has columns cells");
    }
    require(e.cursorRow() >= 0 && e.cursorRow() < e.rows(), "cursor inside the screen");
    require(e.cursorColumn() >= 0 && e.cursorColumn() < e.columns(), "cursor column inside the screen");
    require(!e.wrapPending() || e.cursorColumn() == e.columns() - 1, "a pending wrap is at the last column");
    require(e.scrollTop() >= 0 && e.scrollTop() <= e.scrollBottom() && e.scrollBottom() < e.rows() &&
                (e.scrollTop() < e.scrollBottom() || e.rows() == 1),
            "margins inside the screen, at least two rows apart");
    require(!e.alternateScreenActive() || count == static_cast<std::size_t>(e.rows()),
            "the alternate screen has no history");
    require(e.pendingReplies().size() <= TerminalEngine::replyLimit, "replies within their bound");
    require(isSaneColor(e.currentColor()), "current colour finite with alpha 1");
}

// The prompt jumps find marked rows in order, inside the kept rows, and only rows that are marked
// (a few steps after each chunk, all at the end).
void checkMarks(const TerminalEngine& e, int steps)
{
    const auto count = static_cast<std::int64_t>(e.rowCount());
    std::int64_t row = count;
    for (int i = 0; i < steps; ++i) {
        const std::int64_t before = e.markedRowBefore(row, LineMarks::prompt | LineMarks::failed);
        if (before < 0) {
            break;
        }
        require(before < row && before < count, "a jump up goes up, inside the rows");
        require(e.rowMarks(static_cast<std::size_t>(before)) & (LineMarks::prompt | LineMarks::failed),
                "a jump lands on a marked row");
        require(e.folderAt(static_cast<std::size_t>(before)).size() <= 2048, "a prompt's folder is bounded");
        row = before;
    }
    row = -1;
    for (int i = 0; i < steps; ++i) {
        const std::int64_t after = e.markedRowAfter(row, LineMarks::prompt);
        if (after < 0) {
            break;
        }
        require(after > row && after < count, "a jump down goes down, inside the rows");
        row = after;
    }
}

// A search reads lines newest first, inside the kept rows, whose characters and cells agree.
void checkSearch(const TerminalEngine& e)
{
    const auto count = static_cast<std::int64_t>(e.rowCount());
    SearchLines lines(e);
    SearchLine line;
    const auto dropped = static_cast<std::int64_t>(e.droppedRows());
    std::int64_t previous = dropped + count;
    while (lines.previous(line)) {
        require(line.firstRow >= dropped && line.firstRow < previous, "search lines newest first, inside");
        require(line.cells.size() == line.text.size() + 1, "a cell for every character and the end");
        require(std::is_sorted(line.cells.begin(), line.cells.end()), "characters in cell order");
        require(!line.rowStarts.empty() && line.rowStarts.front() == 0, "a line starts a row");
        previous = line.firstRow;
    }
}

void checkCells(const TerminalEngine& e)
{
    for (std::size_t r = 0; r < e.rowCount(); ++r) {
        const auto cells = e.row(r);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            if (cell.style.flags & CellFlags::wideTail) {
                require(cell.character == 0, "a wide character's second cell is empty");
                require(c > 0 && (cells[c - 1].style.flags & CellFlags::wideHead),
                        "a second half has its first");
                continue;
            }
            require(isStoredScalar(e, cell.character), "cell holds a printable scalar");
            require(!(cell.style.flags & CellFlags::wideHead) ||
                        (c + 1 < cells.size() && (cells[c + 1].style.flags & CellFlags::wideTail)),
                    "a first half has its second");
            require(isSaneColor(e.resolveForeground(cell.style.foreground)),
                    "cell colour finite with alpha 1");
        }
    }
}

void requireSameState(const TerminalEngine& a, const TerminalEngine& b)
{
    require(a.rows() == b.rows() && a.columns() == b.columns(), "chunking changed the size");
    require(a.cursorRow() == b.cursorRow() && a.cursorColumn() == b.cursorColumn(),
            "chunking moved the cursor");
    require(a.wrapPending() == b.wrapPending(), "chunking changed the pending wrap");
    require(a.savedCursor().row == b.savedCursor().row && a.savedCursor().column == b.savedCursor().column,
            "chunking changed the saved cursor");
    require(a.currentColor() == b.currentColor(), "chunking changed the current colour");
    require(a.bracketedPasteEnabled() == b.bracketedPasteEnabled(), "chunking changed bracketed paste");
    require(a.pen() == b.pen(), "chunking changed the pen");
    require(a.alternateScreenActive() == b.alternateScreenActive(), "chunking changed the screen");
    require(a.scrollTop() == b.scrollTop() && a.scrollBottom() == b.scrollBottom(),
            "chunking changed margins");
    require(a.pendingReplies() == b.pendingReplies(), "chunking changed the replies");
    require(a.title() == b.title(), "chunking changed the title");
    require(a.rowCount() == b.rowCount(), "chunking changed the row count");
    for (std::size_t r = 0; r < a.rowCount(); ++r) {
        const std::span<const Cell> x = a.row(r);
        const std::span<const Cell> y = b.row(r);
        require(std::equal(x.begin(), x.end(), y.begin(), y.end()), "chunking changed a row");
        require(a.rowWrapped(r) == b.rowWrapped(r), "chunking changed where a line wraps");
        require(a.rowMarks(r) == b.rowMarks(r), "chunking changed the shell's marks");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t planLength = std::min<std::size_t>(data[0] % 16, size - 1);
    Plan plan(std::span(data + 1, planLength));
    const std::span<const std::uint8_t> output(data + 1 + planLength, size - 1 - planLength);

    // viewed: drawn after every chunk like the view does; chunked and whole: no redraw, the first
    // in the plan's chunks, the second in one piece between resizes.
    TerminalEngine viewed;
    TerminalEngine chunked;
    TerminalEngine whole;
    enginetest::RecordingSink chunkedActions;
    enginetest::RecordingSink wholeActions;
    VtParser<enginetest::RecordingSink> chunkedParser(chunkedActions);
    VtParser<enginetest::RecordingSink> wholeParser(wholeActions);
    constexpr std::array<std::size_t, 4> historyLines{0, 1, 7, 2000};
    const HistoryLimit limit{historyLines[size % 4],
                             size % 3 == 0 ? std::size_t{4096} : std::size_t{64} << 20};
    for (TerminalEngine* e : {&viewed, &chunked, &whole}) {
        e->setHistoryLimit(limit);
    }
    int renders = 0;
    viewed.setRenderHook([&] {
        require(viewed.cursorRow() >= 0 && viewed.cursorRow() < viewed.rows(),
                "cursor inside before the redraw");
        ++renders;
    });

    std::size_t done = 0;
    std::size_t wholeFrom = 0;
    while (done < output.size()) {
        const Step step = plan.next();
        if (step.resize) {
            whole.consume(output.subspan(wholeFrom, done - wholeFrom));
            wholeFrom = done;
            for (TerminalEngine* e : {&viewed, &chunked, &whole}) {
                e->resizeGrid(step.rows, step.columns);
            }
            checkAfterChunk(viewed);
            continue;
        }
        const std::span<const std::uint8_t> chunk =
            output.subspan(done, std::min(step.length, output.size() - done));
        done += chunk.size();
        const int rendersBefore = renders;
        viewed.consume(chunk);
        require(renders == rendersBefore + 1, "one redraw per chunk");
        checkAfterChunk(viewed);
        checkMarks(viewed, 16);
        viewed.takeReplies(); // the owner drains them after every chunk
        viewed.takeEvents();
        chunked.consume(chunk);
        chunkedParser.parse(chunk);
    }
    whole.consume(output.subspan(wholeFrom));
    checkCells(viewed);
    checkMarks(viewed, 1 << 20);
    checkSearch(viewed);
    requireSameState(chunked, whole);
    // Reading the rows after every chunk, as the view does, must not change what they hold.
    require(viewed.rowCount() == whole.rowCount(), "reading rows changed the row count");
    for (std::size_t r = 0; r < whole.rowCount(); ++r) {
        const std::span<const Cell> x = viewed.row(r);
        const std::span<const Cell> y = whole.row(r);
        require(std::equal(x.begin(), x.end(), y.begin(), y.end()), "reading rows changed a row");
    }
    wholeParser.parse(output);
    require(chunkedActions.actions == wholeActions.actions, "chunking changed the parser's actions");
    return 0;
}
