#include "framework/ui/controls.hpp"

#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class ControlsTest : public testing_ui::UiTest {};

// Raw changes through the handle last until the font or brush changes again.
TEST_F(ControlsTest, CanvasRealisesFontAndBrushOnlyWhenTheyChange) {
    TBitmap b;
    b.SetSize(4, 4);
    TCanvas* c = b.Canvas();
    c->Brush()->SetColor(clRed);
    DC* dc = c->Handle();
    EXPECT_EQ(dc->S().bk_color, ColorToRGB(clRed));
    EXPECT_EQ(dc->S().bk_mode, OPAQUE);
    SetBkColor(*dc, 0x123456);
    c->Handle();
    EXPECT_EQ(dc->S().bk_color, 0x123456u);  // kept: the brush did not change
    c->Brush()->SetStyle(bsClear);
    c->Handle();
    EXPECT_EQ(dc->S().bk_mode, TRANSPARENT);
    c->Font()->SetColor(clBlue);
    SetTextColor(*dc, 0);
    EXPECT_EQ(c->Handle()->S().text_color, ColorToRGB(clBlue));  // the changed font is realised over it
    SetTextColor(*dc, 0);
    EXPECT_EQ(c->Handle()->S().text_color, 0u);
}

TEST_F(ControlsTest, ParentColourAndFontFollowTheParent) {
    auto f = Make<TForm>(nullptr);
    auto* p = new TPanel(f.get());
    p->SetParentColor(true);
    p->SetParent(f.get());
    f->SetColor(clYellow);
    EXPECT_EQ(p->Color(), clYellow);
    f->Font()->SetName("Tahoma");
    EXPECT_EQ(p->Font()->Name(), "Tahoma");
    p->Font()->SetHeight(-20);  // an own font: no longer the parent's
    EXPECT_FALSE(p->ParentFont());
    f->Font()->SetName("Arial");
    EXPECT_EQ(p->Font()->Name(), "Tahoma");
    p->SetColor(clRed);
    EXPECT_FALSE(p->ParentColor());
    f->SetColor(clBlue);
    EXPECT_EQ(p->Color(), clRed);
}

TEST_F(ControlsTest, HandlesComeOnDemandAndFollowTheParent) {
    auto f = Make<TForm>(nullptr);
    auto* outer = new TPanel(f.get());
    auto* inner = new TPanel(f.get());
    outer->SetParent(f.get());
    inner->SetParent(outer);
    EXPECT_FALSE(f->HandleAllocated());
    EXPECT_FALSE(inner->HandleAllocated());
    f->Show();
    ASSERT_TRUE(inner->HandleAllocated());
    EXPECT_EQ(GetParent(inner->WindowHandle()), outer->WindowHandle());
    EXPECT_EQ(GetClassName(inner->WindowHandle()), "TPanel");
    // Recreating the form recreates the children under the new window.
    const HWND old = inner->WindowHandle();
    f->RecreateWnd();
    EXPECT_FALSE(IsWindow(old));
    EXPECT_TRUE(inner->HandleAllocated());
    EXPECT_EQ(GetAncestorRoot(inner->WindowHandle()), f->WindowHandle());
    // A freed parent lets go of its children without freeing them.
    Free(outer);
    EXPECT_EQ(inner->Parent(), nullptr);
    EXPECT_FALSE(inner->HandleAllocated());
    inner->SetParent(f.get());
    EXPECT_TRUE(inner->HandleAllocated());
}

TEST_F(ControlsTest, ReplacingWindowProcHooksTheControl) {
    auto f = Make<TForm>(nullptr);
    auto* p = new TPanel(f.get());
    p->SetParent(f.get());
    int seen = 0;
    auto original = p->WindowProc;
    p->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_APP) ++seen;
        original(m);
    };
    f->Show();
    SendMessage(p->Handle(), WM_APP);
    p->Perform(WM_APP);
    EXPECT_EQ(seen, 2);
}

TEST_F(ControlsTest, AlignmentOrder) {
    auto f = Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 100, 80);
    auto add = [&](TAlign a, int w, int h) {
        auto* p = new TPanel(f.get());
        p->SetBounds(0, 0, w, h);
        p->SetParent(f.get());
        p->SetAlign(a);
        return p;
    };
    auto* client = add(alClient, 1, 1);
    auto* top = add(alTop, 1, 10);
    auto* left = add(alLeft, 20, 1);
    auto* bottom = add(alBottom, 1, 5);
    EXPECT_EQ(top->BoundsRect(), (TRect{0, 0, 100, 10}));
    EXPECT_EQ(bottom->BoundsRect(), (TRect{0, 75, 100, 80}));
    EXPECT_EQ(left->BoundsRect(), (TRect{0, 10, 20, 75}));
    EXPECT_EQ(client->BoundsRect(), (TRect{20, 10, 100, 75}));
    top->Hide();
    EXPECT_EQ(client->BoundsRect(), (TRect{20, 0, 100, 75}));
}

TEST_F(ControlsTest, TimerFiresOnlyWhenEnabledWithAHandler) {
    auto owner = Make<TComponent>(nullptr);
    auto* t = new TTimer(owner.get());
    int ticks = 0;
    t->SetInterval(100);
    clock_.Advance(1000);
    Pump();
    EXPECT_EQ(ticks, 0);  // no handler: no timer
    t->SetOnTimer([&](TObject*) { ++ticks; });
    clock_.Advance(100);
    Pump();
    EXPECT_EQ(ticks, 1);
    t->SetEnabled(false);
    clock_.Advance(500);
    Pump();
    EXPECT_EQ(ticks, 1);
    t->SetEnabled(true);
    t->SetInterval(0);
    clock_.Advance(500);
    Pump();
    EXPECT_EQ(ticks, 1);
    t->SetInterval(50);
    Free(t);  // its window goes with it
    clock_.Advance(500);
    Pump();
    EXPECT_EQ(ticks, 1);
}

TEST_F(ControlsTest, HiddenWindowsGetNoPaintUntilShown) {
    auto f = Make<TForm>(nullptr);
    int paints = 0;
    f->OnPaint = [&](TObject*) { ++paints; };
    f->HandleNeeded();
    f->Invalidate();
    Pump();
    EXPECT_EQ(paints, 0);
    f->Show();
    Pump();
    EXPECT_EQ(paints, 1);
    f->Invalidate();
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, WM_PAINT, WM_PAINT, PM_REMOVE));  // taking it does not validate
    ASSERT_TRUE(PeekMessage(m, 0, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    f->Update();
    EXPECT_EQ(paints, 2);
    EXPECT_FALSE(PeekMessage(m, 0, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(ControlsTest, PanelBevelsAndBorder) {
    auto f = Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 40, 30);
    auto* p = new TPanel(f.get());
    p->SetParent(f.get());
    p->SetBounds(0, 0, 40, 30);
    p->SetBevelWidth(2);
    p->SetColor(clAqua);
    f->Show();
    Pump();
    auto s = GetWindowSurface(f->WindowHandle());
    EXPECT_EQ(s->Pixel(1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(s->Pixel(38, 28), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(s->Pixel(2, 2), ColorToRGB(clAqua));
    p->SetBevelOuter(bvLowered);
    p->Repaint();
    EXPECT_EQ(s->Pixel(1, 1), GetSysColor(COLOR_BTNSHADOW));
    p->SetBorderStyle(bsSingle);
    EXPECT_EQ(p->ClientWidth(), 36);  // the sunken client edge takes two pixels a side
}

TEST_F(ControlsTest, CaretState) {
    auto f = Make<TForm>(nullptr);
    const HWND h = f->Handle();
    EXPECT_FALSE(SetCaretPos(1, 1));  // no caret yet
    ASSERT_TRUE(CreateCaret(h, 2, 12));
    EXPECT_TRUE(SetCaretPos(5, 6));
    EXPECT_EQ(GetCaretPos(), (TPoint{5, 6}));
    EXPECT_TRUE(ShowCaret(h));
    EXPECT_EQ(GetCaretState().hide_count, 0);
    EXPECT_FALSE(ShowCaret(h));  // shown already
    EXPECT_TRUE(HideCaret(h));
    EXPECT_EQ(GetCaretState().rect, Bounds(5, 6, 2, 12));
    DestroyWindow(h);
    EXPECT_EQ(GetCaretState().hwnd, 0u);
}

TEST_F(ControlsTest, FontsMapToTheSameFaceEverywhere) {
    DC dc(Surface::Create(10, 10, PixelFormat::Color32));
    auto width = [&](const std::string& face, int height, bool bold = false) {
        dc.S().font = CreateFont(LogFont{face, height, bold});
        return GetTextExtent(dc, "Balance 1234.56").cx;
    };
    EXPECT_EQ(width("Tahoma", -11), width("DejaVu Sans", -11));
    EXPECT_EQ(width("MS Sans Serif", -11), width("DejaVu Sans", -11));
    EXPECT_EQ(width("No Such Face At All", -11), width("DejaVu Sans", -11));
    EXPECT_GT(width("Tahoma", -11, true), width("Tahoma", -11));
    EXPECT_GT(width("Tahoma", -16), width("Tahoma", -11));
    dc.S().font = CreateFont(LogFont{"Tahoma", 20});
    EXPECT_NEAR(FontMetrics(dc.S().font).height, 20, 1);  // a positive height is the cell
    TFont f;
    f.SetSize(8);
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
}

}  // namespace
}  // namespace ui
