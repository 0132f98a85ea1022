#pragma once
// Owner drawing: a list, a combo box (or a menu) asks its owner how high its
// items are (WM_MEASUREITEM) and has the owner draw them (WM_DRAWITEM), with
// a pointer to the structure in lParam. The class library hands both back to
// the control they came from as CN_MEASUREITEM and CN_DRAWITEM.
#include <cstdint>

#include "framework/ui/gdi.hpp"
#include "framework/ui/window.hpp"

namespace ui {

enum : UINT { WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C };

// The kind of control an item belongs to.
enum : UINT { ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4 };
// What to draw.
enum : UINT { ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
// The item's state; ODS_COMBOBOXEDIT marks a combo box's selection field.
enum : UINT {
    ODS_SELECTED = 0x1,
    ODS_GRAYED = 0x2,
    ODS_DISABLED = 0x4,
    ODS_CHECKED = 0x8,
    ODS_FOCUS = 0x10,
    ODS_DEFAULT = 0x20,
    ODS_COMBOBOXEDIT = 0x1000,
};

struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;  // UINT(-1): a combo box's selection field
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    uintptr_t itemData = 0;
};

struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;  // UINT(-1): no item (an empty list's focus, an empty selection field)
    UINT itemAction = ODA_DRAWENTIRE;
    UINT itemState = 0;
    HWND hwndItem = 0;  // the control (for a combo box's list, the combo box)
    DC* hDC = nullptr;
    TRect rcItem;
    uintptr_t itemData = 0;
};

}  // namespace ui
