#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dos_error.hpp"
#include "platform/file.hpp"
#include "platform/paths.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::FileFaultScope;
using platform::FileOp;
using platform::Share;
using testing_support::TempDir;

// Every file in the directory with its bytes, read without File so that
// looking does not count as a call.
std::map<std::string, std::string> Snapshot(const TempDir& dir) {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        std::ifstream in(entry.path(), std::ios::binary);
        out[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return out;
}

File OpenFresh(const TempDir& dir, const std::string& name) {
    std::ofstream(dir / name, std::ios::binary) << "abcdef";
    File f;
    EXPECT_EQ(f.Open(dir / name, Access::ReadWrite, Share::DenyNone), platform::kOk);
    return f;
}

// Call `i` (from 1) of `op`; each one would change the directory differently,
// so a failing call that touched anything shows in the snapshot.
int Call(File& f, const TempDir& dir, FileOp op, int i, size_t& got) {
    std::array<char, 16> buf{};
    got = 0;
    switch (op) {
    case FileOp::Read: return f.ReadAt(0, buf, got);
    case FileOp::Write: return f.WriteAt(static_cast<uint64_t>(i), std::string(1, 'Z'));
    case FileOp::Sync: return f.Sync();
    case FileOp::Truncate: return f.Truncate(static_cast<uint64_t>(6 - i));
    case FileOp::Rename: return f.RenameOver(dir / ("t" + std::to_string(i) + ".dbf"));
    case FileOp::Create: {
        File made;
        return made.Open(dir / ("n" + std::to_string(i) + ".dbf"), Access::ReadWrite, Share::DenyNone,
                         Disposition::CreateNew);
    }
    case FileOp::Remove: return platform::RemoveFile(dir / ("r" + std::to_string(i) + ".dbf"));
    case FileOp::Change: break;
    }
    return -1;
}

TEST(FileFault, NthCallFailsWithCodeAndChangesNothing) {
    struct Case {
        FileOp op;
        int nth;
        int code;
    };
    const Case cases[] = {
        {FileOp::Read, 1, 30},    {FileOp::Read, 3, 29},   {FileOp::Write, 2, 29},     {FileOp::Write, 4, 101},
        {FileOp::Sync, 1, 101},   {FileOp::Sync, 3, 29},   {FileOp::Truncate, 2, 101}, {FileOp::Rename, 1, 5},
        {FileOp::Rename, 3, 101}, {FileOp::Create, 2, 29}, {FileOp::Remove, 1, 5},     {FileOp::Remove, 4, 29},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << static_cast<int>(c.op) << " nth " << c.nth);
        TempDir dir;
        File f = OpenFresh(dir, "t0.dbf");
        for (int i = 1; i <= 5; ++i) std::ofstream(dir / ("r" + std::to_string(i) + ".dbf")) << "r";
        const FileFaultScope scope(c.op, c.nth, c.code);
        for (int i = 1; i <= 5; ++i) {
            const auto before = Snapshot(dir);
            const std::string path = f.Path();
            size_t got = 0;
            const int rc = Call(f, dir, c.op, i, got);
            if (i == c.nth) {
                EXPECT_EQ(rc, c.code) << "call " << i;
                EXPECT_EQ(got, 0u);
                EXPECT_EQ(Snapshot(dir), before);
                EXPECT_EQ(f.Path(), path);
            } else {
                EXPECT_EQ(rc, platform::kOk) << "call " << i;
                if (c.op == FileOp::Read) {
                    EXPECT_EQ(got, 6u);
                }
            }
        }
    }
}

TEST(FileFault, ScopeAndClearDisarm) {
    TempDir dir;
    File f = OpenFresh(dir, "t.dbf");
    { const FileFaultScope scope(FileOp::Write, 2, 29); }
    EXPECT_EQ(f.WriteAt(0, std::string("x")), platform::kOk);
    EXPECT_EQ(f.WriteAt(0, std::string("y")), platform::kOk);

    platform::InjectFileFault(FileOp::Sync, 1, 101);
    platform::ClearFileFaults();
    EXPECT_EQ(f.Sync(), platform::kOk);

    // Nonsense arguments arm nothing rather than a fault that reports success.
    const FileFaultScope scope(FileOp::Sync, 0, 29);
    platform::InjectFileFault(FileOp::Sync, 1, platform::kOk);
    EXPECT_EQ(f.Sync(), platform::kOk);
}

TEST(FileFault, ArmedFaultsFireIndependently) {
    struct Step {
        FileOp op;
        int expect;
    };
    // Write 2 -> 29, Write 4 -> 101, Read 1 -> 30, and a second Write 2 -> 100
    // that collides with the first and so waits for the next write.
    const Step steps[] = {
        {FileOp::Write, 0},   {FileOp::Read, 30},   {FileOp::Write, 29}, {FileOp::Read, 0},
        {FileOp::Write, 100}, {FileOp::Write, 101}, {FileOp::Write, 0},
    };
    TempDir dir;
    File a = OpenFresh(dir, "a.dbf");
    File b = OpenFresh(dir, "b.dbf");
    File closed;
    const FileFaultScope scope(FileOp::Write, 2, 29);
    platform::InjectFileFault(FileOp::Write, 4, 101);
    platform::InjectFileFault(FileOp::Read, 1, 30);
    platform::InjectFileFault(FileOp::Write, 2, 100);
    // Calls rejected before the disk do not count.
    EXPECT_EQ(closed.WriteAt(0, std::string("x")), platform::kInvalidHandle);
    int n = 0;
    for (const Step& s : steps) {
        File& f = (n++ % 2) ? b : a;  // counts are shared by every File
        size_t got = 0;
        EXPECT_EQ(Call(f, dir, s.op, 1, got), s.expect) << "step " << n;
    }
}

// A folder's entries go to disk as a file's data does, failing as a Sync
// would; a folder that cannot be opened is not counted.
TEST(FileFault, SyncFolderIsASync) {
    TempDir dir;
    std::filesystem::create_directory(dir / "Backups");
    std::ofstream(dir / "plain.txt") << "x";
    struct Case {
        std::string folder;
        int fault;  // armed on the first Sync, 0 for none
        int code;
        int pending;  // faults still armed after the call
    };
    const Case cases[] = {
        {dir / "Backups", 0, platform::kOk, 0},
        {dir / "BACKUPS", 0, platform::kOk, 0},  // resolved as the engine's names are
        {dir / "Backups", 29, 29, 0},
        {dir / "gone", 29, platform::kFileNotFound, 1},
        {dir / "gone/deeper", 0, platform::kPathNotFound, 0},
        {dir / "plain.txt", 0, platform::kPathNotFound, 0},
    };
    for (const Case& c : cases) {
        const FileFaultScope scope(FileOp::Sync, 1, c.fault);
        EXPECT_EQ(platform::SyncFolder(c.folder), c.code) << c.folder;
        EXPECT_EQ(platform::FileFaultsPending(), c.pending) << c.folder;
    }
}

// A fault armed for every change counts writes, truncations, renames,
// creations and removals together, and nothing else.
TEST(FileFault, ChangeCountsEveryCallThatChangesAFile) {
    TempDir dir;
    File f = OpenFresh(dir, "t.dbf");
    std::ofstream(dir / "gone.dbf") << "x";
    const FileFaultScope scope(FileOp::Change, 4, 29);
    std::array<char, 4> buf{};
    size_t got = 0;
    File made;
    EXPECT_EQ(f.WriteAt(0, std::string("A")), platform::kOk);  // 1
    EXPECT_EQ(f.ReadAt(0, buf, got), platform::kOk);
    EXPECT_EQ(f.Sync(), platform::kOk);
    EXPECT_EQ(f.Truncate(4), platform::kOk);  // 2
    EXPECT_EQ(made.Open(dir / "new.dbf", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew),
              platform::kOk);                               // 3
    EXPECT_EQ(platform::RemoveFile(dir / "gone.dbf"), 29);  // 4
    EXPECT_EQ(platform::FileFaultsPending(), 0);
    EXPECT_EQ(platform::RemoveFile(dir / "gone.dbf"), platform::kOk);
}

// A crash armed for the nth write ends the process just before it: what
// came before is on disk, nothing after.
TEST(FileFault, ACrashEndsTheProcessBeforeTheCall) {
    TempDir dir;
    std::ofstream(dir / "t.dbf") << "abcdef";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        File f;
        if (f.Open(dir / "t.dbf", Access::ReadWrite, Share::DenyNone) != 0) _exit(1);
        platform::InjectFileCrash(FileOp::Write, 2);
        (void)f.WriteAt(0, std::string("A"));
        (void)f.WriteAt(1, std::string("B"));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    std::ifstream in(dir / "t.dbf", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Abcdef");
}

}  // namespace
