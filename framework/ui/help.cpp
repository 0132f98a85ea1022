// The help slots live in the window system's state.
#include "framework/ui/help.hpp"

#include "framework/ui/detail/state.hpp"

namespace ui {

THelpEvent& ApplicationHelpEvent() { return detail::Ui().help_event; }

THelpEngine& FrameworkHelpEngine() { return detail::Ui().help_engine; }

}  // namespace ui
