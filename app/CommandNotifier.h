// A desktop notification when a command that ran a while ends and the user is looking elsewhere:
// "Command finished", with the command line, its exit status and how long it ran, through the
// freedesktop notification service on the session bus. Without a bus or a service, nothing.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class Terminal;

class CommandNotifier : public QObject {
    Q_OBJECT
public:
    // Watches the terminal's commands; `inFront` says whether the window has the user's attention,
    // `threshold` the seconds a command must run (0: never notify).
    CommandNotifier(Terminal& terminal, std::function<bool()> inFront, std::function<qint64()> threshold,
                    QObject* parent = nullptr);

    // The notification's text for a command that ended (plain text, escaped for the markup a
    // service may show).
    static QString summary();
    static QString body(const QString& commandLine, int status, qint64 milliseconds);

signals:
    void notified(); // a notification was sent (tests)

private:
    void finished(int status);

    std::function<bool()> inFront_;
    std::function<qint64()> threshold_;
    QElapsedTimer running_;
    QString commandLine_;
};
