// The key floor: with a filter on the date, every order of the index walks
// the same records with the floor as without it; the floor follows keys as
// they change; without the filter it shows what it passes over.
#include <string>

#include "engine/dbf/locks.hpp"
#include "tests/engine/index/index_fixture.hpp"

namespace testing_support {
namespace {

using namespace zurod;
using Records = std::vector<int32_t>;

// Dates out of record order, repeated dates, a blank date and deleted records (4, 9).
const std::vector<Line> kLines = {
    {"03/15/2001", "Miller", 12.5},     {"01/01/1999", "Adams", -3},    {"", "Baker", 0},
    {"07/04/2020", "Adams", 100, true}, {"03/15/2001", "Zimmer", -3},   {"12/31/1999", "Miller", 7.25},
    {"02/29/2000", "Baker", 12.5},      {"01/01/1999", "Ortiz", -0.01}, {"05/05/2005", "Ortiz", 8, true},
    {"06/30/2003", "Adams", 1},         {"01/02/1999", "Zimmer", 2},    {"11/11/2011", "Baker", 3},
};

class KeyFloorTest : public IndexTest {
protected:
    void OpenIndexed(bool exclusive = true) {
        const std::string path = OpenHistory(kLines);
        ASSERT_TRUE(Build({{"DATES", "DTOS(DATE)+STR(RECNO())", "", false, false},
                           {"BYNAME", "NAME+DTOS(DATE)", "", false, false},
                           {"RECORDS", "RECNO()", "", false, false},
                           {"AMOUNTS", "AMOUNT", "", true, false},
                           {"POSITIVE", "AMOUNT", "AMOUNT > 0", false, false},
                           {"DAYS", "DTOS(DATE)", "", false, true},
                           {"LATEST", "DTOS(DATE)", "", true, false}}))
            << LastErrorMessage();
        if (exclusive) return;
        CloseArea();
        USE(path);
        ASSERT_TRUE(SetIndexTo(""));
    }
    static std::string Filter(const std::string& from) { return "DTOS(DATE) >= \"" + from + "\""; }
};

TEST_F(KeyFloorTest, EveryOrderWalksTheSameRecordsWithTheFloorAsWithoutIt) {
    struct Case {
        bool exclusive;
        bool hide_deleted;
    };
    for (const Case c : {Case{true, false}, Case{true, true}, Case{false, true}}) {
        OpenIndexed(c.exclusive);
        SetIgnoreDel(c.hide_deleted);
        for (const char* order : {"DATES", "BYNAME", "RECORDS", "AMOUNTS"}) {
            ASSERT_TRUE(SetOrderToTag(order));
            // Before every date, an absent one, a present one, the last one, after every date.
            for (const char* from : {"19000101", "19990102", "20010315", "20111111", "20300101", "2001"}) {
                SCOPED_TRACE(std::string(order) + " from " + from + (c.exclusive ? "" : ", shared") +
                             (c.hide_deleted ? ", deleted hidden" : ""));
                ClearKeyFloor();
                Set_Filter_To(Filter(from));
                const Records forward = Forward(), backward = Backward();
                EXPECT_EQ(forward, backward);
                ASSERT_TRUE(SetKeyFloor("dates", from)) << LastErrorMessage();
                EXPECT_EQ(Forward(), forward);
                EXPECT_EQ(Backward(), backward);
                // Steps from a record in the middle, both ways.
                if (forward.size() < 3) continue;
                GO(forward[1]);
                SKIP(-1);
                EXPECT_EQ(RecNo(), forward[0]);
                SKIP(-1);
                EXPECT_TRUE(dBOF());
                EXPECT_EQ(RecNo(), forward[0]);
                GO(forward[forward.size() - 2]);
                SKIP(1);
                EXPECT_EQ(RecNo(), forward.back());
                SKIP(1);
                EXPECT_TRUE(dEOF());
            }
        }
        Set_Filter_To("");
        ClearKeyFloor();
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        CloseArea();
    }
}

TEST_F(KeyFloorTest, TheFloorFollowsKeysAsTheyChange) {
    OpenIndexed();
    ASSERT_TRUE(SetOrderToTag("BYNAME"));
    Set_Filter_To(Filter("20000101"));
    ASSERT_TRUE(SetKeyFloor("DATES", "20000101"));
    const Records before = Forward();
    struct Step {
        const char* what;
        int32_t record;  // 0: a new record
        std::string date;
    };
    const Step steps[] = {
        {"a record below the floor moved above it", 2, "06/06/2006"},
        {"a record above the floor moved below it", 1, "06/06/1966"},
        {"a record appended above the floor", 0, "07/07/2007"},
        {"a record appended below the floor", 0, "07/07/1977"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.record == 0) {
            Add({s.date, "Quinn", 1});
        } else {
            GO(s.record);
            PutFieldString(1, s.date);
            Replace();
        }
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        const Records with_floor = Forward(), back_with_floor = Backward();
        ClearKeyFloor();
        EXPECT_EQ(with_floor, Forward());
        EXPECT_EQ(back_with_floor, Backward());
        ASSERT_TRUE(SetKeyFloor("DATES", "20000101"));
    }
    EXPECT_NE(Forward(), before);
}

TEST_F(KeyFloorTest, WithoutAFilterTheOrdersPassOverTheRecordsBelowTheFloor) {
    OpenIndexed();
    ASSERT_TRUE(SetKeyFloor("DATES", "20030630"));
    struct Case {
        const char* order;
        Records shown;
    };
    // Records 4 (deleted, shown), 9, 10 and 12 are at or above the floor; a blank date is blanks, below it.
    const Case cases[] = {
        {"DATES", {10, 9, 12, 4}},
        {"BYNAME", {10, 4, 12, 9}},
        {"RECORDS", {4, 9, 10, 12}},
        {"AMOUNTS", {4, 9, 12, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        ASSERT_TRUE(SetOrderToTag(c.order));
        EXPECT_EQ(Forward(), c.shown);
        EXPECT_EQ(Backward(), c.shown);
    }
    // Natural order reads every record.
    Set_Order_To(0);
    EXPECT_EQ(Forward().size(), kLines.size());
    ClearKeyFloor();
    ASSERT_TRUE(SetOrderToTag("RECORDS"));
    EXPECT_EQ(Forward().size(), kLines.size()) << "cleared";
}

// While the table is shared another user may move a key over the floor, so
// what the floor learnt before is not trusted once the table is held again.
TEST_F(KeyFloorTest, WhatTheFloorLearntIsForgottenWhenTheTableWasShared) {
    OpenIndexed(false);
    const std::string path = dir_ / "history.dbf";
    ASSERT_EQ(ReopenTable(true), 0);
    ASSERT_TRUE(SetOrderToTag("BYNAME"));
    ASSERT_TRUE(SetKeyFloor("DATES", "20030630"));
    ASSERT_EQ(Forward(), (Records{10, 4, 12, 9}));
    ASSERT_EQ(ReopenTable(false), 0);
    const uint8_t own = CurrentArea();
    Select(own + 1);
    USE(path + " ALIAS OTHER");  // another user of the table
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    ASSERT_TRUE(SetIndexTo("")) << LastErrorMessage();
    GO(2);  // 01/01/1999, Adams
    ASSERT_TRUE(RLock());
    PutFieldString(1, "06/06/2006");
    Replace();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    CloseArea();
    Select(own);
    ASSERT_EQ(ReopenTable(true), 0);
    ASSERT_TRUE(SetOrderToTag("BYNAME"));
    EXPECT_EQ(Forward(), (Records{10, 2, 4, 12, 9}));
}

TEST_F(KeyFloorTest, RefusalsKeepTheFloorThereWas) {
    OpenIndexed();
    ASSERT_TRUE(SetOrderToTag("RECORDS"));
    ASSERT_TRUE(SetKeyFloor("DATES", "20030630"));
    struct Case {
        const char* tag;
        const char* message;
    };
    const Case cases[] = {
        {"NOSUCH", "Tag not found: NOSUCH. [SetKeyFloor(NOSUCH)] (DBF="},
        {"DAT", "Tag not found: DAT. [SetKeyFloor(DAT)] (DBF="},  // no name is cut short
        {"positive", "A tag with a FOR condition cannot hold a key floor. [SetKeyFloor(positive)]"},
        {"DAYS", "A unique or descending tag cannot hold a key floor. [SetKeyFloor(DAYS)]"},
        {"LATEST", "A unique or descending tag cannot hold a key floor. [SetKeyFloor(LATEST)]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        EXPECT_THROW(SetKeyFloor(c.tag, "2000"), EZurodError);
        EXPECT_EQ(LastErrorCode(), 220);
        EXPECT_EQ(LastErrorMessage().rfind(c.message, 0), 0u) << LastErrorMessage();
        EXPECT_EQ(Forward(), (Records{4, 9, 10, 12}));
    }
    CloseIndex();
    EXPECT_THROW(SetKeyFloor("DATES", "2000"), EZurodError);
    EXPECT_EQ(LastErrorCode(), 221);
}

}  // namespace
}  // namespace testing_support
