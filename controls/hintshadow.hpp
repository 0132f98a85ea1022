#pragma once
// A hint window with the system's drop shadow, the program's hint window
// class from start-up until the main window installs its own.
#include "framework/ui/hints.hpp"

namespace controls {

class TShadowedHintWindow : public ui::THintWindow {
public:
    using THintWindow::THintWindow;
    std::string ClassName() const override { return "TShadowedHintWindow"; }

protected:
    // The class asks for a drop shadow on systems that draw one (NT 5.1 and later).
    void CreateParams(ui::CreateParams& p) override;
};

// Makes it the hint window class; only the first call in a process does.
void InstallShadowedHintWindow();

}  // namespace controls
