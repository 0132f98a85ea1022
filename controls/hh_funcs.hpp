#pragma once
// Context help through the help viewer: THookHelpSystem takes over the
// application's help event, so that every help request of the forms opens
// the topic of its context number in the program's help file; and the
// diagnostic log "HHDebug.txt", switched on by "-debug", "/debug" or a file
// "debug.debug" beside the program.
//
// Modes: 0 the viewer of controls/hh.hpp; 1 and 2 the external viewer
// programs, looked for in the program search path: mode 1 (the keyword
// viewer) is xchm, started at the context number; mode 2 (the system's
// viewer program) is kchmviewer, started at the number's topic.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/ui/help.hpp"
#include "framework/ui/types.hpp"

namespace controls {

inline constexpr const char* kKeyViewerProgram = "xchm";
inline constexpr const char* kSystemViewerProgram = "kchmviewer";

// What the start-up of the help units looks at; ProcessHelpEnvironment()
// gives the running program's, tests their own.
struct HelpEnvironment {
    std::string module_path;          // the program file
    std::vector<std::string> params;  // its command-line parameters
    std::string temp_dir;             // the temporary folder
    std::string search_path;          // where programs are looked for (":"-separated)
    std::string library;              // the chm library
};
HelpEnvironment ProcessHelpEnvironment();

struct HelpUnitState {
    bool started = false;
    std::string module_name, module_dir, run_dir, log_dir;
    bool debug = false;
    bool hh_installed = false;
    std::string hh_version, hh_friendly_version;
    bool ie_installed = false;  // something can show a page
    std::string ie_version, ie_friendly_version;
};
const HelpUnitState& HelpUnit();
// Start-up of both help units: loads the viewer's library, finds the log
// folder and the debug switch, and writes the log's header when it is on.
void HelpUnitsStart(const HelpEnvironment& environment = ProcessHelpEnvironment());
// Closes the viewers, removes extracted pages, frees the library.
void HelpUnitsShutdown();

// The log: "-" and "=" are lines of 80 such characters; an entry beginning
// with '!', '-' or '=' goes without that character and without a time stamp,
// any other after the date and time. Nothing is written while the switch is off.
void HHDebugLog(const std::string& entry);
std::string HHLogFileName();

// "1 (HELP_CONTEXT)"; "??" names an unknown command.
std::string HelpCommandName(unsigned command);
// "[Error:2] File Not Found" for a failed start.
std::string StartErrorText(int system_error);
// The message of a help request's result; "" for 0.
std::string HHErrorText(int result);

int HHHelpContext(const std::string& help_file, int context, const std::string& window_name, uint8_t mode);
int ShowContext(const std::string& path, int context, uint8_t mode);
// Tells the user what went wrong (a warning box) unless the result is 0.
void HHShowError(int result);
void HHCloseAll();

class THookHelpSystem {
public:
    using TContextHandler = int (*)(int context);
    using TPopupHandler = void (*)(int context, ui::TPoint position);

    THookHelpSystem(std::string help_file, std::string window_name, uint8_t mode);
    ~THookHelpSystem();
    THookHelpSystem(const THookHelpSystem&) = delete;
    THookHelpSystem& operator=(const THookHelpSystem&) = delete;

    bool HelpHook(uint16_t command, intptr_t data, bool& call_help);

    const std::string& HelpFile() const { return help_file_; }
    const std::string& WindowName() const { return window_name_; }
    uint8_t Mode() const { return mode_; }
    ui::TPoint PopupPosition() const { return popup_; }
    TContextHandler OnContext = nullptr;
    TPopupHandler OnPopup = nullptr;

private:
    ui::THelpEvent previous_;
    std::string help_file_, window_name_;
    uint8_t mode_;
    ui::TPoint popup_{};
};

}  // namespace controls
