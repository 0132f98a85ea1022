#pragma once
// The window system's process-wide state, with one owner (compare the engine's
// EngineState). UiStart creates it, UiShutdown drops it, UiReset gives a fresh
// desktop. Nothing else in framework/ui keeps mutable state, and the libraries
// above keep theirs in parts of it (state_part.hpp), so a reset cannot miss a
// part and no part outlives the others at exit.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "framework/ui/resource_types.hpp"
#include "framework/ui/state_part.hpp"
#include "framework/ui/sysparams_types.hpp"
#include "framework/ui/window.hpp"

namespace ui {

enum class ScrollPart;  // scroll_bars.hpp; its first part, None, is 0

struct ProcEntry {
    WindowProc proc;
    std::shared_ptr<ProcEntry> below;
    SubclassToken token = 0;
};

namespace detail {

// A scroll bar's range, page and position; `track` is where the thumb is
// while it is dragged.
struct ScrollBarState {
    int min = 0, max = 100, page = 0, pos = 0, track = 0;
    bool tracking = false, disabled = false;
    ScrollPart pressed{};
};

struct Win {
    HWND handle = 0;
    std::string cls;
    uint32_t style = 0, ex_style = 0;
    HWND parent = 0, owner = 0;
    std::vector<HWND> children;  // front first
    TRect rect;                  // in the parent's client coordinates; screen for top level
    std::string text;
    bool destroying = false;
    Region update;  // client coordinates
    bool erase = false, nc_dirty = false;
    bool nc_active = false;      // the frame is drawn active (WM_NCACTIVATE)
    SurfacePtr icon, icon_mask;  // the title bar's small icon
    uint64_t invalidations = 0;  // counts changes to `update`, to tell what came during a paint
    uint64_t paints_begun = 0;   // counts BeginPaint
    int painting = 0;            // inside WM_PAINT: no nested paint of this window
    int painting_inside = 0;     // top level: windows of it inside WM_PAINT; not presented meanwhile
    Region damage;               // top level: pixels changed since the last present
    std::shared_ptr<ProcEntry> top;
    std::map<int, intptr_t> longs;
    SurfacePtr surface;  // top level only
    bool on_display = false;
    std::optional<TColor> background;
    TRect normal_rect;                 // where a maximised window goes back to
    ScrollBarState bars[3];            // SB_HORZ, SB_VERT, SB_CTL
    std::shared_ptr<void> class_data;  // the state a standard class keeps for the window
    uint32_t menu = 0;                 // the menu bar's menu (top-level windows)
    int menu_bar = 0;                  // the bar's height as last laid out
    TRect nc_adjust;                   // what the window's WM_NCCALCSIZE changed of the default insets
};

struct Timer {
    HWND hwnd = 0;
    UINT id = 0;
    UINT interval = 0;
    uint64_t due = 0;
    TimerProc proc;
    bool idle = false;  // keeps no wait alive (the caret's blink): due only when something else wakes the loop
};

// A mouse drag the window system runs itself (a scroll bar's part or thumb,
// a window moved by its caption or sized by its frame, a title-bar button held down, the pointer
// asking which window help is for) until the button comes up; while it runs,
// input goes to it rather than to the windows.
struct Tracking {
    enum class Kind { None, ScrollBar, Move, Size, CaptionButton, ContextHelp } kind = Kind::None;
    HWND hwnd = 0;
    LRESULT hit = 0;       // the title-bar button held; the edge or corner dragged
    bool pressed = false;  // the button looks pressed (the pointer is on it); help: a press came
    int bar = 0;
    ScrollPart part{};
    TPoint start, last;  // screen
    TRect start_rect;    // the moved window's rectangle when the drag began
    int start_pos = 0;
    int grab = 0;  // where in the thumb the pointer took it
};

struct MenuStore;  // menus, their windows and the menu loop (detail/menu_state.hpp)

// Windows, timers, focus and input state: what a reset starts afresh.
struct Desktop {
    std::unordered_map<HWND, std::unique_ptr<Win>> windows;
    std::vector<HWND> top_levels;  // front first
    std::vector<Timer> timers;
    UINT next_timer_id = 1;
    HWND focus = 0, active = 0, capture = 0;
    CaretState caret;
    uint32_t msg_time = 0;
    uint8_t key_state[256] = {};
    UINT last_pressed = 0;  // the key that went down last, whoever took it
    unsigned buttons = 0;
    Tracking tracking;
    HWND hover = 0;  // the window the pointer was last over
    TPoint cursor_pos;
    HCURSOR cursor = 0;
    std::string clipboard;             // without a display that has one
    bool damaged = false;              // some top-level window has damage to present
    std::shared_ptr<MenuStore> menus;  // made on first use
    // Drop shadows as last presented (front first), and whether top-level
    // windows were shown, hidden, moved or restacked since.
    std::vector<std::pair<HWND, TRect>> shadows;
    bool shadows_dirty = false;
};

// A routine another thread has the user-interface thread run (TThread::Synchronize).
struct SyncCall {
    std::function<void()> routine;
    std::exception_ptr error;
    bool done = false;  // under the queue's lock
};

// The one part other threads touch: posted messages, the quit request, calls
// to run on the user-interface thread, and the display's wake. Threads keep
// it alive while they wait on it, so a shutdown cannot pull it from under them.
struct PostedQueue {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<MSG> posted;
    bool quit = false;
    int quit_code = 0;
    std::deque<std::shared_ptr<SyncCall>> calls;
    bool closed = false;         // the window system has shut down: no call will run again
    Display* display = nullptr;  // the installed display, for waking it from any thread
    // The thread that started the state, until the one installing a display
    // or resetting claims it: the first use may come from a worker's post.
    std::atomic<std::thread::id> ui_thread{std::this_thread::get_id()};
};

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Resources the program registered when it started.
struct ResourceStore {
    std::map<std::string, SurfacePtr, NoCase> bitmaps;
    std::map<std::string, std::vector<IconResource>, NoCase> icons;
    std::map<std::string, CursorResource, NoCase> cursors;
    std::unordered_map<HCURSOR, CursorResource> loaded;
    std::map<int, HCURSOR> standard_cursors;
    HCURSOR next_cursor = 1;
    std::map<int, std::string> strings;
};

// The system parameters of sysparams.hpp.
struct SystemParams {
    NonClientMetrics nc_metrics;
    bool nc_metrics_available = true;
    bool gradient_captions = true;
    SystemVersion version;
    bool new_style_controls = true;
};

struct TextState;  // Pango and the realised fonts (detail/text_state.hpp)

// The class library's part of the state (its screen, application and handles:
// detail/library_state.hpp), which the window system holds without knowing
// it: the class library installs its maker as it loads, and the part is made
// with the state, told of a reset, and of the shutdown while the desktop is
// still there.
struct LibraryPart {
    virtual ~LibraryPart() = default;
    virtual void Reset() = 0;
    virtual void ShuttingDown() = 0;
};
using LibraryPartMaker = std::unique_ptr<LibraryPart> (*)();
// A state already started gets its part at once.
void InstallLibraryPart(LibraryPartMaker make);

std::array<COLORREF, COLOR_SYSCOLOR_COUNT> DefaultSysColors();
std::array<int, SM_METRIC_COUNT> DefaultMetrics();

struct UiState {
    UiState();
    ~UiState();
    UiState(const UiState&) = delete;
    UiState& operator=(const UiState&) = delete;

    // Kept by a reset: what the program registered, and caches.
    std::map<std::string, WindowClass> classes;
    ResourceStore resources;
    std::unique_ptr<TextState> text;  // made on first use
    HWND next_handle = 1;             // handles are never reused
    SubclassToken next_token = 1;

    // Started afresh by a reset.
    Desktop desk;
    std::shared_ptr<PostedQueue> queue = std::make_shared<PostedQueue>();
    SteadyClock steady;
    Clock* clock = &steady;
    int stall_ms = 5000;
    std::array<COLORREF, COLOR_SYSCOLOR_COUNT> sys_colors = DefaultSysColors();
    std::array<int, SM_METRIC_COUNT> metrics = DefaultMetrics();
    SystemParams params;
    std::unique_ptr<LibraryPart> library;  // none while the class library is not linked
    int rich_edit_version = 0;             // the rich-edit library loaded; 0: none yet
    // The libraries' parts, by the index their registration gave; made on
    // first use, dropped first at a shutdown.
    std::vector<std::unique_ptr<UiStatePart>> parts;
};

// The running window system's state; a caller that never ran UiStart gets it
// started here.
UiState& Ui();
inline Desktop& Desk() { return Ui().desk; }
// The display in use (user-interface thread; others go through the queue's lock).
inline Display* TheDisplay() { return Ui().queue->display; }

}  // namespace detail
}  // namespace ui
