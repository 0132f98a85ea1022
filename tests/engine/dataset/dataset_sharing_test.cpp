// Datasets of two processes on one shared table: an edit posted over a
// record another process changed or deleted meanwhile is refused, so that
// increments from both are all there and a deleted record stays deleted.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "tests/engine/dataset/dataset_fixture.hpp"
#include "tests/support/child_process.hpp"

namespace {

using namespace zurod;
using testing_dataset::DatasetTest;
using testing_support::ChildProcess;

constexpr int kIncrements = 150;

class DatasetSharing : public DatasetTest {
protected:
    // The counter table: one record, AMOUNT 0, made and closed.
    std::string CounterTable() {
        TTzDbf* ds = History("counter.dbf");
        ds->Open();
        Add(*ds, {{"counter", 0}});
        ds->Close();
        return ds->DbfFileName();
    }
    // The same table opened shared in this process.
    TTzDbf* Shared(const std::string& path) {
        auto* ds = Make<TTzDbf>("Counter", testing_dataset::kHistoryFields, "");
        ds->SetDbfFileName(path);
        ds->SetExclusive(false);
        // A lock another process holds is waited for again.
        ds->OnRLockFailedOnPost = [](ui::TObject*, bool& retry) { retry = true; };
        ds->Open();
        return ds;
    }
};

// One increment of AMOUNT, as a program does it; false when it was refused
// and is to be tried again, with `failure` set when it failed otherwise.
using Increment = std::function<bool(TTzDbf&, std::string& failure)>;

bool ThroughEditAndPost(TTzDbf& ds, std::string& failure) {
    try {
        ds.Edit();
        db::TField* amount = ds.FieldByName("AMOUNT");
        amount->SetAsFloat(amount->AsFloat() + 1);
        ds.Post();
        return true;
    } catch (const std::exception& e) {
        const std::string what = e.what();
        if (what.find("1203") == std::string::npos && what.find("changed elsewhere") == std::string::npos)
            failure = what;
        ds.Cancel();
        return false;
    }
}

bool ThroughLockAndReplace(TTzDbf& ds, std::string& failure) {
    if (!ds.RLock()) return false;
    ds.Skip(0);
    ds.FieldPutFloat("AMOUNT", ds.FieldGetFloat("AMOUNT") + 1);
    ds.ReplaceRec();
    if (LastErrorCode() != 0) failure = LastErrorMessage();
    ds.UnLock();
    return true;
}

TEST_F(DatasetSharing, IncrementsFromTwoProcessesAreAllThere) {
    struct Case {
        const char* how;
        Increment increment;
    };
    const Case cases[] = {
        {"Edit and Post", ThroughEditAndPost},
        {"RLock, Skip(0), FieldPut and ReplaceRec", ThroughLockAndReplace},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        const std::string path = CounterTable();
        const std::vector<std::string> results = testing_support::RunTogether(2, [&](int) -> std::string {
            TTzDbf* ds = Shared(path);
            for (int i = 0; i < kIncrements; ++i) {
                std::string failure;
                for (int tries = 0; !c.increment(*ds, failure); ++tries)
                    if (tries > 100000 || !failure.empty()) return "increment " + std::to_string(i) + ": " + failure;
                if (!failure.empty()) return "increment " + std::to_string(i) + ": " + failure;
            }
            ds->Close();
            return "done";
        });
        EXPECT_EQ(results, (std::vector<std::string>{"done", "done"}));
        TTzDbf* ds = Shared(path);
        EXPECT_EQ(ds->FieldGetFloat("AMOUNT"), 2.0 * kIncrements);
        ds->Close();
        std::remove(path.c_str());
    }
}

// Another process deletes the record while an edit of it is open here: the
// post is refused and the record stays deleted.
TEST_F(DatasetSharing, APostNeverBringsBackARecordDeletedMeanwhile) {
    const std::string path = CounterTable();
    ChildProcess other([&](const ChildProcess::Channel& ch) {
        ch.Receive();
        USE(path);
        GO(1);
        const bool deleted = RLock() && (DeleteRec(), LastErrorCode() == 0);
        Unlock();
        CloseArea();
        ch.Send(deleted ? "deleted" : "failed " + LastErrorMessage());
    });
    TTzDbf* ds = Shared(path);
    ds->Edit();
    ds->FieldByName("DETAIL")->SetAsString("edited here");
    other.Send("go");
    ASSERT_EQ(other.Receive(), "deleted");
    EXPECT_EQ(other.Wait(), 0);
    try {
        ds->Post();
        ADD_FAILURE() << "the post went through";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("changed elsewhere"), std::string::npos) << e.what();
    }
    ds->Cancel();
    Select(ds->WorkArea());
    GO(1);
    EXPECT_TRUE(Deleted());
    EXPECT_EQ(TzAllTrim(GetFieldString(2)), "counter");
    ds->Close();
}

}  // namespace
