// A memo file cut short behind its header's back (a crash, a copy that
// stopped): records still name blocks past the new end, and a memo written
// afterwards must never become one of theirs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/engine/memo/memo_fixture.hpp"
#include "tests/fuzz/memo_fixtures.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class CutShort : public MemoTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(CutShort, AMemoWrittenAfterTheCutIsNeverAnotherRecordsMemo) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("cut", l.version, l.block_size);
    const std::string memo_path = MemoPath(path, l.version);
    Open(path);
    std::vector<int32_t> blocks;
    for (int id = 1; id <= 5; ++id) blocks.push_back(AppendWithMemo(id, "memo of record " + std::to_string(id)));
    CloseArea();
    // The file ends after the second record's memo.
    WriteFileBytes(memo_path, ReadFileBytes(memo_path).substr(0, static_cast<size_t>(blocks[2]) * l.block_size));

    struct Write {
        const char* how;
        std::function<int32_t(const std::string&)> store;
    };
    const std::vector<Write> writes = {
        {"AddMemo", [](const std::string& text) { return AddMemo(text); }},
        {"EditMemo",
         [](const std::string& text) {
             MemoLineTable() = {{text, LineEnd::None}};
             return EditMemo(0);
         }},
        {"a write stream", [](const std::string& text) { return StoreBytes(text); }},
    };
    Open(path);
    std::vector<std::string> written;
    for (int round = 0; round < 4; ++round) {
        for (const Write& w : writes) {
            SCOPED_TRACE(w.how);
            const std::string text = std::string(w.how) + " after the cut, round " + std::to_string(round);
            const int32_t block = w.store(text);
            ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
            ASSERT_GT(block, 0);
            EXPECT_EQ(MemoText(block), text);
            for (size_t r = 2; r < blocks.size(); ++r) EXPECT_NE(block, blocks[r]) << "record " << r + 1;
            written.push_back(text);
        }
    }
    // The records whose memos were lost show no text written since.
    for (int32_t id = 3; id <= 5; ++id) {
        GO(id);
        const std::string text = MemoText(GetFieldMemo(2));
        SetLastErrorCode(0);
        for (const std::string& w : written)
            EXPECT_EQ(text.find(w), std::string::npos) << "record " << id << ": " << text;
    }
    GO(1);
    EXPECT_EQ(MemoText(GetFieldMemo(2)), "memo of record 1");
}

TEST_P(CutShort, AHeaderFarPastTheEndRefusesNewMemosUntilThePack) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("far", l.version, l.block_size);
    const std::string memo_path = MemoPath(path, l.version);
    Open(path);
    AppendWithMemo(1, "kept");
    CloseArea();
    std::string bytes = ReadFileBytes(memo_path);
    const std::string far =
        l.version == kFoxProMemo ? memo_fixtures::Be32(0x70000000) : memo_fixtures::Le32(0x70000000);
    bytes.replace(0, 4, far);
    WriteFileBytes(memo_path, bytes);
    Open(path);
    EXPECT_EQ(AddMemo("refused"), 0);
    EXPECT_EQ(LastErrorCode(), 1003) << LastErrorMessage();
    EXPECT_EQ(ReadFileBytes(memo_path), bytes);
    SetLastErrorCode(0);
    PackMemofile();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    const int32_t block = AddMemo("after the pack");
    EXPECT_EQ(MemoText(block), "after the pack");
    GO(1);
    EXPECT_EQ(MemoText(GetFieldMemo(2)), "kept");
}

INSTANTIATE_TEST_SUITE_P(Layouts, CutShort, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
