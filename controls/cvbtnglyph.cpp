#include "controls/cvbtnglyph.hpp"

#include <algorithm>

#include "controls/cvutils.hpp"
#include "controls/detail/state.hpp"

namespace controls {

using namespace ui;

// ---------------------------------------------------------------- glyph lists

TGlyphList::TGlyphList(int width, int height) : TImageList(nullptr, width, height) {}

int TGlyphList::AllocateIndex() {
    auto free = std::find(used_.begin(), used_.end(), false);
    const int slot = int(free - used_.begin());
    if (free == used_.end()) {
        TBitmap blank;
        blank.SetSize(Width(), Height());
        TImageList::Add(&blank, nullptr);
        used_.push_back(false);
    }
    used_[size_t(slot)] = true;
    return slot;
}

int TGlyphList::AddMasked(TBitmap* image, TColor mask_color) {
    const int slot = AllocateIndex();
    ReplaceMasked(slot, image, mask_color);
    ++count_;
    return slot;
}

int TGlyphList::AddWithMask(TBitmap* image, TBitmap* mask) {
    const int slot = AllocateIndex();
    Replace(slot, image, mask);
    ++count_;
    return slot;
}

void TGlyphList::DeleteSlot(int index) {
    if (index < 0 || index >= int(used_.size()) || !used_[size_t(index)]) return;
    used_[size_t(index)] = false;
    --count_;
}

TGlyphCache::TGlyphCache() = default;
TGlyphCache::~TGlyphCache() = default;

TGlyphList* TGlyphCache::GetList(int width, int height) {
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
    lists_.push_back(Make<TGlyphList>(width, height));
    return lists_.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
    if (!list || list->UsedCount() != 0) return;
    auto it = std::find_if(lists_.begin(), lists_.end(), [list](const auto& l) { return l.get() == list; });
    if (it != lists_.end()) lists_.erase(it);
}

GlyphUnitState& GlyphUnit() { return Controls().glyphs; }

namespace {

std::shared_ptr<TGlyphCache>& Cache() {
    auto& cache = GlyphUnit().cache;
    if (!cache) cache = std::make_shared<TGlyphCache>();
    return cache;
}

constexpr int kMarkWidth = 9;  // room a drop-down mark takes beside a caption

// A downward triangle of single pixels with (x, y) its left end and row.
void DrawMark(DC& dc, int x, int y, COLORREF color) {
    for (int i = 0; i <= 6; ++i) SetPixel(dc, x + i, y - 1, color);
    for (int i = 1; i <= 5; ++i) SetPixel(dc, x + i, y, color);
    for (int i = 2; i <= 4; ++i) SetPixel(dc, x + i, y + 1, color);
    SetPixel(dc, x + 3, y + 2, color);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

}  // namespace

COLORREF GreyOf(COLORREF color, TColor transparent) {
    if (color == ColorToRGB(transparent & ~0x02000000) || color == ColorToRGB(clBtnFace)) return color;
    const int grey = (GetRValue(color) * 77 + GetGValue(color) * 150 + GetBValue(color) * 29) / 256;
    return RGB(grey, grey, grey);
}

// ---------------------------------------------------------------- the glyph

TCvButtonGlyph::TCvButtonGlyph() : glyph_(std::make_unique<TBitmap>()) {
    Cache();
    glyph_->OnChange = [this](TObject*) { GlyphChanged(); };
}

TCvButtonGlyph::~TCvButtonGlyph() {
    glyph_->OnChange = nullptr;
    FreeImages();
    auto& cache = GlyphUnit().cache;
    if (cache && cache->Empty()) cache.reset();
}

void TCvButtonGlyph::SetGlyph(TBitmap* value) {
    FreeImages();
    glyph_->Assign(value);
}

void TCvButtonGlyph::SetNumGlyphs(int value) {
    if (value == 0) return;
    value = std::clamp(value, 1, kGlyphStates);
    if (value == num_glyphs_) return;
    FreeImages();
    num_glyphs_ = value;
}

void TCvButtonGlyph::GlyphChanged() {
    FreeImages();
    const int w = glyph_->Width(), h = glyph_->Height();
    if (h > 0) {
        transparent_color_ = glyph_->TransparentColor() & ~0x02000000;
        // A strip of square cells tells its own count; a bitmap without
        // width tells nothing.
        if (w > 0 && w % h == 0) {
            const int n = w / h;
            num_glyphs_ = n > kGlyphStates ? 1 : n;
        }
    }
    if (OnChange) OnChange(glyph_.get());
}

void TCvButtonGlyph::ForgetStaleLists() {
    if ((!list_ && !inactive_list_) || !cache_.expired()) return;
    list_ = inactive_list_ = nullptr;
    inactive_list_image_ = -1;
    for (int& index : indexes_) index = -1;
}

void TCvButtonGlyph::FreeImages() {
    ForgetStaleLists();
    for (int& index : indexes_) {
        if (index != -1 && list_) list_->DeleteSlot(index);
        index = -1;
    }
    const std::shared_ptr<TGlyphCache> cache = cache_.lock();
    if (list_ && cache) cache->ReturnList(list_);
    list_ = nullptr;
    if (inactive_list_image_ != -1 && inactive_list_) {
        inactive_list_->DeleteSlot(inactive_list_image_);
        if (cache) cache->ReturnList(inactive_list_);
    }
    inactive_list_image_ = -1;
    inactive_list_ = nullptr;
}

TGlyphList* TCvButtonGlyph::EnsureList(int width, int height) {
    if (!list_) {
        const std::shared_ptr<TGlyphCache>& cache = Cache();
        cache_ = cache;
        list_ = cache->GetList(width, height);
    }
    return list_;
}

int TCvButtonGlyph::StateImageIndex(TCvButtonState state) {
    ForgetStaleLists();
    if (state == bsDown && num_glyphs_ < 3) state = bsUp;
    if (indexes_[state] != -1) return indexes_[state];
    if (glyph_->Width() == 0 || glyph_->Height() == 0 || glyph_->Empty()) return -1;
    const int cw = glyph_->Width() / num_glyphs_, ch = glyph_->Height();
    if (cw < 1) return -1;
    TGlyphList* list = EnsureList(cw, ch);
    TBitmap work;
    work.Canvas()->Brush()->SetColor(clBtnFace);
    work.SetSize(cw, ch);
    const int cell = int(state) < num_glyphs_ ? int(state) : 0;
    auto copy_cell = [&] {
        work.Canvas()->CopyRect({0, 0, cw, ch}, glyph_->Canvas(), Bounds(cell * cw, 0, cw, ch));
        return list->AddMasked(&work, transparent_color_);
    };
    int index = -1;
    switch (state) {
    case bsUp:
    case bsDown:
    case bsExclusive: index = copy_cell(); break;
    case bsDisabled:
        if (num_glyphs_ >= 2) {
            index = copy_cell();
        } else {
            auto disabled = CreateDisabledImageDefault(glyph_.get(), clBlack);
            index = list->AddMasked(disabled.get(), TColor(ColorToRGB(clBtnFace)));
        }
        break;
    case bsInactive:
        if (num_glyphs_ == kGlyphStates) {
            index = copy_cell();
        } else {
            const Surface& src = *glyph_->Handle();
            Surface& dst = *work.Handle();
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x) dst.SetPixel(x, y, GreyOf(src.Pixel(x, y), transparent_color_));
            index = list->AddMasked(&work, transparent_color_);
        }
        break;
    }
    glyph_->Dormant();
    indexes_[state] = index;
    return index;
}

int TCvButtonGlyph::InactiveListImage(TCustomImageList* images, int index) {
    ForgetStaleLists();
    if (inactive_list_image_ != -1) return inactive_list_image_;
    const int w = images->Width(), h = images->Height();
    TBitmap work;
    work.Canvas()->Brush()->SetColor(clBtnFace);
    work.SetSize(w, h);
    images->Draw(work.Canvas(), 0, 0, index);
    Surface& s = *work.Handle();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.SetPixel(x, y, GreyOf(s.Pixel(x, y), transparent_color_));
    const std::shared_ptr<TGlyphCache>& cache = Cache();
    cache_ = cache;
    inactive_list_ = cache->GetList(w, h);
    inactive_list_image_ = inactive_list_->AddMasked(&work, TColor(ColorToRGB(clBtnFace)));
    return inactive_list_image_;
}

GlyphLayout TCvButtonGlyph::LayoutButton(TCanvas* canvas, const TRect& client, int image_index,
                                         TCustomImageList* images, unsigned align_flags, bool drop_down_mark,
                                         int spacing, int margin, TButtonLayout layout, const std::string& caption) {
    GlyphLayout out;
    const TPoint client_size{client.Width(), client.Height()};
    TPoint glyph_size;
    if (images && image_index >= 0 && image_index < images->Count() && images->Width() >= 1)
        glyph_size = {images->Width(), images->Height()};
    else if (glyph_->Width() > 0 || glyph_->Height() > 0)
        glyph_size = {glyph_->Width() / num_glyphs_, glyph_->Height()};
    const bool side = layout == blGlyphLeft || layout == blGlyphRight;
    int room_w, room_h;
    if (side) {
        room_w = client_size.x - glyph_size.x;
        room_h = client_size.y;
    } else {
        room_w = client_size.x;
        room_h = client_size.y - glyph_size.y;
    }
    int& along = side ? room_w : room_h;
    if (margin != -1) along -= margin;
    if (spacing != -1) along -= spacing;
    if (side && drop_down_mark) room_w -= kMarkWidth;
    room_w = std::max(0, room_w), room_h = std::max(0, room_h);

    // The caption, each line shortened to the room unless it wraps.
    std::string text = caption.substr(0, 255);
    if (!WordWrap) {
        const std::vector<std::string> lines = SplitLines(text);
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) joined += "\r\n";
            joined += ShortenTextToWidth(lines[i], canvas, room_w);
        }
        while (!joined.empty() && (joined.back() == ' ' || joined.back() == '\r' || joined.back() == '\n'))
            joined.pop_back();
        text = joined;
    }
    out.caption = text;
    TRect bounds;
    if (!text.empty()) {
        bounds = {0, 0, room_w, 0};
        DrawText(*canvas->Handle(), text, bounds,
                 DT_CALCRECT | (WordWrap ? unsigned(DT_WORDBREAK) : 0u) | DT_CENTER | DT_VCENTER | align_flags);
    }
    bounds.bottom = bounds.top + std::max(0, std::min(bounds.Height(), room_h));
    bounds.right = bounds.left + std::max(0, std::min(bounds.Width(), room_w));
    TPoint text_size{bounds.Width(), bounds.Height()};

    if (drop_down_mark) {
        if (glyph_size.x == 0 || glyph_size.y == 0 || layout == blGlyphLeft)
            text_size.x += kMarkWidth;
        else if (glyph_size.x > 0)
            glyph_size.x += 6;
    }
    TPoint glyph_pos, text_pos;
    if (side) {
        glyph_pos.y = client_size.y / 2 - glyph_size.y / 2;
        text_pos.y = client_size.y / 2 - text_size.y / 2;
    } else {
        glyph_pos.x = client_size.x / 2 - glyph_size.x / 2;
        text_pos.x = client_size.x / 2 - text_size.x / 2;
    }
    if (text_size.x == 0 || glyph_size.x == 0) spacing = 0;
    auto a = [side](const TPoint& p) { return side ? p.x : p.y; };
    if (margin == -1) {
        if (spacing == -1) {
            const int total = a(glyph_size) + a(text_size);
            margin = (a(client_size) - total) / 3;
            spacing = margin;
        } else {
            const int total = a(glyph_size) + spacing + a(text_size);
            margin = a(client_size) / 2 - total / 2;
        }
    } else if (spacing == -1) {
        const int rest = a(client_size) - (margin + a(glyph_size));
        spacing = rest / 2 - a(text_size) / 2;
    }
    switch (layout) {
    case blGlyphLeft:
        glyph_pos.x = margin;
        text_pos.x = glyph_pos.x + glyph_size.x + spacing;
        break;
    case blGlyphRight:
        glyph_pos.x = client_size.x - margin - glyph_size.x;
        text_pos.x = glyph_pos.x - spacing - text_size.x;
        break;
    case blGlyphTop:
        glyph_pos.y = margin;
        text_pos.y = glyph_pos.y + glyph_size.y + spacing;
        break;
    case blGlyphBottom:
        glyph_pos.y = client_size.y - margin - glyph_size.y;
        text_pos.y = glyph_pos.y - spacing - text_size.y;
        break;
    }
    out.glyph_pos = {glyph_pos.x + client.left, glyph_pos.y + client.top};
    out.text_bounds = bounds.Offset(text_pos.x + client.left, text_pos.y + client.top);
    return out;
}

TRect TCvButtonGlyph::DrawGlyphAndCaption(TCanvas* canvas, const TRect& client, unsigned align_flags,
                                          TCvButtonState state, int image_index, TCustomImageList* images,
                                          bool drop_down_mark, int spacing, int margin, TButtonLayout layout,
                                          const std::string& caption) {
    const GlyphLayout l = LayoutButton(canvas, client, image_index, images, align_flags, drop_down_mark, spacing,
                                       margin, layout, caption);
    DC& dc = *canvas->Handle();
    TSize drawn;
    const bool list_entry = images && image_index >= 0 && image_index < images->Count() && images->Width() >= 1;
    if (list_entry) {
        switch (state) {
        case bsDisabled:
            DrawDisabledImageListItem(images, canvas, l.glyph_pos.x, l.glyph_pos.y, image_index, clBtnHighlight,
                                      clBtnShadow, true);
            break;
        case bsInactive: {
            const int inactive = InactiveListImage(images, image_index);  // makes the list first
            inactive_list_->DrawEx(*canvas->Handle(), l.glyph_pos.x, l.glyph_pos.y, inactive, ILD_NORMAL);
            break;
        }
        default: images->Draw(canvas, l.glyph_pos.x, l.glyph_pos.y, image_index); break;
        }
        drawn = {images->Width(), images->Height()};
    } else if (const int index = StateImageIndex(state); index != -1) {
        list_->DrawEx(*canvas->Handle(), l.glyph_pos.x, l.glyph_pos.y, index, ILD_NORMAL);
        drawn = {list_->Width(), list_->Height()};
    }

    const unsigned flags = align_flags | DT_VCENTER | (WordWrap ? unsigned(DT_WORDBREAK) : 0u);
    canvas->Brush()->SetStyle(bsClear);
    TRect bounds = l.text_bounds;
    DC& text_dc = *canvas->Handle();
    SetBkMode(text_dc, TRANSPARENT);
    if (state == bsDisabled) {
        TRect lit = bounds.Offset(1, 1);
        SetTextColor(text_dc, ColorToRGB(clBtnHighlight));
        DrawText(text_dc, l.caption, lit, flags);
        SetTextColor(text_dc, ColorToRGB(clBtnShadow));
        DrawText(text_dc, l.caption, bounds, flags);
    } else {
        SetTextColor(text_dc, ColorToRGB(canvas->Font()->Color()));
        DrawText(text_dc, l.caption, bounds, flags);
    }

    if (drop_down_mark) {
        int x, y;
        const bool glyph_drawn = glyph_->Width() > 0 || list_entry;
        if (layout != blGlyphLeft && glyph_drawn) {
            x = l.glyph_pos.x + drawn.cx + 1;
            y = l.glyph_pos.y + drawn.cy / 2;
        } else {
            y = l.text_bounds.top + l.text_bounds.Height() / 2;
            x = l.caption.empty() ? (client.left + client.right - 7) / 2 : l.text_bounds.right + 3;
        }
        if (state == bsDisabled) {
            DrawMark(dc, x + 1, y + 1, ColorToRGB(clBtnHighlight));
            DrawMark(dc, x, y, ColorToRGB(clBtnShadow));
        } else {
            DrawMark(dc, x, y, ColorToRGB(clBtnText));
        }
    }
    return l.text_bounds;
}

std::unique_ptr<TBitmap> CreateEllipsisGlyph(int button_width) {
    auto b = std::make_unique<TBitmap>();
    const int w = std::max(1, button_width - 6);
    b->SetSize(w, 4);
    b->SetMonochrome(true);
    Surface& s = *b->Handle();
    s.Fill(0xFFFFFF);
    const int dot = std::min(std::max((w - 6) / 2, 1), 3);
    const int left = ((w - 6) - 2 * dot) / 2;
    for (int x0 : {left, left + dot + 2, left + 2 * dot + 4})
        for (int y = 1; y < 3; ++y)
            for (int x = x0; x < x0 + 2; ++x)
                if (x >= 0 && x < w) s.SetPixel(x, y, 0);
    b->Modified();
    return b;
}

}  // namespace controls
