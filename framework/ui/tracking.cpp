// Drags the window system runs itself: a scroll bar's part or thumb, a
// top-level window moved by its caption or sized by its frame, a title-bar button held down, and
// the pointer asking which window help is for. While one runs, mouse and key
// input goes to it instead of to the windows; the button's release, Escape
// or a cancel-mode message ends it.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace detail {

namespace {

bool Begin(HWND h, Tracking::Kind kind) {
    Win* w = Find(h);
    if (!w || Desk().tracking.kind != Tracking::Kind::None) return false;
    Tracking& t = Desk().tracking;
    t = {};
    t.kind = kind;
    t.hwnd = h;
    SetCapture(h);
    return true;
}

bool OnButton(HWND h, LRESULT hit, TPoint screen) {
    const TRect wr = GetWindowRect(h);
    for (const CaptionButton& b : GetCaptionLayout(h).buttons)
        if (b.hit == hit) return b.rect.Contains({screen.x - wr.left, screen.y - wr.top});
    return false;
}

WPARAM CommandOf(HWND h, LRESULT hit) {
    switch (hit) {
    case HTCLOSE: return SC_CLOSE;
    case HTMINBUTTON: return SC_MINIMIZE;
    case HTMAXBUTTON: return IsZoomed(h) ? SC_RESTORE : SC_MAXIMIZE;
    default: return SC_CONTEXTHELP;
    }
}

bool TrackButton(const MSG& m) {
    Tracking& t = Desk().tracking;
    switch (m.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        // The button looks pressed only while the pointer is on it.
        if (const bool on = OnButton(t.hwnd, t.hit, m.pt); on != t.pressed) {
            t.pressed = on;
            PaintCaptionButton(t.hwnd, t.hit);
        }
        break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP: {
        const HWND h = t.hwnd;
        const WPARAM command = OnButton(h, t.hit, m.pt) ? CommandOf(h, t.hit) : 0;
        EndTracking(false);
        if (command && Find(h)) SendMessage(h, WM_SYSCOMMAND, command, MAKELPARAM(m.pt.x, m.pt.y));
        break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (m.wParam == VK_ESCAPE) EndTracking(true);
        break;
    default: break;
    }
    return true;
}

bool TrackContextHelp(const MSG& m) {
    Tracking& t = Desk().tracking;
    switch (m.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: SetCursor(LoadStandardCursor(IDC_HELP)); break;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK: t.pressed = true; break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP: {
        if (!t.pressed) break;
        const HWND root = t.hwnd;
        EndTracking(false);
        // Only a window of the window that asked; a click elsewhere asks nothing.
        const HWND target = WindowFromPoint(m.pt);
        if (target && GetAncestorRoot(target) == root) {
            HELPINFO info;
            info.hItemHandle = target;
            info.MousePos = m.pt;
            SendMessage(target, WM_HELP, 0, LPARAM(&info));
        }
        break;
    }
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN: EndTracking(true); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (m.wParam == VK_ESCAPE) EndTracking(true);
        break;
    default: break;
    }
    return true;
}

// The rectangle a frame drag by (dx, dy) gives: the dragged edges follow the
// pointer, the others stay, and the window keeps its smallest size.
TRect SizedRect(const Tracking& t, TPoint screen) {
    const int dx = screen.x - t.start.x, dy = screen.y - t.start.y;
    const int min_w = GetSystemMetrics(SM_CXMINTRACK), min_h = GetSystemMetrics(SM_CYMINTRACK);
    TRect r = t.start_rect;
    const LRESULT h = t.hit;
    if (h == HTLEFT || h == HTTOPLEFT || h == HTBOTTOMLEFT) r.left = std::min(r.left + dx, r.right - min_w);
    if (h == HTRIGHT || h == HTTOPRIGHT || h == HTBOTTOMRIGHT) r.right = std::max(r.right + dx, r.left + min_w);
    if (h == HTTOP || h == HTTOPLEFT || h == HTTOPRIGHT) r.top = std::min(r.top + dy, r.bottom - min_h);
    if (h == HTBOTTOM || h == HTBOTTOMLEFT || h == HTBOTTOMRIGHT) r.bottom = std::max(r.bottom + dy, r.top + min_h);
    return r;
}

void Place(HWND h, const TRect& r) {
    SetWindowPos(h, 0, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

LRESULT SizingHitTest(const Win& w, TPoint p) {
    if (w.parent || !(w.style & WS_THICKFRAME) || (w.style & (WS_MAXIMIZE | WS_MINIMIZE))) return HTNOWHERE;
    const int fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME);
    const int width = w.rect.Width(), height = w.rect.Height();
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return HTNOWHERE;
    bool left = p.x < fx, right = p.x >= width - fx, top = p.y < fy, bottom = p.y >= height - fy;
    if (!(left || right || top || bottom)) return HTNOWHERE;
    // Near a corner an edge sizes both ways, as the corner is too thin to find.
    const int cx = fx + GetSystemMetrics(SM_CXSIZE), cy = fy + GetSystemMetrics(SM_CYSIZE);
    if (left || right) top = top || p.y < cy, bottom = bottom || p.y >= height - cy;
    if (top || bottom) left = left || p.x < cx, right = right || p.x >= width - cx;
    if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    return left ? HTLEFT : HTRIGHT;
}

void StartSizeTracking(HWND h, LRESULT hit, TPoint screen) {
    Win* w = Find(h);
    if (!w || w->parent || hit < HTLEFT || hit > HTBOTTOMRIGHT || !Begin(h, Tracking::Kind::Size)) return;
    Tracking& t = Desk().tracking;
    t.hit = hit;
    t.start = t.last = screen;
    t.start_rect = w->rect;
}

void StartMoveTracking(HWND h, TPoint screen) {
    Win* w = Find(h);
    if (!w || w->parent || Desk().tracking.kind != Tracking::Kind::None) return;
    Tracking& t = Desk().tracking;
    t = {};
    t.kind = Tracking::Kind::Move;
    t.hwnd = h, t.start = t.last = screen, t.start_rect = w->rect;
    SetCapture(h);
}

void StartCaptionButtonTracking(HWND h, LRESULT hit) {
    Win* w = Find(h);
    if (!w) return;
    bool enabled = false;
    for (const CaptionButton& b : LayoutCaption(*w).buttons)
        if (b.hit == hit) enabled = b.enabled;
    if (!enabled || !Begin(h, Tracking::Kind::CaptionButton)) return;
    Desk().tracking.hit = hit;
    Desk().tracking.pressed = true;
    PaintCaptionButton(h, hit);
}

void StartContextHelp(HWND h) {
    if (Begin(h, Tracking::Kind::ContextHelp)) SetCursor(LoadStandardCursor(IDC_HELP));
}

void EndTracking(bool cancel) {
    Tracking& t = Desk().tracking;
    switch (t.kind) {
    case Tracking::Kind::None: return;
    case Tracking::Kind::ScrollBar: EndScrollTracking(cancel); return;
    case Tracking::Kind::Move:
    case Tracking::Kind::Size: {
        const Tracking done = std::exchange(t, Tracking{});
        if (GetCapture() == done.hwnd) ReleaseCapture();
        if (cancel) Place(done.hwnd, done.start_rect);
        return;
    }
    case Tracking::Kind::CaptionButton: {
        const Tracking done = std::exchange(t, Tracking{});
        if (GetCapture() == done.hwnd) ReleaseCapture();
        if (done.pressed) PaintCaptionButton(done.hwnd, done.hit);  // up again
        return;
    }
    case Tracking::Kind::ContextHelp: {
        const Tracking done = std::exchange(t, Tracking{});
        if (GetCapture() == done.hwnd) ReleaseCapture();
        SetCursor(LoadStandardCursor(IDC_ARROW));
        return;
    }
    }
}

bool TrackInput(const MSG& m) {
    Tracking& t = Desk().tracking;
    if (t.kind == Tracking::Kind::None || !IsInput(m.message)) return false;
    if (t.kind == Tracking::Kind::CaptionButton) return TrackButton(m);
    if (t.kind == Tracking::Kind::ContextHelp) return TrackContextHelp(m);
    switch (m.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        if (t.kind == Tracking::Kind::ScrollBar) {
            TrackScrollBar(m.pt);
        } else if (t.kind == Tracking::Kind::Size) {
            t.last = m.pt;
            Place(t.hwnd, SizedRect(t, m.pt));
        } else {
            t.last = m.pt;
            SetWindowPos(t.hwnd, 0, t.start_rect.left + m.pt.x - t.start.x, t.start_rect.top + m.pt.y - t.start.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        // The release counts where it happened: the moves before it may have been taken together.
        if (t.kind == Tracking::Kind::ScrollBar) TrackScrollBar(m.pt);
        if (t.kind == Tracking::Kind::Size) Place(t.hwnd, SizedRect(t, m.pt));
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
