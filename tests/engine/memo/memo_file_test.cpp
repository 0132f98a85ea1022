// The three memo-file layouts as written and read back.
#include <gtest/gtest.h>

#include <string>

#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/memo/memo_fixture.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

struct FirstMemo {
    Layout layout;
    int32_t block;
    size_t file_size;
    std::string header_word;  // bytes 0-3 after the memo
    std::string image;        // the memo's first bytes in its block
};

class FirstMemoTest : public MemoTest, public ::testing::WithParamInterface<FirstMemo> {};

TEST_P(FirstMemoTest, TakesTheFirstBlockAfterTheHeaderWithoutTrailingBlanks) {
    const FirstMemo& c = GetParam();
    const std::string path = MemoTable("first", c.layout.version, c.layout.block_size);
    Open(path);
    const int32_t block = AppendWithMemo(1, "Hello  ");
    CloseArea();
    EXPECT_EQ(block, c.block);
    const std::string memo = ReadFileBytes(MemoPath(path, c.layout.version));
    ASSERT_EQ(memo.size(), c.file_size);
    EXPECT_EQ(memo.substr(0, 4), c.header_word);
    const size_t at = static_cast<size_t>(block) * c.layout.block_size;
    EXPECT_EQ(memo.substr(at, c.image.size()), c.image);
    EXPECT_EQ(memo.find_first_not_of('\0', at + c.image.size()), std::string::npos) << "padded with zeros";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FirstMemoTest,
    ::testing::Values(
        // dBASE III: the new file's end mark at 512 is overwritten; the memo
        // ends with two end marks.
        FirstMemo{{"Dbase3", kDbase3Memo, 512}, 1, 1024, Bytes({2, 0, 0, 0}), "Hello\x1A\x1A"},
        FirstMemo{{"Dbase4", kDbase4Memo, 512},
                  1,
                  1024,
                  Bytes({2, 0, 0, 0}),
                  Bytes({0xFF, 0xFF, 8, 0, 13, 0, 0, 0}) + "Hello"},
        // FoxPro, 64-byte blocks: 511 div 64 + 1 = 8.
        FirstMemo{{"FoxPro", kFoxProMemo, 64}, 8, 576, Bytes({0, 0, 0, 9}), Bytes({0, 0, 0, 1, 0, 0, 0, 5}) + "Hello"}),
    [](const ::testing::TestParamInfo<FirstMemo>& info) { return std::string(info.param.layout.label); });

class LayoutTest : public MemoTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(LayoutTest, MemosReadBackAsWritten) {
    const Layout& l = GetParam();
    Open(MemoTable("round", l.version, l.block_size));
    const std::string texts[] = {
        "x",
        "two\r\nlines",
        "Gr\xFC\xDF"
        "e \x80 \xE9t\xE9",  // through the OEM page and back
        std::string(600, 'a') + "\r\n" + std::string(1500, 'b'),
        std::string(l.block_size - 8, 'c'),  // exactly one block with its header
        "   leading blanks stay",
    };
    std::vector<int32_t> blocks;
    for (const std::string& t : texts) blocks.push_back(AppendWithMemo(static_cast<int>(blocks.size()), t));
    for (size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(StreamText(blocks[i]), platform::AnsiToOem(texts[i]));
        GO(static_cast<int32_t>(i + 1));
        EXPECT_EQ(GetFieldMemo(2), blocks[i]);
    }
    // Memos follow one another without overlapping.
    for (size_t i = 1; i < blocks.size(); ++i) EXPECT_GT(blocks[i], blocks[i - 1]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

// dBASE III texts around block edges: the text and two end marks, and a
// third where the pair splits over two blocks, so that the next block holds a
// whole pair; read back (the text, a stream, AddMemo's next block) exactly.
TEST_F(MemoTest, Dbase3EndMarksAroundBlockEdges) {
    struct Case {
        size_t length;
        std::string marks;  // what follows the text
        int32_t next;       // the next memo's block
    };
    const Case cases[] = {
        {510, "\x1A\x1A", 2},  {511, "\x1A\x1A\x1A", 3},  {512, "\x1A\x1A", 3},
        {1022, "\x1A\x1A", 3}, {1023, "\x1A\x1A\x1A", 4}, {1024, "\x1A\x1A", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string path = MemoTable("edge" + std::to_string(c.length), kDbase3Memo, 512);
        Open(path);
        const std::string text(c.length, 'e');
        const int32_t block = AppendWithMemo(1, text);
        EXPECT_EQ(AppendWithMemo(2, "next"), c.next);
        EXPECT_EQ(StreamText(block), text);
        GO(1);
        EXPECT_EQ(MemoText(block), text);
        CloseArea();
        const std::string memo = ReadFileBytes(MemoPath(path, kDbase3Memo));
        const size_t end = 512 + c.length;
        EXPECT_EQ(memo.substr(end, c.marks.size()), c.marks);
        EXPECT_NE(memo[end + c.marks.size()], '\x1A');
    }
}

TEST_F(MemoTest, Dbase4BlockSizeZeroTakesTheEnginesDefault) {
    const std::string path = MemoTable("zero", kDbase4Memo, 512);
    std::string header = ReadFileBytes(MemoPath(path, kDbase4Memo));
    header[20] = header[21] = 0;
    WriteFileBytes(MemoPath(path, kDbase4Memo), header);
    Settings().memo_block_size = 1024;
    Open(path);
    // Ten characters: a total length of 18 in one 1024-byte block.
    EXPECT_EQ(AppendWithMemo(1, "0123456789"), 1);
    CloseArea();
    const std::string memo = ReadFileBytes(MemoPath(path, kDbase4Memo));
    EXPECT_EQ(memo.size(), 2048u);
    EXPECT_EQ(memo.substr(1024, 8), Bytes({0xFF, 0xFF, 8, 0, 18, 0, 0, 0}));
}

TEST_F(MemoTest, NewDbase4FilesTakeOnlyWholeMultiplesOf512) {
    for (const uint16_t size : {uint16_t{0}, uint16_t{64}, uint16_t{700}}) {
        const Status s = MakeMemoFile(dir_ / "bad", kDbase4Memo, size, "test");
        EXPECT_EQ(s.code, 220) << size;
    }
    EXPECT_TRUE(MakeMemoFile(dir_ / "good", kDbase4Memo, 1024, "test").ok());
    EXPECT_EQ(MakeMemoFile(dir_ / "fox", kFoxProMemo, 32, "test").code, 220);
}

}  // namespace
