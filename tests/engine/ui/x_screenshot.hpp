#pragma once
// A part of the X screen as 0x00RRGGBB pixels, row by row (kept apart from
// the window system's headers: Xlib's macros clash with them).
#include <cstdint>
#include <string>
#include <vector>

std::vector<uint32_t> GrabXScreen(const std::string& display, int x, int y, int width, int height);
