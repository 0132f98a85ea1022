#pragma once
// The program on an X server of the test's own, driven by real X input
// (xdotool): the server, a copy of the program with its help file (so that
// its settings file is the test's alone), what it wrote, the screen read back
// and a clean end with its exit status.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/ui/types.hpp"
#include "tests/support/x_connection.hpp"
#include "tests/support/xvfb.hpp"

namespace testing_examples {

class ScreenSession {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // A bound for a broken run, never a measure of speed: long enough for a
    // sanitizer build on a loaded machine.
    static constexpr std::chrono::seconds kDeadline{60};
    // The bound of each wait after one has failed: what a failing test waits
    // for then seldom comes, and it must end within its own bound.
    static constexpr std::chrono::seconds kAfterFailure{5};
    static constexpr const char* kMainWindowName = "Transaction History";

    // The copy of the program goes into `dir`/prog.
    explicit ScreenSession(const std::string& dir);
    ~ScreenSession();
    ScreenSession(const ScreenSession&) = delete;
    ScreenSession& operator=(const ScreenSession&) = delete;

    // What is missing for a run ("" when Xvfb and xdotool are there).
    static std::string Missing();
    // Starts the server and the program over `folder` with `environment`
    // added, in the folder `cwd` (the test's own when empty); what went
    // wrong, or "".
    std::string Start(const std::string& folder, const Environment& environment = {}, const std::string& cwd = "");
    // Starts as Start does, then waits for the main window and gives it the focus.
    std::string Launch(const std::string& folder, const Environment& environment = {}, const std::string& cwd = "");

    const std::string& Program() const { return program_; }
    std::string Settings() const;  // the program's settings file
    std::string Log() const;       // what the program wrote
    const std::string& Display() const { return server_->Display(); }

    // What the shell `command` wrote, trimmed; what it wrote so far when it
    // runs past its bound (it is ended then).
    static std::string Output(const std::string& command);
    // xdotool with `args`; its output, trimmed.
    std::string Xdotool(const std::string& args) const;
    static std::string At(ui::TPoint p) { return std::to_string(p.x) + " " + std::to_string(p.y); }
    void Click(ui::TPoint p, int button = 1) const {
        Xdotool("mousemove --sync " + At(p) + " click " + std::to_string(button));
    }
    // The first visible window named `name`, once there is one; "" if none comes.
    std::string WindowNamed(const std::string& name) const;
    // Whether no visible window is named `name`, once that holds.
    bool NoWindowNamed(const std::string& name) const;
    // Gives the first visible window named `name` the input focus and waits
    // until it has it; the window, or "" if it never takes it.
    std::string FocusNamed(const std::string& name) const;
    // An X window's place and size as xdotool reads it; empty if it cannot.
    ui::TRect Geometry(const std::string& window) const;

    uint32_t Pixel(ui::TPoint p);  // 0xFFFFFFFF when it cannot be read
    std::vector<uint32_t> Grab(const ui::TRect& r);
    // Whether some pixel of `r` is `pixel` (0x00RRGGBB).
    bool ShowsColour(const ui::TRect& r, uint32_t pixel);
    // Whether `r` comes to show `expected`.
    bool Shows(const ui::TRect& r, const std::vector<uint32_t>& expected);
    // Whether `r` comes to show something other than `before`.
    bool Changes(const ui::TRect& r, const std::vector<uint32_t>& before);

    // Polls `ready` until it holds; false when it never does before the deadline.
    bool WaitFor(const std::function<bool()>& ready) const;

    // Asks the main window to close as a desktop does, then waits for the end.
    int Close();
    // The program's exit status once it ended: its exit code, 128 + the
    // signal that ended it, or -1 when it did not end within `bound` (a
    // wait's, by default; it is killed then).
    int WaitForExit(std::optional<std::chrono::seconds> bound = std::nullopt);
    // Ends the X server with `signal`, under the program's feet.
    void EndServer(int signal);

private:
    // The bound of the next wait.
    std::chrono::seconds Patience() const { return failed_ ? kAfterFailure : kDeadline; }

    std::string dir_, program_, log_;
    mutable bool failed_ = false;  // a wait has failed
    std::unique_ptr<testing_ui::Xvfb> server_;
    std::unique_ptr<testing_support::XConnection> x_;  // closed before the server goes
    pid_t child_ = -1;
};

}  // namespace testing_examples
