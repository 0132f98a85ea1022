#pragma once
// Waiting on other processes with a deadline: a test whose program hangs or
// never answers fails within its bound instead of hanging the whole run.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {

using Deadline = std::chrono::steady_clock::time_point;

inline Deadline After(std::chrono::steady_clock::duration bound) { return std::chrono::steady_clock::now() + bound; }

// The milliseconds left until `deadline`, at least 0.
inline int MsLeft(Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::clamp<long long>(left.count(), 0, 1 << 30));
}

// The wait status of the child `pid` once it has ended; nullopt while it runs past `deadline`.
inline std::optional<int> WaitForChild(pid_t pid, Deadline deadline) {
    for (;;) {
        int status = 0;
        const pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) return status;
        if (got < 0) return std::nullopt;  // not a child (any more)
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Ends the child `pid` (the whole process group it leads when `group`):
// `signal` first, SIGKILL when it is still there after `grace`. Its wait status.
inline int EndChild(pid_t pid, int signal, std::chrono::steady_clock::duration grace, bool group = false) {
    kill(group ? -pid : pid, signal);
    if (const std::optional<int> status = WaitForChild(pid, After(grace))) return *status;
    kill(group ? -pid : pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);  // a killed child always ends
    return status;
}

// A wait status as an exit code: the code itself, or 128 + the signal that ended the process.
inline int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// The next line from `fd`, without its newline; what came before the end of
// the input when it ends first; nullopt when nothing came before `deadline`
// or the line was still unfinished then.
inline std::optional<std::string> ReadLine(int fd, Deadline deadline) {
    std::string line;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char c;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') return line;
        line += c;
    }
}

// Runs `args` (a path first) in a process group of its own, its standard
// output into `output` when given; ended with all it started when it runs
// past `deadline`. Its exit code (see ExitCode), or -1 when it did not start or did not end in time.
inline int RunBounded(const std::vector<std::string>& args, Deadline deadline, std::string* output = nullptr) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    if (output && pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (output) posix_spawn_file_actions_adddup2(&files, out[1], 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (output) close(out[1]);
    bool late = false;
    if (spawned == 0 && output) {
        // Read to the end (its last holder gone) or the deadline.
        char buffer[256];
        for (;;) {
            pollfd p{out[0], POLLIN, 0};
            const int ready = poll(&p, 1, MsLeft(deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                late = true;
                break;
            }
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            output->append(buffer, size_t(n));
        }
    }
    if (output) close(out[0]);
    if (spawned != 0) return -1;
    std::optional<int> status;
    if (!late) status = WaitForChild(pid, deadline);
    if (!status) {
        EndChild(pid, SIGKILL, std::chrono::seconds(0), true);
        return -1;
    }
    return ExitCode(*status);
}

}  // namespace testing_support
