// xbase64's table class on the same cases, with its automatic locking off
// (the tables are the process's own, as the engine's exclusive areas are).
//
// The packaged 3.1.2 is broken on 64-bit systems: the record count it reads
// from the header keeps stale bytes in its upper half. Appends therefore
// seek to nonsense and fail, its own end-of-file test never fires, and Zap
// frees a file twice (so there is no zap case). The cases below use the low
// 32 bits of the count and stop reading at the last record themselves.
#include <fcntl.h>

#include <string>
#include <vector>

#include <xbase64/xbase64.h>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"

namespace bench {

namespace {

bool Ok(benchmark::State& state, xbShort rc, const char* what) {
    if (rc == XB_NO_ERROR) return true;
    state.SkipWithError((std::string("xbase64 ") + what + ": " + xbXBase::GetErrorMessage(rc)).c_str());
    return false;
}

// The record count without the stale upper half.
xbLong Count(xbDbf& d) { return d.NoOfRecords() & 0xFFFFFFFFL; }

bool Expect(benchmark::State& state, int64_t got, int64_t wanted, const char* what) {
    if (got == wanted) return true;
    state.SkipWithError(
        (std::string(what) + ": " + std::to_string(got) + ", expected " + std::to_string(wanted)).c_str());
    return false;
}

// One table of the library, closed when the scope ends.
struct Table {
    xbXBase base;
    xbDbf dbf{&base};
    ~Table() {
        if (dbf.GetDbfStatus() != XB_CLOSED) dbf.CloseDatabase();
    }
    xbShort Open(const std::string& path) {
        const xbShort rc = dbf.OpenDatabase(path.c_str());
        if (rc == XB_NO_ERROR) dbf.AutoLockOff();
        return rc;
    }
};

}  // namespace

void XbaseAppend(benchmark::State& state) {
    const std::string path = PathIn("append_xbase64.dbf");
    const std::vector<Row>& rows = OemRows();
    std::vector<xbSchema> schema;
    for (const Column& c : kColumns) {
        xbSchema s{};
        std::string(c.name).copy(s.FieldName, sizeof s.FieldName - 1);
        s.Type = c.type;
        s.FieldLen = static_cast<unsigned char>(c.length);
        s.NoOfDecs = static_cast<unsigned char>(c.decimals);
        schema.push_back(s);
    }
    schema.push_back(xbSchema{});
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTable(path);
        state.ResumeTiming();

        Table t;
        if (!Ok(state, t.dbf.CreateDatabase(path.c_str(), schema.data(), XB_OVERLAY), "create")) break;
        t.dbf.AutoLockOff();
        xbDbf& d = t.dbf;
        bool ok = true;
        for (const Row& r : rows) {
            d.BlankRecord();
            d.PutField(kDate, r.stored_date.c_str());
            d.PutField(kDetail, r.detail.c_str());
            d.PutField(kSource, r.source.c_str());
            d.PutField(kDest, r.dest.c_str());
            d.PutField(kAction, r.action.c_str());
            d.PutField(kRef, r.ref.c_str());
            d.PutField(kCategory, r.category.c_str());
            d.PutDoubleField(kAmount, r.amount);
            d.PutDoubleField(kBalance, r.balance);
            d.PutField(kAccName, r.accname.c_str());
            if (!(ok = Ok(state, d.AppendRecord(), "append"))) break;
        }
        if (!ok || !Ok(state, d.CloseDatabase(), "close")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void XbaseRead(benchmark::State& state) {
    const std::string& source = MasterTable();
    const uint64_t expected_texts = RowsDigest(OemRows(), [](const Row& r, TextDigest& d) { AddRowTexts(r, d, true); });
    for (auto _ : state) {
        Table t;
        if (!Ok(state, t.Open(source), "open")) break;
        xbDbf& d = t.dbf;
        char text[256];
        double sum = 0;
        TextDigest texts;
        int64_t seen = 0;
        const xbLong count = Count(d);
        xbShort rc = count > 0 ? d.GetFirstRecord() : XB_EOF;
        while (rc == XB_NO_ERROR) {
            for (int c = 0; c < kColumnCount; ++c) {
                if (kColumns[c].type == 'N')
                    sum += d.GetDoubleField(static_cast<xbShort>(c));
                else
                    texts.Add(text, static_cast<size_t>(d.GetField(static_cast<xbShort>(c), text)));
            }
            rc = ++seen < count ? d.GetNextRecord() : static_cast<xbShort>(XB_EOF);
        }
        if (rc != XB_EOF && !Ok(state, rc, "read")) break;
        if (!Expect(state, seen, kRecords, "records read")) break;
        if (!ExpectTotal(state, sum, AmountAndBalanceTotal(), "AMOUNT and BALANCE read")) break;
        if (!ExpectDigest(state, texts, expected_texts, "texts read")) break;
    }
    CountRecords(state);
}

void XbaseReplace(benchmark::State& state) {
    const std::string path = PathIn("replace_xbase64.dbf");
    const std::vector<Row>& rows = OemRows();
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        Table t;
        if (!Ok(state, t.Open(path), "open")) break;
        xbDbf& d = t.dbf;
        const xbLong count = Count(d);
        bool ok = true;
        for (xbLong n = 1; n <= count && ok; ++n) {
            const Row& r = rows[ReplacementRow(static_cast<size_t>(n - 1))];
            ok = Ok(state, d.GetRecord(static_cast<xbULong>(n)), "read");
            if (!ok) break;
            d.PutField(kDetail, r.detail.c_str());
            d.PutDoubleField(kAmount, r.amount);
            d.PutDoubleField(kBalance, r.balance);
            ok = Ok(state, d.PutRecord(), "replace");
        }
        if (!ok || !Ok(state, d.CloseDatabase(), "close")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedReplacedRecords());
    CountRecords(state);
}

void XbaseDeletePack(benchmark::State& state) {
    const std::string path = PathIn("pack_xbase64.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTable(), path);
        state.ResumeTiming();

        Table t;
        if (!Ok(state, t.Open(path), "open")) break;
        xbDbf& d = t.dbf;
        bool ok = true;
        for (xbULong n = kDeleteEvery; n <= kRecords && ok; n += kDeleteEvery)
            ok = Ok(state, d.GetRecord(n), "read") && Ok(state, d.DeleteRecord(), "delete");
        if (!ok || !Ok(state, d.PackDatabase(F_SETLKW), "pack")) break;
        if (!Expect(state, Count(d), kRecords - kRecords / kDeleteEvery, "records kept")) break;
        if (!Ok(state, d.CloseDatabase(), "close")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
    CountRecords(state);
}

void XbasePack(benchmark::State& state) {
    const std::string path = PathIn("pack_marked_xbase64.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(MasterTableWithDeleted(), path);
        state.ResumeTiming();

        Table t;
        if (!Ok(state, t.Open(path), "open")) break;
        if (!Ok(state, t.dbf.PackDatabase(F_SETLKW), "pack")) break;
        if (!Ok(state, t.dbf.CloseDatabase(), "close")) break;
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedKeptRecords());
    CountRecords(state);
}

}  // namespace bench
