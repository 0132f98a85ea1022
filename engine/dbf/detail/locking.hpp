#pragma once
// Locks as the engine's own operations use them.
#include <cstdint>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

// 0 or the system's error code; does nothing with network mode off.
int LockRegion(bool unlock, TableFile& file, uint64_t offset, uint64_t length);
bool LockWithRetry(TableFile& file, uint64_t offset, uint64_t length);

// The lock range of record n of an area.
uint64_t RecordLockOffset(const TWorkArea& area, int32_t n);
uint64_t AppendLockOffset();

// Whether the area's locks are byte-range locks on its file (not just entries
// in its lock list).
bool PhysicalLocks(const TWorkArea& area);
// Takes the area's record or append locks again on its file, after the file
// was replaced by a rewritten one; 0 or the last failure's code.
int RetakeLocks(TWorkArea& area);
// Releases every record lock and the append lock; 0 or the last failure's code.
int ReleaseLocks(TWorkArea& area);
// Whether a shared area may change its current record.
bool RecordLockHeld(const TWorkArea& area);

}  // namespace zurod
