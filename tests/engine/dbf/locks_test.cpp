#include "engine/dbf/locks.hpp"
#include "engine/dbf/detail/locking.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/events.hpp"
#include "platform/file.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/engine_peer.hpp"
#include "tests/support/fake_units.hpp"

namespace {

using testing_support::ChildProcess;
using namespace zurod;

using Peer = testing_support::EnginePeer;

// Lets a test script the event loop that lock waits pump.
class PumpScope {
public:
    explicit PumpScope(platform::EventPump pump) : previous_(platform::InstallEventPump(std::move(pump))) {}
    ~PumpScope() { platform::InstallEventPump(std::move(previous_)); }

private:
    platform::EventPump previous_;
};

class LockTest : public testing_support::EngineTest {
protected:
    void TearDown() override {
        platform::SetApplicationTerminating(false);
        EngineTest::TearDown();
    }

    // A table with the given names in field NAME.
    std::string Table(const std::vector<std::string>& names, const std::string& file = "T.DBF") {
        const std::string path = CreateTable(file, {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}});
        USE(path + " EXCLUSIVE");
        for (const std::string& n : names) {
            ClearRecord();
            Peer::SetFirstField(n);
            Append();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }

    // Tries to lock one byte through a separate open of the file: whether
    // someone else holds it.
    bool ByteHeld(const std::string& path, uint64_t offset) {
        platform::File probe;
        EXPECT_EQ(probe.Open(path, platform::Access::ReadWrite, platform::Share::DenyNone), 0);
        const int rc = probe.Lock(offset, 1);
        if (rc == 0) probe.Unlock(offset, 1);
        EXPECT_TRUE(rc == 0 || rc == 33) << rc;
        return rc != 0;
    }
};

TEST_F(LockTest, LayoutAboveTheData) {
    // 31 descriptors give a 1025-byte header; the fields add up to 99 bytes.
    std::vector<FieldDef> fields;
    for (int i = 1; i <= 31; ++i) fields.push_back({"F" + std::to_string(i), 'C', i == 31 ? 9 : 3, 0});
    const std::string path = CreateTable("WIDE.DBF", fields);
    USE(path + " EXCLUSIVE");
    for (int i = 0; i < 2; ++i) {
        ClearRecord();
        Append();
    }
    CloseArea();
    USE(path);
    ASSERT_EQ(CurrentTable()->header_length, 1025);
    ASSERT_EQ(CurrentTable()->record_length, 100);
    const uint64_t base = 0x40000000;

    GO(1);
    ASSERT_TRUE(RLock());
    EXPECT_FALSE(ByteHeld(path, base + 1024));
    EXPECT_TRUE(ByteHeld(path, base + 1025));
    EXPECT_TRUE(ByteHeld(path, base + 1124));
    EXPECT_FALSE(ByteHeld(path, base + 1125));
    EXPECT_FALSE(ByteHeld(path, 0)) << "the data itself is never locked";
    Unlock();

    GO(2);
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(ByteHeld(path, base + 1125));
    EXPECT_TRUE(ByteHeld(path, base + 1224));
    EXPECT_FALSE(ByteHeld(path, base + 1225));
    Unlock();
    EXPECT_FALSE(ByteHeld(path, base + 1125));

    ASSERT_TRUE(ALock());
    EXPECT_TRUE(ByteHeld(path, base + 1));
    EXPECT_FALSE(ByteHeld(path, base));
    Unlock();
    EXPECT_FALSE(ByteHeld(path, base + 1));

    ASSERT_TRUE(FLock());
    EXPECT_TRUE(ByteHeld(path, base));
    EXPECT_FALSE(ByteHeld(path, base + 1));
    FUnlock();
    EXPECT_FALSE(ByteHeld(path, base));

    // The base is a setting.
    Settings().lock_base = 0x10000;
    GO(1);
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(ByteHeld(path, 0x10000 + 1025));
    EXPECT_FALSE(ByteHeld(path, base + 1025));
    Unlock();
}

TEST_F(LockTest, LockStateRulesOfOneArea) {
    const std::string path = Table({"A", "B", "C"});
    USE(path);
    GO(2);
    EXPECT_TRUE(RLock());
    EXPECT_TRUE(RLock()) << "a second lock of the same record";
    EXPECT_TRUE(IsLocked(2));
    EXPECT_FALSE(IsLocked(1));
    EXPECT_FALSE(ALock()) << "the append lock needs no record locks held";
    EXPECT_FALSE(ByteHeld(path, Settings().lock_base + 1)) << "a refused ALock touches nothing";
    EXPECT_TRUE(UnlockRec(2));
    EXPECT_FALSE(UnlockRec(2)) << "the second RLock added no second entry";

    // The last record lock gone, the area holds nothing and may append.
    EXPECT_TRUE(ALock());
    EXPECT_TRUE(ALock());
    EXPECT_FALSE(RLock());
    EXPECT_FALSE(IsLocked(2));
    Unlock();
    EXPECT_TRUE(RLock());
    Unlock();
    EXPECT_FALSE(IsLocked(2));
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LockTest, WithoutNetworkOnlyTheListChanges) {
    const std::string path = Table({"A", "B"});
    Settings().network_mode = false;
    USE(path);
    ASSERT_TRUE(CurrentTable()->exclusive);
    EXPECT_EQ(LockRegion(false, CurrentTable()->file, 0, 10), 0);
    EXPECT_EQ(LockRegion(true, CurrentTable()->file, 5, 1), 0) << "nothing to unlock, still success";
    GO(1);
    EXPECT_TRUE(RLock());
    EXPECT_TRUE(IsLocked(1));
    EXPECT_FALSE(ALock());
    EXPECT_TRUE(FLock());
    EXPECT_TRUE(UnlockRec(1));
    EXPECT_TRUE(ALock());
    Unlock();
    CloseArea();
    // No lock ever reached the file.
    Settings().network_mode = true;
    USE(path);
    EXPECT_FALSE(ByteHeld(path, Settings().lock_base + 1));
}

TEST_F(LockTest, UnlockRecOrderAndRefusals) {
    Peer peer;
    const std::string path = Table({"A", "B", "C", "D"});
    USE(path);
    for (int n : {1, 2, 3}) {
        GO(n);
        ASSERT_TRUE(RLock());
    }
    ASSERT_EQ(peer("use " + path), "0");

    EXPECT_TRUE(UnlockRec(-1)) << "the oldest";
    EXPECT_FALSE(IsLocked(1));
    EXPECT_TRUE(IsLocked(2) && IsLocked(3));
    EXPECT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "1") << "released in the file too";
    EXPECT_EQ(peer("unlock"), "0");

    EXPECT_TRUE(UnlockRec(-2)) << "the newest";
    EXPECT_FALSE(IsLocked(3));
    EXPECT_TRUE(IsLocked(2));

    GO(4);
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(UnlockRec(-3));
    EXPECT_FALSE(IsLocked(2) || IsLocked(4));
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(ALock()) << "no record locks are left";
    Unlock();
    for (int n : {2, 4}) {
        EXPECT_EQ(peer("go " + std::to_string(n)), "0");
        EXPECT_EQ(peer("rlock"), "1");
    }

    // Refusals are recorded, never raised.
    SetErrorHandling(true);
    RaiseModeScope raise(true);
    EXPECT_FALSE(UnlockRec(5));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Record not locked. [UnlockRec(5)]");
    EXPECT_FALSE(UnlockRec(0));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "[UnlockRec(0)]");
    EXPECT_FALSE(UnlockRec(-1));
    EXPECT_FALSE(UnlockRec(-2));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_TRUE(UnlockRec(-3)) << "nothing to release";
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LockTest, RecordLockLimit) {
    const std::string path = Table({"A", "B", "C"});
    Settings().record_lock_limit = 2;
    USE(path);
    GO(1);
    EXPECT_TRUE(RLock());
    GO(2);
    EXPECT_TRUE(RLock());
    GO(3);
    EXPECT_FALSE(RLock());
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(LastErrorMessage(), "Zurod record lock limit exceeded [RLock]");
    EXPECT_FALSE(IsLocked(3));
    UnlockRec(1);
    SetLastErrorCode(0);
    EXPECT_TRUE(RLock());
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LockTest, EmptyTableHasNoRecordToLock) {
    Peer peer;
    // A record longer than the header, so "record 0" would reach below the base.
    const std::string path = CreateTable("E.DBF", {{"NAME", 'C', 200, 0}});
    USE(path);
    ASSERT_EQ(RecCount(), 0);
    EXPECT_FALSE(RLock());
    ASSERT_EQ(peer("use " + path), "0");
    EXPECT_EQ(peer("alock"), "1");
    EXPECT_EQ(peer("flock"), "1");
}

TEST_F(LockTest, TwoAreasOfOneProcessExcludeEachOther) {
    const std::string path = Table({"A", "B"});
    Select(1);
    USE(path);
    Select(2);
    USE(path + " ALIAS OTHER");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();

    Select(1);
    GO(1);
    ASSERT_TRUE(RLock());
    Select(2);
    GO(1);
    SetLastErrorCode(0);
    EXPECT_FALSE(RLock());
    EXPECT_EQ(LastErrorCode(), 0) << "a lock failure is a result, not an error";
    GO(2);
    EXPECT_TRUE(RLock());
    Unlock();

    EXPECT_TRUE(ALock());
    Select(1);
    Unlock();
    EXPECT_FALSE(ALock());
    EXPECT_TRUE(FLock());
    Select(2);
    EXPECT_FALSE(FLock());

    // Closing one area releases its locks and never another's.
    GO(1);
    CloseArea();
    Select(1);
    EXPECT_TRUE(ALock());
    Unlock();
    GO(2);
    ASSERT_TRUE(RLock());
    Select(2);
    USE(path + " ALIAS OTHER");
    GO(2);
    EXPECT_FALSE(RLock());
    EXPECT_FALSE(FLock()) << "area 1 still holds the file lock";
    CloseArea();
    Select(1);
    FUnlock();
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LockTest, RecordLockAgainstAnotherProcess) {
    Peer peer;
    const std::string path = Table({"A", "B", "C"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("go 2"), "0");
    ASSERT_EQ(peer("rlock"), "1");

    bool pumped = false;
    PumpScope pump([&](platform::EventFilter) { pumped = true; });
    USE(path);
    GO(2);
    SetLastErrorCode(0);
    EXPECT_FALSE(RLock());
    EXPECT_FALSE(pumped) << "no retries: one attempt and no wait";
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_FALSE(IsLocked(2));
    GO(3);
    EXPECT_TRUE(RLock()) << "other records are free";

    // The holder's own edits go on; ours of its record do not.
    EXPECT_EQ(peer("replace PEER"), "0");
    GO(2);
    EXPECT_EQ(FieldText(1), "PEER      ");
    Replace();
    EXPECT_EQ(LastErrorCode(), 1200);

    EXPECT_EQ(peer("unlock"), "0");
    EXPECT_TRUE(RLock());
    EXPECT_EQ(peer("rlock"), "0");
}

TEST_F(LockTest, AppendLockAgainstRecordLocks) {
    Peer peer;
    const std::string path = Table({"A", "B"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("alock"), "1");
    USE(path);
    EXPECT_FALSE(ALock()) << "one appender at a time";
    GO(1);
    ASSERT_TRUE(RLock()) << "the append lock leaves the records free";

    EXPECT_EQ(peer("append NEW"), "0");
    GO(1);
    Peer::SetFirstField("MINE");
    Replace();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecCount(), 3);

    EXPECT_EQ(peer("unlock"), "0");
    Unlock();
    EXPECT_TRUE(ALock());
    EXPECT_EQ(peer("alock"), "0");
    EXPECT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "1") << "our append lock leaves the records free";
}

TEST_F(LockTest, FileLockAgainstEverything) {
    Peer peer;
    const std::string path = Table({"A", "B"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("flock"), "1");
    USE(path);
    EXPECT_FALSE(FLock());
    EXPECT_TRUE(ALock()) << "the file lock is the semaphore's, apart from the others";
    Unlock();
    GO(2);
    EXPECT_TRUE(RLock());
    Peer::SetFirstField("X");
    Replace();
    EXPECT_EQ(LastErrorCode(), 0);
    Unlock();

    EXPECT_EQ(peer("funlock"), "0");
    EXPECT_TRUE(FLock());
    EXPECT_EQ(peer("flock"), "0");
    EXPECT_EQ(peer("alock"), "1");
    EXPECT_EQ(peer("unlock"), "0");
    EXPECT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "1");
    FUnlock();
    EXPECT_EQ(peer("flock"), "1");
}

TEST_F(LockTest, FileUnlockFailureIsReported) {
    const std::string path = Table({"A"});
    USE(path);
    FUnlock();
    EXPECT_EQ(LastErrorCode(), 158);
    EXPECT_EQ(LastErrorMessage(), "Error attempting to UNLOCK file " + path + " in Workarea 1");
}

TEST_F(LockTest, WaitEndsWhenTheHolderLetsGo) {
    Peer peer;
    const std::string path = Table({"A", "B"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("go 1"), "0");
    ASSERT_EQ(peer("rlock"), "1");
    USE(path);
    GO(1);

    Settings().retry_count = 5;
    Settings().retry_wait = 1;
    int calls = 0;
    PumpScope pump([&](platform::EventFilter filter) {
        EXPECT_EQ(filter, platform::EventFilter::PaintAndTimer);
        if (++calls == 1) {
            EXPECT_EQ(peer("unlock"), "0");
        }
    });
    EXPECT_TRUE(RLock());
    EXPECT_GT(calls, 0);
    EXPECT_EQ(peer("rlock"), "0");
}

TEST_F(LockTest, RetryCountWaitsAndHook) {
    Peer peer;
    const std::string path = Table({"A"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("alock"), "1");
    USE(path);

    int waits = 0, asked = 0;
    PumpScope pump([&](platform::EventFilter) { ++waits; });
    Settings().retry_count = 2;  // three attempts, two waits between them
    Settings().retry_wait = 0;
    EXPECT_FALSE(ALock());
    EXPECT_EQ(waits, 2);

    // The hook starts a new series of attempts when it says so.
    waits = 0;
    Settings().retry_hook = [&] { return ++asked < 3; };
    EXPECT_FALSE(ALock());
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(waits, 6);

    // A hook that gets the holder to let go.
    asked = 0;
    Settings().retry_count = 0;
    Settings().retry_hook = [&] {
        ++asked;
        EXPECT_EQ(peer("unlock"), "0");
        return true;
    };
    EXPECT_TRUE(ALock());
    EXPECT_EQ(asked, 1);

    // A terminating application ends each wait after one round of events.
    Unlock();
    ASSERT_EQ(peer("alock"), "1");
    Settings().retry_hook = nullptr;
    Settings().retry_count = 2;
    Settings().retry_wait = 200;
    platform::SetApplicationTerminating(true);
    waits = 0;
    EXPECT_FALSE(ALock());
    EXPECT_EQ(waits, 2);
}

TEST_F(LockTest, RetryHookCannotCallTheEngine) {
    Peer peer;
    const std::string path = Table({"A"});
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("alock"), "1");
    USE(path);
    bool closed_open = false;
    Settings().retry_hook = [&] {
        CloseArea();
        closed_open = CurrentTable() != nullptr;
        return false;
    };
    EXPECT_FALSE(ALock());
    EXPECT_TRUE(closed_open) << "the area being locked stays open";
    EXPECT_EQ(LastErrorCode(), 254);
    EXPECT_EQ(RecCount(), 1);
}

TEST_F(LockTest, WaitsRefuseNestedCalls) {
    Peer peer;
    const std::string a_path = Table({"A", "B"}, "A.DBF");
    const std::string b_path = Table({"1", "2", "3", "4"}, "B.DBF");
    ASSERT_EQ(peer("use " + a_path), "0");
    ASSERT_EQ(peer("go 1"), "0");
    ASSERT_EQ(peer("rlock"), "1");
    Select(2);
    USE(b_path);
    GO(2);
    Select(1);
    USE(a_path);
    GO(1);

    // The test's event queue: a timer that tries the engine, and a click that
    // would move table B.
    enum class Kind { Timer, Click };
    std::deque<Kind> queue = {Kind::Timer, Kind::Click, Kind::Timer};
    std::vector<uint16_t> codes;
    std::vector<std::string> messages;
    const auto attempt = [&](const std::function<void()>& call) {
        SetLastErrorCode(0);
        call();
        codes.push_back(LastErrorCode());
        messages.push_back(LastErrorMessage());
    };
    int b_during_wait = 0;
    PumpScope pump([&](platform::EventFilter filter) {
        for (auto it = queue.begin(); it != queue.end();) {
            if (*it == Kind::Click && filter != platform::EventFilter::All) {
                ++it;
                continue;
            }
            const Kind kind = *it;
            it = queue.erase(it);
            if (kind == Kind::Click) {
                Select(2);
                GO(4);
                continue;
            }
            attempt([] { Select(2); });
            attempt([] { GO(3); });
            attempt([] { SKIP(1); });
            attempt([] { USE(""); });
            attempt([] { CloseArea(); });
            attempt([] { Unlock(); });
            attempt([] { FLock(); });
            attempt([] { Zap(); });
            b_during_wait = AreaAt(2)->rec_no;
        }
    });
    Settings().retry_count = 1;
    Settings().retry_wait = 1;
    EXPECT_FALSE(RLock());

    ASSERT_EQ(codes.size(), 16u);
    for (uint16_t c : codes) EXPECT_EQ(c, 254);
    EXPECT_EQ(messages[1], "The table engine is waiting and cannot be called again until it is done [GO()]");
    EXPECT_EQ(b_during_wait, 2);
    EXPECT_EQ(CurrentArea(), 1);
    EXPECT_EQ(AreaAt(2)->rec_no, 2);
    EXPECT_EQ(RecCount(), 2) << "area 1 is still open";
    EXPECT_EQ(queue.size(), 1u) << "the click waits for the wait to end";

    // Back in the main loop the click runs.
    platform::ProcessPendingEvents(platform::EventFilter::All);
    EXPECT_EQ(CurrentArea(), 2);
    EXPECT_EQ(RecNo(), 4);
}

TEST_F(LockTest, ReopenedAreasKeepTheirLocksReal) {
    Peer peer;
    const std::string path = Table({"A", "B", "C"});
    USE(path);
    GO(1);
    ASSERT_TRUE(RLock());
    ASSERT_EQ(ReopenTable(true), 0);
    EXPECT_TRUE(UnlockRec(1));
    GO(2);
    EXPECT_TRUE(RLock());
    ASSERT_EQ(ReopenTable(false), 0);
    GO(1);
    EXPECT_TRUE(RLock()) << "the lock released while exclusive is gone from the file";

    ASSERT_EQ(peer("use " + path), "0");
    for (int n : {1, 2}) {
        EXPECT_EQ(peer("go " + std::to_string(n)), "0");
        EXPECT_EQ(peer("rlock"), "0") << "record " << n;
    }
    Unlock();
    EXPECT_EQ(peer("rlock"), "1");
}

TEST_F(LockTest, VirtualFilesRefuseLocks) {
    testing_support::AttachStore<testing_support::FunctionStore>();
    std::vector<char> buffer(16);
    USE("MEM VIRTUAL FILE", buffer);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();

    EXPECT_FALSE(ALock());
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), " [ALock]");
    EXPECT_FALSE(RLock());
    EXPECT_EQ(LastErrorMessage(), " [RLock]");
    EXPECT_FALSE(IsLocked(1));
    EXPECT_EQ(LastErrorMessage(), "[IsLocked]");
    SetLastErrorCode(0);
    Unlock();
    EXPECT_EQ(LastErrorCode(), 0);
    CloseArea();
}

}  // namespace
