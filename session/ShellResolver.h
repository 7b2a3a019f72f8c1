// Which executable a shell choice names: the user's login shell for "Default", otherwise the first
// executable file of that name in the search folders, with "/bin/zsh" as the last resort.
#pragma once

#include <QString>
#include <QStringList>

namespace ShellResolver {

// The choices offered in the settings panel, in order.
const QStringList& shellChoices();

// $SHELL when set and not empty (not tested for existence), else the password database's shell for
// the real user, else "/bin/zsh". Looks again on every call.
QString loginShell();

// Never fails: the returned path may still not be executable (the shell then exits with status 127).
QString path(const QString& shellChoice);

} // namespace ShellResolver
