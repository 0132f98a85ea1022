#pragma once
// What menus are spoken of in: handles, messages, item flags and states,
// MENUITEMINFO and the message filters' procedure. Apart from the calls of
// menu_handles.hpp so that the menus' own state can hold them.
#include <cstdint>
#include <functional>
#include <string>

#include "framework/ui/window.hpp"

namespace ui {

using HMENU = uint32_t;  // 0: none; handles are never reused

// clang-format off
enum : UINT {
    WM_CONTEXTMENU = 0x007B, WM_INITMENU = 0x0116, WM_INITMENUPOPUP = 0x0117, WM_MENUSELECT = 0x011F,
    WM_MENUCHAR = 0x0120, WM_ENTERIDLE = 0x0121, WM_UNINITMENUPOPUP = 0x0125, WM_ENTERMENULOOP = 0x0211,
    WM_EXITMENULOOP = 0x0212,
};
enum : WPARAM { SC_MOUSEMENU = 0xF090, SC_KEYMENU = 0xF100 };
enum : LRESULT { HTMENU = 5 };

// Item flags of AppendMenu, InsertMenu, ModifyMenu and the state queries.
enum MenuFlags : UINT {
    MF_BYCOMMAND = 0x0, MF_BYPOSITION = 0x400,
    MF_STRING = 0x0, MF_ENABLED = 0x0, MF_UNCHECKED = 0x0,
    MF_GRAYED = 0x1, MF_DISABLED = 0x2, MF_BITMAP = 0x4, MF_CHECKED = 0x8, MF_POPUP = 0x10,
    MF_MENUBARBREAK = 0x20, MF_MENUBREAK = 0x40, MF_HILITE = 0x80, MF_OWNERDRAW = 0x100,
    MF_SEPARATOR = 0x800, MF_DEFAULT = 0x1000, MF_SYSMENU = 0x2000, MF_RIGHTJUSTIFY = 0x4000,
    MF_MOUSESELECT = 0x8000,
};
// Types and states of MENUITEMINFO (the same bits as the flags above).
enum : UINT {
    MFT_STRING = 0x0, MFT_BITMAP = 0x4, MFT_MENUBARBREAK = 0x20, MFT_MENUBREAK = 0x40, MFT_OWNERDRAW = 0x100,
    MFT_RADIOCHECK = 0x200, MFT_SEPARATOR = 0x800, MFT_RIGHTJUSTIFY = 0x4000,
    MFS_ENABLED = 0x0, MFS_GRAYED = 0x3, MFS_DISABLED = 0x3, MFS_CHECKED = 0x8, MFS_HILITE = 0x80,
    MFS_DEFAULT = 0x1000,
};
// Which fields of MENUITEMINFO are read or written.
enum : UINT {
    MIIM_STATE = 0x1, MIIM_ID = 0x2, MIIM_SUBMENU = 0x4, MIIM_TYPE = 0x10, MIIM_DATA = 0x20,
    MIIM_STRING = 0x40, MIIM_BITMAP = 0x80, MIIM_FTYPE = 0x100,
};
// TrackPopupMenu's flags.
enum : UINT {
    TPM_LEFTALIGN = 0x0, TPM_CENTERALIGN = 0x4, TPM_RIGHTALIGN = 0x8, TPM_TOPALIGN = 0x0,
    TPM_VCENTERALIGN = 0x10, TPM_BOTTOMALIGN = 0x20, TPM_LEFTBUTTON = 0x0, TPM_RIGHTBUTTON = 0x2,
    TPM_NONOTIFY = 0x80, TPM_RETURNCMD = 0x100,
};
// WM_MENUCHAR's answer, in its high word: ignore the character (and beep),
// close the menu, choose the item whose position is in the low word, or
// select it.
enum : UINT { MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3 };
// The code message filters get.
enum : int { MSGF_DIALOGBOX = 0, MSGF_MENU = 2 };
// clang-format on

constexpr LRESULT MAKELRESULT(int lo, int hi) { return LRESULT(MAKELPARAM(lo, hi)); }
constexpr int LOWORD(uintptr_t v) { return int(v & 0xFFFF); }
constexpr int HIWORD(uintptr_t v) { return int((v >> 16) & 0xFFFF); }

// One item as InsertMenuItem, SetMenuItemInfo and GetMenuItemInfo see it;
// fMask says which fields count.
struct MENUITEMINFO {
    UINT fMask = 0;
    UINT fType = 0;   // MFT_ bits
    UINT fState = 0;  // MFS_ bits
    UINT wID = 0;     // the command
    HMENU hSubMenu = 0;
    uintptr_t dwItemData = 0;
    std::string dwTypeData;  // the text (tab: the shortcut's text follows)
    SurfacePtr hbmpItem;     // a picture beside the text, in the check mark's place
    SurfacePtr hbmpMask;     // white where the picture is transparent (none: opaque)
};

// A message filter (menu_handles.hpp) and its handle.
using MessageFilterProc = std::function<bool(int code, MSG& msg)>;
using HHOOK = uint64_t;

}  // namespace ui
