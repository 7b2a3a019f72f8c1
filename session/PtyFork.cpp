// forkpty and the child's few steps before execve. A Qt application has helper threads, so between
// fork and exec the child may only call async-signal-safe functions: no allocation, no locks.
#include "PtyFork.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
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

[[noreturn]] void becomeShell(const ShellLaunchPlan& plan, char* const* argv, char* const* envp,
                              const struct sigaction& defaultAction, const sigset_t& emptyMask)
{
    // Dispositions set to "ignore" and a blocked mask survive execve; the shell must start clean.
    for (int signal = 1; signal < NSIG; ++signal) {
        sigaction(signal, &defaultAction, nullptr); // fails harmlessly for SIGKILL, SIGSTOP, reserved ones
    }
    sigprocmask(SIG_SETMASK, &emptyMask, nullptr);
    (void)chdir(plan.workingDirectory.c_str()); // a missing home folder leaves the inherited one
    // The shell inherits only the terminal on 0, 1 and 2, none of the application's descriptors.
    close_range(3, ~0U, 0);
    execve(plan.path.c_str(), argv, envp);
    _exit(127);
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
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        becomeShell(plan, argv.data(), envp.data(), defaultAction, emptyMask);
    }
    if (pid < 0) {
        started.error = errno;
        return started;
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    started.pid = pid;
    started.master = master;
    return started;
}
