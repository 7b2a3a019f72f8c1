// The pipeline benchmark: shell output through the pty, the engine and the shown view against a raw
// drain of the same output, a full repaint, key-to-echo latency and peak memory with a full history.
// Targets are reported beside the figures; a missed target is a figure, not a failure. The exit
// status is non-zero only when a measurement could not be taken.
#include "BenchSupport.h"
#include "EndToEnd.h"
#include "FindFigures.h"
#include "MemoryProbe.h"
#include "ViewFigures.h"
#include "WorkloadText.h"
#include "tests/view/ViewTestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t workloadBytes = 32u << 20;
constexpr double ratioTarget = 1.15;
constexpr double repaintTargetMs = 4.0;
constexpr double echoTargetMs = 3.0;
constexpr double memoryTargetMegabytes = 80.0;
constexpr double styledRatioTarget = 2.0;

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

bool reportEndToEnd(const std::vector<EndToEndResult>& results)
{
    std::printf(
        "\nEnd to end (medians; ratio = view / raw drain; bare engine: the same bytes into an engine\n"
        "alone, in 4 KiB chunks, no pty and no view)\n");
    std::printf("  %-10s %9s %9s %9s %7s %10s %7s %s\n", "workload", "MiB", "raw ms", "view ms", "ratio",
                "view MiB/s", "paints", "paint bound");
    bool complete = !results.empty();
    for (const EndToEndResult& result : results) {
        complete = complete && result.complete && !result.viewMs.empty();
        const double raw = Bench::median(result.rawMs);
        const double view = Bench::median(result.viewMs);
        const double ratio = raw > 0 ? view / raw : 0;
        // Each view run is next to its raw run in time, so their quotient cancels most of a slow spell.
        std::vector<double> paired;
        for (std::size_t i = 0; i < std::min(result.rawMs.size(), result.viewMs.size()); ++i) {
            paired.push_back(result.viewMs[i] / result.rawMs[i]);
        }
        int worstExcess = -1000000;
        for (std::size_t i = 0; i < result.paints.size(); ++i) {
            worstExcess = std::max(worstExcess, result.paints[i] - paintAllowance(result.viewMs[i]));
        }
        std::vector<double> paints(result.paints.begin(), result.paints.end());
        std::printf("  %-10s %9.1f %9.1f %9.1f %6.3fx %10.0f %7.0f %s (worst run %+d vs elapsed/16ms+1)%s\n",
                    result.name.c_str(), static_cast<double>(result.rawBytes) / (1 << 20), raw, view, ratio,
                    view > 0 ? static_cast<double>(result.rawBytes) / (1 << 20) / (view / 1000) : 0,
                    Bench::median(paints), worstExcess <= 0 ? "pass" : "FAIL", worstExcess,
                    result.complete ? "" : "  [a run timed out]");
        std::printf(
            "  %-10s ratio target <= %.2fx: %s; median of the runs' own ratios %.3fx; bare engine %.1f ms\n",
            "", ratioTarget, verdict(ratio <= ratioTarget), Bench::median(paired),
            Bench::median(result.engineMs));
    }
    return complete;
}

bool reportRepaint(const RepaintResult& repaint, const char* colours)
{
    const double repaintMs = Bench::median(repaint.repaintMs);
    std::printf("\nFull repaint, %d x %d grid of coloured text, %s (%d lines shown)\n", repaint.columns,
                repaint.rows, colours, repaint.linesShown);
    std::printf("  repaint(): median %.2f ms, p99 %.2f ms over %zu; target <= %.0f ms: %s\n", repaintMs,
                Bench::percentile(repaint.repaintMs, 0.99), repaint.repaintMs.size(), repaintTargetMs,
                verdict(repaintMs <= repaintTargetMs));
    std::printf("  repaint() CPU time: median %.2f ms (the process's, all threads); %.2f paint events each\n",
                Bench::median(repaint.repaintCpuMs), repaint.paintsPerRepaint);
    std::printf("  grab():    median %.2f ms over %zu\n", Bench::median(repaint.grabMs),
                repaint.grabMs.size());
    std::printf("  repaint() after every row changed: median %.2f ms over %zu (%.1f lines drawn each)\n",
                Bench::median(repaint.redrawnMs), repaint.redrawnMs.size(), repaint.linesDrawnPerRedraw);
    return repaint.complete;
}

// Backgrounds are filled under the cached text images on every repaint; they may cost at most as
// much again as the text.
void reportStyledCost(const RepaintResult& plain, const RepaintResult& styled)
{
    const double plainMs = Bench::median(plain.repaintMs);
    const double ratio = plainMs > 0 ? Bench::median(styled.repaintMs) / plainMs : 0;
    const double redrawPlainMs = Bench::median(plain.redrawnMs);
    const double redrawRatio = redrawPlainMs > 0 ? Bench::median(styled.redrawnMs) / redrawPlainMs : 0;
    std::printf(
        "\nBackgrounds and inverse runs against plain coloured text: repaint %.2fx (target <= %.0fx: %s), "
        "after every row changed %.2fx\n",
        ratio, styledRatioTarget, verdict(ratio <= styledRatioTarget), redrawRatio);
}

bool reportEcho(const EchoResult& echo)
{
    const double echoMs = Bench::median(echo.latencyMs);
    std::printf("\nKey to painted echo (bash), %zu keys\n", echo.latencyMs.size());
    std::printf("  median %.2f ms, p99 %.2f ms, max %.2f ms; median target <= %.0f ms: %s\n", echoMs,
                Bench::percentile(echo.latencyMs, 0.99), Bench::percentile(echo.latencyMs, 1.0), echoTargetMs,
                verdict(echoMs <= echoTargetMs));
    return echo.complete;
}

bool reportFrames(const std::vector<FrameResult>& frames)
{
    const double empty = Bench::median(frames[0].frameCpuMs);
    const double full = Bench::median(frames[1].frameCpuMs);
    std::printf(
        "\nOne frame after one row of output, 820 x 520 window (process CPU time, median of %zu each)\n",
        frames[0].frameCpuMs.size());
    std::printf("  %5d rows kept: %.3f ms, %.1f lines drawn, %.1f rows laid out per frame\n",
                frames[0].keptRows, empty, frames[0].linesDrawnPerFrame, frames[0].layoutsPerFrame);
    std::printf(
        "  %5d rows kept: %.3f ms, %.1f lines drawn, %.1f rows laid out per frame (%.2fx; target <= 1.10x)\n",
        frames[1].keptRows, full, frames[1].linesDrawnPerFrame, frames[1].layoutsPerFrame,
        empty > 0 ? full / empty : 0.0);
    std::printf(
        "  streaming a line per frame into %d rows kept: %.3f ms, %.1f lines drawn, %.1f rows laid out\n",
        frames[2].keptRows, Bench::median(frames[2].frameCpuMs), frames[2].linesDrawnPerFrame,
        frames[2].layoutsPerFrame);
    return frames[0].complete;
}

bool reportHistory(const HistoryResult& history)
{
    constexpr double frameMs = 16.0;
    const double empty = Bench::median(history.resizeEmptyMs);
    const double full = Bench::median(history.resizeFullMs);
    std::printf("\nA million-line history (%lld rows at the end), 820 x 520 window (process CPU time)\n",
                static_cast<long long>(history.historyRows));
    std::printf(
        "  width change to the next painted frame, median of %zu: empty history %.2f ms, full %.2f ms "
        "(max %.2f);\n    full - empty %.2f ms, target <= %.0f ms: %s\n",
        history.resizeFullMs.size(), empty, full, Bench::percentile(history.resizeFullMs, 1.0), full - empty,
        frameMs, verdict(full - empty <= frameMs));
    const double longer = Bench::median(history.resizeLongMs);
    std::printf(
        "  the same with a million lines longer than the width, a quarter with CJK: %.2f ms (max %.2f);\n"
        "    long - empty %.2f ms, target <= %.0f ms: %s\n",
        longer, Bench::percentile(history.resizeLongMs, 1.0), longer - empty, frameMs,
        verdict(longer - empty <= frameMs));
    std::printf(
        "  the engine's own width change, median (max) of %zu: short lines %.3f ms (%.3f); lines longer "
        "than the width %.1f ms (%.1f), a quarter of them with CJK %.1f ms (%.1f)\n",
        history.engineShortMs.size(), Bench::median(history.engineShortMs),
        Bench::percentile(history.engineShortMs, 1.0), Bench::median(history.engineLongNarrowMs),
        Bench::percentile(history.engineLongNarrowMs, 1.0), Bench::median(history.engineLongMs),
        Bench::percentile(history.engineLongMs, 1.0));
    std::printf(
        "  counting the estimated long lines with CJK after a width change, in slices: %.0f ms in all\n",
        history.refineAllMs);
    const double worstTop = Bench::percentile(history.pageTopMs, 1.0);
    std::printf("  Shift+Home: %.2f ms, the oldest row %s; after Shift+End the cursor's line %s\n",
                history.jumpTopMs, history.topRow == 0 ? "shown first" : "NOT shown first",
                history.bottomShowsCursor ? "is in view" : "is NOT in view");
    std::printf("  the view is %d px tall for %.0f px of lines (a window of them)\n", history.viewPixels,
                history.documentPixels);
    std::printf(
        "  a page (%d lines) down from the top: median %.2f ms, max %.2f ms; near the bottom: median %.2f "
        "ms, max %.2f ms (%.2fx);\n    every page within %.0f ms: %s\n",
        history.linesPerPage, Bench::median(history.pageTopMs), worstTop, Bench::median(history.pageBottomMs),
        Bench::percentile(history.pageBottomMs, 1.0),
        Bench::median(history.pageTopMs) / std::max(Bench::median(history.pageBottomMs), 1e-9), frameMs,
        verdict(std::max(worstTop, history.jumpTopMs) <= frameMs));
    return history.complete;
}

bool reportFind(const FindResult& find)
{
    constexpr double frameMs = 16.0;
    std::printf("\nFind and prompt jumps, %ld lines of history\n", find.historyLines);
    std::printf(
        "  keystroke to first match: on the screen %.2f ms, half way up %.1f ms, at the oldest line %.1f ms;"
        "\n    within 100 ms: %s\n",
        find.firstOnScreenMs, find.firstHalfWayMs, find.firstOldestMs,
        verdict(std::max({find.firstOnScreenMs, find.firstHalfWayMs, find.firstOldestMs}) <= 100.0));
    std::printf("  the oldest line by a regular expression: %.0f ms\n", find.firstOldestRegexMs);
    std::printf("  counting %ld matches (a word on every line): %.0f ms in slices, the longest %.1f ms; "
                "within a frame: %s\n",
                find.counted, find.countMs, find.longestSliceMs, verdict(find.longestSliceMs <= frameMs));
    std::printf(
        "  previous prompt (one every 100 lines), median (max) of %zu: %.3f ms (%.3f); to the only prompt, "
        "at the oldest line: %.2f ms; within a frame: %s\n",
        find.jumpMs.size(), Bench::median(find.jumpMs), Bench::percentile(find.jumpMs, 1.0),
        find.jumpToOldestMs,
        verdict(std::max(Bench::percentile(find.jumpMs, 1.0), find.jumpToOldestMs) <= frameMs));
    return find.complete;
}

bool reportMemory(const MemoryResult& memory)
{
    const double peakMegabytes = static_cast<double>(memory.peakKilobytes) / 1024.0;
    std::printf("\nPeak resident memory, %d rows x %d columns held\n", memory.rows, memory.columns);
    std::printf("  VmHWM %.1f MB (VmRSS %.1f MB at the end); target <= %.0f MB: %s\n", peakMegabytes,
                static_cast<double>(memory.residentKilobytes) / 1024.0, memoryTargetMegabytes,
                verdict(memory.complete && peakMegabytes <= memoryTargetMegabytes));
    return memory.complete;
}

bool endToEnd(int runs)
{
    QTemporaryDir folder;
    const std::string dense = folder.filePath(QStringLiteral("dense.txt")).toStdString();
    const std::string sgr = folder.filePath(QStringLiteral("sgr.txt")).toStdString();
    const std::string utf8 = folder.filePath(QStringLiteral("utf8.txt")).toStdString();
    if (!folder.isValid() || !WorkloadText::writeFile(dense, WorkloadText::dense(workloadBytes)) ||
        !WorkloadText::writeFile(sgr, WorkloadText::sgrHeavy(workloadBytes)) ||
        !WorkloadText::writeFile(utf8, WorkloadText::utf8(workloadBytes))) {
        std::fprintf(stderr, "cannot write the inputs\n");
        return false;
    }
    std::string numbers;
    for (int n = 1; n <= 3000000; ++n) {
        numbers += std::to_string(n);
        numbers += '\n';
    }
    const std::vector<EndToEndWorkload> workloads = {
        {"dense", "cat '" + dense + "'", asReceived(WorkloadText::dense(workloadBytes))},
        {"sgr", "cat '" + sgr + "'", asReceived(WorkloadText::sgrHeavy(workloadBytes))},
        {"utf8", "cat '" + utf8 + "'", asReceived(WorkloadText::utf8(workloadBytes))},
        {"seq", "seq 1 3000000", asReceived(numbers)},
    };
    return reportEndToEnd(runEndToEnd(workloads, runs, QSize(820, 520)));
}

} // namespace

// Options: --runs N (end-to-end rounds, default 5); --only e2e|repaint|frames|history|echo|find|memory
// (one part).
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc > 1 && std::strcmp(argv[1], "--memory-probe") == 0) {
        return runMemoryProbe();
    }
    int runs = 5;
    std::string only;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--only") == 0) {
            only = argv[i + 1];
        }
    }
    const auto selected = [&only](const char* part) { return only.empty() || only == part; };
    const QString program = QString::fromLocal8Bit(argv[0]);
    ViewTest::ensureApplication();

    bool complete = true;
    if (selected("e2e")) {
        complete = endToEnd(runs) && complete;
    }
    if (selected("repaint")) {
        using WorkloadText::Colours;
        const std::vector<RepaintResult> repaints =
            measureRepaints(60, 200, {Colours::palette, Colours::trueColour, Colours::backgrounds}, 400);
        complete = reportRepaint(repaints[0], "256-colour table") && complete;
        complete = reportRepaint(repaints[1], "a 24-bit colour per run") && complete;
        complete = reportRepaint(repaints[2], "backgrounds and inverse runs") && complete;
        reportStyledCost(repaints[0], repaints[2]);
    }
    if (selected("frames")) {
        complete = reportFrames(measureFrames(300)) && complete;
    }
    if (selected("history")) {
        complete = reportHistory(measureHistory(10, 20)) && complete;
    }
    if (selected("echo")) {
        complete = reportEcho(measureKeyEcho(500)) && complete;
    }
    if (selected("find")) {
        complete = reportFind(measureFind(1000000)) && complete;
    }
    if (selected("memory")) {
        const QString self = QCoreApplication::applicationFilePath();
        complete = reportMemory(measurePeakMemory(self.isEmpty() ? program : self)) && complete;
    }
    if (!complete) {
        std::printf("\nSome measurements could not be completed (see above).\n");
    }
    return complete ? 0 : 1;
}
