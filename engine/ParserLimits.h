// How much of one sequence or string the parser keeps: bounds a program cannot push past.
#pragma once

#include <cstddef>

namespace ParserLimits {
inline constexpr std::size_t sequence = 4096; // characters of a control sequence, the leading [ included
inline constexpr std::size_t oscString = 1
                                         << 20; // bytes of one OSC string (a clipboard write is the longest)
inline constexpr std::size_t dcsString = 64;    // bytes of a DCS kept: enough to tell which request it is
inline constexpr std::size_t renditionValues = 256; // values of a colon SGR; no rendition needs more
} // namespace ParserLimits
