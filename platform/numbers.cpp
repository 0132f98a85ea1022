#include "platform/numbers.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace platform {

namespace {

// Nothing the engine stores has more decimals than a field can hold; the cap
// keeps the work buffer on the stack.
constexpr int kMaxDecimals = 255;

// Shortest round-trip digits of a finite, non-negative value and the decimal
// exponent of its first digit: value = d.ddd x 10^exponent.
struct Decimal {
    char digits[32];
    int count = 0;
    int exponent = 0;
};

Decimal ShortestDecimal(double magnitude) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
    Decimal d;
    if (ec != std::errc()) return d;  // cannot happen with this buffer
    const char* p = text;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.') d.digits[d.count++] = *p;
    if (p < end) std::from_chars(p + (p[1] == '+' ? 2 : 1), end, d.exponent);
    return d;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string FormatFixed(double value, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    if (!std::isfinite(value)) value = 0.0;
    const bool negative = std::signbit(value);
    const Decimal dec = ShortestDecimal(std::fabs(value));

    // The digit at index i of the plain decimal text without its point
    // ("0125" for 0.125): the integer part is the first int_len digits.
    const int leading_zeros = dec.exponent < 0 ? -dec.exponent : 0;
    const int int_len = dec.exponent < 0 ? 1 : dec.exponent + 1;
    auto digit_at = [&](int i) -> char {
        const int k = i - leading_zeros;
        return k >= 0 && k < dec.count ? dec.digits[k] : '0';
    };

    // [sign][carry digit][integer digits]['.'][decimals]
    char buf[1 + 1 + 330 + 1 + kMaxDecimals];
    char* const first = buf + 2;
    char* out = first;
    const int kept = int_len + decimals;
    for (int i = 0; i < kept; ++i) {
        if (i == int_len) *out++ = '.';
        *out++ = digit_at(i);
    }
    char* start = first;
    if (digit_at(kept) >= '5') {
        char* p = out;
        bool carry = true;
        while (carry && p > first) {
            --p;
            if (*p == '.') continue;
            if (*p == '9') {
                *p = '0';
            } else {
                ++*p;
                carry = false;
            }
        }
        if (carry) *--start = '1';
    }
    const bool all_zero = std::all_of(start, out, [](char c) { return c == '0' || c == '.'; });
    if (negative && !all_zero) *--start = '-';
    return std::string(start, out);
}

bool ParseDouble(std::string_view text, double& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf", "nan" and a second sign.
    if (text.empty() || !(IsDigit(text.front()) || text.front() == '.')) return false;
    // Most stored numbers have few digits and no exponent: their digits as
    // an integer and one division by an exact power of ten round exactly as
    // from_chars does.
    static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (text.size() <= 16) {
        uint64_t digits = 0;
        int count = 0, decimals = -1;
        bool plain = true;
        for (const char c : text) {
            if (IsDigit(c)) {
                digits = digits * 10 + static_cast<uint64_t>(c - '0');
                ++count;
                if (decimals >= 0) ++decimals;
            } else if (c == '.' && decimals < 0) {
                decimals = 0;
            } else {
                plain = false;
                break;
            }
        }
        if (plain && count > 0 && count <= 15) {
            const double parsed = static_cast<double>(digits) / kTens[decimals < 0 ? 0 : decimals];
            value = negative ? -parsed : parsed;
            return true;
        }
    }
    double parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end) return false;
    value = negative ? -parsed : parsed;
    return true;
}

bool ParseInt64(std::string_view text, int64_t& value) {
    // from_chars takes a '-' itself (which keeps INT64_MIN in range) but no '+'.
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !IsDigit(digits.front())) return false;
    if (text.front() == '+') text = digits;
    int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end) return false;
    value = parsed;
    return true;
}

}  // namespace platform
