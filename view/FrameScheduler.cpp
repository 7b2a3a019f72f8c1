// One pending flag and one single-shot precise timer; the frame clock restarts at every frame.
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
    if (timer_.isActive()) {
        return;
    }
    const qint64 elapsed = sinceLastFrame_.isValid() ? sinceLastFrame_.elapsed() : frameIntervalMs;
    if (elapsed >= frameIntervalMs) {
        runFrame();
    } else {
        timer_.start(static_cast<int>(frameIntervalMs - elapsed));
    }
}

void FrameScheduler::runFrame()
{
    if (!pending_) {
        return;
    }
    pending_ = false;
    sinceLastFrame_.restart();
    ++framesRun_;
    frame_();
}
