#pragma once
// A form holding a data grid over a history table, on a fresh engine and
// desktop; pixels are read back from the form's window, input arrives as the
// desktop's mouse and the grid's key handling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/grid/tzgrid.hpp"
#include "engine/grid/tznavigator.hpp"
#include "framework/ui/forms.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"
#include "tests/support/ui_fixture.hpp"

namespace testing_grid {

// The grid with the key handling open to the tests.
class TestGrid : public zurod::TTzGrid {
public:
    using TCustomTzGrid::KeyDown;
    using TCustomTzGrid::KeyPress;
    using TTzGrid::TTzGrid;
};

class GridTest : public testing_dataset::DatasetTest {
protected:
    void SetUp() override {
        DatasetTest::SetUp();
        ui::InstallClock(&clock_);
        ui::SetStallLimit(50);
        form_ = ui::Make<ui::TForm>(nullptr);
        form_->SetBounds(10, 10, 640, 420);
        form_->SetCaption("Grid");
        source_ = ui::Make<db::TDataSource>(nullptr);
        grid_ = new TestGrid(form_.get());
        grid_->SetParent(form_.get());
        grid_->SetBounds(8, 8, 600, 300);
        grid_->TitleFont()->SetName("Tahoma");
        grid_->TitleFont()->SetHeight(-11);
    }
    void TearDown() override {
        grid_ = nullptr;
        form_.reset();
        source_.reset();
        DatasetTest::TearDown();
    }
    void Pump() { ui::Application().ProcessMessages(); }
    // Real key presses through the desktop's queue, modifiers held.
    void Press(ui::UINT vk, unsigned mods = 0) {
        testing_ui::QueueKey(vk, mods);
        Pump();
    }
    void Type(const std::string& text) {
        testing_ui::QueueText(text);
        Pump();
    }
    void Show() {
        form_->Show();
        form_->SetActiveControl(grid_);
        grid_->SetFocus();
        Pump();
    }
    // A history table with `n` records named R1.. and amounts 1, 2, ..
    zurod::TTzDbf* Table(int n, const std::string& file = "history.dbf") {
        zurod::TTzDbf* ds = History(file);
        ds->Open();
        std::vector<std::pair<std::string, double>> rows;
        for (int i = 1; i <= n; ++i) rows.push_back({"R" + std::to_string(i), i});
        Add(*ds, rows);
        ds->GoTop();
        return ds;
    }
    // A table of a name and a logical field: records alternately true and false.
    zurod::TTzDbf* Logical(int n) {
        auto* ds = Make<zurod::TTzDbf>("Paid", {"NAME,C,10,0", "PAID,L,1,0"}, "paid.dbf");
        ds->SetExclusive(true);
        ds->Open();
        for (int i = 1; i <= n; ++i) {
            ds->ClearRecord();
            ds->FieldPut("NAME", "N" + std::to_string(i));
            ds->FieldPut("PAID", i % 2 ? "T" : "F");
            ds->AppendRec();
        }
        ds->GoTop();
        return ds;
    }
    void Bind(db::TDataSet* ds) {
        source_->SetDataSet(ds);
        grid_->SetDataSource(source_.get());
    }
    // A pixel of the grid's client area, as the window shows it.
    ui::COLORREF At(int x, int y) {
        Pump();
        const ui::SurfacePtr s = ui::GetWindowSurface(form_->WindowHandle());
        const ui::TPoint p = grid_->ClientToScreen({x, y});
        const ui::TRect w = ui::GetWindowRect(form_->WindowHandle());
        return s->Pixel(p.x - w.left, p.y - w.top);
    }
    // The middle of a cell, a little in from its left edge.
    ui::TPoint Inside(int col, int row) {
        const ui::TRect r = grid_->CellRect(col, row);
        return {r.left + 4, r.top + r.Height() / 2};
    }
    void Mouse(ui::MouseAction a, ui::TPoint client, ui::MouseButton b = ui::MouseButton::Left) {
        ui::InjectMouse(a, b, grid_->ClientToScreen(client));
        Pump();
    }
    void Click(int col, int row, ui::MouseButton b = ui::MouseButton::Left) {
        Mouse(ui::MouseAction::Down, Inside(col, row), b);
        Mouse(ui::MouseAction::Up, Inside(col, row), b);
    }
    void Key(ui::UINT vk, ui::TShiftState shift = 0) {
        grid_->KeyDown(vk, shift);
        Pump();
    }
    int Rec(db::TDataSet* ds) { return ds->RecNo(); }

    ui::VirtualClock clock_{true};
    ui::Owned<ui::TForm> form_;
    ui::Owned<db::TDataSource> source_;
    TestGrid* grid_ = nullptr;
};

}  // namespace testing_grid
