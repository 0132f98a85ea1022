#include "platform/regional.hpp"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/codepage.hpp"

namespace platform {

namespace {

// Converts one strftime format, `letters` giving each conversion's framework
// letters ("" drops it).
template <typename Letters>
std::string Convert(std::string_view f, Letters letters) {
    std::string out;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 == f.size()) {
            out += f[i];
            continue;
        }
        char c = f[++i];
        bool narrow = false;
        // glibc's flags and width ("%-d", "%_m", "%02d") and the E and O modifiers.
        while (i + 1 < f.size() &&
               (c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || (c >= '1' && c <= '9'))) {
            narrow = narrow || c == '-';
            c = f[++i];
        }
        bool era = false;
        if ((c == 'E' || c == 'O') && i + 1 < f.size()) era = c == 'E', c = f[++i];
        out += letters(c, narrow, era);
    }
    return out;
}

std::string DateLetters(char c, bool narrow, bool era) {
    switch (c) {
    case 'd': return narrow ? "d" : "dd";
    case 'e': return "d";
    case 'm': return narrow ? "M" : "MM";
    case 'y': return era ? "e" : "yy";
    case 'Y': return era ? "ggyy" : "yyyy";
    case 'C': return era ? "gg" : "";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'n':
    case 't': return " ";
    case '%': return "%";
    default: return "";
    }
}

std::string TimeLetters(char c, bool, bool) {
    switch (c) {
    case 'H':
    case 'I': return "hh";
    case 'k':
    case 'l': return "h";
    case 'M': return "mm";
    case 'S': return "ss";
    case 'p': return "AMPM";
    case 'P': return "ampm";
    case 'r': return "hh:mm:ss AMPM";
    case 'R': return "hh:mm";
    case 'T': return "hh:mm:ss";
    case 'n':
    case 't': return " ";
    case '%': return "%";
    default: return "";
    }
}

// The short time format has no seconds: "hh:mm:ss AMPM" becomes "hh:mm AMPM".
std::string WithoutSeconds(std::string format) {
    const size_t s = format.find("ss");
    if (s == std::string::npos) return format;
    size_t from = s;
    if (from > 0 && format[from - 1] != ' ') --from;  // the separator before it
    format.erase(from, s + 2 - from);
    return format;
}

std::string UpperName(std::string_view codeset) {
    std::string name;
    for (char c : codeset)
        if (c != '-' && c != '_') name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return name;
}

std::bitset<256> LeadBytesOf(std::string_view codeset) {
    std::bitset<256> lead;
    const auto range = [&](int from, int to) {
        for (int b = from; b <= to; ++b) lead.set(b);
    };
    const std::string name = UpperName(codeset);
    if (name == "SHIFTJIS" || name == "SJIS" || name == "CP932" || name == "WINDOWS31J") {
        range(0x81, 0x9F), range(0xE0, 0xFC);
    } else if (name == "EUCJP") {
        range(0x8E, 0x8F), range(0xA1, 0xFE);
    } else if (name == "EUCTW") {
        lead.set(0x8E), range(0xA1, 0xFE);
    } else if (name == "GBK" || name == "GB18030" || name == "GB2312" || name == "CP936" || name == "EUCCN" ||
               name == "BIG5" || name == "BIG5HKSCS" || name == "CP950" || name == "EUCKR" || name == "CP949" ||
               name == "UHC") {
        range(0x81, 0xFE);
    }
    return lead;
}

// A locale text in the ANSI page.
std::string ToAnsi(const char* text, std::string_view codeset) {
    if (!text) return {};
    const std::string name = UpperName(codeset);
    if (name == "UTF8") return Utf8ToAnsi(text);
    if (name == "ANSIX3.41968" || name == "ASCII") return text;
    iconv_t cd = iconv_open("UTF-8", std::string(codeset).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string in(text), out(in.size() * 4 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok) return text;
    out.resize(out.size() - room);
    return Utf8ToAnsi(out);
}

// The language letters of a locale name ("ja_JP.eucJP" gives "ja").
std::string LanguageOf(const std::string& locale_name) {
    std::string name = locale_name;
    if (name.empty())
        for (const char* var : {"LC_ALL", "LC_TIME", "LANG"})
            if (const char* value = std::getenv(var); value && *value) {
                name = value;
                break;
            }
    return name.substr(0, name.find_first_of("_.@"));
}

char SeparatorOf(std::string_view format) {
    for (char c : format) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && c != ' ' && c != '\'' && c != '"') return c;
    }
    return '/';
}

struct State {
    RegionalSettings settings = ReadRegionalSettings();
    uint32_t changes = 0;
    int next_listener = 1;
    std::vector<std::pair<int, RegionalListener>> listeners;
};

// Never destroyed: listeners (the window system's application) may leave
// after this file's statics are gone at exit.
State& S() {
    static auto* state = new State;
    return *state;
}

}  // namespace

std::string FrameworkDateFormat(std::string_view strftime_format) { return Convert(strftime_format, DateLetters); }
std::string FrameworkTimeFormat(std::string_view strftime_format) { return Convert(strftime_format, TimeLetters); }

RegionalSettings ReadRegionalSettings(const std::string& locale_name) {
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, locale_name.c_str(), static_cast<locale_t>(nullptr));
    if (!loc) loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    if (!loc) return {};
    const std::string codeset = nl_langinfo_l(CODESET, loc);
    RegionalSettings r;
    r.short_date_format = ToAnsi(FrameworkDateFormat(nl_langinfo_l(D_FMT, loc)).c_str(), codeset);
    r.date_separator = SeparatorOf(r.short_date_format);
    for (int i = 0; i < 12; ++i) {
        r.long_month_names[i] = ToAnsi(nl_langinfo_l(static_cast<nl_item>(MON_1 + i), loc), codeset);
        r.short_month_names[i] = ToAnsi(nl_langinfo_l(static_cast<nl_item>(ABMON_1 + i), loc), codeset);
    }
    for (int i = 0; i < 7; ++i)
        r.short_day_names[i] = ToAnsi(nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + i), loc), codeset);
    r.time_am = ToAnsi(nl_langinfo_l(AM_STR, loc), codeset);
    r.time_pm = ToAnsi(nl_langinfo_l(PM_STR, loc), codeset);
    r.short_time_format = ToAnsi(WithoutSeconds(FrameworkTimeFormat(nl_langinfo_l(T_FMT, loc))).c_str(), codeset);
    r.lead_bytes = LeadBytesOf(codeset);
    const std::string language = LanguageOf(locale_name);
    r.far_east = r.lead_bytes.any() || language == "ja" || language == "zh" || language == "ko";
    freelocale(loc);
    return r;
}

const RegionalSettings& Regional() { return S().settings; }

void SetRegional(RegionalSettings settings) {
    State& s = S();
    s.settings = std::move(settings);
    ++s.changes;
    // A listener may add or remove listeners: call the ones there were.
    const auto listeners = s.listeners;
    for (const auto& [id, listener] : listeners)
        if (listener) listener();
}

void ReloadRegional() { SetRegional(ReadRegionalSettings()); }

uint32_t RegionalChangeCount() { return S().changes; }

int AddRegionalListener(RegionalListener listener) {
    State& s = S();
    s.listeners.emplace_back(s.next_listener, std::move(listener));
    return s.next_listener++;
}

void RemoveRegionalListener(int id) {
    auto& l = S().listeners;
    l.erase(std::remove_if(l.begin(), l.end(), [id](const auto& entry) { return entry.first == id; }), l.end());
}

ScopedRegional::ScopedRegional(RegionalSettings settings) : saved_(Regional()) { SetRegional(std::move(settings)); }
ScopedRegional::~ScopedRegional() { SetRegional(std::move(saved_)); }

}  // namespace platform
