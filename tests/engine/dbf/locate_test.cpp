#include "engine/dbf/locate.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/vfile/vfile.hpp"
#include "tests/support/engine_fixture.hpp"
#include "tests/support/fake_units.hpp"
#include "tests/support/files.hpp"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using namespace zurod;
using namespace testing_support;

struct Person {
    std::string name;
    std::string city;
    double amount = 0;
    int64_t qty = 0;
    std::string born;  // YYYYMMDD
    bool ok = false;
    bool deleted = false;
};

const std::vector<Person> kPeople = {
    {"SMITHSON", "London", 10.0, 1, "19800101", true}, {"JONES", "Paris", 12.5, 7, "19900115", false},
    {"SMITH", "Rome", 12.5, 3, "20010203", true},      {"M\xFCller", "Berlin", 5.25, 2, "19751224", true},
    {"SMALL", "Oslo", 1.0, 10, "20200229", true},
};

// Appends a record through the swap buffer of the current area.
void AddPerson(const Person& p) {
    TWorkArea& a = *CurrentTable();
    ClearRecord();
    SetSwapString(a, a.fields[0], p.name);
    SetSwapString(a, a.fields[1], p.city);
    SetSwapNumber(a, a.fields[2], p.amount);
    SetSwapInteger(a, a.fields[3], p.qty);
    SetSwapString(a, a.fields[4], StoredToDate(p.born));
    SetSwapLogical(a, a.fields[5], p.ok);
    SetSwapDeleted(a, p.deleted);
    Append();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

class LocateTest : public testing_support::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ResetLocateState();
        SetDateFormat(0);
        SetCentury(true);
    }
    void TearDown() override {
        EngineTest::TearDown();
        ResetLocateState();
    }

    // PEOPLE (NAME C 10, CITY C 12, AMOUNT N 8 2, QTY N 5 0, BORN D, OK L)
    // open exclusively in area 1, standing on its first record.
    std::string OpenPeople(const std::vector<Person>& rows = kPeople, const std::string& file = "PEOPLE.DBF") {
        const std::string path = CreateTable(file,
                                             {{"NAME", 'C', 10, 0},
                                              {"CITY", 'C', 12, 0},
                                              {"AMOUNT", 'N', 8, 2},
                                              {"QTY", 'N', 5, 0},
                                              {"BORN", 'D', 8, 0},
                                              {"OK", 'L', 1, 0}});
        Select(1);
        USE(path + " EXCLUSIVE");
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        for (const Person& p : rows) AddPerson(p);
        GoTop();
        return path;
    }

    // A virtual file LIST (NAME C 10, AMOUNT N 8 2) in area 2 with the rows.
    void OpenVirtualList(const std::vector<std::pair<std::string, double>>& rows) {
        VFileInit();
        Select(2);
        USE("LIST VIRTUAL FILE", vbuffer_);
        std::vector<FieldDef> fields = {{"NAME", 'C', 10, 0}, {"AMOUNT", 'N', 8, 2}};
        AddStru(fields);
        ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        TWorkArea& a = *CurrentTable();
        for (const auto& [name, amount] : rows) {
            ClearRecord();
            SetSwapString(a, a.fields[0], name);
            SetSwapNumber(a, a.fields[1], amount);
            Append();
        }
        GoTop();
    }

    std::vector<char> vbuffer_ = std::vector<char>(64);
};

TEST_F(LocateTest, FieldSpecsCarryKeywordsAndMustNameAField) {
    OpenPeople();
    EXPECT_EQ(ParseLocateField(" city nocase contained "), 2);
    EXPECT_EQ(LastErrorCode(), 0);

    EXPECT_EQ(ParseLocateField("  "), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "No field name specified [Locate/Count/Sum]");

    EXPECT_EQ(ParseLocateField("nope exact"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Unrecognized field name [Locate/Count/Sum(nope exact)]");

    SetLastErrorCode(0);
    EXPECT_FALSE(Locate("NOPE", std::string("x")));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Unrecognized field name [Locate/Count/Sum(NOPE)]");

    // Only the text before the first blank names the field.
    SetLastErrorCode(0);
    EXPECT_TRUE(Locate("name whatever", std::string("JONES")));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_FALSE(Locate("   ", std::string("JONES")));
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, TextMatchesByPrefixAndContinueWalksToTheEnd) {
    OpenPeople();
    EXPECT_TRUE(Locate("NAME", std::string("SM")));
    EXPECT_EQ(RecNo(), 1);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 5);
    EXPECT_FALSE(Continue());
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 6);
    EXPECT_EQ(LastErrorCode(), 0);

    // The unsuccessful scan forgot the field.
    EXPECT_FALSE(Continue());
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
}

TEST_F(LocateTest, ContinueWithoutLocateIsRefused) {
    OpenPeople();
    GO(2);
    EXPECT_FALSE(Continue());
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
    EXPECT_EQ(RecNo(), 2);
}

TEST_F(LocateTest, ExactIgnoresTrailingBlanksOnBothSides) {
    OpenPeople();
    EXPECT_TRUE(Locate("NAME", std::string("SMITH"), false, true));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Locate("NAME", std::string("SMITH   "), false, true));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_FALSE(Continue());

    EXPECT_FALSE(Locate("NAME", std::string("SMIT"), false, true));
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(Locate("NAME", std::string("smith"), true, true));
    EXPECT_EQ(RecNo(), 3);
}

TEST_F(LocateTest, NocaseFoldsCaseInTheTablesCodePage) {
    for (const bool ansi : {false, true}) {
        SCOPED_TRACE(ansi ? "ANSI table" : "OEM table");
        Settings().ansi = ansi;
        OpenPeople(kPeople, ansi ? "ANSI.DBF" : "OEM.DBF");
        std::string stored;
        Peek(1, 4, stored);
        EXPECT_EQ(stored, ansi ? "M\xFCller    " : "M\x81ller    ");

        EXPECT_TRUE(Locate("NAME", std::string("m\xFCLLER"), true));
        EXPECT_EQ(RecNo(), 4);
        EXPECT_TRUE(Locate("NAME", std::string("M\xDCLLER"), true, true));
        EXPECT_EQ(RecNo(), 4);
        EXPECT_TRUE(Locate("NAME", std::string("M\xFCller")));
        EXPECT_EQ(RecNo(), 4);
        EXPECT_FALSE(Locate("NAME", std::string("M\xDCller")));
        EXPECT_EQ(LastErrorCode(), 0);
        CloseArea();
    }
}

TEST_F(LocateTest, NumbersDatesAndLogicalsCompareInTheirStoredForm) {
    OpenPeople();
    EXPECT_TRUE(Locate("AMOUNT", 12.5));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Locate("AMOUNT", std::string("5.25")));
    EXPECT_EQ(RecNo(), 4);
    EXPECT_TRUE(Locate("QTY", int64_t{10}));
    EXPECT_EQ(RecNo(), 5);
    EXPECT_FALSE(Locate("QTY", int64_t{4}));

    EXPECT_TRUE(Locate("BORN", std::string("01/15/1990")));
    EXPECT_EQ(RecNo(), 2);
    SetDateFormat(4);  // German: the value is read in the format in force
    EXPECT_TRUE(Locate("BORN", std::string("29.02.2020")));
    EXPECT_EQ(RecNo(), 5);

    EXPECT_TRUE(Locate("OK", false));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_TRUE(Locate("OK", true));
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, MatchesThatAreHiddenDoNotCount) {
    std::vector<Person> rows = kPeople;
    rows[0].deleted = true;  // SMITHSON
    OpenPeople(rows);
    SetIgnoreDel(true);
    EXPECT_TRUE(Locate("NAME", std::string("SM")));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_FALSE(Locate("NAME", std::string("SMITHSON")));
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(LastErrorCode(), 0);

    SetIgnoreDel(false);
    EXPECT_TRUE(Locate("NAME", std::string("SM")));
    EXPECT_EQ(RecNo(), 1);
}

TEST_F(LocateTest, NothingVisibleIsAQuietMiss) {
    std::vector<Person> rows = kPeople;
    for (Person& p : rows) p.deleted = true;
    OpenPeople(rows);
    SetIgnoreDel(true);
    EXPECT_FALSE(Locate("NAME", std::string("SM")));
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_TRUE(dEOF());
    EXPECT_FALSE(Locate("NAME", std::string("NOBODY")));
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

TEST_F(LocateTest, SwitchesOfTheLastFieldSpecStayInForce) {
    OpenPeople();
    EXPECT_TRUE(Locate("NAME", std::string("S")));
    EXPECT_EQ(RecNo(), 1);
    // The switches are process-wide: a CONTAINED spec turns the remembered
    // prefix search into a search anywhere in the field.
    EXPECT_EQ(ParseLocateField("NAME CONTAINED"), 1);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 2);  // JONES
}

TEST_F(LocateTest, LocateFieldsTriesEachNameInTurn) {
    OpenPeople();
    const std::vector<LocateValue> paris_or_small = {std::string("Paris"), std::string("SMALL")};
    EXPECT_TRUE(LocateFields("CITY;NAME", paris_or_small, false, false, true));
    EXPECT_EQ(RecNo(), 2);

    const std::vector<LocateValue> oslo_city_or_small = {std::string("Nowhere"), std::string("SMALL")};
    EXPECT_TRUE(LocateFields("CITY;NAME", oslo_city_or_small, false, false, true));
    EXPECT_EQ(RecNo(), 5);

    GO(3);
    EXPECT_TRUE(LocateFields("CITY;NAME", oslo_city_or_small, false, false, false));
    EXPECT_EQ(RecNo(), 3);

    const std::vector<LocateValue> neither = {std::string("Nowhere"), std::string("NOBODY")};
    EXPECT_FALSE(LocateFields("CITY;NAME", neither, false, false, true));
    EXPECT_EQ(RecNo(), 3);

    const std::vector<LocateValue> jones = {std::string("jones")};
    EXPECT_TRUE(LocateFields("NAME", jones, true, false, true));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, MemoFieldsMatchAnyLineOfTheirText) {
    std::map<int32_t, std::vector<std::string>> memos = {
        {5, {"first line", "Payment overdue"}},
        {9, {"nothing here", "M\xFCller paid"}},
    };
    AttachMemo<FunctionMemo>().read_lines = [&](TWorkArea&, int32_t block) { return memos[block]; };

    const std::string path = CreateTable("NOTES.DBF", {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}});
    USE(path + " EXCLUSIVE");
    TWorkArea& a = *CurrentTable();
    for (const int32_t block : {0, 5, 9}) {
        ClearRecord();
        SetSwapString(a, a.fields[0], "R" + std::to_string(block));
        SetSwapMemo(a, a.fields[1], block);
        Append();
    }
    EXPECT_TRUE(Locate("NOTES", std::string("overdue"), true));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_FALSE(Locate("NOTES", std::string("OVERDUE")));
    EXPECT_TRUE(Locate("NOTES", std::string("m\xDCLLER"), true));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Locate("NOTES", std::string("line")));
    EXPECT_EQ(RecNo(), 2);
    EXPECT_EQ(LastErrorCode(), 0);

    Engine().attachments.memo.reset();
    EXPECT_FALSE(Locate("NOTES", std::string("line")));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "MEMO unit not linked in [Count/Sum/Continue]");
}

// Records of exactly 1 KiB: the scans read 1024 of them a block, so
// records 1024 and 1025 lie on both sides of the first block end.
class LongRecordTest : public LocateTest {
protected:
    void SetUp() override {
        LocateTest::SetUp();
        const std::string path = CreateTable(
            "LONG.DBF",
            {{"A", 'C', 255, 0}, {"B", 'C', 255, 0}, {"C", 'C', 255, 0}, {"D", 'C', 254, 0}, {"TAG", 'C', 4, 0}});
        USE(path + " EXCLUSIVE");
        TWorkArea& a = *CurrentTable();
        ASSERT_EQ(a.record_length, 1024);
        for (int r = 1; r <= 1030; ++r) {
            ClearRecord();
            SetSwapString(a, a.fields[0], "row " + std::to_string(r));
            if (r == 3) {
                // "EDGE" across the end of B and the start of C is no match.
                SetSwapString(a, a.fields[1], std::string(253, '.') + "ED");
                SetSwapString(a, a.fields[2], "GE");
            }
            SetSwapString(a, a.fields[4], r == 1024 || r == 1025 ? "EDGE" : "none");
            Append();
        }
        ASSERT_EQ(LastErrorCode(), 0);
        GoTop();
    }
};

TEST_F(LongRecordTest, LocateFindsMatchesOnBothSidesOfABlockEnd) {
    EXPECT_TRUE(Locate("TAG", std::string("EDGE")));
    EXPECT_EQ(RecNo(), 1024);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 1025);
    EXPECT_FALSE(Continue());
    EXPECT_TRUE(Locate("A", std::string("row 1030"), false, true));
    EXPECT_EQ(RecNo(), 1030);
}

TEST_F(LongRecordTest, SearchFindsMatchesOnBothSidesOfABlockEnd) {
    uint8_t field = 0;
    Search("edge", field, true);
    EXPECT_EQ(RecNo(), 1024);
    EXPECT_EQ(field, 5);
    field = 0;
    Search("edge", field, false);
    EXPECT_EQ(RecNo(), 1025);
    EXPECT_EQ(field, 5);
    field = 0;
    Search("edge", field, false);
    EXPECT_EQ(field, 0);
    EXPECT_EQ(RecNo(), 1025);
    field = 0;
    Search("ROW 1030", field, false);
    EXPECT_EQ(RecNo(), 1030);
    EXPECT_EQ(field, 1);
}

TEST_F(LocateTest, VirtualFilesAreScannedThroughTheirStore) {
    OpenVirtualList({{"PEAR", 2.5}, {"APPLE", 1.25}, {"PLUM", 2.5}});
    EXPECT_TRUE(Locate("NAME", std::string("PL")));
    EXPECT_EQ(RecNo(), 3);
    EXPECT_TRUE(Locate("AMOUNT", 2.5));
    EXPECT_EQ(RecNo(), 1);
    EXPECT_TRUE(Continue());
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(FieldText(1), "PLUM");
    EXPECT_FALSE(Locate("NAME", std::string("KIWI")));
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, SumAddsEveryRecordUnlessSomeAreHidden) {
    std::vector<Person> rows = kPeople;
    rows[1].deleted = true;  // JONES: 12.50, 7
    OpenPeople(rows);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 41.25);
    EXPECT_DOUBLE_EQ(Sum("qty"), 23);
    GO(3);
    SetIgnoreDel(true);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 28.75);
    EXPECT_DOUBLE_EQ(Sum("QTY"), 16);
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, SumAtEndOfFileStaysThere) {
    OpenPeople();
    for (const bool ignore : {false, true}) {
        SetIgnoreDel(ignore);
        GoBottom();
        SKIP(1);
        ASSERT_TRUE(dEOF());
        EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 41.25);
        EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
        EXPECT_TRUE(dEOF());
        EXPECT_EQ(RecNo(), 6);
    }

    OpenVirtualList({{"PEAR", 2.5}, {"APPLE", 1.25}});
    GoBottom();
    SKIP(1);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 3.75);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(RecNo(), 3);

    // A deleted virtual record counts only while the switch shows it.
    GO(1);
    DeleteRec();
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 3.75);
    SetIgnoreDel(true);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 1.25);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

TEST_F(LocateTest, SumRefusesWhatIsNoNumericField) {
    OpenPeople();
    EXPECT_EQ(Sum("NAME"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Cannot sum non-numeric data [SUM(NAME)]");
    EXPECT_EQ(Sum("AMOUNT*QTY"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Unrecognized field name [Locate/Count/Sum(AMOUNT*QTY)]");
    EXPECT_EQ(Sum(""), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "No field name specified [Locate/Count/Sum]");
}

TEST_F(LocateTest, SumTakesANumericExpressionOnceTheExpressionUnitIsAttached) {
    std::vector<Person> rows = kPeople;
    rows[4].deleted = true;  // SMALL: 1.00 * 10
    OpenPeople(rows);
    // A stand-in for the expression unit that knows one numeric expression.
    int compiled = 0;
    FunctionExpressions& hook = AttachExpressions<FunctionExpressions>();
    hook.compile = [&](const std::string& text) -> std::unique_ptr<ExpressionHandle> {
        ++compiled;
        if (text != "AMOUNT*QTY") return nullptr;
        return std::make_unique<FakeProgram>();
    };
    // Like the language, it reads the fields from the record buffer, which a
    // sum fills with records it never converts.
    hook.evaluate_number = [](ExpressionHandle&) {
        const TWorkArea& a = *CurrentTable();
        auto raw = [&](const FieldInfo& f) { return std::string_view(a.record.data() + f.offset, f.length); };
        return StoredReal(raw(a.fields[2])) * static_cast<double>(StoredInteger(raw(a.fields[3])));
    };

    GO(2);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT*QTY"), 10 + 87.5 + 37.5 + 10.5 + 10);
    EXPECT_EQ(RecNo(), 2);
    SetIgnoreDel(true);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT*QTY"), 10 + 87.5 + 37.5 + 10.5);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(compiled, 2);
    EXPECT_EQ(hook.released, 2);

    // Field names still go to the field; a bad expression reports its error.
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 40.25);
    EXPECT_EQ(compiled, 2);
    EXPECT_EQ(Sum("AMOUNT*"), 0);
    EXPECT_EQ(LastErrorCode(), 351);
}

TEST_F(LocateTest, SearchFindsTextInAnyCaseAndNamesTheField) {
    OpenPeople();
    uint8_t field = 0;
    Search("on", field, true);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(field, 1);  // SMITHSON comes before London

    field = 2;
    Search("on", field, true);
    EXPECT_EQ(RecNo(), 1);
    EXPECT_EQ(field, 2);

    field = 0;
    Search("ON", field, false);
    EXPECT_EQ(RecNo(), 2);  // JONES
    EXPECT_EQ(field, 1);

    field = 0;
    Search("m\xFCLLER  ", field, true);
    EXPECT_EQ(RecNo(), 4);
    EXPECT_EQ(field, 1);

    field = 200;  // beyond the field count: any field
    Search("oslo", field, true);
    EXPECT_EQ(RecNo(), 5);
    EXPECT_EQ(field, 2);
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, SearchThatFindsNothingLeavesTheArea) {
    std::vector<Person> rows = kPeople;
    rows[1].deleted = true;
    OpenPeople(rows);
    SetIgnoreDel(true);
    GO(3);
    uint8_t field = 0;
    Search("jones", field, true);  // only in a hidden record
    EXPECT_EQ(field, 0);
    EXPECT_EQ(RecNo(), 3);

    Search("   ", field, true);
    EXPECT_EQ(field, 0);
    EXPECT_EQ(RecNo(), 3);

    GoBottom();
    SKIP(1);
    Search("jones", field, true);
    EXPECT_EQ(field, 0);
    EXPECT_TRUE(dEOF());
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, PeekReadsStoredBytesWithoutMoving) {
    std::vector<Person> rows = kPeople;
    rows[2].deleted = true;
    OpenPeople(rows);
    GO(2);
    std::string text = "unchanged";
    Peek(2, 1, text);
    EXPECT_EQ(text, "London      ");
    Peek(3, 4, text);
    EXPECT_EQ(text, "    5.25");
    Peek(5, 5, text);
    EXPECT_EQ(text, "20200229");
    Peek(0, 3, text);
    EXPECT_EQ(text, "*");
    Peek(0, 2, text);
    EXPECT_EQ(text, " ");
    EXPECT_EQ(RecNo(), 2);

    text = "unchanged";
    Peek(7, 1, text);
    Peek(1, 0, text);
    Peek(1, 6, text);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(LastErrorCode(), 0);
}

TEST_F(LocateTest, PokeWritesTheFieldInTheTablesCodePageAndNothingElse) {
    const std::string path = OpenPeople();
    const std::string before = ReadFileBytes(path);
    TWorkArea& a = *CurrentTable();
    const size_t record2 = a.header_length + a.record_length;

    Poke("M\xDCLLER", 1, 2);
    Poke("ABCDEFGHIJKLMNOP", 2, 2);  // cut to the field
    Poke("*", 0, 2);
    EXPECT_EQ(LastErrorCode(), 0);
    Poke("never", 1, 6);
    Poke("never", 9, 1);
    EXPECT_EQ(LastErrorCode(), 0);

    std::string expected = before;
    expected.replace(record2, 23, "*M\x9ALLER    ABCDEFGHIJKL");
    EXPECT_EQ(ReadFileBytes(path), expected);
    std::string text;
    Peek(1, 2, text);
    EXPECT_EQ(text, "M\x9ALLER    ");
}

TEST_F(LocateTest, PokeOnASharedTableNeedsTheRecordLock) {
    OpenPeople();
    const std::string path = CurrentTable()->file_name;
    CloseArea();
    USE(path);
    ASSERT_FALSE(CurrentTable()->exclusive);

    Poke("X", 1, 2);
    EXPECT_EQ(LastErrorCode(), 1200);
    EXPECT_EQ(LastErrorMessage(), "Record not locked [Poke(X,1,2)]");
    const std::string long_text(150, 'L');
    Poke(long_text, 1, 2);
    EXPECT_EQ(LastErrorMessage(), "Record not locked " + ("[Poke(" + long_text).substr(0, 100));

    GO(2);
    ASSERT_TRUE(RLock());
    SetLastErrorCode(0);
    Poke("X", 1, 2);
    EXPECT_EQ(LastErrorCode(), 0);
    std::string text;
    Peek(1, 2, text);
    EXPECT_EQ(text, "XONES     ");
    Unlock();

    ASSERT_TRUE(ALock());
    Poke("Y", 1, 2);
    EXPECT_EQ(LastErrorCode(), 1200);
    Unlock();
}

TEST_F(LocateTest, DirectFileOperationsRefuseVirtualFiles) {
    OpenVirtualList({{"PEAR", 2.5}});
    uint8_t field = 0;
    Search("pear", field, true);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "Operation cannot be used on virtual files. [Search]");
    std::string text = "unchanged";
    Peek(1, 1, text);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "Operation cannot be used on virtual files. [Peek]");
    EXPECT_EQ(text, "unchanged");
    Poke("X", 1, 1);
    EXPECT_EQ(LastErrorCode(), 1100);
    EXPECT_EQ(LastErrorMessage(), "Operation cannot be used on virtual files.[Poke(X,1,1)]");
    EXPECT_EQ(FieldText(1), "PEAR");
}

TEST_F(LocateTest, RefusalsLeaveEveryTableAsItWas) {
    const std::string path = OpenPeople();
    FlushDbf();
    const std::string before = ReadFileBytes(path);
    OpenVirtualList({{"PEAR", 2.5}});
    uint8_t field = 0;
    Search("pear", field, true);
    EXPECT_EQ(LastErrorCode(), 1100);

    Select(1);
    EXPECT_FALSE(Locate("NOPE", std::string("x")));
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_FALSE(Continue());
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(Sum("CITY"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    CloseArea();
    EXPECT_EQ(ReadFileBytes(path), before);

    // No table at all: the area check answers.
    EXPECT_FALSE(Locate("NAME", std::string("x")));
    EXPECT_EQ(LastErrorCode(), 215);
    EXPECT_EQ(LastErrorMessage(), "No database in use [Locate]  WorkArea = 1");
}

}  // namespace
