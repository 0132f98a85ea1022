#pragma once
// A forked child running a function, with a line channel each way, for tests
// that need a second process holding files and locks.
#include <sys/types.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    // Channel seen from one side.
    class Channel {
    public:
        Channel(int in, int out) : in_(in), out_(out) {}
        void Send(const std::string& line) const {
            const std::string text = line + "\n";
            size_t done = 0;
            while (done < text.size()) {
                const ssize_t n = ::write(out_, text.data() + done, text.size() - done);
                if (n <= 0) return;
                done += static_cast<size_t>(n);
            }
        }
        // The next line, without its newline; empty at end of input.
        std::string Receive() const {
            std::string line;
            char c;
            while (::read(in_, &c, 1) == 1 && c != '\n') line += c;
            return line;
        }

    private:
        int in_, out_;
    };

    // Runs body(channel) in a child, which then exits with status 0 (or
    // whatever body passes to _exit).
    explicit ChildProcess(const std::function<void(const Channel&)>& body) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) std::abort();
        pid_ = fork();
        if (pid_ < 0) std::abort();
        if (pid_ == 0) {
            ::close(down[1]);
            ::close(up[0]);
            body(Channel(down[0], up[1]));
            _exit(0);
        }
        ::close(down[0]);
        ::close(up[1]);
        to_child_ = down[1];
        from_child_ = up[0];
    }
    ~ChildProcess() {
        ::close(to_child_);
        ::close(from_child_);
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    Channel channel() const { return Channel(from_child_, to_child_); }
    void Send(const std::string& line) const { channel().Send(line); }
    std::string Receive() const { return channel().Receive(); }

    // The child's exit status, or 128 + signal when it was killed.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        return -1;
    }
    void Kill() {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int to_child_ = -1, from_child_ = -1;
    bool reaped_ = false;
};

// Runs body(k) for k = 0..n-1 in n processes started together; what each
// returned, in order of k.
inline std::vector<std::string> RunTogether(int n, const std::function<std::string(int)>& body) {
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int k = 0; k < n; ++k)
        children.push_back(std::make_unique<ChildProcess>([&body, k](const ChildProcess::Channel& ch) {
            ch.Receive();
            ch.Send(body(k));
        }));
    for (auto& child : children) child->Send("go");
    std::vector<std::string> results;
    for (auto& child : children) {
        results.push_back(child->Receive());
        child->Wait();
    }
    return results;
}

}  // namespace testing_support
