// The main window's date filter on an X server of the test's own, by real
// keys and the mouse (xdotool): a date typed into the edit, then a day
// picked in the calendar the button drops down; each time the grid must show
// what the same window drawn headless here shows with that filter.
#include "examples/date_filter.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/examples/screen_session.hpp"

namespace {

using testing_examples::FromDate;
using testing_examples::MainWindowTest;
using testing_examples::Pixels;
using testing_examples::ScreenSession;

// Where things are and what the grid shows, measured headless.
struct Expected {
    ui::TPoint edit, button, day;  // screen points to click
    std::string typed;             // the keys of the typed date
    ui::TRect grid, title;         // the grid and the calendar's title (screen)
    std::vector<uint32_t> after_typing, after_picking, calendar_title;
    int rows_typed = 0, rows_picked = 0, rows_all = 0;
};

class DateFilterScreenTest : public MainWindowTest {
protected:
    Expected Measure() {
        Expected e;
        auto w = Open("");
        controls::TDateEdit* edit = FromDate(w.get());
        const ui::HWND top = w->WindowHandle();
        e.rows_all = w->History()->GetFilteredCount();
        e.edit = edit->ClientToScreen({4, 8});
        e.button = edit->Button()->ClientToScreen({edit->ButtonWidth() / 2, 8});
        zurod::TTzGrid* grid = w->Grid();
        const ui::TPoint origin = grid->ClientToScreen({0, 0});
        e.grid = ui::Bounds(origin.x, origin.y, grid->ClientWidth(), grid->ClientHeight());
        // Typed: 1 March 2024, digits only (the mask puts the separators).
        const std::string text = db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 1));
        for (char c : text)
            if (c >= '0' && c <= '9') e.typed += c;
        edit->SetFocus();  // as the click leaves it: the grid draws no focus
        edit->SetText(text);
        Pump();
        e.rows_typed = w->History()->GetFilteredCount();
        e.after_typing = Pixels(top, e.grid);
        // Picked: the 20th in the calendar, which opens on March 2024.
        edit->SetFocus();
        edit->EditButtonClick();
        Pump();
        auto* popup = dynamic_cast<controls::TPopupCalendar*>(edit->Popup());
        controls::TCvCalendar* calendar = popup->Calendar();
        for (int row = 1; row < 7; ++row)
            for (int col = 0; col < 7; ++col)
                if (calendar->DayOfCell(col, row) == 20) {
                    const ui::TRect cell = calendar->CellRect(col, row);
                    e.day = calendar->ClientToScreen({cell.left + cell.Width() / 2, cell.top + 3});
                }
        ui::TLabel* title = popup->TitleLabel();
        const ui::TPoint t = title->ClientToScreen({0, 0});
        e.title = ui::Bounds(t.x, t.y, title->Width(), title->Height());
        e.calendar_title = Pixels(popup->WindowHandle(), e.title);
        edit->ClosePopup(false);
        edit->SetText(db::FormatDate(edit->DateFormat(), db::EncodeDate(2024, 3, 20)));
        Pump();
        e.rows_picked = w->History()->GetFilteredCount();
        e.after_picking = Pixels(top, e.grid);
        return e;
    }
};

TEST_F(DateFilterScreenTest, ATypedDateAndADayPickedInTheCalendarFilterTheHistory) {
    ASSERT_EQ(ScreenSession::Missing(), "");
    const Expected e = Measure();
    ASSERT_LT(e.rows_typed, e.rows_all) << "the typed date shows fewer rows";
    ASSERT_LT(e.rows_picked, e.rows_typed) << "the picked day fewer still";
    ASSERT_NE(e.after_typing, e.after_picking);
    ui::UiReset();

    ScreenSession s(dir_.path());
    ASSERT_EQ(s.Launch(folder_), "");

    // Typed into the edit: the grid shows the history from 1 March 2024.
    s.Click(e.edit);
    s.Xdotool("key Home");
    s.Xdotool("type --delay 30 " + e.typed);
    EXPECT_TRUE(s.Shows(e.grid, e.after_typing)) << "the grid after the typed date";

    // The button drops the calendar down on March 2024; a click on the 20th takes it.
    s.Click(e.button);
    EXPECT_TRUE(s.Shows(e.title, e.calendar_title)) << "the calendar's title: March, 2024";
    s.Click(e.day);
    EXPECT_TRUE(s.Shows(e.grid, e.after_picking)) << "the grid after the day picked";

    EXPECT_EQ(s.Close(), 0) << s.Log();
}

}  // namespace
