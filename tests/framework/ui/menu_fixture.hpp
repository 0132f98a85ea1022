#pragma once
// A window that owns menus in the menu tests: it logs what it is sent, lets a
// test answer messages, and runs the next step of a test each time the menu
// loop goes idle (WM_ENTERIDLE), which is where a test injects the input of
// the next step while the menu is open.
#include <deque>
#include <functional>
#include <vector>

#include "framework/ui/menu_handles.hpp"
#include "tests/support/ui_fixture.hpp"

namespace testing_ui {

class MenuTest : public UiTest {
public:
    // Queues a key for the menu loop that runs next (undispatched, unlike UiTest::Key).
    static void Key(ui::UINT vk, unsigned mods = 0) { QueueKey(vk, mods); }

protected:
    using Handler = std::function<bool(ui::UINT, ui::WPARAM, ui::LPARAM, ui::LRESULT&)>;

    void SetUp() override {
        UiTest::SetUp();
        Self() = this;
        ui::RegisterWindowClass({"MenuTestOwner", &MenuTest::Proc, 0, ui::clBtnFace});
        ui::CreateParams p;
        p.class_name = "MenuTestOwner";
        p.caption = "Owner";
        p.style = ui::WS_CAPTION | ui::WS_SYSMENU | ui::WS_THICKFRAME;
        p.rect = ui::Bounds(100, 100, 400, 300);
        owner = ui::CreateWindow(p);
        ui::ShowWindow(owner, ui::SW_SHOW);
        Pump();
    }
    void TearDown() override {
        Self() = nullptr;
        UiTest::TearDown();
    }

    static void Click(ui::TPoint screen, ui::MouseButton b = ui::MouseButton::Left) {
        ui::InjectMouse(ui::MouseAction::Move, b, screen);
        ui::InjectMouse(ui::MouseAction::Down, b, screen);
        ui::InjectMouse(ui::MouseAction::Up, b, screen);
    }
    static ui::TPoint Centre(const ui::TRect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    // The middle of an item of a menu that shows (screen).
    static ui::TPoint ItemCentre(ui::HMENU menu, int position, ui::HWND bar_owner = 0) {
        ui::TRect r;
        EXPECT_TRUE(ui::GetMenuItemRect(bar_owner, menu, ui::UINT(position), r)) << "item " << position;
        return Centre(r);
    }
    // How many messages of a kind the owner got.
    size_t Count(ui::UINT msg) const {
        size_t n = 0;
        for (const ui::MSG& m : log)
            if (m.message == msg) ++n;
        return n;
    }
    const ui::MSG* Last(ui::UINT msg) const {
        for (auto it = log.rbegin(); it != log.rend(); ++it)
            if (it->message == msg) return &*it;
        return nullptr;
    }

    ui::HWND owner = 0;
    std::vector<ui::MSG> log;
    std::deque<std::function<void()>> on_idle;  // one step each time the loop goes idle
    Handler handler;

private:
    static MenuTest*& Self() {
        static MenuTest* self = nullptr;
        return self;
    }
    static ui::LRESULT Proc(ui::HWND h, ui::UINT m, ui::WPARAM w, ui::LPARAM l, const ui::NextProc& next) {
        MenuTest* t = Self();
        if (!t || h != t->owner) return next(h, m, w, l);
        t->log.push_back({h, m, w, l, 0, {}});
        if (m == ui::WM_ENTERIDLE && !t->on_idle.empty()) {
            auto step = std::move(t->on_idle.front());
            t->on_idle.pop_front();
            step();
            return 0;
        }
        ui::LRESULT r = 0;
        if (t->handler && t->handler(m, w, l, r)) return r;
        return next(h, m, w, l);
    }
};

}  // namespace testing_ui
