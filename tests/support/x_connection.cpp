#include "tests/support/x_connection.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testing_support {
namespace {

int last_error = 0;

int NoteError(Display*, XErrorEvent* e) {
    last_error = e->error_code;
    return 0;
}

Display* Of(void* d) { return static_cast<Display*>(d); }

}  // namespace

XConnection::XConnection(const std::string& display) {
    XSetErrorHandler(NoteError);
    display_ = XOpenDisplay(display.c_str());
}

XConnection::~XConnection() {
    if (display_) XCloseDisplay(Of(display_));
}

std::vector<uint32_t> XConnection::Grab(int x, int y, int width, int height) {
    std::vector<uint32_t> out;
    if (!display_ || width <= 0 || height <= 0) return out;
    Display* d = Of(display_);
    XSync(d, False);
    XImage* shot = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!shot) return out;
    out.reserve(size_t(width) * size_t(height));
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx) out.push_back(uint32_t(XGetPixel(shot, xx, yy)) & 0xFFFFFF);
    XDestroyImage(shot);
    return out;
}

bool XConnection::RequestClose(unsigned long window) {
    if (!display_) return false;
    Display* d = Of(display_);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    last_error = 0;
    const Status sent = XSendEvent(d, window, False, NoEventMask, &e);
    XSync(d, False);  // a BadWindow comes back here, to NoteError
    return sent != 0 && last_error == 0;
}

bool XConnection::RepeatsKeys() {
    if (!display_) return false;
    XKeyboardState state;
    XGetKeyboardControl(Of(display_), &state);
    return state.global_auto_repeat == AutoRepeatModeOn;
}

}  // namespace testing_support
