// The edit class: its messages, painting, keys and mouse.
#include <algorithm>
#include <cctype>

#include "framework/ui/detail/edit_keys.hpp"
#include "framework/ui/detail/edit_state.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

void Paint(HWND h, EditState& e) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    if (!e.laid_out) LayOut(h, e);
    const uint32_t style = GetWindowStyle(h);
    const bool enabled = IsWindowEnabled(h);
    const UINT color_msg = (style & ES_READONLY) || !enabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    SetTextColor(*dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(*dc, GetSysColor(COLOR_WINDOW));
    const HWND parent = GetParent(h);
    const LRESULT brush = parent ? SendMessage(parent, color_msg, WPARAM(dc.get()), LPARAM(h)) : 0;
    const COLORREF back = (brush & kColorBrush) ? COLORREF(brush & 0xFFFFFF) : GetSysColor(COLOR_WINDOW);
    const COLORREF text_color = enabled ? dc->S().text_color : GetSysColor(COLOR_GRAYTEXT);
    const TRect client = GetClientRect(h);
    FillRect(*dc, client, Brush::Solid(back));
    const TRect f = FormatRect(h, e);
    dc->S().font = e.font;
    SetBkMode(*dc, TRANSPARENT);
    const bool show_sel = GetFocus() == h || (style & ES_NOHIDESEL);
    const int sel_from = SelStart(e), sel_to = SelEnd(e);
    const std::string& t = EditText(h);
    const int lh = LineHeight(e);
    const int visible = Multiline(h) ? VisibleLines(h, e) + 1 : 1;
    const int clip_bottom = Multiline(h) ? f.bottom : client.bottom;
    const TRect clip{f.left, f.top, f.right, clip_bottom};
    for (int line = e.first_line; line < int(e.lines.size()) && line < e.first_line + visible; ++line) {
        const EditLine& l = e.lines[size_t(line)];
        int x = LineLeft(h, e, line);
        const int y = f.top + (line - e.first_line) * lh;
        for (int i = 0; i < l.length && x < f.right; ++i) {
            const int pos = l.start + i;
            const char c = e.password ? e.password : t[size_t(pos)];
            const int w = CharWidth(e, c);
            if (x + w > f.left) {
                const bool selected = show_sel && pos >= sel_from && pos < sel_to;
                const TRect cell = Intersect({x, y, x + w, y + lh}, clip);
                if (selected) FillRect(*dc, cell, Brush::Solid(GetSysColor(COLOR_HIGHLIGHT)));
                SetTextColor(*dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text_color);
                ExtTextOut(*dc, x, y, &clip, nullptr, std::string_view(&c, 1));
            }
            x += w;
        }
    }
    EndPaint(h, std::move(dc));
}

// Moves the caret by a key; with Shift the selection grows.
void MoveKey(HWND h, EditState& e, UINT vk) {
    const int line = LineOf(e, e.caret);
    const EditLine& l = e.lines[size_t(line)];
    const std::function<int(int)> vertical = [&](int lines) {
        const int target = std::clamp(line + lines, 0, int(e.lines.size()) - 1);
        const TPoint p = PosFromChar(h, e, e.caret);
        return CharFromPos(h, e, {p.x, SatInt(p.y + int64_t(target - line) * LineHeight(e))});
    };
    const std::function<int()> page = [&] { return VisibleLines(h, e); };
    const std::optional<int> pos =
        MovedCaret({EditText(h), e.caret, SelStart(e), SelEnd(e), l.start, l.start + l.length, vertical, page}, vk);
    if (!pos) return;
    SetSelection(h, e, KeyHeld(VK_SHIFT) ? e.anchor : *pos, *pos);
}

void Copy(HWND h, EditState& e) {
    if (e.password || SelStart(e) == SelEnd(e)) return;
    SetClipboardText(EditText(h).substr(size_t(SelStart(e)), size_t(SelEnd(e) - SelStart(e))));
}

void KeyDown(HWND h, EditState& e, UINT vk) {
    if (ClipboardKey(h, vk)) return;
    const bool multi = Multiline(h);
    switch (vk) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
        if (!multi) return;
        [[fallthrough]];
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END: MoveKey(h, e, vk); return;
    case VK_DELETE:
        if (SelStart(e) == SelEnd(e)) {
            const std::string& t = EditText(h);
            e.caret = std::min(int(t.size()), StepForward(t, e.caret));
        }
        ReplaceSelection(h, e, "", true);
        return;
    default:
        if (SelectAllKey(vk)) SetSelection(h, e, 0, int(EditText(h).size()));
        return;
    }
}

void Char(HWND h, EditState& e, char c) {
    const uint32_t style = GetWindowStyle(h);
    if (c == '\b') {
        if (style & ES_READONLY) return;
        if (SelStart(e) == SelEnd(e)) {
            const std::string& t = EditText(h);
            if (e.caret == 0) return;
            e.anchor = StepBack(t, e.caret);
        }
        ReplaceSelection(h, e, "", true);
        return;
    }
    if (c == '\r') {
        if (Multiline(h)) ReplaceSelection(h, e, "\r\n", true);
        return;
    }
    if (c == '\t') {
        if (Multiline(h)) ReplaceSelection(h, e, "\t", true, true);
        return;
    }
    if (uint8_t(c) < 32) return;
    ReplaceSelection(h, e, std::string(1, c), true, true);
}

void MouseDown(HWND h, EditState& e, TPoint p, bool dbl) {
    if (GetFocus() != h) SetFocus(h);
    const int pos = CharFromPos(h, e, p);
    if (dbl) {
        const std::string& t = EditText(h);
        int from = pos, to = pos;
        while (from > 0 && IsWordChar(t[size_t(from - 1)])) --from;
        while (to < int(t.size()) && IsWordChar(t[size_t(to)])) ++to;
        SetSelection(h, e, from, to);
        return;
    }
    SetSelection(h, e, KeyHeld(VK_SHIFT) ? e.anchor : pos, pos);
    e.selecting = true;
    SetCapture(h);
}

void VScroll(HWND h, EditState& e, int code) {
    const int last = std::max(0, int(e.lines.size()) - VisibleLines(h, e));
    const std::optional<int> first = ScrolledFirstLine(h, code, e.first_line, VisibleLines(h, e), last);
    if (!first || *first == e.first_line) return;
    e.first_line = *first;
    InvalidateRect(h, nullptr, true);
    UpdateScrollBar(h, e);
    PlaceCaret(h, e);
}

LRESULT EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    if (msg == WM_NCCREATE) {
        auto state = std::make_shared<EditState>();
        state->widths.fill(-1);
        state->font = CreateFont(LogFont{});
        if (GetWindowStyle(h) & ES_PASSWORD) state->password = '*';
        Find(h)->class_data = state;
        return next(h, msg, wp, lp);
    }
    EditState* ep = Edit(h);
    if (!ep) return next(h, msg, wp, lp);
    EditState& e = *ep;
    if (const auto r = CommonEditMessage(h, msg, wp, lp, e.selecting)) return *r;
    switch (msg) {
    case WM_SETFONT:
        if (wp) e.font = *reinterpret_cast<const FontPtr*>(wp);
        e.widths.fill(-1);
        LayOut(h, e);
        InvalidateRect(h, nullptr, true);
        PlaceCaret(h, e);
        return 0;
    case WM_SETTEXT:
        next(h, msg, wp, lp);
        e.anchor = e.caret = 0;
        e.first_line = e.scroll_x = 0;
        e.can_undo = e.typing = e.modified = false;
        LayOut(h, e);
        InvalidateRect(h, nullptr, true);
        UpdateScrollBar(h, e);
        PlaceCaret(h, e);
        Notify(h, EN_UPDATE);
        Notify(h, EN_CHANGE);
        return 1;
    case WM_PAINT: Paint(h, e); return 0;
    case WM_SIZE:
        LayOut(h, e);
        UpdateScrollBar(h, e);
        ScrollToCaret(h, e);
        return 0;
    case WM_SETFOCUS:
        CreateCaret(h, 1, LineHeight(e));
        PlaceCaret(h, e);
        ShowCaret(h);
        InvalidateRect(h, nullptr, false);
        Notify(h, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (GetCaretState().hwnd == h) DestroyCaret();
        e.selecting = false;
        InvalidateRect(h, nullptr, false);
        Notify(h, EN_KILLFOCUS);
        return 0;
    case WM_KEYDOWN: KeyDown(h, e, UINT(wp)); return 0;
    case WM_CHAR: Char(h, e, char(wp)); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(h, e, {LOWORD_S(lp), HIWORD_S(lp)}, msg == WM_LBUTTONDBLCLK); return 0;
    case WM_MOUSEMOVE:
        if (e.selecting && (wp & MK_LBUTTON)) {
            const int pos = CharFromPos(h, e, {LOWORD_S(lp), HIWORD_S(lp)});
            SetSelection(h, e, e.anchor, pos);
        }
        return 0;
    case WM_VSCROLL: VScroll(h, e, int(wp & 0xFFFF)); return 0;
    case WM_MOUSEWHEEL:
        if (!Multiline(h)) return next(h, msg, wp, lp);
        for (int i = 0; i < 3; ++i) VScroll(h, e, int16_t(wp >> 16) > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    case WM_COPY: Copy(h, e); return 0;
    case WM_CUT:
        if (GetWindowStyle(h) & ES_READONLY) return 0;
        Copy(h, e);
        [[fallthrough]];
    case WM_CLEAR:
        if (SelStart(e) != SelEnd(e)) ReplaceSelection(h, e, "", true);
        return 0;
    case WM_PASTE: {
        const std::string text = GetClipboardText();
        if (!text.empty()) ReplaceSelection(h, e, text, true);
        return 0;
    }
    case WM_UNDO:
    case EM_UNDO:
        if (GetWindowStyle(h) & ES_READONLY) return 0;
        Undo(h, e);
        return e.can_undo;
    case EM_CANUNDO: return e.can_undo;
    case EM_EMPTYUNDOBUFFER: e.can_undo = e.typing = false; return 0;
    case EM_GETSEL:
        if (wp) *reinterpret_cast<int*>(wp) = SelStart(e);
        if (lp) *reinterpret_cast<int*>(lp) = SelEnd(e);
        return LRESULT(uint16_t(SelStart(e))) | LRESULT(uint16_t(SelEnd(e))) << 16;
    case EM_SETSEL: {
        const int n = int(EditText(h).size());
        int from = int(intptr_t(wp)), to = int(lp);
        if (from < 0) {  // -1: no selection, the caret stays
            SetSelection(h, e, e.caret, e.caret);
            return 0;
        }
        if (to < 0) to = n;
        SetSelection(h, e, from, to);
        return 0;
    }
    case EM_REPLACESEL:
        e.typing = false;
        ReplaceSelection(h, e, lp ? reinterpret_cast<const char*>(lp) : "", false);
        if (!wp) e.can_undo = false;
        return 0;
    case EM_GETMODIFY: return e.modified;
    case EM_SETMODIFY: e.modified = wp != 0; return 0;
    case EM_LIMITTEXT: e.limit = wp ? size_t(wp) : 0x7FFFFFFE; return 0;
    case EM_GETLIMITTEXT: return LRESULT(e.limit);
    case EM_SETPASSWORDCHAR:
        e.password = char(wp);
        LayOut(h, e);
        InvalidateRect(h, nullptr, true);
        return 0;
    case EM_GETPASSWORDCHAR: return uint8_t(e.password);
    case EM_SETMARGINS:
        if (wp & EC_LEFTMARGIN) e.margin_left = LOWORD_S(lp);
        if (wp & EC_RIGHTMARGIN) e.margin_right = HIWORD_S(lp);
        LayOut(h, e);
        InvalidateRect(h, nullptr, true);
        return 0;
    case EM_GETMARGINS: return MAKELPARAM(e.margin_left, e.margin_right);
    case EM_GETRECT:
        if (lp) *reinterpret_cast<TRect*>(lp) = FormatRect(h, e);
        return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (lp)
            e.format = *reinterpret_cast<const TRect*>(lp);
        else
            e.format.reset();
        LayOut(h, e);
        if (msg == EM_SETRECT) InvalidateRect(h, nullptr, true);
        return 0;
    case EM_SCROLLCARET: ScrollToCaret(h, e); return 1;
    case EM_GETLINECOUNT: return LRESULT(e.lines.size());
    case EM_GETFIRSTVISIBLELINE: return e.first_line;
    case EM_LINEFROMCHAR: return LineOf(e, int(intptr_t(wp)) < 0 ? e.caret : int(wp));
    case EM_LINEINDEX: {
        const int line = int(intptr_t(wp)) < 0 ? LineOf(e, e.caret) : int(wp);
        return line < int(e.lines.size()) ? e.lines[size_t(line)].start : -1;
    }
    case EM_LINELENGTH: return e.lines[size_t(LineOf(e, int(intptr_t(wp)) < 0 ? e.caret : int(wp)))].length;
    case EM_POSFROMCHAR: {
        const TPoint p = PosFromChar(h, e, int(wp));
        return MAKELPARAM(p.x, p.y);
    }
    case EM_CHARFROMPOS: return CharFromPos(h, e, {LOWORD_S(lp), HIWORD_S(lp)});
    default: return next(h, msg, wp, lp);
    }
}

}  // namespace

namespace detail {

void RegisterEditClass() { RegisterWindowClass({"EDIT", EditProc, CS_DBLCLKS, std::nullopt}); }

}  // namespace detail

// ---------------------------------------------------------------- the clipboard

bool SetClipboardText(const std::string& ansi) {
    if (TheDisplay() && TheDisplay()->SetClipboardText(ansi)) return true;
    Desk().clipboard = ansi;
    return true;
}

std::string GetClipboardText() {
    if (TheDisplay())
        if (auto text = TheDisplay()->ClipboardText()) return *text;
    return Desk().clipboard;
}

}  // namespace ui
