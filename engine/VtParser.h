// Bytes in, actions out: the control-sequence state machine (ECMA-48, xterm's ctlseqs) with UTF-8
// decoding carried over between chunks, escape and control sequences collected within their bound,
// OSC and DCS strings collected, PM, APC and SOS strings skipped, and fast paths for the bytes shell
// output is mostly made of. It knows nothing of cells: every meaning is the sink's.
//
// The sink is a template parameter, so each action is a direct call the compiler may inline. It is
// given, in input order:
//   printAscii(text, length)      a run of printable ASCII (0x20-0x7E)
//   printText(p, end, first, length) -> const uint8_t*
//                                 a whole UTF-8 character `first` of `length` bytes at p, neither
//                                 ASCII nor a control; the sink may read on from p with ByteScan and
//                                 returns where it stopped, p + length at the least
//   print(scalar)                 one printable scalar from the general path
//   execute(control)              a C0 control other than ESC, or a C1 control other than CSI
//   escape(intermediate, final)   ESC with no intermediate (0) or one; introducers are the parser's
//   controlSequence(key, values)  CSI other than SGR: CsiParameters::key and one value a piece
//   rendition(values, groups)     SGR; groups gives each colon group's size at its first value, and is
//                                 empty when the sequence had no colon
//   cursorPosition(row, column)   CUP read straight from its bytes, the values as given (0 or 1: the first)
//   eraseLine(mode)               EL read straight from its bytes
//   osc(text, endedByBel)         an OSC string, UTF-8, when it was within its bound
//   dcs(text)                     the first bytes of a DCS string
//   skipped()                     a string or sequence consumed without any of the actions above
//                                 (swallowed, abandoned, too long or unknown in form)
#pragma once

#include "ByteScan.h"
#include "CsiParameters.h"
#include "ParserLimits.h"
#include "Utf8Decoder.h"
#include "Utf8Encoder.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

template <class Sink> class VtParser {
public:
    explicit VtParser(Sink& sink) : sink_(sink) { sequence_.reserve(ParserLimits::sequence); }
    VtParser(const VtParser&) = delete;
    VtParser& operator=(const VtParser&) = delete;

    // One chunk; a sequence, string or character it ends inside of goes on in the next.
    void parse(std::span<const std::uint8_t> bytes);

private:
    enum class State : std::uint8_t { ground, escape, csi, osc, oscEscape, string, stringEscape };
    // OSC and DCS strings are collected; PM, APC, SOS and screen's title are swallowed unread.
    enum class StringKind : std::uint8_t { osc, dcs, swallowed };

    const std::uint8_t* groundBytes(const std::uint8_t* p, const std::uint8_t* end);
    const std::uint8_t* cursorSequence(const std::uint8_t* sequence);
    const std::uint8_t* renditionSequence(const std::uint8_t* sequence, const std::uint8_t* end);
    const std::uint8_t* wholeSequence(const std::uint8_t* sequence, const std::uint8_t* end);
    template <typename Char> void dispatchSequence(const Char* p, const Char* final);
    template <typename Char> void colonRendition(const Char* p, const Char* end);
    void dispatch(std::uint32_t key);
    void scalar(char32_t c);
    void groundScalar(char32_t c);
    bool controlInsideSequence(char32_t c);
    void escapeScalar(char32_t c);
    void csiScalar(char32_t c);
    void startSequence(State state, char32_t first);
    void startString(StringKind kind);
    void stringScalar(char32_t c);
    void finishString(bool endedByBel);

    static bool isIntermediate(char32_t c) { return c >= 0x20 && c <= 0x2F; }

    Sink& sink_;
    State state_ = State::ground;
    // The intermediates of an escape sequence, or a control sequence from its [ on; bounded.
    std::u32string sequence_;
    bool sequenceOverflowed_ = false;
    std::string string_; // the OSC or DCS string being collected, as UTF-8
    StringKind stringKind_ = StringKind::osc;
    bool stringOverflowed_ = false;
    Utf8Decoder decoder_;
    CsiParameterList parameters_; // reused by every control sequence
    std::vector<std::int64_t> renditionValues_;
    std::vector<std::uint8_t> renditionGroups_;
};

template <class Sink> void VtParser<Sink>::parse(std::span<const std::uint8_t> bytes)
{
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* const end = p + bytes.size();
    char32_t scalars[2];
    while (p < end) {
        if (state_ == State::ground && decoder_.idle()) {
            p = groundBytes(p, end);
            if (p == end) {
                break;
            }
        }
        const std::uint8_t byte = *p++;
        if (byte < 0x80 && decoder_.idle()) {
            scalar(byte);
            continue;
        }
        const int produced = decoder_.feed(byte, scalars);
        for (int i = 0; i < produced; ++i) {
            scalar(scalars[i]);
        }
    }
}

// What most output is made of, without checking the state between the pieces: nothing done here
// leaves the ground state or starts a UTF-8 character. Returns at the first byte it leaves to the
// general path.
template <class Sink>
const std::uint8_t* VtParser<Sink>::groundBytes(const std::uint8_t* p, const std::uint8_t* end)
{
    while (p < end) {
        const std::uint8_t byte = *p;
        if (ByteScan::isPrintableAscii(byte)) {
            const std::uint8_t* const run = ByteScan::printableRunEnd(p + 1, end);
            sink_.printAscii(p, static_cast<std::size_t>(run - p));
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
                next = renditionSequence(p, end);
            }
            if (next == nullptr) {
                next = wholeSequence(p, end);
            }
            if (next == nullptr) {
                return p;
            }
            p = next;
        } else if (byte == 0x0D || byte == 0x0A) {
            sink_.execute(byte);
            ++p;
        } else if (byte >= 0x80) {
            // A whole character is printed as the decoder would give it; C1 controls (CSI as U+009B
            // among them) take the general path.
            int length = 0;
            const char32_t c = ByteScan::wholeCharacter(p, end, length);
            if (c < 0xA0) {
                return p;
            }
            p = sink_.printText(p, end, c, length);
        } else {
            return p;
        }
    }
    return p;
}

// Full-screen programs redraw with CUP and EL far more than anything else, so ESC [ r ; c H,
// ESC [ r H and ESC [ n K with parameters of up to four digits are taken from one word at the
// sequence, with no parameter list and no dispatch; needs eight bytes after ESC [. Anything else
// returns nullptr for the general path.
template <class Sink>
[[gnu::always_inline]] inline const std::uint8_t* VtParser<Sink>::cursorSequence(const std::uint8_t* sequence)
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
            return static_cast<std::int64_t>((v * (1 + (100 << 16))) >> 16);
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
            sink_.cursorPosition(value(0, first), value(first + 1, second - first - 1));
            return sequence + 3 + second;
        }
        if (terminator == 'H') {
            sink_.cursorPosition(value(0, first), 0);
            return sequence + 3 + first;
        }
        if (terminator == 'K') {
            sink_.eraseLine(value(0, first));
            return sequence + 3 + first;
        }
    }
    return nullptr;
}

// Coloured output (ls, compilers, diffs, 256-colour and 24-bit prompts) is ESC [ m, ESC [ n m,
// ESC [ a ; b m, ESC [ 38 ; 5 ; n m and ESC [ 38 ; 2 ; r ; g ; b m over and over: with short numbers
// these are read straight from their bytes, with the values the parameter parser would give.
// Anything else returns nullptr for the general path.
template <class Sink>
[[gnu::always_inline]] inline const std::uint8_t*
VtParser<Sink>::renditionSequence(const std::uint8_t* sequence, const std::uint8_t* end)
{
    const std::uint8_t* const q = sequence + 2; // after ESC [
    const std::ptrdiff_t left = end - q;
    const auto digit = [q](std::ptrdiff_t at) { return static_cast<unsigned>(q[at] - '0') < 10u; };
    const auto value = [q](std::ptrdiff_t at) { return std::int64_t{q[at] - '0'}; };
    // One to three digits from q[at] (a digit), given at least four bytes there: colour numbers of
    // one, two and three digits mix at random, so how many there are is not branched on.
    // Returns the value and moves at past the digits.
    const auto colourNumber = [&](std::ptrdiff_t& at) {
        const bool two = digit(at + 1);
        const bool three = two & digit(at + 2);
        // n + (9n + d) is 10n + d; the masks keep a digit that is not there out.
        std::int64_t number = value(at);
        number += (number * 9 + value(at + 1)) & -std::int64_t{two};
        number += (number * 9 + value(at + 2)) & -std::int64_t{three};
        at += 1 + std::ptrdiff_t{two} + std::ptrdiff_t{three};
        return number;
    };
    if (q[0] == 'm') {
        sink_.rendition({}, {});
        return q + 1;
    }
    if (!digit(0) || left < 2) {
        return nullptr;
    }
    if (q[1] == 'm') {
        const std::int64_t values[] = {value(0)};
        sink_.rendition(values, {});
        return q + 2;
    }
    if (left >= 3 && digit(1) && q[2] == 'm') {
        const std::int64_t values[] = {value(0) * 10 + value(1)};
        sink_.rendition(values, {});
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
            sink_.rendition(values, {});
            return q + secondEnd + 1;
        }
    }
    // 38;5; or 48;5; and one to three digits and m: seven to nine bytes.
    if (left < 7 || (q[0] != '3' && q[0] != '4') || q[1] != '8' || q[2] != ';' ||
        (q[3] != '5' && q[3] != '2') || q[4] != ';' || !digit(5)) {
        return nullptr;
    }
    const std::int64_t code = q[0] == '3' ? 38 : 48;
    if (q[3] == '2') {
        // 38;2;r;g;b m or 48;2;r;g;b m, each of one to three digits. Longer numbers or anything else
        // take the general path.
        std::int64_t values[5] = {code, 2, 0, 0, 0};
        std::ptrdiff_t at = 5;
        for (std::size_t part = 2; part < 5; ++part) {
            if (left - at < 4 || !digit(at)) {
                return nullptr;
            }
            values[part] = colourNumber(at);
            if (q[at] != (part < 4 ? ';' : 'm')) {
                return nullptr;
            }
            ++at;
        }
        sink_.rendition(values, {});
        return q + at;
    }
    if (left < 9) {
        return nullptr; // a number near the chunk's end: the general path
    }
    std::ptrdiff_t at = 5;
    const std::int64_t index = colourNumber(at);
    if (q[at] != 'm') {
        return nullptr;
    }
    const std::int64_t values[] = {code, 5, index};
    sink_.rendition(values, {});
    return q + at + 1;
}

// A control sequence whole in the chunk, read in one pass: leader, parameters, final. Returns
// nullptr for one that is unfinished, too long, or has a control inside.
template <class Sink>
const std::uint8_t* VtParser<Sink>::wholeSequence(const std::uint8_t* sequence, const std::uint8_t* end)
{
    // Only as far as the bound: a longer sequence is collected (and ignored) by the slow path.
    const std::uint8_t* const limit =
        sequence + std::min(end - sequence, static_cast<std::ptrdiff_t>(ParserLimits::sequence) + 1);
    const std::uint8_t* const parameters = sequence + 2; // after ESC [
    const bool hasLeader = *parameters >= 0x3C && *parameters <= 0x3F;
    const std::uint8_t* const final =
        CsiParameters::parse<true>(parameters + (hasLeader ? 1 : 0), limit, parameters_);
    if (final == limit || *final > 0x7E || *final < 0x40) {
        return nullptr; // unfinished, or a control inside: the general path
    }
    // Intermediates and colons are rare: such a sequence is read again in the general form.
    const bool intermediate = final[-1] >= 0x20 && final[-1] <= 0x2F && final - 1 >= parameters;
    if (intermediate || (parameters_.spoilt() && *final == 'm')) {
        dispatchSequence(parameters, final);
    } else {
        dispatch(
            CsiParameters::key(hasLeader ? static_cast<char>(*parameters) : 0, 0, static_cast<char>(*final)));
    }
    return final + 1;
}

// The general form, from after ESC [ to the final: leader, parameters (with colon sub-parameters
// for SGR), intermediates, final.
template <class Sink>
template <typename Char>
void VtParser<Sink>::dispatchSequence(const Char* p, const Char* final)
{
    char leader = 0;
    if (p < final && *p >= 0x3C && *p <= 0x3F) {
        leader = static_cast<char>(*p++);
    }
    const Char* parametersEnd = final;
    while (parametersEnd > p && isIntermediate(parametersEnd[-1])) {
        --parametersEnd;
    }
    if (final - parametersEnd > 1) {
        sink_.skipped(); // two intermediates: nothing we know
        return;
    }
    const char intermediate = parametersEnd < final ? static_cast<char>(*parametersEnd) : 0;
    if (*final == U'm' && leader == 0 && intermediate == 0 &&
        std::find(p, parametersEnd, U':') != parametersEnd) {
        colonRendition(p, parametersEnd);
        return;
    }
    CsiParameters::parse<false>(p, parametersEnd, parameters_);
    dispatch(CsiParameters::key(leader, intermediate, static_cast<char>(*final)));
}

template <class Sink> void VtParser<Sink>::dispatch(std::uint32_t key)
{
    if (key == CsiParameters::key('m')) {
        sink_.rendition(parameters_.values(), {});
    } else {
        sink_.controlSequence(key, parameters_.values());
    }
}

// SGR with colon sub-parameters: the values in order, and for each group the number of its pieces
// at its first value (38:2::r:g:b is one group of six). A piece of more than nine digits, or
// anything but digits, counts as 0; a sequence of too many values is ignored.
template <class Sink>
template <typename Char>
void VtParser<Sink>::colonRendition(const Char* p, const Char* end)
{
    std::vector<std::int64_t>& values = renditionValues_;
    std::vector<std::uint8_t>& groups = renditionGroups_;
    values.clear();
    groups.clear();
    std::size_t groupStart = 0;
    while (true) {
        const Char* pieceEnd = p;
        while (pieceEnd < end && *pieceEnd != ';' && *pieceEnd != ':') {
            ++pieceEnd;
        }
        std::int64_t value = 0;
        bool good = pieceEnd > p && pieceEnd - p <= 9;
        for (const Char* d = p; good && d < pieceEnd; ++d) {
            good = *d >= '0' && *d <= '9';
            value = value * 10 + (*d - '0');
        }
        values.push_back(good ? value : 0);
        groups.push_back(1);
        if (values.size() > ParserLimits::renditionValues) {
            return;
        }
        if (pieceEnd == end || *pieceEnd == ';') {
            groups[groupStart] =
                static_cast<std::uint8_t>(std::min<std::size_t>(values.size() - groupStart, 255));
            groupStart = values.size();
        }
        if (pieceEnd == end) {
            break;
        }
        p = pieceEnd + 1;
    }
    sink_.rendition(values, groups);
}

template <class Sink> void VtParser<Sink>::scalar(char32_t c)
{
    switch (state_) {
    case State::ground:
        groundScalar(c);
        break;
    case State::escape:
        escapeScalar(c);
        break;
    case State::csi:
        csiScalar(c);
        break;
    case State::osc: // OSC ends at BEL or ST (ESC \); CAN and SUB abandon it
        if (c == 0x1B) {
            state_ = State::oscEscape;
        } else if (c == 0x07) {
            finishString(true);
        } else if (c == 0x18 || c == 0x1A) {
            state_ = State::ground;
        } else {
            stringScalar(c);
        }
        break;
    case State::oscEscape:
        if (c == U'\\') {
            finishString(false);
        } else {
            // ESC and anything but \ ends the string unfinished: the ESC starts a new sequence.
            startSequence(State::escape, 0);
            escapeScalar(c);
        }
        break;
    case State::string: // DCS, PM, APC, SOS and ESC k end at ST; CAN and SUB abandon them
        if (c == 0x1B) {
            state_ = State::stringEscape;
        } else if (c == 0x18 || c == 0x1A) {
            state_ = State::ground;
        } else {
            stringScalar(c);
        }
        break;
    case State::stringEscape:
        if (c == U'\\') {
            finishString(false);
        } else {
            // As in xterm and the DEC parser: ESC and anything but \ ends the string unfinished and
            // starts a new sequence, so that output after a cut-off string is never lost.
            startSequence(State::escape, 0);
            escapeScalar(c);
        }
        break;
    }
}

template <class Sink> void VtParser<Sink>::groundScalar(char32_t c)
{
    if (c == 0x1B) {
        startSequence(State::escape, 0);
    } else if (c == 0x9B) { // CSI as one C1 character
        startSequence(State::csi, U'[');
    } else if (c < 0x20 || (c >= 0x80 && c < 0xA0)) {
        sink_.execute(c);
    } else if (c != 0x7F) { // DEL does nothing
        sink_.print(c);
    }
}

// A control inside an escape or control sequence is executed where it stands and the sequence goes
// on, as on a VT100; ESC starts the sequence over, CAN and SUB abandon it. True when it was one.
template <class Sink> bool VtParser<Sink>::controlInsideSequence(char32_t c)
{
    if (c >= 0x20) {
        return false;
    }
    if (c == 0x1B) {
        startSequence(State::escape, 0);
    } else if (c == 0x18 || c == 0x1A) {
        startSequence(State::ground, 0);
        sink_.skipped();
    } else {
        sink_.execute(c);
    }
    return true;
}

// A sequence in `state`, its buffer holding `first` (the [ of a control sequence) or nothing.
template <class Sink> void VtParser<Sink>::startSequence(State state, char32_t first)
{
    sequence_.clear();
    if (first != 0) {
        sequence_.push_back(first);
    }
    sequenceOverflowed_ = false;
    state_ = state;
}

// ESC, intermediates (SP to /), one final. The intermediates wait in the sequence buffer, bounded
// like a control sequence.
template <class Sink> void VtParser<Sink>::escapeScalar(char32_t c)
{
    if (controlInsideSequence(c)) {
        return;
    }
    if (isIntermediate(c)) {
        if (sequence_.size() < ParserLimits::sequence) {
            sequence_.push_back(c);
        }
        return;
    }
    state_ = State::ground;
    if (!sequence_.empty()) {
        // A final after intermediates never runs the plain escape's action; of two or more
        // intermediates nothing is known.
        const char32_t intermediate = sequence_.size() == 1 ? sequence_[0] : 0;
        sequence_.clear();
        if (intermediate != 0) {
            sink_.escape(intermediate, c);
        } else {
            sink_.skipped();
        }
        return;
    }
    switch (c) {
    case U'[': // CSI
        startSequence(State::csi, U'[');
        break;
    case U']': // OSC
        startString(StringKind::osc);
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
    default:
        sink_.escape(0, c);
        break;
    }
}

// Everything up to the final is collected but controls. Past the bound nothing more is stored, but
// the sequence is still swallowed to its final and then ignored.
template <class Sink> void VtParser<Sink>::csiScalar(char32_t c)
{
    if (controlInsideSequence(c)) {
        return;
    }
    if (sequence_.size() < ParserLimits::sequence) {
        sequence_.push_back(c);
    } else {
        sequenceOverflowed_ = true;
    }
    if (c < 0x40 || c > 0x7E) {
        return;
    }
    if (!sequenceOverflowed_) {
        dispatchSequence(sequence_.data() + 1, sequence_.data() + sequence_.size() - 1);
    } else {
        sink_.skipped();
    }
    startSequence(State::ground, 0);
}

template <class Sink> void VtParser<Sink>::startString(StringKind kind)
{
    sink_.skipped(); // whatever becomes of the string, it stands between text and what follows
    string_.clear();
    stringKind_ = kind;
    stringOverflowed_ = false;
    state_ = kind == StringKind::osc ? State::osc : State::string;
}

// OSC strings are kept up to their bound; a longer one is swallowed and ignored. Of a DCS only the
// start is kept; PM, APC, SOS and screen's title are swallowed whole.
template <class Sink> void VtParser<Sink>::stringScalar(char32_t c)
{
    if (stringKind_ == StringKind::swallowed) {
        return;
    }
    const std::size_t limit =
        stringKind_ == StringKind::osc ? ParserLimits::oscString : ParserLimits::dcsString;
    if (string_.size() + 4 > limit) {
        stringOverflowed_ = true;
        return;
    }
    appendUtf8(string_, c);
}

template <class Sink> void VtParser<Sink>::finishString(bool endedByBel)
{
    state_ = State::ground;
    if (stringKind_ == StringKind::osc && !stringOverflowed_) {
        sink_.osc(string_, endedByBel);
    } else if (stringKind_ == StringKind::dcs) {
        sink_.dcs(string_);
    }
    string_.clear();
}
