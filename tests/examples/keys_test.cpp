// Keys typed at a person's pace on the main window, through a screen that
// behaves as X does without a window manager: every window shown takes the
// keyboard focus, and the move comes as the held keys released before it and
// pressed again after it. Alt+F opens File however long Alt was held first;
// Alt released after Alt+Down opened the date edit's calendar leaves the menu
// bar alone; Alt alone still opens the bar.
#include "controls/dateedit.hpp"
#include "controls/pickdate.hpp"
#include "framework/ui/screen_keyboard.hpp"
#include "tests/examples/main_window_fixture.hpp"

namespace {

using testing_examples::MainWindowTest;
using ui::UINT;

struct Step {
    uint64_t at;  // milliseconds from the script's start
    UINT vk;
    bool down;
};

// The screen, on the test's clock: the script's keys come when the program
// waits for them, the focus moves when the program shows or activates a window.
class FocusTakingScreen final : public ui::Display {
public:
    FocusTakingScreen(ui::VirtualClock& clock, ui::HWND focus, std::vector<Step> script)
        : clock_(clock), focus_(focus), start_(clock.Now()), script_(std::move(script)) {}

    bool Done() const { return next_ == script_.size() && !moving_; }

    void WindowShown(ui::HWND h, const ui::TRect&, bool) override { MoveFocus(h); }
    void WindowActivated(ui::HWND h) override { MoveFocus(h); }
    void WindowHidden(ui::HWND) override {}
    void WindowMoved(ui::HWND, const ui::TRect&) override {}
    void WindowDestroyed(ui::HWND) override {}
    void Present(ui::HWND, const ui::Surface&, const ui::Region&) override {}
    void Wake() override {}
    ui::TSize ScreenSize() override { return {1024, 768}; }
    bool Wait(int timeout_ms) override {
        if (std::exchange(moving_, false)) {
            for (UINT vk : held_) Report(vk, false, true);
            keyboard_.Other();  // the window that lost the focus
            keyboard_.FocusTaken();
            for (UINT vk : held_) keyboard_.Key(vk, true, Modifiers());
            return true;
        }
        if (next_ == script_.size()) return timeout_ms == 0;  // no more input will come
        const uint64_t at = start_ + script_[next_].at;
        if (at > clock_.Now()) {
            if (timeout_ms == 0) return true;
            clock_.Advance(at - clock_.Now());
        }
        while (next_ < script_.size() && start_ + script_[next_].at <= clock_.Now()) {
            const Step& s = script_[next_++];
            if (s.down) held_.push_back(s.vk);
            if (!s.down) std::erase(held_, s.vk);
            Report(s.vk, s.down, false);
        }
        return true;
    }

private:
    void MoveFocus(ui::HWND h) { moving_ = moving_ || std::exchange(focus_, h) != h; }
    unsigned Modifiers() const {
        unsigned m = 0;
        for (UINT vk : held_) m |= vk == ui::VK_MENU ? unsigned(ui::kAlt) : 0;
        return m;
    }
    void Report(UINT vk, bool down, bool leaving) {
        keyboard_.Key(vk, down, Modifiers(), false, leaving);
        // A letter typed without Alt is text too.
        if (down && !leaving && vk >= 'A' && vk <= 'Z' && !(Modifiers() & ui::kAlt))
            ui::InjectChar(char(vk - 'A' + 'a'));
    }

    ui::VirtualClock& clock_;
    ui::HWND focus_;
    uint64_t start_;
    std::vector<Step> script_;
    size_t next_ = 0;
    std::vector<UINT> held_;  // the keys down on the keyboard
    bool moving_ = false;
    ui::ScreenKeyboard keyboard_;
};

TEST_F(MainWindowTest, AltWithALetterOrAKeyAControlTakesWorksAtAnyPace) {
    using ui::VK_DOWN, ui::VK_MENU, ui::VK_NEXT;
    // Alt goes down at 0; `with` (if any) is pressed at `with_at`, Alt goes up
    // at `alt_up`, and the keys of `then` follow 100 ms apart.
    struct Case {
        const char* name;
        UINT with;
        uint64_t with_at, alt_up;
        std::vector<UINT> then;
        bool exit_chosen;  // File, Exit by the x typed last
        int menu_loops;
    };
    const Case cases[] = {
        {"alt+f, all at once", 'F', 0, 0, {'X'}, true, 1},
        {"f 40 ms after alt", 'F', 40, 300, {'X'}, true, 1},
        {"f 200 ms after alt", 'F', 200, 500, {'X'}, true, 1},
        {"alt alone, then f", 0, 0, 100, {'F', 'X'}, true, 1},
        {"alt+down in the date edit, all at once", VK_DOWN, 0, 0, {VK_NEXT}, false, 0},
        {"alt+down 40 ms after alt", VK_DOWN, 40, 300, {VK_NEXT}, false, 0},
    };
    for (const Case& c : cases) {
        auto w = Open("");
        controls::TDateEdit* edit = nullptr;
        for (ui::TComponent* part : w->Components())
            if (part->Name() == "FromDate") edit = dynamic_cast<controls::TDateEdit*>(part);
        ASSERT_NE(edit, nullptr);
        const bool in_date_edit = c.with == VK_DOWN;
        if (in_date_edit) {
            edit->SetFocus();
            edit->SetText(db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 1)));
        }
        Pump();
        bool closed = false;
        w->OnClose = [&](ui::TObject*, ui::TCloseAction& action) { closed = true, action = ui::caNone; };
        int loops = 0;
        const ui::SubclassToken token = ui::SubclassWindow(
            w->WindowHandle(), [&](ui::HWND h, UINT m, ui::WPARAM wp, ui::LPARAM lp, const ui::NextProc& next) {
                loops += m == ui::WM_ENTERMENULOOP;
                return next(h, m, wp, lp);
            });

        std::vector<Step> script{{0, VK_MENU, true}};
        if (c.with) script.insert(script.end(), {{c.with_at, c.with, true}, {c.with_at, c.with, false}});
        script.push_back({c.alt_up, VK_MENU, false});
        uint64_t at = c.alt_up;
        for (UINT vk : c.then) script.insert(script.end(), {{at += 100, vk, true}, {at, vk, false}});
        FocusTakingScreen screen(clock_, w->WindowHandle(), script);
        clock_.SetAutoAdvance(false);
        ui::InstallDisplay(&screen);
        for (Pump(); !screen.Done(); Pump()) screen.Wait(-1);
        ui::InstallDisplay(nullptr);
        clock_.SetAutoAdvance(true);

        EXPECT_EQ(closed, c.exit_chosen) << c.name;
        EXPECT_EQ(loops, c.menu_loops) << c.name;
        if (in_date_edit) {
            auto* popup = dynamic_cast<controls::TPopupCalendar*>(edit->Popup());
            ASSERT_TRUE(popup && edit->PopupVisible()) << c.name;
            EXPECT_EQ(popup->Calendar()->Month(), 4) << c.name << ": PgDn moves the calendar from March";
        }
        ui::RemoveSubclass(w->WindowHandle(), token);
    }
}

}  // namespace
