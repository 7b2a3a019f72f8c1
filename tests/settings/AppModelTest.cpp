// The application model against the real settings file: every settings write saves before it
// notifies, once; the panel flag and the session identity never touch the file.
#include "settings/AppModel.h"

#include "TestHome.h"

#include <gtest/gtest.h>
#include <set>

namespace {

class AppModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestHome::removeConfigFolder();
        QObject::connect(&model, &AppModel::settingsChanged, [this] { ++settingsSignals; });
        QObject::connect(&model, &AppModel::vitrionSettingsChanged, [this](const VitrionSettings& record) {
            notifications.push_back(record);
            EXPECT_EQ(record, model.settings());
            // Saved before the notification: the file already holds the record.
            EXPECT_EQ(VitrionSettings::load(), record);
        });
    }
    void TearDown() override { TestHome::removeConfigFolder(); }

    bool fileExists() const { return TestHome::exists(VitrionSettings::configURL()); }

    AppModel model;
    int settingsSignals = 0;
    std::vector<VitrionSettings> notifications;
};

} // namespace

TEST_F(AppModelTest, StartsFromDefaultsWithoutWritingTheFile)
{
    AppModel fresh;
    EXPECT_EQ(fresh.settings(), VitrionSettings{});
    EXPECT_FALSE(fresh.settingsPresented());
    EXPECT_FALSE(fresh.sessionID().isNull());
    EXPECT_FALSE(fileExists());
}

TEST_F(AppModelTest, StartsFromTheFileWhenItDecodes)
{
    VitrionSettings saved;
    saved.fontSize = 18;
    saved.shell = "bash";
    saved.save();
    AppModel fresh;
    EXPECT_EQ(fresh.settings(), saved);
}

TEST_F(AppModelTest, EveryWriteSavesAndNotifiesOnceEvenWhenEqual)
{
    VitrionSettings changed = model.settings();
    changed.material = GlassMaterial::popover;
    model.setSettings(changed);
    EXPECT_EQ(settingsSignals, 1);
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications.back(), changed);

    TestHome::removeConfigFolder();
    model.setSettings(changed); // the same value again
    EXPECT_TRUE(fileExists());
    EXPECT_EQ(settingsSignals, 2);
    EXPECT_EQ(notifications.size(), 2u);
}

TEST_F(AppModelTest, OneFieldChangeTakesTheSamePath)
{
    model.updateSettings([](VitrionSettings& settings) { settings.fontSize = 16; });
    EXPECT_EQ(model.settings().fontSize, 16);
    EXPECT_EQ(VitrionSettings::load().fontSize, 16);
    TestHome::removeConfigFolder();
    model.updateSettings([](VitrionSettings& settings) { settings.fontSize = 16; }); // unchanged value
    EXPECT_TRUE(fileExists());
    EXPECT_EQ(settingsSignals, 2);
    ASSERT_EQ(notifications.size(), 2u);
    EXPECT_EQ(notifications.back().fontSize, 16);
}

TEST_F(AppModelTest, FailedSaveStillNotifiesAndKeepsTheNewSettings)
{
    TestHome::writeFile(TestHome::configFolder(), "plain file");
    VitrionSettings changed = model.settings();
    changed.opacity = 0.5;
    const QByteArray log = TestHome::captureStandardError([&] {
        QObject::disconnect(&model, &AppModel::vitrionSettingsChanged, nullptr, nullptr);
        QObject::connect(&model, &AppModel::vitrionSettingsChanged,
                         [this](const VitrionSettings& record) { notifications.push_back(record); });
        model.setSettings(changed);
    });
    EXPECT_TRUE(log.startsWith("Vitrion settings could not be saved: "));
    EXPECT_EQ(model.settings(), changed);
    EXPECT_EQ(notifications.size(), 1u);
}

TEST_F(AppModelTest, PanelFlagAndSessionIdentityNeitherSaveNorNotifySettings)
{
    int presentedSignals = 0;
    int sessionSignals = 0;
    QObject::connect(&model, &AppModel::settingsPresentedChanged, [&] { ++presentedSignals; });
    QObject::connect(&model, &AppModel::sessionIDChanged, [&] { ++sessionSignals; });
    model.setSettingsPresented(true);
    model.setSettingsPresented(true);
    EXPECT_TRUE(model.settingsPresented());
    const QUuid id = QUuid::createUuid();
    model.setSessionID(id);
    EXPECT_EQ(model.sessionID(), id);
    EXPECT_EQ(presentedSignals, 2); // also for an equal value
    EXPECT_EQ(sessionSignals, 1);
    EXPECT_EQ(settingsSignals, 0);
    EXPECT_TRUE(notifications.empty());
    EXPECT_FALSE(fileExists());
}

TEST_F(AppModelTest, RestartShellGivesAFreshIdentityEachTime)
{
    int sessionSignals = 0;
    QObject::connect(&model, &AppModel::sessionIDChanged, [&] { ++sessionSignals; });
    std::set<QString> ids{model.sessionID().toString()};
    model.restartShell();
    ids.insert(model.sessionID().toString());
    model.restartShell();
    ids.insert(model.sessionID().toString());
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(sessionSignals, 2);
    EXPECT_FALSE(fileExists());
    EXPECT_TRUE(notifications.empty());
}
