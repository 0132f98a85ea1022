// Other threads: posting within the quota, waking a display that may be
// removed meanwhile, and threads that have the user-interface thread run a
// routine and wait for it.
#include "framework/ui/thread.hpp"

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class ThreadTest : public testing_ui::UiTest {
protected:
    // Blocks until `n` routines of other threads wait for this thread.
    static void WaitForCalls(size_t n) {
        auto& q = *detail::Ui().queue;
        std::unique_lock lock(q.mu);
        q.cv.wait(lock, [&] { return q.calls.size() >= n; });
    }
};

TEST_F(ThreadTest, PostingStopsAtTheQuotaAndResumesWhenMessagesAreTaken) {
    for (size_t i = 0; i < kPostedQuota; ++i) ASSERT_TRUE(PostThreadMessage(WM_APP, i)) << i;
    EXPECT_FALSE(PostThreadMessage(WM_APP, 0));
    EXPECT_FALSE(PostMessage(0, WM_APP));
    std::thread other([] { EXPECT_FALSE(PostThreadMessage(WM_APP + 1)); });
    other.join();
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_TRUE(PostThreadMessage(WM_APP + 2));
    EXPECT_FALSE(PostThreadMessage(WM_APP + 3));
    PostQuitMessage(1);  // the quit is no posted message: never refused
    size_t taken = 0;
    while (PeekMessage(m, 0, 0, 0, PM_REMOVE) && m.message != WM_QUIT) ++taken;
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(taken, kPostedQuota);
}

// A display that must never be woken once it has been taken away.
struct WatchedDisplay final : testing_ui::RecordingDisplay {
    std::atomic<bool> removed{false};
    std::atomic<int> wakes{0};
    std::atomic<int>* late_wakes = nullptr;
    void Wake() override {
        ++wakes;
        std::this_thread::sleep_for(std::chrono::microseconds(20));  // widens the window a racing wake needs
        if (removed) ++*late_wakes;
    }
};

TEST_F(ThreadTest, AThreadWakingTheLoopNeverReachesARemovedDisplay) {
    std::atomic<bool> stop{false};
    std::atomic<int> late_wakes{0};
    std::thread poster([&] {
        while (!stop) {
            if (!PostThreadMessage(WM_APP)) {
                std::this_thread::yield();
                continue;
            }
        }
    });
    std::vector<std::unique_ptr<WatchedDisplay>> displays;
    for (int i = 0; i < 300; ++i) {
        auto d = std::make_unique<WatchedDisplay>();
        d->late_wakes = &late_wakes;
        InstallDisplay(d.get());
        // Drains are bounded: the other thread may post as fast as this one
        // takes, and the queue need never run empty.
        MSG m;
        auto drain = [&m] {
            for (int k = 0; k < 64 && PeekMessage(m, 0, 0, 0, PM_REMOVE); ++k) {}
        };
        while (d->wakes == 0) drain();  // until the other thread is at it, with room in the queue
        drain();
        InstallDisplay(nullptr);
        d->removed = true;
        d.reset();  // gone, as a display closed by the program is
    }
    stop = true;
    poster.join();
    EXPECT_EQ(late_wakes, 0);
}

TEST_F(ThreadTest, SynchronizeRunsOnTheUserInterfaceThreadBetweenMessages) {
    SetStallLimit(5000);
    const auto ui_thread = std::this_thread::get_id();
    std::thread::id ran_on;
    int value = 0;
    bool terminated_on_ui = false;
    TThread t([&](TThread& self) {
        self.Synchronize([&] {
            ran_on = std::this_thread::get_id();
            value = 41;
        });
        self.Synchronize([&] { ++value; });
        EXPECT_THROW(self.Synchronize([] { throw EInvalidOperation("in the routine"); }), EInvalidOperation);
        self.ReturnValue = 7;
        PostThreadMessage(WM_APP + 9);
    });
    t.OnTerminate = [&](TThread&) { terminated_on_ui = std::this_thread::get_id() == ui_thread; };
    t.Start();
    MSG m;
    ASSERT_EQ(GetMessage(m), 1);  // the routines ran while the loop waited
    EXPECT_EQ(m.message, WM_APP + 9u);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(ran_on, ui_thread);
    EXPECT_EQ(t.WaitFor(), 7);  // runs OnTerminate while it waits
    EXPECT_TRUE(terminated_on_ui);
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.FatalException(), nullptr);
}

TEST_F(ThreadTest, RoutinesWaitWhileOnlyPaintAndTimersAreTaken) {
    int value = 0;
    TThread t([&](TThread& self) { self.Synchronize([&] { value = 1; }); });
    t.Start();
    WaitForCalls(1);
    Application().ProcessMessages(platform::EventFilter::PaintAndTimer);  // an engine wait
    EXPECT_EQ(value, 0);
    Pump();
    EXPECT_EQ(value, 1);
    t.WaitFor();
}

TEST_F(ThreadTest, AResetEndsTheWaitOfARoutineNotRun) {
    bool ran = false, refused = false;
    TThread t([&](TThread& self) {
        try {
            self.Synchronize([&] { ran = true; });
        } catch (const EInvalidOperation&) {
            refused = true;
        }
    });
    t.Start();
    WaitForCalls(1);
    UiReset();
    t.WaitFor();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(refused);
}

TEST_F(ThreadTest, TerminateAsksTheRoutineToStopAndTheDestructorWaits) {
    std::atomic<int> rounds{0};
    std::exception_ptr error;
    {
        TThread t([&](TThread& self) {
            while (!self.Terminated()) ++rounds, std::this_thread::yield();
            throw EAbort();
        });
        t.Start();
        while (rounds == 0) std::this_thread::yield();
        t.Terminate();
        t.WaitFor();
        error = t.FatalException();
    }
    EXPECT_NE(error, nullptr);  // what the routine threw is kept
    TThread never([](TThread&) {});
    EXPECT_EQ(never.WaitFor(), 0);  // not started: nothing to wait for
}

}  // namespace
}  // namespace ui
