#pragma once
// The program from its start to its end on the screen installed: the data
// folder (the demo's history made first when it holds none), the main window
// and the message loop. What stops it from starting goes to standard error
// and, on a screen, into a message window as well.
#include <string>

namespace demo {

// The message windows' caption, the program's title.
constexpr const char* kProgramTitle = "Corvanta V4.0";

// `on_screen`: a display is installed and message boxes are windows on it;
// without one the program cannot start. The exit status: 0 once the main
// window closed, 1 when the program could not start.
int RunProgram(const std::string& folder, const std::string& settings, bool on_screen);

}  // namespace demo
