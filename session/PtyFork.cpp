// forkpty and the child's few steps before execve. A Qt application has helper threads, so between
// fork and exec the child may only call async-signal-safe functions: no allocation, no locks.
#include "PtyFork.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<char*> pointersTo(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& text : strings) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// What the child writes to the parent when it cannot become the program: the step and errno.
struct FailureReport {
    int step;
    int error;
};

[[noreturn]] void failInChild(int reportPipe, StartStep step)
{
    const FailureReport report{static_cast<int>(step), errno};
    (void)!write(reportPipe, &report, sizeof report); // one write below PIPE_BUF: never split
    _exit(127);
}

[[noreturn]] void becomeShell(const ShellLaunchPlan& plan, char* const* argv, char* const* envp,
                              const struct sigaction& defaultAction, const sigset_t& emptyMask,
                              int reportPipe)
{
    // Dispositions set to "ignore" and a blocked mask survive execve; the shell must start clean.
    for (int signal = 1; signal < NSIG; ++signal) {
        sigaction(signal, &defaultAction, nullptr); // fails harmlessly for SIGKILL, SIGSTOP, reserved ones
    }
    sigprocmask(SIG_SETMASK, &emptyMask, nullptr);
    if (chdir(plan.workingDirectory.c_str()) != 0 && plan.workingDirectoryRequired) {
        failInChild(reportPipe, StartStep::workingDirectory);
    } // a missing home folder leaves the inherited one
    // The shell inherits only the terminal on 0, 1 and 2, none of the application's descriptors;
    // the report pipe closes itself on a successful execve.
    const auto pipeDescriptor = static_cast<unsigned>(reportPipe);
    if (pipeDescriptor > 3) {
        close_range(3, pipeDescriptor - 1, 0);
    }
    close_range(pipeDescriptor + 1, ~0U, 0);
    execve(plan.path.c_str(), argv, envp);
    failInChild(reportPipe, StartStep::execute);
}

// The child's report: none when the pipe closed on a successful execve.
bool readFailureReport(int reportPipe, FailureReport& report)
{
    for (;;) {
        const ssize_t count = read(reportPipe, &report, sizeof report);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return count == static_cast<ssize_t>(sizeof report);
    }
}

} // namespace

PtyChild startOnPseudoTerminal(const ShellLaunchPlan& plan, unsigned short rows, unsigned short columns)
{
    // Everything the child touches is prepared here, before the fork.
    const std::vector<char*> argv = pointersTo(plan.arguments);
    const std::vector<char*> envp = pointersTo(plan.environment);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigset_t emptyMask;
    sigemptyset(&emptyMask);
    winsize size{rows, columns, 0, 0};

    PtyChild started;
    if (plan.notFound) {
        started.error = ENOENT;
        started.failedStep = StartStep::notFound;
        return started;
    }
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        started.error = errno;
        started.failedStep = StartStep::pseudoTerminal;
        return started;
    }
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        becomeShell(plan, argv.data(), envp.data(), defaultAction, emptyMask, report[1]);
    }
    const int forkError = errno;
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        started.error = forkError;
        started.failedStep = StartStep::pseudoTerminal;
        return started;
    }
    FailureReport failure{};
    const bool failed = readFailureReport(report[0], failure);
    close(report[0]);
    if (failed) {
        // The child exits right after its report; nothing else will reap it.
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        close(master);
        started.error = failure.error;
        started.failedStep = static_cast<StartStep>(failure.step);
        return started;
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    started.pid = pid;
    started.master = master;
    return started;
}
