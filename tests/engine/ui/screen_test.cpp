// On a real X screen (Xvfb, started here): the progress window shows exactly
// the pixels the headless drawing made.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/ui/tzmsg.hpp"
#include "framework/ui/sdl_display.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/support/ui_fixture.hpp"
#include "tests/support/xvfb.hpp"

namespace zurod {
namespace {

using namespace ui;

class ScreenTest : public testing_ui::UiTest {};

TEST_F(ScreenTest, ProgressWindowOnTheScreenMatchesTheHeadlessPixels) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    testing_ui::Xvfb server;
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    setenv("DISPLAY", server.Display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    auto display = OpenSdlDisplay();
    ASSERT_NE(display, nullptr);
    InstallDisplay(display.get());

    auto w = ShowProgressWindow("Writing to disk...");
    for (int i = 0; i < 40; ++i) UpdateProgress(w.get());
    Pump();
    const TRect r = w->BoundsRect();
    const SurfacePtr headless = GetWindowSurface(w->WindowHandle());
    ASSERT_EQ(headless->Width(), r.Width());

    int mismatches = -1;
    for (int attempt = 0; attempt < 100 && mismatches != 0; ++attempt) {
        Pump();
        const std::vector<uint32_t> shot = GrabXScreen(server.Display(), r.left, r.top, r.Width(), r.Height());
        if (shot.size() == size_t(r.Width()) * size_t(r.Height())) {
            mismatches = 0;
            for (int yy = 0; yy < r.Height(); ++yy)
                for (int xx = 0; xx < r.Width(); ++xx)
                    mismatches +=
                        shot[size_t(yy) * size_t(r.Width()) + size_t(xx)] != (headless->Row32(yy)[xx] & 0xFFFFFF);
        }
        if (mismatches != 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(mismatches, 0) << "pixels on the screen differ from the headless drawing";
    // The window really shows the bar: yellow inside, the caption on top.
    const TRect client = w->InnerPanel()->BoundsRect().Offset(GetNonClientInsets(w->WindowHandle()).left,
                                                              GetNonClientInsets(w->WindowHandle()).top);
    EXPECT_EQ(headless->Pixel(client.left + 4, (client.top + client.bottom) / 2), ColorToRGB(clYellow));

    w.reset();
    InstallDisplay(nullptr);
    display.reset();
}

}  // namespace
}  // namespace zurod
