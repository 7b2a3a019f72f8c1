// Grid sizing and the shell start: the grid that the visible area shows whole, however small, a
// real shell's idea of its size after the viewport changes, no SIGWINCH for a scroll, and the delayed,
// weakly held start attempts with their 400 x 120 readiness rule.
#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "view/GridSizing.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"
#include "view/ViewportWatch.h"

#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <gtest/gtest.h>

namespace {

using ViewTest::ScrollHost;
using ViewTest::SurfaceWindow;

class TerminalSizingTest : public ::testing::Test {
protected:
    void SetUp() override { ViewTest::ensureApplication(); }
};

// The rows and columns whose cells lie whole inside the area less the text inset on every side, at
// the pitch and advance the view draws with.
GridSize fittingGrid(const TerminalTextView& view, QSize area)
{
    const double insets = 2 * TerminalTextView::textInset;
    return {static_cast<int>(std::floor((area.height() - insets) / view.linePitch())),
            static_cast<int>(std::floor((area.width() - insets) / view.cellAdvance()))};
}

TEST_F(TerminalSizingTest, EveryRowAndColumnShowsWithoutScrolling)
{
    struct Case {
        double fontSize, lineSpacing;
        QSize area;
    };
    const Case cases[] = {
        {14, 1.15, QSize(800, 600)}, {14, 1.15, QSize(1003, 917)}, {20, 1.15, QSize(1200, 900)},
        {14, 2.0, QSize(900, 1200)}, {14, 0.8, QSize(800, 600)},   {11, 1.3, QSize(1000, 700)},
    };
    ScrollHost host(QSize(800, 600), {}, Qt::ScrollBarAlwaysOff);
    TerminalTextView& view = host.view();
    for (const Case& c : cases) {
        VitrionSettings settings;
        settings.fontSize = c.fontSize;
        settings.lineSpacing = c.lineSpacing;
        view.configure(settings);
        host.resize(c.area);
        const GridSize grid = fittingGrid(view, c.area);
        SCOPED_TRACE(testing::Message() << c.fontSize << " px x " << c.lineSpacing << " in " << c.area.width()
                                        << " x " << c.area.height() << ": pitch " << view.linePitch()
                                        << ", advance " << view.cellAdvance());
        ASSERT_GE(grid.rows, 24);
        ASSERT_GE(grid.columns, 80);
        EXPECT_EQ(view.gridSize(c.area), grid);
        EXPECT_EQ((GridSize{host.engine().rows(), host.engine().columns()}), grid);
        // The last cell ends inside the inset, and the document needs no scrolling.
        const QPointF last = view.cellOrigin(grid.rows - 1, grid.columns - 1);
        EXPECT_LE(last.y() + view.linePitch(), c.area.height() - TerminalTextView::textInset);
        EXPECT_LE(last.x() + view.cellAdvance(), c.area.width() - TerminalTextView::textInset);
        EXPECT_EQ(host.area().verticalScrollBar()->maximum(), 0);
    }
}

TEST_F(TerminalSizingTest, ASmallAreaIsToldWhatItShowsAndNoFinerThanTwelveBySix)
{
    // Smaller than 24 x 80 cells (a tiling window manager ignoring the window's minimum): the grid
    // is what shows, not the rows and columns programs would like.
    ScrollHost host(QSize(400, 120), {}, Qt::ScrollBarAlwaysOff);
    const GridSize shown = fittingGrid(host.view(), QSize(400, 120));
    ASSERT_LT(shown.rows, 24);
    ASSERT_LT(shown.columns, 80);
    EXPECT_EQ((GridSize{host.engine().rows(), host.engine().columns()}), shown);
    EXPECT_EQ(host.view().areaFor(shown).expandedTo(QSize(400, 120)), QSize(400, 120));

    VitrionSettings small;
    small.fontSize = 6;
    host.view().configure(small);
    ASSERT_LT(host.view().linePitch(), 12);
    ASSERT_LT(host.view().cellAdvance(), 6);
    host.resize(QSize(1204, 484));
    EXPECT_EQ(host.engine().rows(), 40);
    EXPECT_EQ(host.engine().columns(), 200);
}

TEST_F(TerminalSizingTest, LinePitchIsTheFontsLineHeightPlusTheParagraphSpacing)
{
    ScrollHost host(QSize(800, 600));
    const QFontMetricsF metrics(host.view().terminalFont());
    EXPECT_NEAR(host.view().linePitch(), metrics.lineSpacing() + 14 * 0.15, 1e-9);
    EXPECT_EQ(host.view().cellOrigin(0, 0), QPointF(2, 2)); // the text inset
    EXPECT_NEAR(host.view().cellOrigin(3, 2).y(), 2 + 3 * host.view().linePitch(), 1e-9);
    VitrionSettings tight;
    tight.lineSpacing = 0.8; // no negative spacing; the cursor still uses size x multiplier
    host.view().configure(tight);
    EXPECT_NEAR(host.view().linePitch(), metrics.lineSpacing(), 1e-9);
    EXPECT_NEAR(host.view().cursorRectangle().height(), 14 * 0.8, 1e-9);
}

// A history taller than a widget can be: the screen still shows under the output, and scrolling up
// slides the view's window of lines until the first line shows.
TEST_F(TerminalSizingTest, AHistoryTallerThanAWidgetShowsItsEndAndItsStart)
{
    VitrionSettings settings;
    settings.fontSize = 120.0;
    ScrollHost host(QSize(900, 700), settings);
    host.terminal().setHistoryLimit({HistoryLimit::unlimitedLines, std::size_t{1} << 30});
    std::string lines;
    for (int n = 1; n <= 120000; ++n) {
        lines += "line " + std::to_string(n) + "\r\n";
    }
    host.feed(lines);
    ViewTest::spinFor(100);
    TerminalTextView& view = host.view();
    QScrollBar& bar = *host.area().verticalScrollBar();
    ASSERT_GT(view.displayLineCount() * view.linePitch(), double{QWIDGETSIZE_MAX});
    EXPECT_LE(view.height(), QWIDGETSIZE_MAX);
    const auto shown = [&](int row) {
        const double middle = view.cellOrigin(row, 0).y() + view.linePitch() / 2;
        return middle >= bar.value() && middle <= bar.value() + host.area().viewport()->height();
    };
    const int cursorRow = host.engine().cursorLine();
    EXPECT_TRUE(shown(cursorRow)) << "the cursor's row under the output";
    for (int step = 0; step < 100 && !(bar.value() == 0 && shown(0)); ++step) {
        bar.setValue(0);
    }
    EXPECT_TRUE(shown(0)) << "the first line of the history";
    bar.setValue(bar.maximum());
    host.feed("one more\r\n");
    ViewTest::spinFor(100);
    EXPECT_TRUE(shown(host.engine().cursorLine())) << "output brings the end back";
}

TEST_F(TerminalSizingTest, TheShellSeesTheNewSizeAndNoSignalForAScroll)
{
    SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("bash")), QSize(800, 600));
    ASSERT_TRUE(shell.waitForShell()) << ViewTest::screenDump(shell.engine());
    shell.type(QStringLiteral("stty size"));
    const auto size = [&shell] {
        return std::to_string(shell.engine().rows()) + " " + std::to_string(shell.engine().columns());
    };
    ASSERT_TRUE(shell.waitForLine(size())) << ViewTest::screenDump(shell.engine());

    // With history the scroll bar comes, and the grid never narrows for it: its room is kept free.
    shell.type(QStringLiteral("seq 1 80"));
    ASSERT_TRUE(shell.waitForLine("80")) << ViewTest::screenDump(shell.engine());
    shell.resize(QSize(1000, 400));
    QScrollArea& area = *shell.surface().scrollArea();
    QScrollBar& scrollBar = *area.verticalScrollBar();
    ASSERT_TRUE(ViewTest::waitUntil([&] {
        return scrollBar.isVisible() && shell.engine().columns() > 100 &&
               shell.engine().columns() == shell.view().gridSize(area.viewport()->size()).columns;
    }));
    shell.type(QStringLiteral("stty size"));
    ASSERT_TRUE(shell.waitForLine(size())) << ViewTest::screenDump(shell.engine());

    // bash waits in a loop; its trap reports every SIGWINCH the session sends.
    shell.type(QStringLiteral("trap 'echo got-$((6*7))' WINCH; while :; do sleep 0.05; done"));
    ViewTest::spinFor(300);
    ViewportWatch& watch = *shell.surface().viewportWatch();
    const int changes = watch.changesSeen();
    ASSERT_GT(scrollBar.maximum(), 0);
    scrollBar.setValue(0);
    scrollBar.setValue(scrollBar.maximum());
    EXPECT_EQ(watch.changesSeen(), changes); // a scroll is not a change of the grid
    ViewTest::spinFor(800);
    EXPECT_FALSE(ViewTest::screenHas(shell.engine(), "got-42")) << ViewTest::screenDump(shell.engine());

    shell.resize(QSize(900, 400)); // a real change is signalled
    EXPECT_TRUE(shell.waitForLine("got-42")) << ViewTest::screenDump(shell.engine());
    QTest::keyClick(&shell.view(), Qt::Key_C, Qt::ControlModifier);
}

class SessionStartTest : public TerminalSizingTest {};

TEST_F(SessionStartTest, TwoCallsScheduleOneAttemptAndAReadyViewStartsOnce)
{
    ScrollHost host(QSize(600, 400), ViewTest::settingsWithShell(QStringLiteral("sh")));
    TerminalTextView& view = host.view();
    view.startSessionWhenReady(QStringLiteral("sh"));
    view.startSessionWhenReady(QStringLiteral("sh"));
    EXPECT_TRUE(view.sessionStartPending());
    EXPECT_EQ(view.terminal().pty(), nullptr); // nothing happens before the delay
    ASSERT_TRUE(ViewTest::waitUntil([&view] { return view.terminal().pty() != nullptr; }));
    PtyDevice* session = view.terminal().pty();
    ViewTest::spinFor(400);
    EXPECT_EQ(view.startAttempts(), 1);
    EXPECT_FALSE(view.sessionStartPending());
    view.startSessionWhenReady(QStringLiteral("bash")); // a running session is never replaced
    EXPECT_FALSE(view.sessionStartPending());
    EXPECT_EQ(view.terminal().pty(), session);
    EXPECT_EQ((GridSize{host.engine().rows(), host.engine().columns()}),
              view.gridSize(TerminalTextView::gridArea(host.area(), host.area().viewport()->size())));
}

TEST_F(SessionStartTest, ReadyAtFourHundredByOneHundredTwentyAndNotBelow)
{
    EXPECT_FALSE(GridSizing::isReadyForSession(true, true, 399.5, 120));
    EXPECT_FALSE(GridSizing::isReadyForSession(true, true, 400, 119.5));
    EXPECT_FALSE(GridSizing::isReadyForSession(false, true, 800, 600));
    EXPECT_FALSE(GridSizing::isReadyForSession(true, false, 800, 600));
    EXPECT_TRUE(GridSizing::isReadyForSession(true, true, 400, 120));

    ScrollHost host(QSize(399, 120), {}, Qt::ScrollBarAlwaysOff);
    TerminalTextView& view = host.view();
    view.startSessionWhenReady(QStringLiteral("sh"));
    ASSERT_TRUE(ViewTest::waitUntil([&view] { return view.startAttempts() >= 3; }));
    EXPECT_EQ(view.terminal().pty(), nullptr);
    EXPECT_TRUE(view.sessionStartPending()); // the attempts go on
    host.resize(QSize(400, 120));
    ASSERT_TRUE(ViewTest::waitUntil([&view] { return view.terminal().pty() != nullptr; }));
    EXPECT_EQ((GridSize{host.engine().rows(), host.engine().columns()}), fittingGrid(view, QSize(400, 120)));
}

TEST_F(SessionStartTest, NotShownOrNotInAScrollAreaIsNotReady)
{
    TerminalTextView loose;
    loose.resize(800, 600);
    loose.show();
    loose.startSessionWhenReady(QStringLiteral("sh"));
    ScrollHost hidden(QSize(800, 600));
    hidden.area().hide();
    hidden.view().startSessionWhenReady(QStringLiteral("sh"));
    ASSERT_TRUE(ViewTest::waitUntil(
        [&] { return loose.startAttempts() >= 2 && hidden.view().startAttempts() >= 2; }));
    EXPECT_EQ(loose.terminal().pty(), nullptr);
    EXPECT_EQ(hidden.view().terminal().pty(), nullptr);
}

TEST_F(SessionStartTest, AViewDestroyedWhileAnAttemptIsPendingStartsNothing)
{
    auto host = std::make_unique<ScrollHost>(QSize(800, 600));
    host->view().startSessionWhenReady(QStringLiteral("sh"));
    ASSERT_TRUE(host->view().sessionStartPending());
    host.reset();
    // The surface's queued start on a view that is already gone is dropped too.
    auto surface = std::make_unique<TerminalSurface>(ViewTest::settingsWithShell(QStringLiteral("sh")));
    surface.reset();
    ViewTest::spinFor(500); // past the attempt's time; under ASan a use of the dead view would fail here
    SUCCEED();
}

} // namespace
