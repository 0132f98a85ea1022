// The index unit's cases: building the history's three tags, sorting the same
// (key, record) pairs with std::sort alone for comparison, Find on each tag
// with a warm node cache, and walking a million records in key order against
// the same walk in record order.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/expr/expr.hpp"
#include "engine/expr/keys.hpp"
#include "engine/index/index.hpp"

namespace bench {

namespace {

constexpr int kFinds = 100'000;
constexpr int kDaysPerCopy = kRecords / 4;  // the generator's four records a day

const std::vector<zurod::TagDescriptor>& HistoryTags() {
    static const std::vector<zurod::TagDescriptor> tags = {
        {"DETAIL", "DETAIL", "", false, false},
        {"AMOUNT", "AMOUNT", "", false, false},
        {"DATEKEY", "DTOS(DATE)+STR(RECNO())+DETAIL", "", false, false},
    };
    return tags;
}

// YYYYMMDD `days` later.
std::string ShiftDate(const std::string& yyyymmdd, int days) {
    using namespace std::chrono;
    const year_month_day d{sys_days{year{std::stoi(yyyymmdd.substr(0, 4))} / std::stoi(yyyymmdd.substr(4, 2)) /
                                    std::stoi(yyyymmdd.substr(6, 2))} +
                           std::chrono::days{days}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

// The master's rows ten times over, each copy dated after the one before, as
// a history grows: a million records in date order.
const std::string& MillionInDateOrder() {
    static const std::string path = TenCopies("million_dated.dbf", [](int copy, std::string& records, size_t length) {
        const std::vector<Row>& rows = Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            std::memcpy(records.data() + i * length + 1, ShiftDate(rows[i].stored_date, copy * kDaysPerCopy).data(), 8);
    });
    return path;
}

const std::string& Source(int64_t which) { return which == 0 ? MasterTable() : MillionInDateOrder(); }
int64_t Count(int64_t which) { return which == 0 ? kRecords : kMillion; }

bool Ok(benchmark::State& state) {
    if (zurod::LastErrorCode() == 0) return true;
    state.SkipWithError(zurod::LastErrorMessage().c_str());
    zurod::CloseArea();
    return false;
}

void StartIndexEngine() {
    PrepareEngine();
    zurod::ExprInit();
    if (zurod::CurrentOrder() == 0) {
        zurod::SetErrorHandling(false);
        zurod::IndexEngineClose();
        zurod::IndexInit();
    }
}

// A copy of the table with the three tags built and open, the given tag active.
bool OpenIndexed(benchmark::State& state, int64_t which, const char* tag) {
    static std::string built[2];
    const std::string path = PathIn(which == 0 ? "indexed_100k.dbf" : "indexed_1m.dbf");
    zurod::CloseArea();
    if (built[which].empty()) {
        CopyTable(Source(which), path);
        zurod::USE(path + " EXCLUSIVE");
        if (!zurod::MakeIndex(HistoryTags(), "")) return Ok(state);
        zurod::CloseArea();
        built[which] = path;
    }
    zurod::USE(path + " EXCLUSIVE");
    if (!Ok(state)) return false;
    if (tag) {
        zurod::SetIndexTo("");
        zurod::SetOrderToTag(tag);
    }
    return Ok(state);
}

// The keys the three tags hold for each record, made the way the engine
// makes them, with their record numbers.
template <size_t N>
struct Pair {
    std::array<char, N> key;
    uint32_t record;
};

struct Pairs {
    std::vector<Pair<30>> detail;
    std::vector<Pair<12>> amount;
    std::vector<Pair<48>> date;
};

const Pairs& PairsOf(int64_t which) {
    static Pairs pairs[2];
    Pairs& p = pairs[which];
    if (!p.detail.empty()) return p;
    const std::vector<Row>& rows = Rows();
    for (int32_t n = 1; n <= Count(which); ++n) {
        const Row& r = rows[static_cast<size_t>(n - 1) % rows.size()];
        const auto r32 = static_cast<uint32_t>(n);
        Pair<30> d{};
        std::string detail = r.detail;
        detail.resize(30, ' ');
        std::memcpy(d.key.data(), detail.data(), 30);
        d.record = r32;
        p.detail.push_back(d);
        Pair<12> a{};
        const zurod::NumericKey k = zurod::NumericKeyFromValue(r.amount, 2);
        std::memcpy(a.key.data(), k.data(), 12);
        a.record = r32;
        p.amount.push_back(a);
        char recno[16];
        std::snprintf(recno, sizeof recno, "%10d", n);
        const std::string date =
            ShiftDate(r.stored_date, which == 0 ? 0 : (n - 1) / kRecords * kDaysPerCopy) + recno + detail;
        Pair<48> t{};
        std::memcpy(t.key.data(), date.data(), 48);
        t.record = r32;
        p.date.push_back(t);
    }
    return p;
}

template <size_t N>
void SortBytes(std::vector<Pair<N>>& v) {
    std::sort(v.begin(), v.end(), [](const Pair<N>& x, const Pair<N>& y) {
        const int c = std::memcmp(x.key.data(), y.key.data(), N);
        return c != 0 ? c < 0 : x.record < y.record;
    });
}

}  // namespace

void OursIndexBuild(benchmark::State& state) {
    StartIndexEngine();
    const std::string path = PathIn("build_index.dbf");
    CopyTable(Source(state.range(0)), path);
    for (auto _ : state) {
        zurod::USE(path + " EXCLUSIVE");
        if (!Ok(state)) break;
        zurod::MakeIndex(HistoryTags(), "");
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    CountRecords(state, Count(state.range(0)));
}

void SortKeyPairs(benchmark::State& state) {
    const Pairs& source = PairsOf(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Pairs p = source;
        state.ResumeTiming();
        SortBytes(p.detail);
        std::sort(p.amount.begin(), p.amount.end(), [](const Pair<12>& x, const Pair<12>& y) {
            zurod::NumericKey a, b;
            std::memcpy(a.data(), x.key.data(), 12);
            std::memcpy(b.data(), y.key.data(), 12);
            const int c = zurod::CompareNumericKeys(a, b);
            return c != 0 ? c < 0 : x.record < y.record;
        });
        SortBytes(p.date);
        benchmark::DoNotOptimize(p);
    }
    CountRecords(state, Count(state.range(0)));
}

void OursIndexFind(benchmark::State& state) {
    StartIndexEngine();
    static const char* const tags[] = {"DETAIL", "AMOUNT", "DATEKEY"};
    const int tag = static_cast<int>(state.range(0));
    if (!OpenIndexed(state, 1, tags[tag])) return;
    // Keys of records picked at random, as the user types them.
    std::mt19937 random(7);
    std::vector<std::string> keys;
    const std::vector<Row>& rows = Rows();
    for (int i = 0; i < kFinds; ++i) {
        const int32_t n = static_cast<int32_t>(random() % kMillion) + 1;
        const Row& r = rows[static_cast<size_t>(n - 1) % rows.size()];
        char text[64];
        if (tag == 0) keys.push_back(r.detail);
        if (tag == 1) std::snprintf(text, sizeof text, "%.2f", r.amount), keys.emplace_back(text);
        if (tag == 2) {
            std::snprintf(text, sizeof text, "%10d", n);
            keys.push_back(ShiftDate(r.stored_date, (n - 1) / kRecords * kDaysPerCopy) + text + r.detail);
        }
    }
    for (const std::string& k : keys) zurod::Find(k);  // warms the node cache
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const std::string& k : keys) found += zurod::Find(k);
    }
    if (found != kFinds) state.SkipWithError("a key was not found");
    state.counters["per_find"] = benchmark::Counter(
        static_cast<double>(kFinds), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    zurod::CloseArea();
}

void OursIndexWalk(benchmark::State& state) {
    StartIndexEngine();
    static const char* const tags[] = {nullptr, "DATEKEY", "DETAIL"};
    if (!OpenIndexed(state, 1, tags[state.range(0)])) return;
    int64_t visited = 0;
    for (auto _ : state) {
        visited = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++visited;
        if (!Ok(state)) return;
    }
    if (visited != kMillion) state.SkipWithError("not every record was visited");
    zurod::CloseArea();
    CountRecords(state, kMillion);
}

namespace {

// An empty table with the three tags, opened (shared under its append lock).
zurod::TWorkArea* OpenEmptyIndexed(benchmark::State& state, const std::string& path, bool shared) {
    CopyTable(EmptyTable(), path);
    zurod::USE(path + " EXCLUSIVE");
    zurod::MakeIndex(HistoryTags(), "");
    zurod::CloseArea();
    zurod::USE(path + (shared ? "" : " EXCLUSIVE"));
    zurod::SetIndexTo("");
    if (shared && !zurod::ALock()) state.SkipWithError("no append lock");
    return Ok(state) ? zurod::CurrentTable() : nullptr;
}

}  // namespace

void OursIndexedAppend(benchmark::State& state) {
    StartIndexEngine();
    const bool shared = state.range(0) != 0;
    const std::string path = PathIn("indexed_append.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        zurod::TWorkArea* a = OpenEmptyIndexed(state, path, shared);
        state.ResumeTiming();
        if (!a) break;
        for (const Row& r : Rows()) {
            zurod::ClearRecord();
            PutRow(*a, r);
            zurod::Append();
            if (!Ok(state)) return;
        }
        state.PauseTiming();
        zurod::Unlock();
        zurod::CloseArea();
        state.ResumeTiming();
    }
    CountRecords(state);
}

void OursIndexedReplace(benchmark::State& state) {
    StartIndexEngine();
    const std::vector<Row>& rows = Rows();
    for (auto _ : state) {
        state.PauseTiming();
        if (!OpenIndexed(state, 0, "DATEKEY")) return;
        zurod::TWorkArea* a = zurod::CurrentTable();
        state.ResumeTiming();
        // A new amount: the record moves in the AMOUNT tag only.
        for (int32_t n = 1; n <= kRecords; ++n) {
            zurod::GO(n);
            zurod::SetSwapNumber(*a, a->fields[kAmount], rows[static_cast<size_t>(kRecords - n)].amount);
            zurod::Replace();
            if (!Ok(state)) return;
        }
        state.PauseTiming();
        zurod::CloseArea();
        state.ResumeTiming();
    }
    CountRecords(state);
}

}  // namespace bench
