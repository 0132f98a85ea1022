// The program's menus on an X server of the test's own, driven by real keys
// and the mouse through xdotool: a right click on the grid opens its popup
// menu with the banner, the keys move through it and choose the last record,
// and the main menu's File, Exit ends the program.
#include <filesystem>
#include <iostream>

#include "framework/ui/inifiles.hpp"
#include "framework/ui/menus.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;

using MenusScreenTest = MainWindowTest;

TEST_F(MenusScreenTest, ARightClickOnTheGridTheKeysAndTheMainMenuOnTheScreen) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    // Where things are, from the same window drawn headless here.
    ui::TPoint click, banner, arrow_first, arrow_last;
    ui::TRect below_file;  // where File's menu drops down
    {
        auto w = Open("");
        zurod::TTzGrid* grid = w->Grid();
        click = grid->ClientToScreen({220, 40});
        const int frame = ui::GetSystemMetrics(ui::SM_CXDLGFRAME);
        banner = {click.x + frame + 4, click.y + frame + 4};
        // The indicator's arrow on a row.
        auto arrow = [&](int row) { return testing_examples::IndicatorArrow(grid, row); };
        arrow_first = arrow(1), arrow_last = arrow(grid->VisibleRowCount());
        ui::TRect file;
        ASSERT_TRUE(ui::GetMenuItemRect(w->WindowHandle(), w->Menus().main->Handle(), 0, file));
        below_file = ui::Bounds(file.left, file.bottom + 2, 60, 30);
    }
    ui::UiReset();

    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");
    // The program is ready once its grid shows the first record.
    ASSERT_TRUE(s.WaitFor([&] { return s.Pixel(arrow_first) == 0; }));

    // The popup comes up where the grid was clicked, its banner in the gradient's first colour.
    const uint32_t band = ui::ToPixel(ui::ColorToRGB(ui::clActiveCaption));
    ASSERT_NE(s.Pixel(banner), band);
    s.Click(click, 3);
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(banner) == band; })) << "no popup with a banner";
    // Down to "Last record", Enter: the indicator stands on the last row shown.
    s.Xdotool("key Down Down Return");
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(arrow_last) == 0; })) << "the last record";
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(banner) != band; })) << "the popup closed";

    // File, Exit: the program ends well.
    const std::vector<uint32_t> closed = s.Grab(below_file);
    s.Xdotool("key alt+f");
    EXPECT_TRUE(s.Changes(below_file, closed)) << "File's menu did not drop down";
    s.Xdotool("key x");
    EXPECT_EQ(s.WaitForExit(), 0) << s.Log();
    EXPECT_TRUE(std::filesystem::exists(s.Settings())) << "closed as the program closes";
    if (HasFailure()) std::cerr << s.Log();
}

}  // namespace
