// Parameter parsing for control sequences.
#include "CsiParameters.h"

#include <limits>

std::int64_t parseCsiParameter(std::u32string_view piece)
{
    bool negative = false;
    if (!piece.empty() && (piece.front() == U'+' || piece.front() == U'-')) {
        negative = piece.front() == U'-';
        piece.remove_prefix(1);
    }
    if (piece.empty()) {
        return 0;
    }
    // Accumulate the magnitude unsigned, so that INT64_MIN itself is in range.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1u : 0u);
    std::uint64_t magnitude = 0;
    for (const char32_t c : piece) {
        if (c < U'0' || c > U'9') {
            return 0;
        }
        const std::uint64_t digit = c - U'0';
        if (magnitude > (limit - digit) / 10) {
            return 0;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) {
        return static_cast<std::int64_t>(magnitude);
    }
    return magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
}

void parseCsiParameters(std::u32string_view text, std::vector<std::int64_t>& values)
{
    values.clear();
    for (;;) {
        const std::size_t semicolon = text.find(U';');
        values.push_back(parseCsiParameter(text.substr(0, semicolon)));
        if (semicolon == std::u32string_view::npos) {
            return;
        }
        text.remove_prefix(semicolon + 1);
    }
}
