// The window system's one state owner: start, shutdown and reset.
#include "framework/ui/detail/state.hpp"

#include <cstdlib>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/detail/text_state.hpp"

#if defined(__SANITIZE_ADDRESS__)
// The font, text and display libraries keep caches for the life of the
// process; the leak checker is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libglib\nleak:libgobject\nleak:libharfbuzz\n"
           "leak:libcairo\nleak:libfreetype\nleak:libSDL2\nleak:libX11\nleak:libdbus\n";
}
#endif

namespace ui {

namespace detail {

namespace {

// The holder itself is never destroyed: units' static objects may start the
// state before this file's statics exist and reach it after UiShutdown ran
// at exit, and a destroyed holder would leave them a dangling state.
std::unique_ptr<UiState>& Holder() {
    static auto* holder = new std::unique_ptr<UiState>();
    return *holder;
}

void ShutdownAtExit() { UiShutdown(); }

// The classes the system provides.
void RegisterStandardClasses() {
    RegisterScrollBarClass();
    RegisterEditClass();
    RegisterButtonClass();
}

// Tells the display that every window it shows is gone.
void LeaveDisplay(UiState& s) {
    Display* display = s.queue->display;
    if (!display) return;
    for (auto& [h, w] : s.desk.windows)
        if (w->on_display) display->WindowDestroyed(h);
}

}  // namespace

UiState::UiState() : library(std::make_unique<LibraryState>()) {}
UiState::~UiState() = default;

UiState& Ui() {
    std::unique_ptr<UiState>& ui = Holder();
    if (!ui) UiStart();
    return *ui;
}

}  // namespace detail

using namespace detail;

void UiStart() {
    std::unique_ptr<UiState>& ui = Holder();
    if (ui) return;
    static const bool registered = (std::atexit(ShutdownAtExit), true);
    (void)registered;
    ui = std::make_unique<UiState>();
    RegisterStandardClasses();
}

void UiShutdown() {
    std::unique_ptr<UiState>& ui = Holder();
    if (!ui) return;
    ui->library->application.ResetHints();  // its window goes while the desktop is there
    LeaveDisplay(*ui);
    AbandonCalls(*ui->queue);
    ui.reset();
}

void UiReset() {
    UiState& s = Ui();
    LeaveDisplay(s);
    s.desk = Desktop();
    AbandonCalls(*s.queue);
    {
        std::lock_guard lock(s.queue->mu);
        s.queue->posted.clear();
        s.queue->quit = false;
        s.queue->quit_code = 0;
        s.queue->display = nullptr;
    }
    s.clock = &s.steady;
    s.stall_ms = 5000;
    if (s.text) {
        s.text->budget = kDefaultTextCacheBudget;
        s.text->Trim();
    }
    s.sys_colors = DefaultSysColors();
    s.metrics = DefaultMetrics();
    s.params = SystemParams();
    LibraryState& lib = *s.library;
    lib.capture_control = nullptr;
    lib.handles.clear();
    lib.screen.Reset();
    lib.application.ResetTerminated();
    lib.application.ResetHints();
    lib.drop_downs.clear();
}

size_t WindowCount() { return Desk().windows.size(); }

}  // namespace ui
