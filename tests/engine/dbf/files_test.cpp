#include "engine/dbf/files.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"
#include "tests/support/files.hpp"
#include "tests/support/temp_dir.hpp"

namespace zurod {
namespace {

void Write(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

time_t MTime(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

void SetMTime(const std::string& path, time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetErrorState();
        SetErrorHandling(false);  // failures are recorded, not shown
    }
    void TearDown() override {
        ResetErrorState();
        ResetDateState();
    }
    testing_support::TempDir dir_;
};

TEST_F(FilesTest, ExistenceCountsFilesOnly) {
    Write(dir_ / "a.txt", "x");
    ASSERT_EQ(mkdir((dir_ / "sub").c_str(), 0755), 0);
    EXPECT_TRUE(FileExists(dir_ / "a.txt"));
    EXPECT_TRUE(FileExists(dir_ / "*.TXT"));
    EXPECT_FALSE(FileExists(dir_ / "b.txt"));
    EXPECT_FALSE(FileExists(dir_ / "sub"));
}

TEST_F(FilesTest, FileDateTimeFollowsTheDateFormat) {
    Write(dir_ / "a.txt", "x");
    std::tm local{};
    local.tm_year = 121, local.tm_mon = 2, local.tm_mday = 4;
    local.tm_hour = 5, local.tm_min = 6, local.tm_sec = 7, local.tm_isdst = -1;
    SetMTime(dir_ / "a.txt", mktime(&local));
    SetDateFormat(0);
    SetCentury(false);
    EXPECT_EQ(FileDateTimeStr(dir_ / "a.txt"), "03/04/21 05:06:07");
    SetCentury(true);
    EXPECT_EQ(FileDateTimeStr(dir_ / "a.txt"), "03/04/2021 05:06:07");
    EXPECT_EQ(FileDateTimeStr(dir_ / "none.txt"), "");
}

TEST_F(FilesTest, CopyCarriesContentAndDateAndReplacesTheTarget) {
    std::string data(2'500'000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 % 251);
    Write(dir_ / "src.dbf", data);
    SetMTime(dir_ / "src.dbf", 1'000'000'000);
    Write(dir_ / "dst.dbf", std::string(3'000'000, 'x'));
    CopyFile(dir_ / "src.dbf", dir_ / "dst.dbf");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(testing_support::ReadFileBytes(dir_ / "dst.dbf") == data);
    EXPECT_EQ(MTime(dir_ / "dst.dbf"), 1'000'000'000);

    // A source another program holds open for writing can still be backed up.
    platform::File holder;
    ASSERT_EQ(holder.Open(dir_ / "src.dbf", platform::Access::ReadWrite, platform::Share::DenyWrite), 0);
    CopyFile(dir_ / "src.dbf", dir_ / "PRN");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes(dir_ / "PRN").size(), data.size());

    // Unless the engine's open-mode override asks for the file alone.
    Settings().open_mode_override = kOpenExclusive;
    CopyFile(dir_ / "src.dbf", dir_ / "dst2.dbf");
    Settings().open_mode_override = kNoOpenModeOverride;
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(
        LastErrorMessage(),
        "Error reading " + (dir_ / "src.dbf") + " [CopyFile(" + (dir_ / "src.dbf") + "," + (dir_ / "dst2.dbf") + ")]");
}

TEST_F(FilesTest, CopyOntoItselfIsRefusedWithoutTouchingTheFile) {
    Write(dir_ / "data.txt", "keep me");
    ASSERT_EQ(link((dir_ / "data.txt").c_str(), (dir_ / "hard.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir_ / "data.txt").c_str(), (dir_ / "soft.txt").c_str()), 0);
    for (const std::string& target :
         {dir_ / "data.txt", dir_ / "DATA.TXT", dir_ / "./data.txt", dir_ / "hard.txt", dir_ / "soft.txt"}) {
        CopyFile(dir_ / "data.txt", target);
        EXPECT_EQ(LastErrorCode(), 220) << target;
        EXPECT_EQ(LastErrorMessage(),
                  "File cannot be copied onto itself. [CopyFile(" + (dir_ / "data.txt") + "," + target + ")]");
        EXPECT_EQ(testing_support::ReadFileBytes(dir_ / "data.txt"), "keep me");
    }
}

TEST_F(FilesTest, CopyFailuresNameTheFileAndSpareTheTarget) {
    const std::string where = " [CopyFile(" + (dir_ / "none") + "," + (dir_ / "t") + ")]";
    CopyFile(dir_ / "none", dir_ / "t");
    EXPECT_EQ(LastErrorCode(), 2);
    EXPECT_EQ(LastErrorMessage(), "Error reading " + (dir_ / "none") + where);
    EXPECT_FALSE(FileExists(dir_ / "t"));

    Write(dir_ / "s", "new");
    Write(dir_ / "t", "old");
    platform::File holder;
    ASSERT_EQ(holder.Open(dir_ / "t", platform::Access::Read, platform::Share::Exclusive), 0);
    CopyFile(dir_ / "s", dir_ / "t");
    EXPECT_EQ(LastErrorCode(), 32);
    EXPECT_EQ(LastErrorMessage(),
              "Error writing " + (dir_ / "t") + " [CopyFile(" + (dir_ / "s") + "," + (dir_ / "t") + ")]");
    EXPECT_EQ(testing_support::ReadFileBytes(dir_ / "t"), "old");
}

TEST_F(FilesTest, EraseByMaskKeepsOthersAndListsFailures) {
    for (const char* name : {"a.tmp", "b.TMP", "held.tmp", "keep.txt", ".hidden.tmp"}) Write(dir_ / name, "x");
    platform::File holder;
    ASSERT_EQ(holder.Open(dir_ / "held.tmp", platform::Access::Read, platform::Share::DenyNone), 0);
    EraseFiles(dir_ / "*.TMP");
    EXPECT_EQ(LastErrorCode(), 5);
    EXPECT_EQ(LastErrorMessage(), "Could not erase 1 files like " + (dir_ / "*.TMP"));
    ASSERT_EQ(NotErasedFiles().size(), 1u);
    EXPECT_EQ(NotErasedFiles()[0].name, "held.tmp");
    EXPECT_FALSE(FileExists(dir_ / "a.tmp"));
    EXPECT_FALSE(FileExists(dir_ / "b.TMP"));
    EXPECT_TRUE(FileExists(dir_ / "keep.txt"));
    EXPECT_TRUE(FileExists(dir_ / ".hidden.tmp"));

    holder.Close();
    EraseFiles(dir_ / "*.tmp");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_TRUE(NotErasedFiles().empty());

    EraseFiles(dir_ / "gone.txt");
    EXPECT_EQ(LastErrorCode(), 2);
    EXPECT_EQ(LastErrorMessage(), "Error erasing " + (dir_ / "gone.txt"));
}

TEST_F(FilesTest, RenameNeverReplaces) {
    Write(dir_ / "a", "1");
    Write(dir_ / "b", "2");
    RenameFile(dir_ / "a", dir_ / "b");
    EXPECT_EQ(LastErrorCode(), 5);
    EXPECT_EQ(LastErrorMessage(), "Error renaming " + (dir_ / "a") + " to " + (dir_ / "b"));
    EXPECT_EQ(testing_support::ReadFileBytes(dir_ / "b"), "2");
    RenameFile(dir_ / "a", dir_ / "c");
    EXPECT_EQ(LastErrorCode(), 0);
    EXPECT_EQ(testing_support::ReadFileBytes(dir_ / "c"), "1");
}

TEST_F(FilesTest, FreeSpaceAndUniqueNames) {
    EXPECT_GT(DiskFreeKB(dir_.path()), 0);
    // Other programs write meanwhile: the same disk within a margin.
    EXPECT_NEAR(DriveFreeKB(0), DiskFreeKB(""), 1 << 20);
    EXPECT_EQ(DriveFreeKB(3), 2147483647);

    const std::string first = UniqueFilename(), second = UniqueFilename();
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(JustFilename(name).rfind("TZP", 0), 0u) << name;
        EXPECT_TRUE(FileExists(name));
        EXPECT_EQ(testing_support::ReadFileBytes(name), "");
        unlink(name.c_str());
    }
}

TEST_F(FilesTest, PathPartsAreNeverCut) {
    const std::string longname(100, 'n');
    const PathParts parts = FSplit("/a/b.c/" + longname + ".ext");
    EXPECT_EQ(parts.dir, "/a/b.c/");
    EXPECT_EQ(parts.name, longname);
    EXPECT_EQ(parts.ext, ".ext");
    EXPECT_EQ(FSplit("b.c/name").ext, "");
    EXPECT_EQ(ForceExt("/d/a.b.c", "DBF"), "/d/a.b.DBF");
    EXPECT_EQ(AddDefaultExt("d.x/acct  ", "DBF"), "d.x/acct.DBF");
    EXPECT_EQ(AddDefaultExt("/d/acct.txt", "DBF"), "/d/acct.txt");
    EXPECT_EQ(StripExt("/d.x/a.b"), "/d.x/a");
    EXPECT_EQ(FExpand(dir_ / "x/../" + longname), dir_ / longname);

    Write(dir_ / "Data.DBF", "");
    EXPECT_EQ(RealPath(dir_ / "data.dbf"), dir_ / "Data.DBF");
}

TEST_F(FilesTest, SearchStoresItsResultCode) {
    Write(dir_ / "b.txt", "");
    Write(dir_ / "a.txt", "");
    SearchRec rec;
    EXPECT_EQ(FindFirst(dir_ / "*.txt", rec), 0);
    EXPECT_EQ(rec.entry.name, "a.txt");
    EXPECT_EQ(FindNext(rec), 0);
    EXPECT_EQ(rec.entry.name, "b.txt");
    EXPECT_EQ(FindNext(rec), 18);
    EXPECT_EQ(LastErrorCode(), 18);
    EXPECT_EQ(FindFirst(dir_ / "*.dbf", rec), 2);
    EXPECT_EQ(LastErrorCode(), 2);
}

}  // namespace
}  // namespace zurod
