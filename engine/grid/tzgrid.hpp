#pragma once
// The data grid: the records of one dataset, a row a record and a column a
// field, with a title row and an indicator column. On top of the framework's
// grid it adds per-row colours chosen by an event, deleted records in their
// own colours, logical fields drawn as boxes, a title that stays pressed
// after a right click, click events for the corner, the indicator and cells,
// and the soft delete and restore of this engine's datasets.
//
// The grid keeps its own vertical scroll bar (the dataset knows where it
// stands, the grid's rows are only the records of the link's window) and
// scrolls rows by copying pixels when the dataset moves a little.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/grid/tzgrid_columns.hpp"
#include "framework/ui/grids.hpp"

namespace zurod {

// clang-format off
enum TTzGridOption : unsigned {
    dgEditing = 1u << 0, dgAlwaysShowEditor = 1u << 1, dgTitles = 1u << 2, dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4, dgColLines = 1u << 5, dgRowLines = 1u << 6, dgTabs = 1u << 7,
    dgRowSelect = 1u << 8, dgAlwaysShowSelection = 1u << 9, dgConfirmDelete = 1u << 10,
    dgConfirmRestore = 1u << 11,
};
// clang-format on
using TTzGridOptions = unsigned;
constexpr TTzGridOptions kDefaultTzGridOptions = dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines |
    dgRowLines | dgTabs | dgConfirmDelete | dgConfirmRestore;
enum TTzBooleanBox {
    bbCheckBox,
    bbCheckMark,
    bbText,
    bbFillBox,
    bbFillBoxRed,
    bbRButton,
    bbRButtonRed,
    bbDot,
    bbDotRed
};

using TTzGridClickEvent = std::function<void(ui::TObject* sender, TTzColumn* column)>;
using TTzChangeColorsEvent =
    std::function<void(ui::TObject* sender, int cur_row, ui::TColor& indicator, ui::TColor& cell, ui::TColor& cell_text,
                       ui::TColor& hilite, ui::TColor& hilite_text, ui::TColor& deleted, ui::TColor& deleted_text)>;
using TMovedEvent = std::function<void(ui::TObject* sender, int from, int to)>;
using TTzDrawColumnCellEvent = std::function<void(ui::TObject* sender, const ui::TRect& rect, int data_col,
                                                  TTzColumn* column, ui::TGridDrawState state)>;
using TTzDrawDataCellEvent =
    std::function<void(ui::TObject* sender, const ui::TRect& rect, db::TField* field, ui::TGridDrawState state)>;

// The colours of one row as the colour event left them; clNone in the cell
// colours keeps the column's.
struct TTzRowColors {
    ui::TColor indicator = ui::clBtnFace;
    ui::TColor cell = ui::clNone, cell_text = ui::clNone;
    ui::TColor hilite = ui::clHighlight, hilite_text = ui::clHighlightText;
    ui::TColor deleted = ui::clRed, deleted_text = ui::clWindowText;
};

// The program's message that asks for a layout later.
constexpr ui::UINT kDeferLayoutMessage = 1124;

class TCustomTzGrid : public ui::TCustomGrid {
public:
    explicit TCustomTzGrid(ui::TComponent* owner);
    ~TCustomTzGrid() override;
    std::string ClassName() const override { return "TCustomTzGrid"; }
    void BeforeDestruction() override;
    void Notification(ui::TComponent* component, ui::TOperation op) override;
    // "savedColumns": read from a layout, always written as an empty list.
    void DefineProperties(ui::TFiler& filer) override;

    TTzGridColumns& Columns() { return *columns_; }
    void SetColumns(TTzGridColumns* columns) { columns_->Assign(columns); }
    db::TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(db::TDataSource* source);
    TTzGridDataLink& DataLink() { return link_; }
    ui::TFont* TitleFont() const { return title_font_.get(); }
    void SetTitleFont(ui::TFont* font) { title_font_->Assign(font); }
    TTzGridOptions Options() const { return options_; }
    void SetOptions(TTzGridOptions v);
    bool ReadOnly = false;
    bool AutoAppend = true;
    bool DefaultDrawing = true;
    TTzBooleanBox BooleanBox() const { return boolean_box_; }
    void SetBooleanBox(TTzBooleanBox v);
    bool DepressDisabled() const { return depress_disabled_; }
    void SetDepressDisabled(bool v);
    int FixedColumns() const;
    void SetFixedColumns(int v);
    // A mouse press gives the grid the focus first.
    bool AcquireFocus = true;

    int DepressedTitle() const { return depressed_title_; }
    int SelectedRow() const { return selected_row_; }
    // The data column of the current cell and its field.
    int SelectedIndex() const { return Col() - indicator_offset_; }
    void SetSelectedIndex(int index);
    db::TField* SelectedField();
    int TitleOffset() const { return title_offset_; }
    int IndicatorOffset() const { return indicator_offset_; }
    bool AllRowsVisible() const { return all_rows_visible_; }
    const TTzRowColors& RowColors(int index) const { return row_colors_.at(size_t(index)); }
    const std::string& TrueText() const { return true_text_; }
    const std::string& FalseText() const { return false_text_; }
    const std::string& EditText() const { return edit_text_; }
    ui::TImageList* Indicators() const { return indicators_.get(); }

    // Layout is nested: the first holder of the layout lock also holds the
    // columns' updates; the layout runs when the last holder lets go.
    void BeginLayout();
    void EndLayout();
    // Re-lays the grid out unless a layout or an update is under way.
    void LayoutChanged();
    void BeginUpdate() { ++update_lock_; }
    void EndUpdate() { --update_lock_; }
    int LayoutLock() const { return layout_lock_; }
    int UpdateLock() const { return update_lock_; }

    // The legacy column layout of an older column editor.
    void ReadSavedColumns(const std::vector<std::string>& lines);

    // What the data link and the columns call.
    virtual void Scroll(int distance);
    virtual bool HighlightCell(int data_col, int data_row, const std::string& value, ui::TGridDrawState state);
    virtual void DefineFieldMap();
    virtual void SetColumnAttributes();
    virtual void LinkActive(bool value);
    void DataChanged();
    void EditingChanged();
    void RecordChanged(db::TField* field);
    void UpdateData();
    void InvalidateTitles();
    // Text measured in a font (a window of its own is not needed).
    int TextWidth(ui::TFont* font, const std::string& text) const;
    int TextHeight(ui::TFont* font) const;
    const ui::TextMetrics& Metrics(ui::TFont* font) const;

    TTzGridClickEvent OnCellClick, OnDepressTitle, OnTitleClick;
    TTzChangeColorsEvent OnChangeColorsEvent;
    ui::TNotifyEvent OnColEnter, OnColExit, OnCornerLeftClick, OnCornerRightClick, OnDefineFieldMap, OnIndicatorClick;
    TMovedEvent OnColumnMoved;
    TTzDrawColumnCellEvent OnDrawColumnCell;
    TTzDrawDataCellEvent OnDrawDataCell;

    void WndProc(ui::TMessage& m) override;

protected:
    void Loaded() override;
    void CreateHandleDone() override;
    void Paint() override;
    void DrawCell(int col, int row, const ui::TRect& rect, ui::TGridDrawState state) override;
    void KeyDown(ui::UINT& key, ui::TShiftState shift) override;
    void KeyPress(char& key) override;
    void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void ColumnMoved(int from, int to) override;
    void ColWidthsChanged() override;
    void TimedScroll(unsigned direction) override;
    void WheelTurned(int notches) override;
    void SelectingMove(int x, int y) override;
    void CalcSizingState(int x, int y, ui::TGridState& state, int& index, int& pos, int& offset) override;
    ui::LRESULT DialogCode() override;
    bool CanEditShow() override;
    bool CanEditModify() override;
    bool CanEditAcceptKey(char key) override;
    std::string GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const std::string& text) override;
    std::string GetEditMask(int col, int row) override;
    int GetEditLimit() override;
    void EditorExit() override;

    // Moves to a grid column, with the column exit and enter events.
    void MoveCol(int raw_col);
    // The user's moves between records.
    void NextRow();
    void PriorRow();
    void Tab(bool forward);
    bool AcquireLayoutLock();
    void CancelLayout();
    void DeferLayout();
    void InternalLayout();
    void UpdateRowCount();
    void UpdateActive();
    void UpdateScrollBar();
    void VerticalScroll(int code);
    bool IsLogicalColumn(int data_col);
    // The true and false texts for a logical field.
    void ReadLogicalTexts(db::TField* field);
    void ToggleLogical();
    void DeleteOrRestore();

private:
    friend class TTzGridDataLink;
    void TitleFontChanged();
    void ResetColumnFonts();
    TTzRowColors& RowColorsAt(int index);
    void WriteText(const ui::TRect& rect, int dx, int dy, const std::string& text, ui::TAlignment alignment);
    void DrawBooleanBox(const ui::TRect& rect, const std::string& value);
    void DrawTitleEdges(ui::TRect rect, bool pressed);
    void DrawDataCell(int col, int row, int data_col, ui::TRect rect, ui::TGridDrawState state, int frame);
    void PaintScrollBarState();
    ui::TRect HighlightRect();

    std::unique_ptr<TTzGridColumns> columns_;
    TTzGridDataLink link_{this};
    std::unique_ptr<ui::TFont> title_font_;
    ui::Owned<ui::TImageList> indicators_;
    int title_offset_ = 1, indicator_offset_ = 1;
    TTzGridOptions options_ = kDefaultTzGridOptions;
    TTzBooleanBox boolean_box_ = bbCheckBox;
    bool depress_disabled_ = false;
    int fixed_columns_ = 0;
    int depressed_title_ = -1;
    int clicked_column_ = -1;
    int selected_row_ = -1;
    std::string edit_text_;
    std::string true_text_, false_text_;
    std::vector<TTzRowColors> row_colors_;
    bool all_rows_visible_ = false;
    int layout_lock_ = 0, update_lock_ = 0;
    bool in_col_exit_ = false;
    bool self_font_change_ = false;
    db::TDataSource* loaded_source_ = nullptr;
    bool source_pending_ = false;
    // The row and column last drawn in this paint pass: a row's colour event
    // runs when drawing reaches a new row.
    int last_drawn_row_ = -1, last_drawn_col_ = -1;
    // The scroll bar as last written, so that it is written only on change.
    struct ScrollState {
        int min = -1, max = -1, page = -1, pos = -1;
        friend bool operator==(const ScrollState&, const ScrollState&) = default;
    } scroll_state_;
};

class TTzGrid : public TCustomTzGrid {
public:
    using TCustomTzGrid::TCustomTzGrid;
    std::string ClassName() const override { return "TTzGrid"; }
};

}  // namespace zurod
