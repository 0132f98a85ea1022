#pragma once
// The flat or raised image-and-caption button of the control library: a
// graphic control painted through an off-screen bitmap, that can belong to
// an exclusive group, drop down a popup menu, grey its glyph while the
// pointer is away from a flat button, and repeat its click while held.
#include <memory>

#include "controls/cvbtnglyph.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/menus.hpp"

namespace controls {

enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum TCvDropDownMenuPos { dmpBottom, dmpRight };

// Sent by a group member to its siblings: WParam the group index, LParam the button.
constexpr ui::UINT CM_GROUPBUTTONPRESSED = 0xB051;

// The speed-button unit's values, in the library's state.
struct SpeedButtonUnitState {
    std::unique_ptr<ui::TBitmap> pattern;  // the exclusive state's checker, made on first need
    int live_buttons = 0;
};
SpeedButtonUnitState& SpeedButtonUnit();

class TCvSpeedButton : public ui::TGraphicControl {
public:
    explicit TCvSpeedButton(ui::TComponent* owner);
    ~TCvSpeedButton() override;
    std::string ClassName() const override { return "TCvSpeedButton"; }

    ui::TAlignment Alignment() const { return glyph_->Alignment; }
    void SetAlignment(ui::TAlignment v);
    bool AllowAllUp() const { return allow_all_up_; }
    void SetAllowAllUp(bool v);
    bool AllowTimer() const { return allow_timer_; }
    void SetAllowTimer(bool v);
    int GroupIndex() const { return group_index_; }
    void SetGroupIndex(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    ui::TPopupMenu* DropDownMenu() const { return drop_down_menu_; }
    void SetDropDownMenu(ui::TPopupMenu* v);
    TCvDropDownMenuPos MenuPosition = dmpBottom;
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    ui::TBitmap* Glyph() const { return glyph_->Glyph(); }
    void SetGlyph(ui::TBitmap* v);
    bool GrayedInactive() const { return grayed_inactive_; }
    void SetGrayedInactive(bool v);
    unsigned InitPause = 500;  // milliseconds before the first repeat
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v);
    int Margin() const { return margin_; }
    void SetMargin(int v);  // values below -1 are refused
    bool MarkDropDown() const { return mark_drop_down_; }
    void SetMarkDropDown(bool v);
    int ModalResult = 0;
    int NumGlyphs() const { return glyph_->NumGlyphs(); }
    void SetNumGlyphs(int v);       // kept within 1..5
    unsigned RepeatInterval = 100;  // milliseconds between repeats
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool WordWrap() const { return glyph_->WordWrap; }
    void SetWordWrap(bool v);

    // The pressed-look click the calculator uses for typed keys.
    void SimulateClick();
    void Click() override;

    TCvButtonState State() const { return state_; }
    bool MouseInside() const { return mouse_inside_; }
    TCvButtonGlyph* ButtonGlyph() const { return glyph_.get(); }
    ui::TTimer* RepeatTimer() const { return repeat_timer_; }

    void WndProc(ui::TMessage& m) override;

protected:
    void Loaded() override;
    void Paint() override;
    virtual void PaintGlyphAndCaption(ui::TCanvas* canvas, const ui::TRect& rect, bool drop_down_mark,
                                      TCvButtonState glyph_state);
    void MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void MouseMove(ui::TShiftState s, int x, int y) override;
    void MouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void DblClick() override {}  // raised after the double click's handling, when down
    virtual void MouseEnter();
    virtual void MouseLeave();

private:
    bool Inside(int x, int y) const;
    void DropDown(int x, int y);
    void Release(ui::TMouseButton b, int x, int y);
    void RepeatTick();
    void UpdateExclusive();
    void UpdateTracking();
    void MakeShownImage();
    // The frame for the state; returns the rectangle inside it.
    ui::TRect DrawFrame(ui::TCanvas* canvas, ui::TRect r, bool down_look);

    TCvButtonState state_ = bsUp;
    std::unique_ptr<TCvButtonGlyph> glyph_;
    std::unique_ptr<ui::TBitmap> drawing_;
    bool dragging_ = false, mouse_inside_ = false, menu_tracking_ = false;
    ui::TTimer* repeat_timer_ = nullptr;
    bool allow_all_up_ = false, allow_timer_ = false, down_ = false, flat_ = false;
    bool grayed_inactive_ = true, mark_drop_down_ = true, transparent_ = false;
    int group_index_ = 0, margin_ = -1, spacing_ = 1;
    ui::ComponentRef<ui::TPopupMenu> drop_down_menu_;
    TButtonLayout layout_ = blGlyphTop;
    TButtonStyle style_ = bsAutoDetect;
};

}  // namespace controls
