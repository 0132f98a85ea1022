#pragma once
// The program's main window over the demo's history in a folder of the
// test's own, on a fresh engine and desktop.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "controls/dateedit.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/vfile/vfile.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window.hpp"
#include "framework/db/fields.hpp"
#include "tests/support/engine_fixture.hpp"

namespace testing_examples {

// The pixels of a rectangle of the screen as a window drawn headless shows
// them (`top` at its screen place), row by row, without alpha: what a screen
// test expects to read back from the X server there.
inline std::vector<uint32_t> Pixels(ui::HWND top, const ui::TRect& screen) {
    const ui::TRect w = ui::GetWindowRect(top);
    const ui::SurfacePtr s = ui::GetWindowSurface(top);
    std::vector<uint32_t> out;
    for (int y = screen.top; y < screen.bottom; ++y)
        for (int x = screen.left; x < screen.right; ++x) out.push_back(s->Row32(y - w.top)[x - w.left] & 0xFFFFFF);
    return out;
}

// The main window's date edit that filters the history.
inline controls::TDateEdit* FromDate(demo::TMainWindow* w) {
    for (ui::TComponent* c : w->Components())
        if (c->Name() == "FromDate") return dynamic_cast<controls::TDateEdit*>(c);
    return nullptr;
}

// The screen point of the grid's indicator arrow on a row (1 the first data
// row): a pixel it paints black only on the current record's row.
inline ui::TPoint IndicatorArrow(zurod::TTzGrid* grid, int row) {
    const ui::TRect r = grid->CellRect(0, row).Inflate(-1, -1);
    return grid->ClientToScreen({r.right - 8 - 1 + 5, int(unsigned(r.top + r.bottom - 9) >> 1) + 4});
}

class MainWindowTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ui::UiReset();
        ui::InstallClock(&clock_);
        ui::SetStallLimit(50);
        zurod::VFileInit();
        zurod::ExprInit();
        zurod::MemoInit();
        zurod::IndexInit();
        // The engine's settings as the program takes them.
        zurod::DatasetInit();
        zurod::SetCentury(true);
        folder_ = dir_.path();
        zurod::SetRaiseMode(true);
        demo::WriteHistory(demo::HistoryPath(folder_), demo::GenerateHistory(), [] {});
        zurod::SetRaiseMode(false);
    }
    void TearDown() override {
        ui::UiReset();
        EngineTest::TearDown();
    }
    void Pump() { ui::Application().ProcessMessages(); }
    ui::Owned<demo::TMainWindow> Open(const std::string& settings) {
        auto w = ui::Make<demo::TMainWindow>(nullptr, folder_, settings);
        w->Show();
        Pump();
        return w;
    }

    ui::VirtualClock clock_{true};
    std::string folder_;
};

}  // namespace testing_examples
