// One pending flag and one single-shot precise timer; the frame clock restarts at every frame. The
// frame never runs inside request(): request() is called on the terminal's changed(), in the middle
// of the pty's read loop, and the frame resizes widgets (which may refit the grid).
// While a flood lasts, a second timer looks for its end; it is re-armed from the time of the last
// request instead of restarted by every request, so a flood of thousands of chunks a second costs a
// clock read per chunk, not a timer. A hold is checked when a frame falls due, never per request,
// except while it delays a frame: then every request looks whether it has ended.
#include "FrameScheduler.h"

#include <algorithm>
#include <utility>

FrameScheduler::FrameScheduler(std::function<void()> frame, QObject* parent)
    : QObject(parent), frame_(std::move(frame))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FrameScheduler::frameDue);
    quietTimer_.setSingleShot(true);
    quietTimer_.setTimerType(Qt::PreciseTimer);
    connect(&quietTimer_, &QTimer::timeout, this, &FrameScheduler::checkQuiet);
}

void FrameScheduler::request()
{
    pending_ = true;
    if (requestsSinceFrame_++ == 0) {
        sinceFirstRequest_.start();
    }
    sinceLastRequest_.start();
    if (sinceHoldStarted_.isValid() && !held_()) {
        // The program's update is complete: show it now rather than at the hold's limit.
        sinceHoldStarted_.invalidate();
        timer_.start(0);
        return;
    }
    if (timer_.isActive()) {
        return;
    }
    const qint64 elapsed = sinceLastFrame_.isValid() ? sinceLastFrame_.elapsed() : intervalMs_;
    // Idle: a zero timer runs once the current batch of output has been read.
    timer_.start(elapsed >= intervalMs_ ? 0 : static_cast<int>(intervalMs_ - elapsed));
}

void FrameScheduler::setHold(std::function<bool()> held)
{
    held_ = std::move(held);
}

bool FrameScheduler::holdsFrame()
{
    if (!held_ || !held_()) {
        sinceHoldStarted_.invalidate();
        return false;
    }
    if (!sinceHoldStarted_.isValid()) {
        sinceHoldStarted_.start();
    }
    const qint64 waited = sinceHoldStarted_.elapsed();
    if (waited >= holdLimitMs) {
        sinceHoldStarted_.invalidate(); // the next frame of a long update waits afresh
        return false;
    }
    timer_.start(static_cast<int>(holdLimitMs - waited));
    return true;
}

void FrameScheduler::armQuietCheck(int delayMs)
{
    quietDueMs_ = delayMs;
    sinceQuietArmed_.start();
    quietTimer_.start(delayMs);
}

void FrameScheduler::checkQuiet()
{
    if (intervalMs_ == frameIntervalMs) {
        return;
    }
    // A check that comes late means the event loop itself was held up (a paint waiting for a busy
    // X server, say): the shell's output may be waiting unread, so the pause proves nothing. Taking
    // it for the end of the flood would paint again at once, hold the loop up again, and keep the
    // flood at the X server's pace instead of the flood's.
    const bool late = sinceQuietArmed_.elapsed() > quietDueMs_ + quietMs / 2;
    const qint64 quietFor = sinceLastRequest_.isValid() ? sinceLastRequest_.elapsed() : quietMs;
    if (late || quietFor < quietMs) {
        armQuietCheck(static_cast<int>(late ? quietMs : quietMs - quietFor));
        return;
    }
    // The flood is over: the next output is a new burst, and what it left on screen shows now.
    intervalMs_ = frameIntervalMs;
    if (pending_) {
        timer_.stop();
        if (!holdsFrame()) {
            runFrame(false);
        }
    }
}

void FrameScheduler::flush()
{
    if (pending_) {
        timer_.stop();
        runFrame(flooding());
    }
}

bool FrameScheduler::flooding() const
{
    // A flood is a rate, measured from the first request after the last frame: a batch of many
    // chunks read before an idle period's immediate frame is one too.
    const qint64 span = std::max<qint64>(sinceFirstRequest_.elapsed(), frameIntervalMs);
    return qint64{requestsSinceFrame_} * frameIntervalMs >= qint64{floodRequests} * span;
}

void FrameScheduler::frameDue()
{
    // A flood that began since the last frame (a `cat` right after the echo of its Return, whose
    // frame ran at once) waits out the flood's interval from that frame instead of taking one more
    // full-window frame 16 ms in.
    if (!pending_ || holdsFrame()) {
        return;
    }
    const bool flood = flooding();
    const qint64 sinceFrame = sinceLastFrame_.isValid() ? sinceLastFrame_.elapsed() : floodIntervalMs;
    if (flood && sinceFrame < floodIntervalMs) {
        enterFlood();
        timer_.start(static_cast<int>(floodIntervalMs - sinceFrame));
        return;
    }
    runFrame(flood);
}

void FrameScheduler::enterFlood()
{
    intervalMs_ = floodIntervalMs;
    if (!quietTimer_.isActive()) {
        armQuietCheck(quietMs);
    }
}

void FrameScheduler::runFrame(bool flood)
{
    if (!pending_) {
        return;
    }
    pending_ = false;
    if (flood) {
        enterFlood();
    } else {
        intervalMs_ = frameIntervalMs;
    }
    requestsSinceFrame_ = 0;
    sinceLastFrame_.restart();
    ++framesRun_;
    frame_();
}
