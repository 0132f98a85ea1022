// What each key, scroll-bar click, thumb drag and wheel notch leaves on the
// focused grid equals a full repaint of the same state.
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "tests/engine/grid/grid_fixture.hpp"

namespace {

using namespace testing_grid;
using namespace zurod;
using ui::TColor;

class GridScrollTest : public GridTest {
protected:
    // The grid's client area as the window shows it.
    std::vector<uint32_t> Picture() {
        Pump();
        const ui::SurfacePtr s = ui::GetWindowSurface(form_->WindowHandle());
        const ui::TRect w = ui::GetWindowRect(form_->WindowHandle());
        const ui::TPoint o = grid_->ClientToScreen({0, 0});
        std::vector<uint32_t> out;
        for (int y = 0; y < grid_->ClientHeight(); ++y) {
            const uint32_t* row = s->Row32(o.y - w.top + y) + (o.x - w.left);
            out.insert(out.end(), row, row + grid_->ClientWidth());
        }
        return out;
    }
    // Pixels that differ from a full repaint, which then stands.
    int DamageLeft() {
        const std::vector<uint32_t> left = Picture();
        grid_->Invalidate();
        const std::vector<uint32_t> full = Picture();
        int differ = 0;
        for (size_t i = 0; i < left.size(); ++i) differ += left[i] != full[i];
        return differ;
    }
    // A point of the grid's own vertical bar, from its top (or bottom when negative).
    ui::TPoint BarPoint(int from_top) {
        const ui::TRect bar = ui::ScrollBarRect(grid_->Handle(), ui::SB_VERT);
        const ui::TRect w = ui::GetWindowRect(grid_->Handle());
        const int y = from_top >= 0 ? bar.top + from_top : bar.bottom + from_top;
        return {w.left + (bar.left + bar.right) / 2, w.top + y};
    }
    void ClickBar(int from_top) {
        ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, BarPoint(from_top));
        ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, BarPoint(from_top));
        Pump();
    }
    void DragThumb(int dy) {
        const ui::TRect bar = ui::ScrollBarRect(grid_->Handle(), ui::SB_VERT);
        const ui::TRect thumb = ui::ScrollThumbRect(grid_->Handle(), ui::SB_VERT);
        const int at = (thumb.top + thumb.bottom) / 2 - bar.top;
        ui::InjectMouse(ui::MouseAction::Down, ui::MouseButton::Left, BarPoint(at));
        Pump();
        ui::InjectMouse(ui::MouseAction::Move, ui::MouseButton::Left, BarPoint(at + dy / 2));
        ui::InjectMouse(ui::MouseAction::Move, ui::MouseButton::Left, BarPoint(at + dy));
        Pump();
        ui::InjectMouse(ui::MouseAction::Up, ui::MouseButton::Left, BarPoint(at + dy));
        Pump();
    }
    void Wheel(int delta) {
        ui::InjectMouse(ui::MouseAction::Wheel, ui::MouseButton::Left, grid_->ClientToScreen({100, 100}), 0, delta);
        Pump();
    }
};

TEST_F(GridScrollTest, WhatEachScrollLeavesEqualsAFullRepaint) {
    struct Step {
        const char* name;
        std::function<void()> run;
    };
    const Step down{"Down", [this] { Press(ui::VK_DOWN); }};
    const Step up{"Up", [this] { Press(ui::VK_UP); }};
    const Step page_down{"PgDn", [this] { Press(ui::VK_NEXT); }};
    const Step page_up{"PgUp", [this] { Press(ui::VK_PRIOR); }};
    const Step arrow_down{"the bar's down arrow", [this] { ClickBar(-3); }};
    const Step arrow_up{"the bar's up arrow", [this] { ClickBar(3); }};
    const Step thumb_down{"the thumb dragged down", [this] { DragThumb(9); }};
    const Step thumb_up{"the thumb dragged up", [this] { DragThumb(-5); }};
    const Step wheel_down{"a notch down", [this] { Wheel(-120); }};
    const Step wheel_up{"a notch up", [this] { Wheel(120); }};
    struct Case {
        const char* name;
        ui::UINT start;  // with Ctrl: Home or End
        std::vector<std::pair<Step, int>> steps;
        bool colours;  // a colour event colours rows by their record
        TTzGridOptions options = kDefaultTzGridOptions;
        ui::UINT column = ui::VK_HOME;  // End: the last column, the grid scrolled sideways
    };
    const Case cases[] = {
        {"Down from the top", ui::VK_HOME, {{down, 20}}, false},
        {"Up from the end", ui::VK_END, {{up, 20}}, false},
        {"Down with row colours", ui::VK_HOME, {{down, 20}}, true},
        {"Up with row colours", ui::VK_END, {{up, 20}}, true},
        {"pages", ui::VK_HOME, {{page_down, 3}, {page_up, 3}}, false},
        {"pages from the end", ui::VK_END, {{page_up, 3}, {page_down, 3}}, true},
        {"scroll-bar arrows", ui::VK_HOME, {{arrow_down, 4}, {arrow_up, 4}}, false},
        {"the thumb", ui::VK_HOME, {{thumb_down, 3}, {thumb_up, 3}}, false},
        {"the wheel", ui::VK_HOME, {{wheel_down, 20}, {wheel_up, 20}}, true},
        {"scrolled sideways", ui::VK_HOME, {{down, 16}, {page_down, 2}}, false, kDefaultTzGridOptions, ui::VK_END},
        {"whole rows selected", ui::VK_END, {{up, 16}, {wheel_down, 16}}, true, kDefaultTzGridOptions | dgRowSelect},
    };
    TTzDbf* ds = Table(100);
    Bind(ds);
    Show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grid_->OnChangeColorsEvent = nullptr;
        if (c.colours)
            grid_->OnChangeColorsEvent = [ds](ui::TObject*, int, TColor& indicator, TColor&, TColor& text, TColor&,
                                              TColor&, TColor&, TColor&) {
                const std::string detail = TzAllTrim(ds->FieldGet("DETAIL"));
                if ((detail.back() - '0') % 3 == 0) text = ui::clNavy, indicator = ui::clSilver;
            };
        grid_->SetOptions(c.options);
        ASSERT_TRUE(grid_->Focused());
        Press(c.start, ui::kControl);
        if (!(c.options & dgRowSelect)) Press(c.column);
        if (c.column == ui::VK_END) {
            ASSERT_GT(grid_->LeftCol(), 2) << "the first columns scrolled out of sight";
        }
        ASSERT_EQ(DamageLeft(), 0) << "the start";
        for (const auto& [step, times] : c.steps) {
            const int before = Rec(ds);
            for (int i = 0; i < times; ++i) {
                step.run();
                EXPECT_EQ(DamageLeft(), 0) << step.name << " " << i + 1 << ", at record " << Rec(ds);
            }
            EXPECT_NE(Rec(ds), before) << step.name << " moved the current record";
        }
    }
}

}  // namespace
