// What the edit and rich-edit classes share.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/edit_keys.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui::detail {

int WordLeft(const std::string& t, int pos) {
    while (pos > 0 && !IsWordChar(t[size_t(pos - 1)])) --pos;
    while (pos > 0 && IsWordChar(t[size_t(pos - 1)])) --pos;
    return pos;
}

int WordRight(const std::string& t, int pos) {
    const int n = int(t.size());
    while (pos < n && IsWordChar(t[size_t(pos)])) ++pos;
    while (pos < n && !IsWordChar(t[size_t(pos)])) ++pos;
    return pos;
}

std::optional<int> MovedCaret(const CaretMove& m, UINT vk) {
    const bool ctrl = KeyHeld(VK_CONTROL), shift = KeyHeld(VK_SHIFT);
    // Left and Right alone collapse a selection to its near end.
    const bool collapse = !shift && !ctrl && m.sel_from != m.sel_to;
    switch (vk) {
    case VK_LEFT:
        if (collapse) return m.sel_from;
        return ctrl ? WordLeft(m.text, m.caret) : StepBack(m.text, m.caret);
    case VK_RIGHT:
        if (collapse) return m.sel_to;
        return ctrl ? WordRight(m.text, m.caret) : StepForward(m.text, m.caret);
    case VK_HOME: return ctrl ? 0 : m.line_start;
    case VK_END: return ctrl ? int(m.text.size()) : m.line_end;
    case VK_UP: return m.vertical(-1);
    case VK_DOWN: return m.vertical(1);
    case VK_PRIOR: return m.vertical(-m.page());
    case VK_NEXT: return m.vertical(m.page());
    default: return std::nullopt;
    }
}

bool ClipboardKey(HWND h, UINT vk) {
    const bool ctrl = KeyHeld(VK_CONTROL), shift = KeyHeld(VK_SHIFT);
    if (vk == VK_DELETE && shift) {
        SendMessage(h, WM_CUT);
        return true;
    }
    if (vk == VK_INSERT) {
        if (ctrl) SendMessage(h, WM_COPY);
        if (shift) SendMessage(h, WM_PASTE);
        return true;
    }
    if (!ctrl || shift || KeyHeld(VK_MENU)) return false;
    switch (vk) {
    case 'C': SendMessage(h, WM_COPY); return true;
    case 'X': SendMessage(h, WM_CUT); return true;
    case 'V': SendMessage(h, WM_PASTE); return true;
    case 'Z': SendMessage(h, WM_UNDO); return true;
    default: return false;
    }
}

bool SelectAllKey(UINT vk) { return vk == 'A' && KeyHeld(VK_CONTROL) && !KeyHeld(VK_SHIFT) && !KeyHeld(VK_MENU); }

int ScrollTrackPos(HWND h, int bar) {
    SCROLLINFO si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(h, bar, si);
    return si.nTrackPos;
}

std::optional<int> ScrolledFirstLine(HWND h, int code, int first, int page, int last) {
    switch (code) {
    case SB_LINEUP: --first; break;
    case SB_LINEDOWN: ++first; break;
    case SB_PAGEUP: first -= page; break;
    case SB_PAGEDOWN: first += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: first = ScrollTrackPos(h, SB_VERT); break;
    case SB_TOP: first = 0; break;
    case SB_BOTTOM: first = last; break;
    default: return std::nullopt;
    }
    return std::clamp(first, 0, last);
}

std::optional<LRESULT> CommonEditMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool& selecting) {
    switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_ENABLE: InvalidateRect(h, nullptr, true); return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (GetWindowStyle(h) & ES_MULTILINE) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (selecting && GetCapture() == h) ReleaseCapture();
        selecting = false;
        return 0;
    case WM_SETCURSOR:
        if (LOWORD_S(lp) != HTCLIENT) return std::nullopt;
        SetCursor(LoadStandardCursor(IDC_IBEAM));
        return 1;
    case EM_SETREADONLY: {
        Win* w = Find(h);
        w->style = wp ? (w->style | ES_READONLY) : (w->style & ~uint32_t(ES_READONLY));
        InvalidateRect(h, nullptr, true);
        return 1;
    }
    default: return std::nullopt;
    }
}

}  // namespace ui::detail
