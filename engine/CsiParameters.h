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

    std::span<const std::int64_t> values() const { return {data_, size_}; }
    // Some piece held something other than a sign and digits (a colon, an intermediate, ...).
    bool spoilt() const { return spoilt_; }

    // Replaces the values by those pushed while it lives. Keeps the position in locals, which the
    // stores of the values cannot alias, so nothing is read back from the list between two pushes.
    class Writer {
    public:
        explicit Writer(CsiParameterList& list) : list_(list), data_(list.inline_.data())
        {
            list.spoilt_ = false;
        }
        ~Writer()
        {
            list_.data_ = data_;
            list_.size_ = size_;
        }
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;

        void markSpoilt() { list_.spoilt_ = true; }

        void push(std::int64_t value)
        {
            if (size_ == capacity_) [[unlikely]] {
                data_ = list_.spill(data_, size_);
                capacity_ = size_ * 2;
            }
            data_[size_++] = value;
        }

    private:
        CsiParameterList& list_;
        std::int64_t* data_;
        std::size_t size_ = 0;
        std::size_t capacity_ = inlineCapacity;
    };

private:
    // Room for twice the size values, the first size of them those at data; returns the new place.
    [[gnu::noinline]] std::int64_t* spill(const std::int64_t* data, std::size_t size)
    {
        if (data == inline_.data()) {
            spilled_.assign(inline_.begin(), inline_.begin() + static_cast<std::ptrdiff_t>(size));
        }
        spilled_.resize(size * 2);
        return spilled_.data();
    }

    std::array<std::int64_t, inlineCapacity> inline_{};
    std::vector<std::int64_t> spilled_;
    std::int64_t* data_ = inline_.data();
    std::size_t size_ = 0;
    bool spoilt_ = false;
};

namespace CsiParameters {

// A control sequence's leader (< = > ?), one intermediate and final packed into one key, so that one
// switch tells CSI > c from CSI c and CSI SP q from CSI q.
constexpr std::uint32_t key(char leader, char intermediate, char final)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(leader)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(intermediate)) << 8 |
           static_cast<unsigned char>(final);
}
constexpr std::uint32_t key(char final)
{
    return key(0, 0, final);
}

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

namespace Swar {
constexpr std::uint64_t ones = 0x0101010101010101;

// For eight bytes with '0'..'9' turned into 0..9 (the bytes xor '0'): a high bit in every byte that
// was no digit. Bit 7 is kept out of the addition so that no byte carries into the next.
constexpr std::uint64_t nonDigits(std::uint64_t offset)
{
    return (((offset & (ones * 0x7F)) + ones * (0x80 - 10)) | offset) & (ones * 0x80);
}

// The value of the first length (0..7) digits of offset: moved to the top bytes (the first digit the
// lowest of them) with zeros below (none left for length 0: two shifts, as one of 64 bits is
// undefined), then pairs, quadruples and octets of digits combined, one multiplication each.
constexpr std::uint64_t digitsValue(std::uint64_t offset, int length)
{
    std::uint64_t v = ((offset << (56 - 8 * length)) << 8) & (ones * 0x0F);
    v = (v * (1 + (10 << 8))) >> 8;
    v = ((v & 0x00FF00FF00FF00FF) * (1 + (100 << 16))) >> 16;
    return ((v & 0x0000FFFF0000FFFF) * (1 + (std::uint64_t{10000} << 32))) >> 32;
}
} // namespace Swar

// The common pieces of a whole sequence in a byte string, eight bytes at a time while eight are
// readable: unsigned runs of fewer than 8 digits (or none), each ended by ';' or the final. Every
// such piece in a word comes from that one word's digit mask, with no load and no branch per digit,
// whose exit a loop mispredicts on parameters of varying length. Stops at the first byte it leaves
// to the general reading (a sign, a spoilt piece, a long run, the last bytes), or at the final, and
// says which.
inline bool commonPieces(const std::uint8_t*& p, const std::uint8_t* end, CsiParameterList::Writer& out)
{
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        const std::uint64_t offset = word ^ (Swar::ones * '0');
        std::uint64_t stops = Swar::nonDigits(offset);
        int start = 0; // where the current piece begins in the word
        while (stops != 0) {
            const int at = std::countr_zero(stops) / 8;
            const auto terminator = static_cast<std::uint8_t>(word >> (8 * at));
            if (terminator != ';' && terminator < 0x40) {
                p += start;
                return false;
            }
            out.push(static_cast<std::int64_t>(Swar::digitsValue(offset >> (8 * start), at - start)));
            if (terminator != ';') {
                p += at;
                return true;
            }
            start = at + 1;
            stops &= stops - 1;
        }
        if (start == 0) {
            return false; // eight digits: a long run
        }
        p += start; // the piece begun last goes on past this word
    }
    return false;
}

// Splits at every ';', keeping empty pieces, so the result always has at least one value. A piece is
// an optional sign and decimal digits; anything else (an empty piece, a colon sub-parameter, an
// intermediate byte, a value beyond the 64-bit range) counts as 0. One pass over raw bytes (a whole
// sequence found in a chunk) or scalars (one collected across chunks).
//
// With stopAtFinal, parsing also ends at the first character of 0x40 and above (the final byte, or
// whatever ends the sequence) or below 0x20 (a control, which the caller executes in the middle of
// the sequence); returns where it stopped, end if no such character came.
template <bool stopAtFinal, typename Char>
[[gnu::always_inline]] inline const Char* parse(const Char* p, const Char* end, CsiParameterList& values)
{
    const auto endsPiece = [end](const Char* at) {
        return at == end || *at == ';' || (stopAtFinal && (*at >= 0x40 || *at < 0x20));
    };
    CsiParameterList::Writer out(values);
    for (;;) {
        if constexpr (stopAtFinal && sizeof(Char) == 1 && std::endian::native == std::endian::little) {
            if (commonPieces(p, end, out)) {
                return p;
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
            out.markSpoilt();
            do {
                ++p;
            } while (!endsPiece(p));
        }
        std::int64_t value = 0;
        if (good) {
            value = negative ? (magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1)
                             : static_cast<std::int64_t>(magnitude);
        }
        out.push(value);
        if (p == end || *p != ';') {
            return p;
        }
        ++p; // the ';'
    }
}

} // namespace CsiParameters
