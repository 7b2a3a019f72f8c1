// The probe's window is sized for 200 columns with the vertical scroll bar always shown, so the grid
// keeps its width when the history grows past the viewport.
#include "MemoryProbe.h"

#include "BenchSupport.h"
#include "WorkloadText.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "tests/view/ViewTestSupport.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr int probeColumns = 200;
constexpr int historyRows = static_cast<int>(HistoryLimit::defaultLines);

} // namespace

int runMemoryProbe()
{
    ViewTest::ensureApplication();
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("history.txt")).toStdString();
    if (!folder.isValid() ||
        !WorkloadText::writeFile(path, WorkloadText::colouredScreen(historyRows + 100, probeColumns,
                                                                    WorkloadText::Colours::palette) +
                                           "\r\n")) {
        std::fprintf(stderr, "memory probe: cannot write the input\n");
        return 1;
    }
    // 200 cell estimates wide (the grid follows the estimate), plus what the window has around its
    // viewport (the scroll bar).
    const VitrionSettings settings = ViewTest::settingsWithShell(QStringLiteral("sh"));
    const double estimate = std::max(settings.fontSize * 0.61, 6.0);
    const int viewportWidth = static_cast<int>(std::ceil((probeColumns + 0.5) * estimate));
    ViewTest::SurfaceWindow window(settings, QSize(viewportWidth, 600));
    QScrollArea& area = *window.surface().scrollArea();
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Bench::runEventsFor(50);
    window.resize(QSize(viewportWidth + window.window().width() - area.viewport()->width(), 600));
    if (!window.waitForShell()) {
        std::fprintf(stderr, "memory probe: the shell did not answer\n");
        return 1;
    }
    TerminalTextView& view = window.view();
    const TerminalEngine& engine = window.engine();
    view.terminal().pty()->send("cat '" + path + "'; echo probe-done-$((6*7))\r");
    if (!Bench::runEventsUntil([&] { return Bench::nearCursor(engine, "probe-done-42", 3); }, 120000)) {
        std::fprintf(stderr, "memory probe: the output did not arrive\n");
        return 1;
    }
    Bench::settle(view, 100);
    view.repaint();
    std::printf("memory-probe rows=%zu columns=%d hwm=%ld rss=%ld\n", engine.rowCount(), engine.columns(),
                Bench::statusKilobytes("VmHWM"), Bench::statusKilobytes("VmRSS"));
    return 0;
}

MemoryResult measurePeakMemory(const QString& program)
{
    MemoryResult result;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(program, {QStringLiteral("--memory-probe")});
    if (!probe.waitForFinished(180000) || probe.exitCode() != 0) {
        return result;
    }
    const QByteArray line = probe.readAllStandardOutput().trimmed();
    result.complete =
        std::sscanf(line.constData(), "memory-probe rows=%d columns=%d hwm=%ld rss=%ld", &result.rows,
                    &result.columns, &result.peakKilobytes, &result.residentKilobytes) == 4;
    return result;
}
