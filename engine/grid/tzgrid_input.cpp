// The data grid driven by the user: keys, the mouse with the grid's click
// events, the wheel, the vertical scroll bar, moving between columns, editing
// in place, logical values toggled, and the delete mark set and removed.
#include <algorithm>

#include "engine/grid/tzgrid.hpp"
#include "engine/dbf/dates.hpp"
#include "framework/ui/forms.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"

namespace zurod {

namespace {

// A confirmation: true unless the user cancels, at once when not asked for.
bool Confirmed(bool ask, const char* text) {
    if (!ask) return true;
    return platform::ShowMessageBox(text, ui::Application().Title, platform::kMbOkCancel | platform::kMbIconQuestion) !=
        platform::kIdCancel;
}

}  // namespace

// ---------------------------------------------------------------- moving

void TCustomTzGrid::MoveCol(int raw_col) {
    if (link_.Active() && db::EditModes(link_.DataSet()->State())) link_.UpdateRecord();
    raw_col = std::clamp(raw_col, FixedCols(), ColCount() - 1);
    if (raw_col == Col()) return;
    if (!in_col_exit_) {
        const int before = Col();
        in_col_exit_ = true;
        RunThen(
            [this] {
                if (OnColExit) OnColExit(this);
            },
            [this] { in_col_exit_ = false; });
        if (Col() != before) return;
    }
    if (!(options_ & dgAlwaysShowEditor)) HideEditor();
    MoveColRow(raw_col, Row(), false, true);
    if (EditorMode()) UpdateEdit();
    if (OnColEnter) OnColEnter(this);
}

void TCustomTzGrid::NextRow() {
    db::TDataSet* ds = link_.DataSet();
    if (ds->State() == db::dsInsert && !ds->Modified() && !link_.IsModified()) {
        if (ds->Eof()) return;
        ds->Cancel();
        return;
    }
    ds->Next();
    if (ds->Eof() && AutoAppend && ds->CanModify() && !ReadOnly && (options_ & dgEditing)) ds->Append();
}

void TCustomTzGrid::PriorRow() {
    db::TDataSet* ds = link_.DataSet();
    if (ds->State() == db::dsInsert && !ds->Modified() && !link_.IsModified() && ds->Eof())
        ds->Cancel();
    else
        ds->Prior();
}

void TCustomTzGrid::Tab(bool forward) {
    const int original = Col();
    int col = original;
    BeginUpdate();
    RunThen(
        [&] {
            // Columns that take no tab are passed over; the search wraps once.
            for (int tries = 0; tries <= 2 * ColCount() + 2; ++tries) {
                col += forward ? 1 : -1;
                if (col >= ColCount()) {
                    NextRow();
                    col = indicator_offset_;
                } else if (col < indicator_offset_) {
                    PriorRow();
                    col = ColCount() - 1;
                }
                if (col == original) return;
                if (TabStops(col)) {
                    MoveCol(col);
                    return;
                }
            }
        },
        [this] { EndUpdate(); });
}

// ---------------------------------------------------------------- keys

ui::LRESULT TCustomTzGrid::DialogCode() {
    ui::LRESULT code = ui::DLGC_WANTARROWS | ui::DLGC_WANTCHARS;
    if ((options_ & dgTabs) && !(options_ & dgRowSelect)) code |= ui::DLGC_WANTTAB;
    return code;
}

void TCustomTzGrid::KeyDown(ui::UINT& key, ui::TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
    if (key == 0 || !link_.Active()) return;
    db::TDataSet* ds = link_.DataSet();
    const bool row_select = options_ & dgRowSelect;
    if (shift & ui::ssCtrl) {
        switch (key) {
        case ui::VK_UP:
        case ui::VK_PRIOR: ds->MoveBy(-link_.ActiveRecord()); break;
        case ui::VK_DOWN:
        case ui::VK_NEXT: ds->MoveBy(link_.BufferCount() - link_.ActiveRecord() - 1); break;
        case ui::VK_LEFT: MoveCol(indicator_offset_); break;
        case ui::VK_RIGHT: MoveCol(ColCount() - 1); break;
        case ui::VK_HOME: ds->First(); break;
        case ui::VK_END: ds->Last(); break;
        case ui::VK_DELETE: DeleteOrRestore(); break;
        default: return;
        }
        return;
    }
    const bool one_column = ColCount() == indicator_offset_ + 1;
    switch (key) {
    case ui::VK_UP: PriorRow(); break;
    case ui::VK_DOWN: NextRow(); break;
    case ui::VK_LEFT:
        if (row_select)
            PriorRow();
        else
            MoveCol(Col() - 1);
        break;
    case ui::VK_RIGHT:
        if (row_select)
            NextRow();
        else
            MoveCol(Col() + 1);
        break;
    case ui::VK_HOME:
        if (one_column || row_select)
            ds->First();
        else
            MoveCol(indicator_offset_);
        break;
    case ui::VK_END:
        if (one_column || row_select)
            ds->Last();
        else
            MoveCol(ColCount() - 1);
        break;
    case ui::VK_NEXT: ds->MoveBy(VisibleRowCount()); break;
    case ui::VK_PRIOR: ds->MoveBy(-VisibleRowCount()); break;
    case ui::VK_INSERT:
        if (!ReadOnly && !(shift & ui::ssShift)) ds->Insert();
        break;
    case ui::VK_TAB:
        if (!(shift & ui::ssAlt)) Tab(!(shift & ui::ssShift));
        break;
    case ui::VK_ESCAPE:
        link_.Reset();
        if (!(options_ & dgAlwaysShowEditor)) HideEditor();
        break;
    case ui::VK_F2: SetEditorMode(true); break;
    default: break;
    }
}

bool TCustomTzGrid::IsLogicalColumn(int data_col) {
    if (data_col < 0 || data_col >= columns_->Count()) return false;
    db::TField* f = columns_->GetColumn(data_col)->Field();
    return f && f->DataType() == db::ftBoolean;
}

void TCustomTzGrid::KeyPress(char& key) {
    if (link_.Active() && IsLogicalColumn(SelectedIndex())) {
        if (OnKeyPress) OnKeyPress(this, key);
        if (key == ' ' || key == '\r') {
            ToggleLogical();
            key = 0;
            return;
        }
        // Other printable keys (and Backspace) mean nothing to a logical value.
        if (static_cast<unsigned char>(key) >= ' ' || key == '\b') {
            key = 0;
            return;
        }
        if (key == 0) return;
        ui::TCustomGrid::KeyPress(key);
        return;
    }
    if (!(options_ & dgAlwaysShowEditor) && key == '\r' && link_.Active() && db::EditModes(link_.DataSet()->State()))
        link_.UpdateRecord();
    ui::TCustomGrid::KeyPress(key);
}

void TCustomTzGrid::ToggleLogical() {
    db::TField* field = SelectedField();
    if (!field) return;
    ReadLogicalTexts(field);
    if (!(options_ & dgEditing) || !CanEditModify()) return;
    const std::string current = field->Text();
    edit_text_ = platform::AnsiLower(current) == platform::AnsiLower(true_text_) ? false_text_ : true_text_;
    link_.Modified();
    link_.UpdateRecord();
}

void TCustomTzGrid::DeleteOrRestore() {
    db::TDataSet* ds = link_.DataSet();
    if (ReadOnly || !ds->CanModify() || ds->IsEmpty()) return;
    if (auto* tz = dynamic_cast<TZoVizuRez*>(ds)) {
        if (tz->RecordDeleted()) {
            if (Confirmed(options_ & dgConfirmRestore, "Restore Record ?")) tz->SetRecordDeleted(false);
        } else if (Confirmed(options_ & dgConfirmDelete, "Delete Record ?")) {
            tz->SetRecordDeleted(true);
        }
        return;
    }
    if (Confirmed(options_ & dgConfirmDelete, "Delete Record ?")) ds->Delete();
}

// ---------------------------------------------------------------- the mouse

void TCustomTzGrid::CalcSizingState(int x, int y, ui::TGridState& state, int& index, int& pos, int& offset) {
    ui::TCustomGrid::CalcSizingState(x, y, state, index, pos, offset);
    // The indicator column keeps its width.
    if (state == ui::gsColSizing && index < indicator_offset_) state = ui::gsNormal;
}

void TCustomTzGrid::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
    clicked_column_ = -1;
    if (!CanFocus()) return;
    if (AcquireFocus && !Has(ui::csDesigning)) {
        if (!Focused()) SetFocus();
        if (!Focused() && !(InplaceEditor() && InplaceEditor()->Focused())) return;
    }
    if ((shift & ui::ssDouble) && button == ui::mbLeft) return;  // the double click was handled
    if (button == ui::mbLeft) {
        ui::TGridState sizing;
        int index, pos, offset;
        CalcSizingState(x, y, sizing, index, pos, offset);
        if (sizing != ui::gsNormal) {
            if (link_.Active() && db::EditModes(link_.DataSet()->State())) link_.UpdateRecord();
            ui::TCustomGrid::MouseDown(button, shift, x, y);
            return;
        }
    }
    const ui::TGridCoord cell = MouseCoord(x, y);
    clicked_column_ = cell.X;
    if (cell.X < 0) return;
    if (button == ui::mbLeft && cell.Y < title_offset_ && (Has(ui::csDesigning) || (options_ & dgColumnResize))) {
        if (link_.Active() && db::EditModes(link_.DataSet()->State())) link_.UpdateRecord();
        ui::TCustomGrid::MouseDown(button, shift, x, y);
        return;
    }
    if (!link_.Active()) return;
    BeginUpdate();
    RunThen(
        [&] {
            if (cell.X == Col() && cell.Y == Row()) {
                if (IsLogicalColumn(SelectedIndex()))
                    ToggleLogical();
                else
                    ShowEditor();
                return;
            }
            if (cell.Y >= title_offset_ && cell.Y != Row()) link_.DataSet()->MoveBy(cell.Y - Row());
            if (cell.X >= indicator_offset_) MoveCol(cell.X);
        },
        [this] { EndUpdate(); });
    if (button == ui::mbLeft && cell.Y >= title_offset_) BeginSelecting();
}

void TCustomTzGrid::SelectingMove(int x, int y) {
    if (!link_.Active()) return;
    const ui::TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0 || cell.Y < title_offset_) return;
    if (cell.Y != Row()) link_.DataSet()->MoveBy(cell.Y - Row());
    if (cell.X >= indicator_offset_ && cell.X != Col()) MoveCol(cell.X);
}

void TCustomTzGrid::TimedScroll(unsigned direction) {
    if (!link_.Active()) return;
    db::TDataSet* ds = link_.DataSet();
    if (direction & sdUp) ds->MoveBy(-link_.ActiveRecord() - 1);
    if (direction & sdDown) ds->MoveBy(link_.RecordCount() - link_.ActiveRecord());
    direction &= ~unsigned(sdUp | sdDown);
    if (direction) ui::TCustomGrid::TimedScroll(direction);
}

// The wheel moves the current record a record a notch, never appending.
void TCustomTzGrid::WheelTurned(int notches) {
    if (link_.Active()) link_.DataSet()->MoveBy(notches);
}

void TCustomTzGrid::MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
    const ui::TGridState state = GridState();
    ui::TCustomGrid::MouseUp(button, shift, x, y);
    if (state == ui::gsColSizing || state == ui::gsRowSizing) return;
    if (ui::TWinControl* editor = InplaceEditor(); editor && editor->Visible() && editor->BoundsRect().Contains({x, y}))
        return;
    const ui::TGridCoord cell = MouseCoord(x, y);
    if (cell.X < 0) return;
    const int data_col = cell.X - indicator_offset_;
    const bool valid = data_col >= 0 && data_col < columns_->Count();
    if (cell.Y < title_offset_) {
        if (cell.X < indicator_offset_) {
            if (button == ui::mbLeft && OnCornerLeftClick) OnCornerLeftClick(this);
            if (button == ui::mbRight && OnCornerRightClick) OnCornerRightClick(this);
            return;
        }
        if (!valid) return;
        if (button == ui::mbLeft) {
            if (cell.X == clicked_column_ && OnTitleClick) OnTitleClick(this, columns_->GetColumn(data_col));
        } else if (button == ui::mbRight && !depress_disabled_) {
            depressed_title_ = data_col;
            Invalidate();
            if (OnDepressTitle) OnDepressTitle(this, columns_->GetColumn(data_col));
        }
        return;
    }
    if (button != ui::mbLeft) return;
    if (cell.X < indicator_offset_) {
        if (OnIndicatorClick) OnIndicatorClick(this);
        return;
    }
    const int selected = SelectedIndex();
    if (OnCellClick && selected >= 0 && selected < columns_->Count()) OnCellClick(this, columns_->GetColumn(selected));
}

// ---------------------------------------------------------------- the scroll bar

void TCustomTzGrid::VerticalScroll(int code) {
    if (!CanFocus() || !link_.Active()) return;
    // Scrolling is always permitted: the dataset has nothing to refuse it with.
    db::TDataSet* ds = link_.DataSet();
    switch (code) {
    case ui::SB_LINEUP: ds->MoveBy(-link_.ActiveRecord() - 1); break;
    case ui::SB_LINEDOWN: ds->MoveBy(link_.RecordCount() - link_.ActiveRecord()); break;
    case ui::SB_PAGEUP: ds->MoveBy(-VisibleRowCount()); break;
    case ui::SB_PAGEDOWN: ds->MoveBy(VisibleRowCount()); break;
    case ui::SB_TOP: ds->First(); break;
    case ui::SB_BOTTOM: ds->Last(); break;
    case ui::SB_THUMBPOSITION: {
        const int pos = ScrollTrackPos(1);
        if (ds->IsSequenced()) {
            if (pos <= 1)
                ds->First();
            else if (pos < ds->RecordCount())
                ds->SetRecNo(pos);
            else
                ds->Last();
        } else {
            switch (pos) {
            case 0: ds->First(); break;
            case 1: ds->MoveBy(-VisibleRowCount()); break;
            case 3: ds->MoveBy(VisibleRowCount()); break;
            case 4: ds->Last(); break;
            default: break;
            }
        }
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------- columns moved by the user

void TCustomTzGrid::ColumnMoved(int from, int to) {
    const int from_data = from - indicator_offset_, to_data = to - indicator_offset_;
    if (from_data < 0 || to_data < 0 || from_data >= columns_->Count() || to_data >= columns_->Count()) return;
    if (depressed_title_ >= 0) {
        if (from_data == depressed_title_)
            depressed_title_ = to_data;
        else if (from_data < depressed_title_ && to_data >= depressed_title_)
            --depressed_title_;
        else if (from_data > depressed_title_ && to_data <= depressed_title_)
            ++depressed_title_;
    }
    columns_->GetColumn(from_data)->SetIndex(to_data);
    if (OnColumnMoved) OnColumnMoved(this, from_data, to_data);
}

// ---------------------------------------------------------------- editing

bool TCustomTzGrid::CanEditShow() { return layout_lock_ == 0 && ui::TCustomGrid::CanEditShow(); }

bool TCustomTzGrid::CanEditModify() {
    if (ReadOnly || !link_.Active() || link_.ReadOnly()) return false;
    const int index = SelectedIndex();
    if (index < 0 || index >= columns_->Count()) return false;
    TTzColumn* column = columns_->GetColumn(index);
    db::TField* field = column->Field();
    if (column->ReadOnly() || !field || !field->CanModify() || (field->IsBlob() && !field->OnSetText)) return false;
    link_.Edit();
    if (!link_.Editing()) return false;
    link_.Modified();
    return true;
}

bool TCustomTzGrid::CanEditAcceptKey(char key) {
    db::TField* field = SelectedField();
    return link_.Active() && field && field->IsValidChar(key);
}

std::string TCustomTzGrid::GetEditText(int col, int) {
    edit_text_.clear();
    const int index = col - indicator_offset_;
    if (link_.Active() && index >= 0 && index < columns_->Count())
        if (db::TField* field = columns_->GetColumn(index)->Field()) edit_text_ = field->Text();
    return edit_text_;
}

void TCustomTzGrid::SetEditText(int, int, const std::string& text) { edit_text_ = text; }

std::string TCustomTzGrid::GetEditMask(int col, int) {
    const int index = col - indicator_offset_;
    if (!link_.Active() || index < 0 || index >= columns_->Count()) return {};
    db::TField* field = columns_->GetColumn(index)->Field();
    if (!field) return {};
    if (field->DataType() != db::ftDate) return field->EditMask;
    // Dates are typed in the engine's date format.
    const std::string year = CenturyOn() ? "9999" : "99";
    return DateCode() == 1 ? year + "/99/99;1; " : "99/99/" + year + ";1; ";
}

// Leaving the grid writes what was typed into the record. A text the field
// refuses is reported as the message loop reports errors: the focus may be
// leaving from inside a window's destruction, where nothing may be thrown.
void TCustomTzGrid::EditorExit() {
    if (Has(ui::csDestroying) || !link_.Active() || !db::EditModes(link_.DataSet()->State())) return;
    try {
        link_.UpdateRecord();
    } catch (const std::exception& e) {
        ui::Application().HandleException(e);
    }
}

int TCustomTzGrid::GetEditLimit() {
    db::TField* field = SelectedField();
    return field && field->DataType() == db::ftString ? field->Size() : 0;
}

}  // namespace zurod
