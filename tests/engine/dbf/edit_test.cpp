#include "engine/dbf/edit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/file.hpp"
#include "platform/msgbox.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/engine_peer.hpp"
#include "tests/support/fake_units.hpp"
#include "tests/support/files.hpp"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using testing_support::ChildProcess;
using namespace zurod;

void SetAmount(double value) {
    TWorkArea* a = CurrentTable();
    SetSwapNumber(*a, a->fields[1], value);
}

uint32_t HeaderCount(const std::string& file) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<uint8_t>(file[4 + i]);
    return n;
}

using Peer = testing_support::EnginePeer;
using namespace testing_support;  // the index operation numbers

// Records the index operations the engine asks for while it is attached.
class FakeIndex {
public:
    FakeIndex() {
        testing_support::AttachIndex<testing_support::DispatchIndex>().dispatch = [this](uint8_t op, int32_t arg,
                                                                                         TWorkArea&) -> int32_t {
            if (op == kIndexActive) return 1;
            calls.emplace_back(op, arg);
            if (op == kIndexRememberKeys) seen_old = FieldText(1);
            if (op == kIndexUpdateKeys) seen_new = FieldText(1);
            if (op == kIndexReindex) packing_during_reindex = EnginePacking();
            return 0;
        };
    }
    ~FakeIndex() { Engine().attachments.index.reset(); }
    FakeIndex(const FakeIndex&) = delete;
    FakeIndex& operator=(const FakeIndex&) = delete;

    std::vector<std::pair<uint8_t, int32_t>> calls;
    std::string seen_old, seen_new;
    bool packing_during_reindex = false;
};

class EditTest : public testing_support::EngineTest {
protected:
    // A table with NAME C 10 and AMOUNT N 8.2 holding the given names; a
    // name starting with "*" is stored deleted.
    std::string Table(const std::vector<std::string>& names, const std::string& file = "T.DBF") {
        const std::string path = CreateTable(file, {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}});
        USE(path + " EXCLUSIVE");
        for (const std::string& n : names) {
            ClearRecord();
            const bool deleted = !n.empty() && n[0] == '*';
            Peer::SetFirstField(deleted ? n.substr(1) : n);
            SetSwapDeleted(*CurrentTable(), deleted);
            Append();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }

    static constexpr size_t kHeader = 97;  // two descriptors
    static constexpr size_t kRecord = 19;

    // Record n (1-based) of a file image.
    static std::string Record(const std::string& file, int n) {
        return file.substr(kHeader + (n - 1) * kRecord, kRecord);
    }
};

TEST_F(EditTest, AppendNeedsTheAppendLockWhenShared) {
    const std::string path = Table({"A", "B"});
    USE(path);
    const std::string before = ReadFileBytes(path);
    ClearRecord();
    Peer::SetFirstField("NEW");
    Append();
    EXPECT_EQ(LastErrorCode(), 5);
    EXPECT_EQ(LastErrorMessage(), "File must be locked to append: " + path + " [APPEND]");
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(RecCount(), 2);

    GO(1);
    ASSERT_TRUE(RLock());
    Append();
    EXPECT_EQ(LastErrorCode(), 5) << "a record lock is not the append lock";
    Unlock();

    ASSERT_TRUE(ALock());
    ClearRecord();
    Peer::SetFirstField("NEW");
    SetAmount(12.5);
    Append();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecNo(), 3);
    EXPECT_FALSE(dEOF());
    EXPECT_FALSE(dBOF());
    EXPECT_EQ(FieldText(2), "   12.50");
    const std::string after = ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(after), 3u);
    EXPECT_EQ(Record(after, 3), " NEW          12.50");
    EXPECT_EQ(after.size(), kHeader + 3 * kRecord + 1);
    EXPECT_EQ(after.back(), '\x1A');
    Unlock();
    CloseArea();

    // Exclusive use needs no lock.
    USE(path + " EXCLUSIVE");
    ClearRecord();
    Append();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecCount(), 4);
}

TEST_F(EditTest, ReplaceFollowsTheLockRule) {
    const std::string path = Table({"A", "B", "C"});
    USE(path);
    const std::string before = ReadFileBytes(path);
    GO(2);
    Peer::SetFirstField("CHANGED");
    Replace();
    EXPECT_EQ(LastErrorCode(), 1200);
    EXPECT_EQ(LastErrorMessage(), "Record #2 in " + path + " [REPLACE]");

    ASSERT_TRUE(ALock());
    Replace();
    EXPECT_EQ(LastErrorCode(), 1200) << "the append lock is no record lock";
    Unlock();

    GO(1);
    ASSERT_TRUE(RLock());
    GO(2);
    Peer::SetFirstField("CHANGED");
    Replace();
    EXPECT_EQ(LastErrorCode(), 1200) << "another record is locked";
    EXPECT_EQ(ReadFileBytes(path), before);

    ASSERT_TRUE(RLock());
    SetAmount(123456.78);  // one digit too many for N 8.2
    Replace();
    EXPECT_EQ(LastErrorCode(), 201);
    EXPECT_EQ(ReadFileBytes(path), before);

    SetAmount(-7.25);
    Replace();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const std::string after = ReadFileBytes(path);
    EXPECT_EQ(Record(after, 2), " CHANGED      -7.25");
    EXPECT_EQ(after.substr(0, kHeader + kRecord), before.substr(0, kHeader + kRecord));
    EXPECT_EQ(after.substr(kHeader + 2 * kRecord), before.substr(kHeader + 2 * kRecord));
    EXPECT_EQ(RecCount(), 3);
}

TEST_F(EditTest, ReplaceNeedsACurrentRecord) {
    const std::string empty = CreateTable("E.DBF", {{"NAME", 'C', 10, 0}});
    USE(empty);
    const std::string empty_before = ReadFileBytes(empty);
    Peer::SetFirstField("X");
    Replace();
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(LastErrorMessage(), "Database \"" + empty + "\" is empty. [REPLACE]");
    EXPECT_EQ(ReadFileBytes(empty), empty_before);

    const std::string path = Table({"A", "B"});
    USE(path);
    const std::string before = ReadFileBytes(path);
    GO(2);
    ASSERT_TRUE(RLock());
    GO(7);
    EXPECT_EQ(LastErrorCode(), 212);
    Peer::SetFirstField("X");
    Replace();
    EXPECT_EQ(LastErrorCode(), 212);
    EXPECT_EQ(LastErrorMessage(), "Database \"" + path + "\" is at EOF. [REPLACE]");
    EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(EditTest, DeleteAndRecallWriteOnlyTheMark) {
    const std::string path = Table({"A", "B", "C"});
    USE(path);
    GO(2);
    ASSERT_TRUE(RLock());
    // Another writer changes the amount on disk after we read the record, and
    // the caller edits the name without replacing.
    {
        platform::File other;
        ASSERT_EQ(other.Open(path, platform::Access::ReadWrite, platform::Share::DenyNone), 0);
        const std::string amount = "   99.00";
        ASSERT_EQ(other.WriteAt(kHeader + kRecord + 11, amount), 0);
    }
    Peer::SetFirstField("EDITED");
    DeleteRec();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(Deleted());
    EXPECT_EQ(Record(ReadFileBytes(path), 2), "*B            99.00");
    RecallRec();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_FALSE(Deleted());
    EXPECT_EQ(Record(ReadFileBytes(path), 2), " B            99.00");
}

TEST_F(EditTest, DeleteAndRecallRefusals) {
    const std::string path = Table({"A", "B"});
    USE(path);
    const std::string before = ReadFileBytes(path);
    GO(1);
    DeleteRec();
    EXPECT_EQ(LastErrorCode(), 1200);
    EXPECT_EQ(LastErrorMessage(), path + " Record not locked [DeleteRec]");
    RecallRec();
    EXPECT_EQ(LastErrorCode(), 1200);
    EXPECT_EQ(LastErrorMessage(), "Record not locked [RecallRec]");
    ASSERT_TRUE(ALock());
    DeleteRec();
    EXPECT_EQ(LastErrorCode(), 1200) << "not while the append lock is held";
    RecallRec();
    EXPECT_EQ(LastErrorCode(), 1200);
    Unlock();
    EXPECT_EQ(ReadFileBytes(path), before);

    // Past the end: a delete does nothing, a recall is refused.
    GO(3);
    ASSERT_TRUE(RLock());
    DeleteRec();
    EXPECT_EQ(LastErrorCode(), 0);
    RecallRec();
    EXPECT_EQ(LastErrorCode(), 1103);
    EXPECT_EQ(LastErrorMessage(), path + " at EOF [RecallRec]");
    EXPECT_EQ(ReadFileBytes(path), before);
    CloseArea();

    USE(path + " EXCLUSIVE");
    GO(2);
    DeleteRec();
    EXPECT_EQ(LastErrorCode(), 0) << "exclusive use needs no lock";
    EXPECT_EQ(Record(ReadFileBytes(path), 2)[0], '*');
}

TEST_F(EditTest, RefusalsLeaveTheTableIntactWithHandlingOn) {
    const std::string path = Table({"A", "B"});
    USE(path);
    const std::string before = ReadFileBytes(path);
    SetErrorHandling(true);
    RaiseModeScope raise(true);
    GO(1);
    EXPECT_THROW(Replace(), EZurodError);
    EXPECT_THROW(Append(), EZurodError);
    EXPECT_THROW(DeleteRec(), EZurodError);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(RecNo(), 1);
}

TEST_F(EditTest, SharedHeaderNeverLowersTheCount) {
    Peer peer;
    const std::string path = Table({"A", "B", "C"});
    USE(path);
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("alock"), "1");
    ASSERT_EQ(peer("append D"), "0");
    ASSERT_EQ(peer("append E"), "0");
    ASSERT_EQ(HeaderCount(ReadFileBytes(path)), 5u);

    GO(1);
    ASSERT_TRUE(RLock());
    Peer::SetFirstField("Z");
    Replace();
    FlushDbf();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(HeaderCount(ReadFileBytes(path)), 5u);
    DeleteRec();
    CloseArea();
    EXPECT_EQ(HeaderCount(ReadFileBytes(path)), 5u);
    EXPECT_EQ(peer("close"), "0");
    EXPECT_EQ(HeaderCount(ReadFileBytes(path)), 5u);
}

TEST_F(EditTest, FlushDbfWritesWhatIsPending) {
    const std::string path = Table({"A"});
    USE(path + " EXCLUSIVE");
    ClearRecord();
    Peer::SetFirstField("B");
    Append();
    ASSERT_EQ(CurrentTable()->header_state, HeaderState::Appended);
    // Damage the end mark behind our back: the flush puts it back.
    {
        TWorkArea* a = CurrentTable();
        const char junk = 'x';
        ASSERT_EQ(a->file.WriteAt(kHeader + 2 * kRecord, std::span(&junk, 1)), 0);
    }
    FlushDbf();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(CurrentTable()->header_state, HeaderState::Clean);
    const std::string file = ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(file), 2u);
    EXPECT_EQ(file.size(), kHeader + 2 * kRecord + 1);
    EXPECT_EQ(file.back(), '\x1A');
}

TEST_F(EditTest, ZapExclusive) {
    const std::string path = Table({"A", "B", "C"});
    USE(path + " EXCLUSIVE");
    EXPECT_TRUE(Zap());
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(RecCount(), 0);
    EXPECT_EQ(RecNo(), 0);
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    const std::string file = ReadFileBytes(path);
    EXPECT_EQ(file.size(), kHeader + 1);
    EXPECT_EQ(file.back(), '\x1A');
    EXPECT_EQ(HeaderCount(file), 0u);
}

TEST_F(EditTest, ZapSharedDropsRecordLocksAndSharesAgain) {
    Peer peer;
    const std::string path = Table({"A", "B"});
    USE(path);
    GO(1);
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(Zap());
    EXPECT_EQ(RecCount(), 0);
    EXPECT_FALSE(IsLocked(1)) << "no record is left to hold";

    ASSERT_EQ(peer("use " + path), "0") << "shared again";
    ASSERT_EQ(peer("alock"), "1");
    ASSERT_EQ(peer("append NEW"), "0");
    ASSERT_EQ(peer("unlock"), "0");
    ASSERT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "1") << "the new record 1 is nobody's";
    ASSERT_EQ(peer("unlock"), "0");
    ASSERT_EQ(peer("close"), "0");

    // The append lock names no record: it stays held.
    ASSERT_TRUE(ALock());
    EXPECT_TRUE(Zap());
    ASSERT_EQ(peer("use " + path), "0");
    EXPECT_EQ(peer("alock"), "0");
    Unlock();
    EXPECT_EQ(peer("alock"), "1");
}

TEST_F(EditTest, ZapAndPackFailWhileOpenElsewhere) {
    Peer peer;
    const std::string path = Table({"A", "*B", "C"});
    USE(path);
    ASSERT_EQ(peer("use " + path), "0");
    GO(3);
    ASSERT_TRUE(RLock());
    const std::string before = ReadFileBytes(path);

    EXPECT_FALSE(Zap());
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(Pack());
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".TZP"));

    // Still shared, still holding record 3.
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(peer("go 3"), "0");
    EXPECT_EQ(peer("rlock"), "0");
    EXPECT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "1");
    Peer::SetFirstField("STILL");
    Replace();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(peer("close"), "0");
    EXPECT_EQ(peer("use " + path), "0");
}

TEST_F(EditTest, ConfirmationCanCancel) {
    Peer peer;
    const std::string path = Table({"A", "*B"});
    Settings().confirm = true;
    USE(path);
    const std::string before = ReadFileBytes(path);
    box_.answers = {platform::kIdCancel, platform::kIdCancel};
    EXPECT_FALSE(Zap());
    EXPECT_FALSE(Pack());
    EXPECT_EQ(ReadFileBytes(path), before);
    ASSERT_EQ(box_.shown.size(), 2u);
    EXPECT_EQ(box_.shown[0].text, "ZAP " + path);
    EXPECT_EQ(box_.shown[0].caption, "");
    EXPECT_EQ(box_.shown[0].flags, platform::kMbOkCancel | platform::kMbIconQuestion);
    EXPECT_EQ(box_.shown[1].text, "PACK " + path);
    EXPECT_EQ(peer("use " + path), "0") << "shared again after the cancel";
    EXPECT_EQ(peer("close"), "0");

    box_.answers = {platform::kIdOk};
    EXPECT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 1);
    EXPECT_EQ(ConfirmAction("anything"), true) << "no answer queued: the default button, OK";
    Settings().confirm = false;
    box_.shown.clear();
    EXPECT_TRUE(ConfirmAction("anything"));
    EXPECT_TRUE(box_.shown.empty());
}

TEST_F(EditTest, ConfirmBoxCannotCallTheEngine) {
    const std::string path = Table({"A", "B"});
    class Meddling final : public platform::MessageBoxService {
    public:
        int Show(std::string_view, std::string_view, unsigned) override {
            CloseArea();
            codes.push_back(LastErrorCode());
            GO(1);
            codes.push_back(LastErrorCode());
            return platform::kIdOk;
        }
        std::vector<uint16_t> codes;
    } meddling;
    platform::InstallMessageBox(&meddling);
    Settings().confirm = true;
    USE(path);
    GO(2);
    ASSERT_TRUE(RLock());
    DeleteRec();
    EXPECT_TRUE(Pack()) << "the refused calls do not fail the operation";
    EXPECT_EQ(RecCount(), 1);
    EXPECT_TRUE(Zap());
    platform::InstallMessageBox(&box_);
    EXPECT_EQ(meddling.codes, (std::vector<uint16_t>{254, 254, 254, 254}));
    EXPECT_EQ(RecCount(), 0);
}

TEST_F(EditTest, PackKeepsTheLiveRecordsInOrder) {
    Peer peer;
    const std::string path = Table({"A", "*B", "C", "*D", "*E", "F"});
    USE(path);
    GO(1);
    ASSERT_TRUE(RLock());
    GO(3);
    EXPECT_TRUE(Pack());
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 3);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(FieldText(1), "A         ");
    EXPECT_FALSE(dEOF());
    const std::string file = ReadFileBytes(path);
    EXPECT_EQ(HeaderCount(file), 3u);
    EXPECT_EQ(file.size(), kHeader + 3 * kRecord + 1);
    EXPECT_EQ(Record(file, 1), " A             0.00");
    EXPECT_EQ(Record(file, 2), " C             0.00");
    EXPECT_EQ(Record(file, 3), " F             0.00");
    EXPECT_EQ(file.back(), '\x1A');
    EXPECT_FALSE(std::filesystem::exists(path + ".TZP"));

    // Shared again, with record 1 still ours.
    ASSERT_EQ(peer("use " + path), "0");
    EXPECT_EQ(peer("go 1"), "0");
    EXPECT_EQ(peer("rlock"), "0");
    EXPECT_EQ(peer("go 2"), "0");
    EXPECT_EQ(peer("rlock"), "1");
    Peer::SetFirstField("AA");
    Replace();
    EXPECT_EQ(LastErrorCode(), 0) << "the area writes to the packed file";
    EXPECT_EQ(Record(ReadFileBytes(path), 1), " AA            0.00");
}

TEST_F(EditTest, PackReplacesTheFileBehindALinkAndKeepsItsPermissions) {
    const std::string path = Table({"A", "*B", "C"});
    std::filesystem::permissions(
        path,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read);
    const std::string link = dir_ / "LINK.DBF";
    std::filesystem::create_symlink(path, link);
    USE(link + " EXCLUSIVE");
    EXPECT_TRUE(Pack());
    CloseArea();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(HeaderCount(ReadFileBytes(path)), 2u);
    EXPECT_EQ(
        std::filesystem::status(path).permissions(),
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read);
}

TEST_F(EditTest, PackEdgeCases) {
    const std::string all = Table({"*A", "*B"}, "ALL.DBF");
    USE(all + " EXCLUSIVE");
    EXPECT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 0);
    EXPECT_EQ(RecNo(), 0);
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    std::string file = ReadFileBytes(all);
    EXPECT_EQ(file.size(), kHeader + 1);
    EXPECT_EQ(file.back(), '\x1A');
    EXPECT_TRUE(Pack()) << "an empty table";

    const std::string none = Table({"A", "B"}, "NONE.DBF");
    const std::string before = ReadFileBytes(none);
    USE(none);
    EXPECT_TRUE(Pack());
    file = ReadFileBytes(none);
    ASSERT_EQ(file.size(), before.size());
    EXPECT_EQ(file.substr(4), before.substr(4)) << "only the date may change";
}

TEST_F(EditTest, PackSeesRecordsAnotherProcessAppended) {
    Peer peer;
    const std::string path = Table({});
    USE(path);
    ASSERT_EQ(peer("use " + path), "0");
    for (const char* step : {"alock", "append A", "append B", "unlock", "go 1", "rlock", "delete", "close"})
        ASSERT_NE(peer(step), "?") << step;
    ASSERT_EQ(HeaderCount(ReadFileBytes(path)), 2u);
    EXPECT_TRUE(Pack());
    EXPECT_EQ(RecCount(), 1);
    EXPECT_EQ(FieldText(1), "B         ");
}

TEST_F(EditTest, PackFailsCleanlyOnATruncatedTable) {
    const std::string path = Table({"A", "*B", "C"});
    USE(path + " EXCLUSIVE");
    // Cut short underneath the open area, which still counts 3 records.
    std::filesystem::resize_file(path, kHeader + 2 * kRecord + 5);
    const std::string bytes = ReadFileBytes(path);
    EXPECT_FALSE(Pack());
    EXPECT_EQ(LastErrorCode(), 213);
    EXPECT_EQ(ReadFileBytes(path), bytes);
    EXPECT_FALSE(std::filesystem::exists(path + ".TZP"));
}

// A large pack killed at random moments leaves either the old table or the
// packed one: every live record exactly once.
TEST_F(EditTest, PackSurvivesBeingKilled) {
    constexpr int kRecords = 200000;
    const std::string path = CreateTable("BIG.DBF", {{"ID", 'N', 8, 0}, {"NAME", 'C', 10, 0}});
    std::string master = ReadFileBytes(path);
    ASSERT_EQ(master.size(), kHeader + 1);
    master.pop_back();
    for (int i = 0; i < 4; ++i) master[4 + i] = static_cast<char>((kRecords >> (8 * i)) & 0xFF);
    master.reserve(kHeader + kRecords * kRecord + 1);
    int live = 0;
    for (int id = 1; id <= kRecords; ++id) {
        const bool deleted = id % 3 == 2;
        live += deleted ? 0 : 1;
        const std::string number = std::to_string(id);
        master += deleted ? '*' : ' ';
        master += std::string(8 - number.size(), ' ') + number;
        master += ("R" + number + "          ").substr(0, 10);
    }
    master.push_back('\x1A');

    const auto check = [&](const std::string& when) {
        SCOPED_TRACE(when);
        USE(path + " EXCLUSIVE");
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        const int32_t count = RecCount();
        CloseArea();
        const std::string file = ReadFileBytes(path);
        ASSERT_EQ(HeaderCount(file), static_cast<uint32_t>(count));
        ASSERT_TRUE(count == kRecords || count == live) << count;
        ASSERT_GE(file.size(), kHeader + static_cast<size_t>(count) * kRecord);
        std::vector<uint8_t> seen(kRecords + 1, 0);
        for (int32_t n = 0; n < count; ++n) {
            const char* r = file.data() + kHeader + static_cast<size_t>(n) * kRecord;
            const int id = std::atoi(std::string(r + 1, 8).c_str());
            ASSERT_TRUE(id >= 1 && id <= kRecords) << "record " << n + 1;
            ASSERT_EQ(seen[id]++, 0) << "record " << id << " twice";
            ASSERT_EQ(r[0] == '*', id % 3 == 2) << "record " << id;
        }
        for (int id = 1; id <= kRecords; ++id)
            if (id % 3 != 2) {
                ASSERT_EQ(seen[id], 1) << "record " << id << " lost";
            }
    };
    testing_support::KillAtRandomMoments(
        12, [&] { WriteFileBytes(path, master); },
        [&] {
            USE(path);
            const bool ok = Pack();
            return ok ? std::string("done") : "failed " + std::to_string(LastErrorCode());
        },
        check);
}

TEST_F(EditTest, IndexIsKeptInStep) {
    const std::string path = Table({"A", "B", "*C"});
    USE(path + " EXCLUSIVE");
    GO(2);
    {
        FakeIndex index;
        Peer::SetFirstField("NEW");
        Replace();
        EXPECT_EQ(LastErrorCode(), 0);
        EXPECT_EQ(index.seen_old, "B         ") << "the old keys come from the file";
        EXPECT_EQ(index.seen_new, "NEW       ");
        EXPECT_EQ(FieldText(1), "NEW       ");
        using Calls = std::vector<std::pair<uint8_t, int32_t>>;
        EXPECT_EQ(index.calls,
                  (Calls{{kIndexWriteLock, 1}, {kIndexRememberKeys, 0}, {kIndexUpdateKeys, 0}, {kIndexWriteLock, 0}}));

        index.calls.clear();
        ClearRecord();
        Peer::SetFirstField("D");
        Append();
        EXPECT_EQ(index.calls, (Calls{{kIndexWriteLock, 1}, {kIndexAddKeys, 0}, {kIndexWriteLock, 0}}));

        // A refused value releases the write lock and re-keys nothing.
        index.calls.clear();
        SetAmount(1e9);
        Replace();
        EXPECT_EQ(LastErrorCode(), 201);
        EXPECT_EQ(index.calls.back(), (std::pair<uint8_t, int32_t>{kIndexWriteLock, 0}));
        EXPECT_EQ(std::count(index.calls.begin(), index.calls.end(), std::pair<uint8_t, int32_t>{kIndexUpdateKeys, 0}),
                  0);

        index.calls.clear();
        EXPECT_TRUE(Pack());
        EXPECT_EQ(index.calls, (Calls{{kIndexReindex, 0}}));
        EXPECT_TRUE(index.packing_during_reindex);
        EXPECT_FALSE(EnginePacking());

        index.calls.clear();
        EXPECT_TRUE(Zap());
        EXPECT_EQ(index.calls, (Calls{{kIndexReindex, 0}}));
        EXPECT_FALSE(index.packing_during_reindex);
    }
    ClearRecord();
    Append();
    {
        FakeIndex index;
        CurrentTable()->old_record.clear();
        Replace();
        EXPECT_EQ(LastErrorCode(), 254);
        EXPECT_EQ(LastErrorMessage(), path + " Swap-buffer NIL. [REPLACE]");
    }
}

TEST_F(EditTest, ReopenTable) {
    Peer peer;
    const std::string path = Table({"A"});
    USE(path + " EXCLUSIVE");
    EXPECT_EQ(ReopenTable(false), 5) << "exclusive from the start stays so";
    CloseArea();

    USE(path);
    ASSERT_EQ(ReopenTable(true), 0);
    EXPECT_TRUE(CurrentTable()->exclusive);
    EXPECT_EQ(peer("use " + path), "32");
    EXPECT_EQ(ReopenTable(true), 0);
    ASSERT_EQ(ReopenTable(false), 0);
    EXPECT_FALSE(CurrentTable()->exclusive);
    EXPECT_EQ(peer("use " + path), "0");
    EXPECT_EQ(ReopenTable(true), 32);
    EXPECT_FALSE(CurrentTable()->exclusive);
}

TEST_F(EditTest, VirtualFilesGoToTheirStore) {
    std::vector<int> ops;
    testing_support::AttachStore<testing_support::FunctionStore>().dispatch = [&](TWorkArea& area, VFileRequest request,
                                                                                  int32_t) -> Status {
        ops.push_back(static_cast<int>(request));
        if (request == VFileRequest::Open) area.rec_count = area.rec_no = 1;
        return {};
    };
    std::vector<char> buffer(16);
    USE("MEM VIRTUAL FILE", buffer);
    ASSERT_EQ(LastErrorCode(), 0);
    ops.clear();
    DeleteRec();
    RecallRec();
    EXPECT_TRUE(Pack());
    EXPECT_TRUE(Zap());
    EXPECT_EQ(ops, (std::vector<int>{2, 9, 5, 12}));
    CloseArea();
}

}  // namespace
