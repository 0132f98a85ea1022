#pragma once
// The month calendar grid, its borderless variant, the drop-down calendar a
// date edit opens under its text, the modal "Select a Date" dialog and the
// auto-repeating arrow buttons of both.
#include <set>
#include <string>
#include <vector>

#include "controls/dateutil.hpp"
#include "controls/tooledit.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/grids.hpp"
#include "framework/ui/stdctrls.hpp"

namespace controls {

enum TDayOfWeekName { Sun, Mon, Tue, Wed, Thu, Fri, Sat };
// A set of days of the week, bit (1 << day).
using TDaysOfWeek = unsigned;
constexpr TDaysOfWeek DaySet(std::initializer_list<TDayOfWeekName> days) {
    unsigned s = 0;
    for (TDayOfWeekName d : days) s |= 1u << d;
    return s;
}

// Resource strings of the calendars.
constexpr int SPrevMonth = 61258, SPrevYear = 61259, SNextMonth = 61260, SNextYear = 61261, SDateDlgTitle = 61262;
constexpr int SOKButton = 65378, SCancelButton = 65379;
// Registers them (at start-up; again after a test emptied the table).
void RegisterPickDateStrings();
// The program's glyphs the calendars and the date edit draw ("DEDITBMP",
// "PREV1", ...), registered when they are not yet.
void EnsureDateResources();

// A speed button that repeats its click while held.
class TCvTimerSpeedButton : public TCvSpeedButton {
public:
    explicit TCvTimerSpeedButton(ui::TComponent* owner);
    std::string ClassName() const override { return "TCvTimerSpeedButton"; }
};

class TCvCalendar : public ui::TCustomGrid {
public:
    explicit TCvCalendar(ui::TComponent* owner);
    std::string ClassName() const override { return "TCvCalendar"; }

    TDateTime CalendarDate() const { return date_; }
    void SetCalendarDate(TDateTime v);
    int Day() const;
    int Month() const;
    int Year() const;
    void SetDay(int v);
    void SetMonth(int v);
    void SetYear(int v);
    bool ReadOnly = false;
    TDayOfWeekName StartOfWeek() const { return start_of_week_; }
    void SetStartOfWeek(TDayOfWeekName v);
    bool UseCurrentDate() const { return use_current_date_; }
    void SetUseCurrentDate(bool v);
    ui::TColor WeekendColor() const { return weekend_color_; }
    void SetWeekendColor(ui::TColor v);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek v);
    ui::TNotifyEvent OnChange;

    void MonthBack();
    void MonthForward();
    void YearBack();
    void YearForward();
    void LayOutMonth() { LayOut(false); }
    // The day names in row 0, the day numbers of the shown month in the others.
    std::string DayCellText(int col, int row) const;
    int ShownMonthDays() const;
    int MonthOffset() const { return month_offset_; }
    // The day in a cell, 0 when the cell shows none.
    int DayOfCell(int col, int row) const;

    void WndProc(ui::TMessage& m) override;
    void SetBounds(int left, int top, int width, int height) override;

protected:
    // A plain border, no sunken edge.
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void DrawCell(int col, int row, const ui::TRect& rect, ui::TGridDrawState state) override;
    bool SelectCell(int col, int row) override;
    void KeyDown(ui::UINT& key, ui::TShiftState shift) override;
    void KeyPress(char& key) override;
    void MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    virtual void Change();
    void LayOut(bool day_only);
    void SetDate(TDateTime v);
    void FitCells();

private:
    // After the grid moved the current cell itself (keys, the mouse): the date follows.
    void TakeCurrentCell();

    TDateTime date_ = 0;
    int month_offset_ = 0;
    bool updating_ = false;
    TDayOfWeekName start_of_week_ = Mon;
    bool use_current_date_ = true;
    ui::TColor weekend_color_ = ui::clRed;
    TDaysOfWeek weekends_ = DaySet({Sun});
};

// The calendar of the drop-down: no lines but the one under the day names,
// flat, in its parent's colour, and never the focus (the edit keeps it).
class TLocCalendar : public TCvCalendar {
public:
    explicit TLocCalendar(ui::TComponent* owner);
    std::string ClassName() const override { return "TLocCalendar"; }
    bool CanFocus() const override { return false; }
    void WndProc(ui::TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void DrawCell(int col, int row, const ui::TRect& rect, ui::TGridDrawState state) override;
};

// "MMMM, YYYY": the full month name and the four-digit year.
std::string CalendarTitle(TDateTime date);

class TPopupCalendar : public TPopupWindow {
public:
    TPopupCalendar(ui::TComponent* owner, ui::TWinControl* editor);
    std::string ClassName() const override { return "TPopupCalendar"; }
    TCvCalendar* Calendar() const { return calendar_; }
    TCvTimerSpeedButton* ArrowButton(int index) const { return buttons_[index]; }
    ui::TLabel* TitleLabel() const { return title_; }
    ui::TPanel* TitlePanel() const { return title_panel_; }

    TPopupValue CurrentValue() override;
    void ShowValue(const TPopupValue& value) override;
    void KeyDown(ui::UINT& key, ui::TShiftState shift) override;
    void KeyPress(char& key) override;

private:
    void CalendarMouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y);
    void UpdateTitle();

    ui::TPanel* back_ = nullptr;
    ui::TPanel* title_panel_ = nullptr;
    ui::TLabel* title_ = nullptr;
    TLocCalendar* calendar_ = nullptr;
    TCvTimerSpeedButton* buttons_[4] = {};
};

// The message font of the system's non-client metrics, or MS Sans Serif 8.
void UseMessageFont(ui::TFont* font);
// A popup calendar for `editor`, scaled to the screen's resolution.
TPopupCalendar* NewPopupCalendar(ui::TComponent* owner, ui::TWinControl* editor);
// Passes the week's layout, the weekend colour and up to four arrow hints
// (empty lines keep the default) to a popup calendar.
void ConfigurePopupCalendar(TPopupWindow* popup, TDayOfWeekName start_of_week, TDaysOfWeek weekends,
                            ui::TColor weekend_color, const std::vector<std::string>& hints, bool four_digit_year);

class TSelectDateDlg : public ui::TForm {
public:
    explicit TSelectDateDlg(ui::TComponent* owner);
    std::string ClassName() const override { return "TSelectDateDlg"; }
    TCvCalendar* Calendar = nullptr;
    TDateTime Date() const { return Calendar->CalendarDate(); }
    void SetDate(TDateTime v);
    TCvTimerSpeedButton* ArrowButton(int index) const { return buttons_[index]; }
    ui::TLabel* TitleLabel() const { return title_; }
    ui::TPanel* TopPanel() const { return top_; }
    ui::TButton* OkButton() const { return ok_; }
    ui::TButton* CancelButton() const { return cancel_; }

    void PrevMonthBtnClick(ui::TObject*);
    void NextMonthBtnClick(ui::TObject*);
    void PrevYearBtnClick(ui::TObject*);
    void NextYearBtnClick(ui::TObject*);
    void CalendarChange(ui::TObject*);
    void CalendarDblClick(ui::TObject*);
    void TopPanelDblClick(ui::TObject*);
    void FormKeyDown(ui::TObject*, ui::UINT& key, ui::TShiftState shift);

private:
    ui::TPanel* top_ = nullptr;
    ui::TLabel* title_ = nullptr;
    ui::TButton* ok_ = nullptr;
    ui::TButton* cancel_ = nullptr;
    TCvTimerSpeedButton* buttons_[4] = {};
};

// A new dialog, its caption `title` when not empty, scaled and centred.
ui::Owned<TSelectDateDlg> NewDateDialog(const std::string& title);
// Shows the dialog on `date` (NullDate: today); on OK the date is the
// calendar's and the result true.
bool RunDateDialog(TDateTime& date, const std::string& title, TDayOfWeekName start_of_week, TDaysOfWeek weekends,
                   ui::TColor weekend_color, const std::vector<std::string>& hints);

}  // namespace controls
