// The expression unit in the engine: filters in every walk, sums of
// expressions, validation, memo and virtual-file values, the evaluate cell.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/dbf/copy.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/expr/keys.hpp"
#include "engine/vfile/vfile.hpp"
#include "tests/engine/expr/expr_fixture.hpp"
#include "tests/support/fake_units.hpp"

namespace {

using namespace zurod;
using testing_support::ExprTest;

class FilterTest : public ExprTest {
protected:
    // SMITH 7, jones 0 (deleted), BROWN 12, GREEN 3.
    void SetUp() override {
        ExprTest::SetUp();
        testing_support::AttachMemo<testing_support::FunctionMemo>();  // the table has a memo field
        OpenPeople();
        Add("BROWN", "CD", 10, 12, "01/02/1980", true, "03/04/2020");
        Add("GREEN", "EF", 20.5, 3, "", false, "03/04/2020");
        GO(1);
    }
    static std::vector<std::string> Walk() {
        std::vector<std::string> names;
        for (GoTop(); !dEOF(); SKIP(1)) names.push_back(RTrim(FieldText(1)));
        return names;
    }
    using Names = std::vector<std::string>;
};

TEST_F(FilterTest, ASumOfAnExpressionReadsEveryRecordInPlace) {
    GO(3);
    EXPECT_DOUBLE_EQ(Sum("RECNO()"), 1 + 2 + 3 + 4);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT * QTY"), 1234.5 * 7 + 120 + 20.5 * 3);
    EXPECT_EQ(RecNo(), 3);
    EXPECT_EQ(RTrim(FieldText(1)), "BROWN");
    EXPECT_EQ(Eval("NAME"), "C:BROWN     ");
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

TEST_F(FilterTest, AFilterHidesRecordsFromEveryWalk) {
    Set_Filter_To("QTY > 5 .OR. NAME = 'jo'");
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Walk(), (Names{"SMITH", "jones", "BROWN"}));
    Names back;
    for (GoBottom(); !dBOF(); SKIP(-1)) back.push_back(RTrim(FieldText(1)));
    EXPECT_EQ(back, (Names{"BROWN", "jones", "SMITH"}));
    SetIgnoreDel(true);
    EXPECT_EQ(Walk(), (Names{"SMITH", "BROWN"}));

    EXPECT_TRUE(Locate("AB", std::string("CD")));
    EXPECT_FALSE(Locate("AB", std::string("EF")));
    EXPECT_DOUBLE_EQ(Sum("AMOUNT"), 1244.5);
    EXPECT_DOUBLE_EQ(Sum("AMOUNT * QTY"), 1234.5 * 7 + 120);
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();

    const std::string copy = dir_ / "copy.dbf";
    CopyTo(copy);
    Select(2);
    USE(copy);
    EXPECT_EQ(RecCount(), 2);
    Select(1);

    Set_Filter_To("");
    EXPECT_EQ(Walk().size(), 3u);  // only the deleted switch is left
    EXPECT_DOUBLE_EQ(Sum("AMOUNT*QTY"), 1234.5 * 7 + 120 + 20.5 * 3);
}

TEST_F(FilterTest, RefusedFiltersLeaveTheAreaAlone) {
    Select(2);
    USE(CreateTable("other.dbf", {{"X", 'N', 3, 0}}) + " ALIAS OTHER");
    CloseArea();
    Select(1);
    GO(3);
    const struct {
        const char* text;
        uint16_t code;
    } rows[] = {{"NOPE > 1", 351}, {"OTHER->X > 1", 351}, {"NAME", 362}, {"QTY + 1", 362}, {"QTY >", 351}, {"", 0},
                {"  ", 0}};
    for (const auto& r : rows) {
        Set_Filter_To("QTY > 100");
        SetLastErrorCode(0);
        Set_Filter_To(r.text);
        EXPECT_EQ(LastErrorCode(), r.code) << r.text;
        EXPECT_EQ(RecNo(), 3) << r.text;
        EXPECT_EQ(RTrim(FieldText(1)), "BROWN") << r.text;
        EXPECT_TRUE(FilterTrue()) << r.text;
        EXPECT_EQ(Walk().size(), 4u) << r.text;
        GO(3);
    }
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(Sum("TRIM(NAME)"), 0);
    EXPECT_EQ(LastErrorCode(), 220);
    EXPECT_EQ(LastErrorMessage(), "Cannot sum non-numeric data [SUM(TRIM(NAME))]");
}

TEST_F(FilterTest, AFilterThatCannotBeEvaluatedIsReported) {
    Set_Filter_To("100 / QTY > 1");
    ASSERT_EQ(LastErrorCode(), 0);
    GoTop();
    SKIP(1);
    EXPECT_EQ(LastErrorCode(), 358);
    EXPECT_EQ(LastErrorMessage(), "Error during evaluation: Divide by 0 [Evaluate/Engine]");

    // Evaluated directly, the quotient stands in as 1E250 and evaluation goes on.
    GO(2);
    SetLastErrorCode(0);
    ExprProgramPtr p = AssignExpr("100 / QTY");
    EXPECT_EQ(EvaluateProgram(p.get())->number, 1e250);
    EXPECT_EQ(LastErrorCode(), 358);
    RaiseModeScope raise(true);
    ErrorHandlingScope handling(true);
    EXPECT_THROW(EvaluateProgram(p.get()), EZurodError);
}

TEST_F(FilterTest, AnEmptyTableReadsAsBlanks) {
    Zap();
    Set_Filter_To("QTY = 0 .AND. DTOS(BORN) = '        ' .AND. .NOT. FLAG");
    GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(FilterTrue());
    EXPECT_EQ(Eval("NAME + '|'"), "C:          |");
    EXPECT_EQ(Eval("DELETED()"), "L:F");
    EXPECT_EQ(LastErrorCode(), 0) << LastErrorMessage();
}

TEST_F(ExprTest, ValidationOnlyAnswersWithACode) {
    OpenPeople();
    SetMemoPoolSize(77);
    ErrorHandlingScope handling(true);
    RaiseModeScope raise(true);  // a report would throw
    const struct {
        const char* text;
        uint16_t code;
        const char* trimmed;
    } rows[] = {
        {"", 359, ""},           {"   ", 359, ""},
        {"NAME", 362, "NAME"},   {"NOTES", 362, "NOTES"},
        {"FLAG  ", 0, "FLAG"},   {"QTY > 1", 0, "QTY > 1"},
        {"QTY >", 351, "QTY >"}, {"IIF(FLAG, 1, 2)", 351, "IIF(FLAG, 1, 2)"},
    };
    for (const auto& r : rows) {
        SetLastErrorCode(215);
        std::string text = r.text;
        EXPECT_EQ(ValidateFilter(text), r.code) << r.text;
        EXPECT_EQ(text, r.trimmed);
        EXPECT_EQ(LastErrorCode(), 0) << r.text;
    }
    EXPECT_TRUE(ErrorHandlingOn());
    EXPECT_EQ(MemoPoolSize(), 77);
}

TEST_F(ExprTest, AMemoReadsAsItsLinesJoined) {
    testing_support::FunctionMemo& memo = testing_support::AttachMemo<testing_support::FunctionMemo>();
    const std::string long_line(300, 'x');
    memo.read_lines = [&](TWorkArea&, int32_t block) -> std::vector<std::string> {
        if (block == 5) return {"first", "second"};
        return {long_line, "end"};
    };
    OpenPeople();
    EXPECT_EQ(Eval("NOTES"), "M:");
    PutFieldMemo(8, 5);
    Replace();
    EXPECT_EQ(Eval("NOTES"), "M:firstsecond");
    EXPECT_EQ(Eval("(NOTES)"), "M:firstsecond");
    SetMemoPoolSize(10);
    EXPECT_EQ(Eval("NOTES"), "M:firstseco");
    SetMemoPoolSize(1000);
    PutFieldMemo(8, 6);
    Replace();
    EXPECT_EQ(Eval("NOTES"), "M:" + long_line.substr(0, 255) + "end");

    Engine().attachments.memo.reset();
    EXPECT_EQ(Eval("NOTES"), "E:220");
}

TEST_F(ExprTest, VirtualFilesReadFromTheirTypedRecords) {
    VFileInit();
    std::vector<char> buffer(64);
    USE("LIST VIRTUAL FILE", buffer);
    std::vector<FieldDef> fields = {
        {"NAME", 'C', 6, 0}, {"PRICE", 'N', 8, 2}, {"COUNT", 'N', 4, 0}, {"DAY", 'D', 8, 0}, {"OK", 'L', 1, 0}};
    AddStru(fields);
    ClearRecord();
    PutFieldString(1, "PEAR");
    PutFieldNumber(2, 2.5);
    PutFieldNumber(3, 12);
    PutFieldString(4, "02/29/2024");
    PutFieldLogical(5, true);
    Append();
    ASSERT_EQ(LastErrorCode(), 0) << LastErrorMessage();
    EXPECT_EQ(Eval("NAME + '|'"), "C:PEAR  |");
    EXPECT_EQ(Eval("PRICE * COUNT"), "N:30");
    EXPECT_EQ(Eval("DTOS(DAY)"), "C:20240229");
    EXPECT_EQ(Eval("OK .AND. .NOT. DELETED()"), "L:T");
    DeleteRec();
    EXPECT_EQ(Eval("DELETED()"), "L:T");
    Set_Filter_To("COUNT > 20");
    GoTop();
    EXPECT_TRUE(dEOF());
}

TEST_F(ExprTest, TheEvaluateCellRunsTheCurrentExpression) {
    OpenPeople();
    EXPECT_EQ(Evaluate(), nullptr);
    ExprProgramPtr p = AssignExpr("QTY * 2");
    SetCurrentExpression(p.get());
    EXPECT_EQ(CurrentExpression(), p.get());
    EXPECT_EQ(Evaluate()->number, 14);
    GO(2);
    EXPECT_EQ(Evaluate()->number, 0);
    ReleaseExpr(p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Evaluate(), nullptr);
    ExprInit();  // a second start-up keeps the unit and its settings
    SetMemoPoolSize(9);
    ExprInit();
    EXPECT_EQ(MemoPoolSize(), 9);
}

TEST_F(ExprTest, ProgramsBuildIndexKeys) {
    OpenPeople();
    const NumericKey amount = NumericKeyFromValue(1234.5, 2);
    const struct {
        const char* text;
        std::string key;
        uint16_t code;
    } rows[] = {
        {"UPPER(NAME)", "SMITH     ", 0},
        {"AMOUNT", std::string(reinterpret_cast<const char*>(amount.data()), amount.size()), 0},
        {"BORN", std::string("\0\0\0\0\x0A\x9F\x42\x41", 8), 0},  // 2440724 as a double
        {"FLAG", "", 254},
    };
    for (const auto& r : rows) {
        std::unique_ptr<ExprProgram> program;
        ASSERT_TRUE(CompileExpr(CurrentTable(), r.text, 256, program).ok()) << r.text;
        std::string key;
        EXPECT_EQ(EvaluateKey(*program, key).code, r.code) << r.text;
        EXPECT_EQ(key, r.key) << r.text;
    }
}

TEST_F(ExprTest, FieldValuesByNumberAndArea) {
    OpenPeople();
    std::string buffer;
    const ExprValue name = GetFieldValue(1, 33, buffer);
    EXPECT_EQ(name.type, 'C');
    EXPECT_EQ(name.text, "SMITH     ");
    EXPECT_EQ(GetFieldValue(3, 1, buffer).number, 1234.5);
    EXPECT_EQ(GetFieldValue(5, 1, buffer).number, JulianFromParts(1970, 5, 17));
    EXPECT_TRUE(GetFieldValue(6, 1, buffer).logical);
    EXPECT_EQ(GetFieldValue(8, 1, buffer).type, 'M');
    const struct {
        int field;
        uint8_t area;
        uint16_t code;
    } refused[] = {{0, 1, 220}, {9, 33, 220}, {1, 2, 215}, {1, 0, 215}};
    for (const auto& r : refused) {
        SetLastErrorCode(0);
        GetFieldValue(r.field, r.area, buffer);
        EXPECT_EQ(LastErrorCode(), r.code) << r.field << " " << int{r.area};
    }
}

TEST_F(ExprTest, FiltersNeedTheUnitAttached) {
    OpenPeople();
    Engine().attachments.expression.reset();
    Set_Filter_To("QTY > 1");
    EXPECT_EQ(LastErrorCode(), 220);
    ExprInit();
    SetLastErrorCode(0);
    Set_Filter_To("QTY > 1");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_FALSE(Engine().attachments.expression->SourceText(*CurrentTable()->filter).empty());
}

}  // namespace
