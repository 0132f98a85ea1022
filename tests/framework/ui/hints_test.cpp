// Hints: the pauses on the virtual clock, which control's hint shows, what
// CM_HINTSHOW and OnShowHint may change, and the hint window class.
#include "framework/ui/hints.hpp"
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// A panel that answers CM_HINTSHOW through a function.
struct HintPanel : TPanel {
    using TPanel::TPanel;
    std::function<LRESULT(THintInfo&)> on_hint_show;
    void WndProc(TMessage& m) override {
        if (m.Msg == CM_HINTSHOW && on_hint_show) {
            m.Result = on_hint_show(*reinterpret_cast<THintInfo*>(m.LParam));
            return;
        }
        TPanel::WndProc(m);
    }
};

struct GreenHint : THintWindow {
    using THintWindow::THintWindow;
    std::string ClassName() const override { return "GreenHint"; }
};

class HintsTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 300, 200);
        form->SetShowHint(true);
        for (int i = 0; i < 2; ++i) {
            panels[i] = new HintPanel(form.get());
            panels[i]->SetBounds(10 + 150 * i, 10, 100, 50);
            panels[i]->SetParent(form.get());
        }
        panels[0]->Hint = "First|The first panel";
        panels[1]->Hint = "Second";
        form->Show();
        Pump();
    }
    void TearDown() override {
        form.reset();
        SetHintWindowClass(nullptr);
        UiTest::TearDown();
    }
    void MoveTo(int x, int y) {
        InjectMouse(MouseAction::Move, MouseButton::Left, {100 + x, 100 + y});
        Pump();
    }
    void Wait(int ms) {
        clock_.Advance(uint64_t(ms));
        Pump();
    }
    bool Shown() {
        THintWindow* w = Application().HintWindow();
        return w && IsWindowVisible(w->WindowHandle());
    }
    std::string Text() { return Application().HintWindow()->Caption(); }

    Owned<TForm> form;
    HintPanel* panels[2] = {};
};

TEST_F(HintsTest, ShowsAfterThePauseBelowThePointerAndHidesAfterTheHidePause) {
    MoveTo(20, 20);
    Wait(499);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(Application().Hint(), "The first panel");
    Wait(1);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Text(), "First");
    THintWindow* w = Application().HintWindow();
    const TRect r = GetWindowRect(w->WindowHandle());
    const CursorResource* arrow = CursorOf(Screen().Cursors(crDefault));
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 120 + arrow->image->Height() - arrow->hotspot.y);
    EXPECT_EQ(GetActiveWindow(), form->WindowHandle());  // the hint never takes the activation
    EXPECT_TRUE(GetWindowExStyle(w->WindowHandle()) & WS_EX_TOPMOST);
    // Pixels: a black frame, the info colour inside, text in the info text colour.
    Pump();
    SurfacePtr s = GetWindowSurface(w->WindowHandle());
    EXPECT_EQ(s->Pixel(0, 0), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(s->Pixel(1, 1), GetSysColor(COLOR_INFOBK));
    bool text = false;
    for (int y = 1; y < s->Height() - 1; ++y)
        for (int x = 1; x < s->Width() - 1; ++x) text = text || s->Pixel(x, y) == GetSysColor(COLOR_INFOTEXT);
    EXPECT_TRUE(text);
    Wait(2499);
    EXPECT_TRUE(Shown());
    Wait(1);
    EXPECT_FALSE(Shown());
    // Moving within the same control does not bring it back.
    MoveTo(25, 25);
    Wait(1000);
    EXPECT_FALSE(Shown());
}

TEST_F(HintsTest, TheNextControlTakesTheShortPauseOnlyStraightFromAShowingHint) {
    MoveTo(20, 20);
    Wait(500);
    ASSERT_TRUE(Shown());
    MoveTo(170, 20);
    EXPECT_FALSE(Shown());
    Wait(50);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Text(), "Second");
    // Through a place without a hint: the whole pause again.
    MoveTo(130, 150);
    EXPECT_FALSE(Shown());
    MoveTo(20, 20);
    Wait(50);
    EXPECT_FALSE(Shown());
    Wait(450);
    EXPECT_TRUE(Shown());
}

TEST_F(HintsTest, APressOrAKeyEndsTheHintUntilThePointerMovesOn) {
    MoveTo(20, 20);
    Wait(500);
    ASSERT_TRUE(Shown());
    InjectMouse(MouseAction::Down, MouseButton::Left, {120, 120});
    InjectMouse(MouseAction::Up, MouseButton::Left, {120, 120});
    Pump();
    EXPECT_FALSE(Shown());
    MoveTo(22, 22);
    Wait(1000);
    EXPECT_FALSE(Shown());
    MoveTo(170, 20);  // another control: it starts again
    Wait(500);
    ASSERT_TRUE(Shown());
    InjectKey(VK_RETURN, true);
    Pump();
    EXPECT_FALSE(Shown());
}

TEST_F(HintsTest, ControlsAndTheProgramMayChangeOrRefuseTheHint) {
    panels[0]->on_hint_show = [](THintInfo& info) {
        info.HintStr = "Changed";
        info.HintColor = clYellow;
        info.HintPos.x += 40;
        return LRESULT(0);
    };
    MoveTo(20, 20);
    Wait(500);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Text(), "Changed");
    EXPECT_EQ(Application().HintWindow()->Color(), clYellow);
    EXPECT_EQ(GetWindowRect(Application().HintWindow()->WindowHandle()).left, 160);
    panels[1]->on_hint_show = [](THintInfo&) { return LRESULT(1); };
    MoveTo(170, 20);
    Wait(600);
    EXPECT_FALSE(Shown());
    panels[1]->on_hint_show = nullptr;
    Application().OnShowHint = [this](std::string& hint, bool& can_show, THintInfo& info) {
        can_show = info.HintControl != panels[0];
        EXPECT_EQ(hint, info.HintStr);
    };
    MoveTo(20, 20);
    Wait(600);
    EXPECT_FALSE(Shown());
    MoveTo(170, 20);
    Wait(600);
    EXPECT_TRUE(Shown());
}

TEST_F(HintsTest, ShowHintFollowsTheParentUntilSetAndNothingShowsWithoutIt) {
    EXPECT_TRUE(panels[0]->ShowHint());
    EXPECT_TRUE(panels[0]->ParentShowHint());
    panels[1]->SetShowHint(true);
    EXPECT_FALSE(panels[1]->ParentShowHint());
    form->SetShowHint(false);
    EXPECT_FALSE(panels[0]->ShowHint());
    EXPECT_TRUE(panels[1]->ShowHint());
    MoveTo(20, 20);
    Wait(600);
    EXPECT_FALSE(Shown());
    panels[1]->SetParentShowHint(true);
    EXPECT_FALSE(panels[1]->ShowHint());
    // A control without a hint of its own shows its parent's.
    form->SetShowHint(true);
    form->Hint = "The form";
    panels[0]->Hint.clear();
    MoveTo(22, 22);
    Wait(600);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Text(), "The form");
    // Switched off for the program: the window goes.
    Application().SetShowHint(false);
    EXPECT_EQ(Application().HintWindow(), nullptr);
    MoveTo(170, 20);
    Wait(600);
    EXPECT_EQ(Application().HintWindow(), nullptr);
}

TEST_F(HintsTest, TheHintWindowClassMakesTheNextWindow) {
    MoveTo(20, 20);
    Wait(500);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Application().HintWindow()->ClassName(), "THintWindow");
    EXPECT_TRUE(GetClassStyle(Application().HintWindow()->WindowHandle()) & CS_SAVEBITS);
    SetHintWindowClass(&NewHintWindow<GreenHint>);
    MoveTo(170, 20);
    Wait(50);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Application().HintWindow()->ClassName(), "GreenHint");
}

TEST_F(HintsTest, AControlFreedWhileItsHintIsDueLeavesNothingBehind) {
    MoveTo(20, 20);
    Free(panels[0]);
    Wait(600);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(GetShortHint("a|b|c"), "a");
    EXPECT_EQ(GetLongHint("a|b|c"), "b|c");
    EXPECT_EQ(GetLongHint("plain"), "plain");
}

}  // namespace
}  // namespace ui
