// libFuzzer target: any bytes as an expression, compiled against a small
// table and, when it compiles, evaluated on each of its records, at end of
// file, and as a filter over a walk. Refusals must carry the language's
// codes and texts; the sanitizers catch the rest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/expr/expr.hpp"
#include "tests/fuzz/fuzz_support.hpp"
#include "tests/support/fake_units.hpp"

namespace {

using namespace zurod;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "expr_fuzz: %s (error %u: %s)\n", what, LastErrorCode(), LastErrorMessage().c_str());
    std::abort();
}

// Area 1: NAME C8, AMOUNT N9.2, QTY N4, BORN D, FLAG L, NOTES M; area 2
// (alias OTHER): CODE C3. Three records, the second deleted and blank.
void OpenTables(const fuzz_support::Scratch& scratch) {
    EngineReset();
    SetErrorHandling(false);
    ExprInit();
    auto& memo = testing_support::AttachMemo<testing_support::FunctionMemo>();
    memo.read_lines = [](TWorkArea&, int32_t block) {
        return std::vector<std::string>{"memo line", std::string(300, static_cast<char>('a' + block % 26)), ""};
    };
    std::vector<FieldDef> fields = {{"NAME", 'C', 8, 0}, {"AMOUNT", 'N', 9, 2}, {"QTY", 'N', 4, 0},
                                    {"BORN", 'D', 8, 0}, {"FLAG", 'L', 1, 0},   {"NOTES", 'M', 10, 0}};
    const std::string main_table = scratch / "MAIN.DBF";
    CreateDbf(main_table, fields);
    std::vector<FieldDef> other = {{"CODE", 'C', 3, 0}};
    const std::string other_table = scratch / "OTHER.DBF";
    CreateDbf(other_table, other);
    Select(2);
    USE(other_table + " EXCLUSIVE");
    ClearRecord();
    PutFieldString(1, "XYZ");
    Append();
    Select(1);
    USE(main_table + " EXCLUSIVE");
    for (int i = 0; i < 3; ++i) {
        ClearRecord();
        if (i != 1) {
            PutFieldString(1, i == 0 ? "Smith" : "\xC4rger");
            PutFieldNumber(2, i == 0 ? 1234.5 : -0.01);
            PutFieldNumber(3, i * 7);
            PutFieldString(4, i == 0 ? "05/17/1970" : "12/31/9999");
            PutFieldLogical(5, i == 0);
            PutFieldMemo(6, 3 + i);
        }
        Append();
        if (i == 1) DeleteRec();
    }
    Check(LastErrorCode() == 0, "cannot build the tables");
}

bool Allowed(uint16_t code) {
    switch (code) {
    case 0:
    case 351:  // syntax and type errors
    case 354:  // texts too long for the pool or the language
    case 358:  // arithmetic the processor cannot take
    case 217: return true;
    default: return false;
    }
}

void Evaluate(ExprProgram* program) {
    for (int32_t r = 1; r <= 4; ++r) {
        GO(r);
        SetLastErrorCode(0);
        const ExprValue* v = EvaluateProgram(program);
        Check(v != nullptr && Allowed(LastErrorCode()), "evaluation failed with a foreign code");
        if (v->type == 'C') Check(v->text.size() <= 255, "text longer than 255 characters");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz_support::Scratch scratch;
    static bool opened = false;
    if (!opened) {
        OpenTables(scratch);
        opened = true;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    Select(1);
    SetLastErrorCode(0);
    ExprProgramPtr program = AssignExpr(text);
    if (!program) {
        Check(LastErrorCode() == 351 || LastErrorCode() == 217, "compile failed with a foreign code");
        if (LastErrorCode() == 351)
            Check(LastErrorMessage().starts_with("Error in expression : ") &&
                      LastErrorMessage().ends_with("\r\n [AssignExpr]"),
                  "351 without its text");
        return 0;
    }
    for (const uint8_t code : {0, 2, 5}) {
        SetDateFormat(code);
        SetCentury(code != 2);
        Evaluate(program.get());
    }
    SetDateFormat(0);
    // The same text as a filter over a walk, when it is a condition.
    SetLastErrorCode(0);
    Set_Filter_To(text);
    if (LastErrorCode() == 0) {
        int steps = 0;
        for (GoTop(); LastErrorCode() == 0 && !dEOF() && steps < 8; SKIP(1)) ++steps;
        Check(Allowed(LastErrorCode()), "filter walk failed with a foreign code");
    } else {
        Check(LastErrorCode() == 362, "a compiled text refused as a filter for another reason");
    }
    Set_Filter_To("");
    return 0;
}
