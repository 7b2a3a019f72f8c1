// Links, input methods and drops in the view, on the offscreen platform with a pseudo-terminal that
// records what the program is sent: which links may open, hover and Ctrl+click (and a program that
// takes the mouse), the preedit drawn at the cursor and committed once, the candidate window's
// rectangle, dropped files as quoted paths.
#include "ViewTestSupport.h"
#include "engine/ScreenReader.h"
#include "session/PtyDevice.h"
#include "terminal/Terminal.h"
#include "view/LinkOpener.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSysInfo>
#include <QTest>
#include <QTextCharFormat>

#include <gtest/gtest.h>

namespace {

class SilentPty : public PtyDevice {
public:
    void send(std::string_view) override {}
    void resize(int, int) override {}
    void stop() override {}
    bool isOpen() const override { return true; }
};

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    std::vector<QString> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url.toString()); }
};

TEST(LinkOpenerTest, OnlySafeSchemesOpen)
{
    const QString here = QSysInfo::machineHostName();
    const std::pair<QString, QString> cases[] = {
        {"https://example.com/a?b=c", "https://example.com/a?b=c"},
        {"HTTP://Example.com/", "http://example.com/"},
        {"ftp://ftp.example.org/pub", "ftp://ftp.example.org/pub"},
        {"mailto:me@example.org", "mailto:me@example.org"},
        {"file:///etc/hosts", "file:///etc/hosts"},
        {"file://localhost/etc/hosts", "file:///etc/hosts"},
        {"file://" + here + "/tmp/a%20b", "file:///tmp/a b"},
        {"file://elsewhere.example/etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"data:text/html,<script>x</script>", ""},
        {"vscode://file/etc/hosts", ""},
        {"smb://server/share", ""},
        {"http://", ""},
        {"https://example.com/\x1b[31m", ""},
        {"https://exa mple.com/", ""},
        {QString::fromUtf8("https://example.com/\u202egnp.exe"), ""}, // a right-to-left override
        {"", ""},
    };
    for (const auto& [target, opened] : cases) {
        const QUrl url = LinkOpener::openableUrl(target);
        EXPECT_EQ(url.isValid() ? url.toDisplayString() : QString(), opened) << target.toStdString();
    }
}

class TerminalLinksInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewTest::ensureApplication();
        host = std::make_unique<ViewTest::ScrollHost>(QSize(800, 400));
        host->terminal().start(std::make_unique<SilentPty>());
        host->terminal().setInputObserver([this](std::string_view bytes) { sent += bytes; });
        for (const char* scheme : {"http", "https", "javascript", "file", "mailto"}) {
            QDesktopServices::setUrlHandler(scheme, &opened, "open");
        }
    }
    void TearDown() override
    {
        for (const char* scheme : {"http", "https", "javascript", "file", "mailto"}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
        host.reset();
    }
    TerminalTextView& view() { return host->view(); }
    void feed(std::string_view bytes)
    {
        host->feed(bytes);
        ASSERT_TRUE(ViewTest::waitUntil([this] { return !view().framePending(); }));
    }
    // The middle of a screen cell.
    QPoint cell(int row, int column)
    {
        const int top = host->terminal().screen().screenTop();
        return (view().cellOrigin(top + row, column) +
                QPointF(view().cellAdvance() / 2, view().linePitch() / 2))
            .toPoint();
    }
    QVariant query(Qt::InputMethodQuery what) { return static_cast<QWidget&>(view()).inputMethodQuery(what); }

    std::unique_ptr<ViewTest::ScrollHost> host;
    OpenedUrls opened;
    std::string sent;
};

TEST_F(TerminalLinksInputTest, HoverUnderlinesAndCtrlClickOpensOnlySafeLinks)
{
    feed("see https://example.com/x, or \x1b]8;;https://target.example/\x1b\\click here\x1b]8;;\x1b\\ "
         "\x1b]8;;javascript:alert(1)\x1b\\evil\x1b]8;;\x1b\\\r\n");
    QTest::mouseMove(&view(), cell(0, 8));
    ASSERT_TRUE(view().hoveredLink());
    EXPECT_EQ(view().hoveredLink()->target, "https://example.com/x");
    EXPECT_EQ(view().cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(&view(), Qt::LeftButton, Qt::NoModifier, cell(0, 8));
    EXPECT_TRUE(opened.urls.empty()) << "a plain click selects, it opens nothing";
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, cell(0, 8));
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, cell(0, 32));
    EXPECT_EQ(opened.urls, (std::vector<QString>{"https://example.com/x", "https://target.example/"}));

    // The OSC 8 link hovers whole; the javascript: one is no link at all.
    QTest::mouseMove(&view(), cell(0, 38));
    ASSERT_TRUE(view().hoveredLink());
    EXPECT_TRUE(view().hoveredLink()->hyperlink);
    EXPECT_EQ(view().hoveredLink()->spans,
              (std::vector<LinkSpan>{{host->terminal().screen().screenTop(), 30, 40}}));
    QTest::mouseMove(&view(), cell(0, 42));
    EXPECT_FALSE(view().hoveredLink());
    EXPECT_NE(view().cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, cell(0, 42));
    EXPECT_EQ(opened.urls.size(), 2u);

    // A program that takes the mouse gets Ctrl+click; Ctrl+Shift+click still opens.
    QApplication::setActiveWindow(view().window());
    ViewTest::spinFor(TerminalTextView::activatingClickMs + 50); // not the click that activates it
    feed("\x1b[?1000h");
    sent.clear();
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier, cell(0, 8));
    EXPECT_EQ(opened.urls.size(), 2u);
    EXPECT_FALSE(sent.empty()) << "the click was reported";
    QTest::mouseClick(&view(), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, cell(0, 8));
    EXPECT_EQ(opened.urls.size(), 3u);
}

TEST_F(TerminalLinksInputTest, PreeditIsDrawnAtTheCursorAndOnlyTheCommitIsSent)
{
    feed("abcdef\r");
    // The whole pixels of cells 4 and 5 (the preedit's edge may share a pixel column with cell 4).
    const QRect after(view().cellOrigin(host->terminal().screen().screenTop(), 4).toPoint() + QPoint(1, 0),
                      QSize(int(view().cellAdvance() * 2) - 2, int(view().linePitch())));
    const QImage before = ViewTest::grab(view(), after);
    const QImage plain = ViewTest::grab(view());

    QTextCharFormat underline;
    underline.setFontUnderline(true);
    QInputMethodEvent preedit(
        QStringLiteral("\u306b\u307b"),
        {{QInputMethodEvent::Cursor, 2, 1, {}}, {QInputMethodEvent::TextFormat, 0, 2, underline}});
    QCoreApplication::sendEvent(&view(), &preedit);
    EXPECT_EQ(view().preeditText(), QStringLiteral("\u306b\u307b"));
    EXPECT_EQ(sent, "");
    // Two wide characters cover cells 0-3; the program's "ef" in cells 4-5 stays where it was.
    EXPECT_NE(ViewTest::grab(view()), plain);
    EXPECT_EQ(ViewTest::grab(view(), after), before);

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u65e5\u672c"));
    QCoreApplication::sendEvent(&view(), &commit);
    EXPECT_EQ(sent, "\xe6\x97\xa5\xe6\x9c\xac");
    EXPECT_TRUE(view().preeditText().isEmpty());
    EXPECT_EQ(ViewTest::grab(view()), plain);
}

TEST_F(TerminalLinksInputTest, CandidatesFollowTheCursorAndStayWhileItIsHidden)
{
    feed("abc");
    const QRect shown = query(Qt::ImCursorRectangle).toRect();
    const int top = host->terminal().screen().screenTop();
    EXPECT_EQ(shown.topLeft(), view().cellOrigin(top, 3).toPoint());
    feed("\x1b[?25l\x1b[5;10Hstatus");
    EXPECT_EQ(query(Qt::ImCursorRectangle).toRect(), shown);
    feed("\x1b[?25h\x1b[2;2H");
    EXPECT_EQ(query(Qt::ImCursorRectangle).toRect().topLeft(), view().cellOrigin(top + 1, 1).toPoint());
    EXPECT_TRUE(query(Qt::ImEnabled).toBool());
}

TEST_F(TerminalLinksInputTest, DroppedFilesArePastedAsQuotedPaths)
{
    // As the window system delivers it: an enter (which the drop goes to), then the drop.
    const auto drop = [this](const QMimeData& data) {
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(cell(0, 0), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(cell(0, 0), offered, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view(), &drop);
        EXPECT_TRUE(drop.isAccepted());
    };
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/tmp/a b/it's.txt"), QUrl::fromLocalFile("/tmp/plain.txt")});
    drop(files);
    EXPECT_EQ(sent, "'/tmp/a b/it'\\''s.txt' /tmp/plain.txt ");

    // Bracketed when the program asked; dropped text is cleaned as a paste is.
    feed("\x1b[?2004h");
    sent.clear();
    QMimeData text;
    text.setText("echo hi\x1b[201~\x03");
    drop(text);
    EXPECT_EQ(sent, "\x1b[200~echo hi[201~\x1b[201~");
}

} // namespace

#include "TerminalLinksInputTest.moc"
