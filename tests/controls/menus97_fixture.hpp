#pragma once
// What the owner-drawn menu tests share: a fresh desktop with the control
// library's resources, forms that go at the end, and a way to run steps
// while a menu is open (each time the menu loop goes idle, the window that
// tracks the menu gets WM_ENTERIDLE).
#include <deque>
#include <functional>
#include <memory>

#include "controls/cvconst.hpp"
#include "controls/cvhook.hpp"
#include "controls/menus97.hpp"
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {

class Menus97Test : public testing_ui::UiTest {
protected:
    using Steps = std::vector<std::function<void()>>;

    void SetUp() override {
        UiTest::SetUp();
        RegisterControlResources();
    }
    void TearDown() override {
        forms.clear();
        UiTest::TearDown();
    }
    ui::TForm* NewForm(int x = 100, int y = 100) {
        forms.push_back(ui::Make<ui::TForm>(nullptr));
        ui::TForm* f = forms.back().get();
        f->SetBounds(x, y, 400, 300);
        return f;
    }
    ui::TMenuItem* Item(ui::TComponent* owner, const std::string& caption, ui::TMenuItem* parent) {
        auto* item = new ui::TMenuItem(owner);
        item->SetCaption(caption);
        parent->Add(item);
        return item;
    }
    // Queues a key for the menu loop that runs next (undispatched, unlike UiTest::Key).
    static void Key(ui::UINT vk, unsigned mods = 0) { testing_ui::QueueKey(vk, mods); }
    // Runs `steps`, one each time the menu loop tracking for `window` goes idle, during `run`.
    static void WhileOpen(ui::HWND window, Steps steps, const std::function<void()>& run) {
        auto queue = std::make_shared<std::deque<std::function<void()>>>(steps.begin(), steps.end());
        const ui::SubclassToken token = ui::SubclassWindow(
            window, [queue](ui::HWND h, ui::UINT m, ui::WPARAM w, ui::LPARAM l, const ui::NextProc& next) {
                if (m == ui::WM_ENTERIDLE && !queue->empty()) {
                    auto step = std::move(queue->front());
                    queue->pop_front();
                    step();
                    return ui::LRESULT(0);
                }
                return next(h, m, w, l);
            });
        run();
        ui::RemoveSubclass(window, token);
        EXPECT_TRUE(queue->empty()) << "steps left over";
    }
    // Pops a popup menu up and runs the steps while it is open.
    void Track(ui::TPopupMenu* menu, ui::TPoint at, Steps steps) {
        WhileOpen(ui::PopupListWindow(), std::move(steps), [&] { menu->Popup(at.x, at.y); });
        Pump();
    }
    // The pixels of the drop-down open now, in screen coordinates.
    struct Shot {
        ui::SurfacePtr pixels;
        ui::TRect window;
        ui::COLORREF At(int x, int y) const { return pixels->Pixel(x - window.left, y - window.top); }
        int Count(const ui::TRect& r, ui::COLORREF c) const {
            int n = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
            return n;
        }
    };
    static Shot TakeShot(size_t level = 0) {
        Pump();
        const ui::HWND h = ui::OpenMenuWindows().at(level);
        return {ui::GetWindowSurface(h)->Copy(), ui::GetWindowRect(h)};
    }
    static void Pump() { ui::Application().ProcessMessages(); }
    static ui::TRect ItemRect(ui::HMENU menu, int position) {
        ui::TRect r;
        EXPECT_TRUE(ui::GetMenuItemRect(0, menu, ui::UINT(position), r));
        return r;
    }

    std::vector<ui::Owned<ui::TForm>> forms;
};

}  // namespace controls
