// The combo box's drop-down list: a list box in a window of its own that
// never takes the focus and holds the mouse while it is open. A press outside
// closes it (the press goes nowhere else); a release over an item takes it.
#include <algorithm>

#include "framework/ui/combo_box.hpp"
#include "framework/ui/detail/combo_box_state.hpp"
#include "framework/ui/detail/list_box_state.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace detail {

TRect ComboDroppedRect(HWND combo, const ComboState& s) {
    const TRect r = GetWindowRect(combo);
    const ListBoxState* ls = ListState(s.list);
    const int count = ls ? int(ls->items.size()) : 0;
    const int ih = ls ? ls->item_height : 1;
    const int rows = std::clamp(count, 1, std::max(1, s.min_visible));
    const int height = SatInt(int64_t(rows) * ih + 2);  // and the border
    const int width = std::max(r.Width(), s.dropped_width);
    const int screen = GetSystemMetrics(SM_CYSCREEN);
    // Below the combo box, or above it when the screen ends first.
    const int top = int64_t(r.bottom) + height > screen && int64_t(r.top) - height >= 0 ? r.top - height : r.bottom;
    return Bounds(r.left, top, width, height);
}

}  // namespace detail

namespace {

void MouseMove(HWND list, ListBoxState& ls, ComboState& cs, TPoint p) {
    const TRect c = GetClientRect(list);
    const bool held = ls.tracking || cs.tracking;
    if (held && !ls.items.empty()) {
        // A held button dragged past an edge scrolls a line for each move.
        if (p.y < 0) ListScrollTo(list, ls, ls.top - 1);
        if (p.y >= c.bottom) ListScrollTo(list, ls, ls.top + 1);
    }
    const int i = ListItemAt(list, ls, p, false);
    if (i >= 0 || held) ListSetHot(list, ls, held ? ListItemAt(list, ls, p, true) : i);
}

void MouseDown(HWND list, ListBoxState& ls, ComboState& cs, TPoint client) {
    const HWND combo = ls.combo;
    const TPoint screen = ClientToScreen(list, client);
    if (GetClientRect(list).Contains(client)) {
        ls.tracking = true;
        ListSetHot(list, ls, ListItemAt(list, ls, client, true));
        return;
    }
    if (GetWindowRect(list).Contains(screen)) {
        // The list's own scroll bar; the list takes the mouse back afterwards.
        cs.scrolling = StartScrollTracking(list, SB_VERT, screen);
        return;
    }
    // Anywhere else the press only closes the list.
    ComboCloseUp(combo, cs, false);
}

void MouseUp(HWND list, ListBoxState& ls, ComboState& cs, TPoint client) {
    const bool held = ls.tracking || cs.tracking;
    ls.tracking = cs.tracking = false;
    const HWND combo = ls.combo;
    if (cs.pressed) {
        cs.pressed = false;
        const TRect b = ComboButtonRect(combo);
        InvalidateRect(combo, &b, false);
    }
    const int i = ListItemAt(list, ls, client, false);
    if (!held || i < 0) return;
    ListSelect(list, ls, i, false);
    ComboShowSelection(combo, cs);
    ComboCloseUp(combo, cs, true);
}

LRESULT ComboListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc&) {
    if (msg == WM_NCCREATE) {
        const LRESULT r = CallClassProc("LISTBOX", h, msg, wp, lp);
        if (ListBoxState* ls = ListState(h)) ls->combo = HWND(lp);
        return r;
    }
    ListBoxState* lsp = ListState(h);
    ComboState* csp = lsp ? ComboStateOf(lsp->combo) : nullptr;
    // A simple combo box's list is an ordinary list inside it.
    if (!csp || ComboType(lsp->combo) == CBS_SIMPLE) {
        if (lsp && msg == WM_LBUTTONDOWN && lsp->combo) {
            // The focus stays with the combo box (or its edit).
            ListSelect(h, *lsp, ListItemAt(h, *lsp, {LOWORD_S(lp), HIWORD_S(lp)}, false), true);
            SetFocus(lsp->combo);
            return 0;
        }
        if (lsp && msg == WM_LBUTTONDBLCLK && lsp->combo) {
            ComboNotify(lsp->combo, CBN_DBLCLK);
            return 0;
        }
        return CallClassProc("LISTBOX", h, msg, wp, lp);
    }
    ListBoxState& ls = *lsp;
    ComboState& cs = *csp;
    const TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
    switch (msg) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
        if (cs.dropped) MouseMove(h, ls, cs, p);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (cs.dropped) MouseDown(h, ls, cs, p);
        return 0;
    case WM_LBUTTONUP:
        if (cs.dropped) MouseUp(h, ls, cs, p);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (cs.dropped && !GetWindowRect(h).Contains(ClientToScreen(h, p))) ComboCloseUp(ls.combo, cs, false);
        return 0;
    case WM_CAPTURECHANGED:
        if (cs.dropped && !cs.scrolling) ComboCloseUp(ls.combo, cs, false);
        return 0;
    case WM_CANCELMODE:
        if (cs.dropped) ComboCloseUp(ls.combo, cs, false);
        return 0;
    case WM_VSCROLL: {
        const LRESULT r = CallClassProc("LISTBOX", h, msg, wp, lp);
        if (int(wp & 0xFFFF) == SB_ENDSCROLL && cs.scrolling) {
            cs.scrolling = false;
            if (cs.dropped) SetCapture(h);
        }
        return r;
    }
    default: return CallClassProc("LISTBOX", h, msg, wp, lp);
    }
}

}  // namespace

namespace detail {

void ComboDropDown(HWND combo, ComboState& s) {
    if (s.dropped || !s.list || ComboType(combo) == CBS_SIMPLE) return;
    ComboNotify(combo, CBN_DROPDOWN);  // the parent may fill the list now
    ListBoxState* ls = ListState(s.list);
    if (!ls || !IsWindow(combo)) return;
    s.sel_at_drop = ls->sel;
    const TRect r = ComboDroppedRect(combo, s);
    SetWindowPos(s.list, HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ls->hot = -1;
    // The list opens at its start, or as little further as shows the selection.
    ListScrollTo(s.list, *ls, 0);
    if (ls->sel >= 0) SendMessage(s.list, LB_SETCARETINDEX, WPARAM(ls->sel));
    s.dropped = true;
    s.pressed = true;
    SetCapture(s.list);
    InvalidateRect(combo, nullptr, false);
}

void ComboCloseUp(HWND combo, ComboState& s, bool ok) {
    if (!s.dropped) return;
    s.dropped = s.tracking = s.pressed = s.scrolling = false;
    if (GetCapture() == s.list) ReleaseCapture();
    ShowWindow(s.list, SW_HIDE);
    ListBoxState* ls = ListState(s.list);
    if (ls) {
        ls->hot = -1;
        ls->tracking = false;
        if (!ok && ls->sel != s.sel_at_drop) {
            ListSelect(s.list, *ls, s.sel_at_drop, false);
            ComboShowSelection(combo, s);
        }
    }
    InvalidateRect(combo, nullptr, false);
    ComboNotify(combo, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    ComboNotify(combo, CBN_CLOSEUP);
    if (ComboState* again = ComboStateOf(combo)) ComboAnnounce(combo, *again);
}

void RegisterComboListClass() { RegisterWindowClass({"ComboLBox", ComboListProc, CS_DBLCLKS, std::nullopt}); }

}  // namespace detail

}  // namespace ui
