#pragma once
// Dates inside expressions and date keys: Julian day numbers as doubles on
// the Gregorian calendar extended backwards (1 January of year 1 is day
// 1721426, 31 December 9999 day 5373484), and the conversions to and from
// the stored form YYYYMMDD and the date text of the current SET DATE style.
// Days outside that range, the blank date (1E100) among them, convert to
// blanks.
#include <cstdint>
#include <string>
#include <string_view>

namespace zurod {

inline constexpr int32_t kFirstJulianDay = 1721426;
inline constexpr int32_t kLastJulianDay = 5373484;

// Days of the years before `year` (0 for years below 2).
int32_t DaysBeforeYear(int year);
// 1..366, or -1 when the date is invalid.
int DayOfYear(int year, int month, int day);
// Month and day of the `day_of_year`-th day of `year`.
void MonthDayFromDayOfYear(int year, int day_of_year, int& month, int& day);

struct CivilDate {
    int year = 0, month = 0, day = 0;
};
// The date of Julian day `julian` (its integer part); false outside the range.
bool CivilFromJulian(double julian, CivilDate& date);
// 1 = Sunday .. 7 = Saturday; 0 outside the range.
int DayOfWeekFromJulian(double julian);

// The blank date when the date is invalid.
double JulianFromParts(int year, int month, int day);
// The first 8 characters as YYYYMMDD; blanks or an invalid date give the blank date.
double JulianFromDTOS(std::string_view yyyymmdd);
// A date text in the current SET DATE style (its first 10 characters).
double JulianFromCTOD(std::string_view date);

// Eight characters; blanks outside the range.
std::string DTOSFromJulian(double julian);
// The date in the current SET DATE style; the style's blank pattern outside the range.
std::string DTOCFromJulian(double julian);
// A date text in the current style as YYYYMMDD; blanks when it holds no date.
std::string DTOSFromCTOD(std::string_view date);

// The same into a buffer, for loops that must not allocate: 8 characters,
// and up to 10 characters returning the count.
void WriteDTOS(double julian, char* out);
size_t WriteDTOC(double julian, char* out);

}  // namespace zurod
