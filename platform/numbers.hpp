#pragma once
// Number text that never depends on the C locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// `value` with exactly `decimals` digits after a '.', rounded half away from
// zero on the shortest decimal form of the value (0.125 -> "0.13",
// 2.675 -> "2.68", 1.005 -> "1.01"). Never "-0.00". Every number the engine
// writes to a file goes through here.
std::string FormatFixed(double value, int decimals);

// Whole text must be a number ('.' decimal point, optional sign and exponent).
bool ParseDouble(std::string_view text, double& value);
bool ParseInt64(std::string_view text, int64_t& value);

}  // namespace platform
