#include "platform/numbers.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace platform {
namespace {

TEST(FormatFixedTest, RoundsHalvesAwayFromZeroOnTheShortestDecimal) {
    EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
    EXPECT_EQ(FormatFixed(2.675, 2), "2.68");
    EXPECT_EQ(FormatFixed(1.005, 2), "1.01");
    EXPECT_EQ(FormatFixed(-1.005, 2), "-1.01");
    EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
    EXPECT_EQ(FormatFixed(2.5, 0), "3");
    EXPECT_EQ(FormatFixed(2.4999, 0), "2");
    EXPECT_EQ(FormatFixed(0.5, 0), "1");
    EXPECT_EQ(FormatFixed(0.05, 1), "0.1");
    EXPECT_EQ(FormatFixed(0.004, 2), "0.00");
    EXPECT_EQ(FormatFixed(1234.5678, 3), "1234.568");
}

TEST(FormatFixedTest, CarriesIntoNewDigits) {
    EXPECT_EQ(FormatFixed(9.995, 2), "10.00");
    EXPECT_EQ(FormatFixed(99.5, 0), "100");
    EXPECT_EQ(FormatFixed(-999.9999, 3), "-1000.000");
    EXPECT_EQ(FormatFixed(0.96, 1), "1.0");
}

TEST(FormatFixedTest, PadsAndKeepsExactDigits) {
    EXPECT_EQ(FormatFixed(0, 2), "0.00");
    EXPECT_EQ(FormatFixed(0, 0), "0");
    EXPECT_EQ(FormatFixed(12, 3), "12.000");
    EXPECT_EQ(FormatFixed(0.1, 20), "0.10000000000000000000");
    EXPECT_EQ(FormatFixed(-7.25, 4), "-7.2500");
}

TEST(FormatFixedTest, NeverSignsAZeroResult) {
    EXPECT_EQ(FormatFixed(-0.0, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.0, 0), "0");
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
    EXPECT_EQ(FormatFixed(-0.4, 0), "0");
    EXPECT_EQ(FormatFixed(-1e-20, 5), "0.00000");
    EXPECT_EQ(FormatFixed(-0.005, 2), "-0.01");
}

TEST(FormatFixedTest, LargeAndTinyValues) {
    EXPECT_EQ(FormatFixed(1e20, 2), "100000000000000000000.00");
    EXPECT_EQ(FormatFixed(-1e20, 0), "-100000000000000000000");
    EXPECT_EQ(FormatFixed(1.5e15, 1), "1500000000000000.0");
    EXPECT_EQ(FormatFixed(123456789012.345, 2), "123456789012.35");
    EXPECT_EQ(FormatFixed(1e-20, 2), "0.00");
    EXPECT_EQ(FormatFixed(1e-20, 20), "0.00000000000000000001");
    EXPECT_EQ(FormatFixed(5e-21, 20), "0.00000000000000000001");
    const std::string max = FormatFixed(std::numeric_limits<double>::max(), 2);
    EXPECT_EQ(max.size(), 309u + 3u);
    EXPECT_EQ(max.substr(0, 17), "17976931348623157");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::denorm_min(), 3), "0.000");
}

TEST(FormatFixedTest, NonFiniteValuesFormatAsZero) {
    EXPECT_EQ(FormatFixed(std::nan(""), 2), "0.00");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1), "0.0");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 0), "0");
}

TEST(FormatFixedTest, NegativeDecimalsMeanNone) { EXPECT_EQ(FormatFixed(3.7, -1), "4"); }

TEST(FormatFixedTest, IgnoresTheCLocale) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing (scripts/install-deps generates it)";
    const std::string rounded = FormatFixed(2.675, 2);
    const std::string large = FormatFixed(1234567.5, 1);
    double parsed = 0;
    const bool parsed_ok = ParseDouble("1234.5", parsed);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(rounded, "2.68");
    EXPECT_EQ(large, "1234567.5");
    EXPECT_TRUE(parsed_ok);
    EXPECT_EQ(parsed, 1234.5);
}

TEST(ParseDoubleTest, AcceptsWholeNumbers) {
    double v = 0;
    EXPECT_TRUE(ParseDouble("12.5", v));
    EXPECT_EQ(v, 12.5);
    EXPECT_TRUE(ParseDouble("-0.25", v));
    EXPECT_EQ(v, -0.25);
    EXPECT_TRUE(ParseDouble("+3", v));
    EXPECT_EQ(v, 3.0);
    EXPECT_TRUE(ParseDouble("1e3", v));
    EXPECT_EQ(v, 1000.0);
    EXPECT_TRUE(ParseDouble("-2.5E-2", v));
    EXPECT_EQ(v, -0.025);
    EXPECT_TRUE(ParseDouble(".5", v));
    EXPECT_EQ(v, 0.5);
}

// Numbers of up to 15 digits take a shorter way: it must round exactly as
// the general parser, at the edges of that way too.
TEST(ParseDoubleTest, ShortNumbersParseBitForBitAsTheGeneralParser) {
    for (const char* text :
         {"0.1", "0.3", "2.675", "1.005", "99999.99", "123456789012345", "1234567890123456", "0.000000000000001",
          "0.0000000000000001", "000000000000001.5", "5.", "0", "0.0", "9007199254740993", "4503599627370497.5",
          "1.7976931348623157", "123.456789012345", "8.2", "1234.5678"}) {
        for (const bool negative : {false, true}) {
            const std::string t = std::string(negative ? "-" : "") + text;
            double parsed = 0, expected = 0;
            ASSERT_TRUE(ParseDouble(t, parsed)) << t;
            std::from_chars(text, text + std::strlen(text), expected);
            if (negative) expected = -expected;
            EXPECT_EQ(std::memcmp(&parsed, &expected, sizeof parsed), 0) << t << ": " << parsed << " " << expected;
        }
    }
}

TEST(ParseDoubleTest, RejectsPartialOrForeignText) {
    double v = 42;
    for (const char* text : {"", " 1", "1 ", "1,5", "12abc", "+-1", "-+1", "--1", "+", "-", ".", "inf", "nan", "-inf",
                             "0x10", "1e", "1e400"}) {
        EXPECT_FALSE(ParseDouble(text, v)) << '"' << text << '"';
    }
    EXPECT_EQ(v, 42.0) << "a failed parse leaves the value alone";
}

TEST(ParseInt64Test, AcceptsWholeIntegersToTheLimits) {
    int64_t v = 0;
    EXPECT_TRUE(ParseInt64("0", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ParseInt64("+17", v));
    EXPECT_EQ(v, 17);
    EXPECT_TRUE(ParseInt64("-17", v));
    EXPECT_EQ(v, -17);
    EXPECT_TRUE(ParseInt64("9223372036854775807", v));
    EXPECT_EQ(v, std::numeric_limits<int64_t>::max());
    EXPECT_TRUE(ParseInt64("-9223372036854775808", v));
    EXPECT_EQ(v, std::numeric_limits<int64_t>::min());
}

TEST(ParseInt64Test, RejectsPartialOrOutOfRangeText) {
    int64_t v = 42;
    for (const char* text : {"", "+", "-", " 1", "1 ", "1.0", "1e3", "+-1", "-+1", "--1", "++1", "12x",
                             "9223372036854775808", "-9223372036854775809"}) {
        EXPECT_FALSE(ParseInt64(text, v)) << '"' << text << '"';
    }
    EXPECT_EQ(v, 42);
}

}  // namespace
}  // namespace platform
