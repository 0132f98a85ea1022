// The window system's one state owner: a reset leaves nothing of the last
// test behind and keeps what the program registered; a shutdown drops it all.
#include <functional>

#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"
#include "platform/events.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

class StateTest : public testing_ui::UiTest {};

TEST_F(StateTest, ResetStartsEveryPartAfresh) {
    auto form = Make<TForm>(nullptr);
    form->SetBounds(0, 0, 100, 80);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    testing_ui::RecordingDisplay display;
    VirtualClock other_clock;
    struct Part {
        const char* name;
        std::function<void()> dirty;
        std::function<bool()> fresh;
    };
    const Part parts[] = {
        {"system colours", [] { SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3)); },
         [] { return GetSysColor(COLOR_BTNFACE) == RGB(212, 208, 200); }},
        {"system metrics", [] { SetSystemMetric(SM_CYCAPTION, 40); },
         [] { return GetSystemMetrics(SM_CYCAPTION) == 19; }},
        {"windows", [&] { form->Show(); }, [] { return WindowCount() == 0; }},
        {"focus and activation", [&] { panel->SetFocus(); }, [] { return GetFocus() == 0 && GetActiveWindow() == 0; }},
        {"screen", [&] { Screen().SetCursor(crHourGlass); },
         [] { return Screen().Cursor() == crDefault && Screen().ActiveForm() == nullptr; }},
        {"mouse capture", [&] { SetCaptureControl(panel); },
         [] { return CaptureControl() == nullptr && GetCapture() == 0; }},
        {"application", [] { Application().Terminate(); }, [] { return !Application().Terminated(); }},
        {"posted messages", [] { PostThreadMessage(WM_APP); },
         [] {
             MSG m;
             return !PeekMessage(m, 0, 0, 0, PM_NOREMOVE);
         }},
        {"timers", [] { SetTimer(0, 0, 10); }, [] { return GetMessage(*std::make_unique<MSG>()) == -1; }},
        {"keys", [] { InjectKey(VK_SHIFT, true); }, [] { return GetKeyState(VK_SHIFT) >= 0; }},
        {"clock", [&] { InstallClock(&other_clock); }, [&] { return InstallClock(nullptr) != &other_clock; }},
        {"display", [&] { InstallDisplay(&display); }, [] { return CurrentDisplay() == nullptr; }},
    };
    for (const Part& p : parts) p.dirty();
    const HWND last = form->WindowHandle();
    UiReset();
    SetStallLimit(0);
    EXPECT_EQ(display.destroyed, 1);  // the shown form
    for (const Part& p : parts) EXPECT_TRUE(p.fresh()) << p.name;
    // Handles are never given again, and the control's handle is seen to be gone.
    EXPECT_FALSE(form->HandleAllocated());
    EXPECT_GT(form->Handle(), last);
    EXPECT_EQ(TWinControl::FromHandle(last), nullptr);
}

TEST_F(StateTest, ResetKeepsWhatTheProgramRegistered) {
    RegisterWindowClass({"Kept", nullptr, 0, std::nullopt});
    RegisterResourceString(4711, "kept");
    RegisterCursorResource("KEPTCUR", {BitmapFromArt({"X"}, {}), MaskFromArt({"."}, '.'), {0, 0}});
    const HCURSOR cursor = LoadCursor("KEPTCUR");
    Screen().SetCursors(14000, cursor);
    UiReset();
    EXPECT_TRUE(IsWindowClassRegistered("Kept"));
    EXPECT_EQ(LoadStr(4711), "kept");
    EXPECT_EQ(Screen().Cursors(14000), cursor);
    EXPECT_NE(CursorOf(cursor), nullptr);
}

TEST_F(StateTest, ShutdownDropsEverythingAndTheNextUseStartsAgain) {
    RegisterWindowClass({"Gone", nullptr, 0, std::nullopt});
    const HWND h = CreateWindow({"Gone", "", WS_POPUP | WS_VISIBLE, 0, {0, 0, 10, 10}, 0, 0, 0});
    ASSERT_TRUE(IsWindow(h));
    UiShutdown();
    EXPECT_FALSE(IsWindow(h));  // the first use after the shutdown starts the state again
    EXPECT_FALSE(IsWindowClassRegistered("Gone"));
    EXPECT_EQ(WindowCount(), 0u);
    InstallClock(&clock_);
    SetStallLimit(50);
    auto form = Make<TForm>(nullptr);
    form->Show();
    Pump();
    EXPECT_TRUE(form->Showing());
    EXPECT_EQ(Screen().FormCount(), 1);
}

// The class library's part comes with the state, not with its first use: after
// a start that only the window system made, the application's event pump
// already serves the engine's waits.
TEST_F(StateTest, TheClassLibrarysPartStartsWithTheState) {
    UiShutdown();
    int seen = 0;
    RegisterWindowClass({"Pumped",
                         [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
                             if (m == WM_APP) ++seen;
                             return next(h, m, w, l);
                         },
                         0, std::nullopt});
    InstallClock(&clock_);
    SetStallLimit(50);
    const HWND h = CreateWindow({"Pumped", "", WS_POPUP, 0, {0, 0, 10, 10}, 0, 0, 0});
    ASSERT_TRUE(PostMessage(h, WM_APP));
    platform::ProcessPendingEvents(platform::EventFilter::All);
    EXPECT_EQ(seen, 1);
}

}  // namespace
}  // namespace ui
