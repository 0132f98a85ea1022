#include "framework/ui/window.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>

#if defined(__SANITIZE_ADDRESS__)
// The font, text and display libraries keep caches for the life of the
// process; the leak checker is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libglib\nleak:libgobject\nleak:libharfbuzz\n"
           "leak:libcairo\nleak:libfreetype\nleak:libSDL2\nleak:libX11\nleak:libdbus\n";
}
#endif

namespace ui {

struct ProcEntry {
    WindowProc proc;
    std::shared_ptr<ProcEntry> below;
    SubclassToken token = 0;
};

LRESULT NextProc::operator()(HWND hwnd, UINT msg, WPARAM w, LPARAM l) const {
    if (!below_) return DefWindowProc(hwnd, msg, w, l);
    const auto entry = below_;  // kept alive for the call, even if removed meanwhile
    return entry->proc(hwnd, msg, w, l, NextProc(entry->below));
}

namespace {

struct Win {
    HWND handle = 0;
    std::string cls;
    uint32_t style = 0, ex_style = 0;
    HWND parent = 0, owner = 0;
    std::vector<HWND> children;  // front first
    TRect rect;                  // in the parent's client coordinates; screen for top level
    std::string text;
    bool destroying = false;
    Region update;  // client coordinates
    bool erase = false, nc_dirty = false;
    std::shared_ptr<ProcEntry> top;
    std::map<int, intptr_t> longs;
    SurfacePtr surface;  // top level only
    bool on_display = false;
    std::optional<TColor> background;
};

struct Timer {
    HWND hwnd = 0;
    UINT id = 0;
    UINT interval = 0;
    uint64_t due = 0;
    TimerProc proc;
};

struct Desk {
    std::unordered_map<HWND, std::unique_ptr<Win>> windows;
    HWND next_handle = 1;
    std::vector<HWND> top_levels;  // front first
    std::map<std::string, WindowClass> classes;
    std::vector<Timer> timers;
    UINT next_timer_id = 1;
    HWND focus = 0, active = 0, capture = 0;
    CaretState caret;
    SubclassToken next_token = 1;
    uint32_t msg_time = 0;
    uint8_t key_state[256] = {};
    unsigned buttons = 0;
};

Desk& D() {
    static Desk d;
    return d;
}

// The queue is the one part other threads touch.
struct Queue {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<MSG> posted;
    bool quit = false;
    int quit_code = 0;
};
Queue& Q() {
    static Queue q;
    return q;
}

SteadyClock g_steady;
Clock* g_clock = &g_steady;
Display* g_display = nullptr;
int g_stall_ms = 5000;

Win* Find(HWND h) {
    if (h == 0) return nullptr;
    auto it = D().windows.find(h);
    return it == D().windows.end() ? nullptr : it->second.get();
}

// A field of a window; its empty value for a handle that is gone.
template <class T>
T Member(HWND h, T Win::*field) {
    const Win* w = Find(h);
    return w ? w->*field : T{};
}

bool IsInput(UINT m) {
    return (m >= WM_KEYDOWN && m <= 0x0109) || (m >= WM_MOUSEMOVE && m <= 0x020E) ||
        (m >= WM_NCMOUSEMOVE && m <= 0x00A9);
}

TRect Insets(const Win& w) {
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
    int edge = (w.ex_style & WS_EX_CLIENTEDGE) ? 2 : 0;
    return {fx + edge, fy + caption + edge, fx + edge, fy + edge};
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
        if (g_display) g_display->Wake();
    }
}

void Present(Win* root) {
    if (!g_display || !root || !root->on_display || !root->surface) return;
    g_display->Present(root->handle, *root->surface);
}

void Unlink(Win& w) {
    auto drop = [&](std::vector<HWND>& v) { v.erase(std::remove(v.begin(), v.end(), w.handle), v.end()); };
    if (Win* p = Find(w.parent))
        drop(p->children);
    else
        drop(D().top_levels);
}

void PlaceTopLevel(HWND h, bool topmost) {
    auto& v = D().top_levels;
    v.erase(std::remove(v.begin(), v.end(), h), v.end());
    auto pos = v.begin();
    if (!topmost)
        while (pos != v.end() && Find(*pos) && (Find(*pos)->ex_style & WS_EX_TOPMOST)) ++pos;
    v.insert(pos, h);
}

void Wake() {
    Q().cv.notify_all();
    if (g_display) g_display->Wake();
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
        const bool active = D().active == h;
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
    ReleaseDC(h, std::move(dc));
}

// Windows that wait for WM_PAINT, parents before children.
HWND FindPaint(HWND filter) {
    std::vector<HWND> stack(D().top_levels.rbegin(), D().top_levels.rend());
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

void ActivateNext(HWND gone) {
    if (D().active != gone) return;
    D().active = 0;
    HWND owner = 0;
    if (Win* w = Find(gone)) owner = w->owner;
    if (Win* o = Find(owner); o && Visible(o) && !(o->style & WS_DISABLED)) {
        SetActiveWindow(owner);
        return;
    }
    for (HWND h : D().top_levels) {
        Win* w = Find(h);
        if (h != gone && w && Visible(w) && !(w->style & WS_DISABLED) && !w->cls.empty() && w->cls != "TPUtilWindow") {
            SetActiveWindow(h);
            return;
        }
    }
}

bool Within(HWND h, HWND ancestor) {
    for (Win* w = Find(h); w; w = Find(w->parent))
        if (w->handle == ancestor) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------- classes and procedures

void RegisterWindowClass(WindowClass cls) {
    std::string name = cls.name;
    D().classes[name] = std::move(cls);
}

bool IsWindowClassRegistered(const std::string& name) { return D().classes.count(name) != 0; }

SubclassToken SubclassWindow(HWND hwnd, WindowProc proc) {
    Win* w = Find(hwnd);
    if (!w || !proc) return 0;
    auto e = std::make_shared<ProcEntry>();
    e->proc = std::move(proc);
    e->below = w->top;
    e->token = D().next_token++;
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
    case WM_NCPAINT: PaintDefaultFrame(hwnd); return 0;
    case WM_NCACTIVATE:
        if ((w->style & WS_CAPTION) == WS_CAPTION) SendMessage(hwnd, WM_NCPAINT, 1, 0);
        return 1;
    case WM_NCHITTEST: {
        TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
        TRect wr = GetWindowRect(hwnd);
        if (!wr.Contains(p)) return HTNOWHERE;
        TRect c = ClientIn(*w).Offset(wr.left, wr.top);
        if (c.Contains(p)) return HTCLIENT;
        TRect ins = Insets(*w);
        if ((w->style & WS_CAPTION) == WS_CAPTION && p.y < wr.top + ins.top) return HTCAPTION;
        return HTBORDER;
    }
    case WM_MOUSEACTIVATE: return 1;
    case WM_ACTIVATE:
        if ((wp & 0xFFFF) != WA_INACTIVE && !Within(D().focus, hwnd)) SetFocus(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == 0xF060) SendMessage(hwnd, WM_CLOSE);
        return 0;
    default: return 0;
    }
}

// ---------------------------------------------------------------- windows

HWND CreateWindow(const CreateParams& p) {
    auto cls = D().classes.find(p.class_name);
    if (cls == D().classes.end()) return 0;
    Win* parent = nullptr;
    if (p.style & WS_CHILD) {
        parent = Find(p.parent);
        if (!parent || parent->destroying) return 0;
    }
    auto w = std::make_unique<Win>();
    const HWND h = D().next_handle++;
    w->handle = h;
    w->cls = p.class_name;
    w->style = p.style;
    w->ex_style = p.ex_style;
    w->parent = parent ? p.parent : 0;
    w->owner = parent ? 0 : (Find(p.owner) ? p.owner : 0);
    w->rect = p.rect;
    w->text = p.caption;
    w->background = cls->second.background;
    auto base = std::make_shared<ProcEntry>();
    base->proc = cls->second.proc ? cls->second.proc : [](HWND h, UINT m, WPARAM wp, LPARAM lp, const NextProc& next) {
        return next(h, m, wp, lp);
    };
    w->top = base;
    Win* raw = w.get();
    D().windows.emplace(h, std::move(w));
    if (parent)
        parent->children.insert(parent->children.begin(), h);
    else
        PlaceTopLevel(h, p.ex_style & WS_EX_TOPMOST);
    const bool visible = raw->style & WS_VISIBLE;
    raw->style &= ~WS_VISIBLE;
    if (!SendMessage(h, WM_NCCREATE, 0, p.param) || SendMessage(h, WM_CREATE, 0, p.param) == -1) {
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
    // Owned windows go first, as the system does.
    std::vector<HWND> owned;
    for (HWND t : D().top_levels)
        if (Win* tw = Find(t); tw && tw->owner == h) owned.push_back(t);
    for (HWND o : owned) DestroyWindow(o);
    w = Find(h);
    if (!w || w->destroying) return false;
    const bool was_visible = Visible(w);
    w->destroying = true;
    if (was_visible && w->parent) InvalidateParentArea(*w);
    if (Within(D().focus, h)) {
        HWND f = D().focus;
        D().focus = 0;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
    if (Within(D().capture, h)) {
        HWND c = std::exchange(D().capture, 0);
        SendMessage(c, WM_CAPTURECHANGED, 0, 0);
    }
    SendMessage(h, WM_DESTROY, 0, 0);
    w = Find(h);
    for (HWND c : std::vector<HWND>(w->children)) DestroyWindow(c);
    SendMessage(h, WM_NCDESTROY, 0, 0);
    w = Find(h);
    auto& timers = D().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == h; }),
                 timers.end());
    if (D().caret.hwnd == h) D().caret = {};
    if (w->on_display && g_display) g_display->WindowDestroyed(h);
    Unlink(*w);
    const bool was_active = D().active == h;
    D().windows.erase(h);
    if (was_active) ActivateNext(h);
    if (D().active == h) D().active = 0;
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
        w->style |= WS_DISABLED;
        if (Within(D().focus, h)) SetFocus(0);
    }
    SendMessage(h, WM_ENABLE, enable, 0);
    return was_disabled;
}

bool ShowWindow(HWND h, int cmd) {
    Win* w = Find(h);
    if (!w) return false;
    const bool was = w->style & WS_VISIBLE;
    const bool show = cmd != SW_HIDE;
    if (was == show) {
        if (show && !w->parent && (cmd == SW_SHOW || cmd == SW_SHOWNORMAL)) SetActiveWindow(h);
        return was;
    }
    SendMessage(h, WM_SHOWWINDOW, show, 0);
    w = Find(h);
    if (!w) return was;
    if (show) {
        w->style |= WS_VISIBLE;
        InvalidateTree(*w);
        if (!w->parent) {
            EnsureSurface(*w);
            if (g_display) {
                w->on_display = true;
                g_display->WindowShown(h, w->rect, w->ex_style & WS_EX_TOPMOST);
            }
            if (cmd == SW_SHOW || cmd == SW_SHOWNORMAL) SetActiveWindow(h);
        }
    } else {
        if (w->parent) InvalidateParentArea(*w);
        w->style &= ~WS_VISIBLE;
        if (Within(D().focus, h)) SetFocus(w->parent);
        if (!w->parent) {
            if (w->on_display && g_display) g_display->WindowHidden(h);
            w->on_display = false;
            ActivateNext(h);
        }
    }
    return was;
}

std::string GetClassName(HWND h) { return Member(h, &Win::cls); }
uint32_t GetWindowStyle(HWND h) { return Member(h, &Win::style); }
uint32_t GetWindowExStyle(HWND h) { return Member(h, &Win::ex_style); }

void SetWindowStyle(HWND h, uint32_t style, uint32_t ex_style) {
    Win* w = Find(h);
    if (!w) return;
    const uint32_t vis = w->style & WS_VISIBLE;
    w->style = (style & ~WS_VISIBLE) | vis;
    w->ex_style = ex_style;
    InvalidateTree(*w);
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
std::vector<HWND> GetTopLevelWindows() { return D().top_levels; }

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
                auto& v = D().top_levels;
                v.erase(std::remove(v.begin(), v.end(), h), v.end());
                v.push_back(h);
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
        if (!w->parent && w->on_display && g_display) g_display->WindowMoved(h, r);
        if (moved) SendMessage(h, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
        if (sized) {
            TRect c = GetClientRect(h);
            SendMessage(h, WM_SIZE, 0, MAKELPARAM(c.Width(), c.Height()));
        }
    }
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
    for (HWND t : D().top_levels) {
        Win* w = Find(t);
        if (!w || !Visible(w) || !w->rect.Contains(screen)) continue;
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

// ---------------------------------------------------------------- painting

bool InvalidateRect(HWND h, const TRect* rect, bool erase) {
    Win* w = Find(h);
    if (!w) return false;
    TRect c = GetClientRect(h);
    TRect r = rect ? Intersect(*rect, c) : c;
    if (!r.Empty()) w->update.Add(r);
    if (erase) w->erase = true;
    if (g_display) g_display->Wake();
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

bool ScrollWindow(HWND h, int, int, const TRect* scroll, const TRect* clip) {
    TRect r = scroll ? *scroll : GetClientRect(h);
    if (clip) r = Intersect(r, *clip);
    return InvalidateRect(h, &r, true);
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

// ---------------------------------------------------------------- messages

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Win* w = Find(h);
    if (!w) return 0;
    const auto top = w->top;
    return top->proc(h, msg, wp, lp, NextProc(top->below));
}

bool PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    {
        std::lock_guard lock(Q().mu);
        Q().posted.push_back({h, msg, wp, lp, 0, {}});
    }
    Wake();
    return true;
}

bool PostThreadMessage(UINT msg, WPARAM wp, LPARAM lp) { return PostMessage(0, msg, wp, lp); }

void PostQuitMessage(int code) {
    {
        std::lock_guard lock(Q().mu);
        Q().quit = true;
        Q().quit_code = code;
    }
    Wake();
}

bool PeekMessage(MSG& m, HWND hwnd, UINT min, UINT max, UINT flags) {
    auto in_range = [&](UINT x) { return (min == 0 && max == 0) || (x >= min && x <= max); };
    const UINT kinds = flags & 0xFFFF0000u;
    const bool posted_ok = !kinds || (kinds & (0x00080000u));
    const bool input_ok = !kinds || (kinds & PM_QS_INPUT);
    const bool paint_ok = !kinds || (kinds & PM_QS_PAINT);
    const bool timer_ok = !kinds || (kinds & PM_QS_TIMER);
    const bool remove = flags & PM_REMOVE;
    auto hwnd_ok = [&](HWND h) { return hwnd == 0 || (hwnd == HWND(-1) ? h == 0 : h == hwnd); };
    {
        std::unique_lock lock(Q().mu);
        auto& q = Q().posted;
        for (auto it = q.begin(); it != q.end();) {
            const bool input = IsInput(it->message);
            if (!hwnd_ok(it->hwnd) || !in_range(it->message) || (input ? !input_ok : !posted_ok)) {
                ++it;
                continue;
            }
            if (it->hwnd != 0 && !Find(it->hwnd)) {  // its window is gone
                if (remove)
                    it = q.erase(it);
                else
                    ++it;
                continue;
            }
            m = *it;
            if (remove) q.erase(it);
            m.time = uint32_t(NowMs());
            return true;
        }
        if (Q().quit && posted_ok && (hwnd == 0 || hwnd == HWND(-1)) && in_range(WM_QUIT)) {
            m = {0, WM_QUIT, WPARAM(Q().quit_code), 0, uint32_t(NowMs()), {}};
            if (remove) Q().quit = false;
            return true;
        }
    }
    if (paint_ok && in_range(WM_PAINT) && hwnd != HWND(-1)) {
        if (HWND h = FindPaint(hwnd)) {
            m = {h, WM_PAINT, 0, 0, uint32_t(NowMs()), {}};
            return true;
        }
    }
    if (timer_ok && in_range(WM_TIMER)) {
        const uint64_t now = NowMs();
        Timer* best = nullptr;
        for (Timer& t : D().timers)
            if (t.due <= now && hwnd_ok(t.hwnd) && (!best || t.due < best->due)) best = &t;
        if (best) {
            m = {best->hwnd, WM_TIMER, best->id, 0, uint32_t(now), {}};
            if (remove) best->due = now + best->interval;
            return true;
        }
    }
    return false;
}

namespace {

std::optional<uint64_t> NextTimerDue() {
    std::optional<uint64_t> due;
    for (const Timer& t : D().timers)
        if (!due || t.due < *due) due = t.due;
    return due;
}

bool AnythingPosted() {
    std::lock_guard lock(Q().mu);
    return !Q().posted.empty() || Q().quit;
}

// Waits for something that may produce a message; false when nothing can.
bool WaitForMore() {
    const auto due = NextTimerDue();
    if (due && g_clock->Skip(*due)) return true;
    const bool real_clock = dynamic_cast<SteadyClock*>(g_clock) != nullptr;
    if (g_display) {
        int timeout = -1;
        if (due && real_clock) timeout = int(std::min<uint64_t>(*due - std::min(*due, NowMs()), 1u << 30));
        return g_display->Wait(timeout);
    }
    std::unique_lock lock(Q().mu);
    auto ready = [] { return !Q().posted.empty() || Q().quit; };
    if (due && real_clock) {
        const auto wait = std::chrono::milliseconds(*due - std::min(*due, NowMs()));
        Q().cv.wait_for(lock, wait, ready);
        return true;
    }
    return Q().cv.wait_for(lock, std::chrono::milliseconds(g_stall_ms), ready);
}

}  // namespace

bool WaitMessage() {
    MSG m;
    if (PeekMessage(m, 0, 0, 0, PM_NOREMOVE)) return true;
    return WaitForMore();
}

int GetMessage(MSG& m, HWND hwnd, UINT min, UINT max) {
    for (;;) {
        if (g_display) g_display->Wait(0);
        if (PeekMessage(m, hwnd, min, max, PM_REMOVE)) return m.message == WM_QUIT ? 0 : 1;
        if (!WaitForMore() && !AnythingPosted()) {
            if (!PeekMessage(m, hwnd, min, max, PM_REMOVE)) return -1;
            return m.message == WM_QUIT ? 0 : 1;
        }
    }
}

LRESULT DispatchMessage(const MSG& m) {
    D().msg_time = m.time;
    if (m.message == WM_TIMER) {
        for (const Timer& t : D().timers) {
            if (t.hwnd == m.hwnd && t.id == UINT(m.wParam) && t.proc) {
                TimerProc proc = t.proc;  // the handler may kill the timer
                proc(m.hwnd, t.id);
                return 0;
            }
        }
    }
    if (m.hwnd == 0) return 0;
    const LRESULT r = SendMessage(m.hwnd, m.message, m.wParam, m.lParam);
    if (m.message == WM_PAINT) {
        // A procedure that did not paint must not get the same message forever.
        if (Win* w = Find(m.hwnd)) w->update.Clear(), w->nc_dirty = false, w->erase = false;
    }
    return r;
}

uint32_t GetMessageTime() { return D().msg_time; }

// ---------------------------------------------------------------- timers and the clock

uint64_t SteadyClock::Now() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool VirtualClock::Skip(uint64_t deadline) {
    if (!auto_) return false;
    now_ = std::max(now_, deadline);
    return true;
}

Clock* InstallClock(Clock* clock) { return std::exchange(g_clock, clock ? clock : &g_steady); }
uint64_t NowMs() { return g_clock->Now(); }

UINT SetTimer(HWND hwnd, UINT id, UINT interval, TimerProc proc) {
    if (hwnd != 0 && !Find(hwnd)) return 0;
    if (hwnd == 0) id = D().next_timer_id++;
    interval = std::max<UINT>(interval, 10);
    const uint64_t due = NowMs() + interval;
    for (Timer& t : D().timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.interval = interval, t.due = due, t.proc = std::move(proc);
            return id;
        }
    }
    D().timers.push_back({hwnd, id, interval, due, std::move(proc)});
    if (g_display) g_display->Wake();
    return id;
}

bool KillTimer(HWND hwnd, UINT id) {
    auto& v = D().timers;
    auto it = std::find_if(v.begin(), v.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

void SetStallLimit(int ms) { g_stall_ms = std::max(0, ms); }

// ---------------------------------------------------------------- focus, activation, capture, caret

HWND SetFocus(HWND h) {
    const HWND old = D().focus;
    if (h != 0) {
        Win* w = Find(h);
        if (!w || (w->style & WS_DISABLED)) return 0;
        HWND root = GetAncestorRoot(h);
        if (D().active != root) SetActiveWindow(root);
    }
    if (old == h) return old;
    D().focus = h;
    if (Find(old)) SendMessage(old, WM_KILLFOCUS, h, 0);
    if (h && D().focus == h) SendMessage(h, WM_SETFOCUS, old, 0);
    return old;
}

HWND GetFocus() { return Find(D().focus) ? D().focus : 0; }

HWND SetActiveWindow(HWND h) {
    const HWND old = D().active;
    if (h != 0) {
        Win* w = Find(h);
        if (!w || w->parent) return 0;
    }
    if (old == h) return old;
    D().active = h;
    if (Find(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_ACTIVATE, WA_INACTIVE, LPARAM(h));
        if (Within(D().focus, old)) {
            const HWND f = std::exchange(D().focus, 0);
            SendMessage(f, WM_KILLFOCUS, 0, 0);
        }
    }
    if (h && D().active == h) {
        BringWindowToTop(h);
        SendMessage(h, WM_NCACTIVATE, 1, 0);
        SendMessage(h, WM_ACTIVATE, WA_ACTIVE, LPARAM(old));
    }
    return old;
}

HWND GetActiveWindow() { return Find(D().active) ? D().active : 0; }
HWND GetForegroundWindow() { return GetActiveWindow(); }
bool SetForegroundWindow(HWND h) {
    return SetActiveWindow(GetAncestorRoot(h)) != 0 || GetActiveWindow() == GetAncestorRoot(h);
}

HWND SetCapture(HWND h) {
    const HWND old = D().capture;
    if (h && !Find(h)) return old;
    D().capture = h;
    if (old && old != h && Find(old)) SendMessage(old, WM_CAPTURECHANGED, 0, LPARAM(h));
    return old;
}
HWND GetCapture() { return Find(D().capture) ? D().capture : 0; }
bool ReleaseCapture() {
    SetCapture(0);
    return true;
}

bool CreateCaret(HWND h, int width, int height) {
    if (!Find(h)) return false;
    D().caret = {h, Bounds(0, 0, std::max(1, width), std::max(1, height)), 1};
    return true;
}
bool DestroyCaret() {
    D().caret = {};
    return true;
}
bool SetCaretPos(int x, int y) {
    auto& c = D().caret;
    if (!c.hwnd) return false;
    c.rect = Bounds(x, y, c.rect.Width(), c.rect.Height());
    return true;
}
TPoint GetCaretPos() { return {D().caret.rect.left, D().caret.rect.top}; }
bool ShowCaret(HWND h) {
    auto& c = D().caret;
    if (!c.hwnd || (h && h != c.hwnd) || c.hide_count == 0) return false;
    --c.hide_count;
    return true;
}
bool HideCaret(HWND h) {
    auto& c = D().caret;
    if (!c.hwnd || (h && h != c.hwnd)) return false;
    ++c.hide_count;
    return true;
}
CaretState GetCaretState() { return D().caret; }

// ---------------------------------------------------------------- input

void InjectMouse(MouseAction action, MouseButton button, TPoint screen, unsigned mods, int wheel) {
    unsigned bit = button == MouseButton::Left ? MK_LBUTTON : button == MouseButton::Right ? MK_RBUTTON : MK_MBUTTON;
    if (action == MouseAction::Down || action == MouseAction::DoubleClick) D().buttons |= bit;
    if (action == MouseAction::Up) D().buttons &= ~bit;
    HWND target = GetCapture();
    if (!target) target = WindowFromPoint(screen);
    if (!target) return;
    const LPARAM sp = MAKELPARAM(screen.x, screen.y);
    const bool activate = action == MouseAction::Down || action == MouseAction::DoubleClick;
    if (activate) {
        HWND root = GetAncestorRoot(target);
        if (GetActiveWindow() != root) SetActiveWindow(root);
    }
    if (!GetCapture()) {
        const LRESULT hit = SendMessage(target, WM_NCHITTEST, 0, sp);
        if (hit != HTCLIENT) {
            UINT m = WM_NCMOUSEMOVE;
            if (action == MouseAction::Down) m = button == MouseButton::Right ? WM_NCRBUTTONDOWN : WM_NCLBUTTONDOWN;
            if (action == MouseAction::Up) m = button == MouseButton::Right ? WM_NCRBUTTONUP : WM_NCLBUTTONUP;
            PostMessage(target, m, WPARAM(hit), sp);
            return;
        }
    }
    const TPoint c = ScreenToClient(target, screen);
    const LPARAM cp = MAKELPARAM(c.x, c.y);
    const WPARAM keys = D().buttons | (mods & (MK_SHIFT | MK_CONTROL));
    UINT m = WM_MOUSEMOVE;
    const bool right = button == MouseButton::Right, middle = button == MouseButton::Middle;
    switch (action) {
    case MouseAction::Move: m = WM_MOUSEMOVE; break;
    case MouseAction::Down: m = right ? WM_RBUTTONDOWN : middle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN; break;
    case MouseAction::Up: m = right ? WM_RBUTTONUP : middle ? WM_MBUTTONUP : WM_LBUTTONUP; break;
    case MouseAction::DoubleClick: m = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK; break;
    case MouseAction::Wheel:
        PostMessage(target, WM_MOUSEWHEEL, WPARAM(uint32_t(int16_t(wheel)) << 16) | keys, sp);
        return;
    }
    PostMessage(target, m, keys, cp);
}

void InjectKey(UINT vk, bool down, unsigned mods) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    D().key_state[vk & 0xFF] = down ? 0x80 : 0;
    if (!target) return;
    const bool alt = mods & kAlt;
    UINT m = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    PostMessage(target, m, vk, down ? 1 : LPARAM(0xC0000001u));
}

short GetKeyState(int vk) { return int16_t(D().key_state[vk & 0xFF] ? 0x8000 : 0); }

void InjectChar(char ansi) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (target) PostMessage(target, WM_CHAR, uint8_t(ansi), 1);
}

// ---------------------------------------------------------------- display and reset

Display* InstallDisplay(Display* display) {
    Display* old = std::exchange(g_display, display);
    if (display)
        for (HWND t : D().top_levels)
            if (Win* w = Find(t); w && Visible(w)) {
                w->on_display = true;
                display->WindowShown(t, w->rect, w->ex_style & WS_EX_TOPMOST);
                InvalidateTree(*w);
            }
    if (!display)
        for (auto& [h, w] : D().windows) w->on_display = false;
    return old;
}

Display* CurrentDisplay() { return g_display; }

void ResetDesktop() {
    Desk& d = D();
    if (g_display)
        for (auto& [h, w] : d.windows)
            if (w->on_display) g_display->WindowDestroyed(h);
    const HWND next = d.next_handle;
    auto classes = std::move(d.classes);
    d = Desk();
    d.next_handle = next;
    d.classes = std::move(classes);
    std::lock_guard lock(Q().mu);
    Q().posted.clear();
    Q().quit = false;
}

size_t WindowCount() { return D().windows.size(); }

}  // namespace ui
