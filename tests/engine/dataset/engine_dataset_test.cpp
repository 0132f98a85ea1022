#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

TEST_F(DatasetTest, FieldListLinesAreCorrectedOrRefused) {
    struct Case {
        const char* line;
        const char* created;  // type, length and decimals of the field made, empty: nothing made
        bool message;
    };
    const Case cases[] = {
        {"AMOUNT,N,9,2", "N 9 2", false},         {"AMOUNT,N,25,2", "N 20 2", true},  {"AMOUNT,N,3,2", "N 3 1", true},
        {"AMOUNT,N,1,1", "N 1 0", true},  // never a negative number of decimals
        {"NOTE,C,300,2", "C 254 0", true},        {"PICTURE,G,10,0", "M 10 0", true}, {"ODD,Q,5,0", "C 5 0", true},
        {" name , c , 12 , 0 ", "C 12 0", false}, {"NAME,C,10", "", false},  // two commas: no table, no message
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        box_.shown.clear();
        const std::string file = "t" + std::to_string(&c - cases) + ".dbf";
        TTzDbf* ds = Make<TTzDbf>("Table", {c.line}, file);
        if (!*c.created) {
            EXPECT_THROW(ds->Open(), std::runtime_error);
            EXPECT_FALSE(FileExists(dir_ / file));
        } else {
            ds->Open();
            Select(ds->WorkArea());
            EXPECT_EQ(
                std::string(1, FieldType(1)) + " " + std::to_string(FieldLen(1)) + " " + std::to_string(FieldDec(1)),
                c.created);
            ds->Close();
        }
        // The message names the component, the line as read and the correction.
        const bool told = !box_.shown.empty() && box_.shown[0].text.starts_with("Invalid field definition for Table: ");
        EXPECT_EQ(told, c.message);
    }
    EXPECT_EQ(box_.shown.size(), 1u);  // the last case's "Could not create" only
    // A length that is no number: the conversion error, and nothing written.
    TTzDbf* bad = Make<TTzDbf>("Bad", {"NAME,C,ten,0"}, "bad.dbf");
    EXPECT_THROW(bad->Open(), ui::EConvertError);
    EXPECT_FALSE(FileExists(dir_ / "bad.dbf"));
}

TEST_F(DatasetTest, OpenFailuresCarryTheirTexts) {
    TTzDbf* unnamed = Make<TTzDbf>("Unnamed", testing_dataset::kHistoryFields, "");
    try {
        unnamed->Open();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Missing DbfFilename property");
    }
    TTzDbf* missing = History("missing.dbf");
    missing->CreateIfNotFound = false;
    try {
        missing->Open();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Dataset error: Error # 2")) << e.what();
    }
    EXPECT_FALSE(missing->Active());
    // A name without an extension gets ".DBF"; one ending in a point stays.
    missing->SetDbfFileName(" plain ");
    EXPECT_EQ(missing->DbfFileName(), "plain.DBF");
    missing->SetDbfFileName("dotted.");
    EXPECT_EQ(missing->DbfFileName(), "dotted.");
}

TEST_F(DatasetTest, ACommandOnAClosedDatasetTouchesNoArea) {
    // Another table is current: nothing may run on it.
    TTzDbf* other = History("other.dbf");
    other->Open();
    Add(*other, {{"kept", 1}});
    TTzDbf* closed = History("closed.dbf");
    const uint8_t area = other->WorkArea();
    struct Case {
        const char* label;
        std::function<void(TTzDbf&)> run;
    };
    const Case cases[] = {
        {"GoTop", [](TTzDbf& d) { d.GoTop(); }},
        {"Go", [](TTzDbf& d) { d.Go(1); }},
        {"AppendRec", [](TTzDbf& d) { d.AppendRec(); }},
        {"DeleteRec", [](TTzDbf& d) { d.DeleteRec(); }},
        {"Zap", [](TTzDbf& d) { d.Zap(); }},
        {"FieldGetText", [](TTzDbf& d) { EXPECT_EQ(d.FieldGet("DETAIL"), ""); }},
        {"RecCount", [](TTzDbf& d) { EXPECT_EQ(d.RecCount(), 0); }},
        {"ALock", [](TTzDbf& d) { EXPECT_FALSE(d.ALock()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ui::Application().ResetTerminated();
        Select(area);
        c.run(*closed);
        EXPECT_EQ(LastErrorCode(), 1103);
        EXPECT_EQ(LastErrorMessage(), std::string("Database is not open [History.") + c.label + "]");
        EXPECT_TRUE(ui::Application().Terminated());
        EXPECT_EQ(CurrentArea(), area);
    }
    Select(area);
    EXPECT_EQ(RecCount(), 1);
}

TEST_F(DatasetTest, TheEngineStaysOnARecordWhileTheDatasetRunsOffEitherEnd) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"a", 1}, {"b", 2}, {"c", 3}});
    ds->GoBottom();
    ds->Skip(1);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(RecNo(), 3);
    ds->GoTop();
    ds->Skip(-1);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(RecNo(), 1);
    // Reading back: a stored value with more decimals than its field shows rounded.
    Poke("   12.345", 8, 1);
    ds->Skip(0);
    EXPECT_DOUBLE_EQ(ds->FieldGetFloat("AMOUNT"), 12.35);
}

TEST_F(DatasetTest, DateFieldsTakeTheTemplateTheEnginesTextAndNothingInvalid) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"a", 1}});
    ds->GoTop();
    db::TField* date = ds->FieldByName("DATE");
    EXPECT_EQ(date->ClassName(), "TTzDateField");
    ds->Edit();
    date->SetText(BlankDateStr(DateCode()));
    EXPECT_TRUE(date->IsNull());
    EXPECT_EQ(ds->FieldGet("DATE"), BlankDateStr(DateCode()));
    EXPECT_THROW(date->SetText("31/02/2024"), ui::EConvertError);
    date->SetText("29/02/2024 ");
    ds->ReplaceRec();
    ds->Skip(0);
    EXPECT_EQ(ds->FieldGet("DATE"), "29/02/2024");
    // A text of neither 8 nor 10 characters in the program's format reads as the template.
    platform::FormatSettings() = {"d/M/yyyy", '/'};
    EXPECT_EQ(ds->FieldGet("DATE"), BlankDateStr(DateCode()));
    zurod::SetDateFormat(2);
}

TEST_F(DatasetTest, TheUserDateFormatChoosesTheEnginesMode) {
    struct Case {
        const char* format;
        char separator;
        uint8_t mode;
        bool century;
    };
    const Case cases[] = {{"dd-MM-yy", '-', 3, false},
                          {"dd.MM.yyyy", '.', 5, true},
                          {"d/M/yyyy", '/', 2, true},
                          {"yyyy-MM-dd", '-', 1, true},
                          {"M/d/yy", '/', 0, false}};
    for (const Case& c : cases) {
        bool century = !c.century;
        EXPECT_EQ(DateModeOfFormat(c.format, c.separator, century), c.mode) << c.format;
        EXPECT_EQ(century, c.century) << c.format;
    }
}

TEST_F(DatasetTest, DeleteMarksAreSetAndRemovedThroughTheDataset) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"a", 1}, {"b", 2}});
    std::vector<std::string> events;
    ds->BeforeRestore = [&](ui::TObject*) { events.push_back("before"); };
    ds->AfterRestore = [&](ui::TObject*) { events.push_back("after"); };
    ds->GoTop();
    ds->SetRecordDeleted(true);
    EXPECT_TRUE(ds->RecordDeleted());
    EXPECT_EQ(ds->RecNo(), 1);  // the mark stays visible
    ds->SetRecordDeleted(false);
    EXPECT_FALSE(ds->RecordDeleted());
    EXPECT_EQ(events, (std::vector<std::string>{"before", "after"}));
    ds->SetRecordDeleted(true);
    ds->SetHideDeletedRecs(true);
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(Details(*ds), "b");
    // The thumb position of a hidden record lands on a visible one.
    ds->SetHideDeletedRecs(false);
    ds->GoBottom();
    ds->SetHideDeletedRecs(true);
    ds->SetRecNo(1);
    EXPECT_EQ(ds->RecNo(), 2);
}

TEST_F(DatasetTest, DrawingARowPutsItIntoTheTypedBufferWithoutMovingTheEngine) {
    TTzDbf* ds = History();
    auto source = ui::Make<db::TDataSource>(nullptr);
    source->SetDataSet(ds);
    TTzDataLink link;
    link.SetBufferCount(3);
    link.SetDataSource(source.get());
    ds->Open();
    Add(*ds, {{"a", 1}, {"b", 2}, {"c", 3}});
    ds->GoTop();
    Select(ds->WorkArea());
    const int32_t at = RecNo();
    link.SetTzRecord(2);
    EXPECT_EQ(RecNo(), at);
    EXPECT_EQ(TzAllTrim(GetFieldString(2)), "c");
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "c");
    link.SetTzRecord(0);
    EXPECT_EQ(TzAllTrim(GetFieldString(2)), "a");
    link.SetDataSource(nullptr);
}

TEST_F(DatasetTest, AKeyMakerCannotDisturbTheEngineItIsCalledFrom) {
    TTzDbf* other = History("other.dbf");
    other->Open();
    auto* v = Make<TTzVFile>("Keys", {"NAME,C,10,0"}, "keys.dbf");
    v->SetAppendMode(DESCENDING);
    v->KeyMaker = [&](TTzLLDataSet* d) {
        Select(other->WorkArea());
        RecordError(99, "from the key maker");
        return d->FieldGet("NAME");
    };
    v->Open();
    for (const char* name : {"b", "c", "a"}) {
        v->ClearRecord();
        v->FieldPut("NAME", name);
        v->AppendRec();
        EXPECT_EQ(LastErrorCode(), 0);
        EXPECT_EQ(CurrentArea(), v->WorkArea());
    }
    std::string names;
    for (v->GoTop(); !v->Eof(); v->Skip(1)) names += TzAllTrim(v->FieldGet("NAME"));
    EXPECT_EQ(names, "cba");
}

}  // namespace
