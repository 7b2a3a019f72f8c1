// A repaint host shows every row at once (scroll bar off, viewport as tall as the lines), so each
// repaint draws the whole grid; there is one host per colour set, and their repaints alternate so
// that a change in the machine's load falls on every set alike. Keys are spaced well past a frame
// interval: a key typed into an idle view is painted at once, which is the case being measured.
#include "ViewFigures.h"

#include "BenchSupport.h"
#include "engine/TerminalEngine.h"
#include "terminal/Terminal.h"
#include "tests/view/ViewTestSupport.h"
#include "view/TerminalTextView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int keysPerLine = 50; // the line is cleared with Control+U after this many
constexpr int keySpacingMs = 25;

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
