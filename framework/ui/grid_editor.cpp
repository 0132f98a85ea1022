// The grid base's in-place editor: when it shows, where, with which text,
// and how its text gets back into the grid.
#include "framework/ui/grids.hpp"

namespace ui {

// ---------------------------------------------------------------- the editor

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : TCustomMaskEdit(grid), grid_(grid) {
    SetBorderStyle(bsNone);
    TabStop = false;
}

void TInplaceEdit::UpdateContents() {
    updating_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{updating_};
    const int col = grid_->Col(), row = grid_->Row();
    SetEditMask("");
    SetText("");
    SetEditMask(grid_->GetEditMask(col, row));
    SetText(grid_->GetEditText(col, row));
    SetMaxLength(grid_->GetEditLimit());
    if (HandleAllocated()) SelectAll();
}

void TInplaceEdit::Change() {
    TCustomMaskEdit::Change();
    if (!updating_) grid_->SetEditText(grid_->Col(), grid_->Row(), GetText());
}

void TInplaceEdit::KeyDown(UINT& key, TShiftState shift) {
    // Keys that move between cells are the grid's.
    auto to_grid = [&] {
        grid_->KeyDown(key, shift);
        key = 0;
    };
    const int caret = SelStart(), length = int(EditText().size());
    const bool whole = SelLength() == length;
    switch (key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
    case VK_TAB: to_grid(); return;
    case VK_INSERT:
        if (shift == 0) to_grid();
        return;
    case VK_LEFT:
        if ((shift & ssCtrl) || whole || (caret == 0 && SelLength() == 0)) to_grid();
        return;
    case VK_RIGHT:
        if ((shift & ssCtrl) || whole || (caret >= length && SelLength() == 0)) to_grid();
        return;
    case VK_HOME:
    case VK_END:
        if ((shift & ssCtrl) || whole) to_grid();
        return;
    case VK_DELETE:
        if (shift & ssCtrl)
            to_grid();
        else if (!grid_->CanEditModify())
            key = 0;
        return;
    default: TCustomMaskEdit::KeyDown(key, shift);
    }
}

void TInplaceEdit::KeyPress(char& key) {
    if (key == '\t' || key == 27) {
        key = 0;
        return;
    }
    if (key == '\r') {
        grid_->KeyPress(key);
        key = 0;
        return;
    }
    const bool edits = key == '\b' || key == 0x16 || key == 0x18 || static_cast<unsigned char>(key) >= ' ';
    if (static_cast<unsigned char>(key) >= ' ' && !grid_->CanEditAcceptKey(key)) key = 0;
    if (key != 0 && edits && !grid_->CanEditModify()) key = 0;
    if (key != 0) TCustomMaskEdit::KeyPress(key);
}

void TInplaceEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        m.Result =
            DLGC_WANTARROWS | DLGC_WANTCHARS | ((grid_->Options() & goTabs) ? LRESULT(DLGC_WANTTAB) : LRESULT(0));
        return;
    case WM_KILLFOCUS:
        TCustomMaskEdit::WndProc(m);
        if (HWND(m.WParam) != grid_->WindowHandle()) grid_->EditorExit();
        return;
    default: break;
    }
    TCustomMaskEdit::WndProc(m);
}

// ---------------------------------------------------------------- the grid's side

bool TCustomGrid::CanEditShow() {
    return (options_ & goEditing) && (editor_mode_ || (options_ & goAlwaysShowEditor)) && !(options_ & goRowSelect) &&
        HandleAllocated() && !Has(csDesigning) && current_.X >= fixed_cols_ && current_.Y >= fixed_rows_;
}

TInplaceEdit* TCustomGrid::CreateEditor() {
    auto* editor = new TInplaceEdit(this);
    editor->SetVisible(false);
    editor->SetParent(this);
    return editor;
}

void TCustomGrid::UpdateEditorText() {
    if (inplace_) inplace_->UpdateContents();
}

void TCustomGrid::UpdateEditorBounds() {
    if (!inplace_) return;
    const TRect r = CellRect(current_.X, current_.Y);
    if (r.Empty()) {
        inplace_->Hide();
        return;
    }
    inplace_->SetBounds(r.left, r.top, r.Width(), r.Height());
    inplace_->Show();
}

void TCustomGrid::SetEditorMode(bool v) {
    if (v)
        ShowEditor();
    else
        HideEditor();
}

void TCustomGrid::ShowEditor() {
    if (!(options_ & goEditing)) return;
    editor_mode_ = true;
    UpdateEdit();
}

void TCustomGrid::HideEditor() {
    editor_mode_ = (options_ & goAlwaysShowEditor) && (options_ & goEditing);
    HideEdit();
}

void TCustomGrid::UpdateEdit() {
    if (!CanEditShow()) {
        HideEdit();
        return;
    }
    if (!inplace_) {
        inplace_ = CreateEditor();
        if (!inplace_) return;
    }
    ++update_edit_lock_;
    struct Unlock {
        int& lock;
        ~Unlock() { --lock; }
    } unlock{update_edit_lock_};
    UpdateEditorText();
    UpdateEditorBounds();
    InvalidateCell(current_.X, current_.Y);
    if (Focused() && inplace_->Visible() && inplace_->CanFocus()) inplace_->SetFocus();
}

void TCustomGrid::HideEdit() {
    if (!inplace_ || !inplace_->Visible() || hiding_editor_) return;
    hiding_editor_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{hiding_editor_};
    const bool had_focus = inplace_->Focused();
    inplace_->Hide();
    if (had_focus && HandleAllocated() && CanFocus()) SetFocus();
    InvalidateCell(current_.X, current_.Y);
}

void TCustomGrid::InvalidateEditor() {
    if (inplace_ && inplace_->Visible()) UpdateEditorText();
}

}  // namespace ui
