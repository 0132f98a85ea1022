// The memo unit in the engine's commands: USE and CLOSE, Zap, CopyTo and
// AppendFrom between layouts, Locate and Search.
#include <gtest/gtest.h>

#include <string>

#include "engine/dbf/copy.hpp"
#include "engine/dbf/locate.hpp"
#include "tests/engine/memo/memo_fixture.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;

const std::string kTexts[] = {"first memo", "",
                              "Gr\xFC\xDF"
                              "e aus K\xF6ln\r\nzweite Zeile",
                              std::string(900, 'w')};

class WiringTest : public MemoTest, public ::testing::WithParamInterface<Layout> {
protected:
    std::string Filled(const std::string& name) {
        const Layout& l = GetParam();
        const std::string path = MemoTable(name, l.version, l.block_size, {{"TITLE", 'C', 12, 0}});
        Open(path);
        int id = 0;
        for (const std::string& t : kTexts) {
            AppendWithMemo(++id, t);
            PutFieldString(3, t.substr(0, 12));
            Replace();
        }
        CloseArea();
        return path;
    }
    void ExpectTexts(const std::string& path) {
        Open(path);
        ASSERT_EQ(RecCount(), 4);
        for (int32_t r = 1; r <= 4; ++r) {
            GO(r);
            EXPECT_EQ(MemoText(GetFieldMemo(2)), kTexts[r - 1]) << path << " record " << r;
        }
        CloseArea();
    }
};

TEST_P(WiringTest, UseFindsTheMemoFileInAnyCaseAndCloseReleasesIt) {
    const Layout& l = GetParam();
    const std::string path = Filled("cased");
    const std::string memo = MemoPath(path, l.version);
    const std::string upper = FSplit(memo).dir + "cased" + (l.version == kFoxProMemo ? ".FPT" : ".DBT");
    ASSERT_EQ(platform::RenameNoReplace(memo, upper), 0);
    ExpectTexts(path);
    EXPECT_EQ(platform::RemoveFile(upper), 0) << "nothing holds the memo file after CLOSE";
}

TEST_P(WiringTest, ZapMakesTheMemoFileNewInItsLayout) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("zap", l.version, l.block_size);
    const std::string empty = ReadFileBytes(MemoPath(path, l.version));
    Open(path);
    AppendWithMemo(1, "gone after zap");
    ASSERT_TRUE(Zap()) << LastErrorMessage();
    EXPECT_EQ(ReadFileBytes(MemoPath(path, l.version)), empty);
    EXPECT_EQ(AppendWithMemo(1, "new"), l.version == kFoxProMemo ? 8 : 1);
    EXPECT_EQ(MemoText(GetFieldMemo(2)), "new");
}

TEST_P(WiringTest, CopyToGivesTheCopyTheTexts) {
    const std::string path = Filled("source");
    Open(path);
    CopyTo(dir_ / "copy");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    CloseArea();
    ExpectTexts(dir_ / "copy.dbf");
    EXPECT_TRUE(FileExists(dir_ / "copy.dbt"));
}

TEST_P(WiringTest, AppendFromCopiesMemosAndStoresTextsAsMemos) {
    const std::string source = Filled("from");
    for (const Layout& target : memo_testing::kLayouts) {
        SCOPED_TRACE(target.label);
        // The same fields: whole records, memos copied.
        const std::string same =
            MemoTable(std::string("same") + target.label, target.version, target.block_size, {{"TITLE", 'C', 12, 0}});
        Open(same);
        AppendFrom(source);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        CloseArea();
        ExpectTexts(same);
    }
    // A character field into a memo field: its text becomes the memo.
    const std::string into = CreateTable("into.dbf", {{"ID", 'N', 4, 0}, {"TITLE", 'M', 10, 0}});
    Open(into);
    AppendFrom(source);
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    GO(3);
    EXPECT_EQ(MemoText(GetFieldMemo(2)), kTexts[2].substr(0, 12));
    GO(2);
    EXPECT_EQ(GetFieldMemo(2), 0) << "a blank text is no memo";
}

TEST_P(WiringTest, LocateReadsMemoLinesAndSearchDoesNot) {
    const std::string path = Filled("find");
    Open(path);
    EXPECT_TRUE(Locate("NOTE", std::string("ZWEITE"), true));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_FALSE(Locate("NOTE", std::string("ZWEITE")));
    EXPECT_TRUE(Locate("NOTE", std::string("first")));
    EXPECT_EQ(RecNo(), 1);
    EXPECT_FALSE(Continue());
    uint8_t field = 0;
    Search("zweite", field, true);
    EXPECT_EQ(field, 0) << "Search leaves memo texts alone";
}

INSTANTIATE_TEST_SUITE_P(Layouts, WiringTest, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

TEST_F(MemoTest, CopyMemoReadsWithTheSourcesBlockSize) {
    const std::string fox = MemoTable("fox", kFoxProMemo, 64);
    const std::string dbt = MemoTable("dbt", kDbase3Memo, 512);
    Select(1);
    Open(fox);
    const int32_t block = AppendWithMemo(1, "from a 64-byte block");
    Select(2);
    Open(dbt);
    const int32_t copied = CopyMemo(1, block);
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(MemoText(copied), "from a 64-byte block");
    EXPECT_EQ(CopyMemo(9, block), 0);
    EXPECT_EQ(LastErrorCode(), 215);
}

TEST_F(MemoTest, TwoAreasSharingATableWriteMemosSideBySide) {
    const std::string path = MemoTable("shared", kDbase4Memo, 512);
    for (uint8_t area : {uint8_t{1}, uint8_t{2}}) {
        Select(area);
        Open(path, " ALIAS A" + std::to_string(area));
    }
    std::vector<int32_t> blocks;
    for (int i = 0; i < 20; ++i) {
        Select(static_cast<uint8_t>(1 + i % 2));
        blocks.push_back(AddMemo("from area " + std::to_string(1 + i % 2) + " #" + std::to_string(i)));
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(MemoText(blocks[i]), "from area " + std::to_string(1 + i % 2) + " #" + std::to_string(i));
}

}  // namespace
