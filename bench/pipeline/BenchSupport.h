// Shared pieces of the pipeline benchmark: driving the event loop without the sleeps a test's wait
// adds, the figures' statistics, and reading the terminal's rows as text.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TerminalEngine;
class TerminalTextView;

namespace Bench {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start);
// CPU time of the whole process (all threads), in milliseconds: unlike the wall clock it does not
// grow when other processes take the cores.
double processCpuMilliseconds();

// Runs the event loop until the condition holds, checking it after every batch of events (the loop
// sleeps only while nothing is ready); false after the time-out.
bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs);
void runEventsFor(int milliseconds);
// Waits until the view has no frame pending and then keeps the loop turning for `idleMs` more.
void settle(TerminalTextView& view, int idleMs);

double median(std::vector<double> values);
double percentile(std::vector<double> values, double fraction); // nearest rank

// The ASCII text of a row (other scalars as '?').
std::string rowText(const TerminalEngine& engine, std::size_t row);
// Whether `text` is on the cursor's row or one of the `above` rows before it.
bool nearCursor(const TerminalEngine& engine, const std::string& text, int above);

long statusKilobytes(const char* field); // "VmHWM", "VmRSS" of /proc/self/status; -1 when absent

} // namespace Bench
