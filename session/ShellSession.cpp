// The pseudo-terminal session. Output is read on the main thread when the master is readable and
// handed to the engine chunk by chunk; input is written as far as the pty takes it and the rest
// when it is writable again. A Linux master whose slave side has closed reads EIO (not 0) and stays
// readable, so end of output closes it rather than watching it spin.
#include "ShellSession.h"

#include "ChildExitWatch.h"
#include "PtyFork.h"
#include "ShellResolver.h"
#include "engine/Palette.h"
#include "engine/TerminalEngine.h"

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
// How long an exited shell's terminal waits for the pty to report the end of output (a background
// job may hold it open) before the exit line is written anyway.
constexpr int exitLineGraceMilliseconds = 100;

unsigned short windowDimension(int requested, int minimum)
{
    return static_cast<unsigned short>(std::clamp(requested, minimum, 65535));
}

} // namespace

ShellSession::ShellSession(std::weak_ptr<TerminalEngine> terminal, const QString& shellChoice, int rows,
                           int columns, QObject* parent)
    : QObject(parent), view(std::move(terminal))
{
    lastRows = windowDimension(rows, 24);
    lastColumns = windowDimension(columns, 80);
    const PtyChild started =
        startOnPseudoTerminal(ShellLaunchPlan::forChoice(shellChoice), lastRows, lastColumns);
    if (started.pid < 0) {
        reportStartFailure(started.error);
        return;
    }
    child = started.pid;
    master = started.master;
    startWatching();
}

ShellSession::~ShellSession()
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

void ShellSession::startWatching()
{
    source = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(source, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    writeSource = new QSocketNotifier(master, QSocketNotifier::Write, this);
    writeSource->setEnabled(false);
    connect(writeSource, &QSocketNotifier::activated, this, &ShellSession::writePendingInput);
    exitWatch = new ChildExitWatch(static_cast<pid_t>(child), this);
    connect(exitWatch, &ChildExitWatch::exited, this, &ShellSession::shellHasExited);
}

void ShellSession::reportStartFailure(int error)
{
    if (const auto terminal = view.lock()) {
        const std::string text = std::string("Could not start shell (") + std::strerror(error) + ").\n";
        terminal->append(text, NamedColors::systemRedColor);
    }
}

ShellSession::DrainResult ShellSession::readAvailable()
{
    const QPointer<ShellSession> self(this); // the engine's redraw may end up releasing the session
    std::array<std::uint8_t, readChunkSize> buffer{};
    for (int chunk = 0; chunk < chunksPerDrain; ++chunk) {
        if (master < 0 || watchCancelled) {
            return DrainResult::closed;
        }
        const ssize_t count = ::read(master, buffer.data(), buffer.size());
        if (count > 0) {
            if (const auto terminal = view.lock()) {
                if (exitReported && !lateOutputSeparated) {
                    // A background job still writing after the exit line: below it, not after it.
                    lateOutputSeparated = true;
                    terminal->consume(std::string_view("\r\n"));
                }
                terminal->consume(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(count)));
                if (!self) {
                    return DrainResult::released;
                }
                // Answers to the chunk's queries go out before the next read, in the order asked.
                if (!terminal->pendingReplies().empty()) {
                    send(terminal->takeReplies());
                }
            } // with the terminal gone the output is read and dropped
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return DrainResult::stillOpen;
        }
        endOfOutput(); // 0, or EIO once every slave descriptor is closed
        return DrainResult::closed;
    }
    return DrainResult::stillOpen;
}

void ShellSession::endOfOutput()
{
    cancelWatch();
}

void ShellSession::cancelWatch()
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
    QMetaObject::invokeMethod(this, &ShellSession::closeMaster, Qt::QueuedConnection);
}

void ShellSession::closeMaster()
{
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
    if (exitLinePending) {
        writeExitLine();
    }
}

void ShellSession::send(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    send(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void ShellSession::send(std::string_view bytes)
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
std::size_t ShellSession::writeNow(std::string_view bytes)
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

void ShellSession::writePendingInput()
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

void ShellSession::resize(int rows, int columns)
{
    if (master < 0) {
        return;
    }
    winsize size{windowDimension(rows, 24), windowDimension(columns, 80), 0, 0};
    ::ioctl(master, TIOCSWINSZ, &size);
    // The view calls this on every scroll step too; a full-screen program redraws on each SIGWINCH.
    if (size.ws_row == lastRows && size.ws_col == lastColumns) {
        return;
    }
    lastRows = size.ws_row;
    lastColumns = size.ws_col;
    if (child > 0) {
        ::kill(static_cast<pid_t>(child), SIGWINCH);
    }
}

void ShellSession::stop()
{
    stopped = true; // the terminal is being taken down: no exit line for a hang-up asked for
    if (!watchCancelled && master >= 0) {
        cancelWatch();
    }
    if (child > 0) {
        ::kill(static_cast<pid_t>(child), SIGHUP);
        child = -1; // still reaped by the exit watch, never signalled again
    }
}

void ShellSession::shellHasExited(int waitStatus)
{
    child = -1;
    exitStatus = waitStatus;
    const QPointer<ShellSession> self(this);
    emit shellExited(waitStatus);
    if (!self) {
        return; // a receiver released the session
    }
    exitLinePending = true;
    if (master < 0) {
        writeExitLine(); // the output has already ended
        return;
    }
    if (watchCancelled || readAvailable() == DrainResult::released || watchCancelled) {
        return; // the queued close step writes the line, after the last output
    }
    // The pty is still open: its last output may still be on its way, or a background job holds it.
    // Either way the line follows after a moment; later output goes below it.
    QTimer::singleShot(exitLineGraceMilliseconds, this, [this] {
        if (exitLinePending && !watchCancelled) {
            writeExitLine();
        }
    });
}

void ShellSession::writeExitLine()
{
    exitLinePending = false;
    if (exitReported || stopped || exitStatus < 0) {
        return;
    }
    exitReported = true;
    const auto terminal = view.lock();
    if (!terminal) {
        return;
    }
    std::string line;
    if (WIFSIGNALED(exitStatus)) {
        line = "Shell terminated by signal " + std::to_string(WTERMSIG(exitStatus)) + ".";
    } else {
        line = "Shell exited with status " + std::to_string(WEXITSTATUS(exitStatus)) + ".";
    }
    if (terminal->cursorColumn() != 0 || terminal->wrapPending()) {
        terminal->consume(std::string_view("\r\n")); // start on a line of its own
    }
    terminal->append(line, terminal->baseTextColor());
}

QString ShellSession::loginShell()
{
    return ShellResolver::loginShell();
}
QString ShellSession::path(const QString& shellChoice)
{
    return ShellResolver::path(shellChoice);
}
qint64 ShellSession::childPid() const
{
    return child;
}
bool ShellSession::isOpen() const
{
    return master >= 0;
}
