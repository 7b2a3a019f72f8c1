// Notices when a child process ends and collects its exit status, without a SIGCHLD handler (Qt
// keeps its own): a pidfd watched by the event loop, then waitpid with WNOHANG.
#pragma once

#include <QObject>

#include <sys/types.h>

class QSocketNotifier;
class QTimer;

class ChildExitWatch : public QObject {
    Q_OBJECT
public:
    ChildExitWatch(pid_t pid, QObject* parent);
    ~ChildExitWatch() override;

    bool hasExited() const { return reaped; }

    // The owner is going away: keep watching on behalf of the application and delete this object
    // once the child has been collected, so that no zombie is left behind.
    void orphan();

signals:
    // Once, with the status as waitpid reports it, or -1 when it could not be collected.
    void exited(int waitStatus);

private:
    void collect();

    pid_t pid;
    int pidfd = -1;
    QSocketNotifier* notifier = nullptr;
    QTimer* poll = nullptr; // only where pidfd_open is unavailable (or out of descriptors)
    bool reaped = false;
    bool orphaned = false;
};
