// Shell resolution against this machine's real file system.
#include "session/ShellResolver.h"

#include <QFileInfo>

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace {

bool executableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// Sets SHELL for one test and puts the old value back.
class ShellVariable {
public:
    explicit ShellVariable(const char* value)
        : saved(qgetenv("SHELL")), wasSet(qEnvironmentVariableIsSet("SHELL"))
    {
        if (value) {
            qputenv("SHELL", value);
        } else {
            qunsetenv("SHELL");
        }
    }
    ~ShellVariable()
    {
        if (wasSet) {
            qputenv("SHELL", saved);
        } else {
            qunsetenv("SHELL");
        }
    }

private:
    QByteArray saved;
    bool wasSet;
};

} // namespace

TEST(ShellResolverTest, DefaultIsTheShellVariableUnchecked)
{
    ShellVariable shell("/no/such/shell");
    EXPECT_EQ(ShellResolver::loginShell(), "/no/such/shell");
    EXPECT_EQ(ShellResolver::path("Default"), "/no/such/shell");
}

TEST(ShellResolverTest, WithoutShellVariableTheAccountsShellOrZsh)
{
    const passwd* entry = getpwuid(getuid());
    const QString expected =
        entry && entry->pw_shell && *entry->pw_shell ? QString::fromLocal8Bit(entry->pw_shell) : "/bin/zsh";
    {
        ShellVariable shell(nullptr);
        EXPECT_EQ(ShellResolver::loginShell(), expected);
    }
    ShellVariable empty("");
    EXPECT_EQ(ShellResolver::loginShell(), expected);
}

TEST(ShellResolverTest, NamesAreLowerCasedAndSearchedInOrder)
{
    ASSERT_TRUE(executableFile("/bin/sh"));
    EXPECT_EQ(ShellResolver::path("sh"), "/bin/sh");
    EXPECT_EQ(ShellResolver::path("SH"), "/bin/sh");
    if (executableFile("/bin/bash")) {
        EXPECT_EQ(ShellResolver::path("Bash"), "/bin/bash");
        EXPECT_EQ(ShellResolver::path("BASH"), "/bin/bash");
    }
}

TEST(ShellResolverTest, UnfoundChoicesGiveZshNotTheLoginShell)
{
    ShellVariable shell("/bin/sh");
    for (const char* choice : {"default", "no-such-shell", "/usr/bin/sh", "", "../bin/sh "}) {
        EXPECT_EQ(ShellResolver::path(choice), "/bin/zsh") << choice;
    }
    if (!executableFile("/bin/ash") && !executableFile("/usr/bin/ash") &&
        !executableFile("/usr/local/bin/ash") && !executableFile("/opt/homebrew/bin/ash")) {
        EXPECT_EQ(ShellResolver::path("ash"), "/bin/zsh");
    }
}
