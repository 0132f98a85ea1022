// The application's hints: which control's hint is due, the pauses before it
// shows and hides, and the hint window it shows in.
#include "framework/ui/detail/hint_state.hpp"
#include "framework/ui/forms.hpp"

namespace ui {

namespace {

// The control whose hint applies: the nearest with ShowHint on.
TControl* HintControlOf(TControl* c) {
    while (c && !c->ShowHint()) c = c->Parent();
    return c;
}

// The hint text: the control's own, else the nearest parent's.
std::string HintOf(TControl* c) {
    for (; c; c = c->Parent())
        if (!c->Hint.empty()) return c->Hint;
    return {};
}

// How far below the pointer's hot spot its picture reaches.
int CursorDepth(TControl* c) {
    const CursorResource* cur = CursorOf(Screen().Cursors(c ? c->Cursor() : crDefault));
    if (!cur || !cur->image) return 20;
    return cur->image->Height() - cur->hotspot.y;
}

bool IsPress(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
        m == WM_RBUTTONDBLCLK;
}

}  // namespace

void TApplication::SetShowHint(bool v) {
    if (v == show_hint_) return;
    show_hint_ = v;
    if (!v) {
        CancelHint();
        hints_->window.reset();
        hints_->window_class = nullptr;
    }
}

void TApplication::SetHint(const std::string& v) {
    if (v == hint_) return;
    hint_ = v;
    if (OnHint) OnHint(nullptr);
}

THintWindow* TApplication::HintWindow() const { return hints_->window.get(); }

void TApplication::HintMouseMessage(TControl* control, const TMessage& m) {
    detail::HintState& h = *hints_;
    const TPoint p = control->ClientToScreen({LOWORD_S(m.LParam), HIWORD_S(m.LParam)});
    if (IsPress(m.Msg)) {
        CancelHint();
        h.control = HintControlOf(control);
        h.done = true;
        return;
    }
    if (m.Msg != WM_MOUSEMOVE) return;
    SetHint(GetLongHint(HintOf(control)));
    if (!show_hint_) return;
    h.cursor = p;
    TControl* hc = HintControlOf(control);
    if (hc && HintOf(hc).empty()) hc = nullptr;
    if (hc != h.control) {
        // Straight from one hint to the next: the short pause.
        const bool was_showing = h.showing;
        CancelHint();
        h.control = hc;
        if (hc)
            h.pause_timer = SetTimer(0, 0, UINT(was_showing ? HintShortPause : HintPause),
                                     [this](HWND, UINT) { ActivateHint(hints_->cursor); });
        return;
    }
    if (!hc) return;
    if (h.showing && !h.cursor_rect.Contains(p)) {
        // Left the area the hint was for: the next one comes after the short pause.
        CancelHint();
        h.control = hc;
        h.pause_timer = SetTimer(0, 0, UINT(HintShortPause), [this](HWND, UINT) { ActivateHint(hints_->cursor); });
    } else if (!h.showing && !h.done && !h.pause_timer) {
        h.pause_timer = SetTimer(0, 0, UINT(HintPause), [this](HWND, UINT) { ActivateHint(hints_->cursor); });
    }
}

void TApplication::CheckHintMessage(const MSG& m) {
    detail::HintState& h = *hints_;
    if (!h.showing && !h.pause_timer) return;
    const bool key = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    const bool nc_press = m.message == WM_NCLBUTTONDOWN || m.message == WM_NCRBUTTONDOWN;
    if (!key && !nc_press && m.message != WM_ACTIVATEAPP) return;
    TControl* keep = h.control;
    CancelHint();
    h.control = keep;
    h.done = true;
}

void TApplication::ActivateHint(TPoint cursor) {
    detail::HintState& h = *hints_;
    if (h.pause_timer) KillTimer(0, std::exchange(h.pause_timer, 0));
    TControl* c = h.control;
    if (!c || !show_hint_ || !ApplicationWindowActive() || !c->Showing()) return;
    h.done = true;
    THintInfo info;
    info.HintControl = c;
    info.HintWindowClass = HintWindowClass();
    info.HintPos = {cursor.x, cursor.y + CursorDepth(c)};
    info.HintMaxWidth = Screen().Width();
    info.HintColor = HintColor;
    info.CursorRect = c->ClientRect();
    info.CursorPos = c->ScreenToClient(cursor);
    info.HideTimeout = HintHidePause;
    info.HintStr = GetShortHint(HintOf(c));
    bool can_show = c->Perform(CM_HINTSHOW, 0, LPARAM(&info)) == 0;
    if (can_show && OnShowHint) OnShowHint(info.HintStr, can_show, info);
    if (!can_show || info.HintStr.empty() || hints_->control != c) return;
    if (!info.HintWindowClass) info.HintWindowClass = &NewHintWindow<THintWindow>;
    if (!h.window || h.window_class != info.HintWindowClass) {
        h.window.reset(info.HintWindowClass(nullptr));
        h.window_class = info.HintWindowClass;
    }
    h.window->SetColor(info.HintColor);
    TRect r = h.window->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
    r = r.Offset(info.HintPos.x, info.HintPos.y);
    h.window->ActivateHintData(r, info.HintStr, info.HintData);
    h.showing = true;
    const TPoint o = c->ClientToScreen({0, 0});
    h.cursor_rect = info.CursorRect.Offset(o.x, o.y);
    if (info.HideTimeout > 0)
        h.hide_timer = SetTimer(0, 0, UINT(info.HideTimeout), [this](HWND, UINT) {
            TControl* keep = hints_->control;
            CancelHint();
            hints_->control = keep;
            hints_->done = true;
        });
}

void TApplication::CancelHint() {
    detail::HintState& h = *hints_;
    if (h.pause_timer) KillTimer(0, std::exchange(h.pause_timer, 0));
    if (h.hide_timer) KillTimer(0, std::exchange(h.hide_timer, 0));
    if (h.window) h.window->ReleaseHandle();
    h.showing = false;
    h.done = false;
    h.control = nullptr;
}

void TApplication::ControlDestroying(TControl* control) {
    if (!hints_) return;
    if (hints_->control == control) CancelHint();
    if (hints_->window.get() == control) (void)hints_->window.release();  // being freed by its caller
}

void TApplication::ResetHints() {
    hints_ = std::make_unique<detail::HintState>();
    show_hint_ = true;
    hint_.clear();
    HintPause = 500, HintShortPause = 50, HintHidePause = 2500;
    HintColor = clInfoBk;
    OnHint = nullptr;
    OnShowHint = nullptr;
}

}  // namespace ui
