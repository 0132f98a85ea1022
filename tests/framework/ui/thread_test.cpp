// Other threads: posting within the quota, waking a display that may be
// removed meanwhile, and threads that have the user-interface thread run a
// routine and wait for it.
#include "framework/ui/thread.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/state.hpp"
#include "framework/ui/forms.hpp"
#include "platform/thread_check.hpp"
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

TEST_F(ThreadTest, QueuedRoutinesRunLaterInOrderWithoutHoldingTheThreadUp) {
    std::vector<int> ran;
    std::atomic<bool> queued{false};
    TThread t([&](TThread& self) {
        for (int i = 1; i <= 3; ++i) self.Queue([&ran, i] { ran.push_back(i); });
        self.Queue([] { throw EInvalidOperation("from a queued routine"); });
        queued = true;
    });
    t.Start();
    while (!queued) std::this_thread::yield();  // the thread went on without the loop
    EXPECT_TRUE(ran.empty());
    Pump();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(box_.shown.size(), 1u);  // the application's exception handler had it
    EXPECT_EQ(box_.shown[0].text, "from a queued routine");
    t.WaitFor();
    bool at_once = false;
    t.Queue([&] { at_once = true; });  // on the user-interface thread
    EXPECT_TRUE(at_once);
}

TEST_F(ThreadTest, AResetDropsQueuedRoutinesAndAThreadMayFreeItself) {
    struct Counted : TThread {
        explicit Counted(std::function<void(TThread&)> f, std::atomic<int>& alive)
            : TThread(std::move(f)), alive_(alive) {
            ++alive_;
        }
        ~Counted() override { --alive_; }
        std::atomic<int>& alive_;
    };
    std::atomic<int> alive{0};
    bool ran = false, terminated = false;
    auto* t = new Counted([&](TThread& self) { self.Queue([&] { ran = true; }); }, alive);
    t->FreeOnTerminate = true;
    t->OnTerminate = [&](TThread&) { terminated = true; };
    t->Start();
    WaitForCalls(2);  // the queued routine, and OnTerminate waiting
    UiReset();        // drops the one and ends the wait of the other
    while (alive != 0) std::this_thread::yield();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(terminated);
}

// The window system's first use from two threads at once: a worker's first
// post and the user-interface thread's display. Whoever comes first, there is
// one state, the post waits in its queue, the display is the one installed,
// the standard classes are there, and the worker's routines run on the thread
// with the display. (Run under ThreadSanitizer too.)
TEST_F(ThreadTest, AColdStartRacedFromTwoThreadsStartsOneState) {
    enum class Order { WorkerFirst, DisplayFirst, Together };
    struct Case {
        const char* name;
        Order order;
        int rounds;
    } cases[] = {{"worker first", Order::WorkerFirst, 3},
                 {"display first", Order::DisplayFirst, 3},
                 {"together", Order::Together, 200}};
    const auto ui_thread = std::this_thread::get_id();
    for (const Case& c : cases) {
        for (int round = 0; round < c.rounds; ++round) {
            UiShutdown();
            testing_ui::RecordingDisplay display;
            std::atomic<bool> go{false}, posted{false}, installed{false}, done{false};
            std::thread::id ran_on;
            std::thread worker([&] {
                while (!(c.order == Order::DisplayFirst ? installed.load() : go.load())) std::this_thread::yield();
                PostThreadMessage(WM_APP, WPARAM(round));
                posted = true;
                while (!installed) std::this_thread::yield();
                detail::CallOnUiThread(detail::Ui().queue, [&] { ran_on = std::this_thread::get_id(); });
                done = true;
            });
            go = true;
            if (c.order == Order::WorkerFirst)
                while (!posted) std::this_thread::yield();
            InstallDisplay(&display);
            installed = true;
            bool seen = false;
            MSG m;
            while (!done || PeekMessage(m, 0, 0, 0, PM_NOREMOVE)) {
                while (PeekMessage(m, 0, 0, 0, PM_REMOVE))
                    seen = seen || (m.message == WM_APP && m.wParam == WPARAM(round));
                std::this_thread::yield();
            }
            worker.join();
            EXPECT_TRUE(seen) << c.name << " " << round;
            EXPECT_EQ(ran_on, ui_thread) << c.name << " " << round;
            EXPECT_EQ(CurrentDisplay(), &display) << c.name << " " << round;
            EXPECT_TRUE(IsWindowClassRegistered("EDIT")) << c.name << " " << round;
            InstallDisplay(nullptr);
            if (HasFailure()) return;
        }
    }
}

// Debug builds hold the window system to its thread: a worker that sends,
// dispatches or creates a window ends the program, naming the call. What a
// worker may do passes: posting, and routines it has the user-interface
// thread run, which may send.
TEST_F(ThreadTest, AWorkerThatSendsDispatchesOrCreatesAWindowIsStopped) {
    if (!platform::kThreadChecks) GTEST_SKIP() << "release build: no checks";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts afresh, without this process's threads
    std::vector<UINT> got;
    RegisterWindowClass({"Counted",
                         [&got](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                             if (m >= WM_APP) got.push_back(m);
                             return next(h, m, w, l);
                         },
                         0, std::nullopt});
    CreateParams params;
    params.class_name = "Counted";
    const HWND h = CreateWindow(params);
    ASSERT_NE(h, 0u);
    struct Case {
        const char* call;
        std::function<void()> routine;
    } cases[] = {
        {"SendMessage", [h] { SendMessage(h, WM_APP); }},
        {"DispatchMessage", [m = MSG{h, WM_APP, 0, 0, 0, {}}] { DispatchMessage(m); }},
        {"CreateWindow", [params] { CreateWindow(params); }},
    };
    for (const Case& c : cases) {
        auto from_a_worker = [&c] { std::thread(c.routine).join(); };
        const std::string said = std::string("Wrong thread: ") + c.call + " was called on thread [0-9]+, but ";
        EXPECT_DEATH(from_a_worker(), said + "the user interface belongs to thread [0-9]+") << c.call;
    }
    TThread worker([h](TThread& self) {
        PostMessage(h, WM_APP + 1);
        self.Synchronize([h] { SendMessage(h, WM_APP + 2); });
        self.Queue([h] { SendMessage(h, WM_APP + 3); });
    });
    worker.Start();
    worker.WaitFor();
    Pump();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}));
}

}  // namespace
}  // namespace ui
