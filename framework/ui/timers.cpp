// Timers and the clocks they run on.
#include <algorithm>
#include <chrono>
#include <thread>

#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

// ---------------------------------------------------------------- timers and the clock

uint64_t SteadyClock::Now() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::Spin() { std::this_thread::yield(); }

bool VirtualClock::Skip(uint64_t deadline) {
    if (!auto_) return false;
    now_ = std::max(now_, deadline);
    return true;
}

Clock* InstallClock(Clock* clock) { return std::exchange(Ui().clock, clock ? clock : &Ui().steady); }
uint64_t NowMs() { return Ui().clock->Now(); }
uint32_t GetTickCount() { return uint32_t(NowMs()); }
void SpinClock() { Ui().clock->Spin(); }

UINT SetTimer(HWND hwnd, UINT id, UINT interval, TimerProc proc) {
    if (hwnd != 0 && !Find(hwnd)) return 0;
    if (hwnd == 0) id = Desk().next_timer_id++;
    interval = std::max<UINT>(interval, 10);
    const uint64_t due = NowMs() + interval;
    for (Timer& t : Desk().timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.interval = interval, t.due = due, t.proc = std::move(proc);
            return id;
        }
    }
    Desk().timers.push_back({hwnd, id, interval, due, std::move(proc)});
    return id;
}

bool KillTimer(HWND hwnd, UINT id) {
    auto& v = Desk().timers;
    auto it = std::find_if(v.begin(), v.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

void SetStallLimit(int ms) { Ui().stall_ms = std::max(0, ms); }

}  // namespace ui
