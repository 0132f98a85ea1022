#include <fstream>
#include <sstream>

#include "framework/ui/inifiles.hpp"
#include "tests/examples/main_window_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;

TEST_F(MainWindowTest, ColumnWidthsAreWrittenOnCloseAndReadBackAtTheNextStart) {
    const std::string settings = dir_ / "corvanta.INI";
    {
        auto w = Open(settings);
        EXPECT_EQ(w->Grid()->Columns().Count(), 10);
        EXPECT_TRUE(w->Grid()->Focused()) << "the grid has the focus";
        w->Grid()->Columns()[1]->SetWidth(123);
        w->Close();
    }
    const ui::TIniFile ini(settings);
    EXPECT_EQ(ini.ReadInteger(demo::TMainWindow::kWidthSection, "HISTORY 1", 0), 123);
    EXPECT_EQ(ini.ReadSection(demo::TMainWindow::kWidthSection).size(), 10u);
    auto w = Open(settings);
    EXPECT_EQ(w->Grid()->Columns()[1]->GetWidth(), 123);
    EXPECT_EQ(w->Grid()->ColWidths(2), 123);
}

TEST_F(MainWindowTest, DebitsCreditsAndTransfersShowInTheirOwnInk) {
    auto w = Open("");
    zurod::TTzGrid* grid = w->Grid();
    int seen[3] = {};
    for (int row = 1; row < grid->RowCount(); ++row) {
        grid->DataLink().SetActiveRecord(row - 1);
        const std::string action = zurod::TzAllTrim(w->History()->FieldByName("ACTION")->AsString());
        grid->DataLink().SetActiveRecord(0);
        const ui::TColor ink = grid->RowColors(row - 1).cell_text;
        const char* actions[] = {"Debit", "Credit", "Transfer"};
        const ui::TColor inks[] = {ui::clMaroon, ui::clGreen, ui::clNavy};
        for (int i = 0; i < 3; ++i) {
            if (action != actions[i]) continue;
            EXPECT_EQ(ink, inks[i]) << action;
            ++seen[i];
        }
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

TEST_F(MainWindowTest, SettingsFilesKeepTheirSectionsAndTakeOddValuesCalmly) {
    const std::string path = dir_ / "odd.INI";
    std::ofstream(path) << "; a comment\r\n[Other]\r\nKey = kept \r\n[GRID COLUMN WIDTHS]\r\nhistory 0=wide\r\n"
                           "HISTORY 1=99999999999\r\nno equals sign\r\n";
    ui::TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("grid column widths", "HISTORY 0", -1), -1) << "no number";
    EXPECT_EQ(ini.ReadInteger("GRID COLUMN WIDTHS", "HISTORY 1", -1), -1) << "out of range";
    EXPECT_EQ(ini.ReadString("other", "key", ""), "kept");
    EXPECT_TRUE(ini.WriteInteger("GRID COLUMN WIDTHS", "History 0", 80));
    const ui::TIniFile again(path);
    EXPECT_EQ(again.ReadInteger("GRID COLUMN WIDTHS", "HISTORY 0", -1), 80);
    EXPECT_EQ(again.ReadString("Other", "Key", ""), "kept");
    // A folder that cannot be written keeps the old file.
    ui::TIniFile nowhere(dir_ / "no-such-folder/x.INI");
    EXPECT_FALSE(nowhere.WriteInteger("A", "B", 1));
    EXPECT_EQ(ui::ChangeFileExt("/opt/app/corvanta-run", ".INI"), "/opt/app/corvanta-run.INI");
    EXPECT_EQ(ui::ChangeFileExt("/opt/a.b/run.exe", ".INI"), "/opt/a.b/run.INI");
}

}  // namespace
