// How much of what scrolled off the primary screen is kept: a number of lines, or every line up to a
// memory budget. Both bounds always hold; "unlimited" lines leave only the budget.
#pragma once

#include <cstddef>

struct HistoryLimit {
    static constexpr std::size_t unlimitedLines = static_cast<std::size_t>(-1);
    static constexpr std::size_t maximumLines = 1'000'000; // what the settings offer short of unlimited
    static constexpr std::size_t defaultLines = 2000;
    static constexpr std::size_t defaultMegabytes = 512;
    // What a line of everyday output (a listing, a log, a build) costs in the history, for showing
    // what a setting will take; measured by the history benchmark.
    static constexpr std::size_t typicalBytesPerLine = 48;

    std::size_t lines = defaultLines;
    std::size_t bytes = defaultMegabytes << 20;

    friend bool operator==(const HistoryLimit&, const HistoryLimit&) = default;
};
