// shapelib's attribute-table API on the same cases. It keeps texts and
// dates as stored (no code-page conversion, dates as YYYYMMDD).
#include <shapefil.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "platform/codepage.hpp"

namespace bench {

namespace {

// Closes the handle when the scope ends.
class Dbf {
public:
    explicit Dbf(DBFHandle h) : h_(h) {}
    ~Dbf() { Close(); }
    Dbf(const Dbf&) = delete;
    Dbf& operator=(const Dbf&) = delete;
    DBFHandle get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Close() {
        if (h_) DBFClose(h_);
        h_ = nullptr;
    }

private:
    DBFHandle h_;
};

bool Opened(benchmark::State& state, const Dbf& dbf, const std::string& path) {
    if (dbf) return true;
    state.SkipWithError(("shapelib cannot open " + path).c_str());
    return false;
}

bool Expect(benchmark::State& state, int64_t got, int64_t wanted, const char* what) {
    if (got == wanted) return true;
    state.SkipWithError(
        (std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(wanted)).c_str());
    return false;
}

// Copies every record of `from` after the records of `to` as raw tuples (the
// two tables have the same layout); false when a write fails.
bool CopyTuples(DBFHandle from, DBFHandle to) {
    const int count = DBFGetRecordCount(from);
    const int start = DBFGetRecordCount(to);
    bool ok = true;
    // The C API takes a non-const pointer but only reads the tuple.
    for (int i = 0; i < count && ok; ++i) ok = DBFWriteTuple(to, start + i, const_cast<char*>(DBFReadTuple(from, i)));
    return ok;
}

// What a shapelib user writes for a pack: the records without a delete mark
// copied into an empty clone, which then takes the table's place. Closes
// `dbf`; false after marking the run failed.
bool CopyKept(benchmark::State& state, Dbf& dbf, const std::string& path) {
    // shapelib puts its own extension on a new table's name.
    const std::string packed = path.substr(0, path.rfind('.')) + "_new.dbf";
    DBFHandle h = dbf.get();
    const int count = DBFGetRecordCount(h);
    Dbf out(DBFCloneEmpty(h, packed.c_str()));
    if (!Opened(state, out, packed)) return false;
    bool ok = true;
    int kept = 0;
    for (int i = 0; i < count && ok; ++i) {
        if (DBFIsRecordDeleted(h, i)) continue;
        // The C API takes a non-const pointer but only reads the tuple.
        ok = DBFWriteTuple(out.get(), kept++, const_cast<char*>(DBFReadTuple(h, i)));
    }
    out.Close();
    dbf.Close();
    if (!ok || std::rename(packed.c_str(), path.c_str()) != 0) {
        state.SkipWithError("shapelib failed to copy the kept records");
        return false;
    }
    return Expect(state, kept, kRecords - kRecords / kDeleteEvery, "records kept");
}

}  // namespace

void ShapelibAppend(benchmark::State& state) {
    const std::string path = PathIn("append_shapelib.dbf");
    const std::vector<Row>& rows = OemRows();
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTable(path);
        state.ResumeTiming();

        Dbf dbf(DBFCreate(path.c_str()));
        if (!Opened(state, dbf, path)) break;
        bool ok = true;
        for (const Column& c : kColumns) {
            const int added = c.type == 'C' ? DBFAddField(dbf.get(), c.name, FTString, c.length, 0)
                : c.type == 'N'             ? DBFAddField(dbf.get(), c.name, FTDouble, c.length, c.decimals)
                                            : DBFAddNativeFieldType(dbf.get(), c.name, c.type, c.length, 0);
            ok = ok && added >= 0;
        }
        DBFHandle h = dbf.get();
        for (int i = 0; i < kRecords && ok; ++i) {
            const Row& r = rows[i];
            // The string call would take a D field for a number and store
            // "       0"; the bytes go in as they are (the C API only reads them).
            ok = DBFWriteAttributeDirectly(h, i, kDate, const_cast<char*>(r.stored_date.c_str())) &&
                DBFWriteStringAttribute(h, i, kDetail, r.detail.c_str()) &&
                DBFWriteStringAttribute(h, i, kSource, r.source.c_str()) &&
                DBFWriteStringAttribute(h, i, kDest, r.dest.c_str()) &&
                DBFWriteStringAttribute(h, i, kAction, r.action.c_str()) &&
                DBFWriteStringAttribute(h, i, kRef, r.ref.c_str()) &&
                DBFWriteStringAttribute(h, i, kCategory, r.category.c_str()) &&
                DBFWriteDoubleAttribute(h, i, kAmount, r.amount) &&
                DBFWriteDoubleAttribute(h, i, kBalance, r.balance) &&
                DBFWriteStringAttribute(h, i, kAccName, r.accname.c_str());
        }
        if (!ok) {
            state.SkipWithError("shapelib failed to write a record");
            break;
        }
        dbf.Close();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void ShapelibRead(benchmark::State& state) {
    const std::string& source = MasterTable();
    const uint64_t expected_texts = RowsDigest(OemRows(), [](const Row& r, TextDigest& d) { AddRowTexts(r, d, true); });
    for (auto _ : state) {
        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        DBFHandle h = dbf.get();
        const int count = DBFGetRecordCount(h);
        double sum = 0;
        TextDigest texts;
        for (int i = 0; i < count; ++i) {
            for (int c = 0; c < kColumnCount; ++c) {
                if (kColumns[c].type == 'N') {
                    sum += DBFReadDoubleAttribute(h, i, c);
                } else {
                    const char* text = DBFReadStringAttribute(h, i, c);
                    texts.Add(text, std::char_traits<char>::length(text));
                }
            }
        }
        if (!Expect(state, count, kRecords, "records read")) break;
        if (!ExpectTotal(state, sum, AmountAndBalanceTotal(), "AMOUNT and BALANCE read")) break;
        if (!ExpectDigest(state, texts, expected_texts, "texts read")) break;
    }
    CountRecords(state);
}

void ShapelibWalk(benchmark::State& state) {
    const bool with_deleted = state.range(0) > 0;
    const std::string& source = with_deleted ? MasterTableWithDeleted() : MasterTable();
    const int64_t visible = with_deleted ? kRecords - kRecords / kDeleteEvery : kRecords;
    const uint64_t expected_texts = RowsDigest(
        OemRows(),
        [](const Row& r, TextDigest& d) {
            d.Add(r.stored_date);
            d.Add(r.accname);
        },
        with_deleted);
    for (auto _ : state) {
        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        DBFHandle h = dbf.get();
        const int count = DBFGetRecordCount(h);
        double sum = 0;
        TextDigest texts;
        int64_t seen = 0;
        for (int i = 0; i < count; ++i) {
            if (with_deleted && DBFIsRecordDeleted(h, i)) continue;
            const char* date = DBFReadStringAttribute(h, i, kDate);
            texts.Add(date, std::char_traits<char>::length(date));
            const char* account = DBFReadStringAttribute(h, i, kAccName);
            texts.Add(account, std::char_traits<char>::length(account));
            sum += DBFReadDoubleAttribute(h, i, kAmount);
            ++seen;
        }
        if (!Expect(state, seen, visible, "records walked")) break;
        if (!ExpectTotal(state, sum, with_deleted ? KeptAmountTotal() : AmountTotal(), "AMOUNT walked")) break;
        if (!ExpectDigest(state, texts, expected_texts, "DATE and ACCNAME walked")) break;
    }
    CountRecords(state);
}

void ShapelibReplace(benchmark::State& state) {
    const std::string path = PathIn("replace_shapelib.dbf");
    const std::vector<Row>& rows = OemRows();
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        Dbf dbf(DBFOpen(path.c_str(), "rb+"));
        if (!Opened(state, dbf, path)) break;
        DBFHandle h = dbf.get();
        const int count = DBFGetRecordCount(h);
        bool ok = true;
        for (int i = 0; i < count && ok; ++i) {
            const Row& r = rows[ReplacementRow(static_cast<size_t>(i))];
            ok = DBFWriteStringAttribute(h, i, kDetail, r.detail.c_str()) &&
                DBFWriteDoubleAttribute(h, i, kAmount, r.amount) && DBFWriteDoubleAttribute(h, i, kBalance, r.balance);
        }
        if (!ok) {
            state.SkipWithError("shapelib failed to replace a record");
            break;
        }
        dbf.Close();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedReplacedRecords());
    CountRecords(state);
}

void ShapelibDeleteCopy(benchmark::State& state) {
    const std::string path = PathIn("pack_shapelib.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        Dbf dbf(DBFOpen(path.c_str(), "rb+"));
        if (!Opened(state, dbf, path)) break;
        const int count = DBFGetRecordCount(dbf.get());
        bool ok = true;
        for (int i = kDeleteEvery - 1; i < count && ok; i += kDeleteEvery) ok = DBFMarkRecordDeleted(dbf.get(), i, 1);
        if (!ok) {
            state.SkipWithError("shapelib failed to mark a record");
            break;
        }
        if (!CopyKept(state, dbf, path)) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
    CountRecords(state);
}

void ShapelibPackCopy(benchmark::State& state) {
    const std::string path = PathIn("pack_marked_shapelib.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTableWithDeleted(), path);
        state.ResumeTiming();

        Dbf dbf(DBFOpen(path.c_str(), "rb"));
        if (!Opened(state, dbf, path) || !CopyKept(state, dbf, path)) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
    CountRecords(state);
}

void ShapelibLocate(benchmark::State& state) {
    PrepareEngine();  // the code pages, for the texts below
    const auto by = static_cast<LocateBy>(state.range(0));
    const bool hide = (state.range(1) & kHideDeleted) != 0;
    const std::string& source = hide ? LocateTableWithDeleted() : LocateTable();
    const int target = hide ? kRecords - 1 : kRecords;
    // shapelib hands out the stored (OEM) bytes without their outer blanks.
    const std::string prefix = platform::AnsiToOem(kLocatePrefix);
    const std::string exact = platform::AnsiToOem(kLastDetail);
    const std::string contained = platform::OemUpper(platform::AnsiToOem(kContainedText));
    std::array<char, 256> upper;
    for (size_t c = 0; c < upper.size(); ++c) upper[c] = platform::OemUpper(static_cast<char>(c));
    std::string work;
    for (auto _ : state) {
        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        DBFHandle h = dbf.get();
        const int count = DBFGetRecordCount(h);
        int found = -1;
        // The engine's contained search is a Continue from the second record.
        for (int i = by == kByContainedNoCase ? 1 : 0; i < count && found < 0; ++i) {
            if (hide && DBFIsRecordDeleted(h, i)) continue;
            const char* text = DBFReadStringAttribute(h, i, kDetail);
            bool match = false;
            if (by == kByPrefix) {
                match = std::strncmp(text, prefix.c_str(), prefix.size()) == 0;
            } else if (by == kByExact) {
                match = exact == text;
            } else {
                work.assign(text);
                for (char& c : work) c = upper[static_cast<unsigned char>(c)];
                match = work.find(contained) != std::string::npos;
            }
            if (match) found = i;
        }
        if (!Expect(state, found + 1, target, "record found")) break;
    }
    CountRecords(state);
}

void ShapelibSum(benchmark::State& state) {
    const bool filtered = state.range(0) > 0;
    const bool hide = (state.range(1) & kHideDeleted) != 0;
    const double expected = filtered ? DebitTotal() : hide ? KeptAmountTotal() : AmountTotal();
    const std::string& source = hide ? MasterTableWithDeleted() : MasterTable();
    for (auto _ : state) {
        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        DBFHandle h = dbf.get();
        const int count = DBFGetRecordCount(h);
        double total = 0;
        for (int i = 0; i < count; ++i) {
            if (hide && DBFIsRecordDeleted(h, i)) continue;
            if (filtered && std::strcmp(DBFReadStringAttribute(h, i, kAction), "Debit") != 0) continue;
            total += DBFReadDoubleAttribute(h, i, kAmount);
        }
        if (!ExpectTotal(state, total, expected, "sum")) break;
    }
    CountRecords(state);
}

void ShapelibCopyTo(benchmark::State& state) {
    const std::string& source = MasterTable();
    const std::string path = PathIn("copyto_shapelib.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTable(path);
        state.ResumeTiming();

        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        Dbf out(DBFCloneEmpty(dbf.get(), path.c_str()));
        if (!Opened(state, out, path)) break;
        const bool ok = CopyTuples(dbf.get(), out.get());
        const int copied = DBFGetRecordCount(out.get());
        out.Close();
        if (!ok) {
            state.SkipWithError("shapelib failed to copy a record");
            break;
        }
        if (!Expect(state, copied, kRecords, "records copied")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void ShapelibAppendFrom(benchmark::State& state) {
    const std::string& source = MasterTable();
    const std::string path = PathIn("appendfrom_shapelib.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(EmptyTable(), path);
        state.ResumeTiming();

        Dbf dbf(DBFOpen(source.c_str(), "rb"));
        if (!Opened(state, dbf, source)) break;
        Dbf out(DBFOpen(path.c_str(), "rb+"));
        if (!Opened(state, out, path)) break;
        const bool ok = CopyTuples(dbf.get(), out.get());
        const int appended = DBFGetRecordCount(out.get());
        out.Close();
        if (!ok) {
            state.SkipWithError("shapelib failed to append a record");
            break;
        }
        if (!Expect(state, appended, kRecords, "records appended")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

}  // namespace bench
