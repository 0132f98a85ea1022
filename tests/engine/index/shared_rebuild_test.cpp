// Work that takes a shared table for itself for a while (a pack, a zap, a
// memo pack, a rebuild of its index) among other processes: what it leaves
// the others, and what a rebuild refused because of them leaves this one.
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "tests/engine/index/attached_files_fixture.hpp"
#include "tests/engine/index/index_peer.hpp"

namespace testing_support {
namespace {

using namespace zurod;

class SharedRebuildTest : public AttachedFilesTest {
protected:
    // Appends a record with a memo under the append lock; the last error.
    static uint16_t AppendOne(int64_t id) {
        const int32_t memo = AddMemo(NoteOf(id));
        if (LastErrorCode() != 0) return LastErrorCode();
        // Other processes may hold the append lock for a moment.
        bool locked = false;
        for (int tries = 0; tries < 5000 && !(locked = ALock()); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!locked) return LastErrorCode() != 0 ? LastErrorCode() : 1;
        ClearRecord();
        PutFieldInteger(1, id);
        PutFieldString(2, "N" + std::to_string(id % 23));
        PutFieldNumber(3, static_cast<double>(id % 41) - 20);
        PutFieldMemo(4, memo);
        Append();
        const uint16_t code = LastErrorCode();
        Unlock();
        return code;
    }

    // What another process does with the table (see IndexPeer), and
    // "append ID": a record with a memo under the append lock.
    static std::string Command(const std::string& verb, const std::string& arg) {
        if (verb == "append") return std::to_string(AppendOne(std::stoll(arg)));
        return IndexCommand(verb, arg);
    }
};

// After a Pack, a Zap or a memo pack of a shared area, which hold the table
// alone for a while, the memo file and the index are shared again with the
// table: other processes open them, and both sides' changes are kept.
TEST_F(SharedRebuildTest, MemoAndIndexAreSharedAgainAfterExclusiveWork) {
    struct Case {
        const char* name;
        std::function<bool()> run;
        std::vector<int64_t> ids;  // what the table holds afterwards, before the appends
    };
    const Case cases[] = {
        {"Pack", [] { return Pack(); }, KeptIds()},
        {"Zap", [] { return Zap(); }, {}},
        {"a memo pack",
         [] {
             if (ReopenTable(true) != 0) return false;
             PackMemofile();
             const bool packed = LastErrorCode() == 0;
             return ReopenTable(false) == 0 && packed;
         },
         AllIds()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EnginePeer other(&Command);
        OpenShared();
        ASSERT_TRUE(c.run()) << LastErrorMessage();
        EXPECT_EQ(other("use " + path_), "0");
        EXPECT_EQ(other("index"), "0");
        EXPECT_EQ(other("append 901"), "0");
        EXPECT_EQ(other("close"), "0");
        // This process still takes the memo lock, as others write memos.
        EXPECT_TRUE(MemoOf(*CurrentTable())->lockable);
        EXPECT_EQ(AppendOne(902), 0) << LastErrorMessage();
        CloseArea();
        std::vector<int64_t> ids = c.ids;
        ids.push_back(901);
        ids.push_back(902);
        EXPECT_EQ(ReopenAndCheck("afterwards"), ids);
    }
}

// A rebuild refused because another process has the table (225) or the
// index file (32) open leaves this area's index open as it was: the order,
// the record, and the keys of every change made afterwards.
TEST_F(SharedRebuildTest, ARefusedRebuildLeavesTheIndexAsItWas) {
    struct Case {
        const char* name;
        const char* other;  // what the other process holds: "table" or "index"
        std::function<bool()> run;
        uint16_t code;
    };
    const Case cases[] = {
        {"Reindex beside another process's table", "table", [] { return Reindex(), LastErrorCode() == 0; }, 225},
        {"MakeIndex beside another process's table", "table", [] { return MakeIndex(Tags(), ""); }, 225},
        {"AddIndexTag beside another process's table", "table",
         [] {
             return AddIndexTag({"ID", "ID", "", false, false}, true);
         },
         225},
        {"Reindex beside another program's index file", "index", [] { return Reindex(), LastErrorCode() == 0; }, 32},
        {"MakeIndex beside another program's index file", "index", [] { return MakeIndex(Tags(), ""); }, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EnginePeer other(&Command);
        if (std::string(c.other) == "table") {
            ASSERT_EQ(other("use " + path_), "0");
        } else {
            ASSERT_EQ(other("hold " + IndexOfTable(path_)), "0");
        }
        OpenShared();
        ASSERT_TRUE(SetOrderToTag("AMOUNT"));
        GO(7);
        EXPECT_FALSE(c.run());
        EXPECT_EQ(LastErrorCode(), c.code) << LastErrorMessage();
        EXPECT_EQ(CurrentOrder(), 2);
        EXPECT_EQ(RecNo(), 7);
        SKIP(1);
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(AppendOne(903), 0) << LastErrorMessage();
        CloseArea();
        other.Kill();
        std::vector<int64_t> ids = AllIds();
        ids.push_back(903);
        EXPECT_EQ(ReopenAndCheck("afterwards"), ids);
    }
}

// A pack or zap whose index rebuild is refused (another program holds the
// index file) has changed the table under the tree the area had open: the
// area must not walk that tree, and the next open rebuilds it.
TEST_F(SharedRebuildTest, APackOrZapWhoseRebuildIsRefusedWalksNoStaleTree) {
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<int64_t> ids;
    };
    const Case cases[] = {
        {"Pack", [] { Pack(); }, KeptIds()},
        {"Zap", [] { Zap(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        EnginePeer other(&Command);
        ASSERT_EQ(other("hold " + IndexOfTable(path_)), "0");
        OpenShared();
        ASSERT_TRUE(SetOrderToTag("AMOUNT"));
        c.run();
        EXPECT_EQ(LastErrorCode(), 32) << LastErrorMessage();
        SetLastErrorCode(0);
        const std::vector<int32_t> walked = Forward();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(walked.size(), c.ids.size());
        for (const int32_t r : walked) EXPECT_LE(r, RecCount());
        CloseArea();
        other.Kill();
        EXPECT_EQ(ReopenAndCheck("afterwards"), c.ids);
    }
}

// Changes made while the area has not opened the table's production index
// (MakeIndex leaves it closed; USE never opens it; another index is open)
// mark it: whoever opens it next rebuilds it, so it is never trusted stale.
TEST_F(SharedRebuildTest, ChangesBesideAnUnopenedIndexMarkIt) {
    struct Case {
        const char* name;
        bool shared;
        std::function<void()> change;
        std::vector<int64_t> ids;  // what the table holds afterwards
    };
    const auto with = [](std::vector<int64_t> ids, int64_t id) {
        ids.push_back(id);
        return ids;
    };
    const auto replace = [] {
        GO(4);
        ASSERT_TRUE(RLock());
        PutFieldString(2, "RENAMED");
        PutFieldNumber(3, 19);
        Replace();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        Unlock();
    };
    const Case cases[] = {
        {"an append after MakeIndex left the index closed", true,
         [] {
             ASSERT_TRUE(MakeIndex(Tags(), "")) << LastErrorMessage();
             EXPECT_EQ(AppendOne(904), 0) << LastErrorMessage();
         },
         with(AllIds(), 904)},
        {"appends in a shared area", true,
         [] {
             EXPECT_EQ(AppendOne(908), 0) << LastErrorMessage();
             EXPECT_EQ(AppendOne(909), 0) << LastErrorMessage();
         },
         with(with(AllIds(), 908), 909)},
        {"an append in an exclusive area", false, [] { EXPECT_EQ(AppendOne(907), 0) << LastErrorMessage(); },
         with(AllIds(), 907)},
        {"a replace in a shared area", true, replace, AllIds()},
        {"a replace in an exclusive area", false, replace, AllIds()},
        {"an append with another index open", true,
         [] {
             ASSERT_TRUE(MakeIndexTags({{"ID", "ID", "", false, false}}, "other")) << LastErrorMessage();
             EXPECT_EQ(AppendOne(911), 0) << LastErrorMessage();
         },
         with(AllIds(), 911)},
        {"a pack with another index open", false,
         [] {
             ASSERT_TRUE(MakeIndexTags({{"ID", "ID", "", false, false}}, "other")) << LastErrorMessage();
             EXPECT_TRUE(Pack()) << LastErrorMessage();
         },
         KeptIds()},
        {"a pack", true, [] { EXPECT_TRUE(Pack()) << LastErrorMessage(); }, KeptIds()},
        {"a zap", false, [] { EXPECT_TRUE(Zap()) << LastErrorMessage(); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        USE(path_ + (c.shared ? "" : " EXCLUSIVE"));
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        c.change();
        CloseArea();
        EXPECT_EQ(ReopenAndCheck("afterwards"), c.ids);
        EXPECT_FALSE(FileExists(dir_ / "crash.@S@")) << "a semaphore file was left";
    }
}

// Another process reads the index while this one changes the table without
// it: each of its walks after a change holds the change, also after it
// repaired the index once already.
TEST_F(SharedRebuildTest, AProcessWithTheIndexOpenSeesChangesMadeWithoutIt) {
    EnginePeer reader(&Command);
    ASSERT_EQ(reader("use " + path_), "0");
    ASSERT_EQ(reader("index"), "0");
    ASSERT_EQ(reader("order POSID"), "0");
    USE(path_);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const auto count = [](const std::string& walk) { return std::count(walk.begin(), walk.end(), ',') + 1; };
    const std::string before = reader("walk");
    ASSERT_NE(before[0], 'E') << before;
    // Ids that come last in POSID order (amounts above 0), each with a memo.
    const int64_t kIds[] = {941, 942, 966};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(AppendOne(kIds[n - 1]), 0) << LastErrorMessage();
        const std::string walk = reader("walk");
        ASSERT_NE(walk[0], 'E') << walk;
        EXPECT_EQ(count(walk), count(before) + n) << walk;
        EXPECT_EQ(walk.substr(walk.rfind(',') + 1), std::to_string(kRecords + n));
    }
    CloseArea();
    EXPECT_EQ(reader("close"), "0");
    std::vector<int64_t> ids = AllIds();
    ids.insert(ids.end(), std::begin(kIds), std::end(kIds));
    EXPECT_EQ(ReopenAndCheck("afterwards"), ids);
}

// Five processes on one indexed table: two append, two replace amounts, one
// tries to rebuild the index now and then (refused while the others have the
// table open), appends and walks in name order. Every change ends up in every
// tag, no walk steps out of name order (names only come, never move: a walk
// goes on from where its record now stands), and nobody's index is ever found
// closed.
TEST_F(SharedRebuildTest, ProcessesChangingAndRebuildingKeepTheIndexInLine) {
    constexpr int kRounds = 30;
    // Ids with a memo (not a multiple of 5), apart for each process.
    const auto id_of = [](int k, int i) { return int64_t{1000} * (k + 1) + int64_t{5} * i + 1; };
    const std::vector<std::string> results = RunTogether(5, [&](int k) {
        std::string errors;
        const auto note = [&errors](const std::string& what) { errors += what + "; "; };
        // A rebuild that got the table alone keeps the others out meanwhile.
        for (int tries = 0; tries < 5000; ++tries) {
            SetLastErrorCode(0);
            USE(path_);
            if (LastErrorCode() != 32) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!SetIndexTo("")) return "no index: " + LastErrorMessage();
        for (int i = 0; i < kRounds; ++i) {
            if (k == 0 || k == 1 || k == 4) {
                if (const uint16_t code = AppendOne(id_of(k, i)); code != 0) note("append " + std::to_string(code));
            }
            if (k == 2 || k == 3) {
                GO(1 + (i * 7 + k * 3) % kRecords);
                bool locked = false;
                for (int tries = 0; tries < 5000 && !(locked = RLock()); ++tries)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (!locked) {
                    note("no record lock");
                    continue;
                }
                PutFieldNumber(3, (i * 13 + k) % 41 - 20);
                Replace();
                if (LastErrorCode() != 0) note("replace " + std::to_string(LastErrorCode()));
                Unlock();
            }
            if (k == 4 && i % 5 == 0) {
                Reindex();
                if (LastErrorCode() != 0 && LastErrorCode() != 225) note("reindex " + std::to_string(LastErrorCode()));
                if (CurrentOrder() == 0) note("index closed");
                std::vector<std::string> names;
                for (GoTop(); !dEOF() && LastErrorCode() == 0; SKIP(1)) names.push_back(GetFieldString(2));
                if (LastErrorCode() != 0) note("walk " + std::to_string(LastErrorCode()));
                if (!std::is_sorted(names.begin(), names.end())) note("walk out of order");
            }
        }
        CloseArea();
        return errors.empty() ? std::string("ok") : errors;
    });
    for (int k = 0; k < 5; ++k) EXPECT_EQ(results[k], "ok") << "process " << k;
    std::vector<int64_t> expected = AllIds();
    for (int k : {0, 1, 4})
        for (int i = 0; i < kRounds; ++i) expected.push_back(id_of(k, i));
    std::vector<int64_t> ids = ReopenAndCheck("afterwards");
    std::sort(ids.begin(), ids.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
}

}  // namespace
}  // namespace testing_support
