#include "platform/events.hpp"

#include <utility>

namespace platform {

namespace {

EventPump& Pump() {
    static EventPump pump;
    return pump;
}

bool g_terminating = false;

}  // namespace

EventPump InstallEventPump(EventPump pump) { return std::exchange(Pump(), std::move(pump)); }

void ProcessPendingEvents(EventFilter filter) {
    if (Pump()) Pump()(filter);
}

bool ApplicationTerminating() { return g_terminating; }
void SetApplicationTerminating(bool terminating) { g_terminating = terminating; }

}  // namespace platform
