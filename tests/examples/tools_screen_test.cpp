// The program on an X server of the test's own, driven by xdotool: the debit
// colour chosen in its colour combo box shows in the grid, and "Back up to
// folder..." opens the folder picker, where the keys choose a folder with a
// blank and letters beyond ASCII in its name; the backup there is read by
// dbfread.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "examples/main_window_tools.hpp"
#include "framework/ui/inifiles.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/ui/x_screenshot.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/x_window.hpp"
#include "tests/support/fake_home.hpp"
#include "tests/support/xvfb.hpp"

namespace {

namespace fs = std::filesystem;
using testing_examples::MainWindowTest;

// Where the headless window put things, in screen pixels.
struct Layout {
    ui::TPoint debit_button, list_down_arrow, blue_item, blue_swatch, backup_button;
    ui::TRect debit_cell;  // the DETAIL cell of the first debit shown
};

class ToolsScreenTest : public MainWindowTest {
protected:
    Layout Measure() {
        Layout l;
        auto w = Open("");
        controls::TColorComboBox* debit = w->Tools()->DebitColour();
        ui::COMBOBOXINFO info;
        ui::SendMessage(debit->Handle(), ui::CB_GETCOMBOBOXINFO, 0, ui::LPARAM(&info));
        l.debit_button = debit->ClientToScreen({(info.rcButton.left + info.rcButton.right) / 2, 10});
        // The list open, scrolled five lines down: Blue (the 13th colour) is its last row.
        debit->SetDroppedDown(true);
        const ui::TRect bar = ui::ScrollBarRect(info.hwndList, ui::SB_VERT), list = ui::GetWindowRect(info.hwndList);
        l.list_down_arrow = {list.left + (bar.left + bar.right) / 2, list.top + bar.bottom - 4};
        ui::SendMessage(info.hwndList, ui::LB_SETTOPINDEX, 5);
        ui::TRect blue;
        ui::SendMessage(info.hwndList, ui::LB_GETITEMRECT, 12, ui::LPARAM(&blue));
        l.blue_item = ui::ClientToScreen(info.hwndList, {blue.left + 40, (blue.top + blue.bottom) / 2});
        l.blue_swatch = ui::ClientToScreen(info.hwndList, {blue.left + 10, (blue.top + blue.bottom) / 2 - 1});
        debit->SetDroppedDown(false);
        ui::TButton* backup = w->Tools()->BackupButton();
        l.backup_button = backup->ClientToScreen({backup->Width() / 2, backup->Height() / 2});
        zurod::TTzGrid* grid = w->Grid();
        for (int row = 1; row < grid->RowCount() && l.debit_cell.Empty(); ++row) {
            grid->DataLink().SetActiveRecord(row - 1);
            const bool is_debit = zurod::TzAllTrim(w->History()->FieldByName("ACTION")->AsString()) == "Debit";
            grid->DataLink().SetActiveRecord(0);
            if (!is_debit) continue;
            const ui::TRect cell = grid->CellRect(2, row);
            const ui::TPoint at = grid->ClientToScreen({cell.left, cell.top});
            l.debit_cell = ui::Bounds(at.x, at.y, cell.Width(), cell.Height());
        }
        return l;
    }
    bool WaitFor(const std::function<bool()>& ready) {
        for (int i = 0; i < 200; ++i) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Whether some pixel of `r` on the screen is `pixel` (0x00RRGGBB).
    bool ShowsColour(const ui::TRect& r, uint32_t pixel) {
        for (uint32_t p : GrabXScreen(server_->Display(), r.left, r.top, r.Width(), r.Height()))
            if (p == pixel) return true;
        return false;
    }
    std::string Run(const std::string& command) {
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, p)) out += buffer;
            pclose(p);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }
    std::string Xdotool(const std::string& args) {
        return Run("DISPLAY=" + server_->Display() + " xdotool " + args + " 2>/dev/null");
    }
    std::string WindowNamed(const std::string& name) {
        std::string found;
        WaitFor([&] { return !(found = Xdotool("search --onlyvisible --name '" + name + "'")).empty(); });
        return found.substr(0, found.find('\n'));
    }
    static std::string At(ui::TPoint p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

    std::unique_ptr<testing_ui::Xvfb> server_;
};

TEST_F(ToolsScreenTest, AColourChosenAndABackupMadeByRealKeysAndClicks) {
    ASSERT_EQ(access("/usr/bin/Xvfb", X_OK), 0) << "xvfb is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/xdotool", X_OK), 0) << "xdotool is not installed (scripts/install-deps)";
    ASSERT_EQ(access("/usr/bin/python3", X_OK), 0) << "python3 is not installed (scripts/install-deps)";
    const Layout l = Measure();
    ASSERT_FALSE(l.debit_cell.Empty());
    ui::UiReset();  // the measured window and its table are gone

    testing_support::FakeHome home;
    const std::string backups = home.Folder("Sauvegardes été");
    // A copy of the program of its own, so that its settings file is this test's.
    const std::string program = dir_ / "corvanta-run";
    fs::copy_file(CORVANTA_RUN, program);
    const std::string settings = dir_ / "corvanta-run.INI";
    server_ = std::make_unique<testing_ui::Xvfb>();
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    const std::string log = dir_ / "run.log";
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
    const std::string window = WindowNamed("Transaction History");
    ASSERT_FALSE(window.empty()) << "no window; the program said: " << std::ifstream(log).rdbuf();
    Xdotool("windowfocus --sync " + window);
    const uint32_t maroon = ui::ToPixel(ui::ColorToRGB(ui::clMaroon)), blue = ui::ToPixel(ui::ColorToRGB(ui::clBlue));
    EXPECT_TRUE(WaitFor([&] { return ShowsColour(l.debit_cell, maroon); })) << "debits start in maroon";

    // The colour box's list drops at a click on its button and holds the mouse:
    // its scroll bar's arrow moves it down, and a click on Blue takes it.
    Xdotool("mousemove " + At(l.debit_button) + " click 1");
    Xdotool("sleep 0.3 mousemove " + At(l.list_down_arrow) + " click --repeat 5 --delay 150 1");
    EXPECT_TRUE(WaitFor([&] { return ShowsColour(ui::Bounds(l.blue_swatch.x, l.blue_swatch.y, 4, 3), blue); }))
        << "the open list shows the blue swatch where Blue is";
    Xdotool("mousemove " + At(l.blue_item) + " click 1");
    EXPECT_TRUE(WaitFor([&] { return ShowsColour(l.debit_cell, blue) && !ShowsColour(l.debit_cell, maroon); }))
        << "the debits are blue";

    // Back up: the picker opens; Home, opened, its folder, OK; the message answered.
    Xdotool("mousemove " + At(l.backup_button) + " click 1");
    const std::string picker = WindowNamed("Browse for Folder");
    ASSERT_FALSE(picker.empty()) << "no folder picker";
    Xdotool("sleep 0.3 key --delay 150 Down Right Right Return");
    const std::string told = WindowNamed("Back up to folder");
    ASSERT_FALSE(told.empty()) << "no message after the backup";
    Xdotool("windowfocus --sync " + told);
    Xdotool("key Return");
    EXPECT_TRUE(WaitFor([&] { return Xdotool("search --onlyvisible --name 'Back up to folder'").empty(); }));

    RequestXWindowClose(server_->Display(), std::stoul(window));
    int status = -1;
    WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (status == -1) kill(child, SIGKILL), waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::ifstream(log).rdbuf();

    // The backup is whole: another program reads every record of it.
    const std::string copy = backups + "/transactionhistory.dbf";
    ASSERT_TRUE(fs::exists(copy)) << std::ifstream(log).rdbuf();
    const std::string read =
        Run("/usr/bin/python3 -c 'import sys, dbfread; t = dbfread.DBF(sys.argv[1], encoding=\"cp858\", load=True); "
            "print(len(t.records), t.records[0][\"DETAIL\"])' '" +
            copy + "' 2>&1");
    std::ifstream table(demo::HistoryPath(folder_), std::ios::binary);
    char header[8] = {};
    table.read(header, 8);
    const int count = uint8_t(header[4]) | uint8_t(header[5]) << 8 | uint8_t(header[6]) << 16;
    EXPECT_EQ(read, std::to_string(count) + " Salary");
    const ui::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger("GRID COLOURS", "DEBIT", -1), int(ui::clBlue));
    EXPECT_EQ(ini.ReadString("OPTIONS", "BACKUP FOLDER", ""), platform::Utf8ToAnsi(backups));
}

}  // namespace
