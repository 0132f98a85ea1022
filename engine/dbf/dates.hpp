#pragma once
// Dates in the engine's current format (the SET DATE code 0..8 with a two- or
// four-digit year), the American form MM/DD/YYYY, the stored form YYYYMMDD,
// the two-digit-year window, Julian days and the day and month names.
#include <cstdint>
#include <string>
#include <string_view>

namespace zurod {

// Date state. It is set up on first use the way the engine's start-up does it:
// the window starts 70 years before today, the code follows the user's
// language, the century is off, and the number separators follow the code.
uint8_t DateCode();
bool CenturyOn();
uint16_t WindowStart();
char DecimalSeparator();
char ThousandsSeparator();

// Sets the code (9 and above become 0) and installs the matching short date
// format and separator as the platform's settings.
void SetDateFormat(uint8_t code);
// Turns the century on (or off) and re-applies the current code.
void SetCentury(bool on = true);
void SetWindowStart(uint16_t year);
void SetNumberSeparators(char decimal, char thousands);
// Test support: back to the start-up state.
void ResetDateState();

std::string BlankDateStr(uint8_t code);

// A two-digit year's century by the window: 1900 or 2000 (as a number), and
// the same as two digits ("19", "20").
int CenturyBase(std::string_view yy);
std::string CenturyOf(std::string_view yy);

// In place, between the current format and the American form.
void DateToAmerican(std::string& date);
void DateFromAmerican(std::string& date);

// Trims and normalises the date and writes it back; the blank date is valid.
// A four-digit year keeps its four digits even with the century off.
bool DateValid(std::string& date);

struct PackedDate {
    uint16_t year;
    uint8_t month;
    uint8_t day;
};
uint32_t JulianDay(PackedDate date);
bool IsLeapYear(int year);

// first - second in days (signed); 220 for an invalid or blank date.
int32_t DateDiff(std::string_view first, std::string_view second);
// The date in the current format; 220 for a month or day out of range, but the
// text is built either way.
std::string DateFrom(int year, int month, int day);

int DayOfWeekNo(std::string_view date);   // 1 = Sunday .. 7 = Saturday
std::string DTOS(std::string_view date);  // YYYYMMDD, eight blanks for a blank date
// YYYYMMDD to the current format; blanks give the blank date.
std::string StoredToDate(std::string_view yyyymmdd);
// The same with the year's four digits whatever the century setting, so
// that the text carries the whole date.
std::string StoredToDate(std::string_view yyyymmdd, bool four_digit_year);
// A date text in the current format as YYYYMMDD (eight blanks for the blank
// date); false for a text that is no valid date. A four-digit year is taken
// as written, a two-digit one through the window.
bool DateToStored(std::string_view date, std::string& yyyymmdd);
// The same into eight characters, for loops that must not allocate.
bool DateToStored(std::string_view date, char* yyyymmdd);

// Names in the ANSI page, padded to their table's width; blanks for a blank
// date (10 for CDOW, 9 for CMONTH).
std::string CDOW(std::string_view date);
std::string CMONTH(std::string_view date);
// The same names by number (1 = Sunday, 1 = January) in the current code's
// language; blanks as above when the number is out of range.
std::string DayName(int day_of_week);
std::string MonthName(int month);

int MonthOf(std::string_view date);
int DayOf(std::string_view date);
int YearOf(std::string_view date);
std::string DayStr(std::string_view date);
int DaysInMonth(std::string_view date);
std::string TodayStr();

struct Today {
    int year, month, day;
    int day_of_week;  // 1 = Sunday
};
Today GetDate();

std::string TimeStr(int hours, int minutes, int seconds);
uint32_t TickCount();
uint32_t Seconds();

}  // namespace zurod
