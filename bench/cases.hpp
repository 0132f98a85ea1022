#pragma once
// The benchmark cases of each library; main.cpp registers them so that the
// libraries of one case run one after the other.
#include <benchmark/benchmark.h>

namespace bench {

// state.range(0), where a walk takes it: the percentage of deleted records.
void OursAppend(benchmark::State& state);
void OursRead(benchmark::State& state);
void OursWalk(benchmark::State& state);
void OursWalkShared(benchmark::State& state);
void OursReplace(benchmark::State& state);
void OursDeletePack(benchmark::State& state);
void OursZap(benchmark::State& state);

void ShapelibAppend(benchmark::State& state);
void ShapelibRead(benchmark::State& state);
void ShapelibWalk(benchmark::State& state);
void ShapelibReplace(benchmark::State& state);
// shapelib has no pack: the loop its users write (delete marks, then a copy
// of the kept records into an empty clone put in the table's place).
void ShapelibDeleteCopy(benchmark::State& state);

void XbaseAppend(benchmark::State& state);
void XbaseRead(benchmark::State& state);
void XbaseReplace(benchmark::State& state);
void XbaseDeletePack(benchmark::State& state);

}  // namespace bench
