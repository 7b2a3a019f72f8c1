// Everything the shell's process needs, worked out in the parent before the fork: the child then
// only has to pass these ready-made strings to execve.
#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

struct ShellLaunchPlan {
    std::string path;                     // the executable
    std::vector<std::string> arguments;   // [its file name, "-l"]
    std::vector<std::string> environment; // "NAME=value", the application's own with three set
    std::string workingDirectory;         // the home folder

    static ShellLaunchPlan forChoice(const QString& shellChoice);
};

// The inherited environment with TERM, COLORTERM, TERM_PROGRAM and TERM_PROGRAM_VERSION set (each
// replaces an inherited value in place; the rest is kept unchanged and in order).
std::vector<std::string> shellEnvironment(const char* const* inherited);

// The text after the last slash, trailing slashes ignored ("/bin/zsh" gives "zsh").
std::string lastPathComponent(std::string_view path);
