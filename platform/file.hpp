#pragma once
// Files with share modes and byte-range locks.
//
// The host system has no share modes, so they are emulated with open-file-
// description (OFD) locks on sentinel bytes far above any data: every open
// holds shared locks on the bytes that describe its access and its denials,
// and a newcomer checks the bytes that conflict with it. OFD locks belong to
// one open file description, so two descriptors of one process exclude each
// other exactly as two processes do, and closing one descriptor never drops
// the locks of another.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

#include "platform/file_id.hpp"

namespace platform {

enum class Access { Read, Write, ReadWrite };
enum class Share { DenyNone, DenyWrite, Exclusive };
enum class Disposition {
    OpenExisting,  // fail with 2 when missing
    CreateAlways,  // create, or truncate an existing file once the share check passed
    CreateNew,     // fail with 5 when the name exists, a link included
    OpenOwn,       // an existing file, never a link (symbolic, or a file with other names: 5)
};

// Sentinel offsets used by the share emulation; far above any lock the engine
// places (record locks end below 2^49).
inline constexpr uint64_t kShareSentinelBase = uint64_t{1} << 62;

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path` (ANSI page; resolved case-insensitively, exact spelling
    // first; a new file gets its extension in the case style of its base
    // name). Returns 0 or a DOS code: 32 when the share modes conflict.
    // The open ends on the file the path names once the share locks are
    // held, even when another process renamed a file over it meanwhile.
    int Open(const std::string& path, Access access, Share share, Disposition disposition = Disposition::OpenExisting);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // The path as opened on disk (ANSI page).
    const std::string& Path() const { return path_; }
    Share CurrentShare() const { return share_; }
    FileId Id() const { return id_; }

    // Reads up to buf.size() bytes at `offset`; `got` is less only at end of
    // file. Returns 0 or a DOS code.
    int ReadAt(uint64_t offset, std::span<char> buf, size_t& got) const;
    // Writes all of buf at `offset`; a short write is 101.
    int WriteAt(uint64_t offset, std::span<const char> buf);
    int Size(uint64_t& size) const;
    int Truncate(uint64_t length);
    int Sync();  // data to disk (fdatasync)

    int ModifiedTime(time_t& t) const;
    int SetModifiedTime(time_t t);

    // Gives this file the permission bits of `other`, or of the file a path
    // names (links followed).
    int TakePermissionsOf(const File& other);
    int TakePermissionsOf(const std::string& path);

    // Renames the open file to `target`, replacing whatever is there (used to
    // put a rewritten table in its old place in one step).
    int RenameOver(const std::string& target);

    // Changes the share mode of this open in place, without closing: to
    // Exclusive fails with 32 (and changes nothing) while anyone else has the
    // file open.
    int ChangeShare(Share share);

    // Exclusive, non-blocking byte-range lock: 33 when another open holds an
    // overlapping range, or when this open already holds one (as the original
    // platform behaves). Unlock needs the exact range that was locked: 158
    // otherwise.
    int Lock(uint64_t offset, uint64_t length);
    int Unlock(uint64_t offset, uint64_t length);
    // Shared, non-blocking: any number of opens may hold it together, and it
    // excludes an exclusive Lock (33 either way). Unlock releases it. A lock
    // that a process holds goes with it, so it tells who is still there.
    int LockShared(uint64_t offset, uint64_t length);
    // Whether another open holds a lock touching the range; 0 or a DOS code.
    int HeldElsewhere(uint64_t offset, uint64_t length, bool& held) const;

private:
    int OpenOnce(const std::string& path, Access access, Share share, Disposition disposition, bool& replaced);
    int AcquireShare(Access access, Share share);

    int fd_ = -1;
    std::string path_;
    Access access_ = Access::Read;
    Share share_ = Share::DenyNone;
    FileId id_;
    struct Range {
        uint64_t offset, length;
    };
    std::vector<Range> locks_;
    // Where a lock of the range would go in locks_; false when this open
    // already holds a lock overlapping it.
    bool FreeSlot(uint64_t offset, uint64_t length, std::vector<Range>::iterator& at);
};

// Test seam: makes chosen file operations fail as a failing disk would, so
// callers' error paths can be exercised. A call that fails this way does
// nothing (a read gets no bytes). Calls rejected before reaching the disk
// (closed file, wrong access, offset out of range) are not counted.
//
// Create counts opens that may make a file (CreateAlways, CreateNew) and
// Remove counts RemoveFile. Change stands for every call that changes what is
// on disk (Write, Truncate, Rename, Create, Remove): a fault armed for it
// counts them all together.
enum class FileOp { Read, Write, Sync, Truncate, Rename, Create, Remove, Change };

// Makes the `nth` (1-based, counted from now) call of `op` on any File fail
// with `code`, once. Faults already armed stay armed; if two fall on the same
// call, the one armed first fires and the other fires on the next call.
// nth < 1 or code 0 arms nothing.
void InjectFileFault(FileOp op, int nth, int code);
// Makes the process die by SIGKILL just before the `nth` call of `op`, as a
// process killed at that moment would (tests of what a crash leaves).
void InjectFileCrash(FileOp op, int nth);
void ClearFileFaults();
// How many armed faults have not fired yet.
int FileFaultsPending();
// For the file services of this layer: 0, or the code this call of `op` is
// to fail with (a crash fault ends the process here).
int TakeFileFault(FileOp op);

// Arms a fault for the life of a scope; on leaving it clears every armed
// fault, so none outlives the test that set it.
class FileFaultScope {
public:
    FileFaultScope(FileOp op, int nth, int code) { InjectFileFault(op, nth, code); }
    ~FileFaultScope() { ClearFileFaults(); }
    FileFaultScope(const FileFaultScope&) = delete;
    FileFaultScope& operator=(const FileFaultScope&) = delete;
};

// A shared, writable view of the start of an open file. What is stored
// through it is in the file at once: other processes reading the file see it,
// and it survives the process, without a system call per store.
class FilePrefixMap {
public:
    FilePrefixMap() = default;
    ~FilePrefixMap();
    FilePrefixMap(FilePrefixMap&& other) noexcept;
    FilePrefixMap& operator=(FilePrefixMap&& other) noexcept;
    FilePrefixMap(const FilePrefixMap&) = delete;
    FilePrefixMap& operator=(const FilePrefixMap&) = delete;

    // Maps the first `length` bytes, which the file must hold; 0 or a DOS code.
    int Map(const File& file, size_t length);
    void Unmap();
    bool IsMapped() const { return data_ != nullptr; }
    char* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
};

// Whole-file operations. Both refuse a file that is open anywhere (32), as
// the original platform does; RemoveFile also refuses a read-only file (5).
// Renames never replace an existing target (5 when it exists); a change of
// case alone is allowed.
int RenameNoReplace(const std::string& from, const std::string& to);
int RemoveFile(const std::string& path);
// Puts the folder's entries on disk: files made, renamed or removed in it
// survive a power loss once this returns 0 (their data needs File::Sync).
// Counts as a Sync for the fault seam.
int SyncFolder(const std::string& folder);
// Creates a new empty file "<prefix>XXXXXX.TMP" in the temporary folder.
int CreateTempFile(const std::string& prefix, std::string& path);

}  // namespace platform
