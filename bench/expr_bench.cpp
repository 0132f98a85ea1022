// The expression language: single evaluations over the history's records,
// a filtered walk and a sum of an expression over 1,000,000 records, and the
// loops a shapelib user writes for the same walk and sum.
#include <shapefil.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/expr/expr.hpp"

namespace bench {

namespace {

constexpr int kEvaluations = 1'000'000;

// The three expressions of the evaluation cases, by state.range(0).
constexpr const char* kExpressions[] = {
    "DTOS(DATE)+STR(RECNO())+DETAIL",
    "AMOUNT > 990000 .AND. ACTION = 'D'",
    "UPPER(TRIM(DETAIL)) $ 'RENT'",
};

// About 1% of the records: the large debits.
constexpr const char* kFilter = "ACTION = 'Debit' .AND. AMOUNT > 485";
constexpr double kFilterAmount = 485;
constexpr const char* kSumExpression = "AMOUNT * 2 - BALANCE / 100";

bool Ok(benchmark::State& state) {
    if (zurod::LastErrorCode() == 0) return true;
    state.SkipWithError(zurod::LastErrorMessage().c_str());
    zurod::CloseAllAreas();
    return false;
}

bool Open(benchmark::State& state, const std::string& path) {
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
    return Ok(state);
}

// Seconds per evaluation, shown as ns.
void CountEvaluations(benchmark::State& state, int64_t per_iteration) {
    state.counters["per_eval"] = benchmark::Counter(static_cast<double>(state.iterations() * per_iteration),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// What the filter and the sum expression compute, from shapelib's values.
bool FilterHolds(const char* action, double amount) {
    return std::strncmp(action, "Debit", 5) == 0 && amount > kFilterAmount;
}

}  // namespace

void OursEvaluate(benchmark::State& state) {
    PrepareEngine();
    zurod::ExprInit();
    if (!Open(state, MasterTable())) return;
    zurod::TWorkArea& a = *zurod::CurrentTable();
    // Every record as the record buffer holds it (in the engine's page), so
    // that the timed loop does nothing but point the area at a record and
    // evaluate.
    std::vector<char> records;
    for (zurod::RecordBlockReader r(a, 1, a.rec_count); r.Next();) {
        zurod::TranslateRecord(zurod::Direction::Read, a.oem, a.read_hook, r.Records(), a.record_length);
        records.insert(records.end(), r.Records().begin(), r.Records().end());
    }
    zurod::ExprProgramPtr program = zurod::AssignExpr(kExpressions[state.range(0)]);
    if (!Ok(state)) return;
    state.SetLabel(kExpressions[state.range(0)]);
    const std::span<char> own = a.record;
    const size_t rl = a.record_length;
    size_t checksum = 0;
    for (auto _ : state) {
        for (int i = 0; i < kEvaluations; ++i) {
            const int n = i % kRecords;
            a.record = {records.data() + static_cast<size_t>(n) * rl, rl};
            a.rec_no = n + 1;
            (void)program->Run();
            const zurod::ExprValue& v = program->Result();
            checksum += v.text.size() + (v.logical ? 1 : 0);
        }
    }
    a.record = own;
    benchmark::DoNotOptimize(checksum);
    zurod::CloseArea();
    CountEvaluations(state, kEvaluations);
}

void OursFilteredWalk(benchmark::State& state) {
    PrepareEngine();
    zurod::ExprInit();
    const std::string& source = MillionTable();
    int64_t visible = 0;
    for (auto _ : state) {
        if (!Open(state, source)) break;
        zurod::Set_Filter_To(kFilter);
        visible = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++visible;
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    state.counters["visible"] = static_cast<double>(visible);
    CountRecords(state, kMillion);
}

void OursSumExpression(benchmark::State& state) {
    PrepareEngine();
    zurod::ExprInit();
    const std::string& source = MillionTable();
    double total = 0;
    for (auto _ : state) {
        if (!Open(state, source)) break;
        total = zurod::Sum(kSumExpression);
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    state.counters["sum"] = total;
    CountRecords(state, kMillion);
}

namespace {

// Runs `per_record(h, i)` over every record of the million-record table per
// iteration; `result` is what the last run gave.
template <typename PerRecord>
void ShapelibLoop(benchmark::State& state, const char* counter, PerRecord per_record) {
    const std::string& source = MillionTable();
    double result = 0;
    for (auto _ : state) {
        DBFHandle h = DBFOpen(source.c_str(), "rb");
        if (!h) {
            state.SkipWithError("shapelib cannot open the table");
            break;
        }
        const int count = DBFGetRecordCount(h);
        result = 0;
        for (int i = 0; i < count; ++i) result += per_record(h, i);
        DBFClose(h);
    }
    state.counters[counter] = result;
    CountRecords(state, kMillion);
}

}  // namespace

void ShapelibFilteredWalk(benchmark::State& state) {
    ShapelibLoop(state, "visible", [](DBFHandle h, int i) {
        return FilterHolds(DBFReadStringAttribute(h, i, kAction), DBFReadDoubleAttribute(h, i, kAmount)) ? 1.0 : 0.0;
    });
}

void ShapelibSumExpression(benchmark::State& state) {
    ShapelibLoop(state, "sum", [](DBFHandle h, int i) {
        return DBFReadDoubleAttribute(h, i, kAmount) * 2 - DBFReadDoubleAttribute(h, i, kBalance) / 100;
    });
}

}  // namespace bench
