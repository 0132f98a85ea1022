// The push button's standard class ("BUTTON"): pressed by the mouse or the
// space bar, clicked when released over it; the default button has a dark
// frame. A click goes to the parent as WM_COMMAND with BN_CLICKED. Check
// boxes are pressed and clicked the same way; an automatic one turns its
// mark over before the parent hears of the click.
#include "framework/ui/button_box.hpp"

#include <optional>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

struct ButtonState {
    bool pressed = false;   // drawn pushed in
    bool tracking = false;  // the mouse holds it
    bool space = false;     // the space bar holds it
    bool checked = false;   // a check box's mark
    FontPtr font;
};

bool IsCheckBox(HWND h) {
    const uint32_t type = GetWindowStyle(h) & 0xF;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

ButtonState* State(HWND h) {
    Win* w = Find(h);
    return w ? static_cast<ButtonState*>(w->class_data.get()) : nullptr;
}

void Press(HWND h, ButtonState& b, bool pressed) {
    if (b.pressed == pressed) return;
    b.pressed = pressed;
    InvalidateRect(h, nullptr, false);
}

void Clicked(HWND h) {
    if ((GetWindowStyle(h) & 0xF) == BS_AUTOCHECKBOX)
        if (ButtonState* b = State(h)) {
            b->checked = !b->checked;
            InvalidateRect(h, nullptr, false);
        }
    if (const HWND parent = GetParent(h))
        SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), BN_CLICKED), LPARAM(h));
}

// A caption in `text`, or embossed in the highlight and shadow colours
// without (disabled).
void DrawCaption(DC& dc, const std::string& caption, TRect t, unsigned flags, std::optional<COLORREF> text) {
    if (text) {
        SetTextColor(dc, *text);
        DrawText(dc, caption, t, flags);
        return;
    }
    TRect lit = t.Offset(1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawText(dc, caption, lit, flags);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawText(dc, caption, t, flags);
}

void Paint(HWND h, const ButtonState& b) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    TRect r = GetClientRect(h);
    SetTextColor(*dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(*dc, GetSysColor(COLOR_BTNFACE));
    const HWND parent = GetParent(h);
    const LRESULT brush = parent ? SendMessage(parent, WM_CTLCOLORBTN, WPARAM(dc.get()), LPARAM(h)) : 0;
    const COLORREF face = (brush & kColorBrush) ? COLORREF(brush & 0xFFFFFF) : GetSysColor(COLOR_BTNFACE);
    const COLORREF text = dc->S().text_color;
    const bool is_default = (GetWindowStyle(h) & 0xF) == BS_DEFPUSHBUTTON;
    const bool focused = GetFocus() == h;
    if (is_default) {
        FrameRect(*dc, r, Brush::Solid(GetSysColor(COLOR_WINDOWFRAME)));
        r = r.Inflate(-1, -1);
    }
    if (b.pressed) {
        FrameRect(*dc, r, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
        r = r.Inflate(-1, -1);
    } else {
        DrawEdge(*dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    }
    FillRect(*dc, r, Brush::Solid(face));
    dc->S().font = b.font ? b.font : CreateFont(LogFont{});
    SetBkMode(*dc, TRANSPARENT);
    TRect t = r;
    if (b.pressed) t = t.Offset(1, 1);
    const std::string caption = Member(h, &Win::text);
    const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    DrawCaption(*dc, caption, t, flags, IsWindowEnabled(h) ? std::optional(text) : std::nullopt);
    if (focused) DrawFocusRect(*dc, r.Inflate(-3, -3));
    EndPaint(h, std::move(dc));
}

// A box with its mark at the left, the caption beside it.
void PaintCheckBox(HWND h, const ButtonState& b) {
    PAINTSTRUCT ps;
    auto dc = BeginPaint(h, ps);
    const TRect c = GetClientRect(h);
    SetTextColor(*dc, GetSysColor(COLOR_BTNTEXT));
    const HWND parent = GetParent(h);
    const LRESULT brush = parent ? SendMessage(parent, WM_CTLCOLORSTATIC, WPARAM(dc.get()), LPARAM(h)) : 0;
    FillRect(*dc, c, Brush::Solid((brush & kColorBrush) ? COLORREF(brush & 0xFFFFFF) : GetSysColor(COLOR_BTNFACE)));
    const COLORREF text = dc->S().text_color;
    TRect box = Bounds(0, (c.Height() - 13) / 2, 13, 13);
    DrawEdge(*dc, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    const bool enabled = IsWindowEnabled(h);
    FillRect(*dc, box, Brush::Solid(GetSysColor(b.pressed || !enabled ? COLOR_BTNFACE : COLOR_WINDOW)));
    if (b.checked) {
        // A tick of three pixels' width: down from the left, then up to the right.
        const Brush mark = Brush::Solid(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        for (int i = 0; i < 7; ++i) {
            const int y = box.top + (i < 3 ? 2 + i : 6 - i + 2);
            FillRect(*dc, {box.left + 1 + i, y + 1, box.left + 2 + i, y + 4}, mark);
        }
    }
    dc->S().font = b.font ? b.font : CreateFont(LogFont{});
    SetBkMode(*dc, TRANSPARENT);
    TRect t{17, 0, c.right, c.bottom};
    const std::string caption = Member(h, &Win::text);
    const unsigned flags = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    DrawCaption(*dc, caption, t, flags, enabled ? std::optional(text) : std::nullopt);
    if (GetFocus() == h) {
        TRect f = t;
        DrawText(*dc, caption, f, flags | DT_CALCRECT);
        DrawFocusRect(*dc,
                      Bounds(15, (c.Height() - f.Height()) / 2 - 1, SatInt(int64_t(f.Width()) + 4),
                             SatInt(int64_t(f.Height()) + 2)));
    }
    EndPaint(h, std::move(dc));
}

LRESULT ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    if (msg == WM_NCCREATE) {
        Find(h)->class_data = std::make_shared<ButtonState>();
        return next(h, msg, wp, lp);
    }
    ButtonState* bp = State(h);
    if (!bp) return next(h, msg, wp, lp);
    ButtonState& b = *bp;
    switch (msg) {
    case WM_PAINT:
        if (IsCheckBox(h))
            PaintCheckBox(h, b);
        else
            Paint(h, b);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE:
        if (IsCheckBox(h)) return DLGC_BUTTON;
        return DLGC_BUTTON |
            ((GetWindowStyle(h) & 0xF) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_SETFONT:
        b.font = wp ? *reinterpret_cast<const FontPtr*>(wp) : nullptr;
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS: {
        const LRESULT r = next(h, msg, wp, lp);
        InvalidateRect(h, nullptr, false);
        return msg == WM_SETTEXT ? 1 : r;
    }
    case WM_KILLFOCUS:
        b.space = false;
        if (b.tracking && GetCapture() == h) ReleaseCapture();
        b.tracking = false;
        Press(h, b, false);
        InvalidateRect(h, nullptr, false);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetFocus() != h) SetFocus(h);
        b.tracking = true;
        SetCapture(h);
        Press(h, b, true);
        return 0;
    case WM_MOUSEMOVE:
        if (b.tracking) Press(h, b, GetClientRect(h).Contains({LOWORD_S(lp), HIWORD_S(lp)}));
        return 0;
    case WM_LBUTTONUP: {
        if (!b.tracking) return 0;
        b.tracking = false;
        const bool inside = GetClientRect(h).Contains({LOWORD_S(lp), HIWORD_S(lp)});
        if (GetCapture() == h) ReleaseCapture();
        Press(h, b, false);
        if (inside) Clicked(h);
        return 0;
    }
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        if (b.tracking) {
            b.tracking = false;
            Press(h, b, false);
            if (msg == WM_CANCELMODE && GetCapture() == h) ReleaseCapture();
        }
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_SPACE && !b.tracking) {
            b.space = true;
            Press(h, b, true);
        }
        return 0;
    case WM_KEYUP:
        if (wp == VK_SPACE && b.space) {
            b.space = false;
            Press(h, b, false);
            Clicked(h);
        }
        return 0;
    case BM_GETSTATE: return b.pressed ? LRESULT{BST_PUSHED} : LRESULT{0};
    case BM_SETSTATE: Press(h, b, wp != 0); return 0;
    case BM_SETSTYLE: {
        Win* w = Find(h);
        const uint32_t style = (w->style & ~0xFu) | uint32_t(wp & 0xF);
        if (style != w->style) {
            w->style = style;
            if (lp) InvalidateRect(h, nullptr, false);
        }
        return 0;
    }
    case BM_CLICK: Clicked(h); return 0;
    case BM_GETCHECK: return b.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (b.checked != (wp == BST_CHECKED)) {
            b.checked = wp == BST_CHECKED;
            InvalidateRect(h, nullptr, false);
        }
        return 0;
    default: return next(h, msg, wp, lp);
    }
}

}  // namespace

namespace detail {

void RegisterButtonClass() { RegisterWindowClass({"BUTTON", ButtonProc, CS_DBLCLKS, std::nullopt}); }

}  // namespace detail

}  // namespace ui
