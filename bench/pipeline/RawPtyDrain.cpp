// A poll and read loop with the session's chunk size; the marker may straddle two reads, so the last
// marker-length bytes of each read are kept for the next search.
#include "RawPtyDrain.h"

#include "session/PtyFork.h"
#include "session/ShellLaunchPlan.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t chunkSize = 8192; // as the session reads

} // namespace

RawPtyDrain::RawPtyDrain(const QString& shellChoice, int rows, int columns)
{
    const PtyChild started =
        startOnPseudoTerminal(ShellLaunchPlan::forChoice(shellChoice), static_cast<unsigned short>(rows),
                              static_cast<unsigned short>(columns));
    child_ = started.pid;
    master_ = started.pid < 0 ? -1 : started.master;
}

RawPtyDrain::~RawPtyDrain()
{
    if (child_ > 0) {
        ::kill(child_, SIGHUP);
    }
    if (master_ >= 0) {
        ::close(master_);
    }
    if (child_ > 0) {
        ::waitpid(child_, nullptr, 0);
    }
}

bool RawPtyDrain::send(std::string_view bytes)
{
    while (!bytes.empty() && master_ >= 0) {
        const ssize_t written = ::write(master_, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
    }
    return bytes.empty();
}

bool RawPtyDrain::readUntil(std::string_view marker, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::array<char, chunkSize> buffer{};
    std::string window; // the unmatched end of the previous read, then the current read
    bytesRead_ = 0;
    while (master_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd readable{master_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        for (;;) {
            const ssize_t count = ::read(master_, buffer.data(), buffer.size());
            if (count > 0) {
                bytesRead_ += static_cast<std::uint64_t>(count);
                window.append(buffer.data(), static_cast<std::size_t>(count));
                if (window.find(marker) != std::string::npos) {
                    return true;
                }
                if (window.size() >= marker.size()) {
                    window.erase(0, window.size() - marker.size() + 1);
                }
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            }
            return false; // end of output: the shell has gone
        }
    }
    return false;
}
