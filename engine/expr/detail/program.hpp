#pragma once
// A compiled expression: postfix code over a value stack whose depth is known
// at compile time, and the working pool in which character values live in
// stack order (a value's text starts where the values below it end). Types
// are checked when compiling, so running needs no type tags, and nothing is
// allocated per evaluation.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/expr/expr.hpp"

namespace zurod {

// clang-format off
enum class Op : uint8_t {
    End,
    Number,   // pushes `number`
    Logical,  // pushes `number` (0 or 1)
    Text,     // pushes the literal at `text_at`, `text_len`
    Field,    // pushes field `field` of area `area` (0: the current one)
    // Arithmetic on numbers and dates.
    Add, Sub, Mul, Div, Pow, Neg,
    Concat, ConcatTrim,
    // Comparisons: numbers, dates and logicals (0/1) compare as doubles.
    EqN, NeN, LtN, GtN, LeN, GeN,
    EqC, ExactC, InC, NeC, LtC, GtC, LeC, GeC,
    And, Or, Not,
    // Built-in functions, in the order of their table.
    Abs, Asc, At, Cdow, Chr, Cmonth, Ctod, Date, Day, Deleted, Dow, Dtoc, Dtos, Iif, Int, Left, Len,
    Lower, Ltrim, Max, Min, Mod, Month, Recno, Replicate, Right, Round, Rtrim, Soundex, Space, Str,
    Stuff, Substr, Upper, Val, Year,
};
// clang-format on

struct Instr {
    Op op = Op::End;
    uint8_t argc = 0;                    // STR's argument count
    char type = 0;                       // Field: the type the program was compiled for (C, N, L, D, M)
    uint8_t area = 0;                    // Field: 1..32 for ALIAS->FIELD, 0 for the current area
    uint16_t field = 0;                  // Field: 0-based field number
    uint32_t text_at = 0, text_len = 0;  // Text: the literal; Field: its name, for messages
    double number = 0;
};

// One stack entry: numbers, dates and logicals in `number`; texts at `at`
// in the pool, `len` characters long.
struct Slot {
    double number;
    uint32_t at;
    uint32_t len;
};

class ExprProgram final : public ExpressionHandle {
public:
    // Evaluates on the current record of the work areas. The first failure
    // is returned; evaluation still completes with the documented stand-in
    // values (1E250 for x / 0), so Result() is always a value of the type.
    Status Run();
    const ExprValue& Result() const { return result_; }

    char Type() const { return type_; }
    uint16_t Length() const { return length_; }
    uint8_t Decimals() const { return decimals_; }
    const std::string& Source() const { return source_; }

private:
    friend class Compiler;
    friend class Machine;

    std::string source_;
    char type_ = 'L';
    uint16_t length_ = 0;
    uint8_t decimals_ = 0;
    std::vector<Instr> code_;
    std::string literals_;  // literal texts and field names
    std::vector<Slot> stack_;
    std::vector<char> pool_;
    std::string memo_;  // a memo's text as read, reused between evaluations
    ExprValue result_;
};

// Compiles `text` against `area` (the current area; nullptr when none is
// open). A memo result gets a pool of `memo_pool` bytes.
Status CompileExpr(TWorkArea* area, std::string_view text, uint16_t memo_pool, std::unique_ptr<ExprProgram>& out);

// The program's value on the current record as an index tag stores it: a C
// value's text, the 12-byte numeric key built with the program's decimals,
// or a date's Julian day as a little-endian double. Logical and memo values
// make no key (254).
Status EvaluateKey(ExprProgram& program, std::string& key);

// The unit's state in the engine: its settings and the current-expression
// cell.
class ExpressionUnit final : public ExpressionAttachment {
public:
    uint16_t memo_pool_size = 256;
    ExprProgram* current = nullptr;

    Status Compile(TWorkArea& area, const std::string& text, std::unique_ptr<ExpressionHandle>& program) override;
    void Release(std::unique_ptr<ExpressionHandle>& program) override;
    Status EvaluateLogical(ExpressionHandle& program, bool& value) override;
    std::string SourceText(ExpressionHandle& program) override;
    Status EvaluateNumber(ExpressionHandle& program, double& value) override;
    char ResultType(ExpressionHandle& program) override;
};

// The attached unit, attaching it first when another one (or none) is there.
ExpressionUnit& AttachedExpressionUnit();

// Field `f` of the record in `area` as the language reads it, straight from
// the record buffer (records a walk passes over are never converted): a C
// field's text (to be padded with blanks to the field's width), or the
// number, date (Julian day), logical (0/1) or memo block number.
struct FieldRead {
    std::string_view text;
    double number = 0;
};
FieldRead ReadField(const TWorkArea& area, const FieldInfo& f);

}  // namespace zurod
