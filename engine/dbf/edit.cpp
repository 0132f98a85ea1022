#include "engine/dbf/edit.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/reentry.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/msgbox.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

bool g_packing = false;

// Pack moves records in blocks of this many bytes.
constexpr size_t kPackBlock = 1 << 20;

TWorkArea* Guarded(std::string_view label) { return CheckArea(label) ? nullptr : CurrentTable(); }

int32_t Index(uint8_t op, int32_t arg = 0) { return IndexAttachment().dispatch(op, arg); }
bool Ordered() { return IndexAttachment().Linked() && Index(kIndexActive) != 0; }

// Holds the index semaphore's write lock while records and keys change.
class IndexWriteLock {
public:
    explicit IndexWriteLock(bool ordered) : ordered_(ordered) {
        if (ordered_) Index(kIndexWriteLock, 1);
    }
    ~IndexWriteLock() {
        if (ordered_) Index(kIndexWriteLock, 0);
    }
    IndexWriteLock(const IndexWriteLock&) = delete;
    IndexWriteLock& operator=(const IndexWriteLock&) = delete;

private:
    bool ordered_;
};

// A shared table may only be changed at a record this area has locked.
bool RecordLockHeld(const TWorkArea& a) {
    if (a.exclusive) return true;
    if (a.lock_state == LockState::Append) return false;
    return std::find(a.locks.begin(), a.locks.end(), a.rec_no) != a.locks.end();
}

void Convert(TWorkArea& a) {
    if (!a.is_virtual) RecordToBuffer(a);
}

bool Failed() { return LastErrorCode() != 0; }

// Makes a shared area exclusive for one operation and shares it again after.
class ExclusiveUse {
public:
    ExclusiveUse(TWorkArea& a, std::string_view label) : area_(a), label_(label) {
        if (a.exclusive) return;
        if (int rc = ReopenTable(true); rc != 0) {
            RunError(static_cast<uint16_t>(rc), "Cannot use " + a.file_name +
                                                    " exclusively: it is open elsewhere. [" + label_ + "]");
            failed_ = true;
            return;
        }
        converted_ = true;
    }
    ~ExclusiveUse() {
        if (!converted_) return;
        if (int rc = ReopenTable(false); rc != 0) {
            ErrorHandlingScope quiet(false);  // never raise out of a destructor
            RunError(static_cast<uint16_t>(rc),
                     "Cannot re-open database sharable. " + area_.file_name + " [" + label_ + "]");
        }
    }
    ExclusiveUse(const ExclusiveUse&) = delete;
    ExclusiveUse& operator=(const ExclusiveUse&) = delete;
    bool Failed() const { return failed_; }

private:
    TWorkArea& area_;
    std::string label_;
    bool converted_ = false;
    bool failed_ = false;
};

int ReadRecords(const TWorkArea& a, int32_t first, int32_t n, std::vector<char>& buf) {
    const size_t bytes = static_cast<size_t>(n) * a.record_length;
    size_t got = 0;
    int rc = a.file.ReadAt(a.header_length + static_cast<uint64_t>(first - 1) * a.record_length,
                           std::span(buf.data(), bytes), got);
    if (rc == 0 && got < bytes) rc = 213;
    return rc;
}

// The first record carrying the deletion mark, 0 when there is none.
int FindFirstDeleted(const TWorkArea& a, std::vector<char>& buf, int32_t& found) {
    const uint16_t rl = a.record_length;
    const int32_t per_block = static_cast<int32_t>(buf.size() / rl);
    found = 0;
    for (int32_t first = 1; first <= a.rec_count; first += per_block) {
        const int32_t n = std::min(per_block, a.rec_count - first + 1);
        if (int rc = ReadRecords(a, first, n, buf); rc != 0) return rc;
        for (int32_t r = 0; r < n; ++r) {
            if (buf[static_cast<size_t>(r) * rl] == '*') {
                found = first + r;
                return 0;
            }
        }
    }
    return 0;
}

// Nothing to remove: only what lies behind the last record goes.
bool FinishInPlace(TWorkArea& a) {
    const char mark = static_cast<char>(Settings().eof_mark);
    const uint64_t end = a.header_length + static_cast<uint64_t>(a.rec_count) * a.record_length;
    int rc = a.file.Truncate(end);
    if (rc == 0) rc = a.file.WriteAt(end, std::span(&mark, 1));
    if (rc == 0) {
        a.header_state = HeaderState::Appended;
        ErrorHandlingScope quiet(false);
        SetLastErrorCode(0);
        WriteDbfHeader(a);
        rc = LastErrorCode();
    }
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error packing " + a.file_name + " [Pack]");
        return false;
    }
    a.header_state = HeaderState::Clean;
    return true;
}

// Writes the kept records to a new file beside the table and puts it in the
// table's place, so that a process dying half-way leaves either the old
// table or the packed one, never a mixture. Records before the first deleted
// one are copied as they are.
bool RewriteWithout(TWorkArea& a, int32_t first_deleted, std::vector<char>& buf, int32_t& kept) {
    const uint16_t rl = a.record_length;
    const uint16_t hl = a.header_length;
    // The packed table takes the place of the file itself, not of a link to it.
    const std::string table = platform::FinalPath(a.file.Path());
    const std::string temp = table + ".TZP";
    platform::File out;
    auto fail = [&](int rc, std::string_view what) {
        out.Close();
        platform::RemoveFile(temp);
        RunError(static_cast<uint16_t>(rc), std::string(what) + a.file_name + " [Pack]");
        return false;
    };
    if (int rc = out.Open(temp, platform::Access::ReadWrite, platform::Share::Exclusive,
                          platform::Disposition::CreateAlways);
        rc != 0)
        return fail(rc, "Error packing ");
    if (int rc = out.TakePermissionsOf(a.file); rc != 0) return fail(rc, "Error packing ");

    // The header and the untouched leading records, byte for byte.
    const uint64_t prefix = hl + static_cast<uint64_t>(first_deleted - 1) * rl;
    for (uint64_t at = 0; at < prefix;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), prefix - at));
        size_t got = 0;
        int rc = a.file.ReadAt(at, std::span(buf.data(), n), got);
        if (rc == 0 && got < n) rc = 213;
        if (rc != 0) return fail(rc, "Error reading ");
        if ((rc = out.WriteAt(at, std::span(buf.data(), n))) != 0) return fail(rc, "Error packing ");
        at += n;
    }

    kept = first_deleted - 1;
    uint64_t write_at = prefix;
    std::vector<char> block;
    block.reserve(buf.size() + 1);
    const int32_t per_block = static_cast<int32_t>(buf.size() / rl);
    for (int32_t first = first_deleted; first <= a.rec_count; first += per_block) {
        const int32_t n = std::min(per_block, a.rec_count - first + 1);
        if (int rc = ReadRecords(a, first, n, buf); rc != 0) return fail(rc, "Error reading ");
        block.clear();
        for (int32_t r = 0; r < n; ++r) {
            const char* rec = buf.data() + static_cast<size_t>(r) * rl;
            if (rec[0] == '*') continue;
            block.insert(block.end(), rec, rec + rl);
            ++kept;
        }
        if (first + n > a.rec_count) block.push_back(static_cast<char>(Settings().eof_mark));
        if (int rc = out.WriteAt(write_at, block); rc != 0) return fail(rc, "Error packing ");
        write_at += block.size();
    }

    // The new header: the kept count and today's date.
    const int32_t old_count = a.rec_count;
    const HeaderState old_state = a.header_state;
    a.rec_count = kept;
    std::swap(a.file, out);
    a.header_state = HeaderState::Changed;
    {
        ErrorHandlingScope quiet(false);
        SetLastErrorCode(0);
        WriteDbfHeader(a);
    }
    int rc = LastErrorCode();
    if (rc == 0) rc = a.file.Sync();
    if (rc == 0) rc = a.file.RenameOver(table);
    if (rc != 0) {
        std::swap(a.file, out);
        a.rec_count = old_count;
        a.header_state = old_state;
        return fail(rc, "Error packing ");
    }
    out.Close();
    MapHeader(a);
    a.header_state = HeaderState::Clean;
    a.read_ahead.Clear();
    // The area's locks lived on the old file; nobody else can hold the new
    // one yet, so taking them again cannot fail for want of the range.
    if (int lock_rc = RetakeLocks(a); lock_rc != 0)
        RunError(static_cast<uint16_t>(lock_rc), "Cannot lock " + a.file_name + " again [Pack]");
    return true;
}

bool PackTableFile(TWorkArea& a, int32_t& kept) {
    std::vector<char> buf(std::max<size_t>(kPackBlock / a.record_length, 1) * a.record_length);
    int32_t first_deleted = 0;
    if (int rc = FindFirstDeleted(a, buf, first_deleted); rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error reading " + a.file_name + " [Pack]");
        return false;
    }
    if (first_deleted == 0) {
        kept = a.rec_count;
        return FinishInPlace(a);
    }
    return RewriteWithout(a, first_deleted, buf, kept);
}

// Raises the packing flag while the indexes are rebuilt.
class PackingScope {
public:
    PackingScope() { g_packing = true; }
    ~PackingScope() { g_packing = false; }
    PackingScope(const PackingScope&) = delete;
    PackingScope& operator=(const PackingScope&) = delete;
};

// Asks before a destructive operation. The area is held across the box, so
// nothing that runs while it is up may call the engine.
bool ConfirmWhileHeld(const std::string& text) {
    EngineWait busy;
    return ConfirmAction(text);
}

}  // namespace

bool EnginePacking() { return g_packing; }

bool ConfirmAction(const std::string& text) {
    if (!Settings().confirm) return true;
    return MessageBoxStr(text, "", platform::kMbOkCancel | platform::kMbIconQuestion) != platform::kIdCancel;
}

namespace {

// A shared area appends only under its append lock.
bool AppendAllowed(const TWorkArea& a) {
    if (a.exclusive || !Settings().network_mode || a.lock_state == LockState::Append) return true;
    RunError(5, "File must be locked to append: " + a.file_name + " [APPEND]");
    return false;
}

}  // namespace

void AppendRecord(TWorkArea& a) {
    if (!AppendAllowed(a)) return;
    RefreshRecCount(a);
    const bool ordered = Ordered();
    IndexWriteLock lock(ordered);
    PutDbfRecord(a, a.rec_count + 1);
    if (Failed()) return;
    Convert(a);
    if (ordered) Index(kIndexAddKeys);
    a.bof = a.eof = false;
}

void Append() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Append");
    if (!a || !AppendAllowed(*a)) return;
    if (!a->is_virtual && !BufferToRecord(*a)) return;
    AppendRecord(*a);
}

void Replace() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Replace");
    if (!a) return;
    if (a->rec_no < 1) {
        RunError(212, "Database \"" + a->file_name + "\" is empty. [REPLACE]");
        return;
    }
    if (a->rec_no > a->rec_count) {
        RunError(212, "Database \"" + a->file_name + "\" is at EOF. [REPLACE]");
        return;
    }
    if (!RecordLockHeld(*a)) {
        RunError(1200, "Record #" + std::to_string(a->rec_no) + " in " + a->file_name + " [REPLACE]");
        return;
    }
    const bool ordered = Ordered();
    IndexWriteLock lock(ordered);
    if (ordered && !a->is_virtual) {
        if (a->old_record.size() != a->swap.size()) {
            RunError(254, a->file_name + " Swap-buffer NIL. [REPLACE]");
            return;
        }
        // The index needs the keys of the record as it stands in the file.
        std::copy(a->swap.begin(), a->swap.end(), a->old_record.begin());
        a->read_ahead.Clear();
        GetDbfRecord(*a, a->rec_no);
        if (Failed()) {
            std::copy(a->old_record.begin(), a->old_record.end(), a->swap.begin());
            return;
        }
        RecordToBuffer(*a);
        Index(kIndexRememberKeys);
        std::copy(a->old_record.begin(), a->old_record.end(), a->swap.begin());
    }
    if (!a->is_virtual && !BufferToRecord(*a)) return;
    PutDbfRecord(*a, a->rec_no);
    if (Failed()) return;
    Convert(*a);
    if (ordered) Index(kIndexUpdateKeys);
}

void DeleteRec() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("DeleteRec");
    if (!a) return;
    if (!RecordLockHeld(*a)) {
        RunError(1200, a->file_name + " Record not locked [DeleteRec]");
        return;
    }
    if (a->rec_no < 1 || a->rec_no > a->rec_count) return;
    if (a->is_virtual) {
        a->vfile_op = 2;
        CallVirtualFileHook(*a);
        return;
    }
    SetSwapDeleted(*a, true);
    a->record[0] = '*';
    WriteDeleteMark(*a, a->rec_no);
}

void RecallRec() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("RecallRec");
    if (!a) return;
    if (!RecordLockHeld(*a)) {
        RunError(1200, "Record not locked [RecallRec]");
        return;
    }
    RefreshRecCount(*a);
    if (a->rec_no < 1 || a->rec_no > a->rec_count) {
        RunError(1103, a->file_name + " at EOF [RecallRec]");
        return;
    }
    if (a->is_virtual) {
        a->vfile_op = 9;
        CallVirtualFileHook(*a);
        return;
    }
    SetSwapDeleted(*a, false);
    a->record[0] = ' ';
    WriteDeleteMark(*a, a->rec_no);
}

void FlushDbf() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("FlushDbf");
    if (a && !a->is_virtual) FlushDbfHeader(*a);
}

int ReopenTable(bool exclusive) {
    TWorkArea* a = Guarded("ReopenTable");
    if (!a) return 215;
    if (a->exclusive && !a->exclusive_from_reopen) return 5;
    if (a->is_virtual) return 0;
    if (exclusive) RefreshRecCount(*a);
    const uint8_t mode = exclusive ? kOpenExclusive : Settings().default_open_mode;
    if (int rc = a->file.ChangeShare(DecodeOpenMode(mode).share); rc != 0) return rc;
    a->exclusive = exclusive;
    a->exclusive_from_reopen = exclusive;
    // Read-ahead serves exclusive areas only.
    a->read_ahead.Clear();
    return 0;
}

bool Zap() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Zap");
    if (!a) return false;
    ExclusiveUse exclusive(*a, "Zap");
    if (exclusive.Failed()) return false;
    if (!ConfirmWhileHeld("ZAP " + a->file_name)) return false;
    if (a->is_virtual) {
        a->vfile_op = 12;
        SetLastErrorCode(0);  // what the store reports, not what the box saw
        CallVirtualFileHook(*a);
        return !Failed();
    }
    // The header goes first: a process dying half-way leaves a count of 0
    // over records still in the file, never a count the file cannot hold.
    const int32_t old_count = a->rec_count;
    const HeaderState old_state = a->header_state;
    a->rec_count = 0;
    int rc = 0;
    {
        ErrorHandlingScope quiet(false);
        SetLastErrorCode(0);
        WriteDbfHeader(*a);
        rc = LastErrorCode();
    }
    const char mark = static_cast<char>(Settings().eof_mark);
    if (rc == 0) rc = a->file.Truncate(a->header_length);
    if (rc == 0) rc = a->file.WriteAt(a->header_length, std::span(&mark, 1));
    a->read_ahead.Clear();
    if (rc != 0) {
        // The old count goes back into the header at the next flush.
        a->rec_count = old_count;
        a->header_state = old_state == HeaderState::Appended ? old_state : HeaderState::Changed;
        RunError(static_cast<uint16_t>(rc), "Error zapping " + a->file_name);
        return false;
    }
    a->header_state = HeaderState::Clean;
    BlankRecord(*a);
    a->rec_no = 0;
    a->bof = a->eof = true;
    if (a->memo) {
        MemoAttachment& memo = MemoUnit();
        if (!memo.Linked()) {
            RunError(220, "Memo unit not linked into program. [ZAP " + a->file_name + "]");
            return false;
        }
        const uint16_t block_size = memo.block_size ? memo.block_size(*a) : Settings().memo_block_size;
        memo.close(*a);
        MakeMemoFile(ForceExt(a->file_name, MemoExtension(a->Version())), a->Version(), block_size, "Zap()");
        if (Failed()) return false;
        if (memo.open(*a) != 0) return false;
    }
    if (Ordered()) Index(kIndexReindex);
    return true;
}

bool Pack() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Pack");
    if (!a) return false;
    RefreshRecCount(*a);
    if (a->rec_count == 0) return true;
    ExclusiveUse exclusive(*a, "Pack");
    if (exclusive.Failed()) return false;
    if (!ConfirmWhileHeld("PACK " + a->file_name)) return false;
    if (a->is_virtual) {
        a->vfile_op = 5;
        CallVirtualFileHook(*a);
        return true;
    }
    int32_t kept = 0;
    if (!PackTableFile(*a, kept)) return false;
    if (kept > 0) {
        GetDbfRecord(*a, 1);
        RecordToBuffer(*a);
        a->rec_no = 1;
        a->bof = a->eof = false;
    } else {
        BlankRecord(*a);
        a->bof = a->eof = true;
        a->rec_no = 0;
    }
    if (a->memo && MemoUnit().Linked()) {
        if (MemoUnit().pack(*a) != 0) return false;
    }
    if (Ordered()) {
        PackingScope packing;
        Index(kIndexReindex);
    }
    return true;
}

}  // namespace zurod
