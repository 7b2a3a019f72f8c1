// The view's picture, read back from grabbed images: text in each cell's colour at its cell, the
// glass where no background is set, the three cursor shapes, wide glyphs keeping their neighbours
// clear, rows wrapping in a narrow view, drawn lines reused until their row changes, frames
// repainting only what changed, the cursor's line scrolled into view, mouse selection; then the
// styles (colours, inverse, faces, decorations, clusters), box-drawing lines, the program's cursor
// and synchronized output.
#include "ViewTestSupport.h"
#include "engine/TerminalEngine.h"
#include "terminal/Terminal.h"
#include "view/CursorShape.h"
#include "view/FrameScheduler.h"
#include "view/GlyphMetrics.h"
#include "view/LineImage.h"
#include "view/MinimumContrast.h"
#include "view/TerminalTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

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
    settings.minimumContrast = VitrionSettings::minimumContrastOff; // the palette's colours exactly
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
    host.feed("M\x1b[38;5;46mM\x1b[38;5;21mM\x1b[0m W");
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
    host.feed("ab\x1b[D"); // cursor back over the b
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
    host.feed("\x1b[C ");
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
    host.feed("\xe4\xb8\xad"
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
        reference.feed("\xe4\xb8\xad\r"); // the beam goes back over the ideograph
        settle(reference.view());
        return ViewTest::grab(reference.view());
    }();
    EXPECT_EQ(inkIn(ideographOnly, interiorOf(QRectF(a, 2, 3 * advance, pitch))).pixels, 0);
    // The a's cell holds the a's ink, roughly as much as a plain a has (sub-pixel placement varies).
    const QImage plain = [&] {
        ScrollHost reference(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
        reference.feed("a\r\n");
        settle(reference.view());
        return ViewTest::grab(reference.view());
    }();
    const int plainInk = inkIn(plain, QRectF(2, 2, advance, pitch)).pixels;
    EXPECT_NEAR(inkIn(image, cellRect(host.view(), 0, 2)).pixels, plainInk, plainInk * 0.4);
}

// The ink's horizontal middle in a rectangle (NaN without ink).
double inkMiddle(const QImage& image, QRectF area)
{
    const QRect pixels = area.toAlignedRect().intersected(image.rect());
    int first = pixels.right() + 1;
    int last = pixels.left() - 1;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (image.pixelColor(x, y).alpha() > 0) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return first <= last ? (first + last + 1) / 2.0 : std::nan("");
}

// A proportional family chosen by hand: every glyph, ASCII or not, sits centred in its own cell, so
// the text neither spreads nor folds the row.
TEST_F(TerminalDrawingTest, AProportionalFamilyDrawsEveryGlyphInItsCell)
{
    if (!QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans"))) {
        GTEST_SKIP() << "DejaVu Sans (fonts-dejavu-core) is not installed";
    }
    VitrionSettings settings = settingsWith(TerminalCursorStyle::beam);
    settings.fontName = QStringLiteral("DejaVu Sans");
    ScrollHost host(QSize(800, 600), settings);
    TerminalTextView& view = host.view();
    ASSERT_EQ(view.terminalFont().family(), QStringLiteral("DejaVu Sans"));
    host.feed("iiiiWWWW\r\n\xc3\xa9\xc3\xa9l\xc3\xa9\xe2\x82\xacx");
    settle(view);
    const QImage image = ViewTest::grab(view);
    const double advance = view.cellAdvance();
    for (int column = 0; column < 8; ++column) {
        EXPECT_NEAR(view.cellOrigin(0, column).x(), TerminalTextView::textInset + column * advance, 1e-3);
        EXPECT_NEAR(view.cellOrigin(1, column).x(), TerminalTextView::textInset + column * advance, 1e-3);
        const QRectF cell = cellRect(view, column < 8 ? 0 : 1, column);
        EXPECT_NEAR(inkMiddle(image, cell), cell.center().x(), 1.5) << "row 0, column " << column;
    }
    for (int column : {0, 1, 2, 3, 4, 5}) { // é é l é € x: the accented letters centred too
        const QRectF cell = cellRect(view, 1, column);
        EXPECT_NEAR(inkMiddle(image, cell), cell.center().x(), 1.5) << "row 1, column " << column;
    }
    EXPECT_EQ(view.displayLineCount(), static_cast<int>(host.engine().rowCount())); // nothing folded
}

// At a minimum contrast, text too dark for the glass behind it is lightened, text too light for its
// own cell background darkened, and the rest drawn exactly.
TEST_F(TerminalDrawingTest, TextReachesTheMinimumContrastAgainstGlassAndCellBackgrounds)
{
    VitrionSettings settings = settingsWith(TerminalCursorStyle::beam);
    settings.minimumContrast = 4.5;
    ScrollHost host(QSize(800, 600), settings);
    host.view().setGlassColor(QColor(0, 0, 0));
    // Dark blue on the black glass, yellow on a white cell, and the palette's bright blue as it is.
    host.feed("\x1b[38;5;18mM\x1b[38;5;226;48;5;231mM\x1b[0m\x1b[38;5;51mM");
    settle(host.view());
    const QImage image = ViewTest::grab(host.view());
    const auto mostLegible = [&image](QRectF area, QRgb background) {
        double best = 1;
        QRgb colour = 0;
        const QRect pixels = area.toAlignedRect().intersected(image.rect());
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            for (int x = pixels.left(); x <= pixels.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 255 && MinimumContrast::ratio(pixel, background) > best) {
                    best = MinimumContrast::ratio(pixel, background);
                    colour = pixel;
                }
            }
        }
        return std::pair(best, colour);
    };
    EXPECT_GE(mostLegible(cellRect(host.view(), 0, 0), qRgb(0, 0, 0)).first, 4.4) << "lightened on the glass";
    EXPECT_GE(mostLegible(cellRect(host.view(), 0, 1), qRgb(255, 255, 255)).first, 4.4)
        << "darkened on white";
    EXPECT_EQ(mostLegible(interiorOf(cellRect(host.view(), 0, 2)), qRgb(0, 0, 0)).second, qRgb(0, 255, 255))
        << "exactly";
}

// A scheme's selected-text colour draws the selected cells' text in it.
TEST_F(TerminalDrawingTest, SelectedTextTakesTheSchemesSelectionTextColour)
{
    VitrionSettings settings = settingsWith(TerminalCursorStyle::beam);
    settings.selectionTextColor = 0x00ff00;
    ScrollHost host(QSize(800, 600), settings);
    host.feed("MMMM\r\nMMMM");
    host.view().selectAll();
    settle(host.view());
    const QImage image = ViewTest::grab(host.view());
    EXPECT_EQ(inkIn(image, interiorOf(cellRect(host.view(), 0, 0))).strongest, QColor(0, 255, 0));
    EXPECT_EQ(inkIn(image, interiorOf(cellRect(host.view(), 1, 3))).strongest, QColor(0, 255, 0));
}

// Emoji presentation comes from the colour emoji font when one is installed, not in monochrome
// from a text font that happens to have the symbol.
TEST_F(TerminalDrawingTest, EmojiAreDrawnInColour)
{
    VitrionSettings blueText = settingsWith(TerminalCursorStyle::beam);
    blueText.textRed = 0.0;
    blueText.textBlue = 1.0;
    ScrollHost host(QSize(800, 600), blueText);
    TerminalTextView& view = host.view();
    // U+1F600, U+2615 (a text font such as DejaVu Sans has a monochrome one), U+2764 U+FE0F.
    if (!QFontDatabase::hasFamily(QStringLiteral("Noto Color Emoji"))) {
        GTEST_SKIP() << "no colour emoji font (fonts-noto-color-emoji) is installed";
    }
    host.feed("\xf0\x9f\x98\x80\xe2\x98\x95\xe2\x9d\xa4\xef\xb8\x8f A");
    settle(view);
    const QImage image = ViewTest::grab(view);
    const auto colourful = [&](int column, int cells) {
        const QRectF area = cellRect(view, 0, column).united(cellRect(view, 0, column + cells - 1));
        int count = 0;
        const QRect pixels = area.toAlignedRect().intersected(image.rect());
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            for (int x = pixels.left(); x <= pixels.right(); ++x) {
                // Text is drawn in pure blue: anything with red or green in it is the emoji's own.
                const QColor c = image.pixelColor(x, y);
                count += c.alpha() > 128 && (c.red() > 60 || c.green() > 60) ? 1 : 0;
            }
        }
        return count;
    };
    EXPECT_GT(colourful(0, 2), 20) << "U+1F600";
    EXPECT_GT(colourful(2, 2), 20) << "U+2615";
    EXPECT_GT(colourful(4, 1), 20) << "U+2764 U+FE0F"; // one cell, as wcwidth counts it
    EXPECT_EQ(colourful(6, 1), 0) << "A is text";
}

TEST_F(TerminalDrawingTest, DrawnLinesAreReusedUntilTheirRowChanges)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::beam));
    host.feed("gjy\r\nsecond\r\nthird");
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
    host.feed("\x1b[2;1H\x1b[38;5;46mS");
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
    host.feed("first\r\nsecond\r\n$ ");
    settle(host.view());
    ViewTest::grab(host.view());
    const double pitch = host.view().linePitch();

    // A key's echo at the prompt: its line and its neighbours, not the window.
    PaintAreas areas(host.view());
    const auto paintedAfter = [&](const std::string& output) {
        ViewTest::spinFor(50); // the paints an earlier frame asked for
        areas.painted = QRegion();
        const int frames = host.view().framesRun();
        host.feed(output);
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
        fresh.feed(output);
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
    // A grid wider than the view (one the view was not fitted to, or past the engine's limits).
    host.view().terminal().resize({24, 80});
    ASSERT_EQ(host.engine().columns(), 80);
    host.feed(std::string(80, 'x'));
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
    host.feed(output);
    host.feed("$ ");
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
    host.feed("x");
    EXPECT_TRUE(ViewTest::waitUntil([&] { return !host.view().framePending() && cursorVisible(); }));
}

// Pixels of an area whose colour is not `background` (0: transparent), beyond rounding.
struct Difference {
    int pixels = 0;
    int rows = 0; // rows holding at least one such pixel
    int alphaSum = 0;
};

Difference differingFrom(const QImage& image, QRect area, QRgb background)
{
    Difference difference;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        int inRow = 0;
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const bool differs = background == 0 ? qAlpha(pixel) > 0
                                                 : std::abs(qRed(pixel) - qRed(background)) > 2 ||
                                                       std::abs(qGreen(pixel) - qGreen(background)) > 2 ||
                                                       std::abs(qBlue(pixel) - qBlue(background)) > 2;
            if (differs) {
                ++inRow;
                difference.alphaSum += qAlpha(pixel);
            }
        }
        difference.pixels += inRow;
        difference.rows += inRow > 0 ? 1 : 0;
    }
    return difference;
}

// A pixel of about that colour, opaque or at least well covered (antialiased curves).
bool hasPixelNear(const QImage& image, QRect area, QRgb color)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) >= 96 && std::abs(qRed(pixel) - qRed(color)) <= 30 &&
                std::abs(qGreen(pixel) - qGreen(color)) <= 30 &&
                std::abs(qBlue(pixel) - qBlue(color)) <= 30) {
                return true;
            }
        }
    }
    return false;
}

constexpr QRgb red = 0xFFFF0000;   // the text colour of settingsWith
constexpr QRgb black = 0xFF000000; // the background programs are told of: inverse text
constexpr QRgb blue = 0xFF1428C8;  // 20, 40, 200
constexpr QRgb green = 0xFF00C800; // 0, 200, 0

// "HH" and two blanks after a styling sequence: the glyphs show the text's colour and face, the
// blanks its background and decorations.
class TerminalStyleTest : public TerminalDrawingTest {
protected:
    struct Drawn {
        QImage image;
        QRect glyphs;   // the whole pixels of cells 0 and 1
        QRect above;    // of cell 3 above the baseline
        QRect below;    // of cell 3 from the baseline down
        QPoint blank;   // a pixel of cell 2 near its top, clear of any glyph or decoration
        QPoint farAway; // a pixel of a cell the text never reached
    };
    static QRect pixelsOf(QRectF area)
    {
        const QPoint topLeft(static_cast<int>(std::ceil(area.left())),
                             static_cast<int>(std::ceil(area.top())));
        const QPoint bottomRight(static_cast<int>(std::floor(area.right())) - 1,
                                 static_cast<int>(std::floor(area.bottom())) - 1);
        return {topLeft, bottomRight};
    }
    // A view that has drawn `output`.
    static std::unique_ptr<ScrollHost> showing(const std::string& output,
                                               TerminalCursorStyle cursor = TerminalCursorStyle::beam)
    {
        auto host = std::make_unique<ScrollHost>(QSize(800, 600), settingsWith(cursor));
        host->feed(output);
        settle(host->view());
        return host;
    }
    static Drawn draw(const std::string& style)
    {
        const auto host = showing(style + "HH  \x1b[0m\r\n");
        TerminalTextView& view = host->view();
        const GlyphMetrics metrics(view.terminalFont(), view.terminalFontSize());
        const int baseline = baselineDeviceRow(view.cellOrigin(0, 0).y(), metrics.ascent(), 1.0);
        const QRect blank = pixelsOf(cellRect(view, 0, 3));
        return {ViewTest::grab(view),
                pixelsOf(cellRect(view, 0, 0).united(cellRect(view, 0, 1))),
                QRect(QPoint(blank.left(), blank.top()), QPoint(blank.right(), baseline - 1)),
                QRect(QPoint(blank.left(), baseline), blank.bottomRight()),
                pixelsOf(cellRect(view, 0, 2)).topLeft() + QPoint(2, 1),
                pixelsOf(cellRect(view, 0, 30)).center()};
    }
};

TEST_F(TerminalStyleTest, ColoursFillTheirCellsAndInverseSwapsThem)
{
    struct Case {
        const char* name;
        std::string style;
        QRgb background; // under the styled blanks; 0: the glass (nothing drawn)
        QRgb text;       // 0: no text drawn
        QRgb screen;     // where the line has no cells drawn
    };
    const Case cases[] = {
        {"plain", "", 0, red, 0},
        {"background", "\x1b[48;2;20;40;200m", blue, red, 0},
        {"inverse of the defaults", "\x1b[7m", red, black, 0},
        {"inverse of colours", "\x1b[7;38;2;0;200;0;48;2;20;40;200m", green, blue, 0},
        {"hidden on a background", "\x1b[8;48;2;20;40;200m", blue, 0, 0},
        {"reverse video", "\x1b[?5h", red, black, red},
        {"reverse video, inverse", "\x1b[?5h\x1b[7m", black, red, red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Drawn drawn = draw(c.style);
        const QRgb blank = drawn.image.pixel(drawn.blank);
        EXPECT_EQ(blank, c.background == 0 ? 0u : c.background);
        EXPECT_EQ(drawn.image.pixel(drawn.farAway), c.screen == 0 ? 0u : c.screen);
        // The blanks carry nothing but their background.
        EXPECT_EQ(differingFrom(drawn.image, drawn.above.united(drawn.below), c.background).pixels, 0);
        if (c.text != 0) {
            EXPECT_TRUE(hasPixelNear(drawn.image, drawn.glyphs, c.text));
        } else {
            EXPECT_EQ(differingFrom(drawn.image, drawn.glyphs, c.background).pixels, 0);
        }
    }
}

TEST_F(TerminalStyleTest, UnderlinesAndStrikethroughTakeTheirRowsAndColours)
{
    struct Case {
        const char* name;
        std::string style;
        QRgb color;
        int minimumRows; // of ink below the baseline of a blank
        int maximumRows;
        bool gaps;   // dotted and dashed: not every column inked
        bool strike; // ink above the baseline instead
    };
    const Case cases[] = {
        {"single", "\x1b[4m", red, 1, 1, false, false},
        {"double", "\x1b[4:2m", red, 2, 2, false, false},
        {"curly", "\x1b[4:3m", red, 3, 8, false, false},
        {"dotted", "\x1b[4:4m", red, 1, 1, true, false},
        {"dashed", "\x1b[4:5m", red, 1, 1, true, false},
        {"coloured", "\x1b[4;38;2;0;200;0m", green, 1, 1, false, false},
        {"own colour", "\x1b[4:3;58:2::0:200:0m", green, 3, 8, false, false},
        {"strikethrough", "\x1b[9m", red, 0, 0, false, true},
        {"strikethrough keeps the text colour", "\x1b[9;58;2;0;200;0m", red, 0, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Drawn drawn = draw(c.style);
        const Difference below = differingFrom(drawn.image, drawn.below, 0);
        const Difference above = differingFrom(drawn.image, drawn.above, 0);
        EXPECT_GE(below.rows, c.minimumRows);
        EXPECT_LE(below.rows, c.maximumRows);
        EXPECT_EQ(above.rows > 0, c.strike);
        if (c.gaps) {
            EXPECT_GT(below.pixels, 0);
            EXPECT_LT(below.pixels, drawn.below.width());
        } else if (c.minimumRows > 0 && c.maximumRows <= 2) {
            EXPECT_GE(below.pixels, drawn.below.width() * c.minimumRows);
        }
        EXPECT_TRUE(hasPixelNear(drawn.image, c.strike ? drawn.above : drawn.below, c.color));
    }
}

TEST_F(TerminalStyleTest, BoldItalicAndFaintChangeTheGlyphs)
{
    const Drawn plain = draw("");
    const Difference plainInk = differingFrom(plain.image, plain.glyphs, 0);
    // The horizontal centre of the ink in the top and bottom halves: an italic leans right.
    const auto lean = [](const Drawn& drawn) {
        const auto centre = [&](int top, int bottom) {
            double sum = 0;
            double weight = 0;
            for (int y = top; y <= bottom; ++y) {
                for (int x = drawn.glyphs.left(); x <= drawn.glyphs.right(); ++x) {
                    sum += x * qAlpha(drawn.image.pixel(x, y));
                    weight += qAlpha(drawn.image.pixel(x, y));
                }
            }
            return weight > 0 ? sum / weight : 0.0;
        };
        const int middle = (drawn.glyphs.top() + drawn.below.top()) / 2;
        return centre(drawn.glyphs.top(), middle) - centre(middle + 1, drawn.below.top());
    };
    EXPECT_NEAR(lean(plain), 0.0, 0.1);

    const Drawn bold = draw("\x1b[1m");
    EXPECT_GT(differingFrom(bold.image, bold.glyphs, 0).alphaSum, plainInk.alphaSum * 115 / 100);
    EXPECT_NEAR(lean(bold), 0.0, 0.1);

    const Drawn italic = draw("\x1b[3m");
    EXPECT_GT(lean(italic), 0.25);

    const Drawn faint = draw("\x1b[2m");
    int strongest = 0;
    for (int y = faint.glyphs.top(); y <= faint.glyphs.bottom(); ++y) {
        for (int x = faint.glyphs.left(); x <= faint.glyphs.right(); ++x) {
            strongest = std::max(strongest, qAlpha(faint.image.pixel(x, y)));
        }
    }
    EXPECT_GT(strongest, 100);
    EXPECT_LT(strongest, 160);
}

TEST_F(TerminalStyleTest, ChangingTheTextColourRedrawsTheDrawnLines)
{
    const auto host = showing("HH\x1b[7m  \x1b[0m\r\n");
    const QRect glyphs = pixelsOf(cellRect(host->view(), 0, 0).united(cellRect(host->view(), 0, 1)));
    const QPoint inverse = pixelsOf(cellRect(host->view(), 0, 3)).center();
    ASSERT_TRUE(hasPixelNear(ViewTest::grab(host->view()), glyphs, red));

    VitrionSettings greenText = settingsWith(TerminalCursorStyle::beam);
    greenText.textRed = 0.0;
    greenText.textGreen = 200 / 255.0;
    host->view().configure(greenText);
    settle(host->view());
    const QImage image = ViewTest::grab(host->view());
    EXPECT_TRUE(hasPixelNear(image, glyphs, green));
    EXPECT_FALSE(hasPixelNear(image, glyphs, red));
    EXPECT_EQ(image.pixel(inverse), green);
}

TEST_F(TerminalStyleTest, WideGlyphsAreCentredAndMarksSitOnTheirBase)
{
    // An ideograph on a background, then e with a combining acute and a plain e.
    const auto host = showing("\x1b[48;2;20;40;200m\xe4\xb8\xad\x1b[0m e\xcc\x81 e");
    TerminalTextView& view = host->view();
    const QImage image = ViewTest::grab(view);
    const QRect wide = pixelsOf(cellRect(view, 0, 0).united(cellRect(view, 0, 1)));
    EXPECT_EQ(image.pixel(wide.topRight()), blue); // the background covers both cells
    int first = wide.right();
    int last = wide.left();
    for (int y = wide.top(); y <= wide.bottom(); ++y) {
        for (int x = wide.left(); x <= wide.right(); ++x) {
            if (image.pixel(x, y) != blue) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    ASSERT_LT(first, last);
    EXPECT_LE(std::abs((first - wide.left()) - (wide.right() - last)), 1);

    // The accent is drawn over its e (ink above the plain e's top), not in the cell after it.
    const QRect plainE = pixelsOf(cellRect(view, 0, 5));
    int eTop = plainE.top();
    while (eTop < plainE.bottom() &&
           differingFrom(image, QRect(plainE.left(), eTop, plainE.width(), 1), 0).pixels == 0) {
        ++eTop;
    }
    const QRect accented = pixelsOf(cellRect(view, 0, 3));
    EXPECT_GT(differingFrom(
                  image, QRect(accented.left(), accented.top(), accented.width(), eTop - accented.top()), 0)
                  .pixels,
              0);
    EXPECT_EQ(differingFrom(image, pixelsOf(cellRect(view, 0, 4)), 0).pixels, 0);
}

TEST_F(TerminalStyleTest, BoxDrawingLinesJoinAcrossCellsAndRows)
{
    // A light vertical line down three rows beside a cross, and a double horizontal line.
    const auto host = showing("\u2502\r\n\u2502 \u253c\u2550\u2550\r\n\u2502");
    TerminalTextView& view = host->view();
    const QImage image = ViewTest::grab(view);
    const QRect top = pixelsOf(cellRect(view, 0, 0));
    const QRect bottom = pixelsOf(cellRect(view, 2, 0));
    int inkedRows = 0;
    for (int y = top.top(); y <= bottom.bottom(); ++y) {
        inkedRows += differingFrom(image, QRect(top.left(), y, top.width(), 1), 0).pixels > 0 ? 1 : 0;
    }
    EXPECT_EQ(inkedRows, bottom.bottom() - top.top() + 1); // no gap between the rows

    // The cross reaches all four edges of its cell; the double line is two rows of ink, end to end.
    const QRect cross = pixelsOf(cellRect(view, 1, 2));
    EXPECT_GT(differingFrom(image, QRect(cross.left(), cross.top(), cross.width(), 1), 0).pixels, 0);
    EXPECT_GT(differingFrom(image, QRect(cross.left(), cross.bottom(), cross.width(), 1), 0).pixels, 0);
    EXPECT_GT(differingFrom(image, QRect(cross.left(), cross.top(), 1, cross.height()), 0).pixels, 0);
    EXPECT_GT(differingFrom(image, QRect(cross.right(), cross.top(), 1, cross.height()), 0).pixels, 0);
    const QRect doubled = pixelsOf(cellRect(view, 1, 3).united(cellRect(view, 1, 4)));
    const Difference lines = differingFrom(image, doubled, 0);
    EXPECT_EQ(lines.rows, 2);
    EXPECT_EQ(lines.pixels, 2 * doubled.width());
}

TEST_F(TerminalStyleTest, TheProgramsCursorStyleAndVisibilityOverrideTheSettings)
{
    enum class Shape { block, beam, underline, hidden };
    struct Case {
        TerminalCursorStyle setting;
        std::string sequence;
        Shape shape;
    };
    const Case cases[] = {
        {TerminalCursorStyle::block, "\x1b[4 q", Shape::underline},
        {TerminalCursorStyle::block, "\x1b[6 q", Shape::beam},
        {TerminalCursorStyle::beam, "\x1b[2 q", Shape::block},
        {TerminalCursorStyle::underline, "\x1b[3 q\x1b[0 q", Shape::underline},
        {TerminalCursorStyle::block, "\x1b[?25l", Shape::hidden},
        {TerminalCursorStyle::block, "\x1b[?25l\x1b[?25h", Shape::block},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sequence);
        const auto host = showing(c.sequence, c.setting);
        const QImage image = ViewTest::grab(host->view());
        const QRectF cell = cellRect(host->view(), 0, 0);
        int grey = 0;
        for (int y = static_cast<int>(cell.top()); y < cell.bottom(); ++y) {
            for (int x = static_cast<int>(cell.left()); x < cell.right(); ++x) {
                grey += isCursorGrey(image.pixelColor(x, y)) ? 1 : 0;
            }
        }
        const QRectF rectangle = host->view().cursorRectangle();
        switch (c.shape) {
        case Shape::hidden:
            EXPECT_EQ(grey, 0);
            break;
        case Shape::beam:
            EXPECT_EQ(rectangle.width(), 2.0);
            EXPECT_NEAR(grey, 2 * rectangle.height(), rectangle.height());
            break;
        case Shape::underline:
            EXPECT_EQ(rectangle.height(), 2.0);
            EXPECT_NEAR(rectangle.bottom(), cell.top() + 14 * 1.15, 1e-9);
            EXPECT_NEAR(grey, 2 * rectangle.width(), rectangle.width());
            break;
        case Shape::block:
            EXPECT_NEAR(rectangle.width(), 14 * 0.62, 1e-9);
            EXPECT_GT(grey, rectangle.width() * rectangle.height() * 0.6);
            break;
        }
    }
}

TEST_F(TerminalStyleTest, ABlockCursorInvertsItsCell)
{
    struct Case {
        const char* name;
        std::string output; // the cursor ends over the first cell
        QRgb fill;          // 0: the cursor's grey
        QRgb glyph;
    };
    const Case cases[] = {
        {"default colours", "H\r", 0, black},
        {"coloured text", "\x1b[38;2;0;200;0mH\r", green, black},
        {"on a background", "\x1b[48;2;20;40;200mH\r", 0, blue},
        {"inverse", "\x1b[7mH\r", black, red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto host = showing(c.output, TerminalCursorStyle::block);
        const QImage image = ViewTest::grab(host->view());
        const QRect block = host->view().cursorRectangle().toAlignedRect().adjusted(1, 1, -1, -1);
        const QRgb fill =
            c.fill != 0 ? c.fill
                        : QColor::fromRgbF(CursorShape::grey, CursorShape::grey, CursorShape::grey).rgb();
        EXPECT_EQ(image.pixel(block.topLeft()), fill);
        EXPECT_TRUE(hasPixelNear(image, block, c.glyph));
    }

    // Over a wide character the block covers both of its cells.
    const auto host = showing("\xe4\xb8\xad\r", TerminalCursorStyle::block);
    const QRectF block = host->view().cursorRectangle();
    EXPECT_NEAR(block.width(), 14 * 0.62 + host->view().cellAdvance(), 1e-9);
    const QImage image = ViewTest::grab(host->view());
    EXPECT_TRUE(isCursorGrey(
        image.pixelColor(QPoint(static_cast<int>(block.right()) - 2, static_cast<int>(block.top()) + 1))));
}

TEST_F(TerminalStyleTest, ABlinkingCursorTurnsOffAndOnWhileFocused)
{
    ScrollHost host(QSize(800, 600), settingsWith(TerminalCursorStyle::block));
    host.area().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.area()));
    host.view().setFocus();
    ASSERT_TRUE(ViewTest::waitUntil([&] { return host.view().hasFocus(); }));
    const CursorBlink* blink = host.view().findChild<CursorBlink*>();
    ASSERT_NE(blink, nullptr);
    settle(host.view());
    EXPECT_FALSE(blink->running()); // steady unless asked for

    const auto cursorPainted = [&] {
        const QRect block = host.view().cursorRectangle().toAlignedRect().adjusted(1, 1, -1, -1);
        return isCursorGrey(ViewTest::grab(host.view()).pixelColor(block.center()));
    };
    for (const std::string blinking : {"\x1b[1 q", "\x1b[?12h"}) {
        SCOPED_TRACE(blinking);
        host.feed(blinking + "x");
        ASSERT_TRUE(ViewTest::waitUntil([&] { return blink->running(); }));
        EXPECT_TRUE(ViewTest::waitUntil([&] { return !cursorPainted(); }));
        EXPECT_TRUE(ViewTest::waitUntil([&] { return cursorPainted(); }));
        // A steady style, the blink mode off: the cursor stays drawn.
        host.feed("\x1b[2 q\x1b[?12lx");
        ASSERT_TRUE(ViewTest::waitUntil([&] { return !blink->running(); }));
        EXPECT_TRUE(cursorPainted());
    }
}

TEST_F(TerminalStyleTest, SynchronizedOutputHoldsFramesUntilItEndsOrTimesOut)
{
    const auto host = showing("first", TerminalCursorStyle::block);
    const int before = host->view().framesRun();

    QElapsedTimer clock;
    clock.start();
    host->feed("\x1b[?2026h\x1b[2Jhalf");
    ViewTest::waitUntil([&] { return host->view().framesRun() > before; }, FrameScheduler::holdLimitMs / 3);
    // No frame while the update lasts (unless the machine was too slow to look before the limit).
    EXPECT_TRUE(host->view().framesRun() == before || clock.elapsed() >= FrameScheduler::holdLimitMs);
    EXPECT_TRUE(host->view().framePending());

    // Its end paints the whole update at once.
    host->feed(" done\x1b[?2026l");
    EXPECT_TRUE(ViewTest::waitUntil([&] { return !host->view().framePending(); }));

    // An update that never ends is painted anyway, after the hold's limit.
    const int ended = host->view().framesRun();
    host->feed("\x1b[?2026hstuck");
    EXPECT_TRUE(ViewTest::waitUntil([&] { return host->view().framesRun() > ended; }));
    EXPECT_TRUE(host->engine().modes().synchronizedOutput);
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
    host.feed("hello brave world\r\nsecond line\r\n");
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
    host.feed("z");
    EXPECT_TRUE(view.selection().isEmpty());
    EXPECT_EQ(view.selection().caret.row, host.engine().cursorRow());
    EXPECT_EQ(view.selection().caret.column, host.engine().cursorColumn());
}

} // namespace
