#pragma once
// Record editing as the engine's own operations use it.
#include <string>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"

namespace zurod {

// Appends the area's record buffer as it stands (the swap buffer is refreshed
// from it): the lock rule, the write and the keys of every index tag.
Status AppendRecordIn(TWorkArea& area);
// Changes the area's share mode in place; 0 or an error code.
int ReopenTableIn(TWorkArea& area, bool exclusive);
// Asks before a destructive operation (only when confirmation is on). The
// area is held across the box, so nothing that runs while it is up may call
// the engine.
bool ConfirmWhileHeld(const std::string& text);

}  // namespace zurod
