#include <stdexcept>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/engine/grid/grid_fixture.hpp"

namespace {

using namespace testing_grid;
using namespace zurod;
using ui::TColor;

class GridDrawTest : public GridTest {
protected:
    // The middle of a cell.
    ui::COLORREF Middle(int col, int row) {
        const ui::TRect r = grid_->CellRect(col, row);
        return At(r.left + r.Width() / 2, r.top + r.Height() / 2 + 3);
    }
    // Pixels of `color` in a rectangle of the grid.
    int Count(const ui::TRect& r, ui::COLORREF color) {
        Pump();
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
        return n;
    }
    std::vector<int> rows_;
    std::vector<std::string> details_;
};

TEST_F(GridDrawTest, TheColourEventRunsOncePerRowAndPassSeeingTheRowInTheEngine) {
    TTzDbf* ds = Table(50);
    Bind(ds);
    grid_->OnChangeColorsEvent = [&](ui::TObject*, int row, TColor& indicator, TColor& cell, TColor&, TColor&, TColor&,
                                     TColor&, TColor&) {
        rows_.push_back(row);
        details_.push_back(TzAllTrim(ds->FieldGet("DETAIL")));
        if (row % 2 == 0) cell = ui::clYellow, indicator = ui::clLime;
    };
    Show();
    rows_.clear(), details_.clear();
    grid_->Invalidate();
    Pump();
    const int visible = grid_->VisibleRowCount();
    ASSERT_EQ(int(rows_.size()), visible);
    EXPECT_EQ(rows_.front(), 1);
    EXPECT_EQ(rows_.back(), visible);
    EXPECT_EQ(details_[3], "R4") << "the handler reads the row drawn through the engine";
    EXPECT_EQ(Middle(2, 2), ui::ColorToRGB(ui::clYellow));
    EXPECT_EQ(Middle(2, 3), ui::ColorToRGB(ui::clWindow)) << "clNone keeps the column's colour";
    EXPECT_EQ(Middle(0, 2), ui::ColorToRGB(ui::clLime));
    EXPECT_EQ(Middle(0, 3), ui::ColorToRGB(ui::clBtnFace));

    // Only one column repainted: its rows still ask for their colours.
    grid_->OnChangeColorsEvent = [&](ui::TObject*, int row, TColor&, TColor& cell, TColor&, TColor&, TColor&, TColor&,
                                     TColor&) {
        rows_.push_back(row);
        if (row == 2) cell = ui::clAqua;
    };
    rows_.clear();
    grid_->InvalidateCol(2);
    Pump();
    EXPECT_EQ(int(rows_.size()), visible);
    EXPECT_EQ(Middle(2, 2), ui::ColorToRGB(ui::clAqua));
    EXPECT_EQ(Middle(3, 2), ui::ColorToRGB(ui::clYellow)) << "the rest of the row was not drawn again";
}

TEST_F(GridDrawTest, ALineDownMovesTheRowsPixelsAndDrawsOnlyTheRowThatComesInAndTheCellTheHighlightLeft) {
    TTzDbf* ds = Table(100);
    Bind(ds);
    int events = 0;
    std::vector<ui::TPoint> drawn;
    grid_->OnChangeColorsEvent = [&](ui::TObject*, int, TColor&, TColor&, TColor&, TColor&, TColor&, TColor&, TColor&) {
        ++events;
    };
    grid_->OnDrawColumnCell = [&](ui::TObject*, const ui::TRect& r, int, TTzColumn*, ui::TGridDrawState) {
        drawn.push_back({r.left, r.top});
    };
    Show();
    const int last = grid_->VisibleRowCount();
    ds->MoveBy(last - 1);
    Pump();
    const ui::TRect cell = grid_->CellRect(2, 2);
    const ui::COLORREF text_pixel = At(cell.left + 3, cell.top + 8);
    drawn.clear(), events = 0;
    Key(ui::VK_DOWN);
    EXPECT_EQ(Rec(ds), last + 1);
    ASSERT_FALSE(drawn.empty());
    const ui::TRect left = grid_->CellRect(grid_->Col(), last - 1);
    int came_in = 0;
    for (ui::TPoint p : drawn) {
        if (p.y == grid_->CellRect(1, last).top)
            ++came_in;
        else
            EXPECT_EQ(p, (ui::TPoint{left.left, left.top}))
                << "beside the last row only the cell the highlight went with is drawn";
    }
    int shown = 0;
    for (int c = 1; c < grid_->ColCount(); ++c) shown += !grid_->CellRect(c, last).Empty();
    EXPECT_EQ(came_in, shown) << "the row that came in is drawn whole";
    EXPECT_EQ(events, last) << "the indicator cells ask for their rows' colours";
    const ui::TRect moved = grid_->CellRect(2, 1);
    EXPECT_EQ(At(moved.left + 3, moved.top + 8), text_pixel) << "row 2's pixels are row 1's now";
}

TEST_F(GridDrawTest, DeletedRecordsTakeTheirColoursAndTheSelectionWinsOverThem) {
    TTzDbf* ds = Table(10);
    ds->Go(3);
    ds->SetRecordDeleted(true);
    ds->Go(1);
    ds->SetRecordDeleted(true);
    Bind(ds);
    grid_->OnChangeColorsEvent = [](ui::TObject*, int row, TColor&, TColor& cell, TColor&, TColor&, TColor&,
                                    TColor& deleted, TColor&) {
        cell = ui::clYellow;
        if (row == 1) deleted = ui::clPurple;
    };
    Show();
    ds->First();
    EXPECT_EQ(Middle(2, 3), ui::ColorToRGB(ui::clRed)) << "deleted, over the event's cell colour";
    EXPECT_EQ(Middle(2, 2), ui::ColorToRGB(ui::clYellow));
    EXPECT_EQ(Middle(2, 1), ui::ColorToRGB(ui::clPurple)) << "the event chose the deleted colour";
    EXPECT_EQ(Middle(1, 1), ui::ColorToRGB(ui::clHighlight)) << "the current cell of the focused grid";
    testing_ui::SavePicture(form_->WindowHandle(), "data-grid");
}

TEST_F(GridDrawTest, PaintingLeavesTheEnginesRecordAndTypedBufferAsTheyWere) {
    TTzDbf* ds = Table(30);
    Bind(ds);
    bool raise = false;
    grid_->OnChangeColorsEvent = [&](ui::TObject*, int row, TColor&, TColor&, TColor&, TColor&, TColor&, TColor&,
                                     TColor&) {
        (void)ds->FieldGet("DETAIL");
        if (raise && row == 3) throw std::runtime_error("colour handler failed");
    };
    grid_->OnDrawDataCell = [](ui::TObject*, const ui::TRect&, db::TField*, ui::TGridDrawState) {};
    Show();
    ds->Go(5);
    const int active = grid_->DataLink().ActiveRecord();
    for (bool failing : {false, true}) {
        SCOPED_TRACE(failing ? "a handler raises" : "painting");
        raise = failing;
        // An append half made: the record is cleared and a field put.
        ds->ClearRecord();
        ds->FieldPut("DETAIL", "PENDING");
        Select(ds->WorkArea());
        const int32_t record = zurod::RecNo();
        grid_->Invalidate();
        Pump();
        Select(ds->WorkArea());
        EXPECT_EQ(zurod::RecNo(), record);
        EXPECT_EQ(grid_->DataLink().ActiveRecord(), active);
        EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "PENDING");
    }
    ASSERT_FALSE(box_.shown.empty()) << "the handler's failure is reported";
    EXPECT_EQ(box_.shown.back().text, "colour handler failed");
    ds->AppendRec();
    ds->GoBottom();
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "PENDING") << "the append took the fields put, no painted row";
    EXPECT_EQ(ds->RecCount(), 31);
}

TEST_F(GridDrawTest, LogicalValuesAreDrawnAsBoxesInNineStyles) {
    TTzDbf* ds = Logical(4);
    Bind(ds);
    Show();
    struct Case {
        TTzBooleanBox style;
        TColor mark;
        bool outline;
    };
    const Case cases[] = {
        {bbCheckBox, ui::clBlack, true}, {bbCheckMark, ui::clBlack, false}, {bbFillBox, ui::clBlack, true},
        {bbFillBoxRed, ui::clRed, true}, {bbRButton, ui::clBlack, true},    {bbRButtonRed, ui::clRed, true},
        {bbDot, ui::clBlack, false},     {bbDotRed, ui::clRed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        grid_->SetBooleanBox(c.style);
        for (int row : {1, 2}) {
            const bool checked = row == 1;
            const ui::TRect cell = grid_->CellRect(2, row);
            const int side = cell.Height(), left = cell.left + (cell.Width() - side) / 2;
            const ui::TRect inner{left + 2, cell.top + 2, left + side - 2, cell.bottom - 2};
            // Round outlines reach into the square's corners: only its middle then.
            const bool round = c.style == bbRButton || c.style == bbRButtonRed;
            const int cx = (inner.left + inner.right) / 2, cy = (inner.top + inner.bottom) / 2;
            const ui::TRect middle = round ? ui::TRect{cx - 2, cy - 2, cx + 2, cy + 2} : inner.Inflate(-2, -2);
            EXPECT_EQ(Count(middle, ui::ColorToRGB(c.mark)) > 0, checked) << "row " << row;
            EXPECT_EQ(At(inner.left, (inner.top + inner.bottom) / 2) == 0, c.outline) << "row " << row;
        }
    }
    grid_->SetBooleanBox(bbText);
    const ui::TRect cell = grid_->CellRect(2, 2);
    EXPECT_GT(Count({cell.left, cell.top, cell.left + 12, cell.bottom}, 0), 5) << "the false text written";
}

TEST_F(GridDrawTest, TheIndicatorShowsTheRecordsStateAndTheDepressedTitleIsSunken) {
    TTzDbf* ds = Table(10);
    Bind(ds);
    grid_->SetOptions(grid_->Options() | dgEditing);
    Show();
    ds->Go(2);
    Pump();
    // The images' own pixels: the arrow, the edit mark, the insert mark.
    auto image_pixel = [&](int dx, int dy) {
        const ui::TRect r = grid_->CellRect(0, grid_->Row()).Inflate(-1, -1);
        return At(r.right - 8 - 1 + dx, int(unsigned(r.top + r.bottom - 9) >> 1) + dy);
    };
    EXPECT_EQ(image_pixel(5, 4), 0u) << "the arrow's point";
    ds->Edit();
    EXPECT_NE(image_pixel(5, 4), 0u);
    EXPECT_EQ(image_pixel(3, 4), 0u) << "the edit mark's stem";
    ds->Cancel();
    ds->Insert();
    EXPECT_EQ(image_pixel(1, 4), 0u) << "the insert mark";
    ds->Cancel();

    const ui::TRect title = grid_->CellRect(2, 0);
    const ui::COLORREF raised = At(title.left, title.top + 3);
    EXPECT_EQ(raised, ui::ColorToRGB(ui::clBtnHighlight));
    std::vector<std::string> depressed;
    grid_->OnDepressTitle = [&](ui::TObject*, TTzColumn* c) { depressed.push_back(c->FieldName()); };
    Click(2, 0, ui::MouseButton::Right);
    EXPECT_EQ(grid_->DepressedTitle(), 1);
    EXPECT_EQ(depressed, std::vector<std::string>{"DETAIL"});
    EXPECT_NE(At(title.left, title.top + 3), raised) << "sunken";
    grid_->SetDepressDisabled(true);
    EXPECT_EQ(grid_->DepressedTitle(), -1);
    EXPECT_EQ(At(title.left, title.top + 3), raised);
    Click(3, 0, ui::MouseButton::Right);
    EXPECT_EQ(grid_->DepressedTitle(), -1) << "no title is pressed while that is disabled";
    EXPECT_EQ(depressed.size(), 1u);
}

}  // namespace
