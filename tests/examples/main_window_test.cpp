#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "controls/cvspeedbtn.hpp"
#include "examples/column_settings.hpp"
#include "examples/main_window_parts.hpp"
#include "examples/main_window_tools.hpp"
#include "examples/update_bar.hpp"
#include "framework/ui/inifiles.hpp"
#include "tests/examples/main_window_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;

// The columns' field names as they stand, and the width of each by name.
struct ColumnLayout {
    std::vector<std::string> order;
    std::map<std::string, int> widths;
};

ColumnLayout Layout(zurod::TTzGrid* grid) {
    ColumnLayout l;
    for (int i = 0; i < grid->Columns().Count(); ++i) {
        zurod::TTzColumn* c = grid->Columns()[i];
        l.order.push_back(c->FieldName());
        l.widths[c->FieldName()] = c->GetWidth();
        EXPECT_EQ(grid->ColWidths(i + 1), c->GetWidth()) << c->FieldName() << " as the grid lays it out";
    }
    return l;
}

zurod::TTzColumn* ColumnOf(zurod::TTzGrid* grid, const std::string& field) {
    for (int i = 0; i < grid->Columns().Count(); ++i)
        if (grid->Columns()[i]->FieldName() == field) return grid->Columns()[i];
    return nullptr;
}

TEST_F(MainWindowTest, ColumnOrderAndWidthsGoWithTheirFieldsToTheNextStart) {
    struct Move {
        const char* field;
        int to;
    };
    struct Case {
        const char* what;
        std::vector<Move> moves;
        std::map<std::string, int> widths;  // set after the moves
    };
    const Case cases[] = {
        {"DETAIL dragged past SOURCE, SOURCE widened", {{"DETAIL", 2}}, {{"SOURCE", 171}}},
        {"ACCNAME to the front, then DATE after it", {{"ACCNAME", 0}, {"DATE", 1}}, {{"ACCNAME", 90}, {"DATE", 123}}},
        {"DATE to the end, nothing widened", {{"DATE", 9}}, {}},
        {"no move, two widths", {}, {{"REF", 33}, {"BALANCE", 140}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string settings = dir_ / (std::string(c.what).substr(0, 4) + ".INI");
        ColumnLayout closed;
        {
            auto w = Open(settings);
            EXPECT_EQ(w->Grid()->Columns().Count(), 10);
            EXPECT_TRUE(w->Grid()->Focused()) << "the grid has the focus";
            for (const Move& m : c.moves) ColumnOf(w->Grid(), m.field)->SetIndex(m.to);
            for (const auto& [field, width] : c.widths) ColumnOf(w->Grid(), field)->SetWidth(width);
            closed = Layout(w->Grid());
            w->Close();
        }
        for (const auto& [field, width] : c.widths) EXPECT_EQ(closed.widths[field], width) << field;
        auto w = Open(settings);
        const ColumnLayout again = Layout(w->Grid());
        EXPECT_EQ(again.order, closed.order);
        EXPECT_EQ(again.widths, closed.widths);
    }
}

TEST_F(MainWindowTest, ColumnSettingsOfEarlierVersionsAndUnknownNamesAreReadCalmly) {
    struct Case {
        const char* what;
        std::string section;             // the lines of [GRID COLUMN WIDTHS]
        std::vector<std::string> first;  // the first columns after reading
        std::map<std::string, int> widths;
    };
    const Case cases[] = {
        {"widths by position",
         "HISTORY 1=123\r\nHISTORY 9=77\r\n",
         {"DATE", "DETAIL"},
         {{"DETAIL", 123}, {"ACCNAME", 77}}},
        {"a width by name wins over one by position",
         "HISTORY 1=123\r\nhistory detail=45\r\n",
         {"DATE", "DETAIL"},
         {{"DETAIL", 45}}},
        {"unknown, blank and repeated names",
         "HISTORY COLUMN ORDER=NOTES, accname,,DATE,ACCNAME\r\nHISTORY NOTES=50\r\n",
         {"ACCNAME", "DATE", "DETAIL", "SOURCE"},
         {}},
        {"a column missing from the order follows the named ones",
         "HISTORY COLUMN ORDER=SOURCE,DETAIL\r\nHISTORY SOURCE=0\r\nHISTORY DETAIL=wide\r\n",
         {"SOURCE", "DETAIL", "DATE", "DEST"},
         {}},
    };
    int defaults = 0;
    {
        auto w = Open("");
        defaults = ColumnOf(w->Grid(), "SOURCE")->GetWidth();
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string settings = dir_ / "old.INI";
        std::ofstream(settings, std::ios::trunc) << "[GRID COLUMN WIDTHS]\r\n" << c.section;
        auto w = Open(settings);
        const ColumnLayout l = Layout(w->Grid());
        ASSERT_EQ(l.order.size(), 10u);
        EXPECT_EQ(std::vector<std::string>(l.order.begin(), l.order.begin() + long(c.first.size())), c.first);
        for (const auto& [field, width] : c.widths) EXPECT_EQ(l.widths.at(field), width) << field;
        EXPECT_EQ(ColumnOf(w->Grid(), "SOURCE")->GetWidth(), defaults) << "no width given keeps the default";
        // Written back by name alone, and read back the same.
        w->Close();
        w.reset();
        for (const std::string& key : ui::TIniFile(settings).ReadSection("GRID COLUMN WIDTHS"))
            EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(key.back()))) << key;
        auto again = Open(settings);
        EXPECT_EQ(Layout(again->Grid()).order, l.order);
        EXPECT_EQ(Layout(again->Grid()).widths, l.widths);
    }
}

// Settings read into a shown grid lay it out once, and what it shows then is
// a full repaint of the columns as read.
TEST_F(MainWindowTest, ColumnSettingsLayTheGridOutOnce) {
    const std::string settings = dir_ / "once.INI";
    std::ofstream(settings) << "[GRID COLUMN WIDTHS]\r\nHISTORY COLUMN ORDER=ACCNAME,DATE\r\nHISTORY DETAIL=45\r\n";
    auto w = Open("");
    zurod::TTzGrid* grid = w->Grid();
    int layouts = 0;
    grid->OnDefineFieldMap = [&](ui::TObject*) { ++layouts; };
    demo::ReadColumnSettings(grid, ui::TIniFile(settings), demo::TMainWindow::kWidthSection,
                             demo::TMainWindow::kGridName);
    EXPECT_EQ(layouts, 1);
    const ColumnLayout l = Layout(grid);
    EXPECT_EQ(std::vector<std::string>(l.order.begin(), l.order.begin() + 2),
              (std::vector<std::string>{"ACCNAME", "DATE"}));
    EXPECT_EQ(l.widths.at("DETAIL"), 45);
    Pump();
    const ui::TRect screen = ui::GetWindowRect(grid->WindowHandle());
    const std::vector<uint32_t> shown = testing_examples::Pixels(w->WindowHandle(), screen);
    grid->Invalidate();
    Pump();
    EXPECT_TRUE(testing_examples::Pixels(w->WindowHandle(), screen) == shown);
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

TEST_F(MainWindowTest, TheUpdateCheckTakesItsAddressFromTheSettingsFile) {
    const std::string settings = dir_ / "corvanta.INI";
    auto w = Open(settings);
    demo::TUpdateBar* bar = w->UpdateBar();
    bar->CheckButton()->Click();
    EXPECT_EQ(bar->StatusLabel()->Caption(),
              "No update address is set (VERSION URL in section UPDATE CHECK of the settings file).");
    EXPECT_TRUE(ui::TIniFile(settings).WriteString("UPDATE CHECK", "VERSION URL", "example.com/corvanta/version.txt"));
    EXPECT_EQ(bar->VersionUrl(), "example.com/corvanta/version.txt");
    EXPECT_LE(bar->ClientToScreen({0, bar->Height()}).y, w->Grid()->ClientToScreen({0, 0}).y)
        << "the strip is above the grid";
    EXPECT_GT(bar->Height(), 0);
}

// Under the menu the speed buttons, then a row with the date filter, the row
// colours and the backup, then one with the preview and the update check, its
// button at the window's right edge; Tab goes along the rows to the grid.
TEST_F(MainWindowTest, TheToolsStandInTwoRowsUnderTheSpeedButtons) {
    auto w = Open("");
    auto named = [&](const std::string& name) -> ui::TControl* {
        for (ui::TComponent* c : w->Components())
            if (c->Name() == name) return dynamic_cast<ui::TControl*>(c);
        return nullptr;
    };
    auto top = [](ui::TControl* c) { return c->ClientToScreen({0, 0}).y; };
    auto middle = [](ui::TControl* c) { return c->ClientToScreen({0, c->Height() / 2}).y; };
    ui::TControl* speed = named("SpeedBar");
    ui::TControl* preview = named("PreviewButton");
    ui::TControl* from = named("FromDate");
    ASSERT_NE(speed, nullptr);
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(from, nullptr);
    demo::TMainWindowTools* tools = w->Tools();
    demo::TUpdateBar* bar = w->UpdateBar();
    EXPECT_EQ(speed->ClientToScreen({0, 0}).y, w->ClientToScreen({0, 0}).y) << "the speed buttons come first";
    struct Row {
        const char* what;
        std::vector<ui::TControl*> left_to_right;
    } rows[] = {
        {"view", {from, tools->DebitColour(), tools->CreditColour(), tools->BackupButton()}},
        {"commands", {preview, bar->OnlineLabel(), bar->CheckButton()}},
    };
    int below = speed->ClientToScreen({0, speed->Height()}).y;
    for (const Row& r : rows) {
        const int row_middle = middle(r.left_to_right.front());
        int right = 0;
        for (ui::TControl* c : r.left_to_right) {
            EXPECT_GE(top(c), below) << r.what << " " << c->Name();
            EXPECT_NEAR(middle(c), row_middle, 2) << r.what << " " << c->Name();
            EXPECT_GT(c->ClientToScreen({0, 0}).x, right) << r.what << " " << c->Name() << " overlaps";
            right = c->ClientToScreen({c->Width(), 0}).x;
        }
        EXPECT_LE(right, w->ClientToScreen({w->ClientWidth(), 0}).x) << r.what << " fits the window";
        for (ui::TControl* c : r.left_to_right) below = std::max(below, c->ClientToScreen({0, c->Height()}).y);
    }
    EXPECT_LE(below, top(w->Grid()));
    ui::TControl* check = bar->CheckButton();
    EXPECT_NEAR(check->ClientToScreen({check->Width(), 0}).x, w->ClientToScreen({w->ClientWidth(), 0}).x, 12)
        << "the update check at the right";
    // Tab from the grid: the row's controls in order, then round to the grid.
    ASSERT_TRUE(w->Grid()->Focused());
    std::vector<ui::TWinControl*> order;
    ui::TWinControl* at = w->Grid();
    for (int i = 0; i < 40; ++i) {
        at = w->FindNextControl(at, true, true);
        if (at == w->Grid()) break;
        if (at == from || at == tools->DebitColour() || at == tools->CreditColour() || at == tools->BackupButton() ||
            at == preview || at == bar->CheckButton())
            order.push_back(at);
    }
    const std::vector<ui::TWinControl*> expected = {
        dynamic_cast<ui::TWinControl*>(from),    tools->DebitColour(), tools->CreditColour(), tools->BackupButton(),
        dynamic_cast<ui::TWinControl*>(preview), bar->CheckButton()};
    EXPECT_EQ(order, expected);
}

// The window starts at the beginning of the history, as after Ctrl+Home: the
// thumb at the top, First and Prior off in the navigator and the speed bar. A
// history with no records (new, or fully packed) opens too: one empty row and
// every move off.
TEST_F(MainWindowTest, TheWindowStartsAtTheFirstRecordOrOnAnEmptyHistory) {
    struct Case {
        const char* what;
        bool empty;
    };
    const Case cases[] = {{"the demo's history", false}, {"an empty history", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.empty) {
            zurod::RaiseModeScope raise(true);
            demo::WriteHistory(demo::HistoryPath(folder_), {}, [] {});
        }
        auto w = Open("");
        zurod::TTzDbf* history = w->History();
        EXPECT_TRUE(history->Bof());
        EXPECT_EQ(history->Eof(), c.empty);
        EXPECT_EQ(history->IsEmpty(), c.empty);
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        if (!c.empty) {
            EXPECT_EQ(history->RecNo(), 1);
        }
        zurod::TTzGrid* grid = w->Grid();
        EXPECT_EQ(ui::GetScrollPos(grid->Handle(), ui::SB_VERT), 0) << "the thumb at the top";
        EXPECT_EQ(grid->RowCount() == 2, c.empty) << "one empty row under the titles";
        auto* bar = demo::FindPart<ui::TPanel>(w.get(), demo::kSpeedBarName);
        ASSERT_NE(bar, nullptr);
        const struct {
            db::TNavigateBtn button;
            const char* glyph;
            bool enabled;
        } buttons[] = {
            {db::nbFirst, "CV_FIRST", false},
            {db::nbPrior, "CV_PRIOR", false},
            {db::nbNext, "CV_NEXT", !c.empty},
            {db::nbLast, "CV_LAST", !c.empty},
        };
        for (const auto& b : buttons) {
            EXPECT_EQ(w->Navigator()->Button(b.button)->Enabled(), b.enabled) << b.glyph;
            auto* speed = demo::FindPart<controls::TCvSpeedButton>(bar, b.glyph);
            ASSERT_NE(speed, nullptr) << b.glyph;
            EXPECT_EQ(speed->Enabled(), b.enabled) << b.glyph;
        }
        EXPECT_TRUE(box_.shown.empty());
        w->Close();
    }
}

}  // namespace
