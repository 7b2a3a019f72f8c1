// Engine throughput beside libvterm and the baseline engine in the same run: each workload at 80x24
// and 200x50, fed in chunks of 8192 bytes as the shell session reads them, and the heap held by a
// full history. Ends with a summary of the ratios.
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
#include <unistd.h>
#include <vector>
#include <vterm.h>

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

template <typename Terminal> void throughput(benchmark::State& state, const std::string* input, GridSize size)
{
    Terminal terminal(size);
    for (auto _ : state) {
        feedInChunks(*input, [&](const std::uint8_t* data, std::size_t n) { terminal.consume(data, n); });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(input->size()));
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
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printSummary() const
    {
        std::printf("\n%-18s %-8s %10s %14s %8s %14s %9s\n", "workload", "size", "ours MB/s", "libvterm MB/s",
                    "ratio", "baseline MB/s", "vs base");
        for (const EngineWorkload workload : allEngineWorkloads) {
            for (const GridSize size : gridSizes) {
                const std::string key = std::string(workloadName(workload)) + "/" + sizeName(size);
                const double ours = median("ours/" + key);
                const double peer = median("libvterm/" + key);
                if (ours <= 0 || peer <= 0) {
                    continue;
                }
                const double before = median("baseline/" + key);
                std::printf("%-18s %-8s %10.1f %14.1f %7.1fx %14.1f %8.2fx\n",
                            std::string(workloadName(workload)).c_str(), sizeName(size).c_str(), ours, peer,
                            ours / peer, before, before > 0 ? ours / before : 0.0);
            }
        }
        if (heapMegabytes_ >= 0) {
            std::printf("full history (2000 rows x 200 columns): %.2f MB of heap\n", heapMegabytes_);
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

    std::map<std::string, std::vector<double>> rates_;
    double heapMegabytes_ = -1;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    // Inputs are made before any timing and live until the end of the run.
    std::vector<std::string> inputs;
    inputs.reserve(std::size(allEngineWorkloads) * std::size(gridSizes));
    for (const EngineWorkload workload : allEngineWorkloads) {
        for (const GridSize size : gridSizes) {
            const std::string* input =
                &inputs.emplace_back(generateWorkload(workload, size.rows, size.columns, inputBytes));
            const std::string key =
                std::string(workloadName(workload)) + "/" + SummaryReporter::sizeName(size);
            benchmark::RegisterBenchmark(("ours/" + key).c_str(), throughput<OurTerminal>, input, size);
            benchmark::RegisterBenchmark(("libvterm/" + key).c_str(), throughput<VtermTerminal>, input, size);
#if defined(VITRION_BENCH_BASELINE)
            benchmark::RegisterBenchmark(("baseline/" + key).c_str(), throughput<BaselineTerminal>, input,
                                         size);
#endif
        }
    }
    benchmark::RegisterBenchmark("ours/full_history_memory/200x50", fullHistoryMemory)->Iterations(1);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
