// The window tree: creating and destroying windows, their styles, texts,
// places and order, and finding the window at a point.
#include <algorithm>
#include <cstring>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

void Unlink(Win& w) {
    auto drop = [&](std::vector<HWND>& v) { v.erase(std::remove(v.begin(), v.end(), w.handle), v.end()); };
    if (Win* p = Find(w.parent))
        drop(p->children);
    else
        drop(Desk().top_levels);
}

}  // namespace

namespace detail {

Win* Find(HWND h) {
    if (h == 0) return nullptr;
    auto it = Desk().windows.find(h);
    return it == Desk().windows.end() ? nullptr : it->second.get();
}

TRect FrameInsets(const Win& w) {
    int fx = 0, fy = 0;
    if (w.style & WS_THICKFRAME)
        fx = GetSystemMetrics(SM_CXFRAME), fy = GetSystemMetrics(SM_CYFRAME);
    else if ((w.style & WS_DLGFRAME) || (w.ex_style & WS_EX_DLGMODALFRAME))
        fx = GetSystemMetrics(SM_CXDLGFRAME), fy = GetSystemMetrics(SM_CYDLGFRAME);
    else if (w.style & WS_BORDER)
        fx = fy = 1;
    int caption = 0;
    if ((w.style & WS_CAPTION) == WS_CAPTION)
        caption = GetSystemMetrics((w.ex_style & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    return {fx, fy + caption, fx, fy};
}

TRect DefaultInsets(const Win& w) {
    const TRect f = FrameInsets(w);
    // The menu bar lies below the title bar, above the client edge.
    const int menu = (w.menu && !w.parent) ? w.menu_bar : 0;
    int edge = (w.ex_style & WS_EX_CLIENTEDGE) ? 2 : 0;
    // A window's own scroll bars lie inside its client edge.
    const int vbar = (w.style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    const int hbar = (w.style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    return {f.left + edge, f.top + menu + edge, f.right + edge + vbar, f.bottom + edge + hbar};
}

TRect Insets(const Win& w) {
    const TRect d = DefaultInsets(w);
    const TRect& a = w.nc_adjust;
    return {d.left + a.left, d.top + a.top, d.right + a.right, d.bottom + a.bottom};
}

void RecalcNonClient(HWND h) {
    Win* w = Find(h);
    if (!w) return;
    // A window too small for its frame would have the answer cut short: the
    // question is asked for a size with room enough.
    const TRect r =
        Bounds(w->rect.left, w->rect.top, std::max(w->rect.Width(), 4096), std::max(w->rect.Height(), 4096));
    const TRect d = DefaultInsets(*w);
    TRect client = r;
    SendMessage(h, WM_NCCALCSIZE, 0, LPARAM(&client));
    if (!(w = Find(h))) return;
    w->nc_adjust = {client.left - (r.left + d.left), client.top - (r.top + d.top), (r.right - d.right) - client.right,
                    (r.bottom - d.bottom) - client.bottom};
}

void RecalcFrame(HWND h, const TRect* client_before) {
    Win* w = Find(h);
    if (!w) return;
    const TRect before = client_before ? *client_before : ClientIn(*w);
    RecalcNonClient(h);
    if (!(w = Find(h))) return;
    const TRect after = ClientIn(*w);
    if (Visible(w)) {
        InvalidateTree(*w);
        InvalidateNonClient(h);
    }
    if (before.Width() != after.Width() || before.Height() != after.Height())
        SendMessage(h, WM_SIZE, 0, MAKELPARAM(after.Width(), after.Height()));
}

TRect ClientIn(const Win& w) {  // client rectangle in the window's own coordinates
    TRect i = Insets(w);
    TRect r{i.left, i.top, w.rect.Width() - i.right, w.rect.Height() - i.bottom};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

Win* Root(Win* w) {
    while (w && w->parent) w = Find(w->parent);
    return w;
}

// The window's top-left in its top-level window's pixels.
TPoint OriginInRoot(const Win& w) {
    if (!w.parent) return {0, 0};
    const Win* p = Find(w.parent);
    if (!p) return {0, 0};
    TPoint o = OriginInRoot(*p);
    TRect c = ClientIn(*p);
    return {o.x + c.left + w.rect.left, o.y + c.top + w.rect.top};
}

TPoint ClientOriginInRoot(const Win& w) {
    TPoint o = OriginInRoot(w);
    TRect c = ClientIn(w);
    return {o.x + c.left, o.y + c.top};
}

bool Visible(const Win* w) {
    for (; w; w = Find(w->parent)) {
        if (!(w->style & WS_VISIBLE) || w->destroying) return false;
        if (!w->parent) return true;
    }
    return false;
}

// What of `area` (root pixels) the window may draw on: inside every parent's

void PlaceTopLevel(HWND h, bool topmost) {
    if (const Win* w = Find(h)) TopLevelChanged(*w);
    auto& v = Desk().top_levels;
    v.erase(std::remove(v.begin(), v.end(), h), v.end());
    auto pos = v.begin();
    if (!topmost)
        while (pos != v.end() && Find(*pos) && (Find(*pos)->ex_style & WS_EX_TOPMOST)) ++pos;
    // The windows it owns, in their band, stay in front of it as they were
    // stacked: a popup or dialog never goes under the window that opened it.
    std::vector<HWND> owned;
    for (auto it = pos; it != v.end();) {
        const Win* o = Find(*it);
        if (o && bool(o->ex_style & WS_EX_TOPMOST) == topmost && OwnedBy(*o, h)) {
            owned.push_back(*it);
            it = v.erase(it);
        } else {
            ++it;
        }
    }
    pos = v.insert(pos, h);
    v.insert(pos, owned.begin(), owned.end());
    TopLevelsRestacked();
}

bool OwnedBy(const Win& w, HWND owner) {
    for (const Win* o = Find(w.owner); o; o = Find(o->owner))
        if (o->handle == owner) return true;
    return false;
}

void TopLevelsRestacked() {
    if (Display* display = TheDisplay()) display->WindowsRestacked(Desk().top_levels);
}

bool Within(HWND h, HWND ancestor) {
    for (Win* w = Find(h); w; w = Find(w->parent))
        if (w->handle == ancestor) return true;
    return false;
}

}  // namespace detail

// ---------------------------------------------------------------- windows

HWND CreateWindow(const CreateParams& p) {
    RequireUiThread("CreateWindow");
    auto cls = Ui().classes.find(p.class_name);
    if (cls == Ui().classes.end()) return 0;
    Win* parent = nullptr;
    if (p.style & WS_CHILD) {
        parent = Find(p.parent);
        if (!parent || parent->destroying) return 0;
    }
    auto w = std::make_unique<Win>();
    const HWND h = Ui().next_handle++;
    w->handle = h;
    w->cls = p.class_name;
    w->style = p.style;
    w->ex_style = p.ex_style;
    w->parent = parent ? p.parent : 0;
    w->owner = parent ? 0 : (Find(p.owner) ? p.owner : 0);
    w->rect = p.rect;
    w->text = p.caption;
    w->background = cls->second.background;
    if (parent) w->longs[GWLP_ID] = p.id ? intptr_t(p.id) : intptr_t(h);
    auto base = std::make_shared<ProcEntry>();
    base->proc = cls->second.proc ? cls->second.proc : [](HWND h, UINT m, WPARAM wp, LPARAM lp, const NextProc& next) {
        return next(h, m, wp, lp);
    };
    w->top = base;
    Win* raw = w.get();
    Desk().windows.emplace(h, std::move(w));
    if (parent)
        parent->children.insert(parent->children.begin(), h);
    else
        PlaceTopLevel(h, p.ex_style & WS_EX_TOPMOST);
    const bool visible = raw->style & WS_VISIBLE;
    raw->style &= ~WS_VISIBLE;
    if (!SendMessage(h, WM_NCCREATE, 0, p.param)) {
        DestroyWindow(h);
        return 0;
    }
    RecalcNonClient(h);
    if (!Find(h)) return 0;
    if (SendMessage(h, WM_CREATE, 0, p.param) == -1) {
        DestroyWindow(h);
        return 0;
    }
    if (!Find(h)) return 0;
    if (visible) ShowWindow(h, SW_SHOWNA);
    return h;
}

bool DestroyWindow(HWND h) {
    Win* w = Find(h);
    if (!w || w->destroying) return false;
    const bool was_visible = Visible(w);
    // Marked before the owned windows go (first, as the system does): the
    // activation they pass on must not come back to a window on its way out.
    w->destroying = true;
    std::vector<HWND> owned;
    for (HWND t : Desk().top_levels)
        if (Win* tw = Find(t); tw && tw->owner == h) owned.push_back(t);
    for (HWND o : owned) DestroyWindow(o);
    w = Find(h);
    if (was_visible && w->parent) InvalidateParentArea(*w);
    if (Within(Desk().focus, h)) {
        HWND f = Desk().focus;
        Desk().focus = 0;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    if (Within(Desk().capture, h)) {
        HWND c = std::exchange(Desk().capture, 0);
        SendMessage(c, WM_CAPTURECHANGED, 0, 0);
    }
    SendMessage(h, WM_DESTROY, 0, 0);
    w = Find(h);
    for (HWND c : std::vector<HWND>(w->children)) DestroyWindow(c);
    SendMessage(h, WM_NCDESTROY, 0, 0);
    w = Find(h);
    auto& timers = Desk().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == h; }),
                 timers.end());
    if (Desk().caret.hwnd == h) Desk().caret = {};  // its pixels and blink go with the window
    if (w->on_display && TheDisplay()) TheDisplay()->WindowDestroyed(h);
    if (!w->parent) TopLevelChanged(*w);
    Unlink(*w);
    const bool was_active = Desk().active == h;
    Desk().windows.erase(h);
    if (was_active) ActivateNext(h);
    if (Desk().active == h) Desk().active = 0;
    return true;
}

bool IsWindow(HWND h) { return Find(h) != nullptr; }
bool IsWindowVisible(HWND h) { return Visible(Find(h)); }
bool IsWindowEnabled(HWND h) {
    Win* w = Find(h);
    return w && !(w->style & WS_DISABLED);
}

bool EnableWindow(HWND h, bool enable) {
    Win* w = Find(h);
    if (!w) return false;
    const bool was_disabled = w->style & WS_DISABLED;
    if (was_disabled == !enable) return was_disabled;
    if (enable)
        w->style &= ~WS_DISABLED;
    else {
        // A disabled window's drag is cancelled (a modal loop disables the windows behind it).
        if (const HWND c = GetCapture(); c && Within(c, h)) SendMessage(c, WM_CANCELMODE);
        if (!(w = Find(h))) return was_disabled;
        w->style |= WS_DISABLED;
        if (Within(Desk().focus, h)) SetFocus(0);
    }
    SendMessage(h, WM_ENABLE, enable, 0);
    return was_disabled;
}

bool IsZoomed(HWND h) { return GetWindowStyle(h) & WS_MAXIMIZE; }
bool IsIconic(HWND h) { return GetWindowStyle(h) & WS_MINIMIZE; }

namespace {

// Minimising keeps the window shown to the program but takes it off the
// screen and passes the activation on; restoring brings it back as it was.
bool Minimize(Win& w, bool minimize) {
    const HWND h = w.handle;
    const bool was = w.style & WS_VISIBLE;
    if (w.parent || bool(w.style & WS_MINIMIZE) == minimize) return was;
    if (minimize) {
        if (const HWND c = GetCapture(); c && Within(c, h)) SendMessage(c, WM_CANCELMODE);
        Win* x = Find(h);
        if (!x) return was;
        x->style |= WS_MINIMIZE;
        TopLevelChanged(*x);
        if (!(x->style & WS_VISIBLE)) ShowWindow(h, SW_SHOWNA);
        if (!(x = Find(h))) return was;
        if (x->on_display && TheDisplay()) TheDisplay()->WindowMinimized(h, true);
        if (Within(Desk().focus, h)) SetFocus(0);
        ActivateNext(h);
        return was;
    }
    w.style &= ~WS_MINIMIZE;
    TopLevelChanged(w);
    if (w.on_display && TheDisplay()) {
        TheDisplay()->WindowMinimized(h, false);
        AddDamage(w, Region({0, 0, w.rect.Width(), w.rect.Height()}));
    }
    InvalidateTree(w);
    ShowWindow(h, SW_SHOW);
    return was;
}

}  // namespace

bool ShowWindow(HWND h, int cmd) {
    Win* w = Find(h);
    if (!w) return false;
    if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED) return Minimize(*w, true);
    if ((cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) && (w->style & WS_MINIMIZE)) return Minimize(*w, false);
    if (cmd == SW_MAXIMIZE || cmd == SW_RESTORE) {
        const bool was = w->style & WS_VISIBLE;
        if (!w->parent && cmd == SW_MAXIMIZE && !(w->style & WS_MAXIMIZE)) {
            w->normal_rect = w->rect;
            w->style |= WS_MAXIMIZE;
            const TSize screen = TheDisplay() ? TheDisplay()->ScreenSize()
                                              : TSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            SetWindowPos(h, 0, 0, 0, screen.cx, screen.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (cmd == SW_RESTORE && (w->style & WS_MAXIMIZE)) {
            w->style &= ~WS_MAXIMIZE;
            const TRect r = w->normal_rect;
            SetWindowPos(h, 0, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (Find(h)) ShowWindow(h, SW_SHOW);
        return was;
    }
    const bool was = w->style & WS_VISIBLE;
    const bool show = cmd != SW_HIDE;
    if (was == show) {
        if (show && !w->parent && (cmd == SW_SHOW || cmd == SW_SHOWNORMAL)) SetActiveWindow(h);
        return was;
    }
    SendMessage(h, WM_SHOWWINDOW, show, 0);
    w = Find(h);
    if (!w) return was;
    if (!w->parent) TopLevelChanged(*w);
    if (show) {
        w->style |= WS_VISIBLE;
        InvalidateTree(*w);
        if (!w->parent) {
            EnsureSurface(*w);
            if (Display* display = TheDisplay()) {
                w->on_display = true;
                display->WindowShown(h, w->rect, w->ex_style & WS_EX_TOPMOST);
                AddDamage(*w,
                          Region({0, 0, w->rect.Width(), w->rect.Height()}));  // a new screen window shows nothing yet
            }
            if (cmd == SW_SHOW || cmd == SW_SHOWNORMAL) SetActiveWindow(h);
        }
    } else {
        if (w->parent) InvalidateParentArea(*w);
        w->style &= ~WS_VISIBLE;
        if (Within(Desk().focus, h)) SetFocus(w->parent);
        if (!w->parent) {
            // The screen keeps the window (on_display) and hears of its moves until it shows again.
            if (w->on_display && TheDisplay()) TheDisplay()->WindowHidden(h);
            ActivateNext(h);
        }
    }
    return was;
}

std::string GetClassName(HWND h) { return Member(h, &Win::cls); }
uint32_t GetClassStyle(HWND h) {
    const Win* w = Find(h);
    if (!w) return 0;
    auto it = Ui().classes.find(w->cls);
    return it == Ui().classes.end() ? 0 : it->second.style;
}
uint32_t GetWindowStyle(HWND h) { return Member(h, &Win::style); }
uint32_t GetWindowExStyle(HWND h) { return Member(h, &Win::ex_style); }

void SetWindowStyle(HWND h, uint32_t style, uint32_t ex_style) {
    Win* w = Find(h);
    if (!w) return;
    const uint32_t vis = w->style & WS_VISIBLE;
    w->style = (style & ~WS_VISIBLE) | vis;
    w->ex_style = ex_style;
    RecalcNonClient(h);
    if ((w = Find(h))) InvalidateTree(*w);
}

std::string GetWindowText(HWND h) {
    Win* w = Find(h);
    if (!w) return {};
    const LRESULT n = SendMessage(h, WM_GETTEXTLENGTH);
    std::string buf(size_t(std::max<LRESULT>(n, 0)) + 1, '\0');
    const LRESULT got = SendMessage(h, WM_GETTEXT, buf.size(), LPARAM(buf.data()));
    buf.resize(size_t(std::clamp<LRESULT>(got, 0, LRESULT(buf.size()) - 1)));
    return buf;
}

bool SetWindowText(HWND h, const std::string& text) {
    if (!Find(h)) return false;
    SendMessage(h, WM_SETTEXT, 0, LPARAM(text.c_str()));
    return true;
}

HWND GetParent(HWND h) { return Member(h, &Win::parent); }
HWND GetOwner(HWND h) { return Member(h, &Win::owner); }
HWND GetAncestorRoot(HWND h) {
    Win* r = Root(Find(h));
    return r ? r->handle : 0;
}
std::vector<HWND> GetChildren(HWND h) { return Member(h, &Win::children); }
std::vector<HWND> GetTopLevelWindows() { return Desk().top_levels; }

intptr_t GetWindowLongPtr(HWND h, int index) {
    Win* w = Find(h);
    if (!w) return 0;
    auto it = w->longs.find(index);
    return it == w->longs.end() ? 0 : it->second;
}
intptr_t SetWindowLongPtr(HWND h, int index, intptr_t value) {
    Win* w = Find(h);
    if (!w) return 0;
    return std::exchange(w->longs[index], value);
}

int GetDlgCtrlID(HWND h) {
    Win* w = Find(h);
    return w && w->parent ? int(GetWindowLongPtr(h, GWLP_ID)) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
    Win* p = Find(parent);
    if (!p) return 0;
    for (HWND c : p->children)
        if (GetWindowLongPtr(c, GWLP_ID) == id) return c;
    return 0;
}

TRect GetWindowRect(HWND h) {
    Win* w = Find(h);
    if (!w) return {};
    if (!w->parent) return w->rect;
    TPoint o = OriginInRoot(*w);
    TRect root = Root(w)->rect;
    return Bounds(root.left + o.x, root.top + o.y, w->rect.Width(), w->rect.Height());
}

TRect GetClientRect(HWND h) {
    Win* w = Find(h);
    if (!w) return {};
    TRect c = ClientIn(*w);
    return {0, 0, c.Width(), c.Height()};
}

TRect GetNonClientInsets(HWND h) {
    Win* w = Find(h);
    return w ? Insets(*w) : TRect{};
}

TPoint ClientToScreen(HWND h, TPoint p) {
    Win* w = Find(h);
    if (!w) return p;
    TPoint o = ClientOriginInRoot(*w);
    TRect root = Root(w)->rect;
    return {p.x + o.x + root.left, p.y + o.y + root.top};
}

TPoint ScreenToClient(HWND h, TPoint p) {
    TPoint z = ClientToScreen(h, {0, 0});
    return {p.x - z.x, p.y - z.y};
}

bool SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Win* w = Find(h);
    if (!w) return false;
    TRect old = w->rect;
    TRect r = old;
    if (!(flags & SWP_NOMOVE)) r = Bounds(x, y, r.Width(), r.Height());
    if (!(flags & SWP_NOSIZE)) r = Bounds(r.left, r.top, std::max(0, cx), std::max(0, cy));
    if (!(flags & SWP_NOZORDER)) {
        if (!w->parent) {
            if (after == HWND_TOPMOST)
                w->ex_style |= WS_EX_TOPMOST;
            else if (after == HWND_NOTOPMOST)
                w->ex_style &= ~WS_EX_TOPMOST;
            if (after == HWND_BOTTOM) {
                auto& v = Desk().top_levels;
                v.erase(std::remove(v.begin(), v.end(), h), v.end());
                v.push_back(h);
                TopLevelsRestacked();
            } else {
                PlaceTopLevel(h, w->ex_style & WS_EX_TOPMOST);
            }
        } else if (Win* p = Find(w->parent)) {
            auto& v = p->children;
            v.erase(std::remove(v.begin(), v.end(), h), v.end());
            if (after == HWND_BOTTOM)
                v.push_back(h);
            else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST)
                v.insert(v.begin(), h);
            else {
                auto it = std::find(v.begin(), v.end(), after);
                v.insert(it == v.end() ? v.end() : it + 1, h);
            }
            if (w->style & WS_VISIBLE) InvalidateParentArea(*w);
        }
    }
    const bool moved = r.left != old.left || r.top != old.top;
    const bool sized = r.Width() != old.Width() || r.Height() != old.Height();
    if (moved || sized) {
        const bool vis = Visible(w);
        if (vis && w->parent) InvalidateParentArea(*w);
        w->rect = r;
        if (vis) {
            if (w->parent) InvalidateParentArea(*w);
            if (sized || w->parent) InvalidateTree(*w);
        }
        if (!w->parent) TopLevelChanged(*w);
        if (!w->parent && w->on_display && TheDisplay()) {
            TheDisplay()->WindowMoved(h, r);
            if (sized) AddDamage(*w, Region({0, 0, r.Width(), r.Height()}));
        }
        if (moved) SendMessage(h, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
        if (sized) {
            TRect c = GetClientRect(h);
            SendMessage(h, WM_SIZE, 0, MAKELPARAM(c.Width(), c.Height()));
        }
    }
    if (flags & SWP_FRAMECHANGED) RecalcFrame(h);
    if (flags & SWP_SHOWWINDOW) ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(h, SW_HIDE);
    if (Find(h)) SendMessage(h, WM_WINDOWPOSCHANGED, 0, 0);
    return true;
}

bool MoveWindow(HWND h, int x, int y, int w, int hgt, bool) {
    return SetWindowPos(h, 0, x, y, w, hgt, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool BringWindowToTop(HWND h) { return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

HWND ChildWindowFromPoint(HWND parent, TPoint client) {
    Win* p = Find(parent);
    if (!p) return 0;
    for (HWND c : p->children) {
        Win* cw = Find(c);
        if (cw && (cw->style & WS_VISIBLE) && cw->rect.Contains(client)) return c;
    }
    return parent;
}

HWND WindowFromPoint(TPoint screen) {
    for (HWND t : Desk().top_levels) {
        Win* w = Find(t);
        if (!w || !Visible(w) || (w->style & WS_MINIMIZE) || !w->rect.Contains(screen)) continue;
        if (w->style & WS_DISABLED) return 0;
        HWND cur = t;
        for (;;) {
            TPoint c = ScreenToClient(cur, screen);
            Win* cw = Find(cur);
            HWND next = 0;
            for (HWND ch : cw->children) {
                Win* x = Find(ch);
                if (x && (x->style & WS_VISIBLE) && !(x->style & WS_DISABLED) && x->rect.Contains(c)) {
                    next = ch;
                    break;
                }
            }
            if (!next) return cur;
            cur = next;
        }
    }
    return 0;
}

}  // namespace ui
