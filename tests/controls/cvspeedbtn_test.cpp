// The button glyph and the speed button: glyph counts and state images,
// layout, frames and marks seen at chosen pixels, groups, the repeat timer on
// the virtual clock, the drop-down menu and the simulated click.
#include "controls/cvspeedbtn.hpp"

#include "controls/cvconst.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;

constexpr COLORREF kGround = 0xFF00FF;  // fuchsia: the glyphs' transparent colour

// A strip of `cells` square cells of `size`, each cell's middle pixel in its own colour.
std::unique_ptr<TBitmap> Strip(int cells, int size = 16) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(cells * size, size);
    b->Handle()->Fill(kGround);
    for (int i = 0; i < cells; ++i)
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x) b->Handle()->SetPixel(i * size + x, y, RGB(0, 40 * (i + 1), 200 - 30 * i));
    b->Modified();
    return b;
}

COLORREF CellPixel(TCvButtonGlyph& g, TCvButtonState s, int x, int y) {
    const int index = g.StateImageIndex(s);
    return index < 0 ? CLR_INVALID : g.GlyphList()->ImageSurface(index)->Pixel(x, y);
}

class SpeedButtonTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterControlResources();
        form = Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 240, 120);
    }
    void TearDown() override {
        form.reset();
        UiTest::TearDown();
    }
    TCvSpeedButton* Button(int x, int y, int w = 40, int h = 30) {
        auto* b = new TCvSpeedButton(form.get());
        b->SetBounds(x, y, w, h);
        b->SetParent(form.get());
        return b;
    }
    void Show() {
        form->Show();
        Pump();
    }
    COLORREF At(TControl* c, int x, int y) {
        Pump();
        return GetWindowSurface(form->WindowHandle())->Pixel(c->Left() + x, c->Top() + y);
    }
    TPoint Screen(TControl* c, int x, int y) { return c->ClientToScreen({x, y}); }
    Owned<TForm> form;
};

TEST_F(SpeedButtonTest, GlyphCountComesFromSquareCellsAndStaysInRange) {
    struct Case {
        int width, height, before, after;
    };
    const Case cases[] = {
        {64, 16, 1, 4}, {112, 16, 2, 1},  // a quotient above 5 means one glyph
        {20, 16, 2, 2},                   // not a whole multiple: unchanged
        {0, 16, 3, 3},                    // no width: unchanged (no count of 0)
        {32, 16, 1, 2},
    };
    for (const Case& c : cases) {
        TCvButtonGlyph g;
        g.SetNumGlyphs(c.before);
        TBitmap b;
        b.SetSize(c.width, c.height);
        g.SetGlyph(&b);
        EXPECT_EQ(g.NumGlyphs(), c.after) << c.width << "x" << c.height;
        EXPECT_EQ(g.StateImageIndex(bsUp) == -1, c.width == 0);
    }
    auto* button = Button(0, 0);
    for (auto [written, kept] : std::vector<std::pair<int, int>>{{9, 5}, {0, 1}, {-3, 1}, {3, 3}}) {
        button->SetNumGlyphs(written);
        EXPECT_EQ(button->NumGlyphs(), kept) << written;
    }
}

TEST_F(SpeedButtonTest, StateImagesComeFromTheirCellsOrAreMadeFromTheUpCell) {
    TCvButtonGlyph one;
    one.SetGlyph(Strip(1).get());
    EXPECT_EQ(one.StateImageIndex(bsDown), one.StateImageIndex(bsUp));
    EXPECT_EQ(CellPixel(one, bsUp, 8, 8), RGB(0, 40, 200));
    // Disabled: the black-free square has no outline to emboss; the ground stays transparent.
    EXPECT_EQ(one.GlyphList()->MaskSurface(one.StateImageIndex(bsDisabled))->Pixel(0, 0), 0xFFFFFFu);
    // Inactive: the up cell in grey.
    const int grey = (0 * 77 + 40 * 150 + 200 * 29) / 256;
    EXPECT_EQ(CellPixel(one, bsInactive, 8, 8), RGB(grey, grey, grey));
    EXPECT_EQ(one.GlyphList()->MaskSurface(one.StateImageIndex(bsInactive))->Pixel(0, 0), 0xFFFFFFu);

    TCvButtonGlyph five;
    five.SetGlyph(Strip(5).get());
    ASSERT_EQ(five.NumGlyphs(), 5);
    for (int s = bsUp; s <= bsInactive; ++s)
        EXPECT_EQ(CellPixel(five, TCvButtonState(s), 8, 8), RGB(0, 40 * (s + 1), 200 - 30 * s)) << s;
    TCvButtonGlyph three;
    three.SetGlyph(Strip(3).get());
    EXPECT_EQ(CellPixel(three, bsDown, 8, 8), RGB(0, 120, 140));      // its own cell
    EXPECT_EQ(CellPixel(three, bsExclusive, 8, 8), RGB(0, 40, 200));  // no fourth cell: the up cell
    // One image list serves every glyph of the cell size.
    EXPECT_EQ(one.GlyphList(), five.GlyphList());
    EXPECT_EQ(GlyphUnit().cache->Count(), 1);
}

TEST_F(SpeedButtonTest, DisabledSingleGlyphIsEmbossedFromItsBlackOutline) {
    auto b = Strip(1);
    for (int x = 2; x < 14; ++x) b->Handle()->SetPixel(x, 2, 0);  // a black line
    TCvButtonGlyph g;
    g.SetGlyph(b.get());
    EXPECT_EQ(CellPixel(g, bsDisabled, 5, 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(CellPixel(g, bsDisabled, 5, 3), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(SpeedButtonTest, FreedImagesGiveTheirSlotsBackAndTheCacheGoesWithTheLastGlyph) {
    {
        TCvButtonGlyph a, b;
        a.SetGlyph(Strip(1).get());
        b.SetGlyph(Strip(1).get());
        const int ia = a.StateImageIndex(bsUp);
        EXPECT_NE(ia, b.StateImageIndex(bsUp));
        TGlyphList* list = a.GlyphList();
        EXPECT_EQ(list->UsedCount(), 2);
        a.FreeImages();
        EXPECT_EQ(list->UsedCount(), 1);
        TCvButtonGlyph c;
        c.SetGlyph(Strip(1).get());
        EXPECT_EQ(c.StateImageIndex(bsUp), ia);  // the freed slot, used again
    }
    EXPECT_EQ(GlyphUnit().cache, nullptr);
}

TEST_F(SpeedButtonTest, AnImageListEntryDrawnInactiveTheFirstTimeIsGreyed) {
    auto images = Make<TImageList>(nullptr, 16, 16);
    images->AddMasked(Strip(1).get(), TColor(kGround));
    TCvButtonGlyph g;
    TBitmap canvas;
    canvas.SetSize(16, 16);
    g.DrawGlyphAndCaption(canvas.Canvas(), {0, 0, 16, 16}, DT_CENTER, bsInactive, 0, images.get(), false, 0, 0,
                          blGlyphLeft, "");
    const int grey = (0 * 77 + 40 * 150 + 200 * 29) / 256;
    EXPECT_EQ(canvas.Handle()->Pixel(8, 8), RGB(grey, grey, grey));
}

TEST_F(SpeedButtonTest, LayoutSpreadsFreeSpaceAndPlacesTheGlyphByLayout) {
    TCvButtonGlyph g;
    g.SetGlyph(Strip(1).get());
    TBitmap canvas;
    canvas.SetSize(10, 10);
    const int tw = canvas.Canvas()->TextWidth("Go");
    const TRect client{0, 0, 100, 40};
    // Margin and spacing -1: the free width in three equal parts.
    const GlyphLayout even =
        g.LayoutButton(canvas.Canvas(), client, -1, nullptr, DT_CENTER, false, -1, -1, blGlyphLeft, "Go");
    const int part = (100 - 16 - tw) / 3;
    EXPECT_EQ(even.glyph_pos.x, part);
    EXPECT_EQ(even.text_bounds.left, part + 16 + part);
    EXPECT_EQ(even.glyph_pos.y, 20 - 8);
    struct Case {
        TButtonLayout layout;
        TPoint glyph;
    };
    // Margin 4, spacing 1.
    const Case cases[] = {{blGlyphLeft, {4, 12}},
                          {blGlyphRight, {100 - 4 - 16, 12}},
                          {blGlyphTop, {42, 4}},
                          {blGlyphBottom, {42, 40 - 4 - 16}}};
    for (const Case& c : cases) {
        const GlyphLayout l =
            g.LayoutButton(canvas.Canvas(), client, -1, nullptr, DT_CENTER, false, 1, 4, c.layout, "");
        EXPECT_EQ(l.glyph_pos, c.glyph) << c.layout;
    }
    // Too narrow a room: the caption ends in "...".
    const GlyphLayout cut = g.LayoutButton(canvas.Canvas(), {0, 0, 40, 40}, -1, nullptr, DT_CENTER, false, 1, 2,
                                           blGlyphLeft, "A caption far too long");
    EXPECT_EQ(cut.caption.substr(cut.caption.size() - 3), "...");
    EXPECT_LE(cut.text_bounds.Width(), 40 - 16 - 2 - 1);
}

TEST_F(SpeedButtonTest, FramesOfTheStatesAtTheirCorners) {
    auto* up = Button(0, 0);
    auto* flat = Button(50, 0);
    flat->SetFlat(true);
    auto* down = Button(100, 0);
    down->SetGroupIndex(1);
    down->SetDown(true);
    auto* old = Button(150, 0);
    old->SetStyle(bsWin31);
    Show();
    const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), frame = GetSysColor(COLOR_WINDOWFRAME),
                   shadow = GetSysColor(COLOR_BTNSHADOW), face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(At(up, 0, 0), hi);
    EXPECT_EQ(At(up, 39, 29), frame);
    EXPECT_EQ(At(up, 38, 28), shadow);
    EXPECT_EQ(At(flat, 0, 0), face);  // away from the pointer: no frame
    EXPECT_EQ(At(flat, 39, 29), face);
    EXPECT_EQ(At(down, 0, 0), frame);
    EXPECT_EQ(At(down, 39, 29), hi);
    EXPECT_EQ(At(down, 1, 1), shadow);
    // The checker inside an exclusive button.
    EXPECT_NE(At(down, 10, 10), At(down, 11, 10));
    EXPECT_EQ(At(down, 10, 10), At(down, 11, 11));
    EXPECT_EQ(At(old, 0, 0), frame);  // old style: a black ring first
    EXPECT_EQ(At(old, 1, 1), hi);
}

TEST_F(SpeedButtonTest, DisabledCaptionAndDropDownMarkAreEmbossed) {
    auto* menu = new TPopupMenu(form.get());
    auto* b = Button(0, 0, 60, 30);
    b->SetDropDownMenu(menu);  // no caption, no glyph: the mark in the middle
    auto* d = Button(70, 0, 80, 30);
    d->SetCaption("WWW");
    d->SetEnabled(false);
    Show();
    // The mark's left end is (left + right - 7) div 2 inside the frame, its row the middle.
    const int x = (2 + 58 - 7) / 2, y = 2 + 26 / 2;
    EXPECT_EQ(At(b, x, y - 1), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(At(b, x + 3, y + 2), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(At(b, x, y + 1), GetSysColor(COLOR_BTNFACE));
    bool shadow = false, light = false;
    for (int yy = 2; yy < 28; ++yy)
        for (int xx = 2; xx < 78; ++xx) {
            shadow = shadow || At(d, xx, yy) == GetSysColor(COLOR_BTNSHADOW);
            light = light || At(d, xx, yy) == GetSysColor(COLOR_BTNHIGHLIGHT);
        }
    EXPECT_TRUE(shadow && light);
}

TEST_F(SpeedButtonTest, GroupsKeepOneButtonDown) {
    auto* plain = Button(0, 0);
    plain->SetDown(true);
    EXPECT_FALSE(plain->Down());  // group 0 cannot stay down
    auto* a = Button(0, 40);
    auto* b = Button(50, 40);
    auto* other = Button(100, 40);
    a->SetGroupIndex(2), b->SetGroupIndex(2), other->SetGroupIndex(3);
    other->SetDown(true);
    Show();
    a->SetDown(true);
    EXPECT_EQ(a->State(), bsExclusive);
    b->SetDown(true);
    EXPECT_FALSE(a->Down());
    EXPECT_EQ(a->State(), bsUp);
    EXPECT_TRUE(other->Down());  // another group
    b->SetDown(false);           // AllowAllUp off: refused
    EXPECT_TRUE(b->Down());
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    EXPECT_TRUE(b->Down());  // nor by a click
    a->SetAllowAllUp(true);  // the group hears of it
    EXPECT_TRUE(b->AllowAllUp());
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    EXPECT_FALSE(b->Down());
}

TEST_F(SpeedButtonTest, AClickCountsOnlyWhenReleasedOnTheButtonAndSetsTheModalResult) {
    auto* b = Button(10, 10);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    b->ModalResult = mrOk;
    Show();
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    EXPECT_EQ(b->State(), bsDown);
    Mouse(MouseAction::Move, Screen(b, 60, 5));
    EXPECT_EQ(b->State(), bsUp);  // dragged off
    Mouse(MouseAction::Up, Screen(b, 60, 5));
    EXPECT_EQ(clicks, 0);
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
    b->SetCaption("&Save");
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, 's'), 1);
    EXPECT_EQ(clicks, 2);
}

TEST_F(SpeedButtonTest, HeldButtonRepeatsAfterTheInitialPauseWhileThePointerStaysOnIt) {
    auto* b = Button(10, 10);
    b->SetAllowTimer(true);
    std::vector<uint64_t> at;
    b->OnClick = [&](TObject*) { at.push_back(NowMs()); };
    Show();
    const uint64_t t0 = NowMs();
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    for (int i = 0; i < 7; ++i) clock_.Advance(100), Pump();
    EXPECT_EQ(at, (std::vector<uint64_t>{t0 + 500, t0 + 600, t0 + 700}));
    Mouse(MouseAction::Move, Screen(b, 80, 5));  // off: the state leaves Down
    for (int i = 0; i < 3; ++i) clock_.Advance(100), Pump();
    EXPECT_EQ(at.size(), 3u);
    Mouse(MouseAction::Move, Screen(b, 5, 5));
    clock_.Advance(100), Pump();
    EXPECT_EQ(at.size(), 4u);
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    EXPECT_EQ(at.size(), 5u);  // the release clicks too
    EXPECT_FALSE(b->RepeatTimer()->Enabled());
    clock_.Advance(1000), Pump();
    EXPECT_EQ(at.size(), 5u);
}

TEST_F(SpeedButtonTest, ADropDownMenuPopsUpBelowTheButtonInsteadOfAClick) {
    auto* menu = new TPopupMenu(form.get());
    int popups = 0, clicks = 0;
    menu->OnPopup = [&](TObject*) { ++popups; };
    auto* b = Button(20, 20);
    b->SetDropDownMenu(menu);
    b->OnClick = [&](TObject*) { ++clicks; };
    Show();
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menu->PopupPoint(), Screen(b, -1, 30));
    EXPECT_EQ(menu->PopupComponent(), b);
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(b->State(), bsUp);
    menu->Alignment = paRight;
    b->MenuPosition = dmpRight;
    Mouse(MouseAction::Down, Screen(b, 5, 5));
    EXPECT_EQ(menu->PopupPoint(), Screen(b, -1, -1));
    Mouse(MouseAction::Up, Screen(b, 5, 5));
    Free(menu);
    EXPECT_EQ(b->DropDownMenu(), nullptr);
}

TEST_F(SpeedButtonTest, SimulatedClickLooksPressedForTwentyMilliseconds) {
    auto* b = Button(10, 10);
    TCvButtonState during = bsUp;
    uint64_t when = 0;
    b->OnClick = [&](TObject*) { during = b->State(), when = NowMs(); };
    Show();
    const uint64_t t0 = NowMs();
    b->SimulateClick();
    EXPECT_EQ(during, bsDown);
    EXPECT_GE(when, t0 + 20);
    EXPECT_EQ(b->State(), bsUp);
    // In a group: down is toggled and the click comes afterwards.
    b->SetGroupIndex(4);
    b->SetAllowAllUp(true);
    b->SimulateClick();
    EXPECT_TRUE(b->Down());
    b->OnClick = [](TObject*) { throw EAbort(); };
    b->SetGroupIndex(0);
    EXPECT_THROW(b->SimulateClick(), EAbort);
    EXPECT_EQ(b->State(), bsUp);  // even when the click raised
    b->SetEnabled(false);
    b->OnClick = [&](TObject*) { ADD_FAILURE(); };
    b->SimulateClick();
}

TEST_F(SpeedButtonTest, FlatButtonShowsItsFrameWhileThePointerIsOnIt) {
    auto* b = Button(10, 10);
    b->SetFlat(true);
    int enter = 0, leave = 0;
    b->OnMouseEnter = [&](TObject*) { ++enter; };
    b->OnMouseLeave = [&](TObject*) { ++leave; };
    Show();
    EXPECT_EQ(At(b, 0, 0), GetSysColor(COLOR_BTNFACE));
    Mouse(MouseAction::Move, Screen(b, 5, 5));
    EXPECT_TRUE(b->MouseInside());
    EXPECT_EQ(At(b, 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
    Mouse(MouseAction::Move, Screen(b, 8, 8));
    Mouse(MouseAction::Move, Screen(b, 100, 60));
    EXPECT_EQ(At(b, 0, 0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(enter, 1);
    EXPECT_EQ(leave, 1);
}

TEST_F(SpeedButtonTest, EllipsisDotsStayInsideNarrowBitmaps) {
    struct Case {
        int button_width, bitmap_width;
        std::vector<int> black_columns;
    };
    const Case cases[] = {
        {20, 14, {1, 2, 6, 7, 11, 12}},  // dots of width 3 apart
        {8, 2, {0, 1}},                  // the dots start at -3: two lie outside and are cut off
        {12, 6, {0, 2, 3, 5}},           // starting at -1
    };
    for (const Case& c : cases) {
        auto b = CreateEllipsisGlyph(c.button_width);
        ASSERT_EQ(b->Width(), c.bitmap_width);
        ASSERT_EQ(b->Height(), 4);
        std::vector<int> black;
        for (int x = 0; x < b->Width(); ++x)
            if (b->Handle()->Pixel(x, 1) == 0) black.push_back(x);
        EXPECT_EQ(black, c.black_columns) << c.button_width;
        EXPECT_EQ(b->Handle()->Pixel(0, 0), 0xFFFFFFu);
    }
}

}  // namespace
}  // namespace controls
