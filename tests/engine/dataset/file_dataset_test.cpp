#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/file.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;

class FileDatasetTest : public DatasetTest {
protected:
    // A table with five records, closed; its index list sorts DETAIL
    // descending and AMOUNT ascending.
    TTzDbf* Indexed(TCreateIndexType mode) {
        TTzDbf* ds = History("indexed.dbf");
        if (!FileExists(ds->DbfFileName())) {
            ds->Open();
            Add(*ds, {{"rent", 500}, {"food", 12.5}, {"fuel", 40}, {"book", 9}, {"cafe", 7}});
            ds->Close();
        }
        for (const char* line : {"TGDETAIL,T,F,DETAIL", "", "TGAMOUNT,F,F,AMOUNT", ""}) ds->IndexList().Add(line);
        ds->CreateIndex = mode;
        ds->OnBeforeMakeIndex = [this](const std::string& name, bool& can_make) {
            builds_.push_back(name);
            can_make = allow_build_;
        };
        return ds;
    }
    std::vector<std::string> builds_;
    bool allow_build_ = true;
};

TEST_F(FileDatasetTest, TheProductionIndexIsBuiltOrOpenedAsItsModeSays) {
    const std::string index = dir_ / "indexed.MDX";
    const std::string semaphore = dir_ / "indexed.@S@";
    struct Case {
        const char* what;
        TCreateIndexType mode;
        std::function<void()> before;
        bool built;
    };
    platform::File holder;
    const Case cases[] = {
        {"no index file yet", ciNotFound, [] {}, true},
        {"an index that opens", ciNotFound, [] {}, false},
        {"always", ciAlways, [] {}, true},
        {"the tags agree", ciVerifyHeader, [] {}, false},
        {"a damaged index", ciNotFound,
         [&] { std::ofstream(index, std::ios::binary | std::ios::trunc) << std::string(600, '\x7f'); }, true},
        {"another process holds the index", ciAlways,
         [&] {
             std::ofstream(semaphore) << "held";
             ASSERT_EQ(holder.Open(semaphore, platform::Access::ReadWrite, platform::Share::DenyNone), 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.before();
        builds_.clear();
        TTzDbf* ds = Indexed(c.mode);
        ds->Open();
        EXPECT_EQ(builds_.size(), c.built ? 1u : 0u);
        if (c.built) {
            EXPECT_EQ(builds_[0], index);
        }
        EXPECT_EQ(CurrentOrder(), 1);
        EXPECT_FALSE(ds->IsSequenced());
        // TGDETAIL is descending.
        ds->GoTop();
        EXPECT_EQ(Details(*ds), "rent fuel food cafe book");
        ds->Close();
    }
}

TEST_F(FileDatasetTest, NoTagsOrAVetoMeanNoIndex) {
    TTzDbf* ds = Indexed(ciAlways);
    allow_build_ = false;
    ds->Open();
    EXPECT_EQ(builds_.size(), 1u);
    EXPECT_FALSE(GetIndexFlag());
    EXPECT_EQ(AreaIndexBlock(), nullptr);
    EXPECT_TRUE(ds->IsSequenced());
    ds->Close();
    // One line is no tag: nothing is built, and the header's flag is off.
    ds->IndexList().Clear();
    ds->IndexList().Add("TGDETAIL,F,F,DETAIL");
    builds_.clear();
    ds->Open();
    EXPECT_TRUE(builds_.empty());
    EXPECT_EQ(AreaIndexBlock(), nullptr);
}

TEST_F(FileDatasetTest, IndexCommandsAndLocateThroughTheActiveTag) {
    TTzDbf* ds = Indexed(ciAlways);
    ds->Open();
    EXPECT_EQ(ds->SetOrderToTag("TGAMOUNT"), 1);
    EXPECT_EQ(Details(*ds), "cafe book food fuel rent");
    ds->SetOrderToTag("TGDETAIL");
    EXPECT_TRUE(ds->Find("fo"));
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "food");
    EXPECT_FALSE(ds->FindExact("fo"));
    EXPECT_TRUE(ds->Eof());
    EXPECT_TRUE(ds->FindExact("fuel"));
    EXPECT_EQ(ds->RecNo(), 3);
    // One field, the active tag's key: sought in the index, which knows no case.
    EXPECT_FALSE(ds->Locate("DETAIL", {std::string("BOOK")}, db::loCaseInsensitive));
    EXPECT_TRUE(ds->Locate("DETAIL", {std::string("book")}, 0));
    EXPECT_EQ(ds->RecNo(), 4);
    // Another field: the records are searched.
    EXPECT_TRUE(ds->Locate("AMOUNT", {12.5}, 0));
    EXPECT_EQ(ds->RecNo(), 2);
    ds->Go(2);
    ds->FieldPut("DETAIL", "zoo");
    ds->ReplaceRec();
    ds->Reindex();
    ds->GoTop();
    EXPECT_EQ(TzAllTrim(ds->FieldGet("DETAIL")), "zoo");
}

TEST_F(FileDatasetTest, LockFailuresAskTheEventAndGiveUpAsNotDone) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"first", 1}});
    ds->Close();
    ds->SetExclusive(false);
    ds->Open();
    platform::File other;
    ASSERT_EQ(other.Open(ds->DbfFileName(), platform::Access::ReadWrite, platform::Share::DenyNone), 0);
    const uint64_t append_lock = Settings().lock_base + 1;
    ASSERT_EQ(other.Lock(append_lock, 1), 0);
    int asked = 0;
    ds->OnALockFailedOnInsert = [&](ui::TObject*, bool& retry) {
        retry = ++asked == 1;
        if (retry) other.Unlock(append_lock, 1);
    };
    ds->Append();
    ds->FieldByName("DETAIL")->SetAsString("second");
    ds->Post();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ds->RecCount(), 2);
    EXPECT_FALSE(IsAppendLocked());  // the lock the post took is given back
    // Given up: the insert stays open and nothing is written.
    ASSERT_EQ(other.Lock(append_lock, 1), 0);
    ds->Append();
    ds->FieldByName("DETAIL")->SetAsString("third");
    EXPECT_THROW(ds->Post(), ui::EAbort);
    EXPECT_EQ(ds->State(), db::dsInsert);
    EXPECT_EQ(ds->RecCount(), 2);
    ds->Cancel();
    // Without an event the failure is shown.
    ds->OnRLockFailedOnDelete = nullptr;
    Select(ds->WorkArea());
    const uint64_t record_one = Settings().lock_base + RecordOffset(*CurrentTable(), 1);
    ASSERT_EQ(other.Lock(record_one, 1), 0);
    ds->GoTop();
    EXPECT_THROW(ds->Delete(), ui::EAbort);
    ASSERT_FALSE(box_.shown.empty());
    EXPECT_EQ(box_.shown.back().text, "Lock failed [Delete]");
    EXPECT_FALSE(ds->RecordDeleted());
}

TEST_F(FileDatasetTest, AReadOnlyTableTakesNoWritesFromTheDataAwarePath) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"kept", 1}});
    ds->Close();
    ds->ReadOnly = true;
    ds->Open();
    EXPECT_FALSE(ds->CanModify());
    EXPECT_THROW(ds->Edit(), db::EDatabaseError);
    ds->Delete();
    EXPECT_FALSE(ds->RecordDeleted());
    ds->Close();
    ds->ReadOnly = false;
    ds->Open();
    ds->GoTop();
    EXPECT_FALSE(ds->RecordDeleted());
    EXPECT_EQ(Details(*ds), "kept");
}

TEST_F(FileDatasetTest, MemoFieldsAreReadAndWrittenThroughBlobStreams) {
    TTzDbf* ds = Make<TTzDbf>("Notes", {"NAME,C,10,0", "NOTES,M,10,0"}, "notes.dbf");
    ds->SetExclusive(true);
    ds->Open();
    ds->ClearRecord();
    ds->FieldPut("NAME", "one");
    ds->AppendRec();
    db::TField* notes = ds->FieldByName("NOTES");
    EXPECT_TRUE(notes->IsNull());
    ds->Edit();
    notes->SetAsString(
        "Gr\xFC\xDF"
        "e\r\nsecond line");
    ds->Post();
    ds->Close();
    ds->Open();
    notes = ds->FieldByName("NOTES");
    EXPECT_EQ(notes->AsString(),
              "Gr\xFC\xDF"
              "e\r\nsecond line");
    EXPECT_EQ(notes->DisplayText(), "(MEMO)");
    EXPECT_EQ(ds->FieldGet("NOTES"),
              "Gr\xFC\xDF"
              "e\r\nsecond line");
    // Writing nothing empties the memo.
    ds->Edit();
    notes->SetAsString("");
    ds->Post();
    EXPECT_TRUE(notes->IsNull());
    ds->Close();
    EXPECT_EQ(ds->CreateBlobStream(notes, db::bmRead), nullptr);
    EXPECT_EQ(LastErrorCode(), 1103);
    EXPECT_EQ(LastErrorMessage(), "DataSet must be active. Notes");
}

TEST_F(FileDatasetTest, OpenOptionsTakeEffectForTheOpen) {
    TTzDbf* ds = History();
    ds->Open();
    Add(*ds, {{"a", 1}, {"b", 2}, {"c", 3}});
    ds->Close();
    // The header counts one record less than the file holds.
    {
        std::fstream file(ds->DbfFileName(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4);
        file.put('\x02');
    }
    ds->AutoFixRecCount = true;
    ds->Open();
    EXPECT_EQ(ds->RecCount(), 3);
    ds->Close();
    ds->AutoFixRecCount = false;
    ds->SetExclusive(false);
    ds->Open();
    EXPECT_EQ(ds->RecCount(), 2);
    // Changing Exclusive on an open dataset opens it again.
    ds->SetExclusive(true);
    EXPECT_TRUE(ds->Active());
    Select(ds->WorkArea());
    platform::File other;
    EXPECT_EQ(other.Open(ds->DbfFileName(), platform::Access::Read, platform::Share::DenyNone), 32);
    EXPECT_TRUE(ds->RLock());
    ds->UnLock();
    ds->FlushDbf();
    EXPECT_EQ(LastErrorCode(), 0);
}

// An empty table is at both ends and empty in either order, through every
// move and with a link of many buffers (a grid) on it.
TEST_F(FileDatasetTest, AnEmptyTableIsEmptyInEveryOrder) {
    struct Case {
        const char* order;  // "" natural
        std::function<void(TTzDbf&)> move;
    };
    const Case cases[] = {
        {"", [](TTzDbf&) {}},
        {"TGDETAIL", [](TTzDbf&) {}},
        {"TGAMOUNT", [](TTzDbf& ds) { ds.First(); }},
        {"TGDETAIL", [](TTzDbf& ds) { ds.Last(); }},
        {"TGDETAIL", [](TTzDbf& ds) { ds.Next(); }},
        {"TGAMOUNT", [](TTzDbf& ds) { ds.Prior(); }},
        {"", [](TTzDbf& ds) { ds.Last(); }},
    };
    TTzDbf* ds = History("empty.dbf");
    for (const char* line : {"TGDETAIL,T,F,DETAIL", "", "TGAMOUNT,F,F,AMOUNT", ""}) ds->IndexList().Add(line);
    ds->CreateIndex = ciAlways;
    const auto owned_source = ui::Make<db::TDataSource>(nullptr);
    db::TDataSource& source = *owned_source;
    source.SetDataSet(ds);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("order '") + c.order + "'");
        ds->Open();
        ds->SetOrderToTag(c.order);
        db::TDataLink link;
        link.SetDataSource(&source);
        EXPECT_NO_THROW(link.SetBufferCount(12));
        c.move(*ds);
        EXPECT_TRUE(ds->Bof());
        EXPECT_TRUE(ds->Eof());
        EXPECT_TRUE(ds->IsEmpty());
        EXPECT_EQ(link.RecordCount(), 0);
        link.SetDataSource(nullptr);
        ds->Close();
    }
}

}  // namespace
