// Painting: update regions, paint messages, DCs on windows and presenting
// top-level windows on the display.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace detail {

// client area, outside siblings in front of it and of its parents.
Region VisibleRegion(const Win& w, TRect area, bool clip_own_children) {
    Region reg(area);
    const Win* cur = &w;
    while (cur->parent) {
        const Win* p = Find(cur->parent);
        if (!p) break;
        TPoint po = ClientOriginInRoot(*p);
        TRect pc = ClientIn(*p);
        reg.Intersect(Bounds(po.x, po.y, pc.Width(), pc.Height()));
        for (HWND s : p->children) {
            if (s == cur->handle) break;
            const Win* sw = Find(s);
            if (sw && (sw->style & WS_VISIBLE)) reg.Subtract(sw->rect.Offset(po.x, po.y));
        }
        cur = p;
    }
    if (clip_own_children) {
        TPoint co = ClientOriginInRoot(w);
        for (HWND c : w.children) {
            const Win* cw = Find(c);
            if (cw && (cw->style & WS_VISIBLE)) reg.Subtract(cw->rect.Offset(co.x, co.y));
        }
    }
    return reg;
}

SurfacePtr EnsureSurface(Win& root) {
    const int w = std::max(0, root.rect.Width()), h = std::max(0, root.rect.Height());
    if (!root.surface || root.surface->Width() != w || root.surface->Height() != h) {
        root.surface = Surface::Create(w, h, PixelFormat::Color32);
        root.surface->Fill(GetSysColor(COLOR_BTNFACE));
    }
    return root.surface;
}

void InvalidateTree(Win& w) {
    TRect c = ClientIn(w);
    w.update = Region({0, 0, c.Width(), c.Height()});
    w.erase = true;
    w.nc_dirty = true;
    for (HWND ch : w.children)
        if (Win* cw = Find(ch)) InvalidateTree(*cw);
}

void InvalidateParentArea(const Win& w) {
    if (Win* p = Find(w.parent)) {
        p->update.Add(w.rect);
        p->erase = true;
        if (Ui().display) Ui().display->Wake();
    }
}

void Present(Win* root) {
    if (!Ui().display || !root || !root->on_display || !root->surface) return;
    Ui().display->Present(root->handle, *root->surface);
}

void PaintDefaultFrame(HWND h) {
    Win* w = Find(h);
    if (!w) return;
    auto dc = GetWindowDC(h);
    const TRect ins = Insets(*w);
    TRect r{0, 0, w->rect.Width(), w->rect.Height()};
    if (w->style & WS_THICKFRAME || w->style & WS_DLGFRAME || w->ex_style & WS_EX_DLGMODALFRAME) {
        TRect e = r;
        DrawEdge(*dc, e, EDGE_RAISED, BF_RECT | BF_ADJUST);
        const int extra = (ins.left - ((w->ex_style & WS_EX_CLIENTEDGE) ? 2 : 0)) - 2;
        for (int i = 0; i < extra; ++i) {
            FrameRect(*dc, e, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
            e = e.Inflate(-1, -1);
        }
    } else if (w->style & WS_BORDER) {
        FrameRect(*dc, r, Brush::Solid(GetSysColor(COLOR_WINDOWFRAME)));
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION) {
        const bool active = Desk().active == h;
        const bool tool = w->ex_style & WS_EX_TOOLWINDOW;
        const int frame = ins.left - ((w->ex_style & WS_EX_CLIENTEDGE) ? 2 : 0);
        const int ch = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
        TRect cap{frame, frame, r.right - frame, frame + ch - 1};
        FillRect(*dc, cap, Brush::Solid(GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION)));
        FillRect(*dc, {cap.left, cap.bottom, cap.right, cap.bottom + 1}, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
        dc->S().font = CreateFont(LogFont{"Tahoma", tool ? -10 : -11, true});
        SetBkMode(*dc, TRANSPARENT);
        SetTextColor(*dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        TRect t{cap.left + 3, cap.top, cap.right - 2, cap.bottom};
        DrawText(*dc, w->text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (w->ex_style & WS_EX_CLIENTEDGE) {
        TRect e = r.Inflate(-(ins.left - 2), -(ins.left - 2));
        e.top = ins.top - 2;
        DrawEdge(*dc, e, EDGE_SUNKEN, BF_RECT);
    }
    PaintWindowScrollBars(*w, *dc);
    ReleaseDC(h, std::move(dc));
}

// Windows that wait for WM_PAINT, parents before children.
HWND FindPaint(HWND filter) {
    std::vector<HWND> stack(Desk().top_levels.rbegin(), Desk().top_levels.rend());
    while (!stack.empty()) {
        HWND h = stack.back();
        stack.pop_back();
        Win* w = Find(h);
        if (!w || !(w->style & WS_VISIBLE) || w->destroying) continue;
        if ((!w->update.Empty() || w->nc_dirty) && (filter == 0 || filter == h)) return h;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) stack.push_back(*it);
    }
    return 0;
}

}  // namespace detail

// ---------------------------------------------------------------- painting

bool InvalidateRect(HWND h, const TRect* rect, bool erase) {
    Win* w = Find(h);
    if (!w) return false;
    TRect c = GetClientRect(h);
    TRect r = rect ? Intersect(*rect, c) : c;
    if (!r.Empty()) w->update.Add(r);
    if (erase) w->erase = true;
    if (Ui().display) Ui().display->Wake();
    return true;
}

bool InvalidateRegion(HWND h, const Region& region, bool erase) {
    Win* w = Find(h);
    if (!w) return false;
    Region r = region;
    r.Intersect(GetClientRect(h));
    w->update.Add(r);
    if (erase) w->erase = true;
    return true;
}

bool ValidateRect(HWND h, const TRect* rect) {
    Win* w = Find(h);
    if (!w) return false;
    if (rect)
        w->update.Subtract(*rect);
    else
        w->update.Clear();
    return true;
}

Region GetUpdateRegion(HWND h) {
    Win* w = Find(h);
    return w ? w->update : Region();
}

void InvalidateNonClient(HWND h) {
    if (Win* w = Find(h)) w->nc_dirty = true;
}

bool UpdateWindow(HWND h) {
    Win* w = Find(h);
    if (!w || !Visible(w)) return false;
    if (!w->update.Empty() || w->nc_dirty) {
        SendMessage(h, WM_PAINT, 0, 0);
        if ((w = Find(h))) w->update.Clear(), w->nc_dirty = false;
    }
    return true;
}

std::unique_ptr<DC> BeginPaint(HWND h, PAINTSTRUCT& ps) {
    ps = {};
    Win* w = Find(h);
    if (!w) return std::make_unique<DC>();
    if (w->nc_dirty) {
        w->nc_dirty = false;
        SendMessage(h, WM_NCPAINT, 1, 0);
        if (!(w = Find(h))) return std::make_unique<DC>();
    }
    Win* root = Root(w);
    auto dc = std::make_unique<DC>(EnsureSurface(*root));
    const TPoint o = ClientOriginInRoot(*w);
    const TRect c = GetClientRect(h);
    Region clip = VisibleRegion(*w, c.Offset(o.x, o.y), true);
    Region upd = w->update;
    upd.Offset(o.x, o.y);
    clip.Intersect(upd);
    dc->S().origin = o;
    dc->SetSystemClip(clip);
    ps.rcPaint = w->update.Bounds();
    const bool erase = std::exchange(w->erase, false);
    w->update.Clear();
    if (erase) ps.fErase = SendMessage(h, WM_ERASEBKGND, WPARAM(dc.get()), 0) == 0;
    return dc;
}

void EndPaint(HWND h, std::unique_ptr<DC> dc) { ReleaseDC(h, std::move(dc)); }

std::unique_ptr<DC> GetDC(HWND h) {
    Win* w = Find(h);
    if (!w) return std::make_unique<DC>();
    auto dc = std::make_unique<DC>(EnsureSurface(*Root(w)));
    const TPoint o = ClientOriginInRoot(*w);
    dc->S().origin = o;
    dc->SetSystemClip(VisibleRegion(*w, GetClientRect(h).Offset(o.x, o.y), true));
    return dc;
}

std::unique_ptr<DC> GetWindowDC(HWND h) {
    Win* w = Find(h);
    if (!w) return std::make_unique<DC>();
    auto dc = std::make_unique<DC>(EnsureSurface(*Root(w)));
    const TPoint o = OriginInRoot(*w);
    dc->S().origin = o;
    dc->SetSystemClip(VisibleRegion(*w, Bounds(o.x, o.y, w->rect.Width(), w->rect.Height()), true));
    return dc;
}

void ReleaseDC(HWND h, std::unique_ptr<DC> dc) {
    dc.reset();
    if (Win* w = Find(h); w && Visible(w)) Present(Root(w));
}

SurfacePtr GetWindowSurface(HWND h) {
    Win* r = Root(Find(h));
    return r ? EnsureSurface(*r) : nullptr;
}

Display* InstallDisplay(Display* display) {
    Display* old = std::exchange(Ui().display, display);
    if (display)
        for (HWND t : Desk().top_levels)
            if (Win* w = Find(t); w && Visible(w)) {
                w->on_display = true;
                display->WindowShown(t, w->rect, w->ex_style & WS_EX_TOPMOST);
                InvalidateTree(*w);
            }
    if (!display)
        for (auto& [h, w] : Desk().windows) w->on_display = false;
    return old;
}

Display* CurrentDisplay() { return Ui().display; }

}  // namespace ui
