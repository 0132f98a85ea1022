// The dialog for choosing a folder, made of the class library's form, labels,
// buttons and the tree of folders.
#include "framework/ui/folder_dialog.hpp"

#include <filesystem>

#include "framework/ui/folder_tree.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/codepage.hpp"
#include "platform/msgbox.hpp"

namespace ui {

namespace {

constexpr int kWidth = 320, kHeight = 305;  // the client area; an added button fits at (12, 270)

class TFolderDialog : public TForm {
public:
    explicit TFolderDialog(BROWSEINFO& bi) : TForm(nullptr), bi_(bi) {
        SetBorderStyle(bsDialog);
        SetBorderIcons(biSystemMenu);
        SetCaption(kBrowseCaption);
        SetBounds(0, 0, kWidth, kHeight);
        auto* title = Add<TLabel>(12, 8, kWidth - 24, 30);
        title->WordWrap = true;
        title->SetAutoSize(false);
        title->ShowAccelChar = false;
        title->SetCaption(bi.lpszTitle);
        int tree_top = 42;
        if (bi.ulFlags & BIF_STATUSTEXT) {
            status_ = Add<TLabel>(12, 40, kWidth - 24, 16);
            status_->SetAutoSize(false);
            status_->ShowAccelChar = false;
            tree_top = 58;
        }
        tree_ = Add<TFolderTree>(12, tree_top, kWidth - 24, 260 - tree_top);
        tree_->TabOrder = 0;
        tree_->OnChange = [this](TObject*) { SelectionMoved(); };
        tree_->OnProblem = [](const std::string& message) {
            platform::ShowMessageBox(message, kBrowseCaption, platform::kMbOk | platform::kMbIconWarning);
        };
        ok_ = Add<TButton>(kWidth - 170, 270, 75, 23);
        ok_->SetCaption("OK");
        ok_->SetDefault(true);
        ok_->TabOrder = 1;
        auto* cancel = Add<TButton>(kWidth - 87, 270, 75, 23);
        cancel->SetCaption("Cancel");
        cancel->Cancel = true;
        cancel->TabOrder = 2;
        // OK and Cancel act on the dialog's WM_COMMAND, which a press of the
        // mouse sends and Enter and Escape send here, so that a routine
        // watching the dialog's commands sees each.
        for (TButton* b : {ok_, cancel})
            b->OnClick = [this, b](TObject*) {
                SendMessage(Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b->Handle()), BN_CLICKED),
                            LPARAM(b->Handle()));
            };
        HandleNeeded();
        SetClientSize(kWidth, kHeight);  // the frame is known once the window is there
        SetWindowLongPtr(ok_->Handle(), GWLP_ID, IDOK);
        SetWindowLongPtr(cancel->Handle(), GWLP_ID, IDCANCEL);
        SetWindowLongPtr(tree_->Handle(), GWLP_ID, kFolderTreeId);
        SetActiveControl(tree_);
        tree_->SetRoot(bi.pidlRoot ? std::optional<ItemIdList>(*bi.pidlRoot) : std::nullopt);
    }

    std::string ClassName() const override { return "TFolderDialog"; }

    // Centres the dialog over its owner (or the screen), then tells the
    // routine it is ready.
    void Initialize() {
        const TRect over = bi_.hwndOwner && IsWindow(bi_.hwndOwner) ? GetWindowRect(bi_.hwndOwner)
                                                                    : TRect{0, 0, Screen().Width(), Screen().Height()};
        const TRect me = GetWindowRect(Handle());
        SetBounds(over.left + (over.Width() - me.Width()) / 2, over.top + (over.Height() - me.Height()) / 2, me.Width(),
                  me.Height());
        told_ = false;
        initialized_ = true;
        if (bi_.lpfn) bi_.lpfn(Handle(), BFFM_INITIALIZED, 0, bi_.lParam);
        // The routine hears of the first selection unless it made one itself.
        if (!told_) SelectionMoved();
    }

    const TFolderTree::Node* Chosen() const { return tree_->Selected(); }

    void WndProc(TMessage& m) override {
        switch (m.Msg) {
        case WM_COMMAND:
            if ((m.WParam >> 16) == BN_CLICKED && (m.WParam & 0xFFFF) == IDOK) return Confirm();
            if ((m.WParam >> 16) == BN_CLICKED && (m.WParam & 0xFFFF) == IDCANCEL) return SetModalResult(mrCancel);
            break;
        case BFFM_SETSTATUSTEXT:
            if (status_) status_->SetCaption(m.LParam ? reinterpret_cast<const char*>(m.LParam) : "");
            return;
        case BFFM_ENABLEOK: ok_->SetEnabled(m.LParam != 0); return;
        case BFFM_SETSELECTION:
            if (m.WParam && m.LParam) {
                m.Result = tree_->SelectPath(platform::AnsiToUtf8(reinterpret_cast<const char*>(m.LParam)));
            } else if (const auto* item = reinterpret_cast<const ItemIdList*>(m.LParam)) {
                if (item->kind == ItemIdList::Kind::Folder)
                    m.Result = tree_->SelectPath(item->path);
                else if (tree_->Root() && item->kind == tree_->Root()->item.kind)
                    tree_->Select(const_cast<TFolderTree::Node*>(tree_->Root())), m.Result = 1;
            }
            return;
        default: break;
        }
        TForm::WndProc(m);
    }

    void CreateParams(ui::CreateParams& p) override {
        TForm::CreateParams(p);
        if (bi_.hwndOwner && IsWindow(bi_.hwndOwner)) p.owner = GetAncestorRoot(bi_.hwndOwner);
    }

private:
    template <class T>
    T* Add(int x, int y, int w, int h) {
        auto* c = new T(this);
        c->SetParent(this);
        c->SetBounds(x, y, w, h);
        return c;
    }

    // What OK may choose with the dialog's flags.
    bool Allowed(const ItemIdList& item) const {
        std::string path;
        if (bi_.ulFlags & BIF_BROWSEFORPRINTER) return false;
        if (bi_.ulFlags & BIF_BROWSEFORCOMPUTER) return item.kind == ItemIdList::Kind::Computer;
        if (bi_.ulFlags & (BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS)) return SHGetPathFromIDList(item, path);
        return true;
    }

    void SelectionMoved() {
        const TFolderTree::Node* n = tree_->Selected();
        if (!n) return;
        ok_->SetEnabled(Allowed(n->item));
        if (!initialized_) return;
        told_ = true;
        if (bi_.lpfn) bi_.lpfn(Handle(), BFFM_SELCHANGED, LPARAM(&n->item), bi_.lParam);
    }

    void Confirm() {
        const TFolderTree::Node* n = tree_->Selected();
        if (!n || !Allowed(n->item)) return;
        std::error_code ec;
        if (n->item.kind == ItemIdList::Kind::Folder && !std::filesystem::is_directory(n->item.path, ec)) {
            // Removed while the dialog was open: say so, and let the user choose again.
            platform::ShowMessageBox("The folder \"" + platform::Utf8ToAnsi(n->item.path) + "\" no longer exists.",
                                     kBrowseCaption, platform::kMbOk | platform::kMbIconWarning);
            tree_->RemoveNode(const_cast<TFolderTree::Node*>(n));
            return;
        }
        SetModalResult(mrOk);
    }

    BROWSEINFO& bi_;
    TFolderTree* tree_ = nullptr;
    TLabel* status_ = nullptr;
    TButton* ok_ = nullptr;
    bool initialized_ = false, told_ = false;
};

}  // namespace

std::optional<ItemIdList> SHBrowseForFolder(BROWSEINFO& bi) {
    auto dialog = Make<TFolderDialog>(bi);
    // The owner waits from the start, while the routine sets the dialog up too.
    const HWND owner = bi.hwndOwner && IsWindowEnabled(bi.hwndOwner) ? GetAncestorRoot(bi.hwndOwner) : 0;
    if (owner) EnableWindow(owner, false);
    dialog->Initialize();
    const int result = dialog->ShowModal();
    if (owner) EnableWindow(owner, true);
    if (result != mrOk || !dialog->Chosen()) return std::nullopt;
    ItemIdList chosen = dialog->Chosen()->item;
    if (bi.pszDisplayName) *bi.pszDisplayName = chosen.name;
    bi.iImage = chosen.kind == ItemIdList::Kind::Folder ? 0 : chosen.kind == ItemIdList::Kind::Computer ? 1 : 2;
    return chosen;
}

}  // namespace ui
