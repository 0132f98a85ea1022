// Several processes on one shared table: every acknowledged change is there
// exactly once, and the header, the end mark, the locks and the files beside
// the table say what the file holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "platform/file.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/engine_peer.hpp"
#include "tests/support/files.hpp"
#include "tests/support/table_image.hpp"

namespace {

using namespace zurod;
using testing_support::ChildProcess;
using testing_support::Failure;
using testing_support::RunTogether;
using testing_support::TableImage;

void Pause() { std::this_thread::sleep_for(std::chrono::microseconds(20)); }

// Reads the header's count over and over until it reaches `final`: "done",
// or what went wrong. A count that falls undoes someone's append.
std::string WatchHeaderCount(const std::string& path, uint32_t final) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "cannot open the table";
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    uint32_t last = 0;
    std::string result = "done";
    for (;;) {
        uint8_t b[4];
        if (::pread(fd, b, 4, 4) != 4) {
            result = "cannot read the header";
            break;
        }
        const uint32_t count = b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
        if (count < last) {
            result = "the count fell from " + std::to_string(last) + " to " + std::to_string(count);
            break;
        }
        last = count;
        if (count == final) break;
        if (std::chrono::steady_clock::now() > give_up) {
            result = "the count stopped at " + std::to_string(count);
            break;
        }
    }
    ::close(fd);
    return result;
}

class SharingTest : public testing_support::EngineTest {
protected:
    // ID C 12, N N 8, TAG C 4.
    std::string Table(const std::vector<std::string>& ids = {}) {
        const std::string path = CreateTable("S.DBF", {{"ID", 'C', 12, 0}, {"N", 'N', 8, 0}, {"TAG", 'C', 4, 0}});
        USE(path + " EXCLUSIVE");
        for (const std::string& id : ids) {
            ClearRecord();
            PutFieldString(1, id[0] == '*' ? id.substr(1) : id);
            Append();
            if (id[0] == '*') DeleteRec();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }

    static std::string Id(const std::string& record) { return TableImage::Field(record, 1, 12); }

    // The counts a shared and an exclusive open see.
    std::pair<int32_t, int32_t> Counts(const std::string& path) {
        std::pair<int32_t, int32_t> counts{-1, -1};
        USE(path);
        if (LastErrorCode() == 0) counts.first = RecCount();
        CloseArea();
        USE(path + " EXCLUSIVE");
        if (LastErrorCode() == 0) counts.second = RecCount();
        CloseArea();
        return counts;
    }
};

// Writers that append and close, append and replace and close, or keep the
// table open and flush after each unlock: closes and flushes never put the
// end mark on another's record or a lower count in the header.
TEST_F(SharingTest, ClosesAndFlushesLoseNoAppend) {
    enum Style { kClose, kReplaceThenClose, kFlushAfterUnlock };
    const Style styles[] = {kClose, kReplaceThenClose, kFlushAfterUnlock, kClose};
    constexpr int kPerWriter = 300;
    const std::string path = Table();
    const std::vector<std::string> results = RunTogether(5, [&](int k) -> std::string {
        if (k == 4) return WatchHeaderCount(path, 4 * kPerWriter);
        const Style style = styles[k];
        for (int i = 0; i < kPerWriter; ++i) {
            if (i == 0 || style != kFlushAfterUnlock) {
                USE(path);
                if (LastErrorCode() != 0) return Failure("use");
            }
            while (!ALock()) Pause();
            ClearRecord();
            PutFieldString(1, "W" + std::to_string(k) + "-" + std::to_string(i));
            Append();
            if (LastErrorCode() != 0) return Failure("append");
            Unlock();
            if (style == kReplaceThenClose) {
                while (!RLock()) Pause();
                PutFieldString(3, "R");
                Replace();
                if (LastErrorCode() != 0) return Failure("replace");
                Unlock();
            }
            if (style == kFlushAfterUnlock) FlushDbf();
            if (style != kFlushAfterUnlock || i == kPerWriter - 1) CloseArea();
            if (LastErrorCode() != 0) return Failure("close");
        }
        return "done";
    });
    for (const std::string& r : results) ASSERT_EQ(r, "done");

    const TableImage image = TableImage::Read(path);
    EXPECT_EQ(image.header_count, image.records.size()) << "the header hides records";
    EXPECT_EQ(image.tail, "\x1A");
    std::map<std::string, int> seen;
    for (const std::string& record : image.records) {
        EXPECT_EQ(record[0], ' ') << "delete mark of " << Id(record);
        ++seen[Id(record)];
    }
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < kPerWriter; ++i) {
            const std::string id = "W" + std::to_string(k) + "-" + std::to_string(i);
            EXPECT_EQ(seen[id], 1) << id;
        }
    EXPECT_EQ(Counts(path), std::make_pair(4 * kPerWriter, 4 * kPerWriter));
}

// Each process adds one to a counter under the record lock, reading it again
// once the lock is held: no update is lost.
TEST_F(SharingTest, CounterUnderRecordLockLosesNoUpdate) {
    constexpr int kPerProcess = 150;
    for (int processes : {2, 4, 8}) {
        SCOPED_TRACE(std::to_string(processes) + " processes");
        const std::string path = Table({"COUNTER"});
        const std::vector<std::string> results = RunTogether(processes, [&](int) -> std::string {
            USE(path);
            if (LastErrorCode() != 0) return Failure("use");
            for (int i = 0; i < kPerProcess; ++i) {
                GO(1);
                while (!RLock()) Pause();
                SKIP(0);
                PutFieldInteger(2, GetFieldInteger(2) + 1);
                Replace();
                if (LastErrorCode() != 0) return Failure("replace");
                Unlock();
            }
            CloseArea();
            return "done";
        });
        for (const std::string& r : results) ASSERT_EQ(r, "done");
        USE(path);
        EXPECT_EQ(RecCount(), 1);
        EXPECT_EQ(GetFieldInteger(2), processes * kPerProcess);
        CloseArea();
        std::filesystem::remove(path);
    }
}

// A pack renumbers the records: each held lock goes with its record, and a
// lock on a record that was packed away is gone.
TEST_F(SharingTest, RecordLocksFollowTheirRecordsThroughAPack) {
    struct Case {
        const char* name;
        std::vector<std::string> ids;   // '*' marks a deleted one
        std::vector<int32_t> locked;    // before the pack, in locking order
        std::vector<int32_t> expected;  // after it, in the same order
    };
    const std::vector<Case> cases = {
        {"moved down", {"A", "*B", "C", "*D", "E", "F"}, {6, 1, 3}, {4, 1, 2}},
        {"deleted one dropped", {"A", "*B", "C", "*D", "E"}, {4, 5}, {3}},
        {"only the first deleted", {"*A", "B", "C"}, {1, 3}, {2}},
        {"nothing deleted before", {"A", "B", "*C"}, {1, 2}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::EnginePeer peer;
        const std::string path = Table(c.ids);
        USE(path);
        for (int32_t n : c.locked) {
            GO(n);
            ASSERT_TRUE(RLock()) << n;
        }
        ASSERT_TRUE(Pack());
        EXPECT_EQ(CurrentTable()->locks, c.expected);
        ASSERT_EQ(peer("use " + path), "0");
        for (int32_t n = 1; n <= RecCount(); ++n) {
            const bool ours = std::find(c.expected.begin(), c.expected.end(), n) != c.expected.end();
            ASSERT_EQ(peer("go " + std::to_string(n)), "0");
            EXPECT_EQ(peer("rlock"), ours ? "0" : "1") << "record " << n;
            ASSERT_EQ(peer("unlock"), "0");
        }
        ASSERT_EQ(peer("close"), "0");
        CloseArea();
        std::filesystem::remove(path);
    }
}

// The rewrite file's name is known in advance: whatever is planted there is
// never written through, and one that nobody holds is removed first.
TEST_F(SharingTest, RewritesNeverFollowWhatIsPlantedUnderTheirName) {
    const std::vector<std::pair<const char*, std::function<bool()>>> operations = {
        {"pack", [] { return Pack(); }},
        {"zap", [] { return Zap(); }},
    };
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(name);
        const std::string path = Table({"A", "*B", "C"});
        const std::string victim = dir_ / "VICTIM.TXT";
        testing_support::WriteFileBytes(victim, "keep me");
        std::filesystem::create_symlink(victim, path + ".TZP");
        USE(path + " EXCLUSIVE");
        EXPECT_TRUE(run()) << LastErrorMessage();
        CloseArea();
        EXPECT_EQ(testing_support::ReadFileBytes(victim), "keep me");
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path + ".TZP")));
        std::filesystem::remove(path);
    }
}

// A rewrite file that its builder left when it died is removed by the next
// open or pack; one that an open still holds is left alone.
TEST_F(SharingTest, StaleRewriteFilesGoOnTheNextOpenOrPack) {
    struct Case {
        const char* name;
        const char* command;  // USE's command after the path
        bool pack;
        bool held;
    };
    const Case cases[] = {
        {"shared open", "", false, false},
        {"exclusive open", " EXCLUSIVE", false, false},
        {"pack", " EXCLUSIVE", true, false},
        {"held elsewhere", "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Table({"A", "*B"});
        const std::string temp = path + ".TZP";
        const auto plant = [&] { testing_support::WriteFileBytes(temp, std::string(4096, 'x')); };
        if (!c.pack) plant();
        std::unique_ptr<ChildProcess> holder;
        if (c.held) {
            holder = std::make_unique<ChildProcess>([&](const ChildProcess::Channel& ch) {
                platform::File f;
                ch.Send(std::to_string(f.Open(temp, platform::Access::ReadWrite, platform::Share::Exclusive)));
                ch.Receive();
            });
            ASSERT_EQ(holder->Receive(), "0");
        }
        USE(path + c.command);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        if (c.pack) {
            plant();
            EXPECT_TRUE(Pack());
        }
        EXPECT_EQ(std::filesystem::exists(temp), c.held);
        CloseArea();
        holder.reset();
        std::filesystem::remove(temp);
        std::filesystem::remove(path);
    }
}

// Another program's table with bytes behind its end mark: those bytes are no
// records, shared and exclusive opens agree, and a shared append goes right
// behind the last record.
TEST_F(SharingTest, BytesBehindTheLastRecordAreNoRecords) {
    testing_support::EnginePeer peer;
    const std::string path = Table({"A", "B"});
    std::string file = testing_support::ReadFileBytes(path);
    const size_t record_length = TableImage::Read(path).record_length;
    file += std::string(2 * record_length + 7, ' ');
    testing_support::WriteFileBytes(path, file);

    EXPECT_EQ(Counts(path), std::make_pair(2, 2));
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("alock"), "1");
    ASSERT_EQ(peer("append C"), "0");
    ASSERT_EQ(peer("close"), "0");
    EXPECT_EQ(Counts(path), std::make_pair(3, 3));
    const TableImage image = TableImage::Read(path);
    ASSERT_EQ(image.header_count, 3u);
    EXPECT_EQ(Id(image.records[2]), "C");
    EXPECT_EQ(image.records[3][0], '\x1A') << "the end mark right behind it";
}

}  // namespace
