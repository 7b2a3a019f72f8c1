// Measurements of the terminal font for layout and drawing: the fixed advance, line metrics, which
// scalars the font draws itself, the glyphs of its four faces (regular, bold, italic, bold italic),
// fallback glyphs and shaped clusters of a character with its combining marks.
#pragma once

#include "RowLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QRawFont>
#include <QRectF>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class GlyphMetrics : public GlyphWidthSource {
public:
    // Faces: bit 0 bold, bit 1 italic. A face the family lacks is synthesised by Qt's font engine
    // (emboldened or slanted outlines of the regular face).
    static constexpr int faceCount = 4;
    static int faceFor(bool bold, bool italic) { return (bold ? 1 : 0) | (italic ? 2 : 0); }

    // `font` as resolved for the settings; `emPixels` the size its em must have on screen.
    GlyphMetrics(const QFont& font, double emPixels);

    const QFont& font() const { return font_; }
    double advance() const override { return advance_; }
    double widthOf(char32_t scalar) override;
    double ascent() const { return ascent_; }
    double lineHeight() const { return lineHeight_; } // the font's natural line height
    // Decoration geometry of the regular face, in logical pixels: the underline's distance below
    // the baseline, the line thickness, and the height of lower-case letters.
    double underlinePosition() const { return underlinePosition_; }
    double lineThickness() const { return lineThickness_; }
    double xHeight() const { return xHeight_; }

    // A glyph ready to be drawn in a glyph run: the font it is drawn with (drawingFont), its index,
    // its origin relative to the cell's baseline origin, and where its pixels can be relative to
    // that origin. font < 0: the scalar is not one glyph, so it is drawn as text.
    struct Glyph {
        int font = -1;
        std::uint32_t index = 0;
        QPointF offset;
        QRectF bounds;
    };
    // The glyph a scalar is drawn with in a face: the colour emoji font's for a scalar presented as
    // emoji when one is installed; the terminal font's when it draws the scalar at the grid advance
    // (the regular face's where the styled face lacks it), centred in the cell when its own advance
    // differs (a proportional family); else the fallback font Qt's text layout picks for it,
    // resolved once so that it is batched like the rest.
    const Glyph& glyph(char32_t scalar, int face);
    // The glyphs of a character with combining marks, shaped together by Qt's text layout (marks
    // placed over their base), with the colour emoji font when the text asks for emoji presentation
    // (U+FE0F); empty when the layout gives none (then it is drawn as text).
    const std::vector<Glyph>& cluster(std::u32string_view text, int face);
    // The colour emoji family used, empty when none is installed.
    QString emojiFamily() const { return emojiFont_.family(); }
    // Scalars shown as emoji by default: the wide ones of the symbol and pictograph blocks (Unicode
    // made every default-emoji-presentation character East Asian wide).
    static bool presentsAsEmoji(char32_t scalar);
    // The font of a Glyph: 0-3 the terminal font's faces, then the fallback fonts met so far.
    const QRawFont& drawingFont(int font) const { return fonts_[static_cast<std::size_t>(font)]; }
    // Where text drawn through QPainter::drawText in the font can put pixels, from its origin.
    QRectF textBounds(const QString& text) const { return fallbackMetrics_.boundingRect(text); }

private:
    struct Face {
        bool loaded = false;
        QFont font;
        std::array<Glyph, 128> ascii{};
        std::unordered_map<char32_t, Glyph> glyphs;
        std::unordered_map<std::u32string, std::vector<Glyph>> clusters;
    };
    Face& face(int index);
    // The terminal font's glyph for a scalar it draws at the grid advance, or 0.
    std::uint32_t regularGlyph(char32_t scalar);
    Glyph faceGlyph(int face, char32_t scalar, std::uint32_t regular);
    // Shapes text with a face's font and keeps the fonts of its glyphs; empty if nothing is shaped.
    std::vector<Glyph> shape(const QString& text, const QFont& font);

    QFont font_;
    QFont emojiFont_; // no family when no colour emoji font is installed
    QFontMetricsF fallbackMetrics_;
    QFontMetricsF emojiMetrics_;
    QRawFont rawFont_;
    double emPixels_ = 0.0;
    double advance_ = 0.0;
    double ascent_ = 0.0;
    double lineHeight_ = 0.0;
    double underlinePosition_ = 1.0;
    double lineThickness_ = 1.0;
    double xHeight_ = 0.0;
    // Widths of the Basic Multilingual Plane in a flat table (negative: not measured yet), the rest
    // by hash: text outside ASCII asks for a width per cell, laying out every row it arrives in.
    std::vector<float> planeWidths_;
    std::unordered_map<char32_t, double> widths_;
    std::unordered_map<char32_t, std::uint32_t> regularGlyphs_;
    std::array<Face, faceCount> faces_;
    std::vector<QRawFont> fonts_; // faceCount faces (invalid until loaded), then fallback fonts
};
