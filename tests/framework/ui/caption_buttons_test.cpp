// The title bar's buttons: pressed and released on them, they do what the
// desktop does (close, maximise and restore, minimise, context help), look
// pressed while held with the pointer on them, and do nothing when the
// release comes elsewhere or Escape ends the press.
#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class CaptionButtonsTest : public testing_ui::UiTest {
protected:
    void TearDown() override {
        form_.reset();
        other_.reset();
        InstallDisplay(nullptr);
        UiTest::TearDown();
    }
    TForm* Shown(TFormBorderStyle style, unsigned icons) {
        form_ = Make<TForm>(nullptr);
        form_->SetBorderStyle(style);
        form_->SetBorderIcons(icons);
        form_->SetBounds(40, 30, 260, 140);
        form_->Show();
        Pump();
        return form_.get();
    }
    HWND H() { return form_->Handle(); }
    CaptionButton Button(LRESULT hit) {
        for (const CaptionButton& b : GetCaptionLayout(H()).buttons)
            if (b.hit == hit) return b;
        ADD_FAILURE() << "no button " << hit;
        return {};
    }
    TPoint Centre(LRESULT hit) {
        const TRect wr = GetWindowRect(H()), r = Button(hit).rect;
        return {wr.left + (r.left + r.right) / 2, wr.top + (r.top + r.bottom) / 2};
    }
    void Press(LRESULT hit) {
        Mouse(MouseAction::Move, Centre(hit));
        Mouse(MouseAction::Down, Centre(hit));
    }
    void Click(LRESULT hit) {
        Press(hit);
        Mouse(MouseAction::Up, Centre(hit));
    }
    COLORREF At(int x, int y) { return GetWindowSurface(H())->Pixel(x, y); }
    // The top-left pixel of a button's picture (w by h), as drawn now.
    TPoint ArtOrigin(const CaptionButton& b, int w, int h) {
        const TRect in = b.rect.Inflate(-2, -2);
        return {in.left + (in.Width() - w) / 2 + (b.pressed ? 1 : 0),
                in.top + (in.Height() - h) / 2 + (b.pressed ? 1 : 0)};
    }

    Owned<TForm> form_, other_;
    testing_ui::RecordingDisplay display_;
};

TEST_F(CaptionButtonsTest, PressAndReleaseOnAButtonDoesWhatTheDesktopDoes) {
    struct Case {
        const char* what;
        TFormBorderStyle style;
        unsigned icons;
        LRESULT hit;
        bool shown, zoomed, iconic, asking_help;
    };
    const unsigned all = biSystemMenu | biMinimize | biMaximize;
    const Case cases[] = {
        {"close", bsSizeable, all, HTCLOSE, false, false, false, false},
        {"maximise", bsSizeable, all, HTMAXBUTTON, true, true, false, false},
        {"minimise", bsSizeable, all, HTMINBUTTON, true, false, true, false},
        {"help", bsDialog, biSystemMenu | biHelp, HTHELP, true, false, false, true},
        {"a missing box is disabled", bsSingle, biSystemMenu | biMinimize, HTMAXBUTTON, true, false, false, false},
    };
    for (const Case& c : cases) {
        Shown(c.style, c.icons);
        int closes = 0;
        form_->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
        Click(c.hit);
        EXPECT_EQ(form_->Visible(), c.shown) << c.what;
        EXPECT_EQ(closes, c.shown ? 0 : 1) << c.what;
        EXPECT_EQ(IsZoomed(H()), c.zoomed) << c.what;
        EXPECT_EQ(IsIconic(H()), c.iconic) << c.what;
        EXPECT_EQ(SystemDragActive(), c.asking_help) << c.what;
        if (c.asking_help) {
            InjectKey(VK_ESCAPE, true);
            Pump();
        }
        if (c.shown) {
            EXPECT_EQ(GetCapture(), HWND(0)) << c.what;
        }
    }
}

TEST_F(CaptionButtonsTest, HeldTheButtonLooksPressedOnlyWhileThePointerIsOnIt) {
    Shown(bsSizeable, biSystemMenu | biMinimize | biMaximize);
    const CaptionButton up = Button(HTCLOSE);
    const TPoint art = ArtOrigin(up, 8, 7);
    EXPECT_EQ(At(up.rect.left, up.rect.top), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(At(art.x, art.y), GetSysColor(COLOR_BTNTEXT));
    Press(HTCLOSE);
    const CaptionButton held = Button(HTCLOSE);
    ASSERT_TRUE(held.pressed);
    // Sunken, and the cross one pixel down and right.
    EXPECT_EQ(At(held.rect.left, held.rect.top), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(At(held.rect.right - 1, held.rect.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(At(art.x, art.y), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(At(art.x + 1, art.y + 1), GetSysColor(COLOR_BTNTEXT));
    // A repaint of the whole frame keeps the look.
    SendMessage(H(), WM_NCPAINT, kWholeFrame, 0);
    EXPECT_EQ(At(held.rect.left, held.rect.top), GetSysColor(COLOR_BTNSHADOW));
    // Off the button it is up again; back on it, pressed.
    const TRect wr = GetWindowRect(H());
    Mouse(MouseAction::Move, {wr.left + 60, wr.top + 70});
    EXPECT_FALSE(Button(HTCLOSE).pressed);
    EXPECT_EQ(At(held.rect.left, held.rect.top), GetSysColor(COLOR_3DLIGHT));
    Mouse(MouseAction::Move, Centre(HTCLOSE));
    EXPECT_TRUE(Button(HTCLOSE).pressed);
    Mouse(MouseAction::Up, Centre(HTCLOSE));
    EXPECT_FALSE(form_->Visible());
}

TEST_F(CaptionButtonsTest, AReleaseElsewhereOrEscapeDoesNothing) {
    struct Case {
        const char* what;
        bool escape;
    };
    for (const Case c : {Case{"released off the button", false}, Case{"Escape", true}}) {
        Shown(bsSizeable, biSystemMenu | biMinimize | biMaximize);
        Press(HTCLOSE);
        const TRect wr = GetWindowRect(H());
        if (c.escape) {
            InjectKey(VK_ESCAPE, true);
            Pump();
            EXPECT_FALSE(SystemDragActive()) << c.what;
            Mouse(MouseAction::Up, Centre(HTCLOSE));
        } else {
            Mouse(MouseAction::Move, {wr.left + 60, wr.top + 70});
            Mouse(MouseAction::Up, {wr.left + 60, wr.top + 70});
        }
        EXPECT_TRUE(form_->Visible()) << c.what;
        EXPECT_FALSE(Button(HTCLOSE).pressed) << c.what;
        EXPECT_EQ(At(Button(HTCLOSE).rect.left, Button(HTCLOSE).rect.top), GetSysColor(COLOR_3DLIGHT)) << c.what;
        EXPECT_EQ(GetCapture(), HWND(0)) << c.what;
    }
}

TEST_F(CaptionButtonsTest, MaximisedTheButtonRestoresAndShowsTheRestorePicture) {
    Shown(bsSizeable, biSystemMenu | biMinimize | biMaximize);
    const TRect normal = GetWindowRect(H());
    const TPoint max_art = ArtOrigin(Button(HTMAXBUTTON), 9, 8);
    EXPECT_EQ(At(max_art.x, max_art.y), GetSysColor(COLOR_BTNTEXT));  // the full top edge of one window
    Click(HTMAXBUTTON);
    ASSERT_TRUE(IsZoomed(H()));
    const TPoint restore_art = ArtOrigin(Button(HTMAXBUTTON), 9, 9);
    EXPECT_EQ(At(restore_art.x, restore_art.y), GetSysColor(COLOR_BTNFACE));  // two windows: the back one starts right
    EXPECT_EQ(At(restore_art.x + 3, restore_art.y), GetSysColor(COLOR_BTNTEXT));
    Click(HTMAXBUTTON);
    EXPECT_FALSE(IsZoomed(H()));
    EXPECT_EQ(GetWindowRect(H()), normal);
}

TEST_F(CaptionButtonsTest, MinimisedTheWindowLeavesTheScreenAndComesBackAsItWas) {
    InstallDisplay(&display_);
    Shown(bsSizeable, biSystemMenu | biMinimize | biMaximize);
    other_ = Make<TForm>(nullptr);
    other_->SetBounds(400, 300, 100, 80);
    other_->Show();
    SetActiveWindow(H());
    Pump();
    ASSERT_TRUE(form_->Active());
    Click(HTMAXBUTTON);
    const TRect zoomed = GetWindowRect(H());
    Click(HTMINBUTTON);
    EXPECT_TRUE(IsIconic(H()));
    EXPECT_TRUE(IsWindowVisible(H()));  // to the program it is still there
    EXPECT_TRUE(other_->Active());      // the activation went on
    EXPECT_EQ(WindowFromPoint({zoomed.left + 50, zoomed.top + 50}), HWND(0));
    EXPECT_EQ(display_.minimized, (std::vector<std::pair<HWND, bool>>{{H(), true}}));
    SendMessage(H(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(H()));
    EXPECT_TRUE(IsZoomed(H()));  // back as it was before
    EXPECT_EQ(GetWindowRect(H()), zoomed);
    EXPECT_TRUE(form_->Active());
    EXPECT_EQ(display_.minimized.back(), (std::pair<HWND, bool>{H(), false}));
}

}  // namespace
}  // namespace ui
