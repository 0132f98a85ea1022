#include <chrono>

#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class FormsTest : public testing_ui::UiTest {};

TEST_F(FormsTest, ClientAreaFollowsTheBorderStyle) {
    struct Case {
        TFormBorderStyle style;
        int dx, dy;  // width and height taken by the frame
    };
    const int cap = GetSystemMetrics(SM_CYCAPTION), dlg = GetSystemMetrics(SM_CXDLGFRAME),
              frame = GetSystemMetrics(SM_CXFRAME);
    const Case cases[] = {{bsNone, 0, 0},
                          {bsDialog, 2 * dlg, 2 * dlg + cap},
                          {bsSizeable, 2 * frame, 2 * frame + cap},
                          {bsSingle, 2 * dlg, 2 * dlg + cap}};
    for (const Case& c : cases) {
        auto f = Make<TForm>(nullptr);
        f->SetBorderStyle(c.style);
        f->SetBounds(10, 10, 200, 100);
        f->Show();
        EXPECT_EQ(f->ClientWidth(), 200 - c.dx) << c.style;
        EXPECT_EQ(f->ClientHeight(), 100 - c.dy) << c.style;
    }
}

TEST_F(FormsTest, AlignedPanelFillsTheClientAndPaintsItsColour) {
    auto f = Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 60, 40);
    auto* p = new TPanel(f.get());
    p->SetParent(f.get());
    p->SetAlign(alClient);
    p->SetBevelOuter(bvNone);
    p->SetColor(clRed);
    f->Show();
    EXPECT_EQ(p->BoundsRect(), (TRect{0, 0, 60, 40}));
    Pump();
    auto s = GetWindowSurface(f->WindowHandle());
    EXPECT_EQ(s->Pixel(30, 20), ColorToRGB(clRed));
    f->SetBounds(0, 0, 80, 50);
    EXPECT_EQ(p->BoundsRect(), (TRect{0, 0, 80, 50}));
}

TEST_F(FormsTest, ModalLoopEndsOnTimerAndFailsFastWhenNothingCanEndIt) {
    auto f = Make<TForm>(nullptr);
    auto* t = new TTimer(f.get());
    t->SetInterval(200);
    t->SetOnTimer([&](TObject*) { f->SetModalResult(mrOk); });
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_FALSE(f->Visible());
    t->SetEnabled(false);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(f->ShowModal(), mrAbort);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}

TEST_F(FormsTest, ModalLoopDisablesOtherFormsAndAnIdleHandlerCanDriveIt) {
    auto main = Make<TForm>(nullptr);
    main->Show();
    auto dialog = Make<TForm>(nullptr);
    bool main_enabled_meanwhile = true;
    int idles = 0;
    Application().OnIdle = [&](bool& done) {
        main_enabled_meanwhile = IsWindowEnabled(main->WindowHandle());
        if (++idles == 3) dialog->SetModalResult(mrCancel);
        done = false;  // call again rather than wait
    };
    EXPECT_EQ(dialog->ShowModal(), mrCancel);
    Application().OnIdle = nullptr;
    EXPECT_FALSE(main_enabled_meanwhile);
    EXPECT_TRUE(IsWindowEnabled(main->WindowHandle()));
}

TEST_F(FormsTest, ActiveFormFollowsActivation) {
    auto a = Make<TForm>(nullptr);
    auto b = Make<TForm>(nullptr);
    a->Show();
    EXPECT_EQ(Screen().ActiveForm(), a.get());
    b->Show();
    EXPECT_EQ(Screen().ActiveForm(), b.get());
    b.reset();
    EXPECT_EQ(Screen().ActiveForm(), a.get());
    EXPECT_TRUE(ApplicationWindowActive());
}

TEST_F(FormsTest, ExceptionsInHandlersReachTheApplication) {
    auto f = Make<TForm>(nullptr);
    f->Show();
    f->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) { throw EInvalidOperation("boom"); };
    f->OnMouseUp = [](TObject*, TMouseButton, TShiftState, int, int) { throw EAbort(); };
    const TPoint p = f->ClientToScreen({5, 5});
    InjectMouse(MouseAction::Down, MouseButton::Left, p);
    InjectMouse(MouseAction::Up, MouseButton::Left, p);
    Pump();
    ASSERT_EQ(box_.shown.size(), 1u);  // the silent abort shows nothing
    EXPECT_EQ(box_.shown[0].text, "boom");
}

TEST_F(FormsTest, GraphicControlsGetTheirMouseAndPaint) {
    struct Box : TGraphicControl {
        using TGraphicControl::TGraphicControl;
        void Paint() override {
            Canvas()->Brush()->SetColor(clBlue);
            Canvas()->FillRect(ClientRect());
        }
    };
    auto f = Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 50, 50);
    auto* box = new Box(f.get());
    box->SetBounds(10, 10, 5, 5);
    box->SetParent(f.get());
    int clicks = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    f->Show();
    Pump();
    auto s = GetWindowSurface(f->WindowHandle());
    EXPECT_EQ(s->Pixel(12, 12), ColorToRGB(clBlue));
    EXPECT_EQ(s->Pixel(16, 12), ColorToRGB(clBtnFace));
    InjectMouse(MouseAction::Down, MouseButton::Left, f->ClientToScreen({11, 11}));
    InjectMouse(MouseAction::Up, MouseButton::Left, f->ClientToScreen({12, 12}));
    Pump();
    EXPECT_EQ(clicks, 1);
    InjectMouse(MouseAction::Down, MouseButton::Left, f->ClientToScreen({11, 11}));
    InjectMouse(MouseAction::Up, MouseButton::Left, f->ClientToScreen({40, 40}));  // released outside
    Pump();
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace ui
