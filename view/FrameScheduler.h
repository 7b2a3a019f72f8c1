// Repaint coalescing: the first frame after an idle period runs on the next turn of the event loop
// (a key's echo is not delayed), later requests wait for the next 16 ms frame, so a burst of output
// costs one frame per displayed frame however many chunks it arrives in. While output floods in
// (text scrolling by faster than anyone reads) frames come every 200 ms instead: each frame of the
// translucent window also costs the X server an upload and the compositor a re-blur of the whole
// window, which on a software-rendered desktop is a hundred milliseconds or more of the same cores
// the shell's output is read on. A flood that starts just after a frame (the echo of the Return
// that started it) waits out that interval too. When the output stops, the pending frame runs
// after a short pause instead of waiting out the flood's interval, so the last screen shows at once.
// While the program holds frames back (synchronized output, during which it redraws the screen in
// pieces), frames wait, at most holdLimitMs at a time, and the end of the hold paints at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class FrameScheduler : public QObject {
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16;
    static constexpr int floodIntervalMs = 200;
    // Requests (one per chunk of output read) per 16 ms that make a flood: 32 chunks of a few KiB
    // in 16 ms is several MB/s, far beyond a full-screen program redrawing on every key.
    static constexpr int floodRequests = 32;
    // No request for this long during a flood, with the event loop free to take one: the output has
    // stopped. Longer than the gaps a busy machine leaves in a flood, shorter than two frames.
    static constexpr int quietMs = 25;
    // The longest a program holding frames back delays one: a program that never ends its
    // synchronized update (killed in the middle of one) must not freeze the screen.
    static constexpr int holdLimitMs = 150;

    explicit FrameScheduler(std::function<void()> frame, QObject* parent = nullptr);

    // Asks for a frame; several requests before it runs make one frame.
    void request();
    // Frames wait while `held` returns true (up to holdLimitMs at a time).
    void setHold(std::function<bool()> held);
    // Runs the pending frame now, if there is one (the view needs its geometry current at once).
    void flush();
    bool isPending() const { return pending_; }
    int framesRun() const { return framesRun_; }
    int currentIntervalMs() const { return intervalMs_; }

private:
    void frameDue();
    // The next frame comes at the flood's interval when flood is true, else at the normal one.
    void runFrame(bool flood);
    bool flooding() const;
    void enterFlood();
    void checkQuiet();
    void armQuietCheck(int delayMs);
    // True when a hold delays the pending frame; the frame timer is then armed for the hold's limit.
    bool holdsFrame();

    std::function<void()> frame_;
    std::function<bool()> held_;
    QElapsedTimer sinceHoldStarted_; // valid while a hold delays a frame
    QTimer timer_;
    QTimer quietTimer_;
    QElapsedTimer sinceLastFrame_;
    QElapsedTimer sinceFirstRequest_; // the first request after the last frame
    QElapsedTimer sinceLastRequest_;
    QElapsedTimer sinceQuietArmed_;
    int quietDueMs_ = 0; // the delay the quiet check was armed with
    bool pending_ = false;
    int framesRun_ = 0;
    int requestsSinceFrame_ = 0;
    int intervalMs_ = frameIntervalMs; // until the next frame: the flood's while one lasts
};
