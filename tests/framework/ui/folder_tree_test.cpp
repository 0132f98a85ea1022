// The shell's namespace of folders (the XDG user directories, special
// folders, folders read from disk, names in the ANSI page) and the tree view
// that shows it.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/ui/folder_tree.hpp"
#include "framework/ui/forms.hpp"
#include "platform/codepage.hpp"
#include "tests/support/fake_home.hpp"
#include "tests/support/ui_fixture.hpp"

namespace ui {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<ItemIdList>& items) {
    std::vector<std::string> out;
    out.reserve(items.size());
    for (const ItemIdList& i : items) out.push_back(i.name);
    return out;
}

TEST(UserDirsTest, TheFileOfTheXdgUserDirectories) {
    struct Case {
        const char* text;
        const char* documents;
        const char* desktop;
    };
    const Case cases[] = {
        {"", "/h", "/h/Desktop"},  // nothing named: home, and Desktop inside it
        {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/h/Docs", "/h/Desktop"},
        {"# XDG_DOCUMENTS_DIR=\"$HOME/No\"\n  XDG_DESKTOP_DIR=\"/srv/desk/\"", "/h", "/srv/desk"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Files\\\"\"", "/h/My \"Files\"", "/h/Desktop"},
        {"XDG_DOCUMENTS_DIR=\"relative/path\"", "/h", "/h/Desktop"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/unterminated", "/h", "/h/Desktop"},
        {"XDG_DOCUMENTS_DIR=$HOME/Unquoted", "/h", "/h/Desktop"},
        {"XDG_DOCUMENTS_DIR = \"$HOME\"", "/h", "/h/Desktop"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Dokumente été\"\r", "/h/Dokumente été", "/h/Desktop"},
    };
    for (const Case& c : cases) {
        const UserDirs d = ParseUserDirs(c.text, "/h");
        EXPECT_EQ(d.documents, c.documents) << c.text;
        EXPECT_EQ(d.desktop, c.desktop) << c.text;
        EXPECT_EQ(d.downloads, "/h") << c.text;
    }
}

class ShellFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        docs = home.Folder("Documents");
        downloads = home.Folder("Downloads");
        desk = home.Folder("Bureau");
        home.WriteUserDirs(
            "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
            "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_TEMPLATES_DIR=\"$HOME/Missing\"\n");
    }
    testing_support::FakeHome home;
    std::string docs, downloads, desk;
};

TEST_F(ShellFoldersTest, SpecialFoldersMapToTheDesktopsOwn) {
    home.Folder(".local/share/applications");
    struct Case {
        int csidl;
        std::optional<std::string> path;  // none: no such folder
    };
    const Case cases[] = {
        {CSIDL_PERSONAL, docs},          {CSIDL_DESKTOPDIRECTORY, desk},
        {CSIDL_PROFILE, home.Home()},    {CSIDL_PROGRAMS, home.Home() + "/.local/share/applications"},
        {CSIDL_TEMPLATES, std::nullopt},                                  // named, but not there
        {CSIDL_FONTS, std::nullopt},     {CSIDL_PRINTERS, std::nullopt},  // nothing of the kind on the desktop
        {CSIDL_NETWORK, std::nullopt},   {CSIDL_RECENT, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto item = SHGetSpecialFolderLocation(c.csidl);
        ASSERT_EQ(item.has_value(), c.path.has_value()) << c.csidl;
        if (item) {
            EXPECT_EQ(item->path, *c.path) << c.csidl;
        }
    }
    const auto desktop = SHGetSpecialFolderLocation(CSIDL_DESKTOP);
    ASSERT_TRUE(desktop);
    EXPECT_EQ(desktop->kind, ItemIdList::Kind::Desktop);
    EXPECT_EQ(desktop->path, desk) << "the desktop's path is the desktop folder";
    const auto computer = SHGetSpecialFolderLocation(CSIDL_DRIVES);
    ASSERT_TRUE(computer);
    std::string path;
    EXPECT_FALSE(SHGetPathFromIDList(*computer, path)) << "the computer has no path";
}

TEST_F(ShellFoldersTest, TheDesktopHoldsTheUsersFoldersTheComputerAndItsOwnFolders) {
    home.Folder("Bureau/zeta");
    home.Folder("Bureau/Alpha");
    home.Folder("Bureau/.hidden");
    std::ofstream(desk + "/a file.txt") << "x";
    const ShellChildren top = EnumerateFolders(*SHGetSpecialFolderLocation(CSIDL_DESKTOP));
    EXPECT_FALSE(top.error);
    EXPECT_EQ(Names(top.items),
              (std::vector<std::string>{"Home", "Documents", "Downloads", "Computer", "Alpha", "zeta"}));
    const ShellChildren computer = EnumerateFolders(top.items[3]);
    ASSERT_EQ(computer.items.size(), 1u);
    EXPECT_EQ(computer.items[0].path, "/");
    EXPECT_EQ(computer.items[0].name, "File System");
    // Downloads the same as home is not shown twice.
    home.WriteUserDirs("XDG_DOWNLOAD_DIR=\"$HOME\"\n");
    EXPECT_EQ(Names(EnumerateFolders(*SHGetSpecialFolderLocation(CSIDL_DESKTOP)).items),
              (std::vector<std::string>{"Home", "Computer"}));
}

TEST_F(ShellFoldersTest, NamesWithBlanksAndLettersBeyondAscii) {
    const std::string latin = home.Folder("Documents/Sauvegardes été");
    const std::string cyrillic = home.Folder("Documents/Копии");
    const ShellChildren found = EnumerateFolders(*ItemFromPath(docs));
    ASSERT_EQ(found.items.size(), 2u);
    const ItemIdList& a = found.items[0].path == latin ? found.items[0] : found.items[1];
    const ItemIdList& b = found.items[0].path == latin ? found.items[1] : found.items[0];
    EXPECT_EQ(a.name, platform::Utf8ToAnsi("Sauvegardes été"));
    std::string ansi;
    ASSERT_TRUE(SHGetPathFromIDList(a, ansi));
    EXPECT_EQ(platform::AnsiToUtf8(ansi), latin) << "the ANSI path leads back to the folder";
    EXPECT_EQ(b.name, "?????");
    EXPECT_FALSE(SHGetPathFromIDList(b, ansi)) << "a path the ANSI page cannot spell is no path for the program";
}

TEST_F(ShellFoldersTest, TheWayDownFromARootToAFolder) {
    const std::string deep = home.Folder("Documents/Money/2024");
    const std::string outside = home.Folder("../elsewhere/x");
    const ItemIdList desktop = *SHGetSpecialFolderLocation(CSIDL_DESKTOP);
    struct Case {
        std::optional<ItemIdList> root;
        std::string target;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {desktop, deep, {"Desktop", "Documents", "Money", "2024"}},
        {desktop, home.Home() + "/Documents/./Money/../Money", {"Desktop", "Documents", "Money"}},
        {desktop, desk, {"Desktop"}},
        {desktop, fs::path(outside).lexically_normal().string(),
         [&] {
             std::vector<std::string> n{"Desktop", "Computer", "File System"};
             for (const auto& part : fs::path(outside).lexically_normal().relative_path()) n.push_back(part.string());
             return n;
         }()},
        {ItemFromPath(docs), deep, {"Documents", "Money", "2024"}},
        {ItemFromPath(docs), downloads, {}},             // not below the root
        {desktop, home.Folder(".hidden/inside"), {}},    // hidden folders are not shown
        {desktop, home.Home() + "/Documents/Nope", {}},  // no such folder
    };
    for (const Case& c : cases) EXPECT_EQ(Names(PathFromRoot(*c.root, c.target)), c.names) << c.target;
}

class FolderTreeTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        home.Folder("Documents/Money/2023");
        home.Folder("Documents/Money/2024");
        home.Folder("Documents/Letters");
        home.WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
        form = ui::Make<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 300, 300);
        tree = new TFolderTree(form.get());
        tree->SetParent(form.get());
        tree->SetBounds(10, 10, 250, 150);
        tree->OnChange = [this](TObject*) { ++changes; };
        tree->OnProblem = [this](const std::string& m) { problems.push_back(m); };
        form->Show();
        tree->SetRoot(ItemFromPath(home.Home() + "/Documents"));
        tree->SetFocus();
        Pump();
    }
    void Key(UINT vk) {
        InjectKey(vk, true);
        InjectKey(vk, false);
        Pump();
    }
    std::vector<std::string> RowNames() const {
        std::vector<std::string> out;
        for (const auto* n : tree->Rows()) out.push_back(n->item.name);
        return out;
    }
    std::string SelectedName() const { return tree->Selected() ? tree->Selected()->item.name : ""; }
    COLORREF Pixel(TPoint client) {
        const TPoint s = tree->ClientToScreen(client);
        const TRect w = GetWindowRect(form->Handle());
        return GetWindowSurface(form->Handle())->Pixel(s.x - w.left, s.y - w.top);
    }
    testing_support::FakeHome home;
    Owned<TForm> form;
    TFolderTree* tree = nullptr;
    int changes = 0;
    std::vector<std::string> problems;
};

TEST_F(FolderTreeTest, KeysMoveExpandAndCollapse) {
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"Documents", "Letters", "Money"}));
    struct Step {
        UINT vk;
        std::string selected;
        size_t rows;
    };
    const Step steps[] = {
        {VK_DOWN, "Letters", 3},   {VK_DOWN, "Money", 3},     {VK_RIGHT, "Money", 5},  // opened
        {VK_RIGHT, "2023", 5},     {VK_END, "2024", 5},       {VK_LEFT, "Money", 5},   // to the parent
        {VK_LEFT, "Money", 3},     {VK_HOME, "Documents", 3},                          // closed
        {VK_LEFT, "Documents", 1},
    };
    for (const Step& s : steps) {
        Key(s.vk);
        EXPECT_EQ(SelectedName(), s.selected) << s.vk;
        EXPECT_EQ(tree->Rows().size(), s.rows) << s.vk;
    }
    InjectChar('+');
    InjectChar('m');
    Pump();
    EXPECT_EQ(SelectedName(), "Money");
    EXPECT_GT(changes, 5);
    EXPECT_TRUE(problems.empty());
}

TEST_F(FolderTreeTest, TheMouseSelectsAndOpensAndTheRowsInPixels) {
    const int letters = 1, money = 2;
    const TRect box = tree->ExpanderRect(money);
    ASSERT_FALSE(box.Empty());
    InjectMouse(MouseAction::Down, MouseButton::Left, tree->ClientToScreen({box.left + 4, box.top + 4}));
    InjectMouse(MouseAction::Up, MouseButton::Left, tree->ClientToScreen({box.left + 4, box.top + 4}));
    Pump();
    EXPECT_EQ(tree->Rows().size(), 5u) << "a click on the box opens the folder";
    EXPECT_EQ(SelectedName(), "Documents") << "and selects nothing";
    const TRect row = tree->RowRect(letters);
    const int text_left = 2 + 19 + 19 + 16 + 4;  // indent, the box's column, the picture and a gap
    const TPoint name{text_left + 3, (row.top + row.bottom) / 2};
    InjectMouse(MouseAction::Down, MouseButton::Left, tree->ClientToScreen(name));
    InjectMouse(MouseAction::Up, MouseButton::Left, tree->ClientToScreen(name));
    Pump();
    EXPECT_EQ(SelectedName(), "Letters");
    EXPECT_TRUE(tree->ExpanderRect(letters).Empty() == false) << "unread folders may hold folders";
    InjectMouse(MouseAction::DoubleClick, MouseButton::Left, tree->ClientToScreen(name));
    InjectMouse(MouseAction::Up, MouseButton::Left, tree->ClientToScreen(name));
    Pump();
    EXPECT_TRUE(tree->ExpanderRect(letters).Empty()) << "opened and found empty: no box";
    // The selected name is highlighted; the box of an open folder shows a minus only.
    EXPECT_EQ(Pixel({text_left - 1, row.top + 2}), GetSysColor(COLOR_HIGHLIGHT));
    const TRect open = tree->ExpanderRect(money);
    EXPECT_EQ(Pixel({open.left, open.top}), ColorToRGB(clGray));
    EXPECT_EQ(Pixel({open.left + 3, open.top + 4}), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(Pixel({open.left + 4, open.top + 2}), GetSysColor(COLOR_WINDOW));
    testing_ui::SavePicture(form->Handle(), "folder_tree");
}

TEST_F(FolderTreeTest, FoldersThatCannotBeReadOrAreGone) {
    const std::string money = home.Home() + "/Documents/Money";
    fs::remove_all(money + "/2023");
    fs::remove_all(money + "/2024");
    fs::remove(money);
    Key(VK_END);
    ASSERT_EQ(SelectedName(), "Money");
    Key(VK_RIGHT);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "The folder \"" + money + "\" no longer exists.");
    EXPECT_EQ(RowNames(), (std::vector<std::string>{"Documents", "Letters"})) << "taken out of the tree";
    EXPECT_EQ(SelectedName(), "Documents");
    // A folder that cannot be read: reported, and it stays without folders.
    const std::string letters = home.Home() + "/Documents/Letters";
    auto unreadable = [&] {
        Key(VK_DOWN);
        Key(VK_RIGHT);
        return problems.size() == 2 && problems[1].rfind("\"" + letters + "\" is not accessible.", 0) == 0 &&
            SelectedName() == "Letters" && tree->ExpanderRect(1).Empty();
    };
    if (geteuid() != 0) {
        fs::permissions(letters, fs::perms::none);
        const bool ok = unreadable();
        fs::permissions(letters, fs::perms::owner_all);
        EXPECT_TRUE(ok) << (problems.size() > 1 ? problems[1] : "no message");
        return;
    }
    // The superuser reads every folder; a child process that is nobody cannot.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && unreadable() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(FolderTreeTest, ManyFoldersScroll) {
    for (int i = 0; i < 40; ++i) home.Folder("Documents/Letters/f" + std::to_string(100 + i));
    ASSERT_TRUE(tree->SelectPath(home.Home() + "/Documents/Letters/f139"));
    EXPECT_EQ(SelectedName(), "f139");
    const int visible = tree->ClientHeight() / tree->RowHeight();
    const int row = 41;  // Documents, Letters, f100 .. f139, then Money
    EXPECT_EQ(tree->TopRow(), row - visible + 1) << "the selection is brought into view";
    InjectMouse(MouseAction::Wheel, MouseButton::Left, tree->ClientToScreen({20, 20}), 0, 120);
    Pump();
    EXPECT_EQ(tree->TopRow(), row - visible + 1 - 3);
    Key(VK_HOME);
    EXPECT_EQ(tree->TopRow(), 0);
    EXPECT_FALSE(tree->SelectPath("/definitely/not/here"));
}

}  // namespace
}  // namespace ui
