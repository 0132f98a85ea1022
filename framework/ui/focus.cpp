// Focus, activation and mouse capture.
#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace detail {

void ActivateNext(HWND gone) {
    if (Desk().active != gone) return;
    Desk().active = 0;
    HWND owner = 0;
    if (Win* w = Find(gone)) owner = w->owner;
    if (Win* o = Find(owner); o && Visible(o) && !(o->style & (WS_DISABLED | WS_MINIMIZE))) {
        SetActiveWindow(owner);
        return;
    }
    for (HWND h : Desk().top_levels) {
        Win* w = Find(h);
        if (h != gone && w && Visible(w) && !(w->style & (WS_DISABLED | WS_MINIMIZE)) && !w->cls.empty() &&
            w->cls != "TPUtilWindow") {
            SetActiveWindow(h);
            return;
        }
    }
}

}  // namespace detail

// ---------------------------------------------------------------- focus, activation, capture, caret

HWND SetFocus(HWND h) {
    const HWND old = Desk().focus;
    if (h != 0) {
        Win* w = Find(h);
        if (!w || (w->style & WS_DISABLED)) return 0;
        const Win* r = Root(w);
        if (r->destroying) return 0;  // nothing of a window on its way out takes the keys
        HWND root = r->handle;
        if (Desk().active != root) SetActiveWindow(root);
    }
    if (old == h) return old;
    Desk().focus = h;
    if (Find(old)) SendMessage(old, WM_KILLFOCUS, h, 0);
    if (h && Desk().focus == h) SendMessage(h, WM_SETFOCUS, old, 0);
    return old;
}

HWND GetFocus() { return Find(Desk().focus) ? Desk().focus : 0; }

HWND SetActiveWindow(HWND h) {
    const HWND old = Desk().active;
    if (h != 0) {
        Win* w = Find(h);
        if (!w || w->parent || w->destroying) return 0;
    }
    if (old == h) return old;
    // A drag in the window that goes inactive is cancelled.
    if (const HWND c = GetCapture(); c && Within(c, old)) SendMessage(c, WM_CANCELMODE);
    Desk().active = h;
    if (Find(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_ACTIVATE, WA_INACTIVE, LPARAM(h));
        if (Within(Desk().focus, old)) {
            const HWND f = std::exchange(Desk().focus, 0);
            SendMessage(f, WM_KILLFOCUS, 0, 0);
        }
    }
    if (h && Desk().active == h) {
        BringWindowToTop(h);
        if (Display* d = TheDisplay()) d->WindowActivated(h);
        SendMessage(h, WM_NCACTIVATE, 1, 0);
        SendMessage(h, WM_ACTIVATE, WA_ACTIVE, LPARAM(old));
    }
    return old;
}

HWND GetActiveWindow() { return Find(Desk().active) ? Desk().active : 0; }
HWND GetForegroundWindow() { return GetActiveWindow(); }
bool SetForegroundWindow(HWND h) {
    return SetActiveWindow(GetAncestorRoot(h)) != 0 || GetActiveWindow() == GetAncestorRoot(h);
}

HWND SetCapture(HWND h) {
    const HWND old = Desk().capture;
    if (h && !Find(h)) return old;
    // A drag of the window system's own ends when another window takes the mouse.
    if (Desk().tracking.kind != Tracking::Kind::None && Desk().tracking.hwnd != h) EndTracking(true);
    Desk().capture = h;
    if (old && old != h && Find(old)) SendMessage(old, WM_CAPTURECHANGED, 0, LPARAM(h));
    return old;
}
HWND GetCapture() { return Find(Desk().capture) ? Desk().capture : 0; }
bool ReleaseCapture() {
    SetCapture(0);
    return true;
}

}  // namespace ui
