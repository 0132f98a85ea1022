#include "engine/dbf/detail/swap_buffer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/dbf/dates.hpp"
#include "platform/bytes.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

using platform::CopyBytes;
using platform::Load;
using platform::Store;

size_t SlotSizeOf(const FieldInfo& f) {
    switch (f.type) {
    case 'C': return f.length + 1u;
    case 'D': return 11;
    case 'N':
    case 'F': return 8;
    case 'L': return 1;
    case 'M': return 4;
    default: return 0;
    }
}

std::string_view Trimmed(const char* p, size_t n) {
    size_t b = 0, e = n;
    while (b < e && static_cast<unsigned char>(p[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(p[e - 1]) <= ' ') --e;
    return {p + b, e - b};
}

// Field text that is no number reads as 0; "inf" and "nan" are no numbers (a
// NaN in a slot would break every comparison made with it).
double ParseReal(std::string_view t) {
    double v = 0;
    return platform::ParseDouble(t, v) && std::isfinite(v) ? v : 0.0;
}

int64_t ParseWhole(std::string_view t) {
    int64_t v = 0;
    if (platform::ParseInt64(t, v)) return v;
    const double d = ParseReal(t);
    return std::fabs(d) < 9.2e18 ? std::llround(d) : 0;
}

// YYYYMMDD as a date text in the current SET DATE order.
void StoredDateToSlot(const char* raw, size_t length, char* slot) {
    char ymd[8];
    std::memset(ymd, ' ', 8);
    std::memcpy(ymd, raw, std::min<size_t>(length, 8));
    const bool century = CenturyOn();
    const uint8_t code = DateCode();
    const char* year = century ? ymd : ymd + 2;
    const size_t ylen = century ? 4 : 2;
    const char* month = ymd + 4;
    const char* day = ymd + 6;
    char* out = slot + 1;
    size_t n = 0;
    auto put = [&](const char* p, size_t len) {
        std::memcpy(out + n, p, len);
        n += len;
    };
    auto sep = [&](char c) { out[n++] = c; };
    switch (code) {
    case 0: put(month, 2), sep('/'), put(day, 2), sep('/'), put(year, ylen); break;
    case 1: put(year, ylen), sep('.'), put(month, 2), sep('.'), put(day, 2); break;
    default: {
        const char s = code == 2 ? '/' : code == 3 ? '-' : '.';
        put(day, 2), sep(s), put(month, 2), sep(s), put(year, ylen);
        break;
    }
    }
    slot[0] = static_cast<char>(n);
}

bool IsBlankTemplate(std::string_view t) {
    if (t.empty()) return true;
    if (t.size() != 8 && t.size() != 10) return false;
    for (char c : t)
        if (c != ' ' && c != '/' && c != '-' && c != '.') return false;
    return true;
}

// A date text in the current format as YYYYMMDD; eight blanks for the blank
// date. False for a text that is no valid date.
bool DateTextToStored(std::string_view text, char* out) {
    if (IsBlankTemplate(text)) {
        std::memset(out, ' ', 8);
        return true;
    }
    return DateToStored(text, out);
}

// Right-aligns `text` in the field; false when it does not fit.
bool PutRight(char* field, size_t length, std::string_view text) {
    if (text.size() > length) return false;
    std::memset(field, ' ', length - text.size());
    std::memcpy(field + (length - text.size()), text.data(), text.size());
    return true;
}

}  // namespace

size_t SlotSize(const FieldInfo& f) { return SlotSizeOf(f); }

double StoredReal(std::string_view raw) { return ParseReal(Trimmed(raw.data(), raw.size())); }
int64_t StoredInteger(std::string_view raw) { return ParseWhole(Trimmed(raw.data(), raw.size())); }

void AssignSwapOffsets(TWorkArea& area) {
    size_t at = 1;
    for (FieldInfo& f : area.fields) {
        f.swap_offset = static_cast<uint16_t>(at);
        at += SlotSizeOf(f);
    }
}

size_t SwapBufferSize(const TWorkArea& area) {
    size_t size = 1;
    for (const FieldInfo& f : area.fields) size += SlotSizeOf(f);
    return size;
}

void RecordToBuffer(TWorkArea& area) {
    if (area.swap.empty() || area.record.empty()) return;
    const char* rec = area.record.data();
    char* swap = area.swap.data();
    swap[0] = rec[0] == '*' ? 1 : 0;
    for (const FieldInfo& f : area.fields) {
        const char* raw = rec + f.offset;
        char* slot = swap + f.swap_offset;
        switch (f.type) {
        case 'C':
            slot[0] = static_cast<char>(f.length);
            CopyBytes(slot + 1, raw, f.length);
            break;
        case 'D': StoredDateToSlot(raw, f.length, slot); break;
        case 'N':
        case 'F': {
            const std::string_view t = Trimmed(raw, f.length);
            if (RealSlot(f))
                Store<double>(slot, ParseReal(t));
            else
                Store<int64_t>(slot, ParseWhole(t));
            break;
        }
        case 'L': {
            const char c = f.length > 0 ? raw[0] : ' ';
            slot[0] = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 1 : 0;
            break;
        }
        case 'M': {
            const int64_t block = ParseWhole(Trimmed(raw, f.length));
            Store<int32_t>(slot, static_cast<int32_t>(std::clamp<int64_t>(block, INT32_MIN, INT32_MAX)));
            break;
        }
        default: break;
        }
    }
    area.raw_shadow.assign(area.record.begin(), area.record.end());
    area.swap_shadow.assign(area.swap.begin(), area.swap.end());
    area.shadow_valid = true;
}

Status BufferToRecord(TWorkArea& area) {
    if (area.swap.empty() || area.record.empty()) return {};
    std::vector<char>& out = area.scratch;
    out.assign(area.record.begin(), area.record.end());
    const char* swap = area.swap.data();
    const bool shadow = area.shadow_valid && area.raw_shadow.size() == area.record.size() &&
        area.swap_shadow.size() == area.swap.size();
    out[0] = swap[0] != 0 ? '*' : ' ';
    char text[32];
    for (const FieldInfo& f : area.fields) {
        char* raw = out.data() + f.offset;
        const char* slot = swap + f.swap_offset;
        const size_t slot_size = SlotSizeOf(f);
        // A field the caller left alone is written back exactly as it was read.
        if (shadow && std::memcmp(slot, area.swap_shadow.data() + f.swap_offset, slot_size) == 0) {
            CopyBytes(raw, area.raw_shadow.data() + f.offset, f.length);
            continue;
        }
        bool fits = true;
        switch (f.type) {
        case 'C': {
            const size_t n = std::min<size_t>(static_cast<uint8_t>(slot[0]), f.length);
            CopyBytes(raw, slot + 1, n);
            std::memset(raw + n, ' ', f.length - n);
            break;
        }
        case 'D': {
            char stored[8];
            const std::string_view text(slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), 10));
            if (!DateTextToStored(text, stored))
                return Fail(201,
                            "Invalid date \"" + std::string(text) + "\" for field " + f.name + " of " + area.file_name +
                                " [SwapBufferToRecord]");
            std::memset(raw, ' ', f.length);
            std::memcpy(raw, stored, std::min<size_t>(8, f.length));
            break;
        }
        case 'N':
        case 'F':
            if (RealSlot(f)) {
                fits = PutRight(raw, f.length, platform::FormatFixed(Load<double>(slot), f.decimals));
            } else {
                auto [end, ec] = std::to_chars(text, text + sizeof text, Load<int64_t>(slot));
                fits = ec == std::errc() && PutRight(raw, f.length, std::string_view(text, end - text));
            }
            break;
        case 'L':
            if (f.length > 0) raw[0] = slot[0] != 0 ? 'T' : 'F';
            break;
        case 'M': {
            // No memo is a blank field, as other programs write and expect it.
            const int32_t block = Load<int32_t>(slot);
            if (block == 0) {
                std::memset(raw, ' ', f.length);
                break;
            }
            auto [end, ec] = std::to_chars(text, text + sizeof text, block);
            fits = ec == std::errc() && PutRight(raw, f.length, std::string_view(text, end - text));
            break;
        }
        default: break;
        }
        if (!fits)
            return Fail(201,
                        "Value does not fit field " + f.name + " (" + std::string(1, f.type) + " " +
                            std::to_string(f.length) + "." + std::to_string(f.decimals) + ") of " + area.file_name +
                            " [SwapBufferToRecord]");
    }
    std::memcpy(area.record.data(), out.data(), out.size());
    return {};
}

std::string_view SwapString(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    const size_t cap = f.type == 'D' ? 10 : f.length;
    return {slot + 1, std::min<size_t>(static_cast<uint8_t>(slot[0]), cap)};
}

void SetSwapString(TWorkArea& area, const FieldInfo& f, std::string_view text) {
    char* slot = area.swap.data() + f.swap_offset;
    const size_t cap = f.type == 'D' ? 10 : f.length;
    const size_t n = std::min(text.size(), cap);
    slot[0] = static_cast<char>(n);
    CopyBytes(slot + 1, text.data(), n);
    std::memset(slot + 1 + n, ' ', cap - n);
}

double SwapNumber(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    return RealSlot(f) ? Load<double>(slot) : static_cast<double>(Load<int64_t>(slot));
}

int64_t SwapInteger(const TWorkArea& area, const FieldInfo& f) {
    const char* slot = area.swap.data() + f.swap_offset;
    if (!RealSlot(f)) return Load<int64_t>(slot);
    const double d = Load<double>(slot);
    return std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<int64_t>(d) : 0;
}

void SetSwapNumber(TWorkArea& area, const FieldInfo& f, double value) {
    char* slot = area.swap.data() + f.swap_offset;
    if (RealSlot(f)) {
        Store<double>(slot, f.decimals == 0 ? std::round(value) : value);
    } else {
        const bool ok = std::isfinite(value) && std::fabs(value) < 9.2e18;
        Store<int64_t>(slot, ok ? std::llround(value) : 0);
    }
}

void SetSwapInteger(TWorkArea& area, const FieldInfo& f, int64_t value) {
    char* slot = area.swap.data() + f.swap_offset;
    if (RealSlot(f))
        Store<double>(slot, static_cast<double>(value));
    else
        Store<int64_t>(slot, value);
}

bool SwapLogical(const TWorkArea& area, const FieldInfo& f) { return area.swap[f.swap_offset] != 0; }
void SetSwapLogical(TWorkArea& area, const FieldInfo& f, bool value) { area.swap[f.swap_offset] = value ? 1 : 0; }
int32_t SwapMemo(const TWorkArea& area, const FieldInfo& f) { return Load<int32_t>(area.swap.data() + f.swap_offset); }
void SetSwapMemo(TWorkArea& area, const FieldInfo& f, int32_t block) {
    Store<int32_t>(area.swap.data() + f.swap_offset, block);
}
bool SwapDeleted(const TWorkArea& area) { return !area.swap.empty() && area.swap[0] != 0; }
void SetSwapDeleted(TWorkArea& area, bool deleted) {
    if (!area.swap.empty()) area.swap[0] = deleted ? 1 : 0;
}

}  // namespace zurod
