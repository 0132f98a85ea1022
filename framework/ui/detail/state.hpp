#pragma once
// The window system's process-wide state, with one owner (compare the engine's
// EngineState). UiStart creates it, UiShutdown drops it, UiReset gives a fresh
// desktop. Nothing else in framework/ui keeps mutable state, so a reset cannot
// miss a part and no part outlives the others at exit.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/ui/resources.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/window.hpp"

namespace ui {

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
    ScrollPart pressed = ScrollPart::None;
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
    std::shared_ptr<ProcEntry> top;
    std::map<int, intptr_t> longs;
    SurfacePtr surface;  // top level only
    bool on_display = false;
    std::optional<TColor> background;
    ScrollBarState bars[3];            // SB_HORZ, SB_VERT, SB_CTL
    std::shared_ptr<void> class_data;  // the state a standard class keeps for the window
};

struct Timer {
    HWND hwnd = 0;
    UINT id = 0;
    UINT interval = 0;
    uint64_t due = 0;
    TimerProc proc;
};

// A mouse drag the window system runs itself (a scroll bar's part or thumb,
// a window moved by its caption) until the button comes up; while it runs,
// input goes to it rather than to the windows.
struct Tracking {
    enum class Kind { None, ScrollBar, Move } kind = Kind::None;
    HWND hwnd = 0;
    int bar = 0;
    ScrollPart part = ScrollPart::None;
    TPoint start, last;  // screen
    TRect start_rect;    // the moved window's rectangle when the drag began
    int start_pos = 0;
    int grab = 0;  // where in the thumb the pointer took it
};

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
    unsigned buttons = 0;
    Tracking tracking;
    HWND hover = 0;  // the window the pointer was last over
    TPoint cursor_pos;
    HCURSOR cursor = 0;
    std::string clipboard;  // without a display that has one
};

// The one part other threads touch: posted messages and the quit request.
struct PostedQueue {
    std::mutex mu;
    std::condition_variable cv;
    std::deque<MSG> posted;
    bool quit = false;
    int quit_code = 0;
};

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Resources the program registered when it started.
struct ResourceStore {
    std::map<std::string, SurfacePtr, NoCase> bitmaps;
    std::map<std::string, IconResource, NoCase> icons;
    std::map<std::string, CursorResource, NoCase> cursors;
    std::unordered_map<HCURSOR, CursorResource> loaded;
    std::map<int, HCURSOR> standard_cursors;
    HCURSOR next_cursor = 1;
    std::map<int, std::string> strings;
};

struct TextState;     // Pango and the realised fonts (detail/text_state.hpp)
struct LibraryState;  // the class library's: screen, application, handles (detail/library_state.hpp)

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
    PostedQueue queue;
    SteadyClock steady;
    Clock* clock = &steady;
    Display* display = nullptr;
    int stall_ms = 5000;
    std::array<COLORREF, COLOR_SYSCOLOR_COUNT> sys_colors = DefaultSysColors();
    std::array<int, SM_METRIC_COUNT> metrics = DefaultMetrics();
    std::unique_ptr<LibraryState> library;
};

// The running window system's state; a caller that never ran UiStart gets it
// started here.
UiState& Ui();
inline Desktop& Desk() { return Ui().desk; }

}  // namespace detail
}  // namespace ui
