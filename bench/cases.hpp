#pragma once
// The benchmark cases of each library; main.cpp registers them so that the
// libraries of one case run one after the other.
#include <benchmark/benchmark.h>

namespace bench {

// state.range(0), where a walk takes it: the percentage of deleted records;
// where a locate takes it, a LocateBy; where a sum takes it, 1 for the filter
// ACTION = "Debit". state.range(1), where a read, locate or sum takes it: a
// Variant (the engine's shared and exclusive opens; for the peers, which have
// no share modes, only kHideDeleted counts).
enum LocateBy { kByPrefix = 0, kByExact = 1, kByContainedNoCase = 2 };
enum Variant { kExclusive = 0, kShared = 1, kHideDeleted = 2, kSharedHideDeleted = 3 };

void OursAppend(benchmark::State& state);
void OursRead(benchmark::State& state);
void OursWalk(benchmark::State& state);
void OursWalkShared(benchmark::State& state);
void OursReplace(benchmark::State& state);
void OursDeletePack(benchmark::State& state);
// Pack of a table whose records were marked deleted beforehand (untimed).
void OursPack(benchmark::State& state);
void OursZap(benchmark::State& state);
void OursLocate(benchmark::State& state);
void OursSum(benchmark::State& state);
void OursCopyTo(benchmark::State& state);
void OursAppendFrom(benchmark::State& state);
// Virtual files: 100,000 records appended FIFO; 50,000 appended in ASCENDING
// order by a random key; SortVFile of 50,000 records appended FIFO.
void OursVFileFifo(benchmark::State& state);
void OursVFileSorted(benchmark::State& state);
void OursVFileSort(benchmark::State& state);

// The expression language: 1,000,000 evaluations of expression
// state.range(0) over the history's records; a filtered walk (about 1% of the
// records) and a sum of an expression over 1,000,000 records.
void OursEvaluate(benchmark::State& state);
void OursFilteredWalk(benchmark::State& state);
void OursSumExpression(benchmark::State& state);
void ShapelibFilteredWalk(benchmark::State& state);
void ShapelibCallFilteredWalk(benchmark::State& state);
// The date filter's walk as a loop over the raw records in large reads.
void HandFilteredWalk(benchmark::State& state);
void ShapelibSumExpression(benchmark::State& state);

// Indexes: state.range(0) 0 for 100,000 records, 1 for 1,000,000 (in date
// order) where a build or a sort takes it; the tag where a find or a walk
// takes it (a walk's 0 is record order without an index, its range(1) the
// table as for a build).
void OursIndexBuild(benchmark::State& state);
void SortKeyPairs(benchmark::State& state);
void OursIndexFind(benchmark::State& state);
void OursIndexWalk(benchmark::State& state);
// 100,000 appends to a table with the three tags (range(0) 1: shared, under
// the semaphore with one process); 100,000 replaces moving one key.
void OursIndexedAppend(benchmark::State& state);
void OursIndexedReplace(benchmark::State& state);

void ShapelibAppend(benchmark::State& state);
void ShapelibRead(benchmark::State& state);
void ShapelibWalk(benchmark::State& state);
void ShapelibReplace(benchmark::State& state);
// shapelib has no pack: the loop its users write (delete marks, then a copy
// of the kept records into an empty clone put in the table's place).
void ShapelibDeleteCopy(benchmark::State& state);
// The plain copy alone: the kept records of a table marked beforehand.
void ShapelibPackCopy(benchmark::State& state);
// The loops a shapelib user writes for the engine's Locate, Sum, CopyTo and
// AppendFrom: every record's field read and compared or added up, records
// copied as tuples.
void ShapelibLocate(benchmark::State& state);
void ShapelibSum(benchmark::State& state);
void ShapelibCopyTo(benchmark::State& state);
void ShapelibAppendFrom(benchmark::State& state);

// Memo files: 100,000 memos of 1 KiB added (state.range(0): the layout's
// version byte) and read back (1: through the line table), and a pack of a
// memo file of about 100 MB, half of it dead, against cp of the live bytes
// (state.range(0) 1: and a sync).
void OursMemoAdd(benchmark::State& state);
void OursMemoRead(benchmark::State& state);
void OursMemoPack(benchmark::State& state);
void CopyLiveBytes(benchmark::State& state);
void XbaseMemoAdd(benchmark::State& state);
void XbaseMemoRead(benchmark::State& state);

// Datasets against the engine's commands doing the same work: a walk reading
// three fields of each record, appending every row with its ten fields.
void EngineWalkCommands(benchmark::State& state);
void DatasetWalk(benchmark::State& state);
void EngineAppendCommands(benchmark::State& state);
void DatasetAppend(benchmark::State& state);
// Opening the history with CreateIndex ciAlways and three tags in IndexList,
// against the builder's MakeIndex of the same tags alone.
void DatasetOpenIndexed(benchmark::State& state);
void EngineBuildIndex(benchmark::State& state);

// SQLite: the three indexes built (state.range(0) as for the engine's
// build), Find's lookups by each (range(0): the tag), the appends into a
// table with the indexes, and the memo texts read from a table.
void SqliteIndexBuild(benchmark::State& state);
void SqliteIndexFind(benchmark::State& state);
void SqliteIndexedAppend(benchmark::State& state);
void SqliteMemoRead(benchmark::State& state);

void XbaseAppend(benchmark::State& state);
void XbaseRead(benchmark::State& state);
void XbaseReplace(benchmark::State& state);
void XbaseDeletePack(benchmark::State& state);
void XbasePack(benchmark::State& state);

}  // namespace bench
