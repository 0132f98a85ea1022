// Drags the window system runs itself: a scroll bar's part or thumb, and a
// top-level window moved by its caption. While one runs, mouse and key input
// goes to it instead of to the windows; the button's release, Escape or a
// cancel-mode message ends it.
#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace detail {

void StartMoveTracking(HWND h, TPoint screen) {
    Win* w = Find(h);
    if (!w || w->parent || Desk().tracking.kind != Tracking::Kind::None) return;
    Tracking& t = Desk().tracking;
    t = {};
    t.kind = Tracking::Kind::Move;
    t.hwnd = h, t.start = t.last = screen, t.start_rect = w->rect;
    SetCapture(h);
}

void EndTracking(bool cancel) {
    Tracking& t = Desk().tracking;
    switch (t.kind) {
    case Tracking::Kind::None: return;
    case Tracking::Kind::ScrollBar: EndScrollTracking(cancel); return;
    case Tracking::Kind::Move: {
        const Tracking done = std::exchange(t, Tracking{});
        if (GetCapture() == done.hwnd) ReleaseCapture();
        if (cancel)
            SetWindowPos(done.hwnd, 0, done.start_rect.left, done.start_rect.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    }
}

bool TrackInput(const MSG& m) {
    Tracking& t = Desk().tracking;
    if (t.kind == Tracking::Kind::None || !IsInput(m.message)) return false;
    switch (m.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        if (t.kind == Tracking::Kind::ScrollBar) {
            TrackScrollBar(m.pt);
        } else {
            t.last = m.pt;
            SetWindowPos(t.hwnd, 0, t.start_rect.left + m.pt.x - t.start.x, t.start_rect.top + m.pt.y - t.start.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        if (t.kind == Tracking::Kind::ScrollBar) TrackScrollBar(m.pt);
        EndTracking(false);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (m.wParam == VK_ESCAPE) EndTracking(true);
        break;
    default: break;  // everything else is swallowed while the drag runs
    }
    return true;
}

}  // namespace detail

bool SystemDragActive() { return Desk().tracking.kind != Tracking::Kind::None; }

}  // namespace ui
