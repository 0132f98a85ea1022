#pragma once
// The class library's part of the window system's state (detail/state.hpp):
// the screen, the application, the control of each window handle and the
// graphic control holding the mouse capture, and the hint window class.
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/ui/detail/state.hpp"
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
};

LibraryState& Library();

}  // namespace ui::detail
