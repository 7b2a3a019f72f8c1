// bash, zsh and fish started with the integration: the user's own start-up file still runs, the
// prompts carry marks, `cd` is reported, a failing command's prompt is marked; and the plans that
// start them, including what is left alone.
#include "session/ShellIntegration.h"

#include "ShellTestSupport.h"
#include "engine/LineMarks.h"
#include "session/ShellLaunchPlan.h"
#include "terminal/Terminal.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <memory>

namespace {

void writeHomeFile(const QString& name, const QByteArray& text)
{
    const QString path = ShellTest::homePath() + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

TEST(ShellIntegrationTest, PlansLoadTheScriptsOnlyForTheShellsThatHaveThem)
{
    struct Case {
        const char* choice;
        bool integrate;
        std::vector<std::string> arguments; // "*" stands for the script folder
    };
    const std::string folder = ShellIntegration::scriptFolder();
    ASSERT_FALSE(folder.empty());
    const std::vector<Case> cases = {
        {"bash", true, {"bash", "--init-file", folder + "/vitrion.bash", "-i"}},
        {"bash", false, {"bash", "-l"}},
        {"zsh", true, {"zsh", "-l"}},
        {"fish", true, {"fish", "-l", "--init-command", "source '" + folder + "/vitrion.fish'"}},
        {"sh", true, {"sh", "-l"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        LaunchRequest request;
        request.shellChoice = QString::fromLatin1(c.choice);
        request.shellIntegration = c.integrate;
        const ShellLaunchPlan plan = ShellLaunchPlan::forRequest(request);
        if (plan.path.empty() || lastPathComponent(plan.path) != c.choice) {
            continue; // not installed here
        }
        EXPECT_EQ(plan.arguments, c.arguments);
        const bool zdotdir = std::ranges::count(plan.environment, "ZDOTDIR=" + folder + "/zsh") == 1;
        EXPECT_EQ(zdotdir, c.integrate && std::string(c.choice) == "zsh");
    }
    // A command is never changed.
    LaunchRequest command;
    command.command = {QStringLiteral("bash")};
    command.shellIntegration = true;
    EXPECT_EQ(ShellLaunchPlan::forRequest(command).arguments, std::vector<std::string>{"bash"});
}

TEST(ShellIntegrationTest, EachShellReadsItsOwnFilesAndMarksItsPrompts)
{
    ShellTest::ensureApplication();
    // A PROMPT_COMMAND of the user's own that ends in ';', as pyenv's does.
    writeHomeFile(".bash_profile", "PS1='$ '\nRCMARK=bash-profile-ran\nPROMPT_COMMAND='true;'\n");
    writeHomeFile(".zshrc", "PS1='$ '\nRCMARK=zshrc-ran\n");
    writeHomeFile(".config/fish/config.fish", "set -g RCMARK fish-config-ran\nfunction fish_prompt; printf "
                                              "'$ '; end\nfunction fish_greeting; end\n");
    const std::string tmp = QFile::encodeName(QDir(QDir::tempPath()).canonicalPath()).toStdString();
    for (const QString& shell : {QStringLiteral("bash"), QStringLiteral("zsh"), QStringLiteral("fish")}) {
        SCOPED_TRACE(shell.toStdString());
        if (QStandardPaths::findExecutable(shell).isEmpty()) {
            continue;
        }
        Terminal terminal;
        LaunchRequest request;
        request.shellChoice = shell;
        request.shellIntegration = true;
        terminal.start(request, {24, 80});
        const TerminalEngine& engine = terminal.engine();
        const auto prompts = [&] {
            int count = 0;
            for (std::int64_t r =
                     engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt);
                 r >= 0; r = engine.markedRowBefore(r, LineMarks::prompt)) {
                ++count;
            }
            return count;
        };
        ASSERT_TRUE(ShellTest::waitUntil([&] { return prompts() >= 1; })) << ShellTest::screenDump(engine);
        terminal.sendText("echo \"$RCMARK\"\r");
        EXPECT_TRUE(ShellTest::waitUntil([&] {
            return ShellTest::lineIndex(engine, shell.toStdString() == "bash"  ? "bash-profile-ran"
                                                : shell.toStdString() == "zsh" ? "zshrc-ran"
                                                                               : "fish-config-ran") >= 0;
        })) << ShellTest::screenDump(engine);
        terminal.sendText("cd " + tmp + "\r");
        EXPECT_TRUE(ShellTest::waitUntil([&] { return engine.workingDirectory().ends_with(tmp); }))
            << engine.workingDirectory();
        terminal.sendText("false\r");
        EXPECT_TRUE(ShellTest::waitUntil([&] {
            const std::int64_t last =
                engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt);
            const std::int64_t failed = last < 0 ? -1 : engine.markedRowBefore(last, LineMarks::prompt);
            return failed >= 0 && (engine.rowMarks(static_cast<std::size_t>(failed)) & LineMarks::failed);
        })) << ShellTest::screenDump(engine);
        EXPECT_GE(prompts(), 4);
        terminal.stop();
    }
}

} // namespace
