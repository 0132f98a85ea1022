// The main window's row colours and the backup command.
#include "examples/main_window_tools.hpp"

#include "examples/backup.hpp"
#include "framework/ui/inifiles.hpp"

namespace demo {

TMainWindowTools::TMainWindowTools(ui::TWinControl* window, zurod::TTzFileDataSet* table, const std::string& settings)
    : ui::TPanel(window), table_(table), settings_(settings) {
    SetName("Tools");
    SetParent(window);
    SetAlign(ui::alClient);
    SetBevelOuter(ui::bvNone);
    debit_ = Colour("&Debit rows", 8, "DEBIT", ui::clMaroon);
    credit_ = Colour("C&redit rows", 220, "CREDIT", ui::clGreen);
    backup_ = new ui::TButton(this);
    backup_->SetName("BackupButton");
    backup_->SetParent(this);
    backup_->SetBounds(440, 6, 150, 23);
    backup_->SetCaption("&Back up to folder...");
    backup_->TabOrder = 2;
    backup_->OnClick = [this](ui::TObject*) { BackUpToFolder(); };
}

controls::TColorComboBox* TMainWindowTools::Colour(const char* caption, int left, const char* key,
                                                   ui::TColor fallback) {
    auto* combo = new controls::TColorComboBox(this);
    combo->SetName(std::string(key) + "Colour");
    combo->SetParent(this);
    combo->SetBounds(left + 72, 6, 120, 21);
    combo->TabOrder = left > 8 ? 1 : 0;
    auto* label = new ui::TLabel(this);
    label->SetParent(this);
    label->SetBounds(left, 9, 64, 17);
    label->SetCaption(caption);
    label->FocusControl = combo;
    combo->SetColorValue(settings_.empty()
                             ? fallback
                             : ui::TColor(ui::TIniFile(settings_).ReadInteger(kColourSection, key, int(fallback))));
    combo->OnChange = [this, combo, key](ui::TObject*) {
        if (!settings_.empty()) ui::TIniFile(settings_).WriteInteger(kColourSection, key, int(combo->ColorValue()));
        if (OnColoursChanged) OnColoursChanged(this);
    };
    return combo;
}

bool TMainWindowTools::BackUpToFolder() {
    std::string folder = settings_.empty() ? "" : ui::TIniFile(settings_).ReadString(kOptionSection, kFolderKey, "");
    const std::string before = folder;
    const bool ok = demo::BackUpToFolder(this, {table_}, folder);
    if (!settings_.empty() && folder != before) ui::TIniFile(settings_).WriteString(kOptionSection, kFolderKey, folder);
    return ok;
}

}  // namespace demo
