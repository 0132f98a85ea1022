// "Back up to folder..." and the row colours of the main window: whole copies
// or nothing, folders that cannot take the backup, the folder picker driven
// by keys, and the colours chosen with the colour combo boxes.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "examples/backup.hpp"
#include "examples/main_window_tools.hpp"
#include "framework/ui/inifiles.hpp"
#include "platform/codepage.hpp"
#include "platform/file.hpp"
#include "platform/msgbox.hpp"
#include "tests/examples/main_window_fixture.hpp"
#include "tests/support/fake_home.hpp"
#include "tests/support/files.hpp"

namespace {

namespace fs = std::filesystem;
using testing_examples::MainWindowTest;

// The records of a table file (after its header), as bytes.
std::string Records(const std::string& path) {
    const std::string b = testing_support::ReadFileBytes(path);
    if (b.size() < 32) return {};
    const size_t header = uint8_t(b[8]) | size_t(uint8_t(b[9])) << 8;
    const size_t length = uint8_t(b[10]) | size_t(uint8_t(b[11])) << 8;
    const size_t count = uint8_t(b[4]) | size_t(uint8_t(b[5])) << 8 | size_t(uint8_t(b[6])) << 16;
    return b.size() >= header + count * length ? b.substr(header, count * length) : std::string();
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A notes table at `path` with a memo field and one record, "kept" with the
// memo "a memo", opened exclusively.
ui::Owned<zurod::TTzDbf> NotesWithAMemo(const std::string& path) {
    auto notes = demo::Table("Notes", path, {"NOTE,C,40,0", "TEXT,M,10,0"});
    notes->ClearRecord();
    notes->FieldPut("NOTE", "kept");
    notes->AppendRec();
    notes->Edit();
    notes->FieldByName("TEXT")->SetAsString("a memo");
    notes->Post();
    return notes;
}

class BackupTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        previous_box_ = platform::InstallMessageBox(&box_);
    }
    void TearDown() override {
        platform::InstallMessageBox(previous_box_);
        MainWindowTest::TearDown();
    }
    static void Key(ui::UINT vk) {
        ui::InjectKey(vk, true);
        ui::InjectKey(vk, false);
    }
    platform::ScriptedMessageBox box_;
    platform::MessageBoxService* previous_box_ = nullptr;
};

TEST_F(BackupTest, WholeCopiesOrNothing) {
    auto w = Open("");
    const std::string source = Records(demo::HistoryPath(folder_));
    ASSERT_FALSE(source.empty());
    const std::string blanks = dir_ / "My Backups", accents = dir_ / "Sauvegardes été";
    fs::create_directories(blanks);
    fs::create_directories(accents);
    std::ofstream(blanks + "/transactionhistory.dbf") << "an older backup";
    struct Case {
        std::string folder;  // as the host spells it
        bool ok;
        std::string message_start;
    };
    const Case cases[] = {
        {blanks, true, "The tables were backed up to \"" + blanks + "\"."},  // the older backup replaced
        {accents, true, "The tables were backed up"},
        {dir_ / "Gone", false, "The folder \"" + dir_ / "Gone" + "\" does not exist."},
        {folder_, false, "The tables are in"},  // onto themselves
        {"", false, "The folder \"\" does not exist."},
    };
    for (const Case& c : cases) {
        const demo::BackupResult r = demo::BackUpTables({w->History()}, platform::Utf8ToAnsi(c.folder));
        EXPECT_EQ(r.ok, c.ok) << c.folder;
        EXPECT_EQ(platform::AnsiToUtf8(r.message).rfind(c.message_start, 0), 0u) << r.message;
        if (!c.ok) continue;
        EXPECT_TRUE(Records(c.folder + "/transactionhistory.dbf") == source) << c.folder;
        EXPECT_EQ(Names(c.folder), (std::vector<std::string>{"transactionhistory.dbf", "transactionhistory.mdx"}))
            << "the index with it, nothing else left there";
    }
    EXPECT_TRUE(Records(demo::HistoryPath(folder_)) == source) << "the tables themselves untouched";
    EXPECT_TRUE(w->History()->Active());
}

TEST_F(BackupTest, AFailedCopyLeavesTheFolderAsItWas) {
    auto w = Open("");
    auto notes = demo::Table("Notes", dir_ / "notes.dbf", {"NOTE,C,40,0"});
    notes->ClearRecord();
    notes->FieldPut("NOTE", "kept");
    notes->AppendRec();
    const std::string target = dir_ / "target";
    fs::create_directories(target);
    std::ofstream(target + "/transactionhistory.dbf") << "an older backup";
    {
        // The second table's copy cannot be made (the first table's file and index were).
        platform::FileFaultScope fault(platform::FileOp::Create, 3, 39);
        const demo::BackupResult r = demo::BackUpTables({w->History(), notes.get()}, target);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(
            r.message.rfind("The backup could not be written to \"" + target + "\". Nothing was changed there.", 0), 0u)
            << r.message;
    }
    EXPECT_EQ(Names(target), std::vector<std::string>{"transactionhistory.dbf"}) << "no copy of either is left";
    EXPECT_EQ(testing_support::ReadFileBytes(target + "/transactionhistory.dbf"), "an older backup");
    // Without the fault both go, side by side.
    ASSERT_TRUE(demo::BackUpTables({w->History(), notes.get()}, target).ok);
    EXPECT_EQ(Names(target),
              (std::vector<std::string>{"notes.dbf", "transactionhistory.dbf", "transactionhistory.mdx"}));
    EXPECT_TRUE(Records(target + "/notes.dbf") == Records(dir_ / "notes.dbf"));
}

// A table others may write is copied through the engine: every copy is on
// disk before anything is put in place, and the old backup's files are
// replaced all together or not at all.
TEST_F(BackupTest, AnOldBackupIsReplacedWholeOrKept) {
    auto notes = NotesWithAMemo(dir_ / "notes.dbf");
    notes->Close();
    notes->SetExclusive(false);
    notes->Open();
    const std::string target = dir_ / "target";
    fs::create_directories(target);
    std::ofstream(target + "/notes.dbf") << "last week's table";
    std::ofstream(target + "/notes.dbt") << "last week's memo";
    const std::string written = "The backup could not be written to \"" + target + "\". Nothing was changed there.";
    const std::string placed = "The backup could not be put in place in \"" + target + "\". Nothing was changed there.";
    struct Case {
        platform::FileOp op;
        int nth;
        std::string message_start;
    };
    const Case cases[] = {
        {platform::FileOp::Sync, 1, written},   // the table's copy
        {platform::FileOp::Sync, 2, written},   // the memo's copy
        {platform::FileOp::Sync, 3, placed},    // the folder, after the renames
        {platform::FileOp::Rename, 1, placed},  // the old table aside
        {platform::FileOp::Rename, 2, placed},  // the new table in
        {platform::FileOp::Rename, 3, placed},  // the old memo aside
        {platform::FileOp::Rename, 4, placed},  // the new memo in
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.op)) + " #" + std::to_string(c.nth));
        {
            platform::FileFaultScope fault(c.op, c.nth, 29);
            const demo::BackupResult r = demo::BackUpTables({notes.get()}, target);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.message.rfind(c.message_start, 0), 0u) << r.message;
        }
        EXPECT_EQ(Names(target), (std::vector<std::string>{"notes.dbf", "notes.dbt"}));
        EXPECT_TRUE(testing_support::ReadFileBytes(target + "/notes.dbf") == "last week's table");
        EXPECT_TRUE(testing_support::ReadFileBytes(target + "/notes.dbt") == "last week's memo");
    }
    {
        // Two copies and the folder: a fourth sync is not reached.
        platform::FileFaultScope fault(platform::FileOp::Sync, 4, 29);
        const demo::BackupResult r = demo::BackUpTables({notes.get()}, target);
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_EQ(platform::FileFaultsPending(), 1);
    }
    EXPECT_EQ(Names(target), (std::vector<std::string>{"notes.dbf", "notes.dbt"}));
    for (const char* name : {"notes.dbf", "notes.dbt"})
        EXPECT_TRUE(testing_support::ReadFileBytes(target + "/" + name) == testing_support::ReadFileBytes(dir_ / name))
            << name;
}

TEST_F(BackupTest, TheBackupHoldsTheTablesAsTheyAreStoredWhateverTheGridShows) {
    auto w = Open("");
    zurod::TTzDbf* history = w->History();
    // Named without its extension, as a program may name it.
    auto notes = demo::Table("Notes", dir_ / "notes", {"NOTE,C,40,0", "TEXT,M,10,0"});
    for (const char* text : {"first", "second", "third"}) {
        notes->ClearRecord();
        notes->FieldPut("NOTE", text);
        notes->AppendRec();
        notes->Edit();
        notes->FieldByName("TEXT")->SetAsString(std::string(text) + " memo");
        notes->Post();
    }
    // The first record's memo rewritten longer lies after the others' now, and the second record is deleted.
    notes->First();
    notes->Edit();
    notes->FieldByName("TEXT")->SetAsString(std::string(900, 'x'));
    notes->Post();
    notes->Next();
    notes->DeleteRec();
    struct Case {
        const char* what;
        std::function<void()> show;
    };
    const Case cases[] = {
        {"by account", [&] { history->SetOrderToTag("TGTHACC"); }},
        {"by date from March on, the deleted note hidden",
         [&] {
             history->SetOrderToTag("TGTHDATE");
             history->SetFilterTo("DTOS(DATE) >= \"20240301\"");
             notes->SetHideDeletedRecs(true);
         }},
        {"as written, from the last record",
         [&] {
             history->SetOrderToTag("TGTHRECN");
             history->SetFilterTo("");
             history->Last();
             notes->Last();
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.show();
        history->GoTop();
        const std::string target = dir_ / ("backup" + std::to_string(++n));
        fs::create_directories(target);
        const demo::BackupResult r = demo::BackUpTables({history, notes.get()}, target);
        EXPECT_TRUE(r.ok) << r.message;
        std::vector<std::string> originals;
        for (const std::string& name : Names(dir_.path()))
            if (name.starts_with("notes.") || name.starts_with("transactionhistory.")) originals.push_back(name);
        EXPECT_EQ(Names(target), originals);
        EXPECT_EQ(originals.size(), 4u) << "the two tables, the notes' memo file and the history's index";
        for (const std::string& name : originals)
            EXPECT_TRUE(testing_support::ReadFileBytes(fs::path(target) / name) ==
                        testing_support::ReadFileBytes(dir_ / name))
                << name << " byte for byte";
    }
}

TEST_F(BackupTest, ATableNamedInTheCurrentFolderGoesWithItsMemoFile) {
    auto w = Open("");
    const fs::path before = fs::current_path();
    fs::current_path(dir_.path());
    {
        auto notes = NotesWithAMemo("notes.dbf");
        const std::string target = dir_ / "target";
        fs::create_directories(target);
        const demo::BackupResult r = demo::BackUpTables({notes.get()}, target);
        EXPECT_TRUE(r.ok) << r.message;
        EXPECT_EQ(Names(target), (std::vector<std::string>{"notes.dbf", "notes.dbt"}));
        EXPECT_TRUE(testing_support::ReadFileBytes(target + "/notes.dbt") ==
                    testing_support::ReadFileBytes(dir_ / "notes.dbt"));
    }
    fs::current_path(before);
}

TEST_F(BackupTest, AFolderThatCannotBeWritten) {
    auto w = Open("");
    const std::string locked = dir_ / "locked";
    fs::create_directories(locked);
    auto refused = [&] {
        const demo::BackupResult r = demo::BackUpTables({w->History()}, locked);
        return !r.ok && r.message.rfind("The folder \"" + locked + "\" cannot be written to:", 0) == 0 &&
            Names(locked).empty();
    };
    if (geteuid() != 0) {
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        const bool ok = refused();
        fs::permissions(locked, fs::perms::owner_all);
        EXPECT_TRUE(ok);
        return;
    }
    // The superuser writes everywhere; a child process that is nobody cannot.
    fs::permissions(dir_.path(), fs::perms::all);
    fs::permissions(locked, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && refused() ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(BackupTest, TheFolderPickerChoosesTheFolderAndTheUserIsTold) {
    testing_support::FakeHome home;
    const std::string backups = home.Folder("Backups");
    const std::string settings = dir_ / "corvanta.INI";
    auto w = Open(settings);
    // Home (below the desktop), opened, its first folder, OK.
    for (ui::UINT vk : {ui::VK_DOWN, ui::VK_RIGHT, ui::VK_RIGHT, ui::VK_RETURN}) Key(vk);
    EXPECT_TRUE(w->Tools()->BackUpToFolder());
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0].text, "The tables were backed up to \"" + backups + "\".");
    EXPECT_EQ(box_.shown[0].caption, "Back up to folder");
    EXPECT_TRUE(Records(backups + "/transactionhistory.dbf") == Records(demo::HistoryPath(folder_)));
    EXPECT_EQ(ui::TIniFile(settings).ReadString("OPTIONS", "BACKUP FOLDER", ""), backups);
    // The next time the folder is preselected; cancelling tells nothing.
    Key(ui::VK_ESCAPE);
    EXPECT_FALSE(w->Tools()->BackUpToFolder());
    EXPECT_EQ(box_.shown.size(), 1u);
}

TEST_F(BackupTest, AFolderTheBackupCouldNotBeWrittenToIsNotRemembered) {
    testing_support::FakeHome home;
    const std::string backups = home.Folder("Backups");
    const std::string settings = dir_ / "corvanta.INI";
    auto w = Open(settings);
    struct Case {
        bool fails;  // the copy cannot be created there
        std::string message_start, remembered;
    };
    const Case cases[] = {
        {true, "The backup could not be written to \"" + backups + "\". Nothing was changed there.", ""},
        {false, "The tables were backed up to \"" + backups + "\".", backups},
    };
    for (const Case& c : cases) {
        box_.shown.clear();
        // Home (below the desktop), opened, its first folder, OK.
        for (ui::UINT vk : {ui::VK_DOWN, ui::VK_RIGHT, ui::VK_RIGHT, ui::VK_RETURN}) Key(vk);
        {
            std::optional<platform::FileFaultScope> fault;
            if (c.fails) fault.emplace(platform::FileOp::Create, 1, 5);
            EXPECT_EQ(w->Tools()->BackUpToFolder(), !c.fails);
        }
        ASSERT_EQ(box_.shown.size(), 1u);
        EXPECT_EQ(box_.shown[0].text.rfind(c.message_start, 0), 0u) << box_.shown[0].text;
        EXPECT_EQ(ui::TIniFile(settings).ReadString("OPTIONS", "BACKUP FOLDER", ""), c.remembered);
    }
}

TEST_F(BackupTest, RowColoursComeFromTheColourBoxesAndAreKept) {
    const std::string settings = dir_ / "corvanta.INI";
    {
        auto w = Open(settings);
        EXPECT_EQ(w->Tools()->DebitColour()->ColorValue(), ui::clMaroon);
        EXPECT_EQ(w->Tools()->CreditColour()->ColorValue(), ui::clGreen);
        w->Tools()->DebitColour()->SetFocus();
        Pump();
        for (ui::UINT vk : {ui::VK_F4, ui::VK_END, ui::VK_UP, ui::VK_UP, ui::VK_UP, ui::VK_RETURN}) Key(vk);
        Pump();
        EXPECT_EQ(w->Tools()->DebitColour()->ColorValue(), ui::clBlue);
        zurod::TTzGrid* grid = w->Grid();
        int debits = 0;
        for (int row = 1; row < grid->RowCount(); ++row) {
            grid->DataLink().SetActiveRecord(row - 1);
            const std::string action = zurod::TzAllTrim(w->History()->FieldByName("ACTION")->AsString());
            grid->DataLink().SetActiveRecord(0);
            if (action != "Debit") continue;
            ++debits;
            EXPECT_EQ(grid->RowColors(row - 1).cell_text, ui::clBlue);
        }
        EXPECT_GT(debits, 0);
    }
    EXPECT_EQ(ui::TIniFile(settings).ReadInteger("GRID COLOURS", "DEBIT", -1), int(ui::clBlue));
    auto again = Open(settings);
    EXPECT_EQ(again->Tools()->DebitColour()->ColorValue(), ui::clBlue) << "read back at the next start";
}

}  // namespace
