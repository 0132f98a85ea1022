// Datasets driven the way a grid and a careless program drive them: wide
// numbers of virtual files in expressions, writes the engine refuses, a
// table created anew beside an old index, and rows a data link shows in
// the engine's typed buffer while a new record waits to be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

class DatasetSafety : public DatasetTest {};

// Number fields of more than 18 digits travel as doubles; an expression
// must read them as such.
TEST_F(DatasetSafety, WideWholeNumbersOfAVirtualFileReadRightInExpressions) {
    auto* v = Make<TTzVFile>("Wide", {"W,N,20,0", "DETAIL,C,10,0"}, "wide.dbf");
    v->Open();
    for (double w : {12345.0, 7.0, -2.0}) {
        v->ClearRecord();
        v->FieldPutFloat("W", w);
        v->FieldPut("DETAIL", "w");
        v->AppendRec();
    }
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(v->Sum("W"), 12350.0);
    EXPECT_EQ(v->Sum("W+0"), 12350.0);
    EXPECT_EQ(v->Sum("W*2-W"), 12350.0);
    v->SetFilterTo("W = 12345");
    EXPECT_EQ(v->GetFilteredCount(), 1);
    EXPECT_EQ(v->FieldGetFloat("W"), 12345.0);
    v->SetFilterTo("W < 0");
    EXPECT_EQ(v->GetFilteredCount(), 1);
    EXPECT_EQ(v->FieldGetFloat("W"), -2.0);
}

// A write the engine refuses leaves the record as stored on screen: the
// edited values are not shown as if they were saved.
TEST_F(DatasetSafety, ARefusedWriteShowsTheStoredRecordAgain) {
    struct Case {
        const char* what;
        std::function<void(TTzDbf&)> write;
    };
    const Case cases[] = {
        {"ReplaceRec",
         [](TTzDbf& ds) {
             ds.FieldPut("DETAIL", "changed");
             ds.FieldPutFloat("AMOUNT", 1e12);  // too wide for N 9.2
             ds.ReplaceRec();
         }},
        {"AppendRec",
         [](TTzDbf& ds) {
             ds.ClearRecord();
             ds.FieldPut("DETAIL", "new");
             ds.FieldPutFloat("AMOUNT", 1e12);
             ds.AppendRec();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTzDbf* ds = History(std::string(c.what) + ".dbf");
        ds->Open();
        Add(*ds, {{"r1", 1}, {"r2", 2}, {"r3", 3}});
        ds->Go(2);
        c.write(*ds);
        EXPECT_EQ(LastErrorCode(), 201) << LastErrorMessage();
        EXPECT_EQ(ds->State(), db::dsBrowse);
        EXPECT_EQ(ds->RecCount(), 3);
        EXPECT_EQ(ds->RecNo(), 2);
        EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "r2");
        EXPECT_EQ(ds->FieldGetFloat("AMOUNT"), 2.0);
        EXPECT_EQ(Details(*ds), "r1 r2 r3");
        ds->Close();
    }
}

// A table created from its field list where a table of that name was gone
// finds the old production index beside it; it must not use it.
TEST_F(DatasetSafety, ATableCreatedAnewNeverUsesAnOldIndexBesideIt) {
    for (TCreateIndexType mode : {ciNotFound, ciVerifyHeader, ciNever}) {
        SCOPED_TRACE(mode);
        TTzDbf* ds = History("again.dbf");
        ds->IndexList().Add("TGDETAIL,F,F,DETAIL");
        ds->IndexList().Add("");
        ds->CreateIndex = ciNotFound;
        ds->Open();
        for (int i = 0; i < 60; ++i) Add(*ds, {{"old" + std::to_string(100 + i), i}});
        ds->Close();
        ASSERT_TRUE(FileExists(dir_ / "again.MDX"));
        std::filesystem::remove(ds->DbfFileName());

        ds->CreateIndex = mode;
        ds->Open();
        ASSERT_EQ(ds->RecCount(), 0);
        Add(*ds, {{"b", 1}, {"a", 2}, {"c", 3}});
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_EQ(Details(*ds), mode == ciNever ? "b a c" : "a b c");
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        ds->Close();
        std::filesystem::remove(ds->DbfFileName());
        std::filesystem::remove(dir_ / "again.MDX");
    }
}

// A grid paints rows through the engine-aware setter, then puts its active
// record back the framework's way. A new record or an edit prepared before
// the paint is what gets written.
TEST_F(DatasetSafety, RowsShownForPaintingNeverReachAWrite) {
    struct Case {
        const char* what;
        std::function<void(TTzDbf&)> prepare, write;
        int32_t written;  // the record that must hold "pending"
    };
    const Case cases[] = {
        {"ClearRecord, FieldPut and AppendRec",
         [](TTzDbf& ds) {
             ds.ClearRecord();
             ds.FieldPut("DETAIL", "pending");
             ds.FieldPutFloat("AMOUNT", 9);
         },
         [](TTzDbf& ds) { ds.AppendRec(); }, 4},
        {"FieldPut and ReplaceRec",
         [](TTzDbf& ds) {
             ds.FieldPut("DETAIL", "pending");
             ds.FieldPutFloat("AMOUNT", 9);
         },
         [](TTzDbf& ds) { ds.ReplaceRec(); }, 1},
        {"FieldPut and Post",
         [](TTzDbf& ds) {
             ds.FieldPut("DETAIL", "pending");
             ds.FieldPutFloat("AMOUNT", 9);
         },
         [](TTzDbf& ds) { ds.Post(); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTzDbf* ds = History(std::string("paint") + std::to_string(c.written) + c.what[9] + ".dbf");
        auto source = ui::Make<db::TDataSource>(nullptr);
        source->SetDataSet(ds);
        TTzDataLink link;
        link.SetBufferCount(3);
        link.SetDataSource(source.get());
        ds->Open();
        Add(*ds, {{"r1", 1}, {"r2", 2}, {"r3", 3}});
        ds->GoTop();
        c.prepare(*ds);
        // The paint: each row shown to the engine, then the active one back.
        const int home = link.ActiveRecord();
        for (int row : {1, 2}) {
            link.SetTzRecord(row);
            Select(ds->WorkArea());
            EXPECT_EQ(TzAllTrim(GetFieldString(2)), "r" + std::to_string(row + 1));
        }
        link.SetActiveRecord(home);
        c.write(*ds);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        ds->Go(c.written);
        EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "pending");
        EXPECT_EQ(ds->FieldGetFloat("AMOUNT"), 9.0);
        ds->Go(3);
        EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "r3");
        link.SetDataSource(nullptr);
        ds->Close();
    }
}

}  // namespace
