// The grid base's scroll bars: the left column and the top row as positions
// past the fixed cells; a bar hides when everything fits.
#include <algorithm>

#include "framework/ui/grids.hpp"

namespace ui {

void TCustomGrid::UpdateScrollRange() {
    if (!HandleAllocated()) return;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth)
        SetScrollBarInfo(SB_HORZ, 0, MaxLeftCol() - fixed_cols_, 0, top_left_.X - fixed_cols_);
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth)
        SetScrollBarInfo(SB_VERT, 0, MaxTopRow() - fixed_rows_, 0, top_left_.Y - fixed_rows_);
}

void TCustomGrid::UpdateScrollPos() {
    if (!HandleAllocated()) return;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth)
        SetScrollPos(handle_, SB_HORZ, top_left_.X - fixed_cols_, true);
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth)
        SetScrollPos(handle_, SB_VERT, top_left_.Y - fixed_rows_, true);
}

void TCustomGrid::SetScrollBarInfo(int bar, int min, int max, int page, int pos) {
    if (!HandleAllocated()) return;
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = min, info.nMax = std::max(min, max), info.nPage = UINT(std::max(0, page)), info.nPos = pos;
    SetScrollInfo(handle_, bar, info, true);
}

int TCustomGrid::ScrollTrackPos(int bar) {
    SCROLLINFO info;
    info.fMask = SIF_TRACKPOS;
    if (!HandleAllocated() || !GetScrollInfo(handle_, bar, info)) return 0;
    return info.nTrackPos;
}

}  // namespace ui
