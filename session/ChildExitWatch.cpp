// The pidfd becomes readable when the process ends (Linux 5.3); the watch then reaps it. A reaped
// pid may be reused by an unrelated process, so the watch never looks at it again.
#include "ChildExitWatch.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int fallbackPollMilliseconds = 100;

// glibc 2.36's <sys/pidfd.h> declares pidfd_open without C linkage, so C++ cannot link against it.
int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

} // namespace

ChildExitWatch::ChildExitWatch(pid_t childPid, QObject* parent) : QObject(parent), pid(childPid)
{
    pidfd = openPidfd(pid);
    if (pidfd >= 0) { // close-on-exec from the start
        notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &ChildExitWatch::collect);
    } else {
        poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &ChildExitWatch::collect);
        poll->start(fallbackPollMilliseconds);
    }
}

ChildExitWatch::~ChildExitWatch()
{
    if (!reaped) {
        int status = 0;
        waitpid(pid, &status, WNOHANG); // a last chance; an orphaned watch is only destroyed at exit
    }
    if (pidfd >= 0) {
        close(pidfd);
    }
}

void ChildExitWatch::orphan()
{
    disconnect(this, &ChildExitWatch::exited, nullptr, nullptr);
    orphaned = true;
    if (reaped) {
        deleteLater();
        return;
    }
    // Parented to the application so that it outlives the session and goes with the event loop.
    setParent(QCoreApplication::instance());
}

void ChildExitWatch::collect()
{
    if (reaped) {
        return;
    }
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == 0 || (result < 0 && errno == EINTR)) {
        return; // not ended yet
    }
    // result == pid, or ECHILD: someone else (a process-wide SIGCHLD ignore, for one) took it.
    reaped = true;
    if (notifier) {
        notifier->setEnabled(false);
    }
    if (poll) {
        poll->stop();
    }
    if (orphaned) {
        deleteLater();
        return;
    }
    emit exited(result == pid ? status : -1);
}
