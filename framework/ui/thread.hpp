#pragma once
// Threads of the class library: a routine run on a thread of its own, which
// can have the user-interface thread run a routine and wait for it
// (Synchronize), as the download and online-state controls need.
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ui {

namespace detail {
struct PostedQueue;
}

class TThread {
public:
    // `execute` runs on the new thread once Start is called. Made on the
    // user-interface thread, while the window system runs.
    explicit TThread(std::function<void(TThread&)> execute);
    // Asks the thread to stop and waits for it.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    // Sets Terminated; the routine is expected to look at it and return.
    void Terminate();
    bool Terminated() const;
    bool Finished() const;
    // Waits for the routine to end and returns ReturnValue. On the
    // user-interface thread the thread's Synchronize calls run meanwhile.
    int WaitFor();

    // From the thread: runs `routine` on the user-interface thread, between
    // its messages, and waits for it; an exception it throws comes back here.
    // On the user-interface thread it runs at once. A reset or shutdown of the
    // window system ends the wait with EInvalidOperation, the routine not run.
    void Synchronize(std::function<void()> routine);
    // From the thread: has the user-interface thread run `routine` between
    // its messages, without waiting for it (at once on that thread). Dropped
    // by a reset or shutdown of the window system; an exception it throws
    // goes to the application's exception handler.
    void Queue(std::function<void()> routine);

    int ReturnValue = 0;
    // Set before Start: the thread deletes this object itself once it has
    // ended (after OnTerminate), and nobody may wait for it or delete it.
    bool FreeOnTerminate = false;
    // Runs on the user-interface thread once the routine has ended.
    std::function<void(TThread&)> OnTerminate;
    // What the routine threw, if anything.
    std::exception_ptr FatalException() const;

private:
    void Run();
    std::function<void(TThread&)> execute_;
    std::shared_ptr<detail::PostedQueue> queue_;  // the user-interface thread's, kept alive
    std::thread thread_;
    bool terminated_ = false, finished_ = false;  // under the queue's lock
    std::exception_ptr fatal_;
};

}  // namespace ui
