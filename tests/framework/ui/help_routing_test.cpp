// Help requests of the forms: F1 on the focused control, the title bar's
// help button followed by a click on a control, and a message dialog's Help
// button all reach the application's help event with the context number of
// the control, or of the nearest parent that has one.
#include <utility>

#include "framework/ui/dialogs.hpp"
#include "framework/ui/help.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using Request = std::pair<uint16_t, intptr_t>;
using Requests = std::vector<Request>;

class HelpRoutingTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();  // no help event or engine
        ApplicationHelpEvent() = [this](uint16_t command, intptr_t data, bool& call) {
            asked_.emplace_back(command, data);
            call = false;
            return true;
        };
    }
    void TearDown() override {
        form_.reset();
        UiTest::TearDown();
    }
    // A form holding a panel holding an edit, with the contexts given.
    void Build(int form, int panel, int edit, unsigned icons = biSystemMenu, TFormBorderStyle style = bsSingle) {
        form_ = Make<TForm>(nullptr);
        form_->SetBorderStyle(style);
        form_->SetBorderIcons(icons);
        form_->SetBounds(30, 30, 300, 200);
        form_->HelpContext = form;
        panel_ = new TPanel(form_.get());
        panel_->SetParent(form_.get());
        panel_->SetBounds(10, 10, 200, 100);
        panel_->HelpContext = panel;
        edit_ = new TEdit(panel_);
        edit_->SetParent(panel_);
        edit_->SetBounds(10, 10, 120, 21);
        edit_->HelpContext = edit;
        form_->Show();
        Pump();
        edit_->SetFocus();
        Pump();
    }
    void Click(TPoint screen) {
        InjectMouse(MouseAction::Move, MouseButton::Left, screen);
        InjectMouse(MouseAction::Down, MouseButton::Left, screen);
        InjectMouse(MouseAction::Up, MouseButton::Left, screen);
        Pump();
    }
    TPoint ButtonCentre(LRESULT hit) {
        const TRect wr = GetWindowRect(form_->Handle());
        for (const CaptionButton& b : GetCaptionLayout(form_->Handle()).buttons)
            if (b.hit == hit)
                return {wr.left + (b.rect.left + b.rect.right) / 2, wr.top + (b.rect.top + b.rect.bottom) / 2};
        ADD_FAILURE() << "no button " << hit;
        return {};
    }

    Requests asked_;
    Owned<TForm> form_;
    TPanel* panel_ = nullptr;
    TEdit* edit_ = nullptr;
};

TEST_F(HelpRoutingTest, F1AsksForTheNearestContextUpTheParents) {
    struct Case {
        int form, panel, edit;
        unsigned mods;
        Requests expected;
    };
    const Case cases[] = {
        {7, 9, 42, 0, {{HELP_CONTEXT, 42}}},  // the control's own
        {7, 9, 0, 0, {{HELP_CONTEXT, 9}}},    // its parent's
        {7, 0, 0, 0, {{HELP_CONTEXT, 7}}},    // the form's
        {0, 0, 0, 0, {}},                     // nobody has one: nothing is asked
        {7, 9, 42, kShift, {{HELP_CONTEXT, 42}}},
        {7, 9, 42, kControl, {}},  // Ctrl+F1 and Alt+F1 are no help keys
        {7, 9, 42, kAlt, {}},
    };
    for (const Case& c : cases) {
        asked_.clear();
        Build(c.form, c.panel, c.edit);
        ASSERT_TRUE(edit_->Focused());
        Key(VK_F1, c.mods);
        EXPECT_EQ(asked_, c.expected) << c.form << " " << c.panel << " " << c.edit << " " << c.mods;
    }
}

TEST_F(HelpRoutingTest, F1OnTheFormItselfAsksForTheFormsContext) {
    Build(5, 0, 0);
    form_->SetActiveControl(nullptr);
    ui::SetFocus(form_->Handle());
    Pump();
    ASSERT_EQ(GetFocus(), form_->Handle());
    Key(VK_F1);
    EXPECT_EQ(asked_, (Requests{{HELP_CONTEXT, 5}}));
}

TEST_F(HelpRoutingTest, WithoutAHandlerTheFrameworksEngineIsAskedAndNothingElseHappens) {
    Build(7, 0, 31);
    ApplicationHelpEvent() = nullptr;
    Key(VK_F1);  // nobody serves it: no harm done
    EXPECT_FALSE(Application().HelpContext(31));
    Requests engine;
    FrameworkHelpEngine() = [&](uint16_t command, intptr_t data) {
        engine.emplace_back(command, data);
        return true;
    };
    Key(VK_F1);
    EXPECT_EQ(engine, (Requests{{HELP_CONTEXT, 31}}));
    EXPECT_TRUE(asked_.empty());
}

TEST_F(HelpRoutingTest, TheTitleBarsHelpButtonAsksForTheControlClickedNext) {
    struct Case {
        const char* what;
        bool escape;         // Escape before the click
        bool click_outside;  // the click misses the form
        Requests expected;
    };
    const TPoint origin{0, 0};
    const Case cases[] = {
        {"a control", false, false, {{HELP_SETPOPUP_POS, 0}, {HELP_CONTEXTPOPUP, 42}}},
        {"Escape first", true, false, {}},
        {"outside", false, true, {}},
    };
    for (const Case& c : cases) {
        asked_.clear();
        Build(7, 9, 42, biSystemMenu | biHelp, bsDialog);
        Click(ButtonCentre(HTHELP));
        EXPECT_TRUE(SystemDragActive()) << c.what;
        EXPECT_EQ(GetCursor(), LoadStandardCursor(IDC_HELP)) << c.what;
        if (c.escape) Key(VK_ESCAPE);
        Click(c.click_outside ? TPoint{600, 500} : edit_->ClientToScreen({5, 5}));
        EXPECT_FALSE(SystemDragActive()) << c.what;
        Requests expected = c.expected;
        // The popup goes beside the control: its top-left, packed.
        const TPoint at = edit_->ClientToScreen(origin);
        if (!expected.empty()) expected[0].second = MAKELPARAM(at.x, at.y);
        EXPECT_EQ(asked_, expected) << c.what;
        // The click went to nobody else: the edit kept its text and focus.
        EXPECT_TRUE(edit_->Focused()) << c.what;
    }
}

TEST_F(HelpRoutingTest, AMessageDialogsHelpButtonAsksForTheDialogsTopicAndKeepsItOpen) {
    WindowedMessageBoxes windowed;
    platform::InstallMessageBox(&windowed);
    int step = 0;
    // Once the dialog is up: Help, then OK.
    SetTimer(0, 0, 10, [&](HWND, UINT id) {
        TCustomForm* dialog = Screen().ActiveForm();
        if (!dialog) return;
        TButton *help = nullptr, *ok = nullptr;
        for (TComponent* c : dialog->Components()) {
            if (c->Name() == "Help") help = dynamic_cast<TButton*>(c);
            if (c->Name() == "OK") ok = dynamic_cast<TButton*>(c);
        }
        if (step++ == 0) {
            ASSERT_NE(help, nullptr);
            help->Click();
            EXPECT_EQ(dialog->ModalResult(), mrNone);
        } else {
            KillTimer(0, id);
            ok->Click();
        }
    });
    EXPECT_EQ(MessageDlg("Delete the record?", mtConfirmation, MsgDlgButton(mbOK) | MsgDlgButton(mbHelp), 314), mrOk);
    EXPECT_EQ(asked_, (Requests{{HELP_CONTEXT, 314}}));
    platform::InstallMessageBox(&box_);
}

}  // namespace
}  // namespace ui
