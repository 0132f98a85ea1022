#pragma once
// An X server of the test's own (Xvfb on the first free display number), and
// running a program such as xdotool against it; every wait has a deadline.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/bounded_process.hpp"

namespace testing_ui {

// Bounds for a broken run, never measures of speed: long enough for a
// sanitizer build on a loaded machine.
constexpr std::chrono::seconds kServerStart{30};  // until the server names its display
constexpr std::chrono::seconds kToolRun{30};      // one run of a tool such as xdotool

class Xvfb {
public:
    explicit Xvfb(const char* screen = "800x600x24") {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 1);
            dup2(devnull, 2);
            const int to_parent = dup(fds[1]);  // without close-on-exec
            const std::string fd = std::to_string(to_parent);
            // No key repeats: a press and its release from xdotool that the
            // server takes apart on a loaded machine would make repeats the test never sent.
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", "-r",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        const std::optional<std::string> number =
            pid_ > 0 ? testing_support::ReadLine(fds[0], testing_support::After(kServerStart)) : std::nullopt;
        close(fds[0]);
        if (number && !number->empty()) display_ = ":" + *number;
    }
    ~Xvfb() { End(SIGTERM); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    // "" when the server did not start.
    const std::string& Display() const { return display_; }
    // Ends the server with `signal` (SIGKILL when it outlives a moment's grace);
    // its clients' connections break.
    void End(int signal) {
        if (pid_ > 0) testing_support::EndChild(pid_, signal, std::chrono::seconds(10));
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs `args` (a path first) to its end; its exit status, or -1 (also when it
// runs past its bound: it is ended then).
inline int RunProgram(const std::vector<std::string>& args) {
    return testing_support::RunBounded(args, testing_support::After(kToolRun));
}

}  // namespace testing_ui
