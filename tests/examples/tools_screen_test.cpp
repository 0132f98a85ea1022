// The program on an X server of the test's own, driven by xdotool: the debit
// colour chosen in its colour combo box shows in the grid, and "Back up to
// folder..." opens the folder picker, where the keys choose a folder with a
// blank and letters beyond ASCII in its name; the backup there is read by
// dbfread.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "examples/main_window_tools.hpp"
#include "framework/ui/inifiles.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "platform/codepage.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"
#include "tests/support/fake_home.hpp"

namespace {

namespace fs = std::filesystem;
using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;

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
};

TEST_F(ToolsScreenTest, AColourChosenAndABackupMadeByRealKeysAndClicks) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    ASSERT_EQ(access("/usr/bin/python3", X_OK), 0) << "python3 is not installed (scripts/install-deps)";
    const Layout l = Measure();
    ASSERT_FALSE(l.debit_cell.Empty());
    ui::UiReset();  // the measured window and its table are gone

    testing_support::FakeHome home;
    const std::string backups = home.Folder("Sauvegardes été");
    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");
    const uint32_t maroon = ui::ToPixel(ui::ColorToRGB(ui::clMaroon)), blue = ui::ToPixel(ui::ColorToRGB(ui::clBlue));
    EXPECT_TRUE(s.WaitFor([&] { return s.ShowsColour(l.debit_cell, maroon); })) << "debits start in maroon";

    // The colour box's list drops at a click on its button and holds the mouse:
    // its scroll bar's arrow moves it down, and a click on Blue takes it.
    const ui::TRect arrow = ui::Bounds(l.list_down_arrow.x - 2, l.list_down_arrow.y - 2, 5, 5);
    const std::vector<uint32_t> closed = s.Grab(arrow);
    s.Click(l.debit_button);
    EXPECT_TRUE(s.Changes(arrow, closed)) << "the list did not drop down";
    s.Xdotool("mousemove --sync " + s.At(l.list_down_arrow) + " click --repeat 5 --delay 150 1");
    EXPECT_TRUE(s.WaitFor([&] { return s.ShowsColour(ui::Bounds(l.blue_swatch.x, l.blue_swatch.y, 4, 3), blue); }))
        << "the open list shows the blue swatch where Blue is";
    s.Click(l.blue_item);
    EXPECT_TRUE(s.WaitFor([&] { return s.ShowsColour(l.debit_cell, blue) && !s.ShowsColour(l.debit_cell, maroon); }))
        << "the debits are blue";

    // Back up: the picker opens; Home, opened, its folder, OK; the message answered.
    s.Click(l.backup_button);
    ASSERT_FALSE(s.FocusNamed("Browse for Folder").empty()) << "no folder picker";
    s.Xdotool("key --delay 150 Down Right Right Return");
    ASSERT_FALSE(s.FocusNamed("Back up to folder").empty()) << "no message after the backup";
    s.Xdotool("key Return");
    EXPECT_TRUE(s.NoWindowNamed("Back up to folder"));

    EXPECT_EQ(s.Close(), 0) << s.Log();

    // The backup is whole: another program reads every record of it.
    const std::string copy = backups + "/transactionhistory.dbf";
    ASSERT_TRUE(fs::exists(copy)) << s.Log();
    const std::string read = ScreenSession::Output(
        "/usr/bin/python3 -c 'import sys, dbfread; t = dbfread.DBF(sys.argv[1], encoding=\"cp858\", load=True); "
        "print(len(t.records), t.records[0][\"DETAIL\"])' '" +
        copy + "' 2>&1");
    std::ifstream table(demo::HistoryPath(folder_), std::ios::binary);
    char header[8] = {};
    table.read(header, 8);
    const int count = uint8_t(header[4]) | uint8_t(header[5]) << 8 | uint8_t(header[6]) << 16;
    EXPECT_EQ(read, std::to_string(count) + " Salary");
    const ui::TIniFile ini(s.Settings());
    EXPECT_EQ(ini.ReadInteger("GRID COLOURS", "DEBIT", -1), int(ui::clBlue));
    EXPECT_EQ(ini.ReadString("OPTIONS", "BACKUP FOLDER", ""), platform::Utf8ToAnsi(backups));
}

}  // namespace
