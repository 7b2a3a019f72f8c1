// The notification for a long command that ends while the window is elsewhere: it reaches a
// stand-in notification service on a private session bus, with the command line, the status and
// the time it ran; none while the window is in front, for a short command, or when turned off;
// and no service is no harm.
#include "app/CommandNotifier.h"

#include "terminal/Terminal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>
#include <memory>

namespace {

// What a notification service is asked: the summary and body of each Notify.
class StandInService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        received.append(summary + QLatin1Char('|') + body);
        return static_cast<uint>(received.size());
    }
};

// A session bus of the test's own (started before anything in the process uses the bus).
class PrivateBus {
public:
    PrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            return;
        }
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address=1")});
        if (!daemon.waitForReadyRead(5000)) {
            return;
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    ~PrivateBus()
    {
        daemon.kill();
        daemon.waitForFinished(2000);
    }
    QProcess daemon;
    QString address;
};

std::string command(int status)
{
    return "\x1b]133;A\a$ \x1b]133;B\amake all\r\n\x1b]133;C\abuilding\r\n\x1b]133;D;" +
           std::to_string(status) + "\a";
}

TEST(CommandNotifierTest, ALongCommandEndingBehindTheUsersBackIsNotified)
{
    int argc = 1;
    char name[] = "app_notifier_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    PrivateBus bus;
    if (bus.address.isEmpty()) {
        GTEST_SKIP() << "no dbus-daemon";
    }
    Terminal terminal;
    bool inFront = false;
    qint64 threshold = 1;
    CommandNotifier notifier(
        terminal, [&] { return inFront; }, [&] { return threshold; });
    int sent = 0;
    QObject::connect(&notifier, &CommandNotifier::notified, [&] { ++sent; });

    // No service yet: sent into the void, nothing waits and nothing breaks.
    terminal.receive(command(0).substr(0, command(0).find("\x1b]133;D")));
    QTest::qWait(1100);
    terminal.receive(std::string_view("\x1b]133;D;0\a"));
    EXPECT_EQ(sent, 1);

    StandInService service;
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address, QStringLiteral("stand-in"));
    ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                          QDBusConnection::ExportAllSlots));

    const std::string started = command(2).substr(0, command(2).find("\x1b]133;D"));
    terminal.receive(started);
    QTest::qWait(1100);
    terminal.receive(std::string_view("\x1b]133;D;2\a"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.received.isEmpty(); }, 5000));
    EXPECT_EQ(service.received.front(),
              QStringLiteral("Command finished|make all\nfailed with status 2 after 1 s"));

    // In front of the user, too short, or turned off: nothing.
    inFront = true;
    terminal.receive(started);
    QTest::qWait(1100);
    terminal.receive(std::string_view("\x1b]133;D;0\a"));
    inFront = false;
    terminal.receive(command(0));
    threshold = 0;
    terminal.receive(started);
    QTest::qWait(1100);
    terminal.receive(std::string_view("\x1b]133;D;0\a"));
    QTest::qWait(200);
    EXPECT_EQ(service.received.size(), 1);
    QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
}

TEST(CommandNotifierTest, TheBodyEscapesTheCommandAndSaysHowItEnded)
{
    EXPECT_EQ(CommandNotifier::body(QStringLiteral("a <b> & c"), 0, 75000),
              QStringLiteral("a &lt;b&gt; &amp; c\nsucceeded after 1 min 15 s"));
    EXPECT_EQ(CommandNotifier::body({}, 130, 7200000),
              QStringLiteral("failed with status 130 after 2 h 0 min"));
}

} // namespace

#include "CommandNotifierTest.moc"
