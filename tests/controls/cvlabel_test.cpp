// The label with shadow: its size, where the shadow falls, the disabled
// look, layouts, transparency, the pointer events, focus and accelerators.
#include "controls/cvlabel.hpp"

#include "controls/cvconst.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class LabelTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterControlResources();
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 300, 160);
        form->SetColor(clWhite);
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }
    TCvLabel* Label(int x, int y, const std::string& caption) {
        auto* l = new TCvLabel(form.get());
        l->SetLeft(x), l->SetTop(y);
        l->SetParent(form.get());
        l->SetCaption(caption);
        return l;
    }
    TSize Text(const std::string& s) {
        DC dc(Surface::Create(1, 1, PixelFormat::Color32));
        dc.S().font = form->Font()->Handle();
        TRect r{0, 0, 1000, 0};
        DrawText(dc, s, r, DT_CALCRECT);
        return {r.Width(), r.Height()};
    }
    COLORREF At(int x, int y) {
        Pump();
        return GetWindowSurface(form->WindowHandle())->Pixel(x, y);
    }
    // Pixels of a colour within a control's bounds.
    std::vector<TPoint> Pixels(TControl* c, COLORREF color) {
        Pump();
        SurfacePtr s = GetWindowSurface(form->WindowHandle());
        std::vector<TPoint> out;
        for (int y = c->Top(); y < c->Top() + c->Height(); ++y)
            for (int x = c->Left(); x < c->Left() + c->Width(); ++x)
                if (s->Pixel(x, y) == color) out.push_back({x, y});
        return out;
    }
    Owned<TForm> form;
};

TEST_F(LabelTest, AutoSizeTakesTheTextAndTheShadowBelowRight) {
    const TSize t = Text("Balance");
    struct Case {
        TShadowPosition pos;
        int size;
        int dw, dh;
    };
    const Case cases[] = {{spLeftTop, 1, 2, 0},
                          {spLeftTop, 0, 2, 0},
                          {spRightBottom, 1, 3, 1},
                          {spRightBottom, 3, 5, 3},
                          {spRightTop, 2, 4, 0}};
    for (const Case& c : cases) {
        auto* l = Label(10, 10, "");
        l->SetShadowPos(c.pos);  // sizes anew with the caption, as the position alone does not
        l->SetShadowSize(uint8_t(c.size));
        l->SetCaption("Balance");
        EXPECT_EQ(l->Width(), t.cx + c.dw) << c.pos << " " << c.size;
        EXPECT_EQ(l->Height(), t.cy + c.dh) << c.pos << " " << c.size;
    }
    for (const char* empty : {"", "&"}) EXPECT_EQ(Label(0, 0, empty)->Height(), t.cy) << empty;
    auto* right = Label(100, 10, "ab");
    right->SetAlignment(taRightJustify);
    const int edge = right->Left() + right->Width();
    right->SetCaption("a much longer caption");
    EXPECT_EQ(right->Left() + right->Width(), edge);
    EXPECT_LT(right->Left(), 100);
}

TEST_F(LabelTest, ShadowFallsAtItsOffsetBehindTheText) {
    auto* l = Label(10, 10, "Shadow");
    l->Font()->SetColor(clBlack);
    l->SetShadowColor(clRed);
    l->SetShadowPos(spRightBottom);
    l->SetShadowSize(2);
    form->Show();
    const auto red = Pixels(l, RGB(255, 0, 0)), black = Pixels(l, 0);
    ASSERT_FALSE(red.empty());
    ASSERT_FALSE(black.empty());
    // Every shadow pixel has a text pixel two up and two to the left.
    for (const TPoint& p : red) EXPECT_EQ(At(p.x - 2, p.y - 2), 0u) << p.x << "," << p.y;
    l->SetShadowPos(spLeftTop);
    for (const TPoint& p : Pixels(l, RGB(255, 0, 0))) EXPECT_EQ(At(p.x + 2, p.y + 2), 0u);
}

TEST_F(LabelTest, DisabledTextIsGreyWithAOnePixelHighlightShadowBelowRight) {
    auto* l = Label(10, 10, "Off");
    l->SetShadowSize(0);
    l->SetEnabled(false);
    form->SetColor(clBtnFace);
    form->Show();
    const auto grey = Pixels(l, GetSysColor(COLOR_GRAYTEXT));
    const auto light = Pixels(l, GetSysColor(COLOR_BTNHIGHLIGHT));
    ASSERT_FALSE(grey.empty());
    ASSERT_FALSE(light.empty());
    for (const TPoint& p : light) EXPECT_EQ(At(p.x - 1, p.y - 1), GetSysColor(COLOR_GRAYTEXT));
    EXPECT_EQ(l->Width(), Text("Off").cx + 2);  // sized for its own shadow of 0
}

TEST_F(LabelTest, LayoutMovesTheTextDownAndTransparencyShowsTheParent) {
    auto* bottom = Label(10, 10, "Low");
    bottom->SetAutoSize(false);
    bottom->SetBounds(10, 10, 80, 60);
    bottom->SetLayout(tlBottom);
    bottom->SetShadowSize(0);
    bottom->Font()->SetColor(clBlack);
    bottom->SetColor(clYellow);
    auto* clear = Label(120, 10, "See through");
    clear->SetTransparent(true);
    clear->SetAutoSize(false);
    clear->SetBounds(120, 10, 120, 60);
    form->Show();
    const auto text = Pixels(bottom, 0);
    ASSERT_FALSE(text.empty());
    const int h = Text("Low").cy;
    for (const TPoint& p : text) EXPECT_GE(p.y, 10 + 60 - h);
    EXPECT_EQ(At(11, 11), ColorToRGB(clYellow));
    EXPECT_EQ(At(236, 60), ColorToRGB(clWhite));  // the form's colour under the clear label
    bottom->SetLayout(tlCenter);
    for (const TPoint& p : Pixels(bottom, 0)) {
        EXPECT_GE(p.y, 10 + (60 - h) / 2);
        EXPECT_LT(p.y, 10 + (60 - h) / 2 + h);
    }
}

TEST_F(LabelTest, PointerEventsComeOnceEachAndNotWhileTheButtonIsHeld) {
    auto* link = Label(20, 20, "Visit us");
    link->SetCursor(crHandCursor);
    int enter = 0, leave = 0, clicks = 0;
    link->OnMouseEnter = [&](TObject*) { ++enter; };
    link->OnMouseLeave = [&](TObject*) { ++leave; };
    link->OnClick = [&](TObject*) { ++clicks; };
    form->Show();
    Pump();
    auto move = [&](MouseAction a, int x, int y) {
        InjectMouse(a, MouseButton::Left, {50 + x, 50 + y});
        Pump();
    };
    move(MouseAction::Move, 25, 25);
    move(MouseAction::Move, 27, 26);
    EXPECT_EQ(GetCursor(), Screen().Cursors(crHandCursor));  // the library's hand over a link
    EXPECT_NE(CursorOf(GetCursor()), nullptr);
    EXPECT_EQ(enter, 1);
    EXPECT_TRUE(link->MouseInside());
    move(MouseAction::Down, 27, 26);
    move(MouseAction::Move, 200, 120);  // dragged off with the button down
    EXPECT_EQ(leave, 0);
    move(MouseAction::Up, 200, 120);  // released outside: the flag follows the pointer
    EXPECT_EQ(leave, 1);
    EXPECT_EQ(clicks, 0);
    move(MouseAction::Move, 25, 25);
    move(MouseAction::Down, 25, 25);
    move(MouseAction::Up, 25, 25);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(enter, 2);
    InjectMouseLeave();
    Pump();
    EXPECT_EQ(leave, 2);
}

TEST_F(LabelTest, AcceleratorFocusesItsControlAndTheFocusRectangleShows) {
    auto* edit = new TEdit(form.get());
    edit->SetBounds(150, 100, 100, 21);
    edit->SetParent(form.get());
    auto* other = new TEdit(form.get());
    other->SetBounds(150, 130, 100, 21);
    other->SetParent(form.get());
    auto* l = Label(20, 100, "&Amount");
    l->SetFocusControl(edit);
    l->SetShowFocus(true);
    form->Show();
    other->SetFocus();
    // The dotted frame's right side runs down the label's last column.
    auto marked = [&] {
        int n = 0;
        for (int y = l->Top(); y < l->Top() + l->Height(); ++y) n += At(l->Left() + l->Width() - 1, y) != 0xFFFFFFu;
        return n;
    };
    EXPECT_EQ(marked(), 0);
    EXPECT_EQ(l->Perform(CM_DIALOGCHAR, 'a'), 1);
    EXPECT_TRUE(edit->Focused());
    EXPECT_TRUE(l->FocusShown());
    EXPECT_GT(marked(), 2);
    EXPECT_EQ(l->Perform(CM_DIALOGCHAR, 'b'), 0);
    edit->SetEnabled(false);
    EXPECT_EQ(l->Perform(CM_DIALOGCHAR, 'a'), 0);  // cannot take the focus: not handled
    Free(edit);
    EXPECT_EQ(l->FocusControl(), nullptr);
}

}  // namespace
}  // namespace controls
