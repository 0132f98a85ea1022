#pragma once
// Record, append and file locks on shared tables: byte-range locks placed
// above the data so that they never block reading or writing it.
#include <cstdint>

namespace zurod {

bool FLock();
void FUnlock();
bool ALock();
bool RLock();
bool IsLocked(int32_t n);
// Whether the current area holds its append lock.
bool IsAppendLocked();
// n >= 1: that record; -1 the oldest lock, -2 the newest, -3 all.
bool UnlockRec(int32_t n);
void Unlock();

}  // namespace zurod
