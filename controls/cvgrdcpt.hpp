#pragma once
// A component that paints its form's title bar itself: a colour gradient
// from StartColor to the caption colour, the form's small icon, caption
// pieces in their own fonts and the title FormCaption, cut with "..." when
// the bar is too narrow. It hooks the form's window procedure and answers
// the non-client paint and activation messages in front of the default
// handling.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/cvhook.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/menus.hpp"

namespace controls {

enum THideDirection { hdLeftToRight, hdRightToLeft };

class TCvGradientCaption;
class TCvCaptionList;

// A text of the title bar as it is drawn: shortened, at x (bar pixels), in a font and colour.
struct BarText {
    std::string text;
    int x;
    ui::TFont* font;
    ui::TColor color;
};

// One piece of the title, before FormCaption.
class TCvCaption : public ui::TCollectionItem {
public:
    explicit TCvCaption(ui::TCollection* collection);
    ~TCvCaption() override;
    std::string ClassName() const override { return "TCvCaption"; }
    void Assign(ui::TPersistent* source) override;
    void RestoreDefaults();

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    ui::TFont* Font() const { return font_.get(); }
    void SetFont(ui::TFont* v) { font_->Assign(v); }
    bool ParentFont() const { return parent_font_; }
    void SetParentFont(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    // Kept together with the next piece when the bar is too narrow.
    bool GlueNext() const { return glue_next_; }
    void SetGlueNext(bool v);
    // The text colour while the form is inactive.
    ui::TColor InactiveColor() const { return inactive_color_; }
    void SetInactiveColor(ui::TColor v);

private:
    TCvGradientCaption* Owner() const;
    void FontChanged();
    std::string caption_;
    std::unique_ptr<ui::TFont> font_;
    bool parent_font_ = true, visible_ = true, glue_next_ = false;
    ui::TColor inactive_color_ = ui::clInactiveCaptionText;
};

class TCvCaptionList : public ui::TCollection {
public:
    explicit TCvCaptionList(TCvGradientCaption* owner);
    std::string ClassName() const override { return "TCvCaptionList"; }
    TCvGradientCaption* GradientCaption() const { return owner_; }
    TCvCaption* Item(int index) const { return static_cast<TCvCaption*>(Items(index)); }
    TCvCaption* AddCaption() { return static_cast<TCvCaption*>(Add()); }

protected:
    void Update(ui::TCollectionItem* item) override;

private:
    TCvGradientCaption* owner_;
};

class TCvGradientCaption : public ui::TComponent {
public:
    explicit TCvGradientCaption(ui::TComponent* owner);
    ~TCvGradientCaption() override;
    std::string ClassName() const override { return "TCvGradientCaption"; }
    void BeforeDestruction() override;

    // At run time only with a form for owner (and the system new enough).
    bool Active() const;
    void SetActive(bool v);
    TCvCaptionList* Captions() const { return captions_.get(); }
    void SetCaptions(TCvCaptionList* v) { captions_->Assign(v); }
    bool DefaultFont() const { return default_font_; }
    void SetDefaultFont(bool v);
    const std::string& FormCaption();
    void SetFormCaption(const std::string& v);
    ui::TColor FontInactiveColor() const { return font_inactive_color_; }
    void SetFontInactiveColor(ui::TColor v);
    ui::TFont* Font() const { return font_.get(); }
    void SetFont(ui::TFont* v) { font_->Assign(v); }
    bool GradientActive() const { return gradient_active_; }
    void SetGradientActive(bool v);
    bool GradientInactive() const { return gradient_inactive_; }
    void SetGradientInactive(bool v);
    // Only the low byte reaches the painting.
    int GradientSteps() const { return gradient_steps_; }
    void SetGradientSteps(int v);
    THideDirection HideDirection() const { return hide_direction_; }
    void SetHideDirection(THideDirection v);
    ui::TPopupMenu* PopupMenu() const { return popup_menu_; }
    void SetPopupMenu(ui::TPopupMenu* v);
    ui::TColor StartColor() const { return start_color_; }
    void SetStartColor(ui::TColor v);
    ui::TNotifyEvent OnActivate, OnDeactivate;

    // The title bar drawn active (the form's last WM_NCACTIVATE).
    bool WindowActive() const { return window_active_; }
    ui::TCustomForm* Form() const;
    // The area the component paints: the bar left of the caption buttons, in
    // screen coordinates.
    ui::TRect CaptionRect() const;
    // Attaches or detaches the hook and paints the frame anew.
    void UpdateCaption();
    // Paints the bar into the form's window.
    void PaintCaption();
    // The pieces and the title laid out from `x` to `right`, measured on
    // `canvas`: those that fit, in the order they are drawn.
    std::vector<BarText> BarTexts(ui::TCanvas* canvas, int x, int right) const;

protected:
    void Loaded() override;

private:
    friend class TCvCaptionList;
    friend class TCvCaption;
    void Repaint();
    void ApplyDefaultFont();
    void FontChanged();
    unsigned ConsideredIcons() const;
    void BeforeMessage(ui::TMessage& m, bool& handled);
    void AfterMessage(ui::TMessage& m, bool& handled);

    bool active_ = true, window_active_ = false;
    TCvWindowHook* hook_ = nullptr;
    std::optional<ui::Region> nc_region_;  // the region this component handed on, while a WM_NCPAINT runs
    ui::WPARAM nc_saved_ = 0;
    ui::TColor start_color_ = ui::clWindowText;
    std::unique_ptr<TCvCaptionList> captions_;
    std::unique_ptr<ui::TFont> font_;
    bool default_font_ = true;
    ui::ComponentRef<ui::TPopupMenu> popup_menu_;
    bool right_button_ = false;
    THideDirection hide_direction_ = hdLeftToRight;
    bool gradient_inactive_ = false, gradient_active_ = true;
    ui::TColor font_inactive_color_ = ui::clInactiveCaptionText;
    std::string form_caption_;
    int gradient_steps_ = 64;
};

}  // namespace controls
