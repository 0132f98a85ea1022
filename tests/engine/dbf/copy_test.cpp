#include "engine/dbf/copy.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/vfile/vfile.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"
#include "platform/numbers.hpp"
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

// The bytes after the header: the records and the end mark.
std::string RecordBytes(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    const size_t hl = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    return bytes.substr(hl);
}

// Sets a field of the current area's swap buffer from a canonical value:
// C text, N and F decimal text, D YYYYMMDD, L T or F, M a block number.
void SetValue(const FieldInfo& f, const std::string& value) {
    TWorkArea& a = *CurrentTable();
    double number = 0;
    int64_t whole = 0;
    switch (f.type) {
    case 'C': SetSwapString(a, f, value); break;
    case 'N':
    case 'F':
        if (f.decimals == 0 && platform::ParseInt64(value, whole)) {
            SetSwapInteger(a, f, whole);
        } else {
            platform::ParseDouble(value, number);
            SetSwapNumber(a, f, number);
        }
        break;
    case 'D': SetSwapString(a, f, StoredToDate(value)); break;
    case 'L': SetSwapLogical(a, f, value == "T"); break;
    case 'M': SetSwapMemo(a, f, std::stoi(value)); break;
    default: break;
    }
}

void AddRow(const std::vector<std::string>& values, bool deleted = false) {
    TWorkArea& a = *CurrentTable();
    ClearRecord();
    for (size_t i = 0; i < values.size(); ++i) SetValue(a.fields[i], values[i]);
    SetSwapDeleted(a, deleted);
    Append();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

std::string PeersScript() {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "peers" / "peers.py").string();
}

// Runs the peer script with Debian's interpreter (the one that has the
// peer libraries); the output, or a test failure with what it printed.
std::string RunPeers(const std::string& args) {
    const std::string command = "/usr/bin/python3 '" + PeersScript() + "' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string out;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
}

const std::vector<FieldDef> kSalesFields = {
    {"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 9, 2}, {"QTY", 'N', 4, 0}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}};

class CopyTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        SetDateFormat(0);
        SetCentury(true);
        VFileInit();
    }

    // A table with rows (canonical values), left open exclusively in `area`.
    std::string OpenTable(const std::string& file, const std::vector<FieldDef>& fields,
                          const std::vector<std::vector<std::string>>& rows, uint8_t area = 1,
                          const std::vector<bool>& deleted = {}) {
        const std::string path = CreateTable(file, fields);
        Select(area);
        USE(path + " EXCLUSIVE");
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        for (size_t i = 0; i < rows.size(); ++i) AddRow(rows[i], i < deleted.size() && deleted[i]);
        GoTop();
        return path;
    }
    // The same, closed again.
    std::string MakeTable(const std::string& file, const std::vector<FieldDef>& fields,
                          const std::vector<std::vector<std::string>>& rows, const std::vector<bool>& deleted = {}) {
        const uint8_t area = CurrentArea();
        const std::string path = OpenTable(file, fields, rows, 30, deleted);
        CloseArea();
        Select(area);
        return path;
    }
    std::string OpenSales(uint8_t area = 1, const std::string& file = "SALES.DBF") {
        return OpenTable(file, kSalesFields,
                         {{"SMITH", "12.50", "3", "20240115", "T"},
                          {"M\xFCller", "7.25", "1", "19991231", "F"},
                          {"JONES", "100.00", "12", "", "T"},
                          {"SMALL", "0.05", "7", "20000229", "F"}},
                         area, {false, false, true, false});
    }
    // Field values of every record of the table open in the current area.
    static std::vector<std::vector<std::string>> Values() {
        std::vector<std::vector<std::string>> rows;
        for (int32_t r = 1; r <= RecCount(); ++r) {
            GO(r);
            std::vector<std::string> row = {Deleted() ? "*" : " "};
            for (int n = 1; n <= FieldCount(); ++n) row.push_back(FieldText(n));
            rows.push_back(row);
        }
        return rows;
    }
};

TEST_F(CopyTest, CopyToWritesTheStructureAndEveryVisibleRecord) {
    const std::string source = OpenSales();
    const std::string target = dir_ / "OUT.DBF";
    GO(2);
    CopyTo(target);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
    EXPECT_TRUE(dEOF());

    const std::string copied = ReadFileBytes(target);
    const std::string original = ReadFileBytes(source);
    EXPECT_EQ(copied.substr(4, 4), original.substr(4, 4));      // count
    EXPECT_EQ(copied.substr(8, 153), original.substr(8, 153));  // layout and fields
    EXPECT_EQ(RecordBytes(target), RecordBytes(source));        // deleted one too

    SetIgnoreDel(true);
    CopyTo(dir_ / "VISIBLE");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Select(2);
    USE(dir_ / "VISIBLE");
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(Stored(1, 3), "SMALL     ");
    EXPECT_EQ(Stored(0, 3), " ");
}

TEST_F(CopyTest, CopyToConditionChoosesRecordsFromTheTop) {
    OpenSales();
    GO(3);
    std::vector<int32_t> asked;
    std::vector<std::string> scratch_aliases;
    CopyTo(dir_ / "ODD", [&] {
        asked.push_back(RecNo());
        scratch_aliases.push_back(AreaAt(kScratchArea) ? AreaAt(kScratchArea)->alias : "");
        return RecNo() % 2 == 1;
    });
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(asked, (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(scratch_aliases, std::vector<std::string>(4, "?COPYTO?"));
    Select(2);
    USE(dir_ / "ODD");
    ASSERT_EQ(RecCount(), 2);
    EXPECT_EQ(Stored(1, 1), "SMITH     ");
    EXPECT_EQ(Stored(1, 2), "JONES     ");
    EXPECT_EQ(Stored(0, 2), "*");
}

TEST_F(CopyTest, CopyToRefusesATableOpenInAnyArea) {
    const std::string other = MakeTable("OTHER.DBF", {{"X", 'C', 3, 0}}, {{"abc"}});
    ASSERT_EQ(link(other.c_str(), (dir_ / "LINK.DBF").c_str()), 0);
    const std::string before = ReadFileBytes(other);
    Select(2);
    USE(other);
    const std::string source = OpenSales();
    const std::string source_before = ReadFileBytes(source);

    for (const std::string& name : {other, dir_ / "other", dir_ / "LINK.DBF"}) {
        CopyTo(name);
        EXPECT_EQ(LastErrorCode(), 214) << name;
        EXPECT_EQ(LastErrorMessage(),
                  "File: " + (name.ends_with(".DBF") ? name : name + ".DBF") + " is already in use. [CopyTo]");
        EXPECT_EQ(CurrentArea(), 1);
    }
    CopyTo(source);
    EXPECT_EQ(LastErrorCode(), 214);
    EXPECT_EQ(ReadFileBytes(other), before);
    EXPECT_EQ(ReadFileBytes(source), source_before);
}

TEST_F(CopyTest, CopyToRefusesATableOpenInAnotherProcess) {
    const std::string other = MakeTable("OTHER.DBF", {{"X", 'C', 3, 0}}, {{"abc"}});
    const std::string before = ReadFileBytes(other);
    ChildProcess child([&](const ChildProcess::Channel& channel) {
        USE(other);
        channel.Send(std::to_string(LastErrorCode()));
        channel.Receive();
    });
    ASSERT_EQ(child.Receive(), "0");
    OpenSales();
    CopyTo(other);
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(LastErrorMessage(), "Error writing " + other + ". [CreateDbf]");
    EXPECT_EQ(ReadFileBytes(other), before);
    child.Send("done");
    EXPECT_EQ(child.Wait(), 0);
}

TEST_F(CopyTest, CopyToAFolderThatCannotBeWrittenChangesNothing) {
    const std::string source = OpenSales();
    const std::string before = ReadFileBytes(source);
    const std::string target = dir_ / "missing/OUT.DBF";
    CopyTo(target);
    EXPECT_EQ(LastErrorCode(), 3);
    EXPECT_EQ(LastErrorMessage(), "Error writing " + target + ". [CreateDbf]");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));
    EXPECT_EQ(ReadFileBytes(source), before);
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
}

TEST_F(CopyTest, CopyToAsksBeforeOverwriting) {
    OpenSales();
    const std::string target = dir_ / "OUT.DBF";
    WriteFileBytes(target, "keep me");
    Settings().confirm = true;
    box_.answers = {platform::kIdCancel};
    CopyTo(target);
    EXPECT_EQ(LastErrorCode(), 0);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "Overwrite " + target);
    EXPECT_EQ(ReadFileBytes(target), "keep me");

    box_.answers = {platform::kIdOk};
    CopyTo(target);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Select(2);
    USE(target);
    EXPECT_EQ(RecCount(), 4);
}

TEST_F(CopyTest, CopyToTakesAVirtualFilesStructureAndRecords) {
    std::vector<char> buffer(64);
    Select(3);
    USE("LIST VIRTUAL FILE", buffer);
    CopyTo(dir_ / "EMPTY");
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "Virtual file has no structure to copy. [CopyTo(" + dir_ / "EMPTY" + ")]");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "EMPTY.DBF"));

    std::vector<FieldDef> fields = {
        {"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 9, 2}, {"WHEN", 'D', 8, 0}, {"OK", 'L', 1, 0}, {"NOTE", 'M', 0, 0}};
    AddStru(fields);
    AddRow({"PEAR", "2.50", "20240301", "T", "17"});
    AddRow({"APPLE", "-1.25", "", "F", "0"}, true);
    CopyTo(dir_ / "FROMV");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(CurrentArea(), 3);

    Select(4);
    USE(dir_ / "FROMV");
    ASSERT_EQ(FieldCount(), 5);
    EXPECT_EQ(FieldType(5), 'N');
    EXPECT_EQ(FieldLen(5), 10);
    EXPECT_EQ(RecCount(), 2);
    const std::string expected[2][6] = {{" ", "PEAR      ", "     2.50", "20240301", "T", "        17"},
                                        {"*", "APPLE     ", "    -1.25", "        ", "F", "         0"}};
    for (int32_t r = 1; r <= 2; ++r)
        for (uint8_t f = 0; f <= 5; ++f) EXPECT_EQ(Stored(f, r), expected[r - 1][f]) << r << "," << int{f};
}

TEST_F(CopyTest, ARecordThatCannotBeWrittenEndsTheCopyAndLeavesNoTable) {
    std::vector<char> buffer(64);
    Select(3);
    USE("LIST VIRTUAL FILE", buffer);
    std::vector<FieldDef> fields = {{"N", 'N', 3, 0}};
    AddStru(fields);
    for (const char* n : {"1", "2", "99999", "4"}) AddRow({n});

    CopyTo(dir_ / "CUT");
    EXPECT_EQ(LastErrorCode(), 201);
    EXPECT_EQ(CurrentArea(), 3);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);

    // Raised, the error leaves no scratch area behind either.
    {
        ErrorHandlingScope on(true);
        RaiseModeScope raise(true);
        EXPECT_THROW(CopyTo(dir_ / "RAISED"), EZurodError);
    }
    EXPECT_EQ(CurrentArea(), 3);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);

    for (const char* name : {"CUT.DBF", "RAISED.DBF"}) EXPECT_FALSE(std::filesystem::exists(dir_ / name)) << name;

    // The same for a source opened only for the append.
    const std::string source = MakeTable("CUT.DBF", {{"N", 'N', 3, 0}}, {{"1"}, {"2"}});
    const std::string target = MakeTable("TGT.DBF", {{"N", 'N', 3, 0}}, {});
    Select(5);
    USE(target);  // shared, and no append lock
    {
        ErrorHandlingScope on(true);
        RaiseModeScope raise(true);
        EXPECT_THROW(AppendFrom(source), EZurodError);
    }
    EXPECT_EQ(CurrentArea(), 5);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
}

TEST_F(CopyTest, CopyToGivesTheCopyItsOwnMemos) {
    const std::vector<FieldDef> fields = {{"NAME", 'C', 6, 0}, {"NOTES", 'M', 10, 0}, {"MORE", 'M', 10, 0}};
    Engine().attachments.memo.reset();
    const std::string source = OpenTable("MEMOS.DBF", fields, {{"none", "0", "0"}, {"two", "3", "5"}});
    CopyTo(dir_ / "OUT");
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Memo unit not linked into program. [CopyTo(" + dir_ / "OUT" + ")]");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "OUT.DBF"));
    CloseArea();

    std::vector<std::tuple<std::string, int32_t, std::string>> calls;
    std::vector<std::string> source_seen;
    FunctionMemo& memo_unit = AttachMemo<FunctionMemo>();
    memo_unit.copy = [&](TWorkArea& from, int32_t block, TWorkArea& to) {
        calls.emplace_back(from.alias, block, to.alias);
        // What the source holds while its memos are copied one by one.
        source_seen.push_back(std::to_string(SwapMemo(from, from.fields[1])) + " " +
                              std::string(from.record.data() + from.fields[1].offset, 10));
        return block + 100;
    };
    USE(source + " EXCLUSIVE");
    const std::string before = ReadFileBytes(source);
    CopyTo(dir_ / "OUT");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const decltype(calls) expected_calls = {{"MEMOS", 3, "?COPYTO?"}, {"MEMOS", 5, "?COPYTO?"}};
    EXPECT_EQ(calls, expected_calls);
    EXPECT_EQ(source_seen, std::vector<std::string>(2, "3          3"));
    EXPECT_EQ(ReadFileBytes(source), before);
    GO(2);
    EXPECT_EQ(SwapMemo(*CurrentTable(), CurrentTable()->fields[1]), 3);

    Select(2);
    USE(dir_ / "OUT");
    EXPECT_EQ(Stored(2, 1), "          ");
    EXPECT_EQ(Stored(2, 2), "       103");
    EXPECT_EQ(Stored(3, 2), "       105");
}

TEST_F(CopyTest, TablesMadeByCopyToReadTheSameInDbfread) {
    OpenSales();
    const std::string target = dir_ / "PEER.DBF";
    CopyTo(target);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const std::string expected =
        "version\t3\n"
        "count\t4\t4\n"
        "field\tNAME\tC\t10\t0\n"
        "field\tAMOUNT\tN\t9\t2\n"
        "field\tQTY\tN\t4\t0\n"
        "field\tWHEN\tD\t8\t0\n"
        "field\tOK\tL\t1\t0\n"
        "record\t \tSMITH\t12.50\t3\t20240115\tT\n"
        "record\t \t" +
        platform::AnsiToUtf8("M\xFCller") +
        "\t7.25\t1\t19991231\tF\n"
        "record\t \tSMALL\t0.05\t7\t20000229\tF\n"
        "record\t*\tJONES\t100.00\t12\t\tT\n";
    EXPECT_EQ(RunPeers("dump dbfread cp858 '" + target + "'"), expected);
}

TEST_F(CopyTest, AppendFromMatchesFieldsByName) {
    OpenSales(2);
    CloseArea();
    const std::string source = dir_ / "SALES.DBF";
    const std::string target =
        OpenTable("TARGET.DBF", {{"WHEN", 'D', 8, 0}, {"NAME", 'C', 4, 0}, {"EXTRA", 'C', 5, 0}, {"AMOUNT", 'C', 5, 0}},
                  {{"20010101", "OLD", "keep", "x"}});
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
    const std::vector<std::vector<std::string>> expected = {
        {" ", "01/01/2001", "OLD ", "keep ", "x    "},    {" ", "01/15/2024", "SMIT", "     ", "12.50"},
        {" ", "12/31/1999", "M\xFCll", "     ", " 7.25"}, {"*", "  /  /    ", "JONE", "     ", "*****"},
        {" ", "02/29/2000", "SMAL", "     ", " 0.05"},
    };
    EXPECT_EQ(Values(), expected);
}

struct Conversion {
    FieldDef target;
    FieldDef source;
    std::string value;   // canonical, as the source stores it
    std::string stored;  // what the target field holds afterwards
    uint8_t date_code = 0;
};

TEST_F(CopyTest, AppendFromConvertsEveryPairOfFieldTypes) {
    const std::vector<Conversion> table = {
        {{"V", 'C', 10}, {"V", 'C', 5}, "ABCDE", "ABCDE     "},
        {{"V", 'C', 3}, {"V", 'C', 5}, "ABCDE", "ABC"},
        {{"V", 'C', 8}, {"V", 'N', 7, 2}, "12.50", "   12.50"},
        {{"V", 'C', 4}, {"V", 'N', 7, 2}, "123.45", "****"},
        {{"V", 'C', 5}, {"V", 'F', 6, 0}, "42", "   42"},
        {{"V", 'C', 20}, {"V", 'N', 18, 0}, "9007199254740993", "    9007199254740993"},
        {{"V", 'C', 1}, {"V", 'L', 1}, "T", "T"},
        {{"V", 'C', 2}, {"V", 'L', 1}, "F", "F "},
        {{"V", 'C', 10}, {"V", 'D', 8}, "20240115", "01/15/2024"},
        {{"V", 'C', 8}, {"V", 'D', 8}, "20240115", "01/15/24"},
        {{"V", 'C', 8}, {"V", 'D', 8}, "20240115", "24.01.15", 1},
        {{"V", 'C', 8}, {"V", 'D', 8}, "20240115", "15.01.24", 4},
        {{"V", 'N', 6}, {"V", 'C', 5}, " 42  ", "    42"},
        {{"V", 'N', 7, 2}, {"V", 'C', 5}, "3.25", "   3.25"},
        {{"V", 'N', 5}, {"V", 'N', 7, 2}, "12.75", "   12"},
        {{"V", 'N', 5}, {"V", 'N', 7, 2}, "-12.75", "  -12"},
        {{"V", 'F', 7, 2}, {"V", 'N', 5}, "42", "  42.00"},
        {{"V", 'N', 18}, {"V", 'N', 18}, "9007199254740993", "  9007199254740993"},
        {{"V", 'L', 1}, {"V", 'L', 1}, "T", "T"},
        {{"V", 'L', 1}, {"V", 'C', 1}, "T", "F"},
        {{"V", 'L', 1}, {"V", 'N', 3}, "1", "F"},
        {{"V", 'L', 1}, {"V", 'D', 8}, "20240115", "F"},
        {{"V", 'D', 8}, {"V", 'D', 8}, "20240115", "20240115"},
        {{"V", 'D', 8}, {"V", 'C', 10}, "01/15/2024", "20240115"},
        {{"V", 'D', 8}, {"V", 'C', 10}, "hello", "        "},
        {{"V", 'D', 8}, {"V", 'N', 8}, "20240115", "        "},
        {{"V", 'D', 8}, {"V", 'L', 1}, "T", "        "},
        {{"V", 'N', 6}, {"V", 'L', 1}, "T", "     0"},
        {{"V", 'N', 6}, {"V", 'D', 8}, "20240115", "     0"},
        {{"V", 'C', 5}, {"V", 'M', 10}, "7", "     "},
    };
    AttachMemo<FunctionMemo>();
    int n = 0;
    for (const Conversion& c : table) {
        SCOPED_TRACE(std::string(1, c.target.type) + std::to_string(c.target.length) + " <- " +
                     std::string(1, c.source.type) + " " + c.value);
        ++n;
        SetDateFormat(0);
        const std::string source =
            MakeTable("S" + std::to_string(n) + ".DBF", {c.source, {"OTHER", 'C', 1, 0}}, {{c.value, "x"}});
        OpenTable("T" + std::to_string(n) + ".DBF", {c.target}, {});
        SetDateFormat(c.date_code);
        AppendFrom(source);
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(Stored(1, 1), c.stored);
        CloseArea();
    }
}

TEST_F(CopyTest, AppendFromStoresTextAndCopiesMemosIntoTheTargetsMemoFile) {
    std::vector<std::string> stored;
    std::vector<std::tuple<std::string, int32_t, std::string>> copied;
    FunctionMemo& memo_unit = AttachMemo<FunctionMemo>();
    memo_unit.store = [&](TWorkArea& to, const std::string& text) {
        stored.push_back(to.alias + ":" + text);
        return 40;
    };
    memo_unit.copy = [&](TWorkArea& from, int32_t block, TWorkArea& to) {
        copied.emplace_back(from.alias, block, to.alias);
        return block + 50;
    };
    const std::string source = MakeTable("SRC.DBF", {{"A", 'C', 12, 0}, {"B", 'M', 10, 0}, {"C", 'C', 3, 0}},
                                         {{"note text", "3", "x"}, {"", "0", "y"}});
    const std::string same = MakeTable("SAME.DBF", {{"A", 'C', 12, 0}, {"B", 'M', 10, 0}, {"C", 'C', 3, 0}}, {});
    OpenTable("TGT.DBF", {{"A", 'M', 10, 0}, {"B", 'M', 10, 0}}, {});
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(stored, std::vector<std::string>{"TGT:note text"});
    const decltype(copied) expected = {{"*FROMFILE", 3, "TGT"}};
    EXPECT_EQ(copied, expected);
    EXPECT_EQ(Stored(1, 1), "        40");
    EXPECT_EQ(Stored(2, 1), "        53");
    EXPECT_EQ(Stored(1, 2), "          ");
    EXPECT_EQ(Stored(2, 2), "          ");

    // Identical structures take the records whole and still copy the memos.
    copied.clear();
    Select(2);
    USE(same + " EXCLUSIVE");
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(copied, (decltype(copied){{"*FROMFILE", 3, "SAME"}}));
    EXPECT_EQ(Stored(1, 1), "note text   ");
    EXPECT_EQ(Stored(2, 1), "        53");
    EXPECT_EQ(Stored(2, 2), "          ");

    Engine().attachments.memo.reset();
    SetLastErrorCode(0);
    AppendFrom(source);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Memo unit not linked into program. [AppendFrom(" + source + ")]");
    EXPECT_EQ(RecCount(), 2);
}

TEST_F(CopyTest, AppendFromMovesDatesByTheirStoredDigits) {
    // Dates outside the century window would come back in the wrong century
    // if they went through their two-digit text.
    const std::string source =
        MakeTable("OLD.DBF", {{"WHEN", 'D', 8, 0}, {"NOTE", 'C', 2, 0}}, {{"18500304", "a"}, {"21230607", "b"}});
    SetCentury(false);
    OpenTable("NEW.DBF", {{"WHEN", 'D', 8, 0}}, {});
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Stored(1, 1), "18500304");
    EXPECT_EQ(Stored(1, 2), "21230607");
}

TEST_F(CopyTest, AppendFromRefusesToAppendATableToItself) {
    const std::string path = OpenSales();
    ASSERT_EQ(link(path.c_str(), (dir_ / "HARD.DBF").c_str()), 0);
    const std::string before = ReadFileBytes(path);
    for (const std::string& name : {path, dir_ / "sales", dir_ / "HARD"}) {
        AppendFrom(name);
        EXPECT_EQ(LastErrorCode(), 214) << name;
        EXPECT_EQ(LastErrorMessage(), "Attempting to append file to itself. [AppendFrom(" + name + ")]");
    }
    EXPECT_EQ(RecCount(), 4);
    EXPECT_EQ(ReadFileBytes(path), before);

    // Also when the table is open a second time in another area.
    CloseArea();
    USE(path);
    Select(2);
    USE(dir_ / "HARD.DBF");
    Select(1);
    AppendFrom(dir_ / "HARD.DBF");
    EXPECT_EQ(LastErrorCode(), 214);
    EXPECT_EQ(RecCount(), 4);
}

TEST_F(CopyTest, AppendFromAnOpenSourceStartsAtItsRecordAndFollowsTheCondition) {
    OpenSales(2);
    GO(2);
    OpenTable("TGT.DBF", {{"NAME", 'C', 10, 0}}, {});
    int calls = 0;
    std::vector<uint8_t> areas;
    AppendFrom(dir_ / "SALES", [&] {
        areas.push_back(CurrentArea());
        return ++calls <= 2;
    });
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(areas, (std::vector<uint8_t>{2, 2, 2}));
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(Values(), (std::vector<std::vector<std::string>>{{" ", "M\xFCller    "}, {"*", "JONES     "}}));

    // Without a condition every visible record from the first.
    Select(2);
    SetIgnoreDel(true);
    Select(1);
    AppendFrom(dir_ / "SALES");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 5);
    GO(5);
    EXPECT_EQ(FieldText(1), "SMALL     ");
}

TEST_F(CopyTest, AppendFromAClosedFileOpensItOnlyWhileItRuns) {
    const std::string source = MakeTable("SRC.DBF", {{"NAME", 'C', 10, 0}}, {{"A"}, {"B"}, {"C"}}, {false, true});
    OpenTable("TGT.DBF", {{"NAME", 'C', 10, 0}}, {});
    SetIgnoreDel(true);
    AppendFrom(source, [] { return false; });  // not used for a file that was not open
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
    SetIgnoreDel(false);
    EXPECT_EQ(Values(),
              (std::vector<std::vector<std::string>>{{" ", "A         "}, {"*", "B         "}, {" ", "C         "}}));
}

TEST_F(CopyTest, AppendFromStopsAtTheSourcesCountTakenAtTheStart) {
    OpenTable("SRC.DBF", {{"NAME", 'C', 10, 0}}, {{"A"}, {"B"}, {"C"}}, 2);
    OpenTable("TGT.DBF", {{"NAME", 'C', 10, 0}}, {});
    int grown = 0;
    AppendFrom(dir_ / "SRC.DBF", [&] {
        // Each record read adds one behind it; the copy must not chase them.
        if (++grown > 10) return false;
        const int32_t at = RecNo();
        AddRow({"NEW"});
        GO(at);
        return true;
    });
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(grown, 3);
    EXPECT_EQ(RecCount(), 3);
    Select(2);
    EXPECT_EQ(RecCount(), 6);
}

TEST_F(CopyTest, AppendFromReportsBadSourcesAndChangesNoTable) {
    const std::string target = OpenTable("TGT.DBF", {{"NAME", 'C', 10, 0}}, {{"A"}});
    FlushDbf();
    const std::string before = ReadFileBytes(target);
    const std::string corrupt = dir_ / "BAD.DBF";
    const std::string garbage = "\x30 this is no table at all, not even close";
    WriteFileBytes(corrupt, garbage);

    AppendFrom(dir_ / "NOWHERE");
    EXPECT_EQ(LastErrorCode(), 2);
    EXPECT_EQ(LastErrorMessage(), "[AppendFrom(" + dir_ / "NOWHERE" + ")]");
    AppendFrom(corrupt);
    EXPECT_EQ(LastErrorCode(), 210);
    EXPECT_EQ(LastErrorMessage(), corrupt + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
    AppendFrom("SPLITS VIRTUAL FILE");
    EXPECT_EQ(LastErrorCode(), 215);
    EXPECT_EQ(LastErrorMessage(), "Virtual file must be open. [AppendFrom(SPLITS VIRTUAL FILE)]");
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);
    EXPECT_EQ(RecCount(), 1);
    CloseArea();
    EXPECT_EQ(ReadFileBytes(target), before);
    EXPECT_EQ(ReadFileBytes(corrupt), garbage);

    AppendFrom(target);
    EXPECT_EQ(LastErrorCode(), 215);
    EXPECT_EQ(LastErrorMessage(), "[AppendFrom(" + target + ")]");
}

TEST_F(CopyTest, AppendFromASharedTargetNeedsTheAppendLock) {
    const std::string source = MakeTable("SRC.DBF", {{"NAME", 'C', 10, 0}}, {{"A"}, {"B"}});
    const std::string target = MakeTable("TGT.DBF", {{"NAME", 'C', 10, 0}}, {});
    USE(target);
    ASSERT_FALSE(CurrentTable()->exclusive);
    AppendFrom(source);
    EXPECT_EQ(LastErrorCode(), 5);
    EXPECT_EQ(LastErrorMessage(), "File must be locked to append: " + target + " [APPEND]");
    EXPECT_EQ(RecCount(), 0);
    EXPECT_EQ(AreaAt(kScratchArea), nullptr);

    ASSERT_TRUE(ALock());
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 2);
}

TEST_F(CopyTest, AppendFromMovesRecordsBetweenVirtualFilesAndTables) {
    std::vector<char> buffer(64);
    Select(2);
    USE("SPLITS VIRTUAL FILE", buffer);
    std::vector<FieldDef> fields = {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 9, 2}};
    AddStru(fields);
    AddRow({"PEAR", "2.50"});
    AddRow({"PLUM", "-1.25"}, true);

    OpenTable("TGT.DBF", {{"AMOUNT", 'C', 6, 0}, {"NAME", 'C', 3, 0}}, {});
    AppendFrom("splits virtual file");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Values(), (std::vector<std::vector<std::string>>{{" ", "  2.50", "PEA"}, {"*", " -1.25", "PLU"}}));
    CloseArea();

    // And from a table file into the virtual file, whose structure differs.
    const std::string source = MakeTable("SRC.DBF", {{"AMOUNT", 'N', 5, 1}, {"CODE", 'C', 2, 0}}, {{"9.5", "zz"}});
    Select(2);
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    ASSERT_EQ(RecCount(), 3);
    GO(3);
    EXPECT_DOUBLE_EQ(SwapNumber(*CurrentTable(), CurrentTable()->fields[1]), 9.5);
    EXPECT_EQ(SwapString(*CurrentTable(), CurrentTable()->fields[0]), "");
}

TEST_F(CopyTest, AppendFromTakesATableWrittenByPythonDbf) {
    const std::string peer = dir_ / "PEER.DBF";
    const std::string spec = dir_ / "peer.spec";
    WriteFileBytes(spec,
                   "table\t" + peer +
                       "\tdb3\t0x02\tcp850\n"
                       "field\tNAME\tC\t10\t0\n"
                       "field\tAMOUNT\tN\t9\t2\n"
                       "field\tQTY\tN\t4\t0\n"
                       "field\tWHEN\tD\t8\t0\n"
                       "field\tOK\tL\t1\t0\n"
                       "record\t \tSMITH\t12.50\t3\t20240115\tT\n"
                       "record\t \t" +
                       platform::AnsiToUtf8("M\xFCller") +
                       "\t7.25\t1\t19991231\tF\n"
                       "record\t*\tJONES\t100.00\t12\t18500304\tT\n");
    RunPeers("write '" + spec + "'");
    ASSERT_TRUE(std::filesystem::exists(peer));

    // The same structure (records taken whole) and a different one (field by field).
    OpenTable("SAME.DBF", kSalesFields, {});
    AppendFrom(peer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const std::vector<std::vector<std::string>> expected = {
        {" ", "SMITH     ", "    12.50", "   3", "01/15/2024", "Y"},
        {" ", "M\xFCller    ", "     7.25", "   1", "12/31/1999", "N"},
        {"*", "JONES     ", "   100.00", "  12", "03/04/1850", "Y"},
    };
    EXPECT_EQ(Values(), expected);

    OpenTable(
        "OTHER.DBF",
        {{"OK", 'L', 1, 0}, {"NAME", 'C', 12, 0}, {"WHEN", 'D', 8, 0}, {"AMOUNT", 'N', 10, 3}, {"QTY", 'C', 4, 0}}, {},
        2);
    SetCentury(false);
    AppendFrom(peer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Values(),
              (std::vector<std::vector<std::string>>{
                  {" ", "Y", "SMITH       ", "01/15/24", "    12.500", "   3"},
                  {" ", "N", "M\xFCller      ", "12/31/99", "     7.250", "   1"},
                  {"*", "Y", "JONES       ", "03/04/50", "   100.000", "  12"},
              }));
    EXPECT_EQ(Stored(3, 3), "18500304");
}

}  // namespace
