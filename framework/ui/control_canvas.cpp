// The canvas of a control: the paint DC while painting, otherwise a DC of
// its own on the control's area of its window.
#include "framework/ui/controls.hpp"

namespace ui {

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetPaintDC(DC* dc) {
    FreeHandle();
    SetHandle(dc);
}

TControlCanvas::Painting::Painting(TControlCanvas& canvas, DC* dc, TFont* font, std::optional<TColor> color)
    : canvas_(canvas) {
    canvas_.Lock();
    canvas_.SetPaintDC(dc);
    canvas_.Font()->Assign(font);
    if (color) canvas_.Brush()->SetColor(*color);
}

TControlCanvas::Painting::~Painting() {
    canvas_.SetPaintDC(nullptr);
    canvas_.Unlock();
}

void TControlCanvas::FreeHandle() {
    if (own_) {
        SetHandle(nullptr);
        ReleaseDC(own_window_, std::move(own_));
        own_window_ = 0;
    }
}

void TControlCanvas::CreateHandle() {
    if (auto* w = dynamic_cast<TWinControl*>(control_)) {
        own_window_ = w->Handle();
        own_ = GetDC(own_window_);
    } else if (TWinControl* p = control_->Parent()) {
        own_window_ = p->Handle();
        own_ = GetDC(own_window_);
        OffsetViewportOrg(*own_, control_->Left(), control_->Top());
        own_->IntersectClipRect({0, 0, control_->Width(), control_->Height()});
    } else {
        throw EInvalidOperation("Control '" + control_->Name() + "' has no parent window");
    }
    SetHandle(own_.get());
}

}  // namespace ui
