#pragma once
// "Back up to folder...": the program's tables copied into a folder the user
// chooses with the folder picker, through the engine's copy. Each table goes
// to a file of its own name; every copy is made beside its final name first
// and put in place only when all of them were made, so a failure leaves the
// folder as it was.
#include <string>
#include <vector>

#include "engine/dataset/command_dataset.hpp"

namespace ui {
class TWinControl;
}

namespace demo {

struct BackupResult {
    bool ok = false;
    std::string message;  // what to tell the user (ANSI)
};

// Copies every record of each open table into `folder` (an ANSI path, as the
// engine's file names are).
BackupResult BackUpTables(const std::vector<zurod::TTzCDataSet*>& tables, const std::string& folder);

// Asks for the folder (preselecting `last_folder`, which takes the folder
// chosen), backs the tables up there and tells the user how it went. False
// when the user cancelled or the backup failed.
bool BackUpToFolder(ui::TWinControl* owner, const std::vector<zurod::TTzCDataSet*>& tables, std::string& last_folder);

}  // namespace demo
