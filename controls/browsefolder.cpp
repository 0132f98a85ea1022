// The folder picker component.
#include "controls/browsefolder.hpp"

#include <sstream>
#include <vector>

#include "framework/ui/button_box.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/forms.hpp"

namespace controls {

using namespace ui;

std::string ShortenPath(const std::string& path, char separator, const std::string& filler, int limit) {
    if (int(path.size()) <= limit) return path;
    std::vector<std::string> parts;
    std::istringstream in(path);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!path.empty() && path.back() == separator) parts.emplace_back();
    if (parts.size() < 3) return path;
    parts.insert(parts.begin() + 1, filler);
    auto joined = [&] {
        std::string out = parts[0];
        for (size_t i = 1; i < parts.size(); ++i) out += separator + parts[i];
        return out;
    };
    std::string result = joined();
    while (int(result.size()) > limit && parts.size() >= 4) {
        parts.erase(parts.begin() + 2);
        result = joined();
    }
    return result;
}

TBrowseFolder::TBrowseFolder(TComponent* owner) : TComponent(owner) {}

TBrowseFolder::~TBrowseFolder() = default;

UINT TBrowseFolder::ShellFlags(TBrowseInfoFlags flags) {
    static const struct {
        unsigned flag;
        UINT shell;
    } kFlags[] = {
        {bfFileSysDirsOnly, BIF_RETURNONLYFSDIRS},
        {bfDontGoBelowDomain, BIF_DONTGOBELOWDOMAIN},
        {bfStatusText, BIF_STATUSTEXT},
        {bfFileSysAncestors, BIF_RETURNFSANCESTORS},
        {bfBrowseForComputer, BIF_BROWSEFORCOMPUTER},
        {bfBrowseForPrinter, BIF_BROWSEFORPRINTER},
    };
    UINT out = 0;
    for (const auto& f : kFlags)
        if (flags & f.flag) out |= f.shell;
    return out;
}

int TBrowseFolder::FolderId(TSHFolders root) {
    static const int kIds[] = {
        CSIDL_DESKTOP,
        -1,
        CSIDL_PROGRAMS,
        CSIDL_CONTROLS,
        CSIDL_PRINTERS,
        CSIDL_PERSONAL,
        CSIDL_FAVORITES,
        CSIDL_STARTUP,
        CSIDL_RECENT,
        CSIDL_SENDTO,
        CSIDL_BITBUCKET,
        CSIDL_STARTMENU,
        CSIDL_DESKTOPDIRECTORY,
        CSIDL_DRIVES,
        CSIDL_NETWORK,
        CSIDL_NETHOOD,
        CSIDL_FONTS,
        CSIDL_TEMPLATES,
    };
    return kIds[root];
}

HWND TBrowseFolder::OwnerWindow() const {
    if (auto* w = dynamic_cast<TWinControl*>(Owner())) return w->Handle();
    if (TCustomForm* main = Application().MainForm) return main->Handle();
    return 0;
}

bool TBrowseFolder::Execute() {
    BROWSEINFO bi;
    bi.hwndOwner = OwnerWindow();
    std::optional<ItemIdList> root;
    if (const int id = FolderId(RootFolder); id >= 0) root = SHGetSpecialFolderLocation(id);
    bi.pidlRoot = root ? &*root : nullptr;
    bi.pszDisplayName = &display_name_;
    bi.lpszTitle = Title;
    bi.ulFlags = ShellFlags(Flags);
    bi.lpfn = [this](HWND dialog, UINT msg, LPARAM param, LPARAM) { return Callback(dialog, msg, param); };
    const std::optional<ItemIdList> chosen = SHBrowseForFolder(bi);
    dialog_ = custom_button_ = 0;
    dialog_hook_ = 0;
    std::string path;
    // The whole path, or nothing: a chosen item without a path the program
    // can use leaves Directory as it was.
    if (!chosen || !SHGetPathFromIDList(*chosen, path)) return false;
    Directory = path;
    current_path_ = path;
    image_index_ = bi.iImage;
    return true;
}

int TBrowseFolder::Callback(HWND dialog, UINT msg, LPARAM param) {
    if (msg == BFFM_INITIALIZED) Initialized(dialog);
    if (msg == BFFM_SELCHANGED) SelectionChanged(dialog, reinterpret_cast<const ItemIdList*>(param));
    return 0;
}

void TBrowseFolder::Initialized(HWND dialog) {
    dialog_ = dialog;
    // Centred across the foreground window, a quarter of its height down.
    if (const HWND fg = GetForegroundWindow(); fg && fg != dialog) {
        const TRect f = GetWindowRect(fg), me = GetWindowRect(dialog);
        SetWindowPos(dialog, 0, f.left + (f.Width() - me.Width()) / 2, f.top + f.Height() / 4, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!Directory.empty()) SendMessage(dialog, BFFM_SETSELECTION, 1, LPARAM(Directory.c_str()));
    if (CustomButtonVisible) MakeCustomButton();
    if (OnInitialized) OnInitialized(this, dialog);
}

void TBrowseFolder::MakeCustomButton() {
    CreateParams p;
    p.class_name = "BUTTON";
    p.caption = custom_caption_;
    p.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (CustomButtonType == btCheckBox ? BS_AUTOCHECKBOX : BS_PUSHBUTTON);
    p.parent = dialog_;
    p.rect = Bounds(kCustomButtonLeft, kCustomButtonTop, custom_width_, kCustomButtonHeight);
    p.id = kCustomButtonId;
    custom_button_ = CreateWindow(p);
    if (!custom_button_) return;
    const FontPtr font = CreateFont(LogFont{});
    SendMessage(custom_button_, WM_SETFONT, WPARAM(&font), 0);
    EnableWindow(custom_button_, custom_enabled_);
    if (CustomButtonType == btCheckBox)
        SendMessage(custom_button_, BM_SETCHECK, CustomButtonChecked ? BST_CHECKED : BST_UNCHECKED);
    // The dialog's commands come here first: OK takes the check box's state
    // along; the custom button's press is ours alone.
    dialog_hook_ = SubclassWindow(dialog_, [this](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
        if (m == WM_COMMAND && (w & 0xFFFF) == IDOK && CustomButtonType == btCheckBox && custom_button_)
            CustomButtonChecked = SendMessage(custom_button_, BM_GETCHECK) == BST_CHECKED;
        if (m == WM_COMMAND && (w & 0xFFFF) == kCustomButtonId && HWND(l) == custom_button_) {
            if (OnCustomButtonClick) OnCustomButtonClick(this, h);
            return 0;
        }
        return next(h, m, w, l);
    });
}

void TBrowseFolder::SelectionChanged(HWND dialog, const ItemIdList* item) {
    std::string path;
    const bool has_path = item && SHGetPathFromIDList(*item, path);
    current_path_ = has_path ? path : std::string();
    if (ShowPathInStatusArea) {
        const std::string shown = ShortenPath(current_path_);
        SendMessage(dialog, BFFM_SETSTATUSTEXT, 0, LPARAM(shown.c_str()));
    }
    SendMessage(dialog, BFFM_ENABLEOK, 0, has_path);
    if (SyncCustomButton) SetCustomButtonEnabled(has_path);
    if (OnSelectionChanged) OnSelectionChanged(this, dialog, current_path_, item);
}

void TBrowseFolder::SetCustomButtonEnabled(bool v) {
    custom_enabled_ = v;
    if (custom_button_ && IsWindow(custom_button_)) EnableWindow(custom_button_, v);
}

void TBrowseFolder::SetCustomButtonCaption(const std::string& v) {
    custom_caption_ = v;
    if (custom_button_ && IsWindow(custom_button_)) SetWindowText(custom_button_, v);
}

void TBrowseFolder::SetCustomButtonWidth(int v) {
    custom_width_ = v > 0 ? v : kCustomButtonWidth;
    if (custom_button_ && IsWindow(custom_button_))
        SetWindowPos(custom_button_, 0, 0, 0, custom_width_, kCustomButtonHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace controls
