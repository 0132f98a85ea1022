#include "platform/db/sysutils.hpp"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/locale.hpp"
#include "platform/numbers.hpp"

namespace db {

namespace {

using namespace std::chrono;

constexpr sys_days kDayZero = sys_days{year{1899} / December / 30};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

void PutNumber(std::string& out, int value, int digits) {
    char buffer[12];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (int n = static_cast<int>(end - buffer); n < digits; ++n) out += '0';
    out.append(buffer, end);
}

// The order of day, month and year in the short date format: "DMY", "MDY" or "YMD".
std::string DateOrder(std::string_view format) {
    std::string order;
    for (char c : format) {
        const char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
    }
    return order.size() == 3 ? order : "MDY";
}

}  // namespace

bool TryEncodeDate(int y, int m, int d, TDateTime& date) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return false;
    date = static_cast<double>((sys_days{ymd} - kDayZero).count());
    return true;
}

TDateTime EncodeDate(int y, int m, int d) {
    TDateTime date = 0;
    if (!TryEncodeDate(y, m, d, date)) throw ui::EConvertError("Invalid argument to date encode");
    return date;
}

void DecodeDate(TDateTime date, int& y, int& m, int& d) {
    const year_month_day ymd{kDayZero + days{static_cast<int64_t>(std::floor(date))}};
    y = static_cast<int>(ymd.year());
    m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    d = static_cast<int>(static_cast<unsigned>(ymd.day()));
}

std::string FormatDate(std::string_view format, TDateTime date) {
    int y = 0, m = 0, d = 0;
    DecodeDate(date, y, m, d);
    std::string out;
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        size_t run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        switch (c) {
        case 'd':
        case 'D': PutNumber(out, d, run >= 2 ? 2 : 1); break;
        case 'm':
        case 'M': PutNumber(out, m, run >= 2 ? 2 : 1); break;
        case 'y':
        case 'Y':
            if (run <= 2)
                PutNumber(out, y % 100, 2);
            else
                PutNumber(out, y, 4);
            break;
        case '/':
            out.append(run, platform::FormatSettings().date_separator);
            break;
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}

std::string DateToStr(TDateTime date) { return FormatDate(platform::FormatSettings().short_date_format, date); }

bool TryStrToDate(std::string_view text, TDateTime& date) {
    text = Trim(text);
    const char sep = platform::FormatSettings().date_separator;
    int parts[3] = {0, 0, 0};
    size_t digits[3] = {0, 0, 0};
    int count = 0;
    size_t i = 0;
    while (count < 3) {
        size_t start = i;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 4) value = value * 10 + (text[i++] - '0');
        if (i == start) return false;
        parts[count] = value;
        digits[count] = i - start;
        ++count;
        if (i == text.size()) break;
        if (text[i] != sep) return false;
        ++i;
        if (i == text.size()) break;  // a trailing separator, as in "1/2/"
    }
    if (i != text.size() || count < 2) return false;
    const std::string order = DateOrder(platform::FormatSettings().short_date_format);
    const auto now = year_month_day{floor<days>(system_clock::now())};
    const int this_year = static_cast<int>(now.year());
    int y = this_year, m = 0, d = 0;
    size_t year_digits = 4;
    // Two numbers are the day and the month in the format's order.
    int next = 0;
    for (char part : order) {
        if (part == 'Y' && count == 2) continue;
        const int v = parts[next];
        if (part == 'Y') year_digits = digits[next], y = v;
        if (part == 'M') m = v;
        if (part == 'D') d = v;
        ++next;
    }
    if (count == 3 && year_digits <= 2) {
        y += this_year / 100 * 100;
        if (y < this_year - 50) y += 100;
    }
    return TryEncodeDate(y, m, d, date);
}

TDateTime StrToDate(std::string_view text) {
    TDateTime date = 0;
    if (!TryStrToDate(text, date)) throw ui::EConvertError(Quoted(text) + " is not a valid date");
    return date;
}

std::string FloatToStr(double value) {
    if (!std::isfinite(value)) return value != value ? "NAN" : value > 0 ? "INF" : "-INF";
    char buffer[40];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, end);
    // The general form's exponent as the framework writes it: "E", an optional
    // minus and the digits without leading zeros.
    if (size_t e = text.find('e'); e != std::string::npos) {
        std::string exponent = text.substr(e + 1);
        text.resize(e);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        text += negative ? "E-" : "E";
        text += exponent;
    }
    if (size_t dot = text.find('.'); dot != std::string::npos) text[dot] = platform::NumberSettings().decimal_separator;
    return text;
}

bool TryStrToFloat(std::string_view text, double& value) {
    text = Trim(text);
    const char sep = platform::NumberSettings().decimal_separator;
    std::string plain(text);
    for (char& c : plain) {
        if (c == sep)
            c = '.';
        else if (c == '.' || c == ',')
            return false;  // only the decimal separator may stand between digits
    }
    double v = 0;
    if (!platform::ParseDouble(plain, v) || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view text) {
    double value = 0;
    if (!TryStrToFloat(text, value)) throw ui::EConvertError(Quoted(text) + " is not a valid floating point value");
    return value;
}

bool TryStrToInt(std::string_view text, int32_t& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
    value = v;
    return true;
}

int32_t StrToInt(std::string_view text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value)) throw ui::EConvertError(Quoted(text) + " is not a valid integer value");
    return value;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace db
