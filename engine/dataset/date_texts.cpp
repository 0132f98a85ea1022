// Dates between the engine's date text, in its current format and century
// window, and the framework's TDateTime, as the date fields and the record
// conversion need them.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/dataset/detail/texts.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "framework/db/sysutils.hpp"

namespace zurod {

bool IsBlankDate(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '/' || c == '-' || c == '.'; });
}

namespace {

int Digits(std::string_view text, size_t at, size_t n) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}

}  // namespace

double EngineDateText(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    if (text.size() > 10) text = text.substr(0, 10);
    if (IsBlankDate(text)) return 0;
    if (text.size() == 8 || text.size() == 10) {
        const size_t year_digits = text.size() == 10 ? 4 : 2;
        const uint8_t code = DateCode();
        size_t y_at = 6, m_at = 3, d_at = 0;
        if (code == 0) m_at = 0, d_at = 3;
        if (code == 1) y_at = 0, m_at = year_digits + 1, d_at = year_digits + 4;
        int y = Digits(text, y_at, year_digits);
        const int m = Digits(text, m_at, 2), d = Digits(text, d_at, 2);
        if (y >= 0 && m >= 0 && d >= 0) {
            if (year_digits == 2) y += CenturyBase(text.substr(y_at, 2));
            db::TDateTime date = 0;
            return db::TryEncodeDate(y, m, d, date) ? date : 0;
        }
    }
    std::string stored;
    if (!DateToStored(text, stored) || stored.size() != 8 || stored[0] == ' ') return 0;
    const int y = Digits(stored, 0, 4), m = Digits(stored, 4, 2), d = Digits(stored, 6, 2);
    db::TDateTime date = 0;
    return db::TryEncodeDate(y, m, d, date) ? date : 0;
}

bool DateTextOf(double date, std::string& text) {
    if (!std::isfinite(date) || std::fabs(date) > 3e6) return false;
    int y = 0, m = 0, d = 0;
    db::DecodeDate(date, y, m, d);
    if (y < 1 || y > 9999) return false;
    const char stored[8] = {static_cast<char>('0' + y / 1000),    static_cast<char>('0' + y / 100 % 10),
                            static_cast<char>('0' + y / 10 % 10), static_cast<char>('0' + y % 10),
                            static_cast<char>('0' + m / 10),      static_cast<char>('0' + m % 10),
                            static_cast<char>('0' + d / 10),      static_cast<char>('0' + d % 10)};
    text = StoredToDate(std::string_view(stored, 8), true);
    return true;
}

std::string EngineDateTextOf(db::TDateTime date) {
    if (date == 0) return BlankDateStr(DateCode());
    std::string text;
    return DateTextOf(date, text) ? text : std::string();
}

}  // namespace zurod
