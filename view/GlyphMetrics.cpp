// Font measurement with caches: every face's ASCII glyphs in a table, other scalars resolved once.
// Qt's font matcher loads scalable fonts at whole pixel sizes, so a 13.5-pixel font would draw at
// 14; the terminal font's own glyphs are therefore measured and drawn through QRawFonts set to the
// exact size. Scalars the terminal font lacks are measured and drawn with Qt's fallback fonts.
#include "GlyphMetrics.h"

#include "engine/CharacterWidth.h"

#include <QFontDatabase>
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

constexpr char32_t emojiPresentationSelector = 0xfe0f;

// Colour emoji families in the order they are preferred; fonts-noto-color-emoji on Debian.
QString colourEmojiFamily()
{
    for (const char* family :
         {"Noto Color Emoji", "Twemoji", "JoyPixels", "EmojiOne Color", "Apple Color Emoji"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            return QString::fromLatin1(family);
        }
    }
    return {};
}
} // namespace

bool GlyphMetrics::presentsAsEmoji(char32_t scalar)
{
    const bool symbols = scalar >= 0x2300 && scalar < 0x2c00;
    const bool pictographs = scalar >= 0x1f000 && scalar < 0x1fb00;
    return (symbols || pictographs) && characterWidth(scalar) == 2;
}

GlyphMetrics::GlyphMetrics(const QFont& font, double emPixels)
    : font_(font), fallbackMetrics_(font), emojiMetrics_(font), rawFont_(QRawFont::fromFont(font)),
      emPixels_(emPixels)
{
    if (rawFont_.isValid() && std::isfinite(emPixels) && emPixels > 0.0) {
        rawFont_.setPixelSize(emPixels);
        // The widest printable ASCII glyph: in a fixed-pitch family every one is as wide as M; in a
        // proportional one (chosen by hand) no letter then reaches into its neighbours' cells.
        QList<quint32> ascii = rawFont_.glyphIndexesForString(QStringLiteral(
            "!\"#$%&'()*+,-./"
            "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~"));
        ascii.removeAll(0);
        for (const QPointF& glyphAdvance : rawFont_.advancesForGlyphIndexes(ascii)) {
            advance_ = std::max(advance_, glyphAdvance.x());
        }
        ascent_ = rawFont_.ascent();
        lineHeight_ = rawFont_.ascent() + rawFont_.descent() + rawFont_.leading();
        underlinePosition_ = rawFont_.underlinePosition();
        lineThickness_ = rawFont_.lineThickness();
        xHeight_ = rawFont_.xHeight();
    }
    if (!(advance_ > 0.0) || !(lineHeight_ > 0.0)) {
        advance_ = fallbackMetrics_.horizontalAdvance(QLatin1Char('M'));
        ascent_ = fallbackMetrics_.ascent();
        lineHeight_ = fallbackMetrics_.lineSpacing();
        underlinePosition_ = fallbackMetrics_.underlinePos();
        lineThickness_ = fallbackMetrics_.lineWidth();
        xHeight_ = fallbackMetrics_.xHeight();
    }
    if (!(advance_ > 0.0)) {
        advance_ = std::max(1.0, emPixels * 0.6);
    }
    if (!std::isfinite(lineThickness_) || lineThickness_ <= 0.0) {
        lineThickness_ = 1.0;
    }
    if (!std::isfinite(underlinePosition_)) {
        underlinePosition_ = 1.0;
    }
    if (!std::isfinite(xHeight_) || xHeight_ <= 0.0) {
        xHeight_ = ascent_ / 2;
    }
    if (const QString family = colourEmojiFamily(); !family.isEmpty()) {
        emojiFont_ = QFont(family);
        emojiFont_.setPointSizeF(font_.pointSizeF());
        emojiMetrics_ = QFontMetricsF(emojiFont_);
    } else {
        emojiFont_.setFamily(QString());
    }
    fonts_.resize(faceCount);
    face(0);
}

GlyphMetrics::Face& GlyphMetrics::face(int index)
{
    Face& face = faces_[static_cast<std::size_t>(index)];
    if (face.loaded) {
        return face;
    }
    face.loaded = true;
    face.font = font_;
    face.font.setWeight((index & 1) != 0 ? QFont::Bold : QFont::Normal);
    face.font.setItalic((index & 2) != 0);
    // The terminal font is matched without shaping; combining marks need it to sit over their base.
    face.font.setStyleStrategy(QFont::StyleStrategy(font_.styleStrategy() & ~QFont::PreferNoShaping));
    QRawFont raw = rawFont_;
    if (index != 0) {
        QRawFont styled = QRawFont::fromFont(face.font);
        if (styled.isValid() && rawFont_.isValid()) {
            styled.setPixelSize(rawFont_.pixelSize());
            raw = styled;
        }
    }
    fonts_[static_cast<std::size_t>(index)] = raw;
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        const std::uint32_t regular = regularGlyph(c);
        face.ascii[c] = regular != 0 ? faceGlyph(index, c, regular) : Glyph{};
    }
    // ASCII the terminal font lacks (rare) goes through the fallback fonts like any other scalar.
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        if (face.ascii[c].font < 0) {
            const std::vector<Glyph> shaped = shape(stringOf(c), face.font);
            face.ascii[c] = shaped.size() == 1 ? shaped.front() : Glyph{};
        }
    }
    return face;
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
    if (presentsAsEmoji(scalar) && !emojiFont_.family().isEmpty()) {
        width = emojiMetrics_.horizontalAdvance(stringOf(scalar));
    } else if (rawFont_.supportsCharacter(static_cast<uint>(scalar))) {
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

std::uint32_t GlyphMetrics::regularGlyph(char32_t scalar)
{
    const auto found = regularGlyphs_.find(scalar);
    if (found != regularGlyphs_.end()) {
        return found->second;
    }
    std::uint32_t glyph = 0;
    if (rawFont_.supportsCharacter(static_cast<uint>(scalar)) && widthOf(scalar) == advance_) {
        const QList<quint32> indexes = rawFont_.glyphIndexesForString(stringOf(scalar));
        glyph = indexes.size() == 1 ? indexes.front() : 0;
    }
    regularGlyphs_.emplace(scalar, glyph);
    return glyph;
}

GlyphMetrics::Glyph GlyphMetrics::faceGlyph(int face, char32_t scalar, std::uint32_t regular)
{
    Glyph glyph{0, regular, {}, {}};
    const QRawFont& styled = fonts_[static_cast<std::size_t>(face)];
    if (face != 0 && styled.supportsCharacter(static_cast<uint>(scalar))) {
        const QList<quint32> indexes = styled.glyphIndexesForString(stringOf(scalar));
        if (indexes.size() == 1 && indexes.front() != 0) {
            glyph.font = face;
            glyph.index = indexes.front();
        }
    }
    const QRawFont& drawn = fonts_[static_cast<std::size_t>(glyph.font)];
    // A proportional family's glyph (or a bold face's wider one) is centred in its cell.
    const QList<QPointF> advances = drawn.advancesForGlyphIndexes(QList<quint32>{glyph.index});
    if (!advances.isEmpty() && std::abs(advances.front().x() - advance_) > 0.05) {
        glyph.offset.setX((advance_ - advances.front().x()) / 2);
    }
    glyph.bounds = drawn.boundingRect(glyph.index).translated(glyph.offset);
    return glyph;
}

const GlyphMetrics::Glyph& GlyphMetrics::glyph(char32_t scalar, int faceIndex)
{
    Face& styled = face(faceIndex);
    if (scalar < 0x80) {
        return styled.ascii[scalar];
    }
    const auto found = styled.glyphs.find(scalar);
    if (found != styled.glyphs.end()) {
        return found->second;
    }
    Glyph resolved;
    const bool asEmoji = presentsAsEmoji(scalar) && !emojiFont_.family().isEmpty();
    if (const std::uint32_t regular = asEmoji ? 0 : regularGlyph(scalar); regular != 0) {
        resolved = faceGlyph(faceIndex, scalar, regular);
    } else {
        const QString text = stringOf(scalar);
        const std::vector<Glyph> shaped = shape(text, asEmoji ? emojiFont_ : styled.font);
        if (shaped.size() == 1) {
            resolved = shaped.front();
            // Covers at least every pixel the font's glyph paints when drawn at the origin.
            const QFontMetricsF& metrics = asEmoji ? emojiMetrics_ : fallbackMetrics_;
            resolved.bounds = resolved.bounds.united(metrics.boundingRect(text));
        }
    }
    return styled.glyphs.emplace(scalar, resolved).first->second;
}

const std::vector<GlyphMetrics::Glyph>& GlyphMetrics::cluster(std::u32string_view text, int faceIndex)
{
    Face& styled = face(faceIndex);
    const std::u32string key(text);
    const auto found = styled.clusters.find(key);
    if (found != styled.clusters.end()) {
        return found->second;
    }
    const QString string = QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
    const bool asEmoji = key.find(emojiPresentationSelector) != std::u32string::npos;
    const QFont& font = asEmoji && !emojiFont_.family().isEmpty() ? emojiFont_ : styled.font;
    return styled.clusters.emplace(key, shape(string, font)).first->second;
}

std::vector<GlyphMetrics::Glyph> GlyphMetrics::shape(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    std::vector<Glyph> glyphs;
    if (!line.isValid()) {
        return glyphs;
    }
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        if (!raw.isValid()) {
            continue;
        }
        auto known = std::find(fonts_.begin() + faceCount, fonts_.end(), raw);
        if (known == fonts_.end()) {
            known = fonts_.insert(fonts_.end(), raw);
        }
        const int font = static_cast<int>(known - fonts_.begin());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            // Layout positions are from the layout's top-left; the text is drawn from its baseline.
            const QPointF offset = positions[i] - QPointF(line.x(), line.ascent());
            glyphs.push_back(
                Glyph{font, indexes[i], offset, raw.boundingRect(indexes[i]).translated(offset)});
        }
    }
    return glyphs;
}
