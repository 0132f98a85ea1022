// What a program computes once instead of on every record: constant calls
// keep following the settings they depend on, and the right side of .AND.
// and .OR. is passed over only where no result and no error changes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/expr/detail/program.hpp"
#include "platform/codepage.hpp"
#include "tests/engine/expr/expr_fixture.hpp"

namespace {

using namespace zurod;
using testing_support::ExprTest;

class FoldTest : public ExprTest {
protected:
    void SetUp() override {
        ExprTest::SetUp();
        OpenPeople();  // record 1: SMITH, QTY 7, DATE 02/29/2024; record 2: jones, QTY 0, deleted
    }
    // The value of a compiled program on the current record, or its error.
    static std::string Run(ExprProgram* program) {
        SetLastErrorCode(0);
        const ExprValue* value = EvaluateProgram(program);
        if (LastErrorCode() != 0) return "E:" + std::to_string(LastErrorCode());
        return Show(*value);
    }
};

TEST_F(FoldTest, FoldedCallsFollowTheSettingsTheyDependOn) {
    struct Case {
        const char* text;
        std::string before;
        std::function<void()> change;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"CTOD(\"02/01/2010\")", "D:20100201", [] { SetDateFormat(2); }, "D:20100102"},
        {"CTOD(\"01/01/30\")", "D:20300101", [] { SetWindowStart(1900); }, "D:19300101"},
        {"DTOC(CTOD(\"12/31/1999\"))", "C:12/31/1999", [] { SetCentury(false); }, "C:12/31/99"},
        {"CMONTH(CTOD(\"03/01/2000\"))", "C:March    ", [] { SetDateFormat(5); }, "C:Januar   "},
        {"CDOW(CTOD(\"01/03/2000\"))", "C:Monday   ", [] { SetDateFormat(4); }, "C:Mercredi"},
        {"UPPER(CHR(255))", "C:\x9F", [] { platform::SelectCodePages(platform::CodePages::Cp866_1251); }, "C:\xDF"},
        {"DATE >= CTOD(\"03/01/2024\")", "L:F", [] { SetDateFormat(2); }, "L:T"},
        {"2 * 12 + LEN(\"abc\")", "N:27", [] { SetDateFormat(8); }, "N:27"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetDateFormat(0);
        SetCentury(true);
        SetWindowStart(1950);
        platform::SelectCodePages(platform::CodePages::Cp850_1252);
        ExprProgramPtr program = AssignExpr(c.text);
        ASSERT_TRUE(program) << LastErrorMessage();
        EXPECT_EQ(Run(program.get()), c.before);
        c.change();
        EXPECT_EQ(Run(program.get()), c.after);
        // Compiled under the new settings it gives the same.
        ExprProgramPtr fresh = AssignExpr(c.text);
        ASSERT_TRUE(fresh) << LastErrorMessage();
        EXPECT_EQ(Run(fresh.get()), c.after);
    }
    platform::SelectCodePages(platform::CodePages::Cp850_1252);
}

TEST_F(FoldTest, PassingOverTheRightSideNeverHidesAnError) {
    struct Case {
        const char* text;
        int32_t record;
        std::string expected;
    };
    const std::vector<Case> cases = {
        // The left side decides and the right side cannot fail: passed over.
        {"QTY > 100 .AND. NAME = \"SMITH\"", 1, "L:F"},
        {"QTY > 1 .OR. NAME = \"x\"", 1, "L:T"},
        {"QTY > 1 .AND. NAME = \"SMITH\"", 1, "L:T"},
        {"DELETED() .OR. UPPER(TRIM(NAME)) $ \"XSMITHX\" .AND. AB = \"AB\"", 1, "L:T"},
        // The right side may fail: it is evaluated, and its error stands.
        {"QTY > 100 .AND. AMOUNT / QTY > 1", 2, "E:358"},
        {"QTY = 7 .OR. 1 / QTY > 0", 2, "E:358"},
        {"QTY = 7 .OR. 1 / QTY > 0", 1, "L:T"},
        {".F. .AND. SUBSTR(NAME, 1, 99999999999) = \"x\"", 1, "E:358"},
        {".T. .OR. STR(AMOUNT * 1E300 * 1E300) = \"x\"", 1, "E:358"},
        {"QTY < 0 .AND. NAME + NAME + NAME = \"x\"", 1, "L:F"},
        // A constant part that fails is never folded away.
        {"1 / 0 > 1 .OR. QTY > 0", 1, "E:358"},
        {"QTY > 0 .OR. 1 / 0 > 1", 1, "E:358"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        GO(c.record);
        ExprProgramPtr program = AssignExpr(c.text);
        ASSERT_TRUE(program) << LastErrorMessage();
        EXPECT_EQ(Run(program.get()), c.expected);
        EXPECT_EQ(Run(program.get()), c.expected) << "run again";
    }
}

// The fields of a passed-over right side are checked: a program whose
// field is gone or is wider than compiled reports as it always did.
TEST_F(FoldTest, ARightSideWhoseFieldsChangedIsEvaluated) {
    struct Case {
        const char* name;
        std::vector<FieldDef> fields;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"field gone", {{"QTY", 'N', 5, 0}}, "E:220"},
        {"field of another type", {{"NAME", 'N', 10, 0}}, "E:220"},
        {"field wider than compiled", {{"NAME", 'C', 250, 0}}, "E:354"},
        {"the same layout", {{"NAME", 'C', 10, 0}}, "L:F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        USE(dir_ / "people.dbf" + " EXCLUSIVE");
        GO(1);
        // DELETED() is false for record 1: the right side would be passed over.
        ExprProgramPtr program = AssignExpr("DELETED() .AND. NAME = \"X\"");
        ASSERT_TRUE(program) << LastErrorMessage();
        EXPECT_EQ(Run(program.get()), "L:F");
        const std::string other = CreateTable(std::string("other") + std::to_string(&c - cases.data()) + ".dbf",
                                              std::vector<FieldDef>(c.fields));
        USE(other + " EXCLUSIVE");
        ClearRecord();
        Append();
        GO(1);
        EXPECT_EQ(Run(program.get()), c.expected);
    }
}

// Field comparisons joined by .AND. run without the machine; the same
// filter in a shape the machine runs (under .NOT. .NOT.) must agree with
// them on every record, also once the fields no longer read as compiled.
TEST_F(FoldTest, FieldComparisonChainsAgreeWithTheMachine) {
    struct Case {
        const char* text;
        bool chain;  // runs without the machine
    };
    const std::vector<Case> cases = {
        {"NAME = \"SMITH\" .AND. QTY > 5", true},
        {"NAME = \"SM\" .AND. QTY >= 7 .AND. DATE >= CTOD(\"02/29/2024\")", true},
        {"DATE < CTOD(\"01/01/2001\") .AND. BORN = CTOD(\"\")", true},
        {"DATE = CTOD(\"02/29/2024\") .AND. BORN > CTOD(\"01/01/1970\") .AND. BORN < CTOD(\"12/31/1970\")", true},
        {"AB == \"AB\" .AND. NAME <> \"jones\" .AND. NAME < \"T\"", true},
        {"NAME $ \"xxSMITH     xx\" .AND. AMOUNT > 1000", true},
        {"NAME >= \"jones\" .AND. AMOUNT < 0 .AND. QTY <= 0", true},
        {"NAME = \"\" .AND. QTY = 0", true},
        {"QTY > 5", true},
        {"QTY > 5 .OR. NAME = \"j\"", false},
        {"DELETED() .AND. QTY = 0", false},
    };
    // The same two records under another layout: NAME a number, QTY gone.
    const std::string other = CreateTable("renamed.dbf", {{"NAME", 'N', 10, 0}, {"AB", 'C', 4, 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ExprProgramPtr chain = AssignExpr(c.text);
        ExprProgramPtr machine = AssignExpr(std::string(".NOT. .NOT. (") + c.text + ")");
        ASSERT_TRUE(chain && machine) << LastErrorMessage();
        EXPECT_EQ(chain->RunsAsConjunction(), c.chain);
        EXPECT_FALSE(machine->RunsAsConjunction());
        for (const int32_t record : {1, 2}) {
            GO(record);
            EXPECT_EQ(Run(chain.get()), Run(machine.get())) << "record " << record;
        }
        USE(other + " EXCLUSIVE");
        ClearRecord();
        Append();
        EXPECT_EQ(Run(chain.get()), Run(machine.get())) << "other layout";
        USE(dir_ / "people.dbf" + " EXCLUSIVE");
    }
}

}  // namespace
