// The grid base's scroll bars: ranges and positions of the top row and the
// left column.
#include "framework/ui/grids.hpp"

namespace ui {

void TCustomGrid::UpdateScrollRange() {}

void TCustomGrid::UpdateScrollPos() {}

void TCustomGrid::SetScrollBarInfo(int, int, int, int, int) {}

int TCustomGrid::ScrollTrackPos(int) { return 0; }

}  // namespace ui
