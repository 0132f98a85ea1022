#pragma once
// What the menu files of the window system share: the menus and their items,
// the layout of drop-downs and bars, and the loop tracking them. The store
// lives in the desktop, so a reset drops every menu with the windows.
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/menu_types.hpp"

namespace ui::detail {

struct MenuItemRec {
    UINT type = MFT_STRING;  // MFT_ bits
    UINT state = 0;          // MFS_ bits
    UINT id = 0;
    HMENU sub = 0;
    std::string text;
    uintptr_t data = 0;
    SurfacePtr bitmap, mask;
    TRect rect;          // laid out: client coordinates of the drop-down, window coordinates of the bar
    int shortcut_x = 0;  // laid out: where the shortcut's text starts, from the item's left
};

struct MenuRec {
    HMENU handle = 0;
    bool popup = false;
    std::vector<MenuItemRec> items;
    HWND window = 0;      // the drop-down window showing it while it is open
    HWND bar_owner = 0;   // the window whose bar it is
    HWND owner = 0;       // the window drawing its owner-drawn items while it is open
    int open_index = -1;  // a bar's item whose drop-down is open
    bool laid_out = false;
    TSize size;  // the drop-down's client size as laid out
};

struct MessageFilter {
    HHOOK id = 0;
    MessageFilterProc proc;
};

struct MenuTracker;  // menu_loop.cpp

struct MenuStore {
    std::unordered_map<HMENU, std::unique_ptr<MenuRec>> menus;
    std::vector<MessageFilter> filters;  // newest last
    HHOOK next_filter = 1;
    MenuTracker* tracker = nullptr;  // the loop that runs
    bool alt_alone = false;          // Alt's press came to the default handling (and Desktop::last_pressed
                                     // tells whether another key went down since)
};

MenuStore& Menus();
MenuRec* FindMenu(HMENU h);
// The item at `item` (a command, searched in drop-downs too, or a position);
// the menu holding it comes back in `owner`.
MenuItemRec* FindItem(HMENU h, UINT item, bool by_position, MenuRec** owner = nullptr, int* index = nullptr);
// Marks the menu for laying out again.
void MenuChanged(MenuRec& m);

// menu_layout.cpp
// The font and sizes drop-downs and bars use.
FontPtr MenuFont(bool bold = false);
int MenuCheckWidth();
// Lays a drop-down out (WM_MEASUREITEM to `owner` for owner-drawn items).
void LayoutPopup(MenuRec& m, HWND owner);
// Lays a bar out in the window `w` (item places in window coordinates) and
// returns its height.
int LayoutBar(MenuRec& m, HWND hwnd, const TRect& bar);
// Paints one item (WM_DRAWITEM to `owner` for owner-drawn ones) into `dc`.
void DrawMenuItem(DC& dc, MenuRec& m, int index, HWND owner, bool bar, bool open);
// The separator between columns of a bar break, at the column's left edge.
void DrawBarBreaks(DC& dc, const MenuRec& m);
// The item under a point (client coordinates of a drop-down, window
// coordinates of a bar); -1 for none.
int MenuItemAt(const MenuRec& m, TPoint p);
// The character an item's text marks with '&' (lower case), 0 for none.
char MnemonicOf(const std::string& text);

// menu_window.cpp
HWND CreateMenuWindow(MenuRec& m, TPoint screen);
void DestroyMenuWindow(MenuRec& m);
void InvalidateMenuItem(MenuRec& m, int index);
// The bar's rectangle in window coordinates (empty without a menu).
TRect BarRect(const Win& w);
// Paints the bar into the frame's DC (window coordinates).
void PaintMenuBar(HWND hwnd, DC& dc);
// Lays the bar out again and records its height in the window.
void RecalcMenuBar(HWND hwnd);

// menu_loop.cpp
// WM_SYSCOMMAND's SC_MOUSEMENU and SC_KEYMENU, and the keys that lead there.
void TrackMenuBar(HWND hwnd, WPARAM command, LPARAM l);
// DefWindowProc's part: Alt, F10 and Alt+letter open the bar.
bool MenuKey(HWND hwnd, UINT msg, WPARAM w);

}  // namespace ui::detail
