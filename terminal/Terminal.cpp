// The terminal's paths: a chunk goes into the engine, the replies it queued go back to the program
// at once (before the next read, in the order asked), then the events become signals. Input intents
// are encoded here by the modes the program set, so the view never reads them.
#include "Terminal.h"

#include "PasteEncoder.h"
#include "engine/Palette.h"
#include "engine/TerminalEngine.h"
#include "session/PtySession.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <sys/wait.h>

namespace {

std::string repeated(const std::string& bytes, int times)
{
    std::string all;
    all.reserve(bytes.size() * static_cast<std::size_t>(std::max(times, 0)));
    for (int i = 0; i < times; ++i) {
        all += bytes;
    }
    return all;
}

} // namespace

Terminal::Terminal(QObject* parent)
    : QObject(parent), engine_(std::make_unique<TerminalEngine>()), clock_([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      })
{
    engine_->resizeGrid(minimumGridSize.rows, minimumGridSize.columns);
}

Terminal::~Terminal()
{
    stop();
}

void Terminal::start(const QString& shellChoice, GridSize size)
{
    start(LaunchRequest{shellChoice, {}, {}, false}, size);
}

void Terminal::start(const LaunchRequest& request, GridSize size)
{
    if (pty_) {
        return;
    }
    resize(size);
    auto session = std::make_unique<PtySession>(request, engine_->rows(), engine_->columns());
    const std::string failure = session->startFailureMessage();
    start(std::move(session));
    if (!failure.empty()) {
        startFailed_ = true;
        showMessage(failure + "\n", NamedColors::systemRedColor);
    }
}

bool Terminal::foregroundProgramRunning() const
{
    return pty_ && pty_->foregroundProgramRunning();
}

void Terminal::start(std::unique_ptr<PtyDevice> pty)
{
    if (pty_ || !pty) {
        return;
    }
    pty_ = std::move(pty);
    pty_->setOutputHandler([this](std::span<const std::uint8_t> chunk) { receive(chunk); });
    connect(pty_.get(), &PtyDevice::shellExited, this, &Terminal::shellExited);
    connect(pty_.get(), &PtyDevice::finished, this, &Terminal::writeExitLine);
    pty_->resize(engine_->rows(), engine_->columns());
}

void Terminal::stop()
{
    if (pty_) {
        pty_->stop();
    }
}

void Terminal::resize(GridSize size)
{
    const GridSize wanted = atLeastOneCell(size);
    if (wanted.rows == engine_->rows() && wanted.columns == engine_->columns()) {
        return;
    }
    engine_->resizeGrid(wanted.rows, wanted.columns);
    // The grid may be smaller than asked (the engine's own limits): the program is told the grid.
    if (pty_) {
        pty_->resize(engine_->rows(), engine_->columns());
    }
    sendReplies(); // the in-band size report, after the window size changed
    emit changed();
    refineHistorySoon();
}

// The history's older long lines are counted at a new width a slice at a time, between events, so
// a resize with a long history shows at once and the window never stalls.
void Terminal::refineHistorySoon()
{
    if (refineScheduled_ || !engine_->history().refining()) {
        return;
    }
    refineScheduled_ = true;
    // A slice of about a millisecond, with room between slices for the frames and the output.
    constexpr int sliceIntervalMs = 8;
    QTimer::singleShot(sliceIntervalMs, this, [this] {
        refineScheduled_ = false;
        constexpr int linesPerSlice = 1024;
        engine_->refineHistory(linesPerSlice);
        emit changed();
        refineHistorySoon();
    });
}

GridSize Terminal::size() const
{
    return {engine_->rows(), engine_->columns()};
}

void Terminal::receive(std::span<const std::uint8_t> chunk)
{
    if (exitReported_ && !lateOutputSeparated_) {
        // A background job still writing after the exit line: below it, not after it.
        lateOutputSeparated_ = true;
        engine_->consume(std::string_view("\r\n"));
    }
    engine_->consume(chunk);
    sendReplies();
    const QPointer<Terminal> self(this);
    takeEvents();
    if (self) {
        emit changed();
    }
}

void Terminal::receive(std::string_view chunk)
{
    receive(std::span(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()));
}

// Answers go out before the next read, in the order asked; with no program to read them (output
// replayed into a terminal that never started) they are dropped, not kept for one. Never through
// the input observer: they are not the user's input.
void Terminal::sendReplies()
{
    if (!engine_->pendingReplies().empty()) {
        const std::string replies = engine_->takeReplies();
        if (pty_) {
            pty_->send(replies);
        }
    }
}

void Terminal::takeEvents()
{
    TerminalEvents events = engine_->takeEvents();
    if (events.titleChanged) {
        emit titleChanged(QString::fromStdString(engine_->title()));
    }
    if (events.workingDirectoryChanged) {
        emit workingDirectoryChanged(QString::fromStdString(engine_->workingDirectory()));
    }
    if (events.bells > 0) {
        const std::int64_t now = clock_();
        if (!bellRung_ || now - lastBell_ >= bellInterval) {
            bellRung_ = true;
            lastBell_ = now;
            emit bellRang();
        }
    }
    if (events.commandStarted) {
        emit commandStarted(QString::fromStdString(events.commandLine));
    }
    if (events.commandFinished) {
        emit commandFinished(events.commandStatus);
    }
    // Only writes (each bounded by the engine's string limit): a program never reads the clipboard.
    const QPointer<Terminal> self(this); // a slot may end this terminal (New Shell from a menu)
    for (const TerminalEvents::ClipboardWrite& write : events.clipboardWrites) {
        if (!self) {
            return;
        }
        const bool primary = write.selections.find_first_of("ps") != std::string::npos;
        const bool clipboard = write.selections.find('c') != std::string::npos || !primary;
        const QString text = QString::fromStdString(write.text);
        if (clipboard) {
            emit clipboardWritten(text, false);
        }
        if (primary) {
            emit clipboardWritten(text, true);
        }
    }
}

void Terminal::writeExitLine(int waitStatus)
{
    if (exitReported_) {
        return;
    }
    exitReported_ = true;
    std::string line;
    if (WIFSIGNALED(waitStatus)) {
        line = "Shell terminated by signal " + std::to_string(WTERMSIG(waitStatus)) + ".";
    } else {
        line = "Shell exited with status " + std::to_string(WEXITSTATUS(waitStatus)) + ".";
    }
    if (engine_->cursorColumn() != 0 || engine_->wrapPending()) {
        engine_->consume(std::string_view("\r\n")); // start on a line of its own
    }
    showMessage(line, engine_->baseTextColor());
    emit finished(waitStatus);
}

void Terminal::showMessage(std::string_view utf8, Color color)
{
    engine_->append(utf8, color);
    emit changed();
}

void Terminal::send(std::string_view bytes)
{
    if (!pty_ || bytes.empty()) {
        return;
    }
    if (inputObserver_) {
        inputObserver_(bytes);
    }
    pty_->send(bytes);
}

KeyResult Terminal::sendKey(const KeyDescription& key)
{
    KeyResult result = encodeKey(key, engine_->modes());
    if ((result.action == KeyAction::scrollToTop || result.action == KeyAction::scrollToBottom) &&
        engine_->alternateScreenActive()) {
        // A full-screen program has no history to go to, and editors select with Shift+Home/End.
        result = {KeyAction::send, key.key == TerminalKey::home ? "\x1b[1;2H" : "\x1b[1;2F"};
    }
    if (result.action == KeyAction::send) {
        if (!pty_) {
            return {KeyAction::passOn, {}}; // without a program every key is the view's
        }
        send(result.bytes);
    }
    return result;
}

void Terminal::sendText(std::string_view utf8)
{
    send(utf8);
}

void Terminal::paste(std::string_view utf8)
{
    send(PasteEncoder::encode(utf8, engine_->modes().bracketedPaste));
}

bool Terminal::reportsMouse(bool shiftHeld) const
{
    return pty_ && MouseEncoder::reportsTo(engine_->modes().mouseTracking, shiftHeld);
}

void Terminal::sendMouse(const MouseEvent& event)
{
    const TerminalModes& modes = engine_->modes();
    send(MouseEncoder::encode(event, modes.mouseTracking, modes.mouseSgr));
}

WheelTarget Terminal::wheelTarget(bool shiftHeld) const
{
    if (reportsMouse(shiftHeld)) {
        return WheelTarget::reports;
    }
    if (pty_ && engine_->alternateScreenActive() && engine_->modes().alternateScroll) {
        return WheelTarget::cursorKeys;
    }
    return WheelTarget::history;
}

void Terminal::sendWheel(int notches, const MouseEvent& at)
{
    if (notches == 0) {
        return;
    }
    const TerminalModes& modes = engine_->modes();
    const int count = std::abs(notches);
    switch (wheelTarget(at.modifiers.shift)) {
    case WheelTarget::reports: {
        MouseEvent wheel = at;
        wheel.action = MouseAction::press;
        wheel.button = notches > 0 ? MouseButton::wheelUp : MouseButton::wheelDown;
        send(repeated(MouseEncoder::encode(wheel, modes.mouseTracking, modes.mouseSgr), count));
        return;
    }
    case WheelTarget::cursorKeys: {
        KeyDescription arrow;
        arrow.key = notches > 0 ? TerminalKey::up : TerminalKey::down;
        send(repeated(encodeKey(arrow, modes).bytes, count * linesPerWheelNotch));
        return;
    }
    case WheelTarget::history:
        return;
    }
}

void Terminal::sendFocus(bool focused)
{
    if (engine_->modes().focusEvents) {
        send(focused ? "\x1b[I" : "\x1b[O");
    }
}

void Terminal::setInputObserver(std::function<void(std::string_view)> observer)
{
    inputObserver_ = std::move(observer);
}

void Terminal::setTextColor(Color text)
{
    if (text == engine_->baseTextColor()) {
        return;
    }
    engine_->setBaseTextColor(text);
    engine_->setCurrentColor(text);
    emit changed();
}

void Terminal::setReportedColors(Color background, Color cursor)
{
    engine_->setReportedColors(background, cursor);
    scheduleColorReport(); // when the glass turned from dark to light or back
}

void Terminal::setPalette(const AnsiColors& ansi, Color text, Color cursor)
{
    const bool redraw = ansi != engine_->ansiColors() || text != engine_->baseTextColor();
    engine_->setPalette(ansi, text, cursor);
    scheduleColorReport();
    if (redraw) {
        emit changed();
    }
}

void Terminal::scheduleColorReport()
{
    if (engine_->pendingReplies().empty() || colorReportScheduled_) {
        return;
    }
    if (QCoreApplication::instance() == nullptr) {
        sendReplies(); // no event loop to wait for (tools and tests that drive the terminal alone)
        return;
    }
    colorReportScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        colorReportScheduled_ = false;
        sendReplies();
    });
}

void Terminal::setCellPixelSize(int width, int height)
{
    engine_->setCellPixelSize(width, height);
}

void Terminal::setClock(std::function<std::int64_t()> milliseconds)
{
    clock_ = std::move(milliseconds);
}

void Terminal::setHistoryLimit(HistoryLimit limit)
{
    if (limit == engine_->historyLimits()) {
        return;
    }
    engine_->setHistoryLimit(limit);
    emit changed();
}
