// The engine's side of every case. Timed regions run from opening (or
// creating) the table to closing it; copying the starting table, and loading
// the virtual file that SortVFile sorts, is not timed.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/copy.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/expr/expr.hpp"
#include "engine/vfile/vfile.hpp"
#include "platform/codepage.hpp"

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
    const uint64_t expected_texts = RowsDigest(
        Rows(),
        [](const Row& r, TextDigest& d) {
            d.Add(r.date);
            d.Add(r.accname);
        },
        with_deleted);
    for (auto _ : state) {
        TWorkArea* a = Open(state, source, exclusive);
        if (!a) break;
        const FieldInfo& date = a->fields[kDate];
        const FieldInfo& account = a->fields[kAccName];
        const FieldInfo& amount = a->fields[kAmount];
        if (with_deleted) zurod::SetIgnoreDel(true);
        double sum = 0;
        TextDigest texts;
        int64_t seen = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            texts.Add(zurod::SwapString(*a, date));
            texts.Add(zurod::SwapString(*a, account));
            sum += zurod::SwapNumber(*a, amount);
            ++seen;
        }
        if (!Ok(state) || !Expect(state, seen, visible, "records walked")) break;
        if (!ExpectTotal(state, sum, with_deleted ? KeptAmountTotal() : AmountTotal(), "AMOUNT walked")) break;
        if (!ExpectDigest(state, texts, expected_texts, "DATE and ACCNAME walked")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

bool Shared(const benchmark::State& state) { return (state.range(1) & kShared) != 0; }
bool HideDeleted(const benchmark::State& state) { return (state.range(1) & kHideDeleted) != 0; }

// The virtual files' fields: a few of the history's, REF as the sort key.
constexpr Column kVColumns[] = {
    {"DATE", 'D', 8, 0}, {"DETAIL", 'C', 30, 0}, {"REF", 'C', 10, 0}, {"AMOUNT", 'N', 9, 2}};
enum VColumnNo { kVDate, kVDetail, kVRef, kVAmount };
constexpr int kSortedRecords = 50'000;

size_t VFileBufferSize() {
    size_t size = 1;
    for (const Column& c : kVColumns) {
        FieldInfo f;
        f.type = c.type;
        f.length = static_cast<uint8_t>(c.length);
        f.decimals = static_cast<uint8_t>(c.decimals);
        size += zurod::SlotSize(f);
    }
    return size;
}

// Random ten-digit keys, the same on every call.
const std::vector<std::string>& RandomKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> keys;
        std::mt19937_64 random(7);
        char text[24];
        for (int i = 0; i < kSortedRecords; ++i) {
            std::snprintf(text, sizeof text, "%010llu", static_cast<unsigned long long>(random() % 10'000'000'000ULL));
            keys.emplace_back(text);
        }
        return keys;
    }();
    return keys;
}

void RefKey(std::string& key) {
    const TWorkArea& a = *zurod::CurrentTable();
    key.assign(zurod::SwapString(a, a.fields[kVRef]));
}

// Opens a virtual file in `buffer` with the fields above; `words` may name a mode.
TWorkArea* OpenVirtual(benchmark::State& state, std::vector<char>& buffer, const std::string& words) {
    zurod::VFileInit();
    zurod::USE("SPLITS VIRTUAL FILE " + words, buffer);
    if (!Ok(state)) return nullptr;
    std::vector<zurod::FieldDef> defs;
    for (const Column& c : kVColumns) defs.push_back({c.name, c.type, c.length, c.decimals});
    zurod::AddStru(defs);
    zurod::Set_VFileKey_To(RefKey);
    return Ok(state) ? zurod::CurrentTable() : nullptr;
}

// Appends rows 0..count-1; the random keys replace their REF when given.
bool LoadVirtual(benchmark::State& state, TWorkArea& a, int count, const std::vector<std::string>* keys) {
    const std::vector<Row>& rows = Rows();
    const auto& f = a.fields;
    for (int i = 0; i < count; ++i) {
        const Row& r = rows[static_cast<size_t>(i)];
        zurod::ClearRecord();
        zurod::SetSwapString(a, f[kVDate], r.date);
        zurod::SetSwapString(a, f[kVDetail], r.detail);
        zurod::SetSwapString(a, f[kVRef], keys ? (*keys)[static_cast<size_t>(i)] : r.ref);
        zurod::SetSwapNumber(a, f[kVAmount], r.amount);
        zurod::Append();
        if (!Ok(state)) return false;
    }
    return true;
}

// False, after marking the run failed, unless the file holds `count` records
// in ascending key order.
bool ExpectSorted(benchmark::State& state, TWorkArea& a, int count) {
    if (!Expect(state, zurod::RecCount(), count, "records in the virtual file")) return false;
    std::string previous;
    for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
        const std::string_view key = zurod::SwapString(a, a.fields[kVRef]);
        if (key < previous) {
            state.SkipWithError(("key " + std::string(key) + " after " + previous).c_str());
            zurod::CloseArea();
            return false;
        }
        previous.assign(key);
    }
    return Ok(state);
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
        zurod::CreateDbf(path, defs);
        if (!Ok(state)) break;
        TWorkArea* a = Open(state, path, true);
        if (!a) break;
        bool ok = true;
        for (const Row& r : rows) {
            zurod::ClearRecord();
            PutRow(*a, r);
            zurod::Append();
            if (!(ok = Ok(state))) break;
        }
        if (!ok) break;
        zurod::CloseArea();
        if (!Ok(state)) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void OursRead(benchmark::State& state) {
    PrepareEngine();
    const std::string& source = MasterTable();
    const uint64_t expected_texts = RowsDigest(Rows(), [](const Row& r, TextDigest& d) { AddRowTexts(r, d, false); });
    for (auto _ : state) {
        TWorkArea* a = Open(state, source, !Shared(state));
        if (!a) break;
        double sum = 0;
        TextDigest texts;
        int64_t seen = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            for (const FieldInfo& f : a->fields) {
                if (f.type == 'N')
                    sum += zurod::SwapNumber(*a, f);
                else
                    texts.Add(zurod::SwapString(*a, f));
            }
            ++seen;
        }
        if (!Ok(state) || !Expect(state, seen, kRecords, "records read")) break;
        if (!ExpectTotal(state, sum, AmountAndBalanceTotal(), "AMOUNT and BALANCE read")) break;
        if (!ExpectDigest(state, texts, expected_texts, "texts read")) break;
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
    if (!state.error_occurred()) SameRecords(state, path, ExpectedReplacedRecords());
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
        if (!Ok(state) || !Expect(state, zurod::RecCount(), kRecords - kRecords / kDeleteEvery, "records kept")) break;
        zurod::CloseArea();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
    CountRecords(state);
}

void OursPack(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("pack_marked_ours.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTableWithDeleted(), path);
        state.ResumeTiming();

        if (!Open(state, path, true)) break;
        zurod::Pack();
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
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
    if (!state.error_occurred()) SameRecords(state, path, "");
    CountRecords(state);
}

void OursLocate(benchmark::State& state) {
    PrepareEngine();
    const bool hide = HideDeleted(state);
    const std::string& source = hide ? LocateTableWithDeleted() : LocateTable();
    const int32_t target = hide ? kRecords - 1 : kRecords;
    const auto by = static_cast<LocateBy>(state.range(0));
    for (auto _ : state) {
        if (!Open(state, source, !Shared(state))) break;
        if (hide) zurod::SetIgnoreDel(true);
        bool found = false;
        if (by == kByPrefix) {
            found = zurod::Locate("DETAIL", std::string(kLocatePrefix));
        } else if (by == kByExact) {
            found = zurod::Locate("DETAIL", std::string(kLastDetail), false, true);
        } else {
            // Locate takes no CONTAINED (it keeps the field name alone and sets
            // the switches itself). A Locate that finds the text at the start of
            // the first record, ParseLocateField turning the search into a
            // contained one, and Continue make the same scan from record 2.
            found = zurod::Locate("DETAIL", std::string(kContainedText), true) &&
                zurod::ParseLocateField("DETAIL NOCASE CONTAINED") > 0 && zurod::Continue();
        }
        if (!Ok(state) || !Expect(state, found ? zurod::RecNo() : 0, target, "record found")) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursSum(benchmark::State& state) {
    PrepareEngine();
    const bool filtered = state.range(0) > 0;
    const bool hide = HideDeleted(state);
    const double expected = filtered ? DebitTotal() : hide ? KeptAmountTotal() : AmountTotal();
    const std::string& source = hide ? MasterTableWithDeleted() : MasterTable();
    zurod::ExprInit();
    if (filtered) state.SetLabel("filter ACTION = \"Debit\"");
    for (auto _ : state) {
        if (!Open(state, source, !Shared(state))) break;
        if (hide) zurod::SetIgnoreDel(true);
        if (filtered) {
            zurod::Set_Filter_To("ACTION = \"Debit\"");
            if (!Ok(state)) break;
        }
        const double total = zurod::Sum("AMOUNT");
        if (!Ok(state)) break;
        zurod::CloseArea();
        if (!ExpectTotal(state, total, expected, "sum")) break;
    }
    CountRecords(state);
}

void OursCopyTo(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("copyto_ours.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTable(path);
        state.ResumeTiming();

        if (!Open(state, MasterTable(), true)) break;
        zurod::CopyTo(path);
        if (!Ok(state)) break;
        zurod::CloseArea();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

// state.range(0) 1: the source stands open, exclusive, in area 2 (AppendFrom
// then reads it there instead of opening it itself).
void OursAppendFrom(benchmark::State& state) {
    PrepareEngine();
    const bool source_open = state.range(0) > 0;
    const std::string path = PathIn("appendfrom_ours.dbf");
    // Built before any area is open: the build uses the current area.
    const std::string& source = MasterTable();
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(EmptyTable(), path);
        state.ResumeTiming();

        if (source_open) {
            zurod::Select(2);
            if (!Open(state, source, true)) break;
            zurod::Select(1);
        }
        if (!Open(state, path, true)) break;
        zurod::AppendFrom(source);
        if (!Ok(state) || !Expect(state, zurod::RecCount(), kRecords, "records appended")) break;
        zurod::CloseArea();
        if (source_open) {
            zurod::Select(2);
            zurod::CloseArea();
            zurod::Select(1);
        }
    }
    zurod::CloseAllAreas();
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void OursVFileFifo(benchmark::State& state) {
    PrepareEngine();
    std::vector<char> buffer(VFileBufferSize());
    const uint64_t expected_texts = RowsDigest(Rows(), [](const Row& r, TextDigest& d) {
        d.Add(r.detail);
        d.Add(r.ref);
    });
    for (auto _ : state) {
        TWorkArea* a = OpenVirtual(state, buffer, "FIFO");
        if (!a || !LoadVirtual(state, *a, kRecords, nullptr)) break;
        if (!Expect(state, zurod::RecCount(), kRecords, "records in the virtual file")) break;
        // What the file holds against the rows, untimed.
        state.PauseTiming();
        TextDigest texts;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            texts.Add(zurod::SwapString(*a, a->fields[kVDetail]));
            texts.Add(zurod::SwapString(*a, a->fields[kVRef]));
        }
        const bool right = ExpectDigest(state, texts, expected_texts, "DETAIL and REF in the virtual file");
        state.ResumeTiming();
        if (!right) break;
        zurod::CloseArea();
    }
    CountRecords(state);
}

void OursVFileSorted(benchmark::State& state) {
    PrepareEngine();
    std::vector<char> buffer(VFileBufferSize());
    const std::vector<std::string>& keys = RandomKeys();
    for (auto _ : state) {
        TWorkArea* a = OpenVirtual(state, buffer, "ASCENDING");
        if (!a || !LoadVirtual(state, *a, kSortedRecords, &keys)) break;
        // Checked untimed; a failed check ends the run.
        state.PauseTiming();
        if (!ExpectSorted(state, *a, kSortedRecords)) break;
        state.ResumeTiming();
        zurod::CloseArea();
    }
    CountRecords(state, kSortedRecords);
}

void OursVFileSort(benchmark::State& state) {
    PrepareEngine();
    std::vector<char> buffer(VFileBufferSize());
    const std::vector<std::string>& keys = RandomKeys();
    for (auto _ : state) {
        state.PauseTiming();
        TWorkArea* a = OpenVirtual(state, buffer, "FIFO");
        if (!a || !LoadVirtual(state, *a, kSortedRecords, &keys)) break;
        state.ResumeTiming();

        zurod::SortVFile(zurod::kAscending);
        if (!Ok(state)) break;
        state.PauseTiming();
        if (!ExpectSorted(state, *a, kSortedRecords)) break;
        state.ResumeTiming();
        zurod::CloseArea();
    }
    CountRecords(state, kSortedRecords);
}

}  // namespace bench
