// The expression language: single evaluations over the history's records,
// a filtered walk and a sum of an expression over 1,000,000 records, and the
// loops a shapelib user writes for the same walk and sum.
#include <shapefil.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
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
#include "platform/codepage.hpp"

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
// A constant call and a comparison that is false for most records first:
// the debits of the last years (about 9%).
constexpr const char* kDateFilter = "DATE >= CTOD(\"01/01/2040\") .AND. ACTION = \"Debit\"";
constexpr const char* kDateFrom = "20400101";
// A function call on a field, beyond the plain comparisons of the fast path:
// the same records as kFilter.
constexpr const char* kCallFilter = "UPPER(ACTION) = 'DEBIT' .AND. AMOUNT > 485";

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

// What the filters and the sum give over the million records, from the rows.
int64_t FilterCount() {
    static const int64_t count = [] {
        int64_t n = 0;
        for (const Row& r : Rows()) n += r.action == "Debit" && r.amount > kFilterAmount;
        return n * (kMillion / kRecords);
    }();
    return count;
}

int64_t DateFilterCount() {
    static const int64_t count = [] {
        int64_t n = 0;
        for (const Row& r : Rows()) n += r.stored_date >= kDateFrom && r.action == "Debit";
        return n * (kMillion / kRecords);
    }();
    return count;
}

double SumExpressionTotal() {
    static const double total = [] {
        double t = 0;
        for (const Row& r : Rows()) t += r.amount * 2 - r.balance / 100;
        return t * (kMillion / kRecords);
    }();
    return total;
}

bool ExpectCount(benchmark::State& state, int64_t got, int64_t wanted, const char* what) {
    if (got == wanted) return true;
    state.SkipWithError(
        (std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(wanted)).c_str());
    return false;
}

// Sums in another order differ in the last bits only.
bool ExpectClose(benchmark::State& state, double got, double wanted, const char* what) {
    if (std::fabs(got - wanted) <= 1e-9 * std::fabs(wanted)) return true;
    state.SkipWithError(
        (std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(wanted)).c_str());
    return false;
}

// What expression `which` of the evaluation cases gives for record n, from
// the rows: the key text, or the logical value as "T" or "F".
std::string ExpectedValue(int which, int32_t n) {
    const Row& r = Rows()[static_cast<size_t>(n - 1)];
    if (which == 0) {
        char recno[16];
        std::snprintf(recno, sizeof recno, "%10d", n);
        std::string detail = r.detail;
        detail.resize(30, ' ');
        return r.stored_date + recno + detail;
    }
    if (which == 1) return r.amount > 990000 && r.action.starts_with("D") ? "T" : "F";
    const std::string upper = platform::AnsiUpper(r.detail);
    return !upper.empty() && std::string_view("RENT").find(upper) != std::string_view::npos ? "T" : "F";
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
    benchmark::DoNotOptimize(checksum);
    // Every record's value against the rows, once, untimed.
    const int which = static_cast<int>(state.range(0));
    for (int n = 1; n <= kRecords && !state.error_occurred(); ++n) {
        a.record = {records.data() + static_cast<size_t>(n - 1) * rl, rl};
        a.rec_no = n;
        (void)program->Run();
        const zurod::ExprValue& v = program->Result();
        const std::string got = v.type == 'L' ? (v.logical ? "T" : "F") : std::string(v.text);
        if (got != ExpectedValue(which, n))
            state.SkipWithError(("record " + std::to_string(n) + " gives \"" + got + "\"").c_str());
    }
    a.record = own;
    zurod::CloseArea();
    CountEvaluations(state, kEvaluations);
}

// state.range(0) 1: the date filter; 2: the filter that calls UPPER().
void OursFilteredWalk(benchmark::State& state) {
    PrepareEngine();
    zurod::ExprInit();
    const bool dated = state.range(0) == 1;
    const char* filter = dated ? kDateFilter : state.range(0) == 2 ? kCallFilter : kFilter;
    const std::string& source = MillionTable();
    int64_t visible = 0;
    for (auto _ : state) {
        if (!Open(state, source)) break;
        zurod::Set_Filter_To(filter);
        visible = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++visible;
        if (!Ok(state)) break;
        zurod::CloseArea();
        if (!ExpectCount(state, visible, dated ? DateFilterCount() : FilterCount(), "records shown")) break;
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
        if (!ExpectClose(state, total, SumExpressionTotal(), "sum")) break;
    }
    state.counters["sum"] = total;
    CountRecords(state, kMillion);
}

namespace {

// Runs `per_record(h, i)` over every record of the million-record table per
// iteration; `result` is what the last run gave.
template <typename PerRecord, typename Check>
void ShapelibLoop(benchmark::State& state, const char* counter, PerRecord per_record, Check check) {
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
        if (!check(result)) break;
    }
    state.counters[counter] = result;
    CountRecords(state, kMillion);
}

}  // namespace

void ShapelibFilteredWalk(benchmark::State& state) {
    ShapelibLoop(
        state, "visible",
        [](DBFHandle h, int i) {
            return FilterHolds(DBFReadStringAttribute(h, i, kAction), DBFReadDoubleAttribute(h, i, kAmount)) ? 1.0
                                                                                                             : 0.0;
        },
        [&](double n) { return ExpectCount(state, static_cast<int64_t>(n), FilterCount(), "records shown"); });
}

// The upper-cased text compared, as UPPER(ACTION) = 'DEBIT' asks.
void ShapelibCallFilteredWalk(benchmark::State& state) {
    ShapelibLoop(
        state, "visible",
        [](DBFHandle h, int i) {
            char upper[16] = {};
            std::strncpy(upper, DBFReadStringAttribute(h, i, kAction), sizeof upper - 1);
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return std::strncmp(upper, "DEBIT", 5) == 0 && DBFReadDoubleAttribute(h, i, kAmount) > kFilterAmount ? 1.0
                                                                                                                 : 0.0;
        },
        [&](double n) { return ExpectCount(state, static_cast<int64_t>(n), FilterCount(), "records shown"); });
}

void ShapelibSumExpression(benchmark::State& state) {
    ShapelibLoop(
        state, "sum",
        [](DBFHandle h, int i) {
            return DBFReadDoubleAttribute(h, i, kAmount) * 2 - DBFReadDoubleAttribute(h, i, kBalance) / 100;
        },
        [&](double total) { return ExpectClose(state, total, SumExpressionTotal(), "sum"); });
}

void HandFilteredWalk(benchmark::State& state) {
    const std::string& source = MillionTable();
    int64_t visible = 0;
    for (auto _ : state) {
        std::FILE* f = std::fopen(source.c_str(), "rb");
        if (!f) {
            state.SkipWithError("cannot open the table");
            break;
        }
        unsigned char head[32];
        if (std::fread(head, 1, sizeof head, f) != sizeof head) {
            std::fclose(f);
            state.SkipWithError("cannot read the header");
            break;
        }
        const size_t hl = head[8] | size_t{head[9]} << 8, rl = head[10] | size_t{head[11]} << 8;
        const size_t count = head[4] | size_t{head[5]} << 8 | size_t{head[6]} << 16 | size_t{head[7]} << 24;
        // DATE at 1, ACTION after DATE, DETAIL, SOURCE and DEST.
        const size_t date_at = 1, action_at = 1 + 8 + 30 + 30 + 30;
        std::vector<char> block(std::max<size_t>((size_t{1} << 20) / rl, 1) * rl);
        std::fseek(f, static_cast<long>(hl), SEEK_SET);
        visible = 0;
        for (size_t done = 0; done < count;) {
            const size_t want = std::min(block.size() / rl, count - done);
            if (std::fread(block.data(), rl, want, f) != want) break;
            for (size_t i = 0; i < want; ++i) {
                const char* rec = block.data() + i * rl;
                visible += rec[0] != '*' && std::memcmp(rec + date_at, kDateFrom, 8) >= 0 &&
                    std::memcmp(rec + action_at, "Debit   ", 8) == 0;
            }
            done += want;
        }
        std::fclose(f);
        if (!ExpectCount(state, visible, DateFilterCount(), "records shown")) break;
    }
    state.counters["visible"] = static_cast<double>(visible);
    CountRecords(state, kMillion);
}

}  // namespace bench
