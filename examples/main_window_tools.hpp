#pragma once
// Part of the main window's tool row: the colours of debit and credit rows,
// chosen with colour combo boxes and kept in the settings file, and the
// command that backs the tables up to a folder chosen with the folder picker
// (its button, Alt+B).
#include <string>

#include "controls/cvcombos.hpp"
#include "engine/dataset/file_dataset.hpp"
#include "framework/ui/controls.hpp"
#include "framework/ui/stdctrls.hpp"

namespace demo {

class TMainWindowTools : public ui::TPanel {
public:
    // Fills the rest of `window` (the row it sits in). `settings` empty: the
    // colours and the folder are neither read nor written.
    TMainWindowTools(ui::TWinControl* window, zurod::TTzFileDataSet* table, const std::string& settings);
    std::string ClassName() const override { return "TMainWindowTools"; }

    controls::TColorComboBox* DebitColour() const { return debit_; }
    controls::TColorComboBox* CreditColour() const { return credit_; }
    ui::TButton* BackupButton() const { return backup_; }
    // "Back up to folder...": asks for the folder and copies the tables there.
    bool BackUpToFolder();
    // Called when a row colour changed (the grid paints again).
    ui::TNotifyEvent OnColoursChanged;

    static constexpr const char* kColourSection = "GRID COLOURS";
    static constexpr const char* kOptionSection = "OPTIONS";
    static constexpr const char* kFolderKey = "BACKUP FOLDER";

private:
    controls::TColorComboBox* Colour(const char* caption, int left, const char* key, ui::TColor fallback);

    zurod::TTzFileDataSet* table_;
    std::string settings_;
    controls::TColorComboBox* debit_ = nullptr;
    controls::TColorComboBox* credit_ = nullptr;
    ui::TButton* backup_ = nullptr;
};

}  // namespace demo
