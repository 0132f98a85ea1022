#pragma once
// The class library's part of the window system's state (detail/state.hpp):
// the screen, the application, the control of each window handle and the
// graphic control holding the mouse capture, and the hint window class.
#include <unordered_map>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/dropdown.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/hints.hpp"

namespace ui::detail {

struct LibraryState {
    TControl* capture_control = nullptr;
    std::unordered_map<HWND, TWinControl*> handles;
    TScreen screen;
    // A registration: kept by a reset, like window classes.
    THintWindowClass hint_window_class = &NewHintWindow<THintWindow>;
    TApplication application;
    std::vector<TDropDownWindow*> drop_downs;  // open now
};

inline LibraryState& Library() { return *Ui().library; }

}  // namespace ui::detail
