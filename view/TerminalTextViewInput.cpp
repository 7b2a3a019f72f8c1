// Input: key presses through the key encoder, input-method text, the paste path (general clipboard,
// and the X11 primary selection on a middle click), and mouse selection by character, word and row.
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "KeyEncoder.h"
#include "KeyEventTranslator.h"
#include "PasteEncoder.h"
#include "TerminalTextView.h"
#include "engine/TerminalEngine.h"
#include "session/ShellSession.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleHints>

#include <algorithm>
#include <cmath>

void TerminalTextView::send(std::string_view bytes)
{
    if (!session_ || bytes.empty()) {
        return;
    }
    if (inputObserver_) {
        inputObserver_(bytes);
    }
    session_->send(bytes);
}

void TerminalTextView::keyPressEvent(QKeyEvent* event)
{
    const KeyResult result = encodeKey(KeyEventTranslator::describe(*event));
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
    case KeyAction::send:
        if (session_) {
            send(result.bytes);
            return;
        }
        break;
    case KeyAction::passOn:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TerminalTextView::inputMethodEvent(QInputMethodEvent* event)
{
    // Committed text from an input method is typed text; the preedit is the method's own display.
    if (!event->commitString().isEmpty()) {
        send(event->commitString().toStdString());
    }
    event->accept();
}

QVariant TerminalTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return cursorRectangle().toAlignedRect();
    case Qt::ImFont:
        return terminalFont();
    default:
        return QWidget::inputMethodQuery(query);
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
    if (!session_) {
        return;
    }
    send(PasteEncoder::encode(text.toStdString(), engine_->bracketedPasteEnabled()));
}

QString TerminalTextView::selectedText() const
{
    return QString::fromStdString(TextSelectionRules::text(*engine_, selection_));
}

void TerminalTextView::copySelection()
{
    if (selection_.isEmpty()) {
        return;
    }
    QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Clipboard);
}

void TerminalTextView::selectAll()
{
    selection_ = TextSelectionRules::all(*engine_);
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
    const int count = static_cast<int>(engine_->row(static_cast<std::size_t>(position.row)).size());
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
    setFocus(Qt::MouseFocusReason);
    const bool tripleClick =
        sinceDoubleClick_.isValid() &&
        sinceDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
        (event->position() - doubleClickPoint_).manhattanLength() < 6;
    sinceDoubleClick_.invalidate();
    if (tripleClick) {
        selectionUnit_ = SelectionUnit::row;
        selection_ = TextSelectionRules::rowAt(*engine_, positionAt(event->position()).row);
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
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    // The word under the point: the cell containing it, not the nearest boundary.
    TextPosition cell = positionAt(event->position() - QPointF(metrics_->advance() / 2, 0));
    selection_ = TextSelectionRules::wordAt(*engine_, cell);
    selectionOrigin_ = selection_;
    selectionUnit_ = SelectionUnit::word;
    selecting_ = true;
    sinceDoubleClick_.start();
    doubleClickPoint_ = event->position();
    update();
}

void TerminalTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const TextPosition position = positionAt(event->position());
    if (selectionUnit_ == SelectionUnit::character) {
        selection_.caret = position;
    } else {
        // Word and row drags grow by whole words or rows from the one first clicked.
        const TextSelection unit = selectionUnit_ == SelectionUnit::word
                                       ? TextSelectionRules::wordAt(*engine_, position)
                                       : TextSelectionRules::rowAt(*engine_, position.row);
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
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        offerPrimarySelection();
    }
}
