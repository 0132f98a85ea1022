#pragma once
// Calendar arithmetic, the date formats and edit masks of the date edit, and
// the conversion of an edit's text to a date: first by the character
// positions the edit's format gives day, month and year, then by a free
// scanner in the user's date order. The short date format and separator are
// the framework's (platform/locale.hpp), the month names, time markers and
// code page the user's regional settings (platform/regional.hpp).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/db/sysutils.hpp"

namespace controls {

using db::TDateTime;

enum DateOrder { doMDY, doDMY, doYMD };

// The empty date of the date edit and the calendar.
inline constexpr TDateTime NullDate = 0.0;

// Resource string of the conversion error; "%s" is the text.
constexpr int SInvalidDate = 65339;

// Unit state, set at start-up (kept in the library's state, controls/detail/state.hpp).
struct DateUtilState {
    // Two-digit years lie in the `window` years before this year and the
    // 100 - window after it; 0 switches the upward correction off.
    uint8_t two_digit_year_window = 60;
    // The user's short date format shows four-digit years.
    bool system_four_digit_year = false;
};
DateUtilState& DateUtilSettings();
// The state at start-up: the default window, the four-digit flag from the
// short date format in force.
DateUtilState StartDateUtilState();
// Computes the four-digit flag from the short date format in force, as at start-up.
void DateUtilStart();

bool LeapYear(int year);
int MonthDays(int year, int month);  // 0 for a month outside 1..12
bool ValidDateParts(int year, int month, int day);
bool ValidDateValue(TDateTime date);
int ThisYear();
// D gives DMY, M MDY, Y and E YMD, whichever comes first; none gives DMY.
DateOrder DateOrderOf(std::string_view format);
// A year below 100 moved into the year window around this year.
int WidenYear(int year);

// The free scanner: numbers separated by the date separator in the order of
// `format`, read from `pos` (0-based, left where the scan stopped). True when
// the whole text was a valid date.
bool ParseDateFree(std::string_view text, std::string_view format, size_t& pos, int& day, int& month, int& year);
// 1..12 for the first long month name that starts like the text's first
// `length` characters (case-insensitive); 0 when none does.
int MonthByName(std::string_view text, int length);
// Reads one part (letter D, M or Y) from the positions the format gives it;
// a width of 2 or more reads a month name.
void DatePartByFormat(std::string_view format, std::string_view text, char part, int default_value, int error_value,
                      int& value, int width);
bool DatePartsByFormat(std::string_view format, std::string_view text, int& day, int& month, int& year);
// An empty text is NullDate.
bool TextToDateByFormat(std::string_view format, std::string_view text, TDateTime& date);
// ui::EConvertError "''<text>'' is not a valid date" when the text is no date.
TDateTime TextToDateOrError(std::string_view format, std::string_view text);
TDateTime TextToDateOrDefault(std::string_view format, std::string_view text, TDateTime default_date);

// The format and the edit mask of the user's date order; '/' marks the date
// separator's place, which the framework shows with the user's separator.
std::string DefaultDateFormatFor(bool four_digit_year);
std::string DefaultDateMaskFor(char blank, bool four_digit_year);

}  // namespace controls
