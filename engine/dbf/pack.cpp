// Zap and Pack: emptying a table and removing its marked records, each under
// exclusive use taken over a shared open for the time it runs.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// Pack moves records in blocks of this many bytes.
constexpr size_t kPackBlock = 1 << 20;

// Makes a shared area exclusive for one operation and shares it again after.
class ExclusiveUse {
public:
    ExclusiveUse(TWorkArea& a, std::string_view label) : area_(a), label_(label) {
        if (a.exclusive) return;
        if (int rc = ReopenTableIn(a, true); rc != 0) {
            status_ = Fail(static_cast<uint16_t>(rc),
                           "Cannot use " + a.file_name + " exclusively: it is open elsewhere. [" + label_ + "]");
            return;
        }
        converted_ = true;
    }
    // Shares the table again; what that reports.
    Status Restore() {
        if (!converted_) return {};
        converted_ = false;
        if (int rc = ReopenTableIn(area_, false); rc != 0)
            return Fail(static_cast<uint16_t>(rc),
                        "Cannot re-open database sharable. " + area_.file_name + " [" + label_ + "]");
        return {};
    }
    ~ExclusiveUse() { (void)Restore(); }
    ExclusiveUse(const ExclusiveUse&) = delete;
    ExclusiveUse& operator=(const ExclusiveUse&) = delete;
    const Status& status() const { return status_; }

private:
    TWorkArea& area_;
    std::string label_;
    bool converted_ = false;
    Status status_;
};

// The first record carrying the deletion mark, 0 when there is none.
int FindFirstDeleted(const TWorkArea& a, int32_t& found) {
    found = 0;
    RecordBlockReader reader(a, 1, a.rec_count, kPackBlock);
    while (reader.Next()) {
        for (int32_t r = 0; r < reader.Count(); ++r) {
            if (reader.Record(r)[0] == '*') {
                found = reader.First() + r;
                return 0;
            }
        }
    }
    return reader.status().code;
}

// Nothing to remove: only what lies behind the last record goes.
Status FinishInPlace(TWorkArea& a) {
    const char mark = static_cast<char>(Settings().eof_mark);
    const uint64_t end = RecordOffset(a, a.rec_count + 1);
    int rc = a.file.Truncate(end);
    if (rc == 0) rc = a.file.WriteAt(end, std::span(&mark, 1));
    if (rc == 0) {
        a.header_state = HeaderState::Appended;
        rc = WriteDbfHeader(a).code;
    }
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), "Error packing " + a.file_name + " [Pack]");
    a.header_state = HeaderState::Clean;
    return {};
}

// A new table file built beside the table and put in its place by one
// rename, so that a process dying half-way leaves either the old table or
// the new one, never a mixture. Until it is in place the file is removed on
// every way out.
class Rewrite {
public:
    // `failed` is the message for a step of its own that fails.
    Rewrite(TWorkArea& a, std::string failed)
        : area_(a), failed_(std::move(failed)), table_(platform::FinalPath(a.file.Path())), temp_(RewriteFileName(a)) {}
    ~Rewrite() { Discard(); }
    Rewrite(const Rewrite&) = delete;
    Rewrite& operator=(const Rewrite&) = delete;

    // Creates the file. One that a dead process left goes first; the name is
    // created afresh (a link planted under it is never followed) and the file
    // gets the table's permissions.
    Status Create() {
        (void)platform::RemoveFile(temp_);
        int rc =
            out_.Open(temp_, platform::Access::ReadWrite, platform::Share::Exclusive, platform::Disposition::CreateNew);
        if (rc == 0) {
            created_ = true;
            rc = out_.TakePermissionsOf(area_.file.Handle());
        }
        return rc == 0 ? Status{} : Failure(rc, failed_);
    }
    platform::File& out() { return out_; }

    // Writes the header with `count` records, flushes the file and renames it
    // over the table, which the area then has open; on failure the area keeps
    // the old table as it was.
    Status PutInPlace(int32_t count) {
        const int32_t old_count = area_.rec_count;
        const HeaderState old_state = area_.header_state;
        area_.rec_count = count;
        area_.file.Swap(out_);
        area_.header_state = HeaderState::Changed;
        int rc = WriteDbfHeader(area_).code;
        if (rc == 0) rc = area_.file.Sync();
        if (rc == 0) rc = area_.file.Handle().RenameOver(table_);
        if (rc != 0) {
            area_.file.Swap(out_);
            area_.rec_count = old_count;
            area_.header_state = old_state;
            return Failure(rc, failed_);
        }
        created_ = false;
        out_.Close();
        area_.header_state = HeaderState::Clean;
        area_.whole_records = count;
        return {};
    }

    // Removes the file and fails with `message`.
    Status Failure(int rc, std::string message) {
        Discard();
        return Fail(static_cast<uint16_t>(rc), std::move(message));
    }

private:
    void Discard() {
        out_.Close();
        if (created_) platform::RemoveFile(temp_);
        created_ = false;
    }

    TWorkArea& area_;
    std::string failed_;
    std::string table_, temp_;
    platform::File out_;
    bool created_ = false;
};

// Where the area's record locks go in a pack: each to its record's new
// number, none for a record packed away. Fed the kept records in order.
class LockMoves {
public:
    LockMoves(const std::vector<int32_t>& locks, int32_t first_deleted) : locks_(locks), moved_(locks) {
        for (size_t i = 0; i < locks.size(); ++i)
            if (locks[i] >= first_deleted) {
                order_.push_back(i);
                moved_[i] = 0;
            }
        std::sort(order_.begin(), order_.end(), [&](size_t x, size_t y) { return locks[x] < locks[y]; });
    }
    void Kept(int32_t old_number, int32_t new_number) {
        while (next_ < order_.size() && locks_[order_[next_]] < old_number) ++next_;
        while (next_ < order_.size() && locks_[order_[next_]] == old_number) moved_[order_[next_++]] = new_number;
    }
    bool Pending() const { return next_ < order_.size(); }
    // The moved locks, oldest first.
    std::vector<int32_t> Result() const {
        std::vector<int32_t> out;
        for (int32_t n : moved_)
            if (n > 0) out.push_back(n);
        return out;
    }

private:
    const std::vector<int32_t>& locks_;
    std::vector<int32_t> moved_;
    std::vector<size_t> order_;  // locks to move, by record number
    size_t next_ = 0;
};

// The area's locks lived on the old file. Nobody else can hold the new one
// yet, so taking them again cannot fail for want of the range.
Status TakeLocksAgain(TWorkArea& a, std::vector<int32_t> locks, std::string_view label) {
    a.locks = std::move(locks);
    if (a.locks.empty() && a.lock_state == LockState::Records) a.lock_state = LockState::None;
    if (int rc = RetakeLocks(a); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Cannot lock " + a.file_name + " again [" + std::string(label) + "]");
    return {};
}

// Writes the kept records to a new table and puts it in the table's place.
// Records before the first deleted one are copied as they are.
Status RewriteWithout(TWorkArea& a, int32_t first_deleted, int32_t& kept) {
    const uint16_t rl = a.record_length;
    const std::string packing = "Error packing " + a.file_name + " [Pack]";
    const std::string reading = "Error reading " + a.file_name + " [Pack]";
    Rewrite rewrite(a, packing);
    if (Status s = rewrite.Create(); s.failed()) return s;
    platform::File& out = rewrite.out();

    // The header and the untouched leading records, byte for byte.
    std::vector<char> buf(std::max<size_t>(kPackBlock / rl, 1) * rl);
    const uint64_t prefix = RecordOffset(a, first_deleted);
    for (uint64_t at = 0; at < prefix;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), prefix - at));
        size_t got = 0;
        int rc = a.file.ReadAt(at, std::span(buf.data(), n), got);
        if (rc == 0 && got < n) rc = 213;
        if (rc != 0) return rewrite.Failure(rc, reading);
        if ((rc = out.WriteAt(at, std::span(buf.data(), n))) != 0) return rewrite.Failure(rc, packing);
        at += n;
    }

    kept = first_deleted - 1;
    LockMoves locks(a.locks, first_deleted);
    uint64_t write_at = prefix;
    std::vector<char> block;
    block.reserve(buf.size() + 1);
    RecordBlockReader reader(a, first_deleted, a.rec_count, kPackBlock);
    while (reader.Next()) {
        block.clear();
        for (int32_t r = 0; r < reader.Count(); ++r) {
            const std::span<char> rec = reader.Record(r);
            if (rec[0] == '*') continue;
            block.insert(block.end(), rec.begin(), rec.end());
            ++kept;
            if (locks.Pending()) locks.Kept(reader.First() + r, kept);
        }
        if (reader.First() + reader.Count() > a.rec_count) block.push_back(static_cast<char>(Settings().eof_mark));
        if (int rc = out.WriteAt(write_at, block); rc != 0) return rewrite.Failure(rc, packing);
        write_at += block.size();
    }
    if (reader.status().failed()) return rewrite.Failure(reader.status().code, reading);

    if (Status s = rewrite.PutInPlace(kept); s.failed()) return s;
    return TakeLocksAgain(a, locks.Result(), "Pack");
}

Status PackTableFile(TWorkArea& a, int32_t& kept) {
    int32_t first_deleted = 0;
    if (int rc = FindFirstDeleted(a, first_deleted); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading " + a.file_name + " [Pack]");
    if (first_deleted == 0) {
        kept = a.rec_count;
        return FinishInPlace(a);
    }
    return RewriteWithout(a, first_deleted, kept);
}

// Raises the packing flag while the indexes are rebuilt.
class PackingScope {
public:
    PackingScope() { Engine().packing = true; }
    ~PackingScope() { Engine().packing = false; }
    PackingScope(const PackingScope&) = delete;
    PackingScope& operator=(const PackingScope&) = delete;
};

// The index follows whatever the table holds once a pack or a zap ends, also
// one that failed; until the rebuild is done the index is marked for it, so
// that a process dying in between leaves it to the next open.
Status RebuildIndexAfter(TWorkArea& a, Status status) {
    IndexAttachment& index = *Engine().attachments.index;
    Status rebuilt = index.Reindex(a);
    // Refused, the index still holds the tree of the table as it was: it is
    // closed rather than walked, and its mark has the next open rebuild it.
    if (rebuilt.failed()) rebuilt = FirstFailure(std::move(rebuilt), index.Close(a));
    return FirstFailure(std::move(status), std::move(rebuilt));
}

Status ZapTableFile(TWorkArea& a) {
    // An empty table beside the old one, renamed over it: a process dying
    // half-way leaves the old table whole.
    Rewrite rewrite(a, "Error zapping " + a.file_name);
    if (Status s = rewrite.Create(); s.failed()) return s;
    std::vector<char> empty(a.header_length + size_t{1});
    size_t got = 0;
    int rc = a.file.ReadAt(0, std::span(empty.data(), a.header_length), got);
    if (rc == 0 && got < a.header_length) rc = 213;
    empty.back() = static_cast<char>(Settings().eof_mark);
    if (rc == 0) rc = rewrite.out().WriteAt(0, empty);
    if (rc != 0) return rewrite.Failure(rc, "Error zapping " + a.file_name);
    if (Status s = rewrite.PutInPlace(0); s.failed()) return s;
    // No record is left to hold a lock on.
    Status s = TakeLocksAgain(a, {}, "Zap");
    BlankRecord(a);
    a.rec_no = 0;
    a.bof = a.eof = true;
    if (a.memo && s.ok()) s = Engine().attachments.memo->Recreate(a);
    return s;
}

// The table's production index, when the area has not opened it, is marked
// to be rebuilt before the table is rewritten; nobody else can change the
// table meanwhile, so the mark is not held.
Status MarkUnopenedIndex(TWorkArea& a) {
    IndexWriteLock guard(a, false);
    if (guard.status().failed()) return guard.status();
    return guard.Release();
}

Status ZapIn(TWorkArea& a) {
    if (Status s = MarkUnopenedIndex(a); s.failed()) return s;
    if (!Ordered(a)) return ZapTableFile(a);
    if (Status s = Engine().attachments.index->MarkForRebuild(a); s.failed()) return s;
    return RebuildIndexAfter(a, ZapTableFile(a));
}

// Removes the marked records and the memos nobody names any more.
Status PackFiles(TWorkArea& a) {
    int32_t kept = 0;
    if (Status s = PackTableFile(a, kept); s.failed()) return s;
    if (kept > 0) {
        if (Status s = GetDbfRecord(a, 1); s.failed()) return s;
        RecordToBuffer(a);
        a.rec_no = 1;
        a.bof = a.eof = false;
    } else {
        BlankRecord(a);
        a.bof = a.eof = true;
        a.rec_no = 0;
    }
    if (MemoAttachment* memo = Engine().attachments.memo.get(); a.memo && memo)
        if (Status s = memo->Pack(a); s.failed()) return s;
    return {};
}

Status PackIn(TWorkArea& a) {
    if (Status s = MarkUnopenedIndex(a); s.failed()) return s;
    if (!Ordered(a)) return PackFiles(a);
    if (Status s = Engine().attachments.index->MarkForRebuild(a); s.failed()) return s;
    Status s = PackFiles(a);
    PackingScope packing;
    return RebuildIndexAfter(a, std::move(s));
}

}  // namespace

bool Zap() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Zap");
    if (!a) return false;
    // Refused before anything changes: the table without its memo file
    // would point into memos that are gone.
    if (!a->is_virtual && a->memo && !Engine().attachments.memo) {
        RunError(220, "Memo unit not linked into program. [ZAP " + a->file_name + "]");
        return false;
    }
    ExclusiveUse exclusive(*a, "Zap");
    if (exclusive.status().failed()) {
        Report(exclusive.status());
        return false;
    }
    if (!ConfirmWhileHeld("ZAP " + a->file_name)) return false;
    Status s = a->is_virtual ? CallVirtualStore(*a, VFileRequest::Zap, 0) : ZapIn(*a);
    Status restored = exclusive.Restore();
    s = FirstFailure(std::move(s), std::move(restored));
    Report(s);
    return s.ok();
}

bool Pack() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Pack");
    if (!a) return false;
    RefreshRecCount(*a);
    if (a->rec_count == 0) return true;
    ExclusiveUse exclusive(*a, "Pack");
    if (exclusive.status().failed()) {
        Report(exclusive.status());
        return false;
    }
    if (!ConfirmWhileHeld("PACK " + a->file_name)) return false;
    Status s = a->is_virtual ? CallVirtualStore(*a, VFileRequest::Pack, 0) : PackIn(*a);
    Status restored = exclusive.Restore();
    s = FirstFailure(std::move(s), std::move(restored));
    if (a->is_virtual) {
        Report(s);
        return true;
    }
    Report(s);
    return s.ok();
}

}  // namespace zurod
