#include "engine/dbf/dates.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/dbf/errors.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"

namespace zurod {
namespace {

class DatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetErrorState();
        saved_format_ = platform::FormatSettings();
        ResetDateState();
        SetWindowStart(1956);
        Use(0, false);
    }
    void TearDown() override {
        ResetDateState();
        platform::FormatSettings() = saved_format_;
        ResetErrorState();
    }
    static void Use(uint8_t code, bool century) {
        SetCentury(century);
        SetDateFormat(code);
    }
    static std::string ToAmerican(std::string date) {
        DateToAmerican(date);
        return date;
    }
    static std::string FromAmerican(std::string date) {
        DateFromAmerican(date);
        return date;
    }

    platform::DateFormatSettings saved_format_;
};

// 5 November 2024 and the blank date in each code.
struct CodeCase {
    uint8_t code;
    const char* date_on;
    const char* date_off;
    const char* blank_on;
    const char* blank_off;
    const char* format_on;
    const char* format_off;
    char separator;
};

constexpr CodeCase kCodes[] = {
    {0, "11/05/2024", "11/05/24", "  /  /    ", "  /  /  ", "MM/dd/yyyy", "MM/dd/yy", '/'},
    {1, "2024.11.05", "24.11.05", "    .  .  ", "  .  .  ", "yyyy.MM.dd", "yy.MM.dd", '.'},
    {2, "05/11/2024", "05/11/24", "  /  /    ", "  /  /  ", "dd/MM/yyyy", "dd/MM/yy", '/'},
    {3, "05-11-2024", "05-11-24", "  -  -    ", "  -  -  ", "dd-MM-yyyy", "dd-MM-yy", '-'},
    {4, "05.11.2024", "05.11.24", "  .  .    ", "  .  .  ", "dd.MM.yyyy", "dd.MM.yy", '.'},
    {5, "05.11.2024", "05.11.24", "  .  .    ", "  .  .  ", "dd.MM.yyyy", "dd.MM.yy", '.'},
    {6, "05.11.2024", "05.11.24", "  .  .    ", "  .  .  ", "dd.MM.yyyy", "dd.MM.yy", '.'},
    {7, "05.11.2024", "05.11.24", "  .  .    ", "  .  .  ", "dd.MM.yyyy", "dd.MM.yy", '.'},
    {8, "05.11.2024", "05.11.24", "  .  .    ", "  .  .  ", "dd.MM.yyyy", "dd.MM.yy", '.'},
};

TEST_F(DatesTest, EveryCodeWithTheCenturyOnAndOff) {
    for (const CodeCase& c : kCodes) {
        for (bool century : {true, false}) {
            SCOPED_TRACE(testing::Message() << "code " << int(c.code) << " century " << century);
            Use(c.code, century);
            const std::string date = century ? c.date_on : c.date_off;
            const std::string blank = century ? c.blank_on : c.blank_off;
            const std::string american = century ? "11/05/2024" : "11/05/24";

            EXPECT_EQ(DateCode(), c.code);
            EXPECT_EQ(platform::FormatSettings().short_date_format, century ? c.format_on : c.format_off);
            EXPECT_EQ(platform::FormatSettings().date_separator, c.separator);

            EXPECT_EQ(BlankDateStr(c.code), blank);
            EXPECT_EQ(ToAmerican(date), american);
            EXPECT_EQ(FromAmerican(american), date);
            EXPECT_EQ(DTOS(date), "20241105");
            EXPECT_EQ(StoredToDate("20241105"), date);

            std::string valid = date;
            EXPECT_TRUE(DateValid(valid));
            EXPECT_EQ(valid, date);

            EXPECT_EQ(ToAmerican(blank), century ? "  /  /    " : "  /  /  ");
            EXPECT_EQ(FromAmerican("  /  /    "), blank);
            EXPECT_EQ(DTOS(blank), "        ");
            EXPECT_EQ(StoredToDate("        "), blank);
            EXPECT_EQ(StoredToDate(""), blank);
            std::string blank_copy = blank;
            EXPECT_TRUE(DateValid(blank_copy));
            EXPECT_EQ(blank_copy, blank);
        }
    }
}

TEST_F(DatesTest, CodesOutOfRangeMeanCodeZero) {
    SetDateFormat(9);
    EXPECT_EQ(DateCode(), 0);
    SetDateFormat(255);
    EXPECT_EQ(DateCode(), 0);
    EXPECT_EQ(platform::FormatSettings().short_date_format, "MM/dd/yy");
    EXPECT_EQ(BlankDateStr(200), "  /  /  ");
}

TEST_F(DatesTest, SetCenturyReappliesTheCurrentCode) {
    Use(5, false);
    SetCentury(true);
    EXPECT_TRUE(CenturyOn());
    EXPECT_EQ(DateCode(), 5);
    EXPECT_EQ(platform::FormatSettings().short_date_format, "dd.MM.yyyy");
    SetCentury(false);
    EXPECT_EQ(platform::FormatSettings().short_date_format, "dd.MM.yy");
}

TEST_F(DatesTest, CenturyWindow) {
    // Window start 1956: 56..99 are 1956..1999, 00..55 are 2000..2055.
    EXPECT_EQ(CenturyBase("55"), 2000);
    EXPECT_EQ(CenturyBase("56"), 1900);
    EXPECT_EQ(CenturyBase("00"), 2000);
    EXPECT_EQ(CenturyBase("99"), 1900);
    EXPECT_EQ(CenturyOf("55"), "20");
    EXPECT_EQ(CenturyOf("56"), "19");
    EXPECT_EQ(DTOS("01/01/55"), "20550101");
    EXPECT_EQ(DTOS("01/01/56"), "19560101");

    SetCentury(true);
    EXPECT_EQ(ToAmerican("01/01/55"), "01/01/2055");
    EXPECT_EQ(ToAmerican("01/01/56"), "01/01/1956");
    EXPECT_EQ(FromAmerican("12/31/55"), "12/31/2055");

    SetWindowStart(1985);  // not a century multiple
    EXPECT_EQ(CenturyOf("84"), "20");
    EXPECT_EQ(CenturyOf("85"), "19");
    EXPECT_EQ(ToAmerican("02/03/84"), "02/03/2084");
    EXPECT_EQ(ToAmerican("02/03/85"), "02/03/1985");

    SetWindowStart(2000);
    EXPECT_EQ(CenturyBase("00"), 2000);
    EXPECT_EQ(CenturyBase("99"), 2000);

    SetWindowStart(1999);
    EXPECT_EQ(CenturyBase("98"), 2000);
    EXPECT_EQ(CenturyBase("99"), 1900);
}

TEST_F(DatesTest, ToAmericanPicksTheSeparatorAndNormalisesParts) {
    SetCentury(true);
    SetDateFormat(2);
    EXPECT_EQ(ToAmerican("5/1/24"), "01/05/2024");
    EXPECT_EQ(ToAmerican(" 5/ 1/2024"), "01/05/2024");
    EXPECT_EQ(ToAmerican("05-11-2024"), "11/05/2024");  // '-' when there is no '/'
    EXPECT_EQ(ToAmerican("05.11.2024"), "11/05/2024");
    EXPECT_EQ(ToAmerican("20241105"), "20241105");  // no separator: unchanged
    EXPECT_EQ(ToAmerican(std::string("05/11/2024\0junk", 15)), "11/05/2024");
    EXPECT_LE(ToAmerican("123/456/789012").size(), 10u);

    SetDateFormat(1);
    EXPECT_EQ(ToAmerican("2024.1.5"), "01/05/2024");
    SetDateFormat(0);
    EXPECT_EQ(ToAmerican("11-5-24"), "11/05/2024");
}

TEST_F(DatesTest, JulianDaysAndLeapYears) {
    EXPECT_EQ(JulianDay({2000, 1, 1}), 2451545u);
    EXPECT_EQ(JulianDay({1858, 11, 17}), 2400001u);
    // The Gregorian switch: 4 October 1582 (Julian) is followed by 15 October.
    EXPECT_EQ(JulianDay({1582, 10, 4}), 2299160u);
    EXPECT_EQ(JulianDay({1582, 10, 15}), 2299161u);
    EXPECT_EQ(JulianDay({1000, 1, 1}), 2086308u);
    EXPECT_EQ(JulianDay({2024, 3, 1}) - JulianDay({2024, 2, 28}), 2u);
    EXPECT_EQ(JulianDay({2025, 1, 1}) - JulianDay({2024, 12, 31}), 1u);

    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2400));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(2023));
}

TEST_F(DatesTest, DayOfWeekAgreesWithJulianDays) {
    Use(0, true);
    EXPECT_EQ(DayOfWeekNo("01/01/2000"), 7);  // Saturday
    EXPECT_EQ(DayOfWeekNo("11/05/2024"), 3);  // Tuesday
    EXPECT_EQ(DayOfWeekNo("02/28/1900"), 4);  // Wednesday, century borrow
    for (int year = 1901; year <= 2099; year += 7) {
        for (int month = 1; month <= 12; ++month) {
            for (int day : {1, 13, 28}) {
                const std::string date = DateFrom(year, month, day);
                const uint32_t jd =
                    JulianDay({static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)});
                ASSERT_EQ(DayOfWeekNo(date), int((jd + 1) % 7 + 1)) << date;
            }
        }
    }
    EXPECT_EQ(DayOfWeekNo(BlankDateStr(0)), 0);
    EXPECT_EQ(DayOfWeekNo("ab/cd/2024"), 0);
}

TEST_F(DatesTest, DateValidChecksAndNormalises) {
    Use(2, true);
    for (const char* ok : {"29/02/2000", "31/12/1999", "01/01/2024", "30/04/2024"}) {
        std::string d = ok;
        EXPECT_TRUE(DateValid(d)) << ok;
        EXPECT_EQ(d, ok);
    }
    for (const char* bad :
         {"29/02/1900", "31/04/2024", "31/06/2024", "30/02/2024", "00/01/2024", "01/00/2024", "01/13/2024",
          "32/01/2024", "ab/01/2024", "01/01/20x4", "01/01/202", "20240101", "01/01/2024/", "01/01/20241"}) {
        std::string d = bad;
        EXPECT_FALSE(DateValid(d)) << bad;
        EXPECT_EQ(d, bad) << "a refused date is left alone";
    }

    std::string d = "  5/11/24 ";
    EXPECT_TRUE(DateValid(d));
    EXPECT_EQ(d, "05/11/2024");
    d = "5-11-2024";
    EXPECT_TRUE(DateValid(d));
    EXPECT_EQ(d, "05/11/2024");
    d = "  /  /    ";
    EXPECT_TRUE(DateValid(d));
    EXPECT_EQ(d, "  /  /    ");

    Use(2, false);
    d = "05/11/2024";
    EXPECT_TRUE(DateValid(d));
    EXPECT_EQ(d, "05/11/2024") << "a written century stays";
    d = "5/11/50";
    EXPECT_TRUE(DateValid(d));
    EXPECT_EQ(d, "05/11/50");
    d = "29/02/00";  // 2000 by the window
    EXPECT_TRUE(DateValid(d));
    d = "29/02/01";
    EXPECT_FALSE(DateValid(d));

    SetWindowStart(1800);
    d = "29/02/00";  // 1800 now
    EXPECT_FALSE(DateValid(d));
}

TEST_F(DatesTest, DateDiffIsSigned) {
    Use(2, true);
    EXPECT_EQ(DateDiff("01/03/2024", "28/02/2024"), 2);
    EXPECT_EQ(DateDiff("28/02/2024", "01/03/2024"), -2);
    EXPECT_EQ(DateDiff("01/03/2023", "28/02/2023"), 1);
    EXPECT_EQ(DateDiff("01/01/2025", "01/01/2024"), 366);
    EXPECT_EQ(DateDiff("05/11/2024", "05/11/2024"), 0);

    Use(0, false);
    EXPECT_EQ(DateDiff("01/01/00", "12/31/99"), 1) << "2000 and 1999 by the window";
}

TEST_F(DatesTest, DateDiffRefusesInvalidOrBlankDates) {
    Use(2, true);
    {
        RaiseModeScope raise(true);
        try {
            DateDiff("31/04/2024", "01/01/2024");
            FAIL() << "no error";
        } catch (const EZurodError& e) {
            EXPECT_STREQ(e.what(), "Error # 220 (Invalid parameter)\r\n[DateDiff(31/04/2024,01/01/2024)]");
        }
    }
    ErrorHandlingScope quiet(false);
    EXPECT_EQ(DateDiff("01/01/2024", "  /  /    "), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "[DateDiff(01/01/2024,  /  /    )]");
    EXPECT_EQ(DateDiff("01/01/2024", "garbage"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(DateDiff("02/01/2024", "01/01/2024"), 1);
    EXPECT_EQ(LastErrorCode(), 0) << "success clears the last error";
}

TEST_F(DatesTest, DateFromBuildsAndChecks) {
    Use(2, true);
    EXPECT_EQ(DateFrom(2024, 11, 5), "05/11/2024");
    EXPECT_EQ(DateFrom(2024, 2, 29), "29/02/2024");
    EXPECT_EQ(DateFrom(24, 11, 5), "05/11/2024");
    EXPECT_EQ(DateFrom(55, 1, 1), "01/01/2055");
    EXPECT_EQ(DateFrom(56, 1, 1), "01/01/1956");
    Use(2, false);
    EXPECT_EQ(DateFrom(24, 11, 5), "05/11/24");
    Use(1, true);
    EXPECT_EQ(DateFrom(2024, 1, 2), "2024.01.02");

    Use(2, true);
    {
        RaiseModeScope raise(true);
        EXPECT_THROW(DateFrom(2024, 4, 31), EZurodError);
    }
    ErrorHandlingScope quiet(false);
    EXPECT_EQ(DateFrom(2024, 4, 31), "31/04/2024") << "the text is built either way";
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "[DateFrom(2024,4,31)]");
    struct Ymd {
        int year, month, day;
    };
    for (const Ymd& bad : {Ymd{2023, 2, 29}, Ymd{2024, 13, 1}, Ymd{2024, 0, 1}, Ymd{2024, 1, 0}, Ymd{2024, 1, 32},
                           Ymd{0, 2, 30}, Ymd{-1, 1, 1}, Ymd{10000, 1, 1}}) {
        SetLastErrorCode(0);
        DateFrom(bad.year, bad.month, bad.day);
        EXPECT_EQ(LastErrorCode(), 220) << bad.year << "-" << bad.month << "-" << bad.day;
    }
    SetLastErrorCode(0);
    DateFrom(0, 2, 29);  // 2000 by the window
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(DatesTest, DayAndMonthNamesPerLanguage) {
    struct Names {
        uint8_t code;
        const char* saturday;   // 1 January 2000
        const char* wednesday;  // 1 March 2000
        const char* march;
        const char* august;
        const char* september;
        const char* december;
    };
    const Names kNames[] = {
        {0, "Saturday ", "Wednesday", "March    ", "August   ", "September", "December "},
        {2, "Saturday ", "Wednesday", "March    ", "August   ", "September", "December "},
        {3, "Sabato   ", "Mercoledi", "Marzo    ", "Agosto   ", "Settembre", "Dicembre "},
        {4, "Samedi  ", "Mercredi", "Mars     ", "Ao\xFBt     ", "Septembre",
         "D\xE9"
         "cembre "},
        {7, "Samedi  ", "Mercredi", "Mars     ", "Ao\xFBt     ", "Septembre",
         "D\xE9"
         "cembre "},
        {5, "Samstag   ", "Mittwoch  ", "M\xE4rz     ", "August   ", "September", "Dezember "},
        {6, "Sabado   ", "Miercoles", "Marzo     ", "Agosto    ", "Septiembre", "Diciembre "},
        // CP1251: Subbota, Sreda, Mart, Avgust, Sentyabr, Dekabr.
        {8, "\xD1\xF3\xE1\xE1\xEE\xF2\xE0    ", "\xD1\xF0\xE5\xE4\xE0      ", "\xCC\xE0\xF0\xF2    ",
         "\xC0\xE2\xE3\xF3\xF1\xF2  ", "\xD1\xE5\xED\xF2\xFF\xE1\xF0\xFC", "\xC4\xE5\xEA\xE0\xE1\xF0\xFC "},
    };
    for (const Names& n : kNames) {
        SCOPED_TRACE(int(n.code));
        Use(n.code, true);
        EXPECT_EQ(CDOW(StoredToDate("20000101")), n.saturday);
        EXPECT_EQ(CDOW(StoredToDate("20000301")), n.wednesday);
        EXPECT_EQ(CMONTH(StoredToDate("20000301")), n.march);
        EXPECT_EQ(CMONTH(StoredToDate("20000801")), n.august);
        EXPECT_EQ(CMONTH(StoredToDate("20000901")), n.september);
        EXPECT_EQ(CMONTH(StoredToDate("20001201")), n.december);
        EXPECT_EQ(CDOW(BlankDateStr(n.code)), std::string(10, ' '));
        EXPECT_EQ(CMONTH(BlankDateStr(n.code)), std::string(9, ' '));
    }
    Use(4, true);
    EXPECT_EQ(CMONTH("01.02.2000"), "F\xE9vrier  ");
    Use(5, true);
    EXPECT_EQ(CDOW("02.03.2000"), "Donnerstag");
    Use(8, true);
    EXPECT_EQ(CDOW("02.01.2000"), "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5");  // Sunday
}

TEST_F(DatesTest, PartsOfADate) {
    Use(2, true);
    EXPECT_EQ(MonthOf("05/11/2024"), 11);
    EXPECT_EQ(DayOf("05/11/2024"), 5);
    EXPECT_EQ(YearOf("05/11/2024"), 2024);
    EXPECT_EQ(DayStr("05/11/2024"), "5");
    EXPECT_EQ(DayStr("15/11/2024"), "15");
    EXPECT_EQ(DaysInMonth("01/02/2024"), 29);
    EXPECT_EQ(DaysInMonth("01/02/2023"), 28);
    EXPECT_EQ(DaysInMonth("01/02/1900"), 28);
    EXPECT_EQ(DaysInMonth("01/04/2024"), 30);
    EXPECT_EQ(DaysInMonth("01/12/2024"), 31);

    const std::string blank = BlankDateStr(2);
    EXPECT_EQ(MonthOf(blank), 0);
    EXPECT_EQ(DayOf(blank), 0);
    EXPECT_EQ(YearOf(blank), 0);
    EXPECT_EQ(DayStr(blank), "  ");
    EXPECT_EQ(DaysInMonth(blank), 0);
    EXPECT_EQ(DayOf("xx/11/2024"), 0);
    EXPECT_EQ(YearOf("05/11/2O24"), 0);
    EXPECT_EQ(MonthOf(""), 0);

    Use(2, false);
    EXPECT_EQ(YearOf("05/11/24"), 24);
    EXPECT_EQ(DaysInMonth("01/02/00"), 29) << "2000 by the window";
}

TEST_F(DatesTest, StoredToDateRearrangesTheStoredForm) {
    Use(1, false);
    EXPECT_EQ(StoredToDate("19991231"), "99.12.31");
    Use(3, true);
    EXPECT_EQ(StoredToDate("19991231"), "31-12-1999");
    EXPECT_EQ(StoredToDate("  "), "  -  -    ");
}

TEST_F(DatesTest, TodayAndTime) {
    Use(2, true);
    const platform::LocalDateTime before = platform::Now();
    const std::string today = TodayStr();
    const Today parts = GetDate();
    const platform::LocalDateTime after = platform::Now();
    if (before.day != after.day) GTEST_SKIP() << "ran across midnight";

    char stored[16];
    std::snprintf(stored, sizeof stored, "%04d%02d%02d", before.year, before.month, before.day);
    EXPECT_EQ(DTOS(today), stored);
    EXPECT_EQ(parts.year, before.year);
    EXPECT_EQ(parts.month, before.month);
    EXPECT_EQ(parts.day, before.day);
    EXPECT_EQ(parts.day_of_week, DayOfWeekNo(today));
    Use(2, false);
    EXPECT_EQ(TodayStr().size(), 8u);

    EXPECT_EQ(TimeStr(5, 7, 9), "05:07:09");
    EXPECT_EQ(TimeStr(23, 59, 0), "23:59:00");
}

TEST_F(DatesTest, NumberSeparatorsDoNotFollowLaterCodeChanges) {
    SetNumberSeparators(',', '\'');
    SetDateFormat(8);
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(ThousandsSeparator(), '\'');
}

// The start-up state follows the user's language.
class DateStartTest : public DatesTest {
protected:
    void SetUp() override {
        DatesTest::SetUp();
        for (size_t i = 0; i < 3; ++i) {
            if (const char* v = std::getenv(kVars[i])) saved_env_[i] = v;
            unsetenv(kVars[i]);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < 3; ++i) {
            if (saved_env_[i])
                setenv(kVars[i], saved_env_[i]->c_str(), 1);
            else
                unsetenv(kVars[i]);
        }
        DatesTest::TearDown();
    }
    static constexpr const char* kVars[] = {"LC_ALL", "LC_TIME", "LANG"};
    std::optional<std::string> saved_env_[3];
};

TEST_F(DateStartTest, CodeAndSeparatorsFromTheLanguage) {
    struct Start {
        const char* locale;
        uint8_t code;
        char decimal, thousands;
    };
    const Start kStarts[] = {
        {"C", 0, '.', ','},           {"en_US.UTF-8", 0, '.', ','}, {"en_GB.UTF-8", 2, '.', ','},
        {"it_IT.UTF-8", 3, ',', '.'}, {"fr_FR.UTF-8", 4, ',', '.'}, {"de_DE.UTF-8", 5, ',', '.'},
        {"es_ES.UTF-8", 6, ',', '.'}, {"fr_CA.UTF-8", 7, '.', ','}, {"ru_RU.UTF-8", 8, '.', ' '},
        {"nl_NL.UTF-8", 0, '.', ','},
    };
    for (const Start& s : kStarts) {
        SCOPED_TRACE(s.locale);
        setenv("LC_ALL", s.locale, 1);
        SetCentury(true);
        SetWindowStart(1800);
        platform::FormatSettings().short_date_format = "untouched";
        ResetDateState();
        EXPECT_EQ(DateCode(), s.code);
        EXPECT_EQ(DecimalSeparator(), s.decimal);
        EXPECT_EQ(ThousandsSeparator(), s.thousands);
        EXPECT_FALSE(CenturyOn());
        EXPECT_EQ(WindowStart(), platform::Now().year - 70);
        EXPECT_EQ(BlankDateStr(DateCode()).size(), 8u);
        EXPECT_EQ(platform::FormatSettings().short_date_format, "untouched");
    }
}

}  // namespace
}  // namespace zurod
