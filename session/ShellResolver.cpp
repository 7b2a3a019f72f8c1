// Shell resolution. Plain text concatenation of folder and lower-cased name: a choice with slashes
// or an absolute path is not special and is generally not found.
#include "ShellResolver.h"

#include <QFile>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString lastResortShell = QStringLiteral("/bin/zsh");

bool isExecutableFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    // A folder passes the execute-permission test too, but cannot be run as a shell.
    return ::stat(native.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

} // namespace

namespace ShellResolver {

const QStringList& shellChoices()
{
    static const QStringList choices{QStringLiteral("Default"), QStringLiteral("zsh"),
                                     QStringLiteral("bash"),    QStringLiteral("sh"),
                                     QStringLiteral("ash"),     QStringLiteral("fish")};
    return choices;
}

QString loginShell()
{
    const QString fromEnvironment = qEnvironmentVariable("SHELL");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry && entry->pw_shell && entry->pw_shell[0] != '\0') {
        return QFile::decodeName(entry->pw_shell);
    }
    return lastResortShell;
}

QString path(const QString& shellChoice)
{
    if (shellChoice == QLatin1String("Default")) {
        return loginShell();
    }
    const QString name = shellChoice.toLower();
    for (const char* folder : {"/bin/", "/usr/bin/", "/opt/homebrew/bin/", "/usr/local/bin/"}) {
        const QString candidate = QLatin1String(folder) + name;
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return lastResortShell;
}

} // namespace ShellResolver
