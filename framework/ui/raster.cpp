// The device context, blits with ternary raster operations, and shapes.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/ui/gdi.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

// ---------------------------------------------------------------- DC

DC::DC(SurfacePtr target) : target_(std::move(target)) {}

SurfacePtr DC::SelectBitmap(SurfacePtr bitmap) { return std::exchange(target_, std::move(bitmap)); }

int DC::Save() {
    saved_.push_back(state_);
    return int(saved_.size());
}

bool DC::Restore(int level) {
    if (level < 0) level = int(saved_.size()) + 1 + level;
    if (level < 1 || level > int(saved_.size())) return false;
    state_ = saved_[size_t(level - 1)];
    saved_.resize(size_t(level - 1));
    return true;
}

void DC::ClipRects(const TRect& device, std::vector<TRect>& out) const {
    out.clear();
    if (!target_) return;
    TRect r = Intersect(device, {0, 0, target_->Width(), target_->Height()});
    if (r.Empty()) return;
    if (!state_.clip && !sysclip_) {
        out.push_back(r);
        return;
    }
    Region reg(r);
    if (sysclip_) reg.Intersect(*sysclip_);
    if (state_.clip) reg.Intersect(*state_.clip);
    out = reg.Rects();
}

void DC::IntersectClipRect(const TRect& r) {
    TRect d = ToDevice(r);
    if (!state_.clip)
        state_.clip = Region(d);
    else
        state_.clip->Intersect(d);
}

void DC::ExcludeClipRect(const TRect& r) {
    if (!state_.clip)
        state_.clip = Region(TRect{-kMaxSurfaceSide, -kMaxSurfaceSide, 2 * kMaxSurfaceSide, 2 * kMaxSurfaceSide});
    state_.clip->Subtract(ToDevice(r));
}

void DC::SelectClipRegion(const Region* device_region) {
    if (device_region)
        state_.clip = *device_region;
    else
        state_.clip.reset();
}

TRect DC::DeviceClipBox() const {
    if (!target_) return {};
    TRect b{0, 0, target_->Width(), target_->Height()};
    if (sysclip_) b = Intersect(b, sysclip_->Bounds());
    if (state_.clip) b = Intersect(b, state_.clip->Bounds());
    return b;
}

TRect DC::ClipBox() const { return DeviceClipBox().Offset(-state_.origin.x, -state_.origin.y); }

// ---------------------------------------------------------------- raster operations

uint32_t ApplyRop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (code >> i & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0xFFFFFF;
}

namespace {

bool UsesSource(uint8_t c) { return (((c >> 2) ^ c) & 0x33) != 0; }
bool UsesPattern(uint8_t c) { return (((c >> 4) ^ c) & 0x0F) != 0; }

template <class Op>
void CombineRow(uint32_t* d, const uint32_t* s, const uint32_t* p, int n, Op op) {
    for (int i = 0; i < n; ++i) d[i] = op(p[i], s[i], d[i]) & 0xFFFFFF;
}

void CombineRow(uint8_t code, uint32_t* d, const uint32_t* s, const uint32_t* p, int n) {
    switch (code) {
    case 0xCC: std::memcpy(d, s, size_t(n) * 4); return;
    case 0xF0: std::memcpy(d, p, size_t(n) * 4); return;
    case 0x00: std::fill_n(d, n, 0u); return;
    case 0xFF: std::fill_n(d, n, 0xFFFFFFu); return;
    case 0x88: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t d) { return s & d; });
    case 0xEE: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t d) { return s | d; });
    case 0x66: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; });
    case 0x33: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t) { return ~s; });
    case 0x55: return CombineRow(d, s, p, n, [](uint32_t, uint32_t, uint32_t d) { return ~d; });
    case 0x5A: return CombineRow(d, s, p, n, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; });
    case 0x44: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; });
    case 0xBB: return CombineRow(d, s, p, n, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; });
    case 0xC0: return CombineRow(d, s, p, n, [](uint32_t p, uint32_t s, uint32_t) { return p & s; });
    case 0xE2: return CombineRow(d, s, p, n, [](uint32_t p, uint32_t s, uint32_t d) { return ((d ^ p) & s) ^ d; });
    case 0xB8: return CombineRow(d, s, p, n, [](uint32_t p, uint32_t s, uint32_t d) { return ((d ^ p) & s) ^ p; });
    default:
        return CombineRow(d, s, p, n, [code](uint32_t p, uint32_t s, uint32_t d) { return ApplyRop3(code, p, s, d); });
    }
}

// The brush as a row of pixels in the destination's format.
void PatternRow(const DC& dc, const Surface& dst, int dev_x, int dev_y, int n, uint32_t* out) {
    const Brush& b = dc.S().brush;
    if (b.style == BS_NULL) {
        std::fill_n(out, n, 0u);
        return;
    }
    if (b.style != BS_PATTERN || !b.pattern || b.pattern->Empty()) {
        const uint32_t v = dst.Mono() ? (MonoWhite(b.color) ? 0xFFFFFFu : 0u) : ToPixel(b.color);
        std::fill_n(out, n, v);
        return;
    }
    const Surface& pat = *b.pattern;
    const int pw = pat.Width(), ph = pat.Height();
    int py = (dev_y - dc.S().brush_org.y) % ph;
    if (py < 0) py += ph;
    int px = (dev_x - dc.S().brush_org.x) % pw;
    if (px < 0) px += pw;
    const uint32_t text = ToPixel(dc.S().text_color), bk = ToPixel(dc.S().bk_color);
    const uint32_t bk_pixel = ToPixel(dc.S().bk_color);
    for (int i = 0; i < n; ++i, px = px + 1 == pw ? 0 : px + 1) {
        uint32_t v;
        if (pat.Mono()) {
            bool white = pat.Row8(py)[px] != 0;
            v = dst.Mono() ? (white ? 0xFFFFFFu : 0u) : (white ? bk : text);
        } else {
            uint32_t c = pat.Row32(py)[px] & 0xFFFFFF;
            v = dst.Mono() ? (c == bk_pixel ? 0xFFFFFFu : 0u) : c;
        }
        out[i] = v;
    }
}

struct BlitSource {
    const Surface* surface = nullptr;
    uint32_t mono_zero = 0, mono_one = 0xFFFFFF;  // colours of mono source bits in the destination
    uint32_t bk_pixel = 0;                        // source background, for colour-to-mono
};

// One source row, stretched to n destination pixels, in the destination's format.
void SourceRow(const BlitSource& src, bool dst_mono, int sy, const int* xmap, int n, uint32_t* out) {
    const Surface& s = *src.surface;
    if (s.Mono()) {
        const uint8_t* row = s.Row8(sy);
        if (dst_mono)
            for (int i = 0; i < n; ++i) out[i] = row[xmap[i]] ? 0xFFFFFFu : 0u;
        else
            for (int i = 0; i < n; ++i) out[i] = row[xmap[i]] ? src.mono_one : src.mono_zero;
        return;
    }
    const uint32_t* row = s.Row32(sy);
    if (dst_mono) {
        for (int i = 0; i < n; ++i) out[i] = (row[xmap[i]] & 0xFFFFFF) == src.bk_pixel ? 0xFFFFFFu : 0u;
    } else if (n > 1 && xmap[n - 1] - xmap[0] == n - 1) {
        std::memcpy(out, row + xmap[0], size_t(n) * 4);
    } else {
        for (int i = 0; i < n; ++i) out[i] = row[xmap[i]];
    }
}

thread_local std::vector<uint32_t> t_srow, t_prow, t_drow;
thread_local std::vector<int> t_xmap;
thread_local std::vector<TRect> t_clips;

}  // namespace

namespace {

// The blit on a destination rectangle of any size: 64-bit, so that a
// rectangle given by its corners keeps its true width.
bool Blit(DC& dst, int64_t x, int64_t y, int64_t w, int64_t h, const DC* src, int sx, int sy, int sw, int sh,
          uint32_t rop) {
    const uint8_t code = uint8_t(rop >> 16);
    Surface* d = dst.Target().get();
    if (w <= 0 || h <= 0 || !d || d->Empty()) return false;
    const bool use_s = UsesSource(code), use_p = UsesPattern(code);
    BlitSource bs;
    int64_t sox = 0, soy = 0;
    if (use_s) {
        if (!src || !src->Target() || src->Target()->Empty() || sw <= 0 || sh <= 0) return false;
        bs.surface = src->Target().get();
        bs.mono_zero = ToPixel(dst.S().text_color);
        bs.mono_one = ToPixel(dst.S().bk_color);
        bs.bk_pixel = ToPixel(src->S().bk_color);
        sox = int64_t(sx) + src->S().origin.x;
        soy = int64_t(sy) + src->S().origin.y;
    } else {
        sw = 1, sh = 1;  // unused
    }
    // Clip first: only the visible part is walked and buffered, however large
    // and far off the rectangle is.
    const int64_t left = x + dst.S().origin.x, top = y + dst.S().origin.y;
    const TRect visible{SatInt(std::max<int64_t>(left, 0)), SatInt(std::max<int64_t>(top, 0)),
                        SatInt(std::min<int64_t>(left + w, d->Width())),
                        SatInt(std::min<int64_t>(top + h, d->Height()))};
    if (visible.Empty()) return true;
    dst.ClipRects(visible, t_clips);
    if (t_clips.empty()) return true;
    const std::vector<TRect>& clips = t_clips;
    // A solid colour fill: rows of one value.
    const Brush& brush = dst.S().brush;
    if (code == 0xF0 && !d->Mono() && brush.style == BS_SOLID) {
        const uint32_t v = ToPixel(brush.color);
        for (const TRect& c : clips)
            for (int dy = c.top; dy < c.bottom; ++dy) std::fill_n(d->Row32(dy) + c.left, c.Width(), v);
        return true;
    }
    const size_t row = size_t(visible.Width());
    t_srow.resize(row);
    t_prow.resize(row);
    t_drow.resize(row);
    t_xmap.resize(row);
    const int sW = use_s ? bs.surface->Width() : 0, sH = use_s ? bs.surface->Height() : 0;
    for (const TRect& c : clips) {
        // Destination columns whose source pixel lies inside the source.
        int i0 = c.left, i1 = c.right;  // device columns
        if (use_s) {
            for (int i = i0; i < i1; ++i) t_xmap[size_t(i - i0)] = SatInt(sox + (i - left) * sw / w);
            int* xm = t_xmap.data() - i0;
            int first = i0;
            while (first < i1 && xm[first] < 0) ++first;
            while (i1 > first && xm[i1 - 1] >= sW) --i1;
            i0 = first;
        }
        const int n = i1 - i0;
        if (n <= 0) continue;
        const int* xmap = t_xmap.data() + (i0 - c.left);
        for (int dy = c.top; dy < c.bottom; ++dy) {
            uint32_t* srow = t_srow.data();
            if (use_s) {
                const int64_t s_y = soy + (dy - top) * sh / h;
                if (s_y < 0 || s_y >= sH) continue;
                SourceRow(bs, d->Mono(), int(s_y), xmap, n, srow);
            }
            if (use_p) PatternRow(dst, *d, i0, dy, n, t_prow.data());
            if (d->Mono()) {
                uint8_t* r = d->Row8(dy) + i0;
                for (int i = 0; i < n; ++i) t_drow[size_t(i)] = r[i] ? 0xFFFFFFu : 0u;
                CombineRow(code, t_drow.data(), srow, t_prow.data(), n);
                for (int i = 0; i < n; ++i) r[i] = (t_drow[size_t(i)] & 1) ? 0xFF : 0;
            } else {
                CombineRow(code, d->Row32(dy) + i0, srow, t_prow.data(), n);
            }
        }
    }
    return true;
}

bool PatRect(DC& dst, const TRect& r, uint32_t rop) {
    if (UsesSource(uint8_t(rop >> 16))) return false;
    return Blit(dst, r.left, r.top, int64_t(r.right) - r.left, int64_t(r.bottom) - r.top, nullptr, 0, 0, 0, 0, rop);
}

}  // namespace

bool StretchBlt(DC& dst, int x, int y, int w, int h, const DC* src, int sx, int sy, int sw, int sh, uint32_t rop) {
    return Blit(dst, x, y, w, h, src, sx, sy, sw, sh, rop);
}

bool BitBlt(DC& dst, int x, int y, int w, int h, const DC* src, int sx, int sy, uint32_t rop) {
    return Blit(dst, x, y, w, h, src, sx, sy, w, h, rop);
}

bool PatBlt(DC& dst, int x, int y, int w, int h, uint32_t rop) {
    if (UsesSource(uint8_t(rop >> 16))) return false;
    return Blit(dst, x, y, w, h, nullptr, 0, 0, 0, 0, rop);
}

void DrawMasked(DC& dst, int x, int y, int w, int h, const SurfacePtr& image, const SurfacePtr& mask, int sx, int sy) {
    if (!image) return;
    DC img(image);
    if (!mask) {
        BitBlt(dst, x, y, w, h, &img, sx, sy, SRCCOPY);
        return;
    }
    DC m(mask);
    const COLORREF text = dst.S().text_color, bk = dst.S().bk_color;
    SetTextColor(dst, 0);
    SetBkColor(dst, 0xFFFFFF);
    BitBlt(dst, x, y, w, h, &m, sx, sy, SRCAND);
    // The image is black where the mask is white, so OR puts it in place.
    auto cut = Surface::Create(w, h, image->Format());
    DC c(cut);
    BitBlt(c, 0, 0, w, h, &img, sx, sy, SRCCOPY);
    SetTextColor(c, 0xFFFFFF);
    SetBkColor(c, 0);
    BitBlt(c, 0, 0, w, h, &m, sx, sy, SRCAND);
    BitBlt(dst, x, y, w, h, &c, 0, 0, SRCPAINT);
    SetTextColor(dst, text);
    SetBkColor(dst, bk);
}

// ---------------------------------------------------------------- shapes

void FillRect(DC& dc, const TRect& r, const Brush& brush) {
    if (brush.style == BS_NULL || r.Empty()) return;
    // `brush` may be the DC's own (a canvas fills with it): copied, not moved.
    Brush saved = dc.S().brush;
    dc.S().brush = brush;
    PatRect(dc, r, PATCOPY);
    dc.S().brush = std::move(saved);
}

void FrameRect(DC& dc, const TRect& r, const Brush& brush) {
    if (r.Empty()) return;
    FillRect(dc, {r.left, r.top, r.right, r.top + 1}, brush);
    FillRect(dc, {r.left, r.bottom - 1, r.right, r.bottom}, brush);
    FillRect(dc, {r.left, r.top + 1, r.left + 1, r.bottom - 1}, brush);
    FillRect(dc, {r.right - 1, r.top + 1, r.right, r.bottom - 1}, brush);
}

void InvertRect(DC& dc, const TRect& r) {
    if (!r.Empty()) PatRect(dc, r, DSTINVERT);
}

namespace {

// One pixel of a pen, through the DC's mix mode.
void PlotPen(DC& dc, Surface& s, int dev_x, int dev_y, COLORREF color) {
    if (dev_x < 0 || dev_y < 0 || dev_x >= s.Width() || dev_y >= s.Height()) return;
    const auto& sys = dc.SystemClip();
    const auto& clip = dc.S().clip;
    if (sys && !sys->Contains({dev_x, dev_y})) return;
    if (clip && !clip->Contains({dev_x, dev_y})) return;
    if (s.Mono()) {
        uint8_t& px = s.Row8(dev_y)[dev_x];
        switch (dc.S().rop2) {
        case R2_NOT: px = px ? 0 : 0xFF; break;
        case R2_XORPEN: px ^= MonoWhite(color) ? 0xFF : 0; break;
        case R2_BLACK: px = 0; break;
        case R2_WHITE: px = 0xFF; break;
        default: px = MonoWhite(color) ? 0xFF : 0;
        }
        return;
    }
    uint32_t& px = s.Row32(dev_y)[dev_x];
    switch (dc.S().rop2) {
    case R2_NOT: px = ~px & 0xFFFFFF; break;
    case R2_XORPEN: px = (px ^ ToPixel(color)) & 0xFFFFFF; break;
    case R2_BLACK: px = 0; break;
    case R2_WHITE: px = 0xFFFFFF; break;
    default: px = ToPixel(color);
    }
}

void WithCairo(DC& dc, const TRect& device_bounds, auto draw) {
    Surface* s = dc.Target().get();
    if (!s || s->Empty()) return;
    std::vector<TRect> clips;
    dc.ClipRects(device_bounds, clips);
    if (clips.empty()) return;
    cairo_t* cr = cairo_create(s->Cairo());
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (const auto& c : clips) cairo_rectangle(cr, c.left, c.top, c.Width(), c.Height());
    cairo_clip(cr);
    cairo_translate(cr, dc.S().origin.x, dc.S().origin.y);
    draw(cr, s->Mono());
    cairo_destroy(cr);
    s->MarkDirty();
}

void CairoColor(cairo_t* cr, bool mono, COLORREF c) {
    if (mono) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, MonoWhite(c) ? 1.0 : 0.0);
    } else {
        cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    }
}

// Cuts the segment to the rectangle (Liang and Barsky); false when nothing is left.
bool ClipSegment(const TRect& r, double& ax, double& ay, double& bx, double& by) {
    const double dx = bx - ax, dy = by - ay;
    double t0 = 0, t1 = 1;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, ax - r.left) || !edge(dx, r.right - ax) || !edge(-dy, ay - r.top) || !edge(dy, r.bottom - ay))
        return false;
    const double x0 = ax, y0 = ay;
    ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    bx = x0 + t1 * dx, by = y0 + t1 * dy;
    return true;
}

__extension__ using Wide = __int128;

// A one-pixel line from (x0, y0) up to, not including, (x1, y1): the pixels
// the classic all-octant Bresenham walk visits. Step j of `major` lies at
// j along the major axis and at floor((2 j minor + major) / (2 major)) along
// the other, so the walk starts where the line enters the clip box and ends
// where it leaves, however long the line is.
void Line1(DC& dc, int x0, int y0, int x1, int y1) {
    Surface* s = dc.Target().get();
    const Pen& pen = dc.S().pen;
    if (!s || s->Empty() || pen.style == PS_NULL) return;
    const TRect box = dc.DeviceClipBox();
    if (box.Empty()) return;
    const int64_t ax = int64_t(x0) + dc.S().origin.x, ay = int64_t(y0) + dc.S().origin.y;
    const int64_t bx = int64_t(x1) + dc.S().origin.x, by = int64_t(y1) + dc.S().origin.y;
    const int64_t dx = std::abs(bx - ax), dy = std::abs(by - ay);
    const bool x_major = dx >= dy;
    const int64_t major = std::max(dx, dy), minor = std::min(dx, dy);
    if (major == 0) return;
    const int64_t m0 = x_major ? ax : ay, n0 = x_major ? ay : ax;  // start on the major and minor axes
    const int sm = (x_major ? bx > ax : by > ay) ? 1 : -1, sn = (x_major ? by > ay : bx > ax) ? 1 : -1;
    const int64_t lo_m = x_major ? box.left : box.top, hi_m = x_major ? box.right : box.bottom;
    const int64_t lo_n = x_major ? box.top : box.left, hi_n = x_major ? box.bottom : box.right;
    // Steps whose major coordinate is inside the box.
    int64_t j0 = sm > 0 ? lo_m - m0 : m0 - hi_m + 1, j1 = sm > 0 ? hi_m - m0 : m0 - lo_m + 1;
    j0 = std::max<int64_t>(j0, 0), j1 = std::min(j1, major);
    // ... and whose minor coordinate is: the minor offset never decreases.
    auto offset = [&](int64_t j) { return int64_t((Wide(2) * j * minor + major) / (Wide(2) * major)); };
    const int64_t lo_o = sn > 0 ? lo_n - n0 : n0 - hi_n + 1, hi_o = sn > 0 ? hi_n - n0 : n0 - lo_n + 1;
    auto first = [&](auto pred) {  // the first step in [j0, j1) where pred holds (pred is monotone)
        int64_t a = j0, b = j1;
        while (a < b) {
            const int64_t m = a + (b - a) / 2;
            if (pred(m))
                b = m;
            else
                a = m + 1;
        }
        return a;
    };
    const int64_t from = first([&](int64_t j) { return offset(j) >= lo_o; });
    j1 = first([&](int64_t j) { return offset(j) >= hi_o; });
    if (from >= j1) return;
    int64_t o = offset(from);
    int64_t rem = int64_t((Wide(2) * from * minor + major) % (Wide(2) * major));
    int64_t pm = m0 + sm * from;
    for (int64_t j = from; j < j1; ++j) {
        const bool on = pen.style == PS_DOT ? j % 2 == 0 : pen.style == PS_DASH ? j % 8 < 6 : true;
        const int64_t pn = n0 + sn * o;
        if (on) PlotPen(dc, *s, int(x_major ? pm : pn), int(x_major ? pn : pm), pen.color);
        pm += sm;
        rem += 2 * minor;
        if (rem >= 2 * major) rem -= 2 * major, ++o;
    }
}

}  // namespace

void MoveTo(DC& dc, int x, int y) { dc.S().pos = {x, y}; }

void LineTo(DC& dc, int x, int y) {
    const TPoint from = dc.S().pos;
    dc.S().pos = {x, y};
    const Pen& pen = dc.S().pen;
    if (pen.style == PS_NULL) return;
    if (pen.width <= 1) return Line1(dc, from.x, from.y, x, y);
    const int w = pen.width;
    // Only the part of the line near the clip box goes to Cairo, whose fixed
    // point cannot hold far-off coordinates.
    const TRect box = dc.DeviceClipBox().Offset(-dc.S().origin.x, -dc.S().origin.y).Inflate(w + 1, w + 1);
    double ax = from.x, ay = from.y, bx = x, by = y;
    if (box.Empty() || !ClipSegment(box, ax, ay, bx, by)) return;
    const TRect b = dc.ToDevice({SatInt(int64_t(std::min(ax, bx)) - w), SatInt(int64_t(std::min(ay, by)) - w),
                                 SatInt(int64_t(std::max(ax, bx)) + w + 1), SatInt(int64_t(std::max(ay, by)) + w + 1)});
    WithCairo(dc, b, [&](cairo_t* cr, bool mono) {
        CairoColor(cr, mono, pen.color);
        cairo_set_line_width(cr, w);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, ax + 0.5, ay + 0.5);
        cairo_line_to(cr, bx + 0.5, by + 0.5);
        cairo_stroke(cr);
    });
}

void Rectangle(DC& dc, const TRect& r) {
    const Pen& pen = dc.S().pen;
    if (r.Empty()) return;
    if (pen.style == PS_NULL) {
        FillRect(dc, {r.left, r.top, r.right - 1, r.bottom - 1}, dc.S().brush);
        return;
    }
    const int w = std::max(1, pen.width);
    FillRect(dc, r.Inflate(-w, -w), dc.S().brush);
    const Brush frame = Brush::Solid(pen.color);
    for (int i = 0; i < w; ++i) FrameRect(dc, r.Inflate(-i, -i), frame);
}

void Ellipse(DC& dc, const TRect& r) {
    if (r.Empty()) return;
    const Pen pen = dc.S().pen;
    const Brush brush = dc.S().brush;
    WithCairo(dc, dc.ToDevice(r), [&](cairo_t* cr, bool mono) {
        const double pw = pen.style == PS_NULL ? 0 : std::max(1, pen.width);
        const double cx = (double(r.left) + r.right) / 2.0, cy = (double(r.top) + r.bottom) / 2.0;
        const double rx = (r.Width() - pw) / 2.0, ry = (r.Height() - pw) / 2.0;
        if (rx <= 0 || ry <= 0) return;
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        if (brush.style != BS_NULL) {
            CairoColor(cr, mono, brush.color);
            cairo_fill_preserve(cr);
        }
        if (pw > 0) {
            CairoColor(cr, mono, pen.color);
            cairo_set_line_width(cr, pw);
            cairo_stroke(cr);
        }
        cairo_new_path(cr);
    });
}

COLORREF GetPixel(const DC& dc, int x, int y) {
    const Surface* s = dc.Target().get();
    if (!s) return CLR_INVALID;
    return s->Pixel(SatInt(int64_t(x) + dc.S().origin.x), SatInt(int64_t(y) + dc.S().origin.y));
}

void SetPixel(DC& dc, int x, int y, COLORREF color) {
    Surface* s = dc.Target().get();
    if (!s) return;
    const int saved = std::exchange(dc.S().rop2, int(R2_COPYPEN));
    PlotPen(dc, *s, SatInt(int64_t(x) + dc.S().origin.x), SatInt(int64_t(y) + dc.S().origin.y), color);
    dc.S().rop2 = saved;
}

void DrawFocusRect(DC& dc, const TRect& r) {
    Surface* s = dc.Target().get();
    if (!s || r.Empty()) return;
    const TRect box = dc.ClipBox();  // walk only what can show
    const int saved = std::exchange(dc.S().rop2, int(R2_NOT));
    auto dot = [&](int x, int y) {
        if (((int64_t(x) + y) & 1) == 0)
            PlotPen(dc, *s, SatInt(int64_t(x) + dc.S().origin.x), SatInt(int64_t(y) + dc.S().origin.y), 0);
    };
    for (int x = std::max(r.left, box.left), end = std::min(r.right, box.right); x < end; ++x)
        dot(x, r.top), dot(x, r.bottom - 1);
    for (int y = std::max(r.top + 1, box.top), end = std::min(r.bottom - 1, box.bottom); y < end; ++y)
        dot(r.left, y), dot(r.right - 1, y);
    dc.S().rop2 = saved;
}

void Frame3D(DC& dc, TRect& r, COLORREF top_left, COLORREF bottom_right, int width) {
    const Brush tl = Brush::Solid(top_left), br = Brush::Solid(bottom_right);
    for (int i = 0; i < width && !r.Empty(); ++i) {
        FillRect(dc, {r.left, r.top, r.right - 1, r.top + 1}, tl);
        FillRect(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, tl);
        FillRect(dc, {r.right - 1, r.top, r.right, r.bottom}, br);
        FillRect(dc, {r.left, r.bottom - 1, r.right, r.bottom}, br);
        r = r.Inflate(-1, -1);
    }
}

void DrawEdge(DC& dc, TRect& r, unsigned edge, unsigned flags) {
    TRect work = r;
    auto ring = [&](COLORREF tl, COLORREF br) {
        const Brush a = Brush::Solid(tl), b = Brush::Solid(br);
        if (flags & BF_TOP) FillRect(dc, {work.left, work.top, work.right - 1, work.top + 1}, a);
        if (flags & BF_LEFT) FillRect(dc, {work.left, work.top, work.left + 1, work.bottom - 1}, a);
        if (flags & BF_RIGHT) FillRect(dc, {work.right - 1, work.top, work.right, work.bottom}, b);
        if (flags & BF_BOTTOM) FillRect(dc, {work.left, work.bottom - 1, work.right, work.bottom}, b);
        if (flags & BF_LEFT) ++work.left;
        if (flags & BF_TOP) ++work.top;
        if (flags & BF_RIGHT) --work.right;
        if (flags & BF_BOTTOM) --work.bottom;
    };
    const COLORREF light = GetSysColor(COLOR_3DLIGHT), hi = GetSysColor(COLOR_BTNHIGHLIGHT),
                   shadow = GetSysColor(COLOR_BTNSHADOW), dark = GetSysColor(COLOR_3DDKSHADOW);
    if (edge & BDR_RAISEDOUTER)
        ring(light, dark);
    else if (edge & BDR_SUNKENOUTER)
        ring(shadow, hi);
    if (edge & BDR_RAISEDINNER)
        ring(hi, shadow);
    else if (edge & BDR_SUNKENINNER)
        ring(dark, light);
    if (flags & BF_ADJUST) r = work;
}

}  // namespace ui
