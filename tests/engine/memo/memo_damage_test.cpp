// Damaged memo files: every one gives an error code and a message naming the
// file, never a read outside the file, and leaves table and memo file as
// they were.
#include <gtest/gtest.h>

#include <string>

#include "engine/dbf/locate.hpp"
#include "tests/engine/memo/memo_fixture.hpp"
#include "tests/fuzz/memo_fixtures.hpp"

namespace {

using namespace zurod;
using memo_testing::MemoTest;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using memo_fixtures::At;
using memo_fixtures::Be32;
using memo_fixtures::Le32;

struct Damage {
    const char* label;
    uint8_t version;
    uint16_t block_size;
    // Applied to the memo file's bytes after one memo "intact" was stored.
    std::string (*damage)(std::string memo);
    int32_t block;  // the block the record points at; 0: the stored memo's
    uint16_t open_code;
    uint16_t read_code;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.label; }

const Damage kDamages[] = {
    {"MissingFile", kDbase4Memo, 512, [](std::string) { return std::string("<remove>"); }, 0, 2, 0},
    {"Dbase4HeaderCutShort", kDbase4Memo, 512, [](std::string m) { return m.substr(0, 10); }, 0, 1300, 0},
    {"Dbase3HeaderCutShort", kDbase3Memo, 512, [](std::string m) { return m.substr(0, 100); }, 0, 1300, 0},
    {"FoxHeaderCutShort", kFoxProMemo, 64, [](std::string m) { return m.substr(0, 300); }, 0, 1300, 0},
    {"Dbase4BlockSizeBelow64", kDbase4Memo, 512, [](std::string m) { return At(m, 20, std::string("\x20\x00", 2)); }, 0,
     1300, 0},
    {"FoxBlockSizeBelow64", kFoxProMemo, 64, [](std::string m) { return At(m, 6, std::string("\x00\x10", 2)); }, 0,
     1300, 0},
    {"BlockInTheHeader", kFoxProMemo, 64, [](std::string m) { return m; }, 3, 0, 1003},
    {"BlockPastTheEnd", kDbase4Memo, 512, [](std::string m) { return m; }, 40, 0, 1003},
    {"HugeBlock", kFoxProMemo, 64, [](std::string m) { return m; }, 0x7FFFFFFF, 0, 1003},
    {"Dbase4TotalBelow8", kDbase4Memo, 512, [](std::string m) { return At(m, 516, Le32(4)); }, 0, 0, 1003},
    {"Dbase4LengthPastTheEnd", kDbase4Memo, 512, [](std::string m) { return At(m, 516, Le32(0x7FFFFFF0)); }, 0, 0,
     1003},
    {"FoxAbsurdLength", kFoxProMemo, 64, [](std::string m) { return At(m, 516, Be32(0xFFFFFFFF)); }, 0, 0, 1003},
    {"FoxCutInItsBlockHeader", kFoxProMemo, 64, [](std::string m) { return m.substr(0, 514); }, 0, 0, 1003},
    {"Dbase4CutInTheMemo", kDbase4Memo, 512, [](std::string m) { return m.substr(0, 520); }, 0, 0, 1003},
    // A block without the dBASE IV mark is no memo, whatever follows it.
    {"Dbase4BlockWithoutItsMark", kDbase4Memo, 512,
     [](std::string m) { return At(m, 512, "text") + std::string(90000, 'f'); }, 0, 0, 1003},
    {"Dbase4BlockSizeChanged", kDbase4Memo, 512,
     [](std::string m) { return At(m, 20, std::string("\x00\x01", 2)) + std::string(4000, 'g'); }, 0, 0, 1003},
};

class DamageTest : public MemoTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamageTest, GivesItsCodeAndLeavesTheFilesAlone) {
    const Damage& d = GetParam();
    const std::string path = MemoTable("damaged", d.version, d.block_size);
    const std::string memo_path = MemoPath(path, d.version);
    Open(path);
    int32_t block = AppendWithMemo(1, "intact");
    if (d.block != 0) {
        block = d.block;
        PutFieldMemo(2, block);
        Replace();
    }
    CloseArea();
    const std::string damaged = d.damage(ReadFileBytes(memo_path));
    if (damaged == "<remove>")
        platform::RemoveFile(memo_path);
    else
        WriteFileBytes(memo_path, damaged);
    const std::string table_before = ReadFileBytes(path);

    USE(path + " EXCLUSIVE");
    EXPECT_EQ(LastErrorCode(), d.open_code) << LastErrorMessage();
    if (d.open_code != 0) {
        EXPECT_EQ(AreaFileName(), "") << "a table whose memo file cannot be opened stays closed";
        EXPECT_NE(LastErrorMessage().find(path), std::string::npos) << LastErrorMessage();
    } else {
        EXPECT_FALSE(GetMemo(block));
        EXPECT_EQ(LastErrorCode(), d.read_code);
        EXPECT_NE(LastErrorMessage().find(memo_path), std::string::npos) << LastErrorMessage();
        EXPECT_EQ(CreateBlobDescriptor(true, block, 1), 0);
        EXPECT_EQ(LastErrorCode(), d.read_code);
        EXPECT_FALSE(Locate("NOTE CONTAINED", std::string("intact")));
        EXPECT_EQ(LastErrorCode(), d.read_code);
        SetLastErrorCode(0);
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        if (damaged != "<remove>") {
            EXPECT_EQ(ReadFileBytes(memo_path), damaged);
        }
    }
    EXPECT_EQ(ReadFileBytes(path), table_before);
}

INSTANTIATE_TEST_SUITE_P(Memos, DamageTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.label); });

}  // namespace
