#pragma once
// A fresh desktop for each test: no windows, no messages, a virtual clock
// that jumps to the next timer when the loop would wait, default system
// colours, and message boxes that answer from a script.
#include <gtest/gtest.h>

#include "framework/ui/forms.hpp"
#include "platform/msgbox.hpp"

namespace testing_ui {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::UiReset();
        ui::InstallClock(&clock_);
        ui::SetStallLimit(50);
        previous_box_ = platform::InstallMessageBox(&box_);
    }
    void TearDown() override {
        platform::InstallMessageBox(previous_box_);
        ui::UiReset();
    }
    // Dispatches everything waiting, timers that are due included.
    void Pump() { ui::Application().ProcessMessages(); }

    ui::VirtualClock clock_{true};
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_box_ = nullptr;
};

// A colour surface of `w` x `h` filled with `c`, and a DC on it.
struct Canvas32 {
    Canvas32(int w, int h, ui::COLORREF c = 0xFFFFFF)
        : surface(ui::Surface::Create(w, h, ui::PixelFormat::Color32)), dc(surface) {
        surface->Fill(c);
    }
    ui::COLORREF At(int x, int y) const { return surface->Pixel(x, y); }
    ui::SurfacePtr surface;
    ui::DC dc;
};

}  // namespace testing_ui
