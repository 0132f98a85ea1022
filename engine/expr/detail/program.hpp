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
    // The left side of .AND. (.OR.) is on the stack: when it is false (true)
    // and every field of the right side reads as compiled, the right side
    // is passed over, as it cannot change the result or fail.
    SkipIfFalse, SkipIfTrue,
    // Comparisons with a constant right side, which the instruction holds
    // (`number`, or the literal at `text_at`): one step instead of two.
    EqNK, NeNK, LtNK, GtNK, LeNK, GeNK,
    EqCK, ExactCK, InCK, NeCK, LtCK, GtCK, LeCK, GeCK,
    // A field compared with a constant: the field as Field describes it, the
    // comparison (one of the K forms above) in `compare`, the constant in
    // `k_number` or at `k_at`.
    FieldCompare,
};
// clang-format on

struct Instr {
    Op op = Op::End;
    uint8_t argc = 0;    // the values it takes from the stack
    char type = 0;       // its result's type; Field: the type the program was compiled for (C, N, L, D, M)
    uint8_t area = 0;    // Field: 1..32 for ALIAS->FIELD, 0 for the current area
    uint16_t field = 0;  // Field: 0-based field number
    // Text: the literal; Field: its name, for messages; skips: the right
    // side's fields (their place in the guards list).
    uint32_t text_at = 0, text_len = 0;
    uint32_t target = 0;  // skips: how far ahead the .AND. or .OR. stands
    double number = 0;    // Number, Logical: the value; Field: its width when compiled
    // FieldCompare: the comparison and its constant.
    Op compare = Op::End;
    uint32_t k_at = 0, k_len = 0;
    double k_number = 0;
};

// What the value of a folded constant call depends on besides its
// arguments: the date settings (CTOD, DTOC, CDOW, CMONTH) and the code
// pages (UPPER, LOWER, SOUNDEX).
struct FoldStamp {
    uint8_t date_code = 0;
    bool century = false;
    uint16_t window_start = 0;
    int code_pages = 0;
    bool operator==(const FoldStamp&) const = default;
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
    // Whether it is field comparisons joined by .AND. (see `conjunction_`).
    bool RunsAsConjunction() const { return !conjunction_.empty(); }

private:
    friend class Compiler;
    friend class Machine;
    friend class Optimizer;

    // Folds the constant parts of the compiled code (again, after the
    // settings they depend on changed) and puts in the skips of .AND. and
    // .OR. (fold.cpp).
    void Optimize();
    // Whether folded values were computed under other settings than now.
    bool FoldsStale() const;
    // Fills `conjunction_` when the code is nothing but field comparisons
    // joined by .AND. (fold.cpp).
    void FindConjunction();

    std::string source_;
    char type_ = 'L';
    uint16_t length_ = 0;
    uint8_t decimals_ = 0;
    std::vector<Instr> code_;      // what runs
    std::vector<Instr> compiled_;  // as compiled, when code_ holds folded values that depend on settings
    std::vector<Instr> guards_;    // the fields each skip checks, copied from its right side
    // The FieldCompare instructions of a program that is only field
    // comparisons joined by .AND., in order; empty for any other program.
    // Such a filter runs without the machine's dispatch while all its
    // fields read as compiled.
    std::vector<uint32_t> conjunction_;
    std::string literals_;  // literal texts and field names; folded texts after `literals_compiled_`
    size_t literals_compiled_ = 0;
    bool folds_depend_ = false;
    FoldStamp folded_under_;
    std::vector<Slot> stack_;
    std::vector<char> pool_;
    std::string memo_;  // a memo's text as read, reused between evaluations
    // The last stored date a field read gave and its Julian day: tables are
    // mostly in date order, so the next record's date is mostly the same.
    char last_date_[8] = {};
    double last_julian_ = kBlankDate;
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
