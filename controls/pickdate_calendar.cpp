// The month grid: seven columns of weekdays from StartOfWeek, the day names
// in the fixed row and up to six weeks under them.
#include <algorithm>

#include "controls/pickdate.hpp"
#include "framework/ui/resources.hpp"
#include "platform/clock.hpp"
#include "platform/regional.hpp"
#include "resources/resources.hpp"

namespace controls {

using namespace ui;

namespace {

TDateTime Today() {
    const platform::LocalDateTime now = platform::Now();
    return db::EncodeDate(now.year, now.month, now.day);
}

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime date) { return ((int(date) - 1) % 7 + 7) % 7 + 1; }

struct AtStartUp {
    AtStartUp() { RegisterPickDateStrings(); }
} at_start_up;

}  // namespace

void EnsureDateResources() {
    if (!FindBitmapResource("DEDITBMP")) resources::RegisterProgramResources();
}

void RegisterPickDateStrings() {
    RegisterResourceString(SPrevMonth, "Previous Month|");
    RegisterResourceString(SPrevYear, "Previous Year|");
    RegisterResourceString(SNextMonth, "Next Month|");
    RegisterResourceString(SNextYear, "Next Year|");
    RegisterResourceString(SDateDlgTitle, "Select a Date");
    if (LoadStr(SOKButton).empty()) RegisterResourceString(SOKButton, "OK");
    if (LoadStr(SCancelButton).empty()) RegisterResourceString(SCancelButton, "Cancel");
}

std::string CalendarTitle(TDateTime date) {
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date, y, m, d);
    std::string month = platform::Regional().long_month_names[size_t(std::clamp(m, 1, 12) - 1)];
    return month + ", " + db::FormatDate("yyyy", date);
}

TCvTimerSpeedButton::TCvTimerSpeedButton(TComponent* owner) : TCvSpeedButton(owner) {
    SetAllowTimer(true);
    SetStyle(bsWin31);
}

// ---------------------------------------------------------------- TCvCalendar

TCvCalendar::TCvCalendar(TComponent* owner) : TCustomGrid(owner) {
    SetFixedCols(0);
    SetFixedRows(1);
    SetColCount(7);
    SetRowCount(7);
    SetScrollBars(ssNone);
    SetOptions((Options() & ~unsigned(goRangeSelect)) | goDrawFocusSelected);
    date_ = Today();
    LayOut(false);
}

void TCvCalendar::CreateParams(ui::CreateParams& p) {
    TCustomGrid::CreateParams(p);
    p.ex_style &= ~uint32_t(WS_EX_CLIENTEDGE);
    p.style |= WS_BORDER;
}

void TCvCalendar::WndProc(TMessage& m) {
    if (m.Msg == WM_SIZE) {
        TCustomGrid::WndProc(m);
        FitCells();
        return;
    }
    TCustomGrid::WndProc(m);
}

void TCvCalendar::SetBounds(int left, int top, int width, int height) {
    TCustomGrid::SetBounds(left, top, width, height);
    FitCells();
}

void TCvCalendar::CreateHandleDone() {
    TCustomGrid::CreateHandleDone();
    FitCells();
}

void TCvCalendar::FitCells() {
    const int lw = GridLineWidth();
    const int w = ClientWidth() - ((Options() & goVertLine) ? 6 * lw : 0);
    const int h = ClientHeight() - 6 * lw;
    SetDefaultColWidth(std::max(1, w / 7));
    SetDefaultRowHeight(std::max(1, h / 7));
}

int TCvCalendar::Day() const {
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date_, y, m, d);
    return d;
}
int TCvCalendar::Month() const {
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date_, y, m, d);
    return m;
}
int TCvCalendar::Year() const {
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date_, y, m, d);
    return y;
}

int TCvCalendar::ShownMonthDays() const { return MonthDays(Year(), Month()); }

void TCvCalendar::SetCalendarDate(TDateTime v) {
    if (!ValidDateValue(v)) return;
    SetDate(v);
}

void TCvCalendar::SetDate(TDateTime v) {
    v = double(int64_t(v));
    if (v == date_) return;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(v, y, m, d);
    const bool same_month = y == Year() && m == Month();
    date_ = v;
    use_current_date_ = false;
    LayOut(same_month);
    Change();
}

void TCvCalendar::SetDay(int v) {
    if (v < 1 || v > ShownMonthDays() || v == Day()) return;
    SetDate(db::EncodeDate(Year(), Month(), v));
}

void TCvCalendar::SetMonth(int v) {
    if (v < 1 || v > 12 || v == Month()) return;
    SetDate(db::EncodeDate(Year(), v, std::min(Day(), MonthDays(Year(), v))));
}

void TCvCalendar::SetYear(int v) {
    if (v < 1 || v > 9999 || v == Year()) return;
    SetDate(db::EncodeDate(v, Month(), std::min(Day(), MonthDays(v, Month()))));
}

void TCvCalendar::SetStartOfWeek(TDayOfWeekName v) {
    if (v == start_of_week_) return;
    start_of_week_ = v;
    LayOut(false);
}

void TCvCalendar::SetUseCurrentDate(bool v) {
    if (v == use_current_date_) return;
    use_current_date_ = v;
    if (v) {
        date_ = Today();
        LayOut(false);
    }
}

void TCvCalendar::SetWeekendColor(TColor v) {
    if (v == weekend_color_) return;
    weekend_color_ = v;
    Invalidate();
}

void TCvCalendar::SetWeekends(TDaysOfWeek v) {
    if (v == weekends_) return;
    weekends_ = v;
    LayOut(false);
}

void TCvCalendar::Change() {
    if (OnChange) OnChange(this);
}

// Month steps keep the day where the new month has it.
void TCvCalendar::MonthForward() {
    const int day = Day();
    const TDateTime next = db::EncodeDate(Year(), Month(), ShownMonthDays()) + 1;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(next, y, m, d);
    if (y > 9999) return;
    SetDate(db::EncodeDate(y, m, std::min(day, MonthDays(y, m))));
}

void TCvCalendar::MonthBack() {
    const int day = Day();
    if (Year() == 1 && Month() == 1) return;
    const TDateTime prior = db::EncodeDate(Year(), Month(), 1) - 1;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(prior, y, m, d);
    SetDate(db::EncodeDate(y, m, std::min(day, MonthDays(y, m))));
}

void TCvCalendar::YearForward() {
    if (Month() == 2 && Day() == 29) SetDay(28);
    SetYear(Year() + 1);
}

void TCvCalendar::YearBack() {
    if (Month() == 2 && Day() == 29) SetDay(28);
    SetYear(Year() - 1);
}

// ---------------------------------------------------------------- layout

void TCvCalendar::LayOut(bool day_only) {
    updating_ = true;
    const int weekday = DayOfWeek(db::EncodeDate(Year(), Month(), 1));
    month_offset_ = 2 - ((weekday - int(start_of_week_) + 7) % 7);
    if (month_offset_ == 2) month_offset_ = -5;
    const int cell = Day() - month_offset_;
    try {
        FocusCell(cell % 7, cell / 7 + 1, true);
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
    if (day_only)
        Update();
    else
        Invalidate();
}

int TCvCalendar::DayOfCell(int col, int row) const {
    if (row < 1) return 0;
    const int day = month_offset_ + col + (row - 1) * 7;
    return day >= 1 && day <= ShownMonthDays() ? day : 0;
}

std::string TCvCalendar::DayCellText(int col, int row) const {
    if (row == 0) return platform::Regional().short_day_names[size_t((int(start_of_week_) + col) % 7)];
    const int day = DayOfCell(col, row);
    return day ? std::to_string(day) : std::string();
}

bool TCvCalendar::SelectCell(int col, int row) {
    if (DayCellText(col, row).empty()) return false;
    return updating_ || (!ReadOnly && row > 0);
}

void TCvCalendar::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCanvas* c = Canvas();
    const auto weekday = unsigned((int(start_of_week_) + col) % 7);
    if ((weekends_ & (1u << weekday)) && !(state & gdSelected)) c->Font()->SetColor(weekend_color_);
    const std::string text = DayCellText(col, row);
    c->Brush()->SetStyle(bsClear);
    c->TextRect(rect, rect.left + (rect.Width() - c->TextWidth(text)) / 2,
                rect.top + (rect.Height() - c->TextHeight(text)) / 2, text);
    c->Brush()->SetStyle(bsSolid);
}

// ---------------------------------------------------------------- input

void TCvCalendar::TakeCurrentCell() {
    const int day = DayOfCell(Col(), Row());
    if (day) SetDay(day);
}

void TCvCalendar::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    TCustomGrid::MouseDown(b, s, x, y);
    if (b == mbLeft && !ReadOnly) {
        const TGridCoord cell = MouseCoord(x, y);
        if (cell.X >= 0 && cell.Y > 0 && DayOfCell(cell.X, cell.Y)) SetDay(DayOfCell(cell.X, cell.Y));
    }
}

void TCvCalendar::KeyDown(UINT& key, TShiftState shift) {
    if (shift == 0) switch (key) {
        case VK_LEFT:
        case VK_SUBTRACT:
            if (Day() > 1)
                SetDay(Day() - 1);
            else
                SetCalendarDate(date_ - 1);
            key = 0;
            return;
        case VK_RIGHT:
        case VK_ADD:
            if (Day() < ShownMonthDays())
                SetDay(Day() + 1);
            else
                SetCalendarDate(date_ + 1);
            key = 0;
            return;
        default: break;
        }
    const TGridCoord before{Col(), Row()};
    TCustomGrid::KeyDown(key, shift);
    if (Col() != before.X || Row() != before.Y) TakeCurrentCell();
}

void TCvCalendar::KeyPress(char& key) {
    if (key == 'T' || key == 't') {
        SetCalendarDate(Today());
        key = 0;
        return;
    }
    TCustomGrid::KeyPress(key);
}

// ---------------------------------------------------------------- TLocCalendar

TLocCalendar::TLocCalendar(TComponent* owner) : TCvCalendar(owner) {
    SetOptions(goFixedHorzLine);
    SetParentColor(true);
    TabStop = false;
    SetUseCurrentDate(false);
}

void TLocCalendar::CreateParams(ui::CreateParams& p) {
    TCvCalendar::CreateParams(p);
    p.style &= ~uint32_t(WS_BORDER | WS_TABSTOP | WS_DISABLED);
    p.ex_style &= ~uint32_t(WS_EX_CLIENTEDGE);
}

void TLocCalendar::WndProc(TMessage& m) {
    TCvCalendar::WndProc(m);
    // The day names lie on the calendar's own ground.
    if (m.Msg == CM_COLORCHANGED || m.Msg == CM_PARENTCOLORCHANGED) SetFixedColor(color_);
}

void TLocCalendar::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
    TCvCalendar::DrawCell(col, row, rect, state);
    const TDateTime today = Today();
    int y = 0, m = 0, d = 0;
    db::DecodeDate(today, y, m, d);
    if (row > 0 && y == Year() && m == Month() && DayOfCell(col, row) == d) {
        // Today in a sunken frame.
        TCanvas* c = Canvas();
        c->Pen()->SetColor(clBtnShadow);
        c->MoveTo(rect.left, rect.bottom - 1);
        c->LineTo(rect.left, rect.top);
        c->LineTo(rect.right - 1, rect.top);
        c->Pen()->SetColor(clBtnHighlight);
        c->LineTo(rect.right - 1, rect.bottom - 1);
        c->LineTo(rect.left, rect.bottom - 1);
    }
}

}  // namespace controls
