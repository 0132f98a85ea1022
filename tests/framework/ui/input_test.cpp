// Input at the window level: modifiers, activation by the mouse, popups,
// the wheel, entering and leaving, cursors, cancel mode and the caption.
#include "framework/ui/forms.hpp"
#include "framework/ui/screen_keyboard.hpp"
#include "framework/ui/stdctrls.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class InputTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterWindowClass({"Logged",
                             [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
                                 log.push_back({h, m, w, l});
                                 if (m == WM_MOUSEACTIVATE && answers.count(h)) return answers[h];
                                 return next(h, m, w, l);
                             },
                             CS_DBLCLKS, clBtnFace});
    }
    HWND Make(TRect r, uint32_t style = WS_POPUP | WS_VISIBLE, HWND parent = 0, uint32_t ex = 0) {
        CreateParams p;
        p.class_name = "Logged";
        p.style = style;
        p.ex_style = ex;
        p.parent = parent;
        p.rect = r;
        return CreateWindow(p);
    }
    std::vector<MSG> Of(HWND h, UINT m) const {
        std::vector<MSG> out;
        for (const MSG& x : log)
            if (x.hwnd == h && x.message == m) out.push_back(x);
        return out;
    }
    void Click(TPoint p, unsigned mods = 0) {
        InjectMouse(MouseAction::Down, MouseButton::Left, p, mods);
        InjectMouse(MouseAction::Up, MouseButton::Left, p, mods);
        Pump();
    }
    std::vector<MSG> log;
    std::map<HWND, LRESULT> answers;
};

TEST_F(InputTest, KeysAndClicksCarryTheModifiers) {
    auto f = ui::Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 100, 100);
    std::vector<TShiftState> keys, clicks;
    f->OnKeyDown = [&](TObject*, UINT&, TShiftState s) { keys.push_back(s); };
    f->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) { clicks.push_back(s); };
    f->Show();
    Pump();
    struct Case {
        unsigned mods;
        TShiftState want;
    };
    const Case cases[] = {{0, 0},
                          {kShift, ssShift},
                          {kControl, ssCtrl},
                          {kAlt, ssAlt},
                          {kShift | kControl, ssShift | ssCtrl},
                          {kControl | kAlt, ssCtrl | ssAlt}};
    for (const Case& c : cases) {
        InjectKey(VK_HOME, true, c.mods);
        InjectKey(VK_HOME, false, c.mods);
        Click({10, 10}, c.mods);
        EXPECT_EQ(GetKeyState(VK_SHIFT) < 0, (c.mods & kShift) != 0);
        EXPECT_EQ(GetKeyState(VK_CONTROL) < 0, (c.mods & kControl) != 0);
    }
    ASSERT_EQ(keys.size(), std::size(cases));
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], cases[i].want) << i;
        EXPECT_EQ(clicks[i] & (ssShift | ssCtrl | ssAlt), cases[i].want) << i;
    }
    // Alt alone is a system key; with a letter the character follows.
    log.clear();
    const HWND plain = Make({200, 0, 300, 100});
    SetFocus(plain);
    InjectKey('O', true, kAlt);
    Pump();
    ASSERT_EQ(Of(plain, WM_SYSKEYDOWN).size(), 1u);
    ASSERT_EQ(Of(plain, WM_SYSCHAR).size(), 1u);
    EXPECT_EQ(Of(plain, WM_SYSCHAR)[0].wParam, WPARAM('o'));
    InjectKey('O', true, kAlt | kControl);  // AltGr-like: an ordinary key
    Pump();
    EXPECT_EQ(Of(plain, WM_KEYDOWN).size(), 1u);
}

TEST_F(InputTest, AScreensFocusMoveBetweenTheProgramsWindowsIsNoKey) {
    const HWND w = Make({0, 0, 100, 100});
    SetFocus(w);
    using Reports = std::function<void(ScreenKeyboard&)>;
    struct Case {
        const char* name;
        Reports reports;
        std::vector<std::pair<UINT, WPARAM>> want;  // key messages to the focus
    };
    const Case cases[] = {
        {"held across the move",
         [](ScreenKeyboard& k) {
             k.Key('A', true, 0), k.Key('A', false, 0, false, true), k.FocusTaken(), k.Key('A', true, 0);
             k.Key('A', false, 0);
         },
         {{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}}},
        {"released while the focus moved",
         [](ScreenKeyboard& k) { k.Key('A', true, 0), k.Key('A', false, 0, false, true), k.FocusTaken(), k.Other(); },
         {{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}}},
        {"alt released while the focus was away is not told",
         [](ScreenKeyboard& k) {
             k.Key(VK_MENU, true, kAlt), k.Key(VK_MENU, false, 0, false, true), k.FocusTaken(), k.Other();
         },
         {{WM_SYSKEYDOWN, VK_MENU}}},
        {"a key first pressed after the move",
         [](ScreenKeyboard& k) { k.FocusTaken(), k.Key('B', true, 0); },
         {{WM_KEYDOWN, 'B'}}},
    };
    for (const Case& c : cases) {
        log.clear();
        ScreenKeyboard keyboard;
        c.reports(keyboard);
        Pump();
        std::vector<std::pair<UINT, WPARAM>> got;
        for (const MSG& m : log)
            if (m.hwnd == w && m.message >= WM_KEYDOWN && m.message <= WM_SYSKEYUP && m.message != WM_CHAR)
                got.push_back({m.message, m.wParam});
        EXPECT_EQ(got, c.want) << c.name;
    }
}

TEST_F(InputTest, APressAsksTheWindowAndItsParentsBeforeItActivates) {
    const HWND main = Make({0, 0, 100, 100});
    const HWND popup = Make({200, 0, 300, 100});
    const HWND inner = Make({10, 10, 50, 50}, WS_CHILD | WS_VISIBLE, popup);
    SetActiveWindow(main);
    SetFocus(main);
    answers[popup] = MA_NOACTIVATE;  // a drop-down: clicks in it leave the form active
    log.clear();
    Click({220, 20});
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(GetFocus(), main);
    EXPECT_EQ(Of(inner, WM_MOUSEACTIVATE).size(), 1u);
    EXPECT_EQ(Of(popup, WM_MOUSEACTIVATE).size(), 1u);  // asked by the child's default
    EXPECT_EQ(Of(inner, WM_LBUTTONDOWN).size(), 1u);    // the click itself arrives
    answers[popup] = MA_ACTIVATEANDEAT;
    log.clear();
    Click({220, 20});
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_TRUE(Of(inner, WM_LBUTTONDOWN).empty());  // eaten
    answers[main] = MA_NOACTIVATEANDEAT;
    log.clear();
    Click({20, 20});
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_TRUE(Of(main, WM_LBUTTONDOWN).empty());
    EXPECT_EQ(Of(main, WM_LBUTTONUP).size(), 1u);  // only the press is eaten
    // A window made never to activate says so itself.
    const HWND tip = Make({400, 0, 500, 100}, WS_POPUP | WS_VISIBLE, 0, WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    Click({420, 20});
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_EQ(Of(tip, WM_LBUTTONUP).size(), 1u);
}

TEST_F(InputTest, TheWheelGoesToTheFocusAndUpToTheParents) {
    const HWND top = Make({0, 0, 100, 100});
    const HWND child = Make({10, 10, 50, 50}, WS_CHILD | WS_VISIBLE, top);
    const HWND other = Make({200, 0, 300, 100});
    SetActiveWindow(top);
    SetFocus(child);
    InjectMouse(MouseAction::Wheel, MouseButton::Left, {250, 50}, kShift, -120);
    Pump();
    ASSERT_EQ(Of(child, WM_MOUSEWHEEL).size(), 1u);
    const MSG m = Of(child, WM_MOUSEWHEEL)[0];
    EXPECT_EQ(int16_t(m.wParam >> 16), -120);
    EXPECT_TRUE(m.wParam & MK_SHIFT);
    EXPECT_EQ(Of(top, WM_MOUSEWHEEL).size(), 1u);  // not handled: passed up
    EXPECT_TRUE(Of(other, WM_MOUSEWHEEL).empty());
}

TEST_F(InputTest, ControlsHearTheMouseComeAndGo) {
    auto f = ui::Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 200, 100);
    auto* a = new TPanel(f.get());
    a->SetParent(f.get());
    a->SetBounds(0, 0, 100, 100);
    auto* b = new TPanel(f.get());
    b->SetParent(f.get());
    b->SetBounds(100, 0, 100, 100);
    std::vector<std::string> events;
    a->OnMouseEnter = [&](TObject*) { events.push_back("enter a"); };
    a->OnMouseLeave = [&](TObject*) { events.push_back("leave a"); };
    b->OnMouseEnter = [&](TObject*) { events.push_back("enter b"); };
    b->OnMouseLeave = [&](TObject*) { events.push_back("leave b"); };
    f->Show();
    for (TPoint p : {TPoint{10, 10}, TPoint{20, 10}, TPoint{150, 10}})
        InjectMouse(MouseAction::Move, MouseButton::Left, p);
    InjectMouseLeave();  // out of the program's windows
    Pump();
    EXPECT_EQ(events, (std::vector<std::string>{"enter a", "leave a", "enter b", "leave b"}));
}

TEST_F(InputTest, TheCursorComesFromTheScreenOrTheControlUnderThePointer) {
    struct CursorDisplay : testing_ui::RecordingDisplay {
        std::vector<HCURSOR> shown;
        void ShowCursor(HCURSOR c, const CursorResource* image) override {
            if (image) shown.push_back(c);
        }
    } display;
    auto f = ui::Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 200, 100);
    auto* hand = new TPanel(f.get());
    hand->SetParent(f.get());
    hand->SetBounds(0, 0, 100, 100);
    const HCURSOR custom = LoadStandardCursor(IDC_HAND);
    Screen().SetCursors(14000, custom);
    hand->SetCursor(14000);
    auto* edit = new TEdit(f.get());
    edit->SetParent(f.get());
    edit->SetBounds(110, 10, 80, 21);
    f->Show();
    InstallDisplay(&display);
    InjectMouse(MouseAction::Move, MouseButton::Left, {50, 50});
    Pump();
    EXPECT_EQ(GetCursor(), custom);
    InjectMouse(MouseAction::Move, MouseButton::Left, {150, 20});
    Pump();
    EXPECT_EQ(GetCursor(), LoadStandardCursor(IDC_IBEAM));
    InjectMouse(MouseAction::Move, MouseButton::Left, {150, 80});
    Pump();
    EXPECT_EQ(GetCursor(), LoadStandardCursor(IDC_ARROW));
    Screen().SetCursor(crHourGlass);  // shown at once, over everything
    EXPECT_EQ(GetCursor(), Screen().Cursors(crHourGlass));
    InjectMouse(MouseAction::Move, MouseButton::Left, {50, 50});
    Pump();
    EXPECT_EQ(GetCursor(), Screen().Cursors(crHourGlass));
    Screen().SetCursor(crDefault);
    EXPECT_EQ(display.shown,
              (std::vector<HCURSOR>{custom, LoadStandardCursor(IDC_IBEAM), LoadStandardCursor(IDC_ARROW),
                                    Screen().Cursors(crHourGlass), LoadStandardCursor(IDC_ARROW)}));
    InstallDisplay(nullptr);
}

TEST_F(InputTest, CancelModeEndsTheCaptureWhenItsWindowGoesInactiveOrDisabled) {
    const HWND a = Make({0, 0, 100, 100});
    const HWND b = Make({200, 0, 300, 100});
    for (bool disable : {false, true}) {
        SetActiveWindow(a);
        SetCapture(a);
        log.clear();
        if (disable)
            EnableWindow(a, false);
        else
            SetActiveWindow(b);
        EXPECT_EQ(Of(a, WM_CANCELMODE).size(), 1u);
        EXPECT_EQ(GetCapture(), 0u);
        EnableWindow(a, true);
    }
    // A control's press in progress is forgotten.
    auto f = ui::Make<TForm>(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 200, 100, 100);
    int clicks = 0;
    f->OnClick = [&](TObject*) { ++clicks; };
    f->Show();
    InjectMouse(MouseAction::Down, MouseButton::Left, {10, 210});
    Pump();
    EXPECT_EQ(GetCapture(), f->Handle());
    SetActiveWindow(b);
    InjectMouse(MouseAction::Up, MouseButton::Left, {10, 210});
    Pump();
    EXPECT_EQ(clicks, 0);
}

TEST_F(InputTest, TheCaptionMovesTheWindowAndItsDoubleClickMaximises) {
    const HWND h = Make({100, 100, 300, 250}, WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_VISIBLE);
    ShowWindow(h, SW_SHOW);
    const TPoint caption{150, 110};
    ASSERT_EQ(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(caption.x, caption.y)), HTCAPTION);
    InjectMouse(MouseAction::Down, MouseButton::Left, caption);
    InjectMouse(MouseAction::Move, MouseButton::Left, {170, 140});
    InjectMouse(MouseAction::Move, MouseButton::Left, {180, 150});
    InjectMouse(MouseAction::Up, MouseButton::Left, {180, 150});
    Pump();
    EXPECT_EQ(GetWindowRect(h), (TRect{130, 140, 330, 290}));
    EXPECT_EQ(GetCapture(), 0u);
    // Escape puts a drag back.
    InjectMouse(MouseAction::Down, MouseButton::Left, {180, 150});
    InjectMouse(MouseAction::Move, MouseButton::Left, {400, 400});
    InjectKey(VK_ESCAPE, true);
    Pump();
    EXPECT_EQ(GetWindowRect(h).left, 130);
    InjectMouse(MouseAction::Up, MouseButton::Left, {400, 400});
    InjectMouse(MouseAction::DoubleClick, MouseButton::Left, {180, 150});
    InjectMouse(MouseAction::Up, MouseButton::Left, {180, 150});
    Pump();
    EXPECT_TRUE(IsZoomed(h));
    EXPECT_EQ(GetWindowRect(h), (TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
    InjectMouse(MouseAction::DoubleClick, MouseButton::Left, {180, 10});
    InjectMouse(MouseAction::Up, MouseButton::Left, {180, 10});
    Pump();
    EXPECT_FALSE(IsZoomed(h));
    EXPECT_EQ(GetWindowRect(h), (TRect{130, 140, 330, 290}));
}

}  // namespace
}  // namespace ui
