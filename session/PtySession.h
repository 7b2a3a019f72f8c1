// One shell process on a pseudo-terminal: starts it, hands its output on chunk by chunk, writes
// input to it, tells it the window size and hangs it up. Knows nothing of what the bytes mean.
#pragma once

#include "PtyDevice.h"
#include "PtyFork.h"

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

class ChildExitWatch;
class QSocketNotifier;

class PtySession : public PtyDevice {
    Q_OBJECT
public:
    // Starts the shell, or the request's command, at once. Never throws: on failure the session is
    // inert, startError() says why (an errno value) and startFailure() says so in a sentence.
    PtySession(const LaunchRequest& request, int rows, int columns, QObject* parent = nullptr);
    PtySession(const QString& shellChoice, int rows, int columns, QObject* parent = nullptr);
    ~PtySession() override;

    void send(std::string_view bytes) override;
    void resize(int rows, int columns) override;
    void stop() override;
    qint64 childPid() const override { return child; }
    bool isOpen() const override { return master >= 0; }
    int startError() const { return startFailure; }
    StartStep failedStep() const { return startStep; }
    // "Could not run htop (command not found).", or empty when the program started.
    std::string startFailureMessage() const;
    // Whether a program other than the idle shell has the terminal: the foreground process group is
    // not the shell's, or what runs is a command rather than a shell.
    bool foregroundProgramRunning() const override;

private:
    enum class DrainResult { stillOpen, closed, released };

    void startWatching();
    DrainResult readAvailable();
    void cancelWatch();
    void closeMaster();
    void writePendingInput();
    std::size_t writeNow(std::string_view bytes);
    void shellHasExited(int waitStatus);
    void finish();

    int master = -1;
    QSocketNotifier* source = nullptr;      // readable master
    QSocketNotifier* writeSource = nullptr; // writable master, enabled while input is queued
    qint64 child = -1;
    int startFailure = 0;
    StartStep startStep = StartStep::none;
    bool runsShell = true;
    std::string startTarget; // what was to run, or the folder that could not be entered

    std::string pendingInput; // bytes not yet taken by the pseudo-terminal, from pendingOffset on
    std::size_t pendingOffset = 0;
    unsigned short lastRows = 0;
    unsigned short lastColumns = 0;
    ChildExitWatch* exitWatch = nullptr;
    bool watchCancelled = false;
    bool stopped = false;
    int exitStatus = -1;
    bool finishPending = false; // exited, waiting for the rest of its output
    bool finishReported = false;
};
