#pragma once
// The list box's standard class ("LISTBOX"): a column of items with one
// selected, a vertical scroll bar, keys and mouse, and owner-drawn items of a
// fixed height. The combo box's drop-down list ("ComboLBox", combo_box.hpp)
// is a list box of this class whose notifications go to the combo box.
#include <string>

#include "framework/ui/owner_draw.hpp"
#include "framework/ui/window.hpp"

namespace ui {

// clang-format off
enum ListBoxStyle : uint32_t {
    LBS_NOTIFY = 0x1, LBS_SORT = 0x2, LBS_NOREDRAW = 0x4, LBS_OWNERDRAWFIXED = 0x10, LBS_HASSTRINGS = 0x40,
    LBS_NOINTEGRALHEIGHT = 0x100, LBS_DISABLENOSCROLL = 0x1000, LBS_COMBOBOX = 0x8000,
};
enum ListBoxMessage : UINT {
    LB_ADDSTRING = 0x180, LB_INSERTSTRING = 0x181, LB_DELETESTRING = 0x182, LB_RESETCONTENT = 0x184,
    LB_SETCURSEL = 0x186, LB_GETCURSEL = 0x188, LB_GETTEXT = 0x189, LB_GETTEXTLEN = 0x18A, LB_GETCOUNT = 0x18B,
    LB_SELECTSTRING = 0x18C, LB_GETTOPINDEX = 0x18E, LB_FINDSTRING = 0x18F, LB_SETTOPINDEX = 0x197,
    LB_GETITEMRECT = 0x198, LB_GETITEMDATA = 0x199, LB_SETITEMDATA = 0x19A, LB_SETCARETINDEX = 0x19E,
    LB_GETCARETINDEX = 0x19F, LB_SETITEMHEIGHT = 0x1A0, LB_GETITEMHEIGHT = 0x1A1, LB_FINDSTRINGEXACT = 0x1A2,
    LB_ITEMFROMPOINT = 0x1A9,
};
enum ListBoxNotification : WPARAM {
    LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SELCANCEL = 3, LBN_SETFOCUS = 4, LBN_KILLFOCUS = 5,
};
// clang-format on
constexpr LRESULT LB_ERR = -1;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;

// Item texts are ANSI; LB_GETTEXT copies the text into the std::string its
// lParam points to (the text a C buffer would take, without the limit).
// LB_ADDSTRING and LB_INSERTSTRING take a `const char*`, or the item data for
// an owner-drawn list without LBS_HASSTRINGS. Messages that name an item
// answer LB_ERR for an index outside the list.

}  // namespace ui
