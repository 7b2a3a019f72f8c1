// Repaint coalescing: the first frame after an idle period runs on the next turn of the event loop
// (a key's echo is not delayed), later requests wait for the next 16 ms frame, so a burst of output
// costs one frame per displayed frame however many chunks it arrives in. While output floods in
// (many chunks per frame, text scrolling by faster than anyone reads) frames come every 50 ms
// instead: each frame also costs the window system and the compositor a full-window update, and
// that time is better left to reading the shell's output.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class FrameScheduler : public QObject {
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16;
    static constexpr int floodIntervalMs = 50;
    // Requests (one per chunk of output read) between two frames that make a flood: 32 chunks of a
    // few KiB in 16 ms is several MB/s, far beyond a full-screen program redrawing on every key.
    static constexpr int floodRequests = 32;

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
    int requestsSinceFrame_ = 0;
    int intervalMs_ = frameIntervalMs; // until the next frame: the flood's interval after a flood
};
