// Key encodings and the calendar under them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "engine/expr/expr.hpp"
#include "engine/expr/julian.hpp"
#include "engine/expr/keys.hpp"
#include "tests/support/engine_fixture.hpp"

namespace {

using namespace zurod;

std::string Hex(const NumericKey& key) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : key) s += {kDigits[b >> 4], kDigits[b & 15], ' '};
    s.pop_back();
    return s;
}

TEST(NumericKeyTest, NumbersPackIntoTwelveBytes) {
    const struct {
        const char* text;
        int decimals;
        const char* bytes;
    } rows[] = {
        {"0", 0, "34 01 00 00 00 00 00 00 00 00 00 00"},
        {"  -0.00", 2, "34 01 00 00 00 00 00 00 00 00 00 00"},
        {"12.50", 2, "36 11 12 50 00 00 00 00 00 00 00 00"},
        {"-5", 0, "35 A9 50 00 00 00 00 00 00 00 00 00"},
        {"0.05", 2, "33 05 50 00 00 00 00 00 00 00 00 00"},
        {"+100", 0, "37 29 10 00 00 00 00 00 00 00 00 00"},
        {"12345678901234567890123", 0, "4B 4D 12 34 56 78 90 12 34 56 78 90"},
        {"1.5.3", 1, "35 09 15 00 00 00 00 00 00 00 00 00"},
    };
    for (const auto& r : rows) EXPECT_EQ(Hex(BuildNumericKey(r.text, r.decimals)), r.bytes) << r.text;
    EXPECT_EQ(Hex(NumericKeyFromValue(12.5, 2)), "36 11 12 50 00 00 00 00 00 00 00 00");
    EXPECT_EQ(Hex(NumericKeyFromValue(-4.999, 2)), "35 A9 50 00 00 00 00 00 00 00 00 00");
}

TEST(NumericKeyTest, KeysSortAsTheirNumbers) {
    const std::vector<double> ascending = {-1e25, -1.5e22, -1e22, -100, -99, -5,     -4,   -0.5,   0,
                                           0.001, 0.05,    1,     99,   100, 1234.5, 1e22, 1.5e22, 1e25};
    for (size_t i = 0; i < ascending.size(); ++i) {
        const NumericKey a = NumericKeyFromValue(ascending[i], 3);
        EXPECT_EQ(CompareNumericKeys(a, a), 0) << ascending[i];
        for (size_t j = i + 1; j < ascending.size(); ++j) {
            const NumericKey b = NumericKeyFromValue(ascending[j], 3);
            EXPECT_LT(CompareNumericKeys(a, b), 0) << ascending[i] << " < " << ascending[j];
            EXPECT_GT(CompareNumericKeys(b, a), 0) << ascending[j] << " > " << ascending[i];
        }
    }
    // A digit count that no key can hold reads as 20 digits.
    NumericKey corrupt = NumericKeyFromValue(7, 0);
    corrupt[1] = 0x7D;
    EXPECT_GT(CompareNumericKeys(corrupt, NumericKeyFromValue(6, 0)), 0);
    EXPECT_EQ(CompareDateKeys(kBlankDate, 2451545), 1);
    EXPECT_EQ(CompareDateKeys(2451545, 2451545), 0);
    EXPECT_EQ(CompareBytes("ab\xFF", "ab\x01", 3), 0xFE);
    EXPECT_EQ(CompareBytes("abc", "abd", 2), 0);
}

TEST(JulianTest, EveryDayConvertsBothWays) {
    for (int32_t day = kFirstJulianDay; day <= kLastJulianDay; day += 13) {
        CivilDate d;
        ASSERT_TRUE(CivilFromJulian(day, d)) << day;
        ASSERT_EQ(JulianFromParts(d.year, d.month, d.day), day) << d.year << "-" << d.month << "-" << d.day;
        ASSERT_EQ(JulianFromDTOS(DTOSFromJulian(day)), day) << day;
    }
    CivilDate d;
    EXPECT_FALSE(CivilFromJulian(kFirstJulianDay - 1, d));
    EXPECT_FALSE(CivilFromJulian(kBlankDate, d));
}

TEST(JulianTest, CalendarEdges) {
    const struct {
        int year, month, day;
        double julian;
    } rows[] = {
        {1, 1, 1, 1721426},        {2000, 1, 1, 2451545},     {9999, 12, 31, 5373484},   {2000, 2, 29, 2451604},
        {1900, 2, 29, kBlankDate}, {2023, 2, 29, kBlankDate}, {2024, 4, 31, kBlankDate}, {0, 1, 1, kBlankDate},
        {10000, 1, 1, kBlankDate}, {2024, 13, 1, kBlankDate}, {2024, 1, 0, kBlankDate},
    };
    for (const auto& r : rows) EXPECT_EQ(JulianFromParts(r.year, r.month, r.day), r.julian) << r.year;
    EXPECT_EQ(DTOSFromJulian(2451545), "20000101");
    EXPECT_EQ(DTOSFromJulian(2451545.99), "20000101");
    EXPECT_EQ(DTOSFromJulian(kBlankDate), "        ");
    EXPECT_EQ(JulianFromDTOS("20000101"), 2451545);
    EXPECT_EQ(JulianFromDTOS("        "), kBlankDate);
    EXPECT_EQ(JulianFromDTOS("2000 101"), kBlankDate);
    EXPECT_EQ(DayOfWeekFromJulian(2451545), 7);
}

class DateTextTest : public testing_support::EngineTest {};

TEST_F(DateTextTest, DateTextsFollowTheDateStyle) {
    SetDateFormat(0);
    SetCentury(false);
    EXPECT_EQ(DTOCFromJulian(kBlankDate), "  /  /  ");
    EXPECT_EQ(DTOCFromJulian(2451545), "01/01/00");
    SetCentury(true);
    EXPECT_EQ(DTOSFromCTOD("02/29/2024"), "20240229");
    EXPECT_EQ(DTOSFromCTOD("02/30/2024"), "        ");
    EXPECT_EQ(DTOSFromCTOD("  /  /    "), "        ");
    SetDateFormat(2);
    SetCentury(false);
    SetWindowStart(1950);
    EXPECT_EQ(JulianFromCTOD("01/01/00"), 2451545);
    EXPECT_FALSE(CenturyOn());  // reading the text leaves the setting alone
}

}  // namespace
