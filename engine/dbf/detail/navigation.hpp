#pragma once
// Record navigation on a given area, for the engine's own operations; the
// public commands in navigate.hpp act on the current area and report.
#include <cstdint>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

Status GoTopIn(TWorkArea& area);
Status GoBottomIn(TWorkArea& area);
Status SkipIn(TWorkArea& area, int32_t n);
Status GoIn(TWorkArea& area, int32_t n);
// Leaves the area at end of file (GoBottom, then a skip off the last record).
Status GoPastEndIn(TWorkArea& area);

// A shared table's count follows the header on disk (another process may
// append), bounded by the whole records the file holds.
void RefreshRecCount(TWorkArea& area);
// Whether the record in the area's record buffer is visible: not hidden by
// the ignore-deleted switch, and passing the filter (evaluated with the area
// current, since an expression may name its fields without alias).
Status RecordVisible(TWorkArea& area, bool& visible);
bool RecordVisible(TWorkArea& area);

// Whether the area walks in the order of an index.
bool Ordered(TWorkArea& area);

}  // namespace zurod
