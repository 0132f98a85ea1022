// Drop shadows: a window of a class with CS_DROPSHADOW darkens a band below
// and right of it on what lies beneath, in the picture of the screen and in
// what is presented of the windows below, never in their own pixels.
#include <map>

#include "framework/ui/forms.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

COLORREF Dark(COLORREF c) { return RGB(GetRValue(c) * 5 / 8, GetGValue(c) * 5 / 8, GetBValue(c) * 5 / 8); }

// A display that keeps what it was shown of each window, as a screen does.
struct PixelDisplay : testing_ui::RecordingDisplay {
    std::map<HWND, SurfacePtr> shown;
    void Present(HWND h, const Surface& pixels, const Region& damaged) override {
        SurfacePtr& s = shown[h];
        if (!s || s->Width() != pixels.Width() || s->Height() != pixels.Height())
            s = Surface::Create(pixels.Width(), pixels.Height(), PixelFormat::Color32);
        for (const TRect& r : damaged.Rects())
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) s->SetPixel(x, y, pixels.Pixel(x, y));
    }
};

class ShadowTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterWindowClass({"Shadowed", nullptr, CS_DROPSHADOW, clInfoBk});
        RegisterWindowClass({"Plain", nullptr, 0, clInfoBk});
        form_ = Make<TForm>(nullptr);
        form_->SetBorderStyle(bsNone);
        form_->SetColor(clWhite);
        form_->SetBounds(20, 20, 300, 200);
        form_->Show();
        Pump();
    }
    void TearDown() override {
        if (popup_) DestroyWindow(popup_);
        form_.reset();
        InstallDisplay(nullptr);
        UiTest::TearDown();
    }
    HWND Popup(const char* cls, TRect r) {
        CreateParams p;
        p.class_name = cls;
        p.style = WS_POPUP;
        p.ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
        p.rect = r;
        popup_ = CreateWindow(p);
        ShowWindow(popup_, SW_SHOWNA);
        Pump();
        return popup_;
    }
    Owned<TForm> form_;
    HWND popup_ = 0;
    PixelDisplay display_;
};

TEST_F(ShadowTest, TheScreenShowsTheBandBelowAndRightOfTheWindow) {
    const COLORREF white = RGB(255, 255, 255), info = ColorToRGB(clInfoBk), desk = GetSysColor(COLOR_BACKGROUND);
    struct Probe {
        TPoint at;  // screen
        COLORREF shadowed, plain;
    };
    // The popup covers (100, 100)-(160, 130) on the form (20, 20)-(320, 220).
    const Probe probes[] = {
        {{130, 115}, info, info},          // the window itself
        {{161, 110}, Dark(white), white},  // right of it
        {{163, 133}, Dark(white), white},  // the corner below right
        {{120, 131}, Dark(white), white},  // below it
        {{161, 101}, white, white},        // the band starts four pixels down...
        {{101, 131}, white, white},        // ...and four pixels right
        {{164, 110}, white, white},        // four pixels deep
        {{150, 60}, white, white},         // elsewhere on the form
    };
    for (const char* cls : {"Shadowed", "Plain"}) {
        Popup(cls, {100, 100, 160, 130});
        const SurfacePtr screen = CaptureScreen({0, 0, 400, 300});
        for (const Probe& p : probes)
            EXPECT_EQ(screen->Pixel(p.at.x, p.at.y), std::string(cls) == "Shadowed" ? p.shadowed : p.plain)
                << cls << " " << p.at.x << "," << p.at.y;
        EXPECT_EQ(screen->Pixel(5, 5), desk) << cls;
        // The form's own pixels never hold the shadow.
        EXPECT_EQ(GetWindowSurface(form_->Handle())->Pixel(141, 90), white) << cls;
        DestroyWindow(std::exchange(popup_, 0));
    }
}

TEST_F(ShadowTest, TheBandIsTheShownWindowsOnly) {
    const HWND h = Popup("Shadowed", {300, 200, 340, 220});
    Region band(TRect{304, 204, 344, 224});
    band.Subtract(TRect{300, 200, 340, 220});
    EXPECT_EQ(GetDropShadowRegion(h), band);
    // Over the desktop where the form ends the shadow darkens the desktop.
    EXPECT_EQ(CaptureScreen({0, 0, 400, 300})->Pixel(342, 210), Dark(GetSysColor(COLOR_BACKGROUND)));
    ShowWindow(h, SW_HIDE);
    EXPECT_TRUE(GetDropShadowRegion(h).Empty());
    EXPECT_TRUE(GetDropShadowRegion(form_->Handle()).Empty());  // its class asks for none
}

TEST_F(ShadowTest, WhatIsPresentedBelowFollowsTheShadow) {
    PixelDisplay& display = display_;
    InstallDisplay(&display);
    Pump();
    const HWND form = form_->Handle();
    auto shown = [&](int x, int y) { return display.shown[form]->Pixel(x - 20, y - 20); };
    const COLORREF white = RGB(255, 255, 255);
    struct Step {
        const char* what;
        TRect popup;  // empty: hidden
        TPoint dark, light;
    };
    const Step steps[] = {
        {"shown", {100, 100, 160, 130}, {161, 110}, {150, 60}},
        {"moved", {200, 60, 260, 90}, {261, 70}, {161, 110}},  // the old band is light again
        {"hidden", {}, {0, 0}, {261, 70}},
    };
    for (const Step& s : steps) {
        if (!popup_)
            Popup("Shadowed", s.popup);
        else if (s.popup.Empty())
            ShowWindow(popup_, SW_HIDE);
        else
            SetWindowPos(popup_, 0, s.popup.left, s.popup.top, s.popup.Width(), s.popup.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
        if (!s.popup.Empty()) {
            EXPECT_EQ(shown(s.dark.x, s.dark.y), Dark(white)) << s.what;
        }
        EXPECT_EQ(shown(s.light.x, s.light.y), white) << s.what;
        if (!s.popup.Empty()) {
            EXPECT_EQ(GetWindowSurface(form)->Pixel(s.dark.x - 20, s.dark.y - 20), white) << s.what;
        }
    }
    // The form painting under a shadow is presented shadowed, and only once darkened.
    ShowWindow(popup_, SW_SHOWNA);
    Pump();
    form_->Invalidate();
    Pump();
    Pump();
    EXPECT_EQ(shown(210, 91), Dark(white));
}

}  // namespace
}  // namespace ui
