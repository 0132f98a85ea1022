#include "engine/dbf/edit.hpp"

#include <algorithm>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/msgbox.hpp"

namespace zurod {

namespace {

IndexAttachment& Index() { return *Engine().attachments.index; }

void Convert(TWorkArea& a) {
    if (!a.is_virtual) RecordToBuffer(a);
}

// A shared area appends only under its append lock.
Status AppendAllowed(const TWorkArea& a) {
    if (a.exclusive || !Settings().network_mode || a.lock_state == LockState::Append) return {};
    return Fail(5, "File must be locked to append: " + a.file_name + " [APPEND]");
}

Status ReplaceLocked(TWorkArea& a, bool ordered) {
    if (ordered && !a.is_virtual) {
        if (a.old_record.size() != a.swap.size()) return Fail(254, a.file_name + " Swap-buffer NIL. [REPLACE]");
        if (Status s = Index().BeginChange(a, a.rec_no); s.failed()) return s;
        // The index needs the keys of the record as it stands in the file.
        std::copy(a.swap.begin(), a.swap.end(), a.old_record.begin());
        Status s = GetDbfRecord(a, a.rec_no);
        if (s.ok()) {
            RecordToBuffer(a);
            s = Index().RememberKeys(a);
        }
        std::copy(a.old_record.begin(), a.old_record.end(), a.swap.begin());
        if (s.failed()) return s;
    }
    if (!a.is_virtual)
        if (Status s = BufferToRecord(a); s.failed()) return s;
    if (Status s = PutDbfRecord(a, a.rec_no); s.failed()) return s;
    Convert(a);
    if (ordered) return Index().UpdateKeys(a);
    return {};
}

Status ReplaceIn(TWorkArea& a) {
    if (a.rec_no < 1) return Fail(212, "Database \"" + a.file_name + "\" is empty. [REPLACE]");
    if (a.rec_no > a.rec_count) return Fail(212, "Database \"" + a.file_name + "\" is at EOF. [REPLACE]");
    if (!RecordLockHeld(a))
        return Fail(1200, "Record #" + std::to_string(a.rec_no) + " in " + a.file_name + " [REPLACE]");
    const bool ordered = Ordered(a);
    IndexWriteLock lock(a, ordered);
    if (lock.status().failed()) return lock.status();
    Status s = ReplaceLocked(a, ordered);
    return FirstFailure(std::move(s), lock.Release());
}

Status AppendLocked(TWorkArea& a, bool ordered) {
    if (ordered)
        if (Status s = Index().BeginChange(a, a.rec_count + 1); s.failed()) return s;
    if (Status s = PutDbfRecord(a, a.rec_count + 1); s.failed()) return s;
    Convert(a);
    if (ordered)
        if (Status s = Index().AddKeys(a); s.failed()) return s;
    a.bof = a.eof = false;
    return {};
}

}  // namespace

IndexWriteLock::IndexWriteLock(TWorkArea& area, bool ordered) : area_(area), ordered_(ordered) {
    index_ = Engine().attachments.index.get();
    if (!index_) return;
    if (ordered_) status_ = index_->WriteLock(area_, true);
    if (status_.ok()) {
        status_ = index_->GuardUnopened(area_, true);
        if (status_.failed() && ordered_) (void)index_->WriteLock(area_, false);
    }
    held_ = status_.ok();
}

Status IndexWriteLock::Release() {
    if (!held_) return {};
    held_ = false;
    Status s = index_->GuardUnopened(area_, false);
    if (ordered_) s = FirstFailure(std::move(s), index_->WriteLock(area_, false));
    return s;
}

Status AppendRecordIn(TWorkArea& a) {
    if (Status s = AppendAllowed(a); s.failed()) return s;
    RefreshRecCount(a);
    const bool ordered = Ordered(a);
    IndexWriteLock lock(a, ordered);
    if (lock.status().failed()) return lock.status();
    Status s = AppendLocked(a, ordered);
    return FirstFailure(std::move(s), lock.Release());
}

bool EnginePacking() { return Engine().packing; }

bool ConfirmAction(const std::string& text) {
    if (!Settings().confirm) return true;
    return MessageBoxStr(text, "", platform::kMbOkCancel | platform::kMbIconQuestion) != platform::kIdCancel;
}

bool ConfirmWhileHeld(const std::string& text) {
    EngineWait busy;
    return ConfirmAction(text);
}

void Append() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Append");
    if (!a) return;
    if (Status s = AppendAllowed(*a); s.failed()) return Report(s);
    if (!a->is_virtual)
        if (Status s = BufferToRecord(*a); s.failed()) return Report(s);
    Report(AppendRecordIn(*a));
}

void Replace() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Replace");
    if (!a) return;
    Report(ReplaceIn(*a));
}

void DeleteRec() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("DeleteRec");
    if (!a) return;
    if (!RecordLockHeld(*a)) return RunError(1200, a->file_name + " Record not locked [DeleteRec]");
    if (a->rec_no < 1 || a->rec_no > a->rec_count) return;
    if (a->is_virtual) return Report(CallVirtualStore(*a, VFileRequest::DeleteMark, a->rec_no));
    SetSwapDeleted(*a, true);
    a->record[0] = '*';
    Report(WriteDeleteMark(*a, a->rec_no));
}

void RecallRec() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("RecallRec");
    if (!a) return;
    if (!RecordLockHeld(*a)) return RunError(1200, "Record not locked [RecallRec]");
    RefreshRecCount(*a);
    if (a->rec_no < 1 || a->rec_no > a->rec_count) return RunError(1103, a->file_name + " at EOF [RecallRec]");
    if (a->is_virtual) return Report(CallVirtualStore(*a, VFileRequest::Recall, a->rec_no));
    SetSwapDeleted(*a, false);
    a->record[0] = ' ';
    Report(WriteDeleteMark(*a, a->rec_no));
}

void FlushDbf() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("FlushDbf");
    if (a && !a->is_virtual) Report(FlushDbfHeader(*a));
}

int ReopenTableIn(TWorkArea& a, bool exclusive) {
    if (a.exclusive && !a.exclusive_from_reopen) return 5;
    if (a.is_virtual) return 0;
    const uint8_t mode = exclusive ? kOpenExclusive : Settings().default_open_mode;
    if (int rc = a.file.ChangeShare(DecodeOpenMode(mode).share); rc != 0) return rc;
    // Counted once nobody else can append any more.
    if (exclusive) RefreshRecCount(a);
    a.exclusive = exclusive;
    a.exclusive_from_reopen = exclusive;
    // Files opened while the table was held alone go back to its share mode
    // with it, or other processes could open the table but not them.
    Attachments& units = Engine().attachments;
    Status s;
    if (a.memo && units.memo) s = units.memo->ShareAsTable(a);
    if (units.index) s = FirstFailure(std::move(s), units.index->ShareAsTable(a));
    return s.code;
}

int ReopenTable(bool exclusive) {
    TWorkArea* a = Guarded("ReopenTable");
    if (!a) return 215;
    return ReopenTableIn(*a, exclusive);
}

}  // namespace zurod
