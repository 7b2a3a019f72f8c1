// Terminals running real shells on real pseudo-terminals: output, input (a 4 MiB paste), window
// size, environment, replies, hang-up and reaping, and a shell that exits by itself.
#include "ShellTestSupport.h"
#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"
#include "session/ShellResolver.h"
#include "terminal/Terminal.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace ShellTest;

namespace {

// A started terminal as the suite drives it: what a test types goes to the program as it is.
struct Shell {
    Terminal& terminal;
    void send(std::string_view bytes) { terminal.pty()->send(bytes); }
    void resize(int rows, int columns) { terminal.resize({rows, columns}); }
    void stop() { terminal.stop(); }
    qint64 childPid() const { return terminal.pty()->childPid(); }
    bool isOpen() const { return terminal.pty()->isOpen(); }
};

class TerminalShellTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
    void TearDown() override
    {
        for (auto& terminal : terminals) {
            terminal->stop();
        }
        terminals.clear();
        // Every shell is collected before the next test: nothing is left as a zombie.
        for (long pid : pids) {
            EXPECT_TRUE(waitUntil([pid] { return !processExists(pid); })) << "pid " << pid << " left behind";
        }
    }

    Shell start(const QString& choice = "sh", int rows = 24, int columns = 80)
    {
        terminals.push_back(std::make_unique<Terminal>());
        Terminal& terminal = *terminals.back();
        engine = &terminal.engine();
        terminal.start(choice, {rows, columns});
        Shell session{terminal};
        if (session.childPid() > 0) {
            pids.push_back(session.childPid());
            // Typing before the first prompt would put the prompt in front of the first output.
            EXPECT_TRUE(waitUntil([&] { return !screenDump(*engine).empty(); })) << "no prompt";
            // Without prompt and echo, a command typed while the last one's output is still coming
            // cannot put a prompt or its own echo in front of that output.
            session.send("PS1=''; stty -echo; echo QU\"\"IET\n");
            EXPECT_TRUE(waitForLine("QUIET"));
        }
        return session;
    }

    ::testing::AssertionResult waitForLine(const std::string& line, int milliseconds = 10000)
    {
        if (waitUntil([&] { return lineIndex(*engine, line) >= 0; }, milliseconds)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "no line \"" << line << "\" in\n" << screenDump(*engine);
    }

    std::vector<std::unique_ptr<Terminal>> terminals;
    TerminalEngine* engine = nullptr; // the last started terminal's
    std::vector<long> pids;
};

long openDescriptorCount()
{
    const QDir descriptors("/proc/self/fd");
    return static_cast<long>(
        descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

// Markers are written as RE""ADY in the command so that only the command's output, not the
// terminal's echo of the typed line, matches "READY" (the echo is on until start() turns it off).
TEST_F(TerminalShellTest, OutputOfShAndBashReachesTheGrid)
{
    Shell session = start();
    EXPECT_TRUE(session.isOpen());
    EXPECT_GT(session.childPid(), 0);
    session.send("echo h\"\"i\n");
    EXPECT_TRUE(waitForLine("hi"));
    if (ShellResolver::path("bash") == "/bin/zsh") {
        GTEST_SKIP() << "no bash on this machine";
    }
    Shell bash = start("bash");
    bash.send("echo \"$0 $(shopt -q login_shell && echo lo\"\"gin) $TERM\"\n");
    EXPECT_TRUE(waitForLine("bash login xterm-256color"));
}

TEST_F(TerminalShellTest, WindowSizeFollowsResizeBelowTwentyFourByEightyToo)
{
    Shell session = start("sh", 10, 40);
    session.send("echo S$(stty size)E\n");
    EXPECT_TRUE(waitForLine("S10 40E"));
    session.resize(50, 200);
    session.send("echo S$(stty size)E\n");
    EXPECT_TRUE(waitForLine("S50 200E"));
    session.resize(12, 79);
    session.send("echo S$(stty size)E\n");
    EXPECT_TRUE(waitForLine("S12 79E"));
}

TEST_F(TerminalShellTest, ShellIsSignalledOnlyWhenTheSizeChanges)
{
    Shell session = start("sh", 30, 100);
    session.send("trap 'echo WIN\"\"CH' WINCH; echo RE\"\"ADY; while :; do sleep 0.05; done\n");
    ASSERT_TRUE(waitForLine("READY"));
    session.resize(30, 100); // what the pty already has, as on every scroll step
    session.resize(30, 100);
    spinFor(400);
    EXPECT_EQ(lineIndex(*engine, "WINCH"), -1) << screenDump(*engine);
    session.resize(31, 100);
    EXPECT_TRUE(waitForLine("WINCH"));
}

TEST_F(TerminalShellTest, ShellGetsTheTerminalEnvironmentHomeFolderAndOnlyThreeDescriptors)
{
    qputenv("TERM", "dumb");
    qputenv("VITRION_INHERITED", "kept");
    // A descriptor the application leaves open without close-on-exec must not reach the shell.
    const int stray = dup2(open("/dev/null", O_RDONLY), 57);
    // Dispositions and masks the application changed must not reach the shell either.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGUSR1, &ignore, &previous);
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);

    Shell session = start();

    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGUSR1, &previous, nullptr);
    close(stray);
    qunsetenv("VITRION_INHERITED");

    session.send(
        "env | grep -E '^(TERM|COLORTERM|TERM_PROGRAM|TERM_PROGRAM_VERSION|VITRION_INHERITED)=' | sort\n");
    EXPECT_TRUE(waitForLine("COLORTERM=truecolor"));
    EXPECT_TRUE(waitForLine("TERM=xterm-256color"));
    EXPECT_TRUE(waitForLine("TERM_PROGRAM=Vitrion"));
    EXPECT_TRUE(waitForLine("TERM_PROGRAM_VERSION=" VITRION_VERSION));
    EXPECT_TRUE(waitForLine("VITRION_INHERITED=kept"));
    session.send("echo A0=$0; echo P=$(pwd)\n");
    EXPECT_TRUE(waitForLine("A0=sh"));
    EXPECT_TRUE(waitForLine("P=" + homePath().toStdString()));
    session.send("[ -e /proc/$$/fd/57 ] && echo FD57=o\"\"pen || echo FD57=cl\"\"osed\n");
    EXPECT_TRUE(waitForLine("FD57=closed"));
    session.send("grep -E '^Sig(Ign|Blk)' /proc/self/status | tr '\\t' ' '\n");
    EXPECT_TRUE(waitForLine("SigBlk: 0000000000000000"));
    EXPECT_TRUE(waitUntil([&] {
        for (const std::string& line : screenLines(*engine)) {
            if (line.starts_with("SigIgn: ")) {
                return (std::stoull(line.substr(8), nullptr, 16) & (1ull << (SIGUSR1 - 1))) == 0;
            }
        }
        return false;
    })) << screenDump(*engine);
}

// A program's queries (DA1, cursor position, status) are answered on the pty once each, in the order
// asked, and the answers never reach the screen. A repeated answer would come before the last one.
TEST_F(TerminalShellTest, QueriesAreAnsweredOnceInOrderWithoutReachingTheScreen)
{
    if (ShellResolver::path("bash") == "/bin/zsh") {
        GTEST_SKIP() << "no bash on this machine";
    }
    Shell session = start("bash");
    session.send("printf '\\e[H\\e[2J\\e[5;7H\\e[c\\e[6n\\e[5n'; read -rs -d c a; read -rs -d R b;"
                 " read -rs -d n c; printf '%s|%s|%s' \"$a\" \"$b\" \"$c\" > answers; echo; echo DO\"\"NE\n");
    ASSERT_TRUE(waitForLine("DONE"));
    QFile answers(homePath() + "/answers");
    ASSERT_TRUE(answers.open(QIODevice::ReadOnly));
    EXPECT_EQ(answers.readAll().toStdString(), "\x1b[?62;22|\x1b[5;7|\x1b[0");
    std::string screen;
    for (std::size_t row = static_cast<std::size_t>(engine->screenTop()); row < engine->rowCount(); ++row) {
        for (const Cell& cell : engine->row(row)) {
            screen += cell.character > U' ' ? static_cast<char>(cell.character) : '\0';
        }
    }
    std::erase(screen, '\0');
    EXPECT_EQ(screen, "DONE") << screenDump(*engine);
    answers.remove();
}

TEST_F(TerminalShellTest, LargePasteArrivesWholeAndInOrder)
{
    // Canonical-mode lines of printable text, each shorter than the line discipline's 4095-byte
    // line limit, as a pasted file would be.
    std::mt19937 random(7);
    std::string paste;
    const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 ,.;:!?()[]{}<>";
    while (paste.size() < (4u << 20)) {
        const std::size_t length = random() % 3000;
        for (std::size_t i = 0; i < length; ++i) {
            paste += random() % 50 == 0 ? std::string("é漢")
                                        : std::string(1, alphabet[random() % alphabet.size()]);
        }
        paste += '\n';
    }
    Shell session = start();
    session.send("stty -echo; echo RE\"\"ADY; cat > paste.txt; echo DO\"\"NE\n");
    ASSERT_TRUE(waitForLine("READY"));
    session.send(paste);
    session.send(std::string_view("\x04")); // end of file for cat, queued behind the paste
    ASSERT_TRUE(waitForLine("DONE", 60000));
    QFile file(homePath() + "/paste.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray received = file.readAll();
    EXPECT_EQ(received.size(), static_cast<qsizetype>(paste.size()));
    EXPECT_TRUE(received == QByteArray::fromStdString(paste));
}

TEST_F(TerminalShellTest, StopHangsUpOnceAndTheShellIsCollected)
{
    Shell session = start();
    session.send("echo RE\"\"ADY\n");
    ASSERT_TRUE(waitForLine("READY"));
    const long pid = session.childPid();
    session.stop();
    EXPECT_EQ(session.childPid(), -1);
    session.stop(); // nothing left to signal
    session.resize(40, 120);
    EXPECT_TRUE(waitUntil([&] { return !session.isOpen(); }));
    EXPECT_TRUE(waitUntil([pid] { return !processExists(pid); }));
    session.send("echo late\n"); // closed: ignored
    spinFor(200);
    EXPECT_EQ(screenDump(*engine).find("Shell "), std::string::npos) << "no exit line after a hang-up";
}

TEST_F(TerminalShellTest, ShellIgnoringTheHangUpEndsWhenTheMasterClosesAndIsCollected)
{
    Shell session = start();
    session.send("trap '' HUP; echo RE\"\"ADY\n");
    ASSERT_TRUE(waitForLine("READY"));
    const long pid = session.childPid();
    session.stop();
    EXPECT_TRUE(waitUntil([pid] { return !processExists(pid); }));
}

TEST_F(TerminalShellTest, ReleasedTerminalsStillHaveTheirShellsCollectedAndLeakNoDescriptor)
{
    const long descriptorsBefore = openDescriptorCount();
    for (bool stopFirst : {true, false}) {
        auto terminal = std::make_unique<Terminal>();
        terminal->start("sh", {24, 80});
        const long pid = terminal->pty()->childPid();
        ASSERT_GT(pid, 0);
        if (stopFirst) {
            terminal->stop();
        }
        terminal.reset(); // before any queued close step could run; the master closes here
        EXPECT_TRUE(waitUntil([pid] { return !processExists(pid); })) << "stop first: " << stopFirst;
    }
    // The masters and the exit watches' pidfds are all closed once the shells are collected.
    EXPECT_TRUE(waitUntil([&] { return openDescriptorCount() == descriptorsBefore; }))
        << openDescriptorCount() << " open, " << descriptorsBefore << " before";
}

TEST_F(TerminalShellTest, TerminalReleasedByItsExitObserverIsNotTouchedAgain)
{
    auto terminal = std::make_unique<Terminal>();
    terminal->start("sh", {24, 80});
    ASSERT_GT(terminal->pty()->childPid(), 0);
    pids.push_back(terminal->pty()->childPid());
    bool exited = false;
    QObject::connect(terminal.get(), &Terminal::shellExited, [&](int) {
        exited = true;
        terminal.reset(); // as an owner that closes its window when the shell ends
    });
    terminal->pty()->send("exit 4\n");
    EXPECT_TRUE(waitUntil([&] { return exited; }));
    spinFor(300); // any step still queued for the released terminal would run now
    EXPECT_EQ(terminal, nullptr);
}

TEST_F(TerminalShellTest, ExitedShellLeavesOneLineAfterItsOutputAndNoBusyLoop)
{
    Shell session = start();
    int exits = 0;
    QObject::connect(&session.terminal, &Terminal::shellExited, [&](int) { ++exits; });
    session.send("printf 'LA\"\"ST'; exit 3\n");
    ASSERT_TRUE(waitForLine("Shell exited with status 3."));
    const int last = static_cast<int>(screenDump(*engine).find("LAST"));
    EXPECT_LT(last, static_cast<int>(screenDump(*engine).find("Shell exited")));
    const int row = lineIndex(*engine, "Shell exited with status 3.");
    EXPECT_EQ(engine->row(static_cast<std::size_t>(row))[0].style.foreground, CellColor::defaultColor);
    EXPECT_TRUE(waitUntil([&] { return !session.isOpen(); }));
    EXPECT_EQ(session.childPid(), -1);

    const double before = cpuSeconds();
    spinFor(1000);
    EXPECT_LT(cpuSeconds() - before, 0.25) << "the event loop keeps waking for a dead pty";
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(lineCount(*engine, "Shell exited with status 3."), 1);
}

TEST_F(TerminalShellTest, KilledShellReportsTheSignal)
{
    Shell session = start();
    session.send("kill -9 $$\n");
    EXPECT_TRUE(waitForLine("Shell terminated by signal 9."));
}

TEST_F(TerminalShellTest, BackgroundJobKeepsThePtyOpenAfterTheShellHasExited)
{
    Shell session = start();
    session.send("(sleep 1; echo LA\"\"TE) & exit 5\n");
    ASSERT_TRUE(waitForLine("Shell exited with status 5."));
    EXPECT_TRUE(session.isOpen()) << "the job still holds the terminal";
    EXPECT_TRUE(waitForLine("LATE"));
    EXPECT_TRUE(waitUntil([&] { return !session.isOpen(); }));
    EXPECT_LT(lineIndex(*engine, "Shell exited with status 5."), lineIndex(*engine, "LATE"));
}
