// Where menus show: the drop-down window (class "#32768") and a window's
// menu bar, which the default frame paints below the title bar.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/menu_handles.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

constexpr const char* kMenuClass = "#32768";
constexpr int kMenuLong = -1001;  // window long holding the drop-down's menu

LRESULT MenuWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        auto dc = BeginPaint(h, ps);
        if (MenuRec* m = FindMenu(HMENU(GetWindowLongPtr(h, kMenuLong)))) {
            FillRect(*dc, GetClientRect(h), Brush::Solid(GetSysColor(COLOR_MENU)));
            for (size_t i = 0; i < m->items.size(); ++i) {
                // The owner may change the menu while it draws an item.
                if (!(m = FindMenu(HMENU(GetWindowLongPtr(h, kMenuLong)))) || i >= m->items.size()) break;
                if (Intersects(m->items[i].rect, ps.rcPaint)) DrawMenuItem(*dc, *m, int(i), m->owner, false, false);
            }
            if (m) DrawBarBreaks(*dc, *m);
        }
        EndPaint(h, std::move(dc));
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return next(h, msg, wp, lp);
    }
}

void EnsureMenuClass() {
    if (!IsWindowClassRegistered(kMenuClass))
        RegisterWindowClass({kMenuClass, MenuWindowProc, CS_SAVEBITS | CS_DROPSHADOW, std::nullopt});
}

}  // namespace

namespace detail {

HWND CreateMenuWindow(MenuRec& m, TPoint screen) {
    EnsureMenuClass();
    const int fx = GetSystemMetrics(SM_CXDLGFRAME), fy = GetSystemMetrics(SM_CYDLGFRAME);
    CreateParams p;
    p.class_name = kMenuClass;
    p.style = WS_POPUP | WS_DLGFRAME;
    p.ex_style = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    p.rect = Bounds(screen.x, screen.y, m.size.cx + 2 * fx, m.size.cy + 2 * fy);
    const HWND h = CreateWindow(p);
    if (!h) return 0;
    SetWindowLongPtr(h, kMenuLong, intptr_t(m.handle));
    m.window = h;
    ShowWindow(h, SW_SHOWNA);
    return h;
}

void DestroyMenuWindow(MenuRec& m) {
    const HWND h = std::exchange(m.window, 0);
    if (h && IsWindow(h)) DestroyWindow(h);
}

void InvalidateMenuItem(MenuRec& m, int index) {
    if (index < 0 || size_t(index) >= m.items.size()) return;
    if (m.window && IsWindow(m.window)) {
        const TRect r = m.items[size_t(index)].rect;
        InvalidateRect(m.window, &r, false);
    } else if (m.bar_owner && GetMenu(m.bar_owner) == m.handle) {
        InvalidateNonClient(m.bar_owner);
    }
}

TRect BarRect(const Win& w) {
    if (!w.menu || w.parent || w.menu_bar <= 0) return {};
    const TRect f = FrameInsets(w);
    return {f.left, f.top, w.rect.Width() - f.right, f.top + w.menu_bar};
}

void PaintMenuBar(HWND hwnd, DC& dc) {
    Win* w = Find(hwnd);
    if (!w) return;
    const TRect bar = BarRect(*w);
    // A window that took the bar's place into its client area paints it itself.
    if (bar.Empty() || Intersects(bar, ClientIn(*w))) return;
    MenuRec* m = FindMenu(w->menu);
    if (!m) return;
    if (!m->laid_out) LayoutBar(*m, hwnd, bar);
    const int saved = dc.Save();
    dc.IntersectClipRect(bar);
    FillRect(dc, bar, Brush::Solid(GetSysColor(COLOR_MENU)));
    dc.S().font = MenuFont();
    for (size_t i = 0; i < m->items.size(); ++i) {
        if (!(m = FindMenu(HMENU(Member(hwnd, &Win::menu)))) || i >= m->items.size()) break;
        DrawMenuItem(dc, *m, int(i), hwnd, true, m->open_index == int(i));
    }
    dc.Restore(saved);
}

void RecalcMenuBar(HWND hwnd) {
    Win* w = Find(hwnd);
    if (!w) return;
    MenuRec* m = FindMenu(w->menu);
    if (!m || w->parent) {
        w->menu_bar = 0;
        return;
    }
    const TRect f = FrameInsets(*w);
    const int height = LayoutBar(*m, hwnd, {f.left, f.top, w->rect.Width() - f.right, f.top});
    if ((w = Find(hwnd))) w->menu_bar = height;
    // The items lie in the bar's row.
    if ((m = FindMenu(Member(hwnd, &Win::menu))))
        for (MenuItemRec& it : m->items) it.rect.bottom = it.rect.top + height;
}

}  // namespace detail

bool SetMenu(HWND hwnd, HMENU menu) {
    Win* w = Find(hwnd);
    if (!w || w->parent || (menu && !FindMenu(menu))) return false;
    if (MenuRec* old = FindMenu(w->menu); old && old->bar_owner == hwnd) old->bar_owner = 0;
    const TRect before = ClientIn(*w);
    w->menu = menu;
    RecalcMenuBar(hwnd);
    RecalcFrame(hwnd, &before);
    return true;
}

HMENU GetMenu(HWND hwnd) {
    const Win* w = Find(hwnd);
    return w && !w->parent ? HMENU(w->menu) : 0;
}

bool DrawMenuBar(HWND hwnd) {
    Win* w = Find(hwnd);
    if (!w || !w->menu) return false;
    const int before = w->menu_bar;
    const TRect client = ClientIn(*w);
    RecalcMenuBar(hwnd);
    if (Member(hwnd, &Win::menu_bar) != before)
        RecalcFrame(hwnd, &client);
    else
        InvalidateNonClient(hwnd);
    return true;
}

TRect GetMenuBarRect(HWND hwnd) {
    const Win* w = Find(hwnd);
    return w ? BarRect(*w) : TRect{};
}

int GetMenuBarHeight(HWND hwnd) { return Member(hwnd, &Win::menu_bar); }

bool HiliteMenuItem(HWND hwnd, HMENU menu, UINT item, UINT flags) {
    MenuRec* owner = nullptr;
    int index = -1;
    MenuItemRec* it = FindItem(menu, item, flags & MF_BYPOSITION, &owner, &index);
    if (!it) return false;
    const UINT was = it->state;
    it->state = (it->state & ~MFS_HILITE) | (flags & MF_HILITE);
    if (was != it->state) {
        if (owner->bar_owner == 0 && hwnd && GetMenu(hwnd) == menu) owner->bar_owner = hwnd;
        InvalidateMenuItem(*owner, index);
    }
    return true;
}

}  // namespace ui
