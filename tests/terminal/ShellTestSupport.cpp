// Support for the suites that run real shells. HOME points at a temporary folder from before main, so login
// shells read no personal start-up files and `pwd` has a known answer.
#include "ShellTestSupport.h"

#include "tests/engine/EngineTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace {

struct HomeFolder {
    QTemporaryDir folder;
    HomeFolder() { setenv("HOME", QFile::encodeName(folder.path()).constData(), 1); }
};

HomeFolder& homeFolder()
{
    static HomeFolder home;
    return home;
}
[[maybe_unused]] const bool homeReady = (homeFolder(), true);

} // namespace

namespace ShellTest {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "vitrion_terminal_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)application; // lives as long as the process, like the real application's
}

QString homePath()
{
    return homeFolder().folder.path();
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds)
{
    ensureApplication();
    QDeadlineTimer deadline(milliseconds);
    QTimer wake; // so the loop returns even when nothing happens
    wake.start(10);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        // Blocks until an event arrives. (The overload with a time limit drops WaitForMoreEvents and
        // returns at once when nothing is pending, which would make every wait a busy loop.)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void spinFor(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    waitUntil([&] { return deadline.hasExpired(); }, milliseconds + 1000);
}

std::vector<std::string> screenLines(const TerminalEngine& engine)
{
    std::vector<std::string> lines;
    for (std::size_t index = 0; index < engine.rowCount(); ++index) {
        lines.push_back(enginetest::rowTrimmed(engine, index));
    }
    return lines;
}

int lineIndex(const TerminalEngine& engine, const std::string& line)
{
    const auto lines = screenLines(engine);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (lines[index] == line) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

int lineCount(const TerminalEngine& engine, const std::string& line)
{
    const auto lines = screenLines(engine);
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

std::string screenDump(const TerminalEngine& engine)
{
    std::string dump;
    for (const std::string& line : screenLines(engine)) {
        if (!line.empty()) {
            dump += "| " + line + "\n";
        }
    }
    return dump;
}

bool processExists(long pid)
{
    struct stat status {};
    return stat(("/proc/" + std::to_string(pid)).c_str(), &status) == 0;
}

} // namespace ShellTest
