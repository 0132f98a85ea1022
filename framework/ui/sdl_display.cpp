#include "framework/ui/sdl_display.hpp"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/ui/screen_keyboard.hpp"
#include "framework/ui/sysparams.hpp"
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

}  // namespace

class SdlDisplay final : public Display {
public:
    SdlDisplay() { wake_event_ = SDL_RegisterEvents(1); }
    // The video subsystem stays up until the process ends: shutting it down
    // unloads the X libraries it opened, and a later display would load them again.
    ~SdlDisplay() override {
        SDL_SetCursor(SDL_GetDefaultCursor());
        for (auto& [h, c] : cursors_) SDL_FreeCursor(c);
        for (auto& [h, w] : windows_) SDL_DestroyWindow(w);
    }

    void WindowShown(HWND hwnd, const TRect& r, bool topmost) override {
        if (windows_.count(hwnd)) {
            SDL_ShowWindow(windows_[hwnd]);
            return;
        }
        Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
        if (topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        // A drop-down takes no focus on the screen either: the window manager does not handle it.
        if (TakesNoFocus(hwnd)) flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
        SDL_Window* w = SDL_CreateWindow("", r.left, r.top, std::max(1, r.Width()), std::max(1, r.Height()), flags);
        if (!w) return;
        SDL_SetWindowTitle(w, platform::AnsiToUtf8(GetWindowText(hwnd)).c_str());
        windows_[hwnd] = w;
        ids_[SDL_GetWindowID(w)] = hwnd;
    }
    void WindowHidden(HWND hwnd) override {
        if (auto it = windows_.find(hwnd); it != windows_.end()) SDL_HideWindow(it->second);
    }
    void WindowMoved(HWND hwnd, const TRect& r) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        SDL_SetWindowPosition(it->second, r.left, r.top);
        SDL_SetWindowSize(it->second, std::max(1, r.Width()), std::max(1, r.Height()));
    }
    void WindowActivated(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || TakesNoFocus(hwnd)) return;
        SDL_RaiseWindow(it->second);
        SDL_SetWindowInputFocus(it->second);
    }
    // The window manager keeps a minimised window where the user finds it
    // again; its restoring comes back as the system command.
    void WindowMinimized(HWND hwnd, bool minimized) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        if (minimized)
            SDL_MinimizeWindow(it->second);
        else
            SDL_RestoreWindow(it->second);
    }
    void ShowCursor(HCURSOR cursor, const CursorResource* image) override {
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
        return SDL_SetClipboardText(platform::AnsiToUtf8(ansi).c_str()) == 0;
    }
    std::optional<std::string> ClipboardText() override {
        char* text = SDL_GetClipboardText();
        if (!text) return std::nullopt;
        std::string out = platform::Utf8ToAnsi(text);
        SDL_free(text);
        return out;
    }
    void WindowDestroyed(HWND hwnd) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        ids_.erase(SDL_GetWindowID(it->second));
        SDL_DestroyWindow(it->second);
        windows_.erase(it);
    }
    void Present(HWND hwnd, const Surface& pixels, const Region& damaged) override {
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || pixels.Empty()) return;
        SDL_Surface* target = SDL_GetWindowSurface(it->second);
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
        if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(it->second, rects_.data(), int(rects_.size()));
    }
    bool Wait(int timeout_ms) override {
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
        SDL_Event e{};
        e.type = wake_event_;
        SDL_PushEvent(&e);
    }
    TSize ScreenSize() override {
        SDL_DisplayMode mode;
        if (SDL_GetCurrentDisplayMode(0, &mode) != 0)
            return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return {mode.w, mode.h};
    }

private:
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
    void Handle(const SDL_Event& e) {
        // A focus move ends with SDL pressing the keys still held again, right after it reports the move.
        if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) {
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                keyboard_.FocusTaken();
            else
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
                if (!IsIconic(h)) PostMessage(h, WM_SYSCOMMAND, SC_MINIMIZE);
            } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                PostMessage(h, WM_CLOSE);
            } else if (e.window.event == SDL_WINDOWEVENT_LEAVE) {
                InjectMouseLeave();
            } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                if (GetActiveWindow() != h && IsWindowEnabled(h) && !TakesNoFocus(h)) SetActiveWindow(h);
            }
            break;
        }
        default: break;
        }
    }

    bool command_key_ = false;  // the last key pressed came with Ctrl or Alt
    ScreenKeyboard keyboard_;
    Uint32 wake_event_;
    std::unordered_map<HWND, SDL_Window*> windows_;
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
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return std::make_unique<SdlDisplay>();
}

}  // namespace ui
