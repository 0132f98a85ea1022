#pragma once
// A forked child running a function, with a line channel each way, for tests
// that need a second process holding files and locks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/file.hpp"
#include "tests/support/bounded_process.hpp"

namespace testing_support {

class ChildProcess {
public:
    // A bound for a broken run, never a measure of speed: how long the test
    // waits for a line from the child and for its end.
    static constexpr std::chrono::milliseconds kDeadline{std::chrono::seconds(120)};

    // Channel seen from one side.
    class Channel {
    public:
        // A line that does not come within `bound` fails the test. Without
        // one (the child's side) it waits as long as the test runs: its input ends with the test.
        Channel(int in, int out, std::chrono::milliseconds bound = std::chrono::milliseconds::max())
            : in_(in), out_(out), bound_(bound) {}
        void Send(const std::string& line) const {
            const std::string text = line + "\n";
            size_t done = 0;
            while (done < text.size()) {
                const ssize_t n = ::write(out_, text.data() + done, text.size() - done);
                if (n <= 0) return;
                done += static_cast<size_t>(n);
            }
        }
        // The next line, without its newline; empty at end of input (and past the deadline).
        std::string Receive() const {
            const Deadline deadline = bound_ == std::chrono::milliseconds::max() ? Deadline::max() : After(bound_);
            std::optional<std::string> line = ReadLine(in_, deadline);
            if (!line) ADD_FAILURE() << "no line from the other process within " << bound_.count() << " ms";
            return line.value_or("");
        }

    private:
        int in_, out_;
        std::chrono::milliseconds bound_;
    };

    // Runs body(channel) in a child, which then exits with status 0 (or
    // whatever body passes to _exit).
    // The test waits for each line and for the end at most `deadline`.
    explicit ChildProcess(const std::function<void(const Channel&)>& body,
                          std::chrono::milliseconds deadline = kDeadline)
        : deadline_(deadline) {
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
        if (pid_ > 0 && !reaped_) EndChild(pid_, SIGKILL, std::chrono::seconds(0));
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    Channel channel() const { return Channel(from_child_, to_child_, deadline_); }
    void Send(const std::string& line) const { channel().Send(line); }
    std::string Receive() const { return channel().Receive(); }

    // The child's exit status, or 128 + signal when it was killed; -1 when
    // it did not end within kDeadline (it is killed then).
    int Wait() {
        const std::optional<int> status = WaitForChild(pid_, After(deadline_));
        if (!status) {
            ADD_FAILURE() << "the child did not end within " << deadline_.count() << " ms";
            EndChild(pid_, SIGKILL, std::chrono::seconds(0));
        }
        reaped_ = true;
        return status ? ExitCode(*status) : -1;
    }
    void Kill() {
        reaped_ = true;
        EndChild(pid_, SIGKILL, std::chrono::seconds(0));
    }
    pid_t pid() const { return pid_; }

private:
    std::chrono::milliseconds deadline_;
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

// Runs `operation` in a child process once whole, to learn how long it takes,
// then `kills` more times, each killed at a random moment within that time
// (and a quarter more). `reset` puts the files back before every run and
// `check` looks at what each run left. The operation's result goes back to
// the parent as "done" or "failed ...".
inline void KillAtRandomMoments(int kills, const std::function<void()>& reset,
                                const std::function<std::string()>& operation,
                                const std::function<void(const std::string& when)>& check) {
    const auto start_child = [&] {
        reset();
        return std::make_unique<ChildProcess>([&](const ChildProcess::Channel& ch) {
            ch.Send("ready");
            ch.Send(operation());
        });
    };
    auto child = start_child();
    ASSERT_EQ(child->Receive(), "ready");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(child->Receive(), "done");
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(child->Wait(), 0);
    check("whole run");

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, took.count() * 5 / 4);
    for (int run = 0; run < kills; ++run) {
        child = start_child();
        ASSERT_EQ(child->Receive(), "ready");
        const long us = delay(random);
        std::this_thread::sleep_for(std::chrono::microseconds(us));
        child->Kill();
        check("killed after " + std::to_string(us) + " us");
    }
}

// Kills `operation` before each call that changes a file, one run per call:
// run n runs `prepare` and then `operation` in a child process that dies by
// SIGKILL just before its n-th write, truncation, rename, creation or
// removal of a file. Runs go on until one gets through; `reset` puts the
// files back before every run and `check` looks at what each run left
// ("killed before change n" or "whole run"). The number of runs killed.
inline int KillBeforeEachChange(const std::function<void()>& reset, const std::function<void()>& prepare,
                                const std::function<void()>& operation,
                                const std::function<void(const std::string& when)>& check, int most = 400) {
    for (int n = 1; n <= most; ++n) {
        reset();
        ChildProcess child([&](const ChildProcess::Channel& ch) {
            prepare();
            platform::InjectFileCrash(platform::FileOp::Change, n);
            operation();
            platform::ClearFileFaults();
            ch.Send("whole");
        });
        const bool whole = child.Receive() == "whole";
        const int status = child.Wait();
        if (whole) {
            EXPECT_EQ(status, 0);
            check("whole run");
            return n - 1;
        }
        EXPECT_EQ(status, 128 + SIGKILL) << "run " << n;
        check("killed before change " + std::to_string(n));
        if (::testing::Test::HasFatalFailure()) return n;
    }
    ADD_FAILURE() << "the operation changed files more than " << most << " times";
    return most;
}

}  // namespace testing_support
