// The program on an X server of the test's own, driven by real keys and the
// mouse through xdotool: where things are comes from the same window drawn
// headless here first; what happened is read back from the screen, the
// settings file and the table file.
#include <filesystem>
#include <fstream>
#include <vector>

#include "framework/ui/inifiles.hpp"
#include "framework/ui/menus.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;

// Where the headless window put things, in screen pixels.
struct Layout {
    ui::TPoint arrow_first, arrow_second, arrow_last;  // the indicator's arrow at rows 1, 2 and the last
    ui::TPoint detail_cell;                            // the background of row 1's DETAIL cell
    ui::TPoint date_title, detail_title;
    ui::TPoint date_grip;                    // another point of DATE's title, far from date_title
    ui::TRect grid, titles;                  // the grid's client area, its title row
    std::vector<uint32_t> at_end, at_start;  // the grid after Last and after First
    std::vector<uint32_t> titles_moved;      // the title row with DATE moved past DETAIL
    int date_width = 0, detail_width = 0;
};

std::vector<uint32_t> Pixels(const ui::Surface& s, const ui::TRect& r) {
    std::vector<uint32_t> out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) out.push_back(s.Row32(y)[x] & 0xFFFFFF);
    return out;
}

class ScreenTest : public MainWindowTest {
protected:
    Layout Measure() {
        Layout l;
        auto w = Open("");
        zurod::TTzGrid* grid = w->Grid();
        auto screen = [&](ui::TPoint p) { return grid->ClientToScreen(p); };
        auto arrow = [&](int row) { return testing_examples::IndicatorArrow(grid, row); };
        const int last = grid->VisibleRowCount();
        l.arrow_first = arrow(1), l.arrow_second = arrow(2), l.arrow_last = arrow(last);
        const ui::TRect detail = grid->CellRect(2, 1);
        l.detail_cell = screen({detail.right - 4, detail.top + 3});
        const ui::TRect date_title = grid->CellRect(1, 0), detail_title = grid->CellRect(2, 0);
        l.date_title = screen({date_title.left + 10, date_title.top + 8});
        l.date_grip = screen({date_title.right - 12, date_title.top + 8});
        l.detail_title = screen({detail_title.right - 10, detail_title.top + 8});
        l.date_width = grid->Columns()[0]->GetWidth();
        l.detail_width = grid->Columns()[1]->GetWidth();
        const ui::TPoint origin = screen({0, 0});
        l.grid = ui::Bounds(origin.x, origin.y, grid->ClientWidth(), grid->ClientHeight());
        const ui::TRect window = ui::GetWindowRect(w->WindowHandle());
        const ui::TRect in_window = l.grid.Offset(-window.left, -window.top);
        w->History()->Last();
        Pump();
        l.at_end = Pixels(*ui::GetWindowSurface(w->WindowHandle()), in_window);
        w->History()->First();
        Pump();
        l.at_start = Pixels(*ui::GetWindowSurface(w->WindowHandle()), in_window);
        const ui::TRect title_row = grid->CellRect(0, 0);
        l.titles = ui::Bounds(origin.x, origin.y + title_row.top, grid->ClientWidth(), title_row.Height());
        grid->MoveColumn(1, 2);
        Pump();
        l.titles_moved = Pixels(*ui::GetWindowSurface(w->WindowHandle()), l.titles.Offset(-window.left, -window.top));
        return l;
    }
};

TEST_F(ScreenTest, TheProgramFollowsRealKeysAndTheMouseAndKeepsWhatWasDone) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    ui::UiReset();  // the measured window and its tables are gone

    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");
    auto arrow_at = [&](ui::TPoint p) { return [&s, p] { return s.Pixel(p) == 0; }; };

    // The grid has the focus and the first record.
    EXPECT_TRUE(s.WaitFor(arrow_at(l.arrow_first)));
    s.Xdotool("key Down");
    EXPECT_TRUE(s.WaitFor(arrow_at(l.arrow_second))) << "Down";
    s.Xdotool("key Next");
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_last) == 0 && s.Pixel(l.arrow_second) != 0; })) << "PgDn";
    s.Xdotool("key ctrl+End");
    EXPECT_TRUE(s.Shows(l.grid, l.at_end)) << "Ctrl+End shows the last records as the window drew them here";
    s.Xdotool("key ctrl+Home");
    EXPECT_TRUE(s.Shows(l.grid, l.at_start)) << "Ctrl+Home";

    // Ctrl+Delete asks on the screen first; Enter answers OK and the first record is marked.
    const uint32_t red = ui::ToPixel(ui::ColorToRGB(ui::clRed));
    s.Xdotool("key ctrl+Delete");
    const std::string question = s.WindowNamed("Corvanta V4.0");
    ASSERT_FALSE(question.empty()) << "no question on the screen";
    EXPECT_NE(s.Pixel(l.detail_cell), red) << "marked before the answer";
    ASSERT_FALSE(s.FocusNamed("Corvanta V4.0").empty());
    s.Xdotool("key Return");
    EXPECT_TRUE(s.WaitFor([&] { return s.Pixel(l.detail_cell) == red; })) << "the deleted record in its colour";

    // A title click orders by date and goes to the top.
    s.Xdotool("key ctrl+End");
    EXPECT_TRUE(s.WaitFor(arrow_at(l.arrow_last)));
    s.Click(l.date_title);
    EXPECT_TRUE(s.WaitFor(arrow_at(l.arrow_first))) << "the title click";

    // DATE dragged by its title past DETAIL, taken further along the title
    // than a double click's reach from the click (32 pixels on the display),
    // so that the press is no second click however soon it comes.
    ASSERT_GT(l.date_grip.x - l.date_title.x, 32);
    s.Xdotool("mousemove " + s.At(l.date_grip) + " mousedown 1 mousemove " + s.At({l.date_grip.x + 20, l.date_grip.y}) +
              " mousemove " + s.At(l.detail_title) + " mouseup 1");
    ASSERT_TRUE(s.WaitFor(arrow_at(l.arrow_first)));
    EXPECT_TRUE(s.Shows(l.titles, l.titles_moved)) << "DETAIL's title first";
    // The desktop asks the window to close; the program ends well.
    EXPECT_EQ(s.Close(), 0) << s.Log();

    // The columns' new order went to the settings file, each width with its field.
    const ui::TIniFile ini(s.Settings());
    EXPECT_EQ(ini.ReadString(demo::TMainWindow::kWidthSection, "HISTORY COLUMN ORDER", "").rfind("DETAIL,DATE,", 0),
              0u);
    EXPECT_EQ(ini.ReadInteger(demo::TMainWindow::kWidthSection, "HISTORY DETAIL", 0), l.detail_width);
    EXPECT_EQ(ini.ReadInteger(demo::TMainWindow::kWidthSection, "HISTORY DATE", 0), l.date_width);
    // The first record carries the delete mark in the table file.
    std::ifstream table(demo::HistoryPath(folder_), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 32u);
    const size_t header = uint8_t(bytes[8]) | size_t(uint8_t(bytes[9])) << 8;
    const size_t record = uint8_t(bytes[10]) | size_t(uint8_t(bytes[11])) << 8;
    ASSERT_GT(bytes.size(), header + 2 * record);
    EXPECT_EQ(bytes[header], '*');
    EXPECT_EQ(bytes[header + record], ' ');
}

// A history with no records (new, or fully packed) opens on the screen: the
// grid's one empty row as the window drew it here, kept through the moving
// keys, and File, Exit ends the program well.
TEST_F(ScreenTest, AnEmptyHistoryOpensAndTakesTheKeys) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    {
        zurod::RaiseModeScope raise(true);
        demo::WriteHistory(demo::HistoryPath(folder_), {}, [] {});
    }
    ui::TRect grid, below_file;  // the grid's client area, where File's menu drops down
    std::vector<uint32_t> drawn;
    {
        auto w = Open("");
        ASSERT_TRUE(w->History()->IsEmpty());
        ui::TRect file;
        ASSERT_TRUE(ui::GetMenuItemRect(w->WindowHandle(), w->Menus().main->Handle(), 0, file));
        below_file = ui::Bounds(file.left, file.bottom + 2, 60, 30);
        zurod::TTzGrid* g = w->Grid();
        const ui::TPoint origin = g->ClientToScreen({0, 0});
        grid = ui::Bounds(origin.x, origin.y, g->ClientWidth(), g->ClientHeight());
        const ui::TRect window = ui::GetWindowRect(w->WindowHandle());
        drawn = Pixels(*ui::GetWindowSurface(w->WindowHandle()), grid.Offset(-window.left, -window.top));
    }
    ui::UiReset();

    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");
    EXPECT_TRUE(s.Shows(grid, drawn)) << "the empty grid as drawn headless";
    for (const char* key : {"Down", "Next", "ctrl+End", "ctrl+Home", "Up"}) {
        s.Xdotool(std::string("key ") + key);
        EXPECT_TRUE(s.Shows(grid, drawn)) << key;
    }
    const std::vector<uint32_t> closed = s.Grab(below_file);
    s.Xdotool("key alt+f");
    EXPECT_TRUE(s.Changes(below_file, closed)) << "File's menu did not drop down";
    s.Xdotool("key x");
    EXPECT_EQ(s.WaitForExit(), 0) << s.Log();
    EXPECT_EQ(s.Log().find("error"), std::string::npos) << s.Log();
}

}  // namespace
