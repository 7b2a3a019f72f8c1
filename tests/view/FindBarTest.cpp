// The find bar over a surface: typing finds the newest match and scrolls to it, Enter steps up the
// history, the count reads "n of m", Escape goes back to the bottom, and Ctrl+Shift+C copies the
// current match when nothing is selected.
#include "view/FindBar.h"

#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "terminal/TerminalSearch.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(FindBarTest, FindsStepsCopiesAndReturns)
{
    ViewTest::ensureApplication();
    ViewTest::SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("sh")), QSize(700, 300));
    ASSERT_TRUE(shell.waitForShell());
    std::string output = "\r\nan old Needle\r\n";
    for (int i = 0; i < 500; ++i) {
        output += "line " + std::to_string(i) + "\r\n";
    }
    output += "a new needle\r\n";
    shell.feed(output);
    QScrollBar* bar = shell.surface().scrollArea()->verticalScrollBar();
    const auto atBottom = [bar] { return bar->maximum() > 0 && bar->value() > bar->maximum() - 20; };
    ASSERT_TRUE(ViewTest::waitUntil(atBottom));

    FindBar& find = *shell.surface().findBar();
    find.open();
    ASSERT_TRUE(find.isOpen());
    QTest::keyClicks(find.queryField(), QStringLiteral("needle"));
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 2"));

    QTest::keyClick(find.queryField(), Qt::Key_Return); // up to the old one
    EXPECT_EQ(find.countText(), QStringLiteral("2 of 2"));
    EXPECT_LT(bar->value(), bar->maximum() / 4);
    EXPECT_EQ(shell.view().currentMatchSelection().start().column, 7);

    shell.view().copySelection();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Needle"));

    QTest::keyClick(find.queryField(), Qt::Key_F3, Qt::ShiftModifier); // back down
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 2"));
    find.queryField()->setText(QStringLiteral("Needle")); // a capital: only the exact case
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 1"));
    find.queryField()->setText(QStringLiteral("nomatch"));
    EXPECT_EQ(find.countText(), QStringLiteral("none"));

    QTest::keyClick(find.queryField(), Qt::Key_Escape);
    EXPECT_FALSE(find.isOpen());
    EXPECT_TRUE(atBottom());
    EXPECT_TRUE(shell.view().currentMatchSelection().isEmpty());
}

} // namespace
