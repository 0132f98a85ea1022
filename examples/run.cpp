// corvanta-run [folder]: the program's main window over the transaction
// history in a data folder (default ./demo-data), on the screen DISPLAY names.
// The demo's history is made first when the folder holds none. The column
// widths are kept in the settings file beside the program (its name with
// ".INI"), its help in the help file beside it (".CHM"). Closing the window
// ends the program; what keeps it from starting is shown in a message window
// (on standard error without a screen).
#include <memory>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/engine.hpp"
#include "engine/start/start.hpp"
#include "examples/run_program.hpp"
#include "framework/ui/dialogs.hpp"
#include "framework/ui/inifiles.hpp"
#include "framework/ui/sdl_display.hpp"
#include "platform/msgbox.hpp"

int main(int argc, char** argv) {
    zurod::StartEngine();
    zurod::SetCentury(true);
    int rc = 1;
    {
        std::unique_ptr<ui::Display> display = ui::OpenSdlDisplay();
        if (display) ui::InstallDisplay(display.get());
        // Questions and messages are windows on the screen.
        ui::WindowedMessageBoxes boxes;
        platform::MessageBoxService* previous_boxes = display ? platform::InstallMessageBox(&boxes) : nullptr;
        rc = demo::RunProgram(argc > 1 ? argv[1] : "demo-data", ui::ChangeFileExt(ui::ApplicationExeName(), ".INI"),
                              display != nullptr);
        if (display) platform::InstallMessageBox(previous_boxes);
        ui::InstallDisplay(nullptr);
    }
    zurod::EngineShutdown();
    return rc;
}
