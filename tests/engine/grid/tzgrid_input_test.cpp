#include <string>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "tests/engine/grid/grid_fixture.hpp"
#include "tests/framework/db/vector_dataset.hpp"

namespace {

using namespace testing_grid;
using namespace zurod;
using ui::TShiftState;

class GridInputTest : public GridTest {};

TEST_F(GridInputTest, KeysMoveThroughTheDataset) {
    TTzDbf* ds = Table(100);
    Bind(ds);
    Show();
    const int page = grid_->VisibleRowCount();
    struct Step {
        ui::UINT key;
        unsigned mods;
        int record;
    };
    const Step steps[] = {
        {ui::VK_DOWN, 0, 2},
        {ui::VK_NEXT, 0, 2 + page},
        {ui::VK_UP, 0, 1 + page},
        {ui::VK_PRIOR, 0, 1},
        {ui::VK_END, ui::kControl, 100},
        {ui::VK_UP, ui::kControl, 100 - page + 1},  // the top of the window
        {ui::VK_DOWN, ui::kControl, 100},           // its bottom
        {ui::VK_HOME, ui::kControl, 1},
        {ui::VK_NEXT, ui::kControl, page},
        {ui::VK_PRIOR, ui::kControl, 1},
    };
    for (const Step& s : steps) {
        Press(s.key, s.mods);
        EXPECT_EQ(Rec(ds), s.record) << "key " << s.key << " mods " << s.mods;
    }
    // Columns: End and Home go to the last and first, Ctrl+Left and Right too.
    Press(ui::VK_END);
    EXPECT_EQ(grid_->SelectedIndex(), 9);
    Press(ui::VK_LEFT);
    EXPECT_EQ(grid_->SelectedIndex(), 8);
    Press(ui::VK_LEFT, ui::kControl);
    EXPECT_EQ(grid_->SelectedIndex(), 0);
    Press(ui::VK_RIGHT, ui::kControl);
    EXPECT_EQ(grid_->SelectedIndex(), 9);
    Press(ui::VK_HOME);
    EXPECT_EQ(grid_->SelectedIndex(), 0);
    EXPECT_EQ(Rec(ds), 1) << "with several columns Home stays on the record";
}

TEST_F(GridInputTest, DownOnTheLastRecordAppendsOnlyWhenTheGridEdits) {
    TTzDbf* ds = Table(3);
    Bind(ds);
    grid_->SetOptions(grid_->Options() & ~dgEditing);
    Show();
    ds->Last();
    Key(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsBrowse) << "no editing in the grid";
    grid_->SetOptions(grid_->Options() | dgEditing);
    Key(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsInsert);
    Key(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsInsert) << "at the end an untouched new record stays";
    Key(ui::VK_UP);
    EXPECT_EQ(ds->State(), db::dsBrowse) << "and going up drops it";
    EXPECT_EQ(ds->RecCount(), 3);
    grid_->AutoAppend = false;
    ds->Last();
    Key(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsBrowse);
    Key(ui::VK_INSERT, ui::ssShift);
    EXPECT_EQ(ds->State(), db::dsBrowse);
    Key(ui::VK_INSERT);
    EXPECT_EQ(ds->State(), db::dsInsert);
    Key(ui::VK_ESCAPE);
    EXPECT_EQ(ds->State(), db::dsBrowse);
}

TEST_F(GridInputTest, CtrlDeleteMarksAndRestoresAfterItsQuestions) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    Show();
    ds->Go(2);
    struct Case {
        TTzGridOptions options;
        int answer;  // 0: none queued
        bool deleted;
        const char* question;
    };
    const Case cases[] = {
        {dgConfirmDelete | dgConfirmRestore, platform::kIdCancel, false, "Delete Record ?"},
        {dgConfirmDelete | dgConfirmRestore, platform::kIdOk, true, "Delete Record ?"},
        {dgConfirmDelete | dgConfirmRestore, platform::kIdCancel, true, "Restore Record ?"},
        {dgConfirmDelete | dgConfirmRestore, platform::kIdOk, false, "Restore Record ?"},
        {0, 0, true, nullptr},
        {0, 0, false, nullptr},
    };
    for (const Case& c : cases) {
        grid_->SetOptions(dgTitles | dgIndicator | c.options);
        box_.shown.clear();
        if (c.answer) box_.answers.push_back(c.answer);
        Press(ui::VK_DELETE, ui::kControl);
        EXPECT_EQ(ds->RecordDeleted(), c.deleted);
        if (c.question) {
            ASSERT_EQ(box_.shown.size(), 1u);
            EXPECT_EQ(box_.shown[0].text, c.question);
            EXPECT_EQ(box_.shown[0].flags & 0xF, unsigned(platform::kMbOkCancel));
        } else {
            EXPECT_TRUE(box_.shown.empty());
        }
        EXPECT_EQ(Rec(ds), 2) << "the record stays where it was";
    }
    Press(ui::VK_DELETE);
    EXPECT_FALSE(ds->RecordDeleted()) << "Delete alone does nothing";
    grid_->ReadOnly = true;
    Press(ui::VK_DELETE, ui::kControl);
    EXPECT_FALSE(ds->RecordDeleted());

    // Any other dataset loses the record after the question.
    auto other =
        ui::Make<testing_db::VectorDataSet>(nullptr, std::vector<testing_db::Column>{{"NAME", db::ftString, 8}});
    other->rows = {{std::string("A")}, {std::string("B")}};
    other->Open();
    Bind(other.get());
    grid_->ReadOnly = false;
    grid_->SetOptions(grid_->Options() | dgConfirmDelete);
    box_.answers.push_back(platform::kIdOk);
    Press(ui::VK_DELETE, ui::kControl);
    EXPECT_EQ(other->rows.size(), 1u);
    Bind(ds);
}

TEST_F(GridInputTest, TabCrossesColumnsThatTakeATabAndWrapsIntoTheNextRecord) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    for (const char* name : {"DATE", "DETAIL", "AMOUNT"}) grid_->Columns().Add()->SetFieldName(name);
    grid_->Columns()[1]->SetReadOnly(true);
    Show();
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 3; ++i) {
        Press(ui::VK_TAB);
        seen.push_back({grid_->SelectedIndex(), Rec(ds)});
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{2, 1}, {0, 2}, {2, 2}}));
    Press(ui::VK_TAB, ui::kShift);
    EXPECT_EQ((std::pair{grid_->SelectedIndex(), Rec(ds)}), (std::pair{0, 2}));
    // No column takes a tab: the search wraps once, into the next record.
    for (int i = 0; i < 3; ++i) grid_->Columns()[i]->SetReadOnly(true);
    Press(ui::VK_TAB);
    EXPECT_EQ((std::pair{grid_->SelectedIndex(), Rec(ds)}), (std::pair{0, 3}));
}

TEST_F(GridInputTest, SpaceAndEnterToggleALogicalValueAndOtherKeysMeanNothingThere) {
    TTzDbf* ds = Logical(3);
    Bind(ds);
    grid_->SetOptions(grid_->Options() | dgEditing);
    Show();
    Press(ui::VK_RIGHT);
    ASSERT_EQ(grid_->SelectedField()->FieldName(), "PAID");
    EXPECT_TRUE(ds->FieldByName("PAID")->AsBoolean());
    Type(" ");
    EXPECT_FALSE(ds->FieldByName("PAID")->AsBoolean());
    EXPECT_EQ(ds->State(), db::dsEdit);
    Type("x\b");
    EXPECT_FALSE(ds->FieldByName("PAID")->AsBoolean());
    EXPECT_FALSE(grid_->EditorMode()) << "no editor for a logical value";
    Type("\r");
    EXPECT_TRUE(ds->FieldByName("PAID")->AsBoolean());
    // A click on the current cell toggles too.
    Click(2, 1);
    EXPECT_FALSE(ds->FieldByName("PAID")->AsBoolean());
    Press(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsBrowse) << "moving on posts";
    ds->First();
    EXPECT_FALSE(ds->FieldByName("PAID")->AsBoolean());
}

TEST_F(GridInputTest, TheEditorTypesIntoTheFieldWithTheEnginesDateMask) {
    TTzDbf* ds = Table(3);
    Bind(ds);
    grid_->SetOptions(grid_->Options() | dgEditing);
    Show();
    EXPECT_EQ(grid_->SelectedField()->FieldName(), "DATE");
    Press(ui::VK_F2);
    ui::TInplaceEdit* editor = grid_->InplaceEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->Visible());
    EXPECT_EQ(editor->EditMask(), "99/99/9999;1; ") << "the engine's date format with the century";
    EXPECT_EQ(editor->EditText(), "05/03/2024");
    Type("17032024");  // over the whole text, which the editor selected
    Type("\r");
    EXPECT_EQ(ds->FieldByName("DATE")->Text(), "17/03/2024");
    EXPECT_FALSE(editor->Visible());
    Press(ui::VK_RIGHT);
    Type("Groceries");  // a printable key opens the editor with itself
    ASSERT_TRUE(editor->Visible());
    EXPECT_EQ(editor->MaxLength(), 30);
    Press(ui::VK_DOWN);
    EXPECT_EQ(ds->State(), db::dsBrowse);
    ds->First();
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "Groceries");
    EXPECT_EQ(ds->FieldGet("DATE"), "17/03/2024");
    // Escape takes back what was typed.
    Press(ui::VK_RIGHT);
    Type("X");
    Press(ui::VK_ESCAPE);
    Press(ui::VK_ESCAPE);
    EXPECT_EQ(ds->State(), db::dsBrowse);
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "Groceries");
    SetDateFormat(1);
    SetCentury(false);
    Press(ui::VK_LEFT);
    Press(ui::VK_LEFT);
    Press(ui::VK_F2);
    EXPECT_EQ(editor->EditMask(), "99/99/99;1; ");
}

TEST_F(GridInputTest, MouseClicksMoveTheDatasetAndRaiseTheGridsEvents) {
    TTzDbf* ds = Table(20);
    Bind(ds);
    Show();
    std::vector<std::string> events;
    auto column = [&](const char* what) {
        return [&events, what](ui::TObject*, TTzColumn* c) { events.push_back(what + c->FieldName()); };
    };
    auto plain = [&](const char* what) { return [&events, what](ui::TObject*) { events.push_back(what); }; };
    grid_->OnTitleClick = column("title ");
    grid_->OnCellClick = column("cell ");
    grid_->OnCornerLeftClick = plain("corner left");
    grid_->OnCornerRightClick = plain("corner right");
    grid_->OnIndicatorClick = plain("indicator");
    Click(2, 5);
    EXPECT_EQ(Rec(ds), 5);
    EXPECT_EQ(grid_->SelectedIndex(), 1);
    Click(0, 3);
    EXPECT_EQ(Rec(ds), 3);
    Click(3, 0);
    Click(0, 0);
    Click(0, 0, ui::MouseButton::Right);
    EXPECT_EQ(events,
              (std::vector<std::string>{"cell DETAIL", "indicator", "title SOURCE", "corner left", "corner right"}));
    // A title pressed on one column and let go on another is no click.
    events.clear();
    grid_->SetOptions(grid_->Options() & ~dgColumnResize);
    Mouse(ui::MouseAction::Down, Inside(2, 0));
    Mouse(ui::MouseAction::Up, Inside(4, 0));
    EXPECT_TRUE(events.empty());
}

TEST_F(GridInputTest, DraggingMovesColumnsAndSizesThemAndTheGridKeepsTrack) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    for (const char* name : {"DATE", "DETAIL", "AMOUNT"}) grid_->Columns().Add()->SetFieldName(name);
    Show();
    std::vector<std::pair<int, int>> moves;
    grid_->OnColumnMoved = [&](ui::TObject*, int from, int to) { moves.push_back({from, to}); };
    Click(2, 0, ui::MouseButton::Right);
    ASSERT_EQ(grid_->DepressedTitle(), 1);
    // DATE taken by its title past AMOUNT.
    Mouse(ui::MouseAction::Down, Inside(1, 0));
    Mouse(ui::MouseAction::Move, {Inside(1, 0).x + 10, Inside(1, 0).y});
    const ui::TRect amount = grid_->CellRect(3, 0);
    Mouse(ui::MouseAction::Move, {amount.right - 3, amount.top + 5});
    Mouse(ui::MouseAction::Up, {amount.right - 3, amount.top + 5});
    EXPECT_EQ(moves, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_EQ(grid_->Columns()[2]->FieldName(), "DATE");
    EXPECT_EQ(grid_->DepressedTitle(), 0) << "the pressed title follows DETAIL";
    // The line after AMOUNT (now the middle column) drawn 20 pixels further.
    const ui::TRect r = grid_->CellRect(2, 0);
    const int width = grid_->Columns()[1]->GetWidth();
    Mouse(ui::MouseAction::Down, {r.right, r.top + 5});
    Mouse(ui::MouseAction::Move, {r.right + 20, r.top + 5});
    Mouse(ui::MouseAction::Up, {r.right + 20, r.top + 5});
    EXPECT_EQ(grid_->Columns()[1]->GetWidth(), width + 20);
    EXPECT_TRUE(grid_->Columns()[1]->AssignedValues() & cvWidth);
    // The indicator keeps its width.
    const ui::TRect corner = grid_->CellRect(0, 0);
    Mouse(ui::MouseAction::Down, {corner.right, corner.top + 5});
    Mouse(ui::MouseAction::Move, {corner.right + 20, corner.top + 5});
    Mouse(ui::MouseAction::Up, {corner.right + 20, corner.top + 5});
    EXPECT_EQ(grid_->ColWidths(0), 11);
}

TEST_F(GridInputTest, ScrollBarMessagesMoveTheDataset) {
    TTzDbf* ds = Table(60);
    Bind(ds);
    Show();
    const int page = grid_->VisibleRowCount();
    auto scroll = [&](int code) {
        ui::SendMessage(grid_->Handle(), ui::WM_VSCROLL, ui::WPARAM(code), 0);
        return Rec(ds);
    };
    EXPECT_EQ(scroll(ui::SB_LINEDOWN), page + 1) << "one past the window's last row";
    EXPECT_EQ(scroll(ui::SB_LINEUP), 1);
    EXPECT_EQ(scroll(ui::SB_PAGEDOWN), page + 1);
    EXPECT_EQ(scroll(ui::SB_BOTTOM), 60);
    EXPECT_EQ(scroll(ui::SB_TOP), 1);
    // The thumb let go at 30: that record, unless the deleted switch hides it.
    ds->Go(30);
    ds->SetRecordDeleted(true);
    ds->First();
    ds->SetHideDeletedRecs(true);
    ui::SCROLLINFO si;
    si.fMask = ui::SIF_POS;
    for (auto [at, expected] : {std::pair{25, 25}, {1, 1}, {60, 60}}) {
        si.nPos = at;
        ui::SetScrollInfo(grid_->Handle(), ui::SB_VERT, si, false);
        EXPECT_EQ(scroll(ui::SB_THUMBPOSITION), expected);
    }
    si.nPos = 30;
    ui::SetScrollInfo(grid_->Handle(), ui::SB_VERT, si, false);
    scroll(ui::SB_THUMBPOSITION);
    EXPECT_FALSE(ds->RecordDeleted()) << "a hidden record is never where the thumb lands";
}

TEST_F(GridInputTest, TheNavigatorsDeleteButtonTogglesTheDeleteMark) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    auto* nav = new TTzNavigator(form_.get());
    nav->SetParent(form_.get());
    nav->SetBounds(8, 320, 240, 25);
    nav->SetDataSource(source_.get());
    std::vector<db::TNavigateBtn> clicks;
    nav->OnClick = [&](ui::TObject*, db::TNavigateBtn b) { clicks.push_back(b); };
    Show();
    ds->Go(3);
    struct Step {
        int answer;
        bool deleted;
        const char* question;
    };
    for (const Step& s :
         {Step{platform::kIdOk, true, "Delete Record ?"}, Step{platform::kIdCancel, true, "Restore Record ?"},
          Step{platform::kIdOk, false, "Restore Record ?"}}) {
        box_.shown.clear();
        box_.answers.push_back(s.answer);
        nav->BtnClick(db::nbDelete);
        EXPECT_EQ(ds->RecordDeleted(), s.deleted);
        ASSERT_EQ(box_.shown.size(), 1u);
        EXPECT_EQ(box_.shown[0].text, s.question);
    }
    EXPECT_EQ(clicks.size(), 3u) << "OnClick after every press, confirmed or not";
    nav->ConfirmDelete = nav->ConfirmRestore = false;
    const ui::TRect b = nav->Button(db::nbDelete)->BoundsRect();
    ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, nav->ClientToScreen({b.left + 5, b.top + 5}));
    ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, nav->ClientToScreen({b.left + 5, b.top + 5}));
    Pump();
    EXPECT_TRUE(ds->RecordDeleted()) << "the button itself, unasked";
    EXPECT_EQ(ds->RecCount(), 5) << "nothing is removed";
    nav->BtnClick(db::nbNext);
    EXPECT_EQ(Rec(ds), 4);
    ds->ReadOnly = true;
    nav->BtnClick(db::nbDelete);
    EXPECT_FALSE(ds->RecordDeleted()) << "a read-only table is left alone";
    EXPECT_EQ(clicks.size(), 5u);
}

}  // namespace
