#include "controls/dateedit.hpp"

#include <algorithm>
#include <memory>
#include <utility>

#include "controls/detail/state.hpp"
#include "framework/ui/forms.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"

namespace controls {

using namespace ui;

namespace {

// Posted to itself when the focus left, so that the check on exit runs (and
// may fail) once the focus has settled.
constexpr UINT kCheckOnExit = WM_USER + 0x1D0;

TDateTime Today() {
    const platform::LocalDateTime now = platform::Now();
    return db::EncodeDate(now.year, now.month, now.day);
}

// "DEDITBMP", loaded once and shared by every date edit.
TBitmap* DateEditGlyph() {
    std::unique_ptr<TBitmap>& glyph = Controls().date_edit_glyph;
    if (!glyph) {
        EnsureDateResources();
        auto b = std::make_unique<TBitmap>();
        if (b->LoadFromResourceName("DEDITBMP")) glyph = std::move(b);
    }
    return glyph.get();
}

struct Flag {
    bool& flag;
    bool saved;
    explicit Flag(bool& f) : flag(f), saved(f) { flag = true; }
    ~Flag() { flag = saved; }
};

}  // namespace

TCustomDateEdit::TCustomDateEdit(TComponent* owner) : TCustomComboEdit(owner) {
    dialog_title_ = LoadStr(SDateDlgTitle);
    default_num_glyphs_ = 2;
    ControlState |= csCreating;
    date_format_ = DefaultDateFormatFor(FourDigitYear());
    SetPopup(NewPopupCalendar(this, this));
    Popup()->SetColor(popup_color_);
    ConfigurePopup();
    SetGlyphKind(gkDefault);
    ControlState &= ~unsigned(csCreating);
}

void TCustomDateEdit::BeforeDestruction() {
    Unhook();
    TCustomComboEdit::BeforeDestruction();
}

void TCustomDateEdit::Unhook() {
    if (hook_) Application().UnhookMainWindow(std::exchange(hook_, 0));
}

bool TCustomDateEdit::FourDigitYear() const {
    return year_digits_ == dyFour || (year_digits_ == dyDefault && DateUtilSettings().system_four_digit_year);
}

TBitmap* TCustomDateEdit::DefaultGlyphBitmap(bool& caller_frees) {
    caller_frees = false;
    return DateEditGlyph();
}

// ---------------------------------------------------------------- the date

TDateTime TCustomDateEdit::EditDate() const {
    const TDateTime fallback = DefaultToday ? Today() : NullDate;
    return TextToDateOrDefault(date_format_, GetText(), fallback);
}

void TCustomDateEdit::SetEditDate(TDateTime v) {
    const TDateTime before = EditDate();
    if (v == NullDate || !ValidDateValue(v)) v = DefaultToday ? Today() : NullDate;
    SetText(v == NullDate ? std::string() : db::FormatDate(date_format_, double(int64_t(v))));
    if (EditDate() != before) SetModified(true);
}

void TCustomDateEdit::SetDateAndSelect(TDateTime v) {
    SetEditDate(v);
    if (DirectInput()) SelectAll();
}

bool TCustomDateEdit::IsBlank() const {
    const char separator = platform::FormatSettings().date_separator;
    const std::string text = GetText();
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return c == 0 || c == ' ' || c == blanks_char_ || c == separator; });
}

void TCustomDateEdit::CheckValidDate() {
    if (IsBlank()) return;
    const TDateTime date = TextToDateOrError(date_format_, GetText());
    Flag formatting(formatting_);
    SetEditDate(date);
}

void TCustomDateEdit::RebuildMask() {
    const TDateTime remembered = EditDate();
    const bool four = FourDigitYear();
    const std::string format = DefaultDateFormatFor(four);
    const std::string mask = DefaultDateMaskFor(blanks_char_, four);
    // The separator is part of the mask's literals too.
    const char separator = platform::FormatSettings().date_separator;
    Flag formatting(formatting_);
    if (mask != EditMask() || format != date_format_ || separator != mask_separator_) {
        SetEditMask("");
        date_format_ = format;
        SetEditMask(mask);
        mask_separator_ = separator;
    }
    ConfigurePopup();
    SetEditDate(remembered);
}

// ---------------------------------------------------------------- properties

void TCustomDateEdit::SetBlanksChar(char v) {
    if (v == blanks_char_) return;
    blanks_char_ = uint8_t(v) < ' ' ? ' ' : v;
    RebuildMask();
}

void TCustomDateEdit::SetYearDigits(TYearDigits v) {
    if (v == year_digits_) return;
    year_digits_ = v;
    RebuildMask();
}

TColor TCustomDateEdit::PopupColor() const { return Popup() ? Popup()->Color() : popup_color_; }

void TCustomDateEdit::SetPopupColor(TColor v) {
    popup_color_ = v;
    if (Popup()) Popup()->SetColor(v);
}

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle v) {
    if (v == CalendarStyle()) return;
    if (v == csPopup) {
        SetPopup(NewPopupCalendar(this, this));
        Popup()->SetColor(popup_color_);
        ConfigurePopup();
    } else {
        SetPopup(nullptr);
    }
}

void TCustomDateEdit::SetCalendarHints(const std::vector<std::string>& v) {
    hints_.assign(v.begin(), v.begin() + std::min<size_t>(v.size(), 4));
    ConfigurePopup();
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName v) {
    if (v == start_of_week_) return;
    start_of_week_ = v;
    ConfigurePopup();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek v) {
    if (v == weekends_) return;
    weekends_ = v;
    ConfigurePopup();
}

void TCustomDateEdit::SetWeekendColor(TColor v) {
    if (v == weekend_color_) return;
    weekend_color_ = v;
    ConfigurePopup();
}

void TCustomDateEdit::ConfigurePopup() {
    ConfigurePopupCalendar(Popup(), start_of_week_, weekends_, weekend_color_, hints_, FourDigitYear());
}

// ---------------------------------------------------------------- the popup and the dialog

void TCustomDateEdit::PassValueToPopup(const TPopupValue&) {
    if (Popup()) Popup()->ShowValue(TextToDateOrDefault(date_format_, GetText(), Today()));
}

bool TCustomDateEdit::ConfirmPopupValue(TPopupValue& value) {
    if (!OnAcceptDate) return true;
    const auto* d = std::get_if<double>(&value);
    TDateTime date = d ? *d : NullDate;
    bool action = true;
    OnAcceptDate(this, date, action);
    if (action) value = date;
    return action;
}

void TCustomDateEdit::TakePopupValue(const TPopupValue& value) {
    const auto* d = std::get_if<double>(&value);
    SetEditDate(d ? *d : NullDate);
    popup_visible_ = Popup() && Popup()->Dropped();
    if (Modified()) Change();
}

void TCustomDateEdit::ButtonClick() {
    TCustomComboEdit::ButtonClick();
    if (Popup()) return;
    TDateTime date = EditDate();
    bool action = RunDateDialog(date, dialog_title_, start_of_week_, weekends_, weekend_color_, hints_);
    if (CanFocus()) SetFocus();
    if (!action) return;
    if (OnAcceptDate) OnAcceptDate(this, date, action);
    if (!action) return;
    SetEditDate(date);
    if (Focused() && DirectInput()) SelectAll();
}

void TCustomDateEdit::Change() {
    if (!formatting_) TCustomComboEdit::Change();
}

// ---------------------------------------------------------------- keys

void TCustomDateEdit::KeyDown(UINT& key, TShiftState shift) {
    const bool click_key = ShortCutOf(key, shift) == ClickKey;
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_ADD:
    case VK_SUBTRACT:
        if (PopupVisible() && !click_key) {
            Popup()->Perform(WM_KEYDOWN, key, 0);
            key = 0;
            return;
        }
        break;
    default: break;
    }
    if (shift == 0 && DirectInput() && (key == VK_ADD || key == VK_SUBTRACT)) {
        TDateTime date = EditDate();
        if (date == NullDate) date = Today();
        SetDateAndSelect(date + (key == VK_ADD ? 1 : -1));
        key = 0;
        return;
    }
    TCustomComboEdit::KeyDown(key, shift);
}

void TCustomDateEdit::KeyPress(char& key) {
    if (key == '+' || key == '-' || key == 'T' || key == 't') {
        if (PopupVisible()) {
            Popup()->Perform(WM_CHAR, uint8_t(key), 0);
            key = 0;
            return;
        }
        if (DirectInput()) {
            if (key == 'T' || key == 't') SetDateAndSelect(Today());
            key = 0;
            return;
        }
    }
    TCustomComboEdit::KeyPress(key);
}

// ---------------------------------------------------------------- the window

void TCustomDateEdit::CreateHandleDone() {
    TCustomComboEdit::CreateHandleDone();
    // A change of the user's settings rebuilds the mask.
    if (!hook_)
        hook_ = Application().HookMainWindow([this](TMessage& m) {
            if (m.Msg == WM_WININICHANGE && Application().UpdateFormatSettings) RebuildMask();
            return false;
        });
    RebuildMask();
}

void TCustomDateEdit::DestroyWnd() {
    Unhook();
    TCustomComboEdit::DestroyWnd();
}

void TCustomDateEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_KILLFOCUS:
        TCustomComboEdit::WndProc(m);
        if (CheckOnExit && HandleAllocated()) PostMessage(handle_, kCheckOnExit);
        return;
    case kCheckOnExit:
        // A text that is no date brings the focus back before the error shows.
        if (TDateTime date = 0; !IsBlank() && !TextToDateByFormat(date_format_, GetText(), date)) {
            if (CanFocus()) SetFocus();
            SelectAll();
        }
        CheckValidDate();
        return;
    default: break;
    }
    TCustomComboEdit::WndProc(m);
}

// ---------------------------------------------------------------- TDateEdit

TDateEdit::TDateEdit(TComponent* owner) : TCustomDateEdit(owner) { RebuildMask(); }

}  // namespace controls
