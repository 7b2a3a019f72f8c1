// Each command line ends with `echo pipeline-done-$((N+1))`: the echoed command holds the arithmetic,
// only the shell's answer holds the marker, and N changes with every run so that a marker still in
// the history never ends a later run. One warm-up round fills the history and the page cache.
#include "EndToEnd.h"

#include "BenchSupport.h"
#include "RawPtyDrain.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "tests/view/ViewTestSupport.h"
#include "view/TerminalTextView.h"

#include <cstdio>
#include <string_view>
#include <utility>

namespace {

constexpr int runTimeoutMs = 600000;
constexpr int markerRowsAbove = 3;        // the prompt may already follow the marker
constexpr std::size_t engineChunk = 4096; // a typical read from a busy pty master

class MarkedCommands {
public:
    // The command line to send and the marker its shell prints at the end.
    std::pair<std::string, std::string> next(const std::string& command)
    {
        ++serial_;
        return {command + "; echo pipeline-done-$((" + std::to_string(serial_) + "+1))\r",
                "pipeline-done-" + std::to_string(serial_ + 1)};
    }

private:
    int serial_ = 1000;
};

} // namespace

std::string asReceived(const std::string& written)
{
    std::string received;
    received.reserve(written.size() + written.size() / 16);
    for (const char c : written) {
        if (c == '\n') {
            received += '\r';
        }
        received += c;
    }
    return received;
}

int paintAllowance(double elapsedMs)
{
    return static_cast<int>(elapsedMs / 16.0) + 1;
}

std::vector<EndToEndResult> runEndToEnd(const std::vector<EndToEndWorkload>& workloads, int runs,
                                        QSize windowSize)
{
    std::vector<EndToEndResult> results;
    for (const EndToEndWorkload& workload : workloads) {
        results.push_back(EndToEndResult{workload.name, {}, {}, {}, {}, 0, true});
    }
    ViewTest::SurfaceWindow window(ViewTest::settingsWithShell(QStringLiteral("sh")), windowSize);
    if (!window.waitForShell()) {
        std::fprintf(stderr, "end to end: the surface's shell did not answer\n");
        return {};
    }
    TerminalTextView& view = window.view();
    TerminalEngine& engine = window.engine();
    Bench::settle(view, 200);
    RawPtyDrain raw(QStringLiteral("sh"), engine.rows(), engine.columns());
    if (!raw.isRunning() || !raw.send("echo ready-$((1+1))\r") || !raw.readUntil("ready-2", 20000)) {
        std::fprintf(stderr, "end to end: the raw drain's shell did not answer\n");
        return {};
    }
    std::printf("end to end: %d x %d grid, window %d x %d, %d runs each\n", engine.rows(), engine.columns(),
                windowSize.width(), windowSize.height(), runs);

    MarkedCommands commands;
    auto rawRun = [&](const EndToEndWorkload& workload, EndToEndResult& result, bool record) {
        const auto [line, marker] = commands.next(workload.command);
        const auto start = Bench::Clock::now();
        const bool seen = raw.send(line) && raw.readUntil(marker, runTimeoutMs);
        const double elapsed = Bench::millisecondsSince(start);
        result.complete = result.complete && seen;
        if (record) {
            result.rawMs.push_back(elapsed);
            result.rawBytes = raw.bytesRead();
        }
    };
    auto viewRun = [&](const EndToEndWorkload& workload, EndToEndResult& result, bool record) {
        const auto [line, marker] = commands.next(workload.command);
        Bench::settle(view, 100);
        const int paintsBefore = view.paintCount();
        const auto start = Bench::Clock::now();
        view.terminal().pty()->send(line);
        const bool seen = Bench::runEventsUntil(
            [&, &marker = marker] { return Bench::nearCursor(engine, marker, markerRowsAbove); },
            runTimeoutMs);
        const double elapsed = Bench::millisecondsSince(start);
        result.complete = result.complete && seen;
        if (record) {
            result.viewMs.push_back(elapsed);
            result.paints.push_back(view.paintCount() - paintsBefore);
        }
    };

    TerminalEngine bare; // its history stays full from run to run, like the view's
    bare.resizeGrid(engine.rows(), engine.columns());
    int bareRenders = 0;
    bare.setRenderHook([&bareRenders] { ++bareRenders; });
    auto engineRun = [&](const EndToEndWorkload& workload, EndToEndResult& result, bool record) {
        const std::string_view output = workload.output;
        const auto start = Bench::Clock::now();
        for (std::size_t at = 0; at < output.size(); at += engineChunk) {
            bare.consume(output.substr(at, engineChunk));
        }
        if (record) {
            result.engineMs.push_back(Bench::millisecondsSince(start));
        }
    };

    for (int run = -1; run < runs; ++run) { // run -1 warms up
        for (std::size_t w = 0; w < workloads.size(); ++w) {
            const bool record = run >= 0;
            if ((run + static_cast<int>(w)) % 2 == 0) {
                rawRun(workloads[w], results[w], record);
                viewRun(workloads[w], results[w], record);
            } else {
                viewRun(workloads[w], results[w], record);
                rawRun(workloads[w], results[w], record);
            }
            engineRun(workloads[w], results[w], record);
            if (record) {
                std::printf("  run %d %-10s raw %8.1f ms  view %8.1f ms  paints %3d  bare engine %8.1f ms\n",
                            run + 1, workloads[w].name.c_str(), results[w].rawMs.back(),
                            results[w].viewMs.back(), results[w].paints.back(), results[w].engineMs.back());
                std::fflush(stdout);
            }
        }
    }
    return results;
}
