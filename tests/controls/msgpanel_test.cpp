// The message panel's centring and look, and the shadowed hint window.
#include "controls/msgpanel.hpp"
#include "controls/cvconst.hpp"
#include "controls/cvspeedbtn.hpp"
#include "controls/hintshadow.hpp"
#include "framework/ui/sysparams.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class MessagePanelTest : public testing_ui::UiTest {};

TEST_F(MessagePanelTest, CentresOverTheActiveFormOrElseItsParent) {
    auto loose = Make<TMessagePanel>(nullptr);
    loose->SetBounds(3, 4, 265, 65);
    loose->Center();  // neither an active form nor a parent: it stays
    EXPECT_EQ(loose->BoundsRect(), Bounds(3, 4, 265, 65));
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsSingle);
    form->SetBounds(10, 10, 401, 300);
    auto* panel = new TMessagePanel(form.get());
    EXPECT_EQ(panel->Width(), 265);
    EXPECT_EQ(panel->Height(), 65);
    panel->SetParent(form.get());
    panel->SetBounds(5, 6, 265, 65);
    panel->Center();  // no active form yet: the parent's client area
    EXPECT_EQ(panel->Left(), (form->ClientWidth() - 265) / 2);
    EXPECT_EQ(panel->Top(), (form->ClientHeight() - 65) / 2);
    form->Show();
    ASSERT_EQ(Screen().ActiveForm(), form.get());
    panel->Center();
    EXPECT_EQ(panel->Left(), (401 - 265) / 2);
    EXPECT_EQ(panel->Top(), (300 - 65) / 2);
    form->SetBounds(10, 10, 200, 50);  // smaller than the panel
    panel->Center();
    EXPECT_EQ(panel->Left(), (200 - 265) / 2);  // -32: toward zero
    EXPECT_EQ(panel->Top(), (50 - 65) / 2);
}

TEST_F(MessagePanelTest, ShowsItsCaptionInTheMiddleInItsColour) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 100);
    auto* panel = new TMessagePanel(form.get());
    panel->SetParent(form.get());
    panel->SetColor(clInactiveCaption);
    panel->Font()->SetStyle(fsBold);
    panel->Font()->SetColor(clWindowText);
    panel->SetCaption("Backing up. Please wait...");
    form->Show();
    panel->Center();
    Pump();
    SurfacePtr s = GetWindowSurface(form->WindowHandle());
    const TRect b = panel->BoundsRect();
    EXPECT_EQ(s->Pixel(b.left, b.top), GetSysColor(COLOR_BTNHIGHLIGHT));  // the raised bevel
    EXPECT_EQ(s->Pixel(b.right - 1, b.bottom - 1), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(s->Pixel(b.left + 3, b.top + 3), GetSysColor(COLOR_INACTIVECAPTION));
    int text = 0;
    for (int x = b.left; x < b.right; ++x) text += s->Pixel(x, (b.top + b.bottom) / 2) == GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_GT(text, 10);
}

struct ShadowProbe : TShadowedHintWindow {
    using TShadowedHintWindow::TShadowedHintWindow;
    uint32_t ClassStyle() {
        ui::CreateParams p;
        CreateParams(p);
        return p.class_style;
    }
};

TEST_F(MessagePanelTest, HintsHaveAShadowFromNtFivePointOneOn) {
    struct Case {
        SystemVersion version;
        bool shadow;
    };
    const Case cases[] = {{{VER_PLATFORM_WIN32_NT, 5, 0}, false},
                          {{VER_PLATFORM_WIN32_NT, 5, 1}, true},
                          {{VER_PLATFORM_WIN32_NT, 6, 0}, true},
                          {{VER_PLATFORM_WIN32_WINDOWS, 4, 90}, false}};
    for (const Case& c : cases) {
        SetSystemVersion(c.version);
        auto probe = Make<ShadowProbe>(nullptr);
        EXPECT_EQ(bool(probe->ClassStyle() & CS_DROPSHADOW), c.shadow) << c.version.major << "." << c.version.minor;
        EXPECT_TRUE(probe->ClassStyle() & CS_SAVEBITS);
    }
}

TEST_F(MessagePanelTest, TheLibraryMakesTheShadowedHintTheProgramsHint) {
    RegisterControlResources();
    EXPECT_EQ(HintWindowClass(), &NewHintWindow<TShadowedHintWindow>);
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 200, 100);
    auto* b = new TCvSpeedButton(form.get());
    b->SetBounds(10, 10, 30, 30);
    b->Hint = "Next record";
    b->SetParent(form.get());
    form->Show();
    Pump();
    InjectMouse(MouseAction::Move, MouseButton::Left, {20, 20});
    Pump();
    clock_.Advance(uint64_t(Application().HintPause));
    Pump();
    THintWindow* hint = Application().HintWindow();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->ClassName(), "TShadowedHintWindow");
    EXPECT_EQ(hint->Caption(), "Next record");
    EXPECT_TRUE(GetClassStyle(hint->WindowHandle()) & CS_DROPSHADOW);
    // The window system casts it: the form shows darker right of and below the hint.
    const TRect r = GetWindowRect(hint->WindowHandle());
    const SurfacePtr screen = CaptureScreen({0, 0, 200, 100});
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF dark = RGB(GetRValue(face) * 5 / 8, GetGValue(face) * 5 / 8, GetBValue(face) * 5 / 8);
    EXPECT_EQ(screen->Pixel(r.right + 1, r.top + 6), dark);
    EXPECT_EQ(screen->Pixel(r.left + 6, r.bottom + 1), dark);
    EXPECT_EQ(screen->Pixel(r.right + 1, r.top + 1), face);
}

}  // namespace
}  // namespace controls
