#include "engine/dbf/strings.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/dbf/dates.hpp"

namespace zurod {
namespace {

class NumTextTest : public ::testing::Test {
protected:
    void SetUp() override { SetNumberSeparators('.', ','); }
    void TearDown() override { SetNumberSeparators(decimal_, thousands_); }
    char decimal_ = DecimalSeparator();
    char thousands_ = ThousandsSeparator();
};

std::string Normalized(std::string s) {
    NormalizeNumText(s);
    return s;
}

TEST(StringsTest, OccurrencesCountWithoutOverlapButFindWithIt) {
    EXPECT_EQ(Occurs("aa", "aaaa"), 2);
    EXPECT_EQ(Occurs("a", "banana"), 3);
    EXPECT_EQ(Occurs("", "abc"), 0);
    EXPECT_EQ(AtOccurrence(2, "aa", "aaaa"), 2);
    EXPECT_EQ(AtOccurrence(3, "aa", "aaaa"), 3);
    EXPECT_EQ(AtOccurrence(-1, ",", "a,b,c"), 4);
    EXPECT_EQ(AtOccurrence(-3, ",", "a,b,c"), 0);
    EXPECT_EQ(AtOccurrence(-1, "aa", "aaaa"), 3);
    EXPECT_EQ(AtOccurrence(-3, "aa", "aaaa"), 1);
    EXPECT_EQ(AtOccurrence(1, "", "abc"), 0);
    EXPECT_EQ(AtOccurrence(1, "abcd", "abc"), 0);
}

TEST(StringsTest, TrimsDropControlCharactersOnly) {
    EXPECT_EQ(RTrim("ab \t\r\n"), "ab");
    EXPECT_EQ(RTrim("ab\xA0"), "ab\xA0");
    EXPECT_EQ(LTrim("\x01 \xE9t\xE9 "), "\xE9t\xE9 ");
    EXPECT_EQ(AllTrim("  x y  "), "x y");
    EXPECT_EQ(AllTrim(" \t "), "");
}

TEST(StringsTest, BeforeAndAfterTheFirstSeparator) {
    EXPECT_EQ(StrBefore(",", "abc"), "");
    EXPECT_EQ(StrBefore(",", "a,b,c"), "a");
    EXPECT_EQ(StrAfter(",", "a,b,c"), "b,c");
    EXPECT_EQ(StrAfter(",", "abc"), "");
    EXPECT_EQ(StrAfter("::", "k::v::w"), "v::w");
}

TEST(StringsTest, CaseFollowsTheAnsiPage) {
    EXPECT_EQ(UpperStr("m\xFCller & co"), "M\xDCLLER & CO");
    EXPECT_EQ(CharUpper('\xE9'), '\xC9');
    EXPECT_TRUE(IsAlpha("\xE9t\xE9"));
    EXPECT_FALSE(IsAlpha("1a"));
    EXPECT_FALSE(IsAlpha(""));
    EXPECT_EQ(PosNoCase("m\xFCller", "Herr M\xDCLLER"), 6);
}

TEST(StringsTest, StripKeywordRemovesOnlyWholeKeywords) {
    std::string command = "use accounts exclusive";
    EXPECT_TRUE(StripKeyword("Exclusive", command));
    EXPECT_EQ(command, "USE ACCOUNTS");

    for (const char* kept :
         {"USE EXCLUSIVEA", "USE EXCLUSIVE2", "USE EXCLUSIVE_X", "USE EXCLUSIVE\\X", "USE OLD EXCLUSIVE/T"}) {
        command = kept;
        EXPECT_FALSE(StripKeyword("EXCLUSIVE", command)) << kept;
        EXPECT_EQ(command, kept);
    }

    command = "EXCLUSIVE use EXCLUSIVEX exclusive, a";
    EXPECT_TRUE(StripKeyword("EXCLUSIVE", command));
    EXPECT_EQ(command, "USE EXCLUSIVEX , A");
}

TEST_F(NumTextTest, StrToInt16ClampsAndSkipsSeparators) {
    EXPECT_EQ(StrToInt16("+1,234 $"), 1234);
    EXPECT_EQ(StrToInt16("  + 12"), 12);
    EXPECT_EQ(StrToInt16("$-5"), -5);
    EXPECT_EQ(StrToInt16("12 34"), 12);
    EXPECT_EQ(StrToInt16("99999"), 32767);
    EXPECT_EQ(StrToInt16("-99999999999999999999"), -32768);
    EXPECT_EQ(StrToInt16(""), 0);
    SetNumberSeparators(',', '.');
    EXPECT_EQ(StrToInt16("1.234,9"), 1234);
}

TEST_F(NumTextTest, RealAndIntegerTextsAreRightAligned) {
    EXPECT_EQ(RealToStr(3.14159, 8, 2), "    3.14");
    EXPECT_EQ(RealToStr(2.675, 0, 2), "2.68");
    EXPECT_EQ(RealToStr(12345.678, 3, 1), "12345.7");
    EXPECT_EQ(RealToStr(-2.5, 5, 0), "   -3");
    EXPECT_EQ(IntToStrWidth(42, 5), "   42");
    SetNumberSeparators(',', '.');
    EXPECT_EQ(RealToStr(-1234.5, 9, 2), " -1234,50");
}

TEST_F(NumTextTest, NormalizedTextIsPlainDigitsWithAPoint) {
    EXPECT_EQ(Normalized(""), "");
    EXPECT_EQ(Normalized("$ -  1,234.50"), "-1234.50");
    EXPECT_EQ(Normalized("-"), "");
    EXPECT_EQ(Normalized(" + -.5"), "-0.5");
    EXPECT_EQ(Normalized(".5"), "0.5");
    EXPECT_EQ(Normalized("12abc"), "12");
    EXPECT_EQ(Normalized("1-2"), "1");
    EXPECT_EQ(Normalized("1 000"), "1");
    SetNumberSeparators(',', '.');
    EXPECT_EQ(Normalized("1.234,5"), "1234.5");
    EXPECT_EQ(Normalized("-,5"), "-0.5");
    EXPECT_EQ(Normalized("1,2,3"), "1.2");
}

TEST_F(NumTextTest, NumberTextsReadAsNumbers) {
    EXPECT_DOUBLE_EQ(NumTextToReal("$ -  1,234.50"), -1234.5);
    EXPECT_EQ(NumTextToReal("-"), 0);
    EXPECT_DOUBLE_EQ(NumTextToReal(".5"), 0.5);
    EXPECT_FALSE(std::signbit(NumTextToReal("-0")));
    EXPECT_EQ(NumTextToInt("1,234.99"), 1234);
    EXPECT_EQ(NumTextToInt("-0.5"), 0);
    EXPECT_EQ(NumTextToInt("-12x"), -12);
    EXPECT_EQ(NumTextToInt("99999999999999999999"), std::numeric_limits<int64_t>::max());
    SetNumberSeparators(',', '.');
    EXPECT_DOUBLE_EQ(NumTextToReal("-1.234,5"), -1234.5);
    EXPECT_EQ(NumTextToInt("1.234,99"), 1234);
}

}  // namespace
}  // namespace zurod
