// Painting: update regions, paint messages, DCs on windows, and the damage of
// each top-level window, presented on the display once per loop turn when no
// window waits for paint any more.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

// Beyond this many rectangles a window's damage is presented as its bounds.
constexpr size_t kMaxDamageRects = 32;

// The loop looks for paint before it waits, so the user-interface thread
// needs no wake for its own invalidations.
void Invalidated(Win& w) { ++w.invalidations; }

}  // namespace

namespace detail {

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
        AddDamage(root, Region({0, 0, w, h}));
    }
    return root.surface;
}

void InvalidateTree(Win& w) {
    TRect c = ClientIn(w);
    w.update = Region({0, 0, c.Width(), c.Height()});
    w.erase = true;
    w.nc_dirty = true;
    ++w.invalidations;
    for (HWND ch : w.children)
        if (Win* cw = Find(ch)) InvalidateTree(*cw);
}

void InvalidateParentArea(const Win& w) {
    if (Win* p = Find(w.parent)) {
        p->update.Add(w.rect);
        p->erase = true;
        Invalidated(*p);
    }
}

void AddDamage(Win& root, const Region& pixels) {
    if (pixels.Empty()) return;
    root.damage.Add(pixels);
    if (root.damage.Rects().size() > kMaxDamageRects) root.damage = Region(root.damage.Bounds());
    Desk().damaged = true;
}

HWND FindPaint(HWND filter) {
    std::vector<HWND> stack(Desk().top_levels.rbegin(), Desk().top_levels.rend());
    while (!stack.empty()) {
        HWND h = stack.back();
        stack.pop_back();
        Win* w = Find(h);
        if (!w || !(w->style & WS_VISIBLE) || w->destroying) continue;
        if ((!w->update.Empty() || w->nc_dirty) && !w->painting && (filter == 0 || filter == h)) return h;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) stack.push_back(*it);
    }
    return 0;
}

void SendPaint(HWND h) {
    Win* w = Find(h);
    if (!w || w->painting) return;
    const HWND root = Root(w)->handle;
    const uint64_t invalidations = w->invalidations, begun = w->paints_begun;
    ++w->painting;
    ++Find(root)->painting_inside;
    SendMessage(h, WM_PAINT, 0, 0);
    if (Win* r = Find(root)) --r->painting_inside;
    if (!(w = Find(h))) return;
    --w->painting;
    // A procedure that neither painted nor asked for more must not get the
    // same message forever; what it or anyone invalidated meanwhile stays.
    if (w->paints_begun == begun && w->invalidations == invalidations) {
        w->update.Clear();
        w->nc_dirty = false;
        w->erase = false;
    }
}

void PresentWhenPainted() {
    UpdateShadows();
    if (!Desk().damaged || FindPaint(0)) return;
    PresentDamage();
}

}  // namespace detail

bool InvalidateRect(HWND h, const TRect* rect, bool erase) {
    Win* w = Find(h);
    if (!w) return false;
    TRect c = GetClientRect(h);
    TRect r = rect ? Intersect(*rect, c) : c;
    if (!r.Empty()) w->update.Add(r);
    if (erase) w->erase = true;
    Invalidated(*w);
    return true;
}

bool InvalidateRegion(HWND h, const Region& region, bool erase) {
    Win* w = Find(h);
    if (!w) return false;
    Region r = region;
    r.Intersect(GetClientRect(h));
    w->update.Add(r);
    if (erase) w->erase = true;
    Invalidated(*w);
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
    if (Win* w = Find(h)) {
        w->nc_dirty = true;
        Invalidated(*w);
    }
}

bool UpdateWindow(HWND h) {
    Win* w = Find(h);
    if (!w || !Visible(w)) return false;
    if ((!w->update.Empty() || w->nc_dirty) && !w->painting) SendPaint(h);
    return true;
}

std::unique_ptr<DC> BeginPaint(HWND h, PAINTSTRUCT& ps) {
    ps = {};
    Win* w = Find(h);
    if (!w) return std::make_unique<DC>();
    ++w->paints_begun;
    CaretOff(h);
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

void EndPaint(HWND h, std::unique_ptr<DC> dc) {
    ReleaseDC(h, std::move(dc));
    CaretOn(h);
}

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

// What the DC could draw on becomes damage; nothing reaches the screen before
// the loop's turn ends.
void ReleaseDC(HWND h, std::unique_ptr<DC> dc) {
    Win* w = Find(h);
    if (!w || !dc || !Visible(w)) return;
    Win* root = Root(w);
    if (dc->SystemClip() && root->surface && dc->Target() == root->surface) AddDamage(*root, *dc->SystemClip());
}

SurfacePtr GetWindowSurface(HWND h) {
    Win* r = Root(Find(h));
    return r ? EnsureSurface(*r) : nullptr;
}

void PresentDamage() {
    UpdateShadows();
    Desktop& d = Desk();
    Display* display = TheDisplay();
    bool left = false;
    for (HWND t : d.top_levels) {
        Win* w = Find(t);
        if (!w || w->damage.Empty()) continue;
        if (w->painting_inside) {  // half painted: shown when it is done
            left = true;
            continue;
        }
        if (display && w->on_display && Visible(w)) {
            const SurfacePtr pixels = EnsureSurface(*w);  // the window's size now
            w->damage.Intersect({0, 0, pixels->Width(), pixels->Height()});
            if (!w->damage.Empty() && !(w->style & WS_MINIMIZE)) PresentWithShadows(*display, *w, pixels);
        }
        w->damage.Clear();
    }
    d.damaged = left;
}

Display* InstallDisplay(Display* display) {
    Display* old;
    {
        // A thread waking the loop holds this lock while it uses the display.
        std::lock_guard lock(Ui().queue->mu);
        old = std::exchange(Ui().queue->display, display);
        if (display) Ui().queue->ui_thread = std::this_thread::get_id();  // the display's loop runs here
    }
    if (display)
        for (HWND t : Desk().top_levels)
            if (Win* w = Find(t); w && Visible(w)) {
                w->on_display = true;
                display->WindowShown(t, w->rect, w->ex_style & WS_EX_TOPMOST);
                InvalidateTree(*w);
                AddDamage(*w, Region({0, 0, w->rect.Width(), w->rect.Height()}));
            }
    if (!display)
        for (auto& [h, w] : Desk().windows) w->on_display = false;
    return old;
}

Display* CurrentDisplay() { return TheDisplay(); }

}  // namespace ui
