// The speed button's input: presses, drags and releases, the drop-down
// menu, the repeat timer, the pointer entering and leaving, the simulated
// click and the notifications it answers.
#include "controls/cvspeedbtn.hpp"
#include "controls/cvutils.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/error.hpp"

namespace controls {

using namespace ui;

bool TCvSpeedButton::Inside(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y <= height_; }

void TCvSpeedButton::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (menu_tracking_) return;
    TGraphicControl::MouseDown(b, s, x, y);
    if (enabled_ && !mouse_inside_) {
        mouse_inside_ = true;
        Repaint();
    }
    if (b != mbLeft || !enabled_) return;
    if (!down_) {
        state_ = bsDown;
        Repaint();
    }
    dragging_ = true;
    menu_tracking_ = true;
    try {
        if (drop_down_menu_ && drop_down_menu_->AutoPopup) DropDown(x, y);
        // A press that closed the menu must not press the button again.
        if (parent_ && parent_->HandleAllocated()) {
            MSG next;
            const HWND h = parent_->WindowHandle();
            if (PeekMessage(next, h, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE) && next.message != WM_LBUTTONUP &&
                Inside(LOWORD_S(next.lParam) - left_, HIWORD_S(next.lParam) - top_))
                DiscardPendingMessage(h, next.message);
        }
    } catch (...) {
        menu_tracking_ = false;
        throw;
    }
    menu_tracking_ = false;
    if (allow_timer_) {
        if (!repeat_timer_) repeat_timer_ = new TTimer(this);
        repeat_timer_->SetInterval(InitPause);
        repeat_timer_->SetOnTimer([this](TObject*) { RepeatTick(); });
        repeat_timer_->SetEnabled(true);
    }
}

void TCvSpeedButton::DropDown(int x, int y) {
    if (TCustomForm* form = GetParentForm(this)) form->SendCancelMode(this);
    drop_down_menu_->SetPopupComponent(this);
    TPoint anchor;
    const TPopupAlignment align = drop_down_menu_->Alignment;
    if (MenuPosition == dmpBottom)
        anchor = align == paLeft ? TPoint{-1, height_}
            : align == paRight   ? TPoint{width_ + 1, height_}
                                 : TPoint{width_ / 2, height_};
    else
        anchor = align == paLeft ? TPoint{width_, -1} : align == paRight ? TPoint{-1, -1} : TPoint{width_ / 2, height_};
    const TPoint at = ClientToScreen(anchor);
    drop_down_menu_->Popup(at.x, at.y);
    // As if released where it was pressed.
    Release(mbLeft, x, y);
}

void TCvSpeedButton::MouseMove(TShiftState s, int x, int y) {
    TGraphicControl::MouseMove(s, x, y);
    if (!dragging_) return;
    TCvButtonState next = down_ ? bsExclusive : bsUp;
    if (Inside(x, y)) next = down_ ? bsExclusive : bsDown;
    if (next != state_) {
        state_ = next;
        Repaint();
    }
}

void TCvSpeedButton::Release(TMouseButton b, int x, int y) {
    if (!dragging_ || b != mbLeft) return;
    dragging_ = false;
    const bool counts = Inside(x, y);
    if (group_index_ == 0) {
        state_ = bsUp;
        mouse_inside_ = false;
        if (counts)
            Repaint();
        else
            Invalidate();
    } else if (counts) {
        SetDown(!down_);
        if (down_) Repaint();
    } else {
        if (down_) state_ = bsExclusive;
        Repaint();
    }
    if (counts && !menu_tracking_) Click();
    UpdateTracking();
}

void TCvSpeedButton::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
    TGraphicControl::MouseUp(b, s, x, y);
    Release(b, x, y);
    if (repeat_timer_) repeat_timer_->SetEnabled(false);
}

void TCvSpeedButton::RepeatTick() {
    repeat_timer_->SetInterval(RepeatInterval);
    if (state_ != bsDown || CaptureControl() != this) return;
    try {
        Click();
    } catch (...) {
        if (repeat_timer_) repeat_timer_->SetEnabled(false);
        throw;
    }
}

void TCvSpeedButton::Click() {
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(ModalResult);
    TGraphicControl::Click();
}

void TCvSpeedButton::SimulateClick() {
    if (menu_tracking_ || !enabled_ || (drop_down_menu_ && drop_down_menu_->AutoPopup)) return;
    if (!down_) {
        state_ = bsDown;
        Repaint();
    }
    // Long enough for the pressed look to be seen.
    const uint32_t start = GetTickCount();
    for (;;) {
        const uint32_t now = GetTickCount();
        if (now - start >= 20 || now < start) break;
        SpinClock();
    }
    // The button comes up also when the click raises.
    platform::ThenAlways(
        [this] {
            if (group_index_ == 0) Click();
        },
        [this] {
            state_ = bsUp;
            if (group_index_ == 0) Repaint();
        });
    if (group_index_ != 0) {
        SetDown(!down_);
        Click();
    }
}

// ---------------------------------------------------------------- the pointer

void TCvSpeedButton::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TCvSpeedButton::MouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TCvSpeedButton::UpdateTracking() {
    const bool inside = enabled_ && ControlAtCursor() == this && AppWindowIsActive();
    if (inside == mouse_inside_) return;
    mouse_inside_ = inside;
    if (inside) {
        if (flat_) Repaint();
        MouseEnter();
    } else {
        if (flat_) Invalidate();
        MouseLeave();
    }
}

void TCvSpeedButton::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDBLCLK:
        if (menu_tracking_) return;
        TGraphicControl::WndProc(m);
        if (down_) TGraphicControl::DblClick();
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        TGraphicControl::WndProc(m);
        UpdateTracking();
        return;
    case CM_MOUSEENTER:
        if (!mouse_inside_ && enabled_ && AppWindowIsActive()) {
            mouse_inside_ = true;
            if (flat_) Repaint();
            MouseEnter();
        }
        return;
    case CM_MOUSELEAVE:
        if (mouse_inside_ && enabled_ && !dragging_) {
            mouse_inside_ = false;
            if (flat_) Invalidate();
            MouseLeave();
        }
        return;
    case CM_ENABLEDCHANGED:
        MakeShownImage();
        UpdateTracking();
        Repaint();
        return;
    case CM_VISIBLECHANGED:
        TGraphicControl::WndProc(m);
        if (m.WParam) UpdateTracking();
        return;
    case CM_SYSCOLORCHANGE:
        glyph_->FreeImages();
        Invalidate();
        return;
    case CM_DIALOGCHAR:
        if (enabled_ && Showing() && IsAccel(char(m.WParam), Caption())) {
            Click();
            m.Result = 1;
            return;
        }
        break;
    case CM_GROUPBUTTONPRESSED:
        if (int(m.WParam) == group_index_ && parent_ && parent_->HandleAllocated()) {
            auto* sender = dynamic_cast<TCvSpeedButton*>(reinterpret_cast<TControl*>(m.LParam));
            if (sender && sender != this) {
                if (sender->Down() && down_) {
                    down_ = false;
                    state_ = bsUp;
                    Repaint();
                }
                allow_all_up_ = sender->AllowAllUp();
            }
        }
        return;
    default: break;
    }
    TGraphicControl::WndProc(m);
}

}  // namespace controls
