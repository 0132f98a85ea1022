#include "engine/dbf/dates.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/errors.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"

namespace zurod {

namespace {

constexpr size_t kDateLen = 10;  // longest date string
constexpr uint8_t kCodeCount = 9;
constexpr uint16_t kInvalidParameter = 220;

uint8_t CodeForLanguage(uint16_t lang_id) {
    const uint16_t country = platform::SubLangID(lang_id);
    switch (platform::PrimaryLangID(lang_id)) {
    case 9: return country == 1 ? 0 : 2;   // English
    case 16: return 3;                     // Italian
    case 12: return country == 3 ? 7 : 4;  // French
    case 7: return 5;                      // German
    case 10: return 6;                     // Spanish
    case 25: return 8;                     // Russian
    default: return 0;
    }
}

}  // namespace

DateState StartDateState() {
    DateState s;
    const int year = platform::Now().year;
    s.window_start = static_cast<uint16_t>(year > 70 ? year - 70 : 0);
    s.code = CodeForLanguage(platform::UserDefaultLangID());
    if (s.code >= 3 && s.code <= 6) {
        s.decimal = ',', s.thousands = '.';
    } else if (s.code == 8) {
        s.decimal = '.', s.thousands = ' ';
    }
    return s;
}

namespace {

DateState& State() { return Engine().dates; }

constexpr std::array<char, kCodeCount> kSeparator = {'/', '.', '/', '-', '.', '.', '.', '.', '.'};

uint8_t ValidCode(uint8_t code) { return code < kCodeCount ? code : 0; }

std::string BlankDate(uint8_t code, bool century) {
    code = ValidCode(code);
    const char sep = kSeparator[code];
    std::string blank(century ? 10 : 8, ' ');
    if (code == 1) {
        blank[blank.size() - 6] = sep;
        blank[blank.size() - 3] = sep;
    } else {
        blank[2] = blank[5] = sep;
    }
    return blank;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// The trimmed text as a number; 0 unless it is all digits.
int NumberOr0(std::string_view s) {
    s = TrimBlanks(s);
    if (!AllDigits(s) || s.size() > 9) return 0;
    int n = 0;
    for (char c : s) n = n * 10 + (c - '0');
    return n;
}

std::string TwoDigits(int n) {
    std::string s = std::to_string(n);
    if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
    return s;
}

std::string PadPart(std::string_view part) {
    part = TrimBlanks(part);
    std::string s(part);
    if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
    return s;
}

std::string_view CutAtNul(std::string_view s) { return s.substr(0, s.find('\0')); }

// Splits at the first two separators; a missing part is empty.
std::array<std::string_view, 3> SplitDate(std::string_view s, char sep) {
    std::array<std::string_view, 3> parts{};
    for (size_t i = 0; i < 2; ++i) {
        const size_t at = s.find(sep);
        if (at == std::string_view::npos) {
            parts[i] = s;
            return parts;
        }
        parts[i] = s.substr(0, at);
        s.remove_prefix(at + 1);
    }
    parts[2] = s;
    return parts;
}

bool AllEmpty(const std::array<std::string_view, 3>& parts) {
    for (std::string_view p : parts)
        if (!TrimBlanks(p).empty()) return false;
    return true;
}

int CenturyBaseOf(int yy) {
    const uint16_t w = State().window_start;
    const int base = w / 100 * 100;
    return yy >= w % 100 ? base : base + 100;
}

// A two-digit year gets its century when the century is on.
std::string CompleteYear(std::string year) {
    if (State().century && year.size() == 2) year.insert(0, CenturyOf(year));
    return year;
}

std::string JoinInFormat(uint8_t code, const std::string& month, const std::string& day, const std::string& year) {
    code = ValidCode(code);
    const char sep = kSeparator[code];
    switch (code) {
    case 0: return month + sep + day + sep + year;
    case 1: return year + sep + month + sep + day;
    default: return day + sep + month + sep + year;
    }
}

// The American form without the 10-character cut, so that validation sees
// the whole text.
std::string American(std::string_view date) {
    char sep = 0;
    for (char candidate : {'/', '-', '.'}) {
        if (date.find(candidate) != std::string_view::npos) {
            sep = candidate;
            break;
        }
    }
    if (sep == 0) return std::string(date);
    const auto parts = SplitDate(CutAtNul(date), sep);
    if (AllEmpty(parts)) return BlankDate(0, State().century);
    std::string a = PadPart(parts[0]), b = PadPart(parts[1]), c = PadPart(parts[2]);
    switch (State().code) {
    case 0: return a + '/' + b + '/' + CompleteYear(c);
    case 1: return b + '/' + c + '/' + CompleteYear(a);
    default: return b + '/' + a + '/' + CompleteYear(c);
    }
}

std::string FromAmerican(std::string_view american) {
    const auto parts = SplitDate(CutAtNul(american), '/');
    if (AllEmpty(parts)) return BlankDate(State().code, State().century);
    return JoinInFormat(State().code, PadPart(parts[0]), PadPart(parts[1]), CompleteYear(PadPart(parts[2])));
}

std::string Cut(std::string s) {
    if (s.size() > kDateLen) s.resize(kDateLen);
    return s;
}

bool IsBlankAmerican(std::string_view american) {
    return american == BlankDate(0, false) || american == BlankDate(0, true);
}

struct Ymd {
    int year = 0, month = 0, day = 0;
};

// A well-formed American form "MM/DD/YY" or "MM/DD/YYYY", the two-digit
// year widened by the window. The ranges are not checked.
bool ReadAmerican(std::string_view am, Ymd& out) {
    if ((am.size() != 8 && am.size() != 10) || am[2] != '/' || am[5] != '/') return false;
    const std::string_view month = am.substr(0, 2), day = am.substr(3, 2), year = am.substr(6);
    if (!AllDigits(month) || !AllDigits(day) || !AllDigits(year)) return false;
    out.month = NumberOr0(month);
    out.day = NumberOr0(day);
    out.year = NumberOr0(year);
    if (year.size() == 2) out.year += CenturyBaseOf(out.year);
    return true;
}

constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int MonthLength(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kDaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Parses a valid, non-blank date of the current format.
bool ReadValidDate(std::string_view date, Ymd& out) {
    std::string copy(date);
    if (!DateValid(copy)) return false;
    const std::string am = American(copy);
    return !IsBlankAmerican(am) && ReadAmerican(am, out);
}

int64_t Julian(int64_t y, int64_t m, int64_t d) {
    if (m < 3) {
        y -= 1;
        m += 12;
    }
    const int64_t a = (153 * (m + 1)) / 5 + (1461 * (y + 4716)) / 4 + d - 1524;
    const int64_t b = a + 2 - y / 100 + y / 400 - y / 4000;
    // Before the Gregorian switch the Julian calendar applies.
    return b < 2299161 ? a : b;
}

struct NameTable {
    int day_width;
    std::array<std::string_view, 7> days;
    int month_width;
    std::array<std::string_view, 12> months;
};

// Western names in CP1252, Russian ones in CP1251.
constexpr NameTable kEnglish = {9,
                                {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
                                9,
                                {"January", "February", "March", "April", "May", "June", "July", "August", "September",
                                 "October", "November", "December"}};
constexpr NameTable kItalian = {9,
                                {"Domenica", "Lunedi", "Martedi", "Mercoledi", "Giovedi", "Venerdi", "Sabato"},
                                9,
                                {"Gennaio", "Febbraio", "Marzo", "Aprile", "Maggio", "Giugno", "Luglio", "Agosto",
                                 "Settembre", "Ottobre", "Novembre", "Dicembre"}};
constexpr NameTable kFrench = {
    8,
    {"Dimanche", "Lundi", "Mardi", "Mercredi", "Jeudi", "Vendredi", "Samedi"},
    9,
    {"Janvier", "F\xE9vrier", "Mars", "Avril", "Mai", "Juin", "Juillet", "Ao\xFBt", "Septembre", "Octobre", "Novembre",
     "D\xE9"
     "cembre"}};
constexpr NameTable kGerman = {10,
                               {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
                               9,
                               {"Januar", "Februar", "M\xE4rz", "April", "Mai", "Juni", "Juli", "August", "September",
                                "Oktober", "November", "Dezember"}};
constexpr NameTable kSpanish = {9,
                                {"Domingo", "Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado"},
                                10,
                                {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre",
                                 "Octubre", "Noviembre", "Diciembre"}};
constexpr NameTable kRussian = {
    11,
    {"\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5", "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA",
     "\xC2\xF2\xEE\xF0\xED\xE8\xEA", "\xD1\xF0\xE5\xE4\xE0", "\xD7\xE5\xF2\xE2\xE5\xF0\xE3",
     "\xCF\xFF\xF2\xED\xE8\xF6\xE0", "\xD1\xF3\xE1\xE1\xEE\xF2\xE0"},
    8,
    {"\xDF\xED\xE2\xE0\xF0\xFC", "\xD4\xE5\xE2\xF0\xE0\xEB\xFC", "\xCC\xE0\xF0\xF2", "\xC0\xEF\xF0\xE5\xEB\xFC",
     "\xCC\xE0\xE9", "\xC8\xFE\xED\xFC", "\xC8\xFE\xEB\xFC", "\xC0\xE2\xE3\xF3\xF1\xF2",
     "\xD1\xE5\xED\xF2\xFF\xE1\xF0\xFC", "\xCE\xEA\xF2\xFF\xE1\xF0\xFC", "\xCD\xEE\xFF\xE1\xF0\xFC",
     "\xC4\xE5\xEA\xE0\xE1\xF0\xFC"}};

const NameTable& Names(uint8_t code) {
    switch (code) {
    case 3: return kItalian;
    case 4:
    case 7: return kFrench;
    case 5: return kGerman;
    case 6: return kSpanish;
    case 8: return kRussian;
    default: return kEnglish;
    }
}

std::string Padded(std::string_view name, int width) {
    std::string s(name);
    if (s.size() < static_cast<size_t>(width)) s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

uint8_t DateCode() { return State().code; }
bool CenturyOn() { return State().century; }
uint16_t WindowStart() { return State().window_start; }
char DecimalSeparator() { return State().decimal; }
char ThousandsSeparator() { return State().thousands; }

void SetDateFormat(uint8_t code) {
    DateState& s = State();
    s.code = ValidCode(code);
    const std::string year = s.century ? "yyyy" : "yy";
    const char sep = kSeparator[s.code];
    platform::DateFormatSettings& platform_format = platform::FormatSettings();
    platform_format.short_date_format = JoinInFormat(s.code, "MM", "dd", year);
    platform_format.date_separator = sep;
}

void SetCentury(bool on) {
    State().century = on;
    SetDateFormat(State().code);
}

void SetWindowStart(uint16_t year) { State().window_start = year; }

void SetNumberSeparators(char decimal, char thousands) {
    State().decimal = decimal;
    State().thousands = thousands;
}

void ResetDateState() { State() = StartDateState(); }

std::string BlankDateStr(uint8_t code) { return BlankDate(code, State().century); }

int CenturyBase(std::string_view yy) { return CenturyBaseOf(NumberOr0(yy)); }

std::string CenturyOf(std::string_view yy) { return TwoDigits(CenturyBase(yy) / 100); }

void DateToAmerican(std::string& date) { date = Cut(American(date)); }

void DateFromAmerican(std::string& date) { date = Cut(FromAmerican(date)); }

namespace {

// A date text as DateValid reads it, without building any text: the blank
// date, no date, or a date with its year as the normalised text shows it.
enum class DateRead { Invalid, Blank, Valid };
struct ReadDate {
    int year = 0, month = 0, day = 0;
    char year_text[4] = {};
    size_t year_length = 0;  // 2 or 4
};

// A part of the text trimmed and padded to two characters, as the American
// form takes it: its digits' value and its length, -1 when it holds
// anything but digits.
struct Part {
    int value = 0;
    size_t length = 0;
    const char* text = nullptr;  // the trimmed digits (none when empty)
};

Part ReadPart(std::string_view raw) {
    const std::string_view t = TrimBlanks(raw);
    Part p;
    p.text = t.data();
    p.length = std::max<size_t>(t.size(), 2);
    for (char c : t) {
        if (!IsDigit(c) || p.value > 99'999) return {-1, p.length, nullptr};
        p.value = p.value * 10 + (c - '0');
    }
    return p;
}

DateRead ReadDateText(std::string_view date, ReadDate& out) {
    const DateState& st = State();
    const std::string_view t = TrimBlanks(date);
    char sep = 0;
    for (char candidate : {'/', '-', '.'}) {
        if (t.find(candidate) != std::string_view::npos) {
            sep = candidate;
            break;
        }
    }
    if (sep == 0) return DateRead::Invalid;
    const auto parts = SplitDate(CutAtNul(t), sep);
    if (AllEmpty(parts)) return DateRead::Blank;
    const uint8_t code = ValidCode(st.code);
    const std::string_view& m = code == 0 ? parts[0] : parts[1];
    const std::string_view& d = code == 0 ? parts[1] : code == 1 ? parts[2] : parts[0];
    const std::string_view& y = code == 1 ? parts[0] : parts[2];
    const Part month = ReadPart(m), day = ReadPart(d), year = ReadPart(y);
    // The American form "MM/DD/YY" or "MM/DD/YYYY", all digits.
    if (month.value < 0 || day.value < 0 || year.value < 0 || month.length != 2 || day.length != 2)
        return DateRead::Invalid;
    if (year.length == 2) {
        const int base = CenturyBaseOf(year.value);
        out.year = base + year.value;
        if (st.century) {
            // The century's digits go in front; a century of three digits
            // makes no date text.
            if (base / 100 > 99) return DateRead::Invalid;
            out.year_length = 4;
            out.year_text[0] = static_cast<char>('0' + base / 1000 % 10);
            out.year_text[1] = static_cast<char>('0' + base / 100 % 10);
            out.year_text[2] = static_cast<char>('0' + year.value / 10);
            out.year_text[3] = static_cast<char>('0' + year.value % 10);
        } else {
            out.year_length = 2;
            out.year_text[0] = static_cast<char>('0' + year.value / 10);
            out.year_text[1] = static_cast<char>('0' + year.value % 10);
        }
    } else if (year.length == 4) {
        out.year = year.value;
        out.year_length = 4;
        std::memcpy(out.year_text, year.text, 4);
    } else {
        return DateRead::Invalid;
    }
    out.month = month.value;
    out.day = day.value;
    if (out.month < 1 || out.month > 12 || out.day < 1 || out.day > MonthLength(out.year, out.month))
        return DateRead::Invalid;
    return DateRead::Valid;
}

void PutTwoDigits(int n, char* out) {
    out[0] = static_cast<char>('0' + n / 10 % 10);
    out[1] = static_cast<char>('0' + n % 10);
}

}  // namespace

bool DateValid(std::string& date) {
    ReadDate d;
    switch (ReadDateText(date, d)) {
    case DateRead::Invalid: return false;
    case DateRead::Blank: date = BlankDateStr(State().code); return true;
    case DateRead::Valid: break;
    }
    // The date in the current format; a year written with four digits stays
    // as written, century or not.
    const uint8_t code = ValidCode(State().code);
    const char sep = kSeparator[code];
    char text[kDateLen];
    char month[2], day[2];
    PutTwoDigits(d.month, month);
    PutTwoDigits(d.day, day);
    size_t n = 0;
    const auto put = [&](const char* p, size_t len) {
        std::memcpy(text + n, p, len);
        n += len;
    };
    switch (code) {
    case 0: put(month, 2), text[n++] = sep, put(day, 2), text[n++] = sep, put(d.year_text, d.year_length); break;
    case 1: put(d.year_text, d.year_length), text[n++] = sep, put(month, 2), text[n++] = sep, put(day, 2); break;
    default: put(day, 2), text[n++] = sep, put(month, 2), text[n++] = sep, put(d.year_text, d.year_length); break;
    }
    date.assign(text, n);
    return true;
}

bool DateToStored(std::string_view date, char* yyyymmdd) {
    ReadDate d;
    switch (ReadDateText(date, d)) {
    case DateRead::Invalid: return false;
    case DateRead::Blank: std::memset(yyyymmdd, ' ', 8); return true;
    case DateRead::Valid: break;
    }
    if (d.year < 0 || d.year > 9999) return false;
    PutTwoDigits(d.year / 100, yyyymmdd);
    PutTwoDigits(d.year % 100, yyyymmdd + 2);
    PutTwoDigits(d.month, yyyymmdd + 4);
    PutTwoDigits(d.day, yyyymmdd + 6);
    return true;
}

bool DateToStored(std::string_view date, std::string& yyyymmdd) {
    char stored[8];
    if (!DateToStored(date, stored)) return false;
    yyyymmdd.assign(stored, 8);
    return true;
}

uint32_t JulianDay(PackedDate date) { return static_cast<uint32_t>(Julian(date.year, date.month, date.day)); }

bool IsLeapYear(int year) {
    if (year % 400 == 0) return true;
    if (year % 4 != 0) return false;
    return year % 100 != 0;
}

int32_t DateDiff(std::string_view first, std::string_view second) {
    Ymd a, b;
    if (!ReadValidDate(first, a) || !ReadValidDate(second, b)) {
        RunError(kInvalidParameter, "[DateDiff(" + std::string(first) + "," + std::string(second) + ")]");
        return 0;
    }
    SetLastErrorCode(0);
    return static_cast<int32_t>(Julian(a.year, a.month, a.day) - Julian(b.year, b.month, b.day));
}

std::string DateFrom(int year, int month, int day) {
    const bool two_digit = year >= 0 && year <= 99;
    const int full_year = two_digit ? year + CenturyBaseOf(year) : year;
    // A date text holds a two-digit year (through the window) or a four-digit one.
    const bool writable = two_digit || (year >= 1000 && year <= 9999);
    const bool accepted = writable && month >= 1 && month <= 12 && day >= 1 && day <= MonthLength(full_year, month);

    // A year above 99 keeps all its digits even with the century off.
    const std::string year_text = two_digit && !State().century ? TwoDigits(year) : TwoDigits(full_year);
    std::string built = Cut(JoinInFormat(State().code, TwoDigits(month), TwoDigits(day), year_text));
    if (!accepted) {
        RunError(kInvalidParameter,
                 "[DateFrom(" + std::to_string(year) + "," + std::to_string(month) + "," + std::to_string(day) + ")]");
    }
    return built;
}

int DayOfWeekNo(std::string_view date) {
    Ymd d;
    if (!ReadAmerican(American(date), d)) return 0;
    int m = d.month;
    int c = d.year / 100, k = d.year % 100;
    if (m < 3) {
        m += 12;
        if (--k < 0) {
            k = 99;
            --c;
        }
    }
    int h = (d.day + (m + 1) * 26 / 10 + k + k / 4 + c / 4 - 2 * c) % 7;
    if (h < 0) h += 7;
    return h == 0 ? 7 : h;
}

std::string DTOS(std::string_view date) {
    Ymd d;
    if (!ReadAmerican(American(date), d)) return std::string(8, ' ');
    std::string year = std::to_string(d.year);
    if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
    return year + TwoDigits(d.month) + TwoDigits(d.day);
}

std::string StoredToDate(std::string_view yyyymmdd) { return StoredToDate(yyyymmdd, State().century); }

std::string StoredToDate(std::string_view yyyymmdd, bool four_digit_year) {
    if (TrimBlanks(yyyymmdd).empty()) return BlankDate(State().code, four_digit_year);
    std::string stored(yyyymmdd.substr(0, 8));
    stored.resize(8, ' ');
    const std::string year = four_digit_year ? stored.substr(0, 4) : stored.substr(2, 2);
    return JoinInFormat(State().code, stored.substr(4, 2), stored.substr(6, 2), year);
}

std::string CDOW(std::string_view date) { return DayName(DayOfWeekNo(date)); }

std::string CMONTH(std::string_view date) { return MonthName(MonthOf(date)); }

std::string DayName(int day_of_week) {
    if (day_of_week < 1 || day_of_week > 7) return std::string(10, ' ');
    const NameTable& names = Names(State().code);
    return Padded(names.days[day_of_week - 1], names.day_width);
}

std::string MonthName(int month) {
    if (month < 1 || month > 12) return std::string(9, ' ');
    const NameTable& names = Names(State().code);
    return Padded(names.months[month - 1], names.month_width);
}

int MonthOf(std::string_view date) {
    const std::string am = American(date);
    return NumberOr0(std::string_view(am).substr(0, 2));
}

int DayOf(std::string_view date) {
    const std::string am = American(date);
    return am.size() < 3 ? 0 : NumberOr0(std::string_view(am).substr(3, 2));
}

int YearOf(std::string_view date) {
    const std::string am = American(date);
    return am.size() < 6 ? 0 : NumberOr0(std::string_view(am).substr(6));
}

std::string DayStr(std::string_view date) {
    const int day = DayOf(date);
    return day == 0 ? std::string(2, ' ') : std::to_string(day);
}

int DaysInMonth(std::string_view date) {
    Ymd d;
    if (!ReadAmerican(American(date), d)) return 0;
    return MonthLength(d.year, d.month);
}

std::string TodayStr() {
    const platform::LocalDateTime now = platform::Now();
    return DateFrom(State().century ? now.year : now.year % 100, now.month, now.day);
}

Today GetDate() {
    const platform::LocalDateTime now = platform::Now();
    return {now.year, now.month, now.day, now.day_of_week};
}

std::string TimeStr(int hours, int minutes, int seconds) {
    constexpr char kTimeSeparator = ':';
    return TwoDigits(hours) + kTimeSeparator + TwoDigits(minutes) + kTimeSeparator + TwoDigits(seconds);
}

uint32_t TickCount() { return platform::TickCount(); }

uint32_t Seconds() { return platform::TickCount() / 1000; }

}  // namespace zurod
