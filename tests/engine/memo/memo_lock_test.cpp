// The memo file's lock byte between processes: a writer waits while another
// holds it, as long as the holder writes one memo, and gives up only after a
// long wait; writers taking turns lose no memo.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/dbf/locks.hpp"
#include "platform/file.hpp"
#include "tests/engine/memo/memo_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ChildProcess;

class MemoLockTest : public MemoTest, public ::testing::WithParamInterface<Layout> {};

// Another process holds the lock byte for a moment (far longer than one memo
// takes to write): a memo written meanwhile waits for it and goes through.
// The holder tells whether the file changed under its lock, which is what a
// writer that skipped the lock would do.
TEST_P(MemoLockTest, AWriterWaitsWhileAnotherHoldsTheLock) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("held", l.version, l.block_size);
    const std::string memo = MemoPath(path, l.version);
    ChildProcess holder([&](const ChildProcess::Channel& ch) {
        platform::File f;
        if (f.Open(memo, platform::Access::ReadWrite, platform::Share::DenyNone) != 0 || f.Lock(10, 1) != 0) {
            ch.Send("failed");
            return;
        }
        const std::string before = testing_support::ReadFileBytes(memo);
        ch.Send("held");
        ch.Receive();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const bool untouched = testing_support::ReadFileBytes(memo) == before;
        (void)f.Unlock(10, 1);
        ch.Send(untouched ? "untouched while held" : "written while held");
        ch.Receive();
    });
    ASSERT_EQ(holder.Receive(), "held");
    Open(path, "");  // shared: memo writes take the lock
    holder.Send("release soon");
    const int32_t block = AddMemo("waited for");
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(holder.Receive(), "untouched while held");
    holder.Send("done");
    EXPECT_EQ(MemoText(block), "waited for");
}

// Four processes appending records with memos at once: every append goes
// through, and every record finds its own memo.
TEST_P(MemoLockTest, WritersTakingTurnsLoseNothing) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("turns", l.version, l.block_size);
    constexpr int kWriters = 4, kEach = 60;
    const std::vector<std::string> results = testing_support::RunTogether(kWriters, [&](int k) {
        USE(path);
        for (int i = 0; i < kEach; ++i) {
            const int id = k * 1000 + i;
            const int32_t block = AddMemo("memo " + std::to_string(id));
            if (LastErrorCode() != 0) return std::to_string(LastErrorCode());
            while (!ALock()) std::this_thread::yield();
            ClearRecord();
            PutFieldInteger(1, id);
            PutFieldMemo(2, block);
            Append();
            const uint16_t code = LastErrorCode();
            Unlock();
            if (code != 0) return std::to_string(code);
        }
        return std::string("0");
    });
    for (const std::string& r : results) EXPECT_EQ(r, "0");
    Open(path);
    ASSERT_EQ(RecCount(), kWriters * kEach);
    for (int32_t n = 1; n <= RecCount(); ++n) {
        GO(n);
        EXPECT_EQ(MemoText(GetFieldMemo(2)), "memo " + std::to_string(GetFieldInteger(1))) << "record " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoLockTest, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

}  // namespace
