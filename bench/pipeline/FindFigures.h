// Find and prompt jumps over a million-line history: how soon the first match shows, how long the
// window is held at most by one slice of the count, and how long a jump to a prompt takes.
#pragma once

#include <vector>

struct FindResult {
    long historyLines = 0;
    // Keystroke to first match, by where the match is: on the screen, half way up, at the oldest line.
    double firstOnScreenMs = 0.0;
    double firstHalfWayMs = 0.0;
    double firstOldestMs = 0.0;
    double firstOldestRegexMs = 0.0; // the same as a regular expression
    double countMs = 0.0;            // all matches of a word on every line, counted in slices
    double longestSliceMs = 0.0;
    long counted = 0;
    std::vector<double> jumpMs;  // previous prompt from the bottom, prompts every 100 lines
    double jumpToOldestMs = 0.0; // the only prompt at the oldest line
    bool complete = false;
};

FindResult measureFind(long lines);
