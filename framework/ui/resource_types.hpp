#pragma once
// The pictures of icons and cursors, and the cursor handle: what resources
// (resources.hpp) hand out, apart from the calls so that the window system's
// state and the display can hold them.
#include <cstdint>

#include "framework/ui/gdi.hpp"

namespace ui {

struct IconResource {
    SurfacePtr image, mask;  // mask white where transparent
};

struct CursorResource {
    SurfacePtr image, mask;  // mask white where transparent
    TPoint hotspot;
};

using HCURSOR = uint32_t;  // 0: none

}  // namespace ui
