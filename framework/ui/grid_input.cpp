// The grid base's input: keys that move the current cell, the mouse that
// selects cells and sizes and moves columns and rows, the timer that scrolls
// while the mouse is held outside, scroll-bar messages, the wheel and focus.
#include <algorithm>

#include "framework/ui/grids.hpp"

namespace ui {

namespace {

constexpr UINT kScrollTimer = 1;
constexpr UINT kScrollInterval = 60;
// How near a line the mouse sizes the cells beside it.
constexpr int kSizingZone = 2;
// What a wheel reports for one notch.
constexpr int kWheelNotch = 120;

}  // namespace

LRESULT TCustomGrid::DialogCode() {
    LRESULT code = DLGC_WANTARROWS;
    if (options_ & goRowSelect) return code;
    if (options_ & goTabs) code |= DLGC_WANTTAB;
    if (options_ & goEditing) code |= DLGC_WANTCHARS;
    return code;
}

void TCustomGrid::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DialogCode(); return;
    case WM_SETCURSOR:
        // Over a line that sizes cells: the sizing cursor.
        if (LOWORD_S(m.LParam) == HTCLIENT && grid_state_ == gsNormal) {
            const TPoint p = ScreenToClient(GetCursorPos());
            TGridState state;
            int index, pos, offset;
            CalcSizingState(p.x, p.y, state, index, pos, offset);
            if (state != gsNormal) {
                ui::SetCursor(LoadStandardCursor(state == gsColSizing ? IDC_SIZEWE : IDC_SIZENS));
                m.Result = 1;
                return;
            }
        }
        break;
    case WM_SETFOCUS:
        // While the editor shows, the focus belongs in it.
        if (inplace_ && inplace_->Visible() && inplace_->HandleAllocated()) {
            TCustomControl::WndProc(m);
            inplace_->SetFocus();
            return;
        }
        [[fallthrough]];
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        // The focus shows on the current cell (or row).
        InvalidateRange(Selection());
        if (m.Msg == WM_KILLFOCUS && grid_state_ != gsNormal) {
            StopTimer();
            SetDragLine(-1, true);
            grid_state_ = gsNormal;
        }
        return;
    case WM_SIZE:
        TCustomControl::WndProc(m);
        top_left_.X = std::min(top_left_.X, std::max(fixed_cols_, MaxLeftCol()));
        top_left_.Y = std::min(top_left_.Y, std::max(fixed_rows_, MaxTopRow()));
        UpdateScrollRange();
        if (editor_mode_) UpdateEdit();
        return;
    case WM_TIMER:
        if (m.WParam == kScrollTimer && grid_state_ == gsSelecting) {
            const TGridAxisInfo h = HorzInfo(), v = VertInfo();
            unsigned direction = 0;
            if (last_mouse_.x < h.fixed_boundary) direction |= sdLeft;
            if (last_mouse_.x >= h.full_boundary) direction |= sdRight;
            if (last_mouse_.y < v.fixed_boundary) direction |= sdUp;
            if (last_mouse_.y >= v.full_boundary) direction |= sdDown;
            if (direction) TimedScroll(direction);
            return;
        }
        break;
    case WM_MOUSEWHEEL: {
        // A fine wheel reports less than a notch at a time: the rest waits for more.
        wheel_rest_ += int16_t(uint16_t(m.WParam >> 16));
        const int notches = -(wheel_rest_ / kWheelNotch);
        wheel_rest_ %= kWheelNotch;
        if (notches != 0) WheelTurned(notches);
        m.Result = 0;
        return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        ScrollMessage(m.Msg == WM_HSCROLL ? 0 : 1, LOWORD_S(LPARAM(m.WParam)), HIWORD_S(LPARAM(m.WParam)));
        return;
    case WM_LBUTTONUP: {
        // Letting the button go gives the capture up before MouseUp runs.
        releasing_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{releasing_};
        TCustomControl::WndProc(m);
        return;
    }
    case WM_CAPTURECHANGED:
        if (grid_state_ != gsNormal && !releasing_ && LPARAM(handle_) != m.LParam) {
            StopTimer();
            SetDragLine(-1, true);
            grid_state_ = gsNormal;
        }
        break;
    default: break;
    }
    TCustomControl::WndProc(m);
}

void TCustomGrid::WheelTurned(int notches) {
    if (row_count_ <= fixed_rows_) return;
    const int row = std::clamp(current_.Y + notches, fixed_rows_, row_count_ - 1);
    if (row != current_.Y) FocusCell(current_.X, row, true);
}

// ---------------------------------------------------------------- keys

void TCustomGrid::KeyDown(UINT& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key == 0) return;
    const bool ctrl = shift & ssCtrl;
    const bool extend = (shift & ssShift) && (options_ & goRangeSelect);
    TGridCoord to = current_;
    const int page = std::max(1, VisibleRowCount());
    const int last_col = col_count_ - 1, last_row = row_count_ - 1;
    switch (key) {
    case VK_UP: to.Y -= 1; break;
    case VK_DOWN: to.Y += 1; break;
    case VK_LEFT:
        if (options_ & goRowSelect) {
            SetLeftCol(top_left_.X - 1);
            return;
        }
        to.X = ctrl ? fixed_cols_ : to.X - 1;
        break;
    case VK_RIGHT:
        if (options_ & goRowSelect) {
            SetLeftCol(std::min(top_left_.X + 1, MaxLeftCol()));
            return;
        }
        to.X = ctrl ? last_col : to.X + 1;
        break;
    case VK_PRIOR: to.Y -= page; break;
    case VK_NEXT: to.Y += page; break;
    case VK_HOME:
        if (ctrl) to.Y = fixed_rows_;
        to.X = fixed_cols_;
        break;
    case VK_END:
        if (ctrl) to.Y = last_row;
        to.X = last_col;
        break;
    case VK_TAB:
        if (!(options_ & goTabs) || (shift & ssAlt)) return;
        // The next (or previous) column that takes a tab, wrapping once into the next row.
        for (int tries = 0; tries < col_count_ * 2; ++tries) {
            if (shift & ssShift) {
                if (--to.X < fixed_cols_) to.X = last_col, to.Y = std::max(fixed_rows_, to.Y - 1);
            } else if (++to.X > last_col) {
                to.X = fixed_cols_, to.Y = std::min(last_row, to.Y + 1);
            }
            if (TabStops(to.X)) break;
        }
        break;
    case VK_F2: SetEditorMode(true); return;
    default: return;
    }
    to.X = std::clamp(to.X, fixed_cols_, std::max(fixed_cols_, last_col));
    to.Y = std::clamp(to.Y, fixed_rows_, std::max(fixed_rows_, last_row));
    if (to == current_) return;
    FocusCell(to.X, to.Y, !extend);
}

void TCustomGrid::KeyPress(char& key) {
    TCustomControl::KeyPress(key);
    if (key == 0 || !(options_ & goEditing)) return;
    if (key == '\r') {
        // Enter switches the editor on and off.
        SetEditorMode(!editor_mode_);
        key = 0;
        return;
    }
    if (static_cast<unsigned char>(key) < ' ' || !CanEditAcceptKey(key)) return;
    ShowEditor();
    if (inplace_ && inplace_->Visible() && inplace_->HandleAllocated()) {
        // The key that opened the editor is its first character, ahead of the keys queued after it.
        SendMessage(inplace_->WindowHandle(), WM_CHAR, static_cast<unsigned char>(key), 1);
        key = 0;
    }
}

// ---------------------------------------------------------------- mouse

void TCustomGrid::CalcSizingState(int x, int y, TGridState& state, int& index, int& pos, int& offset) {
    state = gsNormal, index = -1, pos = 0, offset = 0;
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    auto find = [&](const TGridAxisInfo& a, int p, bool horizontal) {
        auto try_cells = [&](int first, int last, int start) {
            for (int i = first; i <= last; ++i) {
                start += horizontal ? ColWidths(i) : RowHeights(i);
                if (p >= start - kSizingZone && p < start + a.line_width + kSizingZone) {
                    index = i, pos = start, offset = p - start;
                    return true;
                }
                start += a.line_width;
            }
            return false;
        };
        return try_cells(0, a.fixed_count - 1, 0) ||
            try_cells(a.first_grid_cell, a.last_visible_cell, a.fixed_boundary);
    };
    if ((options_ & goColSizing) && y >= 0 && y < v.fixed_boundary && find(h, x, true))
        state = gsColSizing;
    else if ((options_ & goRowSizing) && x >= 0 && x < h.fixed_boundary && find(v, y, false))
        state = gsRowSizing;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    last_mouse_ = {x, y};
    if (button != mbLeft || (shift & ssDouble)) return;
    if (!Focused() && CanFocus() && HandleAllocated()) {
        SetFocus();
        if (!Focused()) return;  // a handler took the focus elsewhere
    }
    int index, pos, offset;
    TGridState sizing;
    CalcSizingState(x, y, sizing, index, pos, offset);
    if (sizing != gsNormal) {
        HideEdit();
        grid_state_ = sizing, sizing_index_ = index, sizing_pos_ = pos, sizing_ofs_ = offset;
        sizing_start_ = pos - (sizing == gsColSizing ? ColWidths(index) : RowHeights(index));
        SetDragLine(pos, sizing == gsColSizing);
        return;
    }
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0) return;
    if ((options_ & goColMoving) && cell.Y < fixed_rows_ && cell.X >= fixed_cols_) {
        HideEdit();
        grid_state_ = gsColMoving, move_index_ = move_pos_ = cell.X, move_start_x_ = x, move_started_ = false;
        return;
    }
    if ((options_ & goRowMoving) && cell.X < fixed_cols_ && cell.Y >= fixed_rows_) {
        HideEdit();
        grid_state_ = gsRowMoving, move_index_ = move_pos_ = cell.Y, move_start_x_ = y, move_started_ = false;
        return;
    }
    if (cell.X < fixed_cols_ || cell.Y < fixed_rows_) return;
    if ((options_ & goEditing) && cell == current_ && !(options_ & goRowSelect)) {
        ShowEditor();
        return;
    }
    FocusCell(cell.X, cell.Y, !((shift & ssShift) && (options_ & goRangeSelect)));
    BeginSelecting();
}

void TCustomGrid::BeginSelecting() {
    grid_state_ = gsSelecting;
    StartTimer();
}

int TCustomGrid::MoveTargetCol(int x) {
    const TGridAxisInfo h = HorzInfo();
    int target = MouseCoord(std::clamp(x, h.fixed_boundary, std::max(h.fixed_boundary, h.grid_boundary - 1)), 0).X;
    if (target < 0) target = x < h.fixed_boundary ? h.first_grid_cell : h.last_visible_cell;
    return std::clamp(target, fixed_cols_, col_count_ - 1);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
    TCustomControl::MouseMove(shift, x, y);
    last_mouse_ = {x, y};
    switch (grid_state_) {
    case gsColSizing: SetDragLine(std::max(sizing_start_, x - sizing_ofs_), true); break;
    case gsRowSizing: SetDragLine(std::max(sizing_start_, y - sizing_ofs_), false); break;
    case gsColMoving: {
        if (!move_started_ && std::abs(x - move_start_x_) < std::max(1, GetSystemMetrics(SM_CXDRAG))) break;
        move_started_ = true;
        move_pos_ = MoveTargetCol(x);
        // The line stands where the column would land.
        const TRect r = CellRect(move_pos_, 0);
        if (r.Empty()) break;
        SetDragLine(move_pos_ > move_index_ ? r.right : r.left, true);
        break;
    }
    case gsRowMoving: {
        if (!move_started_ && std::abs(y - move_start_x_) < std::max(1, GetSystemMetrics(SM_CYDRAG))) break;
        move_started_ = true;
        int target = MouseCoord(0, y).Y;
        if (target < 0) target = y < VertInfo().fixed_boundary ? top_left_.Y : VertInfo().last_visible_cell;
        move_pos_ = std::clamp(target, fixed_rows_, row_count_ - 1);
        const TRect r = CellRect(0, move_pos_);
        if (!r.Empty()) SetDragLine(move_pos_ > move_index_ ? r.bottom : r.top, false);
        break;
    }
    case gsSelecting: SelectingMove(x, y); break;
    default: break;
    }
}

void TCustomGrid::SelectingMove(int x, int y) {
    const TGridCoord cell = MouseCoord(x, y);
    if (cell.X < fixed_cols_ || cell.Y < fixed_rows_ || cell == current_) return;
    // Inside the cells the current cell follows; outside the timer scrolls.
    MoveColRow(cell.X, cell.Y, !(options_ & goRangeSelect), true);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    last_mouse_ = {x, y};
    if (button == mbLeft) EndMove(x, y);
    TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomGrid::EndMove(int x, int y) {
    const TGridState state = std::exchange(grid_state_, gsNormal);
    StopTimer();
    SetDragLine(-1, true);
    switch (state) {
    case gsColSizing: SetColWidths(sizing_index_, std::max(0, x - sizing_ofs_ - sizing_start_)); break;
    case gsRowSizing: SetRowHeights(sizing_index_, std::max(0, y - sizing_ofs_ - sizing_start_)); break;
    case gsColMoving:
        if (move_started_ && move_pos_ != move_index_) MoveColumn(move_index_, move_pos_);
        break;
    case gsRowMoving:
        if (move_started_ && move_pos_ != move_index_) MoveRow(move_index_, move_pos_);
        break;
    default: break;
    }
    if (state != gsNormal && state != gsSelecting && editor_mode_) UpdateEdit();
}

void TCustomGrid::StartTimer() {
    if (timer_on_ || !HandleAllocated()) return;
    timer_on_ = SetTimer(handle_, kScrollTimer, kScrollInterval) != 0;
}

void TCustomGrid::StopTimer() {
    if (!timer_on_) return;
    timer_on_ = false;
    if (HandleAllocated()) KillTimer(handle_, kScrollTimer);
}

void TCustomGrid::TimedScroll(unsigned direction) {
    TGridCoord to = current_;
    if (direction & sdLeft) to.X = std::max(fixed_cols_, to.X - 1);
    if (direction & sdRight) to.X = std::min(col_count_ - 1, to.X + 1);
    if (direction & sdUp) to.Y = std::max(fixed_rows_, to.Y - 1);
    if (direction & sdDown) to.Y = std::min(row_count_ - 1, to.Y + 1);
    if (!(to == current_)) MoveColRow(to.X, to.Y, !(options_ & goRangeSelect), true);
}

// ---------------------------------------------------------------- scroll bars

void TCustomGrid::ScrollMessage(int bar, int code, int pos) {
    const bool vertical = bar == 1;
    const int fixed = vertical ? fixed_rows_ : fixed_cols_;
    const int current = vertical ? top_left_.Y : top_left_.X;
    const int last = vertical ? MaxTopRow() : MaxLeftCol();
    const int page = std::max(1, vertical ? VisibleRowCount() : VisibleColCount());
    int to = current;
    switch (code) {
    case SB_LINEUP: to = current - 1; break;
    case SB_LINEDOWN: to = current + 1; break;
    case SB_PAGEUP: to = current - page; break;
    case SB_PAGEDOWN: to = current + page; break;
    case SB_THUMBPOSITION: to = fixed + pos; break;
    case SB_THUMBTRACK:
        if (!(options_ & goThumbTracking)) return;
        to = fixed + pos;
        break;
    case SB_TOP: to = fixed; break;
    case SB_BOTTOM: to = last; break;
    default: return;
    }
    to = std::clamp(to, fixed, std::max(fixed, last));
    if (vertical)
        SetTopRow(to);
    else
        SetLeftCol(to);
}

}  // namespace ui
