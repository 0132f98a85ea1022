#pragma once
// The masked edit with a button at its right end (the base of the date edit
// and of the calculator edit), that button, and the borderless drop-down
// window the popup calendar and the popup calculator are made of. The button
// runs OnButtonClick and drops the edit's popup down under the text, or
// closes it again accepting its value.
#include <memory>
#include <string>
#include <variant>

#include "controls/cvspeedbtn.hpp"
#include "framework/ui/dropdown.hpp"
#include "framework/ui/mask.hpp"

namespace controls {

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
// epaRight: the popup's right edge under the edit's; epaLeft: left edges aligned.
enum TPopupAlign { epaRight, epaLeft };

// A popup's value: null, a text or a date.
using TPopupValue = std::variant<std::monostate, std::string, double>;
bool IsNullValue(const TPopupValue& v);
std::string PopupValueText(const TPopupValue& v);

// Shortcuts as key codes with the modifier bits above them.
enum : unsigned { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
unsigned ShortCutOf(ui::UINT key, ui::TShiftState shift);

// The button inside a combo edit.
class TEditButton : public TCvSpeedButton {
public:
    explicit TEditButton(ui::TComponent* owner);
    std::string ClassName() const override { return "TEditButton"; }

protected:
    void Paint() override;
};

// A borderless drop-down under its editor that never takes the activation.
class TPopupWindow : public ui::TDropDownWindow {
public:
    TPopupWindow(ui::TComponent* owner, ui::TWinControl* editor);
    std::string ClassName() const override { return "TPopupWindow"; }
    virtual TPopupValue CurrentValue() = 0;
    virtual void ShowValue(const TPopupValue& value) = 0;
    // Closes the popup; the editor hears of it through OnCloseUp.
    virtual void FinishPopup(bool accept) { CloseUp(accept); }
    virtual std::string PopupText() { return {}; }
    // Repaints the editor's text area at once.
    void InvalidateEditor();
};

// Where a popup of `popup` size drops down under an edit whose top-left
// corner is `edit_origin` (screen), on a screen of `screen` size.
ui::TPoint PopupOrigin(ui::TPoint edit_origin, ui::TSize edit, ui::TSize popup, ui::TSize screen, TPopupAlign align);
// The button holder's bounds in an edit of `width` x `height`.
ui::TRect ButtonHolderBounds(int width, int height, int button_width, bool new_style, bool border, bool ctl3d);

class TCustomComboEdit : public ui::TCustomMaskEdit {
public:
    explicit TCustomComboEdit(ui::TComponent* owner);
    ~TCustomComboEdit() override;
    std::string ClassName() const override { return "TCustomComboEdit"; }
    void BeforeDestruction() override;

    TEditButton* Button() const { return button_; }
    ui::TWinControl* ButtonHolder() const { return holder_; }
    int ButtonWidth() const;
    void SetButtonWidth(int v);
    // The width ButtonWidth has unless written: what the glyph asks for.
    int NaturalButtonWidth() const;
    const std::string& ButtonHint() const;
    void SetButtonHint(const std::string& v);
    ui::TBitmap* Glyph() const { return button_->Glyph(); }
    // Makes GlyphKind gkCustom.
    void SetGlyph(ui::TBitmap* v);
    int NumGlyphs() const { return button_->NumGlyphs(); }
    void SetNumGlyphs(int v);
    TGlyphKind GlyphKind() const { return glyph_kind_; }
    void SetGlyphKind(TGlyphKind v);
    unsigned ClickKey = scAlt | unsigned(ui::VK_DOWN);
    // The edit's own read-only flag; with DirectInput off the text can be
    // chosen through the button or the popup only.
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    bool DirectInput() const { return direct_input_; }
    void SetDirectInput(bool v);
    ui::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ui::TAlignment v);
    // Off: a flat one-pixel border instead of the sunken edge.
    bool Ctl3D() const { return ctl3d_; }
    void SetCtl3D(bool v);
    TPopupAlign PopupAlign = epaRight;
    bool PopupVisible() const { return popup_visible_; }
    TPopupWindow* Popup() const { return popup_; }
    ui::TNotifyEvent OnButtonClick;

    // What a click on the button does (and the click key).
    void EditButtonClick();
    // Closes the popup when it is open (accepting or not).
    void ClosePopup(bool accept);
    // The text may be changed (ReadOnly off).
    bool EditCanModify() const { return !read_only_; }
    void WndProc(ui::TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void KeyDown(ui::UINT& key, ui::TShiftState shift) override;
    void KeyPress(char& key) override;
    void Change() override;

    // The default glyph (gkDefault); `caller_frees` when it is a new one.
    virtual ui::TBitmap* DefaultGlyphBitmap(bool& caller_frees) {
        caller_frees = false;
        return nullptr;
    }
    virtual void OpenPopup(bool disable_edit);
    virtual void ShowPopupAt(ui::TPoint origin);
    virtual bool ConfirmPopupValue(TPopupValue&) { return true; }
    virtual void TakePopupValue(const TPopupValue& value);
    virtual void PassValueToPopup(const TPopupValue& value);
    virtual void ReadPopupValue(TPopupValue& value);
    virtual void PopupValueChanged() {}
    virtual bool IsReadOnly() const { return read_only_; }
    virtual void ButtonClick();
    // The popup's close-up handler.
    void PopupCloseUp(ui::TObject* sender, bool accept);
    // Takes a popup made by a descendant (owned by the edit), or frees the one there is.
    void SetPopup(TPopupWindow* popup);
    void RecreateGlyph();
    void SetFormattingRect();
    int default_num_glyphs_ = 1;
    bool popup_visible_ = false;

private:
    void PlaceButton();
    void ApplyReadOnly();
    int MinHeight();

    ui::TWinControl* holder_ = nullptr;
    TEditButton* button_ = nullptr;
    TPopupWindow* popup_ = nullptr;
    TGlyphKind glyph_kind_ = gkCustom;
    bool read_only_ = false, direct_input_ = true, ctl3d_ = true, focused_ = false;
    bool constructing_ = true, width_fixed_ = false;
    ui::TAlignment alignment_ = ui::taLeftJustify;
};

// The margins of an edit's text: x from the left, y from the top.
void TextMarginsOf(TCustomComboEdit* editor, int& margin_x, int& margin_y);
// Paints `text` aligned in a combo edit that is painting a copy (or always,
// unless `only_when_copying`); false when it painted nothing. `canvas` is
// made on first use and kept by the caller.
bool PaintAlignedEditText(TCustomComboEdit* editor, const std::string& text, ui::TAlignment alignment,
                          std::unique_ptr<ui::TControlCanvas>& canvas, ui::TMessage& paint, bool only_when_copying);

}  // namespace controls
