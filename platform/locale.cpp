#include "platform/locale.hpp"

#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

struct Language {
    std::string_view iso;
    uint16_t primary;
};

constexpr Language kLanguages[] = {
    {"de", 7},  {"en", 9},  {"es", 10}, {"fr", 12}, {"it", 16}, {"ru", 25}, {"nl", 19},
    {"pt", 22}, {"sv", 29}, {"da", 6},  {"fi", 11}, {"no", 20}, {"nb", 20}, {"pl", 21},
    {"cs", 5},  {"hu", 14}, {"el", 8},  {"tr", 31}, {"ja", 17}, {"zh", 4},  {"ko", 18},
};

struct Country {
    uint16_t primary;
    std::string_view iso;
    uint16_t sub;
};

constexpr Country kCountries[] = {
    {9, "US", 1},  {9, "GB", 2},  {9, "AU", 3},  {9, "CA", 4},  {9, "NZ", 5},  {9, "IE", 6},
    {9, "ZA", 7},  {12, "FR", 1}, {12, "BE", 2}, {12, "CA", 3}, {12, "CH", 4}, {12, "LU", 5},
    {7, "DE", 1},  {7, "CH", 2},  {7, "AT", 3},  {7, "LU", 4},  {7, "LI", 5},  {10, "ES", 3},
    {10, "MX", 2}, {16, "IT", 1}, {16, "CH", 2}, {25, "RU", 1},
};

std::string_view LocaleName() {
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) return value;
    }
    return "C";
}

}  // namespace

uint16_t UserDefaultLangID() {
    std::string_view name = LocaleName();
    if (name == "C" || name == "POSIX" || name.starts_with("C.")) return 9 | (1 << 10);
    // language[_COUNTRY][.codeset][@modifier]
    name = name.substr(0, name.find_first_of(".@"));
    const std::string_view lang = name.substr(0, name.find('_'));
    const size_t underscore = name.find('_');
    const std::string_view country =
        underscore == std::string_view::npos ? std::string_view{} : name.substr(underscore + 1);

    uint16_t primary = 0;
    for (const Language& l : kLanguages)
        if (l.iso == lang) primary = l.primary;
    if (primary == 0) return 0;
    uint16_t sub = 1;
    for (const Country& c : kCountries)
        if (c.primary == primary && c.iso == country) sub = c.sub;
    return static_cast<uint16_t>(primary | (sub << 10));
}

DateFormatSettings UserDateFormat() {
    const uint16_t id = UserDefaultLangID();
    switch (PrimaryLangID(id)) {
    case 9:
        if (SubLangID(id) == 1) return DateFormatSettings{"M/d/yyyy", '/'};
        return DateFormatSettings{"dd/MM/yyyy", '/'};
    case 10:
    case 16: return DateFormatSettings{"dd/MM/yyyy", '/'};
    case 7:
    case 25: return DateFormatSettings{"dd.MM.yyyy", '.'};
    case 12:
        if (SubLangID(id) == 3) return DateFormatSettings{"yyyy-MM-dd", '-'};
        return DateFormatSettings{"dd/MM/yyyy", '/'};
    default: return DateFormatSettings{"M/d/yyyy", '/'};
    }
}

DateFormatSettings& FormatSettings() {
    static DateFormatSettings settings = UserDateFormat();
    return settings;
}

NumberFormatSettings UserNumberFormat() {
    switch (PrimaryLangID(UserDefaultLangID())) {
    case 7:
    case 10:
    case 16:
    case 19:
    case 22: return {',', '.'};
    case 12:
    case 25: return {',', ' '};
    default: return {'.', ','};
    }
}

NumberFormatSettings& NumberSettings() {
    static NumberFormatSettings settings = UserNumberFormat();
    return settings;
}

}  // namespace platform
