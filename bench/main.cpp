// corvanta-bench: the table engine against shapelib, xbase64, SQLite and
// loops written by hand, on the same 100,000 transaction-history records.
// After the usual output a summary puts each case's times side by side with
// the engine's time as a multiple of each peer's (below 1: the engine is
// faster). A peer that reads back other bytes than were written shows as
// "wrong" instead of a time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "bench/cases.hpp"
#include "bench/transactions.hpp"

namespace {

constexpr const char* kLibraries[] = {"ours", "shapelib", "xbase64", "sqlite", "hand"};
// The dataset cases compare a dataset with the engine's commands.
constexpr const char* kDataset = "dataset";
constexpr const char* kEngine = "engine";

// Every case runs this many times; the summary shows medians. The
// environment's CORVANTA_BENCH_REPETITIONS changes it (1 for a quick look).
int Repetitions() {
    static const int n = [] {
        const char* text = std::getenv("CORVANTA_BENCH_REPETITIONS");
        const int value = text ? std::atoi(text) : 0;
        return value > 0 ? value : 5;
    }();
    return n;
}

// Printed under the summary for the cases that ran.
constexpr std::pair<const char*, const char*> kNotes[] = {
    {"Shared",
     "a case whose name ends in Shared opens the table shared, the engine's default (the peers have no "
     "share modes: their times are the same cases' own)"},
    {"Hidden", "a case whose name ends in Hidden hides the deleted records (every tenth)"},
    {"LocateContained",
     "NOCASE CONTAINED: Locate cannot take CONTAINED; a Locate, ParseLocateField and "
     "Continue scan from record 2"},
    {"SumFiltered", "the filter ACTION = \"Debit\" through the expression language"},
    {"EvalKeyText", "1,000,000 evaluations of DTOS(DATE)+STR(RECNO())+DETAIL; per_eval is the time of one"},
    {"EvalCondition", "1,000,000 evaluations of AMOUNT > 990000 .AND. ACTION = 'D'"},
    {"EvalContains", "1,000,000 evaluations of UPPER(TRIM(DETAIL)) $ 'RENT'"},
    {"FilteredWalk1M",
     "1,000,000 records, filter ACTION = 'Debit' .AND. AMOUNT > 485 (about 1%); shapelib "
     "decodes the two fields of every record and tests them"},
    {"FilteredWalkDate1M",
     "1,000,000 records, filter DATE >= CTOD(\"01/01/2040\") .AND. ACTION = \"Debit\" (about 9%); hand: a loop "
     "over the raw records in 1 MiB reads comparing their bytes"},
    {"FilteredWalkCall1M",
     "1,000,000 records, filter UPPER(ACTION) = 'DEBIT' .AND. AMOUNT > 485 (the records of FilteredWalk1M, "
     "through the machine: the filter calls a function); shapelib upper-cases the decoded text"},
    {"SumExpr1M", "Sum(\"AMOUNT * 2 - BALANCE / 100\") over 1,000,000 records; shapelib decodes both fields"},
    {"DeletePack", "shapelib: marks, then copies the kept records into an empty clone renamed over the table"},
    {"Pack", "the records were marked beforehand; shapelib: the plain copy of the kept records"},
    {"CopyTo", "shapelib: DBFCloneEmpty and raw tuples, no page conversion"},
    {"AppendFrom", "source not open (the engine opens it itself); shapelib: raw tuples into the empty table"},
    {"AppendFromOpen", "the source already open exclusive in another area"},
    {"VFileSorted50k", "50,000 records with random keys appended to an ASCENDING virtual file"},
    {"VFileSort50k", "SortVFile(ASCENDING) of 50,000 records appended FIFO; the load is not timed"},
    {"MemoAdd",
     "100,000 memos of 1 KiB into a dBASE III memo file; xbase64 stores each into the blank memo field "
     "of one record"},
    {"MemoRead",
     "every memo of 100,000 records read through a stream and checked; xbase64: GetMemoField; sqlite: "
     "SELECT of (id, note) in id order"},
    {"MemoReadLines", "the same through GetMemo and the line table"},
    {"MemoPack",
     "PackMemofile of 35,000 live and 35,000 dead memos of 1 KiB (dBASE IV, 105 MB); hand: cp of the "
     "52 MB of live bytes"},
    {"MemoPackSync",
     "cp of the live bytes followed by a sync: the pack syncs the new memo file, its journal and "
     "the table before it switches over"},
    {"IndexBuild",
     "three tags (DETAIL, AMOUNT, DTOS(DATE)+STR(RECNO())+DETAIL) built from the table, each order "
     "checked after; sqlite: CREATE INDEX on detail, amount and (date, detail) in one transaction; "
     "peak_mb: the most heap the build held at once"},
    {"SortPairs", "the same three tags' (key, record) pairs sorted with std::sort alone"},
    {"IndexFind",
     "100,000 Finds of random records' keys on the million-record table, cache warm; per_find is one; "
     "sqlite: a SELECT by the key through its index"},
    {"WalkRecordOrder1M", "GoTop and SKIP over a million records in date order, no index"},
    {"WalkKeyOrder1M", "the same walk in the order of DTOS(DATE)+STR(RECNO())+DETAIL"},
    {"WalkDetailOrder1M", "the same walk in the order of DETAIL (records all over the file)"},
    {"WalkRecordOrder", "the walks over the 100,000 records (18 MB, a table that fits the block cache)"},
    {"IndexedAppend",
     "100,000 appends to a table with the three tags, exclusive; sqlite: the inserts in one transaction"},
    {"IndexedAppendShared", "the same appends to the table opened shared: the semaphore brackets each"},
    {"IndexedReplace", "100,000 replaces of AMOUNT: each record moves in one tag"},
    {"DatasetWalk",
     "GoTop, Skip and FieldGet of DATE, ACCNAME and AMOUNT through a TTzDbf; engine: GoTop, SKIP, "
     "FieldText"},
    {"DatasetAppend",
     "ClearRecord, ten FieldPuts and AppendRec through a TTzDbf; engine: ClearRecord, ten "
     "PutField and Append"},
    {"DatasetOpenIndexed",
     "a TTzDbf opened with three tags rebuilt (CreateIndex ciAlways, progress window shown); "
     "engine: MakeIndex of the three tags alone"},
};

// Times per case and library, in milliseconds: the median of repetitions
// when there are several, NaN for a failed run.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool cv = run.run_type == Run::RT_Aggregate && run.aggregate_name == "cv";
            if (run.run_type != Run::RT_Iteration && !median && !cv) continue;
            const std::string& name = run.run_name.function_name;
            const size_t slash = name.rfind('/');
            if (slash == std::string::npos) continue;
            const std::string test = name.substr(0, slash);
            std::string library = name.substr(slash + 1);
            library.resize(std::min(library.size(), library.find('-')));
            if (std::find(order_.begin(), order_.end(), test) == order_.end()) order_.push_back(test);
            Entry& e = times_[test][library];
            if (run.error_occurred) {
                e.failed = true;
                e.wrong = run.error_message.starts_with(bench::kWrongBytes);
                continue;
            }
            if (cv) {
                e.cv = run.real_accumulated_time * 100;
                continue;
            }
            const double ms = run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            (median ? e.median : e.last) = ms;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        out << "\nSummary (median real time per run over 100,000 records; 50,000 or 1,000,000 where the case says 50k or 1M; "
               "ratio = ours / peer; spread = the largest coefficient of variation of the case's runs)\n";
        std::vector<std::string> head = {"case", "ours"};
        for (size_t p = 1; p < std::size(kLibraries); ++p) head.insert(head.end(), {kLibraries[p], "ratio"});
        head.push_back("spread");
        out << Cells(head);
        for (const std::string& test : order_) {
            const auto& row = times_[test];
            if (row.count(kDataset)) continue;
            const double ours = Time(row, kLibraries[0]);
            std::vector<std::string> cells = {test, Ms(ours)};
            for (size_t p = 1; p < std::size(kLibraries); ++p) {
                const double peer = Time(row, kLibraries[p]);
                cells.insert(cells.end(), {Ms(peer), Ratio(ours, peer)});
            }
            cells.push_back(Percent(Spread(row)));
            out << Cells(cells);
        }
        bool datasets = false;
        for (const std::string& test : order_) {
            const auto& row = times_[test];
            if (!row.count(kDataset)) continue;
            if (!datasets)
                out << "\nDatasets (ratio = dataset / the same work through the engine's commands)\n"
                    << Cells({"case", "dataset", "engine", "ratio", "spread"});
            datasets = true;
            const double dataset = Time(row, kDataset), engine = Time(row, kEngine);
            out << Cells({test, Ms(dataset), Ms(engine), Ratio(dataset, engine), Percent(Spread(row))});
        }
        for (const auto& [test, note] : kNotes) {
            const bool ran = std::any_of(order_.begin(), order_.end(),
                                         [&](const std::string& t) { return t == test || t.ends_with(test); });
            if (ran) out << "  " << test << ": " << note << "\n";
        }
        out.flush();
    }

private:
    struct Entry {
        double last = -1, median = -1, cv = -1;
        bool failed = false;
        bool wrong = false;  // read back other bytes than were written
    };
    using Row = std::map<std::string, Entry>;
    // A library's time in a case: -1 when it did not run, NaN when it
    // failed, -infinity when it read wrong bytes.
    static double Time(const Row& row, const char* library) {
        const auto it = row.find(library);
        if (it == row.end()) return -1.0;
        if (it->second.wrong) return -std::numeric_limits<double>::infinity();
        if (it->second.failed) return std::numeric_limits<double>::quiet_NaN();
        return it->second.median >= 0 ? it->second.median : it->second.last;
    }
    static double Spread(const Row& row) {
        double spread = -1;
        for (const auto& [library, entry] : row) spread = std::max(spread, entry.cv);
        return spread;
    }
    // One line: the case's name, then right-aligned cells.
    static std::string Cells(const std::vector<std::string>& cells) {
        char cell[64];
        std::snprintf(cell, sizeof cell, "%-22s", cells[0].c_str());
        std::string line = cell;
        for (size_t i = 1; i < cells.size(); ++i) {
            std::snprintf(cell, sizeof cell, " %*s", i == 1 || (i % 2 == 0 && i + 1 < cells.size()) ? 10 : 7,
                          cells[i].c_str());
            line += cell;
        }
        return line + "\n";
    }
    static std::string Percent(double p) {
        if (p < 0) return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.1f%%", p);
        return text;
    }
    static std::string Ms(double ms) {
        if (std::isinf(ms)) return "wrong";
        if (ms < 0) return "-";
        if (std::isnan(ms)) return "failed";
        char text[32];
        std::snprintf(text, sizeof text, "%.1f ms", ms);
        return text;
    }
    static std::string Ratio(double ours, double theirs) {
        if (ours < 0 || theirs <= 0 || std::isnan(ours) || std::isnan(theirs) || std::isinf(theirs)) return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2fx", ours / theirs);
        return text;
    }

    std::vector<std::string> order_;
    std::map<std::string, Row> times_;
};

benchmark::internal::Benchmark* Add(const std::string& test, const std::string& library,
                                    void (*fn)(benchmark::State&)) {
    return benchmark::RegisterBenchmark((test + "/" + library).c_str(), fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(Repetitions())
        ->DisplayAggregatesOnly(Repetitions() > 1);
}

void RegisterCases() {
    using namespace bench;
    Add("Append", "ours", OursAppend);
    Add("Append", "shapelib", ShapelibAppend);
    Add("Append", "xbase64", XbaseAppend);

    Add("Read", "ours", OursRead)->Args({0, kExclusive});
    Add("Read", "shapelib", ShapelibRead);
    Add("Read", "xbase64", XbaseRead);
    Add("ReadShared", "ours-shared", OursRead)->Args({0, kShared});
    Add("ReadShared", "shapelib", ShapelibRead);

    Add("Walk", "ours", OursWalk)->Arg(0);
    Add("Walk", "shapelib", ShapelibWalk)->Arg(0);
    Add("WalkShared", "ours-shared", OursWalkShared)->Arg(0);
    Add("WalkShared", "shapelib", ShapelibWalk)->Arg(0);
    Add("WalkHidden", "ours", OursWalk)->Arg(10);
    Add("WalkHidden", "shapelib", ShapelibWalk)->Arg(10);
    Add("WalkHiddenShared", "ours-shared", OursWalkShared)->Arg(10);
    Add("WalkHiddenShared", "shapelib", ShapelibWalk)->Arg(10);

    Add("Replace", "ours", OursReplace);
    Add("Replace", "shapelib", ShapelibReplace);
    Add("Replace", "xbase64", XbaseReplace);

    Add("DeletePack", "ours", OursDeletePack);
    Add("DeletePack", "shapelib-copy", ShapelibDeleteCopy);
    Add("DeletePack", "xbase64", XbaseDeletePack);
    Add("Pack", "ours", OursPack);
    Add("Pack", "shapelib-copy", ShapelibPackCopy);
    Add("Pack", "xbase64", XbasePack);

    // The timed part is tiny next to restoring the 18 MB table each time.
    // xbase64's Zap crashes (see xbase64_bench.cpp).
    Add("Zap", "ours", OursZap)->Iterations(50);

    // Each locate finds the last visible record.
    struct Locate {
        const char* name;
        LocateBy by;
    };
    for (const Locate& l : {Locate{"LocatePrefix", kByPrefix}, Locate{"LocateExact", kByExact},
                            Locate{"LocateContained", kByContainedNoCase}}) {
        const std::string name = l.name;
        Add(name, "ours", OursLocate)->Args({l.by, kExclusive});
        Add(name, "shapelib", ShapelibLocate)->Args({l.by, kExclusive});
        Add(name + "Shared", "ours-shared", OursLocate)->Args({l.by, kShared});
        Add(name + "Shared", "shapelib", ShapelibLocate)->Args({l.by, kExclusive});
        Add(name + "Hidden", "ours", OursLocate)->Args({l.by, kHideDeleted});
        Add(name + "Hidden", "shapelib", ShapelibLocate)->Args({l.by, kHideDeleted});
    }

    Add("Sum", "ours", OursSum)->Args({0, kExclusive});
    Add("Sum", "shapelib", ShapelibSum)->Args({0, kExclusive});
    Add("SumShared", "ours-shared", OursSum)->Args({0, kShared});
    Add("SumShared", "shapelib", ShapelibSum)->Args({0, kExclusive});
    Add("SumHidden", "ours", OursSum)->Args({0, kHideDeleted});
    Add("SumHidden", "shapelib", ShapelibSum)->Args({0, kHideDeleted});
    Add("SumHiddenShared", "ours-shared", OursSum)->Args({0, kSharedHideDeleted});
    Add("SumHiddenShared", "shapelib", ShapelibSum)->Args({0, kHideDeleted});
    Add("SumFiltered", "ours", OursSum)->Args({1, kExclusive});
    Add("SumFiltered", "shapelib", ShapelibSum)->Args({1, kExclusive});

    Add("EvalKeyText", "ours", OursEvaluate)->Arg(0);
    Add("EvalCondition", "ours", OursEvaluate)->Arg(1);
    Add("EvalContains", "ours", OursEvaluate)->Arg(2);
    Add("FilteredWalk1M", "ours", OursFilteredWalk)->Arg(0);
    Add("FilteredWalk1M", "shapelib", ShapelibFilteredWalk);
    Add("FilteredWalkDate1M", "ours", OursFilteredWalk)->Arg(1);
    Add("FilteredWalkDate1M", "hand-raw", HandFilteredWalk);
    Add("FilteredWalkCall1M", "ours", OursFilteredWalk)->Arg(2);
    Add("FilteredWalkCall1M", "shapelib", ShapelibCallFilteredWalk);
    Add("SumExpr1M", "ours", OursSumExpression);
    Add("SumExpr1M", "shapelib", ShapelibSumExpression);

    Add("CopyTo", "ours", OursCopyTo);
    Add("CopyTo", "shapelib-tuples", ShapelibCopyTo);
    Add("AppendFrom", "ours", OursAppendFrom)->Arg(0);
    Add("AppendFrom", "shapelib-tuples", ShapelibAppendFrom);
    Add("AppendFromOpen", "ours", OursAppendFrom)->Arg(1);

    Add("IndexBuild", "ours", OursIndexBuild)->Arg(0);
    Add("IndexBuild", "sqlite", SqliteIndexBuild)->Arg(0);
    Add("SortPairs", "ours-std-sort", SortKeyPairs)->Arg(0);
    Add("IndexBuild1M", "ours", OursIndexBuild)->Arg(1);
    Add("IndexBuild1M", "sqlite", SqliteIndexBuild)->Arg(1);
    Add("SortPairs1M", "ours-std-sort", SortKeyPairs)->Arg(1);
    Add("IndexFindDetail", "ours", OursIndexFind)->Arg(0);
    Add("IndexFindDetail", "sqlite", SqliteIndexFind)->Arg(0);
    Add("IndexFindAmount", "ours", OursIndexFind)->Arg(1);
    Add("IndexFindAmount", "sqlite", SqliteIndexFind)->Arg(1);
    Add("IndexFindDateKey", "ours", OursIndexFind)->Arg(2);
    Add("IndexFindDateKey", "sqlite", SqliteIndexFind)->Arg(2);
    Add("WalkRecordOrder1M", "ours", OursIndexWalk)->Args({0, 1});
    Add("WalkKeyOrder1M", "ours", OursIndexWalk)->Args({1, 1});
    Add("WalkDetailOrder1M", "ours", OursIndexWalk)->Args({2, 1});
    Add("WalkRecordOrder", "ours", OursIndexWalk)->Args({0, 0});
    Add("WalkDetailOrder", "ours", OursIndexWalk)->Args({2, 0});
    Add("IndexedAppend", "ours", OursIndexedAppend)->Arg(0);
    Add("IndexedAppend", "sqlite", SqliteIndexedAppend);
    Add("IndexedAppendShared", "ours", OursIndexedAppend)->Arg(1);
    Add("IndexedReplace", "ours", OursIndexedReplace);

    Add("VFileFifo", "ours", OursVFileFifo);
    Add("VFileSorted50k", "ours", OursVFileSorted);
    Add("VFileSort50k", "ours", OursVFileSort);

    Add("MemoAdd", "ours", OursMemoAdd)->Arg(0x83);
    Add("MemoAdd", "xbase64", XbaseMemoAdd);
    Add("MemoAddDbase4", "ours", OursMemoAdd)->Arg(0x8B);
    Add("MemoRead", "ours", OursMemoRead)->Arg(0);
    Add("MemoRead", "xbase64", XbaseMemoRead);
    Add("MemoRead", "sqlite", SqliteMemoRead);
    Add("MemoReadLines", "ours", OursMemoRead)->Arg(1);
    Add("MemoPack", "ours", OursMemoPack)->Iterations(3);
    Add("MemoPack", "hand-cp", CopyLiveBytes)->Arg(0)->Iterations(3);
    Add("MemoPackSync", "hand-cp", CopyLiveBytes)->Arg(1)->Iterations(3);

    Add("DatasetWalk", kDataset, DatasetWalk);
    Add("DatasetWalk", kEngine, EngineWalkCommands);
    Add("DatasetAppend", kDataset, DatasetAppend);
    Add("DatasetAppend", kEngine, EngineAppendCommands);
    Add("DatasetOpenIndexed", kDataset, DatasetOpenIndexed);
    Add("DatasetOpenIndexed", kEngine, EngineBuildIndex);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RegisterCases();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
