#include "engine/expr/keys.hpp"

#include <algorithm>
#include <cstring>

#include "platform/numbers.hpp"

namespace zurod {

namespace {

constexpr int kExponentBase = 0x34;
constexpr int kMaxDigits = 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitCount(const NumericKey& k) { return std::min((k[1] >> 2) & 0x1F, kMaxDigits); }
bool Negative(const NumericKey& k) { return (k[1] & 0x80) != 0; }

}  // namespace

NumericKey BuildNumericKey(std::string_view text, int decimals) {
    NumericKey key{};
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    while (i < n && (text[i] == ' ' || text[i] == '0')) ++i;

    // Every integer digit counts in the exponent, also those past the 20 that
    // are stored, so that long numbers still order by magnitude.
    int exponent = kExponentBase;
    bool point = false;
    if (i < n && text[i] == '.') {
        point = true;
        ++i;
        size_t zeros = 0;
        while (i + zeros < n && text[i + zeros] == '0') ++zeros;
        i += zeros;
        if (i < n && IsDigit(text[i])) exponent -= static_cast<int>(zeros);
    }
    int stored = 0, trailing_zeros = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (!IsDigit(c)) break;
        if (!point) ++exponent;
        if (stored == kMaxDigits) continue;
        const auto digit = static_cast<uint8_t>(c - '0');
        key[2 + stored / 2] |= stored % 2 == 0 ? static_cast<uint8_t>(digit << 4) : digit;
        ++stored;
        trailing_zeros = digit == 0 ? trailing_zeros + 1 : 0;
    }
    key[0] = static_cast<uint8_t>(std::clamp(exponent, 1, 0xFF));
    key[1] = 0x01;
    int count;
    if (point && decimals > trailing_zeros) {
        count = stored;
    } else {
        count = stored - trailing_zeros;
        if (count > 0 && count < 10) count = 10;
    }
    count = std::min(count, kMaxDigits);
    if (count == 0) {
        key[0] = kExponentBase;
        return key;
    }
    key[1] |= static_cast<uint8_t>(count << 2);
    if (negative) key[1] |= 0x80;
    return key;
}

NumericKey NumericKeyFromValue(double value, int decimals) {
    return BuildNumericKey(platform::FormatFixed(value, decimals), decimals);
}

int CompareNumericKeys(const NumericKey& a, const NumericKey& b) {
    const int s = Negative(a) ? -1 : 1;
    if (Negative(a) != Negative(b)) return s;
    const int ea = DigitCount(a) == 0 ? 0 : a[0];
    const int eb = DigitCount(b) == 0 ? 0 : b[0];
    if (ea != eb) return ea < eb ? -s : s;
    const size_t bytes = static_cast<size_t>(std::max(DigitCount(a), DigitCount(b)) + 1) / 2;
    return s > 0 ? CompareBytes(a.data() + 2, b.data() + 2, bytes) : CompareBytes(b.data() + 2, a.data() + 2, bytes);
}

int CompareDateKeys(double a, double b) {
    if (a == b) return 0;
    return a > b ? 1 : -1;
}

int CompareBytes(const void* a, const void* b, size_t count) {
    const auto* p = static_cast<const uint8_t*>(a);
    const auto* q = static_cast<const uint8_t*>(b);
    for (size_t i = 0; i < count; ++i)
        if (p[i] != q[i]) return int{p[i]} - int{q[i]};
    return 0;
}

std::string Soundex(std::string_view text) {
    static constexpr char kCodes[] = "01230120022455012623010202";
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    auto code = [](char c) { return c >= 'A' && c <= 'Z' ? kCodes[c - 'A'] : '\0'; };
    std::string result = "0000";
    text = text.substr(0, 100);
    if (text.empty()) return result;
    result[0] = upper(text[0]);
    char previous = code(result[0]) ? code(result[0]) : '0';
    size_t next = 1;
    for (size_t i = 1; i < text.size() && next < result.size(); ++i) {
        const char digit = code(upper(text[i]));
        if (!digit) continue;
        if (digit != previous && digit != '0') result[next++] = digit;
        previous = digit;
    }
    return result;
}

}  // namespace zurod
