// Work that takes a shared table for itself for a while (a pack, a zap, a
// memo pack, a rebuild of its index) among other processes: what it leaves
// the others, and what a rebuild refused because of them leaves this one.
#include <functional>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/edit.hpp"
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
        if (!ALock()) return LastErrorCode() != 0 ? LastErrorCode() : 1;
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

}  // namespace
}  // namespace testing_support
