// The view's picture, read back from grabbed images: text in each cell's colour at its cell, no
// background anywhere, the three cursor shapes, wide glyphs keeping their neighbours clear, rows
// wrapping in a narrow view, drawn lines reused until their row changes, frames repainting only what
// changed, the cursor's line scrolled into view, and mouse selection.
#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "view/CursorShape.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <gtest/gtest.h>

namespace {

using ViewTest::ScrollHost;

struct Ink {
    int pixels = 0;   // pixels with any coverage
    QColor strongest; // the most opaque pixel
};

Ink inkIn(const QImage& image, QRectF area)
{
    Ink ink;
    const QRect pixels = area.toAlignedRect().intersected(image.rect());
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.alpha() > 0) {
                ++ink.pixels;
                if (color.alpha() > ink.strongest.alpha() || !ink.strongest.isValid()) {
                    ink.strongest = color;
                }
            }
        }
    }
    return ink;
}

// The whole pixels inside an area: a neighbour's antialiased edge may touch a cell's border pixels.
QRectF interiorOf(QRectF area)
{
    const double left = std::ceil(area.left());
    const double top = std::ceil(area.top());
    return {left, top, std::floor(area.right()) - left - 0.5, std::floor(area.bottom()) - top - 0.5};
}

VitrionSettings settingsWith(TerminalCursorStyle style)
{
    VitrionSettings settings;
    settings.cursorStyle = style;
    settings.textRed = 1.0;
    settings.textGreen = 0.0;
    settings.textBlue = 0.0;
    return settings;
}

class TerminalDrawingTest : public ::testing::Test {
protected:
    void SetUp() override { ViewTest::ensureApplication(); }

    // A cell's rectangle: its laid-out origin, one advance wide, one line pitch high.
    static QRectF cellRect(TerminalTextView& view, int row, int column)
    {
        return {view.cellOrigin(row, column), QSizeF(view.cellAdvance(), view.linePitch())};
    }
    static void settle(TerminalTextView& view)
    {
        ASSERT_TRUE(ViewTest::waitUntil([&view] { return view.framesRun() > 0 && !view.framePending(); }));
    }
    static bool isCursorGrey(QColor color)
    {
        const int grey = qRound(CursorShape::grey * 255);
        return color.alpha() == 255 && std::abs(color.red() - grey) <= 1 && color.red() == color.green() &&
               color.green() == color.blue();
    }
};

TEST_F(TerminalDrawingTest, TextIsDrawnInEachCellsColourAtItsCellWithNoBackground)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    // M in the base colour (red), then green and blue from the 256-colour cube, a blank, and W.
    host.engine().consume("M\x1b[38;5;46mM\x1b[38;5;21mM\x1b[0m W");
    settle(host.view());
    const QImage image = ViewTest::grab(host.view());

    const QColor red = inkIn(image, cellRect(host.view(), 0, 0)).strongest;
    EXPECT_GT(red.red(), 200);
    EXPECT_LT(red.green(), 60);
    const QColor green = inkIn(image, cellRect(host.view(), 0, 1)).strongest;
    EXPECT_GT(green.green(), 200);
    EXPECT_LT(green.red(), 60);
    const QColor blue = inkIn(image, cellRect(host.view(), 0, 2)).strongest;
    EXPECT_GT(blue.blue(), 200);
    EXPECT_LT(blue.green(), 60);
    EXPECT_GT(inkIn(image, cellRect(host.view(), 0, 4)).pixels, 0);

    // The blank cell, the rest of the row, the next row and the inset carry no paint at all.
    EXPECT_EQ(inkIn(image, interiorOf(cellRect(host.view(), 0, 3))).pixels, 0);
    EXPECT_EQ(inkIn(image, QRectF(host.view().cellOrigin(0, 6), QSizeF(300, 10))).pixels, 0);
    EXPECT_EQ(inkIn(image, interiorOf(cellRect(host.view(), 1, 0))).pixels, 0);
    EXPECT_EQ(inkIn(image, QRectF(0, 0, 800, 1.5)).pixels, 0);
}

TEST_F(TerminalDrawingTest, BlockCursorIsGreyWithTheCharacterInBlack)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::block));
    host.engine().consume("ab\x1b[D"); // cursor back over the b
    settle(host.view());
    const QRectF block = host.view().cursorRectangle();
    EXPECT_EQ(block.topLeft(), host.view().cellOrigin(0, 1));
    EXPECT_NEAR(block.width(), 14 * 0.62, 1e-9);
    EXPECT_NEAR(block.height(), 14 * 1.15, 1e-9);

    const QImage image = ViewTest::grab(host.view());
    int grey = 0;
    int black = 0;
    int other = 0;
    const QRect inside = block.toAlignedRect().adjusted(1, 1, -1, -1);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (isCursorGrey(color)) {
                ++grey;
            } else if (color.alpha() == 255 && color.red() < 40 && color.green() < 40) {
                ++black;
            } else if (color.red() > color.green() + 60) {
                ++other; // the character's own red would show through
            }
        }
    }
    EXPECT_GT(grey, inside.width() * inside.height() / 2);
    EXPECT_GT(black, 4);
    EXPECT_EQ(other, 0);

    // Over a blank the block is plain grey.
    host.engine().consume("\x1b[C ");
    settle(host.view());
    const QImage blank = ViewTest::grab(host.view());
    const QRect blankInside = host.view().cursorRectangle().toAlignedRect().adjusted(1, 1, -1, -1);
    for (int y = blankInside.top(); y <= blankInside.bottom(); ++y) {
        for (int x = blankInside.left(); x <= blankInside.right(); ++x) {
            ASSERT_TRUE(isCursorGrey(blank.pixelColor(x, y))) << x << "," << y;
        }
    }
}

TEST_F(TerminalDrawingTest, BeamAndUnderlineAreTwoPixelBars)
{
    ScrollHost beamHost(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    settle(beamHost.view());
    const QRectF beam = beamHost.view().cursorRectangle();
    EXPECT_EQ(beam, QRectF(TerminalTextView::textInset, TerminalTextView::textInset, 2, 14 * 1.15));
    const QImage beamImage = ViewTest::grab(beamHost.view());
    const int middle = qRound(beam.center().y());
    EXPECT_TRUE(isCursorGrey(beamImage.pixelColor(2, middle)));
    EXPECT_TRUE(isCursorGrey(beamImage.pixelColor(3, middle)));
    EXPECT_EQ(beamImage.pixelColor(5, middle).alpha(), 0);

    ScrollHost underlineHost(QSize(800, 600), settingsWith(TerminalCursorStyle::underline));
    settle(underlineHost.view());
    const QRectF underline = underlineHost.view().cursorRectangle();
    EXPECT_NEAR(underline.top(), TerminalTextView::textInset + 14 * 1.15 - 2, 1e-9);
    EXPECT_NEAR(underline.width(), 14 * 0.62, 1e-9);
    EXPECT_EQ(underline.height(), 2.0);
    const QImage underlineImage = ViewTest::grab(underlineHost.view());
    const int bottom = static_cast<int>(underline.top()) + 1;
    EXPECT_TRUE(isCursorGrey(underlineImage.pixelColor(5, bottom)));
    EXPECT_EQ(underlineImage.pixelColor(5, qRound(underline.top()) - 6).alpha(), 0);
}

TEST_F(TerminalDrawingTest, WideFallbackGlyphTakesTwoCellsOfTheGrid)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    host.engine().consume("\xe4\xb8\xad"
                          "ab"); // U+4E2D from the CJK fallback font, then ASCII
    settle(host.view());
    const double advance = host.view().cellAdvance();
    const double a = host.view().cellOrigin(0, 2).x();
    EXPECT_NEAR(a, TerminalTextView::textInset + advance * 2, 1e-3);
    EXPECT_NEAR(host.view().cellOrigin(0, 3).x(), a + advance, 1e-3);
    EXPECT_EQ(host.view().cursorRectangle().x(), host.view().cellOrigin(0, 4).x());

    // The ideograph's ink ends before the a starts, and the a's cell holds the a alone.
    const QImage image = ViewTest::grab(host.view());
    EXPECT_GT(inkIn(image, QRectF(QPointF(2, 2), QPointF(a - 0.5, 2 + host.view().linePitch()))).pixels, 20);
    const double pitch = host.view().linePitch();
    const QImage ideographOnly = [&] {
        ScrollHost reference(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
        reference.engine().consume("\xe4\xb8\xad\r"); // the beam goes back over the ideograph
        settle(reference.view());
        return ViewTest::grab(reference.view());
    }();
    EXPECT_EQ(inkIn(ideographOnly, interiorOf(QRectF(a, 2, 3 * advance, pitch))).pixels, 0);
    // The a's cell holds the a's ink, roughly as much as a plain a has (sub-pixel placement varies).
    const QImage plain = [&] {
        ScrollHost reference(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
        reference.engine().consume("a\r\n");
        settle(reference.view());
        return ViewTest::grab(reference.view());
    }();
    const int plainInk = inkIn(plain, QRectF(2, 2, advance, pitch)).pixels;
    EXPECT_NEAR(inkIn(image, cellRect(host.view(), 0, 2)).pixels, plainInk, plainInk * 0.4);
}

TEST_F(TerminalDrawingTest, DrawnLinesAreReusedUntilTheirRowChanges)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    host.engine().consume("gjy\r\nsecond\r\nthird");
    settle(host.view());
    const QImage first = ViewTest::grab(host.view());
    const std::size_t drawn = host.view().linesDrawn();
    ASSERT_GT(drawn, 2u);

    // An unchanged screen is painted from the drawn lines: the same picture, nothing drawn again.
    EXPECT_EQ(ViewTest::grab(host.view()), first);
    EXPECT_EQ(host.view().linesDrawn(), drawn);

    // Descenders reach below the baseline, outside the line's tight ink box: they are not clipped.
    const double pitch = host.view().linePitch();
    const auto lowerPart = [&](int row, int column) {
        const QRectF cell = cellRect(host.view(), row, column);
        return QRectF(cell.left(), cell.top() + pitch * 0.72, cell.width(), pitch * 0.28);
    };
    EXPECT_GT(inkIn(first, lowerPart(0, 0)).pixels, 3);
    EXPECT_EQ(inkIn(first, interiorOf(lowerPart(1, 1))).pixels, 0); // the e of "second"

    // One row rewritten: only its line is drawn again, in its new text and colour.
    host.engine().consume("\x1b[2;1H\x1b[38;5;46mS");
    settle(host.view());
    const QImage changed = ViewTest::grab(host.view());
    EXPECT_EQ(host.view().linesDrawn(), drawn + 1);
    const QColor green = inkIn(changed, interiorOf(cellRect(host.view(), 1, 0))).strongest;
    EXPECT_GT(green.green(), 200);
    EXPECT_LT(green.red(), 60);
    const QRect unchangedRow = interiorOf(QRectF(host.view().cellOrigin(0, 0), QSizeF(300, pitch))).toRect();
    EXPECT_TRUE(changed.copy(unchangedRow) == first.copy(unchangedRow));

    // A narrower view lays every row out again: the lines are drawn anew, not taken from before.
    host.resize(QSize(500, 600));
    ASSERT_TRUE(
        ViewTest::waitUntil([&] { return !host.view().framePending() && host.view().width() < 600; }));
    ViewTest::grab(host.view());
    EXPECT_GT(host.view().linesDrawn(), drawn + 2);
}

// Collects the areas the view is asked to paint.
class PaintAreas : public QObject {
public:
    explicit PaintAreas(QWidget& widget) : widget_(widget) { widget_.installEventFilter(this); }
    ~PaintAreas() override { widget_.removeEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &widget_ && event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    QWidget& widget_;
};

TEST_F(TerminalDrawingTest, AFrameRepaintsOnlyTheLinesAndCursorItChanged)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::block));
    host.engine().consume("first\r\nsecond\r\n$ ");
    settle(host.view());
    ViewTest::grab(host.view());
    const double pitch = host.view().linePitch();

    // A key's echo at the prompt: its line and its neighbours, not the window.
    PaintAreas areas(host.view());
    const auto paintedAfter = [&](const std::string& output) {
        ViewTest::spinFor(50); // the paints an earlier frame asked for
        areas.painted = QRegion();
        const int frames = host.view().framesRun();
        host.engine().consume(output);
        EXPECT_TRUE(ViewTest::waitUntil([&] {
            return host.view().framesRun() > frames && !host.view().framePending() &&
                   !areas.painted.isEmpty();
        }));
        return areas.painted.boundingRect();
    };
    const double advance = host.view().cellAdvance();
    const QRect echo = paintedAfter("x");
    EXPECT_LE(echo.height(), 3 * pitch + 4);
    EXPECT_LE(echo.width(), 6 * advance + 8); // the cell, the cursor's move, a cell either side
    EXPECT_TRUE(echo.contains(host.view().cellOrigin(2, 2).toPoint()));
    EXPECT_FALSE(echo.contains(host.view().cellOrigin(0, 0).toPoint() + QPoint(1, 1)));
    const QColor echoed =
        inkIn(ViewTest::grab(host.view()), interiorOf(cellRect(host.view(), 2, 2))).strongest;
    EXPECT_GT(echoed.red(), 200); // the x in the text colour, not the cursor's grey

    // A row far from the cursor rewritten: that row is repainted too.
    EXPECT_TRUE(
        paintedAfter("\x1b[1;1HF\x1b[3;4H").contains(host.view().cellOrigin(0, 0).toPoint() + QPoint(1, 1)));
    const auto sameAsFresh = [&](const std::string& output) {
        ScrollHost fresh(QSize(800, 600), settingsWith(TerminalCursorStyle::block));
        fresh.engine().consume(output);
        settle(fresh.view());
        return ViewTest::grab(host.view()) == ViewTest::grab(fresh.view());
    };
    EXPECT_TRUE(sameAsFresh("First\r\nsecond\r\n$ x"));

    // A cell in the middle of a line: that stretch, not the line's start or end.
    const QRect middle = paintedAfter("\x1b[2;4HO\x1b[3;4H");
    EXPECT_TRUE(middle.contains(host.view().cellOrigin(1, 3).toPoint() + QPoint(1, 1)));
    EXPECT_FALSE(middle.contains(host.view().cellOrigin(1, 0).toPoint() + QPoint(1, 1)));
    EXPECT_FALSE(middle.contains(host.view().cellOrigin(1, 8).toPoint() + QPoint(1, 1)));
    EXPECT_TRUE(sameAsFresh("First\r\nsecOnd\r\n$ x"));

    // A wide glyph over two cells: both are repainted.
    const QRect wide = paintedAfter("\x1b[1;2H\u6f22\x1b[3;4H");
    EXPECT_TRUE(wide.contains(host.view().cellOrigin(0, 2).toPoint() + QPoint(1, 1)));
    EXPECT_TRUE(sameAsFresh("F\u6f22st\r\nsecOnd\r\n$ x"));
}

TEST_F(TerminalDrawingTest, RowsWrapAtTheViewsWidthWhenItIsNarrow)
{
    ScrollHost host(QSize(300, 500), settingsWith(TerminalCursorStyle::beam), Qt::ScrollBarAlwaysOff);
    ASSERT_EQ(host.engine().columns(), 80); // never below 80, however narrow
    host.engine().consume(std::string(80, 'x'));
    settle(host.view());
    const double advance = host.view().cellAdvance();
    const int perLine = static_cast<int>((300 - 2 * TerminalTextView::textInset + 0.01) / advance);
    const int lines = (80 + perLine - 1) / perLine;
    // The grid has as many rows as the visible height holds; only the first row wraps.
    const int gridRows = static_cast<int>(host.engine().rowCount());
    EXPECT_EQ(host.view().displayLineCount(), gridRows + lines - 1);
    EXPECT_EQ(host.view().cellOrigin(0, perLine),
              QPointF(TerminalTextView::textInset, TerminalTextView::textInset + host.view().linePitch()));
    EXPECT_LE(host.view().cellOrigin(0, perLine - 1).x() + advance, 300 - TerminalTextView::textInset + 0.01);

    const QImage image = ViewTest::grab(host.view());
    EXPECT_GT(inkIn(image, cellRect(host.view(), 0, perLine)).pixels, 0);
    EXPECT_EQ(inkIn(image, QRectF(298, 0, 2, 200)).pixels, 0); // nothing drawn past the edge
    // The rows below moved down by the extra lines.
    EXPECT_EQ(host.view().cellOrigin(1, 0).y(),
              TerminalTextView::textInset + lines * host.view().linePitch());
}

TEST_F(TerminalDrawingTest, OutputScrollsTheCursorsLineIntoView)
{
    ScrollHost host(QSize(500, 200), settingsWith(TerminalCursorStyle::block));
    std::string output;
    for (int i = 0; i < 60; ++i) {
        output += "line " + std::to_string(i) + "\r\n";
    }
    host.engine().consume(output);
    host.engine().consume("$ ");
    auto cursorVisible = [&host] {
        const QRectF cursor = host.view().cursorRectangle().translated(host.view().pos());
        return QRectF(host.area().viewport()->rect()).contains(cursor);
    };
    ASSERT_TRUE(ViewTest::waitUntil([&] { return !host.view().framePending() && cursorVisible(); }));
    EXPECT_GT(host.area().verticalScrollBar()->value(), 0);
    // The history grew to the cursor's row: the document holds every row.
    EXPECT_EQ(host.engine().rowCount(), 61u);
    EXPECT_GE(host.view().height(), 61 * host.view().linePitch());

    // Scrolled away by the user, the next output brings the cursor back.
    host.area().verticalScrollBar()->setValue(0);
    ASSERT_FALSE(cursorVisible());
    host.engine().consume("x");
    EXPECT_TRUE(ViewTest::waitUntil([&] { return !host.view().framePending() && cursorVisible(); }));
}

class TerminalSelectionTest : public TerminalDrawingTest {
protected:
    static void mouse(TerminalTextView& view, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }
    static QPointF centreOf(TerminalTextView& view, int row, int column)
    {
        return cellRect(view, row, column).center();
    }
};

TEST_F(TerminalSelectionTest, DragDoubleAndTripleClickSelectAndCtrlShiftCCopies)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    host.engine().consume("hello brave world\r\nsecond line\r\n");
    settle(host.view());
    TerminalTextView& view = host.view();

    // A drag from the left edge of h to the middle of the b selects "hello " and paints a highlight.
    mouse(view, QEvent::MouseButtonPress, view.cellOrigin(0, 0) + QPointF(1, 5), Qt::LeftButton);
    mouse(view, QEvent::MouseMove, centreOf(view, 0, 6) - QPointF(1, 0), Qt::LeftButton);
    mouse(view, QEvent::MouseButtonRelease, centreOf(view, 0, 6) - QPointF(1, 0), Qt::NoButton);
    EXPECT_EQ(view.selectedText(), QStringLiteral("hello "));
    const QImage image = ViewTest::grab(view);
    EXPECT_GT(image.pixelColor(view.cellOrigin(0, 5).toPoint() + QPoint(3, 3)).alpha(), 0);

    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, centreOf(view, 0, 8).toPoint());
    EXPECT_EQ(view.selectedText(), QStringLiteral("brave"));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, centreOf(view, 0, 8).toPoint());
    // A third click on the spot of a double click selects the row.
    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, centreOf(view, 1, 2).toPoint());
    EXPECT_EQ(view.selectedText(), QStringLiteral("second"));
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, centreOf(view, 1, 2).toPoint());
    EXPECT_EQ(view.selectedText(), QStringLiteral("second line"));

    // Ctrl+Shift+C puts the selection on the clipboard as plain text, also with no shell.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("second line"));

    // Select all joins the rows with "\n"; the next render puts the empty selection at the cursor.
    view.selectAll();
    EXPECT_TRUE(view.selectedText().startsWith(QStringLiteral("hello brave world\nsecond line\n")));
    host.engine().consume("z");
    EXPECT_TRUE(view.selection().isEmpty());
    EXPECT_EQ(view.selection().caret.row, host.engine().cursorRow());
    EXPECT_EQ(view.selection().caret.column, host.engine().cursorColumn());
}

} // namespace
