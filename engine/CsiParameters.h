// Parsing the parameter string of a control sequence into signed 64-bit values, one per piece
// between semicolons.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

// The values of one control sequence. Nearly every sequence has a handful, so they go into an inline
// array; only a sequence with more than inlineCapacity pieces moves them to the heap, whose storage
// is then kept for the next such sequence.
class CsiParameterList {
public:
    static constexpr std::size_t inlineCapacity = 32;

    CsiParameterList() = default;
    CsiParameterList(const CsiParameterList&) = delete; // data_ may point into the object itself
    CsiParameterList& operator=(const CsiParameterList&) = delete;

    void clear()
    {
        data_ = inline_.data();
        size_ = 0;
        capacity_ = inlineCapacity;
    }
    void push(std::int64_t value)
    {
        if (size_ == capacity_) [[unlikely]] {
            grow();
        }
        data_[size_++] = value;
    }
    std::span<const std::int64_t> values() const { return {data_, size_}; }

private:
    [[gnu::noinline]] void grow()
    {
        if (data_ == inline_.data()) {
            spilled_.assign(inline_.begin(), inline_.end());
        }
        spilled_.resize(capacity_ * 2);
        data_ = spilled_.data();
        capacity_ = spilled_.size();
    }

    std::array<std::int64_t, inlineCapacity> inline_{};
    std::vector<std::int64_t> spilled_;
    std::int64_t* data_ = inline_.data();
    std::size_t size_ = 0;
    std::size_t capacity_ = inlineCapacity;
};

namespace CsiParameters {

// The magnitude of a run of more than 18 digits, which may lie beyond the 64-bit range: 2^63 - 1 at
// most, or 2^63 when negative (INT64_MIN itself is in range). Leading zeros do not count. False when
// out of range. Shorter runs need no check: 18 digits are below 10^18 < 2^63.
template <typename Char>
bool longMagnitude(const Char* digits, const Char* end, bool negative, std::uint64_t& magnitude)
{
    while (digits < end && *digits == '0') {
        ++digits;
    }
    if (end - digits > 19) {
        return false;
    }
    // At most 19 significant digits, below 10^19 < 2^64: exact in 64 unsigned bits.
    magnitude = 0;
    for (; digits < end; ++digits) {
        magnitude = magnitude * 10 + (static_cast<std::uint64_t>(*digits) - '0');
    }
    constexpr std::uint64_t largest = (std::uint64_t{1} << 63) - 1;
    return magnitude <= largest + (negative ? 1 : 0);
}

// The common piece of a sequence in a byte string: fewer than 8 digits (maybe none) with 8 bytes
// readable, read as one 64-bit word, so that neither the digits nor the run's end cost a branch each,
// whose exit a loop mispredicts on parameters of varying length. Gives the run's length and value;
// false when all 8 bytes are digits.
inline bool shortDigitRun(const std::uint8_t* p, std::uint64_t& magnitude, int& length)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr std::uint64_t ones = 0x0101010101010101;
    // Per byte, with '0'..'9' turned into 0..9: a high bit for every byte that was no digit. Bit 7 is
    // kept out of the addition so that no byte carries into the next.
    const std::uint64_t offset = word ^ (ones * '0');
    const std::uint64_t nonDigits =
        (((offset & (ones * 0x7F)) + ones * (0x80 - 10)) | offset) & (ones * 0x80);
    if (nonDigits == 0) {
        return false;
    }
    length = std::countr_zero(nonDigits) / 8;
    // The digits moved to the top bytes (the first digit the lowest of them), zeros below them (none
    // at all for an empty run: two shifts, as one of 64 bits is undefined), then pairs, quadruples and
    // octets of digits combined.
    std::uint64_t v = ((offset << (56 - 8 * length)) << 8) & (ones * 0x0F);
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
    magnitude = v;
    return true;
}

// Splits at every ';', keeping empty pieces, so the result always has at least one value. A piece is
// an optional sign and decimal digits; anything else (an empty piece, a colon sub-parameter, an
// intermediate byte, a value beyond the 64-bit range) counts as 0. One pass over raw bytes (a whole
// sequence found in a chunk) or scalars (one collected across chunks).
//
// With stopAtFinal, parsing also ends at the first character of 0x40 and above (the final byte, or
// whatever ends the sequence); returns where it stopped, end if no such character came.
template <bool stopAtFinal, typename Char>
[[gnu::always_inline]] inline const Char* parse(const Char* p, const Char* end, CsiParameterList& values)
{
    const auto endsPiece = [end](const Char* at) {
        return at == end || *at == ';' || (stopAtFinal && *at >= 0x40);
    };
    values.clear();
    for (;;) {
        if constexpr (stopAtFinal && sizeof(Char) == 1 && std::endian::native == std::endian::little) {
            // Unsigned digits up to ';' or the final: the whole piece from one word. Anything else (a
            // sign, a spoilt piece, a long run, the chunk's last bytes) is read below.
            std::uint64_t magnitude;
            int length;
            if (end - p >= 8 && shortDigitRun(p, magnitude, length)) {
                const Char terminator = p[length];
                if (terminator == ';' || terminator >= 0x40) {
                    values.push(static_cast<std::int64_t>(magnitude));
                    p += length;
                    if (terminator != ';') {
                        return p;
                    }
                    ++p;
                    continue;
                }
            }
        }
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        const Char* const digits = p;
        std::uint64_t magnitude = 0;
        for (; p < end; ++p) {
            const std::uint64_t digit = static_cast<std::uint64_t>(*p) - '0';
            if (digit > 9) {
                break;
            }
            magnitude = magnitude * 10 + digit; // may wrap past 19 digits; longMagnitude decides then
        }
        bool good = p != digits;
        if (p - digits > 18) [[unlikely]] {
            good = longMagnitude(digits, p, negative, magnitude);
        }
        if (!endsPiece(p)) { // something other than a digit: the piece counts as 0
            good = false;
            do {
                ++p;
            } while (!endsPiece(p));
        }
        std::int64_t value = 0;
        if (good) {
            value = negative ? (magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1)
                             : static_cast<std::int64_t>(magnitude);
        }
        values.push(value);
        if (p == end || *p != ';') {
            return p;
        }
        ++p; // the ';'
    }
}

} // namespace CsiParameters
