// The control library's state: its start, reset and end with the window system's.
#include "controls/detail/state.hpp"

namespace controls {

namespace {

std::unique_ptr<ui::UiStatePart> MakeControlsState() { return std::make_unique<ControlsState>(); }

}  // namespace

ControlsState::ControlsState() : dates(StartDateUtilState()) {}

// The hooks go first: they leave the windows they are on.
ControlsState::~ControlsState() { hook_list.reset(); }

void ControlsState::Reset() {
    hook_list.reset();
    next_hook_id = 1;
    glyphs = {};
    speed_buttons = {};
    menus = {};
    dates = StartDateUtilState();
    date_edit_glyph.reset();
    viewer->Shutdown();  // closes the viewers it started
    viewer = std::make_unique<HHViewer>();
    help = {};
}

ControlsState& Controls() {
    static const size_t part = ui::AddUiStatePart(&MakeControlsState);
    return static_cast<ControlsState&>(ui::UiStatePartAt(part));
}

}  // namespace controls
