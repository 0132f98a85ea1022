// Dialog keys: the tab order, default and cancel buttons, accelerators, and
// the keys a control keeps for itself; the push button.
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::QueueKey;

// A custom control that keeps the arrows and Tab for itself.
struct KeyTaker : TCustomControl {
    using TCustomControl::TCustomControl;
    std::vector<UINT> keys;
    void WndProc(TMessage& m) override {
        if (m.Msg == WM_GETDLGCODE) {
            m.Result = DLGC_WANTARROWS | DLGC_WANTTAB;
            return;
        }
        TCustomControl::WndProc(m);
    }
    void KeyDown(UINT& key, TShiftState) override { keys.push_back(key); }
};

class DialogKeysTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsDialog);
        form->SetBounds(100, 100, 320, 200);
        auto place = [&](TWinControl* c, TWinControl* parent, int x, int y, int order) {
            c->SetParent(parent);
            c->SetLeft(x);
            c->SetTop(y);
            c->TabOrder = order;
        };
        name = new TEdit(form.get());
        place(name, form.get(), 80, 10, 0);
        label = new TLabel(form.get());
        label->SetParent(form.get());
        label->SetCaption("&Name:");
        label->SetBounds(10, 12, 60, 17);
        label->FocusControl = name;
        amount = new TEdit(form.get());
        place(amount, form.get(), 80, 40, 1);
        ok = new TButton(form.get());
        place(ok, form.get(), 10, 130, 3);
        ok->SetCaption("OK");
        ok->SetDefault(true);
        ok->ModalResult = mrOk;
        cancel = new TButton(form.get());
        place(cancel, form.get(), 100, 130, 4);
        cancel->SetCaption("Cancel");
        cancel->Cancel = true;
        cancel->ModalResult = mrCancel;
        save = new TButton(form.get());
        place(save, form.get(), 190, 130, 2);
        save->SetCaption("&Save");
        save->OnClick = [this](TObject*) { ++saves; };
        panel = new TPanel(form.get());
        place(panel, form.get(), 10, 70, 5);
        panel->SetBounds(10, 70, 200, 40);
        inner = new TEdit(form.get());
        place(inner, panel, 5, 5, 0);
        off = new TEdit(form.get());
        place(off, form.get(), 220, 70, 6);
        off->SetEnabled(false);
        form->SetActiveControl(name);
    }
    TWinControl* Focused() { return TWinControl::FromHandle(GetFocus()); }

    Owned<TForm> form;
    TEdit *name = nullptr, *amount = nullptr, *inner = nullptr, *off = nullptr;
    TButton *ok = nullptr, *cancel = nullptr, *save = nullptr;
    TPanel* panel = nullptr;
    TLabel* label = nullptr;
    int saves = 0;
};

TEST_F(DialogKeysTest, TabAndShiftTabGoRoundTheTabOrder) {
    form->Show();
    Pump();
    ASSERT_EQ(Focused(), name);
    std::vector<TWinControl*> forward, backward;
    for (int i = 0; i < 6; ++i) {
        QueueKey(VK_TAB);
        Pump();
        forward.push_back(Focused());
    }
    // Inside a container after it; disabled controls and containers without a tab stop are passed.
    EXPECT_EQ(forward, (std::vector<TWinControl*>{amount, save, ok, cancel, inner, name}));
    for (int i = 0; i < 3; ++i) {
        QueueKey(VK_TAB, kShift);
        Pump();
        backward.push_back(Focused());
    }
    EXPECT_EQ(backward, (std::vector<TWinControl*>{inner, cancel, ok}));
    EXPECT_EQ(form->ActiveControl(), ok);
}

TEST_F(DialogKeysTest, EnterAndEscapeEndTheDialogThroughItsButtons) {
    struct Case {
        std::vector<UINT> keys;
        int result;
        std::string typed;
    };
    const Case cases[] = {
        {{VK_RETURN}, mrOk, "ab"},
        {{VK_ESCAPE}, mrCancel, "ab"},
        {{VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_RETURN}, mrCancel, "ab"},  // Enter presses the focused button
    };
    for (const Case& c : cases) {
        name->SetText("");
        form->SetActiveControl(name);
        InjectChar('a');
        InjectChar('b');
        for (UINT k : c.keys) QueueKey(k);
        EXPECT_EQ(form->ShowModal(), c.result);
        EXPECT_EQ(name->GetText(), c.typed);
    }
    EXPECT_EQ(saves, 0);
}

TEST_F(DialogKeysTest, TheFocusedButtonIsDrawnAsTheDefault) {
    form->Show();
    Pump();
    auto s = GetWindowSurface(form->Handle());
    const TPoint o = ClientToScreen(form->Handle(), {0, 0});
    const TRect win = GetWindowRect(form->Handle());
    auto at = [&](TButton* b, int x, int y) {
        return s->Pixel(o.x - win.left + b->Left() + x, o.y - win.top + b->Top() + y);
    };
    const COLORREF frame = GetSysColor(COLOR_WINDOWFRAME);
    EXPECT_EQ(at(ok, 0, 0), frame);  // the default button's dark frame
    EXPECT_NE(at(save, 0, 0), frame);
    save->SetFocus();
    Pump();
    EXPECT_NE(at(ok, 0, 0), frame);
    EXPECT_EQ(at(save, 0, 0), frame);
    int dots = 0;  // the focus rectangle's dotted top edge
    for (int x = 6; x < save->Width() - 6; ++x) dots += at(save, x, 6) != GetSysColor(COLOR_BTNFACE);
    EXPECT_GT(dots, 10);
    testing_ui::SavePicture(form->Handle(), "dialog_buttons");
    amount->SetFocus();
    Pump();
    EXPECT_EQ(at(ok, 0, 0), frame);  // back on the default button
}

TEST_F(DialogKeysTest, AcceleratorsPressButtonsAndFocusLabelledControls) {
    form->Show();
    Pump();
    amount->SetFocus();
    QueueKey('S', kAlt);
    Pump();
    EXPECT_EQ(saves, 1);
    QueueKey('N', kAlt);
    Pump();
    EXPECT_EQ(Focused(), name);
    // Without Alt a letter is typed into an edit, but presses a button when a button has the focus.
    InjectChar('s');
    Pump();
    EXPECT_EQ(name->GetText(), "s");
    EXPECT_EQ(saves, 1);
    cancel->SetFocus();
    InjectChar('s');
    Pump();
    EXPECT_EQ(saves, 2);
    EXPECT_TRUE(IsAccel('s', "&Save"));
    EXPECT_FALSE(IsAccel('s', "Fish && &Chips"));
    EXPECT_TRUE(IsAccel('c', "Fish && &Chips"));
}

TEST_F(DialogKeysTest, AControlThatWantsTabAndArrowsKeepsThem) {
    auto* taker = new KeyTaker(form.get());
    taker->SetParent(form.get());
    taker->SetBounds(220, 10, 50, 50);
    taker->TabStop = true;
    form->Show();
    taker->SetFocus();
    QueueKey(VK_TAB);
    QueueKey(VK_LEFT);
    QueueKey(VK_RETURN);  // not wanted: the default button takes it
    Pump();
    EXPECT_EQ(taker->keys, (std::vector<UINT>{VK_TAB, VK_LEFT}));
    EXPECT_EQ(Focused(), taker);
    EXPECT_EQ(form->ModalResult(), mrOk);
    // A memo that wants tabs types them.
    auto* memo = new TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(220, 70, 90, 50);
    memo->WantTabs = true;
    memo->SetFocus();
    QueueKey(VK_TAB);
    InjectChar('\t');
    Pump();
    EXPECT_EQ(Focused(), memo);
    EXPECT_EQ(memo->GetText(), "\t");
}

TEST_F(DialogKeysTest, AButtonClicksWhenReleasedOverItOrByTheSpaceBar) {
    form->Show();
    Pump();
    const TPoint centre = save->ClientToScreen({30, 12});
    InjectMouse(MouseAction::Down, MouseButton::Left, centre);
    Pump();
    EXPECT_EQ(SendMessage(save->Handle(), BM_GETSTATE), BST_PUSHED);
    auto s = GetWindowSurface(form->Handle());
    const TPoint corner = ClientToScreen(save->Handle(), {1, 1});
    const TRect win = GetWindowRect(form->Handle());
    EXPECT_EQ(s->Pixel(corner.x - win.left, corner.y - win.top), GetSysColor(COLOR_BTNSHADOW));  // pushed in
    InjectMouse(MouseAction::Move, MouseButton::Left, {centre.x + 200, centre.y});
    InjectMouse(MouseAction::Up, MouseButton::Left, {centre.x + 200, centre.y});
    Pump();
    EXPECT_EQ(saves, 0);  // released elsewhere
    EXPECT_EQ(SendMessage(save->Handle(), BM_GETSTATE), 0);
    EXPECT_EQ(s->Pixel(corner.x - win.left + 1, corner.y - win.top + 1), GetSysColor(COLOR_BTNHIGHLIGHT));  // raised
    InjectMouse(MouseAction::Down, MouseButton::Left, centre);
    InjectMouse(MouseAction::Up, MouseButton::Left, centre);
    Pump();
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(save->Focused());
    QueueKey(VK_SPACE);
    Pump();
    EXPECT_EQ(saves, 2);
    save->SetEnabled(false);
    QueueKey('S', kAlt);
    Pump();
    EXPECT_EQ(saves, 2);  // a disabled button takes no accelerator
}

}  // namespace
}  // namespace ui
