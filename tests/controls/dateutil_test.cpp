#include "controls/dateutil.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <tuple>

#include "framework/ui/forms.hpp"
#include "framework/ui/types.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"
#include "platform/regional.hpp"

namespace controls {
namespace {

platform::RegionalSettings English() {
    platform::RegionalSettings r;
    r.long_month_names = {"January", "February", "March",     "April",   "May",      "June",
                          "July",    "August",   "September", "October", "November", "December"};
    return r;
}

platform::RegionalSettings German() {
    platform::RegionalSettings r;
    r.short_date_format = "dd.MM.yyyy", r.date_separator = '.';
    r.long_month_names = {"Januar", "Februar", "M\xE4rz",   "April",   "Mai",      "Juni",
                          "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    return r;
}

// The regional settings these tests put in force leave the working format
// alone: each test sets the one it reads.
struct FormatsStay {
    FormatsStay() { ui::Application().UpdateFormatSettings = false; }
    ~FormatsStay() { ui::Application().UpdateFormatSettings = true; }
};

// This year is 2026; the user writes day, month, year with '/'.
class DateUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_format_ = platform::FormatSettings();
        platform::FormatSettings() = {"dd/MM/yyyy", '/'};
        platform::SetFixedNow(platform::LocalDateTime{2026, 6, 15, 2, 12, 0, 0});
        DateUtilSettings().two_digit_year_window = 60;
    }
    void TearDown() override {
        platform::SetFixedNow(std::nullopt);
        platform::FormatSettings() = saved_format_;
        ui::UiReset();  // the date state back to its start
    }
    static std::optional<TDateTime> Parse(const char* format, const char* text) {
        TDateTime date = -1;
        if (!TextToDateByFormat(format, text, date)) return std::nullopt;
        return date;
    }

    FormatsStay formats_stay_;
    platform::ScopedRegional regional_{English()};
    platform::DateFormatSettings saved_format_;
};

TEST_F(DateUtilTest, CalendarRules) {
    struct Case {
        int year, month, day;
        bool valid;
    };
    const Case cases[] = {
        {2024, 2, 29, true},  {2025, 2, 29, false}, {1900, 2, 29, false}, {2000, 2, 29, true}, {2025, 4, 31, false},
        {2025, 12, 31, true}, {2025, 13, 1, false}, {2025, 0, 10, false}, {2025, 1, 0, false}, {0, 1, 1, false},
        {9999, 12, 31, true}, {10000, 1, 1, false}, {-1, 5, 3, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValidDateParts(c.year, c.month, c.day), c.valid) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(MonthDays(2024, 2), 29);
    EXPECT_EQ(MonthDays(2023, 2), 28);
    EXPECT_EQ(MonthDays(2023, 13), 0);
}

TEST_F(DateUtilTest, DateValues) {
    struct Case {
        TDateTime value;
        bool valid;
    };
    const Case cases[] = {
        {db::EncodeDate(2025, 12, 31), true},
        {db::EncodeDate(1, 1, 1), true},
        {db::EncodeDate(9999, 12, 31), true},
        {db::EncodeDate(9999, 12, 31) + 1, false},
        {db::EncodeDate(1, 1, 1) - 1, false},
        {1e300, false},
        {std::numeric_limits<double>::quiet_NaN(), false},
    };
    for (const Case& c : cases) EXPECT_EQ(ValidDateValue(c.value), c.valid) << c.value;
}

TEST_F(DateUtilTest, OrderOfAFormat) {
    const std::pair<const char*, DateOrder> cases[] = {
        {"dd/MM/yyyy", doDMY}, {"M/d/yyyy", doMDY}, {"yyyy-MM-dd", doYMD}, {"YY.MM.DD", doYMD},
        {"ee/MM/dd", doYMD},   {"", doDMY},         {"gg", doDMY},         {"ddd MMM yyyy", doDMY},
    };
    for (const auto& [format, order] : cases) EXPECT_EQ(DateOrderOf(format), order) << format;
}

TEST_F(DateUtilTest, TwoDigitYearsFollowTheWindow) {
    struct Case {
        uint8_t window;
        int year, widened;
    };
    const Case cases[] = {
        {60, 99, 1999}, {60, 66, 1966},  {60, 65, 2065},   {60, 5, 2005},
        {60, 0, 2000},  {60, 100, 100},  {60, 2025, 2025}, {60, -1, -1},  // an error mark stays one
        {0, 5, 2005},   {0, 99, 2099},   {10, 15, 2115},   {10, 16, 2016},
        {10, 17, 2017}, {100, 26, 1926}, {100, 25, 2025},
    };
    for (const Case& c : cases) {
        DateUtilSettings().two_digit_year_window = c.window;
        EXPECT_EQ(WidenYear(c.year), c.widened) << "window " << int(c.window) << ", year " << c.year;
    }
}

TEST_F(DateUtilTest, MonthNames) {
    struct Case {
        const char* text;
        int length, month;
    };
    const Case cases[] = {
        {"mar", 3, 3},  {"MARCH", 5, 3},  {"Ma", 2, 3}, {"june", 4, 6}, {"Jun", 3, 6},       {"Ju", 2, 6},
        {"May ", 4, 0}, {"Mayday", 6, 0}, {"x", 1, 0},  {"mar", 0, 0},  {"December", 8, 12}, {"Septembers", 10, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(MonthByName(c.text, c.length), c.month) << c.text << "/" << c.length;

    platform::ScopedRegional german(German());
    EXPECT_EQ(MonthByName("M\xC4RZ", 4), 3) << "upper case of the ANSI page";
    EXPECT_EQ(MonthByName("m\xE4r", 3), 3);
    EXPECT_EQ(MonthByName("mai", 3), 5);

    platform::RegionalSettings gaps = English();
    gaps.long_month_names[0].clear();
    platform::ScopedRegional with_gaps(gaps);
    EXPECT_EQ(MonthByName("J", 1), 6) << "an empty name is skipped, not matched";
}

TEST_F(DateUtilTest, TextsToDates) {
    using db::EncodeDate;
    struct Case {
        const char* format;
        const char* text;
        std::optional<TDateTime> date;
    };
    const std::optional<TDateTime> invalid;
    const Case cases[] = {
        {"DD/MM/YYYY", "31/12/2025", EncodeDate(2025, 12, 31)},
        {"DD/MM/YYYY", "31/02/2025", invalid},
        {"DD/MM/YYYY", "29/02/2024", EncodeDate(2024, 2, 29)},
        {"DD/MM/YYYY", "29/02/2025", invalid},
        {"DD/MM/YYYY", "00/12/2025", invalid},
        {"DD/MM/YYYY", "12/13/2025", invalid},
        {"DD/MM/YYYY", "32/01/2025", invalid},
        {"DD/MM/YYYY", "ab/cd/efgh", invalid},
        {"DD/MM/YYYY", "1x/12/2025", invalid},
        {"DD/MM/YYYY", "$1/12/2025", invalid},
        {"DD/MM/YYYY", "-1/12/2025", invalid},
        {"DD/MM/YYYY", " 5/ 3/2025", EncodeDate(2025, 3, 5)},
        // A blank year is no date, never a year of the window.
        {"DD/MM/YYYY", "05/03/    ", invalid},
        {"DD/MM/YY", "05/03/  ", invalid},
        {"DD/MM/YYYY", "  /  /    ", invalid},
        {"DD/MM/YYYY", "05/  /2025", invalid},
        {"DD/MM/YY", "01/01/66", EncodeDate(1966, 1, 1)},
        {"DD/MM/YY", "01/01/65", EncodeDate(2065, 1, 1)},
        {"DD/MM/YY", "31/12/99", EncodeDate(1999, 12, 31)},
        {"DD/MM/YY", "01/01/00", EncodeDate(2000, 1, 1)},
        {"MM/DD/YYYY", "12/31/2025", EncodeDate(2025, 12, 31)},
        {"MM/DD/YYYY", "31/12/2025", invalid},  // the scanner too reads in the edit's order
        {"YYYY/MM/DD", "2025/03/05", EncodeDate(2025, 3, 5)},
        {"DD-MMM-YYYY", "05-mar-2025", EncodeDate(2025, 3, 5)},
        {"DD-MMM-YYYY", "05-MAR-2025", EncodeDate(2025, 3, 5)},
        {"DD-MMM-YYYY", "05-xyz-2025", invalid},
        // Longer than the format: the scanner decides.
        {"DD/MM/YY", "05/03/2025", EncodeDate(2025, 3, 5)},
        {"DD/MM/YY", "5/6", EncodeDate(2026, 6, 5)},
        {"DD/MM/YY", "5/6/", invalid},
        {"DD/MM/YY", "05/03/20251", invalid},
        {"DD/MM/YY", "05/03/2025/", EncodeDate(2025, 3, 5)},
        {"DD/MM/YY", "05/03/2025 x", invalid},
        {"DD/MM/YY", "05.03.2025", invalid},
        {"DD/MM/YY", "1/2/3/4", invalid},
        {"", "", NullDate},
        {"DD/MM/YYYY", "", NullDate},
    };
    for (const Case& c : cases) {
        const std::optional<TDateTime> got = Parse(c.format, c.text);
        EXPECT_EQ(got.has_value(), c.date.has_value()) << c.format << " '" << c.text << "'";
        if (got && c.date) {
            EXPECT_EQ(*got, *c.date) << c.format << " '" << c.text << "'";
        }
    }
}

TEST_F(DateUtilTest, FreeScannerFollowsTheOrder) {
    struct Case {
        const char* order_format;
        const char* text;
        int day, month, year;
        bool ok;
    };
    const Case cases[] = {
        {"dd/MM/yyyy", "5/6", 5, 6, 2026, true},
        {"MM/dd/yyyy", "5/6", 6, 5, 2026, true},
        {"yyyy/MM/dd", "5/6", 6, 5, 2026, true},
        {"yyyy/MM/dd", "25/6/7", 7, 6, 2025, true},
        {"MM/dd/yyyy", "12/31/99", 31, 12, 1999, true},
        {"dd/MM/yyyy", "5 / 6 / 2025 ", 5, 6, 2025, true},
        {"dd/MM/yyyy", "5", 0, 0, 0, false},
        {"dd/MM/yyyy", "5/", 5, 0, 0, false},
        {"dd/MM/yyyy", "\t5/6", 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        size_t pos = 0;
        int d = -1, m = -1, y = -1;
        const bool ok = ParseDateFree(c.text, c.order_format, pos, d, m, y);
        EXPECT_EQ(ok, c.ok) << c.order_format << " '" << c.text << "'";
        if (ok) {
            EXPECT_EQ((std::tuple{d, m, y}), (std::tuple{c.day, c.month, c.year})) << c.text;
        }
    }
}

TEST_F(DateUtilTest, EraAndTimeOfDayInFarEastFormats) {
    platform::RegionalSettings r = English();
    r.far_east = true;
    r.time_am = "AM", r.time_pm = "PM";
    r.short_time_format = "AMPM h:mm";
    r.lead_bytes.set(0x81);
    platform::ScopedRegional far_east(r);

    struct Case {
        const char* short_format;
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        // An era name (here a double-byte character and a blank) before the numbers.
        {"gg yy/MM/dd", "\x81\x31 25/06/07", true},
        {"gg yy/MM/dd", "\x81", false},
        // A weekday and then a time stop at the marker: the text is not consumed.
        {"yyyy/MM/dd ddd", "2025/06/07 Sat", true},
        {"yyyy/MM/dd ddd", "2025/06/07 Sat PM 3:00", false},
        {"yyyy/MM/dd", "2025/06/07 Sat", false},
    };
    for (const Case& c : cases) {
        platform::FormatSettings() = {c.short_format, '/'};
        size_t pos = 0;
        int d = 0, m = 0, y = 0;
        EXPECT_EQ(ParseDateFree(c.text, "yy/MM/dd", pos, d, m, y), c.ok) << c.short_format << " '" << c.text << "'";
    }
}

TEST_F(DateUtilTest, ErrorsAndDefaults) {
    const TDateTime fallback = db::EncodeDate(2000, 1, 1);
    EXPECT_EQ(TextToDateOrDefault("DD/MM/YYYY", "31/02/2025", fallback), fallback);
    EXPECT_EQ(TextToDateOrDefault("DD/MM/YYYY", "05/03/    ", fallback), fallback);
    EXPECT_EQ(TextToDateOrDefault("DD/MM/YYYY", "28/02/2025", fallback), db::EncodeDate(2025, 2, 28));
    EXPECT_EQ(TextToDateOrError("DD/MM/YYYY", ""), NullDate);
    try {
        TextToDateOrError("DD/MM/YYYY", "31/02/2025");
        FAIL() << "no error";
    } catch (const ui::EConvertError& e) {
        EXPECT_STREQ(e.what(), "''31/02/2025'' is not a valid date");
    }
    EXPECT_THROW(TextToDateOrError("DD/MM/YYYY", "05/03/    "), ui::EConvertError);
}

TEST_F(DateUtilTest, FormatsAndMasksOfTheUserOrder) {
    struct Case {
        platform::DateFormatSettings user;
        const char *four, *two, *mask4, *mask2;
    };
    const Case cases[] = {
        {{"dd/MM/yyyy", '/'}, "DD/MM/YYYY", "DD/MM/YY", "!99/99/9999;1;_", "!99/99/99;1;_"},
        {{"dd.MM.yy", '.'}, "DD/MM/YYYY", "DD/MM/YY", "!99/99/9999;1;_", "!99/99/99;1;_"},
        {{"M/d/yyyy", '/'}, "MM/DD/YYYY", "MM/DD/YY", "!99/99/9999;1;_", "!99/99/99;1;_"},
        {{"yyyy-MM-dd", '-'}, "YYYY/MM/DD", "YY/MM/DD", "!9999/99/99;1;_", "!99/99/99;1;_"},
    };
    for (const Case& c : cases) {
        platform::FormatSettings() = c.user;
        EXPECT_EQ(DefaultDateFormatFor(true), c.four) << c.user.short_date_format;
        EXPECT_EQ(DefaultDateFormatFor(false), c.two) << c.user.short_date_format;
        EXPECT_EQ(DefaultDateMaskFor('_', true), c.mask4) << c.user.short_date_format;
        EXPECT_EQ(DefaultDateMaskFor('_', false), c.mask2) << c.user.short_date_format;
    }
    platform::FormatSettings() = {"dd/MM/yyyy", '/'};
    EXPECT_EQ(DefaultDateMaskFor(' ', true), "!99/99/9999;1; ");
}

TEST_F(DateUtilTest, FourDigitYearsOfTheUserFormatAtStartUp) {
    const std::pair<const char*, bool> cases[] = {
        {"dd/MM/yyyy", true}, {"M/d/YYYY", true}, {"dd/MM/yy", false}, {"yyy", false}};
    for (const auto& [format, four] : cases) {
        platform::FormatSettings() = {format, '/'};
        DateUtilStart();
        EXPECT_EQ(DateUtilSettings().system_four_digit_year, four) << format;
    }
}

TEST_F(DateUtilTest, ThisYearFollowsTheClock) {
    EXPECT_EQ(ThisYear(), 2026);
    platform::SetFixedNow(platform::LocalDateTime{1999, 12, 31, 6, 23, 59, 59});
    EXPECT_EQ(ThisYear(), 1999);
    EXPECT_EQ(WidenYear(38), 2038);
    EXPECT_EQ(WidenYear(39), 1939);
}

}  // namespace
}  // namespace controls
