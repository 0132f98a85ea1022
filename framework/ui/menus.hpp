#pragma once
// The class library's menus: menu items with their captions, shortcuts,
// marks, breaks and states; the main menu a form shows as its menu bar; and
// popup menus, which the process-wide popup list's hidden window tracks and
// whose commands it dispatches.
//
// Every item has a unique command. A change to an item rebuilds its parent's
// menu handle and tells the menu (CM_MENUCHANGED to the form of a main menu,
// to the popup list's window for a popup menu).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ui/controls.hpp"
#include "framework/ui/menu_handles.hpp"

namespace ui {

constexpr UINT CM_MENUCHANGED = CM_BASE + 21;

// Shortcuts: the virtual key in the low byte, the modifiers above it.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;
TShortCut ShortCut(UINT key, TShiftState shift);
void ShortCutToKey(TShortCut shortcut, UINT& key, TShiftState& shift);
// "Ctrl+S", "Shift+F10", "Del"; empty for none or an unknown key.
std::string ShortCutToText(TShortCut shortcut);
// The shortcut a text names (modifiers in any order, case ignored); 0 when none.
TShortCut TextToShortCut(const std::string& text);

// Captions mark their accelerator with '&' ("&&" is an ampersand).
std::string StripHotkey(const std::string& caption);
char GetHotkey(const std::string& caption);  // upper case, 0 when none
// Whether the character is the caption's accelerator (case ignored).
bool IsAccel(UINT key, const std::string& caption);

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum TFindItemKind { fkCommand, fkHandle, fkShortCut };
inline constexpr const char* cLineCaption = "-";

class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }
    void BeforeDestruction() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool RadioItem() const { return radio_item_; }
    void SetRadioItem(bool v);
    // Checking a radio item unchecks the other radio items of its group.
    uint8_t GroupIndex() const { return group_index_; }
    void SetGroupIndex(uint8_t v);
    TMenuBreak Break() const { return break_; }
    void SetBreak(TMenuBreak v);
    TShortCut ShortCut() const { return shortcut_; }
    void SetShortCut(TShortCut v);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v) { hint_ = v; }
    int HelpContext = 0;
    // The image of the menu's Images shown beside the caption (-1: none).
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    TNotifyEvent OnClick;

    // The command of this item's WM_COMMAND; unique in the process.
    UINT Command() const { return command_; }
    // The handle of the drop-down this item opens (the menu's own handle for
    // a menu's root item); made with its items on first use.
    HMENU Handle();
    bool HandleAllocated() const { return handle_ != 0 && IsMenu(handle_); }
    int Count() const { return int(items_.size()); }
    TMenuItem* Items(int index) const;  // EListError out of range
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const;
    void SetMenuIndex(int index);
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out (it stays alive, the caller's now).
    void Remove(TMenuItem* item);
    // Takes the item out and frees it.
    void Delete(int index);
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    // The child whose caption (without its '&') is `caption`, case ignored.
    TMenuItem* Find(const std::string& caption) const;
    // The menu whose tree holds the item (nullptr when none).
    TMenu* GetParentMenu() const;
    virtual void Click();

private:
    friend class TMenu;
    // The item as its parent's menu handle shows it.
    MENUITEMINFO ItemInfo();
    void RebuildHandle();
    // The item changed: its parent's handle is built again and the menu told.
    void Changed(bool rebuild = true);
    void TurnSiblingsOff();

    std::string caption_;
    bool checked_ = false, enabled_ = true, visible_ = true, default_ = false, radio_item_ = false;
    uint8_t group_index_ = 0;
    TMenuBreak break_ = mbNone;
    TShortCut shortcut_ = 0;
    std::string hint_;
    int image_index_ = -1;
    UINT command_ = 0;
    HMENU handle_ = 0;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on a menu's root item
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    std::string ClassName() const override { return "TMenu"; }
    void BeforeDestruction() override;

    TMenuItem* Items() const { return items_; }
    virtual HMENU Handle() { return items_->Handle(); }
    // The window that gets the menu's messages.
    HWND WindowHandle() const { return window_; }
    virtual void SetWindowHandle(HWND h) { window_ = h; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);

    // Clicks the item with this command; false when the menu has none.
    bool DispatchCommand(UINT command);
    // Clicks the item whose drop-down is about to open; false when none.
    bool DispatchPopup(HMENU submenu);
    TMenuItem* FindItem(uintptr_t value, TFindItemKind kind) const;
    // Clicks the enabled item with this shortcut (its parents enabled and
    // visible); false when none.
    bool IsShortCut(UINT key, TShiftState shift);
    // WM_MENUCHAR: the position of the enabled item of drop-down `menu` whose
    // caption marks the character, with MNC_EXECUTE; 0 when none.
    LRESULT ProcessMenuChar(char c, HMENU menu) const;
    // Sets the application's hint for a WM_MENUSELECT; false when it names no item of this menu.
    bool MenuSelect(WPARAM w, LPARAM l) const;

    void Notification(TComponent* component, TOperation op) override;

protected:
    friend class TMenuItem;
    virtual HMENU CreateMenuHandle() { return CreatePopupMenu(); }
    // An item changed; `rebuild` when its menu handle was built again.
    virtual void MenuChanged(TMenuItem* source, bool rebuild);

private:
    TMenuItem* items_;
    HWND window_ = 0;
    TCustomImageList* images_ = nullptr;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
    std::string ClassName() const override { return "TMainMenu"; }

protected:
    HMENU CreateMenuHandle() override { return CreateMenu(); }
    // Lays the form's bar out again and tells the form (CM_MENUCHANGED).
    void MenuChanged(TMenuItem* source, bool rebuild) override;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;
    std::string ClassName() const override { return "TPopupMenu"; }

    bool AutoPopup = true;
    TPopupAlignment Alignment = paLeft;
    // The component that popped the menu up last (empty once it is freed).
    TComponent* PopupComponent() const { return popup_component_; }
    void SetPopupComponent(TComponent* c) { popup_component_ = c; }
    TPoint PopupPoint() const { return popup_point_; }

    // Pops the menu up with the alignment's corner at (x, y) (screen): OnPopup
    // runs, then the menu is tracked; a chosen item is clicked once its
    // command has come through the queue.
    virtual void Popup(int x, int y);
    TNotifyEvent OnPopup;

protected:
    void MenuChanged(TMenuItem* source, bool rebuild) override;

private:
    ComponentRef<TComponent> popup_component_;
    TPoint popup_point_;
};

// The popup list's hidden window (class "TPUtilWindow"): it owns the popup
// menus while they are tracked and dispatches their WM_COMMAND,
// WM_INITMENUPOPUP, WM_MENUSELECT and WM_MENUCHAR. Made on first use.
HWND PopupListWindow();
const std::vector<TPopupMenu*>& PopupMenus();

}  // namespace ui
