// The compact history: encoding rows into line records, cutting lines into rows at the current
// width, and the bounds.
#include "History.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
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
// The characters are a cell's text each (cellTextBytes per cell), not varints.
constexpr std::uint64_t cellTextBit = 8;
constexpr int headerShift = 4;

// The most bytes a character takes: a wide one's 0 and its scalar's varint (up to 21 bits and the
// cluster ids above them: 4 bytes).
constexpr std::size_t characterVarintBytes = 6;
constexpr std::size_t maxVarintBytes = 10;

std::uint8_t* putVarint(std::uint8_t* out, std::uint64_t value)
{
    while (value >= 0x80) {
        *out++ = static_cast<std::uint8_t>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<std::uint8_t>(value);
    return out;
}

// A run's length or style number, mostly below 2^14: one or two bytes without a branch on which,
// since style numbers past 127 come in no order a predictor could follow. Writes two bytes always.
[[gnu::always_inline]] inline std::uint8_t* putShortVarint(std::uint8_t* out, std::uint32_t value)
{
    if (value >= 0x4000) [[unlikely]] {
        return putVarint(out, value);
    }
    const std::uint32_t more = value >= 0x80 ? 1 : 0;
    out[0] = static_cast<std::uint8_t>(value | more << 7);
    out[1] = static_cast<std::uint8_t>(value >> 7);
    return out + 1 + more;
}

std::uint64_t getVarint(const std::uint8_t*& p)
{
    if (*p < 0x80) [[likely]] {
        return *p++;
    }
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
    static constexpr Cell blank = blankCell();
    std::uint64_t halves[2], blankHalves[2];
    std::memcpy(halves, &cell, sizeof halves);
    std::memcpy(blankHalves, &blank, sizeof blankHalves);
    return halves[0] == blankHalves[0] && halves[1] == blankHalves[1];
}

// A style as two words, the colours and the flags with the link, to compare it in two steps.
struct StyleWords {
    std::uint64_t colours = 0;
    std::uint32_t rest = 0;
    friend bool operator==(const StyleWords&, const StyleWords&) = default;
};
static_assert(sizeof(CellStyle) == 12 && offsetof(CellStyle, flags) == 8 &&
              std::endian::native == std::endian::little);

StyleWords styleWords(const CellStyle& style, std::uint16_t flagsMask)
{
    StyleWords words;
    std::memcpy(&words.colours, &style, sizeof words.colours);
    std::uint16_t flagsAndLink[2] = {static_cast<std::uint16_t>(style.flags & flagsMask), style.link};
    std::memcpy(&words.rest, flagsAndLink, sizeof words.rest);
    return words;
}

CellStyle styleOf(const StyleWords& words)
{
    CellStyle style;
    style.foreground = static_cast<std::uint32_t>(words.colours);
    style.background = static_cast<std::uint32_t>(words.colours >> 32);
    std::uint16_t flagsAndLink[2];
    std::memcpy(flagsAndLink, &words.rest, sizeof words.rest);
    style.flags = flagsAndLink[0];
    style.link = flagsAndLink[1];
    return style;
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

// A cell's text in a record of text beyond ASCII: its character, and the top bit for the first half
// of a wide one (whose second half is a 0).
constexpr std::size_t cellTextBytes = 4;
constexpr std::uint32_t wideText = 1u << 31;

// What the encoder learns of a row in one pass: whether every cell has the first one's style (wide
// marks aside), how many characters are beyond ASCII and how many cells hold 0 (the second halves
// of wide ones), whether some character is wide, and whether all scalars fit beside wideText. The
// same pass writes each cell's text, which is kept if the row is to be kept that way.
struct RowSurvey {
    bool oneStyle = true;
    std::size_t beyondAscii = 0;
    std::size_t zeros = 0;
    bool wide = false;
    bool narrowScalars = true;
    std::uint8_t* end = nullptr; // of the cells' text
};

std::uint32_t cellText(const Cell& cell)
{
    return cell.character | ((cell.style.flags & wideBits) == CellFlags::wideHead ? wideText : 0);
}

// Stops early (with oneStyle false and the rest unset) at a row of several styles.
RowSurvey surveyRow(std::span<const Cell> cells, std::uint8_t* out)
{
    RowSurvey row;
    const std::size_t n = cells.size();
    std::size_t i = 0;
    std::uint32_t heads = 0;
    std::uint32_t scalars = 0;
    if (n == 0) {
        row.end = out;
        return row;
    }
    static_assert(sizeof(Cell) == 16 && offsetof(Cell, style) == 4 && wideText == 0x80000000u);
#if defined(__SSE2__)
    // The character's lane is left out of the style, and the wide marks of the flags' lane. Four
    // cells at a time: their style lanes against the first cell's, their characters and flags
    // gathered into one vector each.
    const __m128i mask =
        _mm_set_epi32(static_cast<int>(0xFFFF0000u | (0xFFFFu & ~unsigned{wideBits})), -1, -1, 0);
    const __m128i ascii = _mm_set1_epi32(0x7F);
    const __m128i wideMarks = _mm_set1_epi32(wideBits);
    const __m128i head = _mm_set1_epi32(CellFlags::wideHead);
    const __m128i top = _mm_set1_epi32(static_cast<int>(wideText));
    const auto load = [&](std::size_t k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells.data() + k));
    };
    const __m128i first = _mm_and_si128(load(0), mask);
    __m128i differs = _mm_setzero_si128();
    __m128i beyond = _mm_setzero_si128();
    __m128i zeros = _mm_setzero_si128();
    __m128i allScalars = _mm_setzero_si128();
    __m128i allHeads = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128i a = load(i), b = load(i + 1), c = load(i + 2), d = load(i + 3);
        differs = _mm_or_si128(differs,
                               _mm_or_si128(_mm_or_si128(_mm_xor_si128(a, first), _mm_xor_si128(b, first)),
                                            _mm_or_si128(_mm_xor_si128(c, first), _mm_xor_si128(d, first))));
        if (i == 8 &&
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(differs, mask), _mm_setzero_si128())) != 0xFFFF) {
            row.oneStyle = false;
            return row;
        }
        const __m128i characters = _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
        const __m128i flags = _mm_unpackhi_epi64(_mm_unpackhi_epi32(a, b), _mm_unpackhi_epi32(c, d));
        beyond = _mm_sub_epi32(beyond, _mm_cmpgt_epi32(characters, ascii)); // signed: not past wideText
        zeros = _mm_sub_epi32(zeros, _mm_cmpeq_epi32(characters, _mm_setzero_si128()));
        allScalars = _mm_or_si128(allScalars, characters);
        const __m128i heads4 = _mm_and_si128(_mm_cmpeq_epi32(_mm_and_si128(flags, wideMarks), head), top);
        allHeads = _mm_or_si128(allHeads, heads4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(characters, heads4));
        out += 4 * cellTextBytes;
    }
    row.oneStyle =
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(differs, mask), _mm_setzero_si128())) == 0xFFFF;
    // The four lanes' counts and bits folded into one.
    beyond = _mm_add_epi32(beyond, _mm_shuffle_epi32(beyond, _MM_SHUFFLE(1, 0, 3, 2)));
    beyond = _mm_add_epi32(beyond, _mm_shuffle_epi32(beyond, _MM_SHUFFLE(2, 3, 0, 1)));
    zeros = _mm_add_epi32(zeros, _mm_shuffle_epi32(zeros, _MM_SHUFFLE(1, 0, 3, 2)));
    zeros = _mm_add_epi32(zeros, _mm_shuffle_epi32(zeros, _MM_SHUFFLE(2, 3, 0, 1)));
    row.beyondAscii = static_cast<std::uint32_t>(_mm_cvtsi128_si32(beyond));
    row.zeros = static_cast<std::uint32_t>(_mm_cvtsi128_si32(zeros));
    scalars = _mm_movemask_ps(_mm_castsi128_ps(allScalars)) != 0 ? wideText : 0;
    heads = static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(allHeads)));
#endif
    const StyleWords style = styleWords(cells[0].style, static_cast<std::uint16_t>(~wideBits));
    for (; i < n; ++i) {
        const Cell& cell = cells[i];
        row.oneStyle = row.oneStyle && styleWords(cell.style, static_cast<std::uint16_t>(~wideBits)) == style;
        const std::uint32_t text = cellText(cell);
        row.beyondAscii += cell.character >= 0x80 && cell.character < wideText;
        row.zeros += cell.character == 0;
        scalars |= cell.character;
        heads |= text & wideText;
        std::memcpy(out, &text, sizeof text);
        out += cellTextBytes;
    }
    row.narrowScalars = (scalars & wideText) == 0;
    row.wide = heads != 0;
    row.end = out;
    return row;
}

#if defined(__SSE2__)
// For each set of the four cells that start a run (bit j for cell j): their columns in order, and
// how many there are.
constexpr auto runStarts = [] {
    std::array<std::array<std::int32_t, 4>, 16> columns{};
    std::array<std::uint8_t, 16> counts{};
    for (std::size_t set = 0; set < 16; ++set) {
        for (std::int32_t j = 0; j < 4; ++j) {
            if (set >> j & 1u) {
                columns[set][counts[set]++] = j;
            }
        }
    }
    return std::pair{columns, counts};
}();
constexpr auto runStartColumns = runStarts.first;
constexpr auto runStartCounts = runStarts.second;
#endif

// A row of several styles whose characters are all ASCII, one column each (coloured output): the
// characters narrowed to bytes and the style runs found by comparing each cell's style lanes with
// its neighbour's, four cells to an iteration. Where each run ends goes to `ends` (room for the
// cells and 4 more), which is left past the last. Returns nullptr (having written what it may) at a
// row with a character beyond ASCII, a 0 or a wide mark, which the general path takes.
std::uint8_t* writeAsciiRuns(std::span<const Cell> cells, std::uint8_t* out, std::uint32_t*& ends)
{
#if defined(__SSE2__)
    const std::size_t n = cells.size();
    if (n == 0) {
        return nullptr;
    }
    const Cell* const from = cells.data();
    const auto load = [&](std::size_t k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
    };
    __m128i merged = _mm_setzero_si128();
    __m128i zeros = _mm_setzero_si128();
    __m128i previous = load(0); // the first cell continues no run
    std::uint32_t* end = ends;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i a = load(i), b = load(i + 1), c = load(i + 2), d = load(i + 3);
        merged = _mm_or_si128(merged, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
        const __m128i characters = _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
        const __m128i words = _mm_packs_epi32(characters, characters);
        const __m128i bytes = _mm_packus_epi16(words, words);
        zeros = _mm_or_si128(zeros, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
        const auto four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(out + i, &four, sizeof four);
        // Each cell's lanes against its left neighbour's, packed to a byte a lane: cell j continues
        // the run when its three style lanes (bits 4j + 1 to 4j + 3) are all equal.
        const __m128i ab = _mm_packs_epi32(_mm_cmpeq_epi32(previous, a), _mm_cmpeq_epi32(a, b));
        const __m128i cd = _mm_packs_epi32(_mm_cmpeq_epi32(b, c), _mm_cmpeq_epi32(c, d));
        previous = d;
        const auto equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ab, cd)));
        const unsigned same = equal >> 1 & equal >> 2 & equal >> 3;
        // Bits 0, 4, 8 and 12 gathered into a nibble (the multiplier's terms put each alone in bits
        // 12 to 15): the cells that start a run. Their columns are stored together from a table,
        // and only those kept are stepped past, which costs no branch that output could mislead.
        const unsigned starts = (~same & 0x1111u) * 0x1248u >> 12 & 0xFu;
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(end),
            _mm_add_epi32(_mm_set1_epi32(static_cast<int>(i)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(&runStartColumns[starts]))));
        end += runStartCounts[starts];
    }
    for (; i < n; ++i) {
        const __m128i cell = load(i);
        merged = _mm_or_si128(merged, cell);
        zeros = _mm_or_si128(zeros, _mm_cmpeq_epi32(cell, _mm_setzero_si128()));
        out[i] = static_cast<std::uint8_t>(from[i].character);
        const int equal = _mm_movemask_epi8(_mm_cmpeq_epi32(previous, cell));
        previous = cell;
        end[0] = static_cast<std::uint32_t>(i);
        end += (equal & 0xFFF0) != 0xFFF0 ? 1 : 0; // the style lanes, not the character's
    }
    *end++ = static_cast<std::uint32_t>(n);
    // Every character in 1..0x7F (a 0 shows among the narrowed bytes or the lone cells' first
    // lanes) and no wide mark in any cell's flags.
    const __m128i outside = _mm_set_epi32(wideBits, 0, 0, ~0x7F);
    const __m128i stray =
        _mm_or_si128(_mm_and_si128(merged, outside), _mm_and_si128(zeros, _mm_set_epi32(0, 0, 0, -1)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(stray, _mm_setzero_si128())) != 0xFFFF) {
        return nullptr;
    }
    ends = end;
    return out + n;
#else
    (void)cells;
    (void)out;
    (void)ends;
    return nullptr;
#endif
}

// What writeCharacters wrote: where it ended, the characters and cells they fill.
struct Characters {
    std::uint8_t* end = nullptr;
    std::uint32_t count = 0;
    int cells = 0;
    bool wide = false;
    bool beyondAscii = false;
};

// Each character's scalar as a varint (one byte for ASCII), a wide one after a 0; perCharacter is
// called with each character's cell (a wide character's second half goes with its first).
template <class PerCharacter>
[[gnu::always_inline]] inline Characters writeCharacters(std::span<const Cell> cells, std::uint8_t* out,
                                                         PerCharacter&& perCharacter)
{
    Characters written;
    const std::size_t n = cells.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Cell& cell = cells[i];
        char32_t c = cell.character == 0 ? U' ' : cell.character;
        int width = 1;
        if (cell.style.flags & wideBits) [[unlikely]] {
            if (cell.style.flags & CellFlags::wideTail) {
                if (i > 0 && (cells[i - 1].style.flags & CellFlags::wideHead)) {
                    continue; // the second half of a character counted with its first
                }
                c = U' '; // a stray second half
            } else {
                width = 2;
                written.wide = true;
                *out++ = 0;
            }
        }
        if (c < 0x80) {
            *out++ = static_cast<std::uint8_t>(c);
        } else {
            written.beyondAscii = true;
            if (c < 0x4000) {
                out[0] = static_cast<std::uint8_t>(c | 0x80);
                out[1] = static_cast<std::uint8_t>(c >> 7);
                out += 2;
            } else {
                out = putVarint(out, c);
            }
        }
        written.cells += width;
        ++written.count;
        perCharacter(cell);
    }
    written.end = out;
    return written;
}
} // namespace

History::History() : cache_(cachedRows) {}

// ---- what goes in ----

void History::push(std::span<const Cell> cells, bool wrapped, bool padded, const std::uint8_t* plainText)
{
    if (limit_.lines == 0) {
        ++dropped_; // the row is gone at once
        return;
    }
    if (padded && !cells.empty()) {
        cells = cells.first(cells.size() - 1);
    }
    if (plainText != nullptr) {
        // Its blanks are spaces, and it has no wide character.
        std::size_t n = cells.size();
        while (!wrapped && n > 0 && plainText[n - 1] == ' ') {
            --n;
        }
        cells = cells.first(n);
    } else {
        if (!wrapped) {
            while (!cells.empty() && isDefaultBlank(cells.back())) {
                cells = cells.first(cells.size() - 1);
            }
        }
        // A lone half of a wide character (cut by an edit) would decode as a whole one: never store it.
        if (!cells.empty() && (cells.back().style.flags & CellFlags::wideHead)) {
            cells = cells.first(cells.size() - 1);
        }
    }
    decodedFirstRow_ = -1;
    do {
        if (open_ && lastCells_ >= lineCellLimit) {
            closeOpenLine();
        }
        const int room = lineCellLimit - (open_ ? lastCells_ : 0);
        std::size_t take = std::min(cells.size(), static_cast<std::size_t>(room));
        if (plainText == nullptr && take < cells.size() && take > 0 &&
            (cells[take - 1].style.flags & CellFlags::wideHead)) {
            --take; // a wide character goes whole into the next piece
        }
        const auto piece = cells.first(take);
        cells = cells.subspan(take);
        appendRecord(piece, plainText, wrapped || !cells.empty());
        plainText = plainText != nullptr ? plainText + take : nullptr;
    } while (!cells.empty());
    if (lines_ > limit_.lines || checkBytes_) {
        enforceLimit();
    }
}

void History::pushLine(std::span<const Cell> cells, bool open)
{
    if (open_) {
        closeOpenLine();
    }
    push(cells, open, false, nullptr);
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

void History::Bytes::reallocate(std::size_t capacity)
{
    auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    if (size_ > 0) {
        std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    capacity_ = capacity;
}

// A record of n default-style ASCII characters: its header and length go into the block (room for
// the longest is taken, what is not used given back), and where its characters go is returned.
[[gnu::always_inline]] inline std::uint8_t* History::startPlainRecord(Block& block, std::size_t n,
                                                                      bool continues)
{
    const std::uint64_t header =
        static_cast<std::uint64_t>(n) << headerShift | (continues ? continuesBit : 0);
    std::uint8_t* const record = block.data.extend(2 * maxVarintBytes + n + 16);
    std::uint8_t* const out = putVarint(putVarint(record, header), n);
    block.data.truncate(static_cast<std::size_t>(out + n - block.data.data()));
    return out;
}

// The common record, a row of default-style ASCII, in one pass straight into the block: false (and
// nothing written) when a cell is not.
[[gnu::always_inline]] inline bool History::appendPlainRecord(Block& block, std::span<const Cell> cells,
                                                              bool continues)
{
    const std::size_t n = cells.size();
    const std::size_t at = block.data.size();
    std::uint8_t* const out = startPlainRecord(block, n, continues);
    const Cell* const from = cells.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    const auto load = [&](std::size_t k) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
    };
    // A plain cell is, as four 32-bit lanes, (c, 0, 0, 0) with c in 1..0x7F: nothing outside the
    // first lane's low 7 bits, and a first lane that is not 0. Eight cells at a time are merged (any
    // bit outside shows in their union) and their first lanes narrowed to bytes, where a 0 shows;
    // the verdict waits for the end of the row.
    __m128i merged = _mm_setzero_si128();
    __m128i zeros = _mm_setzero_si128();
    const auto narrow = [&](__m128i a, __m128i b, __m128i c, __m128i d) {
        merged = _mm_or_si128(merged, _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
    };
    for (; i + 8 <= n; i += 8) {
        const __m128i abcd = narrow(load(i), load(i + 1), load(i + 2), load(i + 3));
        const __m128i efgh = narrow(load(i + 4), load(i + 5), load(i + 6), load(i + 7));
        const __m128i words = _mm_packs_epi32(abcd, efgh);
        const __m128i bytes = _mm_packus_epi16(words, words);
        zeros = _mm_or_si128(zeros, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    if (i + 4 <= n) { // the short lines of a shell session mostly end here
        const __m128i abcd = narrow(load(i), load(i + 1), load(i + 2), load(i + 3));
        const __m128i words = _mm_packs_epi32(abcd, abcd);
        const __m128i bytes = _mm_packus_epi16(words, words);
        zeros = _mm_or_si128(zeros, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
        const auto four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(out + i, &four, sizeof four);
        i += 4;
    }
    const __m128i outside = _mm_set_epi32(-1, -1, -1, ~0x7F);
    const __m128i stray = _mm_or_si128(_mm_and_si128(merged, outside), zeros);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(stray, _mm_setzero_si128())) != 0xFFFF) {
        block.data.truncate(at);
        return false;
    }
#endif
    std::uint64_t styled = 0;
    bool notAscii = false;
    for (; i < n; ++i) {
        const Cell& cell = from[i];
        std::uint64_t styleLow;
        std::uint32_t styleHigh;
        std::memcpy(&styleLow, &cell.style, sizeof styleLow);
        std::memcpy(&styleHigh, reinterpret_cast<const char*>(&cell.style) + sizeof styleLow,
                    sizeof styleHigh);
        styled |= styleLow | styleHigh;
        notAscii |= cell.character - 1 >= 0x7F; // 0 or beyond ASCII
        out[i] = static_cast<std::uint8_t>(cell.character);
    }
    if (styled != 0 || notAscii) {
        block.data.truncate(at);
        return false;
    }
    lastRecord_ = at;
    return true;
}

// Most runs' styles were seen lately: that lookup stays inline in the encoder.
inline std::uint32_t History::styleId(const CellStyle& style)
{
    const std::uint32_t mixed = style.foreground * 0x9E3779B1u ^ style.background * 0x85EBCA77u ^
                                (std::uint32_t{style.flags} << 16 | style.link) * 0xC2B2AE3Du;
    auto& recent = recentStyles_[mixed >> 22];
    if (recent.second != 0 && styleWords(recent.first, 0xFFFF) == styleWords(style, 0xFFFF)) [[likely]] {
        return recent.second;
    }
    return lookUpStyle(style, recent);
}

std::uint32_t History::lookUpStyle(const CellStyle& style, std::pair<CellStyle, std::uint32_t>& recent)
{
    std::uint32_t id = 0;
    if (const auto found = styleIds_.find(style); found != styleIds_.end()) {
        id = found->second;
    } else if (styles_.size() < styleLimit) {
        styles_.push_back(style);
        id = static_cast<std::uint32_t>(styles_.size());
        styleIds_.emplace(style, id);
        checkBytes_ = true;
    }
    if (id != 0) {
        recent = {style, id};
    }
    return id;
}

// A run: its length, its style's number, and the style itself when it has none.
[[gnu::always_inline]] inline std::uint8_t* History::putRun(std::uint8_t* out, std::uint32_t length,
                                                            const CellStyle& style)
{
    out = putShortVarint(out, length);
    const std::uint32_t id = styleId(style);
    out = putShortVarint(out, id);
    if (id == 0) {
        out = putVarint(out, style.foreground);
        out = putVarint(out, style.background);
        out = putVarint(out, style.flags);
        out = putVarint(out, style.link);
    }
    return out;
}

// Room for the runs of n cells (at most 20 bytes each, see putRun) with their count in front.
std::uint8_t* History::runBytesStart(std::size_t n)
{
    if (runBytes_.size() < maxVarintBytes + n * 20) {
        runBytes_.resize(maxVarintBytes + n * 20);
    }
    return runBytes_.data() + maxVarintBytes;
}

// A row of coloured ASCII: its characters into scratch_, its runs into runBytes_.
History::ColouredAscii History::encodeColouredAscii(std::span<const Cell> cells)
{
    const std::size_t n = cells.size();
    if (runEnds_.size() < n + 5) {
        runEnds_.resize(n + 5);
    }
    std::uint32_t* ends = runEnds_.data();
    ColouredAscii ascii;
    ascii.end = writeAsciiRuns(cells, scratch_.data(), ends);
    if (ascii.end == nullptr) {
        return ascii;
    }
    std::uint8_t* r = runBytesStart(n);
    std::uint32_t start = 0;
    for (const std::uint32_t* e = runEnds_.data(); e != ends; ++e) {
        r = putRun(r, *e - start, cells[*e - 1].style);
        start = *e;
    }
    ascii.runsEnd = r;
    ascii.runs = static_cast<std::size_t>(ends - runEnds_.data());
    return ascii;
}

// Any other row, in one pass over its cells: the characters into scratch_ and the style runs into
// runBytes_ (by where they end for coloured ASCII, through runs_ for any other row), then the
// record (runs first) into the block.
History::RecordShape History::encodeRecord(Block& block, std::span<const Cell> cells, bool continues)
{
    RecordShape shape;
    const std::size_t n = cells.size();
    if (scratch_.size() < n * characterVarintBytes) {
        scratch_.resize(n * characterVarintBytes);
    }
    // Most rows are in one style (text of any script in the default one, a line of one colour):
    // those skip the run tracking. Those mostly beyond ASCII keep each cell's text as it is, which
    // takes twice the bytes of varints but a fraction of the time: output in such a script would
    // otherwise cost the history more than the screen.
    runs_.clear();
    StyleWords current;
    Characters written;
    std::uint8_t* runsEnd = nullptr;
    std::size_t runCount = 0;
    // Coloured output goes on as it began: after a row of coloured ASCII the next is tried as one
    // before anything else looks at it.
    ColouredAscii ascii;
    if (lastColouredAscii_) {
        ascii = encodeColouredAscii(cells);
    }
    bool cellText = false;
    if (ascii.end == nullptr) {
        const RowSurvey row = surveyRow(cells, scratch_.data());
        // Mostly beyond ASCII: at least half of the characters, a wide one's second half not counted.
        cellText = row.oneStyle && row.narrowScalars && 2 * row.beyondAscii + row.zeros >= n && n > 0;
        if (cellText) {
            // Every cell is a value: a wide character's second half is one too.
            written.end = row.end;
            written.cells = static_cast<int>(n);
            written.count = static_cast<std::uint32_t>(n);
            written.beyondAscii = true;
            written.wide = row.wide;
        } else if (row.oneStyle) {
            written = writeCharacters(cells, scratch_.data(), [](const Cell&) {});
        }
        if (row.oneStyle) {
            current = styleWords(n > 0 ? cells[0].style : CellStyle{}, static_cast<std::uint16_t>(~wideBits));
            if (written.count > 0) {
                runs_.push_back({written.count, styleOf(current)});
            }
        } else if ((ascii = encodeColouredAscii(cells)).end == nullptr) {
            std::uint32_t runLength = 0;
            written = writeCharacters(cells, scratch_.data(), [&](const Cell& cell) {
                // Runs of characters sharing a style, its wide marks aside.
                const StyleWords style = styleWords(cell.style, static_cast<std::uint16_t>(~wideBits));
                if (!(style == current)) [[unlikely]] {
                    if (runLength > 0) {
                        runs_.push_back({runLength, styleOf(current)});
                    }
                    current = style;
                    runLength = 0;
                }
                ++runLength;
            });
            if (runLength > 0) {
                runs_.push_back({runLength, styleOf(current)});
            }
        }
    }
    const bool colouredAscii = ascii.end != nullptr;
    lastColouredAscii_ = colouredAscii;
    if (colouredAscii) {
        written.end = ascii.end;
        written.cells = static_cast<int>(n);
        written.count = static_cast<std::uint32_t>(n);
        current = styleWords(cells[n - 1].style, 0xFFFF);
        runsEnd = ascii.runsEnd;
        runCount = ascii.runs;
    } else {
        runCount = runs_.size();
    }
    shape.cells = written.cells;
    shape.wide = written.wide;
    shape.firstWidth = n > 1 && (cells[0].style.flags & CellFlags::wideHead) ? 2 : 1;
    const bool beyondAscii = written.beyondAscii;
    std::uint8_t* const out = written.end;
    // One run takes the style of the row's last cell, which current holds.
    shape.plain = !shape.wide && runCount <= 1 && current == StyleWords{} && !beyondAscii;
    const bool styled = runCount > 1 || (runCount == 1 && !(current == StyleWords{}));

    const std::uint8_t* runsFrom = runsEnd;
    if (styled) {
        if (!colouredAscii) {
            runsEnd = runBytesStart(n);
            for (const auto& [length, style] : runs_) {
                runsEnd = putRun(runsEnd, length, style);
            }
        }
        std::uint8_t count[maxVarintBytes];
        const auto countBytes = static_cast<std::size_t>(putVarint(count, runCount) - count);
        runsFrom = runBytes_.data() + maxVarintBytes - countBytes;
        std::memcpy(runBytes_.data() + maxVarintBytes - countBytes, count, countBytes);
    }
    const auto runBytes = static_cast<std::size_t>(runsEnd - runsFrom);
    const auto charBytes = static_cast<std::size_t>(out - scratch_.data());

    std::uint8_t prefix[20];
    const std::uint64_t header = static_cast<std::uint64_t>(shape.cells) << headerShift |
                                 (continues ? continuesBit : 0) | (shape.wide ? wideBit : 0) |
                                 (styled ? hasRunsBit : 0) | (cellText ? cellTextBit : 0);
    const auto prefixBytes =
        static_cast<std::size_t>(putVarint(putVarint(prefix, header), runBytes + charBytes) - prefix);
    lastRecord_ = block.data.size();
    std::uint8_t* to = block.data.extend(prefixBytes + runBytes + charBytes);
    std::memcpy(to, prefix, prefixBytes);
    if (runBytes > 0) {
        std::memcpy(to + prefixBytes, runsFrom, runBytes);
    }
    std::memcpy(to + prefixBytes + runBytes, scratch_.data(), charBytes);
    return shape;
}

void History::appendRecord(std::span<const Cell> cells, const std::uint8_t* plainText, bool continues)
{
    const bool newLine = !open_;
    if (newLine && (blocks_.empty() || blocks_.back().lines >= blockLineLimit ||
                    blocks_.back().data.size() >= blockByteLimit)) {
        // A new block takes the room the last one filled (output goes on much as it was), so it
        // rarely grows by copying; the sealed one gives back what it did not use.
        std::size_t room = 4096;
        if (!blocks_.empty()) {
            Block& sealed = blocks_.back();
            room = std::clamp(sealed.data.size() + sealed.data.size() / 32, std::size_t{1024},
                              blockByteLimit + blockByteLimit / 4);
            if (sealed.data.capacity() - sealed.data.size() > sealed.data.size() / 16) {
                sealed.data.shrinkToFit();
            }
            if (sealed.lineCells.size() < sealed.lineCells.capacity()) {
                sealed.lineCells.shrink_to_fit();
            }
            sealedBytes_ += blockBytes(sealed);
        }
        Block block;
        block.firstRow = blocks_.empty() ? static_cast<std::int64_t>(dropped_)
                                         : blocks_.back().firstRow + blocks_.back().rows;
        block.rowsWidth = width_;
        block.data.reserve(room);
        block.lineCells.reserve(blockLineLimit);
        blocks_.push_back(std::move(block));
        checkBytes_ = true;
    }
    Block& block = blocks_.back();
    const std::size_t capacity = block.data.capacity();

    // Output that was not plain a row ago rarely is now: it skips the plain attempt.
    RecordShape shape;
    if (plainText != nullptr) {
        // Known plain: its characters as they are, sixteen at a time (the grid's slack and the
        // room startPlainRecord takes cover the last sixteen's overreach).
        lastRecord_ = block.data.size();
        std::uint8_t* const out = startPlainRecord(block, cells.size(), continues);
        for (std::size_t i = 0; i < cells.size(); i += 16) {
            std::memcpy(out + i, plainText + i, 16);
        }
        shape.cells = static_cast<int>(cells.size());
    } else if (lastPlain_ && appendPlainRecord(block, cells, continues)) {
        shape.cells = static_cast<int>(cells.size());
    } else {
        shape = encodeRecord(block, cells, continues);
        lastPlain_ = shape.plain;
    }
    checkBytes_ = checkBytes_ || block.data.capacity() != capacity;

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
    } else if (!cells.empty() && lastColumn_ + shape.firstWidth <= width_) {
        // The line's last row, as read so far, gains cells: its readers look again.
        ++generation_;
        forgetRows();
    }
    const std::int64_t before = lastRows_;
    if (shape.cells > 0 && shape.cells <= width_ &&
        (lastColumn_ == 0 || lastColumn_ + shape.firstWidth > width_)) {
        // A row of its own, as a screen row pushed at the screen's width is: nothing to cut.
        lastRows_ += lastColumn_ > 0 ? 1 : 0;
        lastColumn_ = shape.cells;
    } else if (shape.wide) {
        lastRows_ = cutRows(cells, width_, lastRows_, lastColumn_, nullptr);
    } else {
        lastRows_ = cutNarrowRows(cells.size(), width_, lastRows_, lastColumn_);
    }
    block.rows += lastRows_ - before;
    rowCount_ += lastRows_ - before;
    lastCells_ += shape.cells;
    const bool wideLineNow = shape.wide || (block.lineCells.back() & wideLine);
    block.lineCells.back() = static_cast<std::uint32_t>(lastCells_) |
                             static_cast<std::uint32_t>(lastRows_) << lineRowsShift |
                             (wideLineNow ? wideLine : 0);
    block.maxCells = std::max(block.maxCells, lastCells_);
    block.wide = block.wide || shape.wide;
    open_ = continues;
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
    forEachRecord(
        data + line.begin, data + line.end,
        [&](std::uint64_t header, const std::uint8_t* p, const std::uint8_t* payloadEnd) {
            const bool cellText = header & cellTextBit;
            bool afterHead = false; // the last cell text put was a wide character's first half
            const auto put = [&](CellStyle style) {
                if (cellText) {
                    // A cell each: a 0 after a first half is its second half, any other a blank.
                    std::uint32_t text;
                    std::memcpy(&text, p, sizeof text);
                    p += cellTextBytes;
                    const bool second = text == 0 && afterHead;
                    afterHead = (text & wideText) != 0;
                    style.flags |= afterHead ? CellFlags::wideHead : second ? CellFlags::wideTail : 0;
                    const char32_t scalar = text == 0 && !second ? U' ' : text & ~wideText;
                    out.push_back(Cell{scalar, style});
                    return;
                }
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

std::size_t History::firstByte(const Block& block) const
{
    while (block.beginLine < block.linesDropped) {
        block.begin = readLine(block, block.begin).end;
        ++block.beginLine;
    }
    return block.begin;
}

[[gnu::always_inline]] inline std::int64_t History::keptRows(const Block& block, std::size_t index) const
{
    const std::uint32_t entry = block.lineCells[index];
    const auto cells = static_cast<int>(entry & lineCellsMask);
    if (cells <= width_) {
        return 1;
    }
    if (!(entry & wideLine) || block.estimated) {
        return (cells + width_ - 1) / width_;
    }
    const auto kept = static_cast<std::int64_t>(entry >> lineRowsShift & 0x7FFF);
    return block.rowsWidth == width_ && kept > 0 ? kept : -1;
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
                      if (header & cellTextBit) {
                          // As cutRows counts the cells: a first half not at the end takes its next.
                          for (; p < payloadEnd; p += cellTextBytes) {
                              if ((p[cellTextBytes - 1] & 0x80) != 0 && p + cellTextBytes < payloadEnd) {
                                  place(2);
                                  p += cellTextBytes;
                              } else {
                                  place(1);
                              }
                          }
                          return;
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
        block.rowsWidth = width_;
        return block.lines;
    }
    std::int64_t rows = 0;
    bool walk = false;
    const auto w = static_cast<std::uint32_t>(width_);
    for (std::size_t i = block.linesDropped; i < block.lineCells.size(); ++i) {
        const std::uint32_t cells = block.lineCells[i] & lineCellsMask;
        if (cells <= w) {
            ++rows;
        } else {
            rows += (cells + w - 1) / w;
            walk = walk || (block.lineCells[i] & wideLine) != 0;
        }
    }
    if (!walk) {
        block.rowsWidth = width_;
        return rows;
    }
    if (estimate) {
        block.estimated = true;
        return rows;
    }
    // Walked once here, a long line with wide characters keeps its rows for dropping and finding it.
    rows = 0;
    std::size_t index = block.linesDropped;
    for (std::size_t at = firstByte(block); at < block.data.size(); ++index) {
        const LineInfo line = readLine(block, at);
        const std::int64_t lineRows = rowsOf(block, line);
        if (line.wide && line.cells > width_) {
            std::uint32_t& entry = block.lineCells[index];
            entry = (entry & ~(0x7FFFu << lineRowsShift)) | static_cast<std::uint32_t>(lineRows)
                                                                << lineRowsShift;
        }
        rows += lineRows;
        at = line.end;
    }
    block.rowsWidth = width_;
    return rows;
}

// ---- bounds ----

void History::setLimit(HistoryLimit limit)
{
    limit_ = limit;
    checkBytes_ = true;
    if (limit_.lines == 0) {
        clear();
        return;
    }
    enforceLimit();
}

std::size_t History::bytes() const
{
    return sealedBytes_ + (blocks_.empty() ? 0 : blockBytes(blocks_.back())) +
           styles_.capacity() * sizeof(CellStyle) + styleIds_.size() * 32 + blocks_.size() * sizeof(Block);
}

std::size_t History::blockBytes(const Block& block)
{
    return block.data.capacity() + block.lineCells.capacity() * sizeof(std::uint32_t);
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
    // Over the memory budget: whole blocks, which is what frees memory. Only a new block, a grown
    // one or a new style can have crossed it.
    if (!checkBytes_) {
        return;
    }
    checkBytes_ = false;
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
    sealedBytes_ -= blockBytes(front);
    blocks_.pop_front();
}

void History::dropOldestLine()
{
    Block& front = blocks_.front();
    std::int64_t rows = keptRows(front, front.linesDropped);
    if (rows < 0) {
        rows = wideRows(front, readLine(front, firstByte(front)));
    }
    if (!front.marks.empty() && front.marks.front().first == front.linesDropped) {
        front.marks.erase(front.marks.begin());
    }
    ++front.linesDropped; // its bytes are skipped when someone reads the block
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
            sealedBytes_ -= blockBytes(front);
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
    recentStyles_.fill({});
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
    for (std::size_t at = firstByte(block); at < block.data.size(); at = line.end) {
        line = readLine(block, at);
    }
    decodeLine(block, line, cells);
    open = open_;
    const std::int64_t rows = rowsOf(block, line);
    block.data.truncate(line.begin);
    if (!block.marks.empty() && block.marks.back().first + 1 == block.lineCells.size()) {
        block.marks.pop_back(); // the caller took them with newestLineMarks()
    }
    block.lineCells.pop_back();
    --block.lines;
    --lines_;
    block.rows -= rows;
    rowCount_ -= rows;
    if (block.lines == 0) {
        estimatedBlocks_ -= block.estimated ? 1 : 0;
        blocks_.pop_back();
        if (!blocks_.empty()) {
            sealedBytes_ -= blockBytes(blocks_.back());
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
        for (std::size_t at = firstByte(block); at < block.data.size(); at = line.end) {
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
        std::size_t lineIndex = block.linesDropped;
        for (std::size_t at = firstByte(block); at < block.data.size(); at = line.end, ++lineIndex) {
            line = readLine(block, at);
            std::int64_t rows = keptRows(block, lineIndex);
            rows = rows < 0 ? wideRows(block, line) : rows;
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

const History::Block* History::linesBefore(std::int64_t before,
                                           std::vector<std::pair<LineInfo, std::int64_t>>& lines) const
{
    lines.clear();
    const std::int64_t last = before - 1;
    if (last < static_cast<std::int64_t>(dropped_)) {
        return nullptr;
    }
    const auto next = std::upper_bound(blocks_.begin(), blocks_.end(), last,
                                       [](std::int64_t value, const Block& b) { return value < b.firstRow; });
    if (next == blocks_.begin()) {
        return nullptr;
    }
    if ((next - 1)->estimated) {
        // Its lines' rows are needed exactly (the rows after it may move).
        const_cast<History*>(this)->refineBlock(static_cast<std::size_t>(next - 1 - blocks_.begin()));
        return linesBefore(before, lines);
    }
    const Block& block = *(next - 1);
    std::int64_t row = block.firstRow;
    std::size_t index = block.linesDropped;
    for (std::size_t at = firstByte(block); at < block.data.size() && row < before; ++index) {
        const LineInfo line = readLine(block, at);
        std::int64_t rows = keptRows(block, index);
        rows = rows < 0 ? wideRows(block, line) : rows;
        lines.emplace_back(line, row);
        row += rows;
        at = line.end;
    }
    return lines.empty() ? nullptr : &block;
}

// ---- marks ----

void History::markNewestLine(LineMarks::Bits marks)
{
    if (lines_ == 0 || marks == 0) {
        return;
    }
    Block& block = blocks_.back();
    const auto index = static_cast<std::uint32_t>(block.lineCells.size() - 1);
    if (!block.marks.empty() && block.marks.back().first == index) {
        block.marks.back().second = LineMarks::merged(block.marks.back().second, marks);
    } else {
        block.marks.emplace_back(index, marks);
    }
}

LineMarks::Bits History::newestLineMarks() const
{
    if (lines_ == 0 || blocks_.back().marks.empty() ||
        blocks_.back().marks.back().first + 1 != blocks_.back().lineCells.size()) {
        return 0;
    }
    return blocks_.back().marks.back().second;
}

std::size_t History::blockAt(std::int64_t row) const
{
    const auto next = std::upper_bound(blocks_.begin(), blocks_.end(), row,
                                       [](std::int64_t value, const Block& b) { return value < b.firstRow; });
    if (next == blocks_.begin() || row >= static_cast<std::int64_t>(dropped_) + rowCount_) {
        return blocks_.size();
    }
    return static_cast<std::size_t>(next - 1 - blocks_.begin());
}

void History::blockMarks(const Block& block, std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const
{
    auto mark = std::lower_bound(block.marks.begin(), block.marks.end(), block.linesDropped,
                                 [](const auto& m, std::size_t index) { return m.first < index; });
    if (mark == block.marks.end()) {
        return;
    }
    const std::size_t first = out.size();
    // The kept counts first; a long line with wide characters whose rows only its records tell
    // sends the walk through the records instead.
    for (const bool records : {false, true}) {
        std::int64_t row = block.firstRow;
        std::size_t index = block.linesDropped;
        std::size_t at = records ? firstByte(block) : 0;
        bool unknown = false;
        for (auto m = mark; m != block.marks.end() && !unknown; ++m) {
            for (; index < m->first; ++index) {
                std::int64_t rows = keptRows(block, index);
                if (records) {
                    const LineInfo line = readLine(block, at);
                    rows = rows < 0 ? wideRows(block, line) : rows;
                    at = line.end;
                } else if (rows < 0) {
                    unknown = true;
                    break;
                }
                row += rows;
            }
            if (!unknown) {
                out.emplace_back(row, m->second);
            }
        }
        if (!unknown) {
            return;
        }
        out.resize(first);
    }
}

void History::markLineAt(std::int64_t firstRow, LineMarks::Bits marks)
{
    const std::size_t b = blockAt(firstRow);
    if (b == blocks_.size()) {
        return;
    }
    Block& block = blocks_[b];
    std::int64_t row = block.firstRow;
    std::size_t index = block.linesDropped;
    for (std::size_t at = firstByte(block); at < block.data.size() && row < firstRow; ++index) {
        const LineInfo line = readLine(block, at);
        const std::int64_t rows = keptRows(block, index);
        row += rows < 0 ? wideRows(block, line) : rows;
        at = line.end;
    }
    if (row != firstRow || index >= block.lineCells.size()) {
        return;
    }
    const auto key = static_cast<std::uint32_t>(index);
    const auto mark = std::lower_bound(block.marks.begin(), block.marks.end(), key,
                                       [](const auto& m, std::uint32_t i) { return m.first < i; });
    if (mark != block.marks.end() && mark->first == key) {
        mark->second = LineMarks::merged(mark->second, marks);
    } else {
        block.marks.emplace(mark, key, marks);
    }
}

void History::markedLines(std::int64_t from, std::int64_t to,
                          std::vector<std::pair<std::int64_t, LineMarks::Bits>>& out) const
{
    std::vector<std::pair<std::int64_t, LineMarks::Bits>> found;
    for (std::size_t b =
             std::min(blockAt(std::max(from, static_cast<std::int64_t>(dropped_))), blocks_.size());
         b < blocks_.size() && blocks_[b].firstRow < to; ++b) {
        found.clear();
        blockMarks(blocks_[b], found);
        for (const auto& mark : found) {
            if (mark.first >= from && mark.first < to) {
                out.push_back(mark);
            }
        }
    }
}

std::int64_t History::markedRowBefore(std::int64_t before, LineMarks::Bits mask) const
{
    std::vector<std::pair<std::int64_t, LineMarks::Bits>> found;
    const std::size_t last =
        blockAt(std::min(before - 1, static_cast<std::int64_t>(dropped_) + rowCount_ - 1));
    for (std::size_t b = last; b < blocks_.size(); --b) {
        found.clear();
        blockMarks(blocks_[b], found);
        for (auto mark = found.rbegin(); mark != found.rend(); ++mark) {
            if (mark->first < before && (mark->second & mask)) {
                return mark->first;
            }
        }
    }
    return -1;
}

std::int64_t History::markedRowAfter(std::int64_t after, LineMarks::Bits mask) const
{
    std::vector<std::pair<std::int64_t, LineMarks::Bits>> found;
    for (std::size_t b =
             std::min(blockAt(std::max(after, static_cast<std::int64_t>(dropped_))), blocks_.size());
         b < blocks_.size(); ++b) {
        found.clear();
        blockMarks(blocks_[b], found);
        for (const auto& mark : found) {
            if (mark.first > after && (mark.second & mask)) {
                return mark.first;
            }
        }
    }
    return -1;
}

void History::lineRowStarts(std::span<const Cell> cells, std::vector<int>& starts) const
{
    starts.assign(1, 0);
    if (cells.size() <= static_cast<std::size_t>(width_)) {
        return; // most lines: one row, wide characters and all
    }
    int column = 0;
    cutRows(cells, width_, 1, column, &starts);
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
