#include "framework/ui/grids.hpp"

#include <set>
#include <utility>
#include <vector>

#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// A grid that exposes what the tests drive and counts the cells it draws.
class ProbeGrid : public TDrawGrid {
public:
    using TCustomGrid::KeyDown;
    using TCustomGrid::MoveTopLeft;
    using TDrawGrid::TDrawGrid;
    std::set<std::pair<int, int>> drawn;
    std::vector<std::pair<int, int>> moved;

protected:
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override {
        drawn.insert({col, row});
        TDrawGrid::DrawCell(col, row, rect, state);
    }
    void ColumnMoved(int from, int to) override { moved.push_back({from, to}); }
};

class GridTest : public testing_ui::UiTest {
protected:
    // A borderless form at the screen's origin holding a borderless grid at
    // its origin: screen, form and grid coordinates are the same.
    void SetUp() override {
        UiTest::SetUp();
        form_ = Make<TForm>(nullptr);
        form_->SetBorderStyle(bsNone);
        form_->SetBounds(0, 0, 400, 300);
        grid_ = new ProbeGrid(form_.get());
        grid_->SetParent(form_.get());
        grid_->SetBorderStyle(bsNone);
        grid_->SetScrollBars(ssNone);
        grid_->SetBounds(0, 0, 400, 300);
        grid_->SetColCount(10);
        grid_->SetRowCount(30);
        form_->Show();
        form_->SetActiveControl(grid_);
        grid_->SetFocus();
        Pump();
    }
    void TearDown() override {
        form_.reset();
        UiTest::TearDown();
    }
    COLORREF At(int x, int y) {
        Pump();
        return GetWindowSurface(form_->WindowHandle())->Pixel(x, y);
    }
    void Mouse(MouseAction a, int x, int y) {
        InjectMouse(a, MouseButton::Left, {x, y});
        Pump();
    }

    Owned<TForm> form_;
    ProbeGrid* grid_ = nullptr;
};

TEST_F(GridTest, CellsLieWhereSizesLinesAndTheTopLeftCellPutThem) {
    grid_->SetColWidths(2, 100);
    grid_->SetRowHeights(0, 30);
    struct Probe {
        int col, row;
        TRect rect;
    };
    // Column 0 is 64 wide, a line of 1, column 1 from 65, column 2 (100) from 130.
    for (const Probe& p : {Probe{0, 0, {0, 0, 64, 30}}, Probe{1, 1, {65, 31, 129, 55}}, Probe{2, 2, {130, 56, 230, 80}},
                           Probe{9, 1, {}}, Probe{-1, 0, {}}}) {
        SCOPED_TRACE(testing::Message() << p.col << "," << p.row);
        EXPECT_EQ(grid_->CellRect(p.col, p.row), p.rect);
    }
    // Scrolled: the fixed cells stay, column 3 follows the fixed column.
    grid_->MoveTopLeft(3, 5);
    EXPECT_EQ(grid_->CellRect(3, 5), (TRect{65, 31, 129, 55}));
    EXPECT_TRUE(grid_->CellRect(2, 5).Empty());
    struct Point {
        int x, y, col, row;
    };
    for (const Point& p : {Point{10, 10, 0, 0}, Point{64, 40, 0, 5}, Point{65, 40, 3, 5}, Point{70, 56, 3, 6},
                           Point{-1, 5, -1, -1}, Point{70, 400, -1, -1}}) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(grid_->MouseCoord(p.x, p.y), (TGridCoord{p.col, p.row}));
    }
    // 300 pixels hold the title (31) and 11 whole rows of 25.
    EXPECT_EQ(grid_->VisibleRowCount(), 10);
    EXPECT_EQ(grid_->VisibleColCount(), 5);
}

TEST_F(GridTest, KeysMoveTheCurrentCellAndScrollItIntoView) {
    struct Step {
        UINT key;
        TShiftState shift;
        int col, row, top;
    };
    const Step steps[] = {
        {VK_DOWN, 0, 1, 2, 1},      {VK_RIGHT, 0, 2, 2, 1},      {VK_NEXT, 0, 2, 13, 3},     {VK_END, 0, 9, 13, 3},
        {VK_HOME, 0, 1, 13, 3},     {VK_END, ssCtrl, 9, 29, 19}, {VK_HOME, ssCtrl, 1, 1, 1}, {VK_UP, 0, 1, 1, 1},
        {VK_LEFT, ssCtrl, 1, 1, 1}, {VK_PRIOR, 0, 1, 1, 1},
    };
    for (const Step& s : steps) {
        UINT key = s.key;
        grid_->KeyDown(key, s.shift);
        EXPECT_EQ(grid_->Col(), s.col) << "key " << s.key;
        EXPECT_EQ(grid_->Row(), s.row) << "key " << s.key;
        EXPECT_EQ(grid_->TopRow(), s.top) << "key " << s.key;
    }
}

TEST_F(GridTest, TheWheelMovesTheCurrentCellARowANotch) {
    struct Turn {
        int delta;
        int row, top;
    };
    // Towards the user (negative) is down; a half notch waits for the next half.
    const Turn turns[] = {{-120, 2, 1}, {-360, 5, 1}, {120, 4, 1},    {-60, 4, 1},
                          {-60, 5, 1},  {600, 1, 1},  {-3600, 29, 19}};
    for (const Turn& t : turns) {
        InjectMouse(MouseAction::Wheel, MouseButton::Left, {100, 100}, 0, t.delta);
        Pump();
        EXPECT_EQ(grid_->Row(), t.row) << t.delta;
        EXPECT_EQ(grid_->TopRow(), t.top) << t.delta;
        EXPECT_EQ(grid_->Col(), 1) << t.delta;
    }
}

TEST_F(GridTest, TabPassesOverColumnsWithoutTabStopsAndWrapsIntoTheNextRow) {
    grid_->SetOptions(grid_->Options() | goTabs);
    grid_->SetColCount(4);
    grid_->SetTabStops(2, false);
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 3; ++i) {
        UINT key = VK_TAB;
        grid_->KeyDown(key, 0);
        seen.push_back({grid_->Col(), grid_->Row()});
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 1}, {1, 2}, {3, 2}}));
    UINT key = VK_TAB;
    grid_->KeyDown(key, ssShift);
    EXPECT_EQ((std::pair{grid_->Col(), grid_->Row()}), (std::pair{1, 2}));
}

TEST_F(GridTest, DraggingALineSizesTheColumnWhileTheDragLineShowsWhere) {
    grid_->SetOptions(grid_->Options() | goColSizing);
    const COLORREF before = At(170, 100);
    Mouse(MouseAction::Move, 129, 10);  // over the line after column 1, in the fixed row
    EXPECT_EQ(GetCursor(), LoadStandardCursor(IDC_SIZEWE));
    Mouse(MouseAction::Move, 100, 10);
    EXPECT_NE(GetCursor(), LoadStandardCursor(IDC_SIZEWE));
    Mouse(MouseAction::Down, 129, 10);
    EXPECT_EQ(grid_->GridState(), gsColSizing);
    Mouse(MouseAction::Move, 170, 10);
    EXPECT_EQ(At(170, 100), (~before) & 0xFFFFFF) << "the drag line inverts what lies under it";
    Mouse(MouseAction::Up, 170, 10);
    EXPECT_EQ(grid_->ColWidths(1), 64 + 41);
    EXPECT_EQ(At(170, 100), ColorToRGB(clSilver)) << "the column's line stands where the drag line was";
    EXPECT_EQ(At(171, 100), before);
    EXPECT_EQ(grid_->GridState(), gsNormal);
}

TEST_F(GridTest, DraggingATitleMovesItsColumnAndTheCurrentCellGoesWithIt) {
    grid_->SetOptions(grid_->Options() | goColMoving);
    grid_->SetColWidths(1, 80);
    grid_->SetCol(1);
    // Column 1 (80 wide) taken by its title to column 3.
    Mouse(MouseAction::Down, 100, 10);
    Mouse(MouseAction::Move, 110, 10);
    Mouse(MouseAction::Move, 260, 10);
    Mouse(MouseAction::Up, 260, 10);
    EXPECT_EQ(grid_->moved, (std::vector<std::pair<int, int>>{{1, 3}}));
    EXPECT_EQ(grid_->ColWidths(3), 80);
    EXPECT_EQ(grid_->ColWidths(1), 64);
    EXPECT_EQ(grid_->Col(), 3);
    // A title pressed and let go in place moves nothing.
    Mouse(MouseAction::Down, 100, 10);
    Mouse(MouseAction::Up, 100, 10);
    EXPECT_EQ(grid_->moved.size(), 1u);
}

TEST_F(GridTest, ScrollingARowCopiesPixelsAndDrawsOnlyTheRowThatComesIn) {
    grid_->OnDrawCell = [](TObject* g, int col, int row, const TRect& r, TGridDrawState) {
        static_cast<ProbeGrid*>(g)->Canvas()->TextOut(r.left + 2, r.top + 2, std::to_string(col * 100 + row));
    };
    grid_->Invalidate();
    Pump();
    const COLORREF row3_text = At(70 + 2, 3 * 25 + 6);
    grid_->drawn.clear();
    grid_->SetTopRow(2);
    Pump();
    std::set<int> rows;
    for (const auto& [c, r] : grid_->drawn) rows.insert(r);
    EXPECT_EQ(rows, (std::set<int>{12})) << "the row that comes in at the bottom";
    EXPECT_EQ(At(70 + 2, 2 * 25 + 6), row3_text) << "row 3 moved up one row's height";
}

TEST_F(GridTest, AMouseHeldBelowTheCellsScrollsOneRowATick) {
    Mouse(MouseAction::Down, 100, 40);
    EXPECT_EQ(grid_->Row(), 1) << grid_->GridState();
    Mouse(MouseAction::Move, 100, 320);  // below the grid
    const int row = grid_->Row();
    clock_.Advance(70);
    Pump();
    clock_.Advance(70);
    Pump();
    EXPECT_GE(grid_->Row(), row + 2);
    Mouse(MouseAction::Up, 100, 320);
    const int stopped = grid_->Row();
    clock_.Advance(500);
    Pump();
    EXPECT_EQ(grid_->Row(), stopped) << "the timer ends with the press";
}

TEST_F(GridTest, FixedCellsLinesAndTheSelectionPaintInTheirColours) {
    grid_->SetOptions(grid_->Options() | goDrawFocusSelected);
    struct Probe {
        int x, y;
        TColor color;
        const char* what;
    };
    for (const Probe& p :
         {Probe{30, 10, clBtnFace, "a fixed cell"}, Probe{64, 10, clBlack, "a fixed line"},
          Probe{129, 45, clSilver, "a line between cells"}, Probe{100, 45, clHighlight, "the current cell"},
          Probe{200, 45, clWindow, "another cell"}, Probe{100, 70, clWindow, "the next row"}}) {
        EXPECT_EQ(At(p.x, p.y), ColorToRGB(p.color)) << p.what;
    }
    testing_ui::SavePicture(form_->WindowHandle(), "draw-grid");
}

TEST_F(GridTest, ScrollBarMessagesMoveTheTopLeftCell) {
    grid_->SetScrollBars(ssBoth);
    Pump();
    struct Step {
        UINT msg;
        int code, pos;
        int left, top;
    };
    const Step steps[] = {
        {WM_VSCROLL, SB_LINEDOWN, 0, 1, 2},      {WM_VSCROLL, SB_PAGEDOWN, 0, 1, 12},
        {WM_VSCROLL, SB_BOTTOM, 0, 1, 20},       {WM_VSCROLL, SB_TOP, 0, 1, 1},
        {WM_VSCROLL, SB_THUMBPOSITION, 7, 1, 8}, {WM_HSCROLL, SB_LINERIGHT, 0, 2, 8},
        {WM_HSCROLL, SB_THUMBTRACK, 3, 2, 8},    {WM_HSCROLL, SB_LINELEFT, 0, 1, 8},
    };
    for (const Step& s : steps) {
        SendMessage(grid_->Handle(), s.msg, WPARAM(s.code) | WPARAM(s.pos) << 16, 0);
        EXPECT_EQ(grid_->LeftCol(), s.left) << s.code;
        EXPECT_EQ(grid_->TopRow(), s.top) << s.code;
    }
    EXPECT_EQ(GetScrollPos(grid_->Handle(), SB_VERT), 7);
}

}  // namespace
}  // namespace ui
