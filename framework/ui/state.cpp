// The window system's one state owner: start, shutdown and reset.
#include "framework/ui/detail/state.hpp"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>

#include "framework/ui/detail/desktop.hpp"
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

// The state and its start. Any thread may be the first to use the window
// system (a worker posting while the user-interface thread installs its
// display), so the start runs under a lock and the state is published only
// once it is whole; the lock is recursive because the start registers the
// standard classes through Ui() itself. Readers of a started state take no
// lock. The holder is never destroyed: units' static objects may start the
// state before this file's statics exist and reach it after UiShutdown ran
// at exit, and a destroyed holder would leave them a dangling state.
struct StateHolder {
    std::recursive_mutex mu;
    std::unique_ptr<UiState> state;           // under `mu`
    std::atomic<UiState*> started{nullptr};   // `state` once whole
    LibraryPartMaker make_library = nullptr;  // under `mu`
    // The libraries' registrations outlive a shutdown, as the code they
    // name does: a state started again makes the parts again.
    std::vector<UiStatePartMaker> part_makers;  // under `mu`
};

StateHolder& Holder() {
    static auto* holder = new StateHolder();
    return *holder;
}

void ShutdownAtExit() { UiShutdown(); }

// The classes the system provides.
void RegisterStandardClasses() {
    RegisterScrollBarClass();
    RegisterEditClass();
    RegisterButtonClass();
    RegisterListBoxClass();
    RegisterComboBoxClass();
}

// Drops the libraries' parts, newest first, while the rest is still there;
// a part that a destructor made again goes too.
void DropParts(UiState& s) {
    while (!s.parts.empty()) {
        std::unique_ptr<UiStatePart> part = std::move(s.parts.back());
        s.parts.pop_back();
        part.reset();
    }
}

// Tells the display that every window it shows is gone.
void LeaveDisplay(UiState& s) {
    Display* display = s.queue->display;
    if (!display) return;
    for (auto& [h, w] : s.desk.windows)
        if (w->on_display) display->WindowDestroyed(h);
}

}  // namespace

UiState::UiState() = default;
UiState::~UiState() = default;

UiState& Ui() {
    if (UiState* s = Holder().started.load(std::memory_order_acquire)) return *s;
    StateHolder& h = Holder();
    std::lock_guard lock(h.mu);
    if (!h.state) UiStart();
    return *h.state;  // whole, or being started by this very thread
}

void InstallLibraryPart(LibraryPartMaker make) {
    StateHolder& h = Holder();
    std::lock_guard lock(h.mu);
    h.make_library = make;
    if (h.state && !h.state->library) h.state->library = make();
}

}  // namespace detail

using namespace detail;

void UiStart() {
    StateHolder& h = Holder();
    std::lock_guard lock(h.mu);
    if (h.state) return;
    static const bool registered = (std::atexit(ShutdownAtExit), true);
    (void)registered;
    h.state = std::make_unique<UiState>();
    if (h.make_library) h.state->library = h.make_library();
    RegisterStandardClasses();
    h.started.store(h.state.get(), std::memory_order_release);
}

void UiShutdown() {
    StateHolder& h = Holder();
    std::lock_guard lock(h.mu);
    if (!h.state) return;
    UiState& ui = *h.state;
    DropParts(ui);
    if (ui.library) ui.library->ShuttingDown();  // its hint window goes while the desktop is there
    LeaveDisplay(ui);
    AbandonCalls(*ui.queue, true);
    h.started.store(nullptr, std::memory_order_release);
    h.state.reset();
}

void UiReset() {
    UiState& s = Ui();
    // By index: a part's reset may make another part.
    for (size_t i = 0; i < s.parts.size(); ++i)
        if (UiStatePart* part = s.parts[i].get()) part->Reset();
    LeaveDisplay(s);
    s.desk = Desktop();
    AbandonCalls(*s.queue);
    {
        std::lock_guard lock(s.queue->mu);
        s.queue->posted.clear();
        s.queue->quit = false;
        s.queue->quit_code = 0;
        s.queue->display = nullptr;
        s.queue->ui_thread = std::this_thread::get_id();
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
    s.rich_edit_version = 0;
    if (s.library) s.library->Reset();
}

size_t AddUiStatePart(UiStatePartMaker make) {
    StateHolder& h = Holder();
    std::lock_guard lock(h.mu);
    h.part_makers.push_back(make);
    return h.part_makers.size() - 1;
}

UiStatePart& UiStatePartAt(size_t index) {
    UiState& s = Ui();
    if (index < s.parts.size() && s.parts[index]) return *s.parts[index];
    UiStatePartMaker make = nullptr;
    {
        StateHolder& h = Holder();
        std::lock_guard lock(h.mu);
        make = index < h.part_makers.size() ? h.part_makers[index] : nullptr;
    }
    if (!make) throw std::out_of_range("no state part " + std::to_string(index));
    // The maker may reach other parts; the slot is found again after it.
    std::unique_ptr<UiStatePart> made = make();
    if (index >= s.parts.size()) s.parts.resize(index + 1);
    if (!s.parts[index]) s.parts[index] = std::move(made);
    return *s.parts[index];
}

size_t WindowCount() { return Desk().windows.size(); }

}  // namespace ui
