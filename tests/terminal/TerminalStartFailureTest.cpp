// Starts that fail: no descriptors left for a pseudo-terminal (in a child process under a tiny
// RLIMIT_NOFILE), a shell choice that resolves to nothing executable, commands that cannot run and
// folders that cannot be entered; and a command that does run.
#include "ShellTestSupport.h"
#include "engine/Palette.h"
#include "session/PtyDevice.h"
#include "session/ShellResolver.h"
#include "terminal/Terminal.h"
#include "tests/settings/ChildTestRun.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ShellTest;

namespace {

bool executableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

// Runs only as the child of ForkptyFailureShowsTheReasonInRed.
TEST(TerminalStartChild, StartWithoutFreeDescriptors)
{
    if (!qEnvironmentVariableIsSet("VITRION_TEST_NOFILE")) {
        GTEST_SKIP() << "runs only as a child process";
    }
    ensureApplication();
    Terminal terminal;

    // UBSan checks the dynamic type behind each polymorphic object it meets (the session, the
    // terminal); with no descriptor left its memory probe (a pipe) fails and it reports a false type
    // error. Meeting them once beforehand fills its cache.
    {
        Terminal started;
        started.start("sh", {24, 80});
        ASSERT_GT(started.pty()->childPid(), 0);
        started.stop();
    }

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlimit tiny{32, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tiny), 0);
    std::vector<int> filler;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
        filler.push_back(fd);
    }
    terminal.start("sh", {24, 80});
    for (int fd : filler) {
        close(fd);
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    const TerminalEngine& engine = terminal.engine();
    EXPECT_EQ(lineIndex(engine, "Could not start shell (Too many open files)."), 0) << screenDump(engine);
    EXPECT_EQ(engine.resolveForeground(engine.row(0)[0].style.foreground), NamedColors::systemRedColor);
    EXPECT_EQ(engine.cursorRow(), 1); // the message ends with a line feed
    ASSERT_NE(terminal.pty(), nullptr);
    EXPECT_EQ(terminal.pty()->childPid(), -1);
    EXPECT_FALSE(terminal.pty()->isOpen());
    terminal.paste("echo hi\n"); // inert: all of these do nothing
    terminal.resize({30, 100});
    terminal.stop();
    spinFor(100);
    EXPECT_EQ(screenDump(engine), "| Could not start shell (Too many open files).\n");
}

TEST(TerminalStartFailureTest, ForkptyFailureShowsTheReasonInRed)
{
    const ChildTestResult child =
        runChildTest("TerminalStartChild.StartWithoutFreeDescriptors", {"VITRION_TEST_NOFILE=1"});
    EXPECT_TRUE(child.passed()) << child.output;
    EXPECT_NE(child.output.find("[       OK ] TerminalStartChild.StartWithoutFreeDescriptors"),
              std::string::npos)
        << child.output;
}

TEST(TerminalStartFailureTest, AMissingShellIsNamedWithTheReason)
{
    for (const char* folder : {"/bin/", "/usr/bin/", "/opt/homebrew/bin/", "/usr/local/bin/"}) {
        if (executableFile(QString(folder) + "fish")) {
            GTEST_SKIP() << "fish is installed as " << folder << "fish";
        }
    }
    EXPECT_EQ(ShellResolver::path("fish"), "/bin/zsh");
    if (executableFile("/bin/zsh")) {
        GTEST_SKIP() << "/bin/zsh is installed, so the fallback starts a real shell";
    }
    ensureApplication();
    Terminal terminal;
    terminal.start("fish", {24, 80});
    EXPECT_TRUE(terminal.startFailed());
    EXPECT_EQ(screenDump(terminal.engine()),
              "| Could not start shell /bin/zsh (No such file or directory).\n");
    EXPECT_EQ(terminal.pty()->childPid(), -1); // reaped at once: no exit line follows
    spinFor(150);
    EXPECT_EQ(lineIndex(terminal.engine(), "Shell exited with status 127."), -1);
}

// What cannot run says why, in red, and nothing is left running.
TEST(TerminalStartFailureTest, CommandsThatCannotRunSayWhy)
{
    ensureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString notExecutable = folder.filePath("notes.txt");
    QFile file(notExecutable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString missingFolder = folder.filePath("gone");
    struct Case {
        LaunchRequest request;
        std::string message;
    };
    const Case cases[] = {
        {{"sh", {"no-such-command-here"}, {}}, "Could not run no-such-command-here (command not found)."},
        {{"sh", {notExecutable}, {}},
         "Could not run " + notExecutable.toStdString() + " (Permission denied)."},
        {{"sh", {"/nonexistent/tool"}, {}}, "Could not run /nonexistent/tool (No such file or directory)."},
        {{"sh", {"true"}, missingFolder},
         "Could not enter " + missingFolder.toStdString() + " (No such file or directory)."},
        {{"sh", {}, missingFolder},
         "Could not enter " + missingFolder.toStdString() + " (No such file or directory)."},
    };
    for (const Case& row : cases) {
        Terminal terminal;
        terminal.start(row.request, {24, 200}); // wide enough for a long temporary path
        EXPECT_TRUE(terminal.startFailed()) << row.message;
        EXPECT_EQ(screenDump(terminal.engine()), "| " + row.message + "\n");
        EXPECT_EQ(terminal.engine().resolveForeground(terminal.engine().row(0)[0].style.foreground),
                  NamedColors::systemRedColor);
        EXPECT_EQ(terminal.pty()->childPid(), -1) << row.message;
        EXPECT_FALSE(terminal.foregroundProgramRunning());
    }
}

TEST(TerminalStartFailureTest, ACommandRunsWithItsArgumentsInItsFolderAndIsAProgram)
{
    ensureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    Terminal terminal;
    int finishedStatus = -1;
    QObject::connect(&terminal, &Terminal::finished, [&](int status) { finishedStatus = status; });
    terminal.start(LaunchRequest{"sh", {"sh", "-c", "pwd; read line; exit 3"}, folder.path()}, {24, 80});
    EXPECT_FALSE(terminal.startFailed());
    const TerminalEngine& engine = terminal.engine();
    ASSERT_TRUE(waitUntil([&] { return lineIndex(engine, folder.path().toStdString()) == 0; }))
        << screenDump(engine);
    EXPECT_TRUE(terminal.foregroundProgramRunning()); // a command is never the idle shell
    terminal.sendText("\n");
    EXPECT_TRUE(waitUntil([&] { return finishedStatus >= 0; }));
    EXPECT_EQ(WEXITSTATUS(finishedStatus), 3);
    EXPECT_FALSE(terminal.foregroundProgramRunning());
}
