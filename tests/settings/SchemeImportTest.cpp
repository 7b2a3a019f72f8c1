// Theme files from other terminals: one small file per format read exactly, broken ones refused with
// a reason, and the schemes' place in the settings (following the desktop, older files).
#include "settings/SchemeImport.h"

#include "TestHome.h"
#include "settings/AppModel.h"
#include "settings/SettingsJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Sixteen colours no format could confuse with one another, and the defaults beside them.
quint32 ansi(int i)
{
    return quint32(i * 16) << 16 | quint32(255 - i * 16) << 8 | quint32(i * 8 + 1);
}
constexpr quint32 foreground = 0xaabbcc;
constexpr quint32 background = 0x112233;
constexpr quint32 cursor = 0xddeeff;

QString hex(quint32 rgb, const char* prefix = "#")
{
    return QLatin1String(prefix) + ColorSchemes::hex(rgb).mid(1);
}

const char* const names[8] = {"black", "red", "green", "yellow", "blue", "magenta", "cyan", "white"};

QByteArray alacrittyToml()
{
    QString text =
        QStringLiteral("# a theme\n[colors.primary]\nbackground = '%1'\nforeground = \"%2\" # text\n"
                       "[colors.cursor]\ntext = 'CellBackground'\ncursor = '%3'\n")
            .arg(hex(background), hex(foreground), hex(cursor));
    for (const char* group : {"normal", "bright"}) {
        text += QStringLiteral("\n[colors.%1]\n").arg(QLatin1String(group));
        for (int i = 0; i < 8; ++i) {
            text += QStringLiteral("%1 = '%2'\n")
                        .arg(QLatin1String(names[i]), hex(ansi(group[0] == 'b' ? i + 8 : i)));
        }
    }
    return (text + "[colors.selection]\ntext = '#010203'\nbackground = '#040506'\n"
                   "[[colors.indexed_colors]]\nindex = 16\ncolor = '#000000'\n")
        .toUtf8();
}

QByteArray alacrittyYaml()
{
    QString text =
        QStringLiteral("colors:\n  # Default colors\n  primary:\n    background: '%1'\n    foreground: '%2'\n"
                       "  cursor:\n    text: CellBackground\n    cursor: \"%3\"\n"
                       "  indexed_colors:\n    - { index: 16, color: '0x000000' }\n")
            .arg(hex(background, "0x"), hex(foreground, "0x"), hex(cursor, "0x"));
    for (const char* group : {"normal", "bright"}) {
        text += QStringLiteral("  %1:\n").arg(QLatin1String(group));
        for (int i = 0; i < 8; ++i) {
            text += QStringLiteral("    %1: '%2'\n")
                        .arg(QLatin1String(names[i]), hex(ansi(group[0] == 'b' ? i + 8 : i), "0x"));
        }
    }
    return text.toUtf8();
}

QByteArray windowsTerminal()
{
    const char* const wt[8] = {"black", "red", "green", "yellow", "blue", "purple", "cyan", "white"};
    QJsonObject scheme{{"name", "Campbell Test"},
                       {"foreground", hex(foreground)},
                       {"background", hex(background)},
                       {"cursorColor", hex(cursor)}};
    for (int i = 0; i < 8; ++i) {
        QString bright = QStringLiteral("bright") + QLatin1String(wt[i]);
        bright[6] = bright[6].toUpper();
        scheme.insert(QLatin1String(wt[i]), hex(ansi(i)));
        scheme.insert(bright, hex(ansi(i + 8)));
    }
    return QJsonDocument(scheme).toJson();
}

QByteArray itermColors()
{
    const auto entry = [](const QString& key, quint32 rgb) {
        return QStringLiteral(
                   "\t<key>%1</key>\n\t<dict>\n\t\t<key>Alpha Component</key>\n\t\t<real>1</real>\n"
                   "\t\t<key>Blue Component</key>\n\t\t<real>%2</real>\n\t\t<key>Color Space</key>\n"
                   "\t\t<string>sRGB</string>\n\t\t<key>Green Component</key>\n\t\t<real>%3</real>\n"
                   "\t\t<key>Red Component</key>\n\t\t<real>%4</real>\n\t</dict>\n")
            .arg(key)
            .arg((rgb & 0xff) / 255.0, 0, 'g', 17)
            .arg(((rgb >> 8) & 0xff) / 255.0, 0, 'g', 17)
            .arg((rgb >> 16) / 255.0, 0, 'g', 17);
    };
    QString text =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
                       "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                       "<plist version=\"1.0\">\n<dict>\n");
    for (int i = 0; i < 16; ++i) {
        text += entry(QStringLiteral("Ansi %1 Color").arg(i), ansi(i));
    }
    text += entry(QStringLiteral("Background Color"), background) +
            entry(QStringLiteral("Foreground Color"), foreground) +
            entry(QStringLiteral("Cursor Color"), cursor);
    return (text + "</dict>\n</plist>\n").toUtf8();
}

// base16 names its sixteen base00...base0F; the terminal's take them in base16's own order.
const int base16Order[16] = {0x0, 0x8, 0xb, 0xa, 0xd, 0xe, 0xc, 0x5, 0x3, 0x8, 0xb, 0xa, 0xd, 0xe, 0xc, 0x7};

// The older flat form, or the newer one with the sixteen under "palette:" as "#rrggbb".
QByteArray base16Yaml(bool nested)
{
    QString text =
        nested ? QStringLiteral("system: \"base16\"\nname: \"Test Base16\"\npalette:\n")
               : QStringLiteral("scheme: \"Test Base16\"\nauthor: \"Someone (https://example.org)\"\n");
    for (int b = 0; b < 16; ++b) {
        text += QStringLiteral("%1base0%2: \"%3\" # comment\n")
                    .arg(nested ? "  " : "")
                    .arg(b, 0, 16)
                    .arg(ColorSchemes::hex(ansi(b)).mid(nested ? 0 : 1));
    }
    return text.toUtf8();
}

QByteArray xresources()
{
    QString text =
        QStringLiteral("! a theme\n#define fg %1\n*.foreground: fg\n*.background:  %2\n*.cursorColor: %3\n")
            .arg(hex(foreground), hex(background), hex(cursor));
    for (int i = 0; i < 16; ++i) {
        text += QStringLiteral("*%1color%2: %3\n").arg(i % 2 ? "." : "").arg(i).arg(hex(ansi(i)));
    }
    return text.toUtf8();
}

std::array<quint32, 16> expectedAnsi()
{
    std::array<quint32, 16> all{};
    for (int i = 0; i < 16; ++i) {
        all[std::size_t(i)] = ansi(i);
    }
    return all;
}

} // namespace

TEST(SchemeImportTest, EachFormatReadsTheSixteenAndTheDefaultsExactly)
{
    const struct {
        const char* file;
        QByteArray bytes;
        QString name;
    } files[] = {
        {"dark.toml", alacrittyToml(), "dark"},
        {"dark.yml", alacrittyYaml(), "dark"},
        {"campbell.json", windowsTerminal(), "Campbell Test"},
        {"Night.itermcolors", itermColors(), "Night"},
        {"colors.Xresources", xresources(), "colors"},
        {"no-suffix", alacrittyToml(), "no-suffix"}, // told by its content
    };
    for (const auto& f : files) {
        const SchemeImport::Result result = SchemeImport::parse(f.bytes, QString::fromLatin1(f.file));
        ASSERT_TRUE(result.scheme) << f.file << ": " << result.error.toStdString();
        EXPECT_EQ(result.scheme->ansi, expectedAnsi()) << f.file;
        EXPECT_EQ(result.scheme->foreground, foreground) << f.file;
        EXPECT_EQ(result.scheme->background, background) << f.file;
        EXPECT_EQ(result.scheme->cursor, cursor) << f.file;
        EXPECT_EQ(result.scheme->name, f.name) << f.file;
    }

    const auto toml = SchemeImport::parse(alacrittyToml(), QStringLiteral("dark.toml")).scheme;
    EXPECT_EQ(toml->selection, 0x040506u);
    EXPECT_EQ(toml->selectionText, 0x010203u);

    for (bool nested : {false, true}) {
        const SchemeImport::Result base16 =
            SchemeImport::parse(base16Yaml(nested), QStringLiteral("test.yaml"));
        ASSERT_TRUE(base16.scheme) << base16.error.toStdString();
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(base16.scheme->ansi[std::size_t(i)], ansi(base16Order[i])) << i;
        }
        EXPECT_EQ(base16.scheme->foreground, ansi(5));
        EXPECT_EQ(base16.scheme->background, ansi(0));
        EXPECT_EQ(base16.scheme->name, QStringLiteral("Test Base16"));
    }
}

TEST(SchemeImportTest, BrokenFilesAreRefusedWithTheReason)
{
    QByteArray toml = alacrittyToml();
    const QByteArray badRed = "red = '" + hex(ansi(1)).toUtf8() + "'";
    const struct {
        const char* file;
        QByteArray bytes;
        const char* reason;
    } broken[] = {
        {"bad hex.toml", QByteArray(toml).replace(badRed, "red = '#12345'"),
         "line 11: bad colour \"#12345\""},
        {"twice.toml", toml + "[colors.normal]\nred = '#000000'\n", "is set twice"},
        {"unclosed.toml", QByteArray(toml).replace(badRed, "red = '#ff0000"), "not closed"},
        {"missing.yml", QByteArray(alacrittyYaml()).replace("    white: '0x", "    wite: '0x"),
         "no colour \"colors.normal.white\""},
        {"alias.yml", "colors: *dracula\n", "aliases are not supported"},
        {"tabs.yml", "colors:\n\tprimary:\n", "line 2: indented with a tab"},
        {"number.json",
         QByteArray(windowsTerminal()).replace("\"red\": \"" + hex(ansi(1)).toUtf8() + "\"", "\"red\": 5"),
         "\"red\" is not a text"},
        {"truncated.json", windowsTerminal().chopped(10), "at byte"},
        {"words.itermcolors",
         QByteArray(itermColors())
             .replace("<real>1</real>\n\t\t<key>Blue", "<real>1</real>\n\t\t<key>Blue")
             .replace("<key>Red Component</key>\n\t\t<real>0</real>",
                      "<key>Red Component</key>\n\t\t<real>zero</real>"),
         "\"Red Component\" of \"Ansi 0 Color\" is not a number"},
        {"xresources", QByteArray(xresources()).replace("color15", "colour15"), "no colour \"color15\""},
        {"empty.toml", "", "no colour"},
        {"notes.txt", "hello\nworld\n", "expected \"key: value\""},
        {"latin1.toml", "# caf\xe9\n", "not UTF-8"},
    };
    for (const auto& b : broken) {
        const SchemeImport::Result result = SchemeImport::parse(b.bytes, QString::fromLatin1(b.file));
        EXPECT_FALSE(result.scheme) << b.file;
        EXPECT_TRUE(result.error.contains(QLatin1String(b.reason)))
            << b.file << ": " << result.error.toStdString();
    }

    QTemporaryDir folder;
    const QString huge = folder.filePath(QStringLiteral("huge.toml"));
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(toml + QByteArray(SchemeImport::sizeLimit, '#'));
    file.close();
    EXPECT_EQ(SchemeImport::read(huge).error, QStringLiteral("the file is larger than 1 MB"));
    EXPECT_FALSE(SchemeImport::read(folder.filePath(QStringLiteral("absent.toml"))).error.isEmpty());
}

// A file from before schemes keeps drawing exactly as it did; a new user gets the minimum contrast.
TEST(SchemeSettingsTest, OlderFilesLoadUnchangedAndImportedSchemesRoundTrip)
{
    const VitrionSettings defaults;
    EXPECT_EQ(defaults.minimumContrast, 4.5);
    QJsonObject older = *settingsObject(defaults, nullptr);
    for (const char* key :
         {"ansiColors", "cursorColor", "selectionColor", "colorScheme", "followDesktop", "lightScheme",
          "darkScheme", "minimumContrast", "importedSchemes", "selectionTextColor"}) {
        older.remove(QLatin1String(key));
    }
    VitrionSettings expected = defaults;
    expected.minimumContrast = VitrionSettings::minimumContrastOff;
    EXPECT_EQ(settingsFromObject(older), expected);

    VitrionSettings withImport;
    const auto scheme = SchemeImport::parse(xresources(), QStringLiteral("mine.Xresources")).scheme;
    ASSERT_TRUE(scheme);
    ColorSchemes::keepImported(withImport, *scheme);
    ColorSchemes::apply(withImport, *scheme);
    withImport.selectionColor = 0x123456;
    EXPECT_EQ(decodeSettings(*encodeSettings(withImport, nullptr)), withImport);

    ColorScheme dracula = *scheme;
    dracula.name = QStringLiteral("Dracula");
    EXPECT_EQ(ColorSchemes::keepImported(withImport, dracula).name, QStringLiteral("Dracula (imported)"));
    EXPECT_EQ(ColorSchemes::keepImported(withImport, dracula).name, QStringLiteral("Dracula (imported)"));
    EXPECT_EQ(withImport.importedSchemes.size(), 2) << "a second import of one name replaces the first";
}

TEST(SchemeSettingsTest, FollowingTheDesktopTakesTheStylesSchemeOnEachChange)
{
    TestHome::removeConfigFolder();
    AppModel model;
    model.updateSettings([](VitrionSettings& s) {
        s.followDesktop = true;
        s.lightScheme = QStringLiteral("Solarized Light");
        s.darkScheme = QStringLiteral("Dracula");
    });
    EXPECT_EQ(model.settings().colorScheme, ColorSchemes::defaultName())
        << "the desktop's style is not known yet";
    int changes = 0;
    QObject::connect(&model, &AppModel::settingsChanged, [&changes] { ++changes; });
    model.setDesktopPrefersDark(false);
    EXPECT_EQ(model.settings().colorScheme, QStringLiteral("Solarized Light"));
    EXPECT_EQ(model.settings().ansiColors[1], 0xdc322fu);
    EXPECT_DOUBLE_EQ(model.settings().tintRed, 0xfd / 255.0) << "the scheme's background tints the glass";
    model.setDesktopPrefersDark(false);
    model.setDesktopPrefersDark(true);
    EXPECT_EQ(model.settings().colorScheme, QStringLiteral("Dracula"));
    EXPECT_EQ(VitrionSettings::load(), model.settings()) << "saved";
    EXPECT_EQ(changes, 2) << "once per change of style";

    model.updateSettings([](VitrionSettings& s) { s.ansiColors[1] = 0x010101; });
    EXPECT_EQ(model.settings().ansiColors[1], 0x010101u) << "an edited colour stays until the style changes";
    model.updateSettings([](VitrionSettings& s) { s.followDesktop = false; });
    model.setDesktopPrefersDark(false);
    EXPECT_EQ(model.settings().colorScheme, QStringLiteral("Dracula")) << "not following";
    TestHome::removeConfigFolder();
}
