#include "framework/ui/graphics.hpp"

#include <algorithm>

#include "framework/ui/resources.hpp"

namespace ui {

// ---------------------------------------------------------------- font, pen, brush

void TFont::SetName(const std::string& v) {
    if (v != name_) name_ = v, Changed();
}
void TFont::SetHeight(int v) {
    if (v != height_) height_ = v, Changed();
}
int TFont::Size() const {
    return -((int64_t(height_) * 72 + (height_ < 0 ? -kPixelsPerInch / 2 : kPixelsPerInch / 2)) / kPixelsPerInch);
}
void TFont::SetSize(int points) { SetHeight(-int((int64_t(points) * kPixelsPerInch + (points < 0 ? -36 : 36)) / 72)); }
void TFont::SetColor(TColor v) {
    if (v != color_) color_ = v, Changed();
}
void TFont::SetStyle(unsigned v) {
    if (v != style_) style_ = v, Changed();
}
void TFont::SetCharset(int v) {
    if (v != charset_) charset_ = v, Changed();
}
void TFont::SetPitch(TFontPitch v) {
    if (v != pitch_) pitch_ = v, Changed();
}
void TFont::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TFont*>(source)) {
        name_ = f->name_, height_ = f->height_, color_ = f->color_, style_ = f->style_, charset_ = f->charset_;
        pitch_ = f->pitch_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}
LogFont TFont::Log() const {
    return {name_,
            height_,
            bool(style_ & fsBold),
            bool(style_ & fsItalic),
            bool(style_ & fsUnderline),
            bool(style_ & fsStrikeOut)};
}
FontPtr TFont::Handle() const { return CreateFont(Log()); }

void TPen::SetColor(TColor v) {
    if (v != color_) color_ = v, Changed();
}
void TPen::SetWidth(int v) {
    if (v != width_) width_ = v, Changed();
}
void TPen::SetStyle(TPenStyle v) {
    if (v != style_) style_ = v, Changed();
}
void TPen::SetMode(TPenMode v) {
    if (v != mode_) mode_ = v, Changed();
}
void TPen::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TPen*>(source)) {
        color_ = p->color_, width_ = p->width_, style_ = p->style_, mode_ = p->mode_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}
Pen TPen::Handle() const {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_NULL, PS_INSIDEFRAME};
    return {styles[style_], std::max(0, width_), ColorToRGB(color_)};
}

void TBrush::SetColor(TColor v) {
    if (v != color_ || style_ == bsClear) {
        color_ = v;
        if (style_ == bsClear) style_ = bsSolid;
        Changed();
    }
}
void TBrush::SetStyle(TBrushStyle v) {
    if (v != style_) style_ = v, Changed();
}
void TBrush::SetBitmap(TBitmap* v) {
    bitmap_ = v;
    Changed();
}
void TBrush::Assign(TPersistent* source) {
    if (auto* b = dynamic_cast<TBrush*>(source)) {
        color_ = b->color_, style_ = b->style_, bitmap_ = b->bitmap_;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}
Brush TBrush::Handle() const {
    if (bitmap_ && !bitmap_->Empty()) return Brush::Pattern(bitmap_->Handle());
    if (style_ == bsClear) return Brush::Null();
    return Brush::Solid(ColorToRGB(color_));
}

// ---------------------------------------------------------------- canvas

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
    font_->OnChange = [this](TObject*) { font_valid_ = false; };
    pen_->OnChange = [this](TObject*) { pen_valid_ = false; };
    brush_->OnChange = [this](TObject*) { brush_valid_ = false; };
}

TCanvas::~TCanvas() = default;

void TCanvas::SetHandle(DC* dc) {
    dc_ = dc;
    font_valid_ = pen_valid_ = brush_valid_ = false;
}

void TCanvas::Refresh() { font_valid_ = pen_valid_ = brush_valid_ = false; }

void TCanvas::Realise() {
    if (!dc_) return;
    DC& dc = *dc_;
    if (!font_valid_) {
        dc.S().font = font_->Handle();
        SetTextColor(dc, ColorToRGB(font_->Color()));
        font_valid_ = true;
    }
    if (!pen_valid_) {
        dc.S().pen = pen_->Handle();
        static const int modes[] = {R2_COPYPEN, R2_NOT, R2_XORPEN, R2_BLACK, R2_WHITE};
        dc.S().rop2 = modes[pen_->Mode()];
        pen_valid_ = true;
    }
    if (!brush_valid_) {
        dc.S().brush = brush_->Handle();
        if (brush_->Style() == bsSolid) {
            SetBkColor(dc, ColorToRGB(brush_->Color()));
            SetBkMode(dc, OPAQUE);
        } else {
            SetBkColor(dc, ~ColorToRGB(brush_->Color()) & 0xFFFFFF);
            SetBkMode(dc, TRANSPARENT);
        }
        brush_valid_ = true;
    }
}

DC* TCanvas::Handle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
    Realise();
    return dc_;
}

TRect TCanvas::ClipRect() { return Handle()->ClipBox(); }

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::FillRect(const TRect& r) {
    Changing();
    DC& dc = *Handle();
    ui::FillRect(dc, r, dc.S().brush);
    Changed();
}

void TCanvas::FrameRect(const TRect& r) {
    Changing();
    DC& dc = *Handle();
    ui::FrameRect(dc, r, dc.S().brush);
    Changed();
}

void TCanvas::Rectangle(const TRect& r) {
    Changing();
    ui::Rectangle(*Handle(), r);
    Changed();
}

void TCanvas::Ellipse(const TRect& r) {
    Changing();
    ui::Ellipse(*Handle(), r);
    Changed();
}

void TCanvas::MoveTo(int x, int y) { ui::MoveTo(*Handle(), x, y); }

void TCanvas::LineTo(int x, int y) {
    Changing();
    ui::LineTo(*Handle(), x, y);
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    if (points.empty()) return;
    Changing();
    DC& dc = *Handle();
    const TPoint saved = dc.S().pos;
    ui::MoveTo(dc, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) ui::LineTo(dc, points[i].x, points[i].y);
    dc.S().pos = saved;
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    Changing();
    ui::TextOut(*Handle(), x, y, text);
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    Changing();
    DC& dc = *Handle();
    if (dc.S().bk_mode == OPAQUE)
        ExtTextOut(dc, x, y, &r, &r, text);
    else
        ExtTextOut(dc, x, y, &r, nullptr, text);
    Changed();
}

TSize TCanvas::TextExtent(const std::string& text) { return GetTextExtent(*Handle(), text); }

TColor TCanvas::Pixel(int x, int y) {
    COLORREF c = GetPixel(*Handle(), x, y);
    return c == CLR_INVALID ? TColor(-1) : TColor(c);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
    Changing();
    ui::SetPixel(*Handle(), x, y, ColorToRGB(c));
    Changed();
}

void TCanvas::Draw(int x, int y, TGraphic* g) {
    if (!g || g->Empty()) return;
    g->Draw(this, Bounds(x, y, g->Width(), g->Height()));
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
    if (g && !g->Empty()) g->Draw(this, r);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& src) {
    if (!source) return;
    Changing();
    StretchBlt(*Handle(), dest.left, dest.top, dest.Width(), dest.Height(), source->Handle(), src.left, src.top,
               src.Width(), src.Height(), CopyMode);
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
    Changing();
    ui::DrawFocusRect(*Handle(), r);
    Changed();
}

// ---------------------------------------------------------------- bitmaps

void TGraphic::SetTransparent(bool v) {
    if (v != transparent_) transparent_ = v, Changed();
}

class TBitmapCanvas final : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* owner) : owner_(owner) {
        OnChange = [this](TObject*) { owner_->Changed(); };
    }
    // The bitmap's pixels changed identity (resized, converted): select them again.
    void Reselect() {
        if (dc_) dc_->SelectBitmap(owner_->surface_);
    }

protected:
    void CreateHandle() override {
        owner_->EnsureSurface();
        own_ = std::make_unique<DC>(owner_->surface_);
        SetHandle(own_.get());
    }

private:
    TBitmap* owner_;
    std::unique_ptr<DC> own_;
};

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::EnsureSurface() {
    if (!surface_) surface_ = Surface::Create(0, 0, ui::PixelFormat::Color32);
}

TCanvas* TBitmap::Canvas() {
    if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(this);
    return canvas_.get();
}

void TBitmap::SetSize(int w, int h) {
    w = std::max(0, w), h = std::max(0, h);
    if (w == Width() && h == Height() && surface_) return;
    const ui::PixelFormat fmt = Monochrome() ? ui::PixelFormat::Mono : ui::PixelFormat::Color32;
    auto fresh = Surface::Create(w, h, fmt);  // throws for a huge size, leaving the bitmap as it was
    COLORREF fill = 0xFFFFFF;
    if (canvas_) fill = ColorToRGB(canvas_->Brush()->Color());
    fresh->Fill(fill);
    if (surface_ && !surface_->Empty() && !fresh->Empty()) {
        DC src(surface_), dst(fresh);
        BitBlt(dst, 0, 0, std::min(w, Width()), std::min(h, Height()), &src, 0, 0, SRCCOPY);
    }
    surface_ = std::move(fresh);
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Reselect();
    Changed();
}

void TBitmap::SetMonochrome(bool mono) {
    if (mono == Monochrome()) return;
    EnsureSurface();
    auto fresh = Surface::Create(Width(), Height(), mono ? ui::PixelFormat::Mono : ui::PixelFormat::Color32);
    if (!fresh->Empty()) {
        DC src(surface_), dst(fresh);
        if (mono) SetBkColor(src, canvas_ ? ColorToRGB(canvas_->Brush()->Color()) : 0xFFFFFF);
        SetTextColor(dst, 0);
        SetBkColor(dst, 0xFFFFFF);
        BitBlt(dst, 0, 0, Width(), Height(), &src, 0, 0, SRCCOPY);
    }
    surface_ = std::move(fresh);
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Reselect();
    Changed();
}

void TBitmap::SetHandle(SurfacePtr s) {
    surface_ = std::move(s);
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Reselect();
    Changed();
}

TColor TBitmap::TransparentColor() const {
    if (transparent_mode_ == tmFixed && transparent_color_ != clDefault) return transparent_color_;
    if (Empty()) return clDefault;
    if (Monochrome()) return TColor(clWhite | 0x02000000);
    return TColor(surface_->Pixel(0, Height() - 1) | 0x02000000);
}

void TBitmap::SetTransparentColor(TColor c) {
    transparent_color_ = c;
    transparent_mode_ = c == clDefault ? tmAuto : tmFixed;
    Changed();
}

void TBitmap::Assign(TPersistent* source) {
    if (!source) {
        SetHandle(nullptr);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(source)) {
        surface_ = b->surface_ ? b->surface_->Copy() : nullptr;
        transparent_ = b->transparent_;
        transparent_mode_ = b->transparent_mode_;
        transparent_color_ = b->transparent_color_;
        if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Reselect();
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
    if (Empty()) return;
    DC src(surface_);
    DC& dst = *canvas->Handle();
    if (transparent_) {
        // Pixels of the transparent colour leave the destination as it is.
        const COLORREF key = ColorToRGB(TransparentColor() & 0xFFFFFF);
        auto mask = Surface::Create(Width(), Height(), ui::PixelFormat::Mono);
        DC m(mask);
        SetBkColor(src, key);
        BitBlt(m, 0, 0, Width(), Height(), &src, 0, 0, SRCCOPY);
        auto image = surface_->Copy();
        DC img(image);
        SetTextColor(img, 0xFFFFFF);
        SetBkColor(img, 0);
        BitBlt(img, 0, 0, Width(), Height(), &m, 0, 0, SRCAND);  // transparent pixels black
        SetTextColor(dst, 0);
        SetBkColor(dst, 0xFFFFFF);
        StretchBlt(dst, r.left, r.top, r.Width(), r.Height(), &m, 0, 0, Width(), Height(), SRCAND);
        StretchBlt(dst, r.left, r.top, r.Width(), r.Height(), &img, 0, 0, Width(), Height(), SRCPAINT);
        canvas->Refresh();
        return;
    }
    StretchBlt(dst, r.left, r.top, r.Width(), r.Height(), &src, 0, 0, Width(), Height(), canvas->CopyMode);
}

bool TBitmap::LoadFromResourceName(const std::string& name) {
    SurfacePtr s = FindBitmapResource(name);
    if (!s) return false;
    SetHandle(s->Copy());
    return true;
}

bool TBitmap::SaveToPng(const std::string& path) const { return surface_ && surface_->WritePng(path); }

// ---------------------------------------------------------------- icons

void TIcon::SetImage(SurfacePtr image, SurfacePtr mask) {
    image_ = std::move(image);
    mask_ = std::move(mask);
    Changed();
}

void TIcon::Draw(TCanvas* canvas, const TRect& r) {
    if (Empty()) return;
    DrawMasked(*canvas->Handle(), r.left, r.top, std::min(r.Width(), Width()), std::min(r.Height(), Height()), image_,
               mask_, 0, 0);
}

bool TIcon::LoadFromResourceName(const std::string& name) {
    const IconResource* icon = FindIconResource(name);
    if (!icon) return false;
    SetImage(icon->image, icon->mask);
    return true;
}

bool TIcon::LoadFromResourceName(const std::string& name, int width, int height) {
    const IconResource* icon = FindIconResource(name, width, height);
    if (!icon || !icon->image || width < 1 || height < 1) return false;
    if (icon->image->Width() == width && icon->image->Height() == height) {
        SetImage(icon->image, icon->mask);
        return true;
    }
    auto image = Surface::Create(width, height, PixelFormat::Color32);
    auto mask = Surface::Create(width, height, PixelFormat::Mono);
    DC di(image), dm(mask);
    DC si(icon->image);
    StretchBlt(di, 0, 0, width, height, &si, 0, 0, icon->image->Width(), icon->image->Height(), SRCCOPY);
    if (icon->mask) {
        DC sm(icon->mask);
        StretchBlt(dm, 0, 0, width, height, &sm, 0, 0, icon->mask->Width(), icon->mask->Height(), SRCCOPY);
    }
    SetImage(image, mask);
    return true;
}

void TIcon::Assign(TPersistent* source) {
    if (auto* i = dynamic_cast<TIcon*>(source)) {
        SetImage(i->image_, i->mask_);
        return;
    }
    TGraphic::Assign(source);
}

// ---------------------------------------------------------------- image lists

TCustomImageList::TCustomImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(std::clamp(width, 1, 4096)), height_(std::clamp(height, 1, 4096)) {}

void TCustomImageList::SetSize(int w, int h) {
    w = std::clamp(w, 1, 4096), h = std::clamp(h, 1, 4096);
    if (w == width_ && h == height_) return;
    width_ = w, height_ = h;
    images_.clear();
    if (OnChange) OnChange(this);
}

TCustomImageList::Entry TCustomImageList::MakeEntry(const Surface& image, const Surface* mask,
                                                    std::optional<COLORREF> mask_color, int cell) const {
    Entry e{Surface::Create(width_, height_, PixelFormat::Color32),
            Surface::Create(width_, height_, PixelFormat::Mono)};
    const int sx = cell * width_;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            COLORREF c = image.Pixel(sx + x, y);
            if (c == CLR_INVALID) c = 0;
            bool transparent = false;
            if (mask)
                transparent = mask->Pixel(sx + x, y) == 0xFFFFFF;
            else if (mask_color)
                transparent = c == *mask_color;
            e.mask->Row8(y)[x] = transparent ? 0xFF : 0;
            e.image->SetPixel(x, y, transparent ? 0 : c);
        }
    return e;
}

std::vector<TCustomImageList::Entry> TCustomImageList::Cells(TBitmap* image, TBitmap* mask,
                                                             std::optional<COLORREF> mask_color) const {
    std::vector<Entry> out;
    if (!image || image->Empty()) return out;
    const int cells = std::max(1, image->Width() / width_);
    for (int i = 0; i < cells; ++i)
        out.push_back(
            MakeEntry(*image->Handle(), mask && !mask->Empty() ? mask->Handle().get() : nullptr, mask_color, i));
    return out;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    auto cells = Cells(image, mask, std::nullopt);
    if (cells.empty()) return -1;
    const int first = Count();
    for (auto& c : cells) images_.push_back(std::move(c));
    if (OnChange) OnChange(this);
    return first;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor mask_color) {
    auto cells = Cells(image, nullptr, ColorToRGB(mask_color & ~0x02000000));
    if (cells.empty()) return -1;
    const int first = Count();
    for (auto& c : cells) images_.push_back(std::move(c));
    if (OnChange) OnChange(this);
    return first;
}

void TCustomImageList::CheckIndex(int index, const char* what) const {
    if (index < 0 || index >= Count())
        throw EInvalidOperation(std::string("Failed to ") + what + " image " + std::to_string(index) +
                                ": no such image");
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index, "replace");
    auto cells = Cells(image, mask, std::nullopt);
    if (cells.empty()) throw EInvalidOperation("Failed to replace image: the bitmap is empty");
    images_[size_t(index)] = std::move(cells[0]);
    if (OnChange) OnChange(this);
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor mask_color) {
    CheckIndex(index, "replace");
    auto cells = Cells(image, nullptr, ColorToRGB(mask_color & ~0x02000000));
    if (cells.empty()) throw EInvalidOperation("Failed to replace image: the bitmap is empty");
    images_[size_t(index)] = std::move(cells[0]);
    if (OnChange) OnChange(this);
}

void TCustomImageList::Delete(int index) {
    CheckIndex(index, "delete");
    images_.erase(images_.begin() + index);
    if (OnChange) OnChange(this);
}

void TCustomImageList::Clear() {
    images_.clear();
    if (OnChange) OnChange(this);
}

void TCustomImageList::DrawEx(DC& dc, int x, int y, int index, unsigned style) {
    if (index < 0 || index >= Count()) return;
    const Entry& e = images_[size_t(index)];
    if (style & ILD_MASK) {
        DC m(e.mask);
        const COLORREF text = dc.S().text_color, bk = dc.S().bk_color;
        SetTextColor(dc, 0);
        SetBkColor(dc, 0xFFFFFF);
        BitBlt(dc, x, y, width_, height_, &m, 0, 0, SRCCOPY);
        SetTextColor(dc, text);
        SetBkColor(dc, bk);
        return;
    }
    if (BkColor != clNone && !(style & ILD_TRANSPARENT)) {
        FillRect(dc, Bounds(x, y, width_, height_), Brush::Solid(ColorToRGB(BkColor)));
    }
    DrawMasked(dc, x, y, width_, height_, e.image, e.mask, 0, 0);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    if (!canvas || index < 0 || index >= Count()) return;
    DC& dc = *canvas->Handle();
    if (enabled) {
        DrawEx(dc, x, y, index, ILD_NORMAL);
        return;
    }
    // Disabled: the image's shape in the shadow colour.
    const Entry& e = images_[size_t(index)];
    DC m(e.mask);
    const COLORREF text = dc.S().text_color, bk = dc.S().bk_color;
    const Brush brush = dc.S().brush;
    dc.S().brush = Brush::Solid(GetSysColor(COLOR_BTNSHADOW));
    SetTextColor(dc, 0);
    SetBkColor(dc, 0xFFFFFF);
    BitBlt(dc, x, y, width_, height_, &m, 0, 0, 0x00B8074A);
    dc.S().brush = brush;
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
}

bool TCustomImageList::GetBitmap(int index, TBitmap* out) {
    if (!out || index < 0 || index >= Count()) return false;
    out->SetHandle(images_[size_t(index)].image->Copy());
    return true;
}

SurfacePtr TCustomImageList::ImageSurface(int index) const {
    return index >= 0 && index < Count() ? images_[size_t(index)].image : nullptr;
}
SurfacePtr TCustomImageList::MaskSurface(int index) const {
    return index >= 0 && index < Count() ? images_[size_t(index)].mask : nullptr;
}

}  // namespace ui
