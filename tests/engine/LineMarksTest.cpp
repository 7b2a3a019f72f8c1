// The shell's prompt marks (OSC 133) kept per line: found again by the prompt jumps through the
// screen and the history, across reflows and while the history drops its oldest lines; the failed
// command's prompt marked; the command line and status reported; hostile payloads harmless.
#include "engine/LineMarks.h"

#include "EngineTestSupport.h"
#include "engine/HistoryLimit.h"

#include <string>
#include <vector>

namespace {

using enginetest::rowTrimmed;

// One prompt, its command and output, and the end with the status.
std::string command(const std::string& name, int status)
{
    return "\x1b]133;A\x07$ \x1b]133;B\x07" + name + "\r\n\x1b]133;C\x07" + name + " said\r\n\x1b]133;D;" +
           std::to_string(status) + "\x07";
}

// The prompt rows from the bottom up, as the jumps find them, each as text and whether it failed.
std::vector<std::string> promptsFromTheBottom(const TerminalEngine& engine)
{
    std::vector<std::string> prompts;
    for (std::int64_t row =
             engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt);
         row >= 0; row = engine.markedRowBefore(row, LineMarks::prompt)) {
        const bool failed = engine.rowMarks(static_cast<std::size_t>(row)) & LineMarks::failed;
        prompts.push_back(rowTrimmed(engine, static_cast<std::size_t>(row)) + (failed ? " !" : ""));
    }
    return prompts;
}

TEST(LineMarksTest, PromptsAreFoundThroughTheHistoryAndAcrossReflows)
{
    TerminalEngine engine;
    engine.resizeGrid(4, 30);
    engine.setHistoryLimit(HistoryLimit{1000});
    for (int i = 0; i < 6; ++i) {
        engine.consume(command("cmd" + std::to_string(i), i % 3 == 1 ? 2 : 0));
    }
    engine.consume("\x1b]133;A\x07$ ");
    const std::vector<std::string> expected = {"$",      "$ cmd5",   "$ cmd4 !", "$ cmd3",
                                               "$ cmd2", "$ cmd1 !", "$ cmd0"};
    EXPECT_EQ(promptsFromTheBottom(engine), expected);

    // Forward jumps find the same rows in the other order.
    std::vector<std::int64_t> down;
    for (std::int64_t row = engine.markedRowAfter(-1, LineMarks::prompt); row >= 0;
         row = engine.markedRowAfter(row, LineMarks::prompt)) {
        down.push_back(row);
    }
    EXPECT_EQ(down.size(), expected.size());

    // Narrower (each prompt line wraps), then wider again: every line keeps its marks. The prompt
    // being edited is the shell's to redraw: its text goes, its place stays marked.
    for (const int columns : {4, 30, 7}) {
        engine.resizeGrid(4, columns);
        SCOPED_TRACE(columns);
        const std::vector<std::string> prompts = promptsFromTheBottom(engine);
        ASSERT_EQ(prompts.size(), expected.size());
        EXPECT_EQ(prompts[0], "");
        for (std::size_t i = 1; i < prompts.size(); ++i) {
            const std::string& want = expected[i];
            EXPECT_EQ(prompts[i].substr(0, std::min<std::size_t>(prompts[i].size(), columns)),
                      want.substr(0, std::min<std::size_t>(want.size(), columns)));
            EXPECT_EQ(prompts[i].ends_with(" !"), want.ends_with(" !"));
        }
    }
}

// Each prompt's folder, from the bottom up.
std::vector<std::string> foldersFromTheBottom(const TerminalEngine& engine)
{
    std::vector<std::string> folders;
    for (std::int64_t row =
             engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt);
         row >= 0; row = engine.markedRowBefore(row, LineMarks::prompt)) {
        folders.push_back(engine.folderAt(static_cast<std::size_t>(row)));
    }
    return folders;
}

TEST(LineMarksTest, EachPromptKeepsTheFolderItBeganIn)
{
    TerminalEngine engine;
    engine.resizeGrid(4, 30);
    engine.setHistoryLimit(HistoryLimit{10000});
    engine.consume(command("before any folder", 0));
    for (int i = 0; i < 4; ++i) {
        // bash reports the folder before the prompt, fish after its start: both belong to it.
        const std::string folder = "\x1b]7;file://host/d" + std::to_string(i) + "\x07";
        engine.consume(i % 2 ? command("cd x", 0).insert(8, folder) : folder + command("cd x", 0));
    }
    const std::vector<std::string> expected = {"file://host/d3", "file://host/d2", "file://host/d1",
                                               "file://host/d0", ""};
    EXPECT_EQ(foldersFromTheBottom(engine), expected);
    // A row of a command's output names the folder of the prompt above it.
    const auto last = static_cast<std::size_t>(
        engine.markedRowBefore(static_cast<std::int64_t>(engine.rowCount()), LineMarks::prompt));
    EXPECT_EQ(engine.folderAt(last + 2), "file://host/d3");

    for (const int columns : {5, 30}) {
        engine.resizeGrid(4, columns);
        EXPECT_EQ(foldersFromTheBottom(engine), expected) << columns;
    }
    // A flood of folders fills the table: later prompts go without, earlier ones keep theirs.
    for (int i = 0; i < 1100; ++i) {
        engine.consume("\x1b]7;file://host/flood" + std::to_string(i) + "\x07" + command("x", 0));
    }
    const std::vector<std::string> flooded = foldersFromTheBottom(engine);
    EXPECT_EQ(flooded.front(), "");
    EXPECT_EQ(std::vector<std::string>(flooded.end() - 5, flooded.end()), expected);
    engine.consume("\x1b"
                   "c\x1b]133;A\x07$ ");
    EXPECT_EQ(foldersFromTheBottom(engine), std::vector<std::string>{"file://host/flood1099"});
}

TEST(LineMarksTest, DroppedLinesTakeTheirMarksAlong)
{
    TerminalEngine engine;
    engine.resizeGrid(3, 20);
    engine.setHistoryLimit(HistoryLimit{5});
    for (int i = 0; i < 50; ++i) {
        engine.consume(command("c" + std::to_string(i), 1));
    }
    const std::vector<std::string> prompts = promptsFromTheBottom(engine);
    ASSERT_FALSE(prompts.empty());
    EXPECT_LE(prompts.size(), 4u);
    EXPECT_EQ(prompts.front(), "$ c49 !");
    for (const std::string& prompt : prompts) {
        EXPECT_TRUE(prompt.starts_with("$ c")) << prompt;
    }
}

TEST(LineMarksTest, ReportsTheCommandAndItsStatus)
{
    TerminalEngine engine;
    engine.consume("\x1b]133;A\x07$ \x1b]133;B\x07sleep 20\r\n\x1b]133;C\x07");
    TerminalEvents events = engine.takeEvents();
    EXPECT_TRUE(events.commandStarted);
    EXPECT_EQ(events.commandLine, "sleep 20");
    engine.consume("\x1b]133;D;130\x07");
    events = engine.takeEvents();
    EXPECT_TRUE(events.commandFinished);
    EXPECT_EQ(events.commandStatus, 130);

    // An end without a command (an empty line) reports nothing.
    engine.consume("\x1b]133;A\x07$ \x1b]133;B\x07\r\n\x1b]133;D;0\x07");
    EXPECT_FALSE(engine.takeEvents().commandFinished);
}

TEST(LineMarksTest, HostilePayloadsAreBoundedAndNeverAnswered)
{
    TerminalEngine engine;
    const std::vector<std::string> payloads = {
        "\x1b]133;D;99999999999999999999\x07",
        "\x1b]133;D;-x\x07",
        "\x1b]133;\x07",
        "\x1b]133;Z;" + std::string(5000, 'q') + "\x07",
        "\x1b]133;B\x07" + std::string(3000, 'w') + "\x1b]133;C\x07",
        "\x1b]7;file://elsewhere/" + std::string(100000, 'a') + "\x07",
    };
    for (const std::string& payload : payloads) {
        engine.consume(payload);
        EXPECT_LE(engine.takeEvents().commandLine.size(), 256u);
        EXPECT_LE(engine.workingDirectory().size(), 4096u);
    }
    EXPECT_TRUE(engine.takeReplies().empty());
}

} // namespace
