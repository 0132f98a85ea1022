#include "tests/engine/peers/peer_support.hpp"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/file.hpp"
#include "platform/numbers.hpp"

namespace peers {

namespace {

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string TrimBlanks(std::string_view s, bool leading) {
    size_t b = 0, e = s.size();
    while (leading && b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return std::string(s.substr(b, e - b));
}

char CanonicalType(char t) { return t == 'G' || t == 'P' || t == 'B' ? 'M' : t; }

uint32_t GetU32Le(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}
uint32_t GetU32Be(const std::string& b, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}
void PutU32Le(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}

// Builds the dump from its parts, unmarked records first.
class DumpBuilder {
public:
    void Version(unsigned v) { head_ = "version\t" + std::to_string(v) + "\n"; }
    void Count(long header, long found) {
        head_ += "count\t" + std::to_string(header) + "\t" + std::to_string(found) + "\n";
    }
    void Field(const std::string& name, char type, int length, int decimals) {
        fields_ += "field\t" + name + "\t" + std::string(1, type) + "\t" + std::to_string(length) + "\t" +
                   std::to_string(decimals) + "\n";
    }
    void Record(bool deleted, const std::vector<std::string>& values) {
        std::string line = std::string("record\t") + (deleted ? '*' : ' ');
        for (const std::string& v : values) line += "\t" + Escape(v);
        (deleted ? deleted_ : live_) += line + "\n";
    }
    std::string Text() const { return head_ + fields_ + live_ + deleted_; }

private:
    std::string head_, fields_, live_, deleted_;
};

// Reads `length` bytes at `at`, fewer at the end of the file.
std::string ReadSome(const platform::File& file, uint64_t at, size_t length) {
    std::string out(length, '\0');
    size_t got = 0;
    if (file.ReadAt(at, std::span(out.data(), out.size()), got) != 0) got = 0;
    out.resize(got);
    return out;
}

std::string EngineValue(const zurod::TWorkArea& a, const zurod::FieldInfo& f, DumpStyle style) {
    switch (f.type) {
    case 'C':
        return platform::AnsiToUtf8(TrimBlanks(zurod::SwapString(a, f), style == DumpStyle::Shapelib));
    case 'D': {
        // The tests run with SET DATE ANSI and the century on: the slot's
        // digits are YYYYMMDD.
        std::string digits(zurod::SwapString(a, f));
        std::erase_if(digits, [](char c) { return c < '0' || c > '9'; });
        return digits;
    }
    case 'N':
    case 'F':
        if (f.decimals > 0) return platform::FormatFixed(zurod::SwapNumber(a, f), f.decimals);
        return std::to_string(zurod::SwapInteger(a, f));
    case 'L': return zurod::SwapLogical(a, f) ? "T" : "F";
    case 'M': {
        // No memo is a blank field, which shapelib reads as an empty text.
        const int32_t block = zurod::SwapMemo(a, f);
        if (block == 0) return "";
        if (style == DumpStyle::Shapelib) return std::to_string(block);
        const std::string disk = ReadMemoText(CurrentMemoPath(), a.Version(), block);
        return a.oem ? platform::OemToUtf8(disk) : platform::AnsiToUtf8(disk);
    }
    default: return "?";
    }
}

}  // namespace

std::string RunPeerScript(const std::vector<std::string>& args, const std::string& scratch_dir) {
    const std::string errors = scratch_dir + "/peer-stderr.txt";
    // -I: nothing from the environment or the user's site directory.
    std::string command = Quoted(PEER_PYTHON) + " -I " + Quoted(PEER_SCRIPT);
    for (const std::string& a : args) command += " " + Quoted(a);
    command += " 2>" + Quoted(errors);
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot start " << command;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != 0) ADD_FAILURE() << "peer failed (" << status << "): " << command << "\n" << ReadFileBytes(errors);
    return out;
}

std::string PeerDump(std::string_view reader, std::string_view encoding, const std::string& table,
                     const std::string& scratch_dir) {
    return RunPeerScript({"dump", std::string(reader), std::string(encoding), table}, scratch_dir);
}

void PythonDbfWrite(const std::string& table, std::string_view dbf_type, int language_driver,
                    std::string_view encoding, const TableData& data, const std::string& scratch_dir) {
    std::string plan = "table\t" + table + "\t" + std::string(dbf_type) + "\t" + std::to_string(language_driver) +
                       "\t" + std::string(encoding) + "\n";
    for (const Column& c : data.columns)
        plan += "field\t" + c.name + "\t" + std::string(1, c.type) + "\t" + std::to_string(c.length) + "\t" +
                std::to_string(c.decimals) + "\n";
    for (const Row& r : data.rows) {
        plan += std::string("record\t") + (r.deleted ? '*' : ' ');
        for (const std::string& v : r.values)
            plan += "\t" + (v == kNull ? std::string(kNull) : Escape(platform::AnsiToUtf8(v)));
        plan += "\n";
    }
    const std::string plan_path = scratch_dir + "/peer-plan.txt";
    std::ofstream(plan_path, std::ios::binary) << plan;
    RunPeerScript({"write", plan_path}, scratch_dir);
}

std::string EngineDump(DumpStyle style) {
    zurod::TWorkArea* a = zurod::CurrentTable();
    if (!a) {
        ADD_FAILURE() << "no table open in the current area";
        return {};
    }
    DumpBuilder dump;
    dump.Version(a->Version());
    for (const zurod::FieldInfo& f : a->fields) dump.Field(f.name, f.type, f.length, f.decimals);
    const int32_t count = zurod::RecCount();
    int32_t found = 0;
    std::vector<std::string> values;
    for (int32_t n = 1; n <= count; ++n) {
        zurod::GO(n);
        if (zurod::LastErrorCode() != 0) {
            ADD_FAILURE() << "GO " << n << ": " << zurod::LastErrorMessage();
            break;
        }
        ++found;
        values.clear();
        for (const zurod::FieldInfo& f : a->fields) values.push_back(EngineValue(*a, f, style));
        dump.Record(zurod::SwapDeleted(*a), values);
    }
    dump.Count(count, found);
    return dump.Text();
}

std::string ShapelibDump(const std::string& path, bool oem) {
    DBFHandle h = DBFOpen(path.c_str(), "rb");
    if (!h) {
        ADD_FAILURE() << "shapelib cannot open " << path;
        return {};
    }
    DumpBuilder dump;
    char version = 0;
    std::ifstream(path, std::ios::binary).get(version);
    dump.Version(static_cast<uint8_t>(version));
    const int fields = DBFGetFieldCount(h);
    std::vector<char> types;
    for (int i = 0; i < fields; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0, decimals = 0;
        DBFGetFieldInfo(h, i, name, &width, &decimals);
        types.push_back(DBFGetNativeFieldType(h, i));
        dump.Field(name, types.back(), width, decimals);
    }
    const int count = DBFGetRecordCount(h);
    std::vector<std::string> values;
    for (int r = 0; r < count; ++r) {
        values.clear();
        for (int i = 0; i < fields; ++i) {
            const char* s = DBFReadStringAttribute(h, r, i);
            std::string v = zurod::AllTrim(s ? s : "");
            if (types[i] == 'C') v = oem ? platform::OemToUtf8(v) : platform::AnsiToUtf8(v);
            values.push_back(std::move(v));
        }
        dump.Record(DBFIsRecordDeleted(h, r) != 0, values);
    }
    dump.Count(count, count);
    DBFClose(h);
    return dump.Text();
}

std::string ExpectedDump(uint8_t version, const TableData& data, std::string_view null_date) {
    DumpBuilder dump;
    dump.Version(version);
    dump.Count(static_cast<long>(data.rows.size()), static_cast<long>(data.rows.size()));
    for (const Column& c : data.columns) dump.Field(c.name, CanonicalType(c.type), c.length, c.decimals);
    std::vector<std::string> values;
    for (const Row& r : data.rows) {
        values.clear();
        for (size_t i = 0; i < data.columns.size(); ++i) {
            const Column& c = data.columns[i];
            const std::string& v = r.values[i];
            if (v != kNull) {
                if (c.type == 'C')
                    values.push_back(platform::AnsiToUtf8(TrimBlanks(v, false)));
                else
                    values.push_back(CanonicalType(c.type) == 'M' ? platform::AnsiToUtf8(v) : v);
                continue;
            }
            // The engine has no nulls: it reads what the peer wrote as blank.
            switch (c.type) {
            case 'N':
            case 'F': values.push_back(c.decimals > 0 ? platform::FormatFixed(0, c.decimals) : "0"); break;
            case 'L': values.push_back("F"); break;
            case 'D': values.emplace_back(null_date); break;
            default: values.emplace_back(); break;
            }
        }
        dump.Record(r.deleted, values);
    }
    return dump.Text();
}

void SetFieldValue(int n, const std::string& value) {
    zurod::TWorkArea& a = *zurod::CurrentTable();
    const zurod::FieldInfo& f = a.fields.at(n - 1);
    switch (f.type) {
    case 'C': zurod::SetSwapString(a, f, value); break;
    case 'D': zurod::SetSwapString(a, f, value.empty() ? std::string() : zurod::StoredToDate(value)); break;
    case 'N':
    case 'F':
        if (f.decimals > 0) {
            double d = 0;
            EXPECT_TRUE(platform::ParseDouble(value, d)) << value;
            zurod::SetSwapNumber(a, f, d);
        } else {
            int64_t i = 0;
            EXPECT_TRUE(platform::ParseInt64(value, i)) << value;
            zurod::SetSwapInteger(a, f, i);
        }
        break;
    case 'L': zurod::SetSwapLogical(a, f, value == "T"); break;
    case 'M':
        zurod::SetSwapMemo(
            a, f, value.empty() ? 0 : StoreDbase4Memo(CurrentMemoPath(), a.oem ? platform::AnsiToOem(value) : value));
        break;
    default: ADD_FAILURE() << "field type " << f.type;
    }
}

void AppendThroughEngine(const Row& row) {
    zurod::ClearRecord();
    for (size_t i = 0; i < row.values.size(); ++i) SetFieldValue(static_cast<int>(i + 1), row.values[i]);
    zurod::Append();
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    if (row.deleted) {
        zurod::DeleteRec();
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    }
}

int32_t StoreDbase4Memo(const std::string& memo_path, std::string_view disk_text) {
    platform::File file;
    if (int rc = file.Open(memo_path, platform::Access::ReadWrite, platform::Share::DenyNone); rc != 0) {
        ADD_FAILURE() << "cannot open " << memo_path << ": " << rc;
        return 0;
    }
    const std::string header = ReadSome(file, 0, 24);
    uint64_t size = 0;
    EXPECT_EQ(file.Size(size), 0);
    EXPECT_EQ(header.size(), 24u);
    if (header.size() < 24) return 0;
    uint32_t block_size = static_cast<uint8_t>(header[20]) | (static_cast<uint8_t>(header[21]) << 8);
    if (block_size == 0) block_size = 512;
    const uint64_t first = (size + block_size - 1) / block_size;

    std::string block(8 + disk_text.size(), '\0');
    block[0] = block[1] = static_cast<char>(0xFF);
    block[2] = 0x08;
    PutU32Le(block.data() + 4, static_cast<uint32_t>(8 + disk_text.size()));
    std::copy(disk_text.begin(), disk_text.end(), block.begin() + 8);
    block.resize((block.size() / block_size + 1) * block_size, '\0');
    // From the end of the old data: the padding of the last block comes first.
    std::string bytes(first * block_size - size, '\0');
    bytes += block;
    EXPECT_EQ(file.WriteAt(size, bytes), 0);
    char next[4];
    PutU32Le(next, static_cast<uint32_t>(first + block.size() / block_size));
    EXPECT_EQ(file.WriteAt(0, std::span<const char>(next, 4)), 0);
    return static_cast<int32_t>(first);
}

std::string ReadMemoText(const std::string& memo_path, uint8_t version, int32_t block) {
    platform::File file;
    if (int rc = file.Open(memo_path, platform::Access::Read, platform::Share::DenyNone); rc != 0) {
        ADD_FAILURE() << "cannot open " << memo_path << ": " << rc;
        return {};
    }
    const std::string header = ReadSome(file, 0, 24);
    if (version == zurod::kFoxProMemo) {
        const uint32_t block_size =
            header.size() >= 8 ? (static_cast<uint8_t>(header[6]) << 8) | static_cast<uint8_t>(header[7]) : 0;
        const std::string head = ReadSome(file, uint64_t{block_size} * block, 8);
        if (head.size() < 8) return "<no memo block " + std::to_string(block) + ">";
        return ReadSome(file, uint64_t{block_size} * block + 8, GetU32Be(head, 4));
    }
    uint32_t block_size = 512;
    if (version != zurod::kDbase3Memo && header.size() >= 22) {
        block_size = static_cast<uint8_t>(header[20]) | (static_cast<uint8_t>(header[21]) << 8);
        if (block_size == 0) block_size = 512;
    }
    const uint64_t at = uint64_t{block_size} * block;
    const std::string head = ReadSome(file, at, 8);
    if (version != zurod::kDbase3Memo && head.size() == 8 && head.compare(0, 4, "\xFF\xFF\x08\x00", 4) == 0)
        return ReadSome(file, at + 8, GetU32Le(head, 4) - 8);
    std::string text;
    for (uint64_t pos = at;; pos += block_size) {
        const std::string part = ReadSome(file, pos, block_size);
        const size_t end = part.find('\x1A');
        text += part.substr(0, end);
        if (end != std::string::npos || part.size() < block_size) return text;
    }
}

std::string CurrentMemoPath() {
    const zurod::TWorkArea* a = zurod::CurrentTable();
    return a ? zurod::ForceExt(a->file_name, zurod::MemoExtension(a->Version())) : std::string();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void ReplaceEveryRecordUnchanged(const std::string& path, bool shared) {
    zurod::USE(path + (shared ? "" : " EXCLUSIVE"));
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    const int32_t count = zurod::RecCount();
    for (int32_t n = 1; n <= count; ++n) {
        zurod::GO(n);
        ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
        if (shared) {
            ASSERT_TRUE(zurod::RLock()) << n;
        }
        zurod::Replace();
        ASSERT_EQ(zurod::LastErrorCode(), 0) << "record " << n << ": " << zurod::LastErrorMessage();
        if (shared) zurod::UnlockRec(n);
    }
    zurod::CloseArea();
    ASSERT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
}

std::string DifferenceOutsideDate(const std::string& before, const std::string& after) {
    const size_t common = std::min(before.size(), after.size());
    for (size_t i = 0; i < common; ++i) {
        if (i >= 1 && i <= 3) continue;
        if (before[i] != after[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "byte %zu was 0x%02X, is 0x%02X", i, static_cast<uint8_t>(before[i]),
                          static_cast<uint8_t>(after[i]));
            return text;
        }
    }
    if (before.size() != after.size())
        return "size was " + std::to_string(before.size()) + ", is " + std::to_string(after.size());
    return {};
}

}  // namespace peers
