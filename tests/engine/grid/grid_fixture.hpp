#pragma once
// A form holding a data grid and a navigator over a history table, on a
// fresh engine and desktop; pixels are read back from the form's window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dataset/tzgrid.hpp"
#include "engine/dataset/tznavigator.hpp"
#include "framework/ui/forms.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace testing_grid {

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
        grid_ = new zurod::TTzGrid(form_.get());
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
    void Show() {
        form_->Show();
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
    void Bind(zurod::TZoVizuRez* ds) {
        source_->SetDataSet(ds);
        grid_->SetDataSource(source_.get());
    }
    // A pixel of the grid's client area, as the window shows it.
    ui::COLORREF At(ui::TWinControl* c, int x, int y) {
        Pump();
        const ui::SurfacePtr s = ui::GetWindowSurface(form_->WindowHandle());
        const ui::TPoint p = c->ClientToScreen({x, y});
        const ui::TRect w = ui::GetWindowRect(form_->WindowHandle());
        return s->Pixel(p.x - w.left, p.y - w.top);
    }
    void Save(const std::string& path) {
        Pump();
        ui::GetWindowSurface(form_->WindowHandle())->WritePng(path);
    }

    ui::VirtualClock clock_{true};
    ui::Owned<ui::TForm> form_;
    ui::Owned<db::TDataSource> source_;
    zurod::TTzGrid* grid_ = nullptr;
};

}  // namespace testing_grid
