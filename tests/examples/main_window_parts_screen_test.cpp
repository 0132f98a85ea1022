// The program on an X server of the test's own, driven by xdotool: a click
// on a speed button moves the grid, resting the pointer on one shows its
// hint with a shadow, F1 asks for the window's topic in the help file beside
// the program (the request is written to a file instead of starting a
// viewer), and the title bar is the gradient caption's. Where things are
// comes from the same window drawn headless here first.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "controls/cvspeedbtn.hpp"
#include "examples/main_window_parts.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"
#include "tests/support/files.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;
using namespace ui;

struct Layout {
    TPoint next, last;                 // the centres of two speed buttons
    TPoint arrow_first, arrow_second;  // the grid's indicator at rows 1 and 2
    TPoint bar_middle, bar_left;       // points of the title bar
    uint32_t bar_middle_pixel = 0, bar_left_pixel = 0;
    std::string last_hint;
};

class PartsScreenTest : public MainWindowTest {
protected:
    Layout Measure() {
        Layout l;
        auto w = Open("");
        auto* bar = demo::FindPart<TPanel>(w.get(), demo::kSpeedBarName);
        auto centre = [&](const char* name) {
            auto* b = demo::FindPart<controls::TCvSpeedButton>(bar, name);
            return b->ClientToScreen({b->Width() / 2, b->Height() / 2});
        };
        l.next = centre("CV_NEXT");
        l.last = centre("CV_LAST");
        l.last_hint = demo::FindPart<controls::TCvSpeedButton>(bar, "CV_LAST")->Hint;
        zurod::TTzGrid* grid = w->Grid();
        auto arrow = [&](int row) { return testing_examples::IndicatorArrow(grid, row); };
        l.arrow_first = arrow(1), l.arrow_second = arrow(2);
        const TRect cap = demo::FindPart<controls::TCvGradientCaption>(w.get(), demo::kCaptionName)->CaptionRect();
        l.bar_middle = {cap.left + cap.Width() * 3 / 4, cap.bottom - 1};
        l.bar_left = {cap.left + cap.Height() + 2, cap.bottom - 1};
        const TRect wr = GetWindowRect(w->WindowHandle());
        const SurfacePtr s = GetWindowSurface(w->WindowHandle());
        l.bar_middle_pixel = s->Row32(l.bar_middle.y - wr.top)[l.bar_middle.x - wr.left] & 0xFFFFFF;
        l.bar_left_pixel = s->Row32(l.bar_left.y - wr.top)[l.bar_left.x - wr.left] & 0xFFFFFF;
        return l;
    }
};

uint32_t Darker(uint32_t p) {
    return ((p >> 16 & 0xFF) * 5 / 8) << 16 | ((p >> 8 & 0xFF) * 5 / 8) << 8 | (p & 0xFF) * 5 / 8;
}

TEST_F(PartsScreenTest, SpeedButtonHintHelpAndTitleBarOnTheScreen) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    UiReset();

    // A viewer for help to find (it is never started) and the file help's requests go to.
    const std::string bin = dir_ / "bin", help_log = dir_ / "help.log";
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/xchm") << "#!/bin/sh\n";
    chmod((bin + "/xchm").c_str(), 0755);
    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_, {{"PATH", bin}, {demo::kHelpLaunchLogVariable, help_log}}), "");

    // The title bar is the gradient caption's: the same pixels as drawn headless, dark at its left.
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(l.bar_middle) == l.bar_middle_pixel; }))
        << std::hex << s.Pixel(l.bar_middle) << " " << l.bar_middle_pixel;
    EXPECT_EQ(s.Pixel(l.bar_left), l.bar_left_pixel);

    // A click on the next button moves the grid to the second record.
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_first) == 0; }));
    s.Click(l.next);
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_second) == 0 && s.Pixel(l.arrow_first) != 0; }));

    // Resting on the last button brings its hint, with the shadow on what lies below.
    const TRect around = Bounds(l.last.x - 40, l.last.y, 300, 80);
    const std::vector<uint32_t> before = s.Grab(around);
    ASSERT_EQ(before.size(), size_t(around.Width() * around.Height()));
    s.Xdotool("mousemove --sync " + s.At(l.last));
    const std::string hint = s.WindowNamed(l.last_hint);
    ASSERT_FALSE(hint.empty()) << "no hint";
    const TRect at = s.Geometry(hint);
    const int x = at.left, y = at.top, width = at.right - at.left;
    ASSERT_GT(width, 0);
    const TPoint band{x + width + 1, y + 6};
    ASSERT_TRUE(around.Contains(band));
    const uint32_t under = before[size_t((band.y - around.top) * around.Width() + band.x - around.left)];
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(band) == Darker(under); })) << std::hex << s.Pixel(band) << " " << under;

    // F1 on the grid asks for the window's topic in the help file beside the program.
    s.Xdotool("key F1");
    const std::string expected = bin + "/xchm\t--contextid=10\t" + s.Program() + ".CHM\n";
    EXPECT_TRUE(s.WaitFor([&] { return testing_support::ReadFileBytes(help_log) == expected; }))
        << testing_support::ReadFileBytes(help_log) << s.Log();

    EXPECT_EQ(s.Close(), 0) << s.Log();
}

}  // namespace
