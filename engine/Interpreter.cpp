// The control-sequence state machine: UTF-8 decoding with carry-over, the C0 controls, ESC
// sequences, collecting CSI sequences and skipping OSC, DCS, PM and APC strings (ECMA-48, xterm).
#include "Saturating.h"
#include "TerminalEngine.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {
// Printable bytes that the ASCII fast path writes straight into the grid; DEL takes a cell too.
inline bool isPrintableAscii(std::uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7F;
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
            // A high bit for every byte of 0x80 and above, or below 0x20 (its low seven bits plus
            // 0x60 stay below 0x80); bit 7 is kept out of the addition so that no byte carries.
            const std::uint64_t stops = (word | ~((word & (ones * 0x7F)) + ones * 0x60)) & (ones * 0x80);
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
    return std::max(first - 0x20u, second - 0x20u) < 0x60u;
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

// The length a lead byte announces: 1 for printable ASCII (DEL included), 0 for controls,
// continuation bytes and bytes that never lead.
inline constexpr auto utf8LeadLengths = [] {
    std::array<std::uint8_t, 256> lengths{};
    for (int byte = 0x20; byte <= 0x7F; ++byte) {
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
            writeAsciiRun(p, static_cast<std::size_t>(run - p));
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
        } else if (byte == 0x0D) { // CR and LF as normalScalar does them
            cursorColumn_ = 0;
            wrapPending_ = false;
            ++p;
        } else if (byte == 0x0A) {
            lineFeed();
            ++p;
        } else if (byte >= 0x80) {
            // A whole character is printed as the decoder and normalScalar would; a C1 CSI (U+009B)
            // starts a sequence, which the general path does.
            int length = 0;
            const char32_t scalar = wholeCharacter(p, end, length);
            if (scalar == 0 || scalar == 0x9B) {
                return p;
            }
            if (cursorInsideRow()) {
                p = writeTextRun(p, end, scalar, length);
            } else {
                printScalar(scalar, currentColor_);
                p += length;
            }
        } else {
            return p;
        }
    }
    return p;
}

// Text that is not plain ASCII, such as accented or CJK words with ASCII between them, goes into
// the cursor's row up to its end with one edit of the row, instead of one printScalar each: the
// same cells, cursor and pending wrap as printScalar one character after another. Stops before
// anything that is not a whole character or printable ASCII.
const std::uint8_t* TerminalEngine::writeTextRun(const std::uint8_t* p, const std::uint8_t* end,
                                                 char32_t first, int length)
{
    Cell* const cells = grid_.editRow(cursorRow_);
    const Color color = currentColor_;
    const int columns = columns_;
    int column = cursorColumn_;
    char32_t scalar = first;
    for (;;) {
        cells[column] = Cell{scalar, color};
        p += length;
        if (++column >= columns) {
            cursorColumn_ = columns - 1;
            wrapPending_ = true;
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
        scalar = wholeCharacter(p, end, length);
        if (scalar == 0 || scalar == 0x9B) {
            break;
        }
    }
    cursorColumn_ = column;
    return p;
}

// Full-screen programs redraw with CUP and EL far more than anything else, so ESC [ r ; c H,
// ESC [ r H and ESC [ n K with parameters of up to four digits are taken from one word at the
// sequence, with no parameter list and no dispatch, as dispatchControlSequence would do them; needs
// eight bytes after ESC [. Anything else returns nullptr for the general path.
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
        // 1-based positions, 0 meaning 1, cut to the kept rows and the columns, as CUP does them.
        const auto place = [this](int row, int column) {
            cursorRow_ = Saturating::oneBasedToIndex(row, 0, grid_.rowCount() - 1);
            cursorColumn_ = Saturating::oneBasedToIndex(column, 0, columns_ - 1);
            wrapPending_ = false;
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
    // 38;5; and one to three digits and m: seven to nine bytes.
    if (left < 7 || q[0] != '3' || q[1] != '8' || q[2] != ';' || q[3] != '5' || q[4] != ';' || !digit(5)) {
        return nullptr;
    }
    std::int64_t index = value(5);
    std::ptrdiff_t at = 6;
    while (at < 8 && at < left && digit(at)) {
        index = index * 10 + value(at++);
    }
    if (at >= left || q[at] != 'm') {
        return nullptr;
    }
    const std::int64_t values[] = {38, 5, index};
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
    case ControlSequenceState::osc: // OSC ends at BEL or ST (ESC \)
        if (scalar == 0x1B) {
            controlSequenceState_ = ControlSequenceState::oscEscape;
        } else if (scalar == 0x07) {
            controlSequenceState_ = ControlSequenceState::normal;
        }
        break;
    case ControlSequenceState::oscEscape:
        controlSequenceState_ = scalar == U'\\' ? ControlSequenceState::normal : ControlSequenceState::osc;
        break;
    case ControlSequenceState::stringControl: // DCS, PM and APC end only at ST
        if (scalar == 0x1B) {
            controlSequenceState_ = ControlSequenceState::stringControlEscape;
        }
        break;
    case ControlSequenceState::stringControlEscape:
        controlSequenceState_ =
            scalar == U'\\' ? ControlSequenceState::normal : ControlSequenceState::stringControl;
        break;
    }
}

void TerminalEngine::normalScalar(char32_t scalar)
{
    switch (scalar) {
    case 0x00: // NUL
    case 0x07: // BEL
        break;
    case 0x08: // BS
        cursorColumn_ = std::max(0, cursorColumn_ - 1);
        wrapPending_ = false;
        break;
    case 0x09: // HT: fixed stops every 8 columns, the last column the final stop
        cursorColumn_ = std::min((cursorColumn_ / 8) * 8 + 8, columns_ - 1);
        break;
    case 0x0A: // LF, without carriage return
        lineFeed();
        break;
    case 0x0D: // CR
        cursorColumn_ = 0;
        wrapPending_ = false;
        break;
    case 0x1B: // ESC
        escapeBuffer_.clear();
        controlSequenceState_ = ControlSequenceState::escape;
        break;
    case 0x9B: // CSI as one C1 character
        startControlSequence();
        break;
    default:
        if (scalar >= 0x20) { // other C0 controls (VT, FF, ...) are dropped
            printScalar(scalar, currentColor_);
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

void TerminalEngine::escapeScalar(char32_t scalar)
{
    // ESC, intermediates (SP to /), one final: character-set designations (ESC ( B, which every
    // attribute reset of xterm-256color's terminfo sends), ESC # 8, ESC % G. The whole sequence is
    // ignored; ending it at the intermediate would print its final, a B after every colour change
    // of a curses program. The intermediates wait in escapeBuffer, bounded like a control sequence.
    if (isIntermediate(scalar)) {
        if (escapeBuffer_.size() < escapeBufferLimit) {
            escapeBuffer_.push_back(scalar);
        }
        return;
    }
    controlSequenceState_ = ControlSequenceState::normal;
    if (!escapeBuffer_.empty()) {
        escapeBuffer_.clear(); // the final, or whatever interrupted the sequence, is dropped
        return;
    }
    switch (scalar) {
    case U'7': // DECSC
        saveCursor();
        break;
    case U'8': // DECRC
        restoreCursor();
        break;
    case U'D': // IND
        lineFeed();
        break;
    case U'E': // NEL
        cursorColumn_ = 0;
        lineFeed();
        break;
    case U'M': // RI
        reverseIndex();
        break;
    case U'P': // DCS
    case U'^': // PM
    case U'_': // APC
        controlSequenceState_ = ControlSequenceState::stringControl;
        break;
    case U'[': // CSI
        startControlSequence();
        break;
    case U']': // OSC
        controlSequenceState_ = ControlSequenceState::osc;
        break;
    case U'c': // RIS
        fullReset();
        break;
    default: // keypad modes, SOS, ESC itself, controls: the sequence ends here
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
    // Everything up to the final is collected, controls and ESC included. Past the bound nothing
    // more is stored, but the sequence is still swallowed to its final and then ignored.
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
