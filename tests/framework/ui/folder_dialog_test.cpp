// The dialog for choosing a folder: run modally, driven through its routine
// and by injected keys and clicks.
#include <filesystem>
#include <string>
#include <vector>

#include "framework/ui/folder_dialog.hpp"
#include "framework/ui/folder_tree.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/codepage.hpp"
#include "tests/support/fake_home.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

using testing_ui::QueueKey;

namespace fs = std::filesystem;

class FolderDialogTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        money = home.Folder("Documents/Money");
        home.Folder("Documents/Letters");
        home.WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
        owner = ui::Make<TForm>(nullptr);
        owner->SetBounds(100, 100, 400, 300);
        owner->Show();
        Pump();
        bi.hwndOwner = owner->Handle();
        bi.pszDisplayName = &display;
        bi.lpszTitle = "Choose the backup folder";
        bi.lpfn = [this](HWND dialog, UINT msg, LPARAM param, LPARAM) {
            this->dialog = dialog;
            if (msg == BFFM_INITIALIZED) {
                heard.push_back("ready");
                owner_enabled = IsWindowEnabled(owner->Handle());
                if (on_ready) on_ready();
            }
            if (msg == BFFM_SELCHANGED) heard.push_back(reinterpret_cast<const ItemIdList*>(param)->name);
            return 0;
        };
    }
    bool Select(const std::string& host_path) {
        const std::string ansi = platform::Utf8ToAnsi(host_path);
        return SendMessage(dialog, BFFM_SETSELECTION, 1, LPARAM(ansi.c_str())) != 0;
    }
    // The caption of the dialog's status line.
    std::string Status() {
        for (TControl* c : TWinControl::FromHandle(dialog)->Controls())
            if (c->Top() == 40 && dynamic_cast<TLabel*>(c)) return c->Caption();
        return "(none)";
    }

    testing_support::FakeHome home;
    std::string money, display;
    Owned<TForm> owner;
    BROWSEINFO bi;
    HWND dialog = 0;
    std::vector<std::string> heard;
    std::function<void()> on_ready;
    bool owner_enabled = true;
};

TEST_F(FolderDialogTest, APreselectedFolderIsChosenWithEnter) {
    on_ready = [&] {
        EXPECT_TRUE(Select(money));
        QueueKey(VK_RETURN);
    };
    const auto chosen = SHBrowseForFolder(bi);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, money);
    EXPECT_EQ(display, "Money");
    EXPECT_EQ(bi.iImage, 0);
    EXPECT_EQ(heard, (std::vector<std::string>{"ready", "Money"}));
    EXPECT_FALSE(owner_enabled) << "the owner waits while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
    EXPECT_FALSE(IsWindow(dialog)) << "the dialog is gone afterwards";
}

TEST_F(FolderDialogTest, CancellingChoosesNothing) {
    for (UINT how : {UINT(VK_ESCAPE), UINT(0)}) {
        heard.clear();
        on_ready = [&] {
            if (how) {
                QueueKey(how);
                return;
            }
            const TRect cancel = GetWindowRect(GetDlgItem(dialog, IDCANCEL));
            InjectMouse(MouseAction::Down, MouseButton::Left, {cancel.left + 5, cancel.top + 5});
            InjectMouse(MouseAction::Up, MouseButton::Left, {cancel.left + 5, cancel.top + 5});
        };
        EXPECT_FALSE(SHBrowseForFolder(bi)) << how;
        EXPECT_EQ(heard, (std::vector<std::string>{"ready", "Desktop"})) << "the first selection is told too";
    }
}

TEST_F(FolderDialogTest, OkFollowsTheFlagsAndTheRoutine) {
    const std::string foreign = home.Folder("Documents/Копии");
    const auto documents = ItemFromPath(home.Home() + "/Documents");
    bi.pidlRoot = &*documents;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    struct Probe {
        std::string what;
        bool ok_enabled;
    };
    std::vector<Probe> seen;
    on_ready = [&] {
        auto ok = [&] { return IsWindowEnabled(GetDlgItem(dialog, IDOK)); };
        seen.push_back({"root", ok()});
        // The program cannot even spell it in ANSI; the routine selects it by its item.
        const auto item = ItemFromPath(foreign);
        SendMessage(dialog, BFFM_SETSELECTION, 0, LPARAM(&*item));
        seen.push_back({"a name the program could not use", ok()});
        Select(money);
        seen.push_back({"a folder", ok()});
        SendMessage(dialog, BFFM_ENABLEOK, 0, 0);
        seen.push_back({"after BFFM_ENABLEOK 0", ok()});
        SendMessage(dialog, BFFM_SETSTATUSTEXT, 0, LPARAM("/home/.../Money"));
        EXPECT_EQ(Status(), "/home/.../Money");
        QueueKey(VK_RETURN);  // nothing: OK is disabled
        QueueKey(VK_ESCAPE);
    };
    EXPECT_FALSE(SHBrowseForFolder(bi));
    ASSERT_EQ(seen.size(), 4u);
    for (const Probe& p : seen) EXPECT_EQ(p.ok_enabled, p.what == "root" || p.what == "a folder") << p.what;
    EXPECT_EQ(heard.front(), "ready");
    EXPECT_EQ(heard.size(), 3u) << "the root's selection is not told again after the routine chose one";
}

TEST_F(FolderDialogTest, AFolderRemovedWhileTheDialogIsOpen) {
    on_ready = [&] {
        Select(money);
        fs::remove(money);
        QueueKey(VK_RETURN);  // refused: the folder is gone; its parent is selected instead
        QueueKey(VK_RETURN);
    };
    const auto chosen = SHBrowseForFolder(bi);
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "The folder \"" + money + "\" no longer exists.");
    EXPECT_EQ(box_.shown[0].caption, kBrowseCaption);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, home.Home() + "/Documents");
}

TEST_F(FolderDialogTest, AButtonAddedByTheRoutineReportsToTheDialog) {
    std::vector<int> commands;
    on_ready = [&] {
        CreateParams p;
        p.class_name = "BUTTON";
        p.caption = "Extra";
        p.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        p.parent = dialog;
        p.rect = Bounds(12, 270, 75, 23);
        p.id = 255;
        const HWND extra = CreateWindow(p);
        SubclassWindow(dialog, [&](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) -> LRESULT {
            if (m == WM_COMMAND) commands.push_back(int(w & 0xFFFF));
            return next(h, m, w, l);
        });
        EXPECT_TRUE(GetClientRect(dialog).Contains({12 + 74, 270 + 22})) << "it fits in the dialog";
        const TRect r = GetWindowRect(extra);
        InjectMouse(MouseAction::Down, MouseButton::Left, {r.left + 5, r.top + 5});
        InjectMouse(MouseAction::Up, MouseButton::Left, {r.left + 5, r.top + 5});
        QueueKey(VK_RETURN);
    };
    ASSERT_TRUE(SHBrowseForFolder(bi));
    EXPECT_EQ(commands, (std::vector<int>{255, IDOK}));
    EXPECT_EQ(display, "Desktop");
    EXPECT_EQ(bi.iImage, 2);
}

TEST_F(FolderDialogTest, TheDialogInPixels) {
    bi.ulFlags = BIF_STATUSTEXT;
    std::function<void()> check;
    on_ready = [&] {
        Select(money);
        SendMessage(dialog, BFFM_SETSTATUSTEXT, 0, LPARAM("Documents/Money"));
        // Looked at once it is shown and painted.
        SetTimer(0, 0, 10, [&](HWND, UINT id) {
            KillTimer(0, id);
            check();
        });
    };
    check = [&] {
        const TRect c = GetClientRect(dialog);
        const TRect ok = GetWindowRect(GetDlgItem(dialog, IDOK));
        EXPECT_EQ(ok.bottom - ClientToScreen(dialog, {0, 0}).y, 293);
        EXPECT_LE(ok.right, ClientToScreen(dialog, {c.right, 0}).x - 12);
        // The chosen folder is highlighted in the tree, which has the focus.
        auto* tree = dynamic_cast<TFolderTree*>(TWinControl::FromHandle(GetDlgItem(dialog, kFolderTreeId)));
        ASSERT_NE(tree, nullptr);
        ASSERT_EQ(tree->Selected()->item.path, money);
        int row = 0;
        while (tree->Rows()[size_t(row)] != tree->Selected()) ++row;
        const TRect r = tree->RowRect(row);
        const TPoint at = tree->ClientToScreen({2 + tree->Selected()->level * 19 + 19 + 16 + 3, r.top + 2});
        const TRect w = GetWindowRect(dialog);
        EXPECT_EQ(GetWindowSurface(dialog)->Pixel(at.x - w.left, at.y - w.top), GetSysColor(COLOR_HIGHLIGHT));
        testing_ui::SavePicture(dialog, "folder_dialog");
        QueueKey(VK_ESCAPE);
    };
    SHBrowseForFolder(bi);
    EXPECT_NE(dialog, 0u);
}

}  // namespace
}  // namespace ui
