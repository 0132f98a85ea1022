#pragma once
// Menus of the window system: menu handles and their items, a window's menu
// bar (in the non-client area, below the title bar), drop-down windows, and
// the menu loop that tracks them with the mouse and the keys.
//
// The loop runs inside TrackPopupMenu, or inside the default handling of
// WM_SYSCOMMAND (SC_MOUSEMENU for a press on the bar, SC_KEYMENU for Alt,
// F10 or Alt+letter). It tells the window that owns the menu what happens,
// in this order: WM_ENTERMENULOOP, WM_INITMENU, WM_INITMENUPOPUP before each
// drop-down opens, WM_MEASUREITEM for owner-drawn items when they are laid
// out, WM_DRAWITEM when they are painted, WM_MENUSELECT when the selection
// moves (flags 0xFFFF and no menu when the menu closes), WM_MENUCHAR for a
// character no item's mnemonic matches, WM_ENTERIDLE when nothing waits,
// WM_UNINITMENUPOPUP as each drop-down closes, WM_EXITMENULOOP, and last the
// chosen item's WM_COMMAND (posted; TPM_RETURNCMD returns it instead).
// Input goes to the loop, everything else is dispatched as usual. A loop that
// nothing can end any more (no display, timer or message on its way) gives
// up: the menu closes with nothing chosen.
#include <string>
#include <vector>

#include "framework/ui/menu_types.hpp"
#include "framework/ui/owner_draw.hpp"

namespace ui {

// ---------------------------------------------------------------- handles and items

HMENU CreateMenu();       // for a menu bar
HMENU CreatePopupMenu();  // for a drop-down
// Destroys the menu and its drop-downs, recursively.
bool DestroyMenu(HMENU menu);
bool IsMenu(HMENU menu);

// `id_or_popup` is the item's command, or with MF_POPUP the drop-down's
// handle. `text` is the item's text; with MF_OWNERDRAW the item has no text
// and `data` is its item data.
bool AppendMenu(HMENU menu, UINT flags, uintptr_t id_or_popup, const std::string& text, uintptr_t data = 0);
bool InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_popup, const std::string& text,
                uintptr_t data = 0);
// Changes the item's type, state, text and data as a new item would get
// them. An item that opens a drop-down keeps it unless MF_POPUP names one.
bool ModifyMenu(HMENU menu, UINT position, UINT flags, uintptr_t id_or_popup, const std::string& text,
                uintptr_t data = 0);
// RemoveMenu keeps the item's drop-down; DeleteMenu destroys it.
bool RemoveMenu(HMENU menu, UINT position, UINT flags);
bool DeleteMenu(HMENU menu, UINT position, UINT flags);
bool InsertMenuItem(HMENU menu, UINT item, bool by_position, const MENUITEMINFO& info);
bool SetMenuItemInfo(HMENU menu, UINT item, bool by_position, const MENUITEMINFO& info);
bool GetMenuItemInfo(HMENU menu, UINT item, bool by_position, MENUITEMINFO& info);

int GetMenuItemCount(HMENU menu);  // -1 for a handle that is no menu
// The command at a position; UINT(-1) for an item that opens a drop-down or
// no item.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The item's MF_ state and type bits, for a drop-down item with its item
// count in the high byte; UINT(-1) for no item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// The item's text; empty for no item.
std::string GetMenuString(HMENU menu, UINT item, UINT flags);
// The previous MF_CHECKED state, or UINT(-1) for no item.
UINT CheckMenuItem(HMENU menu, UINT item, UINT flags);
// The previous MF_GRAYED | MF_DISABLED state, or UINT(-1) for no item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// Checks `check` with a radio mark and unchecks the others from first to last.
bool CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// The item shown as the default (bold); UINT(-1): none.
bool SetMenuDefaultItem(HMENU menu, UINT item, bool by_position);
UINT GetMenuDefaultItem(HMENU menu, bool by_position);
// Where the item is on the screen while its menu is shown (a bar or an
// open drop-down); false otherwise.
bool GetMenuItemRect(HWND hwnd, HMENU menu, UINT position, TRect& screen);

// ---------------------------------------------------------------- the menu bar

// Gives a top-level window a menu bar (0 takes it away); the frame makes
// room for it below the title bar.
bool SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
// Lays the bar out again (its height too) and paints it.
bool DrawMenuBar(HWND hwnd);
// The bar's place in window coordinates; empty without a menu bar.
TRect GetMenuBarRect(HWND hwnd);
// The bar's height as laid out: the menu metric, or the highest owner-drawn item.
int GetMenuBarHeight(HWND hwnd);
// Shows a bar item selected (MF_HILITE) or not.
bool HiliteMenuItem(HWND hwnd, HMENU menu, UINT item, UINT flags);

// ---------------------------------------------------------------- the menu loop

// Shows the drop-down at (x, y) (screen) and tracks it until an item is
// chosen or the menu closes. With TPM_RETURNCMD the result is the command
// chosen (0 for none); otherwise the command goes to `owner` as WM_COMMAND
// and the result tells whether one was chosen. 0 when a menu is tracked
// already, `owner` is no window or `menu` no menu.
UINT TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
// Ends the menu loop that runs, with nothing chosen.
bool EndMenu();
// The menu the loop is tracking (a bar or a drop-down), 0 when none.
HMENU TrackedMenu();
// The drop-down windows open, the first opened first.
std::vector<HWND> OpenMenuWindows();

// Message filters: the menu loop hands each message it takes to them
// (code MSGF_MENU) before it handles it; a filter that returns true takes the
// message, and the loop drops it. The newest filter goes first
// (MessageFilterProc, HHOOK).
HHOOK SetMessageFilterHook(MessageFilterProc proc);
bool UnhookMessageFilter(HHOOK hook);
// Runs the filters on a message; true when one took it.
bool CallMessageFilter(MSG& msg, int code);

}  // namespace ui
