// Overflow-free helpers for cursor arithmetic: counts from control sequences are 64-bit and may be
// anything, while grid positions are small ints.
#pragma once

#include <algorithm>
#include <cstdint>

namespace Saturating {

// A movement or range count: negative counts move nothing, huge ones are cut to a distance no grid
// can exceed, so adding it to a position can never overflow.
inline int count(std::int64_t value)
{
    constexpr std::int64_t largest = 1 << 24;
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, largest));
}

// clamp(value - 1, low, high) for a 1-based position, without overflowing at INT64_MIN;
// gives low when high is below low.
inline int oneBasedToIndex(std::int64_t value, int low, int high)
{
    const std::int64_t index = value > 0 ? value - 1 : 0;
    return static_cast<int>(std::max<std::int64_t>(low, std::min<std::int64_t>(index, high)));
}

} // namespace Saturating
