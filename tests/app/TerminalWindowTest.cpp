// The main window and its commands on the offscreen platform: title, minimum size, padding and
// radius followed live, the history limit reaching the running and the next terminal, New Shell
// replacing the terminal and hanging up the old shell, Paste routing, the settings sheet bound to
// the model, the settings window and the terminal's menu.
#include "app/TerminalWindow.h"

#include "AppTestSupport.h"
#include "app/CornerMask.h"
#include "app/GlassBackdrop.h"
#include "app/GlassTintLayer.h"
#include "app/SettingsDialog.h"
#include "app/SettingsPanel.h"
#include "app/SliderRow.h"
#include "app/VitrionApp.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "view/FindBar.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

class TerminalWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppTestSupport::application();
        AppTestSupport::writeConfig(
            R"({"blur":0.72,"configurationVersion":2,"cornerRadius":20,"cursorStyle":"Block",
            "fontName":"Menlo","fontSize":14,"lineSpacing":1.15,"material":"HUD","opacity":1,"padding":24,
            "saturation":0,"shell":"sh","textBlue":0.96,"textGreen":0.93,"textRed":0.92,"tintBlue":0.21,
            "tintGreen":0.15,"tintRed":0.11})");
        app = std::make_unique<VitrionApp>();
        app->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
        QTest::qWait(1); // the queued window configuration
    }

    void TearDown() override
    {
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TerminalWindow* content() const { return app->terminalWindow(); }
    TerminalTextView* view() const { return content()->surface()->textView(); }

    // Waits for the surface's shell and returns its pid.
    qint64 runningShell() const
    {
        const bool started = QTest::qWaitFor(
            [this] { return view()->terminal().pty() && view()->terminal().pty()->childPid() > 0; }, 5000);
        return started ? view()->terminal().pty()->childPid() : -1;
    }

    void focusTerminal() const
    {
        QApplication::setActiveWindow(app->mainWindow());
        view()->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::focusWidget() == view(); }, 2000));
    }

    std::unique_ptr<VitrionApp> app;
};

QStringList actionTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (action->isVisible()) {
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
    }
    return texts;
}

} // namespace

TEST_F(TerminalWindowTest, ChromeTitleMenusAndMinimumSize)
{
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Vitrion");
    EXPECT_TRUE(app->mainWindow()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(app->mainWindow()->palette().color(QPalette::Window), QColor::fromRgbF(0.11f, 0.15f, 0.21f));

    QList<QMenu*> menus; // the menus the bar shows, not its internal extension popup
    for (QAction* entry : app->mainWindow()->menuBar()->actions()) {
        if (entry->menu()) {
            menus.append(entry->menu());
        }
    }
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->title(), "Vitrion");
    EXPECT_EQ(actionTexts(menus[0]), QStringList({"About Vitrion", QStringLiteral("Settings\u2026"),
                                                  QStringLiteral("Settings Window\u2026"), "-", "Quit"}));
    EXPECT_EQ(menus[1]->title(), "Terminal");
    EXPECT_EQ(actionTexts(menus[1]),
              QStringList({"New Shell", "Paste", QStringLiteral("Find\u2026"), "Previous Prompt",
                           "Next Prompt", "-", QStringLiteral("Settings\u2026")}));
    EXPECT_EQ(app->settingsAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Comma));
    EXPECT_EQ(app->quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    EXPECT_EQ(app->newShellAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    EXPECT_EQ(app->pasteAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    EXPECT_EQ(app->findAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

    app->mainWindow()->resize(200, 100);
    QTest::qWait(1);
    EXPECT_EQ(content()->size(), content()->minimumContentSize());
    app->mainWindow()->resize(2400, 1500); // no maximum
    QTest::qWait(1);
    EXPECT_GT(content()->width(), 2000);
}

// The smallest window still shows 24 x 80 cells of whatever font is set, and not much more.
TEST_F(TerminalWindowTest, TheMinimumSizeHoldsTwentyFourByEightyCellsOfTheFont)
{
    ASSERT_GT(runningShell(), 0);
    QSize previous;
    for (double fontSize : {14.0, 22.0, 11.0}) {
        app->model().updateSettings([fontSize](VitrionSettings& s) {
            s.fontSize = fontSize;
            s.padding = fontSize; // the padding counts too
        });
        QTest::qWait(1); // the main window's layout takes the new minimum
        app->mainWindow()->resize(200, 100);
        QTest::qWait(1);
        TerminalSurface* surface = content()->surface();
        const TerminalTextView* view = surface->textView();
        EXPECT_EQ(content()->size(), content()->minimumContentSize()) << fontSize;
        EXPECT_EQ(surface->geometry(), content()->rect().adjusted(fontSize, fontSize, -fontSize, -fontSize));
        EXPECT_TRUE(QTest::qWaitFor([&] { return surface->terminal()->size() == minimumGridSize; }, 2000))
            << fontSize << ": " << surface->terminal()->size().rows << " x "
            << surface->terminal()->size().columns;
        EXPECT_LT(content()->minimumContentSize().width(), 2 * fontSize + 81 * view->cellAdvance() + 12);
        EXPECT_LT(content()->minimumContentSize().height(), 2 * fontSize + 25 * view->linePitch());
        EXPECT_NE(content()->minimumContentSize(), previous);
        previous = content()->minimumContentSize();
    }
}

// A window manager that ignores the minimum (a tiling one) makes the window smaller: the content
// follows it down, and the program is told the grid that shows, not 24 x 80.
TEST_F(TerminalWindowTest, AWindowForcedBelowItsMinimumShowsTheGridItTells)
{
    ASSERT_GT(runningShell(), 0);
    app->mainWindow()->setMinimumSize(0, 0);
    app->mainWindow()->resize(520, 300);
    QTest::qWait(1);
    TerminalSurface* surface = content()->surface();
    EXPECT_EQ(content()->width(), 520);
    EXPECT_EQ(surface->geometry(), content()->rect().adjusted(24, 24, -24, -24));
    QScrollArea& area = *surface->scrollArea();
    const GridSize shown =
        surface->textView()->gridSize(TerminalTextView::gridArea(area, area.viewport()->size()));
    EXPECT_LT(shown.columns, 80);
    EXPECT_LT(shown.rows, 24);
    EXPECT_TRUE(QTest::qWaitFor([&] { return surface->terminal()->size() == shown; }, 2000));
}

TEST_F(TerminalWindowTest, PaddingAndRadiusFollowTheSettingsWithoutRestartingTheShell)
{
    const qint64 shell = runningShell();
    ASSERT_GT(shell, 0);
    TerminalSurface* surface = content()->surface();
    GlassBackdrop* backdrop = content()->backdrop();
    const QUuid session = app->model().sessionID();
    EXPECT_EQ(surface->geometry(), content()->rect().adjusted(24, 24, -24, -24));
    EXPECT_EQ(backdrop->geometry(), content()->rect());

    app->model().updateSettings([](VitrionSettings& s) {
        s.padding = 7;
        s.cornerRadius = 0;
    });
    EXPECT_EQ(surface->geometry(), content()->rect().adjusted(7, 7, -7, -7));
    for (CornerMask* mask : content()->cornerMasks()) {
        EXPECT_FALSE(mask->isVisible());
    }

    app->model().updateSettings([](VitrionSettings& s) {
        s.padding = 0;
        s.cornerRadius = 33;
        s.opacity = 0.4;
    });
    EXPECT_EQ(surface->geometry(), content()->rect());
    for (CornerMask* mask : content()->cornerMasks()) {
        EXPECT_TRUE(mask->isVisible());
        EXPECT_EQ(mask->size(), QSize(33, 33));
    }
    // The corner outside the arc is the opaque window colour, above the flush terminal.
    const QImage image = content()->grab().toImage();
    const QColor corner = image.pixelColor(1, 1);
    EXPECT_EQ(corner.alpha(), 255);
    EXPECT_NEAR(corner.redF(), 0.11, 0.01);
    EXPECT_NEAR(corner.blueF(), 0.21, 0.01);
    const QColor bottomRight = image.pixelColor(image.width() - 2, image.height() - 2);
    EXPECT_NEAR(bottomRight.greenF(), 0.15, 0.01);

    // Out-of-range values from a file do not break the layout.
    app->model().updateSettings([](VitrionSettings& s) {
        s.padding = -5;
        s.cornerRadius = 1e12;
    });
    EXPECT_EQ(surface->geometry(), content()->rect());
    EXPECT_EQ(content()->effectiveRadius(), std::min(content()->width(), content()->height()) / 2.0);

    EXPECT_EQ(content()->surface(), surface);
    EXPECT_EQ(content()->backdrop(), backdrop);
    EXPECT_EQ(app->model().sessionID(), session);
    EXPECT_EQ(view()->terminal().pty()->childPid(), shell);
    EXPECT_NEAR(backdrop->tintLayer()->color().alphaF(), 0.4, 1e-3);
}

TEST_F(TerminalWindowTest, NewShellReplacesTheSurfaceAndHangsUpTheOldShell)
{
    const qint64 oldShell = runningShell();
    ASSERT_GT(oldShell, 0);
    QPointer<TerminalSurface> oldSurface = content()->surface();
    GlassBackdrop* backdrop = content()->backdrop();
    const VitrionSettings settings = app->model().settings();

    app->newShellAction()->trigger();
    EXPECT_NE(content()->surface(), oldSurface.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(oldSurface.isNull());
    // Hung up and reaped by the old session: no process and no zombie is left under that pid.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::kill(pid_t(oldShell), 0) == -1 && errno == ESRCH; }, 10000));

    const qint64 newShell = runningShell();
    EXPECT_GT(newShell, 0);
    EXPECT_NE(newShell, oldShell);
    EXPECT_EQ(content()->backdrop(), backdrop); // never replaced
    EXPECT_EQ(app->model().settings(), settings);
}

TEST_F(TerminalWindowTest, ScrollbackSettingLimitsTheRunningShellsHistoryAndTheNextOnes)
{
    const qint64 shell = runningShell();
    ASSERT_GT(shell, 0);
    constexpr std::size_t megabyte = 1 << 20;
    const auto limit = [this] { return view()->terminal().engine().historyLimits(); };
    app->model().updateSettings([](VitrionSettings& s) { s.scrollbackLines = 50'000; });
    EXPECT_EQ(limit(), (HistoryLimit{50'000, 512 * megabyte}));
    app->model().updateSettings([](VitrionSettings& s) {
        s.scrollbackUnlimited = true;
        s.scrollbackMegabytes = 1024;
    });
    EXPECT_EQ(limit(), (HistoryLimit{HistoryLimit::unlimitedLines, 1024 * megabyte}));
    EXPECT_EQ(view()->terminal().pty()->childPid(), shell); // applied in place

    const TerminalSurface* old = content()->surface();
    app->newShellAction()->trigger();
    ASSERT_NE(content()->surface(), old);
    EXPECT_EQ(limit(), (HistoryLimit{HistoryLimit::unlimitedLines, 1024 * megabyte}));
}

TEST_F(TerminalWindowTest, PasteReachesOnlyAFocusedTerminal)
{
    ASSERT_GT(runningShell(), 0);
    std::string sent;
    view()->terminal().setInputObserver([&sent](std::string_view bytes) { sent.append(bytes); });
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted-text"));

    focusTerminal();
    app->pasteAction()->trigger();
    EXPECT_NE(sent.find("pasted-text"), std::string::npos);

    sent.clear();
    app->model().setSettingsPresented(true);
    SettingsDialog* sheet = content()->sheet();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    QApplication::setActiveWindow(sheet);
    sheet->panel()->shellPicker()->setFocus();
    ASSERT_TRUE(
        QTest::qWaitFor([sheet] { return QApplication::focusWidget() == sheet->panel()->shellPicker(); }));
    EXPECT_FALSE(VitrionApp::pasteIntoFocusedTerminal());
    app->pasteAction()->trigger();
    EXPECT_TRUE(sent.empty());
}

TEST_F(TerminalWindowTest, SheetFollowsSettingsPresentedAndWritesFalseWhenClosed)
{
    app->settingsAction()->trigger();
    EXPECT_TRUE(app->model().settingsPresented());
    SettingsDialog* sheet = content()->sheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    EXPECT_EQ(sheet->windowTitle(), "Vitrion Settings");
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->panel()->width(), 480);

    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(app->model().settingsPresented());

    app->model().setSettingsPresented(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    sheet->panel()->doneButton()->click();
    EXPECT_FALSE(app->model().settingsPresented());

    app->model().setSettingsPresented(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_FALSE(app->model().settingsPresented());

    app->model().setSettingsPresented(true); // the model closes the sheet, too
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    app->model().setSettingsPresented(false);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(TerminalWindowTest, SettingsWindowEditsTheSameModelLive)
{
    app->settingsWindowAction()->trigger();
    SettingsDialog* window = app->settingsWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), "Vitrion Settings");
    EXPECT_EQ(window->windowModality(), Qt::NonModal);
    EXPECT_FALSE(app->model().settingsPresented());

    window->panel()->paddingRow()->slider()->setValue(0);
    EXPECT_EQ(app->model().settings().padding, 4.0);
    EXPECT_EQ(content()->surface()->geometry(), content()->rect().adjusted(4, 4, -4, -4));
}

TEST_F(TerminalWindowTest, TerminalMenuOffersCopyPasteNewShellAndSettings)
{
    QMenu* menu = content()->contextMenu();
    EXPECT_EQ(actionTexts(menu),
              QStringList({"Copy\tCtrl+Shift+C", "Paste\tCtrl+Shift+V", "Select Output",
                           QStringLiteral("Find\u2026\tCtrl+Shift+F"), "-", "New Shell\tCtrl+Shift+N",
                           QStringLiteral("Settings\u2026\tCtrl+Shift+,")}));
    EXPECT_EQ(view()->contextMenuPolicy(), Qt::CustomContextMenu);
    emit view()->customContextMenuRequested(QPoint(20, 20));
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    menu->hide();

    // "New Shell" from the terminal's own menu: the terminal it was opened on goes away safely, its
    // find bar too (open, with a search running).
    content()->showFind();
    QTest::keyClicks(content()->surface()->findBar()->queryField(), QStringLiteral("e"));
    const QUuid before = app->model().sessionID();
    menu->actions().at(9)->trigger();
    EXPECT_NE(app->model().sessionID(), before);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(view()->contextMenuPolicy(), Qt::CustomContextMenu); // the new terminal has it too

    menu->actions().at(10)->trigger();
    EXPECT_TRUE(app->model().settingsPresented());
}

TEST_F(TerminalWindowTest, OverALinkTheMenuOpensOrCopiesIt)
{
    QMenu* menu = content()->contextMenu();
    view()->terminal().receive("\x1b[H\x1b[2Jsee https://example.com/menu for more\r\n");
    QTest::qWait(50); // a frame lays the text out
    const int top = view()->terminal().screen().screenTop();
    const QPointF cell =
        view()->cellOrigin(top, 10) + QPointF(view()->cellAdvance() / 2, view()->linePitch() / 2);
    emit view()->customContextMenuRequested(cell.toPoint());
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    EXPECT_EQ(actionTexts(menu).mid(0, 3), QStringList({"Open Link", "Copy Link", "-"}));
    menu->actions().at(1)->trigger();
    menu->hide();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "https://example.com/menu");
    // Elsewhere the link items are gone again.
    emit view()->customContextMenuRequested(QPoint(2, 2));
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    EXPECT_EQ(actionTexts(menu).first(), "Copy\tCtrl+Shift+C");
    menu->hide();
}

TEST_F(TerminalWindowTest, OverACommandTheMenuOffersTheFolderItRanIn)
{
    QMenu* menu = content()->contextMenu();
    const auto menuOver = [&](const QString& host) {
        view()->terminal().receive(
            ("\x1b[H\x1b[2J\x1b]7;file://" + host + QDir::tempPath() + "\x07\x1b]133;A\x07$ ls\r\nout\r\n")
                .toStdString());
        QTest::qWait(50);
        const int top = view()->terminal().screen().screenTop();
        const QPointF output =
            view()->cellOrigin(top + 1, 1) + QPointF(view()->cellAdvance() / 2, view()->linePitch() / 2);
        emit view()->customContextMenuRequested(output.toPoint());
        EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
        const QStringList texts = actionTexts(menu);
        menu->hide();
        return texts;
    };
    EXPECT_TRUE(menuOver(QSysInfo::machineHostName()).contains("Open Folder"));
    EXPECT_FALSE(menuOver("elsewhere.invalid").contains("Open Folder")); // a shell over ssh
}

TEST_F(TerminalWindowTest, TheProgramsTitleBellAndMouseTrackingReachTheWindow)
{
    ASSERT_GT(runningShell(), 0);
    view()->terminal().receive("\x1b]0;vim notes.txt\x07");
    EXPECT_EQ(app->mainWindow()->windowTitle(), QStringLiteral("vim notes.txt \u2014 Vitrion"));
    view()->terminal().receive("\x1b]2;\x07");
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Vitrion");

    // In front of the user the bell is a brief flash of the glass.
    focusTerminal();
    view()->terminal().receive("\x07");
    EXPECT_TRUE(content()->bellFlashShowing());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !content()->bellFlashShowing(); }, 2000));

    // A program that tracks the mouse gets the right click: no menu, unless Shift is held.
    QMenu* menu = content()->contextMenu();
    view()->terminal().receive("\x1b[?1000h");
    emit view()->customContextMenuRequested(QPoint(20, 20));
    EXPECT_FALSE(menu->isVisible());
    view()->terminal().receive("\x1b[?1000l");
    emit view()->customContextMenuRequested(QPoint(20, 20));
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    menu->hide();

    // Without a title the window shows where the shell is (on this machine: another host's folder
    // is not ours), and New Shell starts there.
    const QString here = QSysInfo::machineHostName();
    view()->terminal().receive(("\x1b]7;file://elsewhere/srv\x07"));
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Vitrion");
    view()->terminal().receive(("\x1b]7;file://" + here + "/usr/share\x07").toStdString());
    EXPECT_EQ(app->mainWindow()->windowTitle(), QStringLiteral("/usr/share \u2014 Vitrion"));
    EXPECT_EQ(content()->lastShellDirectory(), QStringLiteral("/usr/share"));

    // A new shell has not named the window yet.
    view()->terminal().receive("\x1b]2;old shell\x07");
    app->newShellAction()->trigger();
    EXPECT_EQ(app->mainWindow()->windowTitle(), "Vitrion");
    ASSERT_GT(runningShell(), 0);
    view()->terminal().sendText("pwd\r");
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            const ScreenReader screen = view()->terminal().screen();
            for (std::size_t r = 0; r < screen.rowCount(); ++r) {
                std::string text;
                for (const Cell& cell : screen.row(r)) {
                    text += static_cast<char>(cell.character < 0x80 ? cell.character : '?');
                }
                if (text.find("/usr/share ") != std::string::npos && !text.starts_with("pwd")) {
                    return true;
                }
            }
            return false;
        },
        10000))
        << "the new shell started where the last one was";
}

// Programs that pick light or dark colours ask for the background (OSC 11): they are told the
// glass's colour, and told again after the tint changes.
TEST_F(TerminalWindowTest, TheBackgroundReportedToProgramsIsTheGlass)
{
    const auto reported = [this] {
        TerminalEngine& engine = view()->terminal().engine(); // the reply is read here, not by the shell
        engine.takeReplies();
        engine.consume("\x1b]11;?\x07");
        const std::string reply = engine.takeReplies();
        const std::size_t at = reply.find("rgb:");
        if (at == std::string::npos || reply.size() < at + 18) {
            return QColor();
        }
        const auto channel = [&](std::size_t i) {
            return std::stoi(reply.substr(at + 4 + i * 5, 2), nullptr, 16);
        };
        return QColor(channel(0), channel(1), channel(2));
    };
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
               std::abs(a.blue() - b.blue()) <= 1;
    };
    const QColor dim = reported();
    EXPECT_TRUE(near(dim, content()->backdrop()->apparentColor())) << dim.name().toStdString();
    EXPECT_NE(dim, QColor(Qt::black));

    app->model().updateSettings([](VitrionSettings& s) {
        s.tintRed = 0.9;
        s.tintGreen = 0.9;
        s.tintBlue = 0.85;
    });
    const QColor light = reported();
    EXPECT_TRUE(near(light, content()->backdrop()->apparentColor())) << light.name().toStdString();
    EXPECT_GT(light.lightness(), dim.lightness() + 100);
}

TEST_F(TerminalWindowTest, BlurRegionFollowsMaterialRadiusAndSize)
{
    const QList<QRect> initial = content()->blurRegion();
    ASSERT_FALSE(initial.isEmpty());
    QRect bounds;
    for (const QRect& r : initial) {
        bounds |= r;
    }
    const QPoint origin = content()->mapTo(app->mainWindow(), QPoint(0, 0));
    EXPECT_EQ(bounds, QRect(origin, content()->size()));

    app->model().updateSettings([](VitrionSettings& s) { s.cornerRadius = 0; });
    EXPECT_EQ(content()->blurRegion().size(), 1);
    app->model().updateSettings([](VitrionSettings& s) { s.blur = 0.2; }); // Content: clear, no blur
    EXPECT_TRUE(content()->blurRegion().isEmpty());
    app->model().updateSettings([](VitrionSettings& s) { s.blur = 0.5; });
    EXPECT_FALSE(content()->blurRegion().isEmpty());
}

// Alt+F4 or Quit with a program in the foreground asks first; the idle shell is closed at once.
TEST_F(TerminalWindowTest, ClosingWithAProgramRunningAsksFirst)
{
    ASSERT_GT(runningShell(), 0);
    EXPECT_FALSE(content()->programRunning());
    view()->terminal().sendText("sleep 30\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return content()->programRunning(); }, 5000));

    app->mainWindow()->close();
    QMessageBox* question = app->closeQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->text(), "A program is still running: close anyway?");
    EXPECT_TRUE(app->mainWindow()->isVisible());
    question->button(QMessageBox::Cancel)->click();
    QTest::qWait(1);
    EXPECT_TRUE(app->mainWindow()->isVisible());

    app->quitAction()->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->closeQuestion() != nullptr; }, 2000));
    app->closeQuestion()->button(QMessageBox::Close)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->mainWindow()->isVisible(); }, 2000));
}

TEST_F(TerminalWindowTest, TheIdleShellsWindowClosesWithoutAsking)
{
    ASSERT_GT(runningShell(), 0);
    app->quitAction()->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->mainWindow()->isVisible(); }, 2000));
    EXPECT_EQ(app->closeQuestion(), nullptr);
}

// By default the window stays with the exit line; the setting closes it with the shell.
TEST_F(TerminalWindowTest, TheShellsExitClosesTheWindowOnlyWhenTheSettingSaysSo)
{
    ASSERT_GT(runningShell(), 0);
    QSignalSpy finished(&view()->terminal(), &Terminal::finished);
    view()->terminal().sendText("exit\n");
    ASSERT_TRUE(finished.wait(5000));
    QTest::qWait(50);
    EXPECT_TRUE(app->mainWindow()->isVisible());

    app->model().updateSettings([](VitrionSettings& s) { s.closeOnShellExit = true; });
    app->model().restartShell();
    QTest::qWait(1);
    ASSERT_GT(runningShell(), 0);
    view()->terminal().sendText("exit 3\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->mainWindow()->isVisible(); }, 5000));
}
