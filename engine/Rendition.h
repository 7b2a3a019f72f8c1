// Graphic rendition: reading the extended colours of SGR 38, 48 and 58 from their values.
#pragma once

#include "Cell.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

// A colour component or palette index as a cell keeps it.
inline std::uint8_t colorLevel(std::int64_t value)
{
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

// The colour of 38, 48 or 58 at the front of `values` (then 5;n or 2;r;g;b, as semicolon or colon
// pieces); how many values it took beyond the code, 0 when there were too few (the code is then
// skipped alone and what follows is read as codes of its own). With colons, 2 may carry a colour
// space before r;g;b.
[[gnu::always_inline]] inline std::size_t extendedColor(std::span<const std::int64_t> values,
                                                        std::size_t pieces, std::uint32_t& color)
{
    const std::size_t size = values.size();
    if (size > 2 && values[1] == 5) {
        color = CellColor::indexed(static_cast<int>(colorLevel(values[2])));
        return 2;
    }
    if (size > 1 && values[1] == 2) {
        const std::size_t first = pieces == 6 ? 3 : 2; // 38:2:space:r:g:b
        if (first + 2 < size) {
            color = CellColor::rgb(colorLevel(values[first]), colorLevel(values[first + 1]),
                                   colorLevel(values[first + 2]));
            return first + 2;
        }
    }
    return 0;
}

// A rendition that is one extended colour and nothing else, what 256-colour and 24-bit output send
// before every few characters: its code (38, 48 or 58) and colour. False for anything else.
[[gnu::always_inline]] inline bool loneExtendedColor(std::span<const std::int64_t> values, std::int64_t& code,
                                                     std::uint32_t& color)
{
    if (values.size() < 3 || (values[0] != 38 && values[0] != 48 && values[0] != 58)) {
        return false;
    }
    code = values[0];
    return extendedColor(values, 1, color) == values.size() - 1;
}
