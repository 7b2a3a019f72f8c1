// What a terminal needs of the pseudo-terminal its program runs on: output as it arrives, input in
// order, the window size, the hang-up, and when the program is over. PtySession is the real one;
// the terminal's tests use a fake.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

class PtyDevice : public QObject {
    Q_OBJECT
public:
    using OutputHandler = std::function<void(std::span<const std::uint8_t>)>;

    using QObject::QObject;

    // Called with every chunk of the program's output, in order, from the event loop's read.
    void setOutputHandler(OutputHandler handler) { output_ = std::move(handler); }

    // Every byte reaches the program in order; what cannot be written at once is queued.
    virtual void send(std::string_view bytes) = 0;
    // The window size in cells; the program is signalled only when it differs from the last.
    virtual void resize(int rows, int columns) = 0;
    // Stops reading, drops queued input and hangs the program up. Safe to repeat.
    virtual void stop() = 0;
    virtual qint64 childPid() const { return -1; }
    virtual bool isOpen() const = 0;
    // Whether closing now would end a program the user started (not the idle shell).
    virtual bool foregroundProgramRunning() const { return false; }

signals:
    // The program has ended and been collected (waitpid status, -1 when unknown).
    void shellExited(int waitStatus);
    // The program has ended and its output is over, or a moment has passed while a background job
    // still holds the terminal: the time to say so below its last output. Once; never after stop().
    void finished(int waitStatus);

protected:
    void deliver(std::span<const std::uint8_t> chunk)
    {
        if (output_) {
            output_(chunk);
        }
    }

private:
    OutputHandler output_;
};
