// Writing the integration scripts out of the program's resources into a folder only the user can
// write, and the arguments and environment that make each shell read them.
#include "ShellIntegration.h"

#include "ShellLaunchPlan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <unistd.h>

namespace {

// Writes the script unless it is there as it is; false when it cannot be written.
bool place(const QString& resource, const QString& path)
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray text = source.readAll();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == text) {
        return true;
    }
    existing.close();
    QFile target(path);
    return target.open(QIODevice::WriteOnly | QIODevice::Truncate) && target.write(text) == text.size();
}

void setVariable(std::vector<std::string>& environment, const std::string& name, const std::string& value)
{
    std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(name + '='); });
    environment.push_back(name + '=' + value);
}

std::string variable(const std::vector<std::string>& environment, const std::string& name)
{
    for (const std::string& entry : environment) {
        if (entry.starts_with(name + '=')) {
            return entry.substr(name.size() + 1);
        }
    }
    return {};
}

} // namespace

std::string ShellIntegration::scriptFolder()
{
    // Only this user may write the scripts a shell of theirs runs.
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath() + QStringLiteral("/vitrion-%1").arg(getuid());
    }
    const QString folder = base + QStringLiteral("/vitrion-shell-integration");
    if (!QDir().mkpath(folder + QStringLiteral("/zsh")) ||
        !QFile::setPermissions(folder,
                               QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
        QFileInfo(folder).ownerId() != getuid()) {
        return {};
    }
    const bool written =
        place(QStringLiteral(":/shell-integration/vitrion.bash"), folder + QStringLiteral("/vitrion.bash")) &&
        place(QStringLiteral(":/shell-integration/vitrion.fish"), folder + QStringLiteral("/vitrion.fish")) &&
        place(QStringLiteral(":/shell-integration/zsh/.zshenv"), folder + QStringLiteral("/zsh/.zshenv"));
    return written ? QFile::encodeName(folder).toStdString() : std::string();
}

void ShellIntegration::apply(ShellLaunchPlan& plan)
{
    if (!plan.runsShell) {
        return;
    }
    const std::string shell = lastPathComponent(plan.path);
    if (shell != "bash" && shell != "zsh" && shell != "fish") {
        return;
    }
    const std::string folder = scriptFolder();
    if (folder.empty()) {
        return;
    }
    const bool login = std::find(plan.arguments.begin(), plan.arguments.end(), "-l") != plan.arguments.end();
    if (shell == "bash") {
        // --init-file takes the place of the start-up files (an interactive shell cannot be a login
        // shell with it): the script reads a login shell's files itself.
        plan.arguments = {plan.arguments.front(), "--init-file", folder + "/vitrion.bash", "-i"};
        if (login) {
            setVariable(plan.environment, "VITRION_BASH_LOGIN", "1");
        }
    } else if (shell == "zsh") {
        const std::string own = variable(plan.environment, "ZDOTDIR");
        if (!own.empty()) {
            setVariable(plan.environment, "VITRION_ZDOTDIR", own);
        }
        setVariable(plan.environment, "ZDOTDIR", folder + "/zsh");
    } else {
        plan.arguments.push_back("--init-command");
        plan.arguments.push_back("source '" + folder + "/vitrion.fish'");
    }
}
