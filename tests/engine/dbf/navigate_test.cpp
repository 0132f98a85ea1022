#include "engine/dbf/navigate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/strings.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"

namespace {

using namespace zurod;
using testing_support::ChildProcess;

struct Layout {
    uint32_t count;
    uint16_t hl, rl;
};

Layout ReadLayout(std::fstream& f) {
    unsigned char h[12];
    f.seekg(0);
    f.read(reinterpret_cast<char*>(h), sizeof h);
    return {h[4] | (h[5] << 8) | (h[6] << 16) | (uint32_t{h[7]} << 24), static_cast<uint16_t>(h[8] | (h[9] << 8)),
            static_cast<uint16_t>(h[10] | (h[11] << 8))};
}

// Appends raw records (delete mark first) as another program would: the
// records and the end mark, then the header's count.
void AppendRaw(const std::string& path, const std::vector<std::string>& records) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    Layout l = ReadLayout(f);
    std::string bytes;
    for (std::string r : records) {
        r.resize(l.rl, ' ');
        bytes += r;
    }
    bytes += '\x1A';
    f.seekp(l.hl + static_cast<std::streamoff>(l.count) * l.rl);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    l.count += static_cast<uint32_t>(records.size());
    const char c[4] = {static_cast<char>(l.count), static_cast<char>(l.count >> 8), static_cast<char>(l.count >> 16),
                       static_cast<char>(l.count >> 24)};
    f.seekp(4);
    f.write(c, 4);
}

void OverwriteRaw(const std::string& path, int n, std::string record) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    const Layout l = ReadLayout(f);
    record.resize(l.rl, ' ');
    f.seekp(l.hl + static_cast<std::streamoff>(n - 1) * l.rl);
    f.write(record.data(), l.rl);
}

// Read system calls of this process so far.
uint64_t ReadCalls() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value)
        if (key == "syscr:") return value;
    ADD_FAILURE() << "no syscr line in /proc/self/io";
    return 0;
}

std::string Name() { return RTrim(FieldText(1)); }

using testing_support::ContainsFilter;
using testing_support::KeyOrderIndex;
using namespace testing_support;  // the index operation numbers

class NavigateTest : public testing_support::EngineTest {
protected:
    // A table of names; a name starting with '*' is a record marked deleted.
    std::string Table(const std::vector<std::string>& names, const std::string& file = "t.dbf") {
        const std::string path = CreateTable(file, {{"NAME", 'C', 4, 0}});
        std::vector<std::string> records;
        for (const std::string& n : names) records.push_back(n[0] == '*' ? n : " " + n);
        if (!records.empty()) AppendRaw(path, records);
        return path;
    }

    void Open(const std::vector<std::string>& names, const std::string& options = "") {
        path_ = Table(names);
        USE(path_ + options);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }

    std::vector<std::string> Forward() {
        std::vector<std::string> seen;
        for (GoTop(); !dEOF(); SKIP(1)) seen.push_back(Name());
        return seen;
    }
    std::vector<std::string> Backward() {
        std::vector<std::string> seen;
        GoBottom();
        if (dEOF()) return seen;
        for (;;) {
            seen.push_back(Name());
            SKIP(-1);
            if (dBOF()) break;
        }
        return seen;
    }

    std::string path_;
};

using Names = std::vector<std::string>;

// --- walking ---

TEST_F(NavigateTest, WalksThePhysicalOrder) {
    Open({"R1", "R2", "R3", "R4", "R5"});
    EXPECT_EQ(RecCount(), 5);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(Name(), "R1");
    EXPECT_FALSE(dBOF());
    EXPECT_FALSE(dEOF());

    SKIP(2);
    EXPECT_EQ(Name(), "R3");
    SKIP(-1);
    EXPECT_EQ(Name(), "R2");
    SKIP();
    EXPECT_EQ(RecNo(), 3);
    GoBottom();
    EXPECT_EQ(RecNo(), 5);
    EXPECT_EQ(Forward(), (Names{"R1", "R2", "R3", "R4", "R5"}));
    EXPECT_EQ(Backward(), (Names{"R5", "R4", "R3", "R2", "R1"}));
    EXPECT_EQ(LastErrorCode(), 0);

    GO(4);
    EXPECT_EQ(Name(), "R4");
    GoTopScope();
    EXPECT_EQ(RecNo(), 1);
    GoBottomScope();
    EXPECT_EQ(RecNo(), 5);
}

TEST_F(NavigateTest, RunningOffTheEndStandsOnABlankRecordPastIt) {
    Open({"R1", "R2", "R3"});
    GoBottom();
    SKIP(1);
    EXPECT_TRUE(dEOF());
    EXPECT_FALSE(dBOF());
    EXPECT_EQ(RecNo(), 4);
    EXPECT_EQ(FieldText(1), "    ");
    EXPECT_EQ(LastErrorCode(), 0);

    SKIP(1);
    ExpectError(212, "Database \"" + path_ + "\" is past EOF. [SKIP]");
    EXPECT_EQ(RecNo(), 4);

    SKIP(-1);
    EXPECT_EQ(Name(), "R3");
    EXPECT_FALSE(dEOF());

    // Two visible records ahead: a skip of three visits both and ends past them.
    GO(1);
    SKIP(3);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 4);
}

TEST_F(NavigateTest, RunningOffTheStartStaysOnTheFirstRecordWithBof) {
    Open({"R1", "R2", "R3"});
    GO(3);
    SKIP(-10);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_TRUE(dBOF());
    EXPECT_FALSE(dEOF());
    EXPECT_EQ(Name(), "R1");

    // At BOF a backward skip changes nothing and reports nothing.
    SKIP(-1);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(LastErrorCode(), 0);

    // Any move clears BOF.
    SKIP(1);
    EXPECT_FALSE(dBOF());
    GoTop();
    SKIP(-1);
    EXPECT_TRUE(dBOF());
    SKIP(0);
    EXPECT_FALSE(dBOF());
}

TEST_F(NavigateTest, GoOutsideTheTableReportsAndStandsPastTheEnd) {
    Open({"R1", "R2", "R3"});
    GO(2);
    for (int n : {0, 4, -7}) {
        GO(n);
        ExpectError(212, "Invalid record number = " + std::to_string(n) + " Database \"" + path_ + "\" [GO]");
        EXPECT_TRUE(dEOF());
        EXPECT_FALSE(dBOF());
        EXPECT_EQ(RecNo(), 4);
        EXPECT_EQ(Name(), "R2");  // the buffers keep what they held
        GO(2);
    }

    SetLastErrorCode(0);
    EXPECT_FALSE(GoToChecked(0));
    EXPECT_FALSE(GoToChecked(4));
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecNo(), 2);
    EXPECT_TRUE(GoToChecked(3));
    EXPECT_EQ(Name(), "R3");
}

TEST_F(NavigateTest, AnEmptyTableIsAtBothEnds) {
    Open({});
    EXPECT_EQ(RecCount(), 0);
    EXPECT_EQ(RecNo(), 0);
    EXPECT_TRUE(dBOF());
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(FieldText(1), "    ");

    GoTop();
    GoBottom();
    GoTopScope();
    GoBottomScope();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(dEOF());

    SKIP(1);
    ExpectError(212, "Database \"" + path_ + "\" is past EOF. [SKIP]");
    SKIP(-1);
    ExpectError(212, "Database \"" + path_ + "\" is empty. [SKIP]");
    EXPECT_TRUE(dBOF() && dEOF());
    GO(1);
    ExpectError(212, "Invalid record number = 1 Database \"" + path_ + "\" [GO]");
    EXPECT_TRUE(dBOF() && dEOF());
    SKIP(0);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(FieldText(1), "    ");
}

TEST_F(NavigateTest, RawGoIgnoresVisibility) {
    Open({"R1", "*R2", "R3"});
    SetIgnoreDel(true);
    Dbf4RawGo(2);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecNo(), 2);
    EXPECT_EQ(Name(), "R2");
    EXPECT_TRUE(Deleted());

    Dbf4RawGo(9);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecNo(), 4);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(FieldText(1), "    ");

    Dbf4RawGo(0);
    ExpectError(212, " [Dbf4RawGo]");
}

// --- visibility: deleted records and filters ---

TEST_F(NavigateTest, IgnoredDeletedRecordsArePassedOver) {
    Open({"*R1", "R2", "*R3", "*R4", "R5", "*R6"});
    EXPECT_EQ(Forward(), (Names{"R1", "R2", "R3", "R4", "R5", "R6"}));

    GO(3);
    EXPECT_FALSE(SetIgnoreDel(true));
    // Standing on a deleted record leaves it current.
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Deleted());
    SKIP(1);
    EXPECT_EQ(Name(), "R5");
    EXPECT_EQ(Forward(), (Names{"R2", "R5"}));
    EXPECT_EQ(Backward(), (Names{"R5", "R2"}));

    // A backward skip from the first visible record stays on it, with BOF.
    GoTop();
    EXPECT_EQ(RecNo(), 2);
    SKIP(-1);
    EXPECT_EQ(RecNo(), 2);
    EXPECT_TRUE(dBOF());

    GO(5);
    SKIP(1);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 7);
    EXPECT_TRUE(SetIgnoreDel(false));
}

TEST_F(NavigateTest, NothingVisibleEndsEveryWalkPastTheEnd) {
    Open({"*R1", "*R2", "*R3"});
    SetIgnoreDel(true);
    GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 4);

    GO(2);
    GoBottom();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(RecNo(), 4);
    EXPECT_EQ(FieldText(1), "    ");
    EXPECT_FALSE(Deleted());

    GO(2);
    SKIP(-1);
    EXPECT_TRUE(dBOF());
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(FieldText(1), "    ");
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(NavigateTest, FiltersNeedTheExpressionLanguage) {
    Open({"R1"});
    Set_Filter_To("R1");
    ExpectError(220, "TZParser unit not linked in. [Set_Filter_To]");
    EXPECT_TRUE(FilterTrue());
}

TEST_F(NavigateTest, AFilterHidesRecordsWithoutMovingThePointer) {
    ContainsFilter& expr = AttachExpressions<ContainsFilter>();
    Open({"ANN", "BOB", "AMY", "BEN", "ALF"});
    GO(2);
    Set_Filter_To("A  ");
    EXPECT_EQ(expr.compiled, 1);
    EXPECT_EQ(RecNo(), 2);
    EXPECT_FALSE(FilterTrue());
    SKIP(1);
    EXPECT_EQ(Name(), "AMY");
    EXPECT_EQ(Forward(), (Names{"ANN", "AMY", "ALF"}));
    EXPECT_EQ(Backward(), (Names{"ALF", "AMY", "ANN"}));

    // Replacing a filter releases the old one; an empty text only clears it.
    Set_Filter_To("B");
    EXPECT_EQ(expr.released, 1);
    EXPECT_EQ(Forward(), (Names{"BOB", "BEN"}));
    GO(3);
    Set_Filter_To("   ");
    EXPECT_EQ(expr.released, 2);
    EXPECT_EQ(expr.compiled, 2);
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(FilterTrue());
    EXPECT_EQ(Forward().size(), 5u);
}

TEST_F(NavigateTest, FilterEvaluationKeepsTheCurrentArea) {
    ContainsFilter& expr = AttachExpressions<ContainsFilter>();
    expr.wander = true;
    Open({"ANN", "BOB", "AMY"});
    Select(2);
    USE(Table({"ZED"}, "other.dbf"));
    Select(1);
    Set_Filter_To("A");
    EXPECT_EQ(Forward(), (Names{"ANN", "AMY"}));
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_FALSE(expr.areas.empty());
    for (uint8_t area : expr.areas) EXPECT_EQ(area, 1);
    GO(2);
    EXPECT_FALSE(FilterTrue());
    EXPECT_EQ(CurrentArea(), 1);
}

TEST_F(NavigateTest, SkipIfHiddenMovesToAVisibleRecord) {
    AttachExpressions<ContainsFilter>();
    Open({"BOB", "ANN", "BEN", "ALF", "AMY"});
    Set_Filter_To("B");
    GO(2);
    EXPECT_TRUE(SkipIfHidden());
    EXPECT_EQ(Name(), "BEN");
    EXPECT_FALSE(SkipIfHidden());
    EXPECT_EQ(Name(), "BEN");
    // Nothing visible ahead: back to the visible record before it.
    GO(5);
    EXPECT_TRUE(SkipIfHidden());
    EXPECT_EQ(Name(), "BEN");
    EXPECT_FALSE(dEOF());
}

// --- index order ---

class IndexOrder : public NavigateTest {
protected:
    void SetUp() override {
        NavigateTest::SetUp();
        index = &AttachIndex<KeyOrderIndex>();
        // Names in key order: ANN (2), BEN (4), BOB (1), CAT (3).
        index->order = {2, 4, 1, 3};
        Open({"BOB", "ANN", "CAT", "BEN"});
        index->calls.clear();
    }
    KeyOrderIndex* index = nullptr;
};

TEST_F(IndexOrder, WalksFollowTheKeys) {
    EXPECT_EQ(Forward(), (Names{"ANN", "BEN", "BOB", "CAT"}));
    EXPECT_EQ(Backward(), (Names{"CAT", "BOB", "BEN", "ANN"}));
    EXPECT_EQ(index->read_locks, 0);

    index->Take();
    GoTop();
    EXPECT_EQ(index->Take(),
              (std::vector<std::pair<int, int>>{
                  {kIndexReadLock, 1}, {kIndexFirst, 0}, {kIndexTakeKey, 0}, {kIndexReadLock, 0}}));
    GoBottom();
    EXPECT_EQ(index->Take(),
              (std::vector<std::pair<int, int>>{
                  {kIndexReadLock, 1}, {kIndexLast, 0}, {kIndexTakeKey, 0}, {kIndexReadLock, 0}}));
    GO(4);
    EXPECT_EQ(index->Take(),
              (std::vector<std::pair<int, int>>{
                  {kIndexReadLock, 1}, {kIndexSync, 0}, {kIndexTakeKey, 0}, {kIndexReadLock, 0}}));
    // A skip takes the key after it has released the lock.
    SKIP(1);
    EXPECT_EQ(Name(), "BOB");
    EXPECT_EQ(index->Take(),
              (std::vector<std::pair<int, int>>{
                  {kIndexReadLock, 1}, {kIndexNext, 0}, {kIndexReadLock, 0}, {kIndexTakeKey, 0}}));
}

TEST_F(IndexOrder, EndsAreReportedByTheIndex) {
    GoBottom();
    SKIP(1);
    EXPECT_EQ(RecNo(), 5);
    EXPECT_TRUE(dEOF());
    auto calls = index->Take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), std::pair<int, int>{kIndexSync, 0}), calls.end());

    GoTop();
    SKIP(-1);
    EXPECT_EQ(Name(), "ANN");
    EXPECT_TRUE(dBOF());
    calls = index->Take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), std::pair<int, int>{kIndexMarkStart, 0}), calls.end());
    EXPECT_EQ(index->read_locks, 0);
}

TEST_F(IndexOrder, NothingVisibleMarksBothEnds) {
    AttachExpressions<ContainsFilter>();
    Set_Filter_To("nobody");
    index->Take();
    GoBottom();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(RecNo(), 5);
    const auto calls = index->Take();
    for (int op : {kIndexSync, kIndexMarkStart, kIndexMarkEnd})
        EXPECT_NE(std::find(calls.begin(), calls.end(), std::pair<int, int>{op, 0}), calls.end()) << op;
    EXPECT_EQ(index->read_locks, 0);

    // An empty order puts GoTop past the end at once.
    index->order.clear();
    GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 5);
}

TEST_F(IndexOrder, TheReadLockIsReleasedWhenARecordCannotBeRead) {
    index->order = {2, 99, 1};
    GoTop();
    SKIP(1);
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(index->read_locks, 0);
    GO(2);
    EXPECT_EQ(index->read_locks, 0);
}

TEST_F(IndexOrder, AnInactiveIndexIsOnlyAsked) {
    index->active = false;
    EXPECT_EQ(Forward(), (Names{"BOB", "ANN", "CAT", "BEN"}));
    Backward();
    GO(2);
    SKIP(0);
    EXPECT_TRUE(index->Take().empty());
}

// --- shared tables and other processes ---

TEST_F(NavigateTest, ASharedTableSeesWhatOtherProcessesAppend) {
    Open({"R1", "R2", "R3"});
    GO(3);
    ChildProcess child([&](const ChildProcess::Channel&) { AppendRaw(path_, {" R4", " R5"}); });
    ASSERT_EQ(child.Wait(), 0);

    SKIP(1);
    EXPECT_EQ(Name(), "R4");
    EXPECT_EQ(RecCount(), 5);
    GO(5);
    EXPECT_EQ(Name(), "R5");
    GoBottom();
    EXPECT_EQ(RecNo(), 5);
}

TEST_F(NavigateTest, SkipZeroShowsWhatAnotherProcessChanged) {
    Open({"R1", "R2", "R3"});
    GO(2);
    ChildProcess child([&](const ChildProcess::Channel&) { OverwriteRaw(path_, 2, "*NEW"); });
    ASSERT_EQ(child.Wait(), 0);
    EXPECT_EQ(Name(), "R2");
    SKIP(0);
    EXPECT_EQ(Name(), "NEW");
    EXPECT_TRUE(Deleted());
}

TEST_F(NavigateTest, SkipZeroRereadsAnExclusiveAreaWhoseFileIsShared) {
    // The override opens the file shared although the area counts as exclusive.
    Settings().open_mode_override = kOpenShared;
    Open({"R1", "R2", "R3"}, " EXCLUSIVE");
    Settings().open_mode_override = kNoOpenModeOverride;
    GO(2);
    ChildProcess child([&](const ChildProcess::Channel&) { OverwriteRaw(path_, 2, " NEW"); });
    ASSERT_EQ(child.Wait(), 0);
    SKIP(0);
    EXPECT_EQ(Name(), "NEW");
}

// --- speed by construction ---

TEST_F(NavigateTest, AnExclusiveWalkReadsInBlocks) {
    const std::string path = CreateTable("big.dbf", {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 10, 2}});
    std::vector<std::string> records;
    for (int i = 1; i <= 10000; ++i) records.push_back(" N" + std::to_string(i));
    AppendRaw(path, records);
    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();

    const uint64_t before = ReadCalls();
    int visited = 0;
    for (GoTop(); !dEOF(); SKIP(1)) ++visited;
    const uint64_t reads = ReadCalls() - before;
    EXPECT_EQ(visited, 10000);
    EXPECT_LT(reads, 100u);

    // Walking back is served from blocks as well.
    const uint64_t back = ReadCalls();
    for (GoBottom(); !dBOF(); SKIP(-1)) --visited;
    EXPECT_EQ(visited, 0);
    EXPECT_LT(ReadCalls() - back, 100u);
}

TEST_F(NavigateTest, HiddenRecordsAreTestedWithoutConversion) {
    ContainsFilter& expr = AttachExpressions<ContainsFilter>();
    Open({"KEEP", "no1", "no2", "no3", "KEEP"});
    Set_Filter_To("KEEP");
    GoTop();
    expr.shown.clear();
    SKIP(1);
    EXPECT_EQ(RecNo(), 5);
    // While the walk tested the hidden records the typed buffer still held
    // the record it started from.
    EXPECT_EQ(expr.shown, (Names{"KEEP", "KEEP", "KEEP", "KEEP"}));
    EXPECT_EQ(Name(), "KEEP");
}

// --- virtual files ---

struct FakeStore : VFileAreaState {
    std::vector<std::string> rows;
};

TEST_F(NavigateTest, VirtualFilesAreReadThroughTheStore) {
    std::vector<int> requests;
    AttachStore<FunctionStore>().dispatch = [&](TWorkArea& a, VFileRequest request, int32_t n) -> Status {
        if (request == VFileRequest::Open) a.vfile_store = std::make_unique<FakeStore>();
        if (request != VFileRequest::Read) return {};
        requests.push_back(n);
        const auto& rows = static_cast<FakeStore&>(*a.vfile_store).rows;
        if (n < 1 || n > static_cast<int>(rows.size())) return Fail(212, "beyond the list");
        std::memcpy(a.record.data(), rows[n - 1].data(), a.record.size());
        a.rec_no = n;
        a.bof = a.eof = false;
        return {};
    };
    std::vector<char> buffer(4);
    USE("list virtual file", buffer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    TWorkArea& a = *CurrentTable();
    auto& rows = static_cast<FakeStore&>(*a.vfile_store).rows;
    rows = {std::string("\0one", 4), std::string("\1two", 4), std::string("\0six", 4)};
    a.rec_count = 3;

    GoTop();
    EXPECT_EQ(std::string(buffer.data() + 1, 3), "one");
    SetIgnoreDel(true);
    SKIP(1);
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(std::string(buffer.data() + 1, 3), "six");
    SKIP(1);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 4);
    EXPECT_EQ(buffer, std::vector<char>(4, 0));
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(requests, (std::vector<int>{1, 1, 2, 3}));
}

// --- no table ---

TEST_F(NavigateTest, EveryOperationOnAnEmptyAreaReports215) {
    ContainsFilter& expr = AttachExpressions<ContainsFilter>();
    Select(6);
    struct Case {
        std::function<bool()> neutral;
        std::string label;
    };
    const std::vector<Case> cases = {
        {[] { return GoTop(), true; }, "GoTop"},
        {[] { return GoBottom(), true; }, "GoBottom"},
        {[] { return SKIP(1), true; }, "SKIP()"},
        {[] { return GO(1), true; }, "GO()"},
        {[] { return Dbf4RawGo(1), true; }, "Dbf4RawGo"},
        {[] { return RecCount() == 0; }, "RecCount"},
        {[] { return RecNo() == 0; }, "RecNo"},
        {[] { return dEOF(); }, "dEOF"},
        {[] { return dBOF(); }, "dBOF"},
        {[] { return !SetIgnoreDel(true); }, "SetIgnoreDel"},
        {[] { return Set_Filter_To("x"), true; }, "Set_Filter_To"},
        {[] { return !SkipIfHidden(); }, "SkipIfHidden"},
        {[] { return !GoToChecked(1); }, "RecCount"},
        {[] { return GoTopScope(), true; }, "RecCount"},
    };
    for (const Case& c : cases) {
        SetLastErrorCode(0);
        EXPECT_TRUE(c.neutral()) << c.label;
        ExpectError(215, "No database in use [" + c.label + "]  WorkArea = 6");
    }
    EXPECT_TRUE(FilterTrue());
    EXPECT_EQ(expr.compiled, 0);
}

}  // namespace
