#include "framework/ui/menus.hpp"

namespace ui {

void TPopupMenu::SetPopupComponent(TComponent* c) {
    if (c == popup_component_) return;
    if (popup_component_) popup_component_->RemoveFreeNotification(this);
    popup_component_ = c;
    if (c) c->FreeNotification(this);
}

void TPopupMenu::Popup(int x, int y) {
    popup_point_ = {x, y};
    if (OnPopup) OnPopup(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation op) {
    TComponent::Notification(component, op);
    if (op == TOperation::opRemove && component == popup_component_) popup_component_ = nullptr;
}

}  // namespace ui
