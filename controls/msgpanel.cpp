#include "controls/msgpanel.hpp"

#include "framework/ui/forms.hpp"

namespace controls {

using namespace ui;

TMessagePanel::TMessagePanel(TComponent* owner) : TCustomPanel(owner) { width_ = 265, height_ = 65; }

void TMessagePanel::Center() {
    int w, h;
    if (TCustomForm* form = Screen().ActiveForm()) {
        w = form->Width(), h = form->Height();
    } else if (parent_) {
        w = parent_->ClientWidth(), h = parent_->ClientHeight();
    } else {
        return;
    }
    SetBounds((w - width_) / 2, (h - height_) / 2, width_, height_);
}

}  // namespace controls
