// Painting: only the display lines inside the exposed area, each blended from its cached image (drawn
// once per row content), the selection highlight under and the cursor over the text. No background
// is drawn: the backdrop shows through.
#include "CursorShape.h"
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "LineImageCache.h"
#include "TerminalTextView.h"
#include "engine/TerminalEngine.h"

#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

void TerminalTextView::paintEvent(QPaintEvent* event)
{
    ++paintCount_;
    // Output may have arrived since the last frame: bring the line index up to the engine's rows.
    refreshLayout();
    QPainter painter(this);
    const QRect exposed = event->rect();
    const int lastLine = layout_->totalLines() - 1;
    // One line more on either side: their glyphs' ink may reach into the exposed area.
    const int first = std::max(lineAt(exposed.top()) - 1, 0);
    const int last = std::min(lineAt(exposed.bottom()) + 1, std::max(lastLine, 0));
    if (lastLine >= 0) {
        paintSelection(painter, first, last);
        paintLines(painter, first, last);
    }
    paintCursor(painter);
}

void TerminalTextView::paintLines(QPainter& painter, int firstLine, int lastLine)
{
    const double ratio = devicePixelRatioF();
    if (ratio != imageRatio_) {
        images_->clear();
        imageRatio_ = ratio;
    }
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        const std::uint64_t stamp = engine_->rowStamp(static_cast<std::size_t>(position.row));
        const LineImage* image = images_->find(stamp, position.line);
        if (image == nullptr) {
            const auto cells = engine_->row(static_cast<std::size_t>(position.row));
            const RowLayout& rowLayout = layout_->rowLayout(position.row);
            const int from = rowLayout.lineStart(position.line);
            const int to = rowLayout.lineEnd(position.line, static_cast<int>(cells.size()));
            image = &images_->insert(stamp, position.line,
                                     renderLine(cells, rowLayout, from, to, textInset, *metrics_, ratio, *engine_));
        }
        if (!image->image.isNull()) {
            const int top = baselineDeviceRow(lineTop(line), metrics_->ascent(), ratio) - image->baselineRow;
            painter.drawImage(QPointF(image->left / ratio, top / ratio), image->image);
        }
    }
    // The visible lines this paint did not need stay wanted: a later paint shows them again.
    const QRect visible = visibleRegion().boundingRect();
    const auto [firstVisible, lastVisible] = visibleLines(visible);
    for (int line = firstVisible; line <= lastVisible && !visible.isEmpty(); ++line) {
        if (line < firstLine || line > lastLine) {
            const LinePosition position = layout_->rowAtLine(line);
            images_->find(engine_->rowStamp(static_cast<std::size_t>(position.row)), position.line);
        }
    }
    images_->finishPaint(static_cast<std::size_t>(std::max(lastVisible - firstVisible + 1, 0)) + 2);
}

void TerminalTextView::paintSelection(QPainter& painter, int firstLine, int lastLine)
{
    if (selection_.isEmpty()) {
        return;
    }
    QColor highlight = palette().color(QPalette::Highlight);
    highlight.setAlpha(150);
    const TextPosition start = selection_.start();
    const TextPosition end = selection_.end();
    const double advance = metrics_->advance();
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        if (position.row < start.row || position.row > end.row) {
            continue;
        }
        const RowLayout& rowLayout = layout_->rowLayout(position.row);
        const int count = static_cast<int>(engine_->row(static_cast<std::size_t>(position.row)).size());
        const int lineFrom = rowLayout.lineStart(position.line);
        const bool lastOfRow = position.line + 1 >= rowLayout.lineCount();
        const int lineTo = rowLayout.lineEnd(position.line, count);
        const int from = std::max(lineFrom, position.row == start.row ? start.column : 0);
        // A selection running on past the row's end also covers the line break, one advance wide.
        const bool coversBreak = lastOfRow && position.row < end.row;
        const int to = std::min(lineTo, position.row == end.row ? end.column : count);
        if (from >= to && !coversBreak) {
            continue;
        }
        const double left = rowLayout.xOf(from, advance);
        double right = to > from ? rowLayout.xOf(to - 1, advance) + advance : left;
        if (coversBreak) {
            right += advance;
        }
        right = std::min(right, layout_->availableWidth());
        painter.fillRect(QRectF(textInset + left, lineTop(line), std::max(right - left, 0.0), linePitch()),
                         highlight);
    }
}

QRectF TerminalTextView::cursorRectangle() const
{
    const TextPosition cursor = cursorPosition();
    return CursorShape::rectangle(cursorStyle_, cellOrigin(cursor.row, cursor.column), fontSize_,
                                  lineSpacing_);
}

void TerminalTextView::paintCursor(QPainter& painter)
{
    if (engine_->rowCount() == 0) {
        return;
    }
    const QRectF rectangle = cursorRectangle();
    painter.fillRect(rectangle, QColor::fromRgbF(CursorShape::grey, CursorShape::grey, CursorShape::grey));
    if (cursorStyle_ != TerminalCursorStyle::block) {
        return;
    }
    const int row = engine_->cursorLine();
    const int column = engine_->cursorColumn();
    if (row < 0 || row >= static_cast<int>(engine_->rowCount()) || column < 0 ||
        column >= engine_->columns()) {
        return;
    }
    const auto cells = engine_->row(static_cast<std::size_t>(row));
    if (column >= static_cast<int>(cells.size()) ||
        cells[static_cast<std::size_t>(column)].character == U' ') {
        return;
    }
    const char32_t scalar = cells[static_cast<std::size_t>(column)].character;
    const QPointF origin = cellOrigin(row, column);
    const double ratio = devicePixelRatioF();
    const QPointF baseline(origin.x(), baselineDeviceRow(origin.y(), metrics_->ascent(), ratio) / ratio);
    painter.setPen(Qt::black);
    const std::uint32_t glyph = layout_->rowLayout(row).isIrregular(column) ? 0 : metrics_->glyphFor(scalar);
    if (glyph != 0) {
        QGlyphRun run; // the same glyph, size and position as the text under the block
        run.setRawFont(metrics_->rawFont());
        run.setGlyphIndexes({glyph});
        run.setPositions({baseline});
        painter.drawGlyphRun(QPointF(0, 0), run);
    } else {
        painter.setFont(metrics_->font());
        painter.drawText(baseline, QString::fromUcs4(&scalar, 1));
    }
}
