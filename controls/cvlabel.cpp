#include "controls/cvlabel.hpp"

#include "controls/cvutils.hpp"
#include "framework/ui/stdctrls.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

int DrawTextWithShadow(DC& dc, const std::string& text, TRect& rect, unsigned flags, int size, COLORREF shadow,
                       TShadowPosition pos) {
    const COLORREF text_color = SetTextColor(dc, shadow);
    static const int kDx[] = {-1, -1, 1, 1}, kDy[] = {-1, 1, 1, -1};
    TRect copy = rect.Offset(kDx[pos] * size, kDy[pos] * size);
    int height = DrawText(dc, text, copy, flags);
    if (height > 0) height += size;
    SetTextColor(dc, text_color);
    DrawText(dc, text, rect, flags);
    rect = Union(rect, copy);
    return height;
}

TCvCustomLabel::TCvCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    width_ = 65, height_ = 17;
    ControlStyle |= csOpaque | csReplicatable;
    parent_color_ = true;
}

// ---------------------------------------------------------------- properties

void TCvCustomLabel::SetFocusControl(TWinControl* v) {
    if (v == focus_control_) return;
    focus_control_ = v;
    if (show_focus_) Invalidate();
}

void TCvCustomLabel::SetAlignment(TAlignment v) {
    if (v != alignment_) alignment_ = v, Invalidate();
}
void TCvCustomLabel::SetAutoSize(bool v) {
    if (v != auto_size_) auto_size_ = v, AdjustBounds();
}
void TCvCustomLabel::SetLayout(TTextLayout v) {
    if (v != layout_) layout_ = v, Invalidate();
}
void TCvCustomLabel::SetShadowColor(TColor v) {
    if (v != shadow_color_) shadow_color_ = v, Invalidate();
}
void TCvCustomLabel::SetShadowSize(uint8_t v) {
    if (v == shadow_size_) return;
    shadow_size_ = v;
    AdjustBounds();
    Invalidate();
}
void TCvCustomLabel::SetShadowPos(TShadowPosition v) {
    if (v != shadow_pos_) shadow_pos_ = v, Invalidate();
}
void TCvCustomLabel::SetWordWrap(bool v) {
    if (v != word_wrap_) word_wrap_ = v, AdjustBounds();
}
void TCvCustomLabel::SetShowAccelChar(bool v) {
    if (v != show_accel_char_) show_accel_char_ = v, Invalidate();
}
void TCvCustomLabel::SetShowFocus(bool v) {
    if (v != show_focus_) show_focus_ = v, Invalidate();
}
void TCvCustomLabel::SetTransparent(bool v) {
    if (v == Transparent()) return;
    if (v)
        ControlStyle &= ~csOpaque;
    else
        ControlStyle |= csOpaque;
    Invalidate();
}

// ---------------------------------------------------------------- drawing

void TCvCustomLabel::DrawLabelText(DC& dc, TRect& rect, unsigned flags) {
    std::string text = LabelText();
    if ((flags & DT_CALCRECT) && (text.empty() || (show_accel_char_ && text == "&"))) text += ' ';
    if (!show_accel_char_) flags |= DT_NOPREFIX;
    dc.S().font = font_->Handle();
    SetTextColor(dc, ColorToRGB(DefaultTextColor()));
    TShadowPosition pos = shadow_pos_;
    int size = shadow_size_;
    TColor shadow = shadow_color_;
    if (!enabled_) {
        if (size == 0 && NewStyleControls()) pos = spRightBottom, size = 1;
        SetTextColor(dc, ColorToRGB(clGrayText));
        shadow = clBtnHighlight;
    }
    DrawTextWithShadow(dc, text, rect, flags, size, ColorToRGB(shadow), pos);
}

void TCvCustomLabel::Paint() {
    if (!enabled_ && !Has(csDesigning)) dragging_ = false;
    TCanvas* c = Canvas();
    const TRect client{0, 0, width_, height_};
    if (!Transparent()) {
        c->Brush()->SetColor(color_);
        c->FillRect(client);
    }
    c->Brush()->SetStyle(bsClear);
    DC& dc = *c->Handle();
    SetBkMode(dc, TRANSPARENT);
    TRect r{client.left + 1, client.top, client.right - 1, client.bottom};
    static const unsigned kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    const unsigned flags = DT_EXPANDTABS | (word_wrap_ ? unsigned(DT_WORDBREAK) : 0u) | kAlign[alignment_];
    if (layout_ != tlTop) {
        TRect measured = r;
        DrawLabelText(dc, measured, flags | DT_CALCRECT);
        const int dy = layout_ == tlBottom ? height_ - measured.bottom : (height_ - measured.bottom) / 2;
        r = TRect{client.left, r.top, client.right, r.bottom}.Offset(0, dy);
    }
    DrawLabelText(dc, r, flags);
    if (show_focus_ && focus_control_ && focused_ && !Has(csDesigning)) {
        c->Brush()->SetColor(color_);
        c->DrawFocusRect(r.Inflate(1, 0));
    }
}

void TCvCustomLabel::AdjustBounds() {
    if (!auto_size_ || Has(csLoading)) return;
    DC dc(Surface::Create(1, 1, PixelFormat::Color32));
    TRect r{1, 0, width_ - 1, height_};
    DrawLabelText(dc, r, DT_EXPANDTABS | (word_wrap_ ? unsigned(DT_WORDBREAK) : 0u) | DT_CALCRECT);
    r = r.Inflate(1, 0);
    const int w = r.right, h = r.bottom;
    const int left = alignment_ == taRightJustify ? left_ + (width_ - w) : left_;
    SetBounds(left, top_, w, h);
}

// ---------------------------------------------------------------- the pointer, focus and keys

void TCvCustomLabel::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TCvCustomLabel::MouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TCvCustomLabel::UpdateTracking() {
    const bool inside = enabled_ && ControlAtCursor() == this && AppWindowIsActive();
    if (inside == mouse_inside_) return;
    mouse_inside_ = inside;
    if (inside)
        MouseEnter();
    else
        MouseLeave();
}

void TCvCustomLabel::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    TGraphicControl::MouseDown(b, s, x, y);
    if (b == mbLeft && enabled_) dragging_ = true;
    if (b == mbRight) UpdateTracking();
}

void TCvCustomLabel::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
    TGraphicControl::MouseUp(b, s, x, y);
    if (b == mbLeft) dragging_ = false;
    UpdateTracking();
}

void TCvCustomLabel::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CM_MOUSEENTER:
        if (!mouse_inside_ && enabled_ && AppWindowIsActive()) {
            mouse_inside_ = true;
            MouseEnter();
        }
        return;
    case CM_MOUSELEAVE:
        if (mouse_inside_ && enabled_ && !dragging_) {
            mouse_inside_ = false;
            MouseLeave();
        }
        return;
    case CM_ENABLEDCHANGED:
        TGraphicControl::WndProc(m);
        UpdateTracking();
        return;
    case CM_VISIBLECHANGED:
        TGraphicControl::WndProc(m);
        if (m.WParam) UpdateTracking();
        return;
    case CM_TEXTCHANGED:
        Invalidate();
        AdjustBounds();
        return;
    case CM_FONTCHANGED:
        TGraphicControl::WndProc(m);
        AdjustBounds();
        return;
    case CM_FOCUSCHANGED: {
        const bool now = focus_control_ && reinterpret_cast<TControl*>(m.LParam) == focus_control_;
        if (now != focused_) {
            focused_ = now;
            if (show_focus_) Invalidate();
        }
        break;
    }
    case CM_DIALOGCHAR:
        if (focus_control_ && enabled_ && show_accel_char_ && IsAccel(char(m.WParam), LabelText()) &&
            focus_control_->CanFocus()) {
            focus_control_->SetFocus();
            m.Result = 1;
            return;
        }
        break;
    default: break;
    }
    TGraphicControl::WndProc(m);
}

}  // namespace controls
