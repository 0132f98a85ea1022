#pragma once
// The user's regional settings as the locale gives them: date and time
// formats, month names, the morning and afternoon markers, and the lead bytes
// of a double-byte code page. Texts are in the ANSI page.
//
// The short date format and separator here are the locale's own. The working
// copy the program formats with is FormatSettings() (platform/locale.hpp),
// which the engine changes; a locale change may be applied to it by whoever
// receives the change notification.
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

struct RegionalSettings {
    std::string short_date_format = "M/d/yyyy";  // letters d, M, y, g; '/' is the separator's place
    char date_separator = '/';
    std::array<std::string, 12> long_month_names;
    std::array<std::string, 12> short_month_names;
    std::array<std::string, 7> short_day_names = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};  // Sunday first
    std::string time_am = "AM", time_pm = "PM";
    std::string short_time_format = "h:mm AMPM";  // letters h, m, AMPM
    std::bitset<256> lead_bytes;                  // first bytes of double-byte characters
    bool far_east = false;                        // a Chinese, Japanese or Korean locale
};

// The settings of a named locale ("" is the process's, from LC_ALL, LC_TIME
// and LANG); an unknown name reads as "C".
RegionalSettings ReadRegionalSettings(const std::string& locale_name = "");

// A locale's strftime date or time format in the framework's letters:
// "%d.%m.%Y" gives "dd.MM.yyyy", "%I:%M %p" gives "hh:mm AMPM".
std::string FrameworkDateFormat(std::string_view strftime_format);
std::string FrameworkTimeFormat(std::string_view strftime_format);

// The settings in force: the process's locale until replaced.
const RegionalSettings& Regional();

// Replaces the settings in force (a changed locale, or a test), counts the
// change and tells every listener.
void SetRegional(RegionalSettings settings);
// Reads the process's locale again, as on a change of the user's settings.
void ReloadRegional();
// Grows by one with every change.
uint32_t RegionalChangeCount();

using RegionalListener = std::function<void()>;
// Listeners are called after each change, in the order they were added.
int AddRegionalListener(RegionalListener listener);
void RemoveRegionalListener(int id);

// Puts other settings in force and the old ones back on leaving.
class ScopedRegional {
public:
    explicit ScopedRegional(RegionalSettings settings);
    ~ScopedRegional();
    ScopedRegional(const ScopedRegional&) = delete;
    ScopedRegional& operator=(const ScopedRegional&) = delete;

private:
    RegionalSettings saved_;
};

}  // namespace platform
