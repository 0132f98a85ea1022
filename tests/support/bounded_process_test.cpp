// The tests' waits on other processes end by their deadline: a program that
// hangs, keeps its output open or never answers fails the test in time
// instead of hanging the run.
#include "tests/support/bounded_process.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/child_process.hpp"

namespace {

using namespace std::chrono_literals;
using testing_support::After;
using testing_support::ChildProcess;
using testing_support::RunBounded;

TEST(BoundedProcessTest, AProgramEndsOrIsEndedByItsDeadline) {
    struct Case {
        const char* name;
        std::string script;
        int code;  // what RunBounded answers
        std::string output;
        std::optional<int> code_without_output;  // none: its child would hold the test's output
        std::chrono::seconds bound;
    };
    const Case cases[] = {
        {"ends", "echo done; exit 3", 3, "done\n", 3, 60s},
        {"killed by a signal", "kill -9 $$", 128 + SIGKILL, "", 128 + SIGKILL, 60s},
        {"hangs", "echo begun; exec sleep 100", -1, "begun\n", -1, 1s},
        // A program it started keeps the output open after it ended: both go.
        {"output held by its child", "sleep 30 & echo begun", -1, "begun\n", std::nullopt, 2s},
        {"hangs after closing its output", "exec >&-; sleep 100", -1, "", -1, 1s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string output;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunBounded({"/bin/sh", "-c", c.script}, After(c.bound), &output), c.code);
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.bound + 20s);
        EXPECT_EQ(output, c.output);
        if (c.code_without_output) {
            EXPECT_EQ(RunBounded({"/bin/sh", "-c", c.script}, After(c.bound)), *c.code_without_output)
                << "without its output";
        }
    }
    EXPECT_EQ(RunBounded({"/nonexistent/program"}, After(1s)), -1) << "a program that does not start";
}

TEST(BoundedProcessTest, ALineOrTheChildsEndThatDoesNotComeFailsTheTestInTime) {
    struct Case {
        const char* name;
        std::function<void(ChildProcess&)> wait;
        const char* failure;
    };
    const Case cases[] = {
        {"a line", [](ChildProcess& c) { EXPECT_EQ(c.Receive(), ""); }, "no line from the other process"},
        {"the end", [](ChildProcess& c) { EXPECT_EQ(c.Wait(), -1); }, "the child did not end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChildProcess child([](const ChildProcess::Channel&) { pause(); }, 1s);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NONFATAL_FAILURE(c.wait(child), c.failure);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    }
}

}  // namespace
