#include "framework/ui/x11_screen.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <errno.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <type_traits>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#endif

namespace ui::x11 {

#if defined(SDL_VIDEO_DRIVER_X11)

namespace {

struct Target {
    ::Display* display = nullptr;
    ::Window window = 0;
};

std::atomic<uint64_t> lookups{0};

Target Of(SDL_Window* w) {
    lookups.fetch_add(1, std::memory_order_relaxed);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!w || !SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return {};
    return {info.info.x11.display, info.info.x11.window};
}

// Errors of the requests made meanwhile are ignored rather than ending the
// program, as Xlib's own handler would: a window a manager has not mapped
// yet, or another client's window that has just gone.
class Trap {
public:
    explicit Trap(::Display* d) : d_(d) {
        XSync(d_, False);  // earlier errors are the earlier handler's
        previous_ = XSetErrorHandler(Ignore);
    }
    ~Trap() {
        XSync(d_, False);
        XSetErrorHandler(previous_);
    }
    Trap(const Trap&) = delete;
    Trap& operator=(const Trap&) = delete;

private:
    static int Ignore(::Display*, XErrorEvent*) { return 0; }
    ::Display* d_;
    int (*previous_)(::Display*, XErrorEvent*) = nullptr;
};

// The window a window property names; 0 when it names none.
::Window WindowProperty(::Display* d, ::Window w, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ::Window out = 0;
    if (XGetWindowProperty(d, w, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && count == 1)
        out = reinterpret_cast<::Window*>(data)[0];
    if (data) XFree(data);
    return out;
}

XErrorHandler before_wakeups = nullptr;

int LateWakeup(::Display* d, XErrorEvent* e) {
    if (e->error_code == BadWindow && e->request_code == X_SendEvent) return 0;
    return before_wakeups ? before_wakeups(d, e) : 0;
}

bool OnX11() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

void (*server_gone)() = nullptr;
std::atomic<std::thread::id> screen_thread;  // the thread whose loop waits on the screen
std::atomic_flag told = ATOMIC_FLAG_INIT;
std::atomic_flag ending = ATOMIC_FLAG_INIT;

// Never returns: Xlib would end the program itself.
int ServerGone(::Display* d) {
    // SDL's own connection for wakeups breaks too, maybe on another thread.
    // The first to see the loss says so.
    if (!told.test_and_set()) {
        if (server_gone) server_gone();
        std::fprintf(stderr, "%s: the connection to the screen %s was lost\n", program_invocation_short_name,
                     DisplayString(d));
    }
    // Only the screen's thread ends the program, once: the exit handlers and
    // static destructors would otherwise run under its feet. Any other thread
    // stops here for good; the screen's thread meets the broken connection at
    // its next wait on it (an exit handler meeting it again stops too).
    if (std::this_thread::get_id() != screen_thread.load() || ending.test_and_set()) {
        for (;;) pause();
    }
    // An exit handler could wait for a lock the code beneath this handler
    // holds: the program ends all the same.
    try {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            std::_Exit(1);
        }).detach();
    } catch (const std::system_error&) {  // no thread to be had: the exit handlers go unwatched
    }
    std::exit(1);
}

}  // namespace

void IgnoreLateWakeups() {
    if (!OnX11()) return;
    const XErrorHandler previous = XSetErrorHandler(LateWakeup);
    if (previous != LateWakeup) before_wakeups = previous;
}

void EndWhenServerGoes(void (*gone)()) {
    if (!OnX11()) return;
    server_gone = gone;
    screen_thread = std::this_thread::get_id();
    XSetIOErrorHandler(ServerGone);
}

XId IdOf(SDL_Window* w) { return Of(w).window; }

uint64_t WindowLookups() { return lookups.load(std::memory_order_relaxed); }

bool HasWindowManager(SDL_Window* w) {
    const Target t = Of(w);
    if (!t.display) return false;
    ::Display* d = t.display;
    // An EWMH manager names a window of its own on the root window and on that window itself.
    if (const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True); check != None) {
        const Trap trap(d);  // a manager that went leaves the name of a window that is gone
        const ::Window own = WindowProperty(d, DefaultRootWindow(d), check);
        if (own && WindowProperty(d, own, check) == own) return true;
    }
    // Any other owns its screen's manager selection.
    char name[32];
    std::snprintf(name, sizeof name, "WM_S%d", DefaultScreen(d));
    const Atom selection = XInternAtom(d, name, True);
    return selection != None && XGetSelectionOwner(d, selection) != None;
}

void Map(SDL_Window* w) {
    const Target t = Of(w);
    if (!t.display) return;
    XMapRaised(t.display, t.window);
    XFlush(t.display);
}

void Unmap(SDL_Window* w) {
    const Target t = Of(w);
    if (!t.display) return;
    XUnmapWindow(t.display, t.window);
    XFlush(t.display);
}

XId FocusHolder(SDL_Window* any) {
    const Target t = Of(any);
    if (!t.display) return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(t.display, &focus, &revert);
    if (focus == PointerRoot) return kPointerRoot;
    return focus == None ? 0 : focus;
}

bool SetInputFocus(SDL_Window* w) {
    const Target t = Of(w);
    if (!t.display) return false;
    const Trap trap(t.display);
    XWindowAttributes a;
    if (!XGetWindowAttributes(t.display, t.window, &a) || a.map_state != IsViewable) return false;
    XSetInputFocus(t.display, t.window, RevertToPointerRoot, CurrentTime);
    return true;
}

void Restack(SDL_Window* any, const std::vector<XId>& front_to_back, bool whole) {
    static_assert(std::is_same_v<XId, ::Window>);
    if (front_to_back.empty()) return;
    ::Display* d = Of(any).display;
    if (!d) return;
    const Trap trap(d);
    if (whole) {
        XRaiseWindow(d, front_to_back.front());
        XRestackWindows(d, const_cast<::Window*>(front_to_back.data()), int(front_to_back.size()));
        return;
    }
    for (auto it = front_to_back.rbegin(); it != front_to_back.rend(); ++it) XRaiseWindow(d, *it);
}

void SetOwner(SDL_Window* w, SDL_Window* owner) {
    const Target t = Of(w), o = Of(owner);
    if (!t.display || !o.window) return;
    XSetTransientForHint(t.display, t.window, o.window);
    XFlush(t.display);
}

TRect Geometry(SDL_Window* w) {
    const Target t = Of(w);
    if (!t.display) return {};
    XWindowAttributes a;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XGetWindowAttributes(t.display, t.window, &a) ||
        !XTranslateCoordinates(t.display, t.window, a.root, 0, 0, &x, &y, &child))
        return {};
    return Bounds(x, y, a.width, a.height);
}

#else

void IgnoreLateWakeups() {}
void EndWhenServerGoes(void (*)()) {}
XId IdOf(SDL_Window*) { return 0; }
uint64_t WindowLookups() { return 0; }
bool HasWindowManager(SDL_Window*) { return false; }
void Map(SDL_Window*) {}
void Unmap(SDL_Window*) {}
XId FocusHolder(SDL_Window*) { return 0; }
bool SetInputFocus(SDL_Window*) { return false; }
void Restack(SDL_Window*, const std::vector<XId>&, bool) {}
void SetOwner(SDL_Window*, SDL_Window*) {}
TRect Geometry(SDL_Window*) { return {}; }

#endif

}  // namespace ui::x11
