// The program on an X server of the test's own, driven by xdotool: a click
// on a speed button moves the grid, resting the pointer on one shows its
// hint with a shadow, F1 asks for the window's topic in the help file beside
// the program (the request is written to a file instead of starting a
// viewer), and the title bar is the gradient caption's. Where things are
// comes from the same window drawn headless here first.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "controls/cvspeedbtn.hpp"
#include "examples/main_window_parts.hpp"
#include "framework/ui/inifiles.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/x_window.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using testing_examples::MainWindowTest;
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
        auto arrow = [&](int row) {
            const TRect r = grid->CellRect(0, row).Inflate(-1, -1);
            return grid->ClientToScreen({r.right - 8 - 1 + 5, int(unsigned(r.top + r.bottom - 9) >> 1) + 4});
        };
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
    uint32_t Pixel(TPoint p) {
        const std::vector<uint32_t> one = GrabXScreen(server_->Display(), p.x, p.y, 1, 1);
        return one.empty() ? 0xFFFFFFFF : one[0];
    }
    bool WaitFor(const std::function<bool()>& ready) {
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
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::unique_ptr<testing_ui::Xvfb> server_;
};

uint32_t Darker(uint32_t p) {
    return ((p >> 16 & 0xFF) * 5 / 8) << 16 | ((p >> 8 & 0xFF) * 5 / 8) << 8 | (p & 0xFF) * 5 / 8;
}

TEST_F(PartsScreenTest, SpeedButtonHintHelpAndTitleBarOnTheScreen) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/xdotool", X_OK), 0) << "xdotool is not installed (scripts/install-deps)";
    const Layout l = Measure();
    UiReset();

    // A viewer for help to find (it is never started) and the file help's requests go to.
    const std::string bin = dir_ / "bin", help_log = dir_ / "help.log", log = dir_ / "run.log";
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/xchm") << "#!/bin/sh\n";
    chmod((bin + "/xchm").c_str(), 0755);
    // A copy of the program with its help file, so that its settings file is the test's own.
    const std::string program = dir_ / "prog/corvanta-run";
    std::filesystem::create_directories(dir_ / "prog");
    std::filesystem::copy_file(CORVANTA_RUN, program);
    std::filesystem::copy_file(ChangeFileExt(CORVANTA_RUN, ".CHM"), program + ".CHM");
    server_ = std::make_unique<testing_ui::Xvfb>();
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", server_->Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("PATH", bin.c_str(), 1);
        setenv(demo::kHelpLaunchLogVariable, help_log.c_str(), 1);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execl(program.c_str(), "corvanta-run", folder_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    std::string window;
    WaitFor([&] { return !(window = Xdotool("search --onlyvisible --name 'Transaction History'")).empty(); });
    ASSERT_FALSE(window.empty()) << "no window; the program said: " << Slurp(log);
    window = window.substr(0, window.find('\n'));
    Xdotool("windowfocus --sync " + window);

    // The title bar is the gradient caption's: the same pixels as drawn headless, dark at its left.
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.bar_middle) == l.bar_middle_pixel; }))
        << std::hex << Pixel(l.bar_middle) << " " << l.bar_middle_pixel;
    EXPECT_EQ(Pixel(l.bar_left), l.bar_left_pixel);

    // A click on the next button moves the grid to the second record.
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_first) == 0; }));
    Xdotool("mousemove --sync " + std::to_string(l.next.x) + " " + std::to_string(l.next.y) + " click 1");
    EXPECT_TRUE(WaitFor([&] { return Pixel(l.arrow_second) == 0 && Pixel(l.arrow_first) != 0; }));

    // Resting on the last button brings its hint, with the shadow on what lies below.
    const int around_x = l.last.x - 40, around_y = l.last.y;
    const std::vector<uint32_t> before = GrabXScreen(server_->Display(), around_x, around_y, 300, 80);
    Xdotool("mousemove --sync " + std::to_string(l.last.x) + " " + std::to_string(l.last.y));
    std::string hint;
    WaitFor([&] { return !(hint = Xdotool("search --onlyvisible --name '" + l.last_hint + "'")).empty(); });
    ASSERT_FALSE(hint.empty()) << "no hint";
    std::istringstream geometry(Xdotool("getwindowgeometry --shell " + hint.substr(0, hint.find('\n'))));
    int x = 0, y = 0, width = 0, height = 0;
    for (std::string line; std::getline(geometry, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") x = value;
        if (key == "Y") y = value;
        if (key == "WIDTH") width = value;
        if (key == "HEIGHT") height = value;
    }
    ASSERT_GT(width, 0);
    const TPoint band{x + width + 1, y + 6};
    ASSERT_TRUE(band.x - around_x < 300 && band.y - around_y < 80 && band.y >= around_y);
    const uint32_t under = before[size_t((band.y - around_y) * 300 + band.x - around_x)];
    EXPECT_TRUE(WaitFor([&] { return Pixel(band) == Darker(under); })) << std::hex << Pixel(band) << " " << under;

    // F1 on the grid asks for the window's topic in the help file beside the program.
    Xdotool("key F1");
    const std::string expected = bin + "/xchm\t--contextid=10\t" + program + ".CHM\n";
    EXPECT_TRUE(WaitFor([&] { return Slurp(help_log) == expected; })) << Slurp(help_log) << Slurp(log);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RequestXWindowClose(server_->Display(), std::stoul(window));
    int status = -1;
    WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (status == -1) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(log);
}

}  // namespace
