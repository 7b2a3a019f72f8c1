// The loop is woken by a heartbeat timer so that a time-out is noticed even when nothing arrives.
#include "BenchSupport.h"

#include "engine/TerminalEngine.h"
#include "view/TerminalTextView.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>

namespace Bench {

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QTimer heartbeat;
    heartbeat.start(20);
    const auto start = Clock::now();
    while (!condition()) {
        if (millisecondsSince(start) > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void runEventsFor(int milliseconds)
{
    const auto start = Clock::now();
    runEventsUntil([&] { return millisecondsSince(start) >= milliseconds; }, milliseconds + 1000);
}

void settle(TerminalTextView& view, int idleMs)
{
    runEventsUntil([&] { return !view.framePending(); }, 10000);
    runEventsFor(idleMs);
}

double median(std::vector<double> values)
{
    return percentile(std::move(values), 0.5);
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::string rowText(const TerminalEngine& engine, std::size_t row)
{
    std::string text;
    for (const Cell& cell : engine.row(row)) {
        text += cell.character < 0x80 ? static_cast<char>(cell.character) : '?';
    }
    return text;
}

bool nearCursor(const TerminalEngine& engine, const std::string& text, int above)
{
    const int last = std::min(engine.cursorLine(), static_cast<int>(engine.rowCount()) - 1);
    for (int row = std::max(last - above, 0); row <= last; ++row) {
        if (rowText(engine, static_cast<std::size_t>(row)).find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

} // namespace Bench
