// The message queue: sending, posting from any thread (up to a quota),
// routines other threads have the user-interface thread run, peeking in the
// order posted, quit, paint, timers, and waiting for more.
#include <algorithm>
#include <chrono>

#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace {

std::optional<uint64_t> NextTimerDue() {
    std::optional<uint64_t> due;
    // Idle timers count only where the loop waits for a display anyway.
    const bool idle_ok = TheDisplay() != nullptr;
    for (const Timer& t : Desk().timers)
        if ((idle_ok || !t.idle) && (!due || t.due < *due)) due = t.due;
    return due;
}

bool Ready(const PostedQueue& q) { return !q.posted.empty() || q.quit || !q.calls.empty(); }

bool AnythingPosted() {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    return Ready(q);
}

// Waits for something that may produce a message; false when nothing can.
bool WaitForMore() {
    const auto due = NextTimerDue();
    if (due && Ui().clock->Skip(*due)) return true;
    const bool real_clock = dynamic_cast<SteadyClock*>(Ui().clock) != nullptr;
    if (Display* display = TheDisplay()) {
        int timeout = -1;
        if (due && real_clock) timeout = int(std::min<uint64_t>(*due - std::min(*due, NowMs()), 1u << 30));
        return display->Wait(timeout);
    }
    PostedQueue& q = *Ui().queue;
    std::unique_lock lock(q.mu);
    auto ready = [&q] { return Ready(q); };
    if (due && real_clock) {
        const auto wait = std::chrono::milliseconds(*due - std::min(*due, NowMs()));
        q.cv.wait_for(lock, wait, ready);
        return true;
    }
    return q.cv.wait_for(lock, std::chrono::milliseconds(Ui().stall_ms), ready);
}

}  // namespace

namespace detail {

bool IsInput(UINT m) {
    return IsRawInput(m) || (m >= WM_KEYDOWN && m <= 0x0109) || (m >= WM_MOUSEMOVE && m <= 0x020E) ||
        (m >= WM_NCMOUSEMOVE && m <= 0x00A9);
}

void WakeLocked(PostedQueue& q) {
    q.cv.notify_all();
    if (q.display) q.display->Wake();
}

void Wake() {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    WakeLocked(q);
}

bool OnUiThread(const PostedQueue& q) { return std::this_thread::get_id() == q.ui_thread.load(); }

void RunCalls(PostedQueue& q) {
    for (;;) {
        std::shared_ptr<SyncCall> call;
        {
            std::lock_guard lock(q.mu);
            if (q.calls.empty()) return;
            call = std::move(q.calls.front());
            q.calls.pop_front();
        }
        try {
            call->routine();
        } catch (...) {
            call->error = std::current_exception();
        }
        {
            std::lock_guard lock(q.mu);
            call->done = true;
        }
        q.cv.notify_all();
    }
}

void CallOnUiThread(const std::shared_ptr<PostedQueue>& queue, std::function<void()> routine) {
    PostedQueue& q = *queue;
    if (OnUiThread(q)) {
        routine();
        return;
    }
    auto call = std::make_shared<SyncCall>();
    call->routine = std::move(routine);
    std::unique_lock lock(q.mu);
    if (q.closed) throw EInvalidOperation("The user interface has shut down");
    q.calls.push_back(call);
    WakeLocked(q);
    q.cv.wait(lock, [&] { return call->done; });
    if (call->error) std::rethrow_exception(call->error);
}

void QueueOnUiThread(PostedQueue& q, std::function<void()> routine) {
    auto call = std::make_shared<SyncCall>();
    call->routine = std::move(routine);
    std::lock_guard lock(q.mu);
    if (q.closed) return;  // released after the lock
    q.calls.push_back(std::move(call));
    WakeLocked(q);
}

void AbandonCalls(PostedQueue& q, bool close) {
    std::deque<std::shared_ptr<SyncCall>> dropped;  // released after the lock: a routine may own anything
    {
        std::lock_guard lock(q.mu);
        q.closed = q.closed || close;
        for (auto& call : q.calls) {
            call->error = std::make_exception_ptr(EInvalidOperation("The user interface was reset"));
            call->done = true;
        }
        dropped.swap(q.calls);
    }
    q.cv.notify_all();
}

}  // namespace detail

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    RequireUiThread("SendMessage");
    Win* w = Find(h);
    if (!w) return 0;
    const auto top = w->top;
    return top->proc(h, msg, wp, lp, NextProc(top->below));
}

bool PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    if (q.posted.size() >= kPostedQuota) return false;
    q.posted.push_back({h, msg, wp, lp, 0, {}});
    WakeLocked(q);
    return true;
}

namespace detail {

void PostInput(HWND h, UINT msg, WPARAM wp, LPARAM lp, TPoint screen) {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    if (q.posted.size() >= kPostedQuota) return;  // input beyond the quota is lost, as a full system queue loses it
    q.posted.push_back({h, msg, wp, lp, 0, screen});
    WakeLocked(q);
}

void PushInputFront(const MSG& raw) {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    q.posted.push_front(raw);
    WakeLocked(q);
}

}  // namespace detail

bool PostThreadMessage(UINT msg, WPARAM wp, LPARAM lp) { return PostMessage(0, msg, wp, lp); }

void PostQuitMessage(int code) {
    PostedQueue& q = *Ui().queue;
    std::lock_guard lock(q.mu);
    q.quit = true;
    q.quit_code = code;
    WakeLocked(q);
}

bool PeekMessage(MSG& m, HWND hwnd, UINT min, UINT max, UINT flags) {
    auto in_range = [&](UINT x) { return (min == 0 && max == 0) || (x >= min && x <= max); };
    const UINT kinds = flags & 0xFFFF0000u;
    const bool posted_ok = !kinds || (kinds & (0x00080000u));
    const bool input_ok = !kinds || (kinds & PM_QS_INPUT);
    const bool paint_ok = !kinds || (kinds & PM_QS_PAINT);
    const bool timer_ok = !kinds || (kinds & PM_QS_TIMER);
    const bool remove = flags & PM_REMOVE;
    auto hwnd_ok = [&](HWND h) { return hwnd == 0 || (hwnd == HWND(-1) ? h == 0 : h == hwnd); };
    // Other threads' routines run where their posted messages would be taken,
    // never in a wait for paint or timers only.
    if (posted_ok && (hwnd == 0 || hwnd == HWND(-1))) RunCalls(*Ui().queue);
    for (bool again = true; again;) {
        again = false;
        PostedQueue& queue = *Ui().queue;
        std::unique_lock lock(queue.mu);
        auto& q = queue.posted;
        for (auto it = q.begin(); it != q.end();) {
            const bool input = IsInput(it->message);
            if (input && input_ok && IsRawInput(it->message)) {
                // Raw input becomes messages now, in its place in the queue.
                const size_t at = size_t(it - q.begin());
                const MSG raw = *it;
                q.erase(it);
                lock.unlock();
                const std::vector<MSG> cooked = CookInput(raw);
                lock.lock();
                q.insert(q.begin() + ptrdiff_t(std::min(at, q.size())), cooked.begin(), cooked.end());
                again = true;
                break;
            }
            if (!hwnd_ok(it->hwnd) || !in_range(it->message) || (input ? !input_ok : !posted_ok)) {
                ++it;
                continue;
            }
            if (it->hwnd != 0 && !Find(it->hwnd)) {  // its window is gone
                if (remove)
                    it = q.erase(it);
                else
                    ++it;
                continue;
            }
            m = *it;
            if (remove) q.erase(it);
            m.time = uint32_t(NowMs());
            return true;
        }
        if (again) continue;
        if (queue.quit && posted_ok && (hwnd == 0 || hwnd == HWND(-1)) && in_range(WM_QUIT)) {
            m = {0, WM_QUIT, WPARAM(queue.quit_code), 0, uint32_t(NowMs()), {}};
            if (remove) queue.quit = false;
            return true;
        }
    }
    if (paint_ok && in_range(WM_PAINT) && hwnd != HWND(-1)) {
        if (HWND h = FindPaint(hwnd)) {
            m = {h, WM_PAINT, 0, 0, uint32_t(NowMs()), {}};
            return true;
        }
    }
    // Every window that was due has painted: this turn's frame is complete.
    PresentWhenPainted();
    if (timer_ok && in_range(WM_TIMER)) {
        const uint64_t now = NowMs();
        Timer* best = nullptr;
        for (Timer& t : Desk().timers)
            if (t.due <= now && hwnd_ok(t.hwnd) && (!best || t.due < best->due)) best = &t;
        if (best) {
            m = {best->hwnd, WM_TIMER, best->id, 0, uint32_t(now), {}};
            if (remove) best->due = now + best->interval;
            return true;
        }
    }
    return false;
}

bool WaitMessage() {
    MSG m;
    if (PeekMessage(m, 0, 0, 0, PM_NOREMOVE)) return true;
    return WaitForMore();
}

int GetMessage(MSG& m, HWND hwnd, UINT min, UINT max) {
    for (;;) {
        if (Display* display = TheDisplay()) display->Wait(0);
        if (PeekMessage(m, hwnd, min, max, PM_REMOVE)) return m.message == WM_QUIT ? 0 : 1;
        if (!WaitForMore() && !AnythingPosted()) {
            if (!PeekMessage(m, hwnd, min, max, PM_REMOVE)) return -1;
            return m.message == WM_QUIT ? 0 : 1;
        }
    }
}

LRESULT DispatchMessage(const MSG& m) {
    RequireUiThread("DispatchMessage");
    Desk().msg_time = m.time;
    if (TrackInput(m)) return 0;
    if (m.message == WM_TIMER) {
        for (const Timer& t : Desk().timers) {
            if (t.hwnd == m.hwnd && t.id == UINT(m.wParam) && t.proc) {
                TimerProc proc = t.proc;  // the handler may kill the timer
                proc(m.hwnd, t.id);
                return 0;
            }
        }
    }
    if (m.hwnd == 0) return 0;
    if (m.message == WM_PAINT) {
        SendPaint(m.hwnd);
        return 0;
    }
    return SendMessage(m.hwnd, m.message, m.wParam, m.lParam);
}

uint32_t GetMessageTime() { return Desk().msg_time; }

}  // namespace ui
