// Drop-down windows: shown without activation, and each rule that closes
// them, driven by injected input.
#include "framework/ui/dropdown.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// A graphic control that counts its presses (the drop button).
struct Pad : TGraphicControl {
    using TGraphicControl::TGraphicControl;
    int presses = 0;
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        ++presses;
        TGraphicControl::MouseDown(b, s, x, y);
    }
};

class DropDownTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsSingle);
        form->SetBounds(100, 100, 320, 200);
        edit = new TEdit(form.get());
        edit->SetBounds(10, 10, 120, 21);
        edit->SetParent(form.get());
        other = new TEdit(form.get());
        other->SetBounds(180, 100, 120, 21);  // clear of the open drop-down
        other->SetParent(form.get());
        button = new Pad(form.get());
        button->SetBounds(130, 10, 18, 21);
        button->SetParent(form.get());
        drop = new TDropDownWindow(form.get(), edit);
        drop->SetBounds(0, 0, 150, 80);
        drop->DropButton = button;
        drop->OnCloseUp = [this](TObject*, bool accept) { closes.push_back(accept); };
        form->Show();
        edit->SetFocus();
        Pump();
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }
    void Open() {
        drop->DropDownAt(edit->ClientToScreen({0, edit->Height()}));
        Pump();
    }
    void Press(TPoint screen, MouseButton b = MouseButton::Left) {
        InjectMouse(MouseAction::Down, b, screen);
        InjectMouse(MouseAction::Up, b, screen);
        Pump();
    }
    TPoint In(TControl* c, int x, int y) { return c->ClientToScreen({x, y}); }

    Owned<TForm> form;
    TEdit *edit = nullptr, *other = nullptr;
    Pad* button = nullptr;
    TDropDownWindow* drop = nullptr;
    std::vector<bool> closes;
};

TEST_F(DropDownTest, OpensUnderTheEditorWithoutTakingTheActivationOrTheFocus) {
    Open();
    ASSERT_TRUE(drop->Dropped());
    EXPECT_TRUE(IsWindowVisible(drop->WindowHandle()));
    EXPECT_EQ(GetWindowRect(drop->WindowHandle()), Bounds(In(edit, 0, 21).x, In(edit, 0, 21).y, 150, 80));
    EXPECT_EQ(GetActiveWindow(), form->WindowHandle());
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(GetOwner(drop->WindowHandle()), form->WindowHandle());
    // A press inside neither activates nor closes it; the release inside accepts.
    InjectMouse(MouseAction::Down, MouseButton::Left, In(drop, 20, 20));
    Pump();
    EXPECT_EQ(GetActiveWindow(), form->WindowHandle());
    EXPECT_TRUE(drop->Dropped());
    InjectMouse(MouseAction::Up, MouseButton::Left, In(drop, 22, 22));
    Pump();
    EXPECT_EQ(closes, std::vector<bool>{true});
    EXPECT_FALSE(IsWindowVisible(drop->WindowHandle()));
    EXPECT_TRUE(edit->Focused());
    // Released outside after a press inside (the capture brings it): not accepted.
    Open();
    InjectMouse(MouseAction::Down, MouseButton::Left, In(drop, 20, 20));
    InjectMouse(MouseAction::Move, MouseButton::Left, In(drop, 300, 20));
    InjectMouse(MouseAction::Up, MouseButton::Left, In(drop, 300, 20));
    Pump();
    EXPECT_EQ(closes, (std::vector<bool>{true, false}));
    EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(DropDownTest, EachRuleClosesItWithoutAccepting) {
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"focus to another control", [&] { other->SetFocus(); }},
        {"a press on another control", [&] { Press(In(other, 5, 5)); }},
        {"a press on the form", [&] { Press(In(form.get(), 250, 150)); }},
        {"a press on the title bar",
         [&] {
             Press({form->Left() + 100, form->Top() + 8});
         }},
        {"a press in the editor", [&] { Press(In(edit, 5, 5)); }},
        {"cancel mode from another control", [&] { form->SendCancelMode(other); }},
        {"the system's cancel mode", [&] { SendMessage(drop->WindowHandle(), WM_CANCELMODE); }},
        {"another window activated",
         [&] {
             auto second = Make<TForm>(nullptr);
             second->SetBounds(500, 100, 100, 100);
             second->Show();
             Pump();
         }},
    };
    for (const Case& c : cases) {
        edit->SetFocus();
        SetActiveWindow(form->WindowHandle());
        closes.clear();
        Open();
        c.act();
        Pump();
        EXPECT_EQ(closes, std::vector<bool>{false}) << c.name;
        EXPECT_FALSE(drop->Dropped()) << c.name;
    }
}

TEST_F(DropDownTest, ItsOwnCancelModesKeepItOpen) {
    Open();
    form->SendCancelMode(edit);
    form->SendCancelMode(button);
    form->SendCancelMode(drop);
    EXPECT_TRUE(drop->Dropped());
    EXPECT_TRUE(closes.empty());
}

TEST_F(DropDownTest, ThePressOnTheDropButtonAcceptsAndIsNotDeliveredAgain) {
    Open();
    Press(In(button, 5, 5));
    EXPECT_EQ(closes, std::vector<bool>{true});
    EXPECT_EQ(button->presses, 0);  // so the button does not open it again
    Press(In(button, 5, 5));        // closed: the press reaches the button
    EXPECT_EQ(button->presses, 1);
    // The other presses go on to where they landed.
    Open();
    Press(In(other, 5, 5));
    EXPECT_TRUE(other->Focused());
}

TEST_F(DropDownTest, AnEditorFreedWhileOpenClosesItAndLeavesNothingBehind) {
    Open();
    Free(edit);
    EXPECT_FALSE(drop->Dropped());
    EXPECT_EQ(drop->Editor(), nullptr);
    Press(In(other, 5, 5));  // no drop-down left to ask
    EXPECT_EQ(closes, std::vector<bool>{false});
}

}  // namespace
}  // namespace ui
