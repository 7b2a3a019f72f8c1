// A repaint host shows every row at once (scroll bar off, viewport as tall as the lines), so each
// repaint draws the whole grid; there is one host per colour set, and their repaints alternate so
// that a change in the machine's load falls on every set alike. Keys are spaced well past a frame
// interval: a key typed into an idle view is painted at once, which is the case being measured.
#include "ViewFigures.h"

#include "BenchSupport.h"
#include "engine/TerminalEngine.h"
#include "engine/Utf8Encoder.h"
#include "terminal/Terminal.h"
#include "tests/view/ViewTestSupport.h"
#include "view/TerminalTextView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int keysPerLine = 50; // the line is cleared with Control+U after this many
constexpr int keySpacingMs = 25;

// The deepest history the settings offer short of unlimited, with a budget that never binds first.
constexpr int millionLines = 1'000'000;
constexpr HistoryLimit millionLineLimit{millionLines, std::size_t{8} << 30};

// Numbers from 1, one a line, as seq prints them through a pty.
std::string numberLines(int lines)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 9);
    for (int n = 1; n <= lines; ++n) {
        out += std::to_string(n);
        out += "\r\n";
    }
    return out;
}

// Lines of 90 to 160 cells, longer than both widths the engine is changed between; with `cjk`, every
// fourth has a CJK ideograph (two cells) about every eighth character, so that its rows can only be
// counted by decoding it. A fixed seed: the same bytes in every run.
std::string longLines(int lines, bool cjk = true)
{
    std::uint32_t state = 0x2545F491u;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 140);
    for (int line = 0; line < lines; ++line) {
        const int cells = 90 + static_cast<int>(next() % 71);
        const bool wide = cjk && line % 4 == 0;
        for (int cell = 0; cell < cells; ++cell) {
            if (wide && next() % 8 == 0 && cell + 1 < cells) {
                appendUtf8(out, U'\u4E00' + static_cast<char32_t>(next() % 0x5000));
                ++cell;
            } else {
                out += next() % 6 == 0 ? ' ' : static_cast<char>('a' + next() % 26);
            }
        }
        out += "\r\n";
    }
    return out;
}

// The CPU time of the engine's own width changes, alternately to 100 and 80 columns, with `lines`
// fed into a history of a million lines.
std::vector<double> engineWidthChanges(const std::string& lines, int changes)
{
    TerminalEngine engine;
    engine.resizeGrid(24, 80);
    engine.setHistoryLimit(millionLineLimit);
    constexpr std::size_t piece = std::size_t{1} << 20;
    for (std::size_t at = 0; at < lines.size(); at += piece) {
        engine.consume(std::string_view(lines).substr(at, piece));
    }
    std::vector<double> milliseconds;
    for (int i = 0; i < changes; ++i) {
        const double start = Bench::processCpuMilliseconds();
        engine.resizeGrid(24, i % 2 == 0 ? 100 : 80);
        milliseconds.push_back(Bench::processCpuMilliseconds() - start);
    }
    if (engine.history().lineCount() != static_cast<std::size_t>(millionLines)) {
        return {}; // not what was to be measured
    }
    return milliseconds;
}

// An action on a host and the frame it leads to: the process's CPU time until the view has painted.
bool paintedAfter(ViewTest::ScrollHost& host, const std::function<void()>& action, std::vector<double>& cpuMs)
{
    TerminalTextView& view = host.view();
    const int paints = view.paintCount();
    const double start = Bench::processCpuMilliseconds();
    action();
    const bool painted =
        Bench::runEventsUntil([&] { return !view.framePending() && view.paintCount() > paints; }, 5000);
    cpuMs.push_back(Bench::processCpuMilliseconds() - start);
    Bench::runEventsFor(20); // past the frame interval: the next frame is not held back
    return painted;
}

// Whether the view shows the whole line of a row at the scroll bar's present value.
bool rowInView(ViewTest::ScrollHost& host, std::int64_t row)
{
    const QScrollBar& bar = *host.area().verticalScrollBar();
    const double top = host.view().cellOrigin(static_cast<int>(row), 0).y();
    return top >= bar.value() &&
           top + host.view().linePitch() <= bar.value() + host.area().viewport()->height();
}

bool promptIsEmpty(const TerminalEngine& engine, int promptColumn)
{
    const std::string row = Bench::rowText(engine, static_cast<std::size_t>(engine.cursorLine()));
    return engine.cursorColumn() == promptColumn &&
           row.find_first_not_of(' ', promptColumn) == std::string::npos;
}

// Notes whether a paint of the widget began while a condition held: that paint drew the state the
// condition describes (the view paints what the engine holds when its paint event runs).
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget& widget, std::function<bool()> condition)
        : widget_(widget), condition_(std::move(condition))
    {
        widget_.installEventFilter(this);
    }
    ~PaintWatch() override { widget_.removeEventFilter(this); }
    void reset() { seen_ = false; }
    bool seen() const { return seen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &widget_ && event->type() == QEvent::Paint && !seen_ && condition_()) {
            seen_ = true;
        }
        return false;
    }

private:
    QWidget& widget_;
    std::function<bool()> condition_;
    bool seen_ = false;
};

} // namespace

std::vector<RepaintResult> measureRepaints(int rows, int columns,
                                           const std::vector<WorkloadText::Colours>& sets, int repaints)
{
    // A first host measures the font; the others are sized so that every cell and line is shown.
    double advance = 0;
    double pitch = 0;
    {
        ViewTest::ScrollHost probe(QSize(800, 600));
        advance = probe.view().cellAdvance();
        pitch = probe.view().linePitch();
    }
    const int width = static_cast<int>(std::ceil(columns * advance + 2 * TerminalTextView::textInset)) + 2;
    const int height = static_cast<int>(std::ceil(rows * pitch + 2 * TerminalTextView::textInset)) + 2;
    std::vector<std::unique_ptr<ViewTest::ScrollHost>> hosts;
    std::vector<RepaintResult> results(sets.size());
    std::vector<int> paintsBefore;
    std::vector<std::string> screens;
    for (std::size_t set = 0; set < sets.size(); ++set) {
        auto& host = hosts.emplace_back(std::make_unique<ViewTest::ScrollHost>(
            QSize(width, height), VitrionSettings{}, Qt::ScrollBarAlwaysOff));
        TerminalEngine& engine = host->engine();
        host->terminal().resize({rows, columns});
        screens.push_back(WorkloadText::colouredScreen(rows, columns, sets[set]));
        host->feed(screens.back());
        TerminalTextView& view = host->view();
        Bench::settle(view, 50);
        results[set].rows = static_cast<int>(engine.rowCount());
        results[set].columns = engine.columns();
        results[set].linesShown = view.displayLineCount();
        for (int i = 0; i < 20; ++i) { // glyph caches
            view.repaint();
        }
        paintsBefore.push_back(view.paintCount());
    }
    for (int i = 0; i < repaints; ++i) {
        for (std::size_t set = 0; set < sets.size(); ++set) {
            const auto start = Bench::Clock::now();
            const double cpuStart = Bench::processCpuMilliseconds();
            hosts[set]->view().repaint();
            results[set].repaintCpuMs.push_back(Bench::processCpuMilliseconds() - cpuStart);
            results[set].repaintMs.push_back(Bench::millisecondsSince(start));
        }
    }
    for (std::size_t set = 0; set < sets.size(); ++set) {
        results[set].paintsPerRepaint =
            static_cast<double>(hosts[set]->view().paintCount() - paintsBefore[set]) / repaints;
    }
    for (int i = 0; i < repaints / 4; ++i) {
        for (std::size_t set = 0; set < sets.size(); ++set) {
            const auto start = Bench::Clock::now();
            const QPixmap picture = hosts[set]->view().grab();
            results[set].grabMs.push_back(Bench::millisecondsSince(start));
        }
    }
    // The same text written again over itself: every row is new to the view, so every line is drawn.
    std::vector<std::size_t> drawnBefore;
    for (const auto& host : hosts) {
        drawnBefore.push_back(host->view().linesDrawn());
    }
    for (int i = 0; i < repaints / 4; ++i) {
        for (std::size_t set = 0; set < sets.size(); ++set) {
            hosts[set]->feed("\033[H" + screens[set]);
            const auto start = Bench::Clock::now();
            hosts[set]->view().repaint();
            results[set].redrawnMs.push_back(Bench::millisecondsSince(start));
        }
    }
    for (std::size_t set = 0; set < sets.size(); ++set) {
        results[set].linesDrawnPerRedraw =
            static_cast<double>(hosts[set]->view().linesDrawn() - drawnBefore[set]) / (repaints / 4);
    }
    for (std::size_t set = 0; set < sets.size(); ++set) {
        // Every repaint must really have painted the whole grid, or the figure measures nothing.
        const TerminalTextView& view = hosts[set]->view();
        results[set].complete = view.paintCount() - paintsBefore[set] >= repaints &&
                                results[set].rows == rows && results[set].linesShown == rows &&
                                hosts[set]->area().viewport()->height() >= view.height() &&
                                results[set].linesDrawnPerRedraw >= rows;
    }
    return results;
}

EchoResult measureKeyEcho(int keys)
{
    EchoResult result;
    ViewTest::SurfaceWindow window(ViewTest::settingsWithShell(QStringLiteral("bash")), QSize(820, 520));
    if (!window.waitForShell()) {
        std::fprintf(stderr, "key echo: the shell did not answer\n");
        return result;
    }
    TerminalTextView& view = window.view();
    TerminalEngine& engine = window.engine();
    constexpr int promptColumn = 2; // "$ "
    if (!Bench::runEventsUntil([&] { return promptIsEmpty(engine, promptColumn); }, 20000)) {
        std::fprintf(stderr, "key echo: no empty prompt\n");
        return result;
    }
    int row = 0;
    int column = 0;
    char32_t letter = U'a';
    PaintWatch echoPainted(view, [&] {
        return engine.cursorLine() == row && engine.cursorColumn() == column + 1 &&
               engine.row(static_cast<std::size_t>(row))[static_cast<std::size_t>(column)].character ==
                   letter;
    });
    constexpr int warmUp = 20;
    for (int key = 0; key < keys + warmUp; ++key) {
        if (key > 0 && key % keysPerLine == 0) {
            QTest::keyClick(&view, Qt::Key_U, Qt::ControlModifier);
            if (!Bench::runEventsUntil([&] { return promptIsEmpty(engine, promptColumn); }, 20000)) {
                std::fprintf(stderr, "key echo: Control+U did not clear the line\n");
                return result;
            }
        }
        Bench::settle(view, keySpacingMs);
        letter = U'a' + static_cast<char32_t>(key % 26);
        row = engine.cursorLine();
        column = engine.cursorColumn();
        const QString text(QChar(static_cast<char16_t>(letter)));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + key % 26, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + key % 26, Qt::NoModifier, text);
        echoPainted.reset();
        const auto start = Bench::Clock::now();
        QCoreApplication::sendEvent(&view, &press);
        const bool painted = Bench::runEventsUntil([&] { return echoPainted.seen(); }, 20000);
        const double elapsed = Bench::millisecondsSince(start);
        QCoreApplication::sendEvent(&view, &release);
        if (!painted) {
            std::fprintf(stderr, "key echo: key %d was not echoed\n", key);
            return result;
        }
        if (key >= warmUp) {
            result.latencyMs.push_back(elapsed);
        }
    }
    result.complete = true;
    return result;
}

std::vector<FrameResult> measureFrames(int frames)
{
    ViewTest::ScrollHost empty(QSize(820, 520));
    ViewTest::ScrollHost full(QSize(820, 520));
    std::string history;
    for (int line = 0; line < static_cast<int>(HistoryLimit::defaultLines) + 200; ++line) {
        history += "\033[3" + std::to_string(1 + line % 7) + "mhistory line " + std::to_string(line) +
                   " of coloured text, kept\033[0m\r\n";
    }
    full.feed(history);
    Bench::settle(empty.view(), 50);
    Bench::settle(full.view(), 50);
    std::vector<FrameResult> results(3);
    ViewTest::ScrollHost* hosts[] = {&empty, &full, &full};
    // One frame: the bytes go in through the terminal, and the frame they ask for runs and paints.
    const auto frame = [](ViewTest::ScrollHost& host, FrameResult& result, const std::string& bytes) {
        TerminalTextView& view = host.view();
        const int paints = view.paintCount();
        const std::size_t drawn = view.linesDrawn();
        const std::size_t laid = view.layoutsComputed();
        const double cpuStart = Bench::processCpuMilliseconds();
        host.feed(bytes);
        const bool painted =
            Bench::runEventsUntil([&] { return !view.framePending() && view.paintCount() > paints; }, 2000);
        result.frameCpuMs.push_back(Bench::processCpuMilliseconds() - cpuStart);
        result.linesDrawnPerFrame += static_cast<double>(view.linesDrawn() - drawn);
        result.layoutsPerFrame += static_cast<double>(view.layoutsComputed() - laid);
        Bench::runEventsFor(20); // past the frame interval: the next frame is not held back
        return painted;
    };
    std::vector<FrameResult> warmUp(2);
    for (int i = 0; i < 10; ++i) { // the scroll bar's arrival, glyph caches
        for (int kind = 0; kind < 2; ++kind) {
            frame(*hosts[kind], warmUp[static_cast<std::size_t>(kind)], "\033[24;1Hwarm-up\033[K");
        }
    }
    bool painted = true;
    for (int i = 0; i < frames; ++i) {
        const std::string row = "\033[24;1H\033[32mframe " + std::to_string(i) + " in place\033[0m\033[K";
        for (int kind = 0; kind < 2; ++kind) {
            painted = frame(*hosts[kind], results[static_cast<std::size_t>(kind)], row) && painted;
        }
    }
    for (int i = 0; i < frames; ++i) {
        painted = frame(full, results[2], "streamed line " + std::to_string(i) + "\r\n") && painted;
    }
    for (std::size_t kind = 0; kind < results.size(); ++kind) {
        results[kind].keptRows = static_cast<int>(hosts[kind]->engine().rowCount());
        results[kind].linesDrawnPerFrame /= frames;
        results[kind].layoutsPerFrame /= frames;
        results[kind].complete = painted;
    }
    return results;
}

HistoryResult measureHistory(int resizes, int pages)
{
    HistoryResult result;
    const QSize wide(820, 520);
    const QSize narrow(700, 520);
    ViewTest::ScrollHost empty(wide);
    ViewTest::ScrollHost full(wide);
    ViewTest::ScrollHost bottom(wide); // pages at the bottom while `full` pages from the top
    ViewTest::ScrollHost longer(wide);
    {
        const std::string numbers = numberLines(millionLines + 100);
        const std::string lines = longLines(millionLines + 100);
        for (ViewTest::ScrollHost* host : {&full, &bottom, &longer}) {
            host->terminal().setHistoryLimit(millionLineLimit);
            host->feed(host == &longer ? lines : numbers);
            Bench::settle(host->view(), 50);
        }
    }
    Bench::settle(empty.view(), 50);
    bool painted = true;

    // Width changes, alternately in the two hosts; the first two of each are warm-up.
    std::vector<double> warmUp;
    for (int i = 0; i < resizes + 2; ++i) {
        const QSize size = i % 2 == 0 ? narrow : wide;
        for (ViewTest::ScrollHost* host : {&empty, &full, &longer}) {
            const int columns = host->engine().columns();
            std::vector<double>& into = i < 2             ? warmUp
                                        : host == &empty  ? result.resizeEmptyMs
                                        : host == &longer ? result.resizeLongMs
                                                          : result.resizeFullMs;
            painted = paintedAfter(
                          *host, [&] { host->resize(size); }, into) &&
                      painted;
            painted = painted && host->engine().columns() != columns;
        }
    }

    // The oldest rows at scroll bar value 0; then a page at a time, from there and near the bottom.
    QScrollBar& topBar = *full.area().verticalScrollBar();
    QScrollBar& bottomBar = *bottom.area().verticalScrollBar();
    bottomBar.setValue(bottomBar.maximum());
    Bench::settle(bottom.view(), 50);
    result.bottomShowsCursor =
        rowInView(bottom, bottom.engine().history().rowCount() + bottom.engine().cursorLine());
    result.documentPixels = bottom.view().displayLineCount() * bottom.view().linePitch();
    result.viewPixels = bottom.view().height();
    bottomBar.setValue(bottomBar.maximum() - (pages + 1) * bottomBar.pageStep());
    Bench::settle(bottom.view(), 50);
    std::vector<double> jump;
    painted = paintedAfter(
                  full, [&] { topBar.setValue(0); }, jump) &&
              painted;
    result.jumpTopMs = jump.front();
    result.topRow = -1;
    for (std::int64_t row = 0; row < 50 && result.topRow < 0; ++row) {
        result.topRow = rowInView(full, row) ? row : -1;
    }
    result.linesPerPage = static_cast<int>(topBar.pageStep() / full.view().linePitch());
    for (int page = 0; page < pages; ++page) {
        painted = paintedAfter(
                      full, [&] { topBar.setValue(topBar.value() + topBar.pageStep()); }, result.pageTopMs) &&
                  painted;
        painted = paintedAfter(
                      bottom, [&] { bottomBar.setValue(bottomBar.value() + bottomBar.pageStep()); },
                      result.pageBottomMs) &&
                  painted;
    }
    result.historyRows = full.engine().history().rowCount();

    // The engine alone: a million short lines, and a million lines longer than the width.
    result.engineShortMs = engineWidthChanges(numberLines(millionLines + 24), 2 * resizes);
    result.engineLongMs = engineWidthChanges(longLines(millionLines + 24), 2 * resizes);
    result.engineLongNarrowMs = engineWidthChanges(longLines(millionLines + 24, false), 2 * resizes);
    result.complete = painted && !result.engineShortMs.empty() && !result.engineLongMs.empty() &&
                      !result.engineLongNarrowMs.empty();
    return result;
}
