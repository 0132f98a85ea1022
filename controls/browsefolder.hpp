#pragma once
// The folder picker: the shell's dialog for choosing a folder
// (framework/ui/folder_dialog.hpp) as a component, with a preselected folder,
// the root of the tree, the shortened path in the status line and an extra
// push button or check box.
#include <functional>
#include <string>

#include "framework/ui/classes.hpp"
#include "framework/ui/folder_dialog.hpp"

namespace controls {

// The dialog's flags, a set of these bits.
enum TBrowseInfoFlag : unsigned {
    bfFileSysDirsOnly = 1u << 0,
    bfDontGoBelowDomain = 1u << 1,
    bfStatusText = 1u << 2,
    bfFileSysAncestors = 1u << 3,
    bfBrowseForComputer = 1u << 4,
    bfBrowseForPrinter = 1u << 5,
};
using TBrowseInfoFlags = unsigned;

// The root of the tree: a special folder, or the whole namespace expanded from the desktop.
enum TSHFolders {
    foDesktop,
    foDesktopExpanded,
    foPrograms,
    foControlPanel,
    foPrinters,
    foPersonal,
    foFavorites,
    foStartup,
    foRecent,
    foSendto,
    foRecycleBin,
    foStartMenu,
    foDesktopDirectory,
    foMyComputer,
    foNetwork,
    foNetworkNeighborhood,
    foFonts,
    foTemplates,
};

enum TCustomButtonType { btPushButton, btCheckBox };

// The custom button's place and identifier in the dialog.
constexpr int kCustomButtonId = 255;
constexpr int kCustomButtonLeft = 12, kCustomButtonTop = 270, kCustomButtonHeight = 23, kCustomButtonWidth = 75;

using TBrowseFolderEvent = std::function<void(ui::TObject* sender, ui::HWND dialog)>;
using TBrowseSelectionEvent =
    std::function<void(ui::TObject* sender, ui::HWND dialog, const std::string& path, const ui::ItemIdList* item)>;

// `path` shortened to `limit` characters: the filler goes in after the first
// component, then components after it are dropped one at a time while the
// text is too long and at least four components remain.
std::string ShortenPath(const std::string& path, char separator = '/', const std::string& filler = "...",
                        int limit = 35);

class TBrowseFolder : public ui::TComponent {
public:
    explicit TBrowseFolder(ui::TComponent* owner);
    ~TBrowseFolder() override;
    std::string ClassName() const override { return "TBrowseFolder"; }

    // Shows the dialog modally; true when the user chose a folder, which is
    // then Directory (its whole path, in the ANSI page).
    bool Execute();

    std::string Directory;  // the folder to preselect; the chosen one after Execute
    std::string Title;
    TBrowseInfoFlags Flags = bfFileSysDirsOnly | bfStatusText;
    bool ShowPathInStatusArea = false;
    TSHFolders RootFolder = foDesktopExpanded;
    bool CustomButtonVisible = false;
    bool CustomButtonEnabled() const { return custom_enabled_; }
    void SetCustomButtonEnabled(bool v);
    const std::string& CustomButtonCaption() const { return custom_caption_; }
    void SetCustomButtonCaption(const std::string& v);
    int CustomButtonWidth() const { return custom_width_; }
    void SetCustomButtonWidth(int v);  // 0 or less: 75
    TCustomButtonType CustomButtonType = btPushButton;
    bool CustomButtonChecked = false;  // a check box's state, taken back when the dialog ends with OK
    bool SyncCustomButton = false;     // the custom button enabled exactly when OK is

    TBrowseFolderEvent OnInitialized, OnCustomButtonClick;
    TBrowseSelectionEvent OnSelectionChanged;

    // While the dialog is open: its window and the selection's path; then the
    // chosen item's picture.
    ui::HWND DialogHandle() const { return dialog_; }
    const std::string& CurrentPath() const { return current_path_; }
    int ImageIndex() const { return image_index_; }
    // The shell's flags for Flags.
    static ui::UINT ShellFlags(TBrowseInfoFlags flags);
    // The special folder a root stands for; -1 for the whole namespace.
    static int FolderId(TSHFolders root);

private:
    int Callback(ui::HWND dialog, ui::UINT msg, ui::LPARAM param);
    void Initialized(ui::HWND dialog);
    void SelectionChanged(ui::HWND dialog, const ui::ItemIdList* item);
    void MakeCustomButton();
    ui::HWND OwnerWindow() const;

    bool custom_enabled_ = true;
    std::string custom_caption_;
    int custom_width_ = kCustomButtonWidth;
    ui::HWND dialog_ = 0, custom_button_ = 0;
    ui::SubclassToken dialog_hook_ = 0;
    std::string current_path_, display_name_;
    int image_index_ = 0;
};

}  // namespace controls
