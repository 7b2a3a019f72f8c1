// Deterministic inputs for the engine benchmark: a fixed seed gives the same bytes on every machine
// and every run, so figures from different commits and both engines in one run compare.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class EngineWorkload {
    denseAscii,       // full lines of printable ASCII, each ended by CR LF
    sgr256,           // a 256-colour SGR before every 4 characters
    truecolor,        // a 24-bit SGR before every 4 characters
    utf8Heavy,        // accented Latin, Greek and CJK text
    shortLines,       // one number per line, like seq
    cursorRedraw,     // a full-screen redraw: CUP to each field, a short write, some EL
    regionScroll,     // lines fed at the bottom of a scrolling region that spares the first and last row
    lineEditing,      // lines inserted and deleted in the middle of the screen (IL, DL), then written
    backgroundRedraw, // a full-screen redraw of fields with background colours and inverse bars
    screenSwitch,     // the alternate screen entered, filled with a screenful and left again
};

inline constexpr EngineWorkload allEngineWorkloads[] = {
    EngineWorkload::denseAscii,   EngineWorkload::sgr256,      EngineWorkload::truecolor,
    EngineWorkload::utf8Heavy,    EngineWorkload::shortLines,  EngineWorkload::cursorRedraw,
    EngineWorkload::regionScroll, EngineWorkload::lineEditing, EngineWorkload::backgroundRedraw,
    EngineWorkload::screenSwitch,
};

std::string_view workloadName(EngineWorkload workload);

// About `bytes` of input (whole lines or frames) for a terminal of `rows` x `columns`.
std::string generateWorkload(EngineWorkload workload, int rows, int columns, std::size_t bytes);

// Inputs that fill a history: `lines` numbers from 1, one a line, CR LF (what seq prints through a
// pty); and `lines` lines of a long listing in colour with a style change every few cells (each
// permission letter, links, owner, group, size and unit, date, and the name by its kind), about 70
// cells a line.
std::string numberLines(int lines);
std::string colouredListing(int lines);
