#pragma once
// The date field of the program's dialogs: a masked edit whose text is a date
// in the user's date order, with a button that drops down the popup calendar
// or, in dialog style, opens the "Select a Date" dialog. The mask follows the
// user's settings, also when they change while the program runs.
#include <functional>
#include <string>
#include <vector>

#include "controls/pickdate.hpp"

namespace controls {

enum TYearDigits { dyDefault, dyFour, dyTwo };
enum TCalendarStyle { csPopup, csDialog };
// May change the date chosen, or refuse it by clearing `action`.
using TExecDateDialog = std::function<void(ui::TObject* sender, TDateTime& date, bool& action)>;

class TCustomDateEdit : public TCustomComboEdit {
public:
    explicit TCustomDateEdit(ui::TComponent* owner);
    std::string ClassName() const override { return "TCustomDateEdit"; }
    void BeforeDestruction() override;

    // The text as a date: NullDate (or today with DefaultToday) when it is none.
    TDateTime EditDate() const;
    // A value that is no valid date, or NullDate, empties the text (or writes today).
    void SetEditDate(TDateTime v);
    char BlanksChar() const { return blanks_char_; }
    void SetBlanksChar(char v);
    const std::string& DialogTitle() const { return dialog_title_; }
    void SetDialogTitle(const std::string& v) { dialog_title_ = v; }
    TExecDateDialog OnAcceptDate;
    ui::TColor PopupColor() const;
    void SetPopupColor(ui::TColor v);
    bool DefaultToday = false;
    // Leaving the edit with a text that is no date raises the conversion error.
    bool CheckOnExit = false;
    const std::vector<std::string>& CalendarHints() const { return hints_; }
    void SetCalendarHints(const std::vector<std::string>& v);  // the first four lines are kept
    TDayOfWeekName StartOfWeek() const { return start_of_week_; }
    void SetStartOfWeek(TDayOfWeekName v);
    TDaysOfWeek Weekends() const { return weekends_; }
    void SetWeekends(TDaysOfWeek v);
    ui::TColor WeekendColor() const { return weekend_color_; }
    void SetWeekendColor(ui::TColor v);
    TYearDigits YearDigits() const { return year_digits_; }
    void SetYearDigits(TYearDigits v);
    TCalendarStyle CalendarStyle() const { return Popup() ? csPopup : csDialog; }
    void SetCalendarStyle(TCalendarStyle v);
    const std::string& DateFormat() const { return date_format_; }
    // Only blanks, the blank character and date separators.
    bool IsBlank() const;
    // The validation on leaving: a text that is no date raises ui::EConvertError.
    void CheckValidDate();

    virtual void SetDateAndSelect(TDateTime v);
    virtual void RebuildMask();
    void WndProc(ui::TMessage& m) override;

protected:
    void CreateHandleDone() override;
    void DestroyWnd() override;
    void KeyDown(ui::UINT& key, ui::TShiftState shift) override;
    void KeyPress(char& key) override;
    void Change() override;
    ui::TBitmap* DefaultGlyphBitmap(bool& caller_frees) override;
    bool ConfirmPopupValue(TPopupValue& value) override;
    void TakePopupValue(const TPopupValue& value) override;
    void PassValueToPopup(const TPopupValue& value) override;
    void ButtonClick() override;

private:
    bool FourDigitYear() const;
    void ConfigurePopup();
    void Unhook();

    char blanks_char_ = ' ';
    std::string dialog_title_;
    ui::TColor popup_color_ = ui::clBtnFace;
    std::vector<std::string> hints_;
    TDayOfWeekName start_of_week_ = Mon;
    TDaysOfWeek weekends_ = DaySet({Sun});
    ui::TColor weekend_color_ = ui::clRed;
    TYearDigits year_digits_ = dyDefault;
    std::string date_format_;
    char mask_separator_ = 0;
    bool formatting_ = false;
    int hook_ = 0;
};

class TDateEdit : public TCustomDateEdit {
public:
    explicit TDateEdit(ui::TComponent* owner);
    std::string ClassName() const override { return "TDateEdit"; }
};

}  // namespace controls
