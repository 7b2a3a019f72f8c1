// Timing commands from their output mark to their end, and the one Notify call on the session bus.
#include "CommandNotifier.h"

#include "terminal/Terminal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {

QString duration(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    if (seconds < 60) {
        return QStringLiteral("%1 s").arg(seconds);
    }
    if (seconds < 3600) {
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    }
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

} // namespace

CommandNotifier::CommandNotifier(Terminal& terminal, std::function<bool()> inFront,
                                 std::function<qint64()> threshold, QObject* parent)
    : QObject(parent), inFront_(std::move(inFront)), threshold_(std::move(threshold))
{
    connect(&terminal, &Terminal::commandStarted, this, [this](const QString& commandLine) {
        commandLine_ = commandLine;
        running_.start();
    });
    connect(&terminal, &Terminal::commandFinished, this, &CommandNotifier::finished);
}

QString CommandNotifier::summary()
{
    return QStringLiteral("Command finished");
}

QString CommandNotifier::body(const QString& commandLine, int status, qint64 milliseconds)
{
    const QString outcome =
        status == 0 ? QStringLiteral("succeeded") : QStringLiteral("failed with status %1").arg(status);
    const QString line = commandLine.isEmpty() ? QString() : commandLine.toHtmlEscaped() + QLatin1Char('\n');
    return line + outcome + QStringLiteral(" after ") + duration(milliseconds);
}

void CommandNotifier::finished(int status)
{
    if (!running_.isValid()) {
        return;
    }
    const qint64 elapsed = running_.elapsed();
    running_.invalidate();
    const qint64 threshold = threshold_();
    if (threshold <= 0 || elapsed < threshold * 1000 || inFront_()) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call.setAutoStartService(false); // no service, no notification
    call << QStringLiteral("Vitrion") << 0u << QStringLiteral("utilities-terminal") << summary()
         << body(commandLine_, status, elapsed) << QStringList() << QVariantMap() << -1;
    // Sent without waiting for the answer: the window never waits on the bus.
    bus.call(call, QDBus::NoBlock);
    emit notified();
}
