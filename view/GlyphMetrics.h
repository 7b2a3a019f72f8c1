// Measurements of the terminal font for layout and drawing: the fixed advance, line metrics, which
// scalars the font draws itself (and their glyph indexes) and the widths of fallback glyphs.
#pragma once

#include "RowLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QRawFont>
#include <QRectF>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

class GlyphMetrics : public GlyphWidthSource {
public:
    // `font` as resolved for the settings; `emPixels` the size its em must have on screen.
    GlyphMetrics(const QFont& font, double emPixels);

    const QFont& font() const { return font_; }
    const QRawFont& rawFont() const { return rawFont_; }
    double advance() const override { return advance_; }
    double widthOf(char32_t scalar) override;
    double ascent() const { return ascent_; }
    double lineHeight() const { return lineHeight_; } // the font's natural line height

    // The terminal font's glyph for a scalar it draws at the grid advance, or 0.
    std::uint32_t glyphFor(char32_t scalar);
    // Where a glyph's pixels can be, relative to its baseline origin: a terminal-font glyph by index,
    // or a scalar drawn through the fallback fonts.
    QRectF glyphBounds(std::uint32_t glyph);
    QRectF fallbackBounds(char32_t scalar);

    // A scalar drawn through the fallback fonts, resolved once to the font and glyph Qt's text
    // layout picks for it, so that it is drawn in glyph runs like the terminal font's glyphs rather
    // than laid out again as text on every draw. font < 0: not one glyph (draw it as text).
    struct FallbackGlyph {
        int font = -1; // index for fallbackFont()
        std::uint32_t glyph = 0;
        QPointF offset; // from the cell's baseline origin to the glyph's
    };
    const FallbackGlyph& fallbackGlyph(char32_t scalar);
    const QRawFont& fallbackFont(int index) const { return fallbackFonts_[static_cast<std::size_t>(index)]; }

private:
    QFont font_;
    QFontMetricsF fallbackMetrics_;
    QRawFont rawFont_;
    double advance_ = 0.0;
    double ascent_ = 0.0;
    double lineHeight_ = 0.0;
    std::array<std::uint32_t, 128> asciiGlyphs_{};
    // Widths of the Basic Multilingual Plane in a flat table (negative: not measured yet), the rest
    // by hash: text outside ASCII asks for a width per cell, laying out every row it arrives in.
    std::vector<float> planeWidths_;
    std::unordered_map<char32_t, double> widths_;
    std::unordered_map<char32_t, std::uint32_t> glyphs_;
    std::unordered_map<std::uint32_t, QRectF> glyphBounds_;
    std::unordered_map<char32_t, QRectF> fallbackBounds_;
    std::unordered_map<char32_t, FallbackGlyph> fallbackGlyphs_;
    std::vector<QRawFont> fallbackFonts_;
};
