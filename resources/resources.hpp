#pragma once
// The program's resources: the cursors "CV_HANDCUR" and "CV_DRAGCUR", the
// icon "MAINICON" (32 and 16 pixels), the button glyphs below, the menus'
// marks "CheckMark" and "RadioMark", and the date edit's and calendar's glyphs
// ("DEDITBMP", "PREV1", "PREV2", "NEXT1", "NEXT2"), registered with the window
// system by name.
#include <array>

namespace resources {

// Puts every resource in the window system's tables; calling it again does no harm.
void RegisterProgramResources();

// 16 by 16 glyphs on a fuchsia ground (the bottom-left pixel, so the
// transparent colour), one cell each: the navigator's actions.
constexpr std::array<const char*, 10> kNavigatorGlyphs = {
    "CV_FIRST",  "CV_PRIOR", "CV_NEXT", "CV_LAST",   "CV_INSERT",
    "CV_DELETE", "CV_EDIT",  "CV_POST", "CV_CANCEL", "CV_REFRESH",
};

namespace detail {
void RegisterCursors();
void RegisterIcons();
void RegisterGlyphs();
void RegisterMenuMarks();
void RegisterDateGlyphs();
}  // namespace detail

}  // namespace resources
