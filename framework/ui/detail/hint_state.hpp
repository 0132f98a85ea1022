#pragma once
// The application's hint state (application_hints.cpp): the hint window, the control
// whose hint is pending or showing, and the timers.
#include "framework/ui/hints.hpp"

namespace ui::detail {

struct HintState {
    Owned<THintWindow> window;
    THintWindowClass window_class = nullptr;  // the class `window` was made of
    TControl* control = nullptr;              // pending or showing
    bool showing = false;
    bool done = false;  // shown and hidden, or cancelled: no more until the pointer moves on
    UINT pause_timer = 0, hide_timer = 0;
    TPoint cursor;      // screen
    TRect cursor_rect;  // screen: the hint hides when the pointer leaves it
};

}  // namespace ui::detail
