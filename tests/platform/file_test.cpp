#include "platform/file.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dos_error.hpp"
#include "platform/paths.hpp"
#include "tests/support/files.hpp"
#include "tests/support/temp_dir.hpp"

extern char** environ;

namespace {

using platform::Access;
using platform::Disposition;
using platform::File;
using platform::Share;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

constexpr uint64_t kLockBase = 0x40000000;

// The lock helper in a separate process, driven line by line.
class Helper {
public:
    Helper() {
        std::signal(SIGPIPE, SIG_IGN);
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) std::abort();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
        posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
        char* argv[] = {const_cast<char*>(LOCK_HELPER_PATH), nullptr};
        if (posix_spawn(&pid_, LOCK_HELPER_PATH, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(to_child[0]);
        close(from_child[1]);
        in_ = to_child[1];
        out_ = from_child[0];
    }
    ~Helper() {
        Quit();
        close(out_);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    // Sends one command and returns its answer line ("<eof>" when the helper died).
    std::string Send(const std::string& command) {
        const std::string line = command + "\n";
        if (write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return "<eof>";
        for (;;) {
            const size_t nl = pending_.find('\n');
            if (nl != std::string::npos) {
                std::string answer = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                return answer;
            }
            char buf[256];
            const ssize_t n = read(out_, buf, sizeof buf);
            if (n <= 0) return "<eof>";
            pending_.append(buf, static_cast<size_t>(n));
        }
    }
    int Code(const std::string& command) {
        const std::string answer = Send(command);
        std::istringstream in(answer);
        int code = -1;
        if (!(in >> code)) ADD_FAILURE() << command << " -> " << answer;
        return code;
    }
    // Ends the helper process and waits for it, so its opens are gone.
    void Quit() {
        if (in_ >= 0) close(in_);
        in_ = -1;
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
};

class FileTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& content) {
        const std::string path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    TempDir dir;
};

TEST_F(FileTest, ExclusiveOpenElsewhereShutsOutEveryOpener) {
    const std::string path = Make("LEDGER.DBF", "data");
    Helper helper;
    ASSERT_EQ(helper.Code("open " + path + " readwrite exclusive"), 0);

    File file;
    EXPECT_EQ(file.Open(path, Access::Read, Share::DenyNone), platform::kSharingViolation);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Open(path, Access::ReadWrite, Share::Exclusive), platform::kSharingViolation);

    EXPECT_EQ(helper.Code("close 0"), 0);
    EXPECT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone), 0);
}

TEST_F(FileTest, SharedOpenShutsOutExclusiveOpenersElsewhere) {
    const std::string path = Make("LEDGER.DBF", "data");
    File file;
    ASSERT_EQ(file.Open(path, Access::Read, Share::DenyNone), 0);

    Helper helper;
    EXPECT_EQ(helper.Code("open " + path + " readwrite exclusive"), platform::kSharingViolation);
    EXPECT_EQ(helper.Code("open " + path + " read exclusive"), platform::kSharingViolation);
    EXPECT_EQ(helper.Code("open " + path + " readwrite denynone"), 0);
    EXPECT_EQ(helper.Code("close 2"), 0);
    // We only read, so the helper may deny writing; from then on we may not write.
    EXPECT_EQ(helper.Code("open " + path + " read denywrite"), 0);
    File writer;
    EXPECT_EQ(writer.Open(path, Access::ReadWrite, Share::DenyNone), platform::kSharingViolation);
}

TEST_F(FileTest, DenyWriteShutsOutWritersInBothOrders) {
    const std::string path = Make("A.DBF", "data");
    Helper helper;
    ASSERT_EQ(helper.Code("open " + path + " read denywrite"), 0);
    File writer, reader, second_denier;
    EXPECT_EQ(writer.Open(path, Access::ReadWrite, Share::DenyNone), platform::kSharingViolation);
    EXPECT_EQ(writer.Open(path, Access::Write, Share::DenyNone), platform::kSharingViolation);
    EXPECT_EQ(reader.Open(path, Access::Read, Share::DenyNone), 0);
    EXPECT_EQ(second_denier.Open(path, Access::Read, Share::DenyWrite), 0);

    const std::string other = Make("B.DBF", "data");
    File holder;
    ASSERT_EQ(holder.Open(other, Access::Write, Share::DenyNone), 0);
    EXPECT_EQ(helper.Code("open " + other + " read denywrite"), platform::kSharingViolation);
    EXPECT_EQ(helper.Code("open " + other + " readwrite denynone"), 0);
}

TEST_F(FileTest, TwoOpensInOneProcessExcludeEachOther) {
    const std::string path = Make("T.DBF", "data");
    File first, second;
    ASSERT_EQ(first.Open(path, Access::ReadWrite, Share::Exclusive), 0);
    EXPECT_EQ(second.Open(path, Access::Read, Share::DenyNone), platform::kSharingViolation);
    first.Close();
    ASSERT_EQ(second.Open(path, Access::ReadWrite, Share::DenyNone), 0);

    ASSERT_EQ(first.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    EXPECT_EQ(first.Lock(kLockBase + 100, 10), 0);
    EXPECT_EQ(second.Lock(kLockBase + 105, 10), platform::kLockViolation);
    EXPECT_EQ(second.Lock(kLockBase + 110, 5), 0);
    EXPECT_EQ(first.Lock(kLockBase + 114, 1), platform::kLockViolation);
}

TEST_F(FileTest, ClosingAnotherDescriptorKeepsSharesAndLocks) {
    const std::string path = Make("T.DBF", "data");
    File holder;
    ASSERT_EQ(holder.Open(path, Access::ReadWrite, Share::DenyWrite), 0);
    ASSERT_EQ(holder.Lock(kLockBase + 1, 1), 0);
    {
        File reader;
        EXPECT_EQ(reader.Open(path, Access::Read, Share::DenyNone), 0);
    }
    close(open(path.c_str(), O_RDONLY));

    Helper helper;
    EXPECT_EQ(helper.Code("open " + path + " readwrite denynone"), platform::kSharingViolation);
    ASSERT_EQ(helper.Code("open " + path + " read denynone"), 0);
    EXPECT_EQ(helper.Code("lock 1 " + std::to_string(kLockBase + 1) + " 1"), platform::kLockViolation);
}

TEST_F(FileTest, LockHeldElsewhereGives33UntilReleased) {
    const std::string path = Make("T.DBF", "data");
    Helper helper;
    ASSERT_EQ(helper.Code("open " + path + " readwrite denynone"), 0);
    ASSERT_EQ(helper.Code("lock 0 " + std::to_string(kLockBase) + " 1"), 0);
    // Record locks of large tables lie far above the lock base.
    const uint64_t far = uint64_t{1} << 48;
    ASSERT_EQ(helper.Code("lock 0 " + std::to_string(far) + " 100"), 0);

    File file;
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    EXPECT_EQ(file.Lock(kLockBase, 1), platform::kLockViolation);
    EXPECT_EQ(file.Lock(kLockBase - 5, 10), platform::kLockViolation);
    EXPECT_EQ(file.Lock(far + 99, 1), platform::kLockViolation);
    EXPECT_EQ(file.Lock(kLockBase + 1, 1), 0);
    EXPECT_EQ(file.Lock(far + 100, 1), 0);
    EXPECT_EQ(helper.Code("lock 0 " + std::to_string(kLockBase + 1) + " 1"), platform::kLockViolation);

    EXPECT_EQ(helper.Code("unlock 0 " + std::to_string(kLockBase) + " 1"), 0);
    EXPECT_EQ(file.Lock(kLockBase, 1), 0);
    helper.Quit();
    EXPECT_EQ(file.Lock(far, 50), 0);
}

TEST_F(FileTest, OwnLocksRefuseOverlapAndUnlockNeedsTheExactRange) {
    const std::string path = Make("T.DBF", "data");
    File file;
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    ASSERT_EQ(file.Lock(1000, 10), 0);
    EXPECT_EQ(file.Lock(1000, 10), platform::kLockViolation);
    EXPECT_EQ(file.Lock(1009, 5), platform::kLockViolation);
    EXPECT_EQ(file.Lock(995, 6), platform::kLockViolation);
    EXPECT_EQ(file.Lock(990, 10), 0);
    EXPECT_EQ(file.Lock(1010, 1), 0);

    EXPECT_EQ(file.Unlock(1000, 5), platform::kNotLocked);
    EXPECT_EQ(file.Unlock(990, 20), platform::kNotLocked);
    EXPECT_EQ(file.Unlock(500, 1), platform::kNotLocked);
    EXPECT_EQ(file.Unlock(1000, 10), 0);
    EXPECT_EQ(file.Unlock(1000, 10), platform::kNotLocked);
    // The neighbours are still held after one range went.
    File other;
    ASSERT_EQ(other.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    EXPECT_EQ(other.Lock(999, 1), platform::kLockViolation);
    EXPECT_EQ(other.Lock(1010, 1), platform::kLockViolation);
    EXPECT_EQ(other.Lock(1000, 10), 0);

    EXPECT_NE(file.Lock(platform::kShareSentinelBase, 1), 0);
    EXPECT_NE(file.Lock(platform::kShareSentinelBase - 1, 2), 0);

    // A moved File keeps its locks; closing drops them.
    File moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Lock(0, 1), platform::kInvalidHandle);
    EXPECT_EQ(moved.Unlock(990, 10), 0);
    moved.Close();
    EXPECT_EQ(other.Lock(1010, 1), 0);
}

TEST_F(FileTest, ChangeShareToExclusiveWaitsForOtherOpensToGo) {
    const std::string path = Make("T.DBF", "data");
    File file;
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    auto helper = std::make_unique<Helper>();
    ASSERT_EQ(helper->Code("open " + path + " read denynone"), 0);

    EXPECT_EQ(file.ChangeShare(Share::Exclusive), platform::kSharingViolation);
    EXPECT_EQ(file.CurrentShare(), Share::DenyNone);
    // The failed change left nothing behind that could keep others out.
    EXPECT_EQ(helper->Code("open " + path + " readwrite denynone"), 0);

    helper.reset();
    EXPECT_EQ(file.ChangeShare(Share::Exclusive), 0);
    EXPECT_EQ(file.CurrentShare(), Share::Exclusive);
    File other;
    EXPECT_EQ(other.Open(path, Access::Read, Share::DenyNone), platform::kSharingViolation);

    EXPECT_EQ(file.ChangeShare(Share::DenyWrite), 0);
    EXPECT_EQ(other.Open(path, Access::ReadWrite, Share::DenyNone), platform::kSharingViolation);
    ASSERT_EQ(other.Open(path, Access::Read, Share::DenyNone), 0);
    other.Close();

    EXPECT_EQ(file.ChangeShare(Share::DenyNone), 0);
    EXPECT_EQ(other.Open(path, Access::ReadWrite, Share::DenyNone), 0);
    EXPECT_EQ(file.ChangeShare(Share::DenyWrite), platform::kSharingViolation);
}

TEST_F(FileTest, CreateAlwaysOnAFileHeldElsewhereFailsAndKeepsIt) {
    const std::string path = Make("T.DBF", "precious");
    Helper helper;
    ASSERT_EQ(helper.Code("open " + path + " read denywrite"), 0);

    File file;
    EXPECT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways),
              platform::kSharingViolation);
    EXPECT_EQ(file.Open(path, Access::ReadWrite, Share::Exclusive, Disposition::CreateAlways),
              platform::kSharingViolation);
    EXPECT_EQ(ReadFileBytes(path), "precious");
    EXPECT_EQ(helper.Send("read 0 0 100"), "0 precious");

    // Held without denials, the file may be recreated.
    EXPECT_EQ(helper.Code("close 0"), 0);
    ASSERT_EQ(helper.Code("open " + path + " read denynone"), 0);
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways), 0);
    uint64_t size = 1;
    EXPECT_EQ(file.Size(size), 0);
    EXPECT_EQ(size, 0u);
}

TEST_F(FileTest, DispositionsAndOpenFailures) {
    const std::string path = Make("T.DBF", "keep");
    File file;
    EXPECT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone, Disposition::CreateNew), platform::kAccessDenied);
    EXPECT_EQ(ReadFileBytes(path), "keep");
    EXPECT_EQ(file.Open(dir / "NEW.DBF", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew), 0);
    EXPECT_EQ(file.Path(), dir / "NEW.DBF");

    EXPECT_EQ(file.Open(dir / "MISSING.DBF", Access::Read, Share::DenyNone), platform::kFileNotFound);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Open(dir / "NODIR/X.DBF", Access::Read, Share::DenyNone), platform::kPathNotFound);
    EXPECT_EQ(file.Open(dir / "NODIR/X.DBF", Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways),
              platform::kPathNotFound);
    EXPECT_EQ(file.Open(dir.path(), Access::Read, Share::DenyNone), platform::kAccessDenied);
}

// The engine's own files: an existing file opened never through a link, and
// a file's mode taken from another by its path.
TEST_F(FileTest, OwnFilesRefuseLinksAndTakeModes) {
    const std::string own = Make("OWN.@S@", "mine");
    const std::string target = Make("ELSEWHERE", "theirs");
    const std::string link = dir / "LINK.@S@";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const std::string dangling = dir / "DANGLING.@S@";
    ASSERT_EQ(::symlink((dir / "nothing").c_str(), dangling.c_str()), 0);
    File file;
    EXPECT_EQ(file.Open(own, Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn), 0);
    EXPECT_EQ(file.Open(link, Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn), platform::kAccessDenied);
    EXPECT_EQ(file.Open(dangling, Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn), platform::kAccessDenied);
    // A second name of a file elsewhere is no file of the caller's own either.
    const std::string hard = dir / "HARD.@S@";
    ASSERT_EQ(::link(target.c_str(), hard.c_str()), 0);
    EXPECT_EQ(file.Open(hard, Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn), platform::kAccessDenied);
    EXPECT_EQ(file.Open(hard, Access::ReadWrite, Share::DenyNone), 0);
    file.Close();
    EXPECT_TRUE(platform::IsLinked(hard));
    EXPECT_TRUE(platform::IsLinked(link));
    EXPECT_FALSE(platform::IsLinked(own));
    ASSERT_EQ(::unlink(hard.c_str()), 0);
    EXPECT_EQ(file.Open(dir / "MISSING", Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn),
              platform::kFileNotFound);
    EXPECT_TRUE(platform::IsSymbolicLink(link));
    EXPECT_TRUE(platform::IsSymbolicLink(dangling));
    EXPECT_FALSE(platform::IsSymbolicLink(own));
    EXPECT_EQ(ReadFileBytes(target), "theirs");

    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    ASSERT_EQ(file.Open(own, Access::ReadWrite, Share::DenyNone, Disposition::OpenOwn), 0);
    EXPECT_EQ(file.TakePermissionsOf(link), 0);  // the mode of what the link names
    struct stat st {};
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(file.TakePermissionsOf(dir / "MISSING"), platform::kFileNotFound);
}

TEST_F(FileTest, ReadsWritesAndFileFacts) {
    const std::string path = dir / "t.dat";
    File file;
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways), 0);
    EXPECT_EQ(file.WriteAt(0, std::string_view("hello")), 0);
    EXPECT_EQ(file.WriteAt(10, std::string_view("world")), 0);
    uint64_t size = 0;
    EXPECT_EQ(file.Size(size), 0);
    EXPECT_EQ(size, 15u);

    std::string buf(20, 'x');
    size_t got = 0;
    EXPECT_EQ(file.ReadAt(0, buf, got), 0);
    EXPECT_EQ(got, 15u);
    EXPECT_EQ(buf.substr(0, 15), std::string("hello\0\0\0\0\0world", 15));
    EXPECT_EQ(file.ReadAt(100, buf, got), 0);
    EXPECT_EQ(got, 0u);

    Helper helper;
    ASSERT_EQ(helper.Code("open " + path + " read denynone"), 0);
    EXPECT_EQ(helper.Send("read 0 10 5"), "0 world");

    EXPECT_EQ(file.Truncate(3), 0);
    EXPECT_EQ(file.Size(size), 0);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(file.Sync(), 0);

    const time_t when = 1000000000;
    EXPECT_EQ(file.SetModifiedTime(when), 0);
    time_t seen = 0;
    EXPECT_EQ(file.ModifiedTime(seen), 0);
    EXPECT_EQ(seen, when);

    platform::FileId id;
    EXPECT_EQ(platform::IdentifyFile(path, id), 0);
    EXPECT_EQ(id, file.Id());
    EXPECT_EQ(platform::IdentifyFile(dir / "missing", id), platform::kFileNotFound);
}

TEST_F(FileTest, AccessAskedForIsEnforced) {
    const std::string path = Make("T.DBF", "data");
    File reader, writer;
    ASSERT_EQ(reader.Open(path, Access::Read, Share::DenyNone), 0);
    EXPECT_EQ(reader.WriteAt(0, std::string_view("x")), platform::kAccessDenied);
    EXPECT_EQ(reader.Truncate(0), platform::kAccessDenied);
    ASSERT_EQ(writer.Open(path, Access::Write, Share::DenyNone), 0);
    std::string buf(4, '\0');
    size_t got = 0;
    EXPECT_EQ(writer.ReadAt(0, buf, got), platform::kAccessDenied);
    EXPECT_EQ(ReadFileBytes(path), "data");

    File closed;
    EXPECT_EQ(closed.ReadAt(0, buf, got), platform::kInvalidHandle);
    EXPECT_EQ(closed.WriteAt(0, buf), platform::kInvalidHandle);
    EXPECT_EQ(closed.ChangeShare(Share::Exclusive), platform::kInvalidHandle);
}

// A file that cannot be opened for writing (here: immutable) is opened
// read-only for read access, and its shares and locks still hold.
TEST_F(FileTest, ReadOnlyDescriptorsStillShareAndLock) {
    const std::string path = Make("RO.DBF", "data");
    const int fd = open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool immutable =
        ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    struct Unset {
        int fd, flags;
        ~Unset() {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
            close(fd);
        }
    } unset{fd, flags};
    if (!immutable) GTEST_SKIP() << "cannot make a file immutable here";

    File first, second;
    EXPECT_EQ(first.Open(path, Access::ReadWrite, Share::DenyNone), platform::kAccessDenied);
    ASSERT_EQ(first.Open(path, Access::Read, Share::Exclusive), 0);
    EXPECT_EQ(second.Open(path, Access::Read, Share::DenyNone), platform::kSharingViolation);
    ASSERT_EQ(first.ChangeShare(Share::DenyWrite), 0);
    ASSERT_EQ(second.Open(path, Access::Read, Share::DenyNone), 0);

    EXPECT_EQ(first.Lock(kLockBase + 1, 1), 0);
    EXPECT_EQ(second.Lock(kLockBase + 1, 1), platform::kLockViolation);
    EXPECT_EQ(second.Lock(kLockBase + 2, 1), 0);
    EXPECT_EQ(first.Unlock(kLockBase + 1, 1), 0);
    EXPECT_EQ(second.Lock(kLockBase + 1, 1), 0);
}

}  // namespace

TEST(FilePrefixMapTest, StoresReachTheFileWithoutAWrite) {
    TempDir dir;
    const std::string path = dir / "mapped.bin";
    File file;
    ASSERT_EQ(file.Open(path, Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways), 0);
    ASSERT_EQ(file.WriteAt(0, std::string(64, '.')), 0);

    // A child stores through the view and dies without closing anything.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::FilePrefixMap map;
        if (map.Map(file, 8) != 0) _exit(1);
        std::memcpy(map.Data(), "ABCDEFGH", 8);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    File other;
    ASSERT_EQ(other.Open(path, Access::Read, Share::DenyNone), 0);
    std::string bytes(10, ' ');
    size_t got = 0;
    ASSERT_EQ(other.ReadAt(0, bytes, got), 0);
    EXPECT_EQ(bytes, "ABCDEFGH..");
}
