// The control-sequence state machine: UTF-8 decoding with carry-over, the C0 controls, ESC
// sequences, collecting CSI sequences and OSC and DCS strings, skipping PM, APC and SOS strings
// (ECMA-48, xterm's ctlseqs), with fast paths for the bytes shell output is mostly made of.
#include "CharacterWidth.h"
#include "Saturating.h"
#include "TerminalEngine.h"
#include "Utf8Encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Printable bytes that the ASCII fast path writes straight into the grid (DEL is ignored, as xterm
// does).
inline bool isPrintableAscii(std::uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E;
}

// Where the run of printable ASCII from p ends: eight bytes at a time while eight are left, so that
// neither a long line nor a short word between control sequences costs a branch per byte.
inline const std::uint8_t* printableRunEnd(const std::uint8_t* p, const std::uint8_t* end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = CsiParameters::Swar::ones;
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            // A high bit for every byte of 0x80 and above, below 0x20 (its low seven bits plus 0x60
            // stay below 0x80) or DEL (plus 1 it reaches 0x80); bit 7 is kept out of the additions
            // so that no byte carries.
            const std::uint64_t low = word & (ones * 0x7F);
            const std::uint64_t stops = (word | ~(low + ones * 0x60) | (low + ones)) & (ones * 0x80);
            if (stops != 0) {
                return p + std::countr_zero(stops) / 8;
            }
            p += 8;
        }
    }
    while (p < end && isPrintableAscii(*p)) {
        ++p;
    }
    return p;
}

// One test for two bytes: bytes below SP wrap round to large values, so the larger of the two
// offsets is in range only when both are.
inline bool bothPrintableAscii(std::uint8_t first, std::uint8_t second)
{
    return std::max(first - 0x20u, second - 0x20u) < 0x5Fu;
}

// How a character of each length is laid out in the four bytes from its lead (read as a
// little-endian word): which bits of the following bytes must be 10, the lead's payload bits, how
// far the four-byte assembly is shifted down, and the smallest scalar that length may carry.
struct Utf8Form {
    std::uint32_t continuationMask;
    std::uint32_t continuationBits;
    std::uint32_t leadBits;
    int shift;
    char32_t minimum;
};

// Index 0 never matches (its continuation test cannot succeed).
inline constexpr Utf8Form utf8Forms[5] = {
    {0, 1, 0, 0, 0},
    {0, 0, 0x7F, 18, 0},
    {0xC000, 0x8000, 0x1F, 12, 0x80},
    {0xC0C000, 0x808000, 0x0F, 6, 0x800},
    {0xC0C0C000, 0x80808000, 0x07, 0, 0x10000},
};

// The length a lead byte announces: 1 for printable ASCII (and DEL), 0 for controls,
// continuation bytes and bytes that never lead.
inline constexpr auto utf8LeadLengths = [] {
    std::array<std::uint8_t, 256> lengths{};
    for (int byte = 0x20; byte <= 0x7E; ++byte) {
        lengths[static_cast<std::size_t>(byte)] = 1;
    }
    for (int byte = 0xC2; byte <= 0xDF; ++byte) {
        lengths[static_cast<std::size_t>(byte)] = 2;
    }
    for (int byte = 0xE0; byte <= 0xEF; ++byte) {
        lengths[static_cast<std::size_t>(byte)] = 3;
    }
    for (int byte = 0xF0; byte <= 0xF4; ++byte) {
        lengths[static_cast<std::size_t>(byte)] = 4;
    }
    return lengths;
}();

// The printable character whole at p (before end), printable ASCII or a valid UTF-8 character of
// two to four bytes, with its length; 0 for anything else, which the decoder then takes byte by
// byte. Mixed scripts switch between lengths from one character to the next, so the four bytes from
// p are taken as one word, the length comes from a table and every check is arithmetic on the word,
// with a single well-predicted branch, instead of a branch per length. The bounds are the
// decoder's: the smallest scalar for the length rules out overlong forms and, with the surrogate and
// U+10FFFF limits, stands for its checks of the second byte. Near the end of the chunk the missing
// bytes read as 0, which no continuation byte is, so a cut character is not whole.
inline char32_t wholeCharacter(const std::uint8_t* p, const std::uint8_t* end, int& length)
{
    std::uint32_t word = 0;
    if (std::endian::native == std::endian::little && end - p >= 4) {
        std::memcpy(&word, p, sizeof word);
    } else {
        for (std::ptrdiff_t i = 0; i < std::min<std::ptrdiff_t>(end - p, 4); ++i) {
            word |= std::uint32_t{p[i]} << (8 * i);
        }
    }
    const int size = utf8LeadLengths[word & 0xFF];
    const Utf8Form& form = utf8Forms[size];
    const char32_t scalar = (((word & form.leadBits) << 18) | (((word >> 8) & 0x3F) << 12) |
                             (((word >> 16) & 0x3F) << 6) | ((word >> 24) & 0x3F)) >>
                            form.shift;
    const bool valid = ((word & form.continuationMask) == form.continuationBits) & (scalar >= form.minimum) &
                       (scalar <= 0x10FFFF) & (scalar - 0xD800 >= 0x800);
    length = size;
    return valid ? scalar : 0;
}
} // namespace

void TerminalEngine::interpret(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* p = data;
    const std::uint8_t* const end = data + size;
    char32_t scalars[2];
    while (p < end) {
        if (controlSequenceState_ == ControlSequenceState::normal && decoder_.idle()) {
            p = interpretCommonBytes(p, end);
            if (p == end) {
                break;
            }
        }
        const std::uint8_t byte = *p++;
        if (byte < 0x80 && decoder_.idle()) {
            interpretScalar(byte);
            continue;
        }
        const int produced = decoder_.feed(byte, scalars);
        for (int i = 0; i < produced; ++i) {
            interpretScalar(scalars[i]);
        }
    }
}

const std::uint8_t* TerminalEngine::interpretCommonBytes(const std::uint8_t* p, const std::uint8_t* end)
{
    // Nothing done here leaves the normal state or starts a UTF-8 character, so that is not checked
    // again between the pieces.
    while (p < end) {
        const std::uint8_t byte = *p;
        if (isPrintableAscii(byte)) {
            const std::uint8_t* const run = printableRunEnd(p + 1, end);
            if (fastPrint_) {
                writeAsciiRun(p, static_cast<std::size_t>(run - p));
            } else {
                for (const std::uint8_t* c = p; c < run; ++c) {
                    print(*c);
                }
            }
            p = run;
        } else if (byte == 0x1B) {
            // A whole control sequence within the chunk is parsed straight from its bytes instead of
            // being collected scalar by scalar: the same parameters, the same bound, the same final.
            // Anything else (a sequence split across chunks, non-ASCII inside) takes the slow path.
            if (end - p <= 2 || p[1] != '[') {
                return p;
            }
            const std::uint8_t* next = end - p >= 10 ? cursorSequence(p) : nullptr;
            if (next == nullptr) {
                next = graphicRenditionSequence(p, end);
            }
            if (next == nullptr) {
                next = executeWholeSequence(p, end);
            }
            if (next == nullptr) {
                return p;
            }
            p = next;
        } else if (byte == 0x0D) {
            carriageReturn();
            ++p;
        } else if (byte == 0x0A) {
            lineFeedControl();
            ++p;
        } else if (byte >= 0x80) {
            // A whole character is printed as the decoder and normalScalar would; C1 controls (CSI
            // as U+009B among them) take the general path.
            int length = 0;
            const char32_t scalar = wholeCharacter(p, end, length);
            if (scalar < 0xA0) {
                return p;
            }
            // A run may start with a wide character too (CJK text has few others), and on the next
            // row when the last one is full (fastPrint_ holds only with autowrap on).
            const int width = fastPrint_ ? characterWidth(scalar) : 0;
            if (width == 1 || width == 2) {
                wrapIfPending();
                if (cursorColumn_ + width <= columns_) {
                    p = writeTextRun(p, end, scalar, length, width);
                    continue;
                }
            }
            print(scalar);
            p += length;
        } else {
            return p;
        }
    }
    return p;
}

// Text that is not plain ASCII, such as accented or CJK words with ASCII between them, goes into
// the cursor's row up to its end with one edit of the row, instead of one print each: the same
// cells, cursor and pending wrap as print one character after another. Stops before anything that
// is not a whole character of one or two cells, or printable ASCII.
const std::uint8_t* TerminalEngine::writeTextRun(const std::uint8_t* p, const std::uint8_t* end,
                                                 char32_t first, int length, int firstWidth)
{
    Cell* const cells = grid_->editRow(line(cursorRow_));
    const CellStyle style = pen_;
    const int columns = columns_;
    int column = cursorColumn_;
    char32_t scalar = first;
    int width = firstWidth;
    // The run overwrites one stretch of cells, so only a wide character cut at either end of it needs
    // its other half blanked: its first half before the stretch now, its second half after it at
    // the end.
    if ((cells[column].style.flags & CellFlags::wideTail) && column > 0) [[unlikely]] {
        cells[column - 1] = blankCell(style.background);
    }
#if defined(__SSE2__)
    // One- and two-cell characters alternate at random in such text, so both are written without a
    // branch on the width: the first cell with the head flag or not, and the cell after it either
    // the second half or what it already held (the next character overwrites it anyway).
    const Cell tailCell{0,
                        CellStyle{style.foreground, style.background,
                                  static_cast<std::uint16_t>(style.flags | CellFlags::wideTail), style.link}};
    __m128i tail;
    std::memcpy(&tail, &tailCell, sizeof tail);
#endif
    for (;;) {
#if defined(__SSE2__)
        CellStyle headStyle = style;
        headStyle.flags = static_cast<std::uint16_t>(headStyle.flags | (width - 1) * CellFlags::wideHead);
        cells[column] = Cell{scalar, headStyle};
        if (column + 1 < columns) [[likely]] {
            auto* const next = reinterpret_cast<__m128i*>(cells + column + 1);
            const __m128i two = _mm_set1_epi32(-(width - 1));
            _mm_storeu_si128(
                next, _mm_or_si128(_mm_and_si128(two, tail), _mm_andnot_si128(two, _mm_loadu_si128(next))));
        }
#else
        placeCharacter(cells, column, scalar, width, style);
#endif
        p += length;
        column += width;
        if (column >= columns) {
            lastPrinted_ = scalar;
            advanceAfterWrite(column);
            return p;
        }
        if (p == end) {
            break;
        }
        // Two ASCII characters in a row start a run for the ASCII path, which writes four cells at a
        // time; one between others is taken here. Both tests at once, so that text where ASCII and
        // other characters alternate at random does not mispredict a branch on every ASCII one.
        if (end - p > 1 && bothPrintableAscii(p[0], p[1])) {
            break;
        }
        const char32_t next = wholeCharacter(p, end, length);
        if (next < 0x20 || (next >= 0x80 && next < 0xA0)) {
            break; // not a whole character, or a C1 control
        }
        width = characterWidthFromTable(next); // no branch on the script, which changes at random
        if (width == 0 || column + width > columns) {
            break; // combining marks, and a wide character at the last column, take the general path
        }
        scalar = next;
    }
    if (cells[column].style.flags & CellFlags::wideTail) [[unlikely]] {
        cells[column] = blankCell(style.background);
    }
    lastPrinted_ = scalar;
    advanceAfterWrite(column);
    return p;
}

// Full-screen programs redraw with CUP and EL far more than anything else, so ESC [ r ; c H,
// ESC [ r H and ESC [ n K with parameters of up to four digits are taken from one word at the
// sequence, with no parameter list and no dispatch, and done by the same operations; needs eight
// bytes after ESC [. Anything else returns nullptr for the general path.
[[gnu::always_inline]] inline const std::uint8_t* TerminalEngine::cursorSequence(const std::uint8_t* sequence)
{
    std::uint64_t word;
    std::memcpy(&word, sequence + 2, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t offset = word ^ (CsiParameters::Swar::ones * '0');
        std::uint64_t stops = CsiParameters::Swar::nonDigits(offset);
        const int first = std::countr_zero(stops) / 8; // 8 for no stop
        if (first > 4) {
            return nullptr;
        }
        const auto terminator = static_cast<std::uint8_t>(word >> (8 * first));
        // Up to four digits, in 32 bits: one combining step fewer than digitsValue's.
        const auto value = [offset](int start, int length) {
            const auto digits = static_cast<std::uint32_t>(offset >> (8 * start));
            std::uint32_t v =
                static_cast<std::uint32_t>(std::uint64_t{digits} << (32 - 8 * length)) & 0x0F0F0F0F;
            v = ((v * (1 + (10 << 8))) >> 8) & 0x00FF00FF;
            return static_cast<int>((v * (1 + (100 << 16))) >> 16);
        };
        // 1-based positions, 0 meaning 1.
        const auto place = [this](int row, int column) {
            cursorTo(std::max(row, 1) - 1, std::max(column, 1) - 1);
        };
        if (terminator == ';') {
            stops &= stops - 1;
            if (stops == 0) {
                return nullptr;
            }
            const int second = std::countr_zero(stops) / 8;
            if (second - first > 5 || static_cast<std::uint8_t>(word >> (8 * second)) != 'H') {
                return nullptr;
            }
            place(value(0, first), value(first + 1, second - first - 1));
            return sequence + 3 + second;
        }
        if (terminator == 'H') {
            place(value(0, first), 1);
            return sequence + 3 + first;
        }
        if (terminator == 'K') {
            eraseLine(value(0, first));
            return sequence + 3 + first;
        }
    }
    return nullptr;
}

// Coloured output (ls, compilers, diffs, 256-colour prompts) is ESC [ m, ESC [ n m and
// ESC [ 38 ; 5 ; n m over and over: with n of one or two digits (three for the colour index) these
// are read straight from their bytes and given to applyGraphicRendition with the values the
// parameter parser would give it. Anything else returns nullptr for the general path.
[[gnu::always_inline]] inline const std::uint8_t*
TerminalEngine::graphicRenditionSequence(const std::uint8_t* sequence, const std::uint8_t* end)
{
    const std::uint8_t* const q = sequence + 2; // after ESC [
    const std::ptrdiff_t left = end - q;
    const auto digit = [q](std::ptrdiff_t at) { return static_cast<unsigned>(q[at] - '0') < 10u; };
    const auto value = [q](std::ptrdiff_t at) { return std::int64_t{q[at] - '0'}; };
    if (q[0] == 'm') {
        applyGraphicRendition({});
        return q + 1;
    }
    if (!digit(0) || left < 2) {
        return nullptr;
    }
    if (q[1] == 'm') {
        const std::int64_t values[] = {value(0)};
        applyGraphicRendition(values);
        return q + 2;
    }
    if (left >= 3 && digit(1) && q[2] == 'm') {
        const std::int64_t values[] = {value(0) * 10 + value(1)};
        applyGraphicRendition(values);
        return q + 3;
    }
    // Two codes of one or two digits each (a background and a foreground, an attribute and a
    // colour): ESC [ a ; b m.
    const std::ptrdiff_t firstEnd = digit(1) ? 2 : 1;
    const bool extendedColour = firstEnd == 2 && q[1] == '8' && q[0] >= '3' && q[0] <= '5'; // 38, 48, 58
    if (!extendedColour && left > firstEnd + 2 && q[firstEnd] == ';' && digit(firstEnd + 1)) {
        const std::ptrdiff_t second = firstEnd + 1;
        const std::ptrdiff_t secondEnd = left > second + 1 && digit(second + 1) ? second + 2 : second + 1;
        if (secondEnd < left && q[secondEnd] == 'm') {
            const std::int64_t values[] = {firstEnd == 2 ? value(0) * 10 + value(1) : value(0),
                                           secondEnd - second == 2 ? value(second) * 10 + value(second + 1)
                                                                   : value(second)};
            applyGraphicRendition(values);
            return q + secondEnd + 1;
        }
    }
    // 38;5; or 48;5; and one to three digits and m: seven to nine bytes.
    if (left < 7 || (q[0] != '3' && q[0] != '4') || q[1] != '8' || q[2] != ';' ||
        (q[3] != '5' && q[3] != '2') || q[4] != ';' || !digit(5)) {
        return nullptr;
    }
    if (q[3] == '2') {
        // 38;2;r;g;b m or 48;2;r;g;b m, each of one to three digits: what 24-bit output sends
        // before every few characters. Longer numbers or anything else take the general path.
        std::int64_t levels[3] = {};
        std::ptrdiff_t at = 5;
        for (std::size_t part = 0; part < 3; ++part) {
            const std::ptrdiff_t start = at;
            while (at < left && at - start < 3 && digit(at)) {
                levels[part] = levels[part] * 10 + value(at++);
            }
            if (at == start || at >= left || q[at] != (part < 2 ? ';' : 'm')) {
                return nullptr;
            }
            ++at;
        }
        const std::int64_t values[] = {q[0] == '3' ? 38 : 48, 2, levels[0], levels[1], levels[2]};
        applyGraphicRendition(values);
        return q + at;
    }
    std::int64_t index = value(5);
    std::ptrdiff_t at = 6;
    while (at < 8 && at < left && digit(at)) {
        index = index * 10 + value(at++);
    }
    if (at >= left || q[at] != 'm') {
        return nullptr;
    }
    const std::int64_t values[] = {q[0] == '3' ? 38 : 48, 5, index};
    applyGraphicRendition(values);
    return q + at + 1;
}

void TerminalEngine::interpretScalar(char32_t scalar)
{
    switch (controlSequenceState_) {
    case ControlSequenceState::normal:
        normalScalar(scalar);
        break;
    case ControlSequenceState::escape:
        escapeScalar(scalar);
        break;
    case ControlSequenceState::csi:
        csiScalar(scalar);
        break;
    case ControlSequenceState::osc: // OSC ends at BEL or ST (ESC \); CAN and SUB abandon it
        if (scalar == 0x1B) {
            controlSequenceState_ = ControlSequenceState::oscEscape;
        } else if (scalar == 0x07) {
            oscEndedByBel_ = true;
            finishString();
        } else if (scalar == 0x18 || scalar == 0x1A) {
            controlSequenceState_ = ControlSequenceState::normal;
        } else {
            stringScalar(scalar);
        }
        break;
    case ControlSequenceState::oscEscape:
        if (scalar == U'\\') {
            oscEndedByBel_ = false;
            finishString();
        } else {
            // ESC and anything but \ ends the string unfinished: the ESC starts a new sequence.
            controlSequenceState_ = ControlSequenceState::escape;
            escapeBuffer_.clear();
            escapeScalar(scalar);
        }
        break;
    case ControlSequenceState::stringControl: // DCS, PM, APC, SOS and ESC k end only at ST
        if (scalar == 0x1B) {
            controlSequenceState_ = ControlSequenceState::stringControlEscape;
        } else {
            stringScalar(scalar);
        }
        break;
    case ControlSequenceState::stringControlEscape:
        if (scalar == U'\\') {
            finishString();
        } else {
            controlSequenceState_ = ControlSequenceState::stringControl;
        }
        break;
    }
}

void TerminalEngine::normalScalar(char32_t scalar)
{
    switch (scalar) {
    case 0x07: // BEL
        ++events_.bells;
        break;
    case 0x08: // BS
        cursorBackward(1);
        break;
    case 0x09: // HT
        tabForward(1);
        break;
    case 0x0A: // LF, VT and FF: a line feed, with a carriage return in new-line mode
    case 0x0B:
    case 0x0C:
        lineFeedControl();
        break;
    case 0x0D: // CR
        carriageReturn();
        break;
    case 0x0E: // SO: G1 into GL
        shift_ = 1;
        updateFastPrint();
        break;
    case 0x0F: // SI: G0 into GL
        shift_ = 0;
        updateFastPrint();
        break;
    case 0x1B: // ESC
        escapeBuffer_.clear();
        controlSequenceState_ = ControlSequenceState::escape;
        break;
    case 0x9B: // CSI as one C1 character
        startControlSequence();
        break;
    default:
        // Other C0 and C1 controls and DEL do nothing.
        if (scalar >= 0x20 && (scalar < 0x7F || scalar >= 0xA0)) {
            print(scalar);
        }
        break;
    }
}

namespace {
inline bool isIntermediate(char32_t scalar)
{
    return scalar >= 0x20 && scalar <= 0x2F;
}
} // namespace

// A control inside an escape or control sequence is executed where it stands and the sequence goes
// on, as on a VT100; ESC starts the sequence over, CAN and SUB abandon it. True when it was one.
bool TerminalEngine::controlInsideSequence(char32_t scalar)
{
    if (scalar >= 0x20) {
        return false;
    }
    if (scalar == 0x1B) {
        escapeBuffer_.clear();
        escapeBufferOverflowed_ = false;
        controlSequenceState_ = ControlSequenceState::escape;
    } else if (scalar == 0x18 || scalar == 0x1A) {
        escapeBuffer_.clear();
        escapeBufferOverflowed_ = false;
        controlSequenceState_ = ControlSequenceState::normal;
    } else {
        normalScalar(scalar);
    }
    return true;
}

void TerminalEngine::escapeScalar(char32_t scalar)
{
    // ESC, intermediates (SP to /), one final. The intermediates wait in escapeBuffer, bounded like
    // a control sequence.
    if (controlInsideSequence(scalar)) {
        return;
    }
    if (isIntermediate(scalar)) {
        if (escapeBuffer_.size() < escapeBufferLimit) {
            escapeBuffer_.push_back(scalar);
        }
        return;
    }
    controlSequenceState_ = ControlSequenceState::normal;
    if (!escapeBuffer_.empty()) {
        const char32_t intermediate = escapeBuffer_.size() == 1 ? escapeBuffer_[0] : 0;
        escapeBuffer_.clear();
        if (intermediate != 0) {
            escapeFinal(intermediate, scalar);
        }
        return;
    }
    const auto startString = [this](StringKind kind) {
        stringBuffer_.clear();
        stringKind_ = kind;
        stringOverflowed_ = false;
        controlSequenceState_ =
            kind == StringKind::osc ? ControlSequenceState::osc : ControlSequenceState::stringControl;
    };
    switch (scalar) {
    case U'7': // DECSC
        saveCursor();
        break;
    case U'8': // DECRC
        restoreCursor();
        break;
    case U'D': // IND
        index();
        break;
    case U'E': // NEL
        nextLine();
        break;
    case U'H': // HTS: a tab stop at the cursor
        tabStops_[static_cast<std::size_t>(cursorColumn_)] = true;
        break;
    case U'M': // RI
        reverseIndex();
        break;
    case U'=': // DECKPAM
        modes_.applicationKeypad = true;
        break;
    case U'>': // DECKPNM
        modes_.applicationKeypad = false;
        break;
    case U'P': // DCS
        startString(StringKind::dcs);
        break;
    case U'X': // SOS
    case U'^': // PM
    case U'_': // APC
    case U'k': // a title for GNU screen, up to ST
        startString(StringKind::swallowed);
        break;
    case U'[': // CSI
        startControlSequence();
        break;
    case U']': // OSC
        startString(StringKind::osc);
        break;
    case U'c': // RIS
        fullReset();
        break;
    default: // unknown finals: the sequence ends here
        break;
    }
}

// ESC with one intermediate: character-set designations (ESC ( B, which every attribute reset of
// xterm-256color's terminfo sends, and ESC ( 0 for line drawing), DECALN; the rest is ignored.
void TerminalEngine::escapeFinal(char32_t intermediate, char32_t final)
{
    switch (intermediate) {
    case U'(':
    case U')':
        charsets_[intermediate == U'(' ? 0 : 1] = final == U'0' ? '0' : 'B';
        updateFastPrint();
        break;
    case U'#':
        if (final == U'8') {
            screenAlignment();
        }
        break;
    default: // G2 and G3, ESC % (UTF-8), ESC SP F and the like
        break;
    }
}

void TerminalEngine::startControlSequence()
{
    escapeBuffer_.assign(1, U'[');
    escapeBufferOverflowed_ = false;
    controlSequenceState_ = ControlSequenceState::csi;
}

void TerminalEngine::csiScalar(char32_t scalar)
{
    // Everything up to the final is collected but controls. Past the bound nothing more is stored,
    // but the sequence is still swallowed to its final and then ignored.
    if (controlInsideSequence(scalar)) {
        return;
    }
    if (escapeBuffer_.size() < escapeBufferLimit) {
        escapeBuffer_.push_back(scalar);
    } else {
        escapeBufferOverflowed_ = true;
    }
    if (scalar < 0x40 || scalar > 0x7E) {
        return;
    }
    if (!escapeBufferOverflowed_) {
        executeControlSequence();
    }
    escapeBuffer_.clear();
    escapeBufferOverflowed_ = false;
    controlSequenceState_ = ControlSequenceState::normal;
}

// OSC strings are kept up to stringLimit bytes (a clipboard write is the longest); a longer one is
// swallowed and ignored. Of a DCS only the start matters (which request it is); PM, APC, SOS and
// screen's title are swallowed whole.
void TerminalEngine::stringScalar(char32_t scalar)
{
    if (stringKind_ == StringKind::swallowed) {
        return;
    }
    const std::size_t limit = stringKind_ == StringKind::osc ? stringLimit : 64;
    if (stringBuffer_.size() + 4 > limit) {
        stringOverflowed_ = true;
        return;
    }
    appendUtf8(stringBuffer_, scalar);
}

void TerminalEngine::finishString()
{
    controlSequenceState_ = ControlSequenceState::normal;
    if (stringKind_ == StringKind::osc && !stringOverflowed_) {
        executeOsc();
    } else if (stringKind_ == StringKind::dcs) {
        executeDcs();
    }
    stringBuffer_.clear();
}
