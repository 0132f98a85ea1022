// The program's grid scrolled on an X server of the test's own by real keys,
// scroll-bar clicks, a thumb drag and the wheel (xdotool): what each leaves
// on the screen equals a full repaint of the same state, drawn headless here
// by the same window after the same input, and equals the program's own full
// repaint once View, Row colours is switched off and on again.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::ScreenSession;
using ui::TPoint;

// One piece of input, as the desktop takes it here and as xdotool sends it there.
struct Input {
    enum Kind { Key, Click, Drag, Wheel } kind;
    std::string keys;  // xdotool's names
    ui::UINT vk = 0;
    unsigned mods = 0;
    int times = 1;
    TPoint at, to;  // screen pixels; the wheel: towards the user when `to.y` > 0
};

Input Keys(const std::string& name, ui::UINT vk, int times = 1, unsigned mods = 0) {
    return {Input::Key, name, vk, mods, times, {}, {}};
}

struct Checkpoint {
    const char* name;
    std::vector<Input> inputs;
    std::optional<int> moved;        // records the inputs after the first move the current record
    std::vector<uint32_t> expected;  // the grid's client area after a full repaint
};

class GridScrollScreenTest : public MainWindowTest {
protected:
    // Runs `input` on the headless desktop.
    void Run(const Input& in) {
        for (int i = 0; i < in.times; ++i) {
            switch (in.kind) {
            case Input::Key:
                ui::InjectKey(in.vk, true, in.mods);
                ui::InjectKey(in.vk, false, in.mods);
                break;
            case Input::Click:
                ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, in.at);
                ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, in.at);
                break;
            case Input::Drag:
                ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, in.at);
                Pump();
                ui::InjectMouse(ui::MouseAction::Move, ui::MouseButton::Left, {in.at.x, (in.at.y + in.to.y) / 2});
                ui::InjectMouse(ui::MouseAction::Move, ui::MouseButton::Left, in.to);
                Pump();
                ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, in.to);
                break;
            case Input::Wheel:
                ui::InjectMouse(ui::MouseAction::Wheel, ui::MouseButton::Left, in.at, 0, in.to.y > 0 ? -120 : 120);
                break;
            }
            Pump();
        }
    }
    // Sends `input` to the program through X. The pointer is moved only when
    // it is elsewhere: a synchronous move to where it is waits in vain.
    void Send(ScreenSession& s, const Input& in) {
        std::string args;
        auto move = [&](TPoint p) {
            if (p == pointer_) return;
            args += " mousemove --sync " + s.At(p);
            pointer_ = p;
        };
        for (int i = 0; i < in.times; ++i) switch (in.kind) {
            case Input::Key: args += " " + in.keys; break;
            case Input::Click:
                move(in.at);
                args += " click 1";
                break;
            case Input::Drag:
                move(in.at);
                args += " mousedown 1";
                move({in.at.x, (in.at.y + in.to.y) / 2});
                move(in.to);
                args += " mouseup 1";
                break;
            case Input::Wheel:
                move(in.at);
                args += in.to.y > 0 ? " click 5" : " click 4";
                break;
            }
        s.Xdotool(in.kind == Input::Key ? "key" + args : args.substr(1));
    }
    static int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        if (a.size() != b.size()) return -1;
        int n = 0;
        for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
        return n;
    }

    TPoint pointer_{-1, -1};
};

TEST_F(GridScrollScreenTest, WhatEachScrollLeavesOnTheScreenEqualsAFullRepaint) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Input home = Keys("ctrl+Home", ui::VK_HOME, 1, ui::kControl);
    const Input end = Keys("ctrl+End", ui::VK_END, 1, ui::kControl);
    std::vector<Checkpoint> checkpoints;
    ui::TRect grid_area;
    {
        // Where things are and what a full repaint shows, from the same window drawn headless.
        auto w = Open("");
        zurod::TTzGrid* grid = w->Grid();
        ASSERT_TRUE(grid->Focused());
        const TPoint origin = grid->ClientToScreen({0, 0});
        grid_area = ui::Bounds(origin.x, origin.y, grid->ClientWidth(), grid->ClientHeight());
        const ui::TRect bar = ui::ScrollBarRect(grid->Handle(), ui::SB_VERT);
        const ui::TRect window = ui::GetWindowRect(grid->Handle());
        const int bar_x = window.left + (bar.left + bar.right) / 2;
        const TPoint arrow_up{bar_x, window.top + bar.top + 3}, arrow_down{bar_x, window.top + bar.bottom - 3};
        const TPoint middle = grid->ClientToScreen({grid->ClientWidth() / 2, grid->ClientHeight() / 2});
        const Input wheel_down{Input::Wheel, "", 0, 0, 20, middle, {0, 1}};
        const Input wheel_up{Input::Wheel, "", 0, 0, 3, middle, {0, -1}};
        // The grid starts on the first record, as after Ctrl+Home: the thumb is where it will be.
        const ui::TRect thumb = ui::ScrollThumbRect(grid->Handle(), ui::SB_VERT);
        const TPoint grip{bar_x, window.top + (thumb.top + thumb.bottom) / 2};
        const Input drag{Input::Drag, "", 0, 0, 1, grip, {grip.x, grip.y + 12}};
        const int page = grid->VisibleRowCount();
        checkpoints = {
            {"Ctrl+Home, Down x20", {home, Keys("Down", ui::VK_DOWN, 20)}, 20, {}},
            {"Ctrl+End, Up x20", {end, Keys("Up", ui::VK_UP, 20)}, -20, {}},
            {"PgDn", {home, Keys("Next", ui::VK_NEXT, 2)}, 2 * page, {}},
            {"PgUp", {end, Keys("Prior", ui::VK_PRIOR, 2)}, -2 * page, {}},
            {"the scroll bar's arrows",
             {home, {Input::Click, "", 0, 0, 3, arrow_down, {}}, {Input::Click, "", 0, 0, 2, arrow_up, {}}},
             {},
             {}},
            {"a thumb drag", {home, drag}, {}, {}},
            {"the wheel", {home, wheel_down, wheel_up}, 17, {}},
        };
        const ui::TRect window_rect = ui::GetWindowRect(w->WindowHandle());
        const ui::TRect in_window = grid_area.Offset(-window_rect.left, -window_rect.top);
        for (Checkpoint& c : checkpoints) {
            SCOPED_TRACE(c.name);
            Run(c.inputs.front());
            const int from = w->History()->RecNo();
            for (size_t i = 1; i < c.inputs.size(); ++i) Run(c.inputs[i]);
            if (c.moved) {
                EXPECT_EQ(w->History()->RecNo() - from, *c.moved);
            }
            EXPECT_TRUE(grid->Focused());
            grid->Invalidate();
            Pump();
            const ui::SurfacePtr s = ui::GetWindowSurface(w->WindowHandle());
            for (int y = in_window.top; y < in_window.bottom; ++y)
                for (int x = in_window.left; x < in_window.right; ++x) c.expected.push_back(s->Row32(y)[x] & 0xFFFFFF);
        }
    }
    ui::UiReset();

    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");
    for (const Checkpoint& c : checkpoints) {
        SCOPED_TRACE(c.name);
        for (const Input& in : c.inputs) Send(s, in);
        EXPECT_TRUE(s.Shows(grid_area, c.expected))
            << "pixels unlike a full repaint: " << Differing(s.Grab(grid_area), c.expected);
        // The program's own full repaint: the row colours off and on again.
        s.Xdotool("key alt+v r");
        EXPECT_TRUE(s.Changes(grid_area, c.expected)) << "the row colours did not go";
        s.Xdotool("key alt+v r");
        EXPECT_TRUE(s.Shows(grid_area, c.expected))
            << "the program's full repaint differs in " << Differing(s.Grab(grid_area), c.expected) << " pixels";
    }
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

}  // namespace
