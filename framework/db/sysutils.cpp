#include "framework/db/sysutils.hpp"

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

// Built by appending: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary string.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '\'';
    quoted += text;
    quoted += '\'';
    return quoted;
}

void PutNumber(std::string& out, int value, int digits) {
    char buffer[12];
    int n = 0;
    do {
        buffer[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 11);
    for (int i = n; i < digits; ++i) out += '0';
    while (n > 0) out += buffer[--n];
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
        case '/': out.append(run, platform::FormatSettings().date_separator); break;
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
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 4)
            value = value * 10 + (text[i++] - '0');
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
    const char separator = platform::NumberSettings().decimal_separator;
    char buffer[40];
    // Money and counts: a value that is a whole number of millionths (or of
    // hundredths, or whole) is written from that number, without the zeros
    // the fraction ends in.
    if (value == 0) return "0";
    if (std::fabs(value) >= 1e-3 && std::fabs(value) < 1e15) {
        static constexpr std::pair<int, double> kScales[] = {{2, 1e2}, {6, 1e6}, {0, 1}};
        for (auto [places, scale] : kScales) {
            const double scaled = value * scale;
            if (std::fabs(scaled) >= 1e15) continue;
            const int64_t whole = static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
            if (static_cast<double>(whole) / scale != value) continue;
            char digits[24];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, whole < 0 ? -whole : whole);
            size_t n = static_cast<size_t>(end - digits);
            size_t fraction = static_cast<size_t>(places);
            while (fraction > 0 && digits[n - 1] == '0') --n, --fraction;
            char* out = buffer;
            if (value < 0) *out++ = '-';
            if (n <= fraction) {  // below 1: "0" and the fraction's leading zeros
                *out++ = '0';
                *out++ = separator;
                for (size_t z = n; z < fraction; ++z) *out++ = '0';
            } else {
                std::memcpy(out, digits, n - fraction);
                out += n - fraction;
                if (fraction > 0) *out++ = separator;
            }
            std::memcpy(out, digits + n - std::min(n, fraction), std::min(n, fraction));
            out += std::min(n, fraction);
            return std::string(buffer, out);
        }
    }
    // The shortest digits are the 15-digit ones whenever they are no more
    // than 15; only values that need more take the slower rounding.
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view sci(buffer, static_cast<size_t>(end - buffer));
    const size_t e = sci.find('e');
    const bool negative = sci[0] == '-';
    std::string digits;
    for (char c : sci.substr(0, e))
        if (c >= '0' && c <= '9') digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    if (digits.size() > 15) {
        auto [end15, ec15] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
        const std::string_view r(buffer, static_cast<size_t>(end15 - buffer));
        const size_t re = r.find('e');
        digits.clear();
        for (char c : r.substr(0, re))
            if (c >= '0' && c <= '9') digits += c;
        std::from_chars(r.data() + re + (r[re + 1] == '+' ? 2 : 1), r.data() + r.size(), exponent);
        while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    }
    std::string text = negative ? "-" : "";
    if (exponent < -4 || exponent >= 15) {
        text += digits[0];
        if (digits.size() > 1) text += separator + digits.substr(1);
        text += exponent < 0 ? "E-" : "E";
        text += std::to_string(exponent < 0 ? -exponent : exponent);
    } else if (exponent < 0) {
        text += '0';
        text += separator;
        text.append(static_cast<size_t>(-exponent - 1), '0');
        text += digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            text += digits;
            text.append(whole - digits.size(), '0');
        } else {
            text += digits.substr(0, whole);
            text += separator;
            text += digits.substr(whole);
        }
    }
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
