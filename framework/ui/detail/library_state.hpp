#pragma once
// The class library's part of the window system's state (detail/state.hpp):
// the screen, the application, the control of each window handle and the
// graphic control holding the mouse capture, the hint window class, the
// accelerator tables and the help slots.
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/ui/accelerators.hpp"
#include "framework/ui/detail/state.hpp"
#include "framework/ui/help.hpp"
#include "framework/ui/hints.hpp"

namespace ui {
class TApplication;
class TDropDownWindow;
class TPopupMenu;
class TScreen;
}  // namespace ui

namespace ui::detail {

struct LibraryState final : LibraryPart {
    LibraryState();
    ~LibraryState() override;
    void Reset() override;
    void ShuttingDown() override;

    TControl* capture_control = nullptr;
    std::unordered_map<HWND, TWinControl*> handles;
    std::unique_ptr<TScreen> screen;
    // A registration: kept by a reset, like window classes.
    THintWindowClass hint_window_class = &NewHintWindow<THintWindow>;
    std::unique_ptr<TApplication> application;
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
    THelpEvent help_event;    // the application's (help.hpp)
    THelpEngine help_engine;  // the framework's own
};

LibraryState& Library();

}  // namespace ui::detail
