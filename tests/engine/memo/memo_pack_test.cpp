// Packing memo files: only live memos stay, every record keeps its own text
// whatever step of the pack fails or is killed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "engine/dbf/detail/area_table.hpp"
#include "platform/file.hpp"
#include "tests/engine/memo/memo_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ChildProcess;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// Record `id`'s text: its own, of a length that varies with the id.
std::string TextOf(int id) {
    std::string text = "memo of record " + std::to_string(id) + ":";
    text.append(static_cast<size_t>(id * 37 % 1500), static_cast<char>('a' + id % 26));
    return text;
}

class PackFixture : public MemoTest {
protected:
    // Every record's memo is the text of its id (none for id % 5 == 0), and
    // the table holds all `count` records or those a pack kept.
    void ExpectOwnTexts(const std::string& path, int count, const std::string& when) {
        SCOPED_TRACE(when);
        USE(path + " EXCLUSIVE");
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        ASSERT_TRUE(RecCount() == count || RecCount() == count - count / 3) << RecCount();
        for (int32_t r = 1; r <= RecCount(); ++r) {
            GO(r);
            const int id = static_cast<int>(GetFieldInteger(1));
            ASSERT_EQ(StreamText(GetFieldMemo(2)), id % 5 == 0 ? "" : TextOf(id)) << "record " << r;
        }
        CloseArea();
    }

    // A table of `count` records, each memo written twice (the first copy
    // dead), every third record deleted.
    std::string Fill(const Layout& l, int count) {
        const std::string path = MemoTable("pack", l.version, l.block_size);
        Open(path);
        for (int id = 1; id <= count; ++id) {
            AppendWithMemo(id, "dead " + TextOf(id));
            PutFieldMemo(2, id % 5 == 0 ? 0 : AddMemo(TextOf(id)));
            Replace();
            if (id % 3 == 0) DeleteRec();
        }
        CloseArea();
        return path;
    }
};

class PackTest : public PackFixture, public ::testing::WithParamInterface<Layout> {};

TEST_P(PackTest, KeepsOnlyTheLiveMemos) {
    const Layout& l = GetParam();
    const std::string path = Fill(l, 60);
    const std::string memo_path = MemoPath(path, l.version);
    const size_t before = ReadFileBytes(memo_path).size();
    Open(path);
    ASSERT_TRUE(Pack()) << LastErrorMessage();
    EXPECT_EQ(RecCount(), 40);
    EXPECT_EQ(StreamText(GetFieldMemo(2)), TextOf(1)) << "the current record follows its new block";
    CloseArea();
    ExpectOwnTexts(path, 60, "after the pack");
    EXPECT_LT(ReadFileBytes(memo_path).size(), before / 2);
    EXPECT_FALSE(FileExists(ForceExt(memo_path, "$$$")));
    EXPECT_FALSE(FileExists(ForceExt(memo_path, "TZJ")));

    // Packed again, nothing moves.
    const std::string packed = ReadFileBytes(memo_path);
    Open(path);
    PackMemofile();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    CloseArea();
    EXPECT_EQ(ReadFileBytes(memo_path), packed);
}

TEST_P(PackTest, AReferencePastTheEndIsNoMemo) {
    const Layout& l = GetParam();
    const std::string path = Fill(l, 6);
    Open(path);
    GO(2);
    PutFieldMemo(2, 99999);
    Replace();
    PackMemofile();
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    GO(2);
    EXPECT_EQ(GetFieldMemo(2), 0);
    GO(1);
    EXPECT_EQ(StreamText(GetFieldMemo(2)), TextOf(1));
}

TEST_P(PackTest, EveryFailingStepLeavesEachRecordItsText) {
    const Layout& l = GetParam();
    const std::string path = Fill(l, 30);
    const std::string table = ReadFileBytes(path);
    const std::string memo_path = MemoPath(path, l.version);
    const std::string memo = ReadFileBytes(memo_path);
    struct Fault {
        platform::FileOp op;
        int nth;
    };
    std::vector<Fault> faults;
    for (int nth = 1; nth <= 45; ++nth) faults.push_back({platform::FileOp::Write, nth});
    for (int nth = 1; nth <= 4; ++nth) faults.push_back({platform::FileOp::Sync, nth});
    for (int nth = 1; nth <= 3; ++nth) faults.push_back({platform::FileOp::Rename, nth});
    for (const Fault& f : faults) {
        const std::string when = "fault " + std::to_string(static_cast<int>(f.op)) + "/" + std::to_string(f.nth);
        WriteFileBytes(path, table);
        WriteFileBytes(memo_path, memo);
        Open(path);
        {
            platform::FileFaultScope fault(f.op, f.nth, 29);
            Pack();
        }
        SetLastErrorCode(0);
        CloseArea();
        ExpectOwnTexts(path, 30, when);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PackTest, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

TEST_F(MemoTest, LeftoversOfAPackThatNeverFinishedGo) {
    const std::string path = MemoTable("left", kDbase4Memo, 512);
    const std::string memo_path = MemoPath(path, kDbase4Memo);
    Open(path);
    AppendWithMemo(1, "kept");
    CloseArea();
    const std::string memo = ReadFileBytes(memo_path);
    for (const char* journal : {"", "not a journal"}) {
        WriteFileBytes(ForceExt(memo_path, "$$$"), "half a memo file");
        if (*journal) WriteFileBytes(ForceExt(memo_path, "TZJ"), journal);
        Open(path);
        EXPECT_EQ(MemoText(GetFieldMemo(2)), "kept");
        CloseArea();
        EXPECT_FALSE(FileExists(ForceExt(memo_path, "$$$")));
        EXPECT_FALSE(FileExists(ForceExt(memo_path, "TZJ")));
        EXPECT_EQ(ReadFileBytes(memo_path), memo);
    }
}

// A journal that also has another name (a snapshot of the folder made of
// hard links after the crash) is still the pack's journal: the open that
// finds it completes the pack.
TEST_F(PackFixture, AKilledPackWhoseJournalHasAnotherNameIsCompleted) {
    const std::string path = Fill({"Dbase4", kDbase4Memo, 512}, 30);
    const std::string memo_path = MemoPath(path, kDbase4Memo);
    const std::string snapshot = path + ".snapshot";
    const std::string table = ReadFileBytes(path), memo = ReadFileBytes(memo_path);
    int with_journal = 0;
    testing_support::KillBeforeEachChange(
        [&] {
            for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
                if (e.path() != path && e.path() != memo_path) std::filesystem::remove(e.path());
            WriteFileBytes(path, table);
            WriteFileBytes(memo_path, memo);
        },
        [&] { USE(path + " EXCLUSIVE"); }, [&] { Pack(); },
        [&](const std::string& when) {
            // The journal as the pack named it (the engine's names ignore case).
            for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path())) {
                if (platform::AnsiUpper(e.path().filename().string()) != "PACK.TZJ") continue;
                ++with_journal;
                std::filesystem::create_hard_link(e.path(), snapshot);
            }
            ExpectOwnTexts(path, 30, when);
        });
    EXPECT_GT(with_journal, 0) << "no run was killed while the journal stood";
}

TEST_F(PackFixture, PackSurvivesBeingKilled) {
    constexpr int kRecords = 6000;
    const std::string path = Fill({"Dbase4", kDbase4Memo, 512}, kRecords);
    const std::string memo_path = MemoPath(path, kDbase4Memo);
    const std::string table = ReadFileBytes(path), memo = ReadFileBytes(memo_path);
    const auto check = [&](const std::string& when) { ExpectOwnTexts(path, kRecords, when); };
    testing_support::KillAtRandomMoments(
        20,
        [&] {
            WriteFileBytes(path, table);
            WriteFileBytes(memo_path, memo);
        },
        [&] {
            USE(path);
            const bool ok = Pack();
            return ok ? std::string("done") : "failed " + std::to_string(LastErrorCode()) + " " + LastErrorMessage();
        },
        check);
}

}  // namespace
