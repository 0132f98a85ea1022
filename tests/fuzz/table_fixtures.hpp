#pragma once
// Builds table files byte by byte, for the versions the engine reads but never
// writes (dBASE II, level 7) and for files the engine would not produce
// (foreign number formatting, odd delete marks, damaged headers). Shared by
// the unit tests and the fuzzer's seed corpus.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace table_fixtures {

struct Field {
    std::string name;
    char type = 'C';
    uint8_t length = 0;
    uint8_t decimals = 0;
};

struct Table {
    uint8_t version = 0x03;
    std::vector<Field> fields;
    // Whole records, delete mark included (see Row).
    std::vector<std::string> records;
    int year = 2024, month = 1, day = 1;  // last update
    bool end_mark = true;
    uint8_t index_flag = 0;
};

inline bool IsLevel7(uint8_t version) { return version == 0x04 || version == 0x8C; }

inline uint16_t RecordLength(const std::vector<Field>& fields) {
    unsigned rl = 1;
    for (const Field& f : fields) rl += f.length;
    return static_cast<uint16_t>(rl);
}

inline uint16_t HeaderLength(const Table& t) {
    if (t.version == 0x02) return 521;
    const size_t prolog = IsLevel7(t.version) ? 68 : 32;
    const size_t dsize = IsLevel7(t.version) ? 48 : 32;
    return static_cast<uint16_t>(prolog + dsize * t.fields.size() + 1);
}

// One record: the values in field order, numbers right-aligned and everything
// else left-aligned, each blank-padded (or cut) to its field's length.
inline std::string Row(const std::vector<Field>& fields, const std::vector<std::string_view>& values,
                       bool deleted = false) {
    std::string r(1, deleted ? '*' : ' ');
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        std::string_view v = i < values.size() ? values[i] : std::string_view();
        if (v.size() > f.length) v = v.substr(0, f.length);
        const std::string pad(f.length - v.size(), ' ');
        const bool right = f.type == 'N' || f.type == 'F' || f.type == 'M';
        r += right ? pad + std::string(v) : std::string(v) + pad;
    }
    return r;
}

namespace detail {

inline void Put16(std::string& s, size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void PutName(std::string& s, size_t at, const std::string& name) {
    s.replace(at, std::min<size_t>(name.size(), 11), name.substr(0, 11));
}

}  // namespace detail

// The file's bytes: header, descriptors, the records and the end mark.
inline std::string Build(const Table& t) {
    using namespace detail;
    const uint16_t hl = HeaderLength(t);
    std::string s(hl, '\0');
    s[0] = static_cast<char>(t.version);
    if (t.version == 0x02) {
        Put16(s, 1, static_cast<unsigned>(t.records.size()));
        s[3] = static_cast<char>(t.month);
        s[4] = static_cast<char>(t.day);
        s[5] = static_cast<char>(t.year - 1900);
        Put16(s, 6, RecordLength(t.fields));
        for (size_t i = 0; i < t.fields.size(); ++i) {
            const size_t d = 8 + 16 * i;
            PutName(s, d, t.fields[i].name);
            s[d + 11] = t.fields[i].type;
            s[d + 12] = static_cast<char>(t.fields[i].length);
            s[d + 15] = static_cast<char>(t.fields[i].decimals);
        }
        if (t.fields.size() < 32) s[8 + 16 * t.fields.size()] = 0x0D;
        s[520] = 0x0D;
    } else {
        s[1] = static_cast<char>(t.year - 1900);
        s[2] = static_cast<char>(t.month);
        s[3] = static_cast<char>(t.day);
        Put32(s, 4, static_cast<uint32_t>(t.records.size()));
        Put16(s, 8, hl);
        Put16(s, 10, RecordLength(t.fields));
        s[28] = static_cast<char>(t.index_flag);
        const bool level7 = IsLevel7(t.version);
        size_t d = 32;
        if (level7) {
            // The block after the header: a language driver name and zeros.
            s.replace(34, 9, "DB437US0\0", 9);
            d = 68;
        }
        for (const Field& f : t.fields) {
            PutName(s, d, f.name);
            const size_t type_at = level7 ? 32 : 11;
            s[d + type_at] = f.type;
            s[d + type_at + (level7 ? 1 : 5)] = static_cast<char>(f.length);
            s[d + type_at + (level7 ? 2 : 6)] = static_cast<char>(f.decimals);
            d += level7 ? 48 : 32;
        }
        s[hl - 1] = 0x0D;
    }
    for (const std::string& r : t.records) s += r;
    if (t.end_mark) s += '\x1A';
    return s;
}

// A small table of the given version with a field of each type the version
// holds (dBASE II knows C, N and L; memo versions get a memo field) and three
// records, the second marked deleted.
inline Table Sample(uint8_t version) {
    Table t;
    t.version = version;
    if (version == 0x02) {
        t.fields = {{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"PRICE", 'N', 8, 2}, {"OK", 'L', 1}};
        t.records = {Row(t.fields, {"Apple", "12", "1.25", "T"}), Row(t.fields, {"Pear", "-3", "0.50", "F"}, true),
                     Row(t.fields, {"Plum", "7", "1234.56", "Y"})};
        return t;
    }
    t.fields = {{"NAME", 'C', 10}, {"QTY", 'N', 5}, {"PRICE", 'F', 8, 2}, {"WHEN", 'D', 8}, {"OK", 'L', 1}};
    if (version & 0x80) t.fields.push_back({"NOTE", 'M', 10});
    t.records = {Row(t.fields, {"Apple", "12", "1.25", "20240315", "T", "1"}),
                 Row(t.fields, {"Pear", "-3", "0.50", "19991231", "F", ""}, true),
                 Row(t.fields, {"Plum", "7", "1234.56", "", "y", ""})};
    return t;
}

}  // namespace table_fixtures
