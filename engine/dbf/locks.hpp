#pragma once
// Record, append and file locks on shared tables: byte-range locks placed
// above the data so that they never block reading or writing it.
#include <cstdint>

#include "engine/dbf/workarea.hpp"

namespace zurod {

// 0 or the system's error code; does nothing with network mode off.
int LockRegion(bool unlock, platform::File& file, uint64_t offset, uint64_t length);
bool LockWithRetry(platform::File& file, uint64_t offset, uint64_t length);

bool FLock();
void FUnlock();
bool ALock();
bool RLock();
bool IsLocked(int32_t n);
// n >= 1: that record; -1 the oldest lock, -2 the newest, -3 all.
bool UnlockRec(int32_t n);
void Unlock();

// The lock range of record n of an area.
uint64_t RecordLockOffset(const TWorkArea& area, int32_t n);

// Whether the area's locks are byte-range locks on its file (not just entries
// in its lock list).
bool PhysicalLocks(const TWorkArea& area);
// Takes the area's record or append locks again on its file, after the file
// was replaced by a rewritten one; 0 or the last failure's code.
int RetakeLocks(TWorkArea& area);

}  // namespace zurod
