#include <algorithm>
#include <chrono>
#include <thread>

#include "framework/ui/window.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class WindowTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterWindowClass({"Plain",
                             [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                                 log.push_back({h, m});
                                 return next(h, m, w, l);
                             },
                             0, clBtnFace});
    }
    HWND Make(HWND parent = 0, TRect r = {0, 0, 100, 100}, uint32_t style = WS_POPUP) {
        CreateParams p;
        p.class_name = "Plain";
        p.style = parent ? WS_CHILD : style;
        p.parent = parent;
        p.rect = r;
        return CreateWindow(p);
    }
    std::vector<UINT> MessagesOf(HWND h) const {
        std::vector<UINT> out;
        for (auto& [hw, m] : log)
            if (hw == h) out.push_back(m);
        return out;
    }
    std::vector<std::pair<HWND, UINT>> log;
};

// Three procedures on one window, removed in every order, one of them while it runs.
TEST_F(WindowTest, SubclassesComeOffInAnyOrder) {
    std::vector<int> order = {0, 1, 2};
    do {
        const HWND h = Make();
        std::vector<int> calls;
        SubclassToken tokens[3];
        for (int i = 0; i < 3; ++i)
            tokens[i] = SubclassWindow(h, [&calls, i](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
                if (m == WM_USER) calls.push_back(i);
                return next(hw, m, w, l);
            });
        SendMessage(h, WM_USER);
        EXPECT_EQ(calls, (std::vector<int>{2, 1, 0}));
        std::vector<int> left = {0, 1, 2};
        for (int k : order) {
            EXPECT_TRUE(RemoveSubclass(h, tokens[k]));
            EXPECT_FALSE(RemoveSubclass(h, tokens[k]));
            left.erase(std::find(left.begin(), left.end(), k));
            calls.clear();
            SendMessage(h, WM_USER);
            EXPECT_EQ(calls, std::vector<int>(left.rbegin(), left.rend()));
        }
        EXPECT_EQ(TopSubclass(h), 0u);
        DestroyWindow(h);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(WindowTest, AProcedureRemovedWhileItRunsFinishesAndPassesOn) {
    const HWND h = Make();
    int below = 0;
    SubclassToken lower = SubclassWindow(h, [&](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
        if (m == WM_USER) ++below;
        return next(hw, m, w, l);
    });
    SubclassToken self = 0;
    self = SubclassWindow(h, [&](HWND hw, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        if (m == WM_USER) {
            RemoveSubclass(hw, self);   // itself
            RemoveSubclass(hw, lower);  // and the one it is about to call
            return next(hw, m, w, l) + 1;
        }
        return next(hw, m, w, l);
    });
    EXPECT_EQ(SendMessage(h, WM_USER), 1);
    EXPECT_EQ(below, 1);
    SendMessage(h, WM_USER);
    EXPECT_EQ(below, 1);
}

TEST_F(WindowTest, DestructionOrderAndDeadHandles) {
    const HWND top = Make();
    const HWND child = Make(top, {10, 10, 20, 20});
    const HWND grandchild = Make(child, {1, 1, 5, 5});
    log.clear();
    EXPECT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> destroys;
    for (auto& e : log)
        if (e.second == WM_DESTROY || e.second == WM_NCDESTROY) destroys.push_back(e);
    const std::vector<std::pair<HWND, UINT>> want = {{top, WM_DESTROY},        {child, WM_DESTROY},
                                                     {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY},
                                                     {child, WM_NCDESTROY},    {top, WM_NCDESTROY}};
    EXPECT_EQ(destroys, want);
    for (HWND h : {top, child, grandchild}) {
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_EQ(SendMessage(h, WM_USER), 0);
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_EQ(SubclassWindow(h, [](HWND, UINT, WPARAM, LPARAM, const NextProc&) { return LRESULT(0); }), 0u);
        EXPECT_TRUE(GetWindowRect(h).Empty());
        EXPECT_EQ(SetTimer(h, 1, 10), 0u);
    }
    EXPECT_EQ(WindowCount(), 0u);
    // A message posted to a window that is gone is dropped when taken.
    const HWND other = Make();
    PostMessage(top, WM_USER);
    PostMessage(other, WM_USER + 1);
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, other);
    EXPECT_EQ(m.message, WM_USER + 1u);
}

TEST_F(WindowTest, PeekFiltersAndOrder) {
    const HWND a = Make(), b = Make();
    ShowWindow(a, SW_SHOWNA);
    UpdateWindow(a);
    SetTimer(b, 7, 10);
    clock_.Advance(20);
    PostMessage(a, WM_USER + 1);
    PostMessage(b, WM_USER + 2);
    PostMessage(b, WM_KEYDOWN, 'A');
    PostQuitMessage(3);
    InvalidateRect(a, nullptr, false);
    struct Case {
        const char* name;
        HWND hwnd;
        UINT min, max, flags;
        HWND want_hwnd;
        UINT want;
    };
    const Case cases[] = {
        {"first posted", 0, 0, 0, PM_NOREMOVE, a, WM_USER + 1},
        {"window filter", b, 0, 0, PM_NOREMOVE, b, WM_USER + 2},
        {"range filter", 0, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE, b, WM_KEYDOWN},
        {"paint only", 0, 0, 0, PM_NOREMOVE | PM_QS_PAINT, a, WM_PAINT},
        {"timers only", 0, 0, 0, PM_NOREMOVE | PM_QS_TIMER, b, WM_TIMER},
        {"paint and timer, paint first", 0, 0, 0, PM_NOREMOVE | PM_QS_PAINT | PM_QS_TIMER, a, WM_PAINT},
        {"input only", 0, 0, 0, PM_NOREMOVE | PM_QS_INPUT, b, WM_KEYDOWN},
    };
    for (const Case& c : cases) {
        MSG m;
        ASSERT_TRUE(PeekMessage(m, c.hwnd, c.min, c.max, c.flags)) << c.name;
        EXPECT_EQ(m.hwnd, c.want_hwnd) << c.name;
        EXPECT_EQ(m.message, c.want) << c.name;
    }
    // Taking them all: posted, then the quit, then paint, then the timer.
    std::vector<UINT> got;
    MSG m;
    while (got.size() < 10 && PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
        got.push_back(m.message);
        if (m.message == WM_PAINT) ValidateRect(m.hwnd, nullptr);
    }
    EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_KEYDOWN, WM_QUIT, WM_PAINT, WM_TIMER}));
}

TEST_F(WindowTest, TimersOnTheVirtualClockAndStuckLoops) {
    const HWND h = Make();
    int ticks = 0;
    SetTimer(h, 1, 500, [&](HWND, UINT) { ++ticks; });
    const uint64_t start = NowMs();
    MSG m;
    ASSERT_EQ(GetMessage(m), 1);  // the clock jumps to the timer instead of waiting
    DispatchMessage(m);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(NowMs() - start, 500u);
    KillTimer(h, 1);
    clock_.SetAutoAdvance(false);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(GetMessage(m), -1);  // nothing can arrive: fails fast
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(WaitMessage());
}

TEST_F(WindowTest, AnotherThreadCanWakeTheLoop) {
    SetStallLimit(5000);
    std::thread poster([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostThreadMessage(WM_APP + 5, 42);
    });
    MSG m;
    EXPECT_EQ(GetMessage(m), 1);
    EXPECT_EQ(m.message, WM_APP + 5u);
    EXPECT_EQ(m.wParam, 42u);
    poster.join();
    PostQuitMessage(9);
    EXPECT_EQ(GetMessage(m), 0);
    EXPECT_EQ(m.wParam, 9u);
}

TEST_F(WindowTest, PaintComesOnceAndSkipsChildren) {
    const HWND top = Make(0, {0, 0, 40, 40});
    const HWND child = Make(top, {10, 10, 20, 20});
    ShowWindow(child, SW_SHOWNA);
    ShowWindow(top, SW_SHOWNA);
    Pump();
    log.clear();
    InvalidateRect(top, nullptr, true);
    auto surface = GetWindowSurface(top);
    surface->Fill(0);
    Pump();
    const auto top_messages = MessagesOf(top);
    EXPECT_EQ(std::count(top_messages.begin(), top_messages.end(), WM_PAINT), 1);
    EXPECT_TRUE(MessagesOf(child).empty());
    EXPECT_EQ(surface->Pixel(5, 5), GetSysColor(COLOR_BTNFACE));  // erased
    EXPECT_EQ(surface->Pixel(15, 15), 0u);                        // the child's area is not the parent's
    MSG m;
    EXPECT_FALSE(PeekMessage(m, 0, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowTest, FocusAndActivationMessages) {
    const HWND a = Make(), b = Make();
    const HWND a_child = Make(a, {0, 0, 10, 10});
    ShowWindow(a, SW_SHOW);
    ShowWindow(b, SW_SHOWNA);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
    SetFocus(a_child);
    log.clear();
    SetFocus(b);  // activates b, takes the focus from a's child
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);
    auto has = [&](HWND h, UINT msg) {
        auto v = MessagesOf(h);
        return std::find(v.begin(), v.end(), msg) != v.end();
    };
    EXPECT_TRUE(has(a, WM_ACTIVATE));
    EXPECT_TRUE(has(a_child, WM_KILLFOCUS));
    EXPECT_TRUE(has(b, WM_SETFOCUS));
    EXPECT_EQ(GetTopLevelWindows().front(), b);
    DestroyWindow(b);
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(GetFocus(), a);
}

TEST_F(WindowTest, InputGoesToTheWindowUnderThePointOrTheCapture) {
    const HWND top = Make(0, {100, 100, 200, 200});
    const HWND child = Make(top, {10, 10, 50, 50});
    ShowWindow(child, SW_SHOWNA);
    ShowWindow(top, SW_SHOW);
    InjectMouse(MouseAction::Down, MouseButton::Left, {115, 120});
    MSG m;
    ASSERT_TRUE(PeekMessage(m, 0, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(LOWORD_S(m.lParam), 5);
    EXPECT_EQ(HIWORD_S(m.lParam), 10);
    SetCapture(child);
    InjectMouse(MouseAction::Up, MouseButton::Left, {190, 190});
    ASSERT_TRUE(PeekMessage(m, 0, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
    EXPECT_EQ(m.hwnd, child);
    EXPECT_EQ(LOWORD_S(m.lParam), 80);
    EnableWindow(top, false);
    ReleaseCapture();
    InjectMouse(MouseAction::Down, MouseButton::Left, {115, 120});
    EXPECT_FALSE(PeekMessage(m, 0, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
}

}  // namespace
}  // namespace ui
