#pragma once
// The user's language and the process-wide date format settings.
#include <cstdint>
#include <string>

namespace platform {

// Language identifier in the original platform's layout: primary language in
// the low 10 bits (7 German, 9 English, 10 Spanish, 12 French, 16 Italian,
// 25 Russian, 0 unknown), sub-language (country) in the high 6 bits (English:
// 1 United States, 2 United Kingdom; French: 1 France, 3 Canada). Taken from
// the first of LC_ALL, LC_TIME and LANG that is set; "C", "POSIX" and unset
// read as English (United States).
uint16_t UserDefaultLangID();

inline constexpr uint16_t PrimaryLangID(uint16_t id) { return id & 0x3FF; }
inline constexpr uint16_t SubLangID(uint16_t id) { return id >> 10; }

// Short date format ("dd/MM/yyyy") and date separator, shared by the engine
// (which installs them) and the controls (which read them).
struct DateFormatSettings {
    std::string short_date_format;
    char date_separator = '/';
};
DateFormatSettings& FormatSettings();
// The user's own short date format, as the language gives it; FormatSettings
// starts as this and is then changed by whoever sets the program's format.
DateFormatSettings UserDateFormat();

// Decimal and thousands separators of number texts, process-wide like the
// date format; they start as the user's.
struct NumberFormatSettings {
    char decimal_separator = '.';
    char thousand_separator = ',';
};
NumberFormatSettings& NumberSettings();
NumberFormatSettings UserNumberFormat();

}  // namespace platform
