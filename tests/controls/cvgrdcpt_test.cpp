// The gradient caption: the bar's area, its colours at chosen pixels, the
// icon, which texts give way on a narrow bar, activation, the popup menu and
// switching it off.
#include "controls/cvgrdcpt.hpp"

#include "controls/cvconst.hpp"
#include "controls/cvutils.hpp"
#include "framework/ui/sysparams.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

class GradientCaptionTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterControlResources();
    }
    void TearDown() override {
        forms.clear();
        UiTest::TearDown();
    }
    TForm* Form(TFormBorderStyle style, unsigned icons, int w = 300) {
        forms.push_back(Make<TForm>(nullptr));
        TForm* f = forms.back().get();
        f->SetBorderStyle(style);
        f->SetBorderIcons(icons);
        f->SetBounds(30, 30, w, 80);
        return f;
    }
    TCvGradientCaption* Caption(TForm* f, const std::string& title) {
        auto* g = new TCvGradientCaption(f);
        g->SetFormCaption(title);
        return g;
    }
    void Show(TForm* f) {
        f->Show();
        Pump();
    }
    // A pixel of the bar (the caption rectangle's own coordinates).
    COLORREF Bar(TCvGradientCaption* g, int x, int y) {
        Pump();
        const TRect wr = GetWindowRect(g->Form()->WindowHandle());
        const TRect cap = g->CaptionRect();
        return GetWindowSurface(g->Form()->WindowHandle())->Pixel(cap.left - wr.left + x, cap.top - wr.top + y);
    }
    std::vector<std::string> Texts(TCvGradientCaption* g, int room) {
        TBitmap b;
        b.SetSize(1, 1);
        std::vector<std::string> out;
        for (const BarText& t : g->BarTexts(b.Canvas(), 0, room)) out.push_back(t.text);
        return out;
    }
    std::vector<Owned<TForm>> forms;
};

TEST_F(GradientCaptionTest, CaptionRectLeavesTheFrameAndTheButtons) {
    struct Case {
        TFormBorderStyle style;
        unsigned icons;
        int frame_x, frame_y, caption, buttons;
    };
    const int dlg = GetSystemMetrics(SM_CXDLGFRAME), thick = GetSystemMetrics(SM_CXFRAME);
    const int cap = GetSystemMetrics(SM_CYCAPTION), small = GetSystemMetrics(SM_CYSMCAPTION);
    const int size = GetSystemMetrics(SM_CXSIZE), small_size = GetSystemMetrics(SM_CXSMSIZE);
    const Case cases[] = {
        {bsSingle, biSystemMenu | biMinimize | biMaximize, dlg, dlg, cap, 3 * size},
        {bsSizeable, biSystemMenu | biMinimize, thick, thick, cap, 3 * size},  // the other box shows too
        {bsSingle, biSystemMenu | biHelp, dlg, dlg, cap, 2 * size},
        {bsSingle, biMinimize | biMaximize, dlg, dlg, cap, 0},  // no system menu: no boxes
        {bsDialog, biSystemMenu | biMinimize, dlg, dlg, cap, size},
        {bsToolWindow, biSystemMenu | biMaximize, dlg, dlg, small, small_size},
        {bsSizeToolWin, biSystemMenu, thick, thick, small, small_size},
    };
    for (const Case& c : cases) {
        TForm* f = Form(c.style, c.icons);
        auto* g = Caption(f, "x");
        Show(f);
        const TRect wr = GetWindowRect(f->WindowHandle());
        EXPECT_EQ(g->CaptionRect(),
                  (TRect{wr.left + c.frame_x, wr.top + c.frame_y, wr.right - c.frame_x - c.buttons,
                         wr.top + c.frame_y + c.caption - 1}))
            << c.style << " " << c.icons;
    }
}

TEST_F(GradientCaptionTest, ActiveBarRunsFromAFifthOfTheGradientToTheCaptionColour) {
    TForm* f = Form(bsSingle, biSystemMenu | biMinimize | biMaximize);
    auto* g = Caption(f, "");
    g->SetStartColor(clBlack);
    Show(f);
    ASSERT_TRUE(g->WindowActive());
    const TRect cap = g->CaptionRect();
    const int w = cap.Width(), h = cap.Height();
    // The same gradient drawn apart, a quarter of it left of the bar.
    TBitmap expected;
    expected.SetSize(w, h);
    GradientFillRect(expected.Canvas(), {-(w / 4), 0, w, h}, clBlack, clGradientActiveCaption, gdLeftToRight, 64);
    for (int x : {w / 2, w - 1}) EXPECT_EQ(Bar(g, x, h - 1), expected.Handle()->Pixel(x, h - 1)) << x;
    EXPECT_EQ(Bar(g, w - 1, h - 1), GetSysColor(COLOR_GRADIENTACTIVECAPTION));
    EXPECT_NE(Bar(g, 60, h - 1), 0u);  // not black: the start lies outside
    // The icon: the program's at the small size, left in the bar.
    EXPECT_NE(Bar(g, 1 + (h - 16) / 2 + 8, (h - 16) / 2 + 8), expected.Handle()->Pixel(10, (h - 16) / 2 + 8));
    // A new window text repaints the frame through the hook: the bar stays the component's.
    f->SetCaption("The window's own text");
    EXPECT_EQ(Bar(g, w / 2, h - 1), expected.Handle()->Pixel(w / 2, h - 1));
    // Without gradient captions the end colour is the plain caption colour.
    SetGradientCaptions(false);
    g->SetStartColor(clRed);
    EXPECT_EQ(Bar(g, w - 1, h - 1), GetSysColor(COLOR_ACTIVECAPTION));
}

TEST_F(GradientCaptionTest, StepsAboveTwoHundredAndFiftyFiveKeepOnlyTheLowByte) {
    TForm* f = Form(bsDialog, biSystemMenu);  // no icon in a dialog's bar
    auto* g = Caption(f, "");
    g->SetGradientSteps(256 + 2);
    Show(f);
    const int w = g->CaptionRect().Width();
    std::vector<COLORREF> colours;
    for (int x = 0; x < w; ++x)
        if (const COLORREF c = Bar(g, x, 5); colours.empty() || colours.back() != c) colours.push_back(c);
    EXPECT_LE(colours.size(), 3u);  // two bands and a remainder
    g->SetGradientSteps(64);
    colours.clear();
    for (int x = 0; x < w; ++x)
        if (const COLORREF c = Bar(g, x, 5); colours.empty() || colours.back() != c) colours.push_back(c);
    EXPECT_GT(colours.size(), 30u);
}

TEST_F(GradientCaptionTest, InactiveBarIsPlainUnlessAskedAndTheTitleTakesTheInactiveColour) {
    TForm* f = Form(bsSingle, biSystemMenu);
    auto* g = Caption(f, "WWWW");
    g->SetFontInactiveColor(clRed);
    TForm* other = Form(bsSingle, biSystemMenu);
    Show(f);
    Show(other);  // takes the activation
    EXPECT_FALSE(g->WindowActive());
    const int w = g->CaptionRect().Width(), h = g->CaptionRect().Height();
    EXPECT_EQ(Bar(g, w - 1, h - 1), GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
    EXPECT_EQ(Bar(g, w / 2, h - 1), GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
    bool red = false;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) red = red || Bar(g, x, y) == RGB(255, 0, 0);
    EXPECT_TRUE(red);
    g->SetGradientInactive(true);
    EXPECT_NE(Bar(g, w / 2, h - 1), GetSysColor(COLOR_GRADIENTINACTIVECAPTION));
    SetActiveWindow(f->WindowHandle());
    EXPECT_TRUE(g->WindowActive());
}

TEST_F(GradientCaptionTest, NarrowBarsDropPiecesFromTheLeftOrTextsFromTheRight) {
    TForm* f = Form(bsSingle, biSystemMenu);
    auto* g = Caption(f, "Title");
    for (auto [text, glue] :
         std::vector<std::pair<std::string, bool>>{{"Aaaa ", true}, {"Bbbb ", false}, {"Cccc ", false}}) {
        TCvCaption* c = g->Captions()->AddCaption();
        c->SetCaption(text);
        c->SetGlueNext(glue);
    }
    TBitmap b;
    b.SetSize(1, 1);
    b.Canvas()->Font()->Assign(g->Font());
    auto width = [&](const std::string& s) { return b.Canvas()->TextWidth(s); };
    const int all = 2 + width("Aaaa ") + width("Bbbb ") + width("Cccc ") + width("Title");
    EXPECT_EQ(Texts(g, all), (std::vector<std::string>{"Aaaa ", "Bbbb ", "Cccc ", "Title"}));
    // One pixel short: the glued pair goes first, together.
    EXPECT_EQ(Texts(g, all - 1), (std::vector<std::string>{"Cccc ", "Title"}));
    g->Captions()->Item(2)->SetVisible(false);
    EXPECT_EQ(Texts(g, all - 1), (std::vector<std::string>{"Aaaa ", "Bbbb ", "Title"}));
    g->Captions()->Item(2)->SetVisible(true);
    // Right to left: what fits from the left, the last one cut, and no title after a cut.
    g->SetHideDirection(hdRightToLeft);
    EXPECT_EQ(Texts(g, all), (std::vector<std::string>{"Aaaa ", "Bbbb ", "Cccc ", "Title"}));
    const int two = 2 + width("Aaaa ") + width("Bbbb ");
    const std::vector<std::string> cut = Texts(g, two + width("Cccc"));
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[2].substr(cut[2].size() - 3), "...");
    // Cut down to "..." alone, a piece that begins no group is left out.
    EXPECT_EQ(Texts(g, two + width("...")), (std::vector<std::string>{"Aaaa ", "Bbbb "}));
    // A title alone, too wide: cut with "..." at its right end.
    TForm* lone = Form(bsSingle, biSystemMenu);
    auto* t = Caption(lone, "A title far too long for its bar");
    const std::vector<std::string> one = Texts(t, 2 + width("A title far"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].substr(one[0].size() - 3), "...");
    EXPECT_LE(width(one[0]), width("A title far"));
}

TEST_F(GradientCaptionTest, PiecesFollowTheComponentsFontUntilGivenTheirOwn) {
    TForm* f = Form(bsSingle, biSystemMenu);
    auto* g = Caption(f, "");
    EXPECT_TRUE(g->DefaultFont());
    TCvCaption* piece = g->Captions()->AddCaption();
    TCvCaption* own = g->Captions()->AddCaption();
    own->Font()->SetColor(clLime);
    EXPECT_FALSE(own->ParentFont());
    g->Font()->SetHeight(-20);
    EXPECT_FALSE(g->DefaultFont());
    EXPECT_EQ(piece->Font()->Height(), -20);
    EXPECT_NE(own->Font()->Height(), -20);
    TCvCaption* copy = g->Captions()->AddCaption();
    copy->Assign(own);
    EXPECT_FALSE(copy->ParentFont());
    EXPECT_EQ(copy->Font()->Color(), clLime);
    g->SetDefaultFont(true);
    NonClientMetrics m;
    GetNonClientMetrics(m);
    EXPECT_EQ(g->Font()->Height(), m.caption_font.height);
    SetNonClientMetricsAvailable(false);
    g->SetDefaultFont(false);
    g->SetDefaultFont(true);
    EXPECT_EQ(g->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(g->Font()->Size(), 8);
}

TEST_F(GradientCaptionTest, NothingForFormsWithoutABarOrWhenSwitchedOff) {
    TForm* none = Form(bsNone, 0);
    auto* g = Caption(none, "Hidden");
    Show(none);
    SurfacePtr s = GetWindowSurface(none->WindowHandle());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(s->Pixel(5, 5), face);
    g->PaintCaption();
    EXPECT_EQ(s->Pixel(5, 5), face);

    TForm* f = Form(bsSingle, biSystemMenu);
    auto* off = Caption(f, "");
    off->SetStartColor(clBlack);
    Show(f);
    EXPECT_NE(TopSubclass(f->WindowHandle()), 0u);
    int deactivated = 0;
    off->OnDeactivate = [&](TObject*) { ++deactivated; };
    off->SetActive(false);
    EXPECT_EQ(deactivated, 1);
    EXPECT_EQ(TopSubclass(f->WindowHandle()), 0u);  // the hook let go
    // The default bar again: the plain caption colour at its left end.
    const CaptionLayout l = GetCaptionLayout(f->WindowHandle());
    Pump();
    EXPECT_EQ(GetWindowSurface(f->WindowHandle())->Pixel(l.bar.left, l.bar.bottom - 1),
              GetSysColor(COLOR_ACTIVECAPTION));
    // An older system has no such bars at all.
    off->SetActive(true);
    SetSystemVersion({VER_PLATFORM_WIN32_WINDOWS, 3, 95});
    EXPECT_FALSE(off->Active());
}

TEST_F(GradientCaptionTest, RightClickOnTheBarPopsUpTheMenuThere) {
    TForm* f = Form(bsSingle, biSystemMenu);
    auto* g = Caption(f, "Menu");
    auto* menu = new TPopupMenu(f);
    int popups = 0;
    menu->OnPopup = [&](TObject*) { ++popups; };
    g->SetPopupMenu(menu);
    Show(f);
    const TRect cap = g->CaptionRect();
    const TPoint at{cap.left + 40, cap.top + 5};
    InjectMouse(MouseAction::Down, MouseButton::Right, at);
    InjectMouse(MouseAction::Up, MouseButton::Right, at);
    Pump();
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menu->PopupPoint(), at);
    EXPECT_EQ(menu->PopupComponent(), g);
    Free(menu);
    EXPECT_EQ(g->PopupMenu(), nullptr);
}

TEST_F(GradientCaptionTest, TheTitleBarsButtonsWorkBesideTheBar) {
    struct Case {
        LRESULT hit;
        bool shown, zoomed;
    };
    for (const Case& c : {Case{HTCLOSE, false, false}, Case{HTMAXBUTTON, true, true}}) {
        TForm* f = Form(bsSizeable, biSystemMenu | biMinimize | biMaximize);
        auto* g = Caption(f, "");
        g->SetStartColor(clBlack);
        Show(f);
        const HWND h = f->WindowHandle();
        const COLORREF middle = Bar(g, g->CaptionRect().Width() / 2, 3);
        CaptionButton button;
        for (const CaptionButton& b : GetCaptionLayout(h).buttons)
            if (b.hit == c.hit) button = b;
        const TRect wr = GetWindowRect(h);
        const TPoint at{wr.left + (button.rect.left + button.rect.right) / 2,
                        wr.top + (button.rect.top + button.rect.bottom) / 2};
        InjectMouse(MouseAction::Move, MouseButton::Left, at);
        InjectMouse(MouseAction::Down, MouseButton::Left, at);
        Pump();
        // Held: sunken, and the component's bar as it was.
        EXPECT_EQ(GetWindowSurface(h)->Pixel(button.rect.left, button.rect.top), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(Bar(g, g->CaptionRect().Width() / 2, 3), middle);
        InjectMouse(MouseAction::Up, MouseButton::Left, at);
        Pump();
        EXPECT_EQ(f->Visible(), c.shown) << c.hit;
        EXPECT_EQ(IsZoomed(h), c.zoomed) << c.hit;
        if (c.zoomed) {
            // The wider bar is the component's: it ends in the caption colour left of the buttons.
            const TRect cap = g->CaptionRect();
            EXPECT_EQ(Bar(g, cap.Width() - 1, cap.Height() - 1), GetSysColor(COLOR_GRADIENTACTIVECAPTION));
            EXPECT_NE(Bar(g, cap.Width() / 2, 3), middle);
        }
    }
}

}  // namespace
}  // namespace controls
