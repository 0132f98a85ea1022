#include "framework/ui/scroll_bars.hpp"

#include <climits>

#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

struct ScrollMsg {
    UINT msg;
    int code, pos, track;
    friend bool operator==(const ScrollMsg&, const ScrollMsg&) = default;
};

class ScrollBarTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterWindowClass({"Scrolled",
                             [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                                 if (m == WM_VSCROLL || m == WM_HSCROLL) {
                                     SCROLLINFO si;
                                     GetScrollInfo(h, m == WM_VSCROLL ? SB_VERT : SB_HORZ, si);
                                     log.push_back({m, int(w & 0xFFFF), int(w >> 16), si.nTrackPos});
                                 }
                                 if (m == WM_SIZE) ++sizes;
                                 return next(h, m, w, l);
                             },
                             0, clWindow});
    }
    // A visible top-level window at the screen's origin: window and screen
    // coordinates are the same.
    HWND MakeWindow(uint32_t style) {
        CreateParams p;
        p.class_name = "Scrolled";
        p.style = WS_POPUP | WS_VISIBLE | style;
        p.rect = {0, 0, 100, 100};
        const HWND h = CreateWindow(p);
        Pump();
        return h;
    }
    void Mouse(MouseAction a, TPoint p) { InjectMouse(a, MouseButton::Left, p); }
    std::vector<int> Codes() const {
        std::vector<int> out;
        for (const ScrollMsg& m : log) out.push_back(m.code);
        return out;
    }
    std::vector<ScrollMsg> log;
    int sizes = 0;
};

TEST_F(ScrollBarTest, TheBarsTakeTheirRoomFromTheClientArea) {
    struct Case {
        uint32_t style;
        TRect client;
    };
    for (const Case& c : {Case{0, {0, 0, 100, 100}}, Case{WS_VSCROLL, {0, 0, 84, 100}},
                          Case{WS_HSCROLL, {0, 0, 100, 84}}, Case{WS_VSCROLL | WS_HSCROLL, {0, 0, 84, 84}}}) {
        const HWND h = MakeWindow(c.style);
        EXPECT_EQ(GetClientRect(h), c.client) << c.style;
        EXPECT_EQ(ScrollBarRect(h, SB_VERT).Empty(), !(c.style & WS_VSCROLL));
        EXPECT_EQ(WindowFromPoint({90, 50}), h);
        EXPECT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(90, 40)),
                  c.style & WS_VSCROLL ? LRESULT(HTVSCROLL) : LRESULT(HTCLIENT));
        DestroyWindow(h);
    }
}

TEST_F(ScrollBarTest, PageAndPositionStayInTheRange) {
    struct Case {
        int min, max, page, pos;
        int want_page, want_pos;
    };
    const Case cases[] = {
        {0, 100, 10, 95, 10, 91},  // the last page starts at max - page + 1
        {0, 100, 0, 150, 0, 100},
        {0, 9, 20, 5, 10, 0},  // a page larger than the range is the range
        {10, 20, 0, -5, 0, 10},
        {5, 2, 0, 3, 0, 5},  // max below min: the range is min alone
        {INT_MIN, INT_MAX, 0, INT_MAX, 0, INT_MAX},
        {INT_MIN, INT_MAX, 1000, INT_MAX, 1000, INT_MAX - 999},
    };
    const HWND h = MakeWindow(WS_VSCROLL);
    for (const Case& c : cases) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = c.min, si.nMax = c.max, si.nPage = UINT(c.page), si.nPos = c.pos;
        EXPECT_EQ(SetScrollInfo(h, SB_VERT, si, true), c.want_pos) << c.min << ".." << c.max;
        SCROLLINFO got;
        ASSERT_TRUE(GetScrollInfo(h, SB_VERT, got));
        EXPECT_EQ(int(got.nPage), c.want_page);
        EXPECT_EQ(got.nPos, c.want_pos);
        EXPECT_EQ(got.nTrackPos, c.want_pos);
    }
}

TEST_F(ScrollBarTest, ABarWithNothingToScrollHidesUnlessAskedToStayDisabled) {
    const HWND h = MakeWindow(WS_VSCROLL);
    sizes = 0;
    SetScrollRange(h, SB_VERT, 0, 0, true);
    EXPECT_FALSE(GetWindowStyle(h) & WS_VSCROLL);
    EXPECT_EQ(GetClientRect(h).Width(), 100);
    EXPECT_EQ(sizes, 1);
    SetScrollRange(h, SB_VERT, 0, 50, true);
    EXPECT_TRUE(GetWindowStyle(h) & WS_VSCROLL);
    EXPECT_EQ(sizes, 2);
    Pump();
    auto s = GetWindowSurface(h);
    EXPECT_EQ(s->Pixel(91, 5), GetSysColor(COLOR_BTNTEXT));  // the up arrow's tip
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_DISABLENOSCROLL;
    si.nMin = si.nMax = 0;
    SetScrollInfo(h, SB_VERT, si, true);
    EXPECT_TRUE(GetWindowStyle(h) & WS_VSCROLL);
    EXPECT_EQ(s->Pixel(91, 5), GetSysColor(COLOR_BTNSHADOW));  // greyed
    Mouse(MouseAction::Down, {91, 5});
    Mouse(MouseAction::Up, {91, 5});
    Pump();
    EXPECT_TRUE(log.empty());  // a disabled bar sends nothing
}

TEST_F(ScrollBarTest, ArrowsAndTrackSendLineAndPageMessages) {
    struct Case {
        int pos;
        TPoint at;
        int code;
    };
    const Case cases[] = {
        {0, {91, 5}, SB_LINEUP},    {0, {91, 75}, SB_LINEDOWN},  {0, {91, 50}, SB_PAGEDOWN},
        {100, {91, 30}, SB_PAGEUP}, {0, {50, 91}, SB_PAGERIGHT},
    };
    const HWND h = MakeWindow(WS_VSCROLL | WS_HSCROLL);
    SetScrollRange(h, SB_HORZ, 0, 100, false);
    for (const Case& c : cases) {
        SetScrollPos(h, SB_VERT, c.pos, true);
        log.clear();
        Mouse(MouseAction::Down, c.at);
        Mouse(MouseAction::Up, c.at);
        Pump();
        EXPECT_EQ(Codes(), (std::vector<int>{c.code, SB_ENDSCROLL})) << c.at.x << "," << c.at.y;
        EXPECT_EQ(log.front().msg, c.at.x < 84 ? UINT(WM_HSCROLL) : UINT(WM_VSCROLL));
        EXPECT_EQ(GetCapture(), 0u);
    }
}

TEST_F(ScrollBarTest, AHeldArrowRepeatsWhileThePointerStaysOnIt) {
    const HWND h = MakeWindow(WS_VSCROLL);
    Mouse(MouseAction::Down, {91, 95});
    Pump();
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(GetCapture(), h);
    clock_.Advance(399);
    Pump();
    EXPECT_EQ(log.size(), 1u);
    clock_.Advance(1);
    Pump();
    clock_.Advance(50);
    Pump();
    EXPECT_EQ(Codes(), (std::vector<int>{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN}));
    Mouse(MouseAction::Move, {91, 50});  // off the arrow: it comes up and stops
    Pump();
    EXPECT_EQ(GetWindowSurface(h)->Pixel(85, 85), GetSysColor(COLOR_BTNHIGHLIGHT));  // raised again
    clock_.Advance(200);
    Pump();
    EXPECT_EQ(log.size(), 3u);
    Mouse(MouseAction::Up, {91, 50});
    Pump();
    EXPECT_EQ(Codes().back(), SB_ENDSCROLL);
    EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(ScrollBarTest, DraggingTheThumbTracksAndEndsWithItsPosition) {
    const HWND h = MakeWindow(WS_VSCROLL);
    // Range 0..100 without a page: a 16-pixel thumb on a 68-pixel track.
    ASSERT_EQ(ScrollThumbRect(h, SB_VERT), (TRect{84, 16, 100, 32}));
    Mouse(MouseAction::Down, {91, 24});
    Mouse(MouseAction::Move, {91, 50});  // 26 of 52 pixels: half way
    Pump();
    EXPECT_EQ(log, (std::vector<ScrollMsg>{{WM_VSCROLL, SB_THUMBTRACK, 50, 50}}));
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);  // the window moves it, not the bar
    EXPECT_EQ(ScrollThumbRect(h, SB_VERT).top, 42);
    Mouse(MouseAction::Move, {200, 500});  // beyond the end
    Mouse(MouseAction::Up, {200, 500});
    Pump();
    EXPECT_EQ(log.back(), (ScrollMsg{WM_VSCROLL, SB_ENDSCROLL, 0, 0}));
    EXPECT_EQ(log[log.size() - 2], (ScrollMsg{WM_VSCROLL, SB_THUMBPOSITION, 100, 100}));
    EXPECT_EQ(ScrollThumbRect(h, SB_VERT).top, 16);  // back where the position is
    EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(ScrollBarTest, EscapeOrCancelModeEndTheDragWhereItBegan) {
    const HWND h = MakeWindow(WS_VSCROLL);
    SetScrollPos(h, SB_VERT, 10, true);
    for (bool escape : {true, false}) {
        log.clear();
        const int top = ScrollThumbRect(h, SB_VERT).top;
        Mouse(MouseAction::Down, {91, top + 2});
        Mouse(MouseAction::Move, {91, top + 30});
        Pump();
        ASSERT_EQ(log.size(), 1u);
        if (escape) {
            InjectKey(VK_ESCAPE, true);
            Pump();
        } else {
            SendMessage(h, WM_CANCELMODE);
        }
        EXPECT_EQ(log[1], (ScrollMsg{WM_VSCROLL, SB_THUMBPOSITION, 10, 10}));
        EXPECT_EQ(log[2].code, SB_ENDSCROLL);
        EXPECT_EQ(GetCapture(), 0u);
        Mouse(MouseAction::Move, {91, top + 40});
        Mouse(MouseAction::Up, {91, top + 40});
        Pump();
        EXPECT_EQ(log.size(), 3u);  // the drag is over
    }
}

TEST_F(ScrollBarTest, PartsArePaintedAtTheirPlaces) {
    const HWND h = MakeWindow(WS_VSCROLL | WS_HSCROLL);
    SetScrollRange(h, SB_HORZ, 0, 10, true);
    Pump();
    auto s = GetWindowSurface(h);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT), face = GetSysColor(COLOR_BTNFACE);
    // Up arrow: one pixel at its tip, seven at its base.
    EXPECT_EQ(s->Pixel(91, 5), text);
    EXPECT_EQ(s->Pixel(90, 5), face);
    EXPECT_EQ(s->Pixel(88, 8), text);
    EXPECT_EQ(s->Pixel(94, 8), text);
    EXPECT_EQ(s->Pixel(87, 8), face);
    // Down arrow (above the corner): the tip at the bottom.
    EXPECT_EQ(s->Pixel(91, 76), text);
    EXPECT_EQ(s->Pixel(90, 76), face);
    EXPECT_EQ(s->Pixel(88, 73), text);
    // Left arrow of the horizontal bar: its tip at the left.
    EXPECT_EQ(s->Pixel(5, 91), text);
    EXPECT_EQ(s->Pixel(5, 90), face);
    EXPECT_EQ(s->Pixel(8, 88), text);
    // Thumb face and raised edges; the track is a checker of highlight and face.
    EXPECT_EQ(s->Pixel(91, 24), face);
    EXPECT_EQ(s->Pixel(85, 17), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(s->Pixel(98, 30), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(s->Pixel(99, 31), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_NE(s->Pixel(90, 60), s->Pixel(91, 60));
    EXPECT_EQ(s->Pixel(90, 60), s->Pixel(91, 61));
    // The corner between the bars.
    EXPECT_EQ(s->Pixel(92, 92), face);
    testing_ui::SavePicture(h, "scroll_bars");
}

TEST_F(ScrollBarTest, TheScrollBarControlMovesByItsChanges) {
    auto f = ui::Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 200, 100);
    auto* sb = new TScrollBar(f.get());
    sb->SetParent(f.get());
    sb->SetBounds(0, 0, 121, 16);
    sb->LargeChange = 10;
    int changes = 0;
    std::vector<TScrollCode> codes;
    sb->OnChange = [&](TObject*) { ++changes; };
    sb->OnScroll = [&](TObject*, TScrollCode code, int& pos) {
        codes.push_back(code);
        if (code == scTop) pos = 42;  // the handler decides
    };
    f->Show();
    Pump();
    auto click = [&](TPoint p) {
        Mouse(MouseAction::Down, p);
        Mouse(MouseAction::Up, p);
        Pump();
    };
    click({113, 8});  // right arrow
    EXPECT_EQ(sb->Position(), 1);
    click({100, 8});  // track right of the thumb
    EXPECT_EQ(sb->Position(), 11);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(sb->Focused());
    SendMessage(sb->Handle(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(sb->Position(), 42);
    // The thumb drags the position along.
    const TRect thumb = ScrollThumbRect(sb->Handle(), SB_CTL);
    Mouse(MouseAction::Down, {thumb.left + 2, 8});
    Mouse(MouseAction::Move, {200, 8});
    Mouse(MouseAction::Up, {200, 8});
    Pump();
    EXPECT_EQ(sb->Position(), 100);
    EXPECT_EQ(codes.back(), scEndScroll);
    sb->SetPageSize(20);
    EXPECT_EQ(sb->Position(), 81);
    EXPECT_EQ(GetScrollPos(sb->Handle(), SB_CTL), 81);
    EXPECT_THROW(sb->SetParams(0, 10, 5), EInvalidOperation);
    sb->SetKind(sbVertical);
    EXPECT_EQ(sb->Width(), 16);
    EXPECT_EQ(sb->Height(), 121);
    EXPECT_EQ(GetScrollPos(sb->Handle(), SB_CTL), 81);
    Pump();
    testing_ui::SavePicture(f->Handle(), "scroll_bar_control");
}

// A window that paints each row in a colour of its own row number plus an offset.
class ScrollWindowTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterWindowClass({"Rows",
                             [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                                 if (m != WM_PAINT) return next(h, m, w, l);
                                 PAINTSTRUCT ps;
                                 auto dc = BeginPaint(h, ps);
                                 painted.push_back(ps.rcPaint);
                                 for (int y = 0; y < 100; ++y)
                                     FillRect(*dc, {0, y, 100, y + 1}, Brush::Solid(RGB(0, 0, (y + offset) % 256)));
                                 EndPaint(h, std::move(dc));
                                 return 0;
                             },
                             0, std::nullopt});
        CreateParams p;
        p.class_name = "Rows";
        p.style = WS_POPUP | WS_VISIBLE;
        p.rect = {0, 0, 100, 100};
        h = CreateWindow(p);
        Pump();
        painted.clear();
    }
    bool RowsShowOffset() {
        auto s = GetWindowSurface(h);
        for (int y = 0; y < 100; ++y)
            if (s->Pixel(50, y) != RGB(0, 0, (y + offset) % 256)) return false;
        return true;
    }
    HWND h = 0;
    int offset = 0;
    std::vector<TRect> painted;
};

TEST_F(ScrollWindowTest, PixelsMoveAndOnlyWhatTheyUncoverIsPainted) {
    struct Case {
        int dy;
        TRect uncovered;
    };
    for (const Case& c : {Case{-10, {0, 90, 100, 100}}, Case{25, {0, 0, 100, 25}}, Case{-100, {0, 0, 100, 100}}}) {
        offset -= c.dy;
        ASSERT_TRUE(ScrollWindow(h, 0, c.dy, nullptr, nullptr));
        EXPECT_EQ(GetUpdateRegion(h).Bounds(), c.uncovered) << c.dy;
        Pump();
        ASSERT_EQ(painted.size(), 1u);
        EXPECT_EQ(painted[0], c.uncovered);
        EXPECT_TRUE(RowsShowOffset()) << c.dy;
        painted.clear();
    }
}

TEST_F(ScrollWindowTest, WhatWasDueToBePaintedMovesAlong) {
    const TRect due{0, 50, 100, 60};
    InvalidateRect(h, &due, false);
    offset += 10;
    const TRect area{0, 20, 100, 100};
    ScrollWindow(h, 0, -10, &area, &area);
    const Region due_now = GetUpdateRegion(h);
    EXPECT_TRUE(due_now.Contains({50, 45}));
    EXPECT_TRUE(due_now.Contains({50, 95}));
    EXPECT_FALSE(due_now.Contains({50, 55}));
    EXPECT_FALSE(due_now.Contains({50, 85}));
    // Rows above the scrolled area stay as they were.
    EXPECT_EQ(GetWindowSurface(h)->Pixel(50, 5), RGB(0, 0, 5));
    EXPECT_EQ(GetWindowSurface(h)->Pixel(50, 20), RGB(0, 0, 30));
}

TEST_F(ScrollWindowTest, AWindowInFrontKeepsItsPixelsAndWhatItHidIsPainted) {
    CreateParams p;
    p.class_name = "Rows";
    p.style = WS_CHILD | WS_VISIBLE;
    p.parent = h;
    p.rect = {0, 60, 100, 70};
    const HWND child = CreateWindow(p);
    const TRect area{0, 0, 100, 100};
    Pump();
    painted.clear();
    ScrollWindow(h, 0, -10, &area, nullptr);
    // The rows that came from under the child cannot be copied: they are due.
    EXPECT_TRUE(GetUpdateRegion(h).Contains({50, 55}));
    EXPECT_FALSE(GetUpdateRegion(h).Contains({50, 45}));
    EXPECT_EQ(GetChildren(h), std::vector<HWND>{child});
    EXPECT_EQ(GetWindowRect(child).top, 60);  // with a rectangle, children stay
}

}  // namespace
}  // namespace ui
