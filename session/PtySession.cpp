// The pseudo-terminal session. Output is read on the main thread when the master is readable and
// handed to the output handler chunk by chunk; input is written as far as the pty takes it and the rest
// when it is writable again. A Linux master whose slave side has closed reads EIO (not 0) and stays
// readable, so end of output closes it rather than watching it spin.
#include "PtySession.h"

#include "ChildExitWatch.h"
#include "PtyFork.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <span>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t readChunkSize = 8192;
// A program that writes without pause (yes, cat of a huge file) would otherwise keep one drain going
// for ever; after this many chunks the event loop gets a turn and the still-readable master at once
// starts the next drain.
constexpr int chunksPerDrain = 256;
// How long an exited shell's session waits for the pty to report the end of output (a background
// job may hold it open) before it reports the shell finished anyway.
constexpr int finishGraceMilliseconds = 100;

unsigned short windowDimension(int requested)
{
    return static_cast<unsigned short>(std::clamp(requested, 1, 65535));
}

} // namespace

PtySession::PtySession(const QString& shellChoice, int rows, int columns, QObject* parent)
    : PtySession(LaunchRequest{shellChoice, {}, {}, false}, rows, columns, parent)
{
}

PtySession::PtySession(const LaunchRequest& request, int rows, int columns, QObject* parent)
    : PtyDevice(parent)
{
    lastRows = windowDimension(rows);
    lastColumns = windowDimension(columns);
    const ShellLaunchPlan plan = ShellLaunchPlan::forRequest(request);
    runsShell = plan.runsShell;
    const PtyChild started = startOnPseudoTerminal(plan, lastRows, lastColumns);
    if (started.pid < 0) {
        startFailure = started.error != 0 ? started.error : EAGAIN;
        startStep = started.failedStep;
        startTarget = startStep == StartStep::workingDirectory ? plan.workingDirectory : plan.displayName;
        return;
    }
    child = started.pid;
    master = started.master;
    startWatching();
}

PtySession::~PtySession()
{
    if (exitWatch && !exitWatch->hasExited()) {
        exitWatch->orphan(); // keeps reaping after the session is gone
    }
    delete source; // no notifier outlives its descriptor
    delete writeSource;
    if (master >= 0) {
        ::close(master); // released before its queued close step could run
    }
}

std::string PtySession::startFailureMessage() const
{
    if (startStep == StartStep::none) {
        return {};
    }
    const std::string reason =
        startStep == StartStep::notFound ? "command not found" : std::strerror(startFailure);
    if (startStep == StartStep::workingDirectory) {
        return "Could not enter " + startTarget + " (" + reason + ").";
    }
    std::string what = runsShell ? "start shell" : "run " + startTarget;
    if (runsShell && startStep == StartStep::execute) {
        what += " " + startTarget; // which shell: the choice may have fallen back to another
    }
    return "Could not " + what + " (" + reason + ").";
}

bool PtySession::foregroundProgramRunning() const
{
    if (child <= 0 || master < 0) {
        return false;
    }
    if (!runsShell) {
        return true; // the command itself is the program
    }
    const pid_t foreground = ::tcgetpgrp(master);
    return foreground > 0 && foreground != static_cast<pid_t>(child);
}

void PtySession::startWatching()
{
    source = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(source, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    writeSource = new QSocketNotifier(master, QSocketNotifier::Write, this);
    writeSource->setEnabled(false);
    connect(writeSource, &QSocketNotifier::activated, this, &PtySession::writePendingInput);
    exitWatch = new ChildExitWatch(static_cast<pid_t>(child), this);
    connect(exitWatch, &ChildExitWatch::exited, this, &PtySession::shellHasExited);
}

PtySession::DrainResult PtySession::readAvailable()
{
    const QPointer<PtySession> self(this); // the output handler may end up releasing the session
    std::array<std::uint8_t, readChunkSize> buffer{};
    for (int chunk = 0; chunk < chunksPerDrain; ++chunk) {
        if (master < 0 || watchCancelled) {
            return DrainResult::closed;
        }
        const ssize_t count = ::read(master, buffer.data(), buffer.size());
        if (count > 0) {
            deliver(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)));
            if (!self) {
                return DrainResult::released;
            }
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return DrainResult::stillOpen;
        }
        cancelWatch(); // 0, or EIO once every slave descriptor is closed
        return DrainResult::closed;
    }
    return DrainResult::stillOpen;
}

void PtySession::cancelWatch()
{
    if (watchCancelled) {
        return;
    }
    watchCancelled = true;
    for (QSocketNotifier* notifier : {source, writeSource}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater(); // may be running its own activation right now
        }
    }
    source = nullptr;
    writeSource = nullptr;
    pendingInput.clear();
    pendingOffset = 0;
    // The close step runs once, on a later turn of the event loop, and not at all if the session is
    // released first (the destructor closes the descriptor then).
    QMetaObject::invokeMethod(this, &PtySession::closeMaster, Qt::QueuedConnection);
}

void PtySession::closeMaster()
{
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
    if (finishPending) {
        finish();
    }
}

void PtySession::send(std::string_view bytes)
{
    if (master < 0 || bytes.empty()) {
        return;
    }
    if (watchCancelled) {
        writeNow(bytes); // stopped but not yet closed: what the pty takes now, nothing queued
        return;
    }
    if (pendingOffset < pendingInput.size()) {
        pendingInput.append(bytes); // behind what is already waiting
        return;
    }
    const std::size_t written = writeNow(bytes);
    if (written < bytes.size() && master >= 0 && writeSource) {
        pendingInput.assign(bytes.substr(written));
        pendingOffset = 0;
        writeSource->setEnabled(true);
    }
}

// Writes as much as the pty takes without blocking. A hard error (EIO once the shell is gone) drops
// all queued input: there is no one left to read it.
std::size_t PtySession::writeNow(std::string_view bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(master, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            pendingInput.clear();
            pendingOffset = 0;
            if (writeSource) {
                writeSource->setEnabled(false);
            }
            return bytes.size();
        }
    }
    return written;
}

void PtySession::writePendingInput()
{
    if (master < 0 || pendingOffset >= pendingInput.size()) {
        if (writeSource) {
            writeSource->setEnabled(false);
        }
        return;
    }
    const std::string_view waiting = std::string_view(pendingInput).substr(pendingOffset);
    const std::size_t written = writeNow(waiting);
    if (pendingInput.empty()) {
        return; // dropped after a hard error
    }
    pendingOffset += written;
    if (pendingOffset >= pendingInput.size()) {
        pendingInput.clear();
        pendingOffset = 0;
        writeSource->setEnabled(false);
    } else if (pendingOffset > (1u << 20) && pendingOffset > pendingInput.size() / 2) {
        pendingInput.erase(0, pendingOffset); // keep the queue from holding written bytes for long
        pendingOffset = 0;
    }
}

void PtySession::resize(int rows, int columns)
{
    if (master < 0) {
        return;
    }
    winsize size{windowDimension(rows), windowDimension(columns), 0, 0};
    // A full-screen program redraws on each SIGWINCH: only a real change is passed on.
    if (size.ws_row == lastRows && size.ws_col == lastColumns) {
        return;
    }
    ::ioctl(master, TIOCSWINSZ, &size);
    lastRows = size.ws_row;
    lastColumns = size.ws_col;
    if (child > 0) {
        ::kill(static_cast<pid_t>(child), SIGWINCH);
    }
}

void PtySession::stop()
{
    stopped = true; // the terminal is being taken down: no finish for a hang-up asked for
    if (!watchCancelled && master >= 0) {
        cancelWatch();
    }
    if (child > 0) {
        ::kill(static_cast<pid_t>(child), SIGHUP);
        child = -1; // still reaped by the exit watch, never signalled again
    }
}

void PtySession::shellHasExited(int waitStatus)
{
    child = -1;
    exitStatus = waitStatus;
    const QPointer<PtySession> self(this);
    emit shellExited(waitStatus);
    if (!self) {
        return; // a receiver released the session
    }
    finishPending = true;
    if (master < 0) {
        finish(); // the output has already ended
        return;
    }
    if (watchCancelled || readAvailable() == DrainResult::released || watchCancelled) {
        return; // the queued close step reports it, after the last output
    }
    // The pty is still open: its last output may still be on its way, or a background job holds it.
    // Either way the finish follows after a moment; later output is still handed on.
    QTimer::singleShot(finishGraceMilliseconds, this, [this] {
        if (finishPending && !watchCancelled) {
            finish();
        }
    });
}

void PtySession::finish()
{
    finishPending = false;
    if (finishReported || stopped || exitStatus < 0) {
        return;
    }
    finishReported = true;
    emit finished(exitStatus);
}
