#include "controls/cvconst.hpp"

#include "controls/hintshadow.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/resources.hpp"
#include "resources/resources.hpp"

namespace controls {

void RegisterControlResources() {
    resources::RegisterProgramResources();
    ui::Screen().SetCursors(crHandCursor, ui::LoadCursor("CV_HANDCUR"));
    ui::Screen().SetCursors(crDragCursor, ui::LoadCursor("CV_DRAGCUR"));
    ui::RegisterResourceString(SNotImplemented, "Function not yet implemented");
    InstallShadowedHintWindow();
}

}  // namespace controls
