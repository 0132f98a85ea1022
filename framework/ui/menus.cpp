// Menus of the class library: TMenu's dispatching, the main menu, popup
// menus and the popup list's window. A form's part is in form_menus.cpp.
#include <algorithm>

#include "framework/ui/application.hpp"
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/menus.hpp"

namespace ui {

// ---------------------------------------------------------------- TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(this)) { items_->menu_ = this; }

TMenu::~TMenu() { TMenu::BeforeDestruction(); }

void TMenu::BeforeDestruction() {
    if (Has(csDestroying) && !items_) return;
    Destroying();
    SetImages(nullptr);
    TComponent::BeforeDestruction();  // frees the root item, its handle and its children
    items_ = nullptr;
}

void TMenu::SetImages(TCustomImageList* images) {
    if (images == images_) return;
    if (images_) images_->RemoveFreeNotification(this);
    images_ = images;
    if (images_) images_->FreeNotification(this);
    if (items_ && items_->HandleAllocated() && !Has(csDestroying)) {
        // Every level shows the new pictures.
        std::function<void(TMenuItem*)> rebuild = [&](TMenuItem* item) {
            item->RebuildHandle();
            for (TMenuItem* child : item->items_) rebuild(child);
        };
        rebuild(items_);
        MenuChanged(nullptr, true);
    }
}

void TMenu::Notification(TComponent* component, TOperation op) {
    TComponent::Notification(component, op);
    if (op == TOperation::opRemove && component == images_) SetImages(nullptr);
}

TMenuItem* TMenu::FindItem(uintptr_t value, TFindItemKind kind) const {
    if (!items_) return nullptr;
    std::function<TMenuItem*(TMenuItem*)> find = [&](TMenuItem* item) -> TMenuItem* {
        const bool match = kind == fkCommand ? item != items_ && item->Command() == value
            : kind == fkHandle               ? item->HandleAllocated() && item->handle_ == value
                                             : item != items_ && value != 0 && item->ShortCut() == value;
        if (match) return item;
        for (TMenuItem* child : item->items_)
            if (TMenuItem* found = find(child)) return found;
        return nullptr;
    };
    return find(items_);
}

bool TMenu::DispatchCommand(UINT command) {
    TMenuItem* item = FindItem(command, fkCommand);
    if (!item) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchPopup(HMENU submenu) {
    TMenuItem* item = FindItem(submenu, fkHandle);
    if (!item) return false;
    item->Click();
    return true;
}

bool TMenu::IsShortCut(UINT key, TShiftState shift) {
    const TShortCut wanted = ShortCut(key, shift & (ssShift | ssCtrl | ssAlt));
    TMenuItem* item = FindItem(wanted, fkShortCut);
    if (!item) return false;
    for (TMenuItem* i = item; i && i != items_; i = i->Parent())
        if (!i->Enabled() || !i->Visible()) return false;
    item->Click();
    return true;
}

LRESULT TMenu::ProcessMenuChar(char c, HMENU menu) const {
    const TMenuItem* parent = FindItem(menu, fkHandle);
    if (!parent) return 0;
    int position = 0;
    for (const TMenuItem* item : parent->items_) {
        if (!item->Visible()) continue;
        if (item->Enabled() && IsAccel(uint8_t(c), item->Caption())) return MAKELRESULT(position, MNC_EXECUTE);
        ++position;
    }
    return 0;
}

bool TMenu::MenuSelect(WPARAM w, LPARAM l) const {
    const int id = LOWORD(w), flags = HIWORD(w);
    if (flags == 0xFFFF && l == 0) return false;  // the menu closed
    const TMenuItem* item =
        (flags & MF_POPUP) ? FindItem(GetSubMenu(HMENU(l), id), fkHandle) : FindItem(UINT(id), fkCommand);
    if (!item) return false;
    Application().SetHint(GetLongHint(item->Hint()));
    return true;
}

void TMenu::MenuChanged(TMenuItem*, bool) {}

// ---------------------------------------------------------------- main menu

void TMainMenu::MenuChanged(TMenuItem* source, bool rebuild) {
    TMenu::MenuChanged(source, rebuild);
    if (WindowHandle() && IsWindow(WindowHandle())) SendMessage(WindowHandle(), CM_MENUCHANGED, 0, LPARAM(source));
}

// ---------------------------------------------------------------- popup menus

namespace {

bool Listed(TPopupMenu* menu) {
    const auto& list = detail::Library().popup_menus;
    return std::find(list.begin(), list.end(), menu) != list.end();
}

// The popup list's window: the popup menus' messages.
void PopupListProc(TMessage& m) {
    // A copy: a click may free popup menus.
    const std::vector<TPopupMenu*> menus = detail::Library().popup_menus;
    switch (m.Msg) {
    case WM_COMMAND:
        for (TPopupMenu* p : menus)
            if (Listed(p) && p->DispatchCommand(UINT(LOWORD(m.WParam)))) return;
        break;
    case WM_INITMENUPOPUP:
        for (TPopupMenu* p : menus)
            if (Listed(p) && p->DispatchPopup(HMENU(m.WParam))) return;
        break;
    case WM_MENUSELECT:
        for (TPopupMenu* p : menus)
            if (Listed(p) && p->MenuSelect(m.WParam, m.LParam)) return;
        Application().SetHint("");
        return;
    case WM_MENUCHAR:
        for (TPopupMenu* p : menus)
            if (Listed(p))
                if (const LRESULT r = p->ProcessMenuChar(char(LOWORD(m.WParam)), HMENU(m.LParam))) {
                    m.Result = r;
                    return;
                }
        break;
    default: break;
    }
    m.Result = DefWindowProc(detail::Library().popup_window, m.Msg, m.WParam, m.LParam);
}

}  // namespace

HWND PopupListWindow() {
    HWND& window = detail::Library().popup_window;
    if (!IsWindow(window)) window = AllocateHWnd(PopupListProc);
    return window;
}

const std::vector<TPopupMenu*>& PopupMenus() { return detail::Library().popup_menus; }

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
    detail::Library().popup_menus.push_back(this);
    PopupListWindow();  // there while any popup menu is
}

TPopupMenu::~TPopupMenu() {
    auto& list = detail::Library().popup_menus;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TPopupMenu::Popup(int x, int y) {
    popup_point_ = {x, y};
    if (OnPopup) OnPopup(this);
    const UINT align = Alignment == paRight ? TPM_RIGHTALIGN : Alignment == paCenter ? TPM_CENTERALIGN : TPM_LEFTALIGN;
    const HWND window = PopupListWindow();
    SetWindowHandle(window);
    TrackPopupMenu(Items()->Handle(), align | TPM_RIGHTBUTTON, x, y, window);
}

void TPopupMenu::MenuChanged(TMenuItem* source, bool rebuild) {
    TMenu::MenuChanged(source, rebuild);
    const HWND window = detail::Library().popup_window;
    if (IsWindow(window)) SendMessage(window, CM_MENUCHANGED, 0, LPARAM(source));
}

}  // namespace ui
