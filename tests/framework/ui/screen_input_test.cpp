// On a real X screen (Xvfb, started here), driven by real X input (xdotool):
// a form with an edit, a masked edit, buttons and a scroll bar gets what was
// typed and clicked; F1 asks for help, the title bar's buttons act, and a
// drop shadow shows on the form beneath.
#include <string>

#include "framework/ui/help.hpp"
#include "framework/ui/mask.hpp"
#include "framework/ui/stdctrls.hpp"
#include "framework/ui/x11_screen.hpp"
#include "tests/support/screen_fixture.hpp"

namespace ui {
namespace {

class ScreenInputTest : public testing_ui::ScreenTest {
protected:
    // One server for every test: SDL keeps its connection to the first
    // server it saw until the process ends.
    static void SetUpTestSuite() {
        if (access("/usr/bin/Xvfb", X_OK) == 0) server_ = std::make_unique<testing_ui::Xvfb>();
    }
    static void TearDownTestSuite() { server_.reset(); }
    void TearDown() override {
        form_.reset();
        ScreenTest::TearDown();
    }
    void Click(TControl* c, int x, int y) {
        const TPoint p = c->ClientToScreen({x, y});
        Xdo({"mousemove", std::to_string(p.x), std::to_string(p.y)});
        Xdo({"click", "1"});
    }

    static inline std::unique_ptr<testing_ui::Xvfb> server_;
    Owned<TForm> form_;
};

TEST_F(ScreenInputTest, RealKeysAndClicksReachTheControls) {
    if (!HaveTools()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/install-deps)";
    ASSERT_TRUE(server_ && OpenDisplay(*server_)) << "no display on Xvfb";

    form_ = ui::Make<TForm>(nullptr);
    form_->SetBorderStyle(bsSingle);
    form_->SetCaption("Input");
    form_->SetBounds(40, 40, 360, 220);
    auto* edit = new TEdit(form_.get());
    edit->SetParent(form_.get());
    edit->SetBounds(10, 10, 200, 21);
    auto* date = new TMaskEdit(form_.get());
    date->SetParent(form_.get());
    date->SetBounds(10, 40, 100, 21);
    date->TabOrder = 1;
    date->SetEditMask("!99/99/9999;1;_");
    int oks = 0, counts = 0;
    auto* ok = new TButton(form_.get());
    ok->SetParent(form_.get());
    ok->SetBounds(10, 80, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->TabOrder = 2;
    ok->OnClick = [&](TObject*) { ++oks; };
    auto* count = new TButton(form_.get());
    count->SetParent(form_.get());
    count->SetBounds(100, 80, 75, 25);
    count->SetCaption("&Count");
    count->TabOrder = 3;
    count->OnClick = [&](TObject*) { ++counts; };
    auto* bar = new TScrollBar(form_.get());
    bar->SetParent(form_.get());
    bar->SetBounds(10, 120, 200, 16);
    bar->LargeChange = 10;
    bar->TabOrder = 4;
    form_->Show();
    ASSERT_TRUE(PumpUntil([&] { return form_->Active(); }));
    ASSERT_TRUE(PumpUntilShown(form_->Handle()));

    // Typing into the edit after a click on it.
    Click(edit, 20, 8);
    ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
    Xdo({"type", "--delay", "20", "hello world"});
    EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == "hello world"; })) << edit->GetText();
    // Shift with the arrows selects; a typed letter replaces the selection.
    Xdo({"key", "--delay", "20", "shift+Left", "shift+Left", "shift+Left", "shift+Left", "shift+Left", "x"});
    EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == "hello x"; })) << edit->GetText();
    // Tab to the masked edit, which takes digits only and skips its literals.
    Xdo({"key", "Tab"});
    ASSERT_TRUE(PumpUntil([&] { return date->Focused(); }));
    Xdo({"key", "Home"});
    Xdo({"type", "--delay", "20", "05a032025"});
    EXPECT_TRUE(PumpUntil([&] { return date->GetText() == "05/03/2025"; })) << date->EditText();
    // Enter presses the default button; Alt+C the button it names.
    Xdo({"key", "Return"});
    EXPECT_TRUE(PumpUntil([&] { return oks == 1; }));
    Xdo({"key", "alt+c"});
    EXPECT_TRUE(PumpUntil([&] { return counts == 1; }));
    EXPECT_EQ(date->GetText(), "05/03/2025");  // the accelerator typed nothing
    // Shift+Tab goes back.
    Xdo({"key", "shift+Tab"});
    EXPECT_TRUE(PumpUntil([&] { return edit->Focused(); }));
    // The scroll bar: its right arrow, its track, its thumb dragged to the end.
    Click(bar, 192, 8);
    EXPECT_TRUE(PumpUntil([&] { return bar->Position() == 1; })) << bar->Position();
    Click(bar, 150, 8);
    EXPECT_TRUE(PumpUntil([&] { return bar->Position() == 11; })) << bar->Position();
    const TRect thumb = ScrollThumbRect(bar->Handle(), SB_CTL);
    const TPoint grip = bar->ClientToScreen({thumb.left + 3, 8});
    Xdo({"mousemove", "--sync", std::to_string(grip.x), std::to_string(grip.y)});
    Xdo({"mousedown", "1"});
    const TPoint end = bar->ClientToScreen({260, 8});
    Xdo({"mousemove", "--sync", std::to_string(end.x - 60), std::to_string(end.y)});
    Xdo({"mousemove", "--sync", std::to_string(end.x), std::to_string(end.y)});
    Xdo({"mouseup", "1"});
    EXPECT_TRUE(PumpUntil([&] { return bar->Position() == 100; })) << bar->Position();
    // A click on a button.
    Click(count, 30, 12);
    EXPECT_TRUE(PumpUntil([&] { return counts == 2; }));
    EXPECT_EQ(oks, 1);
    // A drop-down beside the form takes clicks but neither activation nor the focus.
    int dropped_clicks = 0;
    RegisterWindowClass({"DropDown",
                         [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                             if (m == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
                             if (m == WM_LBUTTONUP) ++dropped_clicks;
                             return next(h, m, w, l);
                         },
                         0, clInfoBk});
    edit->SetFocus();
    CreateParams p;
    p.class_name = "DropDown";
    p.style = WS_POPUP | WS_BORDER;
    p.ex_style = WS_EX_TOOLWINDOW;
    p.owner = form_->Handle();
    p.rect = Bounds(60, 300, 150, 80);
    const HWND drop = CreateWindow(p);
    ShowWindow(drop, SW_SHOWNA);
    ASSERT_TRUE(PumpUntilShown(drop));
    Xdo({"mousemove", "--sync", "100", "330"});
    Xdo({"click", "1"});
    EXPECT_TRUE(PumpUntil([&] { return dropped_clicks == 1; }));
    EXPECT_TRUE(form_->Active());
    EXPECT_TRUE(edit->Focused());
    Xdo({"key", "End"});
    Xdo({"type", "z"});
    EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == "hello xz"; })) << edit->GetText();
    DestroyWindow(drop);
    testing_ui::SavePicture(form_->Handle(), "screen_input_form");
}

TEST_F(ScreenInputTest, TitleBarButtonsF1AndShadowsOnTheScreen) {
    if (!HaveTools()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/install-deps)";
    ASSERT_TRUE(server_ && OpenDisplay(*server_)) << "no display on Xvfb";
    std::vector<std::pair<uint16_t, intptr_t>> asked;
    const THelpEvent saved = std::exchange(ApplicationHelpEvent(), [&](uint16_t command, intptr_t data, bool& call) {
        asked.emplace_back(command, data);
        call = false;
        return true;
    });

    form_ = ui::Make<TForm>(nullptr);
    form_->SetCaption("Title bar");
    form_->SetBounds(40, 40, 360, 220);
    form_->HelpContext = 77;
    auto* edit = new TEdit(form_.get());
    edit->SetParent(form_.get());
    edit->SetBounds(10, 10, 200, 21);
    form_->Show();
    ASSERT_TRUE(PumpUntil([&] { return form_->Active(); }));
    ASSERT_TRUE(PumpUntilShown(form_->Handle()));
    const HWND h = form_->Handle();
    auto click_button = [&](LRESULT hit) {
        const TRect wr = GetWindowRect(h);
        for (const CaptionButton& b : GetCaptionLayout(h).buttons)
            if (b.hit == hit) {
                const int x = wr.left + (b.rect.left + b.rect.right) / 2, y = wr.top + (b.rect.top + b.rect.bottom) / 2;
                Xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
                Xdo({"click", "1"});
            }
    };

    // F1 in the edit asks for the form's topic.
    Click(edit, 20, 8);
    ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
    Xdo({"key", "F1"});
    EXPECT_TRUE(PumpUntil([&] { return asked.size() == 1; }));
    EXPECT_EQ(asked, (std::vector<std::pair<uint16_t, intptr_t>>{{HELP_CONTEXT, 77}}));

    // A shadow on what the screen shows of the form, not beside it.
    RegisterWindowClass({"Shadowed", nullptr, CS_DROPSHADOW, clInfoBk});
    CreateParams p;
    p.class_name = "Shadowed";
    p.style = WS_POPUP | WS_BORDER;
    p.ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    p.rect = Bounds(100, 150, 80, 30);
    const HWND popup = CreateWindow(p);
    ShowWindow(popup, SW_SHOWNA);
    const uint32_t face = ToPixel(GetSysColor(COLOR_BTNFACE));
    const uint32_t dark =
        ToPixel(RGB(GetRValue(GetSysColor(COLOR_BTNFACE)) * 5 / 8, GetGValue(GetSysColor(COLOR_BTNFACE)) * 5 / 8,
                    GetBValue(GetSysColor(COLOR_BTNFACE)) * 5 / 8));
    auto pixel = [&](int x, int y) { return ScreenPixel(x, y); };
    EXPECT_TRUE(PumpUntil([&] { return pixel(182, 170) == dark && pixel(140, 182) == dark; }))
        << std::hex << pixel(182, 170);
    EXPECT_EQ(pixel(182, 151), face);  // the band starts four pixels down
    DestroyWindow(popup);
    EXPECT_TRUE(PumpUntil([&] { return pixel(182, 170) == face; }));

    // Maximise, restore, close.
    const TRect normal = GetWindowRect(h);
    click_button(HTMAXBUTTON);
    EXPECT_TRUE(PumpUntil([&] { return IsZoomed(h); }));
    ASSERT_TRUE(PumpUntilShown(h)) << "the maximised window";
    click_button(HTMAXBUTTON);
    EXPECT_TRUE(PumpUntil([&] { return !IsZoomed(h); }));
    EXPECT_EQ(GetWindowRect(h), normal);
    ASSERT_TRUE(PumpUntilShown(h)) << "the restored window";
    click_button(HTCLOSE);
    EXPECT_TRUE(PumpUntil([&] { return !form_->Visible(); }));
    ApplicationHelpEvent() = saved;
}

// Showing a window asks the server as much with one other window on the
// screen as with many: the screen knows its windows' X windows and their
// order, and says only what changed.
TEST_F(ScreenInputTest, AShowCostsTheSameWhateverTheWindowsBesideIt) {
    if (!HaveTools()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/install-deps)";
    ASSERT_TRUE(server_ && OpenDisplay(*server_)) << "no display on Xvfb";
    std::vector<uint64_t> lookups;
    for (const int others : {1, 6}) {
        std::vector<Owned<TForm>> forms;
        for (int i = 0; i <= others; ++i) {
            forms.push_back(ui::Make<TForm>(nullptr));
            forms.back()->SetBounds(40 + 10 * i, 40 + 10 * i, 200, 120);
            forms.back()->Show();
        }
        TForm& last = *forms.back();
        ASSERT_TRUE(PumpUntilShown(last.Handle())) << others;
        last.Hide();
        ASSERT_TRUE(PumpUntil([&] { return forms[size_t(others) - 1]->Active(); })) << others;
        const uint64_t before = x11::WindowLookups();
        last.Show();
        lookups.push_back(x11::WindowLookups() - before);
        ASSERT_TRUE(PumpUntilShown(last.Handle())) << others;
        EXPECT_TRUE(last.Active()) << others;
    }
    EXPECT_EQ(lookups[0], lookups[1]);
    EXPECT_GT(lookups[0], 0u);
}

}  // namespace
}  // namespace ui
