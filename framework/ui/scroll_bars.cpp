// Scroll bars: state, geometry, drawing, the scroll-bar control's class and
// the drag that a press on a bar starts.
#include "framework/ui/scroll_bars.hpp"

#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

constexpr UINT kRepeatTimer = 0xFFFF0001u;
constexpr UINT kFirstRepeatMs = 400, kRepeatMs = 50;
constexpr int kMinThumb = 8;

ScrollBarState* State(HWND h, int bar) {
    Win* w = Find(h);
    if (!w || bar < SB_HORZ || bar > SB_CTL) return nullptr;
    return &w->bars[bar];
}

// Where everything of a bar lies, in the coordinates of ScrollBarRect.
struct Geometry {
    TRect rect, up, down, track, thumb;  // thumb empty: none
    bool vertical = true;
    int Along(TPoint p) const { return vertical ? p.y : p.x; }
    int TrackStart() const { return vertical ? track.top : track.left; }
    int TrackLength() const { return vertical ? track.Height() : track.Width(); }
    int ThumbLength() const { return vertical ? thumb.Height() : thumb.Width(); }
};

bool IsVertical(const Win& w, int bar) { return bar == SB_VERT || (bar == SB_CTL && (w.style & SBS_VERT)); }

TRect BarRect(const Win& w, int bar) {
    if (bar == SB_CTL) return {0, 0, std::max(0, w.rect.Width()), std::max(0, w.rect.Height())};
    const TRect c = ClientIn(w);
    if (bar == SB_VERT && (w.style & WS_VSCROLL))
        return {c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    if (bar == SB_HORZ && (w.style & WS_HSCROLL))
        return {c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    return {};
}

// Positions a thumb can take beyond the first.
int64_t Positions(const ScrollBarState& s) {
    return std::max<int64_t>(0, int64_t(s.max) - s.min - std::max(s.page - 1, 0));
}

bool Scrollable(const ScrollBarState& s) { return !s.disabled && s.max > s.min && Positions(s) > 0; }

Geometry Measure(const Win& w, int bar, const ScrollBarState& s) {
    Geometry g;
    g.rect = BarRect(w, bar);
    g.vertical = IsVertical(w, bar);
    if (g.rect.Empty()) return g;
    const TRect& r = g.rect;
    const int len = g.vertical ? r.Height() : r.Width(), thick = g.vertical ? r.Width() : r.Height();
    const int arrow = std::min(thick, len / 2);
    auto span = [&](int from, int to) {
        return g.vertical ? TRect{r.left, r.top + from, r.right, r.top + to}
                          : TRect{r.left + from, r.top, r.left + to, r.bottom};
    };
    g.up = span(0, arrow);
    g.down = span(len - arrow, len);
    g.track = span(arrow, len - arrow);
    if (!Scrollable(s)) return g;
    const int track = len - 2 * arrow;
    const int64_t units = int64_t(s.max) - s.min + 1;
    int thumb = s.page == 0 ? thick : int(std::max<int64_t>(kMinThumb, track * int64_t(s.page) / units));
    if (thumb > track) return g;
    const int value = s.tracking ? s.track : s.pos;
    const int off = int((track - thumb) * (int64_t(value) - s.min) / Positions(s));
    g.thumb = span(arrow + off, arrow + off + thumb);
    return g;
}

ScrollPart PartAt(const Geometry& g, TPoint p) {
    if (!g.rect.Contains(p)) return ScrollPart::None;
    if (g.up.Contains(p)) return ScrollPart::LineUp;
    if (g.down.Contains(p)) return ScrollPart::LineDown;
    if (g.thumb.Empty()) return ScrollPart::None;
    if (g.thumb.Contains(p)) return ScrollPart::Thumb;
    return g.Along(p) < (g.vertical ? g.thumb.top : g.thumb.left) ? ScrollPart::PageUp : ScrollPart::PageDown;
}

// ---------------------------------------------------------------- drawing

void DrawButtonFace(DC& dc, TRect r, bool pressed) {
    if (pressed) {
        FrameRect(dc, r, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
        FillRect(dc, r.Inflate(-1, -1), Brush::Solid(GetSysColor(COLOR_BTNFACE)));
        return;
    }
    Frame3D(dc, r, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW), 1);
    Frame3D(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW), 1);
    FillRect(dc, r, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
}

// A solid triangle pointing up, down, left or right, centred in `r`.
void DrawArrow(DC& dc, const TRect& r, bool vertical, bool forward, COLORREF color, int shift) {
    const int size = std::max(1, std::min(r.Width(), r.Height()) / 4);
    const int cx = r.left + (r.Width() - 1) / 2 + shift, cy = r.top + (r.Height() - 1) / 2 + shift;
    const Brush b = Brush::Solid(color);
    for (int i = 0; i < size; ++i) {
        const int half = forward ? size - 1 - i : i;  // the row's half width
        const int at = i - size / 2;
        if (vertical)
            FillRect(dc, {cx - half, cy + at, cx + half + 1, cy + at + 1}, b);
        else
            FillRect(dc, {cx + at, cy - half, cx + at + 1, cy + half + 1}, b);
    }
}

void DrawArrowButton(DC& dc, const TRect& r, bool vertical, bool forward, bool pressed, bool enabled) {
    if (r.Empty()) return;
    DrawButtonFace(dc, r, pressed);
    const int shift = pressed ? 1 : 0;
    if (enabled) {
        DrawArrow(dc, r, vertical, forward, GetSysColor(COLOR_BTNTEXT), shift);
    } else {
        DrawArrow(dc, r.Offset(1, 1), vertical, forward, GetSysColor(COLOR_BTNHIGHLIGHT), 0);
        DrawArrow(dc, r, vertical, forward, GetSysColor(COLOR_BTNSHADOW), 0);
    }
}

// The track: a checker of highlight and face; a pressed page part is dark.
void DrawTrack(DC& dc, const TRect& r, bool pressed) {
    if (r.Empty()) return;
    if (pressed) {
        FillRect(dc, r, Brush::Solid(GetSysColor(COLOR_3DDKSHADOW)));
        return;
    }
    auto pattern = Surface::Create(8, 8, PixelFormat::Mono);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pattern->Row8(y)[x] = (x + y) % 2 ? 0xFF : 0;
    const COLORREF text = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    const COLORREF bk = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    FillRect(dc, r, Brush::Pattern(pattern));
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
}

void DrawBar(DC& dc, const Geometry& g, const ScrollBarState& s) {
    if (g.rect.Empty()) return;
    const bool enabled = Scrollable(s);
    const ScrollPart p = s.pressed;
    DrawArrowButton(dc, g.up, g.vertical, false, p == ScrollPart::LineUp, enabled);
    DrawArrowButton(dc, g.down, g.vertical, true, p == ScrollPart::LineDown, enabled);
    if (g.thumb.Empty()) {
        DrawTrack(dc, g.track, false);
        return;
    }
    TRect before = g.track, after = g.track;
    if (g.vertical)
        before.bottom = g.thumb.top, after.top = g.thumb.bottom;
    else
        before.right = g.thumb.left, after.left = g.thumb.right;
    DrawTrack(dc, before, p == ScrollPart::PageUp);
    DrawTrack(dc, after, p == ScrollPart::PageDown);
    DrawButtonFace(dc, g.thumb, false);
}

void Redraw(HWND h, int bar) {
    Win* w = Find(h);
    if (!w || !Visible(w)) return;
    const Geometry g = Measure(*w, bar, w->bars[bar]);
    if (g.rect.Empty()) return;
    auto dc = bar == SB_CTL ? GetDC(h) : GetWindowDC(h);
    DrawBar(*dc, g, w->bars[bar]);
    ReleaseDC(h, std::move(dc));
}

void Notify(HWND h, int bar, int code, int pos) {
    Win* w = Find(h);
    if (!w) return;
    const UINT msg = IsVertical(*w, bar) ? WM_VSCROLL : WM_HSCROLL;
    const WPARAM wp = WPARAM(uint16_t(code)) | WPARAM(uint16_t(pos)) << 16;
    if (bar == SB_CTL)
        SendMessage(w->parent ? w->parent : w->owner, msg, wp, LPARAM(h));
    else
        SendMessage(h, msg, wp, 0);
}

int CodeOf(ScrollPart p) {
    switch (p) {
    case ScrollPart::LineUp: return SB_LINEUP;
    case ScrollPart::LineDown: return SB_LINEDOWN;
    case ScrollPart::PageUp: return SB_PAGEUP;
    case ScrollPart::PageDown: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
    }
}

// A window's own bars change its client area: the window is laid out anew.
void FrameChanged(HWND h) {
    Win* w = Find(h);
    if (!w) return;
    InvalidateTree(*w);
    const TRect c = GetClientRect(h);
    SendMessage(h, WM_SIZE, 0, MAKELPARAM(c.Width(), c.Height()));
}

TPoint ToBar(const Win& w, int bar, TPoint screen) {
    if (bar == SB_CTL) return ScreenToClient(w.handle, screen);
    const TRect wr = GetWindowRect(w.handle);
    return {screen.x - wr.left, screen.y - wr.top};
}

void RepeatScroll(HWND h, UINT) {
    Tracking& t = Desk().tracking;
    Win* w = Find(h);
    if (t.kind != Tracking::Kind::ScrollBar || t.hwnd != h || !w) {
        KillTimer(h, kRepeatTimer);
        return;
    }
    SetTimer(h, kRepeatTimer, kRepeatMs, RepeatScroll);
    ScrollBarState& s = w->bars[t.bar];
    const Geometry g = Measure(*w, t.bar, s);
    if (PartAt(g, ToBar(*w, t.bar, t.last)) == t.part) Notify(h, t.bar, CodeOf(t.part), 0);
}

LRESULT ScrollBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        auto dc = BeginPaint(h, ps);
        if (Win* w = Find(h)) DrawBar(*dc, Measure(*w, SB_CTL, w->bars[SB_CTL]), w->bars[SB_CTL]);
        EndPaint(h, std::move(dc));
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetWindowStyle(h) & WS_TABSTOP) SetFocus(h);
        StartScrollTracking(h, SB_CTL, ClientToScreen(h, {LOWORD_S(lp), HIWORD_S(lp)}));
        return 0;
    case WM_ENABLE:
        if (ScrollBarState* s = State(h, SB_CTL)) s->disabled = !wp;
        Redraw(h, SB_CTL);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
        Win* w = Find(h);
        if (!w) return 0;
        const bool vertical = IsVertical(*w, SB_CTL);
        int code = -1;
        switch (wp) {
        case VK_UP: code = vertical ? SB_LINEUP : -1; break;
        case VK_LEFT: code = vertical ? -1 : SB_LINELEFT; break;
        case VK_DOWN: code = vertical ? SB_LINEDOWN : -1; break;
        case VK_RIGHT: code = vertical ? -1 : SB_LINERIGHT; break;
        case VK_PRIOR: code = SB_PAGEUP; break;
        case VK_NEXT: code = SB_PAGEDOWN; break;
        case VK_HOME: code = SB_TOP; break;
        case VK_END: code = SB_BOTTOM; break;
        default: break;
        }
        if (code >= 0) {
            Notify(h, SB_CTL, code, 0);
            Notify(h, SB_CTL, SB_ENDSCROLL, 0);
        }
        return 0;
    }
    default: return next(h, msg, wp, lp);
    }
}

}  // namespace

// ---------------------------------------------------------------- the state

int SetScrollInfo(HWND h, int bar, const SCROLLINFO& in, bool redraw) {
    ScrollBarState* s = State(h, bar);
    if (!s) return 0;
    const bool was = Scrollable(*s);
    if (in.fMask & SIF_RANGE) s->min = in.nMin, s->max = std::max(in.nMin, in.nMax);
    if (in.fMask & SIF_PAGE) s->page = int(std::min<int64_t>(in.nPage, int64_t(s->max) - s->min + 1));
    if (in.fMask & SIF_POS) s->pos = in.nPos;
    s->page = int(std::clamp<int64_t>(s->page, 0, int64_t(s->max) - s->min + 1));
    s->pos = int(std::clamp<int64_t>(s->pos, s->min, s->min + Positions(*s)));
    if (bar != SB_CTL && (in.fMask & (SIF_RANGE | SIF_PAGE))) {
        const bool scrolls = s->max > s->min && Positions(*s) > 0;
        if (in.fMask & SIF_DISABLENOSCROLL) {
            s->disabled = !scrolls;
            ShowScrollBar(h, bar, true);
        } else {
            s->disabled = false;
            ShowScrollBar(h, bar, scrolls);
        }
    }
    if (redraw || was != Scrollable(*s)) Redraw(h, bar);
    return s->pos;
}

bool GetScrollInfo(HWND h, int bar, SCROLLINFO& out) {
    const ScrollBarState* s = State(h, bar);
    if (!s) return false;
    if (out.fMask & SIF_RANGE) out.nMin = s->min, out.nMax = s->max;
    if (out.fMask & SIF_PAGE) out.nPage = UINT(s->page);
    if (out.fMask & SIF_POS) out.nPos = s->pos;
    if (out.fMask & SIF_TRACKPOS) out.nTrackPos = s->tracking ? s->track : s->pos;
    return true;
}

int SetScrollPos(HWND h, int bar, int pos, bool redraw) {
    const ScrollBarState* s = State(h, bar);
    if (!s) return 0;
    const int old = s->pos;
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(h, bar, si, redraw);
    return old;
}

int GetScrollPos(HWND h, int bar) {
    const ScrollBarState* s = State(h, bar);
    return s ? s->pos : 0;
}

bool SetScrollRange(HWND h, int bar, int min, int max, bool redraw) {
    if (!State(h, bar)) return false;
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    si.nMin = min, si.nMax = max;
    SetScrollInfo(h, bar, si, redraw);
    return true;
}

bool GetScrollRange(HWND h, int bar, int& min, int& max) {
    const ScrollBarState* s = State(h, bar);
    if (!s) return false;
    min = s->min, max = s->max;
    return true;
}

bool ShowScrollBar(HWND h, int bar, bool show) {
    Win* w = Find(h);
    if (!w) return false;
    if (bar == SB_CTL) return ShowWindow(h, show ? SW_SHOWNA : SW_HIDE), true;
    uint32_t bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL | WS_VSCROLL;
    const uint32_t style = show ? (w->style | bits) : (w->style & ~bits);
    if (style == w->style) return true;
    w->style = style;
    FrameChanged(h);
    return true;
}

bool EnableScrollBar(HWND h, int bar, UINT arrows) {
    for (int b : {SB_HORZ, SB_VERT, SB_CTL}) {
        if (!(b == bar || (bar == SB_BOTH && b != SB_CTL))) continue;
        ScrollBarState* s = State(h, b);
        if (!s) return false;
        s->disabled = arrows == ESB_DISABLE_BOTH;
        Redraw(h, b);
    }
    return true;
}

TRect ScrollBarRect(HWND h, int bar) {
    Win* w = Find(h);
    return w && bar >= SB_HORZ && bar <= SB_CTL ? BarRect(*w, bar) : TRect{};
}

ScrollPart ScrollPartAt(HWND h, int bar, TPoint p) {
    Win* w = Find(h);
    if (!w || bar < SB_HORZ || bar > SB_CTL) return ScrollPart::None;
    return PartAt(Measure(*w, bar, w->bars[bar]), p);
}

TRect ScrollThumbRect(HWND h, int bar) {
    Win* w = Find(h);
    if (!w || bar < SB_HORZ || bar > SB_CTL) return {};
    return Measure(*w, bar, w->bars[bar]).thumb;
}

// ---------------------------------------------------------------- the window system's side

namespace detail {

void RegisterScrollBarClass() { RegisterWindowClass({"SCROLLBAR", ScrollBarProc, CS_DBLCLKS, std::nullopt}); }

LRESULT ScrollBarHitTest(const Win& w, TPoint window_point) {
    if (BarRect(w, SB_VERT).Contains(window_point)) return HTVSCROLL;
    if (BarRect(w, SB_HORZ).Contains(window_point)) return HTHSCROLL;
    return HTNOWHERE;
}

void PaintWindowScrollBars(const Win& w, DC& window_dc) {
    for (int bar : {SB_HORZ, SB_VERT}) DrawBar(window_dc, Measure(w, bar, w.bars[bar]), w.bars[bar]);
    if ((w.style & WS_VSCROLL) && (w.style & WS_HSCROLL)) {
        const TRect v = BarRect(w, SB_VERT), hz = BarRect(w, SB_HORZ);
        FillRect(window_dc, {v.left, hz.top, v.right, hz.bottom}, Brush::Solid(GetSysColor(COLOR_BTNFACE)));
    }
}

bool StartScrollTracking(HWND h, int bar, TPoint screen) {
    Win* w = Find(h);
    if (!w || Desk().tracking.kind != Tracking::Kind::None) return false;
    ScrollBarState& s = w->bars[bar];
    const Geometry g = Measure(*w, bar, s);
    const TPoint p = ToBar(*w, bar, screen);
    const ScrollPart part = PartAt(g, p);
    if (part == ScrollPart::None || !Scrollable(s)) return false;
    Tracking& t = Desk().tracking;
    t = {};
    t.kind = Tracking::Kind::ScrollBar;
    t.hwnd = h, t.bar = bar, t.part = part, t.start = t.last = screen, t.start_pos = s.pos;
    SetCapture(h);
    s.pressed = part == ScrollPart::Thumb ? ScrollPart::None : part;
    if (part == ScrollPart::Thumb) {
        s.tracking = true;
        s.track = s.pos;
        t.grab = g.Along(p) - (g.vertical ? g.thumb.top : g.thumb.left);
        Redraw(h, bar);
        return true;
    }
    Redraw(h, bar);
    Notify(h, bar, CodeOf(part), 0);
    if (Desk().tracking.kind == Tracking::Kind::ScrollBar) SetTimer(h, kRepeatTimer, kFirstRepeatMs, RepeatScroll);
    return true;
}

void TrackScrollBar(TPoint screen) {
    Tracking& t = Desk().tracking;
    Win* w = Find(t.hwnd);
    if (!w) return;
    t.last = screen;
    ScrollBarState& s = w->bars[t.bar];
    const TPoint p = ToBar(*w, t.bar, screen);
    if (t.part != ScrollPart::Thumb) {
        const ScrollPart over = PartAt(Measure(*w, t.bar, s), p) == t.part ? t.part : ScrollPart::None;
        if (over != s.pressed) {
            s.pressed = over;
            Redraw(t.hwnd, t.bar);
        }
        return;
    }
    ScrollBarState at_start = s;
    at_start.tracking = false;
    const Geometry g = Measure(*w, t.bar, at_start);
    const int room = g.TrackLength() - g.ThumbLength();
    const int offset = g.Along(p) - t.grab - g.TrackStart();
    const int64_t positions = Positions(s);
    int64_t value = s.min;
    if (room > 0) value = s.min + (int64_t(std::clamp(offset, 0, room)) * positions + room / 2) / room;
    const int track = int(std::clamp<int64_t>(value, s.min, s.min + positions));
    if (track == s.track) return;
    s.track = track;
    Redraw(t.hwnd, t.bar);
    Notify(t.hwnd, t.bar, SB_THUMBTRACK, track);
}

void EndScrollTracking(bool cancel) {
    const Tracking t = std::exchange(Desk().tracking, Tracking{});
    KillTimer(t.hwnd, kRepeatTimer);
    if (GetCapture() == t.hwnd) ReleaseCapture();
    Win* w = Find(t.hwnd);
    if (!w) return;
    ScrollBarState& s = w->bars[t.bar];
    s.pressed = ScrollPart::None;
    if (t.part == ScrollPart::Thumb && s.tracking) {
        // The thumb's final place is still its track position while the message runs.
        if (cancel) s.track = t.start_pos;
        Notify(t.hwnd, t.bar, SB_THUMBPOSITION, s.track);
        if (!(w = Find(t.hwnd))) return;
        w->bars[t.bar].tracking = false;
    }
    Redraw(t.hwnd, t.bar);
    Notify(t.hwnd, t.bar, SB_ENDSCROLL, 0);
}

}  // namespace detail

}  // namespace ui
