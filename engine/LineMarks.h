// What a shell's semantic prompt marks (OSC 133) say about a logical line: a prompt starts on it,
// the command typed after the prompt starts on it, the command's output starts on it, a command
// ended on it, and the command of the prompt on it failed. A line keeps them through the history
// and a reflow.
#pragma once

#include <cstdint>

namespace LineMarks {
inline constexpr std::uint8_t prompt = 1 << 0; // A
inline constexpr std::uint8_t input = 1 << 1;  // B
inline constexpr std::uint8_t output = 1 << 2; // C
inline constexpr std::uint8_t end = 1 << 3;    // D
inline constexpr std::uint8_t failed = 1 << 4; // on the prompt's line, when D gave a non-zero status
} // namespace LineMarks
