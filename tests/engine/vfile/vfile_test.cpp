#include "engine/vfile/vfile.hpp"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "tests/support/engine_fixture.hpp"

namespace {

using namespace zurod;

// The key of the record in the current area's buffer: its KEY field.
void KeyField(std::string& key) {
    TWorkArea& a = *CurrentTable();
    key = std::string(SwapString(a, a.fields[0]));
}

// Where the sorted add puts `key` among `keys` (0-based), written down from
// the rule the store keeps: the head and tail tests, then the bisection.
size_t ModelPlace(const std::vector<std::string>& keys, const std::string& key, bool ascending) {
    const size_t count = keys.size();
    if (count == 0) return 0;
    const auto k = [&](size_t n) -> const std::string& { return keys[n - 1]; };
    if (ascending ? key <= k(1) : key >= k(1)) return 0;
    if (ascending ? key >= k(count) : key <= k(count)) return count;
    size_t low = 1, high = count, probe = (count + 1) / 2;
    for (;;) {
        const std::string& at = k(probe);
        if (ascending ? at > key : at < key) {
            high = probe;
        } else if (at == key) {
            return probe;
        } else {
            low = probe;
        }
        if (high == low + 1) {
            if (ascending) return key >= k(high) ? high : low;
            return key > k(high) ? low : high;
        }
        probe = low + (high - low) / 2;
    }
}

class VFileStoreTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        VFileInit();
    }

    // SPLITS (KEY C 5, ID N 4 0) in area 1, SPLITS<n> in area n; `words` may
    // name a mode.
    void Open(const std::string& words = "", uint8_t area = 1, std::vector<char>* buffer = nullptr) {
        Select(area);
        const std::string name = area == 1 ? "SPLITS" : "SPLITS" + std::to_string(area);
        USE(name + " VIRTUAL FILE " + words, buffer ? *buffer : area == 1 ? buffer_ : other_);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        std::vector<FieldDef> fields = {{"KEY", 'C', 5, 0}, {"ID", 'N', 4, 0}};
        AddStru(fields);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    void Add(const std::string& key, int id) {
        TWorkArea& a = *CurrentTable();
        ClearRecord();
        SetSwapString(a, a.fields[0], key);
        SetSwapInteger(a, a.fields[1], id);
        Append();
    }
    static int CurrentId() {
        TWorkArea& a = *CurrentTable();
        return static_cast<int>(SwapInteger(a, a.fields[1]));
    }
    // The ids in record order.
    static std::vector<int> Ids() {
        std::vector<int> ids;
        for (int32_t r = 1; r <= RecCount(); ++r) {
            GO(r);
            ids.push_back(CurrentId());
        }
        return ids;
    }
    void UseKeyField() {
        Set_VFileKey_To([this](std::string& key) {
            ++keymaker_calls_;
            KeyField(key);
        });
    }

    std::vector<char> buffer_ = std::vector<char>(32);
    std::vector<char> other_ = std::vector<char>(32);
    int keymaker_calls_ = 0;
};

TEST_F(VFileStoreTest, FifoKeepsTheOrderAddedAndLifoReversesIt) {
    Open("FIFO");
    for (int id = 1; id <= 4; ++id) {
        Add("K", id);
        EXPECT_EQ(RecNo(), id);
    }
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4}));

    Open("LIFO", 2);
    for (int id = 1; id <= 4; ++id) {
        Add("K", id);
        EXPECT_EQ(RecNo(), 1);
        EXPECT_EQ(CurrentId(), id);
    }
    EXPECT_EQ(Ids(), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(VFileStoreTest, InsertionPutsTheNewRecordBeforeTheCurrentOne) {
    Open("INSERTION");
    Add("K", 5);  // empty file
    Add("K", 6);  // on record 1: before the head
    EXPECT_EQ(Ids(), (std::vector<int>{6, 5}));

    Open("", 2);
    for (int id = 1; id <= 4; ++id) Add("K", id);
    Set_VFileMode_To(kInsertion);
    ASSERT_EQ(LastErrorCode(), 0);
    GO(3);
    Add("K", 9);
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 9, 3, 4}));
    GO(1);
    Add("K", 8);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{8, 1, 2, 9, 3, 4}));
}

TEST_F(VFileStoreTest, AscendingPlacesKeysAndTiesByTheBisection) {
    Open("ASCENDING");
    UseKeyField();
    Add("B", 1);
    Add("A", 2);
    Add("C", 3);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 1, 3}));
    Add("A", 4);  // equal to the first key: before the head
    EXPECT_EQ(RecNo(), 1);
    Add("C", 5);  // equal to the last key: after the tail
    EXPECT_EQ(RecNo(), 5);
    Add("B", 6);  // equal to a key in the middle: after it
    EXPECT_EQ(RecNo(), 4);
    EXPECT_EQ(Ids(), (std::vector<int>{4, 2, 1, 6, 3, 5}));

    // Within a run of equal keys the new record follows the one the
    // bisection probed, not the last of the run.
    Open("ASCENDING", 2);
    UseKeyField();
    Add("A", 1);
    Add("C", 2);
    for (int id = 3; id <= 6; ++id) Add("B", id);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 5, 6, 4, 2}));
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(VFileStoreTest, DescendingMirrorsAscending) {
    Open("DESCENDING");
    UseKeyField();
    Add("B", 1);
    Add("A", 2);
    Add("C", 3);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 1, 2}));
    Add("C", 4);  // not below the first: head
    Add("A", 5);  // not above the last: tail
    Add("B", 6);
    EXPECT_EQ(Ids(), (std::vector<int>{4, 3, 1, 6, 2, 5}));
    EXPECT_EQ(Get_VFileMode(), kDescending);
}

TEST_F(VFileStoreTest, SortedLoadsFollowTheBisectionRecordForRecord) {
    for (const bool ascending : {true, false}) {
        SCOPED_TRACE(ascending ? "ascending" : "descending");
        Open(ascending ? "ASCENDING" : "DESCENDING");
        UseKeyField();
        keymaker_calls_ = 0;
        std::mt19937 random(ascending ? 7 : 11);
        std::vector<std::string> keys;
        std::vector<int> ids;
        for (int id = 1; id <= 400; ++id) {
            const std::string key(1 + random() % 2, static_cast<char>('A' + random() % 6));
            const size_t at = ModelPlace(keys, key, ascending);
            keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(at), key);
            ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(at), id);
            Add(key, id);
            ASSERT_EQ(RecNo(), static_cast<int32_t>(at + 1));
        }
        // Each record's key is built once, when it arrives.
        EXPECT_EQ(keymaker_calls_, 400);
        EXPECT_EQ(Ids(), ids);
    }
}

TEST_F(VFileStoreTest, SortedAddsNeedAKeymakerAndAKnownMode) {
    Open("ASCENDING");
    Add("A", 1);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(),
              "SPLITS is a \"Sorted\" virtual file with no keymaker function. [Append/InsertRec/PushRec]");
    EXPECT_EQ(RecCount(), 0);

    Set_VFileMode_To(7);
    Add("A", 1);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "7 is an invalid VFile mode set for SPLITS [(AddLL) VFiles INTERNAL ERROR]");
    EXPECT_EQ(RecCount(), 0);
}

TEST_F(VFileStoreTest, ReplacingARecordOfASortedFileMovesIt) {
    Open("ASCENDING");
    UseKeyField();
    Add("A", 1);
    Add("B", 2);
    Add("C", 3);
    GO(1);
    SetSwapString(*CurrentTable(), CurrentTable()->fields[0], "D");
    Replace();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 3, 1}));

    // In the unsorted modes the record stays where it is.
    Open("FIFO", 2);
    Add("A", 1);
    Add("B", 2);
    GO(1);
    SetSwapInteger(*CurrentTable(), CurrentTable()->fields[1], 7);
    Replace();
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{7, 2}));
}

TEST_F(VFileStoreTest, AFailedSortedReplaceKeepsTheRecord) {
    Open();
    Add("A", 1);
    Set_VFileMode_To(kAscending);  // one record: accepted, even without a keymaker
    ASSERT_EQ(LastErrorCode(), 0);
    GO(1);
    Replace();
    EXPECT_EQ(LastErrorCode(), 1100);
    Set_VFileMode_To(kFifo);
    Add("B", 2);
    EXPECT_EQ(RecCount(), 2);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2}));
}

TEST_F(VFileStoreTest, SortModesCannotBeSetOverRecords) {
    Open();
    Add("B", 1);
    Set_VFileMode_To(kAscending);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(Get_VFileMode(), kAscending);
    Set_VFileMode_To(kFifo);
    Add("A", 2);

    Set_VFileMode_To(kAscending);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(),
              "Cannot set a sort mode on a virtual file containing records. (SPLITS) [(Set_VFileMode_To) VFiles]");
    EXPECT_EQ(Get_VFileMode(), kFifo);
    SetLastErrorCode(0);
    Set_VFileMode_To(kLifo);
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(Get_VFileMode(), kLifo);

    // Records held in one sort order cannot take the other either.
    Open("ASCENDING", 2);
    UseKeyField();
    Add("A", 1);
    Add("B", 2);
    Set_VFileMode_To(kDescending);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(Get_VFileMode(), kAscending);
    SetLastErrorCode(0);
    Set_VFileMode_To(kAscending);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(VFileStoreTest, SortVFileOrdersExactlyAsASortedLoadWould) {
    for (const uint8_t mode : {kAscending, kDescending}) {
        SCOPED_TRACE(static_cast<int>(mode));
        std::mt19937 random(mode);
        std::vector<std::string> keys;
        for (int i = 0; i < 300; ++i) keys.push_back(std::string(1, static_cast<char>('A' + random() % 5)));

        Open("FIFO");
        for (int id = 1; id <= 300; ++id) Add(keys[id - 1], id);
        UseKeyField();
        keymaker_calls_ = 0;
        GO(17);
        SortVFile(mode);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(keymaker_calls_, 300);
        EXPECT_EQ(Get_VFileMode(), mode);
        EXPECT_EQ(RecNo(), 1);
        EXPECT_EQ(RecCount(), 300);
        const std::vector<int> sorted = Ids();

        Open(mode == kAscending ? "ASCENDING" : "DESCENDING", 2);
        UseKeyField();
        for (int id = 1; id <= 300; ++id) Add(keys[id - 1], id);
        EXPECT_EQ(Ids(), sorted);
        Select(1);
    }
}

TEST_F(VFileStoreTest, SortVFileNeedsAKeymakerAndASortMode) {
    Open();
    Add("B", 1);
    Add("A", 2);
    SortVFile(kAscending);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "SPLITS has no KeyMaker.  Records cannot be sorted. [SortVFile]");
    UseKeyField();
    SortVFile(kInsertion);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Sort mode not ASCENDING or DESCENDING for SPLITS [(SortVFile) VFiles]");
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2}));
    EXPECT_EQ(Get_VFileMode(), kFifo);

    // A keymaker that fails leaves the records where they were.
    Set_VFileKey_To([](std::string&) { throw std::runtime_error("no key"); });
    EXPECT_THROW(SortVFile(kAscending), std::runtime_error);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2}));
}

TEST_F(VFileStoreTest, SnipRecRemovesTheCurrentRecord) {
    Open();
    for (int id = 1; id <= 4; ++id) Add("K", id);
    GO(2);
    SnipRec();
    EXPECT_EQ(RecNo(), 2);
    EXPECT_EQ(CurrentId(), 3);
    GO(3);
    SnipRec();  // the last one: the previous becomes current
    EXPECT_EQ(RecNo(), 2);
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 3}));
    SnipRec();
    SnipRec();
    EXPECT_EQ(RecCount(), 0);
    EXPECT_EQ(RecNo(), 0);
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(VFileStoreTest, ReadsBeyondTheCountAreRefusedAndChangeNothing) {
    Open();
    for (int id = 1; id <= 3; ++id) Add("K", id);
    GO(2);
    const std::vector<char> before = buffer_;
    Record(GetDbfRecord(*CurrentTable(), 9));
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(LastErrorMessage(),
              "Attempted to position to record number 9  Database record count is 3SPLITS [VFiles]");
    EXPECT_EQ(buffer_, before);
    EXPECT_EQ(RecNo(), 2);
}

TEST_F(VFileStoreTest, DeleteRecallPackAndZapWorkOnTheList) {
    Open();
    for (int id = 1; id <= 4; ++id) Add("K", id);
    for (const int32_t r : {2, 4}) {
        GO(r);
        DeleteRec();
        EXPECT_TRUE(Deleted());
    }
    GO(1);
    GO(2);
    EXPECT_TRUE(Deleted());
    GO(4);
    RecallRec();
    EXPECT_FALSE(Deleted());
    GO(1);
    GO(4);
    EXPECT_FALSE(Deleted());

    SetIgnoreDel(true);
    GoTop();
    SKIP(1);
    EXPECT_EQ(CurrentId(), 3);
    SetIgnoreDel(false);

    EXPECT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 3, 4}));

    EXPECT_TRUE(Zap());
    EXPECT_EQ(RecCount(), 0);
    EXPECT_TRUE(dEOF());
    Add("K", 5);
    EXPECT_EQ(Ids(), (std::vector<int>{5}));
    CloseArea();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(CurrentTable(), nullptr);
}

TEST_F(VFileStoreTest, EachAreaKeepsItsOwnList) {
    Open("FIFO", 1);
    Open("LIFO", 2);
    for (int id = 1; id <= 3; ++id) {
        Select(1);
        Add("A", id);
        Select(2);
        Add("B", id * 10);
    }
    Select(1);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3}));
    Select(2);
    EXPECT_EQ(Ids(), (std::vector<int>{30, 20, 10}));
}

TEST_F(VFileStoreTest, AddStruDefinesTheFields) {
    Select(1);
    buffer_.resize(64);
    USE("SPLITS VIRTUAL FILE TO EMS DESCENDING", buffer_);
    std::vector<FieldDef> fields = {{" long_field_name ", 'c', 5, 3},
                                    {"when", 'd', 0, 0},
                                    {"ok", 'l', 9, 0},
                                    {"note", 'm', 0, 0},
                                    {"amt", 'f', 7, 2}};
    AddStru(fields);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Get_VFileMode(), kDescending);
    ASSERT_EQ(FieldCount(), 5);
    EXPECT_EQ(Field(1), "LONG_FIELD");
    EXPECT_EQ(FieldType(1), 'C');
    EXPECT_EQ(FieldLen(1), 5);
    EXPECT_EQ(FieldDec(1), 0);
    EXPECT_EQ(Field(2), "WHEN");
    EXPECT_EQ(FieldType(2), 'D');
    EXPECT_EQ(CurrentTable()->fields[1].length, 8);
    EXPECT_EQ(FieldType(3), 'L');
    EXPECT_EQ(FieldLen(3), 1);
    EXPECT_EQ(FieldType(4), 'N');
    EXPECT_EQ(FieldLen(4), 10);
    EXPECT_EQ(FieldDec(4), 0);
    EXPECT_EQ(FieldType(5), 'F');
    EXPECT_EQ(FieldLen(5), 7);
    EXPECT_EQ(FieldDec(5), 2);
    // The fields are the slots of the area's buffer.
    EXPECT_EQ(FieldAddress(1), buffer_.data() + 1);
}

TEST_F(VFileStoreTest, AddStruRefusesBadDefinitionsAndKeepsTheOldOnes) {
    Open();
    std::vector<FieldDef> no_length = {{"ok", 'C', 3, 0}, {"x", 'N', 0, 0}};
    AddStru(no_length);
    EXPECT_EQ(LastErrorCode(), 211);
    EXPECT_EQ(LastErrorMessage(), "Invalid length, field name: \"X\" in VFile field list. Alias=SPLITS [AddStru]");
    std::vector<FieldDef> bad_type = {{"y", 'x', 3, 0}};
    AddStru(bad_type);
    EXPECT_EQ(LastErrorCode(), 211);
    EXPECT_EQ(LastErrorMessage(), "Invalid type \"X\" in VFile field list. Alias= SPLITS [AddStru]");
    EXPECT_EQ(FieldCount(), 2);
    EXPECT_EQ(Field(1), "KEY");
}

TEST_F(VFileStoreTest, CallerOperationsNeedAVirtualFile) {
    Select(3);
    AddStru({});
    EXPECT_EQ(LastErrorCode(), 215);
    EXPECT_EQ(LastErrorMessage(), "No database in use [AddStru]  WorkArea = 3");

    const std::string path = CreateTable("PLAIN.DBF", {{"NAME", 'C', 5, 0}});
    USE(path);
    SnipRec();
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "PLAIN is not a virtual file. [SnipRec]");
    EXPECT_EQ(Get_VFileMode(), 0);
    EXPECT_EQ(LastErrorMessage(), "PLAIN is not a virtual file. [Get_VFileMode]");
    SortVFile(kAscending);
    EXPECT_EQ(LastErrorMessage(), "PLAIN is not a virtual file. [Set_VFileMode_To]");
    Set_VFileKey_To(KeyField);
    EXPECT_EQ(LastErrorMessage(), "PLAIN is not a virtual file. [Set_VFileKey_To]");
}

TEST_F(VFileStoreTest, VariableLengthRecordsAreRefused) {
    Select(1);
    USE("SPLITS VIRTUAL FILE", std::span<char>(buffer_.data(), 0));
    EXPECT_EQ(LastErrorCode(), 220);
    CloseArea();
    EXPECT_EQ(LastErrorCode(), 220);  // closing what is left reports nothing new
}

// A USE that fails leaves the slot empty; a refused virtual open still
// leaves its area behind (the fault is in USE, which does not look at the
// store's answer to the open request).
TEST_F(VFileStoreTest, ARefusedVirtualOpenLeavesTheSlotEmpty) {
    Select(1);
    USE("SPLITS VIRTUAL FILE", std::span<char>(buffer_.data(), 0));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(CurrentTable(), nullptr);
}

}  // namespace
