// Everything the shell's process needs, worked out in the parent before the fork: the child then
// only has to pass these ready-made strings to execve.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// What a session runs and where: the shell a settings choice names, or a command given on the
// command line; in the home folder or in a folder asked for.
struct LaunchRequest {
    QString shellChoice = QStringLiteral("Default");
    QStringList command;      // the program and its arguments; empty runs the shell
    QString workingDirectory; // empty: the home folder
    // A folder asked for by name must be entered: running a command elsewhere could do harm. The
    // folder the application was started in is only a preference, as the home folder is.
    bool workingDirectoryRequired = true;
    // The shell (not a command) started with Vitrion's prompt marks (ShellIntegration).
    bool shellIntegration = false;
};

struct ShellLaunchPlan {
    std::string path;                     // the executable
    std::vector<std::string> arguments;   // [its file name, "-l"], or the command as given
    std::vector<std::string> environment; // "NAME=value", the application's own with three set
    std::string workingDirectory;         // the home folder, or the folder asked for
    // Whether failing to enter the folder fails the start; otherwise the program starts where the
    // application runs.
    bool workingDirectoryRequired = false;
    bool runsShell = true;   // the login shell of a choice, not a command
    bool notFound = false;   // a command name found in no folder of PATH: nothing is started
    std::string displayName; // how a failure names what was to run

    static ShellLaunchPlan forChoice(const QString& shellChoice);
    static ShellLaunchPlan forRequest(const LaunchRequest& request);
};

// The inherited environment with TERM, COLORTERM, TERM_PROGRAM and TERM_PROGRAM_VERSION set (each
// replaces an inherited value in place; the rest is kept unchanged and in order).
std::vector<std::string> shellEnvironment(const char* const* inherited);

// The text after the last slash, trailing slashes ignored ("/bin/zsh" gives "zsh").
std::string lastPathComponent(std::string_view path);
