// Pictures of the colour combo box and the folder dialog for the demo.
#include "examples/combo_pictures.hpp"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "controls/cvcombos.hpp"
#include "framework/ui/folder_dialog.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"

namespace {

using namespace ui;

// The pixels of `form` with those of the top-level windows over it (an open
// list) laid on, as the screen shows them.
bool SaveComposed(TCustomForm* form, const std::vector<HWND>& over, const std::string& path) {
    Application().ProcessMessages();
    const SurfacePtr base = GetWindowSurface(form->Handle());
    if (!base) return false;
    const TRect frame = GetWindowRect(form->Handle());
    TRect all = frame;
    for (HWND h : over) all = Union(all, GetWindowRect(h));
    const SurfacePtr picture = Surface::Create(all.Width(), all.Height(), PixelFormat::Color32);
    picture->Fill(GetSysColor(COLOR_APPWORKSPACE));
    DC target(picture);
    auto lay = [&](HWND h, const SurfacePtr& pixels) {
        const TRect r = GetWindowRect(h);
        const DC source(pixels);
        BitBlt(target, r.left - all.left, r.top - all.top, r.Width(), r.Height(), &source, 0, 0, SRCCOPY);
    };
    lay(form->Handle(), base);
    for (HWND h : over)
        if (const SurfacePtr s = GetWindowSurface(h)) lay(h, s);
    return picture->WritePng(path);
}

bool ColourCombo(const std::string& folder) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsSingle);
    form->SetCaption("Grid colours");
    form->SetBounds(60, 60, 260, 250);
    auto label = [&](const char* text, int top) {
        auto* l = new TLabel(form.get());
        l->SetParent(form.get());
        l->SetBounds(12, top + 4, 80, 17);
        l->SetCaption(text);
    };
    auto combo = [&](TColor value, int top) {
        auto* c = new controls::TColorComboBox(form.get());
        c->SetParent(form.get());
        c->SetBounds(100, top, 140, 21);
        c->SetColorValue(value);
        return c;
    };
    label("Credit rows", 12);
    combo(clGreen, 12);
    label("Debit rows", 44);
    controls::TColorComboBox* debit = combo(clMaroon, 44);
    form->Show();
    debit->SetFocus();
    debit->SetDroppedDown(true);
    COMBOBOXINFO info;
    SendMessage(debit->Handle(), CB_GETCOMBOBOXINFO, 0, LPARAM(&info));
    const bool ok = SaveComposed(form.get(), {info.hwndList}, folder + "/colour-combo.png");
    debit->SetDroppedDown(false);
    return ok;
}

bool FolderDialog(const std::string& folder) {
    namespace fs = std::filesystem;
    // A few folders of its own, in a temporary place, gone afterwards.
    std::string scratch = (fs::temp_directory_path() / "corvanta-folders-XXXXXX").string();
    if (!mkdtemp(scratch.data())) return false;
    struct Gone {
        std::string path;
        ~Gone() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } gone{scratch};
    std::error_code ec;
    for (const char* sub : {"Corvanta/Backups/2025", "Corvanta/Backups/2026", "Corvanta/Statements"})
        fs::create_directories(scratch + "/" + sub, ec);
    const std::optional<ItemIdList> root = ItemFromPath(scratch + "/Corvanta");
    if (!root) return false;
    bool ok = false;
    BROWSEINFO bi;
    bi.pidlRoot = &*root;
    bi.lpszTitle = "Back up to folder";
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    bi.lpfn = [&](HWND dialog, UINT msg, LPARAM, LPARAM) {
        if (msg != BFFM_INITIALIZED) return 0;
        if (const auto chosen = ItemFromPath(root->path + "/Backups/2026"))
            SendMessage(dialog, BFFM_SETSELECTION, 0, LPARAM(&*chosen));
        SendMessage(dialog, BFFM_SETSTATUSTEXT, 0, LPARAM("Backups/2026"));
        // Taken once the dialog is shown and painted, then closed.
        SetTimer(0, 0, 10, [&, dialog](HWND, UINT id) {
            KillTimer(0, id);
            auto* form = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(dialog));
            ok = form && SaveComposed(form, {}, folder + "/folder-dialog.png");
            PostMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), LPARAM(GetDlgItem(dialog, IDCANCEL)));
        });
        return 0;
    };
    SHBrowseForFolder(bi);
    return ok;
}

}  // namespace

bool WriteComboPictures(const std::string& folder) { return ColourCombo(folder) && FolderDialog(folder); }
