#pragma once
// The event loop as the engine sees it. The windowing layer installs a pump
// that dispatches pending events; while the engine waits (for a lock, or
// behind a progress window) it asks for paint (and, for lock waits, timer)
// events only, so that no input reaches the program in the middle of an
// engine operation.
#include <functional>

namespace platform {

enum class EventFilter { All, PaintAndTimer, Paint };
using EventPump = std::function<void(EventFilter filter)>;

// Returns the previous pump.
EventPump InstallEventPump(EventPump pump);
// Dispatches pending events through the pump; nothing without one.
void ProcessPendingEvents(EventFilter filter);

bool ApplicationTerminating();
void SetApplicationTerminating(bool terminating);

}  // namespace platform
