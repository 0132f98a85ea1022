// The class library's part of the window system's state: made with the
// state, reset with it, and its hint window gone before the desktop is; the
// help slots (help.hpp) live in it.
#include "framework/ui/detail/library_state.hpp"

#include "framework/ui/forms.hpp"

namespace ui::detail {

namespace {

std::unique_ptr<LibraryPart> MakeLibraryState() { return std::make_unique<LibraryState>(); }

// Joins the window system's state as the class library loads, so that the
// application (and with it the event pump and the regional settings'
// listener) is there from the start.
[[maybe_unused]] const bool kJoined = (InstallLibraryPart(&MakeLibraryState), true);

}  // namespace

LibraryState::LibraryState() : screen(std::make_unique<TScreen>()), application(std::make_unique<TApplication>()) {}
LibraryState::~LibraryState() = default;

void LibraryState::Reset() {
    capture_control = nullptr;
    handles.clear();
    screen->Reset();
    application->ResetTerminated();
    application->ResetHints();
    drop_downs.clear();
    accelerators.clear();
    help_event = nullptr;
    help_engine = nullptr;
}

void LibraryState::ShuttingDown() { application->ResetHints(); }

LibraryState& Library() {
    UiState& ui = Ui();
    // A use before this file's statics ran (another unit's static object).
    if (!ui.library) InstallLibraryPart(&MakeLibraryState);
    return static_cast<LibraryState&>(*ui.library);
}

}  // namespace ui::detail

namespace ui {

THelpEvent& ApplicationHelpEvent() { return detail::Library().help_event; }

THelpEngine& FrameworkHelpEngine() { return detail::Library().help_engine; }

}  // namespace ui
