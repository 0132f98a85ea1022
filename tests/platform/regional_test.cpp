#include "platform/regional.hpp"

#include <gtest/gtest.h>

#include <locale.h>

#include <vector>

namespace platform {
namespace {

bool LocaleInstalled(const char* name) {
    locale_t loc = newlocale(LC_TIME_MASK, name, static_cast<locale_t>(nullptr));
    if (!loc) return false;
    freelocale(loc);
    return true;
}

TEST(RegionalTest, StrftimeFormatsInFrameworkLetters) {
    const std::pair<const char*, const char*> dates[] = {
        {"%m/%d/%y", "MM/dd/yy"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%-d/%-m/%Y", "d/M/yyyy"},
        {"%e %B %Y", "d MMMM yyyy"},
        {"%a %d %b %Y", "ddd dd MMM yyyy"},
        {"%D", "MM/dd/yy"},
        {"%F", "yyyy-MM-dd"},
        {"%EY", "ggyy"},
        {"%Ey/%m", "e/MM"},
        {"%d%n%m", "dd MM"},
        {"100%%", "100%"},
        {"%", "%"},
        {"%Q/%m", "/MM"},
    };
    for (const auto& [strftime, framework] : dates) EXPECT_EQ(FrameworkDateFormat(strftime), framework) << strftime;
    const std::pair<const char*, const char*> times[] = {
        {"%H:%M:%S", "hh:mm:ss"}, {"%I:%M:%S %p", "hh:mm:ss AMPM"}, {"%r", "hh:mm:ss AMPM"},
        {"%R", "hh:mm"},          {"%l.%M %P", "h.mm ampm"},        {"%p %I:%M", "AMPM hh:mm"},
    };
    for (const auto& [strftime, framework] : times) EXPECT_EQ(FrameworkTimeFormat(strftime), framework) << strftime;
}

TEST(RegionalTest, TheCLocale) {
    const RegionalSettings r = ReadRegionalSettings("C");
    EXPECT_EQ(r.short_date_format, "MM/dd/yy");
    EXPECT_EQ(r.date_separator, '/');
    EXPECT_EQ(r.long_month_names[0], "January");
    EXPECT_EQ(r.long_month_names[11], "December");
    EXPECT_EQ(r.short_month_names[8], "Sep");
    EXPECT_EQ(r.time_am, "AM");
    EXPECT_EQ(r.time_pm, "PM");
    EXPECT_EQ(r.short_time_format, "hh:mm");
    EXPECT_TRUE(r.lead_bytes.none());
    EXPECT_FALSE(r.far_east);
    EXPECT_EQ(ReadRegionalSettings("no_SUCH.locale").short_date_format, "MM/dd/yy") << "an unknown locale reads as C";
}

TEST(RegionalTest, GermanMonthNamesInTheAnsiPage) {
    if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/install-deps makes it)";
    const RegionalSettings r = ReadRegionalSettings("de_DE.UTF-8");
    EXPECT_EQ(r.short_date_format, "dd.MM.yyyy");
    EXPECT_EQ(r.date_separator, '.');
    EXPECT_EQ(r.long_month_names[2], "M\xE4rz");
    EXPECT_EQ(r.short_time_format, "hh:mm");
    EXPECT_FALSE(r.far_east);
}

TEST(RegionalTest, ChangesAreCountedAndTold) {
    const uint32_t before = RegionalChangeCount();
    std::vector<std::string> seen;
    const int id = AddRegionalListener([&] { seen.push_back(Regional().time_am); });
    {
        RegionalSettings r;
        r.time_am = "vorm.";
        ScopedRegional scoped(r);
        EXPECT_EQ(Regional().time_am, "vorm.");
    }
    RemoveRegionalListener(id);
    ReloadRegional();
    EXPECT_EQ(RegionalChangeCount(), before + 3);
    ASSERT_EQ(seen.size(), 2u) << "the removed listener hears nothing more";
    EXPECT_EQ(seen[0], "vorm.");
    EXPECT_EQ(seen[1], ReadRegionalSettings().time_am) << "the old settings are back";
}

TEST(RegionalTest, AListenerMayRemoveItself) {
    int calls = 0;
    int id = 0;
    id = AddRegionalListener([&] {
        ++calls;
        RemoveRegionalListener(id);
    });
    SetRegional(Regional());
    SetRegional(Regional());
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace platform
