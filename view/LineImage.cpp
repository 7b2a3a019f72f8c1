// The image is as small as the ink allows: its extent is the union of the glyphs' bounds (cached per
// glyph) and the decorations, padded for antialiasing, so blending it touches few pixels beyond the
// text itself. Backgrounds are not in it: they are filled under every line's text before any text is
// blended, so descenders and accents that reach into a neighbouring line are never covered by that
// line's background, and rows of backgrounds meet without gaps however the line tops round.
#include "LineImage.h"

#include "BoxDrawing.h"
#include "GlyphMetrics.h"
#include "MinimumContrast.h"
#include "RowLayout.h"
#include "engine/ScreenReader.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace {

constexpr double inkPadding = 2.0; // device pixels around the outlines' bounds: antialiasing, hinting

int channel(float value)
{
    return std::isfinite(value) ? static_cast<int>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)) : 0;
}

// Engine colours keep out-of-range components; the screen shows them clamped to 0...1.
QRgb toRgb(const Color& color)
{
    return qRgba(channel(color.red), channel(color.green), channel(color.blue), channel(color.alpha));
}

QRgb opaque(QRgb color)
{
    return color | 0xFF000000u;
}

struct PlacedGlyph {
    int font;
    std::uint32_t index;
    QPointF origin; // logical, x in view coordinates, y from the baseline
    QRgb color;
};

struct PlacedText {
    QString text;
    QPointF origin;
    QRgb color;
};

// An underline of one style or a strikethrough over device pixel columns [left, right).
struct Decoration {
    enum Kind { strike, single, doubled, curly, dotted, dashed } kind;
    int left;
    int right;
    QRgb color;
};

// Where decorations go, in device pixel rows from the baseline row (positive: below it).
struct DecorationRows {
    int thickness;
    int underline; // the first row of the (first) underline
    int strike;    // the first row of the strikethrough
    int amplitude; // of the curly underline's wave
    DecorationRows(const GlyphMetrics& metrics, double ratio)
        : thickness(std::max(1, static_cast<int>(std::lround(metrics.lineThickness() * ratio)))),
          underline(std::max(static_cast<int>(std::lround(metrics.underlinePosition() * ratio)),
                             std::max(1, static_cast<int>(std::lround(ratio))))),
          strike(-static_cast<int>(std::lround(metrics.xHeight() * ratio / 2)) - thickness / 2),
          amplitude(std::max(thickness, static_cast<int>(std::lround(1.5 * ratio))))
    {
    }
    // The rows a decoration covers: [first, second).
    std::pair<int, int> extent(Decoration::Kind kind) const
    {
        switch (kind) {
        case Decoration::strike:
            return {strike, strike + thickness};
        case Decoration::doubled:
            return {underline, underline + 3 * thickness};
        case Decoration::curly:
            return {underline - thickness, underline + 2 * amplitude + thickness};
        default:
            return {underline, underline + thickness};
        }
    }
};

Decoration::Kind underlineKind(CellFlags::Underline underline)
{
    switch (underline) {
    case CellFlags::Underline::doubled:
        return Decoration::doubled;
    case CellFlags::Underline::curly:
        return Decoration::curly;
    case CellFlags::Underline::dotted:
        return Decoration::dotted;
    case CellFlags::Underline::dashed:
        return Decoration::dashed;
    default:
        return Decoration::single;
    }
}

void addDecoration(std::vector<Decoration>& decorations, Decoration next)
{
    // A curly or dashed underline repeats per cell; the others are one stretch of the run's cells.
    if (!decorations.empty() && next.kind != Decoration::curly && next.kind != Decoration::dashed) {
        Decoration& last = decorations.back();
        if (last.kind == next.kind && last.color == next.color && last.right == next.left) {
            last.right = next.right;
            return;
        }
    }
    decorations.push_back(next);
}

void drawDecoration(QPainter& painter, const Decoration& decoration, const DecorationRows& rows,
                    int imageLeft, int baselineRow, double ratio)
{
    const QColor color = QColor::fromRgba(decoration.color);
    const int left = decoration.left - imageLeft;
    const int right = decoration.right - imageLeft;
    const int t = rows.thickness;
    const auto bar = [&](int from, int to, int top) {
        painter.fillRect(QRectF(from / ratio, (baselineRow + top) / ratio, (to - from) / ratio, t / ratio),
                         color);
    };
    switch (decoration.kind) {
    case Decoration::strike:
        bar(left, right, rows.strike);
        return;
    case Decoration::single:
        bar(left, right, rows.underline);
        return;
    case Decoration::doubled:
        bar(left, right, rows.underline);
        bar(left, right, rows.underline + 2 * t);
        return;
    case Decoration::dotted: {
        // Dots on a pattern fixed to the view's columns, so neighbouring runs continue it.
        const int period = 2 * t;
        int x = decoration.left + ((period - decoration.left % period) % period) - imageLeft;
        for (; x < right; x += period) {
            bar(x, std::min(x + t, right), rows.underline);
        }
        return;
    }
    case Decoration::dashed: {
        const int gap = std::max((right - left) / 4, 1);
        bar(left + gap, std::max(right - gap, left + gap + 1), rows.underline);
        return;
    }
    case Decoration::curly: {
        // One period of a wave per cell, starting and ending on its centre line going the same way.
        const double centre = (baselineRow + rows.underline + rows.amplitude) / ratio;
        const double swing = 2.0 * rows.amplitude / ratio; // a quadratic's peak is half its control's
        const double x0 = left / ratio;
        const double quarter = (right - left) / ratio / 4;
        QPainterPath path(QPointF(x0, centre));
        path.quadTo(x0 + quarter, centre - swing, x0 + 2 * quarter, centre);
        path.quadTo(x0 + 3 * quarter, centre + swing, x0 + 4 * quarter, centre);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.strokePath(path, QPen(color, t / ratio));
        painter.setRenderHint(QPainter::Antialiasing, false);
        return;
    }
    }
}

// The glyph batches of one line, one per font and colour; consecutive cells mostly share both, so
// the last batch used is tried first. Text in 24-bit colour can bring a colour per run to a line, so
// the others are found by hash, not by a search through every batch.
struct GlyphBatch {
    int font;
    QRgb color;
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

class GlyphBatches {
public:
    GlyphBatch& forGlyph(int font, QRgb color)
    {
        if (last_ < batches_.size() && batches_[last_].font == font && batches_[last_].color == color) {
            return batches_[last_];
        }
        const std::uint64_t key = static_cast<std::uint64_t>(static_cast<std::uint32_t>(font)) << 32 | color;
        const auto [entry, added] = index_.try_emplace(key, batches_.size());
        if (added) {
            batches_.push_back(GlyphBatch{font, color, {}, {}});
        }
        last_ = entry->second;
        return batches_[last_];
    }
    const std::vector<GlyphBatch>& batches() const { return batches_; }

private:
    std::vector<GlyphBatch> batches_;
    std::unordered_map<std::uint64_t, std::size_t> index_;
    std::size_t last_ = 0;
};

// The union of ink rectangles, x in view coordinates, y from the baseline, logical units.
class InkBounds {
public:
    void add(const QRectF& rect)
    {
        if (empty_) {
            left_ = rect.left();
            right_ = rect.right();
            top_ = rect.top();
            bottom_ = rect.bottom();
            empty_ = false;
            return;
        }
        left_ = std::min(left_, rect.left());
        right_ = std::max(right_, rect.right());
        top_ = std::min(top_, rect.top());
        bottom_ = std::max(bottom_, rect.bottom());
    }
    bool empty() const { return empty_; }
    double left() const { return left_; }
    double right() const { return right_; }
    double top() const { return top_; }
    double bottom() const { return bottom_; }

private:
    bool empty_ = true;
    double left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
};

} // namespace

CellColours::CellColours(const ScreenReader& engine, bool reverseVideo, bool cursorCell)
    : engine_(engine), reverseVideo_(reverseVideo), cursorCell_(cursorCell),
      text_(opaque(toRgb(engine.baseTextColor()))),
      glass_(opaque(toRgb(engine.resolveBackground(CellColor::defaultColor))))
{
}

CellColours::Ink CellColours::resolve(const CellStyle& style) const
{
    const std::uint16_t flags = style.flags;
    QRgb foreground = CellColor::isDefault(style.foreground)
                          ? (reverseVideo_ ? glass_ : text_)
                          : toRgb(engine_.resolveForeground(style.foreground));
    // The colour the background stands for; a default one is drawn by nobody per cell (it is the
    // glass, or under reverse video the fill under the whole screen).
    QRgb background = CellColor::isDefault(style.background)
                          ? (reverseVideo_ ? text_ : glass_)
                          : opaque(toRgb(engine_.resolveBackground(style.background)));
    bool backgroundDrawn = !CellColor::isDefault(style.background);
    if (flags & CellFlags::inverse) {
        std::swap(foreground, background);
        background = opaque(background);
        backgroundDrawn = true;
    }
    if (cursorCell_) {
        const QRgb ink = (flags & CellFlags::hidden) ? 0 : background;
        return Ink{ink, 0, ink};
    }
    if (foreground_) {
        const QRgb ink = (flags & CellFlags::hidden) ? 0 : *foreground_;
        return Ink{ink, 0, ink};
    }
    if (contrast_ != nullptr) {
        foreground = contrast_->legible(foreground, opaque(background));
    }
    if (flags & CellFlags::faint) {
        foreground = qRgba(qRed(foreground), qGreen(foreground), qBlue(foreground), qAlpha(foreground) / 2);
    }
    if (flags & CellFlags::hidden) {
        foreground = 0;
    }
    const std::uint32_t underline = engine_.underlineColor(style.link);
    return Ink{foreground, backgroundDrawn ? background : 0,
               CellColor::isDefault(underline) ? foreground : toRgb(engine_.resolveForeground(underline))};
}

int baselineDeviceRow(double lineTop, double ascent, double devicePixelRatio)
{
    return static_cast<int>(std::lround((lineTop + ascent) * devicePixelRatio));
}

LineImage renderLine(std::span<const Cell> cells, const RowLayout& layout, int from, int to, double inset,
                     double pitch, GlyphMetrics& metrics, double devicePixelRatio, CellColours& colours)
{
    const double ratio = devicePixelRatio;
    const double advance = metrics.advance();
    const DecorationRows rows(metrics, ratio);
    const auto device = [ratio](double x) { return static_cast<int>(std::lround(x * ratio)); };
    std::vector<PlacedGlyph> placed;
    std::vector<PlacedText> texts;
    std::vector<Decoration> decorations;
    std::vector<std::pair<QRect, QRgb>> boxStrokes; // device pixels from the baseline origin
    // A cell's rows from the baseline, for box-drawing lines.
    const int cellTop = -static_cast<int>(std::lround(metrics.ascent() * ratio));
    const int cellHeight = std::max(static_cast<int>(std::lround(pitch * ratio)), 1);
    InkBounds ink;
    LineImage line;
    const int end = std::min(to, static_cast<int>(cells.size()));
    for (int c = std::max(from, 0); c < end; ++c) {
        const Cell& cell = cells[static_cast<std::size_t>(c)];
        const CellColours::Ink& colors = colours.of(cell.style);
        const double left = inset + layout.xOf(c, advance);
        const double right = c + 1 < end ? inset + layout.xOf(c + 1, advance) : left + advance;
        if (colors.background != 0) {
            const int deviceLeft = device(left);
            const int deviceRight = device(right);
            if (!line.backgrounds.empty() && line.backgrounds.back().color == colors.background &&
                line.backgrounds.back().right == deviceLeft) {
                line.backgrounds.back().right = deviceRight;
            } else {
                line.backgrounds.push_back(BackgroundRun{deviceLeft, deviceRight, colors.background});
            }
        }
        if (colors.foreground == 0) {
            continue; // hidden
        }
        const std::uint16_t flags = cell.style.flags;
        const auto decorate = [&](Decoration::Kind kind) {
            const auto [top, bottom] = rows.extent(kind);
            const QRgb color = kind == Decoration::strike ? colors.foreground : colors.underline;
            addDecoration(decorations, Decoration{kind, device(left), device(right), color});
            ink.add(QRectF(QPointF(left, top / ratio), QPointF(right, bottom / ratio)));
        };
        if (const CellFlags::Underline underline = CellFlags::underline(flags);
            underline != CellFlags::Underline::none) {
            decorate(underlineKind(underline));
        }
        if (flags & CellFlags::strikethrough) {
            decorate(Decoration::strike);
        }
        const char32_t character = cell.character;
        if (character == U' ' || character == 0) {
            continue;
        }
        if (BoxDrawing::drawsItself(character)) {
            const int x0 = device(left);
            for (const QRect& stroke :
                 BoxDrawing::strokes(character, device(right) - x0, cellHeight, rows.thickness)) {
                const QRect placedStroke = stroke.translated(x0, cellTop);
                boxStrokes.emplace_back(placedStroke, colors.foreground);
                ink.add(QRectF(placedStroke.left() / ratio, placedStroke.top() / ratio,
                               placedStroke.width() / ratio, placedStroke.height() / ratio));
            }
            continue;
        }
        const int face = GlyphMetrics::faceFor(flags & CellFlags::bold, flags & CellFlags::italic);
        double x = left;
        const auto place = [&](const GlyphMetrics::Glyph& glyph) {
            placed.push_back(
                PlacedGlyph{glyph.font, glyph.index, QPointF(x, 0) + glyph.offset, colors.foreground});
            ink.add(glyph.bounds.translated(x, 0));
        };
        if (character >= firstClusterCharacter) {
            const std::u32string_view text = colours.engine().cellText(cell);
            if (text.empty()) {
                continue;
            }
            if (flags & CellFlags::wideHead) {
                x += std::max((2 * advance - metrics.widthOf(text.front())) / 2, 0.0);
            }
            const std::vector<GlyphMetrics::Glyph>& glyphs = metrics.cluster(text, face);
            for (const GlyphMetrics::Glyph& glyph : glyphs) {
                place(glyph);
            }
            if (glyphs.empty()) {
                const QString string = QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
                ink.add(metrics.textBounds(string).translated(x, 0));
                texts.push_back(PlacedText{string, QPointF(x, 0), colors.foreground});
            }
            continue;
        }
        if (flags & CellFlags::wideHead) {
            // The glyph's own width, most often a fallback font's, centred in the two cells.
            x += std::max((2 * advance - metrics.widthOf(character)) / 2, 0.0);
        } else if (character >= 0x80) {
            // A glyph of another width (a fallback font's, a proportional font's) centred in its
            // cell, overhanging both neighbours alike when wider: the grid never moves.
            x += (advance - metrics.widthOf(character)) / 2;
        }
        const GlyphMetrics::Glyph& glyph = metrics.glyph(character, face);
        if (glyph.font >= 0) {
            place(glyph);
        } else {
            // Scalars that do not shape to one glyph (rare): laid out as text.
            const QString string = QString::fromUcs4(&character, 1);
            ink.add(metrics.textBounds(string).translated(x, 0));
            texts.push_back(PlacedText{string, QPointF(x, 0), colors.foreground});
        }
    }
    if (ink.empty()) {
        return line;
    }
    line.left = static_cast<int>(std::floor(ink.left() * ratio - inkPadding));
    const int width = static_cast<int>(std::ceil(ink.right() * ratio + inkPadding)) - line.left;
    const int above = static_cast<int>(std::ceil(-ink.top() * ratio + inkPadding));
    const int height = above + static_cast<int>(std::ceil(ink.bottom() * ratio + inkPadding));
    if (width <= 0 || height <= 0 || width > 1 << 15 || height > 1 << 15) {
        return line;
    }
    line.baselineRow = above;
    line.image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    line.image.setDevicePixelRatio(ratio);
    line.image.fill(Qt::transparent);

    // Image coordinates: whole device pixels away from the view's, so subpixel x positions survive.
    const QPointF origin(line.left / ratio, -above / ratio);
    GlyphBatches batches;
    for (const PlacedGlyph& glyph : placed) {
        GlyphBatch& batch = batches.forGlyph(glyph.font, glyph.color);
        batch.glyphs.append(glyph.index);
        batch.positions.append(glyph.origin - origin);
    }
    QPainter painter(&line.image);
    for (const Decoration& decoration : decorations) {
        drawDecoration(painter, decoration, rows, line.left, above, ratio);
    }
    for (const auto& [stroke, color] : boxStrokes) {
        const QRect inImage = stroke.translated(-line.left, above);
        painter.fillRect(QRectF(inImage.left() / ratio, inImage.top() / ratio, inImage.width() / ratio,
                                inImage.height() / ratio),
                         QColor::fromRgba(color));
    }
    for (const GlyphBatch& batch : batches.batches()) {
        QGlyphRun run;
        run.setRawFont(metrics.drawingFont(batch.font));
        run.setGlyphIndexes(batch.glyphs);
        run.setPositions(batch.positions);
        painter.setPen(QColor::fromRgba(batch.color));
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!texts.empty()) {
        painter.setFont(metrics.font());
        for (const PlacedText& text : texts) {
            painter.setPen(QColor::fromRgba(text.color));
            painter.drawText(text.origin - origin, text.text);
        }
    }
    return line;
}
