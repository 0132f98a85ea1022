// The data grid's layout: properties, the field map and the columns, row
// heights, the row count, the current cell, the grid's own vertical scroll
// bar, scrolling by a distance and what the data link reports.
#include <algorithm>

#include "engine/grid/tzgrid.hpp"
#include "framework/ui/resources.hpp"

namespace zurod {

namespace {

ui::TGridOptions BaseOptionsOf(TTzGridOptions o) {
    ui::TGridOptions g = 0;
    if (o & dgColLines) g |= ui::goFixedVertLine | ui::goVertLine;
    if (o & dgRowLines) g |= ui::goFixedHorzLine | ui::goHorzLine;
    if (o & dgColumnResize) g |= ui::goColSizing | ui::goColMoving;
    if (o & dgTabs) g |= ui::goTabs;
    if (o & dgRowSelect) g |= ui::goRowSelect;
    if (o & dgEditing) g |= ui::goEditing;
    if (o & dgAlwaysShowEditor) g |= ui::goAlwaysShowEditor;
    return g;
}

// The indicator images: the current record, a record in edit, one being inserted.
void RegisterIndicatorBitmaps() {
    if (ui::FindBitmapResource("TZGARROW")) return;
    const std::map<char, ui::COLORREF> palette = {{'.', 0xFFFFFF}, {'#', 0x000000}};
    ui::RegisterBitmapResource("TZGARROW",
                               ui::BitmapFromArt({"........", "..#.....", "..##....", "..###...", "..####..",
                                                  "..###...", "..##....", "..#.....", "........"},
                                                 palette));
    ui::RegisterBitmapResource("TZEDIT",
                               ui::BitmapFromArt({"........", "..###...", "...#....", "...#....", "...#....",
                                                  "...#....", "...#....", "..###...", "........"},
                                                 palette));
    ui::RegisterBitmapResource("TZINSERT",
                               ui::BitmapFromArt({"........", "...#....", ".#.#.#..", "..###...", ".#####..",
                                                  "..###...", ".#.#.#..", "...#....", "........"},
                                                 palette));
}

}  // namespace

TCustomTzGrid::TCustomTzGrid(ui::TComponent* owner)
    : ui::TCustomGrid(owner), columns_(std::make_unique<TTzGridColumns>(this)),
      title_font_(std::make_unique<ui::TFont>()) {
    ui::TCustomGrid::DefaultDrawing = false;
    RegisterIndicatorBitmaps();
    ui::TBitmap arrow;
    arrow.LoadFromResourceName("TZGARROW");
    indicators_ = ui::Make<ui::TImageList>(nullptr, arrow.Width(), arrow.Height());
    for (const char* name : {"TZGARROW", "TZEDIT", "TZINSERT"}) {
        ui::TBitmap b;
        b.LoadFromResourceName(name);
        indicators_->AddMasked(&b, ui::clWhite);
    }
    title_font_->Assign(font_.get());
    title_font_->OnChange = [this](ui::TObject*) { TitleFontChanged(); };
    SetScrollBars(ui::ssHorizontal);
    ui::TCustomGrid::SetOptions(BaseOptionsOf(options_));
    SetColCount(2);
    SetRowCount(2);
    SetFixedCols(1);
    SetFixedRows(1);
    row_colors_.resize(size_t(RowCount()));
    true_text_ = TzTrueText();
    false_text_ = TzFalseText();
    color_ = ui::clWindow;
    parent_color_ = false;
    brush_->SetColor(color_);
}

TCustomTzGrid::~TCustomTzGrid() = default;

void TCustomTzGrid::BeforeDestruction() {
    Destroying();
    link_.SetDataSource(nullptr);
    for (int i = 0; i < columns_->Count(); ++i)
        if (db::TField* f = columns_->GetColumn(i)->HeldField()) f->RemoveFreeNotification(this);
    ui::TCustomGrid::BeforeDestruction();
}

void TCustomTzGrid::Notification(ui::TComponent* component, ui::TOperation op) {
    ui::TCustomGrid::Notification(component, op);
    if (op != ui::TOperation::opRemove || Has(ui::csDestroying)) return;
    if (component == DataSource()) {
        SetDataSource(nullptr);
        return;
    }
    bool lost = false;
    for (int i = 0; i < columns_->Count(); ++i) {
        TTzColumn* c = columns_->GetColumn(i);
        if (c->HeldField() == component) c->DropField(), lost = true;
    }
    if (!lost) return;
    // The grid lets go of a field that is freed, and lays itself out again:
    // later, when the whole dataset is going.
    BeginLayout();
    db::TDataSet* ds = link_.DataSet();
    if (ds && ds->Has(ui::csDestroying))
        DeferLayout();
    else
        EndLayout();
}

void TCustomTzGrid::Loaded() {
    ui::TCustomGrid::Loaded();
    if (columns_->Count() > 0) SetColCount(columns_->Count() + indicator_offset_);
    LayoutChanged();
    if (source_pending_) {
        source_pending_ = false;
        SetDataSource(std::exchange(loaded_source_, nullptr));
    }
}

void TCustomTzGrid::CreateHandleDone() {
    BeginUpdate();
    RunThen([this] { ui::TCustomGrid::CreateHandleDone(); }, [this] { EndUpdate(); });
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
}

// ---------------------------------------------------------------- properties

void TCustomTzGrid::SetDataSource(db::TDataSource* source) {
    if (Has(ui::csLoading)) {
        loaded_source_ = source;
        source_pending_ = true;
        return;
    }
    if (source == DataSource()) return;
    if (DataSource()) DataSource()->RemoveFreeNotification(this);
    link_.SetDataSource(source);
    if (source) source->FreeNotification(this);
    LinkActive(link_.Active());
}

void TCustomTzGrid::SetOptions(TTzGridOptions v) {
    if (v == options_) return;
    if (v & dgRowSelect) v &= ~(dgEditing | dgAlwaysShowEditor);
    options_ = v;
    ui::TCustomGrid::SetOptions(BaseOptionsOf(v));
    LayoutChanged();
}

void TCustomTzGrid::SetBooleanBox(TTzBooleanBox v) {
    boolean_box_ = v;
    LayoutChanged();
}

void TCustomTzGrid::SetDepressDisabled(bool v) {
    if (!depress_disabled_) {
        depressed_title_ = -1;
        Invalidate();
    }
    depress_disabled_ = v;
}

int TCustomTzGrid::FixedColumns() const { return std::max(0, FixedCols() - indicator_offset_); }

void TCustomTzGrid::SetFixedColumns(int v) {
    // At least one data column keeps scrolling: the base grid refuses fixed = count.
    fixed_columns_ = std::max(0, v);
    if (link_.Active())
        SetFixedCols(
            std::min(indicator_offset_ + std::min(fixed_columns_, std::max(0, columns_->Count() - 1)), ColCount() - 1));
}

void TCustomTzGrid::SetSelectedIndex(int index) { MoveCol(index + indicator_offset_); }

db::TField* TCustomTzGrid::SelectedField() {
    const int index = SelectedIndex();
    if (index < 0 || index >= columns_->Count()) return nullptr;
    return columns_->GetColumn(index)->Field();
}

void TCustomTzGrid::TitleFontChanged() {
    if (!self_font_change_) SetParentFont(false);
    if (options_ & dgTitles) LayoutChanged();
}

void TCustomTzGrid::ResetColumnFonts() {
    BeginLayout();
    RunThen(
        [this] {
            for (int i = 0; i < columns_->Count(); ++i) columns_->GetColumn(i)->Font();
        },
        [this] { EndLayout(); });
}

const ui::TextMetrics& TCustomTzGrid::Metrics(ui::TFont* font) const { return ui::FontMetrics(font->Handle()); }

int TCustomTzGrid::TextWidth(ui::TFont* font, const std::string& text) const {
    ui::DC dc;
    dc.S().font = font->Handle();
    return ui::GetTextExtent(dc, text).cx;
}

int TCustomTzGrid::TextHeight(ui::TFont* font) const { return Metrics(font).height; }

// ---------------------------------------------------------------- messages

void TCustomTzGrid::WndProc(ui::TMessage& m) {
    switch (m.Msg) {
    case kDeferLayoutMessage:
        if (AcquireLayoutLock())
            EndLayout();
        else
            DeferLayout();
        return;
    case ui::WM_VSCROLL: VerticalScroll(ui::LOWORD_S(ui::LPARAM(m.WParam))); return;
    case ui::WM_KILLFOCUS:
        ui::TCustomGrid::WndProc(m);
        if (!InplaceEditor() || ui::HWND(m.WParam) != InplaceEditor()->WindowHandle()) EditorExit();
        return;
    case ui::WM_SIZE:
        ui::TCustomGrid::WndProc(m);
        Invalidate();
        if (update_lock_ == 0) UpdateRowCount();
        return;
    case ui::CM_PARENTFONTCHANGED:
        ui::TCustomGrid::WndProc(m);
        if (ParentFont()) {
            self_font_change_ = true;
            RunThen([this] { title_font_->Assign(font_.get()); }, [this] { self_font_change_ = false; });
            LayoutChanged();
        }
        return;
    case ui::CM_FONTCHANGED:
        ui::TCustomGrid::WndProc(m);
        ResetColumnFonts();
        return;
    default: break;
    }
    ui::TCustomGrid::WndProc(m);
}

// ---------------------------------------------------------------- layout

void TCustomTzGrid::BeginLayout() {
    BeginUpdate();
    if (layout_lock_ == 0) columns_->BeginUpdate();
    ++layout_lock_;
}

void TCustomTzGrid::EndLayout() {
    if (layout_lock_ <= 0) return;
    RunThen(
        [this] {
            // A column collection someone else holds lays the grid out when it is let go.
            if (layout_lock_ == 1 && columns_->UpdateCount() == 1) InternalLayout();
        },
        [this] {
            if (layout_lock_ == 1) columns_->EndUpdate();
            --layout_lock_;
            EndUpdate();
        });
}

bool TCustomTzGrid::AcquireLayoutLock() {
    const bool free = update_lock_ == 0 && layout_lock_ == 0;
    if (free) BeginLayout();
    return free;
}

void TCustomTzGrid::LayoutChanged() {
    if (AcquireLayoutLock()) EndLayout();
}

void TCustomTzGrid::CancelLayout() {
    if (layout_lock_ <= 0) return;
    if (layout_lock_ == 1) columns_->EndUpdate();
    --layout_lock_;
    EndUpdate();
}

void TCustomTzGrid::DeferLayout() {
    ui::MSG msg;
    if (HandleAllocated() && !ui::PeekMessage(msg, handle_, kDeferLayoutMessage, kDeferLayoutMessage, ui::PM_NOREMOVE))
        ui::PostMessage(handle_, kDeferLayoutMessage);
    CancelLayout();
}

void TCustomTzGrid::DefineFieldMap() {
    if (columns_->Customized()) {
        link_.SetSparseMap(true);
        for (int i = 0; i < columns_->Count(); ++i) link_.AddMapping(columns_->GetColumn(i)->FieldName());
    } else {
        link_.SetSparseMap(false);
        db::TDataSet* ds = link_.DataSet();
        for (db::TField* f : ds->Fields().List())
            if (f->Visible) link_.AddMapping(f->FieldName());
    }
}

void TCustomTzGrid::InternalLayout() {
    if (Has(ui::csLoading)) return;
    ui::MSG msg;
    while (HandleAllocated() &&
           ui::PeekMessage(msg, handle_, kDeferLayoutMessage, kDeferLayoutMessage, ui::PM_REMOVE)) {}
    // Customised columns after passthrough ones: the passthrough ones go.
    bool passthrough_seen = false, mixed = false;
    for (int i = 0; i < columns_->Count(); ++i) {
        const bool pass = dynamic_cast<TPassthroughColumn*>(columns_->GetColumn(i)) != nullptr;
        if (pass)
            passthrough_seen = true;
        else if (passthrough_seen)
            mixed = true;
    }
    if (mixed)
        for (int i = columns_->Count() - 1; i >= 0; --i)
            if (dynamic_cast<TPassthroughColumn*>(columns_->GetColumn(i))) columns_->Delete(i);

    indicator_offset_ = (options_ & dgIndicator) ? 1 : 0;
    link_.ClearMapping();
    if (link_.Active()) {
        DefineFieldMap();
        if (OnDefineFieldMap) OnDefineFieldMap(this);
    }
    if (columns_->Customized()) {
        for (int i = 0; i < columns_->Count(); ++i) columns_->GetColumn(i)->SetField(link_.Fields(i));
    } else if (!link_.Active()) {
        if (link_.DefaultFields()) columns_->Clear();
    } else {
        for (int i = columns_->Count() - 1; i >= 0; --i) {
            db::TField* f = columns_->GetColumn(i)->HeldField();
            if (!f || !link_.IsFieldMapped(f)) columns_->Delete(i);
        }
        for (int i = 0; i < link_.FieldCount(); ++i) {
            db::TField* f = link_.Fields(i);
            int found = -1;
            for (int j = i; j < columns_->Count() && found < 0; ++j)
                if (columns_->GetColumn(j)->HeldField() == f) found = j;
            if (found < 0) {
                TPassthroughColumn* c = columns_->AddPassthrough();
                c->SetField(f);
                found = c->Index();
            }
            columns_->Move(found, i);
        }
    }

    const int count = columns_->Count();
    SetColCount(std::max(1, count + indicator_offset_));
    fixed_columns_ = std::min(fixed_columns_, std::max(0, count - 1));
    SetFixedCols(std::min(indicator_offset_ + fixed_columns_, ColCount() - 1));
    title_offset_ = (options_ & dgTitles) ? 1 : 0;

    int height = TextHeight(font_.get()) + 3;
    if (options_ & dgRowLines) height += GridLineWidth();
    SetDefaultRowHeight(height);
    if (options_ & dgTitles) {
        int title = 0;
        for (int i = 0; i < count; ++i)
            title = std::max(title, TextHeight(columns_->GetColumn(i)->Title()->Font()) + 4);
        if (count == 0) title = TextHeight(title_font_.get()) + 4;
        SetRowHeights(0, title);
    }
    UpdateRowCount();
    SetColumnAttributes();
    UpdateScrollBar();
    Invalidate();
}

void TCustomTzGrid::SetColumnAttributes() {
    for (int i = 0; i < columns_->Count(); ++i) {
        TTzColumn* c = columns_->GetColumn(i);
        db::TField* f = c->Field();
        SetTabStops(i + indicator_offset_, !c->ReadOnly() && link_.Active() && f && !f->Calculated());
        SetColWidths(i + indicator_offset_, c->GetWidth());
    }
    if (options_ & dgIndicator) SetColWidths(0, 11);
}

void TCustomTzGrid::ColWidthsChanged() {
    ui::TCustomGrid::ColWidthsChanged();
    if (!(link_.Active() || columns_->Customized()) || !AcquireLayoutLock()) return;
    RunThen(
        [this] {
            for (int i = indicator_offset_; i < ColCount() && i - indicator_offset_ < columns_->Count(); ++i)
                columns_->GetColumn(i - indicator_offset_)->SetWidth(ColWidths(i));
        },
        [this] { EndLayout(); });
}

TTzRowColors& TCustomTzGrid::RowColorsAt(int index) {
    if (index >= int(row_colors_.size())) row_colors_.resize(size_t(index) + 1);
    return row_colors_[size_t(index)];
}

void TCustomTzGrid::UpdateRowCount() {
    if (RowCount() <= title_offset_) SetRowCount(title_offset_ + 1);
    SetFixedRows(title_offset_);
    SetTopRow(title_offset_);
    if (link_.Active() && link_.RecordCount() > 0 && HandleAllocated()) {
        // As many records as rows fit.
        SetRowCount(1000);
        const int visible = VisibleRowCount();
        link_.SetBufferCount(visible);
        SetRowCount(link_.RecordCount() + title_offset_);
        all_rows_visible_ = RowCount() < visible + title_offset_;
        UpdateScrollBar();
        UpdateActive();
    } else {
        SetRowCount(title_offset_ + 1);
    }
    if (int(row_colors_.size()) < RowCount()) row_colors_.resize(size_t(RowCount()));
}

void TCustomTzGrid::UpdateActive() {
    if (!link_.Active() || !HandleAllocated()) return;
    const int new_row = link_.ActiveRecord() + title_offset_;
    if (new_row >= RowCount() || new_row < FixedRows()) return;
    if (Row() != new_row) {
        if (!(options_ & dgAlwaysShowEditor)) HideEditor();
        MoveColRow(Col(), new_row, false, false);
        InvalidateEditor();
    }
    if (db::TField* f = SelectedField(); f && f->Text() != edit_text_) InvalidateEditor();
}

void TCustomTzGrid::UpdateScrollBar() {
    if (!link_.Active() || !HandleAllocated()) return;
    ScrollState s;
    db::TDataSet* ds = link_.DataSet();
    if (all_rows_visible_) {
        s = {0, 0, 0, 0};
    } else if (ds->IsSequenced()) {
        s.min = 1;
        s.page = VisibleRowCount();
        s.max = std::max(1, ds->RecordCount() + s.page - 1);
        s.pos = ds->State() == db::dsInsert && scroll_state_.pos >= 0 ? scroll_state_.pos : ds->RecNo();
    } else {
        s = {0, 4, 0, ds->Bof() ? 0 : ds->Eof() ? 4 : 2};
    }
    if (s == scroll_state_) return;
    scroll_state_ = s;
    SetScrollBarInfo(1, s.min, s.max, s.page, s.pos);
}

// ---------------------------------------------------------------- what the link reports

void TCustomTzGrid::Scroll(int distance) {
    if (!HandleAllocated()) return;
    const ui::TRect old_indicator = CellRect(0, Row());
    const ui::TRect old_highlight = HighlightRect();
    if (link_.ActiveRecord() >= RowCount() - title_offset_) UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    const ui::TRect new_indicator = CellRect(0, Row());
    ui::ValidateRect(handle_, &old_indicator);
    ui::InvalidateRect(handle_, &old_indicator, false);
    ui::InvalidateRect(handle_, &new_indicator, false);
    const bool indicator = options_ & dgIndicator;
    if (OnChangeColorsEvent && indicator && (selected_row_ == title_offset_ || selected_row_ == RowCount() - 1))
        for (int r = title_offset_; r < RowCount(); ++r) InvalidateCell(0, r);
    if (distance != 0) {
        HideEditor();
        RunThen(
            [&] {
                if (std::abs(distance) > VisibleRowCount()) {
                    Invalidate();
                    return;
                }
                // The whole data rows move with their pixels; the indicator
                // column and the titles stay put, and so does what lies under
                // the last whole row, which no row's pixels may take.
                const ui::TGridAxisInfo h = HorzInfo(), v = VertInfo();
                const int left = indicator_offset_ > 0 ? ColWidths(0) + h.line_width : 0;
                const ui::TRect area{left, v.fixed_boundary, h.grid_boundary, v.full_boundary};
                const int dy = -distance * (DefaultRowHeight() + v.line_width);
                ui::ScrollWindow(handle_, 0, dy, &area, &area);
                // The highlight went along with the pixels of the record that
                // was current; the current cell is drawn where it is now.
                const ui::TRect moved = ui::Intersect(old_highlight.Offset(0, dy), area);
                if (!moved.Empty()) ui::InvalidateRect(handle_, &moved, false);
                const ui::TRect now = HighlightRect();
                ui::InvalidateRect(handle_, &now, false);
                if (indicator) {
                    ui::InvalidateRect(handle_, &old_indicator, false);
                    ui::InvalidateRect(handle_, &new_indicator, false);
                }
            },
            [this] {
                if (options_ & dgAlwaysShowEditor) ShowEditor();
            });
    }
    if (update_lock_ == 0) Update();
}

// The pixels the current cell's highlight takes: its cell, or its row's
// data cells when whole rows are selected.
ui::TRect TCustomTzGrid::HighlightRect() {
    if (!(options_ & dgRowSelect)) return CellRect(Col(), Row());
    const ui::TRect row = CellRect(LeftCol(), Row());
    if (row.Empty()) return row;
    return {indicator_offset_ > 0 ? ColWidths(0) : 0, row.top, HorzInfo().grid_boundary, row.bottom};
}

void TCustomTzGrid::DataChanged() {
    if (!HandleAllocated()) return;
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    InvalidateEditor();
    ui::ValidateRect(handle_, nullptr);
    Invalidate();
}

void TCustomTzGrid::EditingChanged() {
    if ((options_ & dgIndicator) && selected_row_ >= 0) InvalidateCell(0, selected_row_);
}

void TCustomTzGrid::RecordChanged(db::TField* field) {
    if (!HandleAllocated()) return;
    if (!field) {
        Invalidate();
    } else {
        for (int i = 0; i < columns_->Count(); ++i)
            if (columns_->GetColumn(i)->HeldField() == field) InvalidateCol(i + indicator_offset_);
    }
    db::TField* selected = SelectedField();
    if (selected && (!field || field == selected) && selected->Text() != edit_text_) InvalidateEditor();
}

void TCustomTzGrid::LinkActive(bool value) {
    if (!value) HideEditor();
    LayoutChanged();
    UpdateScrollBar();
    if (value && (options_ & dgAlwaysShowEditor)) ShowEditor();
}

void TCustomTzGrid::UpdateData() {
    if (db::TField* f = SelectedField()) f->SetText(edit_text_);
}

void TCustomTzGrid::InvalidateTitles() {
    if (title_offset_ > 0) InvalidateRow(0);
}

}  // namespace zurod
