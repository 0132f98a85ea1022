#pragma once
// Owner-drawn combo boxes: a base with a fixed item height taken from the
// font, and the combo box of the sixteen basic colours, each item a swatch and
// the colour's name, with the chosen colour as ColorValue.
#include <memory>
#include <string>

#include "framework/ui/list_controls.hpp"

namespace controls {

using ui::TColor;

enum TOwnerDrawComboStyle { csDropDown, csSimple, csDropDownList };

// A combo box whose items are drawn by the control, all of one height: the
// font's height and a pixel, at least 9.
class TOwnerDrawComboBox : public ui::TCustomComboBox {
public:
    explicit TOwnerDrawComboBox(ui::TComponent* owner);
    std::string ClassName() const override { return "TOwnerDrawComboBox"; }
    TOwnerDrawComboStyle Style() const { return TOwnerDrawComboStyle(style_); }
    void SetStyle(TOwnerDrawComboStyle v) { ui::TCustomComboBox::SetStyle(ui::TComboBoxStyle(v)); }
    void WndProc(ui::TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateWnd() override;
    virtual int GetItemHt();
};

// The colour an item of a colour box stands for, kept as the item's object.
inline ui::TObject* ColorObject(TColor c) { return reinterpret_cast<ui::TObject*>(uintptr_t(uint32_t(c))); }
inline TColor ObjectColor(const ui::TObject* o) { return TColor(uint32_t(reinterpret_cast<uintptr_t>(o))); }

class TColorComboBox : public TOwnerDrawComboBox {
public:
    explicit TColorComboBox(ui::TComponent* owner);
    ~TColorComboBox() override;
    std::string ClassName() const override { return "TColorComboBox"; }

    // The chosen colour. In an editable style with no item selected: the
    // colour of the item named by the text, else the text as a number, else
    // the colour last stored.
    TColor ColorValue() const;
    void SetColorValue(TColor v);
    // Names that replace the items' names by position (an empty one keeps the default).
    ui::TStrings* ColorNames() const { return color_names_.get(); }
    void SetColorNames(ui::TStrings* v);
    bool DisplayNames() const { return display_names_; }
    void SetDisplayNames(bool v);

    // The sixteen colours in item order, and their default names ("Maroon").
    static TColor BasicColor(int index);
    static std::string DefaultName(int index);
    static constexpr int kColorCount = 16;

protected:
    // The new window is filled and takes the stored colour.
    void CreateHandleDone() override;
    virtual void PopulateList();
    void DrawItem(int index, const ui::TRect& rect, unsigned state) override;
    void Click() override;
    void Change() override {}  // the colour's own change event stands for it
    void EditDone() override;

private:
    void ColorNamesChanged();
    void RaiseChange();
    TColor color_value_ = ui::clBlack;
    std::unique_ptr<ui::TStringList> color_names_;
    bool display_names_ = true;
    bool reselecting_ = false;  // the new window takes the stored colour again
};

}  // namespace controls
