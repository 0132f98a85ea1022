#pragma once
// The framework's value conversions that fields use: dates as day numbers and
// texts in the short date format, and numbers as texts with the decimal
// separator of the process-wide settings (platform/locale.hpp). Failures
// raise ui::EConvertError with the framework's messages.
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/ui/types.hpp"

namespace db {

// Days since 30 December 1899 (the fraction is the time of day).
using TDateTime = double;
// Day 0 of TDateTime counted from 1 January of year 1 (day 1).
inline constexpr int32_t kDateDelta = 693594;

bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when out of range
void DecodeDate(TDateTime date, int& year, int& month, int& day);

// `format` letters: d, dd, M or m, MM or mm, yy, yyyy; "/" is the date
// separator; anything else is copied.
std::string FormatDate(std::string_view format, TDateTime date);
// In the process's short date format.
std::string DateToStr(TDateTime date);
// Day, month and year in the order of the short date format, separated by the
// date separator (a missing year is this year's); a two-digit year lies in
// this century unless that is more than 50 years back.
bool TryStrToDate(std::string_view text, TDateTime& date);
TDateTime StrToDate(std::string_view text);

// Shortest text with up to 15 significant digits, as "12.5", "1E20", "1.5E-7".
std::string FloatToStr(double value);
bool TryStrToFloat(std::string_view text, double& value);
double StrToFloat(std::string_view text);
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToInt(std::string_view text);
std::string IntToStr(int64_t value);

}  // namespace db
