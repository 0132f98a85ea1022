// The owner-drawn combo box base and the colour combo box.
#include "controls/cvcombos.hpp"

#include <algorithm>
#include <charconv>

namespace controls {

using namespace ui;

// ---------------------------------------------------------------- TOwnerDrawComboBox

TOwnerDrawComboBox::TOwnerDrawComboBox(TComponent* owner) : TCustomComboBox(owner) { style_ = ui::csDropDownList; }

void TOwnerDrawComboBox::CreateParams(ui::CreateParams& p) {
    TCustomComboBox::CreateParams(p);
    static const uint32_t kType[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST};
    p.style = (p.style & ~uint32_t(0x33)) | CBS_OWNERDRAWFIXED | kType[std::clamp(int(style_), 0, 2)];
}

int TOwnerDrawComboBox::GetItemHt() { return std::max(FontMetrics(font_->Handle()).height + 1, 9); }

void TOwnerDrawComboBox::CreateWnd() {
    // The height is the font's, taken again for every new window.
    item_height_ = GetItemHt();
    TCustomComboBox::CreateWnd();
    SendMessage(handle_, CB_SETITEMHEIGHT, 0, item_height_);
}

void TOwnerDrawComboBox::WndProc(TMessage& m) {
    if (m.Msg == CM_FONTCHANGED) {
        // A new font means a new item height, which a new window takes.
        RecreateWnd();
        Invalidate();
        return;
    }
    TCustomComboBox::WndProc(m);
}

// ---------------------------------------------------------------- TColorComboBox

namespace {

// Red, green and blue of the sixteen colours, in item order.
constexpr TColor kBasic[TColorComboBox::kColorCount] = {
    clBlack,  clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clGray,
    clSilver, clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite,
};

// A colour's name without the "cl" its platform name begins with.
std::string ShortColorName(TColor c) {
    std::string name = ColorToString(c);
    if (name.size() >= 2 && name.compare(0, 2, "cl") == 0) name.erase(0, 2);
    return name;
}

// The text read as a number (decimal, or hexadecimal after '$' or "0x").
bool TextNumber(const std::string& text, TColor& out) {
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && s.front() == '-') negative = true, s.remove_prefix(1);
    int base = 10;
    if (!s.empty() && s.front() == '$')
        base = 16, s.remove_prefix(1);
    else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        base = 16, s.remove_prefix(2);
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return false;
    out = TColor(negative ? uint32_t(0) - value : value);
    return true;
}

}  // namespace

TColorComboBox::TColorComboBox(TComponent* owner)
    : TOwnerDrawComboBox(owner), color_names_(std::make_unique<TStringList>()) {
    color_names_->OnChange = [this](TObject*) { ColorNamesChanged(); };
}

TColorComboBox::~TColorComboBox() = default;

TColor TColorComboBox::BasicColor(int index) { return kBasic[std::clamp(index, 0, kColorCount - 1)]; }

std::string TColorComboBox::DefaultName(int index) { return ShortColorName(BasicColor(index)); }

void TColorComboBox::CreateHandleDone() {
    TOwnerDrawComboBox::CreateHandleDone();
    PopulateList();
    // The new window selects the stored colour; the value itself did not change.
    reselecting_ = true;
    SetColorValue(color_value_);
    reselecting_ = false;
}

void TColorComboBox::PopulateList() {
    items_->BeginUpdate();
    items_->Clear();
    for (int i = 0; i < kColorCount; ++i) {
        const std::string named = i < color_names_->Count() ? color_names_->Get(i) : std::string();
        items_->Add(named.empty() ? DefaultName(i) : named, ColorObject(kBasic[i]));
    }
    items_->EndUpdate();
}

TColor TColorComboBox::ColorValue() const {
    if (Style() == controls::csDropDownList || ItemIndex() >= 0) return color_value_;
    const std::string text = GetText();
    const int named = items_->IndexOf(text);
    if (named >= 0) return ObjectColor(items_->GetObject(named));
    TColor number = 0;
    return TextNumber(text, number) ? number : color_value_;
}

void TColorComboBox::SetColorValue(TColor v) {
    if (ItemIndex() >= 0 && v == color_value_) return;
    color_value_ = v;
    int found = -1;
    for (int i = 0; i < items_->Count() && found < 0; ++i)
        if (ObjectColor(items_->GetObject(i)) == v) found = i;
    if (found >= 0) {
        if (ItemIndex() != found) SetItemIndex(found);
    } else {
        SetItemIndex(-1);
        if (Style() != controls::csDropDownList) SetText(ShortColorName(v));
    }
    RaiseChange();
}

void TColorComboBox::SetColorNames(TStrings* v) { color_names_->Assign(v); }

void TColorComboBox::ColorNamesChanged() {
    if (!HandleAllocated()) return;
    color_value_ = ColorValue();
    RecreateWnd();
}

void TColorComboBox::SetDisplayNames(bool v) {
    if (v == display_names_) return;
    display_names_ = v;
    Invalidate();
}

void TColorComboBox::RaiseChange() {
    if (reselecting_ || Has(csReading | csLoading)) return;
    if (OnChange) OnChange(this);
}

void TColorComboBox::Click() {
    // The user chose an item: its colour is the value.
    if (const int i = ItemIndex(); i >= 0) SetColorValue(ObjectColor(items_->GetObject(i)));
    TOwnerDrawComboBox::Click();
}

void TColorComboBox::EditDone() {
    const TColor typed = ColorValue();
    if (typed == color_value_) return;
    color_value_ = typed;
    RaiseChange();
}

void TColorComboBox::DrawItem(int index, const TRect& rect, unsigned) {
    TCanvas* c = canvas_.get();
    c->FillRect(rect);
    TRect swatch{rect.left + 2, rect.top + 2, display_names_ ? rect.left + 2 + 22 : rect.right - 3, rect.bottom - 2};
    const TColor back = c->Brush()->Color();
    c->Pen()->SetColor(clWindowText);
    c->Brush()->SetColor(index < items_->Count() ? ObjectColor(items_->GetObject(index)) : clBlack);
    c->Rectangle(swatch);  // the frame in the pen, inside it the item's colour
    c->Brush()->SetColor(back);
    if (!display_names_ || index >= items_->Count()) return;
    TRect text{rect.left + 28, rect.top, rect.right, rect.bottom};
    DrawText(*c->Handle(), items_->Get(index), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace controls
