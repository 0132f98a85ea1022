// The folder picker: Execute with a preselected folder, the root, the status
// line, OK for folders only, the custom push button or check box, long paths
// and names beyond ASCII; ShortenPath.
#include "controls/browsefolder.hpp"

#include <filesystem>
#include <string>
#include <vector>

#include "framework/ui/button_box.hpp"
#include "framework/ui/folder_tree.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/codepage.hpp"
#include "tests/support/fake_home.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls {
namespace {

using namespace ui;
using testing_ui::QueueKey;
namespace fs = std::filesystem;

TEST(ShortenPathTest, ComponentsAfterTheFillerGoOneAtATime) {
    struct Case {
        std::string path;
        char separator;
        std::string shortened;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Some Vendor\\Some Product\\Data\\Backups", '\\', "C:\\...\\Some Product\\Data\\Backups"},
        {"/home/anna/Documents/Finance/Backups/2024", '/', "/.../Documents/Finance/Backups/2024"},
        {"/home/anna/Documents/Finances and taxes/Backups", '/', "/.../Finances and taxes/Backups"},
        {"/home/anna/short", '/', "/home/anna/short"},                                                  // fits
        {"/a-very-long-folder-name-of-more-than-35", '/', "/a-very-long-folder-name-of-more-than-35"},  // two parts
        {"/x/an-even-longer-folder-name-over-thirty-five", '/', "/.../an-even-longer-folder-name-over-thirty-five"},
        // Down to three parts when that is what it takes, and no further.
        {"/home/anna/a/the-last-folder-is-long-by-itself-alone", '/', "/.../the-last-folder-is-long-by-itself-alone"},
    };
    for (const Case& c : cases) EXPECT_EQ(ShortenPath(c.path, c.separator), c.shortened) << c.path;
}

class BrowseFolderTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        money = home.Folder("Documents/Money");
        home.Folder("Documents/Letters");
        home.WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
        form = ui::Make<TForm>(nullptr);
        form->SetBounds(100, 80, 600, 400);
        form->Show();
        Pump();
        picker = new TBrowseFolder(form.get());
        picker->OnSelectionChanged = [this](TObject*, HWND, const std::string& path, const ItemIdList*) {
            paths.push_back(path);
        };
        picker->OnInitialized = [this](TObject* sender, HWND dialog) {
            EXPECT_EQ(sender, picker);
            this->dialog = dialog;
            if (script) script();
        };
    }
    static void ClickAt(HWND h) {
        const TRect r = GetWindowRect(h);
        InjectMouse(MouseAction::Down, MouseButton::Left, {r.left + 5, r.top + 5});
        InjectMouse(MouseAction::Up, MouseButton::Left, {r.left + 5, r.top + 5});
    }
    bool OkEnabled() const { return IsWindowEnabled(GetDlgItem(dialog, IDOK)); }
    TFolderTree* Tree() const {
        return dynamic_cast<TFolderTree*>(TWinControl::FromHandle(GetDlgItem(dialog, kFolderTreeId)));
    }
    // Runs `then` once the dialog has been shown and every message so far handled.
    static void Later(const std::function<void()>& then) {
        SetTimer(0, 0, 10, [then](HWND, UINT id) {
            KillTimer(0, id);
            then();
        });
    }
    std::string Status() const {
        for (TControl* c : TWinControl::FromHandle(dialog)->Controls())
            if (c->Top() == 40 && dynamic_cast<TLabel*>(c)) return c->Caption();
        return "(no status line)";
    }

    testing_support::FakeHome home;
    std::string money;
    Owned<TForm> form;
    TBrowseFolder* picker = nullptr;
    HWND dialog = 0;
    std::vector<std::string> paths;
    std::function<void()> script;
};

TEST_F(BrowseFolderTest, APreselectedFolderChosenWithOk) {
    picker->Directory = money;
    picker->Title = "Back up to";
    picker->ShowPathInStatusArea = true;
    std::string status;
    script = [&] {
        status = Status();
        QueueKey(VK_RETURN);
    };
    ASSERT_TRUE(picker->Execute());
    EXPECT_EQ(picker->Directory, money);
    EXPECT_EQ(picker->CurrentPath(), money);
    EXPECT_EQ(picker->ImageIndex(), 0);
    EXPECT_EQ(status, ShortenPath(money));
    EXPECT_EQ(paths.back(), money);
    EXPECT_EQ(picker->DialogHandle(), 0u) << "no dialog once it has ended";
}

TEST_F(BrowseFolderTest, CancelAndAMissingFolder) {
    picker->Directory = home.Home() + "/Documents/Nowhere";
    script = [&] {
        EXPECT_EQ(Tree()->Selected(), Tree()->Root()) << "no preselection: the root";
        QueueKey(VK_ESCAPE);
    };
    EXPECT_FALSE(picker->Execute());
    EXPECT_EQ(picker->Directory, home.Home() + "/Documents/Nowhere") << "cancelling leaves it";
}

TEST_F(BrowseFolderTest, TheDialogSitsOnTheForegroundWindowAndTheRootIsTheSpecialFolder) {
    picker->RootFolder = foPersonal;
    TRect where;
    script = [&] {
        where = GetWindowRect(dialog);
        EXPECT_EQ(Tree()->Root()->item.path, home.Home() + "/Documents");
        QueueKey(VK_ESCAPE);
    };
    picker->Execute();
    const TRect f = GetWindowRect(form->Handle());
    EXPECT_EQ(where.left, f.left + (f.Width() - where.Width()) / 2);
    EXPECT_EQ(where.top, f.top + f.Height() / 4);
}

TEST_F(BrowseFolderTest, VirtualItemsDisableOkAndTheSynchronisedButton) {
    home.Folder("Desktop");  // the desktop is a folder then, the computer is not
    picker->CustomButtonVisible = true;
    picker->SetCustomButtonCaption("New");
    picker->SyncCustomButton = true;
    picker->Flags = bfStatusText;  // without bfFileSysDirsOnly: the picker itself keeps OK to folders
    picker->ShowPathInStatusArea = true;
    struct Seen {
        std::string at;
        bool ok, custom;
        std::string status;
    };
    std::vector<Seen> seen;
    script = [&] {
        const HWND custom = GetDlgItem(dialog, kCustomButtonId);
        auto look = [&, custom](const std::string& at) {
            seen.push_back({at, OkEnabled(), IsWindowEnabled(custom) && picker->CustomButtonEnabled(), Status()});
        };
        Later([&, look] {
            look("desktop");
            QueueKey(VK_END);  // the computer, the last of the desktop's items
            Later([&, look] {
                look("computer");
                QueueKey(VK_HOME);
                Later([&, look] {
                    look("desktop again");
                    QueueKey(VK_ESCAPE);
                });
            });
        });
    };
    picker->Execute();
    ASSERT_EQ(seen.size(), 3u);
    for (const Seen& s : seen) {
        const bool folder = s.at != "computer";
        EXPECT_EQ(s.ok, folder) << s.at;
        EXPECT_EQ(s.custom, folder) << s.at;
        EXPECT_EQ(s.status.empty(), !folder) << s.at;
    }
}

TEST_F(BrowseFolderTest, TheCustomPushButton) {
    picker->CustomButtonVisible = true;
    picker->SetCustomButtonCaption("&Make folder");
    picker->SetCustomButtonWidth(0);
    int clicks = 0;
    picker->OnCustomButtonClick = [&](TObject*, HWND d) {
        EXPECT_EQ(d, dialog);
        ++clicks;
        // Changed while the dialog is open: the button follows.
        picker->SetCustomButtonCaption("Again");
        picker->SetCustomButtonWidth(120);
        picker->SetCustomButtonEnabled(false);
    };
    script = [&] {
        const HWND custom = GetDlgItem(dialog, kCustomButtonId);
        ASSERT_NE(custom, 0u);
        EXPECT_EQ(GetWindowRect(custom).Width(), kCustomButtonWidth);
        const TPoint origin = ClientToScreen(dialog, {0, 0});
        EXPECT_EQ(GetWindowRect(custom).left - origin.x, 12);
        EXPECT_EQ(GetWindowRect(custom).top - origin.y, 270);
        ClickAt(custom);
        Later([&, custom] {
            EXPECT_EQ(clicks, 1);
            EXPECT_EQ(GetWindowText(custom), "Again");
            EXPECT_EQ(GetWindowRect(custom).Width(), 120);
            EXPECT_FALSE(IsWindowEnabled(custom));
            EXPECT_TRUE(IsWindowVisible(dialog)) << "the button's press does not end the dialog";
            testing_ui::SavePicture(dialog, "folder-picker");
            QueueKey(VK_ESCAPE);
        });
    };
    picker->Execute();
    EXPECT_EQ(clicks, 1);
}

TEST_F(BrowseFolderTest, TheCustomCheckBoxIsTakenBackWithOkOnly) {
    picker->CustomButtonVisible = true;
    picker->CustomButtonType = btCheckBox;
    picker->SetCustomButtonCaption("Every table");
    picker->CustomButtonChecked = true;
    picker->Directory = money;
    for (UINT end : {UINT(VK_ESCAPE), UINT(VK_RETURN)}) {
        script = [&, end] {
            const HWND box = GetDlgItem(dialog, kCustomButtonId);
            EXPECT_EQ(SendMessage(box, BM_GETCHECK), BST_CHECKED);
            ClickAt(box);  // unticks it
            Later([&, box, end] {
                EXPECT_EQ(SendMessage(box, BM_GETCHECK), BST_UNCHECKED);
                QueueKey(end);
            });
        };
        picker->Execute();
        EXPECT_EQ(picker->CustomButtonChecked, end == VK_ESCAPE) << "Escape keeps the old state";
    }
}

TEST_F(BrowseFolderTest, LongPathsAndNamesBeyondAscii) {
    // Deeper than 260 characters: the whole path comes back.
    std::string deep = "Documents";
    while (deep.size() < 300) deep += "/a folder with a fairly long name";
    const std::string long_path = home.Folder(deep);
    ASSERT_GT(long_path.size(), 260u);
    const std::string latin = home.Folder("Documents/Sauvegardes été");
    const std::string cyrillic = home.Folder("Documents/Копии");
    struct Case {
        std::string folder;
        bool chosen;
    };
    for (const Case& c : {Case{long_path, true}, Case{latin, true}, Case{cyrillic, false}}) {
        picker->Directory = platform::Utf8ToAnsi(money);
        script = [&] {
            // Selected in the tree by the user (the program could not name the last one).
            const auto chain = PathFromRoot(Tree()->Root()->item, c.folder);
            ASSERT_FALSE(chain.empty());
            ASSERT_TRUE(Tree()->SelectPath(c.folder));
            EXPECT_EQ(OkEnabled(), c.chosen) << c.folder;
            QueueKey(VK_RETURN);
            if (!c.chosen) QueueKey(VK_ESCAPE);
        };
        EXPECT_EQ(picker->Execute(), c.chosen) << c.folder;
        // Chosen: the whole path; not: Directory as it was.
        EXPECT_EQ(platform::AnsiToUtf8(picker->Directory), c.chosen ? c.folder : money);
    }
}

}  // namespace
}  // namespace controls
