// Painting: only the display lines inside the exposed area, each from its cached line (drawn once per
// row content): first every line's cell backgrounds, then the selection highlight, then every line's
// text image, then the cursor. Where no background is set the backdrop shows through.
#include "CursorShape.h"
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "LineImageCache.h"
#include "TerminalTextView.h"
#include "engine/CharacterWidth.h"
#include "engine/ScreenReader.h"
#include "engine/TerminalModes.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

void TerminalTextView::paintEvent(QPaintEvent* event)
{
    ++paintCount_;
    // Output may have arrived since the last frame: bring the line index up to the engine's rows.
    refreshLayout();
    QPainter painter(this);
    const QRect exposed = event->rect();
    const ScreenReader screen = this->screen();
    const QRgb background = CellColours(screen, screen.modes().reverseVideo).screenBackground();
    if (background != 0) {
        painter.fillRect(exposed, QColor::fromRgba(background));
    }
    const int lastLine = layout_->totalLines() - 1;
    // One line more on either side: their glyphs' ink may reach into the exposed area.
    const int first = std::max(lineAt(exposed.top()) - 1, 0);
    const int last = std::min(lineAt(exposed.bottom()) + 1, std::max(lastLine, 0));
    if (lastLine >= 0) {
        paintLines(painter, first, last);
        paintHoveredLink(painter);
    }
    if (preedit_.isEmpty()) {
        paintCursor(painter);
    } else {
        paintPreedit(painter); // in the cursor's place
    }
}

void TerminalTextView::paintLines(QPainter& painter, int firstLine, int lastLine)
{
    const double ratio = devicePixelRatioF();
    const ScreenReader screen = this->screen();
    const bool reverseVideo = screen.modes().reverseVideo;
    images_->useLook(ratio, reverseVideo);
    CellColours colours = cellColours(screen);
    std::vector<const LineImage*> lines;
    lines.reserve(static_cast<std::size_t>(lastLine - firstLine + 1));
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        const std::uint64_t stamp = screen.rowStamp(static_cast<std::size_t>(position.row));
        const LineImage* image = images_->find(stamp, position.line);
        if (image == nullptr) {
            const auto cells = screen.row(static_cast<std::size_t>(position.row));
            const RowLayout& rowLayout = layout_->rowLayout(position.row);
            const int from = rowLayout.lineStart(position.line);
            const int to = rowLayout.lineEnd(position.line, static_cast<int>(cells.size()));
            image = &images_->insert(
                stamp, position.line,
                renderLine(cells, rowLayout, from, to, textInset, linePitch(), *metrics_, ratio, colours));
        }
        lines.push_back(image);
    }
    // A line's background spans its whole pitch, from its rounded top to the next line's, so the
    // backgrounds of consecutive lines meet without a gap or an overlap.
    for (int line = firstLine; line <= lastLine; ++line) {
        const LineImage& image = *lines[static_cast<std::size_t>(line - firstLine)];
        if (image.backgrounds.empty()) {
            continue;
        }
        const int top = static_cast<int>(std::lround(lineTop(line) * ratio));
        const int height = static_cast<int>(std::lround(lineTop(line + 1) * ratio)) - top;
        for (const BackgroundRun& run : image.backgrounds) {
            const QColor color = QColor::fromRgba(run.color);
            if (ratio == 1.0) {
                painter.fillRect(QRect(run.left, top, run.right - run.left, height), color);
            } else {
                painter.fillRect(
                    QRectF(run.left / ratio, top / ratio, (run.right - run.left) / ratio, height / ratio),
                    color);
            }
        }
    }
    paintSelection(painter, firstLine, lastLine);
    paintMatches(painter, firstLine, lastLine);
    paintFailedMarks(painter, firstLine, lastLine);
    // Selected text in a colour of its own: the line's image around the selection, the selected
    // cells drawn again in that colour (a few lines, only while something is selected).
    const std::vector<SelectedSpan> recoloured =
        selectionTextColor_ ? selectedSpans(firstLine, lastLine) : std::vector<SelectedSpan>();
    auto span = recoloured.begin();
    for (int line = firstLine; line <= lastLine; ++line) {
        const LineImage& image = *lines[static_cast<std::size_t>(line - firstLine)];
        const bool selected = span != recoloured.end() && span->line == line;
        if (!image.image.isNull()) {
            const int top = baselineDeviceRow(lineTop(line), metrics_->ascent(), ratio) - image.baselineRow;
            const QPointF at(image.left / ratio, top / ratio);
            if (selected) {
                painter.save();
                painter.setClipRegion(QRegion(rect()).subtracted(QRegion(span->area.toAlignedRect())));
                painter.drawImage(at, image.image);
                painter.restore();
            } else {
                painter.drawImage(at, image.image);
            }
        }
        if (selected) {
            paintSelectedText(painter, *span++);
        }
    }
    // The visible lines this paint did not need stay wanted: a later paint shows them again.
    const QRect visible = visibleRegion().boundingRect();
    const auto [firstVisible, lastVisible] = visibleLines(visible);
    for (int line = firstVisible; line <= lastVisible && !visible.isEmpty(); ++line) {
        if (line < firstLine || line > lastLine) {
            const LinePosition position = layout_->rowAtLine(line);
            images_->find(screen.rowStamp(static_cast<std::size_t>(position.row)), position.line);
        }
    }
    images_->finishPaint(static_cast<std::size_t>(std::max(lastVisible - firstVisible + 1, 0)) + 2);
}

void TerminalTextView::paintSelection(QPainter& painter, int firstLine, int lastLine)
{
    QColor highlight = selectionColor_.value_or(palette().color(QPalette::Highlight));
    highlight.setAlpha(150);
    for (const SelectedSpan& span : selectedSpans(firstLine, lastLine)) {
        painter.fillRect(span.area, highlight);
    }
}

void TerminalTextView::paintSelectedText(QPainter& painter, const SelectedSpan& span)
{
    if (span.from >= span.to) {
        return;
    }
    const ScreenReader screen = this->screen();
    const double ratio = devicePixelRatioF();
    CellColours colours(screen, screen.modes().reverseVideo);
    colours.setForeground(selectionTextColor_->rgb());
    const LineImage glyphs =
        renderLine(screen.row(static_cast<std::size_t>(span.row)), layout_->rowLayout(span.row), span.from,
                   span.to, textInset, linePitch(), *metrics_, ratio, colours);
    if (glyphs.image.isNull()) {
        return;
    }
    const int top = baselineDeviceRow(lineTop(span.line), metrics_->ascent(), ratio) - glyphs.baselineRow;
    painter.save();
    painter.setClipRect(span.area);
    painter.drawImage(QPointF(glyphs.left / ratio, top / ratio), glyphs.image);
    painter.restore();
}

std::vector<TerminalTextView::SelectedSpan> TerminalTextView::selectedSpans(int firstLine, int lastLine) const
{
    std::vector<SelectedSpan> spans;
    if (selection_.isEmpty()) {
        return spans;
    }
    const TextPosition start = selection_.start();
    const TextPosition end = selection_.end();
    const double advance = metrics_->advance();
    const ScreenReader screen = this->screen();
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        if (position.row < start.row || position.row > end.row) {
            continue;
        }
        const RowLayout& rowLayout = layout_->rowLayout(position.row);
        const int count = static_cast<int>(screen.row(static_cast<std::size_t>(position.row)).size());
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
        spans.push_back({line, position.row, from, to,
                         QRectF(textInset + left, lineTop(line), std::max(right - left, 0.0), linePitch())});
    }
    return spans;
}

QRectF TerminalTextView::cursorRectangle() const
{
    const TextPosition cursor = cursorPosition();
    const ScreenReader screen = this->screen();
    // Over the first half of a wide character the cursor covers both of its cells.
    double extraWidth = 0.0;
    if (cursor.row < static_cast<int>(screen.rowCount())) {
        const auto cells = screen.row(static_cast<std::size_t>(cursor.row));
        if (cursor.column < static_cast<int>(cells.size()) &&
            (cells[static_cast<std::size_t>(cursor.column)].style.flags & CellFlags::wideHead)) {
            extraWidth = metrics_->advance();
        }
    }
    return CursorShape::rectangle(CursorShape::shapeFor(screen.cursorStyle(), cursorStyle_),
                                  cellOrigin(cursor.row, cursor.column), fontSize_, lineSpacing_, extraWidth);
}

void TerminalTextView::paintCursor(QPainter& painter)
{
    const ScreenReader screen = this->screen();
    if (screen.rowCount() == 0 || !screen.modes().cursorVisible || !cursorBlink_->shown()) {
        return;
    }
    const QRectF rectangle = cursorRectangle();
    const TextPosition cursor = cursorPosition();
    const auto cells = screen.row(static_cast<std::size_t>(cursor.row));
    const bool reverseVideo = screen.modes().reverseVideo;
    if (cursor.column >= static_cast<int>(cells.size())) {
        return;
    }
    const Cell& cell = cells[static_cast<std::size_t>(cursor.column)];
    // The cursor is the inverse of its cell: the scheme's cursor colour over text in the default
    // colour, else the text's colour, with the cell's character in its background colour.
    QColor fill = QColor::fromRgbF(cursorColor_.red, cursorColor_.green, cursorColor_.blue);
    const QRgb text = CellColours(screen, reverseVideo).of(cell.style).foreground;
    if (text != 0 && (reverseVideo || !CellColor::isDefault(cell.style.foreground) ||
                      (cell.style.flags & CellFlags::inverse))) {
        fill = QColor::fromRgb(text);
    }
    painter.fillRect(rectangle, fill);
    if (CursorShape::shapeFor(screen.cursorStyle(), cursorStyle_) != TerminalCursorStyle::block) {
        return;
    }
    const RowLayout& rowLayout = layout_->rowLayout(cursor.row);
    const int end = (cell.style.flags & CellFlags::wideHead) ? cursor.column + 2 : cursor.column + 1;
    const double ratio = devicePixelRatioF();
    CellColours inverted(screen, reverseVideo, true);
    // The same glyph, face, size and position as the text under the block.
    const LineImage glyph =
        renderLine(cells, rowLayout, cursor.column, end, textInset, linePitch(), *metrics_, ratio, inverted);
    if (glyph.image.isNull()) {
        return;
    }
    const int line = layout_->firstLineOf(cursor.row) + rowLayout.lineOf(cursor.column);
    const int top = baselineDeviceRow(lineTop(line), metrics_->ascent(), ratio) - glyph.baselineRow;
    painter.save();
    painter.setClipRect(rectangle);
    painter.drawImage(QPointF(glyph.left / ratio, top / ratio), glyph.image);
    painter.restore();
}

// The preedit over the cells from the cursor on, one cell per character (two for a wide one), in the
// text's font and colour on the glass's colour, so the program's text under it is hidden but not
// moved; underlined, with the segment being converted highlighted and the method's own cursor.
void TerminalTextView::paintPreedit(QPainter& painter)
{
    const double advance = metrics_->advance();
    const double pitch = linePitch();
    struct Piece {
        QString text;
        int utf16Start = 0;
        double x = 0; // from the preedit's left edge
        double width = 0;
    };
    std::vector<Piece> pieces;
    double width = 0;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, preedit_);
    for (int start = 0; start < preedit_.size();) {
        const int end = graphemes.toNextBoundary();
        const int next = end < 0 ? static_cast<int>(preedit_.size()) : end;
        const QString text = preedit_.mid(start, next - start);
        const char32_t first = text.toUcs4().value(0);
        const double cells = characterWidth(first) == 2 ? 2 : 1;
        pieces.push_back({text, start, width, cells * advance});
        width += cells * advance;
        start = next;
    }
    const QRectF cursor = inputCursorRectangle();
    // A preedit longer than the rest of the line ends at the view's right edge.
    const double right = textInset + layout_->availableWidth();
    const double left = std::max(textInset, std::min(cursor.left(), right - width));
    const double top = cursor.top();
    const QColor text = QColor::fromRgbF(textColor_.red, textColor_.green, textColor_.blue);
    const QColor glass = QColor::fromRgbF(glassColor_.red, glassColor_.green, glassColor_.blue);
    painter.save();
    painter.fillRect(QRectF(left, top, width, pitch), glass);
    QColor highlight = palette().color(QPalette::Highlight);
    for (const auto& [start, length] : preeditSelected_) {
        for (const Piece& piece : pieces) {
            if (piece.utf16Start >= start && piece.utf16Start < start + length) {
                painter.fillRect(QRectF(left + piece.x, top, piece.width, pitch), highlight);
            }
        }
    }
    painter.setFont(metrics_->font());
    painter.setPen(text);
    const double baseline = top + metrics_->ascent();
    for (const Piece& piece : pieces) {
        painter.drawText(QPointF(left + piece.x, baseline), piece.text);
    }
    const double thickness = std::max(1.0, metrics_->lineThickness());
    painter.fillRect(QRectF(left, baseline + metrics_->underlinePosition(), width, thickness), text);
    if (preeditCursor_ >= 0) {
        double x = width;
        for (const Piece& piece : pieces) {
            if (piece.utf16Start >= preeditCursor_) {
                x = piece.x;
                break;
            }
        }
        painter.fillRect(QRectF(left + std::min(x, width - 2), top, 2, pitch), text); // inside the preedit
    }
    painter.restore();
}
