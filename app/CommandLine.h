// The command line: what the window runs and where, its title and class, the settings file, and
// the help and version texts. Follows the convention launchers and scripts expect of a terminal:
// `-e COMMAND [ARGS...]` (the rest of the line) and `-- COMMAND [ARGS...]`.
#pragma once

#include <QString>
#include <QStringList>

struct LaunchOptions {
    QStringList command;      // the program and its arguments; empty runs the shell
    QString workingDirectory; // absolute, asked for by name; empty: none asked for
    // Where the application was started (a file manager's "open terminal here" starts it there);
    // empty for the root folder, where a desktop's launcher starts it: the home folder then.
    QString startDirectory;
    QString title;       // the window's title until a program sets one; empty: "Vitrion"
    bool hold = false;   // keep the window when the program exits
    QString windowClass; // the class part of WM_CLASS; empty: "Vitrion"
    QString configPath;  // absolute; empty: ~/.config/Vitrion/config.json
};

struct CommandLine {
    enum class Outcome { run, exit };
    Outcome outcome = Outcome::run;
    LaunchOptions options;
    int exitCode = 0;     // for Outcome::exit: 0 after --help and --version, 2 for a mistake
    QString output;       // the help or version text for standard output
    QString errorMessage; // a mistake, for standard error

    // The arguments as main receives them (the program's name first). Relative folders and files
    // are taken from currentDirectory.
    static CommandLine parse(const QStringList& arguments, const QString& currentDirectory);
};
