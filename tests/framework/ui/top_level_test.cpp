// Top-level windows as the screen sees them: a sizing frame answers its
// edges and corners and follows a drag of them; the screen hears of moves of
// a hidden window and of the order of the windows, owned ones in front of
// their owner; freeing a form while a window it owns is active ends well.
#include <map>
#include <vector>

#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

// Remembers where the screen was last told each window is, and the last order.
struct PlacesDisplay : testing_ui::RecordingDisplay {
    std::map<HWND, TRect> at;
    std::vector<HWND> order;
    void WindowShown(HWND h, const TRect& r, bool) override { at[h] = r; }
    void WindowMoved(HWND h, const TRect& r) override { at[h] = r; }
    void WindowsRestacked(const std::vector<HWND>& front_to_back) override { order = front_to_back; }
};

class TopLevelTest : public testing_ui::UiTest {
protected:
    void TearDown() override {
        InstallDisplay(nullptr);
        UiTest::TearDown();
    }
    Owned<TForm> Sizeable(TFormBorderStyle style = bsSizeable) {
        auto f = Make<TForm>(nullptr);
        f->SetBorderStyle(style);
        f->SetBounds(100, 80, 300, 200);
        f->Show();
        Pump();
        return f;
    }
    void Mouse(MouseAction a, TPoint p) {
        InjectMouse(a, MouseButton::Left, p);
        Pump();
    }
};

TEST_F(TopLevelTest, ASizingFrameAnswersItsEdgesAndCorners) {
    const int frame = GetSystemMetrics(SM_CXFRAME), corner = frame + GetSystemMetrics(SM_CXSIZE);
    struct Case {
        const char* where;
        TPoint at;  // window coordinates of a 300 x 200 window
        LRESULT hit;
    };
    const Case cases[] = {
        {"left edge", {1, 100}, HTLEFT},
        {"right edge", {299, 100}, HTRIGHT},
        {"top edge", {150, 1}, HTTOP},
        {"bottom edge", {150, 198}, HTBOTTOM},
        {"bottom-right corner", {299, 199}, HTBOTTOMRIGHT},
        {"top-left corner", {0, 0}, HTTOPLEFT},
        {"the right edge near the bottom", {298, 200 - corner + 1}, HTBOTTOMRIGHT},
        {"the bottom edge near the left", {corner - 1, 197}, HTBOTTOMLEFT},
        {"the top edge near the right", {300 - corner, 2}, HTTOPRIGHT},
        {"the caption", {150, frame + 3}, HTCAPTION},
        {"the client area", {150, 100}, HTCLIENT},
    };
    auto f = Sizeable();
    const TRect wr = GetWindowRect(f->WindowHandle());
    for (const Case& c : cases)
        EXPECT_EQ(SendMessage(f->WindowHandle(), WM_NCHITTEST, 0, MAKELPARAM(wr.left + c.at.x, wr.top + c.at.y)), c.hit)
            << c.where;
    // Without a sizing frame, and maximised, the frame is a plain border.
    auto single = Sizeable(bsSingle);
    const TRect sr = GetWindowRect(single->WindowHandle());
    EXPECT_EQ(SendMessage(single->WindowHandle(), WM_NCHITTEST, 0, MAKELPARAM(sr.right - 1, sr.bottom - 1)), HTBORDER);
    ShowWindow(f->WindowHandle(), SW_MAXIMIZE);
    const TRect mr = GetWindowRect(f->WindowHandle());
    EXPECT_EQ(SendMessage(f->WindowHandle(), WM_NCHITTEST, 0, MAKELPARAM(mr.right - 1, mr.bottom - 1)), HTBORDER);
}

TEST_F(TopLevelTest, ADragOfAnEdgeOrCornerSizesTheWindowAndEscapePutsItBack) {
    const int min_w = GetSystemMetrics(SM_CXMINTRACK), min_h = GetSystemMetrics(SM_CYMINTRACK);
    struct Case {
        const char* what;
        TPoint from;  // window coordinates
        TPoint by;
        TRect want;               // screen; the window starts at (100, 80, 400, 280)
        bool moved_first = true;  // else released where no move was taken
    };
    const Case cases[] = {
        {"bottom-right corner", {299, 199}, {50, 30}, {100, 80, 450, 310}},
        {"left edge", {1, 100}, {-20, 40}, {80, 80, 400, 280}},
        {"top edge", {150, 1}, {70, 25}, {100, 105, 400, 280}},
        {"bottom-left corner", {1, 199}, {30, -20}, {130, 80, 400, 260}},
        {"no smaller than the smallest size", {299, 199}, {-400, -400}, {100, 80, 100 + min_w, 80 + min_h}},
        {"the release's own point", {299, 199}, {40, 20}, {100, 80, 440, 300}, false},
    };
    for (const Case& c : cases) {
        auto f = Sizeable();
        auto* fill = new TPanel(f.get());
        fill->SetParent(f.get());
        fill->SetAlign(alClient);
        const TPoint from{100 + c.from.x, 80 + c.from.y};
        Mouse(MouseAction::Move, from);
        Mouse(MouseAction::Down, from);
        if (c.moved_first) Mouse(MouseAction::Move, {from.x + c.by.x, from.y + c.by.y});
        EXPECT_TRUE(SystemDragActive()) << c.what;
        Mouse(MouseAction::Up, {from.x + c.by.x, from.y + c.by.y});
        EXPECT_EQ(GetWindowRect(f->WindowHandle()), c.want) << c.what;
        EXPECT_EQ(f->Width(), c.want.Width()) << c.what;
        EXPECT_EQ(fill->Width(), f->ClientWidth()) << c.what << ": the form lays out again";
        EXPECT_EQ(fill->Height(), f->ClientHeight()) << c.what;
        EXPECT_FALSE(SystemDragActive()) << c.what;
    }
    auto f = Sizeable();
    Mouse(MouseAction::Move, {399, 279});
    Mouse(MouseAction::Down, {399, 279});
    Mouse(MouseAction::Move, {450, 300});
    InjectKey(VK_ESCAPE, true);
    Pump();
    EXPECT_EQ(GetWindowRect(f->WindowHandle()), (TRect{100, 80, 400, 280}));
}

TEST_F(TopLevelTest, TheScreenKnowsWhereAWindowShownAgainIs) {
    PlacesDisplay display;
    InstallDisplay(&display);
    auto hint = Make<TForm>(nullptr);
    hint->SetBorderStyle(bsNone);
    hint->SetBounds(10, 10, 60, 16);
    hint->Show();
    const HWND h = hint->WindowHandle();
    EXPECT_EQ(display.at[h], (TRect{10, 10, 70, 26}));
    ShowWindow(h, SW_HIDE);
    // Moved and sized while hidden, as a hint is for its next text; then shown as it is.
    SetWindowPos(h, HWND_TOPMOST, 200, 40, 120, 16, SWP_NOACTIVATE);
    EXPECT_EQ(display.at[h], (TRect{200, 40, 320, 56})) << "the move while hidden";
    ShowWindow(h, SW_SHOWNA);
    EXPECT_EQ(display.at[h], (TRect{200, 40, 320, 56}));
    const int destroyed = display.destroyed;
    ShowWindow(h, SW_HIDE);
    hint.reset();
    EXPECT_EQ(display.destroyed, destroyed + 1) << "a hidden window leaves the screen as well";
}

TEST_F(TopLevelTest, WindowsAWindowOwnsStayInFrontOfIt) {
    PlacesDisplay display;
    InstallDisplay(&display);
    auto main = Sizeable();
    auto other = Sizeable();
    auto* popup = new TForm(main.get());
    popup->SetBorderStyle(bsNone);
    popup->SetBounds(120, 100, 80, 60);
    popup->Show();
    auto* dialog = new TForm(popup);  // owned in turn
    dialog->Show();
    const HWND m = main->WindowHandle(), p = popup->WindowHandle(), d = dialog->WindowHandle(),
               o = other->WindowHandle();
    // The owner comes to the front: what it owns comes with it, in its order.
    for (int i = 0; i < 2; ++i) {
        SetActiveWindow(i ? m : o);
        SetActiveWindow(i ? o : m);
    }
    SetActiveWindow(m);
    const std::vector<HWND> want = {d, p, m, o};
    EXPECT_EQ(GetTopLevelWindows(), want);
    EXPECT_EQ(display.order, want);
    SetWindowPos(p, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(GetTopLevelWindows(), want) << "the popup raised alone stays under its dialog";
}

TEST_F(TopLevelTest, FreeingAShownFormWhileAWindowItOwnsIsActiveEndsWell) {
    struct Case {
        const char* what;
        TFormBorderStyle owned_style;
        bool focus_in_owned;
    };
    const Case cases[] = {
        {"an owned form with a focused edit", bsSizeable, true},
        {"an owned popup", bsNone, false},
    };
    for (const Case& c : cases) {
        auto owner = Sizeable();
        auto* edit = new TEdit(owner.get());
        edit->SetParent(owner.get());
        owner->SetActiveControl(edit);
        Pump();
        auto* owned = new TForm(owner.get());
        owned->SetBorderStyle(c.owned_style);
        if (c.focus_in_owned) {
            auto* inner = new TEdit(owned);
            inner->SetParent(owned);
            owned->SetActiveControl(inner);
        }
        owned->Show();
        Pump();
        ASSERT_EQ(GetActiveWindow(), owned->WindowHandle()) << c.what;
        owner.reset();  // frees the owned window first; the owner is never activated on its way out
        EXPECT_EQ(GetActiveWindow(), HWND(0)) << c.what;
        EXPECT_EQ(GetFocus(), HWND(0)) << c.what;
        EXPECT_EQ(WindowCount(), 0u) << c.what;
    }
}

}  // namespace
}  // namespace ui
