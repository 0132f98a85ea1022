#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/db/datasource.hpp"
#include "platform/error.hpp"
#include "tests/framework/db/vector_dataset.hpp"

namespace {

using testing_db::VectorDataSet;

struct RecordingLink : db::TDataLink {
    std::vector<std::string> log;
    std::function<void()> on_update;
    void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { log.push_back("change"); }
    void DataSetScrolled(int distance) override { log.push_back("scroll " + std::to_string(distance)); }
    void EditingChanged() override { log.push_back(Editing() ? "editing" : "browsing"); }
    void RecordChanged(db::TField* f) override { log.push_back(f ? "field " + f->FieldName() : "record"); }
    void UpdateData() override {
        if (on_update) on_update();
    }
    std::string Last() const { return log.empty() ? "" : log.back(); }
};

class DataSetTest : public ::testing::Test {
public:
    db::TField* Name() { return ds_->FieldByName("NAME"); }

protected:
    void SetUp() override {
        ds_ = ui::Make<VectorDataSet>(
            nullptr, std::vector<testing_db::Column>{{"NAME", db::ftString, 8}, {"QTY", db::ftInteger, 0}});
        ds_->SetName("Sales");
        for (int i = 1; i <= 10; ++i) ds_->rows.push_back({"R" + std::to_string(i), int64_t{i}});
        source_ = ui::Make<db::TDataSource>(nullptr);
        source_->SetDataSet(ds_.get());
        Log(ds_.get());
    }

    void Log(db::TDataSet* ds) {
        auto note = [this](const char* what) { return [this, what](db::TDataSet*) { events_.push_back(what); }; };
        ds->BeforeEdit = note("BeforeEdit");
        ds->AfterEdit = note("AfterEdit");
        ds->BeforeInsert = note("BeforeInsert");
        ds->AfterInsert = note("AfterInsert");
        ds->BeforePost = note("BeforePost");
        ds->AfterPost = note("AfterPost");
        ds->BeforeCancel = note("BeforeCancel");
        ds->AfterCancel = note("AfterCancel");
        ds->BeforeDelete = note("BeforeDelete");
        ds->AfterDelete = note("AfterDelete");
    }

    std::string Names() const {
        std::string s;
        for (const auto& row : ds_->rows) s += (s.empty() ? "" : " ") + std::get<std::string>(row[0]);
        return s;
    }
    std::string Events() {
        std::string s;
        for (const auto& e : events_) s += (s.empty() ? "" : " ") + e;
        events_.clear();
        return s;
    }
    ui::Owned<VectorDataSet> ds_;
    ui::Owned<db::TDataSource> source_;
    std::vector<std::string> events_;
};

TEST_F(DataSetTest, WindowFollowsMovesAndLinksSeeHowFarItScrolled) {
    RecordingLink link;
    link.SetBufferCount(3);
    link.SetDataSource(source_.get());
    ds_->Open();
    struct Step {
        const char* what;
        std::function<void(db::TDataSet&)> move;
        int rec_no, link_row;
        bool bof, eof;
        const char* told;
    };
    const Step steps[] = {
        {"next", [](db::TDataSet& d) { d.Next(); }, 2, 1, false, false, "scroll 0"},
        {"next", [](db::TDataSet& d) { d.Next(); }, 3, 2, false, false, "scroll 0"},
        {"next past the window", [](db::TDataSet& d) { d.Next(); }, 4, 2, false, false, "scroll 1"},
        {"three on", [](db::TDataSet& d) { d.MoveBy(3); }, 7, 2, false, false, "scroll 3"},
        {"prior", [](db::TDataSet& d) { d.Prior(); }, 6, 1, false, false, "scroll 0"},
        {"last", [](db::TDataSet& d) { d.Last(); }, 10, 2, false, true, "change"},
        {"next at the end", [](db::TDataSet& d) { d.Next(); }, 10, 2, false, true, "change"},
        {"far back", [](db::TDataSet& d) { d.MoveBy(-20); }, 1, 0, true, false, "scroll -7"},
        {"first", [](db::TDataSet& d) { d.First(); }, 1, 0, true, false, "change"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.move(*ds_);
        EXPECT_EQ(ds_->RecNo(), s.rec_no);
        EXPECT_EQ(ds_->Bof(), s.bof);
        EXPECT_EQ(ds_->Eof(), s.eof);
        EXPECT_EQ(link.ActiveRecord(), s.link_row);
        EXPECT_EQ(link.RecordCount(), 3);
        EXPECT_EQ(link.Last(), s.told);
    }
}

TEST_F(DataSetTest, LinksOfDifferentSizesEachKeepTheActiveRecordInView) {
    RecordingLink small, big;
    small.SetBufferCount(2);
    big.SetBufferCount(5);
    small.SetDataSource(source_.get());
    big.SetDataSource(source_.get());
    ds_->Open();
    for (int distance : {1, 3, 4, -2, -5, 6, -1}) {
        ds_->MoveBy(distance);
        for (RecordingLink* link : {&small, &big}) {
            ASSERT_GE(link->ActiveRecord(), 0);
            ASSERT_LT(link->ActiveRecord(), link->BufferCount());
            ASSERT_EQ(link->RecordCount(), link->BufferCount());
        }
    }
    // Dropping the big link shrinks the window to the small one's two buffers.
    big.SetDataSource(nullptr);
    const int at = ds_->RecNo();
    ds_->Next();
    EXPECT_EQ(ds_->RecNo(), at + 1);
    EXPECT_EQ(small.RecordCount(), 2);
}

TEST_F(DataSetTest, ResyncCentresTheRecordWhereTheRecordsAllow) {
    RecordingLink link;
    link.SetBufferCount(5);
    link.SetDataSource(source_.get());
    ds_->Open();
    const std::pair<int, int> cases[] = {{1, 0}, {2, 1}, {3, 2}, {8, 2}, {9, 3}, {10, 4}};
    for (auto [record, row] : cases) {
        SCOPED_TRACE(record);
        ds_->SetRecNo(record);
        EXPECT_EQ(ds_->RecNo(), record);
        EXPECT_EQ(link.ActiveRecord(), row);
        EXPECT_EQ(link.RecordCount(), 5);
    }
}

TEST_F(DataSetTest, EditingOperationsAndTheirEvents) {
    struct Case {
        const char* what;
        std::function<void(DataSetTest&, db::TDataSet&)> run;
        const char* names;
        int rec_no;
        const char* events;
    };
    const Case cases[] = {
        {"edit and post",
         [](DataSetTest& t, db::TDataSet& d) {
             d.MoveBy(2);
             d.Edit();
             t.Name()->SetAsString("X");
             d.Post();
         },
         "R1 R2 X R4 R5", 3, "BeforeEdit AfterEdit BeforePost AfterPost"},
        {"edit and cancel",
         [](DataSetTest& t, db::TDataSet& d) {
             d.Edit();
             t.Name()->SetAsString("X");
             d.Cancel();
         },
         "R1 R2 R3 R4 R5", 1, "BeforeEdit AfterEdit BeforeCancel AfterCancel"},
        {"insert before the third",
         [](DataSetTest& t, db::TDataSet& d) {
             d.MoveBy(2);
             d.Insert();
             t.Name()->SetAsString("N");
             d.Post();
         },
         "R1 R2 N R3 R4 R5", 3, "BeforeInsert AfterInsert BeforePost AfterPost"},
        {"append",
         [](DataSetTest& t, db::TDataSet& d) {
             d.Append();
             t.Name()->SetAsString("N");
             d.Post();
         },
         "R1 R2 R3 R4 R5 N", 6, "BeforeInsert AfterInsert BeforePost AfterPost"},
        {"a move cancels an untouched insert",
         [](DataSetTest&, db::TDataSet& d) {
             d.MoveBy(3);
             d.Insert();
             d.Next();
         },
         "R1 R2 R3 R4 R5", 5, "BeforeInsert AfterInsert BeforeCancel AfterCancel"},
        {"a move posts a changed edit",
         [](DataSetTest& t, db::TDataSet& d) {
             d.Last();
             d.Edit();
             t.Name()->SetAsString("Z");
             d.First();
         },
         "R1 R2 R3 R4 Z", 1, "BeforeEdit AfterEdit BeforePost AfterPost"},
        {"delete the last",
         [](DataSetTest&, db::TDataSet& d) {
             d.Last();
             d.Delete();
         },
         "R1 R2 R3 R4", 4, "BeforeDelete AfterDelete"},
        {"delete during an insert cancels it",
         [](DataSetTest&, db::TDataSet& d) {
             d.Insert();
             d.Delete();
         },
         "R1 R2 R3 R4 R5", 1, "BeforeInsert AfterInsert BeforeCancel AfterCancel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ds_->Close();
        ds_->rows.resize(5);
        for (int i = 0; i < 5; ++i) ds_->rows[static_cast<size_t>(i)] = {"R" + std::to_string(i + 1), int64_t{i + 1}};
        ds_->Open();
        events_.clear();
        c.run(*this, *ds_);
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(ds_->RecNo(), c.rec_no);
        EXPECT_EQ(ds_->State(), db::dsBrowse);
        EXPECT_EQ(Events(), c.events);
    }
}

TEST_F(DataSetTest, EditOfAnEmptyDatasetInsertsAndItsPostAppends) {
    ds_->rows.clear();
    ds_->Open();
    EXPECT_TRUE(ds_->IsEmpty());
    EXPECT_TRUE(ds_->Bof() && ds_->Eof());
    ds_->Edit();
    EXPECT_EQ(ds_->State(), db::dsInsert);
    Name()->SetAsString("only");
    ds_->Post();
    EXPECT_EQ(Names(), "only");
    EXPECT_FALSE(ds_->IsEmpty());
    EXPECT_THROW(ds_->UpdateRecord(), db::EDatabaseError);
}

TEST_F(DataSetTest, PostErrorEventsRetryAbortOrFail) {
    const std::pair<db::TDataAction, const char*> cases[] = {
        {db::daRetry, "posted"}, {db::daAbort, "aborted"}, {db::daFail, "failed"}};
    for (auto [action, outcome] : cases) {
        SCOPED_TRACE(outcome);
        ds_->Close();
        ds_->Open();
        ds_->failing_posts = 1;
        std::string seen;
        ds_->OnPostError = [&, action = action](db::TDataSet*, db::EDatabaseError& e, db::TDataAction& a) {
            seen = e.what();
            a = action;
        };
        ds_->Edit();
        Name()->SetAsString("P");
        std::string result = "posted";
        try {
            ds_->Post();
        } catch (const ui::EAbort&) {
            result = "aborted";
        } catch (const db::EDatabaseError&) {
            result = "failed";
        }
        EXPECT_EQ(result, outcome);
        EXPECT_EQ(seen, "Sales: Post refused");
        // A post that did not happen leaves the edit open.
        EXPECT_EQ(ds_->State(), action == db::daRetry ? db::dsBrowse : db::dsEdit);
        ds_->Cancel();
    }
}

TEST_F(DataSetTest, BookmarksBringTheRecordBack) {
    ds_->Open();
    EXPECT_EQ(ds_->GetBookmark().size(), 4u);
    ds_->MoveBy(3);
    const db::TBookmark fourth = ds_->GetBookmark();
    ds_->Last();
    const db::TBookmark last = ds_->GetBookmark();
    ds_->GotoBookmark(fourth);
    EXPECT_EQ(ds_->RecNo(), 4);
    EXPECT_EQ(ds_->CompareBookmarks(fourth, last), -1);
    EXPECT_EQ(ds_->CompareBookmarks(last, fourth), 1);
    ds_->Insert();
    EXPECT_TRUE(ds_->GetBookmark().empty());  // a record being inserted has none yet
    ds_->Cancel();
}

TEST_F(DataSetTest, CalculatedFieldsFollowTheRecordAndTheEdit) {
    auto* twice = new db::TIntegerField(ds_.get());
    twice->SetFieldName("TWICE");
    twice->SetFieldKind(db::fkCalculated);
    twice->SetDataSet(ds_.get());
    for (const char* name : {"NAME", "QTY"}) {
        db::TField* f = name[0] == 'N' ? static_cast<db::TField*>(new db::TStringField(ds_.get()))
                                       : new db::TIntegerField(ds_.get());
        f->SetFieldName(name);
        if (name[0] == 'N') f->SetSize(8);
        f->SetDataSet(ds_.get());
    }
    int calculations = 0;
    ds_->OnCalcFields = [&](db::TDataSet* d) {
        ++calculations;
        d->FieldByName("TWICE")->SetAsInteger(d->FieldByName("QTY")->AsInteger() * 2);
    };
    ds_->Open();
    EXPECT_FALSE(ds_->DefaultFields());
    for (int n = 1; n <= 3; ++n, ds_->Next()) EXPECT_EQ(twice->AsInteger(), 2 * n);
    ds_->Edit();
    ds_->FieldByName("QTY")->SetAsInteger(21);
    EXPECT_EQ(twice->AsInteger(), 42);
    EXPECT_TRUE(ds_->Modified());
    ds_->AutoCalcFields = false;
    ds_->FieldByName("QTY")->SetAsInteger(5);
    EXPECT_EQ(twice->AsInteger(), 42);
    ds_->Cancel();
    EXPECT_EQ(twice->AsInteger(), 8);
    EXPECT_GT(calculations, 0);
}

TEST_F(DataSetTest, DisabledControlsHearOneChangeWhenEnabledAgain) {
    RecordingLink link;
    link.SetDataSource(source_.get());
    ds_->Open();
    link.log.clear();
    ds_->DisableControls();
    ds_->DisableControls();
    ds_->Next();
    ds_->Last();
    ds_->EnableControls();
    EXPECT_TRUE(link.log.empty());
    ds_->EnableControls();
    EXPECT_EQ(link.log, std::vector<std::string>{"change"});
    // A state change made meanwhile is told as one too.
    link.log.clear();
    ds_->DisableControls();
    ds_->Edit();
    ds_->EnableControls();
    EXPECT_EQ(link.log, (std::vector<std::string>{"editing", "change"}));
}

TEST_F(DataSetTest, SourcesFanEventsOutToTheirLinks) {
    RecordingLink a, b, other;
    auto second = ui::Make<db::TDataSource>(nullptr);
    second->SetDataSet(ds_.get());
    a.SetDataSource(source_.get());
    b.SetDataSource(source_.get());
    other.SetDataSource(second.get());
    int data_changes = 0;
    source_->OnDataChange = [&](ui::TObject*, db::TField*) { ++data_changes; };
    ds_->Open();
    for (RecordingLink* l : {&a, &b, &other}) EXPECT_TRUE(l->Active());
    second->SetEnabled(false);
    EXPECT_FALSE(other.Active());
    ds_->Next();
    // One buffer each: every move scrolls the window by one.
    EXPECT_EQ(a.Last(), "scroll 1");
    EXPECT_EQ(b.Last(), "scroll 1");
    EXPECT_EQ(other.Last(), "inactive");
    EXPECT_EQ(data_changes, 1);
    // A link edits through its source; a read-only link does not.
    b.SetReadOnly(true);
    EXPECT_FALSE(b.Edit());
    EXPECT_EQ(ds_->State(), db::dsBrowse);
    EXPECT_TRUE(a.Edit());
    EXPECT_TRUE(a.Editing());
    EXPECT_FALSE(b.Editing());
    Name()->SetAsString("Y");
    EXPECT_EQ(a.Last(), "field NAME");
    // Posting asks the links for their pending edits first.
    a.on_update = [&] { Name()->SetAsString("by link"); };
    ds_->Post();
    EXPECT_EQ(std::get<std::string>(ds_->rows[1][0]), "by link");
    ds_->Close();
    EXPECT_FALSE(a.Active());
    // A source whose dataset goes lets go of it.
    ds_.reset();
    EXPECT_EQ(source_->DataSet(), nullptr);
}

TEST_F(DataSetTest, MemoFieldsGoThroughBlobStreams) {
    auto ds = ui::Make<VectorDataSet>(nullptr, std::vector<testing_db::Column>{{"NOTE", db::ftMemo, 0}});
    ds->rows.push_back({std::string("first note")});
    ds->Open();
    db::TField* note = ds->FieldByName("NOTE");
    EXPECT_TRUE(note->IsBlob());
    EXPECT_EQ(note->AsString(), "first note");
    EXPECT_EQ(note->DisplayText(), "(MEMO)");
    EXPECT_THROW(note->SetAsString("not editing"), db::EDatabaseError);
    ds->Edit();
    note->SetAsString(std::string(5000, 'x'));
    EXPECT_TRUE(ds->Modified());
    ds->Post();
    EXPECT_EQ(std::get<std::string>(ds->rows[0][0]).size(), 5000u);
}

}  // namespace

// A link's handler may throw when the dataset tells it of a move, also while
// the move's own failure is on its way: the caller gets the first failure,
// and nothing ends the program.
TEST_F(DataSetTest, AHandlerThatThrowsAfterAMoveReachesTheCaller) {
    struct ThrowingLink : db::TDataLink {
        bool armed = false;
        void Fail() const {
            if (armed) throw ui::EUiError("the handler failed");
        }
        void DataSetChanged() override { Fail(); }
        void DataSetScrolled(int) override { Fail(); }
    };
    struct Case {
        const char* what;
        int failing_reads;
        std::function<void(db::TDataSet&)> move;
        const char* error;
    };
    const Case cases[] = {
        {"MoveBy", 0, [](db::TDataSet& d) { d.MoveBy(6); }, "the handler failed"},
        {"First", 0, [](db::TDataSet& d) { d.First(); }, "the handler failed"},
        {"Last", 0, [](db::TDataSet& d) { d.Last(); }, "the handler failed"},
        {"Resync", 0, [](db::TDataSet& d) { d.Resync(0); }, "the handler failed"},
        {"MoveBy, its read failing", 1, [](db::TDataSet& d) { d.MoveBy(6); }, "Sales: The read failed"},
        {"Last, its read failing", 1, [](db::TDataSet& d) { d.Last(); }, "Sales: The read failed"},
    };
    for (const Case& c : cases) {
        ds_->Close();
        ds_->Open();
        ThrowingLink link;
        link.SetBufferCount(3);
        link.SetDataSource(source_.get());
        link.armed = true;
        ds_->failing_reads = c.failing_reads;
        try {
            c.move(*ds_);
            ADD_FAILURE() << c.what << ": nothing thrown";
        } catch (const platform::Error& e) {
            EXPECT_EQ(std::string(e.what()), c.error) << c.what;
        }
        ds_->failing_reads = 0;
        link.armed = false;
        link.SetDataSource(nullptr);
    }
}
