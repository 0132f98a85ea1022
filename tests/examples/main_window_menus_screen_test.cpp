// The program's menus on an X server of the test's own, driven by real keys
// and the mouse through xdotool: a right click on the grid opens its popup
// menu with the banner, the keys move through it and choose the last record,
// and the main menu's File, Exit ends the program.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "framework/ui/inifiles.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using testing_examples::MainWindowTest;

class MenusScreenTest : public MainWindowTest {
protected:
    uint32_t Pixel(ui::TPoint p) {
        const std::vector<uint32_t> one = GrabXScreen(server_->Display(), p.x, p.y, 1, 1);
        return one.empty() ? 0xFFFFFFFF : one[0];
    }
    // Polls the screen until `ready` holds, up to ten seconds.
    static bool WaitFor(const std::function<bool()>& ready) {
        for (int i = 0; i < 200; ++i) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
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
    std::unique_ptr<testing_ui::Xvfb> server_;
};

TEST_F(MenusScreenTest, ARightClickOnTheGridTheKeysAndTheMainMenuOnTheScreen) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/xdotool", X_OK), 0) << "xdotool is not installed (scripts/install-deps)";
    // Where things are, from the same window drawn headless here.
    ui::TPoint click, banner, arrow_first, arrow_last;
    {
        auto w = Open("");
        zurod::TTzGrid* grid = w->Grid();
        click = grid->ClientToScreen({220, 40});
        const int frame = ui::GetSystemMetrics(ui::SM_CXDLGFRAME);
        banner = {click.x + frame + 4, click.y + frame + 4};
        // The indicator's arrow on a row.
        auto arrow = [&](int row) {
            const ui::TRect r = grid->CellRect(0, row).Inflate(-1, -1);
            return grid->ClientToScreen({r.right - 8 - 1 + 5, int(unsigned(r.top + r.bottom - 9) >> 1) + 4});
        };
        arrow_first = arrow(1), arrow_last = arrow(grid->VisibleRowCount());
    }
    ui::UiReset();

    server_ = std::make_unique<testing_ui::Xvfb>();
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    // A copy of the program of our own: its settings file goes beside it,
    // away from the one another test of the program reads.
    const std::string program = dir_ / "corvanta-run";
    std::filesystem::copy_file(CORVANTA_RUN, program);
    const std::string log = dir_ / "run.log";
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", server_->Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        if (!freopen(log.c_str(), "w", stdout) || !freopen(log.c_str(), "a", stderr)) _exit(126);
        execl(program.c_str(), "corvanta-run", folder_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    std::string window;
    WaitFor([&] { return !(window = Xdotool("search --onlyvisible --name 'Transaction History'")).empty(); });
    ASSERT_FALSE(window.empty()) << "no window; the program said: " << std::ifstream(log).rdbuf();
    Xdotool("windowfocus --sync " + window.substr(0, window.find('\n')));
    // The program is ready once its grid shows the first record.
    ASSERT_TRUE(WaitFor([&] { return Pixel(arrow_first) == 0; }));

    // The popup comes up where the grid was clicked, its banner in the gradient's first colour.
    const uint32_t band = ui::ToPixel(ui::ColorToRGB(ui::clActiveCaption));
    ASSERT_NE(Pixel(banner), band);
    Xdotool("mousemove " + std::to_string(click.x) + " " + std::to_string(click.y) + " click 3");
    EXPECT_TRUE(WaitFor([&] { return Pixel(banner) == band; })) << "no popup with a banner";
    // Down to "Last record", Enter: the indicator stands on the last row shown.
    Xdotool("key Down Down Return");
    EXPECT_TRUE(WaitFor([&] { return Pixel(arrow_last) == 0; })) << "the last record";
    EXPECT_TRUE(WaitFor([&] { return Pixel(banner) != band; })) << "the popup closed";

    // File, Exit: the program ends well.
    Xdotool("key alt+f");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Xdotool("key x");
    int status = -1;
    WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (status == -1) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::ifstream(log).rdbuf();
    if (HasFailure()) std::cerr << std::ifstream(log).rdbuf();
    EXPECT_TRUE(std::filesystem::exists(ui::ChangeFileExt(program, ".INI"))) << "closed as the program closes";
}

}  // namespace
