// Font measurement with caches: ASCII glyph indexes in a table, other scalars measured once.
// QRawFont answers for the terminal font alone; QFontMetricsF measures with Qt's fallback fonts,
// which is what the glyph of a scalar the terminal font lacks is drawn with.
#include "GlyphMetrics.h"

#include <QString>

#include <cmath>

namespace {
QString stringOf(char32_t scalar)
{
    return QString::fromUcs4(&scalar, 1);
}
} // namespace

GlyphMetrics::GlyphMetrics(const QFont& font)
    : font_(font), metrics_(font), rawFont_(QRawFont::fromFont(font))
{
    advance_ = metrics_.horizontalAdvance(QLatin1Char('M'));
    if (!(advance_ > 0.0)) {
        advance_ = std::max(1.0, font.pixelSize() * 0.6);
    }
    ascent_ = metrics_.ascent();
    lineHeight_ = metrics_.lineSpacing();
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        const QString text = stringOf(c);
        const QList<quint32> indexes = rawFont_.glyphIndexesForString(text);
        asciiGlyphs_[c] = indexes.isEmpty() ? 0 : indexes.front();
    }
}

double GlyphMetrics::widthOf(char32_t scalar)
{
    if (scalar < 0x7f) {
        return advance_;
    }
    const auto found = widths_.find(scalar);
    if (found != widths_.end()) {
        return found->second;
    }
    double width = metrics_.horizontalAdvance(stringOf(scalar));
    if (!std::isfinite(width) || width < 0.0) {
        width = advance_;
    }
    // A glyph of the terminal font at (nearly) the grid advance sits in its cell like ASCII does.
    if (rawFont_.supportsCharacter(static_cast<uint>(scalar)) && std::abs(width - advance_) < 0.05) {
        width = advance_;
    }
    widths_.emplace(scalar, width);
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
