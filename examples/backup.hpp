#pragma once
// "Back up to folder...": the program's tables copied into a folder the user
// chooses with the folder picker, through the engine's file copy. A table
// goes with its memo file and production index, each file under its own
// name and byte for byte as stored, so the backup holds every record under
// its number (deleted ones too) with its memo references, whatever order or
// filter the program shows. Every copy is made and put on disk beside its
// final name first, and put in place only when all of them were made; the
// files they replace are moved aside until all are in, so a failure leaves
// the folder as it was.
#include <string>
#include <vector>

#include "engine/dataset/file_dataset.hpp"

namespace ui {
class TWinControl;
}

namespace demo {

struct BackupResult {
    bool ok = false;
    std::string message;  // what to tell the user (ANSI)
};

// Copies the files of each open table into `folder` (an ANSI path, as the
// engine's file names are).
BackupResult BackUpTables(const std::vector<zurod::TTzFileDataSet*>& tables, const std::string& folder);

// Asks for the folder (preselecting `last_folder`, which takes the folder
// chosen once the backup is made there), backs the tables up there and tells
// the user how it went. False when the user cancelled or the backup failed.
bool BackUpToFolder(ui::TWinControl* owner, const std::vector<zurod::TTzFileDataSet*>& tables,
                    std::string& last_folder);

}  // namespace demo
