// What the window system adds for forms laid out elsewhere and for users
// who change their settings: the broadcast of a regional-settings change,
// key preview, and scaling by the screen's resolution.
#include "framework/ui/stdctrls.hpp"
#include "platform/locale.hpp"
#include "platform/regional.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class SettingsChangeTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        saved_ = platform::FormatSettings();
        regional_ = platform::Regional();
    }
    void TearDown() override {
        Application().UpdateFormatSettings = false;
        platform::SetRegional(regional_);
        Application().UpdateFormatSettings = true;
        platform::FormatSettings() = saved_;
        UiTest::TearDown();
    }
    platform::DateFormatSettings saved_;
    platform::RegionalSettings regional_;
};

// A form that counts the settings messages it hears.
struct Listener : TForm {
    using TForm::TForm;
    int heard = 0;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_WININICHANGE) ++heard;
        TForm::WndProc(m);
    }
};

TEST_F(SettingsChangeTest, TheFormatFollowsFirstThenHooksAndWindowsHear) {
    auto form = Make<Listener>(nullptr);
    form->Show();
    std::vector<std::string> seen;
    const int first = Application().HookMainWindow([&](TMessage& m) {
        seen.push_back("first " + platform::FormatSettings().short_date_format);
        return m.Msg != WM_WININICHANGE;  // never true here: the next hook runs too
    });
    const int second = Application().HookMainWindow([&](TMessage&) {
        seen.push_back("second");
        return true;
    });
    const int third = Application().HookMainWindow([&](TMessage&) {
        seen.push_back("third");  // after a hook that handled it: never
        return false;
    });
    struct Case {
        bool update;
        const char* format;
        const char* in_force;
    };
    const Case cases[] = {{true, "dd.MM.yyyy", "dd.MM.yyyy"}, {false, "yyyy-MM-dd", "dd.MM.yyyy"}};
    for (const Case& c : cases) {
        Application().UpdateFormatSettings = c.update;
        platform::RegionalSettings user = regional_;
        user.short_date_format = c.format;
        seen.clear();
        platform::SetRegional(user);
        EXPECT_EQ(platform::FormatSettings().short_date_format, c.in_force);
        EXPECT_EQ(seen, (std::vector<std::string>{std::string("first ") + c.in_force, "second"}));
    }
    EXPECT_EQ(form->heard, 2);
    Application().UnhookMainWindow(second);
    seen.clear();
    platform::SetRegional(regional_);
    EXPECT_EQ(seen.size(), 2u) << "the third hook runs once the second is gone";
    Application().UnhookMainWindow(first);
    Application().UnhookMainWindow(third);
}

TEST_F(SettingsChangeTest, AFormPreviewsKeysDialogKeysIncluded) {
    auto form = Make<TForm>(nullptr);
    form->SetBounds(10, 10, 200, 100);
    auto* a = new TEdit(form.get());
    a->SetParent(form.get());
    auto* b = new TEdit(form.get());
    b->SetParent(form.get());
    b->SetTop(40);
    std::vector<UINT> previewed;
    form->OnKeyDown = [&](TObject*, UINT& key, TShiftState) {
        previewed.push_back(key);
        if (key == VK_TAB) key = 0;  // taken: the focus stays
    };
    form->Show();
    a->SetFocus();
    Pump();
    InjectKey(VK_TAB, true);
    InjectKey(VK_TAB, false);
    Pump();
    EXPECT_TRUE(b->Focused()) << "without preview Tab moves on";
    EXPECT_TRUE(previewed.empty());
    a->SetFocus();
    form->KeyPreview = true;
    for (UINT vk : {UINT(VK_TAB), UINT(VK_HOME)}) {
        InjectKey(vk, true);
        InjectKey(vk, false);
    }
    Pump();
    EXPECT_TRUE(a->Focused()) << "the form took Tab";
    EXPECT_EQ(previewed, (std::vector<UINT>{VK_TAB, VK_HOME}));
}

TEST_F(SettingsChangeTest, ScalingMovesSizesAndOwnFonts) {
    auto form = Make<TForm>(nullptr);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(10, 20, 100, 50);
    auto* edit = new TEdit(form.get());
    edit->SetParent(panel);
    edit->SetBounds(4, 4, 80, 21);
    edit->SetParentFont(false);
    edit->Font()->SetHeight(-11);
    panel->ScaleBy(3, 2);
    EXPECT_EQ(panel->BoundsRect(), Bounds(15, 30, 150, 75));
    EXPECT_EQ(edit->BoundsRect(), Bounds(6, 6, 120, 32));  // 31.5 rounds up
    EXPECT_EQ(edit->Font()->Height(), -17);                // -16.5 rounds away from zero
    panel->ScaleBy(5, 5);
    EXPECT_EQ(panel->Width(), 150);
    EXPECT_EQ(Screen().PixelsPerInch(), 96);
    Screen().SetPixelsPerInch(0);
    EXPECT_EQ(Screen().PixelsPerInch(), 96);
}

}  // namespace
}  // namespace ui
