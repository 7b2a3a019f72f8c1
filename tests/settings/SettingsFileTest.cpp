// Loading and saving ~/.config/Vitrion/config.json in a private HOME: round trips, the file's
// layout, key-by-key decoding, and saves that fail without harming the previous file.
#include "ChildTestRun.h"
#include "TestHome.h"
#include "settings/SettingsJson.h"
#include "settings/VitrionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Every field away from its default, with numbers that a careless writer would round.
VitrionSettings unusualSettings()
{
    VitrionSettings settings;
    settings.configurationVersion = 7;
    settings.opacity = 0.1 + 0.2;
    settings.blur = 1e-300;
    settings.saturation = std::numeric_limits<double>::denorm_min();
    settings.tintRed = std::numeric_limits<double>::max();
    settings.tintGreen = -2.5;
    settings.tintBlue = 1.0 / 3.0;
    settings.textRed = 123456789012.345678;
    settings.textGreen = 9007199254740993.0;
    settings.textBlue = 5.0;
    settings.material = GlassMaterial::content;
    settings.fontName = QStringLiteral("Ünïcode \"Mono\" \\ 等幅");
    settings.fontSize = 500;
    settings.lineSpacing = 0.999999999999;
    settings.cursorStyle = TerminalCursorStyle::underline;
    settings.cornerRadius = 0;
    settings.padding = -24;
    settings.shell = QStringLiteral("bash\n\t\u0001");
    settings.closeOnShellExit = true;
    settings.allowClipboardWrites = false;
    settings.scrollbackLines = 1'000'000;
    settings.scrollbackUnlimited = true;
    settings.scrollbackMegabytes = 16;
    settings.shellIntegration = false;
    settings.notifyAfterSeconds = 86400;
    settings.ansiColors.fill(0x010203);
    settings.cursorColor = 0xfffffe;
    settings.selectionColor = 0x000000;
    settings.selectionTextColor = 0xffffff;
    settings.colorScheme = QStringLiteral("Mine");
    settings.followDesktop = true;
    settings.lightScheme = QStringLiteral("Tango");
    settings.darkScheme = QStringLiteral("");
    settings.minimumContrast = 21;
    settings.importedSchemes = {ColorScheme{QStringLiteral("Mine"), {}, 1, 2, 3, std::nullopt, 4}};
    return settings;
}

QJsonObject unusualObject()
{
    unusualSettings().save();
    return QJsonDocument::fromJson(TestHome::readFile(VitrionSettings::configURL())).object();
}

void writeObject(const QJsonObject& object)
{
    TestHome::writeFile(VitrionSettings::configURL(), QJsonDocument(object).toJson());
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { TestHome::removeConfigFolder(); }
    void TearDown() override { TestHome::removeConfigFolder(); }
};

} // namespace

TEST_F(SettingsFileTest, ConfigUrlIsInTheHomeFolderAndFixedOnFirstUse)
{
    const QString expected = TestHome::path() + "/.config/Vitrion/config.json";
    EXPECT_EQ(VitrionSettings::configURL(), expected);
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", "/elsewhere");
    EXPECT_EQ(VitrionSettings::configURL(), expected);
    qputenv("HOME", home);
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndWritesNothing)
{
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
    EXPECT_FALSE(TestHome::exists(TestHome::configFolder()));
}

TEST_F(SettingsFileTest, FilesThatAreNotPlainFilesGiveDefaultsWithoutBlocking)
{
    const QString url = VitrionSettings::configURL();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(url).absolutePath()));
    // A FIFO with no writer would block a plain open for ever; /dev/zero never ends.
    ASSERT_EQ(mkfifo(QFile::encodeName(url).constData(), 0600), 0);
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
    ASSERT_TRUE(QFile::remove(url));
    ASSERT_TRUE(QFile::link("/dev/zero", url));
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
    ASSERT_TRUE(QFile::remove(url));
    unusualSettings().save();
    const QByteArray json = TestHome::readFile(url);
    TestHome::writeFile(url, QByteArray(16 << 20, ' ') + json); // valid JSON, but no settings file
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
    TestHome::writeFile(url, QByteArray(4096, ' ') + json);
    EXPECT_EQ(VitrionSettings::load(), unusualSettings());
}

TEST_F(SettingsFileTest, SaveCreatesTheFolderAndEveryValueReadsBackExactly)
{
    const VitrionSettings settings = unusualSettings();
    const QByteArray log = TestHome::captureStandardError([&] { settings.save(); });
    EXPECT_EQ(log, "");
    const VitrionSettings loaded = VitrionSettings::load();
    EXPECT_EQ(loaded, settings);
    EXPECT_EQ(loaded.textGreen, settings.textGreen); // bit-exact, not merely close
    EXPECT_EQ(loaded.saturation, std::numeric_limits<double>::denorm_min());
    VitrionSettings{}.save();
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
}

TEST_F(SettingsFileTest, DefaultsAreWrittenPrettyPrintedWithSortedKeys)
{
    VitrionSettings{}.save();
    EXPECT_EQ(TestHome::readFile(VitrionSettings::configURL()), R"({
    "allowClipboardWrites": true,
    "ansiColors": [
        "#000000",
        "#ff453a",
        "#32d74b",
        "#ffd60a",
        "#0a84ff",
        "#bf5af2",
        "#5ac8fa",
        "#ffffff",
        "#555555",
        "#ff453a",
        "#32d74b",
        "#ffd60a",
        "#0a84ff",
        "#bf5af2",
        "#5ac8fa",
        "#ffffff"
    ],
    "blur": 0.72,
    "closeOnShellExit": false,
    "colorScheme": "Vitrion",
    "configurationVersion": 2,
    "cornerRadius": 20,
    "cursorColor": "#b8b8b8",
    "cursorStyle": "Block",
    "darkScheme": "Vitrion",
    "followDesktop": false,
    "fontName": "Menlo",
    "fontSize": 14,
    "importedSchemes": [
    ],
    "lightScheme": "Solarized Light",
    "lineSpacing": 1.15,
    "material": "HUD",
    "minimumContrast": 4.5,
    "notifyAfterSeconds": 10,
    "opacity": 1,
    "padding": 24,
    "saturation": 0,
    "scrollbackLines": 2000,
    "scrollbackMegabytes": 512,
    "scrollbackUnlimited": false,
    "selectionColor": "",
    "selectionTextColor": "",
    "shell": "Default",
    "shellIntegration": true,
    "textBlue": 0.96,
    "textGreen": 0.93,
    "textRed": 0.92,
    "tintBlue": 0.21,
    "tintGreen": 0.15,
    "tintRed": 0.11
}
)");
}

TEST_F(SettingsFileTest, UnparsableFilesGiveAllDefaultsAndStayUntouched)
{
    const QJsonObject valid = unusualObject();
    const std::pair<const char*, QByteArray> broken[] = {
        {"empty", ""},
        {"not JSON", "settings: yes"},
        {"truncated", QJsonDocument(valid).toJson().chopped(5)},
        {"array", "[]"},
        {"number", "2"},
        {"invalid UTF-8", QJsonDocument(valid).toJson().replace("Mono", "Mo\xff\xfeno")},
    };
    for (const auto& [name, bytes] : broken) {
        TestHome::writeFile(VitrionSettings::configURL(), bytes);
        EXPECT_EQ(VitrionSettings::load(), VitrionSettings{}) << name;
        EXPECT_EQ(TestHome::readFile(VitrionSettings::configURL()), bytes) << name;
    }
}

// A key that is missing or holds a value of the wrong type takes its default; every other key keeps
// the file's value.
TEST_F(SettingsFileTest, EachKeyIsReadOnItsOwn)
{
    const QJsonObject valid = unusualObject();
    ASSERT_EQ(valid.size(), 25 + 10); // + the ten colour scheme keys
    const VitrionSettings defaults;
    const VitrionSettings unusual = unusualSettings();
    for (const QString& key : valid.keys()) {
        // The record with only this key at its default, as a file lacking it must give.
        QJsonObject oneDefault = valid;
        oneDefault.insert(key, settingsObject(defaults, nullptr)->value(key));
        const VitrionSettings expected = settingsFromObject(oneDefault);
        ASSERT_NE(expected, unusual) << key.toStdString();

        QJsonObject missing = valid;
        missing.remove(key);
        QJsonObject null = valid;
        null.insert(key, QJsonValue::Null);
        QJsonObject wrongType = valid;
        wrongType.insert(key, valid.value(key).isString() ? QJsonValue(1) : QJsonValue("1"));
        QJsonObject otherType = valid; // a switch given a number, anything else a switch
        otherType.insert(key, valid.value(key).isBool() ? QJsonValue(1) : QJsonValue(true));
        for (const QJsonObject& object : {missing, null, wrongType, otherType}) {
            writeObject(object);
            EXPECT_EQ(VitrionSettings::load(), expected) << key.toStdString();
        }
    }
    const std::pair<const char*, QJsonValue> badValues[] = {
        {"material", "hud"},           {"material", "Glass"},         {"cursorStyle", "block"},
        {"cursorStyle", "Block "},     {"configurationVersion", 2.5}, {"configurationVersion", 1e300},
        {"configurationVersion", "2"}, {"fontSize", QJsonArray{}}};
    for (const auto& [key, value] : badValues) {
        QJsonObject changed = valid;
        changed.insert(key, value);
        writeObject(changed);
        QJsonObject oneDefault = valid;
        oneDefault.insert(key, settingsObject(defaults, nullptr)->value(key));
        EXPECT_EQ(VitrionSettings::load(), settingsFromObject(oneDefault)) << key;
    }
}

TEST_F(SettingsFileTest, AcceptsWholeNumbersForDoublesAndKeepsValuesAsGiven)
{
    QJsonObject object = unusualObject();
    object.insert("fontSize", 14);              // an integer for a double
    object.insert("opacity", 3);                // outside 0...1, kept
    object.insert("configurationVersion", 1.0); // whole, written with a fraction
    object.insert("unknownKey", "ignored");
    writeObject(object);
    VitrionSettings expected = unusualSettings();
    expected.fontSize = 14;
    expected.opacity = 3;
    expected.configurationVersion = 1;
    EXPECT_EQ(VitrionSettings::load(), expected);

    VitrionSettings::load().save();
    const QJsonObject written =
        QJsonDocument::fromJson(TestHome::readFile(VitrionSettings::configURL())).object();
    EXPECT_FALSE(written.contains("unknownKey"));
    EXPECT_EQ(written.value("configurationVersion").toInteger(), 1);
    EXPECT_EQ(written.size(), 25 + 10); // + the ten colour scheme keys
}

// The scrollback keys came later: a file without them, or with a value the panel could not have
// written, still gives every other value and a sane history.
TEST_F(SettingsFileTest, OldFilesAndOddScrollbackValuesKeepEverythingElse)
{
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, QJsonValue>> values; // Undefined removes the key
        qint64 lines;
        bool unlimited;
        qint64 megabytes;
    };
    const QJsonValue gone(QJsonValue::Undefined);
    const Case cases[] = {
        {"file from before the keys",
         {{"scrollbackLines", gone}, {"scrollbackUnlimited", gone}, {"scrollbackMegabytes", gone}},
         2000,
         false,
         512},
        {"below the ranges", {{"scrollbackLines", -5}, {"scrollbackMegabytes", 1}}, 0, true, 16},
        {"above the ranges",
         {{"scrollbackLines", 1e300}, {"scrollbackMegabytes", 1e12}},
         1'000'000,
         true,
         65536},
        {"fractions round", {{"scrollbackLines", 2.6}, {"scrollbackMegabytes", 100.4}}, 3, true, 100},
        {"wrong types",
         {{"scrollbackLines", "5000"}, {"scrollbackUnlimited", 1}, {"scrollbackMegabytes", QJsonArray{}}},
         2000,
         false,
         512},
        {"nulls",
         {{"scrollbackLines", QJsonValue::Null},
          {"scrollbackUnlimited", QJsonValue::Null},
          {"scrollbackMegabytes", true}},
         2000,
         false,
         512},
        {"finite", {{"scrollbackLines", 0}, {"scrollbackUnlimited", false}}, 0, false, 16},
    };
    // A file from before shell integration: on, notifications after 10 s; odd values bounded.
    QJsonObject object = unusualObject();
    object.remove("shellIntegration");
    object.insert("notifyAfterSeconds", -3);
    writeObject(object);
    EXPECT_TRUE(VitrionSettings::load().shellIntegration);
    EXPECT_EQ(VitrionSettings::load().notifyAfterSeconds, 0);
    object.remove("notifyAfterSeconds");
    writeObject(object);
    EXPECT_EQ(VitrionSettings::load().notifyAfterSeconds, 10);
    for (const Case& c : cases) {
        QJsonObject object = unusualObject();
        for (const auto& [key, value] : c.values) {
            value.isUndefined() ? void(object.remove(key)) : void(object.insert(key, value));
        }
        writeObject(object);
        VitrionSettings expected = unusualSettings();
        expected.scrollbackLines = c.lines;
        expected.scrollbackUnlimited = c.unlimited;
        expected.scrollbackMegabytes = c.megabytes;
        EXPECT_EQ(VitrionSettings::load(), expected) << c.name;
    }
}

TEST_F(SettingsFileTest, LargestVersionNumbersSurvive)
{
    VitrionSettings settings;
    for (qint64 version :
         {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), qint64{0}}) {
        settings.configurationVersion = version;
        settings.save();
        EXPECT_EQ(VitrionSettings::load().configurationVersion, version);
    }
}

TEST_F(SettingsFileTest, PlainFileNamedConfigLogsOneLineAndWritesNothing)
{
    TestHome::writeFile(TestHome::configFolder(), "not a folder");
    const QByteArray log = TestHome::captureStandardError([] { unusualSettings().save(); });
    EXPECT_TRUE(log.startsWith("Vitrion settings could not be saved: ")) << log.constData();
    EXPECT_TRUE(log.endsWith('\n'));
    EXPECT_EQ(log.count('\n'), 1);
    EXPECT_EQ(TestHome::readFile(TestHome::configFolder()), "not a folder");
    EXPECT_EQ(VitrionSettings::load(), VitrionSettings{});
}

TEST_F(SettingsFileTest, ValueWithoutJsonFormLogsAndKeepsThePreviousFile)
{
    unusualSettings().save();
    const QByteArray before = TestHome::readFile(VitrionSettings::configURL());
    VitrionSettings settings;
    settings.blur = std::nan("");
    settings.padding = INFINITY;
    const QByteArray log = TestHome::captureStandardError([&] { settings.save(); });
    EXPECT_EQ(log, "Vitrion settings could not be saved: the value of \"blur\" is not a finite number\n");
    EXPECT_EQ(TestHome::readFile(VitrionSettings::configURL()), before);
}

// Runs in a child process: a file-size limit below the file's size makes the write fail part-way.
TEST(SettingsFileChild, SaveUnderFileSizeLimit)
{
    if (!qEnvironmentVariableIsSet("VITRION_TEST_FSIZE")) {
        GTEST_SKIP() << "runs only as the child of MidWriteFailureKeepsThePreviousFileByteForByte";
    }
    std::signal(SIGXFSZ, SIG_IGN); // the write then fails with EFBIG instead of killing the process
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{100, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    VitrionSettings{}.save();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0); // so the test's own report can still be written
}

TEST_F(SettingsFileTest, MidWriteFailureKeepsThePreviousFileByteForByte)
{
    unusualSettings().save();
    const QByteArray before = TestHome::readFile(VitrionSettings::configURL());
    ASSERT_GT(before.size(), 100);
    const ChildTestResult child =
        runChildTest("SettingsFileChild.SaveUnderFileSizeLimit", {"VITRION_TEST_FSIZE=1"});
    ASSERT_TRUE(child.passed()) << child.output;
    EXPECT_NE(child.output.find("[       OK ] SettingsFileChild.SaveUnderFileSizeLimit"), std::string::npos);
    static const QRegularExpression logLine("^Vitrion settings could not be saved: [^\n]+\n",
                                            QRegularExpression::MultilineOption);
    EXPECT_EQ(QString::fromStdString(child.output).count(logLine), 1) << child.output;
    EXPECT_EQ(TestHome::readFile(VitrionSettings::configURL()), before);
    EXPECT_EQ(QDir(TestHome::configFolder() + "/Vitrion").entryList(QDir::Files | QDir::Hidden),
              QStringList{"config.json"}); // no temporary file left behind
}
