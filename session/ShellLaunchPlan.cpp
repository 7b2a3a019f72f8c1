// Builds the shell's path, argument vector, environment and working folder in the parent process.
#include "ShellLaunchPlan.h"

#include "ShellIntegration.h"
#include "ShellResolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <utility>

extern char** environ;

std::vector<std::string> shellEnvironment(const char* const* inherited)
{
    // What the shell and the programs it runs read to pick their terminal handling.
    static const std::array<std::pair<std::string_view, std::string_view>, 4> terminalVariables{{
        {"TERM", "xterm-256color"},
        {"COLORTERM", "truecolor"},
        {"TERM_PROGRAM", "Vitrion"},
        {"TERM_PROGRAM_VERSION", VITRION_VERSION},
    }};
    std::vector<std::string> environment;
    for (const char* const* entry = inherited; entry && *entry; ++entry) {
        environment.emplace_back(*entry);
    }
    for (const auto& [name, value] : terminalVariables) {
        std::string assignment = std::string(name) + '=' + std::string(value);
        bool replaced = false;
        for (std::string& entry : environment) {
            if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
                entry[name.size()] == '=') {
                entry = replaced ? std::string() : assignment; // a duplicate entry must not win later
                replaced = true;
            }
        }
        if (!replaced) {
            environment.push_back(std::move(assignment));
        }
    }
    std::erase(environment, std::string());
    return environment;
}

std::string lastPathComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1) {
        return std::string(path);
    }
    return std::string(path.substr(slash + 1));
}

ShellLaunchPlan ShellLaunchPlan::forChoice(const QString& shellChoice)
{
    ShellLaunchPlan plan;
    plan.path = QFile::encodeName(ShellResolver::path(shellChoice)).toStdString();
    plan.arguments = {lastPathComponent(plan.path), "-l"};
    plan.environment = shellEnvironment(environ);
    plan.workingDirectory = QFile::encodeName(QDir::homePath()).toStdString();
    plan.displayName = plan.path;
    return plan;
}

ShellLaunchPlan ShellLaunchPlan::forRequest(const LaunchRequest& request)
{
    ShellLaunchPlan plan = forChoice(request.shellChoice);
    if (!request.workingDirectory.isEmpty()) {
        plan.workingDirectory = QFile::encodeName(request.workingDirectory).toStdString();
        plan.workingDirectoryRequired = request.workingDirectoryRequired;
    }
    if (request.command.isEmpty()) {
        if (request.shellIntegration) {
            ShellIntegration::apply(plan);
        }
        return plan;
    }
    // Searched here, as execvp would search, because the child may not search PATH itself (that
    // allocates). A name with a slash is a path; a relative one is taken from the application's
    // folder, where the user typed it, not from the working folder the command starts in.
    const QString program = request.command.constFirst();
    QString path;
    if (program.contains(QLatin1Char('/'))) {
        path = QFileInfo(program).absoluteFilePath();
    } else if (!program.isEmpty()) {
        path = QStandardPaths::findExecutable(program);
    }
    plan.runsShell = false;
    plan.notFound = path.isEmpty();
    plan.path = QFile::encodeName(path).toStdString();
    plan.displayName = program.toStdString();
    plan.arguments.clear();
    for (const QString& argument : request.command) {
        plan.arguments.push_back(QFile::encodeName(argument).toStdString());
    }
    return plan;
}
