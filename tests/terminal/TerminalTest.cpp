// The whole terminal without a widget, a display or a shell: a fake pseudo-terminal hands chunks in
// and records what is written back. Replies go out before the next chunk, in order; events come as
// signals once the chunk has been consumed; intents are encoded by the modes the program set; the
// pty hears of a resize once per real change; the exit line lands below the last output.
#include "terminal/Terminal.h"

#include "engine/TerminalEngine.h"
#include "session/PtyDevice.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

class FakePty : public PtyDevice {
public:
    void send(std::string_view bytes) override { written += bytes; }
    void resize(int rows, int columns) override { sizes.push_back({rows, columns}); }
    void stop() override { stopped = true; }
    bool isOpen() const override { return !stopped; }

    void output(std::string_view bytes)
    {
        deliver(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    void finish(int waitStatus) { emit finished(waitStatus); }

    std::string written;
    std::vector<GridSize> sizes;
    bool stopped = false;
};

std::string rowText(const ScreenReader& screen, int screenRow)
{
    std::string text;
    for (const Cell& cell : screen.row(static_cast<std::size_t>(screen.screenTop() + screenRow))) {
        text += cell.character < 0x80 ? static_cast<char>(cell.character) : '?';
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto fake = std::make_unique<FakePty>();
        pty = fake.get();
        terminal.start(std::move(fake));
        pty->sizes.clear();
    }

    Terminal terminal;
    FakePty* pty = nullptr;
};

TEST_F(TerminalTest, RepliesGoOutWithTheirChunkInOrderAndNeverAsInput)
{
    std::vector<std::string> observed;
    terminal.setInputObserver([&](std::string_view bytes) { observed.emplace_back(bytes); });
    pty->output("\x1b[3;5H\x1b[6n\x1b[5n");
    EXPECT_EQ(pty->written, "\x1b[3;5R\x1b[0n"); // before the next chunk is read
    pty->output("\x1b[c");
    EXPECT_EQ(pty->written, "\x1b[3;5R\x1b[0n\x1b[?62;22c");
    EXPECT_TRUE(observed.empty()) << "replies are not the user's input";
    EXPECT_EQ(rowText(terminal.screen(), 2), "");

    // A query replayed before any program ran is never answered to the program that comes later.
    Terminal unstarted;
    unstarted.receive("\x1b[6n");
    auto fake = std::make_unique<FakePty>();
    FakePty* later = fake.get();
    unstarted.start(std::move(fake));
    later->output("x");
    EXPECT_EQ(later->written, "");
}

TEST_F(TerminalTest, EventsAreSignalledAfterTheWholeChunkOncePerChunk)
{
    int changes = 0;
    std::vector<std::string> seen;
    QObject::connect(&terminal, &Terminal::changed, [&] { ++changes; });
    QObject::connect(&terminal, &Terminal::titleChanged, [&](const QString& title) {
        // The chunk is consumed whole before anything is signalled: the text after the title is there.
        seen.push_back(title.toStdString() + "|" + rowText(terminal.screen(), 0));
    });
    QObject::connect(&terminal, &Terminal::bellRang, [&] { seen.emplace_back("bell"); });
    QObject::connect(&terminal, &Terminal::workingDirectoryChanged,
                     [&](const QString& url) { seen.push_back("cwd:" + url.toStdString()); });
    QObject::connect(&terminal, &Terminal::clipboardWritten,
                     [&](const QString& text) { seen.push_back("clip:" + text.toStdString()); });
    pty->output("\x1b]2;build\x07"
                "after\x07\x07\x1b]52;c;aGk=\x07");
    EXPECT_EQ(seen, (std::vector<std::string>{"build|after", "bell", "clip:hi"}));
    EXPECT_EQ(changes, 1);
    pty->output("x");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(TerminalTest, ClipboardWritesGoToTheSelectionsNamedAndReadsAreNeverAnswered)
{
    std::vector<std::string> seen;
    QObject::connect(&terminal, &Terminal::clipboardWritten, [&](const QString& text, bool primary) {
        seen.push_back((primary ? "primary:" : "clipboard:") + text.toStdString());
    });
    // c, p, both, none (the clipboard), s (the primary selection), a cut buffer (the clipboard).
    pty->output("\x1b]52;c;YQ==\x07\x1b]52;p;Yg==\x07\x1b]52;pc;Yw==\x1b\\\x1b]52;;ZA==\x07");
    pty->output("\x1b]52;s;ZQ==\x07\x1b]52;0;Zg==\x07");
    pty->output("\x1b]52;c;?\x07");
    EXPECT_EQ(seen, (std::vector<std::string>{"clipboard:a", "primary:b", "clipboard:c", "primary:c",
                                              "clipboard:d", "primary:e", "clipboard:f"}));
    EXPECT_EQ(pty->written, "") << "a read request is never answered";
}

TEST_F(TerminalTest, IntentsAreEncodedByTheModesTheProgramSet)
{
    KeyDescription up;
    up.key = TerminalKey::up;
    KeyDescription shiftHome;
    shiftHome.key = TerminalKey::home;
    shiftHome.modifiers.shift = true;
    const MouseEvent click{MouseAction::press, MouseButton::left, 4, 2, {}};
    struct Case {
        const char* modes; // what the program printed first
        std::function<void(Terminal&)> intent;
        std::string bytes;
    };
    const Case cases[] = {
        {"", [&](Terminal& t) { t.sendKey(up); }, "\x1b[A"},
        {"\x1b[?1h", [&](Terminal& t) { t.sendKey(up); }, "\x1bOA"},
        {"", [&](Terminal& t) { t.sendKey(shiftHome); }, ""}, // the view's history goes to its start
        {"\x1b[?1049h", [&](Terminal& t) { t.sendKey(shiftHome); }, "\x1b[1;2H"},
        {"", [](Terminal& t) { t.paste("a\r\nb\x1b"); }, "a\nb\x1b"},
        {"\x1b[?2004h", [](Terminal& t) { t.paste("a\r\nb\x1b"); }, "\x1b[200~a\nb\x1b[201~"},
        {"", [](Terminal& t) { t.sendFocus(true); }, ""},
        {"\x1b[?1004h", [](Terminal& t) { t.sendFocus(false); }, "\x1b[O"},
        {"", [&](Terminal& t) { t.sendMouse(click); }, ""},
        {"\x1b[?1000h", [&](Terminal& t) { t.sendMouse(click); }, "\x1b[M %#"},
        {"\x1b[?1000h\x1b[?1006h", [&](Terminal& t) { t.sendMouse(click); }, "\x1b[<0;5;3M"},
        {"\x1b[?1000h\x1b[?1006h", [&](Terminal& t) { t.sendWheel(-2, click); },
         "\x1b[<65;5;3M\x1b[<65;5;3M"},
        {"\x1b[?1049h", [&](Terminal& t) { t.sendWheel(1, click); }, "\x1b[A\x1b[A\x1b[A"},
        {"\x1b[?1049h\x1b[?1007l", [&](Terminal& t) { t.sendWheel(1, click); }, ""},
        {"", [&](Terminal& t) { t.sendWheel(1, click); }, ""}, // the view's history scrolls
    };
    for (const Case& c : cases) {
        Terminal fresh;
        auto fake = std::make_unique<FakePty>();
        FakePty* device = fake.get();
        fresh.start(std::move(fake));
        device->output(c.modes);
        device->written.clear();
        c.intent(fresh);
        EXPECT_EQ(device->written, c.bytes) << "after " << testing::PrintToString(std::string(c.modes));
    }
}

TEST_F(TerminalTest, ViewCommandsComeBackAndKeysGoNowhereWithoutAProgram)
{
    KeyDescription copy;
    copy.modifiers = {true, true, false, false};
    copy.character = U'C';
    EXPECT_EQ(terminal.sendKey(copy).action, KeyAction::copy);
    EXPECT_EQ(pty->written, "");
    KeyDescription letter;
    letter.text = "x";
    letter.character = U'x';
    Terminal idle;
    EXPECT_EQ(idle.sendKey(letter).action, KeyAction::passOn);
    EXPECT_EQ(terminal.sendKey(letter).action, KeyAction::send);
    EXPECT_EQ(pty->written, "x");
}

TEST_F(TerminalTest, ResizeReachesThePtyOncePerRealChangeAndIsWhatShows)
{
    terminal.resize({30, 100});
    terminal.resize({30, 100});
    terminal.resize({10, 40});     // a window smaller than 24 x 80 is told what it shows
    terminal.resize({0, -1});      // at least one cell
    terminal.resize({5000, 5000}); // past the engine's limits: the pty is told the grid it got
    EXPECT_EQ(pty->sizes,
              (std::vector<GridSize>{{30, 100}, {10, 40}, {1, 1}, {TerminalEngine::rowLimit, 1000}}));
    EXPECT_EQ(terminal.size(), (GridSize{TerminalEngine::rowLimit, 1000}));
}

TEST_F(TerminalTest, AFloodOfBellsIsOneBellPerInterval)
{
    std::int64_t now = 1000;
    terminal.setClock([&] { return now; });
    int bells = 0;
    QObject::connect(&terminal, &Terminal::bellRang, [&] { ++bells; });
    pty->output("\a\a\a");
    now += Terminal::bellInterval - 1;
    pty->output("\a");
    EXPECT_EQ(bells, 1);
    now += 1;
    pty->output("\a");
    EXPECT_EQ(bells, 2);
}

TEST_F(TerminalTest, ReportsTheProgramAskedForGoOutWhenTheWindowChanges)
{
    terminal.setCellPixelSize(9, 18);
    pty->output("\x1b[?2031h\x1b[?2048h");
    EXPECT_EQ(pty->written, "\x1b[48;24;80;432;720t");
    pty->written.clear();
    terminal.resize({30, 100});
    EXPECT_EQ(pty->written, "\x1b[48;30;100;540;900t") << "after the pty heard of the size";
    pty->written.clear();
    terminal.setReportedColors(Color{0.95f, 0.95f, 0.95f, 1}, Color{});
    EXPECT_EQ(pty->written, "\x1b[?997;2n");
}

TEST_F(TerminalTest, KeyReleasesReachOnlyAProgramThatAskedForThem)
{
    KeyDescription release;
    release.text = "a";
    release.character = U'a';
    release.event = KeyEventType::release;
    terminal.sendKey(release);
    EXPECT_EQ(pty->written, "");
    pty->output("\x1b[>3u");
    terminal.sendKey(release);
    EXPECT_EQ(pty->written, "\x1b[97;1:3u");
}

TEST_F(TerminalTest, ExitLineGoesBelowTheLastOutputAndLateOutputBelowIt)
{
    pty->output("partial");
    pty->finish(3 << 8); // exited with status 3
    pty->finish(3 << 8); // told twice, written once
    pty->output("late");
    const ScreenReader screen = terminal.screen();
    EXPECT_EQ(rowText(screen, 0), "partial");
    EXPECT_EQ(rowText(screen, 1), "Shell exited with status 3.");
    EXPECT_EQ(rowText(screen, 2), "late");
    pty->output(" more");
    EXPECT_EQ(rowText(screen, 2), "late more");

    Terminal killed;
    auto fake = std::make_unique<FakePty>();
    FakePty* device = fake.get();
    killed.start(std::move(fake));
    device->finish(9); // terminated by SIGKILL, at the start of an empty line
    EXPECT_EQ(rowText(killed.screen(), 0), "Shell terminated by signal 9.");
}

TEST_F(TerminalTest, AChunkRestampsOnlyTheRowsItWroteAndCountsTheRowsItDropped)
{
    const ScreenReader screen = terminal.screen();
    pty->output("\x1b[24;1H");
    std::vector<std::uint64_t> before;
    for (std::size_t row = 0; row < screen.rowCount(); ++row) {
        before.push_back(screen.rowStamp(row));
    }
    pty->output("\x1b[5;3Hx");
    for (std::size_t row = 0; row < screen.rowCount(); ++row) {
        EXPECT_EQ(screen.rowStamp(row) != before[row], row == 4) << "row " << row;
    }
    const auto generation = screen.rowsGeneration();
    pty->output("\x1b[24;1H" + std::string(HistoryLimit::defaultLines + 5, '\n'));
    EXPECT_EQ(screen.droppedRows(), 5u);
    EXPECT_EQ(screen.rowsGeneration(), generation) << "scrolling rearranges nothing";
    terminal.resize({30, 100});
    EXPECT_NE(screen.rowsGeneration(), generation);
}

} // namespace
