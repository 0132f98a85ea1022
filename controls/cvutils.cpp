#include "controls/cvutils.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "controls/cvconst.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"
#include "platform/msgbox.hpp"

namespace controls {

using namespace ui;

namespace {

// Every control uses this unit, so the library's cursors and strings are in
// place from start-up on.
struct AtStartUp {
    AtStartUp() { RegisterControlResources(); }
} at_start_up;

}  // namespace

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    int64_t p = int64_t(a) * b;
    const bool negative = (p < 0) != (c < 0);
    const int64_t n = p < 0 ? -p : p, d = c < 0 ? -int64_t(c) : c;
    const int64_t q = (n + d / 2) / d;
    return int(negative ? -q : q);
}

void CopyBitmapCell(TGraphic* source, TBitmap* dest, int cols, int rows, int index) {
    if (!source || !dest) return;
    cols = std::max(1, cols), rows = std::max(1, rows), index = std::max(0, index);
    const int w = source->Width() / cols, h = source->Height() / rows;
    dest->SetSize(w, h);
    const TRect cell = Bounds((index % cols) * w, (index / cols) * h, w, h);
    if (auto* bmp = dynamic_cast<TBitmap*>(source)) {
        dest->Canvas()->CopyRect({0, 0, w, h}, bmp->Canvas(), cell);
        dest->SetTransparentColor(bmp->TransparentColor());
    } else {
        dest->Canvas()->Brush()->SetColor(clSilver);
        dest->Canvas()->FillRect({0, 0, w, h});
        dest->Canvas()->Draw(-cell.left, -cell.top, source);
    }
    dest->SetTransparent(source->Transparent());
}

void PaintParentBackground(TControl* control, TCanvas* dest) {
    if (!control || !dest) return;
    TWinControl* parent = control->Parent();
    if (!parent) return;
    DC& dc = *dest->Handle();
    parent->ControlState |= csPaintCopy;
    int saved = dc.Save();
    OffsetViewportOrg(dc, -control->Left(), -control->Top());
    dc.IntersectClipRect(parent->ClientRect());
    parent->Perform(WM_ERASEBKGND, WPARAM(&dc), 0);
    parent->PaintWindow(&dc);
    dc.Restore(saved);
    const TRect mine = control->BoundsRect();
    for (TControl* c : parent->Controls()) {
        if (c == control) break;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible() || !Intersects(c->BoundsRect(), mine)) continue;
        c->ControlState |= csPaintCopy;
        saved = dc.Save();
        OffsetViewportOrg(dc, c->Left() - control->Left(), c->Top() - control->Top());
        dc.IntersectClipRect({0, 0, c->Width(), c->Height()});
        c->Perform(WM_PAINT, WPARAM(&dc), 0);
        dc.Restore(saved);
        c->ControlState &= ~csPaintCopy;
    }
    parent->ControlState &= ~csPaintCopy;
    dest->Refresh();
}

void MaskedStretchBlt(DC& dst, int x, int y, int w, int h, const DC& src, int sx, int sy, int sw, int sh, int,
                      COLORREF transparent) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || !dst.Target()) return;
    const PixelFormat fmt = dst.Target()->Format();
    DC mask(Surface::Create(sw, sh, PixelFormat::Mono));
    DC inverse(Surface::Create(sw, sh, PixelFormat::Mono));
    DC work(Surface::Create(w, h, fmt));
    DC copy(Surface::Create(sw, sh, fmt));
    BitBlt(copy, 0, 0, sw, sh, &src, sx, sy, SRCCOPY);
    const COLORREF saved_bk = SetBkColor(copy, PaletteRelativeColor(TColor(transparent)));
    BitBlt(mask, 0, 0, sw, sh, &copy, 0, 0, SRCCOPY);
    SetBkColor(copy, saved_bk);
    BitBlt(inverse, 0, 0, sw, sh, &mask, 0, 0, NOTSRCCOPY);
    BitBlt(work, 0, 0, w, h, &dst, x, y, SRCCOPY);
    StretchBlt(work, 0, 0, w, h, &mask, 0, 0, sw, sh, SRCAND);
    BitBlt(copy, 0, 0, sw, sh, &inverse, 0, 0, SRCAND);
    StretchBlt(work, 0, 0, w, h, &copy, 0, 0, sw, sh, SRCPAINT);
    BitBlt(dst, x, y, w, h, &work, 0, 0, SRCCOPY);
}

void DrawBitmapStretchedTransparent(TCanvas* dest, TBitmap* bitmap, TColor transparent, int dx, int dy, int dw, int dh,
                                    int sx, int sy, int sw, int sh) {
    if (!dest || !bitmap || bitmap->Empty()) return;
    if (dw < 1) dw = bitmap->Width();
    if (dh < 1) dh = bitmap->Height();
    if (sw < 1 || sh < 1) sx = 0, sy = 0, sw = bitmap->Width(), sh = bitmap->Height();
    DC& dst = *dest->Handle();
    if (!bitmap->Monochrome()) SetStretchBltMode(dst, STRETCH_DELETESCANS);
    TCanvas* bc = bitmap->Canvas();
    bc->Lock();
    TNotifyEvent saved = std::move(bc->OnChange);
    bc->OnChange = nullptr;
    const DC& src = *bc->Handle();
    if (transparent == clNone) {
        StretchBlt(dst, dx, dy, dw, dh, &src, sx, sy, sw, sh, dest->CopyMode);
    } else {
        if (transparent == clDefault) transparent = TColor(bitmap->Handle()->Pixel(0, bitmap->Height() - 1));
        const COLORREF key = bitmap->Monochrome() ? 0xFFFFFF : ColorToRGB(transparent) & 0xFFFFFF;
        MaskedStretchBlt(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, bitmap->Palette(), key);
    }
    bc->OnChange = std::move(saved);
    bc->Unlock();
}

void DrawBitmapRectTransparent(TCanvas* dest, int x, int y, const TRect& source, TBitmap* bitmap, TColor transparent) {
    DrawBitmapStretchedTransparent(dest, bitmap, transparent, x, y, RectWidth(source), RectHeight(source), source.left,
                                   source.top, RectWidth(source), RectHeight(source));
}

namespace {

constexpr uint32_t kEmbossRop = 0x00E20746;  // where the mask is white the brush, elsewhere the destination

}  // namespace

std::unique_ptr<TBitmap> CreateDisabledImage(TBitmap* bitmap, TColor outline, TColor back, TColor highlight,
                                             TColor shadow, bool draw_highlight) {
    if (!bitmap) return nullptr;
    const int w = bitmap->Width(), h = bitmap->Height();
    auto mono = std::make_unique<TBitmap>();
    mono->Assign(bitmap);
    if (mono->Monochrome()) {
        // The black pixels are the shape: they become the white (drawn) ones.
        mono->Canvas()->Font()->SetColor(clWhite);
        auto inverted = Surface::Create(w, h, PixelFormat::Mono);
        for (int yy = 0; yy < h; ++yy)
            for (int xx = 0; xx < w; ++xx) inverted->Row8(yy)[xx] = bitmap->Handle()->Row8(yy)[xx] ? 0 : 0xFF;
        mono->SetHandle(inverted);
    } else {
        mono->Canvas()->Brush()->SetColor(outline);
        mono->SetMonochrome(true);
    }
    auto result = std::make_unique<TBitmap>();
    result->SetSize(w, h);
    TCanvas* c = result->Canvas();
    c->Brush()->SetColor(back);
    c->FillRect({0, 0, w, h});
    auto emboss = [&](TColor color, int offset) {
        c->Brush()->SetColor(color);
        DC& dc = *c->Handle();
        SetTextColor(dc, 0);
        SetBkColor(dc, 0xFFFFFF);
        BitBlt(dc, offset, offset, w, h, mono->Canvas()->Handle(), 0, 0, kEmbossRop);
    };
    if (draw_highlight) emboss(highlight, 1);
    emboss(shadow, 0);
    c->Refresh();
    return result;
}

std::unique_ptr<TBitmap> CreateDisabledImageDefault(TBitmap* bitmap, TColor outline) {
    return CreateDisabledImage(bitmap, outline, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void DrawDisabledImageListItem(TCustomImageList* images, TCanvas* canvas, int x, int y, int index, TColor highlight,
                               TColor shadow, bool draw_highlight) {
    if (!images || !canvas || index < 0 || index >= images->Count()) return;
    const int w = images->Width(), h = images->Height();
    auto work = Surface::Create(w, h, PixelFormat::Mono);
    work->Fill(0xFFFFFF);
    DC wdc(work);
    images->DrawEx(wdc, 0, 0, index, ILD_MASK);
    const TColor saved = canvas->Brush()->Color();
    auto emboss = [&](TColor color, int offset) {
        canvas->Brush()->SetColor(color);
        DC& dc = *canvas->Handle();
        SetTextColor(dc, 0xFFFFFF);
        SetBkColor(dc, 0);
        BitBlt(dc, x + offset, y + offset, w, h, &wdc, 0, 0, kEmbossRop);
    };
    if (draw_highlight) emboss(highlight, 1);
    emboss(shadow, 0);
    canvas->Brush()->SetColor(saved);
    canvas->Refresh();
}

std::unique_ptr<TBitmap> CreateCheckerPatternBitmap(TColor first, TColor second) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(8, 8);
    b->Canvas()->Brush()->SetColor(first);
    b->Canvas()->FillRect({0, 0, 8, 8});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (x % 2 == y % 2) b->Canvas()->SetPixel(x, y, second);
    return b;
}

void GradientFillRect(TCanvas* canvas, const TRect& rect, TColor start, TColor end, TGradientDirection direction,
                      uint8_t band_count) {
    if (!canvas || rect.Empty()) return;
    DC& dc = *canvas->Handle();
    if (band_count < 2) {
        FillRect(dc, rect, Brush::Solid(ColorToRGB(start)));
        return;
    }
    const COLORREF s = ColorToRGB(start), e = ColorToRGB(end);
    const bool forward = direction == gdTopToBottom || direction == gdLeftToRight;
    const bool vertical = direction == gdTopToBottom || direction == gdBottomToTop;
    const COLORREF base = forward ? s : e, other = forward ? e : s;
    const int dr = GetRValue(other) - GetRValue(base), dg = GetGValue(other) - GetGValue(base),
              db = GetBValue(other) - GetBValue(base);
    const int extent = vertical ? rect.Height() : rect.Width();
    const int bands = std::max(2, std::min<int>(band_count, extent));
    const int size = extent / bands;
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetMode(pmCopy);
    if (size > 0) {
        for (int i = 0; i < bands; ++i) {
            const COLORREF c =
                RGB(GetRValue(base) + MulDiv(i, dr, bands - 1), GetGValue(base) + MulDiv(i, dg, bands - 1),
                    GetBValue(base) + MulDiv(i, db, bands - 1));
            const TRect band = vertical
                ? TRect{rect.left, rect.top + i * size, rect.right, rect.top + (i + 1) * size}
                : TRect{rect.left + i * size, rect.top, rect.left + (i + 1) * size, rect.bottom};
            FillRect(dc, band, Brush::Solid(c));
        }
    }
    const int rest = extent % bands;
    if (rest > 0) {
        const TRect strip = vertical ? TRect{rect.left, rect.bottom - rest, rect.right, rect.bottom}
                                     : TRect{rect.right - rest, rect.top, rect.right, rect.bottom};
        FillRect(dc, strip, Brush::Solid(forward ? e : s));
    }
}

std::string ShortenTextToWidth(const std::string& text, TCanvas* canvas, int max_width) {
    std::string result = text;
    if (!canvas) return result;
    const int len = int(text.size());
    for (int counter = 1; counter <= len && canvas->TextWidth(result) > max_width;) {
        ++counter;
        result = text.substr(0, size_t(std::max(0, len - counter))) + "...";
    }
    return result;
}

void NotImplemented() {
    Screen().SetCursor(crDefault);
    std::string text = LoadStr(SNotImplemented);
    if (text.empty()) text = "Function not yet implemented";
    platform::ShowMessageBox(text, "Information", platform::kMbOk | platform::kMbIconInformation);
    throw EAbort();
}

COLORREF PaletteRelativeColor(TColor color) { return ColorToRGB(color) | 0x02000000; }

void DiscardPendingMessage(HWND hwnd, UINT msg) {
    MSG m;
    if (PeekMessage(m, hwnd, msg, msg, PM_REMOVE) && m.message == WM_QUIT) PostQuitMessage(int(m.wParam));
}

void* AllocZeroedBlock(std::ptrdiff_t size) {
    if (size < 1) return nullptr;
    return std::calloc(size_t(size), 1);
}

void FreeBlock(void*& block) {
    if (!block) return;
    std::free(block);
    block = nullptr;
}

bool BlocksEqual(const void* a, const void* b, std::ptrdiff_t count) {
    if (count <= 0 || a == b) return true;
    if (!a || !b) return false;
    return std::memcmp(a, b, size_t(count)) == 0;
}

void* OffsetPointer(void* p, std::ptrdiff_t offset) { return static_cast<char*>(p) + offset; }

void CopyBlock(const void* source, void* dest, std::ptrdiff_t count) {
    if (count > 0 && source && dest) std::memmove(dest, source, size_t(count));
}

bool AppWindowIsActive() { return ApplicationWindowActive(); }

TControl* ControlAtCursor() {
    const TPoint at = GetCursorPos();
    const HWND h = WindowFromPoint(at);
    TWinControl* w = TWinControl::FromHandle(h);
    if (!w) return nullptr;
    if (TControl* c = w->ControlAtPos(ScreenToClient(h, at), false)) return c;
    return w;
}

}  // namespace controls
