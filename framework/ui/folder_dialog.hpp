#pragma once
// The shell's dialog for choosing a folder: a title, a status line, the tree
// of folders (folder_tree.hpp), OK and Cancel, run modally. The caller's
// routine hears when the dialog is ready and when the selection moves, and
// may send the dialog the BFFM_ messages below meanwhile.
#include <functional>
#include <optional>
#include <string>

#include "framework/ui/shell_folders.hpp"
#include "framework/ui/window.hpp"

namespace ui {

// clang-format off
enum BrowseFlags : UINT {
    BIF_RETURNONLYFSDIRS = 0x0001, BIF_DONTGOBELOWDOMAIN = 0x0002, BIF_STATUSTEXT = 0x0004,
    BIF_RETURNFSANCESTORS = 0x0008, BIF_BROWSEFORCOMPUTER = 0x1000, BIF_BROWSEFORPRINTER = 0x2000,
};
// What the routine hears: the dialog is ready (param 0), the selection moved
// (param: the selected `const ItemIdList*`).
enum : UINT { BFFM_INITIALIZED = 1, BFFM_SELCHANGED = 2 };
// What the dialog takes: the status line's text (lParam: `const char*`);
// OK enabled or not (lParam); a folder to select (wParam true: lParam an ANSI
// path `const char*`; false: a `const ItemIdList*`).
enum : UINT { BFFM_SETSTATUSTEXT = WM_USER + 100, BFFM_ENABLEOK = WM_USER + 101, BFFM_SETSELECTION = WM_USER + 102 };
// clang-format on
// Identifiers of the dialog's controls.
enum : int { IDOK = 1, IDCANCEL = 2, kFolderTreeId = 0x3741, kFolderStatusId = 0x3743 };

using BFFCALLBACK = std::function<int(HWND dialog, UINT msg, LPARAM param, LPARAM data)>;

struct BROWSEINFO {
    HWND hwndOwner = 0;                     // centred over it, disabled while the dialog runs
    const ItemIdList* pidlRoot = nullptr;   // none: the whole namespace from the desktop
    std::string* pszDisplayName = nullptr;  // receives the chosen item's name
    std::string lpszTitle;                  // above the tree
    UINT ulFlags = 0;
    BFFCALLBACK lpfn;
    LPARAM lParam = 0;  // handed to lpfn
    int iImage = 0;     // receives the chosen item's picture: 0 a folder, 1 the computer, 2 the desktop
};

// The caption of the dialog and of the messages it shows.
inline constexpr const char* kBrowseCaption = "Browse for Folder";

// Runs the dialog; the chosen item, or none when the user cancelled. OK is
// enabled for items with a path the program can use (with
// BIF_RETURNONLYFSDIRS only for those); a folder gone by the time OK is
// pressed is reported and taken out of the tree, and the dialog stays.
std::optional<ItemIdList> SHBrowseForFolder(BROWSEINFO& bi);

}  // namespace ui
