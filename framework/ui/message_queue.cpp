// The message queue: sending, posting from any thread, peeking in the order
// posted, quit, paint, timers, and waiting for more.
#include <algorithm>
#include <chrono>

#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace {

std::optional<uint64_t> NextTimerDue() {
    std::optional<uint64_t> due;
    for (const Timer& t : Desk().timers)
        if (!due || t.due < *due) due = t.due;
    return due;
}

bool AnythingPosted() {
    std::lock_guard lock(Ui().queue.mu);
    return !Ui().queue.posted.empty() || Ui().queue.quit;
}

// Waits for something that may produce a message; false when nothing can.
bool WaitForMore() {
    const auto due = NextTimerDue();
    if (due && Ui().clock->Skip(*due)) return true;
    const bool real_clock = dynamic_cast<SteadyClock*>(Ui().clock) != nullptr;
    if (Ui().display) {
        int timeout = -1;
        if (due && real_clock) timeout = int(std::min<uint64_t>(*due - std::min(*due, NowMs()), 1u << 30));
        return Ui().display->Wait(timeout);
    }
    std::unique_lock lock(Ui().queue.mu);
    auto ready = [] { return !Ui().queue.posted.empty() || Ui().queue.quit; };
    if (due && real_clock) {
        const auto wait = std::chrono::milliseconds(*due - std::min(*due, NowMs()));
        Ui().queue.cv.wait_for(lock, wait, ready);
        return true;
    }
    return Ui().queue.cv.wait_for(lock, std::chrono::milliseconds(Ui().stall_ms), ready);
}

}  // namespace

namespace detail {

bool IsInput(UINT m) {
    return IsRawInput(m) || (m >= WM_KEYDOWN && m <= 0x0109) || (m >= WM_MOUSEMOVE && m <= 0x020E) ||
        (m >= WM_NCMOUSEMOVE && m <= 0x00A9);
}

void Wake() {
    Ui().queue.cv.notify_all();
    if (Ui().display) Ui().display->Wake();
}

}  // namespace detail

// ---------------------------------------------------------------- messages

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Win* w = Find(h);
    if (!w) return 0;
    const auto top = w->top;
    return top->proc(h, msg, wp, lp, NextProc(top->below));
}

bool PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    {
        std::lock_guard lock(Ui().queue.mu);
        Ui().queue.posted.push_back({h, msg, wp, lp, 0, {}});
    }
    Wake();
    return true;
}

namespace detail {

void PostInput(HWND h, UINT msg, WPARAM wp, LPARAM lp, TPoint screen) {
    {
        std::lock_guard lock(Ui().queue.mu);
        Ui().queue.posted.push_back({h, msg, wp, lp, 0, screen});
    }
    Wake();
}

}  // namespace detail

bool PostThreadMessage(UINT msg, WPARAM wp, LPARAM lp) { return PostMessage(0, msg, wp, lp); }

void PostQuitMessage(int code) {
    {
        std::lock_guard lock(Ui().queue.mu);
        Ui().queue.quit = true;
        Ui().queue.quit_code = code;
    }
    Wake();
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
    for (bool again = true; again;) {
        again = false;
        std::unique_lock lock(Ui().queue.mu);
        auto& q = Ui().queue.posted;
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
        if (Ui().queue.quit && posted_ok && (hwnd == 0 || hwnd == HWND(-1)) && in_range(WM_QUIT)) {
            m = {0, WM_QUIT, WPARAM(Ui().queue.quit_code), 0, uint32_t(NowMs()), {}};
            if (remove) Ui().queue.quit = false;
            return true;
        }
    }
    if (paint_ok && in_range(WM_PAINT) && hwnd != HWND(-1)) {
        if (HWND h = FindPaint(hwnd)) {
            m = {h, WM_PAINT, 0, 0, uint32_t(NowMs()), {}};
            return true;
        }
    }
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
        if (Ui().display) Ui().display->Wait(0);
        if (PeekMessage(m, hwnd, min, max, PM_REMOVE)) return m.message == WM_QUIT ? 0 : 1;
        if (!WaitForMore() && !AnythingPosted()) {
            if (!PeekMessage(m, hwnd, min, max, PM_REMOVE)) return -1;
            return m.message == WM_QUIT ? 0 : 1;
        }
    }
}

LRESULT DispatchMessage(const MSG& m) {
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
    const LRESULT r = SendMessage(m.hwnd, m.message, m.wParam, m.lParam);
    if (m.message == WM_PAINT) {
        // A procedure that did not paint must not get the same message forever.
        if (Win* w = Find(m.hwnd)) w->update.Clear(), w->nc_dirty = false, w->erase = false;
    }
    return r;
}

uint32_t GetMessageTime() { return Desk().msg_time; }

}  // namespace ui
