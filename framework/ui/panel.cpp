// Panels: bevels, border and a caption.
#include "framework/ui/controls.hpp"

namespace ui {

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    ControlStyle =
        csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks | csReplicatable;
    width_ = 185, height_ = 41;
    color_ = clBtnFace;
    brush_->SetColor(color_);
}

void TCustomPanel::SetBevelInner(TBevelCut v) {
    if (v != bevel_inner_) bevel_inner_ = v, Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut v) {
    if (v != bevel_outer_) bevel_outer_ = v, Invalidate();
}
void TCustomPanel::SetBevelWidth(int v) {
    if (v != bevel_width_) bevel_width_ = std::max(1, v), Invalidate();
}
void TCustomPanel::SetBorderWidth(int v) {
    if (v != border_width_) border_width_ = std::max(0, v), Invalidate();
}
void TCustomPanel::SetBorderStyle(TBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    UpdateStyles();
}
void TCustomPanel::SetAlignment(TAlignment v) {
    if (v != alignment_) alignment_ = v, Invalidate();
}

void TCustomPanel::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    if (border_style_ == bsSingle) {
        if (Ctl3D)
            p.ex_style |= WS_EX_CLIENTEDGE;
        else
            p.style |= WS_BORDER;
    }
}

void TCustomPanel::Paint() {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    DC& dc = *c->Handle();
    auto bevel = [&](TBevelCut cut) {
        const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW);
        if (cut == bvLowered)
            Frame3D(dc, r, sh, hi, bevel_width_);
        else
            Frame3D(dc, r, hi, sh, bevel_width_);
    };
    if (bevel_outer_ != bvNone) bevel(bevel_outer_);
    Frame3D(dc, r, ColorToRGB(color_), ColorToRGB(color_), border_width_);
    if (bevel_inner_ != bvNone) bevel(bevel_inner_);
    c->Brush()->SetColor(color_);
    c->FillRect(r);
    c->Brush()->SetStyle(bsClear);
    c->Font()->Assign(font_.get());
    static const unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    DrawText(*c->Handle(), text_, r, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align[alignment_]);
}

}  // namespace ui
