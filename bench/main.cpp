// corvanta-bench: the table engine against shapelib and xbase64 on the same
// 100,000 transaction-history records. After the usual output a summary
// puts each case's times side by side with the engine's time as a multiple
// of each peer's (below 1: the engine is faster).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "bench/cases.hpp"

namespace {

constexpr const char* kLibraries[] = {"ours", "shapelib", "xbase64"};

// Printed under the summary for the cases that ran.
constexpr std::pair<const char*, const char*> kNotes[] = {
    {"LocateContained", "NOCASE CONTAINED: Locate cannot take CONTAINED; a Locate, ParseLocateField and "
                        "Continue scan from record 2"},
    {"SumFiltered", "the filter ACTION = \"Debit\" through the expression language"},
    {"EvalKeyText", "1,000,000 evaluations of DTOS(DATE)+STR(RECNO())+DETAIL; per_eval is the time of one"},
    {"EvalCondition", "1,000,000 evaluations of AMOUNT > 990000 .AND. ACTION = 'D'"},
    {"EvalContains", "1,000,000 evaluations of UPPER(TRIM(DETAIL)) $ 'RENT'"},
    {"FilteredWalk1M", "1,000,000 records, filter ACTION = 'Debit' .AND. AMOUNT > 485 (about 1%); shapelib "
                       "decodes the two fields of every record and tests them"},
    {"SumExpr1M", "Sum(\"AMOUNT * 2 - BALANCE / 100\") over 1,000,000 records; shapelib decodes both fields"},
    {"CopyTo", "shapelib: DBFCloneEmpty and raw tuples, no page conversion"},
    {"AppendFrom", "source not open (the engine opens it itself); shapelib: raw tuples into the empty table"},
    {"AppendFromOpen", "the source already open exclusive in another area"},
    {"VFileSorted50k", "50,000 records with random keys appended to an ASCENDING virtual file"},
    {"VFileSort50k", "SortVFile(ASCENDING) of 50,000 records appended FIFO; the load is not timed"},
    {"IndexBuild", "three tags (DETAIL, AMOUNT, DTOS(DATE)+STR(RECNO())+DETAIL) built from the table"},
    {"SortPairs", "the same three tags' (key, record) pairs sorted with std::sort alone"},
    {"IndexFind", "100,000 Finds of random records' keys on the million-record table, cache warm; per_find is one"},
    {"WalkRecordOrder1M", "GoTop and SKIP over a million records in date order, no index"},
    {"WalkKeyOrder1M", "the same walk in the order of DTOS(DATE)+STR(RECNO())+DETAIL"},
    {"WalkDetailOrder1M", "the same walk in the order of DETAIL (records all over the file)"},
    {"IndexedAppend", "100,000 appends to a table with the three tags, exclusive"},
    {"IndexedAppendShared", "the same appends to the table opened shared: the semaphore brackets each"},
    {"IndexedReplace", "100,000 replaces of AMOUNT: each record moves in one tag"},
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
            if (run.run_type != Run::RT_Iteration && !median) continue;
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
                continue;
            }
            const double ms = run.GetAdjustedRealTime() * 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            (median ? e.median : e.last) = ms;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        out << "\nSummary (real time per run over 100,000 records; 50,000 or 1,000,000 where the case says 50k or 1M; "
               "ratio = ours / peer)\n"
            << Cells("case", "ours", "shapelib", "ratio", "xbase64", "ratio");
        for (const std::string& test : order_) {
            const auto& row = times_[test];
            const auto time = [&](const char* library) {
                const auto it = row.find(library);
                if (it == row.end()) return -1.0;
                if (it->second.failed) return std::numeric_limits<double>::quiet_NaN();
                return it->second.median >= 0 ? it->second.median : it->second.last;
            };
            const double ours = time(kLibraries[0]), shapelib = time(kLibraries[1]), xbase = time(kLibraries[2]);
            out << Cells(test, Ms(ours), Ms(shapelib), Ratio(ours, shapelib), Ms(xbase), Ratio(ours, xbase));
        }
        for (const auto& [test, note] : kNotes)
            if (times_.count(test)) out << "  " << test << ": " << note << "\n";
        out.flush();
    }

private:
    static std::string Cells(const std::string& test, const std::string& ours, const std::string& shapelib,
                             const std::string& r1, const std::string& xbase, const std::string& r2) {
        char line[160];
        std::snprintf(line, sizeof line, "%-16s %11s %11s %8s %11s %8s\n", test.c_str(), ours.c_str(),
                      shapelib.c_str(), r1.c_str(), xbase.c_str(), r2.c_str());
        return line;
    }
    static std::string Ms(double ms) {
        if (ms < 0) return "-";
        if (std::isnan(ms)) return "failed";
        char text[32];
        std::snprintf(text, sizeof text, "%.1f ms", ms);
        return text;
    }
    static std::string Ratio(double ours, double theirs) {
        if (ours < 0 || theirs <= 0 || std::isnan(ours) || std::isnan(theirs)) return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2fx", ours / theirs);
        return text;
    }

    struct Entry {
        double last = -1, median = -1;
        bool failed = false;
    };
    std::vector<std::string> order_;
    std::map<std::string, std::map<std::string, Entry>> times_;
};

benchmark::internal::Benchmark* Add(const std::string& test, const std::string& library,
                                    void (*fn)(benchmark::State&)) {
    return benchmark::RegisterBenchmark((test + "/" + library).c_str(), fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void RegisterCases() {
    using namespace bench;
    Add("Append", "ours", OursAppend);
    Add("Append", "shapelib", ShapelibAppend);
    Add("Append", "xbase64", XbaseAppend);

    Add("Read", "ours", OursRead);
    Add("Read", "shapelib", ShapelibRead);
    Add("Read", "xbase64", XbaseRead);

    Add("Walk", "ours", OursWalk)->Arg(0);
    Add("Walk", "shapelib", ShapelibWalk)->Arg(0);
    Add("WalkDeleted", "ours", OursWalk)->Arg(10);
    Add("WalkDeleted", "shapelib", ShapelibWalk)->Arg(10);
    // For reference: a shared area reads each record from the file.
    Add("WalkShared", "ours-shared", OursWalkShared)->Arg(0);

    Add("Replace", "ours", OursReplace);
    Add("Replace", "shapelib", ShapelibReplace);
    Add("Replace", "xbase64", XbaseReplace);

    Add("DeletePack", "ours", OursDeletePack);
    Add("DeletePack", "shapelib-copy", ShapelibDeleteCopy);
    Add("DeletePack", "xbase64", XbaseDeletePack);

    // The timed part is tiny next to restoring the 18 MB table each time.
    // xbase64's Zap crashes (see xbase64_bench.cpp).
    Add("Zap", "ours", OursZap)->Iterations(50);

    // Each locate finds the last record.
    Add("LocatePrefix", "ours", OursLocate)->Arg(kByPrefix);
    Add("LocatePrefix", "shapelib", ShapelibLocate)->Arg(kByPrefix);
    Add("LocateExact", "ours", OursLocate)->Arg(kByExact);
    Add("LocateExact", "shapelib", ShapelibLocate)->Arg(kByExact);
    Add("LocateContained", "ours", OursLocate)->Arg(kByContainedNoCase);
    Add("LocateContained", "shapelib", ShapelibLocate)->Arg(kByContainedNoCase);

    Add("Sum", "ours", OursSum)->Arg(0);
    Add("Sum", "shapelib", ShapelibSum)->Arg(0);
    Add("SumFiltered", "ours", OursSum)->Arg(1);
    Add("SumFiltered", "shapelib", ShapelibSum)->Arg(1);

    Add("EvalKeyText", "ours", OursEvaluate)->Arg(0);
    Add("EvalCondition", "ours", OursEvaluate)->Arg(1);
    Add("EvalContains", "ours", OursEvaluate)->Arg(2);
    Add("FilteredWalk1M", "ours", OursFilteredWalk);
    Add("FilteredWalk1M", "shapelib", ShapelibFilteredWalk);
    Add("SumExpr1M", "ours", OursSumExpression);
    Add("SumExpr1M", "shapelib", ShapelibSumExpression);

    Add("CopyTo", "ours", OursCopyTo);
    Add("CopyTo", "shapelib-tuples", ShapelibCopyTo);
    Add("AppendFrom", "ours", OursAppendFrom)->Arg(0);
    Add("AppendFrom", "shapelib-tuples", ShapelibAppendFrom);
    Add("AppendFromOpen", "ours", OursAppendFrom)->Arg(1);

    Add("IndexBuild", "ours", OursIndexBuild)->Arg(0);
    Add("SortPairs", "ours-std-sort", SortKeyPairs)->Arg(0);
    Add("IndexBuild1M", "ours", OursIndexBuild)->Arg(1);
    Add("SortPairs1M", "ours-std-sort", SortKeyPairs)->Arg(1);
    Add("IndexFindDetail", "ours", OursIndexFind)->Arg(0);
    Add("IndexFindAmount", "ours", OursIndexFind)->Arg(1);
    Add("IndexFindDateKey", "ours", OursIndexFind)->Arg(2);
    Add("WalkRecordOrder1M", "ours", OursIndexWalk)->Arg(0);
    Add("WalkKeyOrder1M", "ours", OursIndexWalk)->Arg(1);
    Add("WalkDetailOrder1M", "ours", OursIndexWalk)->Arg(2);
    Add("IndexedAppend", "ours", OursIndexedAppend)->Arg(0);
    Add("IndexedAppendShared", "ours", OursIndexedAppend)->Arg(1);
    Add("IndexedReplace", "ours", OursIndexedReplace);

    Add("VFileFifo", "ours", OursVFileFifo);
    Add("VFileSorted50k", "ours", OursVFileSorted);
    Add("VFileSort50k", "ours", OursVFileSort);
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
