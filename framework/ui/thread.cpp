#include "framework/ui/thread.hpp"

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/forms.hpp"

namespace ui {

using namespace detail;

TThread::TThread(std::function<void(TThread&)> execute) : execute_(std::move(execute)), queue_(Ui().queue) {}

TThread::~TThread() {
    try {
        Terminate();
        if (thread_.joinable()) WaitFor();
    } catch (...) {
        // Deleted from its own thread: nothing to wait for, and a joinable
        // thread must not be left to end the process.
        if (thread_.joinable()) thread_.detach();
    }
}

void TThread::Start() {
    // Under the lock, so that a thread freeing itself finds thread_ assigned.
    std::lock_guard lock(queue_->mu);
    if (thread_.joinable()) throw EInvalidOperation("Thread already started");
    thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
    try {
        if (execute_) execute_(*this);
    } catch (...) {
        fatal_ = std::current_exception();
    }
    if (OnTerminate) {
        try {
            Synchronize([this] { OnTerminate(*this); });
        } catch (...) {
            if (!fatal_) fatal_ = std::current_exception();
        }
    }
    if (FreeOnTerminate) {
        {
            std::lock_guard lock(queue_->mu);
            thread_.detach();
        }
        delete this;
        return;
    }
    {
        std::lock_guard lock(queue_->mu);
        finished_ = true;
    }
    queue_->cv.notify_all();
}

void TThread::Terminate() {
    std::lock_guard lock(queue_->mu);
    terminated_ = true;
}

bool TThread::Terminated() const {
    std::lock_guard lock(queue_->mu);
    return terminated_;
}

bool TThread::Finished() const {
    std::lock_guard lock(queue_->mu);
    return finished_;
}

int TThread::WaitFor() {
    if (!thread_.joinable()) return ReturnValue;
    if (thread_.get_id() == std::this_thread::get_id()) throw EInvalidOperation("A thread cannot wait for itself");
    PostedQueue& q = *queue_;
    const bool ui_thread = OnUiThread(q);
    for (;;) {
        // The thread may be waiting for a routine only this thread can run.
        if (ui_thread) RunCalls(q);
        std::unique_lock lock(q.mu);
        q.cv.wait(lock, [&] { return finished_ || (ui_thread && !q.calls.empty()); });
        if (finished_) break;
    }
    thread_.join();
    return ReturnValue;
}

void TThread::Synchronize(std::function<void()> routine) { CallOnUiThread(queue_, std::move(routine)); }

void TThread::Queue(std::function<void()> routine) {
    auto guarded = [routine = std::move(routine)] {
        try {
            routine();
        } catch (const std::exception& e) {  // the program's errors and the standard library's
            Application().HandleException(e);
        }
    };
    if (OnUiThread(*queue_)) {
        guarded();
        return;
    }
    QueueOnUiThread(*queue_, std::move(guarded));
}

std::exception_ptr TThread::FatalException() const { return fatal_; }

}  // namespace ui
