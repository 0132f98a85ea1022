// The grid base: sizes and counts, where cells lie in the window, the current
// cell and the top-left cell, and scrolling by copying pixels.
#include <algorithm>
#include <climits>

#include "framework/ui/forms.hpp"
#include "framework/ui/grids.hpp"

namespace ui {

namespace {

// Sizes above this are cut, so that sums of a few thousand cells never overflow.
constexpr int kMaxCellSize = 100000;
constexpr int kMaxCells = 100000000;

}  // namespace

TCustomGrid::TCustomGrid(TComponent* owner) : TCustomControl(owner) {
    ControlStyle = csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
    width_ = 320, height_ = 120;
    color_ = clWindow;
    brush_->SetColor(color_);
    TabStop = true;
    current_ = anchor_ = top_left_ = {fixed_cols_, fixed_rows_};
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::BeforeDestruction() {
    StopTimer();
    TCustomControl::BeforeDestruction();
}

void TCustomGrid::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style |= WS_TABSTOP;
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) p.style |= WS_VSCROLL;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) p.style |= WS_HSCROLL;
    if (border_style_ == bsSingle) p.ex_style |= WS_EX_CLIENTEDGE;
}

void TCustomGrid::CreateHandleDone() {
    TCustomControl::CreateHandleDone();
    UpdateScrollRange();
}

// ---------------------------------------------------------------- sizes and counts

void TCustomGrid::ChangeSize(int cols, int rows) {
    cols = std::clamp(cols, 0, kMaxCells), rows = std::clamp(rows, 0, kMaxCells);
    const int old_cols = col_count_, old_rows = row_count_;
    col_count_ = cols, row_count_ = rows;
    if (!col_widths_.empty()) col_widths_.resize(size_t(cols), default_col_width_);
    if (!row_heights_.empty()) row_heights_.resize(size_t(rows), default_row_height_);
    if (!tab_stops_.empty()) tab_stops_.resize(size_t(cols), 1);
    if (fixed_cols_ > cols) fixed_cols_ = std::max(0, cols);
    if (fixed_rows_ > rows) fixed_rows_ = std::max(0, rows);
    auto clamp_cell = [&](TGridCoord& c) {
        c.X = std::clamp(c.X, fixed_cols_, std::max(fixed_cols_, cols - 1));
        c.Y = std::clamp(c.Y, fixed_rows_, std::max(fixed_rows_, rows - 1));
    };
    clamp_cell(current_), clamp_cell(anchor_), clamp_cell(top_left_);
    top_left_.X = std::min(top_left_.X, std::max(fixed_cols_, MaxLeftCol()));
    top_left_.Y = std::min(top_left_.Y, std::max(fixed_rows_, MaxTopRow()));
    SizeChanged(old_cols, old_rows);
    UpdateScrollRange();
    Invalidate();
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::SetColCount(int v) {
    if (v == col_count_) return;
    if (v < 1) v = 1;
    if (v <= fixed_cols_) fixed_cols_ = v - 1;
    ChangeSize(v, row_count_);
}

void TCustomGrid::SetRowCount(int v) {
    if (v == row_count_) return;
    if (v < 1) v = 1;
    if (v <= fixed_rows_) fixed_rows_ = v - 1;
    ChangeSize(col_count_, v);
}

void TCustomGrid::SetFixedCols(int v) {
    if (v < 0 || v >= col_count_) throw EInvalidOperation("Fixed column count must be less than column count");
    if (v == fixed_cols_) return;
    fixed_cols_ = v;
    ChangeSize(col_count_, row_count_);
}

void TCustomGrid::SetFixedRows(int v) {
    if (v < 0 || v >= row_count_) throw EInvalidOperation("Fixed row count must be less than row count");
    if (v == fixed_rows_) return;
    fixed_rows_ = v;
    ChangeSize(col_count_, row_count_);
}

void TCustomGrid::SetDefaultColWidth(int v) {
    v = std::clamp(v, 0, kMaxCellSize);
    if (v == default_col_width_) return;
    default_col_width_ = v;
    col_widths_.clear();
    ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int v) {
    v = std::clamp(v, 0, kMaxCellSize);
    if (v == default_row_height_) return;
    default_row_height_ = v;
    row_heights_.clear();
    RowHeightsChanged();
}

int TCustomGrid::ColWidths(int col) const {
    if (col < 0 || col >= col_count_ || col_widths_.empty()) return default_col_width_;
    return col_widths_[size_t(col)];
}

void TCustomGrid::SetColWidths(int col, int width) {
    if (col < 0 || col >= col_count_) throw EListError("Grid index out of range");
    width = std::clamp(width, 0, kMaxCellSize);
    if (col_widths_.empty()) {
        if (width == default_col_width_) return;
        col_widths_.assign(size_t(col_count_), default_col_width_);
    }
    if (col_widths_[size_t(col)] == width) return;
    col_widths_[size_t(col)] = width;
    ColWidthsChanged();
}

int TCustomGrid::RowHeights(int row) const {
    if (row < 0 || row >= row_count_ || row_heights_.empty()) return default_row_height_;
    return row_heights_[size_t(row)];
}

void TCustomGrid::SetRowHeights(int row, int height) {
    if (row < 0 || row >= row_count_) throw EListError("Grid index out of range");
    height = std::clamp(height, 0, kMaxCellSize);
    if (row_heights_.empty()) {
        if (height == default_row_height_) return;
        row_heights_.assign(size_t(row_count_), default_row_height_);
    }
    if (row_heights_[size_t(row)] == height) return;
    row_heights_[size_t(row)] = height;
    RowHeightsChanged();
}

bool TCustomGrid::TabStops(int col) const {
    if (col < 0 || col >= col_count_ || tab_stops_.empty()) return true;
    return tab_stops_[size_t(col)] != 0;
}

void TCustomGrid::SetTabStops(int col, bool stop) {
    if (col < 0 || col >= col_count_) throw EListError("Grid index out of range");
    if (tab_stops_.empty()) {
        if (stop) return;
        tab_stops_.assign(size_t(col_count_), 1);
    }
    tab_stops_[size_t(col)] = stop ? 1 : 0;
}

void TCustomGrid::ColWidthsChanged() {
    top_left_.X = std::min(top_left_.X, std::max(fixed_cols_, MaxLeftCol()));
    UpdateScrollRange();
    Invalidate();
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::RowHeightsChanged() {
    top_left_.Y = std::min(top_left_.Y, std::max(fixed_rows_, MaxTopRow()));
    UpdateScrollRange();
    Invalidate();
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::SetGridLineWidth(int v) {
    v = std::clamp(v, 0, 100);
    if (v == grid_line_width_) return;
    grid_line_width_ = v;
    ColWidthsChanged();
}

void TCustomGrid::SetOptions(TGridOptions v) {
    if (v == options_) return;
    if (v & goRowSelect) v &= ~goAlwaysShowEditor;
    options_ = v;
    if (!(v & goEditing) && editor_mode_) HideEditor();
    if ((v & goAlwaysShowEditor) && (v & goEditing)) editor_mode_ = true;
    UpdateScrollRange();
    Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle v) {
    if (v == scroll_bars_) return;
    scroll_bars_ = v;
    UpdateStyles();
    UpdateScrollRange();
}

void TCustomGrid::SetBorderStyle(TBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    UpdateStyles();
}

void TCustomGrid::SetFixedColor(TColor v) {
    if (v == fixed_color_) return;
    fixed_color_ = v;
    Invalidate();
}

// ---------------------------------------------------------------- where cells lie

int TCustomGrid::Extent(bool horizontal, int index) const { return horizontal ? ColWidths(index) : RowHeights(index); }

TGridAxisInfo TCustomGrid::CalcAxis(bool horizontal) {
    TGridAxisInfo a;
    const TRect client = ClientRect();
    const unsigned lines = horizontal ? goFixedVertLine | goVertLine : goFixedHorzLine | goHorzLine;
    a.line_width = (options_ & lines) ? grid_line_width_ : 0;
    a.grid_extent = horizontal ? client.Width() : client.Height();
    a.count = horizontal ? col_count_ : row_count_;
    a.fixed_count = horizontal ? fixed_cols_ : fixed_rows_;
    a.first_grid_cell = horizontal ? top_left_.X : top_left_.Y;
    int64_t pos = 0;
    for (int i = 0; i < a.fixed_count && pos < INT_MAX / 2; ++i) pos += Extent(horizontal, i) + a.line_width;
    a.fixed_boundary = int(std::min<int64_t>(pos, INT_MAX / 2));
    a.last_full_cell = a.first_grid_cell - 1;
    a.full_boundary = a.fixed_boundary;
    a.last_visible_cell = a.first_grid_cell - 1;
    int i = a.first_grid_cell;
    while (pos < a.grid_extent && i < a.count) {
        pos += Extent(horizontal, i) + a.line_width;
        a.last_visible_cell = i;
        if (pos <= a.grid_extent) a.last_full_cell = i, a.full_boundary = int(pos);
        ++i;
    }
    a.grid_boundary = int(std::min<int64_t>(pos, a.grid_extent));
    return a;
}

TGridAxisInfo TCustomGrid::HorzInfo() { return CalcAxis(true); }
TGridAxisInfo TCustomGrid::VertInfo() { return CalcAxis(false); }

int TCustomGrid::VisibleColCount() {
    const TGridAxisInfo h = HorzInfo();
    return std::max(0, h.last_full_cell - h.first_grid_cell + 1);
}

int TCustomGrid::VisibleRowCount() {
    const TGridAxisInfo v = VertInfo();
    return std::max(0, v.last_full_cell - v.first_grid_cell + 1);
}

namespace {

// Start of cell `index` along an axis, or -1 when it is not shown.
int CellStart(const TGridAxisInfo& a, int index, int (*extent)(const TCustomGrid&, bool, int), const TCustomGrid& g,
              bool horizontal) {
    if (index < 0 || index >= a.count) return -1;
    int pos = 0;
    if (index < a.fixed_count) {
        for (int i = 0; i < index; ++i) pos += extent(g, horizontal, i) + a.line_width;
        return pos;
    }
    if (index < a.first_grid_cell || index > a.last_visible_cell) return -1;
    pos = a.fixed_boundary;
    for (int i = a.first_grid_cell; i < index; ++i) pos += extent(g, horizontal, i) + a.line_width;
    return pos;
}

int ExtentOf(const TCustomGrid& g, bool horizontal, int index) {
    return horizontal ? g.ColWidths(index) : g.RowHeights(index);
}

// The cell whose span holds `pos`, -1 for none.
int CellAt(const TGridAxisInfo& a, int pos, const TCustomGrid& g, bool horizontal) {
    if (pos < 0 || pos >= a.grid_boundary) return -1;
    int start = 0;
    for (int i = 0; i < a.fixed_count; ++i) {
        start += ExtentOf(g, horizontal, i) + a.line_width;
        if (pos < start) return i;
    }
    for (int i = a.first_grid_cell; i <= a.last_visible_cell; ++i) {
        start += ExtentOf(g, horizontal, i) + a.line_width;
        if (pos < start) return i;
    }
    return -1;
}

}  // namespace

TRect TCustomGrid::CellRect(int col, int row) {
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    const int x = CellStart(h, col, ExtentOf, *this, true), y = CellStart(v, row, ExtentOf, *this, false);
    if (x < 0 || y < 0) return {};
    return {x, y, x + ColWidths(col), y + RowHeights(row)};
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) {
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    TGridCoord c{CellAt(h, x, *this, true), CellAt(v, y, *this, false)};
    if (c.X < 0 || c.Y < 0) c = {-1, -1};
    return c;
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) {
    const TGridCoord c = MouseCoord(x, y);
    col = c.X, row = c.Y;
}

TGridRect TCustomGrid::Selection() const {
    TGridRect r{std::min(current_.X, anchor_.X), std::min(current_.Y, anchor_.Y), std::max(current_.X, anchor_.X),
                std::max(current_.Y, anchor_.Y)};
    if (options_ & goRowSelect) r.Left = fixed_cols_, r.Right = col_count_ - 1;
    return r;
}

void TCustomGrid::InvalidateCell(int col, int row) { InvalidateRange({col, row, col, row}); }

void TCustomGrid::InvalidateCol(int col) { InvalidateRange({col, 0, col, row_count_ - 1}); }

void TCustomGrid::InvalidateRow(int row) { InvalidateRange({0, row, col_count_ - 1, row}); }

void TCustomGrid::InvalidateRange(const TGridRect& g) {
    if (!HandleAllocated()) return;
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    auto span = [&](const TGridAxisInfo& a, int first, int last, bool horizontal, int& from, int& to) {
        from = INT_MAX, to = -1;
        for (int i = std::max(first, 0); i <= last && i < a.count; ++i) {
            if (i >= a.fixed_count && i < a.first_grid_cell) {
                i = a.first_grid_cell - 1;
                continue;
            }
            if (i > a.last_visible_cell) break;
            const int s = CellStart(a, i, ExtentOf, *this, horizontal);
            if (s < 0) continue;
            from = std::min(from, s);
            to = std::max(to, s + ExtentOf(*this, horizontal, i) + a.line_width);
        }
    };
    int l, r, t, b;
    span(h, g.Left, g.Right, true, l, r);
    span(v, g.Top, g.Bottom, false, t, b);
    if (r < 0 || b < 0) return;
    const TRect rect{l, t, r, b};
    InvalidateRect(handle_, &rect, false);
}

// ---------------------------------------------------------------- the current cell and scrolling

int TCustomGrid::MaxTopRow() {
    // The top row that shows the last rows whole.
    const int extent = ClientRect().Height() - VertInfo().fixed_boundary;
    const int lw = VertInfo().line_width;
    int used = 0, row = row_count_ - 1;
    while (row >= fixed_rows_) {
        used += RowHeights(row) + lw;
        if (used > extent) break;
        --row;
    }
    return std::clamp(row + 1, fixed_rows_, std::max(fixed_rows_, row_count_ - 1));
}

int TCustomGrid::MaxLeftCol() {
    const int extent = ClientRect().Width() - HorzInfo().fixed_boundary;
    const int lw = HorzInfo().line_width;
    int used = 0, col = col_count_ - 1;
    while (col >= fixed_cols_) {
        used += ColWidths(col) + lw;
        if (used > extent) break;
        --col;
    }
    return std::clamp(col + 1, fixed_cols_, std::max(fixed_cols_, col_count_ - 1));
}

void TCustomGrid::FocusCell(int col, int row, bool move_anchor) {
    MoveColRow(col, row, move_anchor, true);
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::MoveColRow(int col, int row, bool move_anchor, bool show) {
    if (col < 0 || row < 0 || col >= col_count_ || row >= row_count_)
        throw EInvalidOperation("Grid index out of range");
    if (!SelectCell(col, row)) return;
    const TGridRect old = Selection();
    current_ = {col, row};
    if (move_anchor || !(options_ & goRangeSelect)) anchor_ = current_;
    if (show) ClampInView(current_);
    InvalidateRange(old);
    InvalidateRange(Selection());
}

void TCustomGrid::ClampInView(TGridCoord cell) {
    if (!HandleAllocated()) return;
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    TGridCoord tl = top_left_;
    if (cell.X >= fixed_cols_) {
        // No whole column shown: the cell itself goes first.
        const bool none_whole = h.last_full_cell < h.first_grid_cell;
        if (cell.X < tl.X || (cell.X > h.last_full_cell && none_whole)) {
            tl.X = cell.X;
        } else if (cell.X > h.last_full_cell) {
            // Scroll right until the cell is whole, but never past it.
            int used = ColWidths(cell.X) + h.line_width, x = cell.X;
            const int room = h.grid_extent - h.fixed_boundary;
            while (x > fixed_cols_ && used + ColWidths(x - 1) + h.line_width <= room)
                --x, used += ColWidths(x) + h.line_width;
            tl.X = x;
        }
    }
    if (cell.Y >= fixed_rows_) {
        if (cell.Y < tl.Y)
            tl.Y = cell.Y;
        else if (cell.Y > v.last_full_cell) {
            int used = RowHeights(cell.Y) + v.line_width, y = cell.Y;
            const int room = v.grid_extent - v.fixed_boundary;
            while (y > fixed_rows_ && used + RowHeights(y - 1) + v.line_width <= room)
                --y, used += RowHeights(y) + v.line_width;
            tl.Y = y;
        }
    }
    if (!(tl == top_left_)) MoveTopLeft(tl.X, tl.Y);
}

void TCustomGrid::SetTopRow(int v) {
    v = std::clamp(v, fixed_rows_, std::max(fixed_rows_, row_count_ - 1));
    if (v != top_left_.Y) MoveTopLeft(top_left_.X, v);
}

void TCustomGrid::SetLeftCol(int v) {
    v = std::clamp(v, fixed_cols_, std::max(fixed_cols_, col_count_ - 1));
    if (v != top_left_.X) MoveTopLeft(v, top_left_.Y);
}

void TCustomGrid::MoveTopLeft(int col, int row) {
    const TGridCoord old = top_left_;
    if (old.X == col && old.Y == row) return;
    // Pixels the scrolling area moves, when the old and the new view overlap.
    auto distance = [&](bool horizontal, int from, int to) {
        const TGridAxisInfo a = horizontal ? HorzInfo() : VertInfo();
        int d = 0;
        for (int i = std::min(from, to); i < std::max(from, to); ++i) d += Extent(horizontal, i) + a.line_width;
        return from < to ? -d : d;
    };
    const int dx = distance(true, old.X, col), dy = distance(false, old.Y, row);
    top_left_ = {col, row};
    if (HandleAllocated()) {
        const TRect c = ClientRect();
        if (std::abs(dx) < c.Width() && std::abs(dy) < c.Height() && (dx == 0 || dy == 0))
            ScrollData(dx, dy);
        else
            Invalidate();
    }
    UpdateScrollPos();
    TopLeftChanged();
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::ScrollData(int dx, int dy) {
    if (!HandleAllocated() || (dx == 0 && dy == 0)) return;
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    const TRect client = ClientRect();
    // Fixed rows stay when rows scroll and fixed columns when columns do; the
    // other fixed cells travel with their row or column.
    if (dy != 0) {
        const TRect area{0, v.fixed_boundary, client.right, client.bottom};
        ScrollWindow(handle_, 0, dy, &area, &area);
    }
    if (dx != 0) {
        const TRect area{h.fixed_boundary, 0, client.right, client.bottom};
        ScrollWindow(handle_, dx, 0, &area, &area);
    }
}

void TCustomGrid::MoveColumn(int from, int to) {
    if (from == to) return;
    if (from < 0 || to < 0 || from >= col_count_ || to >= col_count_) throw EListError("Grid index out of range");
    auto move = [&](auto& v) {
        if (v.empty()) return;
        auto value = v[size_t(from)];
        v.erase(v.begin() + from);
        v.insert(v.begin() + to, value);
    };
    move(col_widths_);
    move(tab_stops_);
    // The current cell stays with its column.
    auto follow = [&](int& c) {
        if (c == from)
            c = to;
        else if (from < c && c <= to)
            --c;
        else if (to <= c && c < from)
            ++c;
    };
    follow(current_.X), follow(anchor_.X);
    ColumnMoved(from, to);
    Invalidate();
    if (editor_mode_) UpdateEdit();
}

void TCustomGrid::MoveRow(int from, int to) {
    if (from == to) return;
    if (from < 0 || to < 0 || from >= row_count_ || to >= row_count_) throw EListError("Grid index out of range");
    if (!row_heights_.empty()) {
        const int value = row_heights_[size_t(from)];
        row_heights_.erase(row_heights_.begin() + from);
        row_heights_.insert(row_heights_.begin() + to, value);
    }
    auto follow = [&](int& r) {
        if (r == from)
            r = to;
        else if (from < r && r <= to)
            --r;
        else if (to <= r && r < from)
            ++r;
    };
    follow(current_.Y), follow(anchor_.Y);
    RowMoved(from, to);
    Invalidate();
}

bool TCustomGrid::IsActiveControl() {
    if (Focused() || (inplace_ && inplace_->Focused())) return true;
    for (TControl* c = this; c; c = c->Parent())
        if (auto* form = dynamic_cast<TCustomForm*>(c)) return form->ActiveControl() == this && form->Active();
    return Focused();
}

}  // namespace ui
