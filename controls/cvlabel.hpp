#pragma once
// A caption drawn with a shadow copy in a second colour, transparent or
// opaque, aligned in both directions, with a focus rectangle while its focus
// control has the focus, the accelerator of its caption, and events for the
// pointer entering and leaving it.
#include "framework/ui/controls.hpp"

namespace controls {

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

// Draws `text` in `rect` with a copy in `shadow` (RGB) offset by `size`
// towards `pos`; with DT_CALCRECT both are only measured. `rect` becomes the
// union of the two rectangles. Returns the text's height (plus the shadow's
// size when the text has a height).
int DrawTextWithShadow(ui::DC& dc, const std::string& text, ui::TRect& rect, unsigned flags, int size,
                       ui::COLORREF shadow, TShadowPosition pos);

class TCvCustomLabel : public ui::TGraphicControl {
public:
    explicit TCvCustomLabel(ui::TComponent* owner);
    std::string ClassName() const override { return "TCvCustomLabel"; }

    ui::TWinControl* FocusControl() const { return focus_control_; }
    void SetFocusControl(ui::TWinControl* v);
    ui::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ui::TAlignment v);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout v);
    ui::TColor ShadowColor() const { return shadow_color_; }
    void SetShadowColor(ui::TColor v);
    int ShadowSize() const { return shadow_size_; }
    void SetShadowSize(uint8_t v);
    TShadowPosition ShadowPos() const { return shadow_pos_; }
    void SetShadowPos(TShadowPosition v);
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v);
    bool ShowAccelChar() const { return show_accel_char_; }
    void SetShowAccelChar(bool v);
    bool ShowFocus() const { return show_focus_; }
    void SetShowFocus(bool v);
    // Transparent: the control style lacks the opaque flag.
    bool Transparent() const { return !(ControlStyle & ui::csOpaque); }
    void SetTransparent(bool v);

    bool MouseInside() const { return mouse_inside_; }
    bool FocusShown() const { return focused_; }

    void WndProc(ui::TMessage& m) override;

protected:
    void Paint() override;
    virtual ui::TColor DefaultTextColor() const { return font_->Color(); }
    virtual std::string LabelText() const { return Caption(); }
    virtual void MouseEnter();
    virtual void MouseLeave();
    void MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void MouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    // Draws (or with DT_CALCRECT measures) the caption with its shadow.
    void DrawLabelText(ui::DC& dc, ui::TRect& rect, unsigned flags);

private:
    void AdjustBounds();
    void UpdateTracking();

    ui::ComponentRef<ui::TWinControl> focus_control_;
    ui::TAlignment alignment_ = ui::taLeftJustify;
    bool auto_size_ = true;
    TTextLayout layout_ = tlTop;
    ui::TColor shadow_color_ = ui::clBtnHighlight;
    uint8_t shadow_size_ = 1;
    TShadowPosition shadow_pos_ = spLeftTop;
    bool word_wrap_ = false, show_accel_char_ = true, show_focus_ = false;
    bool focused_ = false, mouse_inside_ = false, dragging_ = false;
};

class TCvLabel : public TCvCustomLabel {
public:
    using TCvCustomLabel::TCvCustomLabel;
    std::string ClassName() const override { return "TCvLabel"; }
};

}  // namespace controls
