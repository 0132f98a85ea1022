#pragma once
// Top-level windows as real windows on the screen, through SDL2. The window
// system draws frames and captions itself, so the screen shows exactly the
// pixels a headless run draws.
#include <memory>

#include "framework/ui/window.hpp"

namespace ui {

class SdlDisplay;

// Opens the screen named by DISPLAY (or WAYLAND_DISPLAY); nullptr when there
// is none. Install the result with InstallDisplay and uninstall it before it goes.
std::unique_ptr<Display> OpenSdlDisplay();

}  // namespace ui
