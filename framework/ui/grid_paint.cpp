// The grid base's painting: the cells in the damaged area through DrawCell,
// the grid lines, the background past the last cell and the drag line of a
// column being sized or moved.
#include <algorithm>
#include <vector>

#include "framework/ui/grids.hpp"

namespace ui {

namespace {

// Lines between fixed cells and between the others.
constexpr TColor kFixedLineColor = clBlack;
constexpr TColor kLineColor = clSilver;

}  // namespace

void TCustomGrid::Paint() {
    TCanvas* canvas = Canvas();
    const TRect clip = canvas->ClipRect();
    // The damaged parts (a scrolled row and a column of indicator cells, say):
    // cells outside all of them are not drawn.
    std::vector<TRect> damaged;
    DC& target = *canvas->Handle();
    target.ClipRects(target.ToDevice(ClientRect()), damaged);
    for (TRect& d : damaged) d = d.Offset(-target.S().origin.x, -target.S().origin.y);
    auto is_damaged = [&](const TRect& cell) {
        for (const TRect& d : damaged)
            if (Intersects(cell, d)) return true;
        return false;
    };
    const TGridAxisInfo h = HorzInfo(), v = VertInfo();
    const TGridRect sel = Selection();
    const bool focused = IsActiveControl();
    const bool editor_shown = editor_mode_ && inplace_ && inplace_->Visible() && (options_ & goEditing);

    // Rows (then columns) to visit: the fixed ones, then the scrolling ones shown.
    struct Span {
        int first, last, start;
    };
    const Span rows[2] = {{0, fixed_rows_ - 1, 0}, {v.first_grid_cell, v.last_visible_cell, v.fixed_boundary}};
    const Span cols[2] = {{0, fixed_cols_ - 1, 0}, {h.first_grid_cell, h.last_visible_cell, h.fixed_boundary}};
    for (const Span& rs : rows) {
        int y = rs.start;
        for (int r = rs.first; r <= rs.last && y < clip.bottom; ++r) {
            const int height = RowHeights(r);
            const int row_end = y + height + v.line_width;
            if (row_end > clip.top) {
                for (const Span& cs : cols) {
                    int x = cs.start;
                    for (int c = cs.first; c <= cs.last && x < clip.right; ++c) {
                        const int width = ColWidths(c);
                        const TRect cell{x, y, x + width, y + height};
                        x += width + h.line_width;
                        if (cell.right + h.line_width <= clip.left || width <= 0 || height <= 0) continue;
                        if (!is_damaged(cell)) continue;
                        TGridDrawState state = 0;
                        if (c < fixed_cols_ || r < fixed_rows_) {
                            state = gdFixed;
                        } else {
                            if (c >= sel.Left && c <= sel.Right && r >= sel.Top && r <= sel.Bottom) state |= gdSelected;
                            if (focused && c == current_.X && r == current_.Y) state |= gdFocused;
                        }
                        // The editor covers the current cell.
                        if (editor_shown && c == current_.X && r == current_.Y) continue;
                        if (DefaultDrawing) {
                            TColor fill = color_;
                            if (state & gdFixed)
                                fill = fixed_color_;
                            else if ((state & gdSelected) &&
                                     (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect))))
                                fill = clHighlight;
                            canvas->Brush()->SetColor(fill);
                            canvas->Font()->Assign(font_.get());
                            if (fill == clHighlight) canvas->Font()->SetColor(clHighlightText);
                            canvas->FillRect(cell);
                        }
                        DrawCell(c, r, cell, state);
                        if (DefaultDrawing && (state & gdFocused) && !(options_ & goRowSelect))
                            canvas->DrawFocusRect(cell);
                    }
                }
            }
            y = row_end;
        }
    }
    DrawLines(h, v);
    // Whatever lies past the last cell takes the grid's colour.
    DC& dc = *canvas->Handle();
    const ui::Brush back = ui::Brush::Solid(ColorToRGB(color_));
    const TRect client = ClientRect();
    if (h.grid_boundary < client.right) FillRect(dc, {h.grid_boundary, 0, client.right, client.bottom}, back);
    if (v.grid_boundary < client.bottom) FillRect(dc, {0, v.grid_boundary, h.grid_boundary, client.bottom}, back);
    DrawDragLine();
}

void TCustomGrid::DrawLines(const TGridAxisInfo& h, const TGridAxisInfo& v) {
    DC& dc = *Canvas()->Handle();
    const COLORREF fixed_line = ColorToRGB(kFixedLineColor), line = ColorToRGB(kLineColor);
    const COLORREF fixed_back = ColorToRGB(fixed_color_), back = ColorToRGB(color_);
    // The gap after each cell: a line when its option is on, else background.
    auto fill = [&](const TRect& r, bool fixed, unsigned fixed_option, unsigned option) {
        if (r.Empty()) return;
        COLORREF c =
            fixed ? ((options_ & fixed_option) ? fixed_line : fixed_back) : ((options_ & option) ? line : back);
        FillRect(dc, r, ui::Brush::Solid(c));
    };
    if (h.line_width > 0) {
        auto column_gaps = [&](int first, int last, int x) {
            for (int c = first; c <= last; ++c) {
                x += ColWidths(c);
                const TRect top{x, 0, x + h.line_width, std::min(v.fixed_boundary, v.grid_boundary)};
                const TRect rest{x, v.fixed_boundary, x + h.line_width, v.grid_boundary};
                fill(top, true, goFixedVertLine, goVertLine);
                fill(rest, c < fixed_cols_, goFixedVertLine, goVertLine);
                x += h.line_width;
            }
        };
        column_gaps(0, fixed_cols_ - 1, 0);
        column_gaps(h.first_grid_cell, h.last_visible_cell, h.fixed_boundary);
    }
    if (v.line_width > 0) {
        auto row_gaps = [&](int first, int last, int y) {
            for (int r = first; r <= last; ++r) {
                y += RowHeights(r);
                const TRect left{0, y, std::min(h.fixed_boundary, h.grid_boundary), y + v.line_width};
                const TRect rest{h.fixed_boundary, y, h.grid_boundary, y + v.line_width};
                fill(left, true, goFixedHorzLine, goHorzLine);
                fill(rest, r < fixed_rows_, goFixedHorzLine, goHorzLine);
                y += v.line_width;
            }
        };
        row_gaps(0, fixed_rows_ - 1, 0);
        row_gaps(v.first_grid_cell, v.last_visible_cell, v.fixed_boundary);
    }
}

// ---------------------------------------------------------------- the drag line

namespace {

TRect DragLineRect(int pos, bool vertical, const TRect& client) {
    return vertical ? TRect{pos - 1, 0, pos + 1, client.bottom} : TRect{0, pos - 1, client.right, pos + 1};
}

}  // namespace

// The line is part of the picture: painting inverts its pixels last, so a
// moved line costs two thin strips repainted.
void TCustomGrid::DrawDragLine() {
    if (drag_line_ < 0) return;
    InvertRect(*Canvas()->Handle(), DragLineRect(drag_line_, drag_vertical_, ClientRect()));
}

void TCustomGrid::SetDragLine(int pos, bool vertical) {
    if (pos == drag_line_ && vertical == drag_vertical_) return;
    if (HandleAllocated()) {
        const TRect client = ClientRect();
        if (drag_line_ >= 0) {
            const TRect old = DragLineRect(drag_line_, drag_vertical_, client);
            InvalidateRect(handle_, &old, false);
        }
        if (pos >= 0) {
            const TRect now = DragLineRect(pos, vertical, client);
            InvalidateRect(handle_, &now, false);
        }
    }
    drag_line_ = pos, drag_vertical_ = vertical;
}

}  // namespace ui
