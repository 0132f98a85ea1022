#pragma once
// The application's help event: every help request (F1, a Help button with
// its context number) goes through InvokeHelp to the event, which a help
// system takes over; what the event leaves to the framework goes to the
// framework's own help engine, of which there is none unless one is set.
#include <cstdint>
#include <functional>

namespace ui {

// Help commands, with the original platform's values.
enum HelpCommand : uint16_t {
    HELP_CONTEXT = 1,
    HELP_QUIT = 2,
    HELP_INDEX = 3,
    HELP_CONTENTS = 3,
    HELP_HELPONHELP = 4,
    HELP_SETINDEX = 5,
    HELP_SETCONTENTS = 5,
    HELP_CONTEXTPOPUP = 8,
    HELP_FORCEFILE = 9,
    HELP_CONTEXTMENU = 10,
    HELP_FINDER = 11,
    HELP_WM_HELP = 12,
    HELP_SETPOPUP_POS = 13,
    HELP_KEY = 0x101,
    HELP_COMMAND = 0x102,
    HELP_PARTIALKEY = 0x105,
    HELP_MULTIKEY = 0x201,
    HELP_SETWINPOS = 0x203,
};

// (command, data, call_help) -> handled. `call_help` comes in true; an event
// that leaves it true hands the request on to the framework's help engine.
using THelpEvent = std::function<bool(uint16_t command, intptr_t data, bool& call_help)>;
using THelpEngine = std::function<bool(uint16_t command, intptr_t data)>;

// The slot of the application's help event, in the window system's state:
// a reset empties it.
THelpEvent& ApplicationHelpEvent();

// The framework's own help engine; empty: nothing serves such requests.
THelpEngine& FrameworkHelpEngine();

// What F1 and Help buttons call. True when the request was served.
inline bool InvokeHelp(uint16_t command, intptr_t data) {
    bool call_help = true;
    bool result = false;
    // A copy: the event may replace itself while it runs.
    if (const THelpEvent event = ApplicationHelpEvent()) result = event(command, data, call_help);
    if (call_help) result = FrameworkHelpEngine() ? FrameworkHelpEngine()(command, data) : false;
    return result;
}

inline bool HelpContext(intptr_t context) { return InvokeHelp(HELP_CONTEXT, context); }

}  // namespace ui
