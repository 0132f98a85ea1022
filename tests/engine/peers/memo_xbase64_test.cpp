// dBASE III memos between the engine and xbase64, linked in. The packaged
// xbase64 cannot append records to memo tables on 64-bit systems, fails on
// every dBASE IV memo file (its own included) and mis-measures dBASE III
// memos of more than one block (other writers' too), so it is asked only to
// read and write one-block dBASE III memos of existing records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <xbase64/xbase64.h>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/memo/memo.hpp"
#include "platform/codepage.hpp"
#include "platform/paths.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/files.hpp"

namespace {

using namespace zurod;

const std::vector<std::string> kTexts = {"first", "two\r\nlines", std::string(509, 'a'), "\xE9t\xE9", "z"};

class Xbase64MemoTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        MemoInit();
    }

    // A dBASE III memo table with one record per text, memos stored here.
    std::string Table() {
        const std::string path = CreateTable("xb.dbf", {{"ID", 'N', 4, 0}, {"NOTE", 'M', 10, 0}});
        std::string bytes = testing_support::ReadFileBytes(path);
        bytes[0] = static_cast<char>(kDbase3Memo);
        testing_support::WriteFileBytes(path, bytes);
        platform::RemoveFile(ForceExt(path, "DBT"));
        EXPECT_TRUE(MakeMemoFile(ForceExt(path, "dbt"), kDbase3Memo, 512, "test").ok());
        USE(path + " EXCLUSIVE");
        for (size_t i = 0; i < kTexts.size(); ++i) {
            ClearRecord();
            PutFieldInteger(1, static_cast<int64_t>(i + 1));
            PutFieldMemo(2, AddMemo(kTexts[i]));
            Append();
        }
        CloseArea();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        return path;
    }
};

TEST_F(Xbase64MemoTest, ReadsTheDbase3MemosWrittenHere) {
    const std::string path = Table();
    xbXBase base;
    xbDbf d(&base);
    ASSERT_EQ(d.OpenDatabase(path.c_str()), XB_NO_ERROR);
    d.AutoLockOff();
    for (size_t i = 0; i < kTexts.size(); ++i) {
        ASSERT_EQ(d.GetRecord(static_cast<xbULong>(i + 1)), XB_NO_ERROR);
        const xbLong length = d.GetMemoFieldLen(1);
        std::vector<char> text(static_cast<size_t>(length) + 1);
        ASSERT_EQ(d.GetMemoField(1, length, text.data(), 0), XB_NO_ERROR);
        EXPECT_EQ(std::string(text.data(), static_cast<size_t>(length)), platform::AnsiToOem(kTexts[i]))
            << "record " << i + 1;
    }
    d.CloseDatabase();
}

TEST_F(Xbase64MemoTest, MemosXbase64WritesReadHere) {
    const std::string path = Table();
    {
        xbXBase base;
        xbDbf d(&base);
        ASSERT_EQ(d.OpenDatabase(path.c_str()), XB_NO_ERROR);
        d.AutoLockOff();
        ASSERT_EQ(d.GetRecord(2), XB_NO_ERROR);
        const std::string text = "replaced by xbase64";
        ASSERT_EQ(d.UpdateMemoData(1, static_cast<xbLong>(text.size()), text.c_str(), 0), XB_NO_ERROR);
        ASSERT_EQ(d.PutRecord(), XB_NO_ERROR);
        d.CloseDatabase();
    }
    USE(path + " EXCLUSIVE");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    for (int32_t r = 1; r <= 5; ++r) {
        GO(r);
        MemoTextFile device(2);
        ASSERT_EQ(device.Reset(), 0);
        std::string text, piece;
        while (device.Read(piece) == 0 && !piece.empty()) text += piece;
        EXPECT_EQ(text, r == 2 ? "replaced by xbase64" : kTexts[static_cast<size_t>(r - 1)]) << "record " << r;
    }
}

}  // namespace
