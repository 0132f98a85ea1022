#pragma once
// The glyph of an image button: a strip of up to five cells (up, disabled,
// down, exclusive, inactive), the image of each state made once into an image
// list shared by every glyph of the same cell size, and the layout and
// drawing of glyph, caption and drop-down mark.
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/controls.hpp"
#include "framework/ui/graphics.hpp"

namespace controls {

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// The states a glyph is drawn in; a button itself is only ever in the first four.
enum TCvButtonState { bsUp, bsDisabled, bsDown, bsExclusive, bsInactive };
constexpr int kGlyphStates = 5;

// An image list of one cell size whose freed slots are used again.
class TGlyphList : public ui::TImageList {
public:
    TGlyphList(int width, int height);
    std::string ClassName() const override { return "TGlyphList"; }
    // A slot holding the image, the pixels of `mask_color` (or the mask's
    // white ones) transparent.
    int AddMasked(ui::TBitmap* image, ui::TColor mask_color);
    int AddWithMask(ui::TBitmap* image, ui::TBitmap* mask);
    // Frees a used slot; its image stays until the slot is taken again.
    void DeleteSlot(int index);
    int UsedCount() const { return count_; }

private:
    int AllocateIndex();
    std::vector<bool> used_;
    int count_ = 0;
};

// The glyph lists of the process, one per cell size.
class TGlyphCache {
public:
    TGlyphCache();
    ~TGlyphCache();
    TGlyphList* GetList(int width, int height);
    // Frees the list when no slot of it is used any more.
    void ReturnList(TGlyphList* list);
    bool Empty() const { return lists_.empty(); }
    int Count() const { return int(lists_.size()); }

private:
    std::vector<ui::Owned<TGlyphList>> lists_;
};

// The glyph unit's values, in the library's state; the cache lives while a
// glyph object or a list needs it, or until a reset, which glyphs still
// alive notice.
struct GlyphUnitState {
    std::shared_ptr<TGlyphCache> cache;
};
GlyphUnitState& GlyphUnit();

// The grey a pixel of an inactive glyph takes: the transparent colour and
// the button face stay, anything else (R × 77 + G × 150 + B × 29) div 256.
ui::COLORREF GreyOf(ui::COLORREF color, ui::TColor transparent);

struct GlyphLayout {
    ui::TRect text_bounds;
    ui::TPoint glyph_pos;
    std::string caption;  // as fitted into the room
};

class TCvButtonGlyph {
public:
    TCvButtonGlyph();
    ~TCvButtonGlyph();
    TCvButtonGlyph(const TCvButtonGlyph&) = delete;
    TCvButtonGlyph& operator=(const TCvButtonGlyph&) = delete;

    ui::TBitmap* Glyph() const { return glyph_.get(); }
    void SetGlyph(ui::TBitmap* value);
    int NumGlyphs() const { return num_glyphs_; }
    // 0 and the present count are ignored; the rest is kept within 1..5.
    void SetNumGlyphs(int value);
    ui::TColor TransparentColor() const { return transparent_color_; }
    bool WordWrap = false;
    ui::TAlignment Alignment = ui::taCenter;
    ui::TNotifyEvent OnChange;

    // The glyph list's slot of the state's image, made on first use; -1 without a glyph.
    int StateImageIndex(TCvButtonState state);
    void FreeImages();
    TGlyphList* GlyphList() const { return cache_.expired() ? nullptr : list_; }

    // Where glyph and caption go in `client`; the caption comes back fitted.
    GlyphLayout LayoutButton(ui::TCanvas* canvas, const ui::TRect& client, int image_index,
                             ui::TCustomImageList* images, unsigned align_flags, bool drop_down_mark, int spacing,
                             int margin, TButtonLayout layout, const std::string& caption);
    // Lays out and draws the glyph, the caption and the drop-down mark;
    // returns the caption's rectangle.
    ui::TRect DrawGlyphAndCaption(ui::TCanvas* canvas, const ui::TRect& client, unsigned align_flags,
                                  TCvButtonState state, int image_index, ui::TCustomImageList* images,
                                  bool drop_down_mark, int spacing, int margin, TButtonLayout layout,
                                  const std::string& caption);

private:
    void GlyphChanged();
    // A reset dropped the cache the lists were in: forgets them.
    void ForgetStaleLists();
    TGlyphList* EnsureList(int width, int height);
    int InactiveListImage(ui::TCustomImageList* images, int index);

    std::unique_ptr<ui::TBitmap> glyph_;
    std::weak_ptr<TGlyphCache> cache_;  // the one holding the lists below
    TGlyphList* list_ = nullptr;
    int indexes_[kGlyphStates] = {-1, -1, -1, -1, -1};
    TGlyphList* inactive_list_ = nullptr;  // holds the greyed copy of an image-list entry
    int inactive_list_image_ = -1;
    ui::TColor transparent_color_ = ui::clFuchsia;
    int num_glyphs_ = 1;
};

// The three dots of an ellipsis button for a button `button_width` wide: a
// monochrome bitmap, black dots on white. Dots that would lie outside the
// bitmap of a narrow button are cut off.
std::unique_ptr<ui::TBitmap> CreateEllipsisGlyph(int button_width);

}  // namespace controls
