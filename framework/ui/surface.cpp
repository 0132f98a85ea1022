#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "framework/ui/gdi.hpp"

namespace ui {

// ---------------------------------------------------------------- surfaces

std::shared_ptr<Surface> Surface::Create(int width, int height, PixelFormat format) {
    std::shared_ptr<Surface> s(new Surface());
    s->format_ = format;
    if (width <= 0 || height <= 0) return s;
    if (width > kMaxSurfaceSide || height > kMaxSurfaceSide || int64_t(width) * height > kMaxSurfacePixels)
        throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels is too large");
    s->width_ = width;
    s->height_ = height;
    s->stride_ =
        cairo_format_stride_for_width(format == PixelFormat::Mono ? CAIRO_FORMAT_A8 : CAIRO_FORMAT_RGB24, width);
    s->storage_.assign(size_t(s->stride_) * size_t(height), 0);
    s->data_ = s->storage_.data();
    return s;
}

Surface::~Surface() {
    if (cairo_) cairo_surface_destroy(cairo_);
}

COLORREF Surface::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    if (Mono()) return Row8(y)[x] ? 0xFFFFFF : 0;
    return FromPixel(Row32(y)[x] & 0xFFFFFF);
}

void Surface::SetPixel(int x, int y, COLORREF color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    if (Mono())
        Row8(y)[x] = MonoWhite(color) ? 0xFF : 0;
    else
        Row32(y)[x] = ToPixel(color);
}

void Surface::Fill(COLORREF color) {
    if (Empty()) return;
    if (Mono()) {
        std::memset(data_, MonoWhite(color) ? 0xFF : 0, storage_.size());
        return;
    }
    const uint32_t p = ToPixel(color);
    for (int y = 0; y < height_; ++y) std::fill_n(Row32(y), width_, p);
}

std::shared_ptr<Surface> Surface::Copy() const {
    auto s = Create(width_, height_, format_);
    if (!Empty()) std::memcpy(s->data_, data_, storage_.size());
    return s;
}

cairo_surface_t* Surface::Cairo() {
    if (!cairo_ && !Empty()) {
        cairo_ = cairo_image_surface_create_for_data(data_, Mono() ? CAIRO_FORMAT_A8 : CAIRO_FORMAT_RGB24, width_,
                                                     height_, stride_);
    }
    if (cairo_) cairo_surface_flush(cairo_);
    return cairo_;
}

void Surface::MarkDirty() {
    if (cairo_) cairo_surface_mark_dirty(cairo_);
}

bool Surface::WritePng(const std::string& path) {
    if (Empty()) return false;
    if (!Mono()) return cairo_surface_write_to_png(Cairo(), path.c_str()) == CAIRO_STATUS_SUCCESS;
    auto colour = Create(width_, height_, PixelFormat::Color32);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) colour->Row32(y)[x] = Row8(y)[x] ? 0xFFFFFF : 0;
    return colour->WritePng(path);
}

bool MonoWhite(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) >= 384; }

// ---------------------------------------------------------------- regions

TRect Region::Bounds() const {
    TRect b;
    for (const auto& r : rects_) b = Union(b, r);
    return b;
}

bool Region::Contains(TPoint p) const {
    return std::any_of(rects_.begin(), rects_.end(), [&](const TRect& r) { return r.Contains(p); });
}

bool Region::Intersects(const TRect& r) const {
    return std::any_of(rects_.begin(), rects_.end(), [&](const TRect& x) { return ui::Intersects(x, r); });
}

void Region::Add(const TRect& r) {
    if (r.Empty()) return;
    Subtract(r);
    rects_.push_back(r);
}

void Region::Add(const Region& r) {
    for (const auto& x : r.rects_) Add(x);
}

void Region::Subtract(const TRect& cut) {
    if (cut.Empty()) return;
    std::vector<TRect> out;
    out.reserve(rects_.size() + 4);
    for (const auto& r : rects_) {
        if (!ui::Intersects(r, cut)) {
            out.push_back(r);
            continue;
        }
        const TRect i = ui::Intersect(r, cut);
        if (r.top < i.top) out.push_back({r.left, r.top, r.right, i.top});
        if (i.bottom < r.bottom) out.push_back({r.left, i.bottom, r.right, r.bottom});
        if (r.left < i.left) out.push_back({r.left, i.top, i.left, i.bottom});
        if (i.right < r.right) out.push_back({i.right, i.top, r.right, i.bottom});
    }
    rects_ = std::move(out);
}

void Region::Subtract(const Region& r) {
    for (const auto& x : r.rects_) Subtract(x);
}

void Region::Intersect(const TRect& clip) {
    std::vector<TRect> out;
    for (const auto& r : rects_) {
        TRect i = ui::Intersect(r, clip);
        if (!i.Empty()) out.push_back(i);
    }
    rects_ = std::move(out);
}

void Region::Intersect(const Region& other) {
    std::vector<TRect> out;
    for (const auto& a : rects_)
        for (const auto& b : other.rects_) {
            TRect i = ui::Intersect(a, b);
            if (!i.Empty()) out.push_back(i);
        }
    rects_ = std::move(out);
}

void Region::Offset(int dx, int dy) {
    for (auto& r : rects_) r = r.Offset(dx, dy);
}

bool operator==(const Region& a, const Region& b) {
    // Same area: each covers the other.
    Region x = a;
    x.Subtract(b);
    if (!x.Empty()) return false;
    Region y = b;
    y.Subtract(a);
    return y.Empty();
}

}  // namespace ui
