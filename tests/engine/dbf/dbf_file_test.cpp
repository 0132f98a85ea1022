#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/tables.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "tests/fuzz/table_fixtures.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"

namespace zurod {
namespace {

namespace fx = table_fixtures;
using testing_support::ChildProcess;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Records a failure as the last error, as a reporting command would with
// error handling off.
void Note(const Status& status) { Record(status); }

unsigned U16(const std::string& s, size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}

uint32_t U32(const std::string& s, size_t at) { return U16(s, at) | static_cast<uint32_t>(U16(s, at + 2)) << 16; }

std::string DateBytes(int year, int month, int day) {
    return {static_cast<char>(year - 1900), static_cast<char>(month), static_cast<char>(day)};
}

// Forgets the last error; failures stay recorded only.
void ClearErrors() {
    ResetErrorState();
    SetErrorHandling(false);
}

constexpr uint8_t kVersions[] = {0x02, 0x03, 0x83, 0x8B, 0xF5, 0x04, 0x8C};

class DbfFileTest : public testing_support::EngineTest {
protected:
    // Writes a generated table dated today (so that a header rewrite changes
    // nothing) and, for memo versions, an empty memo file beside it.
    std::string Fixture(const std::string& name, fx::Table t, bool today = true) {
        if (today) {
            const Today d = GetDate();
            t.year = d.year, t.month = d.month, t.day = d.day;
        }
        const std::string path = dir_ / name;
        WriteFileBytes(path, fx::Build(t));
        if (t.version != 0x02 && (t.version & 0x80)) {
            Note(MakeMemoFile(ForceExtension(path, MemoExtension(t.version)), t.version, 512, "test"));
            EXPECT_EQ(LastErrorCode(), 0);
        }
        return path;
    }

    static std::string ForceExtension(const std::string& path, const std::string& ext) {
        return path.substr(0, path.rfind('.')) + "." + ext;
    }

    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Opens a table directly with a swap buffer of its own.
    static void Open(TWorkArea& a, const std::string& path, bool exclusive = false) {
        a.file_name = path;
        a.exclusive = exclusive;
        Note(OpenDbf(a));
        a.owned_swap.assign(SwapBufferSize(a), 0);
        a.swap = a.owned_swap;
    }

    static const FieldInfo& F(const char* name) {
        const TWorkArea* a = CurrentTable();
        return a->fields.at(FieldNo(name) - 1);
    }
    static std::string Str(const char* name) { return std::string(SwapString(*CurrentTable(), F(name))); }
    static int64_t Int(const char* name) { return SwapInteger(*CurrentTable(), F(name)); }
    static double Num(const char* name) { return SwapNumber(*CurrentTable(), F(name)); }
    static bool Logical(const char* name) { return SwapLogical(*CurrentTable(), F(name)); }
};

// --- new tables ---

TEST_F(DbfFileTest, NewTableHasExactlyTheHeaderDescriptorsAndEndMark) {
    std::vector<FieldDef> defs = {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}};
    const Today d = GetDate();
    CreateDbf(dir_ / "ledger", defs);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    ASSERT_EQ(Listing(), std::vector<std::string>{"ledger.dbf"});

    const std::string bytes = ReadFileBytes(dir_ / "ledger.dbf");
    ASSERT_EQ(bytes.size(), 32u + 4 * 32 + 1 + 1);
    EXPECT_EQ(bytes[0], 0x03);
    EXPECT_EQ(bytes.substr(1, 3), DateBytes(d.year, d.month, d.day));
    EXPECT_EQ(U32(bytes, 4), 0u);
    EXPECT_EQ(U16(bytes, 8), 161u);
    EXPECT_EQ(U16(bytes, 10), 42u);
    EXPECT_EQ(bytes[160], 0x0D);
    EXPECT_EQ(bytes[161], 0x1A);

    std::string expected(162, '\0');
    expected[0] = 0x03;
    expected.replace(1, 3, DateBytes(d.year, d.month, d.day));
    expected[8] = static_cast<char>(161), expected[10] = 42;
    const std::string descriptors[] = {
        std::string("NAME\0\0\0\0\0\0\0C\0\0\0\0\x14\0", 18),
        std::string("AMOUNT\0\0\0\0\0N\0\0\0\0\x0C\x02", 18),
        std::string("WHEN\0\0\0\0\0\0\0D\0\0\0\0\x08\0", 18),
        std::string("OK\0\0\0\0\0\0\0\0\0L\0\0\0\0\x01\0", 18),
    };
    for (size_t i = 0; i < 4; ++i) expected.replace(32 * (i + 1), 18, descriptors[i]);
    expected[160] = 0x0D, expected[161] = 0x1A;
    EXPECT_EQ(bytes, expected);
}

TEST_F(DbfFileTest, MemoFieldMakesVersion8BAndAnEmptyDbaseIVMemoFile) {
    std::vector<FieldDef> defs = {
        {"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}, {"NOTE", 'M', 4, 2}};
    CreateDbf(dir_ / "ledger", defs);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Listing(), (std::vector<std::string>{"ledger.dbf", "ledger.dbt"}));
    EXPECT_EQ(defs[4].length, 10);
    EXPECT_EQ(defs[4].decimals, 0);

    const std::string bytes = ReadFileBytes(dir_ / "ledger.dbf");
    ASSERT_EQ(bytes.size(), 32u + 5 * 32 + 1 + 1);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x8B);
    EXPECT_EQ(U16(bytes, 8), 193u);
    EXPECT_EQ(U16(bytes, 10), 52u);
    EXPECT_EQ(bytes.substr(160, 18), std::string("NOTE\0\0\0\0\0\0\0M\0\0\0\0\x0A\0", 18));
    EXPECT_EQ(bytes.substr(192), "\x0D\x1A");

    const std::string memo = ReadFileBytes(dir_ / "ledger.dbt");
    EXPECT_EQ(memo, std::string("\x01\0\0\0\0\0\0\0ledger\0\0\0\0\x02\x01\x00\x02\0\0", 24));
}

TEST_F(DbfFileTest, DefinitionsAreNormalisedInPlace) {
    std::vector<FieldDef> defs = {{"  when ", 'd', 4, 3},
                                  {"flag", 'l', 5, 1},
                                  {"Description1", 'c', 30, 2},
                                  {"PIC", 'g', 1, 0},
                                  {"rate", 'f', 9, 4}};
    CreateDbf(dir_ / "norm.dbf", defs);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(defs[0].name, "WHEN");
    EXPECT_EQ(defs[0].type, 'D');
    EXPECT_EQ(defs[0].length, 8);
    EXPECT_EQ(defs[1].length, 1);
    EXPECT_EQ(defs[2].name, "DESCRIPTIO");
    EXPECT_EQ(defs[2].decimals, 0);
    EXPECT_EQ(defs[3].length, 10);  // a G field is a memo

    TWorkArea a;
    Open(a, dir_ / "norm.dbf");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(a.Version(), kDbase4Memo);
    ASSERT_EQ(a.field_count, 5);
    EXPECT_EQ(a.fields[3].type, 'M');
    EXPECT_EQ(a.fields[4].type, 'F');
    EXPECT_EQ(a.fields[4].decimals, 4);
    EXPECT_EQ(a.record_length, 1 + 8 + 1 + 30 + 10 + 9);
    EXPECT_EQ(a.fields[2].offset, 10);
    EXPECT_EQ(a.rec_count, 0);
    EXPECT_TRUE(a.eof && a.bof);
}

TEST_F(DbfFileTest, BadDefinitionsAreRefusedWithoutLeavingAFile) {
    const std::vector<std::vector<FieldDef>> bad = {
        {},
        std::vector<FieldDef>(256, FieldDef{"X", 'C', 1, 0}),
        {{"NAME", 'C', 0, 0}},
        {{"NAME", 'C', 256, 0}},
        {{"AMOUNT", 'N', 0, 0}},
        {{"AMOUNT", 'N', 3, 2}},
        {{"AMOUNT", 'N', 5, 5}},
        {{"RATE", 'F', 4, 3}},
        {{"AMOUNT", 'N', 5, -1}},
        {{"NAME", 'C', 5, 0}, {" name", 'N', 5, 0}},
        {{"ABCDEFGHIJ1", 'C', 5, 0}, {"ABCDEFGHIJ2", 'C', 5, 0}},
        {{"   ", 'C', 5, 0}},
        {{"NAME", 'X', 5, 0}},
        {{"NAME", 'C', 5, 0}, {"COUNT", 'I', 4, 0}},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<FieldDef> defs = bad[i];
        CreateDbf(dir_ / "bad", defs);
        EXPECT_EQ(LastErrorCode(), 211);
        EXPECT_EQ(LastErrorMessage(), "Invalid dBASE field definition [CreateDBF]");
        EXPECT_TRUE(Listing().empty());
    }

    // A file that cannot be made is reported with its name.
    std::vector<FieldDef> good = {{"NAME", 'C', 5, 0}};
    CreateDbf(dir_ / "missing/table", good);
    EXPECT_EQ(LastErrorCode(), 3);
    EXPECT_EQ(LastErrorMessage(), "Error writing " + (dir_ / "missing/table") + ". [CreateDbf]");

    // Nor is a table of the same name touched.
    CreateDbf(dir_ / "keep", good);
    const std::string before = ReadFileBytes(dir_ / "keep.dbf");
    std::vector<FieldDef> defs = {{"NAME", 'C', 0, 0}};
    CreateDbf(dir_ / "keep", defs);
    EXPECT_EQ(LastErrorCode(), 211);
    EXPECT_EQ(ReadFileBytes(dir_ / "keep.dbf"), before);
}

TEST_F(DbfFileTest, WidestDefinitionsAreAccepted) {
    std::vector<FieldDef> defs;
    for (int i = 0; i < 255; ++i) defs.push_back({"F" + std::to_string(i), 'C', 255, 0});
    CreateDbf(dir_ / "wide", defs);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    TWorkArea a;
    Open(a, dir_ / "wide.dbf");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(a.field_count, 255);
    EXPECT_EQ(a.record_length, 1 + 255 * 255);
    EXPECT_EQ(a.header_length, 32 * 255 + 33);
}

TEST_F(DbfFileTest, MemoFilesOfEachKind) {
    EXPECT_EQ(MemoExtension(kFoxProMemo), "FPT");
    for (uint8_t v : {kDbase2, kDbase3, kDbase3Memo, kDbase4Memo, kLevel7, kLevel7Memo})
        EXPECT_EQ(MemoExtension(v), "DBT");
    EXPECT_EQ(MemoExtension(0x30), "DBT");
    Settings().new_table_version = kFoxProMemo;
    EXPECT_EQ(MemoExtension(0x30), "FPT");

    Note(MakeMemoFile(dir_ / "three", kDbase3Memo, 512, "test"));
    const std::string three = ReadFileBytes(dir_ / "three.dbt");
    ASSERT_EQ(three.size(), 513u);
    EXPECT_EQ(three[0], 1);
    EXPECT_EQ(three.substr(1, 511), std::string(511, '\0'));
    EXPECT_EQ(three[512], 0x1A);

    Note(MakeMemoFile(dir_ / "fox", kFoxProMemo, 64, "test"));
    const std::string fox = ReadFileBytes(dir_ / "fox.fpt");
    ASSERT_EQ(fox.size(), 512u);
    EXPECT_EQ(fox.substr(0, 8), std::string("\0\0\0\x08\0\0\0\x40", 8));  // 511 div 64 + 1, big-endian
    EXPECT_EQ(fox.substr(8), std::string(504, '\0'));

    Note(MakeMemoFile(dir_ / "averylongname", kDbase4Memo, 1024, "test"));
    EXPECT_EQ(ReadFileBytes(dir_ / "averylongname.dbt"),
              std::string("\x01\0\0\0\0\0\0\0averylon\0\0\x02\x01\x00\x04\0\0", 24));

    Note(MakeMemoFile(dir_ / "missing/dir/memo", kDbase4Memo, 512, "Caller()"));
    EXPECT_NE(LastErrorCode(), 0);
    EXPECT_EQ(LastErrorMessage(), "Cannot create memo file " + (dir_ / "missing/dir/memo.DBT") + " [Caller()]");
}

// --- reading every version ---

class VersionTest : public DbfFileTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(VersionTest, HeaderAndDescriptorsAreDecoded) {
    const uint8_t v = GetParam();
    fx::Table t = fx::Sample(v);
    t.year = 2023, t.month = 7, t.day = 9;
    const std::string path = Fixture("sample.dbf", t, false);
    const std::string before = ReadFileBytes(path);

    TWorkArea a;
    Open(a, path);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(a.Version(), v);
    EXPECT_EQ(IsDbase2(a), v == 0x02);
    EXPECT_EQ(IsLevel7(a), v == 0x04 || v == 0x8C);
    EXPECT_EQ(a.memo, v != 0x02 && (v & 0x80) != 0);
    EXPECT_EQ(a.header_length, fx::HeaderLength(t));
    EXPECT_EQ(a.record_length, fx::RecordLength(t.fields));
    EXPECT_EQ(a.rec_count, 3);
    EXPECT_EQ(a.rec_no, 1);
    EXPECT_FALSE(a.eof || a.bof);
    EXPECT_EQ(a.last_update, "20230709");
    EXPECT_EQ(a.header_state, HeaderState::Clean);
    ASSERT_EQ(a.field_count, t.fields.size());
    uint16_t offset = 1;
    for (size_t i = 0; i < t.fields.size(); ++i) {
        EXPECT_EQ(a.fields[i].name, t.fields[i].name);
        EXPECT_EQ(a.fields[i].type, t.fields[i].type);
        EXPECT_EQ(a.fields[i].length, t.fields[i].length);
        EXPECT_EQ(a.fields[i].decimals, t.fields[i].decimals);
        EXPECT_EQ(a.fields[i].offset, offset);
        offset += t.fields[i].length;
    }
    Note(GetDbfRecord(a, 2));
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(std::string(a.record.begin(), a.record.end()), t.records[1]);
    Note(CloseDbf(a));
    EXPECT_EQ(ReadFileBytes(path), before);  // reading writes nothing
}

TEST_P(VersionTest, RecordsReadAndWriteThroughTheEngine) {
    const uint8_t v = GetParam();
    const fx::Table t = fx::Sample(v);
    const std::string path = Fixture("sample.dbf", t);
    const std::string before = ReadFileBytes(path);
    const uint16_t hl = fx::HeaderLength(t), rl = fx::RecordLength(t.fields);
    SetDateFormat(0);
    SetCentury(true);

    for (const char* mode : {"", " EXCLUSIVE"}) {
        SCOPED_TRACE(mode);
        WriteFileBytes(path, before);
        USE(path + mode);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(Str("NAME"), "Apple     ");
        EXPECT_EQ(Int("QTY"), 12);
        EXPECT_DOUBLE_EQ(Num("PRICE"), 1.25);
        EXPECT_TRUE(Logical("OK"));
        if (v != 0x02) {
            EXPECT_EQ(Str("WHEN"), "03/15/2024");
        }
        EXPECT_FALSE(Deleted());
        SKIP();
        EXPECT_TRUE(Deleted());
        EXPECT_EQ(Int("QTY"), -3);
        EXPECT_FALSE(Logical("OK"));
        SKIP();
        EXPECT_DOUBLE_EQ(Num("PRICE"), 1234.56);
        EXPECT_TRUE(Logical("OK"));
        if (v != 0x02) {
            EXPECT_EQ(Str("WHEN"), "  /  /    ");
        }
        SKIP();
        EXPECT_TRUE(dEOF());
        SKIP(-1);
        EXPECT_EQ(RecNo(), 3);

        // Change record 1 and append a fourth.
        GO(1);
        if (!*mode) {
            ASSERT_TRUE(RLock());
        }
        SetSwapInteger(*CurrentTable(), F("QTY"), 99);
        Replace();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        Unlock();
        ClearRecord();
        SetSwapString(*CurrentTable(), F("NAME"), "Fig");
        SetSwapInteger(*CurrentTable(), F("QTY"), 4);
        SetSwapNumber(*CurrentTable(), F("PRICE"), 0.5);
        SetSwapLogical(*CurrentTable(), F("OK"), true);
        if (!*mode) {
            ASSERT_TRUE(ALock());
        }
        Append();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(RecCount(), 4);
        CloseArea();
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();

        const std::string after = ReadFileBytes(path);
        ASSERT_EQ(after.size(), hl + 4u * rl + 1);
        EXPECT_EQ(after.back(), 0x1A);
        const Today d = GetDate();
        if (v == 0x02) {
            EXPECT_EQ(U16(after, 1), 4u);
            EXPECT_EQ(
                after.substr(3, 3),
                std::string({static_cast<char>(d.month), static_cast<char>(d.day), static_cast<char>(d.year - 1900)}));
            EXPECT_EQ(after.substr(6, hl - 6), before.substr(6, hl - 6));
        } else {
            EXPECT_EQ(after.substr(1, 3), DateBytes(d.year, d.month, d.day));
            EXPECT_EQ(U32(after, 4), 4u);
            EXPECT_EQ(after.substr(8, hl - 8), before.substr(8, hl - 8));
        }
        std::string first = t.records[0];
        first.replace(11, 5, "   99");
        EXPECT_EQ(after.substr(hl, rl), first);
        EXPECT_EQ(after.substr(hl + rl, 2 * rl), before.substr(hl + rl, 2 * rl));
        EXPECT_EQ(after.substr(hl + 3 * rl, 24), " Fig           4    0.50");

        USE(path + mode);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(RecCount(), 4);
        GoBottom();
        EXPECT_EQ(Str("NAME"), "Fig       ");
        EXPECT_TRUE(Logical("OK"));
        CloseArea();
    }
}

std::string VersionName(const ::testing::TestParamInfo<uint8_t>& info) {
    const char* names[] = {"Dbase2", "Dbase3", "Dbase3Memo", "Dbase4Memo", "FoxProMemo", "Level7", "Level7Memo"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, VersionTest, ::testing::ValuesIn(kVersions), VersionName);

TEST_F(DbfFileTest, DescriptorVariantsAreRead) {
    fx::Table t;
    t.version = kDbase4Memo;
    // Lower-case letters, blank-padded names, picture and binary types as
    // memos, and a name of 11 bytes with no terminating zero.
    t.fields = {{" name  ", 'c', 5}, {"PIC", 'G', 10}, {"BIN", 'b', 10}, {"OLE", 'P', 10}, {"ABCDEFGHIJK", 'n', 3}};
    t.records = {fx::Row(t.fields, {"x", "1", "2", "3", "4"})};
    const std::string path = Fixture("variants.dbf", t);
    TWorkArea a;
    Open(a, path);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    ASSERT_EQ(a.field_count, 5);
    EXPECT_EQ(a.fields[0].name, "NAME");
    EXPECT_EQ(a.fields[0].type, 'C');
    EXPECT_EQ(a.fields[1].type, 'M');
    EXPECT_EQ(a.fields[2].type, 'M');
    EXPECT_EQ(a.fields[3].type, 'M');
    EXPECT_EQ(a.fields[4].name, "ABCDEFGHIJ");
    EXPECT_EQ(a.fields[4].type, 'N');
    EXPECT_TRUE(a.memo);

    // The descriptor list may end before the header length says.
    fx::Table early = fx::Sample(kDbase3);
    std::string bytes = fx::Build(early);
    bytes[32 * 3] = 0x0D;  // after two fields
    WriteFileBytes(dir_ / "early.dbf", bytes);
    TWorkArea b;
    Open(b, dir_ / "early.dbf");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(b.field_count, 2);
    EXPECT_EQ(b.header_length, fx::HeaderLength(early));
}

// --- headers that are refused ---

struct BadHeader {
    const char* what;
    uint16_t code;
    const char* reason;
    std::string (*make)();
};

std::string Sample3() { return fx::Build(fx::Sample(kDbase3)); }
std::string WithU16(std::string s, size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
    return s;
}

const BadHeader kBadHeaders[] = {
    {"empty", 210, "(Prolog is less than 32 bytes) [USE/OpenDBF]", [] { return std::string(); }},
    {"31 bytes", 210, "(Prolog is less than 32 bytes)", [] { return Sample3().substr(0, 31); }},
    {"version 0x30", 210, "(Invalid version byte)+ [USE/OpenDBF]", [] { return "\x30" + Sample3().substr(1); }},
    {"version 0x00", 210, "(Invalid version byte)", [] { return std::string(1, '\0') + Sample3().substr(1); }},
    {"record length 0", 210, "Record length", [] { return WithU16(Sample3(), 10, 0); }},
    {"record length below its fields", 210, "Record length",
     [] { return WithU16(Sample3(), 10, fx::RecordLength(fx::Sample(kDbase3).fields) - 1); }},
    {"header length past the file", 210, "shorter than its header",
     [] { return WithU16(Sample3(), 8, static_cast<unsigned>(Sample3().size() + 1)); }},
    {"cut inside the descriptors", 210, "shorter than its header", [] { return Sample3().substr(0, 100); }},
    {"header length below the prolog", 210, "(Number of fields is out of range) [Use/OpenDbf]",
     [] { return WithU16(Sample3(), 8, 20); }},
    {"header length without a descriptor", 210, "Number of fields is out of range",
     [] { return WithU16(Sample3(), 8, 33); }},
    {"256 fields", 210, "Number of fields is out of range",
     [] {
         std::string s = WithU16(Sample3(), 8, 32 + 256 * 32 + 1);
         s.resize(32 + 256 * 32 + 1 + 100, ' ');
         return s;
     }},
    {"level 7 header length below its block", 210, "Number of fields is out of range",
     [] { return WithU16(fx::Build(fx::Sample(kLevel7)), 8, 60); }},
    {"dBASE II shorter than its header", 210, "(Header is less than 521 bytes) [Use/OpenDBF]",
     [] { return fx::Build(fx::Sample(kDbase2)).substr(0, 520); }},
    {"dBASE II without fields", 210, "(Number of fields is out of range) [Use/OpenDbf]",
     [] {
         std::string s = fx::Build(fx::Sample(kDbase2));
         s[8] = 0x0D;
         return s;
     }},
    {"dBASE II record length 0", 210, "Record length", [] { return WithU16(fx::Build(fx::Sample(kDbase2)), 6, 0); }},
    {"dBASE II record length below its fields", 210, "Record length",
     [] { return WithU16(fx::Build(fx::Sample(kDbase2)), 6, 10); }},
    {"unknown field type", 211, "Error reading ",
     [] {
         std::string s = Sample3();
         s[32 + 11] = 'X';
         return s;
     }},
    {"no descriptor before the end mark", 222, "Error reading ",
     [] {
         std::string s = Sample3();
         s[32] = 0x0D;
         return s;
     }},
};

TEST_F(DbfFileTest, UntrustworthyHeadersAreRefusedAndLeaveTheAreaClosed) {
    for (const BadHeader& bad : kBadHeaders) {
        SCOPED_TRACE(bad.what);
        const std::string path = dir_ / "bad.dbf";
        const std::string bytes = bad.make();
        WriteFileBytes(path, bytes);
        ClearErrors();
        TWorkArea a;
        a.file_name = path;
        Note(OpenDbf(a));
        EXPECT_EQ(LastErrorCode(), bad.code);
        EXPECT_NE(LastErrorMessage().find(bad.reason), std::string::npos) << LastErrorMessage();
        EXPECT_FALSE(a.file.IsOpen());
        EXPECT_TRUE(a.fields.empty());
        EXPECT_TRUE(a.record.empty());
        EXPECT_EQ(a.header_state, HeaderState::Closed);

        USE(path);
        EXPECT_EQ(LastErrorCode(), bad.code);
        EXPECT_EQ(CurrentTable(), nullptr);
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
}

TEST_F(DbfFileTest, RefusalsNameTheFile) {
    const std::string path = dir_ / "bad.dbf";
    WriteFileBytes(path, "\x30" + Sample3().substr(1));
    TWorkArea a;
    a.file_name = dir_ / "bad";
    Note(OpenDbf(a));
    EXPECT_EQ(LastErrorMessage(), path + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");

    std::string s = Sample3();
    s[32 + 11] = 'X';
    WriteFileBytes(path, s);
    a.file_name = path;
    Note(OpenDbf(a));
    EXPECT_EQ(LastErrorCode(), 211);
    EXPECT_EQ(LastErrorMessage(), "Error reading " + path + " [Use/OpenDbf]");

    a.file_name = dir_ / "absent";
    Note(OpenDbf(a));
    EXPECT_EQ(LastErrorCode(), 2);
    EXPECT_EQ(LastErrorMessage(), "Failure to open " + (dir_ / "absent.DBF") + " [USE/OpenDbf]");
}

// --- records ---

TEST_F(DbfFileTest, RecordNumbersOutsideTheTable) {
    const std::string path = Fixture("t.dbf", fx::Sample(kDbase3));
    const std::string before = ReadFileBytes(path);
    TWorkArea a;
    Open(a, path);
    for (int32_t n : {0, -1, 4}) {
        Note(GetDbfRecord(a, n));
        EXPECT_EQ(LastErrorCode(), 212);
        EXPECT_EQ(LastErrorMessage(),
                  "Invalid record number = " + std::to_string(n) + " (" + path + ")  [GetDbfRecord]");
    }
    for (int32_t n : {0, -7}) {
        ClearErrors();
        Note(PutDbfRecord(a, n));
        EXPECT_EQ(LastErrorCode(), 212);
        EXPECT_EQ(LastErrorMessage(),
                  "Invalid record number = " + std::to_string(n) + " (" + path + ") [Replace/Append/PutDbfRecord]");
        Note(WriteDeleteMark(a, n));
    }
    Note(CloseDbf(a));
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(DbfFileTest, WritingPastTheEndAppendsTheNextRecord) {
    const fx::Table t = fx::Sample(kDbase3);
    const std::string path = Fixture("t.dbf", t);
    const uint16_t hl = fx::HeaderLength(t), rl = fx::RecordLength(t.fields);
    TWorkArea a;
    Open(a, path);
    const std::string record = fx::Row(t.fields, {"Quince", "5", "2.00", "20240101", "F"});
    std::copy(record.begin(), record.end(), a.record.begin());
    Note(PutDbfRecord(a, a.rec_count + 5));
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(a.rec_count, 4);
    EXPECT_EQ(a.rec_no, 4);
    EXPECT_EQ(a.header_state, HeaderState::Appended);
    Note(CloseDbf(a));

    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), hl + 4u * rl + 1);
    EXPECT_EQ(after.substr(hl + 3 * rl, rl), record);
    EXPECT_EQ(after.back(), 0x1A);
}

TEST_F(DbfFileTest, ImpossibleRecordCountsNeitherOverflowNorGrowTheFile) {
    std::string bytes = fx::Build(fx::Sample(kDbase3));
    bytes.replace(4, 4, "\xFF\xFF\xFF\xFF");
    const std::string path = dir_ / "huge.dbf";
    WriteFileBytes(path, bytes);
    TWorkArea a;
    Open(a, path);
    ASSERT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(a.rec_count, INT32_MAX - 1);
    Note(GetDbfRecord(a, a.rec_count));
    EXPECT_EQ(LastErrorCode(), 213);
    ClearErrors();
    Note(AppendDbfRecord(a));
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(LastErrorMessage(), "Too many records in " + path + " [Replace/Append/PutDbfRecord]");
    Note(CloseDbf(a));
    EXPECT_EQ(ReadFileBytes(path), bytes);

    // A dBASE II header counts to 65535 only.
    bytes = fx::Build(fx::Sample(kDbase2));
    bytes[1] = bytes[2] = '\xFF';
    WriteFileBytes(path, bytes);
    ClearErrors();
    Open(a, path);
    EXPECT_EQ(a.rec_count, 65535);
    Note(AppendDbfRecord(a));
    EXPECT_EQ(LastErrorCode(), 212);
    Note(CloseDbf(a));
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(DbfFileTest, EndMarkOnlyAfterAppending) {
    fx::Table t = fx::Sample(kDbase3);
    t.end_mark = false;
    const std::string path = Fixture("t.dbf", t);
    const std::string before = ReadFileBytes(path);
    const uint16_t hl = fx::HeaderLength(t), rl = fx::RecordLength(t.fields);

    // Replacing rewrites the header but neither count nor end mark.
    TWorkArea a;
    Open(a, path);
    Note(GetDbfRecord(a, 2));
    a.record[1] = 'B';
    Note(PutDbfRecord(a, 2));
    EXPECT_EQ(a.header_state, HeaderState::Changed);
    Note(CloseDbf(a));
    std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(U32(after, 4), 3u);
    EXPECT_EQ(after[hl + rl + 1], 'B');

    // Appending puts the end mark exactly behind the last record.
    Open(a, path);
    Note(PutDbfRecord(a, 4));
    Note(CloseDbf(a));
    after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), hl + 4u * rl + 1);
    EXPECT_EQ(after.back(), 0x1A);
    EXPECT_EQ(U32(after, 4), 4u);
    EXPECT_EQ(a.header_state, HeaderState::Closed);
}

TEST_F(DbfFileTest, FlushWritesPendingHeaderAndEndMark) {
    fx::Table t = fx::Sample(kDbase3);
    t.end_mark = false;
    const std::string path = Fixture("t.dbf", t);
    const uint16_t hl = fx::HeaderLength(t), rl = fx::RecordLength(t.fields);
    TWorkArea a;
    Open(a, path);
    Note(FlushDbfHeader(a));  // clean: nothing to write
    EXPECT_EQ(ReadFileBytes(path).size(), hl + 3u * rl);

    Note(GetDbfRecord(a, 1));
    Note(PutDbfRecord(a, 4));
    Note(PutDbfRecord(a, 5));
    Note(FlushDbfHeader(a));
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(a.header_state, HeaderState::Clean);
    const std::string after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), hl + 5u * rl + 1);
    EXPECT_EQ(U32(after, 4), 5u);
    EXPECT_EQ(after.back(), 0x1A);
    EXPECT_EQ(after.substr(hl + 4 * rl, rl), t.records[0]);
}

TEST_F(DbfFileTest, HeaderRewriteKeepsBytesOthersChangedOnDisk) {
    fx::Table t = fx::Sample(kDbase3);
    t.year = 1999, t.month = 12, t.day = 31;
    const std::string path = Fixture("t.dbf", t, false);
    TWorkArea a;
    Open(a, path);
    {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(16);
        f.write("ABCDEFGHIJKL", 12);
    }
    Note(GetDbfRecord(a, 1));
    Note(PutDbfRecord(a, 1));
    Note(CloseDbf(a));
    const std::string after = ReadFileBytes(path);
    const Today d = GetDate();
    EXPECT_EQ(after.substr(1, 3), DateBytes(d.year, d.month, d.day));
    EXPECT_EQ(after.substr(16, 12), "ABCDEFGHIJKL");
}

TEST_F(DbfFileTest, RecordsMissingFromTheFileAreReported) {
    fx::Table t = fx::Sample(kDbase3);
    std::string bytes = fx::Build(t);
    bytes[4] = 6;  // three records more than the file holds
    const std::string path = dir_ / "short.dbf";
    WriteFileBytes(path, bytes.substr(0, bytes.size() - 1 - fx::RecordLength(t.fields) / 2));
    for (bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive);
        ClearErrors();
        TWorkArea a;
        Open(a, path, exclusive);
        ASSERT_EQ(LastErrorCode(), 0);
        EXPECT_EQ(a.rec_count, 6);
        Note(GetDbfRecord(a, 2));
        EXPECT_EQ(LastErrorCode(), 0);
        for (int32_t n : {3, 4, 6}) {
            Note(GetDbfRecord(a, n));
            EXPECT_EQ(LastErrorCode(), 213);
            EXPECT_EQ(LastErrorMessage(), "File:  " + path + "  [GetDbfRecord]");
        }
    }

    Settings().count_from_size = true;
    TWorkArea a;
    Open(a, path);
    EXPECT_EQ(a.rec_count, 2);
}

TEST_F(DbfFileTest, ExclusiveReadAheadFollowsWalksAndWrites) {
    fx::Table t;
    t.fields = {{"N", 'N', 6}, {"TAG", 'C', 3}};
    for (int i = 1; i <= 15000; ++i) t.records.push_back(fx::Row(t.fields, {std::to_string(i), "old"}));
    const std::string path = Fixture("big.dbf", t);

    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0);
    int64_t expected = 1;
    for (GoTop(); !dEOF(); SKIP()) ASSERT_EQ(Int("N"), expected++);
    EXPECT_EQ(expected, 15001);
    for (GoBottom(); !dBOF(); SKIP(-1)) ASSERT_EQ(Int("N"), --expected);
    EXPECT_EQ(expected, 1);

    GO(4000);
    SetSwapString(*CurrentTable(), F("TAG"), "new");
    Replace();
    DeleteRec();
    GO(3999);
    SKIP();
    EXPECT_EQ(Str("TAG"), "new");
    EXPECT_TRUE(Deleted());
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path).substr(fx::HeaderLength(t) + 3999 * 10, 10), "*  4000new");
}

TEST_F(DbfFileTest, DeleteMarkIsTheOnlyByteWritten) {
    const fx::Table t = fx::Sample(kDbase3);
    const std::string path = Fixture("t.dbf", t);
    const std::string before = ReadFileBytes(path);
    const uint16_t hl = fx::HeaderLength(t);
    TWorkArea a;
    Open(a, path);
    Note(GetDbfRecord(a, 1));
    std::fill(a.record.begin(), a.record.end(), 'Z');
    a.record[0] = '*';
    Note(WriteDeleteMark(a, 1));
    EXPECT_EQ(a.header_state, HeaderState::Changed);
    Note(CloseDbf(a));
    std::string expected = before;
    expected[hl] = '*';
    EXPECT_EQ(ReadFileBytes(path), expected);
}

// --- code pages and hooks ---

TEST_F(DbfFileTest, OemTablesStoreOemAndHoldAnsi) {
    const std::string path = CreateTable("oem", {{"NAME", 'C', 10, 0}});
    const std::string ansi = "M\xFCller \xE4\x80";  // Müller ä €
    USE(path);
    ASSERT_TRUE(ALock());
    SetSwapString(*CurrentTable(), F("NAME"), ansi);
    Append();
    Unlock();
    ASSERT_TRUE(RLock());
    DeleteRec();
    CloseArea();
    const std::string bytes = ReadFileBytes(path + ".dbf");
    EXPECT_EQ(bytes.substr(32 + 32 + 1, 11), "*M\x81ller \x84\xD5 ");

    USE(path);
    EXPECT_EQ(Str("NAME"), ansi + " ");
    EXPECT_TRUE(Deleted());
    CloseArea();

    Settings().ansi = true;
    const std::string plain = CreateTable("plain", {{"NAME", 'C', 10, 0}});
    USE(plain + " EXCLUSIVE");
    SetSwapString(*CurrentTable(), F("NAME"), ansi);
    Append();
    CloseArea();
    EXPECT_EQ(ReadFileBytes(plain + ".dbf").substr(65, 11), " " + ansi + " ");
}

// A table that holds every byte value in its text and the kinds of field
// contents other programs write: numbers formatted their way, dates outside
// any century window, odd logical letters, blank and garbage fields.
fx::Table Awkward() {
    fx::Table t;
    t.fields = {{"TEXT", 'C', 64}, {"WHOLE", 'N', 6}, {"AMOUNT", 'N', 9, 2}, {"RATE", 'F', 7, 3},
                {"WHEN", 'D', 8},  {"OK", 'L', 1},    {"NOTE", 'M', 10}};
    const std::vector<std::vector<std::string_view>> values = {
        {"", "12", "1.5", ".5", "18991231", "y", "12"},     {"", "+7", "-0.00", "1e2", "        ", "?", "  0012"},
        {"", "0012", "12.345", "abc", "20991301", " ", ""}, {"", "-0", "   ", "-1.", "2024  15", "t", "x"},
        {"", " 1 2", "1,50", "nan", "00000000", "N", "-3"},
    };
    for (size_t r = 0; r < values.size(); ++r) {
        std::string rec = fx::Row(t.fields, values[r], r == 1 || r == 3);
        for (int i = 0; i < 64; ++i) rec[1 + i] = static_cast<char>(r * 64 + i + 1 > 255 ? 'x' : r * 64 + i + 1);
        t.records.push_back(rec);
    }
    // Left-aligned and unpadded numbers.
    t.records[0].replace(71, 9, "1.5      ");
    return t;
}

TEST_F(DbfFileTest, EveryPathWritesBackWhatItRead) {
    for (bool ansi : {false, true}) {
        SCOPED_TRACE(ansi);
        Settings().ansi = ansi;
        const fx::Table t = Awkward();
        const std::string path = Fixture("awkward.dbf", t);
        const std::string before = ReadFileBytes(path);

        // USE, shared and exclusive: every record replaced as it was read.
        for (const char* mode : {"", " EXCLUSIVE"}) {
            USE(path + mode);
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            for (GoTop(); !dEOF(); SKIP()) {
                ASSERT_TRUE(RLock());
                Replace();
                ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
                if (Deleted())
                    DeleteRec();
                else
                    RecallRec();
                Unlock();
            }
            FlushDbf();
            CloseArea();
            EXPECT_EQ(ReadFileBytes(path), before) << mode;
        }

        // The record routines themselves, with the swap buffer in between.
        TWorkArea a;
        Open(a, path);
        a.oem = !ansi;
        for (int32_t n = 1; n <= a.rec_count; ++n) {
            Note(GetDbfRecord(a, n));
            RecordToBuffer(a);
            ASSERT_TRUE(BufferToRecord(a).ok());
            Note(PutDbfRecord(a, n));
            Note(WriteDeleteMark(a, n));
        }
        Note(CloseDbf(a));
        EXPECT_EQ(ReadFileBytes(path), before);

        // Pack with nothing to remove rewrites the whole file.
        fx::Table kept = Awkward();
        for (std::string& r : kept.records) r[0] = ' ';
        const std::string packed = Fixture("packed.dbf", kept);
        const std::string unpacked = ReadFileBytes(packed);
        USE(packed + " EXCLUSIVE");
        EXPECT_TRUE(Pack());
        CloseArea();
        EXPECT_EQ(ReadFileBytes(packed), unpacked);
    }
}

TEST_F(DbfFileTest, HooksSeeTheBytesAsOnDisk) {
    const std::string path = CreateTable("hooked", {{"NAME", 'C', 6, 0}});
    std::vector<std::string> seen;
    auto scramble = [](char* data, size_t n) {
        for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>(data[i] ^ 0x55);
    };
    auto reader = [&](char* data, size_t n) {
        seen.emplace_back(data, n);
        scramble(data, n);
    };
    UseWithOptions(path + " EXCLUSIVE", {}, scramble, reader);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    SetSwapString(*CurrentTable(), F("NAME"), "\xE4pfel");
    Append();
    EXPECT_EQ(Str("NAME"), "\xE4pfel ");
    CloseArea();

    const std::string on_disk = ReadFileBytes(path + ".dbf").substr(65, 7);
    std::string expected = " \x84pfel ";  // OEM, then scrambled; the delete mark is left alone
    for (size_t i = 1; i < expected.size(); ++i) expected[i] = static_cast<char>(expected[i] ^ 0x55);
    EXPECT_EQ(on_disk, expected);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), on_disk.substr(1));

    seen.clear();
    const std::string before = ReadFileBytes(path + ".dbf");
    UseWithOptions(path + " EXCLUSIVE", {}, scramble, reader);
    EXPECT_EQ(Str("NAME"), "\xE4pfel ");
    Replace();
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path + ".dbf"), before);
}

TEST_F(DbfFileTest, TranslationCoversEveryWholeRecordButNotItsMark) {
    // Two records of 4 bytes (the second with an odd mark) and a stray byte.
    const std::string oem =
        "*\x84\xD5 "
        "\x81\x84\xD5x"
        "\x84";
    std::string buffer = oem;
    std::vector<size_t> lengths;
    RecordHook hook = [&](char*, size_t n) { lengths.push_back(n); };
    TranslateRecord(Direction::Read, true, hook, std::span(buffer.data(), buffer.size()), 4);
    EXPECT_EQ(buffer,
              "*\xE4\x80 "
              "\x81\xE4\x80x"
              "\x84");
    EXPECT_EQ(lengths, (std::vector<size_t>{3, 3}));
    TranslateRecord(Direction::Write, true, nullptr, std::span(buffer.data(), buffer.size()), 4);
    EXPECT_EQ(buffer, oem);
    TranslateRecord(Direction::Read, false, nullptr, std::span(buffer.data(), buffer.size()), 4);
    EXPECT_EQ(buffer, oem);
}

// --- the typed swap buffer ---

TEST_F(DbfFileTest, SwapSlotsHaveTheirDocumentedSizes) {
    const std::string path = Fixture("t.dbf", fx::Sample(kDbase4Memo));
    USE(path);
    // C 10 (11), N 5 (8), F 8.2 (8), D (11), L (1), M (4), and the delete byte.
    EXPECT_EQ(SwapBufferSize(*CurrentTable()), 1u + 11 + 8 + 8 + 11 + 1 + 4);
    CloseArea();
    std::vector<char> wrong(10);
    USE(path, wrong);
    EXPECT_EQ(LastErrorCode(), 266);
}

TEST_F(DbfFileTest, WholeNumbersAreSixtyFourBitIntegers) {
    fx::Table t;
    t.fields = {{"BIG", 'N', 15}, {"HUGE", 'N', 18}, {"NAME", 'C', 4}};
    t.records = {fx::Row(t.fields, {"123456789012345", "9007199254740993", "a"})};
    const std::string path = Fixture("t.dbf", t);
    const uint16_t hl = fx::HeaderLength(t);

    USE(path + " EXCLUSIVE");
    EXPECT_EQ(Int("BIG"), 123456789012345);
    EXPECT_EQ(Int("HUGE"), 9007199254740993);  // not representable as a double
    SetSwapString(*CurrentTable(), F("NAME"), "b");
    Replace();
    EXPECT_EQ(ReadFileBytes(path).substr(hl, 38), " 123456789012345  9007199254740993b   ");

    // Values set by the caller are formatted from the integer, not a double.
    SetSwapInteger(*CurrentTable(), F("HUGE"), 9007199254740995);
    SetSwapInteger(*CurrentTable(), F("BIG"), -99999999999999);
    Replace();
    ClearRecord();
    SetSwapInteger(*CurrentTable(), F("BIG"), 999999999999999);
    Append();
    CloseArea();
    const std::string after = ReadFileBytes(path);
    EXPECT_EQ(after.substr(hl, 38), " -99999999999999  9007199254740995b   ");
    EXPECT_EQ(after.substr(hl + 38, 38), " 999999999999999                 0    ");
}

TEST_F(DbfFileTest, NumbersAreFormattedToTheirField) {
    const std::string path = CreateTable("n", {{"WHOLE", 'N', 5, 0}, {"AMOUNT", 'N', 8, 2}, {"RATE", 'F', 6, 3}});
    USE(path + " EXCLUSIVE");
    TWorkArea& a = *CurrentTable();
    const std::pair<double, const char*> cases[] = {{2.5, "    3    2.50 2.500"},     {-2.5, "   -3   -2.50-2.500"},
                                                    {2.675, "    3    2.68 2.675"},   {-0.001, "    0    0.00-0.001"},
                                                    {-0.0001, "    0    0.00 0.000"}, {99999, "9999999999.00 0.000"}};
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(value);
        ClearRecord();
        SetSwapNumber(a, F("WHOLE"), value);
        SetSwapNumber(a, F("AMOUNT"), value);
        SetSwapNumber(a, F("RATE"), value == 99999 ? 0.0 : value);
        ASSERT_TRUE(BufferToRecord(a).ok());
        EXPECT_EQ(std::string(a.record.begin() + 1, a.record.begin() + 1 + std::string(text).size()), text);
    }
    CloseArea();
}

TEST_F(DbfFileTest, NumberTextsOfOtherProgramsAreRead) {
    fx::Table t;
    t.fields = {{"AMOUNT", 'N', 8, 2}, {"WHOLE", 'N', 6}};
    const std::pair<const char*, const char*> texts[] = {
        {"1.5     ", "0012  "}, {"      +3", "  12.7"}, {"   -.5  ", "    +7"}, {"     1e2", "  -0  "},
        {"     nan", "   inf"}, {"     inf", "  1e30"}, {"    1,50", "  1 2 "}, {"        ", "   abc"}};
    for (const auto& [amount, whole] : texts) t.records.push_back(std::string(" ") + amount + whole);
    const std::string path = Fixture("t.dbf", t);
    USE(path);
    std::vector<double> amounts;
    std::vector<int64_t> wholes;
    for (GoTop(); !dEOF(); SKIP()) {
        amounts.push_back(Num("AMOUNT"));
        wholes.push_back(Int("WHOLE"));
    }
    EXPECT_EQ(amounts, (std::vector<double>{1.5, 3, -0.5, 100, 0, 0, 0, 0}));
    EXPECT_EQ(wholes, (std::vector<int64_t>{12, 13, 7, 0, 0, 0, 0, 0}));
    CloseArea();
}

TEST_F(DbfFileTest, NumberTooWideIsRefusedAndNothingWritten) {
    const std::string path = CreateTable("n", {{"NAME", 'C', 4, 0}, {"AMOUNT", 'N', 5, 2}, {"QTY", 'N', 3, 0}});
    USE(path + " EXCLUSIVE");
    TWorkArea& a = *CurrentTable();
    SetSwapString(a, F("NAME"), "ok");
    SetSwapNumber(a, F("AMOUNT"), 99.99);
    SetSwapInteger(a, F("QTY"), -99);
    Append();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const std::string before = ReadFileBytes(path + ".dbf");
    const std::string record(a.record.begin(), a.record.end());

    const std::pair<const char*, double> too_wide[] = {
        {"AMOUNT", 100.0}, {"AMOUNT", -10.0}, {"QTY", 1000}, {"QTY", -100}};
    for (const auto& [field, value] : too_wide) {
        SCOPED_TRACE(value);
        RecordToBuffer(a);
        SetSwapString(a, F("NAME"), "new");
        SetSwapNumber(a, F(field), value);
        Replace();
        EXPECT_EQ(LastErrorCode(), 201);
        EXPECT_NE(LastErrorMessage().find(std::string("field ") + field), std::string::npos) << LastErrorMessage();
        EXPECT_EQ(std::string(a.record.begin(), a.record.end()), record);
        Append();
        EXPECT_EQ(LastErrorCode(), 201);
        EXPECT_EQ(a.rec_count, 1);
    }
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path + ".dbf"), before);
}

TEST_F(DbfFileTest, UnchangedDatesKeepTheirStoredDigits) {
    SetDateFormat(0);
    SetCentury(false);
    SetWindowStart(1950);
    fx::Table t;
    t.fields = {{"WHEN", 'D', 8}, {"NAME", 'C', 3}};
    t.records = {fx::Row(t.fields, {"18991231", "a"}), fx::Row(t.fields, {"21240101", "b"})};
    const std::string path = Fixture("t.dbf", t);
    const uint16_t hl = fx::HeaderLength(t);

    USE(path + " EXCLUSIVE");
    EXPECT_EQ(Str("WHEN"), "12/31/99");
    SetSwapString(*CurrentTable(), F("NAME"), "x");
    Replace();
    SKIP();
    EXPECT_EQ(Str("WHEN"), "01/01/24");
    SetSwapString(*CurrentTable(), F("NAME"), "y");
    Replace();
    EXPECT_EQ(ReadFileBytes(path).substr(hl, 24), " 18991231x   21240101y  ");

    // A date the caller sets gets its century from the window.
    GO(1);
    SetSwapString(*CurrentTable(), F("WHEN"), "01/02/03");
    Replace();
    SKIP();
    SetSwapString(*CurrentTable(), F("WHEN"), "01/02/49");
    Replace();
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path).substr(hl, 24), " 20030102x   20490102y  ");
}

struct DateCase {
    uint8_t code;
    const char* century_on;
    const char* century_off;
};

class DateSlotTest : public DbfFileTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(DateSlotTest, DatesFollowTheSetDateOrder) {
    const DateCase c = GetParam();
    const std::string path = CreateTable("d", {{"WHEN", 'D', 8, 0}});
    SetDateFormat(c.code);
    SetWindowStart(1950);
    USE(path + " EXCLUSIVE");
    TWorkArea& a = *CurrentTable();
    for (bool century : {true, false}) {
        SCOPED_TRACE(century);
        SetCentury(century);
        const std::string text = century ? c.century_on : c.century_off;
        std::copy_n(" 20240315", 9, a.record.begin());
        RecordToBuffer(a);
        EXPECT_EQ(Str("WHEN"), text);
        a.shadow_valid = false;
        ASSERT_TRUE(BufferToRecord(a).ok());
        EXPECT_EQ(std::string(a.record.begin(), a.record.end()), " 20240315");

        // Blank templates are stored as blanks.
        for (std::string blank : {std::string(), BlankDateStr(c.code), std::string(10, ' ')}) {
            SetSwapString(a, F("WHEN"), blank);
            ASSERT_TRUE(BufferToRecord(a).ok());
            EXPECT_EQ(std::string(a.record.begin(), a.record.end()), "         ") << blank;
        }
    }
    CloseArea();
}

INSTANTIATE_TEST_SUITE_P(EveryCode, DateSlotTest,
                         ::testing::Values(DateCase{0, "03/15/2024", "03/15/24"}, DateCase{1, "2024.03.15", "24.03.15"},
                                           DateCase{2, "15/03/2024", "15/03/24"}, DateCase{3, "15-03-2024", "15-03-24"},
                                           DateCase{4, "15.03.2024", "15.03.24"},
                                           DateCase{8, "15.03.2024", "15.03.24"}));

TEST_F(DbfFileTest, LogicalAndMemoSlots) {
    fx::Table t;
    t.fields = {{"OK", 'L', 1}, {"NOTE", 'M', 10}};
    for (const char* letter : {"T", "t", "Y", "y", "F", "f", "N", "?", " "})
        t.records.push_back(fx::Row(t.fields, {letter, "7"}));
    const std::string path = Fixture("t.dbf", t);
    USE(path + " EXCLUSIVE");
    std::string truth;
    for (GoTop(); !dEOF(); SKIP()) truth += Logical("OK") ? '1' : '0';
    EXPECT_EQ(truth, "111100000");

    GO(9);
    EXPECT_EQ(SwapMemo(*CurrentTable(), F("NOTE")), 7);
    SetSwapLogical(*CurrentTable(), F("OK"), true);
    SetSwapMemo(*CurrentTable(), F("NOTE"), 1234);
    Replace();
    GO(1);
    SetSwapLogical(*CurrentTable(), F("OK"), false);
    Replace();
    CloseArea();
    const std::string bytes = ReadFileBytes(path);
    const uint16_t hl = fx::HeaderLength(t);
    EXPECT_EQ(bytes.substr(hl, 12), " F         7");
    EXPECT_EQ(bytes.substr(hl + 8 * 12, 12), " T      1234");
}

TEST_F(DbfFileTest, ZeroLengthFieldsNeverSpillIntoTheirNeighbours) {
    fx::Table t;
    t.fields = {{"FLAG", 'L', 0}, {"NAME", 'C', 5}, {"WHEN", 'D', 0}, {"QTY", 'N', 0}, {"LAST", 'L', 0}};
    t.records = {fx::Row(t.fields, {"", "Apple"})};
    const std::string path = Fixture("t.dbf", t);
    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    SetSwapLogical(*CurrentTable(), F("FLAG"), true);
    SetSwapLogical(*CurrentTable(), F("LAST"), true);
    SetSwapString(*CurrentTable(), F("WHEN"), "03/15/24");
    Replace();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path).substr(fx::HeaderLength(t)), " Apple\x1A");
}

// --- crash safety ---

TEST_F(DbfFileTest, AppendedRecordsSurviveAProcessThatDies) {
    const std::string path = CreateTable("crash", {{"N", 'N', 4, 0}, {"NAME", 'C', 8, 0}});
    {
        ChildProcess child([&](const ChildProcess::Channel& parent) {
            USE(path + " EXCLUSIVE");
            for (int i = 1; i <= 5; ++i) {
                ClearRecord();
                SetSwapInteger(*CurrentTable(), F("N"), i);
                SetSwapString(*CurrentTable(), F("NAME"), "rec" + std::to_string(i));
                Append();
            }
            parent.Send(LastErrorCode() == 0 ? "appended" : "failed");
            _exit(0);  // no close, no header rewrite at exit
        });
        EXPECT_EQ(child.Receive(), "appended");
        EXPECT_EQ(child.Wait(), 0);
    }
    const std::string bytes = ReadFileBytes(path + ".dbf");
    const size_t hl = 32 + 2 * 32 + 1, rl = 13;
    EXPECT_EQ(U32(bytes, 4), 5u);
    ASSERT_EQ(bytes.size(), hl + 5 * rl + 1);
    EXPECT_EQ(bytes.back(), 0x1A);

    USE(path);
    ASSERT_EQ(RecCount(), 5);
    ASSERT_TRUE(ALock());
    ClearRecord();
    SetSwapInteger(*CurrentTable(), F("N"), 6);
    Append();
    Unlock();
    std::string names;
    for (GoTop(); !dEOF(); SKIP()) names += std::to_string(Int("N")) + Str("NAME").substr(0, 4) + ",";
    EXPECT_EQ(names, "1rec1,2rec2,3rec3,4rec4,5rec5,6    ,");
    CloseArea();
}

// --- damaged files ---

// Opens, walks both ways, jumps and closes; whatever the file holds, this
// must end in an error code or a clean walk.
void Exercise(const std::string& path, bool exclusive, bool write) {
    ClearErrors();
    USE(path + (exclusive ? " EXCLUSIVE" : ""));
    if (LastErrorCode() != 0) {
        CloseArea();
        return;
    }
    int guard = 0;
    for (GoTop(); !dEOF() && LastErrorCode() == 0 && guard < 100; SKIP()) ++guard;
    for (GoBottom(); !dBOF() && LastErrorCode() == 0 && guard < 200; SKIP(-1)) ++guard;
    GO(2);
    if (write && exclusive && LastErrorCode() == 0) {
        for (int n = 1; n <= FieldCount(); ++n) {
            if (FieldType(n) == 'C') SetSwapString(*CurrentTable(), CurrentTable()->fields[n - 1], "zz");
            if (FieldType(n) == 'N') SetSwapNumber(*CurrentTable(), CurrentTable()->fields[n - 1], 1);
        }
        Replace();
        Append();
        DeleteRec();
    }
    CloseArea();
}

TEST_F(DbfFileTest, TruncatedFilesGiveErrorsAndStayAsTheyWere) {
    for (uint8_t v : kVersions) {
        SCOPED_TRACE(static_cast<int>(v));
        const fx::Table t = fx::Sample(v);
        const std::string whole = fx::Build(t);
        const std::string path = dir_ / "cut.dbf";
        for (size_t n = 0; n < whole.size(); ++n) {
            const std::string cut = whole.substr(0, n);
            WriteFileBytes(path, cut);
            for (bool exclusive : {false, true}) {
                Exercise(path, exclusive, false);
                if (n < fx::HeaderLength(t)) {
                    EXPECT_EQ(LastErrorCode(), 210) << n;
                }
                ASSERT_EQ(ReadFileBytes(path), cut) << n;
            }
        }
    }
}

TEST_F(DbfFileTest, RandomDamageNeverCrashes) {
    std::mt19937 random(20240315);
    const std::string path = dir_ / "noise.dbf";
    for (int round = 0; round < 600; ++round) {
        std::string bytes = fx::Build(fx::Sample(kVersions[round % 7]));
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i) {
            // Mostly the header, where the layout lives.
            const size_t at = random() % 4 ? random() % std::min<size_t>(bytes.size(), 80) : random() % bytes.size();
            bytes[at] = static_cast<char>(random());
        }
        if (round % 5 == 0) bytes.resize(random() % bytes.size());
        WriteFileBytes(path, bytes);
        Exercise(path, round % 2 == 0, true);
    }
    // Pure noise behind each valid version byte.
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 700, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        if (!bytes.empty()) bytes[0] = static_cast<char>(kVersions[round % 7]);
        WriteFileBytes(path, bytes);
        Exercise(path, round % 2 == 0, true);
    }
}

}  // namespace
}  // namespace zurod
