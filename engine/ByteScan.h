// Recognising the bytes shell output is mostly made of, several at a time: runs of printable ASCII
// and whole UTF-8 characters. The parser finds text with them, and the screen's text run reads on
// with them; both must agree with the byte-by-byte decoder.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ByteScan {

inline constexpr std::uint64_t ones = 0x0101010101010101;

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

} // namespace ByteScan
