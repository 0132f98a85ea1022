// The engine's side of every case. Timed regions run from opening (or
// creating) the table to closing it; copying the starting table is not timed.
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"

namespace bench {

namespace {

using zurod::FieldInfo;
using zurod::TWorkArea;

// False, after marking the run failed, when the engine reported an error.
bool Ok(benchmark::State& state) {
    if (zurod::LastErrorCode() == 0) return true;
    state.SkipWithError(zurod::LastErrorMessage().c_str());
    zurod::CloseArea();
    return false;
}

TWorkArea* Open(benchmark::State& state, const std::string& path, bool exclusive) {
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = exclusive;
    zurod::UseTable(use);
    return Ok(state) ? zurod::CurrentTable() : nullptr;
}

bool Expect(benchmark::State& state, int64_t got, int64_t wanted, const char* what) {
    if (got == wanted) return true;
    const std::string text = std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(wanted);
    state.SkipWithError(text.c_str());
    zurod::CloseArea();
    return false;
}

// Walks the table from the top and reads three fields of each visible record.
void Walk(benchmark::State& state, bool exclusive) {
    PrepareEngine();
    const bool with_deleted = state.range(0) > 0;
    const std::string& source = with_deleted ? MasterTableWithDeleted() : MasterTable();
    const int64_t visible = with_deleted ? kRecords - kRecords / kDeleteEvery : kRecords;
    for (auto _ : state) {
        TWorkArea* a = Open(state, source, exclusive);
        if (!a) break;
        const FieldInfo& date = a->fields[kDate];
        const FieldInfo& account = a->fields[kAccName];
        const FieldInfo& amount = a->fields[kAmount];
        if (with_deleted) zurod::SetIgnoreDel(true);
        double sum = 0;
        size_t chars = 0;
        int64_t seen = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            chars += zurod::SwapString(*a, date).size() + zurod::SwapString(*a, account).size();
            sum += zurod::SwapNumber(*a, amount);
            ++seen;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        if (!Ok(state) || !Expect(state, seen, visible, "records walked")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

}  // namespace

void OursAppend(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("append_ours.dbf");
    const std::vector<Row>& rows = Rows();
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTable(path);
        state.ResumeTiming();

        std::vector<zurod::FieldDef> defs;
        for (const Column& c : kColumns) defs.push_back({c.name, c.type, c.length, c.decimals});
        TWorkArea scratch;
        zurod::CreateDbf(scratch, path, defs);
        if (!Ok(state)) break;
        TWorkArea* a = Open(state, path, true);
        if (!a) break;
        const auto& f = a->fields;
        bool ok = true;
        for (const Row& r : rows) {
            zurod::ClearRecord();
            zurod::SetSwapString(*a, f[kDate], r.date);
            zurod::SetSwapString(*a, f[kDetail], r.detail);
            zurod::SetSwapString(*a, f[kSource], r.source);
            zurod::SetSwapString(*a, f[kDest], r.dest);
            zurod::SetSwapString(*a, f[kAction], r.action);
            zurod::SetSwapString(*a, f[kRef], r.ref);
            zurod::SetSwapString(*a, f[kCategory], r.category);
            zurod::SetSwapNumber(*a, f[kAmount], r.amount);
            zurod::SetSwapNumber(*a, f[kBalance], r.balance);
            zurod::SetSwapString(*a, f[kAccName], r.accname);
            zurod::Append();
            if (!(ok = Ok(state))) break;
        }
        if (!ok) break;
        zurod::CloseArea();
        if (!Ok(state)) break;
    }
    CountRecords(state);
}

void OursRead(benchmark::State& state) {
    PrepareEngine();
    const std::string& source = MasterTable();
    for (auto _ : state) {
        TWorkArea* a = Open(state, source, true);
        if (!a) break;
        double sum = 0;
        size_t chars = 0;
        int64_t seen = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            for (const FieldInfo& f : a->fields) {
                if (f.type == 'N') {
                    sum += zurod::SwapNumber(*a, f);
                } else {
                    const std::string_view text = zurod::SwapString(*a, f);
                    chars += text.size() + (text.empty() ? 0 : static_cast<unsigned char>(text[0]));
                }
            }
            ++seen;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(chars);
        if (!Ok(state) || !Expect(state, seen, kRecords, "records read")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursWalk(benchmark::State& state) { Walk(state, true); }
void OursWalkShared(benchmark::State& state) { Walk(state, false); }

void OursReplace(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("replace_ours.dbf");
    const std::vector<Row>& rows = Rows();
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        TWorkArea* a = Open(state, path, true);
        if (!a) break;
        const auto& f = a->fields;
        size_t i = 0;
        bool ok = true;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            const Row& r = rows[++i % rows.size()];
            zurod::SetSwapString(*a, f[kDetail], r.detail);
            zurod::SetSwapNumber(*a, f[kAmount], r.amount);
            zurod::SetSwapNumber(*a, f[kBalance], r.balance);
            zurod::Replace();
            if (!(ok = Ok(state))) break;
        }
        if (!ok) break;
        if (!Ok(state) || !Expect(state, static_cast<int64_t>(i), kRecords, "records replaced")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursDeletePack(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("pack_ours.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        if (!Open(state, path, true)) break;
        bool ok = true;
        for (int n = kDeleteEvery; n <= kRecords && ok; n += kDeleteEvery) {
            zurod::GO(n);
            zurod::DeleteRec();
            ok = Ok(state);
        }
        if (!ok) break;
        zurod::Pack();
        if (!Ok(state) || !Expect(state, zurod::RecCount(), kRecords - kRecords / kDeleteEvery, "records kept"))
            break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursZap(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("zap_ours.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        if (!Open(state, path, true)) break;
        zurod::Zap();
        if (!Ok(state) || !Expect(state, zurod::RecCount(), 0, "records after zap")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

}  // namespace bench
