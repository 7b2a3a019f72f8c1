// One terminal: the engine that interprets a program's output and the pseudo-terminal the program
// runs on, the one place that knows both. A chunk of output is consumed, the answers to its queries
// are written back before the next read, and what happened (a change, a title, a bell, a clipboard
// write) is signalled afterwards; nothing is called back from inside the engine. Input arrives as
// intents (a key, text, a paste, a mouse event, focus) and is encoded by the modes the program set.
#pragma once

#include "KeyEncoder.h"
#include "MouseEncoder.h"
#include "engine/Color.h"
#include "engine/GridSize.h"
#include "engine/HistoryLimit.h"
#include "engine/Palette.h"
#include "engine/ScreenReader.h"
#include "session/ShellLaunchPlan.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class PtyDevice;
class TerminalEngine;

// Where a wheel turn goes: the view's history, the program as mouse reports, or the program as
// cursor keys (a pager on the alternate screen).
enum class WheelTarget { history, reports, cursorKeys };

class Terminal : public QObject {
    Q_OBJECT
public:
    static constexpr int linesPerWheelNotch = 3;      // cursor keys per notch on the alternate screen
    static constexpr std::int64_t bellInterval = 200; // milliseconds, as xterm's bell suppression

    explicit Terminal(QObject* parent = nullptr);
    ~Terminal() override; // hangs the program up

    // Starts the shell on a new pseudo-terminal at the given size (at least one cell). A
    // shell that cannot start leaves the reason on the screen in red. Only the first start counts.
    void start(const QString& shellChoice, GridSize size);
    // Starts the request's command (or its shell) in its working folder; a program that cannot run
    // leaves the reason on the screen in red, as a shell does.
    void start(const LaunchRequest& request, GridSize size);
    // Runs on a device the caller made (a fake one in tests); only the first start counts.
    void start(std::unique_ptr<PtyDevice> pty);
    bool isStarted() const { return pty_ != nullptr; }
    // The start left a reason on the screen instead of a running program.
    bool startFailed() const { return startFailed_; }
    // A program other than the idle shell has the terminal: closing would end it.
    bool foregroundProgramRunning() const;
    PtyDevice* pty() const { return pty_.get(); }
    // Hangs the program up: no input or exit line after this.
    void stop();

    // The grid's and the pseudo-terminal's size: the only way to either. What the view shows, down
    // to one cell; the same size again does nothing at all.
    void resize(GridSize size);
    GridSize size() const;
    // One cell's size in device pixels, for the size reports a program may ask for (?2048).
    void setCellPixelSize(int width, int height);

    // --- input intents --------------------------------------------------------------------------
    // A key press: its bytes go to the program, encoded by the current modes; what the key asks of
    // the view (copy, paste, select all, paging, or nothing to do with it) comes back for the view.
    KeyResult sendKey(const KeyDescription& key);
    void sendText(std::string_view utf8); // text typed some other way (an input method's commit)
    void paste(std::string_view utf8);    // bracketed when the program asked, cleaned of controls
    // Whether the pointer's buttons go to the program (it tracks the mouse and Shift is not held).
    bool reportsMouse(bool shiftHeld) const;
    void sendMouse(const MouseEvent& event);
    WheelTarget wheelTarget(bool shiftHeld) const;
    // Whole notches (positive away from the user) over a screen cell, to the wheel's target.
    void sendWheel(int notches, const MouseEvent& at);
    void sendFocus(bool focused); // reported only to a program that asked (?1004)
    // Called with every byte string the user's input sends (tests and benchmarks watch it).
    void setInputObserver(std::function<void(std::string_view)> observer);
    // The clock the bell is coalesced by, in milliseconds (tests set their own).
    void setClock(std::function<std::int64_t()> milliseconds);

    // --- colours --------------------------------------------------------------------------------
    // Text in the default colour, and what colour queries report (the glass and the cursor as shown).
    void setTextColor(Color text);
    void setReportedColors(Color background, Color cursor);
    // The user's scheme: the sixteen numbered colours, the default text and the cursor; re-renders.
    void setPalette(const AnsiColors& ansi, Color text, Color cursor);

    // --- history --------------------------------------------------------------------------------
    // Applies at once: a smaller limit drops the oldest lines, and the view is told.
    void setHistoryLimit(HistoryLimit limit);

    // --- what there is to read ------------------------------------------------------------------
    ScreenReader screen() const { return ScreenReader(*engine_); }
    // The engine itself, for tests and tools that feed or inspect it directly. The view reads screen().
    TerminalEngine& engine() { return *engine_; }

    // One chunk of the program's output, as the pseudo-terminal hands it on (public so that tests
    // and tools can replay output through the same path).
    void receive(std::span<const std::uint8_t> chunk);
    void receive(std::string_view chunk);

signals:
    // The screen changed (a chunk, a resize, a colour, a message); once per chunk.
    void changed();
    void titleChanged(const QString& title);
    // OSC 7: where the shell is, as the file: URL it sent.
    void workingDirectoryChanged(const QString& url);
    // At most once per bellInterval: a flood of bells (binary output) is one flash, not hundreds.
    void bellRang();
    // OSC 133: a command's output began (C), with its command line as the prompt showed it; the
    // command ended (D) with its exit status.
    void commandStarted(const QString& commandLine);
    void commandFinished(int status);
    // OSC 52: the program set the clipboard, or the primary selection (it can never read either).
    // One signal per selection named: c the clipboard, p and s the primary selection, none (or
    // only cut buffers) the clipboard.
    void clipboardWritten(const QString& text, bool primarySelection);
    // The program ended and was collected (waitpid status, -1 when unknown).
    void shellExited(int waitStatus);
    // The program's exit line has been written below its last output.
    void finished(int waitStatus);

private:
    void send(std::string_view bytes);
    void sendReplies();
    void takeEvents();
    void writeExitLine(int waitStatus);
    void showMessage(std::string_view utf8, Color color);
    // A colour change's report goes out on the next turn of the event loop, so that the scheme, the
    // text and the glass changed by one settings change reach the program as one report.
    void scheduleColorReport();
    void refineHistorySoon();

    std::unique_ptr<TerminalEngine> engine_;
    std::unique_ptr<PtyDevice> pty_;
    std::function<void(std::string_view)> inputObserver_;
    std::function<std::int64_t()> clock_;
    std::int64_t lastBell_ = 0;
    bool bellRung_ = false;
    bool exitReported_ = false;
    bool startFailed_ = false;
    bool refineScheduled_ = false;
    bool colorReportScheduled_ = false;
    bool lateOutputSeparated_ = false; // output after the exit line starts on a line of its own
};
