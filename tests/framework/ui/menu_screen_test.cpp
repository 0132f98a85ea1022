// Menus on a real X screen (Xvfb, started here) driven by real X input
// (xdotool): a control's popup menu opened by a right click and the form's
// menu bar opened by Alt and by a click, moved through and chosen from. The
// next input is sent each time the menu loop goes idle, from inside it.
#include <deque>
#include <functional>

#include "framework/ui/menus.hpp"
#include "tests/support/screen_fixture.hpp"

namespace ui {
namespace {

class MenuScreenTest : public testing_ui::ScreenTest {
protected:
    void TearDown() override {
        form_.reset();
        ScreenTest::TearDown();
        server_.reset();
    }
    bool Start() {
        if (!HaveTools()) return false;
        server_ = std::make_unique<testing_ui::Xvfb>();
        return OpenDisplay(*server_);
    }
    static void MoveTo(TPoint p) { Xdo({"mousemove", std::to_string(p.x), std::to_string(p.y)}); }
    // Sends the next input each time the loop tracking for `window` goes idle.
    void WhileOpen(HWND window, std::deque<std::function<void()>> steps) {
        steps_ = std::move(steps);
        token_ = SubclassWindow(window, [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
            if (m == WM_ENTERIDLE && !steps_.empty()) {
                auto step = std::move(steps_.front());
                steps_.pop_front();
                step();
                return LRESULT(0);
            }
            return next(h, m, w, l);
        });
        window_ = window;
    }
    void Done() { RemoveSubclass(window_, token_); }

    std::unique_ptr<testing_ui::Xvfb> server_;
    Owned<TForm> form_;
    std::deque<std::function<void()>> steps_;
    SubclassToken token_ = 0;
    HWND window_ = 0;
};

TEST_F(MenuScreenTest, ARightClickAKeyAndEnterChooseFromThePopupAndTheBar) {
    if (!Start()) GTEST_SKIP() << "no X server or xdotool (scripts/install-deps)";
    form_ = Make<TForm>(nullptr);
    form_->SetBorderStyle(bsSingle);
    form_->SetCaption("Menus");
    form_->SetBounds(60, 60, 360, 240);
    std::vector<std::string> clicks;
    auto item = [&](TMenuItem* parent, const std::string& caption) {
        auto* i = new TMenuItem(form_.get());
        i->SetCaption(caption);
        i->OnClick = [&clicks, caption](TObject*) { clicks.push_back(caption); };
        parent->Add(i);
        return i;
    };
    auto* popup = new TPopupMenu(form_.get());
    item(popup->Items(), "&Copy");
    item(popup->Items(), "&Paste");
    item(popup->Items(), "&Delete");
    auto* panel = new TPanel(form_.get());
    panel->SetParent(form_.get());
    panel->SetBounds(20, 20, 200, 120);
    panel->SetPopupMenu(popup);
    auto* main = new TMainMenu(form_.get());
    TMenuItem* file = item(main->Items(), "&File");
    file->OnClick = nullptr;  // a drop-down's item is clicked as it opens
    item(file, "&Open");
    item(file, "&Save");
    form_->SetMenu(main);
    form_->Show();
    ASSERT_TRUE(PumpUntil([&] { return form_->Active(); }));
    ASSERT_TRUE(PumpUntilShown(form_->Handle()));

    // Right click on the panel, down twice, enter: Paste.
    WhileOpen(PopupListWindow(), {[] { Xdo({"key", "Down", "Down"}); }, [] { Xdo({"key", "Return"}); }});
    MoveTo(panel->ClientToScreen({50, 50}));
    Xdo({"click", "3"});
    ASSERT_TRUE(PumpUntil([&] { return !clicks.empty(); }));
    Done();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Paste"}));

    // A click on the popup's item: the menu opens at the pointer, Delete is its third item.
    clicks.clear();
    WhileOpen(PopupListWindow(), {[&] {
                  TRect r;
                  GetMenuItemRect(0, popup->Handle(), 2, r);
                  MoveTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
                  Xdo({"click", "1"});
              }});
    MoveTo(panel->ClientToScreen({60, 30}));
    Xdo({"click", "3"});
    ASSERT_TRUE(PumpUntil([&] { return !clicks.empty(); }));
    Done();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Delete"}));

    // Alt opens the bar: down opens File with Open selected, down again, enter: Save.
    clicks.clear();
    WhileOpen(form_->WindowHandle(), {[] { Xdo({"key", "Down"}); }, [] { Xdo({"key", "Down", "Return"}); }});
    Xdo({"key", "alt"});
    ASSERT_TRUE(PumpUntil([&] { return !clicks.empty(); }));
    Done();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Save"}));

    // A click on the bar's File and one on Open.
    clicks.clear();
    WhileOpen(form_->WindowHandle(), {[&] {
                  TRect r;
                  GetMenuItemRect(0, file->Handle(), 0, r);
                  MoveTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
                  Xdo({"click", "1"});
              }});
    TRect bar_item;
    ASSERT_TRUE(GetMenuItemRect(form_->WindowHandle(), main->Handle(), 0, bar_item));
    MoveTo({(bar_item.left + bar_item.right) / 2, (bar_item.top + bar_item.bottom) / 2});
    Xdo({"click", "1"});
    ASSERT_TRUE(PumpUntil([&] { return !clicks.empty(); }));
    Done();
    EXPECT_EQ(clicks, (std::vector<std::string>{"&Open"}));
}

}  // namespace
}  // namespace ui
