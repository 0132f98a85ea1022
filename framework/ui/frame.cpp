// The default frame and caption of a window (WM_NCPAINT).
#include "framework/ui/detail/desktop.hpp"

namespace ui::detail {

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
        const bool active = Desk().active == h;
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
    PaintWindowScrollBars(*w, *dc);
    ReleaseDC(h, std::move(dc));
}

}  // namespace ui::detail
