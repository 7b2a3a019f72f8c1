// The image is as small as the ink allows: its extent is the union of the glyphs' bounds (cached per
// glyph), padded for antialiasing, so blending it touches few pixels beyond the text itself.
#include "LineImage.h"

#include "GlyphMetrics.h"
#include "RowLayout.h"
#include "engine/TerminalEngine.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

constexpr double inkPadding = 2.0; // device pixels around the outlines' bounds: antialiasing, hinting

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

struct PlacedGlyph {
    Color color;
    std::uint32_t glyph; // 0: drawn through the fallback fonts
    char32_t scalar;
    double x; // logical, in view coordinates
};

struct GlyphBatch {
    int font; // 0: the terminal font; n: fallback font n - 1
    Color color;
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

// A font and a colour's exact bits, as a hash key. Colours equal by value may differ in bits (0.0
// and -0.0): they then get two batches, which paint the same.
struct BatchKey {
    std::array<std::uint32_t, 5> bits;
    BatchKey(int font, const Color& color)
        : bits{std::bit_cast<std::uint32_t>(color.red), std::bit_cast<std::uint32_t>(color.green),
               std::bit_cast<std::uint32_t>(color.blue), std::bit_cast<std::uint32_t>(color.alpha),
               static_cast<std::uint32_t>(font)}
    {
    }
    friend bool operator==(const BatchKey&, const BatchKey&) = default;
};

struct BatchKeyHash {
    std::size_t operator()(const BatchKey& key) const
    {
        std::uint64_t hash = 0xCBF29CE484222325ULL;
        for (const std::uint32_t part : key.bits) {
            hash = (hash ^ part) * 0x100000001B3ULL;
        }
        return static_cast<std::size_t>(hash ^ (hash >> 32));
    }
};

// The glyph batches of one line, one per font and colour; consecutive cells mostly share both, so
// the last batch used is tried first. Text in 24-bit colour can bring a colour per run to a line, so the
// others are found by hash, not by a search through every batch.
class GlyphBatches {
public:
    GlyphBatch& forGlyph(int font, const Color& color)
    {
        if (last_ < batches_.size() && batches_[last_].font == font && batches_[last_].color == color) {
            return batches_[last_];
        }
        const auto [entry, added] = index_.try_emplace(BatchKey(font, color), batches_.size());
        if (added) {
            batches_.push_back(GlyphBatch{font, color, {}, {}});
        }
        last_ = entry->second;
        return batches_[last_];
    }
    const std::vector<GlyphBatch>& batches() const { return batches_; }

private:
    std::vector<GlyphBatch> batches_;
    std::unordered_map<BatchKey, std::size_t, BatchKeyHash> index_;
    std::size_t last_ = 0;
};

} // namespace

int baselineDeviceRow(double lineTop, double ascent, double devicePixelRatio)
{
    return static_cast<int>(std::lround((lineTop + ascent) * devicePixelRatio));
}

LineImage renderLine(std::span<const Cell> cells, const RowLayout& layout, int from, int to, double inset,
                     GlyphMetrics& metrics, double devicePixelRatio, const TerminalEngine& engine)
{
    const double advance = metrics.advance();
    std::vector<PlacedGlyph> placed;
    // Ink bounds in logical units, x in view coordinates, y relative to the baseline.
    double left = 0, right = 0, top = 0, bottom = 0;
    for (int c = std::max(from, 0); c < std::min(to, static_cast<int>(cells.size())); ++c) {
        const Cell& cell = cells[static_cast<std::size_t>(c)];
        if (cell.character == U' ' || cell.character == 0 || (cell.style.flags & CellFlags::hidden)) {
            continue;
        }
        // A character with combining marks shows its base character for now.
        const char32_t scalar = cell.character >= firstClusterCharacter ? engine.cellText(cell)[0] : cell.character;
        const Color color = (cell.style.flags & CellFlags::inverse)
                                ? engine.resolveBackground(cell.style.background)
                                : engine.resolveForeground(cell.style.foreground);
        const double x = inset + layout.xOf(c, advance);
        const std::uint32_t glyph = layout.isIrregular(c) ? 0 : metrics.glyphFor(scalar);
        const QRectF bounds = glyph != 0 ? metrics.glyphBounds(glyph) : metrics.fallbackBounds(scalar);
        if (placed.empty()) {
            left = x + bounds.left();
            right = x + bounds.right();
            top = bounds.top();
            bottom = bounds.bottom();
        } else {
            left = std::min(left, x + bounds.left());
            right = std::max(right, x + bounds.right());
            top = std::min(top, bounds.top());
            bottom = std::max(bottom, bounds.bottom());
        }
        placed.push_back(PlacedGlyph{color, glyph, scalar, x});
    }
    LineImage line;
    if (placed.empty()) {
        return line;
    }
    const double ratio = devicePixelRatio;
    line.left = static_cast<int>(std::floor(left * ratio - inkPadding));
    const int width = static_cast<int>(std::ceil(right * ratio + inkPadding)) - line.left;
    const int above = static_cast<int>(std::ceil(-top * ratio + inkPadding));
    const int height = above + static_cast<int>(std::ceil(bottom * ratio + inkPadding));
    if (width <= 0 || height <= 0 || width > 1 << 15 || height > 1 << 15) {
        return line;
    }
    line.baselineRow = above;
    line.image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    line.image.setDevicePixelRatio(ratio);
    line.image.fill(Qt::transparent);

    // Image coordinates: whole device pixels away from the view's, so subpixel x positions survive.
    const double originX = line.left / ratio;
    const double baseline = above / ratio;
    GlyphBatches batches;
    std::vector<const PlacedGlyph*> fallback;
    for (const PlacedGlyph& glyph : placed) {
        const QPointF origin(glyph.x - originX, baseline);
        if (glyph.glyph != 0) {
            GlyphBatch& batch = batches.forGlyph(0, glyph.color);
            batch.glyphs.append(glyph.glyph);
            batch.positions.append(origin);
            continue;
        }
        const GlyphMetrics::FallbackGlyph& resolved = metrics.fallbackGlyph(glyph.scalar);
        if (resolved.font < 0) {
            fallback.push_back(&glyph);
            continue;
        }
        GlyphBatch& batch = batches.forGlyph(resolved.font + 1, glyph.color);
        batch.glyphs.append(resolved.glyph);
        batch.positions.append(origin + resolved.offset);
    }
    QPainter painter(&line.image);
    for (const GlyphBatch& batch : batches.batches()) {
        QGlyphRun run;
        run.setRawFont(batch.font == 0 ? metrics.rawFont() : metrics.fallbackFont(batch.font - 1));
        run.setGlyphIndexes(batch.glyphs);
        run.setPositions(batch.positions);
        painter.setPen(toQColor(batch.color));
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    if (!fallback.empty()) {
        // Scalars that do not shape to one glyph (rare): laid out as text.
        painter.setFont(metrics.font());
        for (const PlacedGlyph* glyph : fallback) {
            painter.setPen(toQColor(glyph->color));
            painter.drawText(QPointF(glyph->x - originX, baseline), QString::fromUcs4(&glyph->scalar, 1));
        }
    }
    return line;
}
