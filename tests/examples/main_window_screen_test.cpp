// The program on an X server of the test's own, driven by real keys and the
// mouse through xdotool: where things are comes from the same window drawn
// headless here first; what happened is read back from the screen, the
// settings file and the table file.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "framework/ui/inifiles.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/x_window.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_ui::Xvfb;

// Where the headless window put things, in screen pixels.
struct Layout {
    ui::TPoint arrow_first, arrow_second, arrow_last;  // the indicator's arrow at rows 1, 2 and the last
    ui::TPoint detail_cell;                            // the background of row 1's DETAIL cell
    ui::TPoint date_title, detail_title;
    ui::TRect grid;                          // the grid's client area
    std::vector<uint32_t> at_end, at_start;  // the grid after Last and after First
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
        auto arrow = [&](int row) {
            const ui::TRect r = grid->CellRect(0, row).Inflate(-1, -1);
            return screen({r.right - 8 - 1 + 5, int(unsigned(r.top + r.bottom - 9) >> 1) + 4});
        };
        const int last = grid->VisibleRowCount();
        l.arrow_first = arrow(1), l.arrow_second = arrow(2), l.arrow_last = arrow(last);
        const ui::TRect detail = grid->CellRect(2, 1);
        l.detail_cell = screen({detail.right - 4, detail.top + 3});
        const ui::TRect date_title = grid->CellRect(1, 0), detail_title = grid->CellRect(2, 0);
        l.date_title = screen({date_title.left + date_title.Width() / 2, date_title.top + 8});
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
        return l;
    }

    uint32_t Pixel(ui::TPoint p) {
        const std::vector<uint32_t> one = GrabXScreen(server_->Display(), p.x, p.y, 1, 1);
        return one.empty() ? 0xFFFFFFFF : one[0];
    }
    // Polls the screen until `ready` holds, up to ten seconds.
    bool WaitFor(const std::function<bool()>& ready) {
        for (int i = 0; i < 200; ++i) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    bool Shows(const ui::TRect& r, const std::vector<uint32_t>& expected) {
        return WaitFor(
            [&] { return GrabXScreen(server_->Display(), r.left, r.top, r.Width(), r.Height()) == expected; });
    }
    // Runs xdotool with `args` on the test's server; its standard output, trimmed.
    std::string Xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + server_->Display() + " xdotool " + args + " 2>/dev/null";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, p)) out += buffer;
            pclose(p);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }

    std::unique_ptr<Xvfb> server_;
};

TEST_F(ScreenTest, TheProgramFollowsRealKeysAndTheMouseAndKeepsWhatWasDone) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/xdotool", X_OK), 0) << "xdotool is not installed (scripts/install-deps)";
    const Layout l = Measure();
    ui::UiReset();  // the measured window and its tables are gone

    server_ = std::make_unique<Xvfb>();
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    const std::string settings = ui::ChangeFileExt(CORVANTA_RUN, ".INI");
    std::filesystem::remove(settings);
    const std::string log = dir_ / "run.log";
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", server_->Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execl(CORVANTA_RUN, "corvanta-run", folder_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    std::string window;
    WaitFor([&] { return !(window = Xdotool("search --onlyvisible --name 'Transaction History'")).empty(); });
    ASSERT_FALSE(window.empty()) << "no window; the program said: " << std::ifstream(log).rdbuf();
    window = window.substr(0, window.find('\n'));
    Xdotool("windowfocus --sync " + window);

    // The grid has the focus and the first record.
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_first) == 0; }));
    Xdotool("key Down");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_second) == 0; })) << "Down";
    Xdotool("key Next");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_last) == 0 && Pixel(l.arrow_second) != 0; })) << "PgDn";
    Xdotool("key ctrl+End");
    EXPECT_TRUE(Shows(l.grid, l.at_end)) << "Ctrl+End shows the last records as the window drew them here";
    Xdotool("key ctrl+Home");
    EXPECT_TRUE(Shows(l.grid, l.at_start)) << "Ctrl+Home";

    // Ctrl+Delete asks on the screen first; Enter answers OK and the first record is marked.
    Xdotool("key ctrl+Delete");
    std::string question;
    WaitFor([&] { return !(question = Xdotool("search --onlyvisible --name 'Corvanta V4.0'")).empty(); });
    ASSERT_FALSE(question.empty()) << "no question on the screen";
    EXPECT_NE(Pixel(l.detail_cell), ui::ToPixel(ui::ColorToRGB(ui::clRed))) << "marked before the answer";
    Xdotool("windowfocus --sync " + question.substr(0, question.find('\n')));
    Xdotool("key Return");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.detail_cell) == ui::ToPixel(ui::ColorToRGB(ui::clRed)); }))
        << "the deleted record in its colour";

    // A title click orders by date and goes to the top.
    Xdotool("key ctrl+End");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_last) == 0; }));
    Xdotool("mousemove " + std::to_string(l.date_title.x) + " " + std::to_string(l.date_title.y) + " click 1");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_first) == 0; })) << "the title click";

    // DATE dragged by its title past DETAIL, well after the click (no double click).
    Xdotool("sleep 1 mousemove " + std::to_string(l.date_title.x) + " " + std::to_string(l.date_title.y) +
            " mousedown 1 mousemove " + std::to_string(l.date_title.x + 20) + " " + std::to_string(l.date_title.y) +
            " mousemove " + std::to_string(l.detail_title.x) + " " + std::to_string(l.detail_title.y) + " mouseup 1");
    // The desktop asks the window to close; the program ends well.
    ASSERT_TRUE(WaitFor([&] { return Pixel(l.arrow_first) == 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RequestXWindowClose(server_->Display(), std::stoul(window));
    int status = -1;
    WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (status == -1) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::ifstream(log).rdbuf();

    // The widths went to the settings file in the columns' new order.
    const ui::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger(demo::TMainWindow::kWidthSection, "HISTORY 0", 0), l.detail_width);
    EXPECT_EQ(ini.ReadInteger(demo::TMainWindow::kWidthSection, "HISTORY 1", 0), l.date_width);
    std::filesystem::remove(settings);
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

}  // namespace
