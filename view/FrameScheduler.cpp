// One pending flag and one single-shot precise timer; the frame clock restarts at every frame. The
// frame never runs inside request(): request() is called from the engine's render hook, in the
// middle of the session's read loop, and the frame resizes widgets (which may refit the grid).
#include "FrameScheduler.h"

FrameScheduler::FrameScheduler(std::function<void()> frame, QObject* parent)
    : QObject(parent), frame_(std::move(frame))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FrameScheduler::runFrame);
}

void FrameScheduler::request()
{
    pending_ = true;
    ++requestsSinceFrame_;
    if (timer_.isActive()) {
        return;
    }
    const qint64 elapsed = sinceLastFrame_.isValid() ? sinceLastFrame_.elapsed() : intervalMs_;
    // Idle: a zero timer runs once the current batch of output has been read.
    timer_.start(elapsed >= intervalMs_ ? 0 : static_cast<int>(intervalMs_ - elapsed));
}

void FrameScheduler::flush()
{
    if (pending_) {
        timer_.stop();
        runFrame();
    }
}

void FrameScheduler::runFrame()
{
    if (!pending_) {
        return;
    }
    pending_ = false;
    intervalMs_ = requestsSinceFrame_ >= floodRequests ? floodIntervalMs : frameIntervalMs;
    requestsSinceFrame_ = 0;
    sinceLastFrame_.restart();
    ++framesRun_;
    frame_();
}
