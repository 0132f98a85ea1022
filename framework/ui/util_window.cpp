// Hidden windows whose messages go to a function, and the timer component
// built on one.
#include "framework/ui/controls.hpp"

namespace ui {

HWND AllocateHWnd(std::function<void(TMessage&)> proc) {
    if (!IsWindowClassRegistered("TPUtilWindow")) RegisterWindowClass({"TPUtilWindow", nullptr, 0, std::nullopt});
    const HWND h = CreateWindow({"TPUtilWindow", "", WS_POPUP, 0, {}, 0, 0, 0});
    if (!h) throw EOutOfResources("Error creating window");
    auto shared = std::make_shared<std::function<void(TMessage&)>>(std::move(proc));
    SubclassWindow(h, [shared](HWND hwnd, UINT msg, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        if (!*shared) return next(hwnd, msg, w, l);
        TMessage m{msg, w, l, 0};
        (*shared)(m);
        return m.Result;
    });
    return h;
}

void DeallocateHWnd(HWND h) { DestroyWindow(h); }

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    window_ = AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            if (on_timer_) on_timer_(this);
            return;
        }
        m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
    });
}

TTimer::~TTimer() {
    KillTimer(window_, 1);
    DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
    KillTimer(window_, 1);
    if (enabled_ && interval_ != 0 && on_timer_) SetTimer(window_, 1, interval_);
}

void TTimer::SetEnabled(bool v) {
    if (v != enabled_) enabled_ = v, UpdateTimer();
}
void TTimer::SetInterval(unsigned v) {
    if (v != interval_) interval_ = v, UpdateTimer();
}
void TTimer::SetOnTimer(TNotifyEvent e) {
    on_timer_ = std::move(e);
    UpdateTimer();
}

}  // namespace ui
