// The owner-drawn menus' measuring and painting: item sizes, the item with
// its box, mark or image, caption and shortcut, and the banner with its
// gradient and its caption running upward.
#include <algorithm>

#include "controls/cvutils.hpp"
#include "controls/menus97.hpp"

namespace controls {

using namespace ui;

namespace {

std::string CaptionOf(const TMenuItem* item) { return item->Caption().empty() ? " " : item->Caption(); }

// The height of the drop-down holding an item (its items' extent), for the
// lines of a bar break when there is no banner to take them from.
int MenuHeight(HMENU menu) {
    int bottom = 0, top = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        TRect r;
        if (!GetMenuItemRect(0, menu, UINT(i), r)) continue;
        if (i == 0 || r.top < top) top = r.top;
        bottom = std::max(bottom, r.bottom);
    }
    return bottom - top;
}

// Writes `text` with its start at (x, y) running upward, as a font turned a
// quarter to the left writes it: the text's top faces left.
void DrawUpward(TCanvas* canvas, int x, int y, const std::string& text, TFont* font, TSize size) {
    if (size.cx <= 0 || size.cy <= 0) return;
    auto flat = Surface::Create(size.cx, size.cy, PixelFormat::Color32);
    flat->Fill(0xFFFFFF);
    DC dc(flat);
    dc.S().font = font->Handle();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0);
    TRect r{0, 0, size.cx, size.cy};
    DrawText(dc, text, r, DT_SINGLELINE | DT_NOPREFIX);
    const COLORREF color = ColorToRGB(font->Color());
    DC& target = *canvas->Handle();
    for (int v = 0; v < size.cy; ++v)
        for (int u = 0; u < size.cx; ++u)
            if (flat->Pixel(u, v) != 0xFFFFFF) SetPixel(target, x + v, y - u, color);
}

}  // namespace

// ---------------------------------------------------------------- measuring

TSize TCustomMenus97::TextSize(const std::string& text) {
    // The text as it stands, ampersands included: callers take a marking one off.
    TRect r{0, 0, 0, 0};
    DrawText(*canvas_->Handle(), text, r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
    return {r.Width(), r.Height() + 2};
}

int TCustomMenus97::ComputeItemHeight(TMenuItem* item) {
    const int base = images_ ? images_->Height() + 4 : check_height_;
    return std::max(base, TextSize(CaptionOf(item)).cy + 4);
}

int TCustomMenus97::ComputeItemWidth(TMenuItem* item) {
    const std::string caption = CaptionOf(item);
    int width = 0;
    if (item->Tag == kTopLevelTag || item->Tag >= kTopLevelImageTag) {
        width = TextSize(caption).cx + 5;
        if (item->Tag >= kTopLevelImageTag && images_) width += images_->Width() + 2;
    } else {
        TMenuItem* parent = item->Parent();
        std::vector<TMenuItem*> siblings;
        if (parent) {
            for (int i = 0; i < parent->Count(); ++i)
                if (parent->Items(i)->Visible()) siblings.push_back(parent->Items(i));
        } else {
            siblings.push_back(item);
        }
        int max_text = 0, max_text_with_shortcut = 0, max_shortcut = 0;
        for (TMenuItem* s : siblings) {
            int w = TextSize(CaptionOf(s)).cx;
            if (s->Count() > 0)
                w += check_width_;
            else if (parent && parent->Count() < 2)
                w += check_width_ / 2;
            const std::string shortcut = ShortCutToText(s->ShortCut());
            max_text = std::max(max_text, w);
            if (!shortcut.empty()) {
                max_text_with_shortcut = std::max(max_text_with_shortcut, w);
                max_shortcut = std::max(max_shortcut, TextSize(shortcut).cx);
            }
        }
        if (max_shortcut == 0 || max_text_with_shortcut + max_shortcut + check_width_ <= max_text)
            width = check_width_ + max_text;
        else
            width = max_text_with_shortcut + max_shortcut + 2 * check_width_;
    }
    if (caption.find('&') != std::string::npos) width -= TextSize("&").cx;
    if (Banner && IsBannerItem(item)) width += BannerWidth;
    return width;
}

// ---------------------------------------------------------------- the banner

void TCustomMenus97::MakeBannerBitmap() {
    const int w = banner_rect_.Width(), h = banner_rect_.Height();
    if (w <= 0 || h <= 0) return;
    banner_bitmap_ = std::make_unique<TBitmap>();
    banner_bitmap_->SetSize(w, h);
    TCanvas* c = banner_bitmap_->Canvas();
    const TRect area{0, 0, w, h};
    if (BannerColor != BannerEndColor) {
        // Bands from the start colour to the end colour, the last one exactly the end colour.
        const COLORREF from = ColorToRGB(BannerColor), to = ColorToRGB(BannerEndColor);
        const int n = BannerNumColors;
        for (int i = 0; i < n; ++i) {
            auto channel = [&](int a, int b) { return n >= 2 ? a + MulDiv(i, b - a, n - 1) : a; };
            const TColor band =
                TColor(RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
                           channel(GetBValue(from), GetBValue(to))));
            c->Brush()->SetColor(band);
            c->FillRect({0, MulDiv(i, h, n), w, MulDiv(i + 1, h, n)});
        }
    } else {
        c->Brush()->SetColor(BannerColor);
        c->FillRect(area);
    }
    c->Font()->Assign(banner_font_.get());
    TRect text = area;
    if (BannerImage >= 0) text.bottom -= w + 4;
    const TSize size{c->TextWidth(BannerText), c->TextHeight(BannerText.empty() ? " " : BannerText) + 2};
    const int x = text.left + (text.Width() - size.cy) / 2;
    int y = text.bottom - 1 - (text.Height() - size.cx) / 2;
    if (BannerJustification == bjTop) y = text.top + size.cx + 1;
    if (BannerJustification == bjBottom) y = text.bottom - 1;
    DrawUpward(c, x, y, BannerText, banner_font_.get(), size);
    // The foot kept free shows the image, centred.
    if (BannerImage >= 0 && images_)
        images_->Draw(c, (w - images_->Width()) / 2, text.bottom + (w + 4 - images_->Height()) / 2, BannerImage);
}

void TCustomMenus97::DrawBanner(TRect& rect) {
    if (rect.left == banner_rect_.left) rect.left += BannerWidth + 2;
    if (!banner_bitmap_) MakeBannerBitmap();
    if (banner_bitmap_) canvas_->Draw(banner_rect_.left, banner_rect_.top, banner_bitmap_.get());
}

// ---------------------------------------------------------------- items

void TCustomMenus97::DrawDisabledImage(int index, int left, int top) {
    if (Menus97Unit().windows_nt) {
        DrawDisabledImageListItem(images_, canvas_.get(), left, top, index, clBtnHighlight, clBtnShadow, true);
        SetBkMode(*canvas_->Handle(), TRANSPARENT);
    } else {
        images_->Draw(canvas_.get(), left + 1, top + 1, index, false);
    }
}

void TCustomMenus97::DrawMenuItemBody(TMenuItem* item, TRect rect, unsigned state) {
    TCanvas* c = canvas_.get();
    const std::string caption = CaptionOf(item);
    const bool selected = state & ODS_SELECTED;
    const bool enabled = item->Enabled();
    const bool dash = caption[0] == '-';
    const bool has_image = item->Tag >= 0 && images_;
    // The background first, so that a dash item's lines show on it.
    if (enabled) {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(selected && !dash ? HiliteBar : brush_->Color());
        c->FillRect(rect);
    }
    auto line = [&](TRect r, TColor color) {
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(color);
        c->FillRect(r);
    };
    if (dash) {
        const int mid = rect.top + rect.Height() / 2;
        line({rect.left + 1, mid, rect.right - 1, mid + 1}, clBtnShadow);
        line({rect.left + 1, mid + 1, rect.right - 1, mid + 2}, clBtnHighlight);
    }
    if (item->Break() == mbBarBreak && item->Parent()) {
        const int height = banner_rect_.Empty() ? MenuHeight(item->Parent()->Handle()) : banner_rect_.Height();
        const int top = banner_rect_.Empty() ? 0 : banner_rect_.top;
        line({rect.left - 3, top, rect.left - 2, top + height}, clBtnShadow);
        line({rect.left - 2, top, rect.left - 1, top + height}, clBtnHighlight);
    }
    if (enabled) c->Brush()->SetColor(selected && !dash ? HiliteBar : brush_->Color());
    // The box of the mark or image.
    TBitmap* mark = item->RadioItem() ? radio_bitmap_.get() : check_bitmap_.get();
    const int box_width = (has_image ? images_->Width() : mark->Width()) + 4;
    const TRect box{rect.left, rect.top, rect.left + box_width, rect.bottom};
    auto frame = [&](bool raised) {
        if (look_ != mlOffice97Look) return;
        TRect b{box.left, box.top, box.right, box.bottom + 1};
        c->FillRect(b);
        Frame3D(*c->Handle(), b, ColorToRGB(raised ? clBtnHighlight : clBtnShadow),
                ColorToRGB(raised ? clBtnShadow : clBtnHighlight), 1);
    };
    if (!enabled) {
        if (has_image) DrawDisabledImage(int(item->Tag), rect.left, rect.top);
    } else {
        if (selected && (item->Checked() || has_image)) frame(true);
        if (!selected && item->Checked()) frame(false);
        if (has_image)
            images_->Draw(c, box.left + 2, box.top + 2, int(item->Tag));
        else if (item->Checked())
            DrawBitmapRectTransparent(c, box.left + 1, box.top + 1, {0, 0, mark->Width(), mark->Height()}, mark,
                                      clWhite);
    }
    // The caption and the shortcut.
    c->Font()->Assign(selected ? hilite_font_.get() : font_.get());
    if (item->Default()) c->Font()->SetStyle(c->Font()->Style() | fsBold);
    TRect text = rect;
    text.left += (images_ ? images_->Width() : check_bitmap_->Width()) + 7;
    const std::string shown = dash ? caption.substr(1) : caption;
    const std::string shortcut = ShortCutToText(item->ShortCut());
    c->Brush()->SetStyle(bsClear);
    DC& dc = *c->Handle();
    SetBkMode(dc, TRANSPARENT);
    const unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    auto write = [&](int offset, COLORREF color) {
        SetTextColor(dc, color);
        TRect r = text.Offset(offset, offset);
        DrawText(dc, shown, r, flags);
        if (!shortcut.empty()) {
            r.right -= check_width_;
            DrawText(dc, shortcut, r, flags | DT_RIGHT);
        }
    };
    if (enabled) {
        write(0, ColorToRGB(c->Font()->Color()));
    } else {
        write(1, ColorToRGB(clBtnHighlight));
        write(0, ColorToRGB(clBtnShadow));
    }
}

}  // namespace controls
