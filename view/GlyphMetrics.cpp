// Font measurement with caches: ASCII glyph indexes in a table, other scalars measured once.
// Qt's font matcher loads scalable fonts at whole pixel sizes, so a 13.5-pixel font would draw at
// 14; the terminal font's own glyphs are therefore measured and drawn through a QRawFont set to the
// exact size. Scalars the terminal font lacks are measured and drawn with Qt's fallback fonts.
#include "GlyphMetrics.h"

#include <QGlyphRun>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {
QString stringOf(char32_t scalar)
{
    return QString::fromUcs4(&scalar, 1);
}
} // namespace

GlyphMetrics::GlyphMetrics(const QFont& font, double emPixels)
    : font_(font), fallbackMetrics_(font), rawFont_(QRawFont::fromFont(font))
{
    if (rawFont_.isValid() && std::isfinite(emPixels) && emPixels > 0.0) {
        rawFont_.setPixelSize(emPixels);
        const QList<quint32> m = rawFont_.glyphIndexesForString(QStringLiteral("M"));
        const QList<QPointF> advances = m.isEmpty() ? QList<QPointF>() : rawFont_.advancesForGlyphIndexes(m);
        advance_ = advances.isEmpty() ? 0.0 : advances.front().x();
        ascent_ = rawFont_.ascent();
        lineHeight_ = rawFont_.ascent() + rawFont_.descent() + rawFont_.leading();
    }
    if (!(advance_ > 0.0) || !(lineHeight_ > 0.0)) {
        advance_ = fallbackMetrics_.horizontalAdvance(QLatin1Char('M'));
        ascent_ = fallbackMetrics_.ascent();
        lineHeight_ = fallbackMetrics_.lineSpacing();
    }
    if (!(advance_ > 0.0)) {
        advance_ = std::max(1.0, emPixels * 0.6);
    }
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        const QList<quint32> indexes = rawFont_.glyphIndexesForString(stringOf(c));
        asciiGlyphs_[c] = indexes.isEmpty() ? 0 : indexes.front();
    }
}

double GlyphMetrics::widthOf(char32_t scalar)
{
    if (scalar < 0x7f) {
        return advance_;
    }
    const bool inPlane = scalar < 0x10000;
    if (inPlane) {
        if (planeWidths_.empty()) {
            planeWidths_.assign(0x10000, -1.0f);
        }
        const float known = planeWidths_[scalar];
        if (known >= 0.0f) {
            return known == static_cast<float>(advance_) ? advance_ : known;
        }
    } else if (const auto found = widths_.find(scalar); found != widths_.end()) {
        return found->second;
    }
    double width = -1.0;
    if (rawFont_.supportsCharacter(static_cast<uint>(scalar))) {
        const QList<quint32> indexes = rawFont_.glyphIndexesForString(stringOf(scalar));
        if (indexes.size() == 1) {
            width = rawFont_.advancesForGlyphIndexes(indexes).front().x();
        }
        // A glyph of the terminal font at (nearly) the grid advance sits in its cell like ASCII does.
        if (std::abs(width - advance_) < 0.05) {
            width = advance_;
        }
    } else {
        width = fallbackMetrics_.horizontalAdvance(stringOf(scalar));
    }
    if (!std::isfinite(width) || width < 0.0) {
        width = advance_;
    }
    if (inPlane) {
        planeWidths_[scalar] = static_cast<float>(width);
    } else {
        widths_.emplace(scalar, width);
    }
    return width;
}

std::uint32_t GlyphMetrics::glyphFor(char32_t scalar)
{
    if (scalar < 0x7f) {
        return scalar >= 0x20 ? asciiGlyphs_[scalar] : 0;
    }
    const auto found = glyphs_.find(scalar);
    if (found != glyphs_.end()) {
        return found->second;
    }
    std::uint32_t glyph = 0;
    if (rawFont_.supportsCharacter(static_cast<uint>(scalar)) && widthOf(scalar) == advance_) {
        const QList<quint32> indexes = rawFont_.glyphIndexesForString(stringOf(scalar));
        glyph = indexes.size() == 1 ? indexes.front() : 0;
    }
    glyphs_.emplace(scalar, glyph);
    return glyph;
}

QRectF GlyphMetrics::glyphBounds(std::uint32_t glyph)
{
    const auto found = glyphBounds_.find(glyph);
    if (found != glyphBounds_.end()) {
        return found->second;
    }
    const QRectF bounds = rawFont_.boundingRect(glyph);
    return glyphBounds_.emplace(glyph, bounds).first->second;
}

QRectF GlyphMetrics::fallbackBounds(char32_t scalar)
{
    const auto found = fallbackBounds_.find(scalar);
    if (found != fallbackBounds_.end()) {
        return found->second;
    }
    // Covers at least every pixel the fallback font's glyph paints when drawn at the origin.
    const QRectF bounds = fallbackMetrics_.boundingRect(stringOf(scalar));
    return fallbackBounds_.emplace(scalar, bounds).first->second;
}

const GlyphMetrics::FallbackGlyph& GlyphMetrics::fallbackGlyph(char32_t scalar)
{
    const auto found = fallbackGlyphs_.find(scalar);
    if (found != fallbackGlyphs_.end()) {
        return found->second;
    }
    FallbackGlyph resolved;
    QTextLayout layout(stringOf(scalar), font_);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = line.isValid() ? layout.glyphRuns() : QList<QGlyphRun>();
    if (runs.size() == 1 && runs.front().glyphIndexes().size() == 1 && runs.front().rawFont().isValid()) {
        const QRawFont font = runs.front().rawFont();
        auto known = std::find(fallbackFonts_.begin(), fallbackFonts_.end(), font);
        if (known == fallbackFonts_.end()) {
            known = fallbackFonts_.insert(fallbackFonts_.end(), font);
        }
        resolved.font = static_cast<int>(known - fallbackFonts_.begin());
        resolved.glyph = runs.front().glyphIndexes().front();
        // Layout positions are from the layout's top-left; the text is drawn from its baseline.
        resolved.offset = runs.front().positions().front() - QPointF(line.x(), line.ascent());
    }
    return fallbackGlyphs_.emplace(scalar, resolved).first->second;
}
