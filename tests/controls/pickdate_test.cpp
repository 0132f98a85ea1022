// The month grid, the popup calendar and the date dialog: where days lie,
// month and year steps at the months' ends, keys, colours seen at chosen
// pixels, and the dialog's keys through its modal loop.
#include "controls/pickdate.hpp"

#include "tests/controls/date_fixture.hpp"

namespace controls {
namespace {

using namespace ui;
using testing_dates::D;

class CalendarTest : public testing_dates::DateTest {
protected:
    TCvCalendar* NewCalendar() {
        auto* c = new TCvCalendar(form.get());
        c->SetParent(form.get());
        c->SetBounds(0, 0, 7 * 40 + 2, 7 * 24 + 2);
        return c;
    }
};

TEST_F(CalendarTest, TheFirstOfTheMonthSitsUnderItsWeekday) {
    struct Case {
        int year, month;
        TDayOfWeekName start;
        int offset, col, row;
    };
    const Case cases[] = {
        {2025, 9, Mon, 1, 0, 1},                             // begins on a Monday
        {2025, 6, Mon, -5, 6, 1},                            // begins on a Sunday: the last column of the first week
        {2025, 6, Sun, 1, 0, 1},  {2026, 2, Mon, -5, 6, 1},  // 1 February 2026 is a Sunday
        {2026, 1, Mon, -2, 3, 1},                            // a Thursday
        {2026, 1, Sat, -4, 5, 1},
    };
    for (const Case& c : cases) {
        TCvCalendar* cal = NewCalendar();
        cal->SetStartOfWeek(c.start);
        cal->SetCalendarDate(D(c.year, c.month, 1));
        EXPECT_EQ(cal->MonthOffset(), c.offset) << c.year << "-" << c.month;
        EXPECT_EQ(cal->DayCellText(c.col, c.row), "1") << c.year << "-" << c.month;
        EXPECT_EQ(cal->Col(), c.col);
        EXPECT_EQ(cal->Row(), c.row);
        Free(cal);
    }
}

TEST_F(CalendarTest, DayNamesAndCellsOutsideTheMonth) {
    TCvCalendar* cal = NewCalendar();
    cal->SetCalendarDate(D(2026, 2, 14));  // February 2026: 28 days, from a Sunday
    EXPECT_EQ(cal->DayCellText(0, 0), "Mon");
    EXPECT_EQ(cal->DayCellText(6, 0), "Sun");
    EXPECT_EQ(cal->DayCellText(0, 1), "");
    EXPECT_EQ(cal->DayCellText(6, 1), "1");
    EXPECT_EQ(cal->DayCellText(5, 5), "28");
    EXPECT_EQ(cal->DayCellText(6, 5), "");
    EXPECT_EQ(cal->DayCellText(0, 6), "");
    cal->SetStartOfWeek(Wed);
    EXPECT_EQ(cal->DayCellText(0, 0), "Wed");
}

TEST_F(CalendarTest, StepsAndPartsKeepTheDayWithinTheMonth) {
    struct Case {
        const char* name;
        TDateTime from;
        std::function<void(TCvCalendar*)> act;
        TDateTime to;
    };
    const Case cases[] = {
        {"year forward from 29 February", D(2024, 2, 29), [](TCvCalendar* c) { c->YearForward(); }, D(2025, 2, 28)},
        {"year back from 29 February", D(2024, 2, 29), [](TCvCalendar* c) { c->YearBack(); }, D(2023, 2, 28)},
        {"month forward from 31 January", D(2025, 1, 31), [](TCvCalendar* c) { c->MonthForward(); }, D(2025, 2, 28)},
        {"month back from 31 March", D(2024, 3, 31), [](TCvCalendar* c) { c->MonthBack(); }, D(2024, 2, 29)},
        {"month forward over the year", D(2025, 12, 15), [](TCvCalendar* c) { c->MonthForward(); }, D(2026, 1, 15)},
        {"day 31 in a 30-day month", D(2025, 4, 10), [](TCvCalendar* c) { c->SetDay(31); }, D(2025, 4, 10)},
        {"day 0", D(2025, 4, 10), [](TCvCalendar* c) { c->SetDay(0); }, D(2025, 4, 10)},
        {"month 13", D(2025, 4, 10), [](TCvCalendar* c) { c->SetMonth(13); }, D(2025, 4, 10)},
        {"month clamps the day", D(2025, 3, 31), [](TCvCalendar* c) { c->SetMonth(4); }, D(2025, 4, 30)},
        {"year 0", D(2025, 4, 10), [](TCvCalendar* c) { c->SetYear(0); }, D(2025, 4, 10)},
        {"the last month there is", D(9999, 12, 5), [](TCvCalendar* c) { c->MonthForward(); }, D(9999, 12, 5)},
        {"an invalid date", D(2025, 4, 10), [](TCvCalendar* c) { c->SetCalendarDate(1e9); }, D(2025, 4, 10)},
    };
    TCvCalendar* cal = NewCalendar();
    int changes = 0;
    cal->OnChange = [&](TObject*) { ++changes; };
    for (const Case& c : cases) {
        cal->SetCalendarDate(c.from);
        changes = 0;
        c.act(cal);
        EXPECT_EQ(cal->CalendarDate(), c.to) << c.name;
        EXPECT_EQ(changes > 0, c.to != c.from) << c.name;
    }
}

TEST_F(CalendarTest, KeysMoveTheDateAndTTakesToday) {
    struct Case {
        UINT key;
        char ch;
        TDateTime from, to;
    };
    const Case cases[] = {
        {VK_LEFT, 0, D(2026, 3, 1), D(2026, 2, 28)},   // over the month's start
        {VK_RIGHT, 0, D(2026, 2, 28), D(2026, 3, 1)},  // over its end
        {VK_SUBTRACT, 0, D(2026, 3, 10), D(2026, 3, 9)}, {VK_ADD, 0, D(2026, 3, 10), D(2026, 3, 11)},
        {VK_DOWN, 0, D(2026, 3, 10), D(2026, 3, 17)},  // a week on
        {VK_UP, 0, D(2026, 3, 3), D(2026, 3, 3)},      // no week before in the month
        {0, 't', D(2020, 1, 1), D(2026, 6, 15)},         {0, 'T', D(2020, 1, 1), D(2026, 6, 15)},
    };
    TCvCalendar* cal = NewCalendar();
    cal->TabStop = true;
    Show();
    cal->SetFocus();
    for (const Case& c : cases) {
        cal->SetCalendarDate(c.from);
        if (c.key)
            Key(c.key);
        else
            Type(std::string(1, c.ch));
        EXPECT_EQ(cal->CalendarDate(), c.to) << c.key << " " << c.ch;
    }
}

TEST_F(CalendarTest, AClickOnADayTakesItAndReadOnlyRefuses) {
    TCvCalendar* cal = NewCalendar();
    cal->SetCalendarDate(D(2026, 6, 15));
    Show();
    const TRect cell = cal->CellRect(2, 3);  // Wednesday of the third week: 17 June
    Click(cal->ClientToScreen({cell.left + 5, cell.top + 5}));
    EXPECT_EQ(cal->CalendarDate(), D(2026, 6, 17));
    const TRect empty = cal->CellRect(4, 5);  // after the 30th
    Click(cal->ClientToScreen({empty.left + 5, empty.top + 5}));
    EXPECT_EQ(cal->CalendarDate(), D(2026, 6, 17));
    cal->ReadOnly = true;
    Click(cal->ClientToScreen({cell.left - 30, cell.top + 5}));
    EXPECT_EQ(cal->CalendarDate(), D(2026, 6, 17));
}

TEST_F(CalendarTest, WeekendsInTheirColourAndTheSelectedDayHighlighted) {
    TCvCalendar* cal = NewCalendar();
    cal->SetColor(clWhite);
    cal->SetWeekendColor(clGreen);
    cal->SetWeekends(DaySet({Sat, Sun}));
    cal->SetCalendarDate(D(2026, 6, 10));
    Show();
    auto ink = [&](int col, int row) {
        // Any pixel of the cell's text that is not the ground.
        const TRect r = cal->CellRect(col, row).Inflate(-2, -2);
        const COLORREF ground = At(cal, r.left, r.top);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (At(cal, x, y) != ground) return std::make_pair(ground, At(cal, x, y));
        return std::make_pair(ground, ground);
    };
    const auto saturday = ink(5, 2), monday = ink(0, 2), selected = ink(cal->Col(), cal->Row());
    EXPECT_EQ(saturday.second, ColorToRGB(clGreen));
    EXPECT_EQ(monday.second, ColorToRGB(clBlack));
    EXPECT_EQ(selected.first, ColorToRGB(clHighlight));
    EXPECT_EQ(ink(6, 0).second, ColorToRGB(clGreen)) << "the day name of a weekend day";
}

class PopupCalendarTest : public testing_dates::DateTest {
protected:
    void SetUp() override {
        DateTest::SetUp();
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 120, 21);
        popup = NewPopupCalendar(form.get(), edit);
        Show();
    }
    TEdit* edit = nullptr;
    TPopupCalendar* popup = nullptr;
};

TEST_F(PopupCalendarTest, ValuesThatAreNoDateShowToday) {
    struct Case {
        TPopupValue value;
        TDateTime shown;
    };
    const Case cases[] = {
        {TPopupValue{}, D(2026, 6, 15)},
        {TPopupValue{std::string("  /  /    ")}, D(2026, 6, 15)},
        {TPopupValue{std::string("")}, D(2026, 6, 15)},
        {TPopupValue{std::string("31/02/2025")}, D(2026, 6, 15)},
        {TPopupValue{std::string("not a date")}, D(2026, 6, 15)},
        {TPopupValue{std::string("05/03/2025")}, D(2025, 3, 5)},
        {TPopupValue{D(2024, 2, 29)}, D(2024, 2, 29)},
        {TPopupValue{1e12}, D(2026, 6, 15)},
    };
    for (const Case& c : cases) {
        popup->Calendar()->SetCalendarDate(D(2000, 1, 1));
        popup->ShowValue(c.value);
        EXPECT_EQ(std::get<double>(popup->CurrentValue()), c.shown) << PopupValueText(c.value);
    }
    EXPECT_EQ(popup->TitleLabel()->Caption(), "June, 2026");
}

TEST_F(PopupCalendarTest, PagesMonthsAndYearsAndTheTitleFollows) {
    popup->ShowValue(D(2026, 1, 31));
    struct Case {
        UINT key;
        TShiftState shift;
        TDateTime to;
        const char* title;
    };
    const Case cases[] = {
        {VK_NEXT, 0, D(2026, 2, 28), "February, 2026"}, {VK_NEXT, ssCtrl, D(2027, 2, 28), "February, 2027"},
        {VK_PRIOR, 0, D(2027, 1, 28), "January, 2027"}, {VK_PRIOR, ssCtrl, D(2026, 1, 28), "January, 2026"},
        {VK_RIGHT, 0, D(2026, 1, 29), "January, 2026"},  // other keys reach the calendar
    };
    for (const Case& c : cases) {
        UINT key = c.key;
        popup->KeyDown(key, c.shift);
        EXPECT_EQ(popup->Calendar()->CalendarDate(), c.to);
        EXPECT_EQ(popup->TitleLabel()->Caption(), c.title);
    }
}

TEST_F(PopupCalendarTest, ArrowsClickAndHintsCanBeReplaced) {
    popup->ShowValue(D(2026, 6, 15));
    popup->DropDownAt(edit->ClientToScreen({0, 21}));
    Pump();
    const TDateTime expected[4] = {D(2025, 6, 15), D(2025, 5, 15), D(2025, 6, 15), D(2026, 6, 15)};
    for (int i = 0; i < 4; ++i) {
        TCvTimerSpeedButton* b = popup->ArrowButton(i);
        EXPECT_TRUE(b->AllowTimer());
        EXPECT_EQ(b->Style(), bsWin31);
        Click(b->ClientToScreen({6, 6}));
        EXPECT_EQ(popup->Calendar()->CalendarDate(), expected[i]) << i;
    }
    ConfigurePopupCalendar(popup, Sun, DaySet({Sat}), clBlue, {"Back a year", "", "On a month", "On a year", "x"},
                           true);
    EXPECT_EQ(popup->ArrowButton(0)->Hint, "Back a year");
    EXPECT_EQ(popup->ArrowButton(1)->Hint, "Previous Month|") << "an empty line keeps the default";
    EXPECT_EQ(popup->ArrowButton(3)->Hint, "On a year");
    EXPECT_EQ(popup->Calendar()->StartOfWeek(), Sun);
    EXPECT_EQ(popup->Calendar()->WeekendColor(), clBlue);
}

TEST_F(PopupCalendarTest, TodayHasASunkenFrameAndTheScreenResolutionScales) {
    popup->ShowValue(D(2026, 6, 3));
    popup->DropDownAt(edit->ClientToScreen({0, 21}));
    TCvCalendar* cal = popup->Calendar();
    const TRect today = cal->CellRect(0, 3);  // Monday 15 June
    EXPECT_EQ(cal->DayCellText(0, 3), "15");
    EXPECT_EQ(At(cal, today.left, today.top + 3), ColorToRGB(clBtnShadow));
    EXPECT_EQ(At(cal, today.right - 1, today.top + 3), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(popup->Width(), 187);
    Screen().SetPixelsPerInch(120);
    TPopupCalendar* big = NewPopupCalendar(form.get(), edit);
    Screen().SetPixelsPerInch(kPixelsPerInch);
    EXPECT_EQ(big->Width(), 234);  // 233.75, rounded
    EXPECT_EQ(big->Height(), 155);
}

// The modal dialog, driven by keys queued before it runs.
class DateDialogTest : public testing_dates::DateTest {};

TEST_F(DateDialogTest, KeysPageAndEndTheDialog) {
    struct Case {
        std::vector<std::pair<UINT, unsigned>> keys;
        bool ok;
        TDateTime result;
    };
    const Case cases[] = {
        {{{VK_RETURN, 0}}, true, D(2026, 3, 5)},
        {{{VK_ESCAPE, 0}}, false, D(2026, 3, 5)},
        {{{VK_TAB, 0}, {VK_RETURN, 0}}, true, D(2026, 4, 5)},
        {{{VK_TAB, kShift}, {VK_RETURN, 0}}, true, D(2026, 2, 5)},
        {{{VK_TAB, kShift | kControl}, {VK_RETURN, 0}}, true, D(2026, 4, 5)},  // not Shift alone: forward
        {{{VK_NEXT, 0}, {VK_NEXT, kControl}, {VK_RETURN, 0}}, true, D(2027, 4, 5)},
        {{{VK_PRIOR, kControl}, {VK_LEFT, 0}, {VK_RETURN, 0}}, true, D(2025, 3, 4)},
    };
    for (const Case& c : cases) {
        for (const auto& [vk, mods] : c.keys) {
            InjectKey(vk, true, mods);
            InjectKey(vk, false, mods);
        }
        TDateTime date = D(2026, 3, 5);
        EXPECT_EQ(RunDateDialog(date, "", Mon, DaySet({Sun}), clRed, {}), c.ok);
        EXPECT_EQ(date, c.result);
    }
}

TEST_F(DateDialogTest, ANullDateOpensOnTodayAndTheTitleIsTheCallers) {
    auto dialog = NewDateDialog("Pay day");
    EXPECT_EQ(dialog->Caption(), "Pay day");
    EXPECT_EQ(NewDateDialog("")->Caption(), "Select a Date");
    dialog->SetDate(NullDate);
    EXPECT_EQ(dialog->Date(), D(2026, 6, 15));
    EXPECT_EQ(dialog->TitleLabel()->Caption(), "June, 2026");
    // A double click on a day ends it with OK.
    dialog->Show();
    Pump();
    EXPECT_EQ(dialog->ClientWidth(), 222);
    EXPECT_EQ(dialog->ClientHeight(), 154);
    const TRect cell = dialog->Calendar->CellRect(2, 2);
    const TPoint at = dialog->Calendar->ClientToScreen({cell.left + 4, cell.top + 4});
    InjectMouse(MouseAction::Down, MouseButton::Left, at);
    InjectMouse(MouseAction::Up, MouseButton::Left, at);
    InjectMouse(MouseAction::DoubleClick, MouseButton::Left, at);
    InjectMouse(MouseAction::Up, MouseButton::Left, at);
    Pump();
    EXPECT_EQ(dialog->ModalResult(), mrOk);
    EXPECT_EQ(dialog->Date(), D(2026, 6, 10));
}

}  // namespace
}  // namespace controls
