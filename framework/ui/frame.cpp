// The default frame and title bar of a window (WM_NCPAINT, WM_NCACTIVATE):
// the border, the caption bar with its small icon, text and buttons.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui::detail {

namespace {

bool HasCaption(const Win& w) { return (w.style & WS_CAPTION) == WS_CAPTION; }
bool IsTool(const Win& w) { return w.ex_style & WS_EX_TOOLWINDOW; }

// The frame's width without the client edge.
int FrameWidth(const Win& w) { return Insets(w).left - ((w.ex_style & WS_EX_CLIENTEDGE) ? 2 : 0); }

// Button faces, one character a pixel ('#' drawn), centred on the button.
// clang-format off
const std::vector<std::string> kClose = {
    "##....##", ".##..##.", "..####..", "...##...", "..####..", ".##..##.", "##....##"};
const std::vector<std::string> kMinimize = {
    "......", "......", "......", "......", "......", "######", "######"};
const std::vector<std::string> kMaximize = {
    "#########", "#########", "#.......#", "#.......#", "#.......#", "#.......#", "#.......#", "#########"};
const std::vector<std::string> kRestore = {
    "...######", "...######", "...#....#", "#######.#", "#######.#", "#.....###", "#.....#..", "#.....#..",
    "#######.."};
const std::vector<std::string> kHelp = {
    "..####..", ".##..##.", ".....##.", "....##..", "...##...", "........", "...##..."};
// clang-format on

void DrawArt(DC& dc, const std::vector<std::string>& art, const TRect& r, COLORREF color) {
    const int w = int(art[0].size()), h = int(art.size());
    const int x0 = r.left + (r.Width() - w) / 2, y0 = r.top + (r.Height() - h) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (art[size_t(y)][size_t(x)] == '#') SetPixel(dc, x0 + x, y0 + y, color);
}

// Held down, a button is sunken and its face one pixel down and right.
void PaintButton(DC& dc, const CaptionButton& b, bool zoomed) {
    TRect r = b.rect;
    FillRect(dc, r, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
    DrawEdge(dc, r, b.pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    const auto& art = b.hit == HTCLOSE ? kClose
        : b.hit == HTMAXBUTTON         ? (zoomed ? kRestore : kMaximize)
        : b.hit == HTMINBUTTON         ? kMinimize
                                       : kHelp;
    if (b.pressed) r = r.Offset(1, 1);
    if (b.enabled) {
        DrawArt(dc, art, r, GetSysColor(COLOR_BTNTEXT));
    } else {  // embossed, as disabled pictures are
        DrawArt(dc, art, r.Offset(1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawArt(dc, art, r, GetSysColor(COLOR_BTNSHADOW));
    }
}

// The icon's pixels where its mask is black, scaled to the place.
void DrawIcon(DC& dc, const TRect& place, const Surface& image, const Surface* mask) {
    for (int y = 0; y < place.Height(); ++y)
        for (int x = 0; x < place.Width(); ++x) {
            const int sx = x * image.Width() / place.Width(), sy = y * image.Height() / place.Height();
            if (mask && mask->Pixel(sx, sy) == 0xFFFFFF) continue;
            SetPixel(dc, place.left + x, place.top + y, image.Pixel(sx, sy));
        }
}

// The bar's background: one colour, or with gradient captions a blend
// column by column from the caption colour to the gradient colour.
void PaintBar(DC& dc, const TRect& bar, bool active) {
    const COLORREF from = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    if (!GradientCaptions() || bar.Width() < 2) {
        FillRect(dc, bar, Brush::Solid(from));
        return;
    }
    const COLORREF to = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    const int n = bar.Width() - 1;
    auto mix = [n](int a, int b, int i) { return a + (b - a) * i / n; };
    for (int i = 0; i <= n; ++i) {
        const COLORREF c = RGB(mix(GetRValue(from), GetRValue(to), i), mix(GetGValue(from), GetGValue(to), i),
                               mix(GetBValue(from), GetBValue(to), i));
        FillRect(dc, {bar.left + i, bar.top, bar.left + i + 1, bar.bottom}, Brush::Solid(c));
    }
}

}  // namespace

CaptionLayout LayoutCaption(const Win& w) {
    CaptionLayout l;
    if (!HasCaption(w)) return l;
    const bool tool = IsTool(w);
    const int frame = FrameWidth(w);
    const int height = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
    l.bar = {frame, frame, w.rect.Width() - frame, frame + height - 1};
    if (!(w.style & WS_SYSMENU)) return l;
    if (!tool && !(w.ex_style & WS_EX_DLGMODALFRAME)) {
        const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
        if (w.icon && !w.icon->Empty())
            l.icon = Bounds(l.bar.left + 1 + (l.bar.Height() - cx) / 2, l.bar.top + (l.bar.Height() - cy) / 2, cx, cy);
    }
    // Buttons are two pixels narrower and four lower than their metric, two
    // pixels from the bar's top and right; a pair (minimise, maximise) has no
    // gap between its buttons.
    const int bw = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE) - 2;
    const int bh = GetSystemMetrics(tool ? SM_CYSMSIZE : SM_CYSIZE) - 4;
    const int top = l.bar.top + 2;
    int right = l.bar.right - 2;
    const Tracking& held = Desk().tracking;
    auto add = [&](LRESULT hit, bool enabled) {
        const bool pressed =
            held.kind == Tracking::Kind::CaptionButton && held.hwnd == w.handle && held.hit == hit && held.pressed;
        l.buttons.push_back({hit, {right - bw, top, right, top + bh}, enabled, pressed});
        right -= bw;
    };
    add(HTCLOSE, true);
    if (tool) return l;
    right -= 2;
    if (w.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) {
        add(HTMAXBUTTON, w.style & WS_MAXIMIZEBOX);
        add(HTMINBUTTON, w.style & WS_MINIMIZEBOX);
    } else if (w.ex_style & WS_EX_CONTEXTHELP) {
        add(HTHELP, true);
    }
    return l;
}

LRESULT CaptionHitTest(const Win& w, TPoint p) {
    const CaptionLayout l = LayoutCaption(w);
    if (!l.bar.Contains(p)) return HTNOWHERE;
    for (const CaptionButton& b : l.buttons)
        if (b.rect.Contains(p)) return b.hit;
    if (l.icon.Contains(p)) return HTSYSMENU;
    return HTCAPTION;
}

void PaintDefaultFrame(HWND h, const Region* screen_region, bool active) {
    Win* w = Find(h);
    if (!w) return;
    auto dc = GetWindowDC(h);
    if (screen_region) {
        const TRect wr = GetWindowRect(h);
        const TPoint o = OriginInRoot(*w);
        Region limit = *screen_region;
        limit.Offset(o.x - wr.left, o.y - wr.top);
        Region clip = dc->SystemClip() ? *dc->SystemClip() : Region(limit.Bounds());
        clip.Intersect(limit);
        dc->SetSystemClip(clip);
    }
    const TRect ins = Insets(*w);
    TRect r{0, 0, w->rect.Width(), w->rect.Height()};
    if (w->style & WS_THICKFRAME || w->style & WS_DLGFRAME || w->ex_style & WS_EX_DLGMODALFRAME) {
        TRect e = r;
        DrawEdge(*dc, e, EDGE_RAISED, BF_RECT | BF_ADJUST);
        const int extra = FrameWidth(*w) - 2;
        for (int i = 0; i < extra; ++i) {
            FrameRect(*dc, e, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
            e = e.Inflate(-1, -1);
        }
    } else if (w->style & WS_BORDER) {
        FrameRect(*dc, r, Brush::Solid(GetSysColor(COLOR_WINDOWFRAME)));
    }
    if (HasCaption(*w)) {
        const CaptionLayout l = LayoutCaption(*w);
        const TRect& cap = l.bar;
        PaintBar(*dc, cap, active);
        FillRect(*dc, {cap.left, cap.bottom, cap.right, cap.bottom + 1}, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
        if (!l.icon.Empty()) DrawIcon(*dc, l.icon, *w->icon, w->icon_mask.get());
        NonClientMetrics m;
        GetNonClientMetrics(m);
        dc->S().font = CreateFont(IsTool(*w) ? m.sm_caption_font : m.caption_font);
        SetBkMode(*dc, TRANSPARENT);
        SetTextColor(*dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        TRect t{l.icon.Empty() ? cap.left + 3 : l.icon.right + 2, cap.top,
                l.buttons.empty() ? cap.right - 2 : l.buttons.back().rect.left - 2, cap.bottom};
        DrawText(*dc, w->text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        for (const CaptionButton& b : l.buttons) PaintButton(*dc, b, w->style & WS_MAXIMIZE);
    }
    PaintMenuBar(h, *dc);
    if (!(w = Find(h))) return;
    if (w->ex_style & WS_EX_CLIENTEDGE) {
        TRect e = r.Inflate(-(ins.left - 2), -(ins.left - 2));
        e.top = ins.top - 2;
        DrawEdge(*dc, e, EDGE_SUNKEN, BF_RECT);
    }
    PaintWindowScrollBars(*w, *dc);
    ReleaseDC(h, std::move(dc));
}

void PaintCaptionButton(HWND h, LRESULT hit) {
    Win* w = Find(h);
    if (!w || !Visible(w) || (w->style & WS_MINIMIZE)) return;
    for (const CaptionButton& b : LayoutCaption(*w).buttons)
        if (b.hit == hit) {
            const TRect wr = GetWindowRect(h);
            const Region only(b.rect.Offset(wr.left, wr.top));
            PaintDefaultFrame(h, &only, w->nc_active);
        }
}

}  // namespace ui::detail

namespace ui {

CaptionLayout GetCaptionLayout(HWND hwnd) {
    const detail::Win* w = detail::Find(hwnd);
    return w ? detail::LayoutCaption(*w) : CaptionLayout{};
}

void SetWindowIcon(HWND hwnd, SurfacePtr image, SurfacePtr mask) {
    detail::Win* w = detail::Find(hwnd);
    if (!w) return;
    w->icon = std::move(image);
    w->icon_mask = std::move(mask);
    InvalidateNonClient(hwnd);
}

}  // namespace ui
