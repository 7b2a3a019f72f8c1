// The view's life: settings, grid sizing, the delayed shell start, and rendering. A render (one per
// chunk of output) only notes the change; the frame it requests lays the document out, scrolls the
// cursor's line into view and repaints, at most once per 16 ms frame.
#include "TerminalTextView.h"

#include "CursorShape.h"
#include "DocumentLayout.h"
#include "FrameDamage.h"
#include "FrameScheduler.h"
#include "GlyphMetrics.h"
#include "LineImageCache.h"
#include "PointerCursor.h"
#include "TerminalFont.h"
#include "engine/TerminalModes.h"
#include "terminal/Terminal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// Line spacing as the view draws it; a stored value that is not a number draws as the default.
double usableLineSpacing(double lineSpacing)
{
    return std::isfinite(lineSpacing) ? std::clamp(lineSpacing, 0.1, 10.0) : 1.15;
}

} // namespace

TerminalTextView::TerminalTextView(QWidget* parent)
    : QWidget(parent), metrics_(std::make_unique<GlyphMetrics>(
                           TerminalFont::resolve(QStringLiteral("Menlo"), fontSize_), fontSize_)),
      layout_(std::make_unique<DocumentLayout>()), otherLayout_(std::make_unique<DocumentLayout>()),
      images_(std::make_unique<LineImageCache>()), damage_(std::make_unique<FrameDamage>())
{
    frames_ = new FrameScheduler([this] { runFrame(); }, this);
    frames_->setHold([this] { return screen().modes().synchronizedOutput; });
    cursorBlink_ = new CursorBlink(*this);
    startTimer_ = new QTimer(this);
    startTimer_->setSingleShot(true);
    connect(startTimer_, &QTimer::timeout, this, [this] { attemptSessionStart(); });
    paragraphSpacing_ = GridSizing::paragraphSpacing(fontSize_, lineSpacing_);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    setAutoFillBackground(false);
    setCursor(PointerCursor::shared());
    setUpInput();
}

TerminalTextView::~TerminalTextView()
{
    // Destroying a focused widget moves the application's focus; the view must not hear of it
    // while it is half destroyed.
    disconnect(focusConnection_);
    detach();
}

void TerminalTextView::attach(Terminal* terminal)
{
    if (terminal == terminal_) {
        return;
    }
    detach();
    if (terminal == nullptr) {
        return;
    }
    terminal_ = terminal;
    terminal->setTextColor(textColor_);
    terminal->setPalette(ansiColors_, textColor_, cursorColor_);
    terminal->setReportedColors(glassColor_, cursorColor_);
    changedConnection_ = connect(terminal, &Terminal::changed, this, &TerminalTextView::terminalChanged);
    // Only writes (each bounded by the engine's string limit): a program never reads the clipboard.
    clipboardConnection_ =
        connect(terminal, &Terminal::clipboardWritten, this, [this](const QString& text, bool primary) {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (clipboardWritesAllowed_ && (!primary || clipboard->supportsSelection())) {
                clipboard->setText(text, primary ? QClipboard::Selection : QClipboard::Clipboard);
            }
        });
    destroyedConnection_ = connect(terminal, &QObject::destroyed, this, [this] { detach(); });
    invalidateLayout(layout_->availableWidth());
    terminalChanged();
}

void TerminalTextView::detach()
{
    disconnect(changedConnection_);
    disconnect(clipboardConnection_);
    disconnect(destroyedConnection_);
    terminal_ = nullptr;
    // Whatever was shown belonged to that terminal; the next frame shows the empty screen.
    selection_ = {};
    selecting_ = false;
    hoveredLink_.reset();
    pressedLink_.reset();
    inputCell_.reset();
    invalidateLayout(layout_->availableWidth());
    frames_->request();
}

Terminal& TerminalTextView::terminal() const
{
    if (terminal_ != nullptr) {
        return *terminal_;
    }
    if (!blank_) {
        blank_ = std::make_unique<Terminal>();
    }
    return *blank_;
}

ScreenReader TerminalTextView::screen() const
{
    return terminal().screen();
}

void TerminalTextView::configure(const VitrionSettings& settings)
{
    fontSize_ = TerminalFont::usableSize(settings.fontSize);
    metrics_ = std::make_unique<GlyphMetrics>(TerminalFont::resolve(settings.fontName, fontSize_), fontSize_);
    const Color text = colorFromComponents(settings.textRed, settings.textGreen, settings.textBlue);
    const auto color = [](quint32 rgb) {
        return colorFromComponents(((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                                   (rgb & 0xff) / 255.0);
    };
    AnsiColors ansi{};
    std::transform(settings.ansiColors.begin(), settings.ansiColors.end(), ansi.begin(), color);
    const double contrast = contrast_.minimum();
    contrast_.setMinimum(settings.minimumContrast);
    if (text != textColor_ || ansi != ansiColors_ || contrast != contrast_.minimum()) {
        images_->clear(); // text is drawn in the new colours
    }
    textColor_ = text;
    ansiColors_ = ansi;
    cursorColor_ = color(settings.cursorColor);
    selectionColor_.reset();
    if (settings.selectionColor) {
        selectionColor_ = QColor::fromRgb(*settings.selectionColor);
    }
    selectionTextColor_.reset();
    if (settings.selectionTextColor) {
        selectionTextColor_ = QColor::fromRgb(*settings.selectionTextColor);
    }
    terminal().setTextColor(text);
    terminal().setPalette(ansiColors_, textColor_, cursorColor_);
    lineSpacing_ = usableLineSpacing(settings.lineSpacing);
    cursorStyle_ = settings.cursorStyle;
    clipboardWritesAllowed_ = settings.allowClipboardWrites;
    paragraphSpacing_ = GridSizing::paragraphSpacing(fontSize_, lineSpacing_);
    invalidateLayout(layout_->availableWidth());
    terminalChanged();
    update();
}

void TerminalTextView::setGlassColor(const QColor& glass)
{
    const Color background{float(glass.redF()), float(glass.greenF()), float(glass.blueF()), 1.0f};
    if (background == glassColor_ && background == screen().resolveBackground(CellColor::defaultColor)) {
        return;
    }
    images_->clear(); // inverse text of the default colours is drawn in the glass colour
    glassColor_ = background;
    terminal().setReportedColors(glassColor_, cursorColor_);
    update();
}

CellColours TerminalTextView::cellColours(const ScreenReader& screen) const
{
    CellColours colours(screen, screen.modes().reverseVideo);
    if (contrast_.active()) {
        colours.setContrast(&contrast_);
    }
    return colours;
}

GridSize TerminalTextView::gridSize(QSizeF size) const
{
    // The metrics the lines are drawn at, so every row of the grid shows inside the area.
    return GridSizing::gridSize(size.width(), size.height(), linePitch(), cellAdvance(), textInset);
}

QSize TerminalTextView::areaFor(GridSize grid) const
{
    return QSize(
        GridSizing::extentFor(grid.columns, cellAdvance(), GridSizing::minimumCellAdvance, textInset),
        GridSizing::extentFor(grid.rows, linePitch(), GridSizing::minimumLinePitch, textInset));
}

// The area the grid fits: the visible area less the scroll bar's width even while the bar is hidden,
// so that the bar appearing with the first history, or going with the alternate screen, never
// changes the column count (and sends a full-screen program a resize).
QSizeF TerminalTextView::gridArea(const QScrollArea& area, QSize visible)
{
    const QScrollBar* bar = area.verticalScrollBar();
    const bool comesAndGoes = area.verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded;
    const int reserved = comesAndGoes && bar != nullptr && !bar->isVisible() ? bar->sizeHint().width() : 0;
    return QSizeF(std::max(visible.width() - reserved, 0), visible.height());
}

QScrollArea* TerminalTextView::enclosingScrollArea() const
{
    QWidget* viewport = parentWidget();
    auto* area = viewport != nullptr ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
    return (area != nullptr && area->viewport() == viewport) ? area : nullptr;
}

void TerminalTextView::fitTerminalToViewport()
{
    const QScrollArea* area = enclosingScrollArea();
    if (area == nullptr) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    terminal().setCellPixelSize(int(std::lround(cellAdvance() * ratio)),
                                int(std::lround(linePitch() * ratio)));
    terminal().resize(gridSize(gridArea(*area, area->viewport()->size())));
    updateDocumentGeometry(); // the width follows the visible area at once
}

void TerminalTextView::startSessionWhenReady(const QString& shellChoice)
{
    startSessionWhenReady(LaunchRequest{shellChoice, {}, {}, false});
}

void TerminalTextView::startSessionWhenReady(const LaunchRequest& request)
{
    if (terminal().isStarted() || sessionStartPending_) {
        return;
    }
    sessionStartPending_ = true;
    launch_ = request;
    // A view that is ready starts on the next turn of the event loop, one that is not retries.
    // The timer is the view's child: destroying the view cancels the attempt.
    startTimer_->start(readyForSession() ? 0 : startAttemptDelayMs);
}

void TerminalTextView::retrySessionStart()
{
    if (sessionStartPending_ && readyForSession()) {
        startTimer_->start(0);
    }
}

bool TerminalTextView::readyForSession() const
{
    const QScrollArea* area = enclosingScrollArea();
    const bool inWindow = window() != this && window()->isVisible();
    const QSize visible = area != nullptr ? area->viewport()->size() : QSize();
    return GridSizing::isReadyForSession(inWindow, area != nullptr, visible.width(), visible.height());
}

void TerminalTextView::attemptSessionStart()
{
    ++startAttempts_;
    sessionStartPending_ = false;
    if (!readyForSession()) {
        startSessionWhenReady(launch_);
        return;
    }
    QScrollArea* area = enclosingScrollArea();
    const QSize visible = area->viewport()->size();
    resize(visible.width(), std::max(height(), visible.height()));
    updateDocumentGeometry();
    const QSize settled = enclosingScrollArea() != nullptr ? area->viewport()->size() : visible;
    const GridSize grid =
        gridSize(gridArea(*area, QSize(std::min(width(), settled.width()), settled.height())));
    terminal().start(launch_, grid);
    if (window()->isVisible()) {
        setFocus(Qt::OtherFocusReason);
    }
}

const QFont& TerminalTextView::terminalFont() const
{
    return metrics_->font();
}

double TerminalTextView::linePitch() const
{
    return metrics_->lineHeight() + paragraphSpacing_;
}

double TerminalTextView::cellAdvance() const
{
    return metrics_->advance();
}

int TerminalTextView::framesRun() const
{
    return frames_->framesRun();
}

TextPosition TerminalTextView::cursorPosition() const
{
    const ScreenReader screen = this->screen();
    const int lastRow = std::max(static_cast<int>(screen.rowCount()) - 1, 0);
    return {std::clamp(screen.cursorLine(), 0, lastRow),
            std::clamp(screen.cursorColumn(), 0, std::max(screen.columns() - 1, 0))};
}

void TerminalTextView::terminalChanged()
{
    layoutStale_ = true;
    const TextPosition cursor = cursorPosition();
    selection_ = {cursor, cursor};
    selecting_ = false;
    frames_->request();
}

void TerminalTextView::runFrame()
{
    followScreenSwitch();
    updateDocumentGeometry();
    scrollCursorIntoView();
    updateChangedLines();
    followInputCursor();
    refreshHover(); // the link under the pointer may have changed or moved
}

void TerminalTextView::updateChangedLines()
{
    refreshLayout();
    ShownFrame frame;
    frame.visible = visibleRegion().boundingRect();
    const int lastLine = layout_->totalLines() - 1;
    if (frame.visible.isEmpty() || lastLine < 0) {
        damage_->forget();
        update();
        return;
    }
    const ScreenReader screen = this->screen();
    const double pitch = linePitch();
    const auto [first, last] = visibleLines(frame.visible);
    frame.firstLine = first - windowBase_; // the damage works in the widget's lines
    frame.lines.reserve(static_cast<std::size_t>(last - first + 1));
    for (int line = first; line <= last; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        const RowLayout& rowLayout = layout_->rowLayout(position.row);
        const auto cells = screen.row(static_cast<std::size_t>(position.row));
        const int start = rowLayout.lineStart(position.line);
        const int end = rowLayout.lineEnd(position.line, static_cast<int>(cells.size()));
        frame.lines.push_back(
            {screen.rowStamp(static_cast<std::size_t>(position.row)), position.line,
             cells.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)),
             rowLayout.onGrid});
    }
    const TerminalModes& modes = screen.modes();
    frame.cursor = modes.cursorVisible ? cursorRectangle().toAlignedRect().adjusted(-1, -1, 1, 1) : QRect();
    frame.reverseVideo = modes.reverseVideo;
    const TextPosition cursor = cursorPosition();
    if (cursor.row < layout_->rowCount()) {
        frame.cursorLine = layout_->firstLineOf(cursor.row) +
                           layout_->rowLayout(cursor.row).lineOf(cursor.column) - windowBase_;
    }
    cursorBlink_->follow(modes.cursorVisible && CursorShape::blinks(screen.cursorStyle(), modes.cursorBlink),
                         frame.cursor);
    frame.selectionShown = !selection_.isEmpty();
    frame.selectionStart = selection_.start();
    frame.selectionEnd = selection_.end();
    const QRegion changed = damage_->changesTo(std::move(frame), {textInset, pitch, metrics_->advance()});
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void TerminalTextView::updateDocumentGeometry()
{
    const QScrollArea* area = enclosingScrollArea();
    const int targetWidth = area != nullptr ? area->viewport()->width() : width();
    const double available = std::max(targetWidth - 2 * textInset, metrics_->advance());
    if (available != layout_->availableWidth()) {
        invalidateLayout(available);
    }
    refreshLayout();
    if (area == nullptr) {
        return;
    }
    if (!slideOnScroll_) {
        slideOnScroll_ =
            connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
                slideWindow(value);
                refreshHover();
            });
    }
    windowBase_ = std::clamp(windowBase_, 0, std::max(layout_->totalLines() - windowLines(), 0));
    const int shownLines = std::min(layout_->totalLines() - windowBase_, windowLines());
    const int documentHeight = static_cast<int>(std::ceil(shownLines * linePitch() + 2 * textInset));
    const QSize target(targetWidth, std::max(area->viewport()->height(), documentHeight));
    if (size() != target) {
        resize(target);
    }
}

void TerminalTextView::scrollCursorIntoView()
{
    QScrollArea* area = enclosingScrollArea();
    if (area == nullptr) {
        return;
    }
    // Output runs past the window's end: the window moves to the document's end.
    const TextPosition cursor = cursorPosition();
    if (cursor.row < layout_->rowCount() && layout_->firstLineOf(cursor.row) >= windowBase_ + windowLines()) {
        placeWindow(layout_->totalLines() - windowLines());
    }
    const QRectF line(0, cellOrigin(cursor.row, cursor.column).y(), 1, linePitch());
    const int margin = static_cast<int>(std::ceil(line.height() / 2));
    area->ensureVisible(0, static_cast<int>(std::round(line.center().y())), 0, margin);
}

void TerminalTextView::invalidateLayout(double availableWidth)
{
    layout_->invalidate(availableWidth);
    otherLayout_->invalidate(availableWidth);
    images_->clear();
    damage_->forget();
    layoutStale_ = true;
}

std::size_t TerminalTextView::linesDrawn() const
{
    return images_->linesRendered();
}

void TerminalTextView::refreshLayout() const
{
    if (layoutStale_) {
        const ScreenReader screen = this->screen();
        if (screen.alternateScreenActive() != layoutIsAlternate_) {
            std::swap(layout_, otherLayout_);
            layoutIsAlternate_ = !layoutIsAlternate_;
        }
        layout_->update(screen, *metrics_);
        layoutStale_ = false;
    }
}

QPointF TerminalTextView::cellOrigin(int row, int column) const
{
    refreshLayout();
    if (row < 0 || row >= layout_->rowCount()) {
        return {textInset, textInset};
    }
    const RowLayout& rowLayout = layout_->rowLayout(row);
    const int line = layout_->firstLineOf(row) + rowLayout.lineOf(column);
    double x = rowLayout.xOf(column, metrics_->advance());
    // Blanks hanging past the edge of a wrapped row: the cursor stays at the edge.
    x = std::min(x, std::max(layout_->availableWidth() - metrics_->advance(), 0.0));
    return {textInset + x, lineTop(line)};
}

double TerminalTextView::lineTop(int line) const
{
    return textInset + (line - windowBase_) * linePitch();
}

int TerminalTextView::lineAt(double y) const
{
    const int lastLine = std::max(layout_->totalLines() - 1, 0);
    return std::clamp(static_cast<int>(std::floor((y - textInset) / linePitch())) + windowBase_, 0, lastLine);
}

int TerminalTextView::windowLines() const
{
    return std::max(static_cast<int>((QWIDGETSIZE_MAX - 4 * textInset) / linePitch()) - 2, 1);
}

void TerminalTextView::placeWindow(int base)
{
    base = std::clamp(base, 0, std::max(layout_->totalLines() - windowLines(), 0));
    if (base == windowBase_) {
        return;
    }
    windowBase_ = base;
    damage_->forget();
    updateDocumentGeometry();
    update();
}

void TerminalTextView::scrollToEnd(bool top)
{
    QScrollArea* area = enclosingScrollArea();
    if (area == nullptr) {
        return;
    }
    sliding_ = true;
    placeWindow(top ? 0 : layout_->totalLines() - windowLines());
    QScrollBar* bar = area->verticalScrollBar();
    bar->setValue(top ? bar->minimum() : bar->maximum());
    sliding_ = false;
}

// Half a window's worth at a time, keeping the same lines under the viewport.
void TerminalTextView::slideWindow(int scrollValue)
{
    QScrollArea* area = enclosingScrollArea();
    if (sliding_ || area == nullptr || layout_->totalLines() <= windowLines()) {
        return;
    }
    QScrollBar* bar = area->verticalScrollBar();
    const int page = area->viewport()->height();
    int shift = 0;
    if (scrollValue < page && windowBase_ > 0) {
        shift = -std::min(windowBase_, windowLines() / 2);
    } else if (scrollValue > bar->maximum() - page) {
        shift = std::min(layout_->totalLines() - windowLines() - windowBase_, windowLines() / 2);
    }
    if (shift == 0) {
        return;
    }
    sliding_ = true;
    placeWindow(windowBase_ + shift);
    bar->setValue(scrollValue - static_cast<int>(std::lround(shift * linePitch())));
    sliding_ = false;
}

std::pair<int, int> TerminalTextView::visibleLines(const QRect& visible) const
{
    return {lineAt(visible.top()), lineAt(visible.bottom())};
}

int TerminalTextView::displayLineCount() const
{
    refreshLayout();
    return layout_->totalLines();
}

bool TerminalTextView::framePending() const
{
    return frames_->isPending();
}

std::size_t TerminalTextView::layoutsComputed() const
{
    return layout_->layoutsComputed() + otherLayout_->layoutsComputed();
}
