// The combo box class: its field and button, the edit of the editable
// styles, keys, the selection kept in step with the field, and the item
// messages, which go on to its list.
#include <algorithm>
#include <cstring>

#include "framework/ui/combo_box.hpp"
#include "framework/ui/detail/combo_box_state.hpp"
#include "framework/ui/detail/list_box_state.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

constexpr UINT kEditId = 1001;
// Marks a window whose class data is a ComboState (a class-library control
// over the class has a class name of its own).
constexpr int kComboMarkLong = -1101;
constexpr intptr_t kComboMark = 0xC0B0;

bool OwnerDrawn(HWND h) { return GetWindowStyle(h) & CBS_OWNERDRAWFIXED; }

int FieldTotal(const ComboState& s) { return s.field_height + 2 * (kComboEdge + 1); }

ListBoxState* List(const ComboState& s) { return ListState(s.list); }
int Selected(const ComboState& s) { return List(s) ? List(s)->sel : -1; }

TRect FieldRect(HWND h, const ComboState& s) {
    const TRect c = GetClientRect(h);
    const bool simple = ComboType(h) == CBS_SIMPLE;
    const int bottom = simple ? FieldTotal(s) : c.bottom;
    const int right = simple ? c.right - kComboEdge : ComboButtonRect(h).left;
    return {kComboEdge, kComboEdge, right, bottom - kComboEdge};
}

int Measure(HWND h, UINT item, int fallback) {
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_COMBOBOX;
    mis.CtlID = UINT(GetDlgCtrlID(h));
    mis.itemID = item;
    mis.itemWidth = UINT(std::max(0, GetClientRect(h).Width()));
    mis.itemHeight = UINT(fallback);
    if (const HWND parent = GetParent(h)) SendMessage(parent, WM_MEASUREITEM, WPARAM(mis.CtlID), LPARAM(&mis));
    return std::clamp(int(mis.itemHeight), 1, 255);
}

// A drop-down style keeps its window as high as its field.
void FitHeight(HWND h, ComboState& s) {
    if (ComboType(h) == CBS_SIMPLE || s.sizing) return;
    const TRect r = GetWindowRect(h);
    const TRect ins = GetNonClientInsets(h);
    const int want = FieldTotal(s) + ins.top + ins.bottom;
    if (r.Height() == want) return;
    s.sizing = true;
    SetWindowPos(h, 0, 0, 0, r.Width(), want, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.sizing = false;
}

void Layout(HWND h, ComboState& s) {
    const TRect c = GetClientRect(h);
    if (s.edit) {
        const TRect f = FieldRect(h, s).Inflate(-1, -1);
        MoveWindow(s.edit, f.left, f.top, std::max(0, f.Width()), std::max(0, f.Height()), true);
    }
    if (ComboType(h) == CBS_SIMPLE && s.list)
        MoveWindow(s.list, 0, FieldTotal(s), c.right, std::max(0, c.bottom - FieldTotal(s)), true);
}

bool ComboKey(HWND h, ComboState& s, UINT msg, UINT vk);

// The edit of an editable style hands the combo box its keys.
SubclassToken HookEdit(HWND combo, HWND edit) {
    return SubclassWindow(edit, [combo](HWND e, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        ComboState* s = ComboStateOf(combo);
        if (!s) return next(e, m, w, l);
        switch (m) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (ComboKey(combo, *s, m, UINT(w))) return 0;
            break;
        case WM_CHAR:
            if (s->dropped && (w == '\r' || w == 27)) return 0;
            break;
        case WM_GETDLGCODE: return next(e, m, w, l) | DLGC_WANTARROWS | (s->dropped ? UINT(DLGC_WANTALLKEYS) : 0u);
        case WM_SETFOCUS: {
            const LRESULT r = next(e, m, w, l);
            if (!Within(HWND(w), combo)) ComboNotify(combo, CBN_SETFOCUS);
            return r;
        }
        case WM_KILLFOCUS: {
            const LRESULT r = next(e, m, w, l);
            if (!Within(HWND(w), combo)) {
                ComboCloseUp(combo, *s, false);
                ComboNotify(combo, CBN_KILLFOCUS);
            }
            return r;
        }
        case WM_MOUSEWHEEL: return SendMessage(combo, m, w, l);
        default: break;
        }
        return next(e, m, w, l);
    });
}

void Create(HWND h, ComboState& s) {
    const uint32_t style = GetWindowStyle(h);
    const uint32_t type = style & 3;
    const bool owner = style & CBS_OWNERDRAWFIXED;
    const int font_height = std::max(1, FontMetrics(s.font).height);
    s.field_height = owner ? Measure(h, UINT(-1), font_height) : font_height;
    const int item_height = owner ? Measure(h, 0, font_height) : font_height;
    CreateParams lp;
    lp.class_name = "ComboLBox";
    lp.style = LBS_COMBOBOX | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | (owner ? UINT(LBS_OWNERDRAWFIXED) : 0u) |
        ((!owner || (style & CBS_HASSTRINGS)) ? UINT(LBS_HASSTRINGS) : 0u) | ((style & CBS_SORT) ? UINT(LBS_SORT) : 0u);
    if (type == CBS_SIMPLE) {
        lp.style |= WS_CHILD | WS_VISIBLE;
        lp.parent = h;
    } else {
        lp.style |= WS_POPUP;
        lp.ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
        lp.owner = GetAncestorRoot(h);
    }
    lp.param = LPARAM(h);
    s.list = CreateWindow(lp);
    SendMessage(s.list, WM_SETFONT, WPARAM(&s.font), 0);
    SendMessage(s.list, LB_SETITEMHEIGHT, 0, item_height);
    if (type != CBS_DROPDOWNLIST) {
        CreateParams ep;
        ep.class_name = "EDIT";
        ep.style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
        ep.parent = h;
        ep.id = kEditId;
        s.edit = CreateWindow(ep);
        SendMessage(s.edit, WM_SETFONT, WPARAM(&s.font), 0);
        s.edit_token = HookEdit(h, s.edit);
    }
    FitHeight(h, s);
    Layout(h, s);
}

void DrawArrow(DC& dc, const TRect& b, bool pressed, COLORREF color) {
    const int cx = (b.left + b.right) / 2 + (pressed ? 1 : 0);
    const int cy = (b.top + b.bottom) / 2 - 2 + (pressed ? 1 : 0);
    for (int row = 0; row < 4; ++row)
        FillRect(dc, {cx - 3 + row, cy + row, cx + 4 - row, cy + row + 1}, Brush::Solid(color));
}

void DrawField(HWND h, ComboState& s, DC& dc, COLORREF back) {
    const TRect item = FieldRect(h, s).Inflate(-1, -1);
    const int sel = Selected(s);
    const bool enabled = IsWindowEnabled(h);
    const bool highlight = GetFocus() == h && !s.dropped;
    if (OwnerDrawn(h) && sel >= 0) {
        DRAWITEMSTRUCT dis;
        dis.CtlType = ODT_COMBOBOX;
        dis.CtlID = UINT(GetDlgCtrlID(h));
        dis.itemID = UINT(sel);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState =
            ODS_COMBOBOXEDIT | (highlight ? UINT(ODS_SELECTED | ODS_FOCUS) : 0u) | (enabled ? 0u : UINT(ODS_DISABLED));
        dis.hwndItem = h;
        dis.hDC = &dc;
        dis.rcItem = item;
        dis.itemData = List(s)->items[size_t(sel)].data;
        const int saved = dc.Save();
        dc.IntersectClipRect(item);
        if (const HWND parent = GetParent(h)) SendMessage(parent, WM_DRAWITEM, WPARAM(dis.CtlID), LPARAM(&dis));
        dc.Restore(saved);
        return;
    }
    FillRect(dc, item, Brush::Solid(highlight ? GetSysColor(COLOR_HIGHLIGHT) : back));
    if (sel >= 0) {
        SetTextColor(dc,
                     !enabled        ? GetSysColor(COLOR_GRAYTEXT)
                         : highlight ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                     : dc.S().text_color);
        ExtTextOut(dc, item.left + 2, item.top + (item.Height() - FontMetrics(s.font).height) / 2, &item, nullptr,
                   List(s)->items[size_t(sel)].text);
    }
    if (highlight) DrawFocusRect(dc, item);
}

void Paint(HWND h, ComboState& s) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    SetTextColor(*dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(*dc, GetSysColor(COLOR_WINDOW));
    const HWND parent = GetParent(h);
    const LRESULT brush = parent ? SendMessage(parent, WM_CTLCOLORLISTBOX, WPARAM(dc.get()), LPARAM(h)) : 0;
    const COLORREF back = (brush & kColorBrush) ? COLORREF(brush & 0xFFFFFF) : GetSysColor(COLOR_WINDOW);
    dc->S().font = s.font;
    SetBkMode(*dc, TRANSPARENT);
    const TRect c = GetClientRect(h);
    const uint32_t type = ComboType(h);
    TRect frame = type == CBS_SIMPLE ? TRect{0, 0, c.right, FieldTotal(s)} : c;
    if (type == CBS_SIMPLE && c.bottom > frame.bottom)
        FillRect(*dc, {0, frame.bottom, c.right, c.bottom}, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
    DrawEdge(*dc, frame, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(*dc, frame, Brush::Solid(back));
    if (type != CBS_SIMPLE) {
        TRect b = ComboButtonRect(h);
        if (s.pressed) {
            FrameRect(*dc, b, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
            b = b.Inflate(-1, -1);
        } else {
            DrawEdge(*dc, b, EDGE_RAISED, BF_RECT | BF_ADJUST);
        }
        FillRect(*dc, b, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
        DrawArrow(*dc, b, s.pressed, GetSysColor(IsWindowEnabled(h) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    }
    if (type == CBS_DROPDOWNLIST) DrawField(h, s, *dc, back);
    EndPaint(h, std::move(dc));
}

// Keys of the combo box, from itself or its edit; true when taken.
bool ComboKey(HWND h, ComboState& s, UINT msg, UINT vk) {
    const bool alt = msg == WM_SYSKEYDOWN;
    const uint32_t type = ComboType(h);
    if ((vk == VK_F4 && !alt) || (alt && (vk == VK_DOWN || vk == VK_UP))) {
        if (type == CBS_SIMPLE) return false;
        if (s.dropped)
            ComboCloseUp(h, s, true);
        else
            ComboDropDown(h, s);
        return true;
    }
    if (alt) return false;
    if (s.dropped && (vk == VK_RETURN || vk == VK_ESCAPE)) {
        ComboCloseUp(h, s, vk == VK_RETURN);
        return true;
    }
    if (s.dropped && vk == VK_TAB) ComboCloseUp(h, s, true);  // and the Tab goes on
    bool move = vk == VK_UP || vk == VK_DOWN || vk == VK_PRIOR || vk == VK_NEXT;
    if (type == CBS_DROPDOWNLIST || s.dropped) move = move || vk == VK_HOME || vk == VK_END;
    if (type == CBS_DROPDOWNLIST && !s.dropped) move = move || vk == VK_LEFT || vk == VK_RIGHT;
    ListBoxState* ls = List(s);
    if (!move || !ls) return false;
    if (ListKey(s.list, *ls, vk, false)) {
        ComboShowSelection(h, s);
        ComboAnnounce(h, s);
    }
    return true;
}

// The user typed in the edit: the text no longer comes from an item. An open
// list shows the first item the text begins.
void EditChanged(HWND h, ComboState& s) {
    ListBoxState* ls = List(s);
    if (!ls) return;
    ListSelect(s.list, *ls, -1, false);
    s.announced = -1;
    const std::string text = GetWindowText(s.edit);
    if (s.dropped && !text.empty()) {
        const LRESULT near = SendMessage(s.list, LB_FINDSTRING, WPARAM(-1), LPARAM(text.c_str()));
        if (near != LB_ERR) ListScrollTo(s.list, *ls, int(near));
    }
    ComboNotify(h, CBN_EDITUPDATE);
    ComboNotify(h, CBN_EDITCHANGE);
}

std::string Text(const ComboState& s) {
    if (s.edit) return GetWindowText(s.edit);
    const int sel = Selected(s);
    return sel >= 0 ? List(s)->items[size_t(sel)].text : std::string();
}

LRESULT ItemMessage(HWND h, ComboState& s, UINT msg, WPARAM wp, LPARAM lp) {
    static const struct {
        UINT cb, lb;
    } kForward[] = {
        {CB_ADDSTRING, LB_ADDSTRING},       {CB_DELETESTRING, LB_DELETESTRING},
        {CB_GETCOUNT, LB_GETCOUNT},         {CB_GETCURSEL, LB_GETCURSEL},
        {CB_GETLBTEXT, LB_GETTEXT},         {CB_GETLBTEXTLEN, LB_GETTEXTLEN},
        {CB_INSERTSTRING, LB_INSERTSTRING}, {CB_RESETCONTENT, LB_RESETCONTENT},
        {CB_FINDSTRING, LB_FINDSTRING},     {CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT},
        {CB_GETITEMDATA, LB_GETITEMDATA},   {CB_SETITEMDATA, LB_SETITEMDATA},
        {CB_GETTOPINDEX, LB_GETTOPINDEX},   {CB_SETTOPINDEX, LB_SETTOPINDEX},
        {CB_SELECTSTRING, LB_SELECTSTRING}, {CB_SETCURSEL, LB_SETCURSEL},
    };
    for (const auto& f : kForward) {
        if (f.cb != msg) continue;
        const int before = Selected(s);
        const LRESULT r = SendMessage(s.list, f.lb, wp, lp);
        if (msg == CB_SETCURSEL || msg == CB_SELECTSTRING || msg == CB_RESETCONTENT || Selected(s) != before) {
            ComboShowSelection(h, s);
            s.announced = Selected(s);
        }
        if (msg != CB_GETCURSEL && msg != CB_GETCOUNT && msg != CB_GETLBTEXT && msg != CB_GETLBTEXTLEN &&
            ComboType(h) == CBS_DROPDOWNLIST) {
            const TRect f2 = FieldRect(h, s);
            InvalidateRect(h, &f2, false);
        }
        return r;
    }
    return CB_ERR;
}

LRESULT ComboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    if (msg == WM_NCCREATE) {
        auto st = std::make_shared<ComboState>();
        st->font = CreateFont(LogFont{});
        Find(h)->class_data = st;
        SetWindowLongPtr(h, kComboMarkLong, kComboMark);
        return next(h, msg, wp, lp);
    }
    ComboState* sp = ComboStateOf(h);
    if (!sp) return next(h, msg, wp, lp);
    ComboState& s = *sp;
    const uint32_t type = ComboType(h);
    switch (msg) {
    case WM_CREATE: Create(h, s); return 0;
    case WM_DESTROY:
        if (s.dropped) {
            s.dropped = false;
            if (GetCapture() == s.list) ReleaseCapture();
        }
        if (type != CBS_SIMPLE && s.list) DestroyWindow(std::exchange(s.list, 0));
        return next(h, msg, wp, lp);
    case WM_PAINT: Paint(h, s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        FitHeight(h, s);
        Layout(h, s);
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_SETFONT:
        s.font = wp ? *reinterpret_cast<const FontPtr*>(wp) : CreateFont(LogFont{});
        if (s.edit) SendMessage(s.edit, WM_SETFONT, WPARAM(&s.font), lp);
        SendMessage(s.list, WM_SETFONT, WPARAM(&s.font), lp);
        if (!OwnerDrawn(h)) {
            s.field_height = std::max(1, FontMetrics(s.font).height);
            SendMessage(s.list, LB_SETITEMHEIGHT, 0, s.field_height);
        }
        FitHeight(h, s);
        Layout(h, s);
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_SETFOCUS:
        if (!Within(HWND(wp), h)) ComboNotify(h, CBN_SETFOCUS);
        if (s.edit && GetFocus() == h) {
            SetFocus(s.edit);
            SendMessage(s.edit, EM_SETSEL, 0, -1);
        }
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_KILLFOCUS:
        if (Within(HWND(wp), h)) return 0;
        ComboCloseUp(h, s, false);
        InvalidateRect(h, nullptr, false);
        ComboNotify(h, CBN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        if (s.edit) EnableWindow(s.edit, wp != 0);
        if (!wp) ComboCloseUp(h, s, false);
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS | (s.dropped ? UINT(DLGC_WANTALLKEYS) : 0u);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (ComboKey(h, s, msg, UINT(wp))) return 0;
        return next(h, msg, wp, lp);
    case WM_CHAR:
        if (type == CBS_DROPDOWNLIST && List(s)) {
            ListChar(s.list, *List(s), char(wp), false);
            ComboShowSelection(h, s);
            ComboAnnounce(h, s);
        } else if (s.edit) {
            SendMessage(s.edit, msg, wp, lp);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const TPoint p{LOWORD_S(lp), HIWORD_S(lp)};
        if (type == CBS_SIMPLE) {
            if (GetFocus() != s.edit) SetFocus(h);
            return 0;
        }
        if (type == CBS_DROPDOWN && !ComboButtonRect(h).Contains(p)) return 0;
        if (!Within(GetFocus(), h)) SetFocus(h);
        if (!Within(GetFocus(), h) || !IsWindowEnabled(h)) return 0;
        ComboDropDown(h, s);
        s.tracking = s.dropped;
        return 0;
    }
    case WM_MOUSEWHEEL:
        if (s.dropped) return SendMessage(s.list, msg, wp, lp);
        ComboKey(h, s, WM_KEYDOWN, int16_t(uint16_t(wp >> 16)) > 0 ? VK_UP : VK_DOWN);
        return 0;
    case WM_COMMAND:
        if (HWND(lp) == s.edit && s.edit && (wp >> 16) == EN_CHANGE && !s.filling_edit) EditChanged(h, s);
        if (HWND(lp) == s.list && s.list && (wp >> 16) == LBN_SELCHANGE) {
            ComboShowSelection(h, s);
            ComboAnnounce(h, s);
        }
        return 0;
    case WM_SETTEXT: {
        const char* text = lp ? reinterpret_cast<const char*>(lp) : "";
        next(h, msg, wp, lp);
        if (s.edit) {
            s.filling_edit = true;
            SetWindowText(s.edit, text);
            s.filling_edit = false;
            if (ListBoxState* ls = List(s)) ListSelect(s.list, *ls, -1, false);
            s.announced = -1;
            return 1;
        }
        const LRESULT i = SendMessage(s.list, LB_FINDSTRINGEXACT, WPARAM(-1), lp);
        if (i == LB_ERR) return CB_ERR;
        ItemMessage(h, s, CB_SETCURSEL, WPARAM(i), 0);
        return 1;
    }
    case WM_GETTEXTLENGTH: return LRESULT(Text(s).size());
    case WM_GETTEXT: {
        if (!wp || !lp) return 0;
        const std::string t = Text(s);
        const size_t n = std::min(t.size(), size_t(wp) - 1);
        std::memcpy(reinterpret_cast<char*>(lp), t.data(), n);
        reinterpret_cast<char*>(lp)[n] = '\0';
        return LRESULT(n);
    }
    case CB_SHOWDROPDOWN:
        if (wp)
            ComboDropDown(h, s);
        else
            ComboCloseUp(h, s, true);
        return 1;
    case CB_GETDROPPEDSTATE: return s.dropped;
    case CB_GETDROPPEDCONTROLRECT:
        if (lp) *reinterpret_cast<TRect*>(lp) = s.dropped ? GetWindowRect(s.list) : ComboDroppedRect(h, s);
        return 1;
    case CB_SETITEMHEIGHT:
        if (lp < 1 || lp > 255) return CB_ERR;
        if (int(wp) == -1) {
            s.field_height = int(lp);
            FitHeight(h, s);
            Layout(h, s);
            InvalidateRect(h, nullptr, false);
        } else {
            SendMessage(s.list, LB_SETITEMHEIGHT, 0, lp);
        }
        return 0;
    case CB_GETITEMHEIGHT: return int(wp) == -1 ? s.field_height : SendMessage(s.list, LB_GETITEMHEIGHT);
    case CB_SETMINVISIBLE:
        if (int(wp) < 1) return 0;
        s.min_visible = int(wp);
        return 1;
    case CB_GETMINVISIBLE: return s.min_visible;
    case CB_SETDROPPEDWIDTH: s.dropped_width = int(wp); return std::max(s.dropped_width, GetWindowRect(h).Width());
    case CB_GETDROPPEDWIDTH: return std::max(s.dropped_width, GetWindowRect(h).Width());
    case CB_LIMITTEXT:
        if (!s.edit) return CB_ERR;
        SendMessage(s.edit, EM_LIMITTEXT, wp, 0);
        return 1;
    case CB_GETEDITSEL: return s.edit ? SendMessage(s.edit, EM_GETSEL, wp, lp) : CB_ERR;
    case CB_SETEDITSEL:
        if (!s.edit) return CB_ERR;
        SendMessage(s.edit, EM_SETSEL, WPARAM(LOWORD_S(lp)), HIWORD_S(lp));
        return 1;
    case CB_GETCOMBOBOXINFO: {
        if (!lp) return 0;
        auto& info = *reinterpret_cast<COMBOBOXINFO*>(lp);
        info.rcItem = FieldRect(h, s).Inflate(-1, -1);
        info.rcButton = ComboButtonRect(h);
        info.buttonPressed = s.pressed;
        info.hwndCombo = h;
        info.hwndItem = s.edit;
        info.hwndList = s.list;
        return 1;
    }
    default:
        if (msg >= CB_GETEDITSEL && msg <= CB_SETDROPPEDWIDTH) return ItemMessage(h, s, msg, wp, lp);
        return next(h, msg, wp, lp);
    }
}

}  // namespace

namespace detail {

ComboState* ComboStateOf(HWND h) {
    Win* w = Find(h);
    if (!w || GetWindowLongPtr(h, kComboMarkLong) != kComboMark) return nullptr;
    return static_cast<ComboState*>(w->class_data.get());
}

uint32_t ComboType(HWND h) { return GetWindowStyle(h) & 3; }

void ComboNotify(HWND h, WPARAM code) {
    if (const HWND parent = GetParent(h))
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), int(code)), LPARAM(h));
}

TRect ComboButtonRect(HWND h) {
    if (ComboType(h) == CBS_SIMPLE) return {};
    const TRect c = GetClientRect(h);
    const int w = GetSystemMetrics(SM_CXVSCROLL);
    return {c.right - kComboEdge - w, kComboEdge, c.right - kComboEdge, c.bottom - kComboEdge};
}

void ComboShowSelection(HWND h, ComboState& s) {
    if (s.edit) {
        const int sel = Selected(s);
        s.filling_edit = true;
        SetWindowText(s.edit, sel >= 0 ? List(s)->items[size_t(sel)].text : std::string());
        s.filling_edit = false;
        if (GetFocus() == s.edit) SendMessage(s.edit, EM_SETSEL, 0, -1);
        return;
    }
    const TRect f = FieldRect(h, s);
    InvalidateRect(h, &f, false);
}

void ComboAnnounce(HWND h, ComboState& s) {
    const int sel = Selected(s);
    if (sel == s.announced) return;
    s.announced = sel;
    ComboNotify(h, CBN_SELCHANGE);
}

void RegisterComboBoxClass() {
    RegisterWindowClass({"COMBOBOX", ComboProc, CS_DBLCLKS, std::nullopt});
    RegisterComboListClass();
}

}  // namespace detail

}  // namespace ui
