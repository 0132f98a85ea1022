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

void InstallShadowedHintWindow() {
    static const bool installed = (SetHintWindowClass(&NewHintWindow<TShadowedHintWindow>), true);
    (void)installed;
}

}  // namespace controls
