#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "platform/file.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

const std::vector<std::string> kSplitFields = {"DETAIL,C,30,0", "AMOUNT,N,9,2", "DATE,D,8,0", "NOTE,M,10,0"};

class VirtualTest : public DatasetTest {
protected:
    TTzVFile* Split(const std::string& file = "splits.dbf") { return Make<TTzVFile>("Splits", kSplitFields, file); }
    // A table file of `n` records "r1".."rn" with amounts 1..n.
    void WriteTable(const std::string& file, int n, const std::vector<std::string>& fields = kSplitFields) {
        TTzDbf* table = Make<TTzDbf>("Source", fields, file);
        table->SetExclusive(true);
        table->Open();
        for (int i = 1; i <= n; ++i) Add(*table, {{"r" + std::to_string(i), i}});
        table->Close();
    }
};

TEST_F(VirtualTest, AppendModesPlaceTheNewRecord) {
    struct Case {
        LStatusType mode;
        bool insert;  // the framework's Insert at the last record, else its Append (at the end)
        const char* order;
    };
    const Case cases[] = {
        {FIFO, false, "a b c d"},      {LIFO, false, "d a b c"},      {INSERTION, true, "a b d c"},
        {INSERTION, false, "a b c d"}, {ASCENDING, false, "a b c d"}, {DESCENDING, false, "d c b a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + (c.insert ? " insert" : " append"));
        TTzVFile* v = Split();
        v->KeyMaker = [](TTzLLDataSet* d) { return d->FieldGet("DETAIL"); };
        v->Open();
        Add(*v, {{"a", 1}, {"b", 2}, {"c", 3}});
        // A sorted mode sorts what is there (DESCENDING turns it round).
        v->SetAppendMode(c.mode);
        // After GoBottom the framework stands at EOF, after Go on a record.
        if (c.insert) {
            v->Go(3);
            v->Insert();
        } else {
            v->GoBottom();
            v->Append();
        }
        v->FieldByName("DETAIL")->SetAsString("d");
        v->Post();
        EXPECT_EQ(Details(*v), c.order);
        EXPECT_TRUE(v->VFileModified());
        v->Close();
    }
}

TEST_F(VirtualTest, FilesOpenedInARowGetTheirOwnNames) {
    TTzVFile* a = Split();
    TTzVFile* b = Make<TTzVFile>("Other", kSplitFields, "other.dbf");
    a->Open();
    b->Open();
    EXPECT_NE(a->WorkArea(), b->WorkArea());
    Add(*a, {{"in a", 1}});
    EXPECT_EQ(b->RecCount(), 0);
    // A memo field of a virtual file holds a number.
    EXPECT_EQ(a->FieldByName("NOTE")->DataType(), db::ftFloat);
}

TEST_F(VirtualTest, LoadedRecordsKeepFileOrderAndLaterAppendsFollowTheMode) {
    WriteTable("splits.dbf", 3);
    TTzVFile* v = Split();
    v->PopulateFromDisk = true;
    v->SetAppendMode(LIFO);
    v->Open();
    EXPECT_EQ(Details(*v), "r1 r2 r3");
    EXPECT_FALSE(v->VFileModified());
    Add(*v, {{"new", 9}});
    EXPECT_EQ(Details(*v), "new r1 r2 r3");
    EXPECT_EQ(v->FieldGet("DATE"), "05/03/2024");
}

TEST_F(VirtualTest, SavingReplacesTheFileOnlyWhenItChangedAndAllWentWell) {
    WriteTable("splits.dbf", 2);
    const std::string path = dir_ / "splits.dbf";
    TTzVFile* v = Split();
    v->PopulateFromDisk = v->SaveToDisk = true;
    v->Open();
    const auto stamp = std::filesystem::last_write_time(path);
    v->Close();  // unchanged: nothing written
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    v->Open();
    Add(*v, {{"third", 3}});
    v->SetFilterTo("AMOUNT > 1");  // a filter does not keep records from the file
    v->Close();
    TTzDbf* table = History("splits.dbf");
    table->Open();
    EXPECT_EQ(Details(*table), "r1 r2 third");
    // The file is open elsewhere: the save fails, the old file and the modified flag stay.
    v->Open();
    Add(*v, {{"fourth", 4}});
    EXPECT_FALSE(v->DoSaveToDisk());
    EXPECT_EQ(LastErrorCode(), 214);
    EXPECT_TRUE(v->VFileModified());
    EXPECT_FALSE(FileExists(dir_ / "splits.TZS"));
    EXPECT_EQ(table->RecCount(), 3);
}

TEST_F(VirtualTest, ATableOfAnotherLayoutIsLoadedFieldByFieldByName) {
    WriteTable("wide.dbf", 2, {"AMOUNT,N,12,3", "EXTRA,C,5,0", "DETAIL,C,40,0", "DATE,C,10,0"});
    TTzVFile* v = Split("wide.dbf");
    v->PopulateFromDisk = true;
    v->Open();
    EXPECT_EQ(Details(*v), "r1 r2");
    v->GoBottom();
    EXPECT_DOUBLE_EQ(v->FieldGetFloat("AMOUNT"), 2);
    EXPECT_EQ(v->FieldGet("DATE"), "05/03/2024");  // a text that holds a date becomes the date
}

TEST_F(VirtualTest, NoProgressWindowBelowAHundredRecords) {
    for (int records : {99, 100}) {
        SCOPED_TRACE(records);
        const std::string file = "p" + std::to_string(records) + ".dbf";
        WriteTable(file, records);
        TTzVFile* v = Split(file);
        v->PopulateFromDisk = true;
        v->SetAppendMode(ASCENDING);
        int shown = 0;
        v->KeyMaker = [&](TTzLLDataSet* d) {
            shown = std::max(shown, ui::Screen().FormCount());
            return d->FieldGet("DETAIL");
        };
        v->Open();
        EXPECT_EQ(shown, records >= 100 ? 1 : 0);
        EXPECT_EQ(v->RecCount(), records);
        v->Close();
    }
}

}  // namespace
