#pragma once
// What the screen tests ask of the X server, apart from the window system's
// headers (Xlib's macros clash with them).
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// One connection to the server for the whole run. X errors (a window that
// has just gone away, an area off the screen) fail the call instead of
// ending the test process, as Xlib's own handler would.
class XConnection {
public:
    explicit XConnection(const std::string& display);
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool Opened() const { return display_ != nullptr; }
    // A part of the screen as 0x00RRGGBB pixels, row by row; empty when it cannot be read.
    std::vector<uint32_t> Grab(int x, int y, int width, int height);
    // Asks the window to close as a desktop does (WM_DELETE_WINDOW); false
    // when the window is no longer there.
    bool RequestClose(unsigned long window);
    // Whether the server repeats a key held down.
    bool RepeatsKeys();

private:
    void* display_ = nullptr;  // Display*
};

}  // namespace testing_support
