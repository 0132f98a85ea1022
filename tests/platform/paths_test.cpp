#include "platform/paths.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/file.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::Share;
using testing_support::TempDir;

class PathsTest : public ::testing::Test {
protected:
    // Creates a file under an ANSI-page name; its content is the name.
    std::string Make(const std::string& ansi_name) {
        const std::string path = dir / ansi_name;
        std::ofstream(platform::AnsiToUtf8(path), std::ios::binary) << ansi_name;
        return path;
    }
    void MakeDir(const std::string& ansi_name) {
        std::filesystem::create_directory(platform::AnsiToUtf8(dir / ansi_name));
    }
    static std::string Content(const std::string& ansi_path) {
        std::ifstream in(platform::AnsiToUtf8(ansi_path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool OnDisk(const std::string& ansi_name) const {
        return std::filesystem::exists(platform::AnsiToUtf8(dir / ansi_name));
    }

    TempDir dir;
};

TEST_F(PathsTest, ResolveExistingMatchesEveryComponentWithoutCase) {
    MakeDir("Data");
    Make("Data/Accounts.Dbf");
    Make("Data/M\xFCller.dbf");
    EXPECT_EQ(platform::ResolveExisting(dir / "DATA/ACCOUNTS.DBF"), dir / "Data/Accounts.Dbf");
    EXPECT_EQ(platform::ResolveExisting(dir / "data/m\xFCLLER.DBF"), dir / "Data/M\xFCller.dbf");
    EXPECT_EQ(platform::ResolveExisting(dir / "DATA"), dir / "Data");
    EXPECT_EQ(platform::ResolveExisting(dir / "DATA/MISSING.DBF"), dir / "DATA/MISSING.DBF");
    EXPECT_EQ(platform::ResolveExisting(""), "");

    // The exact spelling wins over a case-insensitive match.
    Make("Data/ACCOUNTS.DBF");
    EXPECT_EQ(platform::ResolveExisting(dir / "Data/ACCOUNTS.DBF"), dir / "Data/ACCOUNTS.DBF");
    EXPECT_EQ(platform::ResolveExisting(dir / "Data/Accounts.Dbf"), dir / "Data/Accounts.Dbf");

    File file;
    ASSERT_EQ(file.Open(dir / "DATA/M\xDCLLER.DBF", Access::Read, Share::DenyNone), 0);
    EXPECT_EQ(file.Path(), dir / "Data/M\xFCller.dbf");
}

TEST_F(PathsTest, NewFilesTakeTheExtensionCaseOfTheirBaseName) {
    MakeDir("Data");
    Make("Data/Ledger.dbf");
    EXPECT_EQ(platform::ResolveForCreate(dir / "DATA/LEDGER.DBF"), dir / "Data/Ledger.dbf");
    EXPECT_EQ(platform::ResolveForCreate(dir / "DATA/accounts.DBF"), dir / "Data/accounts.dbf");
    EXPECT_EQ(platform::ResolveForCreate(dir / "ACCOUNTS.dbf"), dir / "ACCOUNTS.DBF");
    EXPECT_EQ(platform::ResolveForCreate(dir / "Accounts.dBf"), dir / "Accounts.dBf");
    EXPECT_EQ(platform::ResolveForCreate(dir / "m\xFCller.DBF"), dir / "m\xFCller.dbf");
    EXPECT_EQ(platform::ResolveForCreate(dir / "2024.DBF"), dir / "2024.DBF");
    EXPECT_EQ(platform::ResolveForCreate(dir / "NOEXT"), dir / "NOEXT");

    File file;
    ASSERT_EQ(file.Open(dir / "data/cash.MDX", Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways), 0);
    EXPECT_EQ(file.Path(), dir / "Data/cash.mdx");
    EXPECT_TRUE(OnDisk("Data/cash.mdx"));
    // Recreating an existing file keeps its spelling.
    file.Close();
    ASSERT_EQ(file.Open(dir / "DATA/CASH.MDX", Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways), 0);
    EXPECT_EQ(file.Path(), dir / "Data/cash.mdx");
    EXPECT_FALSE(OnDisk("Data/CASH.MDX"));
}

TEST(Paths, AbsolutePathIsLexical) {
    EXPECT_EQ(platform::AbsolutePath("/a/b/../c/./d/"), "/a/c/d");
    EXPECT_EQ(platform::AbsolutePath("/../x//y"), "/x/y");
    EXPECT_EQ(platform::AbsolutePath("/"), "/");
    const std::string cwd = platform::Utf8ToAnsi(std::filesystem::current_path().string());
    EXPECT_EQ(platform::AbsolutePath("sub/../T.DBF"), cwd + "/T.DBF");
    EXPECT_EQ(platform::AbsolutePath(""), cwd);
}

TEST_F(PathsTest, RenameNeverReplaces) {
    const std::string a = Make("A.DBF");
    const std::string b = Make("B.DBF");
    EXPECT_EQ(platform::RenameNoReplace(a, b), platform::kAccessDenied);
    EXPECT_EQ(platform::RenameNoReplace(a, dir / "b.dbf"), platform::kAccessDenied);
    EXPECT_EQ(Content(a), "A.DBF");
    EXPECT_EQ(Content(b), "B.DBF");

    EXPECT_EQ(platform::RenameNoReplace(dir / "a.dbf", dir / "C.DBF"), 0);
    EXPECT_FALSE(OnDisk("A.DBF"));
    EXPECT_EQ(Content(dir / "C.DBF"), "A.DBF");
    // Changing only the case is a rename, not a clash with itself.
    EXPECT_EQ(platform::RenameNoReplace(dir / "C.DBF", dir / "c.dbf"), 0);
    EXPECT_EQ(Content(dir / "c.dbf"), "A.DBF");
    EXPECT_FALSE(OnDisk("C.DBF"));

    EXPECT_EQ(platform::RenameNoReplace(dir / "MISSING", dir / "X"), platform::kFileNotFound);
    EXPECT_EQ(platform::RenameNoReplace(dir / "NODIR/MISSING", dir / "X"), platform::kPathNotFound);
    EXPECT_EQ(platform::RenameNoReplace(b, dir / "NODIR/X"), platform::kPathNotFound);

    File held;
    ASSERT_EQ(held.Open(b, Access::Read, Share::DenyNone), 0);
    EXPECT_EQ(platform::RenameNoReplace(b, dir / "D.DBF"), platform::kSharingViolation);
    EXPECT_TRUE(OnDisk("B.DBF"));
}

TEST_F(PathsTest, RemoveFileRefusesFilesInUse) {
    const std::string a = Make("A.TMP");
    File held;
    ASSERT_EQ(held.Open(a, Access::Read, Share::DenyNone), 0);
    EXPECT_EQ(platform::RemoveFile(a), platform::kSharingViolation);
    EXPECT_TRUE(OnDisk("A.TMP"));
    held.Close();
    EXPECT_EQ(platform::RemoveFile(dir / "a.tmp"), 0);
    EXPECT_FALSE(OnDisk("A.TMP"));
    EXPECT_EQ(platform::RemoveFile(a), platform::kFileNotFound);
    EXPECT_EQ(platform::RemoveFile(dir / "NODIR/A.TMP"), platform::kPathNotFound);
    MakeDir("SUB");
    EXPECT_EQ(platform::RemoveFile(dir / "SUB"), platform::kAccessDenied);
    const std::string read_only = Make("RO.TMP");
    std::filesystem::permissions(read_only, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(platform::RemoveFile(read_only), platform::kAccessDenied);
    EXPECT_TRUE(OnDisk("RO.TMP"));
}

TEST_F(PathsTest, TemporaryFilesAndFolder) {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    setenv("TMPDIR", dir.path().c_str(), 1);
    EXPECT_EQ(platform::TempDirectory(), dir.path() + "/");

    std::string first, second;
    ASSERT_EQ(platform::CreateTempFile("TZP", first), 0);
    ASSERT_EQ(platform::CreateTempFile("TZP", second), 0);
    EXPECT_NE(first, second);
    const std::string name = first.substr(first.find_last_of('/') + 1);
    EXPECT_EQ(first.substr(0, dir.path().size() + 1), dir.path() + "/");
    EXPECT_EQ(name.size(), 3u + 6u + 4u);
    EXPECT_EQ(name.substr(0, 3), "TZP");
    EXPECT_EQ(name.substr(9), ".TMP");
    EXPECT_TRUE(std::filesystem::is_regular_file(first));
    EXPECT_EQ(std::filesystem::file_size(first), 0u);

    setenv("TMPDIR", (dir / "gone").c_str(), 1);
    std::string failed = "x";
    EXPECT_EQ(platform::CreateTempFile("TZP", failed), platform::kPathNotFound);
    EXPECT_EQ(failed, "");

    unsetenv("TMPDIR");
    EXPECT_EQ(platform::TempDirectory(), "/tmp/");
    if (old) setenv("TMPDIR", saved.c_str(), 1);
}

TEST_F(PathsTest, FreeDiskBytes) {
    uint64_t bytes = 0;
    EXPECT_EQ(platform::FreeDiskBytes(dir.path(), bytes), 0);
    EXPECT_GT(bytes, 0u);
    EXPECT_EQ(platform::FreeDiskBytes(dir / "NODIR/X", bytes), platform::kPathNotFound);
}

TEST(Paths, WildcardMatchFollowsDosRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*.*", "LEDGER.DBF", true},
        {"*.*", "README", true},
        {"*.DBF", "ledger.dbf", true},
        {"*.DBF", "ledger.dbf.bak", false},
        {"*.TMP", "TZP123456.TMP", true},
        {"TZP*.TMP", "tzpABCDEF.tmp", true},
        {"L?DGER.*", "LEDGER.MDX", true},
        {"L?DGER.*", "LDGER.MDX", false},
        {"LEDGER.*", "LEDGER", true},
        {"*", "a.b.c", true},
        {"*.", "README", true},
        {"*.", "README.TXT", false},
        {"A*B*C", "AxxBxxC", true},
        {"A*B*C", "AxxBxx", false},
        {"M\xDC*", "m\xFCller.dbf", true},
        {"LEDGER.DBF", "Ledger.Dbf", true},
        {"LEDGER.DBF", "LEDGER.DBT", false},
        {"?", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST_F(PathsTest, FindFilesListsMatchesSorted) {
    Make("b.dbf");
    Make("A.DBF");
    Make("c.DBF");
    Make("notes.txt");
    Make(".hidden.dbf");
    MakeDir("SUB.DBF");

    std::vector<platform::DirEntry> found;
    ASSERT_EQ(platform::FindFiles(dir / "*.dbf", found), 0);
    std::vector<std::string> names;
    for (const auto& e : found) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".hidden.dbf", "A.DBF", "b.dbf", "c.DBF", "SUB.DBF"}));
    EXPECT_TRUE(found[0].hidden);
    EXPECT_FALSE(found[1].hidden);
    EXPECT_FALSE(found[1].directory);
    EXPECT_EQ(found[1].size, 5u);
    EXPECT_TRUE(found[4].directory);

    ASSERT_EQ(platform::FindFiles(dir / "*.*", found), 0);
    for (const auto& e : found) {
        EXPECT_NE(e.name, ".");
        EXPECT_NE(e.name, "..");
    }
    EXPECT_EQ(found.size(), 6u);

    EXPECT_EQ(platform::FindFiles(dir / "*.MDX", found), platform::kFileNotFound);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(platform::FindFiles(dir / "NODIR/*.*", found), platform::kPathNotFound);
    ASSERT_EQ(platform::FindFiles(dir / "sub.dbf/../NOTES.TXT", found), 0);
    EXPECT_EQ(found.at(0).name, "notes.txt");
}

TEST(DosError, ErrnoTable) {
    EXPECT_EQ(platform::DosErrorFromErrno(ENOENT), platform::kFileNotFound);
    EXPECT_EQ(platform::DosErrorFromErrno(ENOTDIR), platform::kPathNotFound);
    EXPECT_EQ(platform::DosErrorFromErrno(EMFILE), platform::kTooManyOpenFiles);
    EXPECT_EQ(platform::DosErrorFromErrno(EEXIST), platform::kAccessDenied);
    EXPECT_EQ(platform::DosErrorFromErrno(EBADF), platform::kInvalidHandle);
    EXPECT_EQ(platform::DosErrorFromErrno(EXDEV), platform::kNotSameDevice);
    EXPECT_EQ(platform::DosErrorFromErrno(EROFS), platform::kWriteProtected);
    EXPECT_EQ(platform::DosErrorFromErrno(EWOULDBLOCK), platform::kLockViolation);
    EXPECT_EQ(platform::DosErrorFromErrno(EIO), platform::kDiskRead);
    EXPECT_EQ(platform::DosErrorFromErrno(ENOSPC), platform::kDiskWrite);
    EXPECT_EQ(platform::DosErrorFromErrno(EDQUOT), platform::kDiskWrite);
    EXPECT_EQ(platform::DosErrorFromErrno(ELOOP), platform::kAccessDenied);
}

TEST_F(PathsTest, MissingFileOrMissingDirectory) {
    MakeDir("Data");
    EXPECT_EQ(platform::DosErrorForPath(ENOENT, dir / "Data/X.DBF"), platform::kFileNotFound);
    EXPECT_EQ(platform::DosErrorForPath(ENOENT, dir / "DATA/X.DBF"), platform::kFileNotFound);
    EXPECT_EQ(platform::DosErrorForPath(ENOENT, dir / "NODIR/X.DBF"), platform::kPathNotFound);
    EXPECT_EQ(platform::DosErrorForPath(ENOENT, "X.DBF"), platform::kFileNotFound);
    EXPECT_EQ(platform::DosErrorForPath(EACCES, dir / "NODIR/X.DBF"), platform::kAccessDenied);
    EXPECT_TRUE(platform::IsDirectory(dir / "DATA"));
    EXPECT_FALSE(platform::IsDirectory(dir / "NODIR"));
}

}  // namespace
