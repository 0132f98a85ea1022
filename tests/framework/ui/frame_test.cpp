// The default frame and title bar: the bar's colours, its buttons and icon,
// painting limited to a region, and the system parameters behind them.
#include "framework/ui/forms.hpp"
#include "framework/ui/sysparams.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class FrameTest : public testing_ui::UiTest {
protected:
    Owned<TForm> Shown(TFormBorderStyle style, unsigned icons, int w = 240, int h = 120) {
        auto f = Make<TForm>(nullptr);
        f->SetBorderStyle(style);
        f->SetBorderIcons(icons);
        f->SetBounds(20, 20, w, h);
        f->Show();
        Pump();
        return f;
    }
    COLORREF At(TForm* f, TPoint p) { return GetWindowSurface(f->WindowHandle())->Pixel(p.x, p.y); }
};

TEST_F(FrameTest, ButtonsFollowTheBorderIconsAndStyle) {
    struct Case {
        TFormBorderStyle style;
        unsigned icons;
        std::vector<LRESULT> hits;  // from the right
        std::vector<bool> enabled;
    };
    const Case cases[] = {
        {bsSizeable, biSystemMenu | biMinimize | biMaximize, {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}, {true, true, true}},
        {bsSingle, biSystemMenu | biMinimize, {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}, {true, false, true}},
        {bsSingle, biSystemMenu | biHelp, {HTCLOSE, HTHELP}, {true, true}},
        {bsDialog, biSystemMenu | biMinimize | biHelp, {HTCLOSE, HTHELP}, {true, true}},
        {bsToolWindow, biSystemMenu | biMaximize, {HTCLOSE}, {true}},
        {bsSingle, biMinimize | biMaximize, {}, {}},  // no system menu: no buttons at all
    };
    for (const Case& c : cases) {
        auto f = Shown(c.style, c.icons);
        const CaptionLayout l = GetCaptionLayout(f->WindowHandle());
        ASSERT_EQ(l.buttons.size(), c.hits.size()) << c.style << " " << c.icons;
        for (size_t i = 0; i < c.hits.size(); ++i) {
            EXPECT_EQ(l.buttons[i].hit, c.hits[i]);
            EXPECT_EQ(l.buttons[i].enabled, c.enabled[i]);
            const TRect wr = GetWindowRect(f->WindowHandle());
            const TRect& b = l.buttons[i].rect;
            const TPoint middle{wr.left + (b.left + b.right) / 2, wr.top + (b.top + b.bottom) / 2};
            EXPECT_EQ(SendMessage(f->WindowHandle(), WM_NCHITTEST, 0, MAKELPARAM(middle.x, middle.y)), c.hits[i]);
        }
    }
}

TEST_F(FrameTest, CloseButtonSitsTwoPixelsInsideTheBarsTopRight) {
    auto f = Shown(bsSingle, biSystemMenu | biMinimize | biMaximize);
    const CaptionLayout l = GetCaptionLayout(f->WindowHandle());
    const int frame = GetSystemMetrics(SM_CXDLGFRAME);
    EXPECT_EQ(l.bar, (TRect{frame, frame, 240 - frame, frame + GetSystemMetrics(SM_CYCAPTION) - 1}));
    const TRect close = l.buttons[0].rect;
    EXPECT_EQ(close,
              (TRect{l.bar.right - 2 - (GetSystemMetrics(SM_CXSIZE) - 2), l.bar.top + 2, l.bar.right - 2,
                     l.bar.top + 2 + GetSystemMetrics(SM_CYSIZE) - 4}));
    // Maximise leaves a gap of two pixels; minimise touches maximise.
    EXPECT_EQ(l.buttons[1].rect.right, close.left - 2);
    EXPECT_EQ(l.buttons[2].rect.right, l.buttons[1].rect.left);
    // Painted: the raised edge's light top-left, the face, the cross in button text.
    EXPECT_EQ(At(f.get(), {close.left, close.top}), GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(At(f.get(), {close.right - 1, close.bottom - 1}), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(At(f.get(), {close.left + 2, close.top + 2}), GetSysColor(COLOR_BTNFACE));
    const int cx = (close.left + close.right) / 2, cy = (close.top + close.bottom) / 2;
    EXPECT_EQ(At(f.get(), {cx, cy}), GetSysColor(COLOR_BTNTEXT));
    // The disabled look of a missing maximise box is embossed: no text colour in it.
    auto g = Shown(bsSingle, biSystemMenu | biMinimize);
    const TRect max = GetCaptionLayout(g->WindowHandle()).buttons[1].rect;
    EXPECT_EQ(At(g.get(), {(max.left + max.right) / 2 - 4, max.top + 3}), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(FrameTest, BarBlendsToTheGradientColourAndFollowsActivation) {
    auto f = Shown(bsSizeable, biSystemMenu);
    const CaptionLayout l = GetCaptionLayout(f->WindowHandle());
    const int y = l.bar.bottom - 1;
    EXPECT_EQ(At(f.get(), {l.bar.left, y}), GetSysColor(COLOR_ACTIVECAPTION));
    // The last column is under the close button; the column before it is the blend near its end.
    auto g = Shown(bsSizeable, 0);
    const CaptionLayout m = GetCaptionLayout(g->WindowHandle());
    EXPECT_EQ(At(g.get(), {m.bar.right - 1, y}), GetSysColor(COLOR_GRADIENTACTIVECAPTION));
    EXPECT_EQ(At(f.get(), {l.bar.left, y}), GetSysColor(COLOR_INACTIVECAPTION));     // g took the activation
    EXPECT_EQ(At(g.get(), {m.bar.left, l.bar.bottom}), GetSysColor(COLOR_BTNFACE));  // the row below the bar
    SetGradientCaptions(false);
    InvalidateNonClient(g->WindowHandle());
    Pump();
    EXPECT_EQ(At(g.get(), {m.bar.right - 1, y}), GetSysColor(COLOR_ACTIVECAPTION));
}

TEST_F(FrameTest, RegionLimitsThePainting) {
    auto f = Shown(bsSingle, 0);
    const HWND h = f->WindowHandle();
    const CaptionLayout l = GetCaptionLayout(h);
    SurfacePtr s = GetWindowSurface(h);
    s->Fill(RGB(1, 2, 3));
    const TRect wr = GetWindowRect(h);
    Region only(Bounds(wr.left, wr.top, 10, wr.Height()));  // the left ten columns
    SendMessage(h, WM_NCPAINT, WPARAM(&only), 0);
    EXPECT_EQ(s->Pixel(l.bar.left, l.bar.top + 5), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(s->Pixel(l.bar.left + 40, l.bar.top + 5), RGB(1, 2, 3));
    SendMessage(h, WM_NCPAINT, kWholeFrame, 0);
    EXPECT_NE(s->Pixel(l.bar.left + 40, l.bar.top + 5), RGB(1, 2, 3));
}

TEST_F(FrameTest, IconOfTheFormShowsLeftInTheBar) {
    auto f = Make<TForm>(nullptr);
    auto image = Surface::Create(16, 16, PixelFormat::Color32);
    image->Fill(RGB(200, 0, 0));
    auto mask = Surface::Create(16, 16, PixelFormat::Mono);  // all black: opaque
    f->Icon()->SetImage(image, mask);
    f->SetBounds(0, 0, 200, 80);
    f->Show();
    Pump();
    const CaptionLayout l = GetCaptionLayout(f->WindowHandle());
    EXPECT_EQ(l.icon, Bounds(l.bar.left + 2, l.bar.top + 1, 16, 16));
    EXPECT_EQ(At(f.get(), {l.icon.left + 8, l.icon.top + 8}), RGB(200, 0, 0));
    EXPECT_EQ(SendMessage(f->WindowHandle(), WM_NCHITTEST, 0,
                          MAKELPARAM(GetWindowRect(f->WindowHandle()).left + l.icon.left + 1,
                                     GetWindowRect(f->WindowHandle()).top + l.icon.top + 1)),
              HTSYSMENU);
}

TEST_F(FrameTest, ParametersComeBackAfterAReset) {
    SetGradientCaptions(false);
    SetNonClientMetricsAvailable(false);
    SetSystemVersion({VER_PLATFORM_WIN32_WINDOWS, 4, 10});
    SetNewStyleControls(false);
    NonClientMetrics m;
    m.caption_font.name = "unchanged";
    EXPECT_FALSE(GetNonClientMetrics(m));
    EXPECT_EQ(m.caption_font.name, "unchanged");
    UiReset();
    EXPECT_TRUE(GradientCaptions());
    EXPECT_TRUE(GetNonClientMetrics(m));
    EXPECT_EQ(m.caption_font, (LogFont{"Tahoma", -11, true}));
    EXPECT_EQ(GetSystemVersion().major, 5);
    EXPECT_TRUE(NewStyleControls());
}

}  // namespace
}  // namespace ui
