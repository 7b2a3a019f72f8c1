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

    const int before = bar->value();
    FindBar& find = *shell.surface().findBar();
    find.open();
    ASSERT_TRUE(find.isOpen());
    // The first match at once, the count in slices after it.
    const auto counted = [&find] {
        return ViewTest::waitUntil([&find] { return !find.search().counting(); });
    };
    QTest::keyClicks(find.queryField(), QStringLiteral("needle"));
    ASSERT_TRUE(counted());
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 2"));

    QTest::keyClick(find.queryField(), Qt::Key_Return); // up to the old one
    EXPECT_EQ(find.countText(), QStringLiteral("2 of 2"));
    EXPECT_LT(bar->value(), bar->maximum() / 4);
    EXPECT_EQ(shell.view().currentMatchSelection().start().column, 7);

    QTest::keyClick(find.queryField(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Needle"));

    QTest::keyClick(find.queryField(), Qt::Key_F3, Qt::ShiftModifier); // back down
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 2"));
    find.queryField()->setText(QStringLiteral("Needle")); // a capital: only the exact case
    ASSERT_TRUE(counted());
    EXPECT_EQ(find.countText(), QStringLiteral("1 of 1"));
    find.queryField()->setText(QStringLiteral("nomatch"));
    ASSERT_TRUE(counted());
    EXPECT_EQ(find.countText(), QStringLiteral("none"));

    QTest::keyClick(find.queryField(), Qt::Key_Escape);
    EXPECT_FALSE(find.isOpen());
    EXPECT_EQ(bar->value(), before) << bar->maximum();
    EXPECT_TRUE(shell.view().currentMatchSelection().isEmpty());
}

// Prompts the shell marked: Ctrl+Shift+Up's jump puts the previous prompt at the top, and the
// output of the command under a point is selected whole (its rows, not the prompts around it).
TEST(ShellMarksViewTest, JumpsBetweenPromptsAndSelectsOneCommandsOutput)
{
    ViewTest::ensureApplication();
    ViewTest::SurfaceWindow shell(ViewTest::settingsWithShell(QStringLiteral("sh")), QSize(700, 300));
    ASSERT_TRUE(shell.waitForShell());
    std::string output = "\r\n";
    for (int c = 0; c < 3; ++c) {
        output += "\x1b]133;A\a$ \x1b]133;B\acmd" + std::to_string(c) + "\r\n\x1b]133;C\a";
        for (int i = 0; i < 40; ++i) {
            output += "out" + std::to_string(c) + " " + std::to_string(i) + "\r\n";
        }
        output += "\x1b]133;D;0\a";
    }
    output += "\x1b]133;A\a$ ";
    shell.feed(output);
    TerminalTextView& view = shell.view();
    ASSERT_TRUE(ViewTest::waitUntil([&] { return ViewTest::screenContains(shell.engine(), "out2 39"); }));
    QTest::qWait(50);

    view.jumpToPrompt(true); // the last command's prompt at the top
    view.jumpToPrompt(true); // the one before
    const QScrollBar* bar = shell.surface().scrollArea()->verticalScrollBar();
    const QPointF top(10, bar->value() + view.linePitch() * 1.5); // on its first output row
    ASSERT_TRUE(view.selectOutputAt(top));
    const QString selected = view.selectedText();
    EXPECT_TRUE(selected.startsWith(QStringLiteral("out1 0\n"))) << selected.left(40).toStdString();
    EXPECT_TRUE(selected.endsWith(QStringLiteral("out1 39"))) << selected.right(40).toStdString();
    EXPECT_FALSE(selected.contains(QStringLiteral("$")));
    view.jumpToPrompt(false);
    view.jumpToPrompt(false);
    view.jumpToPrompt(false); // past the last: the bottom
    EXPECT_GT(bar->value(), bar->maximum() - 20);
}

} // namespace
