#include "controls/hintshadow.hpp"

#include "framework/ui/sysparams.hpp"

namespace controls {

using namespace ui;

void TShadowedHintWindow::CreateParams(ui::CreateParams& p) {
    THintWindow::CreateParams(p);
    const SystemVersion v = GetSystemVersion();
    if (v.platform == VER_PLATFORM_WIN32_NT && (v.major > 5 || (v.major == 5 && v.minor >= 1)))
        p.class_style |= CS_DROPSHADOW;
}

// Each call installs it: a shutdown of the window system forgets the class.
void InstallShadowedHintWindow() { SetHintWindowClass(&NewHintWindow<TShadowedHintWindow>); }

}  // namespace controls
