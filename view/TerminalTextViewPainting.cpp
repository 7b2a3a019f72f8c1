// Painting: only the display lines inside the exposed area, glyphs of the terminal font gathered per
// colour and drawn as one glyph run each, fallback glyphs one by one, then the selection highlight
// under and the cursor over the text. No background is drawn: the backdrop shows through.
#include "CursorShape.h"
#include "DocumentLayout.h"
#include "GlyphMetrics.h"
#include "TerminalTextView.h"
#include "engine/TerminalEngine.h"

#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

float channel(float value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

// Engine colours keep out-of-range components; the screen shows them clamped to 0...1.
QColor toQColor(const Color& color)
{
    return QColor::fromRgbF(channel(color.red), channel(color.green), channel(color.blue),
                            channel(color.alpha));
}

struct GlyphBatch {
    Color color;
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

struct LooseGlyph {
    Color color;
    char32_t scalar;
    QPointF baseline;
};

// A colour's exact bits, as a hash key. Colours equal by value may differ in bits (0.0 and -0.0):
// they then get two batches, which paint the same.
struct ColorBits {
    std::array<std::uint32_t, 4> bits;
    explicit ColorBits(const Color& color)
        : bits{std::bit_cast<std::uint32_t>(color.red), std::bit_cast<std::uint32_t>(color.green),
               std::bit_cast<std::uint32_t>(color.blue), std::bit_cast<std::uint32_t>(color.alpha)}
    {
    }
    friend bool operator==(const ColorBits&, const ColorBits&) = default;
};

struct ColorBitsHash {
    std::size_t operator()(const ColorBits& key) const
    {
        std::uint64_t hash = 0xCBF29CE484222325ULL;
        for (const std::uint32_t part : key.bits) {
            hash = (hash ^ part) * 0x100000001B3ULL;
        }
        return static_cast<std::size_t>(hash ^ (hash >> 32));
    }
};

// The glyph batches of one paint, one per colour; consecutive cells mostly share a colour, so the
// last batch used is tried first. Text in 24-bit colour can bring thousands of colours to a screen,
// so the others are found by hash, not by a search through every batch.
class GlyphBatches {
public:
    GlyphBatch& forColor(const Color& color)
    {
        if (last_ < batches_.size() && batches_[last_].color == color) {
            return batches_[last_];
        }
        const auto [entry, added] = index_.try_emplace(ColorBits(color), batches_.size());
        if (added) {
            batches_.push_back(GlyphBatch{color, {}, {}});
        }
        last_ = entry->second;
        return batches_[last_];
    }
    const std::vector<GlyphBatch>& batches() const { return batches_; }

private:
    std::vector<GlyphBatch> batches_;
    std::unordered_map<ColorBits, std::size_t, ColorBitsHash> index_;
    std::size_t last_ = 0;
};

} // namespace

void TerminalTextView::paintEvent(QPaintEvent* event)
{
    ++paintCount_;
    // Output may have arrived since the last frame: bring the line index up to the engine's rows.
    refreshLayout();
    QPainter painter(this);
    const QRect exposed = event->rect();
    const double pitch = linePitch();
    const int lastLine = layout_->totalLines() - 1;
    const int first =
        std::clamp(static_cast<int>(std::floor((exposed.top() - textInset) / pitch)), 0, lastLine);
    const int last =
        std::clamp(static_cast<int>(std::floor((exposed.bottom() - textInset) / pitch)), 0, lastLine);
    if (lastLine >= 0) {
        paintSelection(painter, first, last);
        paintLines(painter, first, last);
    }
    paintCursor(painter);
}

void TerminalTextView::paintLines(QPainter& painter, int firstLine, int lastLine)
{
    const double advance = metrics_->advance();
    const double ascent = metrics_->ascent();
    GlyphBatches batches;
    std::vector<LooseGlyph> loose;
    for (int line = firstLine; line <= lastLine; ++line) {
        const LinePosition position = layout_->rowAtLine(line);
        const auto cells = engine_->row(static_cast<std::size_t>(position.row));
        const RowLayout& rowLayout = layout_->rowLayout(position.row);
        const int count = static_cast<int>(cells.size());
        const int from = rowLayout.lineStart(position.line);
        const int to =
            position.line + 1 < rowLayout.lineCount() ? rowLayout.lineStart(position.line + 1) : count;
        const double baseline = lineTop(line) + ascent;
        for (int c = from; c < to; ++c) {
            const Cell& cell = cells[static_cast<std::size_t>(c)];
            if (cell.character == U' ') {
                continue;
            }
            const QPointF origin(textInset + rowLayout.xOf(c, advance), baseline);
            const std::uint32_t glyph = rowLayout.isIrregular(c) ? 0 : metrics_->glyphFor(cell.character);
            if (glyph != 0) {
                GlyphBatch& batch = batches.forColor(cell.color);
                batch.glyphs.append(glyph);
                batch.positions.append(origin);
            } else {
                loose.push_back(LooseGlyph{cell.color, cell.character, origin});
            }
        }
    }
    for (const GlyphBatch& batch : batches.batches()) {
        QGlyphRun run;
        run.setRawFont(metrics_->rawFont());
        run.setGlyphIndexes(batch.glyphs);
        run.setPositions(batch.positions);
        painter.setPen(toQColor(batch.color));
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!loose.empty()) {
        // Scalars the terminal font lacks: Qt's font fallback finds a glyph for each.
        painter.setFont(metrics_->font());
        for (const LooseGlyph& glyph : loose) {
            painter.setPen(toQColor(glyph.color));
            painter.drawText(glyph.baseline, QString::fromUcs4(&glyph.scalar, 1));
        }
    }
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
        const int lineTo = lastOfRow ? count : rowLayout.lineStart(position.line + 1);
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
    const int row = engine_->cursorRow();
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
    const QPointF baseline(origin.x(), origin.y() + metrics_->ascent());
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
