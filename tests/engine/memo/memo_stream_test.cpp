// BLOB streams over memos in each layout.
#include <gtest/gtest.h>

#include <string>

#include "tests/engine/memo/memo_fixture.hpp"

namespace {

using namespace zurod;
using memo_testing::Layout;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;

std::string ReadStream(int32_t block, bool detect) {
    CreateBlobDescriptor(detect, block, 1);
    std::string text;
    char chunk[7];  // several reads per memo
    for (int32_t n; (n = ReadBlobStream(chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
    DestroyBlobDescriptor();
    return text;
}

struct Conversion {
    const char* label;
    bool detect;
    std::string written;
    std::string stored;
};

void PrintTo(const Conversion& c, std::ostream* os) { *os << c.label; }

class ConversionTest : public MemoTest, public ::testing::WithParamInterface<Conversion> {};

TEST_P(ConversionTest, TextIsConvertedAndBinaryIsNot) {
    const Conversion& c = GetParam();
    Open(MemoTable("conv", kDbase4Memo, 512));
    const int32_t block = StoreBytes(c.written, c.detect);
    ASSERT_GT(block, 0);
    EXPECT_EQ(StreamText(block), c.stored);
    EXPECT_EQ(ReadStream(block, c.detect), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ConversionTest,
    ::testing::Values(Conversion{"Text", true, "Caf\xE9 \x80", "Caf\x82 \xD5"},
                      Conversion{"TextWithUsualControls", true, "a\tb\r\nc\x0F\x14\x15", "a\tb\r\nc\x0F\x14\x15"},
                      Conversion{"BinaryByItsFirstBytes", true, std::string("\x01\xE9\x00", 3),
                                 std::string("\x01\xE9\x00", 3)},
                      Conversion{"BinaryWhenNotDetected", false, "Caf\xE9", "Caf\xE9"}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.label); });

class StreamTest : public MemoTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(StreamTest, AStreamThatSeeksBackKeepsItsWholeLength) {
    const Layout& l = GetParam();
    Open(MemoTable("seek", l.version, l.block_size));
    const int32_t block = CreateBlobDescriptor(false, 0, 2);
    EXPECT_GT(block, 0) << "the record holds a positive block in every layout";
    WriteBlobStream(std::string_view("hello world"));
    EXPECT_EQ(BlobSeek(0, 0), 0);
    WriteBlobStream(std::string_view("J"));
    EXPECT_EQ(BlobSeek(0, 2), 11);
    EXPECT_EQ(BlobSeek(-100, 1), 0);
    DestroyBlobDescriptor();
    EXPECT_EQ(StreamText(block), "Jello world");

    CreateBlobDescriptor(false, block, 1);
    EXPECT_EQ(BlobSeek(2, 0), 2);
    EXPECT_EQ(BlobSeek(3, 1), 5);
    EXPECT_EQ(BlobSeek(-2, 2), 9);
    char tail[10];
    EXPECT_EQ(ReadBlobStream(tail), 2);
    EXPECT_EQ(std::string(tail, 2), "ld");
    DestroyBlobDescriptor();
}

TEST_P(StreamTest, AStreamThatWritesNothingStoresNothing) {
    const Layout& l = GetParam();
    const std::string path = MemoTable("nothing", l.version, l.block_size);
    const std::string before = ReadFileBytes(MemoPath(path, l.version));
    Open(path);
    CreateBlobDescriptor(true, 0, 2);
    DestroyBlobDescriptor();
    EXPECT_EQ(LastErrorCode(), 0);
    CloseArea();
    EXPECT_EQ(ReadFileBytes(MemoPath(path, l.version)), before);
}

TEST_P(StreamTest, OtherWritesWaitForAnOpenWriteStream) {
    const Layout& l = GetParam();
    Open(MemoTable("busy", l.version, l.block_size));
    const int32_t first = CreateBlobDescriptor(false, 0, 2);
    WriteBlobStream(std::string_view("streamed"));
    EXPECT_EQ(AddMemo("added"), 0);
    EXPECT_EQ(LastErrorCode(), 1017);
    // A new stream ends the open one, which stores its memo.
    const int32_t second = StoreBytes("second");
    EXPECT_GT(second, first);
    EXPECT_EQ(StreamText(first), "streamed");
    EXPECT_EQ(StreamText(second), "second");
}

INSTANTIATE_TEST_SUITE_P(Layouts, StreamTest, ::testing::ValuesIn(memo_testing::kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.label); });

TEST_F(MemoTest, Dbase3StreamsWriteDbase3Memos) {
    const std::string path = MemoTable("three", kDbase3Memo, 512);
    Open(path);
    const int32_t block = StoreBytes("plain text", true);
    EXPECT_EQ(block, 1);
    const std::string memo = ReadFileBytes(MemoPath(path, kDbase3Memo));
    EXPECT_EQ(memo.size(), 1024u);
    EXPECT_EQ(memo.substr(512, 12), "plain text\x1A\x1A");
    // Read back by its end mark, whose place is the length.
    CreateBlobDescriptor(false, block, 1);
    EXPECT_EQ(BlobSeek(0, 2), 10);
    DestroyBlobDescriptor();
    EXPECT_EQ(ReadStream(block, false), "plain text");

    // Binary data holding 0x1A could never be read back: refused.
    CreateBlobDescriptor(false, 0, 2);
    EXPECT_EQ(WriteBlobStream(std::string_view("a\x1A"
                                               "b")),
              0);
    EXPECT_EQ(LastErrorCode(), 1300);
    DestroyBlobDescriptor();
}

}  // namespace
