// The datasets against the engine's own commands doing the same work: a walk
// of the history reading three fields of each record, and appending every
// row with its ten fields. Timed regions run from opening the table to
// closing it.
#include <cstdlib>
#include <string>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"
#include "engine/dataset/file_dataset.hpp"
#include "engine/dbf/areas.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"

namespace bench {

namespace {

bool Failed(benchmark::State& state, const std::string& what) {
    if (zurod::LastErrorCode() == 0) return false;
    state.SkipWithError((what + ": " + zurod::LastErrorMessage()).c_str());
    zurod::CloseAllAreas();
    return true;
}

ui::Owned<zurod::TTzDbf> HistoryDataset(const std::string& path) {
    auto ds = ui::Make<zurod::TTzDbf>(nullptr);
    ds->SetName("History");
    for (const Column& c : kColumns)
        ds->DbfFields().Add(std::string(c.name) + "," + c.type + "," + std::to_string(c.length) + "," +
                            std::to_string(c.decimals));
    ds->SetDbfFileName(path);
    ds->SetExclusive(true);
    return ds;
}

void OpenExclusive(const std::string& path) {
    zurod::UseOptions use;
    use.file_name = path;
    use.exclusive = true;
    zurod::UseTable(use);
}

// The three tags of the index cases, as the dataset's IndexList and as the builder takes them.
constexpr const char* kTagLines[] = {
    "DETAIL,F,F,DETAIL", "", "AMOUNT,F,F,AMOUNT", "", "DATEKEY,F,F,DTOS(DATE)+STR(RECNO())+DETAIL", ""};

void StartIndexUnit() {
    PrepareEngine();
    zurod::ExprInit();
    zurod::IndexEngineClose();
    zurod::IndexInit();
}

const std::string& IndexedCopy() {
    static const std::string path = [] {
        const std::string path = PathIn("dataset_open.dbf");
        CopyTable(MasterTable(), path);
        return path;
    }();
    return path;
}

// The walks' records, DATE and ACCNAME texts and AMOUNT total against the rows.
bool CheckWalk(benchmark::State& state, int64_t seen, const TextDigest& texts, double sum) {
    static const uint64_t expected = RowsDigest(Rows(), [](const Row& r, TextDigest& d) {
        d.Add(r.date);
        d.Add(r.accname);
    });
    if (seen != kRecords) {
        state.SkipWithError("records walked");
        return false;
    }
    return ExpectDigest(state, texts, expected, "DATE and ACCNAME walked") &&
        ExpectTotal(state, sum, AmountTotal(), "AMOUNT walked");
}

}  // namespace

void EngineWalkCommands(benchmark::State& state) {
    PrepareEngine();
    const std::string& master = MasterTable();  // built before the timing starts
    for (auto _ : state) {
        OpenExclusive(master);
        if (Failed(state, "open")) break;
        const int date = zurod::FieldNo("DATE"), account = zurod::FieldNo("ACCNAME"), amount = zurod::FieldNo("AMOUNT");
        TextDigest texts;
        double sum = 0;
        int64_t seen = 0;
        for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) {
            texts.Add(zurod::FieldText(date));
            texts.Add(zurod::FieldText(account));
            sum += std::strtod(zurod::FieldText(amount).c_str(), nullptr);
            ++seen;
        }
        zurod::CloseArea();
        if (!CheckWalk(state, seen, texts, sum)) break;
    }
    CountRecords(state);
}

void DatasetWalk(benchmark::State& state) {
    PrepareEngine();
    const std::string& master = MasterTable();  // built before the timing starts
    for (auto _ : state) {
        auto ds = HistoryDataset(master);
        ds->Open();
        TextDigest texts;
        double sum = 0;
        int64_t seen = 0;
        for (ds->GoTop(); !ds->Eof(); ds->Skip(1)) {
            texts.Add(ds->FieldGet("DATE"));
            texts.Add(ds->FieldGet("ACCNAME"));
            sum += std::strtod(ds->FieldGet("AMOUNT").c_str(), nullptr);
            ++seen;
        }
        ds->Close();
        if (!CheckWalk(state, seen, texts, sum)) break;
    }
    CountRecords(state);
}

void EngineAppendCommands(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("append_commands.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(EmptyTable(), path);
        state.ResumeTiming();
        OpenExclusive(path);
        if (Failed(state, "open")) break;
        int n[kColumnCount];
        for (int i = 0; i < kColumnCount; ++i) n[i] = zurod::FieldNo(kColumns[i].name);
        for (const Row& r : Rows()) {
            zurod::ClearRecord();
            zurod::PutFieldString(n[kDate], r.date);
            zurod::PutFieldString(n[kDetail], r.detail);
            zurod::PutFieldString(n[kSource], r.source);
            zurod::PutFieldString(n[kDest], r.dest);
            zurod::PutFieldString(n[kAction], r.action);
            zurod::PutFieldString(n[kRef], r.ref);
            zurod::PutFieldString(n[kCategory], r.category);
            zurod::PutFieldNumber(n[kAmount], r.amount);
            zurod::PutFieldNumber(n[kBalance], r.balance);
            zurod::PutFieldString(n[kAccName], r.accname);
            zurod::Append();
        }
        if (Failed(state, "append")) break;
        zurod::CloseArea();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void DatasetAppend(benchmark::State& state) {
    PrepareEngine();
    const std::string path = PathIn("append_dataset.dbf");
    for (auto _ : state) {
        state.PauseTiming();
        CopyTable(EmptyTable(), path);
        state.ResumeTiming();
        auto ds = HistoryDataset(path);
        ds->Open();
        for (const Row& r : Rows()) {
            ds->ClearRecord();
            ds->FieldPut("DATE", r.date);
            ds->FieldPut("DETAIL", r.detail);
            ds->FieldPut("SOURCE", r.source);
            ds->FieldPut("DEST", r.dest);
            ds->FieldPut("ACTION", r.action);
            ds->FieldPut("REF", r.ref);
            ds->FieldPut("CATEGORY", r.category);
            ds->FieldPutFloat("AMOUNT", r.amount);
            ds->FieldPutFloat("BALANCE", r.balance);
            ds->FieldPut("ACCNAME", r.accname);
            ds->AppendRec();
        }
        if (Failed(state, "append")) break;
        ds->Close();
    }
    if (!state.error_occurred()) SameRecords(state, path, ExpectedMasterRecords());
    CountRecords(state);
}

void EngineBuildIndex(benchmark::State& state) {
    StartIndexUnit();
    std::vector<std::string> lines(std::begin(kTagLines), std::end(kTagLines));
    const std::vector<zurod::TagDescriptor> tags = zurod::ParseIndexList(lines);
    for (auto _ : state) {
        state.PauseTiming();
        OpenExclusive(IndexedCopy());
        state.ResumeTiming();
        zurod::MakeIndex(tags, "");
        state.PauseTiming();
        const bool failed = Failed(state, "build");
        if (!failed) zurod::CloseArea();
        state.ResumeTiming();
        if (failed) break;
    }
    CountRecords(state);
}

void DatasetOpenIndexed(benchmark::State& state) {
    StartIndexUnit();
    const std::string& path = IndexedCopy();
    for (auto _ : state) {
        auto ds = HistoryDataset(path);
        for (const char* line : kTagLines) ds->IndexList().Add(line);
        ds->CreateIndex = zurod::ciAlways;
        ds->Open();
        const bool failed = Failed(state, "open");
        if (failed) break;
        if (zurod::CurrentOrder() != 1) {
            state.SkipWithError("no index open");
            break;
        }
        ds->Close();
    }
    CountRecords(state);
}

}  // namespace bench
