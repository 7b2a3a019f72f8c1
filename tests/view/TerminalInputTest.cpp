// Keys and pastes through a shown view into a real shell: the bytes each key press hands to the
// session (one send per key or paste), the shell's echo coming back, and bracketed paste with the
// controls stripped so that pasted text cannot end the bracket or raise a signal.
#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "view/TerminalTextView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTest>

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
        view().setInputObserver([this](std::string_view bytes) { sent.emplace_back(bytes); });
    }
    void TearDown() override { view().setInputObserver({}); }

    static TerminalTextView& view() { return shell->view(); }
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
    EXPECT_EQ(sentFor(Qt::Key_Down, Qt::ShiftModifier), "\x1b[B");
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

    shell->engine().consume("\x1b[?2004h"); // what a readline shell sends at its prompt
    EXPECT_EQ(pasted(QStringLiteral("a\r\nb\rc\n")), "\x1b[200~a\nb\nc\n\x1b[201~");
    EXPECT_EQ(pasted(QString()), "\x1b[200~\x1b[201~");
    // A pasted end marker, ^C, ^Z, ^\ and C1 controls cannot break out; tabs and text survive.
    EXPECT_EQ(pasted(QStringLiteral("x\x1b[201~echo owned\x03\x1a\x1c\u009b\ty \u00e9")),
              "\x1b[200~x[201~echo owned\ty \xc3\xa9\x1b[201~");
    shell->engine().consume("\x1b[?2004l");

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
