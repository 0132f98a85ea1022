// Window classes and procedure chains: subclassing by token and the
// default procedure.
#include <algorithm>
#include <cstring>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

LRESULT NextProc::operator()(HWND hwnd, UINT msg, WPARAM w, LPARAM l) const {
    if (!below_) return DefWindowProc(hwnd, msg, w, l);
    const auto entry = below_;  // kept alive for the call, even if removed meanwhile
    return entry->proc(hwnd, msg, w, l, NextProc(entry->below));
}

// ---------------------------------------------------------------- classes and procedures

void RegisterWindowClass(WindowClass cls) {
    std::string name = cls.name;
    Ui().classes[name] = std::move(cls);
}

bool IsWindowClassRegistered(const std::string& name) { return Ui().classes.count(name) != 0; }

SubclassToken SubclassWindow(HWND hwnd, WindowProc proc) {
    Win* w = Find(hwnd);
    if (!w || !proc) return 0;
    auto e = std::make_shared<ProcEntry>();
    e->proc = std::move(proc);
    e->below = w->top;
    e->token = Ui().next_token++;
    w->top = e;
    return e->token;
}

bool RemoveSubclass(HWND hwnd, SubclassToken token) {
    Win* w = Find(hwnd);
    if (!w || token == 0) return false;
    std::shared_ptr<ProcEntry>* link = &w->top;
    while (*link) {
        if ((*link)->token == token) {
            *link = (*link)->below;  // the entry keeps its own `below` for calls in flight
            return true;
        }
        link = &(*link)->below;
    }
    return false;
}

bool IsSubclassedBy(HWND hwnd, SubclassToken token) {
    Win* w = Find(hwnd);
    if (!w || token == 0) return false;
    for (auto e = w->top; e; e = e->below)
        if (e->token == token) return true;
    return false;
}

SubclassToken TopSubclass(HWND hwnd) {
    Win* w = Find(hwnd);
    return w && w->top ? w->top->token : 0;
}

LRESULT CallClassProc(const std::string& class_name, HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto it = Ui().classes.find(class_name);
    if (it == Ui().classes.end() || !it->second.proc) return DefWindowProc(hwnd, msg, w, l);
    const WindowProc proc = it->second.proc;  // the class may be registered anew meanwhile
    return proc(hwnd, msg, w, l, NextProc());
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE: return 1;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SETTEXT:
        w->text = lp ? reinterpret_cast<const char*>(lp) : "";
        if ((w->style & WS_CAPTION) == WS_CAPTION) w->nc_dirty = true;
        return 1;
    case WM_GETTEXT: {
        if (wp == 0 || !lp) return 0;
        size_t n = std::min(w->text.size(), size_t(wp) - 1);
        std::memcpy(reinterpret_cast<char*>(lp), w->text.data(), n);
        reinterpret_cast<char*>(lp)[n] = 0;
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH: return LRESULT(w->text.size());
    case WM_ERASEBKGND: {
        if (!w->background || !wp) return 0;
        DC& dc = *reinterpret_cast<DC*>(wp);
        FillRect(dc, GetClientRect(hwnd), Brush::Solid(ColorToRGB(*w->background)));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        EndPaint(hwnd, BeginPaint(hwnd, ps));
        return 0;
    }
    case WM_NCPAINT:
        PaintDefaultFrame(hwnd, wp == kWholeFrame ? nullptr : reinterpret_cast<const Region*>(wp), w->nc_active);
        return 0;
    case WM_NCACTIVATE:
        w->nc_active = wp != 0;
        if (Visible(w)) PaintDefaultFrame(hwnd, nullptr, w->nc_active);
        return 1;
    case WM_NCCALCSIZE: {
        if (!lp) return 0;
        TRect& r = *reinterpret_cast<TRect*>(lp);
        const TRect d = DefaultInsets(*w);
        r = {r.left + d.left, r.top + d.top, std::max(r.left + d.left, r.right - d.right),
             std::max(r.top + d.top, r.bottom - d.bottom)};
        return 0;
    }
    case WM_NCHITTEST: {
        TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
        TRect wr = GetWindowRect(hwnd);
        if (!wr.Contains(p)) return HTNOWHERE;
        TRect c = ClientIn(*w).Offset(wr.left, wr.top);
        if (c.Contains(p)) return HTCLIENT;
        if (LRESULT edge = SizingHitTest(*w, {p.x - wr.left, p.y - wr.top}); edge != HTNOWHERE) return edge;
        if (BarRect(*w).Offset(wr.left, wr.top).Contains(p)) return HTMENU;
        if (LRESULT bar = ScrollBarHitTest(*w, {p.x - wr.left, p.y - wr.top}); bar != HTNOWHERE) return bar;
        if (LRESULT bar = CaptionHitTest(*w, {p.x - wr.left, p.y - wr.top}); bar != HTNOWHERE) return bar;
        TRect ins = Insets(*w);
        if ((w->style & WS_CAPTION) == WS_CAPTION && p.y < wr.top + ins.top) return HTCAPTION;
        return HTBORDER;
    }
    case WM_MOUSEACTIVATE:
        if (GetWindowExStyle(GetAncestorRoot(hwnd)) & WS_EX_NOACTIVATE) return MA_NOACTIVATE;
        // The parents answer first.
        if (w->parent)
            if (LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wp, lp)) return r;
        return MA_ACTIVATE;
    case WM_SETCURSOR:
        if (w->parent && SendMessage(w->parent, WM_SETCURSOR, wp, lp)) return 1;
        switch (LOWORD_S(lp)) {
        case HTCLIENT:
        case HTCAPTION: SetCursor(LoadStandardCursor(IDC_ARROW)); break;
        case HTLEFT:
        case HTRIGHT: SetCursor(LoadStandardCursor(IDC_SIZEWE)); break;
        case HTTOP:
        case HTBOTTOM: SetCursor(LoadStandardCursor(IDC_SIZENS)); break;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT: SetCursor(LoadStandardCursor(IDC_SIZENWSE)); break;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT: SetCursor(LoadStandardCursor(IDC_SIZENESW)); break;
        default: break;
        }
        return 0;
    case WM_MOUSEWHEEL:
        // Unhandled, the wheel goes to the parent.
        if (w->parent) return SendMessage(w->parent, WM_MOUSEWHEEL, wp, lp);
        return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
        const TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
        if (wp == HTMENU) {  // a double click on the bar is a press as well
            SendMessage(hwnd, WM_SYSCOMMAND, WPARAM(SC_MOUSEMENU) + WPARAM(HTMENU), lp);
            return 0;
        }
        if (wp == HTCLOSE || wp == HTMAXBUTTON || wp == HTMINBUTTON || wp == HTHELP) {
            StartCaptionButtonTracking(hwnd, LRESULT(wp));
            return 0;
        }
        if (wp == HTVSCROLL || wp == HTHSCROLL) StartScrollTracking(hwnd, wp == HTVSCROLL ? SB_VERT : SB_HORZ, p);
        if (wp == HTCAPTION && msg == WM_NCLBUTTONDOWN && !IsZoomed(hwnd)) StartMoveTracking(hwnd, p);
        if (LRESULT(wp) >= HTLEFT && LRESULT(wp) <= HTBOTTOMRIGHT && msg == WM_NCLBUTTONDOWN)
            StartSizeTracking(hwnd, LRESULT(wp), p);
        // A double click on the caption maximises the window, or restores it.
        if (wp == HTCAPTION && msg == WM_NCLBUTTONDBLCLK && (w->style & WS_MAXIMIZEBOX) && !w->parent)
            SendMessage(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lp);
        return 0;
    }
    case WM_CANCELMODE:
        if (Desk().tracking.hwnd == hwnd) EndTracking(true);
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
    case WM_ACTIVATE:
        if ((wp & 0xFFFF) != WA_INACTIVE && !Within(Desk().focus, hwnd)) SetFocus(hwnd);
        return 0;
    case WM_SYSKEYDOWN:
        if (MenuKey(hwnd, msg, wp)) return 0;
        if (wp == VK_F4) SendMessage(GetAncestorRoot(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: MenuKey(hwnd, msg, wp); return 0;
    case WM_SYSCOMMAND:
        switch (wp & 0xFFF0) {
        case SC_MOUSEMENU:
        case SC_KEYMENU: TrackMenuBar(hwnd, wp, lp); break;
        case SC_CLOSE: SendMessage(hwnd, WM_CLOSE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        case SC_CONTEXTHELP: StartContextHelp(hwnd); break;
        default: break;
        }
        return 0;
    case WM_KEYF1: {
        HELPINFO info;
        info.hItemHandle = hwnd;
        info.MousePos = GetCursorPos();
        SendMessage(hwnd, WM_HELP, 0, LPARAM(&info));
        return 0;
    }
    case WM_HELP:
        // Unanswered, the request goes up: to the parent, or to the owner.
        if (w->parent) return SendMessage(w->parent, WM_HELP, wp, lp);
        if (w->owner) return SendMessage(w->owner, WM_HELP, wp, lp);
        return 0;
    default: return 0;
    }
}

}  // namespace ui
