#pragma once
// What the screen test asks of the X server, apart from the window system's
// headers (Xlib's macros clash with them).
#include <string>

// Asks the window to close as a desktop does (WM_DELETE_WINDOW).
bool RequestXWindowClose(const std::string& display, unsigned long window);
