// ScrollWindow: the pixels of a client area move within the window's
// surface, and only what they uncover is painted again.
#include <cstring>
#include <vector>

#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace {

// Moves the pixels that land in `dest` (surface coordinates) by (dx, dy).
void MovePixels(Surface& s, const Region& dest, int dx, int dy) {
    if (dest.Empty()) return;
    if (dest.Rects().size() == 1) {
        const TRect r = dest.Rects().front();
        const size_t bytes = size_t(r.Width()) * 4;
        auto row = [&](int y) { std::memmove(s.Row32(y) + r.left, s.Row32(y - dy) + (r.left - dx), bytes); };
        if (dy > 0)
            for (int y = r.bottom - 1; y >= r.top; --y) row(y);
        else
            for (int y = r.top; y < r.bottom; ++y) row(y);
        return;
    }
    // Several rectangles: their sources may overlap other destinations, so the
    // source comes from a copy.
    const TRect src = dest.Bounds().Offset(-dx, -dy);
    if (src.Width() <= 0 || src.Height() <= 0) return;
    const size_t width = size_t(src.Width());
    std::vector<uint32_t> copy(width * size_t(src.Height()));
    for (int y = src.top; y < src.bottom; ++y)
        std::memcpy(&copy[size_t(y - src.top) * width], s.Row32(y) + src.left, width * 4);
    for (const TRect& r : dest.Rects())
        for (int y = r.top; y < r.bottom; ++y)
            std::memcpy(s.Row32(y) + r.left, &copy[size_t(y - dy - src.top) * width + size_t(r.left - dx - src.left)],
                        size_t(r.Width()) * 4);
}

}  // namespace

bool ScrollWindow(HWND h, int dx, int dy, const TRect* scroll, const TRect* clip) {
    Win* w = Find(h);
    if (!w) return false;
    const TRect client = GetClientRect(h);
    TRect area = scroll ? Intersect(*scroll, client) : client;
    if (clip) area = Intersect(area, *clip);
    // Without a rectangle the children move along with the pixels.
    if (!scroll)
        for (HWND c : w->children)
            if (Win* cw = Find(c)) cw->rect = cw->rect.Offset(dx, dy);
    if ((dx == 0 && dy == 0) || area.Empty()) return true;
    // What was due to be painted moves with the pixels.
    Region moved = w->update;
    moved.Intersect(area);
    w->update.Subtract(area);
    moved.Offset(dx, dy);
    moved.Intersect(area);
    w->update.Add(moved);
    Region invalid(area);
    CaretOff(h);
    if (Visible(w)) {
        const TPoint o = ClientOriginInRoot(*w);
        const Region visible = VisibleRegion(*w, area.Offset(o.x, o.y), scroll != nullptr);
        Region dest = visible;
        dest.Offset(dx, dy);
        dest.Intersect(visible);
        MovePixels(*EnsureSurface(*Root(w)), dest, dx, dy);
        AddDamage(*Root(w), dest);  // the moved pixels are shown with the turn's other damage
        dest.Offset(-o.x, -o.y);
        invalid.Subtract(dest);
    }
    InvalidateRegion(h, invalid, true);
    CaretOn(h);
    return true;
}

}  // namespace ui
