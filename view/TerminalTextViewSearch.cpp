// Find in the view: the matches of the search shown over the text, the current one in a stronger
// colour, and the scroll that brings the current match into view and takes the user back after.
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "TerminalTextView.h"
#include "engine/ScreenReader.h"
#include "terminal/TerminalSearch.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

void TerminalTextView::showSearch(TerminalSearch* search)
{
    if (search_ == search) {
        return;
    }
    disconnect(searchChanged_);
    disconnect(searchMoved_);
    search_ = search;
    if (search != nullptr) {
        searchChanged_ = connect(search, &TerminalSearch::changed, this, [this] { update(); });
        searchMoved_ = connect(search, &TerminalSearch::currentMoved, this, [this] {
            if (const SearchMatch* match = search_->currentMatch()) {
                scrollToRow(static_cast<int>(match->row - static_cast<std::int64_t>(screen().droppedRows())));
            }
        });
    }
    update();
}

void TerminalTextView::scrollToRow(int row)
{
    QScrollArea* area = enclosingScrollArea();
    refreshLayout();
    if (area == nullptr || row < 0 || row >= layout_->rowCount()) {
        return;
    }
    const int line = layout_->firstLineOf(row);
    if (line < windowBase_ || line >= windowBase_ + windowLines()) {
        placeWindow(line - windowLines() / 2);
    }
    const int y = static_cast<int>(std::lround(lineTop(line)));
    const int height = area->viewport()->height();
    QScrollBar* bar = area->verticalScrollBar();
    if (y < bar->value() || y + linePitch() > bar->value() + height) {
        sliding_ = true; // placed already: the window must not slide under the row
        bar->setValue(std::clamp(y - height / 3, bar->minimum(), bar->maximum()));
        sliding_ = false;
    }
    update();
}

void TerminalTextView::rememberScroll()
{
    rememberedRow_ = -1;
    QScrollArea* area = enclosingScrollArea();
    if (area == nullptr) {
        return;
    }
    const QScrollBar* bar = area->verticalScrollBar();
    // Near the end is at the end (the cursor's margin and the rows below it leave the bar short).
    rememberedOffset_ = bar->maximum() - bar->value();
    if (rememberedOffset_ <= 2 * linePitch()) {
        return;
    }
    refreshLayout();
    const int line = lineAt(bar->value());
    rememberedRow_ = layout_->rowAtLine(line).row + static_cast<std::int64_t>(screen().droppedRows());
    rememberedOffset_ = bar->value() - static_cast<int>(std::lround(lineTop(line)));
}

void TerminalTextView::returnToRememberedScroll()
{
    QScrollArea* area = enclosingScrollArea();
    if (area == nullptr) {
        return;
    }
    updateDocumentGeometry();
    QScrollBar* bar = area->verticalScrollBar();
    const std::int64_t row = rememberedRow_ - static_cast<std::int64_t>(screen().droppedRows());
    if (rememberedRow_ < 0 || row < 0 || row >= layout_->rowCount()) {
        // At the bottom: as far from the end as the view was (output since does not change it).
        scrollToEnd(false);
        if (rememberedRow_ < 0) {
            bar->setValue(bar->maximum() - rememberedOffset_);
        }
        return;
    }
    const int line = layout_->firstLineOf(static_cast<int>(row));
    if (line < windowBase_ || line >= windowBase_ + windowLines()) {
        placeWindow(line - windowLines() / 2);
    }
    sliding_ = true;
    bar->setValue(static_cast<int>(std::lround(lineTop(line))) + rememberedOffset_);
    sliding_ = false;
}

TextSelection TerminalTextView::currentMatchSelection() const
{
    const SearchMatch* match = search_ ? search_->currentMatch() : nullptr;
    if (match == nullptr) {
        return {};
    }
    const auto dropped = static_cast<std::int64_t>(screen().droppedRows());
    if (match->row < dropped) {
        return {};
    }
    return {{static_cast<int>(match->row - dropped), match->column},
            {static_cast<int>(match->endRow - dropped), match->endColumn}};
}

void TerminalTextView::paintMatches(QPainter& painter, int firstLine, int lastLine)
{
    if (!search_ || search_->matches().empty()) {
        return;
    }
    const auto dropped = static_cast<std::int64_t>(screen().droppedRows());
    const int firstRow = layout_->rowAtLine(firstLine).row;
    const int lastRow = layout_->rowAtLine(lastLine).row;
    const auto [from, to] = search_->matchesOn(firstRow + dropped, lastRow + dropped);
    const QColor found(250, 200, 60, 90);
    const QColor current(255, 150, 30, 190);
    const SearchMatch* currentMatch = search_->currentMatch();
    const int columns = screen().columns();
    for (std::size_t i = from; i < to; ++i) {
        const SearchMatch& m = search_->matches()[i];
        const QColor& color = &m == currentMatch ? current : found;
        for (std::int64_t row = std::max<std::int64_t>(m.row, firstRow + dropped);
             row <= std::min<std::int64_t>(m.endRow, lastRow + dropped); ++row) {
            paintCells(painter, firstLine, lastLine, static_cast<int>(row - dropped),
                       row == m.row ? m.column : 0, row == m.endRow ? m.endColumn : columns, color);
        }
    }
}

void TerminalTextView::paintCells(QPainter& painter, int firstLine, int lastLine, int row, int from, int to,
                                  const QColor& color)
{
    const RowLayout& rowLayout = layout_->rowLayout(row);
    const int count = static_cast<int>(screen().row(static_cast<std::size_t>(row)).size());
    const double advance = metrics_->advance();
    const int first = layout_->firstLineOf(row);
    for (int part = 0; part < rowLayout.lineCount(); ++part) {
        const int line = first + part;
        if (line < firstLine || line > lastLine) {
            continue;
        }
        const int start = std::max(from, rowLayout.lineStart(part));
        const int end = std::min({to, rowLayout.lineEnd(part, count), count});
        if (start >= end) {
            continue;
        }
        const double left = rowLayout.xOf(start, advance);
        const double right = std::min(rowLayout.xOf(end - 1, advance) + advance, layout_->availableWidth());
        painter.fillRect(QRectF(textInset + left, lineTop(line), std::max(right - left, 0.0), linePitch()),
                         color);
    }
}
