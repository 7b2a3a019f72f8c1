// The settings record: every user preference, its defaults, and its JSON file
// ~/.config/Vitrion/config.json.
#pragma once

#include "ColorScheme.h"
#include "engine/HistoryLimit.h"

#include <QList>
#include <QString>

#include <optional>

enum class GlassMaterial { hud, sidebar, menu, popover, content };
enum class TerminalCursorStyle { block, beam, underline };

QString rawValue(GlassMaterial material);
QString rawValue(TerminalCursorStyle style);
std::optional<GlassMaterial> glassMaterialFromRawValue(const QString& text);
std::optional<TerminalCursorStyle> cursorStyleFromRawValue(const QString& text);
const QList<GlassMaterial>& allGlassMaterials();
const QList<TerminalCursorStyle>& allCursorStyles();

struct VitrionSettings {
    qint64 configurationVersion = 2;
    double opacity = 1.0;
    double blur = 0.72;
    double saturation = 0.0;
    double tintRed = 0.11;
    double tintGreen = 0.15;
    double tintBlue = 0.21;
    double textRed = 0.92;
    double textGreen = 0.93;
    double textBlue = 0.96;
    GlassMaterial material = GlassMaterial::hud;
    QString fontName = QStringLiteral("Menlo");
    double fontSize = 14.0;
    double lineSpacing = 1.15;
    TerminalCursorStyle cursorStyle = TerminalCursorStyle::block;
    double cornerRadius = 20.0;
    double padding = 24.0;
    QString shell = QStringLiteral("Default");
    // After the shell exits: false keeps the window with its exit line, true closes it.
    bool closeOnShellExit = false;
    // Whether programs may set the clipboard and the primary selection (OSC 52). They can never
    // read them.
    bool allowClipboardWrites = true;
    // The history: this many lines, or with scrollbackUnlimited every line the memory cap holds
    // (the cap bounds a finite count too). The count is kept while unlimited, for switching back.
    qint64 scrollbackLines = HistoryLimit::defaultLines;
    bool scrollbackUnlimited = false;
    qint64 scrollbackMegabytes = HistoryLimit::defaultMegabytes;
    // bash, zsh and fish started with prompt marks and directory reports (from the next shell on).
    bool shellIntegration = true;
    // A desktop notification when a command that ran at least this long ends while the window is
    // not focused; 0 for never.
    qint64 notifyAfterSeconds = 10;
    // The colour scheme: the sixteen numbered colours, the cursor and the selection (none: the
    // desktop's highlight), 0xRRGGBB; its text colour is textRed..., its background the tint. The
    // name is the scheme they were last taken from; editing a colour keeps it.
    std::array<quint32, 16> ansiColors = ColorSchemes::defaultAnsi();
    quint32 cursorColor = ColorSchemes::defaultCursor;
    std::optional<quint32> selectionColor;
    std::optional<quint32> selectionTextColor; // none: selected text keeps its own colours
    QString colorScheme = ColorSchemes::defaultName();
    // Following the desktop's light or dark style: the scheme taken for each.
    bool followDesktop = false;
    QString lightScheme = QStringLiteral("Solarized Light");
    QString darkScheme = ColorSchemes::defaultName();
    // Text is drawn at least this contrast ratio against what is behind it; 1 is off. Files written
    // before schemes existed read as off, so that nobody's colours change unasked.
    double minimumContrast = 4.5;
    static constexpr double minimumContrastOff = 1.0;
    QList<ColorScheme> importedSchemes;

    // What the panel offers and a file's values are clamped to.
    static constexpr qint64 maximumScrollbackLines = HistoryLimit::maximumLines;
    static constexpr qint64 minimumScrollbackMegabytes = 16;
    static constexpr qint64 maximumScrollbackMegabytes = 65536;
    static constexpr qint64 maximumNotifyAfterSeconds = 86400;

    friend bool operator==(const VitrionSettings&, const VitrionSettings&) = default;

    static VitrionSettings load();
    static VitrionSettings load(const QString& path);
    void save() const;
    void save(const QString& path) const;
    static QString configURL(); // absolute path, computed once per process

    // The limit the terminal keeps its history to, from values clamped into their ranges.
    HistoryLimit historyLimit() const;
};
