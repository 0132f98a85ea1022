#include "controls/dateutil.hpp"

#include <cmath>
#include <string>

#include "controls/detail/state.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/types.hpp"
#include "platform/clock.hpp"
#include "platform/codepage.hpp"
#include "platform/locale.hpp"
#include "platform/regional.hpp"

namespace controls {

namespace {

struct AtStartUp {
    AtStartUp() {
        ui::RegisterResourceString(SInvalidDate, "''%s'' is not a valid date");
        DateUtilStart();
    }
} at_start_up;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks only: a tab or any other control character is no blank here.
void SkipBlanks(std::string_view s, size_t& pos) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
}

bool ScanNumber(std::string_view s, size_t& pos, int& number) {
    SkipBlanks(s, pos);
    const size_t start = pos;
    int n = 0;
    // Stops before a digit once four are read: "12345" leaves its 5, so the
    // text is not consumed and is no date.
    while (pos < s.size() && IsDigit(s[pos]) && n < 1000) n = n * 10 + (s[pos++] - '0');
    if (pos == start) return false;
    number = n;
    return true;
}

bool ScanChar(std::string_view s, size_t& pos, char c) {
    SkipBlanks(s, pos);
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

void ScanToNumber(std::string_view s, size_t& pos) {
    const auto& lead = platform::Regional().lead_bytes;
    while (pos < s.size() && !IsDigit(s[pos])) pos += lead.test(static_cast<unsigned char>(s[pos])) ? 2 : 1;
    if (pos > s.size()) pos = s.size();  // a lead byte at the very end
}

bool StartsWithNoCase(std::string_view s, size_t pos, const std::string& prefix) {
    if (prefix.empty() || s.size() - pos < prefix.size()) return false;
    return platform::AnsiUpper(s.substr(pos, prefix.size())) == platform::AnsiUpper(prefix);
}

// Decimal integers with an optional sign; anything else (hex included) is no number.
int IntegerOr(std::string_view s, int fallback) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return fallback;
    long long n = 0;
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i])) return fallback;
        n = n * 10 + (s[i] - '0');
        if (n > 0x7FFFFFFF) return fallback;
    }
    return static_cast<int>(negative ? -n : n);
}

char Upper(char c) { return platform::AnsiUpper(c); }

}  // namespace

DateUtilState& DateUtilSettings() { return Controls().dates; }

DateUtilState StartDateUtilState() {
    DateUtilState state;
    state.system_four_digit_year =
        platform::AnsiUpper(platform::FormatSettings().short_date_format).find("YYYY") != std::string::npos;
    return state;
}

void DateUtilStart() { DateUtilSettings().system_four_digit_year = StartDateUtilState().system_four_digit_year; }

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int MonthDays(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

bool ValidDateParts(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= MonthDays(year, month);
}

bool ValidDateValue(TDateTime date) {
    // Outside 1 January 1 .. 31 December 9999 no decoding is meaningful.
    if (!std::isfinite(date) || date < -693593.0 || date >= 2958466.0) return false;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date, y, m, d);
    return ValidDateParts(y, m, d);
}

int ThisYear() { return platform::Now().year; }

DateOrder DateOrderOf(std::string_view format) {
    for (char c : format) switch (Upper(c)) {
        case 'D': return doDMY;
        case 'M': return doMDY;
        case 'Y':
        case 'E': return doYMD;
        default: break;
        }
    return doDMY;
}

int WidenYear(int year) {
    // Negative values are the parts' error marks, never years.
    if (year >= 100 || year < 0) return year;
    const int window = DateUtilSettings().two_digit_year_window;
    const int pivot = ThisYear() - window;
    year += pivot / 100 * 100;
    if (window > 0 && pivot > year) year += 100;
    return year;
}

bool ParseDateFree(std::string_view text, std::string_view format, size_t& pos, int& day, int& month, int& year) {
    day = month = year = 0;
    const DateOrder order = DateOrderOf(format);
    const std::string& short_format = platform::FormatSettings().short_date_format;
    const char separator = platform::FormatSettings().date_separator;
    if (!short_format.empty() && short_format[0] == 'g') ScanToNumber(text, pos);  // an era name first

    int n1 = 0, n2 = 0, n3 = 0;
    if (!ScanNumber(text, pos, n1) || !ScanChar(text, pos, separator) || !ScanNumber(text, pos, n2)) return false;
    if (ScanChar(text, pos, separator)) {
        if (!ScanNumber(text, pos, n3)) return false;
        switch (order) {
        case doMDY: month = n1, day = n2, year = n3; break;
        case doDMY: day = n1, month = n2, year = n3; break;
        case doYMD: year = n1, month = n2, day = n3; break;
        }
        year = WidenYear(year);
    } else {
        year = ThisYear();
        if (order == doDMY)
            day = n1, month = n2;
        else
            month = n1, day = n2;
    }
    ScanChar(text, pos, separator);
    SkipBlanks(text, pos);

    const platform::RegionalSettings& regional = platform::Regional();
    if (regional.far_east && short_format.find("ddd") != std::string::npos) {
        // A time of day may follow the date.
        const std::string& time = regional.short_time_format;
        if (!time.empty() && IsDigit(time[0])) {
            ScanToNumber(text, pos);
        } else {
            do {
                while (pos < text.size() && text[pos] != ' ') ++pos;
                SkipBlanks(text, pos);
            } while (pos < text.size() && !StartsWithNoCase(text, pos, regional.time_am) &&
                     !StartsWithNoCase(text, pos, regional.time_pm));
        }
    }
    return ValidDateParts(year, month, day) && pos >= text.size();
}

int MonthByName(std::string_view text, int length) {
    if (length < 1) return 0;
    const std::string key = platform::AnsiUpper(text.substr(0, static_cast<size_t>(length)));
    const auto& names = platform::Regional().long_month_names;
    for (int i = 0; i < 12; ++i) {
        const std::string& name = names[i];
        if (name.empty()) continue;
        // As many characters of each as the length asks; a shorter one ends early and differs.
        if (platform::AnsiUpper(std::string_view(name).substr(0, static_cast<size_t>(length))) == key) return i + 1;
    }
    return 0;
}

void DatePartByFormat(std::string_view format, std::string_view text, char part, int default_value, int error_value,
                      int& value, int width) {
    value = default_value;
    if (format.size() < text.size()) return;
    const size_t scan = text.size();
    const char letter = Upper(part);
    const std::string upper = platform::AnsiUpper(format);
    const size_t at = upper.find(std::string(static_cast<size_t>(width < 1 ? 1 : width), letter));
    if (at == std::string::npos) return;
    std::string collected;
    for (size_t i = at; i < scan && upper[i] == letter && collected.size() < 20; ++i)
        if (text[i] != ' ') collected += text[i];
    if (collected.empty()) {
        value = error_value;
    } else if (width < 2) {
        value = IntegerOr(collected, -1);
    } else {
        value = MonthByName(collected, static_cast<int>(collected.size()));
        if (value == 0) value = -1;
    }
}

bool DatePartsByFormat(std::string_view format, std::string_view text, int& day, int& month, int& year) {
    DatePartByFormat(format, text, 'M', 0, -1, month, 3);
    if (month == 0) DatePartByFormat(format, text, 'M', 0, -1, month, 1);
    DatePartByFormat(format, text, 'D', 1, -1, day, 1);
    DatePartByFormat(format, text, 'Y', ThisYear(), -1, year, 1);
    year = WidenYear(year);
    if (ValidDateParts(year, month, day)) return true;
    size_t pos = 0;
    return ParseDateFree(text, format, pos, day, month, year);
}

bool TextToDateByFormat(std::string_view format, std::string_view text, TDateTime& date) {
    if (text.empty()) {
        date = NullDate;
        return true;
    }
    int day = 0, month = 0, year = 0;
    if (!DatePartsByFormat(format, text, day, month, year)) return false;
    return db::TryEncodeDate(year, month, day, date);
}

TDateTime TextToDateOrError(std::string_view format, std::string_view text) {
    TDateTime date = NullDate;
    if (TextToDateByFormat(format, text, date)) return date;
    std::string message = ui::LoadStr(SInvalidDate);
    const size_t at = message.find("%s");
    if (at != std::string::npos) message.replace(at, 2, text);
    throw ui::EConvertError(message);
}

TDateTime TextToDateOrDefault(std::string_view format, std::string_view text, TDateTime default_date) {
    TDateTime date = NullDate;
    return TextToDateByFormat(format, text, date) ? date : default_date;
}

std::string DefaultDateFormatFor(bool four_digit_year) {
    switch (DateOrderOf(platform::FormatSettings().short_date_format)) {
    case doMDY: return four_digit_year ? "MM/DD/YYYY" : "MM/DD/YY";
    case doYMD: return four_digit_year ? "YYYY/MM/DD" : "YY/MM/DD";
    case doDMY: break;
    }
    return four_digit_year ? "DD/MM/YYYY" : "DD/MM/YY";
}

std::string DefaultDateMaskFor(char blank, bool four_digit_year) {
    std::string mask;
    if (!four_digit_year)
        mask = "!99/99/99;1;";
    else if (DateOrderOf(platform::FormatSettings().short_date_format) == doYMD)
        mask = "!9999/99/99;1;";
    else
        mask = "!99/99/9999;1;";
    return mask + blank;
}

}  // namespace controls
