// A colour scheme: the sixteen numbered colours, the default text and background, the cursor and the
// selection, as 0xRRGGBB values; the built-in schemes; and how a scheme becomes the settings' colours.
#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

struct VitrionSettings;

struct ColorScheme {
    QString name;
    std::array<quint32, 16> ansi{};
    quint32 foreground = 0;
    quint32 background = 0;
    quint32 cursor = 0;
    std::optional<quint32> selection;     // none: the desktop's highlight
    std::optional<quint32> selectionText; // none: selected text keeps its colours

    friend bool operator==(const ColorScheme&, const ColorScheme&) = default;
    // Dark text on a light background: the desktop's light style picks it.
    bool light() const;
};

namespace ColorSchemes {
// The sixteen colours a new user starts with, and the name of the scheme they belong to.
const std::array<quint32, 16>& defaultAnsi();
inline constexpr quint32 defaultCursor = 0xb8b8b8; // the light grey block
QString defaultName();

// Well-known public palettes, the default first.
const QList<ColorScheme>& builtIn();
// A built-in scheme, else an imported one, by name.
std::optional<ColorScheme> find(const VitrionSettings& settings, const QString& name);
// The scheme's colours into the settings: the sixteen, the text, the cursor, the selection, and its
// background as the glass's tint.
void apply(VitrionSettings& settings, const ColorScheme& scheme);
// Keeps an imported scheme (replacing an imported one of the same name), at most `importedLimit` of
// them, and gives it as kept: a built-in scheme's name gets " (imported)", so both stay pickable.
inline constexpr int importedLimit = 64;
ColorScheme keepImported(VitrionSettings& settings, ColorScheme scheme);

// "#rrggbb" and back; anything else is no colour.
QString hex(quint32 rgb);
std::optional<quint32> fromHex(QStringView text);
} // namespace ColorSchemes
