#pragma once
// xBase-style string functions and number texts that follow the engine's
// decimal and thousands separators (never the C locale). Text is in the ANSI
// page.
#include <cstdint>
#include <string>
#include <string_view>

namespace zurod {

std::string UpperStr(std::string_view s);
bool IsAlpha(std::string_view s);
char CharUpper(char c);
char CharLower(char c);

// Non-overlapping count of sub in s; 0 when either is empty.
int Occurs(std::string_view sub, std::string_view s);
// 1-based position of the n-th (overlapping) occurrence; negative n counts
// from the right; 0 when there is none.
int AtOccurrence(int n, std::string_view sub, std::string_view s);
std::string Replicate(char c, int n);
std::string RTrim(std::string_view s);  // drops trailing characters <= ' '
std::string LTrim(std::string_view s);
std::string AllTrim(std::string_view s);

template <typename T>
T IIF(bool condition, T a, T b) {
    return condition ? a : b;
}

std::string StrBefore(std::string_view separator, std::string_view s);
std::string StrAfter(std::string_view separator, std::string_view s);
// 1-based position of text1 in text2 ignoring case, 0 when absent.
int PosNoCase(std::string_view text1, std::string_view text2);
// Upper-cases the command and removes every whole-word occurrence of the
// keyword; true when one was removed.
bool StripKeyword(std::string_view keyword, std::string& command);

int16_t StrToInt16(std::string_view s);
std::string RealToStr(double value, int width, int decimals);
std::string IntToStrWidth(int64_t value, int width);
void NormalizeNumText(std::string& s);
double NumTextToReal(std::string_view s);
int64_t NumTextToInt(std::string_view s);

}  // namespace zurod
