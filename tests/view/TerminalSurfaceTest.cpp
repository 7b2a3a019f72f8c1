// The surface around a real shell: its scroll area, the watch that refits the grid on every change
// of the visible area, settings applied in place without a new shell, and tear-down hanging up.
#include "view/TerminalSurface.h"

#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "view/GlyphMetrics.h"
#include "view/TerminalTextView.h"
#include "view/ViewportWatch.h"

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace {

using ViewTest::SurfaceWindow;

class TerminalSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override { ViewTest::ensureApplication(); }
};

TEST_F(TerminalSurfaceTest, ScrollAreaHoldsOneTransparentViewThatFollowsTheWidth)
{
    SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("sh")), QSize(700, 300));
    QScrollArea& area = *shell.surface().scrollArea();
    EXPECT_EQ(area.widget(), &shell.view());
    EXPECT_EQ(area.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(area.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(shell.view().autoFillBackground());
    EXPECT_FALSE(area.viewport()->autoFillBackground());
    ASSERT_TRUE(shell.waitForShell()) << ViewTest::screenDump(shell.engine());
    EXPECT_EQ(shell.view().width(), area.viewport()->width());
    EXPECT_GE(shell.view().height(), area.viewport()->height());
    EXPECT_EQ(shell.view().cursor().hotSpot(), QPoint(4, 4));

    shell.resize(QSize(1100, 300));
    EXPECT_TRUE(ViewTest::waitUntil([&] {
        const QSizeF grid = TerminalTextView::gridArea(area, area.viewport()->size());
        return shell.view().width() == area.viewport()->width() &&
               shell.engine().columns() == shell.view().gridSize(grid).columns;
    }));
}

TEST_F(TerminalSurfaceTest, SettingsChangeRefontsAndRecoloursTheRunningShell)
{
    SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("sh")));
    ASSERT_TRUE(shell.waitForShell()) << ViewTest::screenDump(shell.engine());
    PtyDevice* session = shell.view().terminal().pty();
    const qint64 pid = session->childPid();
    const Cell oldCell = shell.engine().row(0)[0];

    VitrionSettings changed = ViewTest::settingsWithShell(QStringLiteral("bash"));
    changed.fontName = QStringLiteral("Courier");
    changed.fontSize = 20;
    changed.textRed = 0.2;
    changed.textGreen = 1.0;
    changed.textBlue = 0.4;
    changed.cursorStyle = TerminalCursorStyle::underline;
    shell.surface().applySettings(changed);

    EXPECT_EQ(shell.view().terminalFont().family(), QStringLiteral("Nimbus Mono PS"));
    EXPECT_EQ(shell.view().terminalFontSize(), 20);
    EXPECT_EQ(shell.view().cursorStyle(), TerminalCursorStyle::underline);
    EXPECT_EQ(shell.engine().baseTextColor(), colorFromComponents(0.2, 1.0, 0.4));
    EXPECT_EQ(shell.engine().row(0)[0], oldCell); // the text in the default colour takes the new one
    // The same shell, now told the grid of the larger font.
    EXPECT_EQ(shell.view().terminal().pty(), session);
    EXPECT_EQ(session->childPid(), pid);
    QScrollArea& area = *shell.surface().scrollArea();
    const GridSize grid = shell.view().gridSize(TerminalTextView::gridArea(area, area.viewport()->size()));
    EXPECT_EQ((GridSize{shell.engine().rows(), shell.engine().columns()}), grid);
    shell.type(QStringLiteral("stty size"));
    EXPECT_TRUE(shell.waitForLine(std::to_string(grid.rows) + " " + std::to_string(grid.columns)))
        << ViewTest::screenDump(shell.engine());
}

TEST_F(TerminalSurfaceTest, TearDownStopsTheWatchAndHangsUpTheShell)
{
    SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("bash")));
    ASSERT_TRUE(shell.waitForShell()) << ViewTest::screenDump(shell.engine());
    const qint64 pid = shell.view().terminal().pty()->childPid();
    ASSERT_GT(pid, 0);
    QPointer<TerminalTextView> view = &shell.view();
    QPointer<ViewportWatch> watch = shell.surface().viewportWatch();
    ASSERT_TRUE(watch->isWatching());
    shell.destroySurface();
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(watch.isNull());
    EXPECT_TRUE(ViewTest::waitUntil([pid] { return ViewTest::processHungUp(pid); })) << pid;
}

TEST_F(TerminalSurfaceTest, ARemovedWatchNoLongerRefitsTheGrid)
{
    SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("sh")), QSize(800, 600));
    ViewportWatch& watch = *shell.surface().viewportWatch();
    ViewTest::spinFor(0);
    const int columns = shell.engine().columns();
    watch.remove();
    EXPECT_FALSE(watch.isWatching());
    const int seen = watch.changesSeen();
    shell.resize(QSize(1200, 600));
    ViewTest::spinFor(50);
    EXPECT_EQ(watch.changesSeen(), seen);
    EXPECT_EQ(shell.engine().columns(), columns);
}

} // namespace
