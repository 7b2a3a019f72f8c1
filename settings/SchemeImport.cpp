// The theme file readers. The TOML and YAML readers are small strict subsets, enough for the tables,
// keys and strings palette files use: what they cannot read exactly is refused, never guessed.
#include "SchemeImport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUtf8StringView>
#include <QXmlStreamReader>

#include <array>
#include <cmath>
#include <vector>

namespace {

// A value read from a file, with its line for messages (0 where the format has no lines).
struct Entry {
    QString text;
    int line = 0;
};
using Entries = QHash<QString, Entry>;

// Thrown inside a reader; turned into the result's message.
struct Refusal {
    QString message;
};

[[noreturn]] void refuse(int line, const QString& message)
{
    throw Refusal{line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(message) : message};
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text.left(40) + QLatin1Char('"');
}

// #rrggbb, 0xrrggbb, rrggbb, or X11's rgb:r/g/b with one to four hex digits a component.
std::optional<quint32> colorFrom(QString text)
{
    text = text.trimmed();
    static const QRegularExpression x11(
        QStringLiteral("^rgb:([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})/([0-9a-fA-F]{1,4})$"));
    if (const auto match = x11.match(text); match.hasMatch()) {
        quint32 rgb = 0;
        for (int i = 1; i <= 3; ++i) {
            const QString digits = match.captured(i);
            const double scale = std::pow(16.0, digits.size()) - 1;
            rgb = rgb << 8 | quint32(std::lround(digits.toUInt(nullptr, 16) / scale * 255));
        }
        return rgb;
    }
    static const QRegularExpression hex(QStringLiteral("^(?:#|0[xX])?([0-9a-fA-F]{6})$"));
    if (const auto match = hex.match(text); match.hasMatch()) {
        return match.captured(1).toUInt(nullptr, 16);
    }
    return std::nullopt;
}

// Where each part of a scheme is found in a format's keys.
struct Layout {
    std::array<QString, 16> ansi;
    QString foreground;
    QString background;
    QStringList cursor;        // the first present that is a colour; else the text colour
    QStringList selection;     // likewise; else the desktop's highlight
    QStringList selectionText; // likewise; else selected text keeps its colours
};

quint32 required(const Entries& entries, const QString& key)
{
    const auto found = entries.constFind(key);
    if (found == entries.constEnd()) {
        refuse(0, QStringLiteral("no colour %1").arg(quoted(key)));
    }
    const auto color = colorFrom(found->text);
    if (!color) {
        refuse(found->line, QStringLiteral("bad colour %1 for %2").arg(quoted(found->text), quoted(key)));
    }
    return *color;
}

// Optional colours may also be a word (alacritty's CellForeground): those fall back.
std::optional<quint32> optional(const Entries& entries, const QStringList& keys)
{
    for (const QString& key : keys) {
        const auto found = entries.constFind(key);
        if (found != entries.constEnd()) {
            if (const auto color = colorFrom(found->text)) {
                return color;
            }
        }
    }
    return std::nullopt;
}

// The sixteen named by number (`pattern` with %1), the others by name.
Layout numbered(const QString& pattern, const QString& foreground, const QString& background,
                const QString& cursor, const QString& selection)
{
    Layout layout;
    for (std::size_t i = 0; i < 16; ++i) {
        layout.ansi[i] = pattern.arg(i);
    }
    layout.foreground = foreground;
    layout.background = background;
    layout.cursor = {cursor};
    layout.selection = {selection};
    return layout;
}

ColorScheme schemeFrom(const Entries& entries, const Layout& layout, const QString& name)
{
    ColorScheme scheme;
    scheme.name = name;
    for (std::size_t i = 0; i < 16; ++i) {
        scheme.ansi[i] = required(entries, layout.ansi[i]);
    }
    scheme.foreground = required(entries, layout.foreground);
    scheme.background = required(entries, layout.background);
    scheme.cursor = optional(entries, layout.cursor).value_or(scheme.foreground);
    scheme.selection = optional(entries, layout.selection);
    scheme.selectionText = optional(entries, layout.selectionText);
    return scheme;
}

const std::array<const char*, 8> ansiNames{"black", "red",     "green", "yellow",
                                           "blue",  "magenta", "cyan",  "white"};

Layout alacrittyLayout()
{
    Layout layout;
    for (std::size_t i = 0; i < 8; ++i) {
        layout.ansi[i] = QStringLiteral("colors.normal.") + QLatin1String(ansiNames[i]);
        layout.ansi[i + 8] = QStringLiteral("colors.bright.") + QLatin1String(ansiNames[i]);
    }
    layout.foreground = QStringLiteral("colors.primary.foreground");
    layout.background = QStringLiteral("colors.primary.background");
    layout.cursor = {QStringLiteral("colors.cursor.cursor")};
    layout.selection = {QStringLiteral("colors.selection.background")};
    layout.selectionText = {QStringLiteral("colors.selection.text")};
    return layout;
}

// ---- a YAML subset: block mappings of scalars, comments, quoted and plain strings ----

QString unquote(const QString& value, int line)
{
    const QChar quote = value.isEmpty() ? QChar() : value[0];
    if (quote != QLatin1Char('"') && quote != QLatin1Char('\'')) {
        return value;
    }
    const qsizetype end = value.indexOf(quote, 1);
    if (end < 0) {
        refuse(line, QStringLiteral("a quoted text is not closed"));
    }
    const QString rest = value.mid(end + 1).trimmed();
    if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('#'))) {
        refuse(line, QStringLiteral("unexpected %1 after a quoted text").arg(quoted(rest)));
    }
    return value.mid(1, end - 1);
}

Entries readYaml(const QString& text)
{
    Entries entries;
    std::vector<std::pair<int, QString>> parents; // indentation and key of the open mappings
    int skipDeeperThan = -1;                      // inside a list or a block text: not needed
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const int line = n + 1;
        QString raw = lines[n];
        if (raw.endsWith(QLatin1Char('\r'))) {
            raw.chop(1);
        }
        const QString content = raw.trimmed();
        if (content.isEmpty() || content.startsWith(QLatin1Char('#')) || content == QLatin1String("---") ||
            content == QLatin1String("...")) {
            continue;
        }
        const qsizetype indent = raw.indexOf(content.at(0));
        if (raw.left(indent).contains(QLatin1Char('\t'))) {
            refuse(line, QStringLiteral("indented with a tab"));
        }
        if (skipDeeperThan >= 0 && indent > skipDeeperThan) {
            continue;
        }
        skipDeeperThan = -1;
        if (content.startsWith(QLatin1String("- ")) || content == QLatin1String("-")) {
            skipDeeperThan = int(indent); // a list item: palette files keep no colours in lists
            continue;
        }
        qsizetype colon = content.indexOf(QLatin1String(": "));
        if (colon < 0 && content.endsWith(QLatin1Char(':'))) {
            colon = content.size() - 1;
        }
        if (colon <= 0) {
            refuse(line, QStringLiteral("expected \"key: value\", found %1").arg(quoted(content)));
        }
        const QString key = unquote(content.left(colon).trimmed(), line);
        QString value = content.mid(colon + 1).trimmed();
        while (!parents.empty() && parents.back().first >= indent) {
            parents.pop_back();
        }
        QString path;
        for (const auto& parent : parents) {
            path += parent.second + QLatin1Char('.');
        }
        path += key;
        if (value.startsWith(QLatin1Char('&')) || value.startsWith(QLatin1Char('*'))) {
            refuse(line, QStringLiteral("anchors and aliases are not supported"));
        }
        if (value.startsWith(QLatin1Char('|')) || value.startsWith(QLatin1Char('>'))) {
            skipDeeperThan = int(indent);
            continue;
        }
        if (value.startsWith(QLatin1Char('[')) || value.startsWith(QLatin1Char('{'))) {
            continue; // a flow list or mapping: no colours this reader needs
        }
        if (value.isEmpty() || value.startsWith(QLatin1Char('#'))) {
            parents.emplace_back(int(indent), key);
            continue;
        }
        if (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))) {
            value = unquote(value, line);
        } else if (const qsizetype comment = value.indexOf(QLatin1String(" #")); comment >= 0) {
            value = value.left(comment).trimmed();
        }
        if (entries.contains(path)) {
            refuse(line, QStringLiteral("%1 is set twice").arg(quoted(path)));
        }
        entries.insert(path, Entry{value, line});
    }
    return entries;
}

// ---- a TOML subset: tables, dotted keys, strings, inline tables of strings ----

// A key, dotted or not, its parts bare or quoted.
QString tomlKey(const QString& text, int line)
{
    QStringList parts;
    for (const QString& part : text.split(QLatin1Char('.'))) {
        const QString trimmed = part.trimmed();
        const QString bare = unquote(trimmed, line);
        static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
        if (bare.isEmpty() || (bare == trimmed && !allowed.match(bare).hasMatch())) {
            refuse(line, QStringLiteral("bad key %1").arg(quoted(text.trimmed())));
        }
        parts.append(bare);
    }
    return parts.join(QLatin1Char('.'));
}

// One value at the start of `rest`: a string, or a bare number or word; `rest` keeps what follows.
QString tomlValue(QString& rest, int line)
{
    rest = rest.trimmed();
    if (rest.startsWith(QLatin1String("\"\"\"")) || rest.startsWith(QLatin1String("'''"))) {
        refuse(line, QStringLiteral("multi-line strings are not supported"));
    }
    if (rest.startsWith(QLatin1Char('"')) || rest.startsWith(QLatin1Char('\''))) {
        const qsizetype end = rest.indexOf(rest[0], 1);
        if (end < 0) {
            refuse(line, QStringLiteral("a quoted text is not closed"));
        }
        const QString value = rest.mid(1, end - 1);
        rest = rest.mid(end + 1).trimmed();
        return value;
    }
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9_.+:-]+"));
    const auto match = bare.match(rest);
    if (!match.hasMatch()) {
        refuse(line, QStringLiteral("bad value %1").arg(quoted(rest)));
    }
    rest = rest.mid(match.capturedLength()).trimmed();
    return match.captured(0);
}

void insertOnce(Entries& entries, const QString& key, const QString& value, int line)
{
    if (entries.contains(key)) {
        refuse(line, QStringLiteral("%1 is set twice").arg(quoted(key)));
    }
    entries.insert(key, Entry{value, line});
}

Entries readToml(const QString& text)
{
    Entries entries;
    QString table;
    int arrayDepth = 0; // inside a list spread over lines: no colours this reader needs
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const int line = n + 1;
        const QString content = lines[n].trimmed();
        if (arrayDepth > 0) {
            arrayDepth += int(content.count(QLatin1Char('['))) - int(content.count(QLatin1Char(']')));
            continue;
        }
        if (content.isEmpty() || content.startsWith(QLatin1Char('#'))) {
            continue;
        }
        if (content.startsWith(QLatin1Char('['))) {
            const bool arrayOfTables = content.startsWith(QLatin1String("[["));
            const qsizetype close = content.indexOf(arrayOfTables ? QLatin1String("]]") : QLatin1String("]"));
            if (close < 0) {
                refuse(line, QStringLiteral("a table header is not closed"));
            }
            const int open = arrayOfTables ? 2 : 1;
            // An array of tables holds no colours this reader needs; its keys go under a name of
            // their own, which no layout asks for.
            table = tomlKey(content.mid(open, close - open), line) +
                    (arrayOfTables ? QStringLiteral("[]") : QString());
            continue;
        }
        const qsizetype equals = content.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            refuse(line, QStringLiteral("expected \"key = value\", found %1").arg(quoted(content)));
        }
        const QString key =
            (table.isEmpty() ? QString() : table + QLatin1Char('.')) + tomlKey(content.left(equals), line);
        QString rest = content.mid(equals + 1).trimmed();
        if (rest.startsWith(QLatin1Char('['))) {
            arrayDepth = int(rest.count(QLatin1Char('['))) - int(rest.count(QLatin1Char(']')));
            continue;
        }
        if (rest.startsWith(QLatin1Char('{'))) {
            rest = rest.mid(1);
            while (true) {
                rest = rest.trimmed();
                if (rest.startsWith(QLatin1Char('}'))) {
                    rest = rest.mid(1).trimmed();
                    break;
                }
                const qsizetype innerEquals = rest.indexOf(QLatin1Char('='));
                if (innerEquals <= 0) {
                    refuse(line, QStringLiteral("an inline table is not closed"));
                }
                const QString inner = key + QLatin1Char('.') + tomlKey(rest.left(innerEquals), line);
                rest = rest.mid(innerEquals + 1);
                insertOnce(entries, inner, tomlValue(rest, line), line);
                if (rest.startsWith(QLatin1Char(','))) {
                    rest = rest.mid(1);
                }
            }
        } else {
            insertOnce(entries, key, tomlValue(rest, line), line);
        }
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char('#'))) {
            refuse(line, QStringLiteral("unexpected %1 after the value").arg(quoted(rest)));
        }
    }
    return entries;
}

// ---- the formats ----

ColorScheme base16(const Entries& flat, const QString& name)
{
    // The newer files keep the sixteen under "palette:".
    Entries entries;
    for (auto it = flat.begin(); it != flat.end(); ++it) {
        const QString key = it.key().startsWith(QLatin1String("palette.")) ? it.key().mid(8) : it.key();
        entries.insert(key.toLower(), it.value());
    }
    // base16's own assignment of its sixteen to the terminal's.
    const char* order[16] = {"base00", "base08", "base0b", "base0a", "base0d", "base0e", "base0c", "base05",
                             "base03", "base08", "base0b", "base0a", "base0d", "base0e", "base0c", "base07"};
    Layout layout;
    for (std::size_t i = 0; i < 16; ++i) {
        layout.ansi[i] = QLatin1String(order[i]);
    }
    layout.foreground = QStringLiteral("base05");
    layout.background = QStringLiteral("base00");
    layout.cursor = {QStringLiteral("base05")};
    const QString own = entries.value(QStringLiteral("scheme"), entries.value(QStringLiteral("name"))).text;
    return schemeFrom(entries, layout, own.isEmpty() ? name : own);
}

ColorScheme windowsTerminal(const QByteArray& bytes, const QString& name)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        refuse(0, QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset));
    }
    QJsonObject object = document.object();
    // A whole settings file: its first scheme.
    if (object.value(QLatin1String("schemes")).isArray()) {
        object = object.value(QLatin1String("schemes")).toArray().first().toObject();
    }
    if (!document.isObject() || object.isEmpty()) {
        refuse(0, QStringLiteral("it holds no colour scheme object"));
    }
    Entries entries;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it->isString()) {
            refuse(0, QStringLiteral("%1 is not a text").arg(quoted(it.key())));
        }
        entries.insert(it.key(), Entry{it->toString(), 0});
    }
    Layout layout;
    const char* names[8] = {"black", "red", "green", "yellow", "blue", "purple", "cyan", "white"};
    for (std::size_t i = 0; i < 8; ++i) {
        QString bright = QStringLiteral("bright") + QLatin1String(names[i]);
        bright[6] = bright[6].toUpper();
        layout.ansi[i] = QLatin1String(names[i]);
        layout.ansi[i + 8] = bright;
    }
    layout.foreground = QStringLiteral("foreground");
    layout.background = QStringLiteral("background");
    layout.cursor = {QStringLiteral("cursorColor")};
    layout.selection = {QStringLiteral("selectionBackground")};
    const QString own = entries.value(QStringLiteral("name")).text;
    return schemeFrom(entries, layout, own.isEmpty() ? name : own);
}

// An .itermcolors property list: a dictionary of colour names to dictionaries of components 0...1.
ColorScheme iterm(const QByteArray& bytes, const QString& name)
{
    QXmlStreamReader xml(bytes);
    Entries entries;
    int depth = 0; // of <dict>
    QString colorName;
    QString component;
    double rgb[3] = {-1, -1, -1};
    int colorLine = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        const int line = int(xml.lineNumber());
        if (xml.isStartElement()) {
            const auto tag = xml.name();
            if (tag == QLatin1String("dict")) {
                ++depth;
                if (depth > 2) {
                    refuse(line, QStringLiteral("colours nested deeper than a colour's components"));
                }
                if (depth == 2) {
                    rgb[0] = rgb[1] = rgb[2] = -1;
                    colorLine = line;
                }
            } else if (tag == QLatin1String("key")) {
                (depth == 1 ? colorName : component) = xml.readElementText();
            } else if (depth == 2 && (tag == QLatin1String("real") || tag == QLatin1String("integer"))) {
                const QString text = xml.readElementText();
                bool ok = false;
                const double value = text.toDouble(&ok);
                const int index = component == QLatin1String("Red Component")     ? 0
                                  : component == QLatin1String("Green Component") ? 1
                                  : component == QLatin1String("Blue Component")  ? 2
                                                                                  : -1;
                if (index >= 0 && (!ok || !std::isfinite(value))) {
                    refuse(
                        line,
                        QStringLiteral("%1 of %2 is not a number").arg(quoted(component), quoted(colorName)));
                }
                if (index >= 0) {
                    rgb[index] = value;
                }
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("dict")) {
            if (depth == 2) {
                if (rgb[0] < 0 || rgb[1] < 0 || rgb[2] < 0 || rgb[0] > 1 || rgb[1] > 1 || rgb[2] > 1) {
                    refuse(colorLine, QStringLiteral("%1 lacks a red, green or blue component in 0...1")
                                          .arg(quoted(colorName)));
                }
                const auto level = [](double c) { return quint32(std::lround(c * 255)); };
                entries.insert(colorName, Entry{ColorSchemes::hex(level(rgb[0]) << 16 | level(rgb[1]) << 8 |
                                                                  level(rgb[2])),
                                                colorLine});
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        refuse(int(xml.lineNumber()), xml.errorString());
    }
    Layout layout = numbered(QStringLiteral("Ansi %1 Color"), QStringLiteral("Foreground Color"),
                             QStringLiteral("Background Color"), QStringLiteral("Cursor Color"),
                             QStringLiteral("Selection Color"));
    layout.selectionText = {QStringLiteral("Selected Text Color")};
    return schemeFrom(entries, layout, name);
}

// X resources: "*.color0: #000000" (any class or instance path before the last name), "!" comments,
// and the "#define NAME value" lines many theme files name their colours with.
ColorScheme xresources(const QString& text, const QString& name)
{
    QHash<QString, QString> defines;
    Entries entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QRegularExpression define(QStringLiteral("^#\\s*define\\s+(\\S+)\\s+(.+)$"));
    for (int n = 0; n < lines.size(); ++n) {
        const QString content = lines[n].trimmed();
        if (content.isEmpty() || content.startsWith(QLatin1Char('!'))) {
            continue;
        }
        if (content.startsWith(QLatin1Char('#'))) {
            if (const auto match = define.match(content); match.hasMatch()) {
                defines.insert(match.captured(1), match.captured(2).trimmed());
            }
            continue; // other preprocessor lines name no colours
        }
        const qsizetype colon = content.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            refuse(n + 1, QStringLiteral("expected \"resource: value\", found %1").arg(quoted(content)));
        }
        const QString resource = content.left(colon).trimmed();
        const qsizetype last =
            std::max(resource.lastIndexOf(QLatin1Char('.')), resource.lastIndexOf(QLatin1Char('*')));
        QString value = content.mid(colon + 1).trimmed();
        value = defines.value(value, value);
        entries.insert(resource.mid(last + 1), Entry{value, n + 1}); // the last setting wins, as in X
    }
    return schemeFrom(entries,
                      numbered(QStringLiteral("color%1"), QStringLiteral("foreground"),
                               QStringLiteral("background"), QStringLiteral("cursorColor"), QString()),
                      name);
}

ColorScheme parseAny(const QByteArray& bytes, const QString& fileName)
{
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().toLower();
    const QString name =
        info.completeBaseName().isEmpty() ? QStringLiteral("Imported") : info.completeBaseName();
    const QByteArray start = bytes.trimmed().left(64);
    if (suffix == QLatin1String("itermcolors") || start.startsWith("<?xml") || start.startsWith("<plist") ||
        start.startsWith("<!DOCTYPE")) {
        return iterm(bytes, name);
    }
    if (suffix == QLatin1String("json") || start.startsWith('{')) {
        return windowsTerminal(bytes, name);
    }
    const QString text = QString::fromUtf8(bytes);
    static const QRegularExpression tomlTable(QStringLiteral("^\\s*\\[\\s*colors"),
                                              QRegularExpression::MultilineOption);
    if (suffix == QLatin1String("toml") || tomlTable.match(text).hasMatch()) {
        return schemeFrom(readToml(text), alacrittyLayout(), name);
    }
    static const QRegularExpression resource(QStringLiteral("^\\s*[\\w.-]*[.*]color\\d+\\s*:"),
                                             QRegularExpression::MultilineOption);
    if (suffix == QLatin1String("xresources") || info.fileName().contains(QLatin1String("Xresources")) ||
        resource.match(text).hasMatch()) {
        return xresources(text, name);
    }
    const Entries yaml = readYaml(text);
    if (yaml.contains(QStringLiteral("base00")) || yaml.contains(QStringLiteral("palette.base00"))) {
        return base16(yaml, name);
    }
    if (std::any_of(yaml.keyBegin(), yaml.keyEnd(),
                    [](const QString& k) { return k.startsWith(QLatin1String("colors.")); })) {
        return schemeFrom(yaml, alacrittyLayout(), name);
    }
    refuse(0, QStringLiteral("it is not a colour scheme Vitrion reads (alacritty, Windows Terminal, iTerm2, "
                             "base16 or Xresources)"));
}

} // namespace

SchemeImport::Result SchemeImport::parse(const QByteArray& bytes, const QString& fileName)
{
    if (bytes.size() > sizeLimit) {
        return {std::nullopt, QStringLiteral("the file is larger than 1 MB")};
    }
    if (!QUtf8StringView(bytes).isValidUtf8()) {
        return {std::nullopt, QStringLiteral("the file is not UTF-8 text")};
    }
    try {
        return {parseAny(bytes, fileName), QString()};
    } catch (const Refusal& refusal) {
        return {std::nullopt, refusal.message};
    }
}

SchemeImport::Result SchemeImport::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, file.errorString()};
    }
    // One byte past the limit tells a file that is too large, without reading all of it.
    return parse(file.read(sizeLimit + 1), path);
}
