#pragma once
// Owner-drawn items: what WM_MEASUREITEM and WM_DRAWITEM hand to the window
// that owns a menu, a list or a combo box: the item, its data, the place and
// state. The class library hands a control's back to the control as
// CN_MEASUREITEM and CN_DRAWITEM.
#include <cstdint>

#include "framework/ui/window.hpp"

namespace ui {

enum : UINT { WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C };

// What the item belongs to.
enum : UINT { ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4 };
// What to draw.
enum : UINT { ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
// The item's state; ODS_COMBOBOXEDIT marks a combo box's selection field.
// clang-format off
enum : UINT {
    ODS_SELECTED = 0x1, ODS_GRAYED = 0x2, ODS_DISABLED = 0x4, ODS_CHECKED = 0x8, ODS_FOCUS = 0x10,
    ODS_DEFAULT = 0x20, ODS_HOTLIGHT = 0x40, ODS_INACTIVE = 0x80, ODS_NOACCEL = 0x100, ODS_COMBOBOXEDIT = 0x1000,
};
// clang-format on

// WM_MEASUREITEM's LParam; WParam is the control's identifier (0 for menus).
// The receiver fills in the size.
struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;  // UINT(-1): a combo box's selection field
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    uintptr_t itemData = 0;
};

// WM_DRAWITEM's LParam. For a menu, hwndItem is the menu's handle, hDC a DC
// on the menu's window (client coordinates for a drop-down, window
// coordinates for a menu bar) and rcItem the item's place there. For a list
// or a combo box hwndItem is the control (the combo box for its list's
// items), and itemID UINT(-1) stands for no item.
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    uint32_t hwndItem = 0;
    DC* hDC = nullptr;
    TRect rcItem;
    uintptr_t itemData = 0;
};

}  // namespace ui
