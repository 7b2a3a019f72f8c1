// Runs one test of the current test program in a fresh process (posix_spawn of /proc/self/exe),
// so a test can change process-wide limits without touching the rest of the suite.
#pragma once

#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

struct ChildTestResult {
    int waitStatus = -1;
    std::string output; // standard output and standard error together
    bool passed() const { return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0; }
};

// Runs the test named by filter with the extra environment entries ("NAME=value").
inline ChildTestResult runChildTest(const std::string& filter,
                                    const std::vector<std::string>& extraEnvironment)
{
    // A pipe, not a file: a child that lowers its own file-size limit must still be able to report.
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::string filterArgument = "--gtest_filter=" + filter;
    char* argv[] = {program.data(), filterArgument.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = -1;
    ChildTestResult result;
    const bool started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            result.output.append(buffer, static_cast<std::size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    if (started) {
        while (waitpid(pid, &result.waitStatus, 0) < 0 && errno == EINTR) {
        }
    }
    return result;
}
