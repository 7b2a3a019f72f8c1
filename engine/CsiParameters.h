// Parsing the parameter string of a control sequence into signed 64-bit values, one per piece
// between semicolons.
#pragma once

#include <cstdint>
#include <vector>

// Splits at every ';', keeping empty pieces, so the result always has at least one value. A piece is
// an optional sign and decimal digits; anything else (an empty piece, a colon sub-parameter, an
// intermediate byte, a value beyond the 64-bit range) counts as 0. One pass over raw bytes (a whole
// sequence found in a chunk) or scalars (one collected across chunks). The magnitude is accumulated
// unsigned, so INT64_MIN itself is in range.
template <typename Char>
void parseCsiParameterRange(const Char* p, const Char* end, std::vector<std::int64_t>& values)
{
    values.clear();
    for (;;) {
        bool negative = false;
        bool bad = false;
        std::uint64_t magnitude = 0;
        if (p < end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        // The magnitude may reach 2^63 - 1, or 2^63 when negative: both are 922337203685477580 tens
        // and a last digit of 7 or 8, constants rather than a division per piece.
        constexpr std::uint64_t tenth = ((std::uint64_t{1} << 63) - 1) / 10;
        const std::uint64_t lastDigit = negative ? 8 : 7;
        const Char* digits = p;
        for (; p < end && *p != ';'; ++p) {
            const std::uint64_t digit = static_cast<std::uint64_t>(*p) - '0';
            if (digit > 9 || magnitude > tenth || (magnitude == tenth && digit > lastDigit)) {
                bad = true;
            } else {
                magnitude = magnitude * 10 + digit;
            }
        }
        std::int64_t value = 0;
        if (!bad && p != digits) {
            value = negative ? (magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1)
                             : static_cast<std::int64_t>(magnitude);
        }
        values.push_back(value);
        if (p == end) {
            return;
        }
        ++p; // the ';'
    }
}
