#include "engine/dbf/areas.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/thread_check.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"
#include "tests/support/files.hpp"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using namespace zurod;
using namespace testing_support;
using testing_support::ChildProcess;

uint32_t GetU32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

// Appends raw records (delete mark first) the way another program would:
// records, end mark, then the header's count.
void AppendRaw(const std::string& path, const std::vector<std::string>& records) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char h[12];
    f.read(reinterpret_cast<char*>(h), sizeof h);
    uint32_t count = GetU32(h + 4);
    const uint16_t hl = static_cast<uint16_t>(h[8] | (h[9] << 8));
    const uint16_t rl = static_cast<uint16_t>(h[10] | (h[11] << 8));
    f.seekp(hl + static_cast<std::streamoff>(count) * rl);
    for (std::string r : records) {
        r.resize(rl, ' ');
        f.write(r.data(), rl);
    }
    f.put(0x1A);
    count += static_cast<uint32_t>(records.size());
    const char c[4] = {static_cast<char>(count), static_cast<char>(count >> 8), static_cast<char>(count >> 16),
                       static_cast<char>(count >> 24)};
    f.seekp(4);
    f.write(c, 4);
}

class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::string& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectoryScope() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

class AreasTest : public testing_support::EngineTest {
protected:
    // A table with one C field and `rows` records named R1, R2, ...
    std::string Simple(const std::string& name, int rows = 3) {
        const std::string path = CreateTable(name, {{"NAME", 'C', 8, 0}});
        std::vector<std::string> records;
        for (int i = 1; i <= rows; ++i) records.push_back(" R" + std::to_string(i));
        if (rows > 0) AppendRaw(path, records);
        return path;
    }
};

// --- the area table and Select ---

TEST_F(AreasTest, SelectMakesCallerAreasCurrentAndRefusesOthers) {
    EXPECT_EQ(CurrentArea(), 1);
    Select(7);
    EXPECT_EQ(CurrentArea(), 7);
    EXPECT_EQ(LastErrorCode(), 0);

    Select(34);
    ExpectError(220, "Invalid workarea selected = [Select(34)]");
    EXPECT_EQ(CurrentArea(), 7);
    Select(36);
    ExpectError(220, "Invalid workarea selected = [Select(36)]");
    EXPECT_EQ(CurrentArea(), 7);

    // A successful Select clears the error left behind.
    Select(3);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(AreasTest, SelectZeroFindsTheFirstFreeAreaUntilAllAreInUse) {
    const std::string path = Simple("t.dbf");
    Select(0);
    EXPECT_EQ(CurrentArea(), 1);
    USE(path + " alias A1");
    Select(3);
    USE(path + " alias A3");
    Select(0);
    EXPECT_EQ(CurrentArea(), 2);

    for (int n = 1; n <= 33; ++n) {
        Select(static_cast<uint8_t>(n));
        USE(path + " alias A" + std::to_string(n));
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    Select(12);
    Select(0);
    ExpectError(220, "No free workarea available [Select(0)]");
    EXPECT_EQ(CurrentArea(), 12);

    CloseAllAreas();
    EXPECT_EQ(CurrentArea(), 1);
    for (uint8_t n = 1; n <= kAreaCount; ++n) EXPECT_EQ(AreaAt(n), nullptr) << int{n};
}

TEST_F(AreasTest, EngineAreasAreReachableOnlyInternally) {
    const std::string path = Simple("t.dbf");
    SelectInternal(kScratchArea);
    EXPECT_EQ(CurrentArea(), kScratchArea);
    USE(path);
    EXPECT_NE(AreaAt(kScratchArea), nullptr);
    // The engine's own areas never count as taken for callers.
    Select(0);
    EXPECT_EQ(CurrentArea(), 1);
    ShutdownAreas();
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
}

// --- USE: names, aliases and the command grammar ---

TEST_F(AreasTest, UseFindsTheFileWhateverTheCaseOfItsName) {
    Simple("accounts.dbf");
    CurrentDirectoryScope cd(dir_.path());
    const std::string on_disk = dir_ / "accounts.dbf";

    for (const char* command : {"accounts", "ACCOUNTS", "  Accounts.DBF  ", "accounts.dbf"}) {
        USE(command);
        ASSERT_EQ(LastErrorCode(), 0) << command << ": " << LastErrorMessage();
        EXPECT_EQ(AreaFileName(), on_disk) << command;
        EXPECT_EQ(Alias(), "ACCOUNTS") << command;
        EXPECT_FALSE(CurrentTable()->exclusive) << command;
    }
}

TEST_F(AreasTest, UseReadsExclusiveAndAliasClauses) {
    const std::string path = Simple("accounts.dbf");
    USE(path + " alias acc exclusive");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Alias(), "ACC");
    EXPECT_TRUE(CurrentTable()->exclusive);
    EXPECT_EQ(AreaFileName(), path);

    USE(path + " ExClUsIvE AlIaS Books");
    EXPECT_EQ(Alias(), "BOOKS");
    EXPECT_TRUE(CurrentTable()->exclusive);

    // An alias is cut to 64 characters.
    USE(path + " ALIAS " + std::string(70, 'q'));
    EXPECT_EQ(Alias(), std::string(64, 'Q'));
    EXPECT_FALSE(CurrentTable()->exclusive);
}

TEST_F(AreasTest, KeywordsInsideLongerWordsOrPathsAreNotKeywords) {
    std::filesystem::create_directory(dir_ / "old exclusive");
    const std::string in_dir = Simple("old exclusive/t.dbf");
    const std::string longer = Simple("x exclusive_1.dbf");

    USE(in_dir);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(AreaFileName(), in_dir);
    EXPECT_FALSE(CurrentTable()->exclusive);

    USE(dir_ / "x exclusive_1");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(AreaFileName(), longer);
    EXPECT_FALSE(CurrentTable()->exclusive);
    EXPECT_EQ(Alias(), "X EXCLUSIVE_1");

    const UseOptions o = ParseUseCommand("t exclusive9 alias");
    EXPECT_FALSE(o.exclusive);
    EXPECT_TRUE(o.alias.empty());
}

TEST_F(AreasTest, UseTableOpensPathsThatHoldKeywords) {
    std::filesystem::create_directory(dir_ / "a VIRTUAL FILE b");
    const std::string path = Simple("a VIRTUAL FILE b/x linked list alias y exclusive.dbf");

    // Through the command text the same words mean something else.
    USE(path);
    EXPECT_EQ(LastErrorCode(), 1101);
    EXPECT_EQ(CurrentTable(), nullptr);

    UseOptions o;
    o.file_name = path.substr(0, path.size() - 4);  // the default extension is added
    UseTable(o);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(AreaFileName(), path);
    EXPECT_EQ(Alias(), "X LINKED LIST ALIAS Y EXCLUSIVE");
    EXPECT_FALSE(CurrentTable()->exclusive);

    o.file_name = path;
    o.alias = "lower";
    o.exclusive = true;
    UseTable(o);
    EXPECT_EQ(Alias(), "LOWER");
    EXPECT_TRUE(CurrentTable()->exclusive);
}

TEST_F(AreasTest, RelativeNamesOpenFromTheCurrentDirectory) {
    std::filesystem::create_directory(dir_ / "sub");
    const std::string path = Simple("sub/ledger.dbf");
    CurrentDirectoryScope cd(dir_.path());
    UseOptions o;
    o.file_name = "sub/../sub/ledger";
    UseTable(o);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(AreaFileName(), path);
    USE("./sub/LEDGER");
    EXPECT_EQ(AreaFileName(), path);
}

TEST_F(AreasTest, AnAliasInUseElsewhereIsRefused) {
    const std::string t = Simple("t.dbf");
    const std::string u = Simple("u.dbf");
    USE(t + " alias acc");
    Select(2);
    USE(u + " alias ACC");
    ExpectError(220, "Alias name \"ACC\" already in use. [USE]");
    EXPECT_EQ(CurrentTable(), nullptr);
    // The base name is an alias as well.
    Select(3);
    USE(u);
    Select(2);
    USE(dir_ / "U");
    ExpectError(220, "Alias name \"U\" already in use. [USE]");
    EXPECT_EQ(CurrentTable(), nullptr);

    // Reopening in the area that holds the alias is no conflict.
    Select(1);
    USE(u + " alias acc");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(AreaFileName(), u);
}

TEST_F(AreasTest, AnEmptyCommandOnlyClosesTheArea) {
    const std::string path = Simple("t.dbf");
    USE(path);
    Select(40);  // leaves an error behind
    USE("   ");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(CurrentTable(), nullptr);
    EXPECT_EQ(AreaFileName(), "");
    EXPECT_EQ(Alias(), "");
}

TEST_F(AreasTest, ACallersBufferMustMatchTheSwapLayout) {
    const std::string path =
        CreateTable("t.dbf", {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}});
    AppendRaw(path, {std::string(" ") + "Alice     " + "   12.50" + "20240131" + "T"});

    std::vector<char> wrong(10);
    USE(path, wrong);
    const std::string message =
        "Database record/buffer size mismatch: " + path + " [USE()]\n\rRecord Size=32, Buffer Size=10";
    ExpectError(266, message);
    EXPECT_EQ(CurrentTable(), nullptr);

    std::vector<char> buffer(32);
    USE(path, buffer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(FieldAddress(0), buffer.data());
    EXPECT_EQ(buffer[1], 10);  // the NAME slot's length byte
    EXPECT_EQ(std::string(buffer.data() + 2, 10), "Alice     ");

    USE(path, std::span<char>(buffer.data(), 0));
    ExpectError(220, "Buffer is NIL or size is zero, attempting to open " + path + " [USE]");
    EXPECT_EQ(CurrentTable(), nullptr);
}

TEST_F(AreasTest, ReadHooksOfUseWithOptionsApplyToThatOpenOnly) {
    const std::string path = Simple("t.dbf", 1);
    UseWithOptions(path, {}, nullptr, [](char* data, size_t length) {
        for (size_t i = 0; i < length; ++i)
            if (data[i] == 'R') data[i] = 'Q';
    });
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(FieldText(1), "Q1      ");
    USE(path);
    EXPECT_EQ(FieldText(1), "R1      ");
}

TEST_F(AreasTest, TablesAreOemUnlessAnsiIsSet) {
    const std::string path = CreateTable("t.dbf", {{"NAME", 'C', 7, 0}});
    AppendRaw(path, {" M\x81ller\xD5"});
    USE(path);
    EXPECT_TRUE(CurrentTable()->oem);
    EXPECT_EQ(FieldText(1), "M\xFCller\x80");
    CloseArea();

    Settings().ansi = true;
    USE(path);
    EXPECT_FALSE(CurrentTable()->oem);
    EXPECT_EQ(FieldText(1), "M\x81ller\xD5");
}

// --- sharing ---

TEST_F(AreasTest, ASecondExclusiveOpenInThisProcessIsASharingViolation) {
    const std::string path = Simple("t.dbf");
    const std::string refused = "Failure to open " + path + " [USE/OpenDbf]";
    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0);
    Select(2);
    USE(path + " alias T2");
    ExpectError(32, refused);
    EXPECT_EQ(CurrentTable(), nullptr);

    Select(1);
    USE(path);  // shared now
    Select(2);
    USE(path + " alias T2 EXCLUSIVE");
    ExpectError(32, refused);
    EXPECT_EQ(CurrentTable(), nullptr);
    USE(path + " alias T2");
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(AreasTest, ExclusiveOpensExcludeOtherProcesses) {
    const std::string path = Simple("t.dbf");
    {
        ChildProcess child([&](const ChildProcess::Channel& ch) {
            Select(20);  // an area the parent does not use
            USE(path + " EXCLUSIVE");
            ch.Send(std::to_string(LastErrorCode()));
            ch.Receive();  // holds the table until told
        });
        ASSERT_EQ(child.Receive(), "0");
        USE(path);
        EXPECT_EQ(LastErrorCode(), 32);
        EXPECT_EQ(CurrentTable(), nullptr);
        child.Send("done");
        EXPECT_EQ(child.Wait(), 0);
    }

    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0);
    {
        ChildProcess child([&](const ChildProcess::Channel& ch) {
            Select(20);
            USE(path);
            ch.Send(std::to_string(LastErrorCode()));
        });
        EXPECT_EQ(child.Receive(), "32");
        EXPECT_EQ(child.Wait(), 0);
    }
}

TEST_F(AreasTest, OpenModesFollowSettings) {
    const std::string path = Simple("t.dbf");
    auto second_open = [&] {
        Select(2);
        USE(path + " alias T2");
        const uint16_t code = LastErrorCode();
        CloseArea();
        Select(1);
        return code;
    };

    // Network mode off: every table is exclusive, whatever the command says.
    Settings().network_mode = false;
    USE(path);
    EXPECT_TRUE(CurrentTable()->exclusive);
    Settings().network_mode = true;
    EXPECT_EQ(second_open(), 32);

    Settings().default_open_mode = kOpenExclusive;
    USE(path);
    EXPECT_TRUE(CurrentTable()->exclusive);
    Settings().default_open_mode = kOpenShared;
    EXPECT_EQ(second_open(), 32);

    // The override changes how the file is opened, not the exclusive decision.
    Settings().open_mode_override = kOpenExclusive;
    USE(path);
    EXPECT_FALSE(CurrentTable()->exclusive);
    Settings().open_mode_override = kNoOpenModeOverride;
    EXPECT_EQ(second_open(), 32);
    Settings().open_mode_override = kOpenShared;
    USE(path + " EXCLUSIVE");
    EXPECT_TRUE(CurrentTable()->exclusive);
    Settings().open_mode_override = kNoOpenModeOverride;
    EXPECT_EQ(second_open(), 0);
}

TEST_F(AreasTest, CheckFileInUseComparesFilesNotSpellings) {
    const std::string path = Simple("accounts.dbf");
    const std::string other = Simple("other.dbf");
    std::filesystem::create_hard_link(path, dir_ / "linked.dbf");
    USE(path);
    Select(2);

    EXPECT_FALSE(CheckFileInUse(other, "CopyTo"));
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_FALSE(CheckFileInUse(dir_ / "missing.dbf", "CopyTo"));

    for (const std::string& name : {path, dir_ / "ACCOUNTS.DBF", dir_ / "linked.dbf"}) {
        SetLastErrorCode(0);
        EXPECT_TRUE(CheckFileInUse(name, "CopyTo")) << name;
        ExpectError(214, "File: " + name + " is already in use. [CopyTo]");
    }
    Select(1);
    CloseArea();
    EXPECT_FALSE(CheckFileInUse(path, "CopyTo"));
}

// --- bad input ---

TEST_F(AreasTest, FilesThatAreNotTablesLeaveTheAreaEmpty) {
    const std::string good = Simple("good.dbf");
    std::filesystem::create_directory(dir_ / "folder.dbf");
    WriteFileBytes(dir_ / "text.dbf", "This is a plain text file and no table at all.\n");
    WriteFileBytes(dir_ / "tiny.dbf", std::string("\x03\x7c\x01\x01", 4));
    const std::string bytes = ReadFileBytes(good);
    WriteFileBytes(dir_ / "cut_header.dbf", bytes.substr(0, 40));
    // The header still counts three records; the file holds one and a half.
    WriteFileBytes(dir_ / "cut_records.dbf", bytes.substr(0, 65 + 9 + 4));
    WriteFileBytes(dir_ / "huge_count.dbf", bytes.substr(0, 4) + std::string("\xFF\xFF\xFF\xFF", 4) + bytes.substr(8));

    struct Case {
        std::string name;
        uint16_t code;
    };
    const std::vector<Case> cases = {
        {"missing", 2},      {"folder", 5},        {"text", 210},       {"tiny", 210},
        {"cut_header", 210}, {"cut_records", 210}, {"huge_count", 210},
    };
    for (const Case& c : cases) {
        USE(good);
        ASSERT_NE(CurrentTable(), nullptr);
        USE(dir_ / c.name);
        EXPECT_EQ(LastErrorCode(), c.code) << c.name << ": " << LastErrorMessage();
        EXPECT_FALSE(LastErrorMessage().empty()) << c.name;
        EXPECT_EQ(CurrentTable(), nullptr) << c.name;
        EXPECT_EQ(RecCount(), 0) << c.name;
        EXPECT_EQ(LastErrorCode(), 215) << c.name;
    }
    USE(dir_ / "missing");
    ExpectError(2, "Failure to open " + dir_ / "missing.DBF" + " [USE/OpenDbf]");
    USE(dir_ / "cut_records");
    ExpectError(210, dir_ / "cut_records.dbf" + " is not a dBASE database. (File is shorter than its records) [USE]");
    // Nothing was written to the refused files.
    EXPECT_EQ(ReadFileBytes(dir_ / "cut_records.dbf"), bytes.substr(0, 78));
}

TEST_F(AreasTest, ARaisedOpenErrorLeavesTheAreaEmpty) {
    const std::string memo = CreateTable("m.dbf", {{"NAME", 'C', 8, 0}, {"NOTE", 'M', 10, 0}});
    AppendRaw(memo, {" R1"});
    AttachMemo<FunctionMemo>().open = [](TWorkArea&) {
        RunError(1003, "bad memo");
        return 1003;
    };

    SetErrorHandling(true);
    RaiseModeScope raise(true);
    EXPECT_THROW(USE(dir_ / "missing"), EZurodError);
    EXPECT_EQ(CurrentTable(), nullptr);
    EXPECT_THROW(USE(memo), EZurodError);
    EXPECT_EQ(CurrentTable(), nullptr);
    EXPECT_EQ(LastErrorCode(), 1003);
}

// --- attachments ---

TEST_F(AreasTest, TheMemoUnitOpensAndClosesMemoFilesOfMemoTables) {
    const std::string plain = Simple("plain.dbf");
    const std::string memo = CreateTable("m.dbf", {{"NAME", 'C', 8, 0}, {"NOTE", 'M', 10, 0}});
    std::vector<std::string> calls;
    int open_result = 0;
    FunctionMemo& memo_unit = AttachMemo<FunctionMemo>();
    memo_unit.open = [&](TWorkArea& a) {
        calls.push_back("open " + a.alias + " in " + std::to_string(CurrentArea()));
        if (open_result != 0) RunError(static_cast<uint16_t>(open_result), "memo refused");
        return open_result;
    };
    memo_unit.close = [&](TWorkArea& a) {
        calls.push_back("close " + a.alias);
        return 0;
    };

    Select(4);
    USE(plain);
    CloseArea();
    EXPECT_TRUE(calls.empty());

    USE(memo);
    ASSERT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(calls, std::vector<std::string>{"open M in 4"});
    CloseArea();
    EXPECT_EQ(calls.back(), "close M");

    calls.clear();
    open_result = 1007;
    USE(memo + " alias x");
    ExpectError(1007, "Problem opening memo file [USE(" + memo + " alias x,<@Buffer>,14)]");
    EXPECT_EQ(CurrentTable(), nullptr);
    EXPECT_EQ(calls.front(), "open X in 4");
}

TEST_F(AreasTest, ClosingAnAreaClosesItsIndexOnlyWhenOneIsActive) {
    const std::string path = Simple("t.dbf");
    bool active = false;
    std::vector<std::pair<int, int>> calls;  // operation, area
    AttachIndex<DispatchIndex>().dispatch = [&](uint8_t op, int32_t, TWorkArea&) -> int32_t {
        calls.emplace_back(op, CurrentArea());
        return op == kIndexActive ? active : 0;
    };

    Select(3);
    USE(path);
    calls.clear();
    CloseArea();
    for (auto [op, area] : calls) EXPECT_EQ(op, kIndexActive);

    USE(path);
    active = true;
    calls.clear();
    CloseArea();
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{kIndexActive, 3}, {kIndexClose, 3}}));

    // Nothing is called on an empty area.
    calls.clear();
    CloseArea();
    EXPECT_TRUE(calls.empty());
}

TEST_F(AreasTest, ClosingAnAreaReleasesItsFilter) {
    FunctionExpressions& expr = AttachExpressions<FunctionExpressions>();
    expr.compile = [](const std::string&) { return std::make_unique<FakeProgram>(); };
    USE(Simple("t.dbf"));
    Set_Filter_To("NAME = 'R2'");
    EXPECT_EQ(expr.released, 0);
    CloseArea();
    EXPECT_EQ(expr.released, 1);
}

struct FakeStore : VFileAreaState {
    std::vector<std::string> rows;
};

class VirtualFiles : public AreasTest {
protected:
    void SetUp() override {
        AreasTest::SetUp();
        InstallStore();
    }
    void InstallStore() {
        AttachStore<FunctionStore>().dispatch = [this](TWorkArea& a, VFileRequest request, int32_t) -> Status {
            calls.push_back(std::to_string(static_cast<int>(request)) + " " + a.alias);
            if (request == VFileRequest::Open) {
                a.vfile_store = std::make_unique<FakeStore>();
                a.rec_no = a.rec_count = 0;
            } else if (request == VFileRequest::Close) {
                a.vfile_store.reset();
            }
            return {};
        };
    }
    std::vector<std::string> calls;
    std::vector<char> buffer = std::vector<char>(16, 'x');
};

TEST_F(VirtualFiles, UseOpensThemThroughTheStore) {
    Select(5);
    USE("Split.tmp virtual file", buffer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(calls, std::vector<std::string>{"4 SPLIT"});
    const TWorkArea* a = CurrentTable();
    EXPECT_TRUE(a->is_virtual);
    EXPECT_TRUE(a->exclusive);
    EXPECT_TRUE(a->bof && a->eof);
    EXPECT_EQ(a->record_length, 16);
    EXPECT_EQ(FieldCount(), 0);
    EXPECT_EQ(FieldAddress(0), buffer.data());
    EXPECT_EQ(buffer, std::vector<char>(16, 0));
    EXPECT_EQ(AreaFileName(), "SPLIT.TMP");
    EXPECT_EQ(Alias(), "SPLIT");

    CloseArea();
    EXPECT_EQ(calls.back(), "1 SPLIT");
    EXPECT_EQ(CurrentTable(), nullptr);

    // Without the store the area is still closed, with the store's error.
    USE("Split.tmp virtual file", buffer);
    Engine().attachments.vfile.reset();
    CloseArea();
    ExpectError(1101, "Virtual File Manager Unit not Linked in [SPLIT]");
    EXPECT_EQ(CurrentTable(), nullptr);
}

TEST_F(VirtualFiles, AnOpenTheStoreRefusesLeavesTheAreaEmpty) {
    AttachStore<FunctionStore>().dispatch = [](TWorkArea&, VFileRequest request, int32_t) -> Status {
        if (request == VFileRequest::Open) return Fail(220, "no list for you");
        return {};
    };
    USE("work virtual file", buffer);
    ExpectError(220, "no list for you");
    EXPECT_EQ(CurrentTable(), nullptr);
}

TEST_F(VirtualFiles, AFailedCloseDoesNotStopTheNextOpen) {
    const std::string path = Simple("t.dbf");
    USE("work virtual file", buffer);
    Engine().attachments.vfile.reset();
    USE(path);  // closing the virtual file reports 1101 first
    ASSERT_NE(CurrentTable(), nullptr);
    EXPECT_EQ(AreaFileName(), path);
    EXPECT_EQ(RecNo(), 1);

    InstallStore();
    USE("work virtual file", buffer);
    USE("again virtual file", buffer);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(Alias(), "AGAIN");
}

TEST_F(VirtualFiles, StorageClassAndAddModeWordsAreReadAndRemoved) {
    struct Case {
        std::string command;
        uint8_t storage, mode;
        std::string alias, name;
    };
    const std::vector<Case> cases = {
        {"work LINKED LIST", 1, 0, "WORK", "WORK"},
        {"work linked list to xms", 3, 0, "WORK", "WORK"},
        {"work linked list to ext", 3, 0, "WORK", "WORK"},
        {"work linked list TO EMS LIFO", 2, 1, "WORK", "WORK"},
        {"work virtual file to biggest descending", 5, 4, "WORK", "WORK"},
        {"work virtual file to ems to heap insertion", 1, 2, "WORK", "WORK"},
        {"work virtual file fifo ascending alias w2", 1, 3, "W2", "WORK ALIAS W2"},
        {"work virtual file lifo fifo", 1, 1, "WORK", "WORK"},
    };
    for (const Case& c : cases) {
        USE(c.command, buffer);
        ASSERT_EQ(LastErrorCode(), 0) << c.command << ": " << LastErrorMessage();
        const TWorkArea* a = CurrentTable();
        EXPECT_EQ(a->storage_class, c.storage) << c.command;
        EXPECT_EQ(a->vfile_mode, c.mode) << c.command;
        EXPECT_EQ(Alias(), c.alias) << c.command;
        EXPECT_EQ(AreaFileName(), c.name) << c.command;
    }
}

TEST_F(VirtualFiles, AreRefusedWithoutStoreBufferOrFreeAlias) {
    const std::string command = "work virtual file";
    USE(command, {});
    ExpectError(220, "NIL buffer pointer [USE(" + command + ",Nil,<size>)]");
    EXPECT_EQ(CurrentTable(), nullptr);

    USE(command, buffer);
    Select(2);
    calls.clear();
    std::vector<char> second(8, 'y');
    USE("WORK.X LINKED LIST", second);
    ExpectError(220, "Alias name \"WORK\" already in use. [USE]");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(second, std::vector<char>(8, 'y'));
    EXPECT_EQ(CurrentTable(), nullptr);

    Engine().attachments.vfile.reset();
    USE("other virtual file", second);
    ExpectError(1101, "[USE(other virtual file,<@Buffer>,<size>)]");
    EXPECT_EQ(CurrentTable(), nullptr);

    UseOptions o;
    o.is_virtual = true;
    o.file_name = "lower.tmp";
    o.buffer = second;
    InstallStore();
    Select(3);
    UseTable(o);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Alias(), "LOWER");
}

// --- field information ---

class FieldInformation : public AreasTest {
protected:
    void SetUp() override {
        AreasTest::SetUp();
        path_ = CreateTable("t.dbf",
                            {{"NAME", 'C', 10, 0},
                             {"AMOUNT", 'N', 8, 2},
                             {"QTY", 'N', 5, 0},
                             {"WHEN", 'D', 8, 0},
                             {"OK", 'L', 1, 0},
                             {"NOTE", 'M', 10, 0}});
        AppendRaw(path_,
                  {std::string(" ") + "Alice     " + "   12.50" + "   42" + "20240131" + "T" + "         7",
                   std::string("*") + "Bob       " + "   -3.25" + "    0" + "        " + "F" + "          ",
                   std::string(" ") + "Carol     " + "    0.00" + "  -11" + "        " + "?" + "        -2"});
        SetDateFormat(2);
        USE(path_);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    std::string path_;
};

TEST_F(FieldInformation, DescribesTheFields) {
    EXPECT_EQ(FieldCount(), 6);
    EXPECT_EQ(RecSize(), 1 + 10 + 8 + 5 + 8 + 1 + 10);
    const std::vector<std::string> names = {"NAME", "AMOUNT", "QTY", "WHEN", "OK", "NOTE"};
    const std::string types = "CNNDLM";
    const std::vector<int> lengths = {10, 8, 5, 8, 1, 10};
    const std::vector<int> decimals = {0, 2, 0, 0, 0, 0};
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(Field(n), names[n - 1]);
        EXPECT_EQ(FieldType(n), types[n - 1]);
        EXPECT_EQ(FieldLen(n), lengths[n - 1]);
        EXPECT_EQ(FieldDec(n), decimals[n - 1]);
    }
    SetCentury(true);
    EXPECT_EQ(FieldLen(4), 10);
    SetCentury(false);
    EXPECT_EQ(FieldLen(4), 8);
    EXPECT_EQ(LastErrorCode(), 0);

    // Slots: delete flag, C length byte + 10, 8-byte number, 8-byte integer,
    // date length byte + 10, logical byte, 4-byte memo block.
    const char* base = FieldAddress(0);
    const std::vector<int> offsets = {1, 12, 20, 28, 39, 40};
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(FieldAddress(n) - base, offsets[n - 1]) << n;
}

TEST_F(FieldInformation, FindsFieldsByName) {
    EXPECT_EQ(FieldNo("amount"), 2);
    EXPECT_EQ(FieldNo("Note  "), 6);
    EXPECT_EQ(FieldNo("WHEN_IT_WAS"), 0);
    EXPECT_EQ(FieldNo("OKAY"), 0);
    EXPECT_EQ(FieldNo(""), 0);
    // Names are cut to ten characters before comparing.
    const std::string path = CreateTable("long.dbf", {{"ABCDEFGHIJ", 'C', 1, 0}});
    AppendRaw(path, {" x"});
    USE(path);
    EXPECT_EQ(FieldNo("abcdefghijKLM"), 1);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(FieldInformation, ShowsValuesAsText) {
    EXPECT_EQ(FieldText(1), "Alice     ");
    EXPECT_EQ(FieldText(2), "   12.50");
    EXPECT_EQ(FieldText(3), "   42");
    EXPECT_EQ(FieldText(4), "31/01/24");
    EXPECT_EQ(FieldText(5), "Y");
    EXPECT_EQ(FieldText(6), "MEMO");
    EXPECT_FALSE(Deleted());

    SKIP(1);
    EXPECT_TRUE(Deleted());
    EXPECT_EQ(FieldText(2), "   -3.25");
    EXPECT_EQ(FieldText(3), "    0");
    EXPECT_EQ(FieldText(5), "N");
    EXPECT_EQ(FieldText(6), "none");

    SKIP(1);
    EXPECT_EQ(FieldText(3), "  -11");
    EXPECT_EQ(FieldText(6), "BLOB");
    SetNumberSeparators(',', '.');
    Settings().true_text = "J";
    GO(1);
    EXPECT_EQ(FieldText(2), "   12,50");
    EXPECT_EQ(FieldText(5), "J");
}

TEST_F(FieldInformation, RefusesFieldNumbersOutOfRange) {
    struct Case {
        std::function<void(int)> call;
        std::string label;
    };
    const std::vector<Case> cases = {
        {[](int n) { EXPECT_EQ(Field(n), ""); }, "Field("},
        {[](int n) { EXPECT_EQ(FieldType(n), ' '); }, "FieldType("},
        {[](int n) { EXPECT_EQ(FieldLen(n), 0); }, "FieldLen("},
        {[](int n) { EXPECT_EQ(FieldDec(n), 0); }, "FieldDec("},
        {[](int n) { EXPECT_EQ(FieldText(n), ""); }, "FieldText("},
        {[](int n) { EXPECT_EQ(FieldAddress(n), nullptr); }, "FieldAddress("},
    };
    for (const Case& c : cases) {
        for (int n : {7, -1}) {
            SetLastErrorCode(0);
            c.call(n);
            ExpectError(220, "Invalid field number. [" + c.label + std::to_string(n) + ")]");
        }
    }
    SetLastErrorCode(0);
    Field(0);
    ExpectError(220, "Invalid field number. [Field(0)]");
}

TEST_F(FieldInformation, ConvertsBetweenRecordAndSwapBuffer) {
    TWorkArea& a = *CurrentTable();
    ClearRecord();
    EXPECT_EQ(std::string(a.record.data(), a.record.size()), std::string(a.record.size(), ' '));
    EXPECT_EQ(FieldText(1), std::string(10, ' '));
    EXPECT_EQ(FieldText(3), "    0");
    EXPECT_FALSE(Deleted());

    SetSwapString(a, a.fields[0], "Zed");
    SetSwapNumber(a, a.fields[1], 7.5);
    SetSwapDeleted(a, true);
    ASSERT_TRUE(SwapBufferToRecord());
    EXPECT_EQ(std::string(a.record.data(), 19), std::string("*") + "Zed       " + "    7.50");

    std::memcpy(a.record.data() + 1, "Yvonne", 6);
    RecordToSwapBuffer();
    EXPECT_EQ(FieldText(1), "Yvonne    ");

    SetSwapInteger(a, a.fields[2], 123456);  // too wide for N 5
    EXPECT_FALSE(SwapBufferToRecord());
    EXPECT_EQ(LastErrorCode(), 201);
    EXPECT_EQ(std::string(a.record.data() + 1, 6), "Yvonne");
}

TEST_F(FieldInformation, TheProductionIndexFlagIsWrittenWithTheHeader) {
    EXPECT_FALSE(GetIndexFlag());
    SetIndexFlag(true);
    EXPECT_TRUE(GetIndexFlag());
    EXPECT_EQ(AreaIndexBlock(), nullptr);
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path_)[28], 1);
    USE(path_);
    EXPECT_TRUE(GetIndexFlag());
}

// --- empty areas and the busy engine ---

TEST_F(AreasTest, EveryOperationOnAnEmptyAreaReports215) {
    Select(4);
    struct Case {
        std::function<bool()> neutral;
        std::string label;
    };
    const std::vector<Case> cases = {
        {[] { return FieldCount() == 0; }, "FieldCount()"},
        {[] { return Field(1).empty(); }, "Field()"},
        {[] { return FieldNo("NAME") == 0; }, "FieldNo()"},
        {[] { return FieldType(1) == ' '; }, "FieldType()"},
        {[] { return FieldLen(1) == 0; }, "FieldLen()"},
        {[] { return FieldDec(1) == 0; }, "FieldDec()"},
        {[] { return FieldAddress(0) == nullptr; }, "FieldAddress("},
        {[] { return FieldText(1).empty(); }, "FieldText()"},
        {[] { return !Deleted(); }, "Deleted"},
        {[] { return RecSize() == 0; }, "RecSize"},
        {[] { return ClearRecord(), true; }, "ClearRecord"},
        {[] { return RecordToSwapBuffer(), true; }, "RecordToSwapBuffer"},
        {[] { return !SwapBufferToRecord(); }, "SwapBufferToRecord"},
        {[] { return !GetIndexFlag(); }, "GetIndexFlag"},
        {[] { return SetIndexFlag(true), true; }, "SetIndexFlag"},
        {[] { return CheckArea("ALock"); }, "ALock"},
    };
    for (const Case& c : cases) {
        SetLastErrorCode(0);
        EXPECT_TRUE(c.neutral()) << c.label;
        ExpectError(215, "No database in use [" + c.label + "]  WorkArea = 4");
    }

    // These answer for an empty slot without an error.
    SetLastErrorCode(0);
    EXPECT_EQ(AreaFileName(), "");
    EXPECT_EQ(Alias(), "");
    EXPECT_EQ(AreaIndexBlock(), nullptr);
    CloseArea();
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(AreasTest, AWaitingEngineRefusesAreaChanges) {
    const std::string path = Simple("t.dbf");
    USE(path);
    {
        EngineWait busy;
        Select(2);
        EXPECT_EQ(LastErrorCode(), 254);
        EXPECT_EQ(CurrentArea(), 1);
        SetLastErrorCode(0);
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 254);
        SetLastErrorCode(0);
        USE("");
        EXPECT_EQ(LastErrorCode(), 254);
        SetLastErrorCode(0);
        EXPECT_TRUE(CheckArea("GoTop"));
        EXPECT_EQ(LastErrorCode(), 254);
    }
    EXPECT_NE(CurrentTable(), nullptr);
    EXPECT_EQ(AreaFileName(), path);
}

// Debug builds hold the engine to the thread that started it: a command from
// another thread ends the program, naming the command. Once the engine is
// shut down, another thread may start one of its own and use it.
TEST_F(AreasTest, ACommandFromAnotherThreadIsStopped) {
    if (!platform::kThreadChecks) GTEST_SKIP() << "release build: no checks";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts afresh, without this process's threads
    const std::string path = Simple("t.dbf");
    USE(path);
    struct Case {
        const char* label;  // as a pattern
        std::function<void()> command;
    } cases[] = {
        {"Select\\(2\\)", [] { Select(2); }}, {"USE", [path] { USE(path); }}, {"CloseArea", [] { CloseArea(); }},
        {"GoTop", [] { GoTop(); }},           {"RLock", [] { RLock(); }},
    };
    for (const Case& c : cases) {
        auto from_another_thread = [&c] { std::thread(c.command).join(); };
        const std::string said = std::string("Wrong thread: ") + c.label + " was called on thread [0-9]+, but ";
        EXPECT_DEATH(from_another_thread(), said + "the table engine belongs to thread [0-9]+") << c.label;
    }

    EngineShutdown();
    int32_t count = -1;
    std::thread own([&] {
        EngineInit();
        SetErrorHandling(false);
        USE(path);
        GoTop();
        if (LastErrorCode() == 0) count = RecCount();
        EngineShutdown();
    });
    own.join();
    EXPECT_EQ(count, 3);
}

}  // namespace
