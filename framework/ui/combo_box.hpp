#pragma once
// The combo box's standard class ("COMBOBOX"): a selection field (an edit in
// the editable styles, drawn by the class or its owner in the drop-down list
// style) over a list that is always shown (CBS_SIMPLE) or drops down in a
// window of its own ("ComboLBox") that holds the mouse while it is open.
// Changes go to the parent as WM_COMMAND with CBN_ codes and the combo box's
// handle in lParam; owner-drawn items are measured and drawn by the parent
// (owner_draw.hpp, ODT_COMBOBOX).
#include "framework/ui/list_box.hpp"
#include "framework/ui/window.hpp"

namespace ui {

// clang-format off
enum ComboBoxStyle : uint32_t {
    CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3, CBS_OWNERDRAWFIXED = 0x10,
    CBS_AUTOHSCROLL = 0x40, CBS_SORT = 0x100, CBS_HASSTRINGS = 0x200, CBS_NOINTEGRALHEIGHT = 0x400,
};
enum ComboBoxMessage : UINT {
    CB_GETEDITSEL = 0x140, CB_LIMITTEXT = 0x141, CB_SETEDITSEL = 0x142, CB_ADDSTRING = 0x143,
    CB_DELETESTRING = 0x144, CB_GETCOUNT = 0x146, CB_GETCURSEL = 0x147, CB_GETLBTEXT = 0x148,
    CB_GETLBTEXTLEN = 0x149, CB_INSERTSTRING = 0x14A, CB_RESETCONTENT = 0x14B, CB_FINDSTRING = 0x14C,
    CB_SELECTSTRING = 0x14D, CB_SETCURSEL = 0x14E, CB_SHOWDROPDOWN = 0x14F, CB_GETITEMDATA = 0x150,
    CB_SETITEMDATA = 0x151, CB_GETDROPPEDCONTROLRECT = 0x152, CB_SETITEMHEIGHT = 0x153,
    CB_GETITEMHEIGHT = 0x154, CB_GETDROPPEDSTATE = 0x157, CB_FINDSTRINGEXACT = 0x158, CB_GETTOPINDEX = 0x15B,
    CB_SETTOPINDEX = 0x15C, CB_GETDROPPEDWIDTH = 0x15F, CB_SETDROPPEDWIDTH = 0x160,
    CB_GETCOMBOBOXINFO = 0x164, CB_SETMINVISIBLE = 0x1701, CB_GETMINVISIBLE = 0x1702,
};
enum ComboBoxNotification : WPARAM {
    CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5,
    CBN_EDITUPDATE = 6, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8, CBN_SELENDOK = 9, CBN_SELENDCANCEL = 10,
};
// clang-format on
constexpr LRESULT CB_ERR = -1;

// The parts of a combo box (CB_GETCOMBOBOXINFO, lParam points to one):
// client coordinates of the field and the button; the edit (0 in the
// drop-down list style) and the list.
struct COMBOBOXINFO {
    TRect rcItem;
    TRect rcButton;
    bool buttonPressed = false;
    HWND hwndCombo = 0, hwndItem = 0, hwndList = 0;
};

// Item messages mirror the list box's (CB_GETLBTEXT fills a std::string as
// LB_GETTEXT does). CB_SETITEMHEIGHT with wParam UINT(-1) sets the selection
// field's height, with 0 the items'. A drop-down style keeps its window as
// high as its field; the list shows CB_SETMINVISIBLE items (8 by default).
// In the editable styles the selection is the item the edit's text came
// from: typing, or setting the text, leaves no item selected.
// F4, Alt+Down and Alt+Up open and close the list; while it is open the keys
// move in it, Enter takes the item and Escape goes back to the one selected
// before it opened.

}  // namespace ui
