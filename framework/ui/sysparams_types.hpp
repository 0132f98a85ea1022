#pragma once
// The records the system parameters (sysparams.hpp) are read and set in,
// apart from the calls so that the window system's state can hold them.
#include "framework/ui/gdi.hpp"

namespace ui {

// What the system tells about non-client areas (its NONCLIENTMETRICS block).
struct NonClientMetrics {
    int border_width = 1;
    int scroll_width = 16, scroll_height = 16;
    int caption_width = 18, caption_height = 18;
    LogFont caption_font{"Tahoma", -11, true};
    int sm_caption_width = 12, sm_caption_height = 15;
    LogFont sm_caption_font{"Tahoma", -10, true};
    int menu_width = 18, menu_height = 18;
    LogFont menu_font{"Tahoma", -11};
    LogFont status_font{"Tahoma", -11};
    LogFont message_font{"Tahoma", -11};
};

enum : int { VER_PLATFORM_WIN32_WINDOWS = 1, VER_PLATFORM_WIN32_NT = 2 };
struct SystemVersion {
    int platform = VER_PLATFORM_WIN32_NT;
    int major = 5, minor = 1;
};

}  // namespace ui
