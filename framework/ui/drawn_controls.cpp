// Controls that draw themselves through Paint on their canvas: graphic
// controls (drawn by their parent window) and custom controls (windowed).
#include "framework/ui/controls.hpp"

namespace ui {

// ---------------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& m) {
    if (m.Msg == WM_PAINT && m.WParam) {
        TControlCanvas::Painting scope(*canvas_, reinterpret_cast<DC*>(m.WParam), font_.get());
        Paint();
        return;
    }
    TControl::WndProc(m);
}

// ---------------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(DC* dc) {
    TControlCanvas::Painting scope(*canvas_, dc, font_.get(), color_);
    Paint();
}

}  // namespace ui
