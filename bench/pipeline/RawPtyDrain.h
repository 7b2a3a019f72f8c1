// The baseline of the end-to-end figures: the same shell, started the same way on a pseudo-terminal
// of the same size, whose output is only read (no engine, no view) until an end marker has passed.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>
#include <sys/types.h>

class RawPtyDrain {
public:
    RawPtyDrain(const QString& shellChoice, int rows, int columns);
    ~RawPtyDrain(); // hangs the shell up and reaps it
    RawPtyDrain(const RawPtyDrain&) = delete;
    RawPtyDrain& operator=(const RawPtyDrain&) = delete;

    bool isRunning() const { return master_ >= 0; }
    // Writes the bytes in one piece.
    bool send(std::string_view bytes);
    // Reads everything the shell writes until `marker` has been read; false on time-out or end of
    // output. Counts what was read in bytesRead().
    bool readUntil(std::string_view marker, int timeoutMs);
    std::uint64_t bytesRead() const { return bytesRead_; }

private:
    pid_t child_ = -1;
    int master_ = -1;
    std::uint64_t bytesRead_ = 0;
};
