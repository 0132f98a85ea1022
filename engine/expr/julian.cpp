#include "engine/expr/julian.hpp"

#include <cmath>
#include <cstring>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/expr/expr.hpp"

namespace zurod {

namespace {

constexpr int32_t kDayZero = kFirstJulianDay - 1;  // 31 December of year 0
constexpr int kMonthStart[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool InRange(double julian) { return julian >= kFirstJulianDay && julian <= kLastJulianDay; }

// As IsLeapYear, here where every date field a filter reads comes through.
inline bool Leap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

void TwoDigits(int n, char* out) {
    out[0] = static_cast<char>('0' + n / 10 % 10);
    out[1] = static_cast<char>('0' + n % 10);
}

void FourDigits(int n, char* out) {
    TwoDigits(n / 100, out);
    TwoDigits(n % 100, out + 2);
}

// The digits of `text` as a number; -1 unless every character is a digit.
inline int Digits(std::string_view text) {
    if (text.empty()) return -1;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Four-digit years for the conversions of date texts, whatever the setting.
class CenturyOnScope {
public:
    CenturyOnScope() : saved_(Engine().dates.century) { Engine().dates.century = true; }
    ~CenturyOnScope() { Engine().dates.century = saved_; }
    CenturyOnScope(const CenturyOnScope&) = delete;
    CenturyOnScope& operator=(const CenturyOnScope&) = delete;

private:
    bool saved_;
};

}  // namespace

int32_t DaysBeforeYear(int year) {
    if (year < 2) return 0;
    const int32_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

int DayOfYear(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1) return -1;
    const bool leap = Leap(year);
    const int length = kMonthLength[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > length) return -1;
    return kMonthStart[month - 1] + day + (month > 2 && leap ? 1 : 0);
}

void MonthDayFromDayOfYear(int year, int day_of_year, int& month, int& day) {
    if (IsLeapYear(year) && day_of_year >= 60) {
        if (day_of_year == 60) {
            month = 2;
            day = 29;
            return;
        }
        --day_of_year;
    }
    month = 12;
    while (month > 1 && kMonthStart[month - 1] >= day_of_year) --month;
    day = day_of_year - kMonthStart[month - 1];
}

bool CivilFromJulian(double julian, CivilDate& date) {
    if (!InRange(julian)) return false;
    const int32_t n = static_cast<int32_t>(julian) - kDayZero;  // 1 on 1 January of year 1
    int year = static_cast<int>(n / 365.2425) + 1;
    if (DaysBeforeYear(year) >= n) --year;
    while (DaysBeforeYear(year + 1) < n) ++year;
    date.year = year;
    MonthDayFromDayOfYear(year, n - DaysBeforeYear(year), date.month, date.day);
    return true;
}

int DayOfWeekFromJulian(double julian) {
    if (!InRange(julian)) return 0;
    return (static_cast<int32_t>(julian) + 1) % 7 + 1;
}

double JulianFromParts(int year, int month, int day) {
    if (year < 1 || year > 9999) return kBlankDate;
    const int doy = DayOfYear(year, month, day);
    if (doy < 0) return kBlankDate;
    return doy + DaysBeforeYear(year) + kDayZero;
}

double JulianFromDTOS(std::string_view yyyymmdd) {
    if (yyyymmdd.size() < 8) return kBlankDate;
    // Every date field a filter reads comes here: the eight digits at once.
    int digits[8];
    for (int i = 0; i < 8; ++i) {
        digits[i] = yyyymmdd[static_cast<size_t>(i)] - '0';
        if (digits[i] < 0 || digits[i] > 9) return kBlankDate;
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    return JulianFromParts(year, digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]);
}

double JulianFromCTOD(std::string_view date) {
    std::string american(date.substr(0, 10));
    {
        CenturyOnScope four_digits;
        DateToAmerican(american);
    }
    if (american.size() != 10 || american[2] != '/' || american[5] != '/') return kBlankDate;
    const std::string_view a(american);
    return JulianFromParts(Digits(a.substr(6, 4)), Digits(a.substr(0, 2)), Digits(a.substr(3, 2)));
}

void WriteDTOS(double julian, char* out) {
    CivilDate d;
    if (!CivilFromJulian(julian, d)) {
        std::memset(out, ' ', 8);
        return;
    }
    FourDigits(d.year, out);
    TwoDigits(d.month, out + 4);
    TwoDigits(d.day, out + 6);
}

size_t WriteDTOC(double julian, char* out) {
    const bool century = CenturyOn();
    const size_t ylen = century ? 4 : 2;
    CivilDate d;
    const bool valid = CivilFromJulian(julian, d);
    char year[4], month[2], day[2];
    if (valid) {
        if (century)
            FourDigits(d.year, year);
        else
            TwoDigits(d.year % 100, year);
        TwoDigits(d.month, month);
        TwoDigits(d.day, day);
    } else {
        std::memset(year, ' ', 4);
        std::memset(month, ' ', 2);
        std::memset(day, ' ', 2);
    }
    size_t n = 0;
    auto put = [&](const char* p, size_t len) {
        std::memcpy(out + n, p, len);
        n += len;
    };
    auto sep = [&](char c) { out[n++] = c; };
    switch (DateCode()) {
    case 0: put(month, 2), sep('/'), put(day, 2), sep('/'), put(year, ylen); break;
    case 1: put(year, ylen), sep('.'), put(month, 2), sep('.'), put(day, 2); break;
    case 2:
    case 8: put(day, 2), sep('/'), put(month, 2), sep('/'), put(year, ylen); break;
    case 3: put(day, 2), sep('-'), put(month, 2), sep('-'), put(year, ylen); break;
    default: put(day, 2), sep('.'), put(month, 2), sep('.'), put(year, ylen); break;
    }
    return n;
}

std::string DTOSFromJulian(double julian) {
    std::string s(8, ' ');
    WriteDTOS(julian, s.data());
    return s;
}

std::string DTOCFromJulian(double julian) {
    char text[10];
    return std::string(text, WriteDTOC(julian, text));
}

std::string DTOSFromCTOD(std::string_view date) { return DTOSFromJulian(JulianFromCTOD(date)); }

}  // namespace zurod
