#include "engine/dbf/locks.hpp"

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>
#include <thread>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/clock.hpp"
#include "platform/events.hpp"

namespace zurod {

namespace {

uint64_t FileLockOffset() { return Settings().lock_base; }

// Waits between lock attempts; paint and timer events go on meanwhile.
void WaitSeconds(unsigned seconds) {
    EngineWait busy;
    const uint32_t start = platform::TickCount();
    const uint32_t span = seconds * 1000u;
    for (;;) {
        platform::ProcessPendingEvents(platform::EventFilter::PaintAndTimer);
        if (platform::ApplicationTerminating()) return;
        const uint32_t now = platform::TickCount();
        if (now < start || now - start >= span) return;  // a wrapped tick count ends the wait
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<uint32_t>(20, span - (now - start))));
    }
}

// Releases one record lock; false when the system refused the unlock.
bool ReleaseRecord(TWorkArea& a, std::vector<int32_t>::iterator it) {
    int rc = 0;
    if (PhysicalLocks(a)) rc = LockRegion(true, a.file, RecordLockOffset(a, *it), a.record_length);
    SetLastErrorCode(static_cast<uint16_t>(rc));
    a.locks.erase(it);
    if (a.locks.empty()) a.lock_state = LockState::None;
    return rc == 0;
}

bool NotLocked(int32_t n, bool listed) {
    RecordError(220,
                listed ? "Record not locked. [UnlockRec(" + std::to_string(n) + ")]"
                       : "[UnlockRec(" + std::to_string(n) + ")]");
    return false;
}

}  // namespace

bool PhysicalLocks(const TWorkArea& area) {
    // Exclusive use that Zap, Pack or an index build took over a shared open
    // ends with the table shared again, so its locks must be real throughout.
    return Settings().network_mode && !area.is_virtual && (!area.exclusive || area.exclusive_from_reopen);
}

int RetakeLocks(TWorkArea& area) {
    if (!PhysicalLocks(area)) return 0;
    int result = 0;
    for (int32_t n : area.locks)
        if (int rc = LockRegion(false, area.file, RecordLockOffset(area, n), area.record_length); rc != 0) result = rc;
    if (area.lock_state == LockState::Append)
        if (int rc = LockRegion(false, area.file, AppendLockOffset(), 1); rc != 0) result = rc;
    return result;
}

uint64_t AppendLockOffset() { return Settings().lock_base + uint64_t{1}; }

bool RecordLockHeld(const TWorkArea& a) {
    if (a.exclusive) return true;
    if (a.lock_state == LockState::Append) return false;
    return std::find(a.locks.begin(), a.locks.end(), a.rec_no) != a.locks.end();
}

int ReleaseLocks(TWorkArea& a) {
    int rc = 0;
    if (a.lock_state == LockState::Records) {
        for (int32_t n : a.locks)
            if (PhysicalLocks(a))
                if (int u = LockRegion(true, a.file, RecordLockOffset(a, n), a.record_length); u != 0) rc = u;
        a.locks.clear();
    } else if (a.lock_state == LockState::Append && PhysicalLocks(a)) {
        rc = LockRegion(true, a.file, AppendLockOffset(), 1);
    }
    a.lock_state = LockState::None;
    return rc;
}

uint64_t RecordLockOffset(const TWorkArea& area, int32_t n) { return Settings().lock_base + RecordOffset(area, n); }

int LockRegion(bool unlock, TableFile& table, uint64_t offset, uint64_t length) {
    if (!Settings().network_mode) return 0;
    platform::File& file = table.Handle();
    return unlock ? file.Unlock(offset, length) : file.Lock(offset, length);
}

bool LockWithRetry(TableFile& file, uint64_t offset, uint64_t length) {
    const EngineSettings& s = Settings();
    unsigned attempts = 0;
    for (;;) {
        if (LockRegion(false, file, offset, length) == 0) return true;
        if (attempts < s.retry_count) WaitSeconds(s.retry_wait);
        ++attempts;
        if (attempts > s.retry_count && s.retry_hook) {
            // The hook may show a box; whatever runs meanwhile must not close
            // the file being locked. A copy, so that the hook may replace itself.
            EngineWait busy;
            const std::function<bool()> hook = s.retry_hook;
            if (hook()) attempts = 0;
        }
        if (attempts > s.retry_count) return false;
    }
}

bool FLock() {
    if (RefuseNestedCall("FLock")) return false;
    TWorkArea* a = CurrentTable();
    if (!a || a->is_virtual) return false;
    if (!Settings().network_mode) return true;
    return LockWithRetry(a->file, FileLockOffset(), 1);
}

void FUnlock() {
    if (RefuseNestedCall("FUnlock")) return;
    TWorkArea* a = CurrentTable();
    if (!a || a->is_virtual) return;
    if (int rc = LockRegion(true, a->file, FileLockOffset(), 1); rc != 0)
        RunError(static_cast<uint16_t>(rc),
                 "Error attempting to UNLOCK file " + a->file_name + " in Workarea " + std::to_string(CurrentArea()));
}

bool ALock() {
    if (CheckArea("ALock")) return false;
    TWorkArea* a = CurrentTable();
    if (a->is_virtual) {
        RunError(1100, " [ALock]");
        return false;
    }
    if (a->lock_state == LockState::Append) return true;
    if (a->lock_state == LockState::Records) return false;
    if (PhysicalLocks(*a) && !LockWithRetry(a->file, AppendLockOffset(), 1)) return false;
    a->lock_state = LockState::Append;
    return true;
}

bool RLock() {
    if (CheckArea("RLock")) return false;
    TWorkArea* a = CurrentTable();
    if (a->is_virtual) {
        RunError(1100, " [RLock]");
        return false;
    }
    const uint16_t limit = Settings().record_lock_limit;
    if (limit > 0 && a->locks.size() >= limit) {
        RunError(212, "Zurod record lock limit exceeded [RLock]");
        return false;
    }
    const int32_t n = a->rec_no;
    if (a->lock_state == LockState::Records && std::find(a->locks.begin(), a->locks.end(), n) != a->locks.end())
        return true;
    if (a->lock_state == LockState::Append) return false;
    // An empty table has no record to lock, and the range of "record 0" would
    // reach down over the file and append lock bytes.
    if (n < 1) return false;
    const bool physical = PhysicalLocks(*a);
    if (physical && !LockWithRetry(a->file, RecordLockOffset(*a, n), a->record_length)) return false;
    try {
        a->locks.push_back(n);
    } catch (const std::bad_alloc&) {
        if (physical) LockRegion(true, a->file, RecordLockOffset(*a, n), a->record_length);
        RunError(217, "[RLock]");
        return false;
    }
    a->lock_state = LockState::Records;
    return true;
}

bool IsLocked(int32_t n) {
    if (CheckArea("IsLocked")) return false;
    TWorkArea* a = CurrentTable();
    if (a->is_virtual) {
        RunError(1100, "[IsLocked]");
        return false;
    }
    return std::find(a->locks.begin(), a->locks.end(), n) != a->locks.end();
}

bool IsAppendLocked() {
    const TWorkArea* a = CurrentTable();
    return a && a->lock_state == LockState::Append;
}

bool UnlockRec(int32_t n) {
    if (CheckArea("UnlockRec")) return false;
    TWorkArea* a = CurrentTable();
    SetLastErrorCode(0);
    if (n >= 1) {
        auto it = std::find(a->locks.begin(), a->locks.end(), n);
        if (it == a->locks.end()) return NotLocked(n, true);
        return ReleaseRecord(*a, it);
    }
    if (n == -1 || n == -2) {
        if (a->locks.empty()) return NotLocked(n, true);
        return ReleaseRecord(*a, n == -1 ? a->locks.begin() : a->locks.end() - 1);
    }
    if (n == -3) {
        bool ok = true;
        uint16_t last_failure = 0;
        while (!a->locks.empty()) {
            if (!ReleaseRecord(*a, a->locks.end() - 1)) {
                ok = false;
                last_failure = LastErrorCode();
            }
        }
        SetLastErrorCode(last_failure);
        return ok;
    }
    return NotLocked(n, false);
}

void Unlock() {
    if (RefuseNestedCall("Unlock")) return;
    TWorkArea* a = CurrentTable();
    if (!a || a->is_virtual) return;
    SetLastErrorCode(static_cast<uint16_t>(ReleaseLocks(*a)));
}

}  // namespace zurod
