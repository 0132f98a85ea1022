// The index semaphore of a shared table: a 4-byte record in "<table>.@S@"
// beside it (processes logged in, readers, update counter), changed only
// under a lock on its bytes 1-4 (the region). A writer waits until no reader
// is counted and keeps the region while it changes the index; releasing it
// counts the update, by which the others know to read the tag headers again.
//
// Counts alone cannot tell a process that died: each logged-in open also
// holds a shared lock on byte 16, and each counted reader one on byte 17.
// Such locks go with their process, so counts nobody holds a lock for are
// left over and are cleared, instead of stopping every writer.
#include <chrono>
#include <thread>

#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr uint64_t kRegionAt = 1;
constexpr uint64_t kRegionLength = 4;
constexpr uint64_t kLoginByte = 16;
constexpr uint64_t kReaderByte = 17;
constexpr uint16_t kSemaphoreError = 1202;

using Clock = std::chrono::steady_clock;

const char* ActionName(int action) {
    static const char* const names[] = {"LOGIN", "LOGOUT", "INCREAD", "DECREAD", "LOCKSEMAPHORE", "UNLOCKSEMAPHORE"};
    return names[action];
}

std::string SemaphorePath(const TWorkArea& a) {
    // Beside the table itself, so that opens through links to it share it.
    std::string path = platform::FinalPath(a.file.Path());
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
    return platform::ResolveForCreate(path + ".@S@");
}

// "<what><file> Action=<action> [Database Semaphore]", as logging in and out word it.
Status LoginError(uint16_t code, const std::string& what, const Semaphore& s, int action) {
    return Fail(code, what + s.path + " Action=" + ActionName(action) + " [Database Semaphore]");
}
Status StepError(uint16_t code, const std::string& what, const Semaphore& s, int action) {
    return Fail(code, what + s.path + " " + ActionName(action));
}

int ReadRecord(Semaphore& s) {
    size_t got = 0;
    std::array<char, 4> bytes{};
    if (int rc = s.file.ReadAt(0, bytes, got); rc != 0) return rc;
    // A file cut short reads as zeros where it ends.
    for (size_t i = 0; i < 4; ++i) s.record[i] = i < got ? static_cast<uint8_t>(bytes[i]) : 0;
    return 0;
}

int WriteRecord(Semaphore& s) {
    const std::array<char, 4> bytes{static_cast<char>(s.record[0]), static_cast<char>(s.record[1]),
                                    static_cast<char>(s.record[2]), static_cast<char>(s.record[3])};
    return s.file.WriteAt(0, bytes);
}

Status TakeRegion(Semaphore& s, int action) {
    const SemaphoreTimes& times = IndexEngine().times;
    const auto deadline = Clock::now() + times.region;
    for (;;) {
        const int rc = s.file.Lock(kRegionAt, kRegionLength);
        if (rc == 0) {
            s.region_held = true;
            return {};
        }
        if (Clock::now() >= deadline)
            return Fail(kSemaphoreError,
                        "10 second timeout: Cannot lock index semaphore file: " + s.path + " " + ActionName(action) +
                            "\r\nPossible cause: Network lock limit exceeded" +
                            "\r\n Lock result code: " + std::to_string(rc));
        std::this_thread::sleep_for(times.pause);
    }
}

Status ReleaseRegion(Semaphore& s, int action) {
    if (!s.region_held) return {};
    s.region_held = false;
    if (int rc = s.file.Unlock(kRegionAt, kRegionLength); rc != 0)
        return StepError(static_cast<uint16_t>(rc), "Cannot unlock index semaphore file: ", s, action);
    return {};
}

// The table's file lock, which logging in and out take so that they never
// meet half-way.
Status LockTable(TWorkArea& a, Semaphore& s, int action) {
    const SemaphoreTimes& times = IndexEngine().times;
    const auto deadline = Clock::now() + times.region;
    while (LockRegion(false, a.file, Settings().lock_base, 1) != 0) {
        if (Clock::now() >= deadline) return LoginError(kSemaphoreError, "Cannot lock database for: ", s, action);
        std::this_thread::sleep_for(times.pause);
    }
    return {};
}

void UnlockTable(TWorkArea& a) { (void)LockRegion(true, a.file, Settings().lock_base, 1); }

// Creates the semaphore file or opens the one there, never through a link:
// a link planted under its name (symbolic, dangling or to a file elsewhere,
// or a hard link) is taken away and the file made anew, its target untouched.
Status OpenSemaphoreFile(Semaphore& s) {
    constexpr int kAttempts = 10;
    for (int attempt = 1;; ++attempt) {
        int rc = s.file.Open(s.path, platform::Access::ReadWrite, platform::Share::DenyNone,
                             platform::Disposition::CreateNew);
        if (rc == 0) {
            s.record = {};
            if (int w = WriteRecord(s); w != 0) {
                s.file.Close();
                return LoginError(static_cast<uint16_t>(w), "Cannot write to: ", s, kLogin);
            }
            return {};
        }
        if (rc != platform::kAccessDenied && rc != platform::kSharingViolation && rc != 3 && rc != 150 && rc != 162 &&
            rc != 163)
            return LoginError(static_cast<uint16_t>(rc), "Cannot open/create: ", s, kLogin);
        rc =
            s.file.Open(s.path, platform::Access::ReadWrite, platform::Share::DenyNone, platform::Disposition::OpenOwn);
        if (rc == 0) return {};
        // Gone meanwhile (its last user erased it): create it again.
        if (rc == platform::kFileNotFound && attempt < kAttempts) continue;
        if (rc != platform::kAccessDenied || !platform::IsLinked(s.path) || attempt == kAttempts)
            return LoginError(static_cast<uint16_t>(rc), "Cannot open: ", s, kLogin);
        if (int r = platform::RemoveFile(s.path); r != 0 && r != platform::kFileNotFound)
            return LoginError(static_cast<uint16_t>(r), "Cannot open: ", s, kLogin);
    }
}

Status LoginLocked(Semaphore& s) {
    if (Status st = OpenSemaphoreFile(s); st.failed()) return st;
    const auto fail = [&s](Status status) {
        (void)ReleaseRegion(s, kLogin);
        s.file.Close();
        return status;
    };
    if (Status st = TakeRegion(s, kLogin); st.failed()) return fail(st);
    if (int r = ReadRecord(s); r != 0) return fail(LoginError(static_cast<uint16_t>(r), "Cannot read: ", s, kLogin));
    // Nobody else holds the login lock: whatever is counted was left by
    // processes that are gone.
    bool others = true;
    if (s.file.HeldElsewhere(kLoginByte, 1, others) == 0 && !others) s.record[0] = s.record[1] = 0;
    if (s.record[0] < 255) ++s.record[0];
    if (int w = WriteRecord(s); w != 0)
        return fail(LoginError(static_cast<uint16_t>(w), "Cannot write to: ", s, kLogin));
    (void)s.file.LockShared(kLoginByte, 1);
    if (Status st = ReleaseRegion(s, kLogin); st.failed()) return fail(st);
    s.known_counter = s.Counter();
    s.logged_in = true;
    return {};
}

Status Login(TWorkArea& a, Semaphore& s) {
    if (s.logged_in) return {};
    s.path = SemaphorePath(a);
    if (Status st = LockTable(a, s, kLogin); st.failed()) return st;
    Status st = LoginLocked(s);
    UnlockTable(a);
    return st;
}

Status Logout(TWorkArea& a, Semaphore& s) {
    if (!s.logged_in) return {};
    const auto end = [&](Status status) {
        std::string path = std::move(s.path);
        s = Semaphore{};
        s.path = std::move(path);
        return status;
    };
    if (Status st = LockTable(a, s, kLogout); st.failed()) return end(st);
    Status st = TakeRegion(s, kLogout);
    if (st.ok()) {
        if (int r = ReadRecord(s); r != 0) st = LoginError(static_cast<uint16_t>(r), "Cannot read: ", s, kLogout);
    }
    bool last = false;
    if (st.ok()) {
        if (s.counted_reader && s.record[1] > 0) --s.record[1];
        if (s.record[0] > 0) --s.record[0];
        last = s.record[0] == 0;
        if (int w = WriteRecord(s); w != 0) st = LoginError(static_cast<uint16_t>(w), "Cannot write to: ", s, kLogout);
    }
    st = FirstFailure(std::move(st), ReleaseRegion(s, kLogout));
    const std::string path = s.path;
    st = end(std::move(st));
    // Erasing refuses a file that anyone still has open, which is no failure.
    if (last)
        if (const int rc = platform::RemoveFile(path);
            rc != 0 && rc != platform::kSharingViolation && rc != platform::kFileNotFound && st.ok())
            st = Fail(static_cast<uint16_t>(rc), "Cannot erase: " + path + " Action=LOGOUT [Database Semaphore]");
    UnlockTable(a);
    return st;
}

Status ChangeReaders(Semaphore& s, int action) {
    const bool take = action == kIncRead;
    if (Status st = TakeRegion(s, action); st.failed()) return st;
    Status st;
    if (int r = ReadRecord(s); r != 0) {
        st = StepError(static_cast<uint16_t>(r), "Cannot read: ", s, action);
    } else {
        if (take && s.record[1] < 127) ++s.record[1];
        if (!take && s.record[1] > 0) --s.record[1];
        if (int w = WriteRecord(s); w != 0) {
            st = StepError(static_cast<uint16_t>(w), "Cannot write to: ", s, action);
        } else {
            s.counted_reader = take;
            if (take)
                (void)s.file.LockShared(kReaderByte, 1);
            else
                (void)s.file.Unlock(kReaderByte, 1);
        }
    }
    return FirstFailure(std::move(st), ReleaseRegion(s, action));
}

Status LockForWriting(Semaphore& s) {
    const SemaphoreTimes& times = IndexEngine().times;
    const auto start = Clock::now();
    for (;;) {
        if (Status st = TakeRegion(s, kLockSemaphore); st.failed()) return st;
        if (int r = ReadRecord(s); r != 0) {
            (void)ReleaseRegion(s, kLockSemaphore);
            return StepError(static_cast<uint16_t>(r), "Cannot read: ", s, kLockSemaphore);
        }
        const int own = s.counted_reader ? 1 : 0;
        int readers = s.record[1] - own;
        // The reader locks tell who reads, whatever the count says: a count
        // can be off (a writer that read too, a process that died), a lock
        // cannot.
        bool held = true;
        if (s.file.HeldElsewhere(kReaderByte, 1, held) == 0) {
            if (readers > 0 && !held) {
                s.record[1] = static_cast<uint8_t>(own);
                // One of those counted may have been a writer that died
                // half-way: every process reads the index anew, and finds its
                // change mark.
                mdx::Put16(s.record.data() + 2, static_cast<uint16_t>(s.Counter() + 1));
            }
            readers = held ? 1 : 0;
        }
        if (readers <= 0) {
            s.record[1] = static_cast<uint8_t>(own + 1);
            if (int w = WriteRecord(s); w != 0) {
                (void)ReleaseRegion(s, kLockSemaphore);
                return StepError(static_cast<uint16_t>(w), "Cannot write to: ", s, kLockSemaphore);
            }
            return {};  // the region stays held until the write is done
        }
        (void)ReleaseRegion(s, kLockSemaphore);
        if (Clock::now() - start >= times.readers)
            return Fail(kSemaphoreError,
                        "100 second timeout, cannot read: " + s.path + "\r\n" +
                            "Possible cause: Other user's program has terminated abnormally.\r\n" +
                            "Cure: Log all users of this application off the network,\r\n" + "then delete " + s.path);
        std::this_thread::sleep_for(times.pause);
    }
}

Status UnlockForWriting(Semaphore& s) {
    if (int r = ReadRecord(s); r != 0) {
        (void)ReleaseRegion(s, kUnlockSemaphore);
        return StepError(static_cast<uint16_t>(r), "Cannot read: ", s, kUnlockSemaphore);
    }
    mdx::Put16(s.record.data() + 2, static_cast<uint16_t>(s.Counter() + 1));
    // A writer that also reads stays counted.
    s.record[1] = s.counted_reader ? 1 : 0;
    if (int w = WriteRecord(s); w != 0) {
        (void)ReleaseRegion(s, kUnlockSemaphore);
        return StepError(static_cast<uint16_t>(w), "Cannot write to: ", s, kUnlockSemaphore);
    }
    if (Status st = ReleaseRegion(s, kUnlockSemaphore); st.failed()) return st;
    s.known_counter = s.Counter();
    return {};
}

}  // namespace

bool SemaphoreInUse(const TWorkArea& a) { return !a.is_virtual && (!a.exclusive || a.exclusive_from_reopen); }

Status OpenUnlisted(TWorkArea& a, Semaphore& s) {
    s.path = SemaphorePath(a);
    return OpenSemaphoreFile(s);
}

void CloseUnlisted(Semaphore& s) {
    if (!s.file.IsOpen()) return;
    (void)ReleaseRegion(s, kUnlockSemaphore);
    // Made by the watch perhaps: it goes when nobody is logged in (an open
    // elsewhere keeps it).
    bool logged = true;
    if (s.file.HeldElsewhere(kLoginByte, 1, logged) != 0) logged = true;
    s.file.Close();
    if (!logged) (void)platform::RemoveFile(s.path);
}

Status HoldRegion(Semaphore& s) {
    if (Status st = TakeRegion(s, kLockSemaphore); st.failed()) return st;
    if (int r = ReadRecord(s); r != 0) {
        (void)ReleaseRegion(s, kLockSemaphore);
        return StepError(static_cast<uint16_t>(r), "Cannot read: ", s, kLockSemaphore);
    }
    return {};
}

Status CountUpdate(Semaphore& s) {
    mdx::Put16(s.record.data() + 2, static_cast<uint16_t>(s.Counter() + 1));
    if (int w = WriteRecord(s); w != 0)
        return StepError(static_cast<uint16_t>(w), "Cannot write to: ", s, kLockSemaphore);
    return {};
}

Status LetRegionGo(Semaphore& s) { return ReleaseRegion(s, kUnlockSemaphore); }

Status HandleSemaphoreIn(TWorkArea& a, IndexArea& ix, int action) {
    if (a.number > 34) return Fail(254, "Work area [" + std::to_string(a.number) + "] out of range. [HandleSemafore]");
    Semaphore& s = ix.semaphore;
    if (action < kLogin || action > kUnlockSemaphore || !SemaphoreInUse(a)) return {};
    if (action != kLogin && !s.logged_in) return {};
    switch (action) {
    case kLogin: return Login(a, s);
    case kLogout: return Logout(a, s);
    case kIncRead: {
        if (++s.reads > 1 || s.region_held || s.counted_reader) return {};
        Status st = ChangeReaders(s, action);
        if (st.failed()) s.reads = 0;
        return st;
    }
    case kDecRead:
        if (--s.reads < 0) {
            s.reads = 0;
            return StepError(254, "Unbalanced IncRead/DecRead for semaphore file: ", s, action);
        }
        if (s.reads > 0 || s.region_held || !s.counted_reader) return {};
        return ChangeReaders(s, action);
    case kLockSemaphore:
        if (++s.locks != 1 || s.region_held) return {};
        if (Status st = LockForWriting(s); st.failed()) {
            s.locks = 0;
            return st;
        }
        return {};
    default:
        if (--s.locks < 0) {
            s.locks = 0;
            (void)ReleaseRegion(s, action);
            return StepError(254, "Unbalanced Lock/Unlock for semaphore file: ", s, action);
        }
        if (s.locks > 0 || !s.region_held) return {};
        return UnlockForWriting(s);
    }
}

namespace {

// The outermost take and the last release of a bracket act; a release with
// nothing taken is refused.
Status Bracket(TWorkArea& a, IndexArea& ix, bool take, int& nesting, int on, int off, const char* routine) {
    if (take) {
        if (++nesting > 1) return {};
        Status s = HandleSemaphoreIn(a, ix, on);
        if (s.failed()) nesting = 0;
        return s;
    }
    if (nesting == 0) return Fail(254, std::string("Non-symmetrical Lock-Unlock [") + routine + "]");
    if (--nesting > 0) return {};
    return HandleSemaphoreIn(a, ix, off);
}

}  // namespace

Status ReadBracket(TWorkArea& a, IndexArea& ix, bool take) {
    // A change of this process that failed half-way, while the disk failed
    // its repair too, is put right before the index is read again.
    if (take && ix.read_brackets == 0 && ix.lock_brackets == 0 && ix.tag_count > 0 &&
        ix.file.PendingMark() != IndexFile::Mark::None)
        if (Status s = RepairMarkedIndexIn(a, ix); s.failed()) return s;
    return Bracket(a, ix, take, ix.read_brackets, kIncRead, kDecRead, "SetReadSemaphoreProc");
}

Status WriteBracket(TWorkArea& a, IndexArea& ix, bool take) {
    return Bracket(a, ix, take, ix.lock_brackets, kLockSemaphore, kUnlockSemaphore, "SetLockSemaphoreProc");
}

Status RevalidateIndexIn(TWorkArea& a, IndexArea& ix, bool& changed) {
    changed = false;
    Semaphore& s = ix.semaphore;
    if (!s.logged_in || s.Counter() == s.known_counter) return {};
    changed = true;
    s.known_counter = s.Counter();
    ix.file.Forget();
    if (int rc = ix.file.RefreshSize(); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading index file:  " + ix.file.Path() + " [ReadAnchorNodes]");
    if (int rc = ix.file.ReadHeader(); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading index file:  " + ix.file.Path() + " [ReadAnchorNodes]");
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        if (Status st = t->ReadHeader(); st.failed()) return st;
        t->path_valid = false;
    }
    RefreshRecCount(a);
    return {};
}

Status RevalidateCursorIn(TWorkArea& a, IndexArea& ix) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed() || !changed) return s;
    Tag* t = ix.ActiveTag();
    if (a.rec_no < 1 || a.rec_no > a.rec_count) {
        if (t) t->StandPastEnd(a.rec_count);
        return {};
    }
    if (Status s = GetDbfRecord(a, a.rec_no); s.failed()) return s;
    RecordToBuffer(a);
    if (!t) return {};
    return SyncTag(a, ix, *t, true, true);
}

}  // namespace zurod
