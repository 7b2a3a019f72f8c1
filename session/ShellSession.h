// One shell process on a pseudo-terminal: starts it, streams its output into the terminal engine,
// writes input to it, tells it the window size and hangs it up.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string_view>

class TerminalEngine;

class ShellSession : public QObject {
    Q_OBJECT
public:
    // Starts the shell at once. Never fails to the caller: on failure the session is inert and the
    // reason has been written into the terminal in red. The session holds the terminal weakly.
    ShellSession(std::weak_ptr<TerminalEngine> terminal, const QString& shellChoice, int rows, int columns,
                 QObject* parent = nullptr);
    ~ShellSession() override;

    void send(std::string_view bytes);
    void send(const QString& text);
    void resize(int rows, int columns);
    void stop();

    static QString loginShell();
    static QString path(const QString& shellChoice);

    // For tests and the owner: the shell's pid (-1 when none) and whether the master is still open.
    qint64 childPid() const;
    bool isOpen() const;
};
