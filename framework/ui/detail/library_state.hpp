#pragma once
// The class library's part of the window system's state (detail/state.hpp):
// the screen, the application, the control of each window handle and the
// graphic control holding the mouse capture, the hint window class, and the
// accelerator tables.
#include <map>
#include <unordered_map>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/dropdown.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/hints.hpp"
#include "framework/ui/menus.hpp"
#include "framework/ui/ole_frame.hpp"

namespace ui::detail {

struct LibraryState {
    TControl* capture_control = nullptr;
    std::unordered_map<HWND, TWinControl*> handles;
    TScreen screen;
    // A registration: kept by a reset, like window classes.
    THintWindowClass hint_window_class = &NewHintWindow<THintWindow>;
    TApplication application;
    std::vector<TDropDownWindow*> drop_downs;  // open now
    // Menus: the commands in use (kept by a reset, with the items holding
    // them), the popup menus and the popup list's window.
    std::vector<bool> menu_commands;
    std::vector<TPopupMenu*> popup_menus;
    HWND popup_window = 0;
    // Accelerator tables; a reset drops them and keeps the count, so a stale
    // handle never names a new table.
    std::map<ole::HACCEL, std::vector<ACCEL>> accelerators;
    ole::HACCEL next_accelerator = 1;
};

inline LibraryState& Library() { return *Ui().library; }

}  // namespace ui::detail
