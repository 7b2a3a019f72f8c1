// The baseline of the real-window benchmark: the same command on a plain pseudo-terminal whose
// master is read as fast as it fills, in chunks of 8192 bytes, and thrown away.
//   vitrion_window_raw_drain ROWS COLUMNS COMMAND
// Runs "/bin/bash -c COMMAND" in the current directory and prints the number of bytes read.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ROWS COLUMNS COMMAND\n", argv[0]);
        return 2;
    }
    winsize size{};
    size.ws_row = static_cast<unsigned short>(std::atoi(argv[1]));
    size.ws_col = static_cast<unsigned short>(std::atoi(argv[2]));
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) {
        std::perror("forkpty");
        return 1;
    }
    if (child == 0) {
        execl("/bin/bash", "bash", "-c", argv[3], static_cast<char*>(nullptr));
        _exit(127);
    }
    char buffer[8192];
    long long total = 0;
    for (;;) {
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count > 0) {
            total += count;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            break; // EIO once the last writer on the slave side has gone
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    std::printf("%lld\n", total);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
