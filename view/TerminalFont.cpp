// Font resolution. QFont silently substitutes missing families (even with a proportional font), so
// every step tests the family with QFontDatabase::hasFamily first.
#include "TerminalFont.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace TerminalFont {
namespace {

constexpr double smallestSize = 1.0;
constexpr double largestSize = 400.0;
constexpr double defaultSize = 14.0;

double logicalDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0.0 ? dpi : 96.0;
}

} // namespace

double usableSize(double fontSize)
{
    if (!std::isfinite(fontSize)) {
        return defaultSize;
    }
    return std::clamp(fontSize, smallestSize, largestSize);
}

QString standInFor(const QString& fontName)
{
    static const std::array<std::pair<QLatin1StringView, QLatin1StringView>, 4> standIns{{
        {QLatin1StringView("Menlo"), QLatin1StringView("DejaVu Sans Mono")},
        {QLatin1StringView("Monaco"), QLatin1StringView("Liberation Mono")},
        {QLatin1StringView("SF Mono"), QLatin1StringView("JetBrains Mono")},
        {QLatin1StringView("Courier"), QLatin1StringView("Nimbus Mono PS")},
    }};
    for (const auto& [name, standIn] : standIns) {
        if (fontName.compare(name, Qt::CaseInsensitive) == 0) {
            return standIn;
        }
    }
    return {};
}

QString familyFor(const QString& fontName)
{
    if (!fontName.isEmpty() && QFontDatabase::hasFamily(fontName)) {
        return fontName;
    }
    const QString standIn = standInFor(fontName);
    if (!standIn.isEmpty() && QFontDatabase::hasFamily(standIn)) {
        return standIn;
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

QFont resolve(const QString& fontName, double fontSize)
{
    QFont font(familyFor(fontName));
    font.setStyleHint(QFont::Monospace, QFont::PreferNoShaping);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setKerning(false);
    // QFont::setPixelSize takes whole pixels only; a point size through the logical DPI keeps
    // fractional sizes such as 13.5.
    font.setPointSizeF(usableSize(fontSize) * 72.0 / logicalDpi());
    return font;
}

} // namespace TerminalFont
