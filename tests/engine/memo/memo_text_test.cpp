// Memo text as lines: GetMemo's line ends and wrapping, and the text device.
#include <gtest/gtest.h>

#include <string>

#include "engine/dbf/settings.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/memo/memo_fixture.hpp"

namespace {

using namespace zurod;
using memo_testing::MemoTest;

// The line table as "text|end" items: H hard, S soft, - none.
std::string Lines() {
    std::string out;
    for (const MemoLine& line : MemoLineTable()) {
        if (!out.empty()) out += ",";
        out += line.text + "|" + (line.end == LineEnd::Hard ? "H" : line.end == LineEnd::Soft ? "S" : "-");
    }
    return out;
}

struct Split {
    const char* label;
    std::string stored;
    int width;      // SET MEMOWIDTH, 0: off
    int max_lines;  // GetMemo's argument
    int limit;      // the line table's size, 0: the default
    std::string lines;
};

void PrintTo(const Split& s, std::ostream* os) { *os << s.label; }

class SplitTest : public MemoTest, public ::testing::WithParamInterface<Split> {};

TEST_P(SplitTest, GetMemoFillsTheLineTable) {
    const Split& c = GetParam();
    Open(MemoTable("split", kDbase4Memo, 512));
    const int32_t block = StoreBytes(c.stored);
    Settings().memo_width_on = c.width > 0;
    Settings().memo_width = static_cast<uint8_t>(c.width);
    if (c.limit > 0) Settings().memo_line_limit = static_cast<uint16_t>(c.limit);
    ASSERT_TRUE(GetMemo(block, c.max_lines)) << LastErrorMessage();
    EXPECT_EQ(Lines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(Memos, SplitTest,
                         ::testing::Values(Split{"HardEnds", "a\r\n\r\nb\r\n", 0, 0, 0, "a|H,|H,b|H"},
                                           Split{"SoftEndTakesItsLineFeed",
                                                 "a\x8D\nb\x8D"
                                                 "c",
                                                 0, 0, 0, "a|S,b|S,c|-"},
                                           Split{"OnlyOneLineFeedIsTaken", "a\r\n\nb", 0, 0, 0, "a|H,\nb|-"},
                                           Split{"LoneLineFeedStaysInTheLine", "a\nb", 0, 0, 0, "a\nb|-"},
                                           Split{"WrapsAfterTheLastBlank", "the quick brown fox jumps", 10, 0, 0,
                                                 "the quick|-,brown fox|-,jumps|-"},
                                           Split{"BlanksAtTheWrapGo", "abc   def", 5, 0, 0, "abc|-,def|-"},
                                           Split{"CutAtTheWidthWithoutBlank", "abcdefghijkl", 5, 0, 0,
                                                 "abcde|-,fghij|-,kl|-"},
                                           Split{"DefaultWidthIs253", std::string(300, 'x'), 0, 0, 0,
                                                 std::string(253, 'x') + "|-," + std::string(47, 'x') + "|-"},
                                           Split{"MaxLines", "1\r\n2\r\n3\r\n", 0, 2, 0, "1|H,2|H"},
                                           Split{"LineTableLimit", "1\r\n2\r\n3\r\n4\r\n", 0, 0, 3, "1|H,2|H,3|H"},
                                           Split{"StoredInTheOemPage",
                                                 "Gr\x81\xE1"
                                                 "e",
                                                 0, 0, 0,
                                                 "Gr\xFC\xDF"
                                                 "e|-"}),
                         [](const ::testing::TestParamInfo<Split>& info) { return std::string(info.param.label); });

TEST_F(MemoTest, GetMemoOfNoMemoIsEmptyAndANegativeBlockCountsAsItsValue) {
    Open(MemoTable("signs", kDbase4Memo, 512));
    const int32_t block = StoreBytes("text");
    EXPECT_TRUE(GetMemo(0));
    EXPECT_EQ(Lines(), "");
    EXPECT_TRUE(GetMemo(-block));
    EXPECT_EQ(Lines(), "text|-");
}

class TextFileTest : public MemoTest {
protected:
    void SetUp() override {
        MemoTest::SetUp();
        Open(MemoTable("device", kDbase4Memo, 512));
        AppendWithMemo(1, "one\r\ntwo \xE9\x8D\nthree");
    }
};

TEST_F(TextFileTest, ReadingDeliversHardLinesWithTheirBreak) {
    MemoTextFile f(2);
    ASSERT_EQ(f.Reset(), 0);
    std::string piece, all;
    while (f.Read(piece) == 0 && !piece.empty()) all += piece + "|";
    // An ANSI 0x8D is stored as another byte: it is text, not a soft return.
    EXPECT_EQ(all, "one\r\n|two \xE9\x8D\nthree|");
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Close(), 0);

    MemoTextFile lines(2);
    ASSERT_EQ(lines.Reset(), 0);
    std::string line;
    EXPECT_EQ(lines.ReadLn(line), 0);
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(lines.Eof());
}

TEST_F(TextFileTest, WritingStoresTheLinesAsTheFieldsNewMemo) {
    const int32_t old_block = GetFieldMemo(2);
    MemoTextFile f(2);
    ASSERT_EQ(f.Rewrite(), 0);
    EXPECT_EQ(f.WriteLn("first"), 0);
    EXPECT_EQ(f.Write("a\x8D\r\nb\nc"), 0);
    EXPECT_EQ(f.Write(std::string(300, 'z')), 0);
    EXPECT_EQ(f.Close(), 0);
    const int32_t block = GetFieldMemo(2);
    EXPECT_NE(block, old_block);
    // A line split at 254 characters is joined again; the soft end stays soft.
    EXPECT_EQ(StreamText(block), "first\r\na\x8D\nb\r\nc" + std::string(300, 'z'));
    Replace();
    GO(1);
    EXPECT_EQ(GetFieldMemo(2), block);

    ASSERT_EQ(f.Rewrite(), 0);
    EXPECT_EQ(f.Close(), 0);
    EXPECT_EQ(GetFieldMemo(2), 0) << "nothing written clears the field";
}

TEST_F(TextFileTest, TransfersOutsideTheirModeFail) {
    MemoTextFile unbound;
    EXPECT_EQ(unbound.Reset(), 102);
    MemoTextFile f(2);
    std::string piece;
    EXPECT_EQ(f.Read(piece), 104);
    EXPECT_EQ(f.Write("x"), 105);
    EXPECT_EQ(f.Close(), 103);
    ASSERT_EQ(f.Reset(), 0);
    EXPECT_EQ(f.Write("x"), 105);
    MemoTextFile not_memo(1);
    EXPECT_EQ(not_memo.Reset(), 102);
    EXPECT_EQ(LastErrorCode(), 220);
}

TEST_F(TextFileTest, AFullLineTableFailsTheWriteAndAFailedSaveKeepsTheOldMemo) {
    Settings().memo_line_limit = 2;
    MemoTextFile f(2);
    ASSERT_EQ(f.Rewrite(), 0);
    EXPECT_EQ(f.Write("1\r\n2\r\n"), 0);
    EXPECT_EQ(f.Write("3\r\n"), 101);
    EXPECT_EQ(f.Close(), 0);
    EXPECT_EQ(StreamText(GetFieldMemo(2)), "1\r\n2\r\n");

    // A dBASE III memo ends at 0x1A, so a text holding one cannot be saved.
    CloseArea();
    Open(MemoTable("three", kDbase3Memo, 512));
    AppendWithMemo(1, "kept");
    const int32_t kept = GetFieldMemo(2);
    MemoTextFile g(2);
    ASSERT_EQ(g.Rewrite(), 0);
    EXPECT_EQ(g.Write("bad \x1A byte"), 0);
    EXPECT_EQ(g.Close(), 101);
    EXPECT_EQ(LastErrorCode(), 1300);
    EXPECT_EQ(GetFieldMemo(2), kept);
}

}  // namespace
