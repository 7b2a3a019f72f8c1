// The command line as a table: each row is what a launcher or a user types and what the window is
// then told to do, or how the program answers and with which exit status.
#include "app/CommandLine.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name = "";
    QStringList arguments{}; // after the program's name
    QStringList command{};
    QString workingDirectory{};
    QString title{};
    bool hold = false;
    QString windowClass{};
    QString configPath{};
};

const Row runs[] = {
    {.name = "nothing: the shell", .arguments = {}},
    {.name = "-e with words",
     .arguments = {"-e", "sh", "-c", "echo $PWD > f"},
     .command = {"sh", "-c", "echo $PWD > f"}},
    {.name = "-e takes the options after it",
     .arguments = {"-e", "vim", "-T", "x", "--hold"},
     .command = {"vim", "-T", "x", "--hold"}},
    {.name = "-e with one quoted string",
     .arguments = {"-e", "vim notes.txt"},
     .command = {"/bin/sh", "-c", "vim notes.txt"}},
    {.name = "-e with one word", .arguments = {"-e", "htop"}, .command = {"htop"}},
    {.name = "-- with arguments",
     .arguments = {"--", "ls", "-l", "--color"},
     .command = {"ls", "-l", "--color"}},
    {.name = "-- keeps one string as it is",
     .arguments = {"--", "vim notes.txt"},
     .command = {"vim notes.txt"}},
    {.name = "-e after --", .arguments = {"--", "sh", "-e"}, .command = {"sh", "-e"}},
    {.name = "--working-directory",
     .arguments = {"--working-directory", "/tmp", "-e", "ls"},
     .command = {"ls"},
     .workingDirectory = "/tmp"},
    {.name = "--cd, relative", .arguments = {"--cd", "sub/../dir"}, .workingDirectory = "/start/dir"},
    {.name = "--cd=DIR", .arguments = {"--cd=/srv"}, .workingDirectory = "/srv"},
    {.name = "-T", .arguments = {"-T", "Logs", "--", "tail"}, .command = {"tail"}, .title = "Logs"},
    {.name = "--title with -e as its value", .arguments = {"--title", "-e"}, .title = "-e"},
    {.name = "-title, as xterm spells it", .arguments = {"-title", "Logs"}, .title = "Logs"},
    {.name = "--hold", .arguments = {"--hold", "-e", "true"}, .command = {"true"}, .hold = true},
    {.name = "--class", .arguments = {"--class", "Scratch"}, .windowClass = "Scratch"},
    {.name = "--config, relative", .arguments = {"--config", "my.json"}, .configPath = "/start/my.json"},
    {.name = "everything",
     .arguments = {"--cd", "/a", "-T", "t", "--hold", "--class", "c", "--config", "/f", "-e", "x"},
     .command = {"x"},
     .workingDirectory = "/a",
     .title = "t",
     .hold = true,
     .windowClass = "c",
     .configPath = "/f"},
};

struct Exit {
    const char* name;
    QStringList arguments;
    int status;
    const char* outputStart;
    const char* errorStart;
};

const Exit exits[] = {
    {"--help", {"--help"}, 0, "Usage: vitrion [options] [-e COMMAND", ""},
    {"-h", {"-h"}, 0, "Usage: vitrion", ""},
    {"--version", {"--version"}, 0, "vitrion " VITRION_VERSION "\n", ""},
    {"--help before -e", {"--help", "-e", "x"}, 0, "Usage: vitrion", ""},
    {"unknown long option", {"--bogus"}, 2, "", "vitrion: Unknown option 'bogus'.\nTry 'vitrion --help'"},
    {"unknown short option", {"-x"}, 2, "", "vitrion: Unknown option 'x'."},
    {"unknown option before -e", {"--nope", "-e", "ls"}, 2, "", "vitrion: Unknown option 'nope'."},
    {"a value missing", {"--title"}, 2, "", "vitrion: Missing value after '--title'."},
    {"-e without a command", {"-e"}, 2, "", "vitrion: -e needs a command to run."},
    {"-- without a command", {"--"}, 2, "", "vitrion: -- needs a command to run."},
    {"a stray word", {"htop"}, 2, "", "vitrion: Unexpected argument 'htop'."},
};

CommandLine parse(const QStringList& arguments, const QString& directory = QStringLiteral("/start"))
{
    return CommandLine::parse(QStringList{QStringLiteral("vitrion")} + arguments, directory);
}

} // namespace

TEST(CommandLineTest, OptionsAndCommands)
{
    for (const Row& row : runs) {
        const CommandLine line = parse(row.arguments);
        ASSERT_EQ(line.outcome, CommandLine::Outcome::run)
            << row.name << ": " << line.errorMessage.toStdString();
        const LaunchOptions& options = line.options;
        EXPECT_EQ(options.command, row.command) << row.name;
        EXPECT_EQ(options.workingDirectory, row.workingDirectory) << row.name;
        EXPECT_EQ(options.title, row.title) << row.name;
        EXPECT_EQ(options.hold, row.hold) << row.name;
        EXPECT_EQ(options.windowClass, row.windowClass) << row.name;
        EXPECT_EQ(options.configPath, row.configPath) << row.name;
    }
}

TEST(CommandLineTest, HelpVersionAndMistakes)
{
    for (const Exit& row : exits) {
        const CommandLine line = parse(row.arguments);
        EXPECT_EQ(line.outcome, CommandLine::Outcome::exit) << row.name;
        EXPECT_EQ(line.exitCode, row.status) << row.name;
        // The help and version go to standard output, a mistake only to standard error.
        EXPECT_EQ(line.output.left(int(strlen(row.outputStart))).toStdString(), row.outputStart) << row.name;
        EXPECT_EQ(line.errorMessage.left(int(strlen(row.errorStart))).toStdString(), row.errorStart)
            << row.name;
        EXPECT_EQ(line.output.isEmpty(), row.status != 0) << row.name;
        EXPECT_EQ(line.errorMessage.isEmpty(), row.status == 0) << row.name;
    }
}

TEST(CommandLineTest, HelpNamesEveryOption)
{
    const QString help = parse({QStringLiteral("--help")}).output;
    for (const char* option : {"-e", "--working-directory", "--cd", "-T", "--title", "--hold", "--class",
                               "--config", "--help", "--version"}) {
        EXPECT_TRUE(help.contains(QString::fromUtf8(option))) << option;
    }
}

TEST(CommandLineTest, StartsWhereItWasStartedUnlessThatIsTheRootFolder)
{
    EXPECT_EQ(parse({}, "/home/me/src").options.startDirectory, "/home/me/src");
    EXPECT_EQ(parse({}, "/").options.startDirectory, "");
    EXPECT_EQ(parse({"--cd", "/srv"}, "/home/me").options.workingDirectory, "/srv");
}

TEST(CommandLineTest, AFileWhoseNameHasSpacesRunsAsItIs)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile script(folder.filePath(QStringLiteral("my tool")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.close();
    EXPECT_EQ(parse({"-e", "my tool"}, folder.path()).options.command, QStringList{"my tool"});
    EXPECT_EQ(parse({"-e", "my  tool"}, folder.path()).options.command,
              (QStringList{"/bin/sh", "-c", "my  tool"}));
}
