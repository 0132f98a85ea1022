#include "tests/examples/screen_session.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

namespace testing_examples {
namespace {

namespace fs = std::filesystem;

// The environment the test runs in, with `changes` set over it and `removed` left out.
std::vector<std::string> ChildEnvironment(const ScreenSession::Environment& changes,
                                          const std::vector<std::string>& removed) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& r : removed) replaced = replaced || r == name;
        for (const auto& [key, value] : changes) replaced = replaced || key == name;
        if (!replaced) out.push_back(entry);
    }
    for (const auto& [key, value] : changes) out.push_back(key + "=" + value);
    return out;
}

}  // namespace

ScreenSession::ScreenSession(const std::string& dir)
    : dir_(dir), program_(dir + "/prog/corvanta-run"), log_(dir + "/run.log") {}

ScreenSession::~ScreenSession() {
    if (child_ > 0) testing_support::EndChild(child_, SIGKILL, std::chrono::seconds(0));
    x_.reset();
    server_.reset();
}

std::string ScreenSession::Missing() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return "xvfb is not installed (scripts/install-deps)";
    if (access("/usr/bin/xdotool", X_OK) != 0) return "xdotool is not installed (scripts/install-deps)";
    return "";
}

std::string ScreenSession::Start(const std::string& folder, const Environment& environment, const std::string& cwd) {
    fs::create_directories(fs::path(program_).parent_path());
    fs::copy_file(CORVANTA_RUN, program_, fs::copy_options::overwrite_existing);
    const fs::path help = fs::path(CORVANTA_RUN).replace_extension(".CHM");
    if (fs::exists(help)) fs::copy_file(help, program_ + ".CHM", fs::copy_options::overwrite_existing);
    server_ = std::make_unique<testing_ui::Xvfb>();
    if (server_->Display().empty()) return "Xvfb did not start";
    x_ = std::make_unique<testing_support::XConnection>(server_->Display());
    if (!x_->Opened()) return "no connection to " + server_->Display();

    Environment changes = environment;
    changes.emplace_back("DISPLAY", server_->Display());
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at the program's exit stops its threads from a tracer
    // that now and then crashed on a loaded machine, turning a clean end into
    // status 1. What is checked here is the end itself; the same window's code
    // is leak-checked in process by the other tests.
    const char* asan = getenv("ASAN_OPTIONS");
    changes.emplace_back("ASAN_OPTIONS", std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0");
#endif
    const std::vector<std::string> env = ChildEnvironment(changes, {"WAYLAND_DISPLAY"});
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return "cannot write " + log_;
    const char* const argv[] = {"corvanta-run", folder.c_str(), nullptr};
    child_ = fork();
    if (child_ == 0) {
        dup2(out, 1);
        dup2(out, 2);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execve(program_.c_str(), const_cast<char* const*>(argv), envp.data());
        _exit(127);
    }
    close(out);
    return child_ < 0 ? "fork failed" : "";
}

std::string ScreenSession::Launch(const std::string& folder, const Environment& environment, const std::string& cwd) {
    if (std::string failed = Start(folder, environment, cwd); !failed.empty()) return failed;
    // The main window is made again soon after it first shows: the id found first can be stale.
    if (FocusNamed(kMainWindowName).empty()) return "no window with the focus; the program said: " + Log();
    return "";
}

std::string ScreenSession::Settings() const { return fs::path(program_).replace_extension(".INI").string(); }

std::string ScreenSession::Log() const {
    std::ifstream in(log_);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string ScreenSession::Output(const std::string& command) {
    std::string out;
    testing_support::RunBounded({"/bin/sh", "-c", command}, testing_support::After(testing_ui::kToolRun), &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string ScreenSession::Xdotool(const std::string& args) const {
    return Output("DISPLAY=" + server_->Display() + " xdotool " + args + " 2>/dev/null");
}

std::string ScreenSession::WindowNamed(const std::string& name) const {
    std::string found;
    WaitFor([&] { return !(found = Xdotool("search --onlyvisible --name '" + name + "'")).empty(); });
    return found.substr(0, found.find('\n'));
}

ui::TRect ScreenSession::Geometry(const std::string& window) const {
    std::istringstream lines(Xdotool("getwindowgeometry --shell " + window));
    int x = 0, y = 0, width = 0, height = 0;
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") x = value;
        if (key == "Y") y = value;
        if (key == "WIDTH") width = value;
        if (key == "HEIGHT") height = value;
    }
    return ui::Bounds(x, y, width, height);
}

bool ScreenSession::NoWindowNamed(const std::string& name) const {
    return WaitFor([&] { return Xdotool("search --onlyvisible --name '" + name + "'").empty(); });
}

std::string ScreenSession::FocusNamed(const std::string& name) const {
    // Not windowfocus --sync: it waits for ever on a window that cannot take the focus (yet).
    // The program may make its window again meanwhile: the answer is the
    // window that had the focus when it was asked, not asked a second time.
    std::string window;
    const bool focused = WaitFor([&] {
        window = WindowNamed(name);
        if (window.empty()) return false;
        Xdotool("windowfocus " + window);
        return Xdotool("getwindowfocus") == window;
    });
    return focused ? window : "";
}

uint32_t ScreenSession::Pixel(ui::TPoint p) {
    const std::vector<uint32_t> one = Grab(ui::Bounds(p.x, p.y, 1, 1));
    return one.empty() ? 0xFFFFFFFF : one[0];
}

std::vector<uint32_t> ScreenSession::Grab(const ui::TRect& r) {
    return x_ ? x_->Grab(r.left, r.top, r.Width(), r.Height()) : std::vector<uint32_t>{};
}

bool ScreenSession::ShowsColour(const ui::TRect& r, uint32_t pixel) {
    for (uint32_t p : Grab(r))
        if (p == pixel) return true;
    return false;
}

bool ScreenSession::Shows(const ui::TRect& r, const std::vector<uint32_t>& expected) {
    return WaitFor([&] { return Grab(r) == expected; });
}

bool ScreenSession::Changes(const ui::TRect& r, const std::vector<uint32_t>& before) {
    return WaitFor([&] {
        const std::vector<uint32_t> now = Grab(r);
        return !now.empty() && now != before;
    });
}

bool ScreenSession::WaitFor(const std::function<bool()>& ready) const {
    const testing_support::Deadline deadline = testing_support::After(Patience());
    for (;;) {
        if (ready()) return true;
        if (std::chrono::steady_clock::now() > deadline) {
            failed_ = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

int ScreenSession::Close() {
    // Found again, as the window may have been made again since; one already
    // gone is no failure here: the exit status tells how the program ended.
    const std::string window = Xdotool("search --onlyvisible --name '" + std::string(kMainWindowName) + "'");
    if (x_ && !window.empty()) x_->RequestClose(std::stoul(window));
    return WaitForExit();
}

int ScreenSession::WaitForExit(std::optional<std::chrono::seconds> bound) {
    if (child_ <= 0) return -1;
    const std::optional<int> status =
        testing_support::WaitForChild(child_, testing_support::After(bound.value_or(Patience())));
    if (!status) {
        failed_ = true;
        testing_support::EndChild(child_, SIGKILL, std::chrono::seconds(0));
    }
    child_ = -1;
    return status ? testing_support::ExitCode(*status) : -1;
}

void ScreenSession::EndServer(int signal) {
    x_.reset();  // the test's own connection goes first: Xlib would end the test with it
    if (server_) server_->End(signal);
}

}  // namespace testing_examples
