// Settings that never lose a change: two writers on one file (two windows, or a window and an
// editor) keep each other's keys, a file missing keys keeps the keys it has, a file that cannot be
// parsed is never written over until it is replaced, and changes made elsewhere reach a model.
#include "TestHome.h"
#include "settings/AppModel.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <gtest/gtest.h>

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "vitrion_settings_tests";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        new QCoreApplication(argc, argv); // for the file watch's events and timers
    }
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QJsonObject fileObject()
{
    return QJsonDocument::fromJson(TestHome::readFile(VitrionSettings::configURL())).object();
}

class SettingsMergeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        TestHome::removeConfigFolder();
    }
    void TearDown() override { TestHome::removeConfigFolder(); }

    const QString path = VitrionSettings::configURL();
};

} // namespace

TEST_F(SettingsMergeTest, TwoWritersChangingDifferentKeysKeepBoth)
{
    SettingsFile first(path);
    SettingsFile second(path);
    const VitrionSettings firstSeen = first.read(); // nothing there yet: both start from defaults
    const VitrionSettings secondSeen = second.read();

    VitrionSettings firstChange = firstSeen;
    firstChange.fontSize = 18;
    QString failure;
    ASSERT_TRUE(first.writeChange(firstSeen, firstChange, &failure)) << failure.toStdString();
    EXPECT_EQ(fileObject().size(), 25 + 10); // a new file gets every key (+ ten colour scheme keys)

    // The second writer still holds the old font size; only its own change is written.
    VitrionSettings secondChange = secondSeen;
    secondChange.opacity = 0.5;
    ASSERT_TRUE(second.writeChange(secondSeen, secondChange, &failure)) << failure.toStdString();

    const VitrionSettings both = SettingsFile(path).read();
    EXPECT_EQ(both.fontSize, 18);
    EXPECT_EQ(both.opacity, 0.5);
    EXPECT_FALSE(QFile::exists(path + ".lock")); // the lock goes with the write
}

TEST_F(SettingsMergeTest, AFileMissingKeysKeepsTheKeysItHasAndOnesItDoesNotKnow)
{
    TestHome::writeFile(path, R"({"fontSize": 20, "padding": 10, "futureKey": [1, 2]})");
    SettingsFile file(path);
    const VitrionSettings read = file.read();
    EXPECT_FALSE(file.isUnparsable());
    EXPECT_EQ(read.fontSize, 20);
    EXPECT_EQ(read.padding, 10);
    EXPECT_EQ(read.opacity, VitrionSettings{}.opacity); // missing: the default

    VitrionSettings changed = read;
    changed.blur = 0.25;
    QString failure;
    ASSERT_TRUE(file.writeChange(read, changed, &failure)) << failure.toStdString();
    const QJsonObject written = fileObject();
    EXPECT_EQ(written.keys(), (QStringList{"blur", "fontSize", "futureKey", "padding"}));
    EXPECT_EQ(written.value("fontSize").toDouble(), 20);
    EXPECT_EQ(written.value("futureKey").toArray().size(), 2);
}

TEST_F(SettingsMergeTest, AnUnparsableFileIsNeverWrittenOverUntilReplaced)
{
    const QByteArray broken = "{\"fontSize\": 20,, oops";
    TestHome::writeFile(path, broken);
    SettingsFile file(path);
    EXPECT_EQ(file.read(), VitrionSettings{});
    ASSERT_TRUE(file.isUnparsable());
    EXPECT_FALSE(file.unparsableReason().isEmpty());

    VitrionSettings changed;
    changed.fontSize = 16;
    QString failure;
    EXPECT_FALSE(file.writeChange(VitrionSettings{}, changed, &failure));
    EXPECT_TRUE(failure.contains("cannot be read")) << failure.toStdString();
    EXPECT_EQ(TestHome::readFile(path), broken);

    // Replacing keeps the original beside it, under a name not yet taken.
    QString keptAs;
    ASSERT_TRUE(file.replaceUnparsable(changed, &keptAs, &failure)) << failure.toStdString();
    EXPECT_EQ(keptAs, path + ".unreadable");
    EXPECT_EQ(TestHome::readFile(keptAs), broken);
    EXPECT_EQ(SettingsFile(path).read(), changed);
    EXPECT_FALSE(file.isUnparsable());

    TestHome::writeFile(path, "[]");
    EXPECT_EQ(file.read(), VitrionSettings{});
    ASSERT_TRUE(file.replaceUnparsable(changed, &keptAs, &failure));
    EXPECT_EQ(keptAs, path + ".unreadable.1");
    EXPECT_EQ(TestHome::readFile(path + ".unreadable"), broken);
}

TEST_F(SettingsMergeTest, TheWatchReportsChangesMadeElsewhereAndNotItsOwn)
{
    SettingsFile watched(path);
    const VitrionSettings start = watched.read();
    watched.watch();
    int reports = 0;
    QObject::connect(&watched, &SettingsFile::changedOnDisk, [&] { ++reports; });

    // The folder does not exist yet: the file and its folder appear.
    TestHome::writeFile(path, R"({"fontSize": 11})");
    ASSERT_TRUE(waitUntil([&] { return reports > 0; }));
    EXPECT_EQ(watched.read().fontSize, 11);

    // Its own write is no news.
    reports = 0;
    VitrionSettings changed = watched.read();
    changed.padding = 30;
    QString failure;
    ASSERT_TRUE(watched.writeChange(start, changed, &failure));
    QCoreApplication::processEvents();
    waitUntil([] { return false; }, 3 * SettingsFile::settleMs);
    EXPECT_EQ(reports, 0);

    // A replacement by rename, as editors and other windows save.
    SettingsFile other(path);
    const VitrionSettings seen = other.read();
    VitrionSettings otherChange = seen;
    otherChange.lineSpacing = 1.5;
    ASSERT_TRUE(other.writeChange(seen, otherChange, &failure));
    ASSERT_TRUE(waitUntil([&] { return reports > 0; }));
    const VitrionSettings now = watched.read();
    EXPECT_EQ(now.lineSpacing, 1.5);
    EXPECT_EQ(now.padding, 30);
}

TEST_F(SettingsMergeTest, AModelFollowsTheFileAndReportsAnUnreadableOne)
{
    AppModel first;
    AppModel second;
    int secondChanges = 0;
    QObject::connect(&second, &AppModel::settingsChanged, [&] { ++secondChanges; });
    first.updateSettings([](VitrionSettings& s) { s.fontSize = 22; });
    ASSERT_TRUE(waitUntil([&] { return second.settings().fontSize == 22; }));
    EXPECT_EQ(secondChanges, 1);

    // A write of the second after a change it has not read yet still shows that change.
    TestHome::writeFile(path, settingsBytes(*settingsObject(first.settings(), nullptr))
                                  .replace("\"cornerRadius\": 20", "\"cornerRadius\": 5"));
    second.updateSettings([](VitrionSettings& s) { s.padding = 12; });
    ASSERT_TRUE(waitUntil([&] { return second.settings().cornerRadius == 5; }));
    EXPECT_EQ(second.settings().padding, 12);
    EXPECT_EQ(SettingsFile(path).read().cornerRadius, 5);

    int stateChanges = 0;
    QObject::connect(&second, &AppModel::settingsFileStateChanged, [&] { ++stateChanges; });
    TestHome::writeFile(path, "not json");
    ASSERT_TRUE(waitUntil([&] { return second.settingsFileUnreadable(); }));
    EXPECT_EQ(stateChanges, 1);
    EXPECT_EQ(second.settings().padding, 12); // the window keeps what it shows
    const QByteArray log = TestHome::captureStandardError(
        [&] { second.updateSettings([](VitrionSettings& s) { s.blur = 0.1; }); });
    EXPECT_EQ(log, ""); // told once, when it became unreadable; the panel tells the user
    EXPECT_EQ(TestHome::readFile(path), "not json");

    QString keptAs;
    QString failure;
    ASSERT_TRUE(second.replaceSettingsFile(&keptAs, &failure)) << failure.toStdString();
    EXPECT_FALSE(second.settingsFileUnreadable());
    EXPECT_EQ(stateChanges, 2);
    EXPECT_EQ(SettingsFile(path).read(), second.settings());
    ASSERT_TRUE(waitUntil([&] { return first.settings() == second.settings(); }));
}
