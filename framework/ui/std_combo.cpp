// TCustomComboBox over the combo box class.
#include <algorithm>

#include "framework/ui/edit_box.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/list_controls.hpp"

namespace ui {

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TListControlItems>(this, false)),
      canvas_(std::make_unique<TControlCanvas>(this)) {
    // The class runs its own mouse (the drop-down holds it while open).
    ControlStyle = csOpaque;
    width_ = 145, height_ = 21;
    TabStop = true;
    class_paints_ = true;
}

TCustomComboBox::~TCustomComboBox() = default;

uint32_t TCustomComboBox::ComboStyleBits() const {
    switch (style_) {
    case csSimple: return CBS_SIMPLE;
    case csDropDownList: return CBS_DROPDOWNLIST;
    case csOwnerDrawFixed: return CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED;
    case csDropDown: break;
    }
    return CBS_DROPDOWN;
}

void TCustomComboBox::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= ComboStyleBits() | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
    if (TabStop) p.style |= WS_TABSTOP;
}

LRESULT TCustomComboBox::Combo(UINT msg, WPARAM w, LPARAM l) const {
    return HandleAllocated() ? SendMessage(handle_, msg, w, l) : 0;
}

void TCustomComboBox::CreateHandleDone() {
    SendFont(false);
    items_->SendAll();
    SendMessage(handle_, CB_SETMINVISIBLE, WPARAM(drop_down_count_));
    if (max_length_ > 0) SendMessage(handle_, CB_LIMITTEXT, WPARAM(max_length_));
    if (item_index_ >= 0)
        SendMessage(handle_, CB_SETCURSEL, WPARAM(item_index_));
    else if (!text_.empty())
        ui::SetWindowText(handle_, text_);
    if (const HWND edit = EditHandle()) {
        edit_hook_ = SubclassWindow(edit, [this](HWND e, UINT msg, WPARAM w, LPARAM l, const NextProc& next) {
            TMessage m{msg, w, l, 0};
            EditMessage(e, m, next);
            return m.Result;
        });
    }
}

void TCustomComboBox::DestroyWnd() {
    if (HandleAllocated()) {
        item_index_ = ItemIndex();
        text_ = GetText();
        if (const HWND edit = EditHandle()) RemoveSubclass(edit, edit_hook_);
        edit_hook_ = 0;
    }
    TWinControl::DestroyWnd();
}

void TCustomComboBox::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc("COMBOBOX", handle_, m.Msg, m.WParam, m.LParam);
}

// Keys typed into the edit of an editable style are the combo box's key
// events (its dialog keys went to the form before they came here).
void TCustomComboBox::EditMessage(HWND edit, TMessage& m, const NextProc& next) {
    switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (DoKeyDown(m)) return;
        if (m.WParam == VK_RETURN && !DroppedDown()) EditDone();
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (DoKeyPress(m)) return;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (DoKeyUp(m)) return;
        break;
    default: break;
    }
    m.Result = next(edit, m.Msg, m.WParam, m.LParam);
}

HWND TCustomComboBox::EditHandle() const {
    COMBOBOXINFO info;
    if (!Combo(CB_GETCOMBOBOXINFO, 0, LPARAM(&info))) return 0;
    return info.hwndItem;
}

bool TCustomComboBox::Focused() const {
    if (!HandleAllocated()) return false;
    const HWND focus = GetFocus();
    return focus && (focus == handle_ || focus == EditHandle());
}

int TCustomComboBox::ItemIndex() const { return HandleAllocated() ? int(Combo(CB_GETCURSEL)) : item_index_; }

void TCustomComboBox::SetItemIndex(int v) {
    item_index_ = v >= 0 && v < items_->Count() ? v : -1;
    Combo(CB_SETCURSEL, WPARAM(item_index_));
}

std::string TCustomComboBox::GetText() const {
    if (HandleAllocated()) return GetWindowText(handle_);
    if (style_ == csDropDownList || style_ == csOwnerDrawFixed)
        return item_index_ >= 0 && item_index_ < items_->Count() ? items_->Get(item_index_) : std::string();
    return text_;
}

void TCustomComboBox::SetText(const std::string& v) {
    if (HandleAllocated()) {
        ui::SetWindowText(handle_, v);
        return;
    }
    text_ = v;
    if (style_ == csDropDownList || style_ == csOwnerDrawFixed) item_index_ = items_->IndexOf(v);
}

void TCustomComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

int TCustomComboBox::ItemHeight() const { return HandleAllocated() ? int(Combo(CB_GETITEMHEIGHT, 0)) : item_height_; }

void TCustomComboBox::SetItemHeight(int v) {
    if (v < 1) return;
    item_height_ = v;
    if (ComboStyleBits() & CBS_OWNERDRAWFIXED) Combo(CB_SETITEMHEIGHT, 0, v);
}

void TCustomComboBox::SetDropDownCount(int v) {
    drop_down_count_ = std::max(1, v);
    Combo(CB_SETMINVISIBLE, WPARAM(drop_down_count_));
}

bool TCustomComboBox::DroppedDown() const { return Combo(CB_GETDROPPEDSTATE) != 0; }

void TCustomComboBox::SetDroppedDown(bool v) {
    HandleNeeded();
    Combo(CB_SHOWDROPDOWN, v);
}

void TCustomComboBox::SetMaxLength(int v) {
    max_length_ = std::max(0, v);
    if (EditHandle()) Combo(CB_LIMITTEXT, WPARAM(max_length_));
}

int TCustomComboBox::SelStart() const { return int(Combo(CB_GETEDITSEL) & 0xFFFF); }
int TCustomComboBox::SelLength() const {
    const LRESULT r = Combo(CB_GETEDITSEL);
    return int((r >> 16) & 0xFFFF) - int(r & 0xFFFF);
}
void TCustomComboBox::SelectAll() { Combo(CB_SETEDITSEL, 0, MAKELPARAM(0, -1)); }

void TCustomComboBox::Clear() {
    items_->Clear();
    item_index_ = -1;
    SetText("");
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}
void TCustomComboBox::Select() {
    if (OnSelect) OnSelect(this);
}
void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}
void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DrawItem(int index, const TRect& rect, unsigned state) {
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    items_->DrawDefault(*canvas_, index, rect);
}

void TCustomComboBox::MeasureItem(int index, int& height) {
    if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        switch (m.WParam >> 16) {
        case CBN_SELCHANGE:
            Click();
            Select();
            Change();
            break;
        case CBN_EDITCHANGE: Change(); break;
        case CBN_DROPDOWN: DropDown(); break;
        case CBN_CLOSEUP: CloseUp(); break;
        case CBN_DBLCLK: DblClick(); break;
        case CBN_SETFOCUS:
            // Focus that came to the combo box or its edit from outside.
            if (TCustomForm* form = GetParentForm(this)) form->FocusChanged(this);
            if (OnEnter) OnEnter(this);
            break;
        case CBN_KILLFOCUS:
            if (EditHandle()) EditDone();
            if (OnExit) OnExit(this);
            break;
        default: break;
        }
        return;
    case CN_DRAWITEM:
    case CN_MEASUREITEM:
        OwnerDrawMessage(
            m, *canvas_, *this, item_height_, [this](int i, const TRect& r, unsigned s) { DrawItem(i, r, s); },
            [this](int i, int& height) { MeasureItem(i, height); });
        return;
    case CN_CTLCOLORLISTBOX: m.Result = ControlColors(m.WParam); return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // Entering and leaving are told by CBN_SETFOCUS and CBN_KILLFOCUS,
        // which pass over the moves between the combo box and its edit.
        DefaultHandler(m);
        return;
    case CM_FONTCHANGED: SendFont(true); break;
    default: break;
    }
    TWinControl::WndProc(m);
}

}  // namespace ui
