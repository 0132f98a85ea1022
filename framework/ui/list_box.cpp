// The list box class: items, the selection, scrolling, painting (by the
// class or by the owner), keys and the mouse.
#include <algorithm>

#include "framework/ui/detail/list_box_state.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/list_box.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/sysparams.hpp"
#include "platform/codepage.hpp"

namespace ui {

using namespace detail;

namespace {

// Marks a window whose class data is a ListBoxState.
constexpr int kListMarkLong = -1102;
constexpr intptr_t kListMark = 0x11B0;

bool OwnerDrawn(HWND h) { return GetWindowStyle(h) & LBS_OWNERDRAWFIXED; }
bool HasStrings(HWND h) { return !OwnerDrawn(h) || (GetWindowStyle(h) & LBS_HASSTRINGS); }

// Where owner drawing goes: a drop-down list's items are its combo box's.
HWND OwnerOf(HWND h, const ListBoxState& s) { return GetParent(s.combo ? s.combo : h); }

void Notify(HWND h, const ListBoxState& s, WPARAM code) {
    if (s.combo) {
        SendMessage(s.combo, WM_COMMAND, MAKEWPARAM(0, int(code)), LPARAM(h));
        return;
    }
    const HWND parent = GetParent(h);
    if (parent && (GetWindowStyle(h) & LBS_NOTIFY))
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), int(code)), LPARAM(h));
}

int DefaultItemHeight(const ListBoxState& s) { return std::max(1, FontMetrics(s.font).height); }

TRect ItemRect(HWND h, const ListBoxState& s, int i) {
    const TRect c = GetClientRect(h);
    const int64_t y = int64_t(i - s.top) * s.item_height;
    return {0, SatInt(y), c.right, SatInt(y + s.item_height)};
}

void InvalidateItem(HWND h, const ListBoxState& s, int i) {
    if (i < 0 || i >= int(s.items.size())) return;
    const TRect r = ItemRect(h, s, i);
    InvalidateRect(h, &r, false);
}

void UpdateScroll(HWND h, const ListBoxState& s) {
    if (!s.scroll_bar) return;
    const uint32_t style = GetWindowStyle(h);
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | ((style & LBS_DISABLENOSCROLL) ? UINT(SIF_DISABLENOSCROLL) : 0u);
    si.nMin = 0;
    si.nMax = std::max(0, int(s.items.size()) - 1);
    si.nPage = UINT(ListVisibleCount(h, s));
    si.nPos = s.top;
    SetScrollInfo(h, SB_VERT, si, true);
}

void EnsureVisible(HWND h, ListBoxState& s, int i) {
    if (i < 0) return;
    const int visible = ListVisibleCount(h, s);
    if (i < s.top)
        ListScrollTo(h, s, i);
    else if (i >= s.top + visible)
        ListScrollTo(h, s, i - visible + 1);
}

void DrawItem(HWND h, ListBoxState& s, DC& dc, int i, COLORREF back) {
    const TRect r = ItemRect(h, s, i);
    const bool selected = s.hot >= 0 ? i == s.hot : i == s.sel;
    const bool focus = !s.combo && GetFocus() == h && i == s.caret;
    const bool enabled = IsWindowEnabled(s.combo ? s.combo : h);
    if (OwnerDrawn(h)) {
        DRAWITEMSTRUCT dis;
        dis.CtlType = s.combo ? ODT_COMBOBOX : ODT_LISTBOX;
        dis.CtlID = UINT(GetDlgCtrlID(s.combo ? s.combo : h));
        dis.itemID = UINT(i);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState =
            (selected ? UINT(ODS_SELECTED) : 0u) | (focus ? UINT(ODS_FOCUS) : 0u) | (enabled ? 0u : UINT(ODS_DISABLED));
        dis.hwndItem = s.combo ? s.combo : h;
        dis.hDC = &dc;
        dis.rcItem = r;
        dis.itemData = s.items[size_t(i)].data;
        const int saved = dc.Save();
        dc.IntersectClipRect(r);
        if (const HWND owner = OwnerOf(h, s)) SendMessage(owner, WM_DRAWITEM, WPARAM(dis.CtlID), LPARAM(&dis));
        dc.Restore(saved);
        return;
    }
    const COLORREF fill = selected ? GetSysColor(COLOR_HIGHLIGHT) : back;
    FillRect(dc, r, Brush::Solid(fill));
    SetTextColor(dc,
                 !enabled       ? GetSysColor(COLOR_GRAYTEXT)
                     : selected ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                : dc.S().text_color);
    const COLORREF text = dc.S().text_color;
    ExtTextOut(dc, r.left + 2, r.top, &r, nullptr, s.items[size_t(i)].text);
    if (focus) DrawFocusRect(dc, r);
    SetTextColor(dc, text);
}

void Paint(HWND h, ListBoxState& s) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    SetTextColor(*dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(*dc, GetSysColor(COLOR_WINDOW));
    const HWND owner = OwnerOf(h, s);
    // A drop-down list's colours are its combo box's.
    const LRESULT brush =
        owner ? SendMessage(owner, WM_CTLCOLORLISTBOX, WPARAM(dc.get()), LPARAM(s.combo ? s.combo : h)) : 0;
    const COLORREF back = (brush & kColorBrush) ? COLORREF(brush & 0xFFFFFF) : GetSysColor(COLOR_WINDOW);
    const COLORREF text = dc->S().text_color;
    dc->S().font = s.font;
    SetBkMode(*dc, TRANSPARENT);
    const TRect client = GetClientRect(h);
    const int count = int(s.items.size());
    const int last = std::min(count, s.top + ListVisibleCount(h, s) + 1);
    const int below = SatInt(int64_t(last - s.top) * s.item_height);
    if (below < client.bottom) FillRect(*dc, {0, std::max(0, below), client.right, client.bottom}, Brush::Solid(back));
    for (int i = s.top; i < last; ++i) {
        if (!Intersects(ItemRect(h, s, i), ps.rcPaint)) continue;
        SetTextColor(*dc, text);
        DrawItem(h, s, *dc, i, back);
    }
    EndPaint(h, std::move(dc));
}

int Insert(HWND h, ListBoxState& s, int index, LPARAM lp, bool add) {
    ListItem item;
    if (HasStrings(h))
        item.text = lp ? reinterpret_cast<const char*>(lp) : "";
    else
        item.data = uintptr_t(lp);
    const int count = int(s.items.size());
    if (add && (GetWindowStyle(h) & LBS_SORT) && HasStrings(h)) {
        const std::string key = platform::AnsiUpper(item.text);
        index = int(std::upper_bound(
                        s.items.begin(), s.items.end(), key,
                        [](const std::string& k, const ListItem& it) { return k < platform::AnsiUpper(it.text); }) -
                    s.items.begin());
    } else if (add || index < 0 || index > count) {
        if (!add && index > count) return LB_ERR;
        index = count;
    }
    s.items.insert(s.items.begin() + index, std::move(item));
    if (s.sel >= index) ++s.sel;
    if (s.caret >= index && count > 0) ++s.caret;
    UpdateScroll(h, s);
    InvalidateRect(h, nullptr, false);
    return index;
}

LRESULT Delete(HWND h, ListBoxState& s, int index) {
    if (index < 0 || index >= int(s.items.size())) return LB_ERR;
    s.items.erase(s.items.begin() + index);
    if (s.sel == index)
        s.sel = -1;
    else if (s.sel > index)
        --s.sel;
    if (s.caret > index) --s.caret;
    s.caret = std::clamp(s.caret, 0, std::max(0, int(s.items.size()) - 1));
    if (s.hot >= int(s.items.size())) s.hot = -1;
    ListScrollTo(h, s, s.top);
    UpdateScroll(h, s);
    InvalidateRect(h, nullptr, false);
    return LRESULT(s.items.size());
}

// Case-insensitive search from the item after `start`, going round.
LRESULT FindItem(const ListBoxState& s, int start, const char* text, bool exact) {
    const int count = int(s.items.size());
    if (count == 0 || !text) return LB_ERR;
    const std::string want = platform::AnsiUpper(std::string_view(text));
    const int from = start < 0 || start >= count ? 0 : start + 1;
    for (int n = 0; n < count; ++n) {
        const int i = (from + n) % count;
        const std::string have = platform::AnsiUpper(s.items[size_t(i)].text);
        if (exact ? have == want : have.compare(0, want.size(), want) == 0) return i;
    }
    return LB_ERR;
}

void Scroll(HWND h, ListBoxState& s, int code) {
    const int page = std::max(1, ListVisibleCount(h, s) - 1);
    SCROLLINFO si;
    si.fMask = SIF_TRACKPOS;
    switch (code) {
    case SB_LINEUP: ListScrollTo(h, s, s.top - 1); break;
    case SB_LINEDOWN: ListScrollTo(h, s, s.top + 1); break;
    case SB_PAGEUP: ListScrollTo(h, s, s.top - page); break;
    case SB_PAGEDOWN: ListScrollTo(h, s, s.top + page); break;
    case SB_TOP: ListScrollTo(h, s, 0); break;
    case SB_BOTTOM: ListScrollTo(h, s, int(s.items.size())); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        if (GetScrollInfo(h, SB_VERT, si)) ListScrollTo(h, s, si.nTrackPos);
        break;
    default: break;
    }
}

void MouseDown(HWND h, ListBoxState& s, TPoint p, bool dbl) {
    if (GetFocus() != h) SetFocus(h);
    const int i = ListItemAt(h, s, p, false);
    if (i >= 0) ListSelect(h, s, i, true);
    if (dbl) {
        if (i >= 0) Notify(h, s, LBN_DBLCLK);
        return;
    }
    s.tracking = true;
    SetCapture(h);
}

void MouseMove(HWND h, ListBoxState& s, TPoint p) {
    if (!s.tracking || s.items.empty()) return;
    const TRect c = GetClientRect(h);
    // Dragging past an edge scrolls a line for each move.
    if (p.y < 0) ListScrollTo(h, s, s.top - 1);
    if (p.y >= c.bottom) ListScrollTo(h, s, s.top + 1);
    ListSelect(h, s, ListItemAt(h, s, p, true), true);
}

LRESULT ListBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    if (msg == WM_NCCREATE) {
        auto st = std::make_shared<ListBoxState>();
        st->font = CreateFont(LogFont{});
        st->item_height = DefaultItemHeight(*st);
        st->scroll_bar = GetWindowStyle(h) & WS_VSCROLL;
        Find(h)->class_data = st;
        SetWindowLongPtr(h, kListMarkLong, kListMark);
        return next(h, msg, wp, lp);
    }
    ListBoxState* sp = ListState(h);
    if (!sp) return next(h, msg, wp, lp);
    ListBoxState& s = *sp;
    const int count = int(s.items.size());
    auto valid = [&](WPARAM i) { return int(i) >= 0 && int(i) < count; };
    switch (msg) {
    case WM_CREATE:
        if (OwnerDrawn(h) && !s.combo) s.item_height = ListMeasure(h, s, 0, s.item_height);
        UpdateScroll(h, s);
        return 0;
    case WM_PAINT: Paint(h, s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        ListScrollTo(h, s, s.top);
        UpdateScroll(h, s);
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_SETFONT:
        s.font = wp ? *reinterpret_cast<const FontPtr*>(wp) : CreateFont(LogFont{});
        if (!OwnerDrawn(h)) s.item_height = DefaultItemHeight(s);
        UpdateScroll(h, s);
        if (lp) InvalidateRect(h, nullptr, false);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateItem(h, s, s.caret);
        if (msg == WM_KILLFOCUS && s.tracking) {
            s.tracking = false;
            if (GetCapture() == h) ReleaseCapture();
        }
        Notify(h, s, msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return 0;
    case WM_ENABLE: InvalidateRect(h, nullptr, false); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: ListKey(h, s, UINT(wp), true); return 0;
    case WM_CHAR: ListChar(h, s, char(wp), true); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(h, s, {LOWORD_S(lp), HIWORD_S(lp)}, msg == WM_LBUTTONDBLCLK); return 0;
    case WM_MOUSEMOVE: MouseMove(h, s, {LOWORD_S(lp), HIWORD_S(lp)}); return 0;
    case WM_LBUTTONUP:
        if (s.tracking) {
            s.tracking = false;
            if (GetCapture() == h) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        s.tracking = false;
        if (msg == WM_CANCELMODE && GetCapture() == h) ReleaseCapture();
        return 0;
    case WM_VSCROLL: Scroll(h, s, int(wp & 0xFFFF)); return 0;
    case WM_MOUSEWHEEL: {
        const int delta = int16_t(uint16_t(wp >> 16));
        ListScrollTo(h, s, s.top - delta / 120 * 3);
        return 0;
    }
    case LB_ADDSTRING: return Insert(h, s, -1, lp, true);
    case LB_INSERTSTRING: return Insert(h, s, int(wp), lp, false);
    case LB_DELETESTRING: return Delete(h, s, int(wp));
    case LB_RESETCONTENT:
        s.items.clear();
        s.sel = s.hot = -1;
        s.caret = s.top = 0;
        UpdateScroll(h, s);
        InvalidateRect(h, nullptr, false);
        return 0;
    case LB_GETCOUNT: return count;
    case LB_GETCURSEL: return s.sel;
    case LB_SETCURSEL: ListSelect(h, s, valid(wp) ? int(wp) : -1, false); return valid(wp) ? LRESULT(wp) : LB_ERR;
    case LB_GETTEXT:
        if (!valid(wp)) return LB_ERR;
        if (lp) *reinterpret_cast<std::string*>(lp) = s.items[wp].text;
        return LRESULT(s.items[wp].text.size());
    case LB_GETTEXTLEN: return valid(wp) ? LRESULT(s.items[wp].text.size()) : LB_ERR;
    case LB_GETITEMDATA: return valid(wp) ? LRESULT(s.items[wp].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!valid(wp)) return LB_ERR;
        s.items[wp].data = uintptr_t(lp);
        return 0;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: return FindItem(s, int(wp), reinterpret_cast<const char*>(lp), msg == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
        const LRESULT i = FindItem(s, int(wp), reinterpret_cast<const char*>(lp), false);
        if (i != LB_ERR) ListSelect(h, s, int(i), false);
        return i;
    }
    case LB_GETTOPINDEX: return s.top;
    case LB_SETTOPINDEX:
        if (!valid(wp)) return LB_ERR;
        ListScrollTo(h, s, int(wp));
        return 0;
    case LB_GETCARETINDEX: return s.caret;
    case LB_SETCARETINDEX:
        if (!valid(wp)) return LB_ERR;
        InvalidateItem(h, s, s.caret);
        s.caret = int(wp);
        InvalidateItem(h, s, s.caret);
        EnsureVisible(h, s, s.caret);
        return 0;
    case LB_GETITEMRECT:
        if (!valid(wp) || !lp) return LB_ERR;
        *reinterpret_cast<TRect*>(lp) = ItemRect(h, s, int(wp));
        return 1;
    case LB_GETITEMHEIGHT: return s.item_height;
    case LB_SETITEMHEIGHT:
        if (lp < 1 || lp > 255) return LB_ERR;
        s.item_height = int(lp);
        ListScrollTo(h, s, s.top);
        UpdateScroll(h, s);
        InvalidateRect(h, nullptr, false);
        return 0;
    case LB_ITEMFROMPOINT: {
        const TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
        const int i = ListItemAt(h, s, p, true);
        const bool outside = ListItemAt(h, s, p, false) < 0;
        return MAKELPARAM(std::max(i, 0), outside ? 1 : 0);
    }
    default: return next(h, msg, wp, lp);
    }
}

}  // namespace

namespace detail {

ListBoxState* ListState(HWND h) {
    Win* w = Find(h);
    if (!w || GetWindowLongPtr(h, kListMarkLong) != kListMark) return nullptr;
    return static_cast<ListBoxState*>(w->class_data.get());
}

int ListVisibleCount(HWND h, const ListBoxState& s) {
    return std::max(1, GetClientRect(h).Height() / std::max(1, s.item_height));
}

int ListItemAt(HWND h, const ListBoxState& s, TPoint p, bool clamp) {
    const int count = int(s.items.size());
    if (count == 0) return -1;
    const TRect c = GetClientRect(h);
    const int row = p.y >= 0 ? p.y / std::max(1, s.item_height) : -1;
    const int i = SatInt(int64_t(s.top) + row);
    if (clamp) return std::clamp(i, s.top, std::min(count - 1, s.top + ListVisibleCount(h, s) - 1));
    if (p.x < 0 || p.x >= c.right || p.y < 0 || p.y >= c.bottom || i >= count) return -1;
    return i;
}

void ListScrollTo(HWND h, ListBoxState& s, int top) {
    top = std::clamp(top, 0, std::max(0, int(s.items.size()) - ListVisibleCount(h, s)));
    if (top == s.top) return;
    s.top = top;
    UpdateScroll(h, s);
    InvalidateRect(h, nullptr, false);
}

void ListSelect(HWND h, ListBoxState& s, int index, bool notify) {
    if (index >= int(s.items.size())) index = -1;
    const int old = s.sel;
    InvalidateItem(h, s, s.hot >= 0 ? s.hot : s.sel);
    InvalidateItem(h, s, s.caret);
    s.sel = index;
    s.hot = -1;
    if (index >= 0) s.caret = index;
    InvalidateItem(h, s, s.sel);
    EnsureVisible(h, s, index);
    if (notify && old != index) Notify(h, s, LBN_SELCHANGE);
}

void ListSetHot(HWND h, ListBoxState& s, int index) {
    if (index == s.hot) return;
    InvalidateItem(h, s, s.hot >= 0 ? s.hot : s.sel);
    s.hot = index;
    InvalidateItem(h, s, s.hot >= 0 ? s.hot : s.sel);
}

bool ListKey(HWND h, ListBoxState& s, UINT vk, bool notify) {
    const int count = int(s.items.size());
    if (count == 0) return false;
    const int page = std::max(1, ListVisibleCount(h, s) - 1);
    const int from = s.hot >= 0 ? s.hot : s.sel;
    int to = from;
    switch (vk) {
    case VK_UP:
    case VK_LEFT: to = from < 0 ? 0 : from - 1; break;
    case VK_DOWN:
    case VK_RIGHT: to = from + 1; break;
    case VK_PRIOR: to = from < 0 ? 0 : from - page; break;
    case VK_NEXT: to = std::max(from, 0) + page; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = count - 1; break;
    default: return false;
    }
    to = std::clamp(to, 0, count - 1);
    if (to != s.sel || s.hot >= 0) ListSelect(h, s, to, notify);
    return true;
}

void ListChar(HWND h, ListBoxState& s, char c, bool notify) {
    const int count = int(s.items.size());
    if (count == 0 || !HasStrings(h) || uint8_t(c) < 0x20) return;
    const char want = platform::AnsiUpper(c);
    const int from = s.sel < 0 ? 0 : s.sel + 1;
    for (int n = 0; n < count; ++n) {
        const int i = (from + n) % count;
        const std::string& t = s.items[size_t(i)].text;
        if (!t.empty() && platform::AnsiUpper(t[0]) == want) {
            ListSelect(h, s, i, notify);
            return;
        }
    }
}

int ListMeasure(HWND h, const ListBoxState& s, UINT item, int fallback) {
    MEASUREITEMSTRUCT mis;
    mis.CtlType = s.combo ? ODT_COMBOBOX : ODT_LISTBOX;
    mis.CtlID = UINT(GetDlgCtrlID(s.combo ? s.combo : h));
    mis.itemID = item;
    mis.itemWidth = UINT(std::max(0, GetClientRect(h).Width()));
    mis.itemHeight = UINT(fallback);
    if (const HWND owner = OwnerOf(h, s)) SendMessage(owner, WM_MEASUREITEM, WPARAM(mis.CtlID), LPARAM(&mis));
    return std::clamp(int(mis.itemHeight), 1, 255);
}

void RegisterListBoxClass() { RegisterWindowClass({"LISTBOX", ListBoxProc, CS_DBLCLKS, std::nullopt}); }

}  // namespace detail

}  // namespace ui
