#include "engine/dbf/strings.hpp"

#include <algorithm>
#include <charconv>
#include <limits>

#include "engine/dbf/dates.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void EraseAll(std::string& s, char c) { std::erase(s, c); }

void EraseFirst(std::string& s, char c) {
    const size_t at = s.find(c);
    if (at != std::string::npos) s.erase(at, 1);
}

size_t LeadingRun(const std::string& s, auto pred) {
    size_t i = 0;
    while (i < s.size() && pred(s[i])) ++i;
    return i;
}

// The integer at the start of `text` (optional '-', digits), clamped to the
// range of T; 0 when there is none.
template <typename T>
T ReadClampedInt(std::string_view text) {
    T value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        return !text.empty() && text.front() == '-' ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
    if (ec != std::errc{}) return 0;
    return value;
}

std::string PadLeft(std::string s, int width) {
    if (width > 0 && s.size() < static_cast<size_t>(width)) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

}  // namespace

std::string UpperStr(std::string_view s) { return platform::AnsiUpper(s); }

bool IsAlpha(std::string_view s) { return !s.empty() && platform::AnsiIsAlpha(s.front()); }

char CharUpper(char c) { return platform::AnsiUpper(c); }
char CharLower(char c) { return platform::AnsiLower(c); }

int Occurs(std::string_view sub, std::string_view s) {
    if (sub.empty() || s.empty()) return 0;
    int count = 0;
    for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, at + sub.size())) ++count;
    return count;
}

int AtOccurrence(int n, std::string_view sub, std::string_view s) {
    if (n == 0 || sub.empty() || s.empty() || sub.size() > s.size()) return 0;
    if (n > 0) {
        for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, at + 1))
            if (--n == 0) return static_cast<int>(at) + 1;
        return 0;
    }
    // From the right; overlapping matches count here too.
    size_t from = s.size() - sub.size();
    for (;;) {
        const size_t at = s.rfind(sub, from);
        if (at == std::string_view::npos) return 0;
        if (++n == 0) return static_cast<int>(at) + 1;
        if (at == 0) return 0;
        from = at - 1;
    }
}

std::string Replicate(char c, int n) { return n > 0 ? std::string(static_cast<size_t>(n), c) : std::string(); }

std::string RTrim(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && IsControlOrBlank(s[end - 1])) --end;
    return std::string(s.substr(0, end));
}

std::string LTrim(std::string_view s) {
    size_t begin = 0;
    while (begin < s.size() && IsControlOrBlank(s[begin])) ++begin;
    return std::string(s.substr(begin));
}

std::string AllTrim(std::string_view s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsControlOrBlank(s[begin])) ++begin;
    while (end > begin && IsControlOrBlank(s[end - 1])) --end;
    return std::string(s.substr(begin, end - begin));
}

std::string StrBefore(std::string_view separator, std::string_view s) {
    const size_t at = separator.empty() ? std::string_view::npos : s.find(separator);
    return at == std::string_view::npos ? std::string() : std::string(s.substr(0, at));
}

std::string StrAfter(std::string_view separator, std::string_view s) {
    const size_t at = separator.empty() ? std::string_view::npos : s.find(separator);
    return at == std::string_view::npos ? std::string() : std::string(s.substr(at + separator.size()));
}

int PosNoCase(std::string_view text1, std::string_view text2) {
    if (text1.empty()) return 0;
    const size_t at = platform::AnsiUpper(text2).find(platform::AnsiUpper(text1));
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

bool StripKeyword(std::string_view keyword, std::string& command) {
    platform::AnsiUpper(std::span<char>(command));
    const std::string key = platform::AnsiUpper(keyword);
    bool removed = false;
    if (!key.empty()) {
        size_t at = command.find(key);
        while (at != std::string::npos) {
            const size_t after = at + key.size();
            const char next = after < command.size() ? command[after] : ' ';
            // A longer word or a path going on ("EXCLUSIVE_1", "SHARED/X") stays.
            if (platform::AnsiIsAlpha(next) || IsDigit(next) || next == '\\' || next == '/' || next == '_') {
                at = command.find(key, at + 1);
            } else {
                command.erase(at, key.size());
                removed = true;
                at = command.find(key, at);
            }
        }
    }
    command = AllTrim(command);
    return removed;
}

int16_t StrToInt16(std::string_view s) {
    if (s.empty()) return 0;
    std::string t(s);
    auto blank = [](char c) { return c == ' '; };
    t.erase(0, LeadingRun(t, blank));
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    t.erase(0, LeadingRun(t, blank));
    EraseAll(t, DecimalSeparator() == '.' ? ',' : '.');
    EraseFirst(t, '$');
    const size_t space = t.find(' ');
    if (space != std::string::npos) t.resize(space);
    t.resize(LeadingRun(t, [](char c) { return IsDigit(c) || c == '-'; }));
    const int64_t value = ReadClampedInt<int64_t>(t);
    return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767));
}

std::string RealToStr(double value, int width, int decimals) {
    decimals = std::max(decimals, 0);
    std::string text = platform::FormatFixed(value, decimals);
    const char separator = DecimalSeparator();
    if (decimals > 0 && separator != '.') std::replace(text.begin(), text.end(), '.', separator);
    return PadLeft(std::move(text), width);
}

std::string IntToStrWidth(int64_t value, int width) { return PadLeft(std::to_string(value), width); }

void NormalizeNumText(std::string& s) {
    if (s.empty()) return;
    const char separator = DecimalSeparator();
    EraseAll(s, '$');
    s.erase(0, LeadingRun(s, [](char c) { return c == ' ' || c == '+'; }));

    if (!s.empty() && s.front() == '-') {
        s.erase(0, LeadingRun(s, [](char c) { return c == ' ' || c == '+' || c == '-'; }));
        if (s.empty()) return;
        if (s.front() == separator) s.insert(0, 1, '0');
        s.insert(0, 1, '-');
    }

    if (separator != '.') {
        EraseAll(s, '.');
        const size_t at = s.find(separator);
        if (at != std::string::npos) s[at] = '.';
    } else {
        EraseAll(s, ',');
    }

    if (!s.empty() && s.front() == '.') s.insert(0, 1, '0');
    const size_t space = s.find(' ');
    if (space != std::string::npos) s.resize(space);
    size_t keep = 0;
    while (keep < s.size()) {
        const char c = s[keep];
        if (!(IsDigit(c) || c == '.' || (c == '-' && keep == 0))) break;
        ++keep;
    }
    s.resize(keep);
    if (!s.empty() && s.back() == '.') s.pop_back();
}

double NumTextToReal(std::string_view s) {
    std::string text(s);
    NormalizeNumText(text);
    double value = 0;
    // Normalised text is '-'? digits with '.' points; a second point ends it.
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    (void)end;
    if (ec != std::errc{}) return 0;
    return value + 0.0;  // no "-0"
}

int64_t NumTextToInt(std::string_view s) {
    std::string text(s);
    NormalizeNumText(text);
    const size_t point = text.find('.');
    if (point != std::string::npos) text.resize(point);
    return ReadClampedInt<int64_t>(text);
}

}  // namespace zurod
