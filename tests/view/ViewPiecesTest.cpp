// The view's Qt pieces on their own: font resolution with its stand-in table and fractional sizes,
// the pointer's image and hot spot, frame coalescing, Qt key events turned into shell bytes, and a
// view attached to one terminal, then another, then none.
#include "ViewTestSupport.h"
#include "engine/ScreenReader.h"
#include "terminal/KeyEncoder.h"
#include "terminal/Terminal.h"
#include "view/FrameScheduler.h"
#include "view/GlyphMetrics.h"
#include "view/KeyEventTranslator.h"
#include "view/PointerCursor.h"
#include "view/TerminalFont.h"
#include "view/TerminalTextView.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ViewPiecesTest : public ::testing::Test {
protected:
    void SetUp() override { ViewTest::ensureApplication(); }
};

// Output flooding in until the clock reads untilMs: many requests per turn of the event loop, so that
// a slow turn of a loaded machine is a flood too.
void floodUntil(FrameScheduler& scheduler, const QElapsedTimer& clock, qint64 untilMs)
{
    while (clock.elapsed() < untilMs) {
        for (int i = 0; i < 4 * FrameScheduler::floodRequests; ++i) {
            scheduler.request();
        }
        QTest::qWait(1);
    }
}

TEST_F(ViewPiecesTest, NamedFontsResolveToInstalledFamiliesOrTheirStandIns)
{
    const std::pair<QString, QString> standIns[] = {
        {QStringLiteral("Menlo"), QStringLiteral("DejaVu Sans Mono")},
        {QStringLiteral("Monaco"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("SF Mono"), QStringLiteral("JetBrains Mono")},
        {QStringLiteral("Courier"), QStringLiteral("Nimbus Mono PS")},
    };
    for (const auto& [name, standIn] : standIns) {
        ASSERT_TRUE(QFontDatabase::hasFamily(standIn)) << standIn.toStdString() << " is in the package list";
        EXPECT_EQ(TerminalFont::resolve(name, 14).family(), standIn);
        // What is drawn is that family, not a substitute chosen by the font matcher.
        EXPECT_TRUE(QFontInfo(TerminalFont::resolve(name, 14)).family().startsWith(standIn));
    }
    // An installed family is used as named; an unknown name falls back to the desktop's monospace.
    EXPECT_EQ(TerminalFont::familyFor(QStringLiteral("Liberation Mono")), QStringLiteral("Liberation Mono"));
    const QString monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    EXPECT_EQ(TerminalFont::familyFor(QStringLiteral("No Such Font 42")), monospace);
    EXPECT_EQ(TerminalFont::familyFor(QString()), monospace);
    // A proportional family is a real family too: the user asked for it by name.
    EXPECT_EQ(TerminalFont::familyFor(QStringLiteral("DejaVu Sans")), QStringLiteral("DejaVu Sans"));
}

TEST_F(ViewPiecesTest, FontEmIsTheSizeInLogicalPixelsFractionsIncluded)
{
    for (const double size : {6.0, 13.5, 14.0, 21.25}) {
        const QFont font = TerminalFont::resolve(QStringLiteral("Menlo"), size);
        EXPECT_EQ(font.weight(), QFont::Normal);
        EXPECT_EQ(font.styleHint(), QFont::Monospace);
        EXPECT_NEAR(font.pointSizeF() * QGuiApplication::primaryScreen()->logicalDotsPerInchY() / 72.0, size,
                    1e-9);
        // DejaVu Sans Mono's advance is 1233/2048 of its em, at the fractional size too.
        GlyphMetrics metrics(font, size);
        EXPECT_NEAR(metrics.advance(), size * 1233.0 / 2048.0, 0.01 * size) << size;
        EXPECT_GT(metrics.lineHeight(), size);
        EXPECT_LT(metrics.lineHeight(), size * 1.3);
    }
    EXPECT_EQ(TerminalFont::usableSize(std::nan("")), 14.0);
    EXPECT_EQ(TerminalFont::usableSize(-3), 1.0);
    EXPECT_EQ(TerminalFont::usableSize(1e9), 400.0);
}

TEST_F(ViewPiecesTest, PointerIsAnOutlinedArrowWithItsHotSpotAtTheTip)
{
    const QCursor& cursor = PointerCursor::shared();
    EXPECT_EQ(&cursor, &PointerCursor::shared());
    EXPECT_EQ(cursor.hotSpot(), QPoint(4, 4));
    const QPixmap pixmap = cursor.pixmap();
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(36, 40));
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const double ratio = pixmap.devicePixelRatio();
    auto at = [&](double x, double y) { return image.pixelColor(qRound(x * ratio), qRound(y * ratio)); };
    // The tip is near the top-left corner; the outline is black, the inside and outside clear.
    EXPECT_GT(at(4, 4).alpha(), 128);
    EXPECT_LT(at(4, 4).red(), 40);
    EXPECT_GT(at(30, 17).alpha(), 128); // the right-hand point of the outline (y-down)
    EXPECT_EQ(at(14, 18).alpha(), 0);   // inside
    EXPECT_EQ(at(30, 36).alpha(), 0);   // outside, bottom right
    EXPECT_EQ(at(2, 38).alpha(), 0);    // where the tip would be with an unflipped outline
}

TEST_F(ViewPiecesTest, FramesCoalesceToOnePerSixteenMillisecondsSlowDownInAFloodAndCatchUpWhenItStops)
{
    int frames = 0;
    FrameScheduler scheduler([&frames] { ++frames; });
    scheduler.request();
    scheduler.request();
    EXPECT_EQ(frames, 0); // never inside request(): the caller is in the middle of output
    ASSERT_TRUE(ViewTest::waitUntil([&frames] { return frames == 1; }));
    ViewTest::spinFor(30);
    EXPECT_EQ(frames, 1); // two requests, one frame

    // A steady stream of requests: at most one frame per interval, plus the first.
    QElapsedTimer clock;
    clock.start();
    const int before = frames;
    while (clock.elapsed() < 300) {
        scheduler.request();
        QTest::qWait(1);
    }
    scheduler.flush();
    const int during = frames - before;
    EXPECT_GE(during, 2);
    EXPECT_LE(during, clock.elapsed() / FrameScheduler::frameIntervalMs + 2);
    EXPECT_FALSE(scheduler.isPending());

    // A flood of requests (chunk after chunk of output): frames at the flood's slower pace.
    ViewTest::spinFor(100);
    const int beforeFlood = frames;
    clock.restart();
    floodUntil(scheduler, clock, 700);
    const int flooded = frames - beforeFlood;
    EXPECT_EQ(scheduler.currentIntervalMs(), FrameScheduler::floodIntervalMs);
    EXPECT_GE(flooded, 2);
    EXPECT_LE(flooded, clock.elapsed() / FrameScheduler::floodIntervalMs + 2);

    // The output stops with a frame pending: it runs after the short pause, not the flood's interval.
    scheduler.request();
    clock.restart();
    ASSERT_TRUE(ViewTest::waitUntil([&] { return !scheduler.isPending(); }));
    EXPECT_LT(clock.elapsed(), FrameScheduler::floodIntervalMs / 2);

    // Once the flood is over, the first request after a pause is drawn at once again.
    ViewTest::spinFor(100);
    const int afterPause = frames;
    scheduler.request();
    ViewTest::spinFor(5);
    EXPECT_EQ(frames, afterPause + 1);
}

// The Return that starts a `cat` is echoed with an immediate frame; the flood right behind it must
// not get another full-window frame at the next 16 ms tick.
TEST_F(ViewPiecesTest, AFloodThatStartsJustAfterAFrameWaitsOutTheFloodsInterval)
{
    int frames = 0;
    FrameScheduler scheduler([&frames] { ++frames; });
    scheduler.request();
    ASSERT_TRUE(ViewTest::waitUntil([&frames] { return frames == 1; }));
    QElapsedTimer clock;
    clock.start();
    floodUntil(scheduler, clock, FrameScheduler::floodIntervalMs * 3 / 4);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(scheduler.currentIntervalMs(), FrameScheduler::floodIntervalMs);
    // Still a flood, the deferred frame comes at the flood's pace.
    floodUntil(scheduler, clock, FrameScheduler::floodIntervalMs * 3);
    EXPECT_GE(frames, 2);
    EXPECT_LE(frames, 1 + 3 + 1);
}

// A frame that holds the event loop up (its paint waiting for a busy X server) leaves a gap in the
// output it did not make: that gap must not be taken for the end of the flood, or every frame
// would bring the next one forward and the flood would run at the X server's pace.
TEST_F(ViewPiecesTest, AFrameThatHoldsTheLoopUpDoesNotEndAFlood)
{
    int frames = 0;
    FrameScheduler scheduler([&frames] {
        ++frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    });
    QElapsedTimer clock;
    clock.start();
    floodUntil(scheduler, clock, 1000);
    EXPECT_EQ(scheduler.currentIntervalMs(), FrameScheduler::floodIntervalMs);
    EXPECT_LE(frames, clock.elapsed() / FrameScheduler::floodIntervalMs + 2);
}

std::string bytesFor(int key, Qt::KeyboardModifiers modifiers, const QString& text = {}, quint32 scanCode = 0)
{
    const QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
    const KeyResult result = encodeKey(KeyEventTranslator::describe(event));
    return result.action == KeyAction::send ? result.bytes : "<action>";
}

TEST_F(ViewPiecesTest, QtKeyEventsBecomeTheTerminalsBytes)
{
    // Qt's texts for these keys are control characters; the key identity decides.
    EXPECT_EQ(bytesFor(Qt::Key_Backspace, {}, QStringLiteral("\b")), "\x7f");
    EXPECT_EQ(bytesFor(Qt::Key_Backspace, Qt::AltModifier, QStringLiteral("\b")), "\x1b\x7f");
    EXPECT_EQ(bytesFor(Qt::Key_Return, {}, QStringLiteral("\r")), "\r");
    EXPECT_EQ(bytesFor(Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r")), "\r");
    EXPECT_EQ(bytesFor(Qt::Key_Tab, {}, QStringLiteral("\t")), "\t");
    EXPECT_EQ(bytesFor(Qt::Key_Backtab, Qt::ShiftModifier), "\x1b[Z");
    EXPECT_EQ(bytesFor(Qt::Key_Escape, {}, QStringLiteral("\x1b")), "\x1b");
    EXPECT_EQ(bytesFor(Qt::Key_Left, Qt::ShiftModifier), "\x1b[1;2D");
    EXPECT_EQ(bytesFor(Qt::Key_Left, Qt::AltModifier), "\x1b[1;3D");
    EXPECT_EQ(bytesFor(Qt::Key_PageUp, {}), "\x1b[5~");
    EXPECT_EQ(bytesFor(Qt::Key_F1, {}), "\x1bOP");
    EXPECT_EQ(bytesFor(Qt::Key_F12, {}), "\x1b[24~");
    // Control folds the key's character; Qt's own text for the chord is not used.
    EXPECT_EQ(bytesFor(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01")), "\x01");
    EXPECT_EQ(bytesFor(Qt::Key_Space, Qt::ControlModifier, QStringLiteral(" ")), std::string(1, '\0'));
    EXPECT_EQ(bytesFor(Qt::Key_BracketLeft, Qt::ControlModifier, QStringLiteral("\x1b")), "\x1b");
    EXPECT_EQ(bytesFor(Qt::Key_2, Qt::ControlModifier, QStringLiteral("2")), std::string(1, '\0'));
    EXPECT_EQ(bytesFor(Qt::Key_Slash, Qt::ControlModifier, QStringLiteral("\x1f")), "\x1f");
    EXPECT_EQ(bytesFor(Qt::Key_Underscore, Qt::ControlModifier | Qt::ShiftModifier), "\x1f");
    EXPECT_EQ(bytesFor(Qt::Key_At, Qt::ControlModifier | Qt::ShiftModifier), std::string(1, '\0'));
    EXPECT_EQ(bytesFor(Qt::Key_AsciiCircum, Qt::ControlModifier | Qt::ShiftModifier), "\x1e");
    EXPECT_EQ(bytesFor(Qt::Key_Return, Qt::ControlModifier, QStringLiteral("\r")), "\r");
    EXPECT_EQ(bytesFor(Qt::Key_Backspace, Qt::ControlModifier, QStringLiteral("\b")), "\b");
    // Text, Alt as an ESC prefix, AltGr typing its character.
    EXPECT_EQ(bytesFor(Qt::Key_A, {}, QStringLiteral("a")), "a");
    EXPECT_EQ(bytesFor(Qt::Key_B, Qt::AltModifier, QStringLiteral("b")), "\x1b"
                                                                         "b");
    EXPECT_EQ(bytesFor(Qt::Key_E, Qt::GroupSwitchModifier, QStringLiteral("\u20ac")), "\xe2\x82\xac");
    EXPECT_EQ(bytesFor(Qt::Key_Eacute, {}, QStringLiteral("\u00e9")), "\xc3\xa9");
    // The bound chords are commands, not bytes.
    EXPECT_EQ(bytesFor(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("V")), "<action>");
    EXPECT_EQ(bytesFor(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("C")), "<action>");
}

TEST_F(ViewPiecesTest, ControlOnANonLatinLayoutFoldsTheLatinLetterOfTheSameKey)
{
    // X11 keycode 54 is the C key; on a Russian layout it types U+0441 and Qt reports that letter.
    EXPECT_EQ(KeyEventTranslator::latinCharacterForKeycode(54, false), U'c');
    EXPECT_EQ(KeyEventTranslator::latinCharacterForKeycode(54, true), U'C');
    EXPECT_EQ(bytesFor(0x0441, Qt::ControlModifier, QStringLiteral("\u0441"), 54), "\x03");
    EXPECT_EQ(bytesFor(0x0441, {}, QStringLiteral("\u0441"), 54), "\xd1\x81");
}

TEST_F(ViewPiecesTest, AViewShowsTheTerminalItIsAttachedToAndAnEmptyScreenWithoutOne)
{
    VitrionSettings green;
    green.textRed = 0.2;
    ViewTest::ScrollHost host(QSize(800, 600), green);
    TerminalTextView& view = host.view();
    const auto shown = [&view] {
        ViewTest::spinFor(30);
        view.selectAll();
        return view.selectedText().trimmed().toStdString();
    };
    host.feed("first terminal");
    Terminal second;
    second.receive("second terminal");
    EXPECT_EQ(shown(), "first terminal");
    view.attach(&second);
    EXPECT_EQ(shown(), "second terminal");
    EXPECT_EQ(second.screen().baseTextColor(), host.terminal().screen().baseTextColor())
        << "the view's colours";
    host.feed(" changed"); // the first terminal goes on without being shown
    second.receive(", still shown");
    EXPECT_EQ(shown(), "second terminal, still shown");
    {
        Terminal passing;
        passing.receive("gone soon");
        view.attach(&passing);
        EXPECT_EQ(shown(), "gone soon");
    }
    EXPECT_EQ(shown(), "");
    view.attach(&host.terminal());
    EXPECT_EQ(shown(), "first terminal changed");
}

} // namespace
