// Engine throughput beside libvterm and the baseline engine in the same run: each workload at 80x24
// and 200x50, fed in chunks of 8192 bytes as the shell session reads them, also with a full history
// of a million lines; and the heap held by full histories. Ends with a summary of the ratios.
#include "BaselineEngine.h"
#include "EngineWorkloads.h"
#include "engine/TerminalEngine.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <span>
#include <string>
#include <sys/resource.h>
#include <type_traits>
#include <unistd.h>
#include <vector>
#include <vterm.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#endif

namespace {

constexpr std::size_t chunkSize = 8192;
constexpr std::size_t inputBytes = std::size_t{1} << 20;

struct GridSize {
    int rows;
    int columns;
};
constexpr GridSize gridSizes[] = {{24, 80}, {50, 200}};
// The lines a terminal window keeps above its screen by default; libvterm's history is as deep.
constexpr int defaultHistoryLines = static_cast<int>(HistoryLimit::defaultLines);
// The deepest history the settings offer short of unlimited, with a budget that never binds first.
constexpr int millionLines = 1'000'000;
constexpr HistoryLimit millionLineLimit{millionLines, std::size_t{8} << 30};
// The memory figures' grid: the width at which a history of cells is usually quoted.
constexpr GridSize memoryGrid{40, 120};
constexpr int listingLines = 100'000;

template <typename Consume> void feedInChunks(const std::string& input, Consume&& consume)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
    for (std::size_t at = 0; at < input.size(); at += chunkSize) {
        consume(bytes + at, std::min(chunkSize, input.size() - at));
    }
}

// Our engine as the view holds it: a filled screen of the given size, its redraw hook doing what the
// view's redraw does to the engine before it reads the grid.
struct OurTerminal {
    TerminalEngine engine;
    long renders = 0;

    explicit OurTerminal(GridSize size)
    {
        engine.resizeGrid(size.rows, size.columns);
        engine.setRenderHook([this] { ++renders; });
    }
    void consume(const std::uint8_t* data, std::size_t size) { engine.consume(std::span(data, size)); }
};

// Numbers from 1, one a line, enough to leave a million lines above the tallest screen; made once,
// before any timing.
const std::string* historyFill = nullptr;

// Ours with its history at a million lines and full before timing, so that every line a workload
// scrolls off drops the oldest one.
struct OurFullTerminal : OurTerminal {
    explicit OurFullTerminal(GridSize size) : OurTerminal(size)
    {
        engine.setHistoryLimit(millionLineLimit);
        feedInChunks(*historyFill, [this](const std::uint8_t* data, std::size_t n) { consume(data, n); });
    }
};

#if defined(VITRION_BENCH_BASELINE)
// The engine as it was at the baseline commit, held the same way.
class BaselineTerminal {
public:
    explicit BaselineTerminal(GridSize size) : engine_(BaselineEngine::create(size.rows, size.columns)) {}
    ~BaselineTerminal() { BaselineEngine::destroy(engine_); }
    BaselineTerminal(const BaselineTerminal&) = delete;
    BaselineTerminal& operator=(const BaselineTerminal&) = delete;
    void consume(const std::uint8_t* data, std::size_t size) { BaselineEngine::consume(engine_, data, size); }

private:
    BaselineEngine::Handle* engine_;
};
#endif

// The peer: a libvterm screen in UTF-8 mode with damage merged per scroll and flushed after every
// chunk, and lines scrolled off the top copied into a history of the same depth as ours, so both
// sides keep what a terminal window shows.
class VtermTerminal {
public:
    explicit VtermTerminal(GridSize size)
        : vt_(vterm_new(size.rows, size.columns)), columns_(size.columns),
          history_(static_cast<std::size_t>(defaultHistoryLines) * static_cast<std::size_t>(size.columns))
    {
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        callbacks_.damage = [](VTermRect, void* user) {
            ++static_cast<VtermTerminal*>(user)->damages_;
            return 1;
        };
        callbacks_.sb_pushline = [](int cols, const VTermScreenCell* cells, void* user) {
            static_cast<VtermTerminal*>(user)->pushLine(cols, cells);
            return 1;
        };
        vterm_screen_set_callbacks(screen_, &callbacks_, this);
        vterm_screen_set_damage_merge(screen_, VTERM_DAMAGE_SCROLL);
        vterm_screen_reset(screen_, 1);
    }
    ~VtermTerminal() { vterm_free(vt_); }
    VtermTerminal(const VtermTerminal&) = delete;
    VtermTerminal& operator=(const VtermTerminal&) = delete;

    void consume(const std::uint8_t* data, std::size_t size)
    {
        vterm_input_write(vt_, reinterpret_cast<const char*>(data), size);
        vterm_screen_flush_damage(screen_);
    }
    long damages() const { return damages_; }

private:
    void pushLine(int cols, const VTermScreenCell* cells)
    {
        const std::size_t width = static_cast<std::size_t>(std::min(cols, columns_));
        std::copy(cells, cells + width, history_.begin() + static_cast<std::ptrdiff_t>(nextLine_ * columns_));
        nextLine_ = (nextLine_ + 1) % defaultHistoryLines;
    }

    VTerm* vt_;
    VTermScreen* screen_ = nullptr;
    VTermScreenCallbacks callbacks_{};
    int columns_;
    std::vector<VTermScreenCell> history_;
    int nextLine_ = 0;
    long damages_ = 0;
};

// Under `valgrind --tool=callgrind --collect-atstart=no` only the timed passes are counted: not the
// inputs' generation, nor a history filled before timing.
void countInstructions()
{
#if __has_include(<valgrind/callgrind.h>)
    CALLGRIND_TOGGLE_COLLECT;
#endif
}

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

template <typename Terminal> void throughput(benchmark::State& state, const std::string* input, GridSize size)
{
    Terminal terminal(size);
    const long faultsBefore = minorFaults();
    for (auto _ : state) {
        countInstructions();
        feedInChunks(*input, [&](const std::uint8_t* data, std::size_t n) { terminal.consume(data, n); });
        countInstructions();
    }
    // Pages the heap takes from the kernel while the input is fed (a history growing in bytes).
    state.counters["faults"] = benchmark::Counter(static_cast<double>(minorFaults() - faultsBefore),
                                                  benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(input->size()));
    if constexpr (std::is_same_v<Terminal, OurFullTerminal>) {
        // A history that is not full at the end measured something else.
        const std::size_t lines = terminal.engine.history().lineCount();
        state.counters["history_lines"] = static_cast<double>(lines);
        if (lines != static_cast<std::size_t>(millionLines)) {
            state.SkipWithError("the history was not full");
        }
    }
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap held by an engine whose 2000-row history at 200 columns is full of coloured text.
void fullHistoryMemory(benchmark::State& state)
{
    // Lines of 200 cells with their colour sequences take well over 800 bytes each.
    const std::string lines = generateWorkload(EngineWorkload::sgr256, 50, 200,
                                               std::size_t{800} * (HistoryLimit::defaultLines + 50));
    std::size_t held = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        auto* terminal = new OurTerminal({50, 200});
        feedInChunks(lines, [&](const std::uint8_t* data, std::size_t n) { terminal->consume(data, n); });
        held = heapInUse() - before;
        rows = terminal->engine.rowCount();
        delete terminal;
    }
    state.counters["heap_MB"] = static_cast<double>(held) / 1e6;
    state.counters["rows"] = static_cast<double>(rows);
}

// Heap held by the history of one engine after `input`, its limit a million lines: the heap of the
// engine after it less the heap of the same engine with an empty history.
void historyMemory(benchmark::State& state, const std::string* input)
{
    std::size_t held = 0;
    std::size_t lines = 0;
    std::size_t counted = 0;
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        auto* terminal = new OurTerminal(memoryGrid);
        terminal->engine.setHistoryLimit(millionLineLimit);
        const std::size_t empty = heapInUse() - before;
        feedInChunks(*input, [&](const std::uint8_t* data, std::size_t n) { terminal->consume(data, n); });
        held = heapInUse() - before - empty;
        lines = terminal->engine.history().lineCount();
        counted = terminal->engine.history().bytes();
        delete terminal;
    }
    state.counters["history_MB"] = static_cast<double>(held) / 1e6;
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["bytes_per_line"] = lines > 0 ? static_cast<double>(held) / static_cast<double>(lines) : 0;
    state.counters["counted_MB"] = static_cast<double>(counted) / 1e6; // History::bytes(), what limits it
}

// Prints the usual table and keeps each benchmark's rate for the ratio summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.run_name.function_name;
            if (const auto rate = run.counters.find("bytes_per_second"); rate != run.counters.end()) {
                rates_[name].push_back(rate->second.value / 1e6);
            }
            if (const auto heap = run.counters.find("heap_MB"); heap != run.counters.end()) {
                heapMegabytes_ = heap->second.value;
            }
            if (const auto held = run.counters.find("history_MB"); held != run.counters.end()) {
                histories_[name] = {held->second.value, run.counters.at("lines").value,
                                    run.counters.at("bytes_per_line").value};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printSummary() const
    {
        double slowestFull = 1e9;
        std::printf("\n%-18s %-8s %10s %14s %8s %14s %9s %12s %8s\n", "workload", "size", "ours MB/s",
                    "libvterm MB/s", "ratio", "baseline MB/s", "vs base", "1M hist MB/s", "vs ours");
        for (const EngineWorkload workload : allEngineWorkloads) {
            for (const GridSize size : gridSizes) {
                const std::string key = std::string(workloadName(workload)) + "/" + sizeName(size);
                const double ours = median("ours/" + key);
                const double peer = median("libvterm/" + key);
                if (ours <= 0) {
                    continue;
                }
                // A side left out by --benchmark_filter shows as 0.
                const double before = median("baseline/" + key);
                const double full = median("ours_1M/" + key);
                std::printf("%-18s %-8s %10.1f %14.1f %7.1fx %14.1f %8.2fx %12.1f %7.2fx\n",
                            std::string(workloadName(workload)).c_str(), sizeName(size).c_str(), ours, peer,
                            peer > 0 ? ours / peer : 0.0, before, before > 0 ? ours / before : 0.0, full,
                            full / ours);
                if (full > 0) {
                    slowestFull = std::min(slowestFull, full / ours);
                }
            }
        }
        if (slowestFull < 1e9) {
            std::printf("a million lines of history against %zu: slowest %.2fx (target >= 0.90x: %s)\n",
                        HistoryLimit::defaultLines, slowestFull, slowestFull >= 0.90 ? "met" : "MISSED");
        }
        if (heapMegabytes_ >= 0) {
            std::printf("full history (2000 rows x 200 columns): %.2f MB of heap\n", heapMegabytes_);
        }
        for (const auto& [name, held] : histories_) {
            const double target = name.find("listing") != std::string::npos ? 16 : 24;
            std::printf("%s: %.0f lines, %.2f MB of heap, %.1f bytes a line (target <= %.0f MB: %s)\n",
                        name.c_str(), held.lines, held.megabytes, held.bytesPerLine, target,
                        held.megabytes <= target ? "met" : "MISSED");
        }
    }

    static std::string sizeName(GridSize size)
    {
        return std::to_string(size.columns) + "x" + std::to_string(size.rows);
    }

private:
    double median(const std::string& name) const
    {
        const auto found = rates_.find(name);
        if (found == rates_.end() || found->second.empty()) {
            return 0;
        }
        std::vector<double> values = found->second;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }

    struct HistoryHeld {
        double megabytes = 0;
        double lines = 0;
        double bytesPerLine = 0;
    };
    std::map<std::string, std::vector<double>> rates_;
    double heapMegabytes_ = -1;
    std::map<std::string, HistoryHeld> histories_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Inputs are made before any timing and live until the end of the run.
    const std::string fill = numberLines(millionLines + gridSizes[std::size(gridSizes) - 1].rows);
    historyFill = &fill;
    std::vector<std::string> inputs;
    inputs.reserve(std::size(allEngineWorkloads) * std::size(gridSizes));
    for (const EngineWorkload workload : allEngineWorkloads) {
        for (const GridSize size : gridSizes) {
            const std::string* input =
                &inputs.emplace_back(generateWorkload(workload, size.rows, size.columns, inputBytes));
            const std::string key =
                std::string(workloadName(workload)) + "/" + SummaryReporter::sizeName(size);
            benchmark::RegisterBenchmark(("ours/" + key).c_str(), throughput<OurTerminal>, input, size);
            benchmark::RegisterBenchmark(("ours_1M/" + key).c_str(), throughput<OurFullTerminal>, input,
                                         size);
            benchmark::RegisterBenchmark(("libvterm/" + key).c_str(), throughput<VtermTerminal>, input, size);
#if defined(VITRION_BENCH_BASELINE)
            benchmark::RegisterBenchmark(("baseline/" + key).c_str(), throughput<BaselineTerminal>, input,
                                         size);
#endif
        }
    }
    benchmark::RegisterBenchmark("ours/full_history_memory/200x50", fullHistoryMemory)->Iterations(1);
    const std::string numbers = numberLines(millionLines + memoryGrid.rows);
    const std::string listing = colouredListing(listingLines + memoryGrid.rows - 1);
    benchmark::RegisterBenchmark("ours/history_memory/seq_1M_lines", historyMemory, &numbers)->Iterations(1);
    benchmark::RegisterBenchmark("ours/history_memory/listing_100k_lines", historyMemory, &listing)
        ->Iterations(1);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
