// The main window's date filter on an X server of the test's own, by real
// keys and the mouse (xdotool): a date typed into the edit, then a day
// picked in the calendar the button drops down; each time the grid must show
// what the same window drawn headless here shows with that filter.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "examples/date_filter.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/x_window.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_ui::Xvfb;

// Where things are and what the grid shows, measured headless.
struct Expected {
    ui::TPoint edit, button, day;  // screen points to click
    std::string typed;             // the keys of the typed date
    ui::TRect grid, title;         // the grid and the calendar's title (screen)
    std::vector<uint32_t> after_typing, after_picking, calendar_title;
    int rows_typed = 0, rows_picked = 0, rows_all = 0;
};

std::vector<uint32_t> Pixels(ui::HWND top, const ui::TRect& screen) {
    const ui::TRect w = ui::GetWindowRect(top);
    const ui::SurfacePtr s = ui::GetWindowSurface(top);
    std::vector<uint32_t> out;
    for (int y = screen.top; y < screen.bottom; ++y)
        for (int x = screen.left; x < screen.right; ++x) out.push_back(s->Row32(y - w.top)[x - w.left] & 0xFFFFFF);
    return out;
}

controls::TDateEdit* FromDate(demo::TMainWindow* w) {
    for (ui::TComponent* c : w->Components())
        if (c->Name() == "FromDate") return dynamic_cast<controls::TDateEdit*>(c);
    return nullptr;
}

class DateFilterScreenTest : public MainWindowTest {
protected:
    Expected Measure() {
        Expected e;
        auto w = Open("");
        controls::TDateEdit* edit = FromDate(w.get());
        const ui::HWND top = w->WindowHandle();
        e.rows_all = w->History()->GetFilteredCount();
        e.edit = edit->ClientToScreen({4, 8});
        e.button = edit->Button()->ClientToScreen({edit->ButtonWidth() / 2, 8});
        zurod::TTzGrid* grid = w->Grid();
        const ui::TPoint origin = grid->ClientToScreen({0, 0});
        e.grid = ui::Bounds(origin.x, origin.y, grid->ClientWidth(), grid->ClientHeight());
        // Typed: 1 March 2024, digits only (the mask puts the separators).
        const std::string text = db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 1));
        for (char c : text)
            if (c >= '0' && c <= '9') e.typed += c;
        edit->SetFocus();  // as the click leaves it: the grid draws no focus
        edit->SetText(text);
        Pump();
        e.rows_typed = w->History()->GetFilteredCount();
        e.after_typing = Pixels(top, e.grid);
        // Picked: the 20th in the calendar, which opens on March 2024.
        edit->SetFocus();
        edit->EditButtonClick();
        Pump();
        auto* popup = dynamic_cast<controls::TPopupCalendar*>(edit->Popup());
        controls::TCvCalendar* calendar = popup->Calendar();
        for (int row = 1; row < 7; ++row)
            for (int col = 0; col < 7; ++col)
                if (calendar->DayOfCell(col, row) == 20) {
                    const ui::TRect cell = calendar->CellRect(col, row);
                    e.day = calendar->ClientToScreen({cell.left + cell.Width() / 2, cell.top + 3});
                }
        ui::TLabel* title = popup->TitleLabel();
        const ui::TPoint t = title->ClientToScreen({0, 0});
        e.title = ui::Bounds(t.x, t.y, title->Width(), title->Height());
        e.calendar_title = Pixels(popup->WindowHandle(), e.title);
        edit->ClosePopup(false);
        edit->SetText(db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 20)));
        Pump();
        e.rows_picked = w->History()->GetFilteredCount();
        e.after_picking = Pixels(top, e.grid);
        return e;
    }

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
    static std::string At(ui::TPoint p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

    std::unique_ptr<Xvfb> server_;
};

TEST_F(DateFilterScreenTest, ATypedDateAndADayPickedInTheCalendarFilterTheHistory) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/xdotool", X_OK), 0) << "xdotool is not installed (scripts/install-deps)";
    const Expected e = Measure();
    ASSERT_LT(e.rows_typed, e.rows_all) << "the typed date shows fewer rows";
    ASSERT_LT(e.rows_picked, e.rows_typed) << "the picked day fewer still";
    ASSERT_NE(e.after_typing, e.after_picking);
    ui::UiReset();

    server_ = std::make_unique<Xvfb>();
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    const std::string log = dir_ / "run.log";
    // A copy of its own, so that its settings file is this test's alone.
    const std::string program = dir_ / "corvanta-run";
    std::filesystem::copy_file(CORVANTA_RUN, program);
    const pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", server_->Display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execl(program.c_str(), "corvanta-run", folder_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    std::string window;
    WaitFor([&] { return !(window = Xdotool("search --onlyvisible --name 'Transaction History'")).empty(); });
    ASSERT_FALSE(window.empty()) << "no window; the program said: " << std::ifstream(log).rdbuf();
    window = window.substr(0, window.find('\n'));
    Xdotool("windowfocus --sync " + window);

    // Typed into the edit: the grid shows the history from 1 March 2024.
    Xdotool("mousemove " + At(e.edit) + " click 1");
    Xdotool("key Home");
    Xdotool("type --delay 30 " + e.typed);
    EXPECT_TRUE(Shows(e.grid, e.after_typing)) << "the grid after the typed date";

    // The button drops the calendar down on March 2024; a click on the 20th takes it.
    Xdotool("mousemove " + At(e.button) + " click 1");
    EXPECT_TRUE(Shows(e.title, e.calendar_title)) << "the calendar's title: March, 2024";
    Xdotool("mousemove " + At(e.day) + " click 1");
    EXPECT_TRUE(Shows(e.grid, e.after_picking)) << "the grid after the day picked";

    RequestXWindowClose(server_->Display(), std::stoul(window));
    int status = -1;
    WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (status == -1) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::ifstream(log).rdbuf();
}

}  // namespace
