// What a shell's semantic prompt marks (OSC 133) say about a logical line: a prompt starts on it,
// the command typed after the prompt starts on it, the command's output starts on it, a command
// ended on it, and the command of the prompt on it failed. A prompt's line also names the folder the
// shell last reported (OSC 7) when the prompt began, by its number in the screen's table of folders.
// A line keeps them through the history and a reflow.
#pragma once

#include <cstdint>

namespace LineMarks {
using Bits = std::uint32_t; // the marks below, and above them the folder's number (0 for none)

inline constexpr Bits prompt = 1 << 0; // A
inline constexpr Bits input = 1 << 1;  // B
inline constexpr Bits output = 1 << 2; // C
inline constexpr Bits end = 1 << 3;    // D
inline constexpr Bits failed = 1 << 4; // on the prompt's line, when D gave a non-zero status
inline constexpr Bits kinds = 0xFF;
inline constexpr int folderShift = 8;
inline constexpr std::uint32_t folderLimit = (1u << (32 - folderShift)) - 1;

constexpr std::uint32_t folder(Bits bits)
{
    return bits >> folderShift;
}

constexpr Bits withFolder(Bits bits, std::uint32_t folder)
{
    return (bits & kinds) | (folder << folderShift);
}

// Marks added to a line: the kinds add up; a line keeps the folder it was given first.
constexpr Bits merged(Bits bits, Bits added)
{
    return (bits | (added & kinds)) | (folder(bits) == 0 ? added & ~kinds : 0);
}
} // namespace LineMarks
