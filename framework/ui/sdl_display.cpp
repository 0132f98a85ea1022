#include "framework/ui/sdl_display.hpp"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/ui/screen_keyboard.hpp"
#include "framework/ui/sysparams.hpp"
#include "framework/ui/x11_screen.hpp"
#include "platform/codepage.hpp"

namespace ui {

namespace {

UINT ToVirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return UINT('A' + (k - SDLK_a));
    if (k >= SDLK_0 && k <= SDLK_9) return UINT('0' + (k - SDLK_0));
    if (k >= SDLK_F1 && k <= SDLK_F12) return UINT(VK_F1 + (k - SDLK_F1));
    switch (k) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_KP_PLUS: return VK_ADD;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    default: return 0;
    }
}

unsigned Modifiers(Uint16 mod) {
    unsigned m = 0;
    if (mod & KMOD_SHIFT) m |= kShift;
    if (mod & KMOD_CTRL) m |= kControl;
    if (mod & KMOD_ALT) m |= kAlt;
    return m;
}

MouseButton Button(Uint8 b) {
    return b == SDL_BUTTON_RIGHT ? MouseButton::Right
        : b == SDL_BUTTON_MIDDLE ? MouseButton::Middle
                                 : MouseButton::Left;
}

// The connection to the screen broke and the program is ending: SDL would
// wait on it for ever, so the windows are left as they are.
std::atomic<bool> screen_gone{false};

bool Gone() { return screen_gone.load(std::memory_order_acquire); }

}  // namespace

class SdlDisplay final : public Display {
public:
    SdlDisplay() { wake_event_ = SDL_RegisterEvents(1); }
    // The video subsystem stays up until the process ends: shutting it down
    // unloads the X libraries it opened, and a later display would load them again.
    ~SdlDisplay() override {
        if (Gone()) return;
        SDL_SetCursor(SDL_GetDefaultCursor());
        for (auto& [h, c] : cursors_) SDL_FreeCursor(c);
        for (auto& [h, w] : windows_) SDL_DestroyWindow(w.sdl);
    }

    void WindowShown(HWND hwnd, const TRect& r, bool topmost) override {
        if (Gone()) return;
        ScreenWindow* s = Find(hwnd);
        if (s)
            Place(*s, r, hwnd);
        else if (!(s = Create(hwnd, r, topmost)))
            return;
        s->shown = true;
        // SDL's show gives the window the keyboard when no manager runs: one
        // that takes no focus is mapped past it.
        if (!s->takes_focus && s->id)
            x11::Map(s->sdl);
        else
            SDL_ShowWindow(s->sdl);
        Restack();
        KeepFocus(false);
    }
    void WindowHidden(HWND hwnd) override {
        if (Gone()) return;
        ScreenWindow* s = Find(hwnd);
        if (!s) return;
        s->shown = false;
        if (!s->takes_focus && s->id)
            x11::Unmap(s->sdl);
        else
            SDL_HideWindow(s->sdl);
        KeepFocus(false);  // the keys go back to the window that was active
    }
    void WindowMoved(HWND hwnd, const TRect& r) override {
        if (ScreenWindow* s = Find(hwnd); s && !Gone()) Place(*s, r, hwnd);
    }
    void WindowActivated(HWND hwnd) override {
        ScreenWindow* s = Find(hwnd);
        if (!s || Gone() || !s->takes_focus || !s->shown) return;
        if (!s->id) {
            SDL_RaiseWindow(s->sdl);
            SDL_SetWindowInputFocus(s->sdl);
            return;
        }
        // With no manager the window system's order is the screen's, given
        // when it changed (WindowsRestacked). A manager raises the window
        // itself, maybe over the drop-downs it leaves alone.
        if (wm_) SDL_RaiseWindow(s->sdl);
        x11::SetInputFocus(s->sdl);
        if (wm_) Restack();
    }
    void WindowsRestacked(const std::vector<HWND>&) override {
        if (!Gone()) Restack();
    }
    // The window manager keeps a minimised window where the user finds it
    // again; its restoring comes back as the system command.
    void WindowMinimized(HWND hwnd, bool minimized) override {
        ScreenWindow* s = Find(hwnd);
        if (!s || Gone()) return;
        if (minimized)
            SDL_MinimizeWindow(s->sdl);
        else
            SDL_RestoreWindow(s->sdl);
    }
    void ShowCursor(HCURSOR cursor, const CursorResource* image) override {
        if (Gone()) return;
        SDL_Cursor*& c = cursors_[cursor];
        if (!c && image && image->image && !image->image->Mono()) {
            const Surface& px = *image->image;
            SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, px.Width(), px.Height(), 32, SDL_PIXELFORMAT_ARGB8888);
            if (!s) return;
            for (int y = 0; y < px.Height(); ++y)
                for (int x = 0; x < px.Width(); ++x) {
                    const bool clear = image->mask &&
                        image->mask->Row8(
                            std::min(y, image->mask->Height() - 1))[std::min(x, image->mask->Width() - 1)];
                    static_cast<uint32_t*>(s->pixels)[y * (s->pitch / 4) + x] =
                        clear ? 0 : (0xFF000000u | (px.Row32(y)[x] & 0xFFFFFF));
                }
            c = SDL_CreateColorCursor(s, image->hotspot.x, image->hotspot.y);
            SDL_FreeSurface(s);
        }
        SDL_SetCursor(c ? c : SDL_GetDefaultCursor());
    }
    bool SetClipboardText(const std::string& ansi) override {
        return !Gone() && SDL_SetClipboardText(platform::AnsiToUtf8(ansi).c_str()) == 0;
    }
    std::optional<std::string> ClipboardText() override {
        if (Gone()) return std::nullopt;
        char* text = SDL_GetClipboardText();
        if (!text) return std::nullopt;
        std::string out = platform::Utf8ToAnsi(text);
        SDL_free(text);
        return out;
    }
    void WindowDestroyed(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || Gone()) return;
        ids_.erase(SDL_GetWindowID(it->second.sdl));
        stack_.clear();
        SDL_DestroyWindow(it->second.sdl);
        windows_.erase(it);
        KeepFocus(false);
    }
    void Present(HWND hwnd, const Surface& pixels, const Region& damaged) override {
        ScreenWindow* s = Find(hwnd);
        if (!s || pixels.Empty() || Gone()) return;
        SDL_Surface* target = SDL_GetWindowSurface(s->sdl);
        if (!target) return;
        const int bpp = target->format->BytesPerPixel;
        rects_.clear();
        for (const TRect& d : damaged.Rects()) {
            const TRect r =
                Intersect(d, {0, 0, std::min(target->w, pixels.Width()), std::min(target->h, pixels.Height())});
            if (r.Empty()) continue;
            SDL_ConvertPixels(r.Width(), r.Height(), SDL_PIXELFORMAT_RGB888, pixels.Row32(r.top) + r.left,
                              pixels.Stride(), target->format->format,
                              static_cast<uint8_t*>(target->pixels) + ptrdiff_t(r.top) * target->pitch + r.left * bpp,
                              target->pitch);
            rects_.push_back({r.left, r.top, r.Width(), r.Height()});
        }
        if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(s->sdl, rects_.data(), int(rects_.size()));
    }
    bool Wait(int timeout_ms) override {
        if (Gone()) return false;
        // After the input that asked for a look at the keyboard was taken as messages.
        if (std::exchange(check_focus_, false)) KeepFocus(std::exchange(clicked_, false));
        SDL_Event e;
        int got = timeout_ms < 0 ? SDL_WaitEvent(&e)
            : timeout_ms == 0    ? SDL_PollEvent(&e)
                                 : SDL_WaitEventTimeout(&e, timeout_ms);
        while (got) {
            Handle(e);
            got = SDL_PollEvent(&e);
        }
        return true;
    }
    void Wake() override {
        if (Gone()) return;
        SDL_Event e{};
        e.type = wake_event_;
        SDL_PushEvent(&e);
    }
    TSize ScreenSize() override {
        SDL_DisplayMode mode;
        if (Gone() || SDL_GetCurrentDisplayMode(0, &mode) != 0)
            return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return {mode.w, mode.h};
    }

private:
    struct ScreenWindow {
        SDL_Window* sdl = nullptr;
        x11::XId id = 0;  // on an X server
        bool takes_focus = true;
        bool shown = false;
        TRect asked;  // where the window was last asked to be
    };

    ScreenWindow* Find(HWND h) {
        auto it = windows_.find(h);
        return it == windows_.end() ? nullptr : &it->second;
    }
    ScreenWindow* Create(HWND hwnd, const TRect& r, bool topmost) {
        ScreenWindow s;
        s.takes_focus = !TakesNoFocus(hwnd);
        Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
        if (topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        // A drop-down takes no focus on the screen either: the window manager does not handle it.
        if (!s.takes_focus) flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
        // A window manager may size a window with a sizing frame (the frame is the program's own).
        else if (GetWindowStyle(hwnd) & WS_THICKFRAME)
            flags |= SDL_WINDOW_RESIZABLE;
        s.sdl = SDL_CreateWindow("", r.left, r.top, std::max(1, r.Width()), std::max(1, r.Height()), flags);
        if (!s.sdl) return nullptr;
        s.asked = r;
        s.id = x11::IdOf(s.sdl);
        SDL_SetWindowTitle(s.sdl, platform::AnsiToUtf8(GetWindowText(hwnd)).c_str());
        if (ScreenWindow* owner = Find(GetOwner(hwnd)); owner && s.takes_focus) x11::SetOwner(s.sdl, owner->sdl);
        wm_ = x11::HasWindowManager(s.sdl);  // looked at again with each new window
        ids_[SDL_GetWindowID(s.sdl)] = hwnd;
        return &(windows_[hwnd] = s);
    }
    // Moves and sizes the screen's window, asking only for what changed:
    // SDL waits a moment for the server to confirm each request. A window
    // placed anew may say something else now (a hint does): its title follows.
    void Place(ScreenWindow& s, const TRect& r, HWND hwnd) {
        const std::string title = platform::AnsiToUtf8(GetWindowText(hwnd));
        if (title != SDL_GetWindowTitle(s.sdl)) SDL_SetWindowTitle(s.sdl, title.c_str());
        if (r.left != s.asked.left || r.top != s.asked.top) SDL_SetWindowPosition(s.sdl, r.left, r.top);
        if (r.Width() != s.asked.Width() || r.Height() != s.asked.Height())
            SDL_SetWindowSize(s.sdl, std::max(1, r.Width()), std::max(1, r.Height()));
        s.asked = r;
    }
    // The window was moved or sized on the screen: by the window manager or
    // another client when it is not where it was asked to be. The window
    // system follows (its own drags are under way on their own).
    void Follow(HWND h) {
        ScreenWindow* s = Find(h);
        if (!s || SystemDragActive()) return;
        TRect now = x11::Geometry(s->sdl);
        if (!s->id) {
            int x = 0, y = 0, w = 0, hh = 0;
            SDL_GetWindowPosition(s->sdl, &x, &y);
            SDL_GetWindowSize(s->sdl, &w, &hh);
            now = Bounds(x, y, w, hh);
        }
        if (now.Empty() || now == s->asked) return;
        s->asked = now;
        if (now != GetWindowRect(h))
            SetWindowPos(h, 0, now.left, now.top, now.Width(), now.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // Stacks the shown windows as the window system does; with a window
    // manager only the windows it leaves alone. Nothing goes to the server
    // when the order is as it was, or with a manager when no such window shows.
    void Restack() {
        order_.clear();
        SDL_Window* any = nullptr;
        for (HWND t : GetTopLevelWindows())
            if (ScreenWindow* s = Find(t); s && s->shown && s->id && !IsIconic(t) && (!wm_ || !s->takes_focus))
                order_.push_back(s->id), any = s->sdl;
        if (wm_ ? order_.empty() : order_ == stack_) return;
        x11::Restack(any, order_, !wm_);
        stack_ = order_;
    }
    // The keyboard belongs to the active window, or the nearest owner of it
    // that takes the focus, as long as no other program has it; without a
    // window manager a click in a window of the program takes it back from one.
    void KeepFocus(bool clicked) {
        ScreenWindow* want = nullptr;
        for (HWND h = GetActiveWindow(); h && !want; h = GetOwner(h))
            if (ScreenWindow* s = Find(h); s && s->shown && s->takes_focus && !IsIconic(h)) want = s;
        if (!want || !want->id) return;
        const x11::XId now = x11::FocusHolder(want->sdl);
        if (now == want->id) return;
        const bool ours = now == 0 || now == x11::kPointerRoot || Owns(now);
        if (ours || (clicked && !wm_)) x11::SetInputFocus(want->sdl);
    }
    bool Owns(x11::XId id) {
        for (auto& [h, s] : windows_)
            if (s.id == id) return true;
        return false;
    }
    static bool TakesNoFocus(HWND h) {
        const uint32_t style = GetWindowStyle(h), ex = GetWindowExStyle(h);
        return (ex & WS_EX_NOACTIVATE) ||
            ((style & WS_POPUP) && (ex & WS_EX_TOOLWINDOW) && (style & WS_CAPTION) != WS_CAPTION);
    }
    HWND WindowOf(Uint32 id) {
        auto it = ids_.find(id);
        return it == ids_.end() ? 0 : it->second;
    }
    TPoint ScreenPoint(Uint32 id, int x, int y) {
        // While a drag of the window system's own moves or sizes a window,
        // a point the server took before the last move would be off by it.
        if (SystemDragActive()) {
            SDL_GetGlobalMouseState(&x, &y);
            return {x, y};
        }
        TRect r = GetWindowRect(WindowOf(id));
        return {r.left + x, r.top + y};
    }
    // SDL releases every held key just before it reports that one of the
    // program's windows lost the screen's focus: those releases are the
    // focus move's, not the user's.
    static bool FocusLeavesNext() {
        SDL_Event next[16];
        const int n = SDL_PeepEvents(next, 16, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        for (int i = 0; i < n; ++i)
            if (next[i].type != SDL_KEYUP)
                return next[i].type == SDL_WINDOWEVENT && next[i].window.event == SDL_WINDOWEVENT_FOCUS_LOST;
        return false;
    }
    // How many key presses stand at the head of the queue: after a focus
    // gained, those SDL makes of the keys still down.
    static int PressesQueuedNext() {
        SDL_Event next[16];
        const int n = SDL_PeepEvents(next, 16, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        int presses = 0;
        while (presses < n && next[presses].type == SDL_KEYDOWN) ++presses;
        return presses;
    }
    void Handle(const SDL_Event& e) {
        // A focus move ends with SDL pressing the keys still held again, in
        // the same pump as it reports the move: they are queued behind it. A
        // press after them is the user's, even of a key whose release the
        // move took.
        if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) {
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                keyboard_.FocusTaken();
                represses_ = PressesQueuedNext();
                if (represses_ == 0) keyboard_.Other();
            } else {
                keyboard_.Other();
            }
        } else if (represses_ > 0) {
            --represses_;
        } else {
            keyboard_.Other();
        }
        switch (e.type) {
        case SDL_MOUSEMOTION:
            InjectMouse(MouseAction::Move, MouseButton::Left, ScreenPoint(e.motion.windowID, e.motion.x, e.motion.y),
                        Modifiers(SDL_GetModState()));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MouseAction a = e.type == SDL_MOUSEBUTTONUP ? MouseAction::Up
                : e.button.clicks == 2                  ? MouseAction::DoubleClick
                                                        : MouseAction::Down;
            InjectMouse(a, Button(e.button.button), ScreenPoint(e.button.windowID, e.button.x, e.button.y),
                        Modifiers(SDL_GetModState()));
            if (a != MouseAction::Up) check_focus_ = clicked_ = true;
            break;
        }
        case SDL_MOUSEWHEEL: {
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            InjectMouse(MouseAction::Wheel, MouseButton::Left, ScreenPoint(e.wheel.windowID, x, y),
                        Modifiers(SDL_GetModState()), e.wheel.y * 120);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool down = e.type == SDL_KEYDOWN;
            // The text a key with Ctrl or Alt brings belongs to that key, even
            // when the modifier is up again by the time the text comes.
            if (down) command_key_ = (e.key.keysym.mod & (KMOD_CTRL | KMOD_LALT)) != 0;
            const UINT vk = ToVirtualKey(e.key.keysym.sym);
            if (!vk) break;
            if (keyboard_.Key(vk, down, Modifiers(e.key.keysym.mod), e.key.repeat != 0, !down && FocusLeavesNext()) &&
                down &&
                (e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_BACKSPACE ||
                 e.key.keysym.sym == SDLK_ESCAPE || e.key.keysym.sym == SDLK_TAB))
                InjectChar(char(vk));
            break;
        }
        case SDL_TEXTINPUT:
            // Ctrl and Alt make commands and accelerators, not text.
            if (std::exchange(command_key_, false) || (SDL_GetModState() & (KMOD_CTRL | KMOD_LALT))) break;
            for (char c : platform::Utf8ToAnsi(e.text.text)) InjectChar(c);
            break;
        case SDL_WINDOWEVENT: {
            HWND h = WindowOf(e.window.windowID);
            if (!h) break;
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                if (SurfacePtr s = GetWindowSurface(h)) Present(h, *s, Region({0, 0, s->Width(), s->Height()}));
            } else if (e.window.event == SDL_WINDOWEVENT_RESTORED) {
                if (IsIconic(h)) PostMessage(h, WM_SYSCOMMAND, SC_RESTORE);
            } else if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) {
                // A window the program hid itself past SDL (one that takes no
                // focus) comes back as minimised: only a shown one is.
                const ScreenWindow* s = Find(h);
                if (s && s->takes_focus && s->shown && !IsIconic(h)) PostMessage(h, WM_SYSCOMMAND, SC_MINIMIZE);
            } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                PostMessage(h, WM_CLOSE);
            } else if (e.window.event == SDL_WINDOWEVENT_LEAVE) {
                InjectMouseLeave();
            } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                // Only a focus the window still has: the program's own moves of
                // the keyboard leave events behind that no longer hold.
                ScreenWindow* s = Find(h);
                if (s && s->id && x11::FocusHolder(s->sdl) != s->id) break;
                if (GetActiveWindow() != h && IsWindowEnabled(h) && !TakesNoFocus(h)) SetActiveWindow(h);
            } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                check_focus_ = true;
            } else if (e.window.event == SDL_WINDOWEVENT_MOVED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                Follow(h);
            }
            break;
        }
        default: break;
        }
    }

    bool command_key_ = false;  // the last key pressed came with Ctrl or Alt
    ScreenKeyboard keyboard_;
    int represses_ = 0;            // the presses SDL queued behind a focus gained, still to come
    bool wm_ = false;              // a window manager runs
    bool check_focus_ = false;     // the keyboard may have gone: a look at the next wait
    bool clicked_ = false;         // ... after a click in one of the windows
    std::vector<x11::XId> stack_;  // the order last given to the server
    std::vector<x11::XId> order_;  // the order being worked out (its room kept)
    Uint32 wake_event_;
    std::unordered_map<HWND, ScreenWindow> windows_;
    std::unordered_map<Uint32, HWND> ids_;
    std::vector<SDL_Rect> rects_;
    std::unordered_map<HCURSOR, SDL_Cursor*> cursors_;
};

std::unique_ptr<Display> OpenSdlDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wl || !*wl)) return nullptr;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // A press that brings a window the focus is a press all the same: the
    // window system decides about activation itself (WM_MOUSEACTIVATE).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The pixels go to the server as they are. A window's first surface
    // through a renderer would make its window anew, and show it again the
    // way SDL shows windows: taking the keyboard when no manager runs.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    x11::IgnoreLateWakeups();
    x11::EndWhenServerGoes([] { screen_gone.store(true, std::memory_order_release); });
    return std::make_unique<SdlDisplay>();
}

}  // namespace ui
