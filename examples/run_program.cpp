#include "examples/run_program.hpp"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/errors.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window.hpp"
#include "examples/main_window_parts.hpp"
#include "platform/codepage.hpp"
#include "platform/error.hpp"
#include "platform/msgbox.hpp"
#include "platform/process.hpp"

namespace demo {

namespace {

// A test sees what help would start instead of a viewer, for as long as the program runs.
class HelpLaunchScope {
public:
    HelpLaunchScope() : log_(HelpLaunchLogFromEnvironment()) {
        if (log_) previous_ = platform::InstallProcessLauncher(log_.get());
    }
    ~HelpLaunchScope() {
        if (log_) platform::InstallProcessLauncher(previous_);
    }
    HelpLaunchScope(const HelpLaunchScope&) = delete;
    HelpLaunchScope& operator=(const HelpLaunchScope&) = delete;

private:
    std::unique_ptr<platform::ProcessLauncher> log_;
    platform::ProcessLauncher* previous_ = nullptr;
};

// The program's own loop over its main window; the main form is let go however it ends.
void RunMainWindow(const std::string& folder, const std::string& settings) {
    auto window = ui::Make<TMainWindow>(nullptr, folder, settings);
    struct MainFormScope {
        explicit MainFormScope(ui::TForm* form) { ui::Application().MainForm = form; }
        ~MainFormScope() { ui::Application().MainForm = nullptr; }
    } main_form(window.get());
    window->Show();
    ui::Application().Run();
}

// The user started a program with a window: the reason it has none is shown where they look.
int NotStarted(const std::exception& e, bool on_screen) {
    std::fprintf(stderr, "corvanta-run: %s\n", platform::AnsiToUtf8(e.what()).c_str());
    if (on_screen) platform::ShowMessageBox(e.what(), kProgramTitle, platform::kMbOk | platform::kMbIconStop);
    return 1;
}

}  // namespace

int RunProgram(const std::string& folder, const std::string& settings, bool on_screen) {
    try {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) throw platform::Error("Cannot create the data folder " + folder + ": " + ec.message());
        if (!std::filesystem::exists(HistoryPath(folder))) {
            std::printf("corvanta-run: making the demo's history in %s\n", folder.c_str());
            std::fflush(stdout);
            zurod::RaiseModeScope raise(true);
            WriteHistory(HistoryPath(folder), GenerateHistory(), [] {});
        }
        if (!on_screen) {
            std::fprintf(stderr, "corvanta-run: no screen to show the window on (DISPLAY is not set)\n");
            return 1;
        }
        ui::Application().Title = kProgramTitle;
        const HelpLaunchScope help;
        // From here on engine errors are only recorded, as in the program.
        zurod::SuspendEngineErrors();
        RunMainWindow(folder, settings);
        return 0;
    } catch (const std::exception& e) {  // platform::Error among them
        return NotStarted(e, on_screen);
    }
}

}  // namespace demo
