// On a real X screen (Xvfb, started here): the progress window shows exactly
// the pixels the headless drawing made.
#include "engine/ui/tzmsg.hpp"
#include "tests/support/screen_fixture.hpp"

namespace zurod {
namespace {

using namespace ui;

class ScreenTest : public testing_ui::ScreenTest {
protected:
    void TearDown() override {
        testing_ui::ScreenTest::TearDown();
        server_.reset();
    }
    std::unique_ptr<testing_ui::Xvfb> server_;
};

TEST_F(ScreenTest, ProgressWindowOnTheScreenMatchesTheHeadlessPixels) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    server_ = std::make_unique<testing_ui::Xvfb>();
    ASSERT_TRUE(OpenDisplay(*server_)) << "no display on Xvfb";

    auto w = ShowProgressWindow("Writing to disk...");
    for (int i = 0; i < 40; ++i) UpdateProgress(w.get());
    Pump();
    const TRect r = w->BoundsRect();
    const SurfacePtr headless = GetWindowSurface(w->WindowHandle());
    ASSERT_EQ(headless->Width(), r.Width());
    EXPECT_TRUE(PumpUntilShown(w->WindowHandle())) << "pixels on the screen differ from the headless drawing";
    // The window really shows the bar: yellow inside, the caption on top.
    const TRect client = w->InnerPanel()->BoundsRect().Offset(GetNonClientInsets(w->WindowHandle()).left,
                                                              GetNonClientInsets(w->WindowHandle()).top);
    EXPECT_EQ(headless->Pixel(client.left + 4, (client.top + client.bottom) / 2), ColorToRGB(clYellow));

    w.reset();
}

}  // namespace
}  // namespace zurod
