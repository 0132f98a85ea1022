// The index unit's cases: building the history's three tags, sorting the same
// (key, record) pairs with std::sort alone for comparison, Find on each tag
// with a warm node cache, and walking a million records in key order against
// the same walk in record order.
#include <algorithm>
#include <array>
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
constexpr const char* kTagNames[] = {"DETAIL", "AMOUNT", "DATEKEY"};

const std::vector<zurod::TagDescriptor>& HistoryTags() {
    static const std::vector<zurod::TagDescriptor> tags = {
        {"DETAIL", "DETAIL", "", false, false},
        {"AMOUNT", "AMOUNT", "", false, false},
        {"DATEKEY", "DTOS(DATE)+STR(RECNO())+DETAIL", "", false, false},
    };
    return tags;
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

// The record numbers in the order of `key(n)` (ties by record number) for
// records 1..count: what a walk in a tag must visit. `Key` gives bytes that
// compare as the tag's keys do.
template <typename Key>
std::vector<int32_t> OrderBy(int64_t count, Key key) {
    using K = decltype(key(1));
    std::vector<std::pair<K, int32_t>> pairs;
    pairs.reserve(static_cast<size_t>(count));
    for (int32_t n = 1; n <= count; ++n) pairs.emplace_back(key(n), n);
    std::sort(pairs.begin(), pairs.end());
    std::vector<int32_t> order;
    order.reserve(pairs.size());
    for (const auto& p : pairs) order.push_back(p.second);
    return order;
}

// The tags' orders over the master (which 0) or the dated million (1), from
// the rows alone: texts in the table's page, as the tags hold them.
const std::vector<int32_t>& ExpectedOrder(int64_t which, int tag) {
    static std::vector<int32_t> orders[2][4];
    std::vector<int32_t>& order = orders[which][tag + 1];
    if (!order.empty()) return order;
    const std::vector<Row>& oem = OemRows();
    const auto detail = [&](int32_t n) {
        std::string d = oem[static_cast<size_t>(n - 1) % oem.size()].detail;
        d.resize(30, ' ');
        return d;
    };
    const int64_t count = Count(which);
    if (tag < 0) {
        for (int32_t n = 1; n <= count; ++n) order.push_back(n);
    } else if (tag == 0) {
        order = OrderBy(count, detail);
    } else if (tag == 1) {
        order = OrderBy(count, [&](int32_t n) { return RowOf(n).amount; });
    } else {
        order = OrderBy(count, [&](int32_t n) {
            char recno[16];
            std::snprintf(recno, sizeof recno, "%10d", n);
            return StoredDateOf(static_cast<int>(which), n) + recno + detail(n);
        });
    }
    return order;
}

// False, after marking the run failed, unless a walk of the current area in
// `tag` (nullptr: record order) visits `expected` in turn.
bool CheckOrder(benchmark::State& state, const char* tag, const std::vector<int32_t>& expected) {
    if (tag) zurod::SetOrderToTag(tag);
    size_t i = 0;
    for (zurod::GoTop(); !zurod::dEOF() && i < expected.size(); zurod::SKIP(1), ++i) {
        if (zurod::RecNo() == expected[i]) continue;
        state.SkipWithError((std::string("order ") + (tag ? tag : "of records") + ": record " +
                             std::to_string(zurod::RecNo()) + " at place " + std::to_string(i + 1) + ", expected " +
                             std::to_string(expected[i]))
                                .c_str());
        return false;
    }
    if (!Ok(state)) return false;
    if (i == expected.size() && zurod::dEOF()) return true;
    state.SkipWithError((std::string("order ") + (tag ? tag : "of records") + ": " + std::to_string(i) +
                         " records, expected " + std::to_string(expected.size()))
                            .c_str());
    return false;
}

// Every tag of the open index against the rows.
bool CheckTags(benchmark::State& state, int64_t which) {
    for (int tag = 0; tag < 3; ++tag)
        if (!CheckOrder(state, kTagNames[tag], ExpectedOrder(which, tag))) return false;
    return true;
}

}  // namespace

const std::vector<std::string>& FindKeys(int tag) {
    static std::vector<std::string> keys[3];
    std::vector<std::string>& k = keys[tag];
    if (!k.empty()) return k;
    for (const int32_t n : RandomRecords()) {
        const Row& r = RowOf(n);
        char text[64];
        if (tag == 0) k.push_back(r.detail);
        if (tag == 1) std::snprintf(text, sizeof text, "%.2f", r.amount), k.emplace_back(text);
        if (tag == 2) {
            std::snprintf(text, sizeof text, "%10d", n);
            k.push_back(StoredDateOf(1, n) + text + r.detail);
        }
    }
    return k;
}

void OursIndexBuild(benchmark::State& state) {
    StartIndexEngine();
    const int64_t which = state.range(0);
    const std::string path = PathIn("build_index.dbf");
    CopyTable(Source(which), path);
    double peak = 0;
    for (auto _ : state) {
        zurod::USE(path + " EXCLUSIVE");
        if (!Ok(state)) break;
        double grown = 0;
        {
            PeakMemory memory;
            zurod::MakeIndex(HistoryTags(), "");
            grown = memory.GrowthMb();
        }
        peak = std::max(peak, grown);
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    state.counters["peak_mb"] = peak;
    if (!state.error_occurred()) {
        zurod::USE(path + " EXCLUSIVE");
        zurod::SetIndexTo("");
        if (Ok(state)) CheckTags(state, which);
        zurod::CloseArea();
    }
    CountRecords(state, Count(which));
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
    const int tag = static_cast<int>(state.range(0));
    if (!OpenIndexed(state, 1, kTagNames[tag])) return;
    const std::vector<std::string>& keys = FindKeys(tag);
    // The first round, untimed, warms the node cache and checks that each
    // Find lands on a record holding the key.
    zurod::TWorkArea* a = zurod::CurrentTable();
    const std::vector<int32_t>& records = RandomRecords();
    for (size_t i = 0; i < keys.size(); ++i) {
        const bool found = zurod::Find(keys[i]);
        const Row& r = RowOf(records[i]);
        std::string_view detail = zurod::SwapString(*a, a->fields[kDetail]);
        while (!detail.empty() && detail.back() == ' ') detail.remove_suffix(1);
        const bool right = tag == 0 ? detail == r.detail
            : tag == 1              ? zurod::SwapNumber(*a, a->fields[kAmount]) == r.amount
                                    : zurod::RecNo() == records[i];
        if (!found || !right) {
            state.SkipWithError(("Find(\"" + Excerpt(keys[i], 48) + "\") stands on record " +
                                 std::to_string(zurod::RecNo()) + " \"" +
                                 Excerpt(zurod::SwapString(*a, a->fields[kDetail]), 48) + "\"")
                                    .c_str());
            zurod::CloseArea();
            return;
        }
    }
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

// state.range(0): the tag (0: record order); range(1): which table.
void OursIndexWalk(benchmark::State& state) {
    StartIndexEngine();
    static const char* const tags[] = {nullptr, "DATEKEY", "DETAIL"};
    const int tag = static_cast<int>(state.range(0));
    const int64_t which = state.range(1);
    if (!OpenIndexed(state, which, tags[tag])) return;
    int64_t visited = 0;
    for (auto _ : state) {
        visited = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++visited;
        if (!Ok(state)) return;
    }
    if (visited != Count(which)) state.SkipWithError("not every record was visited");
    if (!state.error_occurred()) CheckOrder(state, tags[tag], ExpectedOrder(which, tag == 0 ? -1 : tag == 1 ? 2 : 0));
    zurod::CloseArea();
    CountRecords(state, Count(which));
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
    if (!state.error_occurred() && SameRecords(state, path, ExpectedMasterRecords())) {
        zurod::USE(path + " EXCLUSIVE");
        zurod::SetIndexTo("");
        if (Ok(state)) CheckTags(state, 0);
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursIndexedReplace(benchmark::State& state) {
    StartIndexEngine();
    const std::vector<Row>& rows = Rows();
    const auto amount = [&](int32_t n) { return rows[static_cast<size_t>(kRecords - n)].amount; };
    for (auto _ : state) {
        state.PauseTiming();
        if (!OpenIndexed(state, 0, "DATEKEY")) return;
        zurod::TWorkArea* a = zurod::CurrentTable();
        state.ResumeTiming();
        // A new amount: the record moves in the AMOUNT tag only.
        for (int32_t n = 1; n <= kRecords; ++n) {
            zurod::GO(n);
            zurod::SetSwapNumber(*a, a->fields[kAmount], amount(n));
            zurod::Replace();
            if (!Ok(state)) return;
        }
        state.PauseTiming();
        if (!CheckOrder(state, "AMOUNT", OrderBy(kRecords, amount)) ||
            !CheckOrder(state, "DATEKEY", ExpectedOrder(0, 2)))
            return;
        zurod::CloseArea();
        state.ResumeTiming();
    }
    CountRecords(state);
}

}  // namespace bench
