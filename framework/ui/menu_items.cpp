// TMenuItem: an item's properties, its children and the menu handle of the
// drop-down it opens, built from the visible children and built again
// whenever one of them changes.
#include <algorithm>

#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/menus.hpp"

namespace ui {

namespace {

// Commands run from 1 up; those from 60000 on belong to the system.
constexpr UINT kLastCommand = 59999;

UINT UniqueCommand() {
    auto& used = detail::Library().menu_commands;
    for (UINT c = 1; c <= kLastCommand; ++c) {
        if (c >= used.size()) used.resize(c + 1, false);
        if (!used[c]) {
            used[c] = true;
            return c;
        }
    }
    throw EOutOfResources("Too many menu items");
}

void ReleaseCommand(UINT c) {
    auto& used = detail::Library().menu_commands;
    if (c < used.size()) used[c] = false;
}

}  // namespace

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(UniqueCommand()) {}

TMenuItem::~TMenuItem() { TMenuItem::BeforeDestruction(); }

void TMenuItem::BeforeDestruction() {
    if (command_ == 0) return;  // done already
    Destroying();
    if (parent_) parent_->Remove(this);
    while (!items_.empty()) {
        TMenuItem* child = items_.back();
        items_.pop_back();
        child->parent_ = nullptr;
        Free(child);
    }
    if (HandleAllocated()) DestroyMenu(handle_);
    handle_ = 0;
    ReleaseCommand(std::exchange(command_, 0));
    TComponent::BeforeDestruction();
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError("Menu index out of bounds");
    return items_[size_t(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

int TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int index) {
    if (!parent_) return;
    TMenuItem* p = parent_;
    const int count = p->Count();
    index = std::clamp(index, 0, count - 1);
    if (index == MenuIndex()) return;
    p->items_.erase(p->items_.begin() + MenuIndex());
    p->items_.insert(p->items_.begin() + index, this);
    p->RebuildHandle();
    p->Changed();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    if (item->parent_) throw EInvalidOperation("Menu inserted twice");
    if (index < 0 || index > Count()) throw EListError("Menu index out of bounds");
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    RebuildHandle();
    Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    const int index = IndexOf(item);
    if (index < 0) return;
    items_.erase(items_.begin() + index);
    item->parent_ = nullptr;
    if (Has(csDestroying)) return;
    RebuildHandle();
    Changed();
}

void TMenuItem::Delete(int index) {
    TMenuItem* item = Items(index);
    Remove(item);
    Free(item);
}

void TMenuItem::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
    auto lower = [](std::string s) {
        for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string want = lower(StripHotkey(caption));
    for (TMenuItem* item : items_)
        if (lower(StripHotkey(item->caption_)) == want) return item;
    return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->parent_) root = root->parent_;
    return root->menu_;
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

// ---------------------------------------------------------------- the handle

MENUITEMINFO TMenuItem::ItemInfo() {
    MENUITEMINFO info;
    info.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_BITMAP;
    info.fType = caption_ == cLineCaption ? MFT_SEPARATOR : MFT_STRING;
    if (break_ == mbBreak) info.fType |= MFT_MENUBREAK;
    if (break_ == mbBarBreak) info.fType |= MFT_MENUBARBREAK;
    if (radio_item_) info.fType |= MFT_RADIOCHECK;
    if (checked_) info.fState |= MFS_CHECKED;
    if (!enabled_) info.fState |= MFS_GRAYED;
    if (default_) info.fState |= MFS_DEFAULT;
    info.wID = command_;
    info.hSubMenu = items_.empty() ? 0 : Handle();
    info.dwTypeData = caption_;
    if (const std::string text = ShortCutToText(shortcut_); !text.empty()) info.dwTypeData += "\t" + text;
    if (const TMenu* menu = GetParentMenu(); menu && menu->Images() && image_index_ >= 0) {
        info.hbmpItem = menu->Images()->ImageSurface(image_index_);
        info.hbmpMask = menu->Images()->MaskSurface(image_index_);
    }
    return info;
}

HMENU TMenuItem::Handle() {
    if (!HandleAllocated()) {
        handle_ = menu_ ? menu_->CreateMenuHandle() : CreatePopupMenu();
        for (TMenuItem* item : items_)
            if (item->visible_) InsertMenuItem(handle_, UINT(GetMenuItemCount(handle_)), true, item->ItemInfo());
    }
    return handle_;
}

void TMenuItem::RebuildHandle() {
    if (!HandleAllocated()) return;
    while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
    for (TMenuItem* item : items_)
        if (item->visible_) InsertMenuItem(handle_, UINT(GetMenuItemCount(handle_)), true, item->ItemInfo());
}

void TMenuItem::Changed(bool rebuild) {
    if (Has(csDestroying)) return;
    if (rebuild && parent_) parent_->RebuildHandle();
    if (TMenu* menu = GetParentMenu(); menu && !menu->Has(csDestroying)) menu->MenuChanged(this, rebuild);
}

// ---------------------------------------------------------------- properties

void TMenuItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    Changed();
}

void TMenuItem::TurnSiblingsOff() {
    if (!parent_) return;
    for (TMenuItem* item : parent_->items_)
        if (item != this && item->radio_item_ && item->group_index_ == group_index_) item->checked_ = false;
}

void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (v && radio_item_) TurnSiblingsOff();
    Changed();
}

void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Changed();
}

void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed();
}

void TMenuItem::SetDefault(bool v) {
    if (v == default_) return;
    if (v && parent_)
        for (TMenuItem* item : parent_->items_) item->default_ = false;
    default_ = v;
    Changed();
}

void TMenuItem::SetRadioItem(bool v) {
    if (v == radio_item_) return;
    radio_item_ = v;
    if (v && checked_) TurnSiblingsOff();
    Changed();
}

void TMenuItem::SetGroupIndex(uint8_t v) {
    if (v == group_index_) return;
    group_index_ = v;
    if (radio_item_ && checked_) TurnSiblingsOff();
    Changed();
}

void TMenuItem::SetBreak(TMenuBreak v) {
    if (v == break_) return;
    break_ = v;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut v) {
    if (v == shortcut_) return;
    shortcut_ = v;
    Changed();
}

void TMenuItem::SetImageIndex(int v) {
    if (v == image_index_) return;
    image_index_ = v;
    Changed();
}

}  // namespace ui
