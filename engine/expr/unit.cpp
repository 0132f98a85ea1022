// The expression unit in the engine: its attachment (filters and sums of
// expressions), its settings and the public entry points.
#include <bit>
#include <cstdint>
#include <string>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/expr/expr.hpp"
#include "engine/expr/keys.hpp"

namespace zurod {

namespace {

// The engine hands back only programs this unit compiled.
ExprProgram& ProgramOf(ExpressionHandle& handle) { return static_cast<ExprProgram&>(handle); }

ExpressionUnit* AttachedUnit() { return dynamic_cast<ExpressionUnit*>(Engine().attachments.expression.get()); }

char TypeOfField(char type) { return type == 'F' ? 'N' : type; }

}  // namespace

void ExprProgramDelete::operator()(ExprProgram* program) const noexcept { delete program; }

Status ExpressionUnit::Compile(TWorkArea& area, const std::string& text, std::unique_ptr<ExpressionHandle>& program) {
    std::unique_ptr<ExprProgram> compiled;
    Status s = CompileExpr(&area, text, memo_pool_size, compiled);
    program = std::move(compiled);
    return s;
}

void ExpressionUnit::Release(std::unique_ptr<ExpressionHandle>& program) {
    if (program.get() == current) current = nullptr;
    program.reset();
}

Status ExpressionUnit::EvaluateLogical(ExpressionHandle& handle, bool& value) {
    ExprProgram& p = ProgramOf(handle);
    Status s = p.Run();
    value = p.Result().logical;
    return s;
}

Status ExpressionUnit::EvaluateNumber(ExpressionHandle& handle, double& value) {
    ExprProgram& p = ProgramOf(handle);
    Status s = p.Run();
    value = p.Result().number;
    return s;
}

std::string ExpressionUnit::SourceText(ExpressionHandle& handle) { return ProgramOf(handle).Source(); }
char ExpressionUnit::ResultType(ExpressionHandle& handle) { return ProgramOf(handle).Type(); }

ExpressionUnit& AttachedExpressionUnit() {
    ExprInit();
    return *AttachedUnit();
}

void ExprInit() {
    if (!AttachedUnit()) Engine().attachments.expression = std::make_unique<ExpressionUnit>();
}

ExprProgramPtr AssignExpr(std::string_view text) {
    // An earlier expression error must not linger as the last error.
    if (const uint16_t code = LastErrorCode(); code >= 350 && code <= 363) SetLastErrorCode(0);
    std::unique_ptr<ExprProgram> program;
    const Status s = CompileExpr(CurrentTable(), text, AttachedExpressionUnit().memo_pool_size, program);
    if (s.failed()) {
        Report(s);
        return nullptr;
    }
    return ExprProgramPtr(program.release());
}

void ReleaseExpr(ExprProgramPtr& program) {
    if (ExpressionUnit* unit = AttachedUnit(); unit && unit->current == program.get()) unit->current = nullptr;
    program.reset();
}

char ExprType(const ExprProgram& program) { return program.Type(); }
uint16_t ExprLength(const ExprProgram& program) { return program.Length(); }
uint8_t ExprDecimals(const ExprProgram& program) { return program.Decimals(); }
std::string ExprSource(const ExprProgram& program) { return program.Source(); }

const ExprValue* EvaluateProgram(ExprProgram* program) {
    if (!program) return nullptr;
    Report(program->Run());
    return &program->Result();
}

void SetCurrentExpression(ExprProgram* program) { AttachedExpressionUnit().current = program; }

ExprProgram* CurrentExpression() {
    const ExpressionUnit* unit = AttachedUnit();
    return unit ? unit->current : nullptr;
}

const ExprValue* Evaluate() { return EvaluateProgram(CurrentExpression()); }

ExprValue GetFieldValue(int field, uint8_t area, std::string& buffer) {
    ExprValue value;
    const TWorkArea* a = area >= 33 ? CurrentTable() : AreaAt(area);
    if (!a) {
        RunError(215, "No database in use [GetFieldValue]  WorkArea = " + std::to_string(area));
        return value;
    }
    if (field < 1 || static_cast<size_t>(field) > a->fields.size()) {
        RunError(220, "Invalid field number " + std::to_string(field) + " [GetFieldValue]");
        return value;
    }
    const FieldInfo& f = a->fields[static_cast<size_t>(field - 1)];
    const FieldRead r = ReadField(*a, f);
    value.type = TypeOfField(f.type);
    value.number = r.number;
    value.logical = r.number != 0;
    if (f.type == 'C') {
        buffer.assign(r.text);
        buffer.resize(f.length, ' ');
        value.text = buffer;
    }
    return value;
}

uint16_t ValidateFilter(std::string& condition) {
    condition = RTrim(condition);
    uint16_t result = 0;
    if (condition.empty()) {
        result = 359;
    } else {
        // Compiled without a pool for memos and without reporting: only the code counts.
        std::unique_ptr<ExprProgram> program;
        const Status s = CompileExpr(CurrentTable(), condition, 0, program);
        if (s.failed())
            result = s.code;
        else if (program->Type() != 'L')
            result = 362;
    }
    SetLastErrorCode(0);
    return result;
}

Status EvaluateKey(ExprProgram& program, std::string& key) {
    Status s = program.Run();
    const ExprValue& v = program.Result();
    switch (v.type) {
    case 'C': key.assign(v.text); break;
    case 'N': {
        const NumericKey k = NumericKeyFromValue(v.number, program.Decimals());
        key.assign(reinterpret_cast<const char*>(k.data()), k.size());
        break;
    }
    case 'D': {
        const auto bits = std::bit_cast<uint64_t>(v.number);
        key.resize(8);
        for (size_t i = 0; i < 8; ++i) key[i] = static_cast<char>(bits >> (8 * i));
        break;
    }
    default: return Fail(254, "Wrong parser return type");
    }
    return s;
}

uint16_t MemoPoolSize() { return AttachedExpressionUnit().memo_pool_size; }
void SetMemoPoolSize(uint16_t size) { AttachedExpressionUnit().memo_pool_size = size; }

}  // namespace zurod
