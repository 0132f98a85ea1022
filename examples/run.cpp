// corvanta-run [folder]: the program's main window over the transaction
// history in a data folder (default ./demo-data), on the screen DISPLAY names.
// The demo's history is made first when the folder holds none. The column
// widths are kept in the settings file beside the program (its name with
// ".INI"), its help in the help file beside it (".CHM"). Closing the window
// ends the program.
#include <cstdio>
#include <filesystem>

#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/start/start.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window.hpp"
#include "examples/main_window_parts.hpp"
#include "framework/ui/dialogs.hpp"
#include "framework/ui/inifiles.hpp"
#include "framework/ui/sdl_display.hpp"
#include "platform/codepage.hpp"
#include "platform/error.hpp"
#include "platform/msgbox.hpp"

namespace {

int Run(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::exists(demo::HistoryPath(folder))) {
        std::printf("corvanta-run: making the demo's history in %s\n", folder.c_str());
        zurod::RaiseModeScope raise(true);
        demo::WriteHistory(demo::HistoryPath(folder), demo::GenerateHistory(), [] {});
    }
    std::unique_ptr<ui::Display> display = ui::OpenSdlDisplay();
    if (!display) {
        std::fprintf(stderr, "corvanta-run: no screen to show the window on (DISPLAY is not set)\n");
        return 1;
    }
    ui::InstallDisplay(display.get());
    // Questions and messages are windows on the screen.
    ui::WindowedMessageBoxes boxes;
    platform::MessageBoxService* previous_boxes = platform::InstallMessageBox(&boxes);
    ui::Application().Title = "Corvanta V4.0";
    // A test sees what help would start instead of a viewer.
    const std::unique_ptr<platform::ProcessLauncher> help_log = demo::HelpLaunchLogFromEnvironment();
    platform::ProcessLauncher* previous_launcher =
        help_log ? platform::InstallProcessLauncher(help_log.get()) : nullptr;
    {
        // From here on engine errors are only recorded, as in the program.
        zurod::SuspendEngineErrors();
        auto window = ui::Make<demo::TMainWindow>(nullptr, folder, ui::ChangeFileExt(ui::ApplicationExeName(), ".INI"));
        ui::Application().MainForm = window.get();
        window->Show();
        ui::Application().Run();
        ui::Application().MainForm = nullptr;
    }
    if (help_log) platform::InstallProcessLauncher(previous_launcher);
    platform::InstallMessageBox(previous_boxes);
    ui::InstallDisplay(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    zurod::StartEngine();
    zurod::SetCentury(true);
    int rc = 1;
    try {
        rc = Run(argc > 1 ? argv[1] : "demo-data");
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "corvanta-run: %s\n", platform::AnsiToUtf8(e.what()).c_str());
    } catch (const std::exception& e) {  // the standard library's own
        std::fprintf(stderr, "corvanta-run: %s\n", platform::AnsiToUtf8(e.what()).c_str());
    }
    zurod::EngineShutdown();
    return rc;
}
