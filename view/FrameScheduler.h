// Repaint coalescing: the first frame after an idle period runs on the next turn of the event loop
// (a key's echo is not delayed), later requests wait for the next 16 ms frame, so a burst of output
// costs one frame per displayed frame however many chunks it arrives in.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class FrameScheduler : public QObject {
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16;

    explicit FrameScheduler(std::function<void()> frame, QObject* parent = nullptr);

    // Asks for a frame; several requests before it runs make one frame.
    void request();
    // Runs the pending frame now, if there is one (the view needs its geometry current at once).
    void flush();
    bool isPending() const { return pending_; }
    int framesRun() const { return framesRun_; }

private:
    void runFrame();

    std::function<void()> frame_;
    QTimer timer_;
    QElapsedTimer sinceLastFrame_;
    bool pending_ = false;
    int framesRun_ = 0;
};
