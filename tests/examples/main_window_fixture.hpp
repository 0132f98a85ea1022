#pragma once
// The program's main window over the demo's history in a folder of the
// test's own, on a fresh engine and desktop.
#include <gtest/gtest.h>

#include <string>

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

// The main window's date edit that filters the history.
inline controls::TDateEdit* FromDate(demo::TMainWindow* w) {
    for (ui::TComponent* c : w->Components())
        if (c->Name() == "FromDate") return dynamic_cast<controls::TDateEdit*>(c);
    return nullptr;
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
