#pragma once
// The xBase expression language: compiling a text into a program once and
// evaluating it against the current record of the work areas, as filters,
// sums, index keys and FOR conditions do.
//
// Texts are case-insensitive outside string literals. Names are fields of the
// current area, ALIAS->FIELD for areas 1..32, or the built-in functions (a
// name of more than four letters may be cut to its first four). Compile
// errors report 351 "Error in expression : <reason>" with an excerpt of the
// text around the place the compiler had reached.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zurod {

// A compiled expression; defined in engine/expr/detail/program.hpp.
class ExprProgram;
struct ExprProgramDelete {
    void operator()(ExprProgram* program) const noexcept;
};
using ExprProgramPtr = std::unique_ptr<ExprProgram, ExprProgramDelete>;

// The blank date: a Julian day beyond every real date.
inline constexpr double kBlankDate = 1e100;

// A value of the language. Dates are Julian day numbers; texts (C and M) are
// in the engine's ANSI page and stay valid until the program runs again.
struct ExprValue {
    char type = 'L';  // 'C', 'N', 'L', 'D' or 'M'
    double number = 0;
    bool logical = false;
    std::string_view text;
};

// The unit's start-up: attaches the language to the engine (filters and
// sums of expressions go through it from then on). A second call does
// nothing.
void ExprInit();

// Compiles `text` against the current area; nullptr after reporting 351
// (syntax or type error) or 217.
ExprProgramPtr AssignExpr(std::string_view text);
// Frees the program and empties the pointer.
void ReleaseExpr(ExprProgramPtr& program);

// What a compiled program yields: type letter, length and decimals (the
// length is 0 for a character result of varying width).
char ExprType(const ExprProgram& program);
uint16_t ExprLength(const ExprProgram& program);
uint8_t ExprDecimals(const ExprProgram& program);
std::string ExprSource(const ExprProgram& program);

// Evaluates the program on the current record and returns its value, or
// nullptr for no program. A failure (358 division by zero, 354 a text too
// long) is reported and the value computed as documented (1E250 for x / 0).
const ExprValue* EvaluateProgram(ExprProgram* program);

// The current-expression cell: the index engine names a tag's program here
// and evaluates it per key with Evaluate (nullptr when the cell is empty).
void SetCurrentExpression(ExprProgram* program);
ExprProgram* CurrentExpression();
const ExprValue* Evaluate();

// Field n (1-based) of the current record of `area` as the language sees
// it; areas 33 and above mean the current area. Texts go into `buffer`,
// which the value's text views. A missing table or field reports 215 or 220.
ExprValue GetFieldValue(int field, uint8_t area, std::string& buffer);

// Checks a condition (an index FOR expression) without reporting: the text
// loses its trailing blanks; the result is 0 (a logical expression), 359
// (empty), 362 (not logical) or the compile error's code. The last error
// code is 0 afterwards.
uint16_t ValidateFilter(std::string& condition);

// The working-pool size of a program whose result is a memo (the longest
// memo text it can hold is one less). Default 256.
uint16_t MemoPoolSize();
void SetMemoPoolSize(uint16_t size);

}  // namespace zurod
