#include "tests/engine/ui/x_screenshot.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::vector<uint32_t> GrabXScreen(const std::string& display, int x, int y, int width, int height) {
    std::vector<uint32_t> out;
    Display* d = XOpenDisplay(display.c_str());
    if (!d) return out;
    XSync(d, False);
    XImage* shot = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (shot) {
        out.reserve(size_t(width) * size_t(height));
        for (int yy = 0; yy < height; ++yy)
            for (int xx = 0; xx < width; ++xx) out.push_back(uint32_t(XGetPixel(shot, xx, yy)) & 0xFFFFFF);
        XDestroyImage(shot);
    }
    XCloseDisplay(d);
    return out;
}
