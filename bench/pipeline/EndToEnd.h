// Output of a real shell on a real pty into a shown surface, timed until an end marker the shell
// prints after the workload has been consumed by the engine, beside a raw drain of the same
// command's output in the same process; the runs of the two alternate.
#pragma once

#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

struct EndToEndWorkload {
    std::string name;
    std::string command; // a shell command line, without the end marker
    std::string output;  // what the terminal receives from it (newlines as the pty turns them)
};

struct EndToEndResult {
    std::string name;
    std::vector<double> rawMs;
    std::vector<double> viewMs;
    std::vector<double> engineMs; // the output consumed by a bare engine in 4 KiB chunks, no pty
    std::vector<int> paints;      // paint events of the view during each view run
    std::uint64_t rawBytes = 0;   // read by the raw drain in one run
    bool complete = false;        // every run saw its marker
};

std::vector<EndToEndResult> runEndToEnd(const std::vector<EndToEndWorkload>& workloads, int runs,
                                        QSize windowSize);

// The output of a command as it reaches the terminal: every "\n" becomes "\r\n" (the pty's ONLCR).
std::string asReceived(const std::string& written);

// At most one paint per 16 ms frame, plus the first one.
int paintAllowance(double elapsedMs);
