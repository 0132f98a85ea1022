#pragma once
// The desktop on a real X server (Xvfb) on real time, driven by real X input
// (xdotool): the display opened on the server, the loop run until what a
// test waits for holds, and the screen read back to see that the server
// shows a window as it is drawn.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/ui/sdl_display.hpp"
#include "tests/support/ui_fixture.hpp"
#include "tests/support/x_connection.hpp"
#include "tests/support/xvfb.hpp"

namespace testing_ui {

class ScreenTest : public UiTest {
protected:
    // A bound for a broken run, never a measure of speed: long enough for a
    // sanitizer build on a loaded machine.
    static constexpr std::chrono::seconds kDeadline{30};
    // The bound of each wait after one has failed: a failing test ends within its own bound.
    static constexpr std::chrono::seconds kAfterFailure{5};

    void SetUp() override {
        UiTest::SetUp();
        ui::InstallClock(nullptr);  // the screen runs on real time
    }
    // Windows made by the test are gone before this runs.
    void TearDown() override {
        ui::InstallDisplay(nullptr);
        display_.reset();
        x_.reset();
        UiTest::TearDown();
    }

    static bool HaveTools() { return access("/usr/bin/Xvfb", X_OK) == 0 && access("/usr/bin/xdotool", X_OK) == 0; }
    // Puts the desktop on `server`; false when it cannot.
    bool OpenDisplay(const Xvfb& server) {
        if (server.Display().empty()) return false;
        setenv("DISPLAY", server.Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        x_ = std::make_unique<testing_support::XConnection>(server.Display());
        display_ = ui::OpenSdlDisplay();
        if (!display_ || !x_->Opened()) return false;
        ui::InstallDisplay(display_.get());
        return true;
    }
    // xdotool with `args`, against the server the display is on.
    static void Xdo(std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        EXPECT_EQ(RunProgram(args), 0) << args[1];
    }
    // Runs the loop until `done` holds; false when it never does.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + (failed_ ? kAfterFailure : kDeadline);
        for (;;) {
            Pump();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) {
                failed_ = true;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Runs the loop until the screen shows the top-level window `h` as it is
    // drawn, where it stands: the server has mapped, moved or sized it, and
    // input sent now reaches what the test sees.
    bool PumpUntilShown(ui::HWND h) {
        return PumpUntil([&] {
            const ui::TRect r = ui::GetWindowRect(h);
            const ui::SurfacePtr drawn = ui::GetWindowSurface(h);
            if (!drawn || drawn->Width() != r.Width() || drawn->Height() != r.Height()) return false;
            const std::vector<uint32_t> shown = x_->Grab(r.left, r.top, r.Width(), r.Height());
            if (shown.size() != size_t(r.Width()) * size_t(r.Height())) return false;
            for (int y = 0; y < r.Height(); ++y)
                for (int x = 0; x < r.Width(); ++x)
                    if (shown[size_t(y) * size_t(r.Width()) + size_t(x)] != (drawn->Row32(y)[x] & 0xFFFFFF))
                        return false;
            return true;
        });
    }
    // One pixel of the screen; 0xFFFFFFFF when it cannot be read.
    uint32_t ScreenPixel(int x, int y) {
        const std::vector<uint32_t> one = x_->Grab(x, y, 1, 1);
        return one.empty() ? 0xFFFFFFFFu : one[0];
    }

    std::unique_ptr<ui::Display> display_;
    std::unique_ptr<testing_support::XConnection> x_;
    bool failed_ = false;  // a wait has failed
};

}  // namespace testing_ui
