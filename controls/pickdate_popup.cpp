// The drop-down calendar: a title bar with the month and four arrows over a
// borderless month grid; a release on a day takes that day.
#include <algorithm>

#include "controls/pickdate.hpp"
#include "framework/ui/sysparams.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"

namespace controls {

using namespace ui;

namespace {

constexpr const char* kGlyphs[4] = {"PREV2", "PREV1", "NEXT1", "NEXT2"};
constexpr int kHints[4] = {SPrevYear, SPrevMonth, SNextMonth, SNextYear};

TDateTime Today() {
    const platform::LocalDateTime now = platform::Now();
    return db::EncodeDate(now.year, now.month, now.day);
}

bool IsBlankDateText(const std::string& text) {
    const char separator = platform::FormatSettings().date_separator;
    return std::all_of(text.begin(), text.end(), [&](char c) { return c == ' ' || c == separator; });
}

}  // namespace

void UseMessageFont(TFont* font) {
    NonClientMetrics metrics;
    if (GetNonClientMetrics(metrics)) {
        font->SetName(metrics.message_font.name);
        font->SetHeight(metrics.message_font.height);
        unsigned style = 0;
        if (metrics.message_font.bold) style |= fsBold;
        if (metrics.message_font.italic) style |= fsItalic;
        if (metrics.message_font.underline) style |= fsUnderline;
        if (metrics.message_font.strike_out) style |= fsStrikeOut;
        font->SetStyle(style);
        return;
    }
    font->SetColor(clWindowText);
    font->SetName("MS Sans Serif");
    font->SetSize(8);
    font->SetStyle(0);
}

TPopupCalendar::TPopupCalendar(TComponent* owner, TWinControl* editor) : TPopupWindow(owner, editor) {
    EnsureDateResources();
    SetBounds(0, 0, std::max(187, 180), std::max(124, 120));
    SetColor(clBtnFace);
    SetParentFont(false);
    UseMessageFont(font_.get());
    auto* owner_control = dynamic_cast<TControl*>(owner);
    SetShowHint(owner_control ? owner_control->ShowHint() : true);

    back_ = new TPanel(this);
    back_->SetParent(this);
    back_->SetAlign(alClient);

    title_panel_ = new TPanel(this);
    title_panel_->SetParent(back_);
    title_panel_->SetBounds(0, 0, Width() - 4, 18);
    title_panel_->SetAlign(alTop);
    title_panel_->SetBevelOuter(bvNone);
    const int panel_width = Width() - 4;
    const int lefts[4] = {-1, 12, panel_width - 26, panel_width - 13};
    for (int i = 0; i < 4; ++i) {
        auto* b = new TCvTimerSpeedButton(this);
        b->SetParent(title_panel_);
        b->SetBounds(lefts[i], -1, 14, 14);
        TBitmap glyph;
        if (glyph.LoadFromResourceName(kGlyphs[i])) b->SetGlyph(&glyph);
        b->Hint = LoadStr(kHints[i]);
        buttons_[i] = b;
    }
    buttons_[0]->OnClick = [this](TObject*) { calendar_->YearBack(); };
    buttons_[1]->OnClick = [this](TObject*) { calendar_->MonthBack(); };
    buttons_[2]->OnClick = [this](TObject*) { calendar_->MonthForward(); };
    buttons_[3]->OnClick = [this](TObject*) { calendar_->YearForward(); };

    title_ = new TLabel(this);
    title_->SetParent(title_panel_);
    title_->SetAutoSize(false);
    title_->SetBounds(29, 1, panel_width - 58, 14);
    title_->Alignment = taCenter;
    title_->Transparent = true;

    calendar_ = new TLocCalendar(this);
    calendar_->SetParent(back_);
    calendar_->SetAlign(alClient);
    calendar_->OnChange = [this](TObject*) { UpdateTitle(); };
    calendar_->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
        CalendarMouseUp(b, s, x, y);
    };
    const TNotifyEvent today = [this](TObject*) { calendar_->SetCalendarDate(Today()); };
    title_panel_->OnDblClick = today;
    title_->OnDblClick = today;
    UpdateTitle();
}

void TPopupCalendar::UpdateTitle() { title_->SetCaption(CalendarTitle(calendar_->CalendarDate())); }

TPopupValue TPopupCalendar::CurrentValue() { return calendar_->CalendarDate(); }

void TPopupCalendar::ShowValue(const TPopupValue& value) {
    TDateTime date = Today();
    if (const auto* d = std::get_if<double>(&value)) {
        if (ValidDateValue(*d) && *d != NullDate) date = *d;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        TDateTime parsed = 0;
        if (!IsBlankDateText(*s) && db::TryStrToDate(*s, parsed) && ValidDateValue(parsed)) date = parsed;
    }
    calendar_->SetCalendarDate(date);
    UpdateTitle();
}

void TPopupCalendar::CalendarMouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (b != mbLeft || (s & (ssShift | ssCtrl | ssAlt))) return;
    const TGridCoord cell = calendar_->MouseCoord(x, y);
    if (cell.X >= 0 && cell.Y > 0 && calendar_->DayOfCell(cell.X, cell.Y)) FinishPopup(true);
}

void TPopupCalendar::KeyDown(UINT& key, TShiftState shift) {
    TPopupWindow::KeyDown(key, shift);
    switch (key) {
    case VK_PRIOR:
        if (shift & ssCtrl)
            calendar_->YearBack();
        else
            calendar_->MonthBack();
        return;
    case VK_NEXT:
        if (shift & ssCtrl)
            calendar_->YearForward();
        else
            calendar_->MonthForward();
        return;
    case 0: return;
    default: calendar_->Perform(WM_KEYDOWN, key, 0);
    }
}

void TPopupCalendar::KeyPress(char& key) {
    TPopupWindow::KeyPress(key);
    if (key) calendar_->Perform(WM_CHAR, uint8_t(key), 0);
}

TPopupCalendar* NewPopupCalendar(TComponent* owner, TWinControl* editor) {
    auto* popup = new TPopupCalendar(owner, editor);
    if (const int ppi = Screen().PixelsPerInch(); ppi != kPixelsPerInch) {
        popup->ScaleBy(ppi, kPixelsPerInch);
        popup->Calendar()->SetParentFont(true);
        UseMessageFont(popup->Font());
    }
    return popup;
}

void ConfigurePopupCalendar(TPopupWindow* popup, TDayOfWeekName start_of_week, TDaysOfWeek weekends,
                            TColor weekend_color, const std::vector<std::string>& hints, bool) {
    auto* calendar = dynamic_cast<TPopupCalendar*>(popup);
    if (!calendar) return;
    calendar->Calendar()->SetStartOfWeek(start_of_week);
    calendar->Calendar()->SetWeekendColor(weekend_color);
    calendar->Calendar()->SetWeekends(weekends);
    for (size_t i = 0; i < std::min<size_t>(hints.size(), 4); ++i)
        if (!hints[i].empty()) calendar->ArrowButton(int(i))->Hint = hints[i];
}

}  // namespace controls
