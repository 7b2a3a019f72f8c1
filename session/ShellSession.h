// One shell process on a pseudo-terminal: starts it, streams its output into the terminal engine,
// writes input to it, tells it the window size and hangs it up.
#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class ChildExitWatch;
class QSocketNotifier;
class TerminalEngine;

class ShellSession : public QObject {
    Q_OBJECT
public:
    // Starts the shell at once. Never fails to the caller: on failure the session is inert and the
    // reason has been written into the terminal in red. The session holds the terminal weakly.
    ShellSession(std::weak_ptr<TerminalEngine> terminal, const QString& shellChoice, int rows, int columns,
                 QObject* parent = nullptr);
    ~ShellSession() override;

    // Every byte reaches the shell in order: what the pseudo-terminal does not take at once is
    // queued and written as it drains.
    void send(std::string_view bytes);
    void send(const QString& text);
    void send(const char* text) { send(std::string_view(text)); } // a literal would be ambiguous
    // The window size, never below 24 rows x 80 columns; the shell is signalled only on a change.
    void resize(int rows, int columns);
    // Stops watching, drops queued input and hangs the shell up (SIGHUP). Safe to repeat.
    void stop();

    static QString loginShell();
    static QString path(const QString& shellChoice);

    // For tests and the owner: the shell's pid (-1 when none) and whether the master is still open.
    qint64 childPid() const;
    bool isOpen() const;

signals:
    // The shell has ended and been collected (waitpid status, -1 when unknown).
    void shellExited(int waitStatus);

private:
    enum class DrainResult { stillOpen, closed, released };

    void startWatching();
    DrainResult readAvailable();
    void endOfOutput();
    void cancelWatch();
    void closeMaster();
    void writePendingInput();
    std::size_t writeNow(std::string_view bytes);
    void shellHasExited(int waitStatus);
    void writeExitLine();
    void reportStartFailure(int error);

    int master = -1;
    QSocketNotifier* source = nullptr;      // readable master
    QSocketNotifier* writeSource = nullptr; // writable master, enabled while input is queued
    qint64 child = -1;
    std::weak_ptr<TerminalEngine> view;

    std::string pendingInput; // bytes not yet taken by the pseudo-terminal, from pendingOffset on
    std::size_t pendingOffset = 0;
    unsigned short lastRows = 0;
    unsigned short lastColumns = 0;
    ChildExitWatch* exitWatch = nullptr;
    bool watchCancelled = false;
    bool stopped = false;
    int exitStatus = -1;
    bool exitLinePending = false; // exited, waiting for the rest of its output
    bool exitReported = false;
    bool lateOutputSeparated = false; // output after the exit line starts on a line of its own
};
