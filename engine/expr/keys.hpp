#pragma once
// Index key encodings shared by the expression language and the index files:
// the 12-byte packed-decimal key of numbers and its order, the order of date
// keys (Julian days as doubles), byte comparison and the Soundex code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zurod {

// Byte 0: 0x34 + the number of integer digits (minus the zeros after the
// point for values below 1); byte 1: sign in bit 7, digit count in bits 2-6,
// bit 0 set; bytes 2-11: up to 20 digits, two per byte, high nibble first.
using NumericKey = std::array<uint8_t, 12>;

// The key of a number text ("-12.50"); `decimals` are the key expression's.
NumericKey BuildNumericKey(std::string_view text, int decimals);
// The key of a value written with `decimals` decimals.
NumericKey NumericKeyFromValue(double value, int decimals);
// Negative, 0 or positive as a sorts before, with or after b.
int CompareNumericKeys(const NumericKey& a, const NumericKey& b);
int CompareDateKeys(double a, double b);
// 0 when the first `count` bytes agree, else the difference of the first
// differing bytes as unsigned values.
int CompareBytes(const void* a, const void* b, size_t count);

// The four-character Soundex code ("R163" for ROBERT); "0000" for an empty text.
std::string Soundex(std::string_view text);

}  // namespace zurod
