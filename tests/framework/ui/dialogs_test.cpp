#include "framework/ui/dialogs.hpp"

#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::QueueKey;

class DialogsTest : public testing_ui::UiTest {
protected:
    // The dialogs as windows, as a program with a display has them.
    void Windowed() { platform::InstallMessageBox(&windowed_); }
    WindowedMessageBoxes windowed_;
};

TEST_F(DialogsTest, TheDialogHasItsCaptionIconTextAndButtons) {
    auto f = CreateMessageDialog("Delete Record ?", mtConfirmation, mbYesNoCancel);
    EXPECT_EQ(f->Caption(), "Confirm");
    std::vector<std::string> captions;
    TButton* yes = nullptr;
    for (TComponent* c : f->Components())
        if (auto* b = dynamic_cast<TButton*>(c)) {
            captions.push_back(b->Caption());
            if (b->Name() == "Yes") yes = b;
        }
    EXPECT_EQ(captions, (std::vector<std::string>{"&Yes", "&No", "Cancel"}));
    ASSERT_NE(yes, nullptr);
    EXPECT_TRUE(yes->Default());
    EXPECT_EQ(f->ActiveControl(), yes);
    f->Show();
    Pump();
    auto s = GetWindowSurface(f->Handle());
    const TRect win = GetWindowRect(f->Handle());
    const TPoint icon = ClientToScreen(f->Handle(), {12, 12});
    const int ix = icon.x - win.left, iy = icon.y - win.top;
    EXPECT_EQ(s->Pixel(ix + 6, iy + 16), RGB(0, 0, 255));  // the blue disc
    EXPECT_EQ(s->Pixel(ix + 0, iy + 0), GetSysColor(COLOR_BTNFACE));
    // The buttons lie inside the client area, below the text.
    for (TComponent* c : f->Components())
        if (auto* b = dynamic_cast<TButton*>(c)) {
            EXPECT_LE(b->Top() + b->Height(), f->ClientHeight() - 8) << b->Name();
            EXPECT_LE(b->Left() + b->Width(), f->ClientWidth() - 8) << b->Name();
        }
    testing_ui::SavePicture(f->Handle(), "message_dialog");
    for (TMsgDlgType t : {mtWarning, mtError, mtInformation}) {
        auto d = CreateMessageDialog("x", t, MsgDlgButton(mbOK));
        d->Show();
        Pump();
        auto ds = GetWindowSurface(d->Handle());
        const TPoint o = ClientToScreen(d->Handle(), {12, 12});
        const TRect w = GetWindowRect(d->Handle());
        const COLORREF centre = ds->Pixel(o.x - w.left + 8, o.y - w.top + 20);
        const COLORREF want = t == mtWarning ? RGB(255, 255, 0) : t == mtError ? RGB(255, 0, 0) : RGB(0, 0, 255);
        EXPECT_EQ(centre, want) << t;
    }
}

TEST_F(DialogsTest, TheKeyboardAnswersAWindowedDialog) {
    Windowed();
    struct Case {
        std::vector<std::pair<UINT, unsigned>> keys;
        std::vector<char> chars;
        int want;
    };
    const Case cases[] = {
        {{{VK_RETURN, 0}}, {}, mrYes},
        {{{VK_ESCAPE, 0}}, {}, mrCancel},
        {{{VK_TAB, 0}, {VK_RETURN, 0}}, {}, mrNo},
        {{{VK_TAB, kShift}, {VK_RETURN, 0}}, {}, mrCancel},
        {{{'N', kAlt}}, {}, mrNo},
        {{}, {'n'}, mrNo},  // a letter: the focused button takes no characters
    };
    for (const Case& c : cases) {
        for (auto [vk, mods] : c.keys) QueueKey(vk, mods);
        for (char ch : c.chars) InjectChar(ch);
        EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, mbYesNoCancel), c.want);
    }
    const size_t windows = WindowCount();
    EXPECT_EQ(MessageDlg("Nobody answers", mtWarning, MsgDlgButton(mbOK)), mrAbort);  // nothing can end it
    EXPECT_EQ(WindowCount(), windows);                                                // the dialog is gone
}

TEST_F(DialogsTest, MessageBoxesBecomeWindowsWithTheirDefaultButton) {
    Windowed();
    QueueKey(VK_RETURN);
    EXPECT_EQ(platform::ShowMessageBox("Overwrite?", "Corvanta", platform::kMbYesNo | platform::kMbDefButton2),
              platform::kIdNo);
    QueueKey(VK_RETURN);
    EXPECT_EQ(platform::ShowMessageBox("Done.", "Corvanta", platform::kMbOk), platform::kIdOk);
    // With nothing to answer, the default button's answer.
    EXPECT_EQ(platform::ShowMessageBox("Sure?", "Corvanta", platform::kMbOkCancel | platform::kMbDefButton2),
              platform::kIdCancel);
}

TEST_F(DialogsTest, WithoutWindowsTheScriptAnswers) {
    box_.answers = {platform::kIdNo};
    const size_t windows = WindowCount();
    EXPECT_EQ(MessageDlg("Delete Record ?", mtConfirmation, mbYesNo), mrNo);
    EXPECT_EQ(MessageDlg("Abort?", mtWarning, mbOKCancel), mrOk);  // no answer left: the default
    EXPECT_EQ(WindowCount(), windows);
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].text, "Delete Record ?");
    EXPECT_EQ(box_.shown[0].caption, "Confirm");
    EXPECT_EQ(box_.shown[0].flags, unsigned(platform::kMbYesNo | platform::kMbIconQuestion));
    EXPECT_EQ(box_.shown[1].flags, unsigned(platform::kMbOkCancel | platform::kMbIconWarning));
}

}  // namespace
}  // namespace ui
