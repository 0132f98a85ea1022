#include "platform/file.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace platform {

namespace {

// Sentinel bytes, relative to kShareSentinelBase. Every open holds shared
// locks on the bytes that describe it; the gate is held exclusively while an
// open checks and takes its bytes, so two openers never both see a clear field.
enum Sentinel : unsigned {
    kGate = 0,
    kHasRead = 1,
    kHasWrite = 2,
    kDenyRead = 3,
    kDenyWrite = 4,
};
constexpr unsigned kSentinelCount = 5;

constexpr unsigned Bit(unsigned sentinel) { return 1u << sentinel; }

constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());

off_t SentinelOffset(unsigned sentinel) { return static_cast<off_t>(kShareSentinelBase + sentinel); }

unsigned AccessBits(Access access) {
    switch (access) {
    case Access::Read: return Bit(kHasRead);
    case Access::Write: return Bit(kHasWrite);
    case Access::ReadWrite: return Bit(kHasRead) | Bit(kHasWrite);
    }
    return 0;
}

unsigned DenyBits(Share share) {
    switch (share) {
    case Share::DenyNone: return 0;
    case Share::DenyWrite: return Bit(kDenyWrite);
    case Share::Exclusive: return Bit(kDenyRead) | Bit(kDenyWrite);
    }
    return 0;
}

// The bytes that, held by someone else, conflict with holding `bits`: my
// access against their denials and my denials against their access.
unsigned Opposite(unsigned bits) {
    unsigned out = 0;
    if (bits & Bit(kHasRead)) out |= Bit(kDenyRead);
    if (bits & Bit(kHasWrite)) out |= Bit(kDenyWrite);
    if (bits & Bit(kDenyRead)) out |= Bit(kHasRead);
    if (bits & Bit(kDenyWrite)) out |= Bit(kHasWrite);
    return out;
}

// 0 or errno.
int SetLock(int fd, short type, off_t offset, off_t length, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

// 1 when another open holds any lock touching the range, 0 when none, or
// -errno. Locks of this open itself never count.
int HeldByOther(int fd, off_t offset, off_t length) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = length;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return -errno;
    return fl.l_type != F_UNLCK ? 1 : 0;
}

void ReleaseSentinels(int fd, unsigned bits) {
    for (unsigned s = kHasRead; s < kSentinelCount; ++s)
        if (bits & Bit(s)) SetLock(fd, F_UNLCK, SentinelOffset(s), 1, false);
}

// Takes shared locks on the sentinels in `take`, then fails with 32 when
// another open holds one of their opposites. On failure nothing new is held.
//
// The bytes are taken before the check, so even an opener that cannot take
// the gate (a read-only descriptor cannot hold a write lock) never gets in
// beside a conflicting one: of two racing openers the later check sees the
// earlier's bytes.
int TakeShare(int fd, unsigned take) {
    const int gate_err = SetLock(fd, F_WRLCK, SentinelOffset(kGate), 1, true);
    // A file system without lock support cannot enforce share modes at all;
    // the open still works, as on a system without sharing.
    if (gate_err == ENOLCK) return kOk;
    const bool gated = gate_err == 0;
    if (!gated && gate_err != EBADF) return DosErrorFromErrno(gate_err);

    int result = kOk;
    unsigned taken = 0;
    for (unsigned s = kHasRead; s < kSentinelCount && result == kOk; ++s) {
        if (!(take & Bit(s))) continue;
        const int err = SetLock(fd, F_RDLCK, SentinelOffset(s), 1, false);
        if (err == 0) {
            taken |= Bit(s);
        } else if (err == EAGAIN || err == EACCES) {
            result = kSharingViolation;
        } else if (err != ENOLCK) {
            result = DosErrorFromErrno(err);
        }
    }
    const unsigned check = Opposite(take);
    for (unsigned s = kHasRead; s < kSentinelCount && result == kOk; ++s) {
        if (!(check & Bit(s))) continue;
        const int held = HeldByOther(fd, SentinelOffset(s), 1);
        if (held > 0)
            result = kSharingViolation;
        else if (held < 0 && -held != ENOLCK)
            result = DosErrorFromErrno(-held);
    }
    if (result != kOk) ReleaseSentinels(fd, taken);
    if (gated) SetLock(fd, F_UNLCK, SentinelOffset(kGate), 1, false);
    return result;
}

bool ReadOnlyFallback(int err) { return err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY; }

struct ArmedFault {
    FileOp op;
    int remaining;  // calls of `op` until it fires, this one included
    int code;       // kCrash: the process dies instead
};

constexpr int kCrash = -1;

struct FaultTable {
    std::mutex mutex;
    std::vector<ArmedFault> armed;  // in the order armed
};

FaultTable& Faults() {
    static FaultTable table;
    return table;
}

// Every read and write checks this, so with nothing armed the check must stay
// one relaxed load; the table and its lock are touched only while armed.
constinit std::atomic<bool> g_faults_armed{false};

bool Counts(FileOp armed, FileOp call) {
    if (armed == call) return true;
    return armed == FileOp::Change &&
        (call == FileOp::Write || call == FileOp::Truncate || call == FileOp::Rename || call == FileOp::Create ||
         call == FileOp::Remove);
}

[[gnu::noinline]] int TakeArmedFault(FileOp op) {
    FaultTable& table = Faults();
    const std::lock_guard lock(table.mutex);
    auto fired = table.armed.end();
    for (auto it = table.armed.begin(); it != table.armed.end(); ++it) {
        if (!Counts(it->op, op)) continue;
        if (it->remaining > 1)
            --it->remaining;
        else if (fired == table.armed.end())
            fired = it;  // a later one due now waits at 1
    }
    int code = kOk;
    if (fired != table.armed.end()) {
        code = fired->code;
        table.armed.erase(fired);
    }
    g_faults_armed.store(!table.armed.empty(), std::memory_order_relaxed);
    if (code == kCrash) {
        ::kill(::getpid(), SIGKILL);
        _exit(128 + SIGKILL);
    }
    return code;
}

void Arm(FileOp op, int nth, int code) {
    FaultTable& table = Faults();
    const std::lock_guard lock(table.mutex);
    table.armed.push_back(ArmedFault{op, nth, code});
    g_faults_armed.store(true, std::memory_order_relaxed);
}

// 0, or the code this call of `op` is to fail with.
inline int InjectedFault(FileOp op) {
    if (!g_faults_armed.load(std::memory_order_relaxed)) [[likely]]
        return kOk;
    return TakeArmedFault(op);
}

}  // namespace

int TakeFileFault(FileOp op) { return InjectedFault(op); }

void InjectFileFault(FileOp op, int nth, int code) {
    if (nth < 1 || code <= kOk) return;
    Arm(op, nth, code);
}

void InjectFileCrash(FileOp op, int nth) {
    if (nth >= 1) Arm(op, nth, kCrash);
}

void ClearFileFaults() {
    FaultTable& table = Faults();
    const std::lock_guard lock(table.mutex);
    table.armed.clear();
    g_faults_armed.store(false, std::memory_order_relaxed);
}

int FileFaultsPending() {
    FaultTable& table = Faults();
    const std::lock_guard lock(table.mutex);
    return static_cast<int>(table.armed.size());
}

File::~File() { Close(); }

File::File(File&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), access_(other.access_), share_(other.share_), id_(other.id_),
      locks_(std::move(other.locks_)) {
    other.fd_ = -1;
    other.Close();
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        access_ = other.access_;
        share_ = other.share_;
        id_ = other.id_;
        locks_ = std::move(other.locks_);
        other.fd_ = -1;
        other.Close();
    }
    return *this;
}

int File::Open(const std::string& path, Access access, Share share, Disposition disposition) {
    Close();
    // Another process may put a new file in the path's place (a pack renames
    // its rewritten table over the old one) between the open and the share
    // locks. An open that ends on the old file would work on a file nobody
    // else sees any more, so it starts again on the file the path now names.
    constexpr int kAttempts = 100;
    for (int attempt = 1;; ++attempt) {
        bool replaced = false;
        const int code = OpenOnce(path, access, share, disposition, replaced);
        if (!replaced) return code;
        if (attempt == kAttempts) return kSharingViolation;
    }
}

int File::OpenOnce(const std::string& path, Access access, Share share, Disposition disposition, bool& replaced) {
    replaced = false;
    const bool existing = disposition == Disposition::OpenExisting || disposition == Disposition::OpenOwn;
    const std::string resolved = existing ? ResolveExisting(path) : ResolveForCreate(path);
    const std::string host = AnsiToUtf8(resolved);
    if (!existing)
        if (const int fault = InjectedFault(FileOp::Create)) return fault;

    int flags = O_CLOEXEC | O_NOCTTY;
    if (disposition == Disposition::CreateAlways) flags |= O_CREAT;
    // A new file is never a link planted under its name.
    if (disposition == Disposition::CreateNew) flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
    if (disposition == Disposition::OpenOwn) flags |= O_NOFOLLOW;
    // Never O_TRUNC: the file may be held by someone whose share mode forbids
    // it; truncation waits for the share check.
    //
    // The descriptor is read/write even for read access, because the lock
    // emulation needs write locks; the access asked for is enforced here.
    int fd = ::open(host.c_str(), flags | O_RDWR, 0666);
    if (fd < 0 && access == Access::Read && existing && ReadOnlyFallback(errno))
        fd = ::open(host.c_str(), flags | O_RDONLY);
    // A link where the caller's own file belongs is refused like a name taken.
    if (fd < 0 && errno == ELOOP && disposition != Disposition::OpenExisting) return kAccessDenied;
    if (fd < 0) return DosErrorForPath(errno, resolved);
    fd_ = fd;

    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        const int err = errno;
        Close();
        return DosErrorFromErrno(err);
    }
    if (S_ISDIR(st.st_mode)) {
        Close();
        return kAccessDenied;
    }
    // A name that is one of several of a file (a hard link) is no file of
    // the caller's own either: writing it would write what the other names show.
    if (disposition == Disposition::OpenOwn && st.st_nlink > 1) {
        Close();
        return kAccessDenied;
    }

    const int code = AcquireShare(access, share);
    if (code != kOk) {
        Close();
        return code;
    }
    // Holding the share locks, the file cannot be replaced by anyone who
    // plays by them any more: the path must still name it.
    struct stat now {};
    const int named = disposition == Disposition::OpenOwn ? lstat(host.c_str(), &now) : stat(host.c_str(), &now);
    if (named != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
        Close();
        replaced = true;
        return kSharingViolation;
    }
    if (disposition == Disposition::CreateAlways) {
        int rc;
        do rc = ftruncate(fd_, 0);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int err = errno;
            Close();
            return DosErrorFromErrno(err);
        }
    }
    path_ = resolved;
    access_ = access;
    share_ = share;
    id_ = FileId{st.st_dev, st.st_ino};
    return kOk;
}

void File::Close() {
    // Closing the only descriptor of this open file description drops its
    // share sentinels and byte-range locks together.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    path_.clear();
    access_ = Access::Read;
    share_ = Share::DenyNone;
    id_ = FileId{};
    locks_.clear();
}

int File::AcquireShare(Access access, Share share) {
    if (fd_ < 0) return kInvalidHandle;
    return TakeShare(fd_, AccessBits(access) | DenyBits(share));
}

int File::ReadAt(uint64_t offset, std::span<char> buf, size_t& got) const {
    got = 0;
    if (fd_ < 0) return kInvalidHandle;
    if (access_ == Access::Write) return kAccessDenied;
    if (const int fault = InjectedFault(FileOp::Read)) return fault;
    if (offset > kMaxOffset) return kOk;  // past any end
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buf.size(), kMaxOffset - offset));
    while (got < want) {
        const ssize_t n = pread(fd_, buf.data() + got, want - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return DosErrorFromErrno(errno);
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return kOk;
}

int File::WriteAt(uint64_t offset, std::span<const char> buf) {
    if (fd_ < 0) return kInvalidHandle;
    if (access_ == Access::Read) return kAccessDenied;
    if (offset > kMaxOffset || buf.size() > kMaxOffset - offset) return kDiskWrite;
    if (const int fault = InjectedFault(FileOp::Write)) return fault;
    size_t done = 0;
    while (done < buf.size()) {
        const ssize_t n = pwrite(fd_, buf.data() + done, buf.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return DosErrorFromErrno(errno);
        }
        if (n == 0) return kDiskWrite;
        done += static_cast<size_t>(n);
    }
    return kOk;
}

int File::Size(uint64_t& size) const {
    size = 0;
    if (fd_ < 0) return kInvalidHandle;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return DosErrorFromErrno(errno);
    size = static_cast<uint64_t>(st.st_size);
    return kOk;
}

int File::Truncate(uint64_t length) {
    if (fd_ < 0) return kInvalidHandle;
    if (access_ == Access::Read) return kAccessDenied;
    if (length > kMaxOffset) return kDiskWrite;
    if (const int fault = InjectedFault(FileOp::Truncate)) return fault;
    int rc;
    do rc = ftruncate(fd_, static_cast<off_t>(length));
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? kOk : DosErrorFromErrno(errno);
}

int File::Sync() {
    if (fd_ < 0) return kInvalidHandle;
    if (const int fault = InjectedFault(FileOp::Sync)) return fault;
    int rc;
    do rc = fdatasync(fd_);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? kOk : DosErrorFromErrno(errno);
}

int File::ModifiedTime(time_t& t) const {
    t = 0;
    if (fd_ < 0) return kInvalidHandle;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return DosErrorFromErrno(errno);
    t = st.st_mtime;
    return kOk;
}

int File::SetModifiedTime(time_t t) {
    if (fd_ < 0) return kInvalidHandle;
    if (access_ == Access::Read) return kAccessDenied;
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    return futimens(fd_, times) == 0 ? kOk : DosErrorFromErrno(errno);
}

int File::TakePermissionsOf(const File& other) {
    if (fd_ < 0 || other.fd_ < 0) return kInvalidHandle;
    struct stat st {};
    if (fstat(other.fd_, &st) != 0 || fchmod(fd_, st.st_mode & 07777) != 0) return DosErrorFromErrno(errno);
    return kOk;
}

int File::TakePermissionsOf(const std::string& path) {
    if (fd_ < 0) return kInvalidHandle;
    struct stat st {};
    const std::string resolved = ResolveExisting(path);
    if (stat(AnsiToUtf8(resolved).c_str(), &st) != 0) return DosErrorForPath(errno, resolved);
    if (fchmod(fd_, st.st_mode & 07777) != 0) return DosErrorFromErrno(errno);
    return kOk;
}

int File::RenameOver(const std::string& target) {
    if (fd_ < 0) return kInvalidHandle;
    if (const int fault = InjectedFault(FileOp::Rename)) return fault;
    const std::string resolved = ResolveForCreate(target);
    if (::rename(AnsiToUtf8(path_).c_str(), AnsiToUtf8(resolved).c_str()) != 0) return DosErrorForPath(errno, resolved);
    path_ = resolved;
    return kOk;
}

int File::ChangeShare(Share share) {
    if (fd_ < 0) return kInvalidHandle;
    if (share == share_) return kOk;
    const unsigned before = DenyBits(share_);
    const unsigned after = DenyBits(share);
    const int code = TakeShare(fd_, after & ~before);
    if (code != kOk) return code;
    ReleaseSentinels(fd_, before & ~after);
    share_ = share;
    return kOk;
}

bool File::FreeSlot(uint64_t offset, uint64_t length, std::vector<Range>::iterator& at) {
    // locks_ is sorted by offset and its ranges never overlap.
    at =
        std::lower_bound(locks_.begin(), locks_.end(), offset, [](const Range& r, uint64_t o) { return r.offset < o; });
    if (at != locks_.end() && at->offset < offset + length) return false;
    return at == locks_.begin() || std::prev(at)->offset + std::prev(at)->length <= offset;
}

int File::Lock(uint64_t offset, uint64_t length) {
    if (fd_ < 0) return kInvalidHandle;
    if (length == 0) return kOk;
    if (offset >= kShareSentinelBase || length > kShareSentinelBase - offset) return kAccessDenied;
    std::vector<Range>::iterator next;
    if (!FreeSlot(offset, length, next)) return kLockViolation;

    const auto start = static_cast<off_t>(offset);
    const auto len = static_cast<off_t>(length);
    int err = SetLock(fd_, F_WRLCK, start, len, false);
    if (err == EBADF) {
        // A read-only descriptor cannot hold a write lock: a shared lock on a
        // range nobody else touches excludes every other locker just as well.
        const int held = HeldByOther(fd_, start, len);
        if (held < 0) return DosErrorFromErrno(-held);
        if (held > 0) return kLockViolation;
        err = SetLock(fd_, F_RDLCK, start, len, false);
    }
    if (err == EAGAIN || err == EACCES) return kLockViolation;
    if (err != 0) return DosErrorFromErrno(err);
    locks_.insert(next, Range{offset, length});
    return kOk;
}

int File::LockShared(uint64_t offset, uint64_t length) {
    if (fd_ < 0) return kInvalidHandle;
    if (length == 0) return kOk;
    if (offset >= kShareSentinelBase || length > kShareSentinelBase - offset) return kAccessDenied;
    std::vector<Range>::iterator next;
    if (!FreeSlot(offset, length, next)) return kLockViolation;
    const int err = SetLock(fd_, F_RDLCK, static_cast<off_t>(offset), static_cast<off_t>(length), false);
    if (err == EAGAIN || err == EACCES) return kLockViolation;
    if (err != 0) return DosErrorFromErrno(err);
    locks_.insert(next, Range{offset, length});
    return kOk;
}

int File::HeldElsewhere(uint64_t offset, uint64_t length, bool& held) const {
    held = false;
    if (fd_ < 0) return kInvalidHandle;
    if (offset >= kShareSentinelBase || length > kShareSentinelBase - offset) return kAccessDenied;
    const int result = HeldByOther(fd_, static_cast<off_t>(offset), static_cast<off_t>(length));
    if (result < 0) return DosErrorFromErrno(-result);
    held = result > 0;
    return kOk;
}

int File::Unlock(uint64_t offset, uint64_t length) {
    if (fd_ < 0) return kInvalidHandle;
    if (length == 0) return kOk;
    const auto it =
        std::lower_bound(locks_.begin(), locks_.end(), offset, [](const Range& r, uint64_t o) { return r.offset < o; });
    if (it == locks_.end() || it->offset != offset || it->length != length) return kNotLocked;
    const int err = SetLock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(length), false);
    if (err != 0) return DosErrorFromErrno(err);
    locks_.erase(it);
    return kOk;
}

FilePrefixMap::~FilePrefixMap() { Unmap(); }

FilePrefixMap::FilePrefixMap(FilePrefixMap&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FilePrefixMap& FilePrefixMap::operator=(FilePrefixMap&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

int FilePrefixMap::Map(const File& file, size_t length) {
    Unmap();
    if (!file.IsOpen() || length == 0) return kInvalidHandle;
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, file.Fd(), 0);
    if (p == MAP_FAILED) return DosErrorFromErrno(errno);
    data_ = static_cast<char*>(p);
    size_ = length;
    return kOk;
}

void FilePrefixMap::Unmap() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    const std::string source = ResolveExisting(from);
    const std::string host_source = AnsiToUtf8(source);
    struct stat st {};
    if (lstat(host_source.c_str(), &st) != 0) return DosErrorForPath(errno, source);

    std::string target = ResolveForCreate(to);
    if (target == source) {
        // Only the case differs: the new spelling is the one asked for.
        target = ResolveDirectory(to);
        if (target == source) return kOk;
    }
    const std::string host_target = AnsiToUtf8(target);

    // A file someone has open cannot be renamed, as on the original platform;
    // holding it exclusively also keeps newcomers out while it moves.
    File guard;
    if (S_ISREG(st.st_mode) && guard.Open(source, Access::Read, Share::Exclusive) == kSharingViolation)
        return kSharingViolation;

    if (const int fault = TakeFileFault(FileOp::Rename)) return fault;
    if (renameat2(AT_FDCWD, host_source.c_str(), AT_FDCWD, host_target.c_str(), RENAME_NOREPLACE) == 0) return kOk;
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        // No atomic no-replace rename on this file system: a hard link
        // cannot replace anything either.
        if (link(host_source.c_str(), host_target.c_str()) == 0) {
            if (unlink(host_source.c_str()) == 0) return kOk;
            err = errno;
            unlink(host_target.c_str());
        } else {
            err = errno;
            if (err == EPERM && S_ISDIR(st.st_mode)) {
                struct stat existing {};
                if (lstat(host_target.c_str(), &existing) == 0) return kAccessDenied;
                if (rename(host_source.c_str(), host_target.c_str()) == 0) return kOk;
                err = errno;
            }
        }
    }
    return DosErrorForPath(err, target);
}

int RemoveFile(const std::string& path) {
    const std::string resolved = ResolveExisting(path);
    const std::string host = AnsiToUtf8(resolved);
    struct stat st {};
    if (lstat(host.c_str(), &st) != 0) return DosErrorForPath(errno, resolved);
    // A read-only file and an open file cannot be erased, as on the original
    // platform.
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return kAccessDenied;
    File guard;
    if (S_ISREG(st.st_mode) && guard.Open(resolved, Access::Read, Share::Exclusive) == kSharingViolation)
        return kSharingViolation;
    if (const int fault = TakeFileFault(FileOp::Remove)) return fault;
    if (unlink(host.c_str()) != 0) return DosErrorForPath(errno, resolved);
    return kOk;
}

int SyncFolder(const std::string& folder) {
    const std::string resolved = ResolveExisting(folder);
    const int fd = open(AnsiToUtf8(resolved).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return DosErrorForPath(errno, resolved);
    int code = InjectedFault(FileOp::Sync);
    if (code == kOk) {
        int rc;
        do rc = fsync(fd);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) code = DosErrorFromErrno(errno);
    }
    close(fd);
    return code;
}

int CreateTempFile(const std::string& prefix, std::string& path) {
    path.clear();
    const std::string dir = TempDirectory();
    std::string host = AnsiToUtf8(dir + prefix) + "XXXXXX.TMP";
    if (const int fault = TakeFileFault(FileOp::Create)) return fault;
    const int fd = mkostemps(host.data(), 4, O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return DosErrorForPath(errno, dir + prefix);
    ::close(fd);
    path = Utf8ToAnsi(host);
    return kOk;
}

}  // namespace platform
