// Colour schemes end to end inside one process: the panel's picker, wells and Import…, following
// the desktop's style through a fake settings portal on a private bus, and a program that asked for
// colour-scheme reports hearing of each change once.
#include "AppTestSupport.h"
#include "app/ColorSchemeSection.h"
#include "app/ColorWell.h"
#include "app/DesktopStyle.h"
#include "app/SettingsPanel.h"
#include "session/PtyDevice.h"
#include "settings/AppModel.h"
#include "terminal/Terminal.h"
#include "view/TerminalTextView.h"

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

// The portal's Settings interface as the desktop offers it, with a preference the test sets.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    explicit FakePortal(const QDBusConnection& bus) : bus(bus) {}
    uint preference = 1; // dark

    void change(uint now)
    {
        preference = now;
        QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(DesktopStyle::portalPath),
                                                         QLatin1String(DesktopStyle::settingsInterface),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(now));
        bus.send(signal);
    }
    QDBusConnection bus;

public slots:
    QDBusVariant ReadOne(const QString& group, const QString& key)
    {
        return QDBusVariant(group == QLatin1String("org.freedesktop.appearance") &&
                                    key == QLatin1String("color-scheme")
                                ? preference
                                : 0u);
    }
};

namespace {

class FakePty : public PtyDevice {
public:
    void send(std::string_view bytes) override { written += bytes; }
    void resize(int, int) override {}
    void stop() override { stopped = true; }
    bool isOpen() const override { return !stopped; }
    void output(std::string_view bytes)
    {
        deliver(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    std::string written;
    bool stopped = false;
};

// A session bus of the test's own, gone with the test.
class PrivateBus {
public:
    PrivateBus()
    {
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        if (daemon.waitForStarted() && daemon.waitForReadyRead(10000)) {
            address = QString::fromUtf8(daemon.readLine()).trimmed();
        }
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        daemon.kill();
        daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) const
    {
        return QDBusConnection::connectToBus(address, name);
    }

    QProcess daemon;
    QString address;
};

class ColorSchemeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppTestSupport::application();
        AppTestSupport::removeConfig();
        model = std::make_unique<AppModel>();
        panel = std::make_unique<SettingsPanel>(*model);
        section = panel->colorSection();
    }
    void TearDown() override { AppTestSupport::removeConfig(); }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<SettingsPanel> panel;
    ColorSchemeSection* section = nullptr;
};

} // namespace

TEST_F(ColorSchemeTest, AChosenSchemeAppliesAndIsSavedAndAnEditedColourStays)
{
    QSignalSpy saves(model.get(), &AppModel::vitrionSettingsChanged);
    QComboBox* picker = section->schemePicker();
    const int index = picker->findText(QStringLiteral("Solarized Light"));
    ASSERT_GE(index, 0);
    emit picker->activated(index);
    EXPECT_EQ(saves.count(), 1);
    const VitrionSettings saved = VitrionSettings::load();
    EXPECT_EQ(saved.colorScheme, QStringLiteral("Solarized Light"));
    EXPECT_EQ(saved.ansiColors[4], 0x268bd2u);
    EXPECT_DOUBLE_EQ(saved.textRed, 0x65 / 255.0);
    EXPECT_EQ(section->ansiWells()[4]->color(), QColor(0x26, 0x8b, 0xd2));
    EXPECT_EQ(panel->textColorWell()->color(), QColor(0x65, 0x7b, 0x83)) << "the panel's text well too";
    EXPECT_EQ(panel->tintWell()->color(), QColor(0xfd, 0xf6, 0xe3));

    section->ansiWells()[1]->setColor(Qt::black);
    emit section->ansiWells()[1]->colorPicked(QColor(1, 2, 3));
    EXPECT_EQ(saves.count(), 2) << "one write per colour";
    EXPECT_EQ(VitrionSettings::load().ansiColors[1], 0x010203u);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Solarized Light"));
}

TEST_F(ColorSchemeTest, ImportKeepsAWholeSchemeAndRefusesABrokenOneWithItsReason)
{
    QTemporaryDir folder;
    const auto write = [&folder](const char* name, const QByteArray& bytes) {
        QFile file(folder.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    QByteArray resources = "*.foreground: #101010\n*.background: #fafafa\n";
    for (int i = 0; i < 16; ++i) {
        resources += "*.color" + QByteArray::number(i) + ": #0000" + QByteArray::number(10 + i) + "\n";
    }
    const VitrionSettings before = model->settings();
    QSignalSpy saves(model.get(), &AppModel::vitrionSettingsChanged);
    EXPECT_FALSE(
        section->importFile(write("broken.Xresources", QByteArray(resources).replace("#000012", "#00012"))));
    EXPECT_TRUE(section->message()->text().contains(QStringLiteral("line 5: bad colour \"#00012\"")))
        << section->message()->text().toStdString();
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(model->settings(), before) << "nothing half-applied";

    EXPECT_TRUE(section->importFile(write("paper.Xresources", resources)));
    EXPECT_EQ(model->settings().colorScheme, QStringLiteral("paper"));
    EXPECT_EQ(model->settings().ansiColors[15], 0x000025u);
    EXPECT_GE(section->schemePicker()->findText(QStringLiteral("paper")), 0);
    EXPECT_GE(section->darkPicker()->findText(QStringLiteral("paper")), 0);
    EXPECT_EQ(VitrionSettings::load().importedSchemes.size(), 1);
}

TEST_F(ColorSchemeTest, FollowingTheDesktopFlipsWithAFakePortalOnAPrivateBus)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    QDBusConnection portalSide = bus.connect(QStringLiteral("portal"));
    FakePortal portal(portalSide);
    ASSERT_TRUE(portalSide.registerService(QLatin1String(DesktopStyle::portalService)));
    ASSERT_TRUE(portalSide.registerObject(QLatin1String(DesktopStyle::portalPath), &portal,
                                          QDBusConnection::ExportAllSlots));

    model->updateSettings([](VitrionSettings& s) {
        s.followDesktop = true;
        s.lightScheme = QStringLiteral("Gruvbox Light");
        s.darkScheme = QStringLiteral("Gruvbox Dark");
    });
    portal.preference = 2; // light at start, unlike the offscreen palette
    DesktopStyle desktop(bus.connect(QStringLiteral("client")));
    QObject::connect(&desktop, &DesktopStyle::changed, model.get(),
                     [this](bool dark) { model->setDesktopPrefersDark(dark); });
    EXPECT_TRUE(desktop.asking());
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.portalPreference().has_value(); }));
    EXPECT_EQ(desktop.portalPreference(), 2u);
    EXPECT_EQ(model->settings().colorScheme, QStringLiteral("Gruvbox Light"));

    portal.change(1);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model->settings().colorScheme == QLatin1String("Gruvbox Dark"); }));
    EXPECT_EQ(VitrionSettings::load().colorScheme, QStringLiteral("Gruvbox Dark"));
    EXPECT_EQ(section->schemePicker()->currentText(), QStringLiteral("Gruvbox Dark"));
    portal.change(2);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return model->settings().colorScheme == QLatin1String("Gruvbox Light"); }));
}

// As the window applies a settings change: the view's colours, then the glass's apparent colour.
TEST_F(ColorSchemeTest, AProgramThatAskedHearsOfEachSchemeChangeOnce)
{
    Terminal terminal;
    auto fake = std::make_unique<FakePty>();
    FakePty* pty = fake.get();
    terminal.start(std::move(fake));
    TerminalTextView view;
    view.configure(model->settings());
    view.attach(&terminal);
    pty->output("\x1b[?2031h");
    QTest::qWait(10);
    pty->written.clear();

    const auto apply = [&](const QString& name, const QColor& glass) {
        model->updateSettings(
            [&](VitrionSettings& s) { ColorSchemes::apply(s, *ColorSchemes::find(s, name)); });
        view.configure(model->settings());
        view.setGlassColor(glass);
        QTest::qWait(20);
    };
    apply(QStringLiteral("Solarized Light"), QColor(0xfd, 0xf6, 0xe3));
    EXPECT_EQ(pty->written, "\x1b[?997;2n") << "the scheme and the glass changed: one report";
    pty->written.clear();
    apply(QStringLiteral("Gruvbox Light"), QColor(0xfb, 0xf1, 0xc7));
    EXPECT_EQ(pty->written, "\x1b[?997;2n") << "light to light is a change too";
    pty->written.clear();
    view.configure(model->settings());
    QTest::qWait(20);
    EXPECT_EQ(pty->written, "") << "nothing changed";
    pty->output("\x1b]4;4;?\x07");
    EXPECT_EQ(pty->written, "\x1b]4;4;rgb:4545/8585/8888\x07") << "the live palette";
}

#include "ColorSchemeTest.moc"
