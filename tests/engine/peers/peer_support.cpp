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
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/memo.hpp"
#include "platform/codepage.hpp"
#include "platform/file.hpp"
#include "platform/numbers.hpp"
#include "tests/support/files.hpp"

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

std::string EngineValue(const zurod::TWorkArea& a, const zurod::FieldInfo& f, DumpStyle style) {
    switch (f.type) {
    case 'C': return platform::AnsiToUtf8(TrimBlanks(zurod::SwapString(a, f), style == DumpStyle::Shapelib));
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
        const std::string disk = StoredMemo(block);
        return a.oem ? platform::OemToUtf8(disk) : platform::AnsiToUtf8(disk);
    }
    default: return "?";
    }
}

}  // namespace

namespace {

std::string RunCommand(std::string command, const std::vector<std::string>& args, const std::string& scratch_dir) {
    const std::string errors = scratch_dir + "/peer-stderr.txt";
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
    if (status != 0)
        ADD_FAILURE() << "peer failed (" << status << "): " << command << "\n"
                      << testing_support::ReadFileBytes(errors);
    return out;
}

// The plan file the peer scripts write tables from.
std::string WritePlan(const std::string& table, std::string_view dbf_type, int language_driver,
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
    return plan_path;
}

}  // namespace

void PeerTest::SetUp() {
    EngineTest::SetUp();
    zurod::MemoInit();
    zurod::SetDateFormat(1);
    zurod::SetCentury(true);
}

std::string PeerTest::EngineDumpOf(const std::string& path) {
    zurod::USE(path + " EXCLUSIVE");
    EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    const std::string dump = EngineDump();
    zurod::CloseArea();
    return dump;
}

std::string RunPeerScript(const std::vector<std::string>& args, const std::string& scratch_dir) {
    // -I: nothing from the environment or the user's site directory.
    return RunCommand(Quoted(PEER_PYTHON) + " -I " + Quoted(PEER_SCRIPT), args, scratch_dir);
}

std::string PerlDump(std::string_view encoding, const std::string& table, const std::string& scratch_dir) {
    return RunCommand(Quoted(PEER_PERL) + " " + Quoted(PEER_PERL_SCRIPT), {"dump", std::string(encoding), table},
                      scratch_dir);
}

void PerlWrite(const std::string& table, std::string_view dbf_type, std::string_view encoding, const TableData& data,
               const std::string& scratch_dir) {
    const std::string plan = WritePlan(table, dbf_type, 0, encoding, data, scratch_dir);
    RunCommand(Quoted(PEER_PERL) + " " + Quoted(PEER_PERL_SCRIPT), {"write", plan}, scratch_dir);
}

std::string PeerDump(std::string_view reader, std::string_view encoding, const std::string& table,
                     const std::string& scratch_dir) {
    return RunPeerScript({"dump", std::string(reader), std::string(encoding), table}, scratch_dir);
}

void PythonDbfWrite(const std::string& table, std::string_view dbf_type, int language_driver, std::string_view encoding,
                    const TableData& data, const std::string& scratch_dir) {
    RunPeerScript({"write", WritePlan(table, dbf_type, language_driver, encoding, data, scratch_dir)}, scratch_dir);
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
        zurod::SetSwapMemo(a, f, value.empty() ? 0 : zurod::AddMemo(value));
        EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
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

std::string StoredMemo(int32_t block) {
    std::string bytes;
    zurod::CreateBlobDescriptor(false, block, 1);
    char chunk[4096];
    for (int32_t n; (n = zurod::ReadBlobStream(chunk)) > 0;) bytes.append(chunk, static_cast<size_t>(n));
    zurod::DestroyBlobDescriptor();
    EXPECT_EQ(zurod::LastErrorCode(), 0) << zurod::LastErrorMessage();
    return bytes;
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
