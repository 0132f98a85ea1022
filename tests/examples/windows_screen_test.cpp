// The program's windows on an X server with no window manager, driven by
// xdotool: hints shown one after another each stand at their own button with
// their whole text; after a hint, a menu closed with Escape or the folder
// picker closed with Cancel the keys still reach the grid; the calendar
// drops down in front of the main window; and the main window follows a
// size set from outside and a drag of its corner, drawn whole.
#include <functional>
#include <utility>

#include "controls/cvspeedbtn.hpp"
#include "examples/date_filter.hpp"
#include "examples/main_window_parts.hpp"
#include "examples/main_window_tools.hpp"
#include "framework/ui/folder_dialog.hpp"
#include "framework/ui/hints.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::Pixels;
using testing_examples::ScreenSession;
using namespace ui;

struct Hint {
    TPoint at;  // where the pointer rests: the button's centre
    std::string text;
    int width = 0;  // of the hint window with the whole text
};

// Where the headless window put things, in screen pixels.
struct Layout {
    std::vector<Hint> hints;
    TPoint arrow_first, arrow_second;  // the grid's indicator at rows 1 and 2
    TPoint calendar_button;
    TRect calendar_title;
    std::vector<uint32_t> calendar_title_pixels;
    TRect window;
    // The window's bottom-right corner as drawn at two sizes: grown from
    // outside, and after its corner is dragged back in.
    TSize grown, dragged;
    std::vector<uint32_t> grown_corner, dragged_corner;
};

constexpr TPoint kDrag{50, 30};

// The bottom-right 80 x 40 pixels of a window rectangle (screen).
TRect Corner(const TRect& window) { return Bounds(window.right - 80, window.bottom - 40, 80, 40); }

class WindowsScreenTest : public MainWindowTest {
protected:
    Layout Measure() {
        Layout l;
        auto w = Open("");
        auto* bar = demo::FindPart<TPanel>(w.get(), demo::kSpeedBarName);
        const Owned<THintWindow> hint_window(HintWindowClass()(nullptr));
        for (const char* name : {"CV_LAST", "CV_NEXT", "CV_REFRESH"}) {
            auto* b = demo::FindPart<controls::TCvSpeedButton>(bar, name);
            const std::string text = GetShortHint(b->Hint);
            l.hints.push_back({b->ClientToScreen({b->Width() / 2, b->Height() / 2}), text,
                               hint_window->CalcHintRect(Screen().Width(), text, nullptr).Width()});
        }
        zurod::TTzGrid* grid = w->Grid();
        auto arrow = [&](int row) { return testing_examples::IndicatorArrow(grid, row); };
        l.arrow_first = arrow(1), l.arrow_second = arrow(2);
        controls::TDateEdit* edit = nullptr;
        for (TComponent* c : w->Components())
            if (c->Name() == "FromDate") edit = dynamic_cast<controls::TDateEdit*>(c);
        l.calendar_button = edit->Button()->ClientToScreen({edit->ButtonWidth() / 2, 8});
        edit->SetFocus();
        edit->EditButtonClick();
        Pump();
        TLabel* title = dynamic_cast<controls::TPopupCalendar*>(edit->Popup())->TitleLabel();
        const TPoint t = title->ClientToScreen({0, 0});
        l.calendar_title = Bounds(t.x, t.y, title->Width(), title->Height());
        l.calendar_title_pixels = Pixels(edit->Popup()->WindowHandle(), l.calendar_title);
        edit->ClosePopup(false);
        grid->SetFocus();
        const HWND top = w->WindowHandle();
        // At the screen's top-left, where the grown window fits on the test's screen.
        l.window = Bounds(0, 0, w->Width(), w->Height());
        l.grown = {l.window.Width() + 10, l.window.Height() + 80};
        l.dragged = {l.grown.cx - kDrag.x, l.grown.cy - kDrag.y};
        for (auto [size, pixels] : {std::pair{l.grown, &l.grown_corner}, std::pair{l.dragged, &l.dragged_corner}}) {
            w->SetBounds(0, 0, size.cx, size.cy);
            Pump();
            *pixels = Pixels(top, Corner(GetWindowRect(top)));
        }
        return l;
    }
    // Starts the program; its window has the keys and the grid the first record.
    void Start(ScreenSession& s, const Layout& l) {
        ASSERT_EQ(s.Launch(folder_), "");
        ASSERT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_first) == 0; }));
    }
    // Whether Down reaches the grid: the indicator goes from the first row to the second.
    static bool DownMovesTheGrid(ScreenSession& s, const Layout& l) {
        s.Xdotool("key ctrl+Home");
        if (!s.WaitFor([&] { return s.Pixel(l.arrow_first) == 0; })) return false;
        s.Xdotool("key Down");
        return s.WaitFor([&] { return s.Pixel(l.arrow_second) == 0; });
    }
};

TEST_F(WindowsScreenTest, HintsOneAfterAnotherStandAtTheirButtonsWithTheirWholeText) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    UiReset();
    ScreenSession s(dir_.path());
    Start(s, l);
    for (const Hint& h : l.hints) {
        s.Xdotool("mousemove --sync " + s.At(h.at));
        const std::string window = s.WindowNamed(h.text);
        ASSERT_FALSE(window.empty()) << "no hint " << h.text;
        TRect at;
        EXPECT_TRUE(s.WaitFor([&] {
            at = s.Geometry(window);
            return at.left == h.at.x && at.Width() == h.width;
        })) << h.text
            << " at " << at.left << " " << at.Width() << " wide, not " << h.at.x << " " << h.width;
    }
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

TEST_F(WindowsScreenTest, TheKeysComeBackToTheGridAfterHintsMenusAndTheFolderPicker) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    UiReset();
    ScreenSession s(dir_.path());
    Start(s, l);
    struct Case {
        const char* what;
        TPoint pointer;  // where the pointer rests meanwhile
        std::function<void()> act;
    };
    const Case cases[] = {
        {"a hint", l.hints[0].at, [&] { ASSERT_FALSE(s.WindowNamed(l.hints[0].text).empty()); }},
        // Elsewhere each time: a move with --sync waits for the pointer to move.
        {"Alt+F, Esc, Esc", l.arrow_second, [&] { s.Xdotool("key --delay 150 alt+f Escape Escape"); }},
        {"F10, Down, Right, Esc, Esc",
         {l.arrow_second.x + 40, l.arrow_second.y},
         [&] { s.Xdotool("key --delay 150 F10 Down Right Escape Escape"); }},
        {"the folder picker closed with Cancel",
         {l.arrow_second.x + 80, l.arrow_second.y},
         [&] {
             s.Xdotool("key alt+b");  // the button's key: the grid keeps the focus
             const std::string picker = s.WindowNamed(kBrowseCaption);
             ASSERT_FALSE(picker.empty());
             // Cancel: its place in the picker's client area.
             const TRect r = s.Geometry(picker);
             s.Click({r.left + GetSystemMetrics(SM_CXDLGFRAME) + 270,
                      r.top + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION) + 281});
             ASSERT_TRUE(s.NoWindowNamed(kBrowseCaption));
         }},
    };
    for (const Case& c : cases) {
        s.Xdotool("mousemove --sync " + s.At(c.pointer));
        c.act();
        EXPECT_TRUE(DownMovesTheGrid(s, l)) << c.what;
        s.FocusNamed(ScreenSession::kMainWindowName);  // the next case starts with the keys where they belong
    }
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

TEST_F(WindowsScreenTest, TheCalendarDropsDownInFrontOfTheMainWindow) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    UiReset();
    ScreenSession s(dir_.path());
    Start(s, l);
    // Twice: the second time the calendar's window is shown again.
    for (int time = 1; time <= 2; ++time) {
        s.Xdotool("mousemove --sync " + s.At(l.arrow_second));  // (--sync waits for a move)
        s.Click(l.calendar_button);
        EXPECT_TRUE(s.Shows(l.calendar_title, l.calendar_title_pixels)) << time;
        s.Xdotool("key Escape");
        EXPECT_TRUE(s.Changes(l.calendar_title, l.calendar_title_pixels)) << time;
    }
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

TEST_F(WindowsScreenTest, TheMainWindowFollowsASizeSetFromOutsideAndADragOfItsCorner) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    UiReset();
    ScreenSession s(dir_.path());
    Start(s, l);
    const std::string window = s.WindowNamed(ScreenSession::kMainWindowName);
    // Moved and sized from outside, as a window manager does: laid out and drawn whole at the new size.
    s.Xdotool("windowmove " + window + " 0 0");
    const TRect grown = Bounds(0, 0, l.grown.cx, l.grown.cy);
    s.Xdotool("windowsize " + window + " " + std::to_string(grown.Width()) + " " + std::to_string(grown.Height()));
    EXPECT_TRUE(s.Shows(Corner(grown), l.grown_corner)) << "the grown window's corner";
    // The bottom-right corner dragged back in: the window follows the pointer.
    const TPoint corner{grown.right - 2, grown.bottom - 2}, to{corner.x - kDrag.x, corner.y - kDrag.y};
    s.Xdotool("mousemove --sync " + s.At(corner) + " mousedown 1 mousemove --sync " +
              s.At({corner.x - 10, corner.y - 10}) + " mousemove --sync " + s.At(to) + " mouseup 1");
    const TRect dragged = Bounds(0, 0, l.dragged.cx, l.dragged.cy);
    TRect now;
    EXPECT_TRUE(s.WaitFor([&] { return (now = s.Geometry(window)) == dragged; })) << now.Width() << "x" << now.Height();
    EXPECT_TRUE(s.Shows(Corner(dragged), l.dragged_corner)) << "the dragged window's corner";
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

}  // namespace
