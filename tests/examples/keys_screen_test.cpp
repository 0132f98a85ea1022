// Keys typed at a person's pace on an X server of the test's own without a
// window manager, by xdotool: Alt held down first and F pressed 40 ms later
// opens File's drop-down, which stays open when Alt goes up; Alt+Down typed
// the same way in the date edit opens the calendar, and once Alt is up PgDn
// turns the calendar's month while the menu bar stays as it was.
#include "controls/dateedit.hpp"
#include "controls/pickdate.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::MainWindowTest;
using testing_examples::Pixels;
using testing_examples::ScreenSession;

// Where the headless window put things, in screen pixels, and what they show.
struct Layout {
    ui::TPoint arrow_first;      // the grid's indicator on the first row: black once the program is ready
    ui::TRect below_file, file;  // where File's menu drops down; File on the bar
    ui::TRect title;             // the calendar's title
    std::string typed;           // the keys of 1 March 2024 in the date edit
    std::vector<uint32_t> file_plain, march, april;
};

class KeysScreenTest : public MainWindowTest {
protected:
    Layout Measure() {
        Layout l;
        auto w = Open("");
        zurod::TTzGrid* grid = w->Grid();
        l.arrow_first = testing_examples::IndicatorArrow(grid, 1);
        EXPECT_TRUE(ui::GetMenuItemRect(w->WindowHandle(), w->Menus().main->Handle(), 0, l.file));
        l.below_file = ui::Bounds(l.file.left, l.file.bottom + 2, 60, 30);
        l.file_plain = Pixels(w->WindowHandle(), l.file);
        controls::TDateEdit* edit = nullptr;
        for (ui::TComponent* part : w->Components())
            if (part->Name() == "FromDate") edit = dynamic_cast<controls::TDateEdit*>(part);
        if (!edit) return l;
        const std::string text = db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 1));
        for (char c : text)
            if (c >= '0' && c <= '9') l.typed += c;
        edit->SetFocus();
        edit->SetText(text);
        edit->EditButtonClick();
        Pump();
        auto* popup = dynamic_cast<controls::TPopupCalendar*>(edit->Popup());
        ui::TLabel* title = popup->TitleLabel();
        const ui::TPoint t = title->ClientToScreen({0, 0});
        l.title = ui::Bounds(t.x, t.y, title->Width(), title->Height());
        l.march = Pixels(popup->WindowHandle(), l.title);
        popup->Calendar()->MonthForward();
        Pump();
        l.april = Pixels(popup->WindowHandle(), l.title);
        edit->ClosePopup(false);
        return l;
    }
};

TEST_F(KeysScreenTest, AltHeldBeforeTheLetterOrTheArrowAsAPersonTypesIt) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Layout l = Measure();
    ASSERT_FALSE(l.typed.empty());
    ASSERT_NE(l.march, l.april);
    ui::UiReset();

    {
        ScreenSession s(dir_.path() + "/file");
        ASSERT_EQ(s.Launch(folder_), "");
        ASSERT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_first) == 0; }));
        const std::vector<uint32_t> closed = s.Grab(l.below_file);
        s.Xdotool("keydown alt sleep 0.04 key f");
        EXPECT_TRUE(s.Changes(l.below_file, closed)) << "File's menu did not drop down";
        s.Xdotool("keyup alt");
        // Still open after Alt went up: x is its Exit.
        s.Xdotool("key x");
        EXPECT_EQ(s.WaitForExit(), 0) << s.Log();
    }

    ScreenSession s(dir_.path() + "/date");
    ASSERT_EQ(s.Launch(folder_), "");
    ASSERT_TRUE(s.WaitFor([&] { return s.Pixel(l.arrow_first) == 0; }));
    s.Xdotool("key alt+m Home");
    s.Xdotool("type --delay 30 " + l.typed);
    s.Xdotool("keydown alt sleep 0.04 key Down");
    EXPECT_TRUE(s.Shows(l.title, l.march)) << "the calendar on March 2024";
    s.Xdotool("keyup alt");
    s.Xdotool("key Next");
    EXPECT_TRUE(s.Shows(l.title, l.april)) << "PgDn turns the calendar to April";
    EXPECT_TRUE(s.Shows(l.file, l.file_plain)) << "the menu bar is not active";
    EXPECT_EQ(s.Close(), 0) << s.Log();
}

}  // namespace
