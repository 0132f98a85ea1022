#pragma once
// The class library's grid base: a window of cells in columns and rows with
// fixed rows and columns at the top and left, column widths and row heights,
// grid lines, a current cell, the top-left scrolling cell, sizing and moving
// columns and rows with the mouse (a drag line shows where), keys that move
// the current cell, scroll bars, and an in-place editor that descendants
// switch on. Descendants draw the cells (DrawCell) and answer the editing
// questions; the base draws lines and the drag line and scrolls by copying
// pixels.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/controls.hpp"
#include "framework/ui/mask.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui {

// clang-format off
enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0, goFixedHorzLine = 1u << 1, goVertLine = 1u << 2, goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4, goDrawFocusSelected = 1u << 5, goRowSizing = 1u << 6, goColSizing = 1u << 7,
    goRowMoving = 1u << 8, goColMoving = 1u << 9, goEditing = 1u << 10, goTabs = 1u << 11,
    goRowSelect = 1u << 12, goAlwaysShowEditor = 1u << 13, goThumbTracking = 1u << 14,
};
// clang-format on
using TGridOptions = unsigned;
enum TGridDrawStateFlag : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;
enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

struct TGridCoord {
    int X = 0, Y = 0;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};
// Inclusive on all sides, as cell ranges are.
struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

// A request the grid cannot carry out ("Too many columns in grid").
struct EInvalidGridOperation : EInvalidOperation {
    using EInvalidOperation::EInvalidOperation;
};

// One direction of the grid as it is laid out in the window: where the
// fixed cells end, which cells are visible and where the last one ends.
class TCustomGrid;

// The grid's in-place editor: a masked edit over the current cell that takes
// its text, mask and limit from the grid, hands every change back, and passes
// the keys that move between cells on to the grid.
class TInplaceEdit : public TCustomMaskEdit {
public:
    explicit TInplaceEdit(TCustomGrid* grid);
    std::string ClassName() const override { return "TInplaceEdit"; }
    TCustomGrid* Grid() const { return grid_; }
    // Takes the current cell's mask, text and limit anew.
    void UpdateContents();
    void WndProc(TMessage& m) override;

protected:
    void KeyDown(UINT& key, TShiftState s) override;
    void KeyPress(char& key) override;
    void Change() override;

private:
    TCustomGrid* grid_;
    bool updating_ = false;
};

struct TGridAxisInfo {
    int line_width = 0;         // the grid line between cells (0 without lines)
    int fixed_boundary = 0;     // pixel after the fixed cells
    int grid_boundary = 0;      // pixel after the last cell shown (capped at the extent)
    int grid_extent = 0;        // the client width or height
    int fixed_count = 0;        // fixed cells
    int first_grid_cell = 0;    // the first scrolling cell shown (LeftCol, TopRow)
    int last_visible_cell = 0;  // the last cell shown, even in part
    int last_full_cell = 0;     // the last cell shown whole (first_grid_cell - 1: none)
    int full_boundary = 0;      // pixel after the last whole cell
    int count = 0;              // cells in all
};

class TCustomGrid : public TCustomControl {
    friend class TInplaceEdit;

public:
    explicit TCustomGrid(TComponent* owner);
    ~TCustomGrid() override;
    std::string ClassName() const override { return "TCustomGrid"; }
    void BeforeDestruction() override;

    int ColCount() const { return col_count_; }
    void SetColCount(int v);
    int RowCount() const { return row_count_; }
    void SetRowCount(int v);
    int FixedCols() const { return fixed_cols_; }
    void SetFixedCols(int v);
    int FixedRows() const { return fixed_rows_; }
    void SetFixedRows(int v);
    int DefaultColWidth() const { return default_col_width_; }
    void SetDefaultColWidth(int v);
    int DefaultRowHeight() const { return default_row_height_; }
    void SetDefaultRowHeight(int v);
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    bool TabStops(int col) const;
    void SetTabStops(int col, bool stop);
    int GridLineWidth() const { return grid_line_width_; }
    void SetGridLineWidth(int v);
    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions v);
    TScrollStyle ScrollBars() const { return scroll_bars_; }
    void SetScrollBars(TScrollStyle v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle v);
    TColor FixedColor() const { return fixed_color_; }
    void SetFixedColor(TColor v);
    bool DefaultDrawing = true;

    // The current cell.
    int Col() const { return current_.X; }
    void SetCol(int v) { FocusCell(v, current_.Y, true); }
    int Row() const { return current_.Y; }
    void SetRow(int v) { FocusCell(current_.X, v, true); }
    TGridRect Selection() const;
    int TopRow() const { return top_left_.Y; }
    void SetTopRow(int v);
    int LeftCol() const { return top_left_.X; }
    void SetLeftCol(int v);
    // Scrolling cells shown whole.
    int VisibleColCount();
    int VisibleRowCount();
    TGridState GridState() const { return grid_state_; }

    // Cell rectangles in client pixels (empty when the cell is not shown)
    // and the cell under a point (-1 for none).
    TRect CellRect(int col, int row);
    TGridCoord MouseCoord(int x, int y);
    void MouseToCell(int x, int y, int& col, int& row);
    void InvalidateCell(int col, int row);
    void InvalidateCol(int col);
    void InvalidateRow(int row);
    void InvalidateGrid() { Invalidate(); }
    void MoveColumn(int from, int to);
    void MoveRow(int from, int to);

    // The in-place editor: shown over the current cell while editing.
    bool EditorMode() const { return editor_mode_; }
    void SetEditorMode(bool v);
    TInplaceEdit* InplaceEditor() const { return inplace_; }
    void ShowEditor();
    void HideEditor();
    void InvalidateEditor();

    void WndProc(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void Paint() override;
    void KeyDown(UINT& key, TShiftState s) override;
    void KeyPress(char& key) override;
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;
    void MouseMove(TShiftState s, int x, int y) override;
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;

    // What descendants draw and decide.
    virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) = 0;
    virtual bool SelectCell(int, int) { return true; }
    virtual void ColumnMoved(int, int) {}
    virtual void RowMoved(int, int) {}
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void SizeChanged(int, int) {}
    virtual void TopLeftChanged() {}
    // A mouse held outside the cells while selecting scrolls one cell a tick.
    enum ScrollDirection : unsigned { sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8 };
    virtual void TimedScroll(unsigned direction);
    // The wheel turned by whole notches (towards the user positive): the
    // current cell moves a row a notch, as a key would move it.
    virtual void WheelTurned(int notches);
    // A press on a cell: the current cell follows the mouse until release,
    // and a timer scrolls while the mouse is outside the cells.
    void BeginSelecting();
    virtual void SelectingMove(int x, int y);
    // The sizing state the mouse at (x, y) would start.
    virtual void CalcSizingState(int x, int y, TGridState& state, int& index, int& pos, int& offset);
    // The grid's wish for keys that dialogs would take (WM_GETDLGCODE).
    virtual LRESULT DialogCode();

    // Editing.
    virtual bool CanEditShow();
    virtual bool CanEditModify() { return true; }
    virtual bool CanEditAcceptKey(char) { return true; }
    virtual std::string GetEditText(int, int) { return {}; }
    virtual void SetEditText(int, int, const std::string&) {}
    virtual std::string GetEditMask(int, int) { return {}; }
    virtual int GetEditLimit() { return 0; }
    // Makes the in-place editor; the grid owns what it returns.
    virtual TInplaceEdit* CreateEditor();
    virtual void UpdateEditorText();
    virtual void UpdateEditorBounds();
    // The focus left the editor for another control than the grid.
    virtual void EditorExit() {}
    void HideEdit();
    void UpdateEdit();

    // Moves the current cell (and the anchor of a range); `show` scrolls it into view.
    void MoveColRow(int col, int row, bool move_anchor, bool show);
    void FocusCell(int col, int row, bool move_anchor);
    void MoveTopLeft(int col, int row);
    // Copies the scrolling area's pixels by (dx, dy) and invalidates what comes in.
    void ScrollData(int dx, int dy);
    void UpdateScrollRange();
    void UpdateScrollPos();
    // A scroll bar of the window (bar 0 horizontal, 1 vertical): its range,
    // page and position; a range of 0..0 hides it. The thumb's track position.
    void SetScrollBarInfo(int bar, int min, int max, int page, int pos);
    int ScrollTrackPos(int bar);
    // Scroll-bar messages of the base: top row and left column by lines and pages.
    virtual void ScrollMessage(int bar, int code, int pos);
    bool IsActiveControl();
    TGridAxisInfo HorzInfo();
    TGridAxisInfo VertInfo();
    int MaxTopRow();
    int MaxLeftCol();

    TGridCoord current_;
    TGridCoord anchor_;
    TGridCoord top_left_;
    TGridState grid_state_ = gsNormal;
    TInplaceEdit* inplace_ = nullptr;
    bool editor_mode_ = false;
    bool can_edit_modify_ = true;
    int update_edit_lock_ = 0;

private:
    TGridAxisInfo CalcAxis(bool horizontal);
    int Extent(bool horizontal, int index) const;
    void ChangeSize(int cols, int rows);
    void ClampInView(TGridCoord cell);
    void InvalidateRange(const TGridRect& r);
    void DrawLines(const TGridAxisInfo& h, const TGridAxisInfo& v);
    void DrawDragLine();
    void SetDragLine(int pos, bool vertical);
    void StartTimer();
    void StopTimer();
    void EndMove(int x, int y);
    int MoveTargetCol(int x);

    int col_count_ = 5, row_count_ = 5;
    int fixed_cols_ = 1, fixed_rows_ = 1;
    int default_col_width_ = 64, default_row_height_ = 24;
    int grid_line_width_ = 1;
    TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TScrollStyle scroll_bars_ = ssBoth;
    TBorderStyle border_style_ = bsSingle;
    TColor fixed_color_ = clBtnFace;
    std::vector<int> col_widths_, row_heights_;  // empty: all default
    std::vector<char> tab_stops_;                // empty: all stops

    // Sizing and moving with the mouse.
    int sizing_index_ = 0, sizing_pos_ = 0, sizing_ofs_ = 0, sizing_start_ = 0;
    int move_index_ = 0, move_pos_ = 0, move_start_x_ = 0;
    bool move_started_ = false;
    int drag_line_ = -1;  // pixel of the drag line, -1 when none
    bool drag_vertical_ = true;
    bool timer_on_ = false;
    TPoint last_mouse_;
    bool hiding_editor_ = false;
    bool releasing_ = false;
    int wheel_rest_ = 0;  // less than a notch reported so far
};

// A grid whose cells the owner draws through OnDrawCell.
class TDrawGrid : public TCustomGrid {
public:
    using TCustomGrid::TCustomGrid;
    std::string ClassName() const override { return "TDrawGrid"; }
    using TCustomGrid::CellRect;
    std::function<void(TObject* sender, int col, int row, const TRect& rect, TGridDrawState state)> OnDrawCell;
    std::function<void(TObject* sender, int col, int row, bool& can_select)> OnSelectCell;
    std::function<void(TObject* sender, int from, int to)> OnColumnMoved;
    TNotifyEvent OnTopLeftChanged;

protected:
    void DrawCell(int col, int row, const TRect& rect, TGridDrawState state) override {
        if (OnDrawCell) OnDrawCell(this, col, row, rect, state);
    }
    bool SelectCell(int col, int row) override {
        bool ok = true;
        if (OnSelectCell) OnSelectCell(this, col, row, ok);
        return ok;
    }
    void ColumnMoved(int from, int to) override {
        if (OnColumnMoved) OnColumnMoved(this, from, to);
    }
    void TopLeftChanged() override {
        if (OnTopLeftChanged) OnTopLeftChanged(this);
    }
};

}  // namespace ui
