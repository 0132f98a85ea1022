#pragma once
// The main window's menus: the main menu (File, View, Help) and the grid's
// popup menu, drawn with a banner as the program's main window draws it.
#include "controls/menus97.hpp"
#include "framework/ui/menus.hpp"

namespace demo {

class TMainWindow;

struct MainWindowMenus {
    ui::TMainMenu* main = nullptr;
    ui::TMenuItem* back_up = nullptr;      // File: "Back up to folder…", as the tools' button
    ui::TMenuItem* exit = nullptr;         // File: "Exit"
    ui::TMenuItem* row_colours = nullptr;  // View: debits, credits and transfers in their colours
    ui::TPopupMenu* grid_popup = nullptr;
    controls::TPopupMenus97* grid_look = nullptr;
};

// Builds the menus on the window (which owns them) and attaches them.
MainWindowMenus AddMainWindowMenus(TMainWindow* window);

}  // namespace demo
