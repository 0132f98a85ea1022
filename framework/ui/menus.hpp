#pragma once
// Popup menus, as far as their users need them so far: the component a
// button or a title bar names, its alignment and automatic popup, and the
// popup event. The items and the menu window come with the menus.
#include <functional>

#include "framework/ui/controls.hpp"

namespace ui {

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
    std::string ClassName() const override { return "TPopupMenu"; }

    bool AutoPopup = true;
    TPopupAlignment Alignment = paLeft;
    // The component that popped the menu up last (free-notified).
    TComponent* PopupComponent() const { return popup_component_; }
    void SetPopupComponent(TComponent* c);
    TPoint PopupPoint() const { return popup_point_; }

    // Pops the menu up with the alignment's corner at (x, y) (screen):
    // OnPopup runs.
    virtual void Popup(int x, int y);
    TNotifyEvent OnPopup;

    void Notification(TComponent* component, TOperation op) override;

private:
    TComponent* popup_component_ = nullptr;
    TPoint popup_point_;
};

}  // namespace ui
