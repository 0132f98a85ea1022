#pragma once
// A form's side of in-place activation: its frame interface (made on first
// use and owned by the form), the menu and active object objects set on it,
// the form's active object control (and the accelerator tables' routines).
#include <vector>

#include "framework/ole/oleidl.hpp"
#include "framework/ui/accelerators.hpp"
#include "framework/ui/forms.hpp"

namespace ui {

// What a form's frame holds, kept by a component the form owns.
class TOleFormFrame : public TComponent {
public:
    explicit TOleFormFrame(TCustomForm* form);
    ~TOleFormFrame() override;
    std::string ClassName() const override { return "TOleFormFrame"; }
    TCustomForm* Form() const { return form_; }
    ole::IOleInPlaceFrame* Frame() const { return frame_.Get(); }
    // The control whose object is active in place on the form (empty once it is freed).
    TWinControl* ActiveOleControl() const { return active_; }
    void SetActiveOleControl(TWinControl* c) { active_ = c; }
    // The shortcuts of the form's menu, from which in-place objects get
    // their accelerator table (a form without a menu has none).
    std::vector<ACCEL> MenuShortCuts;
    // What objects set on the frame.
    ole::HMENU menu = 0;
    bool has_active_object = false;
    std::u16string status;

private:
    TCustomForm* form_;
    ole::ComPtr<ole::IOleInPlaceFrame> frame_;
    ComponentRef<TWinControl> active_;
};

// The frame of a form, made on first use (nullptr for no form).
TOleFormFrame* OleFormFrame(TCustomForm* form);

}  // namespace ui
