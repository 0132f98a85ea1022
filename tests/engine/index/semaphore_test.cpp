// The index semaphore between real processes: logins counted, readers and
// writers keeping each other out, counts left by a process that died, and
// the rebuild that another process's open index forbids.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/index/detail/unit.hpp"
#include "tests/engine/index/index_fixture.hpp"
#include "tests/engine/index/index_peer.hpp"

namespace testing_support {
namespace {

using namespace zurod;
using namespace std::chrono_literals;

class SemaphoreTest : public IndexTest {
protected:
    void SetUp() override {
        IndexTest::SetUp();
        // Waits short enough for tests; the messages still name 10 and 100 seconds.
        IndexEngine().times = {300ms, 300ms, 5ms};
    }

    // A history with its production index, closed again.
    std::string MakeTable() {
        const std::string path = OpenHistory({{"01/02/2003", "Miller", 1}, {"01/01/2003", "Adams", 2}});
        EXPECT_TRUE(MakeIndex({{"NAME", "NAME", "", false, false}}, ""));
        CloseArea();
        return path;
    }
    // (A new file's extension follows the case of its name.)
    std::string SemaphorePath() const { return platform::ResolveExisting(dir_ / "history.@S@"); }
    // Bytes 0-1 of the semaphore record, or -1 without a file.
    std::pair<int, int> Counts() const {
        std::ifstream in(SemaphorePath(), std::ios::binary);
        if (!in) return {-1, -1};
        const std::string b(std::istreambuf_iterator<char>(in), {});
        return {b.size() > 0 ? static_cast<uint8_t>(b[0]) : 0, b.size() > 1 ? static_cast<uint8_t>(b[1]) : 0};
    }
    void OpenShared(const std::string& path) {
        USE(path);
        ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
    }
};

TEST_F(SemaphoreTest, ExclusiveTablesHaveNone) {
    const std::string path = MakeTable();
    USE(path + " EXCLUSIVE");
    ASSERT_TRUE(SetIndexTo(""));
    SetReadSemaphoreProc(true);
    SetLockSemaphoreProc(true);
    SetLockSemaphoreProc(false);
    SetReadSemaphoreProc(false);
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 1}));
    EXPECT_FALSE(std::filesystem::exists(SemaphorePath()));
}

TEST_F(SemaphoreTest, LoginsAreCounted) {
    IndexPeer peer;
    const std::string path = MakeTable();
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("index"), "0");
    EXPECT_EQ(Counts(), std::make_pair(1, 0));
    OpenShared(path);
    EXPECT_EQ(Counts(), std::make_pair(2, 0));
    EXPECT_EQ(peer("walk"), "2,1");
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 1}));
    CloseArea();
    EXPECT_EQ(Counts(), std::make_pair(1, 0));
    EXPECT_EQ(peer("close"), "0");
    EXPECT_FALSE(std::filesystem::exists(SemaphorePath()));
}

TEST_F(SemaphoreTest, NestedReadsCountOnce) {
    const std::string path = MakeTable();
    OpenShared(path);
    SetReadSemaphoreProc(true);
    SetReadSemaphoreProc(true);
    EXPECT_EQ(Counts(), std::make_pair(1, 1));
    SetReadSemaphoreProc(false);
    EXPECT_EQ(Counts(), std::make_pair(1, 1));
    SetReadSemaphoreProc(false);
    EXPECT_EQ(Counts(), std::make_pair(1, 0));
    SetReadSemaphoreProc(false);
    EXPECT_EQ(LastErrorCode(), 254);
    EXPECT_EQ(LastErrorMessage(), "Non-symmetrical Lock-Unlock [SetReadSemaphoreProc]");
    SetLockSemaphoreProc(false);
    EXPECT_EQ(LastErrorMessage(), "Non-symmetrical Lock-Unlock [SetLockSemaphoreProc]");
}

TEST_F(SemaphoreTest, AReaderWaitsWhileAWriterHoldsTheIndex) {
    IndexPeer peer;
    const std::string path = MakeTable();
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("index"), "0");
    OpenShared(path);
    ASSERT_EQ(peer("write 1"), "0");
    EXPECT_EQ(Counts(), std::make_pair(2, 1));
    GoTop();
    EXPECT_EQ(LastErrorCode(), 1202);
    EXPECT_EQ(LastErrorMessage().rfind("10 second timeout: Cannot lock index semaphore file: " + SemaphorePath() +
                                           " INCREAD\r\nPossible cause: Network lock limit exceeded",
                                       0),
              0u)
        << LastErrorMessage();
    ASSERT_EQ(peer("write 0"), "0");
    // The writer's release counted an update: the tag headers are read again.
    EXPECT_TRUE(RevalidateIndex() || (SetReadSemaphoreProc(true), SetReadSemaphoreProc(false), RevalidateIndex()));
    EXPECT_FALSE(RevalidateIndex());
    EXPECT_EQ(Forward(), (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(SemaphoreTest, AWriterWaitsForReaders) {
    IndexPeer peer;
    const std::string path = MakeTable();
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("index"), "0");
    OpenShared(path);
    ASSERT_EQ(peer("read 1"), "0");
    SetLockSemaphoreProc(true);
    EXPECT_EQ(LastErrorCode(), 1202);
    EXPECT_EQ(LastErrorMessage(),
              "100 second timeout, cannot read: " + SemaphorePath() +
                  "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
                  "Cure: Log all users of this application off the network,\r\nthen delete " +
                  SemaphorePath());
    ASSERT_EQ(peer("read 0"), "0");
    SetLockSemaphoreProc(true);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Counts(), std::make_pair(2, 1));
    SetLockSemaphoreProc(false);
    EXPECT_EQ(Counts(), std::make_pair(2, 0));
}

// A process that writes while it reads leaves the readers' count as it was,
// and a writer never gets in beside a reader, whatever the count says.
TEST_F(SemaphoreTest, NoWriterBesideAReaderAfterAWriteInsideARead) {
    IndexPeer reader, writer;
    const std::string path = MakeTable();
    for (IndexPeer* peer : {&reader, &writer}) {
        ASSERT_EQ((*peer)("use " + path), "0");
        ASSERT_EQ((*peer)("index"), "0");
    }
    OpenShared(path);
    SetReadSemaphoreProc(true);
    ASSERT_TRUE(ALock());
    Add({"01/03/2003", "Baker", 3});
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    Unlock();
    ASSERT_EQ(reader("read 1"), "0");
    SetReadSemaphoreProc(false);
    EXPECT_EQ(Counts(), std::make_pair(3, 1));
    EXPECT_EQ(writer("write 1"), "1202") << "a writer got in while another process reads";
    ASSERT_EQ(reader("read 0"), "0");
    EXPECT_EQ(writer("write 1"), "0");
    EXPECT_EQ(writer("write 0"), "0");
}

TEST_F(SemaphoreTest, CountsOfADeadProcessAreCleared) {
    IndexEngine().times.readers = 30s;  // a wait would show
    IndexPeer first, second;
    const std::string path = MakeTable();
    ASSERT_EQ(first("use " + path), "0");
    ASSERT_EQ(first("index"), "0");
    ASSERT_EQ(first("read 1"), "0");
    first.Kill();
    EXPECT_EQ(Counts(), std::make_pair(1, 1));
    // The next login finds nobody else there.
    OpenShared(path);
    EXPECT_EQ(Counts(), std::make_pair(1, 0));
    ASSERT_EQ(second("use " + path), "0");
    ASSERT_EQ(second("index"), "0");
    ASSERT_EQ(second("read 1"), "0");
    second.Kill();
    EXPECT_EQ(Counts(), std::make_pair(2, 1));
    // A writer finds no reader holding its lock and does not wait.
    const auto start = std::chrono::steady_clock::now();
    SetLockSemaphoreProc(true);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    SetLockSemaphoreProc(false);
    CloseArea();
    // The login of the dead process does not keep the file.
    EXPECT_EQ(Counts(), std::make_pair(1, 0));
    OpenShared(path);
    CloseArea();
    EXPECT_FALSE(std::filesystem::exists(SemaphorePath()));
}

TEST_F(SemaphoreTest, AReaderNeverSeesATornTree) {
    IndexEngine().times = {10s, 10s, 1ms};
    IndexPeer writer;
    const std::string path = CreateTable("shared.dbf", {{"NAME", 'C', 20, 0}, {"AMOUNT", 'N', 12, 2}});
    USE(path + " EXCLUSIVE");
    ASSERT_TRUE(MakeIndex({{"NAME", "NAME", "", false, false}, {"BACK", "NAME", "", true, false}}, ""));
    CloseArea();
    ASSERT_EQ(writer("use " + path), "0");
    ASSERT_EQ(writer("index"), "0");
    OpenShared(path);
    // Walks and finds while the other process appends, then while it
    // replaces. Every step sees a whole tree: no error, a record that is
    // there. Appends never move a key, so walks among them stay in order and
    // each sees what the one before saw; replaces move records about.
    for (const bool appending : {true, false}) {
        SCOPED_TRACE(appending ? "appends" : "replaces");
        writer.Start(appending ? "addmany 300" : "editmany 300");
        size_t seen = 0;
        for (int walk = 0; walk < 25; ++walk) {
            std::vector<std::string> names;
            for (GoTop(); !dEOF() && LastErrorCode() == 0; SKIP(1)) names.push_back(GetFieldString(1));
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            for (const std::string& name : names) ASSERT_EQ(name.rfind('W', 0), 0u) << name;
            if (appending) {
                EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
                EXPECT_GE(names.size(), seen);
                seen = names.size();
            }
            if (!names.empty()) {
                const std::string name = names[names.size() / 2];
                if (Find(name)) {
                    EXPECT_EQ(GetFieldString(1), name);
                }
                ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            }
        }
        EXPECT_EQ(writer.Answer(), "0");
    }
    // Both orders hold every record once, as the other process left them.
    std::vector<int32_t> forward = Forward();
    SetOrderToTag("BACK");
    std::vector<int32_t> backward = Forward();
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward.size(), 300u);
    std::sort(forward.begin(), forward.end());
    std::sort(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    CloseArea();
    EXPECT_EQ(writer("close"), "0");
    const MdxReport r = ExpectSound(IndexOfTable(path));
    EXPECT_EQ(r.Tag("NAME")->entries.size(), 300u);
}

TEST_F(SemaphoreTest, NoRebuildUnderAnotherProcess) {
    IndexPeer peer;
    const std::string path = MakeTable();
    const std::string mdx = IndexOfTable(path);
    // Another program with the table and its index open.
    ASSERT_EQ(peer("use " + path), "0");
    ASSERT_EQ(peer("index"), "0");
    USE(path);
    EXPECT_FALSE(MakeIndex({{"NAME", "NAME", "", false, false}}, ""));
    EXPECT_EQ(LastErrorCode(), 225);
    CloseArea();
    ASSERT_EQ(peer("close"), "0");
    // Another program with only the index file open.
    ASSERT_EQ(peer("hold " + mdx), "0");
    USE(path + " EXCLUSIVE");
    EXPECT_FALSE(MakeIndex({{"NAME", "NAME", "", false, false}}, ""));
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(ExpectSound(mdx).tags.size(), 1u);
}

}  // namespace
}  // namespace testing_support
