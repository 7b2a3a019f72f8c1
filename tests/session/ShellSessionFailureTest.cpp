// Starts that fail: no descriptors left for a pseudo-terminal (in a child process under a tiny
// RLIMIT_NOFILE), and a shell choice that resolves to nothing executable.
#include "SessionTestSupport.h"
#include "engine/Palette.h"
#include "session/ShellSession.h"
#include "tests/settings/ChildTestRun.h"

#include <QFileInfo>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace SessionTest;

namespace {

bool executableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

// Runs only as the child of ForkptyFailureShowsTheReasonInRed.
TEST(ShellSessionChild, StartWithoutFreeDescriptors)
{
    if (!qEnvironmentVariableIsSet("VITRION_TEST_NOFILE")) {
        GTEST_SKIP() << "runs only as a child process";
    }
    ensureApplication();
    auto engine = std::make_shared<TerminalEngine>();
    engine->resizeGrid(24, 80);

    // UBSan checks the dynamic type behind each polymorphic object it meets (the session, the
    // engine's shared_ptr control block); with no descriptor left its memory probe (a pipe) fails
    // and it reports a false type error. Meeting both once beforehand fills its cache.
    {
        const std::weak_ptr<TerminalEngine> warmUp = engine;
        (void)warmUp.lock();
        ShellSession started(std::weak_ptr<TerminalEngine>(), "sh", 24, 80);
        ASSERT_GT(started.childPid(), 0);
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
    ShellSession session(engine, "sh", 24, 80);
    for (int fd : filler) {
        close(fd);
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_EQ(lineIndex(*engine, "Could not start shell (Too many open files)."), 0) << screenDump(*engine);
    EXPECT_EQ(engine->resolveForeground(engine->row(0)[0].style.foreground), NamedColors::systemRedColor);
    EXPECT_EQ(engine->cursorRow(), 1); // the message ends with a line feed
    EXPECT_EQ(session.childPid(), -1);
    EXPECT_FALSE(session.isOpen());
    session.send("echo hi\n"); // inert: all of these do nothing
    session.resize(30, 100);
    session.stop();
    spinFor(100);
    EXPECT_EQ(screenDump(*engine), "| Could not start shell (Too many open files).\n");
}

TEST(ShellSessionFailureTest, ForkptyFailureShowsTheReasonInRed)
{
    const ChildTestResult child =
        runChildTest("ShellSessionChild.StartWithoutFreeDescriptors", {"VITRION_TEST_NOFILE=1"});
    EXPECT_TRUE(child.passed()) << child.output;
    EXPECT_NE(child.output.find("[       OK ] ShellSessionChild.StartWithoutFreeDescriptors"),
              std::string::npos)
        << child.output;
}

TEST(ShellSessionFailureTest, MissingShellFallsBackToZshAndExitsWith127)
{
    for (const char* folder : {"/bin/", "/usr/bin/", "/opt/homebrew/bin/", "/usr/local/bin/"}) {
        if (executableFile(QString(folder) + "fish")) {
            GTEST_SKIP() << "fish is installed as " << folder << "fish";
        }
    }
    EXPECT_EQ(ShellSession::path("fish"), "/bin/zsh");
    if (executableFile("/bin/zsh")) {
        GTEST_SKIP() << "/bin/zsh is installed, so the fallback starts a real shell";
    }
    ensureApplication();
    auto engine = std::make_shared<TerminalEngine>();
    engine->resizeGrid(24, 80);
    ShellSession session(engine, "fish", 24, 80);
    const long pid = session.childPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntil([&] { return lineIndex(*engine, "Shell exited with status 127.") == 0; }))
        << screenDump(*engine);
    EXPECT_TRUE(waitUntil([&] { return !session.isOpen() && !processExists(pid); }));
}
