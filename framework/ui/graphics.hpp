#pragma once
// Fonts, pens, brushes, canvases, bitmaps, icons and image lists of the class
// library, over the device contexts of gdi.hpp.
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/classes.hpp"
#include "framework/ui/gdi.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

constexpr int kPixelsPerInch = 96;

class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    void Changed() {
        if (OnChange) OnChange(this);
    }
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
public:
    std::string ClassName() const override { return "TFont"; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v);
    int Height() const { return height_; }
    void SetHeight(int v);
    int Size() const;  // points at kPixelsPerInch
    void SetSize(int points);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    unsigned Style() const { return style_; }
    void SetStyle(unsigned v);
    int Charset() const { return charset_; }
    void SetCharset(int v);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch v);
    void Assign(TPersistent* source) override;
    FontPtr Handle() const;
    LogFont Log() const;

private:
    std::string name_ = "MS Sans Serif";
    int height_ = -11;
    TColor color_ = clWindowText;
    unsigned style_ = 0;
    int charset_ = 1;
    TFontPitch pitch_ = fpDefault;
};

enum TPenStyle { psSolid, psDash, psDot, psClear, psInsideFrame };
enum TPenMode { pmCopy, pmNot, pmXor, pmBlack, pmWhite };

class TPen : public TGraphicsObject {
public:
    std::string ClassName() const override { return "TPen"; }
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    int Width() const { return width_; }
    void SetWidth(int v);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode v);
    void Assign(TPersistent* source) override;
    Pen Handle() const;

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

class TBitmap;
enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
public:
    std::string ClassName() const override { return "TBrush"; }
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle v);
    // A pattern brush; the bitmap stays the caller's.
    TBitmap* Bitmap() const { return bitmap_; }
    void SetBitmap(TBitmap* v);
    void Assign(TPersistent* source) override;
    Brush Handle() const;

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
    TBitmap* bitmap_ = nullptr;
};

class TGraphic;

// A canvas realises its font, pen and brush into its device context when the
// handle is asked for, as the framework does: the font sets the text colour,
// a solid brush the background colour and opaque mode, a clear brush the
// transparent mode. Raw changes made through Handle() last until the font or
// brush changes again.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    std::string ClassName() const override { return "TCanvas"; }

    TFont* Font() const { return font_.get(); }
    TPen* Pen() const { return pen_.get(); }
    TBrush* Brush() const { return brush_.get(); }
    void SetFont(TFont* f) { font_->Assign(f); }
    void SetPen(TPen* p) { pen_->Assign(p); }
    void SetBrush(TBrush* b) { brush_->Assign(b); }
    uint32_t CopyMode = SRCCOPY;

    DC* Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    TRect ClipRect();

    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void Rectangle(const TRect& r);
    void Rectangle(int l, int t, int r, int b) { Rectangle(TRect{l, t, r, b}); }
    void Ellipse(const TRect& r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& points);
    void TextOut(int x, int y, const std::string& text);
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    TSize TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor c);
    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& r, TGraphic* graphic);
    void CopyRect(const TRect& dest, TCanvas* source, const TRect& src);
    void DrawFocusRect(const TRect& r);

    void Lock() { ++lock_count_; }
    void Unlock() { --lock_count_; }
    int LockCount() const { return lock_count_; }
    TNotifyEvent OnChange, OnChanging;
    void Refresh();  // forget what was realised

protected:
    virtual void CreateHandle() {}
    void SetHandle(DC* dc);  // not owned
    void Changing();
    void Changed();
    DC* dc_ = nullptr;

private:
    void Realise();
    std::unique_ptr<TFont> font_;
    std::unique_ptr<TPen> pen_;
    std::unique_ptr<TBrush> brush_;
    bool font_valid_ = false, pen_valid_ = false, brush_valid_ = false;
    int lock_count_ = 0;
};

// ---------------------------------------------------------------- graphics

class TGraphic : public TPersistent {
public:
    std::string ClassName() const override { return "TGraphic"; }
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool v);
    TNotifyEvent OnChange;

protected:
    void Changed() {
        if (OnChange) OnChange(this);
    }
    bool transparent_ = false;
};

enum TTransparentMode { tmAuto, tmFixed };
enum TPixelFormat { pfDevice, pf1bit, pf24bit, pf32bit };

class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    std::string ClassName() const override { return "TBitmap"; }

    int Width() const override { return surface_ ? surface_->Width() : 0; }
    int Height() const override { return surface_ ? surface_->Height() : 0; }
    bool Empty() const override { return Width() == 0 || Height() == 0; }
    // The size; what was drawn stays at the top left, new area takes the brush.
    void SetSize(int w, int h);
    void SetWidth(int w) { SetSize(w, Height()); }
    void SetHeight(int h) { SetSize(Width(), h); }
    bool Monochrome() const { return surface_ && surface_->Mono(); }
    // To monochrome: pixels of the canvas's brush colour turn white, all others
    // black. From monochrome: black and white pixels stay black and white.
    void SetMonochrome(bool mono);
    TPixelFormat PixelFormat() const { return Monochrome() ? pf1bit : pf32bit; }
    void SetPixelFormat(TPixelFormat f) { SetMonochrome(f == pf1bit); }
    TCanvas* Canvas();
    SurfacePtr Handle() const { return surface_; }
    // Adopts pixels (copied when `copy`); nullptr empties the bitmap.
    void SetHandle(SurfacePtr s);
    void Dormant() {}
    void FreeImage() {}
    int Palette() const { return 0; }

    // tmAuto: the bottom-left pixel (white for a monochrome bitmap), with the
    // 0x02000000 bit the framework adds; tmFixed: the colour set.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor c);
    TTransparentMode TransparentMode() const { return transparent_mode_; }
    void SetTransparentMode(TTransparentMode m) { transparent_mode_ = m; }

    void Assign(TPersistent* source) override;
    void Draw(TCanvas* canvas, const TRect& rect) override;
    // Named bitmaps built into the program; false when there is none.
    bool LoadFromResourceName(const std::string& name);
    bool SaveToPng(const std::string& path) const;
    void Modified() { Changed(); }

private:
    friend class TBitmapCanvas;
    void EnsureSurface();
    SurfacePtr surface_;
    std::unique_ptr<TCanvas> canvas_;
    TTransparentMode transparent_mode_ = tmAuto;
    TColor transparent_color_ = clDefault;
};

class TIcon : public TGraphic {
public:
    std::string ClassName() const override { return "TIcon"; }
    int Width() const override { return image_ ? image_->Width() : 0; }
    int Height() const override { return image_ ? image_->Height() : 0; }
    bool Empty() const override { return !image_ || image_->Empty(); }
    void Draw(TCanvas* canvas, const TRect& rect) override;
    // Colour image and mask (white where the icon is transparent).
    void SetImage(SurfacePtr image, SurfacePtr mask);
    SurfacePtr Image() const { return image_; }
    SurfacePtr Mask() const { return mask_; }
    bool LoadFromResourceName(const std::string& name);
    // The size asked for, drawn from the nearest size there is when the
    // resource lacks it.
    bool LoadFromResourceName(const std::string& name, int width, int height);
    void Assign(TPersistent* source) override;

private:
    SurfacePtr image_, mask_;
};

// ---------------------------------------------------------------- image lists

enum ImageListDraw : unsigned { ILD_NORMAL = 0, ILD_TRANSPARENT = 1, ILD_MASK = 0x10 };

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner, int width = 16, int height = 16);
    std::string ClassName() const override { return "TCustomImageList"; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changing the size empties the list.
    void SetSize(int w, int h);
    int Count() const { return int(images_.size()); }
    TColor BkColor = clNone;

    // Images wider than a cell are cut into cells. Returns the index of the first.
    int Add(TBitmap* image, TBitmap* mask);
    int AddMasked(TBitmap* image, TColor mask_color);
    void Replace(int index, TBitmap* image, TBitmap* mask);
    void ReplaceMasked(int index, TBitmap* image, TColor mask_color);
    void Delete(int index);
    void Clear();
    // Bad indexes draw nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
    void DrawEx(DC& dc, int x, int y, int index, unsigned style);
    bool GetBitmap(int index, TBitmap* out);
    SurfacePtr ImageSurface(int index) const;
    SurfacePtr MaskSurface(int index) const;
    TNotifyEvent OnChange;

private:
    struct Entry {
        SurfacePtr image, mask;  // mask white where transparent
    };
    Entry MakeEntry(const Surface& image, const Surface* mask, std::optional<COLORREF> mask_color, int cell) const;
    std::vector<Entry> Cells(TBitmap* image, TBitmap* mask, std::optional<COLORREF> mask_color) const;
    void CheckIndex(int index, const char* what) const;
    int width_, height_;
    std::vector<Entry> images_;
};
using TImageList = TCustomImageList;

}  // namespace ui
