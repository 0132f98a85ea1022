// TButton over the button class, and TCustomLabel.
#include <cctype>

#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"

namespace ui {

bool IsAccel(char c, const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return std::toupper(uint8_t(caption[i + 1])) == std::toupper(uint8_t(c));
    }
    return false;
}

// ---------------------------------------------------------------- TButton

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    // The button class runs its own press.
    ControlStyle = csSetCaption | csDoubleClicks | csOpaque;
    width_ = 75, height_ = 25;
    TabStop = true;
    class_paints_ = true;
    color_ = clBtnFace;
}

void TButton::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= (active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    if (TabStop) p.style |= WS_TABSTOP;
}

void TButton::CreateHandleDone() { SendFont(false); }

void TButton::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    // Focus elsewhere than on a button: the default button is the one Enter presses.
    TWinControl* focused = FromHandle(GetFocus());
    if (!dynamic_cast<TButton*>(focused)) SetActive(v);
}

void TButton::SetActive(bool v) {
    if (v == active_) return;
    active_ = v;
    if (HandleAllocated()) SendMessage(handle_, BM_SETSTYLE, active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, 1);
}

void TButton::Click() {
    if (ModalResult != 0)
        if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(ModalResult);
    TWinControl::Click();
}

void TButton::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if ((m.WParam >> 16) == BN_CLICKED) Click();
        return;
    case CM_DIALOGKEY:
        if (((m.WParam == VK_RETURN && active_) || (m.WParam == VK_ESCAPE && Cancel)) && KeyboardShiftState() == 0 &&
            CanFocus()) {
            Click();
            m.Result = 1;
        }
        return;
    case CM_DIALOGCHAR:
        if (IsAccel(char(m.WParam), text_) && CanFocus()) {
            Click();
            m.Result = 1;
        }
        return;
    case CM_FOCUSCHANGED: {
        auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
        SetActive(focused == this || (default_ && !dynamic_cast<TButton*>(focused)));
        return;
    }
    case CM_FONTCHANGED:
        if (HandleAllocated()) CreateHandleDone();
        break;
    case CN_BASE + static_cast<UINT>(WM_CTLCOLORBTN): {
        DC& dc = *reinterpret_cast<DC*>(m.WParam);
        SetTextColor(dc, ColorToRGB(font_->Color()));
        m.Result = ColorBrush(ColorToRGB(color_));
        return;
    }
    default: break;
    }
    TWinControl::WndProc(m);
}

void TButton::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc("BUTTON", handle_, m.Msg, m.WParam, m.LParam);
}

// ---------------------------------------------------------------- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    ControlStyle |= csOpaque | csReplicatable;
    width_ = 65, height_ = 17;
    color_ = clBtnFace;
    parent_color_ = true;
}

void TCustomLabel::SetAutoSize(bool v) {
    auto_size_ = v;
    AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
    if (!auto_size_ || WordWrap) return;
    DC dc;
    dc.S().font = font_->Handle();
    TRect r{0, 0, 0, 0};
    DrawText(dc, text_.empty() ? " " : text_, r, DT_CALCRECT | DT_SINGLELINE | (ShowAccelChar ? 0u : DT_NOPREFIX));
    SetBounds(left_, top_, r.Width(), r.Height());
}

void TCustomLabel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    if (!Transparent) {
        c->Brush()->SetColor(color_);
        c->FillRect(r);
    }
    c->Brush()->SetStyle(bsClear);
    DC& dc = *c->Handle();
    static const unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    unsigned flags = align[Alignment] | (WordWrap ? DT_WORDBREAK : DT_SINGLELINE);
    if (!ShowAccelChar) flags |= DT_NOPREFIX;
    if (!enabled_) {
        TRect lit = r.Offset(1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawText(dc, text_, lit, flags);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    }
    DrawText(dc, text_, r, flags);
}

void TCustomLabel::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_DIALOGCHAR:
        if (FocusControl && ShowAccelChar && enabled_ && IsAccel(char(m.WParam), text_) && FocusControl->CanFocus()) {
            FocusControl->SetFocus();
            m.Result = 1;
        }
        return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED: AdjustBounds(); break;
    default: break;
    }
    TGraphicControl::WndProc(m);
}

}  // namespace ui
