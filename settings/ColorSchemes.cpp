// The built-in schemes and the scheme rules. The palettes are the authors' published values:
// xterm's defaults (MIT/X11 licence), Tango (public domain), Solarized (MIT, Ethan Schoonover),
// Gruvbox (MIT, Pavel Pertsev) and Dracula (MIT, Zeno Rocha).
#include "ColorScheme.h"
#include "VitrionSettings.h"
#include "engine/Palette.h"

#include <algorithm>
#include <cmath>

namespace {

quint32 packed(Color color)
{
    const auto level = [](float c) { return quint32(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f)); };
    return level(color.red) << 16 | level(color.green) << 8 | level(color.blue);
}

quint32 packed(double red, double green, double blue)
{
    return packed(colorFromComponents(red, green, blue));
}

double component(quint32 rgb, int shift)
{
    return double((rgb >> shift) & 0xff) / 255.0;
}

} // namespace

bool ColorScheme::light() const
{
    // As the engine tells programs (?2031): Rec. 601 weights on the encoded components.
    return 0.299 * component(background, 16) + 0.587 * component(background, 8) +
               0.114 * component(background, 0) >=
           0.5;
}

const std::array<quint32, 16>& ColorSchemes::defaultAnsi()
{
    static const std::array<quint32, 16> colors = [] {
        std::array<quint32, 16> all{};
        const AnsiColors engine = Palette::defaultAnsi();
        std::transform(engine.begin(), engine.end(), all.begin(), [](Color c) { return packed(c); });
        return all;
    }();
    return colors;
}

QString ColorSchemes::defaultName()
{
    return QStringLiteral("Vitrion");
}

const QList<ColorScheme>& ColorSchemes::builtIn()
{
    struct Published {
        const char* name;
        std::array<quint32, 16> ansi;
        quint32 foreground, background, cursor;
    };
    // Solarized keeps one set of sixteen for both its light and its dark background.
    constexpr std::array<quint32, 16> solarized{0x073642, 0xdc322f, 0x859900, 0xb58900, 0x268bd2, 0xd33682,
                                                0x2aa198, 0xeee8d5, 0x002b36, 0xcb4b16, 0x586e75, 0x657b83,
                                                0x839496, 0x6c71c4, 0x93a1a1, 0xfdf6e3};
    static const Published published[] = {
        {"xterm",
         {0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd, 0x00cdcd, 0xe5e5e5, 0x7f7f7f, 0xff0000,
          0x00ff00, 0xffff00, 0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff},
         0x000000,
         0xffffff,
         0x000000},
        {"Tango",
         {0x2e3436, 0xcc0000, 0x4e9a06, 0xc4a000, 0x3465a4, 0x75507b, 0x06989a, 0xd3d7cf, 0x555753, 0xef2929,
          0x8ae234, 0xfce94f, 0x729fcf, 0xad7fa8, 0x34e2e2, 0xeeeeec},
         0xd3d7cf,
         0x2e3436,
         0xd3d7cf},
        {"Solarized Dark", solarized, 0x839496, 0x002b36, 0x93a1a1},
        {"Solarized Light", solarized, 0x657b83, 0xfdf6e3, 0x586e75},
        {"Gruvbox Dark",
         {0x282828, 0xcc241d, 0x98971a, 0xd79921, 0x458588, 0xb16286, 0x689d6a, 0xa89984, 0x928374, 0xfb4934,
          0xb8bb26, 0xfabd2f, 0x83a598, 0xd3869b, 0x8ec07c, 0xebdbb2},
         0xebdbb2,
         0x282828,
         0xebdbb2},
        {"Gruvbox Light",
         {0xfbf1c7, 0xcc241d, 0x98971a, 0xd79921, 0x458588, 0xb16286, 0x689d6a, 0x7c6f64, 0x928374, 0x9d0006,
          0x79740e, 0xb57614, 0x076678, 0x8f3f71, 0x427b58, 0x3c3836},
         0x3c3836,
         0xfbf1c7,
         0x3c3836},
        {"Dracula",
         {0x21222c, 0xff5555, 0x50fa7b, 0xf1fa8c, 0xbd93f9, 0xff79c6, 0x8be9fd, 0xf8f8f2, 0x6272a4, 0xff6e6e,
          0x69ff94, 0xffffa5, 0xd6acff, 0xff92df, 0xa4ffff, 0xffffff},
         0xf8f8f2,
         0x282a36,
         0xf8f8f2},
    };
    static const QList<ColorScheme> all = [] {
        const VitrionSettings defaults;
        QList<ColorScheme> list{ColorScheme{defaultName(), defaultAnsi(),
                                            packed(defaults.textRed, defaults.textGreen, defaults.textBlue),
                                            packed(defaults.tintRed, defaults.tintGreen, defaults.tintBlue),
                                            defaultCursor, std::nullopt, std::nullopt}};
        for (const Published& p : published) {
            list.append(ColorScheme{QString::fromLatin1(p.name), p.ansi, p.foreground, p.background, p.cursor,
                                    std::nullopt, std::nullopt});
        }
        return list;
    }();
    return all;
}

std::optional<ColorScheme> ColorSchemes::find(const VitrionSettings& settings, const QString& name)
{
    for (const QList<ColorScheme>* list : {&builtIn(), &settings.importedSchemes}) {
        const auto found = std::find_if(list->begin(), list->end(),
                                        [&name](const ColorScheme& s) { return s.name == name; });
        if (found != list->end()) {
            return *found;
        }
    }
    return std::nullopt;
}

void ColorSchemes::apply(VitrionSettings& settings, const ColorScheme& scheme)
{
    settings.colorScheme = scheme.name;
    settings.ansiColors = scheme.ansi;
    settings.textRed = component(scheme.foreground, 16);
    settings.textGreen = component(scheme.foreground, 8);
    settings.textBlue = component(scheme.foreground, 0);
    settings.tintRed = component(scheme.background, 16);
    settings.tintGreen = component(scheme.background, 8);
    settings.tintBlue = component(scheme.background, 0);
    settings.cursorColor = scheme.cursor;
    settings.selectionColor = scheme.selection;
    settings.selectionTextColor = scheme.selectionText;
}

ColorScheme ColorSchemes::keepImported(VitrionSettings& settings, ColorScheme scheme)
{
    const QList<ColorScheme>& ours = builtIn();
    if (std::any_of(ours.begin(), ours.end(),
                    [&scheme](const ColorScheme& s) { return s.name == scheme.name; })) {
        scheme.name += QStringLiteral(" (imported)");
    }
    QList<ColorScheme>& kept = settings.importedSchemes;
    kept.removeIf([&scheme](const ColorScheme& s) { return s.name == scheme.name; });
    kept.append(scheme);
    while (kept.size() > importedLimit) {
        kept.removeFirst();
    }
    return scheme;
}

QString ColorSchemes::hex(quint32 rgb)
{
    return QStringLiteral("#%1").arg(rgb & 0xffffff, 6, 16, QLatin1Char('0'));
}

std::optional<quint32> ColorSchemes::fromHex(QStringView text)
{
    if (text.size() != 7 || text[0] != QLatin1Char('#')) {
        return std::nullopt;
    }
    bool ok = false;
    const uint value = text.mid(1).toUInt(&ok, 16);
    // toUInt accepts a sign and spaces; six hex digits only.
    const bool digits = std::all_of(text.begin() + 1, text.end(), [](QChar c) {
        return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
    });
    return ok && digits ? std::optional<quint32>(value) : std::nullopt;
}
