// What compiling tells callers: the error texts with their excerpt, the
// parser's stack limit, and the result attributes that Sum and the index read.
#include <gtest/gtest.h>

#include <string>

#include "tests/engine/expr/expr_fixture.hpp"

namespace {

using namespace zurod;
using testing_support::ExprTest;

std::string Refusal(const std::string& reason, const std::string& excerpt) {
    return "Error in expression : " + reason + "\r\n" + excerpt + "\r\n [AssignExpr]";
}

TEST_F(ExprTest, ErrorsQuoteTheTextUpToWhereTheCompilerStopped) {
    OpenPeople();
    const std::string ones = "1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1";  // 53 characters
    const std::string minus(149, '-');
    const std::string long_text = "1" + std::string(299, ' ');
    struct Row {
        std::string text, reason, excerpt;
    } rows[] = {
        {"1 +", "Syntax error", "[1 +]"},
        {"NAME 'abc", "Syntax error", "[NAME 'abc]"},
        {"1 2 + 3", "Syntax error", "[1 2 + 3]"},
        {"NAME + 1", "PARSER:Type mismatch in expression \"+\"", "[NAME + 1]"},
        {"NAME + 1 > 2", "PARSER:Type mismatch in expression \"+\"", "[NAME + 1 > 2]"},
        {"2 ** 'a'", "PARSER:Type mismatch in expression \"** or ^\"", "[2 ** 'a']"},
        {"FLAG .AND. 1", "PARSER:Type mismatch in expression \".AND.\"", "[FLAG .AND. 1]"},
        {"-NAME", "PARSER:Type mismatch in expression \"-\"", "[-NAME]"},
        {".NOT. 1", "PARSER:Type mismatch in expression \".NOT.\"", "[.NOT. 1]"},
        {"NOTES = NOTES", "PARSER:Type mismatch in expression \"=\"", "[NOTES = NOTES]"},
        {"IIF(.T., 1, 2) + 'x'", "PARSER:Type mismatch in function \"IIF\"", "[IIF(.T., 1, 2) + 'x']"},
        {"subs(1, 2, 3)", "PARSER:Type mismatch in function \"SUBSTR\"", "[subs(1, 2, 3)]"},
        {"MAX(BORN, 1)", "PARSER:Type mismatch in function \"MAX\"", "[MAX(BORN, 1)]"},
        {ones + ")", "Syntax error", "[..." + ones.substr(3) + ")]"},
        {"@" + ones, "Syntax error", "[@" + ones.substr(0, 50) + "...]"},
        {ones + " ) + " + ones, "Syntax error", "[..." + ones.substr(4) + " )...]"},
        {minus + "1", "Parser_stack_overflow", "[..." + minus.substr(99) + "1]"},
        {long_text + "+", "Syntax error", "[..." + long_text.substr(205, 51) + "...]"},
    };
    for (const Row& r : rows) {
        SetLastErrorCode(0);
        EXPECT_EQ(AssignExpr(r.text), nullptr) << r.text;
        EXPECT_EQ(LastErrorCode(), 351) << r.text;
        EXPECT_EQ(LastErrorMessage(), Refusal(r.reason, r.excerpt)) << r.text;
    }
    // One state fewer fits.
    EXPECT_NE(AssignExpr(std::string(148, '-') + "1"), nullptr);
}

TEST_F(ExprTest, ResultsCarryTheirTypeLengthAndDecimals) {
    OpenPeople();
    struct Row {
        const char* text;
        char type;
        int length, decimals;
    } rows[] = {
        {"NAME", 'C', 10, 0},      {"TRIM(NAME)", 'C', 10, 0},   {"UPPER(NAME)", 'C', 10, 0},
        {"NAME + AB", 'C', 0, 0},  {"LEFT(NAME, 3)", 'C', 0, 0}, {"'ABC'", 'C', 0, 0},
        {"DTOS(BORN)", 'C', 8, 0}, {"AMOUNT", 'N', 12, 2},       {"(AMOUNT)", 'N', 12, 2},
        {"-AMOUNT", 'N', 12, 2},   {"AMOUNT * 2", 'N', 13, 2},   {"QTY", 'N', 5, 0},
        {"QTY + 1", 'N', 13, 2},   {"ABS(AMOUNT)", 'N', 12, 2},  {"AMOUNT + QTY", 'N', 5, 2},
        {"1", 'N', 13, 2},         {"BORN", 'D', 8, 0},          {"BORN + 1", 'D', 8, 0},
        {"FLAG", 'L', 1, 0},       {"QTY > 1", 'L', 1, 0},       {"NOTES", 'M', 256, 0},
        {"(NOTES)", 'M', 256, 0},
    };
    for (const Row& r : rows) {
        ExprProgramPtr p = AssignExpr(r.text);
        ASSERT_NE(p, nullptr) << r.text << ": " << LastErrorMessage();
        EXPECT_EQ(ExprType(*p), r.type) << r.text;
        EXPECT_EQ(ExprLength(*p), r.length) << r.text;
        EXPECT_EQ(ExprDecimals(*p), r.decimals) << r.text;
        EXPECT_EQ(ExprSource(*p), r.text);
    }
    Settings().decimals = 4;
    SetMemoPoolSize(100);
    ExprProgramPtr times = AssignExpr("AMOUNT * 2");
    EXPECT_EQ(ExprDecimals(*times), 4);
    EXPECT_EQ(ExprLength(*times), 15);
    EXPECT_EQ(ExprLength(*AssignExpr("NOTES")), 100);
}

TEST_F(ExprTest, NamesResolveToFieldsOfTheirAreaOrToFunctions) {
    OpenPeople();
    Select(2);
    USE(CreateTable("other.dbf", {{"NAME", 'C', 6, 0}, {"DATE", 'N', 3, 0}}) + " ALIAS OTHER EXCLUSIVE");
    ClearRecord();
    PutFieldString(1, "OTTO");
    PutFieldNumber(2, 42);
    Append();
    Select(1);
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"OTHER->NAME", "C:OTTO  "},
        {"other->name + NAME", "C:OTTO  SMITH     "},
        {"OTHER->DATE + 1", "N:43"},
        {"DATE", "D:20240229"},
        {"YEAR(DATE ()) >= 2024", "L:T"},
        {"OTHER.NAME", "E:351"},
        {"NOBODY->NAME", "E:351"},
        {"OTHER->NOPE", "E:351"},
        {"DELE()", "L:F"},
        {"CMON(BORN)", "C:May      "},
        {"CMO(BORN)", "E:351"},
        {"RECN()", "N:1"},
    };
    for (const auto& r : rows) EXPECT_EQ(Eval(r.text), r.expected) << r.text;

    // A program keeps reading the area it was compiled for; once that is
    // closed, evaluating reports it.
    ExprProgramPtr p = AssignExpr("OTHER->NAME");
    Select(2);
    CloseArea();
    Select(1);
    SetLastErrorCode(0);
    EXPECT_EQ(EvaluateProgram(p.get())->text, "");
    EXPECT_EQ(LastErrorCode(), 215);
}

TEST_F(ExprTest, CompilingClearsOnlyALingeringExpressionError) {
    OpenPeople();
    for (const auto& [pending, after] : {std::pair{351, 0}, {363, 0}, {349, 349}, {215, 215}}) {
        SetLastErrorCode(static_cast<uint16_t>(pending));
        EXPECT_NE(AssignExpr("QTY"), nullptr);
        EXPECT_EQ(LastErrorCode(), after) << pending;
    }
}

}  // namespace
