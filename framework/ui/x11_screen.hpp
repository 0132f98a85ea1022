#pragma once
// The X server beneath the screen's SDL windows, for what SDL has no call
// for: showing a window without handing it the keyboard (SDL gives every
// window it shows the input focus when no window manager runs), the input
// focus itself, the stacking order, the owner a dialog belongs to, and where
// a window really is. Apart from sdl_display.cpp because Xlib's macros
// clash with the window system's names. For a window on no X server
// (Wayland) every call does nothing and answers 0, false or an empty rectangle.
#include <cstdint>
#include <vector>

#include "framework/ui/types.hpp"

struct SDL_Window;

namespace ui::x11 {

using XId = unsigned long;       // an X window; 0: none
constexpr XId kPointerRoot = 1;  // the keyboard goes to the window under the pointer

// SDL wakes a waiting loop from another thread by sending an event to one
// of the program's windows over a connection of its own; the server may take
// it after the window went (destroyed on the loop's thread meanwhile). That
// one error is ignored; every other one goes to the handler in force before.
void IgnoreLateWakeups();

// Xlib ends the program when the connection to the server breaks, but the
// handlers that run at exit then wait on the dead connection for replies and
// events that never come, spinning. Instead `gone` runs once first (from then
// on nothing may ask the server anything), a line on standard error says
// what happened, and the program ends with status 1: its exit handlers still
// write what the engine holds, within a bound. Only the calling thread (the
// one whose loop waits on the screen) ends it; another thread that sees the
// loss first stops where it is.
void EndWhenServerGoes(void (*gone)());

// The window beneath `w`: each call asks SDL, so a caller keeps it.
XId IdOf(SDL_Window* w);
// How many times a window's X window was looked up (through SDL) so far, by
// every call here: what the screen's work costs, for tests.
uint64_t WindowLookups();
// Whether a window manager runs on the window's screen.
bool HasWindowManager(SDL_Window* w);
// Maps the window in front of the others, or unmaps it, leaving the keyboard where it is.
void Map(SDL_Window* w);
void Unmap(SDL_Window* w);
// The window that has the keyboard: 0 for none, kPointerRoot, or any window of any client.
XId FocusHolder(SDL_Window* any);
// Gives a viewable window the keyboard (false when it is not viewable).
// When the window goes, the keyboard goes to the window under the pointer.
bool SetInputFocus(SDL_Window* w);
// `whole`: the windows go in front of all others in this order (front
// first), for a screen without a window manager. Otherwise the manager
// stacks the windows it manages, and the ones given, those it leaves alone
// (drop-downs, menus, hints), come to the front in this order. `any` is one
// of the program's windows, for the connection.
void Restack(SDL_Window* any, const std::vector<XId>& front_to_back, bool whole);
// Tells a window manager that `w` belongs to `owner`: kept in front of it.
void SetOwner(SDL_Window* w, SDL_Window* owner);
// Where the window is on the screen now.
TRect Geometry(SDL_Window* w);

}  // namespace ui::x11
