#pragma once
// The class library's part of the window system's state (detail/state.hpp):
// the screen, the application, the control of each window handle and the
// graphic control holding the mouse capture.
#include <unordered_map>

#include "framework/ui/detail/state.hpp"
#include "framework/ui/forms.hpp"

namespace ui::detail {

struct LibraryState {
    TControl* capture_control = nullptr;
    std::unordered_map<HWND, TWinControl*> handles;
    TScreen screen;
    TApplication application;
};

inline LibraryState& Library() { return *Ui().library; }

}  // namespace ui::detail
