// The grid base's in-place editor: when it shows, where, with which text,
// and how its text gets back into the grid.
#include "framework/ui/grids.hpp"

namespace ui {

bool TCustomGrid::CanEditShow() {
    return (options_ & goEditing) && (editor_mode_ || (options_ & goAlwaysShowEditor)) && !(options_ & goRowSelect) &&
        HandleAllocated() && !Has(csDesigning) && current_.X >= fixed_cols_ && current_.Y >= fixed_rows_;
}

TWinControl* TCustomGrid::CreateEditor() { return nullptr; }

void TCustomGrid::UpdateEditorText() {}

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
