// The panel that stands in for a menu bar, and its flat buttons: Alt makes
// the panel the keyboard's, the arrows move between its buttons, Down or a
// press opens a button's drop-down below it.
#include <algorithm>

#include "controls/menus97.hpp"

namespace controls {

using namespace ui;

// ---------------------------------------------------------------- the panel

TCustomMenuBar97::TCustomMenuBar97(TComponent* owner) : TCustomPanel(owner) {
    SetCaption("");
    SetBevelOuter(bvNone);
}

std::vector<TMenuSpeedButton*> TCustomMenuBar97::Buttons() const {
    std::vector<TMenuSpeedButton*> out;
    for (TControl* c : Controls())
        if (auto* b = dynamic_cast<TMenuSpeedButton*>(c)) out.push_back(b);
    return out;
}

int TCustomMenuBar97::VisibleButtonCount() const {
    int n = 0;
    for (TMenuSpeedButton* b : Buttons()) n += b->Visible();
    return n;
}

TMenuSpeedButton* TCustomMenuBar97::Button(int index) const {
    int i = 0;
    for (TMenuSpeedButton* b : Buttons()) {
        if (!b->Visible()) continue;
        if (i++ == index) return b;
    }
    return nullptr;
}

void TCustomMenuBar97::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        if (active_) {
            m.Result = DLGC_WANTARROWS;
            return;
        }
        break;
    case WM_SYSCOMMAND:
        if ((m.WParam & 0xFFF0) == SC_KEYMENU && m.LParam == 0) {
            // Alt alone: the panel takes the keyboard, or gives it back.
            dropped_ = false;
            active_ = !active_;
            if (active_) {
                current_ = 0;
                if (TMenuSpeedButton* b = Button(0)) b->Perform(CM_MOUSEENTER);
                if (HandleAllocated() && IsWindowVisible(WindowHandle())) SetFocus();
            } else if (TMenuSpeedButton* b = Button(current_)) {
                b->Perform(CM_MOUSELEAVE);
            }
            return;
        }
        break;
    case WM_KEYDOWN:
        if (active_) {
            const int n = VisibleButtonCount();
            if (n == 0) return;
            TMenuSpeedButton* now = Button(current_);
            switch (m.WParam) {
            case VK_LEFT:
            case VK_RIGHT:
                if (now) now->Perform(CM_MOUSELEAVE);
                current_ = (current_ + (m.WParam == VK_LEFT ? n - 1 : 1)) % n;
                if (TMenuSpeedButton* b = Button(current_)) b->Perform(CM_MOUSEENTER);
                return;
            case VK_DOWN:
                dropped_ = true;
                if (now) now->MouseDown(mbLeft, 0, 0, 0);
                return;
            case VK_ESCAPE:
                // Not in the original list: Escape gives the keyboard back too.
                active_ = false;
                if (now) now->Perform(CM_MOUSELEAVE);
                return;
            default: break;
            }
        }
        break;
    default: break;
    }
    TCustomPanel::WndProc(m);
}

// ---------------------------------------------------------------- the buttons

TMenuSpeedButton::TMenuSpeedButton(TComponent* owner) : TCvSpeedButton(owner) { SetFlat(true); }

void TMenuSpeedButton::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    if (b != mbLeft || !Enabled() || pressed_) {
        TCvSpeedButton::MouseDown(b, s, x, y);
        return;
    }
    pressed_ = true;
    Menus97UnitState& unit = Menus97Unit();
    unit.active_button = this;
    if (auto* bar = dynamic_cast<TCustomMenuBar97*>(Parent())) {
        const auto buttons = bar->Buttons();
        int index = 0;
        for (TMenuSpeedButton* other : buttons) {
            if (other == this) break;
            index += other->Visible();
        }
        bar->current_ = index;
    }
    TCvSpeedButton::MouseDown(b, s, x, y);  // the pressed look
    const HMENU menu = DropDownHandle();
    if (menu && IsMenu(menu) && IsWindow(CommandWindow)) {
        const TPoint at = ClientToScreen({0, Height()});
        TrackPopupMenu(menu, TPM_LEFTALIGN, at.x, at.y, CommandWindow);
    }
}

void TMenuSpeedButton::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
    if (b == mbLeft) pressed_ = false;
    TCvSpeedButton::MouseUp(b, s, x, y);
}

void TMenuSpeedButton::WndProc(TMessage& m) {
    // Its caption's accelerator presses it: the drop-down opens.
    if (m.Msg == CM_DIALOGCHAR && Enabled() && Visible() && IsAccel(UINT(m.WParam), Caption())) {
        MouseDown(mbLeft, 0, 0, 0);
        m.Result = 1;
        return;
    }
    TCvSpeedButton::WndProc(m);
}

}  // namespace controls
