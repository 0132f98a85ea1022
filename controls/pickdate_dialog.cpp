// The "Select a Date" dialog: the arrows and the month over a calendar, OK
// and Cancel under it, and keys that page through months and years.
#include "controls/pickdate.hpp"
#include "platform/clock.hpp"

namespace controls {

using namespace ui;

namespace {

constexpr const char* kGlyphs[4] = {"PREV2", "PREV1", "NEXT1", "NEXT2"};
constexpr int kHints[4] = {SPrevYear, SPrevMonth, SNextMonth, SNextYear};
constexpr int kLefts[4] = {3, 18, 188, 203};

TDateTime Today() {
    const platform::LocalDateTime now = platform::Now();
    return db::EncodeDate(now.year, now.month, now.day);
}

}  // namespace

TSelectDateDlg::TSelectDateDlg(TComponent* owner) : TForm(owner) {
    EnsureDateResources();
    SetCaption(LoadStr(SDateDlgTitle));
    SetBorderStyle(bsToolWindow);
    SetBorderIcons(biSystemMenu);
    SetColor(clBtnFace);
    HandleNeeded();  // the tool window's frame decides the outer size
    SetClientSize(222, 154);
    Position = poScreenCenter;
    KeyPreview = true;
    SetShowHint(true);

    top_ = new TPanel(this);
    top_->SetParent(this);
    top_->SetBounds(0, 0, 222, 22);
    top_->SetAlign(alTop);
    top_->SetBevelInner(bvLowered);
    top_->OnDblClick = [this](TObject* s) { TopPanelDblClick(s); };
    for (int i = 0; i < 4; ++i) {
        auto* b = new TCvTimerSpeedButton(this);
        b->SetParent(top_);
        b->SetBounds(kLefts[i], 3, 16, 16);
        TBitmap glyph;
        if (glyph.LoadFromResourceName(kGlyphs[i])) b->SetGlyph(&glyph);
        b->Hint = LoadStr(kHints[i]);
        buttons_[i] = b;
    }
    buttons_[0]->OnClick = [this](TObject* s) { PrevYearBtnClick(s); };
    buttons_[1]->OnClick = [this](TObject* s) { PrevMonthBtnClick(s); };
    buttons_[2]->OnClick = [this](TObject* s) { NextMonthBtnClick(s); };
    buttons_[3]->OnClick = [this](TObject* s) { NextYearBtnClick(s); };
    title_ = new TLabel(this);
    title_->SetParent(top_);
    title_->SetAutoSize(false);
    title_->SetBounds(35, 4, 152, 14);
    title_->Alignment = taCenter;
    title_->Transparent = true;
    title_->SetParentFont(false);
    title_->Font()->Assign(Font());
    title_->Font()->SetStyle(fsBold);
    title_->Font()->SetColor(clBlue);
    title_->OnDblClick = [this](TObject* s) { TopPanelDblClick(s); };

    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetBounds(0, 133, 222, 21);
    bottom->SetAlign(alBottom);
    bottom->SetBevelOuter(bvNone);
    ok_ = new TButton(this);
    ok_->SetParent(bottom);
    ok_->SetBounds(0, 0, 112, 21);
    ok_->SetCaption(LoadStr(SOKButton));
    ok_->ModalResult = mrOk;
    cancel_ = new TButton(this);
    cancel_->SetParent(bottom);
    cancel_->SetBounds(111, 0, 111, 21);
    cancel_->SetCaption(LoadStr(SCancelButton));
    cancel_->ModalResult = mrCancel;
    cancel_->Cancel = true;

    auto* middle = new TPanel(this);
    middle->SetParent(this);
    middle->SetAlign(alClient);
    middle->SetBevelInner(bvLowered);
    Calendar = new TCvCalendar(this);
    Calendar->SetParent(middle);
    Calendar->SetBounds(2, 2, 218, 113);
    Calendar->SetAlign(alClient);
    Calendar->SetColor(clWhite);
    Calendar->TabOrder = 0;
    Calendar->SetUseCurrentDate(false);
    Calendar->OnChange = [this](TObject* s) { CalendarChange(s); };
    Calendar->OnDblClick = [this](TObject* s) { CalendarDblClick(s); };
    OnKeyDown = [this](TObject* s, UINT& key, TShiftState shift) { FormKeyDown(s, key, shift); };
    SetActiveControl(Calendar);
    CalendarChange(this);
}

void TSelectDateDlg::SetDate(TDateTime v) {
    Calendar->SetCalendarDate(v == NullDate || !ValidDateValue(v) ? Today() : v);
    CalendarChange(this);
}

void TSelectDateDlg::PrevMonthBtnClick(TObject*) { Calendar->MonthBack(); }
void TSelectDateDlg::NextMonthBtnClick(TObject*) { Calendar->MonthForward(); }
void TSelectDateDlg::PrevYearBtnClick(TObject*) { Calendar->YearBack(); }
void TSelectDateDlg::NextYearBtnClick(TObject*) { Calendar->YearForward(); }
void TSelectDateDlg::CalendarChange(TObject*) { title_->SetCaption(CalendarTitle(Calendar->CalendarDate())); }
void TSelectDateDlg::CalendarDblClick(TObject*) { SetModalResult(mrOk); }
void TSelectDateDlg::TopPanelDblClick(TObject*) { Calendar->SetCalendarDate(Today()); }

void TSelectDateDlg::FormKeyDown(TObject*, UINT& key, TShiftState shift) {
    const bool ctrl = shift & ssCtrl;
    switch (key) {
    case VK_ESCAPE: SetModalResult(mrCancel); break;
    case VK_RETURN: SetModalResult(mrOk); break;
    case VK_TAB:
        // Only Shift alone goes back: Shift+Ctrl+Tab goes on like Tab.
        if ((shift & (ssShift | ssCtrl | ssAlt)) == ssShift)
            Calendar->MonthBack();
        else
            Calendar->MonthForward();
        break;
    case VK_PRIOR: ctrl ? Calendar->YearBack() : Calendar->MonthBack(); break;
    case VK_NEXT: ctrl ? Calendar->YearForward() : Calendar->MonthForward(); break;
    default: return;
    }
    key = 0;
    title_->Invalidate();
}

Owned<TSelectDateDlg> NewDateDialog(const std::string& title) {
    auto dialog = Make<TSelectDateDlg>(nullptr);
    if (!title.empty()) dialog->SetCaption(title);
    if (const int ppi = Screen().PixelsPerInch(); ppi != kPixelsPerInch) {
        dialog->ScaleBy(ppi, kPixelsPerInch);
        dialog->Calendar->SetParentFont(true);
        UseMessageFont(dialog->Font());
        dialog->Position = poDesigned;
        dialog->SetBounds(Screen().Width() / 2 - dialog->Width() / 2, Screen().Height() / 2 - dialog->Height() / 2,
                          dialog->Width(), dialog->Height());
    }
    return dialog;
}

bool RunDateDialog(TDateTime& date, const std::string& title, TDayOfWeekName start_of_week, TDaysOfWeek weekends,
                   TColor weekend_color, const std::vector<std::string>& hints) {
    auto dialog = NewDateDialog(title);
    dialog->SetDate(date);
    dialog->Calendar->SetStartOfWeek(start_of_week);
    dialog->Calendar->SetWeekends(weekends);
    dialog->Calendar->SetWeekendColor(weekend_color);
    for (size_t i = 0; i < std::min<size_t>(hints.size(), 4); ++i)
        if (!hints[i].empty()) dialog->ArrowButton(int(i))->Hint = hints[i];
    if (dialog->ShowModal() != mrOk) return false;
    date = dialog->Date();
    return true;
}

}  // namespace controls
