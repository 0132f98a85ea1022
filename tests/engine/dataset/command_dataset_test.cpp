#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

class CommandTest : public DatasetTest {
protected:
    TTzDbf* Filled() {
        TTzDbf* ds = History();
        ds->Open();
        Add(*ds, {{"rent", 500}, {"food", 12.5}, {"fuel", 40}, {"food", 7.25}, {"book", 9}});
        return ds;
    }
};

TEST_F(CommandTest, FieldTextsArePaddedToTheFieldWidth) {
    TTzDbf* ds =
        Make<TTzDbf>("Mixed", {"AMOUNT,N,9,2", "QTY,N,4,0", "NAME,C,10,0", "PAID,L,1,0", "DAY,D,8,0"}, "mixed.dbf");
    ds->SetExclusive(true);
    ds->Open();
    ds->ClearRecord();
    ds->FieldPutFloat("AMOUNT", 12.5);
    ds->FieldPut("QTY", "7");
    ds->FieldPut("NAME", "ab");
    ds->FieldPut("PAID", "t");
    ds->AppendRec();
    const std::pair<const char*, std::string> texts[] = {{"AMOUNT", "     12.5"},
                                                         {"QTY", "   7"},
                                                         {"NAME", "ab        "},
                                                         {"PAID", "T"},
                                                         {"DAY", BlankDateStr(DateCode())}};
    for (const auto& [field, text] : texts) EXPECT_EQ(ds->FieldGet(field), text) << field;
    EXPECT_EQ(ds->FieldGetShort("NAME"), "ab        ");
    // Text that is no number is refused by the field, and nothing reaches the table.
    EXPECT_THROW(ds->FieldPut("QTY", "seven"), ui::EConvertError);
    EXPECT_THROW(ds->FieldPut("NOSUCH", "x"), db::EDatabaseError);
    ds->GoTop();
    EXPECT_EQ(ds->FieldGet("QTY"), "   7");
}

TEST_F(CommandTest, FiltersCountsAndSums) {
    TTzDbf* ds = Filled();
    ds->Go(3);
    EXPECT_EQ(ds->GetFilteredCount(), 5);
    ds->SetFilterTo("DETAIL = 'food'");
    EXPECT_TRUE(ds->Filtered());
    EXPECT_EQ(ds->Filter(), "DETAIL = 'food'");
    // Record 3 does not pass: the dataset goes to the last record that does.
    EXPECT_EQ(ds->RecNo(), 4);
    EXPECT_EQ(Details(*ds), "food food");
    ds->Go(2);
    EXPECT_EQ(ds->GetFilteredCount(), 2);
    EXPECT_EQ(RecNo(), 2);  // the engine is back on the dataset's record
    EXPECT_DOUBLE_EQ(ds->Sum("AMOUNT"), 19.75);
    ds->SetFilterTo("");
    EXPECT_FALSE(ds->Filtered());
    EXPECT_DOUBLE_EQ(ds->Sum("AMOUNT"), 568.75);
    // A filter that does not compile leaves none.
    ds->SetFilterTo("DETAIL = ");
    EXPECT_NE(LastErrorCode(), 0);
    EXPECT_FALSE(ds->Filtered());
    EXPECT_EQ(ds->GetFilteredCount(), 5);
    // A sum keeps the precision of a 6-byte real.
    EXPECT_EQ(ThroughReal48(1234567890123.45), 1234567890124.0);
    EXPECT_EQ(ThroughReal48(19.75), 19.75);
}

TEST_F(CommandTest, AFailedAppendLeavesNothingToPostOverTheCurrentRecord) {
    TTzDbf* ds = Filled();
    ds->Close();
    ds->SetExclusive(false);
    ds->Open();
    ds->Go(2);
    ds->ClearRecord();
    ds->FieldPut("DETAIL", "not appended");
    ds->AppendRec();  // shared, and no append lock
    EXPECT_NE(LastErrorCode(), 0);
    EXPECT_EQ(ds->State(), db::dsBrowse);
    ds->GoTop();
    EXPECT_EQ(ds->RecCount(), 5);
    EXPECT_EQ(Details(*ds), "rent food fuel food book");
    // With the lock the same sequence appends.
    EXPECT_TRUE(ds->ALock());
    ds->ClearRecord();
    ds->FieldPut("DETAIL", "appended");
    ds->AppendRec();
    ds->UnLock();
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(ds->RecCount(), 6);
}

TEST_F(CommandTest, WritesKeepTheBuffersInStep) {
    TTzDbf* ds = Filled();
    ds->Go(2);
    ds->FieldPut("DETAIL", "groceries");
    ds->ReplaceRec();
    EXPECT_EQ(ds->State(), db::dsBrowse);
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "groceries");
    ds->DeleteRec();
    EXPECT_TRUE(ds->RecordDeleted());
    ds->RecallRec();
    EXPECT_FALSE(ds->RecordDeleted());
    // Skip 0 reads the record again from the file.
    Poke("changed" + std::string(23, ' '), 2, 2);
    ds->Skip(0);
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "changed");
    // A post replaces the record of the active buffer, wherever the engine stands.
    ds->Edit();
    ds->FieldPut("DETAIL", "posted");
    GO(5);
    ds->Post();
    EXPECT_EQ(Details(*ds), "rent posted fuel food book");
    // A pending edit is posted before Zap empties the table.
    ds->Go(1);
    ds->FieldPut("DETAIL", "pending");
    EXPECT_EQ(ds->Zap(), 1);
    EXPECT_EQ(ds->RecCount(), 0);
    EXPECT_TRUE(ds->Bof() && ds->Eof());
}

TEST_F(CommandTest, PackSkipsRecordsTheFilterHides) {
    TTzDbf* ds = Filled();
    ds->SetFilterTo("AMOUNT < 100");
    ds->Go(4);
    ds->DeleteRec();
    EXPECT_EQ(ds->Pack(), 1);
    EXPECT_EQ(ds->RecCount(), 4);
    EXPECT_NE(TzAllTrim(ds->FieldGet("DETAIL")), "rent");
    EXPECT_EQ(Details(*ds), "food fuel book");
}

TEST_F(CommandTest, CopyToAsksTheConditionThroughTheFields) {
    TTzDbf* ds = Filled();
    ds->Go(3);
    int asked = 0;
    ds->CopyTo(dir_ / "copy.dbf", [&] {
        ++asked;
        return ds->FieldGetFloat("AMOUNT") < 20;
    });
    EXPECT_EQ(asked, 5);
    EXPECT_EQ(ds->RecNo(), 3);
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "fuel");
    TTzDbf* copy = Make<TTzDbf>("Copy", testing_dataset::kHistoryFields, "copy.dbf");
    copy->Open();
    EXPECT_EQ(Details(*copy), "food food book");
    // And back: the records of another table come in by field name.
    ds->AppendFrom(dir_ / "copy");
    EXPECT_EQ(ds->RecCount(), 8);
    EXPECT_EQ(ds->RecNo(), 3);
}

TEST_F(CommandTest, LocateAndLookupKeepPendingEditsAndReportTheRecordFound) {
    TTzDbf* ds = Filled();
    ds->Go(1);
    ds->FieldPut("DETAIL", "edited");
    const std::vector<db::Variant> values = ds->Lookup("DETAIL", {std::string("fuel")}, "AMOUNT;DETAIL");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::get<double>(values[0]), 40.0);
    EXPECT_EQ(ds->RecNo(), 1);
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "edited");
    EXPECT_TRUE(ds->Lookup("DETAIL", {std::string("none")}, "AMOUNT").empty());
    EXPECT_TRUE(ds->Locate("DETAIL", {std::string("BOOK")}, db::loCaseInsensitive));
    EXPECT_EQ(ds->RecNo(), 5);
    EXPECT_EQ(Details(*ds), "edited food fuel food book");
    EXPECT_FALSE(ds->Locate("DETAIL", {std::string("fo")}, 0));
    EXPECT_TRUE(ds->Locate("DETAIL", {std::string("fo")}, db::loPartialKey));
    EXPECT_EQ(ds->RecNo(), 2);
}

TEST_F(CommandTest, SearchAndBookmarks) {
    TTzDbf* ds = Filled();
    ds->Go(2);
    uint8_t field = 0;
    ds->Search("FUEL", field, false);
    EXPECT_EQ(field, 2);
    EXPECT_EQ(ds->RecNo(), 3);
    const db::TBookmark fuel = ds->GetBookmark();
    field = 0;
    ds->Search("nowhere", field, true);
    EXPECT_EQ(field, 0);
    EXPECT_EQ(ds->RecNo(), 3);  // nothing found: the dataset stays
    ds->GoTop();
    const db::TBookmark rent = ds->GetBookmark();
    EXPECT_EQ(ds->CompareBookmarks(rent, fuel), -1);
    EXPECT_EQ(ds->CompareBookmarks(fuel, ""), -1);
    EXPECT_EQ(ds->CompareBookmarks("", fuel), 1);
    EXPECT_TRUE(ds->BookmarkValid(fuel));
    ds->GotoBookmark(fuel);
    EXPECT_EQ(ds->RecNo(), 3);
}

}  // namespace
