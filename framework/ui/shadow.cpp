// Drop shadows of windows whose class asks for one (CS_DROPSHADOW): the
// window system darkens what lies beneath a band below and right of such a
// window when it presents the windows there, and when it composes a picture
// of the screen. The pixels of the windows beneath never hold the shadow, so
// their own painting needs no care and a shadow that goes leaves nothing.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

bool CastsShadow(const Win& w) {
    if (w.parent || !Visible(&w) || (w.style & WS_MINIMIZE)) return false;
    const auto it = Ui().classes.find(w.cls);
    return it != Ui().classes.end() && (it->second.style & CS_DROPSHADOW);
}

// Screen coordinates.
Region Band(const TRect& window) {
    Region band(window.Offset(kDropShadowDepth, kDropShadowDepth));
    band.Subtract(window);
    return band;
}

// What lies beneath a shadow keeps five eighths of its light.
uint32_t Darken(uint32_t pixel) {
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return (r * 5 / 8) << 16 | (g * 5 / 8) << 8 | (b * 5 / 8);
}

// The shadows cast, front first.
std::vector<std::pair<HWND, TRect>> CurrentShadows() {
    std::vector<std::pair<HWND, TRect>> now;
    for (HWND h : Desk().top_levels)
        if (const Win* w = Find(h); w && CastsShadow(*w)) now.emplace_back(h, w->rect);
    return now;
}

// `area` (pixels of `s`) darkened in place; what was there goes to `saved` when given.
void Shade(Surface& s, const Region& area, std::vector<uint32_t>* saved) {
    for (TRect r : area.Rects()) {
        r = Intersect(r, {0, 0, s.Width(), s.Height()});
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = s.Row32(y);
            for (int x = r.left; x < r.right; ++x) {
                if (saved) saved->push_back(row[x]);
                row[x] = Darken(row[x]);
            }
        }
    }
}

void Unshade(Surface& s, const Region& area, const std::vector<uint32_t>& saved) {
    size_t i = 0;
    for (TRect r : area.Rects()) {
        r = Intersect(r, {0, 0, s.Width(), s.Height()});
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) s.Row32(y)[x] = saved[i++];
    }
}

}  // namespace

namespace detail {

void TopLevelChanged(const Win&) { Desk().shadows_dirty = true; }

void UpdateShadows() {
    Desktop& d = Desk();
    if (!std::exchange(d.shadows_dirty, false)) return;
    auto now = CurrentShadows();
    if (now == d.shadows) return;
    // Everything under a band that was or is now gets presented again.
    Region changed;
    for (const auto& [h, r] : d.shadows) changed.Add(Band(r));
    for (const auto& [h, r] : now) changed.Add(Band(r));
    d.shadows = std::move(now);
    for (HWND t : d.top_levels) {
        Win* w = Find(t);
        if (!w || !Visible(w) || !changed.Intersects(w->rect)) continue;
        Region under = changed;
        under.Intersect(w->rect);
        under.Offset(-w->rect.left, -w->rect.top);
        AddDamage(*w, under);
    }
}

void PresentWithShadows(Display& display, Win& w, const SurfacePtr& pixels) {
    Region shade;
    for (HWND h : Desk().top_levels) {
        if (h == w.handle) break;
        if (const Win* s = Find(h); s && CastsShadow(*s)) shade.Add(Band(s->rect));
    }
    if (!shade.Empty()) {
        shade.Intersect(w.rect);
        shade.Offset(-w.rect.left, -w.rect.top);
        shade.Intersect(w.damage);
    }
    if (shade.Empty()) {
        display.Present(w.handle, *pixels, w.damage);
        return;
    }
    std::vector<uint32_t> saved;
    Shade(*pixels, shade, &saved);
    display.Present(w.handle, *pixels, w.damage);
    Unshade(*pixels, shade, saved);
}

}  // namespace detail

Region GetDropShadowRegion(HWND hwnd) {
    const Win* w = Find(hwnd);
    return w && CastsShadow(*w) ? Band(w->rect) : Region();
}

SurfacePtr CaptureScreen(const TRect& area) {
    SurfacePtr screen = Surface::Create(area.Width(), area.Height(), PixelFormat::Color32);
    if (screen->Empty()) return screen;
    screen->Fill(GetSysColor(COLOR_BACKGROUND));
    DC dc(screen);
    const auto& tops = Desk().top_levels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Win* w = Find(*it);
        if (!w || !Visible(w) || (w->style & WS_MINIMIZE)) continue;
        if (CastsShadow(*w)) {
            Region band = Band(w->rect);
            band.Offset(-area.left, -area.top);
            Shade(*screen, band, nullptr);
        }
        DC src(EnsureSurface(*w));
        BitBlt(dc, w->rect.left - area.left, w->rect.top - area.top, w->rect.Width(), w->rect.Height(), &src, 0, 0,
               SRCCOPY);
    }
    return screen;
}

}  // namespace ui
