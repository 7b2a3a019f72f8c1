// The real window on a real X server (Xvfb) with openbox and picom over a checkerboard root:
// translucency inside the rounded glass and opacity outside it, the opaque default grey, the
// compositor followed live, the blur-behind property, and every menu shortcut sent with xdotool.
#include "XServerStack.h"
#include "app/CompositingWatcher.h"
#include "app/GlassBackdrop.h"
#include "app/SettingsDialog.h"
#include "app/TerminalWindow.h"
#include "app/VitrionApp.h"
#include "app/X11Glass.h"
#include "settings/AppModel.h"
#include "terminal/Terminal.h"
#include "view/TerminalSurface.h"
#include "view/TerminalTextView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

constexpr int square = 64; // checkerboard square of the root background
const QColor lightSquare(0xe6, 0xe6, 0xe6);
const QColor darkSquare(0x1a, 0x1a, 0x1a);

struct Samples {
    double light = 0; // mean grey over light squares
    double dark = 0;
    double spread = 0; // largest channel difference from the overall mean
    QColor first;
};

class RealX11Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        stack = new XServerStack;
        if (!stack->startServer(1024, 768)) {
            return;
        }
        ASSERT_TRUE(stack->startWindowManager()) << "openbox did not start";
        ASSERT_TRUE(stack->setRootBackground(
            {QStringLiteral("checker"), QString::number(square), lightSquare.name(), darkSquare.name()}));
        ASSERT_TRUE(stack->startCompositor()) << "picom did not start";

        home = new QTemporaryDir;
        qputenv("HOME", home->path().toUtf8());
        qputenv("DISPLAY", stack->display().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
        QDir(home->path()).mkpath(QStringLiteral(".config/Vitrion"));
        QFile config(home->filePath(QStringLiteral(".config/Vitrion/config.json")));
        config.open(QIODevice::WriteOnly);
        config.write(R"({"blur":0.72,"configurationVersion":2,"cornerRadius":20,"cursorStyle":"Block",
            "fontName":"Menlo","fontSize":14,"lineSpacing":1.15,"material":"HUD","opacity":0.5,"padding":24,
            "saturation":0,"shell":"sh","textBlue":0.96,"textGreen":0.93,"textRed":0.92,"tintBlue":0.21,
            "tintGreen":0.15,"tintRed":0.11})");
        config.close();

        static int argc = 1;
        static char name[] = "vitrion_x11_tests";
        static char* argv[] = {name, nullptr};
        application = new QApplication(argc, argv);
        vitrion = new VitrionApp;
        vitrion->mainWindow()->move(100, 80);
        vitrion->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(vitrion->mainWindow(), 10000));
    }

    static void TearDownTestSuite()
    {
        delete vitrion; // hangs up the shell
        vitrion = nullptr;
        delete application; // before the server goes away
        application = nullptr;
        delete stack; // picom, openbox, Xvfb
        stack = nullptr;
        delete home;
        home = nullptr;
    }

    void SetUp() override
    {
        if (!application) {
            GTEST_SKIP() << "real-X tests skipped: " << stack->why().toStdString();
        }
    }

    static TerminalWindow* content() { return vitrion->terminalWindow(); }
    static QRect glassOnScreen() { return QRect(content()->mapToGlobal(QPoint(0, 0)), content()->size()); }

    static bool lightAt(const QPoint& p) { return ((p.x() / square) + (p.y() / square)) % 2 == 0; }

    // Square centres inside the glass, away from the rounded corners and the shell's first lines.
    static QList<QPoint> glassSamplePoints()
    {
        const QRect glass = glassOnScreen().adjusted(30, 30, -30, -30);
        QList<QPoint> points;
        for (int y = glass.top() + glass.height() / 2; y < glass.bottom(); ++y) {
            for (int x = glass.left(); x < glass.right(); ++x) {
                if (x % square == square / 2 && y % square == square / 2) {
                    points.append(QPoint(x, y));
                }
            }
        }
        return points;
    }

    static Samples sample(const QImage& screen)
    {
        Samples result;
        int lights = 0, darks = 0;
        double sum[3] = {0, 0, 0};
        const QList<QPoint> points = glassSamplePoints();
        for (const QPoint& p : points) {
            const QColor c = screen.pixelColor(p);
            const double grey = (c.red() + c.green() + c.blue()) / 3.0;
            (lightAt(p) ? result.light : result.dark) += grey;
            ++(lightAt(p) ? lights : darks);
            sum[0] += c.red();
            sum[1] += c.green();
            sum[2] += c.blue();
        }
        result.light /= std::max(1, lights);
        result.dark /= std::max(1, darks);
        for (const QPoint& p : points) {
            const QColor c = screen.pixelColor(p);
            const int channels[3] = {c.red(), c.green(), c.blue()};
            for (int i = 0; i < 3; ++i) {
                result.spread = std::max(result.spread, std::abs(channels[i] - sum[i] / points.size()));
            }
        }
        result.first = points.isEmpty() ? QColor() : screen.pixelColor(points.first());
        return result;
    }

    // Screenshots until the condition holds (the compositor repaints a moment after a change).
    static QImage screenWhen(const std::function<bool(const QImage&)>& condition)
    {
        QImage screen;
        for (int attempt = 0; attempt < 40; ++attempt) {
            QTest::qWait(100);
            screen = stack->screenshot();
            if (!screen.isNull() && condition(screen)) {
                break;
            }
        }
        return screen;
    }

    static void setSettings(const std::function<void(VitrionSettings&)>& change)
    {
        vitrion->model().updateSettings(change);
        QTest::qWait(50);
    }

    static QString windowId() { return QString::number(vitrion->mainWindow()->winId()); }

    static bool key(const QString& chord)
    {
        stack->run(QStringLiteral("xdotool"),
                   {QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId()});
        QTest::qWait(100);
        return stack->run(QStringLiteral("xdotool"),
                          {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), chord});
    }

    static inline XServerStack* stack = nullptr;
    static inline QTemporaryDir* home = nullptr;
    static inline QApplication* application = nullptr;
    static inline VitrionApp* vitrion = nullptr;
};

bool near(const QColor& c, const QColor& expected, int tolerance)
{
    return std::abs(c.red() - expected.red()) <= tolerance &&
           std::abs(c.green() - expected.green()) <= tolerance &&
           std::abs(c.blue() - expected.blue()) <= tolerance;
}

} // namespace

TEST_F(RealX11Test, CompositorIsDetectedAndThePatternShowsThroughTheGlassOnly)
{
    ASSERT_TRUE(QTest::qWaitFor([] { return content()->compositingWatcher()->isActive(); }, 10000));
    EXPECT_TRUE(content()->backdrop()->compositingActive());

    const QColor windowColor(28, 38, 54); // (0.11, 0.15, 0.21)
    const QRect glass = glassOnScreen();
    const QPoint menuBar = vitrion->mainWindow()->mapToGlobal(QPoint(300, 4));
    // Until its first frame is composited a new ARGB window shows what is behind it everywhere, so
    // wait for the opaque menu bar as well as for the pattern inside the glass.
    const QImage screen = screenWhen([&](const QImage& s) {
        const Samples m = sample(s);
        return m.light - m.dark > 30 && near(s.pixelColor(menuBar), windowColor, 3);
    });
    ASSERT_FALSE(screen.isNull());
    const Samples inside = sample(screen);
    EXPECT_GT(inside.light - inside.dark, 30) << "light " << inside.light << " dark " << inside.dark;

    // Outside the rounded rectangle the window is opaque, whatever lies behind.
    for (const QPoint& corner : {glass.topLeft() + QPoint(1, 1), glass.topRight() + QPoint(-1, 1),
                                 glass.bottomLeft() + QPoint(1, -1), glass.bottomRight() + QPoint(-1, -1)}) {
        EXPECT_TRUE(near(screen.pixelColor(corner), windowColor, 3))
            << corner.x() << "," << corner.y() << " " << screen.pixelColor(corner).name().toStdString();
    }
    EXPECT_TRUE(near(screen.pixelColor(menuBar), windowColor, 3))
        << screen.pixelColor(menuBar).name().toStdString();
}

TEST_F(RealX11Test, DefaultsShowTheOpaqueLuminanceGrey)
{
    setSettings([](VitrionSettings& s) { s.opacity = 1.0; });
    const QImage screen = screenWhen([](const QImage& s) { return sample(s).spread < 3; });
    const Samples glass = sample(screen);
    EXPECT_LT(glass.spread, 3);
    EXPECT_TRUE(near(glass.first, QColor(37, 37, 37), 2)) << glass.first.name().toStdString(); // 0.1458 x 255
    setSettings([](VitrionSettings& s) { s.opacity = 0.5; });
}

TEST_F(RealX11Test, BlurBehindPropertyCoversTheGlassAndFollowsTheSettings)
{
    QWindow* handle = vitrion->mainWindow()->windowHandle();
    const auto region = X11Glass::blurBehindRegion(handle);
    ASSERT_TRUE(region.has_value());
    EXPECT_EQ(*region, content()->blurRegion());
    EXPECT_FALSE(region->isEmpty());

    setSettings([](VitrionSettings& s) { s.cornerRadius = 0; });
    EXPECT_EQ(X11Glass::blurBehindRegion(handle)->size(), 1);

    // Blur 0.2 shows the clear Content glass: no property, so the compositor does not blur, and a
    // square's edge stays as sharp as its centres are apart. With the property the box blur mixes the
    // two sides of the edge.
    const QRect glass = glassOnScreen().adjusted(40, 40, -40, -40);
    QPoint edge; // first pixel right of a light-to-dark vertical edge
    const int y = (glass.top() + glass.height() * 3 / 4) / square * square + square / 2;
    for (int x = (glass.left() / square + 1) * square; x + square < glass.right(); x += square) {
        if (lightAt(QPoint(x - 1, y)) && x - square > glass.left()) {
            edge = QPoint(x, y);
            break;
        }
    }
    ASSERT_FALSE(edge.isNull());
    const auto sharpness = [edge](const QImage& s) {
        const auto grey = [&s](QPoint p) { return double(qGray(s.pixel(p))); };
        const double centres = grey(edge - QPoint(square / 2, 0)) - grey(edge + QPoint(square / 2, 0));
        const double across = grey(edge - QPoint(3, 0)) - grey(edge + QPoint(2, 0));
        return centres > 10 ? across / centres : 0.0;
    };
    setSettings([](VitrionSettings& s) { s.blur = 0.2; });
    EXPECT_FALSE(X11Glass::blurBehindRegion(handle).has_value());
    const QImage sharp = screenWhen([&](const QImage& s) { return sharpness(s) > 0.85; });
    EXPECT_GT(sharpness(sharp), 0.85);
    setSettings([](VitrionSettings& s) { s.blur = 0.72; });
    EXPECT_TRUE(X11Glass::blurBehindRegion(handle).has_value());
    const QImage blurred = screenWhen([&](const QImage& s) { return sharpness(s) < 0.7; });
    EXPECT_LT(sharpness(blurred), 0.7);
    setSettings([](VitrionSettings& s) { s.cornerRadius = 20; });
}

TEST_F(RealX11Test, CompositorStoppingAndStartingIsFollowedLive)
{
    const WId window = vitrion->mainWindow()->winId();
    stack->stopCompositor();
    ASSERT_TRUE(QTest::qWaitFor([] { return !content()->compositingWatcher()->isActive(); }, 5000));
    EXPECT_FALSE(content()->backdrop()->compositingActive());
    // Without a compositor the glass is painted opaque: no pattern, no undefined pixels.
    const QImage screen = screenWhen([](const QImage& s) { return sample(s).spread < 3; });
    EXPECT_LT(sample(screen).spread, 3);

    ASSERT_TRUE(stack->startCompositor());
    ASSERT_TRUE(QTest::qWaitFor([] { return content()->compositingWatcher()->isActive(); }, 5000));
    EXPECT_TRUE(content()->backdrop()->compositingActive());
    EXPECT_EQ(vitrion->mainWindow()->winId(), window); // not recreated
}

TEST_F(RealX11Test, EveryMenuShortcutFiresFromTheKeyboard)
{
    TerminalTextView* view = content()->surface()->textView();
    ASSERT_TRUE(QTest::qWaitFor([view] { return view->terminal().pty() != nullptr; }, 5000));

    // Ctrl+Shift+comma arrives as Ctrl+Shift+less: the sheet opens all the same; Escape closes it.
    ASSERT_TRUE(key(QStringLiteral("ctrl+shift+comma")));
    EXPECT_TRUE(QTest::qWaitFor([] { return vitrion->model().settingsPresented(); }, 3000));
    ASSERT_NE(content()->sheet(), nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(content()->sheet()));
    QTest::qWait(200);
    stack->run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(QTest::qWaitFor([] { return !vitrion->model().settingsPresented(); }, 3000));

    const QUuid before = vitrion->model().sessionID();
    ASSERT_TRUE(key(QStringLiteral("ctrl+shift+n")));
    EXPECT_TRUE(QTest::qWaitFor([before] { return vitrion->model().sessionID() != before; }, 3000));

    view = content()->surface()->textView();
    ASSERT_TRUE(
        QTest::qWaitFor([view] { return view->terminal().pty() != nullptr && view->hasFocus(); }, 5000));
    std::string sent;
    view->terminal().setInputObserver([&sent](std::string_view bytes) { sent.append(bytes); });
    QGuiApplication::clipboard()->setText(QStringLiteral("from-the-clipboard"));
    ASSERT_TRUE(key(QStringLiteral("ctrl+shift+v")));
    EXPECT_TRUE(
        QTest::qWaitFor([&sent] { return sent.find("from-the-clipboard") != std::string::npos; }, 3000));
    view->terminal().setInputObserver({});

    QSignalSpy quit(vitrion->quitAction(), &QAction::triggered);
    ASSERT_TRUE(key(QStringLiteral("ctrl+shift+q")));
    EXPECT_TRUE(QTest::qWaitFor([&quit] { return quit.count() == 1; }, 3000));
}
