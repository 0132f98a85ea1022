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
#include "engine/dbf/settings.hpp"
#include "platform/msgbox.hpp"

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

// Writes the kept records to a new file beside the table and puts it in the
// table's place, so that a process dying half-way leaves either the old
// table or the packed one, never a mixture.
bool PackTableFile(TWorkArea& a, int32_t& kept) {
    const uint16_t rl = a.record_length;
    const uint16_t hl = a.header_length;
    const std::string table = a.file.Path();
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

    std::vector<char> in(std::max<size_t>(kPackBlock / rl, 1) * rl);
    std::vector<char> block;
    block.reserve(in.size() + 1);
    size_t got = 0;
    int rc = a.file.ReadAt(0, std::span(in.data(), hl), got);
    if (rc == 0 && got < hl) rc = 213;
    if (rc == 0) rc = out.WriteAt(0, std::span(in.data(), hl));
    if (rc != 0) return fail(rc, "Error packing ");

    kept = 0;
    uint64_t write_at = hl;
    const int32_t per_block = static_cast<int32_t>(in.size() / rl);
    for (int32_t first = 1; first <= a.rec_count; first += per_block) {
        const int32_t n = std::min(per_block, a.rec_count - first + 1);
        const size_t bytes = static_cast<size_t>(n) * rl;
        rc = a.file.ReadAt(hl + static_cast<uint64_t>(first - 1) * rl, std::span(in.data(), bytes), got);
        if (rc == 0 && got < bytes) rc = 213;
        if (rc != 0) return fail(rc, "Error reading ");
        block.clear();
        for (int32_t r = 0; r < n; ++r) {
            const char* rec = in.data() + static_cast<size_t>(r) * rl;
            if (rec[0] == '*') continue;
            block.insert(block.end(), rec, rec + rl);
            ++kept;
        }
        if (first + n > a.rec_count) block.push_back(static_cast<char>(Settings().eof_mark));
        if (!block.empty() && (rc = out.WriteAt(write_at, block)) != 0) return fail(rc, "Error packing ");
        write_at += block.size();
    }
    if (a.rec_count == 0) {
        const char mark = static_cast<char>(Settings().eof_mark);
        if ((rc = out.WriteAt(write_at, std::span(&mark, 1))) != 0) return fail(rc, "Error packing ");
    }

    // The new header: the kept count and today's date.
    const int32_t old_count = a.rec_count;
    a.rec_count = kept;
    std::swap(a.file, out);
    a.header_state = HeaderState::Changed;
    {
        ErrorHandlingScope quiet(false);
        WriteDbfHeader(a);
    }
    rc = LastErrorCode();
    if (rc == 0) rc = a.file.Sync();
    if (rc == 0) rc = a.file.RenameOver(table);
    if (rc != 0) {
        std::swap(a.file, out);
        a.rec_count = old_count;
        return fail(rc, "Error packing ");
    }
    // The area's locks lived on the old file; the new one carries them on.
    for (int32_t n : a.locks)
        if (Settings().network_mode) a.file.Lock(RecordLockOffset(a, n), rl);
    if (a.lock_state == LockState::Append && Settings().network_mode)
        a.file.Lock(Settings().lock_base + 1, 1);
    out.Close();
    a.header_state = HeaderState::Clean;
    a.read_ahead.Clear();
    return true;
}

}  // namespace

bool EnginePacking() { return g_packing; }

bool ConfirmAction(const std::string& text) {
    if (!Settings().confirm) return true;
    return MessageBoxStr(text, "", platform::kMbOkCancel | platform::kMbIconQuestion) != platform::kIdCancel;
}

void Append() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Append");
    if (!a) return;
    if (!a->exclusive && Settings().network_mode && a->lock_state != LockState::Append) {
        RunError(5, "File must be locked to append: " + a->file_name + " [APPEND]");
        return;
    }
    RefreshRecCount(*a);
    if (!a->is_virtual && !BufferToRecord(*a)) return;
    const bool ordered = Ordered();
    IndexWriteLock lock(ordered);
    PutDbfRecord(*a, a->rec_count + 1);
    if (Failed()) return;
    Convert(*a);
    if (ordered) Index(kIndexAddKeys);
    a->bof = a->eof = false;
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
    if (!ConfirmAction("ZAP " + a->file_name)) return false;
    if (a->is_virtual) {
        a->vfile_op = 12;
        CallVirtualFileHook(*a);
        return !Failed();
    }
    const char mark = static_cast<char>(Settings().eof_mark);
    int rc = a->file.Truncate(a->header_length);
    if (rc == 0) rc = a->file.WriteAt(a->header_length, std::span(&mark, 1));
    a->read_ahead.Clear();
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "Error zapping " + a->file_name);
        return false;
    }
    a->header_state = HeaderState::Appended;
    a->rec_count = 0;
    WriteDbfHeader(*a);
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
    if (a->rec_count == 0) return true;
    ExclusiveUse exclusive(*a, "Pack");
    if (exclusive.Failed()) return false;
    if (!ConfirmAction("PACK " + a->file_name)) return false;
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
        g_packing = true;
        Index(kIndexReindex);
        g_packing = false;
    }
    return true;
}

}  // namespace zurod
