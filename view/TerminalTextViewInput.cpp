// Input: key presses through the key encoder, the input method (its preedit shown at the cursor, its
// commits typed), the paste path (general clipboard, the X11 primary selection on a middle click,
// and drops: files as shell-quoted paths), mouse selection by character, word and row, mouse
// reports and the wheel for programs that ask for them, focus reports, and scrolling the history.
// What goes to the program goes to the terminal as an intent; it knows the modes.
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "KeyEventTranslator.h"
#include "TerminalTextView.h"
#include "engine/ScreenReader.h"
#include "engine/TerminalModes.h"
#include "terminal/PasteEncoder.h"
#include "terminal/Terminal.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextCharFormat>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int wheelNotch = 120; // angleDelta units (eighths of a degree) per notch

MouseButton mouseButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return MouseButton::left;
    case Qt::MiddleButton:
        return MouseButton::middle;
    case Qt::RightButton:
        return MouseButton::right;
    default:
        return MouseButton::none;
    }
}

// The button a motion report names: the first held, in xterm's order.
MouseButton heldButton(Qt::MouseButtons buttons)
{
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
        if (buttons & button) {
            return mouseButtonOf(button);
        }
    }
    return MouseButton::none;
}

MouseModifiers mouseModifiersOf(Qt::KeyboardModifiers modifiers)
{
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::AltModifier),
            modifiers.testFlag(Qt::ControlModifier)};
}

} // namespace

void TerminalTextView::setUpInput()
{
    setMouseTracking(true); // motion without a button, for programs that track every motion
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget* from, QWidget* to) { focusMoved(from, to); });
}

void TerminalTextView::keyPressEvent(QKeyEvent* event)
{
    const KeyResult result = terminal().sendKey(KeyEventTranslator::describe(*event));
    switch (result.action) {
    case KeyAction::copy:
        copySelection();
        return;
    case KeyAction::selectAll:
        selectAll();
        return;
    case KeyAction::paste:
        paste();
        return;
    case KeyAction::scrollPageUp:
    case KeyAction::scrollPageDown:
        if (QScrollArea* area = enclosingScrollArea()) {
            area->verticalScrollBar()->triggerAction(result.action == KeyAction::scrollPageUp
                                                         ? QAbstractSlider::SliderPageStepSub
                                                         : QAbstractSlider::SliderPageStepAdd);
        }
        return;
    case KeyAction::scrollToTop:
    case KeyAction::scrollToBottom:
        scrollToEnd(result.action == KeyAction::scrollToTop);
        return;
    case KeyAction::send:
        return;
    case KeyAction::passOn:
        break;
    }
    QWidget::keyPressEvent(event);
}

// Releases matter only to a program that asked for them (the keyboard protocol's flag 2); the
// toolkit's releases between auto-repeated presses are not the user letting go.
void TerminalTextView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    if (terminal().sendKey(KeyEventTranslator::describe(*event)).action == KeyAction::passOn) {
        QWidget::keyReleaseEvent(event);
    }
}

void TerminalTextView::inputMethodEvent(QInputMethodEvent* event)
{
    // Committed text is typed text; the preedit is only shown, over the cells at the cursor, until
    // the method commits or drops it. The program hears nothing of it.
    if (!event->commitString().isEmpty()) {
        terminal().sendText(event->commitString().toStdString());
    }
    preedit_ = event->preeditString();
    preeditCursor_ = -1;
    preeditSelected_.clear();
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preeditCursor_ = attribute.length > 0 ? attribute.start : -1;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            // The segment being converted is marked by a background (or an inverted) format.
            const QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            if (format.background().style() != Qt::NoBrush) {
                preeditSelected_.emplace_back(attribute.start, attribute.length);
            }
        }
    }
    update();
    event->accept();
}

QVariant TerminalTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return inputCursorRectangle().toAlignedRect();
    case Qt::ImFont:
        return terminalFont();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
        return 0; // no surrounding text: the line being edited is the program's
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
        return QString();
    case Qt::ImHints:
        return int(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText | Qt::ImhMultiLine);
    default:
        return QWidget::inputMethodQuery(query);
    }
}

QRectF TerminalTextView::inputCursorRectangle() const
{
    const ScreenReader screen = this->screen();
    TextPosition cell = cursorPosition();
    if (!screen.modes().cursorVisible && inputCell_) {
        cell = {std::clamp(screen.screenTop() + inputCell_->row, 0,
                           std::max(static_cast<int>(screen.rowCount()) - 1, 0)),
                std::clamp(inputCell_->column, 0, std::max(screen.columns() - 1, 0))};
    }
    return {cellOrigin(cell.row, cell.column), QSizeF(metrics_->advance(), linePitch())};
}

void TerminalTextView::followInputCursor()
{
    const ScreenReader screen = this->screen();
    if (screen.modes().cursorVisible) {
        const TextPosition cursor = cursorPosition();
        inputCell_ = TextPosition{cursor.row - screen.screenTop(), cursor.column};
    }
    const QRect rectangle = inputCursorRectangle().toAlignedRect();
    if (rectangle != reportedInputRectangle_ && hasFocus()) {
        reportedInputRectangle_ = rectangle;
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    }
}

bool TerminalTextView::focusNextPrevChild(bool /*next*/)
{
    return false; // Tab and Shift+Tab belong to the shell
}

void TerminalTextView::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText()) {
        return;
    }
    pasteText(data->text());
}

void TerminalTextView::pasteText(const QString& text)
{
    terminal().paste(text.toStdString());
}

namespace {

void offerCopy(QDragMoveEvent& event)
{
    if (event.mimeData()->hasUrls() || event.mimeData()->hasText()) {
        event.setDropAction(Qt::CopyAction); // the file stays where it is: its path is pasted
        event.accept();
    } else {
        event.ignore();
    }
}

} // namespace

void TerminalTextView::dragEnterEvent(QDragEnterEvent* event)
{
    offerCopy(*event);
}

void TerminalTextView::dragMoveEvent(QDragMoveEvent* event)
{
    offerCopy(*event);
}

void TerminalTextView::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls()) {
        // Files as their paths, other URLs (a link dragged from a browser) as written, all as words.
        std::vector<std::string> names;
        for (const QUrl& url : data->urls()) {
            names.push_back((url.isLocalFile() ? url.toLocalFile() : url.toString()).toStdString());
        }
        const std::string words = PasteEncoder::droppedWords(names);
        if (!words.empty()) {
            terminal().paste(words);
        }
    } else if (data->hasText()) {
        pasteText(data->text());
    } else {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setFocus(Qt::OtherFocusReason);
}

QString TerminalTextView::selectedText() const
{
    return QString::fromStdString(TextSelectionRules::text(screen(), selection_));
}

void TerminalTextView::copySelection()
{
    if (selection_.isEmpty()) {
        // Nothing selected: the current match of an open find, if any.
        if (const TextSelection match = currentMatchSelection(); !match.isEmpty()) {
            QGuiApplication::clipboard()->setText(
                QString::fromStdString(TextSelectionRules::text(screen(), match)), QClipboard::Clipboard);
        }
        return;
    }
    QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Clipboard);
}

void TerminalTextView::selectAll()
{
    selection_ = TextSelectionRules::all(screen());
    offerPrimarySelection();
    update();
}

void TerminalTextView::offerPrimarySelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!selection_.isEmpty() && clipboard->supportsSelection()) {
        clipboard->setText(selectedText(), QClipboard::Selection);
    }
}

TextPosition TerminalTextView::positionAt(QPointF point) const
{
    refreshLayout();
    if (layout_->totalLines() == 0) {
        return {};
    }
    const int line = lineAt(point.y());
    const LinePosition position = layout_->rowAtLine(line);
    const RowLayout& rowLayout = layout_->rowLayout(position.row);
    const int count = static_cast<int>(screen().row(static_cast<std::size_t>(position.row)).size());
    const int from = rowLayout.lineStart(position.line);
    const int to = rowLayout.lineEnd(position.line, count);
    const double advance = metrics_->advance();
    const double x = point.x() - textInset;
    // The boundary nearest the point, as a text view places its insertion point.
    for (int c = from; c < to; ++c) {
        if (x < rowLayout.xOf(c, advance) + advance / 2) {
            return {position.row, c};
        }
    }
    return {position.row, to};
}

void TerminalTextView::mousePressEvent(QMouseEvent* event)
{
    if (reportsMouse(event->modifiers())) {
        const bool activating =
            !window()->isActiveWindow() ||
            (sinceActivation_.isValid() && sinceActivation_.elapsed() < activatingClickMs);
        setFocus(Qt::MouseFocusReason);
        if (activating) {
            swallowedButtons_ |= event->button();
        } else {
            reportedButtons_ |= event->button();
            reportMouse(*event, MouseAction::press);
        }
        return;
    }
    if (event->button() == Qt::MiddleButton) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) {
            const QMimeData* data = clipboard->mimeData(QClipboard::Selection);
            if (data != nullptr && data->hasText()) {
                pasteText(data->text());
            }
        }
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (pressLink(*event)) {
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const bool tripleClick =
        sinceDoubleClick_.isValid() &&
        sinceDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
        (event->position() - doubleClickPoint_).manhattanLength() < 6;
    sinceDoubleClick_.invalidate();
    if (tripleClick && (event->modifiers() & Qt::ControlModifier) && selectOutputAt(event->position())) {
        return; // Ctrl+triple click: the command's whole output
    }
    if (tripleClick) {
        selectionUnit_ = SelectionUnit::row;
        selection_ = TextSelectionRules::rowAt(screen(), positionAt(event->position()).row);
        selectionOrigin_ = selection_;
    } else {
        selectionUnit_ = SelectionUnit::character;
        const TextPosition position = positionAt(event->position());
        selection_ = {position, position};
    }
    selecting_ = true;
    update();
}

void TerminalTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (reportsMouse(event->modifiers())) {
        reportedButtons_ |= event->button(); // a second press, as the program sees it
        reportMouse(*event, MouseAction::press);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    if (event->modifiers().testFlag(Qt::ControlModifier) && openableLinkAt(event->position())) {
        return; // a Ctrl+double-click on a link opens it once and selects no word
    }
    // The word under the point: the cell containing it, not the nearest boundary.
    TextPosition cell = positionAt(event->position() - QPointF(metrics_->advance() / 2, 0));
    selection_ = TextSelectionRules::wordAt(screen(), cell);
    selectionOrigin_ = selection_;
    selectionUnit_ = SelectionUnit::word;
    selecting_ = true;
    sinceDoubleClick_.start();
    doubleClickPoint_ = event->position();
    update();
}

void TerminalTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_) {
        hoverAt(event->position());
    }
    if (!selecting_ && reportsMouse(event->modifiers())) {
        reportMouse(*event, MouseAction::motion);
        return;
    }
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const TextPosition position = positionAt(event->position());
    if (selectionUnit_ == SelectionUnit::character) {
        selection_.caret = position;
    } else {
        // Word and row drags grow by whole words or rows from the one first clicked.
        const TextSelection unit = selectionUnit_ == SelectionUnit::word
                                       ? TextSelectionRules::wordAt(screen(), position)
                                       : TextSelectionRules::rowAt(screen(), position.row);
        if (position < selectionOrigin_.start()) {
            selection_ = {selectionOrigin_.end(), unit.start()};
        } else {
            selection_ = {selectionOrigin_.start(), std::max(unit.end(), selectionOrigin_.end())};
        }
    }
    update();
}

void TerminalTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (swallowedButtons_ & event->button()) {
        swallowedButtons_ &= ~event->button();
        return;
    }
    if (reportedButtons_ & event->button()) {
        reportedButtons_ &= ~event->button();
        reportMouse(*event, MouseAction::release);
        return;
    }
    if (releaseLink(*event)) {
        return;
    }
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        offerPrimarySelection();
    }
}

bool TerminalTextView::reportsMouse(Qt::KeyboardModifiers modifiers) const
{
    return terminal().reportsMouse(modifiers.testFlag(Qt::ShiftModifier));
}

TextPosition TerminalTextView::screenCellAt(QPointF point) const
{
    // The cell containing the point, not the nearest boundary; rows count from the screen's top.
    const ScreenReader screen = this->screen();
    const TextPosition cell = positionAt(point - QPointF(metrics_->advance() / 2, 0));
    return {std::clamp(cell.row - screen.screenTop(), 0, screen.rows() - 1),
            std::clamp(cell.column, 0, screen.columns() - 1)};
}

void TerminalTextView::reportMouse(const QMouseEvent& event, MouseAction action)
{
    const TextPosition cell = screenCellAt(event.position());
    if (action == MouseAction::motion && cell == lastReportedCell_) {
        return; // motion is reported once per cell
    }
    lastReportedCell_ = cell;
    const MouseButton button = action == MouseAction::motion
                                   ? heldButton(event.buttons() & ~swallowedButtons_)
                                   : mouseButtonOf(event.button());
    terminal().sendMouse({action, button, cell.column, cell.row, mouseModifiersOf(event.modifiers())});
}

void TerminalTextView::wheelEvent(QWheelEvent* event)
{
    const WheelTarget target = terminal().wheelTarget(event->modifiers().testFlag(Qt::ShiftModifier));
    if (target == WheelTarget::history) {
        // The scroll area scrolls the history. Handed to it here rather than left to propagate, which
        // Qt does only for the window system's own events.
        if (QScrollArea* area = enclosingScrollArea()) {
            QCoreApplication::sendEvent(area->viewport(), event);
        } else {
            event->ignore();
        }
        return;
    }
    event->accept();
    const int delta = event->angleDelta().y();
    if ((delta > 0) != (wheelRemainder_ > 0)) {
        wheelRemainder_ = 0; // a turn the other way starts afresh
    }
    wheelRemainder_ += delta;
    const int notches = wheelRemainder_ / wheelNotch;
    wheelRemainder_ -= notches * wheelNotch;
    if (notches == 0) {
        return;
    }
    // Reports name the cell under the pointer; cursor keys (a pager's scrolling) need no cell.
    const TextPosition cell = screenCellAt(event->position());
    terminal().sendWheel(notches, {MouseAction::press, MouseButton::none, cell.column, cell.row,
                                   mouseModifiersOf(event->modifiers())});
}

void TerminalTextView::focusMoved(QWidget* from, QWidget* to)
{
    const bool gained = to == this;
    if (gained == (from == this)) {
        return;
    }
    if (gained && (from == nullptr || from->window() != window())) {
        sinceActivation_.start();
    }
    terminal().sendFocus(gained);
}

void TerminalTextView::followScreenSwitch()
{
    const bool alternate = screen().alternateScreenActive();
    QScrollArea* area = enclosingScrollArea();
    if (alternate == showingAlternate_ || area == nullptr) {
        return;
    }
    showingAlternate_ = alternate;
    QScrollBar* bar = area->verticalScrollBar();
    if (alternate) {
        primaryScroll_ = bar->value(); // before the document shrinks to the alternate screen
        return;
    }
    updateDocumentGeometry(); // the history is back: the document grows again before the scroll
    bar->setValue(primaryScroll_);
}
