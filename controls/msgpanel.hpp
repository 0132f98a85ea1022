#pragma once
// The panel a window keeps hidden and shows, centred, while a long operation
// runs ("Backing up. Please wait...").
#include "framework/ui/controls.hpp"

namespace controls {

class TMessagePanel : public ui::TCustomPanel {
public:
    explicit TMessagePanel(ui::TComponent* owner);
    std::string ClassName() const override { return "TMessagePanel"; }
    // Puts the panel in the middle of the screen's active form (in the
    // parent's coordinates, so right when it sits on that form); without an
    // active form in the middle of its parent, without either where it is.
    void Center();
};

}  // namespace controls
