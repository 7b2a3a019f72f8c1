// Keys, pastes and the pointer through a shown view into a real shell: the bytes each key press
// hands to the session (one send per key or paste) in the modes the program set, the shell's echo
// coming back, bracketed paste with the controls stripped so that pasted text cannot end the
// bracket or raise a signal, mouse and focus reports, the wheel and paging through the history, the
// alternate screen, and the title, bell and clipboard events of the output.
#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "terminal/Terminal.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

using ViewTest::SurfaceWindow;

class TerminalInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ViewTest::ensureApplication();
        shell = new SurfaceWindow(ViewTest::settingsWithShell(QStringLiteral("sh")));
        ASSERT_TRUE(shell->waitForShell()) << ViewTest::screenDump(shell->engine());
        activate();
    }
    // The window active with the view focused, past the time in which a click counts as the one
    // that activated it.
    static void activate()
    {
        QApplication::setActiveWindow(&shell->window());
        shell->view().setFocus();
        ASSERT_TRUE(ViewTest::waitUntil([] { return QApplication::focusWidget() == &shell->view(); }));
        ViewTest::spinFor(TerminalTextView::activatingClickMs + 50);
    }
    static void TearDownTestSuite()
    {
        delete shell;
        shell = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(shell, nullptr);
        sent.clear();
        view().terminal().setInputObserver([this](std::string_view bytes) { sent.emplace_back(bytes); });
    }
    void TearDown() override
    {
        // Back to the shell's own modes, whatever a test switched on.
        shell->feed("\x1b[?1l\x1b>\x1b[?1000l\x1b[?1002l\x1b[?1003l\x1b[?1006l\x1b[?1004l\x1b[?1049l");
        view().terminal().setInputObserver({});
    }

    static TerminalTextView& view() { return shell->view(); }
    static TerminalEngine& engine() { return shell->engine(); }
    static void feed(std::string_view bytes) { shell->feed(bytes); }
    static QScrollBar& scrollBar() { return *view().enclosingScrollArea()->verticalScrollBar(); }
    // The centre of a screen cell (0-based, the row counted from the screen's top).
    static QPoint cellCentre(int column, int row)
    {
        const QPointF origin = view().cellOrigin(engine().screenTop() + row, column);
        return (origin + QPointF(view().cellAdvance() / 2, view().linePitch() / 2)).toPoint();
    }
    // Runs the frames the output asked for.
    static void settle()
    {
        ASSERT_TRUE(ViewTest::waitUntil([] { return !view().framePending(); }));
    }
    std::string sentForWheel(int delta, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        sent.clear();
        QWheelEvent wheel(at, view().mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QGuiApplication::sendEvent(&view(), &wheel);
        return allSent();
    }
    std::string sentForClick(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {})
    {
        sent.clear();
        QTest::mouseClick(&view(), button, modifiers, at);
        return allSent();
    }
    std::string allSent() const
    {
        std::string all;
        for (const std::string& bytes : sent) {
            all += bytes;
        }
        return all;
    }
    std::string sentFor(int key, Qt::KeyboardModifiers modifiers = {}, const QString& text = {})
    {
        sent.clear();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QGuiApplication::sendEvent(&view(), &press);
        EXPECT_LE(sent.size(), 1u) << "one send per key press";
        return sent.empty() ? std::string() : sent.front();
    }
    std::string pasted(const QString& text)
    {
        sent.clear();
        QGuiApplication::clipboard()->setText(text);
        view().paste();
        EXPECT_EQ(sent.size(), 1u) << "one send per paste";
        return sent.empty() ? std::string() : sent.front();
    }

    static SurfaceWindow* shell;
    std::vector<std::string> sent;
};

SurfaceWindow* TerminalInputTest::shell = nullptr;

TEST_F(TerminalInputTest, TypedTextReachesTheShellAndItsEchoIsShown)
{
    shell->type(QStringLiteral("echo typed-$((2*21)) \u00e9t\u00e9"));
    EXPECT_TRUE(shell->waitForLine("typed-42 \u00e9t\u00e9")) << ViewTest::screenDump(shell->engine());
    // An input method's committed text is typed text.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u4e2d"));
    QGuiApplication::sendEvent(&view(), &commit);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "\xe4\xb8\xad");
    QTest::keyClick(&view(), Qt::Key_U, Qt::ControlModifier); // erase the line again
}

TEST_F(TerminalInputTest, KeysSendTheTableAndXtermSequences)
{
    EXPECT_EQ(sentFor(Qt::Key_Return, {}, QStringLiteral("\r")), "\r");
    EXPECT_EQ(sentFor(Qt::Key_Backspace, {}, QStringLiteral("\b")), "\x7f");
    EXPECT_EQ(sentFor(Qt::Key_Delete), "\x1b[3~");
    EXPECT_EQ(sentFor(Qt::Key_Home), "\x1b[H");
    EXPECT_EQ(sentFor(Qt::Key_End), "\x1b[F");
    EXPECT_EQ(sentFor(Qt::Key_Up), "\x1b[A");
    EXPECT_EQ(sentFor(Qt::Key_Down, Qt::ShiftModifier), "\x1b[1;2B");
    EXPECT_EQ(sentFor(Qt::Key_Insert), "\x1b[2~");
    EXPECT_EQ(sentFor(Qt::Key_PageDown), "\x1b[6~");
    EXPECT_EQ(sentFor(Qt::Key_F5), "\x1b[15~");
    EXPECT_EQ(sentFor(Qt::Key_Tab, {}, QStringLiteral("\t")), "\t");
    EXPECT_EQ(sentFor(Qt::Key_Backtab, Qt::ShiftModifier), "\x1b[Z");
    EXPECT_TRUE(view().hasFocus() || !view().window()->isActiveWindow()); // Tab does not move focus
    EXPECT_EQ(sentFor(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03")), "\x03");
    EXPECT_EQ(sentFor(Qt::Key_Underscore, Qt::ControlModifier | Qt::ShiftModifier), "\x1f");
    EXPECT_EQ(sentFor(Qt::Key_F, Qt::AltModifier, QStringLiteral("f")), "\x1b"
                                                                        "f");
    // The command chords send nothing to the shell.
    EXPECT_EQ(sentFor(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("N")), "");
    EXPECT_EQ(sentFor(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("A")), "");
}

TEST_F(TerminalInputTest, PasteNormalisesLineEndingsAndBracketsWhenAsked)
{
    ASSERT_FALSE(shell->engine().bracketedPasteEnabled());
    EXPECT_EQ(pasted(QStringLiteral("a\r\nb\rc\n")), "a\nb\nc\n");
    EXPECT_EQ(pasted(QStringLiteral("keep\x1b[1m\x03")), "keep\x1b[1m\x03"); // unbracketed: as it is

    shell->feed("\x1b[?2004h"); // what a readline shell sends at its prompt
    EXPECT_EQ(pasted(QStringLiteral("a\r\nb\rc\n")), "\x1b[200~a\nb\nc\n\x1b[201~");
    EXPECT_EQ(pasted(QString()), "\x1b[200~\x1b[201~");
    // A pasted end marker, ^C, ^Z, ^\ and C1 controls cannot break out; tabs and text survive.
    EXPECT_EQ(pasted(QStringLiteral("x\x1b[201~echo owned\x03\x1a\x1c\u009b\ty \u00e9")),
              "\x1b[200~x[201~echo owned\ty \xc3\xa9\x1b[201~");
    shell->feed("\x1b[?2004l");

    // Ctrl+Shift+V is the same path; an empty clipboard sends nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("via keys"));
    EXPECT_EQ(sentFor(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("V")), "via keys");
    QGuiApplication::clipboard()->clear();
    sent.clear();
    view().paste();
    EXPECT_TRUE(sent.empty());
    QTest::keyClick(&view(), Qt::Key_U, Qt::ControlModifier);
}

TEST_F(TerminalInputTest, MiddleClickPastesThePrimarySelection)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        GTEST_SKIP() << "this platform has no primary selection";
    }
    clipboard->setText(QStringLiteral("primary"), QClipboard::Selection);
    QTest::mouseClick(&view(), Qt::MiddleButton);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.front(), "primary");
}

} // namespace

namespace {

TEST_F(TerminalInputTest, KeysFollowTheCursorKeyAndKeypadModesTheProgramSets)
{
    feed("\x1b[?1h\x1b="); // what vim and less send on start
    EXPECT_EQ(sentFor(Qt::Key_Up), "\x1bOA");
    EXPECT_EQ(sentFor(Qt::Key_Home), "\x1bOH");
    EXPECT_EQ(sentFor(Qt::Key_Right, Qt::ControlModifier), "\x1b[1;5C");
    EXPECT_EQ(sentFor(Qt::Key_5, Qt::KeypadModifier, QStringLiteral("5")), "\x1bOu");
    EXPECT_EQ(sentFor(Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r")), "\x1bOM");
    feed("\x1b[?1l\x1b>");
    EXPECT_EQ(sentFor(Qt::Key_Up), "\x1b[A");
    EXPECT_EQ(sentFor(Qt::Key_5, Qt::KeypadModifier, QStringLiteral("5")), "5");
}

TEST_F(TerminalInputTest, ClicksAreReportedWhileTheProgramTracksTheMouseAndShiftSelects)
{
    feed("\x1b[?1000h\x1b[?1006h");
    EXPECT_EQ(sentForClick(Qt::LeftButton, cellCentre(4, 2)), "\x1b[<0;5;3M\x1b[<0;5;3m");
    EXPECT_EQ(sentForClick(Qt::RightButton, cellCentre(0, 0), Qt::ControlModifier),
              "\x1b[<18;1;1M\x1b[<18;1;1m");
    EXPECT_TRUE(view().reportsMouse(Qt::NoModifier)); // the window opens no menu for it
    // A drag in 1002, in the default encoding: one report per cell. With Shift it selects instead.
    feed("\x1b[?1006l\x1b[?1002h");
    const auto drag = [this](Qt::KeyboardModifiers modifiers) {
        sent.clear();
        QTest::mousePress(&view(), Qt::LeftButton, modifiers, cellCentre(1, 1));
        QMouseEvent move(QEvent::MouseMove, cellCentre(3, 1), view().mapToGlobal(cellCentre(3, 1)),
                         Qt::NoButton, Qt::LeftButton, modifiers);
        QGuiApplication::sendEvent(&view(), &move);
        QGuiApplication::sendEvent(&view(), &move);
        QTest::mouseRelease(&view(), Qt::LeftButton, modifiers, cellCentre(3, 1));
        return sent;
    };
    EXPECT_EQ(drag(Qt::NoModifier), (std::vector<std::string>{"\x1b[M \"\"", "\x1b[M@$\"", "\x1b[M#$\""}));
    EXPECT_TRUE(drag(Qt::ShiftModifier).empty());
    EXPECT_FALSE(view().selection().isEmpty());
}

TEST_F(TerminalInputTest, TheClickThatActivatesTheWindowIsNotReported)
{
    feed("\x1b[?1000h");
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&shell->window());
    view().setFocus();
    EXPECT_EQ(sentForClick(Qt::LeftButton, cellCentre(2, 2)), "");
    ViewTest::spinFor(TerminalTextView::activatingClickMs + 50);
    EXPECT_EQ(sentForClick(Qt::LeftButton, cellCentre(2, 2)), "\x1b[M ##\x1b[M###");
}

TEST_F(TerminalInputTest, FocusChangesAreReportedWhenAsked)
{
    sent.clear();
    view().clearFocus();
    view().setFocus();
    EXPECT_TRUE(sent.empty()); // not asked for
    feed("\x1b[?1004h");
    view().clearFocus();
    view().setFocus();
    EXPECT_EQ(sent, (std::vector<std::string>{"\x1b[O", "\x1b[I"}));
    activate();
}

TEST_F(TerminalInputTest,
       TheWheelScrollsTheHistoryReportsToTrackingProgramsAndScrollsPagersOnTheAlternateScreen)
{
    for (int i = 0; i < 200; ++i) {
        feed("history line\r\n");
    }
    settle();
    const int bottom = scrollBar().value();
    ASSERT_GT(bottom, 0);
    // The primary screen without tracking: the history scrolls and nothing is sent.
    EXPECT_EQ(sentForWheel(120, cellCentre(0, 0)), "");
    EXPECT_LT(scrollBar().value(), bottom);
    // So do Shift+Page Up and Down, a page at a time.
    scrollBar().setValue(bottom);
    EXPECT_EQ(sentFor(Qt::Key_PageUp, Qt::ShiftModifier), "");
    EXPECT_EQ(scrollBar().value(), bottom - scrollBar().pageStep());
    EXPECT_EQ(sentFor(Qt::Key_PageDown, Qt::ShiftModifier), "");
    EXPECT_EQ(scrollBar().value(), bottom);

    // A tracking program gets the notches as buttons 64 and 65.
    feed("\x1b[?1000h\x1b[?1006h");
    EXPECT_EQ(sentForWheel(240, cellCentre(3, 1)), "\x1b[<64;4;2M\x1b[<64;4;2M");
    EXPECT_EQ(sentForWheel(60, cellCentre(3, 1)), ""); // half a notch waits for the other half
    EXPECT_EQ(sentForWheel(60, cellCentre(3, 1)), "\x1b[<64;4;2M");
    EXPECT_EQ(sentForWheel(-120, cellCentre(3, 1)), "\x1b[<65;4;2M");
    feed("\x1b[?1000l\x1b[?1006l");

    // The alternate screen without tracking: three cursor keys a notch, in the cursor-key mode.
    feed("\x1b[?1049h");
    EXPECT_EQ(sentForWheel(-120, cellCentre(0, 0)), "\x1b[B\x1b[B\x1b[B");
    feed("\x1b[?1h");
    EXPECT_EQ(sentForWheel(120, cellCentre(0, 0)), "\x1bOA\x1bOA\x1bOA");
    feed("\x1b[?1007l");
    EXPECT_EQ(sentForWheel(120, cellCentre(0, 0)), "");
    feed("\x1b[?1007h\x1b[?1l\x1b[?1049l");
}

TEST_F(TerminalInputTest, TheAlternateScreenShowsAloneAndLeavingItRestoresTheScrollPosition)
{
    for (int i = 0; i < 200; ++i) {
        feed("primary line\r\n");
    }
    // The cursor mid-screen, where a view scrolled up a little still shows it.
    feed("\x1b[2J\x1b[" + std::to_string(engine().rows() / 2) + "H");
    settle();
    // The bar appears with the first history, a turn of the event loop later.
    ASSERT_TRUE(ViewTest::waitUntil([] { return scrollBar().isVisible(); }));
    settle();
    const int scrolledUp = scrollBar().maximum() - 3 * static_cast<int>(view().linePitch());
    scrollBar().setValue(scrolledUp);

    feed("\x1b[?1049h");
    settle();
    EXPECT_EQ(view().displayLineCount(), engine().rows()); // no history to scroll into

    feed("\x1b[?1049l");
    settle();
    EXPECT_GT(view().displayLineCount(), engine().rows());
    EXPECT_EQ(scrollBar().value(), scrolledUp);
}

TEST_F(TerminalInputTest, TheOutputsClipboardWritesReachTheClipboard)
{
    feed("\x1b]52;c;Y29waWVk\x07"); // "copied"
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copied"));
    feed("\x1b]52;c;?\x07"); // a read is never answered
    ViewTest::spinFor(0);
    EXPECT_TRUE(engine().pendingReplies().empty());
}

} // namespace
