#pragma once
// The control library's state, with one owner: a part of the window system's
// state (framework/ui/state_part.hpp), so that UiReset starts it afresh and
// UiShutdown drops it while the windows it holds are still there. Nothing
// else in controls/ keeps user-interface state; what stays process-wide
// outlives a reset on purpose (the download threads' count, libcurl's start).
#include <cstdint>
#include <memory>

#include "controls/cvbtnglyph.hpp"
#include "controls/cvhook.hpp"
#include "controls/cvspeedbtn.hpp"
#include "controls/dateutil.hpp"
#include "controls/hh.hpp"
#include "controls/hh_funcs.hpp"
#include "controls/menus97.hpp"
#include "framework/ui/state_part.hpp"

namespace controls {

struct ControlsState final : ui::UiStatePart {
    ControlsState();
    ~ControlsState() override;
    ControlsState(const ControlsState&) = delete;
    ControlsState& operator=(const ControlsState&) = delete;
    // Drops what the units made and starts each again, as at start-up;
    // viewers the help started are closed.
    void Reset() override;

    // Window hooks: the list and its hidden window (made on first use), the
    // control hooks' ids.
    std::unique_ptr<THookList> hook_list;
    uint64_t next_hook_id = 1;
    GlyphUnitState glyphs;
    SpeedButtonUnitState speed_buttons;
    Menus97UnitState menus;
    DateUtilState dates;
    std::unique_ptr<ui::TBitmap> date_edit_glyph;  // "DEDITBMP", shared by every date edit
    HelpUnitState help;
    std::unique_ptr<HHViewer> viewer = std::make_unique<HHViewer>();
};

// The running window system's part for the control library; made on first use.
ControlsState& Controls();

}  // namespace controls
