#pragma once
// A fresh desktop for each test: no windows, no messages, a virtual clock
// that jumps to the next timer when the loop would wait, default system
// colours, and message boxes that answer from a script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "framework/ui/forms.hpp"
#include "platform/msgbox.hpp"

namespace ui {
// Readable failures for geometry.
inline void PrintTo(const TRect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
inline void PrintTo(const Region& g, std::ostream* os) {
    *os << "[";
    for (const TRect& r : g.Rects()) PrintTo(r, os), *os << " ";
    *os << "]";
}
}  // namespace ui

namespace testing_ui {

// Input queued on the desktop as the display queues it. Nothing is
// dispatched until a loop runs, so a modal loop begun next (a menu, a
// dialog) takes it.
inline void QueueKey(ui::UINT vk, unsigned mods = 0) {
    ui::InjectKey(vk, true, mods);
    ui::InjectKey(vk, false, mods);
}
inline void QueueText(const std::string& text) {
    for (char c : text) ui::InjectChar(c);
}
inline void QueueClick(ui::TPoint screen) {
    ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, screen);
    ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, screen);
}

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
    // Input through the desktop's queue, dispatched at once.
    void Key(ui::UINT vk, unsigned mods = 0) {
        QueueKey(vk, mods);
        Pump();
    }
    void Type(const std::string& text) {
        QueueText(text);
        Pump();
    }
    void Click(ui::TPoint screen) {
        QueueClick(screen);
        Pump();
    }
    void Mouse(ui::MouseAction action, ui::TPoint screen) {
        ui::InjectMouse(action, ui::MouseButton::Left, screen);
        Pump();
    }
    // A pixel of the picture of the top-level window holding `h`, at a
    // client point of `h`.
    static ui::COLORREF WindowPixel(ui::HWND h, ui::TPoint client) {
        const ui::TRect w = ui::GetWindowRect(ui::GetAncestorRoot(h));
        const ui::TPoint s = ui::ClientToScreen(h, client);
        return ui::GetWindowSurface(h)->Pixel(s.x - w.left, s.y - w.top);
    }

    ui::VirtualClock clock_{true};
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_box_ = nullptr;
};

// Writes the pixels of the top-level window holding `h` to <folder>/<name>.png
// when CORVANTA_PICTURES names a folder (the demo's picture folder, say).
inline bool SavePicture(ui::HWND h, const std::string& name) {
    const char* folder = std::getenv("CORVANTA_PICTURES");
    if (!folder || !*folder) return false;
    const ui::SurfacePtr s = ui::GetWindowSurface(h);
    return s && s->WritePng(std::string(folder) + "/" + name + ".png");
}

// A display that shows nothing and remembers what it was asked to do.
struct RecordingDisplay : ui::Display {
    struct Presented {
        ui::HWND hwnd;
        ui::Region damaged;
    };
    std::vector<Presented> presents;
    std::vector<std::pair<ui::HWND, bool>> minimized;
    int destroyed = 0;
    void WindowShown(ui::HWND, const ui::TRect&, bool) override {}
    void WindowHidden(ui::HWND) override {}
    void WindowMoved(ui::HWND, const ui::TRect&) override {}
    void WindowDestroyed(ui::HWND) override { ++destroyed; }
    void WindowMinimized(ui::HWND h, bool on) override { minimized.emplace_back(h, on); }
    void Present(ui::HWND h, const ui::Surface&, const ui::Region& damaged) override {
        presents.push_back({h, damaged});
    }
    bool Wait(int) override { return true; }
    void Wake() override {}
    ui::TSize ScreenSize() override { return {1024, 768}; }
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
