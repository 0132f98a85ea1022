#pragma once
// Scroll bars: the standard bars of a window (WS_VSCROLL, WS_HSCROLL, in the
// non-client area) and the scroll-bar control (class "SCROLLBAR"). Both keep
// a range, a page and a position, draw themselves, and turn mouse presses into
// WM_VSCROLL or WM_HSCROLL messages: for a window's own bars to the window,
// for a control to its parent with the control's handle in lParam.
#include "framework/ui/window.hpp"

namespace ui {

enum ScrollBarId : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
// clang-format off
enum ScrollCode : int {
    SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2, SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
    SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8,
};
enum ScrollInfoMask : UINT {
    SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8, SIF_TRACKPOS = 0x10,
    SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS,
};
// clang-format on
enum ScrollBarStyle : uint32_t { SBS_HORZ = 0, SBS_VERT = 1 };
enum EnableScrollBarFlags : UINT { ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3 };
// Hit-test codes of a window's own bars.
enum : LRESULT { HTHSCROLL = 6, HTVSCROLL = 7 };

struct SCROLLINFO {
    UINT fMask = SIF_ALL;
    int nMin = 0, nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;  // while the thumb is dragged: where it is
};

// The page is kept within the range's size and the position within
// min .. max - max(page - 1, 0). A window's own bar hides when the range
// leaves nothing to scroll, unless SIF_DISABLENOSCROLL asks to keep it shown
// and disabled. Returns the position.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO& info, bool redraw);
bool GetScrollInfo(HWND hwnd, int bar, SCROLLINFO& info);
int SetScrollPos(HWND hwnd, int bar, int pos, bool redraw);  // returns the old position
int GetScrollPos(HWND hwnd, int bar);
bool SetScrollRange(HWND hwnd, int bar, int min, int max, bool redraw);
bool GetScrollRange(HWND hwnd, int bar, int& min, int& max);
bool ShowScrollBar(HWND hwnd, int bar, bool show);
bool EnableScrollBar(HWND hwnd, int bar, UINT arrows);

// The parts of a bar, for tests and for drawing.
// None first: the window system's state declares the parts ahead and starts them at 0.
enum class ScrollPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };
// Where a bar lies: window coordinates for a window's own bar, client
// coordinates for a control. Empty when the bar is not shown.
TRect ScrollBarRect(HWND hwnd, int bar);
ScrollPart ScrollPartAt(HWND hwnd, int bar, TPoint window_or_client_point);
// The thumb's place along the bar, in the bar's own coordinates.
TRect ScrollThumbRect(HWND hwnd, int bar);

}  // namespace ui
