// The speed button: properties, groups and painting. Input, the repeat
// timer and the simulated click are in cvspeedbtn_input.cpp.
#include "controls/cvspeedbtn.hpp"

#include "controls/cvutils.hpp"
#include "controls/detail/state.hpp"
#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

SpeedButtonUnitState& SpeedButtonUnit() { return Controls().speed_buttons; }

namespace {

TBitmap* Pattern() {
    auto& pattern = SpeedButtonUnit().pattern;
    if (!pattern) pattern = CreateCheckerPatternBitmap(clBtnFace, clBtnHighlight);
    return pattern.get();
}

// A one-pixel frame, top and left in `a`, bottom and right in `b`; the
// rectangle shrinks inside it.
void Bevel(DC& dc, TRect& r, TColor a, TColor b) { Frame3D(dc, r, ColorToRGB(a), ColorToRGB(b), 1); }

}  // namespace

TCvSpeedButton::TCvSpeedButton(TComponent* owner)
    : TGraphicControl(owner), glyph_(std::make_unique<TCvButtonGlyph>()), drawing_(std::make_unique<TBitmap>()) {
    width_ = 25, height_ = 25;
    ControlStyle = csCaptureMouse | csOpaque | csDoubleClicks | csReplicatable;
    color_ = clBtnFace;
    parent_show_hint_ = false;
    show_hint_ = true;
    glyph_->OnChange = [this](TObject*) { Invalidate(); };
    ++SpeedButtonUnit().live_buttons;
}

TCvSpeedButton::~TCvSpeedButton() {
    glyph_.reset();
    // A reset counts afresh: a button made before it is no longer counted.
    SpeedButtonUnitState& unit = SpeedButtonUnit();
    if (unit.live_buttons > 0 && --unit.live_buttons == 0) unit.pattern.reset();
}

// ---------------------------------------------------------------- properties

void TCvSpeedButton::SetAlignment(TAlignment v) {
    if (v == glyph_->Alignment) return;
    glyph_->Alignment = v;
    Invalidate();
}

void TCvSpeedButton::SetAllowAllUp(bool v) {
    if (v == allow_all_up_) return;
    allow_all_up_ = v;
    UpdateExclusive();
}

void TCvSpeedButton::SetAllowTimer(bool v) {
    if (v == allow_timer_) return;
    allow_timer_ = v;
    if (!v && repeat_timer_) Free(std::exchange(repeat_timer_, nullptr));
}

void TCvSpeedButton::SetGroupIndex(int v) {
    if (v == group_index_) return;
    group_index_ = v;
    UpdateExclusive();
}

void TCvSpeedButton::SetDown(bool v) {
    if (group_index_ == 0) v = false;
    if (v == down_) return;
    if (down_ && !allow_all_up_) return;
    down_ = v;
    if (v) {
        if (state_ == bsUp) Invalidate();
        state_ = bsExclusive;
    } else {
        state_ = bsUp;
    }
    Repaint();
    if (v) UpdateExclusive();
    Invalidate();
}

void TCvSpeedButton::SetDropDownMenu(TPopupMenu* v) {
    if (v == drop_down_menu_) return;
    drop_down_menu_ = v;
    if (mark_drop_down_) Invalidate();
}

void TCvSpeedButton::SetFlat(bool v) {
    if (v != flat_) flat_ = v, Invalidate();
}

void TCvSpeedButton::SetGlyph(TBitmap* v) {
    glyph_->SetGlyph(v);
    Invalidate();
}

void TCvSpeedButton::SetGrayedInactive(bool v) {
    if (v != grayed_inactive_) grayed_inactive_ = v, Invalidate();
}

void TCvSpeedButton::SetLayout(TButtonLayout v) {
    if (v != layout_) layout_ = v, Invalidate();
}

void TCvSpeedButton::SetMargin(int v) {
    if (v != margin_ && v >= -1) margin_ = v, Invalidate();
}

void TCvSpeedButton::SetMarkDropDown(bool v) {
    if (v != mark_drop_down_) mark_drop_down_ = v, Invalidate();
}

void TCvSpeedButton::SetNumGlyphs(int v) {
    v = std::clamp(v, 1, kGlyphStates);
    if (v == glyph_->NumGlyphs()) return;
    glyph_->SetNumGlyphs(v);
    Invalidate();
}

void TCvSpeedButton::SetSpacing(int v) {
    if (v != spacing_) spacing_ = v, Invalidate();
}

void TCvSpeedButton::SetStyle(TButtonStyle v) {
    if (v != style_) style_ = v, Invalidate();
}

void TCvSpeedButton::SetTransparent(bool v) {
    if (v != transparent_) transparent_ = v, Invalidate();
}

void TCvSpeedButton::SetWordWrap(bool v) {
    if (v == glyph_->WordWrap) return;
    glyph_->WordWrap = v;
    Invalidate();
}

void TCvSpeedButton::Loaded() {
    TGraphicControl::Loaded();
    MakeShownImage();
}

void TCvSpeedButton::MakeShownImage() { glyph_->StateImageIndex(!enabled_ ? bsDisabled : flat_ ? bsInactive : bsUp); }

// ---------------------------------------------------------------- groups

// The siblings hear of it, not the controls inside them: a group is the
// buttons of one parent.
void TCvSpeedButton::UpdateExclusive() {
    if (group_index_ == 0 || !parent_) return;
    TMessage m{CM_GROUPBUTTONPRESSED, WPARAM(group_index_), LPARAM(static_cast<TControl*>(this)), 0};
    const std::vector<TControl*> siblings = parent_->Controls();
    for (TControl* c : siblings) {
        c->WindowProc(m);
        if (m.Result != 0) break;
    }
}

// ---------------------------------------------------------------- painting

TRect TCvSpeedButton::DrawFrame(TCanvas* canvas, TRect r, bool down_look) {
    DC& dc = *canvas->Handle();
    const bool new_style = style_ == bsNew || (style_ == bsAutoDetect && NewStyleControls());
    if (!down_look) {
        if (new_style) {
            if (flat_) {
                Bevel(dc, r, clBtnHighlight, clBtnShadow);
            } else {
                Bevel(dc, r, clBtnHighlight, clWindowFrame);
                Bevel(dc, r, clBtnFace, clBtnShadow);
            }
        } else if (flat_) {
            Bevel(dc, r, clBtnHighlight, clWindowFrame);
        } else {
            Bevel(dc, r, clWindowFrame, clWindowFrame);
            Bevel(dc, r, clBtnHighlight, clBtnShadow);
        }
    } else if (new_style) {
        Bevel(dc, r, clWindowFrame, clBtnHighlight);
        if (!flat_) Bevel(dc, r, clBtnShadow, clBtnFace);
    } else if (flat_) {
        Bevel(dc, r, clWindowFrame, clBtnHighlight);
    } else {
        Bevel(dc, r, clWindowFrame, clWindowFrame);
        canvas->Pen()->SetColor(clBtnShadow);
        canvas->Polyline({{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}});
    }
    return r.Inflate(-1, -1);
}

void TCvSpeedButton::PaintGlyphAndCaption(TCanvas* canvas, const TRect& rect, bool drop_down_mark,
                                          TCvButtonState glyph_state) {
    static const unsigned kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    canvas->Font()->Assign(font_.get());
    glyph_->DrawGlyphAndCaption(canvas, rect, kAlign[glyph_->Alignment], glyph_state, -1, nullptr, drop_down_mark,
                                spacing_, margin_, layout_, Caption());
}

void TCvSpeedButton::Paint() {
    const bool designing = Has(csDesigning);
    if (!enabled_) {
        state_ = bsDisabled;
        dragging_ = false;
    } else if (state_ == bsDisabled) {
        state_ = down_ && group_index_ != 0 ? bsExclusive : bsUp;
    }
    TCvButtonState glyph_state = state_;
    if (flat_ && !mouse_inside_ && !designing) glyph_state = bsInactive;

    TCanvas* c = drawing_->Canvas();
    c->Brush()->SetColor(clBtnFace);
    drawing_->SetSize(width_, height_);
    c->Font()->Assign(font_.get());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect({0, 0, width_, height_});
    if (transparent_) PaintParentBackground(this, c);

    TRect r{0, 0, width_, height_};
    const bool down_look = state_ == bsDown || state_ == bsExclusive;
    if (glyph_state != bsInactive || state_ == bsExclusive)
        r = DrawFrame(c, r, down_look);
    else
        r = r.Inflate(-2, -2);
    if (state_ == bsExclusive && !transparent_ && (!flat_ || glyph_state == bsInactive)) {
        c->Brush()->SetBitmap(Pattern());
        c->FillRect(r.Inflate(1, 1));
        c->Brush()->SetBitmap(nullptr);
        c->Brush()->SetColor(clBtnFace);
    }
    if (down_look) r = r.Offset(1, 1);
    const TCvButtonState drawn = state_ == bsDisabled || !grayed_inactive_ ? state_ : glyph_state;
    PaintGlyphAndCaption(c, r, mark_drop_down_ && drop_down_menu_, drawn);
    Canvas()->Draw(0, 0, drawing_.get());
}

}  // namespace controls
