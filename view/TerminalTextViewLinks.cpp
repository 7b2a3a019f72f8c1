// Links under the pointer: found among the rows shown, underlined while hovered (every cell of an
// OSC 8 link together) with the pointing hand, the target of an OSC 8 link in a tool tip (its text
// may say otherwise), opened on Ctrl+click. Only links of safe schemes are ever hovered or opened.
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "LineImage.h"
#include "LinkOpener.h"
#include "PointerCursor.h"
#include "TerminalTextView.h"
#include "engine/ScreenReader.h"
#include "engine/TerminalModes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

std::optional<TextPosition> TerminalTextView::cellAt(QPointF point) const
{
    refreshLayout();
    if (layout_->totalLines() == 0 || point.y() < textInset || point.y() >= lineTop(layout_->totalLines())) {
        return std::nullopt;
    }
    const LinePosition position = layout_->rowAtLine(lineAt(point.y()));
    const RowLayout& rowLayout = layout_->rowLayout(position.row);
    const auto cells = screen().row(static_cast<std::size_t>(position.row));
    const int from = rowLayout.lineStart(position.line);
    const int to = rowLayout.lineEnd(position.line, static_cast<int>(cells.size()));
    const double advance = metrics_->advance();
    const double x = point.x() - textInset;
    for (int c = from; c < to; ++c) {
        const double left = rowLayout.xOf(c, advance);
        const bool wide = cells[static_cast<std::size_t>(c)].style.flags & CellFlags::wideHead;
        if (x >= left && x < left + advance * (wide ? 2 : 1)) {
            return TextPosition{position.row, c};
        }
    }
    return std::nullopt;
}

std::optional<FoundLink> TerminalTextView::openableLinkAt(QPointF point) const
{
    const std::optional<TextPosition> cell = cellAt(point);
    if (!cell) {
        return std::nullopt;
    }
    // The rows shown: an OSC 8 link is gathered from what the user can see of it.
    const QRect visible = visibleRegion().boundingRect();
    int firstRow = cell->row;
    int lastRow = cell->row;
    if (!visible.isEmpty()) {
        const auto [firstLine, lastLine] = visibleLines(visible);
        firstRow = layout_->rowAtLine(firstLine).row;
        lastRow = layout_->rowAtLine(lastLine).row;
    }
    std::optional<FoundLink> link = LinkFinder::linkAt(screen(), *cell, firstRow, lastRow);
    if (!link || !LinkOpener::openableUrl(QString::fromStdString(link->target)).isValid()) {
        return std::nullopt;
    }
    return link;
}

void TerminalTextView::hoverAt(QPointF point)
{
    pointerGlobal_ = mapToGlobal(point);
    std::optional<FoundLink> link = openableLinkAt(point);
    if (link == hoveredLink_) {
        return;
    }
    const bool tipChanged = !link || !hoveredLink_ || link->target != hoveredLink_->target;
    hoveredLink_ = std::move(link);
    setCursor(hoveredLink_ ? QCursor(Qt::PointingHandCursor) : PointerCursor::shared());
    if (tipChanged) {
        if (hoveredLink_ && hoveredLink_->hyperlink) {
            QToolTip::showText(
                pointerGlobal_.toPoint(),
                QString::fromStdString(hoveredLink_->target) + QStringLiteral("\nCtrl+click to open"), this);
        } else {
            QToolTip::hideText();
        }
    }
    update();
}

void TerminalTextView::refreshHover()
{
    if (hoveredLink_) {
        hoverAt(mapFromGlobal(pointerGlobal_));
    }
}

void TerminalTextView::clearHover()
{
    if (!hoveredLink_) {
        return;
    }
    hoveredLink_.reset();
    setCursor(PointerCursor::shared());
    QToolTip::hideText();
    update();
}

void TerminalTextView::leaveEvent(QEvent* event)
{
    clearHover();
    QWidget::leaveEvent(event);
}

bool TerminalTextView::pressLink(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton || !event.modifiers().testFlag(Qt::ControlModifier)) {
        return false;
    }
    const std::optional<FoundLink> link = openableLinkAt(event.position());
    if (!link) {
        return false;
    }
    setFocus(Qt::MouseFocusReason);
    pressedLink_ = link->target;
    return true;
}

bool TerminalTextView::releaseLink(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton || !pressedLink_) {
        return false;
    }
    const std::string target = *pressedLink_;
    pressedLink_.reset();
    // Released elsewhere: the click is taken back.
    const std::optional<FoundLink> link = openableLinkAt(event.position());
    if (link && link->target == target) {
        LinkOpener::open(QString::fromStdString(target));
    }
    return true;
}

void TerminalTextView::paintHoveredLink(QPainter& painter)
{
    if (!hoveredLink_) {
        return;
    }
    const ScreenReader screen = this->screen();
    CellColours colours = cellColours(screen);
    const double advance = metrics_->advance();
    const double thickness = std::max(1.0, metrics_->lineThickness());
    for (const LinkSpan& span : hoveredLink_->spans) {
        if (span.row >= layout_->rowCount() || span.row >= static_cast<int>(screen.rowCount())) {
            continue;
        }
        const RowLayout& rowLayout = layout_->rowLayout(span.row);
        const auto cells = screen.row(static_cast<std::size_t>(span.row));
        const int to = std::min(span.to, static_cast<int>(cells.size()));
        // One stroke per display line the span covers (a narrow view wraps rows).
        for (int c = span.from; c < to;) {
            const int line = rowLayout.lineOf(c);
            const int end = std::min(to, rowLayout.lineEnd(line, static_cast<int>(cells.size())));
            const double left = rowLayout.xOf(c, advance);
            const double right =
                rowLayout.xOf(end - 1, advance) +
                advance *
                    ((cells[static_cast<std::size_t>(end - 1)].style.flags & CellFlags::wideHead) ? 2 : 1);
            const QRgb ink = colours.of(cells[static_cast<std::size_t>(c)].style).foreground;
            const double y = lineTop(layout_->firstLineOf(span.row) + line) + metrics_->ascent() +
                             metrics_->underlinePosition();
            painter.fillRect(QRectF(textInset + left, y, right - left, thickness),
                             ink != 0 ? QColor::fromRgba(ink) : QColor(Qt::white));
            c = end;
        }
    }
}
