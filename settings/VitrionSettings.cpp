// The settings record's enumerations with their raw values, and its load and save through the
// configuration file.
#include "VitrionSettings.h"

#include "SettingsFile.h"
#include "SettingsJson.h"

#include <QDir>

#include <algorithm>

// Raw values are stored in the file and shown to the user. The backdrop names the platform material
// each case stands for (HUD window, sidebar, menu, popover, under-window background).
QString rawValue(GlassMaterial material)
{
    switch (material) {
    case GlassMaterial::hud:
        return QStringLiteral("HUD");
    case GlassMaterial::sidebar:
        return QStringLiteral("Sidebar");
    case GlassMaterial::menu:
        return QStringLiteral("Menu");
    case GlassMaterial::popover:
        return QStringLiteral("Popover");
    case GlassMaterial::content:
        return QStringLiteral("Content");
    }
    return QStringLiteral("HUD");
}

QString rawValue(TerminalCursorStyle style)
{
    switch (style) {
    case TerminalCursorStyle::block:
        return QStringLiteral("Block");
    case TerminalCursorStyle::beam:
        return QStringLiteral("Beam");
    case TerminalCursorStyle::underline:
        return QStringLiteral("Underline");
    }
    return QStringLiteral("Block");
}

const QList<GlassMaterial>& allGlassMaterials()
{
    static const QList<GlassMaterial> all{GlassMaterial::hud, GlassMaterial::sidebar, GlassMaterial::menu,
                                          GlassMaterial::popover, GlassMaterial::content};
    return all;
}

const QList<TerminalCursorStyle>& allCursorStyles()
{
    static const QList<TerminalCursorStyle> all{TerminalCursorStyle::block, TerminalCursorStyle::beam,
                                                TerminalCursorStyle::underline};
    return all;
}

// Exact, case-sensitive match of the whole text.
std::optional<GlassMaterial> glassMaterialFromRawValue(const QString& text)
{
    for (GlassMaterial material : allGlassMaterials()) {
        if (rawValue(material) == text) {
            return material;
        }
    }
    return std::nullopt;
}

std::optional<TerminalCursorStyle> cursorStyleFromRawValue(const QString& text)
{
    for (TerminalCursorStyle style : allCursorStyles()) {
        if (rawValue(style) == text) {
            return style;
        }
    }
    return std::nullopt;
}

QString VitrionSettings::configURL()
{
    // Fixed on first use, so a HOME changed later by the process does not move the file.
    static const QString url =
        QDir(QDir::homePath()).absoluteFilePath(QStringLiteral(".config/Vitrion/config.json"));
    return url;
}

VitrionSettings VitrionSettings::load()
{
    return load(configURL());
}

VitrionSettings VitrionSettings::load(const QString& path)
{
    const auto bytes = readSettingsFile(path);
    if (!bytes) {
        return {};
    }
    return decodeSettings(*bytes).value_or(VitrionSettings{});
}

void VitrionSettings::save() const
{
    save(configURL());
}

void VitrionSettings::save(const QString& path) const
{
    QString failure;
    const auto bytes = encodeSettings(*this, &failure);
    if (!bytes || !replaceSettingsFile(path, *bytes, &failure)) {
        logSettingsSaveFailure(failure);
    }
}

HistoryLimit VitrionSettings::historyLimit() const
{
    const auto megabytes =
        std::clamp(scrollbackMegabytes, minimumScrollbackMegabytes, maximumScrollbackMegabytes);
    const std::size_t bytes = std::size_t(megabytes) << 20;
    if (scrollbackUnlimited) {
        return {HistoryLimit::unlimitedLines, bytes};
    }
    return {std::size_t(std::clamp<qint64>(scrollbackLines, 0, maximumScrollbackLines)), bytes};
}
